#include "qx_string.h"

#include <algorithm>
#include <cstring>

#include "os_text.h"

const QX_TString QX_TString::sEmpty;

QX_TString::QX_TString(const char* text) : text_(text ? text : "") {}
QX_TString::QX_TString(const char* text, size_t length) : text_(text ? std::string(text, length) : std::string()) {}
QX_TString::QX_TString(const std::string& text) : text_(text) {}
QX_TString::QX_TString(std::string&& text) : text_(std::move(text)) {}
QX_TString::QX_TString(const wchar_t* text) : text_(text ? qxos::WideToUtf8(text) : std::string()) {}
QX_TString::QX_TString(const std::wstring& text) : text_(qxos::WideToUtf8(text)) {}

QX_TString& QX_TString::operator=(const char* text) {
  text_ = text ? text : "";
  return *this;
}

bool QX_TString::Equals(const QX_TObject& other) const {
  auto* s = dynamic_cast<const QX_TString*>(&other);
  return s != nullptr && s->text_ == text_;
}

std::wstring QX_TString::WideText() const { return qxos::Utf8ToWide(text_); }

long QX_TString::Find(char c, long from) const {
  if (from < 0) from = 0;
  if (static_cast<size_t>(from) >= text_.size()) return npos;
  auto pos = text_.find(c, static_cast<size_t>(from));
  return pos == std::string::npos ? npos : static_cast<long>(pos);
}

long QX_TString::Find(const char* text, long from) const {
  if (text == nullptr) return npos;
  if (from < 0) from = 0;
  if (static_cast<size_t>(from) > text_.size()) return npos;
  auto pos = text_.find(text, static_cast<size_t>(from));
  return pos == std::string::npos ? npos : static_cast<long>(pos);
}

long QX_TString::ReverseFind(char c) const {
  auto pos = text_.rfind(c);
  return pos == std::string::npos ? npos : static_cast<long>(pos);
}

QX_TString QX_TString::Substring(long from, long count) const {
  if (from < 0) from = 0;
  if (count <= 0 || static_cast<size_t>(from) >= text_.size()) return QX_TString();
  return QX_TString(text_.substr(static_cast<size_t>(from), static_cast<size_t>(count)));
}

QX_TString& QX_TString::Replace(char what, char with) {
  std::replace(text_.begin(), text_.end(), what, with);
  return *this;
}

QX_TString& QX_TString::Replace(const char* what, const char* with) {
  if (what == nullptr || *what == '\0') return *this;
  const std::string from(what), to(with ? with : "");
  std::string out;
  size_t start = 0, pos;
  while ((pos = text_.find(from, start)) != std::string::npos) {
    out.append(text_, start, pos - start);
    out += to;
    start = pos + from.size();
  }
  out.append(text_, start, std::string::npos);
  text_ = std::move(out);
  return *this;
}

QX_TString& QX_TString::ToLower() {
  for (char& c : text_)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return *this;
}

int QX_TString::CompareWith(const QX_TString& other, bool ignoreCase) const {
  const size_t n = std::min(text_.size(), other.text_.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char a = static_cast<unsigned char>(text_[i]);
    unsigned char b = static_cast<unsigned char>(other.text_[i]);
    if (ignoreCase) {
      if (a >= 'A' && a <= 'Z') a = static_cast<unsigned char>(a - 'A' + 'a');
      if (b >= 'A' && b <= 'Z') b = static_cast<unsigned char>(b - 'A' + 'a');
    }
    if (a != b) return a < b ? -1 : 1;
  }
  if (text_.size() == other.text_.size()) return 0;
  return text_.size() < other.text_.size() ? -1 : 1;
}
