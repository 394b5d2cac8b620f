#include "result_diff.h"

#include <algorithm>
#include <deque>
#include <iostream>
#include <map>
#include <set>
#include <system_error>
#include <unordered_map>

#include "os_file.h"
#include "program_output.h"
#include "regression.h"

namespace t2dhost {

namespace {

// Deeper nesting than a result can hold (a task file nests at most 200
// levels) is refused rather than walked.
constexpr int kMaxDepth = 256;

// ---- Checking the shape ------------------------------------------------------

void Require(bool ok, const std::string& why) {
  if (!ok) throw NotAResultError(why);
}

bool HasText(const Json& object, const char* key) {
  const auto it = object.find(key);
  return it != object.end() && it->is_string();
}

void CheckItems(const Json& items, const std::string& where) {
  Require(items.is_array(), where + " is not an array of items");
  std::set<std::string> keys;
  for (size_t i = 0; i < items.size(); ++i) {
    const Json& item = items[i];
    const std::string at = ElementPath(where, i);
    Require(item.is_object() && HasText(item, "key") && HasText(item, "value"),
            at + " is not an item (an object with the texts \"key\" and \"value\")");
    const auto comment = item.find("comment");
    Require(comment == item.end() || comment->is_string() || comment->is_null(),
            at + ".comment is neither a text nor null");
    Require(keys.insert(item["key"].get<std::string>()).second,
            where + " holds the key " + QuotedText(item["key"].get<std::string>()) + " twice");
  }
}

// A job number as the result writes it: a decimal integer without leading
// zeros. Answers false for anything else.
bool JobNumber(const std::string& text, long long* number) {
  const size_t digits = text.size() - (text.rfind('-', 0) == 0 ? 1 : 0);
  if (digits == 0 || digits > 10 || text.find_first_not_of("0123456789", text.size() - digits) != std::string::npos)
    return false;
  if (text[text.size() - digits] == '0' && digits > 1) return false;
  *number = std::stoll(text);
  return true;
}

const char* const kMembers[] = {"dictionary", "log", "templateNames", "tempFiles", "jobDictionaries"};

// ---- Showing values ----------------------------------------------------------

std::string Compact(const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); }

// A text as it is, or as a JSON string where it would otherwise be
// ambiguous: empty, blanks at an end, control characters, the two quotes
// that an empty quoted text shows as, or the arrow that separates values.
std::string Shown(const std::string& text) {
  bool plain = !text.empty() && text.front() != ' ' && text.back() != ' ' && text != "\"\"" &&
               text.find(" -> ") == std::string::npos;
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7f) plain = false;
  return plain ? text : QuotedText(text);
}

std::string ShownComment(const Json* comment) {
  return comment == nullptr || comment->is_null() ? "none" : QuotedText(comment->get<std::string>());
}

// How an item is named: SECTION.KEY, or SECTION["KEY"] for a key that would
// not read back from that form.
std::string ItemName(const std::string& section, const std::string& key) {
  bool plain = !key.empty() && key[0] != '[';
  for (unsigned char c : key)
    if (c <= 0x20 || c == 0x7f || c == ':' || c == '"') plain = false;
  return plain ? section + "." + key : section + "[" + QuotedText(key) + "]";
}

// ---- Order -------------------------------------------------------------------

// Which of `positions` (distinct numbers) belong to one longest increasing
// subsequence: the elements that kept their order.
std::vector<bool> KeptOrder(const std::vector<size_t>& positions) {
  std::vector<size_t> tails;         // index into positions of the smallest tail per length
  std::vector<size_t> previous(positions.size(), SIZE_MAX);
  for (size_t i = 0; i < positions.size(); ++i) {
    const auto at = std::lower_bound(tails.begin(), tails.end(), positions[i],
                                     [&](size_t t, size_t p) { return positions[t] < p; });
    if (at != tails.begin()) previous[i] = *(at - 1);
    if (at == tails.end())
      tails.push_back(i);
    else
      *at = i;
  }
  std::vector<bool> kept(positions.size(), false);
  for (size_t i = tails.empty() ? SIZE_MAX : tails.back(); i != SIZE_MAX; i = previous[i]) kept[i] = true;
  return kept;
}

// Pairs (i, j) matching equal texts of `a` and `b` in order: a longest
// common subsequence, or, where the table for one would be too large, an
// in-order matching found greedily.
std::vector<std::pair<size_t, size_t>> Alignment(const std::vector<std::string>& a,
                                                 const std::vector<std::string>& b) {
  std::vector<std::pair<size_t, size_t>> pairs;
  size_t head = 0;
  while (head < a.size() && head < b.size() && a[head] == b[head]) pairs.emplace_back(head, head), ++head;
  size_t tail = 0;
  while (tail < a.size() - head && tail < b.size() - head && a[a.size() - 1 - tail] == b[b.size() - 1 - tail]) ++tail;
  const size_t n = a.size() - head - tail, m = b.size() - head - tail;
  constexpr size_t kMaxCells = size_t{1} << 22;
  if (n > 0 && m > 0 && (n + 1) <= kMaxCells / (m + 1)) {
    // length[i][j]: the longest common subsequence of a[head+i..) and b[head+j..).
    std::vector<uint32_t> length((n + 1) * (m + 1), 0);
    const auto at = [&](size_t i, size_t j) -> uint32_t& { return length[i * (m + 1) + j]; };
    for (size_t i = n; i-- > 0;)
      for (size_t j = m; j-- > 0;)
        at(i, j) = a[head + i] == b[head + j] ? at(i + 1, j + 1) + 1 : std::max(at(i + 1, j), at(i, j + 1));
    for (size_t i = 0, j = 0; i < n && j < m;) {
      if (a[head + i] == b[head + j])
        pairs.emplace_back(head + i++, head + j++);
      else if (at(i + 1, j) >= at(i, j + 1))
        ++i;
      else
        ++j;
    }
  } else if (n > 0 && m > 0) {
    std::unordered_map<std::string, std::deque<size_t>> where;
    for (size_t j = head; j < head + m; ++j) where[b[j]].push_back(j);
    size_t last = head;
    for (size_t i = head; i < head + n; ++i) {
      const auto found = where.find(a[i]);
      if (found == where.end()) continue;
      std::deque<size_t>& queue = found->second;
      while (!queue.empty() && queue.front() < last) queue.pop_front();
      if (queue.empty()) continue;
      pairs.emplace_back(i, queue.front());
      last = queue.front() + 1;
      queue.pop_front();
    }
  }
  for (size_t k = tail; k > 0; --k) pairs.emplace_back(a.size() - k, b.size() - k);
  return pairs;
}

// ---- The differences -----------------------------------------------------------

class Differ {
 public:
  Differ(const DiffOptions& options, std::vector<std::string>& out) : options_(options), out_(out) {}

  void Dictionary(const Json& a, const Json& b) {
    std::vector<std::string> names;
    for (const Json* dictionary : {&a, &b})
      for (auto it = dictionary->begin(); it != dictionary->end(); ++it)
        if (it.key() != "jobs" && std::find(names.begin(), names.end(), it.key()) == names.end())
          names.push_back(it.key());
    for (const std::string& name : names) Section(name, Find(a, name), Find(b, name));

    std::map<long long, std::pair<const Json*, const Json*>> jobs;
    for (auto it = a["jobs"].begin(); it != a["jobs"].end(); ++it) jobs[Number(it.key())].first = &it.value();
    for (auto it = b["jobs"].begin(); it != b["jobs"].end(); ++it) jobs[Number(it.key())].second = &it.value();
    for (const auto& job : jobs) Section("jobs." + std::to_string(job.first), job.second.first, job.second.second);
  }

  void Log(const Json& a, const Json& b) {
    Sequence("log", a, b, [](const Json& entry) {
      std::string text = "[" + Compact(entry["level"]) + "] " + Shown(entry["text"].get<std::string>());
      if (entry.contains("argument")) text += " " + Compact(entry["argument"]);
      for (auto it = entry.begin(); it != entry.end(); ++it)
        if (it.key() != "level" && it.key() != "text" && it.key() != "argument" && it.key() != "step" &&
            it.key() != "job")
          text += " " + it.key() + "=" + Compact(it.value());
      const Json* step = Find(entry, "step");
      const Json* job = Find(entry, "job");
      std::string where = step != nullptr && step->is_string() ? Shown(step->get<std::string>()) : "";
      if (job != nullptr && !job->is_null()) where += (where.empty() ? "job " : ", job ") + Compact(*job);
      return where.empty() ? text : text + " (" + where + ")";
    });
  }

  void TempFiles(const Json& a, const Json& b) {
    Sequence("tempFiles", a, b, [](const Json& file) {
      return Shown(file["url"].get<std::string>()) + (file["keep"].get<bool>() ? " (keep true)" : " (keep false)");
    });
  }

  // The written files, by URL (a file registered twice is compared once):
  // texts line by line, anything else as a whole.
  void Files(const Json& a, const Json& b) {
    const auto byUrl = [](const Json& files) {
      std::vector<const Json*> unique;
      std::unordered_map<std::string, const Json*> index;
      for (const Json& file : files)
        if (index.emplace(file["url"].get<std::string>(), &file).second) unique.push_back(&file);
      return std::make_pair(unique, index);
    };
    const auto [listA, inA] = byUrl(a);
    const auto [listB, inB] = byUrl(b);
    for (const Json* from : listA) {
      const std::string& url = (*from)["url"].get_ref<const std::string&>();
      const std::string name = "files: " + Shown(url);
      const auto to = inB.find(url);
      if (to == inB.end())
        Line(name + ": removed");
      else if (from->contains("text") && to->second->contains("text"))
        TextLines(name, (*from)["text"].get<std::string>(), (*to->second)["text"].get<std::string>());
      else if (*from != *to->second)
        Line(name + ": " + FileShown(*from) + " -> " + FileShown(*to->second));
    }
    for (const Json* to : listB)
      if (inA.count((*to)["url"].get<std::string>()) == 0)
        Line("files: " + Shown((*to)["url"].get<std::string>()) + ": added, " + FileShown(*to));
  }

  // Values in the typed encoding, compared member by member.
  void Value(const std::string& path, const Json& a, const Json& b) {
    if (a == b) return;
    if (a.is_object() && b.is_object()) {
      const std::string tagA = Tag(a), tagB = Tag(b);
      if (tagA.empty() && tagB.empty()) return Members(path, a, b);
      if (tagA == tagB && (tagA == "@dict" || tagA == "@tree") && a.size() == 1 && b.size() == 1)
        return Value(path, a.begin().value(), b.begin().value());
    }
    if (a.is_array() && b.is_array()) {
      for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
        const std::string at = ElementPath(path, i);
        if (i >= b.size())
          Line(at + ": removed");
        else if (i >= a.size())
          Line(at + ": added " + Compact(b[i]));
        else
          Value(at, a[i], b[i]);
      }
      return;
    }
    Line(path + ": " + Compact(a) + " -> " + Compact(b));
  }

 private:
  static const Json* Find(const Json& object, const std::string& key) {
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
  }

  static long long Number(const std::string& text) {
    long long number = 0;
    JobNumber(text, &number);
    return number;
  }

  // The first key of a tagged value ("@url", "@dict", ...), else "".
  static std::string Tag(const Json& object) {
    for (auto it = object.begin(); it != object.end(); ++it)
      if (!it.key().empty() && it.key()[0] == '@') return it.key();
    return "";
  }

  void Line(std::string line) { out_.push_back(std::move(line)); }

  static std::string FileShown(const Json& file) {
    if (file.contains("text")) {
      const std::string& text = file["text"].get_ref<const std::string&>();
      const size_t lines = SplitLines(text).size();
      return "a text of " + std::to_string(lines) + (lines == 1 ? " line" : " lines");
    }
    if (file.contains("bytes")) return Compact(file["bytes"]) + " bytes, sha256 " + Compact(file["sha256"]);
    return "missing";
  }

  // A line of an INI text: the section it stands in and, for "key=value",
  // its key; a section header, a comment or another line has no key.
  struct IniLine {
    std::string section, key, value;
    bool keyed = false;
  };

  static std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
      lines.push_back(text.substr(start, end - start));
      start = end + 1;
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
  }

  static std::vector<IniLine> IniLines(const std::vector<std::string>& lines) {
    const auto trim = [](const std::string& text) {
      const size_t first = text.find_first_not_of(" \t\r");
      if (first == std::string::npos) return std::string();
      return text.substr(first, text.find_last_not_of(" \t\r") + 1 - first);
    };
    std::vector<IniLine> ini;
    std::string section;
    for (const std::string& raw : lines) {
      const std::string line = trim(raw);
      IniLine parsed;
      if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
        section = line.substr(1, line.size() - 2);
      } else if (!line.empty() && line[0] != ';' && line[0] != '#' && line.find('=') != std::string::npos) {
        parsed.keyed = true;
        parsed.key = trim(line.substr(0, line.find('=')));
        parsed.value = trim(line.substr(line.find('=') + 1));
      }
      parsed.section = section;
      ini.push_back(std::move(parsed));
    }
    return ini;
  }

  // The lines of two texts: a line whose key (in its section) both sides
  // hold with other values is a change "[SECTION] KEY: A -> B"; other lines
  // only one side holds are "line N: - TEXT" (N in A) and "line N: + TEXT"
  // (N in B).
  void TextLines(const std::string& name, const std::string& a, const std::string& b) {
    if (a == b) return;
    const std::vector<std::string> linesA = SplitLines(a), linesB = SplitLines(b);
    const std::vector<IniLine> iniA = IniLines(linesA), iniB = IniLines(linesB);
    auto pairs = Alignment(linesA, linesB);
    pairs.emplace_back(linesA.size(), linesB.size());
    size_t i = 0, j = 0;
    for (const auto& pair : pairs) {
      std::vector<bool> used(pair.second - j, false);
      for (; i < pair.first; ++i) {
        size_t match = pair.second;
        for (size_t k = j; iniA[i].keyed && k < pair.second; ++k)
          if (!used[k - j] && iniB[k].keyed && iniB[k].section == iniA[i].section && iniB[k].key == iniA[i].key) {
            match = k;
            break;
          }
        if (match == pair.second) {
          Line(name + ": line " + std::to_string(i + 1) + ": - " + Shown(linesA[i]));
          continue;
        }
        used[match - j] = true;
        Line(name + ": " + (iniA[i].section.empty() ? "" : "[" + iniA[i].section + "] ") + Shown(iniA[i].key) +
             ": " + Shown(iniA[i].value) + " -> " + Shown(iniB[match].value));
      }
      for (size_t k = j; k < pair.second; ++k)
        if (!used[k - j]) Line(name + ": line " + std::to_string(k + 1) + ": + " + Shown(linesB[k]));
      i = pair.first + 1;
      j = pair.second + 1;
    }
  }

  // Items of one section, keyed by "key"; a missing section has none.
  void Section(const std::string& name, const Json* a, const Json* b) {
    const Json none = Json::array();
    const Json& itemsA = a != nullptr ? *a : none;
    const Json& itemsB = b != nullptr ? *b : none;
    Keyed(
        itemsA, itemsB, [](const Json& item) -> const std::string& { return item["key"].get_ref<const std::string&>(); },
        [&](const std::string& key) { return ItemName(name, key); },
        [&](const std::string& item, const Json* from, const Json* to) {
          if (to == nullptr) return Line(item + ": removed");
          const Json* comment = Find(*to, "comment");
          const bool commented = !options_.ignoreComments && comment != nullptr && !comment->is_null();
          if (from == nullptr)
            return Line(item + ": added " + Shown((*to)["value"].get<std::string>()) +
                        (commented ? ", comment " + ShownComment(comment) : ""));
          if ((*from)["value"] != (*to)["value"])
            Line(item + ": " + Shown((*from)["value"].get<std::string>()) + " -> " +
                 Shown((*to)["value"].get<std::string>()));
          const Json* before = Find(*from, "comment");
          const bool same = (before == nullptr || before->is_null()) ? (comment == nullptr || comment->is_null())
                                                                     : comment != nullptr && *before == *comment;
          if (!options_.ignoreComments && !same)
            Line(item + ": comment " + ShownComment(before) + " -> " + ShownComment(comment));
        });
  }

  // Members of two plain objects.
  void Members(const std::string& path, const Json& a, const Json& b) {
    std::vector<std::pair<std::string, const Json*>> membersA, membersB;
    for (auto it = a.begin(); it != a.end(); ++it) membersA.emplace_back(it.key(), &it.value());
    for (auto it = b.begin(); it != b.end(); ++it) membersB.emplace_back(it.key(), &it.value());
    Keyed(
        membersA, membersB, [](const auto& member) -> const std::string& { return member.first; },
        [&](const std::string& key) { return MemberPath(path, key); },
        [&](const std::string& at, const auto* from, const auto* to) {
          if (to == nullptr) return Line(at + ": removed");
          if (from == nullptr) return Line(at + ": added " + Compact(*to->second));
          Value(at, *from->second, *to->second);
        });
  }

  // Elements with unique keys, in A's order then B's: `compare` gets each
  // key's elements (null where absent); then the elements that changed
  // their place among those both hold.
  template <class List, class KeyOf, class NameOf, class Compare>
  void Keyed(const List& a, const List& b, KeyOf keyOf, NameOf nameOf, Compare compare) {
    std::unordered_map<std::string, size_t> inA, inB;
    for (size_t i = 0; i < a.size(); ++i) inA.emplace(keyOf(a[i]), i);
    for (size_t j = 0; j < b.size(); ++j) inB.emplace(keyOf(b[j]), j);
    for (size_t i = 0; i < a.size(); ++i) {
      const auto j = inB.find(keyOf(a[i]));
      compare(nameOf(keyOf(a[i])), &a[i], j == inB.end() ? nullptr : &b[j->second]);
    }
    std::vector<size_t> common, positions;
    for (size_t j = 0; j < b.size(); ++j) {
      const auto i = inA.find(keyOf(b[j]));
      if (i == inA.end()) {
        compare(nameOf(keyOf(b[j])), decltype(&b[j])(nullptr), &b[j]);
      } else {
        common.push_back(j);
        positions.push_back(i->second);
      }
    }
    const std::vector<bool> kept = KeptOrder(positions);
    for (size_t k = 0; k < common.size(); ++k) {
      if (kept[k]) continue;
      const size_t j = common[k];
      Line(nameOf(keyOf(b[j])) + ": moved " +
           (j == 0 ? std::string("to the top") : "after " + Shown(keyOf(b[j - 1]))));
    }
  }

  // Entries compared as a whole: "- ENTRY" for those only A holds, "+ ENTRY"
  // for those only B holds, in the order they stand.
  template <class Show>
  void Sequence(const std::string& name, const Json& a, const Json& b, Show show) {
    std::vector<std::string> textsA, textsB;
    for (const Json& entry : a) textsA.push_back(Compact(entry));
    for (const Json& entry : b) textsB.push_back(Compact(entry));
    size_t i = 0, j = 0;
    auto pairs = Alignment(textsA, textsB);
    pairs.emplace_back(a.size(), b.size());
    for (const auto& pair : pairs) {
      for (; i < pair.first; ++i) Line(name + ": - " + show(a[i]));
      for (; j < pair.second; ++j) Line(name + ": + " + show(b[j]));
      ++i, ++j;
    }
  }

  DiffOptions options_;
  std::vector<std::string>& out_;
};

}  // namespace

void CheckResult(const Json& result) {
  Require(result.is_object(), "the top level is not an object");
  for (const char* member : kMembers) Require(result.contains(member), std::string("\"") + member + "\" is missing");
  const Json& dictionary = result["dictionary"];
  Require(dictionary.is_object(), "dictionary is not an object of sections");
  Require(dictionary.contains("jobs") && dictionary["jobs"].is_object(), "dictionary.jobs is not an object");
  for (auto it = dictionary.begin(); it != dictionary.end(); ++it)
    if (it.key() != "jobs") CheckItems(it.value(), MemberPath("dictionary", it.key()));
  long long number = 0;
  for (auto it = dictionary["jobs"].begin(); it != dictionary["jobs"].end(); ++it) {
    const std::string where = MemberPath("dictionary.jobs", it.key());
    Require(JobNumber(it.key(), &number), where + " is not named by a job number");
    CheckItems(it.value(), where);
  }
  const Json& log = result["log"];
  Require(log.is_array(), "log is not an array");
  for (size_t i = 0; i < log.size(); ++i) {
    const Json& entry = log[i];
    Require(entry.is_object() && entry.contains("level") && entry["level"].is_number_integer() &&
                HasText(entry, "text"),
            ElementPath("log", i) + " is not a log entry (an object with an integer \"level\" and a text \"text\")");
  }
  Require(result["templateNames"].is_object(), "templateNames is not an object");
  const Json& files = result["tempFiles"];
  Require(files.is_array(), "tempFiles is not an array");
  for (size_t i = 0; i < files.size(); ++i)
    Require(files[i].is_object() && HasText(files[i], "url") && files[i].contains("keep") &&
                files[i]["keep"].is_boolean(),
            ElementPath("tempFiles", i) + " is not a temporary file (an object with a text \"url\" and a bool \"keep\")");
  Require(result["jobDictionaries"].is_array(), "jobDictionaries is not an array");
  const auto written = result.find("files");
  if (written == result.end()) return;
  Require(written->is_array(), "files is not an array");
  for (size_t i = 0; i < written->size(); ++i) {
    const Json& file = (*written)[i];
    Require(file.is_object() && HasText(file, "url") &&
                (HasText(file, "text") || (file.contains("missing") && file["missing"] == true) ||
                 (file.contains("bytes") && file["bytes"].is_number_integer() && file["bytes"] >= 0 &&
                  HasText(file, "sha256"))),
            ElementPath("files", i) +
                " is not a written file (a text \"url\" with a text \"text\", \"bytes\" and \"sha256\", or "
                "\"missing\": true)");
  }
}

Json ReadResultFile(const std::string& path) {
  std::string text;
  int error = 0;
  try {
    text = qxos::ReadFileContents(path, &error);
  } catch (const std::exception& e) {
    throw NotAResultError(path + ": can't read the file: " +
                          (error != 0 ? std::error_code(error, std::generic_category()).message() : e.what()));
  }
  Json result;
  try {
    result = Json::parse(text, [&path](int depth, Json::parse_event_t, Json&) {
      if (depth > kMaxDepth)
        throw NotAResultError(path + ": not a result: nested deeper than " + std::to_string(kMaxDepth) + " levels");
      return true;
    });
  } catch (const Json::parse_error& e) {
    std::string what = e.what();
    const size_t bracket = what.find("] ");
    if (what.rfind("[json.exception", 0) == 0 && bracket != std::string::npos) what.erase(0, bracket + 2);
    throw NotAResultError(path + ": not valid JSON: " + what);
  }
  try {
    CheckResult(result);
  } catch (const NotAResultError& e) {
    throw NotAResultError(path + ": not a result: " + e.what());
  }
  return result;
}

std::vector<std::string> DiffResults(const Json& a, const Json& b, const DiffOptions& options) {
  CheckResult(a);
  CheckResult(b);
  std::vector<std::string> lines;
  Differ differ(options, lines);
  differ.Dictionary(a["dictionary"], b["dictionary"]);
  differ.Log(a["log"], b["log"]);
  differ.Value("templateNames", a["templateNames"], b["templateNames"]);
  differ.TempFiles(a["tempFiles"], b["tempFiles"]);
  differ.Value("jobDictionaries", a["jobDictionaries"], b["jobDictionaries"]);
  const Json none = Json::array();
  differ.Files(a.contains("files") ? a["files"] : none, b.contains("files") ? b["files"] : none);
  return lines;
}

int DiffCommand(const std::string& pathA, const std::string& pathB, const DiffOptions& options) {
  Json a, b;
  try {
    a = ReadResultFile(pathA);
    b = ReadResultFile(pathB);
  } catch (const NotAResultError& e) {
    std::cerr << "ticket2dict: " << OneLine(e.what()) << "\n";
    return 2;
  }
  // An expected result of `test` holds placeholders: both sides are compared
  // in that form.
  const Placeholders placeholders = PlaceholdersBetween(a, b);
  Normalise(a, placeholders);
  Normalise(b, placeholders);
  const std::vector<std::string> lines = DiffResults(a, b, options);
  for (const std::string& line : lines) std::cout << OneLine(line) << "\n";
  std::cout.flush();
  if (!std::cout) throw std::runtime_error("can't write the differences to standard output");
  return lines.empty() ? 0 : 1;
}

}  // namespace t2dhost
