// Host, service and protocol lookups, blocking and asynchronous.
#include <unistd.h>

#include <cstring>
#include <thread>
#include <unordered_map>

#include "platform/winsock/SimHooks.h"
#include "platform/win/MessageQueue.h"
#include "platform/win/Window.h"
#include "platform/winsock/WinsockInternal.h"

namespace winsock {

using detail::Fail;

namespace detail {

size_t PackHostent(char* buf, size_t size, const std::string& name,
                   const std::vector<std::string>& aliases,
                   const std::vector<uint32_t>& addresses) {
  const size_t aliasesAt = sizeof(hostent);
  const size_t addrListAt = aliasesAt + (aliases.size() + 1) * sizeof(char*);
  const size_t addrsAt = addrListAt + (addresses.size() + 1) * sizeof(char*);
  const size_t stringsAt = addrsAt + addresses.size() * 4;
  size_t need = stringsAt + name.size() + 1;
  for (const std::string& a : aliases) need += a.size() + 1;
  if (need > size) return need;

  // Everything is copied byte by byte: the caller's buffer holds the record, and
  // every pointer in it points into the same buffer.
  auto putPointer = [buf](size_t at, const void* p) { std::memcpy(buf + at, &p, sizeof p); };
  size_t text = stringsAt;
  auto putString = [buf, &text](const std::string& s) {
    char* at = buf + text;
    std::memcpy(at, s.c_str(), s.size() + 1);
    text += s.size() + 1;
    return at;
  };
  hostent h{};
  h.h_name = putString(name);
  h.h_aliases = reinterpret_cast<char**>(buf + aliasesAt);
  h.h_addrtype = AF_INET;
  h.h_length = 4;
  h.h_addr_list = reinterpret_cast<char**>(buf + addrListAt);
  std::memcpy(buf, &h, sizeof h);
  for (size_t i = 0; i < aliases.size(); ++i) {
    putPointer(aliasesAt + i * sizeof(char*), putString(aliases[i]));
  }
  putPointer(aliasesAt + aliases.size() * sizeof(char*), nullptr);
  for (size_t i = 0; i < addresses.size(); ++i) {
    std::memcpy(buf + addrsAt + i * 4, &addresses[i], 4);
    putPointer(addrListAt + i * sizeof(char*), buf + addrsAt + i * 4);
  }
  putPointer(addrListAt + addresses.size() * sizeof(char*), nullptr);
  return need;
}

namespace {

// A dotted address is answered as it is, without asking the resolver.
sim::ResolverAnswer ResolveHostName(const std::string& name) {
  const u_long numeric = inet_addr(name.c_str());
  if (numeric != INADDR_NONE || name == "255.255.255.255") {
    sim::ResolverAnswer answer;
    answer.name = name;
    answer.addresses.push_back(numeric);
    return answer;
  }
  sim::ResolverAnswer answer = LookupName(name);
  if (answer.error == 0 && answer.addresses.empty()) answer.error = WSANO_DATA;
  if (answer.name.empty()) answer.name = name;
  return answer;
}

sim::ResolverAnswer ResolveHostAddress(uint32_t address) {
  sim::ResolverAnswer answer = LookupAddress(address);
  if (answer.error == 0 && answer.name.empty()) answer.error = WSANO_DATA;
  if (answer.addresses.empty()) answer.addresses.push_back(address);
  return answer;
}

std::string LocalHostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) < 0) return "localhost";
  return name;
}

// The calling thread's answer of a blocking host lookup, aligned for hostent.
hostent* StoreHostent(std::vector<uint64_t>& store, const sim::ResolverAnswer& answer) {
  const size_t need = PackHostent(nullptr, 0, answer.name, answer.aliases, answer.addresses);
  store.assign((need + sizeof(uint64_t) - 1) / sizeof(uint64_t), 0);
  char* buf = reinterpret_cast<char*>(store.data());
  PackHostent(buf, store.size() * sizeof(uint64_t), answer.name, answer.aliases, answer.addresses);
  return reinterpret_cast<hostent*>(buf);
}

// ---- asynchronous lookups ----

struct Task {
  HANDLE handle = 0;
  HWND hwnd = 0;
  UINT msg = 0;
  char* buf = nullptr;
  int buflen = 0;
  bool byAddress = false;
  std::string name;
  uint32_t address = 0;
};

struct TaskTable {
  std::mutex mutex;
  std::unordered_map<HANDLE, std::shared_ptr<Task>> running;
  HANDLE next = 1;
  int threads = 0;  // workers not finished yet
};

// Lookup threads may still run while the process exits.
TaskTable& Tasks() {
  static larkwin::NoDestroy<TaskTable> tasks;
  return tasks.Get();
}

void RunTask(std::shared_ptr<Task> task) {
  const sim::ResolverAnswer answer =
      task->byAddress ? ResolveHostAddress(task->address) : ResolveHostName(task->name);
  TaskTable& t = Tasks();
  // The buffer is written under the lock, so a cancel that succeeded means that
  // nothing is written into it any more.
  std::lock_guard<std::mutex> lock(t.mutex);
  --t.threads;
  if (t.running.erase(task->handle) == 0) return;  // cancelled
  int error = answer.error;
  size_t used = 0;
  if (error == 0) {
    used = PackHostent(task->buf, static_cast<size_t>(task->buflen), answer.name, answer.aliases,
                       answer.addresses);
    if (used > static_cast<size_t>(task->buflen)) error = WSAENOBUFS;
  }
  PostMessage(task->hwnd, task->msg, task->handle,
              WSAMAKEASYNCREPLY(static_cast<Word>(used > 0xFFFF ? 0xFFFF : used),
                                static_cast<Word>(error)));
}

HANDLE StartTask(std::shared_ptr<Task> task) {
  TaskTable& t = Tasks();
  {
    std::lock_guard<std::mutex> lock(t.mutex);
    task->handle = t.next++;
    t.running.emplace(task->handle, task);
    ++t.threads;
  }
  const HANDLE handle = task->handle;
  try {
    std::thread(RunTask, std::move(task)).detach();
  } catch (const std::system_error&) {
    std::lock_guard<std::mutex> lock(t.mutex);
    t.running.erase(handle);
    --t.threads;
    Fail(WSAENOBUFS);
    return 0;
  }
  return handle;
}

bool CheckAsyncArgs(HWND hWnd, const void* what, char* buf, int buflen) {
  if (!CheckStarted()) return false;
  if (what == nullptr || buf == nullptr || buflen <= 0 ||
      reinterpret_cast<uintptr_t>(buf) % alignof(hostent) != 0) {
    Fail(WSAEFAULT);
    return false;
  }
  if (!IsWindow(hWnd)) {
    Fail(WSAEINVAL);
    return false;
  }
  return true;
}

}  // namespace

void CancelAllLookups() {
  std::lock_guard<std::mutex> lock(Tasks().mutex);
  Tasks().running.clear();
}

}  // namespace detail

hostent* gethostbyname(const char* name) {
  if (!detail::CheckStarted()) return nullptr;
  const std::string wanted = name == nullptr || *name == '\0' ? detail::LocalHostName() : name;
  const sim::ResolverAnswer answer = detail::ResolveHostName(wanted);
  if (answer.error != 0) {
    Fail(answer.error);
    return nullptr;
  }
  thread_local std::vector<uint64_t> store;
  return detail::StoreHostent(store, answer);
}

hostent* gethostbyaddr(const char* addr, int len, int type) {
  if (!detail::CheckStarted()) return nullptr;
  if (addr == nullptr || len != 4) {
    Fail(WSAEFAULT);
    return nullptr;
  }
  if (type != AF_INET) {
    Fail(WSAEAFNOSUPPORT);
    return nullptr;
  }
  uint32_t address;
  std::memcpy(&address, addr, 4);
  const sim::ResolverAnswer answer = detail::ResolveHostAddress(address);
  if (answer.error != 0) {
    Fail(answer.error);
    return nullptr;
  }
  thread_local std::vector<uint64_t> store;
  return detail::StoreHostent(store, answer);
}

int gethostname(char* name, int namelen) {
  if (!detail::CheckStarted()) return SOCKET_ERROR;
  if (name == nullptr || namelen <= 0) return Fail(WSAEFAULT);
  const std::string local = detail::LocalHostName();
  if (static_cast<int>(local.size()) + 1 > namelen) return Fail(WSAEFAULT);
  std::memcpy(name, local.c_str(), local.size() + 1);
  return 0;
}

servent* getservbyname(const char* name, const char* proto) {
  if (!detail::CheckStarted()) return nullptr;
  if (name == nullptr) {
    Fail(WSAEFAULT);
    return nullptr;
  }
  struct Store {
    servent ent{};
    std::string name, proto;
    std::vector<std::string> aliases;
    std::vector<char*> aliasPointers;
  };
  thread_local Store store;
  ::servent found{};
  ::servent* result = nullptr;
  char scratch[4096];
  if (::getservbyname_r(name, proto, &found, scratch, sizeof scratch, &result) != 0 ||
      result == nullptr) {
    Fail(WSANO_DATA);
    return nullptr;
  }
  store.name = found.s_name;
  store.proto = found.s_proto;
  store.aliases.clear();
  for (char** a = found.s_aliases; a != nullptr && *a != nullptr; ++a) store.aliases.emplace_back(*a);
  store.aliasPointers.clear();
  for (std::string& a : store.aliases) store.aliasPointers.push_back(a.data());
  store.aliasPointers.push_back(nullptr);
  store.ent.s_name = store.name.data();
  store.ent.s_aliases = store.aliasPointers.data();
  store.ent.s_port = static_cast<short>(found.s_port);  // already in network byte order
  store.ent.s_proto = store.proto.data();
  return &store.ent;
}

protoent* getprotobyname(const char* name) {
  if (!detail::CheckStarted()) return nullptr;
  if (name == nullptr) {
    Fail(WSAEFAULT);
    return nullptr;
  }
  struct Store {
    protoent ent{};
    std::string name;
    std::vector<std::string> aliases;
    std::vector<char*> aliasPointers;
  };
  thread_local Store store;
  ::protoent found{};
  ::protoent* result = nullptr;
  char scratch[4096];
  if (::getprotobyname_r(name, &found, scratch, sizeof scratch, &result) != 0 ||
      result == nullptr) {
    Fail(WSANO_DATA);
    return nullptr;
  }
  store.name = found.p_name;
  store.aliases.clear();
  for (char** a = found.p_aliases; a != nullptr && *a != nullptr; ++a) store.aliases.emplace_back(*a);
  store.aliasPointers.clear();
  for (std::string& a : store.aliases) store.aliasPointers.push_back(a.data());
  store.aliasPointers.push_back(nullptr);
  store.ent.p_name = store.name.data();
  store.ent.p_aliases = store.aliasPointers.data();
  store.ent.p_proto = static_cast<short>(found.p_proto);
  return &store.ent;
}

HANDLE WSAAsyncGetHostByName(HWND hWnd, u_int wMsg, const char* name, char* buf, int buflen) {
  if (!detail::CheckAsyncArgs(hWnd, name, buf, buflen)) return 0;
  auto task = std::make_shared<detail::Task>();
  task->hwnd = hWnd;
  task->msg = wMsg;
  task->buf = buf;
  task->buflen = buflen;
  task->name = name;
  return detail::StartTask(std::move(task));
}

HANDLE WSAAsyncGetHostByAddr(HWND hWnd, u_int wMsg, const char* addr, int len, int type,
                             char* buf, int buflen) {
  if (!detail::CheckAsyncArgs(hWnd, addr, buf, buflen)) return 0;
  if (len != 4) {
    Fail(WSAEFAULT);
    return 0;
  }
  if (type != AF_INET) {
    Fail(WSAEAFNOSUPPORT);
    return 0;
  }
  auto task = std::make_shared<detail::Task>();
  task->hwnd = hWnd;
  task->msg = wMsg;
  task->buf = buf;
  task->buflen = buflen;
  task->byAddress = true;
  std::memcpy(&task->address, addr, 4);
  return detail::StartTask(std::move(task));
}

int WSACancelAsyncRequest(HANDLE asyncTaskHandle) {
  if (!detail::CheckStarted()) return SOCKET_ERROR;
  detail::TaskTable& t = detail::Tasks();
  std::lock_guard<std::mutex> lock(t.mutex);
  if (t.running.erase(asyncTaskHandle) != 0) return 0;
  // A handle given out earlier has finished (its reply was posted) or was cancelled.
  if (asyncTaskHandle != 0 && asyncTaskHandle < t.next) return Fail(WSAEALREADY);
  return Fail(WSAEINVAL);
}

}  // namespace winsock

namespace sim {

int WinsockLookupsInFlight() {
  std::lock_guard<std::mutex> lock(winsock::detail::Tasks().mutex);
  return winsock::detail::Tasks().threads;
}

}  // namespace sim
