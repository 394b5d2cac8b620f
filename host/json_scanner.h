// The JSON text of a task file read in one pass, as events: the task-file
// reader's parser. Strict JSON (RFC 8259): one value, UTF-8 checked byte by
// byte, no comments, no trailing commas. Every event carries nothing the
// handler has to look up again: texts arrive unescaped, numbers as the kind
// they were written (an integer that fits 64 bits, or a number with a
// fraction or exponent), objects, arrays and keys with the byte offset
// where they begin, so that the reader can name where each key stands.
//
// A mistake raises JsonSyntaxError with the byte offset where it was found
// (the end of the text when the text stops short) and what was expected.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace t2dhost {

class JsonSyntaxError : public std::runtime_error {
 public:
  JsonSyntaxError(size_t offset, const std::string& problem) : std::runtime_error(problem), offset_(offset) {}
  size_t Offset() const { return offset_; }

 private:
  size_t offset_;
};

// What ScanJson calls, in the order the text holds them. A handler may
// raise an exception of its own to stop the scan.
class JsonEvents {
 public:
  virtual ~JsonEvents() = default;
  virtual void Null() = 0;
  virtual void Boolean(bool value) = 0;
  // A number without fraction or exponent that fits: negative ones as
  // Integer, the others as Unsigned. Any other number is a Float.
  virtual void Integer(int64_t value) = 0;
  virtual void Unsigned(uint64_t value) = 0;
  virtual void Float(double value) = 0;
  // `text` may be taken over.
  virtual void String(std::string& text) = 0;
  // `offset`: where the '{', the '[' or the key's opening quote stands.
  virtual void StartObject(size_t offset) = 0;
  virtual void Key(std::string& key, size_t offset) = 0;
  virtual void EndObject() = 0;
  virtual void StartArray(size_t offset) = 0;
  virtual void EndArray() = 0;
};

// Scans `text`, one JSON value with blank space around it, into `events`.
// Nesting deeper than `maxDepth` is a JsonSyntaxError too (a handler may
// refuse it earlier in its own words); the scan never recurses.
void ScanJson(std::string_view text, JsonEvents& events, size_t maxDepth = 10000);

}  // namespace t2dhost
