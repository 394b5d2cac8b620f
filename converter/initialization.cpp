// The library's initialization function: the framework libraries the
// converter needs, in a fixed order, once.
#include "qxm_service.h"
#include "qxtypes.h"
#include "task.h"
#include "ticket.h"
#include "ticket2dict.h"
#include "ticket2dict_msbasetask.h"
#include "tname.h"

extern "C" bool __QX_INITIALIZATION_FUNCTION_Ticket2Dict_msbasetask__() {
  static bool initialized = false;
  if (initialized) return true;
  initialized = __QX_INITIALIZATION_FUNCTION_qxtypes__() && __QX_INITIALIZATION_FUNCTION_QXMWare__() &&
                __QX_INITIALIZATION_FUNCTION_Ticket__() && __QX_INITIALIZATION_FUNCTION_Ticket2Dict__() &&
                __QX_INITIALIZATION_FUNCTION_taskwrapper__() && __QX_INITIALIZATION_FUNCTION_templatenames__();
  return initialized;
}
