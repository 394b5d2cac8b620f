#include "ticket_keys.h"

#include <algorithm>
#include <cstring>

namespace t2dhost {

namespace {

using Place = KeyPlace;

// Raw texts: the cells are Markdown, quotes and backslashes included.
const std::vector<TicketKey> kKeys = {
    {Place::kConfiguration, R"~("Masters")~", R"~(`QX_TDict`)~", R"~(**required**: setup begin, setup end, the job info and the placement each log "qxmsm.nomasters" and fail)~", R"~(the masters by name, and "Order")~", KeyClass::kDict, KeyClass::kNone, R"~()~", false, R"~()~"},
    {Place::kConfiguration, R"~("Masters" / "Order")~", R"~(`QX_TArray` of `QX_TString`)~", R"~(fails the setup when "OutputPath" is a template)~", R"~(the master names; the element at the lower bound names the master whose first job's "JobName" fills the template name `file`)~", KeyClass::kArray, KeyClass::kString, R"~()~", false, R"~()~"},
    {Place::kConfiguration, R"~("Masters" / master name)~", R"~(`QX_TDict`)~", R"~(the file is malformed (unless `setup.masterDictionary` is given; the steps after the global setup still read it))~", R"~(the [master dictionary](#master-dictionary) of `setup.master`)~", KeyClass::kDict, KeyClass::kNone, R"~()~", false, R"~()~"},
    {Place::kConfiguration, R"~("CipParameters")~", R"~(`QX_TDict`)~", R"~(no CIP3 files, no CIP3 items)~", R"~(the [CIP3 parameters](#cip3-parameters-configuration--cipparameters))~", KeyClass::kDict, KeyClass::kNone, R"~()~", false, R"~()~"},
    {Place::kMaster, R"~("Options")~", R"~(`QX_TDict`)~", R"~(**required**: the setup fails)~", R"~(the [master options](#master-options-options))~", KeyClass::kDict, KeyClass::kNone, R"~()~", false, R"~()~"},
    {Place::kMaster, R"~("Info")~", R"~(`QX_TDict`)~", R"~(**required**: the setup fails)~", R"~(the [plate size](#master-info-info))~", KeyClass::kDict, KeyClass::kNone, R"~()~", false, R"~()~"},
    {Place::kMaster, R"~("Jobs")~", R"~(`QX_TArray` of `QX_TDict`)~", R"~(with "FileName" given the global setup fails ("qxmsm.jobsentrynotfound" for a fixed or empty name))~", R"~(the jobs placed on the master; the first job is the element at the lower bound; the jobs array when `setup.jobs` is absent. Empty with "FileName" given: the global setup fails ("qxmsm.nojobinjobsentry" for a fixed or empty name))~", KeyClass::kArray, KeyClass::kDict, R"~()~", false, R"~()~"},
    {Place::kOptions, R"~("Conf")~", R"~(`QX_TString`)~", R"~(no "conf", no "outdir")~", R"~(configuration name. Not empty: `conf="<Conf>"` (comment "Configuration") and `outdir="<output folder>"` ("OutputPath"). Empty, with "OutputPath": the device's configurations on the CFS decide (below))~", KeyClass::kString, KeyClass::kNone, R"~()~", false, R"~(setup.conf)~"},
    {Place::kOptions, R"~("OutputPath")~", R"~(`QX_TString`)~", R"~(no "outdir")~", R"~(output folder, written as "outdir" (only with "Conf"). With `<` it is a template: backslashes become `/`, the [template names](#task) are filled and it is resolved to a URL (`Unknown` when that fails). A template that names "job" (any case) fails the setup when "WorksForJobs" has no entry or several ("qxmsm.morethanonejob") or its one id is `""` ("qxmsm.nojob"); one that names "file" fails when it has none or several)~", KeyClass::kString, KeyClass::kNone, R"~()~", true, R"~(setup.outdir?)~"},
    {Place::kOptions, R"~("FileName")~", R"~(`QX_TString`)~", R"~(no "Output")~", R"~(output file name, setup item "Output" in quotes: the name itself; empty: the first job's "JobName" without extension; with `<`: a template, which fails the setup when it names "job" and "WorksForJobs" has no entry or several ("qxmsm.morethanonejob"), or names "job" inside a placeholder and the one id is `""` ("qxmsm.nojob"); jobs with different names on one master: `"<FileName>_Merge_ID<mergeId>_Film<filmIndex>"` (or `"Merge_ID..."` for an empty name) and "extendfilename" = 0)~", KeyClass::kString, KeyClass::kNone, R"~()~", true, R"~(setup.Output, setup.extendfilename?)~"},
    {Place::kOptions, R"~("Resolution")~", R"~(number)~", R"~(no "res" from it)~", R"~(dpi; setup item "res"; the CT resampling's resolution when "ActualResolution" is absent)~", KeyClass::kNumber, KeyClass::kNone, R"~(dpi)~", false, R"~(setup.res, setup.ctres?, setup.shrexp?)~"},
    {Place::kOptions, R"~("ActualResolution")~", R"~(number)~", R"~()~", R"~(dpi; setup item "res" (written later, it replaces "Resolution"'s); the CT resampling's resolution)~", KeyClass::kNumber, KeyClass::kNone, R"~(dpi)~", false, R"~(setup.res, setup.ctres?, setup.shrexp?)~"},
    {Place::kOptions, R"~("CTResampling")~", R"~(`QX_TString`)~", R"~(no CT items)~", R"~(any letter case: "Output" → `ctres` = the resolution; "Highest" → `ct_sample=1`, `ctscalefilter=NONE`; "Automatic" → `ctres` = the resolution below 1000, else the resolution divided by a whole factor (2400 → 1200, 2540 → 1270). Nothing without a resolution above 0)~", KeyClass::kString, KeyClass::kNone, R"~()~", false, R"~(setup.ctres?, setup.ct_sample?, setup.ctscalefilter?)~"},
    {Place::kOptions, R"~("Copies")~", R"~(`QX_TUInt16`)~", R"~(no copies items)~", R"~(number of copies: "copies" and "numcopies")~", KeyClass::kUInt16, KeyClass::kNone, R"~()~", false, R"~(setup.copies, setup.numcopies)~"},
    {Place::kOptions, R"~("Duplex")~", R"~(truth value)~", R"~()~", R"~(true: "duplex" = 1; false writes nothing)~", KeyClass::kTruth, KeyClass::kNone, R"~()~", false, R"~(setup.duplex?)~"},
    {Place::kOptions, R"~("ShortSideDuplex")~", R"~(truth value)~", R"~()~", R"~("shortsideduplex" = 1 or 0)~", KeyClass::kTruth, KeyClass::kNone, R"~()~", false, R"~(setup.shortsideduplex)~"},
    {Place::kOptions, R"~("GenerateCIP")~", R"~(truth value)~", R"~()~", R"~("cip" = 1 or 0 (the CIP3 files come from "CipParameters"))~", KeyClass::kTruth, KeyClass::kNone, R"~()~", false, R"~(setup.cip)~"},
    {Place::kOptions, R"~("DGC")~", R"~(`QX_TString`)~", R"~(no "dgc")~", R"~(dot gain curve, resolved through the template names: `dgc="<curve>"`; resolving to nothing gives `dgc=<none>` and notice "qxmsm.nodgc")~", KeyClass::kString, KeyClass::kNone, R"~()~", true, R"~(setup.dgc)~"},
    {Place::kOptions, R"~("Left")~", R"~(truth value)~", R"~()~", R"~("left" = 1 or 0)~", KeyClass::kTruth, KeyClass::kNone, R"~()~", false, R"~(setup.left)~"},
    {Place::kOptions, R"~("Reverse")~", R"~(truth value)~", R"~()~", R"~("reverse" = 1 or 0)~", KeyClass::kTruth, KeyClass::kNone, R"~()~", false, R"~(setup.reverse)~"},
    {Place::kOptions, R"~("AntiAliasing")~", R"~(number)~", R"~()~", R"~("antialias"; must be a whole number in the 32-bit range, else the setup fails)~", KeyClass::kNumber, KeyClass::kNone, R"~()~", false, R"~(setup.antialias)~"},
    {Place::kOptions, R"~("Compression")~", R"~(`QX_TString`)~", R"~()~", R"~("ocompress", unquoted)~", KeyClass::kString, KeyClass::kNone, R"~()~", false, R"~(setup.ocompress)~"},
    {Place::kOptions, R"~("SingleFile")~", R"~(truth value)~", R"~()~", R"~("singlefile" = 1 or 0)~", KeyClass::kTruth, KeyClass::kNone, R"~()~", false, R"~(setup.singlefile)~"},
    {Place::kOptions, R"~("HDistortion")~", R"~(`QX_TDouble`)~", R"~(factor 1.0)~", R"~(horizontal distortion factor: "rsx" = width ÷ 254 × factor; multiplies the horizontal position; second value of "shrexp")~", KeyClass::kDouble, KeyClass::kNone, R"~(factor)~", false, R"~(setup.rsx, setup.shrexp?, jobs.N.hpos)~"},
    {Place::kOptions, R"~("VDistortion")~", R"~(`QX_TDouble`)~", R"~(factor 1.0)~", R"~(vertical distortion factor: "rsy" = height ÷ 254 × factor; multiplies the vertical position; first value of "shrexp" (with "HDistortion"))~", KeyClass::kDouble, KeyClass::kNone, R"~(factor)~", false, R"~(setup.rsy, setup.shrexp?, jobs.N.vpos)~"},
    {Place::kOptions, R"~("HTopDistortion", "HDownDistortion")~", R"~(`QX_TDouble`)~", R"~()~", R"~(horizontal distortion at the top and bottom edge. With "HDistortion" and both present: "TopDistortion" and "HorizontalDistortion" (the bottom one) are written; when they differ, the position and "shrexp" take 1.0 as horizontal factor)~", KeyClass::kDouble, KeyClass::kNone, R"~(factor)~", false, R"~(setup.TopDistortion? (HTopDistortion), setup.HorizontalDistortion? (HDownDistortion), setup.shrexp?, jobs.N.hpos?)~"},
    {Place::kOptions, R"~("FileType")~", R"~(`QX_TString`)~", R"~()~", R"~("PDF-class" (any case), with a dispatcher of 703000 or later: "shrexp" keeps fractions `(10000,10000.2295684114)` instead of whole numbers, with the seamless adjustment below)~", KeyClass::kString, KeyClass::kNone, R"~()~", false, R"~(setup.shrexp?)~"},
    {Place::kInfo, R"~("WidthM")~", R"~(`QX_TInt32`)~", R"~("HSize" is read)~", R"~(plate width, length: "rsx" = width ÷ 254 (global setup), then × "HDistortion" (setup end). 0 logs "qxmsm.invalidplatesizes" and fails the setup; a negative width writes no "rsx")~", KeyClass::kInt32, KeyClass::kNone, R"~(length)~", false, R"~(setup.rsx, setup.shrexp?)~"},
    {Place::kInfo, R"~("HSize")~", R"~(`QX_TInt32`)~", R"~(no "rsx")~", R"~(plate width when "WidthM" is absent)~", KeyClass::kInt32, KeyClass::kNone, R"~(length)~", false, R"~(setup.rsx?, setup.shrexp?)~"},
    {Place::kInfo, R"~("HeightM")~", R"~(`QX_TInt32`)~", R"~("VSize" is read)~", R"~(plate height, length: "rsy" = height ÷ 254, then × "VDistortion". 0 fails the setup; negative writes no "rsy")~", KeyClass::kInt32, KeyClass::kNone, R"~(length)~", false, R"~(setup.rsy)~"},
    {Place::kInfo, R"~("VSize")~", R"~(`QX_TInt32`)~", R"~(no "rsy")~", R"~(plate height when "HeightM" is absent)~", KeyClass::kInt32, KeyClass::kNone, R"~(length)~", false, R"~(setup.rsy?)~"},
    {Place::kJob, R"~("JobName")~", R"~(`QX_TString`)~", R"~(with "FileName" given, in the first job: "qxmsm.nojobnameinfirstjob"; in another of several: "qxmsm.nojobnameinjob" (the setup fails))~", R"~(the job's file name; without its extension it names the output ("Output", template name `file`); jobs with different names give a merged "Output")~", KeyClass::kString, KeyClass::kNone, R"~()~", false, R"~(setup.Output?)~"},
    {Place::kJob, R"~("FileSpec")~", R"~(`QX_TURL`)~", R"~(no "type", no "name")~", R"~(the input file: its type is asked of the FileServer, job item "type" = pdf (pdfsc, pdfpla, pdfsta), ps (EPS) or gro; job item `name="<URL>"`. The first job's also serves the element server's "ij" and the folder of `fileurl`)~", KeyClass::kURL, KeyClass::kNone, R"~()~", false, R"~(jobs.N.type, jobs.N.name)~"},
    {Place::kJob, R"~("Rotation")~", R"~(`QX_TInt32`)~", R"~(0)~", R"~(degrees: job item "rot" = Rotation ÷ 90 truncated (270 → 3, -90 → -1); 0 to 3 quarter turns decide which margin leads the position; other counts place the job at its plain position)~", KeyClass::kInt32, KeyClass::kNone, R"~(degrees)~", false, R"~(jobs.N.rot, jobs.N.hpos, jobs.N.vpos)~"},
    {Place::kJob, R"~("PageRange")~", R"~(`QX_TArray` of `[first, last]` pairs of `QX_TUInt32`)~", R"~()~", R"~(page ranges: job item "rd_s_PAGELIST" = `1-4,7-8`; present (even empty): setup "omode" = "multipage")~", KeyClass::kArray, KeyClass::kArray, R"~()~", false, R"~(jobs.N.rd_s_PAGELIST, setup.omode)~"},
    {Place::kJob, R"~("Page")~", R"~(`QX_TInt32`)~", R"~()~", R"~(a single page: job item "page", unless both `pageFlag1` and `pageFlag2` are non-zero)~", KeyClass::kInt32, KeyClass::kNone, R"~()~", false, R"~(jobs.N.page?)~"},
    {Place::kJob, R"~("Contents")~", R"~(`QX_TDict`)~", R"~()~", R"~(the job's CIP3 contents, [below](#contents))~", KeyClass::kDict, KeyClass::kNone, R"~()~", false, R"~()~"},
    {Place::kJob, R"~("OrigJobName")~", R"~(`QX_TURL`)~", R"~()~", R"~(original name: job item "originalname", when the job has no "Contents")~", KeyClass::kURL, KeyClass::kNone, R"~()~", false, R"~(jobs.N.originalname?)~"},
    {Place::kJob, R"~("Dotshape")~", R"~(`QX_TString`)~", R"~()~", R"~(job item "dot", unquoted (at most 199 bytes))~", KeyClass::kString, KeyClass::kNone, R"~()~", false, R"~(jobs.N.dot)~"},
    {Place::kJob, R"~("ScreeningClass")~", R"~(`QX_TString`)~", R"~("Tessaro_GRO" and "ScreeningType" are read)~", R"~(the screening class: "Corvane Classic (Precalculated)" and "Corvane Classic (Apexa for C, E, R, S)" → family CorvaneClassic; "Tessaro" → CorvaneClassic with GRO; "ApexaXM"; "Tessaro ApexaXM" → ApexaXM with GRO; "Seamless" (also asks for the seamless "shrexp"); other texts: no family. Job items "Tessaro_GRO" (1 or 0, always written) and "ScreeningType" (the family))~", KeyClass::kString, KeyClass::kNone, R"~()~", false, R"~(jobs.N.Tessaro_GRO, jobs.N.ScreeningType?, setup.shrexp?)~"},
    {Place::kJob, R"~("Tessaro_GRO")~", R"~(truth value)~", R"~(0)~", R"~(without "ScreeningClass": job item "Tessaro_GRO")~", KeyClass::kTruth, KeyClass::kNone, R"~()~", false, R"~(jobs.N.Tessaro_GRO)~"},
    {Place::kJob, R"~("ScreeningType")~", R"~(`QX_TString`)~", R"~(no family)~", R"~(without "ScreeningClass": job item "ScreeningType")~", KeyClass::kString, KeyClass::kNone, R"~()~", false, R"~(jobs.N.ScreeningType)~"},
    {Place::kJob, R"~("Highlights", "Shadows")~", R"~(`QX_TString`)~", R"~(**required** for the family ApexaXM: the job fails)~", R"~(job items "Highlights" and "Shadows")~", KeyClass::kString, KeyClass::kNone, R"~()~", false, R"~(jobs.N.Highlights? (Highlights), jobs.N.Shadows? (Shadows))~"},
    {Place::kJob, R"~("YellowMoire")~", R"~(`QX_TString`)~", R"~()~", R"~(job item "YellowMoire"; "1" or "2" also writes "YMSteps")~", KeyClass::kString, KeyClass::kNone, R"~()~", false, R"~(jobs.N.YellowMoire, jobs.N.YMSteps?)~"},
    {Place::kJob, R"~("YMSteps")~", R"~(`QX_TString`)~", R"~(**required** when "YellowMoire" is "1" or "2": the job fails)~", R"~(job item "YMSteps")~", KeyClass::kString, KeyClass::kNone, R"~()~", false, R"~(jobs.N.YMSteps?)~"},
    {Place::kJob, R"~("Ink")~", R"~(`QX_TArray` of ink dictionaries)~", R"~(no ink entries)~", R"~(the job's inks when `jobFlag` is 0: entries "ink", "ink1", ... (no "inksel"); see [ink dictionary](#ink-dictionary))~", KeyClass::kArray, KeyClass::kDict, R"~()~", false, R"~(jobs.N.ink<index>)~"},
    {Place::kJob, R"~("SelectArea")~", R"~(`QX_TArray` of four `QX_TUInt32`)~", R"~(not set)~", R"~(selected area [top, left, bottom, right], lengths; not set when all four are 0 (or the value is `{"@illegal": null}`); right and bottom default to "HSize" and "VSize". With a width and height the position is cropped by the leading edge. Fewer than four elements fail the job; keep the values below 2147483648)~", KeyClass::kArray, KeyClass::kUInt32, R"~(length)~", false, R"~(jobs.N.hpos, jobs.N.vpos)~"},
    {Place::kJob, R"~("TopMargin", "BottomMargin", "LeftMargin", "RightMargin")~", R"~(`QX_TInt32`)~", R"~(0)~", R"~(margins, lengths: job items "job_mtop", "job_mbot", "job_mlft", "job_mrit" = margin ÷ 254; the leading margin (scaled) enters the position)~", KeyClass::kInt32, KeyClass::kNone, R"~(length)~", false, R"~(jobs.N.job_mtop (TopMargin), jobs.N.job_mbot (BottomMargin), jobs.N.job_mlft (LeftMargin), jobs.N.job_mrit (RightMargin), jobs.N.hpos, jobs.N.vpos)~"},
    {Place::kJob, R"~("HSize", "VSize")~", R"~(`QX_TInt32`)~", R"~(0)~", R"~(the job's width and height, lengths: the selected area's defaults and the crop)~", KeyClass::kInt32, KeyClass::kNone, R"~(length)~", false, R"~(jobs.N.hpos?, jobs.N.vpos?)~"},
    {Place::kJob, R"~("HPos", "VPos")~", R"~(`QX_TInt32`)~", R"~(0)~", R"~(position, lengths: "hpos" = (HPos + scale × leading margin) × horizontal distortion − crop, ÷ 254; "vpos" likewise with the vertical distortion)~", KeyClass::kInt32, KeyClass::kNone, R"~(length)~", false, R"~(jobs.N.hpos (HPos), jobs.N.vpos (VPos))~"},
    {Place::kJob, R"~("VScale", "HScale")~", R"~(number)~", R"~(1.0)~", R"~(scale factors: scale the margins in the position; both present: job item "scale" = `VScale,HScale`)~", KeyClass::kNumber, KeyClass::kNone, R"~(factor)~", false, R"~(jobs.N.scale?, jobs.N.hpos, jobs.N.vpos)~"},
    {Place::kJob, R"~("ScrDGC")~", R"~(`QX_TString`)~", R"~()~", R"~(screening dot gain curve, resolved through the template names: `scrdgc="<curve>"`, or `<none>` with notice "qxmsm.noscrdgc")~", KeyClass::kString, KeyClass::kNone, R"~()~", true, R"~(jobs.N.scrdgc)~"},
    {Place::kJob, R"~("CopyDot")~", R"~(truth value)~", R"~()~", R"~(setup item "cpp" = 1 or 0 (the last job decides))~", KeyClass::kTruth, KeyClass::kNone, R"~()~", false, R"~(setup.cpp)~"},
    {Place::kJob, R"~("RGBPreview")~", R"~(truth value)~", R"~(**required**: the job info fails, so this job's preview items and extra options are missing)~", R"~(setup item "RGBpreview" = 1 or 0 (the last job decides))~", KeyClass::kTruth, KeyClass::kNone, R"~()~", false, R"~(setup.RGBpreview, setup.RGBResolution?)~"},
    {Place::kJob, R"~("CMYKPreview")~", R"~(truth value)~", R"~(**required**, as "RGBPreview")~", R"~(setup item "CMYKpreview" = 1 or 0)~", KeyClass::kTruth, KeyClass::kNone, R"~()~", false, R"~(setup.CMYKpreview, setup.CMYKResolution?)~"},
    {Place::kJob, R"~("RGBResolution")~", R"~(number)~", R"~("72.0")~", R"~(dpi; setup item "RGBResolution" when the RGB preview is on)~", KeyClass::kNumber, KeyClass::kNone, R"~(dpi)~", false, R"~(setup.RGBResolution?)~"},
    {Place::kJob, R"~("CMYKResolution")~", R"~(number)~", R"~("150.0")~", R"~(dpi; setup item "CMYKResolution" when the CMYK preview is on)~", KeyClass::kNumber, KeyClass::kNone, R"~(dpi)~", false, R"~(setup.CMYKResolution?)~"},
    {Place::kJob, R"~("ExtraOptions")~", R"~(`QX_TString`)~", R"~()~", R"~([extra options](#extra-options), applied last)~", KeyClass::kString, KeyClass::kNone, R"~()~", false, R"~()~"},
    {Place::kJob, R"~("Keep_CIP_ini")~", R"~(`QX_TString`)~", R"~("0")~", R"~(first job only: "0" registers the CIP3 copies as temporary files to delete (`keep: false`); any other text keeps them)~", KeyClass::kString, KeyClass::kNone, R"~()~", false, R"~()~"},
    {Place::kContents, R"~("Web")~", R"~(`QX_TString`)~", R"~()~", R"~(job item `cip_web="..."`)~", KeyClass::kString, KeyClass::kNone, R"~()~", false, R"~(jobs.N.cip_web)~"},
    {Place::kContents, R"~("PrintGroup")~", R"~(`QX_TString`)~", R"~()~", R"~(job item `cip_printgroup="..."`)~", KeyClass::kString, KeyClass::kNone, R"~()~", false, R"~(jobs.N.cip_printgroup)~"},
    {Place::kContents, R"~("Sides")~", R"~(`QX_TString`)~", R"~()~", R"~(job item `cip_sides="..."`)~", KeyClass::kString, KeyClass::kNone, R"~()~", false, R"~(jobs.N.cip_sides)~"},
    {Place::kContents, R"~("Layers")~", R"~(`QX_TArray` of `QX_TString`)~", R"~()~", R"~(job items "cip_nroflayers" (the count) and `cip_layer.<index>="<name>"` per element, by the array's own index)~", KeyClass::kArray, KeyClass::kString, R"~()~", false, R"~(jobs.N.cip_nroflayers, jobs.N.cip_layer.<index>)~"},
    {Place::kContents, R"~("InFile")~", R"~(`QX_TURL`)~", R"~()~", R"~(the imposition file: job items "cip_impfile" (left out when it can't be read) and "originalname" (a wrong class fails the job))~", KeyClass::kURL, KeyClass::kNone, R"~()~", false, R"~(jobs.N.cip_impfile?, jobs.N.originalname)~"},
    {Place::kContents, R"~("SmartNames")~", R"~(`QX_TDict` name → `QX_TString`)~", R"~()~", R"~(first job only, templated "FileName": each defined template name gets its value (empty values are skipped; a fault ends the walk))~", KeyClass::kDict, KeyClass::kString, R"~()~", false, R"~(setup.Output?)~"},
    {Place::kInk, R"~("Selected")~", R"~(`QX_TInt32`)~", R"~(selected)~", R"~(0 skips the ink (no entry, no index))~", KeyClass::kInt32, KeyClass::kNone, R"~()~", false, R"~(jobs.N.ink<index>?)~"},
    {Place::kInk, R"~("Color")~", R"~(`QX_TString`)~", R"~(no entry; in a job that is not a PDF the ink-name check then fails the job)~", R"~(the ink name; in the book "Designer" of a job that is not a PDF at most 15 characters, else the job fails ("Error: This job contains an ink name longer than 15 characters (max)"))~", KeyClass::kString, KeyClass::kNone, R"~()~", false, R"~(jobs.N.ink<index>)~"},
    {Place::kInk, R"~("Type")~", R"~(`QX_TString`)~", R"~(no entry; in a job that is not a PDF, without "InkBook" too, the job fails)~", R"~(ink type; the book when "InkBook" is absent ("Pantone" → "pms1000c"))~", KeyClass::kString, KeyClass::kNone, R"~()~", false, R"~(jobs.N.ink<index>)~"},
    {Place::kInk, R"~("InkBook")~", R"~(`QX_TString`)~", R"~("Type")~", R"~(the ink book, checked with QXCMS "TIDB_InkExists"; an ink the book does not hold gets an empty book (warning "Ink <name> is not found in the Book <book> ..."))~", KeyClass::kString, KeyClass::kNone, R"~()~", false, R"~(jobs.N.ink<index>)~"},
    {Place::kInk, R"~("LPI")~", R"~(`QX_TDouble`)~", R"~(short entry)~", R"~(screen ruling, lines per inch)~", KeyClass::kDouble, KeyClass::kNone, R"~(lines per inch)~", false, R"~(jobs.N.ink<index>?)~"},
    {Place::kInk, R"~("Angle")~", R"~(`QX_TDouble`)~", R"~(short entry)~", R"~(screen angle, degrees)~", KeyClass::kDouble, KeyClass::kNone, R"~(degrees)~", false, R"~(jobs.N.ink<index>?)~"},
    {Place::kInk, R"~("Dotshape")~", R"~(`QX_TString`)~", R"~(short entry)~", R"~(dot shape; "Unknown" (any case) is written empty)~", KeyClass::kString, KeyClass::kNone, R"~()~", false, R"~(jobs.N.ink<index>?)~"},
    {Place::kWork, R"~("ResultsFromPreviousTask")~", R"~(`QX_TDict`)~", R"~(**required**: setup begin fails)~", R"~(what the previous task produced)~", KeyClass::kDict, KeyClass::kNone, R"~()~", false, R"~()~"},
    {Place::kWork, R"~("ResultsFromPreviousTask" / "WorksForJobs")~", R"~(`QX_TDict` keyed by job id)~", R"~("no job")~", R"~(the jobs the task works for (values are not read): none or several entries is "more than one job", the one id `""` is "no job"; these refuse a templated "OutputPath" or "FileName" that names "job" (or, for several, "file"). One other id is asked of the ElemServer in every setup (`"jinfo_cpp"`, else `"ij"`) for the job's URL)~", KeyClass::kDict, KeyClass::kNone, R"~()~", false, R"~()~"},
    {Place::kWork, R"~("Inputfolder")~", R"~(`QX_TURL`)~", R"~(the folder of the first job's "FileSpec")~", R"~(value of the template name `fileurl`)~", KeyClass::kURL, KeyClass::kNone, R"~()~", false, R"~()~"},
    {Place::kCip, R"~("PlateSettingFile")~", R"~(`QX_TString`)~", R"~(yes)~", R"~(file name of the plate settings template (.ini) in the IPL data folder: one name, without `/` or `\`, not `.` or `..`)~", KeyClass::kString, KeyClass::kNone, R"~()~", false, R"~(setup.inkplan)~"},
    {Place::kCip, R"~("PressConfigFile")~", R"~(`QX_TString`)~", R"~(yes)~", R"~(file name of the press configuration template (.dat), likewise)~", KeyClass::kString, KeyClass::kNone, R"~()~", false, R"~()~"},
    {Place::kCip, R"~("OutputFileName")~", R"~(`QX_TString`)~", R"~(yes, resolved)~", R"~(plate copy: JOB / JobName)~", KeyClass::kString, KeyClass::kNone, R"~()~", true, R"~()~"},
    {Place::kCip, R"~("PageSide")~", R"~(`QX_TString`)~", R"~(yes)~", R"~(JOB / PageSide)~", KeyClass::kString, KeyClass::kNone, R"~()~", false, R"~()~"},
    {Place::kCip, R"~("Cip_JobName")~", R"~(`QX_TString`)~", R"~(yes, resolved)~", R"~(CIP3 / JobName)~", KeyClass::kString, KeyClass::kNone, R"~()~", true, R"~()~"},
    {Place::kCip, R"~("Cip_SheetName")~", R"~(`QX_TString`)~", R"~(yes, resolved)~", R"~(CIP3 / SheetName)~", KeyClass::kString, KeyClass::kNone, R"~()~", true, R"~()~"},
    {Place::kCip, R"~("Cip_JobCode")~", R"~(`QX_TString`)~", R"~(yes, resolved)~", R"~(CIP3 / JobCode)~", KeyClass::kString, KeyClass::kNone, R"~()~", true, R"~()~"},
    {Place::kCip, R"~("Cip_Customer")~", R"~(`QX_TString`)~", R"~(yes, resolved)~", R"~(CIP3 / Customer)~", KeyClass::kString, KeyClass::kNone, R"~()~", true, R"~()~"},
    {Place::kCip, R"~("Cip_Artist")~", R"~(`QX_TString`)~", R"~(yes, resolved)~", R"~(CIP3 / Artist)~", KeyClass::kString, KeyClass::kNone, R"~()~", true, R"~()~"},
    {Place::kCip, R"~("Cip_Software")~", R"~(`QX_TString`)~", R"~(yes)~", R"~(CIP3 / Software)~", KeyClass::kString, KeyClass::kNone, R"~()~", false, R"~()~"},
    {Place::kCip, R"~("Cip_Make")~", R"~(`QX_TString`)~", R"~(yes, resolved)~", R"~(CIP3 / Make)~", KeyClass::kString, KeyClass::kNone, R"~()~", true, R"~()~"},
    {Place::kCip, R"~("Cip_PaperWeight")~", R"~(`QX_TString`)~", R"~(no, resolved)~", R"~(setup item "cip3_paper_weight", the text as it is (its unit is the text's))~", KeyClass::kString, KeyClass::kNone, R"~()~", true, R"~(setup.cip3_paper_weight)~"},
    {Place::kCip, R"~("Cip_PaperThickness")~", R"~(`QX_TString`)~", R"~(no, resolved)~", R"~(setup item "cip3_paper_thickness", the text as it is)~", KeyClass::kString, KeyClass::kNone, R"~()~", true, R"~(setup.cip3_paper_thickness)~"},
};

// Each key's own names: "\"HSize\", \"VSize\"" holds two; "\"Masters\" /
// \"Order\"" names "Order" inside "Masters".
bool Names(const TicketKey& entry, const std::string& key) {
  const std::vector<std::string> keys = KeysOf(entry);
  return std::find(keys.begin(), keys.end(), key) != keys.end();
}

const char* Header(KeyPlace place) {
  switch (place) {
    case KeyPlace::kContents: return "| Key | Read as | Meaning | Items |\n|---|---|---|---|\n";
    case KeyPlace::kCip: return "| Key | Required | Meaning | Items |\n|---|---|---|---|\n";
    case KeyPlace::kOptions:
    case KeyPlace::kInfo:
    case KeyPlace::kJob:
    case KeyPlace::kInk: return "| Key | Read as | Absent | Meaning and unit | Items |\n|---|---|---|---|---|\n";
    default: return "| Key | Read as | Absent | Meaning | Items |\n|---|---|---|---|---|\n";
  }
}

}  // namespace

const std::vector<TicketKey>& AllTicketKeys() { return kKeys; }

const TicketKey* FindTicketKey(KeyPlace place, const std::string& key) {
  for (const TicketKey& entry : kKeys)
    if (entry.place == place && Names(entry, key)) return &entry;
  return nullptr;
}

const char* KeyClassName(KeyClass cls) {
  switch (cls) {
    case KeyClass::kNone: return "any class";
    case KeyClass::kInt32: return QX_TInt32::kClassName;
    case KeyClass::kUInt32: return QX_TUInt32::kClassName;
    case KeyClass::kUInt16: return QX_TUInt16::kClassName;
    case KeyClass::kDouble: return QX_TDouble::kClassName;
    case KeyClass::kNumber: return "number";
    case KeyClass::kTruth: return "truth value";
    case KeyClass::kBool: return QX_TBool::kClassName;
    case KeyClass::kString: return QX_TString::kClassName;
    case KeyClass::kURL: return QX_TURL::kClassName;
    case KeyClass::kDict: return QX_TDict::kClassName;
    case KeyClass::kArray: return QX_TArray::kClassName;
  }
  return "any class";
}

bool ClassFits(KeyClass cls, const std::string& className) {
  const bool number = className == QX_TDouble::kClassName || className == QX_TInt32::kClassName ||
                      className == QX_TUInt32::kClassName || className == QX_TUInt16::kClassName;
  switch (cls) {
    case KeyClass::kNone: return true;
    case KeyClass::kNumber:
    case KeyClass::kTruth: return number || className == QX_TBool::kClassName;
    default: return className == KeyClassName(cls);
  }
}

std::vector<KeyItem> ItemsOf(const TicketKey& entry) {
  std::vector<KeyItem> items;
  for (const char* at = entry.items; *at != '\0';) {
    const char* end = std::strstr(at, ", ");
    KeyItem item;
    item.pattern = end == nullptr ? std::string(at) : std::string(at, end);
    if (const size_t open = item.pattern.find(" ("); open != std::string::npos && item.pattern.back() == ')') {
      item.key = item.pattern.substr(open + 2, item.pattern.size() - open - 3);
      item.pattern.erase(open);
    }
    item.optional = !item.pattern.empty() && item.pattern.back() == '?';
    if (item.optional) item.pattern.pop_back();
    items.push_back(item);
    if (end == nullptr) break;
    at = end + 2;
  }
  return items;
}

std::vector<std::string> KeysOf(const TicketKey& entry) {
  std::vector<std::string> keys;
  const char* text = entry.keys;
  if (const char* slash = std::strstr(text, " / ")) text = slash + 3;
  for (const char* at = std::strchr(text, '"'); at != nullptr; at = std::strchr(at + 1, '"')) {
    const char* end = std::strchr(at + 1, '"');
    if (end == nullptr) break;
    keys.emplace_back(at + 1, end);
    at = end;
  }
  return keys;
}

bool ItemMatches(const std::string& pattern, const std::string& item) {
  size_t p = 0, i = 0;
  const auto digits = [&item, &i](size_t least) {
    const size_t from = i;
    while (i < item.size() && item[i] >= '0' && item[i] <= '9') ++i;
    return i - from >= least;
  };
  while (p < pattern.size()) {
    if (pattern.compare(p, 7, "<index>") == 0) {
      if (!digits(0)) return false;
      p += 7;
    } else if (pattern.compare(p, 6, "jobs.N") == 0) {
      if (item.compare(i, 5, "jobs.") != 0) return false;
      i += 5;
      if (!digits(1)) return false;
      p += 6;
    } else if (i < item.size() && item[i] == pattern[p]) {
      ++p, ++i;
    } else {
      return false;
    }
  }
  return i == item.size();
}

std::vector<std::string> KeysFeeding(const std::string& item) {
  std::vector<std::string> keys;
  const auto add = [&keys](const std::string& key) {
    if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
  };
  for (const TicketKey& entry : kKeys)
    for (const KeyItem& each : ItemsOf(entry)) {
      if (!ItemMatches(each.pattern, item)) continue;
      if (!each.key.empty()) add(each.key);
      for (const std::string& key : KeysOf(entry))
        if (each.key.empty()) add(key);
    }
  return keys;
}

const char* HowToWrite(KeyClass cls) {
  switch (cls) {
    case KeyClass::kInt32: return "a number without '.', 'e' or 'E' (or {\"@int32\": n})";
    case KeyClass::kUInt32: return "{\"@uint32\": n}";
    case KeyClass::kUInt16: return "{\"@uint16\": n}";
    case KeyClass::kDouble: return "a number with a fraction or exponent, or {\"@double\": n}";
    case KeyClass::kNumber: return "a number";
    case KeyClass::kTruth: return "true or false";
    case KeyClass::kBool: return "true or false";
    case KeyClass::kString: return "a JSON string";
    case KeyClass::kURL: return "{\"@url\": \"...\"}";
    case KeyClass::kDict: return "an object";
    case KeyClass::kArray: return "an array";
    case KeyClass::kNone: break;
  }
  return "any value";
}

std::string TicketKeyTableMarkdown(KeyPlace place) {
  std::string out = std::string(kKeyTableBegin) + "\n" + Header(place);
  for (const TicketKey& entry : kKeys) {
    if (entry.place != place) continue;
    const std::string absent = *entry.absent ? std::string(entry.absent) + " " : std::string();
    std::string cell;
    for (const KeyItem& item : ItemsOf(entry))
      cell += (cell.empty() ? "`" : ", `") + item.pattern + (item.optional ? "`?" : "`") +
              (item.key.empty() ? "" : " (\"" + item.key + "\")");
    if (place == KeyPlace::kContents)
      out += std::string("| ") + entry.keys + " | " + entry.readAs + " | " + entry.meaning + " | " + cell + " |\n";
    else if (place == KeyPlace::kCip)
      out += std::string("| ") + entry.keys + " | " + entry.absent + " | " + entry.meaning + " | " + cell + " |\n";
    else
      out += std::string("| ") + entry.keys + " | " + entry.readAs + " | " + absent + "| " + entry.meaning + " | " +
             cell + " |\n";
  }
  return out + "\n" + kKeyTableEnd;
}

}  // namespace t2dhost
