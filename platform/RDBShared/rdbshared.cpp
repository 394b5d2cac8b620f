#include "rdbshared.h"
