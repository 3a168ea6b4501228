// Colours and the drawing tools: pens, brushes and fonts with their GDI handles.
#include <algorithm>
#include <cstring>

#include "platform/vcl/Graphics.h"

Integer ColorToRGB(TColor color) {
  if (color < 0) return static_cast<Integer>(GetSysColor(color & 0xFF));
  return color;
}

Integer PenModeToROP2(TPenMode mode) {
  static constexpr Integer codes[] = {
      R2_BLACK,       R2_WHITE,      R2_NOP,         R2_NOT,         R2_COPYPEN,   R2_NOTCOPYPEN,
      R2_MERGEPENNOT, R2_MASKPENNOT, R2_MERGENOTPEN, R2_MASKNOTPEN,  R2_MERGEPEN,  R2_NOTMERGEPEN,
      R2_MASKPEN,     R2_NOTMASKPEN, R2_XORPEN,      R2_NOTXORPEN};
  return codes[static_cast<unsigned>(mode)];
}

namespace {

COLORREF ToColorRef(TColor color) { return static_cast<COLORREF>(ColorToRGB(color)); }

}  // namespace

void TGraphicsObject::Changed() {
  if (OnChange) OnChange(this);
}

// ---------------------------------------------------------------------------------
// TPen

TPen::~TPen() { FreeHandle(); }

void TPen::FreeHandle() {
  if (handle_ != 0) DeleteObject(handle_);
  handle_ = 0;
}

void TPen::Assign(TPersistent* source) {
  auto* pen = dynamic_cast<TPen*>(source);
  if (!pen) {
    TPersistent::Assign(source);
    return;
  }
  if (pen == this) return;
  color_ = pen->color_;
  width_ = pen->width_;
  style_ = pen->style_;
  mode_ = pen->mode_;
  FreeHandle();
  Changed();
}

void TPen::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  FreeHandle();
  Changed();
}

void TPen::SetWidth(Integer value) {
  value = std::max(value, 1);
  if (value == width_) return;
  width_ = value;
  FreeHandle();
  Changed();
}

void TPen::SetStyle(TPenStyle value) {
  if (value == style_) return;
  style_ = value;
  FreeHandle();
  Changed();
}

void TPen::SetMode(TPenMode value) {
  if (value == mode_) return;
  mode_ = value;
  Changed();
}

HPEN TPen::GetHandle() {
  // The pen styles are numbered as the PS_ styles.
  if (handle_ == 0) handle_ = CreatePen(static_cast<Integer>(style_), width_, ToColorRef(color_));
  return handle_;
}

void TPen::SetHandle(HPEN value) {
  if (value == handle_) return;
  FreeHandle();
  handle_ = value;
  LOGPEN log;
  if (value != 0 && GetObject(value, sizeof(log), &log) == sizeof(log)) {
    color_ = static_cast<TColor>(log.lopnColor & 0x00FFFFFF);
    width_ = std::max(log.lopnWidth.x, 1);
    UINT style = log.lopnStyle & PS_STYLE_MASK;
    style_ = style <= PS_INSIDEFRAME ? static_cast<TPenStyle>(style) : psSolid;
  }
  Changed();
}

// ---------------------------------------------------------------------------------
// TBrush

TBrush::~TBrush() { FreeHandle(); }

void TBrush::FreeHandle() {
  if (handle_ != 0) DeleteObject(handle_);
  handle_ = 0;
}

void TBrush::Assign(TPersistent* source) {
  auto* brush = dynamic_cast<TBrush*>(source);
  if (!brush) {
    TPersistent::Assign(source);
    return;
  }
  if (brush == this) return;
  color_ = brush->color_;
  style_ = brush->style_;
  bitmap_ = brush->bitmap_;
  FreeHandle();
  Changed();
}

void TBrush::SetColor(TColor value) {
  if (value == color_ && style_ != bsClear) return;
  color_ = value;
  if (style_ == bsClear) style_ = bsSolid;
  FreeHandle();
  Changed();
}

void TBrush::SetStyle(TBrushStyle value) {
  if (value == style_) return;
  style_ = value;
  FreeHandle();
  Changed();
}

void TBrush::SetBitmap(TBitmap* value) {
  if (value == bitmap_) return;
  bitmap_ = value;
  FreeHandle();
  Changed();
}

HBRUSH TBrush::GetHandle() {
  if (handle_ != 0) return handle_;
  if (bitmap_ && !bitmap_->GetEmpty()) {
    handle_ = CreatePatternBrush(bitmap_->GetHandle());
  } else if (style_ == bsSolid) {
    handle_ = CreateSolidBrush(ToColorRef(color_));
  } else if (style_ == bsClear) {
    LOGBRUSH log;
    log.lbStyle = BS_NULL;
    handle_ = CreateBrushIndirect(&log);
  } else {
    // bsHorizontal .. bsDiagCross follow the HS_ numbering two places up.
    Integer hatch = static_cast<Integer>(style_) - static_cast<Integer>(bsHorizontal) + HS_HORIZONTAL;
    handle_ = CreateHatchBrush(hatch, ToColorRef(color_));
  }
  return handle_;
}

void TBrush::SetHandle(HBRUSH value) {
  if (value == handle_) return;
  FreeHandle();
  handle_ = value;
  bitmap_ = nullptr;
  LOGBRUSH log;
  if (value != 0 && GetObject(value, sizeof(log), &log) == sizeof(log)) {
    color_ = static_cast<TColor>(log.lbColor & 0x00FFFFFF);
    if (log.lbStyle == BS_NULL) {
      style_ = bsClear;
    } else if (log.lbStyle == BS_HATCHED && log.lbHatch <= static_cast<uintptr_t>(HS_DIAGCROSS)) {
      style_ = static_cast<TBrushStyle>(static_cast<Integer>(bsHorizontal) + static_cast<Integer>(log.lbHatch));
    } else {
      style_ = bsSolid;
    }
  }
  Changed();
}

// ---------------------------------------------------------------------------------
// TFont

TFont::~TFont() { FreeHandle(); }

void TFont::FreeHandle() {
  if (handle_ != 0) DeleteObject(handle_);
  handle_ = 0;
}

void TFont::Assign(TPersistent* source) {
  auto* font = dynamic_cast<TFont*>(source);
  if (!font) {
    TPersistent::Assign(source);
    return;
  }
  if (font == this) return;
  name_ = font->name_;
  height_ = font->height_;
  color_ = font->color_;
  style_ = font->style_;
  charset_ = font->charset_;
  FreeHandle();
  Changed();
}

void TFont::SetName(const TFontName& value) {
  if (value.empty() || value == name_) return;
  name_ = value;
  FreeHandle();
  Changed();
}

void TFont::SetHeight(Integer value) {
  if (value == height_) return;
  height_ = value;
  FreeHandle();
  Changed();
}

Integer TFont::GetSize() const { return -MulDiv(height_, 72, PixelsPerInch); }

void TFont::SetSize(Integer value) { SetHeight(-MulDiv(value, PixelsPerInch, 72)); }

void TFont::SetColor(TColor value) {
  if (value == color_) return;
  color_ = value;
  Changed();
}

void TFont::SetStyle(TFontStyles value) {
  if (value == style_) return;
  style_ = value;
  FreeHandle();
  Changed();
}

void TFont::SetCharset(TFontCharset value) {
  if (value == charset_) return;
  charset_ = value;
  FreeHandle();
  Changed();
}

HFONT TFont::GetHandle() {
  if (handle_ != 0) return handle_;
  LOGFONT log;
  log.lfHeight = height_;
  log.lfWeight = style_.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
  log.lfItalic = style_.Contains(fsItalic) ? 1 : 0;
  log.lfUnderline = style_.Contains(fsUnderline) ? 1 : 0;
  log.lfStrikeOut = style_.Contains(fsStrikeOut) ? 1 : 0;
  log.lfCharSet = charset_;
  log.lfOutPrecision = OUT_DEFAULT_PRECIS;
  log.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  log.lfQuality = DEFAULT_QUALITY;
  log.lfPitchAndFamily = DEFAULT_PITCH;
  size_t n = std::min(name_.size(), static_cast<size_t>(LF_FACESIZE - 1));
  std::memcpy(log.lfFaceName, name_.data(), n);
  log.lfFaceName[n] = '\0';
  handle_ = CreateFontIndirect(&log);
  return handle_;
}

void TFont::SetHandle(HFONT value) {
  if (value == handle_) return;
  FreeHandle();
  handle_ = value;
  LOGFONT log;
  if (value != 0 && GetObject(value, sizeof(log), &log) == sizeof(log)) {
    log.lfFaceName[LF_FACESIZE - 1] = '\0';
    if (log.lfFaceName[0] != '\0') name_ = log.lfFaceName;
    height_ = log.lfHeight;
    style_ = TFontStyles();
    if (log.lfWeight >= FW_SEMIBOLD) style_.Include(fsBold);
    if (log.lfItalic) style_.Include(fsItalic);
    if (log.lfUnderline) style_.Include(fsUnderline);
    if (log.lfStrikeOut) style_.Include(fsStrikeOut);
    charset_ = log.lfCharSet;
  }
  Changed();
}
