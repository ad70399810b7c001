// The map of (source, clone) id pairs that a deep clone produces.
#ifndef HOST_API_ID_MAPPING_H
#define HOST_API_ID_MAPPING_H

#include <vector>

#include "ids.h"

class AcDbDatabase;

class AcDbIdPair {
 public:
  AcDbIdPair() : mKey(), mValue(), mIsCloned(false), mIsPrimary(false) {}
  AcDbIdPair(AcDbObjectId key, AcDbObjectId value, bool isCloned,
             bool isPrimary = false)
      : mKey(key), mValue(value), mIsCloned(isCloned), mIsPrimary(isPrimary) {}
  AcDbObjectId key() const { return mKey; }      // the source
  AcDbObjectId value() const { return mValue; }  // its clone
  bool isCloned() const { return mIsCloned; }
  // True for an object the user selected; false for one cloned because a
  // selected object owns it (an extension dictionary and what it holds).
  bool isPrimary() const { return mIsPrimary; }

 private:
  AcDbObjectId mKey;
  AcDbObjectId mValue;
  bool mIsCloned;
  bool mIsPrimary;
};

class AcDbIdMapping {
 public:
  AcDbIdMapping() : mDestDb(NULL) {}
  void assign(const AcDbIdPair& pair) { mPairs.push_back(pair); }
  int size() const { return static_cast<int>(mPairs.size()); }
  AcDbDatabase* destDb() const { return mDestDb; }
  void setDestDb(AcDbDatabase* db) { mDestDb = db; }
  const AcDbIdPair& pairAt(int i) const {
    return mPairs[static_cast<std::size_t>(i)];
  }

 private:
  std::vector<AcDbIdPair> mPairs;
  AcDbDatabase* mDestDb;
};

class AcDbIdMappingIter {
 public:
  explicit AcDbIdMappingIter(const AcDbIdMapping& map) : mMap(map), mIndex(0) {}
  void start() { mIndex = 0; }
  bool done() const { return mIndex >= mMap.size(); }
  bool getMap(AcDbIdPair& pair) const {
    if (done()) return false;
    pair = mMap.pairAt(mIndex);
    return true;
  }
  bool next() {
    if (!done()) ++mIndex;
    return !done();
  }

 private:
  const AcDbIdMapping& mMap;
  int mIndex;
};

#endif
