#include "qxinit.h"

#include <mutex>
#include <set>

namespace qxinit {

namespace {

// The record is a fact of the process (each library starts once per
// process); it is kept under a lock so that initialization functions called
// on several threads record their calls safely.
struct Record {
  std::mutex lock;
  std::vector<std::string> calls;
  std::set<std::string> failing;
};

Record& TheRecord() {
  static Record record;
  return record;
}

}  // namespace

bool Run(const char* library) {
  Record& record = TheRecord();
  std::lock_guard<std::mutex> guard(record.lock);
  record.calls.emplace_back(library);
  return record.failing.count(library) == 0;
}

void SetFailing(const std::string& library, bool failing) {
  Record& record = TheRecord();
  std::lock_guard<std::mutex> guard(record.lock);
  if (failing)
    record.failing.insert(library);
  else
    record.failing.erase(library);
}

std::vector<std::string> Calls() {
  Record& record = TheRecord();
  std::lock_guard<std::mutex> guard(record.lock);
  return record.calls;
}

void ClearCalls() {
  Record& record = TheRecord();
  std::lock_guard<std::mutex> guard(record.lock);
  record.calls.clear();
}

}  // namespace qxinit
