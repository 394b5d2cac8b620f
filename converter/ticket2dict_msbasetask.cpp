// The converter's entry points, the order of its steps and the guards
// through which failures travel.
#include "ticket2dict_msbasetask.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "ipl_tproxy.h"
#include "text_format.h"

namespace {

constexpr const char* kClassName = "CTicket2Dict_msbasetask";

// Runs `step`; a std::exception logs `failureKey` at level 2 and travels on
// as a new std::exception with the caught text.
template <class Step>
void Guarded(TW_TTask& task, const char* failureKey, Step&& step) {
  try {
    step();
  } catch (const std::exception& e) {
    task.LogMessage(2, failureKey);
    throw std::runtime_error(e.what());
  }
}

}  // namespace

CTicket2Dict_msbasetask::CTicket2Dict_msbasetask(TW_TTask& task)
    : CTicket2Dict(task), dispatcherVersion(-1), pageFlag1(0), pageFlag2(0), pageFlag3(0), pageFlag4(0), pageList{} {}

CTicket2Dict_msbasetask::CTicket2Dict_msbasetask(const CTicket2Dict_msbasetask& other)
    : CTicket2Dict(other),
      dispatcherVersion(other.dispatcherVersion),
      pageFlag1(other.pageFlag1),
      pageFlag2(other.pageFlag2),
      pageFlag3(other.pageFlag3),
      pageFlag4(other.pageFlag4),
      masterName(other.masterName) {
  std::memcpy(pageList, other.pageList, sizeof pageList);
}

CTicket2Dict_msbasetask::~CTicket2Dict_msbasetask() = default;

void CTicket2Dict_msbasetask::HeardArgument(const char* name, int value) {
  QX_HeardValue(QX_EValueSource::kArgument, name, QX_TInt32(value));
}

void CTicket2Dict_msbasetask::HeardArgument(const char* name, const char* text) {
  if (QX_IReadObserver* observer = QX_TReadObserverBinding::Current()) {
    const QX_TAny value(QX_TString(text != nullptr ? text : ""));
    observer->ValueRead(QX_EValueSource::kArgument, name, &value);
  }
}

// An option that was never given (-1 for "DispatcherVersion") is heard as
// absent.
void CTicket2Dict_msbasetask::HeardOption(const char* name, int value) {
  if (QX_IReadObserver* observer = QX_TReadObserverBinding::Current()) {
    const QX_TAny given{QX_TInt32(value)};
    observer->ValueRead(QX_EValueSource::kOption, name, value == -1 ? nullptr : &given);
  }
}

void CTicket2Dict_msbasetask::HeardPageFlags() const {
  if (QX_TReadObserverBinding::Current() == nullptr) return;
  HeardArgument("pageFlag1", pageFlag1);
  HeardArgument("pageFlag2", pageFlag2);
  HeardArgument("pageFlag3", pageFlag3);
  HeardArgument("pageFlag4", pageFlag4);
}

bool CTicket2Dict_msbasetask::SetOption(const char* name, const CUnivType& value) {
  if (name != nullptr && std::strcmp(name, "DispatcherVersion") == 0) {
    dispatcherVersion = static_cast<int>(value);
    return true;
  }
  return CTicket2Dict::SetOption(name, value);
}

void CTicket2Dict_msbasetask::SetupDict(AT_TTicket& ticket, QX_TDict& master, QX_TString masterName, int filmIndex,
                                        int optimizedExposure, QX_TArray& jobs, int pageFlag1, int pageFlag2,
                                        int pageFlag3, int pageFlag4, const char* pageList) {
  RunStep("SetupDict", [&] {
    SetupDictSteps(ticket, master, masterName, filmIndex, optimizedExposure, jobs, pageFlag1, pageFlag2, pageFlag3,
                   pageFlag4, pageList);
  });
}

void CTicket2Dict_msbasetask::SetupDictSteps(AT_TTicket& ticket, QX_TDict& master, QX_TString& masterName,
                                             int filmIndex, int optimizedExposure, QX_TArray& jobs, int pageFlag1,
                                             int pageFlag2, int pageFlag3, int pageFlag4, const char* pageList) {
  const char* list = pageList ? pageList : "";
  const size_t length = std::strlen(list);
  if (length >= kPageListCapacity) {
    // The page list is refused rather than cut: a shortened list would select
    // other pages than the host asked for. The flags go with the list, so
    // none of the page selection is stored.
    Task().LogMessage(2, Format("%s::SetupDict - the page list is %zu characters long; at most %zu are allowed",
                                kClassName, length, kPageListCapacity - 1)
                             .c_str());
    return;
  }
  this->pageFlag1 = pageFlag1;
  this->pageFlag2 = pageFlag2;
  this->pageFlag3 = pageFlag3;
  this->pageFlag4 = pageFlag4;
  std::memcpy(this->pageList, list, length + 1);

  try {
    RunStep("AddTask2Dict", [&] { AddTask2Dict(ticket); });
    RunStep("AddSetup2Dict", [&] { AddSetup2Dict(ticket, masterName, filmIndex, master, optimizedExposure); });
    RunStep("AddCIPOptions2Dict", [&] { AddCIPOptions2Dict(ticket, jobs); });
    RunStep("AddEnvironment2Dict", [&] { AddEnvironment2Dict(ticket); });
  } catch (const std::exception& e) {
    Task().LogMessage(2, e.what());
  }
}

void CTicket2Dict_msbasetask::AddSetup2Dict(AT_TTicket& ticket, QX_TString masterName, int filmIndex,
                                            QX_TDict& master, int optimizedExposure) {
  this->masterName = masterName.Str();

  // The setup options dictionary; a copy shares its contents (constant time).
  QX_TDict options = T2D_CAST(QX_TDict, master["Options"]);
  (void)T2D_CAST(QX_TDict, master["Info"]);

  Guarded(Task(), "qxmsm.failaddsetupglobal", [&] {
    RunStep("AddSetupGlobal", [&] { AddSetupGlobal(ticket, master, masterName, filmIndex, optimizedExposure); });
  });
  Guarded(Task(), "qxmsm.failaddsetup", [&] { RunStep("AddSetup", [&] { AddSetup(ticket, options, filmIndex); }); });
}

void CTicket2Dict_msbasetask::AddSetup(AT_TTicket& ticket, QX_TDict& options, int filmIndex) {
  RunStep("AddSetup_begin", [&] { AddSetup_begin(ticket, options, filmIndex); });
  RunStep("AddSetup_middle", [&] { AddSetup_middle(ticket, options, filmIndex); });
  RunStep("AddSetup_end", [&] { AddSetup_end(ticket, options, filmIndex); });
}

void CTicket2Dict_msbasetask::AddJob(AT_TTicket& ticket, int jobIndex, int jobFlag, QX_TArray& jobArray,
                                     QX_TArray& jobs, bool) {
  struct RunningJob {
    long long& job;
    ~RunningJob() { job = T2D_IStepObserver::kNoJob; }
  } running{runningJob_};
  runningJob_ = static_cast<long long>(jobIndex) + 1;
  RunStep("AddJob", [&] {
    try {
      RunStep("AddJob2Dict", [&] { AddJob2Dict(ticket, jobs, jobIndex, jobFlag, jobArray); });
    } catch (const std::exception& e) {
      Task().LogMessage(2, e.what());
    }
  });
}

void CTicket2Dict_msbasetask::AddJob2Dict(AT_TTicket& ticket, QX_TArray& jobs, int jobIndex, int jobFlag,
                                          QX_TArray& jobArray) {
  QX_TDict& job = T2D_CAST(QX_TDict, jobs.At(jobIndex));
  if (jobIndex == INT_MAX)
    Fail("AddJob", nullptr, "the job index " + std::to_string(jobIndex) + " gives no job number");
  const int jobNumber = jobIndex + 1;

  Guarded(Task(), "qxmsm.failaddjobglobal", [&] {
    RunStep("AddJobInfoGlobal", [&] { AddJobInfoGlobal(ticket, job, jobNumber, jobFlag, jobArray); });
  });
  Guarded(Task(), "qxmsm.failaddjob", [&] { RunStep("AddJobInfo", [&] { AddJobInfo(ticket, job, jobNumber); }); });
  Guarded(Task(), "qxmsm.failaddextra",
          [&] { RunStep("AddExtraOptions", [&] { AddExtraOptions(ticket, job, jobNumber); }); });
}

void CTicket2Dict_msbasetask::AddJobInfo(AT_TTicket& ticket, QX_TDict& job, int jobNumber) {
  RunStep("AddJobInfo_noPreviews", [&] { AddJobInfo_noPreviews(ticket, job, jobNumber); });
  RunStep("AddJobInfo_previewsOnly", [&] { AddJobInfo_previewsOnly(ticket, job, jobNumber); });
}

std::string CTicket2Dict_msbasetask::getFlavorName() { return "BaseTask"; }

void CTicket2Dict_msbasetask::Fail(const char* step, const char* messageKey, const std::string& problem) {
  if (messageKey != nullptr) Task().LogMessage(2, messageKey);
  throw std::runtime_error(std::string(kClassName) + "::" + step + " - " + problem);
}


std::string CTicket2Dict_msbasetask::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out;
  try {
    out = t2d::FormatText(format, args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
  return out;
}

std::string CTicket2Dict_msbasetask::FormatBounded(const char* step, const char* item, size_t capacity,
                                                   const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out;
  try {
    out = t2d::FormatText(format, args);
  } catch (...) {
    va_end(args);
    throw;
  }
  va_end(args);
  if (capacity == 0 || out.size() > capacity - 1) {
    const std::string sentence = Format("%s::%s - the value of \"%s\" is %zu characters long; at most %zu are allowed",
                                        kClassName, step, item, out.size(), capacity ? capacity - 1 : 0);
    Task().LogMessage(2, sentence.c_str());
    throw std::runtime_error(sentence);
  }
  return out;
}
