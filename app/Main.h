// The main window: the subscription list and its ini file, the feed download, the
// scan of a feed and the pages built from it.
//
// The pages are HTML text that the window hands to one HTML control per tab; until
// those controls sit on the tabs, the window keeps each page's source (and the style
// rule added after it) where GetPageSource and GetPageStyle read it.
#pragma once

#include <cstddef>
#include <memory>

#include "app/FeedScanner.h"
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

class TMn : public TForm {
 public:
  LARK_CLASS_NAME(TMn)
  explicit TMn(TComponent* owner);
  ~TMn() override;

  // Enclosure address of the item shown on item tab 0..7.
  AnsiString EnclosureUrls[kItemTabs];
  // Subscribed feed addresses, parallel to the list items, the image list, the ini
  // keys FeedN and the image files feedN.bmp.
  std::unique_ptr<TStringList> FeedUrls;
  // Made when the status bar is first painted; progress before that is skipped.
  TProgressBar* ProgressBar = nullptr;

  // Components.
  TPanel* pnlBottom = nullptr;
  TPageControl* pcItems = nullptr;
  TTabSheet* tsLatestItem = nullptr;
  TTabSheet* tsItem[kItemTabs] = {};  // [0] is tsLatestItem, [1..7] tsItem1..tsItem7
  TTabSheet* tsShowFile = nullptr;
  TPageControl* PageControl1 = nullptr;
  TTabSheet* tsSubscriptions = nullptr;
  TListView* lvSubscriptions = nullptr;
  TImageList* ImageList = nullptr;
  TStatusBar* StatusBar = nullptr;
  TMainMenu* MainMenu1 = nullptr;
  TMenuItem* miSubscriptions = nullptr;
  TMenuItem* miAddFeed = nullptr;
  TMenuItem* miUnsubscribe = nullptr;
  TMenuItem* miSize50 = nullptr;
  TMenuItem* miSize75 = nullptr;
  TMenuItem* miSize100 = nullptr;
  TPopupMenu* pmSubscriptions = nullptr;
  TMenuItem* pmiUnsubscribe = nullptr;
  THttpCli* httpFeed = nullptr;
  THttpCli* httpDownload = nullptr;

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

  // Subscribing: appends the address to the stores and rewrites the ini file.
  Integer SubscribeFeed(const AnsiString& address, const AnsiString& title);

  void StatusBarDrawPanel(TStatusBar* statusBar, TStatusPanel* panel, const TRect& rect);
  void SetProgress(Integer position);
  // Paints text into the first panel of the status bar.
  void ShowStatus(const AnsiString& text);

 private:
  void BuildComponents();
  void ShowPage(int page, const AnsiString& source, const AnsiString& style = {});

  AnsiString FeedText;
  // True while the response being received is a relocation notice the client follows.
  bool FeedRelocating = false;
  AnsiString PageSource[kItemTabs + 1];
  AnsiString PageStyle[kItemTabs + 1];
};
