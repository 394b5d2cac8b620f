// Ink entries: the key and value text of one selected ink.
#include "ticket2dict_msbasetask.h"

void CTicket2Dict_msbasetask::Ink2IniEntry(QX_TDict&, int, char*, char*, bool) {}
