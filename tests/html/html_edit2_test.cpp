// The browser-host control: start-up in design mode, loads from text, files and
// addresses, saving, the browse-mode switch, the event sinks it attaches after each
// load (and after a base address set on its own), host answers, the details view.
#include <filesystem>
#include <fstream>

#include "html/ProfDHTMLEdit2.h"
#include "platform/mshtml/TextRange.h"
#include "platform/sim/Dialogs.h"
#include "platform/sim/Faults.h"
#include "platform/sim/MshtmlCommands.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Input.h"
#include "platform/win/MessageBox.h"
#include "tests/html/HtmlControlFixture.h"
#include "tests/support/Peers.h"
#include "tests/support/Pump.h"

using namespace htmltest;

namespace {

class HtmlEdit2 : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    sim::ResetHtmlCommands();
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(20, 20, 640, 480);
    html = new TProfDHTMLEdit2(form.get());
    html->SetParent(form.get());
    html->SetBounds(8, 8, 600, 420);
    html->OnCreate = [this](TObject*) { ++creates; };
    html->OnChange = [this](TObject*) { ++changes; };
    html->OnMouseMove = [this](TObject*, TShiftState, Integer, Integer) { ++moves; };
    form->Show();
    ASSERT_TRUE(larktest::PumpUntil([&] { return creates > 0; })) << "the control never raised OnCreate";
    ASSERT_TRUE(larktest::PumpUntilIdle());
  }
  void TearDown() override {
    form.reset();
    larktest::PumpUntilIdle();
    sim::ResetHtmlCommands();
    OleUninitialize();
  }
  mshtml::Document* Doc() { return html->ReadDOM()->GetDocument(); }
  std::string Body() { return U(Doc()->GetBody()->GetInnerHTML()); }
  void Load(const std::string& page) {
    html->SetSource(W(page));
    ASSERT_TRUE(larktest::PumpUntilIdle());
  }
  // Moves the mouse over the middle of the document window.
  void Wiggle(int x) {
    sim::MoveMouse(html->GetWindowHandle(), x, 20);
    ASSERT_TRUE(larktest::PumpUntilIdle());
  }

  std::unique_ptr<TForm> form;
  TProfDHTMLEdit2* html = nullptr;
  int creates = 0, changes = 0, moves = 0;
};

}  // namespace

TEST_F(HtmlEdit2, StartsInDesignModeWithSinksAttachedAndIdle) {
  EXPECT_EQ(creates, 1);
  EXPECT_FALSE(html->GetBusy());
  EXPECT_FALSE(html->RuntimeBrowseMode());
  EXPECT_EQ(U(Doc()->GetDesignMode()), "On");
  for (const auto& handler : html->GetEventHandlers()) EXPECT_TRUE(handler);
  EXPECT_FALSE(html->GetModified());
  EXPECT_TRUE(html->GetFileName().empty());
  EXPECT_NE(html->GetAbout().find("2.0 Preview"), std::string::npos);
}

TEST_F(HtmlEdit2, SourceGoesInAndComesBackAndEditsReachTheControl) {
  Load("<html><head><title>T</title></head><body><p>hello \xE9 world</p></body></html>");
  EXPECT_EQ(U(html->GetTitle()), "T");
  EXPECT_EQ(Body(), "<P>hello \xE9 world</P>");
  EXPECT_TRUE(html->GetSourceLoaded());
  EXPECT_EQ(U(Doc()->GetDesignMode()), "On");  // a source load keeps edit mode
  EXPECT_NE(U(html->MSSource()).find("<P>hello \xE9 world</P>"), std::string::npos);
  EXPECT_FALSE(html->GetModified());  // reading the source changes nothing
  // An edit command raises OnChange through the change log of the new document.
  changes = 0;
  auto range = Doc()->CreateTextRange();
  range->SetRange(0, 5);
  Doc()->GetSelection()->Select(*range);
  ASSERT_TRUE(html->ToggleBold(true));
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_GE(changes, 1);
  EXPECT_TRUE(html->GetModified());
  EXPECT_TRUE(html->GetModified() == (html->MSSource(), true));  // still modified after reading
}

TEST_F(HtmlEdit2, EachLoadAttachesFreshSinksAndTheOldOnesAreDeaf) {
  Wiggle(30);
  Wiggle(60);
  EXPECT_GT(moves, 0);
  const auto before = html->GetEventHandlers();
  Load("<p>second</p>");
  const auto after = html->GetEventHandlers();
  for (size_t i = 0; i < before.size(); ++i) EXPECT_NE(before[i].Get(), after[i].Get());
  moves = 0;
  Wiggle(90);
  Wiggle(120);
  EXPECT_GT(moves, 0);
}

TEST_F(HtmlEdit2, ABaseAddressSetOnItsOwnKeepsEventsAndChangesFlowing) {
  Load("<html><head><base href=\"http://a/\"><base href=\"http://b/\"></head><body><p>abc</p></body></html>");
  int setBase = 0;
  html->OnSetBaseURL = [&](TObject*) { ++setBase; };
  html->SetBaseURL(u"http://example.org/");
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(setBase, 1);
  EXPECT_EQ(Doc()->GetElementsByTagName(u"base").size(), 1u);
  EXPECT_EQ(U(html->GetBaseURL()), "http://example.org/");
  // The reloaded document still reports edits and mouse moves to the control.
  changes = 0;
  moves = 0;
  auto range = Doc()->CreateTextRange();
  range->SetRange(0, 2);
  Doc()->GetSelection()->Select(*range);
  ASSERT_TRUE(html->ToggleItalic(true));
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_GE(changes, 1);
  Wiggle(40);
  Wiggle(80);
  EXPECT_GT(moves, 0);
}

TEST_F(HtmlEdit2, NavigationsComeBackInEditModeUnlessBrowseModeWasChosen) {
  larktest::TempDir dir;
  const std::string page = dir.Path() + "page.html";
  std::ofstream(page) << "<html><body><p>from a file</p></body></html>";
  ASSERT_TRUE(html->LoadURL(W("file://" + page)) || html->LoadFromFile(page));
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(Body(), "<P>from a file</P>");
  EXPECT_EQ(U(Doc()->GetDesignMode()), "On");
  ASSERT_TRUE(html->NewDocument());
  EXPECT_TRUE(html->GetBusy());
  ASSERT_TRUE(larktest::PumpUntil([&] { return !html->GetBusy(); }));
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(U(Doc()->GetDesignMode()), "On");
  EXPECT_TRUE(html->GetFileName().empty());
  // Browse mode by choice stays after a navigation.
  int switched = 0;
  html->OnSetBrowseMode = [&](TObject*) { ++switched; };
  html->SetBrowseMode(true);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(switched, 1);
  EXPECT_TRUE(html->GetBrowseMode());
  html->SetBrowseMode(true);  // the current value: nothing happens
  EXPECT_EQ(switched, 1);
  ASSERT_TRUE(html->NewDocument());
  ASSERT_TRUE(larktest::PumpUntil([&] { return !html->GetBusy(); }));
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_TRUE(html->RuntimeBrowseMode());
  html->SetBrowseMode(false);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(switched, 2);
  EXPECT_FALSE(html->RuntimeBrowseMode());
}

TEST_F(HtmlEdit2, FilesLoadAndSaveAndTheSaveDialogReportsAFailedSave) {
  larktest::TempDir dir;
  const std::string page = dir.Path() + "in.html";
  std::ofstream(page) << "<p>file text</p>";
  ASSERT_TRUE(html->LoadFromFile(page));
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(Body(), "<P>file text</P>");
  EXPECT_EQ(U(html->GetFileName()), page);
  const std::string out = dir.Path() + "out.html";
  sim::QueueDialogAnswer("", IDOK, out);
  EXPECT_EQ(html->SaveDialog("ignored"), out);
  EXPECT_TRUE(std::filesystem::exists(out));
  // A file that cannot be written: the dialog answers empty instead of the name.
  sim::QueueDialogAnswer("", IDOK, dir.Path() + "second.html");
  sim::FailNext(sim::Fault::FileCreate);
  EXPECT_EQ(html->SaveDialog(""), "");
  EXPECT_FALSE(std::filesystem::exists(dir.Path() + "second.html"));
  // Cancelled: the current file name.
  sim::QueueDialogAnswer("", IDCANCEL);
  EXPECT_EQ(html->SaveDialog(""), WideToAnsi(html->GetFileName()));
}

TEST_F(HtmlEdit2, HostAnswersAndTheDetailsView) {
  DOCHOSTUIINFO info;
  html->SetScrollBars(false);
  html->SetFlat(true);
  html->SetUseDivOnCarriageReturn(true);
  ASSERT_EQ(html->GetHostInfo(&info), S_OK);
  EXPECT_EQ(info.cbSize, 12u);
  EXPECT_EQ(info.dwFlags, DWORD(0x100 | 0x4 | 0x8));
  EXPECT_EQ(html->ShowContextMenu(0, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(html->HideUI(), E_NOTIMPL);
  void* handler = nullptr;
  ASSERT_EQ(static_cast<IOleClientSite*>(html)->QueryInterface(IID_IDocHostUIHandler, &handler), S_OK);
  static_cast<IUnknown*>(handler)->Release();
  sim::ResetHtmlCommands();
  html->SetShowDetails(true);
  auto log = sim::HtmlExecLog();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2].Id, mshtml::IDM_REPLACEGLYPHTABLE);
  const std::string table = U(log[log.size() - 2].In.AsWideString());
  EXPECT_EQ(table.rfind("%%p^^%%res://", 0), 0u) << table;
  EXPECT_NE(table.find("/GIF/IDR_pbgn^^%%0^^%%3^^%%3^^%%4^^%%20^^%%15^^%%20^^%%15^^**"), std::string::npos);
  EXPECT_EQ(log.back().Id, mshtml::IDM_SHOWGLYPHS);
  // Every completed load sends them again.
  sim::ResetHtmlCommands();
  Load("<p>x</p>");
  bool again = false;
  for (const auto& r : sim::HtmlExecLog()) again = again || r.Id == mshtml::IDM_SHOWGLYPHS;
  EXPECT_TRUE(again);
  sim::ResetHtmlCommands();
  html->SetShowDetails(false);
  log = sim::HtmlExecLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].Id, mshtml::IDM_EMPTYGLYPHTABLE);
}

TEST_F(HtmlEdit2, TableCommandsWorkOnTheDocumentAndInsertTableEscapesTheCaption) {
  Load("<p>abc</p>");
  auto range = Doc()->CreateTextRange();
  range->SetRange(1, 1);
  Doc()->GetSelection()->Select(*range);
  ASSERT_TRUE(html->InsertTable(2, 2, u"<b>cap</b>"));
  ASSERT_TRUE(larktest::PumpUntilIdle());
  ASSERT_EQ(Doc()->GetElementsByTagName(u"td").size(), 4u);
  EXPECT_TRUE(Doc()->GetElementsByTagName(u"b").empty());
  EXPECT_EQ(U(Doc()->GetElementsByTagName(u"caption").at(0)->GetInnerText()), "<b>cap</b>");
  Doc()->GetElementsByTagName(u"td").at(0)->SetInnerText(u"x");
  range = Doc()->CreateTextRange();
  range->MoveToElementText(Doc()->GetElementsByTagName(u"td").at(0));
  range->Collapse(true);
  Doc()->GetSelection()->Select(*range);
  EXPECT_TRUE(html->IsTableCellSelected());
  EXPECT_TRUE(html->IsTableSelected());
  ASSERT_TRUE(html->TableInsertRow());
  EXPECT_EQ(Doc()->GetElementsByTagName(u"tr").size(), 3u);
  EXPECT_TRUE(html->AlterTable(1, 1, u""));
  EXPECT_EQ(Doc()->GetElementsByTagName(u"td").size(), 1u);
}

TEST_F(HtmlEdit2, TypingReachesTheDocumentAndClearingUndoRaisesNoEvent) {
  Load("<p>abc</p>");
  int keys = 0, cleared = 0;
  html->OnKeyDown = [&](TObject*, Word&, TShiftState) { ++keys; };
  html->OnClearUndo = [&](TObject*) { ++cleared; };
  html->SetSelStart(3);
  SetFocus(html->GetWindowHandle());
  sim::TypeText("d");
  sim::PressKey(VK_RETURN);
  sim::TypeText("e");
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(Body(), "<P>abcd</P>\r\n<P>e</P>");
  EXPECT_GE(keys, 3);  // the key events come through the attached sinks
  ASSERT_TRUE(html->CanUndo());
  ASSERT_TRUE(html->ClearUndo());
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_FALSE(html->CanUndo());
  EXPECT_EQ(cleared, 0);
  EXPECT_EQ(U(Doc()->GetDesignMode()), "On");
  EXPECT_EQ(html->GetSelStart(), 6);  // "abcd", the paragraph break, "e"
}
