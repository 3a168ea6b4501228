#include "image/io/dadiravio_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Strings.h"
#include "platform/win/TempFiles.h"

IEReplacingFile::IEReplacingFile(const AnsiString& target) : target_(target) {
  AnsiString folder = ExtractFilePath(target);
  if (folder.empty()) folder = "./";
  char name[MAX_PATH + 1] = {};
  if (folder.size() + 14 <= MAX_PATH) {
    if (GetTempFileName(folder.c_str(), "ies", 0, name) == 0)
      throw EFCreateError("Cannot create file \"" + target + "\". The folder takes no new file");
    temp_ = name;
  } else {
    // A folder deeper than the platform's temporary names reach: a name of our own
    // beside the target, made exclusively.
    if (folder.back() != '/') folder += '/';
    for (unsigned i = 0; i < 1000 && temp_.empty(); ++i) {
      const AnsiString candidate = folder + "ies" + IntToHex(static_cast<Integer>((::getpid() + i * 7919u) & 0xFFFFFF), 6) + ".tmp";
      const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd >= 0) {
        ::close(fd);
        temp_ = candidate;
      } else if (errno != EEXIST) {
        break;
      }
    }
    if (temp_.empty()) throw EFCreateError("Cannot create file \"" + target + "\". The folder takes no new file");
  }
  try {
    stream_ = std::make_unique<TFileStream>(temp_, fmCreate);
  } catch (...) {
    DeleteFile(temp_);
    throw;
  }
}

IEReplacingFile::~IEReplacingFile() {
  stream_.reset();
  if (!committed_) DeleteFile(temp_);
}

bool IEReplacingFile::Commit() {
  stream_.reset();
  // A replaced file keeps its permissions; a new one gets the usual ones.
  struct stat old {};
  mode_t mode = ::stat(target_.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  ::chmod(temp_.c_str(), mode);
  if (!MoveFileEx(temp_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
  committed_ = true;
  return true;
}
