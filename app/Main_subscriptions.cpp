// The subscription list: its four parallel stores (FeedUrls, the list items, the
// image list, the ini keys with the image files feedN.bmp), loading, saving with a
// backup, opening and unsubscribing.
#include "app/Main.h"

#include "net/HttpProt.h"
#include "image/views/dadirav.h"
#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/IniFile.h"
#include "platform/rtl/Lists.h"
#include "platform/rtl/Strings.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/ImageList.h"
#include "platform/vcl/Menus.h"
#include "platform/win/MessageBox.h"

namespace {

constexpr char kSection[] = "Subscriptions";

// A line break or other control character in a value would end or break its ini
// line; each becomes a blank.
AnsiString IniValue(AnsiString value) {
  for (char& c : value)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return value;
}

}  // namespace

Integer TMn::ThumbnailSizeIndex() const {
  if (miSize50->GetChecked()) return 0;
  if (miSize75->GetChecked()) return 1;
  return 2;
}

void TMn::LoadSubscriptions() {
  const Integer edge = 50 + 25 * ThumbnailSizeIndex();
  ImageList->Clear();
  ImageList->SetWidth(edge);
  ImageList->SetHeight(edge);
  lvSubscriptions->GetItems()->Clear();
  FeedUrls->Clear();
  im100x100->GetFBitmap()->SetSize(edge, edge);
  im100x100->Update();

  TIniFile ini(IniFileName());
  bool renumbered = false;
  for (Integer n = 1; n <= kMaxStoredFeeds; ++n) {
    const AnsiString address = ini.ReadString(kSection, "Feed" + IntToStr(n), "");
    if (address.empty()) continue;
    const Integer position = FeedUrls->GetCount();
    // After a gap in the keys, the entry's image file moves to the number of its
    // position, where every later step looks for it; what stood there belonged to
    // no entry.
    if (position != n - 1) {
      DeleteFile(ImageFileName(position + 1));
      RenameFile(ImageFileName(n), ImageFileName(position + 1));
      renumbered = true;
    }
    FeedUrls->Add(address);
    // The entry's image file, or the program picture when it has none.
    const AnsiString image = ImageFileName(position + 1);
    if (FileExists(image))
      im300x300->LoadFromFile(image);
    else
      im300x300->Assign(imIcon->GetPicture()->GetBitmap());
    DrawThumbnail();
    ImageList->Add(im100x100->GetFBitmap(), nullptr);
    TListItem* item = lvSubscriptions->GetItems()->Add();
    item->SetCaption(ini.ReadString(kSection, "Title" + IntToStr(n), ""));
    item->SetImageIndex(position);
  }
  // Keys and files numbered 1..count again.
  if (renumbered) SaveSubscriptions();
}

void TMn::SaveSubscriptions() {
  const AnsiString name = IniFileName();
  const AnsiString backup = ChangeFileExt(name, ".~ini");
  DeleteFile(backup);
  RenameFile(name, backup);
  try {
    TIniFile ini(name);
    TListItems* items = lvSubscriptions->GetItems();
    for (Integer i = 0; i < FeedUrls->GetCount(); ++i) {
      ini.WriteString(kSection, "Feed" + IntToStr(i + 1), IniValue(FeedUrls->Strings(i)));
      const AnsiString title = i < items->GetCount() ? items->GetItem(i)->GetCaption() : AnsiString();
      ini.WriteString(kSection, "Title" + IntToStr(i + 1), IniValue(title));
    }
    // The size chosen is kept with the subscriptions, so an end without the
    // program's own shutdown keeps it too.
    ini.WriteInteger(kSection, "ThumbnailSize", ThumbnailSizeIndex());
  } catch (const Exception&) {
    // A rewrite that could not finish leaves the previous file in place, not a part
    // of the new one.
    DeleteFile(name);
    CopyFile(backup.c_str(), name.c_str(), FALSE);
    throw;
  }
}

void TMn::lvSubscriptionsClick(TObject*) {
  const TListItem* item = lvSubscriptions->GetSelected();
  if (!item) return;
  const Integer index = item->GetIndex();
  if (index < FeedUrls->GetCount()) FetchFeed(kFetchShow, FeedUrls->Strings(index));
}

void TMn::lvSubscriptionsKeyPress(TObject* sender, char& key) {
  if (key == '\r') lvSubscriptionsClick(sender);
}

void TMn::pmiUnsubscribeClick(TObject*) {
  TListItem* item = lvSubscriptions->GetSelected();
  if (!item) return;
  const AnsiString text = "Unsubscribe from " + item->GetCaption() + "?";
  if (Application->MessageBox(text.c_str(), "Unsubscribe?", MB_YESNO) != IDYES) return;
  httpFeed->Abort();
  miSubscriptions->SetEnabled(false);
  // The abort may have ended a download whose scan changed the list: ask again.
  item = lvSubscriptions->GetSelected();
  if (item) {
    const Integer i = item->GetIndex();
    if (i < FeedUrls->GetCount()) FeedUrls->Delete(i);
    item->Delete();
    if (i < ImageList->GetCount()) ImageList->Delete(i);

    DeleteFile(ImageFileName(i + 1));
    TListItems* items = lvSubscriptions->GetItems();
    for (Integer j = i; j < FeedUrls->GetCount(); ++j) {
      if (j < items->GetCount()) items->GetItem(j)->SetImageIndex(j);
      DeleteFile(ImageFileName(j + 1));
      RenameFile(ImageFileName(j + 2), ImageFileName(j + 1));
    }
    lvSubscriptions->Arrange(arDefault);
    SaveSubscriptions();
  }
  miSubscriptions->SetEnabled(true);
}

void TMn::miSubscriptionsClick(TObject*) {
  miUnsubscribe->SetEnabled(lvSubscriptions->GetSelected() != nullptr);
}

void TMn::pmSubscriptionsPopup(TObject*) {
  pmiUnsubscribe->SetEnabled(lvSubscriptions->GetSelected() != nullptr);
}

void TMn::miSubscriptionsSizeThumbnailsClick(TObject* sender) {
  auto* item = dynamic_cast<TMenuItem*>(sender);
  if (!item) return;
  // A click on the item already checked leaves none of the three checked (100 x 100).
  const bool check = !item->GetChecked();
  item->SetChecked(check);
  LoadSubscriptions();
  lvSubscriptions->Arrange(arDefault);
}
