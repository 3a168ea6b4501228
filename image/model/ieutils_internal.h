// Helpers shared by the ieutils sources: little-endian integers on streams and the
// bytes a stream still holds. Not part of the library's interface.
#pragma once

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/Types.h"

namespace ieutils_detail {

// The bytes between the position and the end of the stream (0 when past it).
inline Int64 Remaining(TStream* stream) {
  const Int64 left = stream->GetSize() - stream->GetPosition();
  return left > 0 ? left : 0;
}

// Reads a little-endian int32; false when the stream ends first.
inline bool ReadInt32(TStream* stream, Integer& value) {
  Byte bytes[4];
  if (stream->Read(bytes, 4) != 4) return false;
  value = static_cast<Integer>(static_cast<DWORD>(bytes[0]) | (static_cast<DWORD>(bytes[1]) << 8) |
                               (static_cast<DWORD>(bytes[2]) << 16) |
                               (static_cast<DWORD>(bytes[3]) << 24));
  return true;
}

// Writes a little-endian int32; a short write raises EWriteError.
inline void WriteInt32(TStream* stream, Integer value) {
  const auto v = static_cast<DWORD>(value);
  const Byte bytes[4] = {static_cast<Byte>(v), static_cast<Byte>(v >> 8),
                         static_cast<Byte>(v >> 16), static_cast<Byte>(v >> 24)};
  stream->WriteBuffer(bytes, 4);
}

[[noreturn]] inline void ListIndexError(Integer index) {
  throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

}  // namespace ieutils_detail
