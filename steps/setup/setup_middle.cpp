// Setup middle: raster options.
#include "ticket2dict_msbasetask.h"

void CTicket2Dict_msbasetask::AddSetup_middle(AT_TTicket&, QX_TDict&, int) {}
