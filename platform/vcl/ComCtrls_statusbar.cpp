// The status bar: panels in sunken frames along the bottom of a form, text or drawn
// by OnDrawPanel each time the bar paints, one simple panel instead of them, and
// the size grip of a sizeable form.
#include <algorithm>

#include "platform/vcl/ClassicLook.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/Forms.h"

namespace {

constexpr Integer kTopMargin = 2;
constexpr Integer kGripSize = 12;

}  // namespace

// --- Panels ------------------------------------------------------------------------------

void TStatusPanel::Changed() { owner_->owner_->Invalidate(); }

void TStatusPanel::SetWidth(Integer value) {
  if (value == width_) return;
  width_ = value;
  Changed();
}

void TStatusPanel::SetText(const AnsiString& value) {
  if (value == text_) return;
  text_ = value;
  Changed();
}

void TStatusPanel::SetStyle(TStatusPanelStyle value) {
  if (value == style_) return;
  style_ = value;
  Changed();
}

void TStatusPanel::SetBevel(TStatusPanelBevel value) {
  if (value == bevel_) return;
  bevel_ = value;
  Changed();
}

Integer TStatusPanel::GetIndex() const {
  const auto& panels = owner_->panels_;
  for (size_t i = 0; i < panels.size(); ++i) {
    if (panels[i].get() == this) return static_cast<Integer>(i);
  }
  return -1;
}

TStatusPanel* TStatusPanels::GetItem(Integer index) const {
  if (index < 0 || index >= GetCount()) {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  }
  return panels_[static_cast<size_t>(index)].get();
}

TStatusPanel* TStatusPanels::Add() {
  panels_.push_back(std::make_unique<TStatusPanel>(this));
  owner_->Invalidate();
  return panels_.back().get();
}

void TStatusPanels::Delete(Integer index) {
  GetItem(index);
  panels_.erase(panels_.begin() + index);
  owner_->Invalidate();
}

void TStatusPanels::Clear() {
  panels_.clear();
  owner_->Invalidate();
}

// --- TStatusBar --------------------------------------------------------------------------

TStatusBar::TStatusBar(TComponent* owner)
    : TCustomControl(owner), panels_(std::make_unique<TStatusPanels>(this)) {
  SetControlStyle(GetControlStyle() + csAcceptsControls);
  SetColor(clBtnFace);
  SetBounds(0, 0, 200, 19);
  SetAlign(alBottom);
}

TStatusBar::~TStatusBar() = default;

void TStatusBar::SetSimplePanel(bool value) {
  if (value == simplePanel_) return;
  simplePanel_ = value;
  Invalidate();
}

void TStatusBar::SetSimpleText(const AnsiString& value) {
  if (value == simpleText_) return;
  simpleText_ = value;
  if (simplePanel_) Invalidate();
}

void TStatusBar::SetSizeGrip(bool value) {
  if (value == sizeGrip_) return;
  sizeGrip_ = value;
  Invalidate();
}

bool TStatusBar::ShowsGrip() {
  if (!sizeGrip_) return false;
  TCustomForm* form = GetParentForm(this);
  if (form == nullptr || GetParent() != form) return false;
  return form->GetBorderStyle() == bsSizeable || form->GetBorderStyle() == bsSizeToolWin;
}

TRect TStatusBar::PanelRect(Integer index) {
  const TRect client = GetClientRect();
  const Integer right = client.right - (ShowsGrip() ? kGripSize : 0);
  if (simplePanel_) return Rect(1, kTopMargin + 1, right - 1, client.bottom - 1);
  Integer x = 0;
  for (Integer i = 0; i < panels_->GetCount(); ++i) {
    const Integer width = panels_->GetItem(i)->GetWidth();
    // The last panel takes the rest of the bar.
    const Integer end = i == panels_->GetCount() - 1 ? std::max(x + width, right) : x + width;
    if (i == index) return Rect(x + 1, kTopMargin + 1, std::max(x + 1, end - 3), client.bottom - 1);
    x = end;
  }
  return Rect(0, 0, 0, 0);
}

void TStatusBar::DrawPanel(TStatusPanel* panel, const TRect& rect) {
  if (OnDrawPanel) OnDrawPanel(this, panel, rect);
}

void TStatusBar::Paint() {
  TCanvas* canvas = GetCanvas();
  const TRect client = GetClientRect();
  canvas->SetFont(GetFont());
  canvas->GetBrush()->SetColor(clBtnFace);
  canvas->GetBrush()->SetStyle(bsSolid);
  canvas->FillRect(client);
  auto drawText = [&](const TRect& r, const AnsiString& text) {
    classic::DrawCaption(canvas, Rect(r.left + 2, r.top, r.right - 1, r.bottom), text,
                         DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS, clBtnText, true);
  };
  if (simplePanel_) {
    const TRect r = PanelRect(0);
    classic::DrawFrame(canvas, Rect(r.left - 1, r.top - 1, r.right + 1, r.bottom + 1), cfSunkenOuter);
    drawText(r, simpleText_);
  } else {
    for (Integer i = 0; i < panels_->GetCount(); ++i) {
      TStatusPanel* panel = panels_->GetItem(i);
      const TRect r = PanelRect(i);
      if (panel->GetBevel() != pbNone) {
        classic::DrawFrame(canvas, Rect(r.left - 1, r.top - 1, r.right + 1, r.bottom + 1),
                           panel->GetBevel() == pbLowered ? cfSunkenOuter : cfRaisedInner);
      }
      if (panel->GetStyle() == psOwnerDraw) {
        // The handler draws on the canvas as it finds it: the bar's font and brush.
        canvas->GetBrush()->SetColor(clBtnFace);
        canvas->GetBrush()->SetStyle(bsSolid);
        canvas->GetFont()->SetColor(clBtnText);
        DrawPanel(panel, r);
      } else {
        drawText(r, panel->GetText());
      }
    }
  }
  if (ShowsGrip()) {
    // Three pairs of diagonal lines, light above dark, in the bottom-right corner.
    const Integer x = client.right;
    const Integer y = client.bottom;
    for (Integer k = 0; k < 3; ++k) {
      const Integer d = 4 * k + 2;
      canvas->GetPen()->SetColor(clBtnHighlight);
      canvas->MoveTo(x - d - 2, y - 1);
      canvas->LineTo(x - 1, y - d - 3);
      canvas->GetPen()->SetColor(clBtnShadow);
      canvas->MoveTo(x - d - 1, y - 1);
      canvas->LineTo(x - 1, y - d - 2);
      canvas->MoveTo(x - d, y - 1);
      canvas->LineTo(x - 1, y - d - 1);
    }
  }
}
