// The main window: its components and their settings, and the files beside the
// program.
#include "app/Main.h"

#include "net/HttpProt.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/IniFile.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Strings.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/ImageList.h"
#include "platform/vcl/Menus.h"

namespace {

TMenuItem* AddMenuItem(TComponent* owner, TMenuItem* parent, const AnsiString& caption) {
  auto* item = new TMenuItem(owner);
  item->SetCaption(caption);
  parent->Add(item);
  return item;
}

TTabSheet* AddTab(TComponent* owner, TPageControl* pages, const AnsiString& caption) {
  auto* sheet = new TTabSheet(owner);
  sheet->SetPageControl(pages);
  sheet->SetCaption(caption);
  return sheet;
}

void SetUpHttpClient(THttpCli* http, const AnsiString& contentTypePost) {
  http->SetLocalAddr("0.0.0.0");
  http->SetProxyPort("80");
  http->SetAgent("Mozilla/4.0 (compatible; Larkspool)");
  http->SetAccept("image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*");
  http->SetNoCache(false);
  http->SetContentTypePost(contentTypePost);
  http->SetMultiThreaded(false);
  http->SetRequestVer("1.0");
  http->SetFollowRelocation(true);
}

}  // namespace

TMn::TMn(TComponent* owner) : TForm(owner), FeedUrls(std::make_unique<TStringList>()) {
  BuildComponents();
  const Integer size = TIniFile(IniFileName()).ReadInteger("Subscriptions", "ThumbnailSize", 1);
  miSize50->SetChecked(size == 0);
  miSize75->SetChecked(size == 1);
  miSize100->SetChecked(size == 2);
  LoadSubscriptions();
}

TMn::~TMn() {
  // The clients' events call back into the window: no late event may find it gone.
  httpFeed->OnHeaderEnd = nullptr;
  httpFeed->OnDocData = nullptr;
  httpFeed->OnDocEnd = nullptr;
  httpFeed->Abort();
  httpDownload->Abort();
}

void TMn::BuildComponents() {
  SetCaption("Larkspool");
  SetBounds(277, 103, 984, 720);

  pnlBottom = new TPanel(this);
  pnlBottom->SetParent(this);
  pnlBottom->SetAlign(alBottom);
  pnlBottom->SetHeight(370);
  pnlBottom->SetBevelOuter(bvNone);
  pcItems = new TPageControl(this);
  pcItems->SetParent(pnlBottom);
  pcItems->SetAlign(alClient);
  tsLatestItem = AddTab(this, pcItems, "Latest Item");
  tsItem[0] = tsLatestItem;
  for (int k = 1; k < kItemTabs; ++k) tsItem[k] = AddTab(this, pcItems, "Item -" + IntToStr(k));
  tsShowFile = AddTab(this, pcItems, "ShowFile");
  // The tabs show once a feed has been opened.
  for (TTabSheet* sheet : tsItem) sheet->SetTabVisible(false);
  tsShowFile->SetTabVisible(false);

  StatusBar = new TStatusBar(this);
  StatusBar->SetParent(this);
  for (Integer width : {400, 100, 50}) {
    TStatusPanel* panel = StatusBar->GetPanels()->Add();
    panel->SetWidth(width);
  }
  StatusBar->GetPanels()->GetItem(0)->SetStyle(psOwnerDraw);
  StatusBar->GetPanels()->GetItem(1)->SetStyle(psOwnerDraw);
  StatusBar->OnDrawPanel = [this](TStatusBar* bar, TStatusPanel* panel, const TRect& rect) {
    StatusBarDrawPanel(bar, panel, rect);
  };

  ImageList = new TImageList(this);
  ImageList->SetWidth(50);
  ImageList->SetHeight(50);

  PageControl1 = new TPageControl(this);
  PageControl1->SetParent(this);
  PageControl1->SetAlign(alClient);
  tsSubscriptions = AddTab(this, PageControl1, "Subscriptions");
  lvSubscriptions = new TListView(this);
  lvSubscriptions->SetParent(tsSubscriptions);
  lvSubscriptions->SetAlign(alClient);
  lvSubscriptions->SetLargeImages(ImageList);
  lvSubscriptions->SetSmallImages(ImageList);
  lvSubscriptions->OnClick = [this](TObject* sender) { lvSubscriptionsClick(sender); };
  lvSubscriptions->OnKeyPress = [this](TObject* sender, char& key) {
    lvSubscriptionsKeyPress(sender, key);
  };

  MainMenu1 = new TMainMenu(this);
  TMenuItem* file = AddMenuItem(this, MainMenu1->GetItems(), "File");
  AddMenuItem(this, file, "Exit");
  miSubscriptions = AddMenuItem(this, MainMenu1->GetItems(), "Subscriptions");
  miSubscriptions->OnClick = [this](TObject* sender) { miSubscriptionsClick(sender); };
  miAddFeed = AddMenuItem(this, miSubscriptions, "Add Feed");
  miAddFeed->OnClick = [this](TObject* sender) { miAddFeedClick(sender); };
  miUnsubscribe = AddMenuItem(this, miSubscriptions, "Unsubscribe");
  miUnsubscribe->OnClick = [this](TObject* sender) { pmiUnsubscribeClick(sender); };
  TMenuItem* sizes = AddMenuItem(this, miSubscriptions, "Size Thumbnails");
  TMenuItem** sizeItems[] = {&miSize50, &miSize75, &miSize100};
  const char* sizeCaptions[] = {"50x50", "75x75", "100x100"};
  for (int s = 0; s < 3; ++s) {
    TMenuItem* item = AddMenuItem(this, sizes, sizeCaptions[s]);
    item->SetRadioItem(true);
    item->SetGroupIndex(1);
    item->SetTag(s);
    item->OnClick = [this](TObject* sender) { miSubscriptionsSizeThumbnailsClick(sender); };
    *sizeItems[s] = item;
  }
  TMenuItem* help = AddMenuItem(this, MainMenu1->GetItems(), "Help");
  AddMenuItem(this, help, "Help");
  AddMenuItem(this, help, "-");
  AddMenuItem(this, help, "About");
  SetMenu(MainMenu1);

  pmSubscriptions = new TPopupMenu(this);
  pmiUnsubscribe = AddMenuItem(this, pmSubscriptions->GetItems(), "Unsubscribe");
  pmiUnsubscribe->OnClick = [this](TObject* sender) { pmiUnsubscribeClick(sender); };
  pmSubscriptions->OnPopup = [this](TObject* sender) { pmSubscriptionsPopup(sender); };
  lvSubscriptions->SetPopupMenu(pmSubscriptions);

  httpFeed = new THttpCli(this);
  SetUpHttpClient(httpFeed, "text/xml");
  httpFeed->OnHeaderEnd = [this](TObject* sender) { httpFeedHeaderEnd(sender); };
  httpFeed->OnDocData = [this](TObject* sender, const void* buffer, Integer len) {
    httpFeedDocData(sender, buffer, len);
  };
  httpFeed->OnDocEnd = [this](TObject* sender) { httpFeedDocEnd(sender); };
  httpDownload = new THttpCli(this);
  SetUpHttpClient(httpDownload, "application/x-www-form-urlencoded");

  // The status bar below the item pages: bottom-aligned controls stack by their
  // bottom edges.
  StatusBar->SetTop(GetClientHeight());
}

AnsiString TMn::IniFileName() { return ChangeFileExt(ProgramFileName(), ".ini"); }

AnsiString TMn::ImageFileName(Integer number) {
  return ProgramFolder() + "feed" + IntToStr(number) + ".bmp";
}

void TMn::StatusBarDrawPanel(TStatusBar* statusBar, TStatusPanel* panel, const TRect& rect) {
  if (!ProgressBar) {
    ProgressBar = new TProgressBar(statusBar);
    ProgressBar->SetParent(statusBar);
    ProgressBar->SetRange(0, 100);
  }
  if (panel->GetIndex() == 1)
    ProgressBar->SetBounds(rect.left, rect.top + 1, rect.right - rect.left - 4,
                           rect.bottom - rect.top - 2);
}

void TMn::SetProgress(Integer position) {
  if (ProgressBar) ProgressBar->SetPosition(position);
}

void TMn::ShowStatus(const AnsiString& text) {
  if (!StatusBar->HandleAllocated()) return;
  TCanvas* canvas = StatusBar->GetCanvas();
  const TRect rect{18, 4, StatusBar->GetPanels()->GetItem(0)->GetWidth() - 4, StatusBar->GetHeight()};
  canvas->FillRect(rect);
  canvas->TextRect(rect, 22, 6, text);
}
