// The virtual printer: its device capabilities, the job's PNG pages and PDF read back
// by ImageMagick and poppler, the set-up dialog and the "no printer" mode.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/printer/Printer.h"
#include "platform/printer/SimHooks.h"
#include "platform/sim/Dialogs.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Printers.h"
#include "tests/support/Peers.h"

namespace fs = std::filesystem;
using larktest::RequireProgram;
using larktest::RunCommand;

namespace {

class PrinterTest : public ::testing::Test {
 protected:
  void SetUp() override { sim::SetSpoolFolder(dir_.Path() + "spool"); }
  std::string Spool() const { return dir_.Path() + "spool"; }

  larktest::TempDir dir_;
};

std::string Trim(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

// pdfinfo's "Pages:" and "Page size:" lines.
std::string PdfField(const std::string& pdf, const std::string& field) {
  const std::string out = RunCommand({RequireProgram("pdfinfo"), pdf});
  const size_t at = out.find(field + ":");
  if (at == std::string::npos) return "";
  size_t from = out.find_first_not_of(' ', at + field.size() + 1);
  return Trim(out.substr(from, out.find('\n', from) - from));
}

TEST_F(PrinterTest, CanvasAnswersThePagesResolutionAndSize) {
  struct Case {
    larkprint::PaperSize paper;
    TPrinterOrientation orientation;
    Integer dpi, width, height;
  } cases[] = {
      {larkprint::PaperSize::Letter, poPortrait, 150, 1275, 1650},
      {larkprint::PaperSize::Letter, poLandscape, 150, 1650, 1275},
      {larkprint::PaperSize::Letter, poPortrait, 600, 5100, 6600},
      {larkprint::PaperSize::A4, poPortrait, 300, 2480, 3508},
  };
  for (const Case& c : cases) {
    larkprint::PrinterSettings st;
    st.paper = c.paper;
    st.dpiX = st.dpiY = c.dpi;
    ASSERT_TRUE(larkprint::ApplySettings(st));
    Printer()->SetOrientation(c.orientation);
    const HDC dc = Printer()->GetCanvas()->GetHandle();
    EXPECT_EQ(::GetDeviceCaps(dc, LOGPIXELSX), c.dpi);
    EXPECT_EQ(::GetDeviceCaps(dc, LOGPIXELSY), c.dpi);
    EXPECT_EQ(::GetDeviceCaps(dc, HORZRES), c.width);
    EXPECT_EQ(::GetDeviceCaps(dc, VERTRES), c.height);
    EXPECT_EQ(::GetDeviceCaps(dc, TECHNOLOGY), DT_RASPRINTER);
    EXPECT_EQ(Printer()->GetPageWidth(), c.width);
    EXPECT_EQ(Printer()->GetPageHeight(), c.height);
  }
  larkprint::PrinterSettings bad;
  bad.dpiX = bad.dpiY = 1200;
  EXPECT_FALSE(larkprint::ApplySettings(bad));
}

TEST_F(PrinterTest, JobWritesPngPagesAndAPdfTheToolsReadBack) {
  TPrinter* p = Printer();
  p->BeginDoc();
  p->SetTitle("Holiday photo");
  TCanvas* c = p->GetCanvas();
  c->GetBrush()->SetColor(static_cast<TColor>(0x0000FF));
  c->GetPen()->SetStyle(psClear);
  c->FillRect(Rect(150, 300, 450, 600));  // 2 x 2 inches at 1 inch, 2 inches
  p->NewPage();
  p->GetCanvas()->FillRect(Rect(0, 0, 75, 75));
  p->EndDoc();

  const fs::path job = fs::path(Spool()) / "Holiday photo";
  ASSERT_TRUE(fs::is_directory(job));
  EXPECT_EQ(larkprint::LastJobFolder(), job.string());
  const std::string page1 = (job / "page001.png").string(), page2 = (job / "page002.png").string();
  const std::string identify = RequireProgram("identify-im6.q16");
  EXPECT_EQ(RunCommand({identify, "-format", "%wx%h %@", page1}), "1275x1650 300x300+150+300");
  EXPECT_EQ(RunCommand({identify, "-format", "%wx%h %@", page2}), "1275x1650 75x75+0+0");

  const std::string pdf = (job / "Holiday photo.pdf").string();
  EXPECT_EQ(PdfField(pdf, "Pages"), "2");
  EXPECT_EQ(PdfField(pdf, "Page size").substr(0, 18), "612 x 792 pts (let");
  EXPECT_EQ(PdfField(pdf, "Title"), "Holiday photo");

  // The PDF's first page rendered at the printer's resolution is the PNG page.
  const std::string out = dir_.Path() + "render";
  RunCommand({RequireProgram("pdftoppm"), "-r", "150", "-f", "1", "-l", "1", "-png", "-singlefile", pdf, out});
  // ImageMagick reports the metric on standard error.
  const std::string metric = RunCommand({"/bin/sh", "-c", RequireProgram("compare-im6.q16") + " -metric PSNR '" + page1 + "' '" + out +
                                                              ".png' null: 2>&1"});
  const double db = metric.rfind("inf", 0) == 0 ? 1e9 : std::atof(metric.c_str());
  EXPECT_GE(db, 40.0) << "PSNR " << metric;
}

TEST_F(PrinterTest, TitlesBecomeFolderNamesWithoutOverwritingEarlierJobs) {
  const struct {
    const char* title;
    const char* folder;
  } cases[] = {{"a/b\\c", "a_b_c"}, {"", "Untitled"}, {"..", "_"}, {"a/b\\c", "a_b_c (2)"}};
  for (const auto& c : cases) {
    Printer()->BeginDoc();
    Printer()->SetTitle(c.title);
    Printer()->EndDoc();
    EXPECT_EQ(fs::path(larkprint::LastJobFolder()).filename().string(), c.folder);
    EXPECT_TRUE(fs::exists(fs::path(larkprint::LastJobFolder()) / "page001.png"));
  }
}

TEST_F(PrinterTest, AbortWritesNothingAndJobsDoNotNest) {
  Printer()->BeginDoc();
  EXPECT_THROW(Printer()->BeginDoc(), EPrinter);
  Printer()->Abort();
  EXPECT_TRUE(Printer()->GetAborted());
  EXPECT_FALSE(Printer()->GetPrinting());
  EXPECT_THROW(Printer()->EndDoc(), EPrinter);
  EXPECT_THROW(Printer()->NewPage(), EPrinter);
  size_t entries = 0;
  if (fs::exists(Spool()))
    for ([[maybe_unused]] auto& e : fs::directory_iterator(Spool())) ++entries;
  EXPECT_EQ(entries, 0u);
}

TEST_F(PrinterTest, NoPrinterRaisesAsTheFrameworkDoes) {
  sim::SetNoPrinter(true);
  EXPECT_THROW(Printer()->BeginDoc(), EPrinter);
  EXPECT_THROW(Printer()->GetCanvas(), EPrinter);
  EXPECT_THROW(Printer()->GetPageWidth(), EPrinter);
  TPrinterSetupDialog dialog(nullptr);
  try {
    dialog.Execute();
    ADD_FAILURE() << "no exception";
  } catch (const EPrinter& e) {
    EXPECT_EQ(e.Message(), "There is no default printer currently selected");
  }
  sim::SetNoPrinter(false);
  EXPECT_NO_THROW(Printer()->GetPageWidth());
}

TEST_F(PrinterTest, SetupDialogEditsTheSettingsOnOkOnly) {
  TPrinterSetupDialog dialog(nullptr);
  sim::QueueDialogAnswer("Print Setup", mrCancel, "PDF/PNG;Paper=A4;Orientation=Landscape;Resolution=600");
  EXPECT_FALSE(dialog.Execute());
  EXPECT_EQ(larkprint::CurrentSettings().dpiX, 150);
  sim::QueueDialogAnswer("Print Setup", mrOk, "PDF/PNG;Paper=A4;Orientation=Landscape;Resolution=300");
  EXPECT_TRUE(dialog.Execute());
  const larkprint::PrinterSettings st = larkprint::CurrentSettings();
  EXPECT_EQ(st.paper, larkprint::PaperSize::A4);
  EXPECT_EQ(st.orientation, larkprint::PageOrientation::Landscape);
  EXPECT_EQ(st.dpiX, 300);
  EXPECT_EQ(Printer()->GetPageWidth(), 3508);
  EXPECT_EQ(sim::DialogLog().back().Value, "PDF/PNG;Paper=A4;Orientation=Landscape;Resolution=300");
}

}  // namespace
