// CIP3 options in the setup.
#include "ticket2dict_msbasetask.h"

void CTicket2Dict_msbasetask::AddCIPOptions2Dict(AT_TTicket&, QX_TArray&) {}
