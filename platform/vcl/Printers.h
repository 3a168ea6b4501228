// The framework's printer object on the system's one printer (platform/printer):
// Printer() is created on first use and lives until the process ends.
//
// With no printer installed every call that needs the device raises EPrinter "There
// is no default printer currently selected". BeginDoc while a job is open raises
// EPrinter "Printing in progress"; NewPage, EndDoc and the canvas's page outside a
// job raise EPrinter "Printer is not currently printing". Outside a job the canvas
// still measures: its DC answers the page's resolution and size.
#pragma once

#include <memory>

#include "platform/printer/Printer.h"
#include "platform/rtl/Exceptions.h"
#include "platform/vcl/Graphics.h"

LARK_DECLARE_EXCEPTION(EPrinter, Exception);

enum class TPrinterOrientation : Byte { poPortrait, poLandscape };
using enum TPrinterOrientation;

class TPrinter : public TObject {
 public:
  LARK_CLASS_NAME(TPrinter)
  TPrinter();
  ~TPrinter() override;

  // The page's drawing surface: the job's page during a job, otherwise a DC that
  // only answers the device's capabilities.
  TCanvas* GetCanvas();
  // The page in device pixels.
  Integer GetPageWidth();
  Integer GetPageHeight();
  Integer GetPageNumber() const noexcept { return pageNumber_; }
  bool GetPrinting() const;
  bool GetAborted() const noexcept { return aborted_; }
  AnsiString GetTitle() const { return title_; }
  // The job's title: its spool folder's name and the PDF's title, taken when the job
  // ends (so it may be set after BeginDoc).
  void SetTitle(const AnsiString& value);
  TPrinterOrientation GetOrientation();
  void SetOrientation(TPrinterOrientation value);
  // The printers there are (the one virtual printer) and the one in use.
  AnsiString GetPrinterName() const { return larkprint::kPrinterName; }

  void BeginDoc();
  void NewPage();
  // Writes the job's pages and PDF (EPrinter when they cannot be written).
  void EndDoc();
  void Abort();

 private:
  void CheckInstalled() const;
  void CheckPrinting() const;
  void UseMeasuringDC();

  std::unique_ptr<TCanvas> canvas_;
  HDC measuringDC_ = 0;
  AnsiString title_;
  Integer pageNumber_ = 0;
  bool aborted_ = false;
};

// The process's printer object.
TPrinter* Printer();
