// TOpenDialog, TSaveDialog and TColorDialog: the components over the platform's calls.
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/rtl/Files.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/Dialogs.h"
#include "platform/win/CommDlg.h"

namespace {

// Option bits in the order of TOpenOption, as OPENFILENAME flags.
constexpr DWORD kOptionFlags[] = {
    OFN_READONLY, OFN_OVERWRITEPROMPT, OFN_HIDEREADONLY, OFN_NOCHANGEDIR, OFN_SHOWHELP,
    OFN_NOVALIDATE, OFN_ALLOWMULTISELECT, OFN_EXTENSIONDIFFERENT, OFN_PATHMUSTEXIST,
    OFN_FILEMUSTEXIST, OFN_CREATEPROMPT, OFN_SHAREAWARE, OFN_NOREADONLYRETURN,
    OFN_NOTESTFILECREATE, OFN_NONETWORKBUTTON, OFN_NOLONGNAMES, 0 /* old style */,
    OFN_NODEREFERENCELINKS, OFN_ENABLEINCLUDENOTIFY, OFN_ENABLESIZING,
};
// Room for many names when several may be chosen.
constexpr size_t kMultiSelectBuffer = 65519;

}  // namespace

TOpenDialog::TOpenDialog(TComponent* owner)
    : TCommonDialog(owner), files_(std::make_unique<TStringList>()) {}

TOpenDialog::~TOpenDialog() = default;

bool TOpenDialog::Execute() { return DoExecute(false); }

bool TSaveDialog::Execute() { return DoExecute(true); }

bool TOpenDialog::DoExecute(bool save) {
  files_->Clear();
  AnsiString filter = filter_;
  for (char& c : filter)
    if (c == '|') c = '\0';
  filter.append(2, '\0');
  // The buffer always holds the starting name whole, however long it is.
  const bool multi = options_.Contains(ofAllowMultiSelect);
  std::vector<char> buffer(std::max<size_t>(multi ? kMultiSelectBuffer : MAX_PATH, fileName_.size() + 1), '\0');
  std::memcpy(buffer.data(), fileName_.c_str(), fileName_.size());

  OPENFILENAME ofn;
  ofn.hwndOwner = Application->GetHandle();
  ofn.lpstrFilter = filter_.empty() ? nullptr : filter.c_str();
  ofn.nFilterIndex = static_cast<DWORD>(filterIndex_);
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrInitialDir = initialDir_.empty() ? nullptr : initialDir_.c_str();
  ofn.lpstrTitle = title_.empty() ? nullptr : title_.c_str();
  ofn.lpstrDefExt = defaultExt_.empty() ? nullptr : defaultExt_.c_str();
  for (size_t i = 0; i < std::size(kOptionFlags); ++i)
    if (options_.Contains(static_cast<TOpenOption>(i))) ofn.Flags |= kOptionFlags[i];
  if (!options_.Contains(ofOldStyleDialog)) ofn.Flags |= OFN_EXPLORER;

  const BOOL chosen = save ? GetSaveFileName(&ofn) : GetOpenFileName(&ofn);
  if (!chosen) return false;
  options_.Exclude(ofReadOnly);
  options_.Exclude(ofExtensionDifferent);
  if (ofn.Flags & OFN_READONLY) options_.Include(ofReadOnly);
  if (ofn.Flags & OFN_EXTENSIONDIFFERENT) options_.Include(ofExtensionDifferent);
  filterIndex_ = static_cast<Integer>(ofn.nFilterIndex);
  // One path, or a folder and names each ended by a zero, the list by another.
  const char* p = buffer.data();
  const AnsiString first = p;
  p += first.size() + 1;
  if (!multi || *p == '\0') {
    fileName_ = first;
    files_->Add(first);
    return true;
  }
  while (*p) {
    const AnsiString name = p;
    p += name.size() + 1;
    files_->Add(name[0] == PathDelim ? name : IncludeTrailingPathDelimiter(first) + name);
  }
  fileName_ = files_->Strings(0);
  return true;
}

TColorDialog::TColorDialog(TComponent* owner)
    : TCommonDialog(owner), customColors_(std::make_unique<TStringList>()) {}

TColorDialog::~TColorDialog() = default;

bool TColorDialog::Execute() {
  // Custom colours: "ColorA" to "ColorP", hexadecimal RRGGBB; missing ones white.
  COLORREF custom[16];
  for (int i = 0; i < 16; ++i) {
    custom[i] = RGB(255, 255, 255);
    const AnsiString value = customColors_->Values(AnsiString("Color") + static_cast<char>('A' + i));
    unsigned rgb = 0;
    if (!value.empty() && std::sscanf(value.c_str(), "%6x", &rgb) == 1)
      custom[i] = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
  }
  CHOOSECOLOR cc;
  cc.hwndOwner = Application->GetHandle();
  cc.rgbResult = ColorToRGB(color_);
  cc.lpCustColors = custom;
  cc.Flags = CC_RGBINIT;
  if (options_.Contains(cdFullOpen)) cc.Flags |= CC_FULLOPEN;
  if (options_.Contains(cdPreventFullOpen)) cc.Flags |= CC_PREVENTFULLOPEN;
  if (options_.Contains(cdSolidColor)) cc.Flags |= CC_SOLIDCOLOR;
  if (options_.Contains(cdAnyColor)) cc.Flags |= CC_ANYCOLOR;
  if (!ChooseColor(&cc)) return false;
  color_ = static_cast<TColor>(cc.rgbResult);
  customColors_->Clear();
  for (int i = 0; i < 16; ++i) {
    char line[32];
    std::snprintf(line, sizeof line, "Color%c=%02X%02X%02X", 'A' + i, GetRValue(custom[i]),
                  GetGValue(custom[i]), GetBValue(custom[i]));
    customColors_->Add(line);
  }
  return true;
}
