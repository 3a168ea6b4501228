// TMetafile: reading WMF and EMF headers, and playing back a subset of their records
// onto GDI (see Metafile.h).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "platform/vcl/Metafile.h"
#include "platform/win/GdiText.h"

namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7u;
constexpr uint32_t kEmfSignature = 0x464D4520u;  // " EMF"
constexpr Integer kMaxObjects = 65535;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
int16_t I16(const uint8_t* p) { return static_cast<int16_t>(U16(p)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
int32_t I32(const uint8_t* p) { return static_cast<int32_t>(U32(p)); }

[[noreturn]] void Invalid() { throw EInvalidGraphic("Invalid metafile"); }

// A plain WMF's first window origin and extent; false when it sets no extent.
bool PlainWindow(const std::vector<uint8_t>& d, size_t at, double* left, double* top, double* w, double* h) {
  bool haveExt = false;
  double ox = 0, oy = 0;
  while (at + 6 <= d.size()) {
    const uint64_t bytes = uint64_t{U32(&d[at])} * 2;
    const uint16_t fn = U16(&d[at + 4]);
    if (bytes < 6 || at + bytes > d.size() || fn == 0) break;
    const uint8_t* p = &d[at + 6];
    if (fn == 0x020B && bytes >= 10) {
      oy = I16(p);
      ox = I16(p + 2);
    } else if (fn == 0x020C && bytes >= 10 && !haveExt) {
      *h = I16(p);
      *w = I16(p + 2);
      haveExt = true;
    }
    at += static_cast<size_t>(bytes);
  }
  *left = ox;
  *top = oy;
  return haveExt;
}

// --- Playback

struct Slot {
  bool used = false;
  HGDIOBJ object = 0;  // 0: an object kind that is not played (it only takes the slot)
};

class Player {
 public:
  Player(HDC dc, const RECT& rect, double frameLeft, double frameTop, double frameW, double frameH, bool emf,
         Integer objects)
      : dc_(dc), emf_(emf) {
    tx_ = (rect.right - rect.left) / frameW;
    ty_ = (rect.bottom - rect.top) / frameH;
    ox_ = rect.left - frameLeft * tx_;
    oy_ = rect.top - frameTop * ty_;
    if (!emf) {
      winOrgX_ = frameLeft;
      winOrgY_ = frameTop;
      winExtX_ = frameW;
      winExtY_ = frameH;
      // A WMF's logical window maps straight onto the target.
      ox_ = rect.left;
      oy_ = rect.top;
      tx_ = rect.right - rect.left;
      ty_ = rect.bottom - rect.top;
    }
    slots_.resize(static_cast<size_t>(std::clamp<Integer>(objects, 0, kMaxObjects)));
    saved_ = ::SaveDC(dc_);
    ::SetBkMode(dc_, OPAQUE);
  }

  ~Player() {
    ::RestoreDC(dc_, saved_);
    for (Slot& s : slots_)
      if (s.used && s.object) ::DeleteObject(s.object);
  }

  POINT Map(double x, double y) const {
    double dx, dy;
    if (emf_) {
      // Logical to the reference device, then the frame onto the target.
      if (mapMode_ == 7 || mapMode_ == 8) {
        dx = (x - winOrgX_) * vpExtX_ / winExtX_ + vpOrgX_;
        dy = (y - winOrgY_) * vpExtY_ / winExtY_ + vpOrgY_;
      } else {
        dx = x - winOrgX_ + vpOrgX_;
        dy = y - winOrgY_ + vpOrgY_;
      }
      dx = ox_ + dx * tx_;
      dy = oy_ + dy * ty_;
    } else {
      dx = ox_ + (x - winOrgX_) * tx_ / winExtX_;
      dy = oy_ + (y - winOrgY_) * ty_ / winExtY_;
    }
    return POINT{Clamp(dx), Clamp(dy)};
  }

  // How many target pixels one logical unit is across (for pen widths and fonts).
  double ScaleX() const {
    if (emf_) return std::fabs(tx_ * ((mapMode_ == 7 || mapMode_ == 8) ? vpExtX_ / winExtX_ : 1.0));
    return std::fabs(tx_ / winExtX_);
  }
  double ScaleY() const {
    if (emf_) return std::fabs(ty_ * ((mapMode_ == 7 || mapMode_ == 8) ? vpExtY_ / winExtY_ : 1.0));
    return std::fabs(ty_ / winExtY_);
  }

  void SetWindowOrg(double x, double y) { winOrgX_ = x, winOrgY_ = y; }
  void SetWindowExt(double x, double y) {
    if (x != 0 && y != 0) winExtX_ = x, winExtY_ = y;
  }
  void SetViewportOrg(double x, double y) { vpOrgX_ = x, vpOrgY_ = y; }
  void SetViewportExt(double x, double y) {
    if (x != 0 && y != 0) vpExtX_ = x, vpExtY_ = y;
  }
  void SetMapMode(uint32_t mode) { mapMode_ = mode; }

  // The WMF's next free slot (objects beyond the table are dropped).
  void AddWmf(HGDIOBJ object) {
    for (Slot& s : slots_)
      if (!s.used) {
        s.used = true;
        s.object = object;
        return;
      }
    if (object) ::DeleteObject(object);
  }
  void AddEmf(uint32_t index, HGDIOBJ object) {
    if (index == 0 || index >= slots_.size()) {
      if (object) ::DeleteObject(object);
      return;
    }
    Slot& s = slots_[index];
    if (s.used && s.object) ::DeleteObject(s.object);
    s.used = true;
    s.object = object;
  }
  void Select(uint32_t index) {
    if (emf_ && (index & 0x80000000u)) {
      const uint32_t stock = index & 0x7FFFFFFFu;
      if (stock <= 8) ::SelectObject(dc_, ::GetStockObject(static_cast<Integer>(stock)));
      return;
    }
    if (index < slots_.size() && slots_[index].used && slots_[index].object)
      ::SelectObject(dc_, slots_[index].object);
  }
  void Delete(uint32_t index) {
    if (index >= slots_.size() || !slots_[index].used) return;
    if (slots_[index].object) ::DeleteObject(slots_[index].object);
    slots_[index] = Slot{};
  }

  HPEN Pen(uint32_t style, double width, COLORREF color) const {
    const uint32_t kind = style & 0xF;
    Integer w = width <= 0 ? 1 : std::max<Integer>(1, static_cast<Integer>(std::lround(width * ScaleX())));
    w = std::min<Integer>(w, 4096);
    return ::CreatePen(kind <= 6 ? static_cast<Integer>(kind) : 0, w, color & 0xFFFFFF);
  }
  static HBRUSH Brush(uint32_t style, COLORREF color, uint32_t hatch) {
    if (style == BS_NULL) return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
    if (style == BS_HATCHED) return ::CreateHatchBrush(static_cast<Integer>(std::min<uint32_t>(hatch, 5)), color & 0xFFFFFF);
    return ::CreateSolidBrush(color & 0xFFFFFF);
  }
  HFONT Font(LOGFONT lf) const {
    const double h = lf.lfHeight * ScaleY();
    lf.lfHeight = static_cast<Integer>(std::clamp(std::round(h), -4096.0, 4096.0));
    lf.lfWidth = static_cast<Integer>(std::clamp(std::round(lf.lfWidth * ScaleX()), 0.0, 4096.0));
    return ::CreateFontIndirect(&lf);
  }

  HDC dc() const { return dc_; }

 private:
  static Integer Clamp(double v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<Integer>(std::clamp(std::lround(v), -1000000L, 1000000L));
  }

  HDC dc_;
  bool emf_;
  Integer saved_ = 0;
  double ox_ = 0, oy_ = 0, tx_ = 1, ty_ = 1;
  double winOrgX_ = 0, winOrgY_ = 0, winExtX_ = 1, winExtY_ = 1;
  double vpOrgX_ = 0, vpOrgY_ = 0, vpExtX_ = 1, vpExtY_ = 1;
  uint32_t mapMode_ = 1;
  std::vector<Slot> slots_;
};

// A stock object does not need deleting, and DeleteObject refuses it anyway.
std::string Latin1(const uint8_t* p, size_t n) { return std::string(reinterpret_cast<const char*>(p), n); }

void PlayWmf(Player& pl, const std::vector<uint8_t>& d, size_t at) {
  const HDC dc = pl.dc();
  std::vector<POINT> pts;
  while (at + 6 <= d.size()) {
    const uint64_t bytes = uint64_t{U32(&d[at])} * 2;
    const uint16_t fn = U16(&d[at + 4]);
    if (fn == 0x0000) break;                        // META_EOF
    if (bytes < 6 || at + bytes > d.size()) break;  // a record past the file ends the picture
    const uint8_t* p = &d[at + 6];
    const size_t n = static_cast<size_t>(bytes) - 6;  // parameter bytes
    auto rect4 = [&](void (*draw)(HDC, POINT, POINT)) {
      if (n < 8) return;
      const POINT a = pl.Map(I16(p + 6), I16(p + 4)), b = pl.Map(I16(p + 2), I16(p));
      draw(dc, a, b);
    };
    switch (fn) {
      case 0x0201: if (n >= 4) ::SetBkColor(dc, U32(p) & 0xFFFFFF); break;
      case 0x0102: if (n >= 2) ::SetBkMode(dc, U16(p) == TRANSPARENT ? TRANSPARENT : OPAQUE); break;
      case 0x0103: break;  // map mode: the window always maps onto the target
      case 0x0104: if (n >= 2 && U16(p) >= 1 && U16(p) <= 16) ::SetROP2(dc, U16(p)); break;
      case 0x0106: if (n >= 2) ::SetPolyFillMode(dc, U16(p) == WINDING ? WINDING : ALTERNATE); break;
      case 0x0209: if (n >= 4) ::SetTextColor(dc, U32(p) & 0xFFFFFF); break;
      case 0x012E: if (n >= 2) ::SetTextAlign(dc, U16(p) & 0x1F); break;
      case 0x020B: if (n >= 4) pl.SetWindowOrg(I16(p + 2), I16(p)); break;
      case 0x020C: if (n >= 4) pl.SetWindowExt(I16(p + 2), I16(p)); break;
      case 0x0214:
        if (n >= 4) {
          const POINT q = pl.Map(I16(p + 2), I16(p));
          ::MoveToEx(dc, q.x, q.y, nullptr);
        }
        break;
      case 0x0213:
        if (n >= 4) {
          const POINT q = pl.Map(I16(p + 2), I16(p));
          ::LineTo(dc, q.x, q.y);
        }
        break;
      case 0x041B: rect4([](HDC h, POINT a, POINT b) { ::Rectangle(h, a.x, a.y, b.x, b.y); }); break;
      case 0x0418: rect4([](HDC h, POINT a, POINT b) { ::Ellipse(h, a.x, a.y, b.x, b.y); }); break;
      case 0x061C:  // round rectangle: drawn square-cornered
        if (n >= 12) {
          const POINT a = pl.Map(I16(p + 10), I16(p + 8)), b = pl.Map(I16(p + 6), I16(p + 4));
          ::Rectangle(dc, a.x, a.y, b.x, b.y);
        }
        break;
      case 0x0324:
      case 0x0325: {
        if (n < 2) break;
        const size_t count = U16(p);
        if (count * 4 + 2 > n) break;
        pts.resize(count);
        for (size_t i = 0; i < count; ++i) pts[i] = pl.Map(I16(p + 2 + 4 * i), I16(p + 4 + 4 * i));
        if (fn == 0x0324) ::Polygon(dc, pts.data(), static_cast<Integer>(count));
        else ::Polyline(dc, pts.data(), static_cast<Integer>(count));
        break;
      }
      case 0x0538: {  // polypolygon: each polygon on its own
        if (n < 2) break;
        const size_t polys = U16(p);
        if (2 + polys * 2 > n) break;
        size_t total = 0;
        for (size_t i = 0; i < polys; ++i) total += U16(p + 2 + 2 * i);
        const uint8_t* q = p + 2 + polys * 2;
        if (2 + polys * 2 + total * 4 > n) break;
        for (size_t i = 0; i < polys; ++i) {
          const size_t c = U16(p + 2 + 2 * i);
          pts.resize(c);
          for (size_t k = 0; k < c; ++k, q += 4) pts[k] = pl.Map(I16(q), I16(q + 2));
          if (c >= 2) ::Polygon(dc, pts.data(), static_cast<Integer>(c));
        }
        break;
      }
      case 0x0521: {  // text out: count, string (padded to even), y, x
        if (n < 2) break;
        const size_t count = U16(p);
        const size_t padded = (count + 1) & ~size_t{1};
        if (2 + padded + 4 > n) break;
        const POINT q = pl.Map(I16(p + 2 + padded + 2), I16(p + 2 + padded));
        const std::string text = Latin1(p + 2, count);
        ::TextOut(dc, q.x, q.y, text.c_str(), static_cast<Integer>(count));
        break;
      }
      case 0x0A32: {  // extended text out: y, x, count, options, [rect], string
        if (n < 8) break;
        const POINT q = pl.Map(I16(p + 2), I16(p));
        const size_t count = U16(p + 4);
        const uint16_t options = U16(p + 6);
        const size_t textAt = 8 + ((options & 0x0006) ? 8 : 0);
        if (textAt + count > n) break;
        const std::string text = Latin1(p + textAt, count);
        ::TextOut(dc, q.x, q.y, text.c_str(), static_cast<Integer>(count));
        break;
      }
      case 0x02FA:  // pen: style, width (x, y), colour
        if (n >= 10) pl.AddWmf(pl.Pen(U16(p), I16(p + 2), U32(p + 6)));
        else pl.AddWmf(0);
        break;
      case 0x02FC:  // brush: style, colour, hatch
        if (n >= 8) pl.AddWmf(Player::Brush(U16(p), U32(p + 2), U16(p + 6)));
        else pl.AddWmf(0);
        break;
      case 0x02FB: {  // font
        if (n < 18) {
          pl.AddWmf(0);
          break;
        }
        LOGFONT lf;
        lf.lfHeight = I16(p);
        lf.lfWidth = I16(p + 2);
        lf.lfEscapement = I16(p + 4);
        lf.lfOrientation = I16(p + 6);
        lf.lfWeight = I16(p + 8);
        lf.lfItalic = p[10];
        lf.lfUnderline = p[11];
        lf.lfStrikeOut = p[12];
        lf.lfCharSet = p[13];
        const size_t face = std::min<size_t>(n - 18, LF_FACESIZE - 1);
        for (size_t i = 0; i < face && p[18 + i]; ++i) lf.lfFaceName[i] = static_cast<char>(p[18 + i]);
        pl.AddWmf(pl.Font(lf));
        break;
      }
      // Objects this playback does not draw with still take their slot.
      case 0x00F7:   // palette
      case 0x01F9:   // pattern brush
      case 0x0142:   // DIB pattern brush
      case 0x06FF:   // region
        pl.AddWmf(0);
        break;
      case 0x012D: if (n >= 2) pl.Select(U16(p)); break;
      case 0x01F0: if (n >= 2) pl.Delete(U16(p)); break;
      default: break;
    }
    at += static_cast<size_t>(bytes);
  }
}

void PlayEmf(Player& pl, const std::vector<uint8_t>& d) {
  const HDC dc = pl.dc();
  std::vector<POINT> pts;
  size_t at = 0;
  while (at + 8 <= d.size()) {
    const uint32_t type = U32(&d[at]);
    const uint32_t size = U32(&d[at + 4]);
    if (size < 8 || size % 4 != 0 || size > d.size() - at) break;
    const uint8_t* r = &d[at];
    auto need = [&](size_t bytes) { return size >= bytes; };
    switch (type) {
      case 14: return;  // EMR_EOF
      case 9: if (need(16)) pl.SetWindowExt(I32(r + 8), I32(r + 12)); break;
      case 10: if (need(16)) pl.SetWindowOrg(I32(r + 8), I32(r + 12)); break;
      case 11: if (need(16)) pl.SetViewportExt(I32(r + 8), I32(r + 12)); break;
      case 12: if (need(16)) pl.SetViewportOrg(I32(r + 8), I32(r + 12)); break;
      case 17: if (need(12)) pl.SetMapMode(U32(r + 8)); break;
      case 18: if (need(12)) ::SetBkMode(dc, U32(r + 8) == TRANSPARENT ? TRANSPARENT : OPAQUE); break;
      case 19: if (need(12)) ::SetPolyFillMode(dc, U32(r + 8) == WINDING ? WINDING : ALTERNATE); break;
      case 20: if (need(12) && U32(r + 8) >= 1 && U32(r + 8) <= 16) ::SetROP2(dc, static_cast<Integer>(U32(r + 8))); break;
      case 22: if (need(12)) ::SetTextAlign(dc, U32(r + 8) & 0x1F); break;
      case 24: if (need(12)) ::SetTextColor(dc, U32(r + 8) & 0xFFFFFF); break;
      case 25: if (need(12)) ::SetBkColor(dc, U32(r + 8) & 0xFFFFFF); break;
      case 27:
        if (need(16)) {
          const POINT q = pl.Map(I32(r + 8), I32(r + 12));
          ::MoveToEx(dc, q.x, q.y, nullptr);
        }
        break;
      case 54:
        if (need(16)) {
          const POINT q = pl.Map(I32(r + 8), I32(r + 12));
          ::LineTo(dc, q.x, q.y);
        }
        break;
      case 42:
      case 43:
      case 44:  // ellipse, rectangle, round rectangle (square-cornered)
        if (need(24)) {
          const POINT a = pl.Map(I32(r + 8), I32(r + 12)), b = pl.Map(I32(r + 16), I32(r + 20));
          if (type == 42) ::Ellipse(dc, a.x, a.y, b.x, b.y);
          else ::Rectangle(dc, a.x, a.y, b.x, b.y);
        }
        break;
      case 3:
      case 4:
      case 86:
      case 87: {  // polygon, polyline (32-bit and 16-bit points)
        if (!need(28)) break;
        const bool small = type >= 86;
        const size_t count = U32(r + 24);
        const size_t step = small ? 4 : 8;
        if (count > (size - 28) / step) break;
        pts.resize(count);
        for (size_t i = 0; i < count; ++i) {
          const uint8_t* q = r + 28 + i * step;
          pts[i] = small ? pl.Map(I16(q), I16(q + 2)) : pl.Map(I32(q), I32(q + 4));
        }
        if (type == 3 || type == 86) ::Polygon(dc, pts.data(), static_cast<Integer>(count));
        else ::Polyline(dc, pts.data(), static_cast<Integer>(count));
        break;
      }
      case 8:
      case 91: {  // polypolygon: each polygon on its own
        if (!need(32)) break;
        const bool small = type == 91;
        const size_t polys = U32(r + 24), total = U32(r + 28);
        const size_t step = small ? 4 : 8;
        if (polys > (size - 32) / 4) break;
        const size_t pointsAt = 32 + polys * 4;
        if (total > (size - pointsAt) / step) break;
        size_t used = 0;
        for (size_t i = 0; i < polys; ++i) {
          const size_t c = U32(r + 32 + 4 * i);
          if (c > total - used) break;
          pts.resize(c);
          for (size_t k = 0; k < c; ++k) {
            const uint8_t* q = r + pointsAt + (used + k) * step;
            pts[k] = small ? pl.Map(I16(q), I16(q + 2)) : pl.Map(I32(q), I32(q + 4));
          }
          used += c;
          if (c >= 2) ::Polygon(dc, pts.data(), static_cast<Integer>(c));
        }
        break;
      }
      case 37: if (need(12)) pl.Select(U32(r + 8)); break;
      case 40: if (need(12)) pl.Delete(U32(r + 8)); break;
      case 38:  // pen: index, style, width (x), colour
        if (need(28)) pl.AddEmf(U32(r + 8), pl.Pen(U32(r + 12), I32(r + 16), U32(r + 24)));
        break;
      case 95:  // extended pen: index, bitmap offsets, style, width, brush style, colour
        if (need(44)) {
          const uint32_t style = U32(r + 28);
          const bool geometric = (style & 0x00010000u) != 0;
          pl.AddEmf(U32(r + 8), pl.Pen(style, geometric ? static_cast<double>(U32(r + 32)) : 0.0, U32(r + 40)));
        }
        break;
      case 39:  // brush: index, style, colour, hatch
        if (need(24)) pl.AddEmf(U32(r + 8), Player::Brush(U32(r + 12), U32(r + 16), U32(r + 20)));
        break;
      case 82: {  // font: index, LOGFONTW
        if (!need(12 + 92)) break;
        const uint8_t* f = r + 12;
        LOGFONT lf;
        lf.lfHeight = I32(f);
        lf.lfWidth = I32(f + 4);
        lf.lfEscapement = I32(f + 8);
        lf.lfOrientation = I32(f + 12);
        lf.lfWeight = I32(f + 16);
        lf.lfItalic = f[20];
        lf.lfUnderline = f[21];
        lf.lfStrikeOut = f[22];
        lf.lfCharSet = f[23];
        for (size_t i = 0; i < LF_FACESIZE - 1; ++i) {
          const uint16_t c = U16(f + 28 + 2 * i);
          if (c == 0) break;
          lf.lfFaceName[i] = c < 256 ? static_cast<char>(c) : '?';
        }
        pl.AddEmf(U32(r + 8), pl.Font(lf));
        break;
      }
      case 84: {  // wide text: the reference point, the characters
        if (!need(76)) break;
        const POINT q = pl.Map(I32(r + 36), I32(r + 40));
        const size_t chars = U32(r + 44), offset = U32(r + 48);
        if (offset > size || chars > (size - offset) / 2) break;
        std::string text;
        for (size_t i = 0; i < chars; ++i) {
          const uint16_t c = U16(r + offset + 2 * i);
          text += c < 256 ? static_cast<char>(c) : '?';
        }
        ::TextOut(dc, q.x, q.y, text.c_str(), static_cast<Integer>(text.size()));
        break;
      }
      default: break;
    }
    at += size;
  }
}

}  // namespace

void TMetafile::Clear() {
  data_.clear();
  enhanced_ = placeable_ = false;
  width_ = height_ = 0;
  frameLeft_ = frameTop_ = frameWidth_ = frameHeight_ = 0;
  recordsAt_ = 0;
  objects_ = 0;
}

void TMetafile::SetWidth(Integer value) {
  if (value == width_) return;
  width_ = value;
  Changed(this);
}

void TMetafile::SetHeight(Integer value) {
  if (value == height_) return;
  height_ = value;
  Changed(this);
}

Integer TMetafile::GetMMWidth() const noexcept { return ::MulDiv(width_, 2540, 96); }
Integer TMetafile::GetMMHeight() const noexcept { return ::MulDiv(height_, 2540, 96); }

void TMetafile::LoadFromStream(TStream* stream) {
  const Int64 left = stream->GetSize() - stream->GetPosition();
  if (left <= 0 || static_cast<uint64_t>(left) > kMaxBytes) Invalid();
  std::vector<uint8_t> d(static_cast<size_t>(left));
  stream->ReadBuffer(d.data(), static_cast<Integer>(d.size()));

  TMetafile m;
  if (d.size() >= 88 && U32(&d[0]) == 1 && U32(&d[40]) == kEmfSignature) {
    // EMF: the frame in hundredths of a millimetre, the reference device's size in
    // pixels and in millimetres.
    const int32_t fl = I32(&d[24]), ft = I32(&d[28]), fr = I32(&d[32]), fb = I32(&d[36]);
    const int32_t devW = I32(&d[72]), devH = I32(&d[76]), mmW = I32(&d[80]), mmH = I32(&d[84]);
    const double frameW = static_cast<double>(fr) - fl, frameH = static_cast<double>(fb) - ft;
    m.enhanced_ = true;
    m.width_ = static_cast<Integer>(std::clamp(std::round(std::fabs(frameW) * 96 / 2540), 0.0, 1e9));
    m.height_ = static_cast<Integer>(std::clamp(std::round(std::fabs(frameH) * 96 / 2540), 0.0, 1e9));
    // Device pixels per hundredth of a millimetre on the reference device.
    const double px = devW > 0 && mmW > 0 ? static_cast<double>(devW) / (mmW * 100.0) : 96 / 2540.0;
    const double py = devH > 0 && mmH > 0 ? static_cast<double>(devH) / (mmH * 100.0) : 96 / 2540.0;
    m.frameLeft_ = fl * px;
    m.frameTop_ = ft * py;
    m.frameWidth_ = frameW * px;
    m.frameHeight_ = frameH * py;
    m.objects_ = U16(&d[56]);
    m.recordsAt_ = 0;
  } else if (d.size() >= 22 + 18 && U32(&d[0]) == kPlaceableKey) {
    const int16_t l = I16(&d[6]), t = I16(&d[8]), r = I16(&d[10]), b = I16(&d[12]);
    const uint16_t inch = U16(&d[14]);
    if (U16(&d[22 + 2]) != 9) Invalid();
    m.placeable_ = true;
    m.width_ = inch == 0 ? 0 : ::MulDiv(std::abs(r - l), 96, inch);
    m.height_ = inch == 0 ? 0 : ::MulDiv(std::abs(b - t), 96, inch);
    m.frameLeft_ = l;
    m.frameTop_ = t;
    m.frameWidth_ = r - l;
    m.frameHeight_ = b - t;
    m.objects_ = U16(&d[22 + 10]);
    m.recordsAt_ = 22 + 18;
  } else if (d.size() >= 18 && (U16(&d[0]) == 1 || U16(&d[0]) == 2) && U16(&d[2]) == 9 &&
             (U16(&d[4]) == 0x0300 || U16(&d[4]) == 0x0100)) {
    double wl = 0, wt = 0, ww = 0, wh = 0;
    PlainWindow(d, 18, &wl, &wt, &ww, &wh);
    m.width_ = static_cast<Integer>(std::fabs(ww));
    m.height_ = static_cast<Integer>(std::fabs(wh));
    m.frameLeft_ = wl;
    m.frameTop_ = wt;
    m.frameWidth_ = ww;
    m.frameHeight_ = wh;
    m.objects_ = U16(&d[10]);
    m.recordsAt_ = 18;
  } else {
    Invalid();
  }
  m.data_ = std::move(d);
  data_ = std::move(m.data_);
  enhanced_ = m.enhanced_;
  placeable_ = m.placeable_;
  width_ = m.width_;
  height_ = m.height_;
  frameLeft_ = m.frameLeft_;
  frameTop_ = m.frameTop_;
  frameWidth_ = m.frameWidth_;
  frameHeight_ = m.frameHeight_;
  recordsAt_ = m.recordsAt_;
  objects_ = m.objects_;
  Changed(this);
}

void TMetafile::SaveToStream(TStream* stream) {
  if (!data_.empty()) stream->WriteBuffer(data_.data(), static_cast<Integer>(data_.size()));
}

void TMetafile::PlayOn(HDC dc, const RECT& rect) const {
  if (data_.empty() || frameWidth_ == 0 || frameHeight_ == 0) return;
  if (rect.right == rect.left || rect.bottom == rect.top) return;
  Player player(dc, rect, frameLeft_, frameTop_, frameWidth_, frameHeight_, enhanced_, objects_);
  if (enhanced_) PlayEmf(player, data_);
  else PlayWmf(player, data_, recordsAt_);
}

void TMetafile::Draw(TCanvas* canvas, const TRect& rect) {
  PlayOn(canvas->GetHandle(), RECT{rect.left, rect.top, rect.right, rect.bottom});
}
