// The scan of a downloaded feed and what follows from it: the channel page, the
// subscription of a new address, the item pages.
#include "app/Main.h"

#include "platform/rtl/Lists.h"
#include "platform/vcl/ComCtrls.h"

Integer TMn::ProcessFeed(const AnsiString& address, const AnsiString& text, bool show) {
  TFeedChannel channel;
  if (!ScanFeed(text, channel)) return -1;

  // The channel image (loaded, fitted, written as temp.bmp and as the subscription's
  // image file) joins here and in SubscribeFeed once the image views are on the form.
  SetProgress(70);
  BuildChannelPage(channel.Title, channel.Description, address, channel.ImageUrl, show);

  SetProgress(80);
  Integer result = FeedUrls->IndexOf(address);
  if (result == -1) result = SubscribeFeed(address, channel.Title);

  SetProgress(90);
  for (size_t k = 0; k < channel.Items.size(); ++k)
    ShowItemPage(static_cast<int>(k), channel.Title, channel.Link, channel.Items[k], show);

  if (show) pcItems->SetActivePage(tsLatestItem);
  SetProgress(100);
  return result;
}
