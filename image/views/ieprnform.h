// The two print forms of the input/output component: a compact dialog with a small
// page preview (Tfieprnform2) and a maximised preview with a toolbar (tfieprnform1).
// Both set margins, a position on the page, a size mode, a specified size and a
// gamma value, redraw the preview after every change and print through the
// component. Lengths typed in cm are divided by 2.54; a text that is no number
// counts as 0 in a margin, 1 in a size and 1 as gamma (as does a gamma at or below
// 0, which means no correction).
#pragma once

#include "image/io/dadiravio.h"
#include "image/views/dadiravview.h"
#include "platform/vcl/Buttons.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/ComCtrlsBasic.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Menus.h"
#include "platform/vcl/StdCtrls.h"

// Xlib's X.h (included by the display backend) defines KeyPress and Button1..4 as
// macros; the names keep their meaning in this header.
#pragma push_macro("KeyPress")
#undef KeyPress
#pragma push_macro("Button1")
#undef Button1
#pragma push_macro("Button2")
#undef Button2
#pragma push_macro("Button4")
#undef Button4

// What both forms share: their controls for the values, reading them, the preview
// and printing.
class TIEPrintFormBase : public TForm {
 public:
  explicit TIEPrintFormBase(TComponent* owner) : TForm(owner) {}

  TDadirAvIO* io = nullptr;
  TIEDialogsMeasureUnit fDialogsMeasureUnit = ieduInches;
  AnsiString fTaskName;

  TEdit* Edit1 = nullptr;  // top margin
  TEdit* Edit2 = nullptr;  // left margin
  TEdit* Edit3 = nullptr;  // right margin
  TEdit* Edit4 = nullptr;  // bottom margin
  TEdit* Edit5 = nullptr;  // specified width
  TEdit* Edit6 = nullptr;  // specified height
  TEdit* Edit7 = nullptr;  // gamma
  TUpDown* UpDowns[7] = {};
  TSpeedButton* SpeedButtons[9] = {};  // the position grid, row by row
  TComboBox* ComboBox1 = nullptr;      // the size mode
  TDadirAvView* DadirAvView1 = nullptr;
  TPrinterSetupDialog* PrinterSetupDialog1 = nullptr;

  // 2.54 for cm, else 1.
  double UnitFactor() const;
  // Reads the form and previews, or prints when printing is true.
  void PrintPreview(bool printing);
  // Steps an edit's number by delta (never below 0).
  void incdecmargins(TEdit* edit, TUDBtnType button, double delta = 0.01);
  void PrinterSetup();

 protected:
  // Makes the margin, size and gamma fields with their up-downs (none associated).
  void MakeFields(TWinControl* parent);
  void MakePositionButtons(TWinControl* parent, bool flat);
  // No preview while the form is this small (the maximised form only).
  virtual bool PreviewTooSmall() { return false; }
};

class Tfieprnform2 : public TIEPrintFormBase {
 public:
  LARK_CLASS_NAME(Tfieprnform2)
  explicit Tfieprnform2(TComponent* owner);

  TGroupBox* GroupBox1 = nullptr;
  TGroupBox* GroupBox6 = nullptr;
  TComboBox* ComboBox2 = nullptr;  // the measure unit
  TLabel* Label5 = nullptr;
  TLabel* Label6 = nullptr;
  TLabel* Label7 = nullptr;
  TLabel* Label8 = nullptr;
  TButton* Button1 = nullptr;  // OK
  TButton* Button2 = nullptr;  // Cancel
  TButton* Button4 = nullptr;  // Printer Setup

  void FormActivate(TObject* sender);
  void ComboBox1Change(TObject* sender);
  void ComboBox2Change(TObject* sender);
  void SetLanguage(TMsgLanguage language);
  void SetLanguage_units();

 private:
  TMsgLanguage language_ = msSystem;
  std::vector<TLabel*> labels_;
  std::vector<TGroupBox*> groups_;
};

class tfieprnform1 : public TIEPrintFormBase {
 public:
  LARK_CLASS_NAME(tfieprnform1)
  explicit tfieprnform1(TComponent* owner);

  TPanel* Panel1 = nullptr;
  TSpeedButton* SpeedButton10 = nullptr;  // printer set-up
  TSpeedButton* SpeedButton11 = nullptr;  // print
  TSpeedButton* SpeedButton12 = nullptr;  // close
  TMainMenu* MainMenu1 = nullptr;
  TMenuItem* Print1 = nullptr;
  TMenuItem* PrintSetup1 = nullptr;
  TMenuItem* Exit1 = nullptr;

  void FormActivate(TObject* sender);
  void SetLanguage(TMsgLanguage language);

 protected:
  bool PreviewTooSmall() override { return GetWidth() <= 99 || GetHeight() <= 99; }
  void Resize() override;
};

#pragma pop_macro("Button4")
#pragma pop_macro("Button2")
#pragma pop_macro("Button1")
#pragma pop_macro("KeyPress")
