// The channel page and the item pages, and the tabs that show them.
#include "app/Main.h"

#include "app/FeedPages.h"
#include "html/ProfDHTMLEdit.h"
#include "image/views/dadirav.h"
#include "platform/rtl/CodePage.h"
#include "platform/rtl/Files.h"
#include "platform/vcl/ComCtrls.h"

void TMn::ShowPage(int page, const AnsiString& source, const AnsiString& style) {
  // The page's source is set first and its style rule added after it, so the rule
  // belongs to the page shown.
  PageSource[page] = source;
  PageStyle[page] = style;
  if (TProfDHTMLEdit* html = PageControl(page)) {
    html->SetSource(AnsiToWide(source));
    if (!style.empty()) html->AddCSS(AnsiToWide(style));
  }
}

void TMn::BuildChannelPage(const AnsiString& title, const AnsiString& description,
                           const AnsiString& feedAddress, const AnsiString& imageAddress,
                           bool show) {
  const AnsiString page =
      ChannelPageText(title, description, feedAddress, imageAddress, ProgramFolder());
  if (show) ShowPage(kShowFilePage, page, kChannelStyleRule);
}

void TMn::ShowItemPage(int k, const AnsiString& channelTitle, const AnsiString& channelLink,
                       const TFeedItem& item, bool show) {
  if (k < 0 || k >= kItemTabs) return;
  const AnsiString page = ItemPageText(channelTitle, channelLink, item);
  if (!show) return;
  // The player picture is the channel image from the first item on, on the colour
  // of the image's bottom-left pixel.
  if (imPlayer->GetIsEmpty()) {
    TBitmap* image = im300x300->GetFBitmap();
    imPlayer->SetBackGround(image->GetCanvas()->GetPixel(0, image->GetHeight() - 1));
    imPlayer->Assign(image);
  }
  EnclosureUrls[k] = item.Enclosure;
  tsItem[k]->SetCaption(ItemTabCaption(item));
  ShowPage(k, page);
  for (int t = 0; t < kItemTabs; ++t) tsItem[t]->SetTabVisible(t <= k);
  tsShowFile->SetTabVisible(true);
}
