// Previews.
#include "ticket2dict_msbasetask.h"

void CTicket2Dict_msbasetask::AddJobInfo_previewsOnly(AT_TTicket&, QX_TDict&, int) {}
