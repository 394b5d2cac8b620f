// Bookkeeping behind the platform libraries' initialization functions
// (__QX_INITIALIZATION_FUNCTION_<library>__). Each library's function records
// its call here and answers whether the library is ready. Tests use the same
// record to see the order of calls, and can make a library refuse to start.
#pragma once

#include <string>
#include <vector>

namespace qxinit {

// Records a call of `library`'s initialization function; answers false when
// the library was told to fail, true otherwise.
bool Run(const char* library);

// Makes `library`'s initialization function answer false (or true again).
void SetFailing(const std::string& library, bool failing);

// Libraries whose initialization function ran, in call order.
std::vector<std::string> Calls();
void ClearCalls();

}  // namespace qxinit
