// The parameter preview dialog: its pages built in code, the working values and the
// colour choices they mean, the preview rendering and the writing back.
#include "image/io/iopreviews.h"

#include <algorithm>
#include <cmath>

#include "image/io/dadiravio.h"
#include "image/model/iepalettedialog.h"
#include "image/model/ieutils.h"
#include "image/proc/dadiravproc_basic.h"
#include "image/proc/dadiravproc_component.h"
#include "platform/rtl/Strings.h"

#pragma push_macro("Button1")
#undef Button1
#pragma push_macro("Button2")
#undef Button2
#pragma push_macro("Button3")
#undef Button3
#pragma push_macro("Button4")
#undef Button4

namespace {

// Bits per sample and samples per pixel of each colours entry.
struct Depth {
  Integer bits, samples;
};
const Depth kTiffFullColors[] = {{1, 1}, {4, 1}, {8, 1}, {16, 1}, {8, 3}};
const Depth kTiffSimpleColors[] = {{1, 1}, {4, 1}, {8, 1}, {8, 3}};
const Depth kBmpColors[] = {{1, 1}, {4, 1}, {8, 1}, {5, 3}, {8, 3}, {8, 3}};
const Depth kPcxColors[] = {{1, 1}, {4, 1}, {8, 1}, {8, 3}};
const Depth kPngColors[] = {{1, 1}, {8, 1}, {8, 3}};

// The TIFF colours entry of a depth (both lists: the last entry is the 24-bit one).
Integer TiffColorsIndex(Integer b, Integer s, Integer last) {
  if (s == 1) {
    if (b == 1) return 0;
    if (b >= 2 && b <= 4) return 1;
    if (b >= 5 && b <= 8) return 2;
    if (b == 16 && last == 4) return 3;
  }
  return last;
}

Integer BmpColorsIndex(Integer b, Integer s) {
  if (s == 1) return b == 1 ? 0 : b == 4 ? 1 : 2;
  return b == 5 ? 3 : 4;
}
Integer PcxColorsIndex(Integer b, Integer s) {
  if (s == 1) return b == 1 ? 0 : b == 4 ? 1 : 2;
  return 3;
}
Integer PngColorsIndex(Integer b, Integer s) {
  if (s == 1) return b == 1 ? 0 : 1;
  return 2;
}

Integer Number(TEdit* edit, Integer def) { return StrToIntDef(Trim(edit->GetText()), def); }

AnsiString Bytes(Int64 n) { return IntToStr(n) + " bytes"; }

// The simplified TIFF compression entries, in list order.
const TIOTIFFCompression kSimpleTiffCompression[] = {ioTIFF_UNCOMPRESSED, ioTIFF_CCITT1D, ioTIFF_G3FAX1D,
                                                     ioTIFF_G3FAX2D,      ioTIFF_G4FAX,   ioTIFF_LZW,
                                                     ioTIFF_PACKBITS,     ioTIFF_JPEG};

}  // namespace

// ---------------------------------------------------------------------------
// Construction (FormCreate)

TfIOPreviews::TfIOPreviews(TComponent* owner) : TForm(owner), work_(std::make_unique<TIOParamsVals>(nullptr)) {
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetCaption("Parameters preview");
  SetClientWidth(522);
  SetClientHeight(392);
  GetFont()->SetName("MS Sans Serif");
  GetFont()->SetSize(8);

  auto label = [this](TWinControl* parent, const char* text, Integer x, Integer y) {
    auto* l = new TLabel(this);
    l->SetParent(parent);
    l->SetCaption(text);
    l->SetBounds(x, y, 120, 14);
    return l;
  };
  Label1 = label(this, "Source:", 8, 4);
  Label2 = label(this, "Result:", 265, 4);
  auto view = [this](Integer x) {
    auto* v = new TDadirAvView(this);
    v->SetParent(this);
    v->SetBounds(x, 20, 249, 180);
    v->SetBackGround(clWhite);
    return v;
  };
  DadirAvView1 = view(8);
  DadirAvView1->SetMouseInteract(TIEMouseInteract{miZoom, miScroll});
  DadirAvView2 = view(265);
  DadirAvView1->OnViewChange = [this](TObject*, Integer) { FollowSourceView(); };

  PageControl1 = new TPageControl(this);
  PageControl1->SetParent(this);
  PageControl1->SetBounds(8, 176, 506, 180);
  PageControl1->OnChanging = [this](TObject*, bool&) { ready_ = false; };
  PageControl1->OnChange = [this](TObject*) {
    ready_ = true;
    ResetParameters();
    ApplyParameters();
    PreviewIfLocked();
    Button4->SetEnabled(false);
  };

  auto button = [this](const char* text, Integer x) {
    auto* b = new TButton(this);
    b->SetParent(this);
    b->SetCaption(text);
    b->SetBounds(x, 362, 75, 25);
    return b;
  };
  Button3 = button("&Preview", 8);
  Button4 = button("&Apply", 88);
  Button1 = button("OK", 360);
  Button2 = button("Cancel", 439);
  Button1->SetDefault(true);
  Button1->SetModalResult(mrOk);
  Button2->SetCancel(true);
  Button2->SetModalResult(mrCancel);
  Button1->OnClick = [this](TObject*) { WriteBack(); };
  Button4->OnClick = [this](TObject*) {
    WriteBack();
    Button4->SetEnabled(false);
  };
  Button3->OnClick = [this](TObject*) { applyAct(DadirAvView2); };
  SpeedButton1 = new TSpeedButton(this);
  SpeedButton1->SetParent(this);
  SpeedButton1->SetBounds(168, 363, 23, 22);
  SpeedButton1->SetCaption("L");
  SpeedButton1->SetGroupIndex(1);
  SpeedButton1->SetAllowAllUp(true);
  SpeedButton1->SetHint("Lock preview");
  SpeedButton1->SetShowHint(true);
  SpeedButton1->OnClick = [this](TObject*) {
    Button3->SetEnabled(!SpeedButton1->GetDown());
    if (SpeedButton1->GetDown()) applyAct(DadirAvView2);
  };
  ProgressBar1 = new TProgressBar(this);
  ProgressBar1->SetParent(this);
  ProgressBar1->SetBounds(198, 367, 150, 16);
  ProgressBar1->SetRange(0, 100);
  ColorDialog1 = new TColorDialog(this);

  MakeJpegPage(false);
  MakeJpegPage(true);
  MakeTiffPage(false);
  MakeTiffPage(true);
  MakeGifPage(false);
  MakeGifPage(true);
  MakeColorsPage(ppBMP);
  MakeColorsPage(ppPCX);
  MakeColorsPage(ppPNG);
  MakeColorsPage(ppTGA);
  MakeJ2000Page();

  io_ = new TDadirAvIO(this);
  io_->OnProgress = [this](TObject* sender, Integer per) { Progress(sender, per); };
  io_->StreamHeaders = false;
  proc_ = new TDadirAvProc(this);
  Button4->SetEnabled(false);
  OnActivate = [this](TObject* sender) { FormActivate(sender); };
}

TfIOPreviews::~TfIOPreviews() = default;

TIOPreviewPage& TfIOPreviews::MakePage(TPreviewParamsItems kind, bool simplified, const char* caption) {
  auto page = std::make_unique<TIOPreviewPage>();
  page->Kind = kind;
  page->Simplified = simplified;
  page->Sheet = new TTabSheet(this);
  page->Sheet->SetPageControl(PageControl1);
  page->Sheet->SetCaption(caption);
  pageList_.push_back(std::move(page));
  return *pageList_.back();
}

namespace {

// Controls placed row by row in columns of a page.
struct Placer {
  TfIOPreviews* form;
  TIOPreviewPage& page;
  TWinControl* parent;
  Integer x = 8, y = 8;

  TLabel* Label(const char* text, TMsgLanguageWords word, Integer style = 1, Integer w = 118) {
    auto* l = new TLabel(form);
    l->SetParent(parent);
    l->SetCaption(text);
    l->SetBounds(x, y + 3, w, 14);
    page.Words.push_back({l, word, style});
    return l;
  }
  TComboBox* Combo(const char* text, TMsgLanguageWords word, std::initializer_list<const char*> items) {
    Label(text, word);
    auto* c = new TComboBox(form);
    c->SetParent(parent);
    c->SetStyle(csDropDownList);
    for (const char* item : items) c->GetItems()->Add(item);
    c->SetBounds(x + 120, y, 110, 21);
    y += 24;
    return c;
  }
  TEdit* Edit(const char* text, TMsgLanguageWords word, Integer w = 60) {
    Label(text, word);
    auto* e = new TEdit(form);
    e->SetParent(parent);
    e->SetBounds(x + 120, y, w, 21);
    y += 24;
    return e;
  }
  TCheckBox* Check(const char* text, TMsgLanguageWords word, Integer style = 0) {
    auto* c = new TCheckBox(form);
    c->SetParent(parent);
    c->SetCaption(text);
    c->SetBounds(x, y, 160, 20);
    page.Words.push_back({c, word, style});
    y += 23;
    return c;
  }
  TPanel* ColourPanel(const char* text, TMsgLanguageWords word, TLabel** labelOut) {
    TLabel* l = Label(text, word);
    if (labelOut != nullptr) *labelOut = l;
    auto* p = new TPanel(form);
    p->SetParent(parent);
    p->SetBounds(x + 120, y, 40, 20);
    p->SetBevelOuter(bvLowered);
    y += 24;
    return p;
  }
  void Sizes(Integer atX, Integer atY) {
    x = atX;
    y = atY;
    auto pair = [this](const char* caption, TMsgLanguageWords word, TLabel*& captionOut, TLabel*& valueOut) {
      captionOut = Label(caption, word);
      captionOut->SetTop(y);
      auto* value = new TLabel(form);
      value->SetParent(parent);
      value->SetCaption("---");
      value->SetBounds(x + 124, y, 110, 14);
      valueOut = value;
      y += 16;
    };
    pair("Original size:", IEMSG_ORIGINALSIZE, page.OriginalSizeCaption, page.OriginalSize);
    pair("Compressed size:", IEMSG_COMPRESSEDSIZE, page.CompressedSizeCaption, page.CompressedSize);
  }
};

}  // namespace

void TfIOPreviews::MakeJpegPage(bool simplified) {
  TIOPreviewPage& page = MakePage(ppJPEG, simplified, "JPEG");
  Placer p{this, page, page.Sheet};
  page.Quality = p.Edit("&Quality:", IEMSG_QUALITY, 40);
  page.QualityBar = new TTrackBar(this);
  page.QualityBar->SetParent(page.Sheet);
  page.QualityBar->SetBounds(8, p.y, 220, 26);
  page.QualityBar->SetParams(80, 0, 100);
  page.QualityBar->SetFrequency(5);
  page.QualityBar->SetThumbLength(10);
  if (!simplified) {
    page.Advanced = new TGroupBox(this);
    page.Advanced->SetParent(page.Sheet);
    page.Advanced->SetCaption(" Advanced ");
    page.Advanced->SetBounds(250, 2, 246, 120);
    page.Words.push_back({page.Advanced, IEMSG_ADVANCED, 2});
    Placer a{this, page, page.Advanced, 8, 16};
    page.DCTMethod = a.Combo("&DCT method:", IEMSG_DCTMETHOD, {"ISLOW", "IFAST", "FLOAT"});
    page.Smooth = a.Edit("&Smoothing factor:", IEMSG_SMOOTHINGFACTOR, 40);
    page.SmoothUpDown = new TUpDown(this);
    page.SmoothUpDown->SetParent(page.Advanced);
    page.SmoothUpDown->SetBounds(a.x + 162, a.y - 24, 16, 21);
    page.SmoothUpDown->SetMin(0);
    page.SmoothUpDown->SetMax(100);
    page.SmoothUpDown->SetAssociate(page.Smooth);
    page.Photometric = a.Combo("P&hotometric:", IEMSG_PHOTOMETRIC, {"RGB", "GrayScale", "YCbCr", "CMYK", "YCbCrK"});
    page.OptimalHuffman = a.Check("&Optimal Huffman", IEMSG_OPTIMALHUFFMAN);
    page.OptimalHuffman->SetBounds(8, a.y - 23, 110, 20);
    page.Progressive = a.Check("P&rogressive", IEMSG_PROGRESSIVE);
    page.Progressive->SetBounds(124, a.y - 46, 110, 20);
  }
  p.Sizes(8, 61);
  for (TControl* c : std::initializer_list<TControl*>{page.Quality, page.QualityBar, page.DCTMethod, page.Smooth,
                                                     page.Photometric, page.OptimalHuffman, page.Progressive})
    if (c != nullptr) {
      if (auto* e = dynamic_cast<TEdit*>(c)) e->OnChange = [this](TObject* s) { Changed(s); };
      if (auto* t = dynamic_cast<TTrackBar*>(c)) t->OnChange = [this](TObject* s) { Changed(s); };
      if (auto* k = dynamic_cast<TComboBox*>(c)) k->OnChange = [this](TObject* s) { Changed(s); };
      if (auto* b = dynamic_cast<TCheckBox*>(c)) b->OnClick = [this](TObject* s) { Changed(s); };
    }
}

void TfIOPreviews::MakeTiffPage(bool simplified) {
  TIOPreviewPage& page = MakePage(ppTIFF, simplified, "TIFF");
  Placer p{this, page, page.Sheet};
  if (simplified) {
    page.Compression = p.Combo("&Compression:", IEMSG_COMPRESSION,
                               {"Uncompressed", "CCITT1D", "G3Fax1D", "G3Fax2D", "G4Fax", "LZW", "PackBits", "Jpeg"});
    page.Colors = p.Combo("C&olors:", IEMSG_COLORS, {"2", "16", "256", "16777216"});
  } else {
    page.Compression = p.Combo("&Compression:", IEMSG_COMPRESSION,
                               {"UNCOMPRESSED", "CCITT1D", "G3FAX1D", "G3FAX2D", "G4FAX", "LZW", "OLDJPEG", "JPEG",
                                "PACKBITS"});
    page.ImageIndex = p.Edit("&Image index:", IEMSG_IMAGEINDEX, 40);
    page.ImageIndexUpDown = new TUpDown(this);
    page.ImageIndexUpDown->SetParent(page.Sheet);
    page.ImageIndexUpDown->SetBounds(p.x + 162, p.y - 24, 16, 21);
    page.ImageIndexUpDown->SetMin(0);
    page.ImageIndexUpDown->SetMax(1000);
    page.ImageIndexUpDown->SetAssociate(page.ImageIndex);
    page.Photometric = p.Combo("P&hotometric:", IEMSG_PHOTOMETRIC,
                               {"WHITEISZERO/Gray", "BLACKISZERO/Gray", "RGB", "RGBPALETTE", "TRANSPMASK", "CMYK",
                                "YCBCR", "CIELAB"});
    page.Colors = p.Combo("C&olors:", IEMSG_COLORS, {"B/W", "16", "256", "65536", "16M"});
    page.Advanced = new TGroupBox(this);
    page.Advanced->SetParent(page.Sheet);
    page.Advanced->SetCaption(" Scanned document info ");
    page.Advanced->SetBounds(250, 2, 246, 150);
    page.Words.push_back({page.Advanced, IEMSG_SCANNDEDDOCUMENTINFO, 2});
    Placer a{this, page, page.Advanced, 6, 14};
    auto small = [&](TEdit* e) {
      e->SetHeight(18);
      a.y -= 5;
      return e;
    };
    page.XPos = small(a.Edit("H&oriz. Position (inch):", IEMSG_HORIZPOSITIONINCH, 40));
    page.YPos = small(a.Edit("&Vert. Position (inch):", IEMSG_VERTPOSITIONINCH, 40));
    page.Name = small(a.Edit("&Name:", IEMSG_NAME, 120));
    page.Description = small(a.Edit("&Description:", IEMSG_DESCRIPTION, 120));
    page.PageName = small(a.Edit("P&age name:", IEMSG_PAGENAME, 120));
    page.PageNumber = small(a.Edit("Page N&umber:", IEMSG_PAGENUMBER, 30));
    a.x += 150;
    a.y -= 20;
    a.Label("o&f", IEMSG_OF, 0, 16);
    page.PageCount = new TEdit(this);
    page.PageCount->SetParent(page.Advanced);
    page.PageCount->SetBounds(a.x + 18, a.y, 30, 18);
  }
  p.Sizes(8, simplified ? 61 : 108);
  for (TComboBox* c : {page.Compression, page.Colors, page.Photometric})
    if (c != nullptr) c->OnChange = [this](TObject* s) { Changed(s); };
  for (TEdit* e : {page.ImageIndex, page.XPos, page.YPos, page.Name, page.Description, page.PageName,
                   page.PageNumber, page.PageCount})
    if (e != nullptr) e->OnChange = [this](TObject* s) { Changed(s); };
}

void TfIOPreviews::MakeGifPage(bool simplified) {
  TIOPreviewPage& page = MakePage(ppGIF, simplified, "GIF");
  Placer p{this, page, page.Sheet};
  if (!simplified) {
    page.ImageIndex = p.Edit("&Image index:", IEMSG_IMAGEINDEX, 40);
    page.ImageIndexUpDown = new TUpDown(this);
    page.ImageIndexUpDown->SetParent(page.Sheet);
    page.ImageIndexUpDown->SetBounds(p.x + 162, p.y - 24, 16, 21);
    page.ImageIndexUpDown->SetMin(0);
    page.ImageIndexUpDown->SetMax(1000);
    page.ImageIndexUpDown->SetAssociate(page.ImageIndex);
  }
  page.Colors = p.Combo("&Colors:", IEMSG_COLORS, {"B/W", "4", "8", "16", "32", "64", "128", "256"});
  if (!simplified) {
    page.Transparent = p.Check("&Transparent:", IEMSG_TRANSPARENT, 1);
    page.TranspColor = p.ColourPanel("T&ransparent color:", IEMSG_TRANSPARENTCOLOR, &page.TranspColorLabel);
    page.Interlaced = p.Check("I&nterlaced:", IEMSG_INTERLACED, 1);
    page.Background = p.ColourPanel("&Background:", IEMSG_BACKGROUND, &page.BackgroundLabel);
    page.Advanced = new TGroupBox(this);
    page.Advanced->SetParent(page.Sheet);
    page.Advanced->SetCaption(" Advanced ");
    page.Advanced->SetBounds(250, 2, 246, 90);
    page.Words.push_back({page.Advanced, IEMSG_ADVANCED, 2});
    Placer a{this, page, page.Advanced, 8, 16};
    page.Delay = a.Edit("&Delay time:", IEMSG_DELAYTIME, 40);
    auto* unit = new TLabel(this);
    unit->SetParent(page.Advanced);
    unit->SetCaption("1/100 s");
    unit->SetBounds(a.x + 166, a.y - 21, 50, 14);
    page.XPos = a.Edit("&Horiz. Position:", IEMSG_HORIZPOSITION, 40);
    page.YPos = a.Edit("&Vert. Position:", IEMSG_VERTPOSITION, 40);
    page.TranspColor->OnClick = [this](TObject*) {
      TIOPreviewPage* pg = FindPage(PageControl1->GetActivePage());
      if (pg != nullptr && pg->TranspColor != nullptr) ChooseColour(pg->TranspColor, work_->GIF_TranspColor, true);
    };
    page.Background->OnClick = [this](TObject*) {
      TIOPreviewPage* pg = FindPage(PageControl1->GetActivePage());
      if (pg != nullptr && pg->Background != nullptr) ChooseColour(pg->Background, work_->GIF_Background, true);
    };
  }
  p.Sizes(simplified ? 8 : 250, simplified ? 61 : 96);
  for (TComboBox* c : {page.Colors}) c->OnChange = [this](TObject* s) { Changed(s); };
  for (TCheckBox* c : {page.Transparent, page.Interlaced})
    if (c != nullptr) c->OnClick = [this](TObject* s) { Changed(s); };
  for (TEdit* e : {page.ImageIndex, page.Delay, page.XPos, page.YPos})
    if (e != nullptr) e->OnChange = [this](TObject* s) { Changed(s); };
}

void TfIOPreviews::MakeColorsPage(TPreviewParamsItems kind) {
  const char* caption = kind == ppBMP ? "BMP" : kind == ppPCX ? "PCX" : kind == ppPNG ? "PNG" : "TGA";
  TIOPreviewPage& page = MakePage(kind, false, caption);
  Placer p{this, page, page.Sheet};
  if (kind == ppBMP || kind == ppPCX) {
    page.Compression = p.Combo("&Compression:", IEMSG_COMPRESSION, {"UNCOMPRESSED", "RLE"});
    if (kind == ppBMP)
      page.Colors = p.Combo("C&olors:", IEMSG_COLORS, {"B/W", "16", "256", "65536", "16M", "16M (32bit)"});
    else
      page.Colors = p.Combo("C&olors:", IEMSG_COLORS, {"B/W", "16", "256", "16M"});
  } else {
    page.Colors = p.Combo("C&olors:", IEMSG_COLORS, {"B/W", "256", "16M"});
    if (kind == ppTGA) page.Compressed = p.Check("Compression:", IEMSG_COMPRESSION, 1);
    page.Background = p.ColourPanel("&Background:", IEMSG_BACKGROUND, &page.BackgroundLabel);
    page.HiddenWhenSimplified = {page.Background, page.BackgroundLabel};
    TRGB* target = kind == ppPNG ? &work_->PNG_Background : &work_->TGA_Background;
    page.Background->OnClick = [this, target](TObject*) {
      TIOPreviewPage* pg = FindPage(PageControl1->GetActivePage());
      if (pg != nullptr && pg->Background != nullptr) ChooseColour(pg->Background, *target, false);
    };
    if (kind == ppPNG) {
      page.Advanced = new TGroupBox(this);
      page.Advanced->SetParent(page.Sheet);
      page.Advanced->SetCaption(" Advanced ");
      page.Advanced->SetBounds(250, 2, 246, 90);
      page.Words.push_back({page.Advanced, IEMSG_ADVANCED, 2});
      Placer a{this, page, page.Advanced, 8, 16};
      page.Filter = a.Combo("&Filter", IEMSG_FILTER, {"None", "Sub", "Paeth"});
      page.Interlaced = a.Check("I&nterlaced:", IEMSG_INTERLACED);
      page.Compression =
          a.Combo("Co&mpression", IEMSG_COMPRESSION, {"None", "1", "2", "3", "4", "5", "6", "7", "8", "Max"});
      page.HiddenWhenSimplified.push_back(page.Advanced);
    } else {
      page.Name = p.Edit("&Name:", IEMSG_NAME, 120);
      page.Description = p.Edit("&Description:", IEMSG_DESCRIPTION, 120);
      page.HiddenWhenSimplified.push_back(page.Name);
      page.HiddenWhenSimplified.push_back(page.Description);
      for (const auto& w : page.Words)
        if (w.word == IEMSG_NAME || w.word == IEMSG_DESCRIPTION) page.HiddenWhenSimplified.push_back(w.control);
    }
  }
  p.Sizes(kind == ppPNG ? 8 : 250, kind == ppPNG ? 61 : 8);
  for (TComboBox* c : {page.Compression, page.Colors, page.Filter})
    if (c != nullptr) c->OnChange = [this](TObject* s) { Changed(s); };
  for (TCheckBox* c : {page.Interlaced, page.Compressed})
    if (c != nullptr) c->OnClick = [this](TObject* s) { Changed(s); };
  for (TEdit* e : {page.Name, page.Description})
    if (e != nullptr) e->OnChange = [this](TObject* s) { Changed(s); };
}

void TfIOPreviews::MakeJ2000Page() {
  TIOPreviewPage& page = MakePage(ppJ2000, false, "JPEG2000");
  Placer p{this, page, page.Sheet};
  page.Quality = p.Edit("&Rate:", IEMSG_RATE, 40);
  page.QualityBar = new TTrackBar(this);
  page.QualityBar->SetParent(page.Sheet);
  page.QualityBar->SetBounds(8, p.y, 220, 30);
  page.QualityBar->SetParams(1000, 0, 1000);
  page.QualityBar->SetFrequency(20);
  page.QualityBar->SetThumbLength(10);
  p.y += 32;
  page.Photometric = p.Combo("P&hotometric:", IEMSG_PHOTOMETRIC, {"GrayScale", "RGB", "YCbCr"});
  page.HiddenWhenSimplified = {page.Photometric, page.Words.back().control};
  p.Sizes(250, 8);
  page.Quality->OnChange = [this](TObject* s) { Changed(s); };
  page.QualityBar->OnChange = [this](TObject* s) { Changed(s); };
  page.Photometric->OnChange = [this](TObject* s) { Changed(s); };
}

// ---------------------------------------------------------------------------
// Pages and language

TIOPreviewPage* TfIOPreviews::FindPage(TTabSheet* sheet) {
  for (auto& page : pageList_)
    if (page->Sheet == sheet) return page.get();
  return nullptr;
}

const TIOPreviewPage* TfIOPreviews::ActivePage() const {
  for (const auto& page : pageList_)
    if (page->Sheet == PageControl1->GetActivePage()) return page.get();
  return nullptr;
}

const TIOPreviewPage& TfIOPreviews::Page(TPreviewParamsItems kind, bool simplified) const {
  for (const auto& page : pageList_)
    if (page->Kind == kind && (page->Simplified == simplified || kind == ppBMP || kind == ppPCX || kind == ppPNG ||
                               kind == ppTGA || kind == ppJ2000))
      return *page;
  return *pageList_.front();
}

void TfIOPreviews::ChoosePage(TPreviewParamsItems kind) {
  const TIOPreviewPage& page = Page(kind, SimplifiedParamsDialogs);
  if (!page.Sheet->GetTabVisible() || page.Sheet == PageControl1->GetActivePage()) return;
  if (PageControl1->OnChanging) {
    bool allow = true;
    PageControl1->OnChanging(PageControl1, allow);
  }
  PageControl1->SetActivePage(page.Sheet);
  if (PageControl1->OnChange) PageControl1->OnChange(PageControl1);
}

bool TfIOPreviews::SetPreviewParams(TPreviewParams pages) {
  pages_ = pages;
  if (pages_.Contains(ppAUTO) && fParams != nullptr) {
    switch (fParams->FileType) {
      case 1: pages_.Include(ppTIFF); break;
      case 2: pages_.Include(ppGIF); break;
      case 3: pages_.Include(ppJPEG); break;
      case 4: pages_.Include(ppPCX); break;
      case 5: pages_.Include(ppBMP); break;
      case 8: pages_.Include(ppPNG); break;
      case 11: pages_.Include(ppTGA); break;
      case 13: case 14: pages_.Include(ppJ2000); break;
      default: break;
    }
  }
  return !(pages_ == TPreviewParams{ppAUTO});
}

void TfIOPreviews::SetLanguage(TMsgLanguage language) {
  auto word = [language](TMsgLanguageWords w, Integer style) {
    const AnsiString text = iemsg(w, language);
    return style == 1 ? text + ":" : style == 2 ? " " + text + " " : text;
  };
  SetCaption(word(IEMSG_PARAMETERSPREVIEW, 0));
  Label1->SetCaption(word(IEMSG_SOURCE, 1));
  Label2->SetCaption(word(IEMSG_RESULT, 1));
  Button1->SetCaption(word(IEMSG_OK, 0));
  Button2->SetCaption(word(IEMSG_CANCEL, 0));
  Button3->SetCaption(word(IEMSG_PREVIEW, 0));
  Button4->SetCaption(word(IEMSG_APPLY, 0));
  SpeedButton1->SetHint(word(IEMSG_LOCKPREVIEW, 0));
  for (auto& page : pageList_)
    for (const auto& w : page->Words) w.control->SetText(word(w.word, w.style));
  // The PNG interlace box goes without a colon.
  const TIOPreviewPage& png = Page(ppPNG, false);
  if (png.Interlaced != nullptr) png.Interlaced->SetCaption(word(IEMSG_INTERLACED, 0));
  cancelCaption_ = "&" + iemsg(IEMSG_CANCEL, language);
}

// ---------------------------------------------------------------------------
// Activation and the working values

void TfIOPreviews::FormActivate(TObject*) {
  ready_ = true;
  SpeedButton1->SetDown(DefaultLockPreview);
  Button3->SetEnabled(!SpeedButton1->GetDown());
  PageControl1->SetVisible(false);
  const bool all = pages_.Contains(ppALL);
  const bool simple = SimplifiedParamsDialogs;
  TTabSheet* first = nullptr;
  for (auto& page : pageList_) {
    const bool bothStyles = page->Kind == ppBMP || page->Kind == ppPCX || page->Kind == ppPNG ||
                            page->Kind == ppTGA || page->Kind == ppJ2000;
    const bool shown = (all || pages_.Contains(page->Kind)) && (bothStyles || page->Simplified == simple);
    page->Sheet->SetTabVisible(shown);
    for (TControl* c : page->HiddenWhenSimplified) c->SetVisible(!simple);
    if (bothStyles && page->OriginalSizeCaption != nullptr && simple) {
      page->OriginalSizeCaption->SetTop(61);
      page->OriginalSize->SetTop(61);
      page->CompressedSizeCaption->SetTop(77);
      page->CompressedSize->SetTop(77);
      page->OriginalSizeCaption->SetLeft(8);
      page->OriginalSize->SetLeft(132);
      page->CompressedSizeCaption->SetLeft(8);
      page->CompressedSize->SetLeft(132);
    }
    if (shown && first == nullptr) first = page->Sheet;
  }
  if (simple) {
    PageControl1->SetHeight(122);
    SetHeight(330);
  } else {
    SetClientHeight(392);
  }
  // The pages and the buttons at the bottom of the client area, the views above them.
  const Integer buttonsTop = GetClientHeight() - 30;
  PageControl1->SetTop(buttonsTop - 6 - PageControl1->GetHeight());
  const Integer viewsHeight = std::max<Integer>(PageControl1->GetTop() - 26, 40);
  DadirAvView1->SetHeight(viewsHeight);
  DadirAvView2->SetHeight(viewsHeight);
  for (TControl* c : std::initializer_list<TControl*>{Button1, Button2, Button3, Button4})
    c->SetTop(buttonsTop);
  SpeedButton1->SetTop(buttonsTop + 1);
  ProgressBar1->SetTop(buttonsTop + 5);
  PageControl1->SetActivePage(first);
  PageControl1->SetVisible(true);
  ResetParameters();
  ApplyParameters();
  // The views lay out now; their paints come with the modal loop. (Pumping the
  // queue here would run the person's first clicks before the loop starts, which
  // then forgets the result they set.)
  DadirAvView1->Fit();
  DadirAvView2->Update();
  if (PageControl1->OnChange) PageControl1->OnChange(PageControl1);
  DadirAvView1->Fit();
}

void TfIOPreviews::ResetParameters() {
  if (fParams != nullptr) work_->Assign(fParams);
}

void TfIOPreviews::ApplyParameters() {
  TIOPreviewPage* page = FindPage(PageControl1->GetActivePage());
  if (page == nullptr) return;
  ready_ = false;
  TIOParamsVals& w = *work_;
  const Integer b = w.BitsPerSample, s = w.SamplesPerPixel;
  switch (page->Kind) {
    case ppJPEG:
      page->Quality->SetText(IntToStr(w.JPEG_Quality));
      page->QualityBar->SetPosition(w.JPEG_Quality);
      if (!page->Simplified) {
        page->DCTMethod->SetItemIndex(static_cast<Integer>(w.JPEG_DCTMethod));
        page->Smooth->SetText(IntToStr(w.JPEG_Smooth));
        page->Photometric->SetItemIndex(static_cast<Integer>(w.JPEG_ColorSpace));
        page->OptimalHuffman->SetChecked(w.JPEG_OptimalHuffman);
        page->Progressive->SetChecked(w.JPEG_Progressive);
      }
      break;
    case ppTIFF: {
      Integer colors;
      if (page->Simplified) {
        Integer entry = 0;
        switch (w.TIFF_Compression) {
          case ioTIFF_CCITT1D: case ioTIFF_G3FAX1D: case ioTIFF_G3FAX2D: case ioTIFF_G4FAX:
            entry = static_cast<Integer>(w.TIFF_Compression);
            w.BitsPerSample = 1;
            w.SamplesPerPixel = 1;
            break;
          case ioTIFF_LZW: entry = 5; break;
          case ioTIFF_PACKBITS: entry = 6; break;
          case ioTIFF_JPEG:
            entry = 7;
            w.BitsPerSample = 8;
            w.SamplesPerPixel = 3;
            break;
          default: entry = 0; break;
        }
        page->Compression->SetItemIndex(entry);
        colors = TiffColorsIndex(w.BitsPerSample, w.SamplesPerPixel, 3);
      } else {
        page->Compression->SetItemIndex(std::min(static_cast<Integer>(w.TIFF_Compression), 8));
        colors = TiffColorsIndex(b, s, 4);
        switch (w.TIFF_PhotometInterpret) {
          case ioTIFF_CMYK: case ioTIFF_YCBCR: case ioTIFF_CIELAB: colors = 4; break;
          case ioTIFF_RGB: case ioTIFF_RGBPALETTE: case ioTIFF_TRANSPMASK:
            if (colors == 0) colors = 4;
            break;
          case ioTIFF_WHITEISZERO: case ioTIFF_BLACKISZERO: colors = b == 1 ? 0 : 2; break;
        }
        page->Photometric->SetItemIndex(static_cast<Integer>(w.TIFF_PhotometInterpret));
        page->ImageIndex->SetText(IntToStr(w.TIFF_ImageIndex));
        page->XPos->SetText(IntToStr(w.TIFF_XPos));
        page->YPos->SetText(IntToStr(w.TIFF_YPos));
        page->Name->SetText(w.TIFF_DocumentName);
        page->Description->SetText(w.TIFF_ImageDescription);
        page->PageName->SetText(w.TIFF_PageName);
        page->PageNumber->SetText(IntToStr(w.TIFF_PageNumber));
        page->PageCount->SetText(IntToStr(w.TIFF_PageCount));
      }
      page->Colors->SetItemIndex(colors);
      break;
    }
    case ppGIF:
      page->Colors->SetItemIndex(std::clamp(b, 1, 8) - 1);
      if (!page->Simplified) {
        page->ImageIndex->SetText(IntToStr(w.GIF_ImageIndex));
        page->Transparent->SetChecked(w.GIF_FlagTranspColor);
        page->TranspColor->SetColor(TRGB2TColor(w.GIF_TranspColor));
        page->TranspColor->SetEnabled(w.GIF_FlagTranspColor);
        page->TranspColorLabel->SetEnabled(w.GIF_FlagTranspColor);
        page->Interlaced->SetChecked(w.GIF_Interlaced);
        page->Background->SetColor(TRGB2TColor(w.GIF_Background));
        page->Delay->SetText(IntToStr(w.GIF_DelayTime));
        page->XPos->SetText(IntToStr(w.GIF_XPos));
        page->YPos->SetText(IntToStr(w.GIF_YPos));
      }
      break;
    case ppBMP:
      page->Compression->SetItemIndex(w.BMP_Compression == ioBMP_RLE ? 1 : 0);
      page->Colors->SetItemIndex(BmpColorsIndex(b, s));
      break;
    case ppPCX:
      page->Compression->SetItemIndex(w.PCX_Compression == ioPCX_RLE ? 1 : 0);
      page->Colors->SetItemIndex(PcxColorsIndex(b, s));
      break;
    case ppPNG:
      page->Colors->SetItemIndex(PngColorsIndex(b, s));
      page->Background->SetColor(TRGB2TColor(w.PNG_Background));
      page->Filter->SetItemIndex(static_cast<Integer>(w.PNG_Filter));
      page->Interlaced->SetChecked(w.PNG_Interlaced);
      page->Compression->SetItemIndex(std::clamp(w.PNG_Compression, 0, 9));
      break;
    case ppTGA:
      page->Colors->SetItemIndex(PngColorsIndex(b, s));
      page->Background->SetColor(TRGB2TColor(w.TGA_Background));
      page->Compressed->SetChecked(w.TGA_Compressed);
      page->Name->SetText(w.TGA_ImageName);
      page->Description->SetText(w.TGA_Descriptor);
      break;
    case ppJ2000: {
      const Integer rate = static_cast<Integer>(std::lround(w.J2000_Rate * 1000));
      page->QualityBar->SetPosition(rate);
      page->Quality->SetText(IntToStr(rate));
      page->Photometric->SetItemIndex(static_cast<Integer>(w.J2000_ColorSpace));
      break;
    }
    default: break;
  }
  // Original size: the source's rows, 1 bit for a one-bit picture, else 24.
  TIEBitmap* source = DadirAvView1->GetIEBitmap();
  if (source != nullptr && page->OriginalSize != nullptr) {
    const Int64 bits = source->GetPixelFormat() == ie1g ? 1 : 24;
    const Int64 row = (bits * source->GetWidth() + 31) / 32 * 4;
    page->OriginalSize->SetCaption(Bytes(row * source->GetHeight()));
  }
  ready_ = true;
}

void TfIOPreviews::Changed(TObject* control) {
  if (!ready_) return;
  TIOPreviewPage* page = FindPage(PageControl1->GetActivePage());
  if (page == nullptr) return;
  ready_ = false;
  ReadPage(*page, control);
  ready_ = true;
  PreviewIfLocked();
  Button4->SetEnabled(true);
}

void TfIOPreviews::ReadPage(TIOPreviewPage& page, TObject* control) {
  TIOParamsVals& w = *work_;
  auto setDepth = [&w](const Depth& d) {
    w.BitsPerSample = d.bits;
    w.SamplesPerPixel = d.samples;
  };
  auto colorsIndex = [&page](Integer count) { return std::clamp(page.Colors->GetItemIndex(), 0, count - 1); };
  switch (page.Kind) {
    case ppJPEG: {
      if (control == page.Quality) {
        const Integer q = Number(page.Quality, 50);
        if (page.QualityBar->GetPosition() != q) page.QualityBar->SetPosition(q);
        w.JPEG_Quality = q;
      } else if (control == page.QualityBar) {
        w.JPEG_Quality = page.QualityBar->GetPosition();
        page.Quality->SetText(IntToStr(w.JPEG_Quality));
      }
      if (!page.Simplified) {
        w.JPEG_Quality = page.QualityBar->GetPosition();
        w.JPEG_ColorSpace = static_cast<TIOJPEGColorspace>(std::max(page.Photometric->GetItemIndex(), 0));
        w.JPEG_DCTMethod = static_cast<TIOJPEGDctMethod>(std::max(page.DCTMethod->GetItemIndex(), 0));
        w.JPEG_OptimalHuffman = page.OptimalHuffman->GetChecked();
        w.JPEG_Smooth = Number(page.Smooth, 0);
        w.JPEG_Progressive = page.Progressive->GetChecked();
      }
      break;
    }
    case ppJ2000: {
      if (control == page.QualityBar) {
        w.J2000_Rate = page.QualityBar->GetPosition() / 1000.0;
        page.Quality->SetText(IntToStr(static_cast<Integer>(std::lround(w.J2000_Rate * 1000))));
      } else if (control == page.Quality) {
        const Integer r = Number(page.Quality, 1000);
        if (page.QualityBar->GetPosition() != r) page.QualityBar->SetPosition(r);
        w.J2000_Rate = page.QualityBar->GetPosition() / 1000.0;
      }
      const Integer cs = std::max(page.Photometric->GetItemIndex(), 0);
      w.J2000_ColorSpace = static_cast<TIOJ2000ColorSpace>(cs);
      setDepth(cs == 0 ? Depth{8, 1} : Depth{8, 3});
      break;
    }
    case ppTIFF:
      if (page.Simplified) {
        if (control == page.Compression) {
          const Integer c = std::max(page.Compression->GetItemIndex(), 0);
          w.TIFF_Compression = kSimpleTiffCompression[c];
          if (c >= 1 && c <= 4) {
            page.Colors->SetItemIndex(0);
            w.TIFF_PhotometInterpret = ioTIFF_BLACKISZERO;
          } else if (c == 7) {
            page.Colors->SetItemIndex(3);
            w.TIFF_PhotometInterpret = ioTIFF_YCBCR;
          }
        }
        const Integer colors = colorsIndex(4);
        setDepth(kTiffSimpleColors[colors]);
        const Integer c = std::max(page.Compression->GetItemIndex(), 0);
        if ((colors > 0 && c >= 1 && c <= 4) || (colors <= 1 && c == 7)) {
          page.Compression->SetItemIndex(0);
          w.TIFF_Compression = ioTIFF_UNCOMPRESSED;
        }
      } else {
        if (control == page.Photometric) {
          switch (static_cast<TIOTIFFPhotometInterpret>(std::max(page.Photometric->GetItemIndex(), 0))) {
            case ioTIFF_RGB: case ioTIFF_CMYK: case ioTIFF_YCBCR: case ioTIFF_CIELAB: page.Colors->SetItemIndex(4); break;
            case ioTIFF_RGBPALETTE: page.Colors->SetItemIndex(2); break;
            case ioTIFF_WHITEISZERO: case ioTIFF_BLACKISZERO:
              if (page.Colors->GetItemIndex() > 0) page.Colors->SetItemIndex(2);
              break;
            default: break;
          }
        } else if (control == page.Colors) {
          const Integer photometric = page.Photometric->GetItemIndex();
          switch (page.Colors->GetItemIndex()) {
            case 0:
              if (photometric > static_cast<Integer>(ioTIFF_BLACKISZERO))
                page.Photometric->SetItemIndex(static_cast<Integer>(ioTIFF_BLACKISZERO));
              break;
            case 1: page.Photometric->SetItemIndex(static_cast<Integer>(ioTIFF_RGBPALETTE)); break;
            case 2:
              if (photometric == static_cast<Integer>(ioTIFF_RGB) ||
                  photometric > static_cast<Integer>(ioTIFF_RGBPALETTE))
                page.Photometric->SetItemIndex(static_cast<Integer>(ioTIFF_RGBPALETTE));
              break;
            default: break;
          }
        }
        w.TIFF_Compression = static_cast<TIOTIFFCompression>(std::max(page.Compression->GetItemIndex(), 0));
        w.TIFF_PhotometInterpret =
            static_cast<TIOTIFFPhotometInterpret>(std::max(page.Photometric->GetItemIndex(), 0));
        setDepth(w.TIFF_PhotometInterpret == ioTIFF_CMYK ? Depth{8, 4} : kTiffFullColors[colorsIndex(5)]);
        w.TIFF_ImageIndex = Number(page.ImageIndex, 0);
        w.TIFF_XPos = Number(page.XPos, 0);
        w.TIFF_YPos = Number(page.YPos, 0);
        w.TIFF_DocumentName = page.Name->GetText();
        w.TIFF_ImageDescription = page.Description->GetText();
        w.TIFF_PageName = page.PageName->GetText();
        w.TIFF_PageNumber = Number(page.PageNumber, 0);
        w.TIFF_PageCount = Number(page.PageCount, 0);
      }
      break;
    case ppGIF:
      w.BitsPerSample = colorsIndex(8) + 1;
      w.SamplesPerPixel = 1;
      if (!page.Simplified) {
        w.GIF_Interlaced = page.Interlaced->GetChecked();
        w.GIF_ImageIndex = Number(page.ImageIndex, 0);
        w.GIF_XPos = Number(page.XPos, 0);
        w.GIF_YPos = Number(page.YPos, 0);
        w.GIF_DelayTime = Number(page.Delay, 0);
        w.GIF_FlagTranspColor = page.Transparent->GetChecked();
        page.TranspColor->SetEnabled(w.GIF_FlagTranspColor);
        page.TranspColorLabel->SetEnabled(w.GIF_FlagTranspColor);
      }
      break;
    case ppBMP:
      setDepth(kBmpColors[colorsIndex(6)]);
      w.BMP_Compression = page.Compression->GetItemIndex() > 0 ? ioBMP_RLE : ioBMP_UNCOMPRESSED;
      break;
    case ppPCX:
      setDepth(kPcxColors[colorsIndex(4)]);
      w.PCX_Compression = page.Compression->GetItemIndex() > 0 ? ioPCX_RLE : ioPCX_UNCOMPRESSED;
      break;
    case ppPNG:
      setDepth(kPngColors[colorsIndex(3)]);
      w.PNG_Interlaced = page.Interlaced->GetChecked();
      w.PNG_Filter = static_cast<TIOPNGFilter>(std::max(page.Filter->GetItemIndex(), 0));
      w.PNG_Compression = std::max(page.Compression->GetItemIndex(), 0);
      break;
    case ppTGA:
      setDepth(kPngColors[colorsIndex(3)]);
      w.TGA_Compressed = page.Compressed->GetChecked();
      w.TGA_ImageName = page.Name->GetText();
      w.TGA_Descriptor = page.Description->GetText();
      break;
    default: break;
  }
}

void TfIOPreviews::ChooseColour(TPanel* panel, TRGB& value, bool gifPalette) {
  TIOParamsVals* own = io_->GetParams();
  if (gifPalette && own->ColorMapCount == 0) applyAct(DadirAvView2);
  // Never more entries than the colour map holds: a map left by another page's
  // preview, or by fewer colours than now chosen, is shorter than 2^bits.
  Integer entries = own->ColorMapCount;
  if (gifPalette)
    entries = std::min(entries, Integer{1} << std::clamp(work_->BitsPerSample, 1, 8));
  else
    entries = std::min(entries, _GetNumCol(work_->BitsPerSample, work_->SamplesPerPixel));
  if (entries > 0 && own->ColorMap) {
    TDadirAvPaletteDialog dialog(nullptr);
    dialog.SetPalette(own->ColorMap.get(), entries);
    dialog.CancelButton->SetCaption(cancelCaption_);
    if (dialog.Execute()) panel->SetColor(dialog.SelectedColor);
  } else if (!gifPalette) {
    ColorDialog1->SetColor(panel->GetColor());
    if (ColorDialog1->Execute()) panel->SetColor(ColorDialog1->GetColor());
  }
  value = TColor2TRGB(panel->GetColor());
  if (ready_) Button4->SetEnabled(true);
}

void TfIOPreviews::PreviewIfLocked() {
  if (SpeedButton1->GetDown()) applyAct(DadirAvView2);
}

void TfIOPreviews::FollowSourceView() {
  if (following_) return;
  following_ = true;
  DadirAvView2->LockPaint();
  DadirAvView2->SetZoom(DadirAvView1->GetZoom());
  DadirAvView2->SetViewXY(DadirAvView1->GetViewX(), DadirAvView1->GetViewY());
  DadirAvView2->UnLockPaint();
  following_ = false;
}

void TfIOPreviews::Progress(TObject*, Integer per) {
  ProgressBar1->SetPosition(per / std::max(progressDivisor_, 1) + progressOffset_);
}

// ---------------------------------------------------------------------------
// Rendering and writing back

void TfIOPreviews::applyAct(TDadirAvView* view) {
  TIOPreviewPage* page = FindPage(PageControl1->GetActivePage());
  TIEBitmap* source = DadirAvView1->GetIEBitmap();
  TIEBitmap* result = view->GetIEBitmap();
  if (page == nullptr || source == nullptr || result == nullptr || source->GetWidth() == 0) return;
  const TIOParamsVals& w = *work_;
  TIOParamsVals& own = *io_->GetParams();
  TMemoryStream memory;
  TNulStream counter;
  io_->SetDefaultDitherMethod(DefaultDitherMethod);
  io_->SetIEBitmap(source);
  progressOffset_ = 0;
  auto showSize = [this, page](Int64 size) {
    for (auto& p : pageList_)
      if (p->Kind == page->Kind && p->CompressedSize != nullptr) p->CompressedSize->SetCaption(Bytes(size));
  };
  // Reduces the result to the working colours, keeping the map in the own parameters.
  auto reduce = [&](bool palette) {
    const Integer colors = _GetNumCol(w.BitsPerSample, w.SamplesPerPixel);
    if (colors > 256) {
      own.ColorMap.reset();
      own.ColorMapCount = 0;
      return;
    }
    proc_->SetAttachedIEBitmap(result);
    if (palette) {
      own.ColorMap.reset(new TRGB[static_cast<size_t>(colors)]());
      own.ColorMapCount = colors;
      proc_->ConvertToPalette(colors, own.ColorMap.get(), DefaultDitherMethod);
    } else {
      proc_->ConvertTo(colors, DefaultDitherMethod);
    }
  };
  auto copySource = [&] {
    result->Assign(source);
  };
  switch (page->Kind) {
    case ppJPEG:
    case ppJ2000: {
      progressDivisor_ = 2;
      if (page->Kind == ppJPEG) {
        own.JPEG_Quality = w.JPEG_Quality;
        own.JPEG_ColorSpace = w.JPEG_ColorSpace;
        own.JPEG_DCTMethod = w.JPEG_DCTMethod;
        own.JPEG_OptimalHuffman = w.JPEG_OptimalHuffman;
        own.JPEG_Smooth = w.JPEG_Smooth;
        own.JPEG_Progressive = w.JPEG_Progressive;
        io_->SaveToStreamJpeg(&memory);
      } else {
        own.J2000_Rate = w.J2000_Rate;
        own.J2000_ColorSpace = w.J2000_ColorSpace;
        own.BitsPerSample = 8;
        own.SamplesPerPixel = 3;
        io_->SaveToStreamJ2K(&memory);
      }
      showSize(memory.GetSize());
      memory.SetPosition(0);
      io_->SetIEBitmap(result);
      progressOffset_ = 50;
      if (page->Kind == ppJPEG)
        io_->LoadFromStreamJpeg(&memory);
      else
        io_->LoadFromStreamJ2K(&memory);
      break;
    }
    case ppTIFF:
      progressDivisor_ = 1;
      own.TIFF_LZWCompFunc = w.TIFF_LZWCompFunc;
      own.TIFF_LZWDecompFunc = w.TIFF_LZWDecompFunc;
      own.TIFF_Compression = w.TIFF_Compression;
      own.TIFF_PhotometInterpret = w.TIFF_PhotometInterpret;
      own.SamplesPerPixel = w.SamplesPerPixel;
      own.BitsPerSample = w.BitsPerSample;
      io_->SaveToStreamTIFF(&counter);
      showSize(counter.GetSize());
      copySource();
      if ((w.TIFF_PhotometInterpret == ioTIFF_WHITEISZERO || w.TIFF_PhotometInterpret == ioTIFF_BLACKISZERO) &&
          w.BitsPerSample == 8 && w.SamplesPerPixel == 1) {
        proc_->SetAttachedIEBitmap(result);
        proc_->ConvertToGray();
        own.ColorMap.reset();
        own.ColorMapCount = 0;
      } else if (w.TIFF_PhotometInterpret < ioTIFF_CMYK) {
        reduce(true);
      }
      break;
    case ppGIF:
      progressDivisor_ = 1;
      own.GIF_LZWCompFunc = w.GIF_LZWCompFunc;
      own.GIF_LZWDecompFunc = w.GIF_LZWDecompFunc;
      own.BitsPerSample = w.BitsPerSample;
      own.SamplesPerPixel = 1;
      own.GIF_Interlaced = w.GIF_Interlaced;
      io_->SaveToStreamGif(&counter);
      showSize(counter.GetSize());
      copySource();
      reduce(true);
      break;
    case ppBMP:
    case ppPCX:
      progressDivisor_ = 1;
      own.BitsPerSample = w.BitsPerSample;
      own.SamplesPerPixel = w.SamplesPerPixel;
      if (page->Kind == ppBMP) {
        own.BMP_Compression = w.BMP_Compression;
        io_->SaveToStreamBMP(&counter);
      } else {
        own.PCX_Compression = w.PCX_Compression;
        io_->SaveToStreamPCX(&counter);
      }
      showSize(counter.GetSize());
      copySource();
      if (_GetNumCol(w.BitsPerSample, w.SamplesPerPixel) <= 256) reduce(false);
      break;
    case ppPNG:
    case ppTGA:
      progressDivisor_ = 1;
      own.BitsPerSample = w.BitsPerSample;
      own.SamplesPerPixel = w.SamplesPerPixel;
      if (page->Kind == ppPNG) {
        own.PNG_Interlaced = w.PNG_Interlaced;
        own.PNG_Filter = w.PNG_Filter;
        own.PNG_Compression = w.PNG_Compression;
        io_->SaveToStreamPNG(&counter);
      } else {
        own.TGA_Compressed = w.TGA_Compressed;
        io_->SaveToStreamTGA(&counter);
      }
      showSize(counter.GetSize());
      copySource();
      reduce(true);
      break;
    default: break;
  }
  io_->SetIEBitmap(nullptr);
  ProgressBar1->SetPosition(0);
  view->Update();
  FollowSourceView();
}

void TfIOPreviews::WriteBack() {
  const TIOPreviewPage* page = ActivePage();
  if (page == nullptr || fParams == nullptr) return;
  TIOParamsVals& p = *fParams;
  const TIOParamsVals& w = *work_;
  switch (page->Kind) {
    case ppJPEG:
      p.JPEG_Quality = w.JPEG_Quality;
      p.JPEG_ColorSpace = w.JPEG_ColorSpace;
      p.JPEG_DCTMethod = w.JPEG_DCTMethod;
      p.JPEG_OptimalHuffman = w.JPEG_OptimalHuffman;
      p.JPEG_Smooth = w.JPEG_Smooth;
      p.JPEG_Progressive = w.JPEG_Progressive;
      break;
    case ppTIFF:
      p.TIFF_Compression = w.TIFF_Compression;
      p.TIFF_ImageIndex = w.TIFF_ImageIndex;
      p.TIFF_PhotometInterpret = w.TIFF_PhotometInterpret;
      p.TIFF_XPos = w.TIFF_XPos;
      p.TIFF_YPos = w.TIFF_YPos;
      p.TIFF_DocumentName = w.TIFF_DocumentName;
      p.TIFF_ImageDescription = w.TIFF_ImageDescription;
      p.TIFF_PageName = w.TIFF_PageName;
      p.TIFF_PageNumber = w.TIFF_PageNumber;
      p.TIFF_PageCount = w.TIFF_PageCount;
      p.SamplesPerPixel = w.SamplesPerPixel;
      p.BitsPerSample = w.BitsPerSample;
      break;
    case ppGIF:
      p.GIF_ImageIndex = w.GIF_ImageIndex;
      p.GIF_XPos = w.GIF_XPos;
      p.GIF_YPos = w.GIF_YPos;
      p.GIF_DelayTime = w.GIF_DelayTime;
      p.GIF_FlagTranspColor = w.GIF_FlagTranspColor;
      p.GIF_TranspColor = w.GIF_TranspColor;
      p.GIF_Interlaced = w.GIF_Interlaced;
      p.GIF_Background = w.GIF_Background;
      p.BitsPerSample = w.BitsPerSample;
      break;
    case ppBMP:
      p.BMP_Compression = w.BMP_Compression;
      p.BitsPerSample = w.BitsPerSample;
      p.SamplesPerPixel = w.SamplesPerPixel;
      break;
    case ppPCX:
      p.PCX_Compression = w.PCX_Compression;
      p.BitsPerSample = w.BitsPerSample;
      p.SamplesPerPixel = w.SamplesPerPixel;
      break;
    case ppPNG:
      p.BitsPerSample = w.BitsPerSample;
      p.SamplesPerPixel = w.SamplesPerPixel;
      p.PNG_Background = w.PNG_Background;
      p.PNG_Interlaced = w.PNG_Interlaced;
      p.PNG_Filter = w.PNG_Filter;
      p.PNG_Compression = w.PNG_Compression;
      break;
    case ppTGA:
      p.BitsPerSample = w.BitsPerSample;
      p.SamplesPerPixel = w.SamplesPerPixel;
      p.TGA_Background = w.TGA_Background;
      p.TGA_Compressed = w.TGA_Compressed;
      p.TGA_ImageName = w.TGA_ImageName;
      p.TGA_Descriptor = w.TGA_Descriptor;
      break;
    case ppJ2000:
      p.BitsPerSample = w.BitsPerSample;
      p.SamplesPerPixel = w.SamplesPerPixel;
      p.J2000_ColorSpace = w.J2000_ColorSpace;
      p.J2000_Rate = w.J2000_Rate;
      break;
    default: break;
  }
}

#pragma pop_macro("Button4")
#pragma pop_macro("Button3")
#pragma pop_macro("Button2")
#pragma pop_macro("Button1")
