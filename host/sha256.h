// The SHA-256 digest of a byte string, as lower-case hexadecimal: how the
// result names a written file that is not text.
#pragma once

#include <string>

namespace t2dhost {

std::string Sha256Hex(const std::string& bytes);

}  // namespace t2dhost
