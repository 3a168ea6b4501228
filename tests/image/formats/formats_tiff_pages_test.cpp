// TIFF page operations: multi-page files made by tiffcp in both byte orders, with
// strips and tiles, counted, split and joined; every page left must decode (by
// ImageMagick) to the pixels of the page it came from, and tiffinfo must list
// the pages. Hand-built files cover inline offsets, SHORT offsets that outgrow 16
// bits, EXIF sub-directories and damaged chains.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "image/formats/tiffilt.h"
#include "platform/rtl/Streams.h"
#include "tests/image/file_test_util.h"
#include "tests/image/tiff_builder.h"
#include "tests/support/Peers.h"

namespace {

using larktest::TiffBuilder;

const char kPython[] = "/usr/bin/python3";
const char kConvert[] = "convert-im6.q16";

using file_test::ReadFile;
using file_test::WriteFile;

std::unique_ptr<TMemoryStream> StreamOf(const std::string& bytes) {
  auto s = std::make_unique<TMemoryStream>();
  if (!bytes.empty()) s->WriteBuffer(bytes.data(), static_cast<Integer>(bytes.size()));
  s->Seek(0, soBeginning);
  return s;
}

std::string BytesOf(TMemoryStream& s) {
  return std::string(static_cast<const char*>(s.Memory()), static_cast<size_t>(s.GetSize()));
}

// What _ExtractTIFFImStream writes for page index of bytes.
std::string Extracted(const std::string& bytes, Integer index) {
  auto src = StreamOf(bytes);
  TMemoryStream dest;
  _ExtractTIFFImStream(src.get(), index, &dest);
  return BytesOf(dest);
}

// Page index of a file decoded by ImageMagick as binary PPM; empty on failure.
std::string PagePixels(const std::string& path, int index) {
  int code = -1;
  std::string out = larktest::RunCommand(
      {kConvert, path + "[" + std::to_string(index) + "]", "ppm:-"}, &code);
  return code == 0 ? out : std::string();
}

// The directories tiffinfo lists; -1 when it reports an error or a warning.
int TiffInfoPages(const std::string& path) {
  int code = -1;
  const std::string out = larktest::RunCommand({"/bin/sh", "-c", "tiffinfo '" + path + "' 2>&1"}, &code);
  if (code != 0 || out.find("Error") != std::string::npos ||
      out.find("Warning") != std::string::npos) {
    ADD_FAILURE() << out;
    return -1;
  }
  int pages = 0;
  for (size_t at = out.find("TIFF Directory at offset"); at != std::string::npos;
       at = out.find("TIFF Directory at offset", at + 1)) {
    ++pages;
  }
  return pages;
}

// Three different pages (RGB 37 x 23, grey 40 x 30, bilevel 33 x 50) written by
// Pillow as p0.tif, p1.tif, p2.tif in dir.
bool MakeSourcePages(const std::string& dir) {
  const char* script = R"(
import random, sys
from PIL import Image
r = random.Random(7)
for i, (w, h, m) in enumerate([(37, 23, 'RGB'), (40, 30, 'L'), (33, 50, '1')]):
    im = Image.new(m, (w, h))
    if m == 'RGB':
        im.putdata([(r.randrange(256), r.randrange(256), r.randrange(256)) for _ in range(w * h)])
    else:
        im.putdata([r.randrange(256) if m == 'L' else r.randrange(2) * 255 for _ in range(w * h)])
    im.save(sys.argv[1] + 'p%d.tif' % i)
)";
  int code = -1;
  larktest::RunCommand({kPython, "-c", script, dir}, &code);
  return code == 0;
}

// tiffcp with the layout options joining the named pages into out.
bool Join(const std::vector<std::string>& layout, const std::vector<std::string>& pages,
          const std::string& out) {
  std::vector<std::string> argv = {"tiffcp"};
  argv.insert(argv.end(), layout.begin(), layout.end());
  argv.insert(argv.end(), pages.begin(), pages.end());
  argv.push_back(out);
  int code = -1;
  larktest::RunCommand(argv, &code);
  return code == 0;
}

struct Layout {
  const char* name;
  std::vector<std::string> options;
};

// One strip per page (offsets inline), many strips (offsets out of line), tiles.
const std::vector<Layout> kLayouts = {
    {"little-endian single strip", {"-L", "-s", "-r", "100"}},
    {"big-endian strips of 3 rows, LZW", {"-B", "-s", "-r", "3", "-c", "lzw"}},
    {"little-endian 16x16 tiles", {"-L", "-t", "-w", "16", "-l", "16"}},
    {"big-endian 16x16 tiles, PackBits", {"-B", "-t", "-w", "16", "-l", "16", "-c", "packbits"}},
};

class TiffPages : public ::testing::Test {
 protected:
  void SetUp() override {
    if (larktest::RequireProgram("tiffcp").empty() || larktest::RequireProgram("tiffinfo").empty() ||
        larktest::RequireProgram(kConvert).empty()) {
      GTEST_SKIP();
    }
    ASSERT_TRUE(MakeSourcePages(dir_.Path()));
  }

  std::string Path(const std::string& name) const { return dir_.Path() + name; }

  // The three pages joined with the layout; the pixels of each page in original_.
  std::string MakeMultiPage(const Layout& layout, const std::string& name) {
    const std::string path = Path(name);
    EXPECT_TRUE(Join(layout.options, {Path("p0.tif"), Path("p1.tif"), Path("p2.tif")}, path));
    original_.clear();
    for (int i = 0; i < 3; ++i) {
      original_.push_back(PagePixels(path, i));
      EXPECT_FALSE(original_.back().empty());
    }
    return path;
  }

  // The file holds the original pages listed, in that order.
  void ExpectPages(const std::string& path, const std::vector<int>& pages) {
    EXPECT_EQ(TiffInfoPages(path), static_cast<int>(pages.size()));
    for (size_t i = 0; i < pages.size(); ++i) {
      EXPECT_EQ(PagePixels(path, static_cast<int>(i)), original_[static_cast<size_t>(pages[i])])
          << "page " << i << " should be original page " << pages[i];
    }
  }

  larktest::TempDir dir_;
  std::vector<std::string> original_;
};

TEST_F(TiffPages, EnumCountsThePagesOfEveryLayout) {
  for (const Layout& layout : kLayouts) {
    SCOPED_TRACE(layout.name);
    const std::string bytes = ReadFile(MakeMultiPage(layout, "m.tif"));
    auto s = StreamOf(bytes);
    EXPECT_EQ(_EnumTIFFImStream(s.get()), 3);
    // Offsets count from the stream's position: a TIFF behind a prefix.
    auto embedded = StreamOf("0123456789AB" + bytes);
    embedded->Seek(12, soBeginning);
    EXPECT_EQ(_EnumTIFFImStream(embedded.get()), 3);
    EXPECT_EQ(embedded->GetPosition(), 12);
  }
  auto notTiff = StreamOf("GIF89a and more bytes");
  EXPECT_EQ(_EnumTIFFImStream(notTiff.get()), 0);
}

TEST_F(TiffPages, DeleteLeavesTheOtherPagesIntact) {
  for (const Layout& layout : kLayouts) {
    SCOPED_TRACE(layout.name);
    const std::string bytes = ReadFile(MakeMultiPage(layout, "m.tif"));
    for (int index : {0, 1, 2}) {
      SCOPED_TRACE("delete page " + std::to_string(index));
      auto s = StreamOf(bytes);
      EXPECT_EQ(_DeleteTIFFImStream(s.get(), index), 3);
      const std::string out = Path("d" + std::to_string(index) + ".tif");
      WriteFile(out, BytesOf(*s));
      std::vector<int> left;
      for (int i = 0; i < 3; ++i) {
        if (i != index) left.push_back(i);
      }
      ExpectPages(out, left);
    }
  }
}

TEST_F(TiffPages, DeleteOnAFileStreamTruncatesAndRewritesInPlace) {
  const std::string path = MakeMultiPage(kLayouts[1], "m.tif");
  {
    TFileStream f(path, fmOpenReadWrite);
    EXPECT_EQ(_DeleteTIFFImStream(&f, 1), 3);
  }
  ExpectPages(path, {0, 2});
}

TEST_F(TiffPages, DeleteBeyondThePagesRewritesThemAll) {
  const std::string bytes = ReadFile(MakeMultiPage(kLayouts[2], "m.tif"));
  auto s = StreamOf(bytes);
  EXPECT_EQ(_DeleteTIFFImStream(s.get(), 5), 3);
  WriteFile(Path("all.tif"), BytesOf(*s));
  ExpectPages(Path("all.tif"), {0, 1, 2});
}

TEST_F(TiffPages, ExtractGivesEachPageAsAOnePageFile) {
  for (const Layout& layout : kLayouts) {
    SCOPED_TRACE(layout.name);
    const std::string bytes = ReadFile(MakeMultiPage(layout, "m.tif"));
    for (int index : {0, 1, 2}) {
      SCOPED_TRACE("extract page " + std::to_string(index));
      const std::string out = Path("e" + std::to_string(index) + ".tif");
      WriteFile(out, Extracted(bytes, index));
      ExpectPages(out, {index});
    }
  }
}

TEST_F(TiffPages, ExtractOfTheOnlyPageReadsTheSame) {
  MakeMultiPage(kLayouts[3], "m.tif");  // the reference pixels
  ASSERT_TRUE(Join(kLayouts[3].options, {Path("p1.tif")}, Path("one.tif")));
  WriteFile(Path("e.tif"), Extracted(ReadFile(Path("one.tif")), 0));
  ExpectPages(Path("e.tif"), {1});
}

TEST_F(TiffPages, ExtractBeyondThePagesGivesATiffWithoutPages) {
  EXPECT_EQ(Extracted(ReadFile(MakeMultiPage(kLayouts[0], "m.tif")), 3), std::string("II*\0\0\0\0\0", 8));
}

TEST_F(TiffPages, InsertPlacesEveryPageBeforeTheIndex) {
  for (const Layout& layout : kLayouts) {
    SCOPED_TRACE(layout.name);
    MakeMultiPage(layout, "m.tif");  // the reference pixels
    ASSERT_TRUE(Join(layout.options, {Path("p0.tif"), Path("p1.tif")}, Path("target.tif")));
    ASSERT_TRUE(Join(layout.options, {Path("p2.tif")}, Path("one.tif")));
    const std::string target = ReadFile(Path("target.tif"));
    const std::string one = ReadFile(Path("one.tif"));
    const std::vector<std::vector<int>> expected = {{2, 0, 1}, {0, 2, 1}, {0, 1, 2}, {0, 1}};
    for (int index = 0; index < 4; ++index) {
      SCOPED_TRACE("insert at " + std::to_string(index));
      auto t = StreamOf(target), p = StreamOf(one);
      TMemoryStream dest;
      EXPECT_EQ(_InsertTIFFImStream(t.get(), p.get(), index, &dest),
                static_cast<Integer>(expected[static_cast<size_t>(index)].size()));
      const std::string out = Path("i" + std::to_string(index) + ".tif");
      WriteFile(out, BytesOf(dest));
      ExpectPages(out, expected[static_cast<size_t>(index)]);
    }
  }
}

TEST_F(TiffPages, InsertTakesEveryPageOfAMultiPageFile) {
  const Layout& layout = kLayouts[3];
  MakeMultiPage(layout, "m.tif");
  ASSERT_TRUE(Join(layout.options, {Path("p0.tif")}, Path("target.tif")));
  ASSERT_TRUE(Join(layout.options, {Path("p1.tif"), Path("p2.tif")}, Path("two.tif")));
  auto t = StreamOf(ReadFile(Path("target.tif"))), p = StreamOf(ReadFile(Path("two.tif")));
  TMemoryStream dest;
  EXPECT_EQ(_InsertTIFFImStream(t.get(), p.get(), 0, &dest), 3);
  WriteFile(Path("out.tif"), BytesOf(dest));
  ExpectPages(Path("out.tif"), {1, 2, 0});
}

TEST_F(TiffPages, InsertRefusesPagesOfTheOtherByteOrder) {
  ASSERT_TRUE(Join({"-L"}, {Path("p0.tif")}, Path("le.tif")));
  ASSERT_TRUE(Join({"-B"}, {Path("p1.tif")}, Path("be.tif")));
  auto t = StreamOf(ReadFile(Path("le.tif"))), p = StreamOf(ReadFile(Path("be.tif")));
  TMemoryStream dest;
  EXPECT_EQ(_InsertTIFFImStream(t.get(), p.get(), 0, &dest), 0);
  EXPECT_EQ(dest.GetSize(), 0);
}

// ---------------------------------------------------------------------------
// Hand-built files

std::string Pattern(size_t n, int seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + static_cast<size_t>(seed) * 31) & 0xFF);
  return s;
}

// The entries of the first directory of a file: tag -> (type, count, value field).
struct DumpEntry {
  uint16_t type;
  uint32_t count;
  uint32_t value;
};
std::map<uint16_t, DumpEntry> FirstDirectory(const std::string& f) {
  const bool intel = f[0] == 'I';
  auto u = [&](size_t at, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) {
      const uint32_t b = static_cast<uint8_t>(f.at(at + static_cast<size_t>(i)));
      v |= intel ? b << (8 * i) : b << (8 * (n - 1 - i));
    }
    return v;
  };
  std::map<uint16_t, DumpEntry> entries;
  const size_t dir = u(4, 4);
  for (uint32_t i = 0, n = u(dir, 2); i < n; ++i) {
    const size_t e = dir + 2 + i * 12;
    entries[static_cast<uint16_t>(u(e, 2))] = {static_cast<uint16_t>(u(e + 2, 2)), u(e + 4, 4), u(e + 8, 4)};
  }
  return entries;
}

// The grey pixels ImageMagick decodes from page index of the bytes.
std::string GrayPixels(const std::string& dir, const std::string& bytes, int index, size_t count) {
  WriteFile(dir + "g.tif", bytes);
  int code = -1;
  const std::string pgm = larktest::RunCommand(
      {kConvert, dir + "g.tif[" + std::to_string(index) + "]", "-depth", "8", "pgm:-"}, &code);
  return code == 0 && pgm.size() >= count ? pgm.substr(pgm.size() - count) : std::string();
}

TEST(TiffPagesHandBuilt, InlineStripOffsetStaysInlineWithItsNewOffset) {
  larktest::TempDir dir;
  if (larktest::RequireProgram(kConvert).empty()) return;
  for (bool intel : {true, false}) {
    SCOPED_TRACE(intel ? "II" : "MM");
    TiffBuilder b(intel);
    const std::string pixels0 = Pattern(6 * 5, 1), pixels1 = Pattern(9 * 4, 2);
    b.GreyPage(6, 5, pixels0, 5);
    b.EndPage();
    b.GreyPage(9, 4, pixels1, 4);
    b.EndPage();
    const std::string out = Extracted(b.Build(), 1);
    const auto entries = FirstDirectory(out);
    ASSERT_EQ(entries.count(273), 1u);
    EXPECT_EQ(entries.at(273).type, 4);
    EXPECT_EQ(entries.at(273).count, 1u);
    ASSERT_LE(entries.at(273).value + pixels1.size(), out.size());
    EXPECT_EQ(out.substr(entries.at(273).value, pixels1.size()), pixels1);
    EXPECT_EQ(GrayPixels(dir.Path(), out, 0, pixels1.size()), pixels1);
  }
}

TEST(TiffPagesHandBuilt, ShortOffsetsBecomeLongWhenTheyOutgrowSixteenBits) {
  larktest::TempDir dir;
  if (larktest::RequireProgram(kConvert).empty()) return;
  TiffBuilder b(false);
  const std::string big = Pattern(300 * 250, 3);  // 75000 bytes ahead of the pages
  b.GreyPage(300, 250, big, 250);
  b.EndPage();
  const std::string target = b.Build();
  // Two strips with SHORT offsets (inline pair) in the page to insert.
  TiffBuilder p2(false);
  p2.GreyPage(8, 6, Pattern(48, 4), 3, true);
  p2.EndPage();
  const std::string pages = p2.Build();
  ASSERT_EQ(FirstDirectory(pages).at(273).type, 3);
  auto t = StreamOf(target), p = StreamOf(pages);
  TMemoryStream dest;
  EXPECT_EQ(_InsertTIFFImStream(t.get(), p.get(), 1, &dest), 2);
  const std::string out = BytesOf(dest);
  EXPECT_EQ(GrayPixels(dir.Path(), out, 0, big.size()), big);
  EXPECT_EQ(GrayPixels(dir.Path(), out, 1, 48), Pattern(48, 4));
}

TEST(TiffPagesHandBuilt, ExifSubDirectoryIsCopiedWithThePage) {
  larktest::TempDir dir;
  TiffBuilder b(true);
  b.GreyPage(4, 4, Pattern(16, 5), 4);
  b.EndPage();
  b.GreyPage(5, 3, Pattern(15, 6), 3);
  b.PageOffset(34665, 2);
  b.Ascii(271, std::string("Lark Camera", 12));
  b.Long(288, {8});  // free space of the source file
  b.Long(289, {2});
  b.EndPage();
  b.Ascii(36867, std::string("2024:01:02 03:04:05", 20));
  b.Rational(37386, {{35, 10}});
  b.EndPage(false);
  const std::string file = b.Build();
  const char* check = R"(
import sys
from PIL import Image
im = Image.open(sys.argv[1])
e = im.getexif()
x = e.get_ifd(0x8769)
print(e.get(271), x.get(36867), float(x.get(37386)), 288 in e, 289 in e, im.size)
)";
  for (int op = 0; op < 2; ++op) {
    SCOPED_TRACE(op == 0 ? "extract" : "delete");
    std::string out;
    if (op == 0) {
      out = Extracted(file, 1);
    } else {
      auto src = StreamOf(file);
      EXPECT_EQ(_DeleteTIFFImStream(src.get(), 0), 2);
      out = BytesOf(*src);
    }
    WriteFile(dir.Path() + "x.tif", out);
    EXPECT_EQ(larktest::RunCommand({kPython, "-c", check, dir.Path() + "x.tif"}),
              "Lark Camera 2024:01:02 03:04:05 3.5 False False (5, 3)\n");
  }
}

TEST(TiffPagesHandBuilt, InterchangeJpegIsCopiedAndAnOffsetWithoutLengthDropped) {
  for (bool withLength : {true, false}) {
    SCOPED_TRACE(withLength ? "with length" : "without length");
    TiffBuilder b(false);
    b.GreyPage(3, 3, Pattern(9, 8), 3);
    b.EndPage();
    b.GreyPage(4, 2, Pattern(8, 9), 2);
    const std::string jpeg = "\xFF\xD8 stands for a JPEG stream \xFF\xD9";
    b.Blob(513, jpeg);
    if (withLength) b.Long(514, {static_cast<uint32_t>(jpeg.size())});
    b.EndPage();
    const std::string out = Extracted(b.Build(), 1);
    const auto entries = FirstDirectory(out);
    ASSERT_EQ(entries.count(273), 1u);
    EXPECT_EQ(out.substr(entries.at(273).value, 8), Pattern(8, 9));
    ASSERT_EQ(entries.count(513), withLength ? 1u : 0u);
    if (withLength) {
      EXPECT_EQ(out.substr(entries.at(513).value, jpeg.size()), jpeg);
    }
  }
}

// Damaged files: each ends quickly, counts what can be counted, and a refused
// rewrite leaves every stream as it was.
struct Damage {
  const char* name;
  void (*apply)(const TiffBuilder& b, std::string& f);
  Integer pages;        // what _EnumTIFFImStream answers
  bool rewritable;      // delete/extract/insert still work on the pages counted
};

const Damage kDamages[] = {
    {"second directory links back to the first",
     [](const TiffBuilder& b, std::string& f) { b.Patch32(f, b.NextAt(1), b.DirAt(0)); }, 2, true},
    {"directory links to itself",
     [](const TiffBuilder& b, std::string& f) { b.Patch32(f, b.NextAt(0), b.DirAt(0)); }, 1, true},
    {"next directory past the end",
     [](const TiffBuilder& b, std::string& f) { b.Patch32(f, b.NextAt(1), 0xFFFFFFF0u); }, 2, true},
    {"first directory past the end",
     [](const TiffBuilder& b, std::string& f) { b.Patch32(f, 4, static_cast<uint32_t>(f.size())); }, 0, true},
    {"entry count beyond the stream",
     [](const TiffBuilder& b, std::string& f) { b.Patch16(f, b.DirAt(1), 0xFFFF); }, 1, true},
    {"huge strip count",
     [](const TiffBuilder& b, std::string& f) {
       b.Patch32(f, b.EntryAt(1, 273) + 4, 0x40000000u);
       b.Patch32(f, b.EntryAt(1, 279) + 4, 0x40000000u);
     }, 2, false},
    {"strip offset past the end",
     [](const TiffBuilder& b, std::string& f) { b.Patch32(f, b.EntryAt(1, 273) + 8, 0x7FFFFFF0u); }, 2, false},
    {"huge byte count",
     [](const TiffBuilder& b, std::string& f) { b.Patch32(f, b.EntryAt(1, 279) + 8, 0xFFFFFFFFu); }, 2, false},
    {"byte counts missing",
     [](const TiffBuilder& b, std::string& f) { b.Patch16(f, b.EntryAt(1, 279), 65000); }, 2, false},
    {"value offset past the end",
     [](const TiffBuilder& b, std::string& f) { b.Patch32(f, b.EntryAt(1, 271) + 8, 0xFFFFFF00u); }, 2, false},
    {"huge value count",
     [](const TiffBuilder& b, std::string& f) { b.Patch32(f, b.EntryAt(1, 271) + 4, 0xFFFFFFFFu); }, 2, false},
};

TEST(TiffPagesHandBuilt, DamagedFilesEndCleanlyAndRefusedRewritesChangeNothing) {
  for (bool intel : {true, false}) {
    for (const Damage& d : kDamages) {
      SCOPED_TRACE(std::string(intel ? "II: " : "MM: ") + d.name);
      TiffBuilder b(intel);
      b.GreyPage(5, 4, Pattern(20, 1), 4);
      b.EndPage();
      b.GreyPage(7, 6, Pattern(42, 2), 2);
      b.Ascii(271, std::string("Lark Camera", 12));
      b.EndPage();
      std::string file = b.Build();
      d.apply(b, file);
      const auto start = std::chrono::steady_clock::now();

      auto s = StreamOf(file);
      EXPECT_EQ(_EnumTIFFImStream(s.get()), d.pages);

      auto del = StreamOf(file);
      const Integer deleted = _DeleteTIFFImStream(del.get(), 0);
      if (d.rewritable) {
        EXPECT_EQ(deleted, d.pages);
        del->Seek(0, soBeginning);
        EXPECT_EQ(_EnumTIFFImStream(del.get()), d.pages > 0 ? d.pages - 1 : 0);
      } else {
        EXPECT_EQ(deleted, 0);
        EXPECT_EQ(BytesOf(*del), file);
      }

      auto src = StreamOf(file);
      TMemoryStream dest;
      _ExtractTIFFImStream(src.get(), 1, &dest);
      dest.Seek(0, soBeginning);
      if (d.rewritable) {
        EXPECT_EQ(_EnumTIFFImStream(&dest), d.pages > 1 ? 1 : 0);
      } else {
        EXPECT_EQ(dest.GetSize(), 0);
      }

      auto target = StreamOf(file), pages = StreamOf(file);
      TMemoryStream joined;
      const Integer inserted = _InsertTIFFImStream(target.get(), pages.get(), 0, &joined);
      if (d.rewritable) {
        EXPECT_EQ(inserted, 2 * d.pages);
        joined.Seek(0, soBeginning);
        EXPECT_EQ(_EnumTIFFImStream(&joined), 2 * d.pages);
      } else {
        EXPECT_EQ(inserted, 0);
        EXPECT_EQ(joined.GetSize(), 0);
      }
      EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    }
  }
}

TEST(TiffPagesHandBuilt, DeleteRefusesWhatIsNoTiff) {
  const std::string junk = "GIF89a\x01\x00\x01\x00 not a TIFF at all";
  auto s = StreamOf(junk);
  EXPECT_EQ(_DeleteTIFFImStream(s.get(), 0), 0);
  EXPECT_EQ(BytesOf(*s), junk);
  auto src = StreamOf(junk);
  TMemoryStream dest;
  _ExtractTIFFImStream(src.get(), 0, &dest);
  EXPECT_EQ(dest.GetSize(), 0);
  auto t = StreamOf(junk), p = StreamOf(junk);
  EXPECT_EQ(_InsertTIFFImStream(t.get(), p.get(), 0, &dest), 0);
  EXPECT_EQ(dest.GetSize(), 0);
}

}  // namespace
