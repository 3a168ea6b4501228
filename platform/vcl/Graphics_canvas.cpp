// The canvas: the framework's drawing calls over a DC, with its pen, brush and font.
#include "platform/vcl/Graphics.h"

#include "platform/win/Messages.h"

namespace {

COLORREF ToColorRef(TColor color) { return static_cast<COLORREF>(ColorToRGB(color)); }

}  // namespace

TCanvas::TCanvas()
    : pen_(std::make_unique<TPen>()), brush_(std::make_unique<TBrush>()), font_(std::make_unique<TFont>()) {
  pen_->OnChange = [this](TObject*) { state_ &= static_cast<Byte>(~csPenValid); };
  brush_->OnChange = [this](TObject*) { state_ &= static_cast<Byte>(~csBrushValid); };
  font_->OnChange = [this](TObject*) { state_ &= static_cast<Byte>(~csFontValid); };
}

TCanvas::~TCanvas() {
  SetHandle(0);
  DeleteCriticalSection(&lock_);
}

HDC TCanvas::GetHandle() {
  RequiredState(csHandleValid);
  return handle_;
}

void TCanvas::SetHandle(HDC value) {
  if (value == handle_) return;
  if (handle_ != 0) DeselectHandles();
  handle_ = value;
  state_ = value != 0 ? csHandleValid : 0;
}

void TCanvas::DeselectHandles() {
  if (handle_ == 0 || (state_ & (csPenValid | csBrushValid | csFontValid)) == 0) return;
  SelectObject(handle_, GetStockObject(BLACK_PEN));
  SelectObject(handle_, GetStockObject(WHITE_BRUSH));
  SelectObject(handle_, GetStockObject(SYSTEM_FONT));
  state_ &= static_cast<Byte>(~(csPenValid | csBrushValid | csFontValid));
}

void TCanvas::RequiredState(Byte state) {
  Byte needed = static_cast<Byte>(state & ~state_);
  if (needed == 0) return;
  if (needed & csHandleValid) {
    CreateHandle();
    if (handle_ == 0) throw EInvalidOperation("Canvas does not allow drawing");
  }
  if (needed & csPenValid) {
    SelectObject(handle_, pen_->GetHandle());
    SetROP2(handle_, PenModeToROP2(pen_->GetMode()));
    state_ |= csPenValid;
  }
  if (needed & csBrushValid) {
    SelectObject(handle_, brush_->GetHandle());
    COLORREF color = ToColorRef(brush_->GetColor());
    if (brush_->GetStyle() == bsSolid) {
      SetBkColor(handle_, color);
      SetBkMode(handle_, OPAQUE);
    } else {
      // Hatches show what is under their gaps; a background colour unlike the hatch's
      // keeps the hatch visible to anything that does use it.
      SetBkColor(handle_, ~color & 0x00FFFFFF);
      SetBkMode(handle_, TRANSPARENT);
    }
    state_ |= csBrushValid;
  }
  if (needed & csFontValid) {
    SelectObject(handle_, font_->GetHandle());
    SetTextColor(handle_, ToColorRef(font_->GetColor()));
    state_ |= csFontValid;
  }
}

void TCanvas::Changing() {
  if (OnChanging) OnChanging(this);
}

void TCanvas::Changed() {
  if (OnChange) OnChange(this);
}

void TCanvas::Refresh() { DeselectHandles(); }

TPoint TCanvas::GetPenPos() {
  RequiredState(csHandleValid);
  TPoint pos;
  GetCurrentPositionEx(handle_, &pos);
  return pos;
}

TColor TCanvas::GetPixel(Integer x, Integer y) {
  RequiredState(csHandleValid);
  return static_cast<TColor>(::GetPixel(handle_, x, y));
}

void TCanvas::SetPixel(Integer x, Integer y, TColor color) {
  Changing();
  RequiredState(csHandleValid | csPenValid);
  ::SetPixel(handle_, x, y, ToColorRef(color));
  Changed();
}

TRect TCanvas::GetClipRect() {
  RequiredState(csHandleValid);
  TRect rect;
  GetClipBox(handle_, &rect);
  return rect;
}

void TCanvas::MoveTo(Integer x, Integer y) {
  RequiredState(csHandleValid);
  MoveToEx(handle_, x, y, nullptr);
}

void TCanvas::LineTo(Integer x, Integer y) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  ::LineTo(handle_, x, y);
  Changed();
}

void TCanvas::Rectangle(Integer x1, Integer y1, Integer x2, Integer y2) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  ::Rectangle(handle_, x1, y1, x2, y2);
  Changed();
}

void TCanvas::Ellipse(Integer x1, Integer y1, Integer x2, Integer y2) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  ::Ellipse(handle_, x1, y1, x2, y2);
  Changed();
}

void TCanvas::Polygon(std::span<const TPoint> points) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  ::Polygon(handle_, points.data(), static_cast<Integer>(points.size()));
  Changed();
}

void TCanvas::Polyline(std::span<const TPoint> points) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  ::Polyline(handle_, points.data(), static_cast<Integer>(points.size()));
  Changed();
}

void TCanvas::FillRect(const TRect& rect) {
  Changing();
  RequiredState(csHandleValid | csBrushValid);
  ::FillRect(handle_, &rect, brush_->GetHandle());
  Changed();
}

void TCanvas::FrameRect(const TRect& rect) {
  Changing();
  RequiredState(csHandleValid | csBrushValid);
  ::FrameRect(handle_, &rect, brush_->GetHandle());
  Changed();
}

void TCanvas::Draw(Integer x, Integer y, TGraphic* graphic) {
  if (!graphic || graphic->GetEmpty()) return;
  StretchDraw(Bounds(x, y, graphic->GetWidth(), graphic->GetHeight()), graphic);
}

void TCanvas::StretchDraw(const TRect& rect, TGraphic* graphic) {
  if (!graphic || graphic->GetEmpty()) return;
  Changing();
  RequiredState(csHandleValid | csFontValid);
  // A monochrome source takes the text colour for 0 and the background colour for 1.
  SetBkColor(handle_, ToColorRef(brush_->GetColor()));
  state_ &= static_cast<Byte>(~csBrushValid);
  graphic->Draw(this, rect);
  Changed();
}

void TCanvas::CopyRect(const TRect& dest, TCanvas* canvas, const TRect& source) {
  if (!canvas) return;
  Changing();
  RequiredState(csHandleValid | csFontValid | csBrushValid);
  HDC src = canvas->GetHandle();
  StretchBlt(handle_, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, src,
             source.left, source.top, source.right - source.left, source.bottom - source.top,
             static_cast<DWORD>(copyMode_));
  Changed();
}

void TCanvas::TextOut(Integer x, Integer y, const AnsiString& text) {
  Changing();
  RequiredState(csHandleValid | csFontValid | csBrushValid);
  ::TextOut(handle_, x, y, text.data(), static_cast<Integer>(text.size()));
  MoveTo(x + TextWidth(text), y);
  Changed();
}

void TCanvas::TextRect(const TRect& rect, Integer x, Integer y, const AnsiString& text) {
  Changing();
  RequiredState(csHandleValid | csFontValid | csBrushValid);
  UINT options = ETO_CLIPPED;
  if (brush_->GetStyle() != bsClear) options |= ETO_OPAQUE;
  ExtTextOut(handle_, x, y, options, &rect, text.data(), static_cast<UINT>(text.size()), nullptr);
  Changed();
}

TSize TCanvas::TextExtent(const AnsiString& text) {
  RequiredState(csHandleValid | csFontValid);
  TSize size;
  GetTextExtentPoint32(handle_, text.data(), static_cast<Integer>(text.size()), &size);
  return size;
}

void TCanvas::Lock() {
  EnterCriticalSection(&lock_);
  ++lockCount_;
}

void TCanvas::Unlock() {
  // Only the holder may unlock: anyone else would spoil the count.
  if (lock_.owner.load() != GetCurrentThreadId()) return;
  --lockCount_;
  LeaveCriticalSection(&lock_);
}

bool TCanvas::TryLock() {
  if (!TryEnterCriticalSection(&lock_)) return false;
  ++lockCount_;
  return true;
}
