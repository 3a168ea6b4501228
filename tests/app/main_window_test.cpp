// The main window's life and what hangs on it, end to end: the tray icon and the
// close box, the end of the session, Exit, About and Help; subscribing a feed served
// by nginx with its channel image written as the feed's BMP (read back by Pillow) and
// the balloon over the tray icon; the browser poll on the virtual clock against a
// stand-in browser; an MP3 enclosure played into a fake audio sink with the cover of
// its ID3v2 tag in the player picture.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/About.h"
#include "app/Main.h"
#include "desktop/TrayIcon.h"
#include "html/ProfDHTMLEdit.h"
#include "image/views/dadirav.h"
#include "net/HttpProt.h"
#include "platform/media/MediaPlayers.h"
#include "platform/ole/Com.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/SimHooks.h"
#include "platform/shell/NotifyAreaPresenter.h"
#include "platform/shell/SimHooks.h"
#include "platform/sim/Clock.h"
#include "platform/sim/Dialogs.h"
#include "platform/sim/Faults.h"
#include "platform/sim/Runtime.h"
#include "platform/sim/Screen.h"
#include "platform/sim/Tray.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/ImageList.h"
#include "platform/vcl/Menus.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/vcl/Timer.h"
#include "platform/win/MessageBox.h"
#include "platform/win/Messages.h"
#include "tests/support/HttpPeers.h"
#include "tests/support/MediaFiles.h"
#include "tests/support/Peers.h"
#include "tests/support/Pump.h"
#include "tests/support/StandInBrowser.h"
#include "tests/support/Sweep.h"

namespace {

// A system tray on the display: it shows the icons (and so the window may hide there)
// while `shows` holds.
struct ShownTray : larkshell::NotifyAreaPresenter {
  ShownTray() { larkshell::SetNotifyAreaPresenter(this); }
  ~ShownTray() override { larkshell::SetNotifyAreaPresenter(nullptr); }
  void IconChanged(const larkshell::NotifyIconView&) override {}
  void IconRemoved(HWND, UINT) override {}
  bool ShowsIcons() override { return shows; }
  bool shows = true;
};

// Width and height of an image file as Pillow reads it ("" when it cannot).
std::string PillowSize(const std::string& path) {
  int code = -1;
  std::string out = larktest::RunCommand(
      {"/usr/bin/python3", "-c",
       "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]); im.load()\n"
       "print('%s %dx%d' % (im.format, im.size[0], im.size[1]))",
       path},
      &code);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return code == 0 ? out : std::string();
}

// The colour of a pixel as Pillow reads it, "r,g,b".
std::string PillowPixel(const std::string& path, int x, int y) {
  std::string out = larktest::RunCommand(
      {"/usr/bin/python3", "-c",
       "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1]).convert('RGB')\n"
       "print('%d,%d,%d' % im.getpixel((int(sys.argv[2]), int(sys.argv[3]))))",
       path, std::to_string(x), std::to_string(y)});
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

class MainWindow : public ::testing::Test {
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

  std::unique_ptr<TMn> Open() { return std::make_unique<TMn>(nullptr); }

  // Until the feed download has ended and nothing else is pending.
  void WaitForDownload(TMn& mn) {
    ASSERT_TRUE(larktest::PumpUntil(
        [&] {
          return mn.StatusBar->GetPanels()->GetItem(2)->GetText().empty() ||
                 mn.httpFeed->GetState() == THttpState::httpReady;
        },
        60000))
        << nginx_.AccessLog();
    ASSERT_TRUE(larktest::PumpUntilIdle(20000));
  }
  void AddFeed(TMn& mn, const std::string& address) {
    sim::QueueDialogAnswer("Add Subscription", IDOK, address);
    mn.miAddFeed->Click();
    WaitForDownload(mn);
  }
  std::string Path(const std::string& name) { return folder_.Path() + name; }

  // A feed whose channel image is at imagePath (none when empty) and whose one item
  // has an enclosure at enclosurePath (none when empty).
  std::string Feed(const std::string& title, const std::string& imagePath,
                   const std::string& enclosurePath = {}) {
    std::string feed = "<?xml version=\"1.0\"?>\n<rss version=\"2.0\"><channel><title>" + title +
                       "</title><link>" + nginx_.Url("/") + "</link><description>Tones and more." +
                       "</description>";
    if (!imagePath.empty()) feed += "<image><url>" + nginx_.Url(imagePath) + "</url></image>";
    feed += "<item><title>A tone</title><pubDate>Mon, 01 Jan 2024 10:00:00 GMT</pubDate>"
            "<description>Four seconds of a tone.</description>";
    if (!enclosurePath.empty())
      feed += "<enclosure url=\"" + nginx_.Url(enclosurePath) + "\" length=\"1\" type=\"audio/mpeg\"/>";
    return feed + "</item></channel></rss>\n";
  }

  larktest::TempDir folder_;
  larktest::NginxServer nginx_;
};

// The window as a person meets it: caption, menus, the icon in the tray; the close box
// only hides it (Show and a double click on the icon bring it back) until the session
// ends, which lets it close.
TEST_F(MainWindow, TheCloseBoxHidesToTheTrayUntilTheSessionEnds) {
  ShownTray tray;
  TMn* created = nullptr;
  Application->CreateForm(created);
  std::unique_ptr<TMn> mn(created);
  ASSERT_EQ(Application->GetMainForm(), mn.get());
  mn->Show();
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(mn->GetCaption(), "Larkspool");
  EXPECT_EQ(mn->GetWidth(), 984);
  EXPECT_EQ(mn->GetHeight(), 720);
  EXPECT_EQ(mn->miSubscriptions->GetCaption(), "Subscriptions");
  EXPECT_TRUE(mn->Timer->GetEnabled());
  EXPECT_EQ(mn->Timer->GetInterval(), 1000u);

  sim::TrayIcon icon;
  ASSERT_TRUE(sim::FindTrayIcon(TTrayIcon::HandlerWindow(), mn->TrayIcon->GetId(), &icon));
  EXPECT_EQ(icon.tip, "Larkspool");
  EXPECT_NE(icon.icon, HICON{0});
  EXPECT_EQ(mn->pmTray->GetItems()->GetCount(), 4);

  mn->Close();
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_FALSE(mn->GetVisible()) << "the close box hides the window";
  EXPECT_FALSE(Application->GetTerminated());
  mn->miTrayShow->Click();
  EXPECT_TRUE(mn->GetVisible());
  mn->Close();
  ASSERT_TRUE(larktest::PumpUntilIdle());
  ASSERT_FALSE(mn->GetVisible());
  ASSERT_TRUE(sim::TrayDoubleClick(TTrayIcon::HandlerWindow(), mn->TrayIcon->GetId()));
  ASSERT_TRUE(larktest::PumpUntil([&] { return mn->GetVisible(); }));

  // The session ends: the window agrees, and from then on it may close.
  EXPECT_FALSE(mn->CloseQuery());
  EXPECT_EQ(mn->Perform(WM_QUERYENDSESSION, 0, 0), 1);
  EXPECT_TRUE(mn->AllowClose);
  EXPECT_TRUE(mn->CloseQuery());

  // Going away, the window keeps the thumbnail size in the ini file.
  mn.reset();
  std::ifstream in(Path("Larkspool.ini"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
            "[Subscriptions]\r\nThumbnailSize=1\r\n");
}

// The tray that held the icon goes while the window is hidden there: the window comes
// back into view, as nothing else could bring it back. Where a tray still shows the
// icon when the news arrives (another took it at once), the window stays hidden.
TEST_F(MainWindow, AWindowHiddenInATrayThatGoesComesBack) {
  ShownTray tray;
  TMn* created = nullptr;
  Application->CreateForm(created);
  std::unique_ptr<TMn> mn(created);
  mn->Show();
  ASSERT_TRUE(larktest::PumpUntilIdle());
  mn->Close();
  ASSERT_TRUE(larktest::PumpUntilIdle());
  ASSERT_FALSE(mn->GetVisible());

  larkshell::NotifyAreaGone();
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_FALSE(mn->GetVisible()) << "a tray still shows the icon";

  tray.shows = false;
  larkshell::NotifyAreaGone();
  ASSERT_TRUE(larktest::PumpUntil([&] { return mn->GetVisible(); }));
  EXPECT_TRUE(IsWindowVisible(mn->GetHandle()));
  EXPECT_FALSE(Application->GetTerminated());
}

// Where no tray shows the icon (none on the display, or the area refused it), a
// window hidden by the close box could never come back: the close box asks as Exit
// does. Cancel keeps the window in view and the program running; OK ends the loop.
// The players are paused either way.
TEST_F(MainWindow, WithoutATrayTheCloseBoxAsksAsExitDoes) {
  const struct {
    const char* name;
    bool refuse;
  } cases[] = {{"no tray on the display", false}, {"the area refuses the icon", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim::RefuseNotifyIcons(c.refuse);
    TMn* created = nullptr;
    Application->CreateForm(created);
    std::unique_ptr<TMn> mn(created);
    mn->Show();
    ASSERT_TRUE(larktest::PumpUntilIdle());
    sim::ClearDialogs();
    sim::QueueDialogAnswer("Exit program?", IDCANCEL);
    mn->Close();
    ASSERT_TRUE(larktest::PumpUntilIdle());
    EXPECT_TRUE(mn->GetVisible()) << "Cancel keeps the window in view";
    MSG msg;
    EXPECT_FALSE(PeekMessage(&msg, 0, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    sim::QueueDialogAnswer("Exit program?", IDOK);
    mn->Close();
    EXPECT_TRUE(PeekMessage(&msg, 0, WM_QUIT, WM_QUIT, PM_REMOVE)) << "OK ends the program";
    const auto log = sim::DialogLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].Text, "Do you really wish to exit the program and disable one click subscription?");
    EXPECT_EQ(log[0].Caption, "Exit program?");
    // The session's end closes without asking.
    mn->Perform(WM_QUERYENDSESSION, 0, 0);
    EXPECT_TRUE(mn->CloseQuery());
    EXPECT_EQ(sim::DialogLog().size(), 2u);
    mn.reset();
    sim::RefuseNotifyIcons(false);
    ASSERT_TRUE(larktest::PumpUntilIdle());
  }
}

// The ini file cannot be written as the window goes away: nothing is reported and
// nothing else breaks.
TEST_F(MainWindow, ASizeThatCannotBeWrittenAtTheEndIsNotReported) {
  auto mn = Open();
  sim::FailNext({sim::Fault::FileCreate, sim::Fault::FileWrite});
  mn.reset();
  EXPECT_EQ(sim::PendingFaults(), 0) << "the write was tried";
  sim::ClearFaults();
  EXPECT_TRUE(sim::DialogLog().empty());
}

// Exit asks first; Cancel keeps the program, OK ends its loop.
TEST_F(MainWindow, ExitAsksBeforeEndingTheProgram) {
  auto mn = Open();
  sim::QueueDialogAnswer("Exit program?", IDCANCEL);
  mn->miExit->Click();
  MSG msg;
  EXPECT_FALSE(PeekMessage(&msg, 0, WM_QUIT, WM_QUIT, PM_NOREMOVE));
  sim::QueueDialogAnswer("Exit program?", IDOK);
  mn->miTrayExit->Click();
  EXPECT_TRUE(PeekMessage(&msg, 0, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the loop is told to end";
  const auto log = sim::DialogLog();
  ASSERT_EQ(log.size(), 2u);
  for (const auto& record : log) {
    EXPECT_EQ(record.Text, "Do you really wish to exit the program and disable one click subscription?");
    EXPECT_EQ(record.Flags & MB_TYPEMASK, MB_OKCANCEL);
  }
}

TEST_F(MainWindow, AboutShowsTheProgramAndHelpOpensTheHelpFile) {
  auto mn = Open();
  mn->miHelp->Click();
  const auto help = sim::HelpLog();
  ASSERT_EQ(help.size(), 1u);
  EXPECT_EQ(help[0].File, Path("Larkspool.hlp"));
  EXPECT_EQ(help[0].Context, 1000);

  About = new TAbout(nullptr);
  bool shown = false;
  // The person presses OK as soon as the box is there.
  About->OnShow = [&](TObject*) {
    shown = true;
    PostMessage(About->OKButton->GetHandle(), BM_CLICK, 0, 0);
  };
  mn->miAbout->Click();
  EXPECT_TRUE(shown);
  EXPECT_EQ(About->GetModalResult(), mrOk);
  EXPECT_EQ(About->GetCaption(), "About");
  EXPECT_EQ(About->ProductName->GetCaption(), "Larkspool");
  EXPECT_EQ(About->Version->GetCaption(), "v0.02 beta");
  EXPECT_EQ(About->GetClientWidth(), 297);
  EXPECT_EQ(About->GetClientHeight(), 213);
  delete About;
  About = nullptr;
}

// First start: the default subscriptions beside the program become its own (the
// channel-image files 1..100 are replaced by the defaults' ones) and the window stays
// in view. Any later start goes to the tray once the pages have started.
TEST_F(MainWindow, TheFirstStartTakesTheDefaultsAndLaterStartsGoToTheTray) {
  ASSERT_TRUE(ForceDirectories(Path("Default")));
  std::ofstream(Path("Default/Larkspool.ini"), std::ios::binary)
      << "[Subscriptions]\r\nFeed1=http://feeds.test/a\r\nTitle1=Default A\r\nThumbnailSize=0\r\n";
  std::ofstream(Path("Default/feed1.bmp"), std::ios::binary) << "default image";
  std::ofstream(Path("feed1.bmp"), std::ios::binary) << "old image 1";
  std::ofstream(Path("feed7.bmp"), std::ios::binary) << "old image 7";
  {
    TMn* created = nullptr;
    Application->CreateForm(created);
    std::unique_ptr<TMn> mn(created);
    EXPECT_FALSE(mn->StartHidden);
    EXPECT_EQ(larktest::ReadFileBytes(Path("feed1.bmp")), "default image");
    EXPECT_FALSE(FileExists(Path("feed7.bmp")));
    ASSERT_EQ(mn->FeedUrls->GetCount(), 1);
    EXPECT_EQ(mn->lvSubscriptions->GetItems()->GetItem(0)->GetCaption(), "Default A");
    EXPECT_TRUE(mn->miSize50->GetChecked());
    mn->Show();
    mn->htmlCreate(mn.get());
    EXPECT_TRUE(mn->GetVisible());
    EXPECT_EQ(mn->pcItems->GetActivePage(), mn->tsLatestItem);
  }
  ShownTray tray;
  TMn* created = nullptr;
  Application->CreateForm(created);
  std::unique_ptr<TMn> mn(created);
  EXPECT_TRUE(mn->StartHidden);
  EXPECT_EQ(mn->pcItems->GetActivePage(), mn->tsItem[7]);
  mn->Show();
  // Each page reports once; the first report walks the tabs to the latest item.
  mn->htmlCreate(mn.get());
  EXPECT_EQ(mn->pcItems->GetActivePage(), mn->tsLatestItem);
  EXPECT_FALSE(mn->GetVisible());
  for (TTabSheet* sheet : mn->tsItem) EXPECT_FALSE(sheet->GetTabVisible());
  EXPECT_FALSE(mn->tsShowFile->GetTabVisible());
}

// A later start hides the window only to a tray that shows its icon: with no tray on
// the display, or an area that refuses the icon, the window could never come back.
// The pages' own start-up reports do the hiding, as in the program.
TEST_F(MainWindow, ALaterStartStaysInViewWithoutATrayToComeBackFrom) {
  const struct {
    const char* name;
    bool tray;
    bool refuse;
    bool visible;
  } cases[] = {
      {"a tray shows the icon", true, false, false},
      {"no tray on the display", false, false, true},
      {"the area refuses the icon", true, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<ShownTray> tray;
    if (c.tray) tray = std::make_unique<ShownTray>();
    sim::RefuseNotifyIcons(c.refuse);
    TMn* created = nullptr;
    Application->CreateForm(created);
    std::unique_ptr<TMn> mn(created);
    ASSERT_TRUE(mn->StartHidden);
    int creates = 0;
    for (int page = 0; page <= kShowFilePage; ++page)
      mn->PageControl(page)->OnCreate = [&](TObject* sender) {
        ++creates;
        mn->htmlCreate(sender);
      };
    mn->Show();
    ASSERT_TRUE(larktest::PumpUntil([&] { return creates == kShowFilePage + 1; }, 60000));
    ASSERT_TRUE(larktest::PumpUntilIdle());
    EXPECT_EQ(mn->GetVisible(), c.visible);
    EXPECT_EQ(mn->pcItems->GetActivePage(), mn->tsLatestItem);
    if (!c.visible) {
      mn->miTrayShow->Click();
      EXPECT_TRUE(mn->GetVisible());
    }
    mn.reset();
    sim::RefuseNotifyIcons(false);
    ASSERT_TRUE(larktest::PumpUntilIdle());
  }
}

// The window cannot be built (the system runs out of windows at its first, second,
// third... window): the error reaches the caller and none of the window's handlers
// runs on the half-built window (its end would write the ini file). A build that
// meets no failure gives a window that works.
TEST(MainWindowBuild, AWindowThatCannotBeBuiltReportsItAndRunsNoHandler) {
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  larktest::TempDir folder;
  sim::SetProgramPath(folder.Path() + "Larkspool");
  int failures = 0;
  const int windows = larktest::SweepFaults({sim::Fault::WindowCreate}, [&](int) {
    std::unique_ptr<TMn> window;
    bool threw = false;
    try {
      window = std::make_unique<TMn>(nullptr);
    } catch (const Exception&) {
      threw = true;
    }
    const bool reached = larktest::FaultReached();
    if (threw) {
      ++failures;
      EXPECT_TRUE(reached);
      EXPECT_FALSE(FileExists(folder.Path() + "Larkspool.ini")) << "a handler ran";
    } else if (!reached) {
      EXPECT_EQ(window->GetCaption(), "Larkspool");
    }
    window.reset();
    DeleteFile(folder.Path() + "Larkspool.ini");
    EXPECT_TRUE(larktest::PumpUntilIdle());
    return reached;
  }, 400);
  EXPECT_GT(windows, 0);
  EXPECT_GT(failures, 0);
  sim::SetProgramPath("");
  OleUninitialize();
}

// The player follows the enclosure's extension (compared in lower case); the channel
// page's tab and a tab without enclosure hide the players.
TEST_F(MainWindow, ThePlayerIsChosenByTheEnclosuresExtension) {
  auto mn = Open();
  ASSERT_NE(mn->Wmp, nullptr) << "the media framework is missing";
  // Nothing answers there: the players are chosen, nothing plays.
  const std::string base = "http://127.0.0.1:9/";
  const char* files[kItemTabs] = {"a.WMV", "b.m4a", "c.mp3?x=1", "", "d.mov", "e.ogg", "f.m4v", "g.mp3"};
  for (int k = 0; k < kItemTabs; ++k) mn->EnclosureUrls[k] = *files[k] ? base + files[k] : "";
  auto select = [&](int page) {
    mn->pcItems->SetActivePageIndex(page);
    mn->pcItemsChange(mn->pcItems);
  };

  select(0);
  EXPECT_TRUE(mn->pnlPlayers->GetVisible());
  EXPECT_EQ(mn->pnlPlayers->GetWidth(), 324);
  EXPECT_TRUE(mn->pnlWmpVideo->GetVisible());
  EXPECT_FALSE(mn->pnlWmp->GetVisible());
  EXPECT_EQ(mn->WmpVideo->GetURL(), base + "a.WMV");
  EXPECT_EQ(mn->Wmp->GetURL(), "");

  select(1);
  ASSERT_NE(mn->QtPlayer, nullptr);
  EXPECT_EQ(mn->QtPlayer->GetURL(), base + "b.m4a");
  EXPECT_FALSE(mn->QtPlayer->GetControllerVisible());
  EXPECT_EQ(mn->pnlPlayers->GetWidth(), 326);
  EXPECT_TRUE(mn->pnlQt->GetVisible());
  EXPECT_EQ(mn->WmpVideo->GetURL(), "");

  // A query after the file name: none of the five kinds; the panel stays as it is.
  select(2);
  EXPECT_EQ(mn->QtPlayer, nullptr);
  EXPECT_TRUE(mn->pnlPlayers->GetVisible());

  select(4);
  ASSERT_NE(mn->QtPlayer, nullptr);
  select(5);
  EXPECT_EQ(mn->QtPlayer, nullptr);
  select(6);
  ASSERT_NE(mn->QtPlayer, nullptr);
  EXPECT_EQ(mn->QtPlayer->GetURL(), base + "f.m4v");

  select(7);
  EXPECT_EQ(mn->QtPlayer, nullptr);
  EXPECT_EQ(mn->Wmp->GetURL(), base + "g.mp3");
  EXPECT_EQ(mn->pnlPlayers->GetWidth(), 308);
  EXPECT_TRUE(mn->pnlWmp->GetVisible());
  EXPECT_EQ(mn->httpDownload->GetURL(), base + "g.mp3");

  select(3);
  EXPECT_FALSE(mn->pnlPlayers->GetVisible());
  EXPECT_EQ(mn->Wmp->GetURL(), "");
  select(7);
  select(kShowFilePage);
  EXPECT_FALSE(mn->pnlPlayers->GetVisible());
  EXPECT_EQ(mn->Wmp->GetURL(), "");
  ASSERT_TRUE(larktest::PumpUntilIdle(20000));
}

// A new feed with a 640 x 480 channel image: the balloon, the image fitted to
// 300 x 225 as temp.bmp and as the feed's BMP, a 75 x 56 thumbnail in the middle of a
// white square. A feed whose image cannot be loaded (missing, not an image) gets the
// program picture and no image file; an image behind a relocation is loaded.
TEST_F(MainWindow, SubscribingWritesTheChannelImageAndShowsTheBalloon) {
  ASSERT_TRUE(nginx_.Start("location = /moved.jpg { return 302 /cover.jpg; }"));
  larktest::MakeJpeg(nginx_.Root() + "/cover.jpg", "640x480", false);
  nginx_.WriteFile("notimage.jpg", "this is no picture");
  nginx_.WriteFile("one.xml", Feed("Image Show", "/cover.jpg"));
  nginx_.WriteFile("two.xml", Feed("No Image", "/missing.jpg"));
  nginx_.WriteFile("three.xml", Feed("Bad Image", "/notimage.jpg"));
  nginx_.WriteFile("four.xml", Feed("Moved Image", "/moved.jpg"));

  auto mn = Open();
  AddFeed(*mn, nginx_.Url("/one.xml"));
  ASSERT_EQ(mn->FeedUrls->GetCount(), 1);
  EXPECT_EQ(PillowSize(Path("feed1.bmp")), "BMP 300x225");
  EXPECT_EQ(PillowSize(Path("temp.bmp")), "BMP 300x225");
  const auto balloons = sim::ShownBalloons();
  ASSERT_EQ(balloons.size(), 1u);
  EXPECT_EQ(balloons[0].balloonTitle, "Image Show");
  EXPECT_EQ(balloons[0].balloonText,
            "You have subscribed to Image Show. You can now close the browser window.");
  EXPECT_EQ(balloons[0].balloonFlags, NIIF_INFO);
  EXPECT_TRUE(mn->tmBalloonHint->GetEnabled());
  EXPECT_EQ(mn->tmBalloonHint->GetInterval(), 10000u);

  // The thumbnail: 75 x 56 at (0, 9) on white.
  ASSERT_EQ(mn->ImageList->GetCount(), 1);
  EXPECT_EQ(mn->ImageList->GetWidth(), 75);
  TBitmap thumbnail;
  ASSERT_TRUE(mn->ImageList->GetBitmap(0, &thumbnail));
  ASSERT_TRUE(sim::SaveBitmapPng(thumbnail.GetHandle(), Path("thumb.png")));
  EXPECT_EQ(PillowPixel(Path("thumb.png"), 37, 4), "255,255,255");
  EXPECT_NE(PillowPixel(Path("thumb.png"), 37, 37), "255,255,255");
  EXPECT_EQ(PillowPixel(Path("thumb.png"), 37, 70), "255,255,255");

  // The balloon goes after 10 seconds.
  mn->tmBalloonHint->GetOnTimer()(mn->tmBalloonHint);
  EXPECT_FALSE(mn->tmBalloonHint->GetEnabled());
  sim::TrayIcon icon;
  ASSERT_TRUE(sim::FindTrayIcon(TTrayIcon::HandlerWindow(), mn->TrayIcon->GetId(), &icon));
  EXPECT_FALSE(icon.balloonShown);

  AddFeed(*mn, nginx_.Url("/two.xml"));
  AddFeed(*mn, nginx_.Url("/three.xml"));
  ASSERT_EQ(mn->FeedUrls->GetCount(), 3);
  EXPECT_FALSE(FileExists(Path("feed2.bmp")));
  EXPECT_FALSE(FileExists(Path("feed3.bmp")));
  // The program picture stands in on the page.
  EXPECT_EQ(PillowSize(Path("temp.bmp")), "BMP 41x41");
  EXPECT_EQ(sim::ShownBalloons().size(), 3u);

  AddFeed(*mn, nginx_.Url("/four.xml"));
  EXPECT_EQ(PillowSize(Path("feed4.bmp")), "BMP 300x225");

  // Opening a known feed whose image file went missing writes it again; the balloon
  // is for new subscriptions only.
  ASSERT_TRUE(DeleteFile(Path("feed1.bmp")));
  mn->lvSubscriptions->GetItems()->GetItem(0)->SetSelected(true);
  mn->lvSubscriptionsClick(mn->lvSubscriptions);
  WaitForDownload(*mn);
  EXPECT_EQ(PillowSize(Path("feed1.bmp")), "BMP 300x225");
  EXPECT_EQ(sim::ShownBalloons().size(), 4u);
  EXPECT_EQ(mn->FeedUrls->GetCount(), 4);

  // A restart draws the thumbnails from the files.
  mn.reset();
  mn = Open();
  ASSERT_EQ(mn->ImageList->GetCount(), 4);
  ASSERT_TRUE(mn->ImageList->GetBitmap(0, &thumbnail));
  ASSERT_TRUE(sim::SaveBitmapPng(thumbnail.GetHandle(), Path("thumb1.png")));
  EXPECT_EQ(PillowPixel(Path("thumb1.png"), 37, 4), "255,255,255");
  EXPECT_NE(PillowPixel(Path("thumb1.png"), 37, 37), "255,255,255");
}

// A browser showing a feed's address: the poll (on the virtual clock) fetches it once
// and subscribes it; the same address on the next polls is not fetched again.
TEST_F(MainWindow, TheBrowserPollSubscribesTheFeedTheBrowserShows) {
  ASSERT_TRUE(nginx_.Start());
  nginx_.WriteFile("shown.xml", Feed("Shown Feed", ""));
  larktest::TempDir runtime;
  sim::SetRuntimeFolder(runtime.Path());
  const std::string url = nginx_.Url("/shown.xml");
  const std::string reply = "reply \"" + url + "\",\"Shown Feed\",\"\"";
  larktest::StandInBrowser browser;
  ASSERT_TRUE(browser.Start(LARK_STAND_IN_BROWSER, runtime.Path(), "IExplore",
                            {reply, reply, reply, reply, reply, reply}));

  sim::UseVirtualClock(0);
  auto mn = Open();
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(mn->FeedUrls->GetCount(), 0) << "no poll before a second has passed";
  sim::AdvanceClock(1000);
  ASSERT_TRUE(larktest::PumpUntil([&] { return mn->FeedUrls->GetCount() == 1; }, 30000))
      << browser.Log();
  WaitForDownload(*mn);
  EXPECT_EQ(mn->lvSubscriptions->GetItems()->GetItem(0)->GetCaption(), "Shown Feed");
  EXPECT_EQ(sim::ShownBalloons().size(), 1u);
  for (int i = 0; i < 3; ++i) {
    sim::AdvanceClock(1000);
    ASSERT_TRUE(larktest::PumpUntilIdle(20000));
  }
  mn.reset();
  sim::UseRealClock();
  const std::string log = nginx_.AccessLog();
  size_t fetches = 0;
  for (size_t at = log.find("/shown.xml"); at != std::string::npos; at = log.find("/shown.xml", at + 1))
    ++fetches;
  EXPECT_EQ(fetches, 1u) << log;
}

// Opening a subscription whose latest item has an MP3 enclosure: the audio player
// plays it (into a fake sink), the head of the file is read for its ID3v2 tag, the
// encoder goes into the player picture's menu and the cover into the player picture.
// The channel page's tab stops the players.
TEST_F(MainWindow, TheLatestEnclosurePlaysWithItsCoverShown) {
  ASSERT_TRUE(nginx_.Start());
  const std::string media = folder_.Path() + "media/";
  ASSERT_TRUE(ForceDirectories(media));
  larktest::MakeToneWav(media + "tone.wav", "4", "22050");
  larktest::MakeMp3(media + "tone.wav", media + "plain.mp3");
  larktest::MakeJpeg(media + "cover.jpg", "150x120", false);
  const std::string tagged = larktest::TagMp3(
      media + "plain.mp3", media + "show.mp3",
      {"--version", "3", "--encoder", "Lark Studio", "--cover", media + "cover.jpg"});
  ASSERT_FALSE(tagged.empty());
  nginx_.WriteFile("show.mp3", tagged);
  larktest::MakeJpeg(nginx_.Root() + "/channel.jpg", "200x200", false);
  nginx_.WriteFile("tone.xml", Feed("Tone Show", "/channel.jpg", "/show.mp3"));

  auto mn = Open();
  mn->Show();
  ASSERT_NE(mn->Wmp, nullptr) << "the media framework is missing";
  std::vector<WMPPlayState> states;
  mn->Wmp->OnPlayStateChange = [&](TObject*, WMPPlayState state) { states.push_back(state); };
  AddFeed(*mn, nginx_.Url("/tone.xml"));
  ASSERT_EQ(mn->FeedUrls->GetCount(), 1);
  EXPECT_FALSE(mn->pnlPlayers->GetVisible()) << "subscribing plays nothing";

  mn->lvSubscriptions->GetItems()->GetItem(0)->SetSelected(true);
  mn->lvSubscriptionsClick(mn->lvSubscriptions);
  WaitForDownload(*mn);
  EXPECT_EQ(mn->EnclosureUrls[0], nginx_.Url("/show.mp3"));
  EXPECT_EQ(mn->Wmp->GetURL(), nginx_.Url("/show.mp3"));
  EXPECT_TRUE(mn->pnlPlayers->GetVisible());
  EXPECT_EQ(mn->pnlPlayers->GetWidth(), 308);
  EXPECT_TRUE(mn->pnlWmp->GetVisible());
  ASSERT_TRUE(larktest::PumpUntil([&] { return mn->EncodedBy1->GetCaption() == "Encoded By: Lark Studio"; },
                                  30000))
      << mn->EncodedBy1->GetCaption().c_str();
  EXPECT_EQ(larktest::ReadFileBytes(Path("i0.jpg")), larktest::ReadFileBytes(media + "cover.jpg"));
  EXPECT_EQ(mn->imPlayer->GetFBitmap()->GetWidth(), 150);
  EXPECT_EQ(mn->imPlayer->GetFBitmap()->GetHeight(), 120);
  ASSERT_TRUE(larktest::PumpUntil(
      [&] {
        for (WMPPlayState s : states)
          if (s == wmppsPlaying) return true;
        return false;
      },
      30000))
      << mn->Wmp->GetErrorDescription().c_str();
  EXPECT_EQ(mn->Wmp->GetErrorDescription(), "");
  ASSERT_TRUE(larktest::PumpUntilIdle(20000));
  EXPECT_TRUE(sim::SaveWindowPng(mn->GetHandle(), LARK_TEST_BINARY_DIR "/app_main_window.png"));

  // The close box pauses (and hides the window to the tray); the channel page's tab
  // stops and hides the players.
  ShownTray tray;
  mn->Close();
  ASSERT_TRUE(larktest::PumpUntilIdle(20000));
  EXPECT_NE(mn->Wmp->GetplayState(), wmppsPlaying);
  mn->pcItems->SetActivePageIndex(kShowFilePage);
  mn->pcItemsChange(mn->pcItems);
  EXPECT_FALSE(mn->pnlPlayers->GetVisible());
  EXPECT_EQ(mn->Wmp->GetURL(), "");
}

}  // namespace
