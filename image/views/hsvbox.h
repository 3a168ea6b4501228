// THSVBox: a colour picker of a saturation-value square for the current hue beside a
// hue bar. A press or drag in the square sets saturation and value, in the bar the
// hue; the control keeps hue, saturation, value, the RGB bytes and the colour
// consistent and fires OnChange. Hue is 0..359, saturation and value 0..99.
#pragma once

#include <memory>

#include "platform/vcl/Controls.h"
#include "platform/vcl/Graphics.h"

class THSVBox : public TCustomControl {
 public:
  LARK_CLASS_NAME(THSVBox)
  explicit THSVBox(TComponent* owner);
  ~THSVBox() override;
  THSVBox(const THSVBox&) = delete;
  THSVBox& operator=(const THSVBox&) = delete;

  Integer GetHue() const noexcept { return hue_; }
  Integer GetSat() const noexcept { return sat_; }
  Integer GetVal() const noexcept { return val_; }
  Byte GetRed() const noexcept { return red_; }
  Byte GetGreen() const noexcept { return green_; }
  Byte GetBlue() const noexcept { return blue_; }
  TColor GetColor() const noexcept { return color_; }
  TColor GetBackground() const noexcept { return background_; }
  Integer GetHueBarWidth() const noexcept { return hueBarWidth_; }
  Integer GetBarsDistance() const noexcept { return barsDistance_; }
  // None of the setters fires OnChange.
  void SetHue(Integer h);
  void SetSat(Integer s);
  void SetVal(Integer v);
  void SetRGB(Byte r, Byte g, Byte b);
  // Color keeps c itself (a system colour stays one); the bytes are its RGB.
  void SetColor(TColor c);
  void SetBackground(TColor value);
  void SetHueBarWidth(Integer value);
  void SetBarsDistance(Integer value);

  void DrawValSat();
  void DrawHue();
  // Drawn with an inverting pen: drawing twice erases.
  void DrawGrips();
  void XMouseMove(Integer x, Integer y);
  // The drawing the control copies to the screen (pf24bit, the client size).
  TBitmap* GetDrawing() const noexcept { return bitmap_.get(); }
  Integer GetDragMode() const noexcept { return dragMode_; }

  TNotifyEvent OnChange;

  void Dispatch(TMessage& message) override;

 protected:
  void Paint() override;
  void Resize() override;
  void MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) override;
  void MouseMove(TShiftState shift, Integer x, Integer y) override;
  void MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y) override;

 private:
  // Gives the drawing the client's size; true when it changed.
  // Width of the saturation-value square.
  Integer SquareWidth() const;
  void RecomputeRGB();
  void Redraw();

  Integer hue_ = 0, sat_ = 0, val_ = 0;
  Byte red_ = 0, green_ = 0, blue_ = 0;
  std::unique_ptr<TBitmap> bitmap_;
  TColor background_ = static_cast<TColor>(0x8000000F);
  Integer dragMode_ = 0;  // 0 none, 1 square, 2 hue bar
  TColor color_ = 0;
  Integer hueBarWidth_ = 20;
  Integer barsDistance_ = 5;
};
