#include "identity/offset_reactor.h"

#include "identity/part_tag.h"

AsdkDbReactor::~AsdkDbReactor() {}

void AsdkDbReactor::objectAppended(const AcDbDatabase* /*dwg*/,
                                   const AcDbObject* obj) {
  if (obj == NULL) return;
  const AcRxClass* kind = obj->isA();
  if (kind == NULL || !kind->isDerivedFrom(AcDbEntity::desc())) return;
  AcWString tag = partTagOf(obj);
  if (tag.empty()) return;
  // The host hands the object over open and closes it afterwards; it may
  // already be open for write, so upgradeOpen's answer decides nothing and
  // setXData reports for itself.
  AcDbObject* entity = const_cast<AcDbObject*>(obj);
  entity->upgradeOpen();
  resbuf* removal = acutBuildList(1001, tag.c_str(), RTNONE);
  if (removal == NULL) return;
  entity->setXData(removal);
  acutRelRb(removal);
}
