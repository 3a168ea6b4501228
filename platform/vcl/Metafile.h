// The framework's metafile picture: a Windows metafile (WMF, with or without the
// placeable header) or an enhanced metafile (EMF), kept as its records and played
// back onto GDI.
//
// Size: a placeable WMF's bounding box in its units per inch, an EMF's frame (in
// hundredths of a millimetre), and a plain WMF's window extent, each given in screen
// pixels at 96 DPI. A new size (SetWidth, SetHeight) only changes the size the
// picture is drawn at by Canvas->Draw.
//
// Playback stretches the picture's frame into the target rectangle and draws this
// subset of records; every other record is skipped:
//   WMF: window origin and extent, map mode, create/select/delete pen, brush and
//        font (other objects take their slot), rectangle, round rectangle,
//        ellipse, polygon, polypolygon, polyline, move/line, background mode and
//        colour, text colour and alignment, fill mode, raster mode, text output.
//   EMF: the same (window and viewport origin and extent, map mode, pens including
//        extended pens, brushes, fonts, stock objects) plus the 16-bit polygon,
//        polyline and polypolygon records and wide-character text.
// Nothing is drawn behind the picture: what it does not paint keeps the target's
// pixels (Transparent only records the wish). A record whose length runs past the
// file ends the playback; the object table is bounded by the header's count.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/vcl/Graphics.h"

class TMetafile : public TGraphic {
 public:
  LARK_CLASS_NAME(TMetafile)
  TMetafile() = default;

  bool GetEmpty() const override { return data_.empty(); }
  Integer GetWidth() const override { return width_; }
  void SetWidth(Integer value) override;
  Integer GetHeight() const override { return height_; }
  void SetHeight(Integer value) override;
  // Whether the picture is an enhanced metafile.
  bool GetEnhanced() const noexcept { return enhanced_; }
  void SetEnhanced(bool value) noexcept { enhanced_ = value; }
  // The size in hundredths of a millimetre.
  Integer GetMMWidth() const noexcept;
  Integer GetMMHeight() const noexcept;

  // Raises EInvalidGraphic "Invalid metafile" for data that is no metafile (the old
  // picture stays).
  void LoadFromStream(TStream* stream) override;
  // Writes the records as read (with the placeable header when there was one).
  void SaveToStream(TStream* stream) override;
  std::unique_ptr<TGraphic> NewEmpty() const override { return std::make_unique<TMetafile>(); }
  void Clear();

  // Plays the records onto the DC, the picture's frame stretched into rect.
  void PlayOn(HDC dc, const RECT& rect) const;

  // The largest file taken (256 MB).
  static constexpr size_t kMaxBytes = size_t{256} << 20;

 protected:
  void Draw(TCanvas* canvas, const TRect& rect) override;

 private:
  std::vector<uint8_t> data_;  // the whole file
  bool enhanced_ = false;
  bool placeable_ = false;
  Integer width_ = 0;   // pixels at 96 DPI
  Integer height_ = 0;
  // The frame in the picture's own coordinates: a placeable WMF's bounding box, a
  // plain WMF's window, an EMF's frame on its reference device (device pixels).
  double frameLeft_ = 0, frameTop_ = 0, frameWidth_ = 0, frameHeight_ = 0;
  size_t recordsAt_ = 0;  // offset of the first record after the headers
  Integer objects_ = 0;   // object table size from the header
};
