// Status codes that host operations return, and their texts.
#ifndef HOST_API_STATUS_H
#define HOST_API_STATUS_H

#include "host/api/text.h"

namespace Acad {
enum ErrorStatus {
  eOk = 0,
  eNullObjectId,
  eUnknownHandle,  // an id that names no object of any open drawing
  eWasErased,
  eNotOpenForWrite,
  eNotOpenForRead,
  eWasOpenForRead,
  eWasOpenForWrite,
  eWasNotOpen,
  eKeyNotFound,
  eNotThatKindOfClass,
  eRegappIdNotFound,  // xdata under an application that is not registered
  eInvalidInput,
  eXdataSizeExceeded,
  eOutOfMemory,
  eAlreadyInDb,
  eNotInDatabase,
  eNoDatabase,
  eInvalidAdsName,
  eDuplicateKey,
  eInvalidKey,
  eIllegalReplacement,
  eNotApplicable,
  eDatabaseClosed  // an id of a drawing that was closed: its object is gone
};
}  // namespace Acad

// The status's own name, e.g. "eKeyNotFound". Never null.
SIMHOST_API const ACHAR* acadErrorStatusText(Acad::ErrorStatus status);

#endif
