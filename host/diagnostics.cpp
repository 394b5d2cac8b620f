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

std::string Dump(const Json& json) { return json.dump(-1, ' ', false, Json::error_handler_t::replace); }

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

namespace {

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

std::string QuotedItemValue(const std::string& text) { return QX_TOrigin::Quoted(text); }

void Describe(const TraceWrite& write, std::string& out) {
  out += QuotedItemValue(write.value);
  if (write.hasCommentField)
    out += write.comment ? ", comment " + QuotedItemValue(*write.comment) : std::string(", no comment");
}

}  // namespace

std::string ExplainItem(const Conversion& conversion, const std::string& item, bool& written) {
  written = false;
  ItemName name;
  if (!ParseItem(item, name))
    return item + " names no item: write SECTION.KEY (setup.rsx, jobs.2.hpos, environment.QX_DATA_FONTS)";

  const std::vector<StepRun>& runs = conversion.Watch().Runs();
  const auto& log = conversion.Task().Log();
  std::string out;
  std::vector<std::string> sectionKeys;
  const TraceWrite* last = nullptr;
  size_t count = 0;
  for (const StepRun& run : runs) {
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
      if (run.reads.empty()) {
        out += "   it read nothing from the task file\n";
      } else {
        out += "   it read:\n";
        for (const TraceRead& read : run.reads)
          out += "     " + read.path + (read.value ? " = " + Dump(*read.value) : std::string(": absent")) + "\n";
      }
      if (!run.calls.empty()) {
        out += "   it asked the server:\n";
        for (const TraceCall& call : run.calls) {
          std::string arguments;
          for (const Json& argument : call.arguments)
            arguments += (arguments.empty() ? "" : ", ") + Dump(argument);
          out += "     " + call.service + " " + QX_TOrigin::Quoted(call.method) + "(" + arguments + ") -> " +
                 (call.answer ? Dump(*call.answer) : "failed: " + call.error) + "\n";
        }
      }
      if (!run.logEntries.empty()) {
        out += "   it logged:\n";
        for (size_t index : run.logEntries) {
          const TW_TLogEntry& entry = log[index];
          std::string text = "[" + std::to_string(entry.level) + "] " + entry.text;
          if (entry.hasArgument) text += " " + Dump(EncodeValue(entry.argument));
          if (const MessageInfo* info = FindMessage(entry.text)) text += ": " + std::string(info->meaning);
          out += "     " + text + "\n";
        }
      }
    }
  }
  if (last == nullptr) {
    std::vector<std::pair<size_t, std::string>> near;
    for (const std::string& key : sectionKeys) near.emplace_back(EditDistance(key, name.key, 64), key);
    std::stable_sort(near.begin(), near.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    if (near.empty())
      return item + " was never written: no step wrote an item of the section " + QX_TOrigin::Quoted(name.section);
    std::string closest;
    for (size_t i = 0; i < near.size() && i < 3; ++i) closest += (i ? ", " : "") + name.section + "." + near[i].second;
    return item + " was never written; the written items of " + name.section + " closest to it: " + closest;
  }
  written = true;
  std::string head = item + " was written " + (count == 1 ? std::string("once") : std::to_string(count) + " times") + ":\n";
  std::string final = "final value: ";
  Describe(*last, final);
  return head + out + final + "\n";
}

}  // namespace t2dhost
