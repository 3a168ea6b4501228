// The simulated world's two halves: the hooks give the real answers while no driver
// is installed, and ResetWorld puts back what a test changed.
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/Clock.h"
#include "platform/sim/Dialogs.h"
#include "platform/sim/Faults.h"
#include "platform/sim/World.h"
#include "platform/win/MessageBox.h"
#include "platform/win/Messages.h"

namespace {

TEST(SimWorld, HooksGiveTheRealAnswersWithoutADriver) {
  sim::SetFaultCheck(nullptr);
  sim::SetDialogResponder(nullptr);
  for (const sim::Fault fault : {sim::Fault::FileWrite, sim::Fault::SocketConnect, sim::Fault::SocketRecv})
    EXPECT_FALSE(sim::ShouldFail(fault));
  EXPECT_FALSE(sim::IsVirtualClock());
  const uint64_t before = sim::NowMs();
  EXPECT_GE(sim::NowMs(), before);
  // A dialog takes its default button and is written to the console.
  AnsiString value = "typed";
  EXPECT_EQ(sim::AnswerDialog(sim::DialogKind::InputQuery, "Caption", "Prompt", 0, IDCANCEL, &value), IDCANCEL);
  EXPECT_EQ(value, "typed");
  sim::RecordHelp("help.hlp", 3);  // no viewer: nothing happens
  sim::ResetWorld();
  EXPECT_TRUE(sim::HelpLog().empty());
}

TEST(SimWorld, LeftoversNameWhatATestLeftAndResetClearsThem) {
  EXPECT_TRUE(sim::WorldLeftovers().empty());
  sim::FailNext(sim::Fault::FileWrite, 3);
  sim::FailNext({sim::Fault::SocketSend, sim::Fault::SocketRecv});
  sim::UseVirtualClock(1000);
  sim::QueueDialogAnswer("Save", IDNO);
  const std::vector<std::string> left = sim::WorldLeftovers();
  ASSERT_EQ(left.size(), 3u);
  EXPECT_EQ(left[0], "2 fault(s) asked for and never used");
  EXPECT_EQ(left[1], "the virtual clock is still installed");
  EXPECT_EQ(left[2], "1 dialog answer(s) queued and never used");

  sim::SetDialogEcho(false);
  MessageBox(0, "Save changes?", "Save", MB_YESNO);
  sim::ResetWorld();
  EXPECT_TRUE(sim::WorldLeftovers().empty());
  EXPECT_FALSE(sim::ShouldFail(sim::Fault::SocketSend));
  EXPECT_FALSE(sim::IsVirtualClock());
  EXPECT_GE(sim::NowMs(), 1000u);  // real time goes on from where the virtual clock stood
  EXPECT_TRUE(sim::DialogLog().empty());
}

TEST(SimWorld, AFaultOfSeveralKindsFailsTheNthOperationOfAnyOfThem) {
  sim::FailNext({sim::Fault::FileWrite, sim::Fault::SocketSend}, 2);
  EXPECT_FALSE(sim::ShouldFail(sim::Fault::SocketSend));
  EXPECT_FALSE(sim::ShouldFail(sim::Fault::FileRename));  // not one of them
  EXPECT_FALSE(sim::ShouldFail(sim::Fault::FileWrite));
  EXPECT_TRUE(sim::ShouldFail(sim::Fault::SocketSend));
  EXPECT_EQ(sim::PendingFaults(), 0);
  EXPECT_FALSE(sim::ShouldFail(sim::Fault::FileWrite));
}

}  // namespace
