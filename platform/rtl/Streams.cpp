#include "platform/rtl/Streams.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <utility>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/SimHooks.h"

namespace {

constexpr Int64 kCopyBufferSize = 0xF000;

bool ParentFolderExists(const AnsiString& fileName) {
  size_t slash = fileName.find_last_of('/');
  if (slash == AnsiString::npos) return true;
  AnsiString dir = slash == 0 ? AnsiString("/") : fileName.substr(0, slash);
  struct stat st {};
  return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The platform's wording for the failures a file open meets most.
AnsiString SystemMessage(int error, const AnsiString& fileName) {
  switch (error) {
    case ENOENT:
      return ParentFolderExists(fileName) ? "The system cannot find the file specified"
                                          : "The system cannot find the path specified";
    case ENOTDIR:
      return "The system cannot find the path specified";
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
      return "Access is denied";
    case EWOULDBLOCK:
      return "The process cannot access the file because it is being used by another process";
    case ENOSPC:
    case EDQUOT:
      return "There is not enough space on the disk";
    case ENAMETOOLONG:
      return "The filename or extension is too long";
    case EMFILE:
    case ENFILE:
      return "The system cannot open the file";
    case EIO:
      return "The request could not be performed because of an I/O device error";
    case EINVAL:
      return "The parameter is incorrect";
    default:
      return std::strerror(error);
  }
}

[[noreturn]] void RaiseOpenError(bool create, const AnsiString& fileName, int error) {
  AnsiString message = SystemMessage(error, fileName);
  if (create) throw EFCreateError("Cannot create file \"" + fileName + "\". " + message);
  throw EFOpenError("Cannot open file \"" + fileName + "\". " + message);
}

// Share modes as open file description locks on bytes far past any real data, so
// they never meet a lock on the file's content. Each open holds a shared lock on
// the byte of each access it has and of each access it denies; an open conflicts
// when another holds the denial of an access it wants or an access it denies. A
// flock on the file makes the check and the taking one step between processes.
// Shared record locks need a descriptor open for reading.
constexpr off_t kShareLockBase = INT64_MAX - 16;
enum ShareByte : off_t { AccessRead, AccessWrite, DenyRead, DenyWrite };

int LockByte(int fd, int command, short type, ShareByte which) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = kShareLockBase + which;
  lock.l_len = 1;
  if (RetryOnEintr([&] { return ::fcntl(fd, command, &lock); }) != 0) return -1;
  return command == F_OFD_GETLK ? lock.l_type : 0;
}

// True when another open holds a lock on that byte.
bool ByteHeld(int fd, ShareByte which) {
  int type = LockByte(fd, F_OFD_GETLK, F_WRLCK, which);
  return type >= 0 && type != F_UNLCK;
}

// Takes the share locks for the access and denials on lockFd (open for reading);
// false on a sharing conflict. A file system without locks shares everything.
bool AcquireShare(int lockFd, bool readAccess, bool writeAccess, bool denyRead, bool denyWrite) {
  if (RetryOnEintr([&] { return ::flock(lockFd, LOCK_EX); }) != 0) return true;
  bool conflict = (readAccess && ByteHeld(lockFd, DenyRead)) ||
                  (writeAccess && ByteHeld(lockFd, DenyWrite)) ||
                  (denyRead && ByteHeld(lockFd, AccessRead)) ||
                  (denyWrite && ByteHeld(lockFd, AccessWrite));
  if (!conflict) {
    if (readAccess) LockByte(lockFd, F_OFD_SETLK, F_RDLCK, AccessRead);
    if (writeAccess) LockByte(lockFd, F_OFD_SETLK, F_RDLCK, AccessWrite);
    if (denyRead) LockByte(lockFd, F_OFD_SETLK, F_RDLCK, DenyRead);
    if (denyWrite) LockByte(lockFd, F_OFD_SETLK, F_RDLCK, DenyWrite);
  }
  ::flock(lockFd, LOCK_UN);
  return !conflict;
}

// A second descriptor on the same file, open for reading, for the share locks of
// a write-only stream; -1 when the file cannot be read (it then shares everything).
int ReopenForReading(int fd) {
  AnsiString self = "/proc/self/fd/" + std::to_string(fd);
  return RetryOnEintr([&] { return ::open(self.c_str(), O_RDONLY | O_CLOEXEC); });
}

[[noreturn]] void RaiseOSError(int error) {
  throw EOSError("System Error.  Code: " + std::to_string(error) + ".\r\n" +
                     std::strerror(error),
                 static_cast<DWORD>(error));
}

}  // namespace

// --- TStream -------------------------------------------------------------------

Int64 TStream::Seek(Int64 offset, Word origin) {
  switch (origin) {
    case soFromBeginning:
      return Seek(offset, soBeginning);
    case soFromCurrent:
      return Seek(offset, soCurrent);
    case soFromEnd:
      return Seek(offset, soEnd);
    default:
      throw EStreamError("Invalid stream seek origin (" + std::to_string(origin) + ")");
  }
}

Int64 TStream::GetSize() {
  Int64 position = Seek(0, soCurrent);
  Int64 size = Seek(0, soEnd);
  Seek(position, soBeginning);
  return size;
}

void TStream::SetSize(Int64) {}

void TStream::ReadBuffer(void* buffer, Integer count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, Integer count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

Int64 TStream::CopyFrom(TStream* source, Int64 count) {
  if (source == nullptr || count < 0) throw EReadError("Stream read error");
  if (count == 0) {
    source->SetPosition(0);
    count = source->GetSize();
  }
  const Int64 result = count;
  std::vector<Byte> buffer(static_cast<size_t>(std::min(count, kCopyBufferSize)));
  while (count > 0) {
    auto n = static_cast<Integer>(std::min(count, kCopyBufferSize));
    source->ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    count -= n;
  }
  return result;
}

// --- TMemoryStream -------------------------------------------------------------
// Invariant: the bytes of buffer_ past size_ are zero, so growing never shows old data.

TMemoryStream::~TMemoryStream() { std::free(data_); }

void TMemoryStream::Reserve(Int64 newCapacity) {
  if (newCapacity <= capacity_) return;
  if (newCapacity > kMaxSize) throw EStreamError("Out of memory while expanding memory stream");
  // Blocks of 8 KB, and at least half as much again, so a stream written in small
  // pieces is not moved at every block.
  Int64 grown = std::max(newCapacity, capacity_ + capacity_ / 2);
  grown = std::min((grown + 0x1FFF) & ~Int64{0x1FFF}, std::max(kMaxSize, newCapacity));
  void* moved = std::realloc(data_, static_cast<size_t>(grown));
  if (moved == nullptr) throw EStreamError("Out of memory while expanding memory stream");
  data_ = static_cast<Byte*>(moved);
  capacity_ = grown;
}

void TMemoryStream::ZeroExtend(Int64 newSize) {
  if (newSize <= size_) return;
  Reserve(newSize);
  std::memset(data_ + size_, 0, static_cast<size_t>(newSize - size_));
  size_ = newSize;
}

Integer TMemoryStream::Read(void* buffer, Integer count) {
  if (position_ < 0 || count <= 0 || position_ >= size_) return 0;
  auto n = static_cast<Integer>(std::min<Int64>(size_ - position_, count));
  std::memcpy(buffer, data_ + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

Integer TMemoryStream::Write(const void* buffer, Integer count) {
  if (position_ < 0 || count <= 0) return 0;
  const Int64 end = position_ + count;
  if (end > kMaxSize) throw EStreamError("Out of memory while expanding memory stream");
  // The source may lie in our own memory, which Reserve can move: keep its offset.
  const auto* src = static_cast<const Byte*>(buffer);
  const bool own = data_ != nullptr && src >= data_ && src < data_ + capacity_;
  const Int64 ownOffset = own ? src - data_ : 0;
  Reserve(end);
  if (own) src = data_ + ownOffset;
  // A gap left by seeking past the end reads as zeros.
  if (position_ > size_) std::memset(data_ + size_, 0, static_cast<size_t>(position_ - size_));
  std::memmove(data_ + position_, src, static_cast<size_t>(count));
  if (end > size_) size_ = end;
  position_ = end;
  return count;
}

Int64 TMemoryStream::Seek(Int64 offset, TSeekOrigin origin) {
  switch (origin) {
    case soBeginning:
      position_ = offset;
      break;
    case soCurrent:
      position_ += offset;
      break;
    case soEnd:
      position_ = size_ + offset;
      break;
  }
  return position_;
}

void TMemoryStream::SetSize(Int64 newSize) {
  if (newSize < 0) throw EStreamError("Invalid stream size (" + std::to_string(newSize) + ")");
  if (newSize > size_)
    ZeroExtend(newSize);
  else
    size_ = newSize;  // the dropped bytes are zeroed if the size grows over them again
  if (position_ > newSize) position_ = newSize;
}

void TMemoryStream::Clear() {
  std::free(data_);
  data_ = nullptr;
  capacity_ = 0;
  size_ = 0;
  position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream* stream) {
  if (stream == this) return;
  stream->SetPosition(0);
  Int64 count = stream->GetSize();
  if (count > kMaxSize) throw EStreamError("Out of memory while expanding memory stream");
  // The old content is replaced whole: no need to keep or zero it. A read that
  // fails leaves the stream empty.
  size_ = 0;
  Reserve(count);
  if (count != 0) stream->ReadBuffer(data_, static_cast<Integer>(count));
  size_ = count;
  if (position_ > count) position_ = count;
}

void TMemoryStream::LoadFromFile(const AnsiString& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&stream);
}

void TMemoryStream::SaveToStream(TStream* stream) {
  if (size_ != 0) stream->WriteBuffer(data_, static_cast<Integer>(size_));
}

void TMemoryStream::SaveToFile(const AnsiString& fileName) {
  TFileStream stream(fileName, fmCreate);
  SaveToStream(&stream);
}

// --- TFileStream ---------------------------------------------------------------

TFileStream::TFileStream(const AnsiString& fileName, Word mode) : fileName_(fileName) {
  const bool create = mode == fmCreate;
  const Word access = create ? fmOpenReadWrite : static_cast<Word>(mode & 0x0003);
  const Word share = create ? fmShareExclusive : static_cast<Word>(mode & 0x00F0);
  if (access == 0x0003 || share > fmShareDenyNone) RaiseOpenError(create, fileName, EINVAL);
  const bool readAccess = access != fmOpenWrite;
  const bool writeAccess = access != fmOpenRead;

  if (writeAccess && sim::ShouldFail(sim::Fault::FileCreate))
    RaiseOpenError(create, fileName, EIO);

  int flags = O_CLOEXEC | (access == fmOpenRead ? O_RDONLY
                           : access == fmOpenWrite ? O_WRONLY
                                                   : O_RDWR);
  // fmCreate truncates only once the sharing check has passed.
  if (create) flags |= O_CREAT;
  ScopedFd fd(RetryOnEintr([&] { return ::open(fileName.c_str(), flags, 0666); }));
  if (!fd) RaiseOpenError(create, fileName, errno);

  int error = 0;
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0) {
    error = errno;
  } else if (S_ISDIR(st.st_mode)) {
    error = EISDIR;
  } else {
    const bool denyRead = share == fmShareCompat || share == fmShareExclusive ||
                          share == fmShareDenyRead;
    const bool denyWrite = share == fmShareCompat || share == fmShareExclusive ||
                           share == fmShareDenyWrite;
    if (!readAccess) lockFd_.Reset(ReopenForReading(fd.Get()));
    const int lockFd = readAccess ? fd.Get() : lockFd_.Get();
    if (lockFd >= 0 && !AcquireShare(lockFd, readAccess, writeAccess, denyRead, denyWrite))
      error = EWOULDBLOCK;
    else if (create && ::ftruncate(fd.Get(), 0) != 0)
      error = errno;
  }
  if (error != 0) {
    fd.Reset();
    lockFd_.Reset();
    RaiseOpenError(create, fileName, error);
  }
  fd_ = std::move(fd);
}

// Closing the descriptors (the lock descriptor first) releases the share locks too.
TFileStream::~TFileStream() = default;

Integer TFileStream::Read(void* buffer, Integer count) {
  Integer total = 0;
  auto* dst = static_cast<char*>(buffer);
  while (total < count) {
    const ssize_t n = RetryOnEintr(
        [&] { return ::read(fd_.Get(), dst + total, static_cast<size_t>(count - total)); });
    if (n <= 0) break;
    total += static_cast<Integer>(n);
  }
  return total;
}

Integer TFileStream::Write(const void* buffer, Integer count) {
  if (count <= 0) return 0;
  if (sim::ShouldFail(sim::Fault::FileWrite)) return 0;
  Integer total = 0;
  const auto* src = static_cast<const char*>(buffer);
  while (total < count) {
    const ssize_t n = RetryOnEintr(
        [&] { return ::write(fd_.Get(), src + total, static_cast<size_t>(count - total)); });
    if (n <= 0) break;
    total += static_cast<Integer>(n);
  }
  return total;
}

Int64 TFileStream::Seek(Int64 offset, TSeekOrigin origin) {
  int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
  off_t result = ::lseek(fd_.Get(), static_cast<off_t>(offset), whence);
  return result < 0 ? -1 : static_cast<Int64>(result);
}

Int64 TFileStream::GetSize() {
  struct stat st {};
  if (::fstat(fd_.Get(), &st) != 0) return TStream::GetSize();
  return static_cast<Int64>(st.st_size);
}

void TFileStream::SetSize(Int64 newSize) {
  if (newSize < 0) RaiseOSError(EINVAL);
  if (RetryOnEintr([&] { return ::ftruncate(fd_.Get(), static_cast<off_t>(newSize)); }) != 0)
    RaiseOSError(errno);
  Seek(newSize, soBeginning);
}

// --- TStringStream -------------------------------------------------------------

Integer TStringStream::Read(void* buffer, Integer count) {
  const auto size = static_cast<Int64>(data_.size());
  if (count <= 0 || position_ >= size) return 0;
  auto n = static_cast<Integer>(std::min<Int64>(size - position_, count));
  std::memcpy(buffer, data_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

Integer TStringStream::Write(const void* buffer, Integer count) {
  if (count <= 0) return 0;
  if (position_ + count > TMemoryStream::kMaxSize)
    throw EStreamError("Out of memory while expanding string stream");
  // Copied first: the bytes may come from our own string.
  AnsiString bytes(static_cast<const char*>(buffer), static_cast<size_t>(count));
  data_.resize(static_cast<size_t>(position_));
  data_ += bytes;
  position_ += count;
  return count;
}

Int64 TStringStream::Seek(Int64 offset, TSeekOrigin origin) {
  const auto size = static_cast<Int64>(data_.size());
  Int64 position = origin == soBeginning ? offset
                   : origin == soCurrent ? position_ + offset
                                         : size + offset;
  position_ = std::clamp<Int64>(position, 0, size);
  return position_;
}

void TStringStream::SetSize(Int64 newSize) {
  if (newSize < 0 || newSize > TMemoryStream::kMaxSize)
    throw EStreamError("Invalid stream size (" + std::to_string(newSize) + ")");
  data_.resize(static_cast<size_t>(newSize), '\0');
  if (position_ > newSize) position_ = newSize;
}

AnsiString TStringStream::ReadString(Integer count) {
  const auto size = static_cast<Int64>(data_.size());
  if (count <= 0 || position_ >= size) return AnsiString();
  auto n = static_cast<size_t>(std::min<Int64>(size - position_, count));
  AnsiString result = data_.substr(static_cast<size_t>(position_), n);
  position_ += static_cast<Int64>(n);
  return result;
}

void TStringStream::WriteString(const AnsiString& s) {
  if (static_cast<Int64>(s.size()) > TMemoryStream::kMaxSize)
    throw EStreamError("Out of memory while expanding string stream");
  Write(s.data(), static_cast<Integer>(s.size()));
}
