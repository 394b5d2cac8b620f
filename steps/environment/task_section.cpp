// The "task" section: on which device the task runs, which task it is and
// for whom. It is the first step of SetupDict, so these items stay in the
// output even when a later setup step fails.
#include "ticket2dict_msbasetask.h"

void CTicket2Dict_msbasetask::AddTask2Dict(AT_TTicket& ticket) {
  AddItemTask("DeviceName", ticket.DeviceName().Text());
  AddItemTask("TaskID", ticket.TaskID().Text());
  AddItemTask("UserName", ticket.UserInfo().Name().Text());
}
