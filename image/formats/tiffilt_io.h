// Unit tiffilt, private: the byte order of a TIFF file, its header, and reads that
// take exactly the bytes asked for or nothing, shared by the directory, reader,
// writer and page code.
#pragma once

#include "platform/rtl/Streams.h"
#include "platform/rtl/Types.h"

namespace tiffilt {

// 16- and 32-bit values in the file's byte order: Intel ("II") is low byte first.
inline Word Get16(const Byte* p, bool intel) {
  return intel ? static_cast<Word>(p[0] | (p[1] << 8)) : static_cast<Word>((p[0] << 8) | p[1]);
}

inline DWORD Get32(const Byte* p, bool intel) {
  return intel ? (DWORD{p[0]} | (DWORD{p[1]} << 8) | (DWORD{p[2]} << 16) | (DWORD{p[3]} << 24))
               : ((DWORD{p[0]} << 24) | (DWORD{p[1]} << 16) | (DWORD{p[2]} << 8) | DWORD{p[3]});
}

inline void Put16(Byte* p, Word v, bool intel) {
  p[intel ? 0 : 1] = static_cast<Byte>(v);
  p[intel ? 1 : 0] = static_cast<Byte>(v >> 8);
}

inline void Put32(Byte* p, DWORD v, bool intel) {
  for (int i = 0; i < 4; ++i) p[intel ? i : 3 - i] = static_cast<Byte>(v >> (8 * i));
}

// The 8-byte header: the byte order from "II" or "MM" and the first directory's
// offset. False for any other byte-order mark (the number 42 is not checked).
inline bool ParseHeader(const Byte h[8], bool& intel, DWORD& firstOffset) {
  if (h[0] == 'I' && h[1] == 'I')
    intel = true;
  else if (h[0] == 'M' && h[1] == 'M')
    intel = false;
  else
    return false;
  firstOffset = Get32(h + 4, intel);
  return true;
}

// Whether count bytes at the absolute position pos lie inside the stream.
inline bool InStream(TStream* s, Int64 pos, Int64 count) {
  return s != nullptr && pos >= 0 && count >= 0 && count <= s->GetSize() - pos;
}

// Reads exactly count bytes at the absolute position pos; false when the stream
// does not hold them all (checked before anything is read). At most 2 GiB.
inline bool ReadAt(TStream* s, Int64 pos, void* buffer, Int64 count) {
  if (!InStream(s, pos, count) || count > 0x7FFFFFFF) return false;
  if (count == 0) return true;
  if (s->Seek(pos, soBeginning) != pos) return false;
  return s->Read(buffer, static_cast<Integer>(count)) == count;
}

}  // namespace tiffilt
