// The picture open and save dialogs: the platform's file dialogs with a preview area
// placed beside the file list through a dialog template. A single-image view shows
// ordinary files; a multi-image view shows (and plays) the frames of animated GIF,
// multi-page TIFF and AVI files; labels give the size, colours, resolution, file
// type and sizes of the picture selected. The save dialog offers the formats the
// library can write, keeps the name's extension in step with the chosen type, opens
// the parameter preview dialog from its "Advanced" button, and puts the attached
// component's parameters back when the user cancels.
#pragma once

#include <memory>

#include "image/io/dadiravio.h"
#include "image/io/iemio.h"
#include "image/views/dadiravview.h"
#include "image/views/iemview.h"
#include "platform/vcl/Buttons.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/win/CommDlg.h"

// Xlib's X.h defines None as a macro; the name keeps its meaning here.
#pragma push_macro("None")
#undef None

enum class TIEDBorderStyle : Byte { iepsDefault, iepsCropped, iepsCropShadow };
using enum TIEDBorderStyle;

// The dialog templates the picture dialogs register (with and without the preview
// area), under the program's module.
inline constexpr char kIETemplateName[] = "IDD_IETEMPLATE";
inline constexpr char kIETemplateName1[] = "IDD_IETEMPLATE1";
// The template item the file dialog's own controls take the place of.
inline constexpr Integer kIEPlaceholderId = 1119;

// The frame of a common dialog: runs it modally, takes the dialog window through the
// hook (old-style or explorer) and hands its messages to WndProc.
class TIECommonDialog : public TComponent {
 public:
  LARK_CLASS_NAME(TIECommonDialog)
  explicit TIECommonDialog(TComponent* owner);
  ~TIECommonDialog() override;

  TMsgLanguage MsgLanguage = msSystem;
  bool Ctl3D = true;
  Integer HelpContext = 0;
  TNotifyEvent OnClose;
  TNotifyEvent OnShow;
  bool ShowPlacesBar = true;
  bool ExtendedDialog = true;
  // The window that received the hook's messages (the template's child dialog of an
  // explorer dialog, the dialog itself of an old-style one); 0 when not shown.
  HWND GetHandle() const noexcept { return handle_; }
  // The file dialog itself (the child dialog's parent); 0 when not shown.
  HWND GetDialogWindow() const noexcept;
  virtual bool Execute() = 0;

 protected:
  // Messages of the dialog; Result 0 when not handled.
  virtual void WndProc(TMessage& message);
  virtual void DoClose();
  virtual void DoShow();
  // Messages of the application's window while the dialog runs: with a HelpContext,
  // the dialog's help request opens that context of the application's help. True
  // when the message was taken.
  virtual bool MessageHook(TMessage& message);
  // Runs the dialog function with this component receiving the hook's messages.
  BOOL TaskModalDialog(bool save, OPENFILENAME& ofn);
  bool OldStyle() const noexcept { return oldStyle_; }
  AnsiString TemplateName;

 private:
  static UINT_PTR ExplorerHook(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
  static UINT_PTR OldStyleHook(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam);
  void TakeWindow(HWND window);
  void Centre(HWND window);
  // Centres the window once the dialog is on screen (the dialog places itself when it
  // shows, after its hook ran).
  void CentreWhenShown(HWND window);
  HWND handle_ = 0;
  HWND helper_ = 0;  // a hidden window of ours that receives the posted centring
  bool oldStyle_ = false;
  friend class TOpenDadirAvDialog;
};

class TOpenDadirAvDialog : public TIECommonDialog {
 public:
  LARK_CLASS_NAME(TOpenDadirAvDialog)
  explicit TOpenDadirAvDialog(TComponent* owner);
  ~TOpenDadirAvDialog() override;

  bool Execute() override;
  // The filter of the formats that can be read (or, saving, written).
  virtual void BuildStrFilter(AnsiString& filter, bool saving = false);
  void SetLang();
  // While shown: the full path of the selection, or the text of the name box.
  AnsiString GetFileName();
  AnsiString GetFileName2();
  Integer GetFilterIndex() const;
  void SetInitialDir(const AnsiString& dir);
  const AnsiString& GetInitialDir() const noexcept { return initialDir_; }
  void SetHistoryList(TStrings* list) { HistoryList->Assign(list); }
  // The placeholder's rectangle in the dialog's coordinates; empty when not shown.
  TRect GetStaticRect();
  // The zoom list's choice into the single view.
  void SetZoom();
  void SetPreviewBorderStyle(TIEDBorderStyle style);
  TIEDBorderStyle GetPreviewBorderStyle() const noexcept { return previewBorderStyle_; }
  // The information labels for params (null clears them).
  void ShowIOParams(const TIOParamsVals* params);
  // The person's selection changed (the dialog's notification).
  virtual void DoSelectionChange();
  virtual void DoFolderChange();
  virtual void DoTypeChange();
  virtual bool DoCanClose();

  AnsiString DefaultExt;
  AnsiString FileName;
  AnsiString Filter;
  Integer FilterIndex = 1;
  TOpenOptions Options{ofHideReadOnly};
  AnsiString Title;
  std::unique_ptr<TStringList> Files;
  std::unique_ptr<TStringList> HistoryList;
  TNotifyEvent OnSelectionChange;
  TNotifyEvent OnFolderChange;
  TNotifyEvent OnTypeChange;
  TCloseQueryEvent OnCanClose;
  bool AutoSetFilter = true;
  bool AlwaysAnimate = false;
  bool AutoAdjustDPI = false;
  bool FilteredAdjustDPI = false;
  bool ShowAVIFilter = true;
  AnsiString ExtendedFilters;
  AnsiString PreviewFormCaption;
  TResampleFilter GetZoomFilter() const;
  void SetZoomFilter(TResampleFilter filter);

  // The preview area (owned by this component).
  TPanel* PicturePanel = nullptr;
  TPanel* InfoPanel = nullptr;
  TLabel* PicLabel1 = nullptr;
  TLabel* PicLabel2 = nullptr;
  TLabel* PicLabel3 = nullptr;
  TLabel* InfoLabel1 = nullptr;
  TLabel* InfoLabel2 = nullptr;
  TSpeedButton* PreviewButton = nullptr;
  TComboBox* ZoomCombo = nullptr;
  TProgressBar* ProgressBar = nullptr;
  TSpeedButton* PlayButton = nullptr;
  TButton* AdvancedButton = nullptr;
  TCheckBox* PreviewCheck = nullptr;
  TDadirAvView* DadirAvView = nullptr;
  TDadirAvMView* DadirAvMView = nullptr;
  TDadirAvIO* GetIO() const noexcept { return io_; }
  TDadirAvMIO* GetMIO() const noexcept { return mio_; }
  // Images previewed for the selection (0 when none).
  Integer GetImageCount() const noexcept { return frames_; }
  // The full-size preview of the current picture, shown modally.
  void ShowFullPreview();

 protected:
  void WndProc(TMessage& message) override;
  void DoShow() override;
  void DoClose() override;
  // Runs the file dialog; true when a name was chosen.
  bool DoExecute(bool save);
  // The pattern of the filter's index-th (1-based) entry.
  AnsiString PatternAt(Integer index) const;
  bool previewEnabled_ = true;
  AnsiString currentPattern_;

 private:
  void ClearPreview();

  bool busy_ = false;
  TDadirAvIO* io_ = nullptr;
  TDadirAvMIO* mio_ = nullptr;
  Int64 fileSize_ = 0;
  Integer frames_ = 0;
  Integer currentFilterIndex_ = 1;
  AnsiString initialDir_;
  TIEDBorderStyle previewBorderStyle_ = iepsDefault;
  bool shown_ = false;
};

enum class TIESaveDlgOptItem : Byte { sdShowPreview, sdShowAdvanced };
using enum TIESaveDlgOptItem;
using TIESaveDlgOpt = TSet<TIESaveDlgOptItem>;

class TSaveDadirAvDialog : public TOpenDadirAvDialog {
 public:
  LARK_CLASS_NAME(TSaveDadirAvDialog)
  explicit TSaveDadirAvDialog(TComponent* owner);
  ~TSaveDadirAvDialog() override;

  bool Execute() override;
  TIESaveDlgOpt ExOptions{sdShowPreview, sdShowAdvanced};
  // A TDadirAvIO, TDadirAvMIO, TDadirAvView or TDadirAvMView; null and other classes
  // are ignored.
  void SetAttachedDadirAvIO(TComponent* component);
  TComponent* GetAttachedDadirAvIO() const noexcept { return attached_; }
  void Notification(TComponent* component, TOperation operation) override;
  // "Advanced": the parameter dialog on the page of the name's format.
  void DoAdvanced();
  // The name box's extension replaced by the current type's.
  void SetFileNameExt();
  void DoTypeChange() override;

 private:
  // The parameters the attached component saves with; null when none.
  TIOParamsVals* AttachedParams() const;
  TComponent* attached_ = nullptr;
  std::unique_ptr<TIOParamsVals> copy_;
};

// The page of the parameter dialog for a file extension (with or without its dot);
// false when the dialog has none for it.
bool IEExtensionPage(const AnsiString& extension, TPreviewParamsItems& page);
// "name.ext" for a name and a pattern: the name's last extension replaced by the
// pattern's ("*.jpg;*.jpeg" gives ".jpg"); the name as it is for a pattern without one.
AnsiString IEReplaceExtension(const AnsiString& name, const AnsiString& pattern);

#pragma pop_macro("None")
