// TIEMemoryMapped: temporary files mapped a view at a time, and the 64-bit helpers.
#include "image/model/ieutils.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/rtl/Exceptions.h"
#include "platform/win/TempFiles.h"

AnsiString DefTEMPPATH;

namespace {

constexpr UInt64 kMaxFileSize = static_cast<UInt64>(INT64_MAX);

UInt64 Join(DWORD low, DWORD high) { return (static_cast<UInt64>(high) << 32) | low; }

// Reserves [from, to) of the file so that later writes through a view cannot meet a
// full disk. Filesystems without the call get the space written out instead.
bool Reserve(int fd, UInt64 from, UInt64 to) {
  if (to <= from) return true;
  int error = posix_fallocate(fd, static_cast<off_t>(from), static_cast<off_t>(to - from));
  while (error == EINTR)
    error = posix_fallocate(fd, static_cast<off_t>(from), static_cast<off_t>(to - from));
  return error == 0;
}

// A new empty file with a unique name in the temporary folder.
AnsiString NewTemporaryFile() {
  AnsiString folder = DefTEMPPATH.empty() ? GetTempPathStr() : DefTEMPPATH;
  if (folder.empty()) return {};
  IEForceDirectories(folder);
  char name[MAX_PATH] = {};
  if (GetTempFileName(folder.c_str(), "dadirav", 0, name) == 0) return {};
  return name;
}

}  // namespace

TIEMemoryMapped::~TIEMemoryMapped() { DeAllocate(); }

bool TIEMemoryMapped::AllocateFile(const AnsiString& name, DWORD sizeLow, DWORD sizeHigh) {
  if (allocated_) return false;
  const UInt64 size = Join(sizeLow, sizeHigh);
  fileName_ = name.empty() ? NewTemporaryFile() : name;
  if (fileName_.empty()) return false;

  fd_.Reset(open(fileName_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
  if (!fd_) {
    if (name.empty()) unlink(fileName_.c_str());
    return false;
  }
  struct stat info {};
  const int fd = fd_.Get();
  const bool sized = size <= kMaxFileSize && ftruncate(fd, static_cast<off_t>(size)) == 0 &&
                     Reserve(fd, 0, size) && fstat(fd, &info) == 0 &&
                     static_cast<UInt64>(info.st_size) == size;
  if (!sized) {
    CloseFile(true);
    return false;
  }
  size_ = size;
  allocated_ = true;
  return true;
}

bool TIEMemoryMapped::ReAllocateFile(DWORD sizeLow, DWORD sizeHigh) {
  if (!allocated_) return false;
  // Cutting a file under a live view would make reads through it fault.
  UnMapAll();
  const UInt64 size = Join(sizeLow, sizeHigh);
  if (size > kMaxFileSize) return false;
  if (ftruncate(fd_.Get(), static_cast<off_t>(size)) != 0) return false;
  if (!Reserve(fd_.Get(), size_, size)) {
    // Back to the old size; should that fail too, the file stays longer than
    // recorded, which views (limited to size_) never see.
    const int restored = ftruncate(fd_.Get(), static_cast<off_t>(size_));
    (void)restored;
    return false;
  }
  size_ = size;
  return true;
}

void* TIEMemoryMapped::Map(DWORD offsetHigh, DWORD offsetLow, DWORD size) {
  if (!allocated_) return nullptr;
  const UInt64 offset = Join(offsetLow, offsetHigh);
  void* address = nullptr;
  if (offset % IEAllocationGranularity == 0 && size != 0 && offset <= size_ &&
      size <= size_ - offset) {
    address = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd_.Get(),
                   static_cast<off_t>(offset));
    if (address == MAP_FAILED) address = nullptr;
  }
  views_.push_back({address, address != nullptr ? size : 0});
  return address;
}

void TIEMemoryMapped::UnMap(void* view) {
  auto it = std::find_if(views_.begin(), views_.end(),
                         [view](const View& v) { return v.address == view; });
  if (it == views_.end()) throw EListError("List index out of bounds (-1)");
  if (it->address != nullptr) munmap(it->address, it->length);
  views_.erase(it);
}

void TIEMemoryMapped::UnMapAll() {
  if (!allocated_) return;
  while (!views_.empty()) {
    const View& view = views_.back();
    if (view.address != nullptr) munmap(view.address, view.length);
    views_.pop_back();
  }
}

void TIEMemoryMapped::DeAllocate() {
  if (!allocated_) return;
  UnMapAll();
  CloseFile(true);
  allocated_ = false;
  size_ = 0;
}

void TIEMemoryMapped::CloseFile(bool deleteFile) {
  fd_.Reset();
  if (deleteFile && !fileName_.empty()) unlink(fileName_.c_str());
}

bool TIEMemoryMapped::CopyTo(TIEMemoryMapped* dest, DWORD offsetHigh, DWORD offsetLow,
                             UInt64 size) {
  if (dest == nullptr || !allocated_ || !dest->allocated_) return false;
  if (size == 0) return true;
  UInt64 offset = Join(offsetLow, offsetHigh);
  if (offset > size_ || size > size_ - offset || offset > dest->size_ ||
      size > dest->size_ - offset)
    return false;
  while (size > 0) {
    const auto step = static_cast<DWORD>(std::min<UInt64>(size, kCopyStep));
    // Views start on the granularity; the copy starts delta bytes into them.
    const UInt64 base = offset - offset % IEAllocationGranularity;
    const auto delta = static_cast<DWORD>(offset - base);
    const auto high = static_cast<DWORD>(base >> 32);
    const auto low = static_cast<DWORD>(base);
    void* from = Map(high, low, delta + step);
    void* to = dest->Map(high, low, delta + step);
    if (from != nullptr && to != nullptr)
      std::memcpy(static_cast<Byte*>(to) + delta, static_cast<Byte*>(from) + delta, step);
    dest->UnMap(to);
    UnMap(from);
    if (from == nullptr || to == nullptr) return false;
    offset += step;
    size -= step;
  }
  return true;
}

UInt64 IEGetFreeMemory() {
  if (FILE* meminfo = std::fopen("/proc/meminfo", "r")) {
    char line[256];
    unsigned long long kilobytes = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, meminfo) != nullptr)
      found = std::sscanf(line, "MemAvailable: %llu kB", &kilobytes) == 1;
    std::fclose(meminfo);
    if (found) return static_cast<UInt64>(kilobytes) * 1024;
  }
  struct sysinfo info {};
  if (sysinfo(&info) != 0) return 0;
  return static_cast<UInt64>(info.freeram) * info.mem_unit;
}

void IEMul64(DWORD a, DWORD b, DWORD& low, DWORD& high) {
  const UInt64 product = static_cast<UInt64>(a) * b;
  low = static_cast<DWORD>(product);
  high = static_cast<DWORD>(product >> 32);
}

bool IEAdd64(DWORD aLow, DWORD aHigh, DWORD bLow, DWORD bHigh, DWORD& low, DWORD& high) {
  const UInt64 a = Join(aLow, aHigh);
  const UInt64 sum = a + Join(bLow, bHigh);
  low = static_cast<DWORD>(sum);
  high = static_cast<DWORD>(sum >> 32);
  return sum < a;
}

bool IEGreater64(DWORD aLow, DWORD aHigh, DWORD bLow, DWORD bHigh) {
  return Join(aLow, aHigh) > Join(bLow, bHigh);
}
