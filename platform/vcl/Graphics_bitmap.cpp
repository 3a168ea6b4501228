// TBitmap: pixels in a DIB section, its formats, size, palette and canvas.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/vcl/Graphics.h"

namespace {

constexpr RGBQUAD kBlack{0, 0, 0, 0};
constexpr RGBQUAD kWhite{255, 255, 255, 0};

bool SameColor(const RGBQUAD& a, const RGBQUAD& b) {
  return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
}

// A memory DC holding bitmap for the calls that need one (colour tables); the
// bitmap is taken out again when it goes. Empty when the bitmap cannot be selected.
class SectionDC {
 public:
  explicit SectionDC(HBITMAP bitmap) : dc_(CreateCompatibleDC(0)) {
    if (dc_ != 0) old_ = SelectObject(dc_, bitmap);
  }
  ~SectionDC() {
    if (old_ != 0) SelectObject(dc_, old_);
    if (dc_ != 0) DeleteDC(dc_);
  }
  SectionDC(const SectionDC&) = delete;
  SectionDC& operator=(const SectionDC&) = delete;
  HDC Get() const { return old_ != 0 ? dc_ : 0; }

 private:
  HDC dc_;
  HGDIOBJ old_ = 0;
};

// The colour table GDI gives a palettised depth by default: black and white, the
// 16 VGA colours, or the 256 standard colours.
std::vector<RGBQUAD> StandardColorTable(Integer bitCount) {
  if (bitCount == 1) return {kBlack, kWhite};
  static std::mutex mutex;
  static std::vector<RGBQUAD> tables[9];
  std::lock_guard<std::mutex> guard(mutex);
  std::vector<RGBQUAD>& table = tables[bitCount];
  if (!table.empty()) return table;
  // GetDIBits fills the table when it reads a true-colour pixel at this depth.
  BITMAPINFO source{};
  source.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  source.bmiHeader.biWidth = 1;
  source.bmiHeader.biHeight = 1;
  source.bmiHeader.biPlanes = 1;
  source.bmiHeader.biBitCount = 32;
  void* sourceBits = nullptr;
  HBITMAP bitmap = CreateDIBSection(0, &source, DIB_RGB_COLORS, &sourceBits, 0, 0);
  std::vector<Byte> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
  auto* header = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = 1;
  header->biHeight = 1;
  header->biPlanes = 1;
  header->biBitCount = static_cast<WORD>(bitCount);
  Byte pixel[4] = {};
  HDC dc = CreateCompatibleDC(0);
  table.assign(size_t{1} << bitCount, kBlack);
  if (bitmap != 0 && dc != 0 &&
      GetDIBits(dc, bitmap, 0, 1, pixel, reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS) != 0) {
    std::memcpy(table.data(), info.data() + sizeof(BITMAPINFOHEADER), table.size() * sizeof(RGBQUAD));
  }
  if (dc != 0) DeleteDC(dc);
  if (bitmap != 0) DeleteObject(bitmap);
  return table;
}

// The format of a new bitmap: the screen's depth.
Integer DeviceBitCount() {
  HDC screen = GetDC(0);
  Integer bits = GetDeviceCaps(screen, BITSPIXEL);
  ReleaseDC(0, screen);
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32 ? bits : 32;
}

bool IsStandardDepth(Integer bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

Integer NearestEntry(const std::vector<RGBQUAD>& table, const RGBQUAD& color) {
  Integer best = 0;
  Integer bestDistance = 0x7FFFFFFF;
  for (size_t i = 0; i < table.size(); ++i) {
    Integer dr = table[i].rgbRed - color.rgbRed;
    Integer dg = table[i].rgbGreen - color.rgbGreen;
    Integer db = table[i].rgbBlue - color.rgbBlue;
    Integer distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) {
      best = static_cast<Integer>(i);
      bestDistance = distance;
    }
  }
  return best;
}

// Same-depth palettised pixels from one colour table to another: each index becomes
// the new table's entry nearest to its old colour.
void RemapIndexes(const Byte* from, Byte* to, Integer width, Integer height, Integer bitCount,
                  const std::vector<RGBQUAD>& oldTable, const std::vector<RGBQUAD>& newTable) {
  Byte map[256] = {};
  for (size_t i = 0; i < oldTable.size() && i < 256; ++i)
    map[i] = static_cast<Byte>(NearestEntry(newTable, oldTable[i]));
  Integer stride = TBitmap::RowBytesFor(width, bitCount);
  Integer perByte = 8 / bitCount;
  Byte valueMask = static_cast<Byte>((1 << bitCount) - 1);
  for (Integer y = 0; y < height; ++y) {
    const Byte* src = from + static_cast<size_t>(y) * stride;
    Byte* dst = to + static_cast<size_t>(y) * stride;
    for (Integer x = 0; x < width; ++x) {
      Integer shift = 8 - bitCount * (x % perByte + 1);
      Byte index = static_cast<Byte>((src[x / perByte] >> shift) & valueMask);
      dst[x / perByte] = static_cast<Byte>((dst[x / perByte] & ~(valueMask << shift)) | (map[index] << shift));
    }
  }
}

}  // namespace

// ---------------------------------------------------------------------------------
// Construction and format.

TBitmap::TBitmap() {
  bitCount_ = DeviceBitCount();
  rgb565_ = bitCount_ == 16;  // the screen's 16 bits are 5-6-5
  if (bitCount_ <= 8) colors_ = StandardColorTable(bitCount_);
}

TBitmap::~TBitmap() {
  canvas_.reset();
  if (dib_ != 0) DeleteObject(dib_);
  FreePalette();
}

std::vector<Byte> TBitmap::MakeInfo(const Format& format, Integer width, Integer height) {
  size_t extra = 0;
  if (format.bitCount <= 8) extra = format.colors.size() * sizeof(RGBQUAD);
  else if (format.bitCount == 16 && format.rgb565) extra = 3 * sizeof(DWORD);
  std::vector<Byte> info(sizeof(BITMAPINFOHEADER) + std::max(extra, sizeof(RGBQUAD)));
  auto* header = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = width;
  header->biHeight = height;
  header->biPlanes = 1;
  header->biBitCount = static_cast<WORD>(format.bitCount);
  header->biCompression = BI_RGB;
  header->biSizeImage = static_cast<DWORD>(static_cast<Int64>(RowBytesFor(width, format.bitCount)) * height);
  Byte* tail = info.data() + sizeof(BITMAPINFOHEADER);
  if (format.bitCount <= 8) {
    header->biClrUsed = static_cast<DWORD>(format.colors.size());
    std::memcpy(tail, format.colors.data(), extra);
  } else if (format.bitCount == 16 && format.rgb565) {
    header->biCompression = BI_BITFIELDS;
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(tail, masks, sizeof(masks));
  }
  return info;
}

TBitmap::Format TBitmap::TargetFormat(Integer bitCount, bool rgb565) const {
  Format format;
  format.bitCount = bitCount;
  format.rgb565 = bitCount == 16 && rgb565;
  if (bitCount <= 8) {
    size_t entries = size_t{1} << bitCount;
    if (bitCount_ <= 8 && colors_.size() <= entries) {
      // A smaller table still holds every colour the pixels use.
      format.colors = colors_;
      format.colors.resize(entries, kBlack);
    } else {
      format.colors = StandardColorTable(bitCount);
    }
  }
  return format;
}

void TBitmap::Reshape(const Format& format, Integer width, Integer height, bool convert) {
  if (width <= 0 || height <= 0) {
    ReplaceSection(0, nullptr, format, std::max(width, 0), std::max(height, 0));
    return;
  }
  if (static_cast<Int64>(width) * height > kMaxPixels)
    throw EOutOfResources("A bitmap of " + std::to_string(width) + " x " + std::to_string(height) +
                          " pixels is too large");
  std::vector<Byte> info = MakeInfo(format, width, height);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(0, reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS, &bits, 0, 0);
  if (dib == 0 || bits == nullptr) throw EOutOfResources("Out of system resources");
  auto* newBits = static_cast<Byte*>(bits);
  if (dib_ != 0 && bits_ != nullptr) {
    if (convert && width == width_ && height == height_ && format.bitCount == bitCount_ && bitCount_ <= 8) {
      RemapIndexes(bits_, newBits, width, height, bitCount_, colors_, format.colors);
    } else if (convert && width == width_ && height == height_) {
      std::vector<Byte> oldInfo = MakeInfo(CurrentFormat(), width_, height_);
      SetDIBits(0, dib, 0, static_cast<UINT>(height), bits_, reinterpret_cast<BITMAPINFO*>(oldInfo.data()),
                DIB_RGB_COLORS);
    } else if (format.bitCount == bitCount_) {
      // The top-left overlap, row by row; bits past the narrower width stay zero.
      Integer oldStride = RowBytes();
      Integer newStride = RowBytesFor(width, format.bitCount);
      Integer rows = std::min(height, height_);
      Int64 rowBits = static_cast<Int64>(std::min(width, width_)) * bitCount_;
      size_t fullBytes = static_cast<size_t>(rowBits / 8);
      Integer restBits = static_cast<Integer>(rowBits % 8);
      for (Integer r = 0; r < rows; ++r) {
        const Byte* src = bits_ + static_cast<size_t>(height_ - 1 - r) * oldStride;
        Byte* dst = newBits + static_cast<size_t>(height - 1 - r) * newStride;
        std::memcpy(dst, src, fullBytes);
        if (restBits != 0) dst[fullBytes] = static_cast<Byte>(src[fullBytes] & (0xFF << (8 - restBits)));
      }
    }
  }
  ReplaceSection(dib, newBits, format, width, height);
}

void TBitmap::ReplaceSection(HBITMAP dib, Byte* bits, const Format& format, Integer width, Integer height) {
  if (canvas_) canvas_->DeselectBitmap();
  if (dib_ != 0 && dib_ != dib) DeleteObject(dib_);
  // A palette made from the old colour table no longer matches.
  if (bitCount_ <= 8 || format.bitCount <= 8) FreePalette();
  dib_ = dib;
  bits_ = bits;
  width_ = width;
  height_ = height;
  bitCount_ = format.bitCount;
  rgb565_ = format.rgb565;
  colors_ = format.colors;
  if (canvas_) canvas_->SelectBitmap();
}

void TBitmap::TakeImage(TBitmap& other) {
  if (&other == this) return;
  if (other.canvas_) other.canvas_->DeselectBitmap();
  HBITMAP dib = other.dib_;
  Byte* bits = other.bits_;
  Format format = other.CurrentFormat();
  Integer width = other.width_;
  Integer height = other.height_;
  other.dib_ = 0;
  other.bits_ = nullptr;
  other.width_ = 0;
  other.height_ = 0;
  ReplaceSection(dib, bits, format, width, height);
  handleType_ = other.handleType_;
}

void TBitmap::FreePalette() {
  if (palette_ != 0) DeleteObject(palette_);
  palette_ = 0;
}

void TBitmap::SetSize(Integer width, Integer height) {
  if (width < 0 || height < 0)
    throw EInvalidGraphic("Invalid bitmap size " + std::to_string(width) + " x " + std::to_string(height));
  if (width == width_ && height == height_) return;
  Reshape(CurrentFormat(), width, height, false);
  Changed(this);
}

TPixelFormat TBitmap::GetPixelFormat() const {
  if (handleType_ == bmDDB) return pfDevice;
  switch (bitCount_) {
    case 1: return pf1bit;
    case 4: return pf4bit;
    case 8: return pf8bit;
    case 16: return rgb565_ ? pf16bit : pf15bit;
    case 24: return pf24bit;
    case 32: return pf32bit;
    default: return pfCustom;
  }
}

void TBitmap::SetPixelFormat(TPixelFormat value) {
  Integer bits = 0;
  bool rgb565 = false;
  switch (value) {
    case pfDevice:
      bits = GetMonochrome() ? 1 : DeviceBitCount();
      rgb565 = bits == 16;
      break;
    case pf1bit: bits = 1; break;
    case pf4bit: bits = 4; break;
    case pf8bit: bits = 8; break;
    case pf15bit: bits = 16; break;
    case pf16bit: bits = 16; rgb565 = true; break;
    case pf24bit: bits = 24; break;
    case pf32bit: bits = 32; break;
    case pfCustom: throw EInvalidGraphic("Invalid pixel format");
  }
  TBitmapHandleType handleType = value == pfDevice ? bmDDB : bmDIB;
  bool sameFormat = bits == bitCount_ && (bits != 16 || rgb565 == rgb565_);
  if (sameFormat && handleType == handleType_) return;
  handleType_ = handleType;
  if (!sameFormat) Reshape(TargetFormat(bits, rgb565), width_, height_, true);
  Changed(this);
}

void TBitmap::SetHandleType(TBitmapHandleType value) {
  if (value == handleType_) return;
  handleType_ = value;
  Changed(this);
}

bool TBitmap::GetMonochrome() const {
  return bitCount_ == 1 && colors_.size() == 2 && SameColor(colors_[0], kBlack) && SameColor(colors_[1], kWhite);
}

void TBitmap::SetMonochrome(bool value) {
  if (value == GetMonochrome()) return;
  if (value) {
    Reshape(Format{1, false, {kBlack, kWhite}}, width_, height_, true);
  } else {
    Integer bits = DeviceBitCount();
    Reshape(TargetFormat(bits == 1 ? 32 : bits, bits == 16), width_, height_, true);
  }
  Changed(this);
}

// ---------------------------------------------------------------------------------
// Palette and colour table.

void TBitmap::SetColorTable(const RGBQUAD* entries, Integer count, Integer start) {
  Integer size = static_cast<Integer>(colors_.size());
  for (Integer i = 0; i < count && start + i < size; ++i) {
    if (start + i < 0) continue;
    colors_[start + i] = entries[i];
    colors_[start + i].rgbReserved = 0;
  }
  FreePalette();
  if (dib_ == 0 || size == 0) return;
  // The section keeps its own table, changed through a DC that holds it.
  if (canvas_ && canvas_->dc_ != 0 && canvas_->oldBitmap_ != 0) {
    SetDIBColorTable(canvas_->dc_, 0, static_cast<UINT>(size), colors_.data());
    return;
  }
  SectionDC dc(dib_);
  if (dc.Get() != 0) SetDIBColorTable(dc.Get(), 0, static_cast<UINT>(size), colors_.data());
}

HPALETTE TBitmap::GetPalette() {
  if (palette_ != 0 || bitCount_ > 8 || colors_.empty()) return palette_;
  std::vector<Byte> buffer(sizeof(LOGPALETTE) + colors_.size() * sizeof(PALETTEENTRY));
  auto* log = reinterpret_cast<LOGPALETTE*>(buffer.data());
  log->palVersion = 0x300;
  log->palNumEntries = static_cast<WORD>(colors_.size());
  for (size_t i = 0; i < colors_.size(); ++i) {
    log->palPalEntry[i] = PALETTEENTRY{colors_[i].rgbRed, colors_[i].rgbGreen, colors_[i].rgbBlue, 0};
  }
  palette_ = CreatePalette(log);
  return palette_;
}

void TBitmap::SetPalette(HPALETTE value) {
  if (value == palette_) return;
  if (value != 0 && bitCount_ <= 8) {
    WORD count = 0;
    GetObject(value, sizeof(count), &count);
    std::vector<PALETTEENTRY> entries(count);
    if (count != 0) GetPaletteEntries(value, 0, count, entries.data());
    std::vector<RGBQUAD> table(count);
    for (size_t i = 0; i < entries.size(); ++i) {
      table[i] = RGBQUAD{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
    }
    SetColorTable(table.data(), count, 0);
    // The table is what counts from now on; GetPalette makes a palette of all of it.
    DeleteObject(value);
    value = 0;
  }
  FreePalette();
  palette_ = value;
  Changed(this);
}

// ---------------------------------------------------------------------------------
// Handles, rows and canvas.

void TBitmap::SetHandle(HBITMAP value) {
  if (value == dib_) return;
  if (value == 0) {
    ReplaceSection(0, nullptr, CurrentFormat(), 0, 0);
    Changed(this);
    return;
  }
  DIBSECTION ds;
  Integer got = GetObject(value, sizeof(ds), &ds);
  if (got < static_cast<Integer>(sizeof(BITMAP))) throw EInvalidGraphic("Invalid bitmap handle");
  bool isSection = got == static_cast<Integer>(sizeof(DIBSECTION)) && ds.dsBm.bmBits != nullptr;
  Integer width = ds.dsBm.bmWidth;
  Integer height = ds.dsBm.bmHeight;
  Integer bits = ds.dsBm.bmBitsPixel;

  if (isSection && ds.dsBmih.biHeight > 0 && IsStandardDepth(bits)) {
    bool bitfields = ds.dsBmih.biCompression == BI_BITFIELDS;
    bool rgb565 = bits == 16 && bitfields && ds.dsBitfields[1] == 0x07E0;
    bool standardMasks =
        !bitfields || rgb565 || (bits == 16 && ds.dsBitfields[1] == 0x03E0) ||
        (bits == 32 && ds.dsBitfields[0] == 0xFF0000 && ds.dsBitfields[1] == 0xFF00 && ds.dsBitfields[2] == 0xFF);
    Format format{bits, rgb565, {}};
    bool adopted = standardMasks;
    if (adopted && bits <= 8) {
      format.colors.assign(size_t{1} << bits, kBlack);
      SectionDC dc(value);
      adopted = dc.Get() != 0;
      if (adopted) GetDIBColorTable(dc.Get(), 0, static_cast<UINT>(format.colors.size()), format.colors.data());
    }
    if (adopted) {
      ReplaceSection(value, static_cast<Byte*>(ds.dsBm.bmBits), format, width, height);
      handleType_ = bmDIB;
      Changed(this);
      return;
    }
  }

  // Anything else is copied into a section of its own depth (or 32 bits).
  HDC dc = CreateCompatibleDC(0);
  std::vector<Byte> query(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
  auto* header = reinterpret_cast<BITMAPINFOHEADER*>(query.data());
  Format format;
  format.bitCount = IsStandardDepth(bits) ? bits : 32;
  if (format.bitCount == 16) {
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = width;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = 16;
    header->biCompression = BI_BITFIELDS;
    GetDIBits(dc, value, 0, static_cast<UINT>(height), nullptr, reinterpret_cast<BITMAPINFO*>(query.data()),
              DIB_RGB_COLORS);
    DWORD green = 0;
    std::memcpy(&green, query.data() + sizeof(BITMAPINFOHEADER) + sizeof(DWORD), sizeof(green));
    format.rgb565 = green == 0x07E0;
  } else if (format.bitCount <= 8) {
    format.colors.assign(size_t{1} << format.bitCount, kBlack);
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = width;
    header->biHeight = height;
    header->biPlanes = 1;
    header->biBitCount = static_cast<WORD>(format.bitCount);
    header->biCompression = BI_RGB;
    GetDIBits(dc, value, 0, static_cast<UINT>(height), nullptr, reinterpret_cast<BITMAPINFO*>(query.data()),
              DIB_RGB_COLORS);
    std::memcpy(format.colors.data(), query.data() + sizeof(BITMAPINFOHEADER),
                format.colors.size() * sizeof(RGBQUAD));
  }
  TBitmap copy;
  try {
    copy.Reshape(format, width, height, false);
  } catch (...) {
    DeleteDC(dc);
    throw;
  }
  std::vector<Byte> info = MakeInfo(format, width, height);
  GetDIBits(dc, value, 0, static_cast<UINT>(height), copy.bits_, reinterpret_cast<BITMAPINFO*>(info.data()),
            DIB_RGB_COLORS);
  DeleteDC(dc);
  DeleteObject(value);
  TakeImage(copy);
  handleType_ = isSection ? bmDIB : bmDDB;
  Changed(this);
}

HBITMAP TBitmap::ReleaseHandle() {
  if (canvas_) canvas_->DeselectBitmap();
  HBITMAP handle = dib_;
  dib_ = 0;
  bits_ = nullptr;
  width_ = 0;
  height_ = 0;
  if (bitCount_ <= 8) FreePalette();
  return handle;
}

void* TBitmap::ScanLine(Integer row) {
  if (row < 0 || row >= height_ || bits_ == nullptr)
    throw EInvalidGraphicOperation("Scan line index out of range");
  return bits_ + static_cast<size_t>(height_ - 1 - row) * RowBytes();
}

TCanvas* TBitmap::GetCanvas() {
  if (!canvas_) canvas_ = std::make_unique<TBitmapCanvas>(this);
  return canvas_.get();
}

// ---------------------------------------------------------------------------------
// Transparency, copying and drawing.

TColor TBitmap::GetTransparentColor() {
  if (transparentMode_ == tmFixed) return transparentColor_;
  if (GetEmpty()) return clDefault;
  return GetCanvas()->GetPixel(0, height_ - 1);
}

void TBitmap::SetTransparentColor(TColor value) {
  if (value == transparentColor_) return;
  transparentColor_ = value;
  transparentMode_ = value == clDefault ? tmAuto : tmFixed;
  Changed(this);
}

void TBitmap::SetTransparentMode(TTransparentMode value) {
  if (value == transparentMode_) return;
  transparentMode_ = value;
  if (value == tmAuto) transparentColor_ = clDefault;
  Changed(this);
}

void TBitmap::Assign(TPersistent* source) {
  if (source == this) return;
  if (source == nullptr) {
    ReplaceSection(0, nullptr, CurrentFormat(), 0, 0);
    Changed(this);
    return;
  }
  auto* bitmap = dynamic_cast<TBitmap*>(source);
  if (!bitmap) {
    TGraphic::Assign(source);
    return;
  }
  Format format = bitmap->CurrentFormat();
  if (bitmap->bits_ != nullptr) {
    TBitmap copy;
    copy.Reshape(format, bitmap->width_, bitmap->height_, false);
    std::memcpy(copy.bits_, bitmap->bits_, static_cast<size_t>(bitmap->RowBytes()) * bitmap->height_);
    TakeImage(copy);
  } else {
    ReplaceSection(0, nullptr, format, bitmap->width_, bitmap->height_);
  }
  handleType_ = bitmap->handleType_;
  transparent_ = bitmap->transparent_;
  transparentColor_ = bitmap->transparentColor_;
  transparentMode_ = bitmap->transparentMode_;
  ignorePalette_ = bitmap->ignorePalette_;
  if (bitCount_ > 8 && bitmap->palette_ != 0) {
    // A palette given to a true-colour bitmap goes with it, as a copy.
    WORD count = 0;
    GetObject(bitmap->palette_, sizeof(count), &count);
    std::vector<Byte> buffer(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
    auto* log = reinterpret_cast<LOGPALETTE*>(buffer.data());
    log->palVersion = 0x300;
    log->palNumEntries = count;
    if (count != 0) GetPaletteEntries(bitmap->palette_, 0, count, log->palPalEntry);
    FreePalette();
    palette_ = CreatePalette(log);
  }
  Changed(this);
}

void TBitmap::Draw(TCanvas* canvas, const TRect& rect) {
  if (GetEmpty()) return;
  if (GetTransparent()) {
    DrawTransparent(canvas, rect);
    return;
  }
  HDC dest = canvas->GetHandle();
  HDC source = GetCanvas()->GetHandle();
  // Shrinking a colour picture drops rows and columns instead of mixing them.
  Integer oldMode = SetStretchBltMode(dest, GetMonochrome() ? BLACKONWHITE : COLORONCOLOR);
  StretchBlt(dest, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, source, 0, 0, width_,
             height_, static_cast<DWORD>(canvas->GetCopyMode()));
  if (oldMode != 0) SetStretchBltMode(dest, oldMode);
}

void TBitmap::DrawTransparent(TCanvas* canvas, const TRect& rect) {
  COLORREF key = static_cast<COLORREF>(ColorToRGB(GetTransparentColor())) & 0x00FFFFFF;
  // The picture in 32 bits with the transparent pixels made black, and a mask that
  // is white where they are: the mask ANDed onto the destination clears the opaque
  // pixels, the picture ORed on fills them.
  TBitmap image;
  image.SetPixelFormat(pf32bit);
  image.SetSize(width_, height_);
  BitBlt(image.GetCanvas()->GetHandle(), 0, 0, width_, height_, GetCanvas()->GetHandle(), 0, 0, SRCCOPY);
  TBitmap mask;
  mask.SetPixelFormat(pf1bit);
  mask.SetSize(width_, height_);
  for (Integer y = 0; y < height_; ++y) {
    auto* pixel = static_cast<Byte*>(image.ScanLine(y));
    auto* bitsRow = static_cast<Byte*>(mask.ScanLine(y));
    for (Integer x = 0; x < width_; ++x, pixel += 4) {
      COLORREF color = RGB(pixel[2], pixel[1], pixel[0]);
      if (color != key) continue;
      pixel[0] = pixel[1] = pixel[2] = pixel[3] = 0;
      bitsRow[x >> 3] = static_cast<Byte>(bitsRow[x >> 3] | (0x80 >> (x & 7)));
    }
  }
  HDC dest = canvas->GetHandle();
  Integer width = rect.right - rect.left;
  Integer height = rect.bottom - rect.top;
  Integer oldMode = SetStretchBltMode(dest, COLORONCOLOR);
  StretchBlt(dest, rect.left, rect.top, width, height, mask.GetCanvas()->GetHandle(), 0, 0, width_, height_,
             SRCAND);
  StretchBlt(dest, rect.left, rect.top, width, height, image.GetCanvas()->GetHandle(), 0, 0, width_, height_,
             SRCPAINT);
  if (oldMode != 0) SetStretchBltMode(dest, oldMode);
}

// ---------------------------------------------------------------------------------
// TBitmapCanvas

TBitmapCanvas::~TBitmapCanvas() {
  SetHandle(0);
  DeselectBitmap();
  if (dc_ != 0) DeleteDC(dc_);
}

void TBitmapCanvas::CreateHandle() {
  if (dc_ == 0) {
    dc_ = CreateCompatibleDC(0);
    if (dc_ == 0) return;
    SelectBitmap();
  }
  SetHandle(dc_);
}

void TBitmapCanvas::DeselectBitmap() {
  if (dc_ == 0 || oldBitmap_ == 0) return;
  SelectObject(dc_, oldBitmap_);
  oldBitmap_ = 0;
}

void TBitmapCanvas::SelectBitmap() {
  if (dc_ == 0 || bitmap_->dib_ == 0 || oldBitmap_ != 0) return;
  oldBitmap_ = SelectObject(dc_, bitmap_->dib_);
}

void TBitmapCanvas::Changed() {
  TCanvas::Changed();
  bitmap_->Changed(this);
}
