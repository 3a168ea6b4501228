// Buttons with glyphs: the glyph and caption layout shared by TBitBtn and
// TSpeedButton, the kinds of TBitBtn with their own glyphs, and TSpeedButton.
#include "platform/vcl/Buttons.h"

#include <algorithm>

#include "platform/vcl/ClassicLook.h"
#include "platform/win/GdiText.h"

namespace {

// The glyphs of the kinds: 13x13 patterns ('.' transparent) in one colour each.
struct TKindGlyph {
  TColor color;
  const char* rows[13];
};

const TKindGlyph kCheckGlyph = {clGreen,
                                {".............", "...........X.", "..........XX.", ".........XXX.",
                                 "........XXX..", ".X.....XXX...", ".XX...XXX....", ".XXX.XXX.....",
                                 "..XXXXX......", "...XXX.......", "....X........", ".............",
                                 "............."}};
const TKindGlyph kCrossGlyph = {clMaroon,
                                {".............", ".XX.......XX.", ".XXX.....XXX.", "..XXX...XXX..",
                                 "...XXX.XXX...", "....XXXXX....", ".....XXX.....", "....XXXXX....",
                                 "...XXX.XXX...", "..XXX...XXX..", ".XXX.....XXX.", ".XX.......XX.",
                                 "............."}};
const TKindGlyph kHelpGlyph = {clNavy,
                               {"....XXXXX....", "...XXX.XXX...", "...XX...XX...", "........XX...",
                                ".......XXX...", "......XXX....", ".....XXX.....", ".....XX......",
                                ".....XX......", ".............", ".....XX......", ".....XX......",
                                "............."}};

struct TKindInfo {
  const char* caption;
  TModalResult modalResult;
  const TKindGlyph* glyph;
};

TKindInfo KindInfo(TBitBtnKind kind) {
  switch (kind) {
    case bkOK: return {"OK", mrOk, &kCheckGlyph};
    case bkCancel: return {"Cancel", mrCancel, &kCrossGlyph};
    case bkHelp: return {"&Help", mrNone, &kHelpGlyph};
    case bkYes: return {"&Yes", mrYes, &kCheckGlyph};
    case bkNo: return {"&No", mrNo, &kCrossGlyph};
    case bkClose: return {"&Close", mrNone, nullptr};
    case bkAbort: return {"Abort", mrAbort, &kCrossGlyph};
    case bkRetry: return {"&Retry", mrRetry, nullptr};
    case bkIgnore: return {"&Ignore", mrIgnore, nullptr};
    case bkAll: return {"&All", mrAll, &kCheckGlyph};
    case bkCustom: break;
  }
  return {"", mrNone, nullptr};
}

// The kind's glyph as a bitmap whose bottom-left pixel (clOlive) is transparent.
void MakeKindGlyph(TBitmap* bitmap, const TKindGlyph* glyph) {
  if (!glyph) {
    bitmap->SetWidth(0);
    bitmap->SetHeight(0);
    return;
  }
  bitmap->SetSize(13, 13);
  TCanvas* canvas = bitmap->GetCanvas();
  canvas->GetBrush()->SetColor(clOlive);
  canvas->FillRect(Rect(0, 0, 13, 13));
  for (Integer y = 0; y < 13; ++y) {
    for (Integer x = 0; x < 13; ++x) {
      if (glyph->rows[y][x] == 'X') canvas->SetPixel(x, y, glyph->color);
    }
  }
}

}  // namespace

void DrawButtonGlyphAndCaption(TCanvas* canvas, const TRect& rect, TBitmap* glyph, TNumGlyphs numGlyphs,
                               const AnsiString& caption, TButtonLayout layout, Integer margin,
                               Integer spacing, TButtonState state, TColor textColor) {
  numGlyphs = std::clamp(numGlyphs, 1, 4);
  const bool hasGlyph = glyph && !glyph->GetEmpty();
  const Integer gw = hasGlyph ? glyph->GetWidth() / numGlyphs : 0;
  const Integer gh = hasGlyph ? glyph->GetHeight() : 0;
  const UINT textFormat = DT_SINGLELINE;
  const TSize ts = caption.empty() ? TSize{0, 0}
                                   : classic::MeasureCaption(canvas, Rect(0, 0, 0x7FFF, 0), caption, textFormat);
  const Integer gap = (hasGlyph && !caption.empty()) ? spacing : 0;
  const bool horizontal = layout == blGlyphLeft || layout == blGlyphRight;
  const Integer w = rect.right - rect.left;
  const Integer h = rect.bottom - rect.top;
  // The glyph's and the text's top-left corners.
  TPoint g{}, t{};
  if (horizontal) {
    const Integer total = gw + gap + ts.cx;
    Integer start = margin < 0 ? (w - total) / 2 : margin;
    if (layout == blGlyphRight && margin >= 0) start = w - margin - total;
    g.y = (h - gh) / 2;
    t.y = (h - ts.cy) / 2;
    if (layout == blGlyphLeft) {
      g.x = start;
      t.x = start + gw + gap;
    } else {
      t.x = start;
      g.x = start + ts.cx + gap;
    }
  } else {
    const Integer total = gh + gap + ts.cy;
    Integer start = margin < 0 ? (h - total) / 2 : margin;
    if (layout == blGlyphBottom && margin >= 0) start = h - margin - total;
    g.x = (w - gw) / 2;
    t.x = (w - ts.cx) / 2;
    if (layout == blGlyphTop) {
      g.y = start;
      t.y = start + gh + gap;
    } else {
      t.y = start;
      g.y = start + ts.cy + gap;
    }
  }
  const bool disabled = state == TButtonState::bsDisabled;
  if (hasGlyph) {
    Integer index = 0;
    if (disabled && numGlyphs >= 2) index = 1;
    if (state == TButtonState::bsDown && numGlyphs >= 3) index = 2;
    if (state == TButtonState::bsExclusive && numGlyphs >= 4) index = 3;
    const TColor transparent = glyph->GetCanvas()->GetPixel(index * gw, gh - 1);
    const Integer x0 = rect.left + g.x;
    const Integer y0 = rect.top + g.y;
    // Pixel by pixel: the glyph is small, and its transparent colour is left out.
    for (Integer y = 0; y < gh; ++y) {
      for (Integer x = 0; x < gw; ++x) {
        const TColor c = glyph->GetCanvas()->GetPixel(index * gw + x, y);
        if (c == transparent) continue;
        if (disabled && numGlyphs < 2) {
          canvas->SetPixel(x0 + x + 1, y0 + y + 1, clBtnHighlight);
          continue;
        }
        canvas->SetPixel(x0 + x, y0 + y, c);
      }
    }
    if (disabled && numGlyphs < 2) {
      for (Integer y = 0; y < gh; ++y) {
        for (Integer x = 0; x < gw; ++x) {
          if (glyph->GetCanvas()->GetPixel(x, y) != transparent) canvas->SetPixel(x0 + x, y0 + y, clBtnShadow);
        }
      }
    }
  }
  if (!caption.empty()) {
    const TRect tr = Rect(rect.left + t.x, rect.top + t.y, rect.left + t.x + ts.cx, rect.top + t.y + ts.cy);
    classic::DrawCaption(canvas, tr, caption, textFormat, textColor, !disabled);
  }
}

// --- TBitBtn -----------------------------------------------------------------------------

TBitBtn::TBitBtn(TComponent* owner) : TButton(owner), glyph_(std::make_unique<TBitmap>()) {
  glyph_->OnChange = [this](TObject*) { Invalidate(); };
}

TBitBtn::~TBitBtn() { glyph_->OnChange = nullptr; }

void TBitBtn::SetGlyph(TBitmap* value) {
  glyph_->Assign(value);
  if (value && value->GetHeight() > 0 && value->GetWidth() % value->GetHeight() == 0) {
    // A strip of square images: the number of images.
    numGlyphs_ = std::clamp(value->GetWidth() / value->GetHeight(), 1, 4);
  }
  if (kind_ != bkCustom) kind_ = bkCustom;
  Invalidate();
}

void TBitBtn::SetNumGlyphs(TNumGlyphs value) {
  value = std::clamp(value, 1, 4);
  if (value == numGlyphs_) return;
  numGlyphs_ = value;
  Invalidate();
}

void TBitBtn::SetKind(TBitBtnKind value) {
  if (value == kind_) return;
  kind_ = value;
  if (value == bkCustom) return;
  const TKindInfo info = KindInfo(value);
  SetCaption(info.caption);
  SetModalResult(info.modalResult);
  SetDefault(value == bkOK || value == bkYes);
  SetCancel(value == bkCancel || value == bkNo);
  glyph_->OnChange = nullptr;
  MakeKindGlyph(glyph_.get(), info.glyph);
  glyph_->OnChange = [this](TObject*) { Invalidate(); };
  numGlyphs_ = 1;
  Invalidate();
}

void TBitBtn::SetLayout(TButtonLayout value) {
  if (value == layout_) return;
  layout_ = value;
  Invalidate();
}

void TBitBtn::SetMargin(Integer value) {
  if (value == margin_ || value < -1) return;
  margin_ = value;
  Invalidate();
}

void TBitBtn::SetSpacing(Integer value) {
  if (value == spacing_) return;
  spacing_ = value;
  Invalidate();
}

void TBitBtn::Click() {
  if (kind_ == bkClose) {
    if (TCustomForm* form = GetParentForm(this)) {
      form->Close();
      TButtonControl::Click();
      return;
    }
  }
  TButton::Click();
}

void TBitBtn::PaintContent(const TRect& rect) {
  DrawButtonGlyphAndCaption(GetCanvas(), rect, glyph_.get(), numGlyphs_, GetCaption(), layout_, margin_, spacing_,
                            !GetEnabled() ? TButtonState::bsDisabled
                            : GetPressed() ? TButtonState::bsDown
                                           : TButtonState::bsUp,
                            GetFont()->GetColor());
}

// --- TSpeedButton ---------------------------------------------------------------------------

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner), glyph_(std::make_unique<TBitmap>()) {
  glyph_->OnChange = [this](TObject*) { Invalidate(); };
  SetBounds(0, 0, 23, 22);
  SetParentColor(true);
  // The press and release are the button's own.
  SetControlStyle(GetControlStyle() - csClickEvents + csCaptureMouse);
}

TSpeedButton::~TSpeedButton() { glyph_->OnChange = nullptr; }

void TSpeedButton::SetGroupIndex(Integer value) {
  if (value == groupIndex_) return;
  groupIndex_ = value;
  UpdateExclusive();
}

void TSpeedButton::SetDown(bool value) {
  if (groupIndex_ == 0) value = false;
  if (value == down_) return;
  // The last button of a group stays down unless AllowAllUp.
  if (!value && !allowAllUp_) {
    bool otherDown = false;
    if (TWinControl* parent = GetParent()) {
      for (Integer i = 0; i < parent->GetControlCount(); ++i) {
        auto* b = dynamic_cast<TSpeedButton*>(parent->Controls(i));
        if (b && b != this && b->groupIndex_ == groupIndex_ && b->down_) otherDown = true;
      }
    }
    if (!otherDown) return;
  }
  down_ = value;
  Invalidate();
  if (value) UpdateExclusive();
}

void TSpeedButton::UpdateExclusive() {
  if (groupIndex_ == 0 || !down_) return;
  TWinControl* parent = GetParent();
  if (!parent) return;
  for (Integer i = 0; i < parent->GetControlCount(); ++i) {
    auto* b = dynamic_cast<TSpeedButton*>(parent->Controls(i));
    if (!b || b == this || b->groupIndex_ != groupIndex_ || !b->down_) continue;
    b->down_ = false;
    b->Invalidate();
  }
}

void TSpeedButton::SetAllowAllUp(bool value) {
  allowAllUp_ = value;
  if (TWinControl* parent = GetParent(); parent && groupIndex_ != 0) {
    for (Integer i = 0; i < parent->GetControlCount(); ++i) {
      auto* b = dynamic_cast<TSpeedButton*>(parent->Controls(i));
      if (b && b->groupIndex_ == groupIndex_) b->allowAllUp_ = value;
    }
  }
}

void TSpeedButton::SetFlat(bool value) {
  if (value == flat_) return;
  flat_ = value;
  SetControlStyle(value ? GetControlStyle() - csOpaque : GetControlStyle() + csOpaque);
  Invalidate();
}

void TSpeedButton::SetGlyph(TBitmap* value) {
  glyph_->Assign(value);
  if (value && value->GetHeight() > 0 && value->GetWidth() % value->GetHeight() == 0) {
    numGlyphs_ = std::clamp(value->GetWidth() / value->GetHeight(), 1, 4);
  }
  Invalidate();
}

void TSpeedButton::SetNumGlyphs(TNumGlyphs value) {
  value = std::clamp(value, 1, 4);
  if (value == numGlyphs_) return;
  numGlyphs_ = value;
  Invalidate();
}

void TSpeedButton::SetLayout(TButtonLayout value) {
  if (value == layout_) return;
  layout_ = value;
  Invalidate();
}

void TSpeedButton::SetMargin(Integer value) {
  if (value == margin_ || value < -1) return;
  margin_ = value;
  Invalidate();
}

void TSpeedButton::SetSpacing(Integer value) {
  if (value == spacing_) return;
  spacing_ = value;
  Invalidate();
}

void TSpeedButton::Click() { TGraphicControl::Click(); }

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  TGraphicControl::MouseDown(button, shift, x, y);
  if (button != mbLeft || !GetEnabled()) return;
  pressing_ = true;
  dragInside_ = true;
  Invalidate();
}

void TSpeedButton::MouseMove(TShiftState shift, Integer x, Integer y) {
  TGraphicControl::MouseMove(shift, x, y);
  const TRect r = GetClientRect();
  const bool inside = PtInRect(&r, Point(x, y)) != 0;
  if (pressing_ && inside != dragInside_) {
    dragInside_ = inside;
    Invalidate();
  }
  if (flat_ && inside != mouseIn_ && !pressing_) {
    mouseIn_ = inside;
    Invalidate();
  }
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y) {
  TGraphicControl::MouseUp(button, shift, x, y);
  if (button != mbLeft || !pressing_) return;
  pressing_ = false;
  const bool clicked = dragInside_;
  dragInside_ = false;
  Invalidate();
  if (!clicked) return;
  if (groupIndex_ != 0) SetDown(!down_ || !allowAllUp_ ? true : false);
  Click();
}

void TSpeedButton::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      mouseIn_ = message.Msg == CM_MOUSEENTER;
      if (flat_) Invalidate();
      TGraphicControl::Dispatch(message);
      return;
    case CM_TEXTCHANGED:
    case CM_ENABLEDCHANGED:
    case CM_FONTCHANGED:
      TGraphicControl::Dispatch(message);
      Invalidate();
      return;
    default:
      TGraphicControl::Dispatch(message);
  }
}

void TSpeedButton::Paint() {
  TCanvas* canvas = GetCanvas();
  const TRect r = GetClientRect();
  const bool pushed = (pressing_ && dragInside_) || down_;
  TRect content;
  if (flat_) {
    if (!pushed && !mouseIn_) {
      // Nothing but the parent's colour behind the glyph.
      canvas->GetBrush()->SetStyle(bsSolid);
      canvas->GetBrush()->SetColor(GetColor());
      canvas->FillRect(r);
      content = r;
    } else {
      content = classic::DrawFlatButtonFace(canvas, r, pushed, mouseIn_);
    }
  } else {
    content = r;
    if (pushed) {
      content = classic::DrawFrame(canvas, r, cfSunken);
      canvas->GetBrush()->SetStyle(bsSolid);
      canvas->GetBrush()->SetColor(clBtnFace);
      canvas->FillRect(content);
      if (down_ && !(pressing_ && dragInside_)) classic::FillTrack(canvas, content);
      OffsetRect(&content, 1, 1);
    } else {
      content = classic::DrawFrame(canvas, r, cfRaised);
      canvas->GetBrush()->SetStyle(bsSolid);
      canvas->GetBrush()->SetColor(clBtnFace);
      canvas->FillRect(content);
    }
  }
  const TButtonState state = !GetEnabled()                          ? TButtonState::bsDisabled
                             : down_ && !(pressing_ && dragInside_) ? TButtonState::bsExclusive
                             : pushed                               ? TButtonState::bsDown
                                                                    : TButtonState::bsUp;
  DrawButtonGlyphAndCaption(canvas, content, glyph_.get(), numGlyphs_, GetCaption(), layout_, margin_, spacing_,
                            state, GetFont()->GetColor());
}
