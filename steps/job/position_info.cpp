// Placement: position, scale and margins.
#include "ticket2dict_msbasetask.h"

void CTicket2Dict_msbasetask::AddPositionInfo(AT_TTicket&, QX_TDict&, int) {}

void CTicket2Dict_msbasetask::AddPositionInfo_setButNoDistortion(AT_TTicket&, QX_TDict&, int) {}
