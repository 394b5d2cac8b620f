#include "json_scanner.h"

#include "os_text.h"

#include <array>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>
#include <new>
#include <string>
#include <vector>

namespace t2dhost {
namespace {

// Bytes a text can't simply be copied over: the closing quote, an escape,
// control characters, and the lead bytes of UTF-8 sequences (checked).
constexpr std::array<bool, 256> kStopsText = [] {
  std::array<bool, 256> table{};
  for (size_t c = 0; c < table.size(); ++c) table[c] = c < 0x20 || c >= 0x80 || c == '"' || c == '\\';
  return table;
}();

bool IsBlank(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A byte as a message names it.
std::string ByteName(unsigned char c) {
  if (c >= 0x21 && c < 0x7f) return std::string("'") + static_cast<char>(c) + "'";
  static const char kHex[] = "0123456789ABCDEF";
  return std::string("the byte 0x") + kHex[c >> 4] + kHex[c & 15];
}

// The value of a number with a fraction or exponent, whatever the locale;
// out of range, what strtod makes of it in the "C" locale (infinity for an
// overflow, 0 or the nearest subnormal for an underflow).
double NumberValue(const char* first, const char* last) {
  double value = 0;
  const auto [end, ec] = std::from_chars(first, last, value);
  if (ec == std::errc() && end == last) return value;
  const std::string token(first, last);
  locale_t c = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
  if (c == static_cast<locale_t>(nullptr)) throw std::bad_alloc();
  value = strtod_l(token.c_str(), nullptr, c);
  freelocale(c);
  return value;
}

class Scanner {
 public:
  Scanner(std::string_view text, JsonEvents& events, size_t maxDepth)
      : begin_(text.data()), at_(text.data()), end_(text.data() + text.size()), events_(events), maxDepth_(maxDepth) {}

  void Scan() {
    for (;;) {
      // A container just opened with a first member or element to come
      // goes round again for it.
      if (Value()) continue;
      // After a value: the next member or element, or the end of its
      // container (and of the containers it closes).
      for (;;) {
        SkipBlank();
        if (open_.empty()) {
          if (at_ != end_) Fail(at_, "the text goes on after the value it holds");
          return;
        }
        const bool inObject = open_.back();
        const char close = inObject ? '}' : ']';
        if (at_ != end_ && *at_ == ',') {
          ++at_;
          if (inObject) MemberKey();
          break;
        }
        if (at_ == end_ || *at_ != close) Unexpected(inObject ? "',' or '}'" : "',' or ']'");
        Close(inObject);
      }
    }
  }

 private:
  [[noreturn]] void Fail(const char* where, const std::string& problem) {
    throw JsonSyntaxError(static_cast<size_t>(where - begin_), problem);
  }
  [[noreturn]] void FailAtEnd(const char* expected) {
    Fail(end_, std::string("the text ends where ") + expected + " should follow");
  }
  [[noreturn]] void Unexpected(const char* expected) {
    if (at_ == end_) FailAtEnd(expected);
    Fail(at_, std::string("expected ") + expected + ", not " + ByteName(static_cast<unsigned char>(*at_)));
  }

  void SkipBlank() {
    while (at_ != end_ && IsBlank(*at_)) ++at_;
  }

  // The '}' or ']' at at_ closes the innermost container.
  void Close(bool object) {
    ++at_;
    open_.pop_back();
    if (object)
      events_.EndObject();
    else
      events_.EndArray();
  }

  void Open(bool object) {
    if (open_.size() >= maxDepth_) Fail(at_, "nested deeper than " + std::to_string(maxDepth_) + " levels");
    open_.push_back(object);
  }

  // One value. A container is opened, and closed at once when empty;
  // answers whether it was opened with a first member (its key read) or
  // element to come.
  bool Value() {
    SkipBlank();
    if (at_ == end_) FailAtEnd("a value");
    const size_t offset = static_cast<size_t>(at_ - begin_);
    switch (*at_) {
      case '{':
      case '[': {
        const bool object = *at_ == '{';
        Open(object);
        if (object)
          events_.StartObject(offset);
        else
          events_.StartArray(offset);
        ++at_;
        SkipBlank();
        if (at_ != end_ && *at_ == (object ? '}' : ']')) {
          Close(object);
          return false;
        }
        if (object) MemberKey();
        return true;
      }
      case '"':
        Text();
        events_.String(text_);
        return false;
      case 't': Literal("true"); events_.Boolean(true); return false;
      case 'f': Literal("false"); events_.Boolean(false); return false;
      case 'n': Literal("null"); events_.Null(); return false;
      default:
        if (*at_ != '-' && !IsDigit(*at_)) Unexpected("a value");
        Number();
        return false;
    }
  }

  // The key of a member and its colon; the value follows.
  void MemberKey() {
    SkipBlank();
    if (at_ == end_ || *at_ != '"') Unexpected("a key in quotes");
    const size_t offset = static_cast<size_t>(at_ - begin_);
    Text();
    events_.Key(text_, offset);
    SkipBlank();
    if (at_ == end_ || *at_ != ':') Unexpected("':'");
    ++at_;
  }

  // true, false or null, spelt out whole.
  void Literal(const char* word) {
    for (const char* w = word; *w != '\0'; ++w, ++at_)
      if (at_ == end_ || *at_ != *w) {
        if (at_ == end_) Fail(end_, std::string("the text ends inside the literal ") + word);
        Fail(at_, std::string("expected the literal ") + word + ", not " + ByteName(static_cast<unsigned char>(*at_)));
      }
  }

  void Digits() {
    if (at_ == end_ || !IsDigit(*at_)) Unexpected("a digit");
    while (at_ != end_ && IsDigit(*at_)) ++at_;
  }

  void Number() {
    const char* start = at_;
    if (*at_ == '-') ++at_;
    if (at_ != end_ && *at_ == '0')
      ++at_;
    else
      Digits();
    bool integer = true;
    if (at_ != end_ && *at_ == '.') {
      ++at_;
      Digits();
      integer = false;
    }
    if (at_ != end_ && (*at_ == 'e' || *at_ == 'E')) {
      ++at_;
      if (at_ != end_ && (*at_ == '+' || *at_ == '-')) ++at_;
      Digits();
      integer = false;
    }
    if (integer) {
      // An integer that does not fit 64 bits is read as a number with a
      // fraction would be.
      if (*start == '-') {
        int64_t value = 0;
        if (std::from_chars(start, at_, value).ec == std::errc()) return events_.Integer(value);
      } else {
        uint64_t value = 0;
        if (std::from_chars(start, at_, value).ec == std::errc()) return events_.Unsigned(value);
      }
    }
    const double value = NumberValue(start, at_);
    if (!std::isfinite(value)) Fail(start, "number overflow parsing '" + std::string(start, at_) + "'");
    events_.Float(value);
  }

  // A text in quotes at at_, unescaped into text_.
  void Text() {
    text_.clear();
    ++at_;
    const char* run = at_;
    for (;;) {
      while (at_ != end_ && !kStopsText[static_cast<unsigned char>(*at_)]) ++at_;
      if (at_ == end_) Fail(end_, "the text ends inside a text in quotes");
      const auto c = static_cast<unsigned char>(*at_);
      if (c == '"') {
        text_.append(run, static_cast<size_t>(at_ - run));
        ++at_;
        return;
      }
      if (c == '\\') {
        text_.append(run, static_cast<size_t>(at_ - run));
        Escape();
        run = at_;
      } else if (c < 0x20) {
        Fail(at_, "a control character (" + ByteName(c) + ") in a text must be written as an escape");
      } else {
        Utf8Sequence();
      }
    }
  }

  // A UTF-8 sequence at at_ (its lead byte 0x80 or above), checked as
  // RFC 3629 has it: no overlong forms, no surrogates, nothing past U+10FFFF.
  void Utf8Sequence() {
    const auto lead = static_cast<unsigned char>(*at_);
    unsigned char low = 0x80, high = 0xBF;
    const int continuation = qxos::Utf8SequenceLength(lead, low, high);
    if (continuation == 0) Fail(at_, "invalid UTF-8: " + ByteName(lead) + " can't begin a character");
    ++at_;
    for (int i = 0; i < continuation; ++i, ++at_) {
      if (at_ == end_) Fail(end_, "the text ends inside a UTF-8 character");
      const auto c = static_cast<unsigned char>(*at_);
      if (c < low || c > high)
        Fail(at_, "invalid UTF-8: " + ByteName(c) + " can't continue the character begun before it");
      low = 0x80;
      high = 0xBF;
    }
  }

  unsigned HexQuad() {
    unsigned value = 0;
    for (int i = 0; i < 4; ++i, ++at_) {
      if (at_ == end_) Fail(end_, "the text ends inside a \\u escape");
      const char c = *at_;
      value <<= 4;
      if (c >= '0' && c <= '9')
        value |= static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f')
        value |= static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        value |= static_cast<unsigned>(c - 'A' + 10);
      else
        Fail(at_, "a \\u escape needs four hexadecimal digits, not " + ByteName(static_cast<unsigned char>(c)));
    }
    return value;
  }

  // The escape at at_ (its backslash), appended to text_.
  void Escape() {
    const char* backslash = at_;
    ++at_;
    if (at_ == end_) Fail(end_, "the text ends inside an escape");
    const char c = *at_++;
    switch (c) {
      case '"': text_ += '"'; return;
      case '\\': text_ += '\\'; return;
      case '/': text_ += '/'; return;
      case 'b': text_ += '\b'; return;
      case 'f': text_ += '\f'; return;
      case 'n': text_ += '\n'; return;
      case 'r': text_ += '\r'; return;
      case 't': text_ += '\t'; return;
      case 'u': break;
      default: Fail(at_ - 1, "unknown escape \\" + std::string(1, c) + " in a text");
    }
    char32_t code = HexQuad();
    if (code >= 0xDC00 && code <= 0xDFFF)
      Fail(backslash, "a \\u escape of a low surrogate must follow one of a high surrogate");
    if (code >= 0xD800 && code <= 0xDBFF) {
      if (end_ - at_ < 2 || at_[0] != '\\' || at_[1] != 'u')
        Fail(at_, "a \\u escape of a high surrogate must be followed by one of a low surrogate");
      at_ += 2;
      const unsigned low = HexQuad();
      if (low < 0xDC00 || low > 0xDFFF)
        Fail(at_ - 6, "a \\u escape of a high surrogate must be followed by one of a low surrogate");
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    qxos::AppendUtf8(text_, code);
  }

  const char* const begin_;
  const char* at_;
  const char* const end_;
  JsonEvents& events_;
  const size_t maxDepth_;
  std::vector<bool> open_;  // the containers open: true for an object
  std::string text_;        // the text or key being read
};

}  // namespace

void ScanJson(std::string_view text, JsonEvents& events, size_t maxDepth) {
  Scanner(text, events, maxDepth).Scan();
}

}  // namespace t2dhost
