// Enclosure playback: the player chosen by the enclosure's extension for the item tab
// selected, and the ID3v2 tag read from the head of an MP3 enclosure (the encoder in
// the player picture's menu, the cover in the player picture).
#include "app/Main.h"

#include <cstdio>

#include "image/proc/dadiravproc_basic.h"
#include "image/views/dadirav.h"
#include "net/HttpProt.h"
#include "platform/media/MediaPlayers.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Strings.h"
#include "platform/vcl/ComCtrls.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Menus.h"

namespace {

// The extension of an address in lower case without its dot: the text after the last
// dot, unless a colon or a backslash follows it (a slash does not end the search).
AnsiString EnclosureExtension(const AnsiString& url) {
  for (size_t i = url.size(); i-- > 0;) {
    const char c = url[i];
    if (c == ':' || c == '\\') return {};
    if (c == '.') return LowerCase(url.substr(i + 1));
  }
  return {};
}

void ShowPlayerPanel(TPanel* players, Integer width, TPanel* shown, TPanel* hidden1, TPanel* hidden2) {
  players->SetWidth(width);
  players->SetVisible(true);
  hidden1->SetVisible(false);
  hidden2->SetVisible(false);
  shown->SetVisible(true);
}

}  // namespace

void TMn::SetPlayerUrl(TWindowsMediaPlayer* player, const AnsiString& url) {
  if (player) player->SetURL(url);
}

void TMn::FreeQtPlayer() {
  delete QtPlayer;
  QtPlayer = nullptr;
}

void TMn::pcItemsChange(TObject*) {
  const Integer p = pcItems->GetActivePageIndex();
  AnsiString u;
  AnsiString x;
  if (p >= 0 && p < kItemTabs) {
    u = EnclosureUrls[p];
    x = EnclosureExtension(u);
  }

  if (u.empty()) {
    SetPlayerUrl(Wmp, "");
    SetPlayerUrl(WmpVideo, "");
    FreeQtPlayer();
    pnlPlayers->SetVisible(false);
  } else if (x == "mp3") {
    SetPlayerUrl(WmpVideo, "");
    FreeQtPlayer();
    ShowPlayerPanel(pnlPlayers, pnlWmp->GetWidth() + 4, pnlWmp, pnlQt, pnlWmpVideo);
    SetPlayerUrl(Wmp, u);
    httpDownload->Abort();
    httpDownload->SetURL(u);
    httpDownload->GetASync();
  } else if (x == "wmv") {
    if (QtPlayer) QtPlayer->Stop();
    SetPlayerUrl(Wmp, "");
    ShowPlayerPanel(pnlPlayers, 324, pnlWmpVideo, pnlQt, pnlWmp);
    SetPlayerUrl(WmpVideo, u);
  } else if (x == "m4a" || x == "m4v" || x == "mov") {
    if (!QtPlayer) {
      try {
        QtPlayer = new TQTControl(pnlQt);
      } catch (const EMediaError&) {
        QtPlayer = nullptr;
      }
    }
    if (QtPlayer) {
      QtPlayer->SetVisible(false);
      QtPlayer->SetParent(pnlQt);
      QtPlayer->SetControllerVisible(false);
      QtPlayer->SetBounds(0, 0, 350, 324);
      QtPlayer->SetVisible(true);
    } else {
      ShowMessage("Cannot play this file: QuickTime 7 not (properly) installed.");
    }
    SetPlayerUrl(Wmp, "");
    SetPlayerUrl(WmpVideo, "");
    ShowPlayerPanel(pnlPlayers, 326, pnlQt, pnlWmp, pnlWmpVideo);
    if (QtPlayer) {
      QtPlayer->Stop();
      QtPlayer->SetURL(u);
      QtPlayer->Play();
      const TRGB rgb = TColor2TRGB(pnlQt->GetColor());
      char color[8];
      std::snprintf(color, sizeof color, "#%02X%02X%02X", rgb.r, rgb.g, rgb.b);
      QtPlayer->SetBgColor(color);
    }
  } else {
    SetPlayerUrl(Wmp, "");
    SetPlayerUrl(WmpVideo, "");
    FreeQtPlayer();
  }
}

void TMn::PausePlayers() {
  if (Wmp) Wmp->Getcontrols()->pause();
  if (WmpVideo) WmpVideo->Getcontrols()->pause();
  if (QtPlayer) QtPlayer->Stop();
}

void TMn::StopPlayers() {
  if (Wmp) Wmp->Getcontrols()->stop();
  if (WmpVideo) WmpVideo->Getcontrols()->stop();
  if (QtPlayer) QtPlayer->Stop();
}

void TMn::httpDownloadDocBegin(TObject*) { EncodedBy1->SetCaption(Id3.DocBegin()); }

void TMn::httpDownloadDocData(TObject*, const void* buffer, Integer len) {
  if (!Id3.ReadingId3 || len <= 0) return;
  TId3ChunkResult result = Id3.DocData(static_cast<const BYTE*>(buffer), len);
  if (result.AbortDownload) httpDownload->Abort();
  if (result.HasPicture) {
    // The cover goes through a file so that its format is told by its extension.
    const AnsiString file = ProgramFolder() + kId3PictureFile;
    if (FILE* out = std::fopen(file.c_str(), "wb")) {
      const bool written = std::fwrite(result.Picture.data(), 1, result.Picture.size(), out) ==
                           result.Picture.size();
      if (std::fclose(out) == 0 && written) imPlayer->LoadFromFile(file);
    }
  }
  if (result.CaptionChanged) EncodedBy1->SetCaption(result.Caption);
}
