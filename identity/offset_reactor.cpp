#include "identity/offset_reactor.h"

#include "identity/entry_guard.h"
#include "identity/part_tag.h"

AsdkDbReactor::~AsdkDbReactor() {}

void AsdkDbReactor::objectAppended(const AcDbDatabase* /*dwg*/,
                                   const AcDbObject* obj) {
  if (obj == NULL || state_ != kServing) return;
  const AcRxClass* kind = obj->isA();
  if (kind == NULL || !kind->isDerivedFrom(AcDbEntity::desc())) return;
  guardEntry(ACRX_T("AsdkDbReactor::objectAppended"), [obj] {
    AcWString tag = partTagOf(obj);
    if (tag.empty()) return;
    // The host hands the object over open and closes it afterwards. It may
    // already be open for write, which upgradeOpen reports as a failure;
    // what counts is whether the object can be written now. Writing one
    // that is still open for read only would be a misuse of the host.
    AcDbObject* entity = const_cast<AcDbObject*>(obj);
    entity->upgradeOpen();
    if (!entity->isWriteEnabled()) return;
    resbuf* removal = acutBuildList(1001, tag.c_str(), RTNONE);
    if (removal == NULL) return;
    entity->setXData(removal);
    acutRelRb(removal);
  });
}

void AsdkDbReactor::goodbye(const AcDbDatabase* dwg) {
  state_ = kLetGo;
  if (dwg != NULL) dwg->removeReactor(this);
}
