// The runtime class system, the base of every host object, and the runtime
// registry through which a plug-in finds the editor, the command stack and
// the dynamic linker.
#ifndef HOST_API_RUNTIME_H
#define HOST_API_RUNTIME_H

#include "host/api/text.h"

class AcRxObject;

// One class of the host's own type system; plug-ins test kinds with
// isA()->isDerivedFrom(X::desc()) instead of language RTTI.
class SIMHOST_API AcRxClass {
 public:
  AcRxClass(const ACHAR* name, AcRxClass* parent);
  const ACHAR* name() const;
  AcRxClass* myParent() const;
  bool isDerivedFrom(const AcRxClass* other) const;

 private:
  const ACHAR* name_;
  AcRxClass* parent_;
};

// A null result from cast() means the object is not of that class. CLASS is
// a type name, which no parentheses may enclose.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define ACRX_DECLARE_MEMBERS(CLASS)                                \
  static AcRxClass* desc();                                        \
  AcRxClass* isA() const override;                                 \
  static CLASS* cast(const AcRxObject* obj) {                      \
    return (obj != NULL && obj->isKindOf(CLASS::desc()))           \
               ? static_cast<CLASS*>(const_cast<AcRxObject*>(obj)) \
               : NULL;                                             \
  }
// NOLINTEND(bugprone-macro-parentheses)

class SIMHOST_API AcRxObject {
 public:
  virtual ~AcRxObject();
  static AcRxClass* desc();
  virtual AcRxClass* isA() const;
  bool isKindOf(const AcRxClass* cls) const;
};

// Key to object map of the runtime; entries belong to the host.
class SIMHOST_API AcRxDictionary : public AcRxObject {
 public:
  ACRX_DECLARE_MEMBERS(AcRxDictionary);
  virtual AcRxObject* at(const ACHAR* key) const = 0;
};

SIMHOST_API AcRxDictionary* acrxSysRegistry();

namespace AcRx {
enum AppMsgCode { kNullMsg = 0, kInitAppMsg = 1, kUnloadAppMsg = 2 };
enum AppRetCode { kRetOK = 0, kRetError = 3 };
}  // namespace AcRx

#endif
