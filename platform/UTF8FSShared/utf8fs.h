// Environment access in UTF-8.
#pragma once

// The value of the environment variable `name` in UTF-8, or null when it is
// not set. The text stays valid until the environment changes.
const char* getenv_utf8(const char* name);
