// The colour dialog behind ChooseColor: the basic colours and the caller's 16 custom
// ones as grids of swatches, the chosen colour beside them.
#include <cstdio>
#include <vector>

#include "platform/vcl/DialogsInternal.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/win/CommDlg.h"

namespace {

constexpr Integer kCellWidth = 20;
constexpr Integer kCellHeight = 16;
constexpr Integer kGap = 5;

// Six rows of eight: light tints, full colours, darker shades, and greys.
const COLORREF kBasicColors[48] = {
    RGB(255, 128, 128), RGB(255, 255, 128), RGB(128, 255, 128), RGB(0, 255, 128),
    RGB(128, 255, 255), RGB(0, 128, 255), RGB(255, 128, 192), RGB(255, 128, 255),
    RGB(255, 0, 0), RGB(255, 255, 0), RGB(128, 255, 0), RGB(0, 255, 64),
    RGB(0, 255, 255), RGB(0, 128, 192), RGB(128, 128, 192), RGB(255, 0, 255),
    RGB(128, 64, 64), RGB(255, 128, 64), RGB(0, 255, 0), RGB(0, 128, 128),
    RGB(0, 64, 128), RGB(128, 128, 255), RGB(128, 0, 64), RGB(255, 0, 128),
    RGB(128, 0, 0), RGB(255, 128, 0), RGB(0, 128, 0), RGB(0, 128, 64),
    RGB(0, 0, 255), RGB(0, 0, 160), RGB(128, 0, 128), RGB(128, 0, 255),
    RGB(64, 0, 0), RGB(128, 64, 0), RGB(0, 64, 0), RGB(0, 64, 64),
    RGB(0, 0, 128), RGB(0, 0, 64), RGB(64, 0, 64), RGB(64, 0, 128),
    RGB(0, 0, 0), RGB(128, 128, 0), RGB(128, 128, 64), RGB(128, 128, 128),
    RGB(64, 128, 128), RGB(192, 192, 192), RGB(64, 0, 64), RGB(255, 255, 255),
};

// A grid of colour swatches: a click or the arrow keys choose one.
class TSwatchGrid : public TCustomControl {
 public:
  TSwatchGrid(TComponent* owner, std::vector<COLORREF> colors, Integer columns)
      : TCustomControl(owner), colors_(std::move(colors)), columns_(columns) {
    SetTabStop(true);
    const Integer rows = (static_cast<Integer>(colors_.size()) + columns - 1) / columns;
    SetWidth(columns * (kCellWidth + kGap) + 1);
    SetHeight(rows * (kCellHeight + kGap) + 1);
  }

  Integer GetSelected() const noexcept { return selected_; }
  void SetSelected(Integer index) {
    if (index == selected_) return;
    selected_ = index;
    Invalidate();
  }
  COLORREF ColorAt(Integer index) const { return colors_[static_cast<size_t>(index)]; }
  Integer IndexOf(COLORREF color) const {
    for (size_t i = 0; i < colors_.size(); ++i)
      if (colors_[i] == color) return static_cast<Integer>(i);
    return -1;
  }
  std::function<void(Integer index)> OnChoose;

  void Dispatch(TMessage& message) override {
    switch (message.Msg) {
      case WM_GETDLGCODE: message.Result = DLGC_WANTARROWS; return;
      case WM_SETFOCUS:
      case WM_KILLFOCUS:
        Invalidate();
        break;
    }
    TCustomControl::Dispatch(message);
  }

 protected:
  TRect CellRect(Integer index) const {
    const Integer x = (index % columns_) * (kCellWidth + kGap) + 2;
    const Integer y = (index / columns_) * (kCellHeight + kGap) + 2;
    return Rect(x, y, x + kCellWidth, y + kCellHeight);
  }

  void Paint() override {
    TCanvas* c = GetCanvas();
    c->GetBrush()->SetColor(clBtnFace);
    c->FillRect(GetClientRect());
    for (Integer i = 0; i < static_cast<Integer>(colors_.size()); ++i) {
      TRect r = CellRect(i);
      if (i == selected_) {
        c->GetBrush()->SetColor(clBlack);
        c->FrameRect(Rect(r.left - 2, r.top - 2, r.right + 2, r.bottom + 2));
        if (Focused()) ::DrawFocusRect(c->GetHandle(), &r);
      }
      ::DrawEdge(c->GetHandle(), &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
      c->GetBrush()->SetColor(static_cast<TColor>(colors_[static_cast<size_t>(i)]));
      c->FillRect(r);
    }
  }

  void MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) override {
    TCustomControl::MouseDown(button, shift, x, y);
    if (CanFocus()) SetFocus();
    for (Integer i = 0; i < static_cast<Integer>(colors_.size()); ++i) {
      const TRect r = CellRect(i);
      if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) Choose(i);
    }
  }

  void KeyDown(Word& key, TShiftState shift) override {
    TCustomControl::KeyDown(key, shift);
    const Integer count = static_cast<Integer>(colors_.size());
    const Integer at = selected_ < 0 ? 0 : selected_;
    Integer next = at;
    switch (key) {
      case VK_LEFT: next = at - 1; break;
      case VK_RIGHT: next = at + 1; break;
      case VK_UP: next = at - columns_; break;
      case VK_DOWN: next = at + columns_; break;
      default: return;
    }
    key = 0;
    if (selected_ < 0) next = 0;
    if (next >= 0 && next < count) Choose(next);
  }

 private:
  void Choose(Integer index) {
    SetSelected(index);
    if (OnChoose) OnChoose(index);
  }

  std::vector<COLORREF> colors_;
  Integer columns_;
  Integer selected_ = -1;
};

class TColorForm : public TDialogForm {
 public:
  explicit TColorForm(CHOOSECOLOR* cc) : TDialogForm(sim::DialogKind::Color), cc_(cc) {
    SetCaption("Color");
    auto* basicLabel = new TLabel(this);
    basicLabel->SetParent(this);
    basicLabel->SetBounds(8, 8, 120, 13);
    basicLabel->SetCaption("&Basic colors:");
    basic_ = new TSwatchGrid(this, std::vector<COLORREF>(std::begin(kBasicColors), std::end(kBasicColors)), 8);
    basic_->SetParent(this);
    basic_->SetLeft(8);
    basic_->SetTop(24);
    basic_->SetTabOrder(0);
    basicLabel->SetFocusControl(basic_);
    std::vector<COLORREF> custom(16, RGB(255, 255, 255));
    if (cc->lpCustColors) custom.assign(cc->lpCustColors, cc->lpCustColors + 16);
    auto* customLabel = new TLabel(this);
    customLabel->SetParent(this);
    customLabel->SetBounds(8, basic_->GetTop() + basic_->GetHeight() + 8, 120, 13);
    customLabel->SetCaption("&Custom colors:");
    custom_ = new TSwatchGrid(this, custom, 8);
    custom_->SetParent(this);
    custom_->SetLeft(8);
    custom_->SetTop(customLabel->GetTop() + 16);
    custom_->SetTabOrder(1);
    customLabel->SetFocusControl(custom_);
    basic_->OnChoose = [this](Integer i) { Pick(basic_->ColorAt(i), basic_); };
    custom_->OnChoose = [this](Integer i) { Pick(custom_->ColorAt(i), custom_); };

    const Integer right = basic_->GetLeft() + basic_->GetWidth() + 12;
    auto* sampleLabel = new TLabel(this);
    sampleLabel->SetParent(this);
    sampleLabel->SetBounds(right, 8, 80, 13);
    sampleLabel->SetCaption("Color|Solid");
    sample_ = new TPanel(this);
    sample_->SetParent(this);
    sample_->SetBounds(right, 24, 80, 60);
    sample_->SetBevelOuter(bvLowered);
    sample_->SetCaption("");

    const Integer buttonTop = custom_->GetTop() + custom_->GetHeight() + 12;
    const char* captions[] = {"OK", "Cancel"};
    for (int i = 0; i < 2; ++i) {
      auto* button = new TButton(this);
      button->SetParent(this);
      button->SetCaption(captions[i]);
      button->SetModalResult(i == 0 ? mrOk : mrCancel);
      button->SetDefault(i == 0);
      button->SetCancel(i == 1);
      button->SetBounds(8 + i * 81, buttonTop, 75, 23);
      button->SetTabOrder(2 + i);
    }
    SetClientWidth(right + 80 + 8);
    SetClientHeight(buttonTop + 23 + 8);
    SetActiveControl(basic_);
    Pick((cc->Flags & CC_RGBINIT) ? cc->rgbResult : RGB(0, 0, 0), nullptr);
  }

  COLORREF Chosen() const noexcept { return color_; }

 protected:
  void Prepare() override {
    if (cc_->lpfnHook && (cc_->Flags & CC_ENABLEHOOK))
      cc_->lpfnHook(GetHandle(), WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(cc_));
  }
  // A colour as "#RRGGBB".
  void ApplyValue(const AnsiString& value) override {
    unsigned rgb = 0;
    if (value.size() == 7 && value[0] == '#' && std::sscanf(value.c_str() + 1, "%6x", &rgb) == 1)
      Pick(RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF), nullptr);
  }
  AnsiString CurrentValue() override {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(color_), GetGValue(color_), GetBValue(color_));
    return text;
  }

 private:
  // The colour chosen; its swatch is marked in the grid it came from (or the first
  // grid that has it), the other grid's mark goes.
  void Pick(COLORREF color, TSwatchGrid* from) {
    color_ = color;
    if (!from) from = basic_->IndexOf(color) >= 0 ? basic_ : (custom_->IndexOf(color) >= 0 ? custom_ : nullptr);
    basic_->SetSelected(from == basic_ ? basic_->IndexOf(color) : -1);
    if (from == basic_ || !from) custom_->SetSelected(-1);
    if (from == custom_ && custom_->GetSelected() < 0) custom_->SetSelected(custom_->IndexOf(color));
    sample_->SetColor(static_cast<TColor>(color));
  }

  CHOOSECOLOR* cc_;
  TSwatchGrid* basic_;
  TSwatchGrid* custom_;
  TPanel* sample_;
  COLORREF color_ = 0;
};

}  // namespace

BOOL ChooseColorForm(CHOOSECOLOR* cc) {
  TColorForm form(cc);
  if (form.Execute("Color", "", cc->Flags) != mrOk) return FALSE;
  cc->rgbResult = form.Chosen();
  return TRUE;
}
