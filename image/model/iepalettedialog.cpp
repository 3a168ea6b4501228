// The palette dialog: the grid painted on the form, the hovered cell outlined in
// black, a click picking the hovered colour.
#include "image/model/iepalettedialog.h"

TDadirAvPaletteDialog::TDadirAvPaletteDialog(TComponent* owner) : TForm(owner) {
  SetCaption("");
  SetBorderStyle(TFormBorderStyle::bsDialog);
  SetPosition(poScreenCenter);
  SetBounds(GetLeft(), GetTop(), 539, 199);
  OnPaint = [this](TObject*) { PaintGrid(); };
  OnMouseMove = [this](TObject*, TShiftState, Integer x, Integer y) { HoverAt(x, y); };
  OnClick = [this](TObject*) { ClickAt(); };
  CancelButton = new TButton(this);
  CancelButton->SetParent(this);
  CancelButton->SetCaption("&Cancel");
  CancelButton->SetModalResult(mrCancel);
  CancelButton->SetCancel(true);
  CancelButton->SetLeft(8);
  CancelButton->SetTop(144);
  hover_ = -1;
}

TDadirAvPaletteDialog::~TDadirAvPaletteDialog() = default;

void TDadirAvPaletteDialog::SetPalette(const TRGB* palette, Integer numColors) {
  palette_ = palette;
  count_ = palette != nullptr && numColors > 0 ? numColors : 0;
}

bool TDadirAvPaletteDialog::Execute() { return ShowModal() == mrOk; }

TRect TDadirAvPaletteDialog::CellRect(Integer i) {
  const Integer left = (i % 32) * 16 + 1, top = (i / 32) * 16 + 1;
  return TRect{left, top, left + 15, top + 15};
}

void TDadirAvPaletteDialog::PaintGrid() {
  if (!HandleAllocated()) return;
  TCanvas* canvas = GetCanvas();
  canvas->GetBrush()->SetStyle(bsSolid);
  canvas->GetPen()->SetStyle(psSolid);
  canvas->GetPen()->SetMode(pmCopy);
  for (Integer i = 0; i < count_; ++i) {
    const TRGB& c = palette_[i];
    canvas->GetBrush()->SetColor(static_cast<TColor>(c.r | (c.g << 8) | (c.b << 16)));
    canvas->GetPen()->SetColor(i == hover_ ? 0x000000 : 0xFFFFFF);
    canvas->Rectangle(CellRect(i));
  }
}

void TDadirAvPaletteDialog::HoverAt(Integer x, Integer y) {
  // Truncation toward zero: the first column and row also take x = 0 and y = 0.
  const Integer col = (x - 1) / 16, row = (y - 1) / 16;
  const Int64 index = static_cast<Int64>(row) * 32 + col;
  if (index < 0 || index >= count_ || index == hover_) return;
  hover_ = static_cast<Integer>(index);
  PaintGrid();
}

void TDadirAvPaletteDialog::ClickAt() {
  // Before any cell was hovered there is no colour to pick: the dialog stays open.
  if (hover_ < 0 || hover_ >= count_) return;
  const TRGB& c = palette_[hover_];
  SelectedColor = static_cast<TColor>(c.r | (c.g << 8) | (c.b << 16));
  SetModalResult(mrOk);
}
