// The facade view passes each operation to the component that does it: loads and
// saves through the input/output component (checked against files written and read
// by ImageMagick and Pillow), resampling, clearing and undo through the processing
// component; a store being loaded on a worker thread is never painted meanwhile.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "image/proc/dadiravproc_resample.h"
#include "tests/image/views/views_test_util.h"

namespace {

using viewtest::ViewForm;

// RGB bytes of a file as Pillow reads them, and its size.
std::string PillowPixels(const std::string& dir, const std::string& path) {
  return viewtest::RunPython(dir, "from PIL import Image\n"
                                  "im = Image.open('" + path + "').convert('RGB')\n"
                                  "open(out_path, 'wb').write(im.tobytes())\n");
}

TEST(FacadeView, LoadsFilesWrittenByImageMagick) {
  larktest::TempDir dir;
  const std::string png = viewtest::MakePhotoFile(dir.Path(), 97, 61);
  ASSERT_FALSE(png.empty());
  const std::string convert = larktest::RequireProgram(viewtest::kConvert);
  struct Case {
    const char* ext;
    bool exact;
  };
  const std::vector<Case> cases = {{"png", true}, {"bmp", true}, {"tif", true}, {"pcx", true},
                                   {"tga", true}, {"ppm", true}, {"jpg", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ext);
    const std::string path = dir.Path() + "in." + c.ext;
    int code = -1;
    // TIFF as the library reads it (the reader has no Deflate).
    larktest::RunCommand({convert, png, "-type", "TrueColor", "-compress",
                          std::string(c.ext) == "tif" ? "None" : "Undefined", path},
                         &code);
    ASSERT_EQ(code, 0);
    TDadirAv view(nullptr);
    view.LoadFromFile(path.c_str());
    EXPECT_FALSE(view.GetAborting());
    ASSERT_EQ(view.GetIEBitmap()->GetWidth(), 97);
    ASSERT_EQ(view.GetIEBitmap()->GetHeight(), 61);
    EXPECT_TRUE(view.GetBitmap()->GetModified());
    const std::string ours = viewtest::StoreBytes(view.GetIEBitmap());
    const std::string peer = PillowPixels(dir.Path(), path);
    if (c.exact)
      EXPECT_EQ(ours, peer);
    else
      EXPECT_GE(viewtest::Psnr(ours, peer), 35);
  }
}

TEST(FacadeView, SavesFilesPillowReadsBack) {
  larktest::TempDir dir;
  const std::string png = viewtest::MakePhotoFile(dir.Path(), 80, 50);
  TDadirAv view(nullptr);
  view.LoadFromFile(png.c_str());
  const std::string pixels = viewtest::StoreBytes(view.GetIEBitmap());
  for (const char* ext : {"bmp", "png", "tif", "jpg", "tga"}) {
    SCOPED_TRACE(ext);
    const std::string path = dir.Path() + "out." + ext;
    view.SaveToFile(path.c_str());
    EXPECT_FALSE(view.GetAborting());
    const std::string back = PillowPixels(dir.Path(), path);
    if (std::string(ext) == "jpg")
      EXPECT_GE(viewtest::Psnr(back, pixels), 30);
    else
      EXPECT_EQ(back, pixels);
  }
  // A name with no known extension fails and says so.
  view.SaveToFile((dir.Path() + "out.nothing").c_str());
  EXPECT_TRUE(view.GetAborting());
}

TEST(FacadeView, ForwardsToTheProcessingComponent) {
  larktest::TempDir dir;
  const std::string png = viewtest::MakePhotoFile(dir.Path(), 120, 90);
  TDadirAv view(nullptr);
  view.LoadFromFile(png.c_str());
  TIEBitmap before;
  before.SetLocation(ieMemory);
  before.Assign(view.GetIEBitmap());

  // Resample: the processing unit's resampler, with an undo entry.
  view.SetAutoUndo(true);
  view.SetUndoLimit(5);
  view.Resample(60, 45, rfBicubic);
  TIEBitmap expect;
  expect.SetLocation(ieMemory);
  expect.Allocate(60, 45, ie24RGB);
  _ResampleEx(&before, &expect, rfBicubic);
  EXPECT_EQ(viewtest::StoreBytes(view.GetIEBitmap()), viewtest::StoreBytes(&expect));
  EXPECT_EQ(view.GetUndoCount(), 1);
  EXPECT_EQ(view.GetBitmap()->GetWidth(), 60);  // the view's framework bitmap follows

  // Clear: the processing component's, filling with the background, with undo.
  view.SetBackGround(0x00204080);
  view.Clear();
  EXPECT_EQ(view.GetIEBitmap()->GetPixels(5, 5).r, 0x80);
  EXPECT_EQ(view.GetUndoCount(), 2);
  view.Undo();
  EXPECT_EQ(viewtest::StoreBytes(view.GetIEBitmap()), viewtest::StoreBytes(&expect));

  // Properties kept by the components.
  view.SetMsgLanguage(msItalian);
  EXPECT_EQ(view.GetDadirAvProc()->GetMsgLanguage(), msItalian);
  view.SetUndoLimit(3);
  EXPECT_EQ(view.GetDadirAvProc()->GetUndoLimit(), 3);
  view.SetAutoUndo(false);
  EXPECT_FALSE(view.GetDadirAvProc()->GetAutoUndo());
  view.SetStreamHeaders(true);
  EXPECT_TRUE(view.GetDadirAvIO()->StreamHeaders);
  view.Negative();
  EXPECT_EQ(view.GetIEBitmap()->GetPixels(0, 0).r, 255 - expect.GetPixels(0, 0).r);
}

TEST(FacadeView, AssignCopiesImageAndParameters) {
  larktest::TempDir dir;
  const std::string png = viewtest::MakePhotoFile(dir.Path(), 40, 30);
  TDadirAv a(nullptr), b(nullptr);
  a.LoadFromFile(png.c_str());
  a.GetIOParams()->JPEG_Quality = 42;
  a.SetDPI(300, 200);
  b.Assign(&a);
  EXPECT_EQ(viewtest::StoreBytes(b.GetIEBitmap()), viewtest::StoreBytes(a.GetIEBitmap()));
  EXPECT_EQ(b.GetIOParams()->JPEG_Quality, 42);
  EXPECT_EQ(b.GetDPIX(), 300);
  b.Assign(nullptr);  // clears to the background, keeping the size
  EXPECT_EQ(b.GetIEBitmap()->GetWidth(), 40);
}

TEST(FacadeView, ComponentsFollowTheCurrentLayerAndForgetAViewThatGoes) {
  auto view = std::make_unique<TDadirAvView>(nullptr);
  TDadirAvIO io(nullptr);
  io.SetAttachedDadirAv(view.get());
  EXPECT_EQ(io.GetIEBitmap(), view->GetIEBitmap());
  view->LayersAdd();
  EXPECT_EQ(io.GetIEBitmap(), view->GetIEBitmap());
  view.reset();
  EXPECT_EQ(io.GetAttachedDadirAv(), nullptr);
}

TEST(FacadeView, StoreLoadedOnAWorkerThreadIsPaintedOnlyWhenDone) {
  larktest::TempDir dir;
  const std::string png = viewtest::MakePhotoFile(dir.Path(), 800, 600);
  ViewForm f(200, 150);
  f.view->AutoFit = true;
  f.view->GetDadirAvIO()->SetAsyncMode(true);
  const Integer rendersBefore = f.view->GetRenderCount();
  f.view->LoadFromFile(png.c_str());
  // While the worker runs the view paints and lays out as often as asked.
  for (int i = 0; i < 20 && f.view->GetDadirAvIO()->GetAsyncRunning() > 0; ++i) {
    f.view->Update();
    f.view->Invalidate();
    larktest::PumpPending();
  }
  ASSERT_TRUE(larktest::PumpUntil([&] { return f.view->GetDadirAvIO()->GetAsyncRunning() == 0; }));
  viewtest::Pump();
  EXPECT_FALSE(f.view->GetAborting());
  EXPECT_EQ(f.view->GetIEBitmap()->GetWidth(), 800);
  EXPECT_DOUBLE_EQ(f.view->GetZoom(), 25);
  EXPECT_GT(f.view->GetRenderCount(), rendersBefore);
  EXPECT_EQ(f.view->GetPaintDestWidth(), 200);
}

}  // namespace

namespace {

// Each operation through the facade and straight on a processing component that
// works on an equal picture give the same pixels.
TEST(FacadeView, ForwardingTable) {
  larktest::TempDir dir;
  const std::string png = viewtest::MakePhotoFile(dir.Path(), 64, 48);
  struct Op {
    const char* name;
    std::function<void(TDadirAv&)> facade;
    std::function<void(TDadirAvProc&)> direct;
  };
  const std::vector<Op> ops = {
      {"Negative", [](TDadirAv& v) { v.Negative(); }, [](TDadirAvProc& p) { p.Negative(); }},
      {"ConvertToGray", [](TDadirAv& v) { v.ConvertToGray(); },
       [](TDadirAvProc& p) { p.ConvertToGray(); }},
      {"Contrast", [](TDadirAv& v) { v.Contrast(30); }, [](TDadirAvProc& p) { p.Contrast(30); }},
      {"HSLvar", [](TDadirAv& v) { v.HSLvar(10, 5, -3); },
       [](TDadirAvProc& p) { p.HSLvar(10, 5, -3); }},
      {"Flip", [](TDadirAv& v) { v.Flip(TFlipDir::fdHorizontal); },
       [](TDadirAvProc& p) { p.Flip(TFlipDir::fdHorizontal); }},
      {"Resample", [](TDadirAv& v) { v.Resample(50, 40, rfLanczos3); },
       [](TDadirAvProc& p) { p.Resample(50, 40, rfLanczos3); }},
      {"ImageResize", [](TDadirAv& v) { v.ImageResize(70, 60); },
       [](TDadirAvProc& p) { p.ImageResize(70, 60); }},
      {"ApplyFilterPreset", [](TDadirAv& v) { v.ApplyFilterPreset(TIEFilterPresets::fpBlur); },
       [](TDadirAvProc& p) { p.ApplyFilterPreset(TIEFilterPresets::fpBlur); }},
      {"HistAutoEqualize", [](TDadirAv& v) { v.HistAutoEqualize(); },
       [](TDadirAvProc& p) { p.HistAutoEqualize(); }},
      {"Maximum", [](TDadirAv& v) { v.Maximum(3); }, [](TDadirAvProc& p) { p.Maximum(3); }},
      {"ConvertToBWThreshold", [](TDadirAv& v) { v.ConvertToBWThreshold(128); },
       [](TDadirAvProc& p) { p.ConvertToBWThreshold(128); }},
  };
  for (const Op& op : ops) {
    SCOPED_TRACE(op.name);
    TDadirAv view(nullptr);
    view.LoadFromFile(png.c_str());
    TIEBitmap copy;
    copy.SetLocation(ieMemory);
    copy.Assign(view.GetIEBitmap());
    TDadirAvProc proc(nullptr);
    proc.SetIEBitmap(&copy);
    proc.SetBackground(view.GetBackground());  // a view's processing fills with its background
    op.facade(view);
    op.direct(proc);
    EXPECT_EQ(view.GetIEBitmap()->GetWidth(), copy.GetWidth());
    EXPECT_EQ(view.GetIEBitmap()->GetPixelFormat(), copy.GetPixelFormat());
    EXPECT_TRUE(viewtest::StoreBytes(view.GetIEBitmap()) == viewtest::StoreBytes(&copy));
  }
  // The loads and saves by format reach the input/output component.
  TDadirAv view(nullptr);
  view.LoadFromFilePNG(png.c_str());
  EXPECT_FALSE(view.GetAborting());
  view.SaveToFileBMP((dir.Path() + "x.bmp").c_str());
  TMemoryStream stream;
  view.SaveToStreamPNG(&stream);
  stream.SetPosition(0);
  TDadirAv other(nullptr);
  other.LoadFromStream(&stream);
  EXPECT_EQ(viewtest::StoreBytes(other.GetIEBitmap()), viewtest::StoreBytes(view.GetIEBitmap()));
  TDadirAv third(nullptr);
  third.LoadFromFileBMP((dir.Path() + "x.bmp").c_str());
  EXPECT_EQ(viewtest::StoreBytes(third.GetIEBitmap()), viewtest::StoreBytes(view.GetIEBitmap()));
}

}  // namespace
