// The task file's JSON scanner against nlohmann-json's parser on the same
// bytes: both must accept the same texts (strict JSON) and hear the same
// events in the same order, texts unescaped to the same bytes and numbers of
// the same kind and value. Any difference is a fault of the scanner. (Texts
// with a NUL byte are only scanned: see below.)
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <nlohmann/json.hpp>

#include "json_scanner.h"

namespace {

// Every event as a token: what both parsers heard must be equal as text.
void Number(std::string& out, char kind, const void* bits, size_t size) {
  out += kind;
  const auto* bytes = static_cast<const unsigned char*>(bits);
  static const char kHex[] = "0123456789abcdef";
  for (size_t i = 0; i < size; ++i) {
    out += kHex[bytes[i] >> 4];
    out += kHex[bytes[i] & 15];
  }
  out += ';';
}

void Text(std::string& out, char kind, const std::string& text) {
  out += kind;
  out += std::to_string(text.size());
  out += ':';
  out += text;
}

class Ours final : public t2dhost::JsonEvents {
 public:
  std::string heard;
  void Null() override { heard += 'N'; }
  void Boolean(bool value) override { heard += value ? 'T' : 'F'; }
  void Integer(int64_t value) override { Number(heard, 'I', &value, sizeof value); }
  void Unsigned(uint64_t value) override { Number(heard, 'U', &value, sizeof value); }
  void Float(double value) override { Number(heard, 'D', &value, sizeof value); }
  void String(std::string& text) override { Text(heard, 'S', text); }
  void StartObject(size_t) override { heard += '{'; }
  void Key(std::string& key, size_t) override { Text(heard, 'K', key); }
  void EndObject() override { heard += '}'; }
  void StartArray(size_t) override { heard += '['; }
  void EndArray() override { heard += ']'; }
};

class Theirs final : public nlohmann::json_sax<nlohmann::json> {
 public:
  std::string heard;
  bool null() override { return heard += 'N', true; }
  bool boolean(bool value) override { return heard += value ? 'T' : 'F', true; }
  bool number_integer(number_integer_t value) override {
    const int64_t v = value;
    Number(heard, 'I', &v, sizeof v);
    return true;
  }
  bool number_unsigned(number_unsigned_t value) override {
    const uint64_t v = value;
    Number(heard, 'U', &v, sizeof v);
    return true;
  }
  bool number_float(number_float_t value, const string_t&) override {
    const double v = value;
    Number(heard, 'D', &v, sizeof v);
    return true;
  }
  bool string(string_t& text) override { return Text(heard, 'S', text), true; }
  bool binary(binary_t&) override { return false; }
  bool start_object(std::size_t) override { return heard += '{', true; }
  bool key(string_t& key) override { return Text(heard, 'K', key), true; }
  bool end_object() override { return heard += '}', true; }
  bool start_array(std::size_t) override { return heard += '[', true; }
  bool end_array() override { return heard += ']', true; }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  Ours ours;
  bool oursAccepted = true;
  try {
    t2dhost::ScanJson(text, ours, size + 1);  // no depth limit here: nlohmann's SAX parser has none
  } catch (const t2dhost::JsonSyntaxError& e) {
    oursAccepted = false;
    if (e.Offset() > size) {
      std::fprintf(stderr, "an error beyond the end of the text: offset %zu of %zu\n", e.Offset(), size);
      std::abort();
    }
  }
  // nlohmann-json takes a NUL byte between tokens for the end of the text;
  // the task-file reader refuses a NUL byte before scanning. Such texts
  // are only scanned.
  if (text.find('\0') != std::string::npos) return 0;
  Theirs theirs;
  const bool theirsAccepted =
      nlohmann::json::sax_parse(text, &theirs, nlohmann::detail::input_format_t::json, true, false);
  if (oursAccepted != theirsAccepted) {
    std::fprintf(stderr, "the scanner %s what nlohmann-json %s\n", oursAccepted ? "accepts" : "refuses",
                 theirsAccepted ? "accepts" : "refuses");
    std::abort();
  }
  if (oursAccepted && ours.heard != theirs.heard) {
    std::fprintf(stderr, "different events:\n  ours:   %s\n  theirs: %s\n", ours.heard.c_str(), theirs.heard.c_str());
    std::abort();
  }
  return 0;
}
