// The command watcher: an editor reactor that follows the watched commands,
// LISP evaluation and deep clones, turns the copies of tagged objects into
// new parts, and strips part tags from what OFFSET makes.
#ifndef WATCHER_COMMAND_WATCHER_H
#define WATCHER_COMMAND_WATCHER_H

#include "host/api/host_api.h"
#include "identity/entry_guard.h"
#include "watcher/offset_reactors.h"
#include "watcher/pending_groups.h"

class QoRmEditReactor : public AcEditorReactor {
 public:
  // With attach, adds itself to the host's editor (if the host has one).
  explicit QoRmEditReactor(bool attach);
  // Leaves the editor, detaches and destroys every offset reactor the host
  // lets go of, and discards pending groups without retagging them.
  ~QoRmEditReactor() override;

  void beginDeepClone(AcDbDatabase* to, AcDbIdMapping& idMap) override;
  void endDeepClone(AcDbIdMapping& idMap) override;
  void commandWillStart(const ACHAR* cmdStr) override;
  void commandEnded(const ACHAR* cmdStr) override;
  void commandCancelled(const ACHAR* cmdStr) override;
  void commandFailed(const ACHAR* cmdStr) override;
  void lispWillStart(const ACHAR* firstLine) override;
  void lispEnded() override;
  void lispCancelled() override;
  // A drawing is closing: its pending clones are forgotten and its offset
  // reactor goes, so nothing held points into it afterwards.
  void databaseToBeDestroyed(AcDbDatabase* dwg) override;

  bool isAttached() const { return attached; }
  bool isCopyActive() const { return copyActive; }
  bool isExplodeActive() const { return explodeActive; }
  bool isLispActive() const { return lispActive; }
  bool isForeignCopyActive() const { return foreignCopyActive; }
  const PendingGroupList& pendingGroups() const { return pending; }
  const OffsetReactorHolding& offsetReactors() const {
    return offsetReactorsByDrawing;
  }

 private:
  QoRmEditReactor(const QoRmEditReactor&);
  QoRmEditReactor& operator=(const QoRmEditReactor&);

  void commandStarting(const ACHAR* cmdStr);
  // What ending (but for EXPLODE), cancelling and failing have in common.
  void commandStopped(const ACHAR* cmdStr);
  // What ending and cancelling a LISP evaluation have in common.
  void lispStopped();
  // Runs a notification's work. Should it throw, one line names the
  // notification and the pending groups are dropped: their clones stay in
  // their sources' parts, and the next command starts from a clean list.
  template <typename Work>
  void guarded(const ACHAR* entry, Work work) {
    if (!guardEntry(entry, work)) PendingGroupList().swap(pending);
  }

  // The watcher's fields keep the names its description gives them.
  // NOLINTBEGIN(readability-identifier-naming)
  bool attached;  // registered with the editor
  // The editor it was added to: if the registry cannot name the editor at
  // destruction, this one still must let go of the watcher before it dies.
  AcEditor* attachedEditor;
  bool copyActive;         // a copy-family command runs
  bool explodeActive;      // EXPLODE runs
  bool lispActive;         // a LISP expression is being evaluated
  bool foreignCopyActive;  // KL712_COPY runs
  PendingGroupList pending;
  // The module's offset reactors, through which OFFSETs are served.
  OffsetReactorHolding& offsetReactorsByDrawing;
  // NOLINTEND(readability-identifier-naming)
};

#endif
