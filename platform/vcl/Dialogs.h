// The framework's dialogs: the simple ones (a message, a line of text to type) and
// the components behind the platform's common dialogs. Each is a real modal form;
// whether it goes on screen or is answered at once is up to the dialog responder of
// the simulated world (platform/win/SimHooks.h).
#pragma once

#include <memory>

#include "platform/rtl/Component.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Sets.h"
#include "platform/rtl/Types.h"
#include "platform/vcl/Graphics.h"

// A message with an OK button, captioned with the application's title.
void ShowMessage(const AnsiString& msg);
// Asks for one line of text; true (with value changed) for OK, false for Cancel.
bool InputQuery(const AnsiString& caption, const AnsiString& prompt, AnsiString& value);
// The text typed, or defaultValue for Cancel.
AnsiString InputBox(const AnsiString& caption, const AnsiString& prompt, const AnsiString& defaultValue);


// The components that run the platform's common dialogs.
class TCommonDialog : public TComponent {
 public:
  LARK_CLASS_NAME(TCommonDialog)
  explicit TCommonDialog(TComponent* owner) : TComponent(owner) {}
  // Shows the dialog; true when the person chose (OK), false for Cancel.
  virtual bool Execute() = 0;
  Integer GetHelpContext() const noexcept { return helpContext_; }
  void SetHelpContext(Integer value) noexcept { helpContext_ = value; }

 private:
  Integer helpContext_ = 0;
};

enum class TOpenOption : Byte {
  ofReadOnly, ofOverwritePrompt, ofHideReadOnly, ofNoChangeDir, ofShowHelp, ofNoValidate,
  ofAllowMultiSelect, ofExtensionDifferent, ofPathMustExist, ofFileMustExist, ofCreatePrompt,
  ofShareAware, ofNoReadOnlyReturn, ofNoTestFileCreate, ofNoNetworkButton, ofNoLongNames,
  ofOldStyleDialog, ofNoDereferenceLinks, ofEnableIncludeNotify, ofEnableSizing,
};
using enum TOpenOption;
using TOpenOptions = TSet<TOpenOption>;

// Choosing files to open. Filter is pairs of description and patterns separated by
// '|' ("Text files (*.txt)|*.txt|All files|*.*"); FilterIndex is 1-based. After
// Execute, FileName is the chosen path and Files every chosen path (several with
// ofAllowMultiSelect); ofReadOnly and ofExtensionDifferent tell what the person did.
class TOpenDialog : public TCommonDialog {
 public:
  LARK_CLASS_NAME(TOpenDialog)
  explicit TOpenDialog(TComponent* owner);
  ~TOpenDialog() override;

  bool Execute() override;

  const AnsiString& GetFilter() const noexcept { return filter_; }
  void SetFilter(const AnsiString& value) { filter_ = value; }
  Integer GetFilterIndex() const noexcept { return filterIndex_; }
  void SetFilterIndex(Integer value) noexcept { filterIndex_ = value; }
  const AnsiString& GetFileName() const noexcept { return fileName_; }
  void SetFileName(const AnsiString& value) { fileName_ = value; }
  const AnsiString& GetInitialDir() const noexcept { return initialDir_; }
  void SetInitialDir(const AnsiString& value) { initialDir_ = value; }
  const AnsiString& GetDefaultExt() const noexcept { return defaultExt_; }
  void SetDefaultExt(const AnsiString& value) { defaultExt_ = value; }
  const AnsiString& GetTitle() const noexcept { return title_; }
  void SetTitle(const AnsiString& value) { title_ = value; }
  TOpenOptions GetOptions() const noexcept { return options_; }
  void SetOptions(TOpenOptions value) noexcept { options_ = value; }
  TStrings* GetFiles() const noexcept { return files_.get(); }

 protected:
  // Runs the platform's call with the dialog's settings and takes back the choice.
  bool DoExecute(bool save);

 private:
  AnsiString filter_;
  Integer filterIndex_ = 1;
  AnsiString fileName_;
  AnsiString initialDir_;
  AnsiString defaultExt_;
  AnsiString title_;
  TOpenOptions options_{ofHideReadOnly, ofEnableSizing};
  std::unique_ptr<TStringList> files_;
};

// Choosing a name to save under; ofOverwritePrompt asks before an existing file is
// chosen.
class TSaveDialog : public TOpenDialog {
 public:
  LARK_CLASS_NAME(TSaveDialog)
  explicit TSaveDialog(TComponent* owner) : TOpenDialog(owner) {}
  bool Execute() override;
};

enum class TColorDialogOption : Byte { cdFullOpen, cdPreventFullOpen, cdShowHelp, cdSolidColor, cdAnyColor };
using enum TColorDialogOption;
using TColorDialogOptions = TSet<TColorDialogOption>;

// Choosing a colour among the basic ones and the 16 custom ones. CustomColors holds
// lines "ColorA=RRGGBB" to "ColorP=RRGGBB" (hexadecimal), read before and written
// after the dialog.
class TColorDialog : public TCommonDialog {
 public:
  LARK_CLASS_NAME(TColorDialog)
  explicit TColorDialog(TComponent* owner);
  ~TColorDialog() override;
  bool Execute() override;
  TColor GetColor() const noexcept { return color_; }
  void SetColor(TColor value) noexcept { color_ = value; }
  TStrings* GetCustomColors() const noexcept { return customColors_.get(); }
  TColorDialogOptions GetOptions() const noexcept { return options_; }
  void SetOptions(TColorDialogOptions value) noexcept { options_ = value; }

 private:
  TColor color_ = clBlack;
  std::unique_ptr<TStringList> customColors_;
  TColorDialogOptions options_;
};

// The printer set-up dialog: the printers there are (a virtual one that prints to
// picture files) and the page's orientation.
class TPrinterSetupDialog : public TCommonDialog {
 public:
  LARK_CLASS_NAME(TPrinterSetupDialog)
  explicit TPrinterSetupDialog(TComponent* owner) : TCommonDialog(owner) {}
  bool Execute() override;
};

// Choosing a font: its face, style and size, with a sample. Font is read before and
// written after the dialog.
class TFontDialog : public TCommonDialog {
 public:
  LARK_CLASS_NAME(TFontDialog)
  explicit TFontDialog(TComponent* owner);
  ~TFontDialog() override;
  bool Execute() override;
  TFont* GetFont() const noexcept { return font_.get(); }

 private:
  std::unique_ptr<TFont> font_;
};
