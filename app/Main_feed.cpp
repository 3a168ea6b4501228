// The feed download: one HTTP client fetching a feed's text in chunks, then the scan.
#include "app/Main.h"

#include <algorithm>
#include <cstring>

#include "net/HttpProt.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Strings.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/Dialogs.h"

namespace {

// A response with a Location header that the client goes on to follow: its body is
// the server's notice, not the feed.
bool IsFollowedRelocation(const THttpCli* http) {
  if (!http->GetFollowRelocation()) return false;
  const TStrings* lines = http->GetResponseHeaderLines();
  for (Integer i = 0; i < lines->GetCount(); ++i)
    if (SameText(Copy(lines->Strings(i), 1, 9), "location:")) return true;
  return false;
}

}  // namespace

void TMn::FetchFeed(int mode, const AnsiString& address) {
  // Opening a subscription stops what plays.
  if (mode == kFetchShow) {
    SetPlayerUrl(Wmp, "");
    SetPlayerUrl(WmpVideo, "");
    FreeQtPlayer();
  }
  FeedText.clear();
  SetProgress(1);
  StatusBar->GetPanels()->GetItem(2)->SetText(address);
  // A download still running is dropped; its end event still sees its own mode and
  // address, and an empty text.
  httpFeed->Abort();
  httpFeed->SetTag(mode);
  httpFeed->SetURL(address);
  FeedRelocating = false;
  try {
    httpFeed->GetASync();
  } catch (const Exception&) {
    SetProgress(0);
    StatusBar->GetPanels()->GetItem(2)->SetText("");
    throw;
  }
}

void TMn::httpFeedHeaderEnd(TObject*) { FeedRelocating = IsFollowedRelocation(httpFeed); }

void TMn::httpFeedDocData(TObject*, const void* buffer, Integer len) {
  if (FeedRelocating || len <= 0) return;
  const Integer received = std::min<Integer>(httpFeed->GetRcvdCount(), 100000);
  Integer length = httpFeed->GetContentLength();
  if (length <= 0) length = 100000;
  SetProgress(received * 50 / length);

  // Text up to the chunk's first NUL byte.
  const auto* bytes = static_cast<const char*>(buffer);
  const size_t count = strnlen(bytes, static_cast<size_t>(len));
  if (FeedText.size() + count > kMaxFeedText) {
    // Too long to be a feed: nothing of it is scanned.
    FeedText.clear();
    FeedText.shrink_to_fit();
    httpFeed->Abort();
    return;
  }
  FeedText.append(bytes, count);

  // A response that says it is not XML is dropped with what it sent: the end of the
  // download, which the abort raises, finds no text.
  const AnsiString& type = httpFeed->GetContentType();
  if (!type.empty() && Pos("xml", type) == 0) {
    FeedText.clear();
    httpFeed->Abort();
  }
}

void TMn::httpFeedDocEnd(TObject*) {
  // The end of a relocation notice: the client now requests the new location.
  if (FeedRelocating) return;
  const bool show = httpFeed->GetTag() == kFetchShow;
  const AnsiString text = std::move(FeedText);
  FeedText.clear();
  ProcessFeed(httpFeed->GetURL(), text, show);
  SetProgress(0);
  StatusBar->GetPanels()->GetItem(2)->SetText("");
  if (show) ShowStatus("Ready");
}

void TMn::miAddFeedClick(TObject*) {
  AnsiString value;
  if (!InputQuery("Add Subscription", "Please enter RSS feed", value)) return;
  if (Pos("feed://", value) > 0) value = Copy(value, 8, 999);
  if (!value.empty()) FetchFeed(kFetchSubscribe, value);
}
