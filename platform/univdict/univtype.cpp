#include "univtype.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <stdexcept>

#include "qxinit.h"

CUnivType& CUnivType::operator=(const char* text) {
  kind_ = kText;
  text_ = text ? text : "";
  return *this;
}

CUnivType& CUnivType::operator=(const std::string& text) { return *this = text.c_str(); }

CUnivType& CUnivType::operator=(int32_t value) {
  kind_ = kInteger;
  integer_ = value;
  text_.clear();
  return *this;
}

CUnivType::operator int() const {
  if (kind_ == kInteger) return integer_;
  if (kind_ == kText) {
    const char* begin = text_.c_str();
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(begin, &end, 10);
    while (end && (*end == ' ' || *end == '\t')) ++end;
    if (end != begin && end && *end == '\0' && errno == 0 && value >= INT_MIN && value <= INT_MAX &&
        text_.find_first_not_of(" \t") != std::string::npos)
      return static_cast<int>(value);
    throw std::invalid_argument("CUnivType: \"" + text_ + "\" is not a 32-bit integer");
  }
  throw std::invalid_argument("CUnivType: no value to read as an integer");
}

std::string CUnivType::Text() const {
  if (kind_ == kInteger) return std::to_string(integer_);
  return text_;
}

extern "C" bool __QX_INITIALIZATION_FUNCTION_univdict__() { return qxinit::Run("univdict"); }
