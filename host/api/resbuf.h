// Result-buffer chains (group code and value items), entity names, and the
// utilities that build, free and print with them.
#ifndef HOST_API_RESBUF_H
#define HOST_API_RESBUF_H

#include "host/api/text.h"

typedef double ads_real;
typedef ads_real ads_point[3];
// An entity name: the host's short-lived name of a drawing object.
typedef Adesk::Int64 ads_name[2];

struct ads_binary {
  short clen;
  char* buf;
};

union ads_u_val {
  ads_real rreal;
  ads_real rpoint[3];
  short rint;
  ACHAR* rstring;
  Adesk::Int32 rlong;
  Adesk::Int64 mnInt64;
  ads_name rlname;
  ads_binary rbinary;
  unsigned char ihandle[8];
};

struct resbuf {
  resbuf* rbnext;
  short restype;
  ads_u_val resval;
};

// Result codes of the utility functions.
enum {
  RTNONE = 5000,  // ends an acutBuildList argument list
  RTNORM = 5100,
  RTERROR = -5001
};

// Builds a chain from (group code, value) pairs ended by RTNONE. Strings are
// passed as const ACHAR*, entity names as ads_name, points as ads_point,
// reals as double, 16-bit integers as int, 32-bit integers as Adesk::Int32,
// binary chunks (1004) as const ads_binary*.
// Returns null when the list is malformed or the host is out of memory.
SIMHOST_API resbuf* acutBuildList(int restype, ...);
// Frees a whole chain; every chain the host hands out must be freed so.
SIMHOST_API int acutRelRb(resbuf* chain);
// Writes to the command line; %s takes a const ACHAR*, %d an int, %% a '%'.
SIMHOST_API int acutPrintf(const ACHAR* format, ...);

#endif
