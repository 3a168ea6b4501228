// The main window end to end against nginx on 127.0.0.1: subscribing feeds through
// Add Feed, the ini file and its backup, a restart, opening a subscription and its
// pages, relocations and chunked bodies, and feeds that must change nothing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/FeedPages.h"
#include "app/Main.h"
#include "html/ProfDHTMLEdit.h"
#include "net/HttpProt.h"
#include "platform/mshtml/Layout.h"
#include "platform/ole/Com.h"
#include "platform/rtl/CodePage.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/SimHooks.h"
#include "platform/sim/Dialogs.h"
#include "platform/sim/Input.h"
#include "platform/sim/Screen.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/Menus.h"
#include "platform/win/MessageBox.h"
#include "tests/support/HttpPeers.h"
#include "tests/support/Pump.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Fixture(const std::string& name) {
  return ReadFile(std::string(LARK_TEST_DATA "/app/feeds/") + name);
}

class MainFeeds : public ::testing::Test {
 protected:
  void SetUp() override {
    // The pages' HTML controls need OLE on the thread.
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    sim::SetProgramPath(folder_.Path() + "Larkspool");
    for (const char* name : {"npm-rss.xml", "npm-podcast.xml", "npm-feed.xml", "hugo.xml"})
      nginx_.WriteFile(std::string("feeds/") + name, Fixture(name));
  }
  void TearDown() override {
    sim::SetProgramPath("");
    larktest::PumpUntilIdle();
    OleUninitialize();
  }

  bool StartNginx(const std::string& extra = {}) { return nginx_.Start(extra); }
  std::unique_ptr<TMn> Open() { return std::make_unique<TMn>(nullptr); }

  // Starts a download of address through Add Feed, the way a person types it, and
  // waits until it has ended.
  void AddFeed(TMn& mn, const std::string& address) {
    sim::QueueDialogAnswer("Add Subscription", IDOK, address);
    mn.miAddFeed->Click();
    WaitForDownload(mn);
  }
  // Until the document has ended, or the request did without a document (an empty
  // body raises no document events).
  void WaitForDownload(TMn& mn) {
    ASSERT_TRUE(larktest::PumpUntil(
        [&] {
          return mn.StatusBar->GetPanels()->GetItem(2)->GetText().empty() ||
                 mn.httpFeed->GetState() == THttpState::httpReady;
        },
        60000))
        << nginx_.AccessLog();
    ASSERT_TRUE(larktest::PumpUntilIdle());
  }
  void Open(TMn& mn, int index) {
    mn.lvSubscriptions->GetItems()->GetItem(index)->SetSelected(true);
    mn.lvSubscriptionsClick(mn.lvSubscriptions);
    WaitForDownload(mn);
  }

  std::vector<std::string> Captions(TMn& mn) {
    std::vector<std::string> captions;
    TListItems* items = mn.lvSubscriptions->GetItems();
    for (Integer i = 0; i < items->GetCount(); ++i) {
      captions.push_back(items->GetItem(i)->GetCaption());
      EXPECT_EQ(items->GetItem(i)->GetImageIndex(), i);
    }
    EXPECT_EQ(static_cast<Integer>(captions.size()), mn.FeedUrls->GetCount());
    return captions;
  }

  std::string Ini() { return ReadFile(folder_.Path() + "Larkspool.ini"); }
  std::string Backup() { return ReadFile(folder_.Path() + "Larkspool.~ini"); }
  std::string Path(const std::string& name) { return folder_.Path() + name; }

  larktest::TempDir folder_;
  larktest::NginxServer nginx_;
};

// Dark pixels in the text area of the status bar's first panel, read from its canvas
// as the painting left it.
int CanvasTextPixels(TMn& mn) {
  TCanvas* canvas = mn.StatusBar->GetCanvas();
  int dark = 0;
  for (Integer x = 22; x < 396; ++x)
    for (Integer y = 4; y < mn.StatusBar->GetHeight(); ++y) {
      const TColor c = canvas->GetPixel(x, y);
      if ((c & 0xFF) + ((c >> 8) & 0xFF) + ((c >> 16) & 0xFF) < 3 * 96) ++dark;
    }
  return dark;
}

const char kRssTitle[] = "Writers \x97 the rss package";
const char kPodcastTitle[] = "Writers \x97 the podcast package";
const char kFeedTitle[] = "Writers \x97 the feed package";
const char kHugoTitle[] = "Hugo \x97 a site & its posts";

TEST_F(MainFeeds, SubscribesFeedsOfOtherWritersAndKeepsThemAcrossARestart) {
  ASSERT_TRUE(StartNginx());
  const std::string urls[] = {nginx_.Url("/feeds/npm-rss.xml"), nginx_.Url("/feeds/npm-podcast.xml"),
                              nginx_.Url("/feeds/npm-feed.xml"), nginx_.Url("/feeds/hugo.xml")};
  {
    auto mn = Open();
    std::string before;
    for (const std::string& url : urls) {
      before = Ini();
      AddFeed(*mn, url);
    }
    EXPECT_EQ(Captions(*mn),
              (std::vector<std::string>{kRssTitle, kPodcastTitle, kFeedTitle, kHugoTitle}));
    // Subscribing shows nothing.
    EXPECT_EQ(mn->GetPageSource(kShowFilePage), "");
    EXPECT_EQ(mn->GetPageSource(0), "");

    const std::string expected = "[Subscriptions]\r\nFeed1=" + urls[0] + "\r\nTitle1=" + kRssTitle +
                                 "\r\nFeed2=" + urls[1] + "\r\nTitle2=" + kPodcastTitle +
                                 "\r\nFeed3=" + urls[2] + "\r\nTitle3=" + kFeedTitle +
                                 "\r\nFeed4=" + urls[3] + "\r\nTitle4=" + kHugoTitle +
                                 "\r\nThumbnailSize=1\r\n";
    EXPECT_EQ(Ini(), expected);
    // The backup holds the file as it was before the last rewrite.
    EXPECT_EQ(Backup(), before);
    EXPECT_NE(before.find("Title3="), std::string::npos);
    EXPECT_EQ(before.find("Title4="), std::string::npos);
  }

  // Python's configparser reads the file as we wrote it.
  int code = -1;
  const std::string peer = larktest::RunCommand(
      {"/usr/bin/python3", "-c",
       "import configparser,sys\n"
       "c=configparser.ConfigParser(interpolation=None)\n"
       "c.read(sys.argv[1],encoding='cp1252')\n"
       "s=c['Subscriptions']\n"
       "sys.stdout.buffer.write('|'.join([s['feed2'],s['title2'],s['title4'],s['thumbnailsize']]).encode())",
       Path("Larkspool.ini")},
      &code);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(Utf8ToAnsi(peer), urls[1] + "|" + kPodcastTitle + "|" + kHugoTitle + "|1");

  // A restart reads the list back.
  auto again = Open();
  EXPECT_EQ(Captions(*again),
            (std::vector<std::string>{kRssTitle, kPodcastTitle, kFeedTitle, kHugoTitle}));
  EXPECT_EQ(again->FeedUrls->Strings(3), urls[3]);
  EXPECT_EQ(again->ThumbnailSizeIndex(), 1);

  // A known address, in any letter case, is not subscribed twice.
  const std::string ini = Ini();
  std::string upper = urls[0];
  upper.replace(0, 4, "HTTP");
  AddFeed(*again, upper);
  EXPECT_EQ(again->FeedUrls->GetCount(), 4);
  EXPECT_EQ(Ini(), ini);
}

TEST_F(MainFeeds, OpeningASubscriptionShowsItsChannelAndItemPages) {
  ASSERT_TRUE(StartNginx());
  auto mn = Open();
  // The progress bar comes with the status bar's first paint.
  mn->Show();
  ASSERT_TRUE(larktest::PumpUntil([&] { return mn->ProgressBar != nullptr; }));
  const std::string url = nginx_.Url("/feeds/npm-podcast.xml");
  AddFeed(*mn, url);
  ASSERT_EQ(mn->FeedUrls->GetCount(), 1);
  mn->lvSubscriptions->GetItems()->GetItem(0)->SetSelected(true);
  mn->lvSubscriptionsClick(mn->lvSubscriptions);
  EXPECT_EQ(mn->ProgressBar->GetPosition(), 1);
  EXPECT_EQ(mn->StatusBar->GetPanels()->GetItem(2)->GetText(), url);
  WaitForDownload(*mn);
  EXPECT_EQ(mn->ProgressBar->GetPosition(), 0);
  EXPECT_EQ(mn->StatusBar->GetPanels()->GetItem(2)->GetText(), "");

  const std::string folder = folder_.Path();
  EXPECT_EQ(mn->GetPageSource(kShowFilePage),
            "<font face=\"Arial\" size=\"2\" color=\"#000000\">\r\n"
            "<table width=\"100%\" border=\"0\" cellspacing=\"3\"> <tr> <td valign=\"top\">"
            "<img src=\"" + folder + "temp.bmp\" align=\"top\">"
            "</td> <td valign=\"top\"> <font size='5' color='#000000'><b>" + kPodcastTitle +
            "</b><br><font size='2' color='#000000'>A show written by the podcast package."
            "<p><font size='0' color='#808080'><a href=" + url + ">" + url +
            "</a></td> </tr> </table>");
  // The style rule comes after the page's source.
  EXPECT_EQ(mn->GetPageStyle(kShowFilePage),
            "body {font-family:Arial; font-size:12px; background-color:#FFFFFF;}");

  EXPECT_EQ(mn->GetPageSource(0),
            std::string("<font face=\"Arial\" size=\"2\" color=\"#000000\">\r\n"
                        "<font size='5' color='#000000'><b>") + kPodcastTitle +
                "</b> - Episode 10: Caf\xE9 \"notes\" \x97 part 10 & more<br>\r\n"
                "<font size='1' color='#808080'>Wed, 10 Jan 2024 09:30:00 GMT"
                "<font size=\"2\" color=\"#000000\"><p>\r\n"
                "<p>Show notes of episode 10: caf\xE9, na\xEFve, 5 \x80, \x91quoted\x92 & "
                "<b>bold</b>.</p>\r\n"
                "<p><font size='0' color='#808080'>Link to \r\n"
                "<a href=http://example.test/show><font color='#808080'>site</font></a> \r\n"
                "<a href=http://example.test/show/episodes/10><font color='#808080'>item</a> \r\n"
                "<a href=http://example.test/show/audio/episode-10.mp3>"
                "<font color='#808080'>file</a>");
  EXPECT_EQ(mn->GetPageStyle(0), "");

  // Eight of the ten items, each on its tab, captioned by its date.
  for (int k = 0; k < kItemTabs; ++k) {
    SCOPED_TRACE(k);
    EXPECT_TRUE(mn->tsItem[k]->GetTabVisible());
    EXPECT_EQ(mn->tsItem[k]->GetCaption(), (k == 0 ? "Wed, 10 Jan" : k == 1 ? "Tue, 09 Jan"
                                                                           : mn->tsItem[k]->GetCaption()));
    EXPECT_EQ(mn->EnclosureUrls[k],
              "http://example.test/show/audio/episode-" + std::to_string(10 - k) + ".mp3");
    EXPECT_NE(mn->GetPageSource(k).find("part " + std::to_string(10 - k) + " "), std::string::npos);
  }
  EXPECT_TRUE(mn->tsShowFile->GetTabVisible());
  EXPECT_EQ(mn->pcItems->GetActivePage(), mn->tsLatestItem);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_TRUE(sim::SaveWindowPng(mn->GetHandle(), LARK_TEST_BINARY_DIR "/app_main_opened.png"));

  // A feed of three items: three item tabs, the rest hidden.
  std::string three = "<rss version=\"2.0\"><channel><title>Three</title>";
  for (int i = 0; i < 3; ++i)
    three += "<item><title>Item title number " + std::to_string(i) + "</title></item>";
  nginx_.WriteFile("three.xml", three + "</channel></rss>");
  AddFeed(*mn, nginx_.Url("/three.xml"));
  Open(*mn, 1);
  for (int k = 0; k < kItemTabs; ++k) EXPECT_EQ(mn->tsItem[k]->GetTabVisible(), k < 3) << k;
  // Without a date the caption is the title's start.
  EXPECT_EQ(mn->tsItem[2]->GetCaption(), "Item title ");
  EXPECT_EQ(mn->EnclosureUrls[0], "");
  // No image address: no picture.
  EXPECT_EQ(mn->GetPageSource(kShowFilePage).find("<img"), std::string::npos);
}


// The channel page reaches the screen in its HTML control: the page as written, its
// style rule in the document shown, and the link under the mouse in the status bar.
TEST_F(MainFeeds, TheChannelPageShowsInItsControlWithTheLinkUnderTheMouse) {
  ASSERT_TRUE(StartNginx());
  auto mn = Open();
  int creates = 0;
  for (int page = 0; page <= kShowFilePage; ++page)
    mn->PageControl(page)->OnCreate = [&](TObject* sender) {
      ++creates;
      mn->htmlCreate(sender);
    };
  // A page shown before the controls have started reaches its control once it has.
  mn->BuildChannelPage("Early page", "Shown before the start", "http://early.test/feed.xml", "", true);
  mn->Show();
  ASSERT_TRUE(larktest::PumpUntil([&] { return creates == kShowFilePage + 1; }, 60000));
  EXPECT_NE(WideToAnsi(mn->htmlShowFile->GetPlainText()).find("Early page"), std::string::npos);
  const std::string url = nginx_.Url("/feeds/npm-podcast.xml");
  AddFeed(*mn, url);
  Open(*mn, 0);
  mn->pcItems->SetActivePage(mn->tsShowFile);
  ASSERT_TRUE(larktest::PumpUntilIdle());

  TProfDHTMLEdit* html = mn->htmlShowFile;
  ASSERT_EQ(mn->PageControl(kShowFilePage), html);
  EXPECT_EQ(html->GetAlign(), alClient);
  EXPECT_EQ(html->GetParent(), mn->tsShowFile);
  EXPECT_EQ(html->GetWidth(), mn->tsShowFile->GetClientWidth());
  const std::string body = WideToAnsi(html->GetPlainText());
  EXPECT_NE(body.find(kPodcastTitle), std::string::npos) << body;
  EXPECT_NE(body.find("A show written by the podcast package."), std::string::npos) << body;
  TStringList images;
  ASSERT_TRUE(html->GetImages(&images));
  ASSERT_EQ(images.GetCount(), 1);
  EXPECT_NE(images.Strings(0).find("temp.bmp"), std::string::npos) << images.Strings(0);
  // The style rule went to the page shown, after its source.
  THtmlDocument document = html->ReadDOM();
  ASSERT_TRUE(document);
  const std::vector<mshtml::StyleSheet*> sheets = document->GetDocument()->GetStyleSheets();
  ASSERT_EQ(sheets.size(), 1u);
  EXPECT_NE(WideToAnsi(sheets[0]->GetCssText()).find("12px"), std::string::npos);
  // Each item page sits in its own control.
  const std::string latest = WideToAnsi(mn->htmlLatestEpisode->GetBody());
  EXPECT_NE(latest.find("part 10 "), std::string::npos) << latest;

  // The picture of the window with the channel page shown.
  EXPECT_TRUE(sim::SaveWindowPng(mn->GetHandle(), LARK_TEST_BINARY_DIR "/app_main_window_channel.png"));

  // The mouse over the feed's address shows it in the status bar; off it, nothing.
  mshtml::Element* link = nullptr;
  for (mshtml::Element* e : document->GetDocument()->GetElementsByTagName(u"a")) link = e;
  ASSERT_NE(link, nullptr);
  const std::vector<RECT> rects = document->GetLayout()->GetClientRects(link);
  ASSERT_FALSE(rects.empty());
  const POINT over{(rects[0].left + rects[0].right) / 2, (rects[0].top + rects[0].bottom) / 2};
  EXPECT_EQ(WideToAnsi(html->HrefAtPoint(over.x, over.y)), url);
  // The window's own handler runs; the status bar is read as it leaves it (a later
  // repaint of the bar does not keep the text).
  ASSERT_TRUE(html->OnMouseMove);
  const TMouseMoveEvent handler = html->OnMouseMove;
  std::vector<std::string> hrefs;
  std::vector<int> shown;
  html->OnMouseMove = [&](TObject* sender, TShiftState shift, Integer x, Integer y) {
    hrefs.push_back(WideToAnsi(html->HrefAtPoint(x, y)));
    handler(sender, shift, x, y);
    shown.push_back(CanvasTextPixels(*mn));
  };
  // The empty status text, as painted.
  mn->ShowStatus("");
  const int blank = CanvasTextPixels(*mn);
  sim::MoveMouse(html->GetWindowHandle(), over.x, over.y);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  ASSERT_FALSE(hrefs.empty());
  EXPECT_EQ(hrefs.back(), url);
  EXPECT_GT(shown.back(), blank + 100) << "the address is shown";
  hrefs.clear();
  shown.clear();
  mshtml::Element* title = document->GetDocument()->GetElementsByTagName(u"b").at(0);
  const std::vector<RECT> titleRects = document->GetLayout()->GetClientRects(title);
  ASSERT_FALSE(titleRects.empty());
  sim::MoveMouse(html->GetWindowHandle(), (titleRects[0].left + titleRects[0].right) / 2,
                 (titleRects[0].top + titleRects[0].bottom) / 2);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  ASSERT_FALSE(hrefs.empty());
  EXPECT_EQ(hrefs.back(), "");
  EXPECT_EQ(shown.back(), blank) << "off the link the text goes";
}

TEST_F(MainFeeds, RelocationsAndChunkedBodiesGiveTheFeedItself) {
  ASSERT_TRUE(StartNginx(
      "location = /moved.xml { return 301 /feeds/npm-rss.xml; }\n"
      "location = /found.xml { return 302 /moved.xml; }\n"
      // An unknown length: HTTP/1.1 answers are chunked.
      "location /chunked/ { alias " + nginx_.Root() + "feeds/; sub_filter_types text/xml;"
      " sub_filter_once off; sub_filter 'zzz' 'zzz'; }\n"));
  auto mn = Open();
  const std::string found = nginx_.Url("/found.xml");
  AddFeed(*mn, found);
  // Neither notice's title becomes the caption; the address asked for is kept.
  EXPECT_EQ(Captions(*mn), std::vector<std::string>{kRssTitle});
  EXPECT_EQ(mn->FeedUrls->Strings(0), found);
  EXPECT_NE(nginx_.AccessLog().find("\"GET /found.xml HTTP/1.0\" 302"), std::string::npos);
  EXPECT_NE(nginx_.AccessLog().find("\"GET /feeds/npm-rss.xml HTTP/1.0\" 200"), std::string::npos);

  Open(*mn, 0);
  EXPECT_NE(mn->GetPageSource(kShowFilePage).find(kRssTitle), std::string::npos);
  EXPECT_EQ(mn->GetPageSource(kShowFilePage).find("Moved"), std::string::npos);

  mn->httpFeed->SetRequestVer("1.1");
  AddFeed(*mn, nginx_.Url("/chunked/hugo.xml"));
  EXPECT_EQ(mn->httpFeed->GetTransferCoding(), "chunked");
  EXPECT_EQ(Captions(*mn), (std::vector<std::string>{kRssTitle, kHugoTitle}));
}

TEST_F(MainFeeds, TextsThatAreNotFeedsLeaveTheListAndTheIniAlone) {
  std::string rss = Fixture("npm-rss.xml");
  std::string bigPadding(33 * 1024 * 1024, ' ');
  struct Case {
    const char* name;
    std::string content;
  } cases[] = {
      {"atom.xml",
       "<?xml version=\"1.0\"?><feed xmlns=\"http://www.w3.org/2005/Atom\"><title>Atom</title>"
       "<entry><title>e</title></entry></feed>"},
      {"old.xml", "<rss version=\"0.91\"><channel><title>Old</title></channel></rss>"},
      {"quotes.xml", "<rss version='2.0'><channel><title>Single</title></channel></rss>"},
      {"empty.xml", ""},
      {"cut.xml", rss.substr(0, 40)},
      // An RSS file served as a web page is dropped after its first chunk.
      {"page.html", rss},
      {"data.bin", rss},
      // Too long to be a feed.
      {"huge.xml", rss.substr(0, rss.size() - 20) + bigPadding + "</channel></rss>"},
  };
  ASSERT_TRUE(StartNginx("types { text/html html; application/octet-stream bin; text/xml xml; }\n"));
  for (const Case& c : cases) nginx_.WriteFile(c.name, c.content);
  auto mn = Open();
  AddFeed(*mn, nginx_.Url("/feeds/hugo.xml"));
  ASSERT_EQ(mn->FeedUrls->GetCount(), 1);
  const std::string ini = Ini();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AddFeed(*mn, nginx_.Url(std::string("/") + c.name));
    EXPECT_EQ(Captions(*mn), std::vector<std::string>{kHugoTitle});
    EXPECT_EQ(Ini(), ini);
    EXPECT_TRUE(mn->GetFeedText().empty());
    // In show mode nothing is shown either.
    mn->FetchFeed(kFetchShow, nginx_.Url(std::string("/") + c.name));
    WaitForDownload(*mn);
    EXPECT_EQ(mn->GetPageSource(kShowFilePage), "");
  }
  // The page was dropped after its first chunk: nginx sent less than the file.
  EXPECT_NE(nginx_.AccessLog().find("\"GET /page.html HTTP/1.0\" 200"), std::string::npos);
}

TEST_F(MainFeeds, FeedTextsAreTakenAsTheyComeWithNothingLost) {
  struct Case {
    const char* name;
    std::string content;
    std::string caption;
  } cases[] = {
      // No expansion of declared entities: the reference stays text.
      {"lol.xml",
       "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;\">"
       "<!ENTITY c \"&b;&b;&b;&b;&b;\">]><rss version=\"2.0\"><channel><title>&c;&c;</title>"
       "<item><title>&c;</title></item></channel></rss>",
       "&c;&c;"},
      {"cp1252.xml",
       "<?xml version=\"1.0\" encoding=\"windows-1252\"?><rss version=\"2.0\"><channel>"
       "<title>Caf\xE9 \x93Quoted\x94 \x80 5</title></channel></rss>",
       "Caf\xE9 \x93Quoted\x94 \x80 5"},
      {"cdata.xml",
       "<rss version=\"2.0\"><channel><title><![CDATA[Fish & <Chips>]]></title></channel></rss>",
       "Fish & <Chips>"},
      // A title over several lines keeps its line breaks in the list; the ini line
      // gets blanks in their place.
      {"lines.xml", "<rss version=\"2.0\"><channel><title>\n  My\r\nShow\t</title></channel></rss>",
       "\n  My\r\nShow\t"},
      // Cut off inside its items: the complete ones count.
      {"truncated.xml", Fixture("npm-feed.xml").substr(0, 2500), kFeedTitle},
  };
  ASSERT_TRUE(StartNginx());
  for (const Case& c : cases) nginx_.WriteFile(c.name, c.content);
  auto mn = Open();
  std::vector<std::string> captions;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string before = Ini();
    AddFeed(*mn, nginx_.Url(std::string("/") + c.name));
    captions.push_back(c.caption);
    EXPECT_EQ(Captions(*mn), captions);
    // What was in the file stays, in the same order.
    if (!before.empty()) {
      const size_t kept = before.size() - std::string("ThumbnailSize=1\r\n").size();
      EXPECT_EQ(Ini().substr(0, kept), before.substr(0, kept));
    }
  }
  EXPECT_NE(Ini().find("\r\nTitle4=   My  Show \r\nFeed5="), std::string::npos) << Ini();
  Open(*mn, 4);
  EXPECT_TRUE(mn->tsItem[0]->GetTabVisible());

  // Read back after a restart: each title on its own line.
  mn.reset();
  auto again = Open();
  const auto back = Captions(*again);
  ASSERT_EQ(back.size(), 5u);
  EXPECT_EQ(back[1], captions[1]);
  EXPECT_EQ(back[3], "My  Show");
  EXPECT_EQ(back[4], kFeedTitle);
}

}  // namespace
