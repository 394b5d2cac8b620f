// The library's initialization function: the framework libraries the
// converter needs, in a fixed order, once per process.
#include <mutex>

#include "qxm_service.h"
#include "qxtypes.h"
#include "task.h"
#include "ticket.h"
#include "ticket2dict.h"
#include "ticket2dict_msbasetask.h"
#include "tname.h"

extern "C" bool __QX_INITIALIZATION_FUNCTION_Ticket2Dict_msbasetask__() {
  // Whether the libraries are ready is a fact of the process, not of a
  // conversion. Callers on several threads are served one at a time: the
  // first runs the sequence, the others wait for its answer; after a failure
  // the next caller tries again.
  static std::mutex lock;
  static bool initialized = false;
  std::lock_guard<std::mutex> guard(lock);
  if (initialized) return true;
  initialized = __QX_INITIALIZATION_FUNCTION_qxtypes__() && __QX_INITIALIZATION_FUNCTION_QXMWare__() &&
                __QX_INITIALIZATION_FUNCTION_Ticket__() && __QX_INITIALIZATION_FUNCTION_Ticket2Dict__() &&
                __QX_INITIALIZATION_FUNCTION_taskwrapper__() && __QX_INITIALIZATION_FUNCTION_templatenames__();
  return initialized;
}
