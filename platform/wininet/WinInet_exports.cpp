// "wininet.dll" in the module registry: the exports a program looks up by name.
#include "platform/win/Modules.h"
#include "platform/wininet/WinInet.h"

namespace {

template <class F>
FARPROC Proc(F* f) {
  return reinterpret_cast<FARPROC>(f);
}

void RegisterWinInetModule() {
  RegisterModuleExports("wininet.dll", {
                                           {"InternetOpenA", Proc(&InternetOpen)},
                                           {"InternetConnectA", Proc(&InternetConnect)},
                                           {"HttpOpenRequestA", Proc(&HttpOpenRequest)},
                                           {"HttpSendRequestA", Proc(&HttpSendRequest)},
                                           {"HttpQueryInfoA", Proc(&HttpQueryInfo)},
                                           {"InternetReadFile", Proc(&InternetReadFile)},
                                           {"InternetCloseHandle", Proc(&InternetCloseHandle)},
                                       });
}

// WinINet makes its exports known when the program starts.
[[maybe_unused]] const bool gRegistered = (RegisterWinInetModule(), true);

}  // namespace

// Named on the link line of everything built on the platform (platform/CMakeLists.txt),
// so that the linker keeps this file, whose only work is done while the program
// starts.
extern "C" const int lark_wininet_exports = 1;
