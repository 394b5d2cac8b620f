#include "result_writer.h"

#include <filesystem>
#include <set>
#include <system_error>

namespace t2dhost {

namespace {

std::string Scalar(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

// Appends the JSON text of keys and scalars to one string, as
// Json::dump(-1) writes them (invalid UTF-8 replaced). Texts of plain
// printable ASCII, nearly all of them, are copied as they are.
class TextWriter {
 public:
  explicit TextWriter(std::string& out)
      : out_(out), serializer_(nlohmann::detail::output_adapter<char>(out), ' ', Json::error_handler_t::replace) {}

  std::string& Out() { return out_; }

  void String(const std::string& text) {
    for (unsigned char c : text)
      if (c < 0x20 || c >= 0x7f || c == '"' || c == '\\') {
        serializer_.dump(Json(text), false, false, 0);
        return;
      }
    out_ += '"';
    out_ += text;
    out_ += '"';
  }

  void Scalar(const Json& j) {
    if (j.is_string())
      String(j.get_ref<const std::string&>());
    else
      serializer_.dump(j, false, false, 0);
  }

 private:
  std::string& out_;
  nlohmann::detail::serializer<Json> serializer_;
};

void Compact(TextWriter& writer, const Json& j) {
  std::string& out = writer.Out();
  if (j.is_object()) {
    out += '{';
    for (auto it = j.begin(); it != j.end(); ++it) {
      if (it != j.begin()) out += ", ";
      writer.String(it.key());
      out += ": ";
      Compact(writer, it.value());
    }
    out += '}';
    return;
  }
  if (j.is_array()) {
    out += '[';
    for (size_t i = 0; i < j.size(); ++i) {
      if (i) out += ", ";
      Compact(writer, j[i]);
    }
    out += ']';
    return;
  }
  writer.Scalar(j);
}

std::string Compact(const Json& j) {
  std::string out;
  TextWriter writer(out);
  Compact(writer, j);
  return out;
}

// A scalar, an empty container, or a tagged scalar such as {"@uint32": 7}.
bool IsScalarLike(const Json& j) {
  if (!j.is_structured() || j.empty()) return true;
  return j.is_object() && j.size() == 1 && !j.begin().key().empty() && j.begin().key()[0] == '@' &&
         !j.begin().value().is_structured();
}

bool IsFlat(const Json& j) {
  for (const Json& member : j)
    if (!IsScalarLike(member)) return false;
  return true;
}

// The layout depends on the shape of the values only, never on their
// lengths: flat arrays, and small flat objects that are array elements
// (items, log entries, inks), take one line; everything else one member a
// line.
constexpr size_t kOneLineMembers = 8;

void Pretty(TextWriter& writer, const Json& j, size_t indent, bool arrayElement) {
  if (IsScalarLike(j) || (IsFlat(j) && (j.is_array() || (arrayElement && j.size() <= kOneLineMembers)))) {
    Compact(writer, j);
    return;
  }
  std::string& out = writer.Out();
  out += j.is_object() ? "{\n" : "[\n";
  size_t i = 0;
  for (auto it = j.begin(); it != j.end(); ++it, ++i) {
    out.append(indent + 2, ' ');
    if (j.is_object()) {
      writer.String(it.key());
      out += ": ";
    }
    Pretty(writer, it.value(), indent + 2, j.is_array());
    out += i + 1 < j.size() ? ",\n" : "\n";
  }
  out.append(indent, ' ');
  out += j.is_object() ? '}' : ']';
}

Json SectionJson(const CParamSection* section, bool withComments) {
  Json items = Json::array();
  if (section == nullptr) return items;
  for (const CParamItem& item : section->Items()) {
    Json entry = Json::object();
    entry.get_ref<Json::object_t&>().reserve(3);
    entry["key"] = item.key;
    entry["value"] = item.value;
    if (withComments) entry["comment"] = item.comment ? Json(*item.comment) : Json(nullptr);
    items.push_back(std::move(entry));
  }
  return items;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

bool HasControl(const std::string& text) {
  for (unsigned char c : text)
    if (IsControl(c)) return true;
  return false;
}

// A key written as it is would be read back differently: it would start a
// comment, a section or an escaped line, or be split at its own "=".
bool KeyNeedsEscape(const std::string& key) {
  if (!key.empty() && (key[0] == ';' || key[0] == '[' || key[0] == '"')) return true;
  return key.find('=') != std::string::npos || HasControl(key);
}

void IniSection(std::string& out, const std::string& name, const CParamSection& section) {
  if (!out.empty()) out += "\n";
  out += "[" + name + "]\n";
  for (const CParamItem& item : section.Items()) {
    if (item.comment) {
      if (item.comment->empty())
        out += ";\n";
      else if (HasControl(*item.comment))
        out += ";" + Scalar(Json(*item.comment)) + "\n";
      else
        out += "; " + *item.comment + "\n";
    }
    if (KeyNeedsEscape(item.key) || HasControl(item.value))
      out += Scalar(Json(item.key)) + "=" + Scalar(Json(item.value)) + "\n";
    else
      out += item.key + "=" + item.value + "\n";
  }
}

const char* const kNamedSections[] = {"task", "setup", "environment"};

bool IsFixedSection(const std::string& name) {
  for (const char* fixed : kNamedSections)
    if (name == fixed) return true;
  return false;
}

}  // namespace

std::string FormatJson(const Json& json) {
  std::string out;
  TextWriter writer(out);
  Pretty(writer, json, 0, false);
  out += '\n';
  return out;
}

Json ResultJson(const Conversion& conversion) {
  const CParamDict& dict = conversion.Converter().Dictionary();
  const TW_TTask& task = conversion.Task();
  // Members are reserved up front: an ordered object copies its members
  // whole when it grows (its key is const, so they can't be moved).
  Json result = Json::object();
  result.get_ref<Json::object_t&>().reserve(5);

  Json dictionary = Json::object();
  dictionary.get_ref<Json::object_t&>().reserve(4 + dict.Sections().size());
  dictionary["task"] = SectionJson(dict.FindSection("task"), false);
  dictionary["setup"] = SectionJson(dict.FindSection("setup"), true);
  dictionary["environment"] = SectionJson(dict.FindSection("environment"), false);
  // Sections the writers do not name today still show, after the fixed ones.
  for (const auto& section : dict.Sections())
    if (!IsFixedSection(section.first)) dictionary[section.first] = SectionJson(&section.second, true);
  Json jobs = Json::object();
  // Job numbers are unique: append them, rather than look each up among the
  // ones before (a lookup in an ordered object is a linear walk).
  auto& jobMembers = jobs.get_ref<Json::object_t&>();
  jobMembers.reserve(dict.JobSections().size());
  for (const auto& job : dict.JobSections()) jobMembers.emplace_back(std::to_string(job.first), SectionJson(&job.second, true));
  dictionary["jobs"] = std::move(jobs);
  result["dictionary"] = std::move(dictionary);

  Json log = Json::array();
  for (const TW_TLogEntry& entry : task.Log()) {
    Json line = Json::object();
    line["level"] = entry.level;
    line["text"] = entry.text;
    if (entry.hasArgument) line["argument"] = EncodeValue(entry.argument);
    log.push_back(std::move(line));
  }
  result["log"] = std::move(log);

  Json names = Json::object();
  for (const TName::Entry& entry : task.Names().Entries())
    names[entry.name.Str()] = entry.value ? EncodeValue(*entry.value) : Json(nullptr);
  result["templateNames"] = std::move(names);

  Json files = Json::array();
  for (const TW_TTempFile& file : task.TempFiles()) files.push_back(Json{{"url", file.url.Text().Str()}, {"keep", file.keep}});
  result["tempFiles"] = std::move(files);

  result["jobDictionaries"] = EncodeValue(conversion.Jobs());
  return result;
}

std::string IniText(const CParamDict& dictionary) {
  std::string out;
  for (const char* name : kNamedSections)
    if (const CParamSection* section = dictionary.FindSection(name)) IniSection(out, name, *section);
  for (const auto& section : dictionary.Sections())
    if (!IsFixedSection(section.first)) IniSection(out, section.first, section.second);
  for (const auto& job : dictionary.JobSections()) IniSection(out, "job " + std::to_string(job.first), job.second);
  return out;
}

std::string LogLine(const TW_TLogEntry& entry) {
  std::string line = std::to_string(entry.level) + " " + Scalar(Json(entry.text));
  if (entry.hasArgument) line += " " + Compact(EncodeValue(entry.argument));
  return line;
}

std::vector<std::string> CleanupTempFiles(const TW_TTask& task) {
  std::set<std::string> kept;
  for (const TW_TTempFile& file : task.TempFiles())
    if (file.keep) kept.insert(file.url.Text().Str());
  std::set<std::string> done;
  std::vector<std::string> problems;
  for (const TW_TTempFile& file : task.TempFiles()) {
    const std::string url = file.url.Text().Str();
    if (file.keep || kept.count(url) || !done.insert(url).second) continue;
    try {
      const std::string path = file.url.LocalName().Str();
      std::error_code ec;
      if (!std::filesystem::remove(path, ec) && ec)
        problems.push_back("can't delete " + path + ": " + ec.message());
    } catch (const std::exception& e) {
      problems.push_back("can't delete " + url + ": " + e.what());
    }
  }
  return problems;
}

}  // namespace t2dhost
