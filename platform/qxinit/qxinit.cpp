#include "qxinit.h"

#include <set>

namespace qxinit {

namespace {
std::vector<std::string>& CallLog() {
  static std::vector<std::string> calls;
  return calls;
}
std::set<std::string>& Failing() {
  static std::set<std::string> failing;
  return failing;
}
}  // namespace

bool Run(const char* library) {
  CallLog().emplace_back(library);
  return Failing().count(library) == 0;
}

void SetFailing(const std::string& library, bool failing) {
  if (failing)
    Failing().insert(library);
  else
    Failing().erase(library);
}

const std::vector<std::string>& Calls() { return CallLog(); }
void ClearCalls() { CallLog().clear(); }

}  // namespace qxinit
