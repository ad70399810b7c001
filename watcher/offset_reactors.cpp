// Reactors are destroyed only after the host has let go of them: a reactor
// freed while still attached would be called through a dangling pointer at
// the next append. A reactor whose drawing closed has been let go (it said
// goodbye, and the host detaches what is left), and its drawing must not be
// touched again: it is destroyed without a word to the host.
#include "watcher/offset_reactors.h"

#include <new>

namespace {

// Reactors the host would not detach when their watcher let go: the host may
// still call them, so they live on, held here until their drawing closes,
// rather than dropped. Null while there are none.
std::vector<AsdkDbReactor*>* gKept = NULL;

void keepAlive(AsdkDbReactor* reactor) {
  releaseClosedKeptReactors();
  if (gKept == NULL) gKept = new (std::nothrow) std::vector<AsdkDbReactor*>;
  if (gKept != NULL) gKept->push_back(reactor);
}

}  // namespace

void releaseClosedKeptReactors() {
  if (gKept == NULL) return;
  std::size_t stillAttached = 0;
  for (std::size_t i = 0; i < gKept->size(); ++i) {
    if ((*gKept)[i]->isDrawingClosed())
      delete (*gKept)[i];
    else
      (*gKept)[stillAttached++] = (*gKept)[i];
  }
  gKept->resize(stillAttached);
  if (gKept->empty()) {
    delete gKept;
    gKept = NULL;
  }
}

OffsetReactorHolding::~OffsetReactorHolding() { releaseAll(); }

void OffsetReactorHolding::dropClosed() {
  std::size_t open = 0;
  for (std::size_t i = 0; i < held_.size(); ++i) {
    if (held_[i].second->isDrawingClosed())
      delete held_[i].second;
    else
      held_[open++] = held_[i];
  }
  held_.resize(open);
}

void OffsetReactorHolding::attachTo(AcDbDatabase* drawing) {
  dropClosed();  // a new drawing may stand where a closed one stood
  if (drawing == NULL) return;
  for (std::size_t i = 0; i < held_.size(); ++i) {
    if (held_[i].first != drawing) continue;
    // One the host kept attached serves this OFFSET, as the newest.
    Held held = held_[i];
    held.second->revive();
    held_.erase(held_.begin() + static_cast<std::ptrdiff_t>(i));
    held_.push_back(held);
    return;
  }
  AsdkDbReactor* reactor = new (std::nothrow) AsdkDbReactor;
  if (reactor == NULL) return;
  if (drawing->addReactor(reactor) != Acad::eOk) {
    delete reactor;  // never attached
    return;
  }
  held_.push_back(Held(drawing, reactor));
}

void OffsetReactorHolding::releaseForEndedOffset(AcDbDatabase* working) {
  dropClosed();
  const std::size_t none = held_.size();
  std::size_t chosen = none, newestServing = none, idleOfWorking = none;
  for (std::size_t i = 0; i < held_.size(); ++i) {
    const bool serving = !held_[i].second->isRetired();
    if (serving && held_[i].first == working) chosen = i;
    if (serving) newestServing = i;
    if (!serving && held_[i].first == working) idleOfWorking = i;
  }
  if (chosen == none) chosen = newestServing;
  if (chosen == none) chosen = idleOfWorking;
  if (chosen == none) return;
  if (held_[chosen].first->removeReactor(held_[chosen].second) != Acad::eOk) {
    // Still attached: held for another try, idle until then.
    held_[chosen].second->retire();
    return;
  }
  delete held_[chosen].second;
  held_.erase(held_.begin() + static_cast<std::ptrdiff_t>(chosen));
}

void OffsetReactorHolding::releaseClosing(AcDbDatabase* closing) {
  dropClosed();
  for (std::size_t i = 0; i < held_.size(); ++i) {
    if (held_[i].first != closing) continue;
    AsdkDbReactor* reactor = held_[i].second;
    held_.erase(held_.begin() + static_cast<std::ptrdiff_t>(i));
    if (closing->removeReactor(reactor) == Acad::eOk) {
      delete reactor;
    } else {
      // Idle like every kept reactor; its goodbye detaches it.
      reactor->retire();
      keepAlive(reactor);
    }
    return;
  }
}

void OffsetReactorHolding::releaseAll() {
  dropClosed();
  std::vector<Held> held;
  held.swap(held_);
  for (std::size_t i = 0; i < held.size(); ++i) {
    // One the host refuses to detach is left alive: a leak is survivable, a
    // call into freed memory is not.
    if (held[i].first->removeReactor(held[i].second) == Acad::eOk)
      delete held[i].second;
    else {
      held[i].second->retire();
      keepAlive(held[i].second);
    }
  }
}

AsdkDbReactor* OffsetReactorHolding::reactorOf(
    const AcDbDatabase* drawing) const {
  for (std::size_t i = 0; i < held_.size(); ++i)
    if (held_[i].first == drawing) return held_[i].second;
  return NULL;
}
