// The forms behind the platform's dialogs, shared by the dialog sources.
#pragma once

#include "platform/vcl/Forms.h"
#include "platform/win/SimHooks.h"

// Posted to a dialog put on screen; its loop hands the dialog to the responder.
inline constexpr UINT CM_DIALOGSHOWN = CM_BASE + 0x7F0;

// A dialog form: asks the dialog responder, then either applies its answers as a
// person would (the value into the form, then the button pressed) or runs on screen
// until it is closed. With no answer left it takes its default button, and Cancel
// when the default button does not close it, so that it never waits for nobody.
class TDialogForm : public TForm {
 public:
  explicit TDialogForm(sim::DialogKind kind);

  // Runs the dialog; answers the result of the button that closed it (IDOK...).
  Integer Execute(const AnsiString& caption, const AnsiString& text, UINT flags);

  void Dispatch(TMessage& message) override;

 protected:
  // Builds what the dialog needs before it is asked (windows, hooks told).
  virtual void Prepare() {}
  // Puts an answer's value into the form.
  virtual void ApplyValue(const AnsiString& /*value*/) {}
  // The value the form holds now.
  virtual AnsiString CurrentValue() { return AnsiString(); }
  // Presses the button giving `result`: sets ModalResult, or leaves it mrNone when
  // the form refuses (a name that must exist and does not).
  virtual void Press(Integer result) { SetModalResult(result); }
  virtual Integer DefaultResult() { return mrOk; }
  virtual Integer CancelResult() { return mrCancel; }

 private:
  sim::DialogKind kind_;
};

// Text sizes in a font: one line, or wrapped at maxWidth.
TSize MeasureText(TFont* font, const AnsiString& text, Integer maxWidth = 0);

// The forms behind the platform's calls.
struct tagOFN;
struct tagCHOOSECOLOR;
Integer MessageBoxForm(HWND owner, const char* text, const char* caption, UINT type);
BOOL FileDialogForm(tagOFN* ofn, bool save);
BOOL ChooseColorForm(tagCHOOSECOLOR* cc);

// Makes the framework the platform's dialog host (platform/win/DialogHost.h).
void InstallDialogHost();
