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

// The rule of a well-formed UTF-8 sequence (RFC 3629) that begins with
// `lead`: how many continuation bytes follow it (0 for a byte that begins
// none, ASCII included), and the range [low, high] the first of them must lie
// in; the others lie in 0x80..0xBF. It rules out overlong forms, surrogates
// and code points past U+10FFFF.
int Utf8SequenceLength(unsigned char lead, unsigned char& low, unsigned char& high);

// Appends the UTF-8 form of `c`; a code point that is not a Unicode scalar
// value becomes U+FFFD.
void AppendUtf8(std::string& out, char32_t c);

}  // namespace qxos
