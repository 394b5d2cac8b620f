// Global job info: file type, pages, contents, screening, inks and ink selection.
#include "ticket2dict_msbasetask.h"

void CTicket2Dict_msbasetask::AddJobInfoGlobal(AT_TTicket&, QX_TDict&, int, int, QX_TArray&) {}
