// The picture open and save dialogs on the platform's file dialog: their filter
// strings, the preview routing of single- and multi-frame files and the information
// labels, the extension kept in step with the type (only the last extension is
// replaced), "Advanced" opening the parameter dialog on the name's format, the
// parameters put back on Cancel, a name longer than the dialog's buffer, and each
// dialog kept as a picture. The dialogs are driven through the scripted responder
// and injected input.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <map>
#include <fstream>
#include <string>
#include <vector>

#include "image/io/dadiravio.h"
#include "image/io/ieopensavedlg.h"
#include "image/io/iopreviews.h"
#include "platform/sim/Dialogs.h"
#include "platform/sim/Input.h"
#include "platform/sim/Screen.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Strings.h"
#include "platform/win/MessageBox.h"
#include "platform/vcl/Application.h"
#include "platform/win/CommDlg.h"
#include "platform/win/Gdi.h"
#include "platform/win/Window.h"
#include "tests/image/io_test_util.h"
#include "tests/image/views/views_test_util.h"
#include "tests/support/Steps.h"

namespace {

using viewtest::Pump;

constexpr char kConvert[] = "convert-im6.q16";

std::string Shot(const std::string& name) { return std::string(LARK_TEST_BINARY_DIR) + "/dialog_" + name + ".png"; }

void RunTool(const std::vector<std::string>& argv) {
  int code = -1;
  const std::string out = larktest::RunCommand(argv, &code);
  ASSERT_EQ(code, 0) << out;
}

std::string Ask(HWND dialog, UINT cdm) {
  char buffer[512] = {};
  const LRESULT n = SendMessage(dialog, cdm, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
  return n > 0 ? std::string(buffer) : std::string();
}

TListBox* List(HWND dialog) { return static_cast<TListBox*>(FindControl(GetDlgItem(dialog, lst1))); }

void ClickEntry(HWND dialog, const std::string& name) {
  TListBox* list = List(dialog);
  const Integer index = list->GetItems()->IndexOf(name);
  ASSERT_GE(index, 0) << name;
  const RECT r = list->ItemRect(index);
  sim::Click(list->GetHandle(), r.left + 30, (r.top + r.bottom) / 2);
  Pump();
}

// The type list's entry, chosen by keyboard as a person does (Alt+T, then arrows).
void ChooseType(HWND dialog, Integer index) {
  auto* types = static_cast<TComboBox*>(FindControl(GetDlgItem(dialog, cmb1)));
  sim::PressKey('T', sim::kAlt);
  Pump();
  while (types->GetItemIndex() < index) {
    sim::PressKey(VK_DOWN);
    Pump();
  }
  while (types->GetItemIndex() > index) {
    sim::PressKey(VK_UP);
    Pump();
  }
}

void TypeName(HWND dialog, const std::string& text) {
  auto* edit = static_cast<TEdit*>(FindControl(GetDlgItem(dialog, edt1)));
  edit->SetText(text);
  Pump();
}

using larktest::Steps;

class PictureDialogs : public io_test::IOTest {
 protected:
  void SetUp() override {
    (void)Application->GetHandle();
    sim::SetDialogEcho(false);
    root_ = Dir().substr(0, Dir().size() - 1);
  }
  void TearDown() override { sim::SetDialogEcho(true); }
  std::string root_;
};

TEST_F(PictureDialogs, FilterStrings) {
  TOpenDadirAvDialog open(nullptr);
  AnsiString filter;
  open.BuildStrFilter(filter);
  EXPECT_EQ(filter.rfind("All graphics|", 0), 0u) << filter;
  const size_t firstEntry = filter.find('|', 13);
  const AnsiString all = filter.substr(13, firstEntry - 13);
  EXPECT_NE(all.find("*.jpg;*.jpeg;*.jpe"), AnsiString::npos) << all;
  EXPECT_EQ(all.substr(all.size() - 6), ";*.avi") << all;
  EXPECT_NE(filter.find("|Video for Windows (AVI)|*.avi"), AnsiString::npos);
  EXPECT_NE(filter.find("|JPEG Bitmap (JPG;JPEG;JPE)|*.jpg;*.jpeg;*.jpe"), AnsiString::npos) << filter;

  open.ExtendedFilters = " Raw pictures|*.raw;*.cr2 ";
  open.ShowAVIFilter = false;
  open.BuildStrFilter(filter);
  EXPECT_EQ(filter.find("*.avi"), AnsiString::npos);
  EXPECT_NE(filter.find(";*.raw;*.cr2|"), AnsiString::npos) << filter;
  EXPECT_EQ(filter.substr(filter.size() - 25), "|Raw pictures|*.raw;*.cr2");

  // Saving: only what can be written, without the all-pictures entry.
  open.BuildStrFilter(filter, true);
  EXPECT_NE(filter.find("JPEG Bitmap"), AnsiString::npos) << filter;
  EXPECT_EQ(filter.find("All graphics"), AnsiString::npos);
  EXPECT_NE(filter[0], '|');

  TSaveDadirAvDialog save(nullptr);
  EXPECT_EQ(save.Filter,
            "JPEG Bitmap (JPG)|*.jpg|CompuServe Bitmap (GIF)|*.gif|TIFF Bitmap (TIF)|*.tif|PaintBrush (PCX)|*.pcx"
            "|Portable Network Graphics (PNG)|*.png|Windows Bitmap (BMP)|*.bmp|OS/2 Bitmap (BMP)|*.bmp"
            "|Targa Bitmap (TGA)|*.tga|Portable PixMap (PXM)|*.pxm|Portable PixMap (PPM)|*.ppm"
            "|Portable GreyMap (PGM)|*.pgm|Portable Bitmap (PBM)|*.pbm|JPEG2000 (JP2)|*.jp2"
            "|JPEG2000 Code Stream (J2K)|*.j2k");
}

TEST(PictureDialogNames, ExtensionsPagesAndFolders) {
  struct PageCase {
    const char* ext;
    bool found;
    TPreviewParamsItems page;
  };
  const PageCase pages[] = {{".jpeg", true, ppJPEG}, {"JPG", true, ppJPEG},   {".j2c", true, ppJ2000},
                            {".g3f", true, ppTIFF},  {".rle", true, ppBMP},   {".pcx", true, ppPCX},
                            {".png", true, ppPNG},   {".vst", true, ppTGA},   {".xyz", false, ppJPEG},
                            {"", false, ppJPEG}};
  for (const PageCase& c : pages) {
    TPreviewParamsItems page = ppALL;
    EXPECT_EQ(IEExtensionPage(c.ext, page), c.found) << c.ext;
    if (c.found) {
      EXPECT_EQ(page, c.page) << c.ext;
    }
  }
  // Only the last extension is replaced: a year in the name stays.
  struct NameCase {
    const char* name;
    const char* pattern;
    const char* result;
  };
  const NameCase names[] = {{"trip.2009.jpg", "*.tif", "trip.2009.tif"},
                            {"photo", "*.png", "photo.png"},
                            {"photo.jpg", "*.jpg;*.jpeg", "photo.jpg"},
                            {"photo.jpg", "*.*", "photo.jpg"},
                            {"a.b.c", "*.pcx", "a.b.pcx"}};
  for (const NameCase& c : names) EXPECT_EQ(IEReplaceExtension(c.name, c.pattern), c.result) << c.name;

  TOpenDadirAvDialog dialog(nullptr);
  struct DirCase {
    const char* in;
    const char* out;
  };
  for (const DirCase& c : {DirCase{"/home/me/pictures/", "/home/me/pictures"}, DirCase{"/", "/"},
                           DirCase{"C:\\", "C:\\"}, DirCase{"/tmp", "/tmp"}}) {
    dialog.SetInitialDir(c.in);
    EXPECT_EQ(dialog.GetInitialDir(), c.out);
  }
}

// Single-frame files go to the single view, multi-frame ones to the grid; the labels
// tell size, colours, resolution, type and sizes.
TEST_F(PictureDialogs, OpenDialogRoutesPreviewsAndShowsInformation) {
  const std::string convert = larktest::RequireProgram(kConvert);
  RunTool({convert, "-size", "30x20", "xc:red", "xc:lime", "xc:blue", root_ + "/frames.gif"});
  RunTool({convert, "-size", "30x20", "xc:red", root_ + "/single.gif"});
  RunTool({convert, "-size", "30x20", "xc:red", "xc:lime", "-compress", "none", root_ + "/pages.tif"});
  std::filesystem::copy_file(root_ + "/pages.tif", root_ + "/pages.tiff");
  RunTool({convert, "rose:", "-resize", "1000x500!", "-quality", "90", "-density", "72", "-units", "PixelsPerInch",
       root_ + "/photo.jpg"});
  const auto jpegSize = static_cast<Int64>(std::filesystem::file_size(root_ + "/photo.jpg"));

  TOpenDadirAvDialog dialog(nullptr);
  dialog.SetInitialDir(root_);
  struct Seen {
    bool multi;
    Integer images;
    AnsiString pic1, pic2, pic3, info1, info2;
  };
  std::map<std::string, Seen> seen;
  TRect panel{}, placeholder{};
  bool saved = false;
  Steps steps;
  AnsiString fullName, fullCaption;
  Integer fullWidth = 0, viewWidth = 0;
  dialog.PreviewFormCaption = "Preview";
  sim::QueueDialogAction("Open", [&](HWND window) {
    Pump();
    placeholder = dialog.GetStaticRect();
    panel = TRect{dialog.PicturePanel->GetLeft(), dialog.PicturePanel->GetTop(),
                  dialog.PicturePanel->GetLeft() + dialog.PicturePanel->GetWidth(),
                  dialog.PicturePanel->GetTop() + dialog.PicturePanel->GetHeight()};
    EXPECT_EQ(dialog.ZoomCombo->GetItems()->GetCount(), 11);
    for (const char* name : {"frames.gif", "single.gif", "pages.tif", "pages.tiff", "photo.jpg"}) {
      ClickEntry(window, name);
      seen[name] = Seen{dialog.DadirAvMView->GetVisible(), dialog.GetImageCount(), dialog.PicLabel1->GetCaption(),
                        dialog.PicLabel2->GetCaption(),    dialog.PicLabel3->GetCaption(),
                        dialog.InfoLabel1->GetCaption(),   dialog.InfoLabel2->GetCaption()};
      if (std::string(name) == "frames.gif") {
        larktest::PumpUntilIdle();
        saved = sim::SaveWindowPng(window, Shot("open_multi"));
      }
    }
    larktest::PumpUntilIdle();
    saved = sim::SaveWindowPng(window, Shot("open")) && saved;
    // The full-size preview of the photograph: its own window, Esc closes it.
    steps.On(1, [&] {
      Pump();
      TCustomForm* form = Screen->GetActiveForm();
      ASSERT_NE(form, nullptr);
      fullName = form->GetName();
      fullCaption = form->GetCaption();
      fullWidth = form->GetClientWidth();
      viewWidth = dialog.DadirAvView->GetIEBitmap()->GetWidth();
      sim::PressKey(VK_ESCAPE);
      Pump();
    });
    steps.Post(1);
    dialog.PreviewButton->Click();
    Pump();
    ClickEntry(window, "photo.jpg");
    sim::PressKey(VK_RETURN);
    Pump();
  });
  ASSERT_TRUE(dialog.Execute());
  EXPECT_TRUE(saved);
  EXPECT_EQ(dialog.FileName, root_ + "/photo.jpg");
  // The preview area lies right of the dialog's own controls.
  EXPECT_EQ(panel.left, placeholder.right);
  EXPECT_EQ(panel.top, placeholder.top);

  EXPECT_TRUE(seen["frames.gif"].multi);
  EXPECT_EQ(seen["frames.gif"].images, 3);
  EXPECT_EQ(seen["frames.gif"].pic1, "30 x 20 pixel , 3 frames");
  EXPECT_FALSE(seen["single.gif"].multi);
  EXPECT_EQ(seen["single.gif"].pic1, "30 x 20 pixel");
  EXPECT_TRUE(seen["pages.tif"].multi);
  EXPECT_EQ(seen["pages.tif"].images, 2);
  EXPECT_FALSE(seen["pages.tiff"].multi);  // ".tiff" is previewed as one picture
  const Seen& jpeg = seen["photo.jpg"];
  EXPECT_FALSE(jpeg.multi);
  EXPECT_EQ(jpeg.pic1, "1000 x 500 pixel");
  EXPECT_EQ(jpeg.pic2, "16777216 " + iemsg(IEMSG_COLORS, msSystem) + " (24 bit)");
  EXPECT_EQ(jpeg.pic3, "72 x 72 dpi");
  EXPECT_EQ(jpeg.info2, "File: " + IntToStr(jpegSize / 1024) + " Kb   Mem: 1464 Kb");
  EXPECT_FALSE(jpeg.info1.empty());
  EXPECT_EQ(fullName, "PreviewForm");
  EXPECT_EQ(fullCaption, "Preview: " + root_ + "/photo.jpg");
  // As wide as the picture previewed (the JPEG decoded reduced to the view).
  EXPECT_GT(viewWidth, 100);
  EXPECT_EQ(fullWidth, viewWidth);
}

// The save dialog: the type keeps the name's extension in step (a year in the name
// stays), "Advanced" opens the parameter dialog on the name's format, and Cancel puts
// back what it changed.
TEST_F(PictureDialogs, SaveDialogExtensionsAdvancedAndCancel) {
  TDadirAvIO io(nullptr);
  TIEBitmap picture;
  picture.Allocate(120, 90, ie24RGB);
  for (Integer y = 0; y < 90; ++y)
    for (Integer x = 0; x < 120; ++x)
      picture.SetPixels_ie24RGB(x, y, TRGB{static_cast<Byte>(x * 2), static_cast<Byte>(160 - y), static_cast<Byte>((x * y) % 256)});
  io.SetIEBitmap(&picture);
  io.GetParams()->JPEG_Quality = 70;
  TSaveDadirAvDialog dialog(nullptr);
  dialog.AutoSetFilter = false;
  dialog.SetInitialDir(root_);
  dialog.SetAttachedDadirAvIO(&io);
  dialog.SetAttachedDadirAvIO(nullptr);  // nil does not detach
  EXPECT_EQ(dialog.GetAttachedDadirAvIO(), &io);

  Steps steps;
  TfIOPreviews* previews = nullptr;
  TPreviewParamsItems pageShown = ppALL;
  io.OnIOPreview = [&](TObject*, TForm* form) {
    previews = static_cast<TfIOPreviews*>(form);
    form->OnShow = [&](TObject*) { steps.Post(1); };
  };
  steps.On(1, [&] {
    Pump();
    pageShown = previews->ActivePage()->Kind;
    previews->ActivePage()->Quality->SetText("15");
    // The lock pressed as a person does: the result shows quality 15 at once.
    TSpeedButton* lock = previews->SpeedButton1;
    sim::Click(previews->GetHandle(), lock->GetLeft() + 5, lock->GetTop() + 5);
    Pump();
    EXPECT_TRUE(lock->GetDown());
    larktest::PumpUntilIdle();
    sim::SaveWindowPng(previews->GetHandle(), Shot("parameters"));
    sim::PressKey(VK_RETURN);
    Pump();
  });
  AnsiString afterType;
  Integer qualityInside = 0;
  bool saved = false, advancedVisible = false, previewCheckVisible = false;
  sim::QueueDialogAction("Save As", [&](HWND window) {
    Pump();
    advancedVisible = dialog.AdvancedButton->GetVisible();
    previewCheckVisible = dialog.PreviewCheck->GetVisible();
    TypeName(window, "trip.2009.jpg");
    ChooseType(window, 2);  // TIFF
    afterType = Ask(window, CDM_GETSPEC);
    TypeName(window, "trip.jpeg");
    larktest::PumpUntilIdle();
    saved = sim::SaveWindowPng(window, Shot("save"));
    dialog.AdvancedButton->Click();
    Pump();
    qualityInside = io.GetParams()->JPEG_Quality;
    sim::PressKey(VK_ESCAPE);
    Pump();
  });
  EXPECT_FALSE(dialog.Execute());
  EXPECT_EQ(dialog.FileName, "");  // a cancelled dialog gives no name, and no extension
  EXPECT_TRUE(saved);
  EXPECT_TRUE(advancedVisible);
  EXPECT_TRUE(previewCheckVisible);
  EXPECT_EQ(afterType, "trip.2009.tif");
  EXPECT_EQ(pageShown, ppJPEG);
  EXPECT_EQ(qualityInside, 15);
  EXPECT_EQ(io.GetParams()->JPEG_Quality, 70);  // put back by Cancel

  // A name typed without extension gets the type's; without the preview the dialog
  // has no preview check box; an extension outside the table opens nothing.
  dialog.ExOptions = TIESaveDlgOpt{sdShowAdvanced};
  previews = nullptr;
  sim::QueueDialogAction("Save As", [&](HWND window) {
    Pump();
    previewCheckVisible = dialog.PreviewCheck->GetVisible();
    ChooseType(window, 4);  // PNG
    TypeName(window, "holiday.xyz");
    dialog.AdvancedButton->Click();
    Pump();
    TypeName(window, "holiday");
    sim::PressKey(VK_RETURN);
    Pump();
  });
  ASSERT_TRUE(dialog.Execute());
  EXPECT_EQ(previews, nullptr);
  EXPECT_FALSE(previewCheckVisible);
  EXPECT_EQ(dialog.FileName, root_ + "/holiday.png");
}

// The component's entry points answer the name chosen, or "" when cancelled; the
// save dialog's type gives a name typed without extension its extension.
TEST_F(PictureDialogs, ComponentEntryPointsAnswerTheChosenName) {
  TDadirAvIO io(nullptr);
  TIEBitmap picture;
  picture.Allocate(8, 8, ie24RGB);
  io.SetIEBitmap(&picture);
  std::ofstream(root_ + "/a.png") << "not really a picture";
  sim::QueueDialogAnswer("Open", IDCANCEL);
  EXPECT_EQ(io.ExecuteOpenDialog(root_, "", false, 1, ""), "");
  sim::QueueDialogAnswer("Open", IDOK, "a.png");
  EXPECT_EQ(io.ExecuteOpenDialog(root_ + "/", "", false, 1, ""), root_ + "/a.png");
  sim::QueueDialogAnswer("Save As", IDOK, "out");
  const AnsiString saved = io.ExecuteSaveDialog(root_, "", false, 1, "");
  EXPECT_EQ(saved.rfind(root_ + "/out.", 0), 0u) << saved;
  EXPECT_EQ(ExtractFileExt(saved).size(), 4u) << saved;
  sim::QueueDialogAnswer("Save As", IDCANCEL);
  EXPECT_EQ(io.ExecuteSaveDialog(root_, "kept.jpg", false, 1, ""), "");
  EXPECT_EQ(sim::QueuedDialogAnswers(), 0);
}

// Both hooks take the dialog window and centre the dialog: a third from the top. The
// old-style dialog has no template child; the explorer one has the template's.
TEST_F(PictureDialogs, HooksTakeTheWindowAndCentreTheDialog) {
  for (bool oldStyle : {true, false}) {
    SCOPED_TRACE(oldStyle ? "old style" : "explorer");
    TOpenDadirAvDialog dialog(nullptr);
    dialog.SetInitialDir(root_);
    if (oldStyle) dialog.Options.Include(ofOldStyleDialog);
    int shows = 0, closes = 0;
    dialog.OnShow = [&](TObject*) { ++shows; };
    dialog.OnClose = [&](TObject*) { ++closes; };
    HWND taken = 0;
    RECT r{};
    sim::QueueDialogAction("Open", [&](HWND window) {
      Pump();
      taken = dialog.GetHandle();
      EXPECT_EQ(dialog.GetDialogWindow(), window);
      GetWindowRect(window, &r);
      sim::PressKey(VK_ESCAPE);
      Pump();
    });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_NE(taken, 0);
    EXPECT_EQ(dialog.GetHandle(), 0);
    EXPECT_EQ(shows, 1);
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2);
    EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 3);
  }
}

// "Help" in a dialog shown with ofShowHelp opens the dialog's HelpContext in the
// application's help; without a HelpContext it opens nothing. Once the dialog is
// gone, the application's window no longer listens for it.
TEST_F(PictureDialogs, HelpOpensTheDialogsHelpContext) {
  Application->SetHelpFile("larkspool.hlp");
  struct Case {
    bool oldStyle;
    Integer context;
  };
  for (const Case c : {Case{false, 42}, Case{true, 7}, Case{false, 0}}) {
    SCOPED_TRACE(c.context);
    sim::ClearHelpLog();
    TOpenDadirAvDialog dialog(nullptr);
    dialog.SetInitialDir(root_);
    dialog.HelpContext = c.context;
    dialog.Options.Include(ofShowHelp);
    if (c.oldStyle) dialog.Options.Include(ofOldStyleDialog);
    bool found = false;
    sim::QueueDialogAction("Open", [&](HWND window) {
      Pump();
      const HWND help = GetDlgItem(window, pshHelp);
      found = help != 0 && IsWindowVisible(help);
      if (found) sim::Click(help, 10, 10);
      Pump();
      sim::PressKey(VK_ESCAPE);
      Pump();
    });
    EXPECT_FALSE(dialog.Execute());
    ASSERT_TRUE(found);
    const auto log = sim::HelpLog();
    if (c.context == 0) {
      EXPECT_TRUE(log.empty());
    } else {
      ASSERT_EQ(log.size(), 1u);
      EXPECT_EQ(log[0].File, "larkspool.hlp");
      EXPECT_EQ(log[0].Context, c.context);
    }
    SendMessage(Application->GetHandle(), RegisterWindowMessage(HELPMSGSTRING), 0, 0);
    EXPECT_EQ(sim::HelpLog().size(), log.size());
  }
  // Without ofShowHelp there is no "Help".
  TOpenDadirAvDialog dialog(nullptr);
  dialog.SetInitialDir(root_);
  HWND help = 1;
  sim::QueueDialogAction("Open", [&](HWND window) {
    Pump();
    help = GetDlgItem(window, pshHelp);
    sim::PressKey(VK_ESCAPE);
    Pump();
  });
  EXPECT_FALSE(dialog.Execute());
  EXPECT_EQ(help, 0);
  Application->SetHelpFile("");
}

// A name that does not fit the dialog's 260-byte buffer never goes into it: the name
// box starts empty; a path chosen that does not fit makes the dialog fail, leaving
// FileName as it was.
TEST_F(PictureDialogs, NamesLongerThanTheBuffer) {
  TOpenDadirAvDialog dialog(nullptr);
  dialog.SetInitialDir(root_);
  const AnsiString longName = root_ + "/" + std::string(300, 'n') + ".jpg";
  dialog.FileName = longName;
  AnsiString shown = "?";
  sim::QueueDialogAction("Open", [&](HWND window) {
    Pump();
    shown = Ask(window, CDM_GETSPEC);
    sim::PressKey(VK_ESCAPE);
    Pump();
  });
  EXPECT_FALSE(dialog.Execute());
  EXPECT_EQ(shown, "");
  EXPECT_EQ(dialog.FileName, longName);

  std::string deep = root_;
  while (deep.size() < 240) {
    deep += "/" + std::string(30, 'd');
    std::filesystem::create_directories(deep);
  }
  std::ofstream(deep + "/picture_with_a_long_name.jpg") << "x";
  dialog.SetInitialDir(deep);
  dialog.FileName = "";
  sim::QueueDialogAction("Open", [&](HWND window) {
    Pump();
    TypeName(window, "picture_with_a_long_name.jpg");
    sim::PressKey(VK_RETURN);
    Pump();
  });
  EXPECT_FALSE(dialog.Execute());
  EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
  EXPECT_EQ(dialog.FileName, "");
}

}  // namespace
