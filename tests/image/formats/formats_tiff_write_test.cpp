// The TIFF writer: pages checked entry by entry with tiffdump and our own directory
// walk, read back pixel for pixel by ImageMagick (and tiffinfo for decoding
// errors), appended pages, and streams that refuse bytes or loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "image/formats/tiffilt.h"
#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"
#include "platform/rtl/Streams.h"
#include "tests/image/bitmap_test_util.h"
#include "tests/support/Peers.h"

namespace {

using Bytes = std::vector<Byte>;

void SaveFile(const std::string& path, const Bytes& data) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

Bytes StreamBytes(TMemoryStream& s) {
  const auto* p = static_cast<const Byte*>(s.Memory());
  return Bytes(p, p + s.GetSize());
}

uint16_t Le16(const Bytes& f, size_t at) { return static_cast<uint16_t>(f[at] | f[at + 1] << 8); }
uint32_t Le32(const Bytes& f, size_t at) {
  return uint32_t{f[at]} | uint32_t{f[at + 1]} << 8 | uint32_t{f[at + 2]} << 16 |
         uint32_t{f[at + 3]} << 24;
}
void SetLe32(Bytes& f, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) f[at + i] = static_cast<Byte>(v >> (8 * i));
}

// --- A TIFF LZW encoder for the hook: codes most significant bit first, 9 to 12
// bits, the width growing one code early, Clear at the start and when the table is
// full, EOI at the end.

struct LzwState {
  std::unordered_map<uint32_t, int> table;
  int next = 258;
  int bits = 9;
  int prefix = -1;
  uint32_t acc = 0;
  int accBits = 0;
};

void PutCode(LzwState& s, TStream* out, int code) {
  s.acc = (s.acc << s.bits) | static_cast<uint32_t>(code);
  s.accBits += s.bits;
  while (s.accBits >= 8) {
    const Byte b = static_cast<Byte>(s.acc >> (s.accBits - 8));
    out->Write(&b, 1);
    s.accBits -= 8;
  }
  s.acc &= (1u << s.accBits) - 1;
}

// Counts the entry added for the code just written: the code width grows one code
// early, and a full table is cleared.
void Grow(LzwState& s, TStream* out) {
  if (++s.next == 4094) {
    PutCode(s, out, 256);
    s.table.clear();
    s.next = 258;
    s.bits = 9;
  } else if (s.next > (1 << s.bits) - 1) {
    ++s.bits;
  }
}

int g_lzwRowsSeen = 0;
int g_lzwFinalCalls = 0;

void TestLzwEncode(const Byte* row, Integer rowBytes, TStream* stream, void*& state) {
  auto* s = static_cast<LzwState*>(state);
  if (s == nullptr) {
    s = std::make_unique<LzwState>().release();
    state = s;
    PutCode(*s, stream, 256);
  }
  if (row == nullptr) {
    ++g_lzwFinalCalls;
    std::unique_ptr<LzwState> owned(s);
    state = nullptr;
    if (s->prefix >= 0) {
      PutCode(*s, stream, s->prefix);
      // The decoder adds an entry for this code too.
      Grow(*s, stream);
    }
    PutCode(*s, stream, 257);
    if (s->accBits > 0) {
      const Byte b = static_cast<Byte>(s->acc << (8 - s->accBits));
      stream->Write(&b, 1);
    }
    return;
  }
  ++g_lzwRowsSeen;
  for (Integer i = 0; i < rowBytes; ++i) {
    const int c = row[i];
    if (s->prefix < 0) {
      s->prefix = c;
      continue;
    }
    const uint32_t key = static_cast<uint32_t>(s->prefix) << 8 | static_cast<uint32_t>(c);
    const auto it = s->table.find(key);
    if (it != s->table.end()) {
      s->prefix = it->second;
      continue;
    }
    PutCode(*s, stream, s->prefix);
    s->table.emplace(key, s->next);
    Grow(*s, stream);
    s->prefix = c;
  }
}

// --- Images

using bitmap_test::ToRgb;

// A w x h colour image whose pixel at (x, y) is colour(x, y).
template <class Colour>
std::unique_ptr<TIEBitmap> Painted(Integer w, Integer h, Colour colour) {
  auto b = std::make_unique<TIEBitmap>();
  b->Allocate(w, h, ie24RGB);
  for (Integer y = 0; y < h; ++y)
    for (Integer x = 0; x < w; ++x) b->SetPixels_ie24RGB(x, y, colour(x, y));
  return b;
}

std::unique_ptr<TIEBitmap> Smooth(Integer w, Integer h) {
  return Painted(w, h, [w, h](Integer x, Integer y) {
    return TRGB{static_cast<Byte>(x * 255 / w), static_cast<Byte>(y * 255 / h),
                static_cast<Byte>((x + y) * 127 / (w + h) + 60)};
  });
}

// Many colours, neighbours unlike each other.
std::unique_ptr<TIEBitmap> Busy(Integer w, Integer h) {
  return Painted(w, h, [](Integer x, Integer y) {
    return TRGB{static_cast<Byte>(x * 37 + y * 11), static_cast<Byte>(x * 5 + y * 71),
                static_cast<Byte>(x * y + 3)};
  });
}

// Exactly `colours` distinct colours (at most 256), in stripes and runs.
std::unique_ptr<TIEBitmap> FewColours(Integer w, Integer h, Integer colours) {
  return Painted(w, h, [colours](Integer x, Integer y) {
    const Integer i = ((x / 3) + y * 7) % colours;
    return TRGB{static_cast<Byte>(i * 53), static_cast<Byte>(255 - i), static_cast<Byte>(i * 7 + 1)};
  });
}

std::unique_ptr<TIEBitmap> GreyRamp(Integer w, Integer h) {
  return Painted(w, h, [](Integer x, Integer y) {
    const Byte v = static_cast<Byte>((x * 7 + y * 13) & 0xFF);
    return TRGB{v, v, v};
  });
}

// A bilevel page: long white runs, black bars and a checker block, odd width.
std::unique_ptr<TIEBitmap> Bilevel(Integer w, Integer h) {
  auto b = std::make_unique<TIEBitmap>();
  b->Allocate(w, h, ie1g);
  for (Integer y = 0; y < h; ++y)
    for (Integer x = 0; x < w; ++x) {
      bool black = (y % 9 == 2) || (x > 10 && x < 14) || (x > 30 && x < 40 && ((x + y) & 1));
      b->SetPixels_ie1g(x, y, !black);
    }
  return b;
}

std::unique_ptr<TIEBitmap> Solid(TRGB c, Integer w = 8, Integer h = 6) {
  auto b = std::make_unique<TIEBitmap>();
  b->Allocate(w, h, ie24RGB);
  b->Fill(static_cast<Integer>(c.r | c.g << 8 | c.b << 16));
  return b;
}

// --- Writing

struct Written {
  Bytes file;
  bool aborted = false;
  Integer result = -1;
};

Written Write(TIEBitmap& bitmap, TIOParamsVals& params, bool append = false,
              const Bytes& initial = {}) {
  Written w;
  TMemoryStream s;
  if (!initial.empty()) s.Write(initial.data(), static_cast<Integer>(initial.size()));
  s.SetPosition(0);
  TProgressRec progress;
  progress.Aborting = &w.aborted;
  w.result = TIFFWriteStream(&s, append, &bitmap, params, progress);
  w.file = StreamBytes(s);
  return w;
}

// --- Our own walk of a little-endian file

struct RawEntry {
  uint16_t tag, type;
  uint32_t count, value;
};
struct RawDir {
  uint32_t offset = 0;
  std::vector<RawEntry> entries;
  uint32_t next = 0;
  const RawEntry* Find(uint16_t tag) const {
    for (const RawEntry& e : entries)
      if (e.tag == tag) return &e;
    return nullptr;
  }
};

std::vector<RawDir> Walk(const Bytes& f) {
  std::vector<RawDir> dirs;
  if (f.size() < 8 || f[0] != 'I' || f[1] != 'I') return dirs;
  uint32_t offset = Le32(f, 4);
  while (offset != 0 && offset + 2 <= f.size() && dirs.size() < 100) {
    RawDir d;
    d.offset = offset;
    const uint16_t n = Le16(f, offset);
    if (offset + 2 + 12 * size_t{n} + 4 > f.size()) break;
    for (uint16_t i = 0; i < n; ++i) {
      const size_t at = offset + 2 + 12 * size_t{i};
      d.entries.push_back({Le16(f, at), Le16(f, at + 2), Le32(f, at + 4), Le32(f, at + 8)});
    }
    d.next = Le32(f, offset + 2 + 12 * size_t{n});
    dirs.push_back(d);
    offset = d.next;
  }
  return dirs;
}

// --- Peers

struct Peers {
  larktest::TempDir dir;
  int n = 0;
  std::string Save(const Bytes& file) {
    const std::string path = dir.Path() + "page" + std::to_string(n++) + ".tif";
    SaveFile(path, file);
    return path;
  }
};

// tiffdump's lines for the first directory: tag -> "TYPE count<values>".
std::map<int, std::string> TiffDump(const std::string& path, std::vector<int>* order = nullptr) {
  const std::string out = larktest::RunCommand({larktest::RequireProgram("tiffdump"), path});
  std::map<int, std::string> tags;
  std::istringstream in(out);
  std::string line;
  int directories = 0;
  while (std::getline(in, line)) {
    if (line.rfind("Directory ", 0) == 0) ++directories;
    if (directories != 1) continue;
    const size_t open = line.find(" (");
    const size_t close = line.find(") ", open);
    if (open == std::string::npos || close == std::string::npos) continue;
    // Known tags read "Name (tag) ...", others "tag (0xhex) ...".
    const int tag = std::isdigit(static_cast<unsigned char>(line[0]))
                        ? std::atoi(line.c_str())
                        : std::atoi(line.c_str() + open + 2);
    if (tag <= 0) continue;
    std::string rest = line.substr(close + 2);
    // "LONG (4) 1<8>" -> "LONG 1<8>"
    const size_t typeEnd = rest.find(" (");
    const size_t typeClose = rest.find(") ");
    if (typeEnd != std::string::npos && typeClose != std::string::npos)
      rest = rest.substr(0, typeEnd) + " " + rest.substr(typeClose + 2);
    tags[tag] = rest;
    if (order != nullptr) order->push_back(tag);
  }
  return tags;
}

// tiffinfo decoding every strip of every page: its whole output, errors included.
std::string TiffInfo(const std::string& path) {
  return larktest::RunCommand(
      {"/bin/sh", "-c", larktest::RequireProgram("tiffinfo") + " -D '" + path + "' 2>&1"});
}

// ImageMagick's R,G,B bytes of one page.
Bytes Magick(const std::string& path, int page = 0) {
  int code = 0;
  const std::string out = larktest::RunCommand(
      {larktest::RequireProgram("convert-im6.q16"), path + "[" + std::to_string(page) + "]",
       "-colorspace", "sRGB", "-depth", "8", "rgb:-"},
      &code);
  EXPECT_EQ(code, 0) << path;
  return Bytes(out.begin(), out.end());
}

// The largest difference of any sample, and the mean difference.
struct Diff {
  int max = 0;
  double mean = 0;
};
Diff Compare(const Bytes& a, const Bytes& b) {
  Diff d;
  if (a.size() != b.size() || a.empty()) {
    d.max = 1000;
    return d;
  }
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const int e = std::abs(int{a[i]} - int{b[i]});
    d.max = std::max(d.max, e);
    sum += e;
  }
  d.mean = sum / static_cast<double>(a.size());
  return d;
}

// ===========================================================================
// Layout

TEST(TiffWriteLayout, DefaultRgbPageHasTheEntriesInOrderAndAnEvenDirectory) {
  auto image = Smooth(5, 3);  // 45 bytes of strip: the values after it end at an odd position
  TIOParamsVals params(nullptr);
  params.SetDpi(150);
  const Written w = Write(*image, params);
  ASSERT_FALSE(w.aborted);
  EXPECT_EQ(w.result, 1);
  ASSERT_GE(w.file.size(), 8u);
  EXPECT_EQ(Le16(w.file, 0), 0x4949);
  EXPECT_EQ(Le16(w.file, 2), 42);
  const auto dirs = Walk(w.file);
  ASSERT_EQ(dirs.size(), 1u);
  EXPECT_EQ(dirs[0].offset % 2, 0u);
  EXPECT_EQ(dirs[0].next, 0u);
  EXPECT_EQ(w.file.size(), dirs[0].offset + 2 + 12 * dirs[0].entries.size() + 4);

  Peers peers;
  const std::string path = peers.Save(w.file);
  std::vector<int> order;
  auto tags = TiffDump(path, &order);
  EXPECT_EQ(order, (std::vector<int>{256, 257, 258, 259, 262, 273, 277, 278, 279, 282, 283, 286,
                                     287, 296, 33723}));
  EXPECT_EQ(tags[256], "LONG 1<5>");
  EXPECT_EQ(tags[257], "LONG 1<3>");
  EXPECT_EQ(tags[258], "SHORT 3<8 8 8>");
  EXPECT_EQ(tags[259], "SHORT 1<1>");
  EXPECT_EQ(tags[262], "SHORT 1<2>");
  EXPECT_EQ(tags[277], "SHORT 1<3>");
  EXPECT_EQ(tags[278], "LONG 1<3>");
  EXPECT_EQ(tags[279], "LONG 1<45>");
  EXPECT_EQ(tags[282], "RATIONAL 1<150>");
  EXPECT_EQ(tags[296], "SHORT 1<2>");
  EXPECT_EQ(Magick(path), ToRgb(*image));
}

TEST(TiffWriteLayout, OutOfLineValuesFollowTheOrderTheirTagsAreMade) {
  auto image = FewColours(7, 5, 12);
  TIOParamsVals params(nullptr);
  params.BitsPerSample = 4;
  params.SamplesPerPixel = 1;
  params.TIFF_DocumentName = "Document";
  params.TIFF_ImageDescription = "A description";
  params.TIFF_PageName = "Page one";
  params.TIFF_XPos = 3;
  params.TIFF_YPos = 4;
  params.TIFF_PageNumber = 2;
  params.TIFF_PageCount = 9;
  params.IPTC_Info->AddStringItem(2, 120, "caption");
  const Written w = Write(*image, params);
  ASSERT_FALSE(w.aborted);
  const auto dirs = Walk(w.file);
  ASSERT_EQ(dirs.size(), 1u);
  const RawDir& d = dirs[0];
  // Offsets in the order the tags were produced; the strip between the two groups.
  std::vector<uint32_t> offsets;
  for (uint16_t tag : {269, 270, 273, 282, 283, 285, 286, 287, 33723, 320}) {
    const RawEntry* e = d.Find(tag);
    ASSERT_NE(e, nullptr) << tag;
    offsets.push_back(e->value);
  }
  EXPECT_TRUE(std::is_sorted(offsets.begin(), offsets.end()));
  EXPECT_EQ(std::adjacent_find(offsets.begin(), offsets.end()), offsets.end());
  EXPECT_EQ(d.Find(269)->value, 8u) << "the first value after the header";
  // The PageNumber pair sits in the entry: first value in the low 16 bits.
  ASSERT_NE(d.Find(297), nullptr);
  EXPECT_EQ(d.Find(297)->count, 2u);
  EXPECT_EQ(d.Find(297)->value, 2u | 9u << 16);
  // ColorMap: 3 x 16 SHORTs; the values after the strip start right at its end.
  EXPECT_EQ(d.Find(320)->count, 48u);
  EXPECT_EQ(d.Find(282)->value, d.Find(273)->value + d.Find(279)->value);

  Peers peers;
  const std::string path = peers.Save(w.file);
  auto tags = TiffDump(path);
  EXPECT_EQ(tags[262], "SHORT 1<3>");
  EXPECT_EQ(tags[258], "SHORT 1<4>");
  EXPECT_EQ(tags[297], "SHORT 2<2 9>");
  EXPECT_EQ(tags[286], "RATIONAL 1<3>");
  EXPECT_EQ(tags[287], "RATIONAL 1<4>");
  const std::string info = TiffInfo(path);
  EXPECT_NE(info.find("DocumentName: Document"), std::string::npos) << info;
  EXPECT_NE(info.find("ImageDescription: A description"), std::string::npos) << info;
  EXPECT_NE(info.find("PageName: Page one"), std::string::npos) << info;
  EXPECT_EQ(Magick(path), ToRgb(*image));
}

TEST(TiffWriteLayout, AsciiGoesOutOfLineUnlessItFitsTheEntryAndShortsSitInTheLowHalf) {
  auto image = Smooth(4, 4);
  TIOParamsVals params(nullptr);
  params.TIFF_DocumentName = "abcd";     // 5 bytes with the NUL
  params.TIFF_ImageDescription = "xyz";  // 4 bytes
  params.TIFF_PageName = "p";
  const Written w = Write(*image, params);
  ASSERT_FALSE(w.aborted);
  const auto dirs = Walk(w.file);
  ASSERT_EQ(dirs.size(), 1u);
  const RawEntry* name = dirs[0].Find(269);
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name->type, 2);
  EXPECT_EQ(name->count, 5u);
  ASSERT_LE(name->value + 5u, w.file.size());
  EXPECT_EQ(std::memcmp(&w.file[name->value], "abcd\0", 5), 0);
  const RawEntry* description = dirs[0].Find(270);
  ASSERT_NE(description, nullptr);
  EXPECT_EQ(description->count, 4u);
  EXPECT_EQ(description->value, uint32_t{'x'} | uint32_t{'y'} << 8 | uint32_t{'z'} << 16);
  ASSERT_NE(dirs[0].Find(285), nullptr);
  EXPECT_EQ(dirs[0].Find(285)->count, 2u);
  EXPECT_EQ(dirs[0].Find(285)->value, uint32_t{'p'});
  for (const RawEntry& e : dirs[0].entries)
    if (e.type == 3 && e.count == 1) {
      EXPECT_EQ(e.value >> 16, 0u) << e.tag;
    }
  EXPECT_EQ(dirs[0].Find(259)->value, 1u);
  EXPECT_EQ(dirs[0].Find(262)->value, 2u);

  Peers peers;
  const std::string info = TiffInfo(peers.Save(w.file));
  EXPECT_NE(info.find("DocumentName: abcd\n"), std::string::npos) << info;
  EXPECT_NE(info.find("ImageDescription: xyz\n"), std::string::npos) << info;
  EXPECT_NE(info.find("PageName: p\n"), std::string::npos) << info;
  EXPECT_EQ(info.find("arning"), std::string::npos) << info;
}

TEST(TiffWriteLayout, IptcOfTwelveBytesIsThreeLongs) {
  auto image = Smooth(3, 3);
  TIOParamsVals params(nullptr);
  // The record version (7 bytes) and one empty dataset (5 bytes).
  params.IPTC_Info->AddBufferItem(2, 25, nullptr, 0);
  std::unique_ptr<Byte[]> block;
  Integer length = 0;
  params.IPTC_Info->SaveToStandardBuffer(block, length, false);
  ASSERT_EQ(length, 12);
  const Written w = Write(*image, params);
  ASSERT_FALSE(w.aborted);
  const auto dirs = Walk(w.file);
  ASSERT_EQ(dirs.size(), 1u);
  const RawEntry* e = dirs[0].Find(33723);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->type, 4);
  EXPECT_EQ(e->count, 3u);
  ASSERT_LE(e->value + 12u, w.file.size());
  EXPECT_EQ(std::memcmp(&w.file[e->value], block.get(), 12), 0);
  Peers peers;
  EXPECT_EQ(TiffDump(peers.Save(w.file))[33723].rfind("LONG 3<", 0), 0u);
}

TEST(TiffWriteLayout, WrittenAfterOtherDataTheOffsetsAreAbsolute) {
  auto image = Smooth(6, 2);
  TIOParamsVals params(nullptr);
  TMemoryStream s;
  const Byte prefix[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  s.Write(prefix, 10);
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  EXPECT_EQ(TIFFWriteStream(&s, false, image.get(), params, progress), 1);
  ASSERT_FALSE(aborted);
  const Bytes f = StreamBytes(s);
  EXPECT_EQ(Le16(f, 10), 0x4949);
  const uint32_t dir = Le32(f, 14);
  EXPECT_EQ(dir % 2, 0u);
  ASSERT_LT(dir, f.size());
  // The strip offset counts from the stream's start.
  const uint16_t n = Le16(f, dir);
  uint32_t strip = 0;
  for (uint16_t i = 0; i < n; ++i)
    if (Le16(f, dir + 2 + 12 * i) == 273) strip = Le32(f, dir + 2 + 12 * i + 8);
  EXPECT_EQ(strip, 10u + 8u + 6u) << "after the header and the BitsPerSample array";
  EXPECT_EQ(s.GetPosition(), s.GetSize());
}

// ===========================================================================
// Photometric, compression and bits

struct CodecCase {
  const char* name;
  std::unique_ptr<TIEBitmap> (*image)();
  Integer bps, spp;
  TIOTIFFCompression compression;
  TIOTIFFPhotometInterpret photometric;
  bool hook;
  // Expected entries (tiffdump form); empty strings are not checked.
  const char* bitsPerSample;
  const char* compressionTag;
  const char* photometricTag;
  const char* samplesTag;
  bool predictor;
  const char* colorMapCount;  // "" when there must be none
  int maxDiff;                // ImageMagick's pixels against the source
};

std::unique_ptr<TIEBitmap> BilevelImage() { return Bilevel(45, 21); }
std::unique_ptr<TIEBitmap> TwoColourImage() {
  return Painted(19, 7, [](Integer x, Integer y) {
    return ((x + y) % 3 == 0) ? TRGB{0, 0, 0} : TRGB{255, 255, 255};
  });
}
std::unique_ptr<TIEBitmap> Four() { return FewColours(23, 9, 4); }
std::unique_ptr<TIEBitmap> Eight() { return FewColours(27, 9, 8); }
std::unique_ptr<TIEBitmap> Sixteen() { return FewColours(29, 11, 16); }
std::unique_ptr<TIEBitmap> TwoHundred() { return FewColours(61, 40, 200); }
std::unique_ptr<TIEBitmap> Grey() { return GreyRamp(40, 20); }
std::unique_ptr<TIEBitmap> Colour() { return Busy(33, 17); }
std::unique_ptr<TIEBitmap> Photo() { return Smooth(64, 48); }

const CodecCase kCodecCases[] = {
    {"OneBitRaw", BilevelImage, 1, 1, ioTIFF_UNCOMPRESSED, ioTIFF_RGB, false, "SHORT 1<1>",
     "SHORT 1<1>", "SHORT 1<1>", "SHORT 1<1>", false, "", 0},
    {"OneBitFromTwoColours", TwoColourImage, 1, 1, ioTIFF_UNCOMPRESSED, ioTIFF_RGB, false,
     "SHORT 1<1>", "SHORT 1<1>", "SHORT 1<1>", "SHORT 1<1>", false, "", 0},
    {"OneBitWhiteIsZero", BilevelImage, 1, 1, ioTIFF_UNCOMPRESSED, ioTIFF_WHITEISZERO, false,
     "SHORT 1<1>", "SHORT 1<1>", "SHORT 1<0>", "SHORT 1<1>", false, "", 0},
    {"OneBitPackBits", BilevelImage, 1, 1, ioTIFF_PACKBITS, ioTIFF_RGB, false, "SHORT 1<1>",
     "SHORT 1<32773>", "SHORT 1<1>", "", false, "", 0},
    {"OneBitLZW", BilevelImage, 1, 1, ioTIFF_LZW, ioTIFF_RGB, true, "SHORT 1<1>", "SHORT 1<5>",
     "SHORT 1<1>", "", false, "", 0},
    {"Palette2Bits", Four, 2, 1, ioTIFF_UNCOMPRESSED, ioTIFF_RGB, false, "SHORT 1<2>", "SHORT 1<1>",
     "SHORT 1<3>", "SHORT 1<1>", false, "12", 0},
    {"Palette3Bits", Eight, 3, 1, ioTIFF_UNCOMPRESSED, ioTIFF_RGB, false, "SHORT 1<3>",
     "SHORT 1<1>", "SHORT 1<3>", "SHORT 1<1>", false, "24", 0},
    {"Palette4Bits", Sixteen, 4, 1, ioTIFF_UNCOMPRESSED, ioTIFF_RGB, false, "SHORT 1<4>",
     "SHORT 1<1>", "SHORT 1<3>", "SHORT 1<1>", false, "48", 0},
    {"Palette4BitsOfAGreyImage", Grey, 4, 1, ioTIFF_UNCOMPRESSED, ioTIFF_BLACKISZERO, false,
     "SHORT 1<4>", "SHORT 1<1>", "SHORT 1<3>", "SHORT 1<1>", false, "48", 60},
    {"Palette8Bits", TwoHundred, 8, 1, ioTIFF_UNCOMPRESSED, ioTIFF_RGB, false, "SHORT 1<8>",
     "SHORT 1<1>", "SHORT 1<3>", "SHORT 1<1>", false, "768", 0},
    {"Palette8BitsPackBits", TwoHundred, 8, 1, ioTIFF_PACKBITS, ioTIFF_RGB, false, "SHORT 1<8>",
     "SHORT 1<32773>", "SHORT 1<3>", "", false, "768", 0},
    {"Palette8BitsLZW", TwoHundred, 8, 1, ioTIFF_LZW, ioTIFF_RGB, true, "SHORT 1<8>", "SHORT 1<5>",
     "SHORT 1<3>", "", false, "768", 0},
    {"PaletteDropsFaxCoding", Four, 2, 1, ioTIFF_G4FAX, ioTIFF_RGB, false, "SHORT 1<2>",
     "SHORT 1<1>", "SHORT 1<3>", "", false, "12", 0},
    {"GreyRampIsBlackIsZero", Grey, 8, 1, ioTIFF_UNCOMPRESSED, ioTIFF_RGBPALETTE, false,
     "SHORT 1<8>", "SHORT 1<1>", "SHORT 1<1>", "SHORT 1<1>", false, "", 0},
    // Two samples asked for: a grey page of the library's grey levels, no palette.
    {"GreyLevelsWithoutAPalette", Grey, 8, 2, ioTIFF_UNCOMPRESSED, ioTIFF_BLACKISZERO, false,
     "SHORT 1<8>", "SHORT 1<1>", "SHORT 1<1>", "SHORT 1<1>", false, "", 0},
    {"RgbLZWWithPredictor", Colour, 8, 3, ioTIFF_LZW, ioTIFF_RGB, true, "SHORT 3<8 8 8>",
     "SHORT 1<5>", "SHORT 1<2>", "SHORT 1<3>", true, "", 0},
    {"RgbLZWWithoutPredictor", Colour, 4, 3, ioTIFF_LZW, ioTIFF_RGB, true, "SHORT 3<8 8 8>",
     "SHORT 1<5>", "SHORT 1<2>", "SHORT 1<3>", false, "", 0},
    {"RgbPackBits", Photo, 8, 3, ioTIFF_PACKBITS, ioTIFF_RGB, false, "SHORT 3<8 8 8>",
     "SHORT 1<32773>", "SHORT 1<2>", "SHORT 1<3>", false, "", 0},
    {"RgbFromSixteenBits", Colour, 16, 1, ioTIFF_UNCOMPRESSED, ioTIFF_BLACKISZERO, false,
     "SHORT 3<8 8 8>", "SHORT 1<1>", "SHORT 1<2>", "SHORT 1<3>", false, "", 0},
    {"GreyRequestOnColourIsRgb", Colour, 8, 3, ioTIFF_UNCOMPRESSED, ioTIFF_WHITEISZERO, false,
     "SHORT 3<8 8 8>", "SHORT 1<1>", "SHORT 1<2>", "SHORT 1<3>", false, "", 0},
    {"Cmyk", Colour, 8, 3, ioTIFF_UNCOMPRESSED, ioTIFF_CMYK, false, "SHORT 4<8 8 8 8>",
     "SHORT 1<1>", "SHORT 1<5>", "SHORT 1<4>", false, "", 2},
    {"CmykLZW", Colour, 8, 3, ioTIFF_LZW, ioTIFF_CMYK, true, "SHORT 4<8 8 8 8>", "SHORT 1<5>",
     "SHORT 1<5>", "SHORT 1<4>", false, "", 2},
    {"CieLab", Photo, 8, 3, ioTIFF_UNCOMPRESSED, ioTIFF_CIELAB, false, "SHORT 3<8 8 8>",
     "SHORT 1<1>", "SHORT 1<8>", "SHORT 1<3>", false, "", 8},
    {"CieLabLZW", Photo, 8, 3, ioTIFF_LZW, ioTIFF_CIELAB, true, "SHORT 3<8 8 8>", "SHORT 1<5>",
     "SHORT 1<8>", "SHORT 1<3>", true, "", 8},
    {"YCbCrWithoutJpegIsRgb", Colour, 8, 3, ioTIFF_UNCOMPRESSED, ioTIFF_YCBCR, false,
     "SHORT 3<8 8 8>", "SHORT 1<1>", "SHORT 1<2>", "SHORT 1<3>", false, "", 0},
};

void PrintTo(const CodecCase& c, std::ostream* os) { *os << c.name; }

class TiffWriteCodecs : public testing::TestWithParam<CodecCase> {};

TEST_P(TiffWriteCodecs, PeersReadTheExpectedPixels) {
  const CodecCase& c = GetParam();
  auto image = c.image();
  TIOParamsVals params(nullptr);
  params.BitsPerSample = c.bps;
  params.SamplesPerPixel = c.spp;
  params.TIFF_Compression = c.compression;
  params.TIFF_PhotometInterpret = c.photometric;
  params.TIFF_LZWCompFunc = c.hook ? TestLzwEncode : nullptr;
  const Written w = Write(*image, params);
  ASSERT_FALSE(w.aborted);
  ASSERT_EQ(w.result, 1);

  Peers peers;
  const std::string path = peers.Save(w.file);
  auto tags = TiffDump(path);
  EXPECT_EQ(tags[258], c.bitsPerSample);
  EXPECT_EQ(tags[259], c.compressionTag);
  EXPECT_EQ(tags[262], c.photometricTag);
  if (*c.samplesTag != 0) {
    EXPECT_EQ(tags[277], c.samplesTag);
  }
  EXPECT_EQ(tags.count(317), c.predictor ? 1u : 0u);
  if (c.predictor) {
    EXPECT_EQ(tags[317], "SHORT 1<2>");
  }
  if (*c.colorMapCount == 0) {
    EXPECT_EQ(tags.count(320), 0u);
  } else {
    EXPECT_EQ(tags[320].rfind(std::string("SHORT ") + c.colorMapCount + "<", 0), 0u) << tags[320];
    EXPECT_EQ(params.ColorMapCount * 3, std::atoi(c.colorMapCount));
  }
  const std::string info = TiffInfo(path);
  EXPECT_EQ(info.find("rror"), std::string::npos) << info;
  EXPECT_EQ(info.find("arning"), std::string::npos) << info;
  const Diff d = Compare(Magick(path), ToRgb(*image));
  EXPECT_LE(d.max, c.maxDiff);
}

INSTANTIATE_TEST_SUITE_P(Pages, TiffWriteCodecs, testing::ValuesIn(kCodecCases),
                         [](const testing::TestParamInfo<CodecCase>& i) {
                           return std::string(i.param.name);
                         });

// A 1-bit page of two colours other than black and white (ImageMagick's palette
// page), read and written back with the parameters the read gave, keeps its colours:
// it is written as a palette of the two. So is a two-colour image given 1 bit.
TEST(TiffWriteBilevel, TwoColoursOtherThanBlackAndWhiteKeepThem) {
  Peers peers;
  const std::string original = peers.dir.Path() + "magick.tif";
  int code = -1;
  larktest::RunCommand({larktest::RequireProgram("convert-im6.q16"), "-size", "16x6", "pattern:checkerboard",
                        "-threshold", "50%", "+level-colors", "#C81E0A,#1428A0", "-colors", "2", "-type",
                        "palette", original},
                       &code);
  ASSERT_EQ(code, 0);
  ASSERT_EQ(TiffDump(original)[258], "SHORT 1<1>");
  std::ifstream in(original, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  TMemoryStream source;
  source.Write(bytes.data(), static_cast<Integer>(bytes.size()));
  source.SetPosition(0);
  TIEBitmap read;
  TIOParamsVals params(nullptr);
  Integer count = 0;
  std::unique_ptr<TIEMask> mask;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  TIFFReadStream(&read, &source, count, &params, progress, false, mask, false, false);
  ASSERT_FALSE(aborted);

  const Written back = Write(read, params);
  ASSERT_FALSE(back.aborted);
  const std::string path = peers.Save(back.file);
  auto tags = TiffDump(path);
  EXPECT_EQ(tags[258], "SHORT 1<1>");
  EXPECT_EQ(tags[262], "SHORT 1<3>");
  EXPECT_EQ(tags[320].rfind("SHORT 6<", 0), 0u) << tags[320];
  const std::string info = TiffInfo(path);
  EXPECT_EQ(info.find("rror"), std::string::npos) << info;
  const Bytes expected = Magick(original);
  EXPECT_EQ(Compare(Magick(path), expected).max, 0);

  // The same colours painted by hand, 1 bit asked for.
  auto painted = Painted(19, 7, [](Integer x, Integer y) {
    return ((x + y) % 3 == 0) ? TRGB{10, 30, 200} : TRGB{160, 40, 20};
  });
  TIOParamsVals oneBit(nullptr);
  oneBit.BitsPerSample = 1;
  oneBit.SamplesPerPixel = 1;
  const Written w = Write(*painted, oneBit);
  ASSERT_FALSE(w.aborted);
  const std::string paintedPath = peers.Save(w.file);
  EXPECT_EQ(TiffDump(paintedPath)[262], "SHORT 1<3>");
  EXPECT_EQ(Compare(Magick(paintedPath), ToRgb(*painted)).max, 0);
}

TEST(TiffWriteCodecsDetail, LzwHookGetsEveryRowThenOneFinalCall) {
  auto image = Colour();
  TIOParamsVals params(nullptr);
  params.TIFF_Compression = ioTIFF_LZW;
  params.TIFF_LZWCompFunc = TestLzwEncode;
  g_lzwRowsSeen = 0;
  g_lzwFinalCalls = 0;
  const Written w = Write(*image, params);
  ASSERT_FALSE(w.aborted);
  EXPECT_EQ(g_lzwRowsSeen, image->GetHeight());
  EXPECT_EQ(g_lzwFinalCalls, 1);
}

TEST(TiffWriteCodecsDetail, TheGlobalLzwHookServesWhenTheParametersHaveNone) {
  auto image = Colour();
  TIOParamsVals params(nullptr);
  params.TIFF_Compression = ioTIFF_LZW;
  params.TIFF_LZWCompFunc = nullptr;
  DefTIFF_LZWCOMPFUNC = TestLzwEncode;
  const Written w = Write(*image, params);
  DefTIFF_LZWCOMPFUNC = nullptr;
  ASSERT_FALSE(w.aborted);
  const auto dirs = Walk(w.file);
  ASSERT_EQ(dirs.size(), 1u);
  EXPECT_EQ(dirs[0].Find(259)->value, 5u);
  Peers peers;
  EXPECT_EQ(Magick(peers.Save(w.file)), ToRgb(*image));
}

TEST(TiffWriteCodecsDetail, LzwWithoutAHookWritesAnUncompressedPageWithoutPredictor) {
  auto image = Colour();
  TIOParamsVals params(nullptr);
  params.TIFF_Compression = ioTIFF_LZW;
  params.TIFF_LZWCompFunc = nullptr;
  ASSERT_EQ(DefTIFF_LZWCOMPFUNC, nullptr);
  const Written w = Write(*image, params);
  ASSERT_FALSE(w.aborted);
  const auto dirs = Walk(w.file);
  ASSERT_EQ(dirs.size(), 1u);
  EXPECT_EQ(dirs[0].Find(259)->value, 1u);
  EXPECT_EQ(dirs[0].Find(317), nullptr);
  EXPECT_EQ(dirs[0].Find(279)->value, 33u * 17u * 3u);
  Peers peers;
  EXPECT_EQ(Magick(peers.Save(w.file)), ToRgb(*image));
}

TEST(TiffWriteCodecsDetail, FaxCodingWithEightBitsWritesAnUncompressedPage) {
  auto image = Colour();
  TIOParamsVals params(nullptr);
  params.TIFF_Compression = ioTIFF_G4FAX;
  const Written w = Write(*image, params);
  ASSERT_FALSE(w.aborted);
  Peers peers;
  const std::string path = peers.Save(w.file);
  auto tags = TiffDump(path);
  EXPECT_EQ(tags[259], "SHORT 1<1>");
  EXPECT_EQ(tags[262], "SHORT 1<2>");
  EXPECT_EQ(Magick(path), ToRgb(*image));
}

TEST(TiffWriteCodecsDetail, PackBitsKeepsShortRunsInLiterals) {
  // One row: 5 literals, a run of 3 (kept literal), a run of 130 (128 + 2 literal).
  auto image = std::make_unique<TIEBitmap>();
  image->Allocate(5 + 3 + 130, 1, ie24RGB);
  TIOParamsVals params(nullptr);
  params.BitsPerSample = 8;
  params.SamplesPerPixel = 1;
  params.TIFF_Compression = ioTIFF_PACKBITS;
  // A grey image: the page's bytes are the grey levels themselves.
  const Byte row[] = {1, 2, 3, 4, 5, 9, 9, 9};
  for (Integer x = 0; x < image->GetWidth(); ++x) {
    const Byte v = x < 8 ? row[x] : 200;
    image->SetPixels_ie24RGB(x, 0, TRGB{v, v, v});
  }
  const Written w = Write(*image, params);
  ASSERT_FALSE(w.aborted);
  const auto dirs = Walk(w.file);
  ASSERT_EQ(dirs.size(), 1u);
  ASSERT_EQ(dirs[0].Find(262)->value, 1u);
  const uint32_t at = dirs[0].Find(273)->value;
  const uint32_t len = dirs[0].Find(279)->value;
  const Bytes strip(w.file.begin() + at, w.file.begin() + at + len);
  const Bytes expected = {7, 1, 2, 3, 4, 5, 9, 9, 9, static_cast<Byte>(-127), 200, 1, 200, 200};
  EXPECT_EQ(strip, expected);
}

TEST(TiffWriteCodecsDetail, ProgressGoesUpBeforeEachRowAndACancelWritesNoDirectory) {
  auto image = Colour();
  TIOParamsVals params(nullptr);
  std::vector<Integer> seen;
  bool aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  progress.OnProgress = [&](TObject*, Integer per) {
    seen.push_back(per);
    if (seen.size() == 5) aborted = true;
  };
  TMemoryStream s;
  TIFFWriteStream(&s, false, image.get(), params, progress);
  EXPECT_TRUE(aborted);
  ASSERT_EQ(seen.size(), 5u);
  for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], static_cast<Integer>(i * 100 / 17));
  const Bytes f = StreamBytes(s);
  ASSERT_GE(f.size(), 8u);
  EXPECT_TRUE(Walk(f).empty());
  EXPECT_EQ(Le32(f, 4), 0u);
}

// ===========================================================================
// Codecs of their own units (fax and JPEG coding)

struct FaxCase {
  const char* name;
  TIOTIFFCompression compression;
  const char* compressionTag;
  const char* t4Options;  // "" when there must be none
};

const FaxCase kFaxCases[] = {
    {"ModifiedHuffman", ioTIFF_CCITT1D, "SHORT 1<2>", ""},
    {"Group3OneD", ioTIFF_G3FAX1D, "SHORT 1<3>", "LONG 1<0>"},
    {"Group3TwoD", ioTIFF_G3FAX2D, "SHORT 1<3>", "LONG 1<1>"},
    {"Group4", ioTIFF_G4FAX, "SHORT 1<4>", ""},
};

void PrintTo(const FaxCase& c, std::ostream* os) { *os << c.name; }

class TiffWriteFax : public testing::TestWithParam<FaxCase> {};

TEST_P(TiffWriteFax, InvertedWhiteIsZeroPagesReadBackAsTheImage) {
  const FaxCase& c = GetParam();
  auto image = BilevelImage();
  const Bytes before = ToRgb(*image);
  TIOParamsVals params(nullptr);
  params.BitsPerSample = 1;
  params.SamplesPerPixel = 1;
  params.TIFF_Compression = c.compression;
  const Written w = Write(*image, params);
  ASSERT_FALSE(w.aborted);
  EXPECT_EQ(ToRgb(*image), before) << "the caller's bitmap is left as it was";
  Peers peers;
  const std::string path = peers.Save(w.file);
  auto tags = TiffDump(path);
  EXPECT_EQ(tags[259], c.compressionTag);
  EXPECT_EQ(tags[262], "SHORT 1<0>");
  if (*c.t4Options == 0)
    EXPECT_EQ(tags.count(292), 0u);
  else
    EXPECT_EQ(tags[292], c.t4Options);
  const std::string info = TiffInfo(path);
  EXPECT_EQ(info.find("rror"), std::string::npos) << info;
  EXPECT_EQ(Magick(path), before);
}

INSTANTIATE_TEST_SUITE_P(Pages, TiffWriteFax, testing::ValuesIn(kFaxCases),
                         [](const testing::TestParamInfo<FaxCase>& i) {
                           return std::string(i.param.name);
                         });

TEST(TiffWriteJpeg, YCbCrJpegPageReadsBackCloseToTheImage) {
  auto image = Photo();
  TIOParamsVals params(nullptr);
  params.TIFF_Compression = ioTIFF_JPEG;
  params.TIFF_PhotometInterpret = ioTIFF_YCBCR;
  params.TIFF_JPEGQuality = 90;
  const Written w = Write(*image, params);
  ASSERT_FALSE(w.aborted);
  Peers peers;
  const std::string path = peers.Save(w.file);
  auto tags = TiffDump(path);
  EXPECT_EQ(tags[259], "SHORT 1<7>");
  EXPECT_EQ(tags[262], "SHORT 1<6>");
  EXPECT_EQ(tags[258], "SHORT 3<8 8 8>");
  const auto dirs = Walk(w.file);
  ASSERT_EQ(dirs.size(), 1u);
  const uint32_t strip = dirs[0].Find(273)->value;
  ASSERT_LT(strip + 2u, w.file.size());
  EXPECT_EQ(w.file[strip], 0xFF);
  EXPECT_EQ(w.file[strip + 1], 0xD8);
  const Diff d = Compare(Magick(path), ToRgb(*image));
  EXPECT_LT(d.mean, 3.0);
  EXPECT_LT(d.max, 40);
}

// ===========================================================================
// Append

Bytes PageFile(std::initializer_list<TRGB> colours) {
  Bytes file;
  for (const TRGB& c : colours) {
    auto image = Solid(c);
    TIOParamsVals params(nullptr);
    params.TIFF_ImageIndex = 1000;
    const Written w = Write(*image, params, !file.empty(), file);
    EXPECT_FALSE(w.aborted);
    file = w.file;
  }
  return file;
}

const TRGB kRed{0, 0, 255}, kGreen{0, 255, 0}, kBlue{255, 0, 0}, kGrey{128, 128, 128};

TEST(TiffWriteAppend, PagesGoBeforeTheIndexOrAfterTheLast) {
  struct Case {
    Integer index;
    std::vector<TRGB> order;
  };
  const Case cases[] = {
      {0, {kGrey, kRed, kGreen, kBlue}},  {1, {kRed, kGrey, kGreen, kBlue}},
      {2, {kRed, kGreen, kGrey, kBlue}},  {3, {kRed, kGreen, kBlue, kGrey}},
      {77, {kRed, kGreen, kBlue, kGrey}},
  };
  const Bytes three = PageFile({kRed, kGreen, kBlue});
  ASSERT_EQ(Walk(three).size(), 3u);
  Peers peers;
  for (const Case& c : cases) {
    auto image = Solid(kGrey);
    TIOParamsVals params(nullptr);
    params.TIFF_ImageIndex = c.index;
    const Written w = Write(*image, params, true, three);
    ASSERT_FALSE(w.aborted);
    EXPECT_EQ(w.result, 4) << c.index;
    EXPECT_EQ(Bytes(w.file.begin(), w.file.begin() + 4), Bytes(three.begin(), three.begin() + 4));
    EXPECT_EQ(Walk(w.file).size(), 4u);
    const std::string path = peers.Save(w.file);
    const std::string info = TiffInfo(path);
    EXPECT_EQ(info.find("rror"), std::string::npos) << info;
    for (int page = 0; page < 4; ++page) {
      const Bytes rgb = Magick(path, page);
      ASSERT_EQ(rgb.size(), 8u * 6u * 3u);
      const TRGB want = c.order[static_cast<size_t>(page)];
      EXPECT_EQ(rgb[0], want.r) << "index " << c.index << " page " << page;
      EXPECT_EQ(rgb[1], want.g);
      EXPECT_EQ(rgb[2], want.b);
    }
  }
}

TEST(TiffWriteAppend, StreamsThatHoldNoLittleEndianTiffAreLeftAlone) {
  Bytes bigEndian = {'M', 'M', 0, 42, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0};
  const Bytes cases[] = {Bytes{}, Bytes{'I'}, bigEndian, Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0}};
  for (const Bytes& initial : cases) {
    auto image = Solid(kRed);
    TIOParamsVals params(nullptr);
    params.BitsPerSample = 4;
    params.SamplesPerPixel = 1;
    const Written w = Write(*image, params, true, initial);
    EXPECT_TRUE(w.aborted);
    EXPECT_EQ(w.result, 0);
    EXPECT_EQ(w.file, initial);
    EXPECT_EQ(params.TIFF_PhotometInterpret, ioTIFF_RGB) << "the parameters stay as they were";
    EXPECT_EQ(params.ColorMapCount, 0);
  }
}

TEST(TiffWriteAppend, LoopingOrBrokenChainsEndWithoutWriting) {
  const Bytes two = PageFile({kRed, kGreen});
  const auto dirs = Walk(two);
  ASSERT_EQ(dirs.size(), 2u);
  const size_t nextOfSecond = dirs[1].offset + 2 + 12 * dirs[1].entries.size();
  const size_t nextOfFirst = dirs[0].offset + 2 + 12 * dirs[0].entries.size();
  struct Case {
    const char* name;
    size_t at;
    uint32_t value;
  };
  const Case cases[] = {
      {"second points back to the first", nextOfSecond, dirs[0].offset},
      {"second points to itself", nextOfSecond, dirs[1].offset},
      {"first points to itself", nextOfFirst, dirs[0].offset},
      {"beyond the stream", nextOfSecond, 0x7FFFFFF0},
      {"directory cut short", nextOfSecond, static_cast<uint32_t>(two.size() - 3)},
  };
  for (const Case& c : cases) {
    Bytes file = two;
    SetLe32(file, c.at, c.value);
    for (Integer index : {0, 1, 5}) {
      auto image = Solid(kBlue);
      TIOParamsVals params(nullptr);
      params.TIFF_ImageIndex = index;
      const Written w = Write(*image, params, true, file);
      EXPECT_TRUE(w.aborted) << c.name;
      EXPECT_EQ(w.result, 0) << c.name;
      EXPECT_EQ(w.file, file) << c.name;
    }
  }
}

// ===========================================================================
// Short writes

// A memory stream that takes only `budget` bytes in all, and refuses the whole of
// write call number `refusedCall` (counted from 1; 0 refuses none).
class TRefusingStream : public TMemoryStream {
 public:
  explicit TRefusingStream(Int64 budget, int refusedCall = 0)
      : budget_(budget), refusedCall_(refusedCall) {}
  using TMemoryStream::Seek;
  Integer Write(const void* buffer, Integer count) override {
    if (++calls_ == refusedCall_) return 0;
    const Integer take = static_cast<Integer>(std::min<Int64>(count, std::max<Int64>(budget_, 0)));
    budget_ -= take;
    return take > 0 ? TMemoryStream::Write(buffer, take) : 0;
  }
  int Calls() const { return calls_; }

 private:
  Int64 budget_;
  int refusedCall_;
  int calls_ = 0;
};

struct RefuseCase {
  const char* name;
  TIOTIFFCompression compression;
  Integer bps, spp;
  bool hook;
};

// A fresh set of parameters for each write of a case.
std::unique_ptr<TIOParamsVals> ParamsFor(const RefuseCase& c) {
  auto p = std::make_unique<TIOParamsVals>(nullptr);
  p->BitsPerSample = c.bps;
  p->SamplesPerPixel = c.spp;
  p->TIFF_Compression = c.compression;
  p->TIFF_LZWCompFunc = c.hook ? TestLzwEncode : nullptr;
  return p;
}

// Writes one page into s; answers the writer's result, the abort flag in aborted.
Integer WriteRefused(TRefusingStream& s, TIEBitmap& image, TIOParamsVals& params, bool& aborted) {
  aborted = false;
  TProgressRec progress;
  progress.Aborting = &aborted;
  return TIFFWriteStream(&s, false, &image, params, progress);
}

TEST(TiffWriteShortWrites, ARefusedByteAnywhereAbortsWithNoDirectory) {
  const RefuseCase cases[] = {
      {"raw", ioTIFF_UNCOMPRESSED, 8, 3, false},
      {"palette", ioTIFF_UNCOMPRESSED, 4, 1, false},
      {"packbits", ioTIFF_PACKBITS, 8, 3, false},
      {"lzw", ioTIFF_LZW, 8, 3, true},
  };
  for (const RefuseCase& c : cases) {
    auto image = Colour();
    const auto make = [&] {
      auto p = ParamsFor(c);
      p->TIFF_DocumentName = "name";
      return p;
    };
    auto full = make();
    const Written whole = Write(*image, *full);
    ASSERT_FALSE(whole.aborted);
    const auto total = static_cast<Int64>(whole.file.size());
    for (Int64 budget :
         {Int64{0}, Int64{3}, Int64{12}, Int64{30}, total / 2, total - 40, total - 9, total - 1}) {
      TRefusingStream s(budget);
      bool aborted = false;
      const Integer result = WriteRefused(s, *image, *make(), aborted);
      EXPECT_TRUE(aborted) << c.name << " " << budget;
      EXPECT_EQ(result, 0) << c.name << " " << budget;
      const Bytes f = StreamBytes(s);
      EXPECT_LE(static_cast<Int64>(f.size()), budget);
      EXPECT_TRUE(Walk(f).empty()) << c.name << " " << budget;
      if (f.size() >= 2) {
        EXPECT_NE(Le16(f, 0), 0x4949) << "no header links a directory";
      }
    }
  }
}

// A refused write inside the LZW hook's data is noticed although the hook itself
// cannot report it; the writes after it go through.
TEST(TiffWriteShortWrites, EachRefusedWriteCallAbortsWithNoDirectory) {
  const RefuseCase cases[] = {
      {"raw", ioTIFF_UNCOMPRESSED, 8, 3, false},
      {"lzw", ioTIFF_LZW, 8, 3, true},
      {"fax", ioTIFF_G4FAX, 1, 1, false},
  };
  for (const RefuseCase& c : cases) {
    auto image = c.bps == 1 ? BilevelImage() : Smooth(9, 5);
    TRefusingStream counting(Int64{1} << 30);
    {
      auto params = ParamsFor(c);
      TProgressRec progress;
      ASSERT_EQ(TIFFWriteStream(&counting, false, image.get(), *params, progress), 1);
    }
    const int calls = counting.Calls();
    ASSERT_GT(calls, 3);
    for (int refused = 1; refused <= calls; ++refused) {
      TRefusingStream s(Int64{1} << 30, refused);
      bool aborted = false;
      const Integer result = WriteRefused(s, *image, *ParamsFor(c), aborted);
      EXPECT_TRUE(aborted) << c.name << " call " << refused;
      EXPECT_EQ(result, 0) << c.name << " call " << refused;
      const Bytes f = StreamBytes(s);
      EXPECT_TRUE(Walk(f).empty()) << c.name << " call " << refused;
    }
  }
}

TEST(TiffWriteShortWrites, AFailedAppendLeavesTheChainAsItWas) {
  const Bytes two = PageFile({kRed, kGreen});
  for (Int64 extra : {Int64{0}, Int64{50}, Int64{150}, Int64{300}}) {
    // The stream holds the file and takes `extra` bytes more.
    TRefusingStream target(static_cast<Int64>(two.size()) + extra);
    target.Write(two.data(), static_cast<Integer>(two.size()));
    target.SetPosition(0);
    auto image = Solid(kBlue);
    TIOParamsVals params(nullptr);
    params.TIFF_ImageIndex = 0;
    bool aborted = false;
    TProgressRec progress;
    progress.Aborting = &aborted;
    const Integer result = TIFFWriteStream(&target, true, image.get(), params, progress);
    EXPECT_TRUE(aborted) << extra;
    EXPECT_EQ(result, 0);
    const Bytes f = StreamBytes(target);
    EXPECT_EQ(Bytes(f.begin(), f.begin() + static_cast<std::ptrdiff_t>(two.size())), two) << extra;
    EXPECT_EQ(Walk(f).size(), 2u);
  }
}

// ===========================================================================
// Read back with our own reader

struct ReadBack {
  bool aborted = false;
  Integer pages = 0;
  std::unique_ptr<TIOParamsVals> params = std::make_unique<TIOParamsVals>(nullptr);
  TIEBitmap bitmap;
};

std::unique_ptr<ReadBack> ReadOurs(const Bytes& file, Integer index = 0) {
  auto r = std::make_unique<ReadBack>();
  TMemoryStream s;
  s.Write(file.data(), static_cast<Integer>(file.size()));
  s.SetPosition(0);
  TProgressRec progress;
  progress.Aborting = &r->aborted;
  std::unique_ptr<TIEMask> mask;
  r->params->TIFF_ImageIndex = index;
  TIFFReadStream(&r->bitmap, &s, r->pages, r->params.get(), progress, false, mask, false, true);
  return r;
}

TEST(TiffWriteReadBack, OurReaderGetsThePixelsAndTextsBack) {
  struct Case {
    const char* name;
    std::unique_ptr<TIEBitmap> (*image)();
    Integer bps, spp;
    TIOTIFFCompression compression;
  };
  const Case cases[] = {
      {"rgb", Colour, 8, 3, ioTIFF_UNCOMPRESSED},
      {"rgb packbits", Photo, 8, 3, ioTIFF_PACKBITS},
      {"palette 4 bits", Sixteen, 4, 1, ioTIFF_UNCOMPRESSED},
      {"palette 8 bits packbits", TwoHundred, 8, 1, ioTIFF_PACKBITS},
      {"grey ramp", Grey, 8, 1, ioTIFF_UNCOMPRESSED},
      {"1 bit", BilevelImage, 1, 1, ioTIFF_UNCOMPRESSED},
      {"1 bit group 4", BilevelImage, 1, 1, ioTIFF_G4FAX},
  };
  for (const Case& c : cases) {
    auto image = c.image();
    TIOParamsVals params(nullptr);
    params.BitsPerSample = c.bps;
    params.SamplesPerPixel = c.spp;
    params.TIFF_Compression = c.compression;
    params.TIFF_DocumentName = "The document";
    params.TIFF_PageName = "First page";
    params.TIFF_ImageDescription = "abc";
    const Written w = Write(*image, params);
    ASSERT_FALSE(w.aborted) << c.name;
    auto r = ReadOurs(w.file);
    EXPECT_FALSE(r->aborted) << c.name;
    EXPECT_EQ(r->pages, 1) << c.name;
    EXPECT_EQ(ToRgb(r->bitmap), ToRgb(*image)) << c.name;
    EXPECT_EQ(r->params->TIFF_DocumentName, "The document") << c.name;
    EXPECT_EQ(r->params->TIFF_PageName, "First page") << c.name;
    EXPECT_EQ(r->params->TIFF_ImageDescription, "abc") << c.name;
  }
}

TEST(TiffWriteReadBack, OurReaderCountsAndOrdersAppendedPages) {
  const Bytes three = PageFile({kRed, kGreen, kBlue});
  auto image = Solid(kGrey);
  TIOParamsVals params(nullptr);
  params.TIFF_ImageIndex = 0;
  const Written w = Write(*image, params, true, three);
  ASSERT_EQ(w.result, 4);
  const TRGB order[] = {kGrey, kRed, kGreen, kBlue};
  for (Integer page = 0; page < 4; ++page) {
    auto r = ReadOurs(w.file, page);
    EXPECT_FALSE(r->aborted) << page;
    EXPECT_EQ(r->pages, 4);
    ASSERT_EQ(r->bitmap.GetWidth(), 8) << page;
    const Bytes rgb = ToRgb(r->bitmap);
    EXPECT_EQ(rgb[0], order[page].r) << page;
    EXPECT_EQ(rgb[1], order[page].g) << page;
    EXPECT_EQ(rgb[2], order[page].b) << page;
  }
}

}  // namespace
