// Clipboard and selection editing: copies read back by Pillow, pastes, cut, clear
// and crop through masks, polygon copies and bitmap comparison.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <future>
#include <string>
#include <thread>

#include "image/model/iebitmap.h"
#include "image/model/iemask.h"
#include "image/proc/dadiravproc.h"
#include "platform/win/Clipboard.h"
#include "tests/image/file_test_util.h"
#include "tests/image/proc_peer_util.h"
#include "tests/image/proc_test_util.h"
#include "tests/support/Peers.h"

using proctest::Art;
using procpeer::Bytes;

namespace {

const proctest::Palette kColors{{'r', {0, 0, 200}}, {'g', {0, 200, 0}}, {'b', {200, 0, 0}},
                                {'k', {0, 0, 0}},   {'w', {255, 255, 255}}, {'m', {0, 0, 100}}};

class SelectingProc : public TDadirAvProc {
 public:
  SelectingProc() : TDadirAvProc(nullptr) {}
  bool GetReSel(Integer& x1, Integer& y1, Integer& x2, Integer& y2, POINT*& polySel,
                Integer& polySelCount, TIEMask*& mask) override {
    TDadirAvProc::GetReSel(x1, y1, x2, y2, polySel, polySelCount, mask);
    if (!Selected) return false;
    mask = &Selection;
    if (Selection.IsEmpty()) return true;
    x1 = Selection.GetX1();
    y1 = Selection.GetY1();
    x2 = Selection.GetX2() + 1;
    y2 = Selection.GetY2() + 1;
    return true;
  }
  void SelectArt(const Art& art) {
    proctest::FillMask(Selection, art);
    Selected = true;
  }
  TIEMask Selection;
  bool Selected = false;
};

void EmptyTheClipboard() {
  ASSERT_TRUE(OpenClipboard(0));
  EmptyClipboard();
  CloseClipboard();
}

// The clipboard's DIB as a BMP file (a file header in front), for outside readers.
std::string ClipboardAsBmp() {
  if (!OpenClipboard(0)) return {};
  const HANDLE dib = GetClipboardData(CF_DIB);
  std::string bmp;
  if (dib != 0) {
    const size_t size = GlobalSize(dib);
    const auto* p = static_cast<const Byte*>(GlobalLock(dib));
    uint32_t header = 0, bits = 0, used = 0;
    std::memcpy(&header, p, 4);
    std::memcpy(&bits, p + 14, 2);
    std::memcpy(&used, p + 32, 4);
    const uint32_t palette = bits <= 8 ? 4 * (used != 0 ? used : (1u << (bits & 0xFFFF))) : 0;
    const uint32_t offset = 14 + header + palette, total = 14 + static_cast<uint32_t>(size);
    bmp = "BM";
    bmp.append(reinterpret_cast<const char*>(&total), 4);
    bmp.append(4, '\0');
    bmp.append(reinterpret_cast<const char*>(&offset), 4);
    bmp.append(reinterpret_cast<const char*>(p), size);
    GlobalUnlock(dib);
  }
  CloseClipboard();
  return bmp;
}

}  // namespace

TEST(ProcClipboard, CopiedImagesReadBackByPillowAndPastedBack) {
  for (TIEPixelFormat format : {ie24RGB, ie1g}) {
    EmptyTheClipboard();
    std::unique_ptr<TIEBitmap> image;
    if (format == ie24RGB)
      image = procpeer::MakePhoto(13, 7);
    else
      image = proctest::Make1g({"#..##.#..#", ".##..#.##.", "#.#.#.#.#."});
    TDadirAvProc proc(nullptr);
    proc.SetAttachedIEBitmap(image.get());
    proc.CopyToClipboard();
    ASSERT_TRUE(IsClipboardFormatAvailable(CF_DIB));
    // Pillow reads the DIB as the same picture.
    larktest::TempDir dir;
    file_test::WriteFile(dir.Path() + "clip.bmp", ClipboardAsBmp());
    const std::string python = larktest::RequireProgram(procpeer::kPython);
    int code = -1;
    const std::string pixels = larktest::RunCommand(
        {python, "-c",
         "import sys; from PIL import Image\n"
         "im = Image.open(sys.argv[1]).convert('RGB')\n"
         "sys.stdout.buffer.write(b''.join(bytes((b, g, r)) for (r, g, b) in im.getdata()))\n",
         dir.Path() + "clip.bmp"},
        &code);
    ASSERT_EQ(code, 0);
    std::string ours;
    for (Integer y = 0; y < image->GetHeight(); ++y)
      for (Integer x = 0; x < image->GetWidth(); ++x) {
        const TRGB c = image->GetPixels(x, y);
        ours += static_cast<char>(c.b);
        ours += static_cast<char>(c.g);
        ours += static_cast<char>(c.r);
      }
    EXPECT_EQ(pixels, ours);
    // Pasted into an empty component, the same image comes back.
    TIEBitmap target;
    target.Allocate(1, 1, ie24RGB);
    TDadirAvProc other(nullptr);
    other.SetAttachedIEBitmap(&target);
    other.PasteFromClipboard();
    EXPECT_EQ(other.GetUndoCaptions(0), "PastFromClipboard");
    ASSERT_EQ(target.GetPixelFormat(), format);
    ASSERT_EQ(target.GetWidth(), image->GetWidth());
    for (Integer y = 0; y < image->GetHeight(); ++y)
      for (Integer x = 0; x < image->GetWidth(); ++x)
        ASSERT_EQ(target.GetPixels(x, y), image->GetPixels(x, y));
  }
}

TEST(ProcClipboard, PastesChangeNothingWithoutAReadableDib) {
  EmptyTheClipboard();
  auto image = proctest::Make24({"rg", "bk"}, kColors);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(image.get());
  proc.PasteFromClipboard();
  proc.PointPasteFromClip(0, 0);
  proc.SelPasteFromClipStretch();
  EXPECT_EQ(proc.GetUndoCount(), 0);
  // A damaged block on the clipboard is not read either.
  ASSERT_TRUE(OpenClipboard(0));
  HGLOBAL junk = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 10);
  SetClipboardData(CF_DIB, junk);
  CloseClipboard();
  proc.PasteFromClipboard();
  EXPECT_EQ(proc.GetUndoCount(), 0);
  EXPECT_ART(proctest::Read24(*image, kColors), (Art{"rg", "bk"}));
  // Held by another thread: the clipboard cannot be opened.
  proc.CopyToClipboard();  // replaces the junk
  std::promise<void> opened, release;
  std::thread holder([&] {
    OpenClipboard(0);
    opened.set_value();
    release.get_future().wait();
    CloseClipboard();
  });
  opened.get_future().wait();
  auto other = proctest::Make24({"ww"}, kColors);
  TDadirAvProc proc2(nullptr);
  proc2.SetAttachedIEBitmap(other.get());
  proc2.PasteFromClipboard();
  proc2.CopyToClipboard();
  release.set_value();
  holder.join();
  EXPECT_EQ(proc2.GetUndoCount(), 0);
  EXPECT_ART(proctest::Read24(*other, kColors), (Art{"ww"}));
  proc2.PasteFromClipboard();  // the first image is still there
  EXPECT_ART(proctest::Read24(*other, kColors), (Art{"rg", "bk"}));
}

TEST(ProcClipboard, PointPasteIsClippedAndNeedsTheSameFormat) {
  EmptyTheClipboard();
  auto small = proctest::Make24({"rg", "bk"}, kColors);
  TDadirAvProc source(nullptr);
  source.SetAttachedIEBitmap(small.get());
  source.CopyToClipboard();
  auto image = proctest::Make24({"www", "www", "www"}, kColors);
  TDadirAvProc proc(nullptr);
  proc.SetAttachedIEBitmap(image.get());
  proc.PointPasteFromClip(2, 1);
  EXPECT_EQ(proc.GetUndoCaptions(0), "PointPasteFromClip 2,1");
  EXPECT_ART(proctest::Read24(*image, kColors), (Art{"www", "wwr", "wwb"}));
  proc.PointPasteFromClip(3, 0);
  proc.PointPasteFromClip(0, 5);
  proc.PointPasteFromClip(-2, 0);
  proc.PointPasteFromClip(-1, -1);
  EXPECT_ART(proctest::Read24(*image, kColors), (Art{"kww", "wwr", "wwb"}));
  // A 1-bit picture over a 24-bit image is not pasted; the entry is still made.
  auto bits = proctest::Make1g({"#."});
  source.SetAttachedIEBitmap(bits.get());
  source.CopyToClipboard();
  proc.PointPasteFromClip(0, 0);
  EXPECT_EQ(proc.GetUndoCaptions(0), "PointPasteFromClip 0,0");
  EXPECT_ART(proctest::Read24(*image, kColors), (Art{"kww", "wwr", "wwb"}));
}

TEST(ProcClipboard, SelectionCopyCutStretchAndCrop) {
  EmptyTheClipboard();
  auto image = proctest::Make24({"rgbk", "grbk", "bbkk"}, kColors);
  SelectingProc proc;
  proc.SetAttachedIEBitmap(image.get());
  proc.SetReBackground(RGB2TColor(255, 255, 255));
  // Without a selection a cut does nothing at all.
  proc.SelCutToClip();
  EXPECT_EQ(proc.GetUndoCount(), 0);
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_DIB));
  // A diagonal selection: its box goes to the clipboard, unselected pixels white.
  proc.SelectArt({".#..", "..#.", "...."});
  proc.SelCutToClip();
  EXPECT_EQ(proc.GetUndoCaptions(0), "SelCutToClip");
  EXPECT_ART(proctest::Read24(*image, kColors), (Art{"rwbk", "grwk", "bbkk"}));
  TIEBitmap pasted;
  TDadirAvProc reader(nullptr);
  reader.SetAttachedIEBitmap(&pasted);
  reader.PasteFromClipboard();
  EXPECT_ART(proctest::Read24(pasted, kColors), (Art{"gw", "wb"}));
  // Stretched into the selection box.
  proc.SelectArt({"....", "..##", "..##"});
  proc.SelPasteFromClipStretch();
  EXPECT_ART(proctest::Read24(*image, kColors), (Art{"rwbk", "grgw", "bbwb"}));
  // Crop keeps the box, only selected pixels from the image.
  proc.SelectArt({"##..", "#...", "...."});
  proc.CropSel();
  EXPECT_EQ(proc.GetUndoCaptions(0), "CropSel");
  EXPECT_ART(proctest::Read24(*image, kColors), (Art{"rw", "gw"}));
}

TEST(ProcClipboard, ClearAndClearSelWithAFeatheredMask) {
  auto image = proctest::Make24({"kkk", "kkk"}, kColors);
  SelectingProc proc;
  proc.SetAttachedIEBitmap(image.get());
  proc.SetReBackground(RGB2TColor(200, 0, 0));
  proc.Selected = true;
  proc.Selection.AllocateBits(3, 2, 8);
  proc.Selection.SetPixel(0, 0, 255);
  proc.Selection.SetPixel(1, 0, 128);
  proc.ClearSel();
  EXPECT_EQ(proc.GetUndoCaptions(0), "ClearSel");
  EXPECT_EQ(image->GetPixels_ie24RGB(0, 0).r, 199);  // 0 + floor(200 x 255 / 256)
  EXPECT_EQ(image->GetPixels_ie24RGB(1, 0).r, 100);  // blended by the mask value
  EXPECT_EQ(image->GetPixels_ie24RGB(2, 0).r, 0);
  proc.Clear();
  EXPECT_EQ(proc.GetUndoCaptions(0), "Clear");
  for (Integer x = 0; x < 3; ++x) EXPECT_EQ(image->GetPixels_ie24RGB(x, 1), (TRGB{0, 0, 200}));
}

TEST(ProcClipboard, CropOfAnEllipse) {
  TIEBitmap image;
  image.Allocate(40, 30, ie24RGB);
  image.Fill(RGB2TColor(0, 200, 0));
  SelectingProc proc;
  proc.SetAttachedIEBitmap(&image);
  proc.SetReBackground(RGB2TColor(255, 255, 255));
  Art ellipse(30, std::string(40, '.'));
  for (Integer y = 0; y < 30; ++y)
    for (Integer x = 0; x < 40; ++x) {
      const double dx = (x + 0.5 - 20) / 10, dy = (y + 0.5 - 15) / 6;
      if (dx * dx + dy * dy <= 1) ellipse[static_cast<size_t>(y)][static_cast<size_t>(x)] = '#';
    }
  proc.SelectArt(ellipse);
  const proctest::Box box = proctest::BoxOf(proc.Selection);
  proc.CropSel();
  ASSERT_EQ(image.GetWidth(), box.x2 - box.x1 + 1);
  ASSERT_EQ(image.GetHeight(), box.y2 - box.y1 + 1);
  for (Integer y = 0; y < image.GetHeight(); ++y)
    for (Integer x = 0; x < image.GetWidth(); ++x) {
      const bool inside = ellipse[static_cast<size_t>(y + box.y1)][static_cast<size_t>(x + box.x1)] == '#';
      ASSERT_EQ(image.GetPixels_ie24RGB(x, y), inside ? (TRGB{0, 200, 0}) : (TRGB{255, 255, 255}));
    }
}

TEST(ProcSelectionCopies, PolygonsCopyOnlyTheirInside) {
  TBitmap source, dest;
  source.SetPixelFormat(pf24bit);
  source.SetSize(8, 8);
  dest.SetPixelFormat(pf24bit);
  dest.SetSize(4, 4);
  for (Integer y = 0; y < 8; ++y) std::memset(source.ScanLine(y), 0x80, 24);
  for (Integer y = 0; y < 4; ++y) std::memset(dest.ScanLine(y), 0, 12);
  const POINT two[2] = {{0, 0}, {4, 4}};
  _CopyPolygonToPoint(&source, two, 2, &dest, POINT{0, 0});
  EXPECT_EQ(dest.GetWidth(), 4);
  for (Integer y = 0; y < 4; ++y) EXPECT_EQ(static_cast<const Byte*>(dest.ScanLine(y))[0], 0);
  // A rectangle and a triangle separated by the break point; dest grows to hold the
  // copy at (2, 2).
  const POINT shapes[] = {{0, 0}, {2, 0}, {2, 2}, {0, 2}, {0xFFFFF, 0}, {4, 4}, {6, 4}, {4, 6}};
  _CopyPolygonToPoint(&source, shapes, 8, &dest, POINT{2, 2});
  EXPECT_GE(dest.GetWidth(), 9);
  EXPECT_GE(dest.GetHeight(), 9);
  auto at = [&](Integer x, Integer y) { return static_cast<const Byte*>(dest.ScanLine(y))[x * 3]; };
  EXPECT_EQ(at(2, 2), 0x80);  // inside the square
  EXPECT_EQ(at(3, 3), 0x80);
  EXPECT_EQ(at(5, 5), 0);     // between the shapes
  EXPECT_EQ(at(6, 6), 0x80);  // inside the triangle
  EXPECT_EQ(at(7, 7), 0);     // its far corner is outside
}

TEST(ProcSelectionCopies, BitmapCompare) {
  auto make = [](TPixelFormat format, Integer w, Integer h, Byte fill) {
    auto b = std::make_unique<TBitmap>();
    b->SetPixelFormat(format);
    b->SetSize(w, h);
    for (Integer y = 0; y < h; ++y) std::memset(b->ScanLine(y), fill, static_cast<size_t>(w) * 3);
    return b;
  };
  auto a = make(pf24bit, 5, 3, 7), b = make(pf24bit, 5, 3, 7);
  EXPECT_TRUE(_BitmapCompareX(a.get(), b.get()));
  static_cast<Byte*>(b->ScanLine(2))[14] = 8;
  EXPECT_FALSE(_BitmapCompareX(a.get(), b.get()));
  EXPECT_FALSE(_BitmapCompareX(a.get(), make(pf24bit, 5, 4, 7).get()));
  // Another pixel format is never equal (their memories differ in size).
  auto mono = std::make_unique<TBitmap>();
  mono->SetPixelFormat(pf1bit);
  mono->SetSize(5, 3);
  EXPECT_FALSE(_BitmapCompareX(a.get(), mono.get()));
  EXPECT_FALSE(_BitmapCompareX(a.get(), nullptr));
}
