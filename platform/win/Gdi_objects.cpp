// The GDI object table, stock objects, GetObject / DeleteObject, pens, brushes and
// the rectangle helpers.
#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_map>

#include "platform/rtl/NoDestructor.h"
#include "platform/win/GdiInternal.h"

namespace gdi {

namespace {

struct Table {
  std::unordered_map<HGDIOBJ, std::shared_ptr<Object>> Objects;
  // Handles count up from here in steps of 4 and are never reused.
  HGDIOBJ Next = 0x10000;
};

Table& TheTable() {
  static NoDestructor<Table> t;  // lives to the end of the process
  return *t;
}

std::shared_ptr<Object> MakeStock(Integer index) {
  auto brush = [](COLORREF c, UINT style = BS_SOLID) {
    auto b = std::make_shared<BrushObj>();
    b->Style = style;
    b->Color = c;
    return b;
  };
  auto pen = [](COLORREF c, UINT style = PS_SOLID) {
    auto p = std::make_shared<PenObj>();
    p->Style = style;
    p->Color = c;
    return p;
  };
  auto font = [](Integer height, Integer weight, const char* face) {
    LOGFONT lf;
    lf.lfHeight = height;
    lf.lfWeight = weight;
    std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return MakeFont(lf);
  };
  switch (index) {
    case WHITE_BRUSH: return brush(RGB(255, 255, 255));
    case LTGRAY_BRUSH: return brush(RGB(192, 192, 192));
    case GRAY_BRUSH: return brush(RGB(128, 128, 128));
    case DKGRAY_BRUSH: return brush(RGB(64, 64, 64));
    case BLACK_BRUSH: return brush(RGB(0, 0, 0));
    case NULL_BRUSH: return brush(0, BS_NULL);
    case WHITE_PEN: return pen(RGB(255, 255, 255));
    case BLACK_PEN: return pen(RGB(0, 0, 0));
    case NULL_PEN: return pen(0, PS_NULL);
    case OEM_FIXED_FONT: return font(12, FW_NORMAL, "Terminal");
    case ANSI_FIXED_FONT: return font(13, FW_NORMAL, "Courier");
    case ANSI_VAR_FONT: return font(13, FW_NORMAL, "MS Sans Serif");
    case SYSTEM_FONT: return font(16, FW_BOLD, "System");
    case DEVICE_DEFAULT_FONT: return font(16, FW_BOLD, "System");
    case SYSTEM_FIXED_FONT: return font(16, FW_NORMAL, "Fixedsys");
    case DEFAULT_GUI_FONT: return font(-11, FW_NORMAL, "MS Shell Dlg");
    case DEFAULT_PALETTE: {
      auto p = std::make_shared<PaletteObj>();
      const RGBQUAD* c = DefaultPaletteColors();
      for (int i = 0; i < 20; ++i) p->Entries.push_back(PALETTEENTRY{c[i].rgbRed, c[i].rgbGreen, c[i].rgbBlue, 0});
      return p;
    }
    default: return nullptr;
  }
}

constexpr Integer kStockCount = DEFAULT_GUI_FONT + 1;

}  // namespace

std::recursive_mutex& TableLock() {
  static NoDestructor<std::recursive_mutex> m;
  return *m;
}

HGDIOBJ AddObject(std::shared_ptr<Object> obj) {
  std::lock_guard lock(TableLock());
  Table& t = TheTable();
  HGDIOBJ h = t.Next;
  t.Next += 4;
  obj->Handle = h;
  t.Objects.emplace(h, std::move(obj));
  return h;
}

std::shared_ptr<Object> FindObject(HGDIOBJ h) {
  if (h == 0) return nullptr;
  std::lock_guard lock(TableLock());
  Table& t = TheTable();
  auto it = t.Objects.find(h);
  if (it == t.Objects.end()) return nullptr;
  return it->second;
}

void RemoveObject(HGDIOBJ h) {
  std::lock_guard lock(TableLock());
  TheTable().Objects.erase(h);
}

void AddSelection(const std::shared_ptr<Object>& o) {
  if (!o) return;
  std::lock_guard lock(TableLock());
  ++o->SelectCount;
}

void DropSelection(const std::shared_ptr<Object>& o) {
  if (!o) return;
  std::lock_guard lock(TableLock());
  if (--o->SelectCount > 0) return;
  o->SelectCount = 0;
  if (o->DeletePending) RemoveObject(o->Handle);
}

void SelectInitial(DCObj& dc) {
  DCState& st = dc.St;
  st.Pen = std::static_pointer_cast<PenObj>(StockObject(BLACK_PEN));
  st.Brush = std::static_pointer_cast<BrushObj>(StockObject(WHITE_BRUSH));
  st.Font = std::static_pointer_cast<FontObj>(StockObject(SYSTEM_FONT));
  st.Palette = std::static_pointer_cast<PaletteObj>(StockObject(DEFAULT_PALETTE));
  if (!dc.Screen) st.Bitmap = StockBitmap();
  AddSelection(st.Pen);
  AddSelection(st.Brush);
  AddSelection(st.Font);
  AddSelection(st.Palette);
  AddSelection(st.Bitmap);
}

void DropAllSelections(DCState& st) {
  std::lock_guard lock(TableLock());
  if (st.Bitmap && !st.Bitmap->Stock) st.Bitmap->SelectedIn = 0;
  DropSelection(st.Bitmap);
  DropSelection(st.Pen);
  DropSelection(st.Brush);
  DropSelection(st.Font);
  DropSelection(st.Palette);
  st.Bitmap.reset();
  st.Pen.reset();
  st.Brush.reset();
  st.Font.reset();
  st.Palette.reset();
}

std::shared_ptr<Object> StockObject(Integer index) {
  if (index < 0 || index >= kStockCount) return nullptr;
  using Stock = std::array<std::shared_ptr<Object>, kStockCount>;
  static NoDestructor<Stock> stock([] {
    Stock objects;
    for (Integer i = 0; i < kStockCount; ++i) {
      objects[i] = MakeStock(i);
      if (objects[i]) {
        objects[i]->Stock = true;
        AddObject(objects[i]);
      }
    }
    return objects;
  }());
  return (*stock)[index];
}

std::shared_ptr<BitmapObj> StockBitmap() {
  static NoDestructor<std::shared_ptr<BitmapObj>> bmp([] {
    auto b = std::make_shared<BitmapObj>();
    b->Surf = std::make_shared<Surface>();
    AllocateSurface(*b->Surf, 1, 1, 1, true);
    b->Surf->Monochrome = true;
    SetStandardColors(*b->Surf);
    b->Stock = true;
    AddObject(b);
    return b;
  }());
  return *bmp;
}

COLORREF BrushObj::CurrentColor() const {
  return SysColor >= 0 ? GetSysColor(SysColor) : Color;
}

}  // namespace gdi

using namespace gdi;

DWORD GetObjectType(HGDIOBJ obj) {
  auto o = FindObject(obj);
  if (!o) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  switch (o->ObjKind) {
    case Kind::Bitmap: return OBJ_BITMAP;
    case Kind::Pen: return OBJ_PEN;
    case Kind::Brush: return OBJ_BRUSH;
    case Kind::Font: return OBJ_FONT;
    case Kind::Region: return OBJ_REGION;
    case Kind::Palette: return OBJ_PAL;
    case Kind::DC: return static_cast<DCObj&>(*o).Screen ? OBJ_DC : OBJ_MEMDC;
    default: return 0;
  }
}

Integer GetObject(HGDIOBJ obj, Integer bufferSize, void* buffer) {
  auto o = FindObject(obj);
  if (!o) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  auto give = [&](const void* rec, Integer size) -> Integer {
    if (!buffer) return size;
    Integer n = std::min(size, bufferSize);
    if (n <= 0) return 0;
    std::memcpy(buffer, rec, static_cast<size_t>(n));
    return n;
  };
  switch (o->ObjKind) {
    case Kind::Bitmap: {
      const auto& b = static_cast<BitmapObj&>(*o);
      const Surface& s = *b.Surf;
      DIBSECTION ds;
      ds.dsBm.bmType = 0;
      ds.dsBm.bmWidth = s.Width;
      ds.dsBm.bmHeight = s.Height;
      ds.dsBm.bmPlanes = 1;
      ds.dsBm.bmBitsPixel = static_cast<WORD>(s.Bpp);
      if (b.IsDIB) {
        ds.dsBm.bmWidthBytes = s.Stride;
        ds.dsBm.bmBits = s.Bits;
        BITMAPINFOHEADER& h = ds.dsBmih;
        h.biSize = sizeof(BITMAPINFOHEADER);
        h.biWidth = s.Width;
        h.biHeight = s.TopDown ? -s.Height : s.Height;
        h.biPlanes = 1;
        h.biBitCount = static_cast<WORD>(s.Bpp);
        bool fields = (s.Bpp == 16 && s.Masks[1] != 0x03E0) || (s.Bpp == 32 && s.Masks[1] != 0xFF00);
        h.biCompression = fields ? BI_BITFIELDS : BI_RGB;
        h.biSizeImage = static_cast<DWORD>(s.ByteSize());
        h.biClrUsed = static_cast<DWORD>(s.NumColors);
        if (s.Bpp == 16 || s.Bpp == 32)
          for (int i = 0; i < 3; ++i) ds.dsBitfields[i] = s.Masks[i];
        if (buffer && bufferSize >= static_cast<Integer>(sizeof(DIBSECTION))) return give(&ds, sizeof(DIBSECTION));
      } else {
        ds.dsBm.bmWidthBytes = static_cast<Integer>(((s.Width * s.Bpp + 15) >> 4) << 1);
      }
      return give(&ds.dsBm, sizeof(BITMAP));
    }
    case Kind::Pen: {
      const auto& p = static_cast<PenObj&>(*o);
      LOGPEN lp;
      lp.lopnStyle = p.Style;
      lp.lopnWidth.x = p.Width;
      lp.lopnColor = p.Color;
      return give(&lp, sizeof(LOGPEN));
    }
    case Kind::Brush: {
      const auto& b = static_cast<BrushObj&>(*o);
      LOGBRUSH lb;
      lb.lbStyle = b.Style;
      lb.lbColor = b.CurrentColor();
      lb.lbHatch = b.Style == BS_HATCHED ? static_cast<uintptr_t>(b.Hatch) : b.PatternHandle;
      return give(&lb, sizeof(LOGBRUSH));
    }
    case Kind::Font: return give(&static_cast<FontObj&>(*o).Log, sizeof(LOGFONT));
    case Kind::Palette: {
      WORD n = static_cast<WORD>(static_cast<PaletteObj&>(*o).Entries.size());
      return give(&n, sizeof(WORD));
    }
    default: return 0;
  }
}

HGDIOBJ GetStockObject(Integer index) {
  auto o = StockObject(index);
  return o ? o->Handle : 0;
}

BOOL DeleteObject(HGDIOBJ obj) {
  std::lock_guard lock(TableLock());
  auto o = FindObject(obj);
  if (!o || o->ObjKind == Kind::DC || o->ObjKind == Kind::Icon || o->ObjKind == Kind::DrawDib) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (o->Stock) return TRUE;
  if (o->ObjKind == Kind::Bitmap && static_cast<BitmapObj&>(*o).SelectedIn != 0) return FALSE;
  if (o->SelectCount > 0) {
    o->DeletePending = true;
    return TRUE;
  }
  RemoveObject(obj);
  return TRUE;
}

// ---------------------------------------------------------------------------------
// Pens and brushes.

HPEN CreatePen(Integer style, Integer width, COLORREF color) {
  UINT s = static_cast<UINT>(style) & PS_STYLE_MASK;
  if (s > PS_INSIDEFRAME) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto p = std::make_shared<PenObj>();
  p->Style = s;
  p->Width = width < 0 ? 0 : width;
  p->Color = color;
  return AddObject(p);
}

HPEN CreatePenIndirect(const LOGPEN* pen) {
  if (!pen) return 0;
  return CreatePen(static_cast<Integer>(pen->lopnStyle), pen->lopnWidth.x, pen->lopnColor);
}

HBRUSH CreateSolidBrush(COLORREF color) {
  auto b = std::make_shared<BrushObj>();
  b->Color = color;
  return AddObject(b);
}

HBRUSH CreateHatchBrush(Integer hatch, COLORREF color) {
  if (hatch < HS_HORIZONTAL || hatch > HS_DIAGCROSS) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto b = std::make_shared<BrushObj>();
  b->Style = BS_HATCHED;
  b->Hatch = hatch;
  b->Color = color;
  return AddObject(b);
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
  auto bmp = FindBitmap(bitmap);
  if (!bmp) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  auto b = std::make_shared<BrushObj>();
  b->Style = BS_PATTERN;
  b->PatternHandle = bitmap;
  b->Pattern = CopySurface(*bmp->Surf);
  if (!b->Pattern) return 0;
  return AddObject(b);
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush) {
  if (!brush) return 0;
  switch (brush->lbStyle) {
    case BS_SOLID: return CreateSolidBrush(brush->lbColor);
    case BS_HATCHED: return CreateHatchBrush(static_cast<Integer>(brush->lbHatch), brush->lbColor);
    case BS_PATTERN: return CreatePatternBrush(static_cast<HBITMAP>(brush->lbHatch));
    case BS_NULL: {
      auto b = std::make_shared<BrushObj>();
      b->Style = BS_NULL;
      return AddObject(b);
    }
    default: SetLastError(ERROR_INVALID_PARAMETER); return 0;
  }
}

HBRUSH GetSysColorBrush(Integer index) {
  if (index < 0 || index >= COLOR_COUNT) return 0;
  static HBRUSH* brushes = [] {
    auto* arr = new HBRUSH[COLOR_COUNT];
    for (Integer i = 0; i < COLOR_COUNT; ++i) {
      auto b = std::make_shared<BrushObj>();
      b->SysColor = i;
      b->Stock = true;
      arr[i] = AddObject(b);
    }
    return arr;
  }();
  return brushes[index];
}

// ---------------------------------------------------------------------------------
// Rectangles.

BOOL SetRect(RECT* rect, Integer left, Integer top, Integer right, Integer bottom) {
  if (!rect) return FALSE;
  *rect = RECT{left, top, right, bottom};
  return TRUE;
}

BOOL SetRectEmpty(RECT* rect) { return SetRect(rect, 0, 0, 0, 0); }

BOOL CopyRect(RECT* dest, const RECT* src) {
  if (!dest || !src) return FALSE;
  *dest = *src;
  return TRUE;
}

BOOL IsRectEmpty(const RECT* rect) {
  return !rect || rect->right <= rect->left || rect->bottom <= rect->top;
}

BOOL EqualRect(const RECT* a, const RECT* b) {
  if (!a || !b) return FALSE;
  return a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

BOOL PtInRect(const RECT* rect, POINT pt) {
  return rect && pt.x >= rect->left && pt.x < rect->right && pt.y >= rect->top && pt.y < rect->bottom;
}

BOOL OffsetRect(RECT* rect, Integer dx, Integer dy) {
  if (!rect) return FALSE;
  rect->left += dx;
  rect->right += dx;
  rect->top += dy;
  rect->bottom += dy;
  return TRUE;
}

BOOL InflateRect(RECT* rect, Integer dx, Integer dy) {
  if (!rect) return FALSE;
  rect->left -= dx;
  rect->right += dx;
  rect->top -= dy;
  rect->bottom += dy;
  return TRUE;
}

BOOL IntersectRect(RECT* dest, const RECT* a, const RECT* b) {
  if (!dest || !a || !b) return FALSE;
  RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
         std::min(a->bottom, b->bottom)};
  if (r.right <= r.left || r.bottom <= r.top) {
    *dest = RECT{};
    return FALSE;
  }
  *dest = r;
  return TRUE;
}

BOOL UnionRect(RECT* dest, const RECT* a, const RECT* b) {
  if (!dest || !a || !b) return FALSE;
  if (IsRectEmpty(a)) {
    if (IsRectEmpty(b)) {
      *dest = RECT{};
      return FALSE;
    }
    *dest = *b;
    return TRUE;
  }
  if (IsRectEmpty(b)) {
    *dest = *a;
    return TRUE;
  }
  *dest = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
               std::max(a->bottom, b->bottom)};
  return TRUE;
}

Integer MulDiv(Integer a, Integer b, Integer c) {
  if (c == 0) return -1;
  int64_t num = static_cast<int64_t>(a) * b;
  int64_t den = c;
  if (den < 0) {
    num = -num;
    den = -den;
  }
  int64_t q = num >= 0 ? (num + den / 2) / den : -((-num + den / 2) / den);
  if (q > INT32_MAX || q < INT32_MIN) return -1;
  return static_cast<Integer>(q);
}
