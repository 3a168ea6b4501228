// The export tables of "wsock32.dll" and "ws2_32.dll".
#include "platform/win/Modules.h"
#include "platform/winsock/WinsockInternal.h"

namespace larkwin {

namespace {

template <class F>
FARPROC Proc(F* f) {
  return reinterpret_cast<FARPROC>(f);
}

ModuleExports Winsock1Exports() {
  return {
      {"accept", Proc(&winsock::accept)},
      {"bind", Proc(&winsock::bind)},
      {"closesocket", Proc(&winsock::closesocket)},
      {"connect", Proc(&winsock::connect)},
      {"ioctlsocket", Proc(&winsock::ioctlsocket)},
      {"getpeername", Proc(&winsock::getpeername)},
      {"getsockname", Proc(&winsock::getsockname)},
      {"getsockopt", Proc(&winsock::getsockopt)},
      {"htonl", Proc(&winsock::htonl)},
      {"htons", Proc(&winsock::htons)},
      {"inet_addr", Proc(&winsock::inet_addr)},
      {"inet_ntoa", Proc(&winsock::inet_ntoa)},
      {"listen", Proc(&winsock::listen)},
      {"ntohl", Proc(&winsock::ntohl)},
      {"ntohs", Proc(&winsock::ntohs)},
      {"recv", Proc(&winsock::recv)},
      {"recvfrom", Proc(&winsock::recvfrom)},
      {"send", Proc(&winsock::send)},
      {"sendto", Proc(&winsock::sendto)},
      {"setsockopt", Proc(&winsock::setsockopt)},
      {"shutdown", Proc(&winsock::shutdown)},
      {"socket", Proc(&winsock::socket)},
      {"gethostbyaddr", Proc(&winsock::gethostbyaddr)},
      {"gethostbyname", Proc(&winsock::gethostbyname)},
      {"getprotobyname", Proc(&winsock::getprotobyname)},
      {"getservbyname", Proc(&winsock::getservbyname)},
      {"gethostname", Proc(&winsock::gethostname)},
      {"WSAAsyncSelect", Proc(&winsock::WSAAsyncSelect)},
      {"WSAAsyncGetHostByAddr", Proc(&winsock::WSAAsyncGetHostByAddr)},
      {"WSAAsyncGetHostByName", Proc(&winsock::WSAAsyncGetHostByName)},
      {"WSACancelAsyncRequest", Proc(&winsock::WSACancelAsyncRequest)},
      {"WSASetLastError", Proc(&winsock::WSASetLastError)},
      {"WSAGetLastError", Proc(&winsock::WSAGetLastError)},
      {"WSAStartup", Proc(&winsock::WSAStartup)},
      {"WSACleanup", Proc(&winsock::WSACleanup)},
  };
}

}  // namespace

void RegisterWinsockModules() {
  ModuleExports winsock1 = Winsock1Exports();
  ModuleExports winsock2 = winsock1;
  winsock2.emplace_back("WSAIoctl", Proc(&winsock::WSAIoctl));
  RegisterModuleExports("wsock32.dll", std::move(winsock1));
  RegisterModuleExports("ws2_32.dll", std::move(winsock2));
}

namespace {

// Winsock makes its own exports known when the program starts; the module registry
// knows nothing of it.
[[maybe_unused]] const bool gRegistered = (RegisterWinsockModules(), true);

}  // namespace

}  // namespace larkwin

// Named on the link line of everything built on the platform (platform/CMakeLists.txt),
// so that the linker keeps this file, whose only work is done while the program
// starts.
extern "C" const int lark_winsock_exports = 1;
