// Extra options: free-form overrides of setup and job items.
#include "ticket2dict_msbasetask.h"

void CTicket2Dict_msbasetask::AddExtraOptions(AT_TTicket&, QX_TDict&, int) {}
