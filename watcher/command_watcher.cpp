// Flags are plain booleans, not counters: nested copy commands are rare, and
// the first to end switches copying off.
#include "watcher/command_watcher.h"

#include <string>

#include "watcher/host_services.h"

namespace {

enum WatchedCommand {
  kUnwatched,
  kForeignCopy,  // KL712_COPY: its deep clones are not ours to retag
  kCopyFamily,
  kExplode,
  kOffset
};

bool sameText(const ACHAR* a, const ACHAR* b) {
  typedef std::char_traits<ACHAR> Traits;
  std::size_t length = Traits::length(b);
  return Traits::length(a) == length && Traits::compare(a, b, length) == 0;
}

// Names compare whole, exactly and case-sensitively: "copy" and COPYCLIP are
// not COPY.
WatchedCommand watchedCommandOf(const ACHAR* name) {
  if (name == NULL) return kUnwatched;
  if (sameText(name, ACRX_T("KL712_COPY"))) return kForeignCopy;
  static const ACHAR* const kCopyFamilyNames[] = {
      ACRX_T("DROPGEOM"), ACRX_T("COPY"), ACRX_T("PASTECLIP"), ACRX_T("MIRROR"),
      ACRX_T("ARRAY")};
  for (std::size_t i = 0;
       i < sizeof kCopyFamilyNames / sizeof kCopyFamilyNames[0]; ++i)
    if (sameText(name, kCopyFamilyNames[i])) return kCopyFamily;
  if (sameText(name, ACRX_T("EXPLODE"))) return kExplode;
  if (sameText(name, ACRX_T("OFFSET"))) return kOffset;
  return kUnwatched;
}

AcDbDatabase* workingDrawing() {
  AcDbHostApplicationServices* services = acdbHostApplicationServices();
  return services != NULL ? services->workingDatabase() : NULL;
}

}  // namespace

QoRmEditReactor::QoRmEditReactor(bool attach)
    : attached(attach),
      attachedEditor(NULL),
      copyActive(false),
      explodeActive(false),
      lispActive(false),
      foreignCopyActive(false),
      offsetReactorsByDrawing(moduleOffsetReactors()) {
  if (!attach) return;
  AcEditor* editor = lookUpHostService<AcEditor>(ACRX_T("AcEditor"));
  if (editor != NULL) {
    editor->addReactor(this);
    attachedEditor = editor;
  } else {
    attached = false;
  }
}

QoRmEditReactor::~QoRmEditReactor() {
  if (attached) {
    AcEditor* editor = lookUpHostService<AcEditor>(ACRX_T("AcEditor"));
    if (editor == NULL) editor = attachedEditor;
    if (editor != NULL) editor->removeReactor(this);
  }
  offsetReactorsByDrawing.releaseAll();
}

void QoRmEditReactor::beginDeepClone(AcDbDatabase* /*to*/,
                                     AcDbIdMapping& /*idMap*/) {}

void QoRmEditReactor::endDeepClone(AcDbIdMapping& idMap) {
  if (!copyActive || foreignCopyActive || lispActive) return;
  guarded(ACRX_T("QoRmEditReactor::endDeepClone"), [this, &idMap] {
    AcDbIdMappingIter iter(idMap);
    for (iter.start(); !iter.done(); iter.next()) {
      AcDbIdPair pair;
      // A map may also name objects the clone only looked at (an owner, an
      // object a handle points to): they are no copies, and filing one
      // would take the original out of its part.
      if (iter.getMap(pair) && pair.isCloned())
        collectClone(pending, pair.key(), pair.value());
    }
    // EXPLODE keeps its groups until it ends, so that all the pieces it
    // makes from one part become one new part.
    if (!explodeActive) flushPendingGroups(pending);
  });
}

void QoRmEditReactor::commandWillStart(const ACHAR* cmdStr) {
  guarded(ACRX_T("QoRmEditReactor::commandWillStart"),
          [this, cmdStr] { commandStarting(cmdStr); });
}

void QoRmEditReactor::commandStarting(const ACHAR* cmdStr) {
  switch (watchedCommandOf(cmdStr)) {
    case kForeignCopy:
      foreignCopyActive = true;
      break;
    case kCopyFamily:
      copyActive = true;
      break;
    case kExplode:
      copyActive = true;
      explodeActive = true;
      break;
    case kOffset:
      offsetReactorsByDrawing.attachTo(workingDrawing());
      break;
    case kUnwatched:
      break;
  }
}

void QoRmEditReactor::commandEnded(const ACHAR* cmdStr) {
  if (watchedCommandOf(cmdStr) == kExplode) {
    // The command is over whatever its flush comes to.
    const bool flush = explodeActive && !lispActive;
    copyActive = false;
    explodeActive = false;
    // Under LISP the groups wait for the next flush outside it.
    if (flush)
      guarded(ACRX_T("QoRmEditReactor::commandEnded"),
              [this] { flushPendingGroups(pending); });
    return;
  }
  guarded(ACRX_T("QoRmEditReactor::commandEnded"),
          [this, cmdStr] { commandStopped(cmdStr); });
}

void QoRmEditReactor::commandCancelled(const ACHAR* cmdStr) {
  guarded(ACRX_T("QoRmEditReactor::commandCancelled"),
          [this, cmdStr] { commandStopped(cmdStr); });
}

void QoRmEditReactor::commandFailed(const ACHAR* cmdStr) {
  guarded(ACRX_T("QoRmEditReactor::commandFailed"),
          [this, cmdStr] { commandStopped(cmdStr); });
}

void QoRmEditReactor::commandStopped(const ACHAR* cmdStr) {
  switch (watchedCommandOf(cmdStr)) {
    case kForeignCopy:
      foreignCopyActive = false;
      break;
    case kCopyFamily:
      copyActive = false;
      break;
    case kExplode:
      // Groups gathered so far stay pending for the next flush.
      copyActive = false;
      explodeActive = false;
      break;
    case kOffset:
      offsetReactorsByDrawing.releaseForEndedOffset(workingDrawing());
      break;
    case kUnwatched:
      break;
  }
}

void QoRmEditReactor::databaseToBeDestroyed(AcDbDatabase* dwg) {
  if (dwg == NULL) return;
  // Nothing may point into the closing drawing afterwards: should refiling
  // the other drawings' clones fail, every pending clone is dropped.
  guarded(ACRX_T("QoRmEditReactor::databaseToBeDestroyed"),
          [this, dwg] { dropClonesOf(pending, dwg); });
  offsetReactorsByDrawing.releaseClosing(dwg);
}

void QoRmEditReactor::lispWillStart(const ACHAR* /*firstLine*/) {
  lispActive = true;
}

void QoRmEditReactor::lispEnded() { lispStopped(); }

void QoRmEditReactor::lispCancelled() { lispStopped(); }

void QoRmEditReactor::lispStopped() { lispActive = false; }
