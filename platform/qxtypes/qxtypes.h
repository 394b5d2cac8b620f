// The value library: every class the converter reads the ticket through.
#pragma once

#include "qx_any.h"
#include "qx_array.h"
#include "qx_exception.h"
#include "qx_keyed.h"
#include "qx_lookup.h"
#include "qx_object.h"
#include "qx_observation.h"
#include "qx_origin.h"
#include "qx_scalars.h"
#include "qx_string.h"
#include "qx_url.h"

extern "C" bool __QX_INITIALIZATION_FUNCTION_qxtypes__();
