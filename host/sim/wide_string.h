// The simulated host's text type: a run of the host's characters. The module
// names the same type on its own side, so either may be built without the
// other's headers.
#ifndef HOST_SIM_WIDE_STRING_H
#define HOST_SIM_WIDE_STRING_H

#include <string>

#include "host/api/text.h"

typedef std::basic_string<ACHAR> AcWString;

#endif
