// CTicket2Dict_msbasetask: the ticket converter of the RIP task. Before the
// RIP engine of a task starts, the task hands the converter the job ticket
// and the master; the converter writes the parameter dictionary the RIP
// engine reads: the "task", "setup" and "environment" sections and one
// section per job.
//
// The host task constructs a converter on itself, may pass options with
// SetOption, calls SetupDict once and then AddJob once per job.
//
// Every conversion step is a protected virtual operation, so that a RIP task
// variant (a flavour) can derive from this class and replace single steps.
// A step reports a fault by logging its message key at level 2 on the task
// log and raising a std::exception whose text is an English sentence
// ("CTicket2Dict_msbasetask::<step> - <problem>"). The guarded sub-steps add
// their own key on the way out; SetupDict and AddJob log the sentence that
// reaches them at level 2 and return normally. A setup failure skips the
// remaining setup steps; a job failure ends that job's remaining sub-steps.
// Items written before a failure stay.
#pragma once

#include <cstdarg>
#include <memory>
#include <string>
#include <vector>

#include "qxtypes.h"
#include "task.h"
#include "ticket.h"
#include "ticket2dict.h"
#include "univtype.h"

class IPLServerProxy;

// Hears which step of the converter runs: the host uses it to tell, for
// every task-log entry and every value read, the step and the job it belongs
// to. Steps are named after the operation the frame calls ("AddSetup_begin",
// "Ink2IniEntry", ...), so a flavour's override carries the name of the step
// it replaces; the entry points are "SetupDict" and "AddJob".
class T2D_IStepObserver {
 public:
  // The job number while no job runs.
  static constexpr long long kNoJob = -(1LL << 62);

  virtual ~T2D_IStepObserver() = default;
  // `step` starts, inside the step that started before it and has not
  // ended; `jobNumber` is the running job's number (jobIndex + 1) while
  // AddJob runs, else kNoJob. `step` stays valid until the step ends.
  virtual void StepStarted(const char* step, long long jobNumber) = 0;
  // The step that started last has ended, normally or by an exception.
  virtual void StepEnded() = 0;
};

// The checked conversion of a ticket value to class T, naming the source file
// and line that ask for it: T2D_CAST(QX_TDict, master["Options"]). A failure
// names the class expected and the class found and, for a looked-up value,
// the key and its key path in the task file.
#define T2D_CAST(T, value) qx_cast<T>((value), __FILE__, __LINE__)

class CTicket2Dict_msbasetask : public CTicket2Dict {
 public:
  // Room of the texts that Ink2IniEntry fills, terminator included.
  static constexpr size_t kInkKeyCapacity = 32;
  static constexpr size_t kInkValueCapacity = 260;
  // Room of the page list, terminator included.
  static constexpr size_t kPageListCapacity = 1024;

  // Constructs the converter on `task`; dispatcherVersion is -1.
  explicit CTicket2Dict_msbasetask(TW_TTask& task);
  // Copies the base part and every field. The IPL proxy, which lives only
  // while the CIP3 parameter step runs, is not shared: the copy has none.
  CTicket2Dict_msbasetask(const CTicket2Dict_msbasetask& other);
  CTicket2Dict_msbasetask& operator=(const CTicket2Dict_msbasetask&) = delete;
  ~CTicket2Dict_msbasetask() override;

  // "DispatcherVersion" (exact case) is read as an integer and kept in
  // dispatcherVersion; answers true. Every other name goes to the base
  // class. A value that is not a 32-bit integer raises std::invalid_argument.
  bool SetOption(const char* name, const CUnivType& value) override;

  using CTicket2Dict::AddJob;
  using CTicket2Dict::SetupDict;

  // Converts the setup of one master: stores the page selection, then, in
  // one guarded block, the task section, the setup section, the CIP3 options
  // and the environment section. A failure is logged at level 2 (its
  // sentence) and ends the call normally; the steps after it are skipped.
  // A page list of 1024 characters or more is refused the same way, before
  // anything of the page selection is stored and before any step runs.
  virtual void SetupDict(AT_TTicket& ticket, QX_TDict& master, QX_TString masterName, int filmIndex,
                         int optimizedExposure, QX_TArray& jobs, int pageFlag1, int pageFlag2, int pageFlag3,
                         int pageFlag4, const char* pageList);

  // Converts job `jobIndex` (zero-based) of `jobs` into the section of job
  // number jobIndex + 1. `jobFlag` and `jobArray` go to AddJobInfoGlobal; the
  // trailing bool is ignored. A failure is logged at level 2 and ends the
  // call normally.
  virtual void AddJob(AT_TTicket& ticket, int jobIndex, int jobFlag, QX_TArray& jobArray, QX_TArray& jobs, bool);

  // The observer that hears the steps start and end (null: none; not
  // owned). Watching costs one pointer test per step when there is none.
  void SetStepObserver(T2D_IStepObserver* observer) { stepObserver_ = observer; }

  // Read access for hosts and tests.
  int DispatcherVersion() const { return dispatcherVersion; }
  const char* PageList() const { return pageList; }
  const std::string& MasterName() const { return masterName; }

 protected:
  // Every step below is a protected virtual operation: a flavour overrides
  // it to replace the step, and may call the base step from its override.
  // For each: when it runs, what it reads, what it writes, how it fails.
  // "Fails" always means: it may log its own message key at level 2, then
  // raises a std::exception whose text is the sentence for the log; the
  // guard around it (named in each entry) adds the guard's key and carries
  // the text on. Items written before a failure stay in the output.

  // ---- Setup ---------------------------------------------------------------

  // Runs from SetupDict, after AddTask2Dict. Keeps `masterName` in the field
  // masterName (the job steps read it to find the master in the ticket's
  // "Masters"), converts master["Options"] and master["Info"] to QX_TDict
  // (checked: a wrong type fails, and nothing of the setup is written),
  // then runs AddSetupGlobal and AddSetup, each guarded: a failure
  // logs "qxmsm.failaddsetupglobal" or "qxmsm.failaddsetup" at level 2 and
  // raises a new std::exception with the caught text, which ends SetupDict
  // (no CIP3 options, no environment).
  virtual void AddSetup2Dict(AT_TTicket& ticket, QX_TString masterName, int filmIndex, QX_TDict& master,
                             int optimizedExposure);

  // Runs first in AddSetup2Dict, with the whole master dictionary ("Options",
  // "Info", "Jobs"), the film number and the optimized-exposure flag. Reads
  // the master, the ticket's short identifier and the device configuration
  // on the CFS service. Writes the "setup" items of the device defaults,
  // plate scales, resolution, CT resampling, output mode, copies and duplex,
  // the output file name ("Output"), CIP3 generation, exposure modes and
  // "ShortID". Fails with "qxmsm.invalidplatesizes" or one of the naming
  // keys ("qxmsm.morethanonejob", "qxmsm.nojob", "qxmsm.jobsentrynotfound",
  // "qxmsm.nojobinjobsentry", "qxmsm.nojobnameinfirstjob",
  // "qxmsm.nojobnameinjob"); guard: "qxmsm.failaddsetupglobal".
  virtual void AddSetupGlobal(AT_TTicket& ticket, QX_TDict& master, QX_TString& masterName, int filmIndex,
                              int optimizedExposure);

  // Runs after AddSetupGlobal: AddSetup_begin, AddSetup_middle and
  // AddSetup_end in this order with the master options, without a guard of
  // its own (guard: "qxmsm.failaddsetup"); a failing step skips the rest.
  virtual void AddSetup(AT_TTicket& ticket, QX_TDict& options, int filmIndex);

  // Setup begin. Reads the ticket's "Masters" and work dictionary, asks the
  // element server for the job the task works for, fills the task's
  // template names ("file", "fileurl", "jobfolderurl", "joburl", and the
  // placeholders "<ink>", "<sink>", "<page>", "<nink>", "<date>", "<time>"
  // for names already defined) and resolves the options' "OutputPath"; with
  // an empty "Conf", chooses a configuration from the device configuration
  // tree on the CFS service. Writes "conf" and "outdir". Fails with
  // "qxmsm.nomasters", "qxmsm.morethanonejob", "qxmsm.nojob" or
  // "qxmsm.confnotavailable".
  virtual void AddSetup_begin(AT_TTicket& ticket, QX_TDict& options, int filmIndex);
  // Setup middle. Reads the master options and the template names. Writes
  // the raster options: "dgc" (its curve name resolved through the template
  // names; "<none>" with the notice "qxmsm.nodgc" when it resolves to
  // nothing), left and reverse, anti-aliasing, resolution, compression,
  // single file. Fails on a value of the wrong type and on an
  // "AntiAliasing" that is not a whole 32-bit number.
  virtual void AddSetup_middle(AT_TTicket& ticket, QX_TDict& options, int filmIndex);
  // Setup end. Reads the master's plate size and distortion and the page
  // selection stored by SetupDict. Writes "rsx" and "rsy" again with the
  // distortion, and "omode" again. Fails with "qxmsm.nomasters" or
  // "qxmsm.invalidplatesizes".
  virtual void AddSetup_end(AT_TTicket& ticket, QX_TDict& options, int filmIndex);

  // Runs last in SetupDict. Asks the CFS service for the roots of the fonts,
  // the colour management data and the dot gain curves and the customer
  // name, turns the roots into UNC paths, and writes the "environment"
  // section ("QX_DATA_FONTS", "CUS_NAME", "QX_DATA_CMS", "QX_CMS",
  // "QX_DATA_DGC", "DGCDIR", "IOB_USE_CFS", "QX_SERVER"). Lookup failures
  // cost only their resource and are level-0 notices; only a CFS proxy that
  // can't be built fails the step (guard: SetupDict itself).
  virtual void AddEnvironment2Dict(AT_TTicket& ticket);

  // Runs first in SetupDict. Writes the "task" section: "DeviceName",
  // "TaskID", "UserName", in this order, unchanged texts; an empty text
  // leaves its key out. Reports nothing of its own; a failure of the ticket
  // passes to SetupDict, which logs it and skips the rest of the setup.
  virtual void AddTask2Dict(AT_TTicket& ticket);

  // ---- Jobs ----------------------------------------------------------------

  // Runs from AddJob. Takes element `jobIndex` of `jobs` as the job
  // dictionary (checked; a failure reaches AddJob directly) and runs
  // AddJobInfoGlobal, AddJobInfo and AddExtraOptions for job number
  // jobIndex + 1, each guarded: a failure logs "qxmsm.failaddjobglobal",
  // "qxmsm.failaddjob" or "qxmsm.failaddextra" at level 2 and raises a new
  // std::exception with the caught text, which ends this job only. The job
  // dictionary is the array's own element: what a step writes into it stays
  // in `jobs`.
  virtual void AddJob2Dict(AT_TTicket& ticket, QX_TArray& jobs, int jobIndex, int jobFlag, QX_TArray& jobArray);

  // The first job sub-step (guard: "qxmsm.failaddjobglobal"). Asks the file
  // server for the input file's type and writes "type", then "rot", then
  // calls AddPositionInfo; then the page selection ("page",
  // "rd_s_PAGELIST", and "omode" in "setup"), CIP3 contents, original name,
  // dot shape and screening family; last the job inks: Ink2IniEntry per
  // selected ink of the job (or of `jobArray` when `jobFlag` says the host
  // passes its ink list) and "inksel". Fails on values of the wrong type and
  // on over-long values (a sentence naming the key and the limit).
  virtual void AddJobInfoGlobal(AT_TTicket& ticket, QX_TDict& job, int jobNumber, int jobFlag, QX_TArray& jobArray);

  // Called by AddJobInfoGlobal right after "rot". Reads the job's rotation,
  // margins, scales, size, position and selected area, and the master
  // options' distortion factors. Writes "job_mtop", "job_mbot", "job_mlft",
  // "job_mrit", "hpos" and "vpos" with the comment "Added by Kestrel/<name>
  // task", where <name> is getFlavorName(). Fails with "qxmsm.nomasters",
  // and refuses a cropped job whose "SelectArea" crop leaves the 32-bit
  // range (a level-2 sentence naming "SelectArea"; no position is written).
  virtual void AddPositionInfo(AT_TTicket& ticket, QX_TDict& job, int jobNumber);
  // The same placement without any distortion factor; also writes the job's
  // "scale". The base converter never calls it: a flavour may call it from
  // its AddPositionInfo. Does not read `ticket`.
  virtual void AddPositionInfo_setButNoDistortion(AT_TTicket& ticket, QX_TDict& job, int jobNumber);

  // Called by AddJobInfoGlobal once per selected ink, with the number of
  // inks selected before it. Fills `key` (room kInkKeyCapacity) with "ink"
  // for index 0 and "ink<index>" otherwise, and `value` (room
  // kInkValueCapacity) with the ink, its book and its screen values; asks
  // the colour management server whether the book holds the ink (a warning
  // when not). Writes nothing into the output; an empty value means the ink
  // gets no entry. Fails on over-long names (a sentence naming the key and
  // the limit) and on a non-bool answer of the server.
  virtual void Ink2IniEntry(QX_TDict& ink, int index, char* key, char* value, bool isPdfJob);

  // The second job sub-step (guard: "qxmsm.failaddjob"): AddJobInfo_noPreviews
  // then AddJobInfo_previewsOnly, without a guard of its own.
  virtual void AddJobInfo(AT_TTicket& ticket, QX_TDict& job, int jobNumber);
  // Writes the job's "name" (its file URL, quoted), "scale" and "scrdgc"
  // (resolved through the template names; "qxmsm.noscrdgc" when it resolves
  // to nothing), and in "setup" "shrexp" (from the master's distortion,
  // with the warning "DispatcherVersion not specified" when no dispatcher
  // version was given) and "cpp" (copy dot). Fails with "qxmsm.nomasters",
  // on values of the wrong type, and on factors no integer can hold.
  virtual void AddJobInfo_noPreviews(AT_TTicket& ticket, QX_TDict& job, int jobNumber);
  // Reads the job's "RGBPreview" and "CMYKPreview" (required) and their
  // resolutions; writes "RGBpreview", "RGBResolution", "CMYKpreview",
  // "CMYKResolution" in "setup". A missing switch fails the step.
  virtual void AddJobInfo_previewsOnly(AT_TTicket& ticket, QX_TDict& job, int jobNumber);
  // The third job sub-step (guard: "qxmsm.failaddextra"). Reads the job's
  // free-form "ExtraOptions" and writes each option into "setup" or the
  // job's section, overruling any item written before (comment "Overruled
  // in Mistral Task by \"ExtraOptions\""); a job option also sets the job
  // dictionary's entry. Fails on over-long keys or values.
  virtual void AddExtraOptions(AT_TTicket& ticket, QX_TDict& job, int jobNumber);

  // ---- CIP3 ----------------------------------------------------------------

  // Runs in SetupDict after the setup. Reads the ticket's "CipParameters";
  // without them it does nothing. Resolves the CIP3 keys through the
  // template names into a working CIP3 dictionary, reads the keep switch
  // from the first job, and runs DoCIPParams with it. A failure of
  // DoCIPParams logs "qxmsm.failaddcip" and raises the step's own sentence,
  // which ends SetupDict (no environment section).
  virtual void AddCIPOptions2Dict(AT_TTicket& ticket, QX_TArray& jobs);
  // Asks the IPL server for its data folder, makes the job-specific copies
  // of the CIP3 plate settings (".ini") and press configuration (".dat")
  // templates there, registers them with the task (press copy first, with
  // the keep switch) and fills in their headers; writes "inkplan" and the
  // paper items in "setup". Keeps its IPL proxy in iplClient while it runs
  // and releases it before it returns. Names that would lead out of the data
  // folder, failed copies and missing required keys fail the step; a copy
  // the task has not registered yet is removed first, so no failure leaves
  // a copy the task does not list.
  virtual void DoCIPParams(AT_TTicket& ticket, QX_TDict& cip);

  // The flavour's name, used in the placement comment "Added by Kestrel/%s
  // task". The base converter is "BaseTask"; a flavour returns its own.
  virtual std::string getFlavorName();

  // ---- Item writers ------------------------------------------------------
  // A null or empty value writes nothing, not even the key. Comments are
  // optional (null: none). Environment and task items carry no comment.

  void AddItemSetup(const char* key, const char* value, const char* comment);
  void AddItemJob(int jobNumber, const char* key, const char* value, const char* comment);
  void AddItemEnvironment(const char* key, const char* value, int);
  void AddItemTask(const char* key, const char* value);

  // ---- Helpers for steps ---------------------------------------------------

  // Tells the thread's read observer (qx_observation.h) that the step reads
  // an argument of the entry points kept in a field ("pageFlag1" to
  // "pageFlag4", "pageList", "filmIndex", "optimizedExposure") or an option
  // ("DispatcherVersion"); nothing when no one listens.
  static void HeardArgument(const char* name, int value);
  static void HeardArgument(const char* name, const char* text);
  static void HeardOption(const char* name, int value);
  // The four page flags at once.
  void HeardPageFlags() const;

  // Calls `step`, a call of the step operation `name`, so that the step
  // observer hears it start and end. The frame calls every step through it;
  // a flavour may run its own sub-steps through it too. `name` must stay
  // valid while the step runs (a literal).
  template <class Step>
  void RunStep(const char* name, Step&& step) {
    if (stepObserver_ == nullptr) {
      step();
      return;
    }
    struct Ended {
      T2D_IStepObserver* observer;
      ~Ended() { observer->StepEnded(); }
    };
    stepObserver_->StepStarted(name, runningJob_);
    Ended ended{stepObserver_};
    step();
  }

  // Logs `messageKey` (when not null) at level 2 and raises a std::exception
  // with "CTicket2Dict_msbasetask::<step> - <problem>".
  [[noreturn]] void Fail(const char* step, const char* messageKey, const std::string& problem);

  // printf-style formatting into a std::string, without a length limit.
  static std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

  // printf-style formatting of the value of item `item` into a buffer of
  // `capacity` characters (terminator included). A value that doesn't fit is
  // refused: a plain sentence naming the item and the limit is logged at
  // level 2 and the step fails with it, as its other failures do.
  std::string FormatBounded(const char* step, const char* item, size_t capacity, const char* format, ...)
      __attribute__((format(printf, 5, 6)));

  // ---- Fields --------------------------------------------------------------

  // Version of the dispatcher that reads the output; -1 when not given.
  int dispatcherVersion;
  // The host's page selection, stored by SetupDict.
  int pageFlag1;
  int pageFlag2;
  int pageFlag3;
  int pageFlag4;
  char pageList[kPageListCapacity];
  // The master's name, kept by AddSetup2Dict.
  std::string masterName;
  // How Ink2IniEntry built the entry it filled last, with the keys that went
  // in; filled only while someone hears the writes (Deriving), and written
  // with the entry by AddJobInfoGlobal. A flavour's Ink2IniEntry may leave
  // it empty: the entry then has no derivation.
  std::string inkEntryDerivation;
  std::vector<std::string> inkEntryInputs;
  // The IPL proxy of DoCIPParams; null outside that step.
  std::unique_ptr<IPLServerProxy> iplClient;

 private:
  // SetupDict's work, run as the step "SetupDict".
  void SetupDictSteps(AT_TTicket& ticket, QX_TDict& master, QX_TString& masterName, int filmIndex,
                      int optimizedExposure, QX_TArray& jobs, int pageFlag1, int pageFlag2, int pageFlag3,
                      int pageFlag4, const char* pageList);

  T2D_IStepObserver* stepObserver_ = nullptr;
  // The number of the job that AddJob converts; kNoJob outside AddJob.
  long long runningJob_ = T2D_IStepObserver::kNoJob;
};

// Initializes the framework libraries the converter needs, in order:
// qxtypes, QXMWare, Ticket, Ticket2Dict, taskwrapper, templatenames. Stops
// at the first that fails and answers false; a later call tries again. After
// a success, answers true at once.
extern "C" bool __QX_INITIALIZATION_FUNCTION_Ticket2Dict_msbasetask__();
