#include "diagnostics.h"

#include <algorithm>
#include <map>
#include <set>

#include "message_catalogue.h"
#include "result_writer.h"

namespace t2dhost {

namespace {

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// "qxmsm.failaddjob (AddJob2Dict, job 2): <what the catalogue says it means>"
std::string LogEntryText(const TW_TLogEntry& entry) {
  std::string text = entry.text;
  const std::string place = LogEntryPlace(entry.step, entry.job);
  if (!place.empty()) text += " (" + place + ")";
  if (const MessageInfo* info = FindMessage(entry.text)) text += ": " + std::string(info->meaning);
  return text;
}

// The dictionaries of the values handed to the converter that a step
// looked into, in the order of the task file, each with its key path and
// keys. A dictionary no step looked into is left out with all it holds: the
// key that holds it is the one never read. A value that stands at several
// places is walked once, at the first.
class TicketKeys {
 public:
  struct Dictionary {
    std::string path;
    std::vector<std::string> keys;
  };

  explicit TicketKeys(const std::set<std::string>& lookedInto) : lookedInto_(lookedInto) {}

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

}  // namespace

size_t EditDistance(const std::string& a, const std::string& b, size_t limit) {
  const std::string x = Lower(a), y = Lower(b);
  if ((x.size() > y.size() ? x.size() - y.size() : y.size() - x.size()) > limit) return limit + 1;
  // Optimal string alignment distance, three rows.
  std::vector<size_t> before(y.size() + 1), previous(y.size() + 1), current(y.size() + 1);
  for (size_t j = 0; j <= y.size(); ++j) previous[j] = j;
  for (size_t i = 1; i <= x.size(); ++i) {
    current[0] = i;
    size_t best = current[0];
    for (size_t j = 1; j <= y.size(); ++j) {
      const size_t cost = x[i - 1] == y[j - 1] ? 0 : 1;
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
      if (i > 1 && j > 1 && x[i - 1] == y[j - 2] && x[i - 2] == y[j - 1])
        current[j] = std::min(current[j], before[j - 2] + 1);
      best = std::min(best, current[j]);
    }
    if (best > limit) return limit + 1;
    std::swap(before, previous);
    std::swap(previous, current);
  }
  return std::min(previous[y.size()], limit + 1);
}

const char* SeverityName(LintFinding::Severity severity) {
  switch (severity) {
    case LintFinding::Severity::kError: return "error";
    case LintFinding::Severity::kWarning: return "warning";
    case LintFinding::Severity::kNote: return "note";
  }
  return "note";
}

std::string FindingLine(const LintFinding& finding) {
  return std::string(SeverityName(finding.severity)) + ": " + finding.text;
}

std::vector<LintFinding> Lint(const TaskFile& file, const Conversion& conversion, bool all) {
  std::vector<LintFinding> findings;
  for (const TW_TLogEntry& entry : conversion.Task().Log())
    if (entry.level >= 2) findings.push_back(LintFinding{LintFinding::Severity::kError, LogEntryText(entry)});

  // What the steps read, and the keys they asked for and did not find, by
  // the dictionary they looked in.
  std::set<std::string> read, lookedInto;
  std::map<std::string, std::vector<std::string>> absent;
  for (const StepRun& run : conversion.Watch().Runs()) {
    for (const auto& found : run.found) read.insert(found.first->MemberPath(found.second));
    for (const TraceRead& r : run.reads) {
      lookedInto.insert(r.collection);
      if (r.value) {
        read.insert(r.path);
      } else {
        std::vector<std::string>& keys = absent[r.collection];
        if (std::find(keys.begin(), keys.end(), r.key) == keys.end()) keys.push_back(r.key);
      }
    }
  }

  TicketKeys ticket(lookedInto);
  ticket.Walk(file.configuration, true);
  ticket.Walk(file.work, true);
  if (file.setup) ticket.Walk(file.setup->masterDictionary, true);
  ticket.Walk(file.jobsArray, true);
  for (const AddJobCall& call : file.jobs) ticket.Walk(call.jobArray, true);

  std::vector<LintFinding> notes;
  for (const TicketKeys::Dictionary& dictionary : ticket.Dictionaries()) {
    const std::string& path = dictionary.path;
    const auto asked = absent.find(path);
    for (const std::string& key : dictionary.keys) {
      const std::string member = QX_TOrigin::MemberPathOf(path, key);
      if (read.count(member)) continue;
      std::string nearest;
      if (asked != absent.end())
        for (const std::string& wanted : asked->second)
          if (wanted != key && EditDistance(key, wanted, 2) <= 2) {
            nearest = wanted;
            break;
          }
      if (!nearest.empty())
        findings.push_back(LintFinding{LintFinding::Severity::kWarning,
                                       member + " is never read; " + QX_TOrigin::Quoted(nearest) +
                                           " was asked for and is absent: probably misspelt"});
      else if (all)
        notes.push_back(LintFinding{LintFinding::Severity::kNote, member + " is never read"});
    }
  }
  findings.insert(findings.end(), notes.begin(), notes.end());
  return findings;
}

}  // namespace t2dhost
