// TImage: a picture on the parent.
#include <algorithm>

#include "platform/vcl/ExtCtrls.h"

TImage::TImage(TComponent* owner) : TGraphicControl(owner), picture_(std::make_unique<TPicture>()) {
  SetControlStyle(GetControlStyle() + csReplicatable);
  picture_->OnChange = [this](TObject*) { PictureChanged(); };
  SetBounds(0, 0, 105, 105);
}

TImage::~TImage() { picture_->OnChange = nullptr; }

void TImage::SetStretch(bool value) {
  if (value == stretch_) return;
  stretch_ = value;
  Invalidate();
}

void TImage::SetCenter(bool value) {
  if (value == center_) return;
  center_ = value;
  Invalidate();
}

void TImage::SetProportional(bool value) {
  if (value == proportional_) return;
  proportional_ = value;
  Invalidate();
}

void TImage::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  PictureChanged();
}

void TImage::SetAutoSize(bool value) {
  if (value == autoSize_) return;
  autoSize_ = value;
  PictureChanged();
}

void TImage::PictureChanged() {
  if (drawing_) return;
  TGraphic* graphic = picture_->GetGraphic();
  if (graphic) {
    // A bitmap follows the image's Transparent; other kinds keep their own.
    if (dynamic_cast<TBitmap*>(graphic) && graphic->GetTransparent() != transparent_) {
      drawing_ = true;
      graphic->SetTransparent(transparent_);
      drawing_ = false;
    }
    if (autoSize_ && graphic->GetWidth() > 0 && graphic->GetHeight() > 0) {
      SetBounds(GetLeft(), GetTop(), graphic->GetWidth(), graphic->GetHeight());
    }
  }
  // An opaque picture that covers the control lets the parent skip the background.
  const bool covers = graphic && !transparent_ &&
                      (stretch_ || (graphic->GetWidth() >= GetWidth() && graphic->GetHeight() >= GetHeight()));
  SetControlStyle(covers ? GetControlStyle() + csOpaque : GetControlStyle() - csOpaque);
  Invalidate();
}

TCanvas* TImage::GetCanvas() {
  TGraphic* graphic = picture_->GetGraphic();
  if (!graphic) {
    // An empty picture becomes a bitmap of the control's size to draw on.
    TBitmap* bitmap = picture_->GetBitmap();
    bitmap->SetWidth(GetWidth());
    bitmap->SetHeight(GetHeight());
    return bitmap->GetCanvas();
  }
  auto* bitmap = dynamic_cast<TBitmap*>(graphic);
  if (!bitmap) throw EInvalidOperation("Can only modify an image if it contains a bitmap");
  return bitmap->GetCanvas();
}

TRect TImage::DestRect() const {
  TGraphic* graphic = picture_->GetGraphic();
  const Integer cw = GetWidth();
  const Integer ch = GetHeight();
  Integer w = graphic ? graphic->GetWidth() : 0;
  Integer h = graphic ? graphic->GetHeight() : 0;
  if (stretch_ || (proportional_ && (w > cw || h > ch))) {
    if (proportional_ && w > 0 && h > 0) {
      // Keeps the picture's shape within the control.
      if (static_cast<int64_t>(cw) * h > static_cast<int64_t>(ch) * w) {
        w = static_cast<Integer>(static_cast<int64_t>(w) * ch / h);
        h = ch;
      } else {
        h = static_cast<Integer>(static_cast<int64_t>(h) * cw / w);
        w = cw;
      }
    } else {
      w = cw;
      h = ch;
    }
  }
  TRect r = Rect(0, 0, w, h);
  if (center_) OffsetRect(&r, (cw - w) / 2, (ch - h) / 2);
  return r;
}

void TImage::Paint() {
  TGraphic* graphic = picture_->GetGraphic();
  if (!graphic || graphic->GetEmpty()) return;
  drawing_ = true;
  try {
    GetControlCanvas()->StretchDraw(DestRect(), graphic);
  } catch (...) {
    drawing_ = false;
    throw;
  }
  drawing_ = false;
}
