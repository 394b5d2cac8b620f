// What a conversion did, step by step: the step and job of every task-log
// entry (always), and with tracing on, every step run with the values it read
// from the task file, the service requests it made and the items it wrote.
#pragma once

#include <optional>
#include <unordered_map>
#include <utility>
#include <string>
#include <string_view>
#include <vector>

#include "qxm_service.h"
#include "task.h"
#include "task_file.h"
#include "ticket2dict.h"
#include "ticket2dict_msbasetask.h"

namespace t2dhost {

// One value read from the task file: a lookup in one of its dictionaries
// or arrays, or a value handed over outside them (the ticket's own values,
// the task's, the entry points' arguments, options, template names, shares).
struct TraceRead {
  std::string path;           // its key path in the task file
  std::optional<Json> value;  // the typed encoding; absent for a key asked for and not there
  // The key path of the dictionary or array it was looked up in, or of the
  // part of the task file that holds the value ("ticket", "setup",
  // "options"): text the watch keeps once for all its reads, valid while
  // the watch lives.
  std::string_view collection;
  std::string key;            // the key asked for, or the name the converter reads the value by
                              // ("DeviceName", "pageList"); empty for an array element
};

// The key path in the task file of a value read outside its collections
// (QX_IReadObserver::ValueRead): "ticket.deviceName", "setup.pageFlags[0]",
// "options.DispatcherVersion", "task.templateNames.dgc", "shares[\"/srv/qx\"]".
// `collection` is set to the part of the file that holds it.
std::string ValuePath(QX_EValueSource source, const std::string& name, std::string& collection);

// One service request.
struct TraceCall {
  std::string service, method;
  Json arguments;             // array of typed encodings
  std::optional<Json> answer; // the typed answer, or
  std::string error;          // the failure's text
};

// One item write.
struct TraceWrite {
  std::string section;  // "task", "setup", "environment", "jobs.N" or a flavour's own
  std::string key, value;
  std::optional<std::string> comment;
  bool hasCommentField;  // task and environment items carry none
  // For a value the step computed: how, and the key paths of the reads
  // that went into it (empty for a copied value).
  std::string derivation;
  std::vector<std::string> inputs;
};

// One run of a step, in the order the runs started.
struct StepRun {
  std::string step;
  std::optional<long long> job;
  std::optional<size_t> parent;  // the enclosing run
  std::vector<TraceRead> reads;
  std::vector<TraceCall> calls;
  std::vector<TraceWrite> writes;
  // The keys whose presence it tested and found (the dictionary's place and
  // the key): not reads of the trace, but the keys are used.
  std::vector<std::pair<const QX_TOrigin*, std::string>> found;
  // The task-log entries logged while this run was the innermost (indices
  // into the task's log).
  std::vector<size_t> logEntries;
};

// Watches one conversion: hears the converter's steps and stamps each task-
// log entry with the running step and job. With tracing on it also records
// the step runs; bind it as the thread's read observer, the registry's call
// observer and the converter's write observer for that.
class ConversionWatch final : public T2D_IStepObserver,
                              public QX_IReadObserver,
                              public QXM_ICallObserver,
                              public CTicket2Dict_IWriteObserver {
 public:
  ConversionWatch(TW_TTask& task, bool tracing) : task_(task), tracing_(tracing) { open_.reserve(8); }
  // Its runs' reads point into its own tables.
  ConversionWatch(const ConversionWatch&) = delete;
  ConversionWatch& operator=(const ConversionWatch&) = delete;

  bool Tracing() const { return tracing_; }
  const std::vector<StepRun>& Runs() const { return runs_; }

  void StepStarted(const char* step, long long jobNumber) override;
  void StepEnded() override;

  void MemberRead(const QX_TOrigin& collection, const QX_TString& key, const QX_TAny* value) override;
  void MemberFound(const QX_TOrigin& collection, const QX_TString& key) override;
  void ElementRead(const QX_TOrigin& array, size_t position, const QX_TAny& value) override;
  void ValueRead(QX_EValueSource source, const std::string& name, const QX_TAny* value) override;

  void Answered(const QX_TString& service, const QX_TString& method, const std::vector<QX_TAny>& arguments,
                const QX_TAny& answer) override;
  void Failed(const QX_TString& service, const QX_TString& method, const std::vector<QX_TAny>& arguments,
              const std::string& error) override;

  void ItemWritten(const char* section, int jobNumber, const std::string& key, const std::string& value,
                   const char* comment) override;
  void ItemDerived(const std::string& key, const std::string& derivation,
                   const std::vector<std::string>& inputs) override;

 private:
  struct Open {
    const char* step;  // the converter's step names are literals
    std::optional<long long> job;
    size_t run;  // index into runs_ (tracing only)
  };
  // The run that hears what happens now; null outside every step.
  StepRun* Current();
  // The key path of a place, worked out once per conversion.
  const std::string& PathOf(const QX_TOrigin& origin);
  // The stack is about to change: the entries logged since the last change
  // belong to the run that was innermost, and the log's stamp follows.
  void TakeLogEntries();
  void Stamp();

  TW_TTask& task_;
  bool tracing_;
  std::vector<Open> open_;
  std::vector<StepRun> runs_;
  size_t logSeen_ = 0;
  std::unordered_map<const QX_TOrigin*, std::string> paths_;
  // The key path and collection of each value read outside the collections,
  // by its source (one character) and name.
  std::unordered_map<std::string, std::pair<std::string, std::string>> valuePaths_;
};

// The typed encoding of a value as a trace shows it: scalars whole; a
// dictionary, tree or array, whose own entries are read (and recorded) one
// by one, as its class and size ({"@class": "QX_TDict", "@entries": 19}).
Json TraceValue(const QX_TAny& value);

// One service request as a step run's "calls" holds it: "service",
// "method", "arguments", and "answer" or "error".
Json TraceCallJson(const TraceCall& call);

// One item write as a step run's "writes" holds it: "section", "key",
// "value", "comment" (not for task and environment items), and for a
// computed value "derivation" and "inputs".
Json TraceWriteJson(const TraceWrite& write);

// One step run as the result's "trace" holds it: "step", "job", "parent",
// "reads", "calls", "writes".
Json StepRunJson(const StepRun& run);

// The trace as the result's "trace" member: an array of step runs.
Json TraceJson(const std::vector<StepRun>& runs);

}  // namespace t2dhost
