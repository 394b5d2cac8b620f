#include "lint.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "diagnostics.h"
#include "flavour_loader.h"
#include "message_catalogue.h"
#include "plate_geometry.h"
#include "program_output.h"
#include "regression.h"
#include "result_writer.h"
#include "ticket_keys.h"

#ifndef T2D_VERSION
#define T2D_VERSION "unknown"
#endif

namespace t2dhost {

namespace {

constexpr int kExitClean = 0;
constexpr int kExitBadFile = 2;
constexpr int kExitFindings = 3;

using Severity = LintFinding::Severity;

std::string Dump(const Json& json) { return json.dump(-1, ' ', false, Json::error_handler_t::replace); }

// Where `path` stands in the file: the path itself, else its nearest
// enclosing member or element that has a place (an element that is a
// scalar has none of its own), else the setup, else the first line.
FilePosition PositionOf(const TaskFile& file, std::string path) {
  if (!file.positions) return FilePosition{1, 1};
  while (!path.empty()) {
    const auto found = file.positions->find(path);
    if (found != file.positions->end()) return found->second;
    const size_t cut = path.back() == ']' ? path.rfind('[') : path.find_last_of(".[");
    if (cut == std::string::npos || cut == 0) break;
    path.erase(cut);
  }
  const auto setup = file.positions->find("setup");
  return setup != file.positions->end() ? setup->second : FilePosition{1, 1};
}

// The key path of job `number`'s dictionary in the jobs array, or "".
std::string JobPath(const TaskFile& file, int number) {
  const QX_TOrigin* origin = file.jobsArray.Origin();
  if (origin == nullptr || number < 1) return std::string();
  for (const AddJobCall& call : file.jobs)
    if (call.index + 1 == number) {
      const int64_t position = int64_t{call.index} - file.jobsArray.LowerBound();
      if (position < 0 || position >= file.jobsArray.Size()) return std::string();
      return origin->ElementPath(static_cast<size_t>(position));
    }
  return std::string();
}

LintFinding Finding(const TaskFile& file, Severity severity, std::string code, std::string path,
                    std::optional<int> job, std::string message, std::string hint = std::string()) {
  LintFinding finding;
  finding.severity = severity;
  finding.code = std::move(code);
  finding.position = PositionOf(file, path.empty() && job ? JobPath(file, *job) : path);
  finding.path = std::move(path);
  finding.job = job;
  finding.message = std::move(message);
  finding.hint = std::move(hint);
  return finding;
}

// A level-2 log entry: its catalogue key as the code, the key path that a
// failed conversion names ("... at ticket.configuration...: expected ...").
LintFinding LogFinding(const TaskFile& file, const TW_TLogEntry& entry, const char* after) {
  const MessageInfo* info = FindMessage(entry.text);
  std::string text = entry.text;
  const std::string place = LogEntryPlace(entry.step, entry.job);
  if (!place.empty()) text += " (" + place + ")";
  if (info != nullptr) text += ": " + std::string(info->meaning);
  text += after;
  std::string path;
  const size_t at = entry.text.find(" at ");
  if (at != std::string::npos) {
    const size_t end = entry.text.find(": ", at + 4);
    if (end != std::string::npos) path = entry.text.substr(at + 4, end - at - 4);
  }
  std::optional<int> job;
  if (entry.job && *entry.job > 0 && *entry.job <= INT32_MAX) job = static_cast<int>(*entry.job);
  return Finding(file, Severity::kError, info != nullptr ? info->key : "log", path, job, text);
}

// ---- Classes ------------------------------------------------------------

// Walks the ticket's values (a copy of them) against the table of ticket
// keys: every master and job, every ink. A value of another class than its
// key's is a finding; where it can be read as the class wanted (1 as 1.0,
// "/in" as a URL), the copy gets it so, for a second conversion that sees
// past the failure it would cause.
class ClassCheck {
 public:
  ClassCheck(const TaskFile& file, std::vector<LintFinding>& findings)
      : file_(file), base_(TaskFileFolder(file.path)), findings_(findings) {}

  // Answers whether a value was replaced.
  bool Run(TaskFile& copy) {
    std::map<int64_t, int> numbers;  // position in the jobs array -> job number
    for (const AddJobCall& call : copy.jobs) numbers[int64_t{call.index} - copy.jobsArray.LowerBound()] = call.index + 1;
    const TicketKey* jobs = FindTicketKey(KeyPlace::kMaster, "Jobs");
    for (int64_t i = 0; i < copy.jobsArray.Size(); ++i) {
      const auto number = numbers.find(i);
      Element(copy.jobsArray, i, *jobs, KeyClass::kDict, "a job",
              number == numbers.end() ? std::nullopt : std::optional<int>(number->second),
              [&](QX_TAny& value, std::optional<int> job) { Dict(KeyPlace::kJob, value, job); });
    }
    for (AddJobCall& call : copy.jobs) {
      QX_TArray& inks = call.jobArray;
      for (int64_t i = 0; i < inks.Size(); ++i) {
        QX_TAny& ink = inks.At(static_cast<int>(inks.LowerBound() + i));
        if (std::strcmp(ink.ClassName(), QX_TArray::kClassName) == 0) {
          auto& group = static_cast<QX_TArray&>(*ink.Object());
          for (int64_t j = 0; j < group.Size(); ++j)
            Dict(KeyPlace::kInk, group.At(static_cast<int>(group.LowerBound() + j)), call.index + 1);
        } else {
          Dict(KeyPlace::kInk, ink, call.index + 1);
        }
      }
    }
    if (copy.setup) Walk(KeyPlace::kMaster, copy.setup->masterDictionary, std::nullopt);
    Walk(KeyPlace::kConfiguration, copy.configuration, std::nullopt);
    Walk(KeyPlace::kWork, copy.work, std::nullopt);
    return changed_;
  }

  // The values of keys resolved through the template names: key path, text.
  const std::vector<std::pair<std::string, std::string>>& Templated() const { return templated_; }

 private:
  template <class Inside>
  void Element(QX_TArray& array, int64_t position, const TicketKey& entry, KeyClass cls, const char* what,
               std::optional<int> job, Inside inside) {
    QX_TAny& value = array.At(static_cast<int>(array.LowerBound() + position));
    const std::string path = array.Origin() ? array.Origin()->ElementPath(static_cast<size_t>(position)) : "";
    if (Fits(entry, cls, value, path, std::string(what) + " in " + Quoted(entry), job)) inside(value, job);
  }

  void Elements(QX_TAny& value, const TicketKey& entry, KeyClass cls, std::optional<int> job) {
    auto& array = static_cast<QX_TArray&>(*value.Object());
    for (int64_t i = 0; i < array.Size(); ++i)
      Element(array, i, entry, cls, "an element", job, [](QX_TAny&, std::optional<int>) {});
  }

  void Dict(KeyPlace place, QX_TAny& value, std::optional<int> job) {
    if (auto* dict = dynamic_cast<QX_TKeyedCollection*>(value.Object())) Walk(place, *dict, job);
  }

  void Walk(KeyPlace place, QX_TKeyedCollection& dict, std::optional<int> job) {
    // A value that stands at several places (the master dictionary handed
    // to the setup and the configuration's) is walked at each, so that
    // every place the steps read is read as its key wants; the findings
    // are kept once.
    const QX_TOrigin* origin = dict.Origin();
    for (size_t i = 0; i < dict.Items().size(); ++i) {
      const std::string key = dict.Items()[i].first.Str();
      const TicketKey* entry = FindTicketKey(place, key);
      if (place == KeyPlace::kConfiguration && key != "Masters" && key != "CipParameters") entry = nullptr;
      if (place == KeyPlace::kWork && key == "WorksForJobs") entry = nullptr;
      if (entry == nullptr) continue;
      QX_TAny& value = dict.Value(QX_TString(key));
      const std::string path = origin != nullptr ? origin->MemberPath(key) : std::string();
      if (!Fits(*entry, entry->cls, value, path, QX_TOrigin::Quoted(key), job)) continue;
      if (entry->templated && std::strcmp(value.ClassName(), QX_TString::kClassName) == 0) {
        std::pair<std::string, std::string> templated(path, static_cast<const QX_TString&>(*value.Object()).Str());
        if (std::find(templated_.begin(), templated_.end(), templated) == templated_.end())
          templated_.push_back(std::move(templated));
      }
      Inside(place, key, *entry, value, job);
    }
  }

  void Inside(KeyPlace place, const std::string& key, const TicketKey& entry, QX_TAny& value,
              std::optional<int> job) {
    if (place == KeyPlace::kConfiguration && key == "Masters") {
      auto& masters = static_cast<QX_TKeyedCollection&>(*value.Object());
      const TicketKey* order = FindTicketKey(KeyPlace::kConfiguration, "Order");
      const TicketKey* master = nullptr;
      for (const TicketKey& e : AllTicketKeys())
        if (e.place == KeyPlace::kConfiguration && std::strstr(e.keys, "master name") != nullptr) master = &e;
      for (size_t i = 0; i < masters.Items().size(); ++i) {
        const std::string name = masters.Items()[i].first.Str();
        QX_TAny& item = masters.Value(QX_TString(name));
        const std::string path = masters.Origin() ? masters.Origin()->MemberPath(name) : "";
        const TicketKey& which = name == "Order" ? *order : *master;
        if (!Fits(which, which.cls, item, path, QX_TOrigin::Quoted(name), std::nullopt)) continue;
        if (name == "Order")
          Elements(item, which, KeyClass::kString, std::nullopt);
        else
          Dict(KeyPlace::kMaster, item, std::nullopt);
      }
      return;
    }
    if (place == KeyPlace::kConfiguration && key == "CipParameters") return Dict(KeyPlace::kCip, value, job);
    if (place == KeyPlace::kMaster && key == "Options") return Dict(KeyPlace::kOptions, value, job);
    if (place == KeyPlace::kMaster && key == "Info") return Dict(KeyPlace::kInfo, value, job);
    if (place == KeyPlace::kMaster && key == "Jobs") {
      auto& jobs = static_cast<QX_TArray&>(*value.Object());
      for (int64_t i = 0; i < jobs.Size(); ++i)
        Element(jobs, i, entry, KeyClass::kDict, "a job", std::nullopt,
                [&](QX_TAny& job, std::optional<int> number) { Dict(KeyPlace::kJob, job, number); });
      return;
    }
    if (place == KeyPlace::kJob && key == "Contents") return Dict(KeyPlace::kContents, value, job);
    if (place == KeyPlace::kJob && key == "Ink") {
      auto& inks = static_cast<QX_TArray&>(*value.Object());
      for (int64_t i = 0; i < inks.Size(); ++i)
        Element(inks, i, entry, KeyClass::kDict, "an ink", job,
                [&](QX_TAny& ink, std::optional<int> number) { Dict(KeyPlace::kInk, ink, number); });
      return;
    }
    if (place == KeyPlace::kJob && key == "PageRange") {
      auto& ranges = static_cast<QX_TArray&>(*value.Object());
      for (int64_t i = 0; i < ranges.Size(); ++i)
        Element(ranges, i, entry, KeyClass::kArray, "a page range", job,
                [&](QX_TAny& range, std::optional<int> number) { Elements(range, entry, KeyClass::kUInt32, number); });
      return;
    }
    if (place == KeyPlace::kWork && key == "ResultsFromPreviousTask") {
      auto& results = static_cast<QX_TKeyedCollection&>(*value.Object());
      const TicketKey* works = nullptr;
      for (const TicketKey& e : AllTicketKeys())
        if (e.place == KeyPlace::kWork && std::strstr(e.keys, "\"WorksForJobs\"") != nullptr) works = &e;
      for (size_t i = 0; i < results.Items().size(); ++i) {
        if (results.Items()[i].first.Str() != "WorksForJobs") continue;
        const std::string path = results.Origin() ? results.Origin()->MemberPath("WorksForJobs") : "";
        Fits(*works, works->cls, results.Value(QX_TString("WorksForJobs")), path, "\"WorksForJobs\"", job);
      }
      return;
    }
    if (entry.elements == KeyClass::kNone) return;
    if (entry.cls == KeyClass::kArray) return Elements(value, entry, entry.elements, job);
    if (auto* values = dynamic_cast<QX_TKeyedCollection*>(value.Object()))
      for (size_t i = 0; i < values->Items().size(); ++i) {
        const std::string name = values->Items()[i].first.Str();
        const std::string path = values->Origin() ? values->Origin()->MemberPath(name) : "";
        Fits(entry, entry.elements, values->Value(QX_TString(name)), path, QX_TOrigin::Quoted(name), job);
      }
  }

  static std::string Quoted(const TicketKey& entry) {
    const char* slash = std::strstr(entry.keys, " / ");
    return slash != nullptr ? std::string(slash + 3) : std::string(entry.keys);
  }

  // Whether `value` is of `cls`; when not, a finding, and the value
  // replaced in the copy where it can be read as `cls`. The illegal value
  // is written on purpose ({"@illegal": null}) and is not a finding.
  bool Fits(const TicketKey& entry, KeyClass cls, QX_TAny& value, const std::string& path, const std::string& what,
            std::optional<int> job) {
    if (value.IsIllegal()) return false;
    const std::string found = value.ClassName();
    if (ClassFits(cls, found)) return true;
    const bool scalar = dynamic_cast<const QX_TKeyedCollection*>(value.Object()) == nullptr &&
                        dynamic_cast<const QX_TArray*>(value.Object()) == nullptr;
    std::string message = (path.empty() ? what : path) + " is a " + found + (scalar ? " (" + Dump(EncodeValue(value)) + ")" : "") +
                          "; it is read as a " + KeyClassName(cls);
    if (*entry.unit != '\0' && cls == entry.cls) message += std::string(" (") + entry.unit + ")";
    std::string hint;
    if (Repair(cls, value, hint)) changed_ = true;
    findings_.push_back(Finding(file_, Severity::kError, "type", path, job, message, hint));
    return false;
  }

  // Reads `value` as `cls` where that keeps what it says; `hint` says how
  // to write it.
  bool Repair(KeyClass cls, QX_TAny& value, std::string& hint) const {
    const std::string found = value.ClassName();
    const QX_TObject& object = *value.Object();
    std::optional<int64_t> whole;
    if (found == QX_TInt32::kClassName) whole = static_cast<const QX_TInt32&>(object).Value();
    if (found == QX_TUInt32::kClassName) whole = static_cast<const QX_TUInt32&>(object).Value();
    if (found == QX_TUInt16::kClassName) whole = static_cast<const QX_TUInt16&>(object).Value();
    if (found == QX_TDouble::kClassName) {
      const double d = static_cast<const QX_TDouble&>(object).Value();
      if (std::isfinite(d) && std::trunc(d) == d && std::fabs(d) < 9.0e15) whole = static_cast<int64_t>(d);
    }
    const std::string n = whole ? std::to_string(*whole) : std::string();
    switch (cls) {
      case KeyClass::kDouble:
        if (!whole || found == QX_TDouble::kClassName) break;
        hint = "write " + n + ".0, or {\"@double\": " + n + "}";
        value = QX_TDouble(static_cast<double>(*whole));
        return true;
      case KeyClass::kInt32:
        if (!whole || *whole < INT32_MIN || *whole > INT32_MAX) break;
        hint = "write " + n + " (a number without '.', 'e' or 'E', no tag)";
        value = QX_TInt32(static_cast<int32_t>(*whole));
        return true;
      case KeyClass::kUInt32:
        if (!whole || *whole < 0 || *whole > UINT32_MAX) break;
        hint = "write {\"@uint32\": " + n + "}";
        value = QX_TUInt32(static_cast<uint32_t>(*whole));
        return true;
      case KeyClass::kUInt16:
        if (!whole || *whole < 0 || *whole > UINT16_MAX) break;
        hint = "write {\"@uint16\": " + n + "}";
        value = QX_TUInt16(static_cast<uint16_t>(*whole));
        return true;
      case KeyClass::kBool:
        if (!whole) break;
        hint = "write " + std::string(*whole != 0 ? "true" : "false");
        value = QX_TBool(*whole != 0);
        return true;
      case KeyClass::kString:
        if (!whole && found != QX_TDouble::kClassName && found != QX_TBool::kClassName) break;
        {
          const std::string text = Dump(EncodeValue(value));
          if (text.front() == '{') break;
          hint = "write it in quotes: " + QX_TOrigin::Quoted(text);
          value = QX_TString(text);
        }
        return true;
      case KeyClass::kURL:
        if (found != QX_TString::kClassName) break;
        {
          const std::string text = static_cast<const QX_TString&>(object).Str();
          hint = "write {\"@url\": " + QX_TOrigin::Quoted(text) + "}";
          try {
            value = UrlFromText(text, base_);
          } catch (const std::exception&) {
            return false;
          }
        }
        return true;
      default: break;
    }
    hint = std::string("write ") + HowToWrite(cls);
    return false;
  }

  const TaskFile& file_;
  std::string base_;
  std::vector<LintFinding>& findings_;
  bool changed_ = false;
  std::vector<std::pair<std::string, std::string>> templated_;
};

// ---- Keys never read ------------------------------------------------------

// The dictionaries of the values handed to the converter that a step
// looked into, in the order of the task file, each with its key path and
// keys. A dictionary no step looked into is left out with all it holds: the
// key that holds it is the one never read. A value that stands at several
// places is walked once, at the first.
class TicketDictionaries {
 public:
  struct Dictionary {
    std::string path;
    std::vector<std::string> keys;
  };

  explicit TicketDictionaries(const std::set<std::string>& lookedInto) : lookedInto_(lookedInto) {}

  // `root`: a value handed to the converter whole.
  void Walk(const QX_TAny& value, bool root) {
    const QX_TObject* object = value.Object();
    if (const auto* collection = dynamic_cast<const QX_TKeyedCollection*>(object)) {
      const QX_TOrigin* origin = collection->Origin();
      if (origin == nullptr || !seen_.insert(origin).second) return;
      const std::string path = origin->Path();
      if (!root && lookedInto_.count(path) == 0) return;
      const size_t at = dictionaries_.size();
      dictionaries_.push_back(Dictionary{path, {}});
      for (const auto& entry : collection->Items()) dictionaries_[at].keys.push_back(entry.first.Str());
      for (const auto& entry : collection->Items()) Walk(entry.second, false);
    } else if (const auto* array = dynamic_cast<const QX_TArray*>(object)) {
      const QX_TOrigin* origin = array->Origin();
      if (origin == nullptr || !seen_.insert(origin).second) return;
      if (!root && lookedInto_.count(origin->Path()) == 0) return;
      for (const QX_TAny& element : array->Items()) Walk(element, false);
    }
  }

  const std::vector<Dictionary>& Dictionaries() const { return dictionaries_; }

 private:
  const std::set<std::string>& lookedInto_;
  std::vector<Dictionary> dictionaries_;
  std::set<const QX_TOrigin*> seen_;
};

// What the steps read: the key paths of the values read, the dictionaries
// looked into, and per dictionary the keys asked for and absent.
struct Reads {
  std::set<std::string> read, lookedInto;
  std::map<std::string, std::vector<std::string>> absent;

  explicit Reads(const Conversion& conversion) {
    for (const StepRun& run : conversion.Watch().Runs()) {
      for (const auto& found : run.found) read.insert(found.first->MemberPath(found.second));
      for (const TraceRead& r : run.reads) {
        lookedInto.insert(std::string(r.collection));
        if (r.value) {
          read.insert(r.path);
        } else {
          std::vector<std::string>& keys = absent[std::string(r.collection)];
          if (std::find(keys.begin(), keys.end(), r.key) == keys.end()) keys.push_back(r.key);
        }
      }
    }
  }
};

void Unread(const TaskFile& file, const Reads& reads, bool all, std::vector<LintFinding>& warnings,
            std::vector<LintFinding>& notes) {
  TicketDictionaries ticket(reads.lookedInto);
  ticket.Walk(file.configuration, true);
  ticket.Walk(file.work, true);
  if (file.setup) ticket.Walk(file.setup->masterDictionary, true);
  ticket.Walk(file.jobsArray, true);
  for (const AddJobCall& call : file.jobs) ticket.Walk(call.jobArray, true);

  for (const TicketDictionaries::Dictionary& dictionary : ticket.Dictionaries()) {
    const auto asked = reads.absent.find(dictionary.path);
    for (const std::string& key : dictionary.keys) {
      const std::string member = QX_TOrigin::MemberPathOf(dictionary.path, key);
      if (reads.read.count(member)) continue;
      std::string nearest;
      if (asked != reads.absent.end())
        for (const std::string& wanted : asked->second)
          if (wanted != key && EditDistance(key, wanted, 2) <= 2) {
            nearest = wanted;
            break;
          }
      if (!nearest.empty())
        warnings.push_back(Finding(file, Severity::kWarning, "misspelling", member, std::nullopt,
                                   member + " is never read; " + QX_TOrigin::Quoted(nearest) +
                                       " was asked for and is absent: probably misspelt",
                                   "write " + QX_TOrigin::Quoted(nearest)));
      else if (all)
        notes.push_back(Finding(file, Severity::kNote, "unread", member, std::nullopt, member + " is never read"));
    }
  }
}

// ---- Placement ------------------------------------------------------------

std::string Millimetres(double units) { return FixedText(units / kUnitsPerMillimetre, 1) + " mm"; }

// What the plate geometry reads of a result: the items of the setup and job
// sections, and the job dictionaries, built straight from the conversion.
Json PlacementResult(const Conversion& conversion) {
  const auto items = [](const CParamSection& section) {
    Json array = Json::array();
    for (const CParamItem& item : section.Items()) array.push_back(Json{{"key", item.key}, {"value", item.value}});
    return array;
  };
  const CParamDict& dictionary = conversion.Converter().Dictionary();
  Json result = {{"dictionary", Json::object()}};
  if (const CParamSection* setup = dictionary.FindSection("setup")) result["dictionary"]["setup"] = items(*setup);
  Json jobs = Json::object();
  for (const auto& job : dictionary.JobSections()) jobs[std::to_string(job.first)] = items(job.second);
  result["dictionary"]["jobs"] = std::move(jobs);
  result["jobDictionaries"] = EncodeValue(conversion.Jobs());
  return result;
}

void Placement(const TaskFile& file, const Conversion& conversion, std::vector<LintFinding>& warnings) {
  const PlateGeometry geometry = ComputePlateGeometry(PlateInputFromResult(PlacementResult(conversion)));
  if (!geometry.plate) return;
  const PlateRect& plate = *geometry.plate;
  for (const PlacedJob& job : geometry.jobs) {
    if (!job.placed) continue;
    const std::string label = "job " + std::to_string(job.number) + (job.name.empty() ? "" : " (" + job.name + ")");
    if (job.outside) {
      std::string edges;
      const auto edge = [&](double by, const char* name) {
        if (by > 1e-9) edges += (edges.empty() ? "" : ", ") + std::string(name) + " edge by " + Millimetres(by);
      };
      edge(plate.x - job.area.x, "left");
      edge(job.area.Right() - plate.Right(), "right");
      edge(plate.y - job.area.y, "top");
      edge(job.area.Bottom() - plate.Bottom(), "bottom");
      warnings.push_back(Finding(file, Severity::kWarning, "off-plate", JobPath(file, job.number), job.number,
                                 label + "'s exposed area leaves the plate (" +
                                     FixedText(plate.width / kUnitsPerMillimetre, 1) + " x " +
                                     FixedText(plate.height / kUnitsPerMillimetre, 1) + " mm): beyond its " + edges,
                                 "move the job (\"HPos\", \"VPos\") or choose a larger plate (\"Info\")"));
    }
    std::string others;
    for (const int other : job.overlaps)
      if (other > job.number) others += (others.empty() ? "" : ", ") + std::to_string(other);
    if (!others.empty())
      warnings.push_back(Finding(file, Severity::kWarning, "overlap", JobPath(file, job.number), job.number,
                                 label + "'s exposed area overlaps that of job " + others,
                                 "move the jobs apart (\"HPos\", \"VPos\")"));
  }
}

// ---- Empty template names ------------------------------------------------

void EmptyTemplates(const TaskFile& file, const Conversion& conversion, const Reads& reads,
                    const std::vector<std::pair<std::string, std::string>>& templated,
                    std::vector<LintFinding>& warnings) {
  const auto& names = conversion.Task().Names().Entries();
  for (const auto& value : templated) {
    if (reads.read.count(value.first) == 0) continue;
    const std::string& text = value.second;
    for (size_t open = text.find('<'); open != std::string::npos; open = text.find('<', open + 1)) {
      const size_t close = text.find('>', open + 1);
      if (close == std::string::npos) break;
      const std::string name = text.substr(open + 1, close - open - 1);
      if (name.empty() || name.find('<') != std::string::npos) continue;
      for (const TName::Entry& entry : names) {
        if (entry.name.Str() != name) continue;
        const bool empty = !entry.value || (std::strcmp(entry.value->ClassName(), QX_TString::kClassName) == 0 &&
                                            static_cast<const QX_TString&>(*entry.value->Object()).Str().empty());
        if (empty)
          warnings.push_back(Finding(file, Severity::kWarning, "empty-template", value.first, std::nullopt,
                                     value.first + " " + QX_TOrigin::Quoted(text) + " is built from the template name " +
                                         QX_TOrigin::Quoted(name) + ", which is defined but empty",
                                     "give " + QX_TOrigin::Quoted(name) + " a value in task.templateNames"));
        break;
      }
    }
  }
}

void Unique(std::vector<LintFinding>& findings) {
  std::set<std::pair<std::string, std::string>> seen;
  std::vector<LintFinding> kept;
  for (LintFinding& finding : findings)
    if (finding.path.empty() || seen.insert({finding.code, finding.path}).second) kept.push_back(std::move(finding));
  findings = std::move(kept);
}

}  // namespace

const char* SeverityName(Severity severity) {
  switch (severity) {
    case Severity::kError: return "error";
    case Severity::kWarning: return "warning";
    case Severity::kNote: return "note";
  }
  return "note";
}

std::string FindingText(const LintFinding& finding) {
  std::string text = finding.message;
  if (!finding.hint.empty()) text += " (" + finding.hint + ")";
  return text + " [" + finding.code + "]";
}

std::string FindingLine(const LintFinding& finding) {
  return std::string(SeverityName(finding.severity)) + ": " + FindingText(finding);
}

std::vector<LintFinding> Lint(const TaskFile& file, const Conversion& conversion, bool all, ConverterFactory factory) {
  std::vector<LintFinding> errors, types, warnings, notes;
  std::set<std::string> logged;
  for (const TW_TLogEntry& entry : conversion.Task().Log())
    if (entry.level >= 2) {
      errors.push_back(LogFinding(file, entry, ""));
      logged.insert(entry.text + "\n" + entry.step + "\n" + (entry.job ? std::to_string(*entry.job) : ""));
    }

  TaskFile copy = file;
  ClassCheck check(file, types);
  const bool changed = check.Run(copy);
  Unique(types);

  // Past the failures of the wrong classes: the copy converted again.
  std::unique_ptr<Conversion> again;
  if (changed) {
    ConversionOptions options;
    options.trace = true;
    again = std::make_unique<Conversion>(copy, factory, options);
    try {
      // What is in the data folders now (the first conversion's copies, a
      // user's files) stays: this conversion removes only what it made.
      const std::set<std::string> before = FilesBefore(IplDataFolders(copy));
      again->Run();
      for (const std::string& problem : CleanupTempFiles(again->Task(), before)) (void)problem;
      for (const TW_TLogEntry& entry : again->Task().Log())
        if (entry.level >= 2 &&
            logged.count(entry.text + "\n" + entry.step + "\n" + (entry.job ? std::to_string(*entry.job) : "")) == 0)
          errors.push_back(LogFinding(file, entry, " (seen once the values of the wrong class are read as their "
                                                   "keys want)"));
    } catch (const std::exception&) {
      again.reset();
    }
  }
  const Conversion& seen = again ? *again : conversion;
  const Reads reads(seen);
  Unread(again ? copy : file, reads, all, warnings, notes);
  Placement(file, seen, warnings);
  EmptyTemplates(file, seen, reads, check.Templated(), warnings);

  errors.insert(errors.end(), types.begin(), types.end());
  errors.insert(errors.end(), warnings.begin(), warnings.end());
  errors.insert(errors.end(), notes.begin(), notes.end());
  return errors;
}

// ---- Output -----------------------------------------------------------------

namespace {

// What each fixed code means, for SARIF's rules.
const std::map<std::string, std::string>& CodeHelp() {
  static const std::map<std::string, std::string> kHelp = {
      {"type", "A ticket value's class is not the class its key is read as (docs/task-file.md, \"Ticket keys the "
               "converter reads\"): the step that reads it fails. JSON tools rewrite 1.0 as 1; write {\"@double\": 1} "
               "where a QX_TDouble is read."},
      {"misspelling", "A ticket key that no step read, while a step asked for a key of the same dictionary that is "
                      "absent and differs from it by at most two letters: probably misspelt."},
      {"off-plate", "A job's exposed area leaves the plate, as the report draws it: the RIP cuts what lies beyond."},
      {"overlap", "The exposed areas of two jobs overlap on the plate, as the report draws them."},
      {"empty-template", "An output value is built from a template name that is defined but empty: the item "
                         "or file gets an empty part."},
      {"unread", "A ticket key that no step read."},
      {"malformed", "The task file can't be read or is malformed; nothing in it was checked."},
      {"log", "A failure in the task log."},
  };
  return kHelp;
}

std::string RuleHelp(const std::string& code) {
  const auto& help = CodeHelp();
  const auto found = help.find(code);
  if (found != help.end()) return found->second;
  if (const MessageInfo* info = FindMessage(code)) return std::string(info->meaning) + " " + info->check;
  return help.at("log");
}

// A relative reference or a file URI for SARIF's "uri": the path with
// characters outside the unreserved set and "/" percent-encoded.
std::string UriOf(const std::string& path) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string out;
  for (const char c : path) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isalnum(u) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
      out += c;
    } else {
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 15];
    }
  }
  return out;
}

// SARIF's levels carry the severities' own names.
const char* SarifLevel(Severity severity) { return SeverityName(severity); }

}  // namespace

std::string FormatFindings(const std::vector<FileFindings>& files, LintFormat format) {
  if (format == LintFormat::kText) {
    std::string out;
    for (const FileFindings& file : files)
      for (const LintFinding& f : file.findings)
        out += OneLine(file.file + ":" + std::to_string(f.position.line) + ":" + std::to_string(f.position.column) +
                       ": " + FindingLine(f)) +
               "\n";
    return out;
  }
  if (format == LintFormat::kJson) {
    Json array = Json::array();
    for (const FileFindings& file : files)
      for (const LintFinding& f : file.findings)
        array.push_back(Json{{"file", file.file},
                             {"line", f.position.line},
                             {"column", f.position.column},
                             {"severity", SeverityName(f.severity)},
                             {"code", f.code},
                             {"path", f.path.empty() ? Json(nullptr) : Json(f.path)},
                             {"job", f.job ? Json(*f.job) : Json(nullptr)},
                             {"message", f.message},
                             {"hint", f.hint.empty() ? Json(nullptr) : Json(f.hint)}});
    return array.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
  }
  std::vector<std::string> codes;
  for (const FileFindings& file : files)
    for (const LintFinding& f : file.findings)
      if (std::find(codes.begin(), codes.end(), f.code) == codes.end()) codes.push_back(f.code);
  Json rules = Json::array();
  for (const std::string& code : codes) {
    const std::string help = RuleHelp(code);
    rules.push_back(Json{{"id", code},
                         {"shortDescription", {{"text", help.substr(0, help.find(". ") + 1)}}},
                         {"fullDescription", {{"text", help}}},
                         {"help", {{"text", help}}}});
  }
  Json results = Json::array();
  for (const FileFindings& file : files)
    for (const LintFinding& f : file.findings) {
      Json location = {{"physicalLocation",
                        {{"artifactLocation", {{"uri", UriOf(file.file)}}},
                         {"region", {{"startLine", std::max<size_t>(f.position.line, 1)},
                                     {"startColumn", std::max<size_t>(f.position.column, 1)}}}}}};
      if (!f.path.empty()) location["logicalLocations"] = Json::array({Json{{"fullyQualifiedName", f.path}}});
      const size_t index = static_cast<size_t>(std::find(codes.begin(), codes.end(), f.code) - codes.begin());
      Json result = {{"ruleId", f.code},
                     {"ruleIndex", index},
                     {"level", SarifLevel(f.severity)},
                     {"message", {{"text", f.message + (f.hint.empty() ? "" : " (" + f.hint + ")")}}},
                     {"locations", Json::array({location})}};
      if (f.job) result["properties"] = Json{{"job", *f.job}};
      results.push_back(std::move(result));
    }
  Json log = {{"$schema", "https://json.schemastore.org/sarif-2.1.0.json"},
              {"version", "2.1.0"},
              {"runs", Json::array({Json{{"tool", {{"driver", {{"name", "ticket2dict"},
                                                                {"version", T2D_VERSION},
                                                                {"rules", rules}}}}},
                                         {"results", results}}})}};
  return log.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

namespace {

// A finding for a file that can't be read or is malformed; its message names
// the place where the reader found the problem as "NAME:LINE:COLUMN: ...".
LintFinding Malformed(const std::string& name, const std::string& problem) {
  LintFinding finding;
  finding.code = "malformed";
  finding.position = FilePosition{1, 1};
  finding.message = problem;
  unsigned long line = 0, column = 0;
  if (problem.rfind(name + ":", 0) == 0 &&
      std::sscanf(problem.c_str() + name.size(), ":%lu:%lu:", &line, &column) == 2 && line > 0 && column > 0)
    finding.position = FilePosition{line, column};
  return finding;
}

// Lints one task file. Conversions that offer an IPL server write the CIP3
// copies into its data folder, so they run one at a time (`ipl`).
FileFindings LintFile(const std::string& path, bool all, const ConverterFactory& factory, std::mutex& ipl) {
  const std::string name = path == kStandardInput ? "(standard input)" : path;
  try {
    const TaskFile file = ReadTaskFile(path, true);
    bool writes = false;
    for (const auto& server : file.servers) writes = writes || server.second.ipl.has_value();
    std::unique_lock<std::mutex> lock(ipl, std::defer_lock);
    if (writes) lock.lock();
    ConversionOptions options;
    options.trace = true;
    const std::set<std::string> before = FilesBefore(IplDataFolders(file));
    Conversion conversion(file, factory, options);
    conversion.Run();
    std::vector<LintFinding> findings = Lint(file, conversion, all, factory);
    // Listed in no result; a file that was there before stays.
    for (const std::string& problem : CleanupTempFiles(conversion.Task(), before)) (void)problem;
    return FileFindings{name, std::move(findings)};
  } catch (const TaskFileError& e) {
    return FileFindings{name, {Malformed(name, e.what())}};
  } catch (const std::exception& e) {
    return FileFindings{name, {Malformed(name, name + ": can't be checked: " + e.what())}};
  }
}

}  // namespace

int LintCommand(const std::vector<std::string>& paths, bool all, LintFormat format, const std::string& flavourPath) {
  std::unique_ptr<Flavour> flavour;
  try {
    if (!flavourPath.empty()) flavour = std::make_unique<Flavour>(flavourPath);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ticket2dict: %s\n", OneLine(e.what()).c_str());
    return kExitBadFile;
  }
  if (!__QX_INITIALIZATION_FUNCTION_Ticket2Dict_msbasetask__()) {
    std::fprintf(stderr, "ticket2dict: the converter's framework libraries did not initialize\n");
    return 1;
  }
  const ConverterFactory factory = flavour ? flavour->Factory() : nullptr;
  const StandardStreams streams(StandardStreams::Traces::kToStandardError);

  // The files in order; a path that can't be taken is a finding in its place.
  std::vector<FileFindings> results;
  std::vector<size_t> toLint;
  std::set<std::string> taken;
  for (const std::string& path : paths) {
    std::vector<std::string> files;
    try {
      files = path == kStandardInput ? std::vector<std::string>{path} : FindTaskFiles({path});
    } catch (const std::exception& e) {
      results.push_back(FileFindings{path, {Malformed(path, e.what())}});
      continue;
    }
    for (const std::string& name : files)
      if (taken.insert(name).second) {
        toLint.push_back(results.size());
        results.push_back(FileFindings{name, {}});
      }
  }

  // Files are linted side by side, a thread per core; what is printed does
  // not depend on their number.
  std::mutex ipl;
  std::atomic<size_t> next{0};
  const auto work = [&] {
    for (size_t i = next++; i < toLint.size(); i = next++) {
      FileFindings& slot = results[toLint[i]];
      slot = LintFile(slot.file, all, factory, ipl);
    }
  };
  const size_t workers = std::min<size_t>(std::max(1u, std::thread::hardware_concurrency()), toLint.size());
  std::vector<std::thread> threads;
  for (size_t i = 1; i < workers; ++i) threads.emplace_back(work);
  work();
  for (std::thread& thread : threads) thread.join();

  bool bad = false, serious = false;
  for (const FileFindings& file : results)
    for (const LintFinding& f : file.findings) {
      bad = bad || f.code == "malformed";
      serious = serious || f.severity != Severity::kNote;
    }
  streams.Out(FormatFindings(results, format));
  return bad ? kExitBadFile : serious ? kExitFindings : kExitClean;
}

}  // namespace t2dhost
