// The main window: the subscription list and its ini file, the feed download, the
// scan of a feed and the pages built from it, the channel image, the tray icon, the
// browser poll of one-click subscription and the enclosure players.
//
// The pages are HTML text that the window hands to one HTML control per tab; the
// window also keeps each page's source (and the style rule added after it) where
// GetPageSource and GetPageStyle read it.
#pragma once

#include <cstddef>
#include <memory>

#include "app/BrowserWatch.h"
#include "app/FeedScanner.h"
#include "app/Id3Tag.h"
#include "platform/rtl/Types.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/Geometry.h"

class TComponent;
class TObject;
class TPanel;
class TPageControl;
class TTabSheet;
class TListView;
class TImageList;
class TStatusBar;
class TStatusPanel;
class TProgressBar;
class TMainMenu;
class TPopupMenu;
class TMenuItem;
class TStringList;
class THttpCli;
class TImage;
class TBevel;
class TTimer;
class TDadirAv;
class TDadirAvView;
class TTrayIcon;
class TThemeManager;
class TWindowsMediaPlayer;
class TQTControl;
class TProfDHTMLEdit;


// Download modes: open a subscription and show it, or subscribe an address when it
// is new.
inline constexpr int kFetchShow = 2;
inline constexpr int kFetchSubscribe = 3;

// Item tabs (0 the latest item, 1..7 the older ones) and the channel page's tab.
inline constexpr int kItemTabs = 8;
inline constexpr int kShowFilePage = 8;

// Subscriptions read back from the ini file at start.
inline constexpr int kMaxStoredFeeds = 100;

// The largest feed text kept; a longer response is dropped whole.
inline constexpr size_t kMaxFeedText = 32 * 1024 * 1024;

// The largest channel image kept (a larger one is fitted into it), and the scratch
// file the channel page shows it from.
inline constexpr Integer kChannelImageEdge = 300;
inline constexpr char kChannelImageFile[] = "temp.bmp";

// The window's texts.
inline constexpr char kProgramTitle[] = "Larkspool";
inline constexpr char kExitQuestion[] =
    "Do you really wish to exit the program and disable one click subscription?";
inline constexpr char kExitCaption[] = "Exit program?";
inline constexpr Integer kHelpContext = 1000;

class TMn : public TForm {
 public:
  LARK_CLASS_NAME(TMn)
  explicit TMn(TComponent* owner);
  ~TMn() override;

  // Enclosure address of the item shown on item tab 0..7.
  AnsiString EnclosureUrls[kItemTabs];
  // Set only when the session ends (logoff, shutdown): the close box then closes.
  bool AllowClose = false;
  // The window goes to the tray once the pages have started (every start but the
  // first, which copies the default subscriptions).
  bool StartHidden = false;
  // The QuickTime player, made when an enclosure needs it; null otherwise.
  TQTControl* QtPlayer = nullptr;
  // The ID3v2 tag of the MP3 enclosure being downloaded (its ReadingId3 says whether
  // chunks are examined).
  TId3TagReader Id3;
  // The addresses last taken from the browsers.
  TBrowserUrls BrowserUrls;
  // Subscribed feed addresses, parallel to the list items, the image list, the ini
  // keys FeedN and the image files feedN.bmp.
  std::unique_ptr<TStringList> FeedUrls;
  // Made when the status bar is first painted; progress before that is skipped.
  TProgressBar* ProgressBar = nullptr;

  // Components.
  TImage* imIcon = nullptr;  // the program picture: the channel image of a feed without one
  TBevel* Bevel1 = nullptr;
  TPanel* pnlBottom = nullptr;
  TPageControl* pcItems = nullptr;
  TTabSheet* tsLatestItem = nullptr;
  TTabSheet* tsItem[kItemTabs] = {};  // [0] is tsLatestItem, [1..7] tsItem1..tsItem7
  TTabSheet* tsShowFile = nullptr;
  TDadirAvView* imRecentEpisodes = nullptr;  // under the latest item's page
  // The views under the pages of item tabs 1..7 ([0] is imRecentEpisodes), and their
  // hidden canvases ([0] is im100x100).
  TDadirAvView* DadirAvView[kItemTabs] = {};
  TDadirAv* DadirAv[kItemTabs] = {};
  // The page of each item tab ([0] is htmlLatestEpisode) and the channel page.
  TProfDHTMLEdit* htmlEpisode[kItemTabs] = {};
  TProfDHTMLEdit* htmlLatestEpisode = nullptr;
  TProfDHTMLEdit* htmlShowFile = nullptr;
  TDadirAv* im100x100 = nullptr;             // the thumbnail canvas
  TDadirAv* im300x300 = nullptr;             // the channel image while a feed is processed
  TPanel* pnlPlayers = nullptr;
  TPanel* Panel2 = nullptr;
  TPanel* pnlWmp = nullptr;
  TDadirAv* imPlayer = nullptr;  // the player picture: channel image or the MP3's cover
  TWindowsMediaPlayer* Wmp = nullptr;       // audio; null when no player can be made
  TPanel* pnlWmpVideo = nullptr;
  TWindowsMediaPlayer* WmpVideo = nullptr;  // video; null when no player can be made
  TPanel* pnlQt = nullptr;
  TPageControl* PageControl1 = nullptr;
  TTabSheet* tsSubscriptions = nullptr;
  TListView* lvSubscriptions = nullptr;
  TImageList* ImageList = nullptr;
  TStatusBar* StatusBar = nullptr;
  TMainMenu* MainMenu1 = nullptr;
  TMenuItem* miExit = nullptr;
  TMenuItem* miSubscriptions = nullptr;
  TMenuItem* miAddFeed = nullptr;
  TMenuItem* miUnsubscribe = nullptr;
  TMenuItem* miSize50 = nullptr;
  TMenuItem* miSize75 = nullptr;
  TMenuItem* miSize100 = nullptr;
  TMenuItem* miHelp = nullptr;
  TMenuItem* miAbout = nullptr;
  TPopupMenu* pmSubscriptions = nullptr;
  TMenuItem* pmiUnsubscribe = nullptr;
  TPopupMenu* pmTray = nullptr;
  TMenuItem* miTrayShow = nullptr;
  TMenuItem* miTrayAddFeed = nullptr;
  TMenuItem* miTrayExit = nullptr;
  TPopupMenu* pmPlayer = nullptr;
  TMenuItem* EncodedBy1 = nullptr;
  THttpCli* httpFeed = nullptr;
  THttpCli* httpDownload = nullptr;
  TDdeClientConv* Dde = nullptr;
  TTimer* Timer = nullptr;          // the browser poll, once a second
  TTimer* tmBalloonHint = nullptr;  // hides the subscription balloon
  TThemeManager* ThemeManager1 = nullptr;
  TTrayIcon* TrayIcon = nullptr;

  // Lifecycle: the close box hides the window to the tray (where no tray shows the
  // icon it asks as Exit does and ends the program); the end of the session lets it
  // close; Exit asks and ends the program.
  void FormCloseQuery(TObject* sender, bool& canClose);
  void FormDestroy(TObject* sender);
  void FormResize(TObject* sender);
  void Dispatch(TMessage& message) override;
  void WMQueryEndSession(TMessage& message);
  // The tray that showed the icon went away: a window hidden there comes back into
  // view, as nothing else could bring it back (unless another tray shows the icon now).
  void NotifyAreaGone();
  // The pages have started: the item tabs are shown once, then hidden, and the
  // window goes to the tray unless this is the first start.
  // A window hidden to a tray whose icon could not be shown could never come back:
  // then it stays in view.
  void htmlCreate(TObject* sender);
  // The status bar shows the address of the link under the mouse (nothing off links).
  void htmlMouseMove(TObject* sender, TShiftState shift, Integer x, Integer y);
  // The control that shows item tab 0..7 or the channel tab (kShowFilePage).
  TProfDHTMLEdit* PageControl(int page) const;
  void miTrayExitClick(TObject* sender);
  void miTrayShowClick(TObject* sender);
  void miTrayAddFeedClick(TObject* sender);
  void miAboutClick(TObject* sender);
  void miHelpClick(TObject* sender);
  void tmBalloonHintTimer(TObject* sender);

  // Files beside the program.
  static AnsiString IniFileName();
  static AnsiString ImageFileName(Integer number);  // "feed" + number + ".bmp"

  // Subscription list and ini file.
  // 0, 1 or 2 from the checked size item (2 when none is checked); the thumbnail
  // edge is 50 + 25 x that.
  Integer ThumbnailSizeIndex() const;
  void LoadSubscriptions();
  void SaveSubscriptions();
  void lvSubscriptionsClick(TObject* sender);
  void lvSubscriptionsKeyPress(TObject* sender, char& key);
  void pmiUnsubscribeClick(TObject* sender);
  void miSubscriptionsClick(TObject* sender);
  void pmSubscriptionsPopup(TObject* sender);
  void miSubscriptionsSizeThumbnailsClick(TObject* sender);

  // Feed download.
  void FetchFeed(int mode, const AnsiString& address);
  void httpFeedHeaderEnd(TObject* sender);
  void httpFeedDocData(TObject* sender, const void* buffer, Integer len);
  void httpFeedDocEnd(TObject* sender);
  void miAddFeedClick(TObject* sender);
  // The text of the download in progress.
  const AnsiString& GetFeedText() const noexcept { return FeedText; }

  // The scan of a feed: the subscription's list position, or -1 when the text is not
  // RSS 2.0 (and nothing was done).
  Integer ProcessFeed(const AnsiString& address, const AnsiString& text, bool show);

  // Pages.
  void BuildChannelPage(const AnsiString& title, const AnsiString& description,
                        const AnsiString& feedAddress, const AnsiString& imageAddress, bool show);
  void ShowItemPage(int k, const AnsiString& channelTitle, const AnsiString& channelLink,
                    const TFeedItem& item, bool show);
  // The source last shown on item tab 0..7 or on the channel tab (kShowFilePage).
  const AnsiString& GetPageSource(int page) const { return PageSource[page]; }
  // The style rule added to that page after its source.
  const AnsiString& GetPageStyle(int page) const { return PageStyle[page]; }

  // The channel image: loaded from its address into im300x300 (the program picture
  // when that fails), fitted into 300 x 300 and written as temp.bmp. Answers whether
  // the image was loaded.
  bool LoadChannelImage(const AnsiString& address);
  // Subscribing a new address: the balloon, the image file (when loaded), the
  // thumbnail, the list entry and the ini rewrite. Answers the entry's position.
  Integer SubscribeFeed(const AnsiString& address, const AnsiString& title, bool loaded);
  // A known subscription without an image file gets one from a loaded image.
  void RefreshChannelImage(Integer i, bool loaded);
  // The image of im300x300 as a thumbnail on im100x100.
  void DrawThumbnail();

  // One-click subscription: the once-a-second poll of the browsers.
  void TimerTimer(TObject* sender);

  // Enclosure playback: the player for the selected item tab's enclosure, and the
  // ID3v2 tag read from the head of an MP3 enclosure.
  void pcItemsChange(TObject* sender);
  void PausePlayers();
  void StopPlayers();
  void httpDownloadDocBegin(TObject* sender);
  void httpDownloadDocData(TObject* sender, const void* buffer, Integer len);

  void StatusBarDrawPanel(TStatusBar* statusBar, TStatusPanel* panel, const TRect& rect);
  void SetProgress(Integer position);
  // Paints text into the first panel of the status bar.
  void ShowStatus(const AnsiString& text);

 private:
  // The constructor's work; a failure leaves no handler of the window behind.
  void Construct();
  void BuildComponents();
  void BuildPlayers();
  // Every page reaches the screen here: the source first, then its style rule.
  void ShowPage(int page, const AnsiString& source, const AnsiString& style = {});
  void FreeQtPlayer();
  void SetPlayerUrl(TWindowsMediaPlayer* player, const AnsiString& url);

  AnsiString FeedText;
  // True while the response being received is a relocation notice the client follows.
  bool FeedRelocating = false;
  // Whether the notification area took the tray icon.
  bool TrayIconShown = false;
  // The icon is in a tray that a person sees now: the window may hide there.
  bool TrayShowsIcon() const;
  AnsiString PageSource[kItemTabs + 1];
  AnsiString PageStyle[kItemTabs + 1];
};
