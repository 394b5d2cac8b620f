// CUnivType: the value type of the converter base class's options and
// items. A default-constructed value has kind code 9 (no value) and a
// cleared flag byte; assigning a text or an integer gives it that value.
#pragma once

#include <cstdint>
#include <string>

class CUnivType {
 public:
  enum Kind : int { kText = 1, kInteger = 2, kNone = 9 };

  CUnivType() = default;
  CUnivType& operator=(const char* text);
  CUnivType& operator=(const std::string& text);
  CUnivType& operator=(int32_t value);

  Kind KindCode() const { return kind_; }
  unsigned char Flags() const { return flags_; }

  // The value as an integer: an integer as it is; a text that is a decimal
  // integer in the 32-bit range (surrounding blanks allowed). Raises a
  // std::invalid_argument naming the text for anything else, and for no value.
  operator int() const;  // NOLINT: the framework reads options this way

  // The value as text: a text as it is, an integer in "%d" form, "" for no value.
  std::string Text() const;

 private:
  Kind kind_ = kNone;
  unsigned char flags_ = 0;
  std::string text_;
  int32_t integer_ = 0;
};

extern "C" bool __QX_INITIALIZATION_FUNCTION_univdict__();
