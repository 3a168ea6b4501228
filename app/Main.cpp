// The main window: its components and their settings, start-up with the first-run
// defaults, the tray, About and Help, the end of the program, the status bar, and the
// files beside the program.
#include "app/Main.h"

#include "app/About.h"
#include "app/ProgramPicture.h"
#include "desktop/ThemeMgr.h"
#include "desktop/TrayIcon.h"
#include "html/ProfDHTMLEdit.h"
#include "image/formats/dadiravio.h"
#include "image/formats/giflzw.h"
#include "image/io/dadiravio.h"
#include "image/views/dadirav.h"
#include "net/HttpProt.h"
#include "platform/dde/DdeMan.h"
#include "platform/media/MediaPlayers.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/CodePage.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/IniFile.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Strings.h"
#include "platform/shell/NotifyAreaPresenter.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/ImageList.h"
#include "platform/vcl/Menus.h"
#include "platform/vcl/Timer.h"
#include "platform/win/Gdi.h"
#include "platform/win/MessageBox.h"

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

TPanel* AddPanel(TComponent* owner, TWinControl* parent) {
  auto* panel = new TPanel(owner);
  panel->SetParent(parent);
  panel->SetBevelOuter(bvNone);
  return panel;
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

TProfDHTMLEdit* AddPageView(TComponent* owner, TWinControl* parent) {
  auto* html = new TProfDHTMLEdit(owner);
  html->SetParent(parent);
  html->SetAlign(alClient);
  html->SetTimeout(30);
  return html;
}

// A view that shows its image fitted into it both ways, smoothly.
void SetUpFittedView(TDadirAv* view) {
  view->SetZoomFilter(rfBicubic);
  view->SetScrollBars(ssNone);
  view->AutoStretch = true;
  view->AutoShrink = true;
}

constexpr char kSection[] = "Subscriptions";

}  // namespace

TMn::TMn(TComponent* owner) : TForm(owner), FeedUrls(std::make_unique<TStringList>()) {
  // GIF channel images are read (and written) through the GIF coders.
  DefGIF_LZWDECOMPFUNC = GIFLZWDecompress;
  DefGIF_LZWCOMPFUNC = GIFNONLZWCompress;
  IEUpdateGIFStatus();
  Application->SetHelpFile(ProgramFolder() + "Larkspool.hlp");
  try {
    Construct();
  } catch (...) {
    // The window's handlers would run on a half-built window as the form goes away.
    OnCloseQuery = nullptr;
    OnDestroy = nullptr;
    OnResize = nullptr;
    throw;
  }
}

void TMn::Construct() {
  BuildComponents();
  // With the pages starting up, each item tab is shown once (htmlCreate).
  pcItems->SetActivePage(tsItem[kItemTabs - 1]);
  // The wheel neither scrolls nor zooms the page views and the channel image.
  imRecentEpisodes->GetMouseWheelParams()->Action = iemwNone;
  im300x300->GetMouseWheelParams()->Action = iemwNone;

  // First run: the default subscriptions and their images beside the program, when
  // they are there, become the program's own; the window then stays in view.
  const AnsiString folder = ProgramFolder();
  const AnsiString defaults = folder + "Default/";
  bool firstRun = false;
  if (!FileExists(IniFileName()) && FileExists(defaults + "Larkspool.ini")) {
    CopyFile((defaults + "Larkspool.ini").c_str(), IniFileName().c_str(), FALSE);
    for (Integer n = 1; n <= kMaxStoredFeeds; ++n) {
      DeleteFile(ImageFileName(n));
      const AnsiString source = defaults + "feed" + IntToStr(n) + ".bmp";
      if (FileExists(source)) CopyFile(source.c_str(), ImageFileName(n).c_str(), FALSE);
    }
    firstRun = true;
  }
  if (!firstRun) StartHidden = true;

  const Integer size = TIniFile(IniFileName()).ReadInteger(kSection, "ThumbnailSize", 1);
  miSize50->SetChecked(size == 0);
  miSize75->SetChecked(size == 1);
  miSize100->SetChecked(size == 2);
  LoadSubscriptions();
  Timer->SetEnabled(true);
}

TMn::~TMn() {
  // OnDestroy while the window's members are all still there.
  BeforeDestruction();
  // The clients' events call back into the window: no late event may find it gone.
  httpFeed->OnHeaderEnd = nullptr;
  httpFeed->OnDocData = nullptr;
  httpFeed->OnDocEnd = nullptr;
  httpDownload->OnDocBegin = nullptr;
  httpDownload->OnDocData = nullptr;
  httpFeed->Abort();
  httpDownload->Abort();
}

void TMn::BuildComponents() {
  SetCaption(kProgramTitle);
  SetBounds(277, 103, 984, 720);
  SetPosition(poScreenCenter);
  OnCloseQuery = [this](TObject* sender, bool& canClose) { FormCloseQuery(sender, canClose); };
  OnDestroy = [this](TObject* sender) { FormDestroy(sender); };
  OnResize = [this](TObject* sender) { FormResize(sender); };

  imIcon = new TImage(this);
  imIcon->SetParent(this);
  imIcon->SetBounds(0, 0, 41, 41);
  imIcon->SetVisible(false);
  {
    TBitmap picture;
    MakeProgramPicture(&picture, 41);
    imIcon->GetPicture()->Assign(&picture);
  }

  Bevel1 = new TBevel(this);
  Bevel1->SetParent(this);
  Bevel1->SetShape(bsTopLine);
  Bevel1->SetAlign(alTop);
  Bevel1->SetHeight(4);

  pnlBottom = AddPanel(this, this);
  pnlBottom->SetAlign(alBottom);
  pnlBottom->SetHeight(370);
  BuildPlayers();
  pcItems = new TPageControl(this);
  pcItems->SetParent(pnlBottom);
  pcItems->SetAlign(alClient);
  pcItems->OnChange = [this](TObject* sender) { pcItemsChange(sender); };
  tsLatestItem = AddTab(this, pcItems, "Latest Item");
  tsItem[0] = tsLatestItem;
  for (int k = 1; k < kItemTabs; ++k) tsItem[k] = AddTab(this, pcItems, "Item -" + IntToStr(k));
  tsShowFile = AddTab(this, pcItems, "ShowFile");
  // The tabs show once a feed has been opened.
  for (TTabSheet* sheet : tsItem) sheet->SetTabVisible(false);
  tsShowFile->SetTabVisible(false);
  imRecentEpisodes = new TDadirAvView(this);
  imRecentEpisodes->SetParent(tsLatestItem);
  imRecentEpisodes->SetAlign(alClient);
  imRecentEpisodes->SetScrollBars(ssNone);
  // The page lies on it: white, as the page is, until the page is drawn.
  imRecentEpisodes->SetBackGround(clWhite);
  imRecentEpisodes->Blank();
  im100x100 = new TDadirAv(this);
  im100x100->SetParent(imRecentEpisodes);
  im100x100->SetBounds(0, 0, 52, 49);
  im100x100->SetVisible(false);
  DadirAvView[0] = imRecentEpisodes;
  DadirAv[0] = im100x100;
  for (int k = 1; k < kItemTabs; ++k) {
    DadirAvView[k] = new TDadirAvView(this);
    DadirAvView[k]->SetParent(tsItem[k]);
    DadirAvView[k]->SetAlign(alClient);
    DadirAvView[k]->SetScrollBars(ssNone);
    DadirAvView[k]->SetBackGround(clWhite);
    DadirAvView[k]->Blank();
    DadirAv[k] = new TDadirAv(this);
    DadirAv[k]->SetParent(DadirAvView[k]);
    DadirAv[k]->SetBounds(0, 0, 52, 49);
    DadirAv[k]->SetVisible(false);
  }
  // One page control per tab, filling it: the item pages lie on their views, the
  // channel page on its tab.
  for (int k = 0; k < kItemTabs; ++k) htmlEpisode[k] = AddPageView(this, DadirAvView[k]);
  htmlLatestEpisode = htmlEpisode[0];
  htmlShowFile = AddPageView(this, tsShowFile);
  for (int page = 0; page <= kShowFilePage; ++page) {
    TProfDHTMLEdit* html = PageControl(page);
    html->OnCreate = [this](TObject* sender) { htmlCreate(sender); };
    html->OnMouseMove = [this](TObject* sender, TShiftState shift, Integer x, Integer y) {
      htmlMouseMove(sender, shift, x, y);
    };
  }

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

  im300x300 = new TDadirAv(this);
  im300x300->SetParent(this);
  im300x300->SetVisible(false);
  SetUpFittedView(im300x300);

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

  Dde = new TDdeClientConv(this);
  Timer = new TTimer(this);
  Timer->SetEnabled(false);
  Timer->SetInterval(1000);
  Timer->SetOnTimer([this](TObject* sender) { TimerTimer(sender); });
  tmBalloonHint = new TTimer(this);
  tmBalloonHint->SetEnabled(false);
  tmBalloonHint->SetInterval(10000);
  tmBalloonHint->SetOnTimer([this](TObject* sender) { tmBalloonHintTimer(sender); });

  MainMenu1 = new TMainMenu(this);
  TMenuItem* file = AddMenuItem(this, MainMenu1->GetItems(), "File");
  miExit = AddMenuItem(this, file, "Exit");
  miExit->OnClick = [this](TObject* sender) { miTrayExitClick(sender); };
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
  miHelp = AddMenuItem(this, help, "Help");
  miHelp->OnClick = [this](TObject* sender) { miHelpClick(sender); };
  AddMenuItem(this, help, "-");
  miAbout = AddMenuItem(this, help, "About");
  miAbout->OnClick = [this](TObject* sender) { miAboutClick(sender); };
  SetMenu(MainMenu1);

  pmSubscriptions = new TPopupMenu(this);
  pmiUnsubscribe = AddMenuItem(this, pmSubscriptions->GetItems(), "Unsubscribe");
  pmiUnsubscribe->OnClick = [this](TObject* sender) { pmiUnsubscribeClick(sender); };
  pmSubscriptions->OnPopup = [this](TObject* sender) { pmSubscriptionsPopup(sender); };
  lvSubscriptions->SetPopupMenu(pmSubscriptions);

  pmTray = new TPopupMenu(this);
  miTrayShow = AddMenuItem(this, pmTray->GetItems(), "Show");
  miTrayShow->OnClick = [this](TObject* sender) { miTrayShowClick(sender); };
  miTrayAddFeed = AddMenuItem(this, pmTray->GetItems(), "Add Feed");
  miTrayAddFeed->OnClick = [this](TObject* sender) { miTrayAddFeedClick(sender); };
  AddMenuItem(this, pmTray->GetItems(), "-");
  miTrayExit = AddMenuItem(this, pmTray->GetItems(), "Exit");
  miTrayExit->OnClick = [this](TObject* sender) { miTrayExitClick(sender); };

  httpFeed = new THttpCli(this);
  SetUpHttpClient(httpFeed, "text/xml");
  httpFeed->OnHeaderEnd = [this](TObject* sender) { httpFeedHeaderEnd(sender); };
  httpFeed->OnDocData = [this](TObject* sender, const void* buffer, Integer len) {
    httpFeedDocData(sender, buffer, len);
  };
  httpFeed->OnDocEnd = [this](TObject* sender) { httpFeedDocEnd(sender); };
  httpDownload = new THttpCli(this);
  SetUpHttpClient(httpDownload, "application/x-www-form-urlencoded");
  httpDownload->OnDocBegin = [this](TObject* sender) { httpDownloadDocBegin(sender); };
  httpDownload->OnDocData = [this](TObject* sender, const void* buffer, Integer len) {
    httpDownloadDocData(sender, buffer, len);
  };

  ThemeManager1 = new TThemeManager(this);

  TrayIcon = new TTrayIcon(this);
  TrayIcon->SetHint(kProgramTitle);
  {
    TIcon icon;
    icon.SetHandle(MakeProgramIcon(16));
    TrayIcon->SetIcon(&icon);
  }
  TrayIcon->SetIconIndex(0);
  TrayIcon->SetCycleInterval(0);
  TrayIcon->SetPopupMenu(pmTray);
  TrayIcon->OnDblClick = [this](TObject* sender) { miTrayShowClick(sender); };
  // Shown in the notification area; where none takes it, the window never hides.
  TrayIconShown = TrayIcon->AddTrayIcon();

  // The status bar below the item pages: bottom-aligned controls stack by their
  // bottom edges.
  StatusBar->SetTop(GetClientHeight());
}

void TMn::BuildPlayers() {
  pnlPlayers = AddPanel(this, pnlBottom);
  pnlPlayers->SetAlign(alRight);
  pnlPlayers->SetWidth(326);
  pnlPlayers->SetVisible(false);
  Panel2 = AddPanel(this, pnlPlayers);
  Panel2->SetAlign(alTop);
  Panel2->SetHeight(20);

  pnlWmp = AddPanel(this, pnlPlayers);
  pnlWmp->SetBounds(2, 20, 304, 348);
  imPlayer = new TDadirAv(this);
  imPlayer->SetParent(pnlWmp);
  imPlayer->SetBounds(0, 0, 304, 304);
  imPlayer->SetAlign(alTop);
  SetUpFittedView(imPlayer);
  pmPlayer = new TPopupMenu(this);
  pmPlayer->SetAutoHotkeys(maManual);
  EncodedBy1 = AddMenuItem(this, pmPlayer->GetItems(), "Encoded By");
  imPlayer->SetPopupMenu(pmPlayer);

  pnlWmpVideo = AddPanel(this, pnlPlayers);
  pnlWmpVideo->SetBounds(2, 20, 320, 348);
  pnlQt = AddPanel(this, pnlPlayers);
  pnlQt->SetBounds(2, 20, 324, 350);
  pnlQt->SetVisible(false);

  // Without the media framework the window still works; nothing plays.
  try {
    Wmp = new TWindowsMediaPlayer(this);
    Wmp->SetParent(pnlWmp);
    Wmp->SetBounds(0, 304, 304, 45);
    Wmp->SetAlign(alBottom);
    WmpVideo = new TWindowsMediaPlayer(this);
    WmpVideo->SetParent(pnlWmpVideo);
    WmpVideo->SetAlign(alClient);
    WmpVideo->SetVisible(false);
  } catch (const EMediaError&) {
  }
}

AnsiString TMn::IniFileName() { return ChangeFileExt(ProgramFileName(), ".ini"); }

AnsiString TMn::ImageFileName(Integer number) {
  return ProgramFolder() + "feed" + IntToStr(number) + ".bmp";
}

// --- Lifecycle --------------------------------------------------------------------

void TMn::htmlCreate(TObject* sender) {
  // A page shown before its control had started did not reach it: it does now.
  for (int page = 0; page <= kShowFilePage; ++page)
    if (PageControl(page) == sender && !PageSource[page].empty())
      ShowPage(page, AnsiString(PageSource[page]), AnsiString(PageStyle[page]));
  // Each page in turn, ending on the latest item: every tab is shown once.
  for (int k = kItemTabs - 1; k >= 1; --k)
    if (pcItems->GetActivePage() == tsItem[k]) pcItems->SetActivePage(k == 1 ? tsShowFile : tsItem[k - 1]);
  if (pcItems->GetActivePage() == tsShowFile) pcItems->SetActivePage(tsLatestItem);
  for (TTabSheet* sheet : tsItem) sheet->SetTabVisible(false);
  tsShowFile->SetTabVisible(false);
  // Hidden only where the icon is there to bring the window back: the area took it
  // and something shows the area to the person.
  if (StartHidden && TrayShowsIcon()) TrayIcon->HideMainForm();
}

void TMn::htmlMouseMove(TObject* sender, TShiftState, Integer x, Integer y) {
  auto* html = dynamic_cast<TCustomProfDHTMLEdit*>(sender);
  if (!html) return;
  ShowStatus(WideToAnsi(html->HrefAtPoint(x, y)));
}

TProfDHTMLEdit* TMn::PageControl(int page) const {
  if (page == kShowFilePage) return htmlShowFile;
  if (page < 0 || page >= kItemTabs) return nullptr;
  return htmlEpisode[page];
}

bool TMn::TrayShowsIcon() const { return TrayIconShown && larkshell::NotifyAreaPresented(); }

void TMn::FormCloseQuery(TObject*, bool& canClose) {
  PausePlayers();
  canClose = AllowClose;
  if (AllowClose || TrayShowsIcon()) {
    TrayIcon->HideMainForm();
    return;
  }
  // No tray shows the icon, so a hidden window could never be brought back: the close
  // box ends the program as Exit does, after the same question (Cancel keeps the
  // window in view, and the program goes on).
  miTrayExitClick(this);
}

void TMn::Dispatch(TMessage& message) {
  if (message.Msg == WM_QUERYENDSESSION) {
    WMQueryEndSession(message);
    return;
  }
  if (message.Msg == larkshell::NotifyAreaGoneMessage()) {
    NotifyAreaGone();
    return;
  }
  TForm::Dispatch(message);
}

void TMn::NotifyAreaGone() {
  if (GetVisible() || TrayShowsIcon()) return;
  TrayIcon->RestoreMainForm();
}

void TMn::WMQueryEndSession(TMessage& message) {
  AllowClose = true;
  message.Result = 1;
}

void TMn::FormDestroy(TObject*) {
  StopPlayers();
  FreeQtPlayer();
  httpFeed->Abort();
  httpDownload->Abort();
  // The window is going away: a size that cannot be written is not reported.
  try {
    TIniFile(IniFileName()).WriteInteger(kSection, "ThumbnailSize", ThumbnailSizeIndex());
  } catch (const Exception&) {
  }
  Timer->SetEnabled(false);
}

void TMn::FormResize(TObject*) {
  if (lvSubscriptions) lvSubscriptions->Arrange(arDefault);
}

void TMn::miTrayExitClick(TObject*) {
  if (Application->MessageBox(kExitQuestion, kExitCaption, MB_OKCANCEL) == IDOK)
    Application->Terminate();
}

void TMn::miTrayShowClick(TObject*) { TrayIcon->RestoreMainForm(); }

void TMn::miTrayAddFeedClick(TObject* sender) { miAddFeedClick(sender); }

void TMn::miAboutClick(TObject*) {
  if (About) {
    About->ShowModal();
    return;
  }
  TAbout about(nullptr);
  about.ShowModal();
}

void TMn::miHelpClick(TObject*) { Application->HelpContext(kHelpContext); }

void TMn::tmBalloonHintTimer(TObject*) {
  TrayIcon->HideBalloonHint();
  tmBalloonHint->SetEnabled(false);
}

// --- Status bar -------------------------------------------------------------------

void TMn::StatusBarDrawPanel(TStatusBar* statusBar, TStatusPanel* panel, const TRect& rect) {
  if (const HICON icon = MakeProgramIcon(16)) {
    DrawIconEx(statusBar->GetCanvas()->GetHandle(), 2, 5, icon, 16, 16, 0, 0, DI_NORMAL);
    DestroyIcon(icon);
  }
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
