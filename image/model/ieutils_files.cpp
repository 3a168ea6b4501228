// Folders and file sizes.
#include "image/model/ieutils.h"

#include <sys/stat.h>

#include "platform/rtl/Exceptions.h"

bool IEDirectoryExists(const AnsiString& name) {
  struct stat info {};
  return !name.empty() && stat(name.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void IEForceDirectories(const AnsiString& dir) {
  if (dir.empty()) throw Exception("Cannot Create Directory");
  AnsiString name = dir;
  if (name.size() > 1 && name.back() == '/') name.pop_back();
  if (IEDirectoryExists(name)) return;
  // Each folder from the top down; the ones that exist are passed over.
  for (size_t end = name.find('/', 1); ; end = name.find('/', end + 1)) {
    const AnsiString level = name.substr(0, end);
    if (!level.empty() && level.back() != '/' && !IEDirectoryExists(level))
      mkdir(level.c_str(), 0777);
    if (end == AnsiString::npos) break;
  }
}

Int64 _getfilesize(const AnsiString& fileName) {
  struct stat info {};
  if (fileName.empty() || stat(fileName.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return -1;
  return static_cast<Int64>(info.st_size);
}
