#include "utf8fs.h"

#include <cstdlib>

// The process environment of this platform is UTF-8 already.
const char* getenv_utf8(const char* name) { return name ? std::getenv(name) : nullptr; }
