// The offset reactors a watcher holds: at most one per drawing, each attached
// to the drawing whose OFFSET made it, in the order they began to serve.
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
  // one (or is null); one held idle there is woken instead. Either way it is
  // then the reactor attached most recently.
  void attachTo(AcDbDatabase* drawing);
  // An OFFSET ended, was cancelled or failed while working was current: the
  // reactor of working is detached and destroyed if it serves an OFFSET,
  // otherwise the one attached most recently (the OFFSET may have ended in
  // another drawing than it began in). So no reactor outlives every OFFSET,
  // though a running OFFSET elsewhere may lose its own: it then strips
  // nothing, which is milder than stripping what later commands make. With
  // none serving, an idle one of working is offered to the host again. A
  // reactor the host will not detach is kept idle, never destroyed while
  // the host can still call it.
  void releaseForEndedOffset(AcDbDatabase* working);
  // The drawing is closing: its reactor, serving or idle, is detached and
  // destroyed. One the host will not detach is kept until its goodbye.
  void releaseClosing(AcDbDatabase* closing);
  void releaseAll();

  // The reactor attached to drawing, or null.
  AsdkDbReactor* reactorOf(const AcDbDatabase* drawing) const;
  std::size_t count() const { return held_.size(); }
  // Held reactor i and its drawing, the one attached most recently last.
  const AsdkDbReactor* reactorAt(std::size_t i) const {
    return held_[i].second;
  }
  const AcDbDatabase* drawingAt(std::size_t i) const { return held_[i].first; }

 private:
  // Destroys the reactors whose drawing closed (the host has let go of
  // them), so that no stale drawing pointer is compared or used again.
  void dropClosed();

  OffsetReactorHolding(const OffsetReactorHolding&);
  OffsetReactorHolding& operator=(const OffsetReactorHolding&);

  typedef std::pair<AcDbDatabase*, AsdkDbReactor*> Held;
  std::vector<Held> held_;
};

// Destroys the reactors kept alive after their watcher let go whose drawing
// has since closed. The module calls it as it unloads.
void releaseClosedKeptReactors();

#endif
