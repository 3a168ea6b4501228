#include "image/io/dadiravio_files.h"

#include <sys/stat.h>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "platform/win/TempFiles.h"

IEReplacingFile::IEReplacingFile(const AnsiString& target) : target_(target) {
  AnsiString folder = ExtractFilePath(target);
  if (folder.empty()) folder = "./";
  char name[MAX_PATH + 1] = {};
  if (GetTempFileName(folder.c_str(), "ies", 0, name) == 0)
    throw EFCreateError("Cannot create file \"" + target + "\". The folder takes no new file");
  temp_ = name;
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
