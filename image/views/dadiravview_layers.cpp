// The view's layers: the layer object, list operations, synchronisation to one size,
// merging, and the operations on alpha and on selected pixels.
#include <algorithm>
#include <cmath>

#include "image/views/dadiravview.h"
#include "platform/rtl/Exceptions.h"

TIELayer::TIELayer(TIEBitmap* source, bool useSource) {
  if (useSource) {
    Bitmap = source;
    return;
  }
  auto copy = std::make_unique<TIEBitmap>();
  if (source->GetLocation() == ieTBitmap && source->GetFrameworkBitmap() != nullptr) {
    ownFramework_ = std::make_unique<TBitmap>();
    ownFramework_->SetPixelFormat(source->GetFrameworkBitmap()->GetPixelFormat());
    ownFramework_->SetSize(source->GetWidth(), source->GetHeight());
    copy->EncapsulateTBitmap(ownFramework_.get(), true);
  } else {
    copy->SetLocation(source->GetLocation() == ieMemory ? ieMemory : ieFile);
    copy->Allocate(source->GetWidth(), source->GetHeight(), source->GetPixelFormat());
  }
  Bitmap = copy.release();
}

TIELayer::~TIELayer() {
  if (OwnsBitmap) delete Bitmap;
  Bitmap = nullptr;
}

TIELayer* TDadirAvView::GetLayer(Integer index) const {
  if (index < 0 || index >= GetLayersCount())
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return layers_[static_cast<size_t>(index)].get();
}

void TDadirAvView::SetLayersCurrent(Integer index) {
  if (index < 0 || index >= GetLayersCount()) return;
  if (currentLayer_ >= 0) layers_[static_cast<size_t>(currentLayer_)]->Bitmap = ieBitmap_;
  currentLayer_ = index;
  ieBitmap_ = layers_[static_cast<size_t>(index)]->Bitmap;
  legacyBitmap_ = ieBitmap_->GetLocation() == ieTBitmap ? ieBitmap_->GetFrameworkBitmap() : nullptr;
  CallBitmapChangeEvents();
  Update();
}

Integer TDadirAvView::LayersAdd() {
  layers_[static_cast<size_t>(currentLayer_)]->Bitmap = ieBitmap_;
  layers_.push_back(std::make_unique<TIELayer>(ieBitmap_, false));
  currentLayer_ = -1;
  SetLayersCurrent(GetLayersCount() - 1);
  return GetLayersCount() - 1;
}

void TDadirAvView::LayersInsert(Integer index) {
  if (index < 0 || index > GetLayersCount()) return;
  layers_[static_cast<size_t>(currentLayer_)]->Bitmap = ieBitmap_;
  layers_.insert(layers_.begin() + index, std::make_unique<TIELayer>(ieBitmap_, false));
  currentLayer_ = -1;
  SetLayersCurrent(index);
}

void TDadirAvView::LayersRemove(Integer index) {
  if (GetLayersCount() <= 1 || index < 0 || index >= GetLayersCount()) return;
  layers_[static_cast<size_t>(currentLayer_)]->Bitmap = ieBitmap_;
  const Integer old = currentLayer_;
  // The legacy bitmap of layer 0 is the view's own; a removed layer 0 keeps it alive
  // in legacyOwned_, which outlives every layer.
  layers_.erase(layers_.begin() + index);
  if (index == old) {
    currentLayer_ = -1;
    SetLayersCurrent(std::min(index, GetLayersCount() - 1));
  } else if (index < old) {
    currentLayer_ = -1;
    SetLayersCurrent(old - 1);
  }
}

void TDadirAvView::LayersMove(Integer from, Integer to) {
  if (to < 0 || to >= GetLayersCount()) return;
  GetLayer(from);  // a bad index raises the list error
  layers_[static_cast<size_t>(currentLayer_)]->Bitmap = ieBitmap_;
  const Integer a = currentLayer_;
  currentLayer_ = -1;
  auto moving = std::move(layers_[static_cast<size_t>(from)]);
  layers_.erase(layers_.begin() + from);
  layers_.insert(layers_.begin() + to, std::move(moving));
  Integer next = a;
  if (from == a)
    next = to;
  else if (to == a && to > 0)
    next = to - 1;
  else if (to == a && to == 0)
    next = 1;
  SetLayersCurrent(next);
}

void TDadirAvView::LayersSync() {
  if (legacyBitmap_ != nullptr) ieBitmap_->EncapsulateTBitmap(legacyBitmap_, false);
  if (currentLayer_ >= 0) layers_[static_cast<size_t>(currentLayer_)]->Bitmap = ieBitmap_;
  Integer W = 0, H = 0;
  for (auto& layer : layers_) {
    W = std::max(W, layer->Bitmap->GetWidth());
    H = std::max(H, layer->Bitmap->GetHeight());
  }
  layersWidth_ = W;
  layersHeight_ = H;
  if (layers_.size() < 2) return;
  for (auto& layer : layers_) {
    TIEBitmap* b = layer->Bitmap;
    if (b->GetWidth() != W || b->GetHeight() != H) {
      b->GetAlphaChannel();
      b->Resize(W, H, static_cast<Integer>(GetBackground()), 0, iehLeft, ievTop);
    }
    if (b->GetHasAlphaChannel()) {
      TIEBitmap* alpha = b->GetAlphaChannel();
      if (alpha->GetWidth() != W || alpha->GetHeight() != H)
        alpha->Resize(W, H, 0, 0, iehLeft, ievTop);
    }
  }
  // The current store may have been reallocated inside its framework bitmap.
  if (legacyBitmap_ != nullptr) ieBitmap_->EncapsulateTBitmap(legacyBitmap_, false);
}

void TDadirAvView::LayersMerge(Integer a, Integer b) {
  LayersSync();
  if (a == b || a < 0 || b < 0 || a >= GetLayersCount() || b >= GetLayersCount()) return;
  TIELayer* la = layers_[static_cast<size_t>(a)].get();
  TIELayer* lb = layers_[static_cast<size_t>(b)].get();
  const Integer W = layersWidth_, H = layersHeight_;
  auto merged = std::make_unique<TIELayer>(la->Bitmap, false);
  TIEBitmap* out = merged->Bitmap;
  if (out->GetPixelFormat() != ie24RGB || out->GetWidth() != W || out->GetHeight() != H) {
    if (out->GetLocation() == ieTBitmap) out->SetLocation(ieMemory);
    out->Allocate(W, H, ie24RGB);
  }
  TIEBitmap* outAlpha = out->GetAlphaChannel();
  const Integer tA = std::clamp(la->Transparency, 0, 255);
  const Integer tB = std::clamp(lb->Transparency, 0, 255);
  TIEBitmap* A = la->Bitmap;
  TIEBitmap* B = lb->Bitmap;
  TIEBitmap* alphaA = A->GetHasAlphaChannel() ? A->GetAlphaChannel() : nullptr;
  TIEBitmap* alphaB = B->GetHasAlphaChannel() ? B->GetAlphaChannel() : nullptr;
  for (Integer y = 0; y < H; ++y) {
    auto* o = static_cast<Byte*>(out->GetScanLine(y));
    auto* oa = static_cast<Byte*>(outAlpha->GetScanLine(y));
    for (Integer x = 0; x < W; ++x) {
      const TRGB pa = A->GetPixels(x, y);
      const TRGB pb = B->GetPixels(x, y);
      const double laV = std::min<Integer>(alphaA ? alphaA->GetPixels_ie8(x, y) : 255, tA);
      const double m = std::min<Integer>(alphaB ? alphaB->GetPixels_ie8(x, y) : 255, tB) / 255.0;
      const double ov = (1 - m) * laV / 255.0;
      const double t = m + ov;
      if (t != 0) {
        auto mix = [&](Byte vb, Byte va) {
          return static_cast<Byte>(std::clamp<Integer>(static_cast<Integer>(std::trunc((m * vb + ov * va) / t)), 0, 255));
        };
        o[x * 3] = mix(pb.b, pa.b);
        o[x * 3 + 1] = mix(pb.g, pa.g);
        o[x * 3 + 2] = mix(pb.r, pa.r);
      } else {
        o[x * 3] = o[x * 3 + 1] = o[x * 3 + 2] = 0;
      }
      oa[x] = static_cast<Byte>(std::clamp<Integer>(static_cast<Integer>(std::trunc(t * 255)), 0, 255));
    }
  }
  const Integer low = std::min(a, b), high = std::max(a, b);
  // The current store is one of the layers going: keep the view pointing at a live one.
  if (currentLayer_ >= 0) layers_[static_cast<size_t>(currentLayer_)]->Bitmap = ieBitmap_;
  layers_.erase(layers_.begin() + high);
  layers_.erase(layers_.begin() + low);
  layers_.insert(layers_.begin() + low, std::move(merged));
  currentLayer_ = -1;
  outAlpha->SyncFull();
  if (outAlpha->GetFull()) out->RemoveAlphaChannel();
  SetLayersCurrent(low);
}

void TDadirAvView::RemoveAlphaChannel(bool merge) {
  if (merge && ieBitmap_->GetPixelFormat() == ie24RGB && ieBitmap_->GetHasAlphaChannel()) {
    const Integer rgb = ColorToRGB(GetBackground());
    const Integer br = rgb & 0xFF, bg = (rgb >> 8) & 0xFF, bb = (rgb >> 16) & 0xFF;
    TIEBitmap* alpha = ieBitmap_->GetAlphaChannel();
    auto blend = [](Integer v, Integer b, Integer a) {
      // floor toward minus infinity: an arithmetic shift of the signed product.
      return static_cast<Byte>(b + (((v - b) * a) >> 8));
    };
    for (Integer y = 0; y < ieBitmap_->GetHeight(); ++y) {
      auto* p = static_cast<Byte*>(ieBitmap_->GetScanLine(y));
      const auto* a = static_cast<const Byte*>(alpha->GetScanLine(y));
      for (Integer x = 0; x < ieBitmap_->GetWidth(); ++x) {
        p[x * 3] = blend(p[x * 3], bb, a[x]);
        p[x * 3 + 1] = blend(p[x * 3 + 1], bg, a[x]);
        p[x * 3 + 2] = blend(p[x * 3 + 2], br, a[x]);
      }
    }
  }
  ieBitmap_->RemoveAlphaChannel();
}

void TDadirAvView::SetSelectedAreaAlpha(Integer alpha) {
  TIEBitmap* plane = ieBitmap_->GetAlphaChannel();
  const Byte value = static_cast<Byte>(std::clamp(alpha, 0, 255));
  if (mask_->IsEmpty()) {
    plane->Fill(value);
  } else {
    const Integer w = std::min(plane->GetWidth(), mask_->GetWidth());
    const Integer h = std::min(plane->GetHeight(), mask_->GetHeight());
    for (Integer y = 0; y < h; ++y)
      for (Integer x = 0; x < w; ++x)
        if (mask_->GetPixel(x, y) != 0) plane->SetPixels_ie8(x, y, value);
  }
  Update();
}

void TDadirAvView::SetAlphaRangePixelsColor(Integer min, Integer max, TRGB color) {
  // Three-byte pixels exist only in ie24RGB; other formats are left alone.
  if (!ieBitmap_->GetHasAlphaChannel() || ieBitmap_->GetPixelFormat() != ie24RGB) return;
  TIEBitmap* plane = ieBitmap_->GetAlphaChannel();
  for (Integer y = 0; y < ieBitmap_->GetHeight(); ++y)
    for (Integer x = 0; x < ieBitmap_->GetWidth(); ++x) {
      const Integer a = plane->GetPixels_ie8(x, y);
      if (a >= min && a <= max) ieBitmap_->SetPixels_ie24RGB(x, y, color);
    }
  Update();
}

void TDadirAvView::SetSelectedPixelsColor(TRGB color) {
  if (ieBitmap_->GetPixelFormat() != ie24RGB) return;
  const Integer w = std::min(ieBitmap_->GetWidth(), mask_->GetWidth());
  const Integer h = std::min(ieBitmap_->GetHeight(), mask_->GetHeight());
  for (Integer y = 0; y < h; ++y)
    for (Integer x = 0; x < w; ++x)
      if (mask_->IsPointInside(x, y)) ieBitmap_->SetPixels_ie24RGB(x, y, color);
  Update();
}

void TDadirAvView::CopyToBitmapWithAlpha(TBitmap* target, Integer x, Integer y) {
  if (target == nullptr) return;
  if (target->GetPixelFormat() != pf24bit) target->SetPixelFormat(pf24bit);
  if (!ieBitmap_->GetHasAlphaChannel()) return;
  const Integer W = ieBitmap_->GetWidth(), H = ieBitmap_->GetHeight();
  ieBitmap_->RenderToTBitmap(target, nullptr, nullptr, nullptr, nullptr, x, y, W, H, 0, 0, W, H,
                             true, false, 255, rfNone);
}
