#include "text_format.h"

#include <locale.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <system_error>

namespace t2d {

namespace {

template <class Number>
bool AppendNumber(std::string& out, Number value) {
  char digits[32];
  const std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, value);
  if (r.ec != std::errc()) return false;
  out.append(digits, r.ptr);
  return true;
}

// "%.15g": fifteen significant digits, trailing zeros dropped, the
// exponent form for exponents below -4 or from 15 on. std::to_chars in the
// general format with a precision writes exactly what printf writes.
bool AppendDouble15g(std::string& out, double value) {
  if (!std::isfinite(value)) return false;  // printf's spelling of these is left to printf
  char digits[40];
  const std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, 15);
  if (r.ec != std::errc()) return false;
  out.append(digits, r.ptr);
  return true;
}

// The "C" numeric conventions, set for the calling thread only while it
// lives (uselocale): the process's locale is never changed, and a
// conversion on another thread is not disturbed.
class CNumericLocale {
 public:
  CNumericLocale() {
    // Made once and never changed after; newlocale is safe on any thread.
    static const locale_t c = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
    if (c == static_cast<locale_t>(nullptr)) throw std::runtime_error("text formatting: the \"C\" locale is missing");
    previous_ = uselocale(c);
  }
  ~CNumericLocale() { uselocale(previous_); }
  CNumericLocale(const CNumericLocale&) = delete;
  CNumericLocale& operator=(const CNumericLocale&) = delete;

 private:
  locale_t previous_;
};

// The whole text through vsnprintf, with a '.' whatever the locale: a
// buffer on the stack first, since nearly every text fits; a longer one is
// formatted again at its length.
std::string ThroughPrintf(const char* format, va_list args) {
  const CNumericLocale numeric;
  char buffer[256];
  va_list first;
  va_copy(first, args);
  const int length = std::vsnprintf(buffer, sizeof buffer, format, first);
  va_end(first);
  if (length < 0) throw std::runtime_error(std::string("text formatting failed for \"") + format + "\"");
  if (static_cast<size_t>(length) < sizeof buffer) return std::string(buffer, static_cast<size_t>(length));
  std::string out(static_cast<size_t>(length) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), format, args);
  out.resize(static_cast<size_t>(length));
  return out;
}

}  // namespace

std::string FormatText(const char* format, va_list args) {
  va_list whole;
  va_copy(whole, args);
  std::string out;
  bool direct = true;
  const char* p = format;
  while (direct && *p != '\0') {
    const char* percent = std::strchr(p, '%');
    if (percent == nullptr) {
      out.append(p);
      break;
    }
    out.append(p, percent);
    const char* conversion = percent + 1;
    if (*conversion == '%') {
      out += '%';
      p = conversion + 1;
    } else if (*conversion == 's') {
      const char* text = va_arg(args, const char*);
      out.append(text != nullptr ? text : "(null)");
      p = conversion + 1;
    } else if (*conversion == 'd' || *conversion == 'i') {
      direct = AppendNumber(out, va_arg(args, int));
      p = conversion + 1;
    } else if (*conversion == 'u') {
      direct = AppendNumber(out, va_arg(args, unsigned));
      p = conversion + 1;
    } else if (std::strncmp(conversion, "zu", 2) == 0) {
      direct = AppendNumber(out, va_arg(args, size_t));
      p = conversion + 2;
    } else if (std::strncmp(conversion, "lld", 3) == 0) {
      direct = AppendNumber(out, va_arg(args, long long));
      p = conversion + 3;
    } else if (std::strncmp(conversion, ".15g", 4) == 0) {
      direct = AppendDouble15g(out, va_arg(args, double));
      p = conversion + 4;
    } else {
      direct = false;
    }
  }
  if (direct) {
    va_end(whole);
    return out;
  }
  try {
    out = ThroughPrintf(format, whole);
  } catch (...) {
    va_end(whole);
    throw;
  }
  va_end(whole);
  return out;
}

}  // namespace t2d
