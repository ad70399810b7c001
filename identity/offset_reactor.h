// The offset reactor: while OFFSET runs it takes the part tag off every entity
// appended to the drawing it watches, so offset copies belong to no part.
#ifndef IDENTITY_OFFSET_REACTOR_H
#define IDENTITY_OFFSET_REACTOR_H

#include "host/api/host_api.h"

class AsdkDbReactor : public AcDbDatabaseReactor {
 public:
  // Where a reactor stands. Its holder moves it between serving and idle;
  // only the host's goodbye lets it go.
  enum State {
    // Attached, serving an OFFSET: strips what its drawing appends.
    kServing,
    // Still attached because the host would not detach it; strips nothing,
    // so later commands keep their part data, until it serves again or the
    // host lets go of it.
    kIdle,
    // Its drawing closed and it detached itself: the host calls it no more,
    // and the drawing must not be touched again. Its holder destroys it.
    kLetGo
  };

  AsdkDbReactor() : state_(kServing) {}
  ~AsdkDbReactor() override;
  // Removes the first part tag of an appended entity; other applications'
  // xdata, a second tag and non-entities are left alone. The object stays
  // open: the host closes it. Only a serving reactor does anything. An
  // allocation that fails leaves the entity as it was and is reported.
  void objectAppended(const AcDbDatabase* dwg, const AcDbObject* obj) override;
  // The drawing is closing: the reactor detaches itself (the host would
  // otherwise tear it off) and is let go.
  void goodbye(const AcDbDatabase* dwg) override;

  State state() const { return state_; }
  void serve() {
    if (state_ != kLetGo) state_ = kServing;
  }
  void idle() {
    if (state_ != kLetGo) state_ = kIdle;
  }

 private:
  AsdkDbReactor(const AsdkDbReactor&);
  AsdkDbReactor& operator=(const AsdkDbReactor&);

  State state_;
};

#endif
