// Shared by the sources of the socket unit only; not part of its interface.
#pragma once

#include "platform/win/CriticalSection.h"

namespace wsocket_internal {

// Guards the module handles, the cached entries, WSocketGCount and WSocketGForced.
// Taken before the window-class lock when both are held.
CRITICAL_SECTION& WinsockLock();
// Guards the registration of the sockets' window class.
CRITICAL_SECTION& WindowClassLock();
// True while "wsock32.dll" is loaded and started.
bool WinsockLoaded();

class Lock {
 public:
  explicit Lock(CRITICAL_SECTION& section) : section_(section) { EnterCriticalSection(&section_); }
  ~Lock() { LeaveCriticalSection(&section_); }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;

 private:
  CRITICAL_SECTION& section_;
};

// Holds one count of WSocketGCount for its lifetime.
class CountHold {
 public:
  CountHold();
  ~CountHold();
  CountHold(const CountHold&) = delete;
  CountHold& operator=(const CountHold&) = delete;
};

}  // namespace wsocket_internal
