// Named mutexes are lock files in the per-user runtime folder. The process that
// makes one holds an exclusive flock on its file for as long as its handle is open;
// the kernel drops the lock when the process ends, so a crashed owner never leaves a
// mutex behind. "Exists" means somebody holds that lock. Lock files are never
// removed: removing one could let two processes lock two different files of the
// same name.
#include "platform/win/Sync.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

#include "platform/rtl/Descriptors.h"
#include "platform/rtl/Files.h"
#include "platform/win/SimHooks.h"

namespace {

struct MutexObject {
  ScopedFd fd;         // the lock file, while this handle keeps the mutex in existence
  bool owned = false;  // ownership, given up by ReleaseMutex
};

std::mutex gMutex;
std::unordered_map<HANDLE, MutexObject> gObjects;
HANDLE gLastHandle = 0x100;  // handles grow by 4 and are never reused
std::string gRuntimeOverride;

HANDLE AddObject(MutexObject object) {
  gLastHandle += 4;
  gObjects.emplace(gLastHandle, std::move(object));
  return gLastHandle;
}

DWORD ErrorFromErrno(int err) {
  switch (err) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_ACCESS_DENIED;
  }
}

// The folder for lock files with a trailing '/', made if missing; "" when it
// cannot be used. Called with gMutex held.
std::string RuntimeFolder() {
  if (!gRuntimeOverride.empty()) {
    const std::string folder = IncludeTrailingPathDelimiter(gRuntimeOverride);
    return ForceDirectories(folder) ? folder : std::string();
  }
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  if (xdg != nullptr && *xdg == '/' && DirectoryExists(xdg)) return IncludeTrailingPathDelimiter(xdg);
  const std::string folder = "/tmp/lark-" + std::to_string(getuid());
  mkdir(folder.c_str(), 0700);
  // Refuse a folder somebody else made for us.
  struct stat st;
  if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return {};
  return folder + "/";
}

}  // namespace

// Names may hold any character ("Local\App"); keep a safe file name.
std::string RuntimeSafeName(const std::string& name) {
  static const char hex[] = "0123456789ABCDEF";
  std::string escaped;
  for (unsigned char c : name) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '_' || c == '.') {
      escaped += static_cast<char>(c);
    } else {
      escaped += '%';
      escaped += hex[c >> 4];
      escaped += hex[c & 15];
    }
  }
  // Stay within the file system's name length: shorten, and tell long names apart by a hash.
  constexpr size_t kMaxEscaped = 200;
  if (escaped.size() > kMaxEscaped) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
    char tail[20];
    std::snprintf(tail, sizeof tail, "~%016llX", static_cast<unsigned long long>(hash));
    escaped = escaped.substr(0, kMaxEscaped - 17) + tail;
  }
  return escaped;
}

std::string UserRuntimeFolder() {
  std::lock_guard<std::mutex> lock(gMutex);
  return RuntimeFolder();
}

namespace {

std::string LockFileName(const std::string& name) { return "lark-mutex-" + RuntimeSafeName(name) + ".lock"; }

// Takes the owner's lock. A prober (OpenMutex) holds a shared lock for a moment; that
// does not count as an owner, so try again while only probers are in the way.
bool TakeOwnerLock(int fd) {
  for (int attempt = 0; attempt < 1000; ++attempt) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    if (flock(fd, LOCK_SH | LOCK_NB) != 0) return false;  // an owner holds it
    flock(fd, LOCK_UN);
    sched_yield();
  }
  return false;
}

}  // namespace

namespace sim {

void SetRuntimeFolder(const std::string& path) {
  std::lock_guard<std::mutex> lock(gMutex);
  gRuntimeOverride = path;
}

}  // namespace sim

HANDLE CreateMutex(void* /*attrs*/, BOOL initialOwner, const char* name) {
  std::lock_guard<std::mutex> lock(gMutex);
  if (name == nullptr || *name == '\0') {
    SetLastError(ERROR_SUCCESS);
    return AddObject({ScopedFd(), initialOwner != 0});
  }
  const std::string folder = RuntimeFolder();
  if (folder.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return 0;
  }
  const std::string path = folder + LockFileName(name);
  ScopedFd fd(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!fd) {
    SetLastError(ErrorFromErrno(errno));
    return 0;
  }
  if (TakeOwnerLock(fd.Get())) {
    SetLastError(ERROR_SUCCESS);
    return AddObject({std::move(fd), initialOwner != 0});
  }
  const int err = errno;
  fd.Reset();
  if (err != EWOULDBLOCK && err != EINTR) {
    SetLastError(ErrorFromErrno(err));
    return 0;
  }
  SetLastError(ERROR_ALREADY_EXISTS);
  return AddObject({ScopedFd(), false});
}

HANDLE OpenMutex(DWORD /*desiredAccess*/, BOOL /*inheritHandle*/, const char* name) {
  std::lock_guard<std::mutex> lock(gMutex);
  if (name == nullptr || *name == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::string folder = RuntimeFolder();
  if (folder.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  const std::string path = folder + LockFileName(name);
  ScopedFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) {
    SetLastError(errno == ENOENT ? ERROR_FILE_NOT_FOUND : ErrorFromErrno(errno));
    return 0;
  }
  // A new open file description conflicts with every owner's lock, ours included.
  const bool held = flock(fd.Get(), LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  fd.Reset();
  if (!held) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  return AddObject({ScopedFd(), false});
}

BOOL ReleaseMutex(HANDLE mutex) {
  std::lock_guard<std::mutex> lock(gMutex);
  const auto it = gObjects.find(mutex);
  if (it == gObjects.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (!it->second.owned) {
    SetLastError(ERROR_NOT_OWNER);
    return 0;
  }
  it->second.owned = false;
  return 1;
}

BOOL CloseHandle(HANDLE object) {
  std::lock_guard<std::mutex> lock(gMutex);
  const auto it = gObjects.find(object);
  if (it == gObjects.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  gObjects.erase(it);  // closing the lock file drops the lock: the mutex is gone
  return 1;
}
