// The thumbnail grid's painting: the visible cells (which is also what asks for the
// images that are only named), captions, frames and selection marks, then the
// wallpaper or background around them.
#include <algorithm>
#include <cstdlib>

#include "image/proc/dadiravproc_resample.h"
#include "image/views/iemview.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Window.h"

namespace {

struct ThreadLock {
  ThreadLock() { EnterCriticalSection(&gThreadCS); }
  ~ThreadLock() { LeaveCriticalSection(&gThreadCS); }
  ThreadLock(const ThreadLock&) = delete;
  ThreadLock& operator=(const ThreadLock&) = delete;
};

void Fill(TCanvas* canvas, const TRect& r, TColor color) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  canvas->GetBrush()->SetStyle(bsSolid);
  canvas->GetBrush()->SetColor(color);
  canvas->FillRect(r);
}

// Top and left lines in one colour, bottom and right in the other.
void Frame3D(TCanvas* canvas, Integer x1, Integer y1, Integer x2, Integer y2, TColor topLeft,
             TColor bottomRight) {
  TPen* pen = canvas->GetPen();
  pen->SetStyle(psSolid);
  pen->SetWidth(1);
  pen->SetColor(topLeft);
  canvas->MoveTo(x1, y2);
  canvas->LineTo(x1, y1);
  canvas->LineTo(x2, y1);
  pen->SetColor(bottomRight);
  canvas->LineTo(x2, y2);
  canvas->LineTo(x1 - 1, y2);
}

}  // namespace

void TDadirAvMView::Paint() {
  if (paintLock_ > 0) return;
  PaintTo(GetCanvas());
}

void TDadirAvMView::PaintTo(TCanvas* canvas) {
  if (canvas == nullptr || destroying_) return;
  const HDC dc = canvas->GetHandle();
  const Integer saved = SaveDC(dc);
  SnapshotVisibility();
  const Integer clientW = GetClientWidth();
  const Integer clientH = GetClientHeight();
  bool restart = true;
  Integer cells = 0;
  while (restart) {
    restart = false;
    const Integer count = GetImageCount();
    cells = displayMode_ == mdSingle && count > 0 ? 1 : count;
    const Integer first = (playing_ || displayMode_ == mdSingle) && count > 0 ? std::clamp(visibleFrame_, 0, count - 1) : 0;
    for (Integer k = 0; k < cells; ++k) {
      const Integer idx = (first + k) % count;
      if (cells > 1 && OnDrawProgress) OnDrawProgress(this, static_cast<Integer>(k * 100.0 / cells), idx);
      TIEImageInfo* info = Info(idx);
      const Integer l = info->X - viewX_;
      const Integer t = info->Y - viewY_;
      if (l + thumbWidth_ <= 0 || t + thumbHeight_ <= 0 || l >= clientW || t >= clientH) continue;
      bool loaded, corrupted;
      {
        ThreadLock lock;
        loaded = info->image != nullptr;
        corrupted = info->Corrupted;
      }
      const bool draw = (loaded && !(RemoveCorrupted && corrupted)) ||
                        (!loaded && idx != selectedIdx_ && threadPoolSize_ != 0 && ObtainImageThreaded(idx)) ||
                        (!loaded && ObtainImageNow(idx)) || !RemoveCorrupted;
      if (!draw) {
        // The image could not be read: it goes, and the walk starts again.
        LockPaint();
        DeleteImageNU(idx);
        NPUnLockPaint();
        UpdateCoords();
        restart = true;
        break;
      }
      const bool selected = (idx == selectedIdx_ || (enableMultiSelect_ && IsSelected(idx))) &&
                            visibleSelection_ && displayMode_ == mdGrid;
      DrawImage(canvas, info, idx, selected);
    }
  }
  PaintBackground(canvas);
  if (cells > 1 && OnDrawProgress) OnDrawProgress(this, 100, 0);
  RestoreDC(dc, saved);
}

void TDadirAvMView::PaintBackground(TCanvas* canvas) {
  const HDC dc = canvas->GetHandle();
  const TRect client{0, 0, GetClientWidth(), GetClientHeight()};
  TGraphic* graphic = wallPaper_->GetGraphic();
  bool covered = false;
  if (graphic != nullptr && !graphic->GetEmpty()) {
    const Integer w = graphic->GetWidth();
    const Integer h = graphic->GetHeight();
    switch (WallPaperStyle) {
      case iewoNormal:
        canvas->Draw(0, 0, graphic);
        ExcludeClipRect(dc, 0, 0, w, h);
        break;
      case iewoStretch:
        canvas->StretchDraw(client, graphic);
        covered = true;
        break;
      case iewoTile:
        for (Integer y = 0; y < client.bottom; y += h)
          for (Integer x = 0; x < client.right; x += w) canvas->Draw(x, y, graphic);
        covered = true;
        break;
    }
  }
  if (!covered) Fill(canvas, client, GetBackground());
}

void TDadirAvMView::DrawImage(TCanvas* canvas, TIEImageInfo* info, Integer idx, bool selected) {
  ThreadLock lock;
  const HDC dc = canvas->GetHandle();
  const Integer L = info->X - viewX_;
  const Integer T = info->Y - viewY_;
  const Integer W = thumbWidth_;
  const Integer H = thumbHeight_;
  if (OnBeforeImageDraw) OnBeforeImageDraw(this, idx, L, T, canvas);
  const bool highlight = selected && selectionStyle_ == iessACD;

  Integer hi = 0;
  if (!info->InfoText->GetCaption().empty()) {
    canvas->GetFont()->Assign(info->InfoText->GetFont());
    hi = canvas->TextHeight(info->InfoText->GetCaption());
  }
  const Integer b = std::max(H - BottomGap - UpperGap - hi, 1);
  Integer x = L, y = T, w = 0, h = 0;
  if (info->image != nullptr) {
    if (info->cacheImage != nullptr) {
      w = cache_->GetImageWidth(info->cacheImage);
      h = cache_->GetImageHeight(info->cacheImage);
    } else {
      const Integer w0 = store_->GetImageWidth(info->image);
      const Integer h0 = store_->GetImageHeight(info->image);
      if (enableResamplingOnMinor_ || w0 > W || h0 > b) {
        FitSize(w0, h0, W, b, w, h);
      } else {
        w = w0;
        h = h0;
      }
    }
    x = L + std::abs(W - w) / 2;
    y = T + UpperGap + std::abs(b - h) / 2;
    // What to draw: the cached copy 1:1, or the stored image fitted.
    auto drawStored = [&](TCanvas* target, Integer dx, Integer dy) {
      const Integer w0 = store_->GetImageWidth(info->image);
      const Integer h0 = store_->GetImageHeight(info->image);
      if (store_->GetImageBitCount(info->image) == 1 && (w < w0 || h < h0)) {
        auto grey = _SubResample1bitFilteredDIB(store_->GetImageBits(info->image), w0, h0, 0, 0,
                                                w0 - 1, h0 - 1, w, h);
        if (grey == nullptr) return;
        BITMAPINFOHEADER header{};
        header.biSize = sizeof(header);
        header.biWidth = w;
        header.biHeight = h;
        header.biPlanes = 1;
        header.biBitCount = 24;
        DrawDibDraw(drawDib_, target->GetHandle(), dx, dy, w, h, &header, grey.get(), 0, 0, w, h, 0);
      } else {
        store_->RenderTo(info->image, target, drawDib_, dx, dy, w, h, 0, 0, w0, h0);
      }
    };
    if (info->cacheImage != nullptr) {
      cache_->RenderTo(info->cacheImage, canvas, drawDib_, x, y, w, h, 0, 0, w, h);
    } else {
      drawStored(canvas, x, y);
      if (enableImageCaching_ && w > 0 && h > 0) {
        TBitmap copy;
        copy.SetPixelFormat(pf24bit);
        copy.SetSize(w, h);
        drawStored(copy.GetCanvas(), 0, 0);
        info->cacheImage = cache_->AddBitmap(&copy);
      }
    }
    const TColor margin = highlight ? clHighlight : DrawImageBackground ? info->Background : ThumbnailsBackground;
    Fill(canvas, TRect{L, T, L + W, y}, margin);
    Fill(canvas, TRect{L, y + h, L + W, T + H}, margin);
    Fill(canvas, TRect{L, y, x, y + h}, margin);
    Fill(canvas, TRect{x + w, y, L + W, y + h}, margin);
  } else {
    Fill(canvas, TRect{L, T, L + W, T + H}, highlight ? clHighlight : ThumbnailsBackground);
  }

  // Captions.
  auto captionColours = [&](TIEMText* text) {
    canvas->GetFont()->Assign(text->GetFont());
    canvas->GetBrush()->SetStyle(bsSolid);
    if (highlight) {
      canvas->GetFont()->SetColor(clHighlightText);
      canvas->GetBrush()->SetColor(clHighlight);
    } else {
      canvas->GetBrush()->SetColor(text->Background);
    }
  };
  Integer bottomBand = 0;
  if (!info->TopText->GetCaption().empty()) {
    captionColours(info->TopText.get());
    const AnsiString& s = info->TopText->GetCaption();
    canvas->TextOut(L + (W - canvas->TextWidth(s)) / 2, T, s);
  }
  if (!info->InfoText->GetCaption().empty()) {
    captionColours(info->InfoText.get());
    const AnsiString& s = info->InfoText->GetCaption();
    canvas->TextOut(L + (W - canvas->TextWidth(s)) / 2, T + H - BottomGap - hi, s);
  }
  if (!info->BottomText->GetCaption().empty()) {
    captionColours(info->BottomText.get());
    const AnsiString& s = info->BottomText->GetCaption();
    bottomBand = canvas->TextHeight(s) + 1;
    canvas->FillRect(TRect{L, T + H - bottomBand, L + W, T + H});
    canvas->TextOut(L + (W - canvas->TextWidth(s) - 2) / 2 + 1, T + H - bottomBand, s);
  }

  if (Style == iemsACD) {
    const auto grey = static_cast<TColor>(0x808080);
    const auto white = static_cast<TColor>(0xFFFFFF);
    const auto black = static_cast<TColor>(0);
    if (info->image != nullptr && w > 0 && h > 0) Frame3D(canvas, x - 1, y - 1, x + w, y + h, grey, white);
    if (BottomGap + UpperGap > 0 || hi > 0) Frame3D(canvas, L, T, L + W - 1, T + H - 1 - bottomBand, white, black);
    if (bottomBand > 0) Frame3D(canvas, L, T + H - bottomBand, L + W - 1, T + H - 1, grey, white);
  }

  if (OnImageDraw) OnImageDraw(this, idx, L, T, canvas);

  canvas->GetBrush()->SetStyle(bsClear);
  canvas->GetPen()->SetWidth(1);
  canvas->GetPen()->SetStyle(psSolid);
  Integer grown = 0;
  if (selected && selectionStyle_ == iessAround) {
    canvas->GetPen()->SetColor(selectionColor_);
    const Integer n = Focused() ? selectionWidth_ : 1;
    for (Integer i = 1; i <= n; ++i) canvas->Rectangle(L - i, T - i, L + W + i, T + H + i);
    grown = n;
    ExcludeClipRect(dc, L - n, T - n, L + W + n, T + H + n);
  }
  canvas->GetPen()->SetColor(ThumbnailsBorderColor);
  for (Integer i = 1; i <= ThumbnailsBorderWidth; ++i) canvas->Rectangle(L - i, T - i, L + W + i, T + H + i);
  const Integer n = std::max(ThumbnailsBorderWidth, grown);
  ExcludeClipRect(dc, L - n, T - n, L + W + n, T + H + n);
  canvas->GetBrush()->SetStyle(bsSolid);
}

void TDadirAvMView::UpdateImage(Integer idx) {
  const TIEImageInfo* info = Info(idx);
  if (info == nullptr) return;
  Update();
  if (!HandleAllocated()) return;
  ValidateRect(GetHandle(), nullptr);
  RECT r{info->X - viewX_, info->Y - viewY_, info->X - viewX_ + thumbWidth_, info->Y - viewY_ + thumbHeight_};
  InvalidateRect(GetHandle(), &r, FALSE);
}

void TDadirAvMView::PaletteChanged() {
  // Realising changes nothing on a true-colour screen: repaint only when DrawDib says
  // it did, or when there is no main form to realise it on.
  TCustomForm* main = Application->GetMainForm();
  if (main == nullptr || main->GetCanvas() == nullptr ||
      IEDrawDibRealize(drawDib_, main->GetCanvas()->GetHandle(), false) != 0)
    Invalidate();
}
