// Setup begin: configuration and output location.
#include "ticket2dict_msbasetask.h"

void CTicket2Dict_msbasetask::AddSetup_begin(AT_TTicket&, QX_TDict&, int) {}
