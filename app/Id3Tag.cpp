// The ID3v2.3 tag head of an enclosure: collecting it across chunks and scanning it.
#include "app/Id3Tag.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr Integer kHeaderSize = 10;

// The first letters of a frame id at buf[i] (with i + 8 < n): answers true on a full
// match; otherwise moves i to the first letter that did not match.
bool MatchFrameId(const BYTE* buf, Integer* i, const char* id) {
  for (Integer k = 1; k < 4; ++k) {
    if (buf[*i + k] != static_cast<BYTE>(id[k])) {
      *i += k;
      return false;
    }
  }
  return true;
}

// A tag written with unsynchronisation carries a 0 after every 0xFF of its frames;
// frame sizes count the bytes without them. Answers the tag as written before.
std::vector<BYTE> Resynchronise(const BYTE* buf, Integer n) {
  std::vector<BYTE> out(buf, buf + std::min(n, kHeaderSize));
  out.reserve(static_cast<size_t>(n));
  for (Integer i = kHeaderSize; i < n; ++i) {
    out.push_back(buf[i]);
    if (buf[i] == 0xFF && i + 1 < n && buf[i + 1] == 0) ++i;
  }
  return out;
}

}  // namespace

TId3ScanResult ScanId3Tag(const BYTE* buf, Integer n) {
  TId3ScanResult result;
  std::vector<BYTE> resynchronised;
  if (n >= kHeaderSize && (buf[5] & 0x80) != 0) {
    resynchronised = Resynchronise(buf, n);
    buf = resynchronised.data();
    n = static_cast<Integer>(resynchronised.size());
  }
  Integer i = 0;
  while (i < n) {
    if (i + 8 < n && buf[i] == 'T') {
      const Integer s = i;
      if (MatchFrameId(buf, &i, "TENC")) {
        const Integer L = static_cast<int8_t>(buf[s + 7]);
        result.CaptionChanged = true;
        // The text runs from s + 11 for L - 1 bytes, all inside the tag.
        if (L - 1 > 0 && s + 11 + (L - 1) <= n) {
          const char* text = reinterpret_cast<const char*>(buf + s + 11);
          const size_t len = strnlen(text, static_cast<size_t>(L - 1));
          result.Caption = AnsiString("Encoded By: ") + AnsiString(text, len);
          i = s + 11;
        } else {
          result.Caption = "Encoded By: ?";
          i = s + 7;
        }
      }
    }
    if (i + 8 < n && buf[i] == 'A') {
      const Integer s = i;
      if (MatchFrameId(buf, &i, "APIC")) {
        const uint32_t size = (uint32_t{buf[s + 4]} << 24) | (uint32_t{buf[s + 5]} << 16) |
                              (uint32_t{buf[s + 6]} << 8) | uint32_t{buf[s + 7]};
        const uint32_t d = size - 14u;
        if (d > 0 && d < static_cast<uint32_t>(kMaxId3Size) && int64_t{s} + 24 + d <= n) {
          result.HasPicture = true;
          result.Picture.assign(reinterpret_cast<const char*>(buf + s + 24), d);
          i = s + 24;
        } else {
          i = s + 7;
        }
      }
    }
    ++i;
  }
  return result;
}

AnsiString TId3TagReader::DocBegin() {
  Id3Buffer.clear();
  Id3Buffer.shrink_to_fit();
  HaveBuffer = false;
  Id3Complete = false;
  Id3Size = 0;
  Id3Received = 0;
  Head.clear();
  ReadingId3 = true;
  return kEncodedByCaption;
}

TId3ChunkResult TId3TagReader::DocData(const BYTE* Buffer, Integer Len) {
  TId3ChunkResult r;
  if (!ReadingId3 || Len <= 0) return r;
  auto stop = [&](AnsiString message) {
    ReadingId3 = false;
    Head.clear();
    r.AbortDownload = true;
    r.CaptionChanged = true;
    r.Caption = std::move(message);
  };
  if (!HaveBuffer) {
    // The header may come in pieces: gather its 10 bytes first.
    const Integer take = std::min(Len, kHeaderSize - static_cast<Integer>(Head.size()));
    Head.insert(Head.end(), Buffer, Buffer + take);
    Buffer += take;
    Len -= take;
    static const BYTE kMagic[4] = {'I', 'D', '3', 3};
    const size_t known = std::min<size_t>(Head.size(), 4);
    if (std::memcmp(Head.data(), kMagic, known) != 0) {
      stop("ID3v2 tag not found");
      return r;
    }
    if (Head.size() < static_cast<size_t>(kHeaderSize)) return r;
    // Four 7-bit groups, each byte taken as a signed value, as the tag's writers
    // never set the top bit; a byte that has it makes the size come out wrong and
    // the tag is refused below.
    const int64_t size = int64_t{static_cast<int8_t>(Head[6])} * 2097152 +
                         int64_t{static_cast<int8_t>(Head[7])} * 16384 +
                         int64_t{static_cast<int8_t>(Head[8])} * 128 + int64_t{static_cast<int8_t>(Head[9])};
    const int64_t total = size + kHeaderSize;
    if (total <= 0 || total >= kMaxId3Size) {
      stop("ID3 tag too large or corrupted (" + std::to_string(total) + " bytes)");
      return r;
    }
    Id3Size = static_cast<Integer>(total);
    Id3Buffer.assign(static_cast<size_t>(Id3Size), 0);
    // A negative size byte can make the tag shorter than its own header.
    Id3Received = std::min(Id3Size, kHeaderSize);
    std::memcpy(Id3Buffer.data(), Head.data(), static_cast<size_t>(Id3Received));
    Head.clear();
    HaveBuffer = true;
    Id3Complete = Id3Received >= Id3Size;
  }
  if (!Id3Complete && Len > 0) {
    const Integer n = std::min(Id3Size - Id3Received, Len);
    std::memcpy(Id3Buffer.data() + Id3Received, Buffer, static_cast<size_t>(n));
    Id3Received += n;
    Id3Complete = Id3Received >= Id3Size;
  }
  if (Id3Complete) {
    r.AbortDownload = true;
    Id3Complete = false;
    ReadingId3 = false;
    const TId3ScanResult scan = ScanId3Tag(Id3Buffer.data(), Id3Size);
    r.CaptionChanged = scan.CaptionChanged;
    r.Caption = scan.Caption;
    r.HasPicture = scan.HasPicture;
    r.Picture = scan.Picture;
    Id3Buffer.clear();
    Id3Buffer.shrink_to_fit();
    HaveBuffer = false;
  }
  return r;
}
