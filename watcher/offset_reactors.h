// The offset reactors a watcher holds: at most one per drawing, each attached
// to the drawing whose OFFSET made it.
#ifndef WATCHER_OFFSET_REACTORS_H
#define WATCHER_OFFSET_REACTORS_H

#include <cstddef>
#include <utility>
#include <vector>

#include "host/api/host_api.h"
#include "identity/offset_reactor.h"

class OffsetReactorHolding {
 public:
  OffsetReactorHolding() {}
  // Releases every reactor still held.
  ~OffsetReactorHolding();

  // Makes a reactor and attaches it to drawing, unless drawing already has
  // one (or is null).
  void attachTo(AcDbDatabase* drawing);
  // Detaches drawing's reactor and destroys it. A reactor the host will not
  // detach is kept, never destroyed while the host can still call it.
  void releaseFrom(AcDbDatabase* drawing);
  void releaseAll();

  // The reactor attached to drawing, or null.
  AsdkDbReactor* reactorOf(const AcDbDatabase* drawing) const;
  std::size_t count() const { return mHeld.size(); }

 private:
  OffsetReactorHolding(const OffsetReactorHolding&);
  OffsetReactorHolding& operator=(const OffsetReactorHolding&);

  typedef std::pair<AcDbDatabase*, AsdkDbReactor*> Held;
  std::vector<Held> mHeld;
};

#endif
