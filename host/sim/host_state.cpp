// The host's inner state: fault points, audit, opening by the rules, and
// the notifications the host sends about objects.
#include "host/sim/host_state.h"

#include <algorithm>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "dxf/dxf_document.h"
#include "host/sim/api/runtime_services.h"

namespace sim {

namespace {
const char* modeName(AcDb::OpenMode mode) {
  switch (mode) {
    case AcDb::kForRead:
      return "read";
    case AcDb::kForWrite:
      return "write";
    default:
      return "notify";
  }
}

// Where the code that holds ADDRESS is mapped, or null.
const void* moduleBaseOf(const void* address) {
#if defined(_WIN32)
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          static_cast<LPCSTR>(address), &module))
    return nullptr;
  return module;
#else
  Dl_info info;
  if (dladdr(address, &info) == 0) return nullptr;
  return info.dli_fbase;
#endif
}
}  // namespace

HostState::HostState(Host* host)
    : owner(host),
      editor(new SimEditor(*this)),
      commandStack(new SimCommandStack(*this)),
      linker(new SimDynamicLinker(*this)),
      registry(new SimRegistry(*this)) {
  registry->all = {{"AcEditor", editor.get()},
                   {"ACAD_REGISTERED_COMMANDS", commandStack.get()},
                   {"DynamicLinker", linker.get()}};
  registry->present = registry->all;
}

HostState::~HostState() {
  destroying = true;
  drawings.open.clear();
  drawings.closed.clear();
  drawings.clipboard.reset();
  for (AcDbImpObject* imp : objects.fresh) objects.leaked.insert(imp->self);
  objects.fresh.clear();
  for (AcDbObject* object : objects.leaked) delete object;
  objects.leaked.clear();
  resbufs.releaseAll();
}

bool HostState::armedFault(Op op, const AcDbStub* object) {
  bool hit = false;
  for (ArmedFault& armed : faults.armed) {
    const std::string& wanted = armed.spec.operation;
    if (!wanted.empty() && wanted != "*" && wanted != opName(op)) continue;
    if (!armed.spec.object.isNull()) {
      if (object == armed.spec.object.stub()) hit = true;
      continue;
    }
    ++armed.seen;
    if (armed.seen >= armed.spec.nth &&
        (armed.spec.persistent ||
         armed.seen < armed.spec.nth + armed.spec.count))
      hit = true;
  }
  if (hit) {
    ++faults.injected;
    noteSweepInjection();
  }
  return hit;
}

void HostState::violation(const std::string& text) {
  output.violations.push_back(text);
}

void HostState::audit(const std::string& context) {
  // Objects the plug-in left open: reported, then closed, so one leak is
  // reported once and does not block the opens that follow.
  std::vector<std::pair<Adesk::UInt64, std::string>> leftOpen;
  const std::vector<AcDbImpObject*> open(objects.open.begin(),
                                         objects.open.end());
  for (AcDbImpObject* imp : open) {
    std::string modes;
    const AcDbImpObject::OpenStack& opens = imp->activity->opens;
    for (std::size_t i = opens.size(); i-- > 0;) {
      if (opens[i].byHost) continue;
      std::string mode = modeName(opens[i].mode);
      if (!modes.empty()) mode += ", ";
      modes.insert(0, mode);
      imp->popAt(i);
    }
    noteClosed(*imp);
    if (modes.empty()) continue;
    std::string text = "after ";
    text.append(context).append(": object ").append(imp->describe());
    text.append(" left open for ").append(modes);
    leftOpen.emplace_back(imp->stub != nullptr ? imp->stub->handle : 0,
                          std::move(text));
  }
  std::sort(leftOpen.begin(), leftOpen.end());
  for (auto& entry : leftOpen) violation(entry.second);

  if (resbufs.liveCount() != 0) {
    violation("after " + context + ": " + std::to_string(resbufs.liveCount()) +
              " result-buffer item(s) not freed");
    resbufs.releaseAll();
  }

  if (!objects.fresh.empty()) {
    std::vector<std::string> kinds;
    for (AcDbImpObject* imp : objects.fresh) {
      kinds.push_back(imp->type);
      objects.leaked.insert(imp->self);
    }
    objects.fresh.clear();
    std::sort(kinds.begin(), kinds.end());
    for (const std::string& kind : kinds) {
      std::string text = "after ";
      text.append(context).append(": a new ").append(kind);
      violation(text.append(" was neither added to a drawing nor deleted"));
    }
  }
}

AcDbStub* HostState::resolve(AcDbObjectId id, Acad::ErrorStatus& status) const {
  if (id.isNull()) {
    status = Acad::eNullObjectId;
    return nullptr;
  }
  AcDbStub* stub = id.stub();
  if (!isKnownStub(stub) || stub->object == nullptr) {
    status = isKnownStub(stub) && stub->drawing->closed ? Acad::eDatabaseClosed
                                                        : Acad::eUnknownHandle;
    return nullptr;
  }
  status = Acad::eOk;
  return stub;
}

void HostState::reportClosedUse(const char* operation, const AcDbStub& stub) {
  violation(std::string(operation) + ": object " + hexText(stub.handle) +
            " of drawing " + stub.drawing->name + ", which was closed");
}

void HostState::reportClosedUse(const char* operation,
                                const AcDbImpDatabase& drawing) {
  violation(std::string(operation) + ": drawing " + drawing.name +
            ", which was closed");
}

void HostState::makeCurrent(AcDbImpDatabase* drawing) {
  if (drawings.current == drawing) return;
  drawings.current = drawing;
  if (drawing == nullptr) return;
  drawing->becameCurrentAt = ++drawings.currentChanges;
  AcDbDatabase* facade = drawing->facade.get();
  notifyEditor("documentBecameCurrent(" + drawing->name + ")",
               [&](AcEditorReactor* reactor) {
                 reactor->documentBecameCurrent(facade);
               });
}

void HostState::retireDrawing(AcDbImpDatabase& drawing) {
  for (AcDbStub& stub : drawing.stubs) {
    AcDbObject* object = stub.object;
    if (object == nullptr) continue;
    stub.object = nullptr;
    // Detached first, so that deleting it is not taken for a plug-in's
    // delete of an object that belongs to a drawing.
    object->impObject()->stub = nullptr;
    objects.open.erase(object->impObject());
    delete object;
  }
  drawing.closed = true;
  drawing.reactors.clear();
  drawing.byHandle.clear();
  drawing.fileDocument.reset();
  auto it = std::find_if(drawings.open.begin(), drawings.open.end(),
                         [&](const std::unique_ptr<AcDbImpDatabase>& d) {
                           return d.get() == &drawing;
                         });
  drawings.closed.push_back(std::move(*it));
  drawings.open.erase(it);
}

AcDbObject* HostState::createObject(const std::string& type) {
  // Compared in place, with no upper-case copy: every copy a command makes
  // passes here.
  const auto is = [&type](const char* upper) {
    return text::equalsIgnoringAsciiCase(type, std::string_view(upper));
  };
  if (is("LINE")) return new AcDbLine;
  if (is("CIRCLE")) return new AcDbCircle;
  if (is("ARC")) return new AcDbArc;
  if (is("POLYLINE")) return new AcDbPolyline;
  if (is("TEXT")) return new AcDbText;
  if (is("DICTIONARY")) return new AcDbDictionary;
  if (is("XRECORD")) return new AcDbXrecord;
  return nullptr;
}

AcDbStub* HostState::appendNew(AcDbImpDatabase& drawing, AcDbObject* object,
                               AcDbStub* ownerStub, bool announcedNext) {
  AcDbStub* stub = drawing.append(object, ownerStub);
  AcDbImpObject& imp = *object->impObject();
  objects.fresh.erase(&imp);
  // Every object starts in the set of new ones; one read from a file or
  // appended closed then needs its activity no more.
  if (!announcedNext) imp.dropIdleActivity();
  return stub;
}

Acad::ErrorStatus HostState::openObject(AcDbStub* stub, AcDb::OpenMode mode,
                                        bool openErased, bool byHost,
                                        AcDbObject*& out) {
  out = nullptr;
  if (stub == nullptr || stub->object == nullptr) return Acad::eUnknownHandle;
  AcDbImpObject& imp = *stub->object->impObject();
  if (imp.erased && !openErased) return Acad::eWasErased;
  switch (mode) {
    case AcDb::kForWrite:
      if (imp.writers() > 0) return Acad::eWasOpenForWrite;
      if (imp.readers() > 0) return Acad::eWasOpenForRead;
      break;
    case AcDb::kForRead:
      if (imp.writers() > 0) return Acad::eWasOpenForWrite;
      break;
    case AcDb::kForNotify:
      break;
    default:
      return Acad::eInvalidInput;
  }
  imp.push(mode, byHost);
  noteOpened(imp);
  out = stub->object;
  return Acad::eOk;
}

void HostState::hostClose(AcDbImpObject& imp) {
  const std::size_t count = imp.activity ? imp.activity->opens.size() : 0;
  for (std::size_t i = count; i-- > 0;) {
    if (imp.activity->opens[i].byHost) {
      imp.popAt(i);
      noteClosed(imp);
      return;
    }
  }
  violation("the host's own open of object " + imp.describe() +
            " was closed by someone else");
}

std::vector<XdataEntry> HostState::xdataFor(const AcDbImpObject& source,
                                            AcDbImpDatabase& target) {
  if (source.stub == nullptr || source.stub->drawing == &target)
    return source.xdata();
  std::vector<XdataEntry> copy = source.xdata();
  const AcDbImpDatabase& from = *source.stub->drawing;
  for (XdataEntry& block : copy)
    block.app = target.registerApp(from.regapps[block.app]);
  return copy;
}

dxf::TextEncoding fileEncodingOf(const AcDbImpDatabase& drawing) {
  return drawing.fileDocument ? drawing.fileDocument->encoding()
                              : dxf::Document().encoding();
}

KeptGroups HostState::extrasFor(const AcDbImpObject& source,
                                const AcDbImpDatabase& target) {
  if (source.stub == nullptr || source.stub->drawing == &target)
    return source.extras;
  return reencodeKept(source.extras, fileEncodingOf(*source.stub->drawing),
                      fileEncodingOf(target));
}

void HostState::announceAppended(AcDbImpDatabase& drawing, AcDbStub* stub) {
  AcDbObject* object = stub->object;
  AcDbImpObject& imp = *object->impObject();
  imp.push(AcDb::kForRead, true);
  noteOpened(imp);
  const AcDbDatabase* facade = drawing.facade.get();
  const Adesk::UInt64 handle = stub->handle;
  notifyDatabase(
      drawing, [handle] { return "objectAppended(" + hexText(handle) + ")"; },
      [&](AcDbDatabaseReactor* reactor) {
        reactor->objectAppended(facade, object);
      });
  hostClose(imp);
}

void HostState::announceModified(AcDbImpDatabase& drawing, AcDbStub* stub) {
  AcDbObject* object = stub->object;
  AcDbImpObject& imp = *object->impObject();
  imp.push(AcDb::kForWrite, true);
  noteOpened(imp);
  const AcDbDatabase* facade = drawing.facade.get();
  const Adesk::UInt64 handle = stub->handle;
  notifyDatabase(
      drawing, [handle] { return "objectModified(" + hexText(handle) + ")"; },
      [&](AcDbDatabaseReactor* reactor) {
        reactor->objectModified(facade, object);
      });
  hostClose(imp);
}

void HostState::announceErased(AcDbImpDatabase& drawing, AcDbStub* stub) {
  AcDbObject* object = stub->object;
  AcDbImpObject& imp = *object->impObject();
  imp.push(AcDb::kForNotify, true);
  noteOpened(imp);
  const AcDbDatabase* facade = drawing.facade.get();
  const bool erased = imp.erased;
  const Adesk::UInt64 handle = stub->handle;
  notifyDatabase(
      drawing, [handle] { return "objectErased(" + hexText(handle) + ")"; },
      [&](AcDbDatabaseReactor* reactor) {
        reactor->objectErased(facade, object, erased);
      });
  hostClose(imp);
}

const RegisteredCommandRecord* HostState::findCommand(
    const std::string& name) const {
  const std::string wanted = upperAscii(name);
  for (const RegisteredCommandRecord& command : commands.registered)
    if (upperAscii(toUtf8(command.globalName)) == wanted) return &command;
  return nullptr;
}

bool HostState::isStaleCommand(const std::string& name) const {
  return commands.everRegistered.count(upperAscii(name)) != 0 &&
         findCommand(name) == nullptr;
}

void HostState::print(const std::string& text) {
  for (char c : text) {
    if (c == '\n') {
      output.lines.push_back(output.pendingLine);
      output.pendingLine.clear();
    } else {
      output.pendingLine += c;
    }
  }
}

bool HostState::isModuleCode(const void* object) const {
  if (!plugin.module || plugin.module->base == nullptr || object == nullptr)
    return false;
  // The first word of a polymorphic object points into its class's vtable,
  // which lives in the library that defines the class.
  const void* vtable = *static_cast<const void* const*>(object);
  return moduleBaseOf(vtable) == plugin.module->base;
}

void HostState::detachModuleReactors(const std::string& when) {
  for (auto it = reactorsOfClosedDrawings.begin();
       it != reactorsOfClosedDrawings.end();) {
    if (!isModuleCode(it->first)) {
      ++it;
      continue;
    }
    violation("a database reactor of the plug-in outlived drawing " +
              it->second + " " + when);
    it = reactorsOfClosedDrawings.erase(it);
  }
  const std::vector<AcEditorReactor*> editorReactors = editor->reactors;
  for (AcEditorReactor* reactor : editorReactors) {
    if (!isModuleCode(reactor)) continue;
    violation("an editor reactor of the plug-in was still attached " + when);
    editor->detach(reactor);
  }
  forEachDrawing([&](AcDbImpDatabase& drawing) {
    const std::vector<AcDbDatabaseReactor*> list = drawing.reactors;
    for (AcDbDatabaseReactor* reactor : list) {
      if (!isModuleCode(reactor)) continue;
      violation("a database reactor of the plug-in was still attached to " +
                drawing.name + " " + when);
      drawing.reactors.erase(
          std::find(drawing.reactors.begin(), drawing.reactors.end(), reactor));
    }
  });
}

void HostState::removeModuleCommands() {
  if (!plugin.module) return;
  for (const std::string& name : plugin.module->commandNames) {
    auto it = std::find_if(
        commands.registered.begin(), commands.registered.end(),
        [&](const RegisteredCommandRecord& c) {
          return upperAscii(toUtf8(c.globalName)) == upperAscii(name);
        });
    if (it == commands.registered.end()) continue;
    violation("command " + name +
              " of the plug-in was still registered after it unloaded");
    commands.registered.erase(it);
  }
}

const void* moduleBaseOfAddress(const void* address) {
  return moduleBaseOf(address);
}

}  // namespace sim
