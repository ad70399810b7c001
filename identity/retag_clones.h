// Retagging a group of copies: the copies of one part become a part of their
// own under a new tag made from the first copy's handle.
#ifndef IDENTITY_RETAG_CLONES_H
#define IDENTITY_RETAG_CLONES_H

#include "host/api/host_api.h"

// ids are the clones of one group in the order they were gathered; oldTag is
// the part tag of their sources. The first clone (in that order) that opens
// for write, carries xdata under oldTag and whose handle does not spell
// oldTag itself names the new tag "$<handle>", which is registered in the
// working drawing. Every clone then moves its own xdata from oldTag to the
// new tag, all or nothing per clone, and the clones that now carry the new
// tag are written to the part record. Clones that cannot be opened or carry
// nothing under oldTag are left alone. A clone whose handle spells oldTag
// moves to the tag another clone made; when no other clone can make one, it
// keeps its data where it is, which is the tag it would get, and is recorded
// under it. Clones of another drawing than the working one are left
// alone too (the tag and the record can only be made in the working
// drawing); when elsewhere is given they are appended to it.
void retagClones(AcDbObjectIdArray ids, const ACHAR* oldTag,
                 AcDbObjectIdArray* elsewhere = NULL);

#endif
