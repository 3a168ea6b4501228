// TDadirAvMIO: the input/output component of a thumbnail grid (TDadirAvMView).
//
// It turns a multi-image file into a run of the grid's images (the frames of a GIF,
// the pages of a TIFF, the frames of an AVI), inserted at the grid's selected image,
// and writes the grid's images back as one such file; it also scans several pages
// (the sheets of a feeder) into the grid. It keeps one TIOParamsVals per
// image of the grid, in the grid's order, following every insertion, deletion and
// move the grid records; entry i always has GIF_ImageIndex and TIFF_ImageIndex i.
//
// Success is Aborting false afterwards. A file save writes a temporary file in the
// target's folder and renames it over the target once the whole file is written, so
// a save that fails, or that is cancelled midway through the abort flag, leaves the
// target as it was and no partial file behind.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "image/formats/dadiravio.h"
#include "image/io/dadiravio.h"
#include "image/model/iebitmap.h"
#include "image/model/iedefs.h"
#include "image/model/ieview.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/Streams.h"
#include "platform/vcl/Graphics.h"

class TDadirAvMView;

class TDadirAvMIO : public TComponent {
 public:
  LARK_CLASS_NAME(TDadirAvMIO)
  explicit TDadirAvMIO(TComponent* owner);
  ~TDadirAvMIO() override;
  TDadirAvMIO(const TDadirAvMIO&) = delete;
  TDadirAvMIO& operator=(const TDadirAvMIO&) = delete;

  // --- The attached grid and the parameter list
  TDadirAvMView* GetAttachedMView() const noexcept { return view_; }
  // Leaves the grid attached before; with a grid, listens to it and adds parameter
  // entries until there is one per image.
  void SetAttachedMView(TDadirAvMView* view);
  void Notification(TComponent* component, TOperation operation) override;
  // Entry index; null when index is out of range.
  TIOParamsVals* GetParams(Integer index) const;
  Integer GetParamsCount() const noexcept { return static_cast<Integer>(params_.size()); }
  // A new entry at index (appended at or past the end), a copy of the entry it
  // displaces (the last one when appended); default values in an empty list.
  void InsertIOParam(Integer index);
  void RemoveIOParam(Integer index);
  // Every entry from 1 on takes entry 0's compression settings.
  void DuplicateCompressionInfo();
  // The grid's layout and image change.
  void Update();
  // Opens the parameter preview dialog on the selected image (image 0 is selected
  // when none is) and on the parameters of image index; with index -1 on image 0's,
  // whose compression settings then go to every image. True when closed with OK.
  bool DoPreviews(Integer index, TPreviewParams pages);
  TIOPreviewsParams GetIOPreviewParams() const noexcept { return PreviewsParams; }
  void SetIOPreviewParams(TIOPreviewsParams value) noexcept { PreviewsParams = value; }
  TIOPreviewsParams PreviewsParams;

  // --- Files. By extension: ".gif", ".tif"/".tiff", ".avi"; any other extension
  // sets Aborting.
  void LoadFromFile(const AnsiString& FileName);
  void SaveToFile(const AnsiString& FileName);
  void LoadFromFileGif(const AnsiString& FileName);
  void LoadFromFileTIFF(const AnsiString& FileName);
  void LoadFromStreamGif(TStream* Stream);
  void LoadFromStreamTIFF(TStream* Stream);
  // The GIF file is an animation looping for ever; its logical screen holds every
  // frame at its position.
  void SaveToFileGif(const AnsiString& FileName);
  void SaveToFileTIFF(const AnsiString& FileName);
  void SaveToStreamGif(TStream* Stream);
  void SaveToStreamTIFF(TStream* Stream);
  // Every frame of the first video stream; the frames present in the file, whatever
  // its headers claim.
  void LoadFromFileAVI(const AnsiString& FileName);
  // One uncompressed 24-bit frame per image, each shown for image 0's display time
  // (the stream's scale is that time in milliseconds, its rate 1000). Images of
  // another size than image 0 are replaced by the latest image of that size. A file
  // that cannot be created raises EInvalidGraphic; cancelling the compression
  // dialog sets Aborting and leaves no file.
  void SaveToFileAVI(const AnsiString& FileName);

  // --- Scanners
  // The source-selection dialog; true when a source was chosen (the selection
  // changes only then).
  bool SelectAcquireSource();
  // Every page the selected source delivers (all the sheets of a feeder) becomes an
  // image of the grid, inserted one after the other at the selected image, or after
  // the last image when none is selected. True when at least one page arrived; a
  // feed that ends in a failed or cancelled transfer keeps the pages delivered before
  // it and sets Aborting. True at once, doing nothing, while a modeless acquisition
  // is open; never raises.
  bool Acquire();
  // A modeless acquisition: the source stays enabled and every page it delivers goes
  // into the grid as above, until AcquireClose or until the source closes itself.
  // False when one is already open or no grid is attached.
  bool AcquireOpen();
  void AcquireClose();
  bool GetAcquireOpened() const noexcept { return acquireHandle_ != nullptr; }
  // One delivered page: offered to OnAcquireBitmap, then inserted into the grid;
  // IOParams becomes the new image's parameter entry, which the scanner layer fills
  // with the page's size and resolution after this returns.
  virtual void TWMultiCallBack(TIEBitmap* Bitmap, TIOParamsVals*& IOParams);
  // The scanner layer ended the modeless acquisition.
  virtual void TWCloseCallBack();
  // The scanner settings; the feeder, automatic feeding and duplex start enabled.
  TIETWainParams* GetTWainParams() const noexcept { return twainParams_.get(); }
  // Offered every acquired page first; Handled true keeps it out of the grid.
  std::function<void(TObject* Sender, TIEBitmap* ABitmap, bool& Handled)> OnAcquireBitmap;

  // --- Options
  bool GetAborting() const noexcept { return aborting_; }
  void SetAborting(bool value) noexcept { aborting_ = value; }
  bool SimplifiedParamsDialogs = true;
  TMsgLanguage MsgLanguage = TMsgLanguage::msSystem;
  TFont* GetPreviewFont() const noexcept { return previewFont_.get(); }
  void SetPreviewFont(TFont* font) { previewFont_->Assign(font); }
  // Images whose horizontal and vertical resolutions differ are resampled to equal
  // resolutions as they are loaded; filtered (24-bit, linear) or nearest.
  bool AutoAdjustDPI = false;
  bool FilteredAdjustDPI = false;
  TIEDitherMethod DefaultDitherMethod = ieThreshold;
  TIEProgressEvent OnProgress;

 private:
  // The grid changed (or goes away): follow its last list operation.
  void OnBitmapChange(TObject* sender, bool destroying);
  // Entry i from `from` on gets GIF_ImageIndex and TIFF_ImageIndex i.
  void Renumber(Integer from = 0);
  void LeaveView();
  // Where a load inserts: the selected image, or 0.
  Integer InsertionPoint() const;
  // Where an acquisition starts: the selected image, or after the last one.
  Integer AcquisitionPoint() const;
  void Progress(Integer per);
  // The DPI-adjusted copy of bitmap (null when nothing changes); params' resolution
  // and size follow.
  std::unique_ptr<TIEBitmap> AdjustDPI(TIEBitmap* bitmap, TIOParamsVals& params) const;
  enum class Multi { Gif, Tiff };
  void LoadStream(Multi kind, TStream* stream);
  // With screenW and screenH, the GIF logical screen that holds every image.
  void SaveStream(Multi kind, TStream* stream, Integer* screenW = nullptr, Integer* screenH = nullptr);
  void SaveFile(Multi kind, const AnsiString& fileName);

  TDadirAvMView* view_ = nullptr;
  PIEBitmapChangeEvent listener_ = -1;
  std::vector<std::unique_ptr<TIOParamsVals>> params_;
  std::unique_ptr<TFont> previewFont_;
  std::unique_ptr<TIETWainParams> twainParams_;
  void* acquireHandle_ = nullptr;  // the open modeless acquisition
  Integer acquireIdx_ = 0;         // where the next acquired page goes
  bool aborting_ = false;
};
