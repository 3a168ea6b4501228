// TDadirAvPaletteDialog: a small modal dialog, built in code, that shows the colours
// of a palette as a grid of squares (32 a row) and lets the user pick one with the
// mouse. The caller sets the palette (not copied: it must outlive the showing), may
// set the Cancel button's caption, calls Execute and reads SelectedColor after true.
#pragma once

#include "image/model/iedefs.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/StdCtrls.h"

class TDadirAvPaletteDialog : public TForm {
 public:
  LARK_CLASS_NAME(TDadirAvPaletteDialog)
  explicit TDadirAvPaletteDialog(TComponent* owner);
  ~TDadirAvPaletteDialog() override;
  TDadirAvPaletteDialog(const TDadirAvPaletteDialog&) = delete;
  TDadirAvPaletteDialog& operator=(const TDadirAvPaletteDialog&) = delete;

  // Remembers the caller's array and how many of its colours to show.
  void SetPalette(const TRGB* palette, Integer numColors);
  // Shows the dialog modally: true when a colour was clicked, false when cancelled.
  bool Execute();

  Integer GetHoverIndex() const noexcept { return hover_; }
  // The square of cell i (right and bottom exclusive).
  static TRect CellRect(Integer i);

  TButton* CancelButton = nullptr;  // owned by the dialog
  TColor SelectedColor = 0;

 private:
  void PaintGrid();
  void HoverAt(Integer x, Integer y);
  void ClickAt();

  Integer hover_ = -1;
  const TRGB* palette_ = nullptr;
  Integer count_ = 0;
};
