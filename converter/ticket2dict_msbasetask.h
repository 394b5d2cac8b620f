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

#include "qxtypes.h"
#include "task.h"
#include "ticket.h"
#include "ticket2dict.h"
#include "univtype.h"

class IPLServerProxy;

// The source unit that the converter names in its checked conversions.
#define T2D_SOURCE_UNIT ".\\ticket2dict_msbasetask.cpp"

// The checked conversion of a ticket value to class T, naming the
// converter's source unit and the line: T2D_CAST(QX_TDict, master["Options"]).
#define T2D_CAST(T, value) qx_cast<T>((value), T2D_SOURCE_UNIT, __LINE__)

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
  // any step runs.
  virtual void SetupDict(AT_TTicket& ticket, QX_TDict& master, QX_TString masterName, int filmIndex,
                         int optimizedExposure, QX_TArray& jobs, int pageFlag1, int pageFlag2, int pageFlag3,
                         int pageFlag4, const char* pageList);

  // Converts job `jobIndex` (zero-based) of `jobs` into the section of job
  // number jobIndex + 1. `jobFlag` and `jobArray` go to AddJobInfoGlobal; the
  // trailing bool is ignored. A failure is logged at level 2 and ends the
  // call normally.
  virtual void AddJob(AT_TTicket& ticket, int jobIndex, int jobFlag, QX_TArray& jobArray, QX_TArray& jobs, bool);

  // Read access for hosts and tests.
  int DispatcherVersion() const { return dispatcherVersion; }
  const char* PageList() const { return pageList; }
  const std::string& MasterName() const { return masterName; }

 protected:
  // ---- Setup ---------------------------------------------------------------

  // Runs from SetupDict after the task section. Keeps `masterName`, converts
  // master["Options"] and master["Info"] to QX_TDict (checked; a wrong type
  // fails), sets the numeric locale to "C" (not restored, so every "%.15g"
  // writes a point), then runs AddSetupGlobal and AddSetup, each guarded: a
  // failure logs "qxmsm.failaddsetupglobal" or "qxmsm.failaddsetup" at level
  // 2 and raises a new std::exception with the caught text.
  virtual void AddSetup2Dict(AT_TTicket& ticket, QX_TString masterName, int filmIndex, QX_TDict& master,
                             int optimizedExposure);

  // The global setup: device defaults, scales, CT resampling, output mode,
  // copies and duplex, the output file name, CIP3 generation, exposure
  // modes, the short identifier. Receives the whole master dictionary.
  // Writes "setup" items; fails with its own message key and sentence.
  virtual void AddSetupGlobal(AT_TTicket& ticket, QX_TDict& master, QX_TString& masterName, int filmIndex,
                              int optimizedExposure);

  // Runs AddSetup_begin, AddSetup_middle and AddSetup_end in this order with
  // the master options, without a guard of its own.
  virtual void AddSetup(AT_TTicket& ticket, QX_TDict& options, int filmIndex);

  // Setup begin: checks the masters, counts the jobs the task works for,
  // fills the template names and resolves the output path; writes "conf" and
  // "outdir". Fails with "qxmsm.nomasters", "qxmsm.morethanonejob",
  // "qxmsm.nojob" or "qxmsm.confnotavailable".
  virtual void AddSetup_begin(AT_TTicket& ticket, QX_TDict& options, int filmIndex);
  // Setup middle: the raster options (dot gain curve, left and reverse,
  // anti-aliasing, resolution, compression, single file).
  virtual void AddSetup_middle(AT_TTicket& ticket, QX_TDict& options, int filmIndex);
  // Setup end: the plate scales with distortion and the output mode. Fails
  // with "qxmsm.nomasters" or "qxmsm.invalidplatesizes".
  virtual void AddSetup_end(AT_TTicket& ticket, QX_TDict& options, int filmIndex);

  // The "environment" section: UNC locations of the shared fonts, colour
  // management data and dot gain curves, the customer name, "IOB_USE_CFS"
  // and "QX_SERVER". Lookup failures are level-0 notices; only a CFS proxy
  // that can't be built fails the step.
  virtual void AddEnvironment2Dict(AT_TTicket& ticket);

  // The "task" section: "DeviceName", "TaskID", "UserName", in this order,
  // unchanged texts; an empty text leaves its key out. Reports nothing of
  // its own; a failure of the ticket passes to SetupDict.
  virtual void AddTask2Dict(AT_TTicket& ticket);

  // ---- Jobs ----------------------------------------------------------------

  // Takes element `jobIndex` of `jobs` as the job dictionary (checked; a
  // failure reaches AddJob directly) and runs AddJobInfoGlobal, AddJobInfo
  // and AddExtraOptions for job number jobIndex + 1, each guarded: a failure
  // logs "qxmsm.failaddjobglobal", "qxmsm.failaddjob" or
  // "qxmsm.failaddextra" at level 2 and raises a new std::exception with the
  // caught text. The job dictionary is the array's own element: what a step
  // writes into it stays in `jobs`.
  virtual void AddJob2Dict(AT_TTicket& ticket, QX_TArray& jobs, int jobIndex, int jobFlag, QX_TArray& jobArray);

  // The global job info: file type, rotation, placement (AddPositionInfo),
  // page selection, CIP3 contents, original name, dot shape, screening
  // family, then the job inks and the ink selection (Ink2IniEntry per
  // selected ink). Writes job items and some "setup" items.
  virtual void AddJobInfoGlobal(AT_TTicket& ticket, QX_TDict& job, int jobNumber, int jobFlag, QX_TArray& jobArray);

  // Placement: the job's margins and horizontal and vertical position from
  // rotation, scale, selected area and distortion. Called by
  // AddJobInfoGlobal after the rotation item.
  virtual void AddPositionInfo(AT_TTicket& ticket, QX_TDict& job, int jobNumber);
  // The placement variant that leaves the distortion out.
  virtual void AddPositionInfo_setButNoDistortion(AT_TTicket& ticket, QX_TDict& job, int jobNumber);

  // Builds one ink entry: fills `key` (room kInkKeyCapacity) with "ink" for
  // index 0, "ink<index>" otherwise, and `value` (room kInkValueCapacity)
  // with the ink, its book and its screen values. Writes nothing into the
  // output; an empty value means the ink gets no entry.
  virtual void Ink2IniEntry(QX_TDict& ink, int index, char* key, char* value, bool isPdfJob);

  // Runs AddJobInfo_noPreviews then AddJobInfo_previewsOnly, without a guard
  // of its own.
  virtual void AddJobInfo(AT_TTicket& ticket, QX_TDict& job, int jobNumber);
  // Job info: file name, shrink and expand, scale, screening dot gain curve
  // and copy dot.
  virtual void AddJobInfo_noPreviews(AT_TTicket& ticket, QX_TDict& job, int jobNumber);
  // The RGB and CMYK preview switches and resolutions ("setup" items).
  virtual void AddJobInfo_previewsOnly(AT_TTicket& ticket, QX_TDict& job, int jobNumber);
  // The job's free-form extra options, which may overrule any item written
  // before (setup or job) or hand values to the job dictionary.
  virtual void AddExtraOptions(AT_TTicket& ticket, QX_TDict& job, int jobNumber);

  // ---- CIP3 ----------------------------------------------------------------

  // Resolves the ticket's CIP3 parameters through the template names and,
  // when there are any, runs DoCIPParams with the working CIP3 dictionary.
  // A failure of DoCIPParams logs "qxmsm.failaddcip" and raises the step's
  // own sentence.
  virtual void AddCIPOptions2Dict(AT_TTicket& ticket, QX_TArray& jobs);
  // Makes the job-specific copies of the CIP3 plate settings and press
  // configuration templates beside the IPL templates, registers them with
  // the task and fills in their headers; writes "inkplan" and the paper
  // items. Keeps its IPL proxy in iplClient while it runs.
  virtual void DoCIPParams(AT_TTicket& ticket, QX_TDict& cip);

  // The flavour's name, used in the placement comment "Added by Kestrel/%s
  // task". The base converter is "BaseTask".
  virtual std::string getFlavorName();

  // ---- Item writers ------------------------------------------------------
  // A null or empty value writes nothing, not even the key. Comments are
  // optional (null: none). Environment and task items carry no comment.

  void AddItemSetup(const char* key, const char* value, const char* comment);
  void AddItemJob(int jobNumber, const char* key, const char* value, const char* comment);
  void AddItemEnvironment(const char* key, const char* value, int);
  void AddItemTask(const char* key, const char* value);

  // ---- Helpers for steps ---------------------------------------------------

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
  // The IPL proxy of DoCIPParams; null outside that step.
  std::unique_ptr<IPLServerProxy> iplClient;
};

// Initializes the framework libraries the converter needs, in order:
// qxtypes, QXMWare, Ticket, Ticket2Dict, taskwrapper, templatenames. Stops
// at the first that fails and answers false; a later call tries again. After
// a success, answers true at once.
extern "C" bool __QX_INITIALIZATION_FUNCTION_Ticket2Dict_msbasetask__();
