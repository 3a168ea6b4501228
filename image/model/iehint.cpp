// The floating hint window (one of the drawing pieces of the ieutils unit).
#include "image/model/iehint.h"

#include "platform/win/Gdi.h"
#include "platform/win/Messages.h"
#include "platform/win/Window.h"

TIEHint::TIEHint(TComponent* owner) : TCustomControl(owner), font_(std::make_unique<TFont>()) {
  SetVisible(false);
  SetColor(static_cast<TColor>(0x00E0FFFF));
  font_->SetColor(0);
  GetCanvas()->SetFont(font_.get());
  GetCanvas()->GetBrush()->SetStyle(bsClear);
}

TIEHint::~TIEHint() = default;

void TIEHint::SetText(const AnsiString& value) {
  text_ = value;
  TCanvas* canvas = GetCanvas();
  canvas->SetFont(font_.get());
  const TSize extent = canvas->TextExtent(text_);
  SetBounds(GetLeft(), GetTop(), extent.cx + 4, extent.cy + 4);
  PaintFrame();
  Invalidate();
}

void TIEHint::SetFont(TFont* value) {
  if (value == nullptr) return;
  font_->Assign(value);
  GetCanvas()->SetFont(font_.get());
  Invalidate();
}

void TIEHint::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.Style = WS_POPUP | WS_BORDER;
  params.WindowClass.style |= CS_SAVEBITS;
  // The system here draws new-style controls.
  params.ExStyle = WS_EX_TOOLWINDOW;
}

void TIEHint::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_NCHITTEST:
      message.Result = HTTRANSPARENT;  // the mouse goes to the windows beneath
      return;
    case WM_NCPAINT:
      PaintFrame();
      message.Result = 0;
      return;
    default:
      TCustomControl::Dispatch(message);
  }
}

void TIEHint::PaintFrame() {
  if (!HandleAllocated()) return;
  const HWND window = GetHandle();
  HDC dc = GetWindowDC(window);
  if (dc == 0) return;
  RECT r{0, 0, GetWidth(), GetHeight()};
  DrawEdge(dc, &r, BDR_RAISEDOUTER, BF_RECT);
  ReleaseDC(window, dc);
}

void TIEHint::Paint() {
  TCanvas* canvas = GetCanvas();
  canvas->SetFont(font_.get());
  canvas->GetBrush()->SetStyle(bsClear);
  canvas->TextOut(1, 1, text_);
}
