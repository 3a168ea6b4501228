// The small value types every layer of the image library passes around: pixel
// formats and their bit widths, storage locations, dither and resampling choices,
// the three-byte colour, the progress and cancellation record, the library's one
// process-wide lock and the user-interface word table.
#pragma once

#include <functional>

#include "platform/rtl/Component.h"
#include "platform/rtl/Types.h"
#include "platform/win/CriticalSection.h"

// ---------------------------------------------------------------------------
// Pixel formats

enum class TIEPixelFormat : Byte {
  ienull,
  ie1g,     // 1 = white, leftmost pixel in bit 7
  ie8p,     // index into a 256-entry palette
  ie8g,     // grey level
  ie16g,    // little-endian 16-bit grey level
  ie24RGB,  // one TRGB
};
using enum TIEPixelFormat;

// Bits per pixel by the format's ordinal. Two formats share 8 bits, so the width of
// a format is always read from here.
inline constexpr Integer IEPixelFormatBitTable[6] = {0, 1, 8, 8, 16, 24};
constexpr Integer IEPixelFormatBits(TIEPixelFormat format) {
  const auto index = static_cast<unsigned>(format);
  return index < 6 ? IEPixelFormatBitTable[index] : 0;
}

// The single-bit masks of a 1-bit row by column mod 8, most significant first.
inline constexpr Byte iebitmask1[8] = {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};

// Where a pixel store keeps its rows.
enum class TIELocation : Byte {
  ieMemory,   // heap block, rows bottom-up
  ieFile,     // mapped temporary file, rows top-down
  ieTBitmap,  // inside a framework TBitmap
};
using enum TIELocation;

enum class TIEDitherMethod : Byte { ieOrdered, ieThreshold };
using enum TIEDitherMethod;

enum class TResampleFilter : Byte {
  rfNone,
  rfTriangle,
  rfHermite,
  rfBell,
  rfBSpline,
  rfLanczos3,
  rfMitchell,
  rfNearest,
  rfLinear,
  rfFastLinear,
  rfBilinear,
  rfBicubic
};
using enum TResampleFilter;

// Where the old picture lands when a store's canvas is resized.
enum class TIEHAlign : Byte { iehLeft, iehCenter, iehRight };
using enum TIEHAlign;

enum class TIEVAlign : Byte { ievTop, ievCenter, ievBottom };
using enum TIEVAlign;

// ---------------------------------------------------------------------------
// Colours

// One colour in memory order blue, green, red; arrays are packed with a stride of 3.
// The ie24RGB pixel and the ie8p palette entry.
struct TRGB {
  Byte b = 0;
  Byte g = 0;
  Byte r = 0;
  constexpr bool operator==(const TRGB&) const = default;
};
static_assert(sizeof(TRGB) == 3 && alignof(TRGB) == 1, "TRGB is three packed bytes");
using PRGB = TRGB*;

// One CIELAB colour in the library's byte scaling (conversions in ieutils.h).
struct TIELAB {
  Byte L = 0;
  ShortInt a = 0;
  ShortInt b = 0;
  constexpr bool operator==(const TIELAB&) const = default;
};
static_assert(sizeof(TIELAB) == 3, "TIELAB is three bytes");

// ---------------------------------------------------------------------------
// Progress and cancellation

using pboolean = bool*;

// Called with the percentage done (0..100) of a long operation.
using TIEProgressEvent = std::function<void(TObject* Sender, Integer per)>;

// The record a caller fills and hands to a codec or worker.
//
// The caller sets OnProgress and Sender (or leaves OnProgress empty), points
// Aborting at its own cleared flag (or leaves it null), and for multi-pass work sets
// PassesDone = 0 and PassCount. The callee sets PercentPerStep before its loop
// (row workers: 100 / (rows + 0.5)), reports trunc(PercentPerStep x step) after each
// step, reads the abort flag after each row, and on bad input, a short read or a
// short write sets the flag and returns: readers and writers never raise to report
// failure.
//
// Two generations of code name the counters differently; each pair below is one
// field under two names (a union of members of the same type, whose sharing the
// compilers we build with define).
struct TProgressRec {
  TIEProgressEvent OnProgress;
  TObject* Sender = nullptr;
  union {
    Integer PassesDone = 0;  // passes completed; some codecs count rows in it
    Integer val;
  };
  union {
    Integer PassCount = 0;  // passes the caller expects
    Integer tot;
  };
  union {
    double PercentPerStep = 0;  // percentage worth one step
    double per1;
  };
  double per2 = 0;  // spare; nothing reads it
  pboolean Aborting = nullptr;

  // Calls OnProgress when it is assigned, with per limited to 0..100.
  void Report(Integer per) const {
    if (!OnProgress) return;
    OnProgress(Sender, per < 0 ? 0 : (per > 100 ? 100 : per));
  }
  // The caller's abort flag; false when there is none.
  bool Aborted() const noexcept { return Aborting != nullptr && *Aborting; }
  // Sets the caller's abort flag, when there is one.
  void Abort() const noexcept {
    if (Aborting != nullptr) *Aborting = true;
  }
};
using PProgressRec = TProgressRec*;

// ---------------------------------------------------------------------------
// User-interface words

// The rows of the word table; msSystem is no row but a request to choose one by the
// system locale.
enum class TMsgLanguage : Byte {
  msSystem,
  msEnglish,
  msItalian,
  msGerman,
  msSpanish,
  msFrench,
  msPortuguese,
  msGreek,
  msRussian,
  msDutch,
  msSwedish,
  msPolish,
  msUser
};
using enum TMsgLanguage;

// The word keys: the column index of the word table.
enum TMsgLanguageWords : Byte {
  IEMSG_PREVIEW,
  IEMSG_SOURCE,
  IEMSG_RESULT,
  IEMSG_OK,
  IEMSG_CANCEL,
  IEMSG_LOCKPREVIEW,
  IEMSG_COPYRESULTTOSOURCE,
  IEMSG_CONTRAST,
  IEMSG_BRIGHTNESS,
  IEMSG_HUE,
  IEMSG_SATURATION,  // 10
  IEMSG_VALUE,
  IEMSG_BASECOLOR,
  IEMSG_NEWCOLOR,
  IEMSG_LUMINOSITY,
  IEMSG_RED,
  IEMSG_GREEN,
  IEMSG_BLUE,
  IEMSG_FILTERVALUES,
  IEMSG_PRESETS,
  IEMSG_DIVISOR,  // 20
  IEMSG_LOAD,
  IEMSG_SAVE,
  IEMSG_EQUALIZATION,
  IEMSG_THRESHOLD,
  IEMSG_EQUALIZE,
  IEMSG_HISTOGRAM,
  IEMSG_GRAY,
  IEMSG_LIGHT,
  IEMSG_LEFT,
  IEMSG_TOP,  // 30
  IEMSG_WIDTH,
  IEMSG_HEIGHT,
  IEMSG_COLOR,
  IEMSG_SOURCEIMAGEQUANTITY,
  IEMSG_LENS,
  IEMSG_REFRACTION,
  IEMSG_PARAMETERSPREVIEW,
  IEMSG_QUALITY,
  IEMSG_DCTMETHOD,
  IEMSG_SMOOTHINGFACTOR,  // 40
  IEMSG_GRAYSCALE,
  IEMSG_OPTIMALHUFFMAN,
  IEMSG_ORIGINALSIZE,
  IEMSG_COMPRESSEDSIZE,
  IEMSG_ADVANCED,
  IEMSG_PROGRESSIVE,
  IEMSG_COMPRESSION,
  IEMSG_IMAGEINDEX,
  IEMSG_PHOTOMETRIC,
  IEMSG_SCANNDEDDOCUMENTINFO,  // 50
  IEMSG_NAME,
  IEMSG_DESCRIPTION,
  IEMSG_PAGENAME,
  IEMSG_PAGENUMBER,
  IEMSG_OF,
  IEMSG_HORIZPOSITIONINCH,
  IEMSG_VERTPOSITIONINCH,
  IEMSG_COLORS,
  IEMSG_TRANSPARENT,
  IEMSG_TRANSPARENTCOLOR,  // 60
  IEMSG_INTERLACED,
  IEMSG_BACKGROUND,
  IEMSG_HORIZPOSITION,
  IEMSG_VERTPOSITION,
  IEMSG_DELAYTIME,
  IEMSG_FILTER,
  IEMSG_WAVE,
  IEMSG_AMPLITUDE,
  IEMSG_WAVELENGTH,
  IEMSG_PHASE,  // 70
  IEMSG_REFLECTIVE,
  IEMSG_USERFILTER,
  IEMSG_MORPHFILTER,
  IEMSG_WINDOWSIZE,
  IEMSG_MAXIMUM,
  IEMSG_MINIMUM,
  IEMSG_OPEN,
  IEMSG_CLOSE,
  IEMSG_ROTATE,
  IEMSG_FLIP,  // 80
  IEMSG_FLIPHOR,
  IEMSG_FLIPVER,
  IEMSG_FREQUENCYDOMAINIMAGE,
  IEMSG_SELECTTHEREGIONTOCLEAR,
  IEMSG_CLEAR,
  IEMSG_RESET,
  IEMSG_ANIMATE,
  IEMSG_LOADFILTER,
  IEMSG_SAVEFILTER,
  IEMSG_BUMPMAP,  // 90
  IEMSG_PRINT,
  IEMSG_MARGINS,
  IEMSG_INCHES,
  IEMSG_RIGHT,
  IEMSG_BOTTOM,
  IEMSG_POSITION,
  IEMSG_SIZE,
  IEMSG_NORMAL,
  IEMSG_FITTOPAGE,
  IEMSG_STRETCHTOPAGE,  // 100
  IEMSG_SPECIFIEDSIZE,
  IEMSG_GAMMACORRECTION,
  IEMSG_VALUE2,
  IEMSG_PRINTSETUP,
  IEMSG_LEFTMARGIN,
  IEMSG_TOPMARGIN,
  IEMSG_RIGHTMARGIN,
  IEMSG_BOTTOMMARGIN,
  IEMSG_LOCATIONSIZE,
  IEMSG_TOPLEFT,  // 110
  IEMSG_TOPCENTER,
  IEMSG_TOPRIGHT,
  IEMSG_CENTERLEFT,
  IEMSG_CENTER,
  IEMSG_CENTERRIGHT,
  IEMSG_BOTTOMLEFT,
  IEMSG_BOTTOMCENTER,
  IEMSG_BOTTOMRIGHT,
  IEMSG_CLOSE2,
  IEMSG_APPLY,  // 120
  IEMSG_MEASUREUNITS,
  IEMSG_UNITS,
  IEMSG_RATE
};

inline constexpr Integer IEMsgLanguageRows = 12;  // msEnglish .. msUser
inline constexpr Integer IEMsgWordCount = 124;    // IEMSG_PREVIEW .. IEMSG_RATE
static_assert(IEMSG_RATE + 1 == IEMsgWordCount, "124 word keys");

// The word table: ieMessages[ord(language) - 1][ord(word)], texts in the Windows
// code page of their language (1252 for the Western rows, 1253 Greek, 1251
// Russian, 1250 Polish). Empty until the built-in words are filled in at start.
// Read it through iemsg (ieutils.h), which also makes sure the words are there.
extern AnsiString ieMessages[IEMsgLanguageRows][IEMsgWordCount];

// ---------------------------------------------------------------------------
// Process-wide state

// The image library's one lock, for the whole run of the program. The thumbnail
// grid takes it around its request queue, its running loaders and its image
// records; nothing in the data model takes it.
extern constinit CRITICAL_SECTION gThreadCS;

// Set by the input/output layer once it has started the platform's AVI file
// library, so that the library is ended at exit.
extern bool gAVIFILEinit;
