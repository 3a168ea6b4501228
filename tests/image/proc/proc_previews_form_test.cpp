// The preview dialog as a person uses it: the processing component opens it, the
// person picks a page and a value with injected input, OK applies it to the image.
// Results against OpenCV (filter2D, morphology), ImageMagick (flips) and numpy
// (frequency-zone clearing); filter files against python3's struct; files that are
// short, odd or gone.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "image/proc/dadiravproc.h"
#include "image/proc/iefft.h"
#include "platform/rtl/Strings.h"
#include "platform/sim/Dialogs.h"
#include "platform/sim/Input.h"
#include "platform/vcl/Buttons.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/ComCtrlsBasic.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/win/MessageBox.h"
#include "tests/image/proc/previews_test_util.h"
#include "tests/image/proc_test_util.h"
#include "platform/x11/X11Display.h"
#include "tests/support/Peers.h"
#include "tests/support/XServer.h"
#include "tests/support/Steps.h"

using previewtest::Clone;
using previewtest::Pump;
using previewtest::SamePixels;

namespace {

using larktest::Steps;

// What the person does with the dialog on screen.
struct Person {
  TfPreviews& dlg;

  TControl* Named(const std::string& name) {
    TControl* c = dlg.ControlNamed(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
  }
  void ClickAt(TControl* c, Integer x, Integer y, sim::Button b = sim::Button::Left) {
    if (auto* w = dynamic_cast<TWinControl*>(c)) {
      sim::Click(w->GetHandle(), x, y, b);
    } else {
      sim::Click(c->GetParent()->GetHandle(), c->GetLeft() + x, c->GetTop() + y, b);
    }
    Pump();
  }
  void Click(TControl* c) { ClickAt(c, c->GetWidth() / 2, c->GetHeight() / 2); }
  void Click(const std::string& name) { Click(Named(name)); }
  void Page(Integer tag) {
    auto* pc = static_cast<TPageControl*>(Named("PageControl1"));
    auto* sheet = static_cast<TTabSheet*>(Named("TabSheet" + std::to_string(tag)));
    const TRect r = pc->TabRect(sheet->GetTabIndex());
    sim::Click(pc->GetHandle(), (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    Pump();
    EXPECT_EQ(dlg.Logic().ActivePage(), tag);
  }
  // Replaces an edit's text by typing.
  void Type(const void* model, const std::string& text) {
    TControl* c = dlg.ControlOf(model);
    ASSERT_NE(c, nullptr);
    Click(c);
    sim::PressKey(VK_END);
    for (int i = 0; i < 12; ++i) sim::PressKey(VK_BACK);
    sim::TypeText(text);
    Pump();
  }
  void Keys(const void* model, std::vector<UINT> keys) {
    TControl* c = dlg.ControlOf(model);
    ASSERT_NE(c, nullptr);
    Click(c);
    for (UINT k : keys) sim::PressKey(k);
    Pump();
  }
};

// Opens the dialog through the processing component on image and lets `person` act;
// the result of DoPreviews.
bool RunDialog(TIEBitmap* image, TPreviewEffects effects, const std::function<void(Person&)>& person,
               TPRPreviewsParams params = {}, TDadirAvProc* with = nullptr) {
  sim::ResetInput();
  TDadirAvProc own(nullptr);
  TDadirAvProc& proc = with != nullptr ? *with : own;
  if (with == nullptr) {
    proc.SetAttachedIEBitmap(image);
    proc.SetAutoUndo(false);
  }
  proc.SetMsgLanguage(msEnglish);
  proc.SetPreviewsParams(params);
  Steps steps;
  TfPreviews* dialog = nullptr;
  bool posted = false;
  proc.OnPreview = [&](TObject*, TForm* form) {
    dialog = dynamic_cast<TfPreviews*>(form);
    ASSERT_NE(dialog, nullptr);
    // Once the dialog has set itself up on its first activation.
    dialog->OnActivate = [&](TObject*) {
      if (!posted) steps.Post(1);
      posted = true;
    };
  };
  steps.On(1, [&] {
    Pump();
    Person p{*dialog};
    person(p);
    // A person who did not close the dialog cancels it.
    if (dialog->GetModalResult() == mrNone) dialog->SetModalResult(2);
  });
  const bool ok = proc.DoPreviews(effects);
  sim::ResetInput();
  return ok;
}

// A grey photograph: the three channels alike.
std::unique_ptr<TIEBitmap> GreyPhoto(Integer w, Integer h) {
  auto b = procpeer::MakePhoto(w, h);
  for (Integer y = 0; y < h; ++y) {
    Byte* row = static_cast<Byte*>(b->GetScanLine(y));
    for (Integer x = 0; x < w; ++x) row[x * 3 + 1] = row[x * 3 + 2] = row[x * 3];
  }
  return b;
}

// PPM (P6) files for ImageMagick; rows are red, green, blue.
void WritePpm(TIEBitmap& b, const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << b.GetWidth() << " " << b.GetHeight() << "\n255\n";
  for (Integer y = 0; y < b.GetHeight(); ++y)
    for (Integer x = 0; x < b.GetWidth(); ++x) {
      const TRGB c = b.GetPixels_ie24RGB(x, y);
      out.put(static_cast<char>(c.r)).put(static_cast<char>(c.g)).put(static_cast<char>(c.b));
    }
}

std::unique_ptr<TIEBitmap> ReadPpm(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int w = 0, h = 0, max = 0;
  in >> magic >> w >> h >> max;
  in.get();
  auto b = std::make_unique<TIEBitmap>();
  b->SetLocation(ieMemory);
  if (magic != "P6" || w <= 0 || h <= 0) return b;
  b->Allocate(w, h, ie24RGB);
  for (Integer y = 0; y < h; ++y)
    for (Integer x = 0; x < w; ++x) {
      char rgb[3] = {};
      in.read(rgb, 3);
      b->SetPixels_ie24RGB(x, y, TRGB{static_cast<Byte>(rgb[2]), static_cast<Byte>(rgb[1]), static_cast<Byte>(rgb[0])});
    }
  return b;
}

std::string KernelText(const TGraphFilter& f) {
  std::string s = "[";
  for (int k = 0; k < 9; ++k) s += std::to_string(f.Values[k / 3][k % 3]) + (k < 8 ? "," : "]");
  return s;
}

// OpenCV's filter2D (a correlation) with replicated borders on exact float sums,
// divided with truncation toward zero and clamped.
std::string OpenCvFilter(TIEBitmap& image, const TGraphFilter& f) {
  const int64_t d = f.Divisor == 0 ? 1 : f.Divisor;
  return procpeer::RunNumpy(image, "import cv2\n"
                                   "k = np.array(" + KernelText(f) + ", dtype=np.float64).reshape(3, 3)\n"
                                   "s = cv2.filter2D(a.astype(np.float64), -1, k, borderType=cv2.BORDER_REPLICATE)\n"
                                   "out = np.clip(np.trunc(s / " + std::to_string(d) + "), 0, 255)\n");
}

std::vector<sim::DialogRecord> Errors() {
  std::vector<sim::DialogRecord> errors;
  for (const auto& r : sim::DialogLog())
    if (r.Kind == sim::DialogKind::MessageBox) errors.push_back(r);
  return errors;
}

// --- The person's way through the dialog

TEST(PreviewsForm, APersonAdjustsAndOkAppliesTheWorker) {
  auto image = procpeer::MakePhoto(120, 90);
  auto original = Clone(image.get());
  // Red slider to the right by keys, then OK.
  EXPECT_TRUE(RunDialog(image.get(), TPreviewEffects{peRGB, peContrast}, [](Person& p) {
    EXPECT_TRUE(p.dlg.Logic().Pages[ppContrast].Visible);
    EXPECT_FALSE(p.dlg.Logic().Pages[ppHSV].Visible);
    p.Page(ppRGB);
    p.Keys(&p.dlg.Logic().TrackRed, {VK_RIGHT, VK_RIGHT, VK_RIGHT});
    EXPECT_EQ(p.dlg.Logic().Params.R, 3);
    EXPECT_EQ(p.dlg.Logic().EditRed.Text, "3");
    p.Type(&p.dlg.Logic().EditGreen, "-40");
    EXPECT_EQ(static_cast<TTrackBar*>(p.dlg.ControlOf(&p.dlg.Logic().TrackGreen))->GetPosition(), -40);
    p.Click("Button1");
  }));
  auto expected = Clone(original.get());
  _IntensityRGBall(expected.get(), 3, -40, 0, 0, 0, 120, 90, nullptr, nullptr);
  EXPECT_TRUE(SamePixels(*image, *expected));

  // Cancel leaves the image alone.
  auto before = Clone(image.get());
  EXPECT_FALSE(RunDialog(image.get(), TPreviewEffects{peAll}, [](Person& p) {
    p.Type(&p.dlg.Logic().EditContrast, "50");
    EXPECT_EQ(p.dlg.Logic().Params.Contrast, 50);
    p.Click("Button2");
  }));
  EXPECT_TRUE(SamePixels(*image, *before));

  // "Lock preview" from the component's options: down at the start, "&Preview" off.
  RunDialog(image.get(), TPreviewEffects{peHSV}, [](Person& p) {
    EXPECT_TRUE(p.dlg.Logic().LockPreview.Down);
    EXPECT_FALSE(p.dlg.ControlNamed("Button3")->GetEnabled());
    EXPECT_EQ(p.dlg.Logic().ActivePage(), ppHSV);
    p.Click("SpeedButton1");
    EXPECT_FALSE(p.dlg.Logic().LockPreview.Down);
    EXPECT_TRUE(p.dlg.ControlNamed("Button3")->GetEnabled());
  }, TPRPreviewsParams{prppDefaultLockPreview});
  // A 1 x 1 image opens no dialog.
  auto one = procpeer::MakePhoto(1, 1);
  bool shown = false;
  EXPECT_FALSE(RunDialog(one.get(), TPreviewEffects{peAll}, [&](Person&) { shown = true; }));
  EXPECT_FALSE(shown);
}

// A selection: the dialog works on its box, and only the selected pixels take the
// result; an undo entry "Previews" when AutoUndo is on.
TEST(PreviewsForm, TheSelectionsBoxIsAdjustedThroughItsMask) {
  auto image = procpeer::MakePhoto(80, 60);
  auto original = Clone(image.get());
  proctest::SelectingProc proc;
  proc.SetAttachedIEBitmap(image.get());
  proc.SetAutoUndo(true);
  proc.SetUndoLocation(ieMemory);
  proc.SelectRect(80, 60, 10, 20, 29, 39);
  proc.Selection.SetPixel(10, 20, 0);  // a corner left out
  Integer boxW = 0, boxH = 0;
  EXPECT_TRUE(RunDialog(image.get(), TPreviewEffects{peRGB}, [&](Person& p) {
    boxW = p.dlg.DadirAv1->GetIEBitmap()->GetWidth();
    boxH = p.dlg.DadirAv1->GetIEBitmap()->GetHeight();
    p.Type(&p.dlg.Logic().EditRed, "90");
    p.Click("Button1");
  }, {}, &proc));
  EXPECT_EQ(boxW, 20);
  EXPECT_EQ(boxH, 20);
  EXPECT_EQ(proc.GetUndoCaptions(0), "Previews");
  auto expected = Clone(original.get());
  _IntensityRGBall(expected.get(), 90, 0, 0, 10, 20, 30, 40, nullptr, nullptr);
  expected->SetPixels_ie24RGB(10, 20, original->GetPixels_ie24RGB(10, 20));
  EXPECT_TRUE(SamePixels(*image, *expected));
}

// The flips against ImageMagick's -flop and -flip, through the rotate page's buttons.
TEST(PreviewsForm, FlipsMatchImageMagick) {
  const std::string convert = larktest::RequireProgram("convert-im6.q16");
  ASSERT_FALSE(convert.empty());
  larktest::TempDir dir;
  auto photo = procpeer::MakePhoto(77, 51);
  WritePpm(*photo, dir.Path() + "in.ppm");
  struct Case {
    const char* button;
    std::vector<std::string> args;
  };
  for (const Case& c : std::vector<Case>{{"SpeedButtonFlipHor", {"-flop"}},
                                         {"SpeedButtonFlipVer", {"-flip"}},
                                         {"", {"-flop", "-flip"}}}) {
    auto image = Clone(photo.get());
    EXPECT_TRUE(RunDialog(image.get(), TPreviewEffects{peRotate}, [&](Person& p) {
      if (*c.button != 0) {
        p.Click(c.button);
      } else {
        p.Click("SpeedButtonFlipHor");
        p.Click("SpeedButtonFlipVer");
      }
      p.Click("Button1");
    }));
    std::vector<std::string> argv = {convert, dir.Path() + "in.ppm"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    argv.push_back(dir.Path() + "out.ppm");
    int code = -1;
    larktest::RunCommand(argv, &code);
    ASSERT_EQ(code, 0);
    auto peer = ReadPpm(dir.Path() + "out.ppm");
    EXPECT_TRUE(SamePixels(*image, *peer)) << c.args.size();
  }
}

// The user filter, typed into the kernel's edits, and every preset against OpenCV.
TEST(PreviewsForm, UserFilterAndPresetsMatchOpenCv) {
  auto photo = procpeer::MakePhoto(64, 48, ie24RGB, 9);
  auto image = Clone(photo.get());
  EXPECT_TRUE(RunDialog(image.get(), TPreviewEffects{peUserFilt}, [](Person& p) {
    auto& L = p.dlg.Logic();
    const char* values[10] = {"1", "-2", "3", "0", "5", "0", "-1", "2", "4", "3"};
    for (size_t k = 0; k < 10; ++k) p.Type(&L.EditFilter[k], values[k]);
    p.Click("Button1");
  }));
  TGraphFilter typed;
  const int32_t v[9] = {1, -2, 3, 0, 5, 0, -1, 2, 4};
  for (int k = 0; k < 9; ++k) typed.Values[k / 3][k % 3] = v[k];
  typed.Divisor = 3;
  EXPECT_EQ(procpeer::FirstDifference(procpeer::Bytes(*image), OpenCvFilter(*photo, typed)), -1);

  // Presets chosen with the keys in the list, OK on each.
  for (Integer preset = 1; preset <= 8; ++preset) {
    auto img = Clone(photo.get());
    EXPECT_TRUE(RunDialog(img.get(), TPreviewEffects{peUserFilt}, [&](Person& p) {
      auto& L = p.dlg.Logic();
      std::vector<UINT> keys(static_cast<size_t>(preset), VK_DOWN);
      keys.insert(keys.begin(), VK_HOME);
      p.Keys(&L.Presets, keys);
      EXPECT_EQ(L.Presets.ItemIndex, preset);
      EXPECT_EQ(L.EditFilter[9].Text, IntToStr(IEGetFilterPreset(static_cast<TIEFilterPresets>(preset)).Divisor));
      p.Click("Button1");
    }));
    EXPECT_EQ(procpeer::FirstDifference(
                  procpeer::Bytes(*img), OpenCvFilter(*photo, IEGetFilterPreset(static_cast<TIEFilterPresets>(preset)))),
              -1)
        << "preset " << preset;
  }
}

// Morphological filters on a grey picture against OpenCV's square windows.
TEST(PreviewsForm, MorphologyMatchesOpenCv) {
  auto photo = GreyPhoto(70, 50);
  const char* ops[4] = {"cv2.dilate(a, k, borderType=cv2.BORDER_REPLICATE)",
                        "cv2.erode(a, k, borderType=cv2.BORDER_REPLICATE)",
                        "cv2.dilate(cv2.erode(a, k, borderType=cv2.BORDER_REPLICATE), k, borderType=cv2.BORDER_REPLICATE)",
                        "cv2.erode(cv2.dilate(a, k, borderType=cv2.BORDER_REPLICATE), k, borderType=cv2.BORDER_REPLICATE)"};
  for (Integer kind = 0; kind < 4; ++kind)
    for (Integer window : {1, 3}) {
      auto img = Clone(photo.get());
      EXPECT_TRUE(RunDialog(img.get(), TPreviewEffects{peMorph}, [&](Person& p) {
        auto& L = p.dlg.Logic();
        std::vector<UINT> keys(static_cast<size_t>(kind), VK_DOWN);
        keys.insert(keys.begin(), VK_HOME);
        p.Keys(&L.MorphKinds, keys);
        p.Type(&L.EditWindow, std::to_string(window));
        EXPECT_EQ(L.Params.MorphKind, kind);
        EXPECT_EQ(L.Params.MorphWindow, window);
        p.Click("Button1");
      }));
      const std::string side = std::to_string(2 * window + 1);
      const std::string peer = procpeer::RunNumpy(
          *photo, "import cv2\nk = np.ones((" + side + ", " + side + "), np.uint8)\nout = " + ops[kind] + "\n");
      EXPECT_EQ(procpeer::FirstDifference(procpeer::Bytes(*img), peer), -1) << kind << " " << window;
    }
}

// A zone selected on the spectrum, cleared at full size on OK, against numpy's
// fft2 and ifft2 with the same zone zeroed.
TEST(PreviewsForm, FrequencyZoneClearingMatchesNumpy) {
  auto photo = procpeer::MakePhoto(200, 120, ie24RGB, 5);
  auto image = Clone(photo.get());
  Integer zone[4] = {};
  Integer thumbSize = 0;
  EXPECT_TRUE(RunDialog(image.get(), TPreviewEffects{peFFT}, [&](Person& p) {
    auto& L = p.dlg.Logic();
    p.Click("CheckBox1");  // colour transform
    EXPECT_FALSE(L.GrayScaleCheck.Down);
    EXPECT_EQ(L.Transform()->GetImageType(), ieitRGB);
    TDadirAvView* spectrum = p.dlg.DadirAvView1;
    spectrum->SelectionBase = iesbBitmap;
    spectrum->Select(70, 60, 84, 72);
    spectrum->EndSelect();
    ASSERT_TRUE(spectrum->GetSelected());
    zone[0] = spectrum->GetSelX1();
    zone[1] = spectrum->GetSelY1();
    zone[2] = spectrum->GetSelX2();
    zone[3] = spectrum->GetSelY2();
    thumbSize = L.Transform()->GetSize();
    p.Click("Clear");
    p.Click("Button1");
  }));
  ASSERT_EQ(thumbSize, 128);
  TIEFtImage full;
  ASSERT_TRUE(full.BuildFT(photo.get(), ieitRGB));
  const Integer size = full.GetSize(), ox = full.GetOffsetX(), oy = full.GetOffsetY();
  const double ratio = static_cast<double>(size) / thumbSize;
  auto S = [&](Integer v) { return std::to_string(static_cast<Integer>(v * ratio)); };
  const std::string peer = procpeer::RunNumpy(
      *photo, "N = " + std::to_string(size) + "\nh, w = a.shape[0], a.shape[1]\n"
              "ox, oy = " + std::to_string(ox) + ", " + std::to_string(oy) + "\n"
              "out = np.zeros_like(a)\n"
              "for c in range(3):\n"
              "  p = np.zeros((N, N))\n"
              "  p[oy:oy + h, ox:ox + w] = a[:, :, c]\n"
              "  F = np.fft.fftshift(np.fft.fft2(p))\n"
              "  F[" + S(zone[1]) + ":" + S(zone[3]) + " + 1, " + S(zone[0]) + ":" + S(zone[2]) + " + 1] = 0\n"
              "  r = np.fft.ifft2(np.fft.ifftshift(F)).real\n"
              "  out[:, :, c] = np.clip(np.round(r[oy:oy + h, ox:ox + w]), 0, 255)\n");
  const double psnr = procpeer::Psnr(procpeer::Bytes(*image), peer);
  std::printf("frequency-zone clearing against numpy: PSNR %.1f dB\n", psnr);
  EXPECT_GT(psnr, 40.0);
  // The zone did something: the image is not the source any more.
  EXPECT_LT(procpeer::Psnr(procpeer::Bytes(*image), procpeer::Bytes(*photo)), 60.0);
}

// --- Filter files

TEST(PreviewsForm, FilterFilesWrittenAndReadByPythonStruct) {
  const std::string python = larktest::RequireProgram(procpeer::kPython);
  ASSERT_FALSE(python.empty());
  larktest::TempDir dir;
  const std::string saved = dir.Path() + "mine.flt";
  auto image = procpeer::MakePhoto(30, 20);
  // Ours, read by struct.
  sim::ClearDialogs();
  sim::QueueDialogAnswer("Save filter", IDOK, saved);
  RunDialog(image.get(), TPreviewEffects{peUserFilt}, [](Person& p) {
    auto& L = p.dlg.Logic();
    p.Keys(&L.Presets, {VK_HOME, VK_DOWN, VK_DOWN, VK_DOWN});  // Emboss
    p.Type(&L.EditFilter[9], "-7");
    p.Click("ButtonSave");
    p.Click("Button2");
  });
  int code = -1;
  std::string out = larktest::RunCommand(
      {python, "-c",
       "import struct,sys\nd=open(sys.argv[1],'rb').read()\nprint(len(d), *struct.unpack('<3B10i', d))", saved},
      &code);
  EXPECT_EQ(code, 0) << out;
  TGraphFilter emboss = IEGetFilterPreset(fpEmboss);
  std::string expected = "43 1 3 3";
  for (int k = 0; k < 9; ++k) expected += " " + std::to_string(emboss.Values[k / 3][k % 3]);
  expected += " -7\n";
  EXPECT_EQ(out, expected);

  // Theirs, read by us: extreme weights and a divisor of -1.
  const std::string theirs = dir.Path() + "theirs.flt";
  larktest::RunCommand({python, "-c",
                        "import struct,sys\nopen(sys.argv[1],'wb').write(struct.pack('<3B10i', 1, 3, 3, "
                        "-2147483648, 0, 1, 2147483647, -3, 0, 4, 5, -2147483648, -1))",
                        theirs},
                       &code);
  ASSERT_EQ(code, 0);
  auto photo = procpeer::MakePhoto(40, 30, ie24RGB, 11);
  auto img = Clone(photo.get());
  sim::ClearDialogs();
  sim::QueueDialogAnswer("Load filter", IDOK, theirs);
  EXPECT_TRUE(RunDialog(img.get(), TPreviewEffects{peUserFilt}, [](Person& p) {
    p.Click("ButtonLoad");
    auto& L = p.dlg.Logic();
    EXPECT_EQ(L.EditFilter[0].Text, "-2147483648");
    EXPECT_EQ(L.EditFilter[3].Text, "2147483647");  // row 1, column 0
    EXPECT_EQ(L.EditFilter[9].Text, "-1");
    EXPECT_EQ(L.Params.Filter.Values[2][2], INT_MIN);
    p.Click("Button1");
  }));
  EXPECT_TRUE(Errors().empty());
  TGraphFilter f;
  const int32_t w[9] = {INT_MIN, 0, 1, INT_MAX, -3, 0, 4, 5, INT_MIN};
  for (int k = 0; k < 9; ++k) f.Values[k / 3][k % 3] = w[k];
  f.Divisor = -1;
  EXPECT_EQ(procpeer::FirstDifference(procpeer::Bytes(*img), OpenCvFilter(*photo, f)), -1);
}

// Filter files that are short, long, or gone before they are read: an error where
// a file failed, the filter and the image as they were.
TEST(PreviewsForm, BadFilterFilesLoadNothing) {
  larktest::TempDir dir;
  struct Case {
    const char* name;
    std::string bytes;
    bool loads;
  };
  std::string good = std::string("\x01\x03\x03", 3);
  for (int i = 0; i < 10; ++i) {
    const int32_t v = i == 9 ? 2 : i;
    good.append(reinterpret_cast<const char*>(&v), 4);
  }
  const std::vector<Case> cases = {
      {"empty.flt", "", false},
      {"short.flt", good.substr(0, 42), false},
      {"long.flt", good + "X", true},
      {"other.flt", std::string("\x01\x03\x04", 3) + good.substr(3), false},
      {"gone.flt", good, false},
  };
  for (const auto& c : cases) {
    const std::string path = dir.Path() + c.name;
    std::ofstream(path, std::ios::binary) << c.bytes;
    auto image = procpeer::MakePhoto(20, 20);
    auto before = Clone(image.get());
    sim::ClearDialogs();
    sim::QueueDialogAnswer("Load filter", IDOK, path);
    EXPECT_FALSE(RunDialog(image.get(), TPreviewEffects{peUserFilt}, [&](Person& p) {
      auto& L = p.dlg.Logic();
      if (std::string(c.name) == "gone.flt") {
        auto ask = L.AskLoadFilter;
        L.AskLoadFilter = [ask, path](AnsiString& name) {
          const bool chosen = ask(name);
          std::remove(path.c_str());
          return chosen;
        };
      }
      const TGraphFilter was = L.Params.Filter;
      p.Click("ButtonLoad");
      if (c.loads) {
        EXPECT_EQ(L.Params.Filter.Values[0][1], 1) << c.name;
        EXPECT_EQ(L.Params.Filter.Divisor, 2) << c.name;
        EXPECT_EQ(L.EditFilter[8].Text, "8") << c.name;
      } else {
        EXPECT_EQ(std::memcmp(&L.Params.Filter, &was, sizeof was), 0) << c.name;
        EXPECT_EQ(L.EditFilter[4].Text, "1") << c.name;
      }
      p.Click("Button2");
    })) << c.name;
    EXPECT_EQ(Errors().size(), c.loads ? 0u : 1u) << c.name;
    EXPECT_TRUE(SamePixels(*image, *before)) << c.name;
  }
}

// Typed values the dialog cannot take as they are.
TEST(PreviewsForm, OddTypedValuesNeitherCrashNorHang) {
  auto image = procpeer::MakePhoto(60, 40);
  auto original = Clone(image.get());
  EXPECT_TRUE(RunDialog(image.get(), TPreviewEffects{peMorph, peRotate}, [](Person& p) {
    auto& L = p.dlg.Logic();
    p.Type(&L.EditWindow, "10000");
    EXPECT_EQ(L.Params.MorphWindow, 64);
    p.Type(&L.EditWindow, "0");
    EXPECT_EQ(L.Params.MorphWindow, 1);
    p.Page(ppRotate);
    p.Type(&L.EditRotate, "1e308");
    EXPECT_EQ(L.Params.Angle, 180);
    EXPECT_EQ(static_cast<TTrackBar*>(p.dlg.ControlOf(&L.TrackRotate))->GetPosition(), 18000);
    p.Type(&L.EditRotate, "abc");
    EXPECT_EQ(L.Params.Angle, 0);
    p.Type(&L.EditRotate, "12.5");
    EXPECT_EQ(static_cast<TTrackBar*>(p.dlg.ControlOf(&L.TrackRotate))->GetPosition(), 1250);
    p.Click("Button1");
  }));
  EXPECT_GT(image->GetWidth(), original->GetWidth()) << "turned by 12.5 degrees";
}

// Every page on a real X server (Xvfb), kept as a PNG for a person to look at.
TEST(PreviewsScreens, EveryPageOnXvfb) {
  const std::string convert = larktest::RequireProgram("convert-im6.q16");
  const std::string xwd = larktest::RequireProgram("xwd");
  ASSERT_FALSE(convert.empty());
  ASSERT_FALSE(xwd.empty());
  larktest::TempDir dir;
  int code = -1;
  larktest::RunCommand({convert, "rose:", "-resize", "360x240!", "(", "-seed", "7", "-size", "360x240",
                        "plasma:fractal", ")", "-compose", "blend", "-define", "compose:args=35", "-composite",
                        dir.Path() + "photo.ppm"},
                       &code);
  ASSERT_EQ(code, 0);
  auto photo = ReadPpm(dir.Path() + "photo.ppm");
  ASSERT_EQ(photo->GetWidth(), 360);
  larktest::XvfbServer server;
  ASSERT_TRUE(server.Start(1024, 768));
  ASSERT_TRUE(larkx11::UseX11Display(server.Display()));
  const std::string out = std::string(LARK_TEST_DATA) + "/image/preview/";
  const char* names[kPreviewPageCount + 1] = {"",        "contrast", "hsl",  "rgb",   "user-filter", "hsv",
                                              "equalization", "bump-map", "lens", "wave", "morph",
                                              "rotate", "fft"};
  std::vector<std::string> saved;
  RunDialog(photo.get(), TPreviewEffects{peAll}, [&](Person& p) {
    auto& L = p.dlg.Logic();
    p.Click("SpeedButton1");  // Lock preview: every change shows at once
    for (Integer t = 1; t <= kPreviewPageCount; ++t) {
      p.Page(t);
      switch (t) {
        case ppContrast: p.Type(&L.EditContrast, "40"); break;
        case ppHSL: p.Type(&L.EditHSLHue, "120"); break;
        case ppRGB: p.Type(&L.EditBlue, "90"); break;
        case ppUserFilter: p.Keys(&L.Presets, {VK_HOME, VK_DOWN, VK_DOWN, VK_DOWN}); break;
        case ppHSV: L.NewColour.SetHSV(200, 60, 80); L.HSVBoxChange(); break;
        case ppEqualization: p.Click("SpeedButton3"); break;
        case ppBumpMap: p.Type(&L.EditBump[4], "40"); break;
        case ppLens: p.Type(&L.EditLens[4], "15"); break;
        case ppWave: p.Type(&L.EditWave[0], "4"); break;
        case ppMorph: p.Type(&L.EditWindow, "2"); break;
        case ppRotate: p.Type(&L.EditRotate, "15"); break;
        case ppFFT:
          p.dlg.DadirAvView1->SelectionBase = iesbBitmap;
          p.dlg.DadirAvView1->Select(74, 30, 110, 98);
          p.dlg.DadirAvView1->EndSelect();
          p.Click("Clear");
          break;
        default: break;
      }
      Pump();
      p.dlg.Repaint();
      Pump();
      larkx11::SyncX11Display();
      RECT r{};
      GetWindowRect(p.dlg.GetHandle(), &r);
      const std::string dump = larktest::RunCommand({xwd, "-root", "-silent", "-display", server.Display()}, &code);
      ASSERT_EQ(code, 0);
      std::ofstream(dir.Path() + "screen.xwd", std::ios::binary) << dump;
      const std::string name = out + std::to_string(t / 10) + std::to_string(t % 10) + "-" + names[t] + ".png";
      const std::string crop = std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + "+" +
                               std::to_string(r.left) + "+" + std::to_string(r.top);
      larktest::RunCommand({convert, "xwd:" + dir.Path() + "screen.xwd", "-crop", crop, "+repage", "-strip", "png:" + name},
                           &code);
      EXPECT_EQ(code, 0) << name;
      if (code == 0) saved.push_back(name);
    }
    p.Click("Button2");
  });
  larkx11::CloseX11Display();
  EXPECT_EQ(saved.size(), static_cast<size_t>(kPreviewPageCount));
  for (const auto& s : saved) std::printf("page shown: %s\n", s.c_str());
}

}  // namespace
