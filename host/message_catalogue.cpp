// The message catalogue's entries and the lookup of a log text.
#include "message_catalogue.h"

#include <iterator>
#include <string_view>

namespace t2dhost {

namespace {

// Catalogue order: FindMessage answers the first entry whose sentences match,
// so a general family comes after the particular ones it would also match.
// Words in double quotes are ticket keys and item keys as they are written.
const MessageInfo kMessages[] = {
    // ---- The guards' keys ---------------------------------------------------
    {"qxmsm.failaddsetupglobal", 2,
     "AddSetup2Dict, when the global setup (AddSetupGlobal) failed",
     "The global setup stopped at a fault: the setup items it wrote before stay, and setup begin, middle and end, "
     "the CIP3 files and the environment section are not written.",
     "The entries around it name the fault. The global setup reads the master's \"Options\", \"Info\" and \"Jobs\" "
     "and the device's configuration on the CFS.",
     nullptr},
    {"qxmsm.failaddsetup", 2,
     "AddSetup2Dict, when setup begin, middle or end (AddSetup_begin, AddSetup_middle, AddSetup_end) failed",
     "A setup step stopped at a fault: the setup items written before stay, and the remaining setup steps, the CIP3 "
     "files and the environment section are not written.",
     "The sentence after it names the step and the problem. Setup begin reads \"Masters\", the work dictionary and "
     "the master options' \"OutputPath\" and \"Conf\"; setup middle the raster options; setup end the plate size "
     "and distortion.",
     nullptr},
    {"qxmsm.failaddcip", 2,
     "AddCIPOptions2Dict, when the CIP3 parameter files step (DoCIPParams) failed; a refusal of DoCIPParams may "
     "come before it",
     "The CIP3 parameter files were not finished and the environment section is not written; template copies "
     "made before the fault stay in the IPL data folder.",
     "The ticket's \"CipParameters\": \"PlateSettingFile\" and \"PressConfigFile\" must be plain file names of "
     "templates in the IPL data folder, and the \"Cip_\" texts present. Check too the ticket's short identifier and "
     "that the IPL server is offered and names its data folder.",
     "CTicket2Dict_msbasetask::AddCIPOptions2Dict - failed to add CIP options"},
    {"qxmsm.failaddjobglobal", 2,
     "AddJob2Dict, when a job's global job info (AddJobInfoGlobal, with AddPositionInfo and Ink2IniEntry) failed",
     "This job stopped in its global job info: its items written before stay, its remaining placement, page, CIP3, "
     "screening and ink items, its job info, previews and extra options are missing; other jobs are converted "
     "normally.",
     "The entries around it name the fault. The global job info reads the job's \"FileSpec\" (its type on the file "
     "server), \"Rotation\", margins, sizes, \"SelectArea\", \"PageRange\", \"Contents\", \"Dotshape\", screening "
     "keys and inks, and the master's distortion.",
     nullptr},
    {"qxmsm.failaddjob", 2,
     "AddJob2Dict, when a job's job info (AddJobInfo_noPreviews, then AddJobInfo_previewsOnly) failed",
     "This job stopped in its job info: items written before stay, the rest of \"name\", \"shrexp\", \"scale\", "
     "\"scrdgc\", \"cpp\" and the preview items is missing and its extra options are not applied; other jobs are "
     "converted normally.",
     "The sentence after it names the fault. The job info reads the job's \"FileSpec\", \"VScale\", \"HScale\", "
     "\"ScrDGC\", \"CopyDot\", \"RGBPreview\" and \"CMYKPreview\" (both required) and the master's distortion.",
     nullptr},
    {"qxmsm.failaddextra", 2, "AddJob2Dict, when a job's extra options (AddExtraOptions) failed",
     "The job's extra options stopped at a fault: the options before it are applied, the faulty one and those after "
     "it are not.",
     "The job's \"ExtraOptions\" must be a text of \"[section.]key=value\" assignments separated by \"|\", with keys "
     "of at most 199 and values of at most 999 characters.",
     nullptr},

    // ---- The steps' own failures ---------------------------------------------
    {"qxmsm.nomasters", 2,
     "AddSetup_begin, AddSetup_end, AddJobInfo_noPreviews and AddPositionInfo, before their failure",
     "The ticket's configuration has no \"Masters\", so the step can't find the master: in the setup the rest of the "
     "setup is skipped, in a job that job stops.",
     "The ticket's configuration must hold \"Masters\" with the master's entry under its name; a master handed "
     "over by itself does not replace it.",
     "CTicket2Dict_msbasetask::AddSetup begin - no masters\n"
     "CTicket2Dict_msbasetask::AddSetup end - no masters\n"
     "CTicket2Dict_msbasetask::AddJobInfo_noPreviews - job has no masters\n"
     "CTicket2Dict_msbasetask::AddPositionInfo - job has no masters"},
    {"qxmsm.invalidplatesizes", 2,
     "AddSetupGlobal and AddSetup_end, before their failure, when the plate width or height is 0",
     "The master's plate is 0 wide or high, so no plate scale can be written: the setup stops there.",
     "The master's \"Info\" must give \"WidthM\" (or \"HSize\") and \"HeightM\" (or \"VSize\") above 0; a missing "
     "or negative size only leaves its scale out.",
     "CTicket2Dict_msbasetask::AddSetupGlobal - invalid plate sizes (horizontal)\n"
     "CTicket2Dict_msbasetask::AddSetupGlobal - invalid plate sizes (vertical)\n"
     "CTicket2Dict_msbasetask::AddSetup end - invalid plate sizes (horizontal)\n"
     "CTicket2Dict_msbasetask::AddSetup end - invalid plate sizes"},
    {"qxmsm.confnotavailable", 2,
     "AddSetup_begin, before its failure, when the master options give an \"OutputPath\" and an empty \"Conf\" and "
     "the device's configurations can't be read",
     "No configuration could be chosen for the output: \"conf\" and \"outdir\" are missing, and setup middle, setup "
     "end, the CIP3 files and the environment section are skipped.",
     "Give the master options a \"Conf\", or check that the CFS holds the tree "
     "\"Devices/Instances/<device name>/Rip/Config/Config\" for the ticket's device name.",
     "CTicket2Dict_msbasetask::AddSetup begin - configuration not available"},
    {"qxmsm.morethanonejob", 2,
     "AddSetup_begin (output path) and AddSetupGlobal (output file name), before their failure",
     "An output path or file name template names the job (the path also the file), but the work dictionary's "
     "\"WorksForJobs\" lists other than one job, so no single job can fill it: the setup stops there.",
     "The master options' \"OutputPath\" and \"FileName\" templates, and the work dictionary's "
     "\"ResultsFromPreviousTask\" / \"WorksForJobs\", which must list exactly one job for such a template.",
     "CTicket2Dict_msbasetask::AddSetup begin - more than one job\n"
     "CTicket2Dict_msbasetask::AddSetupGlobal - more than one job"},
    {"qxmsm.nojob", 2, "AddSetup_begin (output path) and AddSetupGlobal (output file name), before their failure",
     "An output path or file name template names the job, but the task works for no job (the one job of "
     "\"WorksForJobs\" has an empty id, or there is no \"WorksForJobs\" dictionary), so the setup stops there.",
     "The work dictionary's \"ResultsFromPreviousTask\" / \"WorksForJobs\" must list one job under a non-empty id; "
     "or take the job out of the \"OutputPath\" or \"FileName\" template.",
     "CTicket2Dict_msbasetask::AddSetup begin - no job\n"
     "CTicket2Dict_msbasetask::AddSetupGlobal - no job"},
    {"qxmsm.jobsentrynotfound", 2,
     "AddSetupGlobal, before its failure, when \"FileName\" is a fixed name or empty (the job's name)",
     "The master has no \"Jobs\", so no output file name can be made: \"Output\" and the global setup items after it "
     "are missing and the rest of the setup is skipped.",
     "The master's entry in \"Masters\" must hold \"Jobs\", an array of job dictionaries.",
     "CTicket2Dict_msbasetask::AddSetupGlobal - job entry not found"},
    {"qxmsm.nojobinjobsentry", 2,
     "AddSetupGlobal, before its failure, when \"FileName\" is a fixed name or empty (the job's name)",
     "The master's \"Jobs\" is empty, so no output file name can be made: \"Output\" and the global setup items after "
     "it are missing and the rest of the setup is skipped.",
     "The master's \"Jobs\" must hold at least one job dictionary.",
     "CTicket2Dict_msbasetask::AddSetupGlobal - no job in job entry"},
    {"qxmsm.nojobnameinfirstjob", 2,
     "AddSetupGlobal, before its failure, when \"FileName\" is a fixed name or empty (the job's name)",
     "The master's first job has no \"JobName\", which the output file name is made of: \"Output\" and the global "
     "setup items after it are missing and the rest of the setup is skipped.",
     "Give the first job of the master's \"Jobs\" a \"JobName\".",
     "CTicket2Dict_msbasetask::AddSetupGlobal - no job name in first job"},
    {"qxmsm.nojobnameinjob", 2,
     "AddSetupGlobal, before its failure, when \"FileName\" is a fixed name or empty and the master has several jobs",
     "A job of the master has no \"JobName\", so the converter can't tell whether the jobs share one output name: "
     "\"Output\" and the global setup items after it are missing and the rest of the setup is skipped.",
     "Give every job of the master's \"Jobs\" a \"JobName\".",
     "CTicket2Dict_msbasetask::AddSetupGlobal - no job name in job"},

    // ---- Notices by key --------------------------------------------------------
    {"qxmsm.nodgc", 0, "AddSetup_middle, when the master options' \"DGC\" resolves to an empty name",
     "The dot gain compensation curve resolves to nothing: \"dgc\" is written as \"<none>\", so the RIP applies no "
     "curve; the conversion goes on.",
     "The master options' \"DGC\" template and the task's template names it uses (\"<dgc>\" needs the template name "
     "\"dgc\" with a value).",
     nullptr},
    {"qxmsm.noscrdgc", 0, "AddJobInfo_noPreviews, when the job's \"ScrDGC\" resolves to an empty name",
     "The job's screening dot gain curve resolves to nothing: the job's \"scrdgc\" is written as \"<none>\"; the "
     "conversion goes on.",
     "The job's \"ScrDGC\" template and the task's template names it uses.", nullptr},
    {"qxmsm.nofontresource", 0, "AddEnvironment2Dict, when the CFS gives no usable root for \"qx_data_fonts\"",
     "The fonts' location is unknown: \"QX_DATA_FONTS\" and \"CUS_NAME\" are missing from the environment section; "
     "the other resources are still asked for.",
     "The CFS must answer \"GetRootDirectory\" for \"qx_data_fonts\" with the fonts' folder as a file URL.", nullptr},
    {"qxmsm.nofontsshare", 0, "AddEnvironment2Dict, when the fonts' root has an empty local path",
     "The fonts' root names no local folder: \"QX_DATA_FONTS\" is not written.",
     "The CFS root directory \"qx_data_fonts\" must name the fonts' folder.", nullptr},
    {"qxmsm.fontsnotexported", 0,
     "AddEnvironment2Dict, with the local path as its argument, when the fonts' root is not on a shared folder",
     "The fonts' folder has no network (UNC) name the RIP could reach: \"QX_DATA_FONTS\" is not written.",
     "Share the folder given as the argument on the server, or point the CFS root \"qx_data_fonts\" into a shared "
     "folder.",
     nullptr},
    {"qxmsm.fontsexported", 0,
     "AddEnvironment2Dict, with the UNC location as its argument, when the verbosity is above 0",
     "For information: the fonts' shared location, written as \"QX_DATA_FONTS\".",
     "Nothing to fix; the argument is the location the RIP will use.", nullptr},
    {"qxmsm.nocmsresource", 0, "AddEnvironment2Dict, when the CFS gives no usable root for \"qx_data_cms\"",
     "The colour management data's location is unknown: \"QX_DATA_CMS\" and \"QX_CMS\" are missing from the "
     "environment section; the other resources are still asked for.",
     "The CFS must answer \"GetRootDirectory\" for \"qx_data_cms\" with the colour data's folder as a file URL.",
     nullptr},
    {"qxmsm.nocmsshare", 0, "AddEnvironment2Dict, when the colour data's root has an empty local path",
     "The colour data's root names no local folder: \"QX_DATA_CMS\" and \"QX_CMS\" are not written.",
     "The CFS root directory \"qx_data_cms\" must name the colour data's folder.", nullptr},
    {"qxmsm.cmsnotexported", 0,
     "AddEnvironment2Dict, with the local path as its argument, when the colour data's root is not on a shared "
     "folder",
     "The colour data's folder has no network (UNC) name the RIP could reach: \"QX_DATA_CMS\" and \"QX_CMS\" are not "
     "written.",
     "Share the folder given as the argument on the server, or point the CFS root \"qx_data_cms\" into a shared "
     "folder.",
     nullptr},
    {"qxmsm.cmsexported", 0,
     "AddEnvironment2Dict, with the UNC location as its argument, when the verbosity is above 0",
     "For information: the colour data's shared location, written as \"QX_DATA_CMS\" and \"QX_CMS\".",
     "Nothing to fix; the argument is the location the RIP will use.", nullptr},
    {"qxmsm.nodgcresource", 0, "AddEnvironment2Dict, when the CFS gives no usable root for \"qx_data_dgc\"",
     "The dot gain curves' location is unknown: \"QX_DATA_DGC\" and \"DGCDIR\" are missing from the environment "
     "section; the other items are still written.",
     "The CFS must answer \"GetRootDirectory\" for \"qx_data_dgc\" with the curves' folder as a file URL.", nullptr},
    {"qxmsm.nodgcshare", 0, "AddEnvironment2Dict, when the curves' root has an empty local path",
     "The curves' root names no local folder: \"QX_DATA_DGC\" and \"DGCDIR\" are not written.",
     "The CFS root directory \"qx_data_dgc\" must name the curves' folder.", nullptr},
    {"qxmsm.dgcnotexported", 0,
     "AddEnvironment2Dict, with the local path as its argument, when the curves' root is not on a shared folder",
     "The curves' folder has no network (UNC) name the RIP could reach: \"QX_DATA_DGC\" and \"DGCDIR\" are not "
     "written.",
     "Share the folder given as the argument on the server, or point the CFS root \"qx_data_dgc\" into a shared "
     "folder.",
     nullptr},
    {"qxmsm.dgcexported", 0,
     "AddEnvironment2Dict, with the UNC location as its argument, when the verbosity is above 0",
     "For information: the curves' shared location, written as \"QX_DATA_DGC\" and \"DGCDIR\".",
     "Nothing to fix; the argument is the location the RIP will use.", nullptr},
    {"qxmsm.nocusname", 0, "AddEnvironment2Dict, after the fonts' location, when the customer name can't be read",
     "The customer name is unknown: \"CUS_NAME\" is missing from the environment section.",
     "The CFS must answer \"Expand\" of \"Resources/<fonts root>/Customer\" with a text.", nullptr},

    // ---- Warnings ----------------------------------------------------------------
    {"sentence.no-dispatcher-version", 1,
     "AddJobInfo_noPreviews (when the master options give both distortions) and Ink2IniEntry (for each ink entry)",
     "The host passed no \"DispatcherVersion\" option, so the output is written for the oldest dispatcher: "
     "\"shrexp\" in whole numbers and the ink books remapped.",
     "Pass the option \"DispatcherVersion\" (the task file's \"options\") with the version of the dispatcher that "
     "reads the output, for example 704000.",
     "DispatcherVersion not specified"},
    {"sentence.dispatcher-not-in-sync", 1,
     "Ink2IniEntry, for each ink entry, when the dispatcher version is below 704000 or not given",
     "The dispatcher is older than the server's ink books: each ink's book is written as \"process\", \"pantone\" or "
     "\"designer\" instead of its own.",
     "The option \"DispatcherVersion\": from 704000 on, the inks keep their own books.",
     "Dispatcher is not in sync with server: ink books will hav to be remapped to Process, PANTONE Colors Coated or "
     "Designer for the dispatcher"},
    {"sentence.ink-not-in-book", 1,
     "Ink2IniEntry, when the colour management server (QXCMS) does not list the ink in its book",
     "The ink's entry is written without its book (or with \"designer\" for a job that is not PDF or an older "
     "dispatcher), so the RIP treats it as an unregistered ink.",
     "The ink's \"Color\" and its \"InkBook\" (or \"Type\") must name an ink of that book on the colour management "
     "server, letter case included.",
     "Ink <*> is not found in the Book <*> specified in XMP. Forcing unregistered"},
    {"sentence.ink-selection-too-long", 1,
     "AddJobInfoGlobal (the job inks), once per job, when the host passes its ink list and a member of an ink group "
     "no longer fits the selection",
     "\"inksel\" would reach 2048 characters: the ink keys that don't fit are left out of it (their entries are "
     "still written), so the RIP won't select those inks.",
     "The host's ink list for the job (the task file's \"jobArray\"): fewer inks or ink groups.",
     "Ink selection is more than 2048 characters"},
    {"sentence.ct-resolution-too-large", 1,
     "AddSetupGlobal, when \"CTResampling\" is \"Automatic\" and the resolution is too large to divide",
     "No CT resampling resolution can be computed: \"ctres\" is not written; the rest of the setup goes on.",
     "The master options' \"ActualResolution\" or \"Resolution\".",
     "AddSetupGlobal - the resolution * is too large for the automatic \"CTResampling\"; no \"ctres\" is written"},

    // ---- Notices by sentence ---------------------------------------------------------
    {"sentence.environment-too-long", 0,
     "AddEnvironment2Dict, when a location, the customer name, QX_SERVER or the host name doesn't fit its field",
     "That value is refused, not cut: the environment item named at the end is not written, the others are.",
     "The length of the value named: the resource's folder or share name on the server, the customer name on the "
     "CFS, or the QX_SERVER environment variable.",
     "CTicket2Dict_msbasetask::AddEnvironment2Dict - * is * long; at most * are allowed; \"*\" is not written"},

    // ---- Failures by sentence -----------------------------------------------------------
    {"sentence.refused-page-list", 2,
     "SetupDict, before any step, when the host's page list has 1024 characters or more",
     "The page list is refused, not cut: no task, setup or environment item is written, and the job steps that need "
     "the master fail too, since the master's name was never kept.",
     "The host's page list (the task file's setup \"pageList\"): at most 1023 characters.",
     "CTicket2Dict_msbasetask::SetupDict - the page list is * characters long; at most * are allowed"},
    {"sentence.refused-length", 2,
     "the step named (AddJobInfoGlobal, Ink2IniEntry, AddJobInfo_noPreviews, AddJobInfo_previewsOnly, "
     "AddExtraOptions, DoCIPParams) at once; again by SetupDict or AddJob after the guard's key (for DoCIPParams, "
     "the CIP3 guard's key and sentence instead)",
     "A value is longer than its fixed field of the RIP's parameter dictionary and is refused, not cut: the step "
     "stops there like any failure.",
     "The ticket value behind the item in quotes (an ink's \"Color\", \"InkBook\" or \"Dotshape\", a CIP3 text, "
     "the page ranges, an extra option's value, the short identifier), shortened to the limit given.",
     "CTicket2Dict_msbasetask::* - the value of \"*\" is * characters long; at most * are allowed"},
    {"sentence.refused-extra-option-key", 2, "AddExtraOptions at once; again by AddJob after \"qxmsm.failaddextra\"",
     "An extra option's key is longer than 199 characters and is refused, not cut: the options before it are "
     "applied, it and those after it are not.",
     "The job's \"ExtraOptions\": the key shown (its first 60 characters) before its \"=\".",
     "CTicket2Dict_msbasetask::AddExtraOptions - the extra option key \"*\" is * characters long; at most * are "
     "allowed"},
    {"sentence.refused-antialiasing", 2, "AddSetup_middle at once; again by SetupDict after \"qxmsm.failaddsetup\"",
     "\"AntiAliasing\" is not a whole 32-bit number and is refused, not rounded: the rest of the setup is skipped.",
     "The master options' \"AntiAliasing\" must be a whole number.",
     "CTicket2Dict_msbasetask::AddSetup middle - the value of \"AntiAliasing\" (*) is not a whole number from "
     "-2147483648 to 2147483647"},
    {"sentence.refused-shrink-expand", 2,
     "AddJobInfo_noPreviews at once, when \"shrexp\" is written in whole numbers; again by AddJob after "
     "\"qxmsm.failaddjob\"",
     "A distortion factor times 10000 gives no 32-bit integer, so \"shrexp\" is refused: the job's info stops there.",
     "The master options' \"VDistortion\" and \"HDistortion\" (factors near 1.0); a \"DispatcherVersion\" of 703000 "
     "or above with \"FileType\" \"PDF-class\" writes the precise form instead.",
     "CTicket2Dict_msbasetask::AddJobInfo_noPreviews - the factor of \"shrexp\" from \"*\" (* ten-thousandths) is "
     "not a 32-bit integer"},
    {"sentence.refused-layer-count", 2, "AddJob, after \"qxmsm.failaddjobglobal\": the failure of AddJobInfoGlobal",
     "The job's CIP3 \"Layers\" array spans more indexes than \"cip_nroflayers\" can count: the job stops there.",
     "The job's \"Contents\" / \"Layers\" array and its lower bound.",
     "CTicket2Dict_msbasetask::AddJobInfoGlobal - \"cip_nroflayers\" of * layers is out of range"},
    {"sentence.refused-job-index", 2, "AddJob, outside the guards, when the job index is 2147483647",
     "The job index leaves no room for a job number, so the job is not converted.",
     "The host's job index (the task file's job \"index\").",
     "CTicket2Dict_msbasetask::AddJob - the job index * gives no job number"},
    {"sentence.designer-ink-name", 2,
     "AddJobInfoGlobal (the job inks), for a job that is not PDF: the first text at once, then "
     "\"qxmsm.failaddjobglobal\", then the second text by AddJob",
     "An ink of the \"Designer\" book has a name of more than 15 characters, which a job that is not PDF can't "
     "carry: the job stops at that ink, the entries before it stay.",
     "The ink's \"Color\" (at most 15 characters for a \"Designer\" ink), or its \"InkBook\" / \"Type\".",
     "Error: This job contains an ink name longer than 15 characters (max)\n"
     "CTicket2Dict_msbasetask::AddJobInfoGlobal - job with ink name longer than 15 characters"},
    {"sentence.cip3-name-outside", 2, "DoCIPParams, before \"qxmsm.failaddcip\"",
     "A CIP3 template name would lead out of the IPL data folder and is refused: no copy is made, nothing is "
     "written or registered.",
     "\"PlateSettingFile\" and \"PressConfigFile\" in the ticket's \"CipParameters\" must be plain file names in the "
     "IPL data folder: no \"/\" or \"\\\", not \".\" or \"..\".",
     "CTicket2Dict_msbasetask::DoCIPParams - \"*\" must name a file in the IPL data folder, not \"*\""},
    {"sentence.cip3-short-id", 2, "DoCIPParams, before \"qxmsm.failaddcip\"",
     "The ticket's short identifier, which names the CIP3 copies, holds a path separator and is refused: no copy is "
     "made.",
     "The ticket's short identifier (the task file's \"shortId\"): no \"/\" or \"\\\", at most 95 characters.",
     "CTicket2Dict_msbasetask::DoCIPParams - \"ShortID\" names the CIP3 files and must not hold \"/\" or "
     "\"\\\": \"*\""},
    {"sentence.placement-out-of-range", 2, "AddJob, after \"qxmsm.failaddjobglobal\": the failure of AddPositionInfo",
     "The job's placement from its \"SelectArea\" leaves the 32-bit range and is refused: the margins written before "
     "stay, \"hpos\", \"vpos\" and the rest of the job are missing.",
     "The job's \"SelectArea\" (top, left, bottom, right) against its \"HSize\" and \"VSize\".",
     "CTicket2Dict_msbasetask::AddPositionInfo* - *SelectArea*"},
    {"sentence.missing-value", 2,
     "SetupDict or AddJob, after the guard's key; alone for a read outside the guards (the master's \"Options\" or "
     "\"Info\", the job dictionary)",
     "A value the step needs is missing from the ticket (the class found is the illegal value): the step stops there "
     "like any failure.",
     "Add the value named in the sentence (its key and key path, where the sentence names them), with the class "
     "expected.",
     "QX_EIllegalCast: *expected *, got QX_TIllegal*"},
    {"sentence.illegal-cast", 2,
     "SetupDict or AddJob, after the guard's key; alone for a read outside the guards",
     "A ticket value, or a server's answer, is of another class than the step expects: the step stops there like any "
     "failure.",
     "Write the value named in the sentence with the class expected (a text, a 32-bit integer, an unsigned 16-bit "
     "integer, a double, a dictionary...); for a server's answer, the service's entry in the task file's "
     "\"servers\".",
     "QX_EIllegalCast: *expected *, got *"},
    {"sentence.array-bounds", 2, "SetupDict or AddJob, after the guard's key; alone outside the guards",
     "An array element the step needs is not there (a job index beyond the jobs, a \"SelectArea\" with fewer than "
     "four values, a page range without its last page, an empty \"Jobs\"): the step stops there.",
     "The array the step reads: the host's job index against the jobs, the job's \"SelectArea\" and \"PageRange\" "
     "pairs, the master's \"Jobs\" and \"Order\".",
     "QX_TArray: index * outside the bounds [*, *]"},
    {"sentence.connection-refused", 2,
     "SetupDict or AddJob, after the guard's key, when a step's service can't be reached; alone for the "
     "environment section; for the CIP3 files only the CIP3 guard's key and sentence are logged",
     "The RIP server does not offer a service the step needs, so the step stops: file types (FileServer), jobs "
     "(ElemServer), ink books (QXCMS), configuration and resources (CFS), the CIP3 data folder (IPLServer).",
     "The server named by QX_SERVER (empty: the default server) must offer the service named; in a task file, its "
     "entry under \"servers\".",
     "QXM_TClient::Connect: connection refused: no service \"*\" on server \"*\""},
    {"sentence.remote-error", 2, "SetupDict or AddJob, after the guard's key, when a service call of a step failed",
     "A service of the RIP server could not answer the step's request (an unknown file, job or path): the step stops "
     "there.",
     "The service, method and request named: the server must know the file, job or configuration path asked for "
     "(in a task file, the service's entry under \"servers\").",
     "remote error: * \"*\": *"},
    {"sentence.value-error", 2, "SetupDict or AddJob, after the guard's key; alone outside the guards",
     "The value library refused an operation on a ticket value (a URL that is not a file URL, an array bound out of "
     "range): the step stops there.",
     "The value named in the sentence.", "QX_T*: *"},
    {"sentence.step-failure", 2,
     "SetupDict or AddJob, for the failure that ended a step (after the guard's key); some steps log it at once too",
     "The step named after \"::\" stopped at the problem named after \" - \": items written before stay, and the "
     "guard's key before it says what else is skipped.",
     "The problem named; the entries before it (the step's own key, a refusal) say more.",
     "CTicket2Dict_msbasetask::* - *"},
};

// The text without the blanks at its end.
std::string_view TrimEnd(std::string_view text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// True when `text` matches `pattern`, where '*' stands for any run of
// characters. Iterative, with one point to return to: linear in practice,
// at most |text| * |pattern| steps.
bool Matches(std::string_view text, std::string_view pattern) {
  size_t t = 0, p = 0;
  size_t starAt = std::string_view::npos, resumeAt = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starAt = p++;
      resumeAt = t;
    } else if (p < pattern.size() && pattern[p] == text[t]) {
      ++p;
      ++t;
    } else if (starAt != std::string_view::npos) {
      p = starAt + 1;
      t = ++resumeAt;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool MatchesAnySentence(std::string_view text, const char* sentences) {
  std::string_view rest(sentences);
  while (!rest.empty()) {
    const size_t end = rest.find('\n');
    if (Matches(text, TrimEnd(rest.substr(0, end)))) return true;
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return false;
}

}  // namespace

const std::vector<MessageInfo>& AllMessages() {
  // Constant once built; the table above is its only source.
  static const std::vector<MessageInfo> messages(std::begin(kMessages), std::end(kMessages));
  return messages;
}

const MessageInfo* FindMessage(const std::string& text) {
  const std::string_view trimmed = TrimEnd(text);
  const std::vector<MessageInfo>& messages = AllMessages();
  for (const MessageInfo& message : messages)
    if (trimmed == message.key) return &message;
  for (const MessageInfo& message : messages)
    if (message.sentences != nullptr && MatchesAnySentence(trimmed, message.sentences)) return &message;
  return nullptr;
}

std::string MessageLevelName(int level) {
  switch (level) {
    case 2: return "failure";
    case 1: return "warning";
    case 0: return "notice";
    default: return "level " + std::to_string(level);
  }
}

}  // namespace t2dhost
