// Fixtures for the preview dialog's tests: the dialog's behaviour on three views of a
// plain form, pictures compared byte for byte, and the preview rebuilt on its own.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "image/model/iebitmap.h"
#include "image/proc/previews.h"
#include "image/views/dadiravview.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/Forms.h"
#include "tests/image/proc_peer_util.h"
#include "tests/support/Pump.h"

namespace previewtest {

inline void Pump() {
  Application->ProcessMessages();
  larktest::PumpUntilIdle();
  Application->ProcessMessages();
}

inline std::unique_ptr<TIEBitmap> Clone(TIEBitmap* b) {
  auto c = std::make_unique<TIEBitmap>();
  c->SetLocation(ieMemory);
  c->Assign(b);
  return c;
}

// Same size and the same pixels.
inline ::testing::AssertionResult SamePixels(TIEBitmap& a, TIEBitmap& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight())
    return ::testing::AssertionFailure() << "sizes " << a.GetWidth() << "x" << a.GetHeight() << " and "
                                         << b.GetWidth() << "x" << b.GetHeight();
  const long d = procpeer::FirstDifference(procpeer::Bytes(a), procpeer::Bytes(b));
  if (d >= 0) {
    const long px = d / 3;
    return ::testing::AssertionFailure() << "first difference at pixel (" << px % a.GetWidth() << ", "
                                         << px / a.GetWidth() << ")";
  }
  return ::testing::AssertionSuccess();
}

// The dialog's behaviour on a source, a result and a spectrum view of a plain form:
// no dialog form, nothing painted on purpose.
struct Rig {
  explicit Rig(Integer width, Integer height, TPreviewEffects effects = TPreviewEffects{peAll},
               Integer viewWidth = 220, Integer viewHeight = 180, uint32_t seed = 3) {
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(10, 10, 760, 420);
    auto view = [&](Integer x, Integer w, Integer h) {
      auto* v = new TDadirAvView(form.get());
      v->SetParent(form.get());
      v->SetBounds(x, 10, w, h);
      return v;
    };
    src = view(10, viewWidth, viewHeight);
    res = view(250, viewWidth, viewHeight);
    spectrum = view(500, 160, 160);
    form->Show();
    Pump();
    auto photo = procpeer::MakePhoto(width, height, ie24RGB, seed);
    src->GetIEBitmap()->Assign(photo.get());
    src->Update();
    original = Clone(src->GetIEBitmap());
    logic = std::make_unique<TPreviewsLogic>(src, res, spectrum);
    logic->Effects = effects;
    logic->FormActivate();
  }
  ~Rig() {
    logic.reset();
    form.reset();
  }
  TIEBitmap* Source() { return src->GetIEBitmap(); }
  TIEBitmap* Result() { return res->GetIEBitmap(); }
  // The unadjusted preview: what the source view shows, drawn at screen scale.
  std::unique_ptr<TIEBitmap> Shown() {
    TBitmap shown;
    shown.SetPixelFormat(pf24bit);
    const Integer w = std::max(1, src->GetExtentX()), h = std::max(1, src->GetExtentY());
    shown.SetSize(w, h);
    shown.GetCanvas()->GetBrush()->SetColor(src->GetBackground());
    shown.GetCanvas()->FillRect(TRect{0, 0, w, h});
    src->DrawTo(shown.GetCanvas());
    auto b = std::make_unique<TIEBitmap>();
    b->SetLocation(ieMemory);
    b->Assign(&shown);
    return b;
  }

  std::unique_ptr<TForm> form;
  TDadirAvView* src = nullptr;
  TDadirAvView* res = nullptr;
  TDadirAvView* spectrum = nullptr;
  std::unique_ptr<TIEBitmap> original;
  std::unique_ptr<TPreviewsLogic> logic;
};

}  // namespace previewtest
