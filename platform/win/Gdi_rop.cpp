// The ternary raster-operation evaluator, clipping, brush patterns and fills.
#include <algorithm>
#include <vector>

#include "platform/win/GdiInternal.h"

namespace gdi {

bool RopUsesPattern(Byte i) { return ((i >> 4) & 0x0F) != (i & 0x0F); }
bool RopUsesSource(Byte i) { return ((i >> 2) & 0x33) != (i & 0x33); }
bool RopUsesDest(Byte i) { return ((i >> 1) & 0x55) != (i & 0x55); }

// Bit k of the index is the result for pattern bit k >> 2, source bit (k >> 1) & 1 and
// destination bit k & 1; OR together the minterms that give 1.
uint32_t Rop3Word(Byte index, uint32_t p, uint32_t s, uint32_t d) {
  uint32_t r = 0;
  for (Integer k = 0; k < 8; ++k) {
    if (!((index >> k) & 1)) continue;
    r |= ((k & 4) ? p : ~p) & ((k & 2) ? s : ~s) & ((k & 1) ? d : ~d);
  }
  return r;
}

void Rop3Row(Byte index, const uint32_t* p, const uint32_t* s, const uint32_t* d, uint32_t* out,
             Integer n) {
  switch (index) {
    case 0x00: std::fill(out, out + n, 0u); return;                          // BLACKNESS
    case 0xFF: std::fill(out, out + n, ~0u); return;                         // WHITENESS
    case 0xCC: if (out != s) std::copy(s, s + n, out); return;               // SRCCOPY
    case 0x33: for (Integer i = 0; i < n; ++i) out[i] = ~s[i]; return;       // NOTSRCCOPY
    case 0x66: for (Integer i = 0; i < n; ++i) out[i] = s[i] ^ d[i]; return; // SRCINVERT
    case 0x88: for (Integer i = 0; i < n; ++i) out[i] = s[i] & d[i]; return; // SRCAND
    case 0xEE: for (Integer i = 0; i < n; ++i) out[i] = s[i] | d[i]; return; // SRCPAINT
    case 0x44: for (Integer i = 0; i < n; ++i) out[i] = s[i] & ~d[i]; return;  // SRCERASE
    case 0x11: for (Integer i = 0; i < n; ++i) out[i] = ~(s[i] | d[i]); return;  // NOTSRCERASE
    case 0x22: for (Integer i = 0; i < n; ++i) out[i] = ~s[i] & d[i]; return;
    case 0xBB: for (Integer i = 0; i < n; ++i) out[i] = ~s[i] | d[i]; return;  // MERGEPAINT
    case 0xC0: for (Integer i = 0; i < n; ++i) out[i] = p[i] & s[i]; return;   // MERGECOPY
    case 0xF0: if (out != p) std::copy(p, p + n, out); return;                 // PATCOPY
    case 0x0F: for (Integer i = 0; i < n; ++i) out[i] = ~p[i]; return;
    case 0xFB: for (Integer i = 0; i < n; ++i) out[i] = p[i] | ~s[i] | d[i]; return;  // PATPAINT
    case 0x5A: for (Integer i = 0; i < n; ++i) out[i] = p[i] ^ d[i]; return;  // PATINVERT
    case 0x55: for (Integer i = 0; i < n; ++i) out[i] = ~d[i]; return;        // DSTINVERT
    case 0xAA: if (out != d) std::copy(d, d + n, out); return;                // no change
    case 0xA0: for (Integer i = 0; i < n; ++i) out[i] = p[i] & d[i]; return;
    case 0xFA: for (Integer i = 0; i < n; ++i) out[i] = p[i] | d[i]; return;
    case 0xB8: for (Integer i = 0; i < n; ++i) out[i] = ((p[i] ^ d[i]) & s[i]) ^ p[i]; return;
    case 0xE2: for (Integer i = 0; i < n; ++i) out[i] = ((p[i] ^ d[i]) & s[i]) ^ d[i]; return;
    default: break;
  }
  const uint32_t zero = 0;
  bool up = RopUsesPattern(index), us = RopUsesSource(index), ud = RopUsesDest(index);
  for (Integer i = 0; i < n; ++i)
    out[i] = Rop3Word(index, up ? p[i] : zero, us ? s[i] : zero, ud ? d[i] : zero);
}

Byte Rop2ToRop3(Integer rop2) {
  Integer table = (rop2 - 1) & 0xF;  // over (pen << 1) | destination
  Byte index = 0;
  for (Integer k = 0; k < 8; ++k) {
    Integer pen = (k >> 2) & 1, dst = k & 1;
    if ((table >> ((pen << 1) | dst)) & 1) index = static_cast<Byte>(index | (1 << k));
  }
  return index;
}

Clipper::Clipper(const Surface& s, const std::optional<Region>& clip)
    : width_(s.Width), height_(s.Height), clip_(clip ? &*clip : nullptr) {}

bool Clipper::Visible(Integer x, Integer y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return false;
  return !clip_ || clip_->Contains(x, y);
}

namespace {

bool HatchBit(Integer hatch, Integer x, Integer y) {
  switch (hatch) {
    case HS_HORIZONTAL: return y == 0;
    case HS_VERTICAL: return x == 0;
    case HS_FDIAGONAL: return x == y;
    case HS_BDIAGONAL: return x + y == 7;
    case HS_CROSS: return x == 0 || y == 0;
    case HS_DIAGCROSS: return x == y || x + y == 7;
    default: return false;
  }
}

Integer Mod(Integer a, Integer m) {
  Integer r = a % m;
  return r < 0 ? r + m : r;
}

}  // namespace

bool BrushRow(const DCState& st, const BrushObj& brush, const Surface& dest, ColorEncoder& enc,
              Integer x, Integer y, Integer n, uint32_t* values, uint8_t* mask) {
  bool masked = false;
  switch (brush.Style) {
    case BS_HATCHED: {
      uint32_t fg = enc(ResolveColor(st, brush.Color));
      uint32_t bg = enc(ResolveColor(st, st.BkColor));
      bool transparent = st.BkMode == TRANSPARENT;
      Integer hy = Mod(y - st.BrushOrg.y - st.DevOrg.y, 8);
      for (Integer i = 0; i < n; ++i) {
        bool on = HatchBit(brush.Hatch, Mod(x + i - st.BrushOrg.x - st.DevOrg.x, 8), hy);
        values[i] = on ? fg : bg;
        if (mask) mask[i] = (on || !transparent) ? 1 : 0;
        masked |= !on && transparent;
      }
      return masked;
    }
    case BS_PATTERN: {
      const Surface& pat = *brush.Pattern;
      std::vector<uint32_t> row(static_cast<size_t>(pat.Width));
      ReadValues(pat, Mod(y - st.BrushOrg.y - st.DevOrg.y, pat.Height), 0, pat.Width, row.data());
      ColorDecoder dec(pat, ResolveColor(st, st.TextColor), ResolveColor(st, st.BkColor));
      for (auto& v : row) v = enc(dec(v));
      Integer px = Mod(x - st.BrushOrg.x - st.DevOrg.x, pat.Width);
      for (Integer i = 0; i < n; ++i) {
        values[i] = row[static_cast<size_t>(px)];
        if (++px == pat.Width) px = 0;
      }
      break;
    }
    default: {
      uint32_t v = enc(ResolveColor(st, brush.CurrentColor()));
      std::fill(values, values + n, v);
      break;
    }
  }
  if (mask) std::fill(mask, mask + n, uint8_t{1});
  (void)dest;
  return false;
}

namespace {

void FillSpan(const DCState& st, const BrushObj& brush, Surface& s, ColorEncoder& enc, Integer y,
              Integer x0, Integer x1, Byte rop3, std::vector<uint32_t>& pat, std::vector<uint32_t>& dst,
              std::vector<uint8_t>& mask) {
  Integer n = x1 - x0;
  if (pat.size() < static_cast<size_t>(n)) {
    pat.resize(static_cast<size_t>(n));
    dst.resize(static_cast<size_t>(n));
    mask.resize(static_cast<size_t>(n));
  }
  bool usesP = RopUsesPattern(rop3);
  bool masked = false;
  if (usesP) masked = BrushRow(st, brush, s, enc, x0, y, n, pat.data(), mask.data());
  bool usesD = RopUsesDest(rop3) || masked;
  if (usesD) ReadValues(s, y, x0, n, dst.data());
  std::vector<uint32_t> out;
  uint32_t* res = pat.data();
  if (!usesP) res = dst.data();
  if (masked) {
    out.resize(static_cast<size_t>(n));
    res = out.data();
  }
  Rop3Row(rop3, pat.data(), nullptr, dst.data(), res, n);
  uint32_t vm = s.ValueMask();
  for (Integer i = 0; i < n; ++i) res[i] &= vm;
  if (masked)
    for (Integer i = 0; i < n; ++i)
      if (!mask[static_cast<size_t>(i)]) res[i] = dst[static_cast<size_t>(i)];
  WriteValues(s, y, x0, n, res);
}

}  // namespace

void FillDeviceRect(DCObj& dc, const BrushObj& brush, Integer x0, Integer y0, Integer x1,
                    Integer y1, Byte rop3) {
  if (RopUsesPattern(rop3) && brush.Style == BS_NULL) return;
  if (x0 > x1) std::swap(x0, x1);
  if (y0 > y1) std::swap(y0, y1);
  auto target = dc.Target();
  Surface& s = *target->Surf;
  Clipper clip(s, dc.St.Clip);
  ColorEncoder enc(s);
  std::vector<uint32_t> pat, dst;
  std::vector<uint8_t> mask;
  Integer ya = std::max(y0, 0), yb = std::min(y1, s.Height);
  for (Integer y = ya; y < yb; ++y)
    clip.ForSpans(y, x0, x1, [&](Integer a, Integer e) { FillSpan(dc.St, brush, s, enc, y, a, e, rop3, pat, dst, mask); });
}

void FillDeviceRows(DCObj& dc, const BrushObj& brush, Integer firstY,
                    const std::vector<std::vector<Span>>& rows, Byte rop3) {
  if (RopUsesPattern(rop3) && brush.Style == BS_NULL) return;
  auto target = dc.Target();
  Surface& s = *target->Surf;
  Clipper clip(s, dc.St.Clip);
  ColorEncoder enc(s);
  std::vector<uint32_t> pat, dst;
  std::vector<uint8_t> mask;
  for (size_t i = 0; i < rows.size(); ++i) {
    Integer y = firstY + static_cast<Integer>(i);
    for (const Span& sp : rows[i])
      clip.ForSpans(y, sp.X0, sp.X1, [&](Integer a, Integer e) { FillSpan(dc.St, brush, s, enc, y, a, e, rop3, pat, dst, mask); });
  }
}

}  // namespace gdi
