// The selection: the mask, the outline polygon, rectangles, ellipses, points and the
// magic wand, inversion, moving and resizing by the grips, the selection stream and
// the stack of saved selections, copies of the selected pixels and the events.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "image/proc/dadiravproc_basic.h"
#include "image/proc/dadiravproc_filters.h"
#include "image/views/dadiravview.h"
#include "image/views/dadiravview_internal.h"
#include "platform/vcl/ExtCtrls.h"

bool _IsRectangle(const TPoint* points, Integer count) {
  if (points == nullptr || count != 4) return false;
  bool wantVertical = points[0].x == points[1].x;
  for (Integer i = 0; i < 4; ++i) {
    const TPoint& a = points[i];
    const TPoint& b = points[(i + 1) % 4];
    const bool vertical = a.x == b.x && a.y != b.y;
    const bool horizontal = a.y == b.y && a.x != b.x;
    if (wantVertical ? !vertical : !horizontal) return false;
    wantVertical = !wantVertical;
  }
  return true;
}

void TDadirAvView::EndSelect() {
  if (currentPoly_ == nullptr) return;
  mask_->DrawPolygon(1, currentPoly_->Points.data(), currentPoly_->Count);
  if (mask_->IsEmpty()) {
    selected_ = false;
    AnimPolygonClear(currentPoly_);
  }
}

void TDadirAvView::SelectEx(Integer x1, Integer y1, Integer x2, Integer y2, TIESelOp op,
                            bool square) {
  if (x1 == x2 || y1 == y2) return;
  if (SelectionBase == iesbClientArea) {
    x1 = XScr2Bmp(x1);
    y1 = YScr2Bmp(y1);
    x2 = XScr2Bmp(x2);
    y2 = YScr2Bmp(y2);
  }
  selected_ = true;
  if (op == iespAdd && currentPoly_->Count > 0)
    AnimPolygonAddBreak(currentPoly_);
  else
    AnimPolygonClear(currentPoly_);
  if (op == iespReplace) mask_->Empty();
  if (square) y2 = y1 + (x2 - x1);
  const Integer W = layersWidth_, H = layersHeight_;
  x1 = std::clamp(x1, 0, std::max(W - 1, 0));
  x2 = std::clamp(x2, 0, std::max(W - 1, 0));
  y1 = std::clamp(y1, 0, std::max(H - 1, 0));
  y2 = std::clamp(y2, 0, std::max(H - 1, 0));
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  ++x2;
  ++y2;
  AnimPolygonAddPtEx(currentPoly_, x1, y1);
  AnimPolygonAddPtEx(currentPoly_, x2, y1);
  AnimPolygonAddPtEx(currentPoly_, x2, y2);
  AnimPolygonAddPtEx(currentPoly_, x1, y2);
  ShowSelectionEx(true);
}

void TDadirAvView::Select(Integer x1, Integer y1, Integer x2, Integer y2, TIESelOp op) {
  SelectEx(x1, y1, x2, y2, op, false);
  if (op == iespReplace) mask_->Empty();
  EndSelect();
  backDirty_ = true;
  Paint();
}

void TDadirAvView::DeSelect() {
  if (selected_) {
    selected_ = false;
    HideSelectionEx(true);
  }
  if (currentPoly_ != nullptr) AnimPolygonClear(currentPoly_);
  mask_->Empty();
  selected_ = polySelecting_ = lassoSelecting_ = rectSelecting_ = circleSelecting_ = false;
  resizingGrip_ = movingGrip_ = -1;
  TIEView::SetCursor(viewCursor_);
}

namespace {
bool PolygonBoxInUse(bool poly, bool rect, bool circle, Integer resizing, Integer moving,
                     bool movingRect) {
  return poly || rect || circle || resizing >= 0 || moving >= 0 || movingRect;
}
}  // namespace

Integer TDadirAvView::GetSelX1() {
  if (PolygonBoxInUse(polySelecting_, rectSelecting_, circleSelecting_, resizingGrip_,
                      movingGrip_, movingRect_))
    return currentPoly_->X1;
  return mask_->GetX1();
}

Integer TDadirAvView::GetSelY1() {
  if (PolygonBoxInUse(polySelecting_, rectSelecting_, circleSelecting_, resizingGrip_,
                      movingGrip_, movingRect_))
    return currentPoly_->Y1;
  return mask_->GetY1();
}

Integer TDadirAvView::GetSelX2() {
  if (PolygonBoxInUse(polySelecting_, rectSelecting_, circleSelecting_, resizingGrip_,
                      movingGrip_, movingRect_))
    return currentPoly_->X2 - 1;
  return mask_->GetX2();
}

Integer TDadirAvView::GetSelY2() {
  if (PolygonBoxInUse(polySelecting_, rectSelecting_, circleSelecting_, resizingGrip_,
                      movingGrip_, movingRect_))
    return currentPoly_->Y2 - 1;
  return mask_->GetY2();
}

TPoint TDadirAvView::GetPolySel(Integer index) const {
  if (currentPoly_ == nullptr || index < 0 || index >= currentPoly_->Count) return TPoint{0, 0};
  return currentPoly_->Points[static_cast<size_t>(index)];
}

Integer TDadirAvView::GetPolySelCount() const {
  return currentPoly_ != nullptr ? currentPoly_->Count : 0;
}

TPoint* TDadirAvView::GetPolySelArray() {
  return currentPoly_ != nullptr && !currentPoly_->Points.empty() ? currentPoly_->Points.data()
                                                                   : nullptr;
}

bool TDadirAvView::IsPointInsideSelection(Integer x, Integer y) {
  if (SelectionBase == iesbClientArea) {
    x = XScr2Bmp(x);
    y = YScr2Bmp(y);
  }
  if (x < 0 || y < 0 || x >= mask_->GetWidth() || y >= mask_->GetHeight()) return false;
  return mask_->GetPixel(x, y) != 0;
}

void TDadirAvView::ShowSelectionEx(bool redraw) {
  if (currentPoly_ == nullptr) return;
  currentPoly_->Visible = true;
  if (redraw) AniPolyFunc(this, true);
}

void TDadirAvView::HideSelectionEx(bool repaint) {
  if (currentPoly_ == nullptr) return;
  currentPoly_->Visible = false;
  if (repaint && paintLock_ == 0) {
    backDirty_ = true;
    fullRepaint_ = true;
    Paint();
  }
}

bool TDadirAvView::GetVisibleSelection() const {
  return currentPoly_ != nullptr && currentPoly_->Visible;
}

void TDadirAvView::SetVisibleSelection(bool value) {
  if (value)
    ShowSelectionEx(true);
  else
    HideSelectionEx(true);
  Update();
}

void TDadirAvView::SetSelectionOptions(TIESelectionOptions value) {
  selectionOptions_ = value;
  if (currentPoly_ != nullptr) {
    currentPoly_->Animated = value.Contains(iesoAnimated);
    currentPoly_->Sizeable = value.Contains(iesoSizeable);
  }
  Update();
}

// --- Ellipses, points and the magic wand -----------------------------------------------------

namespace {

constexpr Integer kBreak = TIEMask::kPolygonBreak;

bool IsBreakPoint(const TPoint& p) { return p.x == kBreak && p.y == kBreak; }

// The points of an ellipse outline of radii rx, ry around (cx, cy): a quarter of the
// smaller circumference, at least 3, each limited to 0..w, 0..h.
void EllipsePoints(Integer cx, Integer cy, Integer rx, Integer ry, Integer w, Integer h,
                   std::vector<TPoint>& out) {
  const double smaller = static_cast<double>(std::min(rx, ry));
  Integer n = dadiravview::TruncSat(smaller * 2 * std::numbers::pi) / 4;
  n = std::max(n, 3);
  out.clear();
  out.reserve(static_cast<size_t>(n));
  for (Integer i = 0; i < n; ++i) {
    const double a = 2 * std::numbers::pi / n * i;
    const Integer px = dadiravview::TruncSat(std::cos(a) * rx + cx);
    const Integer py = dadiravview::TruncSat(std::sin(a) * ry + cy);
    out.push_back(TPoint{std::clamp(px, 0, w), std::clamp(py, 0, h)});
  }
}

}  // namespace

void TDadirAvView::SelectEllipse(Integer cx, Integer cy, Integer width, Integer height,
                                 TIESelOp op) {
  if (SelectionBase == iesbClientArea) {
    cx = XScr2Bmp(cx);
    cy = YScr2Bmp(cy);
    width = dadiravview::TruncSat(width * 100.0 / zoom_);
    height = dadiravview::TruncSat(height * 100.0 / zoom_);
  }
  if (width <= 0 || height <= 0) return;
  selected_ = true;
  if (op == iespAdd && currentPoly_->Count > 0)
    AnimPolygonAddBreak(currentPoly_);
  else
    AnimPolygonClear(currentPoly_);
  std::vector<TPoint> pts;
  EllipsePoints(cx, cy, width / 2, height / 2, layersWidth_, layersHeight_, pts);
  for (const TPoint& p : pts) AnimPolygonAddPtEx(currentPoly_, p.x, p.y);
  if (op == iespReplace) mask_->Empty();
  EndSelect();
  backDirty_ = true;
  Paint();
  ShowSelectionEx(true);
}

void TDadirAvView::SelectMagicWand(Integer x, Integer y, TIESelOp op) {
  if (SelectionBase == iesbClientArea) {
    x = XScr2Bmp(x);
    y = YScr2Bmp(y);
  }
  const Integer W = layersWidth_, H = layersHeight_;
  // The seed must be a pixel of the image.
  if (x < 0 || y < 0 || x >= W || y >= H) return;
  switch (WandMode) {
    case iewInclusive: {
      Integer count = 0;
      std::unique_ptr<POINT[]> pts =
          _MakeMagicWandPoints(ieBitmap_, x, y, WandMaxFilter, WandTolerance, count);
      if (pts != nullptr && count > 0) {
        selected_ = true;
        if (op == iespAdd && currentPoly_->Count > 0) {
          AnimPolygonAddBreak(currentPoly_);
        } else {
          AnimPolygonClear(currentPoly_);
          mask_->Empty();
        }
        for (Integer i = 0; i < count; ++i)
          AnimPolygonAddPtEx(currentPoly_, std::clamp<Integer>(pts[i].x, 0, W),
                             std::clamp<Integer>(pts[i].y, 0, H));
        pts.reset();
        if (op == iespReplace) mask_->Empty();
        EndSelect();
        ShowSelectionEx(true);
      }
      break;
    }
    case iewExclusive:
    case iewGlobal:
      if (op == iespReplace) {
        AnimPolygonClear(currentPoly_);
        mask_->Empty();
      }
      if (WandMode == iewExclusive)
        _MakeMagicWandPointsEx(ieBitmap_, x, y, WandMaxFilter, WandTolerance, mask_.get());
      else
        _MakeMagicWandPointsEx2(ieBitmap_, x, y, WandTolerance, mask_.get());
      selected_ = !mask_->IsEmpty();
      ShowSelectionEx(true);
      break;
  }
  backDirty_ = true;
  Paint();
}

void TDadirAvView::AddSelPointEx(Integer x, Integer y) {
  if (SelectionBase == iesbClientArea) {
    x = XScr2Bmp(x);
    y = YScr2Bmp(y);
  }
  // Always inside 0..W, 0..H: the outline is drawn and filled from these points.
  x = std::clamp(x, 0, layersWidth_);
  y = std::clamp(y, 0, layersHeight_);
  AnimPolygonAddPt(currentPoly_, x, y);
  ShowSelectionEx(true);
}

void TDadirAvView::AddSelPoint(Integer x, Integer y) {
  AddSelPointEx(x, y);
  if (currentPoly_->Count > 2) {
    mask_->Empty();
    EndSelect();
  }
  backDirty_ = true;
  Paint();
}

void TDadirAvView::AddSelBreak() {
  if (currentPoly_->Count > 0) AnimPolygonAddBreak(currentPoly_);
}

void TDadirAvView::AddSelBreakEx() { AddSelBreak(); }

void TDadirAvView::InvertSelection() {
  AnimPolygonClear(currentPoly_);
  ShowSelectionEx(true);
  mask_->Negative();
  // Everything inverted away leaves nothing selected.
  if (mask_->IsEmpty()) selected_ = false;
  backDirty_ = true;
  Paint();
}

// --- Resizing and moving -------------------------------------------------------------------

Integer TDadirAvView::SelectResizeEx(Integer grip, Integer x, Integer y, bool keepAspect) {
  if (!_IsRectangle(currentPoly_->Points.data(), currentPoly_->Count)) return grip;
  x = XScr2Bmp(x);
  y = YScr2Bmp(y);
  Integer g = grip;
  if (keepAspect) {
    const double bx1 = resizeBox_[0], by1 = resizeBox_[1];
    const double bx2 = resizeBox_[2], by2 = resizeBox_[3];
    const double h = by2 - by1 + 1;
    const double f = (bx2 - bx1 + 1) / (h == 0 ? 1 : h);
    // A box of no height or no width has no aspect to keep.
    if (h == 0 || f == 0) return grip;
    using dadiravview::RoundSat;
    switch (grip) {
      case 0:
      case 4:
        y = RoundSat(by2 + 1 + (x - bx2 - 1) / f);
        g = 0;
        break;
      case 1:
        y = RoundSat(by2 + (bx1 - x - 1) / f);
        break;
      case 2:
      case 5:
        y = RoundSat(by1 - 1 + (x - bx1 + 1) / f);
        g = 2;
        break;
      case 3:
        y = RoundSat(by1 + 1 + (bx2 - x + 1) / f);
        break;
      case 6:
        x = RoundSat(bx2 + 1 + f * (y - by2 - 1));
        g = 0;
        break;
      case 7:
        x = RoundSat(bx1 - 1 + f * (y - by1 + 1));
        g = 2;
        break;
      default:
        break;
    }
  }
  if ((g == 1 || g == 2 || g == 5) && x < 2147483647) ++x;
  if ((g == 2 || g == 3 || g == 7) && y < 2147483647) ++y;
  Integer x1 = currentPoly_->X1, y1 = currentPoly_->Y1;
  Integer x2 = currentPoly_->X2, y2 = currentPoly_->Y2;
  if (g == 0 || g == 3 || g == 4) {
    x1 = x;
    if (x1 == x2) --x1;
  }
  if (g == 1 || g == 2 || g == 5) {
    x2 = x;
    if (x2 == x1) ++x2;
  }
  if (g == 0 || g == 1 || g == 6) {
    y1 = y;
    if (y1 == y2) --y1;
  }
  if (g == 2 || g == 3 || g == 7) {
    y2 = y;
    if (y2 == y1) ++y2;
  }
  Integer result = grip;
  if (x1 > x2) {
    static constexpr Integer kMirrorX[8] = {1, 0, 3, 2, 5, 4, 6, 7};
    if (result >= 0 && result < 8) result = kMirrorX[result];
  }
  if (y1 > y2) {
    static constexpr Integer kMirrorY[8] = {3, 2, 1, 0, 4, 5, 7, 6};
    if (result >= 0 && result < 8) result = kMirrorY[result];
  }
  AnimPolygonClear(currentPoly_);
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  x1 = std::clamp(x1, 0, layersWidth_);
  x2 = std::clamp(x2, 0, layersWidth_);
  y1 = std::clamp(y1, 0, layersHeight_);
  y2 = std::clamp(y2, 0, layersHeight_);
  AnimPolygonAddPtEx(currentPoly_, x1, y1);
  AnimPolygonAddPtEx(currentPoly_, x2, y1);
  AnimPolygonAddPtEx(currentPoly_, x2, y2);
  AnimPolygonAddPtEx(currentPoly_, x1, y2);
  ShowSelectionEx(true);
  return result;
}

Integer TDadirAvView::SelectMoveEx(Integer grip, Integer dx, Integer dy) {
  movingRect_ = _IsRectangle(currentPoly_->Points.data(), currentPoly_->Count);
  const bool cut = selectionOptions_.Contains(iesoCutBorders);
  if (!movingRect_) mask_->TranslateBitmap(dx, dy, cut);
  if (dx != 0 || dy != 0) {
    AnimPolygonMove(currentPoly_, dx, dy, layersWidth_, layersHeight_, cut);
    AniPolyFunc(this, true);
  }
  return grip;
}

void TDadirAvView::MoveSelection(Integer dx, Integer dy) { SelectMoveEx(0, dx, dy); }

// --- The selection stream and the saved selections ----------------------------------------------

namespace {

void WriteInt(TStream* s, Integer v) { s->WriteBuffer(&v, 4); }
void WriteByte(TStream* s, bool v) {
  const Byte b = v ? 1 : 0;
  s->WriteBuffer(&b, 1);
}

// Reads exactly count bytes; false at a short stream.
bool ReadExact(TStream* s, void* buffer, Integer count) {
  auto* p = static_cast<Byte*>(buffer);
  while (count > 0) {
    const Integer got = s->Read(p, count);
    if (got <= 0) return false;
    p += got;
    count -= got;
  }
  return true;
}

bool ReadInt(TStream* s, Integer& v) { return ReadExact(s, &v, 4); }

}  // namespace

void TDadirAvView::SaveSelectionToStream(TStream* stream) {
  WriteInt(stream, mask_->GetWidth());
  WriteInt(stream, mask_->GetHeight());
  const Integer n = currentPoly_->Count;
  WriteInt(stream, n);
  for (Integer i = 0; i < n; ++i) {
    WriteInt(stream, currentPoly_->Points[static_cast<size_t>(i)].x);
    WriteInt(stream, currentPoly_->Points[static_cast<size_t>(i)].y);
  }
  WriteInt(stream, currentPoly_->X1);
  WriteInt(stream, currentPoly_->Y1);
  WriteInt(stream, currentPoly_->X2);
  WriteInt(stream, currentPoly_->Y2);
  WriteByte(stream, selected_);
  WriteInt(stream, mask_->GetBitsPerPixel());
  WriteInt(stream, mask_->GetX1());
  WriteInt(stream, mask_->GetY1());
  WriteInt(stream, mask_->GetX2());
  WriteInt(stream, mask_->GetY2());
  WriteByte(stream, mask_->GetFull());
  const Int64 bytes = static_cast<Int64>(mask_->GetRowLen()) * mask_->GetHeight();
  if (bytes > 0) stream->WriteBuffer(mask_->GetBits(), static_cast<Integer>(bytes));
}

bool TDadirAvView::LoadSelectionFromStream(TStream* stream) {
  if (stream == nullptr) return false;
  Integer w = 0, h = 0;
  if (!ReadInt(stream, w) || !ReadInt(stream, h)) return false;
  const Integer W = mask_->GetWidth(), H = mask_->GetHeight();
  if (w != W || h != H || W <= 0 || H <= 0) return false;
  // Everything is read and checked before the selection changes.
  const Int64 remaining = stream->GetSize() - stream->GetPosition();
  Integer n = 0;
  if (!ReadInt(stream, n) || n < 0 || Int64{n} * 8 > remaining - 4) return false;
  std::vector<TPoint> points(static_cast<size_t>(n));
  for (Integer i = 0; i < n; ++i) {
    TPoint& p = points[static_cast<size_t>(i)];
    if (!ReadInt(stream, p.x) || !ReadInt(stream, p.y)) return false;
    // Every point the view makes is a break or lies on the image.
    if (!IsBreakPoint(p) && (p.x < 0 || p.y < 0 || p.x > W || p.y > H)) return false;
  }
  Integer box[4];
  for (Integer& v : box)
    if (!ReadInt(stream, v)) return false;
  Byte selected = 0, full = 0;
  Integer bpp = 0;
  Integer maskBox[4];
  if (!ReadExact(stream, &selected, 1) || !ReadInt(stream, bpp) || (bpp != 1 && bpp != 8))
    return false;
  for (Integer& v : maskBox)
    if (!ReadInt(stream, v)) return false;
  if (!ReadExact(stream, &full, 1)) return false;
  const bool emptyBox = maskBox[0] == TIEMask::kEmptyBoxX1;
  if (!emptyBox && (maskBox[0] < 0 || maskBox[1] < 0 || maskBox[0] > maskBox[2] ||
                    maskBox[1] > maskBox[3] || maskBox[2] >= W || maskBox[3] >= H))
    return false;
  const Int64 bytes = Int64{_BitmapRowLen(W, bpp)} * H;
  if (bytes > stream->GetSize() - stream->GetPosition()) return false;
  std::vector<Byte> bits(static_cast<size_t>(bytes));
  if (!ReadExact(stream, bits.data(), static_cast<Integer>(bytes))) return false;

  currentPoly_->Points.assign(static_cast<size_t>(n) + 64, TPoint{0, 0});
  std::copy(points.begin(), points.end(), currentPoly_->Points.begin());
  currentPoly_->Count = n;
  currentPoly_->X1 = std::clamp(box[0], 0, W);
  currentPoly_->Y1 = std::clamp(box[1], 0, H);
  currentPoly_->X2 = std::clamp(box[2], 0, W);
  currentPoly_->Y2 = std::clamp(box[3], 0, H);
  selected_ = selected != 0;
  mask_->AllocateBits(W, H, bpp);
  std::copy(bits.begin(), bits.end(), mask_->GetBits());
  if (emptyBox)
    mask_->SetEmptyBox();
  else
    mask_->SetBox(maskBox[0], maskBox[1], maskBox[2], maskBox[3]);
  mask_->SetFull(full != 0);
  ShowSelectionEx(true);
  Update();
  return true;
}

void TDadirAvView::SaveSelection() {
  auto stream = std::make_unique<TMemoryStream>();
  SaveSelectionToStream(stream.get());
  savedSelections_.push_back(std::move(stream));
}

bool TDadirAvView::RestoreSelection() {
  if (savedSelections_.empty()) return false;
  std::unique_ptr<TMemoryStream> top = std::move(savedSelections_.back());
  savedSelections_.pop_back();
  top->SetPosition(0);
  return LoadSelectionFromStream(top.get());
}

// --- Copies ---------------------------------------------------------------------------------------

void TDadirAvView::CopySelectionToBitmap(TBitmap* target) {
  if (target == nullptr || legacyBitmap_ == nullptr || mask_->IsEmpty()) return;
  const TIEPixelFormat format = ieBitmap_->GetPixelFormat();
  if (format == ie1g)
    target->SetPixelFormat(pf1bit);
  else if (format == ie24RGB)
    target->SetPixelFormat(pf24bit);
  else
    return;
  target->SetSize(mask_->GetX2() - mask_->GetX1() + 1, mask_->GetY2() - mask_->GetY1() + 1);
  mask_->CopyBitmap(target, legacyBitmap_, true, false);
}

void TDadirAvView::AssignSelTo(TObject* target) {
  if (target == nullptr || legacyBitmap_ == nullptr) return;
  auto fill = [this](TBitmap* dest) {
    if (mask_->IsEmpty())
      IECopyBitmap(legacyBitmap_, dest);
    else
      CopySelectionToBitmap(dest);
  };
  if (auto* view = dynamic_cast<TDadirAvView*>(target)) {
    if (view == this || view->GetBitmap() == nullptr) return;
    fill(view->GetBitmap());
    view->GetIEBitmap()->EncapsulateTBitmap(view->GetBitmap(), false);
    view->TIEView::SetBackGround(GetBackground());
    view->SetDPI(GetDPIX(), GetDPIY());
    view->Update();
    view->ImageChange();
  } else if (auto* bitmap = dynamic_cast<TBitmap*>(target)) {
    fill(bitmap);
    bitmap->SetModified(true);
  } else if (auto* image = dynamic_cast<TImage*>(target)) {
    TBitmap* dest = image->GetPicture()->GetBitmap();
    fill(dest);
    dest->SetModified(true);
  }
}

void TDadirAvView::CopyFromPolygon(TBitmap* source, const TPoint* points, Integer count,
                                   TPoint p) {
  if (source == nullptr || legacyBitmap_ == nullptr) return;
  _CopyPolygonToPoint(source, points, count, legacyBitmap_, p);
  ieBitmap_->EncapsulateTBitmap(legacyBitmap_, false);
  Update();
}

void TDadirAvView::CopyToPolygon(TBitmap* target, const TPoint* points, Integer count, TPoint p) {
  if (target == nullptr || legacyBitmap_ == nullptr) return;
  _CopyPointToPolygon(legacyBitmap_, points, count, target, p);
}

// --- Events ---------------------------------------------------------------------------------------

void TDadirAvView::DoSelectionChanging() {
  if (OnSelectionChanging) OnSelectionChanging(this);
}

void TDadirAvView::DoSelectionChange() {
  if (OnSelectionChange) OnSelectionChange(this);
}

void TDadirAvView::DoBeforeSelectionChange() {
  if (OnBeforeSelectionChange) OnBeforeSelectionChange(this);
}
