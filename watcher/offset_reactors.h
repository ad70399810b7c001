// The offset reactors of the module: at most one per drawing, each attached
// to the drawing whose OFFSET made it, held in one place from the moment it
// is attached until the host has let go of it.
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
  // Makes no host call: by the time the module's statics go, the host has
  // had its chance to take every reactor back (see releaseAllForUnload).
  ~OffsetReactorHolding();

  // Makes a reactor and attaches it to drawing, unless drawing already has
  // one (or is null); one held idle there serves again instead. Either way
  // it is then the reactor attached most recently.
  void attachTo(AcDbDatabase* drawing);
  // An OFFSET ended, was cancelled or failed while working was current: the
  // reactor of working is detached and destroyed if it serves, otherwise
  // the one attached most recently that serves (the OFFSET may have ended in
  // another drawing than it began in). So no reactor outlives every OFFSET,
  // though a running OFFSET elsewhere may lose its own: it then strips
  // nothing, which is milder than stripping what later commands make. With
  // none serving, an idle one of working is offered to the host again. A
  // reactor the host will not detach goes idle, never destroyed while the
  // host can still call it.
  void releaseForEndedOffset(AcDbDatabase* working);
  // The drawing is closing: its reactor, serving or idle, is detached and
  // destroyed. One the host will not detach goes idle until its goodbye.
  void releaseClosing(AcDbDatabase* closing);
  // Watching stops: every reactor is offered to the host; those it will not
  // detach go idle and stay held.
  void releaseAll();
  // The module is unloading: every reactor is offered to the host once more.
  // True when none is left attached; those still attached keep their state.
  bool releaseAllForUnload();

  // The reactor attached to drawing, or null.
  AsdkDbReactor* reactorOf(const AcDbDatabase* drawing) const;
  std::size_t count() const { return held_.size(); }
  // Held reactor i and its drawing, the one attached most recently last.
  const AsdkDbReactor* reactorAt(std::size_t i) const {
    return held_[i].second;
  }
  const AcDbDatabase* drawingAt(std::size_t i) const { return held_[i].first; }

 private:
  // Destroys the reactors the host has let go of (their drawing closed), so
  // that no stale drawing pointer is compared or used again.
  void dropLetGo();
  // Offers reactor i to the host: destroyed and no longer held when
  // detached, true then.
  bool detach(std::size_t i);

  OffsetReactorHolding(const OffsetReactorHolding&);
  OffsetReactorHolding& operator=(const OffsetReactorHolding&);

  typedef std::pair<AcDbDatabase*, AsdkDbReactor*> Held;
  std::vector<Held> held_;
};

// The module's one holding: the watcher of the moment serves OFFSETs
// through it, and reactors a stopped watcher could not detach stay in it.
OffsetReactorHolding& moduleOffsetReactors();

#endif
