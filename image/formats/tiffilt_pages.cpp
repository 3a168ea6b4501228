// Page operations on multi-page TIFF streams: counting, deleting, extracting and
// inserting pages by copying directories and the data they point to, without
// decoding any image.
//
// Every operation builds its result in memory first and touches the destination
// only when the whole walk succeeded, so a damaged file (a reference outside the
// stream, strips without byte counts, pages of the other byte order) changes
// nothing. Directory chains end at offset 0, at a directory already visited, or at
// a directory that does not fit in the stream.
#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "image/formats/tiffilt.h"
#include "image/formats/tiffilt_io.h"
#include "platform/rtl/Streams.h"

namespace {

constexpr Word kTagStripOffsets = 273;
constexpr Word kTagStripByteCounts = 279;
constexpr Word kTagFreeOffsets = 288;
constexpr Word kTagFreeByteCounts = 289;
constexpr Word kTagTileOffsets = 324;
constexpr Word kTagTileByteCounts = 325;
constexpr Word kTagSubIFDs = 330;
constexpr Word kTagJPEGInterchangeFormat = 513;
constexpr Word kTagJPEGInterchangeFormatLength = 514;
constexpr Word kTagExifIFD = 34665;
constexpr Word kTagGPSIFD = 34853;
constexpr Word kTagInteropIFD = 40965;

constexpr Word kTypeShort = 3;
constexpr Word kTypeLong = 4;
constexpr Word kTypeIFD = 13;

// Directories nested below a page directory (EXIF, then its interoperability one).
constexpr int kMaxSubDirectoryDepth = 2;
// Room for directories and padding beyond the bytes of the sources, in the cap
// on what one operation may write.
constexpr Int64 kOutputSlack = 1 << 20;
constexpr Int64 kCopyChunk = 64 * 1024;

// Bytes per value of a field type; 0 for types this unit does not know.
Int64 TypeSize(Word type) {
  switch (type) {
    case 1: case 2: case 6: case 7: return 1;
    case 3: case 8: return 2;
    case 4: case 9: case 11: case 13: return 4;
    case 5: case 10: case 12: case 16: case 17: case 18: return 8;
    default: return 0;
  }
}

using tiffilt::Get16;
using tiffilt::Get32;
using tiffilt::Put16;
using tiffilt::Put32;

// A TIFF being read: bounded reads at offsets counted from Base.
class TiffSource {
 public:
  TiffSource(TStream* stream, Int64 base) : stream_(stream), base_(base) {
    size_ = stream->GetSize() - base;
    if (size_ < 0) size_ = 0;
  }

  // Reads the 8-byte header at offset at. False unless it starts "II" or "MM".
  bool ReadHeader(Int64 at, DWORD& firstOffset) {
    Byte h[8];
    if (!Read(at, h, 8) || !tiffilt::ParseHeader(h, intel_, firstOffset)) return false;
    std::memcpy(header_, h, 4);
    return true;
  }

  // Exactly count bytes at offset, or false when they are not all in the stream.
  bool Read(Int64 offset, void* buffer, Int64 count) {
    return Contains(offset, count) && tiffilt::ReadAt(stream_, base_ + offset, buffer, count);
  }

  bool Contains(Int64 offset, Int64 count) const {
    return offset >= 0 && count >= 0 && offset <= size_ && count <= size_ - offset;
  }

  bool Intel() const { return intel_; }
  const Byte* Header() const { return header_; }
  Int64 Size() const { return size_; }

 private:
  TStream* stream_;
  Int64 base_;
  Int64 size_ = 0;
  bool intel_ = true;
  Byte header_[4] = {};
};

// One directory entry as stored: the value field keeps its file bytes.
struct RawEntry {
  Word Tag = 0;
  Word Type = 0;
  DWORD Count = 0;
  Byte Value[4] = {};

  Int64 DataSize() const { return Int64(Count) * TypeSize(Type); }
};

// A directory of the chain: its entries and the offset of the next one.
struct Directory {
  std::vector<RawEntry> Entries;
  DWORD Next = 0;
};

// Reads the directory at offset; false when it does not fit in the stream
// (entry count, entries and next field).
bool ReadDirectory(TiffSource& src, DWORD offset, Directory& dir) {
  Byte countBytes[2];
  if (!src.Read(offset, countBytes, 2)) return false;
  const Word count = Get16(countBytes, src.Intel());
  if (!src.Contains(Int64(offset) + 2, Int64(count) * 12 + 4)) return false;
  std::vector<Byte> raw(size_t(count) * 12 + 4);
  if (!src.Read(Int64(offset) + 2, raw.data(), Int64(raw.size()))) return false;
  dir.Entries.resize(count);
  for (Word i = 0; i < count; ++i) {
    const Byte* p = raw.data() + size_t(i) * 12;
    RawEntry& e = dir.Entries[i];
    e.Tag = Get16(p, src.Intel());
    e.Type = Get16(p + 2, src.Intel());
    e.Count = Get32(p + 4, src.Intel());
    std::memcpy(e.Value, p + 8, 4);
  }
  dir.Next = Get32(raw.data() + size_t(count) * 12, src.Intel());
  return true;
}

// Calls visit(offset, index, directory) for each directory of the chain starting at first;
// the answer is the number of directories walked, or -1 when visit failed.
template <typename Visit>
Integer WalkChain(TiffSource& src, DWORD first, Visit visit) {
  std::set<DWORD> seen;
  Integer index = 0;
  Directory dir;
  for (DWORD offset = first; offset != 0 && seen.insert(offset).second; offset = dir.Next) {
    if (!ReadDirectory(src, offset, dir)) break;
    if (!visit(offset, index, dir)) return -1;
    ++index;
  }
  return index;
}

// The integer values of an entry (SHORT or LONG, inline when they fit); false for
// other types or data outside the stream.
bool ReadIntegers(TiffSource& src, const RawEntry& e, std::vector<DWORD>& values) {
  if (e.Type != kTypeShort && e.Type != kTypeLong && e.Type != kTypeIFD) return false;
  const Int64 size = e.DataSize();
  if (!src.Contains(0, size) && size > 4) return false;
  std::vector<Byte> data(size_t(std::max<Int64>(size, 4)));
  if (size <= 4) {
    std::memcpy(data.data(), e.Value, 4);
  } else if (!src.Read(Get32(e.Value, src.Intel()), data.data(), size)) {
    return false;
  }
  values.resize(e.Count);
  for (DWORD k = 0; k < e.Count; ++k) {
    values[k] = e.Type == kTypeShort ? Get16(data.data() + size_t(k) * 2, src.Intel())
                                     : Get32(data.data() + size_t(k) * 4, src.Intel());
  }
  return true;
}

// The TIFF being written: built in memory, its offsets counted from Origin (the
// destination stream's position where it will be written).
class TiffOutput {
 public:
  TiffOutput(Int64 origin, bool intel, Int64 cap) : origin_(origin), intel_(intel), cap_(cap) {}

  // The header's first 4 bytes and a zero link, which becomes the pending link.
  bool Begin(const Byte* header) {
    Byte h[8] = {header[0], header[1], header[2], header[3], 0, 0, 0, 0};
    if (!Append(h, 8)) return false;
    pendingLink_ = 4;
    return true;
  }

  // The offset the next byte will have in the destination.
  Int64 Offset() const { return origin_ + Int64(bytes_.size()); }
  bool OffsetFits() const { return Offset() <= Int64(0xFFFFFFFF); }

  bool Append(const void* data, Int64 count) {
    if (count < 0 || Int64(bytes_.size()) + count > cap_) return false;
    const Byte* p = static_cast<const Byte*>(data);
    bytes_.insert(bytes_.end(), p, p + count);
    return true;
  }

  // Values and directories start on a word boundary.
  bool Align() {
    if ((Offset() & 1) == 0) return true;
    const Byte zero = 0;
    return Append(&zero, 1);
  }

  // Copies count bytes at offset of the source to the end.
  bool CopyFrom(TiffSource& src, Int64 offset, Int64 count) {
    if (!src.Contains(offset, count) || Int64(bytes_.size()) + count > cap_) return false;
    const size_t at = bytes_.size();
    bytes_.resize(at + size_t(count));
    for (Int64 done = 0; done < count;) {
      const Int64 n = std::min(kCopyChunk, count - done);
      if (!src.Read(offset + done, bytes_.data() + at + done, n)) return false;
      done += n;
    }
    return true;
  }

  // Writes a directory's entries and a zero next field, and links the previous
  // directory (or the header) to it.
  bool AddDirectory(const std::vector<RawEntry>& entries) {
    const Int64 at = DirectoryAt(entries);
    if (at < 0) return false;
    Put32(bytes_.data() + pendingLink_, DWORD(at), intel_);
    pendingLink_ = size_t(at - origin_) + 2 + entries.size() * 12;
    return true;
  }

  // Writes a directory that no chain links to (a sub-directory); its offset, or -1.
  Int64 DirectoryAt(const std::vector<RawEntry>& entries) {
    if (entries.size() > 0xFFFF || !Align()) return -1;
    const Int64 at = Offset();
    std::vector<Byte> raw(2 + entries.size() * 12 + 4, 0);
    Put16(raw.data(), Word(entries.size()), intel_);
    for (size_t i = 0; i < entries.size(); ++i) {
      Byte* p = raw.data() + 2 + i * 12;
      Put16(p, entries[i].Tag, intel_);
      Put16(p + 2, entries[i].Type, intel_);
      Put32(p + 4, entries[i].Count, intel_);
      std::memcpy(p + 8, entries[i].Value, 4);
    }
    if (!Append(raw.data(), Int64(raw.size())) || !OffsetFits()) return -1;
    return at;
  }

  void WriteTo(TStream* dest) {
    dest->WriteBuffer(bytes_.data(), static_cast<Integer>(bytes_.size()));
  }

  bool Intel() const { return intel_; }

 private:
  Int64 origin_;
  bool intel_;
  Int64 cap_;
  std::vector<Byte> bytes_;
  size_t pendingLink_ = 4;
};

// Copies directories of one source into an output of the same byte order.
class DirectoryCopier {
 public:
  DirectoryCopier(TiffSource& src, TiffOutput& out) : src_(src), out_(out) {}

  // Copies a page directory with its data and appends it to the output's chain.
  bool CopyPage(const Directory& dir) {
    std::vector<RawEntry> entries;
    if (!CopyEntries(dir, 0, entries)) return false;
    return out_.AddDirectory(entries);
  }

 private:
  // The entries of dir with their data copied to the output and their offsets
  // replaced.
  bool CopyEntries(const Directory& dir, int depth, std::vector<RawEntry>& entries) {
    std::vector<DWORD> stripCounts, tileCounts, jpegLength;
    bool hasStripCounts = false, hasTileCounts = false, hasJpegLength = false;
    for (const RawEntry& e : dir.Entries) {
      if (e.Tag == kTagStripByteCounts) {
        if (!ReadIntegers(src_, e, stripCounts)) return false;
        hasStripCounts = true;
      } else if (e.Tag == kTagTileByteCounts) {
        if (!ReadIntegers(src_, e, tileCounts)) return false;
        hasTileCounts = true;
      } else if (e.Tag == kTagJPEGInterchangeFormatLength) {
        hasJpegLength = ReadIntegers(src_, e, jpegLength) && jpegLength.size() == 1;
      }
    }
    entries.clear();
    entries.reserve(dir.Entries.size());
    for (const RawEntry& e : dir.Entries) {
      RawEntry copy = e;
      bool keep = true;
      switch (e.Tag) {
        case kTagStripOffsets:
          if (!hasStripCounts || !CopyBlocks(copy, stripCounts)) return false;
          break;
        case kTagTileOffsets:
          if (!hasTileCounts || !CopyBlocks(copy, tileCounts)) return false;
          break;
        case kTagJPEGInterchangeFormat:
          // Without its length the stream it points to cannot be copied.
          keep = hasJpegLength;
          if (keep && !CopyBlocks(copy, jpegLength)) return false;
          break;
        case kTagFreeOffsets:
        case kTagFreeByteCounts:
          // Free space of the source means nothing in the copy.
          keep = false;
          break;
        case kTagSubIFDs:
        case kTagExifIFD:
        case kTagGPSIFD:
        case kTagInteropIFD:
          if (!CopySubDirectories(copy, depth)) return false;
          break;
        default:
          if (e.Type == kTypeIFD) {
            if (!CopySubDirectories(copy, depth)) return false;
          } else if (!CopyValue(copy)) {
            return false;
          }
          break;
      }
      if (keep) entries.push_back(copy);
    }
    return true;
  }

  // A value of more than 4 bytes goes to the output and the entry points to it.
  bool CopyValue(RawEntry& e) {
    const Int64 size = e.DataSize();
    if (size <= 4) return true;
    if (!out_.Align()) return false;
    const Int64 at = out_.Offset();
    if (!out_.CopyFrom(src_, Get32(e.Value, src_.Intel()), size) || !out_.OffsetFits()) {
      return false;
    }
    Put32(e.Value, DWORD(at), out_.Intel());
    return true;
  }

  // An offsets entry: each block of counts[k] bytes copied, the entry rewritten
  // with the new offsets (SHORT kept while they fit, else LONG).
  bool CopyBlocks(RawEntry& e, const std::vector<DWORD>& counts) {
    std::vector<DWORD> offsets;
    if (!ReadIntegers(src_, e, offsets) || offsets.size() > counts.size()) return false;
    for (size_t k = 0; k < offsets.size(); ++k) {
      if (offsets[k] == 0 && counts[k] == 0) continue;  // a block left out stays out
      const Int64 at = out_.Offset();
      if (!out_.CopyFrom(src_, offsets[k], counts[k]) || !out_.OffsetFits()) return false;
      offsets[k] = DWORD(at);
    }
    return StoreIntegers(e, offsets);
  }

  // An entry holding directory offsets: each directory copied (its own chain is
  // not followed) and the entry pointed at the copies.
  bool CopySubDirectories(RawEntry& e, int depth) {
    std::vector<DWORD> offsets;
    if (depth >= kMaxSubDirectoryDepth || !ReadIntegers(src_, e, offsets)) return false;
    for (DWORD& offset : offsets) {
      Directory sub;
      std::vector<RawEntry> entries;
      if (!ReadDirectory(src_, offset, sub) || !CopyEntries(sub, depth + 1, entries)) return false;
      const Int64 at = out_.DirectoryAt(entries);
      if (at < 0) return false;
      offset = DWORD(at);
    }
    return StoreIntegers(e, offsets);
  }

  // Writes integer values back into the entry (inline when they fit in 4 bytes,
  // else out of line in the output).
  bool StoreIntegers(RawEntry& e, const std::vector<DWORD>& values) {
    if (e.Type == kTypeShort &&
        std::any_of(values.begin(), values.end(), [](DWORD v) { return v > 0xFFFF; })) {
      e.Type = kTypeLong;
    }
    const Int64 itemSize = TypeSize(e.Type);
    std::vector<Byte> data(std::max<size_t>(values.size() * size_t(itemSize), 4), 0);
    for (size_t k = 0; k < values.size(); ++k) {
      if (itemSize == 2) {
        Put16(data.data() + k * 2, Word(values[k]), out_.Intel());
      } else {
        Put32(data.data() + k * 4, values[k], out_.Intel());
      }
    }
    e.Count = DWORD(values.size());
    if (e.DataSize() <= 4) {
      std::memcpy(e.Value, data.data(), 4);
      return true;
    }
    if (!out_.Align()) return false;
    const Int64 at = out_.Offset();
    if (!out_.Append(data.data(), e.DataSize()) || !out_.OffsetFits()) return false;
    Put32(e.Value, DWORD(at), out_.Intel());
    return true;
  }

  TiffSource& src_;
  TiffOutput& out_;
};

// The most one operation writes: every byte of its sources a few times over.
Int64 OutputCap(Int64 sourceBytes) {
  return std::min<Int64>(TMemoryStream::kMaxSize, 4 * sourceBytes + kOutputSlack);
}

}  // namespace

Integer _EnumTIFFImStream(TStream* Stream) {
  const Int64 start = Stream->GetPosition();
  TiffSource src(Stream, start);
  DWORD first = 0;
  Integer pages = 0;
  if (src.ReadHeader(0, first)) {
    pages = WalkChain(src, first, [](DWORD, Integer, const Directory&) { return true; });
  }
  Stream->Seek(start, soBeginning);
  return pages;
}

Integer _DeleteTIFFImStream(TStream* Stream, Integer Index) {
  const Int64 start = Stream->GetPosition();
  TiffSource src(Stream, 0);
  DWORD first = 0;
  if (!src.ReadHeader(start, first)) {
    Stream->Seek(start, soBeginning);
    return 0;
  }
  TiffOutput out(start, src.Intel(), OutputCap(src.Size()));
  DirectoryCopier copier(src, out);
  const Integer pages =
      out.Begin(src.Header())
          ? WalkChain(src, first,
                      [&](DWORD, Integer index, const Directory& dir) {
                        return index == Index || copier.CopyPage(dir);
                      })
          : -1;
  if (pages < 0) {
    Stream->Seek(start, soBeginning);
    return 0;
  }
  Stream->SetSize(start);
  Stream->Seek(start, soBeginning);
  out.WriteTo(Stream);
  return pages;
}

void _ExtractTIFFImStream(TStream* Source, Integer Index, TStream* Dest) {
  TiffSource src(Source, 0);
  DWORD first = 0;
  if (!src.ReadHeader(0, first)) return;
  TiffOutput out(Dest->GetPosition(), src.Intel(), OutputCap(src.Size()));
  DirectoryCopier copier(src, out);
  if (!out.Begin(src.Header())) return;
  const Integer pages = WalkChain(src, first, [&](DWORD, Integer index, const Directory& dir) {
    return index != Index || copier.CopyPage(dir);
  });
  if (pages < 0) return;
  out.WriteTo(Dest);
}

// Answers the number of pages written to Dest; 0, with Dest untouched, when either
// stream is no TIFF, their byte orders differ, or a page cannot be copied.
Integer _InsertTIFFImStream(TStream* Target, TStream* Pages, Integer Index, TStream* Dest) {
  TiffSource target(Target, 0), pages(Pages, 0);
  DWORD targetFirst = 0, pagesFirst = 0;
  if (!target.ReadHeader(0, targetFirst) || !pages.ReadHeader(0, pagesFirst)) return 0;
  // The pages keep their byte order, which the header must state for all of them.
  if (target.Intel() != pages.Intel()) return 0;
  TiffOutput out(Dest->GetPosition(), target.Intel(), OutputCap(target.Size() + pages.Size()));
  DirectoryCopier fromTarget(target, out), fromPages(pages, out);
  if (!out.Begin(target.Header())) return 0;
  Integer written = 0;
  const auto insertPages = [&]() {
    const Integer n = WalkChain(pages, pagesFirst, [&](DWORD, Integer, const Directory& dir) {
      return fromPages.CopyPage(dir);
    });
    if (n < 0) return false;
    written += n;
    return true;
  };
  const Integer targetPages =
      WalkChain(target, targetFirst, [&](DWORD, Integer index, const Directory& dir) {
        if (index == Index && !insertPages()) return false;
        if (!fromTarget.CopyPage(dir)) return false;
        ++written;
        return true;
      });
  if (targetPages < 0) return 0;
  if (Index == targetPages && !insertPages()) return 0;
  out.WriteTo(Dest);
  return written;
}
