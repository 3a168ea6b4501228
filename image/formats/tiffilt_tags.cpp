// TIFF directories: the chain walker, the directory loader and the typed tag
// accessors. Every value that lies outside the entry is read from the stream at
// Value + Base; data that the stream does not hold whole reads as absent, so
// no count from the file can make an accessor allocate more than the stream holds.
#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "image/formats/tiffilt.h"
#include "image/formats/tiffilt_io.h"

namespace {

using tiffilt::Get16;
using tiffilt::Get32;
using tiffilt::ReadAt;

// A chain longer than this is taken as damaged and ends there.
constexpr Integer kMaxDirectories = 100000;

enum : Word {
  kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kRational = 5, kSByte = 6, kUndefined = 7,
  kSShort = 8, kSLong = 9, kSRational = 10, kFloat = 11, kDouble = 12
};

// Bytes of one value of a field type; types beyond the table count as bytes.
Int64 TypeSize(Word type) {
  switch (type) {
    case 0: return 0;
    case kByte: case kAscii: case kSByte: case kUndefined: return 1;
    case kShort: case kSShort: return 2;
    case kLong: case kSLong: case kFloat: return 4;
    case kRational: case kSRational: case kDouble: return 8;
    default: return 1;
  }
}

const TTIFFTag* Find(const TTIFFEnv& env, Integer tag) {
  if (tag < 0 || tag > 0xFFFF) return nullptr;
  const Integer i = TIFFFindTAG(static_cast<Word>(tag), env);
  return i < 0 ? nullptr : &env.Entries[static_cast<size_t>(i)];
}

// The four bytes of the entry's Value field in file order.
void InlineBytes(const TTIFFEnv& env, const TTIFFTag& t, Byte out[4]) {
  for (int i = 0; i < 4; ++i)
    out[i] = static_cast<Byte>(env.Intel ? t.Value >> (8 * i) : t.Value >> (24 - 8 * i));
}

// Whether the entry's data (Count values of its type) sit in the Value field.
bool IsInline(const TTIFFTag& t) { return Int64{t.Count} * TypeSize(t.Type) <= 4; }

// Whether `bytes` bytes at the entry's offset lie inside the stream.
bool FitsInStream(const TTIFFEnv& env, const TTIFFTag& t, Int64 bytes) {
  return tiffilt::InStream(env.Stream, Int64{t.Value} + env.Base, bytes);
}

// The first `bytes` bytes of the entry's data: from the Value field when the data
// fit there, else from the stream. False when the stream does not hold them.
bool EntryBytes(const TTIFFEnv& env, const TTIFFTag& t, Int64 bytes, std::vector<Byte>& out) {
  out.clear();
  if (bytes <= 4 && IsInline(t)) {
    Byte b[4];
    InlineBytes(env, t, b);
    out.assign(b, b + bytes);
    return true;
  }
  if (!FitsInStream(env, t, bytes)) return false;
  out.resize(static_cast<size_t>(bytes));
  return ReadAt(env.Stream, Int64{t.Value} + env.Base, out.data(), bytes);
}

// Integer value Index of a SHORT or LONG entry (Index already checked against Count).
Integer IntegerAt(const TTIFFEnv& env, const TTIFFTag& t, Integer index) {
  if (t.Type == kShort) {
    if (t.Count <= 2) {
      const bool low = env.Intel ? index == 0 : index == 1;
      return static_cast<Integer>(low ? (t.Value & 0xFFFF) : (t.Value >> 16));
    }
    Byte b[2];
    if (!ReadAt(env.Stream, Int64{t.Value} + env.Base + 2 * Int64{index}, b, 2)) return 0;
    return Get16(b, env.Intel);
  }
  if (t.Type == kLong) {
    if (t.Count == 1) return static_cast<Integer>(t.Value);
    Byte b[4];
    if (!ReadAt(env.Stream, Int64{t.Value} + env.Base + 4 * Int64{index}, b, 4)) return 0;
    return static_cast<Integer>(Get32(b, env.Intel));
  }
  return 0;
}

double RationalAt(const TTIFFEnv& env, const TTIFFTag& t, Integer index) {
  Byte b[8];
  if (!ReadAt(env.Stream, Int64{t.Value} + env.Base + 8 * Int64{index}, b, 8)) return 0;
  const Integer num = static_cast<Integer>(Get32(b, env.Intel));
  Integer den = static_cast<Integer>(Get32(b + 4, env.Intel));
  if (den == 0) den = 1;
  return static_cast<double>(num) / static_cast<double>(den);
}

}  // namespace

// ---------------------------------------------------------------------------
// Directories

bool TIFFLoadDirectory(Integer ImageIndex, DWORD FirstOffset, TTIFFEnv& Env, Integer& Count) {
  Count = 0;
  Env.Entries.clear();
  Env.EntryCount = 0;
  if (Env.Stream == nullptr) return false;
  TStream* const s = Env.Stream;
  const Int64 size = s->GetSize();
  std::unordered_set<DWORD> visited;
  bool loaded = false;
  DWORD offset = FirstOffset;
  while (offset != 0 && Count < kMaxDirectories) {
    if (!visited.insert(offset).second) break;  // back to a directory already walked
    const Int64 pos = Int64{offset} + Env.Base;
    Byte b[4];
    if (!ReadAt(s, pos, b, 2)) break;
    const Word n = Get16(b, Env.Intel);
    const Int64 next = pos + 2 + Int64{n} * 12;
    // A directory whose entries run past the end of the stream is damaged: it is
    // neither loaded nor counted, and the chain ends there.
    if (next > size) break;
    if (Count == ImageIndex) {
      std::vector<Byte> raw(static_cast<size_t>(n) * 12);  // at most 0xFFFF entries, all in the stream
      if (!ReadAt(s, pos + 2, raw.data(), Int64{n} * 12)) break;
      Env.Entries.resize(n);
      for (Word i = 0; i < n; ++i) {
        const Byte* e = raw.data() + static_cast<size_t>(i) * 12;
        TTIFFTag& t = Env.Entries[i];
        t.Tag = Get16(e, Env.Intel);
        t.Type = Get16(e + 2, Env.Intel);
        t.Count = Get32(e + 4, Env.Intel);
        t.Value = Get32(e + 8, Env.Intel);
      }
      Env.EntryCount = n;
      loaded = true;
    }
    // A directory without its next offset ends the chain uncounted.
    if (!ReadAt(s, next, b, 4)) break;
    ++Count;
    offset = Get32(b, Env.Intel);
  }
  return loaded;
}

bool TIFFLoadTags(TStream* Stream, Integer& ImageCount, Integer ImageIndex, TTIFFEnv& Env) {
  Env = TTIFFEnv{};
  Env.Stream = Stream;
  Env.Base = 0;
  ImageCount = 0;
  if (Stream == nullptr) return false;
  Byte h[8];
  DWORD first = 0;
  if (Stream->Read(h, 8) != 8 || !tiffilt::ParseHeader(h, Env.Intel, first) || first == 0)
    return false;
  return TIFFLoadDirectory(ImageIndex, first, Env, ImageCount);
}

void TIFFFreeTags(TTIFFEnv& Env) {
  Env.Entries.clear();
  Env.Entries.shrink_to_fit();
  Env.EntryCount = 0;
}

// ---------------------------------------------------------------------------
// Accessors

Integer TIFFFindTAG(Word Tag, const TTIFFEnv& Env) {
  const size_t n = std::min<size_t>(Env.EntryCount, Env.Entries.size());
  for (size_t i = 0; i < n; ++i)
    if (Env.Entries[i].Tag == Tag) return static_cast<Integer>(i);
  return -1;
}

Integer TIFFGetDataLength(const TTIFFEnv& Env, Integer Tag) {
  const TTIFFTag* t = Find(Env, Tag);
  if (t == nullptr) return 0;
  return t->Count > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<Integer>(t->Count);
}

Integer TIFFReadSingleValDef(const TTIFFEnv& Env, Integer Tag, Integer Default) {
  const TTIFFTag* t = Find(Env, Tag);
  if (t == nullptr) return Default;
  switch (t->Type) {
    case kShort:
    case kSShort:
      return static_cast<Integer>(Env.Intel ? (t->Value & 0xFFFF) : (t->Value >> 16));
    case kByte:
    case kSByte:
    case kUndefined:
      // A single byte sits in the first byte of the field in file order.
      return static_cast<Integer>(Env.Intel ? (t->Value & 0xFF) : (t->Value >> 24));
    default:
      return static_cast<Integer>(t->Value);
  }
}

double TIFFReadSingleRational(const TTIFFEnv& Env, Integer Tag) {
  const TTIFFTag* t = Find(Env, Tag);
  if (t == nullptr) return 0;
  return RationalAt(Env, *t, 0);
}

double TIFFReadRationalIndex(const TTIFFEnv& Env, Integer Tag, Integer Index) {
  const TTIFFTag* t = Find(Env, Tag);
  if (t == nullptr || Index < 0 || DWORD(Index) >= t->Count) return 0;
  return RationalAt(Env, *t, Index);
}

Integer TIFFReadIndexValN(const TTIFFEnv& Env, Integer Tag, Integer Index) {
  const TTIFFTag* t = Find(Env, Tag);
  if (t == nullptr || Index < 0 || DWORD(Index) >= t->Count) return 0;
  return IntegerAt(Env, *t, Index);
}

Integer TIFFReadArrayIntegers(const TTIFFEnv& Env, std::unique_ptr<Integer[]>& Values, Integer Tag) {
  const TTIFFTag* t = Find(Env, Tag);
  if (t == nullptr || t->Count == 0) return 0;
  // The array is read whole; one that lies beyond the stream counts as absent.
  // Types of no size count as bytes here, so that their Count is bounded too.
  const Int64 bytes = Int64{t->Count} * std::max<Int64>(1, TypeSize(t->Type));
  const bool intOnes = t->Type == kShort || t->Type == kLong;
  if (t->Count > 0x7FFFFFFF || (bytes > 4 && !FitsInStream(Env, *t, bytes))) return 0;
  const Integer count = static_cast<Integer>(t->Count);
  auto values = std::make_unique<Integer[]>(static_cast<size_t>(count));
  if (intOnes) {
    if (IsInline(*t)) {
      for (Integer i = 0; i < count; ++i) values[i] = IntegerAt(Env, *t, i);
    } else {
      std::vector<Byte> raw;
      if (!EntryBytes(Env, *t, bytes, raw)) return 0;
      for (Integer i = 0; i < count; ++i)
        values[i] = t->Type == kShort
                        ? static_cast<Integer>(Get16(raw.data() + 2 * static_cast<size_t>(i), Env.Intel))
                        : static_cast<Integer>(Get32(raw.data() + 4 * static_cast<size_t>(i), Env.Intel));
    }
  }
  Values = std::move(values);
  return count;
}

std::unique_ptr<Byte[]> TIFFReadRawData(const TTIFFEnv& Env, Integer Tag, Integer& Length) {
  Length = 0;
  const TTIFFTag* t = Find(Env, Tag);
  if (t == nullptr || t->Count > 0x7FFFFFFF) return nullptr;
  std::vector<Byte> raw;
  if (!EntryBytes(Env, *t, t->Count, raw)) return nullptr;
  auto out = std::make_unique<Byte[]>(raw.size() + 1);
  if (!raw.empty()) std::memcpy(out.get(), raw.data(), raw.size());
  Length = static_cast<Integer>(raw.size());
  return out;
}

AnsiString TIFFReadString(const TTIFFEnv& Env, Integer Tag) {
  const TTIFFTag* t = Find(Env, Tag);
  if (t == nullptr || t->Count > 0x7FFFFFFF) return AnsiString();
  std::vector<Byte> raw;
  if (!EntryBytes(Env, *t, t->Count, raw)) return AnsiString();
  AnsiString s(raw.begin(), raw.end());
  if (!s.empty() && s.back() == '\0') s.pop_back();
  return s;
}

AnsiString TIFFReadMiniString(const TTIFFEnv& Env, Integer Tag) {
  const TTIFFTag* t = Find(Env, Tag);
  if (t == nullptr) return AnsiString();
  Byte b[4];
  InlineBytes(Env, *t, b);
  return AnsiString(reinterpret_cast<const char*>(b), t->Count < 4 ? t->Count : 4);
}
