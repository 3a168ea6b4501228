// The platform's critical section: a lock that the thread holding it may enter again.
#pragma once

#include <atomic>
#include <mutex>

#include "platform/win/WinTypes.h"

struct CRITICAL_SECTION {
  std::recursive_mutex mutex;
  std::atomic<DWORD> owner{0};  // thread id of the holder, 0 when free
  Integer recursion = 0;        // touched only by the holder
};

// A CRITICAL_SECTION is ready once constructed; InitializeCriticalSection is kept for
// the platform's call order and checks that the section is free.
void InitializeCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
// Leaving a section the calling thread does not hold does nothing.
void LeaveCriticalSection(CRITICAL_SECTION* section);
BOOL TryEnterCriticalSection(CRITICAL_SECTION* section);
