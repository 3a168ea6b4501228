#include "platform/rtl/Files.h"

#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <vector>

#include "platform/rtl/Descriptors.h"
#include "platform/rtl/SimHooks.h"
#include "platform/win/WinTypes.h"

namespace {

bool IsPathDelimiter(char c) { return c == '/' || c == '\\'; }
bool IsDelimiter(char c) { return c == '/' || c == '\\' || c == ':'; }

// Index of the last delimiter, or npos.
size_t LastDelimiter(const AnsiString& s) {
  for (size_t i = s.size(); i > 0; --i)
    if (IsDelimiter(s[i - 1])) return i - 1;
  return AnsiString::npos;
}

// Index of the '.' that starts the extension, or npos: the last of '.', '\' and ':'
// must be a '.'.
size_t ExtensionStart(const AnsiString& s) {
  for (size_t i = s.size(); i > 0; --i) {
    const char c = s[i - 1];
    if (c == '.') return i - 1;
    if (c == '\\' || c == ':') return AnsiString::npos;
  }
  return AnsiString::npos;
}

// Renames without replacing: renameat2 where the file system has it, else a hard
// link (which fails on an existing name) and an unlink.
bool RenameNoReplace(const char* from, const char* to) {
  if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
  if (link(from, to) == 0) {
    if (unlink(from) == 0) return true;
    const int saved = errno;
    unlink(to);
    errno = saved;
    return false;
  }
  if (errno != EPERM) return false;
  // Folders cannot be linked: check and rename, the best this file system allows.
  struct stat st;
  if (lstat(to, &st) == 0) {
    errno = EEXIST;
    return false;
  }
  return rename(from, to) == 0;
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    if (sim::ShouldFail(sim::Fault::FileWrite)) {
      errno = EIO;
      return false;
    }
    const ssize_t n = RetryOnEintr([&] { return write(fd, data, size); });
    if (n < 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

DWORD ErrorFromErrno(int err) {
  switch (err) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_ACCESS_DENIED;
  }
}

BOOL CopyFailed(int err) {
  SetLastError(ErrorFromErrno(err));
  return 0;
}

std::mutex gProgramMutex;
AnsiString gProgramPath;  // set by tests; empty means the real executable

}  // namespace

bool FileExists(const AnsiString& fileName) {
  struct stat st;
  return !fileName.empty() && stat(fileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const AnsiString& directory) {
  struct stat st;
  return !directory.empty() && stat(directory.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFile(const AnsiString& fileName) {
  if (fileName.empty() || sim::ShouldFail(sim::Fault::FileDelete)) return false;
  return unlink(fileName.c_str()) == 0;
}

bool RenameFile(const AnsiString& oldName, const AnsiString& newName) {
  if (oldName.empty() || newName.empty() || sim::ShouldFail(sim::Fault::FileRename)) return false;
  return RenameNoReplace(oldName.c_str(), newName.c_str());
}

BOOL CopyFile(const char* existingFileName, const char* newFileName, BOOL failIfExists) {
  if (existingFileName == nullptr || newFileName == nullptr || *existingFileName == '\0' ||
      *newFileName == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const ScopedFd src(open(existingFileName, O_RDONLY | O_CLOEXEC));
  if (!src) return CopyFailed(errno);
  struct stat st;
  const int statErr = fstat(src.Get(), &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EACCES : 0;
  if (statErr != 0) return CopyFailed(statErr);
  if (failIfExists) {
    struct stat existing;
    if (lstat(newFileName, &existing) == 0) return CopyFailed(EEXIST);
  }

  const AnsiString target = newFileName;
  AnsiString temp = ExtractFilePath(target) + "." + ExtractFileName(target) + ".XXXXXX";
  if (sim::ShouldFail(sim::Fault::FileCreate)) return CopyFailed(EACCES);
  ScopedFd dst(mkostemp(temp.data(), O_CLOEXEC));
  if (!dst) return CopyFailed(errno == ENOENT ? ENOTDIR : errno);  // the target's folder is missing

  bool ok = fchmod(dst.Get(), st.st_mode & 07777) == 0;
  std::vector<char> buffer(64 * 1024);
  while (ok) {
    const ssize_t n = RetryOnEintr([&] { return read(src.Get(), buffer.data(), buffer.size()); });
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    ok = WriteAll(dst.Get(), buffer.data(), static_cast<size_t>(n));
  }
  if (ok) ok = fdatasync(dst.Get()) == 0;
  int err = errno;
  if (dst.Close() != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok) {
    if (sim::ShouldFail(sim::Fault::FileRename)) {
      ok = false;
      err = EACCES;
    } else if (failIfExists ? !RenameNoReplace(temp.c_str(), newFileName)
                            : rename(temp.c_str(), newFileName) != 0) {
      ok = false;
      err = errno;
    }
  }
  if (!ok) {
    unlink(temp.c_str());
    return CopyFailed(err);
  }
  return 1;
}

AnsiString ExtractFilePath(const AnsiString& fileName) {
  const size_t i = LastDelimiter(fileName);
  return i == AnsiString::npos ? AnsiString() : fileName.substr(0, i + 1);
}

AnsiString ExtractFileName(const AnsiString& fileName) {
  const size_t i = LastDelimiter(fileName);
  return i == AnsiString::npos ? fileName : fileName.substr(i + 1);
}

AnsiString ExtractFileDir(const AnsiString& fileName) {
  const size_t i = LastDelimiter(fileName);
  if (i == AnsiString::npos) return AnsiString();
  if (i > 0 && IsPathDelimiter(fileName[i]) && !IsDelimiter(fileName[i - 1]))
    return fileName.substr(0, i);
  return fileName.substr(0, i + 1);
}

AnsiString ExtractFileExt(const AnsiString& fileName) {
  const size_t i = ExtensionStart(fileName);
  return i == AnsiString::npos ? AnsiString() : fileName.substr(i);
}

AnsiString ChangeFileExt(const AnsiString& fileName, const AnsiString& extension) {
  const size_t i = ExtensionStart(fileName);
  return (i == AnsiString::npos ? fileName : fileName.substr(0, i)) + extension;
}

AnsiString IncludeTrailingPathDelimiter(const AnsiString& path) {
  if (!path.empty() && path.back() == PathDelim) return path;
  return path + PathDelim;
}

AnsiString ExcludeTrailingPathDelimiter(const AnsiString& path) {
  if (!path.empty() && path.back() == PathDelim) return path.substr(0, path.size() - 1);
  return path;
}

bool CreateDir(const AnsiString& dir) { return !dir.empty() && mkdir(dir.c_str(), 0777) == 0; }

bool RemoveDir(const AnsiString& dir) { return !dir.empty() && rmdir(dir.c_str()) == 0; }

bool ForceDirectories(const AnsiString& dir) {
  AnsiString path = dir;
  while (!path.empty() && path.back() == PathDelim) path.pop_back();
  if (path.empty()) return !dir.empty();  // the root
  if (DirectoryExists(path)) return true;
  // Only '/' separates folders on this system: "a:b" is one name.
  const size_t slash = path.rfind(PathDelim);
  if (slash != AnsiString::npos && !ForceDirectories(path.substr(0, slash + 1))) return false;
  // Another process may have made it meanwhile.
  return mkdir(path.c_str(), 0777) == 0 || (errno == EEXIST && DirectoryExists(path));
}

AnsiString GetCurrentDir() {
  std::vector<char> buffer(PATH_MAX);
  for (;;) {
    if (getcwd(buffer.data(), buffer.size()) != nullptr) return AnsiString(buffer.data());
    if (errno != ERANGE || buffer.size() > (1u << 20)) return AnsiString();
    buffer.resize(buffer.size() * 2);
  }
}

namespace sim {

void SetProgramPath(const std::string& path) {
  std::lock_guard<std::mutex> lock(gProgramMutex);
  gProgramPath = path;
}

}  // namespace sim

AnsiString ProgramFileName() {
  {
    std::lock_guard<std::mutex> lock(gProgramMutex);
    if (!gProgramPath.empty()) return gProgramPath;
  }
  std::vector<char> buffer(PATH_MAX);
  for (;;) {
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return AnsiString();
    if (static_cast<size_t>(n) < buffer.size()) return AnsiString(buffer.data(), static_cast<size_t>(n));
    if (buffer.size() > (1u << 20)) return AnsiString();
    buffer.resize(buffer.size() * 2);
  }
}

AnsiString ParamStr0() { return ProgramFileName(); }

AnsiString ProgramFolder() { return ExtractFilePath(ProgramFileName()); }
