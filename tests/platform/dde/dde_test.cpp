// DDE conversations with a stand-in browser in another process: scripted answers,
// refusals, answers that are late, malformed or too large, and no service at all.
#include "platform/dde/DdeMan.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/sim/Clock.h"
#include "platform/sim/Runtime.h"
#include "tests/support/Peers.h"
#include "tests/support/StandInBrowser.h"

namespace {

const char kTopic[] = "WWW_GetWindowInfo";
const char kItem[] = "0xFFFFFFFF,sURL,sTitle";

class Dde : public ::testing::Test {
 protected:
  void SetUp() override { sim::SetRuntimeFolder(runtime_.Path()); }

  // Starts a stand-in browser serving service with these script lines.
  void StartBrowser(const std::string& service, const std::vector<std::string>& script,
                    std::vector<std::string> extra = {}) {
    ASSERT_TRUE(stand_.Start(LARK_STAND_IN_BROWSER, runtime_.Path(), service, script, extra));
  }

  static std::string Text(const std::unique_ptr<char[]>& reply) { return reply ? reply.get() : "<null>"; }

  larktest::TempDir runtime_;
  larktest::StandInBrowser stand_;
  larktest::PeerProcess& browser_ = stand_.Process();
};

TEST_F(Dde, RequestGetsTheBrowsersAnswerAsText) {
  StartBrowser("IExplore", {R"(reply "http://127.0.0.1/feed.xml","A feed","")", "reply second"});
  TDdeClientConv conv(nullptr);
  ASSERT_TRUE(conv.SetLink("IExplore", kTopic));
  EXPECT_TRUE(conv.GetConnected());
  EXPECT_EQ(Text(conv.RequestData(kItem)), R"("http://127.0.0.1/feed.xml","A feed","")");
  EXPECT_EQ(Text(conv.RequestData(kItem)), "second");
  EXPECT_NE(browser_.Log().find(std::string("connect ") + kTopic), std::string::npos) << browser_.Log();
  // Requested in the text format (1) by the item's exact name.
  EXPECT_NE(browser_.Log().find(std::string("request 1 ") + kItem), std::string::npos) << browser_.Log();
}

TEST_F(Dde, TextEndsAtItsFirstNulAndIsAlwaysTerminated) {
  StartBrowser("IExplore", {R"(reply abc\0def)", "reply "});
  TDdeClientConv conv(nullptr);
  ASSERT_TRUE(conv.SetLink("IExplore", kTopic));
  const auto reply = conv.RequestData(kItem);
  ASSERT_TRUE(reply);
  EXPECT_STREQ(reply.get(), "abc");
  EXPECT_EQ(std::memcmp(reply.get(), "abc\0def\0", 8), 0);
  const auto empty = conv.RequestData(kItem);
  ASSERT_TRUE(empty);
  EXPECT_STREQ(empty.get(), "");
}

TEST_F(Dde, NoServiceListeningFailsCleanly) {
  TDdeClientConv conv(nullptr);
  EXPECT_FALSE(conv.SetLink("Firefox", kTopic));
  EXPECT_FALSE(conv.GetConnected());
  EXPECT_FALSE(conv.RequestData(kItem));
  conv.CloseLink();
}

TEST_F(Dde, AServiceThatRefusesTheTopicGivesNoLink) {
  StartBrowser("IExplore", {"reply x"}, {"--refuse"});
  TDdeClientConv conv(nullptr);
  EXPECT_FALSE(conv.SetLink("IExplore", kTopic));
  EXPECT_FALSE(conv.RequestData(kItem));
}

TEST_F(Dde, LinkGoesToTheNamedServiceOnly) {
  StartBrowser("Firefox", {"reply from firefox"});
  TDdeClientConv conv(nullptr);
  EXPECT_FALSE(conv.SetLink("IExplore", kTopic));
  ASSERT_TRUE(conv.SetLink("Firefox", kTopic));
  EXPECT_EQ(Text(conv.RequestData(kItem)), "from firefox");
  EXPECT_FALSE(conv.SetLink("Firefox", "OtherTopic"));
}

// An item without data is a null reply on a conversation that goes on; an answer that
// breaks the protocol ends the conversation, and the next request opens a new one.
TEST_F(Dde, BadAnswersGiveNullAndTheNextRequestStillWorks) {
  StartBrowser("IExplore", {"none", "reply after none", "garbage", "reply after garbage", "oversize",
                            "reply after oversize", "close", "reply after close"});
  TDdeClientConv conv(nullptr);
  ASSERT_TRUE(conv.SetLink("IExplore", kTopic));
  const struct {
    const char* after;
    bool keepsConversation;
  } cases[] = {{"none", true}, {"garbage", false}, {"oversize", false}, {"close", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.after);
    EXPECT_FALSE(conv.RequestData(kItem));
    EXPECT_EQ(conv.GetConnected(), c.keepsConversation);
    EXPECT_EQ(Text(conv.RequestData(kItem)), std::string("after ") + c.after);
  }
}

TEST_F(Dde, ManualModeConnectsOnlyWhenAsked) {
  StartBrowser("IExplore", {"reply manual"});
  TDdeClientConv conv(nullptr);
  conv.SetConnectMode(ddeManual);
  EXPECT_TRUE(conv.SetLink("IExplore", kTopic));
  EXPECT_FALSE(conv.GetConnected());
  EXPECT_FALSE(conv.RequestData(kItem));
  ASSERT_TRUE(conv.OpenLink());
  EXPECT_EQ(Text(conv.RequestData(kItem)), "manual");
}

// The request waits 10,000 ms on the sim clock: a silent browser gives a null reply
// once that time has passed, and an answer just before the limit is taken.
TEST_F(Dde, RequestWaitsTenSecondsOnTheClock) {
  const std::string release = runtime_.Path() + "release";
  StartBrowser("IExplore", {"hold " + release + " in time", "silent"});
  sim::UseVirtualClock(0);
  TDdeClientConv conv(nullptr);
  ASSERT_TRUE(conv.SetLink("IExplore", kTopic));

  std::thread mover([&] {
    // Once the request is in, move the clock to just before the limit, then let the
    // browser answer.
    EXPECT_TRUE(browser_.WaitForOutput("(1)"));
    sim::AdvanceClock(kDdeRequestTimeoutMs - 1);
    std::ofstream(release.c_str()) << "go";
  });
  EXPECT_EQ(Text(conv.RequestData(kItem)), "in time");
  mover.join();

  std::thread expirer([&] {
    EXPECT_TRUE(browser_.WaitForOutput("(2)"));
    sim::AdvanceClock(kDdeRequestTimeoutMs);
  });
  EXPECT_FALSE(conv.RequestData(kItem));
  expirer.join();
  EXPECT_FALSE(conv.GetConnected());
  sim::UseRealClock();
}

TEST_F(Dde, ServicePathLivesInTheRuntimeFolder) {
  EXPECT_EQ(DdeServicePath("IExplore"), runtime_.Path() + "lark-dde-IExplore.sock");
  EXPECT_EQ(DdeServicePath("a b/c"), runtime_.Path() + "lark-dde-a%20b%2Fc.sock");
  EXPECT_EQ(DdeServicePath(std::string(200, 's')), "");  // too long for a socket name
}

}  // namespace
