// Stream helpers: checked writes, the stream form of strings and string lists, the
// growable byte array and the counting null stream.
#include <algorithm>
#include <cstring>

#include "image/model/ieutils.h"
#include "image/model/ieutils_internal.h"

using namespace ieutils_detail;

void SafeStreamWrite(TStream* stream, bool& aborting, const void* buffer, Integer count) {
  if (stream == nullptr || stream->Write(buffer, count) < count) aborting = true;
}

// --- Strings and string lists ----------------------------------------------------

void SaveStringToStream(TStream* stream, const AnsiString& s) {
  if (s.size() > static_cast<size_t>(INT32_MAX)) throw EWriteError("String too long for a stream");
  const auto length = static_cast<Integer>(s.size());
  WriteInt32(stream, length);
  stream->WriteBuffer(s.data(), length);
}

bool LoadStringFromStream(TStream* stream, AnsiString& s) {
  s.clear();
  Integer length = 0;
  if (!ReadInt32(stream, length) || length < 0) return false;
  // Never more room than the stream can fill.
  const auto wanted = static_cast<Integer>(std::min<Int64>(length, Remaining(stream)));
  s.resize(static_cast<size_t>(wanted));
  const Integer got = wanted > 0 ? stream->Read(s.data(), wanted) : 0;
  s.resize(static_cast<size_t>(std::max(got, 0)));
  return got == length;
}

void SaveStringListToStream(TStream* stream, TStrings* list) {
  WriteInt32(stream, list->GetCount());
  for (Integer i = 0; i < list->GetCount(); ++i) SaveStringToStream(stream, list->Strings(i));
}

bool LoadStringListFromStream(TStream* stream, TStrings* list) {
  Integer count = 0;
  const bool counted = ReadInt32(stream, count);
  list->Clear();
  if (!counted || count < 0) return false;
  // Every string takes at least 4 bytes, so the loop ends with the stream.
  for (Integer i = 0; i < count; ++i) {
    AnsiString s;
    if (!LoadStringFromStream(stream, s)) return false;
    list->Add(s);
  }
  return true;
}

// --- TIEByteArray ----------------------------------------------------------------

TIEByteArray::TIEByteArray()
    : capacity_(kDefaultBlockSize), data_(std::make_unique<Byte[]>(kDefaultBlockSize)) {}

void TIEByteArray::Reallocate(Integer newCapacity, Integer keep) {
  auto block = std::make_unique<Byte[]>(static_cast<size_t>(newCapacity));
  if (keep > 0) std::memcpy(block.get(), data_.get(), static_cast<size_t>(keep));
  data_ = std::move(block);
  capacity_ = newCapacity;
}

void TIEByteArray::SetSize(Integer newSize) {
  if (newSize < 0) throw ERangeError("Byte array size out of range");
  const bool fits = newSize > size_ ? newSize <= capacity_ : newSize >= capacity_ - blockSize_;
  if (!fits) {
    const Int64 capacity = static_cast<Int64>(newSize) + blockSize_;
    if (capacity > INT32_MAX) throw EOutOfMemory("Byte array too large");
    Reallocate(static_cast<Integer>(capacity), std::min(size_, newSize));
  }
  size_ = newSize;
}

void TIEByteArray::AddByte(Byte b) {
  if (size_ == INT32_MAX) throw EOutOfMemory("Byte array too large");
  SetSize(size_ + 1);
  data_[static_cast<size_t>(size_ - 1)] = b;
}

void TIEByteArray::Clear() {
  data_.reset();
  size_ = 0;
  Reallocate(blockSize_, 0);
}

Integer TIEByteArray::AppendFromStream(TStream* stream, Integer count) {
  if (count <= 0) return 0;
  // Room for no more than the stream holds: the result is the same, the
  // allocation bounded by the data.
  count = static_cast<Integer>(std::min<Int64>(count, Remaining(stream)));
  if (static_cast<Int64>(size_) + count > INT32_MAX) throw EOutOfMemory("Byte array too large");
  const Integer oldSize = size_;
  SetSize(oldSize + count);
  const Integer got = count > 0 ? std::max(stream->Read(data_.get() + oldSize, count), 0) : 0;
  if (got < count) SetSize(oldSize + got);
  return got;
}

// --- TNulStream ------------------------------------------------------------------

Integer TNulStream::Read(void*, Integer count) {
  if (count <= 0 || position_ > INT64_MAX - count) return 0;
  position_ += count;
  size_ = std::max(size_, position_);
  return count;
}

Integer TNulStream::Write(const void*, Integer count) {
  if (count <= 0 || position_ > INT64_MAX - count) return 0;
  position_ += count;
  size_ = std::max(size_, position_);
  return count;
}

Int64 TNulStream::Seek(Int64 offset, TSeekOrigin origin) {
  Int64 target = 0;
  switch (origin) {
    case soBeginning:
      target = offset;
      break;
    case soCurrent:
      if (__builtin_add_overflow(position_, offset, &target)) return -1;
      break;
    case soEnd:
      if (__builtin_add_overflow(size_, offset, &target)) return -1;
      break;
    default:
      return position_;
  }
  if (target < 0) return -1;
  position_ = target;
  if (origin != soEnd) size_ = std::max(size_, position_);
  return position_;
}
