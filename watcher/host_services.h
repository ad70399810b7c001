// Finding the host's services (editor, command stack, dynamic linker) in the
// runtime registry, checked by the host's own class test.
#ifndef WATCHER_HOST_SERVICES_H
#define WATCHER_HOST_SERVICES_H

#include "host/api/host_api.h"

// The registry entry under key if it is a T, otherwise null (also when the
// host has no registry or no such entry).
template <class T>
T* lookUpHostService(const ACHAR* key) {
  AcRxDictionary* registry = acrxSysRegistry();
  if (registry == NULL) return NULL;
  AcRxObject* entry = registry->at(key);
  if (entry == NULL) return NULL;
  const AcRxClass* kind = entry->isA();
  if (kind == NULL || !kind->isDerivedFrom(T::desc())) return NULL;
  return static_cast<T*>(entry);
}

#endif
