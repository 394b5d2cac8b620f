#include "task_file_parser.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <optional>
#include <regex>
#include <set>
#include <utility>

namespace t2dhost {

namespace {

// Deeper nesting is refused before any recursive walk could exhaust the stack.
constexpr size_t kMaxDepth = 200;

// The message line of nlohmann-json's complaint about `text`, with the line
// and column where it has them.
[[noreturn]] void ThrowNotJson(const nlohmann::detail::exception& e, const std::string& text, const std::string& file) {
  const std::string what = e.what();
  if (dynamic_cast<const Json::parse_error*>(&e) != nullptr) {
    // "[json.exception.parse_error.101] parse error at line 3, column 5: <problem>"
    static const std::regex kPosition("parse error at line ([0-9]+), column ([0-9]+): (.*)");
    std::smatch m;
    if (std::regex_search(what, m, kPosition))
      throw TaskFileError(file + ":" + m[1].str() + ":" + m[2].str() + ": not valid JSON: " + m[3].str());
    throw TaskFileError(file + ": not valid JSON: " + what);
  }
  std::string problem = what;
  const auto close = problem.find("] ");
  if (problem.rfind("[json.exception.", 0) == 0 && close != std::string::npos) problem = problem.substr(close + 2);
  // "number overflow parsing '1e999'" carries no position: name the first
  // place where that number is written.
  const auto open = problem.find(" parsing '");
  if (open != std::string::npos && problem.size() > open + 11 && problem.back() == '\'') {
    const std::string token = problem.substr(open + 10, problem.size() - open - 11);
    const size_t at = token.empty() ? std::string::npos : text.find(token);
    if (at != std::string::npos) {
      const size_t lineStart = text.rfind('\n', at);
      const size_t line = 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<long>(at), '\n'));
      const size_t column = at - (lineStart == std::string::npos ? 0 : lineStart + 1) + 1;
      throw TaskFileError(file + ":" + std::to_string(line) + ":" + std::to_string(column) +
                          ": not valid JSON: " + problem);
    }
  }
  throw TaskFileError(file + ": not valid JSON: " + problem);
}

class Builder final : public nlohmann::json_sax<Json> {
 public:
  Builder(const std::string& text, const std::string& file, const std::string& baseFolder)
      : text_(text), file_(file), base_(baseFolder) {}

  ParsedTaskFile Take() { return ParsedTaskFile{std::move(root_), std::move(values_)}; }

  bool null() override {
    return Scalar([] { return Json(nullptr); },
                  [this]() -> QX_TAny {
                    Defer(frames_.back().slot, Path(frames_.size()),
                          "null is not a value here; write {\"@illegal\": null} for the illegal value");
                    return QX_TAny();
                  });
  }
  bool boolean(bool value) override {
    return Scalar([value] { return Json(value); }, [value] { return QX_TAny(value); });
  }
  bool number_integer(number_integer_t value) override {
    return Scalar([value] { return Json(value); }, [value] { return Integer(value); });
  }
  bool number_unsigned(number_unsigned_t value) override {
    return Scalar([value] { return Json(value); },
                  [value] {
                    return value <= INT32_MAX ? Integer(static_cast<int64_t>(value)) : Double(static_cast<double>(value));
                  });
  }
  bool number_float(number_float_t value, const string_t&) override {
    return Scalar([value] { return Json(value); }, [value] { return Double(value); });
  }
  bool string(string_t& value) override {
    return Scalar([&value] { return Json(std::move(value)); },
                  [&value] { return QX_TAny(std::make_unique<QX_TString>(std::move(value))); });
  }
  bool binary(binary_t&) override { return true; }  // JSON text has none

  bool start_object(std::size_t) override { return Start(true); }
  bool start_array(std::size_t) override { return Start(false); }
  bool end_object() override { return End(); }
  bool end_array() override { return End(); }

  bool key(string_t& key) override {
    Frame& top = frames_.back();
    const bool duplicate = top.mode == Mode::kValue ? top.dict->HasKey(QX_TString(key)) : !top.keys.insert(key).second;
    if (duplicate)
      throw TaskFileError(file_ + ": " + MemberPath(Path(frames_.size() - 1), key) + ": the key " + QuotedText(key) +
                          " appears twice in one object");
    if (top.mode == Mode::kValue && !key.empty() && key[0] == '@') {
      if (top.dict->Entries() == 0) {
        // A tagged value ({"@int32": 5}, {"@array": [...], "@lower": 1}):
        // kept as JSON and read as the reader reads it when it ends.
        top.mode = Mode::kTaggedValue;
        top.ownJson = std::make_unique<Json>(Json::object());
        top.json = top.ownJson.get();
        top.keys.insert(key);
        top.dict.reset();
      } else {
        top.tagLike = true;
      }
    }
    top.key = std::move(key);
    return true;
  }

  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) override {
    ThrowNotJson(e, text_, file_);
  }

 private:
  // kDocument: part of the file's structure, kept as JSON. kValue: inside a
  // value built into the value library's types. kTaggedValue: inside a
  // tagged value within such a value, kept as JSON until it ends.
  enum class Mode { kDocument, kValue, kTaggedValue };

  struct Frame {
    bool isObject = false;
    Mode mode = Mode::kDocument;
    std::string key;   // objects: the member being read
    size_t index = 0;  // arrays: the element being read
    size_t slot = 0;   // kValue, kTaggedValue: the prebuilt value it belongs to
    // kDocument, kTaggedValue: the container being built and its keys so far.
    Json* json = nullptr;
    std::unique_ptr<Json> ownJson;  // the tagged value a kTaggedValue frame starts
    std::set<std::string> keys;
    // kValue: the collection being built.
    std::optional<QX_TDict> dict;
    std::optional<QX_TArray> array;
    bool tagLike = false;  // a key after the first begins with '@'
  };

  static QX_TAny Integer(int64_t value) {
    if (value >= INT32_MIN && value <= INT32_MAX)
      return QX_TAny(std::make_unique<QX_TInt32>(static_cast<int32_t>(value)));
    return Double(static_cast<double>(value));
  }
  static QX_TAny Double(double value) { return QX_TAny(std::make_unique<QX_TDouble>(value)); }

  template <class MakeJson, class MakeValue>
  bool Scalar(MakeJson makeJson, MakeValue makeValue) {
    if (frames_.empty()) {
      root_ = makeJson();
      return true;
    }
    Frame& top = frames_.back();
    if (top.mode == Mode::kValue)
      AddTo(top, makeValue());
    else
      Place(top, makeJson());
    if (!top.isObject) ++top.index;
    return true;
  }

  // Whether a container opened now is one of the values built directly.
  bool AtValuePosition() const {
    auto memberOf = [this](size_t i, const char* key) {
      return frames_[i].mode == Mode::kDocument && frames_[i].isObject && frames_[i].key == key;
    };
    if (frames_.size() == 2)
      return (memberOf(0, "ticket") && (memberOf(1, "configuration") || memberOf(1, "work"))) ||
             (memberOf(0, "setup") && (memberOf(1, "masterDictionary") || memberOf(1, "jobs")));
    if (frames_.size() == 3)
      return memberOf(0, "jobs") && !frames_[1].isObject && frames_[1].mode == Mode::kDocument &&
             memberOf(2, "jobArray");
    return false;
  }

  bool Start(bool isObject) {
    if (frames_.size() >= kMaxDepth)
      throw TaskFileError(file_ + ": " + Named(Path(frames_.size())) + ": nested deeper than " +
                          std::to_string(kMaxDepth) + " levels");
    Frame frame;
    frame.isObject = isObject;
    Json empty = isObject ? Json::object() : Json::array();
    if (frames_.empty()) {
      root_ = std::move(empty);
      frame.json = &root_;
    } else {
      Frame& parent = frames_.back();
      if (parent.mode == Mode::kDocument && AtValuePosition()) {
        frame.mode = Mode::kValue;
        frame.slot = values_.size();
        values_.emplace_back();
        Place(parent, Json::binary(Json::binary_t::container_type(), frame.slot));
      } else if (parent.mode == Mode::kValue) {
        frame.mode = Mode::kValue;
        frame.slot = parent.slot;
      } else {
        frame.mode = parent.mode;
        frame.slot = parent.slot;
        frame.json = Place(parent, std::move(empty));
      }
      if (frame.mode == Mode::kValue) {
        if (isObject)
          frame.dict.emplace();
        else
          frame.array.emplace();
      }
    }
    frames_.push_back(std::move(frame));
    return true;
  }

  bool End() {
    Frame& top = frames_.back();
    const size_t depth = frames_.size() - 1;
    // What the container makes when it is (part of) a prebuilt value.
    std::optional<QX_TAny> value;
    if (top.mode == Mode::kValue) {
      if (top.tagLike) {
        Defer(top.slot, Path(depth), TagLikeProblem(*top.dict));
        value.emplace();
      } else if (top.isObject) {
        value.emplace(std::make_unique<QX_TDict>(*top.dict));
      } else {
        value.emplace(std::make_unique<QX_TArray>(*top.array));
      }
    } else if (top.mode == Mode::kTaggedValue && top.ownJson) {
      value = Decode(*top.ownJson, top.slot, depth);
    }
    const size_t slot = top.slot;
    frames_.pop_back();
    if (value) Deliver(slot, std::move(*value));
    if (!frames_.empty() && !frames_.back().isObject) ++frames_.back().index;
    return true;
  }

  // Reads a tagged value as the reader does. Its key path is needed for a
  // problem only: building it for every value would cost more than reading
  // the value again, with the path, when there is one.
  QX_TAny Decode(const Json& json, size_t slot, size_t depth) {
    try {
      return DecodeValue(json, file_, std::string(), base_);
    } catch (const TaskFileError&) {
    }
    try {
      DecodeValue(json, file_, Path(depth), base_);
    } catch (const TaskFileError& e) {
      DeferLine(slot, e.what());
    }
    return QX_TAny();
  }

  // A plain object with a key beginning with '@' after its first: the reader
  // takes it for a tagged value with keys too many, and names the first
  // that doesn't belong.
  static std::string TagLikeProblem(const QX_TDict& dict) {
    const auto& items = dict.Items();
    bool hasArrayTag = false;
    for (const auto& item : items) hasArrayTag = hasArrayTag || item.first.Str() == "@array";
    const std::string& extra = hasArrayTag ? items[0].first.Str() : items[1].first.Str();
    return "a tagged value has exactly the keys of its tag; " + QuotedText(extra) + " is one too many";
  }

  // Puts `value` into the document container of `top`; returns where it went.
  static Json* Place(Frame& top, Json&& value) {
    if (top.isObject) {
      auto& members = top.json->get_ref<Json::object_t&>();
      members.emplace_back(top.key, std::move(value));  // keys are unique: checked in key()
      return &members.back().second;
    }
    auto& elements = top.json->get_ref<Json::array_t&>();
    elements.push_back(std::move(value));
    return &elements.back();
  }

  static void AddTo(Frame& top, QX_TAny&& value) {
    if (top.isObject)
      top.dict->Add(QX_TString(top.key), std::move(value));
    else
      top.array->Append(std::move(value));
  }

  // A finished value goes into the collection around it, or, at the top of
  // a prebuilt value, into its slot.
  void Deliver(size_t slot, QX_TAny&& value) {
    if (!frames_.empty() && frames_.back().mode == Mode::kValue)
      AddTo(frames_.back(), std::move(value));
    else
      values_[slot].value = std::move(value);
  }

  void Defer(size_t slot, const std::string& where, const std::string& problem) {
    DeferLine(slot, file_ + ": " + Named(where) + ": " + problem);
  }
  // Only the first problem of a value counts. The value is read on, in its
  // place an illegal value, so that its keys are still checked.
  void DeferLine(size_t slot, const std::string& line) {
    if (values_[slot].error.empty()) values_[slot].error = line;
  }

  // The key path of the container opened by frame `count` (the first
  // `count` frames name the way down to it).
  std::string Path(size_t count) const {
    std::string path;
    for (size_t i = 0; i < count && i < frames_.size(); ++i)
      path = frames_[i].isObject ? MemberPath(path, frames_[i].key) : ElementPath(path, frames_[i].index);
    return path;
  }
  static std::string Named(const std::string& path) { return path.empty() ? "(top level)" : path; }

  const std::string& text_;
  const std::string& file_;
  const std::string& base_;
  Json root_;
  std::vector<PrebuiltValue> values_;
  std::vector<Frame> frames_;
};

}  // namespace

ParsedTaskFile ParseTaskFileText(const std::string& text, const std::string& file, const std::string& baseFolder) {
  Builder builder(text, file, baseFolder);
  Json::sax_parse(text, &builder, nlohmann::detail::input_format_t::json, true, false);
  return builder.Take();
}

bool IsPrebuiltValue(const Json& json, size_t& index) {
  if (!json.is_binary() || !json.get_binary().has_subtype()) return false;
  index = static_cast<size_t>(json.get_binary().subtype());
  return true;
}

}  // namespace t2dhost
