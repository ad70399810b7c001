// The command engine: what the host does around a command (notifications,
// deep clones, EXPLODE, OFFSET, plug-in commands) and LISP evaluation.
#include <algorithm>

#include "host/sim/host_state.h"
#include "host/sim/services.h"

namespace sim {

namespace {

// A live object of the current drawing's world, or null.
AcDbImpObject* liveSource(HostState& s, AcDbObjectId id) {
  Acad::ErrorStatus status;
  AcDbStub* stub = s.resolve(id, status);
  if (stub == nullptr) return nullptr;
  AcDbImpObject* imp = stub->object->impObject();
  return imp->erased ? nullptr : imp;
}

bool isEntity(const AcDbImpObject& imp) {
  return imp.self->isKindOf(AcDbEntity::desc());
}

// A copy of SOURCE appended to DRAWING: PIECE_TYPE, when given, makes a
// piece of that type instead of an object of the source's type.
AcDbStub* appendCopy(HostState& s, AcDbImpDatabase& drawing,
                     const AcDbImpObject& source, const char* pieceType) {
  AcDbObject* object = pieceType != nullptr ? s.createObject(pieceType)
                                            : s.createObject(source.type);
  if (object == nullptr) {
    // A kind the host does not model still copies as what it is.
    object = new AcDbProxyEntity;
    object->impObject()->type = pieceType != nullptr ? pieceType : source.type;
  }
  AcDbImpObject& copy = *object->impObject();
  copy.xdata = s.xdataFor(source, drawing);
  if (pieceType == nullptr) {
    copy.pieces = source.pieces;
    copy.extras = source.extras;
    copy.record = source.record;
  } else {
    copy.pieces = 1;
  }
  AcDbStub* stub = s.appendNew(drawing, object, nullptr);
  s.announceAppended(drawing, stub);
  return stub;
}

Created deepCloneOnce(HostState& s, const std::vector<AcDbObjectId>& ids,
                      const char* pieceType) {
  Created created;
  if (s.current == nullptr || ids.empty()) return created;
  AcDbImpDatabase& drawing = *s.current;
  AcDbDatabase* facade = drawing.facade.get();
  AcDbIdMapping map;
  map.setDestDb(facade);
  s.notifyEditor("beginDeepClone", [&](AcEditorReactor* reactor) {
    reactor->beginDeepClone(facade, map);
  });
  for (AcDbObjectId id : ids) {
    AcDbImpObject* source = liveSource(s, id);
    if (source == nullptr) continue;
    AcDbStub* stub = appendCopy(s, drawing, *source, pieceType);
    map.assign(AcDbIdPair(id, AcDbObjectId(stub), true));
    created.emplace_back(id, AcDbObjectId(stub));
  }
  s.notifyEditor("endDeepClone",
                 [&](AcEditorReactor* reactor) { reactor->endDeepClone(map); });
  return created;
}

void append(Created& to, const Created& more) {
  to.insert(to.end(), more.begin(), more.end());
}

Created explode(HostState& s, const std::vector<AcDbObjectId>& ids) {
  Created created;
  for (AcDbObjectId id : ids) {
    AcDbImpObject* source = liveSource(s, id);
    if (source == nullptr || !isEntity(*source)) continue;
    const int pieces = std::max(1, source->pieces);
    for (int k = 0; k < pieces; ++k)
      append(created, deepCloneOnce(s, {id}, "LINE"));
    source->erased = true;
    s.announceErased(*source->stub->drawing, source->stub);
  }
  return created;
}

Created offsetCopies(HostState& s, const std::vector<AcDbObjectId>& ids) {
  Created created;
  if (s.current == nullptr) return created;
  for (AcDbObjectId id : ids) {
    AcDbImpObject* source = liveSource(s, id);
    if (source == nullptr || !isEntity(*source)) continue;
    AcDbStub* stub = appendCopy(s, *s.current, *source, nullptr);
    created.emplace_back(id, AcDbObjectId(stub));
  }
  return created;
}

Created hostCommandWork(HostState& s, const std::string& name,
                        const std::vector<AcDbObjectId>& selection,
                        int repeat) {
  Created created;
  if (selection.empty()) return created;
  const std::string kind = upperAscii(name);
  for (int r = 0; r < repeat; ++r) {
    if (kind == "EXPLODE")
      append(created, explode(s, selection));
    else if (kind == "OFFSET")
      append(created, offsetCopies(s, selection));
    else
      append(created, deepCloneOnce(s, selection, nullptr));
  }
  return created;
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
                         Outcome outcome) {
  HostState& s = *state_;
  if (s.isStaleCommand(name)) {
    s.print("Unknown command \"" + name + "\".\n");
    return {};
  }
  const RegisteredCommandRecord* found = s.findCommand(name);
  const bool isPlugin = found != nullptr;
  RegisteredCommandRecord command;
  if (isPlugin) command = *found;
  const AcWString notifyName = isPlugin ? command.globalName : toWide(name);
  willStart(s, notifyName);
  Created created;
  if (isPlugin)
    runPluginCommand(s, command);
  else
    created = hostCommandWork(s, name, selection, repeat);
  finish(s, notifyName, outcome);
  if (s.pluginDepth == 0) s.audit("command " + name);
  return created;
}

bool Host::beginCommand(const std::string& name) {
  HostState& s = *state_;
  CommandFrame frame;
  frame.name = name;
  frame.drawing = s.current;
  if (s.isStaleCommand(name)) {
    s.print("Unknown command \"" + name + "\".\n");
    s.commandFrames.push_back(frame);
    return false;
  }
  const RegisteredCommandRecord* found = s.findCommand(name);
  RegisteredCommandRecord command;
  if (found != nullptr) command = *found;
  frame.notifyName = found != nullptr ? command.globalName : toWide(name);
  frame.accepted = true;
  s.commandFrames.push_back(frame);
  willStart(s, frame.notifyName);
  if (found != nullptr) runPluginCommand(s, command);
  return true;
}

bool Host::endCommand(const std::string& name, Outcome outcome) {
  HostState& s = *state_;
  const std::string wanted = upperAscii(name);
  for (std::size_t i = s.commandFrames.size(); i-- > 0;) {
    if (upperAscii(s.commandFrames[i].name) != wanted) continue;
    const CommandFrame frame = s.commandFrames[i];
    s.commandFrames.erase(s.commandFrames.begin() +
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
  return deepCloneOnce(*state_, ids, nullptr);
}

Created Host::appendCopies(const std::vector<AcDbObjectId>& ids) {
  return offsetCopies(*state_, ids);
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
