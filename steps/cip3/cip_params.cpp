// CIP3 parameter files.
#include "ticket2dict_msbasetask.h"

void CTicket2Dict_msbasetask::DoCIPParams(AT_TTicket&, QX_TDict&) {}
