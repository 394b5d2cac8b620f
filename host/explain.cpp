#include "explain.h"

#include <algorithm>
#include <set>

#include "diagnostics.h"
#include "message_catalogue.h"
#include "result_writer.h"
#include "ticket_keys.h"

namespace t2dhost {

namespace {

std::string Dump(const Json& json) { return json.dump(-1, ' ', false, Json::error_handler_t::replace); }

struct ItemName {
  std::string section;  // "setup", "jobs.2", ...
  std::string key;
};

bool ParseItem(const std::string& item, ItemName& name) {
  const size_t dot = item.find('.');
  if (dot == std::string::npos || dot == 0) return false;
  name.section = item.substr(0, dot);
  name.key = item.substr(dot + 1);
  if (name.section == "jobs") {
    const size_t second = name.key.find('.');
    if (second == std::string::npos || second == 0) return false;
    const std::string number = name.key.substr(0, second);
    if (number.find_first_not_of("0123456789") != std::string::npos) return false;
    name.section += "." + number;
    name.key = name.key.substr(second + 1);
  }
  return !name.key.empty();
}

void Describe(const TraceWrite& write, std::string& out) {
  out += QX_TOrigin::Quoted(write.value);
  if (write.hasCommentField)
    out += write.comment ? ", comment " + QX_TOrigin::Quoted(*write.comment) : std::string(", no comment");
}

std::string ReadText(const TraceRead& read) {
  return read.path + (read.value ? " = " + Dump(*read.value) : std::string(": absent"));
}

// Whether key path `path` is `under` or lies below it.
bool Within(const std::string& path, const std::string& under) {
  if (path.compare(0, under.size(), under) != 0) return false;
  return path.size() == under.size() || path[under.size()] == '.' || path[under.size()] == '[';
}

// Prints one step run as `explain` shows it, every line indented by
// `indent`: its reads (those in `inputs` marked "*" and listed first as
// what went in, the rest as what it also looked at), its service requests,
// its log entries, and, for a run started inside another, its writes with
// their derivations; then the runs it started itself, one level deeper.
class RunPrinter {
 public:
  RunPrinter(const std::vector<StepRun>& runs, const std::vector<TW_TLogEntry>& log) : runs_(runs), log_(log) {}

  void Print(size_t index, const std::vector<std::string>* inputs, bool withWrites, const std::string& indent,
             std::string& out) const {
    const StepRun& run = runs_[index];
    if (run.reads.empty()) {
      out += indent + "it read nothing from the task file\n";
    } else if (inputs != nullptr) {
      std::string went, also;
      for (const TraceRead& read : run.reads) {
        const bool input = std::find(inputs->begin(), inputs->end(), read.path) != inputs->end();
        (input ? went : also) += indent + (input ? "  * " : "    ") + ReadText(read) + "\n";
      }
      out += indent + "what went into it (*):\n" + went;
      if (!also.empty()) out += indent + "also looked at:\n" + also;
    } else {
      out += indent + "it read:\n";
      for (const TraceRead& read : run.reads) out += indent + "    " + ReadText(read) + "\n";
    }
    if (!run.calls.empty()) {
      out += indent + "it asked the server:\n";
      for (const TraceCall& call : run.calls) {
        std::string arguments;
        for (const Json& argument : call.arguments) arguments += (arguments.empty() ? "" : ", ") + Dump(argument);
        out += indent + "    " + call.service + " " + QX_TOrigin::Quoted(call.method) + "(" + arguments + ") -> " +
               (call.answer ? Dump(*call.answer) : "failed: " + call.error) + "\n";
      }
    }
    if (!run.logEntries.empty()) {
      out += indent + "it logged:\n";
      for (size_t entryIndex : run.logEntries) {
        const TW_TLogEntry& entry = log_[entryIndex];
        std::string text = "[" + std::to_string(entry.level) + "] " + entry.text;
        if (entry.hasArgument) text += " " + Dump(EncodeValue(entry.argument));
        if (const MessageInfo* info = FindMessage(entry.text)) text += ": " + std::string(info->meaning);
        out += indent + "    " + text + "\n";
      }
    }
    if (withWrites && !run.writes.empty()) {
      out += indent + "it wrote:\n";
      for (const TraceWrite& write : run.writes) {
        out += indent + "    " + write.section + "." + write.key + " = ";
        Describe(write, out);
        out += "\n";
        if (!write.derivation.empty()) out += indent + "      derivation: " + write.derivation + "\n";
      }
    }
    for (size_t child = index + 1; child < runs_.size(); ++child) {
      if (runs_[child].parent != index) continue;
      out += indent + "it started " + LogEntryPlace(runs_[child].step, runs_[child].job) + ":\n";
      Print(child, nullptr, true, indent + "    ", out);
    }
  }

 private:
  const std::vector<StepRun>& runs_;
  const std::vector<TW_TLogEntry>& log_;
};

// Up to three of `candidates` closest to `wanted`, by edit distance.
std::vector<std::string> Closest(const std::vector<std::string>& candidates, const std::string& wanted) {
  std::vector<std::pair<size_t, std::string>> near;
  for (const std::string& candidate : candidates)
    near.emplace_back(EditDistance(candidate, wanted, 64), candidate);
  std::stable_sort(near.begin(), near.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> closest;
  for (size_t i = 0; i < near.size() && i < 3; ++i) closest.push_back(near[i].second);
  return closest;
}

std::string Joined(const std::vector<std::string>& texts) {
  std::string out;
  for (const std::string& text : texts) out += (out.empty() ? "" : ", ") + text;
  return out;
}

}  // namespace

bool NamesWrittenItem(const Conversion& conversion, const std::string& text) {
  ItemName name;
  if (!ParseItem(text, name)) return false;
  for (const StepRun& run : conversion.Watch().Runs())
    for (const TraceWrite& write : run.writes)
      if (write.section == name.section && write.key == name.key) return true;
  return false;
}

std::string ExplainItem(const Conversion& conversion, const std::string& item, bool& written) {
  written = false;
  ItemName name;
  if (!ParseItem(item, name))
    return item + " names no item: write SECTION.KEY (setup.rsx, jobs.2.hpos, environment.QX_DATA_FONTS)";

  const std::vector<StepRun>& runs = conversion.Watch().Runs();
  const RunPrinter printer(runs, conversion.Task().Log());
  std::string out;
  std::vector<std::string> sectionKeys;
  const TraceWrite* last = nullptr;
  size_t count = 0;
  for (size_t index = 0; index < runs.size(); ++index) {
    const StepRun& run = runs[index];
    for (const TraceWrite& write : run.writes) {
      if (write.section != name.section) continue;
      if (std::find(sectionKeys.begin(), sectionKeys.end(), write.key) == sectionKeys.end())
        sectionKeys.push_back(write.key);
      if (write.key != name.key) continue;
      ++count;
      last = &write;
      out += std::to_string(count) + ". written by " + LogEntryPlace(run.step, run.job) + ": ";
      Describe(write, out);
      out += "\n";
      if (!write.derivation.empty()) out += "   derivation: " + write.derivation + "\n";
      printer.Print(index, write.derivation.empty() ? nullptr : &write.inputs, false, "   ", out);
    }
  }
  if (last == nullptr) {
    // An item the table of ticket keys knows: which keys would write it.
    const std::vector<std::string> feeding = KeysFeeding(item);
    const std::string from =
        feeding.empty() ? std::string() : "; the ticket keys that write it: " + Joined(feeding);
    if (sectionKeys.empty())
      return item + " was never written: no step wrote an item of the section " +
             QX_TOrigin::Quoted(name.section) + from;
    std::vector<std::string> closest = Closest(sectionKeys, name.key);
    for (std::string& key : closest) key = name.section + "." + key;
    return item + " was never written; the written items of " + name.section + " closest to it: " + Joined(closest) +
           from;
  }
  written = true;
  std::string head =
      item + " was written " + (count == 1 ? std::string("once") : std::to_string(count) + " times") + ":\n";
  std::string final = "final value: ";
  Describe(*last, final);
  return head + out + final + "\n";
}

std::string ExplainKeyPath(const Conversion& conversion, const std::string& keyPath, bool& read) {
  read = false;
  const std::vector<StepRun>& runs = conversion.Watch().Runs();
  std::vector<std::string> readPaths;
  std::string fed, looked;
  size_t items = 0;
  for (const StepRun& run : runs) {
    std::vector<const TraceRead*> reads;
    for (const TraceRead& r : run.reads) {
      if (std::find(readPaths.begin(), readPaths.end(), r.path) == readPaths.end()) readPaths.push_back(r.path);
      if (Within(r.path, keyPath)) reads.push_back(&r);
    }
    if (reads.empty()) continue;
    read = true;
    bool wentIn = false;
    for (const TraceWrite& write : run.writes) {
      bool into = false;
      if (!write.derivation.empty()) {
        for (const std::string& input : write.inputs) into = into || Within(input, keyPath);
      } else {
        // A copied text: the item holds the text read.
        for (const TraceRead* r : reads)
          into = into || (r->value && r->value->is_string() && !r->value->get<std::string>().empty() &&
                          write.value.find(r->value->get<std::string>()) != std::string::npos);
      }
      if (!into) continue;
      wentIn = true;
      ++items;
      fed += "  " + write.section + "." + write.key + " = " + QX_TOrigin::Quoted(write.value) + ", by " +
             LogEntryPlace(run.step, run.job) + "\n";
      if (!write.derivation.empty()) fed += "    derivation: " + write.derivation + "\n";
    }
    if (!wentIn) {
      std::string values;
      for (const TraceRead* r : reads) values += (values.empty() ? "" : ", ") + ReadText(*r);
      looked += "  " + LogEntryPlace(run.step, run.job) + ": " + values + "\n";
    }
  }
  if (!read) {
    if (readPaths.empty()) return keyPath + " was never read: no step read anything from the task file";
    return keyPath + " was never read; the read key paths closest to it: " + Joined(Closest(readPaths, keyPath));
  }
  std::string out = keyPath + " went into " + std::to_string(items) + (items == 1 ? " item" : " items") +
                    (items == 0 ? ".\n" : ":\n") + fed;
  if (!looked.empty()) out += "steps that read it without it going into an item:\n" + looked;
  return out;
}

}  // namespace t2dhost
