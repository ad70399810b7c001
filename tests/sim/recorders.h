// Reactors for the host's contract tests that write what they are told into
// a shared log, and can be given extra work to do while being told.
#ifndef TESTS_SIM_RECORDERS_H
#define TESTS_SIM_RECORDERS_H

#include <functional>
#include <string>
#include <vector>

#include "tests/support/host_test.h"

using EventLog = std::vector<std::string>;

inline AcEditor* theEditor() {
  return AcEditor::cast(acrxSysRegistry()->at(ACRX_T("AcEditor")));
}

class RecordingEditorReactor : public AcEditorReactor {
 public:
  RecordingEditorReactor(std::string name, EventLog& log)
      : name_(std::move(name)), log_(log) {}

  void commandWillStart(const ACHAR* cmd) override {
    note("willStart " + U8(cmd));
    if (onWillStart) onWillStart();
  }
  void commandEnded(const ACHAR* cmd) override {
    note("ended " + U8(cmd));
    if (onEnded) onEnded();
  }
  void commandCancelled(const ACHAR* cmd) override {
    note("cancelled " + U8(cmd));
  }
  void commandFailed(const ACHAR* cmd) override { note("failed " + U8(cmd)); }
  void beginDeepClone(AcDbDatabase* to, AcDbIdMapping& map) override {
    note("beginDeepClone");
    if (onBeginDeepClone) onBeginDeepClone(to, map);
  }
  void endDeepClone(AcDbIdMapping& map) override {
    note("endDeepClone " + std::to_string(map.size()));
    maps.push_back(map);
    if (onEndDeepClone) onEndDeepClone(map);
  }
  void lispWillStart(const ACHAR* line) override {
    note("lispWillStart " + U8(line));
  }
  void lispEnded() override { note("lispEnded"); }
  void lispCancelled() override { note("lispCancelled"); }
  void documentBecameCurrent(AcDbDatabase*) override {
    note("documentBecameCurrent");
  }
  void databaseToBeDestroyed(AcDbDatabase* dwg) override {
    note("databaseToBeDestroyed");
    if (onToBeDestroyed) onToBeDestroyed(dwg);
  }

  // Extra work done while being told, after the note.
  std::function<void()> onWillStart;
  std::function<void()> onEnded;
  std::function<void(AcDbDatabase*, AcDbIdMapping&)> onBeginDeepClone;
  std::function<void(AcDbIdMapping&)> onEndDeepClone;
  std::function<void(AcDbDatabase*)> onToBeDestroyed;
  std::vector<AcDbIdMapping> maps;

 private:
  void note(const std::string& what) {
    log_.push_back(name_.empty() ? what : name_ + ":" + what);
  }
  std::string name_;
  EventLog& log_;
};

class RecordingDatabaseReactor : public AcDbDatabaseReactor {
 public:
  explicit RecordingDatabaseReactor(EventLog& log) : log_(log) {}

  void objectAppended(const AcDbDatabase*, const AcDbObject* obj) override {
    log_.push_back("appended " + handleOf(obj));
    appended.push_back(obj->objectId());
    if (onAppended) onAppended(const_cast<AcDbObject*>(obj));
  }
  void objectModified(const AcDbDatabase*, const AcDbObject* obj) override {
    log_.push_back("modified " + handleOf(obj));
  }
  void objectErased(const AcDbDatabase*, const AcDbObject* obj,
                    bool erased) override {
    log_.push_back(std::string(erased ? "erased " : "unerased ") +
                   handleOf(obj));
  }
  void goodbye(const AcDbDatabase* dwg) override {
    log_.push_back("goodbye");
    if (onGoodbye) onGoodbye(dwg);
  }

  std::function<void(AcDbObject*)> onAppended;
  std::function<void(const AcDbDatabase*)> onGoodbye;
  std::vector<AcDbObjectId> appended;

 private:
  static std::string handleOf(const AcDbObject* obj) {
    AcDbHandle handle;
    obj->getAcDbHandle(handle);
    ACHAR text[17];
    handle.getIntoAsciiBuffer(text);
    return U8(text);
  }
  EventLog& log_;
};

#endif
