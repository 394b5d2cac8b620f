#include "localname2unc.h"

// Filled in by the host program's work.
int LocalName2UNCW(const wchar_t*, wchar_t*, size_t) { return 0; }
void LocalName2UNC_SetShares(const std::vector<std::pair<std::string, std::string>>&) {}
