// The channel image (loaded once per processed feed, fitted into 300 x 300, written
// as temp.bmp and, for a subscription, as its image file), the thumbnails, and
// subscribing a new feed with its balloon over the tray icon.
#include "app/Main.h"

#include "desktop/TrayIcon.h"
#include "image/views/dadirav.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Strings.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/ImageList.h"
#include "platform/vcl/Menus.h"
#include "platform/vcl/Timer.h"

bool TMn::LoadChannelImage(const AnsiString& address) {
  // The load marks the bitmap modified exactly when it succeeded.
  im300x300->GetFBitmap()->SetModified(false);
  im300x300->LoadFromURL(address);
  const bool loaded = im300x300->GetFBitmap()->GetModified() && !im300x300->GetAborting();
  if (!loaded) im300x300->Assign(imIcon->GetPicture()->GetBitmap());

  // Fitted into 300 x 300, never enlarged.
  TBitmap* image = im300x300->GetFBitmap();
  if (image->GetWidth() >= image->GetHeight() && image->GetWidth() > kChannelImageEdge)
    im300x300->Resample(kChannelImageEdge, -1, rfFastLinear);
  image = im300x300->GetFBitmap();
  if (image->GetWidth() < image->GetHeight() && image->GetHeight() > kChannelImageEdge)
    im300x300->Resample(-1, kChannelImageEdge, rfFastLinear);
  im300x300->SaveToFile(ProgramFolder() + kChannelImageFile);
  return loaded;
}

void TMn::DrawThumbnail() {
  const Integer edge = 50 + 25 * ThumbnailSizeIndex();
  TBitmap* image = im300x300->GetFBitmap();
  if (image->GetWidth() >= image->GetHeight()) im300x300->Resample(edge, -1, rfFastLinear);
  image = im300x300->GetFBitmap();
  if (image->GetWidth() < image->GetHeight()) im300x300->Resample(-1, edge, rfFastLinear);
  image = im300x300->GetFBitmap();

  TBitmap* thumbnail = im100x100->GetFBitmap();
  if (thumbnail->GetWidth() != edge || thumbnail->GetHeight() != edge) {
    thumbnail->SetSize(edge, edge);
    im100x100->Update();
  }
  im100x100->SetBackGround(0xFFFFFF);
  im100x100->Clear();
  thumbnail = im100x100->GetFBitmap();
  thumbnail->GetCanvas()->Draw((edge - image->GetWidth()) / 2, (edge - image->GetHeight()) / 2, image);
  im100x100->Update();
}

Integer TMn::SubscribeFeed(const AnsiString& address, const AnsiString& title, bool loaded) {
  TrayIcon->ShowBalloonHint(
      title, "You have subscribed to " + title + ". You can now close the browser window.",
      bitInfo, 0);
  tmBalloonHint->SetInterval(10000);
  tmBalloonHint->SetEnabled(true);

  if (loaded) im300x300->SaveToFile(ImageFileName(ImageList->GetCount() + 1));
  DrawThumbnail();

  miSubscriptions->SetEnabled(false);
  const Integer position = ImageList->Add(im100x100->GetFBitmap(), nullptr);
  TListItem* item = lvSubscriptions->GetItems()->Add();
  item->SetImageIndex(position);
  item->SetCaption(title);
  FeedUrls->Add(address);
  try {
    SaveSubscriptions();
  } catch (...) {
    miSubscriptions->SetEnabled(true);
    throw;
  }
  miSubscriptions->SetEnabled(true);
  return position;
}

void TMn::RefreshChannelImage(Integer i, bool loaded) {
  const AnsiString file = ImageFileName(i + 1);
  if (!loaded || FileExists(file)) return;
  im300x300->SaveToFile(file);
  DrawThumbnail();
  if (i < ImageList->GetCount()) ImageList->Replace(i, im100x100->GetFBitmap(), nullptr);
  // The fitted channel image again, for the player picture.
  im300x300->LoadFromFile(file);
}
