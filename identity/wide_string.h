// The module's text type: a run of the host's characters, as the host's names
// and the part tags made from them are held between calls.
#ifndef IDENTITY_WIDE_STRING_H
#define IDENTITY_WIDE_STRING_H

#include <string>

#include "host/api/host_api.h"

typedef std::basic_string<ACHAR> AcWString;

#endif
