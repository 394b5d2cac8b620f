// printf-style formatting into a std::string, for the item writers' texts.
#pragma once

#include <cstdarg>
#include <string>

namespace t2d {

// Formats `format` with `args` as vsnprintf would in the "C" locale, into a
// string of any length. The conversions the converter's texts use (%s, %d,
// %i, %u, %zu, %lld, %.15g of a finite number, %%) are appended directly; a
// format with any other conversion is handed to vsnprintf whole, under the
// "C" numeric conventions for the calling thread only. Numbers are thus
// written with a '.' whatever the process's locale, which the converter
// never changes. Consumes `args`; throws std::runtime_error when vsnprintf
// fails.
std::string FormatText(const char* format, va_list args);

}  // namespace t2d
