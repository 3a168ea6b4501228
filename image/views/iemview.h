// TDadirAvMView: a scrollable grid of thumbnails, or one image at a time.
//
// One record per image; the pixels of loaded images live in an image store backed by
// a temporary mapped file (TIEVirtualDIBList), display-size copies in a second store.
// Images are given as pixel stores, framework bitmaps, rectangles of bitmaps, file
// names (loaded when their cell first becomes visible, synchronously or by a pool of
// background loads) or application IDs (asked for through OnImageIDRequest).
//
// Threads: the GUI thread paints and edits; a starter thread feeds background loads
// from a request queue, and each load finishes on a thread of its own. Everything
// they share (the queue, the running loads, the records and the stores) is guarded
// by the library lock gThreadCS. A background load names its image by record, not by
// index, so inserting, deleting or moving images while loads run never lands a load
// in another image; a load whose image was deleted is thrown away.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/model/ieutils.h"
#include "image/model/ieview.h"
#include "image/model/ievirtualdiblist.h"
#include "platform/rtl/Thread.h"
#include "platform/vcl/Graphics.h"
#include "platform/vcl/StdCtrls.h"

class TDadirAvIO;
class TDadirAvMIO;
class TDadirAvMView;
class TDadirAvProc;
class TIETransitionEffects;
enum class TIETransitionType : Byte;

enum class TIEStoreType : Byte { ietNormal, ietThumb };
using enum TIEStoreType;
enum class TIEMDisplayMode : Byte { mdGrid, mdSingle };
using enum TIEMDisplayMode;
enum class TIEMMouseInteractItem : Byte { mmiScroll, mmiSelect };
using enum TIEMMouseInteractItem;
using TIEMMouseInteract = TSet<TIEMMouseInteractItem>;
enum class TIEMKeyInteractItem : Byte { mkiMoveSelected };
using enum TIEMKeyInteractItem;
using TIEMKeyInteract = TSet<TIEMKeyInteractItem>;
enum class TIEMStyle : Byte { iemsFlat, iemsACD };
using enum TIEMStyle;
enum class TIESStyle : Byte { iessAround, iessACD };
using enum TIESStyle;
enum class TIEMultiSelectionOptionsItem : Byte { iemoRegion };
using enum TIEMultiSelectionOptionsItem;
using TIEMultiSelectionOptions = TSet<TIEMultiSelectionOptionsItem>;
enum class TIEWallPaperStyle : Byte { iewoNormal, iewoStretch, iewoTile };
using enum TIEWallPaperStyle;
enum class TIEMTextPos : Byte { iemtpTop, iemtpBottom, iemtpInfo };
using enum TIEMTextPos;
enum class TIESeek : Byte { iskLeft, iskRight, iskUp, iskDown, iskFirst, iskLast, iskPagDown, iskPagUp };
using enum TIESeek;

// What GetLastOp reports: the list operation that last changed the image order.
inline constexpr Integer kIELastOpNone = 0;
inline constexpr Integer kIELastOpInsert = 1;
inline constexpr Integer kIELastOpDelete = 2;
inline constexpr Integer kIELastOpMove = 3;  // from GetLastOpParam to GetLastOpIdx

using TViewChangeEvent = std::function<void(TObject* Sender, Integer Change)>;
using TIEImageIDRequestEvent = std::function<void(TObject* Sender, Integer ID, TBitmap*& Bitmap)>;
using TIEImageDrawEvent =
    std::function<void(TObject* Sender, Integer idx, Integer Left, Integer Top, TCanvas* Canvas)>;
using TIEImageSelectEvent = std::function<void(TObject* Sender, Integer idx)>;
using TIEMProgressEvent = std::function<void(TObject* Sender, Integer per, Integer idx)>;
using TIEWrongImageEvent =
    std::function<void(TObject* Sender, TIEBitmap* OutBitmap, Integer idx, bool& Handled)>;

// A caption of a cell: at the top, at the bottom, or above the bottom (info).
class TIEMText : public TObject {
 public:
  LARK_CLASS_NAME(TIEMText)
  TIEMText(TComponent* owner, TIEMTextPos position);
  ~TIEMText() override;
  TIEMText(const TIEMText&) = delete;
  TIEMText& operator=(const TIEMText&) = delete;

  // Makes room for the text in the owner grid's gaps, then stores it.
  void SetCaption(const AnsiString& text);
  const AnsiString& GetCaption() const noexcept { return caption_; }
  TFont* GetFont() const noexcept { return font_.get(); }
  TColor Background = kIEBtnFace;
  TIEMTextPos GetPosition() const noexcept { return position_; }

 private:
  AnsiString caption_;
  std::unique_ptr<TFont> font_;
  TComponent* owner_;
  TIEMTextPos position_;
};

// One image of the grid.
struct TIEImageInfo {
  PIEVirtualImageInfo image = nullptr;       // pixels in the image store, null until loaded
  PIEVirtualImageInfo cacheImage = nullptr;  // display-size copy, null when none
  Integer X = 0, Y = 0;                      // cell's top-left in content coordinates
  Integer Row = 0, Col = 0;
  TColor Background = kIEBtnFace;
  AnsiString FileName;                       // empty when none
  Integer ID = -1;
  Integer DelayTime = 0;                     // ms, when frames are played
  std::unique_ptr<TIEMText> TopText, BottomText, InfoText;
  // Set when a load of this image failed (the cell shows the placeholder).
  bool Corrupted = false;
};

class TIEStarter;

// One background load: its input/output component (which runs the load on a thread
// of its own), the picture it fills, and the record it loads. state is 0 while it
// runs, -1 once finished, -2 once told to stop; record becomes null when the image
// went away meanwhile.
struct TIEGridLoader {
  TDadirAvIO* io = nullptr;
  TIEBitmap* bitmap = nullptr;
  TIEImageInfo* info = nullptr;
  AnsiString fileName;
  Integer state = 0;
};

class TDadirAvMView : public TIEView {
 public:
  LARK_CLASS_NAME(TDadirAvMView)
  explicit TDadirAvMView(TComponent* owner);
  ~TDadirAvMView() override;

  // --- Image list and store
  Integer InsertImage(Integer idx);
  Integer InsertImageEx(Integer idx);
  Integer AppendImage() { return InsertImage(GetImageCount()); }
  bool DeleteImageNU(Integer idx);
  void DeleteImage(Integer idx);
  void DeleteSelectedImages();
  void MoveImage(Integer idx, Integer newIdx);
  void Clear();
  void SetIEBitmapEx(Integer idx, TIEBaseBitmap* bitmap);
  void SetIEBitmap(Integer idx, TIEBaseBitmap* bitmap);
  void SetImageEx(Integer idx, TBitmap* bitmap);
  void SetImage(Integer idx, TBitmap* bitmap);
  void SetImageRect(Integer idx, TBitmap* bitmap, Integer x1, Integer y1, Integer x2, Integer y2);
  // Null or false for an index out of range.
  TBitmap* GetBitmap(Integer idx);
  void ReleaseBitmap(Integer idx);
  bool CopyToIEBitmap(Integer idx, TIEBitmap* bitmap);
  Integer GetImageCount() const;
  Integer GetImageWidth(Integer idx);
  Integer GetImageHeight(Integer idx);
  Integer GetImageBitCount(Integer idx);
  Integer GetImageOriginalWidth(Integer idx);
  Integer GetImageOriginalHeight(Integer idx);
  void SetImageOriginalWidth(Integer idx, Integer value);
  void SetImageOriginalHeight(Integer idx, Integer value);
  Integer GetImageX(Integer idx) const;
  Integer GetImageY(Integer idx) const;
  Integer GetImageRow(Integer idx) const;
  Integer GetImageCol(Integer idx) const;
  void SetImageFileName(Integer idx, const AnsiString& name);
  AnsiString GetImageFileName(Integer idx) const;
  void SetImageID(Integer idx, Integer id);
  Integer GetImageID(Integer idx) const;
  void SetImageBackground(Integer idx, TColor color);
  TColor GetImageBackground(Integer idx) const;
  void SetImageDelayTime(Integer idx, Integer ms);
  Integer GetImageDelayTime(Integer idx) const;
  bool IsImageLoaded(Integer idx) const;
  void PrepareSpaceFor(Integer width, Integer height, Integer bitCount, Integer count);
  void SetImageCacheSize(Integer n);
  Integer GetImageCacheSize() const noexcept { return imageCacheSize_; }
  Integer GetLastOp();
  Integer GetLastOpIdx() const noexcept { return lastOpIdx_; }
  // For a move: where the image came from.
  Integer GetLastOpParam() const noexcept { return lastOpParam_; }
  void ClearImageCache(Integer idx);
  void ClearCache();
  void SetEnableImageCaching(bool value);
  bool GetEnableImageCaching() const noexcept { return enableImageCaching_; }
  void SetEnableResamplingOnMinor(bool value);
  TIEVirtualDIBList* GetImageStore() const noexcept { return store_.get(); }
  TIEVirtualDIBList* GetCacheStore() const noexcept { return cache_.get(); }
  bool HasCacheImage(Integer idx) const;

  // --- Properties
  TScrollStyle GetScrollBars() const noexcept { return scrollBars_; }
  virtual void SetScrollBars(TScrollStyle value);
  TIEStoreType StoreType = ietNormal;
  Integer GetThumbWidth() const noexcept { return thumbWidth_; }
  Integer GetThumbHeight() const noexcept { return thumbHeight_; }
  // Values of 0 or below are refused.
  void SetThumbWidth(Integer value);
  void SetThumbHeight(Integer value);
  Integer GetHorizBorder() const noexcept { return horizBorder_; }
  Integer GetVertBorder() const noexcept { return vertBorder_; }
  // Negative values are refused.
  void SetHorizBorder(Integer value);
  void SetVertBorder(Integer value);
  Integer BottomGap = 0;
  Integer UpperGap = 0;
  TIEMDisplayMode GetDisplayMode() const noexcept { return displayMode_; }
  void SetDisplayMode(TIEMDisplayMode mode);
  Integer GetGridWidth() const noexcept { return gridWidth_; }
  void SetGridWidth(Integer value);
  bool GetVisibleSelection() const noexcept { return visibleSelection_; }
  void SetVisibleSelection(bool value);
  Integer GetSelectionWidth() const noexcept { return selectionWidth_; }
  void SetSelectionWidth(Integer value);
  TColor GetSelectionColor() const noexcept { return selectionColor_; }
  void SetSelectionColor(TColor value);
  TIEMMouseInteract GetMouseInteract() const noexcept { return mouseInteract_; }
  virtual void SetMouseInteract(TIEMMouseInteract value) { mouseInteract_ = value; }
  TIEMKeyInteract GetKeyInteract() const noexcept { return keyInteract_; }
  virtual void SetKeyInteract(TIEMKeyInteract value) { keyInteract_ = value; }
  bool RemoveCorrupted = false;
  bool DrawImageBackground = false;
  TIEMStyle Style = iemsACD;
  TIESStyle GetSelectionStyle() const noexcept { return selectionStyle_; }
  void SetSelectionStyle(TIESStyle value);
  TColor ThumbnailsBackground = kIEBtnFace;
  bool GetEnableMultiSelect() const noexcept { return enableMultiSelect_; }
  void SetEnableMultiSelect(bool value);
  TIEMultiSelectionOptions MultiSelectionOptions;
  Integer ThumbnailsBorderWidth = 0;
  TColor ThumbnailsBorderColor = kIEBtnFace;
  TPicture* GetWallPaper() const noexcept { return wallPaper_.get(); }
  void SetWallPaper(TPicture* picture);
  TIEWallPaperStyle WallPaperStyle = iewoNormal;
  Integer GetThreadPoolSize() const noexcept { return threadPoolSize_; }
  // Negative values count as 0 (loads on the GUI thread).
  void SetThreadPoolSize(Integer value);
  bool ScrollBarsAlwaysVisible = false;
  TResampleFilter ThumbnailResampleFilter = rfFastLinear;
  // Run by SetVisibleFrame between the frame shown and the next one (iettNone: none).
  TIETransitionType TransitionEffect{};
  Integer TransitionDuration = 1000;  // ms
  TIEScrollBarParams* GetHScrollBarParams() const noexcept { return hScrollParams_.get(); }
  TIEScrollBarParams* GetVScrollBarParams() const noexcept { return vScrollParams_.get(); }
  void SetBackGround(TColor value) override;

  TViewChangeEvent OnViewChange;
  TIEImageIDRequestEvent OnImageIDRequest;
  TIEImageDrawEvent OnBeforeImageDraw;
  TIEImageDrawEvent OnImageDraw;
  TIEImageSelectEvent OnImageSelect;
  TIEProgressEvent OnIOProgress;
  TIEMProgressEvent OnDrawProgress;
  TIEWrongImageEvent OnWrongImage;

  // --- The grid's own components, made on first use, owned by the grid and attached
  // to it; both report through OnProgress. The multi-image input/output component
  // keeps one parameter entry per image; the processing component works on the
  // selected image.
  TDadirAvMIO* GetDadirAvMIO();
  TDadirAvProc* GetDadirAvProc();
  virtual void SetOnProgress(TIEProgressEvent value);
  virtual TIEProgressEvent GetOnProgress() const { return onProgress_; }

  // --- Layout and scrolling
  void UpdateCoords();
  void Update() override;
  Integer GetViewX() const noexcept { return viewX_; }
  Integer GetViewY() const noexcept { return viewY_; }
  void SetViewX(Integer x);
  void SetViewY(Integer y);
  void SetViewXY(Integer x, Integer y);
  Integer GetMaximumViewX();
  Integer GetMaximumViewY();
  Integer GetContentWidth() const noexcept { return contentWidth_; }
  Integer GetContentHeight() const noexcept { return contentHeight_; }
  // 2 fully inside the client area, 1 partly, 0 not (or out of range).
  Integer GetImageVisibility(Integer idx);
  bool IsVisible(Integer idx);
  void LockPaint() override { ++paintLock_; }
  Integer UnLockPaint() override;
  Integer NPUnLockPaint() override;
  virtual void ViewChange(Integer change);
  double GetHScrollFactor() const noexcept { return hScrollFactor_; }
  double GetVScrollFactor() const noexcept { return vScrollFactor_; }
  Integer GetUpdatePasses() const noexcept { return lastUpdatePasses_; }

  // --- The base view's image interface: the selected image's framework bitmap.
  TBitmap* GetFBitmap() override;
  TIEBitmap* GetAlphaChannel() override { return nullptr; }
  bool GetHasAlphaChannel() override { return false; }
  void RemoveAlphaChannel(bool) override {}

  // --- Background loading
  bool ObtainImageNow(Integer idx);
  bool ObtainImageThreaded(Integer idx);
  virtual void ClearThreadsAndRequests();
  virtual void DoWrongImage(TIEBitmap* bitmap, Integer idx);
  bool SetImageFromFile(Integer idx, const AnsiString& fileName);
  bool SetImageFromStream(Integer idx, TStream* stream);
  bool SetImageFromStreamOrFile(Integer idx, TStream* stream, const AnsiString& fileName);
  // Requests waiting and loads running (under the lock).
  Integer GetQueuedCount();
  Integer GetRunningCount();
  // Image indexes of the queued requests, oldest first.
  std::vector<Integer> GetQueuedIndexes();
  // How many loads were started in the background since construction.
  Integer GetStartedLoads() const noexcept { return startedLoads_.load(); }

  // --- Selection and input
  Integer GetSelectedItem() const noexcept { return selectedIdx_; }
  void SetSelectedItemNU(Integer idx);
  void SetSelectedItem(Integer idx);
  void DeselectNU();
  void Deselect();
  void UnSelectImage(Integer idx);
  void SelectAll();
  void BeginSelectImages();
  void EndSelectImages();
  bool IsSelected(Integer idx) const;
  Integer GetMultiSelectedImages(Integer i) const;
  Integer GetMultiSelectedImagesCount() const noexcept { return static_cast<Integer>(multiSel_.size()); }
  void MultiSelectSortList();
  Integer ImageAtPos(Integer x, Integer y);
  Integer ImageAtGridPos(Integer row, Integer col);
  Integer InsertingPoint(Integer x, Integer y);
  void SelectAtPos(Integer x, Integer y, TShiftState shift);
  void SelectSeek(TIESeek direction);
  void CenterSelected();

  // --- Frames and captions
  TIEMText* GetImageTopText(Integer idx) const;
  TIEMText* GetImageBottomText(Integer idx) const;
  TIEMText* GetImageInfoText(Integer idx) const;
  bool GetPlaying() const noexcept { return playing_; }
  void SetPlaying(bool value);
  void PlayFrame();
  Integer GetVisibleFrame() const noexcept { return visibleFrame_; }
  // With a TransitionEffect the change from the frame shown to idx is animated.
  void SetVisibleFrame(Integer idx);
  bool GetTransitionRunning() const;
  void CenterFrame();
  bool PlayLoop = true;

  // --- Painting
  virtual void PaintTo(TCanvas* canvas);
  void UpdateImage(Integer idx);
  // The system palette changed: DrawDib's palette is realised again on the main form,
  // and the view repaints when that changed anything (or when there is no main form).
  void PaletteChanged();

  void Dispatch(TMessage& message) override;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, Integer x, Integer y) override;
  void MouseMove(TShiftState shift, Integer x, Integer y) override;
  void MouseUp(TMouseButton button, TShiftState shift, Integer x, Integer y) override;
  void KeyDown(Word& key, TShiftState shift) override;

 private:
  friend class TIEStarter;
  friend class TIEMText;

  TIEImageInfo* Info(Integer idx) const;
  Integer IndexOfInfo(const TIEImageInfo* info) const;
  Integer Columns();
  // The fit size of Algorithms 1: a thumbnail of the cell size.
  void FitSize(Integer w, Integer h, Integer boxW, Integer boxH, Integer& outW, Integer& outH) const;
  // The picture that SetIEBitmapEx would store: the bitmap itself or a new thumbnail.
  TIEBaseBitmap* MakeThumbnail(TIEBaseBitmap* bitmap, std::unique_ptr<TIEBitmap>& holder) const;
  void StoreInto(TIEImageInfo* info, TIEBaseBitmap* bitmap, bool resample);
  void DropImage(TIEImageInfo* info);
  void DropCache(TIEImageInfo* info);
  void TakeSelectedBitmap();
  void GiveBackSelectedBitmap();
  void StopPlaying();
  void SetupScrollBar(bool horizontal, Integer maxValue, Integer clientExtent);
  void ScrollMessage(bool horizontal, WPARAM request);
  void AfterOriginMove();
  bool ObtainLocked(TIEImageInfo* info, Integer idx);

  // Loading (iemview_load.cpp).
  void StarterLoop(TIEStarter* starter);
  // Runs on the load's own thread once its load has ended.
  void ThreadFinish(TIEGridLoader* loader);
  void RemoveFinishedLoaders();
  void RemoveInvisibleRequests();
  void WakeStarter();
  void PostInvalidate();
  void LoadParams(TDadirAvIO* io, const TIEImageInfo* info) const;
  // The parameters a load read go to image idx's entry of the grid's multi-image
  // component (when it exists); under gThreadCS.
  void CopyParams(Integer idx, TDadirAvIO* io);
  // What the last paint showed, for deciding off the GUI thread which requests are
  // still wanted (under gThreadCS).
  void SnapshotVisibility();
  bool VisibleLocked(const TIEImageInfo* info) const;

  // Painting (iemview_paint.cpp).
  void DrawImage(TCanvas* canvas, TIEImageInfo* info, Integer idx, bool selected);
  void PaintBackground(TCanvas* canvas);

  std::vector<TIEImageInfo*> images_;  // owned
  TDadirAvMIO* mio_ = nullptr;         // owned through the component tree
  std::unique_ptr<TIEVirtualDIBList> store_;
  std::unique_ptr<TIEVirtualDIBList> cache_;
  TScrollStyle scrollBars_ = TScrollStyle::ssBoth;
  Integer thumbWidth_ = 100;
  Integer thumbHeight_ = 100;
  Integer horizBorder_ = 4;
  Integer vertBorder_ = 4;
  TIEMDisplayMode displayMode_ = mdGrid;
  Integer gridWidth_ = 0;
  bool visibleSelection_ = true;
  Integer selectionWidth_ = 3;
  TColor selectionColor_ = static_cast<TColor>(255);
  TIEMMouseInteract mouseInteract_{mmiSelect};
  TIEMKeyInteract keyInteract_{mkiMoveSelected};
  TIESStyle selectionStyle_ = iessAround;
  bool enableMultiSelect_ = false;
  std::unique_ptr<TPicture> wallPaper_;
  Integer threadPoolSize_ = 5;
  Integer imageCacheSize_ = 10;
  bool enableResamplingOnMinor_ = true;
  bool enableImageCaching_ = true;
  Integer viewX_ = 0, viewY_ = 0;
  Integer contentWidth_ = 0, contentHeight_ = 0;
  double hScrollFactor_ = 1.0, vScrollFactor_ = 1.0;
  bool hScrollShown_ = false, vScrollShown_ = false;
  Integer selectedIdx_ = -1;
  TBitmap* selectedBitmap_ = nullptr;
  std::vector<Integer> multiSel_;
  Integer paintLock_ = 0;
  bool updating_ = false;
  std::atomic<bool> destroying_{false};
  Integer lastOp_ = kIELastOpNone;
  Integer lastOpIdx_ = 0;
  Integer lastOpParam_ = 0;
  Integer lastUpdatePasses_ = 0;
  HDRAWDIB drawDib_ = 0;
  std::unique_ptr<TIEScrollBarParams> hScrollParams_;
  std::unique_ptr<TIEScrollBarParams> vScrollParams_;
  std::unique_ptr<TDadirAvIO> io_;
  TDadirAvProc* proc_ = nullptr;  // owned through the component tree
  TIEProgressEvent onProgress_;
  // What the transition effects see of the grid.
  class TransitionSite;
  std::unique_ptr<TransitionSite> transitionSite_;
  std::unique_ptr<TIETransitionEffects> transition_;

  // Selection and input state.
  bool addToSelection_ = false;
  bool keepOnReselect_ = false;
  bool batchSelect_ = false;
  TPoint pressPoint_{};
  Integer pressViewX_ = 0, pressViewY_ = 0;
  Integer anchorIdx_ = -1;
  Integer lastReachedIdx_ = -1;
  bool dragged_ = false;
  bool dblClick_ = false;

  // Frame playing.
  Integer visibleFrame_ = 0;
  bool playing_ = false;
  TIEMDisplayMode savedMode_ = mdGrid;
  Integer savedSelected_ = -1;
  uintptr_t timer_ = 0;
  bool inPlayFrame_ = false;

  // Background loading, under gThreadCS unless said otherwise.
  std::vector<TIEImageInfo*> queue_;
  std::vector<TIEGridLoader*> running_;
  std::unique_ptr<TIEStarter> starter_;
  std::mutex wakeMutex_;          // the starter's wake-up, apart from gThreadCS
  std::condition_variable wake_;
  bool wakePending_ = false;      // under wakeMutex_
  std::atomic<Integer> startedLoads_{0};
  struct {
    Integer viewX = 0, viewY = 0, clientW = 0, clientH = 0;
    bool single = false;
    const TIEImageInfo* frame = nullptr;
  } vis_;
};

// The thread that starts background loads from the grid's request queue.
class TIEStarter : public TThread {
 public:
  LARK_CLASS_NAME(TIEStarter)
  explicit TIEStarter(TDadirAvMView* view) : TThread(true), view_(view) {}
  // Stops the loop and waits for it.
  ~TIEStarter() override;
  void Stop();

 protected:
  void Execute() override { view_->StarterLoop(this); }

 private:
  TDadirAvMView* view_;
  bool stopped_ = false;
};
