// The command engine: the host's own commands (deep clones, the clipboard,
// EXPLODE, OFFSET, ERASE), plug-in commands, the unknown-command rule, and
// LISP evaluation.
#include <algorithm>
#include <set>

#include "dxf/dxf_tag.h"
#include "host/sim/api/runtime_services.h"
#include "host/sim/drawing/entity_geometry.h"
#include "host/sim/host_state.h"

namespace sim {

namespace {

// A live object, or null.
AcDbImpObject* liveSource(HostState& s, AcDbObjectId id) {
  Acad::ErrorStatus status;
  AcDbStub* stub = s.resolve(id, status);
  if (stub == nullptr) return nullptr;
  AcDbImpObject* imp = stub->object->impObject();
  return imp->erased ? nullptr : imp;
}

bool isLive(const AcDbStub* stub) {
  return stub != nullptr && stub->object != nullptr &&
         !stub->object->impObject()->erased;
}

bool isEntity(const AcDbImpObject& imp) {
  return imp.self->isKindOf(AcDbEntity::desc());
}

enum class Work {
  DeepClone,
  CopyClip,
  PasteClip,
  Explode,
  Offset,
  Erase,
  NoNewObject
};

// The host's own commands, by global name.
bool findHostCommand(const std::string& upperName, Work& work) {
  static const struct {
    const char* name;
    Work work;
  } kCommands[] = {
      {"COPY", Work::DeepClone},       {"MIRROR", Work::DeepClone},
      {"ARRAY", Work::DeepClone},      {"DROPGEOM", Work::DeepClone},
      {"KL712_COPY", Work::DeepClone}, {"COPYCLIP", Work::CopyClip},
      {"PASTECLIP", Work::PasteClip},  {"EXPLODE", Work::Explode},
      {"OFFSET", Work::Offset},        {"ERASE", Work::Erase},
      {"MOVE", Work::NoNewObject},     {"ROTATE", Work::NoNewObject},
      {"SCALE", Work::NoNewObject}};
  for (const auto& command : kCommands)
    if (upperName == command.name) {
      work = command.work;
      return true;
    }
  return false;
}

// What an object owns: its extension dictionary, then, for a dictionary, the
// entries it owns (not those it merely names), in key order.
template <typename F>
void forEachOwned(const AcDbImpObject& imp, F&& f) {
  if (isLive(imp.extensionDictionary)) f(imp.extensionDictionary);
  for (const auto& entry : imp.entries())
    if (isLive(entry.second) &&
        entry.second->object->impObject()->owner == imp.stub)
      f(entry.second);
}

AcDbObject* newObjectOfType(HostState& s, const std::string& type) {
  AcDbObject* object = s.createObject(type);
  if (object == nullptr) {
    // A kind the host does not model still copies as what it is.
    object = new AcDbProxyEntity;
    object->impObject()->type = type;
  }
  return object;
}

// Moves the entity COPY, not yet in a drawing, where T puts it; anything
// whose geometry the host keeps stays where it is.
void place(AcDbImpObject& copy, const Transform& t) {
  if (!isEntity(copy)) return;
  EntityGroups groups;
  groupsOf(copy, groups);
  if (transformGroups(groups, t)) copy.extras = keptOf(groups);
}

// A copy of SOURCE appended to DRAWING that owns nothing (OFFSET,
// append-copy): the source's xdata and data, no extension dictionary, no
// entries; OFFSET, when given, says how far off it lies.
AcDbStub* appendCopy(HostState& s, AcDbImpDatabase& drawing,
                     const AcDbImpObject& source,
                     const double* offset = nullptr) {
  AcDbObject* object = newObjectOfType(s, source.type);
  AcDbImpObject& copy = *object->impObject();
  copy.editXdata() = s.xdataFor(source, drawing);
  copy.pieces = source.pieces;
  copy.extras = s.extrasFor(source, drawing);
  if (!source.record().empty()) copy.editRecord() = source.record();
  if (offset != nullptr && *offset != 0 && isEntity(copy)) {
    EntityGroups groups;
    groupsOf(copy, groups);
    if (offsetGroups(groups, *offset)) copy.extras = keptOf(groups);
  }
  AcDbStub* stub = s.appendNew(drawing, object, nullptr, true);
  s.announceAppended(drawing, stub);
  return stub;
}

// Where a deep clone puts its clones, and the groups of the piece it makes.
struct CloneShape {
  const Transform* place = nullptr;   // null: where their sources are
  const KeptGroups* piece = nullptr;  // null: the piece type's defaults
};

// One deep clone under way: the sources carry their clones in
// cloneInProgress until it ends.
class DeepCloneRun {
 public:
  DeepCloneRun(HostState& s, AcDbImpDatabase& target, const char* pieceType,
               const CloneShape& shape)
      : s_(s), target_(target), pieceType_(pieceType), shape_(shape) {}

  // Clones SOURCE and, unless pieces are made, what it owns, depth first.
  void cloneTree(AcDbStub* source) {
    std::vector<std::pair<AcDbStub*, bool>>& pending = pending_;
    pending.assign(1, {source, true});
    while (!pending.empty()) {
      const std::pair<AcDbStub*, bool> next = pending.back();
      pending.pop_back();
      AcDbImpObject& imp = *next.first->object->impObject();
      if (imp.cloneInProgress() != nullptr) continue;
      cloneOne(next.first, next.second);
      if (pieceType_ != nullptr) continue;
      const std::size_t mark = pending.size();
      forEachOwned(
          imp, [&](AcDbStub* owned) { pending.emplace_back(owned, false); });
      std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(mark),
                   pending.end());
    }
  }

  // Translates the references, ends the run, announces the clones and fills
  // the map; returns the pairs in the map's order.
  Created finish(AcDbIdMapping& map) {
    for (const Cloned& c : cloned_) translate(c);
    std::vector<AcDbStub*> referenced;
    if (s_.idMapReferences) referenced = referencedNotCloned();
    for (const Cloned& c : cloned_)
      c.source->object->impObject()->active().cloneInProgress = nullptr;
    Created created;
    created.reserve(cloned_.size());
    for (const Cloned& c : cloned_) {
      s_.announceAppended(target_, c.clone);
      map.assign(AcDbIdPair(AcDbObjectId(c.source), AcDbObjectId(c.clone), true,
                            c.primary));
      created.emplace_back(AcDbObjectId(c.source), AcDbObjectId(c.clone));
    }
    for (AcDbStub* object : referenced)
      map.assign(
          AcDbIdPair(AcDbObjectId(object), AcDbObjectId(object), false, false));
    return created;
  }

  std::vector<AcDbStub*> primaryClones() const {
    std::vector<AcDbStub*> clones;
    for (const Cloned& c : cloned_)
      if (c.primary) clones.push_back(c.clone);
    return clones;
  }

 private:
  struct Cloned {
    AcDbStub* source;
    AcDbStub* clone;
    bool primary;
  };

  void cloneOne(AcDbStub* sourceStub, bool primary) {
    AcDbImpObject& source = *sourceStub->object->impObject();
    AcDbObject* object =
        newObjectOfType(s_, pieceType_ != nullptr ? pieceType_ : source.type);
    AcDbImpObject& copy = *object->impObject();
    copy.editXdata() = s_.xdataFor(source, target_);
    if (pieceType_ == nullptr) {
      copy.pieces = source.pieces;
      copy.extras = s_.extrasFor(source, target_);
      if (!source.record().empty()) copy.editRecord() = source.record();
    } else {
      copy.pieces = 1;
      if (shape_.piece != nullptr) copy.extras = *shape_.piece;
    }
    if (shape_.place != nullptr) place(copy, *shape_.place);
    AcDbStub* stub = s_.appendNew(target_, object, nullptr, true);
    source.active().cloneInProgress = stub;
    cloned_.push_back(Cloned{sourceStub, stub, primary});
  }

  // Where a reference of a clone points: the clone of an object cloned in
  // this run, else the object itself; a reference into another drawing
  // that nothing cloned names nothing there.
  AcDbStub* translated(const AcDbStub* source, AcDbStub* ref) const {
    if (ref == nullptr || ref->object == nullptr) return nullptr;
    AcDbStub* clone = ref->object->impObject()->cloneInProgress();
    if (clone != nullptr) return clone;
    return source->drawing == &target_ ? ref : nullptr;
  }

  // The clone of the object with this handle text in SOURCE's drawing, or
  // null when nothing in this run cloned it.
  AcDbStub* cloneOfHandle(const AcDbStub* source,
                          const std::string& text) const {
    std::uint64_t handle = 0;
    if (!dxf::parseHandle(text, handle)) return nullptr;
    const AcDbStub* named = source->drawing->findHandle(handle);
    if (named == nullptr || named->object == nullptr) return nullptr;
    return named->object->impObject()->cloneInProgress();
  }

  // What the cloned objects' sources refer to that this run did not clone,
  // each once, in the order first referred to (Host::setIdMapReferences
  // gives the rule). Read while the sources still know their clones.
  std::vector<AcDbStub*> referencedNotCloned() const {
    std::vector<AcDbStub*> found;
    std::set<const AcDbStub*> seen;
    for (const Cloned& c : cloned_) {
      const AcDbStub* source = c.source;
      auto note = [&](AcDbStub* ref) {
        if (!isLive(ref) || ref->drawing != source->drawing) return false;
        if (ref->object->impObject()->cloneInProgress() != nullptr)
          return false;
        if (seen.insert(ref).second) found.push_back(ref);
        return true;
      };
      const AcDbImpObject& imp = *source->object->impObject();
      for (AcDbStub* owner = imp.owner; note(owner);
           owner = owner->object->impObject()->owner) {
      }
      for (const auto& entry : imp.entries()) note(entry.second);
      for (const StoredItem& item : imp.record()) note(item.ref);
      for (const XdataEntry& block : imp.xdata())
        for (const StoredItem& item : block.items)
          if (item.code == 1005) note(named(source, toUtf8(item.text)));
      if (imp.extras.empty()) continue;
      std::vector<dxf::Tag> tags;
      decodeKept(imp.extras, tags);
      for (const dxf::Tag& tag : tags)
        if (tag.code >= 330 && tag.code <= 369) note(named(source, tag.value));
    }
    return found;
  }

  // The object with this handle text in SOURCE's drawing, or null.
  static AcDbStub* named(const AcDbStub* source, const std::string& text) {
    std::uint64_t handle = 0;
    if (!dxf::parseHandle(text, handle)) return nullptr;
    return source->drawing->findHandle(handle);
  }

  void translate(const Cloned& c) {
    const AcDbImpObject& source = *c.source->object->impObject();
    AcDbImpObject& copy = *c.clone->object->impObject();
    copy.owner = translated(c.source, source.owner);
    if (pieceType_ != nullptr) return;
    // Never shared: the dictionary's own clone, or none.
    if (isLive(source.extensionDictionary))
      copy.extensionDictionary =
          source.extensionDictionary->object->impObject()->cloneInProgress();
    for (const auto& entry : source.entries())
      if (AcDbStub* value = translated(c.source, entry.second))
        copy.editEntries().emplace(entry.first, value);
    if (copy.activity)
      for (StoredItem& item : copy.activity->record)
        item.ref = translated(c.source, item.ref);
    for (XdataEntry& block : copy.editXdata())
      for (StoredItem& item : block.items)
        if (item.code == 1005)
          if (const AcDbStub* clone =
                  cloneOfHandle(c.source, toUtf8(item.text)))
            item.text = toWide(hexText(clone->handle));
    // Pointers in the tags a drawing file gave the object (its persistent
    // reactors, say) follow too; the saver writes handle and owner anew.
    if (copy.extras.empty()) return;
    std::vector<dxf::Tag> tags;
    decodeKept(copy.extras, tags);
    bool changed = false;
    for (dxf::Tag& tag : tags)
      if (tag.code >= 330 && tag.code <= 369)
        if (const AcDbStub* clone = cloneOfHandle(c.source, tag.value)) {
          tag.value = hexText(clone->handle);
          changed = true;
        }
    if (changed) copy.extras = encodeKept(tags);
  }

  HostState& s_;
  AcDbImpDatabase& target_;
  const char* pieceType_;
  CloneShape shape_;
  std::vector<Cloned> cloned_;
  // What cloneTree has yet to clone; kept, so that a selection of many
  // objects allocates it once.
  std::vector<std::pair<AcDbStub*, bool>> pending_;
};

// One deep clone of IDS into TARGET; PIECE_TYPE, when given, makes pieces
// of that type that own nothing (EXPLODE). PRIMARY, when given, receives the
// clones of IDS themselves.
Created deepCloneOnce(HostState& s, AcDbImpDatabase& target,
                      const std::vector<AcDbObjectId>& ids,
                      const char* pieceType,
                      std::vector<AcDbStub*>* primary = nullptr,
                      const CloneShape& shape = CloneShape()) {
  if (ids.empty()) return Created();
  AcDbDatabase* facade = target.facade.get();
  AcDbIdMapping map;
  map.setDestDb(facade);
  s.notifyEditor("beginDeepClone", [&](AcEditorReactor* reactor) {
    reactor->beginDeepClone(facade, map);
  });
  DeepCloneRun run(s, target, pieceType, shape);
  for (AcDbObjectId id : ids) {
    AcDbImpObject* source = liveSource(s, id);
    if (source != nullptr) run.cloneTree(source->stub);
  }
  Created created = run.finish(map);
  if (primary != nullptr) *primary = run.primaryClones();
  s.notifyEditor("endDeepClone",
                 [&](AcEditorReactor* reactor) { reactor->endDeepClone(map); });
  return created;
}

void append(Created& to, const Created& more) {
  to.insert(to.end(), more.begin(), more.end());
}

// Erases OBJECT, then what it owns, depth first; each object's erased flag
// keeps one owned twice from being erased twice.
void eraseWithOwned(HostState& s, AcDbStub* object) {
  std::vector<AcDbStub*> pending{object};
  while (!pending.empty()) {
    AcDbStub* stub = pending.back();
    pending.pop_back();
    AcDbImpObject& imp = *stub->object->impObject();
    if (imp.erased) continue;
    imp.erased = true;
    s.announceErased(*stub->drawing, stub);
    const std::size_t mark = pending.size();
    forEachOwned(imp, [&](AcDbStub* owned) { pending.push_back(owned); });
    std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(mark),
                 pending.end());
  }
}

Created explode(HostState& s, const std::vector<AcDbObjectId>& ids) {
  Created created;
  if (s.drawings.current == nullptr) return created;
  for (AcDbObjectId id : ids) {
    AcDbImpObject* source = liveSource(s, id);
    if (source == nullptr || !isEntity(*source)) continue;
    const int pieces = std::max(1, source->pieces);
    // A polyline's pieces are its segments; what has none to give (no
    // vertices, or not drawn in the drawing's plane) makes default lines.
    std::vector<Piece> segments;
    if (source->type == "POLYLINE") {
      EntityGroups groups;
      groupsOf(*source, groups);
      segments = polylinePieces(groups);
    }
    for (int k = 0; k < pieces; ++k) {
      const std::size_t at = static_cast<std::size_t>(k);
      CloneShape shape;
      KeptGroups kept;
      if (at < segments.size()) {
        kept = keptOf(segments[at].groups);
        shape.piece = &kept;
      }
      append(created,
             deepCloneOnce(s, *s.drawings.current, {id},
                           at < segments.size() ? segments[at].type : "LINE",
                           nullptr, shape));
    }
    eraseWithOwned(s, source->stub);
  }
  return created;
}

// ENTITIES_ONLY: OFFSET passes over what is not an entity; append-copy
// copies anything.
Created copiesOwningNothing(HostState& s, const std::vector<AcDbObjectId>& ids,
                            bool entitiesOnly, const double* offset = nullptr) {
  Created created;
  if (s.drawings.current == nullptr) return created;
  for (AcDbObjectId id : ids) {
    AcDbImpObject* source = liveSource(s, id);
    if (source == nullptr || (entitiesOnly && !isEntity(*source))) continue;
    AcDbStub* stub = appendCopy(s, *s.drawings.current, *source, offset);
    created.emplace_back(id, AcDbObjectId(stub));
  }
  return created;
}

AcDbImpDatabase& clipboardOf(HostState& s) {
  if (!s.drawings.clipboard)
    s.drawings.clipboard.reset(
        new AcDbImpDatabase(s, Host::kClipboardName, s.drawings.nextSerial++));
  return *s.drawings.clipboard;
}

Created copyToClipboard(HostState& s, const std::vector<AcDbObjectId>& ids) {
  AcDbImpDatabase& clipboard = clipboardOf(s);
  for (AcDbStub* held : s.drawings.clipboardContents)
    if (isLive(held)) eraseWithOwned(s, held);
  s.drawings.clipboardContents.clear();
  return deepCloneOnce(s, clipboard, ids, nullptr,
                       &s.drawings.clipboardContents);
}

Created pasteFromClipboard(HostState& s, const CloneShape& shape) {
  std::vector<AcDbObjectId> held;
  for (AcDbStub* stub : s.drawings.clipboardContents)
    if (isLive(stub)) held.emplace_back(stub);
  return s.drawings.current != nullptr
             ? deepCloneOnce(s, *s.drawings.current, held, nullptr, nullptr,
                             shape)
             : Created();
}

// Where round ROUND (from 0) of a command puts things: a displacement
// repeats once more each round, the others are the same every round.
// False when the placement moves nothing.
bool transformOf(const Placement& p, int round, Transform& t) {
  switch (p.kind) {
    case Placement::Kind::Move:
      t = Transform::translation(p.by, round + 1);
      return true;
    case Placement::Kind::Rotate:
      t = Transform::rotation(p.about, p.angle);
      return true;
    case Placement::Kind::Scale:
      if (!(p.factor > 0)) return false;
      t = Transform::scaling(p.about, p.factor);
      return true;
    case Placement::Kind::Mirror:
      return Transform::mirror(p.axisFrom, p.axisTo, t);
    case Placement::Kind::None:
    case Placement::Kind::Offset:
      break;
  }
  return false;
}

// MOVE, ROTATE and SCALE: each entity of the selection whose geometry the
// host reads, opened for write, changed and closed.
void changeInPlace(HostState& s, const std::vector<AcDbObjectId>& selection,
                   const Transform& t) {
  for (AcDbObjectId id : selection) {
    AcDbImpObject* object = liveSource(s, id);
    if (object == nullptr || !isEntity(*object)) continue;
    EntityGroups groups;
    groupsOf(*object, groups);
    if (!transformGroups(groups, t)) continue;
    object->extras = keptOf(groups);
    s.announceModified(*object->stub->drawing, object->stub);
  }
}

Created hostCommandWork(HostState& s, Work work,
                        const std::vector<AcDbObjectId>& selection, int repeat,
                        const Placement& placement) {
  Created created;
  if (selection.empty() && work != Work::PasteClip) return created;
  const double* offset =
      placement.kind == Placement::Kind::Offset ? &placement.distance : nullptr;
  for (int r = 0; r < repeat; ++r) {
    Transform t;
    CloneShape shape;
    // Copies of the kth round lie k displacements off; in place, each
    // round moves once more.
    if (transformOf(placement, work == Work::NoNewObject ? 0 : r, t))
      shape.place = &t;
    switch (work) {
      case Work::DeepClone:
        if (s.drawings.current != nullptr)
          append(created, deepCloneOnce(s, *s.drawings.current, selection,
                                        nullptr, nullptr, shape));
        break;
      case Work::CopyClip:
        append(created, copyToClipboard(s, selection));
        break;
      case Work::PasteClip:
        if (selection.empty())
          append(created, pasteFromClipboard(s, shape));
        else if (s.drawings.current != nullptr)
          append(created, deepCloneOnce(s, *s.drawings.current, selection,
                                        nullptr, nullptr, shape));
        break;
      case Work::Explode:
        append(created, explode(s, selection));
        break;
      case Work::Offset:
        append(created, copiesOwningNothing(s, selection, true, offset));
        break;
      case Work::Erase:
        for (AcDbObjectId id : selection)
          if (AcDbImpObject* object = liveSource(s, id))
            eraseWithOwned(s, object->stub);
        break;
      case Work::NoNewObject:
        if (shape.place != nullptr) changeInPlace(s, selection, t);
        break;
    }
  }
  return created;
}

// Objects one deep clone of IDS makes: each live source and, once each,
// what it owns, as cloneTree walks them.
long cloneTreeSize(HostState& s, const std::vector<AcDbObjectId>& ids) {
  std::set<const AcDbStub*> seen;
  std::vector<AcDbStub*> pending;
  for (AcDbObjectId id : ids)
    if (AcDbImpObject* source = liveSource(s, id))
      pending.push_back(source->stub);
  while (!pending.empty()) {
    AcDbStub* stub = pending.back();
    pending.pop_back();
    if (!seen.insert(stub).second) continue;
    forEachOwned(*stub->object->impObject(),
                 [&](AcDbStub* owned) { pending.push_back(owned); });
  }
  return static_cast<long>(seen.size());
}

// What hostCommandWork would add, counted without doing any of it.
long hostCommandSize(HostState& s, Work work,
                     const std::vector<AcDbObjectId>& selection, int repeat) {
  long once = 0;
  switch (work) {
    case Work::DeepClone:
    case Work::CopyClip:
      once = cloneTreeSize(s, selection);
      break;
    case Work::PasteClip: {
      if (!selection.empty()) {
        once = cloneTreeSize(s, selection);
        break;
      }
      std::vector<AcDbObjectId> held;
      for (AcDbStub* stub : s.drawings.clipboardContents)
        held.emplace_back(stub);
      once = cloneTreeSize(s, held);
      break;
    }
    case Work::Explode: {
      // The first round erases what it explodes: later rounds find nothing.
      long pieces = 0;
      for (AcDbObjectId id : selection)
        if (AcDbImpObject* source = liveSource(s, id))
          if (isEntity(*source)) pieces += std::max(1, source->pieces);
      return pieces;
    }
    case Work::Offset:
      for (AcDbObjectId id : selection)
        if (AcDbImpObject* source = liveSource(s, id))
          once += isEntity(*source) ? 1 : 0;
      break;
    case Work::Erase:
    case Work::NoNewObject:
      break;
  }
  return once * repeat;
}

void willStart(HostState& s, const AcWString& name) {
  s.notifyEditor("commandWillStart(" + toUtf8(name) + ")",
                 [&](AcEditorReactor* reactor) {
                   reactor->commandWillStart(name.c_str());
                 });
}

void finish(HostState& s, const AcWString& name, Outcome outcome) {
  const std::string text = toUtf8(name);
  switch (outcome) {
    case Outcome::Ended:
      s.notifyEditor("commandEnded(" + text + ")",
                     [&](AcEditorReactor* reactor) {
                       reactor->commandEnded(name.c_str());
                     });
      break;
    case Outcome::Cancelled:
      s.notifyEditor("commandCancelled(" + text + ")",
                     [&](AcEditorReactor* reactor) {
                       reactor->commandCancelled(name.c_str());
                     });
      break;
    case Outcome::Failed:
      s.notifyEditor("commandFailed(" + text + ")",
                     [&](AcEditorReactor* reactor) {
                       reactor->commandFailed(name.c_str());
                     });
      break;
  }
}

// Runs a plug-in's command function; a copy of the record, since the
// function may remove its own group.
void runPluginCommand(HostState& s, RegisteredCommandRecord command) {
  s.callPlugin("command " + toUtf8(command.globalName),
               [&] { command.function(); });
}

}  // namespace

Created Host::runCommand(const std::string& name,
                         const std::vector<AcDbObjectId>& selection, int repeat,
                         Outcome outcome, const Placement& placement) {
  HostState& s = *state_;
  const RegisteredCommandRecord* found = s.findCommand(name);
  Work work = Work::NoNewObject;
  if (found == nullptr && !findHostCommand(upperAscii(name), work)) {
    s.print("Unknown command \"" + name + "\".\n");
    return {};
  }
  const bool isPlugin = found != nullptr;
  RegisteredCommandRecord command;
  if (isPlugin) command = *found;
  const AcWString notifyName =
      isPlugin ? command.globalName : toWide(upperAscii(name));
  willStart(s, notifyName);
  Created created;
  if (isPlugin)
    runPluginCommand(s, command);
  else
    created = hostCommandWork(s, work, selection, repeat, placement);
  finish(s, notifyName, outcome);
  if (s.pluginDepth == 0) s.audit("command " + name);
  return created;
}

long Host::objectsCommandWouldMake(const std::string& name,
                                   const std::vector<AcDbObjectId>& selection,
                                   int repeat) const {
  HostState& s = *state_;
  Work work = Work::NoNewObject;
  // A plug-in's command does its own work, which only running it shows.
  if (s.findCommand(name) != nullptr ||
      !findHostCommand(upperAscii(name), work))
    return 0;
  if (selection.empty() && work != Work::PasteClip) return 0;
  return hostCommandSize(s, work, selection, repeat);
}

long Host::objectsDeepCloneWouldMake(
    const std::vector<AcDbObjectId>& ids) const {
  return cloneTreeSize(*state_, ids);
}

bool Host::beginCommand(const std::string& name) {
  HostState& s = *state_;
  CommandFrame frame;
  frame.name = name;
  frame.drawing = s.drawings.current;
  if (s.isStaleCommand(name)) {
    s.print("Unknown command \"" + name + "\".\n");
    s.commands.frames.push_back(frame);
    return false;
  }
  const RegisteredCommandRecord* found = s.findCommand(name);
  RegisteredCommandRecord command;
  if (found != nullptr) command = *found;
  frame.notifyName = found != nullptr ? command.globalName : toWide(name);
  frame.accepted = true;
  s.commands.frames.push_back(frame);
  willStart(s, frame.notifyName);
  if (found != nullptr) runPluginCommand(s, command);
  return true;
}

bool Host::endCommand(const std::string& name, Outcome outcome) {
  HostState& s = *state_;
  const std::string wanted = upperAscii(name);
  for (std::size_t i = s.commands.frames.size(); i-- > 0;) {
    if (upperAscii(s.commands.frames[i].name) != wanted) continue;
    const CommandFrame frame = s.commands.frames[i];
    s.commands.frames.erase(s.commands.frames.begin() +
                            static_cast<std::ptrdiff_t>(i));
    if (frame.accepted) {
      finish(s, frame.notifyName, outcome);
      if (s.pluginDepth == 0) s.audit("command " + name);
    }
    return true;
  }
  return false;
}

Created Host::deepClone(const std::vector<AcDbObjectId>& ids) {
  HostState& s = *state_;
  return s.drawings.current != nullptr
             ? deepCloneOnce(s, *s.drawings.current, ids, nullptr)
             : Created();
}

Created Host::appendCopies(const std::vector<AcDbObjectId>& ids) {
  return copiesOwningNothing(*state_, ids, false);
}

void Host::lispBegin(const std::string& firstLine) {
  const AcWString line = toWide(firstLine);
  state_->notifyEditor("lispWillStart", [&](AcEditorReactor* reactor) {
    reactor->lispWillStart(line.c_str());
  });
}

void Host::lispEnd() {
  state_->notifyEditor("lispEnded",
                       [](AcEditorReactor* reactor) { reactor->lispEnded(); });
}

void Host::lispCancel() {
  state_->notifyEditor("lispCancelled", [](AcEditorReactor* reactor) {
    reactor->lispCancelled();
  });
}

}  // namespace sim
