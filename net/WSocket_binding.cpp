// The run-time binding of Winsock: loading and starting "wsock32.dll" on first use,
// the cached entry of each function, the WSocket_ wrappers and the reference count
// that keeps the library loaded.
#include <atomic>

#include "net/WSocket.h"
#include "net/WSocket_internal.h"
#include "platform/rtl/NoDestructor.h"

Integer WSocketGCount = 0;
bool WSocketGForced = false;
Byte GReqVerLow = 1;
Byte GReqVerHigh = 1;

namespace wsocket_internal {

CRITICAL_SECTION& WinsockLock() {
  // Never freed: sockets that outlive the unit's end still take it.
  static NoDestructor<CRITICAL_SECTION> section;
  return *section;
}

CRITICAL_SECTION& WindowClassLock() {
  static NoDestructor<CRITICAL_SECTION> section;
  return *section;
}

CountHold::CountHold() {
  Lock lock(WinsockLock());
  ++WSocketGCount;
}

CountHold::~CountHold() {
  Lock lock(WinsockLock());
  --WSocketGCount;
}

}  // namespace wsocket_internal

namespace {

using wsocket_internal::CountHold;
using wsocket_internal::Lock;
using wsocket_internal::WinsockLock;

const AnsiString kWinsockDll = "wsock32.dll";
const AnsiString kWinsock2Dll = "ws2_32.dll";

HMODULE HWinsock = 0;
HMODULE HWinsock2 = 0;
winsock::WSADATA GWSAData{};

// The cached entries, filled at each function's first call.
std::atomic<TWSAStartup> FWSAStartup{nullptr};
std::atomic<TWSACleanup> FWSACleanup{nullptr};
std::atomic<TWSASetLastError> FWSASetLastError{nullptr};
std::atomic<TWSAGetLastError> FWSAGetLastError{nullptr};
std::atomic<TWSACancelAsyncRequest> FWSACancelAsyncRequest{nullptr};
std::atomic<TWSAAsyncGetHostByName> FWSAAsyncGetHostByName{nullptr};
std::atomic<TWSAAsyncGetHostByAddr> FWSAAsyncGetHostByAddr{nullptr};
std::atomic<TWSAAsyncSelect> FWSAAsyncSelect{nullptr};
std::atomic<TGetServByName> FGetServByName{nullptr};
std::atomic<TGetProtoByName> FGetProtoByName{nullptr};
std::atomic<TGetHostByName> FGetHostByName{nullptr};
std::atomic<TGetHostByAddr> FGetHostByAddr{nullptr};
std::atomic<TGetHostName> FGetHostName{nullptr};
std::atomic<TOpenSocket> FOpenSocket{nullptr};
std::atomic<TShutdown> FShutdown{nullptr};
std::atomic<TSetSockOpt> FSetSockOpt{nullptr};
std::atomic<TGetSockOpt> FGetSockOpt{nullptr};
std::atomic<TSendTo> FSendTo{nullptr};
std::atomic<TSend> FSend{nullptr};
std::atomic<TRecv> FRecv{nullptr};
std::atomic<TRecvFrom> FRecvFrom{nullptr};
std::atomic<Tntohs> Fntohs{nullptr};
std::atomic<Tntohl> Fntohl{nullptr};
std::atomic<TListen> FListen{nullptr};
std::atomic<TIoctlSocket> FIoctlSocket{nullptr};
std::atomic<TWSAIoctl> FWSAIoctl{nullptr};
std::atomic<TInet_ntoa> FInet_ntoa{nullptr};
std::atomic<TInet_addr> FInet_addr{nullptr};
std::atomic<Thtons> Fhtons{nullptr};
std::atomic<Thtonl> Fhtonl{nullptr};
std::atomic<TGetSockName> FGetSockName{nullptr};
std::atomic<TGetPeerName> FGetPeerName{nullptr};
std::atomic<TConnect> FConnect{nullptr};
std::atomic<TCloseSocket> FCloseSocket{nullptr};
std::atomic<TBind> FBind{nullptr};
std::atomic<TAccept> FAccept{nullptr};

void ForgetEntries() {
  FWSAStartup = nullptr;
  FWSACleanup = nullptr;
  FWSASetLastError = nullptr;
  FWSAGetLastError = nullptr;
  FWSACancelAsyncRequest = nullptr;
  FWSAAsyncGetHostByName = nullptr;
  FWSAAsyncGetHostByAddr = nullptr;
  FWSAAsyncSelect = nullptr;
  FGetServByName = nullptr;
  FGetProtoByName = nullptr;
  FGetHostByName = nullptr;
  FGetHostByAddr = nullptr;
  FGetHostName = nullptr;
  FOpenSocket = nullptr;
  FShutdown = nullptr;
  FSetSockOpt = nullptr;
  FGetSockOpt = nullptr;
  FSendTo = nullptr;
  FSend = nullptr;
  FRecv = nullptr;
  FRecvFrom = nullptr;
  Fntohs = nullptr;
  Fntohl = nullptr;
  FListen = nullptr;
  FIoctlSocket = nullptr;
  FWSAIoctl = nullptr;
  FInet_ntoa = nullptr;
  FInet_addr = nullptr;
  Fhtons = nullptr;
  Fhtonl = nullptr;
  FGetSockName = nullptr;
  FGetPeerName = nullptr;
  FConnect = nullptr;
  FCloseSocket = nullptr;
  FBind = nullptr;
  FAccept = nullptr;
}

// The internal entry: the cached address, fetched by name at the first call. Two
// threads may both fetch it; they store the same address.
template <class Fn>
Fn Entry(std::atomic<Fn>& cached, const char* name) {
  Fn fn = cached.load(std::memory_order_acquire);
  if (fn == nullptr) {
    fn = reinterpret_cast<Fn>(WSocketGetProc(name));
    cached.store(fn, std::memory_order_release);
  }
  return fn;
}

template <class Fn>
Fn Entry2(std::atomic<Fn>& cached, const char* name) {
  Fn fn = cached.load(std::memory_order_acquire);
  if (fn == nullptr) {
    fn = reinterpret_cast<Fn>(WSocket2GetProc(name));
    cached.store(fn, std::memory_order_release);
  }
  return fn;
}

// The unit's end: unloads Winsock at exit when no socket uses it any more. Made at
// the first load, so that it goes before the module registry it unloads from.
struct UnitEnd {
  ~UnitEnd() {
    try {
      Lock lock(WinsockLock());
      if (WSocketGCount < 1) WSocketUnloadWinsock();
    } catch (...) {
      // Nothing can be reported at exit.
    }
  }
};

void StartWinsock() {
  HWinsock = LoadLibrary(kWinsockDll.c_str());
  if (HWinsock == 0)
    throw ESocketException("Unable to load " + kWinsockDll + " Error #" + IntToStr(::GetLastError()));
  static UnitEnd unitEnd;
  int result = 0;
  try {
    const WORD version = static_cast<WORD>(GReqVerLow | (GReqVerHigh << 8));
    result = Entry(FWSAStartup, "WSAStartup")(version, &GWSAData);
  } catch (...) {
    FreeLibrary(HWinsock);
    HWinsock = 0;
    ForgetEntries();
    throw;
  }
  if (result != 0) {
    // Not started: unload again, so that the next call starts afresh.
    FreeLibrary(HWinsock);
    HWinsock = 0;
    ForgetEntries();
    throw ESocketException(Format("%s: WSAStartup error #%d", {kWinsockDll, result}));
  }
}

}  // namespace

bool wsocket_internal::WinsockLoaded() {
  Lock lock(WinsockLock());
  return HWinsock != 0;
}

FARPROC WSocketGetProc(const AnsiString& procName) {
  Lock lock(WinsockLock());
  if (HWinsock == 0) StartWinsock();
  if (procName.empty()) return nullptr;
  FARPROC proc = GetProcAddress(HWinsock, procName.c_str());
  if (proc == nullptr)
    throw ESocketException("Procedure " + procName + " not found in " + kWinsockDll + " Error #" +
                           IntToStr(::GetLastError()));
  return proc;
}

FARPROC WSocket2GetProc(const AnsiString& procName) {
  Lock lock(WinsockLock());
  WSocketGetProc("");
  if (HWinsock2 == 0) {
    HWinsock2 = LoadLibrary(kWinsock2Dll.c_str());
    if (HWinsock2 == 0)
      throw ESocketException("Unable to load " + kWinsock2Dll + " Error #" +
                             IntToStr(::GetLastError()));
  }
  if (procName.empty()) return nullptr;
  FARPROC proc = GetProcAddress(HWinsock2, procName.c_str());
  if (proc == nullptr)
    throw ESocketException("Procedure " + procName + " not found in " + kWinsock2Dll + " Error #" +
                           IntToStr(::GetLastError()));
  return proc;
}

void WSocketForceLoadWinsock() {
  Lock lock(WinsockLock());
  if (WSocketGForced) return;
  WSocketGForced = true;
  ++WSocketGCount;
  try {
    WSocketGetProc("");
  } catch (...) {
    WSocketGForced = false;
    --WSocketGCount;
    throw;
  }
}

void WSocketCancelForceLoadWinsock() {
  Lock lock(WinsockLock());
  if (!WSocketGForced) return;
  WSocketGForced = false;
  --WSocketGCount;
  if (WSocketGCount <= 0) WSocketUnloadWinsock();
}

void WSocketUnloadWinsock() {
  Lock lock(WinsockLock());
  if (HWinsock != 0 && WSocketGCount <= 0) {
    try {
      Entry(FWSACleanup, "WSACleanup")();
    } catch (const ESocketException&) {
      // A module without WSACleanup is unloaded all the same.
    }
    if (HWinsock2 != 0) {
      FreeLibrary(HWinsock2);
      HWinsock2 = 0;
      FWSAIoctl = nullptr;
    }
    FreeLibrary(HWinsock);
    HWinsock = 0;
    ForgetEntries();
  }
  WSocketGForced = false;
}

winsock::WSADATA WinsockInfo() {
  Lock lock(WinsockLock());
  WSocketGetProc("");
  const winsock::WSADATA data = GWSAData;
  if (WSocketGCount < 1) WSocketUnloadWinsock();
  return data;
}

// ---- The wrappers -------------------------------------------------------------------

int WSocket_WSAStartup(WORD versionRequested, winsock::WSADATA* data) {
  CountHold hold;
  return Entry(FWSAStartup, "WSAStartup")(versionRequested, data);
}

int WSocket_WSACleanup() {
  CountHold hold;
  return Entry(FWSACleanup, "WSACleanup")();
}

void WSocket_WSASetLastError(int error) {
  CountHold hold;
  Entry(FWSASetLastError, "WSASetLastError")(error);
}

int WSocket_WSAGetLastError() {
  CountHold hold;
  return Entry(FWSAGetLastError, "WSAGetLastError")();
}

int WSocket_WSACancelAsyncRequest(HANDLE asyncTaskHandle) {
  CountHold hold;
  return Entry(FWSACancelAsyncRequest, "WSACancelAsyncRequest")(asyncTaskHandle);
}

HANDLE WSocket_WSAAsyncGetHostByName(HWND hWnd, winsock::u_int wMsg, const char* name, char* buf,
                                     int buflen) {
  CountHold hold;
  return Entry(FWSAAsyncGetHostByName, "WSAAsyncGetHostByName")(hWnd, wMsg, name, buf, buflen);
}

HANDLE WSocket_WSAAsyncGetHostByAddr(HWND hWnd, winsock::u_int wMsg, const char* addr, int len,
                                     int type, char* buf, int buflen) {
  CountHold hold;
  return Entry(FWSAAsyncGetHostByAddr, "WSAAsyncGetHostByAddr")(hWnd, wMsg, addr, len, type, buf,
                                                                buflen);
}

int WSocket_WSAAsyncSelect(winsock::SOCKET s, HWND hWnd, winsock::u_int wMsg, int32_t lEvent) {
  CountHold hold;
  return Entry(FWSAAsyncSelect, "WSAAsyncSelect")(s, hWnd, wMsg, lEvent);
}

winsock::servent* WSocket_getservbyname(const char* name, const char* proto) {
  CountHold hold;
  return Entry(FGetServByName, "getservbyname")(name, proto);
}

winsock::protoent* WSocket_getprotobyname(const char* name) {
  CountHold hold;
  return Entry(FGetProtoByName, "getprotobyname")(name);
}

winsock::hostent* WSocket_gethostbyname(const char* name) {
  CountHold hold;
  return Entry(FGetHostByName, "gethostbyname")(name);
}

winsock::hostent* WSocket_gethostbyaddr(const char* addr, int len, int type) {
  CountHold hold;
  return Entry(FGetHostByAddr, "gethostbyaddr")(addr, len, type);
}

int WSocket_gethostname(char* name, int namelen) {
  CountHold hold;
  return Entry(FGetHostName, "gethostname")(name, namelen);
}

winsock::SOCKET WSocket_socket(int af, int type, int protocol) {
  CountHold hold;
  return Entry(FOpenSocket, "socket")(af, type, protocol);
}

int WSocket_shutdown(winsock::SOCKET s, int how) {
  CountHold hold;
  return Entry(FShutdown, "shutdown")(s, how);
}

int WSocket_setsockopt(winsock::SOCKET s, int level, int optname, const char* optval, int optlen) {
  CountHold hold;
  return Entry(FSetSockOpt, "setsockopt")(s, level, optname, optval, optlen);
}

int WSocket_getsockopt(winsock::SOCKET s, int level, int optname, char* optval, int* optlen) {
  CountHold hold;
  return Entry(FGetSockOpt, "getsockopt")(s, level, optname, optval, optlen);
}

int WSocket_sendto(winsock::SOCKET s, const char* buf, int len, int flags,
                   const winsock::sockaddr* to, int tolen) {
  CountHold hold;
  return Entry(FSendTo, "sendto")(s, buf, len, flags, to, tolen);
}

int WSocket_send(winsock::SOCKET s, const char* buf, int len, int flags) {
  CountHold hold;
  return Entry(FSend, "send")(s, buf, len, flags);
}

int WSocket_recv(winsock::SOCKET s, char* buf, int len, int flags) {
  CountHold hold;
  return Entry(FRecv, "recv")(s, buf, len, flags);
}

int WSocket_recvfrom(winsock::SOCKET s, char* buf, int len, int flags, winsock::sockaddr* from,
                     int* fromlen) {
  CountHold hold;
  return Entry(FRecvFrom, "recvfrom")(s, buf, len, flags, from, fromlen);
}

winsock::u_short WSocket_ntohs(winsock::u_short netshort) {
  CountHold hold;
  return Entry(Fntohs, "ntohs")(netshort);
}

winsock::u_long WSocket_ntohl(winsock::u_long netlong) {
  CountHold hold;
  return Entry(Fntohl, "ntohl")(netlong);
}

int WSocket_listen(winsock::SOCKET s, int backlog) {
  CountHold hold;
  return Entry(FListen, "listen")(s, backlog);
}

int WSocket_ioctlsocket(winsock::SOCKET s, int32_t cmd, winsock::u_long* argp) {
  CountHold hold;
  return Entry(FIoctlSocket, "ioctlsocket")(s, cmd, argp);
}

int WSocket_WSAIoctl(winsock::SOCKET s, DWORD ioControlCode, void* inBuffer, DWORD inSize,
                     void* outBuffer, DWORD outSize, DWORD* bytesReturned,
                     winsock::WSAOVERLAPPED* overlapped,
                     winsock::LPWSAOVERLAPPED_COMPLETION_ROUTINE completion) {
  CountHold hold;
  return Entry2(FWSAIoctl, "WSAIoctl")(s, ioControlCode, inBuffer, inSize, outBuffer, outSize,
                                       bytesReturned, overlapped, completion);
}

char* WSocket_inet_ntoa(winsock::in_addr in) {
  CountHold hold;
  return Entry(FInet_ntoa, "inet_ntoa")(in);
}

winsock::u_long WSocket_inet_addr(const char* cp) {
  CountHold hold;
  return Entry(FInet_addr, "inet_addr")(cp);
}

winsock::u_short WSocket_htons(winsock::u_short hostshort) {
  CountHold hold;
  return Entry(Fhtons, "htons")(hostshort);
}

winsock::u_long WSocket_htonl(winsock::u_long hostlong) {
  CountHold hold;
  return Entry(Fhtonl, "htonl")(hostlong);
}

int WSocket_getsockname(winsock::SOCKET s, winsock::sockaddr* name, int* namelen) {
  CountHold hold;
  return Entry(FGetSockName, "getsockname")(s, name, namelen);
}

int WSocket_getpeername(winsock::SOCKET s, winsock::sockaddr* name, int* namelen) {
  CountHold hold;
  return Entry(FGetPeerName, "getpeername")(s, name, namelen);
}

int WSocket_connect(winsock::SOCKET s, const winsock::sockaddr* name, int namelen) {
  CountHold hold;
  return Entry(FConnect, "connect")(s, name, namelen);
}

int WSocket_closesocket(winsock::SOCKET s) {
  CountHold hold;
  return Entry(FCloseSocket, "closesocket")(s);
}

int WSocket_bind(winsock::SOCKET s, const winsock::sockaddr* name, int namelen) {
  CountHold hold;
  return Entry(FBind, "bind")(s, name, namelen);
}

winsock::SOCKET WSocket_accept(winsock::SOCKET s, winsock::sockaddr* addr, int* addrlen) {
  CountHold hold;
  return Entry(FAccept, "accept")(s, addr, addrlen);
}
