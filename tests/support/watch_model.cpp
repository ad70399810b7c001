// The model follows the watcher's table of commands literally: names compare
// whole and case-sensitively, flags are booleans, EXPLODE waits for its end
// and LISP holds everything back.
#include "tests/support/watch_model.h"

#include <algorithm>

#include "module/module_entry.h"
#include "tests/support/part_invariants.h"

namespace {

enum class Watched { None, Foreign, CopyFamily, Explode, Offset };

Watched watchedOf(const std::string& name) {
  if (name == "KL712_COPY") return Watched::Foreign;
  if (name == "DROPGEOM" || name == "COPY" || name == "PASTECLIP" ||
      name == "MIRROR" || name == "ARRAY")
    return Watched::CopyFamily;
  if (name == "EXPLODE") return Watched::Explode;
  if (name == "OFFSET") return Watched::Offset;
  return Watched::None;
}

}  // namespace

std::string WatchState::describe() const {
  std::string text = !exists    ? "no watcher"
                     : watching ? "watching"
                                : "unattached";
  if (copy) text += " copy";
  if (explode) text += " explode";
  if (lisp) text += " lisp";
  if (foreign) text += " foreign";
  text += " pending[";
  for (const auto& group : pending)
    text += " " + group.first + "x" + std::to_string(group.second.size());
  text += " ] offset[";
  for (const std::string& d : offsetDrawings) text += " " + d;
  return text + " ]";
}

WatchState watchStateOfModule(const sim::Host& host) {
  WatchState state;
  if (gEditReactor == nullptr) return state;
  state.exists = true;
  // What the editor actually holds: adding a reactor has no status, so the
  // watcher cannot know when the host refused it.
  state.watching = host.isEditorReactorAttached(gEditReactor);
  state.copy = gEditReactor->isCopyActive();
  state.explode = gEditReactor->isExplodeActive();
  state.lisp = gEditReactor->isLispActive();
  state.foreign = gEditReactor->isForeignCopyActive();
  const PendingGroupList& pending = gEditReactor->pendingGroups();
  for (std::size_t g = 0; g < pending.groupCount(); ++g) {
    std::vector<AcDbObjectId> ids;
    const AcDbObjectIdArray clones = pending.idsOf(g);
    for (int i = 0; i < clones.length(); ++i) ids.push_back(clones[i]);
    state.pending.emplace_back(sim::toUtf8(pending.tagAt(g)), ids);
  }
  state.offsetDrawings = offsetDrawingsOfModule(host);
  return state;
}

WatchModel::~WatchModel() { detach(); }

void WatchModel::attach() { host_.attachEditorObserver(this); }

void WatchModel::detach() { host_.detachEditorObserver(this); }

void WatchModel::beginStep() {
  flushed_.clear();
  seen_.clear();
  seen_.insert(state_.offsetDrawings.begin(), state_.offsetDrawings.end());
}

void WatchModel::watcherCreated() {
  if (state_.exists) return;
  state_ = WatchState();
  state_.exists = true;
  state_.watching = true;
}

void WatchModel::watcherDestroyed() { state_ = WatchState(); }

void WatchModel::file(const std::string& tag, AcDbObjectId clone) {
  auto group = std::find_if(
      state_.pending.begin(), state_.pending.end(),
      [&](const std::pair<std::string, std::vector<AcDbObjectId>>& g) {
        return g.first == tag;
      });
  if (group == state_.pending.end()) {
    state_.pending.emplace_back(tag, std::vector<AcDbObjectId>());
    group = state_.pending.end() - 1;
  }
  group->second.push_back(clone);
}

void WatchModel::flush() {
  // A part can only be made in the working drawing; clones of another one
  // wait for a flush there.
  const std::string working = host_.currentDrawingName();
  std::set<AcDbObjectId> inWorkingDrawing;
  for (const sim::ObjectInfo& o : host_.drawingInfo(working).objects)
    inWorkingDrawing.insert(o.id);
  std::vector<std::pair<std::string, std::vector<AcDbObjectId>>> groups;
  groups.swap(state_.pending);
  for (const auto& group : groups) {
    std::vector<AcDbObjectId> here;
    for (AcDbObjectId clone : group.second) {
      sim::ObjectInfo info;
      if (!host_.objectInfo(clone, info) || info.erased) continue;
      if (inWorkingDrawing.count(clone))
        here.push_back(clone);
      else
        file(group.first, clone);
    }
    flushed_.emplace_back(group.first, here);
  }
}

void WatchModel::endDeepClone(AcDbIdMapping& idMap) {
  if (!state_.watching || !state_.copy || state_.foreign || state_.lisp) return;
  AcDbIdMappingIter iter(idMap);
  for (iter.start(); !iter.done(); iter.next()) {
    AcDbIdPair pair;
    if (!iter.getMap(pair) || !pair.isCloned()) continue;
    sim::ObjectInfo source;
    if (!host_.objectInfo(pair.key(), source) || source.erased) continue;
    const std::string tag = partTagIn(source.xdata);
    if (!tag.empty()) file(tag, pair.value());
  }
  if (!state_.explode) flush();
}

void WatchModel::commandWillStart(const ACHAR* cmdStr) {
  const Watched watched = watchedOf(sim::toUtf8(cmdStr));
  if (watched == Watched::Offset) ++offsetsRunning_;
  if (!state_.watching) return;
  switch (watched) {
    case Watched::Foreign:
      state_.foreign = true;
      break;
    case Watched::CopyFamily:
      state_.copy = true;
      break;
    case Watched::Explode:
      state_.copy = true;
      state_.explode = true;
      break;
    case Watched::Offset: {
      // A drawing's reactor serves its newest OFFSET.
      const std::string drawing = host_.currentDrawingName();
      std::vector<std::string>& held = state_.offsetDrawings;
      held.erase(std::remove(held.begin(), held.end(), drawing), held.end());
      held.push_back(drawing);
      seen_.insert(drawing);
      break;
    }
    case Watched::None:
      break;
  }
}

void WatchModel::commandEnded(const ACHAR* cmdStr) {
  const std::string name = sim::toUtf8(cmdStr);
  if (watchedOf(name) == Watched::Explode) {
    if (!state_.watching) return;
    if (state_.explode && !state_.lisp) flush();
    state_.copy = false;
    state_.explode = false;
    return;
  }
  stopped(name);
}

void WatchModel::commandCancelled(const ACHAR* cmdStr) {
  stopped(sim::toUtf8(cmdStr));
}

void WatchModel::commandFailed(const ACHAR* cmdStr) {
  stopped(sim::toUtf8(cmdStr));
}

void WatchModel::stopped(const std::string& name) {
  const Watched watched = watchedOf(name);
  if (watched == Watched::Offset && offsetsRunning_ > 0) --offsetsRunning_;
  if (!state_.watching) return;
  switch (watched) {
    case Watched::Foreign:
      state_.foreign = false;
      break;
    case Watched::CopyFamily:
      state_.copy = false;
      break;
    case Watched::Explode:
      state_.copy = false;
      state_.explode = false;
      break;
    case Watched::Offset: {
      // The working drawing's reactor goes, else the one attached last.
      std::vector<std::string>& held = state_.offsetDrawings;
      auto own =
          std::find(held.begin(), held.end(), host_.currentDrawingName());
      if (own != held.end())
        held.erase(own);
      else if (!held.empty())
        held.pop_back();
      break;
    }
    case Watched::None:
      break;
  }
}

void WatchModel::lispWillStart(const ACHAR*) {
  if (state_.watching) state_.lisp = true;
}

void WatchModel::lispEnded() {
  if (state_.watching) state_.lisp = false;
}

void WatchModel::lispCancelled() {
  if (state_.watching) state_.lisp = false;
}

void WatchModel::databaseToBeDestroyed(AcDbDatabase* dwg) {
  if (!state_.watching) return;
  std::string closing;
  for (const std::string& name : host_.drawingNames())
    if (host_.drawing(name) == dwg) closing = name;
  // Its pending clones are forgotten; the other groups keep their order.
  std::set<AcDbObjectId> going;
  for (const sim::ObjectInfo& o : host_.drawingInfo(closing).objects)
    going.insert(o.id);
  for (auto& group : state_.pending)
    group.second.erase(
        std::remove_if(group.second.begin(), group.second.end(),
                       [&](AcDbObjectId id) { return going.count(id) > 0; }),
        group.second.end());
  state_.pending.erase(
      std::remove_if(
          state_.pending.begin(), state_.pending.end(),
          [](const std::pair<std::string, std::vector<AcDbObjectId>>& group) {
            return group.second.empty();
          }),
      state_.pending.end());
  std::vector<std::string>& held = state_.offsetDrawings;
  held.erase(std::remove(held.begin(), held.end(), closing), held.end());
}
