// TW_TTask: the RIP task the converter runs in. It keeps the task log, the
// template names, the registry of temporary files and the merge identifier.
// The operations are virtual so that tests can watch or fail them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "qxtypes.h"
#include "tname.h"

struct TW_TLogEntry {
  int level;         // 2 failure, 1 warning, 0 notice
  std::string text;  // a message key or an English sentence
  bool hasArgument;  // logged with the three-argument form
  QX_TAny argument;  // the argument of the three-argument form
  // Where it was logged, as the host set it (SetLogContext): the step that
  // ran, and the job's number while a job ran.
  std::string step;
  std::optional<long long> job;
};

struct TW_TTempFile {
  QX_TURL url;
  bool keep;
};

class TW_TTask {
 public:
  TW_TTask() = default;
  virtual ~TW_TTask() = default;
  TW_TTask(const TW_TTask&) = delete;
  TW_TTask& operator=(const TW_TTask&) = delete;

  // Appends an entry to the task log.
  virtual void LogMessage(int level, const char* text);
  virtual void LogMessage(int level, const char* key, const QX_TAny& argument);

  // The task's template names.
  virtual TName& Names() { return names_; }
  // Registers a file with the task; `keep` false marks it for deletion when
  // the task ends.
  virtual TW_TTask& RegisterTempFile(const QX_TURL& url, bool keep);
  // The task's merge identifier.
  virtual QX_TString MergeID() const {
    QX_HeardValue(QX_EValueSource::kTask, "MergeID", mergeId_);
    return mergeId_;
  }

  void SetMergeID(const QX_TString& id) { mergeId_ = id; }
  // The step and job that the entries logged from now on are stamped with
  // (null: no step). The step's text must stay valid until the next call.
  void SetLogContext(const char* step, std::optional<long long> job) {
    logStep_ = step;
    logJob_ = job;
  }
  const std::vector<TW_TLogEntry>& Log() const { return log_; }
  const std::vector<TW_TTempFile>& TempFiles() const { return tempFiles_; }
  const TName& Names() const { return names_; }

 private:
  std::vector<TW_TLogEntry> log_;
  std::vector<TW_TTempFile> tempFiles_;
  TName names_;
  QX_TString mergeId_;
  const char* logStep_ = nullptr;
  std::optional<long long> logJob_;
};

extern "C" bool __QX_INITIALIZATION_FUNCTION_taskwrapper__();
