// Setup end: plate size and distortion.
#include "ticket2dict_msbasetask.h"

void CTicket2Dict_msbasetask::AddSetup_end(AT_TTicket&, QX_TDict&, int) {}
