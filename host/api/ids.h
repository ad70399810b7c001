// Object ids, id arrays and handles: how a plug-in names drawing objects.
#ifndef HOST_API_IDS_H
#define HOST_API_IDS_H

#include <cstddef>
#include <vector>

#include "host/api/text.h"

// The host's record of one object; opaque to plug-ins.
class AcDbStub;
class AcDbDatabase;

class AcDbObjectId {
 public:
  AcDbObjectId() : stub_(NULL) {}
  explicit AcDbObjectId(AcDbStub* stub) : stub_(stub) {}
  bool isNull() const { return stub_ == NULL; }
  void setNull() { stub_ = NULL; }
  AcDbStub* stub() const { return stub_; }
  // The drawing the id belongs to, found without opening the object; null for
  // a null id and for an id of a drawing that was closed.
  SIMHOST_API AcDbDatabase* database() const;
  bool operator==(const AcDbObjectId& o) const { return stub_ == o.stub_; }
  bool operator!=(const AcDbObjectId& o) const { return stub_ != o.stub_; }
  bool operator<(const AcDbObjectId& o) const { return stub_ < o.stub_; }

 private:
  AcDbStub* stub_;
};

// Ordered, growable array copied by value, as the platform's own.
template <typename T>
class AcArray {
 public:
  AcArray() {}
  int length() const { return static_cast<int>(items_.size()); }
  int logicalLength() const { return length(); }
  bool isEmpty() const { return items_.empty(); }
  AcArray& append(const T& item) {
    items_.push_back(item);
    return *this;
  }
  const T& at(int i) const { return items_[static_cast<std::size_t>(i)]; }
  T& at(int i) { return items_[static_cast<std::size_t>(i)]; }
  const T& operator[](int i) const { return at(i); }
  T& operator[](int i) { return at(i); }
  bool contains(const T& item) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
      if (items_[i] == item) return true;
    return false;
  }
  AcArray& removeAll() {
    items_.clear();
    return *this;
  }
  void setPhysicalLength(int n) { items_.reserve(static_cast<std::size_t>(n)); }
  const T* asArrayPtr() const { return items_.empty() ? NULL : &items_[0]; }

 private:
  std::vector<T> items_;
};

typedef AcArray<AcDbObjectId> AcDbObjectIdArray;

// Persistent 64-bit object identifier, unique within one drawing.
class AcDbHandle {
 public:
  AcDbHandle() : value_(0) {}
  explicit AcDbHandle(Adesk::UInt64 value) : value_(value) {}
  bool isNull() const { return value_ == 0; }
  Adesk::UInt64 value() const { return value_; }
  // Upper-case hexadecimal without leading zeros ("0" for the null handle);
  // at most 16 digits and the terminator. False if the buffer is too small.
  bool getIntoAsciiBuffer(ACHAR* buffer, std::size_t bufferLength = 17) const {
    static const char kDigits[] = "0123456789ABCDEF";
    ACHAR digits[16];
    std::size_t count = 0;
    Adesk::UInt64 v = value_;
    do {
      digits[count++] = static_cast<ACHAR>(kDigits[v & 0xF]);
      v >>= 4;
    } while (v != 0);
    if (buffer == NULL || bufferLength < count + 1) return false;
    for (std::size_t i = 0; i < count; ++i) buffer[i] = digits[count - 1 - i];
    buffer[count] = 0;
    return true;
  }
  bool operator==(const AcDbHandle& o) const { return value_ == o.value_; }
  bool operator!=(const AcDbHandle& o) const { return value_ != o.value_; }

 private:
  Adesk::UInt64 value_;
};

#endif
