// TIcon: an HICON, read from and written to .ico files.
#include <algorithm>
#include <cstring>

#include "platform/vcl/Graphics.h"

namespace {

[[noreturn]] void BadIcon() { throw EInvalidGraphic("Icon image is not valid"); }

constexpr Integer kDirectorySize = 6;
constexpr Integer kEntrySize = 16;

Word U16(const Byte* p) { return static_cast<Word>(p[0] | (p[1] << 8)); }
DWORD U32(const Byte* p) {
  return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) | (static_cast<DWORD>(p[2]) << 16) |
         (static_cast<DWORD>(p[3]) << 24);
}
void Put16(Byte* p, Word v) {
  p[0] = static_cast<Byte>(v);
  p[1] = static_cast<Byte>(v >> 8);
}
void Put32(Byte* p, DWORD v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<Byte>(v >> (8 * i));
}

void ReadExact(TStream* stream, void* buffer, Integer count, Int64 limit) {
  if (stream->GetPosition() + count > limit) BadIcon();
  if (stream->Read(buffer, count) != count) BadIcon();
}

void DeleteIconBitmaps(const ICONINFO& info) {
  if (info.hbmColor != 0) DeleteObject(info.hbmColor);
  if (info.hbmMask != 0) DeleteObject(info.hbmMask);
}

}  // namespace

TIcon::~TIcon() {
  if (handle_ != 0) DestroyIcon(handle_);
}

void TIcon::Replace(HICON value) {
  if (handle_ != 0 && handle_ != value) DestroyIcon(handle_);
  handle_ = value;
  width_ = 0;
  height_ = 0;
  ICONINFO info;
  if (value == 0 || !GetIconInfo(value, &info)) return;
  BITMAP bm;
  if (info.hbmColor != 0 && GetObject(info.hbmColor, sizeof(bm), &bm) != 0) {
    width_ = bm.bmWidth;
    height_ = bm.bmHeight;
  } else if (info.hbmMask != 0 && GetObject(info.hbmMask, sizeof(bm), &bm) != 0) {
    // A monochrome icon: AND and XOR halves in one mask.
    width_ = bm.bmWidth;
    height_ = bm.bmHeight / 2;
  }
  DeleteIconBitmaps(info);
}

void TIcon::SetHandle(HICON value) {
  if (value == handle_) return;
  Replace(value);
  Changed(this);
}

HICON TIcon::ReleaseHandle() {
  HICON handle = handle_;
  handle_ = 0;
  width_ = 0;
  height_ = 0;
  return handle;
}

void TIcon::SetWidth(Integer) { throw EInvalidGraphicOperation("Cannot change the size of an icon"); }

void TIcon::SetHeight(Integer) { throw EInvalidGraphicOperation("Cannot change the size of an icon"); }

void TIcon::Assign(TPersistent* source) {
  if (source == this) return;
  if (source == nullptr) {
    Replace(0);
    Changed(this);
    return;
  }
  auto* icon = dynamic_cast<TIcon*>(source);
  if (!icon) {
    TGraphic::Assign(source);
    return;
  }
  HICON copy = 0;
  if (icon->handle_ != 0) {
    ICONINFO info;
    if (!GetIconInfo(icon->handle_, &info)) throw EOutOfResources("Out of system resources");
    copy = CreateIconIndirect(&info);
    DeleteIconBitmaps(info);
    if (copy == 0) throw EOutOfResources("Out of system resources");
  }
  Replace(copy);
  Changed(this);
}

void TIcon::Draw(TCanvas* canvas, const TRect& rect) {
  if (handle_ == 0) return;
  DrawIconEx(canvas->GetHandle(), rect.left, rect.top, handle_, rect.right - rect.left, rect.bottom - rect.top, 0,
             0, DI_NORMAL);
}

void TIcon::LoadFromStream(TStream* stream) {
  Int64 start = stream->GetPosition();
  Int64 end = stream->GetSize();
  Byte directory[kDirectorySize];
  ReadExact(stream, directory, kDirectorySize, end);
  Word count = U16(directory + 4);
  if (U16(directory) != 0 || U16(directory + 2) != 1 || count == 0) BadIcon();
  std::vector<Byte> entries(static_cast<size_t>(count) * kEntrySize);
  ReadExact(stream, entries.data(), static_cast<Integer>(entries.size()), end);
  // The first image is the one read; the stream is left after the furthest one.
  Int64 furthest = stream->GetPosition();
  for (Word i = 0; i < count; ++i) {
    const Byte* e = entries.data() + static_cast<size_t>(i) * kEntrySize;
    furthest = std::max(furthest, start + static_cast<Int64>(U32(e + 12)) + U32(e + 8));
  }
  Int64 imageStart = start + U32(entries.data() + 12);
  Int64 imageEnd = imageStart + U32(entries.data() + 8);
  if (imageStart < start + kDirectorySize + static_cast<Int64>(entries.size()) || imageEnd > end) BadIcon();

  stream->SetPosition(imageStart);
  Byte signature[8] = {};
  ReadExact(stream, signature, sizeof(signature), imageEnd);
  if (std::memcmp(signature, "\x89PNG\r\n\x1a\n", 8) == 0)
    throw EInvalidGraphic("Icons with PNG images are not supported");
  stream->SetPosition(imageStart);

  TBitmap color;
  try {
    color.ReadDib(stream, -1, imageEnd, true);
  } catch (const EInvalidGraphic&) {
    BadIcon();
  }
  Integer width = color.width_;
  Integer height = color.height_;
  if (width > kMaxSize || height > kMaxSize) BadIcon();

  // The AND mask follows the colour rows: 1 bit per pixel, bottom-up, 1 = transparent.
  TBitmap mask;
  mask.Reshape(TBitmap::Format{1, false, {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}}}, width, height, false);
  mask.handleType_ = bmDIB;
  Integer maskBytes = TBitmap::RowBytesFor(width, 1) * height;
  ReadExact(stream, mask.bits_, maskBytes, imageEnd);
  if (color.bitCount_ == 32) {
    // Pictures with an alpha channel may leave the mask empty: a clear pixel is
    // transparent too.
    bool hasAlpha = false;
    for (Integer y = 0; y < height && !hasAlpha; ++y) {
      auto* p = static_cast<Byte*>(color.ScanLine(y));
      for (Integer x = 0; x < width; ++x) hasAlpha |= p[4 * x + 3] != 0;
    }
    for (Integer y = 0; y < height && hasAlpha; ++y) {
      auto* p = static_cast<Byte*>(color.ScanLine(y));
      auto* m = static_cast<Byte*>(mask.ScanLine(y));
      for (Integer x = 0; x < width; ++x) {
        if (p[4 * x + 3] >= 128) continue;
        m[x >> 3] = static_cast<Byte>(m[x >> 3] | (0x80 >> (x & 7)));
        // Drawn by XOR over the cleared destination: black leaves it as it was.
        std::memset(p + 4 * x, 0, 4);
      }
    }
  }

  ICONINFO info;
  info.fIcon = TRUE;
  info.xHotspot = static_cast<DWORD>(width / 2);
  info.yHotspot = static_cast<DWORD>(height / 2);
  info.hbmMask = mask.GetHandle();
  info.hbmColor = color.GetHandle();
  HICON icon = CreateIconIndirect(&info);
  if (icon == 0) throw EOutOfResources("Out of system resources");
  stream->SetPosition(std::min(furthest, end));
  Replace(icon);
  Changed(this);
}

void TIcon::SaveToStream(TStream* stream) {
  if (handle_ == 0) return;
  ICONINFO info;
  if (!GetIconInfo(handle_, &info)) throw EInvalidGraphic("Icon image is not valid");
  // The bitmaps now belong to these two.
  TBitmap color;
  TBitmap mask;
  if (info.hbmColor != 0) {
    color.SetHandle(info.hbmColor);
    mask.SetHandle(info.hbmMask);
  } else {
    // A monochrome icon: the AND half above, the XOR half below.
    TBitmap both;
    both.SetHandle(info.hbmMask);
    both.SetMonochrome(true);
    Integer w = both.width_;
    Integer h = both.height_ / 2;
    for (TBitmap* half : {&mask, &color}) {
      half->SetMonochrome(true);
      half->SetPixelFormat(pf1bit);
      half->SetSize(w, h);
      Integer first = half == &mask ? 0 : h;
      for (Integer y = 0; y < h; ++y) {
        std::memcpy(half->ScanLine(y), both.ScanLine(first + y), static_cast<size_t>(half->RowBytes()));
      }
    }
  }
  Integer width = color.width_;
  Integer height = color.height_;
  if (width > kMaxSize || height > kMaxSize)
    throw EInvalidGraphic("An icon larger than 256 x 256 pixels cannot be saved");
  if (color.bitCount_ == 16) color.SetPixelFormat(pf24bit);
  color.SetHandleType(bmDIB);
  mask.SetMonochrome(true);
  mask.SetSize(width, height);
  if (color.bitCount_ == 32) {
    // Readers that trust the alpha channel would see nothing of a picture whose
    // fourth bytes are all 0: give those the mask as alpha.
    bool hasAlpha = false;
    for (Integer y = 0; y < height && !hasAlpha; ++y) {
      auto* p = static_cast<Byte*>(color.ScanLine(y));
      for (Integer x = 0; x < width; ++x) hasAlpha |= p[4 * x + 3] != 0;
    }
    for (Integer y = 0; y < height && !hasAlpha; ++y) {
      auto* p = static_cast<Byte*>(color.ScanLine(y));
      auto* m = static_cast<Byte*>(mask.ScanLine(y));
      for (Integer x = 0; x < width; ++x) p[4 * x + 3] = (m[x >> 3] & (0x80 >> (x & 7))) ? 0 : 255;
    }
  }

  Integer headerSize = color.DibHeaderSize();
  DWORD xorBytes = static_cast<DWORD>(color.RowBytes()) * static_cast<DWORD>(height);
  DWORD andBytes = static_cast<DWORD>(TBitmap::RowBytesFor(width, 1)) * static_cast<DWORD>(height);
  Byte head[kDirectorySize + kEntrySize] = {};
  Put16(head + 2, 1);
  Put16(head + 4, 1);
  Byte* e = head + kDirectorySize;
  e[0] = static_cast<Byte>(width & 0xFF);  // 256 is written as 0
  e[1] = static_cast<Byte>(height & 0xFF);
  e[2] = static_cast<Byte>(color.bitCount_ <= 8 ? (1 << color.bitCount_) & 0xFF : 0);
  Put16(e + 4, 1);
  Put16(e + 6, static_cast<Word>(color.bitCount_));
  Put32(e + 8, static_cast<DWORD>(headerSize) + xorBytes + andBytes);
  Put32(e + 12, kDirectorySize + kEntrySize);
  stream->WriteBuffer(head, sizeof(head));
  color.WriteDibHeader(stream, height * 2, andBytes);
  color.WriteDibBits(stream);
  mask.WriteDibBits(stream);
}
