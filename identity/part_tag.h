// Finding the part tag of a drawing object: the first application name in its
// xdata that begins with "$".
#ifndef IDENTITY_PART_TAG_H
#define IDENTITY_PART_TAG_H

#include "host/api/host_api.h"
#include "identity/wide_string.h"

// The object's part tag, whole and exactly as stored, or an empty string when
// it has none (or when the object is null). The object must be open for read
// or write; it is not changed.
AcWString partTagOf(const AcDbObject* object);

// True when the application name counts as a part tag.
bool isPartTag(const ACHAR* appName);

#endif
