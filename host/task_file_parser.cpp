#include "task_file_parser.h"

#include "json_scanner.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <type_traits>
#include <utility>

namespace t2dhost {

// The document keeps the index of a prebuilt value as the subtype of a
// binary placeholder: the subtype must hold any index.
static_assert(sizeof(Json::binary_t::subtype_type) >= sizeof(std::uint32_t),
              "nlohmann-json 3.10 or later is needed (its binary subtype holds the reader's value indices)");

namespace {

// Deeper nesting is refused before any recursive walk could exhaust the stack.
constexpr size_t kMaxDepth = 200;

// "FILE:LINE:COLUMN: " of byte `offset` of `text` (lines and columns count
// from 1; the column in bytes).
std::string PlaceOf(const std::string& text, size_t offset, const std::string& file) {
  offset = std::min(offset, text.size());
  const size_t lineStart = offset == 0 ? std::string::npos : text.rfind('\n', offset - 1);
  const size_t line = 1 + static_cast<size_t>(std::count(text.begin(), text.begin() + static_cast<long>(offset), '\n'));
  const size_t column = offset - (lineStart == std::string::npos ? 0 : lineStart + 1) + 1;
  return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": ";
}

// A raw NUL byte would end the text where a C text is read: refused, named
// by its line and column.
void RefuseNulByte(const std::string& text, const std::string& file) {
  const size_t at = text.find('\0');
  if (at == std::string::npos) return;
  throw TaskFileError(PlaceOf(text, at, file) + "not valid JSON: a NUL character");
}

std::string Named(const std::string& path) { return path.empty() ? "(top level)" : path; }

// What a tagged value ({"@int32": 5}, {"@array": [...], "@lower": 1}, ...)
// received while it was parsed: its keys in order, and for each the scalar
// written there or the value built from the container written there.
struct TagParts {
  struct Part {
    Json scalar;                 // a scalar written as the tag's value
    std::optional<QX_TAny> built;  // a container written as the tag's value
    const char* kind = "";
  };
  std::vector<std::string> keys;
  std::vector<Part> parts;

  const Part* Find(const char* key) const {
    for (size_t i = 0; i < keys.size(); ++i)
      if (keys[i] == key) return &parts[i];
    return nullptr;
  }
};

class Builder final : public JsonEvents {
 public:
  // `valuePath`: parse one typed value standing there (ParseValueText);
  // without it, a whole task file.
  Builder(const std::string& text, const std::string& file, const std::string& baseFolder,
          const std::string* valuePath = nullptr)
      : text_(text), file_(file), base_(baseFolder), valuePath_(valuePath), origins_(std::make_shared<QX_TOrigins>()) {}

  ParsedTaskFile Take() { return ParsedTaskFile{std::move(root_), std::move(values_), std::move(positions_)}; }

  // Note where each key and each object or array element stands.
  void NotePositions() { notePositions_ = true; }

  void Null() override {
    if (InValue()) {
      Frame& top = frames_.back();
      // A tag reads its own null ({"@illegal": null}); anywhere else in a
      // value null is no value.
      if (top.mode != Mode::kTag)
        HoldProblem(top, Path(frames_.size()), "null is not a value here; write {\"@illegal\": null} for the illegal value");
      Add(QX_TAny(), Json(nullptr));
      return;
    }
    if (valuePath_ != nullptr && frames_.empty()) {
      PrebuiltValue value;
      value.error = file_ + ": " + Named(*valuePath_) +
                    ": null is not a value here; write {\"@illegal\": null} for the illegal value";
      value.kind = "null";
      values_.push_back(std::move(value));
      return;
    }
    // In the document null means absent; the reader decides.
    PlaceScalar(Json(nullptr));
  }
  void Boolean(bool value) override { Scalar(Json(value), [value] { return QX_TAny(value); }); }
  void Integer(int64_t value) override {
    Scalar(Json(value), [value] { return IntegerValue(value); });
  }
  void Unsigned(uint64_t value) override {
    Scalar(Json(value), [value] {
      return value <= INT32_MAX ? IntegerValue(static_cast<int64_t>(value)) : Double(static_cast<double>(value));
    });
  }
  void Float(double value) override {
    Scalar(Json(value), [value] { return Double(value); });
  }
  void String(std::string& value) override {
    if (value.find('\0') != std::string::npos)
      throw TaskFileError(file_ + ": " + Named(Path(frames_.size())) +
                          ": a text can't hold a NUL character (it would end the text where it is read)");
    // Inside a collection of a value the text goes straight into a
    // QX_TString; a tag and the document keep it as JSON.
    if (InValue() && frames_.back().mode == Mode::kValue) {
      AddTo(frames_.back(), QX_TAny(std::make_unique<QX_TString>(std::move(value))));
      return;
    }
    Scalar(Json(std::move(value)), [this] {
      return QX_TAny(std::make_unique<QX_TString>(std::move(lastText_)));
    });
  }

  void StartObject(size_t offset) override { Start(true, offset); }
  void StartArray(size_t offset) override { Start(false, offset); }
  void EndObject() override { End(); }
  void EndArray() override { End(); }

  void Key(std::string& key, size_t offset) override {
    Frame& top = frames_.back();
    if (key.find('\0') != std::string::npos)
      throw TaskFileError(file_ + ": " + MemberPath(Path(frames_.size() - 1), key) +
                          ": a key can't hold a NUL character (it would end the key where it is read)");
    bool duplicate = false;
    switch (top.mode) {
      case Mode::kDocument: duplicate = !top.keys.insert(key).second; break;
      case Mode::kValue: duplicate = top.entries->HasKey(key.c_str()); break;  // no NUL in it: refused above
      case Mode::kTag:
        duplicate = std::find(top.tag.keys.begin(), top.tag.keys.end(), key) != top.tag.keys.end();
        break;
    }
    if (duplicate)
      throw TaskFileError(file_ + ": " + MemberPath(Path(frames_.size() - 1), key) + ": the key " + QuotedText(key) +
                          " appears twice in one object");
    if (top.mode == Mode::kValue && !top.literalKeys && !key.empty() && key[0] == '@') {
      if (top.entries->Entries() == 0)
        top.mode = Mode::kTag;  // a tagged value: read by its tag when it ends
      else
        top.tagLike = true;
    }
    if (top.mode == Mode::kTag) top.tag.keys.push_back(key);
    if (notePositions_ && top.mode != Mode::kTag) Note(MemberPath(Path(frames_.size() - 1), key), offset);
    top.key = std::move(key);
  }

 private:
  // kDocument: part of the file's structure, kept as JSON. kValue: a
  // dictionary, tree or array of a typed value, built as the value library's
  // type. kTag: a tagged value, read by its tag when it ends.
  enum class Mode { kDocument, kValue, kTag };

  struct Frame {
    bool isObject = false;
    Mode mode = Mode::kDocument;
    std::string key;   // objects: the member being read
    size_t index = 0;  // arrays: the element being read
    // kDocument: the container being built and its keys so far.
    Json* json = nullptr;
    std::set<std::string> keys;
    // kValue, kTag: the prebuilt value it belongs to, whether plain objects
    // in it are trees (the CFS tree), and the first problem found in it,
    // held until it ends (its own problems come first).
    size_t slot = 0;
    bool trees = false;
    std::string problem;
    // kValue: the collection being built and where it stands in the file.
    std::unique_ptr<QX_TKeyedCollection> entries;
    std::unique_ptr<QX_TArray> items;
    const QX_TOrigin* origin = nullptr;  // a place of origins_
    bool literalKeys = false;  // the entries of {"@dict": ...} or {"@tree": ...}: no tags
    bool tagLike = false;      // a key after the first begins with '@'
    // kTag
    TagParts tag;
  };

  static QX_TAny IntegerValue(int64_t value) {
    if (value >= INT32_MIN && value <= INT32_MAX)
      return QX_TAny(std::make_unique<QX_TInt32>(static_cast<int32_t>(value)));
    return Double(static_cast<double>(value));
  }
  static QX_TAny Double(double value) { return QX_TAny(std::make_unique<QX_TDouble>(value)); }

  bool InValue() const { return !frames_.empty() && frames_.back().mode != Mode::kDocument; }

  // Whether a value opened or written now, in the document, is a typed value:
  // a member the converter or a service is handed.
  bool AtValue() const { return valuePath_ != nullptr ? frames_.empty() : ValuePosition(nullptr); }

  bool ValuePosition(bool* trees) const {
    const size_t depth = frames_.size();
    for (const Frame& frame : frames_)
      if (frame.mode != Mode::kDocument) return false;
    auto member = [this](size_t i, const char* key) { return frames_[i].isObject && frames_[i].key == key; };
    auto object = [this](size_t i) { return frames_[i].isObject; };
    switch (depth) {
      case 2:
        return (member(0, "ticket") && (member(1, "configuration") || member(1, "work"))) ||
               (member(0, "setup") && (member(1, "masterDictionary") || member(1, "jobs")));
      case 3:
        return (member(0, "jobs") && !frames_[1].isObject && member(2, "jobArray")) ||
               (member(0, "task") && member(1, "templateNames"));
      case 4:
        if (!member(0, "servers") || !object(1)) return false;
        if (member(2, "CFS") && member(3, "tree")) {
          if (trees != nullptr) *trees = true;
          return true;
        }
        return member(2, "IPLServer") && member(3, "dataFolder");
      case 5:
        return member(0, "servers") && object(1) &&
               ((member(2, "CFS") && (member(3, "roots") || member(3, "expand"))) ||
                (member(2, "ElemServer") && (member(3, "jobs") || member(3, "ij")))) &&
               object(4);
      case 6:
        return member(0, "servers") && object(1) && member(2, "QXCMS") && member(3, "answers") && object(4) &&
               object(5);
      default: return false;
    }
  }

  // A new prebuilt value; the document gets its placeholder.
  size_t NewSlot(const char* kind) {
    const size_t slot = values_.size();
    PrebuiltValue value;
    value.kind = kind;
    values_.push_back(std::move(value));
    if (valuePath_ == nullptr) Place(Json::binary(Json::binary_t::container_type(), slot));
    return slot;
  }

  // A scalar: into the collection or tag of the value being built, as a
  // prebuilt value where the document holds a typed value, or into the
  // document.
  template <class MakeValue>
  bool Scalar(Json json, MakeValue makeValue) {
    if (InValue()) {
      if (frames_.back().mode == Mode::kTag) return Add(QX_TAny(), std::move(json));
      return Add(makeValue(), Json());
    }
    if (AtValue()) {
      const size_t slot = NewSlot(KindOf(json));
      if (json.is_string()) lastText_ = std::move(json.get_ref<std::string&>());
      values_[slot].value = makeValue();
      AdvanceDocumentArray();
      return true;
    }
    return PlaceScalar(std::move(json));
  }

  bool PlaceScalar(Json&& json) {
    Place(std::move(json));
    AdvanceDocumentArray();
    return true;
  }

  // The element being read of a document array moves on once an element is
  // complete.
  void AdvanceDocumentArray() {
    if (!frames_.empty() && !frames_.back().isObject) ++frames_.back().index;
  }

  // A scalar inside a typed value: into the collection, or as the part of
  // a tagged value (which keeps the JSON to read it by its tag).
  bool Add(QX_TAny&& value, Json&& json) {
    Frame& top = frames_.back();
    if (top.mode == Mode::kTag) {
      TagParts::Part part;
      part.kind = KindOf(json);
      part.scalar = std::move(json);
      top.tag.parts.push_back(std::move(part));
      return true;
    }
    AddTo(top, std::move(value));
    return true;
  }

  static void AddTo(Frame& top, QX_TAny&& value) {
    if (top.isObject)
      top.entries->Add(QX_TString(top.key), std::move(value));
    else
      top.items->Append(std::move(value));
    if (!top.isObject) ++top.index;
  }

  void Place(Json&& value) {
    if (frames_.empty()) {
      root_ = std::move(value);
      return;
    }
    Frame& top = frames_.back();
    if (top.isObject)
      top.json->get_ref<Json::object_t&>().emplace_back(top.key, std::move(value));  // keys are unique: see key()
    else
      top.json->get_ref<Json::array_t&>().push_back(std::move(value));
  }

  Json* LastPlaced() {
    Frame& top = frames_.back();
    if (top.isObject) return &top.json->get_ref<Json::object_t&>().back().second;
    return &top.json->get_ref<Json::array_t&>().back();
  }

  // Where the value opened now stands: the parent's origin and its member
  // or element; the contents of a tagged value stand where the tagged value
  // stands.
  const QX_TOrigin* ChildOrigin() {
    const Frame& parent = frames_.back();
    if (parent.mode == Mode::kTag) return parent.origin;
    if (parent.isObject) return origins_->Member(parent.origin, parent.key);
    return origins_->Element(parent.origin, parent.index);
  }

  bool Start(bool isObject, size_t offset) {
    if (frames_.size() >= kMaxDepth)
      throw TaskFileError(file_ + ": " + Named(Path(frames_.size())) + ": nested deeper than " +
                          std::to_string(kMaxDepth) + " levels");
    if (notePositions_ && !frames_.empty() && !frames_.back().isObject && frames_.back().mode != Mode::kTag)
      Note(Path(frames_.size()), offset);
    Frame frame;
    frame.isObject = isObject;
    bool trees = false;
    if (InValue()) {
      Frame& parent = frames_.back();
      frame.mode = Mode::kValue;
      frame.slot = parent.slot;
      frame.trees = parent.trees;
      frame.origin = ChildOrigin();
      frame.literalKeys = parent.mode == Mode::kTag;
      if (parent.mode == Mode::kTag) {
        // The container written as a tag's value: {"@tree": {...}} builds a
        // tree, {"@dict": {...}} a dictionary; the others are read to name
        // their kind.
        const std::string& tag = parent.tag.keys.back();
        if (isObject) frame.entries = NewEntries(tag == "@tree" || (tag != "@dict" && frame.trees));
      } else if (isObject) {
        frame.entries = NewEntries(frame.trees);
      }
    } else if ((frames_.empty() && valuePath_ != nullptr) || (!frames_.empty() && ValuePosition(&trees))) {
      frame.mode = Mode::kValue;
      frame.trees = trees;
      frame.slot = NewSlot(isObject ? "an object" : "an array");
      frame.origin = origins_->At(valuePath_ != nullptr ? *valuePath_ : Path(frames_.size()));
      if (isObject) frame.entries = NewEntries(trees);
    } else {
      Place(isObject ? Json::object() : Json::array());
      frame.json = frames_.empty() ? &root_ : LastPlaced();
    }
    if (frame.mode == Mode::kValue && !isObject) frame.items = std::make_unique<QX_TArray>();
    frames_.push_back(std::move(frame));
    return true;
  }

  static std::unique_ptr<QX_TKeyedCollection> NewEntries(bool tree) {
    if (tree) return std::make_unique<QX_TTree>();
    return std::make_unique<QX_TDict>();
  }

  bool End() {
    const size_t depth = frames_.size() - 1;
    Frame top = std::move(frames_.back());
    frames_.pop_back();
    if (top.mode == Mode::kDocument) {
      AdvanceDocumentArray();
      return true;
    }

    // The value this container makes, and the first problem in it: its own
    // problem comes before the problems of what it holds.
    QX_TAny value;
    std::string problem;
    if (top.mode == Mode::kTag) {
      problem = ReadTag(top, value);
    } else if (top.tagLike) {
      problem = TagLikeProblem(*top.entries);
    } else if (top.isObject) {
      top.entries->SetOrigin(origins_, top.origin);
      top.entries->Compact();  // complete: a big master keeps no room for more
      value = QX_TAny(std::unique_ptr<QX_TObject>(std::move(top.entries)));
    } else {
      top.items->SetOrigin(origins_, top.origin);
      top.items->Compact();
      value = QX_TAny(std::unique_ptr<QX_TObject>(std::move(top.items)));
    }
    std::string line = problem.empty() ? std::move(top.problem) : file_ + ": " + Named(Path(depth)) + ": " + problem;
    if (!line.empty()) value = QX_TAny();  // in its place the illegal value; its keys are still checked

    if (!frames_.empty() && frames_.back().mode != Mode::kDocument) {
      Frame& parent = frames_.back();
      if (!line.empty() && parent.problem.empty()) parent.problem = std::move(line);
      if (parent.mode == Mode::kTag) {
        TagParts::Part part;
        part.kind = top.isObject ? "an object" : "an array";
        part.built = std::move(value);
        parent.tag.parts.push_back(std::move(part));
      } else {
        AddTo(parent, std::move(value));
      }
      return true;
    }
    PrebuiltValue& slot = values_[top.slot];
    slot.value = std::move(value);
    if (slot.error.empty()) slot.error = std::move(line);
    AdvanceDocumentArray();
    return true;
  }

  void HoldProblem(Frame& frame, const std::string& where, const std::string& problem) {
    if (frame.problem.empty()) frame.problem = file_ + ": " + Named(where) + ": " + problem;
  }

  // A plain object with a key beginning with '@' after its first is taken
  // for a tagged value with keys too many; the first that doesn't belong is
  // named.
  static std::string TagLikeProblem(const QX_TKeyedCollection& entries) {
    const auto& items = entries.Items();
    bool hasArrayTag = false;
    for (const auto& item : items) hasArrayTag = hasArrayTag || item.first.Str() == "@array";
    const std::string& extra = hasArrayTag ? items[0].first.Str() : items[1].first.Str();
    return "a tagged value has exactly the keys of its tag; " + QuotedText(extra) + " is one too many";
  }

  static std::string OneTooMany(const std::string& key) {
    return "a tagged value has exactly the keys of its tag; " + QuotedText(key) + " is one too many";
  }

  // An integer of a tag within [low, high]; "" and `out` set, or the problem.
  static std::string TagInteger(const TagParts::Part& part, const char* tag, int64_t low, int64_t high,
                                const char* range, int64_t& out) {
    const IntegerKind kind = part.built ? IntegerKind::kNotInteger : IntegerOf(part.scalar, out);
    if (kind == IntegerKind::kNotInteger)
      return std::string("{\"") + tag + "\": ...} needs an integer (a number without '.', 'e' or 'E'), not " +
             part.kind;
    if (kind == IntegerKind::kHuge || out < low || out > high)
      return std::string("{\"") + tag + "\": " + part.scalar.dump() + "} is out of the " + range + " range";
    return std::string();
  }

  // Reads a tagged value by its tag into `value`; answers its problem, or "".
  std::string ReadTag(Frame& frame, QX_TAny& value) const {
    const TagParts& tag = frame.tag;
    if (tag.Find("@array") != nullptr) {
      for (const std::string& key : tag.keys)
        if (key != "@array" && key != "@lower") return OneTooMany(key);
      const TagParts::Part* lowerPart = tag.Find("@lower");
      if (lowerPart == nullptr) return "{\"@array\": [...]} needs \"@lower\" beside it";
      const TagParts::Part& items = *tag.Find("@array");
      const QX_TObject* built = items.built ? items.built->Object() : nullptr;
      if (built == nullptr || std::strcmp(built->ClassName(), QX_TArray::kClassName) != 0) {
        if (std::strcmp(items.kind, "an array") != 0) return std::string("\"@array\" needs an array, not ") + items.kind;
      }
      int64_t lower = 0;
      std::string problem = TagInteger(*lowerPart, "@lower", INT32_MIN, INT32_MAX, "32-bit signed", lower);
      if (!problem.empty()) return problem;
      if (built == nullptr) return std::string();  // a problem inside the items: held already
      const auto& elements = static_cast<const QX_TArray*>(built)->Items();
      if (!elements.empty() && lower + static_cast<int64_t>(elements.size()) - 1 > INT32_MAX)
        return "the array's upper bound leaves the 32-bit signed range";
      QX_TArray array(static_cast<int32_t>(lower));
      for (const QX_TAny& element : elements) array.Append(element);
      array.SetOrigin(origins_, frame.origin);
      value = array;
      return std::string();
    }
    if (tag.keys.size() != 1) return OneTooMany(tag.keys[1]);
    const std::string& name = tag.keys[0];
    const TagParts::Part& part = tag.parts[0];
    const bool scalar = !part.built.has_value();
    int64_t n = 0;
    if (name == "@int32" || name == "@uint32" || name == "@uint16") {
      std::string problem;
      if (name == "@int32") {
        problem = TagInteger(part, "@int32", INT32_MIN, INT32_MAX, "32-bit signed", n);
        if (problem.empty()) value = QX_TInt32(static_cast<int32_t>(n));
      } else if (name == "@uint32") {
        problem = TagInteger(part, "@uint32", 0, UINT32_MAX, "32-bit unsigned", n);
        if (problem.empty()) value = QX_TUInt32(static_cast<uint32_t>(n));
      } else {
        problem = TagInteger(part, "@uint16", 0, UINT16_MAX, "16-bit unsigned", n);
        if (problem.empty()) value = QX_TUInt16(static_cast<uint16_t>(n));
      }
      return problem;
    }
    if (name == "@double") {
      if (scalar && part.scalar.is_number()) {
        value = QX_TDouble(part.scalar.get<double>());
        return std::string();
      }
      if (scalar && part.scalar.is_string()) {
        const std::string& s = part.scalar.get_ref<const std::string&>();
        if (s == "nan") value = QX_TDouble(std::nan(""));
        if (s == "inf") value = QX_TDouble(HUGE_VAL);
        if (s == "-inf") value = QX_TDouble(-HUGE_VAL);
        if (!value.IsIllegal()) return std::string();
      }
      return std::string("{\"@double\": ...} needs a number, not ") + part.kind;
    }
    if (name == "@url" || name == "@userinfo") {
      if (!scalar || !part.scalar.is_string()) return "{\"" + name + "\": ...} needs a text, not " + part.kind;
      const std::string& text = part.scalar.get_ref<const std::string&>();
      if (name == "@userinfo") {
        value = QX_TUserInfo(QX_TString(text));
        return std::string();
      }
      try {
        value = UrlFromText(text, base_);
      } catch (const std::exception& e) {
        return e.what();
      }
      return std::string();
    }
    if (name == "@tree" || name == "@dict") {
      if (scalar || std::strcmp(part.kind, "an object") != 0)
        return "{\"" + name + "\": ...} needs an object, not " + part.kind;
      if (part.built->IsIllegal()) return std::string();  // a problem inside: held already
      auto* entries = dynamic_cast<QX_TKeyedCollection*>(const_cast<QX_TAny&>(*part.built).Object());
      if (entries != nullptr) entries->SetOrigin(origins_, frame.origin);
      value = *part.built;
      return std::string();
    }
    if (name == "@illegal") {
      if (!scalar || !part.scalar.is_null()) return std::string("{\"@illegal\": ...} takes null, not ") + part.kind;
      return std::string();
    }
    if (name == "@lower") return "\"@lower\" goes only beside \"@array\"";
    return "unknown tag " + QuotedText(name);
  }

  // The key path of the value opened by frame `count` (the first `count`
  // frames name the way down to it); a tagged value's contents stand where
  // the tagged value stands.
  std::string Path(size_t count) const {
    std::string path = valuePath_ != nullptr ? *valuePath_ : std::string();
    for (size_t i = 0; i < count && i < frames_.size(); ++i) {
      const Frame& frame = frames_[i];
      if (frame.mode == Mode::kTag) continue;
      path = frame.isObject ? MemberPath(path, frame.key) : ElementPath(path, frame.index);
    }
    return path;
  }

  // Offsets come in increasing order: lines are counted once.
  void Note(std::string path, size_t offset) {
    for (; counted_ < offset && counted_ < text_.size(); ++counted_)
      if (text_[counted_] == '\n') {
        ++line_;
        lineStart_ = counted_ + 1;
      }
    positions_.emplace(std::move(path), FilePosition{line_, offset - lineStart_ + 1});
  }

  const std::string& text_;
  const std::string& file_;
  const std::string& base_;
  bool notePositions_ = false;
  KeyPositions positions_;
  size_t counted_ = 0, line_ = 1, lineStart_ = 0;
  const std::string* valuePath_;
  Json root_;
  std::vector<PrebuiltValue> values_;
  std::vector<Frame> frames_;
  std::string lastText_;  // a text on its way into a prebuilt value
  // The places of the file's dictionaries, trees and arrays, kept alive by
  // the values built.
  std::shared_ptr<QX_TOrigins> origins_;
};

}  // namespace

IntegerKind IntegerOf(const Json& j, int64_t& value) {
  if (j.is_number_integer() && !j.is_number_unsigned()) {
    value = j.get<int64_t>();
    return IntegerKind::kInteger;
  }
  if (j.is_number_unsigned()) {
    const uint64_t u = j.get<uint64_t>();
    if (u > static_cast<uint64_t>(INT64_MAX)) return IntegerKind::kHuge;
    value = static_cast<int64_t>(u);
    return IntegerKind::kInteger;
  }
  return IntegerKind::kNotInteger;
}

const char* KindOf(const Json& j) {
  switch (j.type()) {
    case Json::value_t::null: return "null";
    case Json::value_t::boolean: return "true/false";
    case Json::value_t::string: return "a text";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned: return "an integer";
    case Json::value_t::number_float: return "a number with a fraction or exponent";
    case Json::value_t::array: return "an array";
    case Json::value_t::object: return "an object";
    default: return "an unsupported value";
  }
}

namespace {

// Scans `text` into `builder`; a mistake of the JSON is one line naming
// where it stands.
void Scan(const std::string& text, const std::string& file, Builder& builder) {
  RefuseNulByte(text, file);
  try {
    ScanJson(text, builder, kMaxDepth + 1);  // the builder names a nesting too deep first, by its key path
  } catch (const JsonSyntaxError& e) {
    throw TaskFileError(PlaceOf(text, e.Offset(), file) + "not valid JSON: " + e.what());
  }
}

}  // namespace

ParsedTaskFile ParseTaskFileText(const std::string& text, const std::string& file, const std::string& baseFolder,
                                 bool positions) {
  Builder builder(text, file, baseFolder);
  if (positions) builder.NotePositions();
  Scan(text, file, builder);
  return builder.Take();
}

PrebuiltValue ParseValueText(const std::string& text, const std::string& file, const std::string& where,
                             const std::string& baseFolder) {
  Builder builder(text, file, baseFolder, &where);
  Scan(text, file, builder);
  ParsedTaskFile parsed = builder.Take();
  return std::move(parsed.values.at(0));
}

bool IsPrebuiltValue(const Json& json, size_t& index) {
  if (!json.is_binary() || !json.get_binary().has_subtype()) return false;
  index = static_cast<size_t>(json.get_binary().subtype());
  return true;
}

}  // namespace t2dhost
