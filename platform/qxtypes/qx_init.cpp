#include "qxinit.h"
#include "qxtypes.h"

extern "C" bool __QX_INITIALIZATION_FUNCTION_qxtypes__() { return qxinit::Run("qxtypes"); }
