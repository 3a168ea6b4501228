#include "platform/win/CriticalSection.h"

#include <cassert>

#include "platform/win/Messages.h"

void InitializeCriticalSection(CRITICAL_SECTION* section) {
  assert(section->owner.load() == 0 && "InitializeCriticalSection on a section that is held");
  (void)section;
}

void DeleteCriticalSection(CRITICAL_SECTION* section) {
  assert(section->owner.load() == 0 && "DeleteCriticalSection on a section that is held");
  (void)section;
}

void EnterCriticalSection(CRITICAL_SECTION* section) {
  section->mutex.lock();
  section->owner.store(GetCurrentThreadId());
  ++section->recursion;
}

void LeaveCriticalSection(CRITICAL_SECTION* section) {
  if (section->owner.load() != GetCurrentThreadId()) return;
  if (--section->recursion == 0) section->owner.store(0);
  section->mutex.unlock();
}

BOOL TryEnterCriticalSection(CRITICAL_SECTION* section) {
  if (!section->mutex.try_lock()) return FALSE;
  section->owner.store(GetCurrentThreadId());
  ++section->recursion;
  return TRUE;
}
