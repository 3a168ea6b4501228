// The browser poll of one-click subscription.
#include "app/BrowserWatch.h"

#include "platform/rtl/Strings.h"

namespace {

// The reply is "\"address\",\"title\",...": the address is what lies between the
// first character and the first quote followed by a comma.
void CutAddress(AnsiString& r) {
  if (r.empty()) return;
  Delete(r, 1, 1);
  const Integer end = Pos("\",", r);
  if (end > 0) Delete(r, end, static_cast<Integer>(r.size()) - end + 1);
}

// Requests the item on the current link; r keeps its value when the request fails.
void Ask(TDdeClientConv& Dde, AnsiString& r) {
  try {
    const auto reply = Dde.RequestData(kBrowserItem);
    r = reply ? AnsiString(reply.get()) : AnsiString();
    CutAddress(r);
  } catch (const Exception&) {
    Dde.CloseLink();
  }
}

}  // namespace

AnsiString GetBrowserUrl(TDdeClientConv& Dde, TBrowserUrls& Urls) {
  AnsiString r;
  try {
    if (Dde.SetLink(kIeService, kBrowserTopic)) Ask(Dde, r);
    if (!r.empty() && r != Urls.LastIeUrl) {
      Urls.LastIeUrl = r;
      return r;
    }
    if (!Dde.SetLink(kFirefoxService, kBrowserTopic)) return {};
    Ask(Dde, r);
    if (r == Urls.LastFirefoxUrl) return {};
    Urls.LastFirefoxUrl = r;
    return r;
  } catch (const Exception&) {
    return r;
  }
}

bool IsBrowserUrlToFetch(const AnsiString& u) {
  return !u.empty() && Pos(kSearchEngineHost, u) == 0 && u != "about:blank" && Pos("http://", u) > 0 &&
         Pos(".mp3", u) == 0 && Pos(".mov", u) == 0 && Pos(".m4v", u) == 0;
}
