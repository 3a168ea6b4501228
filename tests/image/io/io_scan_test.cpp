// Acquiring from scanners through the data source manager, with scripted sources:
// what arrives in the store for each depth and transfer, the calls made and their
// order, the capability readers on every container form (honest or lying), and
// every way a manager or source can fail.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "image/io/iemio.h"
#include "image/io/imscan.h"
#include "image/views/iemview.h"
#include "image/views/dadirav.h"
#include "platform/sim/Dialogs.h"
#include "platform/sim/Modules.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Messages.h"
#include "tests/support/Pump.h"
#include "tests/support/Scanners.h"

namespace {

using larktest::Bytes;
using larktest::Container;
using larktest::Fault;
using larktest::Page;

// The scripted pattern as the store shows it (rows from the top, red-green-blue).
std::vector<Byte> Expected(const sim::TwainPage& p, int page) {
  std::vector<Byte> out;
  for (int y = 0; y < p.Length; ++y)
    for (int x = 0; x < p.Width; ++x) {
      if (p.BitsPerPixel == 24) {
        out.insert(out.end(), {sim::TwainRed(x, y, page), sim::TwainGreen(x, y, page), sim::TwainBlue(x, y, page)});
      } else if (p.BitsPerPixel == 8) {
        const Byte g = sim::TwainGrey(x, y, page);
        out.insert(out.end(), {g, g, g});
      } else {
        const Byte v = sim::TwainWhite(x, y, page) ? 255 : 0;
        out.insert(out.end(), {v, v, v});
      }
    }
  return out;
}

std::vector<Byte> Pixels(TIEBitmap& b) {
  std::vector<Byte> out;
  for (Integer y = 0; y < b.GetHeight(); ++y)
    for (Integer x = 0; x < b.GetWidth(); ++x) {
      if (b.GetPixelFormat() == ie1g) {
        const Byte v = b.GetPixels_ie1g(x, y) ? 255 : 0;
        out.insert(out.end(), {v, v, v});
      } else {
        const TRGB c = b.GetPixels_ie24RGB(x, y);
        out.insert(out.end(), {c.r, c.g, c.b});
      }
    }
  return out;
}

class ScanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The store before: a failed acquisition must leave it as it was.
    io.GetIEBitmap()->Allocate(7, 5, ie24RGB);
    io.GetIEBitmap()->Fill(0x336699);
    before = Pixels(*io.GetIEBitmap());
    io.GetTWainParams()->VisibleDialog = false;
  }
  bool Untouched() { return Pixels(*io.GetIEBitmap()) == before; }
  static sim::TwainScript With(std::vector<sim::TwainPage> pages, uint32_t rowsPerStrip = 0) {
    sim::TwainScript s;
    s.Pages = std::move(pages);
    s.RowsPerStrip = rowsPerStrip;
    return s;
  }

  larktest::ScannerWorld world;
  TDadirAvIO io{nullptr};
  std::vector<Byte> before;
};

// --- What arrives

TEST_F(ScanTest, EachDepthArrivesByMemoryAndNatively) {
  struct Case {
    int16_t bits;
    bool memory;
    uint32_t rowsPerStrip;
  };
  const Case cases[] = {{24, true, 7}, {8, true, 0}, {1, true, 3}, {24, false, 0}, {8, false, 0}, {1, false, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.bits) + (c.memory ? " memory" : " native"));
    sim::TwainPage page = Page(37, 23, c.bits);
    page.XResolution = 150.5;
    page.YResolution = 200;
    page.Caption = "scan 1";
    sim::SetTwainSources({sim::MakeTwainSource(With({page}, c.rowsPerStrip))});
    io.GetTWainParams()->SetBufferedTransfer(c.memory);
    ASSERT_TRUE(io.Acquire());
    EXPECT_FALSE(io.GetAborting());
    EXPECT_EQ(io.GetIEBitmap()->GetPixelFormat(), c.bits == 1 ? ie1g : ie24RGB);
    EXPECT_EQ(Pixels(*io.GetIEBitmap()), Expected(page, 0));
    const TIOParamsVals& p = *io.GetParams();
    EXPECT_EQ(p.Width, 37);
    EXPECT_EQ(p.Height, 23);
    EXPECT_EQ(p.DpiX, 150) << "halves to even";
    EXPECT_EQ(p.DpiY, 200);
    EXPECT_EQ(p.BitsPerSample, c.bits == 24 ? 8 : c.bits);
    EXPECT_EQ(p.SamplesPerPixel, c.bits == 24 ? 3 : 1);
    if (c.memory) {
      EXPECT_EQ(p.FileName, "scan 1");
    }
  }
}

// A source whose pixel flavour stays vanilla sends 1 as black: the image is
// inverted so that 1 is white, as the store keeps it.
TEST_F(ScanTest, VanillaBitsAreInverted) {
  sim::TwainScript s = With({Page(19, 6, 1)});
  s.Caps = sim::ScriptedCaps();
  s.Caps[ICAP_PIXELFLAVOR] = larktwain::CapValue::Enum(TWTY_UINT16, {TWPF_VANILLA}, 0);
  world.Add(s);
  for (bool memory : {true, false}) {
    io.GetTWainParams()->SetBufferedTransfer(memory);
    ASSERT_TRUE(io.Acquire());
    EXPECT_EQ(Pixels(*io.GetIEBitmap()), Expected(s.Pages[0], 0)) << memory;
  }
}

TEST_F(ScanTest, ProgressStepsWithTheStrips) {
  world.Add(With({Page(4, 1000, 8)}, 100));
  std::vector<Integer> steps;
  io.OnProgress = [&](TObject*, Integer per) { steps.push_back(per); };
  ASSERT_TRUE(io.Acquire());
  // Nine strips report; the tenth is the end of the transfer, then the end of work.
  EXPECT_EQ(steps, (std::vector<Integer>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
}

// The caller's abort flag ends a memory transfer after the strip in hand.
TEST_F(ScanTest, AbortEndsTheTransfer) {
  world.Add(With({Page(4, 1000, 8)}, 100));
  io.OnProgress = [&](TObject*, Integer per) {
    if (per == 30) io.SetAborting(true);
  };
  EXPECT_FALSE(io.Acquire());
  EXPECT_TRUE(Untouched());
}

// A source that knows the height only at the end: its strips are kept and placed
// once the height is known.
TEST_F(ScanTest, StripsOfAnUnknownHeightArePlacedAtTheEnd) {
  sim::TwainPage page = Page(21, 47, 24);
  page.LengthUnknown = true;
  world.Add(With({page}, 10));
  ASSERT_TRUE(io.Acquire());
  EXPECT_EQ(io.GetIEBitmap()->GetHeight(), 47);
  EXPECT_EQ(io.GetParams()->Height, 47);
  EXPECT_EQ(Pixels(*io.GetIEBitmap()), Expected(page, 0));
}

// --- The calls

std::string Describe(const sim::TwainCall& c) {
  static const std::map<std::tuple<TW_UINT32, TW_UINT16, TW_UINT16>, std::string> names = {
      {{1, 4, MSG_OPENDSM}, "OPENDSM"}, {{1, 4, MSG_CLOSEDSM}, "CLOSEDSM"},
      {{1, 3, MSG_GETFIRST}, "GETFIRST"}, {{1, 3, MSG_GETNEXT}, "GETNEXT"},
      {{1, 3, MSG_OPENDS}, "OPENDS"}, {{1, 3, MSG_CLOSEDS}, "CLOSEDS"},
      {{1, 9, MSG_ENABLEDS}, "ENABLEDS"}, {{1, 9, MSG_DISABLEDS}, "DISABLEDS"},
      {{1, 1, MSG_GET}, "GET"}, {{1, 1, MSG_SET}, "SET"}, {{1, 2, MSG_PROCESSEVENT}, "EVENT"},
      {{1, 5, MSG_ENDXFER}, "ENDXFER"}, {{1, 5, MSG_RESET}, "RESET"}, {{1, 6, MSG_GET}, "SETUPMEM"},
      {{2, 0x101, MSG_GET}, "IMAGEINFO"}, {{2, 0x103, MSG_GET}, "MEMXFER"}, {{2, 0x104, MSG_GET}, "NATIVE"},
      {{2, 0x102, MSG_SET}, "LAYOUT SET"}};
  auto it = names.find({c.DG, c.DAT, c.MSG});
  std::string s = it == names.end() ? "?" : it->second;
  char buf[32];
  if (c.DAT == DAT_CAPABILITY) {
    std::snprintf(buf, sizeof buf, " %04X", c.Cap);
    s += buf;
    if (c.MSG == MSG_SET) {
      std::snprintf(buf, sizeof buf, "/%d=%X", c.ConType, c.Value);
      s += buf;
    }
  }
  if (c.Code != TWRC_SUCCESS) s += " ->" + std::to_string(c.Code);
  return s;
}

std::vector<std::string> Log() {
  std::vector<std::string> out;
  for (const auto& c : sim::TwainCalls()) out.push_back(Describe(c));
  return out;
}

TEST_F(ScanTest, AcquisitionCallsTheTripletsInTheirOrder) {
  world.Add(With({Page(8, 20, 24)}, 10));
  TIETWainParams& tw = *io.GetTWainParams();
  // The list and the capabilities are read first (connections of their own).
  ASSERT_EQ(tw.GetSourceCount(), 1);
  tw.GetXResolution()->SetCurrentValue(150.5);
  tw.GetPixelType()->SetCurrentValue(3);  // palette: sent as RGB
  tw.SetThreshold(100);
  sim::ClearTwainCalls();
  ASSERT_TRUE(io.Acquire());
  const std::vector<std::string> expected = {
      "OPENDSM", "GETFIRST", "OPENDS",
      // units read (inches already), the pixel flavour set and read back
      "GET 0102", "GET 111F", "SET 111F/5=0", "GET 111F",
      // threshold, resolution, pixel type (a palette wish sent as RGB)
      "GET 1123", "SET 1123/5=64", "GET 1118", "SET 1118/5=80000096", "GET 0101", "SET 0101/5=2",
      // chunky already; memory transfer agreed and read back
      "GET 1120", "GET 0103", "GET 0103", "SET 0103/5=2", "GET 0103",
      // feeder, indicators, duplex
      "GET 1002", "SET 1002/5=0", "GET 100B", "SET 100B/5=1", "GET 1013", "SET 1013/5=0",
      "ENABLEDS", "EVENT ->4", "IMAGEINFO", "SETUPMEM", "MEMXFER", "MEMXFER ->6", "GET 1001", "ENDXFER",
      "DISABLEDS", "CLOSEDS", "CLOSEDSM"};
  EXPECT_EQ(Log(), expected);
  EXPECT_EQ(tw.GetPixelType()->GetCurrentValue(), 2);
}

// Palette pixels, planar samples or compression cannot be copied strip by strip:
// such an image comes natively even when memory transfer was agreed.
TEST_F(ScanTest, PalettePlanarOrCompressedGoNatively) {
  struct Case {
    const char* what;
    int16_t bits;
    int16_t pixelType;
    uint16_t planar;
    uint16_t compression;
  };
  const Case cases[] = {{"palette", 8, TWPT_PALETTE, 0, 0}, {"planar", 24, TWPT_RGB, 1, 0}, {"compressed", 24, TWPT_RGB, 0, 5}};
  for (const Case& c : cases) {
    sim::TwainPage page = Page(13, 11, c.bits);
    page.PixelType = c.pixelType;
    page.Planar = c.planar;
    page.Compression = c.compression;
    sim::SetTwainSources({sim::MakeTwainSource(With({page}, 4))});
    sim::ClearTwainCalls();
    ASSERT_TRUE(io.Acquire()) << c.what;
    const std::vector<std::string> log = Log();
    EXPECT_NE(std::find(log.begin(), log.end(), "NATIVE ->6"), log.end()) << c.what;
    EXPECT_EQ(std::find(log.begin(), log.end(), "MEMXFER"), log.end()) << c.what;
    EXPECT_EQ(Pixels(*io.GetIEBitmap()), Expected(page, 0)) << c.what;
  }
}

// Wishes go out in the form their change asks for: new items as an enumeration, a
// new current value as a one value, a new range as a range.
TEST_F(ScanTest, WishesAreWrittenInTheirForms) {
  world.Add(With({Page(8, 8, 24)}));
  TIETWainParams& tw = *io.GetTWainParams();
  TIEIntegerList* types = tw.GetPixelType();
  types->Clear();
  types->Add(0);
  types->Add(2);
  types->SetCurrentValue(2);
  TIEDoubleList* dpi = tw.GetXResolution();
  dpi->SetRangeMin(75);
  dpi->SetRangeMax(600);
  dpi->SetCurrentValue(300);
  sim::ClearTwainCalls();
  ASSERT_TRUE(io.Acquire());
  std::vector<std::string> sets;
  for (const auto& line : Log())
    if (line.rfind("SET 0101", 0) == 0 || line.rfind("SET 1118", 0) == 0) sets.push_back(line);
  EXPECT_EQ(sets, (std::vector<std::string>{"SET 1118/5=12C", "SET 1118/6=12C", "SET 0101/4=2", "SET 0101/5=2"}));
}

// TW_FIX32: halves away from zero, the whole part keeping the sign and the
// fraction the low 16 bits.
TEST_F(ScanTest, Fix32Rounding) {
  struct Case {
    double x;
    int16_t whole;
    uint16_t frac;
  };
  const Case cases[] = {{0, 0, 0},          {1.5, 1, 0x8000},       {-1.5, -2, 0x8000}, {300, 300, 0},
                        {0.00001, 0, 1},    {-0.00001, -1, 0xFFFF}, {2.2, 2, 13107},    {0.5 / 65536, 0, 1},
                        {-0.5 / 65536, -1, 0xFFFF}, {32767.99999, 32767, 65535}};
  for (const Case& c : cases) {
    const TW_FIX32 f = DoubleToFIX32(c.x);
    EXPECT_EQ(f.Whole, c.whole) << c.x;
    EXPECT_EQ(f.Frac, c.frac) << c.x;
  }
}

// --- Reading containers

TEST_F(ScanTest, ReadersTakeEveryFormAndRefuseLies) {
  struct Case {
    const char* what;
    TW_UINT16 conType;
    std::vector<uint8_t> bytes;
    bool ok;
    std::vector<Integer> items;
    Integer current;
  };
  const Case cases[] = {
      {"array", TWON_ARRAY, Bytes().u16(TWTY_UINT16).u32(3).u16(4).u16(5).u16(6).b, true, {4, 5, 6}, 0},
      {"enumeration", TWON_ENUMERATION, Bytes().u16(TWTY_UINT16).u32(3).u32(2).u32(0).u16(4).u16(5).u16(6).b, true, {4, 5, 6}, 6},
      {"one value", TWON_ONEVALUE, Bytes().u16(TWTY_UINT16).u32(9).b, true, {9}, 9},
      {"32-bit items", TWON_ENUMERATION, Bytes().u16(TWTY_INT32).u32(2).u32(1).u32(0).u32(70000).u32(static_cast<uint32_t>(-3)).b, true, {70000, -3}, -3},
      {"unsigned beyond the integers", TWON_ONEVALUE, Bytes().u16(TWTY_UINT32).u32(0xFFFFFFFF).b, true, {2147483647}, 2147483647},
      {"count past the block", TWON_ENUMERATION, Bytes().u16(TWTY_UINT16).u32(1000).u32(0).u32(0).u16(1).b, false, {}, 0},
      {"huge count", TWON_ARRAY, Bytes().u16(TWTY_UINT32).u32(0xFFFFFFFF).u32(1).b, false, {}, 0},
      {"index past the items", TWON_ENUMERATION, Bytes().u16(TWTY_UINT16).u32(2).u32(2).u32(0).u16(1).u16(2).b, false, {}, 0},
      {"unknown item type", TWON_ONEVALUE, Bytes().u16(99).u32(1).b, false, {}, 0},
      {"string items", TWON_ARRAY, Bytes().u16(TWTY_STR32).u32(1).b, false, {}, 0},
      {"short one value", TWON_ONEVALUE, Bytes().u16(TWTY_UINT32).u16(1).b, false, {}, 0},
      {"short range", TWON_RANGE, Bytes().u16(TWTY_UINT16).u32(1).u32(2).b, false, {}, 0},
      {"empty block", TWON_ONEVALUE, {}, false, {}, 0},
      {"unknown form", 9, Bytes().u16(TWTY_UINT16).u32(1).b, false, {}, 0},
  };
  for (const Case& c : cases) {
    HGLOBAL h = Container(c.bytes);
    TIEIntegerList list;
    EXPECT_EQ(IETW_ReadIntegerList(c.conType, h, list), c.ok) << c.what;
    GlobalFree(h);
    if (!c.ok) continue;
    std::vector<Integer> items;
    for (Integer i = 0; i < list.GetCount(); ++i) items.push_back(list.GetItem(i));
    EXPECT_EQ(items, c.items) << c.what;
    EXPECT_EQ(list.GetCurrentValue(), c.current) << c.what;
  }
  // A range: no items, its four values.
  HGLOBAL range = Container(Bytes().u16(TWTY_UINT16).u32(10).u32(0x10014).u32(2).u32(12).u32(14).b);
  TIEIntegerList ints;
  ASSERT_TRUE(IETW_ReadIntegerList(TWON_RANGE, range, ints));
  EXPECT_EQ(ints.GetCount(), 0);
  EXPECT_EQ(ints.GetRangeMin(), 10);
  EXPECT_EQ(ints.GetRangeMax(), 20) << "the low 16 bits";
  EXPECT_EQ(ints.GetRangeStep(), 2);
  EXPECT_EQ(ints.GetCurrentValue(), 14);
  GlobalFree(range);
  // Doubles: TW_FIX32 items; a resolution of -1 answered as one value means 300.
  HGLOBAL res = Container(Bytes().u16(TWTY_FIX32).fix(-1).b);
  TIEDoubleList dpi;
  ASSERT_TRUE(IETW_ReadDoubleList(TWON_ONEVALUE, res, dpi, true));
  EXPECT_EQ(dpi.GetCurrentValue(), 300.0);
  GlobalFree(res);
  HGLOBAL scaling = Container(Bytes().u16(TWTY_FIX32).u32(3).u32(1).u32(0).fix(0.5).fix(1.25).fix(2).b);
  TIEDoubleList sc;
  ASSERT_TRUE(IETW_ReadDoubleList(TWON_ENUMERATION, scaling, sc, false));
  ASSERT_EQ(sc.GetCount(), 3);
  EXPECT_EQ(sc.GetItem(2), 2.0);
  EXPECT_EQ(sc.GetCurrentValue(), 1.25);
  GlobalFree(scaling);
  // Booleans only as one value; strings within their block.
  bool b = true;
  HGLOBAL enumBool = Container(Bytes().u16(TWTY_BOOL).u32(1).u32(0).u32(0).u16(1).b);
  EXPECT_FALSE(IETW_ReadBool(TWON_ENUMERATION, enumBool, b));
  EXPECT_FALSE(b);
  GlobalFree(enumBool);
  std::vector<uint8_t> text = Bytes().u16(TWTY_STR255).b;
  text.insert(text.end(), 40, 'x');  // no terminator inside the block
  HGLOBAL str = Container(text);
  AnsiString caption;
  EXPECT_TRUE(IETW_ReadString(TWON_ONEVALUE, str, caption));
  EXPECT_EQ(caption, std::string(40, 'x'));
  GlobalFree(str);
}

// Capabilities read from the source into the parameters, with the fallbacks of a
// source that answers nothing.
TEST_F(ScanTest, CapabilitiesAreReadWithTheirFallbacks) {
  sim::TwainScript s;
  s.Caps = sim::ScriptedCaps();
  s.Caps.erase(ICAP_GAMMA);
  s.RawCaps[ICAP_XSCALING] = {TWON_ENUMERATION, Bytes().u16(TWTY_FIX32).u32(3).u32(1).u32(0).fix(0.5).fix(1).fix(2).b};
  s.RawCaps[ICAP_YRESOLUTION] = {TWON_ONEVALUE, Bytes().u16(TWTY_FIX32).fix(-1).b};
  s.RawCaps[ICAP_CONTRAST] = {TWON_ENUMERATION, Bytes().u16(TWTY_FIX32).u32(50000).u32(0).u32(0).b};
  world.Add(s);
  TIETWainParams& tw = *io.GetTWainParams();
  EXPECT_EQ(tw.GetXScaling()->GetCount(), 3);
  EXPECT_EQ(tw.GetXScaling()->GetCurrentValue(), 1.0);
  EXPECT_EQ(tw.GetYResolution()->GetCurrentValue(), 300.0);
  EXPECT_EQ(tw.GetXResolution()->GetRangeMax(), 1200.0);
  EXPECT_EQ(tw.GetContrast()->GetCount(), 0) << "a lying container is not read";
  EXPECT_EQ(tw.GetYScaling()->GetCount(), 1) << "not answered: one item 1.0";
  EXPECT_EQ(tw.GetYScaling()->GetItem(0), 1.0);
  EXPECT_DOUBLE_EQ(tw.GetGamma(), 2.2);
  EXPECT_EQ(tw.GetThreshold(), 128);
  EXPECT_DOUBLE_EQ(tw.GetPhysicalWidth(), 8.5);
  EXPECT_TRUE(tw.GetIndicators());
  EXPECT_TRUE(tw.GetXResolution()->Changed.Empty()) << "values merely read are not sent back";
}

// The scanner parameters' own rules: names matched by prefix without regard to case,
// a selection that does not change asks nothing, identity strings cut to 32, and a
// copy that owns its lists.
TEST_F(ScanTest, ScannerParametersSelectAndCopy) {
  world.Add(larktest::Named("ALPHA Flatbed"));
  world.Add(larktest::Named("Beta"));
  TIETWainParams& tw = *io.GetTWainParams();
  ASSERT_EQ(tw.GetSourceCount(), 2);
  EXPECT_EQ(tw.GetSourceName(1), "Beta");
  EXPECT_EQ(tw.GetSourceName(2), "");
  EXPECT_THROW(tw.GetSourceName(-1), EListError);
  ASSERT_TRUE(tw.SelectSourceByName("beta"));
  EXPECT_EQ(tw.GetSelectedSource(), 1);
  EXPECT_TRUE(tw.SelectSourceByName("alpha"));
  EXPECT_EQ(tw.GetSelectedSource(), 0);
  EXPECT_FALSE(tw.SelectSourceByName("Gamma"));
  EXPECT_TRUE(tw.SelectSourceByName("")) << "an empty name matches the first source";
  EXPECT_EQ(tw.GetDefaultSource(), 0);
  sim::ClearTwainCalls();
  tw.SetSelectedSource(0);
  EXPECT_TRUE(sim::TwainCalls().empty()) << "the same selection asks nothing";
  tw.SetSelectedSource(1);
  EXPECT_FALSE(sim::TwainCalls().empty()) << "another reads the new source's capabilities";
  tw.SetAppProductName(std::string(40, 'n'));
  EXPECT_EQ(tw.GetAppProductName(), std::string(32, 'n'));
  tw.GetStandardSize()->Add(3);
  TIETWainParams copy(nullptr);
  copy.Assign(&tw);
  tw.GetStandardSize()->Add(4);
  EXPECT_EQ(copy.Caps().StandardSize.GetCount(), 1) << "a copy of its own";
  EXPECT_EQ(copy.GetSelectedSource(), 1);
  EXPECT_EQ(copy.GetAppProductName(), std::string(32, 'n'));
}

// --- Failures: false, the store untouched, no endless loop

TEST_F(ScanTest, NoManagerFailsQuietly) {
  world.Add();
  struct Case {
    const char* what;
    std::function<void()> arrange;
  };
  const Case cases[] = {
      {"no library file", [&] { world.RemoveManager(); }},
      {"library without its entry", [&] { sim::HideExport(kTwainManagerFile, "DSM_Entry"); }},
      {"library that cannot be loaded", [&] { sim::FailModuleLoad(kTwainManagerFile); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TDadirAvIO fresh(nullptr);
    fresh.GetIEBitmap()->Allocate(3, 3, ie24RGB);
    c.arrange();
    TIETWainParams& tw = *fresh.GetTWainParams();
    tw.VisibleDialog = false;
    EXPECT_FALSE(fresh.Acquire());
    EXPECT_TRUE(fresh.GetAborting());
    EXPECT_EQ(fresh.GetIEBitmap()->GetWidth(), 3);
    EXPECT_EQ(tw.GetSourceCount(), 0);
    EXPECT_EQ(tw.GetSourceName(0), "");
    EXPECT_FALSE(tw.SelectSourceByName("Scripted"));
    EXPECT_EQ(tw.GetXResolution()->GetCount(), 0);
    ASSERT_EQ(tw.GetXScaling()->GetCount(), 1);
    EXPECT_EQ(tw.GetXScaling()->GetItem(0), 1.0);
    EXPECT_EQ(tw.GetThreshold(), 128);
    EXPECT_DOUBLE_EQ(tw.GetGamma(), 2.2);
    EXPECT_TRUE(tw.GetIndicators());
    EXPECT_FALSE(fresh.SelectAcquireSource());
    EXPECT_TRUE(sim::TwainCalls().empty());
    sim::ResetModuleFaults();
    world.InstallManager();
  }
}

TEST_F(ScanTest, FailingManagersAndSourcesEndWithFalse) {
  struct Case {
    const char* what;
    std::function<void(sim::TwainScript&)> script;
    std::vector<sim::TwainFault> faults;
  };
  const auto page = Page(30, 40, 24);
  const Case cases[] = {
      {"manager that never opens", nullptr, {Fault(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, TWRC_FAILURE, 0, -1)}},
      {"source that never opens", [](sim::TwainScript& s) { s.FailOpen = true; }, {}},
      {"enable refused", nullptr, {Fault(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS)}},
      {"image information refused", nullptr, {Fault(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, TWRC_FAILURE, 0, -1)}},
      {"strips failing for ever", nullptr, {Fault(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, TWRC_FAILURE, 0, -1)}},
      {"strips answering nonsense for ever", nullptr, {Fault(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, TWRC_CHECKSTATUS, 0, -1)}},
      {"cancelled at the third strip", nullptr, {Fault(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, TWRC_CANCEL, 2)}},
      {"memory set-up refused", nullptr, {Fault(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET)}},
      {"device gone mid-page", [](sim::TwainScript& s) { s.FailPage = 0; s.FailAfterRows = 25; }, {}},
      {"manager raising", nullptr, {[] { auto f = Fault(DG_IMAGE, DAT_IMAGEINFO, MSG_GET); f.Throw = true; return f; }()}},
      {"depth 2", [](sim::TwainScript& s) { s.Pages[0].BitsPerPixel = 2; s.Pages[0].PixelType = TWPT_GRAY; }, {}},
      {"depth 4", [](sim::TwainScript& s) { s.Pages[0].BitsPerPixel = 4; s.Pages[0].PixelType = TWPT_GRAY; }, {}},
      {"depth 16", [](sim::TwainScript& s) { s.Pages[0].BitsPerPixel = 16; s.Pages[0].PixelType = TWPT_GRAY; }, {}},
      {"depth 48", [](sim::TwainScript& s) { s.Pages[0].BitsPerPixel = 48; }, {}},
      {"no pages", [](sim::TwainScript& s) { s.Pages.clear(); }, {}},
      {"zero width", [](sim::TwainScript& s) { s.Pages[0].Width = 0; }, {}},
      {"native DIB that is not one", [](sim::TwainScript& s) {
         s.Caps = sim::ScriptedCaps();
         s.Caps[ICAP_XFERMECH] = larktwain::CapValue::Enum(TWTY_UINT16, {TWSX_NATIVE}, 0);
         s.NativeDib = [](int) { return Container(std::vector<uint8_t>(10, 0xFF)); };
       }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (bool memory : {true, false}) {
      // Faults of memory transfers do not touch a native one.
      bool memoryOnly = false;
      for (const auto& f : c.faults) memoryOnly |= f.DAT == DAT_IMAGEMEMXFER || f.DAT == DAT_SETUPMEMXFER;
      if (!memory && memoryOnly) continue;
      sim::ClearTwainFaults();
      sim::TwainScript s = With({page}, 10);
      if (c.script) c.script(s);
      sim::SetTwainSources({sim::MakeTwainSource(s)});
      for (const auto& f : c.faults) sim::AddTwainFault(f);
      io.GetTWainParams()->SetBufferedTransfer(memory);
      EXPECT_FALSE(io.Acquire()) << memory;
      EXPECT_TRUE(io.GetAborting());
      EXPECT_TRUE(Untouched());
    }
  }
  sim::ClearTwainFaults();
  // The manager is left as it was found: a good source scans again.
  sim::SetTwainSources({sim::MakeTwainSource(With({page}))});
  EXPECT_TRUE(io.Acquire());
}

// A manager that answers failure instead of the list's end: the list ends there.
TEST_F(ScanTest, SourceListEndsOnFailure) {
  world.Add(larktest::Named("Alpha"));
  world.Add(larktest::Named("Beta"));
  sim::AddTwainFault(Fault(DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, TWRC_FAILURE, 0, -1));
  EXPECT_EQ(io.GetTWainParams()->GetSourceCount(), 1);
  sim::ClearTwainFaults();
}

// Strips that lie about where they go or how much they hold are clipped to the
// store and to the bytes they brought.
TEST_F(ScanTest, LyingStripsAreClipped) {
  struct Case {
    const char* what;
    std::function<void(int, TW_IMAGEMEMXFER&)> edit;
  };
  const Case cases[] = {
      {"rows past the store", [](int i, TW_IMAGEMEMXFER& x) { if (i == 1) x.YOffset = 35; }},
      {"offset far past the store", [](int i, TW_IMAGEMEMXFER& x) { if (i == 1) x.YOffset = 0x7FFFFFF0; }},
      {"columns past the store", [](int, TW_IMAGEMEMXFER& x) { x.XOffset = 25; }},
      {"more columns than a row holds", [](int, TW_IMAGEMEMXFER& x) { x.Columns = 100000; }},
      {"more bytes than the buffer", [](int, TW_IMAGEMEMXFER& x) { x.BytesWritten = 0xFFFFFFF0; x.Rows = 1000000; }},
      {"rows longer than the buffer", [](int, TW_IMAGEMEMXFER& x) { x.BytesPerRow = 100000; }},
      {"no bytes per row", [](int, TW_IMAGEMEMXFER& x) { x.BytesPerRow = 0; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (bool undefined : {false, true}) {
      sim::TwainScript s = With({Page(30, 40, 24)}, 10);
      s.Pages[0].LengthUnknown = undefined;
      s.EditStrip = c.edit;
      sim::SetTwainSources({sim::MakeTwainSource(s)});
      io.Acquire();
      EXPECT_EQ(io.GetIEBitmap()->GetWidth() == 30 || Untouched(), true);
    }
  }
}

// The selected source is opened by its name: one no longer installed is not
// replaced by whatever the manager listed last.
TEST_F(ScanTest, VanishedSourceIsNotReplaced) {
  auto a = world.Add(larktest::Named("Alpha"));
  auto b = world.Add(larktest::Named("Beta"));
  TIETWainParams& tw = *io.GetTWainParams();
  ASSERT_TRUE(tw.SelectSourceByName("be"));
  EXPECT_EQ(tw.GetSelectedSource(), 1);
  sim::SetTwainSources({a});
  EXPECT_FALSE(io.Acquire());
  EXPECT_EQ(a->PagesStarted(), 0);
  // An empty list: the manager's default source.
  TDadirAvIO other(nullptr);
  other.GetTWainParams()->VisibleDialog = false;
  sim::SetTwainSources({});
  EXPECT_EQ(other.GetTWainParams()->GetSourceCount(), 0);
  sim::SetTwainSources({b});
  EXPECT_TRUE(other.Acquire());
  EXPECT_EQ(b->PagesStarted(), 1);
}

// A cancelled selection keeps the source chosen before; a choice selects it.
TEST_F(ScanTest, SelectionChangesOnlyWhenASourceIsChosen) {
  world.Add(larktest::Named("Alpha"));
  world.Add(larktest::Named("Beta"));
  TIETWainParams& tw = *io.GetTWainParams();
  sim::QueueDialogAnswer("Select Source", mrOk, "Beta");
  EXPECT_TRUE(io.SelectAcquireSource());
  EXPECT_EQ(tw.GetSelectedSource(), 1);
  sim::QueueDialogAnswer("Select Source", mrCancel);
  EXPECT_FALSE(io.SelectAcquireSource());
  EXPECT_EQ(tw.GetSelectedSource(), 1);
}

// With the source's dialog shown: Scan with its settings, Cancel, and a source
// that finds nothing to scan until the dialog is cancelled.
TEST_F(ScanTest, SourceDialogDecides) {
  auto src = world.Add(With({Page(12, 9, 24)}, 4));
  io.GetTWainParams()->VisibleDialog = true;
  sim::QueueDialogAnswer("Scripted Scanner", mrCancel);
  EXPECT_FALSE(io.Acquire());
  EXPECT_TRUE(Untouched());
  src->Script.NeverReady = true;
  sim::QueueDialogAnswer("Scripted Scanner", mrOk);
  sim::QueueDialogAnswer("Scripted Scanner", mrOk);
  sim::QueueDialogAnswer("Scripted Scanner", mrCancel);
  EXPECT_FALSE(io.Acquire());
  EXPECT_EQ(sim::QueuedDialogAnswers(), 0);
  EXPECT_TRUE(Untouched());
  src->Script.NeverReady = false;
  sim::QueueDialogAnswer("Scripted Scanner", mrOk, "resolution=240");
  ASSERT_TRUE(io.Acquire());
  EXPECT_EQ(Pixels(*io.GetIEBitmap()), Expected(src->Script.Pages[0], 0));
  EXPECT_DOUBLE_EQ(larktwain::WordFix32(src->Caps[ICAP_XRESOLUTION].CurrentValue()), 240.0);
}

// A quit request seen while the acquisition pumps messages is posted again, so the
// program's own loop still ends.
TEST_F(ScanTest, QuitSeenByThePumpIsPostedAgain) {
  world.Add(With({Page(4, 40, 8)}, 10));
  bool posted = false;
  io.OnProgress = [&](TObject*, Integer per) {
    if (per == 50 && !posted) {
      PostQuitMessage(7);
      posted = true;
    }
  };
  EXPECT_TRUE(io.Acquire());
  MSG msg;
  ASSERT_TRUE(PeekMessage(&msg, 0, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 7u);
}

// In asynchronous mode on an outside store the acquisition runs on the component's
// worker, whose own loop receives the source's events.
TEST_F(ScanTest, AcquireRunsOnTheWorker) {
  auto src = world.Add(With({Page(16, 30, 24)}, 8));
  // The shared proxy window is made on this thread first; the worker's events must
  // still reach the worker.
  ASSERT_EQ(io.GetTWainParams()->GetSourceCount(), 1);
  TIEBitmap outside;
  io.SetAttachedIEBitmap(&outside);
  io.SetAsyncMode(true);
  std::atomic<DWORD> thread{0};
  io.OnFinishWork = [&](TObject*) { thread = GetCurrentThreadId(); };
  EXPECT_TRUE(io.Acquire());
  ASSERT_TRUE(larktest::PumpUntil([&] { return io.GetAsyncRunning() == 0 && thread != 0; }));
  EXPECT_NE(thread.load(), GetCurrentThreadId());
  EXPECT_FALSE(io.GetAborting());
  EXPECT_EQ(Pixels(outside), Expected(src->Script.Pages[0], 0));
}

// --- Modeless acquisition into a view

class ModelessTest : public ScanTest {
 protected:
  void SetUp() override {
    ScanTest::SetUp();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(10, 10, 200, 200);
    view = new TDadirAv(form.get());
    view->SetParent(form.get());
    view->SetBounds(0, 0, 150, 150);
    form->Show();
    vio = view->GetDadirAvIO();
    vio->GetTWainParams()->VisibleDialog = false;
  }
  void TearDown() override {
    form.reset();
    larktest::PumpPending();
  }
  std::unique_ptr<TForm> form;
  TDadirAv* view = nullptr;
  TDadirAvIO* vio = nullptr;
};

TEST_F(ModelessTest, PagesGoToTheViewUntilTheSourceAsksToClose) {
  auto src = world.Add(With({Page(10, 8, 24), Page(11, 9, 8), Page(12, 10, 1)}, 4));
  std::vector<Integer> widths;
  vio->OnAcquireBitmap = [&](TObject*, TIEBitmap* bitmap, bool& handled) {
    widths.push_back(bitmap->GetWidth());
    handled = widths.size() == 2;  // the application keeps the second page
  };
  EXPECT_FALSE(TDadirAvIO(nullptr).AcquireOpen()) << "no view attached";
  ASSERT_TRUE(vio->AcquireOpen());
  EXPECT_FALSE(vio->AcquireOpen());
  EXPECT_FALSE(vio->Acquire()) << "the source is held by the modeless acquisition";
  ASSERT_TRUE(larktest::PumpUntil([&] { return widths.size() == 3; }));
  EXPECT_EQ(Pixels(*view->GetIEBitmap()), Expected(src->Script.Pages[2], 2));
  EXPECT_EQ(vio->GetParams()->Width, 12);
  EXPECT_TRUE(vio->GetAcquireOpened());
  ASSERT_TRUE(sim::RequestTwainClose("Scripted Scanner"));
  ASSERT_TRUE(larktest::PumpUntil([&] { return !vio->GetAcquireOpened(); }));
  EXPECT_EQ(sim::ModuleLoadCount(kTwainManagerFile), 0) << "the manager is unloaded";
  vio->AcquireClose();  // nothing left to close
}

TEST_F(ModelessTest, ClosedByTheProgram) {
  world.Add(With({Page(10, 8, 24)}));
  ASSERT_TRUE(vio->AcquireOpen());
  ASSERT_TRUE(larktest::PumpUntil([&] { return view->GetIEBitmap()->GetWidth() == 10; }));
  vio->AcquireClose();
  EXPECT_FALSE(vio->GetAcquireOpened());
  EXPECT_EQ(sim::TwainState(), 2);
  EXPECT_EQ(sim::ModuleLoadCount(kTwainManagerFile), 0);
  // Failing before the source is enabled: nothing opens, and nothing stays open.
  sim::AddTwainFault(Fault(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS));
  EXPECT_FALSE(vio->AcquireOpen());
  EXPECT_EQ(sim::TwainState(), 2);
}

// --- Pages of a feeder into a thumbnail grid

class GridScanTest : public ScanTest {
 protected:
  void SetUp() override {
    ScanTest::SetUp();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(10, 10, 300, 300);
    grid = new TDadirAvMView(form.get());
    grid->SetParent(form.get());
    grid->SetBounds(0, 0, 260, 260);
    form->Show();
    // Two images there before, 6 x 4 in two greys.
    for (Byte grey : {Byte{40}, Byte{200}}) {
      TIEBitmap b;
      b.Allocate(6, 4, ie24RGB);
      b.Fill(TColor(grey * 0x010101));
      grid->SetIEBitmap(grid->AppendImage(), &b);
    }
    grid->Deselect();
    mio = grid->GetDadirAvMIO();
    mio->GetTWainParams()->VisibleDialog = false;
  }
  void TearDown() override {
    form.reset();
    larktest::PumpPending();
  }
  std::vector<Byte> GridPixels(Integer idx) {
    TIEBitmap b;
    EXPECT_TRUE(grid->CopyToIEBitmap(idx, &b));
    return Pixels(b);
  }
  Integer Width(Integer idx) { return grid->GetImageWidth(idx); }
  std::unique_ptr<TForm> form;
  TDadirAvMView* grid = nullptr;
  TDadirAvMIO* mio = nullptr;
};

// Every page of the feeder becomes one image, in order, at the selected image (or
// after the last one); its parameter entry describes the page; memory and native
// transfers alike.
TEST_F(GridScanTest, FeederPagesBecomeImagesAtTheSelection) {
  const std::vector<sim::TwainPage> pages = {Page(10, 8, 24), Page(11, 9, 8), Page(12, 10, 1)};
  auto src = world.Add(With(pages, 4));
  src->Script.Pages[1].XResolution = 150;
  src->Script.Pages[1].YResolution = 150;
  for (bool memory : {true, false}) {
    SCOPED_TRACE(memory ? "memory" : "native");
    mio->GetTWainParams()->SetBufferedTransfer(memory);
    grid->SetSelectedItem(1);
    std::vector<std::pair<TObject*, Integer>> progress;
    mio->OnProgress = [&](TObject* sender, Integer per) { progress.emplace_back(sender, per); };
    const Integer before = grid->GetImageCount();
    ASSERT_TRUE(mio->Acquire());
    EXPECT_FALSE(mio->GetAborting());
    ASSERT_EQ(grid->GetImageCount(), before + 3);
    ASSERT_EQ(mio->GetParamsCount(), grid->GetImageCount());
    for (Integer p = 0; p < 3; ++p) {
      SCOPED_TRACE(p);
      EXPECT_EQ(GridPixels(1 + p), Expected(pages[static_cast<size_t>(p)], p));
      EXPECT_EQ(grid->GetImageDelayTime(1 + p), 100);
      const TIOParamsVals* io = mio->GetParams(1 + p);
      EXPECT_EQ(io->Width, pages[static_cast<size_t>(p)].Width);
      EXPECT_EQ(io->Height, pages[static_cast<size_t>(p)].Length);
      EXPECT_EQ(io->DpiX, p == 1 ? 150 : 100);
      EXPECT_EQ(io->GIF_ImageIndex, 1 + p);
    }
    EXPECT_EQ(GridPixels(before + 2), std::vector<Byte>(6 * 4 * 3, 200)) << "the selected image moved after them";
    if (memory) {
      ASSERT_FALSE(progress.empty());
      EXPECT_EQ(progress.front().first, mio);
    }
    // Nothing selected: after the last image.
    grid->Deselect();
    ASSERT_TRUE(mio->Acquire());
    EXPECT_EQ(grid->GetImageCount(), before + 6);
    EXPECT_EQ(GridPixels(before + 5), Expected(pages[2], 2));
    for (Integer i = 0; i < 3; ++i) grid->DeleteImage(1);
    while (grid->GetImageCount() > 2) grid->DeleteImage(2);
  }
}

// The application may keep pages for itself; a grid resamples pages whose
// resolutions differ when asked to.
TEST_F(GridScanTest, PagesKeptByTheApplicationOrEvened) {
  auto src = world.Add(With({Page(10, 8, 24), Page(20, 10, 24), Page(12, 10, 8)}));
  std::vector<Integer> offered;
  mio->OnAcquireBitmap = [&](TObject* sender, TIEBitmap* bitmap, bool& handled) {
    EXPECT_EQ(sender, mio);
    offered.push_back(bitmap->GetWidth());
    handled = offered.size() == 2;
  };
  ASSERT_TRUE(mio->Acquire());
  EXPECT_EQ(offered, (std::vector<Integer>{10, 20, 12}));
  ASSERT_EQ(grid->GetImageCount(), 4);
  EXPECT_EQ(Width(2), 10);
  EXPECT_EQ(Width(3), 12);

  // Evening the resolution works with the values of the entry the page gets (the
  // page's own come after the page is stored): an entry of 200 x 100 dpi doubles a
  // landscape page's height.
  mio->OnAcquireBitmap = nullptr;
  mio->AutoAdjustDPI = true;
  mio->GetParams(3)->DpiX = 200;
  mio->GetParams(3)->DpiY = 100;
  grid->Deselect();
  src->Script.Pages = {Page(20, 10, 24)};
  ASSERT_TRUE(mio->Acquire());
  ASSERT_EQ(grid->GetImageCount(), 5);
  EXPECT_EQ(Width(4), 20);
  EXPECT_EQ(grid->GetImageHeight(4), 20);
}

// A failing page ends the feed: the pages before it stay, nothing after it comes,
// and Aborting tells that the feed did not finish.
TEST_F(GridScanTest, AFailingPageEndsTheFeedKeepingThePagesBefore) {
  const std::vector<sim::TwainPage> pages = {Page(10, 8, 24), Page(11, 9, 8), Page(12, 10, 24), Page(9, 7, 8)};
  auto src = world.Add(With(pages, 3));
  struct Case {
    const char* name;
    bool memory;
    int failPage;
  };
  const Case cases[] = {{"memory, device gone in page 3", true, 2},
                        {"native, device gone in page 2", false, 1},
                        {"memory, device gone in page 1", true, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    src->Script.FailPage = c.failPage;
    src->Script.FailAfterRows = 5;
    mio->GetTWainParams()->SetBufferedTransfer(c.memory);
    grid->Deselect();
    const int started = src->PagesStarted();
    EXPECT_EQ(mio->Acquire(), c.failPage > 0);
    EXPECT_TRUE(mio->GetAborting());
    ASSERT_EQ(grid->GetImageCount(), 2 + c.failPage);
    EXPECT_EQ(mio->GetParamsCount(), 2 + c.failPage);
    for (Integer p = 0; p < c.failPage; ++p) EXPECT_EQ(GridPixels(2 + p), Expected(pages[static_cast<size_t>(p)], p));
    EXPECT_EQ(src->PagesStarted() - started, c.failPage + 1) << "no page after the failing one";
    EXPECT_EQ(sim::TwainState(), 2) << "closed down, the manager's library kept";
    while (grid->GetImageCount() > 2) grid->DeleteImage(2);
  }
}

// Cancelling in the source's dialog adds nothing; the program's abort flag stops
// the feed before the next page; a modeless acquisition delivers into the grid
// until it is closed, and meanwhile a modal one does nothing.
TEST_F(GridScanTest, CancelAbortAndModeless) {
  auto src = world.Add(With({Page(10, 8, 24), Page(11, 9, 8), Page(12, 10, 24)}, 2));
  mio->GetTWainParams()->VisibleDialog = true;
  sim::QueueDialogAnswer("Scripted Scanner", mrCancel);
  EXPECT_FALSE(mio->Acquire());
  EXPECT_TRUE(mio->GetAborting());
  EXPECT_EQ(grid->GetImageCount(), 2);
  EXPECT_EQ(src->PagesStarted(), 0);

  mio->GetTWainParams()->VisibleDialog = false;
  mio->OnAcquireBitmap = [&](TObject*, TIEBitmap*, bool&) { mio->SetAborting(true); };
  EXPECT_TRUE(mio->Acquire());
  EXPECT_TRUE(mio->GetAborting());
  EXPECT_EQ(grid->GetImageCount(), 3) << "the page in hand is kept, the next is not started";
  EXPECT_EQ(src->PagesStarted(), 1);
  mio->OnAcquireBitmap = nullptr;

  grid->SetSelectedItem(0);
  EXPECT_FALSE(TDadirAvMIO(nullptr).AcquireOpen()) << "no grid attached";
  ASSERT_TRUE(mio->AcquireOpen());
  EXPECT_FALSE(mio->AcquireOpen());
  EXPECT_TRUE(mio->Acquire()) << "true at once while the modeless acquisition holds the source";
  ASSERT_TRUE(larktest::PumpUntil([&] { return grid->GetImageCount() == 6; }));
  EXPECT_EQ(GridPixels(0), Expected(src->Script.Pages[0], 0));
  EXPECT_EQ(GridPixels(2), Expected(src->Script.Pages[2], 2));
  EXPECT_EQ(mio->GetParams(1)->Width, 11);
  mio->AcquireClose();
  EXPECT_FALSE(mio->GetAcquireOpened());
  EXPECT_EQ(sim::TwainState(), 2);

  // The source closing by itself is heard too; the grid going first closes it.
  ASSERT_TRUE(mio->AcquireOpen());
  ASSERT_TRUE(larktest::PumpUntil([&] { return grid->GetImageCount() == 9; }));
  ASSERT_TRUE(sim::RequestTwainClose("Scripted Scanner"));
  ASSERT_TRUE(larktest::PumpUntil([&] { return !mio->GetAcquireOpened(); }));
  ASSERT_TRUE(mio->AcquireOpen());
  form.reset();
  larktest::PumpPending();
  EXPECT_EQ(sim::TwainState(), 2);
}

// A multi-image component's scanner settings start with the feeder, automatic
// feeding and duplex on, and go back to that when reset; a single-image
// component's start off.
TEST_F(GridScanTest, FeederDefaults) {
  TIETWainParams& tw = *mio->GetTWainParams();
  const auto feeder = [](TIETWainParams& p) {
    const TIETWSourceCaps& c = p.Caps();
    return std::vector<bool>{c.FeederEnabled, c.AutoFeed, c.DuplexEnabled};
  };
  EXPECT_EQ(feeder(tw), (std::vector<bool>{true, true, true}));
  tw.SetFeederEnabled(false);
  tw.SetDefaultParams();
  EXPECT_EQ(feeder(tw), (std::vector<bool>{true, true, true}));
  EXPECT_EQ(feeder(*io.GetTWainParams()), (std::vector<bool>{false, false, false}));
}

}  // namespace
