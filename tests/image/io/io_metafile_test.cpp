// Metafiles rendered into the working store: the sizing rule, pixels against
// libwmf's wmf2gd (WMF) and emf2svg-conv with rsvg-convert (EMF), merging over an
// image, and hostile files.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>

#include "image/io/dadiravio.h"
#include "platform/vcl/Metafile.h"
#include "tests/image/io/metafile_builder.h"
#include "tests/support/Peers.h"

using larktest::RequireProgram;
using larktest::RunCommand;
using mf_test::Emf;
using mf_test::Wmf;

namespace {

class MetafileTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_.Path() + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  larktest::TempDir dir_;
};

// A placeable WMF of w x h pixels (96 units per inch) with a red rectangle.
std::string SizedWmf(int w, int h) {
  return Wmf().WindowOrg(0, 0).WindowExt(w, h).Brush(0x0000FF).Select(0).Rect(0, 0, w / 2, h / 2).Eof()
      .Placeable(0, 0, w, h, 96);
}

TEST_F(MetafileTest, SizingTable) {
  struct Case {
    int fileW, fileH, width, height;
    int outW, outH;  // 0 x 0: unchanged
    bool aborting;
  } cases[] = {
      {1000, 500, 400, -1, 400, 200, false},
      {1000, 500, -1, 100, 200, 100, false},
      {1000, 500, -1, -1, 1000, 500, false},
      {1000, 500, 300, 300, 300, 300, false},
      {6000, 3000, -1, -1, 2800, 1400, false},
      {3000, 6000, -1, -1, 1400, 2800, false},
      {2800, 100, -1, -1, 2800, 100, false},
      {1000, 500, 5000, 10, 2800, 1400, false},  // the cap keeps the file's aspect
      {1000, 500, 0, 100, 0, 0, false},          // nothing asked: nothing changes
      {1000, 500, 100, 0, 0, 0, false},
      {1000, 1, 100, -1, 0, 0, true},            // 100 x 0
      {0, 500, -1, 100, 0, 0, true},             // no width to scale by
      {500, 0, 100, -1, 0, 0, true},
      {0, 0, -1, -1, 0, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.fileW) + "x" + std::to_string(c.fileH) + " asked " + std::to_string(c.width) +
                 "x" + std::to_string(c.height));
    TDadirAvIO io(nullptr);
    io.GetIEBitmap()->Allocate(7, 5, ie24RGB);
    int finishes = 0;
    io.OnFinishWork = [&](TObject*) { ++finishes; };
    const std::string file = Write("s.wmf", SizedWmf(c.fileW, c.fileH));
    io.ImportMetafile(file, c.width, c.height);
    EXPECT_EQ(io.GetAborting(), c.aborting);
    EXPECT_EQ(finishes, 1);
    if (c.outW == 0) {
      EXPECT_EQ(io.GetIEBitmap()->GetWidth(), 7);
      EXPECT_EQ(io.GetIEBitmap()->GetHeight(), 5);
    } else {
      EXPECT_EQ(io.GetIEBitmap()->GetWidth(), c.outW);
      EXPECT_EQ(io.GetIEBitmap()->GetHeight(), c.outH);
      EXPECT_EQ(io.GetParams()->Width, c.outW);
      EXPECT_EQ(io.GetParams()->FileType, iofnWMF);
      EXPECT_EQ(io.GetParams()->BitsPerSample, 8);
      EXPECT_EQ(io.GetParams()->SamplesPerPixel, 3);
    }
  }
}

TEST_F(MetafileTest, HeadersGiveSizeAt96DpiAndKind) {
  TMetafile m;
  m.LoadFromFile(Write("p.wmf", Wmf().Eof().Placeable(0, 0, 1440, 720, 1440)));
  EXPECT_EQ(m.GetWidth(), 96);
  EXPECT_EQ(m.GetHeight(), 48);
  EXPECT_FALSE(m.GetEnhanced());
  m.LoadFromFile(Write("n.wmf", Wmf().WindowOrg(10, 10).WindowExt(320, 200).Eof().Plain()));
  EXPECT_EQ(m.GetWidth(), 320);
  EXPECT_EQ(m.GetHeight(), 200);
  m.LoadFromFile(Write("e.emf", Emf().Eof().File(0, 0, 12700, 6350)));
  EXPECT_TRUE(m.GetEnhanced());
  EXPECT_EQ(m.GetWidth(), 480);
  EXPECT_EQ(m.GetHeight(), 240);
  m.SetWidth(100);
  EXPECT_EQ(m.GetWidth(), 100);
  EXPECT_THROW(m.LoadFromFile(Write("x.wmf", "not a metafile at all")), EInvalidGraphic);
  EXPECT_EQ(m.GetHeight(), 240);  // the old picture stays
}

// The colour of a pixel of a store as 0xRRGGBB.
uint32_t At(TIEBitmap* b, int x, int y) {
  const TRGB c = b->GetPixels_ie24RGB(x, y);
  return (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b;
}

// The same pixel of a PNG, through ImageMagick.
uint32_t PngAt(const std::string& png, int x, int y) {
  const std::string out = RunCommand({RequireProgram("convert-im6.q16"), png, "-crop",
                                      "1x1+" + std::to_string(x) + "+" + std::to_string(y), "-depth", "8",
                                      "-format", "%[hex:p{0,0}]", "info:"});
  return static_cast<uint32_t>(std::stoul(out.substr(0, 6), nullptr, 16));
}

// Shapes well inside their edges are exact; the background stays Background.
TEST_F(MetafileTest, WmfAgainstWmf2gd) {
  const std::string file =
      Write("shapes.wmf", Wmf()
                              .WindowOrg(0, 0)
                              .WindowExt(400, 200)
                              .Pen(5, 0, 0)  // no outline
                              .Select(0)
                              .Brush(0x0000FF)  // red
                              .Select(1)
                              .Rect(20, 20, 180, 100)
                              .Brush(0x00FF00)  // green, in slot 2
                              .Select(2)
                              .Ellipse(200, 40, 380, 180)
                              .Delete(1)
                              .Brush(0xFF0000)  // blue, in the freed slot 1
                              .Select(1)
                              .Polygon({40, 190, 120, 120, 200, 190})
                              .Eof()
                              .Placeable(0, 0, 400, 200, 96));
  TDadirAvIO io(nullptr);
  io.SetReBackground(static_cast<TColor>(0xFFFFFF));
  io.ImportMetafile(file, -1, -1);
  ASSERT_FALSE(io.GetAborting());
  ASSERT_EQ(io.GetIEBitmap()->GetWidth(), 400);
  const std::string png = dir_.Path() + "shapes.png";
  // wmf2gd draws at 72 DPI unless asked for the size.
  int code = -1;
  const std::string log = RunCommand(
      {RequireProgram("wmf2gd"), "-t", "png", "--maxwidth=400", "--maxheight=200", "--maxpect", "-o", png, file}, &code);
  ASSERT_EQ(code, 0) << log;
  ASSERT_EQ(RunCommand({RequireProgram("identify-im6.q16"), "-format", "%wx%h", png}), "400x200");
  const struct {
    int x, y;
    uint32_t colour;
    bool peer;  // wmf2gd draws it too
  } probes[] = {{100, 60, 0xFF0000, true},  {120, 170, 0x0000FF, true}, {390, 5, 0xFFFFFF, true},
                {290, 110, 0x00FF00, false}, {5, 5, 0xFFFFFF, false}};
  for (const auto& p : probes) {
    EXPECT_EQ(At(io.GetIEBitmap(), p.x, p.y), p.colour) << p.x << "," << p.y;
    // libwmf's GD output leaves the ellipse out and draws the rectangle from the
    // window's corner, so only the shapes it renders as drawn are compared.
    if (p.peer) {
      EXPECT_EQ(PngAt(png, p.x, p.y), p.colour) << "wmf2gd at " << p.x << "," << p.y;
    }
  }
}

// The same drawing written by a second, independent writer: a Python script packing
// the EMF records with struct (the header of 88 bytes, a null pen, two solid brushes,
// a rectangle, an ellipse, a 16-bit polygon, the end record).
const char kPythonEmfWriter[] = R"(import struct, sys
recs = []
def rec(kind, payload):
    recs.append(struct.pack('<II', kind, 8 + len(payload)) + payload)
rec(38, struct.pack('<IIiiI', 1, 5, 0, 0, 0))          # CREATEPEN 1: PS_NULL
rec(37, struct.pack('<I', 1))                          # SELECTOBJECT
rec(39, struct.pack('<IIII', 2, 0, 0x0000FF, 0))       # CREATEBRUSHINDIRECT 2: red
rec(37, struct.pack('<I', 2))
rec(43, struct.pack('<iiii', 24, 24, 216, 120))        # RECTANGLE
rec(39, struct.pack('<IIII', 3, 0, 0x00FF00, 0))       # green
rec(37, struct.pack('<I', 3))
rec(42, struct.pack('<iiii', 240, 48, 456, 216))       # ELLIPSE
pts = [(48, 230), (144, 150), (240, 230)]
rec(86, struct.pack('<iiiiI', 48, 150, 240, 230, 3) + b''.join(struct.pack('<hh', x, y) for x, y in pts))  # POLYGON16
rec(14, struct.pack('<III', 0, 16, 20))                # EOF
body = b''.join(recs)
header = struct.pack('<II', 1, 88) + struct.pack('<iiii', 0, 0, 479, 239) + struct.pack('<iiii', 0, 0, 12700, 6350)
header += struct.pack('<IIIIHHIII', 0x464D4520, 0x10000, 88 + len(body), len(recs) + 1, 4, 0, 0, 0, 0)
header += struct.pack('<iiii', 960, 960, 254, 254)
open(sys.argv[1], 'wb').write(header + body)
)";

// Shapes inside their edges are exact against emf2svg-conv's SVG rendered by
// rsvg-convert, for the file of our test builder and for the one Python writes.
TEST_F(MetafileTest, EmfAgainstEmf2svgAndRsvg) {
  const std::string built = Write("shapes.emf", Emf()
                                                    .Pen(1, 5, 0, 0)
                                                    .Select(1)
                                                    .Brush(2, 0x0000FF)
                                                    .Select(2)
                                                    .Rect(24, 24, 216, 120)
                                                    .Brush(3, 0x00FF00)
                                                    .Select(3)
                                                    .Ellipse(240, 48, 456, 216)
                                                    .Polygon16({48, 230, 144, 150, 240, 230})
                                                    .Eof()
                                                    .File(0, 0, 12700, 6350));
  const std::string written = dir_.Path() + "python.emf";
  {
    const std::string script = Write("write_emf.py", kPythonEmfWriter);
    int code = -1;
    const std::string log = RunCommand({"/usr/bin/python3", script, written}, &code);
    ASSERT_EQ(code, 0) << log;
  }
  for (const std::string& file : {built, written}) {
    SCOPED_TRACE(file);
    TDadirAvIO io(nullptr);
    io.SetReBackground(static_cast<TColor>(0xFFFFFF));
    io.ImportMetafile(file, -1, -1);
    ASSERT_FALSE(io.GetAborting());
    ASSERT_EQ(io.GetIEBitmap()->GetWidth(), 480);
    ASSERT_EQ(io.GetIEBitmap()->GetHeight(), 240);
    EXPECT_EQ(io.GetParams()->FileType, iofnEMF);
    const std::string svg = file + ".svg", png = file + ".png";
    int code = -1;
    std::string log =
        RunCommand({RequireProgram("emf2svg-conv"), "-w", "480", "-h", "240", "-i", file, "-o", svg}, &code);
    ASSERT_EQ(code, 0) << log;
    log = RunCommand({RequireProgram("rsvg-convert"), "-w", "480", "-h", "240", "-b", "white", "-o", png, svg}, &code);
    ASSERT_EQ(code, 0) << log;
    std::ifstream in(svg);
    const std::string svgText((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(RunCommand({RequireProgram("identify-im6.q16"), "-format", "%wx%h", png}), "480x240") << svgText;
    const struct {
      int x, y;
      uint32_t colour;
    } probes[] = {{120, 70, 0xFF0000}, {348, 132, 0x00FF00}, {144, 210, 0x00FF00}, {5, 230, 0xFFFFFF}, {470, 5, 0xFFFFFF}};
    for (const auto& p : probes) {
      EXPECT_EQ(At(io.GetIEBitmap(), p.x, p.y), p.colour) << p.x << "," << p.y;
      EXPECT_EQ(PngAt(png, p.x, p.y), p.colour) << "emf2svg at " << p.x << "," << p.y;
    }
  }
}

TEST_F(MetafileTest, MergeDrawsOverTheImageAndLeavesTheRest) {
  TDadirAvIO io(nullptr);
  io.GetIEBitmap()->Allocate(100, 80, ie24RGB);
  for (int y = 0; y < 80; ++y)
    for (int x = 0; x < 100; ++x) io.GetIEBitmap()->SetPixels_ie24RGB(x, y, TRGB{0, 128, 0});
  io.GetParams()->FileType = iofnPNG;
  const std::string file = Write("m.wmf", Wmf().WindowOrg(0, 0).WindowExt(40, 40).Pen(5, 0, 0).Select(0)
                                              .Brush(0x0000FF).Select(1).Rect(10, 10, 30, 30).Eof().Placeable(0, 0, 40, 40, 96));
  // Partly outside the image: clipped to it.
  io.MergeMetafile(file, 80, 60, -1, -1);
  EXPECT_FALSE(io.GetAborting());
  EXPECT_EQ(io.GetIEBitmap()->GetWidth(), 100);
  EXPECT_EQ(At(io.GetIEBitmap(), 95, 75), 0xFF0000);  // the rectangle's corner (90..110)
  EXPECT_EQ(At(io.GetIEBitmap(), 85, 65), 0x008000);  // transparent part: the image
  EXPECT_EQ(At(io.GetIEBitmap(), 10, 10), 0x008000);
  EXPECT_EQ(io.GetParams()->FileType, iofnPNG);
}

TEST_F(MetafileTest, HostileFilesEndSafely) {
  const std::string good = Wmf().WindowOrg(0, 0).WindowExt(50, 50).Brush(0x0000FF).Select(0).Rect(0, 0, 50, 50).Eof()
                               .Placeable(0, 0, 50, 50, 96);
  // A record claiming more words than the file has.
  std::string pastEnd = Wmf().Brush(0x0000FF).Select(0).Rect(0, 0, 50, 50).Placeable(0, 0, 50, 50, 96);
  pastEnd[40] = '\xFF';
  pastEnd[41] = '\xFF';
  pastEnd[42] = '\xFF';
  // Objects created without end, far more than the table holds.
  Wmf many;
  for (int i = 0; i < 20000; ++i) many.Brush(0x00FF00);
  many.Select(3).Rect(0, 0, 50, 50).Eof();
  Emf manyEmf;
  for (int i = 0; i < 20000; ++i) manyEmf.Brush(static_cast<uint32_t>(i), 0x00FF00);
  // An EMF whose record sizes run past the end, and one of zero.
  std::string badEmf = Emf().Rect(0, 0, 10, 10).Eof().File(0, 0, 1270, 1270);
  badEmf[88 + 4] = '\x40';
  badEmf[88 + 5] = '\x40';
  std::string zeroEmf = Emf().Rect(0, 0, 10, 10).File(0, 0, 1270, 1270);
  zeroEmf[88 + 4] = 0;
  const struct {
    const char* name;
    std::string bytes;
    bool aborting;
  } cases[] = {
      {"truncated.wmf", good.substr(0, good.size() - 9), false},
      {"header-only.wmf", good.substr(0, 30), true},
      {"past-end.wmf", pastEnd, false},
      {"huge.wmf", Wmf().Eof().Placeable(-32768, -32768, 32767, 32767, 1), false},
      {"many.wmf", many.Placeable(0, 0, 50, 50, 96, 4), false},
      {"many.emf", manyEmf.Eof().File(0, 0, 1270, 1270, 8), false},
      {"bad-size.emf", badEmf, false},
      {"zero-size-record.emf", zeroEmf, false},
      {"empty.wmf", "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TDadirAvIO io(nullptr);
    const auto start = std::chrono::steady_clock::now();
    try {
      io.ImportMetafile(Write(c.name, c.bytes), -1, -1);
    } catch (const Exception&) {
      EXPECT_TRUE(c.aborting) << "raised";
    }
    EXPECT_EQ(io.GetAborting(), c.aborting);
    EXPECT_LE(io.GetIEBitmap()->GetWidth(), 2800);
    EXPECT_LE(io.GetIEBitmap()->GetHeight(), 2800);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  }
}

}  // namespace
