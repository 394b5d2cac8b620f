// Global setup: device defaults, scales, resampling, copies and output file naming.
#include "ticket2dict_msbasetask.h"

void CTicket2Dict_msbasetask::AddSetupGlobal(AT_TTicket&, QX_TDict&, QX_TString&, int, int) {}
