// Surfaces: allocation, pixel codecs, colour tables, DIB headers, and the bitmap
// calls (CreateDIBSection, CreateBitmap, CreateCompatibleBitmap, GetDIBits, ...).
#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "platform/win/GdiInternal.h"

namespace gdi {

namespace {

constexpr RGBQUAD Q(Byte r, Byte g, Byte b) { return RGBQUAD{b, g, r, 0}; }

const RGBQUAD kMono[2] = {Q(0, 0, 0), Q(255, 255, 255)};
const RGBQUAD kVga[16] = {Q(0, 0, 0),       Q(128, 0, 0),   Q(0, 128, 0),   Q(128, 128, 0),
                          Q(0, 0, 128),     Q(128, 0, 128), Q(0, 128, 128), Q(192, 192, 192),
                          Q(128, 128, 128), Q(255, 0, 0),   Q(0, 255, 0),   Q(255, 255, 0),
                          Q(0, 0, 255),     Q(255, 0, 255), Q(0, 255, 255), Q(255, 255, 255)};
// The 20 static colours: ten at the start of an 8-bit table, ten at its end.
const RGBQUAD kStatic[20] = {
    Q(0, 0, 0),       Q(128, 0, 0),     Q(0, 128, 0),     Q(128, 128, 0),   Q(0, 0, 128),
    Q(128, 0, 128),   Q(0, 128, 128),   Q(192, 192, 192), Q(192, 220, 192), Q(166, 202, 240),
    Q(255, 251, 240), Q(160, 160, 164), Q(128, 128, 128), Q(255, 0, 0),     Q(0, 255, 0),
    Q(255, 255, 0),   Q(0, 0, 255),     Q(255, 0, 255),   Q(0, 255, 255),   Q(255, 255, 255)};

const RGBQUAD* Standard256() {
  static RGBQUAD* table = [] {
    auto* t = new RGBQUAD[256];
    for (int i = 0; i < 10; ++i) t[i] = kStatic[i];
    static const Byte levels[6] = {0, 51, 102, 153, 204, 255};
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b) t[10 + r * 36 + g * 6 + b] = Q(levels[r], levels[g], levels[b]);
    for (int i = 0; i < 20; ++i) {
      Byte v = static_cast<Byte>(255 * (i + 1) / 21);
      t[226 + i] = Q(v, v, v);
    }
    for (int i = 0; i < 10; ++i) t[246 + i] = kStatic[10 + i];
    return t;
  }();
  return table;
}

uint32_t DecodeMasked(uint32_t v, const Integer* shifts, const Integer* bits, const DWORD* masks) {
  uint32_t r = Widen((v & masks[0]) >> shifts[0], bits[0]);
  uint32_t g = Widen((v & masks[1]) >> shifts[1], bits[1]);
  uint32_t b = Widen((v & masks[2]) >> shifts[2], bits[2]);
  return (r << 16) | (g << 8) | b;
}

uint32_t Narrow(uint32_t c8, Integer bits) {
  if (bits >= 8) return c8 << (bits - 8);
  if (bits <= 0) return 0;
  return c8 >> (8 - bits);
}

uint32_t EncodeMasked(uint32_t rgb, const Integer* shifts, const Integer* bits) {
  return (Narrow((rgb >> 16) & 0xFF, bits[0]) << shifts[0]) |
         (Narrow((rgb >> 8) & 0xFF, bits[1]) << shifts[1]) | (Narrow(rgb & 0xFF, bits[2]) << shifts[2]);
}

}  // namespace

const RGBQUAD* DefaultPaletteColors() { return kStatic; }

const RGBQUAD* StandardColors(Integer bpp, Integer* count) {
  switch (bpp) {
    case 1: *count = 2; return kMono;
    case 4: *count = 16; return kVga;
    case 8: *count = 256; return Standard256();
    default: *count = 0; return nullptr;
  }
}

void SetStandardColors(Surface& s) {
  Integer n = 0;
  const RGBQUAD* t = StandardColors(s.Bpp, &n);
  s.NumColors = n;
  if (t) std::copy(t, t + n, s.Colors);
}

void MaskShiftBits(DWORD mask, Integer* shift, Integer* bits) {
  *shift = 0;
  *bits = 0;
  if (!mask) return;
  while (!(mask & 1)) {
    mask >>= 1;
    ++*shift;
  }
  while (mask & 1) {
    mask >>= 1;
    ++*bits;
  }
}

uint32_t Surface::ValueMask() const {
  switch (Bpp) {
    case 1: return 1;
    case 4: return 0xF;
    case 8: return 0xFF;
    case 16: return (Masks[0] | Masks[1] | Masks[2]) & 0xFFFF;
    case 24: return 0xFFFFFF;
    default: return Masks[0] | Masks[1] | Masks[2];
  }
}

int64_t RowBytes(int64_t width, int64_t bpp) {
  if (width < 0 || bpp <= 0) return -1;
  int64_t r = ((width * bpp + 31) >> 5) << 2;
  return r > INT32_MAX ? -1 : r;
}

void SetDefaultMasks(Surface& s) {
  if (s.Bpp == 16) {
    s.Masks[0] = 0x7C00;
    s.Masks[1] = 0x03E0;
    s.Masks[2] = 0x001F;
  } else if (s.Bpp == 24 || s.Bpp == 32) {
    s.Masks[0] = 0xFF0000;
    s.Masks[1] = 0x00FF00;
    s.Masks[2] = 0x0000FF;
  }
}

bool AllocateSurface(Surface& s, Integer width, Integer height, Integer bpp, bool topDown) {
  if (width <= 0 || height <= 0) return false;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
  int64_t stride = RowBytes(width, bpp);
  if (stride <= 0) return false;
  // One block; sizes beyond 2 GiB are refused like the platform's 32-bit image size.
  int64_t size = stride * static_cast<int64_t>(height);
  if (size > INT32_MAX) return false;
  size_t alloc = (static_cast<size_t>(size) + 63) & ~size_t{63};
  auto* p = static_cast<uint8_t*>(std::aligned_alloc(64, alloc));
  if (!p) return false;
  std::memset(p, 0, alloc);
  s.Owned.reset(p);
  s.Bits = p;
  s.Width = width;
  s.Height = height;
  s.Bpp = bpp;
  s.Stride = static_cast<Integer>(stride);
  s.TopDown = topDown;
  s.NumColors = 0;
  s.Masks[0] = s.Masks[1] = s.Masks[2] = 0;
  SetDefaultMasks(s);
  return true;
}

std::shared_ptr<Surface> CopySurface(const Surface& s) {
  auto c = std::make_shared<Surface>();
  if (!AllocateSurface(*c, s.Width, s.Height, s.Bpp, s.TopDown)) return nullptr;
  std::memcpy(c->Bits, s.Bits, s.ByteSize());
  std::copy(s.Colors, s.Colors + 256, c->Colors);
  c->NumColors = s.NumColors;
  std::copy(s.Masks, s.Masks + 3, c->Masks);
  c->Monochrome = s.Monochrome;
  return c;
}

bool DibColorTableSize(const BITMAPINFOHEADER& h, size_t* bytes, Integer* entries) {
  *bytes = 0;
  *entries = 0;
  if (h.biSize == sizeof(BITMAPCOREHEADER)) {
    const auto& c = reinterpret_cast<const BITMAPCOREHEADER&>(h);
    if (c.bcBitCount <= 8) *entries = 1 << c.bcBitCount;
    *bytes = static_cast<size_t>(*entries) * sizeof(RGBTRIPLE);
    return true;
  }
  if (h.biSize < sizeof(BITMAPINFOHEADER)) return false;
  if (h.biBitCount <= 8) {
    Integer full = 1 << h.biBitCount;
    *entries = h.biClrUsed == 0 ? full : static_cast<Integer>(std::min<DWORD>(h.biClrUsed, full));
  } else if (h.biClrUsed <= 256) {
    *entries = static_cast<Integer>(h.biClrUsed);  // present but unused
  }
  *bytes = static_cast<size_t>(*entries) * sizeof(RGBQUAD);
  if (h.biCompression == BI_BITFIELDS && h.biSize == sizeof(BITMAPINFOHEADER)) *bytes += 3 * sizeof(DWORD);
  return true;
}

bool DibView(const BITMAPINFO* info, const void* bits, UINT usage, const PaletteObj* palette,
             Surface& view) {
  if (!info) return false;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  const auto* table = reinterpret_cast<const uint8_t*>(info) + h.biSize;
  Integer width = 0, height = 0, bpp = 0;
  DWORD compression = BI_RGB;
  bool core = h.biSize == sizeof(BITMAPCOREHEADER);
  if (core) {
    const auto& c = reinterpret_cast<const BITMAPCOREHEADER&>(h);
    width = c.bcWidth;
    height = c.bcHeight;
    bpp = c.bcBitCount;
  } else {
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biSize > 1024) return false;
    width = h.biWidth;
    height = h.biHeight;
    bpp = h.biBitCount;
    compression = h.biCompression;
  }
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
  if (compression != BI_RGB && !(compression == BI_BITFIELDS && (bpp == 16 || bpp == 32))) return false;
  if (width <= 0 || height == 0 || height == INT32_MIN) return false;
  int64_t stride = RowBytes(width, bpp);
  if (stride <= 0) return false;
  size_t tableBytes = 0;
  Integer entries = 0;
  if (!DibColorTableSize(h, &tableBytes, &entries)) return false;
  view.Owned.reset();
  view.Width = width;
  view.Height = height < 0 ? -height : height;
  view.TopDown = height < 0;
  view.Bpp = bpp;
  view.Stride = static_cast<Integer>(stride);
  view.Monochrome = false;
  if (static_cast<int64_t>(view.Stride) * view.Height > INT32_MAX) return false;
  view.Masks[0] = view.Masks[1] = view.Masks[2] = 0;
  SetDefaultMasks(view);
  if (compression == BI_BITFIELDS) {
    const auto* m = reinterpret_cast<const DWORD*>(h.biSize >= 52 ? reinterpret_cast<const uint8_t*>(info) + 40 : table);
    std::memcpy(view.Masks, m, sizeof(view.Masks));
    if (!view.Masks[0] && !view.Masks[1] && !view.Masks[2]) SetDefaultMasks(view);
  }
  view.NumColors = 0;
  if (bpp <= 8) {
    view.NumColors = entries;
    for (Integer i = 0; i < entries; ++i) {
      if (core) {
        const auto* t = reinterpret_cast<const RGBTRIPLE*>(table) + i;
        view.Colors[i] = RGBQUAD{t->rgbtBlue, t->rgbtGreen, t->rgbtRed, 0};
      } else if (usage == DIB_PAL_COLORS) {
        WORD idx = reinterpret_cast<const WORD*>(table)[i];
        std::vector<PALETTEENTRY> def;
        const PALETTEENTRY* pe = nullptr;
        size_t n = 0;
        if (palette) {
          pe = palette->Entries.data();
          n = palette->Entries.size();
        }
        if (pe && n) {
          const PALETTEENTRY& e = pe[idx < n ? idx : n - 1];
          view.Colors[i] = RGBQUAD{e.peBlue, e.peGreen, e.peRed, 0};
        } else {
          view.Colors[i] = DefaultPaletteColors()[idx % 20];
        }
      } else {
        std::memcpy(&view.Colors[i], table + i * sizeof(RGBQUAD), sizeof(RGBQUAD));
        view.Colors[i].rgbReserved = 0;
      }
    }
  }
  view.Bits = const_cast<uint8_t*>(bits ? static_cast<const uint8_t*>(bits) : table + tableBytes);
  return true;
}

// ---------------------------------------------------------------------------------
// Pixel codecs.

void ReadValues(const Surface& s, Integer y, Integer x0, Integer n, uint32_t* out) {
  const uint8_t* row = s.Row(y);
  switch (s.Bpp) {
    case 1:
      for (Integer i = 0; i < n; ++i) {
        Integer x = x0 + i;
        out[i] = (row[x >> 3] >> (7 - (x & 7))) & 1;
      }
      break;
    case 4:
      for (Integer i = 0; i < n; ++i) {
        Integer x = x0 + i;
        out[i] = (x & 1) ? (row[x >> 1] & 0xF) : (row[x >> 1] >> 4);
      }
      break;
    case 8: {
      const uint8_t* p = row + x0;
      for (Integer i = 0; i < n; ++i) out[i] = p[i];
      break;
    }
    case 16: {
      const uint8_t* p = row + 2 * x0;
      for (Integer i = 0; i < n; ++i, p += 2) out[i] = p[0] | (uint32_t{p[1]} << 8);
      break;
    }
    case 24: {
      const uint8_t* p = row + 3 * x0;
      for (Integer i = 0; i < n; ++i, p += 3) out[i] = p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
      break;
    }
    default:
      std::memcpy(out, row + 4 * x0, static_cast<size_t>(n) * 4);
      break;
  }
}

void WriteValues(Surface& s, Integer y, Integer x0, Integer n, const uint32_t* in) {
  uint8_t* row = s.Row(y);
  switch (s.Bpp) {
    case 1:
      for (Integer i = 0; i < n; ++i) {
        Integer x = x0 + i;
        uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
        if (in[i] & 1)
          row[x >> 3] |= bit;
        else
          row[x >> 3] &= static_cast<uint8_t>(~bit);
      }
      break;
    case 4:
      for (Integer i = 0; i < n; ++i) {
        Integer x = x0 + i;
        uint8_t& b = row[x >> 1];
        if (x & 1)
          b = static_cast<uint8_t>((b & 0xF0) | (in[i] & 0xF));
        else
          b = static_cast<uint8_t>((b & 0x0F) | ((in[i] & 0xF) << 4));
      }
      break;
    case 8: {
      uint8_t* p = row + x0;
      for (Integer i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(in[i]);
      break;
    }
    case 16: {
      uint8_t* p = row + 2 * x0;
      for (Integer i = 0; i < n; ++i, p += 2) {
        p[0] = static_cast<uint8_t>(in[i]);
        p[1] = static_cast<uint8_t>(in[i] >> 8);
      }
      break;
    }
    case 24: {
      uint8_t* p = row + 3 * x0;
      for (Integer i = 0; i < n; ++i, p += 3) {
        p[0] = static_cast<uint8_t>(in[i]);
        p[1] = static_cast<uint8_t>(in[i] >> 8);
        p[2] = static_cast<uint8_t>(in[i] >> 16);
      }
      break;
    }
    default:
      std::memcpy(row + 4 * x0, in, static_cast<size_t>(n) * 4);
      break;
  }
}

Integer NearestIndex(const RGBQUAD* colors, Integer count, uint32_t rgb) {
  Integer r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  Integer best = 0;
  Integer bestDist = INT_MAX;
  for (Integer i = 0; i < count; ++i) {
    Integer dr = colors[i].rgbRed - r, dg = colors[i].rgbGreen - g, db = colors[i].rgbBlue - b;
    Integer d = dr * dr + dg * dg + db * db;
    if (d < bestDist) {
      bestDist = d;
      best = i;
      if (d == 0) break;
    }
  }
  return best;
}

uint32_t DecodeColor(const Surface& s, uint32_t value) {
  if (s.Bpp <= 8) {
    if (s.Monochrome) return (value & 1) ? 0xFFFFFF : 0;
    return value < static_cast<uint32_t>(s.NumColors) ? RgbOf(s.Colors[value]) : 0;
  }
  if (s.Bpp == 24) return value & 0xFFFFFF;
  Integer shifts[3], bits[3];
  for (int i = 0; i < 3; ++i) MaskShiftBits(s.Masks[i], &shifts[i], &bits[i]);
  return DecodeMasked(value, shifts, bits, s.Masks);
}

uint32_t EncodeNearest(const Surface& s, uint32_t rgb) {
  if (s.Bpp <= 8) {
    if (s.Monochrome || s.NumColors == 0) {
      Integer r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
      if (!s.Monochrome && s.NumColors == 0) return 0;
      return (r * 30 + g * 59 + b * 11) >= 128 * 100 ? 1 : 0;
    }
    return static_cast<uint32_t>(NearestIndex(s.Colors, s.NumColors, rgb));
  }
  if (s.Bpp == 24) return rgb & 0xFFFFFF;
  Integer shifts[3], bits[3];
  for (int i = 0; i < 3; ++i) MaskShiftBits(s.Masks[i], &shifts[i], &bits[i]);
  return EncodeMasked(rgb, shifts, bits);
}

ColorEncoder::ColorEncoder(const Surface& dest) : dest_(dest) {
  if (dest.Bpp == 16 || dest.Bpp == 32)
    for (int i = 0; i < 3; ++i) MaskShiftBits(dest.Masks[i], &shifts_[i], &bits_[i]);
}

uint32_t ColorEncoder::operator()(uint32_t rgb) {
  switch (dest_.Bpp) {
    case 24: return rgb & 0xFFFFFF;
    case 16:
    case 32: return EncodeMasked(rgb, shifts_, bits_);
    default: break;
  }
  if (dest_.Monochrome || dest_.NumColors == 0) return EncodeNearest(dest_, rgb);
  rgb &= 0xFFFFFF;
  if (cache_.empty()) cache_.assign(4096, 0);
  uint64_t& slot = cache_[(rgb * 2654435761u) >> 20];
  if (slot && ((slot - 1) >> 8) == rgb) return static_cast<uint32_t>((slot - 1) & 0xFF);
  uint32_t idx = static_cast<uint32_t>(NearestIndex(dest_.Colors, dest_.NumColors, rgb));
  slot = ((uint64_t{rgb} << 8) | idx) + 1;
  return idx;
}

ColorDecoder::ColorDecoder(const Surface& src, std::optional<uint32_t> monoText,
                           std::optional<uint32_t> monoBack)
    : src_(src) {
  if (src.Bpp <= 8) {
    lut_ = true;
    Integer n = 1 << src.Bpp;
    for (Integer i = 0; i < n; ++i) table_[i] = DecodeColor(src, static_cast<uint32_t>(i));
    if (src.Monochrome) {
      if (monoText) table_[0] = *monoText;
      if (monoBack) table_[1] = *monoBack;
    }
  } else if (src.Bpp != 24) {
    for (int i = 0; i < 3; ++i) MaskShiftBits(src.Masks[i], &shifts_[i], &bits_[i]);
  }
}

uint32_t ColorDecoder::operator()(uint32_t value) const {
  if (lut_) return table_[value & 0xFF];
  if (src_.Bpp == 24) return value & 0xFFFFFF;
  return DecodeMasked(value, shifts_, bits_, src_.Masks);
}

void ColorEncoder::EncodeRow(const uint32_t* rgb, uint32_t* out, Integer n) {
  switch (dest_.Bpp) {
    case 24:
      for (Integer i = 0; i < n; ++i) out[i] = rgb[i] & 0xFFFFFF;
      return;
    case 16:
    case 32:
      for (Integer i = 0; i < n; ++i) out[i] = EncodeMasked(rgb[i], shifts_, bits_);
      return;
    default:
      for (Integer i = 0; i < n; ++i) out[i] = (*this)(rgb[i]);
      return;
  }
}

void ColorDecoder::DecodeRow(const uint32_t* values, uint32_t* out, Integer n) const {
  if (lut_) {
    for (Integer i = 0; i < n; ++i) out[i] = table_[values[i] & 0xFF];
  } else if (src_.Bpp == 24) {
    for (Integer i = 0; i < n; ++i) out[i] = values[i] & 0xFFFFFF;
  } else {
    for (Integer i = 0; i < n; ++i) out[i] = DecodeMasked(values[i], shifts_, bits_, src_.Masks);
  }
}

}  // namespace gdi

using namespace gdi;

namespace {

std::shared_ptr<BitmapObj> NewBitmap(std::shared_ptr<Surface> s, bool dib) {
  auto b = std::make_shared<BitmapObj>();
  b->Surf = std::move(s);
  b->IsDIB = dib;
  return b;
}

HBITMAP NewMonoBitmap(Integer width, Integer height) {
  auto s = std::make_shared<Surface>();
  if (!AllocateSurface(*s, width, height, 1, true)) return 0;
  s->Monochrome = true;
  SetStandardColors(*s);
  return AddObject(NewBitmap(s, false));
}

HBITMAP NewDDB(Integer width, Integer height, Integer bpp) {
  if (bpp == 1) return NewMonoBitmap(width, height);
  auto s = std::make_shared<Surface>();
  if (!AllocateSurface(*s, width, height, bpp, true)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  if (bpp == 16) {  // device-dependent 16 bits are 5-6-5
    s->Masks[0] = 0xF800;
    s->Masks[1] = 0x07E0;
    s->Masks[2] = 0x001F;
  }
  SetStandardColors(*s);
  return AddObject(NewBitmap(s, false));
}

// The surface of a DC's selected DIB section, or null.
std::shared_ptr<BitmapObj> SelectedDib(HDC hdc) {
  auto dc = FindDC(hdc);
  if (!dc) return nullptr;
  auto b = dc->Target();
  if (!b || !b->IsDIB) return nullptr;
  return b;
}

}  // namespace

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE /*section*/,
                         DWORD /*offset*/) {
  if (bits) *bits = nullptr;
  std::shared_ptr<PaletteObj> palette;
  if (auto dc = FindDC(hdc)) palette = dc->St.Palette;
  Surface header;
  // Parse with a dummy bits pointer: only the format matters here.
  static const uint8_t dummy = 0;
  if (!DibView(info, &dummy, usage, palette.get(), header)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto s = std::make_shared<Surface>();
  if (!AllocateSurface(*s, header.Width, header.Height, header.Bpp, header.TopDown)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  std::copy(header.Masks, header.Masks + 3, s->Masks);
  std::copy(header.Colors, header.Colors + 256, s->Colors);
  s->NumColors = header.NumColors;
  if (s->Bpp <= 8 && s->NumColors == 0) SetStandardColors(*s);
  if (bits) *bits = s->Bits;
  return AddObject(NewBitmap(s, true));
}

HBITMAP CreateBitmap(Integer width, Integer height, UINT planes, UINT bitCount, const void* bits) {
  if (planes != 1 || width < 0 || height < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (width == 0 || height == 0) return NewMonoBitmap(1, 1);
  Integer bpp = bitCount <= 1 ? 1 : bitCount <= 4 ? 4 : bitCount <= 8 ? 8 : bitCount <= 16 ? 16 : bitCount <= 24 ? 24 : 32;
  HBITMAP h = NewDDB(width, height, bpp);
  if (!h || !bits) return h;
  auto b = FindBitmap(h);
  Surface& s = *b->Surf;
  size_t srcStride = static_cast<size_t>(((static_cast<int64_t>(width) * bpp + 15) >> 4) << 1);
  const auto* src = static_cast<const uint8_t*>(bits);
  for (Integer y = 0; y < height; ++y) std::memcpy(s.Row(y), src + y * srcStride, srcStride);
  return h;
}

HBITMAP CreateCompatibleBitmap(HDC hdc, Integer width, Integer height) {
  auto dc = FindDC(hdc);
  if (!dc) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (width < 0 || height < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (width == 0 || height == 0) return NewMonoBitmap(1, 1);
  if (dc->Screen || dc->Window != 0) return NewDDB(width, height, CurrentScreen().Bpp);
  auto cur = dc->Target();
  const Surface& cs = *cur->Surf;
  if (cur->IsDIB) {
    auto s = std::make_shared<Surface>();
    if (!AllocateSurface(*s, width, height, cs.Bpp, cs.TopDown)) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    std::copy(cs.Masks, cs.Masks + 3, s->Masks);
    std::copy(cs.Colors, cs.Colors + 256, s->Colors);
    s->NumColors = cs.NumColors;
    return AddObject(NewBitmap(s, true));
  }
  if (cs.Monochrome) return NewMonoBitmap(width, height);
  return NewDDB(width, height, cs.Bpp);
}

HBITMAP CreateDIBitmap(HDC hdc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                       const BITMAPINFO* info, UINT usage) {
  if (!header) return 0;
  Integer w = header->biSize == sizeof(BITMAPCOREHEADER) ? reinterpret_cast<const BITMAPCOREHEADER*>(header)->bcWidth : header->biWidth;
  Integer h = header->biSize == sizeof(BITMAPCOREHEADER) ? reinterpret_cast<const BITMAPCOREHEADER*>(header)->bcHeight : header->biHeight;
  if (h < 0) h = -h;
  HDC screen = 0;
  if (!FindDC(hdc)) {
    screen = GetDC(0);
    hdc = screen;
  }
  HBITMAP bmp = CreateCompatibleBitmap(hdc, w, h);
  if (bmp && (init & CBM_INIT) && bits && info) {
    if (SetDIBits(hdc, bmp, 0, static_cast<UINT>(h), bits, info, usage) == 0) {
      DeleteObject(bmp);
      bmp = 0;
    }
  }
  if (screen) ReleaseDC(0, screen);
  return bmp;
}

UINT GetDIBColorTable(HDC hdc, UINT start, UINT entries, RGBQUAD* colors) {
  auto b = SelectedDib(hdc);
  if (!b || !colors) return 0;
  const Surface& s = *b->Surf;
  if (s.Bpp > 8 || start >= static_cast<UINT>(s.NumColors)) return 0;
  UINT n = std::min<UINT>(entries, static_cast<UINT>(s.NumColors) - start);
  std::copy(s.Colors + start, s.Colors + start + n, colors);
  return n;
}

UINT SetDIBColorTable(HDC hdc, UINT start, UINT entries, const RGBQUAD* colors) {
  auto b = SelectedDib(hdc);
  if (!b || !colors) return 0;
  Surface& s = *b->Surf;
  if (s.Bpp > 8 || start >= static_cast<UINT>(s.NumColors)) return 0;
  UINT n = std::min<UINT>(entries, static_cast<UINT>(s.NumColors) - start);
  std::copy(colors, colors + n, s.Colors + start);
  for (UINT i = 0; i < n; ++i) s.Colors[start + i].rgbReserved = 0;
  return n;
}

namespace {

// Converts rows between two surfaces of the same size (row by row, by colour).
void ConvertRows(const Surface& src, Integer srcY0, Surface& dst, Integer dstY0, Integer rows) {
  std::vector<uint32_t> buf(static_cast<size_t>(src.Width));
  bool same = src.Bpp == dst.Bpp && std::equal(src.Masks, src.Masks + 3, dst.Masks) &&
              (src.Bpp > 8 || src.Bpp == 1 ||
               (src.NumColors == dst.NumColors &&
                std::equal(src.Colors, src.Colors + src.NumColors, dst.Colors, [](const RGBQUAD& a, const RGBQUAD& b) {
                  return RgbOf(a) == RgbOf(b);
                })));
  ColorDecoder dec(src, std::nullopt, std::nullopt);
  ColorEncoder enc(dst);
  Integer n = std::min(src.Width, dst.Width);
  for (Integer r = 0; r < rows; ++r) {
    ReadValues(src, srcY0 + r, 0, n, buf.data());
    if (!same)
      for (Integer i = 0; i < n; ++i) buf[i] = enc(dec(buf[i]));
    WriteValues(dst, dstY0 + r, 0, n, buf.data());
  }
}

}  // namespace

Integer GetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, void* bits, BITMAPINFO* info,
                  UINT usage) {
  auto b = FindBitmap(bitmap);
  auto dc = FindDC(hdc);
  if (!b || !dc || !info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (b->SelectedIn != 0 && b->SelectedIn != hdc) return 0;
  const Surface& s = *b->Surf;
  BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER)) return 0;
  auto* table = reinterpret_cast<uint8_t*>(info) + h.biSize;
  if (!bits && h.biBitCount == 0) {
    h.biWidth = s.Width;
    h.biHeight = s.Height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(s.Bpp);
    bool fields = (s.Bpp == 16 && s.Masks[1] != 0x03E0) || (s.Bpp == 32 && s.Masks[1] != 0xFF00);
    h.biCompression = fields ? BI_BITFIELDS : BI_RGB;
    h.biSizeImage = static_cast<DWORD>(s.ByteSize());
    h.biClrUsed = 0;
    h.biClrImportant = 0;
    if (fields && h.biSize == sizeof(BITMAPINFOHEADER)) std::memcpy(table, s.Masks, sizeof(s.Masks));
    return 1;
  }
  Integer bpp = h.biBitCount;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return 0;
  if (h.biCompression != BI_RGB && !(h.biCompression == BI_BITFIELDS && (bpp == 16 || bpp == 32))) return 0;
  // The format asked for, as a surface.
  Surface out;
  out.Width = s.Width;
  out.Height = s.Height;
  out.Bpp = bpp;
  out.Stride = static_cast<Integer>(RowBytes(s.Width, bpp));
  out.TopDown = h.biHeight < 0;
  SetDefaultMasks(out);
  if (h.biCompression == BI_BITFIELDS) {
    const DWORD* m = reinterpret_cast<const DWORD*>(h.biSize >= 52 ? reinterpret_cast<uint8_t*>(info) + 40 : table);
    if (m[0] | m[1] | m[2])
      std::memcpy(out.Masks, m, sizeof(out.Masks));
    else if (bpp == 16 && s.Bpp == 16)
      std::memcpy(out.Masks, s.Masks, sizeof(out.Masks));
  }
  if (bpp <= 8) {
    if (bpp == s.Bpp && s.NumColors > 0) {
      out.NumColors = 1 << bpp;
      std::copy(s.Colors, s.Colors + s.NumColors, out.Colors);
      for (Integer i = s.NumColors; i < out.NumColors; ++i) out.Colors[i] = RGBQUAD{};
    } else {
      SetStandardColors(out);
    }
    if (usage == DIB_RGB_COLORS) std::memcpy(table, out.Colors, static_cast<size_t>(out.NumColors) * sizeof(RGBQUAD));
  } else if (h.biCompression == BI_BITFIELDS && h.biSize == sizeof(BITMAPINFOHEADER)) {
    std::memcpy(table, out.Masks, sizeof(out.Masks));
  }
  h.biWidth = s.Width;
  h.biPlanes = 1;
  h.biSizeImage = static_cast<DWORD>(static_cast<int64_t>(out.Stride) * s.Height);
  if (!bits) return static_cast<Integer>(s.Height);
  if (start >= static_cast<UINT>(s.Height) || lines == 0) return 0;
  UINT count = std::min<UINT>(lines, static_cast<UINT>(s.Height) - start);
  // bits holds `count` rows starting at line `start` in the DIB's own order.
  out.Bits = static_cast<uint8_t*>(bits);
  out.Height = static_cast<Integer>(count);
  Integer topRow = out.TopDown ? static_cast<Integer>(start) : s.Height - static_cast<Integer>(start + count);
  ConvertRows(s, topRow, out, 0, static_cast<Integer>(count));
  return static_cast<Integer>(count);
}

Integer SetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, const void* bits,
                  const BITMAPINFO* info, UINT usage) {
  auto b = FindBitmap(bitmap);
  if (!b || !bits || !info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::shared_ptr<PaletteObj> palette;
  if (auto dc = FindDC(hdc)) palette = dc->St.Palette;
  Surface in;
  if (!DibView(info, bits, usage, palette.get(), in)) return 0;
  Surface& s = *b->Surf;
  if (start >= static_cast<UINT>(in.Height) || lines == 0) return 0;
  UINT count = std::min<UINT>(lines, static_cast<UINT>(in.Height) - start);
  Integer topRow = in.TopDown ? static_cast<Integer>(start) : in.Height - static_cast<Integer>(start + count);
  // in.Bits holds only the `count` rows given; they land on the same rows of the
  // bitmap, counted the DIB's way.
  in.Height = static_cast<Integer>(count);
  Integer rows = std::min<Integer>(static_cast<Integer>(count), s.Height - topRow);
  if (topRow < 0 || topRow >= s.Height || rows <= 0) return 0;
  ConvertRows(in, 0, s, topRow, rows);
  return rows;
}
