// Object ids, id arrays and handles: how a plug-in names drawing objects.
#ifndef HOST_API_IDS_H
#define HOST_API_IDS_H

#include <cstddef>
#include <vector>

#include "text.h"

// The host's record of one object; opaque to plug-ins.
class AcDbStub;
class AcDbDatabase;

class AcDbObjectId {
 public:
  AcDbObjectId() : mStub(NULL) {}
  explicit AcDbObjectId(AcDbStub* stub) : mStub(stub) {}
  bool isNull() const { return mStub == NULL; }
  void setNull() { mStub = NULL; }
  AcDbStub* stub() const { return mStub; }
  // The drawing the id belongs to, found without opening the object; null for
  // a null id and for an id of a drawing that was closed.
  SIMHOST_API AcDbDatabase* database() const;
  bool operator==(const AcDbObjectId& o) const { return mStub == o.mStub; }
  bool operator!=(const AcDbObjectId& o) const { return mStub != o.mStub; }
  bool operator<(const AcDbObjectId& o) const { return mStub < o.mStub; }

 private:
  AcDbStub* mStub;
};

// Ordered, growable array copied by value, as the platform's own.
template <typename T>
class AcArray {
 public:
  AcArray() {}
  int length() const { return static_cast<int>(mItems.size()); }
  int logicalLength() const { return length(); }
  bool isEmpty() const { return mItems.empty(); }
  AcArray& append(const T& item) {
    mItems.push_back(item);
    return *this;
  }
  const T& at(int i) const { return mItems[static_cast<std::size_t>(i)]; }
  T& at(int i) { return mItems[static_cast<std::size_t>(i)]; }
  const T& operator[](int i) const { return at(i); }
  T& operator[](int i) { return at(i); }
  bool contains(const T& item) const {
    for (std::size_t i = 0; i < mItems.size(); ++i)
      if (mItems[i] == item) return true;
    return false;
  }
  AcArray& removeAll() {
    mItems.clear();
    return *this;
  }
  void setPhysicalLength(int n) { mItems.reserve(static_cast<std::size_t>(n)); }
  const T* asArrayPtr() const { return mItems.empty() ? NULL : &mItems[0]; }

 private:
  std::vector<T> mItems;
};

typedef AcArray<AcDbObjectId> AcDbObjectIdArray;

// Persistent 64-bit object identifier, unique within one drawing.
class AcDbHandle {
 public:
  AcDbHandle() : mValue(0) {}
  explicit AcDbHandle(Adesk::UInt64 value) : mValue(value) {}
  bool isNull() const { return mValue == 0; }
  Adesk::UInt64 value() const { return mValue; }
  // Upper-case hexadecimal without leading zeros ("0" for the null handle);
  // at most 16 digits and the terminator. False if the buffer is too small.
  bool getIntoAsciiBuffer(ACHAR* buffer, std::size_t bufferLength = 17) const {
    static const char kDigits[] = "0123456789ABCDEF";
    ACHAR digits[16];
    std::size_t count = 0;
    Adesk::UInt64 v = mValue;
    do {
      digits[count++] = static_cast<ACHAR>(kDigits[v & 0xF]);
      v >>= 4;
    } while (v != 0);
    if (buffer == NULL || bufferLength < count + 1) return false;
    for (std::size_t i = 0; i < count; ++i) buffer[i] = digits[count - 1 - i];
    buffer[count] = 0;
    return true;
  }
  bool operator==(const AcDbHandle& o) const { return mValue == o.mValue; }
  bool operator!=(const AcDbHandle& o) const { return mValue != o.mValue; }

 private:
  Adesk::UInt64 mValue;
};

#endif
