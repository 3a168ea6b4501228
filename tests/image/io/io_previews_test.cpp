// The parameter preview dialog: which pages it shows, the colour choices and the
// lists that follow each other, the sizes it shows (the compressed size is the size
// of the file the codec writes with the options shown, and the JPEG result is that
// file decoded), writing back on OK and "&Apply" and nothing on Cancel, the palette
// picker never shown more colours than the preview's map holds, and the dialog on
// screen through the component, driven by injected keys.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "image/io/dadiravio.h"
#include "image/io/iemio.h"
#include "image/io/iopreviews.h"
#include "image/model/ieutils.h"
#include "image/views/dadirav.h"
#include "image/views/iemview.h"
#include "platform/sim/Input.h"
#include "platform/sim/Screen.h"
#include "platform/vcl/Application.h"
#include "platform/win/Window.h"
#include "tests/image/io_test_util.h"
#include "tests/image/views/views_test_util.h"
#include "tests/support/Steps.h"

namespace {

using io_test::IOTest;
using viewtest::Pump;

using larktest::Steps;

// A photograph-like picture: smooth gradients with some detail.
void Paint(TIEBitmap& b, Integer w, Integer h) {
  b.Allocate(w, h, ie24RGB);
  for (Integer y = 0; y < h; ++y)
    for (Integer x = 0; x < w; ++x)
      b.SetPixels_ie24RGB(x, y, TRGB{static_cast<Byte>(x * 255 / w), static_cast<Byte>((x * y) % 256),
                                     static_cast<Byte>(y * 255 / h)});
}

// A person's choice in a list.
void Choose(TComboBox* combo, Integer index) {
  combo->SetItemIndex(index);
  if (combo->OnChange) combo->OnChange(combo);
}
void Type(TEdit* edit, const AnsiString& text) { edit->SetText(text); }
// A person's click on a button.
void Press(TButton* button) {
  sim::Click(button->GetHandle(), 10, 10);
  Pump();
}

// A dialog set up as the components set it up, activated without being shown.
struct Dialog {
  TIOParamsVals params{nullptr};
  std::unique_ptr<TfIOPreviews> form = std::make_unique<TfIOPreviews>(nullptr);
  explicit Dialog(TPreviewParams pages, bool simplified = false, Integer w = 64, Integer h = 48) {
    form->fParams = &params;
    form->SimplifiedParamsDialogs = simplified;
    Paint(*form->DadirAvView1->GetIEBitmap(), w, h);
    form->DadirAvView1->Update();
    EXPECT_TRUE(form->SetPreviewParams(pages));
    form->FormActivate(nullptr);
  }
  const TIOPreviewPage& Page(TPreviewParamsItems kind) {
    form->ChoosePage(kind);
    return *form->ActivePage();
  }
  AnsiString CompressedSize() { return form->ActivePage()->CompressedSize->GetCaption(); }
};

TEST(PreviewDialog, PagesShownForThePageSet) {
  struct Case {
    Integer fileType;
    TPreviewParams pages;
    bool accepted;
    std::vector<TPreviewParamsItems> shown;
  };
  const Case cases[] = {
      {3, {ppAUTO}, true, {ppJPEG}},
      {3, {ppAUTO, ppPNG}, true, {ppJPEG, ppPNG}},
      {13, {ppAUTO}, true, {ppJ2000}},
      {9, {ppAUTO}, false, {}},
      {0, {ppALL}, true, {ppJPEG, ppTIFF, ppGIF, ppBMP, ppPCX, ppPNG, ppTGA, ppJ2000}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fileType);
    TIOParamsVals params(nullptr);
    params.FileType = c.fileType;
    TfIOPreviews form(nullptr);
    form.fParams = &params;
    EXPECT_EQ(form.SetPreviewParams(c.pages), c.accepted);
    if (!c.accepted) continue;
    Paint(*form.DadirAvView1->GetIEBitmap(), 8, 8);
    form.FormActivate(nullptr);
    std::vector<TPreviewParamsItems> shown;
    for (Integer i = 0; i < form.PageControl1->GetPageCount(); ++i)
      if (form.PageControl1->Pages(i)->GetTabVisible())
        for (auto kind : {ppJPEG, ppTIFF, ppGIF, ppBMP, ppPCX, ppPNG, ppTGA, ppJ2000})
          if (form.Page(kind, true).Sheet == form.PageControl1->Pages(i) ||
              form.Page(kind, false).Sheet == form.PageControl1->Pages(i))
            shown.push_back(kind);
    EXPECT_EQ(shown, c.shown);
    EXPECT_EQ(form.ActivePage()->Kind, c.shown.front());
  }
}

TEST(PreviewDialog, OriginalSizeCountsPaddedRows) {
  struct Case {
    Integer w, h;
    TIEPixelFormat format;
    const char* size;
  };
  for (const Case& c : {Case{100, 10, ie1g, "160 bytes"}, Case{10, 10, ie24RGB, "320 bytes"}}) {
    Dialog d({ppBMP});
    d.form->DadirAvView1->GetIEBitmap()->Allocate(c.w, c.h, c.format);
    d.form->ApplyParameters();
    EXPECT_EQ(d.form->ActivePage()->OriginalSize->GetCaption(), c.size);
  }
}

TEST(PreviewDialog, ListsFollowEachOther) {
  // Full TIFF page: "16" colours choose the palette photometric; RGB chooses "16M".
  {
    Dialog d({ppTIFF});
    const TIOPreviewPage& tiff = d.Page(ppTIFF);
    Choose(tiff.Colors, 1);
    EXPECT_EQ(tiff.Photometric->GetItemIndex(), static_cast<Integer>(ioTIFF_RGBPALETTE));
    EXPECT_EQ(d.form->GetWorking()->BitsPerSample, 4);
    Choose(tiff.Photometric, static_cast<Integer>(ioTIFF_RGB));
    EXPECT_EQ(tiff.Colors->GetItemIndex(), 4);
    Choose(tiff.Photometric, static_cast<Integer>(ioTIFF_CMYK));
    EXPECT_EQ(d.form->GetWorking()->SamplesPerPixel, 4);
    Choose(tiff.Colors, 0);
    EXPECT_EQ(tiff.Photometric->GetItemIndex(), static_cast<Integer>(ioTIFF_BLACKISZERO));
  }
  // Simplified TIFF page: "Jpeg" chooses 16777216 colours; "16" colours then reset
  // the compression; a fax compression chooses 2 colours.
  {
    Dialog d({ppTIFF}, true);
    const TIOPreviewPage& tiff = d.Page(ppTIFF);
    Choose(tiff.Compression, 7);
    EXPECT_EQ(tiff.Colors->GetItemIndex(), 3);
    EXPECT_EQ(d.form->GetWorking()->TIFF_Compression, ioTIFF_JPEG);
    Choose(tiff.Colors, 1);
    EXPECT_EQ(tiff.Compression->GetItemIndex(), 0);
    EXPECT_EQ(d.form->GetWorking()->TIFF_Compression, ioTIFF_UNCOMPRESSED);
    Choose(tiff.Compression, 4);
    EXPECT_EQ(tiff.Colors->GetItemIndex(), 0);
    EXPECT_EQ(d.form->GetWorking()->BitsPerSample, 1);
    EXPECT_EQ(d.form->GetWorking()->TIFF_PhotometInterpret, ioTIFF_BLACKISZERO);
  }
  // Texts that are not numbers; the JPEG 2000 rate bar and its edit.
  {
    Dialog d({ppALL});
    const TIOPreviewPage& jpeg = d.Page(ppJPEG);
    Type(jpeg.Quality, "abc");
    EXPECT_EQ(d.form->GetWorking()->JPEG_Quality, 50);
    EXPECT_EQ(jpeg.QualityBar->GetPosition(), 50);
    const TIOPreviewPage& j2k = d.Page(ppJ2000);
    j2k.QualityBar->SetPosition(250);
    EXPECT_EQ(j2k.Quality->GetText(), "250");
    EXPECT_DOUBLE_EQ(d.form->GetWorking()->J2000_Rate, 0.25);
    d.form->Button1->OnClick(d.form->Button1);  // OK
    EXPECT_DOUBLE_EQ(d.params.J2000_Rate, 0.25);
  }
}

TEST(PreviewDialog, WritingBackOnlyThroughOkOrApply) {
  Dialog d({ppALL});
  d.params.JPEG_Quality = 80;
  d.form->ResetParameters();
  // A change lost by switching pages: the page shows the parameters again.
  const TIOPreviewPage* jpeg = &d.Page(ppJPEG);
  d.form->ApplyParameters();
  Type(jpeg->Quality, "33");
  EXPECT_TRUE(d.form->Button4->GetEnabled());
  d.Page(ppPNG);
  jpeg = &d.Page(ppJPEG);
  EXPECT_EQ(jpeg->Quality->GetText(), "80");
  EXPECT_EQ(d.params.JPEG_Quality, 80);
  // "&Apply" writes and disables itself; the change then survives a page switch.
  Type(jpeg->Quality, "33");
  d.form->Button4->OnClick(d.form->Button4);
  EXPECT_EQ(d.params.JPEG_Quality, 33);
  EXPECT_FALSE(d.form->Button4->GetEnabled());
  d.Page(ppPNG);
  EXPECT_EQ(d.Page(ppJPEG).Quality->GetText(), "33");
  // A GIF choice of "16" colours writes 4 bits per sample on OK.
  const TIOPreviewPage& gif = d.Page(ppGIF);
  Choose(gif.Colors, 3);
  d.form->Button1->OnClick(d.form->Button1);
  EXPECT_EQ(d.params.BitsPerSample, 4);
}

// The compressed size the dialog shows is the size of the file the codec writes.
TEST_F(IOTest, CompressedSizeIsTheFileTheCodecWrites) {
  struct Case {
    TPreviewParamsItems page;
    const char* ext;
    std::function<void(const TIOPreviewPage&)> choose;
  };
  const Case cases[] = {
      {ppJPEG, ".jpg", [](const TIOPreviewPage& p) { Type(p.Quality, "30"); }},
      {ppJPEG, ".jpg", [](const TIOPreviewPage& p) { p.Progressive->SetChecked(true); }},
      {ppJ2000, ".j2k", [](const TIOPreviewPage& p) { p.QualityBar->SetPosition(100); }},
      {ppTIFF, ".tif", [](const TIOPreviewPage& p) { Choose(p.Compression, static_cast<Integer>(ioTIFF_PACKBITS)); }},
      {ppTIFF, ".tif", [](const TIOPreviewPage& p) { Choose(p.Colors, 2); }},
      {ppGIF, ".gif", [](const TIOPreviewPage& p) { Choose(p.Colors, 3); }},
      {ppBMP, ".bmp", [](const TIOPreviewPage& p) {
         Choose(p.Colors, 2);
         Choose(p.Compression, 1);
       }},
      {ppPCX, ".pcx", [](const TIOPreviewPage& p) { Choose(p.Colors, 3); }},
      {ppPNG, ".png", [](const TIOPreviewPage& p) { Choose(p.Compression, 9); }},
      {ppTGA, ".tga", [](const TIOPreviewPage& p) { p.Compressed->SetChecked(false); }},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.ext) + " case " + std::to_string(n));
    Dialog d({ppALL});
    const TIOPreviewPage& page = d.Page(c.page);
    c.choose(page);
    d.form->applyAct(d.form->DadirAvView2);
    d.form->Button1->OnClick(d.form->Button1);  // the options into the parameters
    // The same picture and options through the component into a file.
    TDadirAvIO io(nullptr);
    TIEBitmap picture;
    picture.Assign(d.form->DadirAvView1->GetIEBitmap());
    io.SetIEBitmap(&picture);
    io.GetParams()->Assign(&d.params);
    const std::string path = Dir() + "case" + std::to_string(n++) + c.ext;
    io.SaveToFile(path.c_str());
    ASSERT_FALSE(io.GetAborting());
    EXPECT_EQ(d.CompressedSize(), std::to_string(std::filesystem::file_size(path)) + " bytes");
    if (c.page == ppJPEG || c.page == ppJ2000) {
      // The result view is that file decoded.
      TDadirAvIO reader(nullptr);
      TIEBitmap decoded;
      reader.SetIEBitmap(&decoded);
      reader.LoadFromFile(path.c_str());
      ASSERT_FALSE(reader.GetAborting());
      TIEBitmap* result = d.form->DadirAvView2->GetIEBitmap();
      ASSERT_EQ(result->GetWidth(), decoded.GetWidth());
      EXPECT_EQ(io_test::Pixels(*result), io_test::Pixels(decoded));
    }
  }
}

// The palette picker of the GIF colour panels shows at most the colours of the map
// the last preview left (here 16 from a TIFF preview), not 2^bits of a GIF.
TEST(PreviewDialog, PalettePickerNeverReadsPastTheMap) {
  Dialog d({ppALL});
  const TIOPreviewPage& tiff = d.Page(ppTIFF);
  Choose(tiff.Colors, 1);  // 16 colours
  d.form->applyAct(d.form->DadirAvView2);
  const TIOPreviewPage& gif = d.Page(ppGIF);
  Choose(gif.Colors, 7);  // 256 colours
  const TColor before = gif.TranspColor->GetColor();
  Steps steps;
  steps.On(1, [&] {
    Pump();
    TCustomForm* picker = Screen->GetActiveForm();
    ASSERT_NE(picker, nullptr);
    picker->Repaint();  // every cell it shows is drawn from the map
    sim::PressKey(VK_ESCAPE);
    Pump();
  });
  steps.Post(1);
  gif.TranspColor->OnClick(gif.TranspColor);
  EXPECT_EQ(gif.TranspColor->GetColor(), before);
}

// On screen through the component: Escape cancels and nothing changes; Enter takes
// the choices shown.
TEST_F(IOTest, ThroughTheComponentCancelChangesNothing) {
  TDadirAv view(nullptr);
  Paint(*view.GetIEBitmap(), 80, 60);
  view.Update();
  TDadirAvIO* io = view.GetDadirAvIO();
  io->GetParams()->FileType = 3;
  io->GetParams()->JPEG_Quality = 77;
  io->SimplifiedParamsDialogs = false;
  TfIOPreviews* form = nullptr;
  Steps steps;
  io->OnIOPreview = [&](TObject* sender, TForm* f) {
    EXPECT_EQ(sender, io);
    form = static_cast<TfIOPreviews*>(f);
    f->OnShow = [&](TObject*) { steps.Post(1); };
  };
  steps.On(1, [&] {
    Pump();
    EXPECT_EQ(form->GetCaption(), iemsg(IEMSG_PARAMETERSPREVIEW, msSystem));
    EXPECT_EQ(form->ActivePage()->Kind, ppJPEG);
    EXPECT_EQ(form->ActivePage()->Quality->GetText(), "77");
    Type(form->ActivePage()->Quality, "20");
    Press(form->Button2);  // Cancel
  });
  EXPECT_FALSE(io->DoPreviews({ppAUTO}));
  EXPECT_EQ(io->GetParams()->JPEG_Quality, 77);
  EXPECT_EQ(view.GetIEBitmap()->GetPixelFormat(), ie24RGB);

  steps.On(1, [&] {
    Pump();
    Type(form->ActivePage()->Quality, "20");
    Press(form->Button1);  // OK
  });
  EXPECT_TRUE(io->DoPreviews({ppAUTO}));
  EXPECT_EQ(io->GetParams()->JPEG_Quality, 20);

  // A handler may take the place of the dialog.
  io->OnDoPreviews = [](TObject*, bool& handled) { handled = true; };
  EXPECT_TRUE(io->DoPreviews({ppALL}));
}

// The grid's component: image 0's compression settings go to every image.
TEST(PreviewDialog, GridPreviewSpreadsImage0sSettings) {
  viewtest::ViewForm<TDadirAvMView> grid(300, 200);
  TDadirAvMIO mio(nullptr);
  for (Integer i = 0; i < 3; ++i) {
    const Integer idx = grid.view->AppendImage();
    TIEBitmap b;
    Paint(b, 20, 20);
    grid.view->SetIEBitmap(idx, &b);
  }
  mio.SetAttachedMView(grid.view);
  grid.view->Deselect();
  Steps steps;
  steps.On(1, [&] {
    TfIOPreviews* form = dynamic_cast<TfIOPreviews*>(Screen->GetActiveForm());
    ASSERT_NE(form, nullptr);
    Type(form->ActivePage()->Quality, "12");
    Press(form->Button1);
  });
  steps.Post(1);
  EXPECT_TRUE(mio.DoPreviews(-1, {ppJPEG}));
  EXPECT_EQ(grid.view->GetSelectedItem(), 0);
  for (Integer i = 0; i < 3; ++i) {
    EXPECT_EQ(mio.GetParams(i)->JPEG_Quality, 12) << i;
    EXPECT_EQ(mio.GetParams(i)->GIF_ImageIndex, i);
  }
}

}  // namespace
