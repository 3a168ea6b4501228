#include "platform/win/TempFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/rtl/Descriptors.h"
#include "platform/rtl/SimHooks.h"

namespace {

// Where the search for a free number starts; moves on with every call so that
// consecutive calls do not probe the same names again.
std::atomic<uint32_t> gNextNumber{
    static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
    (static_cast<uint32_t>(getpid()) << 8)};

AnsiString FormName(const AnsiString& folder, const AnsiString& prefix, UINT number) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "%X", number & 0xFFFFu);
  return folder + prefix + hex + ".tmp";
}

}  // namespace

AnsiString GetTempPathStr() {
  const char* tmp = std::getenv("TMPDIR");
  AnsiString path = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
  if (path.back() != '/') path += '/';
  return path;
}

DWORD GetTempPath(DWORD bufferLength, char* buffer) {
  const AnsiString path = GetTempPathStr();
  const DWORD length = static_cast<DWORD>(path.size());
  if (buffer == nullptr || bufferLength <= length) return length + 1;
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return length;
}

UINT GetTempFileName(const char* pathName, const char* prefixString, UINT unique,
                     char* tempFileName) {
  if (pathName == nullptr || tempFileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  AnsiString folder = pathName;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  // Room for the prefix, four hex digits, ".tmp" and the terminator.
  if (folder.size() > MAX_PATH - 14) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const AnsiString prefix = AnsiString(prefixString == nullptr ? "" : prefixString).substr(0, 3);

  if (unique != 0) {
    const AnsiString name = FormName(folder, prefix, unique);
    std::memcpy(tempFileName, name.c_str(), name.size() + 1);
    return unique;
  }

  const uint32_t start = gNextNumber.fetch_add(1);
  for (uint32_t i = 0; i < 0xFFFFu; ++i) {
    const UINT number = (start + i) % 0xFFFFu + 1;  // 1..FFFF; 0 means "choose one"
    const AnsiString name = FormName(folder, prefix, number);
    if (sim::ShouldFail(sim::Fault::FileCreate)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return 0;
    }
    if (ScopedFd(open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600))) {
      gNextNumber.store(start + i + 1);
      std::memcpy(tempFileName, name.c_str(), name.size() + 1);
      return number;
    }
    if (errno == EEXIST) continue;
    SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ERROR_ACCESS_DENIED);
    return 0;
  }
  SetLastError(ERROR_FILE_EXISTS);
  return 0;
}

BOOL MoveFileEx(const char* existingFileName, const char* newFileName, DWORD flags) {
  if (existingFileName == nullptr || newFileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (sim::ShouldFail(sim::Fault::FileRename)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if ((flags & MOVEFILE_REPLACE_EXISTING) == 0 && ::access(newFileName, F_OK) == 0) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return FALSE;
  }
  if (std::rename(existingFileName, newFileName) != 0) {
    SetLastError(errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return TRUE;
}
