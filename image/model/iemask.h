// TIEMask: a plane of 1 or 8 bits per pixel with the bounding box of its selected
// pixels. A view keeps its selection in a 1-bit mask (1 = selected); readers return
// alpha in an 8-bit mask (255 opaque, 0 transparent); the processing component
// pastes results back through the mask.
//
// Rows are padded to 32 bits and stored bottom-up (row y at Bits + (Height - y - 1) x
// RowLen); row 0 is the top row to every caller. 1-bit pixels are packed most
// significant bit first. The box holds both corners; an empty box is X1 = Y1 =
// 2147483647, X2 = Y2 = 0, and X1 = 2147483647 is the one test for emptiness.
#pragma once

#include <climits>
#include <vector>

#include "platform/rtl/Component.h"
#include "platform/rtl/Types.h"
#include "platform/vcl/Graphics.h"
#include "platform/win/Gdi.h"

class TIEBitmap;

class TIEMask : public TObject {
 public:
  LARK_CLASS_NAME(TIEMask)
  static constexpr Integer kEmptyBoxX1 = INT_MAX;
  // The x of a polygon point that separates two polygons in DrawPolygon.
  static constexpr Integer kPolygonBreak = 0xFFFFF;

  // No plane, empty box, Full false.
  TIEMask();
  ~TIEMask() override;
  TIEMask(const TIEMask&) = delete;
  TIEMask& operator=(const TIEMask&) = delete;

  // --- Plane and box
  // A new zeroed plane of bitsPerPixel 1 or 8 (anything else frees the plane); box
  // empty, Full false. A plane too large to hold raises EOutOfMemory.
  void AllocateBits(Integer width, Integer height, Integer bitsPerPixel);
  // Frees the plane: sizes, bit count and row length become 0; the box stays.
  void FreeBits();
  // The source's geometry, plane, box and Full. Null, or the mask itself, changes
  // nothing.
  void Assign(const TIEMask* source);
  // A new zeroed plane of the new size keeping the top-left part (rows counted from
  // the top); a box that is not empty is limited to the new size.
  void Resize(Integer width, Integer height);
  // Row `row` counted from the top; no range check.
  Byte* GetScanLine(Integer row) {
    return bits_.data() + static_cast<size_t>(height_ - row - 1) * static_cast<size_t>(rowLen_);
  }
  // Nothing outside the plane. A value other than 0 extends the box to (x, y). While
  // Full is true, an 8-bit value other than 255 clears it. 1-bit: a value other than
  // 0 sets the pixel, 0 clears it; 8-bit: the byte.
  void SetPixel(Integer x, Integer y, Integer value);
  // 0 outside the plane; 8-bit: the byte; 1-bit: 0 or the bit's weight in its byte.
  Integer GetPixel(Integer x, Integer y) const;
  bool IsPointInside(Integer x, Integer y) const { return GetPixel(x, y) != 0; }
  // Every byte of the plane (padding included) := value; Full := the mask is 1-bit or
  // value is 255. The box does not change.
  void Fill(Integer value);
  // Fill(0), then the box becomes empty.
  void Empty();
  bool IsEmpty() const noexcept { return x1_ == kEmptyBoxX1; }
  // Full := every byte of every row is 255.
  void SyncFull();
  // 1-bit masks that are not empty: every pixel inverted, the box recomputed from the
  // pixels that became set, Full false. Others change nothing.
  void Negative();
  // Moves the box's content by (dx, dy). Without clip the offsets are first limited
  // so that the box stays inside the plane (the caller gets the limited values).
  // With clip the pixels that leave the plane are lost and the box is cut to the
  // plane (empty when nothing lands inside). An empty mask changes nothing.
  void TranslateBitmap(Integer& dx, Integer& dy, bool clip);

  // --- Drawing the shape
  // Row y, columns x1..x2 clipped to the plane; a row outside the plane writes
  // nothing. 8-bit: the bytes := value; 1-bit: the bits are set whatever the value.
  // While Full is true, an 8-bit value other than 255 clears it. Answers the pixels
  // written (not positive when nothing was written).
  Integer DrawHorizontalLine(Integer value, Integer x1, Integer x2, Integer y);
  // Fills each polygon of the list (kPolygonBreak points separate them) with
  // DrawSinglePolygon. Nothing for count <= 0.
  void DrawPolygon(Integer value, const POINT* points, Integer count);
  // Even-odd scan-line fill of one polygon: rows from its least point row to its
  // greatest minus one, each span ending one pixel left of its right edge. A value
  // other than 0 grows the box by the points (right and bottom edges exclusive),
  // limited to the plane; when the polygon writes no pixel the box is as it was.
  void DrawSinglePolygon(Integer value, const POINT* points, Integer count);

  // --- Copying through the mask (the box's rows and columns, clipped to the plane
  // and to both stores; nothing when the box is empty)
  // A cropped store holds only the box: its (0, 0) is the mask's (X1, Y1). 1-bit
  // mask: selected pixels are copied (ie24RGB into ie24RGB, ie1g into ie1g). 8-bit
  // mask: ie24RGB channels blend as d + floor((s - d) x m / 256); ie1g copies where m
  // is not 0. Other format pairs: nothing.
  void CopyIEBitmap(TIEBitmap* dest, TIEBitmap* source, bool destCropped, bool sourceCropped);
  // The same for framework bitmaps, pf24bit into pf24bit or pf1bit into pf1bit.
  void CopyBitmap(TBitmap* dest, TBitmap* source, bool destCropped, bool sourceCropped);

  // --- Showing the selection (1-bit masks that are not empty; nothing when a size
  // is below 1)
  // Stretches the plane's rectangle (xSrc, ySrc, dxSrc, dySrc; y from the top) onto
  // the canvas rectangle with SRCINVERT: selected pixels invert what is below.
  void InvertCanvas(TCanvas* canvas, Integer xDst, Integer yDst, Integer dxDst, Integer dyDst,
                    Integer xSrc, Integer ySrc, Integer dxSrc, Integer dySrc);
  // Draws the border of the selection as the zoomed view shows it: the source
  // rectangle of the mask seen at dxDst x dyDst pixels from (xDst, yDst). Each border
  // pixel takes colour1 when (phase + x + y) and 4 is not 0 (x, y on the canvas), else
  // colour2: four-pixel dashes that move as phase changes.
  void DrawOutline(TCanvas* canvas, Integer xDst, Integer yDst, Integer dxDst, Integer dyDst,
                   Integer xSrc, Integer ySrc, Integer dxSrc, Integer dySrc, Integer phase,
                   TColor colour1, TColor colour2);
  // In a pf24bit bitmap, turns white every display pixel with even column and row
  // (relative to (xDst, yDst)) that the zoomed mask leaves unselected.
  void DrawOuter(TBitmap* bitmap, Integer xDst, Integer yDst, Integer dxDst, Integer dyDst,
                 Integer xSrc, Integer ySrc, Integer dxSrc, Integer dySrc);

  // --- Fields
  Integer GetWidth() const noexcept { return width_; }
  Integer GetHeight() const noexcept { return height_; }
  // 1 or 8; 0 without a plane.
  Integer GetBitsPerPixel() const noexcept { return bitsPerPixel_; }
  Integer GetRowLen() const noexcept { return rowLen_; }
  // The plane (bottom row first); null without one.
  Byte* GetBits() noexcept { return bits_.empty() ? nullptr : bits_.data(); }
  Integer GetX1() const noexcept { return x1_; }
  Integer GetY1() const noexcept { return y1_; }
  Integer GetX2() const noexcept { return x2_; }
  Integer GetY2() const noexcept { return y2_; }
  // Sets the box as stored elsewhere (the selection stream); not checked.
  void SetBox(Integer x1, Integer y1, Integer x2, Integer y2) noexcept {
    x1_ = x1;
    y1_ = y1;
    x2_ = x2;
    y2_ = y2;
  }
  void SetEmptyBox() noexcept { SetBox(kEmptyBoxX1, kEmptyBoxX1, 0, 0); }
  bool GetFull() const noexcept { return full_; }
  void SetFull(bool value) noexcept { full_ = value; }

 private:
  // The display-size 1-bit plane of DrawOutline and DrawOuter; false when nothing
  // can be shown (sizes below 1, zoom beyond the fixed-point range).
  bool BuildZoomedPlane(Integer dxDst, Integer dyDst, Integer xSrc, Integer ySrc, Integer dxSrc,
                        Integer dySrc, Int64& xStep, Int64& yStep);
  bool OutlineBit(Integer c, Integer r) const {
    return (outlineBits_[static_cast<size_t>(r) * static_cast<size_t>(outlineRowLen_) +
                         static_cast<size_t>(c >> 3)] &
            (0x80 >> (c & 7))) != 0;
  }
  void UpdateFull(Integer value) noexcept {
    if (full_) full_ = bitsPerPixel_ != 8 || value == 255;
  }

  Integer width_ = 0;
  Integer height_ = 0;
  Integer bitsPerPixel_ = 0;
  Integer rowLen_ = 0;
  std::vector<Byte> bits_;
  Integer x1_ = kEmptyBoxX1;
  Integer y1_ = kEmptyBoxX1;
  Integer x2_ = 0;
  Integer y2_ = 0;
  // Outline cache: rows top-down here, rebuilt when the display size changes.
  std::vector<Byte> outlineBits_;
  Integer outlineWidth_ = 0;
  Integer outlineHeight_ = 0;
  Integer outlineRowLen_ = 0;
  bool full_ = false;
};
