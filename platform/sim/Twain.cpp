// Scripted scanners.
#include "platform/sim/Twain.h"

#include <algorithm>
#include <cstring>

namespace sim {

using larktwain::CapValue;
using larktwain::Fix32Word;

uint8_t TwainRed(int x, int y, int page) { return static_cast<uint8_t>(x * 7 + y * 3 + page * 50); }
uint8_t TwainGreen(int x, int y, int page) { return static_cast<uint8_t>(x + y * 5 + page); }
uint8_t TwainBlue(int x, int y, int page) { return static_cast<uint8_t>(x * y + page * 13); }
uint8_t TwainGrey(int x, int y, int page) { return static_cast<uint8_t>(x + 2 * y + page * 30); }
bool TwainWhite(int x, int y, int page) { return ((x / 3 + y / 2 + page) & 1) != 0; }

std::map<TW_UINT16, CapValue> ScriptedCaps() {
  std::map<TW_UINT16, CapValue> caps;
  caps[ICAP_PIXELTYPE] = CapValue::Enum(TWTY_UINT16, {TWPT_BW, TWPT_GRAY, TWPT_RGB}, 2);
  caps[ICAP_XRESOLUTION] = CapValue::Range(TWTY_FIX32, Fix32Word(50), Fix32Word(1200), Fix32Word(1), Fix32Word(100));
  caps[ICAP_YRESOLUTION] = caps[ICAP_XRESOLUTION];
  caps[ICAP_UNITS] = CapValue::Enum(TWTY_UINT16, {0, 1, 2}, 0);
  caps[ICAP_XFERMECH] = CapValue::Enum(TWTY_UINT16, {TWSX_NATIVE, TWSX_MEMORY}, 0);
  caps[ICAP_PIXELFLAVOR] = CapValue::Enum(TWTY_UINT16, {TWPF_CHOCOLATE, TWPF_VANILLA}, 0);
  caps[ICAP_PLANARCHUNKY] = CapValue::Enum(TWTY_UINT16, {TWPC_CHUNKY, TWPC_PLANAR}, 0);
  caps[ICAP_UNDEFINEDIMAGESIZE] = CapValue::Enum(TWTY_BOOL, {0, 1}, 0);
  caps[ICAP_GAMMA] = CapValue::One(TWTY_FIX32, Fix32Word(2.2));
  caps[ICAP_THRESHOLD] = CapValue::Range(TWTY_FIX32, Fix32Word(0), Fix32Word(255), Fix32Word(1), Fix32Word(128));
  caps[ICAP_PHYSICALWIDTH] = CapValue::One(TWTY_FIX32, Fix32Word(8.5));
  caps[ICAP_PHYSICALWIDTH].ReadOnly = true;
  caps[ICAP_PHYSICALHEIGHT] = CapValue::One(TWTY_FIX32, Fix32Word(14));
  caps[ICAP_PHYSICALHEIGHT].ReadOnly = true;
  caps[CAP_FEEDERENABLED] = CapValue::Enum(TWTY_BOOL, {0, 1}, 0);
  caps[CAP_AUTOFEED] = CapValue::Enum(TWTY_BOOL, {0, 1}, 0);
  caps[CAP_INDICATORS] = CapValue::Enum(TWTY_BOOL, {0, 1}, 1);
  caps[CAP_DUPLEXENABLED] = CapValue::Enum(TWTY_BOOL, {0, 1}, 0);
  return caps;
}

ScriptedTwainSource::ScriptedTwainSource(TwainScript script) : Script(std::move(script)) {
  if (Script.Caps.empty()) Script.Caps = ScriptedCaps();
  Caps = Script.Caps;
  Layout.Frame.Right = DoubleToFIX32(8.5);
  Layout.Frame.Bottom = DoubleToFIX32(11);
}

std::shared_ptr<ScriptedTwainSource> MakeTwainSource(TwainScript script) {
  return std::make_shared<ScriptedTwainSource>(std::move(script));
}

namespace {

void Put(char (&field)[34], const std::string& text) {
  std::memset(field, 0, sizeof field);
  std::memcpy(field, text.data(), std::min<size_t>(text.size(), 33));
}

uint32_t RowBytes(const TwainPage& p) {
  return static_cast<uint32_t>((static_cast<uint64_t>(p.Width) * static_cast<uint64_t>(std::max<int16_t>(p.BitsPerPixel, 0)) + 7) / 8);
}

}  // namespace

void ScriptedTwainSource::Describe(TW_IDENTITY& id) {
  id = TW_IDENTITY{};
  id.Version.MajorNum = 1;
  id.ProtocolMajor = 1;
  id.ProtocolMinor = 9;
  id.SupportedGroups = DG_CONTROL | DG_IMAGE;
  Put(id.Manufacturer, Script.Manufacturer);
  Put(id.ProductFamily, Script.ProductFamily);
  Put(id.ProductName, Script.ProductName);
}

bool ScriptedTwainSource::Open() {
  if (Script.FailOpen) return false;
  ++opened_;
  next_ = 0;
  current_ = -1;
  return true;
}

TW_UINT16 ScriptedTwainSource::GetCapability(TW_CAPABILITY& cap) {
  auto raw = Script.RawCaps.find(cap.Cap);
  if (raw == Script.RawCaps.end()) return Source::GetCapability(cap);
  const auto& bytes = raw->second.second;
  HGLOBAL h = GlobalAlloc(GHND, bytes.size());
  if (h == 0) return TWRC_FAILURE;
  if (!bytes.empty()) std::memcpy(GlobalLock(h), bytes.data(), bytes.size());
  GlobalUnlock(h);
  cap.ConType = raw->second.first;
  cap.hContainer = h;
  return TWRC_SUCCESS;
}

bool ScriptedTwainSource::StartPage(TW_IMAGEINFO& info) {
  if (next_ >= static_cast<int>(Script.Pages.size())) return false;
  current_ = next_++;
  ++started_;
  offset_ = 0;
  strip_ = 0;
  const TwainPage& p = Script.Pages[static_cast<size_t>(current_)];
  info = TW_IMAGEINFO{};
  info.XResolution = DoubleToFIX32(p.XResolution);
  info.YResolution = DoubleToFIX32(p.YResolution);
  info.ImageWidth = p.Width;
  info.ImageLength = p.LengthUnknown ? -1 : p.Length;
  info.BitsPerPixel = p.BitsPerPixel;
  info.SamplesPerPixel = p.BitsPerPixel == 24 || p.BitsPerPixel == 48 ? 3 : 1;
  for (int i = 0; i < info.SamplesPerPixel; ++i) info.BitsPerSample[i] = static_cast<TW_INT16>(p.BitsPerPixel / info.SamplesPerPixel);
  info.Planar = p.Planar;
  info.PixelType = p.PixelType;
  info.Compression = p.Compression;
  return true;
}

TW_UINT16 ScriptedTwainSource::PagesLeft() {
  current_ = -1;
  const int left = static_cast<int>(Script.Pages.size()) - next_;
  return static_cast<TW_UINT16>(std::max(left, 0));
}

long ScriptedTwainSource::ReadPage(uint8_t* buffer, size_t max) {
  if (current_ < 0) return -1;
  const TwainPage& p = Script.Pages[static_cast<size_t>(current_)];
  const uint32_t bpr = RowBytes(p);
  if (bpr == 0) return -1;
  const uint64_t total = static_cast<uint64_t>(bpr) * static_cast<uint64_t>(std::max(p.Length, 0));
  if (current_ == Script.FailPage && offset_ >= static_cast<uint64_t>(Script.FailAfterRows) * bpr) return -1;
  if (offset_ >= total) return 0;
  uint64_t n = std::min<uint64_t>(max, total - offset_);
  if (current_ == Script.FailPage) n = std::min<uint64_t>(n, static_cast<uint64_t>(Script.FailAfterRows) * bpr - offset_);
  const bool chocolate = Caps.count(ICAP_PIXELFLAVOR) == 0 || Caps[ICAP_PIXELFLAVOR].CurrentValue() == TWPF_CHOCOLATE;
  for (uint64_t i = 0; i < n; ++i) {
    const uint64_t at = offset_ + i;
    const int y = static_cast<int>(at / bpr);
    const uint32_t inRow = static_cast<uint32_t>(at % bpr);
    uint8_t v = 0;
    switch (p.BitsPerPixel) {
      case 24: {
        const int x = static_cast<int>(inRow / 3);
        v = inRow % 3 == 0 ? TwainRed(x, y, current_) : inRow % 3 == 1 ? TwainGreen(x, y, current_) : TwainBlue(x, y, current_);
        break;
      }
      case 8: v = TwainGrey(static_cast<int>(inRow), y, current_); break;
      case 1:
        for (int b = 0; b < 8; ++b) {
          const int x = static_cast<int>(inRow * 8 + static_cast<uint32_t>(b));
          // Chocolate: 1 is white; vanilla: 1 is black.
          if (x < p.Width && TwainWhite(x, y, current_) == chocolate) v |= static_cast<uint8_t>(0x80 >> b);
        }
        break;
      default: v = static_cast<uint8_t>(at); break;
    }
    buffer[i] = v;
  }
  offset_ += n;
  return static_cast<long>(n);
}

TW_UINT16 ScriptedTwainSource::SetupMemXfer(TW_SETUPMEMXFER& setup) {
  Source::SetupMemXfer(setup);
  if (Script.RowsPerStrip > 0 && current_ >= 0) {
    setup.Preferred = Script.RowsPerStrip * RowBytes(Script.Pages[static_cast<size_t>(current_)]);
    setup.MinBufSize = std::min(setup.MinBufSize, setup.Preferred);
  }
  return TWRC_SUCCESS;
}

TW_UINT16 ScriptedTwainSource::MemXfer(larktwain::PageState& page, TW_IMAGEMEMXFER& xfer) {
  // A failing device: what it read before the failure is not handed over.
  TW_UINT16 rc = Source::MemXfer(page, xfer);
  if (Script.EditStrip) Script.EditStrip(strip_, xfer);
  ++strip_;
  return rc;
}

TW_UINT16 ScriptedTwainSource::NativeXfer(larktwain::PageState& page, TW_HANDLE* dib) {
  if (Script.NativeDib) {
    *dib = Script.NativeDib(current_);
    page.Done = true;
    return *dib != 0 ? TWRC_XFERDONE : TWRC_FAILURE;
  }
  return Source::NativeXfer(page, dib);
}

std::string ScriptedTwainSource::Caption() {
  if (current_ < 0 || current_ >= static_cast<int>(Script.Pages.size())) return std::string();
  return Script.Pages[static_cast<size_t>(current_)].Caption;
}

}  // namespace sim
