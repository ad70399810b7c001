// What the host keeps for one drawing: its objects by handle, registered
// applications, reactors and the file it came from.
#ifndef HOST_SIM_DRAWING_STATE_H
#define HOST_SIM_DRAWING_STATE_H

#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/api/host_api.h"
#include "host/sim/api/symbol_names.h"
#include "host/sim/handle_index.h"
#include "host/sim/object_stubs.h"

namespace dxf {
struct Document;
}  // namespace dxf

namespace sim {
class HostState;
}  // namespace sim

class AcDbImpDatabase {
 public:
  AcDbImpDatabase(sim::HostState& host, const std::string& name, long serial);
  ~AcDbImpDatabase();

  // Gives a new object its handle and makes it part of this drawing.
  AcDbStub* append(AcDbObject* object, AcDbStub* owner);
  AcDbStub* findHandle(Adesk::UInt64 handle) const;
  // The index of a registered application, or -1.
  long findRegapp(sim::NameView name) const;
  std::size_t registerApp(const AcWString& name);
  std::size_t registerApp(const ACHAR* name, std::size_t length);

  sim::HostState& host;
  std::string name;
  long serial;
  std::unique_ptr<AcDbDatabase> facade;
  sim::StubStore stubs;  // in order of creation
  // The stubs whose handle is not their place in stubs plus one (handles
  // read from a file), and any whose handle changed after it was appended.
  sim::HandleIndex byHandle;
  Adesk::UInt64 nextHandle = 1;
  // A deque, so that a name never moves and the index can hold views of it.
  std::deque<AcWString> regapps;
  // Registered name (a view of it in regapps) -> its place in regapps.
  std::unordered_map<sim::NameView, std::size_t, sim::FoldedHash,
                     sim::FoldedEqual>
      regappIndex;
  AcDbStub* namedObjects = nullptr;
  std::vector<AcDbDatabaseReactor*> reactors;
  // When the drawing last became current, to pick the next current one when
  // the current drawing closes.
  long becameCurrentAt = 0;
  // A closed drawing keeps its stubs and its facade, with every object
  // freed, so that a plug-in's later use of them is recognised and reported
  // rather than read as garbage.
  bool closed = false;
  // The DXF file this drawing was opened from or last saved to, less the
  // objects the host holds itself: what is written back as it came.
  std::shared_ptr<dxf::Document> fileDocument;
  // The version of a file older than AC1015 it was opened from, and that
  // file's path as the user gave it: its first save says it was upgraded.
  std::string upgradedFrom;
  std::string openedAs;
};

namespace sim {

// The host's drawings: the open ones and the current one among them, the
// closed ones, and the clipboard's.
struct DrawingList {
  std::vector<std::unique_ptr<AcDbImpDatabase>> open;
  // Kept with their stubs so that a plug-in's later use is reported.
  std::vector<std::unique_ptr<AcDbImpDatabase>> closed;
  AcDbImpDatabase* current = nullptr;
  // COPYCLIP's drawing: made on first use, never current, not among the
  // open ones. Its objects live as long as the host, so that references a
  // paste keeps into it never dangle; COPYCLIP erases what it held.
  std::unique_ptr<AcDbImpDatabase> clipboard;
  std::vector<AcDbStub*> clipboardContents;  // the last COPYCLIP's clones
  long nextSerial = 1;
  long currentChanges = 0;
};

}  // namespace sim

#endif
