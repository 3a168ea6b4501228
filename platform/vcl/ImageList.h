// The framework's image list: pictures of one size, each with an optional mask, kept
// as copies and drawn by index.
#pragma once

#include <memory>
#include <vector>

#include "platform/rtl/Component.h"
#include "platform/vcl/Graphics.h"

// Every image is Width x Height. Adding a bitmap wider than Width adds one image per
// Width columns (a strip); a smaller one fills the top-left of its image, the rest
// black. Masks are 1 bit, white (1) where the image is transparent; the image is
// kept black there. Drawing a masked image leaves the destination under its
// transparent pixels, or fills them with BkColor when that is not clNone.
class TImageList : public TComponent {
 public:
  LARK_CLASS_NAME(TImageList)
  explicit TImageList(TComponent* owner);
  ~TImageList() override;

  Integer GetWidth() const noexcept { return width_; }
  // A new size (above 0, else EInvalidOperation) clears the list.
  void SetWidth(Integer value);
  Integer GetHeight() const noexcept { return height_; }
  void SetHeight(Integer value);
  Integer GetCount() const noexcept { return static_cast<Integer>(items_.size()); }
  // Whether images are drawn through their masks.
  bool GetMasked() const noexcept { return masked_; }
  void SetMasked(bool value);
  TColor GetBkColor() const noexcept { return bkColor_; }
  void SetBkColor(TColor value);

  // Appends copies of image (with mask's pixels: light = transparent; none = all
  // opaque) and answers the index of the first. A null image raises EInvalidOperation.
  Integer Add(TBitmap* image, TBitmap* mask);
  // The same, transparent where image has maskColor (clDefault: its bottom-left
  // pixel's colour).
  Integer AddMasked(TBitmap* image, TColor maskColor);
  // Replaces image index by the first image of the bitmap.
  void Replace(Integer index, TBitmap* image, TBitmap* mask);
  void Delete(Integer index);
  void Clear();

  // Draws image index at (x, y); a disabled image shows its opaque pixels in the
  // button shadow colour. A bad index draws nothing.
  void Draw(TCanvas* canvas, Integer x, Integer y, Integer index, bool enabled = true);
  // image becomes a Width x Height copy of image index (its pixel format kept).
  // False for a bad index or a null image.
  bool GetBitmap(Integer index, TBitmap* image);
  // icon becomes image index with its mask. False for a bad index or a null icon.
  bool GetIcon(Integer index, TIcon* icon);

  TNotifyEvent OnChange;

 protected:
  virtual void Change();

 private:
  struct Item {
    std::unique_ptr<TBitmap> image;  // 32 bits
    std::unique_ptr<TBitmap> mask;   // 1 bit, white = transparent
  };
  // The cell of image starting at column left, its mask from mask (or none) or from
  // the pixels of maskColor when useColor.
  Item MakeItem(TBitmap* image, Integer left, TBitmap* mask, bool useColor, COLORREF maskColor) const;
  std::vector<Item> MakeItems(TBitmap* image, TBitmap* mask, bool useColor, TColor maskColor) const;
  void Resize(Integer width, Integer height);

  Integer width_ = 16;
  Integer height_ = 16;
  bool masked_ = true;
  TColor bkColor_ = clNone;
  std::vector<Item> items_;
};
