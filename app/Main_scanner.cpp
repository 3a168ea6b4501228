// The scan of a downloaded feed and what follows from it: the channel image and
// page, the subscription of a new address, the item pages and the latest item's
// enclosure.
#include "app/Main.h"

#include "image/views/dadirav.h"
#include "platform/rtl/Lists.h"
#include "platform/vcl/ComCtrls.h"

Integer TMn::ProcessFeed(const AnsiString& address, const AnsiString& text, bool show) {
  TFeedChannel channel;
  if (!ScanFeed(text, channel)) return -1;

  SetProgress(70);
  const bool loaded = LoadChannelImage(channel.ImageUrl);
  BuildChannelPage(channel.Title, channel.Description, address, channel.ImageUrl, show);

  SetProgress(80);
  Integer result = FeedUrls->IndexOf(address);
  if (result == -1)
    result = SubscribeFeed(address, channel.Title, loaded);
  else if (loaded)
    RefreshChannelImage(result, loaded);

  SetProgress(90);
  if (show) imPlayer->Blank();
  for (size_t k = 0; k < channel.Items.size(); ++k)
    ShowItemPage(static_cast<int>(k), channel.Title, channel.Link, channel.Items[k], show);

  if (show) {
    pcItems->SetActivePage(tsLatestItem);
    pcItemsChange(pcItems);
  }
  SetProgress(100);
  return result;
}
