// The part tag is read from the host's own xdata order, so that when an object
// carries two tags the one the host lists first wins, consistently for every
// caller.
#include "identity/part_tag.h"

bool isPartTag(const ACHAR* appName) {
  return appName != NULL && appName[0] == ACRX_T('$');
}

AcWString partTagOf(const AcDbObject* object) {
  AcWString tag;
  if (object == NULL) return tag;
  resbuf* chain = object->xData(NULL);
  for (const resbuf* item = chain; item != NULL; item = item->rbnext) {
    if (item->restype != 1001) continue;
    if (isPartTag(item->resval.rstring)) {
      tag = item->resval.rstring;
      break;
    }
  }
  if (chain != NULL) acutRelRb(chain);
  return tag;
}
