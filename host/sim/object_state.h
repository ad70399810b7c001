// What the host keeps for each object beside the plug-in's view of it, and
// the sets of open and of new objects.
#ifndef HOST_SIM_OBJECT_STATE_H
#define HOST_SIM_OBJECT_STATE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "host/api/host_api.h"
#include "host/sim/api/dictionary_entries.h"
#include "host/sim/drawing/kept_groups.h"
#include "host/sim/object_stubs.h"
#include "host/sim/stored_values.h"

class AcDbImpObject {
 public:
  struct OpenEntry {
    AcDb::OpenMode mode;
    bool byHost;
  };
  static constexpr std::size_t kNoPosition = ~std::size_t(0);

  // What only objects that were opened, cloned, made by a plug-in or are
  // xrecords or dictionaries use, made on first use: a drawing read from a file
  // holds mostly objects nobody opens, which then carry one null pointer for
  // it. An object's opens, most recent last. An object is seldom open more than
  // a few times at once, so those opens sit here and opening an object
  // costs no heap block beyond its activity: a vector cost every copied
  // object one more, and grew on its first open (about 260 instructions of
  // a watched copy's).
  class OpenStack {
   public:
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    OpenEntry& operator[](std::size_t i) {
      return i < kInline ? inline_[i] : more_[i - kInline];
    }
    const OpenEntry& operator[](std::size_t i) const {
      return i < kInline ? inline_[i] : more_[i - kInline];
    }
    OpenEntry& back() { return (*this)[size_ - 1]; }
    void push_back(OpenEntry entry) {
      if (size_ < kInline)
        inline_[size_] = entry;
      else
        more_.push_back(entry);
      ++size_;
    }
    void eraseAt(std::size_t index) {
      for (std::size_t i = index; i + 1 < size_; ++i)
        (*this)[i] = (*this)[i + 1];
      if (size_ > kInline) more_.pop_back();
      --size_;
    }

   private:
    static constexpr std::size_t kInline = 4;
    OpenEntry inline_[kInline];
    std::vector<OpenEntry> more_;
    std::size_t size_ = 0;
  };

  struct Activity {
    // Most recent last; close pops one. Counts avoid scans.
    OpenStack opens;
    unsigned readers = 0;
    unsigned writers = 0;
    unsigned notifiers = 0;
    // Where the object sits in the host's sets of open and of new objects.
    std::size_t openPosition = kNoPosition;
    std::size_t newPosition = kNoPosition;
    // This object's clone while a deep clone is under way, else null: how
    // the deep clone finds, in constant time, whether a reference names an
    // object it cloned.
    AcDbStub* cloneInProgress = nullptr;
    // Xrecord data, when the object is an xrecord.
    std::vector<sim::StoredItem> record;
    // Dictionary entries, when the object is a dictionary.
    sim::DictionaryEntries entries;
  };

  // The object's type name as an index into one table of the names seen, so
  // that each object spends four bytes on it instead of a string.
  class TypeName {
   public:
    TypeName() = default;
    TypeName(const std::string& name) : index_(indexOf(name)) {}
    TypeName(const char* name) : index_(indexOf(name)) {}
    const std::string& name() const { return nameAt(index_); }
    operator const std::string&() const { return name(); }
    bool operator==(const std::string& o) const { return name() == o; }
    bool operator!=(const std::string& o) const { return name() != o; }
    bool operator==(const char* o) const { return name() == o; }
    bool operator!=(const char* o) const { return name() != o; }

   private:
    static std::uint32_t indexOf(const std::string& name);
    static const std::string& nameAt(std::uint32_t index);
    std::uint32_t index_ = 0;  // 0 is the empty name
  };

  AcDbImpObject(AcDbObject* self, AcRxClass* kind);

  // What opening, closing and reading xdata touch comes first, so that an
  // open object costs as few cache lines as can be.
  AcDbObject* self;
  AcDbStub* stub = nullptr;  // null while the object is new

 private:
  mutable std::vector<sim::XdataEntry> xdata_;

 public:
  std::unique_ptr<Activity> activity;
  TypeName type;
  // Pieces and flags share four bytes: a large drawing's objects then take
  // 104 bytes, a heap block of 112, where 120 took one of 128.
  int pieces : 30;  // at most 100,000
  bool erased : 1;

 private:
  // Set while the xdata is still only groups of the kept text.
  mutable bool xdataInFile_ : 1;

 public:
  AcDbStub* owner = nullptr;
  AcDbStub* extensionDictionary = nullptr;
  // Group codes and texts the host does not model, kept to write them back.
  sim::KeptGroups extras;
  // An entity read from a file keeps its xdata as groups of its kept text
  // until the xdata is first read or changed, and decodes it then: most
  // are never read, and decoded items take more room than their text.
  const std::vector<sim::XdataEntry>& xdata() const {
    if (xdataInFile_) decodeXdata();
    return xdata_;
  }
  std::vector<sim::XdataEntry>& editXdata() {
    if (xdataInFile_) decodeXdata();
    return xdata_;
  }
  // For the loader, once the object is in its drawing and its kept text
  // holds xdata the loader checked.
  void keepXdataInFile() {
    xdata_.clear();
    xdataInFile_ = true;
  }
  bool xdataInFile() const { return xdataInFile_; }

  // The activity, made now if the object had none.
  Activity& active() {
    if (!activity) activity.reset(new Activity);
    return *activity;
  }
  bool isOpen() const { return activity && !activity->opens.empty(); }
  unsigned readers() const { return activity ? activity->readers : 0; }
  unsigned writers() const { return activity ? activity->writers : 0; }
  AcDbStub* cloneInProgress() const {
    return activity ? activity->cloneInProgress : nullptr;
  }
  const std::vector<sim::StoredItem>& record() const {
    static const std::vector<sim::StoredItem> kNone;
    return activity ? activity->record : kNone;
  }
  std::vector<sim::StoredItem>& editRecord() { return active().record; }
  const sim::DictionaryEntries& entries() const {
    static const sim::DictionaryEntries kNone;
    return activity ? activity->entries : kNone;
  }
  sim::DictionaryEntries& editEntries() { return active().entries; }
  void dropIdleActivity() {
    if (activity && activity->opens.empty() &&
        activity->openPosition == kNoPosition &&
        activity->newPosition == kNoPosition &&
        activity->cloneInProgress == nullptr && activity->record.empty() &&
        activity->entries.empty())
      activity.reset();
  }
  bool readEnabled() const { return stub == nullptr || isOpen(); }
  bool writeEnabled() const { return stub == nullptr || writers() > 0; }
  std::string describe() const;  // "2A (LINE)" for messages
  // Inline: every open and close passes here.
  void push(AcDb::OpenMode mode, bool byHost) {
    Activity& a = active();
    a.opens.push_back(OpenEntry{mode, byHost});
    if (mode == AcDb::kForRead) ++a.readers;
    if (mode == AcDb::kForWrite) ++a.writers;
    if (mode == AcDb::kForNotify) ++a.notifiers;
  }
  void popAt(std::size_t index) {
    Activity& a = *activity;
    const AcDb::OpenMode mode = a.opens[index].mode;
    if (mode == AcDb::kForRead) --a.readers;
    if (mode == AcDb::kForWrite) --a.writers;
    if (mode == AcDb::kForNotify) --a.notifiers;
    a.opens.eraseAt(index);
  }

 private:
  void decodeXdata() const;  // with the drawing file's reader
};

namespace sim {

// A set of objects that each keep their own place in it, so that adding and
// removing one costs neither a search nor a heap call: every open and close
// passes here. The order is not kept; readers sort what they report.
template <std::size_t AcDbImpObject::Activity::*Position>
class ObjectSet {
 public:
  using const_iterator = std::vector<AcDbImpObject*>::const_iterator;

  void insert(AcDbImpObject* object) {
    if (count(object) != 0) return;
    object->active().*Position = members_.size();
    members_.push_back(object);
  }
  void erase(AcDbImpObject* object) {
    if (count(object) == 0) return;
    const std::size_t position = object->activity.get()->*Position;
    members_[position] = members_.back();
    members_[position]->activity.get()->*Position = position;
    members_.pop_back();
    object->activity.get()->*Position = AcDbImpObject::kNoPosition;
  }
  // An object without activity is in no set.
  std::size_t count(const AcDbImpObject* object) const {
    if (!object->activity) return 0;
    const std::size_t position = object->activity.get()->*Position;
    return position < members_.size() && members_[position] == object ? 1 : 0;
  }
  void clear() {
    for (AcDbImpObject* object : members_)
      object->activity.get()->*Position = AcDbImpObject::kNoPosition;
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
  ObjectSet<&AcDbImpObject::Activity::openPosition> open;
  ObjectSet<&AcDbImpObject::Activity::newPosition> fresh;
  // New objects reported as leaked; deleted with the host unless the
  // plug-in does.
  std::unordered_set<AcDbObject*> leaked;
};

}  // namespace sim

#endif
