// Scripted scanners for tests of the data source manager (platform/twain): a source
// whose capabilities, pages and strips are written by the test, whose pixels follow
// a known pattern, and which lies or fails where the script says. Sources are handed
// to the manager with SetTwainSources; faults of single calls with AddTwainFault
// (platform/twain/SimHooks.h).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/twain/SimHooks.h"
#include "platform/twain/TwainInternal.h"

namespace sim {

// One page of a scripted source.
struct TwainPage {
  int32_t Width = 100;
  int32_t Length = 100;  // rows; the image information says -1 when LengthUnknown
  bool LengthUnknown = false;
  int16_t BitsPerPixel = 24;  // 1, 8 and 24 carry pixels; any other depth is announced as it is
  int16_t PixelType = TWPT_RGB;
  uint16_t Planar = 0;
  uint16_t Compression = 0;
  double XResolution = 100;
  double YResolution = 100;
  std::string Caption;
};

// The pixel pattern of the scripted pages: the value of pixel (x, y) of page p in
// the source's own order (red, green, blue; a grey level; a bit with 1 = white).
uint8_t TwainRed(int x, int y, int page);
uint8_t TwainGreen(int x, int y, int page);
uint8_t TwainBlue(int x, int y, int page);
uint8_t TwainGrey(int x, int y, int page);
bool TwainWhite(int x, int y, int page);

struct TwainScript {
  std::string ProductName = "Scripted Scanner";
  std::string Manufacturer = "Larkspool";
  std::string ProductFamily = "Test sources";
  // The capabilities the source answers, in their form; others fail. The defaults
  // (ScriptedCaps) describe an ordinary flatbed.
  std::map<TW_UINT16, larktwain::CapValue> Caps;
  // Containers answered as they are, whatever they say (ConType, bytes).
  std::map<TW_UINT16, std::pair<TW_UINT16, std::vector<uint8_t>>> RawCaps;
  std::vector<TwainPage> Pages{TwainPage{}};
  // Rows per strip of a memory transfer (the preferred buffer holds that many); 0:
  // 64 KiB buffers.
  uint32_t RowsPerStrip = 0;
  // Changes each strip after it was filled (strip number from 0); lets a source
  // claim more rows, bytes or columns than it wrote.
  std::function<void(int strip, TW_IMAGEMEMXFER& xfer)> EditStrip;
  // The device fails reading page `FailPage` after FailAfterRows rows (-1: never).
  int FailPage = -1;
  uint32_t FailAfterRows = 0;
  // Scan pressed in the source's dialog finds nothing to scan (no paper), so the
  // dialog stays until it is cancelled.
  bool NeverReady = false;
  // Opening the source fails.
  bool FailOpen = false;
  // Native transfers hand over this instead of the page's DIB (0: the page).
  std::function<HGLOBAL(int page)> NativeDib;
};

// The capabilities of an ordinary flatbed: pixel types 0-2 (RGB current), 50 to
// 1200 dpi as a range (100 current), memory and native transfers, chocolate and
// vanilla flavours (chocolate current), chunky, inches, the feeder off, indicators
// on, gamma 2.2, threshold 128, a 8.5 x 14 inch bed.
std::map<TW_UINT16, larktwain::CapValue> ScriptedCaps();

// A source that follows a script; what the manager asked of it is kept.
class ScriptedTwainSource : public larktwain::Source {
 public:
  explicit ScriptedTwainSource(TwainScript script);
  TwainScript Script;
  // Pages started so far, and how often it was opened.
  int PagesStarted() const { return started_; }
  int TimesOpened() const { return opened_; }

  void Describe(TW_IDENTITY& identity) override;
  bool Open() override;
  void Close() override {}
  TW_UINT16 GetCapability(TW_CAPABILITY& cap) override;
  bool Ready() override { return !Script.NeverReady; }
  bool StartPage(TW_IMAGEINFO& info) override;
  void EndPage() override {}
  TW_UINT16 PagesLeft() override;
  void CancelPages() override { next_ = static_cast<int>(Script.Pages.size()); }
  long ReadPage(uint8_t* buffer, size_t max) override;
  TW_UINT16 SetupMemXfer(TW_SETUPMEMXFER& setup) override;
  TW_UINT16 MemXfer(larktwain::PageState& page, TW_IMAGEMEMXFER& xfer) override;
  TW_UINT16 NativeXfer(larktwain::PageState& page, TW_HANDLE* dib) override;
  std::string Caption() override;

 private:
  int next_ = 0;     // the next page to start
  int current_ = -1;  // the page in hand
  int started_ = 0;
  int opened_ = 0;
  int strip_ = 0;
  uint64_t offset_ = 0;  // bytes of the current page read
};

// A scripted source in a shared pointer, for SetTwainSources.
std::shared_ptr<ScriptedTwainSource> MakeTwainSource(TwainScript script = {});

}  // namespace sim
