// The framework's streams: the abstract TStream, the memory, file and string streams.
#pragma once

#include <vector>

#include "platform/rtl/Component.h"
#include "platform/rtl/Descriptors.h"
#include "platform/rtl/Types.h"

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };
using enum TSeekOrigin;
// The older Word origins, for Seek(offset, Word).
inline constexpr Word soFromBeginning = 0;
inline constexpr Word soFromCurrent = 1;
inline constexpr Word soFromEnd = 2;

// File modes for TFileStream: one access mode or'ed with one share mode, or fmCreate.
inline constexpr Word fmCreate = 0xFFFF;
inline constexpr Word fmOpenRead = 0x0000;
inline constexpr Word fmOpenWrite = 0x0001;
inline constexpr Word fmOpenReadWrite = 0x0002;
inline constexpr Word fmShareCompat = 0x0000;
inline constexpr Word fmShareExclusive = 0x0010;
inline constexpr Word fmShareDenyWrite = 0x0020;
inline constexpr Word fmShareDenyRead = 0x0030;
inline constexpr Word fmShareDenyNone = 0x0040;

// A sequence of bytes with a position. Descendants that override Seek(Int64,
// TSeekOrigin) add `using TStream::Seek;` to keep the Word form visible.
class TStream : public TObject {
 public:
  LARK_CLASS_NAME(TStream)
  TStream() = default;
  ~TStream() override = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;

  // Up to count bytes from the position; answers how many were read (0 at the end).
  virtual Integer Read(void* buffer, Integer count) = 0;
  // Answers how many bytes were written; a failure shows as a short count.
  virtual Integer Write(const void* buffer, Integer count) = 0;
  // Moves the position; answers the new one.
  virtual Int64 Seek(Int64 offset, TSeekOrigin origin) = 0;
  // The older form: origin soFromBeginning, soFromCurrent or soFromEnd.
  Int64 Seek(Int64 offset, Word origin);

  Int64 GetPosition() { return Seek(0, soCurrent); }
  void SetPosition(Int64 position) { Seek(position, soBeginning); }
  virtual Int64 GetSize();
  virtual void SetSize(Int64 newSize);

  // Exactly count bytes, else EReadError "Stream read error".
  void ReadBuffer(void* buffer, Integer count);
  // Exactly count bytes, else EWriteError "Stream write error".
  void WriteBuffer(const void* buffer, Integer count);
  // Copies count bytes from source's position; count 0 copies all of source from its
  // start. Answers the bytes copied; a short source raises EReadError.
  Int64 CopyFrom(TStream* source, Int64 count);
};

// A stream in memory. Seeking past the end is allowed; a write there fills the gap
// with zeros. The size is limited to kMaxSize (EStreamError beyond).
class TMemoryStream : public TStream {
 public:
  LARK_CLASS_NAME(TMemoryStream)
  static constexpr Int64 kMaxSize = 0x7FFFFFFF;

  TMemoryStream() = default;
  ~TMemoryStream() override;

  using TStream::Seek;
  Integer Read(void* buffer, Integer count) override;
  Integer Write(const void* buffer, Integer count) override;
  Int64 Seek(Int64 offset, TSeekOrigin origin) override;
  Int64 GetSize() override { return size_; }
  // Keeps the content up to the new size; new bytes are zero. The position stays
  // unless it was past the new end, where it moves to the end.
  void SetSize(Int64 newSize) override;

  // The bytes; valid until the stream grows or is cleared.
  void* Memory() noexcept { return data_; }
  const void* Memory() const noexcept { return data_; }
  // Frees the memory: size and position 0.
  void Clear();
  // Replaces the content with all of stream (read from its start).
  void LoadFromStream(TStream* stream);
  void LoadFromFile(const AnsiString& fileName);
  // Writes the whole content.
  void SaveToStream(TStream* stream);
  void SaveToFile(const AnsiString& fileName);

 private:
  void Reserve(Int64 newCapacity);
  // Grows the size to newSize (not below), zeroing the new bytes.
  void ZeroExtend(Int64 newSize);

  // Grown with realloc, so a large block is remapped rather than copied, and never
  // zero-filled ahead: bytes in [size_, capacity_) are undefined until the size
  // covers them, and are zeroed then.
  Byte* data_ = nullptr;
  Int64 capacity_ = 0;
  Int64 size_ = 0;
  Int64 position_ = 0;
};

// A stream on a file, through a POSIX descriptor. Share modes are kept between the
// file streams of all our processes with advisory record locks, with the platform's
// rules: an open that another open's share mode refuses (or whose share mode
// refuses an access that another open holds) fails. fmShareCompat, like
// fmShareExclusive and fmCreate, shares nothing.
// Errors: EFCreateError "Cannot create file \"<name>\". <reason>" and EFOpenError
// "Cannot open file \"<name>\". <reason>".
class TFileStream : public TStream {
 public:
  LARK_CLASS_NAME(TFileStream)
  TFileStream(const AnsiString& fileName, Word mode);
  ~TFileStream() override;

  using TStream::Seek;
  Integer Read(void* buffer, Integer count) override;
  // A failed write raises nothing: the count shows how much was written.
  Integer Write(const void* buffer, Integer count) override;
  // Answers -1 when the position cannot be set (before the start).
  Int64 Seek(Int64 offset, TSeekOrigin origin) override;
  Int64 GetSize() override;
  // Truncates or extends (with zeros) and moves the position to the new end; a
  // failure raises EOSError.
  void SetSize(Int64 newSize) override;

  const AnsiString& GetFileName() const noexcept { return fileName_; }
  int GetHandle() const noexcept { return fd_.Get(); }

 private:
  AnsiString fileName_;
  ScopedFd fd_;
  ScopedFd lockFd_;  // holds the share locks when fd_ cannot be read
};

// A stream over an 8-bit string. A write ends the string after the bytes written
// (as the framework's string stream does); the position stays within the string.
class TStringStream : public TStream {
 public:
  LARK_CLASS_NAME(TStringStream)
  explicit TStringStream(const AnsiString& s = AnsiString()) : data_(s) {}

  using TStream::Seek;
  Integer Read(void* buffer, Integer count) override;
  Integer Write(const void* buffer, Integer count) override;
  Int64 Seek(Int64 offset, TSeekOrigin origin) override;
  Int64 GetSize() override { return static_cast<Int64>(data_.size()); }
  void SetSize(Int64 newSize) override;

  const AnsiString& GetDataString() const noexcept { return data_; }
  // Up to count bytes from the position.
  AnsiString ReadString(Integer count);
  void WriteString(const AnsiString& s);

 private:
  AnsiString data_;
  Int64 position_ = 0;
};
