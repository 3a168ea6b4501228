// Internal to platform/winsock: the socket table shared by the Winsock sources, and
// the system's socket numbers, taken before Winsock.h removes the system's macros of
// the same names. Nothing outside platform/ includes this header.
#pragma once

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// The system's numbers under names of our own.
namespace posixnet {
inline constexpr int kAfInet = AF_INET;
inline constexpr int kSolSocket = SOL_SOCKET;
inline constexpr int kSoDebug = SO_DEBUG;
inline constexpr int kSoAcceptConn = SO_ACCEPTCONN;
inline constexpr int kSoReuseAddr = SO_REUSEADDR;
inline constexpr int kSoKeepAlive = SO_KEEPALIVE;
inline constexpr int kSoDontRoute = SO_DONTROUTE;
inline constexpr int kSoBroadcast = SO_BROADCAST;
inline constexpr int kSoLinger = SO_LINGER;
inline constexpr int kSoOobInline = SO_OOBINLINE;
inline constexpr int kSoSndBuf = SO_SNDBUF;
inline constexpr int kSoRcvBuf = SO_RCVBUF;
inline constexpr int kSoSndLowat = SO_SNDLOWAT;
inline constexpr int kSoRcvLowat = SO_RCVLOWAT;
inline constexpr int kSoSndTimeo = SO_SNDTIMEO;
inline constexpr int kSoRcvTimeo = SO_RCVTIMEO;
inline constexpr int kSoError = SO_ERROR;
inline constexpr int kSoType = SO_TYPE;
inline constexpr int kTcpNoDelay = TCP_NODELAY;
inline constexpr int kIpOptions = IP_OPTIONS;
inline constexpr int kIpMulticastIf = IP_MULTICAST_IF;
inline constexpr int kIpMulticastTtl = IP_MULTICAST_TTL;
inline constexpr int kIpMulticastLoop = IP_MULTICAST_LOOP;
inline constexpr int kIpAddMembership = IP_ADD_MEMBERSHIP;
inline constexpr int kIpDropMembership = IP_DROP_MEMBERSHIP;
inline constexpr int kIpTtl = IP_TTL;
inline constexpr int kIpTos = IP_TOS;
inline constexpr unsigned long kFionRead = FIONREAD;
inline constexpr unsigned long kFionBio = FIONBIO;
}  // namespace posixnet

#include "platform/winsock/SimHooks.h"
#include "platform/win/WinTypes.h"
#include "platform/winsock/Winsock.h"

namespace winsock::detail {

enum class SocketState {
  Fresh,          // made (and perhaps bound), not connected
  Connecting,     // a non-blocking connect is under way
  Connected,      // a stream connection, or any datagram/raw socket
  ConnectFailed,  // the connect ended in an error
  Listening,
};

struct SocketEntry {
  SOCKET handle = 0;
  int fd = -1;
  int type = 0;  // SOCK_STREAM, SOCK_DGRAM, SOCK_RAW (same numbers on both systems)
  SocketState state = SocketState::Fresh;
  bool nonBlocking = false;
  bool sendShutdown = false;
  // A WSAE number the watcher took from the socket (SO_ERROR), answered by recv and
  // send once the data before it are read.
  int pendingError = 0;

  // WSAAsyncSelect request.
  HWND hwnd = 0;
  UINT msg = 0;
  int32_t mask = 0;
  uint64_t selectGeneration = 0;
  DWORD watchThread = 0;  // whose loop watches the fd (0: none)
  bool readArmed = false;
  bool writeArmed = false;
  bool oobArmed = false;
  bool acceptArmed = false;
  bool closeReported = false;
  // The peer's end was seen while data still waited: FD_CLOSE follows once they are read.
  bool closeWithheld = false;
  // Every (window, message) this socket has posted to, for purging at close.
  std::vector<std::pair<HWND, UINT>> targets;
};

// Guards the socket table and every SocketEntry.
std::mutex& SocketsMutex();
// The entry of a live handle, or null (caller holds SocketsMutex).
std::shared_ptr<SocketEntry> FindLocked(SOCKET s);
// As FindLocked, taking the lock; sets WSAENOTSOCK when there is none.
std::shared_ptr<SocketEntry> Find(SOCKET s);

// Sets the thread's last error and answers SOCKET_ERROR.
int Fail(int wsaError);
// Fail(WSAErrorFromErrno(errno)).
int FailErrno();
// False (with WSANOTINITIALISED set) before WSAStartup.
bool CheckStarted();

// Async selection (Winsock_select.cpp); the caller holds SocketsMutex.
// Looks at the socket's state and posts the armed events whose condition holds.
void EvaluateLocked(SocketEntry& e);
// Posts one event of the socket's request (nothing when the mask lacks it).
void PostEventLocked(SocketEntry& e, int32_t event, int error);
// Stops watching (when the calling thread watches it) and forgets the request.
void StopSelectLocked(SocketEntry& e);
// Starts a request for a new entry, as inherited by accept from its listener.
void InheritSelectLocked(SocketEntry& e, const SocketEntry& listener);
// Removes the socket's notifications still waiting in message queues.
void PurgeNotificationsLocked(const SocketEntry& e);

// Closes every socket (the last WSACleanup).
void CloseAllSockets();
// Drops every running lookup (the last WSACleanup).
void CancelAllLookups();

// The resolver's answer (platform/winsock/SimHooks.h), after its delay.
sim::ResolverAnswer LookupName(const std::string& name);
sim::ResolverAnswer LookupAddress(uint32_t address);

// Builds a hostent record in buf: the record first, then its pointer arrays, the
// addresses and the strings, every pointer pointing inside buf. Answers the bytes
// needed; writes nothing when that exceeds size.
size_t PackHostent(char* buf, size_t size, const std::string& name,
                   const std::vector<std::string>& aliases,
                   const std::vector<uint32_t>& addresses);

}  // namespace winsock::detail

namespace larkwin {
// Registers "wsock32.dll" and "ws2_32.dll" with the module registry.
void RegisterWinsockModules();
}  // namespace larkwin
