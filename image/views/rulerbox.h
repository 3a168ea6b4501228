// TRulerBox: a ruler of ticks and numeric labels with draggable grips. Units map to
// pixels by DotPerUnit from ViewPos (the unit at the left or top edge); grips have a
// position in units, a colour, a shape and limits. It can fit a unit range into its
// width, scrolls while a grip is dragged past its ends, and reports clicks and grip
// moves.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/vcl/Controls.h"
#include "platform/vcl/Graphics.h"

enum class TGripKind : Byte { gkTriangle, gkLeftTriangle, gkRightTriangle, gkArrow, gkArrow2 };
using enum TGripKind;
enum class TGripsDir : Byte { gdUp, gdDown };
using enum TGripsDir;
enum class TRulerDir : Byte { rdHorizontal, rdVertical };
using enum TRulerDir;

using TRulerPosChangeEvent = std::function<void(TObject* sender, Integer grip)>;
using TRulerClickEvent = std::function<void(TObject* sender, double pos)>;

class TRulerBox : public TCustomControl {
 public:
  LARK_CLASS_NAME(TRulerBox)
  explicit TRulerBox(TComponent* owner);
  ~TRulerBox() override;
  TRulerBox(const TRulerBox&) = delete;
  TRulerBox& operator=(const TRulerBox&) = delete;

  // Fits the view when asked, then draws grips and ruler again.
  void Update() override;

  Integer GetGripsCount() const noexcept { return static_cast<Integer>(grips_.size()); }
  void SetGripsCount(Integer n);
  // Index past the last grip: setters do nothing, getters answer 0 (gkTriangle).
  double GetGripsPos(Integer i) const;
  void SetGripsPos(Integer i, double v);
  TColor GetGripsCol(Integer i) const;
  void SetGripsCol(Integer i, TColor c);
  TGripKind GetGripsKind(Integer i) const;
  void SetGripsKind(Integer i, TGripKind k);
  double GetGripsMin(Integer i) const;
  void SetGripsMin(Integer i, double v);
  double GetGripsMax(Integer i) const;
  void SetGripsMax(Integer i, double v);

  double GetViewPos() const noexcept { return viewPos_; }
  void SetViewPos(double v);
  double GetViewMin() const noexcept { return viewMin_; }
  void SetViewMin(double v);
  double GetViewMax() const noexcept { return viewMax_; }
  void SetViewMax(double v);
  double GetDotPerUnit() const noexcept { return dotPerUnit_; }
  // Scales, frequencies and label frequencies of 0 or less are ignored.
  void SetDPU(double v);
  double GetFrequency() const noexcept { return frequency_; }
  void SetFrequency(double v);
  double GetLabelFreq() const noexcept { return labelFreq_; }
  void SetLabelFreq(double v);
  bool GetFitInView() const noexcept { return fitInView_; }
  void SetFitInView(bool v);
  bool GetHexLabels() const noexcept { return hexLabels_; }
  void SetHexLabels(bool v);
  TRulerDir GetRulerDir() const noexcept { return rulerDir_; }
  void SetRulerDir(TRulerDir v);
  TColor GetRulerColor() const noexcept { return rulerColor_; }
  void SetRulerColor(TColor v);
  bool GetRuler() const noexcept { return ruler_; }
  void SetRuler(bool v);
  TGripsDir GetGripsDir() const noexcept { return gripsDir_; }
  void SetGripsDir(TGripsDir v);
  Integer GetGripBaseDim() const noexcept { return gripBaseDim_; }
  void SetGripBaseDim(Integer v);
  TColor GetBackground() const noexcept { return background_; }
  void SetBackground(TColor v);

  Integer GetRulerHeight();
  double GetWidthInUnit() const;
  Integer GetXGripPos(Integer i) const;
  void GetGripPoly(Integer i, std::vector<TPoint>& points);
  TRect GetGripRect(Integer i);
  // The topmost grip (highest index) whose rectangle holds the point, else -1.
  Integer GetClickedGrip(Integer x, Integer y);
  void AdjustGripLimits(Integer i);
  void AdjustViewLimits();
  void RepaintGrips();
  void RepaintRuler();
  // The label text of a ruler value.
  AnsiString LabelText(double v) const;
  // The positions (pixels along the ruler) of the ticks, and of the labels.
  const std::vector<Integer>& GetTickPositions() const noexcept { return ticks_; }
  const std::vector<Integer>& GetLabelPositions() const noexcept { return labels_; }
  const std::vector<AnsiString>& GetLabelTexts() const noexcept { return labelTexts_; }
  TBitmap* GetDrawing() const noexcept { return bitmap_.get(); }

  TRulerPosChangeEvent OnRulerPosChange;
  TRulerPosChangeEvent OnRulerGripClick;
  TRulerPosChangeEvent OnRulerGripDblClick;
  TRulerClickEvent OnRulerClick;

  void Dispatch(TMessage& message) override;

 protected:
  void Paint() override;
  void Resize() override;
  void MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) override;
  void MouseMove(TShiftState shift, Integer x, Integer y) override;
  void MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y) override;

 private:
  // Gives the drawing the client's size; true when it changed.
  struct Grip {
    double pos = 0;
    TColor color = 0;
    TGripKind kind = gkTriangle;
    double min = 0;
    double max = 0;
  };
  Integer AlongExtent() const;
  Integer CrossExtent() const;
  void FireMove(Integer grip);
  // One step of the view toward dir (-1 or +1) with the grip at the edge.
  bool ScrollStep(Integer dir, double gripPos);

  std::unique_ptr<TBitmap> bitmap_;
  TColor background_ = static_cast<TColor>(0x8000000F);
  std::vector<std::unique_ptr<Grip>> grips_;
  Integer gripBaseDim_ = 12;
  Integer grabbed_ = -1;
  Integer grabbedPixel_ = 0;
  Integer downX_ = 0, downY_ = 0;
  TGripsDir gripsDir_ = gdUp;
  bool ruler_ = true;
  double viewPos_ = 0, dotPerUnit_ = 1, frequency_ = 10, labelFreq_ = 40;
  TColor rulerColor_ = static_cast<TColor>(0x8000000F);
  TRulerDir rulerDir_ = rdHorizontal;
  double viewMin_ = 0, viewMax_ = 0;
  bool fitInView_ = false;
  bool hexLabels_ = false;
  std::vector<Integer> ticks_, labels_;
  std::vector<AnsiString> labelTexts_;
};
