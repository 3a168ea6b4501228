// Unit dadiravproc, continued: see dadiravproc.h. The processing component
// TDadirAvProc with its undo and redo stacks, and the transition effects.
#pragma once

#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "image/model/iedefs.h"
#include "image/model/ieview.h"
#include "image/proc/dadiravproc_basic.h"
#include "image/proc/dadiravproc_colour.h"
#include "image/proc/dadiravproc_filters.h"
#include "image/proc/dadiravproc_rotate.h"
#include "platform/rtl/Component.h"
#include "platform/vcl/Graphics.h"
#include "platform/win/WinTypes.h"

class TForm;
class TIEBitmap;
class TIEFtImage;
class TIEMask;
class TTimer;
enum class TIEFtImageType : Byte;

// ===========================================================================
// Processing component

// The pages the processing preview dialog may show; peAll shows every one.
enum class TPreviewEffect : Byte {
  peAll, peContrast, peHSV, peHSL, peRGB, peUserFilt, peEqualize, peBumpMap, peLens, peWave,
  peMorph, peRotate, peFFT
};
using enum TPreviewEffect;
using TPreviewEffects = TSet<TPreviewEffect>;
// Options of the preview dialog: "Lock preview" down when it opens.
enum class TPRPreviewsParamsItems : Byte { prppDefaultLockPreview };
using enum TPRPreviewsParamsItems;
using TPRPreviewsParams = TSet<TPRPreviewsParamsItems>;
// Called with the dialog just before it is shown.
using TIEPreviewEvent = std::function<void(TObject* sender, TForm* previewForm)>;

// The kind of an undo or redo entry.
enum class TIEUndoSource : Byte { ieuUnknown, ieuImage, ieuSelection };
using enum TIEUndoSource;

// Works on the pixels of one holder: its own store (at creation), a caller's
// framework bitmap (wrapped without copying) or a caller's pixel store (borrowed).
// Every changing operation runs one frame: find the store, check the format, record
// an undo entry, limit the work to the selection, run the worker, Update.
class TDadirAvProc : public TComponent, private TIEViewAttachment {
 public:
  LARK_CLASS_NAME(TDadirAvProc)
  // The worker of an operation: the store and the rectangle (right, bottom exclusive).
  using TRectWorker =
      std::function<void(TIEBitmap* bitmap, Integer x1, Integer y1, Integer x2, Integer y2)>;

  explicit TDadirAvProc(TComponent* owner);
  ~TDadirAvProc() override;
  TDadirAvProc(const TDadirAvProc&) = delete;
  TDadirAvProc& operator=(const TDadirAvProc&) = delete;

  // --- Attachment
  // The framework bitmap the store wraps, or null.
  TBitmap* GetAttachedBitmap() const noexcept { return attachedBitmap_; }
  // The component's own store wraps bitmap (pf24bit or pf1bit) without copying; the
  // bitmap must outlive its use here. A borrowed store is left to its owner: the
  // component makes a store of its own first. Null releases the wrapped pixels and
  // forgets the bitmap.
  void SetAttachedBitmap(TBitmap* bitmap);
  // The store the operations work on.
  TIEBitmap* GetAttachedIEBitmap() const noexcept { return ieBitmap_; }
  // Works on a view's image (its store, or an own store over its framework
  // bitmap), limited by the view's selection; follows the view when it replaces its
  // store and forgets it when it goes. null releases the working store's pixels.
  void SetAttachedDadirAv(TIEView* view);
  TIEView* GetAttachedDadirAv() const noexcept { return view_; }
  void Notification(TComponent* component, TOperation operation) override;
  // Borrows bitmap; null leaves the component without a store (operations then do
  // nothing).
  void SetAttachedIEBitmap(TIEBitmap* bitmap);
  // Forgets the attached framework bitmap, frees an owned store and borrows bitmap.
  void SetIEBitmap(TIEBitmap* bitmap);
  TIEBitmap* GetIEBitmap() const noexcept { return ieBitmap_; }

  // --- Properties
  bool GetAutoUndo() const noexcept { return autoUndo_; }
  void SetAutoUndo(bool value) noexcept { autoUndo_ = value; }
  // The colour for vacated or cleared pixels.
  // With a view attached, the view's background.
  TColor GetReBackground() const noexcept {
    return view_ != nullptr ? view_->GetBackground() : background_;
  }
  void SetReBackground(TColor value) {
    if (view_ != nullptr)
      view_->SetBackGround(value);
    else
      background_ = value;
  }
  TColor GetBackground() const noexcept { return GetReBackground(); }
  void SetBackground(TColor value) { SetReBackground(value); }
  TMsgLanguage GetMsgLanguage() const noexcept { return msgLanguage_; }
  void SetMsgLanguage(TMsgLanguage value) noexcept { msgLanguage_ = value; }
  TFont* GetPreviewFont() const noexcept { return previewFont_.get(); }
  // Copies font into the component's own.
  void SetPreviewFont(TFont* font);

  // Progress in percent, handed to every worker with this component as sender.
  TIEProgressEvent OnProgress;
  TPRPreviewsParams GetPreviewsParams() const noexcept { return previewsParams_; }
  void SetPreviewsParams(TPRPreviewsParams value) noexcept { previewsParams_ = value; }
  TIEPreviewEvent OnPreview;

  // --- The processing preview dialog on the selection's box (ie24RGB images larger
  // than 1 x 1): true when the person pressed OK and the adjustment was applied.
  bool DoPreviews(TPreviewEffects effects = TPreviewEffects{peAll});

  // --- Selection and repaint
  // The box and mask an operation works on: x1 = y1 = 0, x2, y2 = the store's size,
  // no polygon and no mask; false when there is no selection.
  virtual bool GetReSel(Integer& x1, Integer& y1, Integer& x2, Integer& y2, POINT*& polySel,
                        Integer& polySelCount, TIEMask*& mask);
  // Tells the holder that the image changed (an attached framework bitmap is
  // marked modified).
  virtual void Update();

  // --- Undo and redo (entries count from the newest unless said otherwise)
  virtual void SaveUndo(TIEUndoSource source = ieuImage);
  void SaveUndoCaptioned(const AnsiString& caption, TIEUndoSource source = ieuImage);
  virtual void Undo();
  // Restores entry i without removing it; a negative i raises EListError.
  virtual void UndoAt(Integer i);
  virtual void SaveRedo(TIEUndoSource source = ieuImage);
  void SaveRedoCaptioned(const AnsiString& caption, TIEUndoSource source = ieuImage);
  virtual void ClearRedo();
  virtual void Redo();
  virtual void RedoAt(Integer i);
  // Kind of entry i counted from the oldest; ieuUnknown outside the stack.
  TIEUndoSource UndoPeekAt(Integer i) const;
  TIEUndoSource RedoPeekAt(Integer i) const;
  // Drops the newest entry.
  void ClearUndo();
  void ClearUndoAt(Integer i);
  void ClearAllUndo();
  void ClearAllRedo();
  bool GetCanUndo() const noexcept { return !undo_.empty(); }
  Integer GetUndoCount() const noexcept { return static_cast<Integer>(undo_.size()); }
  Integer GetRedoCount() const noexcept { return static_cast<Integer>(redo_.size()); }
  // Empty outside the stack; writing there is ignored.
  AnsiString GetUndoCaptions(Integer i) const;
  void SetUndoCaptions(Integer i, const AnsiString& caption);
  AnsiString GetRedoCaptions(Integer i) const;
  // Most entries per stack; a push first drops the oldest ones. Below 1 acts as 1.
  Integer GetUndoLimit() const noexcept { return undoLimit_; }
  void SetUndoLimit(Integer value) noexcept { undoLimit_ = value; }
  TIELocation GetUndoLocation() const noexcept { return undoLocation_; }
  void SetUndoLocation(TIELocation value) noexcept { undoLocation_ = value; }

  // --- Operations over the geometry, histogram and black-and-white workers
  // Mirrors the whole image (ie24RGB, ie1g); no undo entry, selection ignored.
  void Flip(TFlipDir dir);
  // Changes the canvas size, the old pixels at the alignment, new ones Background.
  void ImageResize(Integer newWidth, Integer newHeight, TIEHAlign horizontal = iehLeft,
                   TIEVAlign vertical = ievTop);
  void HistAutoEqualize();
  void HistEqualize(TRGB lowLimit, TRGB highLimit);
  // Measures of the selection's bounding box; no undo entry, no Update.
  void GetHistogram(PHistogram hist);
  Integer CalcImageNumColors();
  void CalcDensityHistogram(Integer* rowDensity, Integer* columnDensity, Integer rowScale,
                            Integer columnScale);
  // New images of the whole picture (null unless ie24RGB); the caller owns them.
  std::unique_ptr<TIEBitmap> GetRGBChannel(Integer channel);
  std::unique_ptr<TIEBitmap> GetHSVChannel(Integer channel);
  void GetRGBChannelAll(TIEBitmap* r, TIEBitmap* g, TIEBitmap* b);
  void GetHSVChannelAll(TIEBitmap* h, TIEBitmap* s, TIEBitmap* v);
  // ie24RGB into ie1g, whole image.
  void ConvertToBWOrdered();
  void ConvertToBWThreshold(Integer threshold);
  // ie1g into ie24RGB, whole image.
  void ConvertTo24Bit();

  // --- Point colour operations (selection-limited)
  void HSLvar(Integer hueOffset, Integer satOffset, Integer lumOffset);
  void HSVvar(Integer hueOffset, Integer satOffset, Integer valOffset);
  // Around the mean colour of the whole image; images of 1 x 1 are left alone.
  void Contrast(Integer amount);
  void IntensityRGBall(Integer r, Integer g, Integer b);
  void Negative();
  void ConvertToGray();
  void Fill(TRGB fillColor);
  void GammaCorrect(double gamma, TIEChannels channels);

  // --- Palette reduction (whole image)
  // Below 3 colours: black and white (ie1g); 3 to 1024: quantized; more: unchanged.
  void ConvertTo(Integer numColors, TIEDitherMethod ditherMethod);
  // As ConvertTo, writing the colours into palette (numColors entries); 0 colours
  // does nothing at all.
  void ConvertToPalette(Integer numColors, TRGB* palette, TIEDitherMethod ditherMethod);
  // ie24RGB: fills palette (maxCol entries) with the image's colours; no change.
  void CalcImagePalette(TRGB* palette, Integer maxCol);

  // --- Geometry (whole image)
  // -1 for one side keeps the aspect ratio from the other argument, 0 keeps that
  // side, other negatives count by their absolute value; sizes below 1 become 1.
  // Both negative: nothing (after the undo entry). Palette images given a filter
  // other than rfNone are resampled in 24 bits and stay so.
  void Resample(Integer newWidth, Integer newHeight, TResampleFilter filter = rfFastLinear);
  // Counter-clockwise degrees; background -1 is Background. The alpha channel turns
  // with the image, its uncovered corners transparent.
  void Rotate(double angle, bool antialias = true, TIEAntialiasMode mode = ierBilinear,
              TColor background = -1);

  // --- Distortion effects (selection-limited; coordinates relative to the box)
  void Lens(Integer x, Integer y, Integer width, Integer height, double refraction);
  void Wave(Integer amplitude, Integer wavelength, Integer phase, bool reflective);
  void BumpMapping(Integer lightX, Integer lightY, Integer extentX, Integer extentY,
                   Integer level, TRGB colour);

  // --- Edges and skew (whole image)
  // ie24RGB: the image becomes its 1-bit edge map.
  void EdgeDetect_ShenCastan(double ratio, double smoothing, Integer windowSize,
                             Integer thinFactor, bool hysteresis);
  // The skew of the page in degrees, on a copy shrunk to resampleWidth columns (below
  // 1 or equal to the width: the full size), edge-detected first when edgeDetect.
  // The image does not change; no undo entry.
  double SkewDetection(Integer resampleWidth, Integer angleRange, double precision,
                       bool edgeDetect);

  // --- Shadow and marks
  // Every pixel format; the whole image.
  void AddSoftShadow(double radius, Integer offsetX, Integer offsetY);
  // One-pixel dots every spacing + 1 pixels from the box's top-left corner (ie24RGB;
  // the undo entry is made for any format). A negative spacing counts as 0.
  void PaintMark(Integer spacing, TRGB colour);
  // Repaints with paintColour the pixels near referenceColour (largest channel
  // difference at most tolerance) on rings around (x, y) up to width div 2; ie24RGB
  // only, no undo entry.
  void PaintPenMarker(Integer x, Integer y, Integer width, TColor paintColour,
                      TColor referenceColour, Integer tolerance);

  // --- Fourier transform (whole image, no undo entry)
  // A transform of the ie24RGB image, or of a copy stretched to newWidth x
  // newHeight (one side negative keeps the aspect ratio; both negative: the image
  // itself). Null for other formats, sizes that come out below 1 and images whose
  // square would pass TIEFtImage::kMaxSize.
  std::unique_ptr<TIEFtImage> FTCreateImage(TIEFtImageType imageType, Integer newWidth,
                                            Integer newHeight);
  // The inverse transform, or the spectrum, becomes the image.
  void FTConvertFrom(TIEFtImage* ft);
  void FTDisplayFrom(TIEFtImage* ft);

  // --- Clipboard (CF_DIB) and selection editing
  // The image, or the selection, as a 24-bit or 1-bit DIB; other formats put
  // nothing on the clipboard.
  void CopyToClipboard();
  void SelCopyToClip();
  // The selection to the clipboard, then its pixels take Background; nothing without
  // a selection.
  void SelCutToClip();
  // The clipboard's DIB replaces the image, is copied to (x, y), or is stretched into
  // the selection box. Without a readable DIB nothing changes and no undo entry is
  // made.
  void PasteFromClipboard();
  void PointPasteFromClip(Integer x, Integer y);
  void SelPasteFromClipStretch();
  // The whole image, or the selected pixels, take Background.
  void Clear();
  void ClearSel();
  // The image becomes the selection box, unselected pixels Background.
  void CropSel();

  // --- Colour ranges, thresholds, transparency and merge (selection-limited)
  void CastColorRange(TRGB rangeLow, TRGB rangeHigh, TRGB newColor);
  void Threshold(TRGB lowLimit, TRGB highLimit, TRGB lowColor, TRGB highColor);
  // ie24RGB and ie1g; with a selection only the selected pixels' alpha changes.
  void SetTransparentColors(TRGB rangeLow, TRGB rangeHigh, Integer alpha);
  // percent is the weight of this image; source is stretched to the image or box.
  void MergeIEBitmap(TIEBitmap* source, Integer percent);
  void Merge(TBitmap* source, Integer percent);

  // --- Filters (selection-limited)
  void ApplyFilter(const TGraphFilter& filter);
  void ApplyFilterPreset(TIEFilterPresets preset);
  // ie24RGB and ie8g.
  void Blur(double radius);
  // Grey-keyed dilation, erosion, opening and closing over (2 winSize + 1)^2.
  void Maximum(Integer winSize);
  void Minimum(Integer winSize);
  void Opening(Integer winSize);
  void Closing(Integer winSize);
  // ie1g only; other formats, maxCount 0 or iterations 0 do nothing (no undo entry).
  void RemoveIsolatedPixels(Integer color, Integer maxCount);
  void RemoveNoise(Integer iterations, bool invert);

  // --- Hidden data in the lowest bits of an ie24RGB image
  // Bytes of data the image can hide (0 for other formats).
  Integer GetHiddenDataSpace();
  // Hides length bytes; 0 and no change for other formats, a negative length or
  // more than GetHiddenDataSpace. Answers length.
  Integer WriteHiddenData(const Byte* data, Integer length);
  Integer WriteHiddenText(const AnsiString& text);
  // The stored length, copying at most maxLen bytes into buffer (which may be null).
  // 0 when the image holds no hidden block (a header that is not ours, or a length
  // beyond the space).
  Integer ReadHiddenData(Byte* buffer, Integer maxLen);
  AnsiString ReadHiddenText();

  // --- Comparison with another ie24RGB store of the same size; false (the values
  // untouched) otherwise. True when both are identical.
  bool ComputeImageEquality(TIEBitmap* other, double& minPSNR, double& maxPSNR, double& minMSE,
                            double& maxMSE, double& minRMSE, double& maxRMSE, double& minMaxDiff,
                            double& maxMaxDiff, double& minMAE, double& maxMAE);

 protected:
  // The operation frame: false when the operation did nothing (no store, or a
  // format other than ie24RGB when only24). The worker sees the whole store, or a
  // copy of the selection box pasted back through the mask.
  bool RunFrame(const AnsiString& caption, bool only24, const TRectWorker& worker);
  // Steps 1 and 2 of the frame: false without a store.
  bool PrepareStore();
  // A progress record carrying OnProgress with this component as sender.
  TProgressRec MakeProgressRec();

 private:
  // Pushes onto one stack, dropping the oldest entries over the limit.
  void Push(std::vector<std::unique_ptr<TIEBitmap>>& entries, std::vector<AnsiString>& captions,
            std::unique_ptr<TIEBitmap> entry);
  bool SaveEntry(std::vector<std::unique_ptr<TIEBitmap>>& entries,
                 std::vector<AnsiString>& captions, TIEUndoSource source);
  void RestoreEntry(std::vector<std::unique_ptr<TIEBitmap>>& entries, Integer i);
  // Re-reads the attached framework bitmap's size and format.
  void Rewrap();
  void ReplaceStore(TIEBitmap* borrowed);

  bool autoUndo_ = true;
  TColor background_ = 0;
  TMsgLanguage msgLanguage_ = msSystem;
  std::unique_ptr<TFont> previewFont_;
  TPRPreviewsParams previewsParams_;
  // The attached view replaced its store: take the new one.
  void ViewStoreReplaced() override;

  TIEBitmap* ieBitmap_ = nullptr;
  std::unique_ptr<TIEBitmap> ownedStore_;  // set when ieBitmap_ is the component's own
  std::vector<std::unique_ptr<TIEBitmap>> undo_;  // oldest first
  std::vector<AnsiString> undoCaptions_;
  TIELocation undoLocation_ = ieFile;
  Integer undoLimit_ = 1;
  std::vector<std::unique_ptr<TIEBitmap>> redo_;
  std::vector<AnsiString> redoCaptions_;
  TBitmap* attachedBitmap_ = nullptr;
};

// ===========================================================================
// Transition effects

enum class TIETransitionType : Byte {
  iettNone, iettCrossDissolve, iettFadeOut, iettFadeIn, iettFadeOutIn,
  iettLeftRight1, iettLeftRight2, iettRightLeft1, iettRightLeft2,
  iettUpDown1, iettUpDown2, iettDownUp1, iettDownUp2,
  iettFromUpLeft, iettFromUpRight, iettFromBottomLeft, iettFromBottomRight,
  iettMoveLeftRight1, iettMoveLeftRight2, iettMoveRightLeft1, iettMoveRightLeft2,
  iettMoveUpDown1, iettMoveUpDown2, iettMoveDownUp1, iettMoveDownUp2,
  iettRandomPoints, iettRandomBoxes, iettCenter1, iettCenter2, iettCenterZoom1, iettCenterZoom2
};

// What a transition needs of the view it draws on. A view that is a TComponent also
// owns the transition's timer.
class TIETransitionView {
 public:
  virtual ~TIETransitionView() = default;
  virtual TCanvas* GetCanvas() = 0;
  virtual TColor GetBackground() const = 0;
  virtual void LockPaint() = 0;
  // Releases the paint lock without repainting.
  virtual void NPUnLockPaint() = 0;
  virtual void Update() = 0;
};

// Animates the change from SourceShot to TargetShot on the view's canvas: a 1 ms
// timer draws one frame per tick at step 0..1024 of Duration.
class TIETransitionEffects : public TObject {
 public:
  LARK_CLASS_NAME(TIETransitionEffects)
  explicit TIETransitionEffects(TIETransitionView* view);
  ~TIETransitionEffects() override;
  TIETransitionEffects(const TIETransitionEffects&) = delete;
  TIETransitionEffects& operator=(const TIETransitionEffects&) = delete;

  // Stops, then sizes the three bitmaps.
  void SetSizes(Integer width, Integer height);
  void Run(bool updateOnStop);
  void Stop();
  void TimerEvent(TObject* sender);

  TBitmap* GetSourceShot() const noexcept { return sourceShot_.get(); }
  TBitmap* GetTargetShot() const noexcept { return targetShot_.get(); }
  TBitmap* GetCurrentFrame() const noexcept { return currentFrame_.get(); }
  bool GetRunning() const noexcept { return running_; }
  TIETransitionType GetTransition() const noexcept { return transition_; }
  void SetTransition(TIETransitionType value) noexcept { transition_ = value; }
  // Milliseconds; 0 or less ends a transition at its first frame.
  Integer GetDuration() const noexcept { return duration_; }
  void SetDuration(Integer value) noexcept { duration_ = value; }
  // The step of the next frame, 0..1024.
  Integer GetStep() const noexcept { return step_; }

  // One method per kind: composes CurrentFrame at step, from the row tables that Run
  // builds (before Run, or after Stop, the per-pixel kinds draw nothing).
  void CrossDissolve(Integer step);
  void FadeOut(Integer step);
  void FadeIn(Integer step);
  void FadeOutIn(Integer step);
  void LeftRight1(Integer step);
  void LeftRight2(Integer step);
  void RightLeft1(Integer step);
  void RightLeft2(Integer step);
  void UpDown1(Integer step);
  void UpDown2(Integer step);
  void DownUp1(Integer step);
  void DownUp2(Integer step);
  void FromUpLeft(Integer step);
  void FromUpRight(Integer step);
  void FromBottomLeft(Integer step);
  void FromBottomRight(Integer step);
  void MoveLeftRight1(Integer step);
  void MoveLeftRight2(Integer step);
  void MoveRightLeft1(Integer step);
  void MoveRightLeft2(Integer step);
  void MoveUpDown1(Integer step);
  void MoveUpDown2(Integer step);
  void MoveDownUp1(Integer step);
  void MoveDownUp2(Integer step);
  void RandomPoints(Integer step);
  void RandomBoxes(Integer step);
  void Center1(Integer step);
  void Center2(Integer step);
  void CenterZoom1(Integer step);
  void CenterZoom2(Integer step);

 private:
  void DrawStep(Integer step);
  // The row tables of Run match the bitmaps (the row kinds draw nothing otherwise).
  bool RowsReady() const {
    return height_ > 0 && frameRows_.size() == static_cast<size_t>(height_);
  }
  // Blends a and b channel by channel with weights 1024 - step and step.
  void Blend(const std::vector<Byte*>& a, const std::vector<Byte*>& b, Integer step);
  void BlendColor(const std::vector<Byte*>& rows, TRGB color, Integer step, bool colorFirst);
  // Copies width x height of src at (sx, sy) to the frame at (dx, dy), clipped.
  void Blit(TBitmap* src, Integer dx, Integer dy, Integer width, Integer height, Integer sx,
            Integer sy);
  void SourceFirst(Integer step);
  void RedLine(Integer x1, Integer y1, Integer x2, Integer y2);
  // The centred rectangle of Center1 at step.
  TRect CenterRect(Integer step) const;

  TIETransitionView* view_;
  std::unique_ptr<TBitmap> sourceShot_;
  std::unique_ptr<TBitmap> targetShot_;
  std::unique_ptr<TBitmap> currentFrame_;
  std::vector<Byte*> sourceRows_;
  std::vector<Byte*> targetRows_;
  std::vector<Byte*> frameRows_;
  Integer width_ = 1;
  Integer height_ = 1;
  bool running_ = false;
  TTimer* timer_ = nullptr;  // owned by the view when it is a component
  Integer step_ = 0;
  Integer drawnCount_ = 0;
  TIETransitionType transition_ = TIETransitionType::iettNone;
  Integer duration_ = 1000;
  DWORD startTick_ = 0;
  bool updateOnStop_ = false;
  std::minstd_rand random_{12345};
};
