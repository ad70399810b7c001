// The offset reactor: while OFFSET runs it takes the part tag off every entity
// appended to the drawing it watches, so offset copies belong to no part.
#ifndef IDENTITY_OFFSET_REACTOR_H
#define IDENTITY_OFFSET_REACTOR_H

#include "host/api/host_api.h"

class AsdkDbReactor : public AcDbDatabaseReactor {
 public:
  AsdkDbReactor() {}
  virtual ~AsdkDbReactor();
  // Removes the first part tag of an appended entity; other applications'
  // xdata, a second tag and non-entities are left alone. The object stays
  // open: the host closes it.
  virtual void objectAppended(const AcDbDatabase* dwg, const AcDbObject* obj);

 private:
  AsdkDbReactor(const AsdkDbReactor&);
  AsdkDbReactor& operator=(const AsdkDbReactor&);
};

#endif
