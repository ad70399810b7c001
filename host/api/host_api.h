// Everything a plug-in sees of the host, in one include.
#ifndef HOST_API_HOST_API_H
#define HOST_API_HOST_API_H

#include "database.h"
#include "dictionary.h"
#include "editor.h"
#include "id_mapping.h"
#include "ids.h"
#include "resbuf.h"
#include "runtime.h"
#include "status.h"
#include "text.h"

#endif
