// The colour quantizer: reduces a 24-bit image to a palette of at most NCol colours
// and maps any colour to an index of that palette. TIEQuantizer picks the grey ramp,
// the image's exact colours, the NeuQuant self-organising network (128 colours and
// more) or the median cut (fewer, stdquant.h).
#pragma once

#include <memory>
#include <span>
#include <vector>

#include "image/formats/stdquant.h"
#include "image/model/iedefs.h"
#include "platform/rtl/Component.h"
#include "platform/rtl/Types.h"

class TIEBitmap;

// How the network's contest reads a neuron's frequency bias. The quantizer's rule
// takes the bias as an unsigned 32-bit value before shifting it; the arithmetic
// shift keeps its sign. The second exists to compare palette quality.
enum class TNeuQuantBiasShift : Byte { nqLogicalShift, nqArithmeticShift };
using enum TNeuQuantBiasShift;

// The NeuQuant network of NCol neurons, trained on the source when constructed.
class TNeuQuant {
 public:
  // Learns from the source with the given sampling factor (1 reads every pixel,
  // 30 one in thirty; clamped to 1..30), writes the NCol colours to Palette[0..NCol-1]
  // and builds the search index. NCol below 1 or a palette shorter than NCol raises
  // ERangeError.
  TNeuQuant(const TIEQuantizerSource& source, std::span<TRGB> Palette, Integer NCol,
            Integer samplefac, TNeuQuantBiasShift shift = nqLogicalShift);

  // The sampling factor for an image of `pixels` pixels: Quality -1 chooses it by
  // size, 0..100 sets it (100 reads every pixel).
  static Integer SampleFactor(Int64 pixels, Integer Quality);

  // The palette index of the entry nearest to Color (sum of channel differences).
  Integer Search(TRGB Color) const;

 private:
  struct Neuron {
    Integer b, g, r;  // 1/16 colour steps while learning, bytes afterwards
    Integer index;    // palette index (the position before sorting)
  };

  void Learn(const TIEQuantizerSource& source, Integer samplefac, TNeuQuantBiasShift shift);
  void BuildIndex();

  Integer netsize_ = 0;
  std::vector<Neuron> network_;
  Integer netindex_[256] = {};
};

// Builds the palette for a 24-bit image into Palette[0..NCol-1] (fewer entries for
// the exact list) and answers palette indexes for colours.
//
// Every caller passes Quality -1 (sampling chosen by size) and Method 0; the
// strategy follows NCol whatever Method says. The bitmap is read only while the
// constructor runs. NCol below 1 or a palette shorter than NCol raises ERangeError;
// a bitmap that is not ie24RGB raises EInvalidOperation (callers convert first).
class TIEQuantizer : public TObject {
 public:
  LARK_CLASS_NAME(TIEQuantizer)
  TIEQuantizer(TIEBitmap* Bitmap, std::span<TRGB> Palette, Integer NCol, Integer Quality = -1,
               Integer Method = 0);
  // The same on rows given directly.
  TIEQuantizer(const TIEQuantizerSource& Source, std::span<TRGB> Palette, Integer NCol,
               Integer Quality = -1, Integer Method = 0);
  ~TIEQuantizer() override;
  TIEQuantizer(const TIEQuantizer&) = delete;
  TIEQuantizer& operator=(const TIEQuantizer&) = delete;

  // The palette index for Color: with the exact list the index of that colour (-1
  // when the image did not hold it); with the grey ramp its red byte; otherwise
  // the network's or the median cut's choice.
  Integer GetRGBIndex(TRGB Color) const;

  // The strategy in use.
  bool GetGrey() const noexcept { return Grey; }
  bool GetExact() const noexcept { return exact_; }
  // 0 NeuQuant, 1 median cut; -1 for the grey ramp and the exact list.
  Integer GetMethod() const noexcept { return Method; }
  Integer GetNCol() const noexcept { return NCol; }

 private:
  struct MedianCutDeleter {
    void operator()(TIEMedianCut* handle) const noexcept { FreeMedianCutQuantizer(handle); }
  };

  bool BuildExactList(const TIEQuantizerSource& source, std::span<TRGB> Palette);

  Integer Method = -1;
  std::unique_ptr<TNeuQuant> network_;
  std::unique_ptr<TIEMedianCut, MedianCutDeleter> medianCut_;
  bool Grey = false;
  bool exact_ = false;
  std::vector<TRGB> ExactColors;  // the image's colours in first-seen order
  // Open-addressing table over ExactColors: slot keys are the colour's 24-bit value
  // plus 1 (0 marks a free slot), slot values the colour's index.
  std::vector<DWORD> exactKeys_;
  std::vector<Integer> exactIndexes_;
  Integer exactShift_ = 0;  // 32 - log2 of the table size
  Integer NCol = 0;
};

// Remembers the palette index of the colours a quantizer was asked for, so an image of
// many pixels and fewer distinct colours searches the network or the median cut once
// per colour; answers exactly what the quantizer answers. A direct-mapped table: a
// colour that meets another in its slot replaces it. Not shared between threads; the
// quantizer must outlive it.
class TIEQuantizerCache {
 public:
  explicit TIEQuantizerCache(const TIEQuantizer& quantizer);
  TIEQuantizerCache(const TIEQuantizerCache&) = delete;
  TIEQuantizerCache& operator=(const TIEQuantizerCache&) = delete;

  Integer GetRGBIndex(TRGB Color) {
    if (slots_.empty()) return quantizer_.GetRGBIndex(Color);
    // The colour's 24 bits with bit 24 set, so a used slot's key is never 0.
    const DWORD key = 0x1000000u | (DWORD{Color.r} << 16) | (DWORD{Color.g} << 8) | Color.b;
    Slot& slot = slots_[(key * 2654435761u) >> kShift];
    if (slot.key != key) slot = {key, quantizer_.GetRGBIndex(Color)};
    return slot.index;
  }

 private:
  static constexpr int kBits = 18;
  static constexpr int kShift = 32 - kBits;
  struct Slot {
    DWORD key;
    Integer index;
  };
  const TIEQuantizer& quantizer_;
  std::vector<Slot> slots_;  // empty where the quantizer's answer is a plain look-up
};

