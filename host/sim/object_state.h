// What the host keeps for each object beside the plug-in's view of it, and
// the sets of open and of new objects.
#ifndef HOST_SIM_OBJECT_STATE_H
#define HOST_SIM_OBJECT_STATE_H

#include <cstddef>
#include <string>
#include <unordered_set>
#include <vector>

#include "host/api/host_api.h"
#include "host/sim/dictionary_entries.h"
#include "host/sim/kept_groups.h"
#include "host/sim/stored_values.h"
#include "host/sim/stubs.h"

class AcDbImpObject {
 public:
  struct OpenEntry {
    AcDb::OpenMode mode;
    bool byHost;
  };

  AcDbImpObject(AcDbObject* self, AcRxClass* kind);

  // What opening, closing and reading xdata touch comes first, so that an
  // open object costs as few cache lines as can be.
  AcDbObject* self;
  AcDbStub* stub = nullptr;  // null while the object is new
  std::vector<sim::XdataEntry> xdata;
  // Most recent last; close pops one. Counts avoid scans.
  std::vector<OpenEntry> opens;
  unsigned readers = 0;
  unsigned writers = 0;
  unsigned notifiers = 0;
  bool erased = false;
  int pieces = 1;
  // Where the object sits in the host's sets of open and of new objects.
  std::size_t openPosition = kNoPosition;
  std::size_t newPosition = kNoPosition;
  static constexpr std::size_t kNoPosition = ~std::size_t(0);

  std::string type;
  AcDbStub* owner = nullptr;
  AcDbStub* extensionDictionary = nullptr;
  // This object's clone while a deep clone is under way, else null: how the
  // deep clone finds, in constant time, whether a reference names an object
  // it cloned.
  AcDbStub* cloneInProgress = nullptr;
  // Group codes and texts the host does not model, kept to write them back.
  sim::KeptGroups extras;
  // Dictionary entries, when the object is a dictionary.
  sim::DictionaryEntries entries;
  // Xrecord data, when the object is an xrecord.
  std::vector<sim::StoredItem> record;

  bool isOpen() const { return !opens.empty(); }
  bool readEnabled() const { return stub == nullptr || !opens.empty(); }
  bool writeEnabled() const { return stub == nullptr || writers > 0; }
  std::string describe() const;  // "2A (LINE)" for messages
  // Inline: every open and close passes here.
  void push(AcDb::OpenMode mode, bool byHost) {
    opens.push_back(OpenEntry{mode, byHost});
    if (mode == AcDb::kForRead) ++readers;
    if (mode == AcDb::kForWrite) ++writers;
    if (mode == AcDb::kForNotify) ++notifiers;
  }
  void popAt(std::size_t index) {
    const AcDb::OpenMode mode = opens[index].mode;
    if (mode == AcDb::kForRead) --readers;
    if (mode == AcDb::kForWrite) --writers;
    if (mode == AcDb::kForNotify) --notifiers;
    opens.erase(opens.begin() + static_cast<std::ptrdiff_t>(index));
  }
};

namespace sim {

// A set of objects that each keep their own place in it, so that adding and
// removing one costs neither a search nor a heap call: every open and close
// passes here. The order is not kept; readers sort what they report.
template <std::size_t AcDbImpObject::*Position>
class ObjectSet {
 public:
  using const_iterator = std::vector<AcDbImpObject*>::const_iterator;

  void insert(AcDbImpObject* object) {
    if (count(object) != 0) return;
    object->*Position = members_.size();
    members_.push_back(object);
  }
  void erase(AcDbImpObject* object) {
    if (count(object) == 0) return;
    const std::size_t position = object->*Position;
    members_[position] = members_.back();
    members_[position]->*Position = position;
    members_.pop_back();
    object->*Position = AcDbImpObject::kNoPosition;
  }
  std::size_t count(const AcDbImpObject* object) const {
    const std::size_t position = object->*Position;
    return position < members_.size() && members_[position] == object ? 1 : 0;
  }
  void clear() {
    for (AcDbImpObject* object : members_)
      object->*Position = AcDbImpObject::kNoPosition;
    members_.clear();
  }
  std::size_t size() const { return members_.size(); }
  bool empty() const { return members_.empty(); }
  const_iterator begin() const { return members_.begin(); }
  const_iterator end() const { return members_.end(); }

 private:
  std::vector<AcDbImpObject*> members_;
};

}  // namespace sim

namespace sim {

// The host's books on objects: which memory holds stubs, which objects are
// open, and which were made but not yet added to a drawing.
struct ObjectBook {
  StubRegistry stubs;
  ObjectSet<&AcDbImpObject::openPosition> open;
  ObjectSet<&AcDbImpObject::newPosition> fresh;
  // New objects reported as leaked; deleted with the host unless the
  // plug-in does.
  std::unordered_set<AcDbObject*> leaked;
};

}  // namespace sim

#endif
