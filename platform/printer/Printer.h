// The system's one printer: a virtual device that prints to picture files.
//
// A job is opened with a title, drawn page by page through a DC whose GetDeviceCaps
// answers the page's resolution and size (CreatePrinterDC), and closed: each page is
// then written as a PNG file into the spool folder, in a sub-folder per job named
// after its title, together with one PDF of the whole job whose pages are the
// pictures at their size in points (cairo's PDF surface). An aborted job writes
// nothing.
//
// The spool folder is $XDG_DATA_HOME/larkspool/spool (~/.local/share/larkspool/spool
// when XDG_DATA_HOME is not set). A job's folder is its title with '/', '\' and
// control characters replaced by '_' ("Untitled" when empty); a title already
// printed gets " (2)", " (3)", ... so earlier jobs are never overwritten.
//
// Paper: Letter (the default), Legal, A4 or A5; portrait or landscape; 150 DPI by
// default, from 50 to 600 in both directions. Settings cannot change while a job is
// open. Calls may come from any thread; a job belongs to the thread drawing it.
#pragma once

#include <string>
#include <vector>

#include "platform/win/Gdi.h"

namespace larkprint {

enum class PaperSize { Letter, Legal, A4, A5 };
enum class PageOrientation { Portrait, Landscape };

inline constexpr Integer kDefaultDpi = 150;
inline constexpr Integer kMinDpi = 50;
inline constexpr Integer kMaxDpi = 600;

struct PrinterSettings {
  PaperSize paper = PaperSize::Letter;
  PageOrientation orientation = PageOrientation::Portrait;
  Integer dpiX = kDefaultDpi;
  Integer dpiY = kDefaultDpi;
};

// The printer's name, as its set-up dialog lists it.
inline constexpr char kPrinterName[] = "PDF/PNG";

// The paper's name ("Letter", "Legal", "A4", "A5") and back (false when unknown).
const char* PaperName(PaperSize paper);
bool PaperFromName(const std::string& name, PaperSize* paper);
// The paper's portrait size in tenths of a millimetre.
void PaperSizeTenthsMm(PaperSize paper, Integer* width, Integer* height);

// Whether the system has a printer (false while sim's "no printer" mode is on).
bool PrinterInstalled();

PrinterSettings CurrentSettings();
// False (nothing changes) while a job is open or for a resolution out of range.
bool ApplySettings(const PrinterSettings& settings);
// The page in device pixels for the current settings, orientation applied.
void PageSizePixels(Integer* width, Integer* height);

// The folder jobs are spooled into (created when the first job ends).
std::string SpoolFolder();

// --- Jobs. Each answers false when there is no printer, or (BeginJob) when a job
// is already open, or (the others) when none is.

bool BeginJob(const std::string& title);
bool JobOpen();
// Renames the open job (its folder and the PDF's title are taken when it ends).
void SetJobTitle(const std::string& title);
// The DC of the current page (white when the page starts); 0 without a job. It stays
// the same DC for the whole job.
HDC JobDC();
// Ends the current page and starts a white one.
bool NewPage();
// The pages drawn so far, the current one included.
Integer JobPageCount();
// Writes the job's pages and PDF; the folder written, or "" on failure (a folder or
// file that cannot be written; the job is closed either way).
std::string EndJob();
// Closes the job, writing nothing.
void AbortJob();
// The folder the last successful job was written to ("" when none).
std::string LastJobFolder();

}  // namespace larkprint
