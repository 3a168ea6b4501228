// The virtual printer: pages are 32-bit top-down DIB sections whose rows are laid out
// as cairo's RGB24 image format, so cairo writes them as PNG files and paints them on
// the PDF's pages without a copy.
#include "platform/printer/Printer.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "platform/printer/SimHooks.h"

namespace larkprint {
namespace fs = std::filesystem;

namespace {

struct Job {
  std::string title;
  fs::path staging;          // the job's files until it ends
  HDC dc = 0;
  HBITMAP page = 0;
  HGDIOBJ oldBitmap = 0;
  void* bits = nullptr;
  Integer width = 0;
  Integer height = 0;
  Integer pages = 0;         // pages written so far
  cairo_surface_t* pdf = nullptr;
  bool failed = false;
};

struct State {
  std::recursive_mutex lock;
  PrinterSettings settings;
  bool noPrinter = false;
  std::string spoolOverride;
  std::string lastFolder;
  std::unique_ptr<Job> job;
  unsigned serial = 0;
};

State& S() {
  static State* s = new State;  // used until the process ends, from any thread
  return *s;
}

void ClearPage(Job& j) {
  std::memset(j.bits, 0xFF, static_cast<size_t>(j.width) * 4 * static_cast<size_t>(j.height));
}

// Writes the current page: a PNG file and a page of the PDF.
void FlushPage(Job& j, const PrinterSettings& settings) {
  ++j.pages;
  cairo_surface_t* image = cairo_image_surface_create_for_data(
      static_cast<unsigned char*>(j.bits), CAIRO_FORMAT_RGB24, j.width, j.height, j.width * 4);
  char name[32];
  std::snprintf(name, sizeof name, "page%03d.png", static_cast<int>(j.pages));
  if (cairo_surface_write_to_png(image, (j.staging / name).c_str()) != CAIRO_STATUS_SUCCESS)
    j.failed = true;
  if (j.pdf) {
    const double wPt = j.width * 72.0 / settings.dpiX;
    const double hPt = j.height * 72.0 / settings.dpiY;
    cairo_pdf_surface_set_size(j.pdf, wPt, hPt);
    cairo_t* cr = cairo_create(j.pdf);
    cairo_scale(cr, 72.0 / settings.dpiX, 72.0 / settings.dpiY);
    cairo_set_source_surface(cr, image, 0, 0);
    // The page's pixels as they are: no smoothing between them when viewed larger.
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_show_page(cr);
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) j.failed = true;
    cairo_destroy(cr);
  }
  cairo_surface_destroy(image);
}

void CloseJob(State& s) {
  if (!s.job) return;
  Job& j = *s.job;
  if (j.pdf) cairo_surface_destroy(j.pdf);
  if (j.dc) {
    ::SelectObject(j.dc, j.oldBitmap);
    ::DeleteDC(j.dc);
  }
  if (j.page) ::DeleteObject(j.page);
  s.job.reset();
}

std::string FolderName(const std::string& title) {
  std::string name;
  for (unsigned char c : title) name += (c < 32 || c == 127 || c == '/' || c == '\\') ? '_' : static_cast<char>(c);
  if (name.empty()) name = "Untitled";
  if (name == "." || name == "..") name = "_";
  if (name.size() > 200) name.resize(200);
  return name;
}

}  // namespace

const char* PaperName(PaperSize paper) {
  switch (paper) {
    case PaperSize::Letter: return "Letter";
    case PaperSize::Legal: return "Legal";
    case PaperSize::A4: return "A4";
    case PaperSize::A5: return "A5";
  }
  return "Letter";
}

bool PaperFromName(const std::string& name, PaperSize* paper) {
  for (PaperSize p : {PaperSize::Letter, PaperSize::Legal, PaperSize::A4, PaperSize::A5})
    if (name == PaperName(p)) {
      *paper = p;
      return true;
    }
  return false;
}

void PaperSizeTenthsMm(PaperSize paper, Integer* width, Integer* height) {
  switch (paper) {
    case PaperSize::Letter: *width = 2159; *height = 2794; return;
    case PaperSize::Legal: *width = 2159; *height = 3556; return;
    case PaperSize::A4: *width = 2100; *height = 2970; return;
    case PaperSize::A5: *width = 1480; *height = 2100; return;
  }
}

bool PrinterInstalled() {
  State& s = S();
  std::lock_guard lock(s.lock);
  return !s.noPrinter;
}

PrinterSettings CurrentSettings() {
  State& s = S();
  std::lock_guard lock(s.lock);
  return s.settings;
}

bool ApplySettings(const PrinterSettings& settings) {
  State& s = S();
  std::lock_guard lock(s.lock);
  if (s.job) return false;
  if (settings.dpiX < kMinDpi || settings.dpiX > kMaxDpi || settings.dpiY < kMinDpi ||
      settings.dpiY > kMaxDpi)
    return false;
  s.settings = settings;
  return true;
}

void PageSizePixels(Integer* width, Integer* height) {
  const PrinterSettings st = CurrentSettings();
  Integer w = 0, h = 0;
  PaperSizeTenthsMm(st.paper, &w, &h);
  // Inches are 254 tenths of a millimetre; rounded to the nearest pixel.
  Integer pw = static_cast<Integer>((static_cast<int64_t>(w) * st.dpiX * 2 + 254) / 508);
  Integer ph = static_cast<Integer>((static_cast<int64_t>(h) * st.dpiY * 2 + 254) / 508);
  if (st.orientation == PageOrientation::Landscape) {
    pw = static_cast<Integer>((static_cast<int64_t>(h) * st.dpiX * 2 + 254) / 508);
    ph = static_cast<Integer>((static_cast<int64_t>(w) * st.dpiY * 2 + 254) / 508);
  }
  *width = pw;
  *height = ph;
}

std::string SpoolFolder() {
  State& s = S();
  {
    std::lock_guard lock(s.lock);
    if (!s.spoolOverride.empty()) return s.spoolOverride;
  }
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/')
    return std::string(data) + "/larkspool/spool";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.local/share/larkspool/spool";
}

bool BeginJob(const std::string& title) {
  State& s = S();
  std::lock_guard lock(s.lock);
  if (s.noPrinter || s.job) return false;
  const std::string spool = SpoolFolder();
  auto job = std::make_unique<Job>();
  job->title = title;
  PageSizePixels(&job->width, &job->height);
  std::error_code ec;
  fs::create_directories(spool, ec);
  job->staging = fs::path(spool) / (".printing-" + std::to_string(::getpid()) + "-" + std::to_string(++s.serial));
  fs::remove_all(job->staging, ec);
  if (!fs::create_directories(job->staging, ec)) return false;

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = job->width;
  info.bmiHeader.biHeight = -job->height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  job->page = ::CreateDIBSection(0, &info, DIB_RGB_COLORS, &job->bits, 0, 0);
  job->dc = ::CreatePrinterDC(job->width, job->height, s.settings.dpiX, s.settings.dpiY);
  if (!job->page || !job->bits || !job->dc) {
    if (job->page) ::DeleteObject(job->page);
    if (job->dc) ::DeleteDC(job->dc);
    fs::remove_all(job->staging, ec);
    return false;
  }
  job->oldBitmap = ::SelectObject(job->dc, job->page);
  ClearPage(*job);
  const fs::path pdfPath = job->staging / "job.pdf";
  job->pdf = cairo_pdf_surface_create(pdfPath.c_str(), job->width * 72.0 / s.settings.dpiX,
                                      job->height * 72.0 / s.settings.dpiY);
  if (cairo_surface_status(job->pdf) != CAIRO_STATUS_SUCCESS) job->failed = true;
  s.job = std::move(job);
  return true;
}

bool JobOpen() {
  State& s = S();
  std::lock_guard lock(s.lock);
  return s.job != nullptr;
}

void SetJobTitle(const std::string& title) {
  State& s = S();
  std::lock_guard lock(s.lock);
  if (s.job) s.job->title = title;
}

HDC JobDC() {
  State& s = S();
  std::lock_guard lock(s.lock);
  return s.job ? s.job->dc : 0;
}

bool NewPage() {
  State& s = S();
  std::lock_guard lock(s.lock);
  if (!s.job) return false;
  FlushPage(*s.job, s.settings);
  ClearPage(*s.job);
  return true;
}

Integer JobPageCount() {
  State& s = S();
  std::lock_guard lock(s.lock);
  return s.job ? s.job->pages + 1 : 0;
}

std::string EndJob() {
  State& s = S();
  std::lock_guard lock(s.lock);
  if (!s.job) return {};
  Job& j = *s.job;
  FlushPage(j, s.settings);
  if (j.pdf) {
    cairo_pdf_surface_set_metadata(j.pdf, CAIRO_PDF_METADATA_TITLE, j.title.c_str());
    cairo_surface_finish(j.pdf);
    if (cairo_surface_status(j.pdf) != CAIRO_STATUS_SUCCESS) j.failed = true;
  }
  std::error_code ec;
  const fs::path staging = j.staging;
  const std::string name = FolderName(j.title);
  bool failed = j.failed;
  CloseJob(s);
  fs::path target;
  if (!failed) {
    fs::rename(staging / "job.pdf", staging / (name + ".pdf"), ec);
    failed = static_cast<bool>(ec);
  }
  if (!failed) {
    const fs::path spool = staging.parent_path();
    target = spool / name;
    for (int n = 2; fs::exists(target, ec); ++n) target = spool / (name + " (" + std::to_string(n) + ")");
    fs::rename(staging, target, ec);
    failed = static_cast<bool>(ec);
  }
  if (failed) {
    fs::remove_all(staging, ec);
    return {};
  }
  s.lastFolder = target.string();
  return s.lastFolder;
}

void AbortJob() {
  State& s = S();
  std::lock_guard lock(s.lock);
  if (!s.job) return;
  const fs::path staging = s.job->staging;
  CloseJob(s);
  std::error_code ec;
  fs::remove_all(staging, ec);
}

std::string LastJobFolder() {
  State& s = S();
  std::lock_guard lock(s.lock);
  return s.lastFolder;
}

}  // namespace larkprint

namespace sim {

void SetNoPrinter(bool none) {
  larkprint::State& s = larkprint::S();
  std::lock_guard lock(s.lock);
  s.noPrinter = none;
}

void SetSpoolFolder(const std::string& path) {
  larkprint::State& s = larkprint::S();
  std::lock_guard lock(s.lock);
  s.spoolOverride = path;
}

void ResetPrinter() {
  larkprint::State& s = larkprint::S();
  std::lock_guard lock(s.lock);
  larkprint::AbortJob();
  s.settings = larkprint::PrinterSettings{};
  s.noPrinter = false;
  s.spoolOverride.clear();
  s.lastFolder.clear();
}

}  // namespace sim
