// Writing a part record: the xrecord under a part tag in the drawing's part
// dictionary that lists the part's member objects.
#ifndef IDENTITY_PART_RECORD_H
#define IDENTITY_PART_RECORD_H

#include "host/api/host_api.h"

// The key of the part dictionary in the named-objects dictionary.
extern const ACHAR kPartDictionaryKey[];

// Makes sure drawing (the working drawing, which the caller has already
// asked the host for) holds a part record for tag. A new record lists the
// entity names of ids in order ("{MORVAT_PART", one soft pointer per member
// that has an entity name, "}"); an existing record is left as it is.
// Returns true when the record exists afterwards. On any host failure
// nothing is written, nothing is left open, one line naming the failed call
// goes to the command line, and the result is false. A null drawing is
// reported as the working drawing the host could not give. Should an
// allocation of the module's fail, nothing is written or left open either,
// and the exception goes on to the caller.
bool recordPart(AcDbDatabase* drawing, const ACHAR* tag, AcDbObjectIdArray ids);

#endif
