// Loads that go wrong: an engine that stays busy past Timeout (measured on the
// virtual clock), undo clearing whose completion never comes, files that cannot be
// written, and file names resolved once. After each the control is still usable.
// The open and save dialogs, answered as a person would.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "platform/rtl/Files.h"
#include "platform/sim/Clock.h"
#include "platform/sim/Dialogs.h"
#include "platform/sim/Faults.h"
#include "platform/sim/Mshtml.h"
#include "platform/sim/Program.h"
#include "platform/win/MessageBox.h"
#include "platform/win/Window.h"
#include "tests/html/HtmlControlFixture.h"
#include "tests/html/PageShapes.h"

namespace htmltest {
namespace {

// A control that runs a step of the test on each pass of its waits (the load's and
// the undo clearing's), before the pass handles messages. Each step looks at the
// control's state, so what happens does not depend on how many passes there are.
// A step that moves the clock may dispatch a completion whose own wait runs the
// step again; such steps nest only as deep as the control's waits do.
class SteppedEdit : public TProfDHTMLEdit {
 public:
  using TProfDHTMLEdit::TProfDHTMLEdit;
  std::function<void()> Step;

 protected:
  void WaitPass() override {
    if (Step && depth_ < kMaxDepth) {
      ++depth_;
      Step();
      --depth_;
    }
    TProfDHTMLEdit::WaitPass();
  }

 private:
  static constexpr int kMaxDepth = 8;
  int depth_ = 0;
};

class HtmlLoading : public HtmlControlTest {
 protected:
  TProfDHTMLEditDocumentCompleteReason dcrReasonSeen = dcrUndefined;
  TProfDHTMLEdit* MakeControl(TComponent* owner) override { return stepped = new SteppedEdit(owner); }
  void TearDown() override {
    stepped->Step = nullptr;
    sim::HoldEditLoads(false);
    HtmlControlTest::TearDown();
    if (sim::IsVirtualClock()) sim::UseRealClock();
  }
  SteppedEdit* stepped = nullptr;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A folder of its own for each test that writes files.
std::string Folder(const std::string& name) {
  const std::string folder = std::string(LARK_TEST_BINARY_DIR) + "/" + name + "/";
  ForceDirectories(folder);
  return folder;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

TEST_F(HtmlLoading, ALoadPastTimeoutEndsWithABlankDocumentAndOnTimeout) {
  Load("<p>before</p>");
  sim::UseVirtualClock(1000);
  int timeouts = 0;
  html->OnTimeout = [&](TObject*) { ++timeouts; };
  sim::HoldEditLoads(true);
  // 29 s pass: still waiting; then 2 s more, past the limit. The blank document
  // that replaces the load is let through.
  int phase = 0;
  int passesPastTheLimit = 0;
  dcrReasonSeen = dcrUndefined;
  stepped->Step = [&] {
    const auto reason = html->GetReason();
    if (phase == 0 && reason == dcrSetSource) {
      phase = 1;
      sim::AdvanceClock(29000);
    } else if (phase == 1 && reason == dcrSetSource) {
      phase = 2;
      dcrReasonSeen = reason;
      sim::AdvanceClock(2000);
    } else if (phase == 2 && reason == dcrTimeout) {
      phase = 3;
      sim::HoldEditLoads(false);
    } else if (phase == 2) {
      ++passesPastTheLimit;
    }
  };
  html->SetSource(u"<p>never shown</p>");
  stepped->Step = nullptr;
  EXPECT_EQ(phase, 3);
  EXPECT_EQ(dcrReasonSeen, dcrSetSource) << "29 s is within the limit";
  // Elapsed time is the monotonic clock's: the load ends in the pass that went past
  // the limit, whatever the wall clock says.
  EXPECT_EQ(passesPastTheLimit, 0);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(timeouts, 1);
  EXPECT_EQ(html->GetReason(), dcrUndefined);
  EXPECT_FALSE(html->GetSourceLoaded());
  EXPECT_EQ(U(html->GetBody()).find("never shown"), std::string::npos);
  // Still usable.
  Load("<p>after</p>");
  EXPECT_NE(U(html->GetBody()).find("after"), std::string::npos);
}

TEST_F(HtmlLoading, AnEngineThatNeverCompletesDoesNotWedgeTheControl) {
  sim::UseVirtualClock(1000);
  sim::HoldEditLoads(true);
  // The load and the blank document after it both stay busy: each wait ends at
  // Timeout instead of holding the program for good.
  stepped->Step = [&] { sim::AdvanceClock(31000); };
  html->SetSource(u"<p>held</p>");
  stepped->Step = nullptr;
  EXPECT_EQ(html->GetReason(), dcrUndefined) << "no reason is left pending";
  sim::HoldEditLoads(false);
  ASSERT_TRUE(larktest::PumpUntil([&] { return html->CanGetDOM(); }));
  ASSERT_TRUE(larktest::PumpUntilIdle());
  Load("<p>usable again</p>");
  EXPECT_NE(U(html->GetBody()).find("usable again"), std::string::npos);
}

TEST_F(HtmlLoading, UndoClearingThatNeverCompletesLeavesNoReasonPending) {
  Load("<p>text</p>");
  sim::UseVirtualClock(1000);
  // The page loads; from the undo clearing that follows on, the engine stays busy:
  // every wait from there ends at Timeout.
  bool held = false;
  stepped->Step = [&] {
    if (!held && html->GetReason() != dcrClearUndo2 && html->GetReason() != dcrSetSource2) return;
    if (!held) {
      sim::HoldEditLoads(true);
      held = true;
    }
    sim::AdvanceClock(31000);
  };
  html->SetSource(u"<p>loaded</p>");
  stepped->Step = nullptr;
  sim::HoldEditLoads(false);
  ASSERT_TRUE(larktest::PumpUntil([&] { return html->CanGetDOM(); }));
  EXPECT_EQ(html->GetReason(), dcrUndefined);
  Load("<p>next</p>");
  EXPECT_NE(U(html->GetBody()).find("next"), std::string::npos) << "a later SetSource is not dropped";
}

TEST_F(HtmlLoading, SaveToFileWritesTheSourceAndReplacesTheFileWhole) {
  Load("<p>caf\xe9 au lait</p>");
  const std::string path = std::string(LARK_TEST_BINARY_DIR) + "/html_save_latin.htm";
  {
    std::ofstream old(path, std::ios::binary);
    old << "old content";
  }
  ASSERT_TRUE(html->SaveToFile(path));
  const std::string bytes = ReadFile(path);
  EXPECT_NE(bytes.find("au lait"), std::string::npos) << "8-bit text without a mark";
  EXPECT_NE(bytes.substr(0, 2), "\xFF\xFE");
  EXPECT_FALSE(FileExists(path + ".~tmp"));
}

TEST_F(HtmlLoading, TextOutsideTheCodePageSurvivesASaveAndALoad) {
  const WideString text = mshtml::Utf8ToWide("\xe2\x82\xac and \xe5\x8c\x97 and \xf0\x9f\x90\xa6");
  html->SetSource(u"<p>" + text + u"</p>");
  ASSERT_TRUE(larktest::PumpUntilIdle());
  const std::string path = std::string(LARK_TEST_BINARY_DIR) + "/html_save_wide.htm";
  ASSERT_TRUE(html->SaveToFile(path));
  ASSERT_TRUE(html->LoadFromFile(path));
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(Doc()->GetBody()->GetInnerText(), text) << "the euro, a CJK letter and a bird outside the BMP";
}

TEST_F(HtmlLoading, AFailedSaveReportsFailureAndKeepsTheOldFile) {
  Load("<p>new text</p>");
  const std::string path = std::string(LARK_TEST_BINARY_DIR) + "/html_save_fail.htm";
  // Saved once: the path is the engine's file name from now on.
  ASSERT_TRUE(html->SaveToFile(path));
  {
    std::ofstream old(path, std::ios::binary);
    old << "the old file";
  }
  const struct {
    sim::Fault fault;
    const char* name;
  } faults[] = {{sim::Fault::FileWrite, "write"}, {sim::Fault::FileRename, "rename"},
                {sim::Fault::FileCreate, "create"}};
  for (const auto& f : faults) {
    const size_t shown = sim::DialogLog().size();
    sim::FailNext(f.fault);
    EXPECT_FALSE(html->SaveToFile(path)) << f.name;
    EXPECT_EQ(ReadFile(path), "the old file") << f.name;
    EXPECT_EQ(sim::DialogLog().size(), shown + 1) << "the failure is shown: " << f.name;
    sim::ClearFaults();
  }
}

TEST_F(HtmlLoading, LoadFromFileLoadsTheFileItTested) {
  // A bare name is the program folder's file, whether or not the current folder has
  // one of that name.
  const std::string folder = std::string(LARK_TEST_BINARY_DIR) + "/html_program/";
  ForceDirectories(folder);
  sim::SetProgramPath(folder + "larkspool");
  {
    std::ofstream page(folder + "page.htm", std::ios::binary);
    page << "<p>from the program folder</p>";
  }
  int loads = 0;
  html->OnLoadFromFile = [&](TObject*) { ++loads; };
  ASSERT_TRUE(html->LoadFromFile("page.htm"));
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(loads, 1);
  EXPECT_NE(U(html->GetBody()).find("from the program folder"), std::string::npos);
  EXPECT_FALSE(html->LoadFromFile("missing.htm"));
  sim::SetProgramPath("");
}

TEST_F(HtmlLoading, AddCssFileLinksTheFileItTested) {
  const std::string folder = Folder("html_css_program");
  sim::SetProgramPath(folder + "larkspool");
  WriteFile(folder + "style.css", "p {color: red}");
  Load("<p>styled</p>");
  // A bare name that exists in the program folder is linked there; any other name is
  // an address as it stands.
  ASSERT_TRUE(html->AddCSSFile("style.css"));
  ASSERT_TRUE(html->AddCSSFile("missing.css"));
  const std::vector<mshtml::StyleSheet*> sheets = Doc()->GetStyleSheets();
  ASSERT_EQ(sheets.size(), 2u);
  EXPECT_EQ(U(sheets[0]->GetHref()), folder + "style.css");
  EXPECT_EQ(U(sheets[1]->GetHref()), "missing.css");
  sim::SetProgramPath("");
}

TEST_F(HtmlLoading, TheOpenDialogLoadsTheChosenFileAndACancelLoadsNothing) {
  const std::string folder = Folder("html_open_dialog");
  WriteFile(folder + "chosen.htm", "<p>the chosen page</p>");
  int opened = 0, cancelled = 0;
  html->OnOpenDialog = [&](TObject*) { ++opened; };
  html->OnOpenDialogCancel = [&](TObject*) { ++cancelled; };
  // The dialog opens in the folder given: a bare name is found there.
  sim::QueueDialogAnswer("Open", IDOK, "chosen.htm");
  EXPECT_EQ(html->OpenDialog(folder), folder + "chosen.htm");
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(cancelled, 0);
  EXPECT_EQ(html->GetReason(), dcrUndefined);
  EXPECT_TRUE(html->GetSourceLoaded());
  EXPECT_NE(U(html->GetBody()).find("the chosen page"), std::string::npos);
  EXPECT_FALSE(html->GetModified());
  EXPECT_FALSE(html->CanUndo());

  sim::QueueDialogAnswer("Open", IDCANCEL);
  EXPECT_EQ(html->OpenDialog(folder), folder + "chosen.htm") << "the file shown stays the current one";
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(cancelled, 1);
  EXPECT_EQ(html->GetReason(), dcrUndefined) << "a cancelled dialog leaves no reason pending";
  EXPECT_NE(U(html->GetBody()).find("the chosen page"), std::string::npos);
  Load("<p>usable</p>");
  EXPECT_NE(U(html->GetBody()).find("usable"), std::string::npos);
}

TEST_F(HtmlLoading, TheSaveDialogWritesTheControlsOwnSource) {
  const std::string folder = Folder("html_save_dialog");
  DeleteFile(folder + "saved.htm");
  Load("<P>saved text</P>");
  sim::QueueDialogAnswer("Save As", IDOK, "saved.htm");
  EXPECT_EQ(html->SaveDialog(folder), folder + "saved.htm");
  const std::string written = ReadFile(folder + "saved.htm");
  EXPECT_NE(written.find("<p>saved text</p>"), std::string::npos) << "the formatter's lower-case names: " << written;
  EXPECT_EQ(U(html->GetFileName()), folder + "saved.htm");

  // Cancelled: the old name, and the file is not written again.
  WriteFile(folder + "saved.htm", "kept as it is");
  sim::QueueDialogAnswer("Save As", IDCANCEL);
  EXPECT_EQ(html->SaveDialog(folder), folder + "saved.htm");
  EXPECT_EQ(ReadFile(folder + "saved.htm"), "kept as it is");
}

TEST_F(HtmlLoading, ASaveDialogWhoseFileCannotBeWrittenReportsNoFile) {
  const std::string folder = Folder("html_save_dialog_fail");
  DeleteFile(folder + "failed.htm");
  Load("<p>text</p>");
  const size_t shown = sim::DialogLog().size();
  sim::QueueDialogAnswer("Save As", IDOK, "failed.htm");
  // The engine's write of the chosen file succeeds; the control's own write of it fails.
  sim::FailNext(sim::Fault::FileCreate, 1);
  EXPECT_EQ(html->SaveDialog(folder), "");
  sim::ClearFaults();
  EXPECT_EQ(sim::DialogLog().size(), shown + 2) << "the dialog, then the failure";
}

TEST_F(HtmlLoading, ASourceThatReadsBackEmptyIsNeitherSavedNorReloaded) {
  // With source preservation the source is the engine's HTML; reading it fails here,
  // so the control sees an empty source for a document that holds text.
  html->SetSourceCodePreservation(true);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  Load("<head><basefont size=\"3\"></head><p>keep me</p>");
  ASSERT_TRUE(html->UseSourceCodePreservation());
  const std::string path = Folder("html_empty_source") + "page.htm";
  WriteFile(path, "the old file");
  sim::FailEditProperty(mshtml::DISPID_DHTMLEDIT_DOCUMENTHTML, E_FAIL);
  EXPECT_FALSE(html->SaveToFile(path));
  EXPECT_EQ(ReadFile(path), "the old file");
  // The insert lands, but the document is not reloaded from the empty text.
  SetFocus(html->GetWindowHandle());
  EXPECT_FALSE(html->InsertHTML(u"<b>inserted</b>"));
  sim::FailEditProperty(mshtml::DISPID_DHTMLEDIT_DOCUMENTHTML, S_OK);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_NE(U(Doc()->GetBody()->GetInnerText()).find("keep me"), std::string::npos);
  EXPECT_NE(U(Doc()->GetBody()->GetInnerText()).find("inserted"), std::string::npos);
}

TEST_F(HtmlLoading, NewDocumentRaisesItsOwnEventOnce) {
  int news = 0, browse = 0;
  html->OnNewDocument = [&](TObject*) { ++news; };
  html->OnSetBrowseMode = [&](TObject*) { ++browse; };
  Load("<p>text</p>");
  ASSERT_TRUE(html->GetSourceLoaded());
  ASSERT_TRUE(html->NewDocument());
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(news, 1);
  EXPECT_EQ(browse, 0);
  EXPECT_FALSE(html->GetSourceLoaded());
  EXPECT_EQ(html->GetReason(), dcrUndefined);
  TProfDHTMLEdit fresh(form.get());
  EXPECT_FALSE(fresh.NewDocument()) << "no new document before the first";
}

TEST_F(HtmlLoading, ClearUndoEmptiesTheHistoryAndRaisesOnClearUndo) {
  Load("<p>hello</p>");
  int cleared = 0;
  html->OnClearUndo = [&](TObject*) { ++cleared; };
  EXPECT_FALSE(html->CanClearUndo()) << "nothing to clear after a load";
  html->SetSelStart(5);
  SetFocus(html->GetWindowHandle());
  sim::TypeText("x");
  ASSERT_TRUE(larktest::PumpUntilIdle());
  ASSERT_TRUE(html->CanClearUndo());
  EXPECT_TRUE(html->ClearUndo());
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(cleared, 1);
  EXPECT_FALSE(html->CanUndo());
  EXPECT_EQ(html->GetSelStart(), 6) << "the caret stays where it was";
  EXPECT_NE(U(html->GetBody()).find("hellox"), std::string::npos);
}

TEST_F(HtmlLoading, AStoppedLoadCountsAsLoadedSource) {
  Load("<p>first</p>");
  ASSERT_TRUE(html->NewDocument());
  ASSERT_TRUE(larktest::PumpUntilIdle());
  ASSERT_FALSE(html->GetSourceLoaded());
  int stops = 0;
  html->OnStop = [&](TObject*) { ++stops; };
  sim::HoldEditLoads(true);
  bool stopped = false;
  stepped->Step = [&] {
    if (html->GetReason() == dcrSetSource && !stopped) {
      stopped = true;
      EXPECT_TRUE(html->CanStop());
      EXPECT_TRUE(html->Stop());
    } else if (html->GetReason() == dcrStop) {
      sim::HoldEditLoads(false);
    }
  };
  html->SetSource(u"<p>stopped</p>");
  stepped->Step = nullptr;
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_TRUE(stopped);
  EXPECT_EQ(stops, 1);
  EXPECT_TRUE(html->GetSourceLoaded());
  EXPECT_EQ(html->GetReason(), dcrUndefined);
  EXPECT_FALSE(html->CanStop());
}

}  // namespace
}  // namespace htmltest
