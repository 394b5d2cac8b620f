// Job info: file name, shrink and expand, scale and dot gain.
#include "ticket2dict_msbasetask.h"

void CTicket2Dict_msbasetask::AddJobInfo_noPreviews(AT_TTicket&, QX_TDict&, int) {}
