// Everything a plug-in sees of the host, in one include.
#ifndef HOST_API_HOST_API_H
#define HOST_API_HOST_API_H

#include "host/api/database.h"
#include "host/api/dictionary.h"
#include "host/api/editor.h"
#include "host/api/id_mapping.h"
#include "host/api/ids.h"
#include "host/api/resbuf.h"
#include "host/api/runtime.h"
#include "host/api/status.h"
#include "host/api/text.h"

#endif
