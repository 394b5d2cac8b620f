// The four item writers: every step writes its items through them.
#include "ticket2dict_msbasetask.h"

namespace {
bool IsEmpty(const char* value) { return value == nullptr || value[0] == '\0'; }

CUnivType ItemValue(const char* value) {
  CUnivType item;  // kind code 9, flags cleared
  item = value;
  return item;
}
}  // namespace

void CTicket2Dict_msbasetask::AddItemSetup(const char* key, const char* value, const char* comment) {
  if (IsEmpty(value)) return;
  SetValue("setup", key, ItemValue(value), comment);
}

void CTicket2Dict_msbasetask::AddItemJob(int jobNumber, const char* key, const char* value, const char* comment) {
  if (IsEmpty(value)) return;
  SetValue4Job(jobNumber, key, ItemValue(value), comment);
}

void CTicket2Dict_msbasetask::AddItemEnvironment(const char* key, const char* value, int) {
  if (IsEmpty(value)) return;
  SetValue("environment", key, ItemValue(value), nullptr);
}

void CTicket2Dict_msbasetask::AddItemTask(const char* key, const char* value) {
  if (IsEmpty(value)) return;
  SetValue("task", key, ItemValue(value), nullptr);
}
