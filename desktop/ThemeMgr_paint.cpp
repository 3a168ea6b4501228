// The window procedures the main theme manager puts in front of each family's
// controls, and the themed drawing of buttons, group boxes and panels.
#include <algorithm>

#include "desktop/ThemeMgr.h"
#include "platform/rtl/CodePage.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/ScrollBox.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/win/GdiText.h"
#include "platform/win/Input.h"
#include "platform/win/Window.h"

namespace {

bool ThemesOn() { return ThemeServices()->GetThemesEnabled(); }

bool IsKeyDown(UINT msg) { return msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN || msg == CN_KEYDOWN; }

// Whether the cursor is over the control now.
bool CursorOver(TControl* control) {
  POINT p{0, 0};
  if (!GetCursorPos(&p) || !control->GetParent()) return false;
  const TPoint local = control->ScreenToClient(TPoint{p.x, p.y});
  return local.x >= 0 && local.y >= 0 && local.x < control->GetWidth() && local.y < control->GetHeight();
}

// The glyph strip of a bit button or speed button (null for others).
TBitmap* GlyphOf(TControl* control, Integer& numGlyphs, TButtonLayout& layout, Integer& margin, Integer& spacing) {
  if (auto* b = dynamic_cast<TBitBtn*>(control)) {
    numGlyphs = std::max<Integer>(1, b->GetNumGlyphs());
    layout = b->GetLayout();
    margin = b->GetMargin();
    spacing = b->GetSpacing();
    return b->GetGlyph()->GetEmpty() ? nullptr : b->GetGlyph();
  }
  if (auto* s = dynamic_cast<TSpeedButton*>(control)) {
    numGlyphs = std::max<Integer>(1, s->GetNumGlyphs());
    layout = s->GetLayout();
    margin = s->GetMargin();
    spacing = s->GetSpacing();
    return s->GetGlyph()->GetEmpty() ? nullptr : s->GetGlyph();
  }
  numGlyphs = 1;
  layout = blGlyphLeft;
  margin = -1;
  spacing = -1;
  return nullptr;
}

}  // namespace

// --- layout and buttons --------------------------------------------------------------

TButtonLayoutResult LayoutButtonContent(TPoint client, TPoint glyph, TPoint caption, TButtonLayout layout,
                                        Integer margin, Integer spacing) {
  const bool horizontal = layout == blGlyphLeft || layout == blGlyphRight;
  // Along the layout's axis (a) and across it (c).
  const Integer clientA = horizontal ? client.x : client.y;
  const Integer glyphA = horizontal ? glyph.x : glyph.y;
  const Integer captionA = horizontal ? caption.x : caption.y;
  if (captionA == 0 || glyphA == 0) spacing = 0;
  if (margin == -1 && spacing == -1) {
    margin = spacing = (clientA - glyphA - captionA) / 3;
  } else if (margin == -1) {
    margin = (clientA - (glyphA + spacing + captionA) + 1) >> 1;
  } else if (spacing == -1) {
    spacing = (clientA - margin - glyphA - captionA) / 2;
  }
  Integer glyphAt;
  Integer captionAt;
  if (layout == blGlyphLeft || layout == blGlyphTop) {
    glyphAt = margin;
    captionAt = margin + glyphA + spacing;
  } else {
    glyphAt = clientA - margin - glyphA;
    captionAt = glyphAt - spacing - captionA;
  }
  TButtonLayoutResult result;
  if (horizontal) {
    result.GlyphPos = TPoint{glyphAt, (client.y - glyph.y + 1) >> 1};
    const Integer top = (client.y - caption.y + 1) >> 1;
    result.TextBounds = TRect{captionAt, top, captionAt + caption.x, top + caption.y};
  } else {
    result.GlyphPos = TPoint{(client.x - glyph.x + 1) >> 1, glyphAt};
    const Integer left = (client.x - caption.x + 1) >> 1;
    result.TextBounds = TRect{left, captionAt, left + caption.x, captionAt + caption.y};
  }
  return result;
}

void DrawButton(TControl* control, Integer state, bool focused, const TRect& rect, HDC dc) {
  TThemeServices* services = ThemeServices();
  Integer numGlyphs = 1;
  TButtonLayout layout = blGlyphLeft;
  Integer margin = -1;
  Integer spacing = -1;
  TBitmap* glyph = GlyphOf(control, numGlyphs, layout, margin, spacing);
  auto* speed = dynamic_cast<TSpeedButton*>(control);
  Integer source = 0;
  if (glyph) {
    const Integer imageWidth = glyph->GetWidth() / numGlyphs;
    if (state == 5 && numGlyphs >= 2) {
      source = imageWidth;
    } else if (state == 4 && numGlyphs >= 3) {
      source = 2 * imageWidth;
    }
  }
  const Integer offset = std::clamp<Integer>(state, 2, 6) - 2;
  const TThemedElementDetails details =
      speed && speed->GetFlat()
          ? GetElementDetails(static_cast<TThemedToolBar>(static_cast<int>(ttbButtonNormal) + std::min(offset, 3)))
          : GetElementDetails(static_cast<TThemedButton>(static_cast<int>(tbPushButtonNormal) + offset));
  services->DrawElement(dc, details, rect);
  const TRect content = services->ContentRect(dc, details, rect);

  const HGDIOBJ oldFont = SelectObject(dc, control->GetFont()->GetHandle());
  const AnsiString caption = control->GetCaption();
  SIZE captionSize{0, 0};
  if (!caption.empty()) {
    RECT measured{0, 0, 0, 0};
    DrawText(dc, caption.c_str(), static_cast<Integer>(caption.size()), &measured, DT_CALCRECT | DT_SINGLELINE);
    captionSize = SIZE{measured.right - measured.left, measured.bottom - measured.top};
  }
  const TPoint glyphSize = glyph ? TPoint{glyph->GetWidth() / numGlyphs, glyph->GetHeight()} : TPoint{0, 0};
  const TButtonLayoutResult placed = LayoutButtonContent(
      TPoint{content.right - content.left, content.bottom - content.top}, glyphSize,
      TPoint{captionSize.cx, captionSize.cy}, layout, margin, spacing);

  if (glyph) {
    // One image of the strip, drawn through its transparent colour.
    TBitmap image;
    image.SetSize(glyphSize.x, glyphSize.y);
    image.GetCanvas()->CopyRect(TRect{0, 0, glyphSize.x, glyphSize.y}, glyph->GetCanvas(),
                                TRect{source, 0, source + glyphSize.x, glyphSize.y});
    image.SetTransparent(true);
    TCanvas canvas;
    canvas.SetHandle(dc);
    canvas.Draw(content.left + placed.GlyphPos.x, content.top + placed.GlyphPos.y, &image);
    canvas.SetHandle(0);
    // The canvas leaves its own font in the dc.
    SelectObject(dc, control->GetFont()->GetHandle());
  }
  if (!caption.empty()) {
    const COLORREF oldColor = SetTextColor(
        dc, state == 5 ? GetSysColor(COLOR_GRAYTEXT) : static_cast<COLORREF>(ColorToRGB(control->GetFont()->GetColor())));
    const Integer oldMode = SetBkMode(dc, TRANSPARENT);
    RECT r{content.left + placed.TextBounds.left, content.top + placed.TextBounds.top,
           content.left + placed.TextBounds.right, content.top + placed.TextBounds.bottom};
    DrawText(dc, caption.c_str(), static_cast<Integer>(caption.size()), &r,
             DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
    SetBkMode(dc, oldMode);
    SetTextColor(dc, oldColor);
  }
  SelectObject(dc, oldFont);
  if (focused) {
    SetTextColor(dc, RGB(0, 0, 0));
    const RECT focus{content.left, content.top, content.right, content.bottom};
    DrawFocusRect(dc, &focus);
  }
}

// --- the family procedures ---------------------------------------------------------------

void TThemeManager::FamilyWindowProc(TControlFamily family, TControl* control, TMessage& message) {
  if (family == TControlFamily::Forms && message.Msg == CM_CONTROLLISTCHANGE) {
    HandleControlChange(reinterpret_cast<TControl*>(message.WParam), message.LParam != 0);
  }
  if (DoControlMessage(control, message)) return;
  switch (family) {
    case TControlFamily::ButtonControls: ButtonControlWindowProc(control, message); return;
    case TControlFamily::SpeedButtons: SpeedButtonWindowProc(control, message); return;
    case TControlFamily::GroupBoxes: GroupBoxWindowProc(control, message); return;
    case TControlFamily::TabSheets: TabSheetWindowProc(control, message); return;
    case TControlFamily::Panels: PanelWindowProc(control, message); return;
    case TControlFamily::ListViews: ListviewWindowProc(control, message); return;
    case TControlFamily::StatusBars: StatusBarWindowProc(control, message); return;
    case TControlFamily::Splitters: SplitterWindowProc(control, message); return;
    case TControlFamily::Forms: FormWindowProc(control, message); return;
    case TControlFamily::WinControls: WinControlWindowProc(control, message); return;
    // Our track bars and check list boxes draw themselves without the custom-draw and
    // owner-draw messages the manager would answer: their messages pass on.
    case TControlFamily::TrackBars:
    case TControlFamily::CheckListBoxes: List(family).DispatchMessage(control, message); return;
  }
}

void TThemeManager::ButtonControlWindowProc(TControl* control, TMessage& message) {
  TWindowProcList& list = List(TControlFamily::ButtonControls);
  auto* button = dynamic_cast<TButton*>(control);
  if (!ThemesOn()) {
    list.DispatchMessage(control, message);
    return;
  }
  switch (message.Msg) {
    case WM_ERASEBKGND:
      message.Result = 1;
      return;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      if (button) control->Invalidate();  // hot tracking
      list.DispatchMessage(control, message);
      return;
    case WM_PAINT:
      // Our push buttons paint themselves rather than asking their parent to draw them,
      // so the themed face is drawn here on their own paint.
      if (button) {
        auto* w = static_cast<TWinControl*>(control);
        PAINTSTRUCT ps{};
        HDC dc = reinterpret_cast<HDC>(message.WParam);
        const bool own = dc == 0;
        if (own) dc = BeginPaint(w->GetHandle(), &ps);
        const TRect r = control->GetClientRect();
        ThemeServices()->DrawParentBackground(w->GetHandle(), dc, &static_cast<const TThemedElementDetails&>(
                                                                      GetElementDetails(tbPushButtonNormal)),
                                              true, &r);
        const bool focused = w->Focused();
        Integer state = 2;
        if (!control->GetEnabled()) {
          state = 5;
        } else if (button->GetPressed()) {
          state = 4;
        } else if (CursorOver(control)) {
          state = 3;
        } else if (button->GetDefault() || focused) {
          state = 6;
        }
        DrawButton(control, state, focused, r, dc);
        if (own) EndPaint(w->GetHandle(), &ps);
        message.Result = 0;
        return;
      }
      break;
    case CN_CTLCOLORBTN:
    case CN_CTLCOLORSTATIC: {
      auto* w = static_cast<TWinControl*>(control);
      ThemeServices()->DrawParentBackground(w->GetHandle(), reinterpret_cast<HDC>(message.WParam), nullptr, false);
      message.Result = static_cast<LRESULT>(GetStockObject(NULL_BRUSH));
      return;
    }
    default:
      if (IsKeyDown(message.Msg)) UpdateUIState(control, static_cast<Word>(message.WParam));
      break;
  }
  list.DispatchMessage(control, message);
}

void TThemeManager::SpeedButtonWindowProc(TControl* control, TMessage& message) {
  TWindowProcList& list = List(TControlFamily::SpeedButtons);
  auto* button = static_cast<TSpeedButton*>(control);
  if (!ThemesOn()) {
    list.DispatchMessage(control, message);
    return;
  }
  if (message.Msg == WM_PAINT && message.WParam != 0) {
    const HDC dc = reinterpret_cast<HDC>(message.WParam);
    PerformEraseBackground(control, dc);
    Integer state = 2;
    if (!control->GetEnabled()) {
      state = 5;
    } else if (button->GetDown()) {
      state = 4;
    } else if (button->GetFlat() ? button->GetMouseInControl() : CursorOver(control)) {
      state = 3;
    }
    DrawButton(control, state, false, control->GetClientRect(), dc);
    message.Result = 0;
    return;
  }
  if ((message.Msg == CM_MOUSEENTER || message.Msg == CM_MOUSELEAVE) && !button->GetFlat() &&
      control->GetEnabled()) {
    control->Invalidate();
  }
  list.DispatchMessage(control, message);
}

void TThemeManager::GroupBoxWindowProc(TControl* control, TMessage& message) {
  TWindowProcList& list = List(TControlFamily::GroupBoxes);
  if (!ThemesOn()) {
    list.DispatchMessage(control, message);
    return;
  }
  auto* box = static_cast<TWinControl*>(control);
  switch (message.Msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps{};
      HDC dc = reinterpret_cast<HDC>(message.WParam);
      const bool own = dc == 0;
      if (own) dc = BeginPaint(box->GetHandle(), &ps);
      const Integer saved = SaveDC(dc);
      SelectObject(dc, control->GetFont()->GetHandle());
      const AnsiString caption = control->GetCaption();
      SIZE extent{0, 0};
      if (!caption.empty()) GetTextExtentPoint32(dc, caption.c_str(), static_cast<Integer>(caption.size()), &extent);
      const TRect client = control->GetClientRect();
      const TRect captionRect{8, 0, 8 + extent.cx, extent.cy};
      const TRect frame{client.left, client.top + extent.cy / 2, client.right, client.bottom};
      const TThemedElementDetails details =
          GetElementDetails(control->GetEnabled() ? tbGroupBoxNormal : tbGroupBoxDisabled);
      if (!caption.empty()) ExcludeClipRect(dc, captionRect.left, captionRect.top, captionRect.right, captionRect.bottom);
      ThemeServices()->DrawElement(dc, details, frame);
      RestoreDC(dc, saved);
      if (!caption.empty()) {
        const Integer again = SaveDC(dc);
        SelectObject(dc, control->GetFont()->GetHandle());
        SetTextColor(dc, static_cast<COLORREF>(ColorToRGB(control->GetFont()->GetColor())));
        ThemeServices()->DrawText(dc, details, AnsiToWide(caption), captionRect, DT_LEFT, 0);
        RestoreDC(dc, again);
      }
      box->PaintControls(dc, nullptr);
      if (own) EndPaint(box->GetHandle(), &ps);
      message.Result = 0;
      return;
    }
    case WM_ERASEBKGND: {
      const TThemedElementDetails details = GetElementDetails(tbGroupBoxNormal);
      ThemeServices()->DrawParentBackground(box->GetHandle(), reinterpret_cast<HDC>(message.WParam), &details, true);
      message.Result = 1;
      return;
    }
    default:
      if (IsKeyDown(message.Msg)) UpdateUIState(control, static_cast<Word>(message.WParam));
      list.DispatchMessage(control, message);
  }
}

void TThemeManager::TabSheetWindowProc(TControl* control, TMessage& message) {
  TWindowProcList& list = List(TControlFamily::TabSheets);
  if (ThemesOn() && (message.Msg == WM_ERASEBKGND || message.Msg == WM_PRINTCLIENT)) {
    auto* sheet = static_cast<TWinControl*>(control);
    const HDC dc = reinterpret_cast<HDC>(message.WParam);
    if (options_.Contains(toAlternateTabSheetDraw)) {
      ThemeServices()->DrawElement(dc, GetElementDetails(ttBody), control->GetClientRect());
    } else {
      ThemeServices()->DrawParentBackground(sheet->GetHandle(), dc, nullptr, false);
    }
    message.Result = 1;
    return;
  }
  list.DispatchMessage(control, message);
}

void TThemeManager::PanelWindowProc(TControl* control, TMessage& message) {
  TWindowProcList& list = List(TControlFamily::Panels);
  auto* panel = static_cast<TCustomPanel*>(control);
  TWinControl* parent = panel->GetParent();
  const bool parentLook = parent && parent->GetBrush()->GetColor() == panel->GetColor();
  const bool ours = (ThemesOn() && panel->GetParentColor()) || parentLook;
  if (!ours) {
    list.DispatchMessage(control, message);
    return;
  }
  switch (message.Msg) {
    case WM_PAINT:
    case WM_PRINTCLIENT: {
      PAINTSTRUCT ps{};
      HDC dc = reinterpret_cast<HDC>(message.WParam);
      const bool own = dc == 0;
      if (own) dc = BeginPaint(panel->GetHandle(), &ps);
      TCanvas canvas;
      canvas.SetHandle(dc);
      canvas.GetFont()->Assign(panel->GetFont());
      TRect r = panel->GetClientRect();
      auto bevel = [&](TPanelBevel kind) {
        if (kind == bvNone) return;
        const TColor topLeft = kind == bvLowered ? clBtnShadow : clBtnHighlight;
        const TColor bottomRight = kind == bvLowered ? clBtnHighlight : clBtnShadow;
        // One ring per pixel of width, each ring moving the rectangle in.
        for (Integer i = 0; i < panel->GetBevelWidth(); ++i) {
          canvas.GetBrush()->SetColor(topLeft);
          canvas.FillRect(TRect{r.left, r.top, r.right - 1, r.top + 1});
          canvas.FillRect(TRect{r.left, r.top, r.left + 1, r.bottom - 1});
          canvas.GetBrush()->SetColor(bottomRight);
          canvas.FillRect(TRect{r.left, r.bottom - 1, r.right, r.bottom});
          canvas.FillRect(TRect{r.right - 1, r.top, r.right, r.bottom});
          InflateRect(&r, -1, -1);
        }
      };
      bevel(panel->GetBevelOuter());
      InflateRect(&r, -panel->GetBorderWidth(), -panel->GetBorderWidth());
      bevel(panel->GetBevelInner());
      if (!panel->GetParentColor() && !parentLook) {
        canvas.GetBrush()->SetColor(panel->GetColor());
        canvas.FillRect(r);
      } else if (parent) {
        ThemeServices()->DrawParentBackground(panel->GetHandle(), dc, nullptr, false, &r);
      }
      const AnsiString caption = panel->GetCaption();
      if (!caption.empty()) {
        const Integer height = canvas.TextHeight("W");
        r.top = (r.top + r.bottom - height) / 2;
        r.bottom = r.top + height;
        UINT flags = DT_EXPANDTABS | DT_VCENTER;
        const TAlignment a = panel->GetAlignment();
        flags |= a == taLeftJustify ? DT_LEFT : a == taRightJustify ? DT_RIGHT : DT_CENTER;
        canvas.GetBrush()->SetStyle(bsClear);
        DrawText(canvas.GetHandle(), caption.c_str(), static_cast<Integer>(caption.size()), &r, flags);
      }
      canvas.SetHandle(0);
      panel->PaintControls(dc, nullptr);
      if (own) EndPaint(panel->GetHandle(), &ps);
      message.Result = 0;
      return;
    }
    case WM_ERASEBKGND:
      ThemeServices()->DrawParentBackground(panel->GetHandle(), reinterpret_cast<HDC>(message.WParam), nullptr, false);
      message.Result = 1;
      return;
    default:
      list.DispatchMessage(control, message);
  }
}

void TThemeManager::ListviewWindowProc(TControl* control, TMessage& message) {
  // Our list views take columns through their own methods, not the column messages
  // whose image mask the manager would correct: everything passes on.
  List(TControlFamily::ListViews).DispatchMessage(control, message);
}

void TThemeManager::StatusBarWindowProc(TControl* control, TMessage& message) {
  TWindowProcList& list = List(TControlFamily::StatusBars);
  if (ThemesOn() && message.Msg == WM_ERASEBKGND) {
    ThemeServices()->DrawElement(reinterpret_cast<HDC>(message.WParam), GetElementDetails(tsStatusRoot),
                                 control->GetClientRect());
    message.Result = 1;
    return;
  }
  list.DispatchMessage(control, message);
  if (ThemesOn() && message.Msg == WM_NCCALCSIZE && message.WParam != 0) message.Result |= 0x300;
}

void TThemeManager::SplitterWindowProc(TControl* control, TMessage& message) {
  if (ThemesOn() && message.Msg == WM_PAINT && message.WParam != 0) {
    PerformEraseBackground(control, reinterpret_cast<HDC>(message.WParam));
    message.Result = 0;
    return;
  }
  List(TControlFamily::Splitters).DispatchMessage(control, message);
}

void TThemeManager::FormWindowProc(TControl* control, TMessage& message) {
  TWindowProcList& list = List(TControlFamily::Forms);
  if (ThemesOn() && (message.Msg == WM_ERASEBKGND || message.Msg == WM_PRINTCLIENT) && control->GetParent()) {
    auto* form = static_cast<TWinControl*>(control);
    ThemeServices()->DrawParentBackground(form->GetHandle(), reinterpret_cast<HDC>(message.WParam), nullptr, false);
    message.Result = 1;
    return;
  }
  list.DispatchMessage(control, message);
}

void TThemeManager::WinControlWindowProc(TControl* control, TMessage& message) {
  TWindowProcList& list = List(TControlFamily::WinControls);
  if (!ThemesOn()) {
    list.DispatchMessage(control, message);
    return;
  }
  auto* w = static_cast<TWinControl*>(control);
  if (message.Msg == WM_ERASEBKGND && dynamic_cast<TScrollBox*>(control)) {
    ThemeServices()->DrawParentBackground(w->GetHandle(), reinterpret_cast<HDC>(message.WParam), nullptr, false);
    message.Result = 1;
    return;
  }
  if (IsKeyDown(message.Msg)) UpdateUIState(control, static_cast<Word>(message.WParam));
  list.DispatchMessage(control, message);
  if (message.Msg == WM_NCPAINT) ThemeServices()->PaintBorder(w, false);
}
