// 3 x 3 integer convolution over 24-bit images, the built-in kernels and the filter
// file.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "image/model/iebitmap.h"
#include "image/proc/dadiravproc.h"
#include "image/proc/dadiravproc_internal.h"
#include "platform/rtl/Streams.h"

using namespace dadiravproc_detail;

namespace {

constexpr Byte kFilterMagic[3] = {1, 3, 3};
constexpr Integer kFilterFileSize = 43;

Byte Clamp64(Int64 v) { return static_cast<Byte>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

void PutInt32(Byte* p, int32_t v) {
  const auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<Byte>(u >> (8 * i));
}

int32_t GetInt32(const Byte* p) {
  uint32_t u = 0;
  for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(p[i]) << (8 * i);
  return static_cast<int32_t>(u);
}

}  // namespace

TGraphFilter IEGetFilterPreset(TIEFilterPresets preset) {
  static constexpr std::array<std::array<int32_t, 10>, 9> kPresets = {{
      {0, 0, 0, 0, 1, 0, 0, 0, 0, 0},
      {1, 1, 1, 1, 1, 1, 1, 1, 1, 9},
      {1, 1, 1, 1, -8, 1, 1, 1, 1, 1},
      {-1, 0, 1, -1, 1, 1, -1, 0, 1, 1},
      {0, -1, 0, -1, 5, -1, 0, -1, 0, 1},
      {-1, -1, -1, -1, 9, -1, -1, -1, -1, 1},
      {1, -2, 1, -2, 5, -2, 1, -2, 1, 1},
      {1, 1, 1, 1, 1, 1, 1, 1, 1, 10},
      {1, 2, 1, 2, 4, 2, 1, 2, 1, 16},
  }};
  const auto& v = kPresets[std::min<size_t>(static_cast<size_t>(preset), kPresets.size() - 1)];
  TGraphFilter f;
  for (int k = 0; k < 9; ++k) f.Values[k / 3][k % 3] = v[static_cast<size_t>(k)];
  f.Divisor = v[9];
  return f;
}

void _ApplyFilter(TIEBitmap* bitmap, const TGraphFilter& filter, Integer x1, Integer y1,
                  Integer x2, Integer y2, TProgressRec& progress) {
  if (!HasPixels(bitmap) || bitmap->GetPixelFormat() != ie24RGB) return;
  const Integer width = bitmap->GetWidth(), height = bitmap->GetHeight();
  if (!ClipRect(width, height, x1, y1, x2, y2)) return;
  const Int64 divisor = filter.Divisor == 0 ? 1 : filter.Divisor;

  // Product table: weight k times every byte value, in 64 bits so that any pair of
  // weight and divisor from a file stays defined.
  std::vector<Int64> table(9 * 256);
  for (int k = 0; k < 9; ++k)
    for (int v = 0; v < 256; ++v)
      table[static_cast<size_t>(k * 256 + v)] = static_cast<Int64>(filter.Values[k / 3][k % 3]) * v;
  const Int64* t[9];
  for (int k = 0; k < 9; ++k) t[k] = table.data() + k * 256;

  // Column indices of the three neighbours, clamped to the image.
  const Integer count = x2 - x1;
  std::vector<Integer> left(static_cast<size_t>(count)), right(static_cast<size_t>(count));
  for (Integer i = 0; i < count; ++i) {
    left[static_cast<size_t>(i)] = std::max(x1 + i - 1, 0) * 3;
    right[static_cast<size_t>(i)] = std::min(x1 + i + 1, width - 1) * 3;
  }

  // Row y's result is written back after row y + 1 is computed, since row y + 1 still
  // reads row y's original pixels and no later row reads them.
  const size_t rowBytes = static_cast<size_t>(count) * 3;
  std::vector<Byte> pending(rowBytes), current(rowBytes);
  bool havePending = false;
  const Integer rows = y2 - y1;
  for (Integer y = y1; y < y2; ++y) {
    const Integer ya = std::max(y - 1, 0), yc = std::min(y + 1, height - 1);
    const Byte* ra = static_cast<const Byte*>(bitmap->GetRow(ya));
    const Byte* rb = static_cast<const Byte*>(bitmap->GetRow(y));
    const Byte* rc = static_cast<const Byte*>(bitmap->GetRow(yc));
    Byte* out = current.data();
    for (Integer i = 0; i < count; ++i) {
      const Integer l = left[static_cast<size_t>(i)], m = (x1 + i) * 3,
                    r = right[static_cast<size_t>(i)];
      for (int c = 0; c < 3; ++c) {
        const Int64 sum = t[0][ra[l + c]] + t[1][ra[m + c]] + t[2][ra[r + c]] +
                          t[3][rb[l + c]] + t[4][rb[m + c]] + t[5][rb[r + c]] +
                          t[6][rc[l + c]] + t[7][rc[m + c]] + t[8][rc[r + c]];
        *out++ = Clamp64(sum / divisor);
      }
    }
    bitmap->FreeRow(yc);
    bitmap->FreeRow(y);
    bitmap->FreeRow(ya);
    if (havePending) {
      std::memcpy(static_cast<Byte*>(bitmap->GetRow(y - 1)) + x1 * 3, pending.data(), rowBytes);
      bitmap->FreeRow(y - 1);
    }
    std::swap(pending, current);
    havePending = true;
    ReportRow(progress.OnProgress, progress.Sender, y - y1 + 1, rows);
  }
  std::memcpy(static_cast<Byte*>(bitmap->GetRow(y2 - 1)) + x1 * 3, pending.data(), rowBytes);
  bitmap->FreeRow(y2 - 1);
}

TGraphFilter LoadFilterFromFile(const AnsiString& fileName, const TGraphFilter& current) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  Byte data[kFilterFileSize] = {};
  const Integer got = stream.Read(data, kFilterFileSize);
  // A file of another kind, or one cut short, is not half read.
  if (got < kFilterFileSize || std::memcmp(data, kFilterMagic, 3) != 0) return current;
  TGraphFilter f;
  for (int k = 0; k < 9; ++k) f.Values[k / 3][k % 3] = GetInt32(data + 3 + 4 * k);
  f.Divisor = GetInt32(data + 3 + 36);
  return f;
}

void SaveFilterToFile(const AnsiString& fileName, const TGraphFilter& filter) {
  TFileStream stream(fileName, fmCreate);
  Byte data[kFilterFileSize];
  std::memcpy(data, kFilterMagic, 3);
  for (int k = 0; k < 9; ++k) PutInt32(data + 3 + 4 * k, filter.Values[k / 3][k % 3]);
  PutInt32(data + 3 + 36, filter.Divisor);
  stream.Write(data, kFilterFileSize);
}
