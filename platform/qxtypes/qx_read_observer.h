// Inside the value library: the read observer bound to the calling thread,
// read directly by the lookups (QX_TReadObserverBinding sets it). The
// library is loaded with the program, so its thread-local variable can use
// the initial-exec model: reading it is one load, which keeps a lookup in a
// collection from the task file as cheap as any other while no one listens.
#pragma once

#include "qx_origin.h"

#define QX_INITIAL_EXEC_TLS __attribute__((tls_model("initial-exec")))

extern thread_local QX_IReadObserver* qx_tReadObserver QX_INITIAL_EXEC_TLS;
