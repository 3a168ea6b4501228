// The print forms and the component's entry point that shows them.
#include "image/views/ieprnform.h"

#include <algorithm>
#include <cmath>

#include "image/model/ieutils.h"
#include "platform/rtl/Strings.h"
#include "platform/vcl/Printers.h"

namespace {

AnsiString W(TMsgLanguageWords word, TMsgLanguage language) { return iemsg(word, language); }

const char* const kSizeItems[] = {"Normal", "Fit to page", "Stretch to page", "Specified size"};

// The toolbar pictures, 16 x 16, drawn on olive: the bottom-left pixel's colour is the
// one a button leaves transparent.
constexpr TColor kGlyphTransparent = 0x008080;
constexpr TColor kGlyphInk = 0x000000;
constexpr TColor kGlyphPaper = 0xFFFFFF;
constexpr TColor kGlyphShade = 0x808080;
constexpr TColor kGlyphBody = 0xC0C0C0;
constexpr TColor kGlyphMark = 0x800000;  // navy

std::unique_ptr<TBitmap> NewGlyph() {
  auto glyph = std::make_unique<TBitmap>();
  glyph->SetPixelFormat(pf24bit);
  glyph->SetSize(16, 16);
  TCanvas* c = glyph->GetCanvas();
  c->GetBrush()->SetColor(kGlyphTransparent);
  c->FillRect(TRect{0, 0, 16, 16});
  return glyph;
}

void Box(TCanvas* c, TColor fill, TColor frame, Integer l, Integer t, Integer r, Integer b) {
  c->GetBrush()->SetColor(frame);
  c->FillRect(TRect{l, t, r, b});
  c->GetBrush()->SetColor(fill);
  c->FillRect(TRect{l + 1, t + 1, r - 1, b - 1});
}

// A page with a block where the picture goes: cell 0..8 of the 3 x 3 grid, row by row.
std::unique_ptr<TBitmap> PositionGlyph(int cell) {
  auto glyph = NewGlyph();
  TCanvas* c = glyph->GetCanvas();
  Box(c, kGlyphPaper, kGlyphInk, 2, 1, 14, 15);
  c->GetBrush()->SetColor(kGlyphMark);
  const Integer x = 4 + (cell % 3) * 3, y = 3 + (cell / 3) * 4;
  c->FillRect(TRect{x, y, x + 2, y + 3});
  return glyph;
}

// A printer: its body, the paper fed in at the top and the slot it comes out of.
std::unique_ptr<TBitmap> PrinterGlyph(bool setup) {
  auto glyph = NewGlyph();
  TCanvas* c = glyph->GetCanvas();
  Box(c, kGlyphPaper, kGlyphInk, 4, 1, 12, 8);  // paper
  Box(c, kGlyphBody, kGlyphInk, 1, 7, 15, 13);  // body
  c->GetBrush()->SetColor(kGlyphShade);
  c->FillRect(TRect{3, 11, 13, 12});  // slot
  c->GetBrush()->SetColor(0x00FF00);
  c->FillRect(TRect{12, 8, 14, 9});  // lamp
  if (setup) {
    // Set-up: lines of settings on the paper instead of a printed page.
    c->GetBrush()->SetColor(kGlyphMark);
    for (Integer y : {3, 5}) c->FillRect(TRect{6, y, 10, y + 1});
  } else {
    c->GetBrush()->SetColor(kGlyphShade);
    for (Integer y : {3, 5}) c->FillRect(TRect{5, y, 11, y + 1});
    Box(c, kGlyphPaper, kGlyphInk, 4, 12, 12, 16);  // the printed page coming out
  }
  return glyph;
}

}  // namespace

// ---------------------------------------------------------------------------------
// What both forms share

double TIEPrintFormBase::UnitFactor() const {
  return fDialogsMeasureUnit == ieduCm || fDialogsMeasureUnit == ieduSelectableDefCm ? 2.54 : 1.0;
}

void TIEPrintFormBase::MakeFields(TWinControl* parent) {
  TEdit** edits[] = {&Edit1, &Edit2, &Edit3, &Edit4, &Edit5, &Edit6, &Edit7};
  const char* initial[] = {"1", "1", "1", "1", "6", "4", "1"};
  for (int i = 0; i < 7; ++i) {
    auto* edit = new TEdit(this);
    edit->SetParent(parent);
    edit->SetText(initial[i]);
    edit->OnChange = [this](TObject*) { PrintPreview(false); };
    *edits[i] = edit;
    auto* upDown = new TUpDown(this);
    upDown->SetParent(parent);
    upDown->SetMin(-10000);
    upDown->SetMax(10000);
    upDown->SetPosition(1);
    // None is associated: an associated up-down would write its whole-number position
    // into the field before the step is added.
    const double delta = i == 6 ? 0.1 : 0.01;
    upDown->OnClick = [this, edit, delta](TObject*, TUDBtnType button) { incdecmargins(edit, button, delta); };
    UpDowns[i] = upDown;
  }
  Edit5->SetEnabled(false);
  Edit6->SetEnabled(false);
  ComboBox1 = new TComboBox(this);
  ComboBox1->SetParent(parent);
  ComboBox1->SetStyle(csDropDownList);
  for (const char* item : kSizeItems) ComboBox1->GetItems()->Add(item);
}

void TIEPrintFormBase::MakePositionButtons(TWinControl* parent, bool flat) {
  for (int i = 0; i < 9; ++i) {
    auto* button = new TSpeedButton(this);
    button->SetParent(parent);
    button->SetGroupIndex(1);
    button->SetFlat(flat);
    button->SetDown(i == 4);
    button->SetGlyph(PositionGlyph(i).get());
    button->OnClick = [this](TObject*) { PrintPreview(false); };
    SpeedButtons[i] = button;
  }
}

void TIEPrintFormBase::incdecmargins(TEdit* edit, TUDBtnType button, double delta) {
  double value = static_cast<double>(IEStrToFloatDef(edit->GetText(), 0));
  value += button == btNext ? delta : -delta;
  // Rounding keeps the steps on the grid the user sees (0.1 + 0.01 = 0.11, not
  // 0.11000000000000001).
  value = std::round(value * 1e9) / 1e9;
  if (value < 0) value = 0;
  edit->SetText(FloatToStr(value));
}

void TIEPrintFormBase::PrinterSetup() {
  if (PrinterSetupDialog1->Execute()) PrintPreview(false);
}

void TIEPrintFormBase::PrintPreview(bool printing) {
  if (io == nullptr || ComboBox1 == nullptr || Edit7 == nullptr) return;
  if (!printing && PreviewTooSmall()) return;
  auto down = [this](std::initializer_list<int> buttons) {
    for (int b : buttons)
      if (SpeedButtons[b - 1] != nullptr && SpeedButtons[b - 1]->GetDown()) return true;
    return false;
  };
  const TIEVerticalPos vertical = down({7, 8, 9}) ? ievpBOTTOM : down({1, 2, 3}) ? ievpTOP : ievpCENTER;
  const TIEHorizontalPos horizontal = down({1, 4, 7}) ? iehpLEFT : down({3, 6, 9}) ? iehpRIGHT : iehpCENTER;
  TIESize size = iesFITTOPAGE;
  switch (ComboBox1->GetItemIndex()) {
    case 0: size = iesNORMAL; break;
    case 2: size = iesFITTOPAGESTRETCH; break;
    case 3: size = iesSPECIFIEDSIZE; break;
    default: break;
  }
  const double factor = UnitFactor();
  auto number = [](TEdit* edit, double def) { return static_cast<double>(IEStrToFloatDef(edit->GetText(), def)); };
  const double top = number(Edit1, 0) / factor, left = number(Edit2, 0) / factor;
  const double right = number(Edit3, 0) / factor, bottom = number(Edit4, 0) / factor;
  const double width = number(Edit5, 1) / factor, height = number(Edit6, 1) / factor;
  double gamma = number(Edit7, 1);
  if (!(gamma > 0)) gamma = 1;

  if (printing) {
    TPrinter* printer = Printer();
    printer->BeginDoc();
    try {
      printer->SetTitle(fTaskName);
      io->PrintImage(printer->GetCanvas(), left, top, right, bottom, vertical, horizontal, size, width, height,
                     gamma);
    } catch (...) {
      printer->Abort();
      throw;
    }
    printer->EndDoc();
    return;
  }
  if (DadirAvView1 == nullptr || DadirAvView1->GetFBitmap() == nullptr) return;
  io->PreviewPrintImage(DadirAvView1->GetFBitmap(), DadirAvView1->GetWidth(), DadirAvView1->GetHeight(), Printer(),
                        left, top, right, bottom, vertical, horizontal, size, width, height, gamma);
  DadirAvView1->Update();
}

// ---------------------------------------------------------------------------------
// Tfieprnform2: the compact dialog

Tfieprnform2::Tfieprnform2(TComponent* owner) : TIEPrintFormBase(owner) {
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetCaption("Print");
  SetClientWidth(664);
  SetClientHeight(356);

  auto group = [this](Integer x, Integer y, Integer w, Integer h) {
    auto* g = new TGroupBox(this);
    g->SetParent(this);
    g->SetBounds(x, y, w, h);
    groups_.push_back(g);
    return g;
  };
  auto label = [this](TWinControl* parent, Integer x, Integer y, const char* caption) {
    auto* l = new TLabel(this);
    l->SetParent(parent);
    l->SetBounds(x, y, 60, 13);
    l->SetCaption(caption);
    labels_.push_back(l);
    return l;
  };
  // The gamma group sits under the size group, where its caption has the room the
  // narrow middle column lacks.
  GroupBox1 = group(8, 4, 225, 129);
  auto* groupBox2 = group(240, 4, 105, 129);
  auto* groupBox3 = group(8, 136, 225, 105);
  auto* groupBox4 = group(8, 244, 225, 53);
  auto* groupBox5 = group(352, 4, 305, 313);
  GroupBox6 = group(240, 136, 105, 73);

  MakeFields(this);
  // The margins as a cross: top above, left and right beside, bottom below.
  const struct { TEdit* edit; Integer x, y; } cross[] = {{Edit1, 80, 24}, {Edit2, 16, 56}, {Edit3, 144, 56}, {Edit4, 80, 88}};
  const char* crossLabels[] = {"Top", "Left", "Right", "Bottom"};
  for (int i = 0; i < 4; ++i) {
    cross[i].edit->SetParent(GroupBox1);
    cross[i].edit->SetBounds(cross[i].x, cross[i].y + 14, 48, 21);
    UpDowns[i]->SetParent(GroupBox1);
    UpDowns[i]->SetBounds(cross[i].x + 48, cross[i].y + 14, 15, 21);
    label(GroupBox1, cross[i].x, cross[i].y, crossLabels[i]);
  }
  ComboBox1->SetParent(groupBox3);
  ComboBox1->SetBounds(8, 20, 209, 21);
  ComboBox1->OnChange = [this](TObject* s) { ComboBox1Change(s); };
  Label5 = label(groupBox3, 8, 52, "Width");
  Label6 = label(groupBox3, 8, 80, "Height");
  Edit5->SetParent(groupBox3);
  Edit5->SetBounds(64, 48, 64, 21);
  UpDowns[4]->SetParent(groupBox3);
  UpDowns[4]->SetBounds(128, 48, 15, 21);
  Edit6->SetParent(groupBox3);
  Edit6->SetBounds(64, 76, 64, 21);
  UpDowns[5]->SetParent(groupBox3);
  UpDowns[5]->SetBounds(128, 76, 15, 21);
  Label7 = label(groupBox3, 150, 52, "inches");
  Label8 = label(groupBox3, 150, 80, "inches");
  for (TControl* c : {static_cast<TControl*>(Label5), static_cast<TControl*>(Label6),
                      static_cast<TControl*>(Label7), static_cast<TControl*>(Label8)})
    c->SetEnabled(false);

  MakePositionButtons(groupBox2, false);
  for (int i = 0; i < 9; ++i) SpeedButtons[i]->SetBounds(10 + (i % 3) * 30, 22 + (i / 3) * 32, 25, 25);

  label(groupBox4, 8, 24, "Value");
  Edit7->SetParent(groupBox4);
  Edit7->SetBounds(44, 20, 40, 21);
  UpDowns[6]->SetParent(groupBox4);
  UpDowns[6]->SetBounds(84, 20, 15, 21);

  DadirAvView1 = new TDadirAvView(this);
  DadirAvView1->SetParent(groupBox5);
  DadirAvView1->SetBorderStyle(TBorderStyle::bsNone);
  DadirAvView1->SetCenter(true);
  DadirAvView1->SetBackgroundStyle(iebsCropShadow);
  DadirAvView1->SetAlign(alClient);

  label(GroupBox6, 8, 24, "Units");
  ComboBox2 = new TComboBox(this);
  ComboBox2->SetParent(GroupBox6);
  ComboBox2->SetStyle(csDropDownList);
  ComboBox2->SetBounds(8, 42, 89, 21);
  ComboBox2->GetItems()->Add("Inches");
  ComboBox2->GetItems()->Add("cm");
  ComboBox2->OnChange = [this](TObject* s) { ComboBox2Change(s); };

  auto button = [this](Integer x, const char* caption) {
    auto* b = new TButton(this);
    b->SetParent(this);
    b->SetBounds(x, 325, 97, 25);
    b->SetCaption(caption);
    return b;
  };
  Button1 = button(352, "OK");
  Button1->SetDefault(true);
  Button1->SetModalResult(mrOk);
  Button1->OnClick = [this](TObject*) { PrintPreview(true); };
  Button2 = button(456, "Cancel");
  Button2->SetCancel(true);
  Button2->SetModalResult(mrCancel);
  Button4 = button(8, "Printer Setup...");
  Button4->OnClick = [this](TObject*) { PrinterSetup(); };
  PrinterSetupDialog1 = new TPrinterSetupDialog(this);
  OnActivate = [this](TObject* s) { FormActivate(s); };
  SetLanguage(msSystem);
}

void Tfieprnform2::FormActivate(TObject*) {
  ComboBox1->SetItemIndex(1);
  GroupBox6->SetVisible(fDialogsMeasureUnit == ieduSelectableDefInches || fDialogsMeasureUnit == ieduSelectableDefCm);
  if (fDialogsMeasureUnit == ieduSelectableDefInches) ComboBox2->SetItemIndex(0);
  if (fDialogsMeasureUnit == ieduSelectableDefCm) ComboBox2->SetItemIndex(1);
  SetLanguage_units();
  PrintPreview(false);
}

void Tfieprnform2::ComboBox1Change(TObject*) {
  const bool specified = ComboBox1->GetItemIndex() == 3;
  for (TControl* c : {static_cast<TControl*>(Label5), static_cast<TControl*>(Label6),
                      static_cast<TControl*>(Label7), static_cast<TControl*>(Label8),
                      static_cast<TControl*>(Edit5), static_cast<TControl*>(Edit6)})
    c->SetEnabled(specified);
  PrintPreview(false);
}

void Tfieprnform2::ComboBox2Change(TObject*) {
  const TIEDialogsMeasureUnit unit = ComboBox2->GetItemIndex() != 0 ? ieduSelectableDefCm : ieduSelectableDefInches;
  if (unit == fDialogsMeasureUnit) return;
  const double factor = fDialogsMeasureUnit == ieduSelectableDefCm ? 1 / 2.54 : 2.54;
  fDialogsMeasureUnit = unit;
  for (TEdit* edit : {Edit1, Edit2, Edit3, Edit4, Edit5, Edit6}) {
    // Rounded to the digits the user could have typed, so that back and forth
    // gives the same text.
    const double v = static_cast<double>(IEStrToFloatDef(edit->GetText(), 0)) * factor;
    edit->SetText(FloatToStr(std::round(v * 1e9) / 1e9));
  }
  SetLanguage_units();
}

void Tfieprnform2::SetLanguage(TMsgLanguage language) {
  language_ = language;
  SetCaption(W(IEMSG_PRINT, language));
  SetLanguage_units();
  labels_[0]->SetCaption(W(IEMSG_TOP, language));
  labels_[1]->SetCaption(W(IEMSG_LEFT, language));
  labels_[2]->SetCaption(W(IEMSG_RIGHT, language));
  labels_[3]->SetCaption(W(IEMSG_BOTTOM, language));
  groups_[1]->SetCaption(" " + W(IEMSG_POSITION, language) + " ");
  groups_[4]->SetCaption(" " + W(IEMSG_PREVIEW, language) + " ");
  groups_[2]->SetCaption(" " + W(IEMSG_SIZE, language) + " ");
  const TMsgLanguageWords sizes[] = {IEMSG_NORMAL, IEMSG_FITTOPAGE, IEMSG_STRETCHTOPAGE, IEMSG_SPECIFIEDSIZE};
  const Integer index = ComboBox1->GetItemIndex();
  for (int i = 0; i < 4; ++i) ComboBox1->GetItems()->SetStrings(i, W(sizes[i], language));
  ComboBox1->SetItemIndex(index);
  Label5->SetCaption(W(IEMSG_WIDTH, language));
  Label6->SetCaption(W(IEMSG_HEIGHT, language));
  groups_[3]->SetCaption(" " + W(IEMSG_GAMMACORRECTION, language) + " ");
  labels_[8]->SetCaption(W(IEMSG_VALUE2, language));
  Button1->SetCaption(W(IEMSG_OK, language));
  Button2->SetCaption(W(IEMSG_CANCEL, language));
  Button4->SetCaption(W(IEMSG_PRINTSETUP, language) + "...");
  GroupBox6->SetCaption(W(IEMSG_MEASUREUNITS, language));
  labels_[9]->SetCaption(W(IEMSG_UNITS, language));
  const Integer unit = ComboBox2->GetItemIndex();
  ComboBox2->GetItems()->SetStrings(0, W(IEMSG_INCHES, language));
  ComboBox2->SetItemIndex(unit);
}

void Tfieprnform2::SetLanguage_units() {
  if (fDialogsMeasureUnit == ieduCm || fDialogsMeasureUnit == ieduSelectableDefCm) {
    GroupBox1->SetCaption(" " + W(IEMSG_MARGINS, language_) + " (cm) ");
    Label7->SetCaption("cm");
    Label8->SetCaption("cm");
  } else {
    GroupBox1->SetCaption(" " + W(IEMSG_MARGINS, language_) + " (" + W(IEMSG_INCHES, language_) + ") ");
    Label7->SetCaption(W(IEMSG_INCHES, language_));
    Label8->SetCaption(W(IEMSG_INCHES, language_));
  }
}

// ---------------------------------------------------------------------------------
// tfieprnform1: the maximised preview

tfieprnform1::tfieprnform1(TComponent* owner) : TIEPrintFormBase(owner) {
  SetCaption("Print");
  SetBounds(0, 0, 800, 600);

  Panel1 = new TPanel(this);
  Panel1->SetParent(this);
  Panel1->SetAlign(alTop);
  Panel1->SetHeight(33);
  Panel1->SetBevelOuter(bvNone);
  Panel1->SetShowHint(true);

  MakeFields(Panel1);
  Integer x = 4;
  for (int i = 0; i < 4; ++i) {
    (i == 0 ? Edit1 : i == 1 ? Edit2 : i == 2 ? Edit3 : Edit4)->SetBounds(x, 6, 40, 21);
    UpDowns[i]->SetBounds(x + 40, 6, 15, 21);
    x += 60;
  }
  ComboBox1->SetBounds(x, 6, 110, 21);
  ComboBox1->OnChange = [this](TObject*) {
    const bool specified = ComboBox1->GetItemIndex() == 3;
    Edit5->SetEnabled(specified);
    Edit6->SetEnabled(specified);
    PrintPreview(false);
  };
  x += 116;
  Edit5->SetBounds(x, 6, 40, 21);
  UpDowns[4]->SetBounds(x + 40, 6, 15, 21);
  Edit6->SetBounds(x + 60, 6, 40, 21);
  UpDowns[5]->SetBounds(x + 100, 6, 15, 21);
  x += 124;
  MakePositionButtons(Panel1, true);
  for (int i = 0; i < 9; ++i) SpeedButtons[i]->SetBounds(x + i * 24, 5, 23, 23);
  x += 9 * 24 + 8;
  Edit7->SetBounds(x, 6, 40, 21);
  UpDowns[6]->SetBounds(x + 40, 6, 15, 21);
  x += 64;
  auto speed = [this, &x](const char* caption) {
    auto* b = new TSpeedButton(this);
    b->SetParent(Panel1);
    b->SetFlat(true);
    b->SetCaption(caption);
    b->SetBounds(x, 5, caption[0] ? 60 : 23, 23);
    x += caption[0] ? 64 : 27;
    return b;
  };
  SpeedButton10 = speed("");
  SpeedButton10->SetGlyph(PrinterGlyph(true).get());
  SpeedButton10->OnClick = [this](TObject*) { PrinterSetup(); };
  SpeedButton11 = speed("");
  SpeedButton11->SetGlyph(PrinterGlyph(false).get());
  SpeedButton11->OnClick = [this](TObject*) { PrintPreview(true); };
  SpeedButton12 = speed("&Close");
  SpeedButton12->OnClick = [this](TObject*) {
    SetModalResult(mrOk);
    Close();
  };

  DadirAvView1 = new TDadirAvView(this);
  DadirAvView1->SetParent(this);
  DadirAvView1->SetAlign(alClient);
  DadirAvView1->SetBorderStyle(TBorderStyle::bsNone);
  DadirAvView1->SetCenter(true);
  DadirAvView1->SetBackgroundStyle(iebsCropShadow);
  DadirAvView1->MouseInteract = TIEMouseInteract{miZoom, miScroll};
  DadirAvView1->SetCursor(1779);

  MainMenu1 = new TMainMenu(this);
  auto* file = new TMenuItem(this);
  file->SetCaption("&File");
  MainMenu1->GetItems()->Add(file);
  auto item = [this, file](const char* caption, std::function<void()> click) {
    auto* m = new TMenuItem(this);
    m->SetCaption(caption);
    if (click) m->OnClick = [click](TObject*) { click(); };
    file->Add(m);
    return m;
  };
  Print1 = item("&Print...", [this] { PrintPreview(true); });
  PrintSetup1 = item("P&rint Setup...", [this] { PrinterSetup(); });
  item("-", nullptr);
  Exit1 = item("&Close", [this] {
    SetModalResult(mrOk);
    Close();
  });
  SetMenu(MainMenu1);
  PrinterSetupDialog1 = new TPrinterSetupDialog(this);
  OnActivate = [this](TObject* s) { FormActivate(s); };
  // However the form closes, it closes with OK.
  OnClose = [this](TObject*, TCloseAction&) { SetModalResult(mrOk); };
  SetActiveControl(DadirAvView1);
  SetLanguage(msSystem);
}

void tfieprnform1::FormActivate(TObject*) {
  SetWindowState(wsMaximized);
  ComboBox1->SetItemIndex(1);
  PrintPreview(false);
}

void tfieprnform1::Resize() {
  TIEPrintFormBase::Resize();
  PrintPreview(false);
}

void tfieprnform1::SetLanguage(TMsgLanguage language) {
  SetCaption(W(IEMSG_PRINT, language));
  Print1->SetCaption(W(IEMSG_PRINT, language));
  SpeedButton11->SetHint(W(IEMSG_PRINT, language));
  PrintSetup1->SetCaption(W(IEMSG_PRINTSETUP, language) + "...");
  SpeedButton10->SetHint(W(IEMSG_PRINTSETUP, language));
  Edit1->SetHint(W(IEMSG_TOPMARGIN, language));
  Edit2->SetHint(W(IEMSG_LEFTMARGIN, language));
  Edit3->SetHint(W(IEMSG_RIGHTMARGIN, language));
  Edit4->SetHint(W(IEMSG_BOTTOMMARGIN, language));
  ComboBox1->SetHint(W(IEMSG_LOCATIONSIZE, language));
  const TMsgLanguageWords sizes[] = {IEMSG_NORMAL, IEMSG_FITTOPAGE, IEMSG_STRETCHTOPAGE, IEMSG_SPECIFIEDSIZE};
  const Integer index = ComboBox1->GetItemIndex();
  for (int i = 0; i < 4; ++i) ComboBox1->GetItems()->SetStrings(i, W(sizes[i], language));
  ComboBox1->SetItemIndex(index);
  Edit5->SetHint(W(IEMSG_WIDTH, language));
  Edit6->SetHint(W(IEMSG_HEIGHT, language));
  Edit7->SetHint(W(IEMSG_GAMMACORRECTION, language));
  const TMsgLanguageWords positions[] = {IEMSG_TOPLEFT,    IEMSG_TOPCENTER, IEMSG_TOPRIGHT,
                                         IEMSG_CENTERLEFT, IEMSG_CENTER,    IEMSG_CENTERRIGHT,
                                         IEMSG_BOTTOMLEFT, IEMSG_BOTTOMCENTER, IEMSG_BOTTOMRIGHT};
  for (int i = 0; i < 9; ++i) SpeedButtons[i]->SetHint(W(positions[i], language));
  Exit1->SetCaption(W(IEMSG_CLOSE2, language));
  SpeedButton12->SetCaption(W(IEMSG_CLOSE2, language));
}

// ---------------------------------------------------------------------------------
// The component's entry point

bool TDadirAvIO::DoPrintPreviewDialog(TIEDialogType DialogType, const AnsiString& TaskName) {
  if (DialogType != iedtDialog && DialogType != iedtMaxi) return false;
  TIEPrintFormBase* form = nullptr;
  if (DialogType == iedtDialog) {
    auto* f = new Tfieprnform2(this);
    f->fDialogsMeasureUnit = DialogsMeasureUnit;
    f->SetLanguage(MsgLanguage);
    form = f;
  } else {
    auto* f = new tfieprnform1(this);
    f->fDialogsMeasureUnit = DialogsMeasureUnit;
    f->SetLanguage(MsgLanguage);
    form = f;
  }
  std::unique_ptr<TIEPrintFormBase> owned(form);
  form->io = this;
  form->GetFont()->Assign(GetPreviewFont());
  form->fTaskName = TaskName;
  if (OnIOPreview) OnIOPreview(this, form);
  // Laying out the form's controls may have restored it; it opens maximised.
  if (DialogType == iedtMaxi) form->SetWindowState(wsMaximized);
  return form->ShowModal() == mrOk;
}
