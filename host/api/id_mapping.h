// The map of (source, clone) id pairs that a deep clone produces.
#ifndef HOST_API_ID_MAPPING_H
#define HOST_API_ID_MAPPING_H

#include <vector>

#include "host/api/ids.h"

class AcDbDatabase;

class AcDbIdPair {
 public:
  AcDbIdPair() : key_(), value_(), isCloned_(false), isPrimary_(false) {}
  AcDbIdPair(AcDbObjectId key, AcDbObjectId value, bool isCloned,
             bool isPrimary = false)
      : key_(key), value_(value), isCloned_(isCloned), isPrimary_(isPrimary) {}
  AcDbObjectId key() const { return key_; }      // the source
  AcDbObjectId value() const { return value_; }  // its clone
  bool isCloned() const { return isCloned_; }
  // True for an object the user selected; false for one cloned because a
  // selected object owns it (an extension dictionary and what it holds).
  bool isPrimary() const { return isPrimary_; }

 private:
  AcDbObjectId key_;
  AcDbObjectId value_;
  bool isCloned_;
  bool isPrimary_;
};

class AcDbIdMapping {
 public:
  AcDbIdMapping() : destDb_(NULL) {}
  void assign(const AcDbIdPair& pair) { pairs_.push_back(pair); }
  int size() const { return static_cast<int>(pairs_.size()); }
  AcDbDatabase* destDb() const { return destDb_; }
  void setDestDb(AcDbDatabase* db) { destDb_ = db; }
  const AcDbIdPair& pairAt(int i) const {
    return pairs_[static_cast<std::size_t>(i)];
  }

 private:
  std::vector<AcDbIdPair> pairs_;
  AcDbDatabase* destDb_;
};

class AcDbIdMappingIter {
 public:
  explicit AcDbIdMappingIter(const AcDbIdMapping& map) : map_(map), index_(0) {}
  void start() { index_ = 0; }
  bool done() const { return index_ >= map_.size(); }
  bool getMap(AcDbIdPair& pair) const {
    if (done()) return false;
    pair = map_.pairAt(index_);
    return true;
  }
  bool next() {
    if (!done()) ++index_;
    return !done();
  }

 private:
  const AcDbIdMapping& map_;
  int index_;
};

#endif
