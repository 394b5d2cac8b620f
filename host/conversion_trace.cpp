#include "conversion_trace.h"

#include <algorithm>
#include <cstring>

namespace t2dhost {

StepRun* ConversionWatch::Current() {
  if (!tracing_ || open_.empty()) return nullptr;
  return &runs_[open_.back().run];
}

void ConversionWatch::Stamp() {
  if (open_.empty())
    task_.SetLogContext(nullptr, std::nullopt);
  else
    task_.SetLogContext(open_.back().step, open_.back().job);
}

const std::string& ConversionWatch::PathOf(const QX_TOrigin& origin) {
  auto it = paths_.find(&origin);
  if (it == paths_.end()) it = paths_.emplace(&origin, origin.Path()).first;
  return it->second;
}

void ConversionWatch::TakeLogEntries() {
  if (!tracing_) return;
  const size_t logged = task_.Log().size();
  if (StepRun* run = Current())
    for (size_t i = logSeen_; i < logged; ++i) run->logEntries.push_back(i);
  logSeen_ = logged;
}

void ConversionWatch::StepStarted(const char* step, long long jobNumber) {
  TakeLogEntries();
  std::optional<long long> job;
  if (jobNumber != kNoJob) job = jobNumber;
  size_t run = 0;
  if (tracing_) {
    StepRun started;
    started.step = step;
    started.job = job;
    if (!open_.empty()) started.parent = open_.back().run;
    run = runs_.size();
    runs_.push_back(std::move(started));
  }
  open_.push_back(Open{step, job, run});
  Stamp();
}

void ConversionWatch::StepEnded() {
  TakeLogEntries();
  if (!open_.empty()) open_.pop_back();
  Stamp();
}

void ConversionWatch::MemberRead(const QX_TOrigin& collection, const QX_TString& key, const QX_TAny* value) {
  StepRun* run = Current();
  if (run == nullptr) return;
  TraceRead read;
  const std::string& where = PathOf(collection);
  read.collection = where;
  read.key = key.Str();
  read.path = QX_TOrigin::MemberPathOf(where, read.key);
  if (value != nullptr) read.value = TraceValue(*value);
  run->reads.push_back(std::move(read));
}

void ConversionWatch::MemberFound(const QX_TOrigin& collection, const QX_TString& key) {
  if (StepRun* run = Current()) run->found.emplace_back(&collection, key.Str());
}

void ConversionWatch::ElementRead(const QX_TOrigin& array, size_t position, const QX_TAny& value) {
  if (StepRun* run = Current()) {
    TraceRead read;
    const std::string& where = PathOf(array);
    read.collection = where;
    read.path = QX_TOrigin::ElementPathOf(where, position);
    read.value = TraceValue(value);
    run->reads.push_back(std::move(read));
  }
}

std::string ValuePath(QX_EValueSource source, const std::string& name, std::string& collection) {
  switch (source) {
    case QX_EValueSource::kTicket: {
      collection = "ticket";
      static constexpr struct {
        const char* accessor;
        const char* key;
      } kTicketKeys[] = {{"DeviceName", "deviceName"}, {"TaskID", "taskId"}, {"ShortID", "shortId"},
                         {"UserInfo", "userName"}};
      for (const auto& entry : kTicketKeys)
        if (name == entry.accessor) return QX_TOrigin::MemberPathOf(collection, entry.key);
      return QX_TOrigin::MemberPathOf(collection, name);
    }
    case QX_EValueSource::kTask:
      collection = "task";
      return QX_TOrigin::MemberPathOf(collection, name == "MergeID" ? "mergeId" : name);
    case QX_EValueSource::kTemplateName:
      collection = "task.templateNames";
      return QX_TOrigin::MemberPathOf(collection, name);
    case QX_EValueSource::kArgument:
      collection = "setup";
      // pageFlag1 to pageFlag4 are the four elements of "pageFlags".
      if (name.size() == 9 && name.compare(0, 8, "pageFlag") == 0 && name[8] >= '1' && name[8] <= '4')
        return QX_TOrigin::ElementPathOf("setup.pageFlags", static_cast<size_t>(name[8] - '1'));
      return QX_TOrigin::MemberPathOf(collection, name);
    case QX_EValueSource::kOption:
      collection = "options";
      return QX_TOrigin::MemberPathOf(collection, name);
    case QX_EValueSource::kShare:
      collection = "shares";
      return QX_TOrigin::MemberPathOf(collection, name);
  }
  collection.clear();
  return name;
}

void ConversionWatch::ValueRead(QX_EValueSource source, const std::string& name, const QX_TAny* value) {
  StepRun* run = Current();
  if (run == nullptr) return;
  TraceRead read;
  read.key = name;
  std::string id = name;
  id += static_cast<char>('0' + static_cast<int>(source));
  auto known = valuePaths_.find(id);
  if (known == valuePaths_.end()) {
    std::string collection;
    std::string path = ValuePath(source, name, collection);
    known = valuePaths_.emplace(std::move(id), std::make_pair(std::move(path), std::move(collection))).first;
  }
  read.path = known->second.first;
  read.collection = known->second.second;
  if (value != nullptr) {
    if (const auto* user = dynamic_cast<const QX_TUserInfo*>(value->Object()))
      read.value = Json(user->Name().Str());  // the task file holds the user's name
    else if (source == QX_EValueSource::kTemplateName && value->IsIllegal())
      read.value = Json(nullptr);  // defined without a value
    else
      read.value = TraceValue(*value);
  }
  run->reads.push_back(std::move(read));
}

namespace {

// Whether `read` is the read a step names `input` by: its key, or the end
// of its key path ("SelectArea[0]", "Info.WidthM").
bool ReadNamed(const TraceRead& read, const std::string& input) {
  if (read.key == input || read.path == input) return true;
  const std::string& path = read.path;
  if (path.size() <= input.size() || path.compare(path.size() - input.size(), input.size(), input) != 0)
    return false;
  const char before = path[path.size() - input.size() - 1];
  return before == '.' || input[0] == '[';
}

Json Arguments(const std::vector<QX_TAny>& arguments) {
  Json list = Json::array();
  for (const QX_TAny& argument : arguments) list.push_back(EncodeValue(argument));
  return list;
}

}  // namespace

void ConversionWatch::Answered(const QX_TString& service, const QX_TString& method,
                               const std::vector<QX_TAny>& arguments, const QX_TAny& answer) {
  if (StepRun* run = Current())
    run->calls.push_back(TraceCall{service.Str(), method.Str(), Arguments(arguments), EncodeValue(answer), ""});
}

void ConversionWatch::Failed(const QX_TString& service, const QX_TString& method,
                             const std::vector<QX_TAny>& arguments, const std::string& error) {
  if (StepRun* run = Current())
    run->calls.push_back(TraceCall{service.Str(), method.Str(), Arguments(arguments), std::nullopt, error});
}

void ConversionWatch::ItemWritten(const char* section, int jobNumber, const std::string& key,
                                  const std::string& value, const char* comment) {
  StepRun* run = Current();
  if (run == nullptr) return;
  TraceWrite write;
  write.section = section != nullptr ? section : "jobs." + std::to_string(jobNumber);
  write.key = key;
  write.value = value;
  if (comment != nullptr) write.comment = comment;
  write.hasCommentField = section == nullptr || (std::strcmp(section, "task") != 0 && std::strcmp(section, "environment") != 0);
  run->writes.push_back(std::move(write));
}

void ConversionWatch::ItemDerived(const std::string& key, const std::string& derivation,
                                  const std::vector<std::string>& inputs) {
  StepRun* run = Current();
  if (run == nullptr) return;
  auto write = std::find_if(run->writes.rbegin(), run->writes.rend(),
                            [&](const TraceWrite& w) { return w.key == key; });
  if (write == run->writes.rend()) return;  // the value was empty: nothing was written
  write->derivation = derivation;
  write->inputs.clear();
  // Each input is the last read of that name before the write, in this run
  // or in a run it started.
  const size_t self = static_cast<size_t>(run - runs_.data());
  for (const std::string& input : inputs) {
    const TraceRead* found = nullptr;
    for (size_t r = runs_.size(); r-- > self && found == nullptr;) {
      bool inside = r == self;
      for (std::optional<size_t> p = runs_[r].parent; !inside && p && *p >= self; p = runs_[*p].parent)
        inside = *p == self;
      if (!inside) continue;
      const auto& reads = runs_[r].reads;
      auto it = std::find_if(reads.rbegin(), reads.rend(), [&](const TraceRead& read) { return ReadNamed(read, input); });
      if (it != reads.rend()) found = &*it;
    }
    if (found != nullptr && std::find(write->inputs.begin(), write->inputs.end(), found->path) == write->inputs.end())
      write->inputs.push_back(found->path);
  }
}

namespace {

// {"@class": ..., "@entries": n}, built member by member: a trace holds
// one for every dictionary, tree or array read.
Json CollectionSummary(const char* className, long entries) {
  Json summary(Json::value_t::object);
  auto& members = summary.get_ref<Json::object_t&>();
  members.reserve(2);
  members.emplace_back("@class", className);
  members.emplace_back("@entries", entries);
  return summary;
}

}  // namespace

Json TraceValue(const QX_TAny& value) {
  const QX_TObject* object = value.Object();
  if (const auto* collection = dynamic_cast<const QX_TKeyedCollection*>(object))
    return CollectionSummary(object->ClassName(), collection->Entries());
  if (const auto* array = dynamic_cast<const QX_TArray*>(object))
    return CollectionSummary(object->ClassName(), array->Size());
  return EncodeValue(value);
}

Json TraceJson(const std::vector<StepRun>& runs) {
  Json trace = Json::array();
  for (const StepRun& run : runs) trace.push_back(StepRunJson(run));
  return trace;
}

Json TraceCallJson(const TraceCall& call) {
  Json entry = Json::object();
  entry["service"] = call.service;
  entry["method"] = call.method;
  entry["arguments"] = call.arguments;
  if (call.answer)
    entry["answer"] = *call.answer;
  else
    entry["error"] = call.error;
  return entry;
}

Json TraceWriteJson(const TraceWrite& write) {
  Json entry = Json::object();
  entry["section"] = write.section;
  entry["key"] = write.key;
  entry["value"] = write.value;
  if (write.hasCommentField) entry["comment"] = write.comment ? Json(*write.comment) : Json(nullptr);
  if (!write.derivation.empty()) {
    entry["derivation"] = write.derivation;
    entry["inputs"] = write.inputs;
  }
  return entry;
}

Json StepRunJson(const StepRun& run) {
  Json reads = Json::array();
  for (const TraceRead& read : run.reads) {
    Json entry = Json::object();
    entry["path"] = read.path;
    if (read.value)
      entry["value"] = *read.value;
    else
      entry["absent"] = true;
    reads.push_back(std::move(entry));
  }
  Json calls = Json::array();
  for (const TraceCall& call : run.calls) calls.push_back(TraceCallJson(call));
  Json writes = Json::array();
  for (const TraceWrite& write : run.writes) writes.push_back(TraceWriteJson(write));
  Json entry = Json::object();
  entry["step"] = run.step;
  entry["job"] = run.job ? Json(*run.job) : Json(nullptr);
  entry["parent"] = run.parent ? Json(*run.parent) : Json(nullptr);
  entry["reads"] = std::move(reads);
  entry["calls"] = std::move(calls);
  entry["writes"] = std::move(writes);
  return entry;
}

}  // namespace t2dhost
