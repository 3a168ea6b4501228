// THistogramBox: the 256-level histogram of the image of an attached processing
// component, drawn as bars or lines per channel, with optional value labels and a
// colour bar under the plot. It paints from its own bitmap, which Update redraws.
#pragma once

#include <memory>

#include "platform/rtl/Sets.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/Graphics.h"

class TDadirAvProc;

enum class THistogramKindItem : Byte { hkRed, hkGreen, hkBlue, hkGray };
using enum THistogramKindItem;
using THistogramKind = TSet<THistogramKindItem>;
enum class THistogramLabel : Byte { hlVertical, hlHorizontal };
using enum THistogramLabel;
using THistogramLabels = TSet<THistogramLabel>;
enum class THistogramStyle : Byte { hsBars, hsLines };
using enum THistogramStyle;

class THistogramBox : public TCustomControl {
 public:
  LARK_CLASS_NAME(THistogramBox)
  explicit THistogramBox(TComponent* owner);
  ~THistogramBox() override;
  THistogramBox(const THistogramBox&) = delete;
  THistogramBox& operator=(const THistogramBox&) = delete;

  // Draws the whole bitmap again and invalidates.
  void Update() override;

  TDadirAvProc* GetAttachedDadirAvProc() const noexcept { return proc_; }
  void SetAIEP(TDadirAvProc* value);
  TColor GetBackground() const noexcept { return background_; }
  void SetBackground(TColor value);
  THistogramKind GetHistogramKind() const noexcept { return kind_; }
  void SetHistogramKind(THistogramKind value);
  THistogramLabels GetLabels() const noexcept { return labels_; }
  void SetLabels(THistogramLabels value);
  bool GetCompBar() const noexcept { return compBar_; }
  void SetCompBar(bool value);
  THistogramStyle GetHistogramStyle() const noexcept { return style_; }
  void SetHistogramStyle(THistogramStyle value);
  // The parent x of the first plot column (set by Update).
  Integer GetPlotLeft() const noexcept { return plotLeft_; }
  TBitmap* GetDrawing() const noexcept { return bitmap_.get(); }
  // How many times Update drew the bitmap.
  Integer GetDrawCount() const noexcept { return drawCount_; }

  void Notification(TComponent* component, TOperation operation) override;
  void Dispatch(TMessage& message) override;

 protected:
  void Paint() override;
  void Resize() override;

 private:
  // Gives the drawing the client's size; true when it changed.
  std::unique_ptr<TBitmap> bitmap_;
  TColor background_ = 0xFFFFFF;
  TDadirAvProc* proc_ = nullptr;
  THistogramKind kind_{hkGray};
  THistogramLabels labels_{hlVertical, hlHorizontal};
  bool compBar_ = true;
  THistogramStyle style_ = hsBars;
  Integer plotLeft_ = 0;
  Integer drawCount_ = 0;
};
