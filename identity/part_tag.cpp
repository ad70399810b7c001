// The part tag is read from the host's own xdata order, so that when an object
// carries two tags the one the host lists first wins, consistently for every
// caller.
#include "identity/part_tag.h"

#include "identity/entry_guard.h"

bool isPartTag(const ACHAR* appName) {
  return appName != NULL && appName[0] == ACRX_T('$');
}

AcWString partTagOf(const AcDbObject* object) {
  AcWString tag;
  if (object == NULL) return tag;
  // Copying the tag allocates: the chain is freed however that ends.
  ChainFreedOnExit chain(object->xData(NULL));
  for (const resbuf* item = chain.get(); item != NULL; item = item->rbnext) {
    if (item->restype != 1001) continue;
    if (isPartTag(item->resval.rstring)) {
      tag = item->resval.rstring;
      break;
    }
  }
  return tag;
}
