// TImageList: stored copies of images and masks, drawn through the masks.
#include "platform/vcl/ImageList.h"

#include <algorithm>

namespace {

// dest AND NOT source: clears what the mask marks transparent.
constexpr DWORD kMaskOutTransparent = MAKEROP3(0x22);

std::unique_ptr<TBitmap> NewBitmap(TPixelFormat format, Integer width, Integer height) {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(format);
  bitmap->SetSize(width, height);
  return bitmap;
}

}  // namespace

TImageList::TImageList(TComponent* owner) : TComponent(owner) {}

TImageList::~TImageList() = default;

void TImageList::Change() {
  if (OnChange) OnChange(this);
}

void TImageList::Resize(Integer width, Integer height) {
  if (width <= 0 || height <= 0) throw EInvalidOperation("Invalid image size");
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  items_.clear();
  Change();
}

void TImageList::SetWidth(Integer value) { Resize(value, height_); }

void TImageList::SetHeight(Integer value) { Resize(width_, value); }

void TImageList::SetMasked(bool value) {
  if (value == masked_) return;
  masked_ = value;
  Change();
}

void TImageList::SetBkColor(TColor value) {
  if (value == bkColor_) return;
  bkColor_ = value;
  Change();
}

TImageList::Item TImageList::MakeItem(TBitmap* image, Integer left, TBitmap* mask, bool useColor,
                                      COLORREF maskColor) const {
  Item item;
  item.image = NewBitmap(pf32bit, width_, height_);
  Integer copyWidth = std::min(width_, image->GetWidth() - left);
  Integer copyHeight = std::min(height_, image->GetHeight());
  BitBlt(item.image->GetCanvas()->GetHandle(), 0, 0, copyWidth, copyHeight, image->GetCanvas()->GetHandle(), left,
         0, SRCCOPY);
  if (!masked_) return item;

  item.mask = NewBitmap(pf1bit, width_, height_);
  if (mask && !mask->GetEmpty()) {
    // Any mask goes to black and white by the nearest colour first.
    TBitmap mono;
    mono.Assign(mask);
    mono.SetMonochrome(true);
    Integer maskWidth = std::min(width_, mono.GetWidth() - left);
    Integer maskHeight = std::min(height_, mono.GetHeight());
    if (maskWidth > 0 && maskHeight > 0)
      BitBlt(item.mask->GetCanvas()->GetHandle(), 0, 0, maskWidth, maskHeight, mono.GetCanvas()->GetHandle(),
             left, 0, SRCCOPY);
  }
  for (Integer y = 0; y < height_; ++y) {
    auto* pixel = static_cast<Byte*>(item.image->ScanLine(y));
    auto* bits = static_cast<Byte*>(item.mask->ScanLine(y));
    for (Integer x = 0; x < width_; ++x, pixel += 4) {
      Byte bit = static_cast<Byte>(0x80 >> (x & 7));
      if (useColor && RGB(pixel[2], pixel[1], pixel[0]) == maskColor) bits[x >> 3] |= bit;
      // Transparent pixels are kept black, so the image can be ORed onto the
      // destination after the mask has cleared the opaque ones.
      if (bits[x >> 3] & bit) pixel[0] = pixel[1] = pixel[2] = pixel[3] = 0;
    }
  }
  return item;
}

std::vector<TImageList::Item> TImageList::MakeItems(TBitmap* image, TBitmap* mask, bool useColor,
                                                    TColor maskColor) const {
  COLORREF key = 0;
  if (useColor) {
    TColor color = maskColor == clDefault ? image->GetCanvas()->GetPixel(0, image->GetHeight() - 1) : maskColor;
    key = static_cast<COLORREF>(ColorToRGB(color)) & 0x00FFFFFF;
  }
  Integer count = std::max(1, image->GetWidth() / width_);
  std::vector<Item> items;
  items.reserve(static_cast<size_t>(count));
  for (Integer i = 0; i < count; ++i) items.push_back(MakeItem(image, i * width_, mask, useColor, key));
  return items;
}

Integer TImageList::Add(TBitmap* image, TBitmap* mask) {
  if (!image || image->GetEmpty()) throw EInvalidOperation("Unable to insert an image");
  std::vector<Item> items = MakeItems(image, mask, false, clNone);
  Integer first = GetCount();
  for (Item& item : items) items_.push_back(std::move(item));
  Change();
  return first;
}

Integer TImageList::AddMasked(TBitmap* image, TColor maskColor) {
  if (!image || image->GetEmpty()) throw EInvalidOperation("Unable to insert an image");
  std::vector<Item> items = MakeItems(image, nullptr, true, maskColor);
  Integer first = GetCount();
  for (Item& item : items) items_.push_back(std::move(item));
  Change();
  return first;
}

void TImageList::Replace(Integer index, TBitmap* image, TBitmap* mask) {
  if (!image || image->GetEmpty() || index < 0 || index >= GetCount())
    throw EInvalidOperation("Unable to replace image");
  items_[static_cast<size_t>(index)] = MakeItem(image, 0, mask, false, 0);
  Change();
}

void TImageList::Delete(Integer index) {
  if (index < 0 || index >= GetCount()) throw EInvalidOperation("Invalid image list index");
  items_.erase(items_.begin() + index);
  Change();
}

void TImageList::Clear() {
  items_.clear();
  Change();
}

void TImageList::Draw(TCanvas* canvas, Integer x, Integer y, Integer index, bool enabled) {
  if (!canvas || index < 0 || index >= GetCount()) return;
  Item& item = items_[static_cast<size_t>(index)];
  HDC dc = canvas->GetHandle();
  bool useMask = masked_ && item.mask;
  HDC maskDC = useMask ? item.mask->GetCanvas()->GetHandle() : 0;
  if (bkColor_ != clNone) {
    HBRUSH brush = CreateSolidBrush(static_cast<COLORREF>(ColorToRGB(bkColor_)));
    TRect cell = Bounds(x, y, width_, height_);
    ::FillRect(dc, &cell, brush);
    DeleteObject(brush);
  }
  std::unique_ptr<TBitmap> shade;
  HDC imageDC = item.image->GetCanvas()->GetHandle();
  if (!enabled) {
    // The opaque pixels in the shadow colour, the transparent ones black.
    shade = NewBitmap(pf32bit, width_, height_);
    TCanvas* shadeCanvas = shade->GetCanvas();
    shadeCanvas->GetBrush()->SetColor(clBtnShadow);
    shadeCanvas->FillRect(Rect(0, 0, width_, height_));
    imageDC = shadeCanvas->GetHandle();
    if (useMask) BitBlt(imageDC, 0, 0, width_, height_, maskDC, 0, 0, kMaskOutTransparent);
  }
  if (useMask) {
    BitBlt(dc, x, y, width_, height_, maskDC, 0, 0, SRCAND);
    BitBlt(dc, x, y, width_, height_, imageDC, 0, 0, SRCPAINT);
  } else {
    BitBlt(dc, x, y, width_, height_, imageDC, 0, 0, SRCCOPY);
  }
}

bool TImageList::GetBitmap(Integer index, TBitmap* image) {
  if (!image || index < 0 || index >= GetCount()) return false;
  image->SetSize(width_, height_);
  image->GetCanvas()->Draw(0, 0, items_[static_cast<size_t>(index)].image.get());
  return true;
}

bool TImageList::GetIcon(Integer index, TIcon* icon) {
  if (!icon || index < 0 || index >= GetCount()) return false;
  Item& item = items_[static_cast<size_t>(index)];
  std::unique_ptr<TBitmap> opaque;
  TBitmap* mask = item.mask.get();
  if (!mask) {
    opaque = NewBitmap(pf1bit, width_, height_);
    mask = opaque.get();
  }
  ICONINFO info;
  info.fIcon = TRUE;
  info.xHotspot = static_cast<DWORD>(width_ / 2);
  info.yHotspot = static_cast<DWORD>(height_ / 2);
  info.hbmMask = mask->GetHandle();
  info.hbmColor = item.image->GetHandle();
  HICON handle = CreateIconIndirect(&info);
  if (handle == 0) return false;
  icon->SetHandle(handle);
  return true;
}
