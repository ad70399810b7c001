// The offset reactor: while OFFSET runs it takes the part tag off every entity
// appended to the drawing it watches, so offset copies belong to no part.
#ifndef IDENTITY_OFFSET_REACTOR_H
#define IDENTITY_OFFSET_REACTOR_H

#include "host/api/host_api.h"

class AsdkDbReactor : public AcDbDatabaseReactor {
 public:
  AsdkDbReactor() : retired_(false), drawingClosed_(false) {}
  ~AsdkDbReactor() override;
  // Removes the first part tag of an appended entity; other applications'
  // xdata, a second tag and non-entities are left alone. The object stays
  // open: the host closes it. A retired reactor does nothing.
  void objectAppended(const AcDbDatabase* dwg, const AcDbObject* obj) override;
  // The drawing is closing: the reactor detaches itself (the host would
  // otherwise tear it off) and goes idle. Whoever holds it may then destroy
  // it without touching the drawing, which is gone.
  void goodbye(const AcDbDatabase* dwg) override;

  // For a reactor the host would not detach when its OFFSET ended: it stays
  // attached, but must not take tags off what later commands append.
  void retire() { retired_ = true; }
  void revive() { retired_ = false; }
  bool isRetired() const { return retired_; }
  bool isDrawingClosed() const { return drawingClosed_; }

 private:
  AsdkDbReactor(const AsdkDbReactor&);
  AsdkDbReactor& operator=(const AsdkDbReactor&);

  bool retired_;
  bool drawingClosed_;
};

#endif
