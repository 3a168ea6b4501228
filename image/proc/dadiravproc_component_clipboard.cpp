// TDadirAvProc: exchanging the image or the selection with the clipboard (CF_DIB),
// clearing and cropping the selection.
#include <algorithm>
#include <memory>

#include "image/model/iebitmap.h"
#include "image/model/iemask.h"
#include "image/proc/dadiravproc.h"
#include "platform/rtl/Strings.h"
#include "platform/win/Clipboard.h"

namespace {

bool HasMask(const TIEMask* mask) { return mask != nullptr && !mask->IsEmpty(); }

// A store of the mask's box in the image's format holding the selected pixels; the
// pixels the mask leaves out are the background colour.
std::unique_ptr<TIEBitmap> SelectedBox(TIEBitmap* image, TIEMask* mask, TColor background) {
  auto box = std::make_unique<TIEBitmap>();
  box->SetLocation(ieMemory);
  box->Allocate(mask->GetX2() - mask->GetX1() + 1, mask->GetY2() - mask->GetY1() + 1,
                image->GetPixelFormat());
  for (Integer i = 0; i < std::min(image->GetPaletteCount(), box->GetPaletteCount()); ++i)
    box->SetPalette(i, image->GetPalette(i));
  box->Fill(background);
  mask->CopyIEBitmap(box.get(), image, true, false);
  return box;
}

// Puts the store on the clipboard as a packed DIB (24-bit and 1-bit stores only).
void PutOnClipboard(TIEBitmap* bitmap) {
  if (bitmap == nullptr || bitmap->GetWidth() <= 0 || bitmap->GetHeight() <= 0) return;
  if (bitmap->GetPixelFormat() != ie24RGB && bitmap->GetPixelFormat() != ie1g) return;
  HGLOBAL dib = _CopyBitmaptoDIBEx(bitmap, 0, 0, 0, 0);
  if (dib == 0) return;
  if (!OpenClipboard(0)) {
    GlobalFree(dib);
    return;
  }
  EmptyClipboard();
  if (SetClipboardData(CF_DIB, dib) == 0) GlobalFree(dib);
  CloseClipboard();
}

// Decodes the clipboard's DIB into dest; false (dest untouched) when there is none
// or it cannot be read.
bool ReadClipboard(TIEBitmap& dest) {
  if (!IsClipboardFormatAvailable(CF_DIB)) return false;
  if (!OpenClipboard(0)) return false;
  const HANDLE dib = GetClipboardData(CF_DIB);
  const bool ok = dib != 0 && _CopyDIB2BitmapEx(dib, &dest, nullptr, false) != 0;
  CloseClipboard();
  return ok && dest.GetWidth() > 0 && dest.GetHeight() > 0;
}

}  // namespace

void TDadirAvProc::CopyToClipboard() {
  if (!PrepareStore()) return;
  PutOnClipboard(ieBitmap_);
}

void TDadirAvProc::SelCopyToClip() {
  if (!PrepareStore()) return;
  Integer x1 = 0, y1 = 0, x2 = 0, y2 = 0, polyCount = 0;
  POINT* poly = nullptr;
  TIEMask* mask = nullptr;
  if (!GetReSel(x1, y1, x2, y2, poly, polyCount, mask) || !HasMask(mask)) {
    PutOnClipboard(ieBitmap_);
    return;
  }
  PutOnClipboard(SelectedBox(ieBitmap_, mask, GetReBackground()).get());
}

void TDadirAvProc::SelCutToClip() {
  if (!PrepareStore()) return;
  Integer x1 = 0, y1 = 0, x2 = 0, y2 = 0, polyCount = 0;
  POINT* poly = nullptr;
  TIEMask* mask = nullptr;
  if (!GetReSel(x1, y1, x2, y2, poly, polyCount, mask)) return;
  if (autoUndo_) SaveUndoCaptioned("SelCutToClip", ieuImage);
  if (!HasMask(mask)) {
    PutOnClipboard(ieBitmap_);
    ieBitmap_->FillRect(x1, y1, x2 - 1, y2 - 1, GetReBackground());
  } else {
    PutOnClipboard(SelectedBox(ieBitmap_, mask, GetReBackground()).get());
    _ClearSelMaskEx(ieBitmap_, mask, GetReBackground());
  }
  Update();
}

void TDadirAvProc::PasteFromClipboard() {
  if (!PrepareStore()) return;
  TIEBitmap picture;
  picture.SetLocation(ieMemory);
  if (!ReadClipboard(picture)) return;
  if (autoUndo_) SaveUndoCaptioned("PastFromClipboard", ieuImage);
  ieBitmap_->AssignImage(&picture);
  ieBitmap_->RemoveAlphaChannel();
  Update();
}

void TDadirAvProc::PointPasteFromClip(Integer x, Integer y) {
  if (!PrepareStore()) return;
  TIEBitmap picture;
  picture.SetLocation(ieMemory);
  if (!ReadClipboard(picture)) return;
  if (autoUndo_)
    SaveUndoCaptioned("PointPasteFromClip " + IntToStr(x) + "," + IntToStr(y), ieuImage);
  // Clipped to the image (a point beyond it pastes nothing); a picture of another
  // pixel format is not pasted.
  const Int64 right = static_cast<Int64>(x) + picture.GetWidth();
  const Int64 bottom = static_cast<Int64>(y) + picture.GetHeight();
  if (x < ieBitmap_->GetWidth() && y < ieBitmap_->GetHeight() && right > 0 && bottom > 0)
    picture.CopyRectTo(ieBitmap_, 0, 0, x, y, picture.GetWidth(), picture.GetHeight());
  Update();
}

void TDadirAvProc::SelPasteFromClipStretch() {
  if (!PrepareStore()) return;
  Integer x1 = 0, y1 = 0, x2 = 0, y2 = 0, polyCount = 0;
  POINT* poly = nullptr;
  TIEMask* mask = nullptr;
  if (!GetReSel(x1, y1, x2, y2, poly, polyCount, mask)) {
    PasteFromClipboard();
    return;
  }
  TIEBitmap picture;
  picture.SetLocation(ieMemory);
  if (!ReadClipboard(picture)) return;
  if (autoUndo_) SaveUndoCaptioned("SelPasteFromClipStretch", ieuImage);
  if (x2 > x1 && y2 > y1) {
    TIEBitmap stretched;
    stretched.SetLocation(ieMemory);
    stretched.Allocate(x2 - x1, y2 - y1, picture.GetPixelFormat());
    _IEBmpStretchEx(&picture, &stretched);
    stretched.CopyRectTo(ieBitmap_, 0, 0, x1, y1, x2 - x1, y2 - y1);
  }
  Update();
}

void TDadirAvProc::Clear() {
  if (!PrepareStore()) return;
  if (autoUndo_) SaveUndoCaptioned("Clear", ieuImage);
  ieBitmap_->Fill(GetReBackground());
  Update();
}

void TDadirAvProc::ClearSel() {
  if (!PrepareStore()) return;
  if (autoUndo_) SaveUndoCaptioned("ClearSel", ieuImage);
  Integer x1 = 0, y1 = 0, x2 = 0, y2 = 0, polyCount = 0;
  POINT* poly = nullptr;
  TIEMask* mask = nullptr;
  GetReSel(x1, y1, x2, y2, poly, polyCount, mask);
  if (HasMask(mask)) _ClearSelMaskEx(ieBitmap_, mask, GetReBackground());
  Update();
}

void TDadirAvProc::CropSel() {
  if (!PrepareStore()) return;
  if (autoUndo_) SaveUndoCaptioned("CropSel", ieuImage);
  Integer x1 = 0, y1 = 0, x2 = 0, y2 = 0, polyCount = 0;
  POINT* poly = nullptr;
  TIEMask* mask = nullptr;
  if (GetReSel(x1, y1, x2, y2, poly, polyCount, mask) && HasMask(mask)) {
    auto box = SelectedBox(ieBitmap_, mask, GetReBackground());
    ieBitmap_->AssignImage(box.get());
    // The alpha plane kept the old size: it no longer fits.
    ieBitmap_->RemoveAlphaChannel();
  }
  Update();
}
