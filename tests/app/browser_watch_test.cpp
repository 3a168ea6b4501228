// The browser poll of one-click subscription against stand-in browsers answering over
// DDE, and the test of the addresses the poll hands on.
#include "app/BrowserWatch.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/sim/Runtime.h"
#include "tests/support/Peers.h"
#include "tests/support/StandInBrowser.h"

namespace {

class BrowserWatch : public ::testing::Test {
 protected:
  void SetUp() override { sim::SetRuntimeFolder(runtime_.Path()); }

  void Start(const std::string& service, const std::vector<std::string>& script) {
    browsers_.push_back(std::make_unique<larktest::StandInBrowser>());
    ASSERT_TRUE(browsers_.back()->Start(LARK_STAND_IN_BROWSER, runtime_.Path(), service, script));
  }
  AnsiString Poll() { return GetBrowserUrl(dde_, urls_); }

  larktest::TempDir runtime_;
  std::vector<std::unique_ptr<larktest::StandInBrowser>> browsers_;
  TDdeClientConv dde_{nullptr};
  TBrowserUrls urls_;
};

TEST_F(BrowserWatch, NoBrowserGivesNothing) {
  EXPECT_EQ(Poll(), "");
  EXPECT_EQ(Poll(), "");
}

// The same address stays in the browser: it is taken once. An address shown again
// after another one is taken again.
TEST_F(BrowserWatch, EachNewAddressOfInternetExplorerIsTakenOnce) {
  Start("IExplore", {R"(reply "http://127.0.0.1:8080/feed.xml","My feed","")",
                     R"(reply "http://127.0.0.1:8080/feed.xml","My feed","")",
                     R"(reply "http://127.0.0.1:8080/page.html","A page","")",
                     R"(reply "http://127.0.0.1:8080/feed.xml","My feed","")"});
  EXPECT_EQ(Poll(), "http://127.0.0.1:8080/feed.xml");
  EXPECT_EQ(Poll(), "");
  EXPECT_EQ(Poll(), "http://127.0.0.1:8080/page.html");
  EXPECT_EQ(Poll(), "http://127.0.0.1:8080/feed.xml");
  EXPECT_EQ(Poll(), "");
  EXPECT_EQ(urls_.LastIeUrl, "http://127.0.0.1:8080/feed.xml");
  EXPECT_NE(browsers_[0]->Log().find("request 1 0xFFFFFFFF,sURL,sTitle"), std::string::npos)
      << browsers_[0]->Log();
}

// Firefox is asked only while Internet Explorer has nothing new.
TEST_F(BrowserWatch, FirefoxIsAskedWhenInternetExplorerHasNothingNew) {
  Start("IExplore", {R"(reply "http://ie/feed","t")", R"(reply "http://ie/feed","t")", "none",
                     R"(reply "http://ie/other","t")"});
  Start("Firefox", {R"(reply "http://ff/feed","t")", R"(reply "http://ff/feed","t")"});
  EXPECT_EQ(Poll(), "http://ie/feed");
  EXPECT_EQ(Poll(), "http://ff/feed");  // IE unchanged
  EXPECT_EQ(Poll(), "");                // IE has none, Firefox unchanged
  EXPECT_EQ(Poll(), "http://ie/other");
  EXPECT_EQ(browsers_[1]->Log().find("(3)"), std::string::npos) << "Firefox asked although IE had news";
}

TEST_F(BrowserWatch, FirefoxAloneIsWatched) {
  Start("Firefox", {R"(reply "http://ff/a","t","x")", R"(reply "http://ff/a","t")", R"(reply "http://ff/b","t")"});
  EXPECT_EQ(Poll(), "http://ff/a");
  EXPECT_EQ(Poll(), "");
  EXPECT_EQ(Poll(), "http://ff/b");
}

// The address lies between the first character and the first quote and comma;
// without such an end the rest of the reply is the address.
TEST_F(BrowserWatch, RepliesAreCutToTheAddress) {
  Start("IExplore", {R"(reply "http://a/x?q="b",c","title")", "reply xhttp://no-end", "reply \"", "reply ",
                     R"(reply "","empty address")"});
  EXPECT_EQ(Poll(), "http://a/x?q=\"b");
  EXPECT_EQ(Poll(), "http://no-end");
  EXPECT_EQ(Poll(), "");  // a lone quote leaves nothing
  EXPECT_EQ(Poll(), "");
  EXPECT_EQ(Poll(), "");
}

// A browser that answers garbage, too much or never within the poll's limits leaves
// the poll empty and the next poll working.
TEST_F(BrowserWatch, BrokenAnswersLeaveThePollEmpty) {
  Start("IExplore", {"garbage", "oversize", "close", R"(reply "http://ie/after","t")"});
  for (int k = 0; k < 3; ++k) EXPECT_EQ(Poll(), "") << k;
  EXPECT_EQ(Poll(), "http://ie/after");
}

TEST(BrowserUrlFilter, OnlyPlainWebPagesAreFetched) {
  const struct {
    const char* url;
    bool fetched;
  } cases[] = {
      {"http://127.0.0.1/feed.xml", true},
      {"http://example.org/podcast/rss", true},
      {"", false},
      {"about:blank", false},
      {"https://example.org/feed.xml", false},
      {"ftp://example.org/feed.xml", false},
      {"http://www.google.com/search?q=rss", false},
      {"http://example.org/show.mp3", false},
      {"http://example.org/show.mp3?x=1", false},
      {"http://example.org/clip.mov", false},
      {"http://example.org/clip.m4v", false},
      {"http://example.org/show.MP3", true},  // compared as written
      {"HTTP://example.org/feed", false},
      {"view-source:http://example.org/feed", true},
  };
  for (const auto& c : cases) EXPECT_EQ(IsBrowserUrlToFetch(c.url), c.fetched) << c.url;
}

}  // namespace
