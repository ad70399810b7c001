// Retagging a group of copies: the copies of one part become a part of their
// own under a new tag made from the first copy's handle.
#ifndef IDENTITY_RETAG_CLONES_H
#define IDENTITY_RETAG_CLONES_H

#include "host/api/host_api.h"

// ids are the clones of one group in the order they were gathered; oldTag is
// the part tag of their sources. The new part's tag is a name the working
// drawing did not know: each clone in turn that opens for write, lies in the
// working drawing and carries xdata under oldTag offers "$<handle>", and
// acdbRegApp decides; the first name it registers is the new tag. Every such
// clone then moves its own xdata from oldTag to the new tag, all or nothing
// per clone, and the clones that now carry it are written to the part
// record. When no clone can name a new part, the copies stay in their
// source's part and nothing is written. Clones that cannot be opened or
// carry nothing under oldTag are left alone; so are clones of another
// drawing than the working one (the tag and the record can only be made in
// the working drawing), which are appended to elsewhere when it is given.
void retagClones(AcDbObjectIdArray ids, const ACHAR* oldTag,
                 AcDbObjectIdArray* elsewhere = NULL);

#endif
