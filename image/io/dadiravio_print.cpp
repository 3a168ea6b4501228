// Printing the working store: at a place and size in inches, or laid out on a page
// with margins, a position and a size mode; and the scaled-down page preview.
#include <algorithm>
#include <cmath>

#include "image/io/dadiravio.h"
#include "image/model/ieutils.h"

namespace {

// The device pixels of a length in inches, truncated toward zero.
Integer Device(Integer dpi, double inches) {
  const double v = dpi * inches;
  if (!std::isfinite(v)) return 0;
  return static_cast<Integer>(std::clamp(std::trunc(v), -1e9, 1e9));
}

}  // namespace

void TDadirAvIO::PrintImagePosEx(TCanvas* Canvas, Integer DpiX, Integer DpiY, double X, double Y,
                                 double Width, double Height, double GammaCorrection) {
  ReEncapsulate();
  if (Canvas == nullptr || ieBitmap_ == nullptr) return;
  const Integer imageWidth = ieBitmap_->GetWidth();
  // An empty store has nothing to print (and no width to compare the size with).
  if (imageWidth <= 0 || ieBitmap_->GetHeight() <= 0) return;
  const Integer x = Device(DpiX, X), y = Device(DpiY, Y);
  const Integer w = Device(DpiX, Width), h = Device(DpiY, Height);
  if (w <= 0 || h <= 0) return;
  const TResampleFilter filter =
      PrintFilterOnShrink && static_cast<double>(w) / imageWidth < 1.0 ? rfFastLinear : rfNone;
  // No gamma (or a nonsense one) means no correction.
  const double gamma = GammaCorrection > 0 && std::isfinite(GammaCorrection) ? GammaCorrection : 1.0;
  ieBitmap_->RenderToCanvas(Canvas, x, y, w, h, filter, gamma);
}

void TDadirAvIO::PrintImagePos(TCanvas* Canvas, double X, double Y, double Width, double Height,
                               double GammaCorrection) {
  if (Canvas == nullptr) return;
  const HDC dc = Canvas->GetHandle();
  PrintImagePosEx(Canvas, ::GetDeviceCaps(dc, LOGPIXELSX), ::GetDeviceCaps(dc, LOGPIXELSY), X, Y, Width,
                  Height, GammaCorrection);
}

void TDadirAvIO::PrintImageEx(TCanvas* Canvas, Integer DpiX, Integer DpiY, double PageWidth,
                              double PageHeight, double MarginLeft, double MarginTop, double MarginRight,
                              double MarginBottom, TIEVerticalPos VerticalPos,
                              TIEHorizontalPos HorizontalPos, TIESize Size, double SpecWidth,
                              double SpecHeight, double GammaCorrection) {
  ReEncapsulate();
  if (ieBitmap_ == nullptr || DpiX <= 0 || DpiY <= 0) return;
  const Integer iw = ieBitmap_->GetWidth(), ih = ieBitmap_->GetHeight();
  if (iw <= 0 || ih <= 0) return;
  // The image's own resolution: the view's, else the parameters', else the screen's.
  Integer imageDpiX = view_ != nullptr ? view_->GetDPIX() : params_->DpiX;
  Integer imageDpiY = view_ != nullptr ? view_->GetDPIY() : params_->DpiY;
  if (imageDpiX <= 0) imageDpiX = gSystemDPIX > 0 ? gSystemDPIX : 96;
  if (imageDpiY <= 0) imageDpiY = gSystemDPIY > 0 ? gSystemDPIY : 96;

  const double aw = PageWidth - (MarginLeft + MarginRight);
  const double ah = PageHeight - (MarginTop + MarginBottom);
  double w = 0, h = 0;
  switch (Size) {
    case iesNORMAL:
      w = static_cast<double>(iw) / imageDpiX;
      h = static_cast<double>(ih) / imageDpiY;
      break;
    case iesFITTOPAGE: {
      const double a = static_cast<double>(iw) / DpiX, b = static_cast<double>(ih) / DpiY;
      const double z = std::min(aw / a, ah / b);
      w = a * z;
      h = b * z;
      break;
    }
    case iesFITTOPAGESTRETCH:
      w = aw;
      h = ah;
      break;
    case iesSPECIFIEDSIZE:
      w = SpecWidth;
      h = SpecHeight;
      break;
  }
  double x = 0, y = 0;
  switch (HorizontalPos) {
    case iehpLEFT: x = MarginLeft; break;
    case iehpCENTER: x = MarginLeft + (aw - w) / 2; break;
    case iehpRIGHT: x = MarginLeft + aw - w; break;
  }
  switch (VerticalPos) {
    case ievpTOP: y = MarginTop; break;
    case ievpCENTER: y = MarginTop + (ah - h) / 2; break;
    case ievpBOTTOM: y = MarginTop + ah - h; break;
  }
  PrintImagePosEx(Canvas, DpiX, DpiY, x, y, w, h, GammaCorrection);
}

void TDadirAvIO::PrintImage(TCanvas* Canvas, double MarginLeft, double MarginTop, double MarginRight,
                            double MarginBottom, TIEVerticalPos VerticalPos,
                            TIEHorizontalPos HorizontalPos, TIESize Size, double SpecWidth,
                            double SpecHeight, double GammaCorrection) {
  if (Canvas == nullptr) Canvas = Printer()->GetCanvas();
  const HDC dc = Canvas->GetHandle();
  const Integer dpiX = ::GetDeviceCaps(dc, LOGPIXELSX), dpiY = ::GetDeviceCaps(dc, LOGPIXELSY);
  if (dpiX <= 0 || dpiY <= 0) return;
  const double pageWidth = static_cast<double>(::GetDeviceCaps(dc, HORZRES)) / dpiX;
  const double pageHeight = static_cast<double>(::GetDeviceCaps(dc, VERTRES)) / dpiY;
  PrintImageEx(Canvas, dpiX, dpiY, pageWidth, pageHeight, MarginLeft, MarginTop, MarginRight, MarginBottom,
               VerticalPos, HorizontalPos, Size, SpecWidth, SpecHeight, GammaCorrection);
}

void TDadirAvIO::PreviewPrintImage(TBitmap* Bitmap, Integer MaxBitmapWidth, Integer MaxBitmapHeight,
                                   TPrinter* Printer_, double MarginLeft, double MarginTop,
                                   double MarginRight, double MarginBottom, TIEVerticalPos VerticalPos,
                                   TIEHorizontalPos HorizontalPos, TIESize Size, double SpecWidth,
                                   double SpecHeight, double GammaCorrection) {
  if (Bitmap == nullptr) return;
  TPrinter* printer = Printer_ != nullptr ? Printer_ : Printer();
  const Integer pageW = printer->GetPageWidth(), pageH = printer->GetPageHeight();
  // A zero-size page or a preview area of 5 pixels or less: nothing to show.
  if (pageW <= 0 || pageH <= 0 || MaxBitmapWidth <= 5 || MaxBitmapHeight <= 5) return;
  const HDC dc = printer->GetCanvas()->GetHandle();
  const Integer logX = ::GetDeviceCaps(dc, LOGPIXELSX), logY = ::GetDeviceCaps(dc, LOGPIXELSY);
  const double zx = (MaxBitmapWidth - 5) / (pageW / 100.0);
  const double zy = (MaxBitmapHeight - 5) / (pageH / 100.0);
  const double f = std::min(zx, zy) / 100.0;
  const auto bw = static_cast<Integer>(std::trunc(pageW * f));
  const auto bh = static_cast<Integer>(std::trunc(pageH * f));
  const auto dx = static_cast<Integer>(std::trunc(logX * f));
  const auto dy = static_cast<Integer>(std::trunc(logY * f));

  Bitmap->SetWidth(1);
  Bitmap->SetHeight(1);
  Bitmap->SetPixelFormat(pf24bit);
  Bitmap->SetWidth(std::max(bw, 0));
  Bitmap->SetHeight(std::max(bh, 0));
  if (bw <= 0 || bh <= 0) return;
  TCanvas* canvas = Bitmap->GetCanvas();
  canvas->GetBrush()->SetStyle(bsSolid);
  canvas->GetBrush()->SetColor(static_cast<TColor>(0xFFFFFF));
  canvas->FillRect(Rect(0, 0, bw, bh));
  // Below one preview pixel per inch the page has no scale to lay the image out at.
  if (dx <= 0 || dy <= 0) return;

  PrintImageEx(canvas, dx, dy, static_cast<double>(bw) / dx, static_cast<double>(bh) / dy, MarginLeft,
               MarginTop, MarginRight, MarginBottom, VerticalPos, HorizontalPos, Size, SpecWidth, SpecHeight,
               GammaCorrection);

  canvas->GetBrush()->SetStyle(bsClear);
  canvas->GetPen()->SetColor(clBlack);
  canvas->GetPen()->SetMode(pmNot);
  canvas->GetPen()->SetStyle(psDash);
  canvas->GetPen()->SetWidth(1);
  canvas->Rectangle(Device(dx, MarginLeft), Device(dy, MarginTop),
                    static_cast<Integer>(std::trunc(bw - dx * MarginRight)),
                    static_cast<Integer>(std::trunc(bh - dy * MarginBottom)));
  canvas->GetPen()->SetMode(pmCopy);
  canvas->GetPen()->SetStyle(psSolid);
}
