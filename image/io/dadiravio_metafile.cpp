// Pixels from the graphics system rather than a codec: metafiles rendered into the
// working store or over it, and screen captures. Each draws through a 24-bit DIB
// section and copies it into the store.
#include <algorithm>
#include <cstring>

#include "image/io/dadiravio.h"
#include "image/model/ieutils.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Metafile.h"
#include "platform/win/Input.h"
#include "platform/win/Window.h"

namespace {

// The longest side a metafile is rendered at.
constexpr Int64 kMetafileLimit = 2800;

// A top-down 24-bit DIB section selected into a memory DC.
class Dib {
 public:
  Dib(Integer width, Integer height) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    bitmap_ = ::CreateDIBSection(0, &info, DIB_RGB_COLORS, &bits_, 0, 0);
    dc_ = ::CreateCompatibleDC(0);
    if (bitmap_ && dc_) old_ = ::SelectObject(dc_, bitmap_);
  }
  ~Dib() {
    if (dc_) {
      if (old_) ::SelectObject(dc_, old_);
      ::DeleteDC(dc_);
    }
    if (bitmap_) ::DeleteObject(bitmap_);
  }
  Dib(const Dib&) = delete;
  Dib& operator=(const Dib&) = delete;

  bool Ok() const { return bitmap_ && dc_ && old_ && bits_; }
  HDC DC() const { return dc_; }
  Integer RowLen() const { return ((width_ * 24 + 31) / 32) * 4; }
  Byte* Row(Integer y) const { return static_cast<Byte*>(bits_) + static_cast<size_t>(RowLen()) * y; }

 private:
  Integer width_, height_;
  HBITMAP bitmap_ = 0;
  HDC dc_ = 0;
  HGDIOBJ old_ = 0;
  void* bits_ = nullptr;
};

// The store becomes the DIB's picture (24-bit, no alpha).
void TakeDib(TIEBitmap* store, const Dib& dib, Integer width, Integer height) {
  store->Allocate(width, height, ie24RGB);
  const size_t bytes = static_cast<size_t>(width) * 3;
  for (Integer y = 0; y < height; ++y) std::memcpy(store->GetScanLine(y), dib.Row(y), bytes);
  store->RemoveAlphaChannel();
}

void LoadMetafile(TMetafile& metafile, const AnsiString& fileName) { metafile.LoadFromFile(fileName); }

}  // namespace

bool TDadirAvIO::SizeMetafile(Integer fileW, Integer fileH, Integer* width, Integer* height) {
  // A drawing without a size cannot be scaled, or shown.
  if (fileW <= 0 || fileH <= 0) {
    aborting_ = true;
    return false;
  }
  Int64 w = *width, h = *height;
  if (w < 0 && h >= 0) {
    w = Int64{fileW} * h / fileH;
  } else if (h < 0 && w >= 0) {
    h = Int64{fileH} * w / fileW;
  } else if (w < 0 && h < 0) {
    w = fileW;
    h = fileH;
  }
  if (w == 0 || h == 0) {
    aborting_ = true;
    return false;
  }
  if (w > kMetafileLimit || h > kMetafileLimit) {
    if (h > w) {
      w = Int64{fileW} * kMetafileLimit / fileH;
      h = kMetafileLimit;
    } else {
      h = Int64{fileH} * kMetafileLimit / fileW;
      w = kMetafileLimit;
    }
  }
  // A sliver of a drawing keeps one pixel across.
  *width = static_cast<Integer>(std::max<Int64>(1, w));
  *height = static_cast<Integer>(std::max<Int64>(1, h));
  return true;
}

void TDadirAvIO::ImportMetafile(const AnsiString& FileName, Integer Width, Integer Height) {
  if (ReIssue(ieImportMetaFile, [=, this] { ImportMetafile(FileName, Width, Height); })) return;
  DoImportMetafile(FileName, Width, Height);
}

void TDadirAvIO::DoImportMetafile(const AnsiString& FileName, Integer Width, Integer Height) {
  aborting_ = false;
  Finishing([&] {
    if (Width == 0 || Height == 0) return;
    ReEncapsulate();
    TMetafile metafile;
    LoadMetafile(metafile, FileName);
    Integer w = Width, h = Height;
    if (!SizeMetafile(metafile.GetWidth(), metafile.GetHeight(), &w, &h)) return;
    Dib dib(w, h);
    if (!dib.Ok()) {
      aborting_ = true;
      return;
    }
    params_->ResetInfo();
    params_->FileName = FileName;
    params_->FileType = metafile.GetEnhanced() ? iofnEMF : iofnWMF;
    params_->BitsPerSample = 8;
    params_->SamplesPerPixel = 3;
    params_->Width = w;
    params_->Height = h;
    params_->DpiX = gSystemDPIX;
    params_->DpiY = gSystemDPIY;
    params_->ColorMap.reset();
    params_->ColorMapCount = 0;
    if (view_ != nullptr) view_->SetDPI(params_->DpiX, params_->DpiY);

    const HBRUSH brush = ::CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(background_)));
    const RECT all{0, 0, w, h};
    ::FillRect(dib.DC(), &all, brush);
    ::DeleteObject(brush);
    metafile.PlayOn(dib.DC(), all);
    TakeDib(ieBitmap_, dib, w, h);
    Update();
  });
}

void TDadirAvIO::MergeMetafile(const AnsiString& FileName, Integer X, Integer Y, Integer Width,
                               Integer Height) {
  aborting_ = false;
  Finishing([&] {
    if (Width == 0 || Height == 0) return;
    ReEncapsulate();
    TMetafile metafile;
    LoadMetafile(metafile, FileName);
    Integer w = Width, h = Height;
    if (!SizeMetafile(metafile.GetWidth(), metafile.GetHeight(), &w, &h)) return;
    metafile.SetTransparent(true);
    Dib dib(w, h);
    if (!dib.Ok()) {
      aborting_ = true;
      return;
    }
    // The part of the image under the drawing, as far as it lies inside the image.
    const Integer iw = ieBitmap_->GetWidth(), ih = ieBitmap_->GetHeight();
    const bool colour = ieBitmap_->GetPixelFormat() == ie24RGB;
    if (!colour && iw > 0 && ih > 0) ieBitmap_->ConvertToPixelFormat(ie24RGB);
    const Integer x0 = std::max(0, X), y0 = std::max(0, Y);
    const Integer x1 = static_cast<Integer>(std::min<Int64>(iw, Int64{X} + w));
    const Integer y1 = static_cast<Integer>(std::min<Int64>(ih, Int64{Y} + h));
    for (Integer y = y0; y < y1; ++y)
      std::memcpy(dib.Row(y - Y) + static_cast<size_t>(x0 - X) * 3,
                  static_cast<Byte*>(ieBitmap_->GetScanLine(y)) + static_cast<size_t>(x0) * 3,
                  static_cast<size_t>(std::max(0, x1 - x0)) * 3);
    metafile.PlayOn(dib.DC(), RECT{0, 0, w, h});
    for (Integer y = y0; y < y1; ++y)
      std::memcpy(static_cast<Byte*>(ieBitmap_->GetScanLine(y)) + static_cast<size_t>(x0) * 3,
                  dib.Row(y - Y) + static_cast<size_t>(x0 - X) * 3, static_cast<size_t>(std::max(0, x1 - x0)) * 3);
    Update();
  });
}

void TDadirAvIO::CaptureFromScreen(TIECSSource Source, TCursor MouseCursor) {
  if (ReIssue(ieCaptureFromScreen, [=, this] { CaptureFromScreen(Source, MouseCursor); })) return;
  DoCaptureFromScreen(Source, MouseCursor);
}

void TDadirAvIO::DoCaptureFromScreen(TIECSSource Source, TCursor MouseCursor) {
  // Until something is captured the capture has failed.
  aborting_ = true;
  Finishing([&] {
    ReEncapsulate();
    POINT pointer{};
    ::GetCursorPos(&pointer);
    const HCURSOR arrow = Screen->Cursors(crArrow);
    ICONINFO info{};
    if (arrow && ::GetIconInfo(arrow, &info)) {
      pointer.x -= static_cast<Integer>(info.xHotspot);
      pointer.y -= static_cast<Integer>(info.yHotspot);
      if (info.hbmMask) ::DeleteObject(info.hbmMask);
      if (info.hbmColor) ::DeleteObject(info.hbmColor);
    }
    HWND window = 0;
    Integer sx = 0, sy = 0, w = 0, h = 0;
    switch (Source) {
      case iecsScreen:
        window = ::GetDesktopWindow();
        sx = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
        sy = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
        w = ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
        h = ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
        if (w <= 0 || h <= 0) {
          sx = sy = 0;
          w = Screen->GetWidth();
          h = Screen->GetHeight();
        }
        // The picture starts at the virtual screen's top-left, which lies below 0
        // when monitors reach left of or above the primary one.
        pointer.x -= sx;
        pointer.y -= sy;
        break;
      case iecsForegroundWindow: {
        window = ::GetForegroundWindow();
        if (window == 0) return;
        WINDOWPLACEMENT placement{};
        placement.length = 44;
        ::GetWindowPlacement(window, &placement);
        RECT r{};
        if (!::GetWindowRect(window, &r)) return;
        if (placement.showCmd == SW_SHOWMAXIMIZED) {
          // The frame of a maximised window lies partly off the screen: only what
          // is on it is copied.
          sx = r.left < 0 ? -r.left : 0;
          sy = r.top < 0 ? -r.top : 0;
          w = r.right - sx;
          h = r.bottom - sy;
          r.left = std::max(0, r.left);
          r.top = std::max(0, r.top);
        } else {
          w = r.right - r.left;
          h = r.bottom - r.top;
        }
        pointer.x -= r.left;
        pointer.y -= r.top;
        break;
      }
      case iecsForegroundWindowClient: {
        const HWND foreground = ::GetForegroundWindow();
        if (foreground == 0) return;
        RECT client{};
        if (!::GetClientRect(foreground, &client)) return;
        POINT origin{0, 0};
        ::ClientToScreen(foreground, &origin);
        sx = origin.x;
        sy = origin.y;
        w = client.right - client.left;
        h = client.bottom - client.top;
        window = ::GetDesktopWindow();
        pointer.x -= sx;
        pointer.y -= sy;
        break;
      }
    }
    if (window == 0 || w <= 0 || h <= 0) return;
    Dib dib(w, h);
    if (!dib.Ok()) return;
    const HDC source = ::GetWindowDC(window);
    if (source == 0) return;
    ::BitBlt(dib.DC(), 0, 0, w, h, source, sx, sy, SRCCOPY);
    if (MouseCursor != crNone && arrow) ::DrawIconEx(dib.DC(), pointer.x, pointer.y, arrow, 0, 0, 0, 0, DI_NORMAL | DI_COMPAT);
    TakeDib(ieBitmap_, dib, w, h);
    ::ReleaseDC(window, source);
    // The capture is a new 24-bit picture at the screen's resolution.
    params_->ResetInfo();
    params_->FileType = iofnUnknown;
    params_->BitsPerSample = 8;
    params_->SamplesPerPixel = 3;
    params_->Width = w;
    params_->Height = h;
    params_->DpiX = gSystemDPIX;
    params_->DpiY = gSystemDPIY;
    params_->ColorMap.reset();
    params_->ColorMapCount = 0;
    aborting_ = false;
    Update();
  });
}
