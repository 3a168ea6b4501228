// The feed scanner: reads the channel and its latest items out of RSS 2.0 text by
// substring search (it is not an XML parser). All searches are case-sensitive and
// take the first occurrence; every value is cut to a bounded window.
#pragma once

#include <vector>

#include "platform/rtl/Types.h"

// Items read from one feed, newest first as feeds list them.
inline constexpr int kMaxFeedItems = 8;
// Window lengths of the values taken from the feed.
inline constexpr Integer kChannelWindow = 999;
inline constexpr Integer kChannelTitleWindow = 9999;
inline constexpr Integer kItemWindow = 99999;

struct TFeedItem {
  AnsiString Title;
  AnsiString Link;
  AnsiString Date;
  AnsiString Description;
  AnsiString Content;
  AnsiString Enclosure;
  // What the item page shows: the content when the description is shorter than it,
  // otherwise the description.
  const AnsiString& Body() const {
    return Description.size() < Content.size() ? Content : Description;
  }
};

struct TFeedChannel {
  AnsiString Title;  // the channel link when the feed gives no title
  AnsiString Link;
  AnsiString Description;
  AnsiString ImageUrl;
  std::vector<TFeedItem> Items;  // at most kMaxFeedItems, none empty
};

// True when text holds an RSS 2.0 start tag: "<rss " followed within 999 characters
// by a ">", the tag holding "version", "=" and "2.0" in double quotes.
bool IsRss2(const AnsiString& text);

// Replaces the fixed table of character references and UTF-8 sequences by single
// Windows-1252 characters (each entry a replace-all pass, in table order), then turns
// every other well-formed UTF-8 sequence of the feed's own bytes into its
// Windows-1252 character, or "?" where Windows-1252 has none. Bytes that are not
// well-formed UTF-8 (a feed in Windows-1252) stay as they are.
AnsiString DecodeEntities(const AnsiString& text);

// Reads the channel values and up to kMaxFeedItems items. False (channel untouched)
// when the text is not RSS 2.0.
bool ScanFeed(const AnsiString& text, TFeedChannel& channel);
