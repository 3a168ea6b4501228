#include "platform/vcl/Printers.h"

namespace {

constexpr char kNoPrinter[] = "There is no default printer currently selected";
constexpr char kInProgress[] = "Printing in progress";
constexpr char kNotPrinting[] = "Printer is not currently printing";

}  // namespace

TPrinter::TPrinter() : canvas_(std::make_unique<TCanvas>()) {}

TPrinter::~TPrinter() {
  canvas_->SetHandle(0);
  if (measuringDC_) ::DeleteDC(measuringDC_);
}

void TPrinter::CheckInstalled() const {
  if (!larkprint::PrinterInstalled()) throw EPrinter(kNoPrinter);
}

void TPrinter::CheckPrinting() const {
  CheckInstalled();
  if (!larkprint::JobOpen()) throw EPrinter(kNotPrinting);
}

void TPrinter::SetTitle(const AnsiString& value) {
  title_ = value;
  larkprint::SetJobTitle(title_.c_str());
}

bool TPrinter::GetPrinting() const { return larkprint::JobOpen(); }

// A DC that answers the device's capabilities for the current settings.
void TPrinter::UseMeasuringDC() {
  Integer w = 0, h = 0;
  larkprint::PageSizePixels(&w, &h);
  const larkprint::PrinterSettings st = larkprint::CurrentSettings();
  canvas_->SetHandle(0);
  if (measuringDC_) ::DeleteDC(measuringDC_);
  measuringDC_ = ::CreatePrinterDC(w, h, st.dpiX, st.dpiY);
  canvas_->SetHandle(measuringDC_);
}

TCanvas* TPrinter::GetCanvas() {
  CheckInstalled();
  if (larkprint::JobOpen()) {
    const HDC dc = larkprint::JobDC();
    if (!canvas_->HandleAllocated() || canvas_->GetHandle() != dc) canvas_->SetHandle(dc);
  } else {
    UseMeasuringDC();
  }
  return canvas_.get();
}

Integer TPrinter::GetPageWidth() {
  CheckInstalled();
  Integer w = 0, h = 0;
  larkprint::PageSizePixels(&w, &h);
  return w;
}

Integer TPrinter::GetPageHeight() {
  CheckInstalled();
  Integer w = 0, h = 0;
  larkprint::PageSizePixels(&w, &h);
  return h;
}

TPrinterOrientation TPrinter::GetOrientation() {
  CheckInstalled();
  return larkprint::CurrentSettings().orientation == larkprint::PageOrientation::Landscape ? poLandscape
                                                                                         : poPortrait;
}

void TPrinter::SetOrientation(TPrinterOrientation value) {
  CheckInstalled();
  if (larkprint::JobOpen()) throw EPrinter(kInProgress);
  larkprint::PrinterSettings st = larkprint::CurrentSettings();
  st.orientation = value == poLandscape ? larkprint::PageOrientation::Landscape
                                        : larkprint::PageOrientation::Portrait;
  larkprint::ApplySettings(st);
}

void TPrinter::BeginDoc() {
  CheckInstalled();
  if (larkprint::JobOpen()) throw EPrinter(kInProgress);
  canvas_->SetHandle(0);
  if (!larkprint::BeginJob(title_.c_str())) throw EPrinter(kInProgress);
  aborted_ = false;
  pageNumber_ = 1;
  canvas_->SetHandle(larkprint::JobDC());
}

void TPrinter::NewPage() {
  CheckPrinting();
  canvas_->SetHandle(0);
  larkprint::NewPage();
  ++pageNumber_;
  canvas_->SetHandle(larkprint::JobDC());
}

void TPrinter::EndDoc() {
  CheckPrinting();
  canvas_->SetHandle(0);
  pageNumber_ = 0;
  if (larkprint::EndJob().empty()) throw EPrinter("The print job \"" + title_ + "\" could not be written");
}

void TPrinter::Abort() {
  CheckPrinting();
  canvas_->SetHandle(0);
  larkprint::AbortJob();
  pageNumber_ = 0;
  aborted_ = true;
}

TPrinter* Printer() {
  static TPrinter* printer = new TPrinter;  // the framework's printer lives as long as the process
  return printer;
}
