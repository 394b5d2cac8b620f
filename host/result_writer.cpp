#include "result_writer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <stdexcept>
#include <system_error>

#include "os_file.h"
#include "sha256.h"

namespace t2dhost {

namespace {

std::string Scalar(const Json& j) { return j.dump(-1, ' ', false, Json::error_handler_t::replace); }

// The text being written: a growing buffer whose appends are inline (a
// result is millions of small appends: quotes, commas, indentation).
class TextBuffer {
 public:
  size_t size() const { return size_; }
  void clear() { size_ = 0; }
  // Back to `size`, which is not more than the size now.
  void resize(size_t size) { size_ = std::min(size, size_); }
  void reserve(size_t capacity) {
    if (capacity > capacity_) Grow(capacity - size_);
  }
  std::string str() const { return size_ == 0 ? std::string() : std::string(data_.get(), size_); }

  void append(const char* text, size_t length) {
    if (length == 0) return;  // the buffer may not exist yet: no memcpy on null
    if (length > capacity_ - size_) Grow(length);
    std::memcpy(data_.get() + size_, text, length);
    size_ += length;
  }
  void append(const char* first, const char* last) { append(first, static_cast<size_t>(last - first)); }
  void append(size_t count, char c) {
    if (count == 0) return;
    if (count > capacity_ - size_) Grow(count);
    std::memset(data_.get() + size_, c, count);
    size_ += count;
  }
  TextBuffer& operator+=(char c) {
    if (size_ == capacity_) Grow(1);
    data_[size_++] = c;
    return *this;
  }
  TextBuffer& operator+=(const char* text) {
    append(text, std::strlen(text));
    return *this;
  }
  TextBuffer& operator+=(const std::string& text) {
    append(text.data(), text.size());
    return *this;
  }

 private:
  void Grow(size_t more) {
    if (more > SIZE_MAX / 2 - size_) throw std::length_error("the result text is too long to hold");
    const size_t capacity = std::max(capacity_ * 2, size_ + more);
    std::unique_ptr<char[]> data(new char[capacity]);
    if (size_ != 0) std::memcpy(data.get(), data_.get(), size_);
    data_ = std::move(data);
    capacity_ = capacity;
  }

  std::unique_ptr<char[]> data_;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

// nlohmann-json's serializer writing into a TextBuffer.
class BufferAdapter final : public nlohmann::detail::output_adapter_protocol<char> {
 public:
  explicit BufferAdapter(TextBuffer& out) : out_(out) {}
  void write_character(char c) override { out_ += c; }
  void write_characters(const char* s, std::size_t length) override { out_.append(s, length); }

 private:
  TextBuffer& out_;
};

// Appends the JSON text of keys and scalars to one buffer, as
// Json::dump(-1) writes them (invalid UTF-8 replaced). Texts of plain
// printable ASCII, nearly all of them, are copied as they are.
class TextWriter {
 public:
  explicit TextWriter(TextBuffer& out)
      : out_(out), serializer_(std::make_shared<BufferAdapter>(out), ' ', Json::error_handler_t::replace) {}

  TextBuffer& Out() { return out_; }

  // The first byte from `at` on that a text can't hold as it is in JSON
  // (a control character, a quote, a backslash, DEL or a byte beyond
  // ASCII), or `end`. Eight bytes at a time (the trace writes many
  // megabytes of texts), with the usual word tests: a byte of `w` is below n
  // when (w - n per byte) & ~w has its high bit, and is zero when it is below
  // 1. The lowest byte a test marks is always a true match.
  static const char* NextSpecial(const char* at, const char* end) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL, kHighs = 0x8080808080808080ULL;
    const auto below = [](uint64_t w, uint64_t n) { return (w - kOnes * n) & ~w & kHighs; };
    for (; end - at >= 8; at += 8) {
      uint64_t w;
      std::memcpy(&w, at, sizeof w);
      const uint64_t special = below(w, 0x20) | below(w ^ (kOnes * '"'), 1) | below(w ^ (kOnes * '\\'), 1) |
                               below(w ^ (kOnes * 0x7f), 1) | (w & kHighs);
      if (special != 0) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        return at + __builtin_ctzll(special) / 8;  // the lowest byte marked comes first
#else
        break;  // the byte loop below finds it
#endif
      }
    }
    for (; at != end; ++at)
      if (kSerialized[static_cast<unsigned char>(*at)]) return at;
    return end;
  }

  // The same test a byte at a time, for the bytes after the last eight.
  static constexpr std::array<bool, 256> kSerialized = [] {
    std::array<bool, 256> table{};
    for (size_t c = 0; c < table.size(); ++c) table[c] = c < 0x20 || c >= 0x7f || c == '"' || c == '\\';
    return table;
  }();

  // A text as JSON writes it: quotes, backslashes and control characters
  // escaped here, DEL as it is; a text with bytes beyond ASCII goes through
  // nlohmann-json's serializer, which replaces invalid UTF-8.
  void String(const std::string& text) {
    const size_t start = out_.size();
    out_ += '"';
    const char* run = text.data();
    const char* end = run + text.size();
    for (const char* at = NextSpecial(run, end); at != end; at = NextSpecial(at, end)) {
      const auto c = static_cast<unsigned char>(*at);
      if (c == 0x7f) {
        ++at;
        continue;
      }
      if (c >= 0x80) {
        out_.resize(start);
        serializer_.dump(Json(text), false, false, 0);
        return;
      }
      out_.append(run, at);
      run = ++at;
      out_ += '\\';
      switch (c) {
        case '"': out_ += '"'; break;
        case '\\': out_ += '\\'; break;
        case '\b': out_ += 'b'; break;
        case '\t': out_ += 't'; break;
        case '\n': out_ += 'n'; break;
        case '\f': out_ += 'f'; break;
        case '\r': out_ += 'r'; break;
        default: {
          static const char kHex[] = "0123456789abcdef";
          const char escape[] = {'u', '0', '0', kHex[c >> 4], kHex[c & 15]};
          out_.append(escape, sizeof escape);
        }
      }
    }
    out_.append(run, end);
    out_ += '"';
  }

  void Scalar(const Json& j) {
    if (j.is_string())
      String(j.get_ref<const std::string&>());
    else
      serializer_.dump(j, false, false, 0);
  }

 private:
  TextBuffer& out_;
  nlohmann::detail::serializer<Json> serializer_;
};

void Compact(TextWriter& writer, const Json& j) {
  TextBuffer& out = writer.Out();
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
  TextBuffer out;
  TextWriter writer(out);
  Compact(writer, j);
  return out.str();
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
  TextBuffer& out = writer.Out();
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
  TextBuffer out;
  TextWriter writer(out);
  Pretty(writer, json, 0, false);
  out += '\n';
  return out.str();
}

namespace {

}  // namespace

Json LogEntryJson(const TW_TLogEntry& entry) {
  Json line = Json::object();
  line["level"] = entry.level;
  line["text"] = entry.text;
  if (entry.hasArgument) line["argument"] = EncodeValue(entry.argument);
  line["step"] = entry.step.empty() ? Json(nullptr) : Json(entry.step);
  line["job"] = entry.job ? Json(*entry.job) : Json(nullptr);
  return line;
}

namespace {

Json LogJson(const TW_TTask& task) {
  Json log = Json::array();
  for (const TW_TLogEntry& entry : task.Log()) log.push_back(LogEntryJson(entry));
  return log;
}

Json TemplateNamesJson(const TW_TTask& task) {
  Json names = Json::object();
  for (const TName::Entry& entry : task.Names().Entries())
    names[entry.name.Str()] = entry.value ? EncodeValue(*entry.value) : Json(nullptr);
  return names;
}

Json TempFilesJson(const TW_TTask& task) {
  Json files = Json::array();
  for (const TW_TTempFile& file : task.TempFiles()) files.push_back(Json{{"url", file.url.Text().Str()}, {"keep", file.keep}});
  return files;
}

// A text file: well-formed UTF-8 without control characters other than
// tab, line feed, carriage return and form feed.
bool IsText(const std::string& bytes) {
  for (unsigned char c : bytes)
    if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f') || c == 0x7f) return false;
  try {
    (void)Json(bytes).dump();  // the JSON writer refuses ill-formed UTF-8
  } catch (const Json::type_error&) {
    return false;
  }
  return true;
}

// The sections of the dictionary in the result's order, each with whether
// its items carry comments: "task", "setup", "environment", then sections
// the writers do not name today, after the fixed ones.
template <class Visit>
void ForEachNamedSection(const CParamDict& dict, Visit visit) {
  visit("task", dict.FindSection("task"), false);
  visit("setup", dict.FindSection("setup"), true);
  visit("environment", dict.FindSection("environment"), false);
  for (const auto& section : dict.Sections())
    if (!IsFixedSection(section.first)) visit(section.first, &section.second, true);
}

}  // namespace

// ---- The result written directly ------------------------------------------
//
// The dictionary and the job dictionaries make nearly all of a large result:
// they are written straight from the converter's dictionary and the value
// library's values, in the layout FormatJson gives their JSON form, without
// building that form first.

namespace {

class DirectWriter {
 public:
  // With a `sink`, the text is handed to it in pieces of about kPiece bytes
  // as it grows, and the rest at the end; without one, it stays in `out`.
  DirectWriter(TextBuffer& out, const ResultSink* sink) : writer_(out), out_(out), sink_(sink) {}

  static constexpr size_t kPiece = 1 << 20;

  void Result(const Conversion& conversion) {
    const CParamDict& dict = conversion.Converter().Dictionary();
    const TW_TTask& task = conversion.Task();
    // Read before anything is written: a file that can't be read stops the
    // result before its first piece.
    const Json files = WrittenFilesJson(task);
    out_ += "{\n";
    Key(2, "dictionary");
    Dictionary(dict, 2);
    out_ += ",\n";
    Key(2, "log");
    Pretty(writer_, LogJson(task), 2, false);
    out_ += ",\n";
    Key(2, "templateNames");
    Pretty(writer_, TemplateNamesJson(task), 2, false);
    out_ += ",\n";
    Key(2, "tempFiles");
    Pretty(writer_, TempFilesJson(task), 2, false);
    out_ += ",\n";
    Key(2, "jobDictionaries");
    PrettyValue(conversion.Jobs(), 2, false);
    out_ += ",\n";
    Key(2, "files");
    Pretty(writer_, files, 2, false);
    if (conversion.Watch().Tracing()) {
      out_ += ",\n";
      Key(2, "trace");
      TraceRuns(conversion.Watch().Runs());
    }
    out_ += "\n}\n";
    if (sink_ != nullptr) Flush();
  }

 private:
  void Flush() {
    (*sink_)(out_.str());
    out_.clear();
  }

  // The step runs, written as FormatJson lays out their JSON form
  // (StepRunJson), without building it: a trace holds every read of a
  // conversion, many times the result.
  void TraceRuns(const std::vector<StepRun>& runs) {
    if (runs.empty()) {
      out_ += "[]";
      return;
    }
    out_ += "[\n";
    for (size_t i = 0; i < runs.size(); ++i) {
      MaybeFlush();
      out_.append(4, ' ');
      TraceRun(runs[i]);
      out_ += i + 1 < runs.size() ? ",\n" : "\n";
    }
    out_ += "  ]";
  }

  void TraceRun(const StepRun& run) {
    const auto scalar = [this](const char* key, const Json& value) {
      writer_.String(key);
      out_ += ": ";
      writer_.Scalar(value);
    };
    const Json job = run.job ? Json(*run.job) : Json(nullptr);
    const Json parent = run.parent ? Json(*run.parent) : Json(nullptr);
    // A run whose members are all scalars or empty arrays takes one line.
    const bool flat = run.reads.empty() && run.calls.empty() && run.writes.empty();
    const char* between = flat ? ", " : ",\n      ";
    out_ += flat ? "{" : "{\n      ";
    scalar("step", run.step);
    out_ += between;
    scalar("job", job);
    out_ += between;
    scalar("parent", parent);
    if (flat) {
      out_ += ", \"reads\": [], \"calls\": [], \"writes\": []}";
      return;
    }
    out_ += ",\n";
    Elements("reads", run.reads, [this](const TraceRead& read) {
      if (!read.value) {
        out_ += "{\"path\": ";
        writer_.String(read.path);
        out_ += ", \"absent\": true}";
      } else if (IsScalarLike(*read.value)) {
        out_ += "{\"path\": ";
        writer_.String(read.path);
        out_ += ", \"value\": ";
        Compact(writer_, *read.value);
        out_ += '}';
      } else {
        Pretty(writer_, Json{{"path", read.path}, {"value", *read.value}}, 8, true);
      }
    });
    out_ += ",\n";
    Elements("calls", run.calls,
             [this](const TraceCall& call) { Pretty(writer_, TraceCallJson(call), 8, true); });
    out_ += ",\n";
    Elements("writes", run.writes, [this](const TraceWrite& write) {
      if (!write.derivation.empty() && !write.inputs.empty()) {
        DerivedWrite(write);
        return;
      }
      if (!write.derivation.empty()) {  // all members scalar-like: one line
        Compact(writer_, TraceWriteJson(write));
        return;
      }
      out_ += "{\"section\": ";
      writer_.String(write.section);
      out_ += ", \"key\": ";
      writer_.String(write.key);
      out_ += ", \"value\": ";
      writer_.String(write.value);
      if (write.hasCommentField) {
        out_ += ", \"comment\": ";
        if (write.comment)
          writer_.String(*write.comment);
        else
          out_ += "null";
      }
      out_ += '}';
    });
    out_ += "\n    }";
  }

  // A computed value's write, laid out as FormatJson lays out its JSON form
  // (TraceWriteJson): one member a line, the inputs on one line.
  void DerivedWrite(const TraceWrite& write) {
    const auto member = [this](const char* key, bool first) {
      out_ += first ? "{\n" : ",\n";
      out_.append(10, ' ');
      writer_.String(key);
      out_ += ": ";
    };
    member("section", true);
    writer_.String(write.section);
    member("key", false);
    writer_.String(write.key);
    member("value", false);
    writer_.String(write.value);
    if (write.hasCommentField) {
      member("comment", false);
      if (write.comment)
        writer_.String(*write.comment);
      else
        out_ += "null";
    }
    member("derivation", false);
    writer_.String(write.derivation);
    member("inputs", false);
    out_ += '[';
    for (size_t i = 0; i < write.inputs.size(); ++i) {
      if (i) out_ += ", ";
      writer_.String(write.inputs[i]);
    }
    out_ += "]\n        }";
  }

  // "name": [...] of a run, one element a line.
  template <class Element, class Write>
  void Elements(const char* name, const std::vector<Element>& elements, Write write) {
    out_ += "      ";
    writer_.String(name);
    if (elements.empty()) {
      out_ += ": []";
      return;
    }
    out_ += ": [\n";
    for (size_t i = 0; i < elements.size(); ++i) {
      out_.append(8, ' ');
      write(elements[i]);
      out_ += i + 1 < elements.size() ? ",\n" : "\n";
    }
    out_ += "      ]";
  }

  // Called between members and elements.
  void MaybeFlush() {
    if (sink_ != nullptr && out_.size() >= kPiece) Flush();
  }

  void Key(size_t indent, const std::string& key) {
    MaybeFlush();
    out_.append(indent, ' ');
    writer_.String(key);
    out_ += ": ";
  }

  // Never empty: an object of one member a line.
  void Dictionary(const CParamDict& dict, size_t indent) {
    out_ += "{\n";
    ForEachNamedSection(dict, [&](const std::string& name, const CParamSection* section, bool withComments) {
      Key(indent + 2, name);
      Section(section, withComments, indent + 2);
      out_ += ",\n";
    });
    Key(indent + 2, "jobs");
    if (dict.JobSections().empty()) {
      out_ += "{}";
    } else {
      out_ += "{\n";
      size_t i = 0;
      for (const auto& job : dict.JobSections()) {
        Key(indent + 4, std::to_string(job.first));
        Section(&job.second, true, indent + 4);
        out_ += ++i < dict.JobSections().size() ? ",\n" : "\n";
      }
      out_.append(indent + 2, ' ');
      out_ += '}';
    }
    out_ += '\n';
    out_.append(indent, ' ');
    out_ += '}';
  }

  // An array of items, each a one-line object.
  void Section(const CParamSection* section, bool withComments, size_t indent) {
    if (section == nullptr || section->Items().empty()) {
      out_ += "[]";
      return;
    }
    out_ += "[\n";
    const auto& items = section->Items();
    for (size_t i = 0; i < items.size(); ++i) {
      const CParamItem& item = items[i];
      MaybeFlush();
      out_.append(indent + 2, ' ');
      out_ += "{\"key\": ";
      writer_.String(item.key);
      out_ += ", \"value\": ";
      writer_.String(item.value);
      if (withComments) {
        out_ += ", \"comment\": ";
        if (item.comment)
          writer_.String(*item.comment);
        else
          out_ += "null";
      }
      out_ += i + 1 < items.size() ? "},\n" : "}\n";
    }
    out_.append(indent, ' ');
    out_ += ']';
  }

  // ---- Values, as EncodeValue gives them and Pretty lays them out --------

  static const QX_TKeyedCollection* Entries(const QX_TAny& value, const char** wrapper) {
    const QX_TObject* object = value.Object();
    if (object == nullptr) return nullptr;
    const std::string_view cls = object->ClassName();
    if (cls == QX_TTree::kClassName) {
      *wrapper = "@tree";
      return static_cast<const QX_TTree*>(object);
    }
    if (cls == QX_TDict::kClassName) {
      const auto* dict = static_cast<const QX_TDict*>(object);
      *wrapper = HasTagLikeKey(*dict) ? "@dict" : nullptr;
      return dict;
    }
    return nullptr;
  }

  static const QX_TArray* ArrayOf(const QX_TAny& value) {
    const QX_TObject* object = value.Object();
    if (object == nullptr || std::string_view(object->ClassName()) != QX_TArray::kClassName) return nullptr;
    return static_cast<const QX_TArray*>(object);
  }

  // Whether the value's JSON form counts as a scalar in the layout: a
  // scalar, a tagged scalar, or an empty object or array.
  static bool ScalarLike(const QX_TAny& value) {
    const char* wrapper = nullptr;
    if (const QX_TKeyedCollection* entries = Entries(value, &wrapper))
      return wrapper == nullptr && ScalarLikeEntries(*entries);
    if (const QX_TArray* array = ArrayOf(value)) return array->LowerBound() == 0 && array->Items().empty();
    return true;
  }

  // Whether the value's JSON form is a plain JSON scalar (not an object).
  static bool PlainScalar(const QX_TAny& value) {
    const QX_TObject* object = value.Object();
    if (object == nullptr) return false;
    const std::string_view cls = object->ClassName();
    if (cls == QX_TDouble::kClassName) return std::isfinite(static_cast<const QX_TDouble*>(object)->Value());
    return cls == QX_TString::kClassName || cls == QX_TBool::kClassName || cls == QX_TInt32::kClassName;
  }

  // Whether the entries, as a JSON object, count as a scalar: none, or one
  // that looks like a tagged scalar ({"@x": 5}).
  static bool ScalarLikeEntries(const QX_TKeyedCollection& entries) {
    const auto& items = entries.Items();
    if (items.empty()) return true;
    return items.size() == 1 && !items[0].first.Str().empty() && items[0].first.Str()[0] == '@' &&
           PlainScalar(items[0].second);
  }

  template <class Items, class IsScalarLike>
  static bool AllScalarLike(const Items& items, IsScalarLike isScalarLike) {
    for (const auto& item : items)
      if (!isScalarLike(item)) return false;
    return true;
  }

  void CompactValue(const QX_TAny& value) {
    const char* wrapper = nullptr;
    if (const QX_TKeyedCollection* entries = Entries(value, &wrapper)) {
      if (wrapper != nullptr) OpenWrapper(wrapper);
      CompactEntries(*entries);
      if (wrapper != nullptr) out_ += '}';
    } else if (const QX_TArray* array = ArrayOf(value)) {
      if (array->LowerBound() != 0) OpenWrapper("@array");
      CompactItems(*array);
      if (array->LowerBound() != 0) out_ += ", \"@lower\": " + std::to_string(array->LowerBound()) + "}";
    } else {
      Scalar(value);
    }
  }

  // A scalar, or a tagged scalar, as EncodeValue gives it.
  void Scalar(const QX_TAny& value) {
    const QX_TObject* object = value.Object();
    if (object == nullptr) {
      out_ += "{\"@illegal\": null}";
      return;
    }
    const std::string_view cls = object->ClassName();
    if (cls == QX_TString::kClassName) {
      writer_.String(static_cast<const QX_TString*>(object)->Str());
    } else if (cls == QX_TInt32::kClassName) {
      out_ += std::to_string(static_cast<const QX_TInt32*>(object)->Value());
    } else if (cls == QX_TBool::kClassName) {
      out_ += static_cast<const QX_TBool*>(object)->Value() ? "true" : "false";
    } else if (cls == QX_TDouble::kClassName && std::isfinite(static_cast<const QX_TDouble*>(object)->Value())) {
      writer_.Scalar(Json(static_cast<const QX_TDouble*>(object)->Value()));
    } else if (cls == QX_TURL::kClassName) {
      OpenWrapper("@url");
      writer_.String(static_cast<const QX_TURL*>(object)->Text().Str());
      out_ += '}';
    } else {
      Compact(writer_, EncodeValue(value));  // the rarer tagged scalars
    }
  }

  void OpenWrapper(const char* tag) {
    out_ += "{\"";
    out_ += tag;
    out_ += "\": ";
  }

  void CompactEntries(const QX_TKeyedCollection& entries) {
    out_ += '{';
    bool first = true;
    for (const auto& entry : entries) {
      if (!first) out_ += ", ";
      first = false;
      writer_.String(entry.first.Str());
      out_ += ": ";
      CompactValue(entry.second);
    }
    out_ += '}';
  }

  void CompactItems(const QX_TArray& array) {
    out_ += '[';
    bool first = true;
    for (const QX_TAny& item : array.Items()) {
      if (!first) out_ += ", ";
      first = false;
      CompactValue(item);
    }
    out_ += ']';
  }

  void PrettyValue(const QX_TAny& value, size_t indent, bool arrayElement) {
    const char* wrapper = nullptr;
    if (const QX_TKeyedCollection* entries = Entries(value, &wrapper)) {
      if (wrapper == nullptr) {
        PrettyEntries(*entries, indent, arrayElement);
      } else if (ScalarLikeEntries(*entries) && arrayElement) {
        CompactValue(value);  // {"@tree": {}} is flat
      } else {
        out_ += "{\n";
        Key(indent + 2, wrapper);
        PrettyEntries(*entries, indent + 2, false);
        out_ += '\n';
        out_.append(indent, ' ');
        out_ += '}';
      }
    } else if (const QX_TArray* array = ArrayOf(value)) {
      if (array->LowerBound() == 0) {
        PrettyItems(*array, indent);
      } else if (array->Items().empty() && arrayElement) {
        CompactValue(value);  // {"@array": [], "@lower": n} is flat
      } else {
        out_ += "{\n";
        Key(indent + 2, "@array");
        PrettyItems(*array, indent + 2);
        out_ += ",\n";
        Key(indent + 2, "@lower");
        out_ += std::to_string(array->LowerBound()) + "\n";
        out_.append(indent, ' ');
        out_ += '}';
      }
    } else {
      CompactValue(value);
    }
  }

  void PrettyEntries(const QX_TKeyedCollection& entries, size_t indent, bool arrayElement) {
    const auto& items = entries.Items();
    const bool flat = AllScalarLike(items, [](const QX_TKeyedCollection::Entry& e) { return ScalarLike(e.second); });
    if (ScalarLikeEntries(entries) || (flat && arrayElement && items.size() <= kOneLineMembers)) {
      CompactEntries(entries);
      return;
    }
    out_ += "{\n";
    for (size_t i = 0; i < items.size(); ++i) {
      Key(indent + 2, items[i].first.Str());
      PrettyValue(items[i].second, indent + 2, false);
      out_ += i + 1 < items.size() ? ",\n" : "\n";
    }
    out_.append(indent, ' ');
    out_ += '}';
  }

  void PrettyItems(const QX_TArray& array, size_t indent) {
    const auto& items = array.Items();
    if (AllScalarLike(items, [](const QX_TAny& item) { return ScalarLike(item); })) {
      CompactItems(array);
      return;
    }
    out_ += "[\n";
    for (size_t i = 0; i < items.size(); ++i) {
      MaybeFlush();
      out_.append(indent + 2, ' ');
      PrettyValue(items[i], indent + 2, true);
      out_ += i + 1 < items.size() ? ",\n" : "\n";
    }
    out_.append(indent, ' ');
    out_ += ']';
  }

  TextWriter writer_;
  TextBuffer& out_;
  const ResultSink* sink_;
};

}  // namespace

std::string ResultText(const Conversion& conversion) {
  TextBuffer out;
  DirectWriter(out, nullptr).Result(conversion);
  return out.str();
}

void WriteResult(const Conversion& conversion, const ResultSink& sink) {
  TextBuffer piece;
  piece.reserve(2 * DirectWriter::kPiece);
  DirectWriter(piece, &sink).Result(conversion);
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

std::string FlatText(const CParamDict& dictionary) {
  const auto values = [](const CParamSection* section) {
    Json object = Json::object();
    if (section != nullptr)
      for (const CParamItem& item : section->Items()) object[item.key] = item.value;
    return object;
  };
  Json flat = Json::object();
  ForEachNamedSection(dictionary, [&](const std::string& name, const CParamSection* section, bool) {
    flat[name] = values(section);
  });
  Json& jobs = flat["jobs"] = Json::object();
  for (const auto& job : dictionary.JobSections()) jobs[std::to_string(job.first)] = values(&job.second);
  return FormatJson(flat);
}

std::string LogLine(const TW_TLogEntry& entry) {
  std::string line = std::to_string(entry.level) + " " + Scalar(Json(entry.text));
  if (entry.hasArgument) line += " " + Compact(EncodeValue(entry.argument));
  const std::string where = LogEntryPlace(entry.step, entry.job);
  if (!where.empty()) line += " (" + where + ")";
  return line;
}

std::string LogEntryPlace(const std::string& step, std::optional<long long> job) {
  std::string where = step;
  if (job) where += (where.empty() ? "job " : ", job ") + std::to_string(*job);
  return where;
}

Json WrittenFilesJson(const TW_TTask& task) {
  Json files = Json::array();
  for (const TW_TTempFile& file : task.TempFiles()) {
    const std::string url = file.url.Text().Str();
    std::string path;
    try {
      path = file.url.LocalName().Str();
    } catch (const std::exception& e) {
      throw std::runtime_error("can't read the temporary file " + url + ": " + e.what());
    }
    int error = 0;
    std::string bytes;
    try {
      bytes = qxos::ReadFileContents(path, &error);
    } catch (const std::exception& e) {
      if (error != ENOENT && error != ENOTDIR) throw;
      files.push_back(Json{{"url", url}, {"missing", true}});
      continue;
    }
    if (IsText(bytes))
      files.push_back(Json{{"url", url}, {"text", std::move(bytes)}});
    else
      files.push_back(Json{{"url", url}, {"bytes", bytes.size()}, {"sha256", Sha256Hex(bytes)}});
  }
  return files;
}

std::set<std::string> FilesBefore(const std::vector<std::string>& folders) {
  std::set<std::string> files;
  for (const std::string& folder : folders) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
      files.insert(ResolvedPath(it->path().string()));
  }
  return files;
}

std::vector<std::string> CleanupTempFiles(const TW_TTask& task, const std::set<std::string>& before) {
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
      if (before.count(ResolvedPath(path))) {
        problems.push_back("left " + path + ": it was there before the conversion");
        continue;
      }
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
