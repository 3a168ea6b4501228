// The HTML control on the application's road: created on a form, the channel and
// item pages loaded with SetSource, the style rule added after the load, the link
// under the mouse reported through OnMouseMove and HrefAtPoint, the selection after
// every load, one OnChange per edit.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/mshtml/Commands.h"
#include "platform/mshtml/TextRange.h"
#include "platform/sim/Mshtml.h"
#include "tests/html/HtmlControlFixture.h"
#include "tests/html/PageShapes.h"

namespace htmltest {
namespace {

using HtmlControl = HtmlControlTest;

TEST_F(HtmlControl, CreatesOnceAndStartsEditableAndUnmodified) {
  EXPECT_EQ(creates, 1);
  EXPECT_EQ(html->GetReason(), dcrUndefined);
  EXPECT_TRUE(html->CanGetDOM());
  EXPECT_FALSE(html->GetModified());
  EXPECT_FALSE(html->RuntimeBrowseMode());
  EXPECT_NE(html->GetWindowHandle(), HWND{0});
  // The control's own window is the component's, adopted.
  EXPECT_EQ(GetParent(html->GetWindowHandle()), html->GetHandle());
  // The class's record: the editing component, its 16 events, no licence key (the
  // record's slot for one stays empty; the component is created without one).
  const TControlData* record = html->GetControlData();
  ASSERT_NE(record, nullptr);
  EXPECT_TRUE(IsEqualGUID(record->ClassID, mshtml::CLSID_DHTMLEdit));
  EXPECT_EQ(record->EventCount, 16);
  EXPECT_EQ(record->Version, 401);
  EXPECT_EQ(record->LicenseKey, nullptr);
  html->SetSource(W(ItemPage("Show", "Episode", "", "", "")));
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(creates, 1);
}

TEST_F(HtmlControl, SetSourceShowsTheChannelPage) {
  int setSources = 0;
  html->OnSetSource = [&](TObject*) { ++setSources; };
  Load(ChannelPage("Larkspool Radio", "Talk about birds", "http://feeds.example.org/lark.xml", "/tmp/none.bmp"));
  EXPECT_EQ(setSources, 1);
  const std::string body = U(html->GetBody());
  EXPECT_NE(body.find("Larkspool Radio"), std::string::npos) << body;
  EXPECT_NE(body.find("http://feeds.example.org/lark.xml"), std::string::npos);
  const std::string source = U(html->GetSource());
  EXPECT_NE(source.find("<table"), std::string::npos) << source;
  EXPECT_NE(source.find("Talk about birds"), std::string::npos);
  EXPECT_TRUE(html->GetSourceLoaded());
  EXPECT_FALSE(html->GetModified()) << "a loaded page is not a change";
  EXPECT_FALSE(html->CanUndo()) << "a load leaves nothing to undo";
}

TEST_F(HtmlControl, SetSourceKeepsTheFirstTitleOnly) {
  Load("<title>One</title><TITLE>Two</TITLE><p>text</p>");
  EXPECT_EQ(U(html->GetTitle()), "One");
  EXPECT_EQ(U(html->GetSource()).find("Two"), std::string::npos);
}

TEST_F(HtmlControl, AnEmptySourceLoadsOneBlank) {
  Load("");
  EXPECT_EQ(html->GetReason(), dcrUndefined);
  EXPECT_EQ(U(Doc()->GetBody()->GetInnerText()), "");
  // The control stays usable.
  Load("<p>after</p>");
  EXPECT_NE(U(html->GetBody()).find("after"), std::string::npos);
}

TEST_F(HtmlControl, SetSourceBeforeCreateDoesNothing) {
  TProfDHTMLEdit fresh(form.get());
  int events = 0;
  fresh.OnSetSource = [&](TObject*) { ++events; };
  fresh.SetSource(u"<p>early</p>");
  EXPECT_EQ(events, 0);
  EXPECT_EQ(fresh.GetReason(), dcrCreate);
}

TEST_F(HtmlControl, AddCssAfterSetSourceReachesTheShownPage) {
  Load(ChannelPage("Lark", "Birds", "http://f.example/x.xml", ""));
  ASSERT_TRUE(html->AddCSS(u"a {color: #808080}"));
  const std::vector<mshtml::StyleSheet*> sheets = Doc()->GetStyleSheets();
  ASSERT_EQ(sheets.size(), 1u);
  EXPECT_NE(U(sheets[0]->GetCssText()).find("808080"), std::string::npos);
  ASSERT_TRUE(html->AddCSS(u"p {margin: 0}"));
  ASSERT_EQ(Doc()->GetStyleSheets().size(), 1u) << "a second rule joins the last sheet";
  const std::string css = U(Doc()->GetStyleSheets()[0]->GetCssText());
  EXPECT_LT(css.find("808080"), css.find("margin"));
  // A new page replaces the document and its sheets.
  Load(ItemPage("Lark", "Item", "", "", ""));
  EXPECT_TRUE(Doc()->GetStyleSheets().empty());
}

TEST_F(HtmlControl, AddCssInBrowseModeIsRefused) {
  html->SetBrowseMode(true);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_FALSE(html->AddCSS(u"a {color: red}"));
}

TEST_F(HtmlControl, SelectionIsAtTheStartAfterEveryLoad) {
  const std::string pages[] = {
      ChannelPage("Lark", "Birds and more birds", "http://f.example/x.xml", ""),
      ItemPage("Lark", "First", "http://s.example/", "http://s.example/1", "http://s.example/1.mp3"),
      "<p>plain words here</p>",
  };
  for (const std::string& page : pages) {
    Load(page);
    EXPECT_EQ(html->GetSelStart(), 0) << page;
    EXPECT_EQ(html->GetSelLength(), 0) << page;
    html->SetSelStart(3);
    html->SetSelLength(4);
    EXPECT_EQ(html->GetSelStart(), 3);
    EXPECT_EQ(html->GetSelLength(), 4);
    EXPECT_FALSE(html->GetSelText().empty());
  }
  html->SetSelStart(-5);
  EXPECT_EQ(html->GetSelStart(), 0);
  html->SetSelLength(-2);
  EXPECT_EQ(html->GetSelLength(), 0);
}

TEST_F(HtmlControl, TheLinkUnderTheMouseIsReportedAndClearedOffIt) {
  Load(ItemPage("Lark", "First", "http://site.example/", "http://site.example/item1",
                "http://site.example/item1.mp3"));
  const struct {
    const char* text;
    const char* href;
  } links[] = {
      {"site", "http://site.example/"},
      {"item", "http://site.example/item1"},
      {"file", "http://site.example/item1.mp3"},
  };
  mshtml::Element* title = Find(u"B");
  ASSERT_NE(title, nullptr);
  for (const auto& link : links) {
    mshtml::Element* a = nullptr;
    for (mshtml::Element* e : Doc()->GetElementsByTagName(u"A"))
      if (U(e->GetInnerText()).find(link.text) != std::string::npos) a = e;
    ASSERT_NE(a, nullptr) << link.text;
    hrefs.clear();
    MoveTo(Middle(a));
    ASSERT_FALSE(hrefs.empty()) << "no OnMouseMove over " << link.text;
    EXPECT_EQ(U(hrefs.back()), link.href);
    const POINT p = Middle(a);
    EXPECT_EQ(U(html->HrefAtPoint(p.x, p.y)), link.href);
    // Off the link: over the title's text.
    hrefs.clear();
    MoveTo(Middle(title));
    ASSERT_FALSE(hrefs.empty());
    EXPECT_EQ(U(hrefs.back()), "");
  }
}

TEST_F(HtmlControl, MouseMessagesCarryClientCoordinatesAndKeys) {
  Load("<p>text</p>");
  std::vector<TShiftState> shifts;
  html->OnMouseMove = [&](TObject*, TShiftState shift, Integer x, Integer y) {
    shifts.push_back(shift);
    moves.push_back({x, y});
  };
  MoveTo(POINT{40, 30});
  ASSERT_FALSE(moves.empty());
  EXPECT_EQ(moves.back().x, 40);
  EXPECT_EQ(moves.back().y, 30);
  sim::ButtonDown(sim::Button::Left, MK_CONTROL);
  MoveTo(POINT{50, 35});
  sim::ButtonUp(sim::Button::Left, MK_CONTROL);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  ASSERT_FALSE(shifts.empty());
}

TEST_F(HtmlControl, EachEditRaisesOnChangeOnce) {
  Load("<p>hello</p>");
  changes = 0;
  html->SetSelStart(5);
  SetFocus(html->GetWindowHandle());
  sim::TypeText("a");
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(changes, 1);
  sim::TypeText("b");
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(changes, 2);
  EXPECT_NE(U(html->GetBody()).find("helloab"), std::string::npos) << U(html->GetBody());
  EXPECT_TRUE(html->GetModified());
  // A change made inside the handler raises no nested OnChange.
  int depth = 0, deepest = 0, calls = 0;
  html->OnChange = [&](TObject*) {
    ++depth;
    ++calls;
    deepest = std::max(deepest, depth);
    if (calls == 1) {
      Doc()->GetBody()->SetAttribute(u"bgcolor", u"#ffffff");
      larktest::PumpPending();
    }
    --depth;
  };
  sim::TypeText("c");
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_GE(calls, 1);
  EXPECT_EQ(deepest, 1);
}

TEST_F(HtmlControl, ALoadIsNoChange) {
  changes = 0;
  Load("<p>one</p>");
  Load("<p>two</p>");
  EXPECT_EQ(changes, 0);
}

TEST_F(HtmlControl, UpdateLockIsBalanced) {
  EXPECT_EQ(html->EndUpdate(), 0) << "EndUpdate without BeginUpdate changes nothing";
  EXPECT_EQ(html->BeginUpdate(), 1);
  // A load that fails (the address is not fetched) keeps the caller's depth.
  EXPECT_FALSE(html->LoadURL(u"http://nowhere.example/"));
  EXPECT_EQ(html->GetUpdateCount(), 1);
  EXPECT_EQ(html->EndUpdate(), 0);
}

TEST_F(HtmlControl, LoadUrlRefusesFilesAndFileAddresses) {
  EXPECT_FALSE(html->LoadURL(u"FILE:///etc/hostname"));
  EXPECT_FALSE(html->LoadURL(W(std::string(LARK_TEST_BINARY_DIR) + "/test_html")));
  EXPECT_EQ(html->GetReason(), dcrUndefined);
}

TEST_F(HtmlControl, TimeoutSetterKeepsPositiveValues) {
  html->SetTimeout(0);
  EXPECT_EQ(html->GetTimeout(), 30.0);
  html->SetTimeout(-1);
  EXPECT_EQ(html->GetTimeout(), 30.0);
  html->SetTimeout(2.5);
  EXPECT_EQ(html->GetTimeout(), 2.5);
}

TEST_F(HtmlControl, SwitchingBrowseModeRaisesOnSetBrowseModeOnly) {
  int browse = 0, timeouts = 0;
  html->OnSetBrowseMode = [&](TObject*) { ++browse; };
  html->OnTimeout = [&](TObject*) { ++timeouts; };
  html->SetBrowseMode(true);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(browse, 1);
  EXPECT_EQ(creates, 1);
  EXPECT_EQ(timeouts, 0);
  EXPECT_TRUE(html->RuntimeBrowseMode());
  EXPECT_EQ(html->GetReason(), dcrUndefined);
}

TEST_F(HtmlControl, StopWithoutALoadAnswersFalse) { EXPECT_FALSE(html->Stop()); }

TEST_F(HtmlControl, AnExceptionInOnSetSourceStaysInside) {
  html->OnSetSource = [](TObject*) { throw Exception("handler failed"); };
  html->SetSource(u"<p>x</p>");
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_NE(U(html->GetBody()).find("x"), std::string::npos);
}

}  // namespace
}  // namespace htmltest
