// A person typing at the editing component after arming formats at the caret (Bold,
// a colour, a font), in overwrite mode (the Insert key, or the command the control
// sends), double-clicking words and cutting them; the window scrolling sideways over
// content wider than itself; the guide lines of borderless tables.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "EditorTestHost.h"
#include "MshtmlCommandSupport.h"
#include "platform/mshtml/Commands.h"
#include "platform/sim/Input.h"
#include "platform/sim/Screen.h"
#include "platform/win/Input.h"

using namespace edittest;
using mshtmltest::U;
using mshtmltest::W;

namespace {

HRESULT ExecNumber(Host& host, DWORD id, VARIANT* in = nullptr) {
  ComPtr<IOleCommandTarget> target = host.Object.As<IOleCommandTarget>();
  return target->Exec(&mshtml::CGID_MSHTML, id, OLECMDEXECOPT_DODEFAULT, in, nullptr);
}

HRESULT ExecName(Host& host, const char16_t* name, const std::string& value) {
  OleVariant v(W(value));
  return mshtml::ExecCommand(*host.Doc(), name, false, &v, nullptr);
}

std::string Selected(Host& host) {
  auto range = host.Doc()->GetSelection()->CreateRange();
  return range ? U(range->GetText()) : "<none>";
}

std::filesystem::path PictureFolder() {
  const auto out = std::filesystem::path(LARK_TEST_BINARY_DIR) / "mshtml-editor";
  std::filesystem::create_directories(out);
  return out;
}

TEST(MshtmlEditorTyping, ArmedFormatsAndOverwriteShapeWhatIsTyped) {
  struct Case {
    const char* Name;
    const char* Html;
    Integer Caret;
    std::function<void(Host&)> Steps;
    const char* Body;
  };
  auto type = [](const char* text) { return [text](Host&) { sim::TypeText(text); }; };
  auto press = [](UINT vk) { return [vk](Host&) { sim::PressKey(vk); }; };
  auto number = [](DWORD id) { return [id](Host& h) { ASSERT_EQ(ExecNumber(h, id), S_OK); }; };
  auto named = [](const char16_t* name, const char* value) {
    return [name, value](Host& h) { ASSERT_EQ(ExecName(h, name, value), S_OK); };
  };
  auto steps = [](std::vector<std::function<void(Host&)>> list) {
    return [list](Host& h) {
      for (const auto& s : list) {
        s(h);
        ASSERT_TRUE(larktest::PumpUntilIdle());
      }
    };
  };
  const Case cases[] = {
      {"Bold at the caret, then typing", "<p>ab</p>", 1, steps({number(mshtml::IDM_BOLD), type("XY")}),
       "<P>a<STRONG>XY</STRONG>b</P>"},
      {"Bold off inside bold text", "<p><b>abcd</b></p>", 2, steps({number(mshtml::IDM_BOLD), type("xy")}),
       "<P><B>ab</B>xy<B>cd</B></P>"},
      {"italic and underline together", "<p>ab</p>", 1,
       steps({number(mshtml::IDM_ITALIC), number(mshtml::IDM_UNDERLINE), type("q")}), "<P>a<U><EM>q</EM></U>b</P>"},
      {"Bold twice at the caret is no format", "<p>ab</p>", 1,
       steps({number(mshtml::IDM_BOLD), number(mshtml::IDM_BOLD), type("q")}), "<P>aqb</P>"},
      {"a colour at the caret", "<p>ab</p>", 1, steps({named(u"ForeColor", "#ff0000"), type("X")}),
       "<P>a<FONT color=#ff0000>X</FONT>b</P>"},
      {"a colour inside a coloured run", "<p><font color=#0000ff>abcd</font></p>", 2,
       steps({named(u"ForeColor", "#ff0000"), type("X")}),
       "<P><FONT color=#0000ff>ab</FONT><FONT color=#ff0000>X</FONT><FONT color=#0000ff>cd</FONT></P>"},
      {"a font name and a size", "<p>ab</p>", 2, steps({named(u"FontName", "Arial"), named(u"FontSize", "5"), type("Z")}),
       "<P>ab<FONT size=5><FONT face=Arial>Z</FONT></FONT></P>"},
      {"a format and a colour", "<p>ab</p>", 0, steps({number(mshtml::IDM_BOLD), named(u"ForeColor", "#00ff00"), type("n")}),
       "<P><FONT color=#00ff00><STRONG>n</STRONG></FONT>ab</P>"},
      {"the caret moved away: the format is forgotten", "<p>abc</p>", 1,
       steps({number(mshtml::IDM_BOLD), press(VK_RIGHT), type("x")}), "<P>abxc</P>"},
      {"typing into an empty paragraph with Bold", "<p>&nbsp;</p>", 0, steps({number(mshtml::IDM_BOLD), type("new")}),
       "<P><STRONG>new</STRONG></P>"},
      {"Insert: typing replaces", "<p>abcd</p>", 1, steps({press(VK_INSERT), type("XY")}), "<P>aXYd</P>"},
      {"overwriting stops at the paragraph's end", "<p>ab</p><p>cd</p>", 1, steps({press(VK_INSERT), type("XYZ")}),
       "<P>aXYZ</P>\r\n<P>cd</P>"},
      {"overwriting keeps a picture", "<p>a<img src=x.bmp>b</p>", 1, steps({press(VK_INSERT), type("X")}),
       "<P>aX<IMG src=x.bmp>b</P>"},
      {"Insert twice: inserting again", "<p>abcd</p>", 1, steps({press(VK_INSERT), press(VK_INSERT), type("X")}),
       "<P>aXbcd</P>"},
      {"the overwrite command", "<p>abcd</p>", 0, steps({number(mshtml::IDM_OVERWRITE), type("12")}), "<P>12cd</P>"},
      {"overwriting with a format armed", "<p>abcd</p>", 1,
       steps({press(VK_INSERT), number(mshtml::IDM_BOLD), type("X")}), "<P>a<STRONG>X</STRONG>cd</P>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Host host(400, 300);
    host.Activate();
    host.Load(c.Html);
    SetFocus(host.DocWindow());
    host.SetCaret(c.Caret);
    c.Steps(host);
    ASSERT_TRUE(larktest::PumpUntilIdle());
    EXPECT_EQ(host.Body(), c.Body);
  }
}

TEST(MshtmlEditorTyping, ArmedValuesReadBackAndTheModeAnswersAsTheControlAsks) {
  Host host;
  host.Activate();
  host.Load("<p>abcd</p>");
  SetFocus(host.DocWindow());
  host.SetCaret(2);
  Document& doc = *host.Doc();
  // A colour armed at the caret is the caret's colour until the caret moves.
  ASSERT_EQ(ExecName(host, u"ForeColor", "#ff0000"), S_OK);
  OleVariant colour;
  ASSERT_EQ(QueryCommandValue(doc, u"ForeColor", &colour), S_OK);
  EXPECT_EQ(mshtmltest::Describe(colour), "I4:255");
  ASSERT_EQ(ExecNumber(host, mshtml::IDM_BOLD), S_OK);
  bool bold = false;
  ASSERT_EQ(QueryCommandState(doc, u"Bold", &bold), S_OK);
  EXPECT_TRUE(bold);
  sim::PressKey(VK_LEFT);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  ASSERT_EQ(QueryCommandValue(doc, u"ForeColor", &colour), S_OK);
  EXPECT_EQ(mshtmltest::Describe(colour), "NULL");
  ASSERT_EQ(QueryCommandState(doc, u"Bold", &bold), S_OK);
  EXPECT_FALSE(bold);

  // The insert mode as the control reads it: the value of "Overwrite"; the Insert key
  // and the command with a Boolean switch it.
  OleVariant mode;
  ASSERT_EQ(QueryCommandValue(doc, u"Overwrite", &mode), S_OK);
  EXPECT_EQ(mshtmltest::Describe(mode), "BOOL:false");
  sim::PressKey(VK_INSERT);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  ASSERT_EQ(QueryCommandValue(doc, u"Overwrite", &mode), S_OK);
  EXPECT_EQ(mshtmltest::Describe(mode), "BOOL:true");
  OLECMD state{mshtml::IDM_OVERWRITE, 0};
  ASSERT_EQ(host.Object.As<IOleCommandTarget>()->QueryStatus(&mshtml::CGID_MSHTML, 1, &state, nullptr), S_OK);
  EXPECT_TRUE(state.cmdf & OLECMDF_LATCHED);
  OleVariant off(false);
  ASSERT_EQ(ExecNumber(host, mshtml::IDM_OVERWRITE, &off), S_OK);
  ASSERT_EQ(QueryCommandValue(doc, u"Overwrite", &mode), S_OK);
  EXPECT_EQ(mshtmltest::Describe(mode), "BOOL:false");
  // Shift+Insert is not the mode key.
  sim::PressKey(VK_INSERT, sim::kShift);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  ASSERT_EQ(QueryCommandValue(doc, u"Overwrite", &mode), S_OK);
  EXPECT_EQ(mshtmltest::Describe(mode), "BOOL:false");
  // Typed over in overwrite mode, undone as one step.
  sim::PressKey(VK_INSERT);
  host.SetCaret(0);
  sim::TypeText("xy");
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(host.Body(), "<P>xycd</P>");
  ASSERT_EQ(ExecNumber(host, mshtml::IDM_UNDO), S_OK);
  EXPECT_EQ(host.Body(), "<P>abcd</P>");
}

TEST(MshtmlEditorTyping, DoubleClickSelectsAWordAndCuttingItLeavesOneBlank) {
  Host host(400, 300);
  host.Activate();
  host.Load("<p>one two three, four</p>");
  const HWND w = host.DocWindow();
  Element* para = host.Doc()->GetElementsByTagName(u"p").at(0);
  auto* text = static_cast<TextNode*>(para->GetFirstChild());
  auto xAt = [&](Integer offset) {
    const RECT a = *host.TheLayout()->GetCaretRect(text, offset);
    const RECT b = *host.TheLayout()->GetCaretRect(text, offset + 1);
    return std::pair<int, int>{(a.left + b.left) / 2, (a.top + a.bottom) / 2};
  };
  struct Case {
    Integer Offset;  // the character double-clicked
    const char* Text;
    Integer Start;
  };
  const Case cases[] = {
      {5, "two ", 4},     // the word with the blank after it
      {0, "one ", 0},     // the first word
      {9, "three", 8},    // a word followed by a comma: the word alone
      {13, ",", 13},      // a punctuation mark alone
      {7, " ", 7},        // a blank alone
      {18, "four", 15},   // the last word
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text);
    host.SetCaret(0);
    host.Sink->Log.clear();
    const auto [x, y] = xAt(c.Offset);
    sim::DoubleClick(w, x, y);
    ASSERT_TRUE(larktest::PumpUntilIdle());
    EXPECT_EQ(U(host.Doc()->GetSelection()->GetType()), "Text");
    EXPECT_EQ(Selected(host), c.Text);
    auto range = host.Doc()->GetSelection()->CreateRange();
    EXPECT_EQ(range->GetStart(), c.Start);
    bool dbl = false;
    for (const Fired& f : host.Sink->Log) dbl = dbl || f.Id == DISPID_EV_ONDBLCLICK;
    EXPECT_TRUE(dbl);
  }
  // The selection is drawn: inverted pixels where the word stands.
  const auto [x, y] = xAt(5);
  sim::DoubleClick(w, x, y);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  InvalidateRect(w, nullptr, TRUE);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  ASSERT_TRUE(sim::SaveWindowPng(host.Frame, (PictureFolder() / "editor-word-selected.png").string()));
  POINT inside{x, host.TheLayout()->GetCaretRect(text, 5)->top + 1};
  ClientToScreen(w, &inside);
  POINT frameOrigin{0, 0};
  ClientToScreen(host.Frame, &frameOrigin);
  const COLORREF shown = sim::FramePixel(host.Frame, inside.x - frameOrigin.x, inside.y - frameOrigin.y);
  EXPECT_LT(GetRValue(shown) + GetGValue(shown) + GetBValue(shown), 3 * 128) << std::hex << shown;
  // Delete takes the word and its blank: one blank is left between the neighbours.
  sim::PressKey(VK_DELETE);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(host.Body(), "<P>one three, four</P>");
  EXPECT_EQ(host.Caret(), 4);
  // A handler that cancels the double click keeps the caret.
  host.Sink->Handlers[DISPID_EV_ONDBLCLICK] = [](EventObject* e) { e->ReturnValue = false; };
  host.SetCaret(2);
  sim::DoubleClick(w, x, y);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(U(host.Doc()->GetSelection()->GetType()), "None");
}

TEST(MshtmlEditorTyping, CutAndDeleteOfWholeWordsLeaveOneBlank) {
  struct Case {
    const char* Html;
    Integer Start, End;
    UINT Key;  // 0: the Cut command
    const char* Body;
  };
  const Case cases[] = {
      {"<p>one two three</p>", 4, 7, 0, "<P>one three</P>"},
      {"<p>one two three</p>", 4, 7, VK_DELETE, "<P>one three</P>"},
      {"<p>one two three</p>", 4, 7, VK_BACK, "<P>one three</P>"},
      {"<p>one two three</p>", 0, 3, 0, "<P>two three</P>"},        // at the line's start
      {"<p>one two three</p>", 8, 13, 0, "<P>one two</P>"},         // at its end
      {"<p>one <b>two</b> three</p>", 4, 7, 0, "<P>one three</P>"},  // a formatted word
      {"<p>one two three</p>", 5, 7, 0, "<P>one t three</P>"},     // part of a word: blanks stay
      {"<p>one two three</p>", 3, 7, 0, "<P>one three</P>"},       // the blank selected too
      {"<p>a, b</p>", 1, 2, 0, "<P>a b</P>"},                      // not a word between blanks
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Html) + " " + std::to_string(c.Start) + ".." + std::to_string(c.End));
    Host host;
    host.Activate();
    host.Load(c.Html);
    SetFocus(host.DocWindow());
    auto range = host.Doc()->CreateTextRange();
    range->SetRange(c.Start, c.End);
    host.Doc()->GetSelection()->Select(*range);
    if (c.Key == 0) {
      ASSERT_EQ(mshtml::ExecCommand(*host.Doc(), u"Cut", false, nullptr, nullptr), S_OK);
    } else {
      sim::PressKey(c.Key);
    }
    ASSERT_TRUE(larktest::PumpUntilIdle());
    EXPECT_EQ(host.Body(), c.Body);
    // What is written reads back as the same.
    EXPECT_EQ(mshtmltest::BodyOf(host.Body()), c.Body);
  }
}

// A 32-bit top-down canvas whose pixels the test reads directly.
struct Pixels {
  Pixels(Integer w, Integer h) : W(w), H(h) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    dc = CreateCompatibleDC(0);
    void* p = nullptr;
    bmp = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &p, 0, 0);
    bits = static_cast<const uint32_t*>(p);
    old = SelectObject(dc, bmp);
  }
  ~Pixels() {
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
  }
  uint32_t At(Integer x, Integer y) const { return bits[static_cast<size_t>(y) * static_cast<size_t>(W) + static_cast<size_t>(x)]; }
  Integer W, H;
  HDC dc;
  HBITMAP bmp;
  HGDIOBJ old;
  const uint32_t* bits = nullptr;
};

const char* const kWidePage =
    "<body leftmargin=8 topmargin=8><p>Short words at the top.</p>"
    "<p>A long word that the layout breaks at the window's edge: "
    "Averyveryveryverylongwordthatcannotbreakanywhere and <b>bold</b> text after it</p>"
    "<table width=620 border=1 cellpadding=3><tr><td bgcolor=#ffe0a0>a wide cell</td>"
    "<td><font color=#c00000>far right</font></td></tr></table>"
    "<pre>preformatted text that runs on and on past the window's right edge, unbroken</pre></body>";

// The layout painted with its viewport scrolled sideways shows exactly the part of
// the whole page painted at once, at every offset.
TEST(MshtmlEditorScrolling, PaintingScrolledSidewaysMatchesTheWholePage) {
  ASSERT_TRUE(sim::UseFreeTypeFonts(true));
  Document doc;
  doc.LoadHTML(W(kWidePage));
  Layout layout(&doc);
  const Integer viewW = 180, viewH = 200;
  layout.SetViewport(viewW, viewH);
  const Integer wide = layout.GetScrollWidth();
  ASSERT_GT(wide, 600);
  Pixels whole(wide, viewH);
  layout.Paint(whole.dc, RECT{0, 0, wide, viewH}, POINT{0, 0});
  const Integer last = wide - viewW;
  for (Integer x = 0;; x = std::min(x + 7, last)) {
    SCOPED_TRACE(x);
    layout.SetScrollLeft(x);
    ASSERT_EQ(layout.GetScrollLeft(), x);
    Pixels part(viewW, viewH);
    layout.Paint(part.dc, RECT{0, 0, viewW, viewH});
    Integer wrong = 0;
    for (Integer py = 0; py < viewH; ++py)
      for (Integer px = 0; px < viewW; ++px) wrong += part.At(px, py) != whole.At(px + x, py);
    EXPECT_EQ(wrong, 0);
    if (x == last) break;
  }
  // Past the end the offset stays at the last one.
  layout.SetScrollLeft(wide * 2);
  EXPECT_EQ(layout.GetScrollLeft(), last);
}

TEST(MshtmlEditorScrolling, TheWindowScrollsSidewaysOverWideContent) {
  ASSERT_TRUE(sim::UseFreeTypeFonts(true));
  Host host(260, 220);
  host.Activate();
  host.Load(kWidePage);
  const HWND w = host.DocWindow();
  Layout* layout = host.TheLayout();
  ASSERT_TRUE(larktest::PumpUntilIdle());
  RECT client{};
  GetClientRect(w, &client);
  // A horizontal bar whose range is the page's width and whose page is the window's.
  SCROLLINFO info;
  info.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(w, SB_HORZ, &info));
  EXPECT_EQ(info.nMax + 1, layout->GetScrollWidth());
  EXPECT_EQ(static_cast<Integer>(info.nPage), client.right);
  EXPECT_GT(layout->GetScrollWidth(), client.right);
  EXPECT_EQ(layout->GetViewportWidth(), client.right);
  EXPECT_EQ(layout->GetViewportHeight(), client.bottom);

  struct Step {
    WPARAM Request;
    Integer Expected;  // -1: the far end
  };
  const Integer end = layout->GetScrollWidth() - client.right;
  const Step steps[] = {{SB_LINERIGHT, 16},       {SB_LINERIGHT, 32},          {SB_LINELEFT, 16},
                        {SB_PAGERIGHT, 16 + client.right}, {SB_RIGHT, end},    {SB_LINERIGHT, end},
                        {static_cast<WPARAM>(MAKELPARAM(SB_THUMBPOSITION, 100)), 100}, {SB_PAGELEFT, 0}, {SB_LEFT, 0}};
  for (const Step& s : steps) {
    SendMessage(w, WM_HSCROLL, s.Request, 0);
    EXPECT_EQ(layout->GetScrollLeft(), s.Expected) << s.Request;
    ASSERT_TRUE(GetScrollInfo(w, SB_HORZ, &info));
    EXPECT_EQ(info.nPos, s.Expected);
  }
  // A click on the bar's right arrow scrolls too (the frame sends the request).
  sim::Click(w, client.right - GetSystemMetrics(SM_CXHSCROLL) / 2, client.bottom + GetSystemMetrics(SM_CYHSCROLL) / 2);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_GT(layout->GetScrollLeft(), 0);
  SendMessage(w, WM_HSCROLL, SB_LEFT, 0);

  // The caret stays in sight: End on the long unbroken line scrolls right, Home back.
  SetFocus(w);
  Element* pre = host.Doc()->GetElementsByTagName(u"pre").at(0);
  auto range = host.Doc()->CreateTextRange();
  range->MoveToElementText(pre);
  host.SetCaret(range->GetStart());
  sim::PressKey(VK_END);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_GT(layout->GetScrollLeft(), 0);
  auto caretRect = [&] {
    const auto units = ReadTextUnits(host.Doc()->GetBody());
    const Integer at = host.Caret();
    const TextUnit& u = units[static_cast<size_t>(at - 1)];
    return *layout->GetCaretRect(static_cast<TextNode*>(u.Anchor), u.Offset + 1);
  };
  RECT caret = caretRect();
  EXPECT_GE(caret.left, 0);
  EXPECT_LE(caret.right, client.right);
  ASSERT_TRUE(sim::SaveWindowPng(host.Frame, (PictureFolder() / "editor-scrolled-right.png").string()));
  sim::PressKey(VK_HOME);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(layout->GetScrollLeft(), 0);
  // Typing at the end of the line keeps the caret in sight as the line grows.
  sim::PressKey(VK_END);
  sim::TypeText(" more");
  ASSERT_TRUE(larktest::PumpUntilIdle());
  caret = caretRect();
  EXPECT_GE(caret.left, 0);
  EXPECT_LE(caret.right, client.right);
  // The element under a point of the scrolled window is the one painted there.
  Element* font = host.Doc()->GetElementsByTagName(u"font").at(0);
  SendMessage(w, WM_HSCROLL, SB_LEFT, 0);
  const Integer fontLeft = layout->GetBoundingClientRect(font).left;
  ASSERT_GT(fontLeft, client.right);
  SendMessage(w, WM_HSCROLL, static_cast<WPARAM>(MAKELPARAM(SB_THUMBPOSITION, fontLeft - 20)), 0);
  const RECT box = layout->GetBoundingClientRect(font);
  EXPECT_EQ(box.left, 20);
  ASSERT_GT(box.left, 0);
  ASSERT_LT(box.right, client.right);
  EXPECT_EQ(layout->ElementFromPoint((box.left + box.right) / 2, (box.top + box.bottom) / 2), font);
  // A page that fits has no horizontal bar.
  host.Load("<p>narrow</p>");
  ASSERT_TRUE(larktest::PumpUntilIdle());
  layout = host.TheLayout();
  EXPECT_EQ(GetWindowLongPtr(w, GWL_STYLE) & WS_HSCROLL, 0);
  EXPECT_EQ(layout->GetScrollLeft(), 0);
}

TEST(MshtmlEditorBorders, ShowBordersDrawsGuidesAroundBorderlessTables) {
  ASSERT_TRUE(sim::UseFreeTypeFonts(true));
  Host host(320, 200);
  host.Activate();
  host.Load("<body leftmargin=10 topmargin=10><table id=t border=0 cellspacing=4 cellpadding=6>"
            "<tr><td id=a>left</td><td id=b>right cell</td></tr><tr><td colspan=2 id=c>below</td></tr></table>"
            "<table id=f border=1><tr><td id=d>framed</td></tr></table></body>");
  const HWND w = host.DocWindow();
  Layout* layout = host.TheLayout();
  POINT origin{0, 0};
  ClientToScreen(w, &origin);
  POINT frameOrigin{0, 0};
  ClientToScreen(host.Frame, &frameOrigin);
  auto pixel = [&](Integer x, Integer y) {
    return sim::FramePixel(host.Frame, origin.x - frameOrigin.x + x, origin.y - frameOrigin.y + y);
  };
  // Grey dots along an edge of the element's box (left and top edges).
  auto dotsOn = [&](const char* id) {
    const RECT r = layout->GetBoundingClientRect(host.Doc()->GetElementById(W(id)));
    Integer grey = 0;
    for (Integer x = r.left; x < r.right; ++x) grey += pixel(x, r.top) == RGB(128, 128, 128);
    for (Integer y = r.top; y < r.bottom; ++y) grey += pixel(r.left, y) == RGB(128, 128, 128);
    return grey;
  };
  auto repaint = [&] {
    InvalidateRect(w, nullptr, TRUE);
    ASSERT_TRUE(larktest::PumpUntilIdle());
  };
  repaint();
  for (const char* id : {"t", "a", "b", "c"}) EXPECT_EQ(dotsOn(id), 0) << id;
  // On: dotted, not solid, around the table and each of its cells.
  ASSERT_EQ(host.Put(DISPID_DHTMLEDIT_SHOWBORDERS, OleVariant(true)), S_OK);
  repaint();
  for (const char* id : {"t", "a", "b", "c"}) {
    const RECT r = layout->GetBoundingClientRect(host.Doc()->GetElementById(W(id)));
    const Integer edge = (r.right - r.left) + (r.bottom - r.top);
    EXPECT_GT(dotsOn(id), edge / 3) << id;
    EXPECT_LT(dotsOn(id), edge) << id;
  }
  // A table with a border keeps its frame.
  const RECT framed = layout->GetBoundingClientRect(host.Doc()->GetElementById(u"f"));
  EXPECT_EQ(pixel(framed.left, framed.top), GetSysColor(COLOR_3DLIGHT));
  ASSERT_TRUE(sim::SaveWindowPng(host.Frame, (PictureFolder() / "editor-zero-borders.png").string()));
  // Browse mode shows the page as a reader sees it.
  ASSERT_EQ(host.Put(DISPID_DHTMLEDIT_BROWSEMODE, OleVariant(true)), S_OK);
  ASSERT_TRUE(host.WaitLoaded());
  layout = host.TheLayout();
  repaint();
  EXPECT_EQ(dotsOn("t"), 0);
  ASSERT_EQ(host.Put(DISPID_DHTMLEDIT_BROWSEMODE, OleVariant(false)), S_OK);
  ASSERT_TRUE(host.WaitLoaded());
  layout = host.TheLayout();
  // Off again, then the engine's own switch (the command) turns the guides on.
  ASSERT_EQ(host.Put(DISPID_DHTMLEDIT_SHOWBORDERS, OleVariant(false)), S_OK);
  repaint();
  EXPECT_EQ(dotsOn("t"), 0);
  OleVariant on(true);
  ASSERT_EQ(ExecNumber(host, mshtml::IDM_SHOWZEROBORDERS, &on), S_OK);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_GT(dotsOn("t"), 0);
}

}  // namespace
