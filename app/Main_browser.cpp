// One-click subscription: once a second the browsers are asked for the page they
// show; a new address that may be a feed is fetched to be subscribed when it is one.
#include "app/Main.h"

#include "platform/vcl/ComCtrls.h"

void TMn::TimerTimer(TObject*) {
  const AnsiString u = GetBrowserUrl(*Dde, BrowserUrls);
  if (IsBrowserUrlToFetch(u)) FetchFeed(kFetchSubscribe, u);
  // The progress bar shows while a download runs.
  if (ProgressBar) ProgressBar->SetVisible(ProgressBar->GetPosition() != 0);
}
