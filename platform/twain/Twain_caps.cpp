// Capability containers in global memory, and the parts of a source that every kind
// shares: answering capabilities from its table, strips gathered from its rows, and
// the packed DIB of a native transfer.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>

#include "platform/twain/TwainInternal.h"

TW_FIX32 DoubleToFIX32(double x) {
  const double scaled = x >= 0 ? std::trunc(x * 65536.0 + 0.5) : std::trunc(x * 65536.0 - 0.5);
  // Outside the format's range the nearest end is kept.
  const double bounded = std::clamp(scaled, -2147483648.0, 2147483647.0);
  const int32_t v = static_cast<int32_t>(bounded);
  TW_FIX32 f;
  f.Whole = static_cast<TW_INT16>(v >> 16);
  f.Frac = static_cast<TW_UINT16>(v & 0xFFFF);
  return f;
}

namespace larktwain {

namespace {

void Put16(uint8_t* p, uint32_t v) {
  const uint16_t w = static_cast<uint16_t>(v);
  std::memcpy(p, &w, 2);
}
void Put32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
uint32_t Get16(const uint8_t* p) {
  uint16_t w;
  std::memcpy(&w, p, 2);
  return w;
}
uint32_t Get32(const uint8_t* p) {
  uint32_t w;
  std::memcpy(&w, p, 4);
  return w;
}

void PutItem(uint8_t* p, TW_UINT16 itemType, uint32_t v) {
  switch (TWItemSize(itemType)) {
    case 1: *p = static_cast<uint8_t>(v); break;
    case 2: Put16(p, v); break;
    case 4: Put32(p, v); break;
    default: break;
  }
}

uint32_t GetItem(const uint8_t* p, TW_UINT16 itemType) {
  switch (TWItemSize(itemType)) {
    case 1: return *p;
    case 2: return Get16(p);
    case 4: return Get32(p);
    default: return 0;
  }
}

bool IsString(TW_UINT16 itemType) { return itemType >= TWTY_STR32 && itemType <= TWTY_STR255; }

}  // namespace

uint32_t Fix32Word(double value) {
  const TW_FIX32 f = DoubleToFIX32(value);
  uint32_t word;
  std::memcpy(&word, &f, 4);
  return word;
}

double WordFix32(uint32_t word) {
  TW_FIX32 f;
  std::memcpy(static_cast<void*>(&f), &word, 4);
  return FIX32ToDouble(f);
}

uint32_t CapValue::CurrentValue() const {
  switch (ConType) {
    case TWON_ENUMERATION: return Current < Items.size() ? Items[Current] : 0;
    case TWON_ARRAY: return Items.empty() ? 0 : Items[0];
    default: return Current;
  }
}

bool CapValue::Allows(uint32_t value) const {
  if (ReadOnly) return false;
  if (ConType == TWON_ENUMERATION || ConType == TWON_ARRAY)
    return std::find(Items.begin(), Items.end(), value) != Items.end();
  if (ConType == TWON_RANGE) {
    if (ItemType == TWTY_FIX32) {
      const double v = WordFix32(value);
      return v >= WordFix32(Min) - 1e-9 && v <= WordFix32(Max) + 1e-9;
    }
    return value >= Min && value <= Max;
  }
  return true;
}

CapValue CapValue::One(TW_UINT16 itemType, uint32_t value) {
  CapValue c;
  c.ConType = TWON_ONEVALUE;
  c.ItemType = itemType;
  c.Current = value;
  return c;
}

CapValue CapValue::Enum(TW_UINT16 itemType, std::vector<uint32_t> items, uint32_t currentIndex) {
  CapValue c;
  c.ConType = TWON_ENUMERATION;
  c.ItemType = itemType;
  c.Items = std::move(items);
  c.Current = currentIndex;
  return c;
}

CapValue CapValue::Range(TW_UINT16 itemType, uint32_t min, uint32_t max, uint32_t step, uint32_t current) {
  CapValue c;
  c.ConType = TWON_RANGE;
  c.ItemType = itemType;
  c.Min = min;
  c.Max = max;
  c.Step = step;
  c.Current = current;
  c.Default = current;
  return c;
}

CapValue CapValue::String(const std::string& text) {
  CapValue c;
  c.ConType = TWON_ONEVALUE;
  c.ItemType = TWTY_STR255;
  c.Text = text.substr(0, 255);
  c.ReadOnly = true;
  return c;
}

HGLOBAL EncodeContainer(const CapValue& value) {
  const size_t itemSize = TWItemSize(value.ItemType);
  size_t size = 0;
  switch (value.ConType) {
    case TWON_ARRAY: size = TWON_ARRAY_ITEMS + itemSize * value.Items.size(); break;
    case TWON_ENUMERATION: size = TWON_ENUM_ITEMS + itemSize * value.Items.size(); break;
    case TWON_RANGE: size = TWON_RANGE_SIZE; break;
    default: size = IsString(value.ItemType) ? 2 + itemSize : TWON_ONEVALUE_SIZE; break;
  }
  HGLOBAL h = GlobalAlloc(GHND, size);
  if (h == 0) return 0;
  auto* p = static_cast<uint8_t*>(GlobalLock(h));
  Put16(p, value.ItemType);
  switch (value.ConType) {
    case TWON_ARRAY:
    case TWON_ENUMERATION: {
      Put32(p + 2, static_cast<uint32_t>(value.Items.size()));
      size_t at = TWON_ARRAY_ITEMS;
      if (value.ConType == TWON_ENUMERATION) {
        Put32(p + 6, value.Current);
        Put32(p + 10, value.Default);
        at = TWON_ENUM_ITEMS;
      }
      for (uint32_t item : value.Items) {
        PutItem(p + at, value.ItemType, item);
        at += itemSize;
      }
      break;
    }
    case TWON_RANGE:
      Put32(p + 2, value.Min);
      Put32(p + 6, value.Max);
      Put32(p + 10, value.Step);
      Put32(p + 14, value.Default);
      Put32(p + 18, value.Current);
      break;
    default:
      if (IsString(value.ItemType)) {
        std::memcpy(p + 2, value.Text.data(), std::min(value.Text.size(), itemSize - 1));
      } else {
        Put32(p + 2, value.Current);
      }
      break;
  }
  GlobalUnlock(h);
  return h;
}

bool DecodeContainer(TW_UINT16 conType, HGLOBAL container, TW_UINT16* itemType, uint32_t* value) {
  const size_t size = GlobalSize(container);
  const auto* p = static_cast<const uint8_t*>(GlobalLock(container));
  if (p == nullptr) return false;
  bool ok = false;
  if (size >= 2) {
    *itemType = static_cast<TW_UINT16>(Get16(p));
    const size_t itemSize = TWItemSize(*itemType);
    switch (conType) {
      case TWON_ONEVALUE:
        ok = itemSize > 0 && size >= 2 + std::min<size_t>(itemSize, 4);
        if (ok) *value = GetItem(p + 2, *itemType);
        break;
      case TWON_RANGE:
        ok = itemSize > 0 && size >= TWON_RANGE_SIZE;
        if (ok) *value = Get32(p + 18);
        break;
      case TWON_ENUMERATION: {
        if (itemSize == 0 || size < TWON_ENUM_ITEMS) break;
        const uint64_t count = Get32(p + 2);
        const uint32_t index = Get32(p + 6);
        if (count > (size - TWON_ENUM_ITEMS) / itemSize || index >= count) break;
        *value = GetItem(p + TWON_ENUM_ITEMS + index * itemSize, *itemType);
        ok = true;
        break;
      }
      default: break;
    }
  }
  GlobalUnlock(container);
  return ok;
}

// ---------------------------------------------------------------------------
// Source defaults

TW_UINT16 Source::GetCapability(TW_CAPABILITY& cap) {
  if (cap.Cap == CAP_CAPTION) {
    const std::string caption = Caption();
    cap.ConType = TWON_ONEVALUE;
    cap.hContainer = EncodeContainer(CapValue::String(caption));
    return cap.hContainer != 0 ? TWRC_SUCCESS : TWRC_FAILURE;
  }
  auto it = Caps.find(cap.Cap);
  if (it == Caps.end()) return TWRC_FAILURE;
  cap.ConType = it->second.ConType;
  cap.hContainer = EncodeContainer(it->second);
  return cap.hContainer != 0 ? TWRC_SUCCESS : TWRC_FAILURE;
}

TW_UINT16 Source::SetCapability(TW_CAPABILITY& cap) {
  auto it = Caps.find(cap.Cap);
  if (it == Caps.end()) return TWRC_FAILURE;
  TW_UINT16 itemType = 0;
  uint32_t value = 0;
  if (!DecodeContainer(cap.ConType, cap.hContainer, &itemType, &value)) return TWRC_FAILURE;
  CapValue& c = it->second;
  if (itemType != c.ItemType || !c.Allows(value) || !Apply(cap.Cap, value)) return TWRC_FAILURE;
  if (c.ConType == TWON_ENUMERATION) {
    c.Current = static_cast<uint32_t>(std::find(c.Items.begin(), c.Items.end(), value) - c.Items.begin());
  } else if (c.ConType == TWON_ARRAY) {
    c.Items.assign(1, value);
  } else {
    c.Current = value;
  }
  return TWRC_SUCCESS;
}

TW_UINT16 Source::GetLayout(TW_IMAGELAYOUT& layout) {
  layout = Layout;
  return TWRC_SUCCESS;
}

TW_UINT16 Source::SetLayout(const TW_IMAGELAYOUT& layout) {
  Layout = layout;
  return TWRC_SUCCESS;
}

namespace {

std::string Num(double v) {
  std::ostringstream s;
  s << v;
  return s.str();
}

}  // namespace

std::string Source::Settings() {
  std::string text;
  auto pt = Caps.find(ICAP_PIXELTYPE);
  if (pt != Caps.end()) {
    const uint32_t t = pt->second.CurrentValue();
    text += std::string("mode=") + (t == TWPT_BW ? "Lineart" : t == TWPT_GRAY ? "Gray" : "Color");
  }
  auto res = Caps.find(ICAP_XRESOLUTION);
  if (res != Caps.end()) text += ";resolution=" + Num(WordFix32(res->second.CurrentValue()));
  const TW_FRAME& f = Layout.Frame;
  text += ";area=" + Num(FIX32ToDouble(f.Left)) + "," + Num(FIX32ToDouble(f.Top)) + "," +
          Num(FIX32ToDouble(f.Right)) + "," + Num(FIX32ToDouble(f.Bottom));
  return text;
}

std::vector<std::string> Source::Modes() { return {"Lineart", "Gray", "Color"}; }

void Source::SetSettings(const std::string& text) {
  std::istringstream in(text);
  std::string part;
  while (std::getline(in, part, ';')) {
    const size_t eq = part.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = part.substr(0, eq);
    const std::string value = part.substr(eq + 1);
    if (key == "mode") {
      const uint32_t t = value == "Lineart" ? TWPT_BW : value == "Gray" ? TWPT_GRAY : TWPT_RGB;
      auto it = Caps.find(ICAP_PIXELTYPE);
      if (it != Caps.end() && it->second.Allows(t) && Apply(ICAP_PIXELTYPE, t)) {
        CapValue& c = it->second;
        if (c.ConType == TWON_ENUMERATION)
          c.Current = static_cast<uint32_t>(std::find(c.Items.begin(), c.Items.end(), t) - c.Items.begin());
        else
          c.Current = t;
      }
    } else if (key == "resolution") {
      char* end = nullptr;
      const double dpi = std::strtod(value.c_str(), &end);
      if (end == value.c_str() || !(dpi > 0)) continue;
      for (TW_UINT16 cap : {ICAP_XRESOLUTION, ICAP_YRESOLUTION}) {
        auto it = Caps.find(cap);
        const uint32_t w = Fix32Word(dpi);
        if (it == Caps.end() || !it->second.Allows(w) || !Apply(cap, w)) continue;
        CapValue& c = it->second;
        if (c.ConType == TWON_ENUMERATION)
          c.Current = static_cast<uint32_t>(std::find(c.Items.begin(), c.Items.end(), w) - c.Items.begin());
        else
          c.Current = w;
      }
    } else if (key == "area") {
      double v[4] = {0, 0, 0, 0};
      std::istringstream nums(value);
      std::string n;
      int i = 0;
      for (; i < 4 && std::getline(nums, n, ','); ++i) v[i] = std::strtod(n.c_str(), nullptr);
      if (i != 4 || v[2] <= v[0] || v[3] <= v[1]) continue;
      TW_IMAGELAYOUT layout = Layout;
      layout.Frame.Left = DoubleToFIX32(v[0]);
      layout.Frame.Top = DoubleToFIX32(v[1]);
      layout.Frame.Right = DoubleToFIX32(v[2]);
      layout.Frame.Bottom = DoubleToFIX32(v[3]);
      SetLayout(layout);
    }
  }
}

TW_UINT16 Source::SetupMemXfer(TW_SETUPMEMXFER& setup) {
  setup.MinBufSize = 1024;
  setup.MaxBufSize = 1 << 20;
  setup.Preferred = 64 * 1024;
  return TWRC_SUCCESS;
}

namespace {

uint32_t RowBytes(const TW_IMAGEINFO& info) {
  return static_cast<uint32_t>((static_cast<uint64_t>(info.ImageWidth) * info.BitsPerPixel + 7) / 8);
}

}  // namespace

TW_UINT16 Source::MemXfer(PageState& page, TW_IMAGEMEMXFER& xfer) {
  const uint32_t bpr = RowBytes(page.Info);
  if (bpr == 0 || xfer.Memory.TheMem == nullptr || xfer.Memory.Length < bpr) return TWRC_FAILURE;
  // The application's buffer: a global handle (TWMF_HANDLE, locked for the strip and
  // no longer than its block) or an address.
  const bool isHandle = (xfer.Memory.Flags & TWMF_HANDLE) != 0;
  const HGLOBAL handle = isHandle ? reinterpret_cast<HGLOBAL>(xfer.Memory.TheMem) : 0;
  if (isHandle && GlobalSize(handle) < xfer.Memory.Length) return TWRC_FAILURE;
  uint8_t* mem = isHandle ? static_cast<uint8_t*>(GlobalLock(handle)) : static_cast<uint8_t*>(xfer.Memory.TheMem);
  if (mem == nullptr) return TWRC_FAILURE;
  struct Unlock {
    HGLOBAL h;
    ~Unlock() {
      if (h != 0) GlobalUnlock(h);
    }
  } unlock{handle};
  uint32_t rows = xfer.Memory.Length / bpr;
  if (!page.LengthUnknown) rows = std::min<uint32_t>(rows, static_cast<uint32_t>(page.Info.ImageLength) - page.RowsRead);
  const size_t want = static_cast<size_t>(rows) * bpr;
  size_t got = 0;
  bool ended = false;
  while (got < want) {
    const long n = ReadPage(mem + got, want - got);
    if (n < 0) return TWRC_FAILURE;
    if (n == 0) {
      ended = true;
      break;
    }
    got += static_cast<size_t>(n);
  }
  // A row cut short by the page's end is dropped.
  const uint32_t whole = static_cast<uint32_t>(got / bpr);
  xfer.Compression = 0;
  xfer.BytesPerRow = bpr;
  xfer.Columns = static_cast<uint32_t>(page.Info.ImageWidth);
  xfer.Rows = whole;
  xfer.XOffset = 0;
  xfer.YOffset = page.RowsRead;
  xfer.BytesWritten = whole * bpr;
  page.RowsRead += whole;
  if (!page.LengthUnknown && page.RowsRead >= static_cast<uint32_t>(page.Info.ImageLength)) ended = true;
  if (!ended) return TWRC_SUCCESS;
  if (page.LengthUnknown) page.Info.ImageLength = static_cast<TW_INT32>(page.RowsRead);
  page.Done = true;
  return TWRC_XFERDONE;
}

bool ReadWholePage(Source& source, PageState& page, std::vector<uint8_t>& rows, size_t maxBytes) {
  const uint32_t bpr = RowBytes(page.Info);
  if (bpr == 0) return false;
  rows.clear();
  uint8_t chunk[32768];
  for (;;) {
    const long n = source.ReadPage(chunk, sizeof chunk);
    if (n < 0) return false;
    if (n == 0) break;
    if (rows.size() + static_cast<size_t>(n) > maxBytes) return false;
    rows.insert(rows.end(), chunk, chunk + n);
  }
  const uint32_t height = static_cast<uint32_t>(rows.size() / bpr);
  if (!page.LengthUnknown && height < static_cast<uint32_t>(page.Info.ImageLength)) return false;
  if (page.LengthUnknown) page.Info.ImageLength = static_cast<TW_INT32>(height);
  rows.resize(static_cast<size_t>(page.Info.ImageLength) * bpr);
  page.RowsRead = static_cast<uint32_t>(page.Info.ImageLength);
  page.Done = true;
  return true;
}

TW_UINT16 Source::NativeXfer(PageState& page, TW_HANDLE* dib) {
  const Integer bits = page.Info.BitsPerPixel;
  if (bits != 1 && bits != 8 && bits != 24) return TWRC_FAILURE;
  std::vector<uint8_t> rows;
  // A native page is held whole; the bound keeps a lying device from taking all memory.
  if (!ReadWholePage(*this, page, rows, size_t{1} << 30)) return TWRC_FAILURE;
  const uint32_t width = static_cast<uint32_t>(page.Info.ImageWidth);
  const uint32_t height = static_cast<uint32_t>(page.Info.ImageLength);
  const uint32_t bpr = RowBytes(page.Info);
  const uint32_t stride = (bpr + 3) & ~3u;
  const uint32_t colours = bits == 24 ? 0 : (1u << bits);
  const size_t header = 40 + colours * 4;
  HGLOBAL h = GlobalAlloc(GHND, header + static_cast<size_t>(stride) * height);
  if (h == 0) return TWRC_FAILURE;
  auto* p = static_cast<uint8_t*>(GlobalLock(h));
  const int32_t w = static_cast<int32_t>(width), hgt = static_cast<int32_t>(height);
  const uint32_t size40 = 40;
  const uint16_t planes = 1, bitCount = static_cast<uint16_t>(bits);
  std::memcpy(p, &size40, 4);
  std::memcpy(p + 4, &w, 4);
  std::memcpy(p + 8, &hgt, 4);
  std::memcpy(p + 12, &planes, 2);
  std::memcpy(p + 14, &bitCount, 2);
  const uint32_t imageSize = stride * height;
  std::memcpy(p + 20, &imageSize, 4);
  const uint32_t used = colours;
  std::memcpy(p + 32, &used, 4);
  // Grey ramps, black first. A 1-bit page keeps the source's bits in its pixel
  // flavour (vanilla: 1 is black), as the memory transfer gives them; the
  // application inverts such pages itself.
  for (uint32_t i = 0; i < colours; ++i) {
    const uint8_t g = static_cast<uint8_t>(colours == 2 ? i * 255 : i);
    p[40 + i * 4] = g;
    p[40 + i * 4 + 1] = g;
    p[40 + i * 4 + 2] = g;
  }
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* dst = p + header + static_cast<size_t>(height - 1 - y) * stride;
    const uint8_t* src = rows.data() + static_cast<size_t>(y) * bpr;
    if (bits == 24) {
      for (uint32_t x = 0; x < width; ++x) {
        dst[x * 3] = src[x * 3 + 2];
        dst[x * 3 + 1] = src[x * 3 + 1];
        dst[x * 3 + 2] = src[x * 3];
      }
    } else {
      std::memcpy(dst, src, bpr);
    }
  }
  GlobalUnlock(h);
  *dib = h;
  return TWRC_XFERDONE;
}

}  // namespace larktwain
