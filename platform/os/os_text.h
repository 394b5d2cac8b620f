// Text conversions of the operating-system layer: wide texts are
// std::wstring, narrow texts UTF-8.
#pragma once

#include <string>

namespace qxos {

// UTF-8 to wide text. Invalid UTF-8 sequences become U+FFFD, so a conversion
// never fails and never reads past the input.
std::wstring Utf8ToWide(const std::string& text);

// Wide text to UTF-8. A wide character that is not a Unicode scalar value
// (a surrogate, or above U+10FFFF) becomes U+FFFD.
std::string WideToUtf8(const std::wstring& text);

// Appends the UTF-8 form of `c`; a code point that is not a Unicode scalar
// value becomes U+FFFD.
void AppendUtf8(std::string& out, char32_t c);

}  // namespace qxos
