#include "ticket.h"

#include "qxinit.h"

extern "C" bool __QX_INITIALIZATION_FUNCTION_Ticket__() { return qxinit::Run("Ticket"); }
