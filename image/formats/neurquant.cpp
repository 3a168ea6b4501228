// The colour quantizer and its NeuQuant network.
//
// The network is a one-dimensional self-organising map: neurons hold colours in
// 1/16 steps; each sampled pixel pulls the winning neuron (and, with a shrinking
// radius, its neighbours) towards itself, while a frequency bias gives neurons
// that rarely win a chance to move. After learning the neurons are sorted by green
// so that a lookup only visits neurons whose green is close enough to matter.
#include "image/formats/neurquant.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>

#include "image/model/iebitmap.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Math.h"

namespace {

constexpr Integer kNetBiasShift = 4;      // colour values are kept in 1/16 steps
constexpr Integer kIntBiasShift = 16;     // frequency and bias in 1/65536
constexpr Integer kBetaShift = 10;        // beta = 1/1024
constexpr Integer kGammaShift = 10;
constexpr Integer kBeta = (1 << kIntBiasShift) >> kBetaShift;                     // 64
constexpr Integer kBetaGamma = (1 << kIntBiasShift) << (kGammaShift - kBetaShift);  // 65536
constexpr Integer kInitAlpha = 1 << 10;
constexpr Integer kRadiusBiasShift = 6;
constexpr Integer kRadiusDec = 30;
constexpr Integer kRadBias = 1 << 8;
constexpr Integer kAlphaRadBias = 1 << 18;
constexpr Integer kPrimes[4] = {499, 491, 487, 503};

// Adds in 32-bit two's complement, as the bias arithmetic is defined.
Integer WrapAdd(Integer a, Integer b) {
  return static_cast<Integer>(static_cast<DWORD>(a) + static_cast<DWORD>(b));
}

void CheckColors(std::span<TRGB> palette, Integer ncol) {
  if (ncol < 1)
    throw ERangeError("Quantizer: the number of colours must be at least 1 (" +
                      std::to_string(ncol) + ")");
  if (palette.size() < static_cast<size_t>(ncol))
    throw ERangeError("Quantizer: the palette holds fewer than " + std::to_string(ncol) +
                      " entries");
}

constexpr DWORD ColorKey(TRGB c) { return (DWORD{c.r} << 16) | (DWORD{c.g} << 8) | c.b; }

}  // namespace

// ===========================================================================
// The network

Integer TNeuQuant::SampleFactor(Int64 pixels, Integer Quality) {
  Int64 factor;
  if (Quality == -1) {
    if (pixels < 2000) return 1;
    factor = Round(static_cast<double>(pixels - 2000) * 13 / 148000 + 2);
  } else {
    factor = Trunc((100 - Quality) / 100.0 * 29) + 1;
  }
  return static_cast<Integer>(std::clamp<Int64>(factor, 1, 30));
}

TNeuQuant::TNeuQuant(const TIEQuantizerSource& source, std::span<TRGB> Palette, Integer NCol,
                     Integer samplefac, TNeuQuantBiasShift shift) {
  CheckColors(Palette, NCol);
  netsize_ = NCol;
  network_.resize(static_cast<size_t>(NCol));
  for (Integer i = 0; i < NCol; ++i) {
    const Integer v = static_cast<Integer>((Int64{i} << (kNetBiasShift + 8)) / NCol);
    network_[static_cast<size_t>(i)] = Neuron{v, v, v, i};
  }
  Learn(source, std::clamp(samplefac, 1, 30), shift);

  // Back to bytes; the palette keeps the neurons' order.
  for (Integer i = 0; i < NCol; ++i) {
    Neuron& n = network_[static_cast<size_t>(i)];
    n.b >>= kNetBiasShift;
    n.g >>= kNetBiasShift;
    n.r >>= kNetBiasShift;
    n.index = i;
    Palette[static_cast<size_t>(i)] =
        TRGB{static_cast<Byte>(n.b), static_cast<Byte>(n.g), static_cast<Byte>(n.r)};
  }
  BuildIndex();
}

void TNeuQuant::Learn(const TIEQuantizerSource& source, Integer samplefac,
                      TNeuQuantBiasShift shift) {
  const Integer n = netsize_;
  const Integer width = std::max(source.Width, 0);
  const Integer height = std::max(source.Height, 0);
  const Int64 pixels = Int64{width} * height;
  const Int64 lengthcount = pixels * 3;

  std::vector<Integer> bias(static_cast<size_t>(n), 0);
  std::vector<Integer> freq(static_cast<size_t>(n), (1 << kIntBiasShift) / n);
  std::vector<Integer> radpower(static_cast<size_t>(n >> 3) + 1);

  const Integer initrad = n >> 3;
  const Integer alphadec = 30 + (samplefac - 1) / 3;
  const Int64 samplepixels = lengthcount / (3 * Int64{samplefac});
  Int64 delta = samplepixels / 100;
  if (delta == 0) delta = 1;
  Integer alpha = kInitAlpha;
  Integer radius = initrad << kRadiusBiasShift;

  Integer rad = 0;
  auto setRadius = [&] {
    rad = radius >> kRadiusBiasShift;
    if (rad <= 1) rad = 0;
    const Int64 rad2 = Int64{rad} * rad;
    for (Integer i = 0; i < rad; ++i)
      radpower[static_cast<size_t>(i)] =
          static_cast<Integer>(alpha * (((rad2 - Int64{i} * i) * kRadBias) / rad2));
  };
  setRadius();

  Int64 step = kPrimes[3];
  for (Integer p = 0; p < 3; ++p) {
    if (lengthcount % kPrimes[p] != 0) {
      step = kPrimes[p];
      break;
    }
  }

  const bool logical = shift == nqLogicalShift;
  Neuron* net = network_.data();
  Integer* biasp = bias.data();
  Integer* freqp = freq.data();
  Int64 pos = 0;
  for (Int64 sample = 1; sample <= samplepixels; ++sample) {
    const TRGB px = source.ScanLine(static_cast<Integer>(pos / width))[pos % width];
    const Integer b = px.b << kNetBiasShift;
    const Integer g = px.g << kNetBiasShift;
    const Integer r = px.r << kNetBiasShift;

    // The contest: the closest neuron, and the closest after the frequency bias,
    // which is the one that learns. The bias is read before this sample's update.
    Integer bestd = INT_MAX;
    Integer bestbiasd = INT_MAX;
    Integer bestpos = 0;
    Integer bestbiaspos = 0;
    for (Integer i = 0; i < n; ++i) {
      const Neuron& nn = net[i];
      const Integer dist = std::abs(nn.b - b) + std::abs(nn.g - g) + std::abs(nn.r - r);
      if (dist < bestd) {
        bestd = dist;
        bestpos = i;
      }
      const Integer biasTerm =
          logical ? static_cast<Integer>(static_cast<DWORD>(biasp[i]) >> (kIntBiasShift - kNetBiasShift))
                  : biasp[i] >> (kIntBiasShift - kNetBiasShift);
      const Integer biasdist = dist - biasTerm;
      if (biasdist < bestbiasd) {
        bestbiasd = biasdist;
        bestbiaspos = i;
      }
      const Integer betafreq = freqp[i] >> kBetaShift;
      freqp[i] -= betafreq;
      biasp[i] = WrapAdd(biasp[i], betafreq << kGammaShift);
    }
    freqp[bestpos] += kBeta;
    biasp[bestpos] = WrapAdd(biasp[bestpos], -kBetaGamma);

    // The winner moves towards the pixel by alpha, its neighbours by less.
    Neuron& w = net[bestbiaspos];
    w.b -= (w.b - b) * alpha / kInitAlpha;
    w.g -= (w.g - g) * alpha / kInitAlpha;
    w.r -= (w.r - r) * alpha / kInitAlpha;
    if (rad > 0) {
      const Integer lo = std::max(bestbiaspos - rad, -1);
      const Integer hi = std::min(bestbiaspos + rad, n);
      Integer up = bestbiaspos + 1;
      Integer down = bestbiaspos - 1;
      const Integer* q = radpower.data();
      while (up < hi || down > lo) {
        const Integer a = *++q;
        if (up < hi) {
          Neuron& p = net[up++];
          p.b -= a * (p.b - b) / kAlphaRadBias;
          p.g -= a * (p.g - g) / kAlphaRadBias;
          p.r -= a * (p.r - r) / kAlphaRadBias;
        }
        if (down > lo) {
          Neuron& p = net[down--];
          p.b -= a * (p.b - b) / kAlphaRadBias;
          p.g -= a * (p.g - g) / kAlphaRadBias;
          p.r -= a * (p.r - r) / kAlphaRadBias;
        }
      }
    }

    // An image smaller than the step wraps more than once.
    pos += step;
    if (pos >= pixels) pos %= pixels;

    if (sample % delta == 0) {
      alpha -= alpha / alphadec;
      radius -= radius / kRadiusDec;
      setRadius();
    }
  }
}

void TNeuQuant::BuildIndex() {
  const Integer n = netsize_;
  const Integer maxnetpos = n - 1;
  Integer previouscol = 0;
  Integer startpos = 0;
  for (Integer i = 0; i < n; ++i) {
    Integer smallpos = i;
    Integer smallval = network_[static_cast<size_t>(i)].g;
    for (Integer j = i + 1; j < n; ++j) {
      if (network_[static_cast<size_t>(j)].g < smallval) {
        smallpos = j;
        smallval = network_[static_cast<size_t>(j)].g;
      }
    }
    if (smallpos != i)
      std::swap(network_[static_cast<size_t>(i)], network_[static_cast<size_t>(smallpos)]);
    if (smallval != previouscol) {
      netindex_[previouscol] = (startpos + i) >> 1;
      for (Integer j = previouscol + 1; j < smallval; ++j) netindex_[j] = i;
      previouscol = smallval;
      startpos = i;
    }
  }
  netindex_[previouscol] = (startpos + maxnetpos) >> 1;
  for (Integer j = previouscol + 1; j < 256; ++j) netindex_[j] = maxnetpos;
}

Integer TNeuQuant::Search(TRGB Color) const {
  const Integer b = Color.b;
  const Integer g = Color.g;
  const Integer r = Color.r;
  const Integer n = netsize_;
  const Neuron* net = network_.data();
  Integer bestd = 1000;
  Integer best = -1;
  Integer i = netindex_[g];
  Integer j = i - 1;
  auto consider = [&](const Neuron& p, Integer dist) {
    dist += std::abs(p.b - b);
    if (dist >= bestd) return;
    dist += std::abs(p.r - r);
    if (dist >= bestd) return;
    bestd = dist;
    best = p.index;
  };
  while (i < n || j >= 0) {
    if (i < n) {
      const Neuron& p = net[i];
      const Integer dist = std::abs(p.g - g);
      if (dist >= bestd) {
        i = n;
      } else {
        ++i;
        consider(p, dist);
      }
    }
    if (j >= 0) {
      const Neuron& p = net[j];
      const Integer dist = std::abs(g - p.g);
      if (dist >= bestd) {
        j = -1;
      } else {
        --j;
        consider(p, dist);
      }
    }
  }
  return best;
}

// ===========================================================================
// The quantizer

namespace {

bool IsGreyImage(const TIEQuantizerSource& source) {
  for (Integer y = 0; y < source.Height; ++y) {
    const TRGB* px = source.ScanLine(y);
    for (Integer x = 0; x < source.Width; ++x, ++px)
      if (px->r != px->g || px->g != px->b) return false;
  }
  return true;
}

}  // namespace

TIEQuantizer::TIEQuantizer(TIEBitmap* Bitmap, std::span<TRGB> Palette, Integer NCol,
                           Integer Quality, Integer Method)
    : TIEQuantizer(IEQuantizerSource(Bitmap), Palette, NCol, Quality, Method) {}

TIEQuantizer::TIEQuantizer(const TIEQuantizerSource& Source, std::span<TRGB> Palette,
                           Integer NCol, Integer Quality, Integer /*Method*/)
    : NCol(NCol) {
  CheckColors(Palette, NCol);
  if (NCol == 256 && IsGreyImage(Source)) {
    Grey = true;
    for (Integer i = 0; i < 256; ++i) {
      const Byte v = static_cast<Byte>(i);
      Palette[static_cast<size_t>(i)] = TRGB{v, v, v};
    }
    return;
  }
  if (BuildExactList(Source, Palette)) return;
  if (NCol >= 128) {
    this->Method = 0;
    const Int64 pixels = Int64{std::max(Source.Width, 0)} * std::max(Source.Height, 0);
    network_ = std::make_unique<TNeuQuant>(Source, Palette, NCol,
                                           TNeuQuant::SampleFactor(pixels, Quality));
  } else {
    this->Method = 1;
    medianCut_.reset(CreateMedianCutQuantizer(Source, Palette, NCol));
  }
}

TIEQuantizer::~TIEQuantizer() = default;

bool TIEQuantizer::BuildExactList(const TIEQuantizerSource& source, std::span<TRGB> Palette) {
  // A table at least twice the list's size keeps probe runs short.
  Integer bits = 4;
  while ((Int64{1} << bits) < Int64{NCol} * 2) ++bits;
  const size_t slots = size_t{1} << bits;
  const DWORD mask = static_cast<DWORD>(slots - 1);
  exactShift_ = 32 - bits;
  exactKeys_.assign(slots, 0);
  exactIndexes_.assign(slots, 0);
  ExactColors.clear();

  DWORD lastKey = 0;  // the previous pixel's slot key: runs of one colour skip the table
  for (Integer y = 0; y < source.Height; ++y) {
    const TRGB* px = source.ScanLine(y);
    for (Integer x = 0; x < source.Width; ++x, ++px) {
      const DWORD key = ColorKey(*px) + 1;
      if (key == lastKey) continue;
      lastKey = key;
      DWORD slot = (key * 2654435761u) >> exactShift_;
      while (exactKeys_[slot] != 0 && exactKeys_[slot] != key) slot = (slot + 1) & mask;
      if (exactKeys_[slot] == key) continue;
      if (static_cast<Integer>(ExactColors.size()) == NCol) {
        ExactColors = {};
        exactKeys_ = {};
        exactIndexes_ = {};
        return false;
      }
      exactKeys_[slot] = key;
      exactIndexes_[slot] = static_cast<Integer>(ExactColors.size());
      ExactColors.push_back(*px);
    }
  }
  std::copy(ExactColors.begin(), ExactColors.end(), Palette.begin());
  exact_ = true;
  return true;
}

Integer TIEQuantizer::GetRGBIndex(TRGB Color) const {
  if (exact_) {
    const DWORD key = ColorKey(Color) + 1;
    const DWORD mask = static_cast<DWORD>(exactKeys_.size() - 1);
    DWORD slot = (key * 2654435761u) >> exactShift_;
    while (exactKeys_[slot] != 0) {
      if (exactKeys_[slot] == key) return exactIndexes_[slot];
      slot = (slot + 1) & mask;
    }
    return -1;
  }
  if (Grey) return Color.r;
  if (Method == 0) return network_->Search(Color);
  return MedianCutFindIndex(medianCut_.get(), Color);
}

TIEQuantizerCache::TIEQuantizerCache(const TIEQuantizer& quantizer) : quantizer_(quantizer) {
  // The grey ramp and the exact list answer at once; the searches are worth keeping.
  if (!quantizer.GetGrey() && !quantizer.GetExact()) slots_.resize(size_t{1} << kBits, Slot{0, 0});
}
