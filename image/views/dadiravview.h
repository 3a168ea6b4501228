// The single-image view: one image held as a stack of layers of one size, shown
// zoomed and scrolled over a painted background in a back buffer that is copied to
// the window, with a selection (a 1-bit mask and the outline polygon that edits it)
// drawn as animated dashes. It creates its input/output and processing components on
// first use and is what they attach to.
#pragma once

#include <memory>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/model/iedefs.h"
#include "image/model/iemask.h"
#include "image/model/ieutils.h"
#include "image/model/ieview.h"
#include "image/proc/dadiravproc_component.h"
#include "platform/rtl/Sets.h"
#include "platform/rtl/Streams.h"
#include "platform/vcl/Graphics.h"
#include "platform/vcl/StdCtrls.h"

// Xlib's X.h (included by the display backend) defines KeyPress as a macro; the
// name keeps its meaning in this header.
#pragma push_macro("KeyPress")
#undef KeyPress

class TDadirAvIO;
class TDadirAvProc;
class TTimer;

enum class TIEBackgroundStyle : Byte {
  iebsSolid, iebsHorizontal, iebsVertical, iebsFDiagonal, iebsBDiagonal, iebsCross,
  iebsDiagCross, iebsChessboard, iebsDiagonals, iebsCropped, iebsCropShadow
};
using enum TIEBackgroundStyle;

enum class TIESelectionOption : Byte {
  iesoAnimated, iesoSizeable, iesoMoveable, iesoFilled, iesoCutBorders, iesoMarkOuter,
  iesoCanScroll
};
using enum TIESelectionOption;
using TIESelectionOptions = TSet<TIESelectionOption>;

enum class TIESelectionBase : Byte { iesbClientArea, iesbBitmap };
using enum TIESelectionBase;

enum class TIESelOp : Byte { iespReplace, iespAdd };
using enum TIESelOp;

enum class TIEMagicWandMode : Byte { iewInclusive, iewExclusive, iewGlobal };
using enum TIEMagicWandMode;

// Which mouse actions the view takes on itself (handled with the view's interaction).
enum class TIEMouseInteractItem : Byte {
  miZoom, miScroll, miSelect, miSelectPolygon, miSelectCircle, miSelectZoom, miSelectMagicWand,
  miSelectLasso
};
using enum TIEMouseInteractItem;
using TIEMouseInteract = TSet<TIEMouseInteractItem>;

using TViewChangeEvent = std::function<void(TObject* sender, Integer change)>;
using TIEZoomEvent = std::function<void(TObject* sender, double& newZoom)>;
using TIEMouseInResizingGripEvent = std::function<void(TObject* sender, Integer grip)>;

// One layer: a bitmap drawn with a visibility and a transparency (255 opaque).
class TIELayer : public TObject {
 public:
  LARK_CLASS_NAME(TIELayer)
  // With useSource the layer takes source itself; otherwise a new store of source's
  // size and format in the same kind of storage (pixels not written).
  TIELayer(TIEBitmap* source, bool useSource);
  ~TIELayer() override;
  TIELayer(const TIELayer&) = delete;
  TIELayer& operator=(const TIELayer&) = delete;

  TIEBitmap* Bitmap = nullptr;
  bool Visible = true;
  Integer Transparency = 255;
  bool OwnsBitmap = true;

 private:
  std::unique_ptr<TBitmap> ownFramework_;  // the framework bitmap a copied layer adopts
};

// A polygon shown as animated dashes. Points are bitmap pixels; a point whose x and y
// are TIEMask::kPolygonBreak ends one closed part and starts the next.
struct TIEAnimPoly {
  std::vector<TPoint> Points;  // capacity grows in steps of 64
  Integer Count = 0;
  TColor Color1 = 0;
  TColor Color2 = 0xFFFFFF;
  bool Animated = true;
  Integer Phase = 0;   // 0..9
  Integer DashCounter = 0;
  TCanvas* Canvas = nullptr;
  Integer X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;  // box of the points (breaks excluded)
  bool Visible = true;
  bool Sizeable = true;
};

// A point list is a rectangle when it has four points whose edges, the closing one
// included, alternate strictly vertical and strictly horizontal.
bool _IsRectangle(const TPoint* points, Integer count);

class TDadirAvView : public TIEView {
 public:
  LARK_CLASS_NAME(TDadirAvView)
  explicit TDadirAvView(TComponent* owner);
  ~TDadirAvView() override;
  TDadirAvView(const TDadirAvView&) = delete;
  TDadirAvView& operator=(const TDadirAvView&) = delete;

  // --- The image (dadiravview.cpp)
  TBitmap* GetFBitmap() override { return legacyBitmap_; }
  TIEBitmap* GetIEBitmap() override { return ieBitmap_; }
  TBitmap* GetBitmap() { return GetFBitmap(); }
  virtual bool GetIsEmpty();
  bool IsEmpty() { return GetIsEmpty(); }
  TIEBitmap* GetAlphaChannel() override;
  bool GetHasAlphaChannel() override;
  void SetBackGround(TColor value) override;
  // Fills the image with Background and drops its alpha channel.
  void Clear();
  // A 1 x 1 image of the background colour.
  void Blank();
  // null clears; a view or a framework bitmap gives its image.
  virtual void Assign(TObject* source);
  void SetBounds(Integer left, Integer top, Integer width, Integer height) override;
  bool GetLegacyBitmap() const noexcept { return legacyBitmap_ != nullptr; }
  virtual void SetLegacyBitmap(bool value);
  bool GetEnableAlphaChannel() const noexcept { return enableAlphaChannel_; }
  void SetEnableAlphaChannel(bool value);
  bool GetDoubleBuffer() const noexcept { return doubleBuffer_; }
  void SetDoubleBuffer(bool value) noexcept { doubleBuffer_ = value; }

  void LockPaint() override { ++paintLock_; }
  Integer UnLockPaint() override;
  Integer NPUnLockPaint() override;
  Integer GetPaintLockCount() const noexcept { return paintLock_; }
  void UpdateNoPaint();
  void ImageChange() override;
  virtual void ViewChange(Integer change);

  virtual bool HasParentWindow();
  virtual Integer GetClientWidth();
  virtual Integer GetClientHeight();

  // The components, made on first use and attached to this view.
  TDadirAvIO* GetDadirAvIO();
  TDadirAvProc* GetDadirAvProc();
  virtual void SetOnProgress(TIEProgressEvent value);
  virtual TIEProgressEvent GetOnProgress() { return onProgress_; }

  void PrepareTransition();
  void RunTransition(TIETransitionType kind, Integer duration);
  bool GetTransitionRunning() const;

  void SetViewCursor(TCursor value);
  TCursor GetViewCursor() const noexcept { return viewCursor_; }

  // --- Geometry (dadiravview_layout.cpp)
  // The relayout every change ends in.
  void Update() override;
  double GetZoom() const noexcept { return zoom_; }
  void SetZoom(double value);
  void ZoomAt(Integer x, Integer y, double zoom);
  void Fit();
  void FitToWidth();
  void FitToHeight();
  void ZoomSelection();
  double GetFitValue();
  double GetOptimalZoom(Integer width, Integer height, Integer areaWidth, Integer areaHeight,
                        bool canStretch, bool canShrink);
  void CalcEdges(Integer& ex, Integer& ey) const;
  Integer GetViewX() const noexcept { return viewX_; }
  Integer GetViewY() const noexcept { return viewY_; }
  void SetViewX(Integer value);
  void SetViewY(Integer value);
  void SetViewXY(Integer x, Integer y);
  void GetMaxViewXY(Integer& maxX, Integer& maxY);
  bool RequiresScrollBars();
  TScrollStyle GetScrollBars() const noexcept { return scrollBars_; }
  virtual void SetScrollBars(TScrollStyle value);
  bool GetScrollBarsAlwaysVisible() const noexcept { return scrollBarsAlwaysVisible_; }
  void SetScrollBarsAlwaysVisible(bool value);
  bool GetCenter() const noexcept { return center_; }
  void SetCenter(bool value);
  TResampleFilter GetZoomFilter() const noexcept { return zoomFilter_; }
  void SetZoomFilter(TResampleFilter value);
  TIEBackgroundStyle GetBackgroundStyle() const noexcept { return backgroundStyle_; }
  void SetBackgroundStyle(TIEBackgroundStyle value);
  bool GetDisplayGrid() const noexcept { return displayGrid_; }
  void SetDisplayGrid(bool value);
  Integer GetIdealComponentWidth();
  Integer GetIdealComponentHeight();
  // Whether each scroll bar is shown now.
  bool GetHScrollBarShown() const noexcept { return hScrollShown_; }
  bool GetVScrollBarShown() const noexcept { return vScrollShown_; }
  double GetHScrollFactor() const noexcept { return hScrollFactor_; }
  double GetVScrollFactor() const noexcept { return vScrollFactor_; }
  TIEScrollBarParams* GetHScrollBarParams() const noexcept { return hScrollParams_.get(); }
  TIEScrollBarParams* GetVScrollBarParams() const noexcept { return vScrollParams_.get(); }
  TIEMouseWheelParams* GetMouseWheelParams() const noexcept { return wheelParams_.get(); }
  Integer GetOffsetX() const noexcept { return offsetX_; }
  Integer GetOffsetY() const noexcept { return offsetY_; }
  Integer GetExtentX() const noexcept { return extentX_; }  // displayed width
  Integer GetExtentY() const noexcept { return extentY_; }
  Integer GetZoomedWidth() const noexcept { return zoomedWidth_; }
  Integer GetZoomedHeight() const noexcept { return zoomedHeight_; }

  bool AutoFit = false;
  bool AutoStretch = false;
  bool AutoShrink = false;
  bool DelayZoomFilter = false;
  TIESelectionBase SelectionBase = iesbClientArea;
  TIEMouseInteract MouseInteract;

  // --- Painting and coordinates (dadiravview_paint.cpp)
  void PaintRect(const TRect& r);
  void UpdateRect(const TRect& r);
  // Renders the whole view into target (pf24bit, the client size): background,
  // layers, selection, grid.
  virtual void PaintToEx(TBitmap* target, Byte** rows, const TRect* updateRect);
  void CalcPaintCoef();
  virtual void CreateCoordConvLUT();
  Integer XScr2Bmp(Integer x) const;
  Integer YScr2Bmp(Integer y) const;
  Integer XBmp2Scr(Integer x) const;
  Integer YBmp2Scr(Integer y) const;
  void PaintSelection(TBitmap* target);
  void PaintGrid(TBitmap* target);
  // The visible part at the current zoom onto canvas at (0, 0).
  void DrawTo(TCanvas* canvas);
  void SetChessboardStyle(Integer size, TBrushStyle style);
  // A 256-colour palette of the current image; the caller deletes it.
  HPALETTE _CreatePalette();
  // The back buffer as last rendered (for a person looking at it).
  TBitmap* GetBackBuffer() const noexcept { return backBuffer_.get(); }
  // Source rectangle and destination size of the last CalcPaintCoef.
  TRect GetPaintSource() const noexcept {
    return TRect{srcX_, srcY_, srcX_ + srcWidth_, srcY_ + srcHeight_};
  }
  Integer GetPaintDestWidth() const noexcept { return dstWidth_; }
  Integer GetPaintDestHeight() const noexcept { return dstHeight_; }
  // How many times the image was rendered into the back buffer.
  Integer GetRenderCount() const noexcept { return renderCount_; }

  TNotifyEvent OnPaint;
  TNotifyEvent OnImageChange;
  TViewChangeEvent OnViewChange;
  TIEZoomEvent OnZoomIn;
  TIEZoomEvent OnZoomOut;
  TIEMouseInResizingGripEvent OnMouseInResizingGrip;

  // --- Layers and alpha (dadiravview_layers.cpp)
  Integer GetLayersCount() const noexcept { return static_cast<Integer>(layers_.size()); }
  // Raises EListError for an index outside the list.
  TIELayer* GetLayer(Integer index) const;
  Integer GetLayersCurrent() const noexcept { return currentLayer_; }
  virtual void SetLayersCurrent(Integer index);
  Integer LayersAdd();
  void LayersInsert(Integer index);
  void LayersRemove(Integer index);
  void LayersMove(Integer from, Integer to);
  void LayersSync();
  void LayersMerge(Integer a, Integer b);
  void RemoveAlphaChannel(bool merge) override;
  void SetSelectedAreaAlpha(Integer alpha);
  void SetAlphaRangePixelsColor(Integer min, Integer max, TRGB color);
  void SetSelectedPixelsColor(TRGB color);
  void CopyToBitmapWithAlpha(TBitmap* target, Integer x, Integer y);

  // --- Selection (dadiravview_select.cpp)
  virtual void Select(Integer x1, Integer y1, Integer x2, Integer y2, TIESelOp op = iespReplace);
  void SelectEx(Integer x1, Integer y1, Integer x2, Integer y2, TIESelOp op, bool square);
  virtual void EndSelect();
  void DeSelect();
  bool GetSelected() const noexcept { return selected_; }
  Integer GetSelX1();
  Integer GetSelY1();
  Integer GetSelX2();
  Integer GetSelY2();
  TPoint GetPolySel(Integer index) const;
  Integer GetPolySelCount() const;
  TPoint* GetPolySelArray();
  bool IsPointInsideSelection(Integer x, Integer y);
  TIEMask* GetSelectionMask() const noexcept { return mask_.get(); }
  void ShowSelectionEx(bool redraw);
  void HideSelectionEx(bool repaint);
  bool GetVisibleSelection() const;
  void SetVisibleSelection(bool value);
  TIESelectionOptions GetSelectionOptions() const noexcept { return selectionOptions_; }
  void SetSelectionOptions(TIESelectionOptions value);

  // Ellipse of full width and height around (cx, cy).
  void SelectEllipse(Integer cx, Integer cy, Integer width, Integer height,
                     TIESelOp op = iespReplace);
  // The region of colours near the one at (x, y), by WandMode.
  void SelectMagicWand(Integer x, Integer y, TIESelOp op = iespReplace);
  virtual void AddSelPoint(Integer x, Integer y);
  void AddSelPointEx(Integer x, Integer y);
  void AddSelBreak();
  void AddSelBreakEx();
  void InvertSelection();
  // Grips: 0 top-left, 1 top-right, 2 bottom-right, 3 bottom-left, 4 left, 5 right,
  // 6 top, 7 bottom. Each answers the grip the drag holds afterwards.
  Integer SelectResizeEx(Integer grip, Integer x, Integer y, bool keepAspect);
  Integer SelectMoveEx(Integer grip, Integer dx, Integer dy);
  void MoveSelection(Integer dx, Integer dy);
  void SaveSelectionToStream(TStream* stream);
  // False, with the selection as it was, for another image size or a stream that
  // does not hold a whole, sound selection.
  bool LoadSelectionFromStream(TStream* stream);
  void SaveSelection();
  bool RestoreSelection();
  Integer GetSavedSelectionsCount() const noexcept {
    return static_cast<Integer>(savedSelections_.size());
  }
  void CopySelectionToBitmap(TBitmap* target);
  void AssignSelTo(TObject* target);
  void CopyFromPolygon(TBitmap* source, const TPoint* points, Integer count, TPoint p);
  void CopyToPolygon(TBitmap* target, const TPoint* points, Integer count, TPoint p);
  void DoSelectionChanging();
  void DoSelectionChange();
  void DoBeforeSelectionChange();

  TIEMagicWandMode WandMode = iewInclusive;
  Integer WandTolerance = 15;
  bool WandMaxFilter = false;
  // Rectangles square, ellipses round and polygon edges at 45-degree steps, as with Alt.
  bool ForceConstraint = false;

  TNotifyEvent OnSelectionChanging;
  TNotifyEvent OnSelectionChange;
  TNotifyEvent OnBeforeSelectionChange;
  TNotifyEvent OnMouseInSel;

  // --- Mouse and keyboard (dadiravview_input.cpp)
  virtual void SetMouseInteract(TIEMouseInteract value);
  TIEMouseInteract GetMouseInteract() const noexcept { return MouseInteract; }
  // Scrolls while a drag leaves the displayed image; true when it scrolled.
  bool MouseMoveScroll();
  virtual void SubMouseMoveScroll(Integer dx, Integer dy);
  bool GetPolySelecting() const noexcept { return polySelecting_; }
  bool GetLassoSelecting() const noexcept { return lassoSelecting_; }
  Integer GetResizingGripActive() const noexcept { return resizingGrip_; }
  Integer GetMovingGripActive() const noexcept { return movingGrip_; }

  // --- Animated polygons and grips (dadiravview_poly.cpp)
  TIEAnimPoly* AnimPolygonNew(TColor color1, TColor color2, bool animated, bool sizeable);
  void AnimPolygonDel(TIEAnimPoly* poly);
  void AnimPolygonClear(TIEAnimPoly* poly);
  void AnimPolygonAddPt(TIEAnimPoly* poly, Integer x, Integer y);
  void AnimPolygonAddPtEx(TIEAnimPoly* poly, Integer x, Integer y);
  void AnimPolygonAddBreak(TIEAnimPoly* poly);
  void AnimPolygonRemoveLast(TIEAnimPoly* poly);
  void AnimPolygonRemoveLastPoint(TIEAnimPoly* poly);
  void AnimPolygonMove(TIEAnimPoly* poly, Integer dx, Integer dy, Integer widthLimit,
                       Integer heightLimit, bool cutBorders);
  // Draws every outline and grip; a call from the timer advances the dashes. Also
  // runs the two countdowns.
  void AniPolyFunc(TObject* sender, bool immediate);
  void TimerEvent(TObject* sender);
  Integer GetResizingGrip(Integer x, Integer y, TShiftState shift);
  Integer GetMovingGrip(Integer x, Integer y, TShiftState shift);
  TColor GetSelColor1() const noexcept { return selColor1_; }
  TColor GetSelColor2() const noexcept { return selColor2_; }
  void SetSelColor1(TColor value);
  void SetSelColor2(TColor value);
  void SetSelectionGripStyle(TColor pen, TColor brush, TBrushStyle style, Integer halfSize,
                             bool extended);
  TIEAnimPoly* GetCurrentPolygon() const noexcept { return currentPoly_; }
  TTimer* GetAnimationTimer() const noexcept { return timer_; }
  Integer GetZoomFilterCountdown() const noexcept { return zoomFilterCountdown_; }
  Integer GetOutlineCountdown() const noexcept { return outlineCountdown_; }
  Integer GetOutlinePhase() const noexcept { return outlinePhase_; }

  void Dispatch(TMessage& message) override;

 protected:
  void Paint() override;
  void PaletteChanged();
  void MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) override;
  void MouseMove(TShiftState shift, Integer x, Integer y) override;
  void MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y) override;
  void KeyDown(Word& key, TShiftState shift) override;
  void KeyUp(Word& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  // The double click, the wheel and the arrow keys; true when the message was taken.
  bool InteractMessage(TMessage& message);

 private:
  // What the transition effects see of the view.
  class TransitionSite : public TIETransitionView {
   public:
    explicit TransitionSite(TDadirAvView* view) : view_(view) {}
    TCanvas* GetCanvas() override { return view_->GetCanvas(); }
    TColor GetBackground() const override { return view_->GetBackground(); }
    void LockPaint() override { view_->LockPaint(); }
    void NPUnLockPaint() override { view_->NPUnLockPaint(); }
    void Update() override { view_->Update(); }

   private:
    TDadirAvView* view_;
  };

  // Layout helpers.
  void SetupScrollBar(bool horizontal, Integer maxValue, Integer clientExtent);
  void ScrollMessage(bool horizontal, WPARAM request);
  void AfterOriginMove(bool horizontal, bool vertical);
  void PaintViewBackground(TCanvas* canvas, Integer areaWidth, Integer areaHeight);
  void PaintWholeBackground(TBitmap* target, const TRect* updateRect);
  void DrawPolygonDashes(TIEAnimPoly* poly);
  void DashLine(TIEAnimPoly* poly, Integer x1, Integer y1, Integer x2, Integer y2);
  void RepaintPolygons();
  // While a worker thread of the I/O component writes the store, nothing reads it.
  bool StoreBusy();

  // The image.
  TBitmap* legacyBitmap_ = nullptr;  // owned by layer 0's store when adopted
  std::unique_ptr<TBitmap> legacyOwned_;
  TIEBitmap* ieBitmap_ = nullptr;  // the current layer's bitmap
  std::vector<std::unique_ptr<TIELayer>> layers_;
  Integer currentLayer_ = 0;
  Integer layersWidth_ = 0;
  Integer layersHeight_ = 0;
  Integer lastWidth_ = 0;
  Integer lastHeight_ = 0;
  bool enableAlphaChannel_ = false;
  bool doubleBuffer_ = true;
  TDadirAvIO* io_ = nullptr;  // owned through the component tree
  TDadirAvProc* proc_ = nullptr;
  TIEProgressEvent onProgress_;
  TransitionSite transitionSite_{this};
  std::unique_ptr<TIETransitionEffects> transition_;
  TCursor viewCursor_ = 1785;

  // Geometry.
  double zoom_ = 100;
  double zoomD100_ = 1;
  double d100Zoom_ = 1;
  Integer viewX_ = 0;
  Integer viewY_ = 0;
  Integer offsetX_ = 0;
  Integer offsetY_ = 0;
  Integer extentX_ = 0;
  Integer extentY_ = 0;
  Integer zoomedWidth_ = 0;
  Integer zoomedHeight_ = 0;
  TScrollStyle scrollBars_ = ssBoth;
  bool scrollBarsAlwaysVisible_ = false;
  bool hScrollShown_ = false;
  bool vScrollShown_ = false;
  double hScrollFactor_ = 1;
  double vScrollFactor_ = 1;
  bool center_ = true;
  TResampleFilter zoomFilter_ = rfNone;
  TResampleFilter savedZoomFilter_ = rfNone;
  TIEBackgroundStyle backgroundStyle_ = iebsSolid;
  bool displayGrid_ = false;
  double halfPixel_ = 0.5;
  bool invalidateOnUpdate_ = true;
  bool updateNoPaint_ = false;
  bool inUpdate_ = false;
  std::unique_ptr<TIEScrollBarParams> hScrollParams_;
  std::unique_ptr<TIEScrollBarParams> vScrollParams_;
  std::unique_ptr<TIEMouseWheelParams> wheelParams_;

  // Painting.
  std::unique_ptr<TBitmap> backBuffer_;
  std::vector<Byte*> backRows_;
  bool backDirty_ = true;
  bool fullRepaint_ = true;
  Integer paintLock_ = 0;
  Integer srcX_ = 0, srcY_ = 0, srcWidth_ = 0, srcHeight_ = 0;
  Integer dstWidth_ = 0, dstHeight_ = 0;
  std::vector<Integer> scr2BmpX_, scr2BmpY_, bmp2ScrX_, bmp2ScrY_;
  Integer chessboardSize_ = 16;
  TBrushStyle chessboardStyle_ = bsSolid;
  HDRAWDIB drawDib_ = 0;
  Integer renderCount_ = 0;
  bool renderPending_ = false;  // a render was skipped while the store was busy

  // Selection.
  std::unique_ptr<TIEMask> mask_;
  bool selected_ = false;
  bool polySelecting_ = false;
  bool lassoSelecting_ = false;
  bool rectSelecting_ = false;
  bool circleSelecting_ = false;
  bool movingRect_ = false;
  bool autoScrolling_ = false;
  Integer resizingGrip_ = -1;
  Integer movingGrip_ = -1;
  TIESelectionOptions selectionOptions_{iesoAnimated, iesoSizeable, iesoMoveable, iesoCanScroll};
  bool delayOutline_ = true;
  TPoint lastMouse_{0, 0};

  // Mouse interaction and the saved selections.
  void ClampToImage(Integer& x, Integer& y) const;
  void PolyDraw1();
  void WheelMessage(TMessage& message);
  void DoubleClickMessage(TMessage& message);
  bool AltConstraint(TShiftState shift) const {
    return shift.Contains(ssAlt) || ForceConstraint;
  }
  TPoint downPoint_{0, 0};
  TPoint prevPoint_{0, 0};
  TPoint downOrigin_{0, 0};
  Integer downPolyCount_ = 0;
  Integer resizeBox_[4] = {0, 0, 0, 0};
  TCursor savedScreenCursor_ = 0;
  TResampleFilter mouseZoomFilter_ = rfNone;  // the zoom filter before the press
  bool mouseZoomFilterHeld_ = false;          // a press saved it
  std::vector<std::unique_ptr<TMemoryStream>> savedSelections_;

  // Polygons.
  std::vector<std::unique_ptr<TIEAnimPoly>> polygons_;
  TIEAnimPoly* currentPoly_ = nullptr;
  TTimer* timer_ = nullptr;  // owned through the component tree
  Integer outlinePhase_ = 0;
  Integer zoomFilterCountdown_ = 0;
  Integer outlineCountdown_ = 0;
  TColor selColor1_ = 0;
  TColor selColor2_ = 0xFFFFFF;
  TColor gripPen_ = 0;
  TColor gripBrush_ = 0xFFFFFF;
  TBrushStyle gripStyle_ = bsSolid;
  Integer gripSize_ = 5;
  bool extendedGrips_ = true;
};

#pragma pop_macro("KeyPress")
