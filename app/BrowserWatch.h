// One-click subscription: once a second the program asks the web browsers over DDE
// for the address of the page they show, and takes a new address that may be a feed.
// The main window owns the DDE conversation and the timer; these functions are the
// poll and the test of an address, with the two addresses remembered between polls.
#pragma once

#include "platform/dde/DdeMan.h"
#include "platform/rtl/Types.h"

// The browsers' window-information conversation.
inline constexpr char kIeService[] = "IExplore";
inline constexpr char kFirefoxService[] = "Firefox";
inline constexpr char kBrowserTopic[] = "WWW_GetWindowInfo";
inline constexpr char kBrowserItem[] = "0xFFFFFFFF,sURL,sTitle";
// The search engine whose pages are never fetched.
inline constexpr char kSearchEngineHost[] = "www.google.com";

// The addresses taken from each browser, kept for the whole run.
struct TBrowserUrls {
  AnsiString LastIeUrl;
  AnsiString LastFirefoxUrl;
};

// One poll through Dde: Internet Explorer first, Firefox when Internet Explorer has
// nothing new. Answers an address not returned before, or empty. Failures of the DDE
// layer never leave it.
AnsiString GetBrowserUrl(TDdeClientConv& Dde, TBrowserUrls& Urls);

// Whether the timer fetches u (in the feed download's mode 3): a plain web address
// that is not the search engine's, a blank page or a media file.
bool IsBrowserUrlToFetch(const AnsiString& u);
