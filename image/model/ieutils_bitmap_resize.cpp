// TIEBitmap size changes: width and height keeping the top-left part, region moves
// and canvas resizing with alignment.
#include <algorithm>
#include <cstring>

#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"

namespace {

// The shrinking moves of Resize on one store (the picture or its alpha plane).
void ShrinkMoves(TIEBitmap* store, Integer oldWidth, Integer oldHeight, Integer newWidth,
                 Integer newHeight, Integer value, TIEHAlign horizontal, TIEVAlign vertical) {
  if (newWidth < oldWidth && horizontal != iehLeft) {
    const Integer d = oldWidth - newWidth;
    const Integer from = horizontal == iehCenter ? d / 2 : d;
    store->MoveRegion(from, 0, from + newWidth - 1, oldHeight - 1, 0, 0, value);
  }
  if (newHeight < oldHeight && vertical != ievTop) {
    const Integer d = oldHeight - newHeight;
    const Integer from = vertical == ievCenter ? d / 2 : d;
    store->MoveRegion(0, from, oldWidth - 1, from + newHeight - 1, 0, 0, value);
  }
}

// The growing fills and moves of Resize, after the store has its new size.
void GrowMoves(TIEBitmap* store, Integer oldWidth, Integer oldHeight, Integer newWidth,
               Integer newHeight, Integer value, TIEHAlign horizontal, TIEVAlign vertical) {
  const Integer keptHeight = std::min(oldHeight, newHeight);
  if (oldWidth < newWidth) {
    store->FillRect(oldWidth, 0, newWidth - 1, newHeight - 1, value);
    if (horizontal != iehLeft) {
      const Integer d = newWidth - oldWidth;
      const Integer to = horizontal == iehCenter ? d / 2 : d;
      store->MoveRegion(0, 0, oldWidth - 1, keptHeight - 1, to, 0, value);
    }
  }
  if (oldHeight < newHeight) {
    store->FillRect(0, oldHeight, newWidth - 1, newHeight - 1, value);
    if (vertical != ievTop) {
      const Integer d = newHeight - oldHeight;
      const Integer to = vertical == ievCenter ? d / 2 : d;
      store->MoveRegion(0, 0, newWidth - 1, oldHeight - 1, 0, to, value);
    }
  }
}

}  // namespace

void TIEBitmap::SetWidth(Integer width) {
  if (width == width_ || width < 0) return;
  if (alphaPlane_) alphaPlane_->SetWidth(width);
  ChangeSize(width, height_);
}

void TIEBitmap::SetHeight(Integer height) {
  if (height == height_ || height < 0) return;
  if (alphaPlane_) alphaPlane_->SetHeight(height);
  ChangeSize(width_, height);
}

// One side changes; the new size keeps the top-left pixels that fit and the palette.
void TIEBitmap::ChangeSize(Integer width, Integer height) {
  const Integer otherSide = width != width_ ? height_ : width_;
  if (location_ == ieTBitmap) {
    if (frameworkBitmap_ == nullptr || pixelFormat_ == ienull) {
      width_ = width;
      height_ = height;
      if (pixelFormat_ != ienull && otherSide > 0) AllocateImage();
      return;
    }
    if (width != frameworkBitmap_->GetWidth()) frameworkBitmap_->SetWidth(width);
    if (height != frameworkBitmap_->GetHeight()) frameworkBitmap_->SetHeight(height);
    width_ = frameworkBitmap_->GetWidth();
    height_ = frameworkBitmap_->GetHeight();
    rowLen_ = _BitmapRowLen(width_, bitCount_);
    BuildBitmapScanlines();
    full_ = false;
    return;
  }
  if (pixelFormat_ == ienull || otherSide <= 0) {
    width_ = width;
    height_ = height;
    return;
  }
  TIEBitmap old;
  SwitchTo(&old);
  try {
    Allocate(width, height, old.pixelFormat_);
  } catch (...) {
    old.SwitchTo(this);  // the old picture stays
    throw;
  }
  TakeAlphaFrom(old);
  if (width_ > 0 && height_ > 0) {
    const Integer rows = std::min(height_, old.height_);
    const auto length = static_cast<size_t>(std::min(rowLen_, old.rowLen_));
    for (Integer r = 0; r < rows; ++r) std::memcpy(GetScanLine(r), old.GetScanLine(r), length);
  }
  if (paletteCount_ > 0 && old.palette_)
    std::memcpy(palette_.get(), old.palette_.get(), sizeof(TRGB) * static_cast<size_t>(paletteCount_));
  full_ = false;
}

void TIEBitmap::MoveRegion(Integer x1, Integer y1, Integer x2, Integer y2, Integer dstX,
                           Integer dstY, Integer value) {
  if (width_ <= 0 || height_ <= 0 || pixelFormat_ == ienull) return;
  const Int64 width = static_cast<Int64>(x2) - x1 + 1;
  const Int64 height = static_cast<Int64>(y2) - y1 + 1;
  if (width <= 0 || height <= 0) return;
  // The copy never holds more than the image.
  TIEBitmap copy;
  copy.SetMemoryLimit(memoryLimit_);
  copy.Allocate(static_cast<Integer>(std::min<Int64>(width, width_)),
                static_cast<Integer>(std::min<Int64>(height, height_)), pixelFormat_);
  const auto w = static_cast<Integer>(std::min<Int64>(width, INT32_MAX));
  const auto h = static_cast<Integer>(std::min<Int64>(height, INT32_MAX));
  CopyRectTo(&copy, x1, y1, 0, 0, w, h);
  FillRect(x1, y1, x2, y2, value);
  copy.CopyRectTo(this, 0, 0, dstX, dstY, w, h);
}

void TIEBitmap::Resize(Integer newWidth, Integer newHeight, Integer value, Integer alphaValue,
                       TIEHAlign horizontal, TIEVAlign vertical) {
  if (newWidth < 0 || newHeight < 0) return;
  const Integer oldWidth = width_;
  const Integer oldHeight = height_;
  TIEBitmap* alpha = alphaPlane_.get();
  ShrinkMoves(this, oldWidth, oldHeight, newWidth, newHeight, value, horizontal, vertical);
  if (alpha != nullptr)
    ShrinkMoves(alpha, oldWidth, oldHeight, newWidth, newHeight, alphaValue, horizontal, vertical);
  SetWidth(newWidth);
  SetHeight(newHeight);
  GrowMoves(this, oldWidth, oldHeight, newWidth, newHeight, value, horizontal, vertical);
  if (alpha != nullptr)
    GrowMoves(alpha, oldWidth, oldHeight, newWidth, newHeight, alphaValue, horizontal, vertical);
}
