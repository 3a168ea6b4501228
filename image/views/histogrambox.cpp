// The histogram box: the bitmap drawn from the attached component's histogram.
#include "image/views/histogrambox.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc_basic.h"
#include "image/proc/dadiravproc_component.h"
#include "image/views/boxdrawing.h"
#include "platform/rtl/Math.h"
#include "platform/rtl/Strings.h"
#include "platform/win/Messages.h"

namespace {

constexpr TColor kChannelColours[4] = {0x0000FF, 0x008000, 0xFF0000, 0};
constexpr THistogramKindItem kChannels[4] = {hkRed, hkGreen, hkBlue, hkGray};

DWORD Count(const THistogramItem& item, Integer channel) {
  switch (channel) {
    case 0:
      return item.r;
    case 1:
      return item.g;
    case 2:
      return item.b;
    default:
      return item.Gray;
  }
}

}  // namespace

THistogramBox::THistogramBox(TComponent* owner) : TCustomControl(owner) {
  SetControlStyle(GetControlStyle() + csAcceptsControls + csOpaque);
  bitmap_ = std::make_unique<TBitmap>();
  bitmap_->SetPixelFormat(pf24bit);
  SetBounds(GetLeft(), GetTop(), 256, 105);
  bitmap_->SetSize(256, 105);
  Update();
}

THistogramBox::~THistogramBox() {
  if (proc_ != nullptr) proc_->RemoveFreeNotification(this);
}

void THistogramBox::Update() {
  FitDrawingToClient(this, bitmap_.get());
  ++drawCount_;
  const Integer BW = bitmap_->GetWidth(), BH = bitmap_->GetHeight();
  if (BW <= 0 || BH <= 0) {
    Invalidate();
    return;
  }
  TCanvas* canvas = bitmap_->GetCanvas();
  canvas->GetBrush()->SetStyle(bsSolid);
  canvas->GetBrush()->SetColor(background_);
  canvas->FillRect(TRect{0, 0, BW, BH});
  const bool designing = GetComponentState().Contains(csDesigning);
  TIEBitmap* store = proc_ != nullptr ? proc_->GetIEBitmap() : nullptr;
  const bool hasStore = store != nullptr && store->GetWidth() > 0 && store->GetHeight() > 0;
  if (!hasStore && !designing) {
    Invalidate();
    return;
  }
  auto hist = std::make_unique<THistogramItem[]>(256);
  if (designing) {
    for (Integer i = 0; i < 256; ++i)
      hist[i] = THistogramItem{static_cast<DWORD>(std::rand() % 256),
                               static_cast<DWORD>(std::rand() % 256),
                               static_cast<DWORD>(std::rand() % 256),
                               static_cast<DWORD>(std::rand() % 256)};
  } else {
    proc_->GetHistogram(hist.get());
  }
  DWORD max = 0;
  for (Integer c = 0; c < 4; ++c)
    if (kind_.Contains(kChannels[c]))
      for (Integer i = 0; i < 256; ++i) max = std::max(max, Count(hist[i], c));
  if (max == 0) {
    Invalidate();
    return;
  }
  Integer w = GetWidth(), h = GetHeight(), left = 0;
  const Integer fontHeight = std::abs(GetFont()->GetHeight());
  const Integer bar = static_cast<Integer>(fontHeight * 1.2);
  if (compBar_) h -= bar + 2;
  canvas->SetFont(GetFont());
  canvas->GetBrush()->SetStyle(bsClear);
  const AnsiString maxText = IntToStr(static_cast<Int64>(max));
  if (labels_.Contains(hlVertical)) {
    const TSize size = canvas->TextExtent(maxText);
    canvas->TextOut(0, h / 2, IntToStr(static_cast<Int64>(max / 2)));
    canvas->TextOut(0, 0, maxText);
    canvas->GetPen()->SetColor(GetFont()->GetColor());
    w -= size.cx + 2;
    left += size.cx + 2;
  }
  if (labels_.Contains(hlHorizontal)) {
    const TSize size = canvas->TextExtent(maxText);
    const Integer y = h - fontHeight - 1;
    for (Integer i = 0; i < 4; ++i)
      canvas->TextOut(static_cast<Integer>(Round(i * 64 / 256.0 * w)) + left, y,
                      IntToStr(i * 64));
    canvas->TextOut(left + w - canvas->TextWidth("255"), y, "255");
    h -= size.cy + 2;
    canvas->GetPen()->SetColor(GetFont()->GetColor());
    canvas->MoveTo(left - 1, 0);
    canvas->LineTo(left - 1, h);
    canvas->LineTo(left + w, h);
  }
  canvas->GetBrush()->SetStyle(bsSolid);
  plotLeft_ = GetLeft() + left;
  // No room left for a plot.
  if (w <= 0 || h <= 0) {
    Invalidate();
    return;
  }
  if (compBar_) {
    const bool red = kind_.Contains(hkRed) || kind_.Contains(hkGray);
    const bool green = kind_.Contains(hkGreen) || kind_.Contains(hkGray);
    const bool blue = kind_.Contains(hkBlue) || kind_.Contains(hkGray);
    for (Integer r = std::max(BH - bar, 0); r < BH; ++r) {
      auto* row = static_cast<Byte*>(bitmap_->ScanLine(r));
      for (Integer e = 0; e < w; ++e) {
        const Integer x = left + e;
        if (x < 0 || x >= BW) continue;
        const auto v = static_cast<Byte>(Round(static_cast<double>(e) / w * 256));
        row[x * 3] = blue ? v : 0;
        row[x * 3 + 1] = green ? v : 0;
        row[x * 3 + 2] = red ? v : 0;
      }
    }
  }
  auto level = [&](Integer x) { return std::min(static_cast<Integer>(x / static_cast<double>(w) * 256), 255); };
  auto height = [&](DWORD count) {
    return static_cast<Integer>(Round(static_cast<double>(count) / max * h));
  };
  canvas->GetPen()->SetMode(pmCopy);
  canvas->GetPen()->SetStyle(psSolid);
  if (style_ == hsBars) {
    for (Integer x = 0; x < w; ++x) {
      const Integer bin = level(x);
      for (Integer c = 0; c < 4; ++c) {
        if (!kind_.Contains(kChannels[c])) continue;
        canvas->GetPen()->SetColor(kChannelColours[c]);
        canvas->MoveTo(left + x, h - 1);
        canvas->LineTo(left + x, h - height(Count(hist[bin], c)) - 2);
      }
    }
  } else {
    for (Integer c = 0; c < 4; ++c) {
      if (!kind_.Contains(kChannels[c])) continue;
      canvas->GetPen()->SetColor(kChannelColours[c]);
      canvas->MoveTo(left, h - 1);
      for (Integer x = 0; x < w; ++x)
        canvas->LineTo(left + x, h - height(Count(hist[level(x)], c)) - 1);
    }
  }
  Invalidate();
}

void THistogramBox::Paint() {
  if (!HandleAllocated()) return;
  if (FitDrawingToClient(this, bitmap_.get())) Update();
  GetCanvas()->Draw(0, 0, bitmap_.get());
}

void THistogramBox::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_ERASEBKGND:
      message.Result = 0;
      return;
    default:
      TCustomControl::Dispatch(message);
  }
}

void THistogramBox::SetAIEP(TDadirAvProc* value) {
  if (proc_ == value) return;
  if (proc_ != nullptr) proc_->RemoveFreeNotification(this);
  proc_ = value;
  if (proc_ != nullptr) proc_->FreeNotification(this);
}

void THistogramBox::Notification(TComponent* component, TOperation operation) {
  TCustomControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == proc_) proc_ = nullptr;
}

void THistogramBox::SetBackground(TColor value) {
  background_ = value;
  Update();
}

void THistogramBox::SetHistogramKind(THistogramKind value) {
  if (value == kind_) return;
  kind_ = value;
  Update();
}

void THistogramBox::SetLabels(THistogramLabels value) {
  if (value == labels_) return;
  labels_ = value;
  Update();
}

void THistogramBox::SetCompBar(bool value) {
  if (value == compBar_) return;
  compBar_ = value;
  Update();
}

void THistogramBox::SetHistogramStyle(THistogramStyle value) {
  if (value == style_) return;
  style_ = value;
  Update();
}

void THistogramBox::Resize() {
  TCustomControl::Resize();
  if (FitDrawingToClient(this, bitmap_.get())) Update();
}
