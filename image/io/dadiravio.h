// The input/output component TDadirAvIO and the format registry.
//
// TDadirAvIO reads images from files, streams and web addresses into one working
// pixel store (its own, an outside TIEBitmap, or an outside framework TBitmap it
// wraps) and writes that store to files and streams, one codec per format. A load or
// save reports success as GetAborting() false afterwards, and every one ends in
// DoFinishWork (OnProgress with 100, then OnFinishWork), also when it failed or
// raised. A failed load leaves the previous image and parameters as they were; a
// failed save leaves the previous file as it was (files are written under a
// temporary name in the target's folder and renamed over it once complete).
//
// The format registry names each format, lists its extensions and tells whether it
// can be read, written and detected; a program may add formats of its own.
// Detection by content is FindStreamFormat / FindFileFormat.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "image/formats/dadiravio.h"
#include "image/formats/jpegfilt_edit.h"
#include "image/model/ieutils.h"
#include "image/model/ieview.h"
#include "platform/avifile/AVIFile.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Sets.h"
#include "platform/rtl/Streams.h"
#include "platform/rtl/Thread.h"
#include "platform/vcl/Controls.h"
#include "platform/vcl/Graphics.h"
#include "platform/vcl/Printers.h"
#include "platform/twain/Twain.h"
#include "platform/win/CriticalSection.h"

// ===========================================================================
// Format registry

struct TIEFileFormatInfo {
  Integer FileType = iofnUnknown;
  AnsiString FullName;    // at most 80 characters
  AnsiString Extensions;  // upper case, without dots, ";"-separated; at most 80 characters
  TIEReadImageStream ReadFunction = nullptr;
  TIEWriteImageStream WriteFunction = nullptr;
  TIETryImageStream TryFunction = nullptr;
};
using PIEFileFormatInfo = TIEFileFormatInfo*;

// The records in order of registration (the fourteen built-in ones first).
Integer IEFileFormatCount();
PIEFileFormatInfo IEFileFormatGetByIndex(Integer index);
// The first record with that number; null when none.
PIEFileFormatInfo IEFileFormatGetInfo(Integer FileType);
// The first record listing the extension (without the dot, any case); null when none.
PIEFileFormatInfo IEFileFormatGetInfo2(const AnsiString& Extension);
// The index-th (0-based) extension of the record; "" when there is none.
AnsiString IEFileFormatGetExt(Integer FileType, Integer index);
Integer IEFileFormatGetExtCount(Integer FileType);
// Appends a copy of the record (names cut to 80 characters).
void IEFileFormatAdd(const TIEFileFormatInfo& info);
// Removes the first record with that number, when there is one.
void IEFileFormatRemove(Integer FileType);
// The GIF record reads while DefGIF_LZWDECOMPFUNC is set and writes while
// DefGIF_LZWCOMPFUNC is set.
void IEUpdateGIFStatus();
// Whether the name's extension is in the registry.
bool IsKnownFormat(const AnsiString& FileName);

// The built-in records carry these to mark what the format can do; the component
// reads and writes the built-in formats with their codecs, never through them, so
// a call ends in the abort flag (read, write) or false (try).
void DummyReadImageStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params,
                          TProgressRec& Progress, bool Preview);
void DummyWriteImageStream(TStream* Stream, TIEBitmap* Bitmap, TIOParamsVals& Params,
                           TProgressRec& Progress);
bool DummyTryImageStream(TStream* Stream);

// The format of the bytes at the stream's position (a file-type number, 0 when no
// test recognises them): the registered detectors first, then the built-in tests.
// The position is left where it was; detection never raises.
Integer FindStreamFormat(TStream* Stream);
// The same on a file (0 when it cannot be opened). With VerifyExtension the
// extension's record must agree: none gives 0; an icon or cursor takes the
// extension's type; another type than the content's gives 0.
Integer FindFileFormat(const AnsiString& FileName, bool VerifyExtension);

// The 12-byte header before JPEG, TIFF and PCX data inside a larger stream: a
// 4-character tag, a zero byte, three zero bytes of padding and the little-endian
// length of the data that follows.
inline constexpr Integer IEStreamHeaderSize = 12;

// The largest body a web load takes.
inline constexpr Int64 IEMaxURLBytes = Int64{64} << 20;

// ===========================================================================
// Enumerations of the unit

enum class TIEDialogsMeasureUnit : Byte { ieduInches, ieduCm, ieduSelectableDefInches, ieduSelectableDefCm };
using enum TIEDialogsMeasureUnit;

// Where an image goes on a printed page, and how large it is printed.
enum class TIEVerticalPos : Byte { ievpTOP, ievpCENTER, ievpBOTTOM };
using enum TIEVerticalPos;
enum class TIEHorizontalPos : Byte { iehpLEFT, iehpCENTER, iehpRIGHT };
using enum TIEHorizontalPos;
// The image at its own resolution, fitted into the area with its aspect kept
// (enlarged as well as reduced), stretched over the area, or at a given size.
enum class TIESize : Byte { iesNORMAL, iesFITTOPAGE, iesFITTOPAGESTRETCH, iesSPECIFIEDSIZE };
using enum TIESize;
// The compact print dialog, or the maximised print preview.
enum class TIEDialogType : Byte { iedtDialog, iedtMaxi };
using enum TIEDialogType;
// What a screen capture copies.
enum class TIECSSource : Byte { iecsScreen, iecsForegroundWindow, iecsForegroundWindowClient };
using enum TIECSSource;

// The kind of work of a background thread.
enum class TIEIOMethodTypes : Byte {
  ieLoadSaveFile,
  ieLoadSaveStream,
  ieLoadSaveFileRetInt,
  ieRetBool,
  ieLoadSaveStreamRetInt,
  ieLoadSaveFileFormat,
  ieLoadSaveStreamFormat,
  ieCaptureFromScreen,
  ieLoadSaveIndex,
  ieImportMetaFile,
  ieLoadFromURL
};
using enum TIEIOMethodTypes;

class TDadirAvIO;
class TForm;

// The pages of the parameter preview dialog: every page, the page of the parameters'
// file type, or the pages named.
enum class TPreviewParamsItems : Byte { ppALL, ppAUTO, ppJPEG, ppTIFF, ppGIF, ppBMP, ppPCX, ppPNG, ppTGA, ppJ2000 };
using enum TPreviewParamsItems;
using TPreviewParams = TSet<TPreviewParamsItems>;

// Options of the parameter preview dialog: the preview locked (rendered at every
// change) from the start, and an "&Apply" button.
enum class TIOPreviewsParamsItems : Byte { ioppDefaultLockPreview, ioppApplyButton };
using enum TIOPreviewsParamsItems;
using TIOPreviewsParams = TSet<TIOPreviewsParamsItems>;

// One load or save of a component on a thread of its own. It is listed in its
// owner's thread list from construction until its work has ended, and frees itself.
class TIEIOThread : public TThread {
 public:
  LARK_CLASS_NAME(TIEIOThread)
  // Lists itself in the owner's list and starts.
  TIEIOThread(TDadirAvIO* Owner, TIEIOMethodTypes Kind, std::function<void()> Work);

  TIEIOMethodTypes GetKind() const noexcept { return kind_; }

 protected:
  // Runs the work; an exception is written to the debugger output and sets the
  // owner's Aborting. Then the thread leaves the list.
  void Execute() override;

 private:
  TDadirAvIO* const owner_;
  const TIEIOMethodTypes kind_;
  std::function<void()> work_;
};

// ===========================================================================
// Scanner parameters

// What the connections of one owner keep between them: the manager's library and
// entry point, and the hidden window that parents the manager's dialogs.
struct TIETWainShared {
  HMODULE hDSMLib = 0;
  DSMENTRYPROC DSM_Entry = nullptr;
  HWND hProxy = 0;
};
using PIETWainShared = TIETWainShared*;

// The capability values read from the selected source and the wishes sent to it.
struct TIETWSourceCaps {
  TIEDoubleList XResolution;
  TIEDoubleList YResolution;
  TIEDoubleList XScaling;
  TIEDoubleList YScaling;
  TIEIntegerList PixelType;
  double Gamma = 2.2;
  double PhysicalHeight = 0;
  double PhysicalWidth = 0;
  bool FeederEnabled = false;
  TIEIntegerList Orientation;
  bool Indicators = true;
  double AcquireFrame[4] = {0, 0, 0, 0};  // left, top, right, bottom (inches)
  bool BufferedTransfer = true;
  bool DuplexEnabled = false;
  bool AcquireFrameEnabled = false;
  bool FeederLoaded = false;
  bool DuplexSupported = false;
  bool PaperDetectable = false;
  TIEDoubleList Contrast;
  TIEDoubleList Brightness;
  Integer Threshold = 128;
  bool UndefinedImageSize = false;
  TIEIntegerList StandardSize;
  bool AutoFeed = false;
};

// Everything the image library knows and wants about scanning for one component:
// the sources the manager offers and which is selected, the capability values of
// that source and the wishes to send to it, the application's identity strings,
// and the shared record. Reading a capability the first time asks the scanner;
// setting one only stores the wish, which is negotiated when an acquisition starts.
class TIETWainParams : public TObject {
 public:
  LARK_CLASS_NAME(TIETWainParams)
  explicit TIETWainParams(TComponent* Owner);
  ~TIETWainParams() override;
  TIETWainParams(const TIETWainParams&) = delete;
  TIETWainParams& operator=(const TIETWainParams&) = delete;

  void SetDefaultParams();
  void Assign(const TIETWainParams* source);
  void FreeResources();
  void FillSourceListData();
  Integer GetSourceCount();
  // Raises the list-index error for a negative index; empty at or past the count.
  AnsiString GetSourceName(Integer index);
  bool SelectSourceByName(const AnsiString& name);
  Integer GetDefaultSource();
  Integer GetSelectedSource() const noexcept { return selectedSource_; }
  void SetSelectedSource(Integer index);
  void FillCapabilities();
  bool GetFromScanner();
  bool Update();

  TIEDoubleList* GetXResolution() { FillCapabilities(); return &caps_.XResolution; }
  TIEDoubleList* GetYResolution() { FillCapabilities(); return &caps_.YResolution; }
  TIEDoubleList* GetXScaling() { FillCapabilities(); return &caps_.XScaling; }
  TIEDoubleList* GetYScaling() { FillCapabilities(); return &caps_.YScaling; }
  TIEDoubleList* GetContrast() { FillCapabilities(); return &caps_.Contrast; }
  TIEDoubleList* GetBrightness() { FillCapabilities(); return &caps_.Brightness; }
  TIEIntegerList* GetPixelType() { FillCapabilities(); return &caps_.PixelType; }
  TIEIntegerList* GetOrientation() { FillCapabilities(); return &caps_.Orientation; }
  TIEIntegerList* GetStandardSize() { FillCapabilities(); return &caps_.StandardSize; }
  Integer GetThreshold() { FillCapabilities(); return caps_.Threshold; }
  double GetGamma() { FillCapabilities(); return caps_.Gamma; }
  double GetPhysicalHeight() { FillCapabilities(); return caps_.PhysicalHeight; }
  double GetPhysicalWidth() { FillCapabilities(); return caps_.PhysicalWidth; }
  bool GetFeederEnabled() { FillCapabilities(); return caps_.FeederEnabled; }
  bool GetFeederLoaded() { FillCapabilities(); return caps_.FeederLoaded; }
  bool GetAutoFeed() { FillCapabilities(); return caps_.AutoFeed; }
  bool GetDuplexEnabled() { FillCapabilities(); return caps_.DuplexEnabled; }
  bool GetDuplexSupported() { FillCapabilities(); return caps_.DuplexSupported; }
  bool GetPaperDetectable() { FillCapabilities(); return caps_.PaperDetectable; }
  bool GetAcquireFrameEnabled() { FillCapabilities(); return caps_.AcquireFrameEnabled; }
  bool GetIndicators() { FillCapabilities(); return caps_.Indicators; }
  // 0 outside 0 to 3.
  double GetAcquireFrame(Integer i);
  bool GetUndefinedImageSize() const noexcept { return caps_.UndefinedImageSize; }
  bool GetBufferedTransfer() const noexcept { return caps_.BufferedTransfer; }
  void SetThreshold(Integer v) { caps_.Threshold = v; }
  void SetFeederEnabled(bool v) { caps_.FeederEnabled = v; }
  void SetAutoFeed(bool v) { caps_.AutoFeed = v; }
  void SetUndefinedImageSize(bool v) { caps_.UndefinedImageSize = v; }
  void SetDuplexEnabled(bool v) { caps_.DuplexEnabled = v; }
  void SetAcquireFrameEnabled(bool v) { caps_.AcquireFrameEnabled = v; }
  void SetIndicators(bool v) { caps_.Indicators = v; }
  void SetBufferedTransfer(bool v) { caps_.BufferedTransfer = v; }
  // Other indexes than 0 (left) to 3 (bottom) are ignored.
  void SetAcquireFrame(Integer i, double value);

  // At most 32 characters each.
  AnsiString GetAppVersionInfo() const { return appVersionInfo_; }
  AnsiString GetAppManufacturer() const { return appManufacturer_; }
  AnsiString GetAppProductFamily() const { return appProductFamily_; }
  AnsiString GetAppProductName() const { return appProductName_; }
  void SetAppVersionInfo(const AnsiString& v) { appVersionInfo_ = v.substr(0, 32); }
  void SetAppManufacturer(const AnsiString& v) { appManufacturer_ = v.substr(0, 32); }
  void SetAppProductFamily(const AnsiString& v) { appProductFamily_ = v.substr(0, 32); }
  void SetAppProductName(const AnsiString& v) { appProductName_ = v.substr(0, 32); }

  bool VisibleDialog = true;

  TComponent* GetOwner() const noexcept { return owner_; }
  // The window that parents the manager's dialogs (the owner's nearest window).
  HWND OwnerWindow() const;
  PIETWainShared GetShared() noexcept { return &shared_; }
  // The capability record itself, for the connection that fills it.
  TIETWSourceCaps& Caps() noexcept { return caps_; }
  // The identity of source index (null when out of range), for the connection.
  const TW_IDENTITY* SourceIdentity(Integer index);

 private:
  TComponent* owner_;
  std::vector<TW_IDENTITY> sources_;
  Integer selectedSource_ = 0;
  bool sourceListFilled_ = false;
  bool capsRead_ = false;
  TIETWSourceCaps caps_;
  AnsiString appVersionInfo_;
  AnsiString appManufacturer_;
  AnsiString appProductFamily_;
  AnsiString appProductName_;
  TIETWainShared shared_;
};

// The nearest window of a component's owners (the component itself when it is a
// windowed control); 0 when none has one.
HWND IEFindHandle(TComponent* component);

// ===========================================================================
// The component

class TDadirAvIO : public TComponent, private TIEViewAttachment {
 public:
  LARK_CLASS_NAME(TDadirAvIO)
  explicit TDadirAvIO(TComponent* Owner);
  // Waits for its threads first.
  ~TDadirAvIO() override;

  // --- Working store
  TIEBitmap* GetIEBitmap() const noexcept { return ieBitmap_; }
  // Works on an outside store (not owned; null leaves the component without one).
  void SetIEBitmap(TIEBitmap* store);
  void SetAttachedIEBitmap(TIEBitmap* store);
  TIEBitmap* GetAttachedIEBitmap() const noexcept { return ownsIEBitmap_ ? nullptr : ieBitmap_; }
  // Works on an outside framework bitmap through an own store that wraps it.
  TBitmap* GetBitmap() const noexcept { return bitmap_; }
  void SetBitmap(TBitmap* bitmap);
  void SetAttachedBitmap(TBitmap* bitmap);
  TBitmap* GetAttachedBitmap() const noexcept { return bitmap_; }
  bool GetOwnsIEBitmap() const noexcept { return ownsIEBitmap_; }
  // Works on a view's image: its store, or an own store over its framework bitmap.
  // The component follows the view when it replaces its store and forgets it when it
  // goes. null empties the working store.
  void SetAttachedDadirAv(TIEView* view);
  TIEView* GetAttachedDadirAv() const noexcept { return view_; }
  void Notification(TComponent* component, TOperation operation) override;

  // --- State
  TIOParamsVals* GetParams() const noexcept { return params_.get(); }
  bool GetAborting() const noexcept { return aborting_; }
  void SetAborting(bool value) noexcept { aborting_ = value; }
  bool GetAsyncMode() const noexcept { return asyncMode_; }
  void SetAsyncMode(bool value) noexcept { asyncMode_ = value; }
  Integer GetAsyncRunning();
  Integer GetThreadsCount() { return GetAsyncRunning(); }
  TColor GetReBackground() const noexcept { return background_; }
  void SetReBackground(TColor color) noexcept { background_ = color; }
  TIEDitherMethod GetDefaultDitherMethod() const noexcept { return defaultDitherMethod_; }
  void SetDefaultDitherMethod(TIEDitherMethod method);

  bool StreamHeaders = false;
  bool AutoAdjustDPI = false;
  bool FilteredAdjustDPI = false;
  TIEDialogsMeasureUnit DialogsMeasureUnit = ieduInches;
  AnsiString ProxyAddress;
  AnsiString ProxyUser;
  AnsiString ProxyPassword;

  TIEProgressEvent OnProgress;
  TNotifyEvent OnFinishWork;

  // OnProgress(100), then OnFinishWork, each when assigned.
  virtual void DoFinishWork();
  // After a load: an outside framework bitmap is marked modified exactly when the
  // load succeeded (its Modified set, firing its change event), and cleared when
  // it failed.
  void Update();
  // Makes DpiX and DpiY equal by stretching the image along its shorter side.
  void AdjustDPI();
  // Copies the parameters of another TDadirAvIO, or a TIOParamsVals.
  void AssignParams(TObject* source);

  // --- Threads
  // Waits until no thread of the component runs; with setAborting each is asked to
  // stop at its next progress step.
  void WaitThreads(bool setAborting);
  // Whether the caller is one of the component's threads.
  bool IsInsideAsyncThreads();

  // --- By name, by stream, by number (dynamic: a descendant may replace them)
  virtual void LoadFromFile(const AnsiString& FileName);
  virtual void SaveToFile(const AnsiString& FileName);
  virtual void LoadFromFileFormat(const AnsiString& FileName, Integer FileType);
  virtual void LoadFromStream(TStream* Stream);
  virtual void LoadFromStreamFormat(TStream* Stream, Integer FileType);
  virtual void SaveToStream(TStream* Stream, Integer FileType);
  virtual void ParamsFromFile(const AnsiString& FileName);
  virtual void ParamsFromFileFormat(const AnsiString& FileName, Integer FileType);
  virtual void ParamsFromStream(TStream* Stream);
  virtual void ParamsFromStreamFormat(TStream* Stream, Integer FileType);

  // --- From a web address ("http://host[:port]/path")
  void LoadFromURL(const AnsiString& URL);

  // --- By format. The GIF and TIFF loads answer the frames or pages found (-1 when
  // the work went to a thread).
  Integer LoadFromFileTIFF(const AnsiString& FileName);
  Integer LoadFromStreamTIFF(TStream* Stream);
  Integer LoadFromFileGif(const AnsiString& FileName);
  Integer LoadFromStreamGif(TStream* Stream);
  void LoadFromFileJpeg(const AnsiString& FileName);
  void LoadFromStreamJpeg(TStream* Stream);
  void LoadFromFilePCX(const AnsiString& FileName);
  void LoadFromStreamPCX(TStream* Stream);
  void LoadFromFileBMP(const AnsiString& FileName);
  void LoadFromStreamBMP(TStream* Stream);
  void LoadFromFileICO(const AnsiString& FileName);
  void LoadFromStreamICO(TStream* Stream);
  void LoadFromFileCUR(const AnsiString& FileName);
  void LoadFromStreamCUR(TStream* Stream);
  void LoadFromFilePNG(const AnsiString& FileName);
  void LoadFromStreamPNG(TStream* Stream);
  void LoadFromFileTGA(const AnsiString& FileName);
  void LoadFromStreamTGA(TStream* Stream);
  void LoadFromFilePXM(const AnsiString& FileName);
  void LoadFromStreamPXM(TStream* Stream);
  void LoadFromFileJP2(const AnsiString& FileName);
  void LoadFromStreamJP2(TStream* Stream);
  void LoadFromFileJ2K(const AnsiString& FileName);
  void LoadFromStreamJ2K(TStream* Stream);
  // --- Metafiles (WMF and EMF). Width and Height in pixels: -1 for one keeps the
  // drawing's aspect, -1 for both its own size (at most 2800 on the longer side).
  // The drawing is rendered over Background into a 24-bit image of that size.
  // Aborting is set when the file cannot be read or its size is 0; a requested
  // side of 0 changes nothing.
  void ImportMetafile(const AnsiString& FileName, Integer Width, Integer Height);
  // Draws the metafile, sized as above, with its transparent parts showing the
  // image, at (X, Y) of the current image; Params do not change.
  void MergeMetafile(const AnsiString& FileName, Integer X, Integer Y, Integer Width, Integer Height);

  // --- Screen capture. MouseCursor -1 (crNone) leaves the pointer out; any other
  // value draws the arrow pointer at its place. Aborting is set when nothing was
  // captured (no foreground window, a window call failing); a capture sets Params
  // as a metafile import does (24-bit, the screen's resolution, FileType 0).
  void CaptureFromScreen(TIECSSource Source, TCursor MouseCursor);

  // --- Printing. Lengths are inches; DpiX, DpiY device pixels per inch. The caller
  // starts and ends the print job. A gamma at or below 0 means 1 (no correction).
  // An empty image, a zero-size page or a zero resolution prints nothing.
  void PrintImagePosEx(TCanvas* Canvas, Integer DpiX, Integer DpiY, double X, double Y, double Width,
                       double Height, double GammaCorrection);
  // The resolution is the canvas device's (LOGPIXELSX/Y).
  void PrintImagePos(TCanvas* Canvas, double X, double Y, double Width, double Height,
                     double GammaCorrection);
  void PrintImageEx(TCanvas* Canvas, Integer DpiX, Integer DpiY, double PageWidth, double PageHeight,
                    double MarginLeft, double MarginTop, double MarginRight, double MarginBottom,
                    TIEVerticalPos VerticalPos, TIEHorizontalPos HorizontalPos, TIESize Size,
                    double SpecWidth, double SpecHeight, double GammaCorrection);
  // A null Canvas is the printer's; the page and resolution are the canvas device's.
  void PrintImage(TCanvas* Canvas, double MarginLeft, double MarginTop, double MarginRight,
                  double MarginBottom, TIEVerticalPos VerticalPos, TIEHorizontalPos HorizontalPos,
                  TIESize Size, double SpecWidth, double SpecHeight, double GammaCorrection);
  // The page as it would print, scaled to fit MaxBitmapWidth - 5 x MaxBitmapHeight - 5,
  // with the margins framed, into Bitmap (24-bit, white). A null Printer is the
  // system's. A preview area of 5 pixels or less draws nothing.
  void PreviewPrintImage(TBitmap* Bitmap, Integer MaxBitmapWidth, Integer MaxBitmapHeight,
                         TPrinter* Printer, double MarginLeft, double MarginTop, double MarginRight,
                         double MarginBottom, TIEVerticalPos VerticalPos, TIEHorizontalPos HorizontalPos,
                         TIESize Size, double SpecWidth, double SpecHeight, double GammaCorrection);
  // Shows a print form for the image (the compact dialog or the maximised preview);
  // true when it closed with OK (always for the maximised one).
  bool DoPrintPreviewDialog(TIEDialogType DialogType, const AnsiString& TaskName);

  // Draws with rfFastLinear when the image is printed smaller than its pixel size.
  bool PrintFilterOnShrink = false;
  TMsgLanguage MsgLanguage = msSystem;
  // The font of the print forms.
  TFont* GetPreviewFont() const noexcept { return previewFont_.get(); }
  void SetPreviewFont(TFont* font) { previewFont_->Assign(font); }
  // Runs with the print or parameter form before it is shown.
  std::function<void(TObject* sender, TForm* form)> OnIOPreview;

  // --- The parameter preview dialog
  TIOPreviewsParams GetIOPreviewParams() const noexcept { return PreviewsParams; }
  void SetIOPreviewParams(TIOPreviewsParams value) noexcept { PreviewsParams = value; }
  TIOPreviewsParams PreviewsParams;
  bool SimplifiedParamsDialogs = true;
  // Handled true: DoPreviews answers true without a dialog.
  std::function<void(TObject* sender, bool& handled)> OnDoPreviews;
  // Opens the dialog on a copy of the working store (24-bit unless it is one-bit) and
  // on Params, which it edits in place; true when it was closed with OK. False
  // without a working store or when the dialog has no page for pages.
  virtual bool DoPreviews(TPreviewParams pages);
  // The picture open and save dialogs (the save dialog attached to this component):
  // the chosen name, or "" when cancelled.
  AnsiString ExecuteOpenDialog(const AnsiString& InitialDir, const AnsiString& InitialFileName, bool AlwaysAnimate,
                               Integer FilterIndex, const AnsiString& ExtendedFilters);
  AnsiString ExecuteSaveDialog(const AnsiString& InitialDir, const AnsiString& InitialFileName, bool AlwaysAnimate,
                               Integer FilterIndex, const AnsiString& ExtendedFilters);

  void SaveToFileTIFF(const AnsiString& FileName);
  void SaveToStreamTIFF(TStream* Stream);
  void SaveToFileGif(const AnsiString& FileName);
  void SaveToStreamGif(TStream* Stream);
  void SaveToFileJpeg(const AnsiString& FileName);
  void SaveToStreamJpeg(TStream* Stream);
  void SaveToFilePCX(const AnsiString& FileName);
  void SaveToStreamPCX(TStream* Stream);
  void SaveToFileBMP(const AnsiString& FileName);
  void SaveToStreamBMP(TStream* Stream);
  void SaveToFilePNG(const AnsiString& FileName);
  void SaveToStreamPNG(TStream* Stream);
  void SaveToFileTGA(const AnsiString& FileName);
  void SaveToStreamTGA(TStream* Stream);
  void SaveToFilePXM(const AnsiString& FileName);
  void SaveToStreamPXM(TStream* Stream);
  void SaveToFileJP2(const AnsiString& FileName);
  void SaveToStreamJP2(TStream* Stream);
  void SaveToFileJ2K(const AnsiString& FileName);
  void SaveToStreamJ2K(TStream* Stream);

  // --- Editing files as a whole
  // Replaces the JPEG's IPTC block by Params' IPTC_Info; the file is rewritten only
  // when the new JPEG has been built whole.
  bool InjectJpegIPTC(const AnsiString& FileName);
  bool InjectJpegIPTCStream(TStream* InStream, TStream* OutStream);
  // Inserts the working store as a frame at Params.GIF_ImageIndex and marks the
  // file animated; answers the frame count (-1 when the work went to a thread).
  Integer InsertToFileGif(const AnsiString& FileName);
  // Appends the working store as a page; answers the writer's count.
  Integer InsertToFileTIFF(const AnsiString& FileName);

  // --- Scanners
  // One image from the selected source into the working store; true on success.
  // False while a modeless acquisition is open.
  bool Acquire();
  // The source-selection dialog; true when a source was chosen (the selection
  // changes only then).
  bool SelectAcquireSource();
  // A modeless acquisition for the attached view: the source stays enabled and
  // every image it delivers goes through TWMultiCallBack into the view.
  bool AcquireOpen();
  void AcquireClose();
  bool GetAcquireOpened() const noexcept { return acquireHandle_ != nullptr; }
  virtual void TWMultiCallBack(TIEBitmap* Bitmap, TIOParamsVals*& IOParams);
  virtual void TWCloseCallBack();
  virtual void DoAcquireBitmap(TIEBitmap* ABitmap, bool& Handled);
  TIETWainParams* GetTWainParams() const noexcept { return twainParams_.get(); }
  std::function<void(TObject* Sender, TIEBitmap* ABitmap, bool& Handled)> OnAcquireBitmap;

  // --- AVI frames (one file open at a time; the destructor closes it)
  // Opens the first video stream of an AVI file, closing the file open before, and
  // answers its frame count (0 with Aborting set when it cannot be read).
  Integer OpenAVIFile(const AnsiString& FileName);
  // Decodes frame FrameIndex (0-based) into the working store. No file open, an
  // index out of range or a frame that cannot be decoded leave the image as it was
  // and set Aborting.
  void LoadFromAVI(Integer FrameIndex);
  void CloseAVIFile();

 private:
  friend class TIEIOThread;

  // Starts a thread doing work when the rule says so: the store is not the
  // component's own, AsyncMode is on and the caller is not one of its threads.
  bool ReIssue(TIEIOMethodTypes kind, std::function<void()> work);
  TProgressRec MakeProgress();
  void ReEncapsulate();
  // Runs work and then DoFinishWork; an exception sets Aborting, runs DoFinishWork
  // and goes on to the caller.
  void Finishing(const std::function<void()>& work);

  // The read of one built-in format from stream into a scratch store; on success
  // the image and parameters replace the working ones. Answers the frame or page
  // count of GIF and TIFF.
  Integer ReadFormat(Integer fileType, TStream* stream, Int64 blockLen, const AnsiString& fileName,
                     bool relativeTiffOffsets);
  Integer LoadFileFormat(Integer fileType, const AnsiString& fileName);
  Integer LoadStreamFormat(Integer fileType, TStream* stream);
  // The working store as the writers take it (ie24RGB or ie1g): converted in place
  // when that loses nothing, else a converted copy kept in copy. Null, with the abort
  // flag set, when the store is empty: there is nothing to write.
  TIEBitmap* SaveSource(std::unique_ptr<TIEBitmap>& copy);
  // Writes the working store (converted as the writers need) at stream's position.
  void WriteFormat(Integer fileType, TStream* stream, bool withHeader);
  void SaveFileFormat(Integer fileType, const AnsiString& fileName);
  void SaveStreamFormat(Integer fileType, TStream* stream);
  // The registry's path for formats only a record knows.
  void LoadFileByRecord(const AnsiString& fileName, PIEFileFormatInfo record);
  void LoadStreamByRecord(TStream* stream, PIEFileFormatInfo record);
  void SaveFileByRecord(const AnsiString& fileName, PIEFileFormatInfo record);
  void SaveStreamByRecord(TStream* stream, PIEFileFormatInfo record);
  void ReadParams(TStream* stream, Integer fileType, bool relativeTiffOffsets);
  void DoLoadFromURL(const AnsiString& URL);

  // The attached view replaced its store: take the new one.
  void ViewStoreReplaced() override;

  // The open AVI file: its handles (all null when none is open), closed when the
  // component goes, after its threads have ended.
  struct AVIHandles {
    PAVIFILE file = nullptr;
    PAVISTREAM stream = nullptr;
    PGETFRAME getter = nullptr;
    AVISTREAMINFOA info;
    void Close();
    ~AVIHandles() { Close(); }
  };
  AVIHandles avi_;

  // The metafile's size after the sizing rule; false (Aborting set) when it is 0.
  bool SizeMetafile(Integer fileW, Integer fileH, Integer* width, Integer* height);
  void DoImportMetafile(const AnsiString& FileName, Integer Width, Integer Height);
  void DoCaptureFromScreen(TIECSSource Source, TCursor MouseCursor);

  bool DoAcquire();

  std::unique_ptr<TFont> previewFont_;
  std::unique_ptr<TIETWainParams> twainParams_;
  void* acquireHandle_ = nullptr;  // the open modeless acquisition
  TIEBitmap* ieBitmap_ = nullptr;
  std::unique_ptr<TIEBitmap> ownBitmap_;  // the store the component made, when it is working on it
  bool ownsIEBitmap_ = true;
  TBitmap* bitmap_ = nullptr;  // not owned
  TColor background_ = 0;
  TIEDitherMethod defaultDitherMethod_ = ieThreshold;
  std::unique_ptr<TIOParamsVals> params_;
  bool aborting_ = false;
  bool asyncMode_ = false;
  CRITICAL_SECTION threadsLock_;
  std::vector<TIEIOThread*> threads_;  // guarded by threadsLock_
};

// Installs the image library's decoders of compressed AVI frames (MJPG through the
// JPEG codec) in the platform's AVIFile. Done once when the library starts; calling it
// again does no harm.
void IEInstallAVIDecoders();
// Milliseconds per frame of a video stream (its scale / rate seconds, cut toward
// zero); 0 when the stream gives no rate.
Integer IEAVIFrameDelay(const AVISTREAMINFOA& info);

// ===========================================================================
// Lossless JPEG transforms, and multi-page TIFF and GIF files

// Transforms the JPEG of Source into Dest without decoding it; true on success.
bool JpegLosslessTransformStream(TStream* Source, TStream* Dest, TIEJpegTransform Transform,
                                 bool grayScale, TIEJpegCopyMarkers CopyMarkers, TRect CutRect);
// The same on files. The destination is written under a temporary name and renamed
// into place once complete; false, and no destination written, when the source
// cannot be opened, the transform fails, or both names are the same file.
bool JpegLosslessTransform(const AnsiString& SourceFile, const AnsiString& DestFile,
                           TIEJpegTransform Transform, bool grayScale,
                           TIEJpegCopyMarkers CopyMarkers, TRect CutRect);

Integer DeleteGifIm(const AnsiString& FileName, Integer Index);
// 0 when the file cannot be read.
Integer EnumGifIm(const AnsiString& FileName);
// False when the file cannot be read.
bool CheckAniGif(const AnsiString& FileName);
Integer DeleteTIFFIm(const AnsiString& FileName, Integer Index);
Integer EnumTIFFIm(const AnsiString& FileName);
Integer EnumTIFFStream(TStream* Stream);
void ExtractTIFFImageStream(TStream* Source, TStream* Dest, Integer Index);
void ExtractTIFFImageFile(const AnsiString& SourceFile, const AnsiString& DestFile, Integer Index);
void InsertTIFFImageStream(TStream* Source, TStream* Inserted, TStream* Dest, Integer Index);
void InsertTIFFImageFile(const AnsiString& SourceFile, const AnsiString& InsertedFile,
                         const AnsiString& DestFile, Integer Index);
