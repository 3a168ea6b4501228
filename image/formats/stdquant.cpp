// Median cut over a 32 x 32 x 32 cube of 5-bit colour cells. Boxes are split where
// the split best separates the channel's mean, on the channel whose halves keep the
// least variance; the box of the largest variance is split first.
#include "image/formats/stdquant.h"

#include <algorithm>
#include <vector>

#include "image/model/iebitmap.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Math.h"
#include "platform/vcl/Graphics.h"

namespace {

constexpr Integer kCellsPerChannel = 32;
constexpr Integer kCubeCells = kCellsPerChannel * kCellsPerChannel * kCellsPerChannel;
// At most this many boxes: palette indexes are stored in bytes.
constexpr Integer kMaxBoxes = 256;
// Score of a channel whose split failed; larger than any real one.
constexpr double kFailedSplit = 17523.6;

enum Channel { Red = 0, Green = 1, Blue = 2 };

constexpr Integer CellIndex(Integer r5, Integer g5, Integer b5) { return (r5 << 10) | (g5 << 5) | b5; }

struct Box {
  double Weight = 0;     // summed squared deviation of the three channels / total pixels
  double Mean[3] = {};   // red, green, blue in 5-bit units
  Int64 Count = 0;       // pixels in the box
  Int64 Hist[3][kCellsPerChannel] = {};
  Integer Lower[3] = {};  // inclusive
  Integer Upper[3] = {};  // exclusive
};

}  // namespace

struct TIEMedianCut {
  std::vector<Int64> Cube = std::vector<Int64>(kCubeCells);  // pixels per cell
  std::vector<Box> Boxes;
  std::vector<Byte> Map = std::vector<Byte>(kCubeCells);  // palette index per cell
  Int64 TotalPixels = 0;
  Integer Wanted = 0;
  Integer BoxCount = 0;
};

namespace {

void ComputeStatistics(Box& box, Int64 totalPixels) {
  box.Weight = 0;
  if (box.Count == 0) return;
  const double count = static_cast<double>(box.Count);
  for (int c = 0; c < 3; ++c) {
    Int64 s1 = 0;
    Int64 s2 = 0;
    for (Integer v = box.Lower[c]; v < box.Upper[c]; ++v) {
      s1 += v * box.Hist[c][v];
      s2 += Int64{v} * v * box.Hist[c][v];
    }
    const double mean = static_cast<double>(s1) / count;
    box.Mean[c] = mean;
    box.Weight += static_cast<double>(s2) - mean * mean * count;
  }
  box.Weight /= static_cast<double>(totalPixels);
}

// Lower and Upper of every channel become the first and one past the last
// occupied bin.
void ShrinkBounds(Box& box) {
  for (int c = 0; c < 3; ++c) {
    Integer lo = box.Lower[c];
    Integer hi = box.Upper[c];
    while (lo < hi && box.Hist[c][lo] == 0) ++lo;
    while (hi > lo && box.Hist[c][hi - 1] == 0) --hi;
    box.Lower[c] = lo;
    box.Upper[c] = hi;
  }
}

// Splits box on channel c into a and b; false when either half would be empty.
bool TrySplit(const TIEMedianCut& q, const Box& box, int c, Box& a, Box& b) {
  if (box.Upper[c] == box.Lower[c] + 1) return false;
  const double mean = box.Mean[c];
  const Integer first = static_cast<Integer>(Round((box.Lower[c] + mean) * 0.5));
  const Integer last = static_cast<Integer>(Round((box.Upper[c] + mean) * 0.5));
  const Int64* h = box.Hist[c];
  Int64 sum = 0;
  for (Integer v = box.Lower[c]; v < first; ++v) sum += h[v];
  Integer split = first;
  Int64 countA = box.Count;
  double best = -1;
  double t = 0;
  const double count = static_cast<double>(box.Count);
  // The bins a box holds end before Upper, so the running sum reaches Count there.
  for (Integer v = first; v <= last && v < kCellsPerChannel; ++v) {
    sum += h[v];
    if (sum == box.Count) break;
    t += static_cast<double>(h[v]) * v / count;
    const double d = mean - t;
    const double score = static_cast<double>(sum) / static_cast<double>(box.Count - sum) * d * d;
    if (score > best) {
      best = score;
      split = v;
      countA = sum;
    }
  }

  a = box;
  b = box;
  a.Upper[c] = split + 1;
  b.Lower[c] = split + 1;
  a.Count = countA;
  b.Count = box.Count - countA;
  if (a.Count == 0 || b.Count == 0) return false;

  // Every occupied cell of a's range moves from b's histograms to a's.
  for (auto& hist : a.Hist) std::fill(std::begin(hist), std::end(hist), Int64{0});
  for (Integer r = a.Lower[Red]; r < a.Upper[Red]; ++r)
    for (Integer g = a.Lower[Green]; g < a.Upper[Green]; ++g) {
      const Int64* cells = &q.Cube[static_cast<size_t>(CellIndex(r, g, 0))];
      for (Integer bl = a.Lower[Blue]; bl < a.Upper[Blue]; ++bl) {
        const Int64 n = cells[bl];
        if (n == 0) continue;
        a.Hist[Red][r] += n;
        a.Hist[Green][g] += n;
        a.Hist[Blue][bl] += n;
        b.Hist[Red][r] -= n;
        b.Hist[Green][g] -= n;
        b.Hist[Blue][bl] -= n;
      }
    }
  ShrinkBounds(a);
  ShrinkBounds(b);
  ComputeStatistics(a, q.TotalPixels);
  ComputeStatistics(b, q.TotalPixels);
  return true;
}

// Splits box k, putting the second half at index `next`. False (and the box's
// weight cleared) when no channel splits.
bool SplitBox(TIEMedianCut& q, Integer k, Integer next) {
  Box& box = q.Boxes[static_cast<size_t>(k)];
  if (box.Weight == 0 || box.Count == 0) {
    box.Weight = 0;
    return false;
  }
  Box halves[3][2];
  double score[3];
  for (int c = 0; c < 3; ++c)
    score[c] = TrySplit(q, box, c, halves[c][0], halves[c][1])
                   ? halves[c][0].Weight + halves[c][1].Weight
                   : kFailedSplit;

  int chosen = -1;
  if (score[Red] < kFailedSplit && score[Red] <= score[Green] && score[Red] <= score[Blue])
    chosen = Red;
  else if (score[Green] < kFailedSplit && score[Green] <= score[Red] && score[Green] <= score[Blue])
    chosen = Green;
  else if (score[Blue] < kFailedSplit)
    chosen = Blue;
  if (chosen < 0) {
    box.Weight = 0;
    return false;
  }
  q.Boxes[static_cast<size_t>(next)] = halves[chosen][1];
  q.Boxes[static_cast<size_t>(k)] = halves[chosen][0];
  return true;
}

void CheckPalette(std::span<TRGB> palette, Integer ncol, Integer maxColors) {
  if (ncol < 1 || ncol > maxColors)
    throw ERangeError("Quantizer: the number of colours must be between 1 and " +
                      std::to_string(maxColors) + " (" + std::to_string(ncol) + ")");
  if (palette.size() < static_cast<size_t>(ncol))
    throw ERangeError("Quantizer: the palette holds fewer than " + std::to_string(ncol) +
                      " entries");
}

}  // namespace

TIEQuantizerSource IEQuantizerSource(TIEBitmap* bitmap) {
  if (bitmap == nullptr || bitmap->GetPixelFormat() != ie24RGB)
    throw EInvalidOperation("Quantizer: the image must be 24-bit RGB");
  TIEQuantizerSource source;
  source.Width = bitmap->GetWidth();
  source.Height = bitmap->GetHeight();
  source.ScanLine = [bitmap](Integer row) {
    return static_cast<const TRGB*>(bitmap->GetScanLine(row));
  };
  return source;
}

TIEQuantizerSource IEQuantizerSource(TBitmap* bitmap) {
  if (bitmap == nullptr || bitmap->GetPixelFormat() != pf24bit)
    throw EInvalidOperation("Quantizer: the bitmap must be 24-bit");
  TIEQuantizerSource source;
  source.Width = bitmap->GetWidth();
  source.Height = bitmap->GetHeight();
  source.ScanLine = [bitmap](Integer row) {
    return static_cast<const TRGB*>(bitmap->ScanLine(row));
  };
  return source;
}

TIEMedianCut* CreateMedianCutQuantizer(const TIEQuantizerSource& Source, std::span<TRGB> Palette,
                                       Integer NCol) {
  CheckPalette(Palette, NCol, kMaxBoxes);
  auto q = std::make_unique<TIEMedianCut>();
  const Integer width = std::max(Source.Width, 0);
  const Integer height = std::max(Source.Height, 0);
  q->TotalPixels = Int64{width} * height;
  q->Wanted = NCol;
  q->Boxes.resize(static_cast<size_t>(NCol));

  // Histogram: the cube and the first box's three channel histograms.
  Box& first = q->Boxes[0];
  for (Integer y = 0; y < height; ++y) {
    const TRGB* px = Source.ScanLine(y);
    for (Integer x = 0; x < width; ++x, ++px) {
      const Integer r5 = px->r >> 3;
      const Integer g5 = px->g >> 3;
      const Integer b5 = px->b >> 3;
      ++q->Cube[static_cast<size_t>(CellIndex(r5, g5, b5))];
      ++first.Hist[Red][r5];
      ++first.Hist[Green][g5];
      ++first.Hist[Blue][b5];
    }
  }
  for (int c = 0; c < 3; ++c) {
    first.Lower[c] = 0;
    first.Upper[c] = kCellsPerChannel;
  }
  first.Count = q->TotalPixels;
  ComputeStatistics(first, q->TotalPixels);

  Integer i = 1;
  while (i < NCol) {
    Integer pick = -1;
    double heaviest = 0;
    for (Integer k = 0; k < i; ++k) {
      if (q->Boxes[static_cast<size_t>(k)].Weight > heaviest) {
        heaviest = q->Boxes[static_cast<size_t>(k)].Weight;
        pick = k;
      }
    }
    if (pick < 0) break;
    if (SplitBox(*q, pick, i)) ++i;
  }
  q->BoxCount = i;

  for (Integer k = 0; k < q->BoxCount; ++k) {
    const Box& box = q->Boxes[static_cast<size_t>(k)];
    auto level = [](double mean) { return static_cast<Byte>(Round(mean) << 3); };
    Palette[static_cast<size_t>(k)] = TRGB{level(box.Mean[Blue]), level(box.Mean[Green]),
                                           level(box.Mean[Red])};
    for (Integer r = box.Lower[Red]; r < box.Upper[Red]; ++r)
      for (Integer g = box.Lower[Green]; g < box.Upper[Green]; ++g)
        for (Integer b = box.Lower[Blue]; b < box.Upper[Blue]; ++b)
          q->Map[static_cast<size_t>(CellIndex(r, g, b))] = static_cast<Byte>(k);
  }
  return q.release();
}

TIEMedianCut* CreateMedianCutQuantizer(TIEBitmap* Source, std::span<TRGB> Palette, Integer NCol) {
  return CreateMedianCutQuantizer(IEQuantizerSource(Source), Palette, NCol);
}

TIEMedianCut* CreateMedianCutQuantizer(TBitmap* Source, std::span<TRGB> Palette, Integer NCol) {
  return CreateMedianCutQuantizer(IEQuantizerSource(Source), Palette, NCol);
}

Integer MedianCutFindIndex(const TIEMedianCut* Handle, TRGB Color) {
  return Handle->Map[static_cast<size_t>(CellIndex(Color.r >> 3, Color.g >> 3, Color.b >> 3))];
}

Integer MedianCutBoxCount(const TIEMedianCut* Handle) { return Handle->BoxCount; }

void FreeMedianCutQuantizer(TIEMedianCut* Handle) { delete Handle; }
