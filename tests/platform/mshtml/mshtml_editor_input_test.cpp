// A person at the editing component: mouse and keys injected at the display's input
// entry become DHTML events with their event object, handlers cancel or change what
// happens, and the default actions edit the document as the serialized body shows.
// The component painted in its window, written to PNG.
#include <gtest/gtest.h>

#include <filesystem>

#include "EditorTestHost.h"
#include "platform/sim/Input.h"
#include "platform/sim/Mshtml.h"
#include "platform/sim/Screen.h"
#include "platform/win/Input.h"

using namespace edittest;
using mshtmltest::U;
using mshtmltest::W;

namespace {

RECT Box(Host& host, Element* e) { return host.TheLayout()->GetBoundingClientRect(e); }

const Fired* Find(const EventSink& sink, DISPID id, size_t from = 0) {
  for (size_t i = from; i < sink.Log.size(); ++i)
    if (sink.Log[i].Id == id) return &sink.Log[i];
  return nullptr;
}

Integer IndexOf(const EventSink& sink, DISPID id) {
  for (size_t i = 0; i < sink.Log.size(); ++i)
    if (sink.Log[i].Id == id) return static_cast<Integer>(i);
  return -1;
}

class ChangeCounter final : public ComObject<IHTMLChangeSink> {
 public:
  int Count = 0;
  HRESULT Notify() override {
    ++Count;
    return S_OK;
  }
};

}  // namespace

TEST(MshtmlEditorInput, ClicksBecomeEventsAndPlaceTheCaretOrSelectAnObject) {
  Host host(400, 300);
  host.Activate();
  host.Load("<p>Hello world</p><p><img src=x.bmp width=40 height=30></p>"
            "<table border=1><tr><td>cell text</td></tr></table>");
  Document* doc = host.Doc();
  Element* para = doc->GetElementsByTagName(u"p").at(0);
  Element* img = doc->GetImages().at(0);
  Element* cell = doc->GetElementsByTagName(u"td").at(0);
  const RECT p = Box(host, para), i = Box(host, img), c = Box(host, cell);
  const HWND w = host.DocWindow();

  // A click on the text: down, up, click with the event object; the caret goes there.
  host.Sink->Log.clear();
  const int x = p.left + 1, y = (p.top + p.bottom) / 2;
  sim::Click(w, x, y);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(host.Sink->IdsWithoutMoves(),
            (std::vector<DISPID>{DISPID_EV_ONMOUSEDOWN, DISPID_EV_ONMOUSEUP, DISPID_EV_ONCLICK}));
  const Fired* down = Find(*host.Sink, DISPID_EV_ONMOUSEDOWN);
  ASSERT_TRUE(down && down->HadEvent);
  EXPECT_EQ(U(down->Event.Type), "mousedown");
  EXPECT_EQ(down->Event.SrcElement, para);
  EXPECT_EQ(down->Event.Button, 1);
  EXPECT_EQ(down->Event.ClientX, x);
  EXPECT_EQ(down->Event.ClientY, y);
  EXPECT_EQ(down->Event.X, x);
  EXPECT_FALSE(down->Event.ShiftKey);
  EXPECT_EQ(U(doc->GetSelection()->GetType()), "None");
  EXPECT_EQ(host.Caret(), 0);
  EXPECT_EQ(GetFocus(), w);

  // Near the end of "Hello" the caret lands inside the word.
  const RECT o = *host.TheLayout()->GetCaretRect(static_cast<TextNode*>(para->GetFirstChild()), 5);
  sim::Click(w, o.left, y);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(host.Caret(), 5);

  // The image is selected as a control; a click in the cell puts the caret there.
  sim::Click(w, (i.left + i.right) / 2, (i.top + i.bottom) / 2);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(U(doc->GetSelection()->GetType()), "Control");
  ASSERT_EQ(doc->GetSelection()->GetControls().size(), 1u);
  EXPECT_EQ(doc->GetSelection()->GetControls()[0], img);
  sim::Click(w, c.left + 4, (c.top + c.bottom) / 2);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(U(doc->GetSelection()->GetType()), "None");
  auto range = doc->GetSelection()->CreateRange();
  ASSERT_TRUE(range);
  EXPECT_EQ(range->GetParentElement(), cell);

  // A handler that cancels the mouse-down keeps the caret where it was (a click
  // away from the last one, which would make a double click of the two).
  host.SetCaret(3);
  host.Sink->Handlers[DISPID_EV_ONMOUSEDOWN] = [](EventObject* e) { e->ReturnValue = false; };
  sim::Click(w, x, y);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(host.Caret(), 3);
  host.Sink->Handlers.clear();

  // Moving from the text to the image: out of the P, over the IMG, then the move.
  sim::MoveMouse(w, x, y);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  host.Sink->Log.clear();
  sim::MoveMouse(w, (i.left + i.right) / 2, (i.top + i.bottom) / 2);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(host.Sink->Ids(),
            (std::vector<DISPID>{DISPID_EV_ONMOUSEOUT, DISPID_EV_ONMOUSEOVER, DISPID_EV_ONMOUSEMOVE}));
  EXPECT_EQ(host.Sink->Log[0].Event.SrcElement, para);
  EXPECT_EQ(host.Sink->Log[1].Event.SrcElement, img);
  EXPECT_EQ(host.Sink->Log[2].Event.SrcElement, img);
  // A move to the same point fires nothing; a move with the left button and Ctrl
  // held tells both.
  host.Sink->Log.clear();
  sim::MoveMouse(w, (i.left + i.right) / 2, (i.top + i.bottom) / 2);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_TRUE(host.Sink->Log.empty());

  // A right click asks for the context menu at its point, unless the mouse-up is
  // cancelled; the menu key asks with (0, 0).
  host.Sink->Log.clear();
  sim::RightClick(w, x, y);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  const Fired* menu = Find(*host.Sink, DISPID_EV_SHOWCONTEXTMENU);
  ASSERT_TRUE(menu);
  EXPECT_EQ(menu->Args, (std::vector<Integer>{x, y}));
  EXPECT_EQ(Find(*host.Sink, DISPID_EV_ONMOUSEDOWN)->Event.Button, 2);
  EXPECT_LT(IndexOf(*host.Sink, DISPID_EV_ONMOUSEUP), IndexOf(*host.Sink, DISPID_EV_SHOWCONTEXTMENU));
  host.Sink->Log.clear();
  host.Sink->Handlers[DISPID_EV_ONMOUSEUP] = [](EventObject* e) { e->ReturnValue = false; };
  sim::RightClick(w, x, y);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_FALSE(Find(*host.Sink, DISPID_EV_SHOWCONTEXTMENU));
  host.Sink->Handlers.clear();
  host.Sink->Log.clear();
  sim::PressKey(VK_APPS);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  menu = Find(*host.Sink, DISPID_EV_SHOWCONTEXTMENU);
  ASSERT_TRUE(menu);
  EXPECT_EQ(menu->Args, (std::vector<Integer>{0, 0}));
}

TEST(MshtmlEditorInput, KeysEditTheDocument) {
  struct Case {
    const char* Name;
    const char* Html;
    Integer Caret;
    std::function<void()> Keys;
    const char* Body;
    bool UseDiv = false;
  };
  auto type = [](const char* text) { return [text] { sim::TypeText(text); }; };
  auto press = [](UINT vk, unsigned mods = 0) { return [vk, mods] { sim::PressKey(vk, mods); }; };
  auto keys = [](std::vector<std::function<void()>> list) {
    return [list] {
      for (const auto& k : list) k();
    };
  };
  const Case cases[] = {
      {"typing", "<p>abcd</p>", 2, type("XY"), "<P>abXYcd</P>"},
      {"typing into an empty paragraph", "<p>&nbsp;</p>", 0, type("new"), "<P>new</P>"},
      {"Enter splits", "<p>abcd</p>", 2, press(VK_RETURN), "<P>ab</P>\r\n<P>cd</P>"},
      {"Enter at the end, then typing", "<p>abcd</p>", 4, keys({press(VK_RETURN), type("z")}),
       "<P>abcd</P>\r\n<P>z</P>"},
      {"Enter keeps inline elements on both sides", "<p><b>bold text</b></p>", 4, press(VK_RETURN),
       "<P><B>bold</B></P>\r\n<P><B> text</B></P>"},
      {"Enter after a heading", "<h1>Title</h1>", 5, keys({press(VK_RETURN), type("x")}),
       "<H1>Title</H1>\r\n<P>x</P>"},
      {"Enter in loose text makes paragraphs", "abc", 1, press(VK_RETURN), "<P>a</P>\r\n<P>bc</P>"},
      {"Enter in loose text with DIVs", "abc", 1, press(VK_RETURN), "<DIV>a</DIV>\r\n<DIV>bc</DIV>", true},
      {"Shift+Enter breaks the line", "<p>abcd</p>", 2, press(VK_RETURN, sim::kShift), "<P>ab<BR>cd</P>"},
      {"Backspace", "<p>abcd</p>", 2, press(VK_BACK), "<P>acd</P>"},
      {"Backspace at the start does nothing", "<p>abcd</p>", 0, press(VK_BACK), "<P>abcd</P>"},
      {"Backspace joins paragraphs", "<p>ab</p><p>cd</p>", 3, press(VK_BACK), "<P>abcd</P>"},
      {"Delete", "<p>abcd</p>", 2, press(VK_DELETE), "<P>abd</P>"},
      {"Delete joins paragraphs", "<p>ab</p><p>cd</p>", 2, press(VK_DELETE), "<P>abcd</P>"},
      {"Backspace empties a paragraph", "<p>a</p><p>b</p>", 1, press(VK_BACK), "<P>&nbsp;</P>\r\n<P>b</P>"},
      {"arrows move the caret", "<p>abcd</p>", 0, keys({press(VK_RIGHT), press(VK_RIGHT), press(VK_RIGHT),
                                                        press(VK_LEFT), type("-")}),
       "<P>ab-cd</P>"},
      {"End and Home", "<p>abcd</p>", 2, keys({press(VK_END), type(">"), press(VK_HOME), type("<")}),
       "<P>&lt;abcd&gt;</P>"},
      {"Down", "<p>abcd</p><p>efgh</p>", 1, keys({press(VK_DOWN), type("1")}), "<P>abcd</P>\r\n<P>e1fgh</P>"},
      {"Up", "<p>abcd</p><p>efgh</p>", 6, keys({press(VK_UP), type("2")}), "<P>a2bcd</P>\r\n<P>efgh</P>"},
      {"Shift+Right selects, typing replaces", "<p>abcd</p>", 1,
       keys({press(VK_RIGHT, sim::kShift), press(VK_RIGHT, sim::kShift), type("Z")}), "<P>aZd</P>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Host host(400, 300);
    host.Activate();
    if (c.UseDiv) {
      ASSERT_EQ(host.Put(DISPID_DHTMLEDIT_USEDIVONCR, OleVariant(true)), S_OK);
    }
    host.Load(c.Html);
    SetFocus(host.DocWindow());
    host.SetCaret(c.Caret);
    c.Keys();
    ASSERT_TRUE(larktest::PumpUntilIdle());
    EXPECT_EQ(host.Body(), c.Body);
  }
}

TEST(MshtmlEditorInput, KeyHandlersCancelAndReplaceKeys) {
  Host host;
  host.Activate();
  host.Load("<p>abcd</p>");
  SetFocus(host.DocWindow());
  host.SetCaret(2);
  // One key: down, press, up, each with the key in its event object.
  host.Sink->Log.clear();
  sim::TypeText("q");
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(host.Sink->Ids(), (std::vector<DISPID>{DISPID_EV_ONKEYDOWN, DISPID_EV_ONKEYPRESS, DISPID_EV_ONKEYUP,
                                                   DISPID_EV_DISPLAYCHANGED}));
  EXPECT_EQ(host.Sink->Log[0].Event.KeyCode, 'Q');  // the key
  EXPECT_EQ(host.Sink->Log[1].Event.KeyCode, 'q');  // the character
  EXPECT_EQ(U(host.Sink->Log[1].Event.Type), "keypress");
  EXPECT_EQ(host.Sink->Log[1].Event.SrcElement, host.Doc()->GetElementsByTagName(u"p").at(0));
  EXPECT_EQ(host.Body(), "<P>abqcd</P>");

  // A handler that writes another character into the key-press: that one goes in.
  host.Sink->Handlers[DISPID_EV_ONKEYPRESS] = [](EventObject* e) {
    if (e->KeyCode == 'x') e->KeyCode = 0xE9;
  };
  sim::TypeText("x");
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(host.Body(), "<P>abq\xC3\xA9" "cd</P>");
  // A cancelled key-down: no character, no edit; the key-up still comes.
  host.Sink->Handlers.clear();
  host.Sink->Handlers[DISPID_EV_ONKEYDOWN] = [](EventObject* e) {
    if (e->KeyCode == 'N') e->ReturnValue = false;
  };
  host.Sink->Log.clear();
  sim::TypeText("n");
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(host.Sink->Ids(), (std::vector<DISPID>{DISPID_EV_ONKEYDOWN, DISPID_EV_ONKEYUP}));
  EXPECT_EQ(host.Body(), "<P>abq\xC3\xA9" "cd</P>");
  // A key-down handler that turns Left into Right: the caret goes right.
  host.Sink->Handlers[DISPID_EV_ONKEYDOWN] = [](EventObject* e) {
    if (e->KeyCode == static_cast<Integer>(VK_LEFT)) e->KeyCode = VK_RIGHT;
  };
  host.SetCaret(1);
  sim::PressKey(VK_LEFT);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(host.Caret(), 2);
  // Enter cancelled in the key-down (a host that handles Enter itself) does nothing.
  host.Sink->Handlers[DISPID_EV_ONKEYDOWN] = [](EventObject* e) {
    if (e->KeyCode == static_cast<Integer>(VK_RETURN)) e->ReturnValue = false;
  };
  sim::PressKey(VK_RETURN);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(host.Body(), "<P>abq\xC3\xA9" "cd</P>");
  // Modifiers reach the event object.
  host.Sink->Handlers.clear();
  host.Sink->Log.clear();
  sim::PressKey('A', sim::kCtrl | sim::kShift);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  const Fired* down = nullptr;
  for (const Fired& f : host.Sink->Log)
    if (f.Id == DISPID_EV_ONKEYDOWN && f.Event.KeyCode == 'A') down = &f;
  ASSERT_TRUE(down);
  EXPECT_TRUE(down->Event.CtrlKey);
  EXPECT_TRUE(down->Event.ShiftKey);
  EXPECT_FALSE(down->Event.AltKey);
}

TEST(MshtmlEditorInput, KeysThroughTheActiveObjectAndBrowseMode) {
  Host host;
  host.Activate();
  host.Load("<p>abcd</p>");
  host.SetCaret(4);
  // A host's key pre-translation hands keys to the active object; S_OK: taken.
  ComPtr<IOleInPlaceActiveObject> active = host.Object.As<IOleInPlaceActiveObject>();
  MSG msg{};
  msg.hwnd = host.Frame;
  msg.message = WM_CHAR;
  msg.wParam = '!';
  EXPECT_EQ(active->TranslateAccelerator(&msg), S_OK);
  EXPECT_EQ(host.Body(), "<P>abcd!</P>");
  msg.message = WM_MOUSEMOVE;
  EXPECT_EQ(active->TranslateAccelerator(&msg), S_FALSE);
  // In browse mode the events still come, the document does not change.
  ASSERT_EQ(host.Put(DISPID_DHTMLEDIT_BROWSEMODE, OleVariant(true)), S_OK);
  ASSERT_TRUE(host.WaitLoaded());
  SetFocus(host.DocWindow());
  host.Sink->Log.clear();
  sim::TypeText("z");
  sim::PressKey(VK_RETURN);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(host.Body(), "<P>abcd!</P>");
  EXPECT_TRUE(Find(*host.Sink, DISPID_EV_ONKEYPRESS));
}

TEST(MshtmlEditorInput, EachEditIsOneChangeAndOneDisplayChange) {
  Host host;
  host.Activate();
  host.Load("<p>ab</p>");
  ComPtr<ChangeCounter> counter = MakeComObject<ChangeCounter>();
  ComPtr<IHTMLChangeLog> log;
  ASSERT_EQ(host.Sink->Dom.As<IMarkupContainer2>()->CreateChangeLog(counter.Get(), log.ReleaseAndGetAddressOf(),
                                                                    TRUE, TRUE),
            S_OK);
  SetFocus(host.DocWindow());
  host.SetCaret(2);
  host.Sink->Log.clear();
  sim::TypeText("xyz");
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(counter->Count, 3);
  // An Enter splits with several tree changes: still one.
  sim::PressKey(VK_RETURN);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(counter->Count, 4);
  // Caret moves change nothing.
  sim::PressKey(VK_LEFT);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(counter->Count, 4);
  int displayChanges = 0;
  for (const Fired& f : host.Sink->Log) displayChanges += f.Id == DISPID_EV_DISPLAYCHANGED;
  EXPECT_GE(displayChanges, 1);
  EXPECT_LE(displayChanges, 4);
  OleVariant v;
  ASSERT_EQ(host.Get(DISPID_DHTMLEDIT_ISDIRTY, &v), S_OK);
  EXPECT_TRUE(v.AsBool());
}

TEST(MshtmlEditorInput, TheComponentPaintsItsPage) {
  ASSERT_TRUE(sim::UseFreeTypeFonts(true));
  Host host(480, 300);
  host.Activate();
  host.Sink->Dom->SetImageLoader([](const WideString& src) -> HBITMAP {
    if (src != u"logo.bmp") return 0;
    HDC screen = GetDC(0);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 48, 48);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT r{0, 0, 48, 48};
    HBRUSH blue = CreateSolidBrush(RGB(40, 90, 160));
    FillRect(dc, &r, blue);
    DeleteObject(blue);
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(0, screen);
    return bitmap;
  });
  std::string page =
      "<html><head><title>Channel</title></head><body bgcolor=#FFFFFF>"
      "<h2>Larkspool Weekly</h2>"
      "<table border=1 cellpadding=4 width=100%><tr><td width=60><img src=logo.bmp width=48 height=48></td>"
      "<td><b>Episode 42: Gardens</b><br>A talk about the plants of the old town, with "
      "<a href=http://example.com/ep42>show notes</a> and more.</td></tr></table>";
  for (int i = 1; i <= 12; ++i) page += "<p>Paragraph " + std::to_string(i) + " of the description, long enough to wrap across the width of the window.</p>";
  page += "</body></html>";
  host.Load(page);
  // The caret after "Larkspool", the focus in the document.
  SetFocus(host.DocWindow());
  host.SetCaret(9);
  InvalidateRect(host.DocWindow(), nullptr, TRUE);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  // A long page gets a vertical scroll bar that reaches its end.
  SCROLLINFO info;
  info.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(host.DocWindow(), SB_VERT, &info));
  EXPECT_GT(info.nMax + 1, static_cast<Integer>(info.nPage));
  EXPECT_EQ(info.nMax + 1, host.TheLayout()->GetScrollHeight());
  const auto out = std::filesystem::path(LARK_TEST_BINARY_DIR) / "mshtml-editor";
  std::filesystem::create_directories(out);
  ASSERT_TRUE(sim::SaveWindowPng(host.Frame, (out / "editor-page.png").string()));
  // Scrolled with the wheel: the page moves up.
  const Integer before = host.TheLayout()->GetScrollTop();
  sim::MoveMouse(host.DocWindow(), 100, 100);
  sim::Wheel(-2);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_GT(host.TheLayout()->GetScrollTop(), before);
  ASSERT_TRUE(sim::SaveWindowPng(host.Frame, (out / "editor-page-scrolled.png").string()));
  // An independent reader sees a picture with text in it, not a blank.
  const std::string cmd = "/usr/bin/python3 -c \"import sys;from PIL import Image;im=Image.open(sys.argv[1]);"
                          "print(im.size[0], im.size[1], len(im.convert('RGB').getcolors(1<<20)))\" '" +
                          (out / "editor-page.png").string() + "'";
  std::string answer;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[128];
    while (fgets(buf, sizeof buf, p)) answer += buf;
    pclose(p);
  }
  int width = 0, height = 0, colours = 0;
  ASSERT_EQ(sscanf(answer.c_str(), "%d %d %d", &width, &height, &colours), 3) << answer;
  EXPECT_EQ(width, 480);
  EXPECT_EQ(height, 300);
  EXPECT_GT(colours, 8);
}

namespace {

// The component's command target runs the engine's command table: its states, its
// effects, and the undo history, where a run of typing is one unit until the caret
// moves by other means.
TEST(MshtmlEditorCommands, TheCommandTargetRunsTheTableAndUndoesTypingRuns) {
  Host host;
  host.Activate();
  host.Load("<p>ab</p>");
  SetFocus(host.DocWindow());
  host.SetCaret(2);
  sim::TypeText("cd");
  ASSERT_TRUE(larktest::PumpUntilIdle());
  sim::PressKey(VK_LEFT);
  sim::TypeText("x");
  ASSERT_TRUE(larktest::PumpUntilIdle());
  ASSERT_EQ(host.Body(), "<P>abcxd</P>");

  ComPtr<IOleCommandTarget> target = host.Object.As<IOleCommandTarget>();
  ASSERT_TRUE(target);
  OLECMD undo{mshtml::IDM_UNDO, 0};
  ASSERT_EQ(target->QueryStatus(&mshtml::CGID_MSHTML, 1, &undo, nullptr), S_OK);
  EXPECT_TRUE(undo.cmdf & OLECMDF_ENABLED);
  ASSERT_EQ(target->Exec(&mshtml::CGID_MSHTML, mshtml::IDM_UNDO, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(host.Body(), "<P>abcd</P>");
  ASSERT_EQ(target->Exec(&mshtml::CGID_MSHTML, mshtml::IDM_UNDO, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(host.Body(), "<P>ab</P>");
  ASSERT_EQ(target->Exec(&mshtml::CGID_MSHTML, mshtml::IDM_REDO, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(host.Body(), "<P>abcd</P>");

  // Bold over a selection, latched afterwards; an unknown group is refused.
  ASSERT_EQ(target->Exec(&mshtml::CGID_MSHTML, mshtml::IDM_SELECTALL, 0, nullptr, nullptr), S_OK);
  ASSERT_EQ(target->Exec(&mshtml::CGID_MSHTML, mshtml::IDM_BOLD, 0, nullptr, nullptr), S_OK);
  EXPECT_EQ(host.Body(), "<P><STRONG>abcd</STRONG></P>");
  OLECMD bold{mshtml::IDM_BOLD, 0};
  ASSERT_EQ(target->QueryStatus(&mshtml::CGID_MSHTML, 1, &bold, nullptr), S_OK);
  EXPECT_TRUE(bold.cmdf & OLECMDF_LATCHED);
  const GUID other = MakeGuid("{00000000-1111-2222-3333-444444444444}");
  EXPECT_EQ(target->Exec(&other, mshtml::IDM_BOLD, 0, nullptr, nullptr), OLECMDERR_E_UNKNOWNGROUP);

  // The modified flag follows IDM_SETDIRTY.
  OleVariant dirty;
  ASSERT_EQ(host.Get(DISPID_DHTMLEDIT_ISDIRTY, &dirty), S_OK);
  EXPECT_TRUE(dirty.AsBool());
  OleVariant clean(false);
  ASSERT_EQ(target->Exec(&mshtml::CGID_MSHTML, mshtml::IDM_SETDIRTY, 0, &clean, nullptr), S_OK);
  OleVariant after;
  ASSERT_EQ(host.Get(DISPID_DHTMLEDIT_ISDIRTY, &after), S_OK);
  EXPECT_FALSE(after.AsBool());
}

}  // namespace
