// The calling thread's last error number.
#include "platform/win/WinTypes.h"

namespace {
thread_local DWORD tLastError = ERROR_SUCCESS;
}  // namespace

DWORD GetLastError() { return tLastError; }

void SetLastError(DWORD error) { tLastError = error; }
