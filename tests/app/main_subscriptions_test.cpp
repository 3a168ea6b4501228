// The subscription list without a network: loading the ini file (with gaps in its
// keys), unsubscribing with the renumbering of the image files, the thumbnail sizes
// and the enabling of "Unsubscribe".
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/Main.h"
#include "net/HttpProt.h"
#include "platform/ole/Com.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/SimHooks.h"
#include "platform/rtl/Exceptions.h"
#include "platform/sim/Dialogs.h"
#include "platform/sim/Faults.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/Menus.h"
#include "platform/win/MessageBox.h"
#include "tests/support/Pump.h"
#include "tests/support/Peers.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "(missing)";
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

class MainSubscriptions : public ::testing::Test {
 protected:
  void SetUp() override {
    // The pages' HTML controls need OLE on the thread.
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    sim::SetProgramPath(folder_.Path() + "Larkspool");
  }
  void TearDown() override {
    sim::SetProgramPath("");
    larktest::PumpUntilIdle();
    OleUninitialize();
  }

  std::string Path(const std::string& name) { return folder_.Path() + name; }
  std::string Ini() { return ReadFile(Path("Larkspool.ini")); }
  // Image files stand for themselves here: each holds its own name as text.
  void WriteImages(std::initializer_list<int> numbers) {
    for (int n : numbers) WriteFile(Path("feed" + std::to_string(n) + ".bmp"), "image " + std::to_string(n));
  }
  std::vector<std::string> Images(int upTo) {
    std::vector<std::string> images;
    for (int n = 1; n <= upTo; ++n) images.push_back(ReadFile(Path("feed" + std::to_string(n) + ".bmp")));
    return images;
  }
  static std::string IniOf(const std::vector<int>& keys, const char* tail = "ThumbnailSize=1\r\n") {
    std::string ini = "[Subscriptions]\r\n";
    for (int k : keys)
      ini += "Feed" + std::to_string(k) + "=http://feeds.test/" + std::to_string(k) + "\r\nTitle" +
             std::to_string(k) + "=Show " + std::to_string(k) + "\r\n";
    return ini + tail;
  }
  std::vector<std::string> Captions(TMn& mn) {
    std::vector<std::string> captions;
    for (Integer i = 0; i < mn.lvSubscriptions->GetItems()->GetCount(); ++i) {
      captions.push_back(mn.lvSubscriptions->GetItems()->GetItem(i)->GetCaption());
      EXPECT_EQ(mn.lvSubscriptions->GetItems()->GetItem(i)->GetImageIndex(), i);
    }
    EXPECT_EQ(static_cast<Integer>(captions.size()), mn.FeedUrls->GetCount());
    return captions;
  }

  larktest::TempDir folder_;
};

TEST_F(MainSubscriptions, NoIniFileGivesAnEmptyListAndTheMiddleSize) {
  TMn mn(nullptr);
  EXPECT_TRUE(Captions(mn).empty());
  EXPECT_EQ(mn.ThumbnailSizeIndex(), 1);
  EXPECT_TRUE(mn.miSize75->GetChecked());
  EXPECT_EQ(Ini(), "(missing)");
}

TEST_F(MainSubscriptions, AGapInTheKeysRenumbersKeysAndImageFiles) {
  // Feed3 is missing; feed3.bmp belongs to no entry.
  const std::string gapped = IniOf({1, 2, 4}, "ThumbnailSize=0\r\n");
  WriteFile(Path("Larkspool.ini"), gapped);
  WriteImages({1, 2, 3, 4});
  TMn mn(nullptr);
  EXPECT_EQ(Captions(mn), (std::vector<std::string>{"Show 1", "Show 2", "Show 4"}));
  EXPECT_EQ(mn.FeedUrls->Strings(2), "http://feeds.test/4");
  EXPECT_EQ(Images(4), (std::vector<std::string>{"image 1", "image 2", "image 4", "(missing)"}));
  EXPECT_EQ(Ini(),
            "[Subscriptions]\r\nFeed1=http://feeds.test/1\r\nTitle1=Show 1\r\n"
            "Feed2=http://feeds.test/2\r\nTitle2=Show 2\r\n"
            "Feed3=http://feeds.test/4\r\nTitle3=Show 4\r\nThumbnailSize=0\r\n");
  EXPECT_EQ(ReadFile(Path("Larkspool.~ini")), gapped);

  // A new subscription takes the next number without touching the third's image.
  EXPECT_EQ(mn.SubscribeFeed("http://feeds.test/new", "New", false), 3);
  EXPECT_EQ(Images(3)[2], "image 4");
  EXPECT_NE(Ini().find("Feed4=http://feeds.test/new\r\nTitle4=New\r\n"), std::string::npos);
}

TEST_F(MainSubscriptions, OnlyTheFirstHundredKeysAreRead) {
  std::vector<int> keys;
  for (int k = 1; k <= 101; ++k) keys.push_back(k);
  WriteFile(Path("Larkspool.ini"), IniOf(keys));
  TMn mn(nullptr);
  EXPECT_EQ(mn.FeedUrls->GetCount(), kMaxStoredFeeds);
}

TEST_F(MainSubscriptions, UnsubscribeRenumbersTheImageFiles) {
  const std::string five = IniOf({1, 2, 3, 4, 5});
  WriteFile(Path("Larkspool.ini"), five);
  WriteImages({1, 2, 3, 4, 5});
  TMn mn(nullptr);
  ASSERT_EQ(Captions(mn).size(), 5u);

  // Nothing selected: the item is disabled.
  mn.miSubscriptions->Click();
  EXPECT_FALSE(mn.miUnsubscribe->GetEnabled());
  mn.pmSubscriptionsPopup(mn.pmSubscriptions);
  EXPECT_FALSE(mn.pmiUnsubscribe->GetEnabled());

  mn.lvSubscriptions->GetItems()->GetItem(1)->SetSelected(true);
  mn.miSubscriptions->Click();
  EXPECT_TRUE(mn.miUnsubscribe->GetEnabled());

  // No: nothing changes.
  sim::ClearDialogs();
  sim::QueueDialogAnswer("Unsubscribe?", IDNO);
  mn.miUnsubscribe->Click();
  ASSERT_EQ(sim::DialogLog().size(), 1u);
  EXPECT_EQ(sim::DialogLog()[0].Text, "Unsubscribe from Show 2?");
  EXPECT_EQ(Captions(mn).size(), 5u);
  EXPECT_EQ(Ini(), five);

  sim::QueueDialogAnswer("Unsubscribe?", IDYES);
  mn.miUnsubscribe->Click();
  EXPECT_EQ(Captions(mn), (std::vector<std::string>{"Show 1", "Show 3", "Show 4", "Show 5"}));
  EXPECT_EQ(Images(5),
            (std::vector<std::string>{"image 1", "image 3", "image 4", "image 5", "(missing)"}));
  EXPECT_EQ(Ini(),
            "[Subscriptions]\r\nFeed1=http://feeds.test/1\r\nTitle1=Show 1\r\n"
            "Feed2=http://feeds.test/3\r\nTitle2=Show 3\r\n"
            "Feed3=http://feeds.test/4\r\nTitle3=Show 4\r\n"
            "Feed4=http://feeds.test/5\r\nTitle4=Show 5\r\nThumbnailSize=1\r\n");
  EXPECT_EQ(ReadFile(Path("Larkspool.~ini")), five);
  EXPECT_TRUE(mn.miSubscriptions->GetEnabled());

  // The last entry: its file goes, the others stay.
  mn.lvSubscriptions->GetItems()->GetItem(3)->SetSelected(true);
  mn.pmSubscriptionsPopup(mn.pmSubscriptions);
  ASSERT_TRUE(mn.pmiUnsubscribe->GetEnabled());
  sim::QueueDialogAnswer("Unsubscribe?", IDYES);
  mn.pmiUnsubscribe->Click();
  EXPECT_EQ(Captions(mn), (std::vector<std::string>{"Show 1", "Show 3", "Show 4"}));
  EXPECT_EQ(Images(4), (std::vector<std::string>{"image 1", "image 3", "image 4", "(missing)"}));

  // The list as the next start reads it.
  TMn again(nullptr);
  EXPECT_EQ(Captions(again), (std::vector<std::string>{"Show 1", "Show 3", "Show 4"}));
}

TEST_F(MainSubscriptions, AFailedRewriteLosesNoSubscription) {
  const std::string three = IniOf({1, 2, 3});
  // Each file operation of the rewrite fails in turn.
  int failures = 0;
  for (int skip = 0;; ++skip) {
    SCOPED_TRACE(skip);
    WriteFile(Path("Larkspool.ini"), three);
    std::remove(Path("Larkspool.~ini").c_str());
    TMn mn(nullptr);
    sim::FailNext({sim::Fault::FileCreate, sim::Fault::FileWrite, sim::Fault::FileRename,
                   sim::Fault::FileDelete},
                  skip);
    bool failed = false;
    try {
      mn.SubscribeFeed("http://feeds.test/new", "New", false);
    } catch (const Exception&) {
      failed = true;
    }
    const bool faultUsed = sim::PendingFaults() == 0;
    sim::ClearFaults();
    TMn again(nullptr);
    const auto captions = Captions(again);
    if (failed) {
      ++failures;
      EXPECT_EQ(Ini(), three);
    } else {
      EXPECT_EQ(captions, (std::vector<std::string>{"Show 1", "Show 2", "Show 3", "New"}));
    }
    EXPECT_GE(captions.size(), 3u);
    if (!faultUsed) break;
  }
  EXPECT_GT(failures, 0);
}

TEST_F(MainSubscriptions, ThumbnailSizesAreRadioItemsAndKeptWithTheList) {
  WriteFile(Path("Larkspool.ini"), IniOf({1, 2}, "ThumbnailSize=5\r\n"));
  TMn mn(nullptr);
  // An unknown size checks none of the three, which counts as the largest.
  EXPECT_FALSE(mn.miSize50->GetChecked() || mn.miSize75->GetChecked() || mn.miSize100->GetChecked());
  EXPECT_EQ(mn.ThumbnailSizeIndex(), 2);

  mn.miSize50->Click();
  EXPECT_EQ(mn.ThumbnailSizeIndex(), 0);
  EXPECT_EQ(Captions(mn).size(), 2u);
  mn.miSize75->Click();
  EXPECT_EQ(mn.ThumbnailSizeIndex(), 1);
  EXPECT_FALSE(mn.miSize50->GetChecked());
  // A click on the checked item leaves none checked.
  mn.miSize75->Click();
  EXPECT_EQ(mn.ThumbnailSizeIndex(), 2);
  mn.miSize50->Click();
  EXPECT_EQ(Captions(mn).size(), 2u);

  // The next rewrite keeps the size with the list.
  mn.SaveSubscriptions();
  EXPECT_EQ(Ini(), IniOf({1, 2}, "ThumbnailSize=0\r\n"));
  TMn again(nullptr);
  EXPECT_EQ(again.ThumbnailSizeIndex(), 0);
}

TEST_F(MainSubscriptions, OpeningNeedsASelection) {
  WriteFile(Path("Larkspool.ini"), IniOf({1}));
  TMn mn(nullptr);
  mn.lvSubscriptionsClick(mn.lvSubscriptions);
  EXPECT_EQ(mn.StatusBar->GetPanels()->GetItem(2)->GetText(), "");
  char other = 'a';
  mn.lvSubscriptions->GetItems()->GetItem(0)->SetSelected(true);
  mn.lvSubscriptionsKeyPress(mn.lvSubscriptions, other);
  EXPECT_EQ(mn.StatusBar->GetPanels()->GetItem(2)->GetText(), "");
  char enter = '\r';
  mn.lvSubscriptionsKeyPress(mn.lvSubscriptions, enter);
  EXPECT_EQ(mn.StatusBar->GetPanels()->GetItem(2)->GetText(), "http://feeds.test/1");
  EXPECT_EQ(mn.httpFeed->GetTag(), kFetchShow);
}

TEST_F(MainSubscriptions, AddFeedTakesFeedAddressesAndIgnoresCancel) {
  TMn mn(nullptr);
  struct Case {
    int answer;
    const char* typed;
    const char* fetched;  // "" when nothing starts
  } cases[] = {
      {IDCANCEL, "http://x.test/a", ""},
      {IDOK, "", ""},
      {IDOK, "feed://http://x.test/b.xml", "http://x.test/b.xml"},
      {IDOK, "feed://x.test/c.xml", "x.test/c.xml"},
      {IDOK, "http://x.test/d.xml", "http://x.test/d.xml"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    mn.StatusBar->GetPanels()->GetItem(2)->SetText("");
    mn.httpFeed->SetURL("");
    sim::QueueDialogAnswer("Add Subscription", c.answer, c.typed);
    mn.miAddFeed->Click();
    EXPECT_EQ(mn.StatusBar->GetPanels()->GetItem(2)->GetText(), c.fetched);
    EXPECT_EQ(mn.httpFeed->GetURL(), c.fetched);
    if (*c.fetched) {
      EXPECT_EQ(mn.httpFeed->GetTag(), kFetchSubscribe);
    }
  }
}

}  // namespace
