// Winsock 1.1 on BSD sockets: the functions, records and numbers the socket library
// binds at run time (through LoadLibrary("wsock32.dll") / GetProcAddress, or
// directly), plus the asynchronous selection and lookups that report to a window.
//
// Every name lives in namespace winsock, so that it cannot clash with the C library's
// functions of the same names (socket, send, htons, gethostbyname, ...). The system's
// macros for the same constants (SOL_SOCKET, SO_LINGER, FIONREAD, INADDR_ANY, htons,
// ...) are removed here: include this header after any system socket header.
//
// Behaviour, as Winsock has it:
// - SOCKET values are our own numbers (from 1000 up, so they never look like file
//   descriptors) and are never reused, so a late notification can never be taken
//   for a newer socket.
// - Errors go to the calling thread's last error (WSAGetLastError) as WSAE numbers.
// - Option levels, option names, ioctl codes and flags use Winsock's numbering; the
//   linger record is Winsock's {u_short, u_short}.
// - send/sendto never raise SIGPIPE; a broken connection answers WSAECONNRESET.
// - WSAAsyncSelect makes the socket non-blocking (for good, even after a mask of 0)
//   and posts (wMsg, wParam = socket, lParam = WSAMAKESELECTREPLY(event, error)) to
//   hWnd, one event per message, with Winsock's re-enabling rules:
//     FD_READ    once when data wait; again only after a recv/recvfrom (at once when
//                data still wait then);
//     FD_WRITE   once after a connect succeeds (or at the request, when writable);
//                again only after a send has failed with WSAEWOULDBLOCK and space
//                has come back;
//     FD_OOB     as FD_READ, for urgent data;
//     FD_ACCEPT  once when a connection waits; again after accept;
//     FD_CONNECT once, with the connect's error (0, WSAECONNREFUSED, ...);
//     FD_CLOSE   once, after the peer closed and everything before it was read:
//                error 0 for a graceful close, WSAECONNRESET for a reset.
//   Readiness is watched by the message loop of the thread that called
//   WSAAsyncSelect; that thread must pump its messages. closesocket removes the
//   socket's notifications that are still queued.
// - WSAAsyncGetHostByName / ByAddr run on a worker thread, write a hostent record
//   into the caller's buffer (all its pointers point inside that buffer) and post
//   (wMsg, wParam = task handle, lParam = WSAMAKEASYNCREPLY(buflen, error)). The
//   buffer must be aligned for a hostent (alignas(winsock::hostent)) and stay valid
//   until the reply arrives or the task is cancelled.
//   Lookups go through the resolver of platform/winsock/SimHooks.h.
#pragma once

#include <cstdint>

#include "platform/win/WinTypes.h"

// The system's macros of names declared below.
#undef htons
#undef htonl
#undef ntohs
#undef ntohl
#undef AF_UNSPEC
#undef AF_INET
#undef PF_INET
#undef SOCK_STREAM
#undef SOCK_DGRAM
#undef SOCK_RAW
#undef IPPROTO_IP
#undef IPPROTO_ICMP
#undef IPPROTO_IGMP
#undef IPPROTO_TCP
#undef IPPROTO_UDP
#undef IPPROTO_RAW
#undef INADDR_ANY
#undef INADDR_LOOPBACK
#undef INADDR_BROADCAST
#undef INADDR_NONE
#undef SOL_SOCKET
#undef SO_DEBUG
#undef SO_ACCEPTCONN
#undef SO_REUSEADDR
#undef SO_KEEPALIVE
#undef SO_DONTROUTE
#undef SO_BROADCAST
#undef SO_LINGER
#undef SO_OOBINLINE
#undef SO_SNDBUF
#undef SO_RCVBUF
#undef SO_SNDLOWAT
#undef SO_RCVLOWAT
#undef SO_SNDTIMEO
#undef SO_RCVTIMEO
#undef SO_ERROR
#undef SO_TYPE
#undef TCP_NODELAY
#undef IP_OPTIONS
#undef IP_MULTICAST_IF
#undef IP_MULTICAST_TTL
#undef IP_MULTICAST_LOOP
#undef IP_ADD_MEMBERSHIP
#undef IP_DROP_MEMBERSHIP
#undef IP_TTL
#undef IP_TOS
#undef FIONREAD
#undef FIONBIO
#undef MSG_OOB
#undef MSG_PEEK
#undef MSG_DONTROUTE
#undef SOMAXCONN

namespace winsock {

// ---- Types --------------------------------------------------------------------

using SOCKET = uintptr_t;
using u_char = uint8_t;
using u_short = uint16_t;
using u_int = uint32_t;
using u_long = uint32_t;  // 32 bits, as on Winsock

inline constexpr SOCKET INVALID_SOCKET = ~SOCKET{0};
inline constexpr int SOCKET_ERROR = -1;

struct in_addr {
  union {
    struct {
      u_char s_b1, s_b2, s_b3, s_b4;
    } S_un_b;
    struct {
      u_short s_w1, s_w2;
    } S_un_w;
    u_long S_addr;  // network byte order
  } S_un;
};

struct sockaddr {
  u_short sa_family;
  char sa_data[14];
};

struct sockaddr_in {
  short sin_family;
  u_short sin_port;  // network byte order
  in_addr sin_addr;
  char sin_zero[8];
};

struct hostent {
  char* h_name;
  char** h_aliases;
  short h_addrtype;
  short h_length;
  char** h_addr_list;  // null-terminated; h_length bytes each, network byte order
};

struct servent {
  char* s_name;
  char** s_aliases;
  short s_port;  // network byte order
  char* s_proto;
};

struct protoent {
  char* p_name;
  char** p_aliases;
  short p_proto;
};

struct linger {
  u_short l_onoff;
  u_short l_linger;  // seconds
};

struct ip_mreq {
  in_addr imr_multiaddr;
  in_addr imr_interface;
};

struct timeval {
  int32_t tv_sec;
  int32_t tv_usec;
};

inline constexpr int WSADESCRIPTION_LEN = 256;
inline constexpr int WSASYS_STATUS_LEN = 128;

struct WSADATA {
  WORD wVersion;      // the version in use: major in the low byte
  WORD wHighVersion;  // the highest version offered
  char szDescription[WSADESCRIPTION_LEN + 1];
  char szSystemStatus[WSASYS_STATUS_LEN + 1];
  u_short iMaxSockets;
  u_short iMaxUdpDg;
  char* lpVendorInfo;
};

// Overlapped operations are not offered; WSAIoctl takes these as null.
struct WSAOVERLAPPED;
using LPWSAOVERLAPPED_COMPLETION_ROUTINE = void (*)(DWORD error, DWORD transferred,
                                                    WSAOVERLAPPED* overlapped, DWORD flags);

// ---- Constants ----------------------------------------------------------------

inline constexpr int AF_UNSPEC = 0;
inline constexpr int AF_INET = 2;
inline constexpr int PF_INET = AF_INET;

inline constexpr int SOCK_STREAM = 1;
inline constexpr int SOCK_DGRAM = 2;
inline constexpr int SOCK_RAW = 3;

inline constexpr int IPPROTO_IP = 0;
inline constexpr int IPPROTO_ICMP = 1;
inline constexpr int IPPROTO_IGMP = 2;
inline constexpr int IPPROTO_TCP = 6;
inline constexpr int IPPROTO_UDP = 17;
inline constexpr int IPPROTO_RAW = 255;

// Addresses in host byte order, as Winsock defines them (INADDR_ANY and INADDR_NONE
// read the same either way).
inline constexpr u_long INADDR_ANY = 0x00000000;
inline constexpr u_long INADDR_LOOPBACK = 0x7F000001;
inline constexpr u_long INADDR_BROADCAST = 0xFFFFFFFF;
inline constexpr u_long INADDR_NONE = 0xFFFFFFFF;

inline constexpr int SOMAXCONN = 5;

// Option levels and names (Winsock numbering).
inline constexpr int SOL_SOCKET = 0xFFFF;
inline constexpr int SO_DEBUG = 0x0001;
inline constexpr int SO_ACCEPTCONN = 0x0002;
inline constexpr int SO_REUSEADDR = 0x0004;
inline constexpr int SO_KEEPALIVE = 0x0008;
inline constexpr int SO_DONTROUTE = 0x0010;
inline constexpr int SO_BROADCAST = 0x0020;
inline constexpr int SO_LINGER = 0x0080;
inline constexpr int SO_OOBINLINE = 0x0100;
inline constexpr int SO_DONTLINGER = ~SO_LINGER;
inline constexpr int SO_SNDBUF = 0x1001;
inline constexpr int SO_RCVBUF = 0x1002;
inline constexpr int SO_SNDLOWAT = 0x1003;
inline constexpr int SO_RCVLOWAT = 0x1004;
inline constexpr int SO_SNDTIMEO = 0x1005;
inline constexpr int SO_RCVTIMEO = 0x1006;
inline constexpr int SO_ERROR = 0x1007;
inline constexpr int SO_TYPE = 0x1008;

inline constexpr int TCP_NODELAY = 0x0001;

// IPPROTO_IP options, Winsock 1 numbering (wsock32).
inline constexpr int IP_OPTIONS = 1;
inline constexpr int IP_MULTICAST_IF = 2;
inline constexpr int IP_MULTICAST_TTL = 3;
inline constexpr int IP_MULTICAST_LOOP = 4;
inline constexpr int IP_ADD_MEMBERSHIP = 5;
inline constexpr int IP_DROP_MEMBERSHIP = 6;
inline constexpr int IP_TTL = 7;
inline constexpr int IP_TOS = 8;

// ioctlsocket commands (Winsock's 32-bit codes).
inline constexpr int32_t FIONREAD = 0x4004667F;
inline constexpr int32_t FIONBIO = static_cast<int32_t>(0x8004667Eu);

// WSAIoctl codes.
inline constexpr DWORD SIO_RCVALL = 0x98000001u;

inline constexpr int MSG_OOB = 0x1;
inline constexpr int MSG_PEEK = 0x2;
inline constexpr int MSG_DONTROUTE = 0x4;

inline constexpr int SD_RECEIVE = 0;
inline constexpr int SD_SEND = 1;
inline constexpr int SD_BOTH = 2;

// WSAAsyncSelect events.
inline constexpr int32_t FD_READ = 0x01;
inline constexpr int32_t FD_WRITE = 0x02;
inline constexpr int32_t FD_OOB = 0x04;
inline constexpr int32_t FD_ACCEPT = 0x08;
inline constexpr int32_t FD_CONNECT = 0x10;
inline constexpr int32_t FD_CLOSE = 0x20;

// Room a WSAAsyncGetHostBy* buffer should have.
inline constexpr int MAXGETHOSTSTRUCT = 1024;

// Error numbers.
inline constexpr int WSABASEERR = 10000;
inline constexpr int WSAEINTR = 10004;
inline constexpr int WSAEBADF = 10009;
inline constexpr int WSAEACCES = 10013;
inline constexpr int WSAEFAULT = 10014;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSAEMFILE = 10024;
inline constexpr int WSAEWOULDBLOCK = 10035;
inline constexpr int WSAEINPROGRESS = 10036;
inline constexpr int WSAEALREADY = 10037;
inline constexpr int WSAENOTSOCK = 10038;
inline constexpr int WSAEDESTADDRREQ = 10039;
inline constexpr int WSAEMSGSIZE = 10040;
inline constexpr int WSAEPROTOTYPE = 10041;
inline constexpr int WSAENOPROTOOPT = 10042;
inline constexpr int WSAEPROTONOSUPPORT = 10043;
inline constexpr int WSAESOCKTNOSUPPORT = 10044;
inline constexpr int WSAEOPNOTSUPP = 10045;
inline constexpr int WSAEPFNOSUPPORT = 10046;
inline constexpr int WSAEAFNOSUPPORT = 10047;
inline constexpr int WSAEADDRINUSE = 10048;
inline constexpr int WSAEADDRNOTAVAIL = 10049;
inline constexpr int WSAENETDOWN = 10050;
inline constexpr int WSAENETUNREACH = 10051;
inline constexpr int WSAENETRESET = 10052;
inline constexpr int WSAECONNABORTED = 10053;
inline constexpr int WSAECONNRESET = 10054;
inline constexpr int WSAENOBUFS = 10055;
inline constexpr int WSAEISCONN = 10056;
inline constexpr int WSAENOTCONN = 10057;
inline constexpr int WSAESHUTDOWN = 10058;
inline constexpr int WSAETOOMANYREFS = 10059;
inline constexpr int WSAETIMEDOUT = 10060;
inline constexpr int WSAECONNREFUSED = 10061;
inline constexpr int WSAELOOP = 10062;
inline constexpr int WSAENAMETOOLONG = 10063;
inline constexpr int WSAEHOSTDOWN = 10064;
inline constexpr int WSAEHOSTUNREACH = 10065;
inline constexpr int WSAENOTEMPTY = 10066;
inline constexpr int WSAEPROCLIM = 10067;
inline constexpr int WSAEUSERS = 10068;
inline constexpr int WSAEDQUOT = 10069;
inline constexpr int WSAESTALE = 10070;
inline constexpr int WSAEREMOTE = 10071;
inline constexpr int WSASYSNOTREADY = 10091;
inline constexpr int WSAVERNOTSUPPORTED = 10092;
inline constexpr int WSANOTINITIALISED = 10093;
inline constexpr int WSAHOST_NOT_FOUND = 11001;
inline constexpr int WSATRY_AGAIN = 11002;
inline constexpr int WSANO_RECOVERY = 11003;
inline constexpr int WSANO_DATA = 11004;

// Message parameters of the asynchronous calls.
inline constexpr Word WSAGETSELECTEVENT(LPARAM lParam) { return LOWORD(lParam); }
inline constexpr Word WSAGETSELECTERROR(LPARAM lParam) { return HIWORD(lParam); }
inline constexpr LPARAM WSAMAKESELECTREPLY(Word event, Word error) {
  return MAKELPARAM(event, error);
}
inline constexpr Word WSAGETASYNCBUFLEN(LPARAM lParam) { return LOWORD(lParam); }
inline constexpr Word WSAGETASYNCERROR(LPARAM lParam) { return HIWORD(lParam); }
inline constexpr LPARAM WSAMAKEASYNCREPLY(Word buflen, Word error) {
  return MAKELPARAM(buflen, error);
}

// ---- Functions ----------------------------------------------------------------
// The 36 functions the socket library binds. A function that fails answers
// SOCKET_ERROR (INVALID_SOCKET, null, 0 for the task handles) and sets the thread's
// last error. Socket calls before WSAStartup (or after the last WSACleanup) fail
// with WSANOTINITIALISED; htons, inet_addr and the like work at any time.

// Start-up: versions 1.1 to 2.2 (major version in the low byte) are accepted and
// counted; any other answers WSAVERNOTSUPPORTED and counts nothing. Answers the
// error number itself (not through WSAGetLastError).
int WSAStartup(WORD versionRequested, WSADATA* data);
// Ends one WSAStartup; WSANOTINITIALISED when none is left.
int WSACleanup();
void WSASetLastError(int error);
int WSAGetLastError();

SOCKET socket(int af, int type, int protocol);
int bind(SOCKET s, const sockaddr* name, int namelen);
int listen(SOCKET s, int backlog);
SOCKET accept(SOCKET s, sockaddr* addr, int* addrlen);
int connect(SOCKET s, const sockaddr* name, int namelen);
int closesocket(SOCKET s);
int shutdown(SOCKET s, int how);
int send(SOCKET s, const char* buf, int len, int flags);
int sendto(SOCKET s, const char* buf, int len, int flags, const sockaddr* to, int tolen);
int recv(SOCKET s, char* buf, int len, int flags);
int recvfrom(SOCKET s, char* buf, int len, int flags, sockaddr* from, int* fromlen);
int setsockopt(SOCKET s, int level, int optname, const char* optval, int optlen);
int getsockopt(SOCKET s, int level, int optname, char* optval, int* optlen);
int ioctlsocket(SOCKET s, int32_t cmd, u_long* argp);
int getsockname(SOCKET s, sockaddr* name, int* namelen);
int getpeername(SOCKET s, sockaddr* name, int* namelen);
// Only SIO_RCVALL is known, and raw capture is not offered: WSAEOPNOTSUPP. Other
// codes: WSAEINVAL.
int WSAIoctl(SOCKET s, DWORD ioControlCode, void* inBuffer, DWORD inSize, void* outBuffer,
             DWORD outSize, DWORD* bytesReturned, WSAOVERLAPPED* overlapped,
             LPWSAOVERLAPPED_COMPLETION_ROUTINE completion);

u_long htonl(u_long hostlong);
u_short htons(u_short hostshort);
u_long ntohl(u_long netlong);
u_short ntohs(u_short netshort);
// A dotted address ("a.b.c.d", also the shorter and hex/octal forms) in network byte
// order; INADDR_NONE when the text is not one.
u_long inet_addr(const char* cp);
// The dotted form, in a buffer of the calling thread valid until its next call.
char* inet_ntoa(in_addr in);

// Blocking lookups. The answers live in storage of the calling thread, valid until
// its next call of the same function. Host lookups go through the sim resolver (a
// dotted address is answered as it is; a null or empty name is the local host);
// services and protocols come from the system's databases (WSANO_DATA when unknown).
hostent* gethostbyname(const char* name);
hostent* gethostbyaddr(const char* addr, int len, int type);
int gethostname(char* name, int namelen);
servent* getservbyname(const char* name, const char* proto);
protoent* getprotobyname(const char* name);

// Asks for the events of mask (FD_*) to be posted to hWnd as wMsg; a mask of 0
// stops the notifications. Each call replaces the previous request and arms every
// event afresh (so FD_WRITE comes at once for a connected socket, FD_READ for
// waiting data). WSAEINVAL for unknown bits, or a mask with a hWnd that is not a
// window. A socket made by accept takes over its listener's request.
int WSAAsyncSelect(SOCKET s, HWND hWnd, u_int wMsg, int32_t lEvent);
// Start a lookup; answer its task handle (non-zero, never reused), or 0 with the
// error set: WSAEFAULT for a null name/address, a null or misaligned buffer, or an
// address length other than 4; WSAEAFNOSUPPORT for a type other than AF_INET;
// WSAEINVAL when hWnd is not a window. The reply's low word is the bytes used; a
// buffer too small for the answer gives the error WSAENOBUFS with the size needed
// in the low word, and nothing is written into it. Dotted addresses are answered
// without asking the resolver.
HANDLE WSAAsyncGetHostByName(HWND hWnd, u_int wMsg, const char* name, char* buf, int buflen);
HANDLE WSAAsyncGetHostByAddr(HWND hWnd, u_int wMsg, const char* addr, int len, int type,
                             char* buf, int buflen);
// Drops the reply of a running task: 0, and nothing is written into its buffer
// after that. A task that has ended (its reply posted, or cancelled before):
// WSAEALREADY; a handle never given out: WSAEINVAL.
int WSACancelAsyncRequest(HANDLE asyncTaskHandle);

// ---- Our helpers ----------------------------------------------------------------

// The WSAE number for a system errno value (WSAEINVAL for one with no counterpart).
int WSAErrorFromErrno(int errnoValue);
// The WSA lookup error for a getaddrinfo/getnameinfo EAI_ value.
int WSAErrorFromGai(int eaiValue);

}  // namespace winsock
