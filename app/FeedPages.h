// The pages the program writes from a feed's values: one channel page and one page
// per item, plain HTML 3 markup with lines joined by CR LF. Values from the feed are
// inserted as they are, so markup in a description is rendered.
#pragma once

#include "app/FeedScanner.h"
#include "platform/rtl/Types.h"

// The style rule the channel page gets once it is shown.
inline constexpr char kChannelStyleRule[] =
    "body {font-family:Arial; font-size:12px; background-color:#FFFFFF;}";

// The channel page. The picture cell shows programFolder + "temp.bmp" when the feed
// names an image, and is empty otherwise.
AnsiString ChannelPageText(const AnsiString& title, const AnsiString& description,
                           const AnsiString& feedAddress, const AnsiString& imageAddress,
                           const AnsiString& programFolder);

// The page of one item, with links to the site, the item and the enclosure where
// the feed gives them.
AnsiString ItemPageText(const AnsiString& channelTitle, const AnsiString& channelLink,
                        const TFeedItem& item);

// The caption of an item's tab: the first 11 characters of its date, or of its title
// when it has no date.
AnsiString ItemTabCaption(const TFeedItem& item);
