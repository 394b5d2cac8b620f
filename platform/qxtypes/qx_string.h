// QX_TString: a UTF-8 text. Equality with a plain text is exact and
// case-sensitive; the ordering test is byte-wise "less than".
#pragma once

#include <string>

#include "qx_object.h"

class QX_TString : public QX_TObject {
  QX_DECLARE_CLASS(QX_TString)

 public:
  // Result of Find when nothing was found.
  static constexpr long npos = -1;
  static const QX_TString sEmpty;

  QX_TString() = default;
  QX_TString(const char* text);  // NOLINT: texts convert implicitly, as in the framework
  QX_TString(const char* text, size_t length);
  QX_TString(const std::string& text);  // NOLINT
  QX_TString(std::string&& text);       // NOLINT
  QX_TString(const wchar_t* text);      // NOLINT
  QX_TString(const std::wstring& text);  // NOLINT

  QX_TString& operator=(const char* text);

  // The text, terminated; valid until the string changes.
  const char* Text() const { return text_.c_str(); }
  const std::string& Str() const { return text_; }
  std::wstring WideText() const;

  long Length() const { return static_cast<long>(text_.size()); }
  bool IsEmpty() const { return text_.empty(); }

  // Position of the first occurrence at or after `from`, or npos.
  long Find(char c, long from = 0) const;
  long Find(const char* text, long from = 0) const;
  // Position of the last occurrence, or npos.
  long ReverseFind(char c) const;

  // Up to `count` characters from `from`; positions past the end give less.
  QX_TString Substring(long from, long count) const;

  // Replaces every occurrence; returns *this.
  QX_TString& Replace(char what, char with);
  QX_TString& Replace(const char* what, const char* with);

  // Lower-cases ASCII letters in place; returns *this.
  QX_TString& ToLower();

  // <0, 0, >0 as strcmp; with ignoreCase, ASCII letter case is ignored.
  int CompareWith(const QX_TString& other, bool ignoreCase) const;

  bool operator==(const QX_TString& other) const { return text_ == other.text_; }
  bool operator!=(const QX_TString& other) const { return text_ != other.text_; }
  bool operator==(const char* text) const { return text != nullptr && text_ == text; }
  bool operator!=(const char* text) const { return !(*this == text); }
  bool operator<(const QX_TString& other) const { return text_ < other.text_; }

 private:
  std::string text_;
};
