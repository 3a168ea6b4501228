// DDE conversations over Unix-domain sockets (the protocol is in Ddeml.h).
#include "platform/dde/Ddeml.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/rtl/Descriptors.h"
#include "platform/win/SimHooks.h"
#include "platform/win/Sync.h"

namespace {

struct Instance {
  UINT lastError = DMLERR_NO_ERROR;
  std::map<HSZ, std::string> strings;
};

struct Conversation {
  DWORD instance = 0;
  ScopedFd fd;
};

struct DataHandle {
  DWORD instance = 0;
  std::vector<BYTE> bytes;
};

// Handles of every kind come from one counter and are never reused.
std::mutex gMutex;
std::map<DWORD, Instance> gInstances;
std::map<HCONV, Conversation> gConversations;
std::map<HDDEDATA, DataHandle> gData;
uintptr_t gLastHandle = 0x1000;

uintptr_t NewHandle() { return ++gLastHandle; }

void SetError(DWORD instance, UINT error) {
  std::lock_guard<std::mutex> lock(gMutex);
  if (auto it = gInstances.find(instance); it != gInstances.end()) it->second.lastError = error;
}

// While the virtual clock runs, waits are cut into short real slices so that a test
// moving the clock from another thread is seen.
constexpr int kVirtualSliceMs = 10;

// Waits until fd is ready for events or the sim clock reaches deadline.
bool WaitFd(int fd, short events, uint64_t deadline) {
  for (;;) {
    const uint64_t now = sim::NowMs();
    if (now >= deadline) return false;
    const uint64_t left = deadline - now;
    const int slice = sim::IsVirtualClock() ? kVirtualSliceMs
                                            : static_cast<int>(std::min<uint64_t>(left, INT_MAX));
    pollfd p{fd, events, 0};
    const int n = RetryOnEintr([&] { return poll(&p, 1, slice); });
    if (n < 0) return false;
    if (n > 0) return true;
  }
}

bool SendAll(int fd, const std::string& bytes, uint64_t deadline) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = RetryOnEintr(
        [&] { return send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL); });
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && WaitFd(fd, POLLOUT, deadline)) continue;
    return false;
  }
  return true;
}

bool ReceiveAll(int fd, BYTE* out, size_t count, uint64_t deadline) {
  size_t done = 0;
  while (done < count) {
    const ssize_t n = RetryOnEintr([&] { return recv(fd, out + done, count - done, 0); });
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && WaitFd(fd, POLLIN, deadline)) continue;
    return false;  // the service closed the conversation, an error, or the time passed
  }
  return true;
}

bool SendFrame(int fd, char kind, const std::string& payload, uint64_t deadline) {
  if (payload.size() > kDdeMaxPayload) return false;
  std::string frame(5, '\0');
  frame[0] = kind;
  const uint32_t len = static_cast<uint32_t>(payload.size());
  for (int i = 0; i < 4; ++i) frame[1 + i] = static_cast<char>(len >> (24 - 8 * i));
  return SendAll(fd, frame + payload, deadline);
}

enum class ReadResult { Ok, TimedOut, Failed };

// One frame; a payload over kDdeMaxPayload is refused before anything is allocated.
ReadResult ReadFrame(int fd, uint64_t deadline, char* kind, std::vector<BYTE>* payload) {
  BYTE head[5];
  if (!ReceiveAll(fd, head, sizeof head, deadline))
    return sim::NowMs() >= deadline ? ReadResult::TimedOut : ReadResult::Failed;
  const uint32_t len = (uint32_t{head[1]} << 24) | (uint32_t{head[2]} << 16) |
                       (uint32_t{head[3]} << 8) | uint32_t{head[4]};
  if (len > kDdeMaxPayload) return ReadResult::Failed;
  *kind = static_cast<char>(head[0]);
  payload->assign(len, 0);
  if (len > 0 && !ReceiveAll(fd, payload->data(), len, deadline))
    return sim::NowMs() >= deadline ? ReadResult::TimedOut : ReadResult::Failed;
  return ReadResult::Ok;
}

std::string StringOf(DWORD instance, HSZ hsz, bool* found) {
  std::lock_guard<std::mutex> lock(gMutex);
  *found = false;
  const auto inst = gInstances.find(instance);
  if (inst == gInstances.end()) return {};
  const auto it = inst->second.strings.find(hsz);
  if (it == inst->second.strings.end()) return {};
  *found = true;
  return it->second;
}

}  // namespace

std::string DdeServicePath(const std::string& service) {
  const std::string folder = UserRuntimeFolder();
  if (folder.empty()) return {};
  const std::string path = folder + "lark-dde-" + RuntimeSafeName(service) + ".sock";
  if (path.size() >= sizeof(sockaddr_un{}.sun_path)) return {};
  return path;
}

UINT DdeInitialize(DWORD* idInst, PFNCALLBACK /*callback*/, DWORD /*cmd*/, DWORD /*reserved*/) {
  if (idInst == nullptr) return DMLERR_INVALIDPARAMETER;
  std::lock_guard<std::mutex> lock(gMutex);
  const DWORD id = static_cast<DWORD>(NewHandle());
  gInstances[id] = Instance{};
  *idInst = id;
  return DMLERR_NO_ERROR;
}

BOOL DdeUninitialize(DWORD idInst) {
  std::lock_guard<std::mutex> lock(gMutex);
  if (gInstances.erase(idInst) == 0) return FALSE;
  std::erase_if(gConversations, [&](const auto& c) { return c.second.instance == idInst; });
  std::erase_if(gData, [&](const auto& d) { return d.second.instance == idInst; });
  return TRUE;
}

UINT DdeGetLastError(DWORD idInst) {
  std::lock_guard<std::mutex> lock(gMutex);
  const auto it = gInstances.find(idInst);
  if (it == gInstances.end()) return DMLERR_DLL_NOT_INITIALIZED;
  return std::exchange(it->second.lastError, DMLERR_NO_ERROR);
}

HSZ DdeCreateStringHandle(DWORD idInst, const char* text, int /*codePage*/) {
  std::lock_guard<std::mutex> lock(gMutex);
  const auto it = gInstances.find(idInst);
  if (it == gInstances.end()) return 0;
  if (text == nullptr) {
    it->second.lastError = DMLERR_INVALIDPARAMETER;
    return 0;
  }
  const HSZ hsz = NewHandle();
  it->second.strings[hsz] = text;
  return hsz;
}

BOOL DdeFreeStringHandle(DWORD idInst, HSZ hsz) {
  std::lock_guard<std::mutex> lock(gMutex);
  const auto it = gInstances.find(idInst);
  return it != gInstances.end() && it->second.strings.erase(hsz) > 0 ? TRUE : FALSE;
}

DWORD DdeQueryString(DWORD idInst, HSZ hsz, char* buffer, DWORD max, int /*codePage*/) {
  bool found = false;
  const std::string text = StringOf(idInst, hsz, &found);
  if (!found) return 0;
  if (buffer != nullptr && max > 0) {
    const size_t n = std::min<size_t>(text.size(), max - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
  }
  return static_cast<DWORD>(text.size());
}

HCONV DdeConnect(DWORD idInst, HSZ service, HSZ topic, void* /*context*/) {
  bool haveService = false, haveTopic = false;
  const std::string serviceName = StringOf(idInst, service, &haveService);
  const std::string topicName = StringOf(idInst, topic, &haveTopic);
  if (!haveService || !haveTopic) {
    SetError(idInst, DMLERR_INVALIDPARAMETER);
    return 0;
  }
  const std::string path = DdeServicePath(serviceName);
  ScopedFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (path.empty() || !fd) {
    SetError(idInst, DMLERR_NO_CONV_ESTABLISHED);
    return 0;
  }
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.data(), path.size());
  // A local connect completes at once or fails at once (no listener, a full backlog).
  if (RetryOnEintr([&] { return connect(fd.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr); }) != 0) {
    SetError(idInst, DMLERR_NO_CONV_ESTABLISHED);
    return 0;
  }
  const uint64_t deadline = sim::NowMs() + kDdeConnectTimeoutMs;
  char kind = 0;
  std::vector<BYTE> payload;
  if (!SendFrame(fd.Get(), 'C', topicName, deadline) ||
      ReadFrame(fd.Get(), deadline, &kind, &payload) != ReadResult::Ok || kind != 'A') {
    SetError(idInst, DMLERR_NO_CONV_ESTABLISHED);
    return 0;
  }
  std::lock_guard<std::mutex> lock(gMutex);
  if (gInstances.find(idInst) == gInstances.end()) return 0;
  const HCONV conv = NewHandle();
  gConversations[conv] = Conversation{idInst, std::move(fd)};
  return conv;
}

BOOL DdeDisconnect(HCONV conv) {
  std::lock_guard<std::mutex> lock(gMutex);
  return gConversations.erase(conv) > 0 ? TRUE : FALSE;
}

HDDEDATA DdeClientTransaction(const BYTE* data, DWORD cb, HCONV conv, HSZ item, UINT fmt, UINT type,
                              DWORD timeoutMs, DWORD* result) {
  if (result != nullptr) *result = 0;
  DWORD instance = 0;
  int fd = -1;
  {
    std::lock_guard<std::mutex> lock(gMutex);
    const auto it = gConversations.find(conv);
    if (it == gConversations.end()) return 0;
    instance = it->second.instance;
    fd = it->second.fd.Get();
  }
  if (type != XTYP_REQUEST || data != nullptr || cb != 0 || fmt > 0xFFFF) {
    SetError(instance, DMLERR_INVALIDPARAMETER);
    return 0;
  }
  bool haveItem = false;
  const std::string itemName = StringOf(instance, item, &haveItem);
  if (!haveItem) {
    SetError(instance, DMLERR_INVALIDPARAMETER);
    return 0;
  }
  const uint64_t deadline = sim::NowMs() + timeoutMs;
  std::string request(2, '\0');
  request[0] = static_cast<char>(fmt >> 8);
  request[1] = static_cast<char>(fmt);
  request += itemName;
  char kind = 0;
  std::vector<BYTE> payload;
  ReadResult read = ReadResult::Failed;
  if (SendFrame(fd, 'R', request, deadline)) read = ReadFrame(fd, deadline, &kind, &payload);
  if (read == ReadResult::Ok && kind == 'N') {
    SetError(instance, DMLERR_NOTPROCESSED);
    return 0;
  }
  if (read != ReadResult::Ok || kind != 'D') {
    // A late answer would be taken for the next request's: the conversation ends.
    SetError(instance, read == ReadResult::TimedOut ? DMLERR_DATAACKTIMEOUT : DMLERR_POSTMSG_FAILED);
    DdeDisconnect(conv);
    return 0;
  }
  std::lock_guard<std::mutex> lock(gMutex);
  const HDDEDATA handle = NewHandle();
  gData[handle] = DataHandle{instance, std::move(payload)};
  if (result != nullptr) *result = 1;
  return handle;
}

BYTE* DdeAccessData(HDDEDATA data, DWORD* size) {
  std::lock_guard<std::mutex> lock(gMutex);
  const auto it = gData.find(data);
  if (it == gData.end()) {
    if (size != nullptr) *size = 0;
    return nullptr;
  }
  if (size != nullptr) *size = static_cast<DWORD>(it->second.bytes.size());
  static BYTE empty = 0;
  return it->second.bytes.empty() ? &empty : it->second.bytes.data();
}

BOOL DdeUnaccessData(HDDEDATA data) {
  std::lock_guard<std::mutex> lock(gMutex);
  return gData.count(data) > 0 ? TRUE : FALSE;
}

BOOL DdeFreeDataHandle(HDDEDATA data) {
  std::lock_guard<std::mutex> lock(gMutex);
  return gData.erase(data) > 0 ? TRUE : FALSE;
}
