// Loads that go wrong: an engine that stays busy past Timeout (measured on the
// virtual clock), undo clearing whose completion never comes, files that cannot be
// written, and file names resolved once. After each the control is still usable.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "platform/rtl/Files.h"
#include "platform/sim/Clock.h"
#include "platform/sim/Dialogs.h"
#include "platform/sim/Faults.h"
#include "platform/sim/Mshtml.h"
#include "platform/sim/Program.h"
#include "platform/win/Window.h"
#include "tests/html/HtmlControlFixture.h"
#include "tests/html/PageShapes.h"

namespace htmltest {
namespace {

// Runs a step from inside the control's waits, again and again until stopped: a
// thread keeps one message posted to a window of the test's thread, and the loop
// that the control pumps while it waits handles it. Each step looks at the control's
// state, so what happens does not depend on how often the loop comes round.
class InsideTheWait {
 public:
  // With nested, a step may come inside another (moving the clock dispatches what is
  // due, which can be a wait of the control's that needs the next step); without,
  // such a message is passed over and comes again.
  explicit InsideTheWait(std::function<void()> step, bool nested = false)
      : step_(std::move(step)), window_(AllocateHWnd([this, nested](TMessage& m) {
          if (m.Msg != WM_USER) return;
          if (stop_) return;
          posted_ = false;
          if (inStep_ && !nested) return;
          // Steps nest only as deep as the control's waits do (a few levels); a
          // message that comes deeper is passed over and comes again, so a fast
          // poster cannot stack steps without end.
          if (inStep_ >= kMaxDepth) return;
          ++count_;
          ++inStep_;
          step_();
          --inStep_;
        })) {
    thread_ = std::thread([this] {
      while (!stop_) {
        if (!posted_.exchange(true)) PostMessage(window_, WM_USER, 0, 0);
        std::this_thread::yield();
      }
    });
  }
  ~InsideTheWait() {
    Stop();
    DeallocateHWnd(window_);
  }
  // No more steps once the messages already posted are handled.
  void Stop() {
    if (stop_.exchange(true)) return;
    thread_.join();
    posted_ = true;  // a message still queued does no step
    larktest::PumpPending();
  }
  int Count() const { return count_; }
  static constexpr int kMaxDepth = 8;

 private:
  std::function<void()> step_;
  HWND window_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> posted_{false};
  int count_ = 0;
  int inStep_ = 0;
};

class HtmlLoading : public HtmlControlTest {
 protected:
  TProfDHTMLEditDocumentCompleteReason dcrReasonSeen = dcrUndefined;
  void TearDown() override {
    sim::HoldEditLoads(false);
    HtmlControlTest::TearDown();
    if (sim::IsVirtualClock()) sim::UseRealClock();
  }
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
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
  dcrReasonSeen = dcrUndefined;
  InsideTheWait clock([&] {
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
    }
  });
  html->SetSource(u"<p>never shown</p>");
  clock.Stop();
  EXPECT_EQ(phase, 3);
  EXPECT_EQ(dcrReasonSeen, dcrSetSource) << "29 s is within the limit";
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
  InsideTheWait clock([&] { sim::AdvanceClock(31000); });
  html->SetSource(u"<p>held</p>");
  clock.Stop();
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
  InsideTheWait clock([&] {
    if (!held && html->GetReason() != dcrClearUndo2 && html->GetReason() != dcrSetSource2) return;
    if (!held) {
      sim::HoldEditLoads(true);
      held = true;
    }
    sim::AdvanceClock(31000);
  }, true);
  html->SetSource(u"<p>loaded</p>");
  clock.Stop();
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

}  // namespace
}  // namespace htmltest
