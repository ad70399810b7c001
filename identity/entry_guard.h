// The fence around every entry from the host: whatever the module's work
// throws (a failed allocation, mostly) ends there, so no exception of the
// module's ever unwinds through the host.
#ifndef IDENTITY_ENTRY_GUARD_H
#define IDENTITY_ENTRY_GUARD_H

#include <new>

#include "host/api/host_api.h"

// "Failed: ENTRY(STATUS).", in the style of the module's other failure lines.
void reportEntryFailure(const ACHAR* entry, Acad::ErrorStatus status);

// Runs work and returns true when it finished. Anything it throws is caught
// and reported with one line naming entry; the work itself leaves the
// drawing as its all-or-nothing rules say.
template <typename Work>
bool guardEntry(const ACHAR* entry, Work work) {
  try {
    work();
    return true;
  } catch (const std::bad_alloc&) {
    reportEntryFailure(entry, Acad::eOutOfMemory);
  } catch (...) {
    reportEntryFailure(entry, Acad::eNotApplicable);
  }
  return false;
}

// Closes an object opened within one routine when the routine leaves, by
// return or by exception, unless it was handed on.
class ClosedOnExit {
 public:
  explicit ClosedOnExit(AcDbObject* object) : object_(object) {}
  ~ClosedOnExit() {
    if (object_ != NULL) object_->close();
  }
  // Closes it now.
  void close() {
    if (object_ != NULL) object_->close();
    object_ = NULL;
  }

 private:
  ClosedOnExit(const ClosedOnExit&);
  ClosedOnExit& operator=(const ClosedOnExit&);

  AcDbObject* object_;
};

// Frees a result-buffer chain when the routine leaves, unless taken.
class ChainFreedOnExit {
 public:
  explicit ChainFreedOnExit(resbuf* chain) : chain_(chain) {}
  ~ChainFreedOnExit() {
    if (chain_ != NULL) acutRelRb(chain_);
  }
  resbuf* get() const { return chain_; }
  resbuf* take() {
    resbuf* chain = chain_;
    chain_ = NULL;
    return chain;
  }

 private:
  ChainFreedOnExit(const ChainFreedOnExit&);
  ChainFreedOnExit& operator=(const ChainFreedOnExit&);

  resbuf* chain_;
};

#endif
