#include "identity/entry_guard.h"

void reportEntryFailure(const ACHAR* entry, Acad::ErrorStatus status) {
  acutPrintf(ACRX_T("Failed: %s(%s).\n"), entry, acadErrorStatusText(status));
}
