// Reactors are destroyed only after the host has let go of them: a reactor
// freed while still attached would be called through a dangling pointer at
// the next append. A reactor whose drawing closed has been let go (it said
// goodbye, and the host detaches what is left), and its drawing must not be
// touched again: it is destroyed without a word to the host.
#include "watcher/offset_reactors.h"

namespace {

OffsetReactorHolding gModuleOffsetReactors;

}  // namespace

OffsetReactorHolding& moduleOffsetReactors() { return gModuleOffsetReactors; }

OffsetReactorHolding::~OffsetReactorHolding() {
  // Reactors still held here were never let go by the host: leaking them is
  // survivable, freeing them is not.
}

void OffsetReactorHolding::dropLetGo() {
  std::size_t kept = 0;
  for (std::size_t i = 0; i < held_.size(); ++i) {
    if (held_[i].second->state() == AsdkDbReactor::kLetGo)
      delete held_[i].second;
    else
      held_[kept++] = held_[i];
  }
  held_.resize(kept);
}

bool OffsetReactorHolding::detach(std::size_t i) {
  if (held_[i].first->removeReactor(held_[i].second) != Acad::eOk) return false;
  delete held_[i].second;
  held_.erase(held_.begin() + static_cast<std::ptrdiff_t>(i));
  return true;
}

void OffsetReactorHolding::attachTo(AcDbDatabase* drawing) {
  dropLetGo();  // a new drawing may stand where a closed one stood
  if (drawing == NULL) return;
  for (std::size_t i = 0; i < held_.size(); ++i) {
    if (held_[i].first != drawing) continue;
    // One the host kept attached serves this OFFSET, as the newest.
    Held held = held_[i];
    held.second->serve();
    held_.erase(held_.begin() + static_cast<std::ptrdiff_t>(i));
    held_.push_back(held);
    return;
  }
  // Room first: a reactor the host has taken must never go unheld.
  held_.reserve(held_.size() + 1);
  AsdkDbReactor* reactor = new AsdkDbReactor;
  if (drawing->addReactor(reactor) != Acad::eOk) {
    delete reactor;  // never attached
    return;
  }
  held_.push_back(Held(drawing, reactor));
}

void OffsetReactorHolding::releaseForEndedOffset(AcDbDatabase* working) {
  dropLetGo();
  const std::size_t none = held_.size();
  std::size_t chosen = none, newestServing = none, idleOfWorking = none;
  for (std::size_t i = 0; i < held_.size(); ++i) {
    const bool serving = held_[i].second->state() == AsdkDbReactor::kServing;
    if (serving && held_[i].first == working) chosen = i;
    if (serving) newestServing = i;
    if (!serving && held_[i].first == working) idleOfWorking = i;
  }
  if (chosen == none) chosen = newestServing;
  if (chosen == none) chosen = idleOfWorking;
  if (chosen == none) return;
  // Still attached: held for another try, idle until then.
  if (!detach(chosen)) held_[chosen].second->idle();
}

void OffsetReactorHolding::releaseClosing(AcDbDatabase* closing) {
  dropLetGo();
  for (std::size_t i = 0; i < held_.size(); ++i) {
    if (held_[i].first != closing) continue;
    // Its goodbye detaches it and lets it go.
    if (!detach(i)) held_[i].second->idle();
    return;
  }
}

void OffsetReactorHolding::releaseAll() {
  dropLetGo();
  for (std::size_t i = 0; i < held_.size();)
    if (!detach(i)) held_[i++].second->idle();
}

bool OffsetReactorHolding::releaseAllForUnload() {
  dropLetGo();
  for (std::size_t i = 0; i < held_.size();)
    if (!detach(i)) ++i;
  return held_.empty();
}

AsdkDbReactor* OffsetReactorHolding::reactorOf(
    const AcDbDatabase* drawing) const {
  for (std::size_t i = 0; i < held_.size(); ++i)
    if (held_[i].first == drawing) return held_[i].second;
  return NULL;
}
