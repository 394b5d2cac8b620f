// Environment: shared resource locations.
#include "ticket2dict_msbasetask.h"

void CTicket2Dict_msbasetask::AddEnvironment2Dict(AT_TTicket&) {}
