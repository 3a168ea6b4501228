// Start-up and clean-up, the per-thread last error, and the start-up state that
// tests read.
#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/winsock/SimHooks.h"
#include "platform/winsock/WinsockInternal.h"

namespace winsock {

namespace {

std::mutex gStartupMutex;
int gStartups = 0;
std::atomic<uint16_t> gLastVersion{0};
std::atomic<bool> gStarted{false};

thread_local int tLastError = 0;

constexpr WORD kHighestVersion = 0x0202;  // 2.2

// Winsock's version word: major in the low byte, minor in the high byte.
int VersionOrder(WORD version) { return (version & 0xFF) * 256 + (version >> 8); }

}  // namespace

int WSAStartup(WORD versionRequested, WSADATA* data) {
  const int order = VersionOrder(versionRequested);
  if (order < VersionOrder(0x0101) || order > VersionOrder(kHighestVersion)) {
    return WSAVERNOTSUPPORTED;
  }
  if (data == nullptr) return WSAEFAULT;
  std::memset(data, 0, sizeof(*data));
  data->wVersion = versionRequested;
  data->wHighVersion = kHighestVersion;
  std::strncpy(data->szDescription, "WinSock 2.0", WSADESCRIPTION_LEN);
  std::strncpy(data->szSystemStatus, "Running", WSASYS_STATUS_LEN);
  // Winsock 2 leaves these to be ignored; 1.1 callers read them.
  data->iMaxSockets = 32767;
  data->iMaxUdpDg = 65467;
  data->lpVendorInfo = nullptr;
  std::lock_guard<std::mutex> lock(gStartupMutex);
  ++gStartups;
  gStarted.store(true);
  gLastVersion.store(versionRequested);
  return 0;
}

int WSACleanup() {
  {
    std::lock_guard<std::mutex> lock(gStartupMutex);
    if (gStartups == 0) return detail::Fail(WSANOTINITIALISED);
    if (--gStartups > 0) return 0;
    gStarted.store(false);
  }
  // The last clean-up ends what is still open, as Winsock does.
  detail::CloseAllSockets();
  detail::CancelAllLookups();
  return 0;
}

void WSASetLastError(int error) { tLastError = error; }

int WSAGetLastError() { return tLastError; }

namespace detail {

int Fail(int wsaError) {
  tLastError = wsaError;
  return SOCKET_ERROR;
}

int FailErrno() { return Fail(WSAErrorFromErrno(errno)); }

bool CheckStarted() {
  if (gStarted.load()) return true;
  tLastError = WSANOTINITIALISED;
  return false;
}

}  // namespace detail

}  // namespace winsock

namespace sim {

int WinsockStartupCount() {
  std::lock_guard<std::mutex> lock(winsock::gStartupMutex);
  return winsock::gStartups;
}

uint16_t WinsockLastRequestedVersion() { return winsock::gLastVersion.load(); }

}  // namespace sim
