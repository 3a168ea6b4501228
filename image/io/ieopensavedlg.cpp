// The picture open and save dialogs.
#include "image/io/ieopensavedlg.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "image/io/iopreviews.h"
#include "image/model/ieutils.h"
#include "platform/rtl/Files.h"
#include "platform/rtl/Strings.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/Forms.h"
#include "platform/win/Gdi.h"
#include "platform/win/Window.h"

#pragma push_macro("None")
#undef None

namespace {

// The module the picture dialogs' templates are registered under.
constexpr HINSTANCE kIEModule = 0x1E0;

// The file dialog's buffer: a path of the platform's length, or many names.
constexpr size_t kFileBuffer = 260;
constexpr size_t kMultiFileBuffer = 65519;

// The file dialog's flags of each TOpenOption, in the enumeration's order.
constexpr DWORD kOptionFlags[] = {
    OFN_READONLY,         OFN_OVERWRITEPROMPT,   OFN_HIDEREADONLY,      OFN_NOCHANGEDIR,
    OFN_SHOWHELP,         OFN_NOVALIDATE,        OFN_ALLOWMULTISELECT,  OFN_EXTENSIONDIFFERENT,
    OFN_PATHMUSTEXIST,    OFN_FILEMUSTEXIST,     OFN_CREATEPROMPT,      OFN_SHAREAWARE,
    OFN_NOREADONLYRETURN, OFN_NOTESTFILECREATE,  OFN_NONETWORKBUTTON,   OFN_NOLONGNAMES,
    OFN_EXPLORER,         OFN_NODEREFERENCELINKS, OFN_ENABLEINCLUDENOTIFY, OFN_ENABLESIZING};

// The component whose dialog is being created: the hooks hand it the window.
thread_local TIECommonDialog* gCreationControl = nullptr;

void RegisterTemplates() {
  static const bool done = [] {
    DialogTemplate withPreview;
    withPreview.Style = 0x54000440;
    withPreview.Cx = 382;
    withPreview.Cy = 181;
    withPreview.Items = {{"STATIC", "", kIEPlaceholderId, 0x50020000, 2, 4, 278, 145}};
    RegisterDialogTemplate(kIEModule, kIETemplateName, withPreview);
    DialogTemplate without;
    without.Style = 0x54000440;
    without.Cx = 288;
    without.Cy = 171;
    without.Items = {{"STATIC", "", kIEPlaceholderId, 0x50020000, 10, 4, 270, 145}};
    RegisterDialogTemplate(kIEModule, kIETemplateName1, without);
    return true;
  }();
  (void)done;
}

AnsiString W(TMsgLanguageWords word, TMsgLanguage language) { return iemsg(word, language); }

// "12 Kb" above 1023 bytes, else "12 bytes".
AnsiString SizeText(Int64 bytes) {
  return bytes > 1023 ? IntToStr(bytes / 1024) + " Kb" : IntToStr(bytes) + " bytes";
}

// The extension a pattern names: from its first "." up to its first ";" or its end.
AnsiString PatternExtension(const AnsiString& pattern) {
  const size_t dot = pattern.find('.');
  if (dot == AnsiString::npos) return {};
  const size_t end = pattern.find(';', dot);
  return pattern.substr(dot, end == AnsiString::npos ? AnsiString::npos : end - dot);
}

}  // namespace

bool IEExtensionPage(const AnsiString& extension, TPreviewParamsItems& page) {
  AnsiString ext = LowerCase(extension);
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  auto in = [&ext](std::initializer_list<const char*> list) {
    for (const char* e : list)
      if (ext == e) return true;
    return false;
  };
  IEUpdateGIFStatus();
  const PIEFileFormatInfo gif = IEFileFormatGetInfo(iofnGIF);
  if (in({"jpg", "jpeg", "jpe"})) page = ppJPEG;
  else if (in({"jp2", "j2k", "jpc", "j2c"})) page = ppJ2000;
  else if (in({"tif", "tiff", "fax", "g3f", "g3n"})) page = ppTIFF;
  else if (ext == "gif" && gif != nullptr && gif->WriteFunction != nullptr) page = ppGIF;
  else if (in({"bmp", "dib", "rle"})) page = ppBMP;
  else if (ext == "pcx") page = ppPCX;
  else if (ext == "png") page = ppPNG;
  else if (in({"tga", "targa", "vda", "icb", "vst", "win"})) page = ppTGA;
  else return false;
  return true;
}

AnsiString IEReplaceExtension(const AnsiString& name, const AnsiString& pattern) {
  const AnsiString ext = PatternExtension(pattern);
  if (ext.empty() || ext.find_first_of("*?") != AnsiString::npos) return name;
  // Only the last extension goes: "trip.2009.jpg" becomes "trip.2009.tif".
  const AnsiString current = ExtractFileExt(name);
  return name.substr(0, name.size() - current.size()) + ext;
}

// ---------------------------------------------------------------------------
// TIECommonDialog

TIECommonDialog::TIECommonDialog(TComponent* owner) : TComponent(owner) {
  RegisterTemplates();
  helper_ = AllocateHWnd([this](TMessage& m) {
    const auto window = static_cast<HWND>(m.WParam);
    if (m.Msg == WM_USER && ::IsWindow(window)) Centre(window);
  });
}

TIECommonDialog::~TIECommonDialog() {
  if (gCreationControl == this) gCreationControl = nullptr;
  DeallocateHWnd(helper_);
}

void TIECommonDialog::CentreWhenShown(HWND window) {
  Centre(window);
  ::PostMessage(helper_, WM_USER, static_cast<WPARAM>(window), 0);
}

HWND TIECommonDialog::GetDialogWindow() const noexcept {
  if (handle_ == 0) return 0;
  return oldStyle_ ? handle_ : ::GetParent(handle_);
}

void TIECommonDialog::Centre(HWND window) {
  RECT r;
  ::GetWindowRect(window, &r);
  const Integer w = r.right - r.left, h = r.bottom - r.top;
  const Integer x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
  const Integer y = (GetSystemMetrics(SM_CYSCREEN) - h) / 3;
  ::SetWindowPos(window, 0, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TIECommonDialog::TakeWindow(HWND window) {
  handle_ = window;
  TMessage m{WM_INITDIALOG, 0, 0, 0};
  WndProc(m);
}

UINT_PTR TIECommonDialog::OldStyleHook(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  TIECommonDialog* self = gCreationControl;
  if (self == nullptr) return 0;
  if (msg == WM_INITDIALOG && self->handle_ == 0) {
    self->CentreWhenShown(dialog);
    self->oldStyle_ = true;
    self->TakeWindow(dialog);
    return 0;
  }
  TMessage m{msg, wParam, lParam, 0};
  self->WndProc(m);
  return 0;
}

UINT_PTR TIECommonDialog::ExplorerHook(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
  TIECommonDialog* self = gCreationControl;
  if (self == nullptr) return 0;
  if (msg == WM_INITDIALOG) {
    self->oldStyle_ = false;
    self->handle_ = dialog;
    return 0;
  }
  if (msg == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == CDN_INITDONE)
    self->CentreWhenShown(::GetParent(dialog));
  TMessage m{msg, wParam, lParam, 0};
  self->WndProc(m);
  // A refusal of CDN_FILEOK goes back as the notification's result.
  if (msg == WM_NOTIFY && m.Result != 0) ::SetWindowLongPtr(dialog, DWL_MSGRESULT, m.Result);
  return m.Result != 0 ? 1 : 0;
}

void TIECommonDialog::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_INITDIALOG: DoShow(); break;
    case WM_DESTROY: DoClose(); break;
    default: break;
  }
}

void TIECommonDialog::DoClose() {
  if (OnClose) OnClose(this);
}

void TIECommonDialog::DoShow() {
  if (OnShow) OnShow(this);
}

bool TIECommonDialog::MessageHook(TMessage& message) {
  if (HelpContext == 0 || message.Msg != RegisterWindowMessage(HELPMSGSTRING)) return false;
  Application->HelpContext(HelpContext);
  return true;
}

BOOL TIECommonDialog::TaskModalDialog(bool save, OPENFILENAME& ofn) {
  TIECommonDialog* previous = gCreationControl;
  gCreationControl = this;
  handle_ = 0;
  const int hook = Application->HookMainWindow([this](TMessage& message) { return MessageHook(message); });
  const auto restore = [&] {
    Application->UnhookMainWindow(hook);
    gCreationControl = previous;
    handle_ = 0;
  };
  BOOL result = FALSE;
  try {
    result = save ? GetSaveFileName(&ofn) : GetOpenFileName(&ofn);
  } catch (...) {
    restore();
    throw;
  }
  restore();
  return result;
}

// ---------------------------------------------------------------------------
// TOpenDadirAvDialog: construction

TOpenDadirAvDialog::TOpenDadirAvDialog(TComponent* owner)
    : TIECommonDialog(owner), Files(std::make_unique<TStringList>()), HistoryList(std::make_unique<TStringList>()) {
  IEUpdateGIFStatus();
  BuildStrFilter(Filter);

  PicturePanel = new TPanel(this);
  PicturePanel->SetBounds(204, 5, 169, 200);
  PicturePanel->SetBevelOuter(bvNone);
  PicturePanel->SetBorderWidth(6);
  PicturePanel->SetCaption("");
  InfoPanel = new TPanel(this);
  InfoPanel->SetBounds(204, 5, 169, 200);
  InfoPanel->SetBevelOuter(bvNone);
  InfoPanel->SetBorderWidth(6);
  InfoPanel->SetCaption("");
  auto label = [this](TWinControl* parent, Integer x, Integer y) {
    auto* l = new TLabel(this);
    l->SetParent(parent);
    l->SetBounds(x, y, 157, 23);
    l->SetAutoSize(true);
    l->SetCaption("");
    return l;
  };
  InfoLabel1 = label(InfoPanel, 6, 6);
  InfoLabel2 = label(InfoPanel, 6, 29);
  AdvancedButton = new TButton(this);
  AdvancedButton->SetParent(InfoPanel);
  AdvancedButton->SetBounds(474, 0, 75, 23);
  AdvancedButton->SetVisible(false);
  PreviewCheck = new TCheckBox(this);
  PreviewCheck->SetParent(InfoPanel);
  PreviewCheck->SetBounds(195, 24, 80, 23);
  PreviewCheck->SetChecked(true);
  PreviewCheck->SetVisible(false);
  PreviewCheck->OnClick = [this](TObject*) {
    if (PreviewCheck->GetChecked()) {
      DoSelectionChange();
    } else {
      ShowIOParams(nullptr);
      DadirAvView->Blank();
      DadirAvView->SetZoom(100);
      DadirAvMView->Clear();
      PreviewButton->SetEnabled(false);
      ZoomCombo->SetEnabled(false);
    }
  };

  ZoomCombo = new TComboBox(this);
  ZoomCombo->SetParent(PicturePanel);
  ZoomCombo->SetBounds(6, 5, 50, 21);
  ZoomCombo->SetStyle(csDropDownList);
  ZoomCombo->SetHint("Zoom");
  ZoomCombo->OnChange = [this](TObject*) { SetZoom(); };
  PreviewButton = new TSpeedButton(this);
  PreviewButton->SetParent(PicturePanel);
  PreviewButton->SetBounds(60, 5, 23, 22);
  PreviewButton->SetFlat(true);
  PreviewButton->SetEnabled(false);
  PreviewButton->SetCaption("[]");
  PreviewButton->OnClick = [this](TObject*) { ShowFullPreview(); };
  PlayButton = new TSpeedButton(this);
  PlayButton->SetParent(PicturePanel);
  PlayButton->SetBounds(85, 5, 23, 22);
  PlayButton->SetFlat(true);
  PlayButton->SetEnabled(false);
  PlayButton->SetGroupIndex(1);
  PlayButton->SetAllowAllUp(true);
  PlayButton->SetCaption(">");
  PlayButton->OnClick = [this](TObject*) {
    const bool down = PlayButton->GetDown();
    DadirAvMView->SetPlaying(down);
    PreviewButton->SetEnabled(!down);
    ZoomCombo->SetEnabled(!down);
  };
  DadirAvView = new TDadirAvView(this);
  DadirAvView->SetParent(PicturePanel);
  DadirAvView->SetBounds(6, 36, 133, 139);
  DadirAvView->SetMouseInteract(TIEMouseInteract{miScroll});
  DadirAvView->SetBackGround(clWhite);
  DadirAvView->SetCenter(true);
  DadirAvView->SetZoomFilter(rfFastLinear);
  DadirAvView->OnDblClick = [this](TObject*) { ShowFullPreview(); };
  DadirAvMView = new TDadirAvMView(this);
  DadirAvMView->SetParent(PicturePanel);
  DadirAvMView->SetBounds(6, 36, 133, 139);
  DadirAvMView->SetThumbWidth(100);
  DadirAvMView->SetThumbHeight(109);
  DadirAvMView->SetMouseInteract(TIEMMouseInteract{mmiScroll, mmiSelect});
  DadirAvMView->SetKeyInteract(TIEMKeyInteract{mkiMoveSelected});
  DadirAvMView->SetScrollBars(TScrollStyle::ssHorizontal);
  DadirAvMView->SetBackGround(clWhite);
  DadirAvMView->SetVisible(false);
  DadirAvMView->OnImageSelect = [this](TObject*, Integer idx) { ShowIOParams(mio_->GetParams(idx)); };
  PicLabel1 = label(PicturePanel, 6, 180);
  PicLabel2 = label(PicturePanel, 6, 203);
  PicLabel3 = label(PicturePanel, 6, 226);
  ProgressBar = new TProgressBar(this);
  ProgressBar->SetParent(PicturePanel);
  ProgressBar->SetBounds(0, 55, 127, 19);
  ProgressBar->SetRange(0, 100);
  ProgressBar->SetVisible(false);

  io_ = new TDadirAvIO(this);
  io_->SetAttachedDadirAv(DadirAvView);
  io_->OnProgress = [this](TObject*, Integer per) { ProgressBar->SetPosition(per); };
  mio_ = new TDadirAvMIO(this);
  mio_->SetAttachedMView(DadirAvMView);
  mio_->OnProgress = [this](TObject*, Integer per) { ProgressBar->SetPosition(per); };
  SetLang();
}

TOpenDadirAvDialog::~TOpenDadirAvDialog() {
  // The preview controls may sit in a dialog window that is gone.
  PicturePanel->SetParentWindow(0);
  InfoPanel->SetParentWindow(0);
}

TResampleFilter TOpenDadirAvDialog::GetZoomFilter() const { return DadirAvView->GetZoomFilter(); }
void TOpenDadirAvDialog::SetZoomFilter(TResampleFilter filter) { DadirAvView->SetZoomFilter(filter); }

void TOpenDadirAvDialog::SetLang() {
  PreviewButton->SetHint(W(IEMSG_PREVIEW, MsgLanguage));
  PreviewCheck->SetCaption(W(IEMSG_PREVIEW, MsgLanguage));
  AdvancedButton->SetCaption(W(IEMSG_ADVANCED, MsgLanguage) + "...");
  PlayButton->SetHint(W(IEMSG_ANIMATE, MsgLanguage));
}

void TOpenDadirAvDialog::BuildStrFilter(AnsiString& filter, bool saving) {
  IEUpdateGIFStatus();
  AnsiString all, entries;
  const Integer count = IEFileFormatCount();
  for (Integer i = 0; i < count; ++i) {
    const PIEFileFormatInfo info = IEFileFormatGetByIndex(i);
    if (info == nullptr || (saving ? info->WriteFunction == nullptr : info->ReadFunction == nullptr)) continue;
    AnsiString patterns, upper;
    size_t start = 0;
    const AnsiString& exts = info->Extensions;
    while (start <= exts.size()) {
      size_t end = exts.find(';', start);
      if (end == AnsiString::npos) end = exts.size();
      const AnsiString ext = Trim(exts.substr(start, end - start));
      if (!ext.empty()) {
        patterns += (patterns.empty() ? "" : ";") + ("*." + LowerCase(ext));
        upper += (upper.empty() ? "" : ";") + UpperCase(ext);
      }
      start = end + 1;
    }
    entries += "|" + info->FullName + " (" + upper + ")|" + patterns;
    all += patterns;
    if (i != count - 1) all += ";";
  }
  if (!all.empty() && all.back() == ';') all.pop_back();
  if (ShowAVIFilter && !saving) {
    all += ";*.avi";
    entries += "|Video for Windows (AVI)|*.avi";
  }
  const AnsiString extended = Trim(ExtendedFilters);
  if (!extended.empty()) {
    entries += "|" + extended;
    // The patterns are every second field.
    AnsiString patterns;
    size_t start = 0;
    Integer field = 0;
    while (start <= extended.size()) {
      size_t end = extended.find('|', start);
      if (end == AnsiString::npos) end = extended.size();
      if (field % 2 == 1) patterns += (patterns.empty() ? "" : ";") + Trim(extended.substr(start, end - start));
      ++field;
      start = end + 1;
    }
    if (!patterns.empty()) all += ";" + Trim(patterns);
  }
  filter = saving ? entries.substr(entries.empty() ? 0 : 1) : "All graphics|" + all + entries;
}

// ---------------------------------------------------------------------------
// Properties while shown

AnsiString TOpenDadirAvDialog::GetFileName() {
  const HWND dialog = GetDialogWindow();
  if (dialog != 0 && !OldStyle()) {
    char buffer[kFileBuffer + 1] = {};
    if (::SendMessage(dialog, CDM_GETFILEPATH, sizeof buffer, reinterpret_cast<LPARAM>(buffer)) > 0)
      return buffer;
    return {};
  }
  return FileName;
}

AnsiString TOpenDadirAvDialog::GetFileName2() {
  const HWND dialog = GetDialogWindow();
  if (dialog != 0 && !OldStyle()) {
    char buffer[kFileBuffer + 1] = {};
    if (::SendMessage(dialog, CDM_GETSPEC, sizeof buffer, reinterpret_cast<LPARAM>(buffer)) > 0) return buffer;
    return {};
  }
  return FileName;
}

Integer TOpenDadirAvDialog::GetFilterIndex() const { return GetHandle() != 0 ? currentFilterIndex_ : FilterIndex; }

void TOpenDadirAvDialog::SetInitialDir(const AnsiString& dir) {
  AnsiString value = dir;
  // A trailing delimiter goes, except after a colon or as the whole text.
  if (value.size() > 1 && (value.back() == '/' || value.back() == '\\') && value[value.size() - 2] != ':')
    value.pop_back();
  initialDir_ = value;
}

TRect TOpenDadirAvDialog::GetStaticRect() {
  const HWND handle = GetHandle();
  if (handle == 0) return TRect{0, 0, 0, 0};
  RECT r{};
  if (OldStyle()) {
    ::GetClientRect(handle, &r);
  } else {
    const HWND placeholder = GetDlgItem(handle, kIEPlaceholderId);
    if (placeholder == 0) return TRect{0, 0, 0, 0};
    ::GetWindowRect(placeholder, &r);
    ::MapWindowPoints(0, handle, reinterpret_cast<POINT*>(&r), 2);
  }
  return TRect{r.left, r.top, r.right, r.bottom};
}

void TOpenDadirAvDialog::SetZoom() {
  const Integer i = ZoomCombo->GetItemIndex();
  if (i < 0) return;
  const auto percent = static_cast<Integer>(reinterpret_cast<intptr_t>(ZoomCombo->GetItems()->Objects(i)));
  if (percent == 0)
    DadirAvView->Fit();
  else
    DadirAvView->SetZoom(percent);
}

void TOpenDadirAvDialog::SetPreviewBorderStyle(TIEDBorderStyle style) {
  previewBorderStyle_ = style;
  switch (style) {
    case iepsDefault:
      DadirAvView->SetBackgroundStyle(iebsSolid);
      DadirAvView->SetBorderStyle(TBorderStyle::bsSingle);
      break;
    case iepsCropped:
      DadirAvView->SetBackgroundStyle(iebsCropped);
      DadirAvView->SetBorderStyle(TBorderStyle::bsNone);
      break;
    case iepsCropShadow:
      DadirAvView->SetBackgroundStyle(iebsCropShadow);
      DadirAvView->SetBorderStyle(TBorderStyle::bsNone);
      break;
  }
}

void TOpenDadirAvDialog::ShowIOParams(const TIOParamsVals* params) {
  if (params == nullptr) {
    for (TLabel* l : {PicLabel1, PicLabel2, PicLabel3, InfoLabel1, InfoLabel2}) l->SetCaption("");
    return;
  }
  const bool jpeg = params->FileType == iofnJPEG;
  const Int64 w = jpeg ? params->JPEG_OriginalWidth : params->Width;
  const Int64 h = jpeg ? params->JPEG_OriginalHeight : params->Height;
  AnsiString size = IntToStr(w) + " x " + IntToStr(h) + " pixel";
  if (frames_ > 1) size += " , " + IntToStr(frames_) + " frames";
  PicLabel1->SetCaption(size);
  PicLabel3->SetCaption(IntToStr(params->DpiX) + " x " + IntToStr(params->DpiY) + " dpi");
  const Integer s = params->SamplesPerPixel, b = params->BitsPerSample;
  AnsiString colours;
  if (s == 4 && b == 8)
    colours = "16777216";
  else if (s == 3 && b == 16)
    colours = "2^48";
  else
    colours = IntToStr(Int64{1} << std::clamp(s * b, 0, 62));
  PicLabel2->SetCaption(colours + " " + W(IEMSG_COLORS, MsgLanguage) + " (" + IntToStr(s * b) + " bit)");
  const Int64 bits = s == 1 && b == 1 ? 1 : 24;
  const Int64 row = (w * bits + 31) / 32 * 4;
  const Int64 memory = std::max<Int64>(frames_, 1) * h * row;
  InfoLabel2->SetCaption("File: " + SizeText(fileSize_) + "   Mem: " + SizeText(memory));
  InfoLabel1->SetCaption(params->GetFileTypeStr());
}

void TOpenDadirAvDialog::ClearPreview() {
  frames_ = 0;
  ShowIOParams(nullptr);
  DadirAvView->Blank();
  DadirAvMView->Clear();
  PreviewButton->SetEnabled(false);
  ZoomCombo->SetEnabled(false);
  PlayButton->SetEnabled(false);
}

AnsiString TOpenDadirAvDialog::PatternAt(Integer index) const {
  // Fields of the filter: description, pattern, description, pattern...
  std::vector<AnsiString> fields;
  size_t start = 0;
  while (start <= Filter.size()) {
    size_t end = Filter.find('|', start);
    if (end == AnsiString::npos) end = Filter.size();
    fields.push_back(Filter.substr(start, end - start));
    start = end + 1;
  }
  const size_t at = static_cast<size_t>(std::max(index, 1)) * 2 - 1;
  return at < fields.size() ? fields[at] : AnsiString();
}

// ---------------------------------------------------------------------------
// Running

bool TOpenDadirAvDialog::Execute() {
  TemplateName = kIETemplateName;
  SetLang();
  PreviewCheck->SetVisible(true);
  if (AutoSetFilter) BuildStrFilter(Filter);
  return DoExecute(false);
}

bool TOpenDadirAvDialog::DoExecute(bool save) {
  PlayButton->SetVisible(!AlwaysAnimate);
  Files->Clear();
  const bool multi = Options.Contains(ofAllowMultiSelect);
  std::vector<char> buffer(multi ? kMultiFileBuffer : kFileBuffer, '\0');
  // A name that does not fit the buffer is not handed to the dialog: the box starts
  // empty rather than with a name cut short.
  if (FileName.size() < buffer.size()) std::memcpy(buffer.data(), FileName.c_str(), FileName.size());
  AnsiString filter = Filter;
  std::replace(filter.begin(), filter.end(), '|', '\0');
  filter.push_back('\0');
  filter.push_back('\0');
  AnsiString defaultExt = DefaultExt;
  if (defaultExt.empty()) {
    const AnsiString ext = PatternExtension(PatternAt(FilterIndex));
    if (!ext.empty() && ext.find_first_of("*?") == AnsiString::npos) defaultExt = ext.substr(1);
  }
  OPENFILENAME ofn;
  ofn.hwndOwner = Application->GetHandle();
  ofn.hInstance = kIEModule;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = static_cast<DWORD>(FilterIndex);
  ofn.lpstrFile = buffer.data();
  ofn.nMaxFile = static_cast<DWORD>(buffer.size());
  ofn.lpstrInitialDir = initialDir_.empty() ? nullptr : initialDir_.c_str();
  ofn.lpstrTitle = Title.empty() ? nullptr : Title.c_str();
  ofn.Flags = OFN_ENABLEHOOK;
  for (size_t i = 0; i < std::size(kOptionFlags); ++i)
    if (Options.Contains(static_cast<TOpenOption>(i))) ofn.Flags |= kOptionFlags[i];
  ofn.Flags ^= OFN_EXPLORER;  // ofOldStyleDialog clears it
  ofn.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
  const bool explorer = (ofn.Flags & OFN_EXPLORER) != 0;
  ofn.lpfnHook = explorer ? &TIECommonDialog::ExplorerHook : &TIECommonDialog::OldStyleHook;
  if (!TemplateName.empty()) {
    ofn.Flags |= OFN_ENABLETEMPLATE;
    ofn.lpTemplateName = TemplateName.c_str();
  }
  if (!ShowPlacesBar) ofn.FlagsEx = OFN_EX_NOPLACESBAR;
  currentFilterIndex_ = FilterIndex;
  const BOOL chosen = TaskModalDialog(save, ofn);
  // The preview area leaves the dialog window even when its end was not heard.
  if (shown_) DoClose();
  if (!chosen) return false;
  // The names chosen.
  if (multi) {
    std::vector<AnsiString> parts;
    const char* p = buffer.data();
    while (*p != '\0') {
      parts.emplace_back(p);
      p += parts.back().size() + 1;
    }
    if (parts.size() > 1) {
      const AnsiString folder = parts.front();
      for (size_t i = 1; i < parts.size(); ++i)
        Files->Add(!parts[i].empty() && parts[i][0] == '/' ? parts[i] : IncludeTrailingPathDelimiter(folder) + parts[i]);
      FileName = Files->Strings(0);
    } else if (!parts.empty()) {
      FileName = parts.front();
      Files->Add(FileName);
    }
  } else {
    FileName = buffer.data();
    Files->Add(FileName);
  }
  if (ofn.Flags & OFN_EXTENSIONDIFFERENT)
    Options.Include(ofExtensionDifferent);
  else
    Options.Exclude(ofExtensionDifferent);
  if (ofn.Flags & OFN_READONLY)
    Options.Include(ofReadOnly);
  else
    Options.Exclude(ofReadOnly);
  FilterIndex = static_cast<Integer>(ofn.nFilterIndex);
  return true;
}

void TOpenDadirAvDialog::WndProc(TMessage& message) {
  if (message.Msg == WM_INITDIALOG) {
    if (OldStyle()) TIECommonDialog::WndProc(message);
    return;
  }
  if (message.Msg != WM_NOTIFY) {
    TIECommonDialog::WndProc(message);
    return;
  }
  const auto* notify = reinterpret_cast<const OFNOTIFY*>(message.LParam);
  const UINT code = notify->hdr.code;
  if (code == CDN_INITDONE) {
    currentFilterIndex_ = notify->lpOFN != nullptr ? static_cast<Integer>(notify->lpOFN->nFilterIndex) : FilterIndex;
    currentPattern_ = PatternAt(currentFilterIndex_);
    DoShow();
  } else if (code == CDN_SELCHANGE) {
    DoSelectionChange();
  } else if (code == CDN_FOLDERCHANGE) {
    DoFolderChange();
  } else if (code == CDN_FILEOK) {
    Files->Clear();
    Files->Add(GetFileName());
    const bool allowed = DoCanClose();
    Files->Clear();
    if (!allowed) message.Result = 1;
  } else if (code == CDN_TYPECHANGE) {
    const Integer index = notify->lpOFN != nullptr ? static_cast<Integer>(notify->lpOFN->nFilterIndex) : 1;
    currentPattern_ = PatternAt(index);
    const AnsiString ext = PatternExtension(currentPattern_);
    if (!ext.empty()) {
      const AnsiString withoutDot = ext.substr(1);
      ::SendMessage(GetDialogWindow(), CDM_SETDEFEXT, 0, reinterpret_cast<LPARAM>(withoutDot.c_str()));
    }
    if (index != currentFilterIndex_) {
      currentFilterIndex_ = index;
      DoTypeChange();
    }
  }
}

void TOpenDadirAvDialog::DoShow() {
  if (previewEnabled_) {
    const TRect placeholder = GetStaticRect();
    RECT client{};
    ::GetClientRect(GetHandle(), &client);
    PicturePanel->SetParentWindow(GetHandle());
    PicturePanel->SetBounds(placeholder.right, placeholder.top, std::max<Integer>(client.right - placeholder.right, 0),
                            placeholder.bottom - placeholder.top);
    PicturePanel->SetVisible(true);
    ZoomCombo->GetItems()->Clear();
    ZoomCombo->GetItems()->AddObject("Fit", nullptr);
    for (intptr_t percent : {25, 50, 75, 100, 125, 150, 175, 200, 300, 400})
      ZoomCombo->GetItems()->AddObject(IntToStr(static_cast<Integer>(percent)) + "%",
                                       reinterpret_cast<TObject*>(percent));
    ZoomCombo->SetItemIndex(0);
    DadirAvView->SetBackGround(clWhite);
    DadirAvView->SetCenter(true);
    DadirAvView->Blank();
    // The views fill the panel below the buttons, above the labels; the labels wrap
    // to the panel's width (two lines each at most).
    const Integer width = std::max<Integer>(PicturePanel->GetWidth() - 12, 40);
    const Integer viewH = std::max<Integer>(PicturePanel->GetHeight() - 36 - 88, 40);
    DadirAvView->SetBounds(6, 36, width, viewH);
    DadirAvMView->SetBounds(6, 36, width, viewH);
    Integer top = 36 + viewH + 2;
    for (TLabel* l : {PicLabel1, PicLabel2, PicLabel3}) {
      l->SetAutoSize(false);
      l->SetWordWrap(true);
      l->SetBounds(6, top, width, 28);
      top += 28;
    }
    PlayButton->SetDown(false);
    PlayButton->SetEnabled(false);
    DadirAvMView->SetPlaying(false);
    if (ExtendedDialog) {
      InfoPanel->SetParentWindow(GetHandle());
      InfoPanel->SetBounds(placeholder.left, placeholder.bottom, client.right, client.bottom);
      InfoPanel->SetVisible(true);
      // The check box at the right of the dialog's controls, clear of the sizes.
      PreviewCheck->SetBounds(std::max<Integer>(placeholder.right - placeholder.left - 90, 195), 6, 80, 23);
    } else {
      for (TControl* c : std::initializer_list<TControl*>{PicLabel1, PicLabel2, PicLabel3, ZoomCombo})
        c->SetVisible(false);
    }
  }
  shown_ = true;
  TIECommonDialog::DoShow();
}

void TOpenDadirAvDialog::DoClose() {
  TIECommonDialog::DoClose();
  DadirAvMView->SetPlaying(false);
  DadirAvMView->Clear();
  DadirAvView->Blank();
  PicturePanel->SetVisible(false);
  InfoPanel->SetVisible(false);
  PicturePanel->SetParentWindow(0);
  InfoPanel->SetParentWindow(0);
  shown_ = false;
}

void TOpenDadirAvDialog::DoSelectionChange() {
  if (busy_) return;
  if (!previewEnabled_) {
    if (OnSelectionChange) OnSelectionChange(this);
    return;
  }
  busy_ = true;
  const AnsiString path = GetFileName();
  struct stat st {};
  const bool exists = !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  try {
    if (!exists) throw Exception("no file");
    fileSize_ = st.st_size;
    if (PreviewCheck->GetChecked()) {
      const TCursor cursor = Screen->GetCursor();
      Screen->SetCursor(crHourGlass);
      DadirAvView->SetBackGround(clWhite);
      DadirAvMView->SetBackGround(clWhite);
      DadirAvView->Blank();
      DadirAvMView->Clear();
      PlayButton->SetDown(false);
      const AnsiString ext = LowerCase(ExtractFileExt(path));
      const PIEFileFormatInfo gif = IEFileFormatGetInfo(iofnGIF);
      const bool gifReadable = gif != nullptr && gif->ReadFunction != nullptr;
      const bool multi = ext == ".avi" || (ext == ".gif" && gifReadable && EnumGifIm(path) > 1) ||
                         (ext == ".tif" && EnumTIFFIm(path) > 1);
      try {
        if (multi) {
          PlayButton->SetEnabled(true);
          DadirAvMView->SetVisible(true);
          DadirAvView->SetVisible(false);
          ProgressBar->SetParent(DadirAvMView->GetParent());
          ProgressBar->SetPosition(0);
          mio_->AutoAdjustDPI = AutoAdjustDPI;
          mio_->FilteredAdjustDPI = FilteredAdjustDPI;
          mio_->LoadFromFile(path);
          frames_ = mio_->GetParamsCount();
          DadirAvMView->SelectSeek(iskFirst);
          ShowIOParams(mio_->GetParams(0));
          if (AlwaysAnimate && (ext == ".avi" || (ext == ".gif" && gifReadable))) {
            PlayButton->SetDown(true);
            DadirAvMView->SetPlaying(true);
          }
        } else {
          PlayButton->SetEnabled(false);
          ZoomCombo->SetEnabled(true);
          DadirAvView->SetVisible(true);
          DadirAvMView->SetVisible(false);
          ProgressBar->SetPosition(0);
          TIOParamsVals* params = io_->GetParams();
          params->Width = DadirAvView->GetWidth();
          params->Height = DadirAvView->GetHeight();
          params->JPEG_Scale = ioJPEG_AUTOCALC;
          io_->AutoAdjustDPI = AutoAdjustDPI;
          io_->FilteredAdjustDPI = FilteredAdjustDPI;
          io_->LoadFromFile(path.c_str());
          frames_ = 1;
          ShowIOParams(io_->GetParams());
        }
      } catch (...) {
        Screen->SetCursor(cursor);
        throw;
      }
      ProgressBar->SetVisible(false);
      SetZoom();
      Screen->SetCursor(cursor);
      PreviewButton->SetEnabled(true);
      ZoomCombo->SetEnabled(true);
    } else {
      io_->ParamsFromFile(path.c_str());
      frames_ = 1;
      ShowIOParams(io_->GetParams()->FileType == 0 ? nullptr : io_->GetParams());
    }
  } catch (...) {
    // Whatever went wrong, the preview shows nothing rather than something stale.
    ClearPreview();
  }
  if (OnSelectionChange) OnSelectionChange(this);
  busy_ = false;
}

void TOpenDadirAvDialog::DoFolderChange() {
  if (OnFolderChange) OnFolderChange(this);
}

void TOpenDadirAvDialog::DoTypeChange() {
  if (OnTypeChange) OnTypeChange(this);
}

bool TOpenDadirAvDialog::DoCanClose() {
  bool result = true;
  if (OnCanClose) OnCanClose(this, result);
  return result;
}

void TOpenDadirAvDialog::ShowFullPreview() {
  TForm form(nullptr);
  form.SetName("PreviewForm");
  form.SetCaption(PreviewFormCaption + ": " + GetFileName());
  form.SetBorderStyle(bsSizeToolWin);
  form.SetKeyPreview(true);
  form.SetPosition(poScreenCenter);
  form.OnKeyDown = [&form](TObject*, Word& key, TShiftState) {
    if (key == VK_ESCAPE) form.Close();
  };
  auto* view = new TDadirAvView(&form);
  view->SetName("DadirAvView");
  view->SetParent(&form);
  view->SetAlign(alClient);
  view->SetMouseInteract(TIEMouseInteract{miZoom, miScroll});
  view->SetBackGround(clWhite);
  view->SetCenter(true);
  view->SetScrollBars(TScrollStyle::ssBoth);
  if (DadirAvMView->GetVisible()) {
    TIEBitmap frame;
    if (DadirAvMView->CopyToIEBitmap(std::max(DadirAvMView->GetSelectedItem(), 0), &frame))
      view->GetIEBitmap()->Assign(&frame);
  } else {
    view->GetIEBitmap()->Assign(DadirAvView->GetIEBitmap());
  }
  view->Update();
  const Integer w = view->GetIEBitmap()->GetWidth(), h = view->GetIEBitmap()->GetHeight();
  const Integer sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
  form.SetClientWidth(w <= 100 ? 100 : std::min(w, sw));
  form.SetClientHeight(h <= 100 ? 100 : std::min(h, sh));
  form.ShowModal();
}

// ---------------------------------------------------------------------------
// TSaveDadirAvDialog

TSaveDadirAvDialog::TSaveDadirAvDialog(TComponent* owner)
    : TOpenDadirAvDialog(owner), copy_(std::make_unique<TIOParamsVals>(nullptr)) {
  previewEnabled_ = true;
  IEUpdateGIFStatus();
  const PIEFileFormatInfo gif = IEFileFormatGetInfo(iofnGIF);
  Filter = "JPEG Bitmap (JPG)|*.jpg";
  if (gif != nullptr && gif->WriteFunction != nullptr) Filter += "|CompuServe Bitmap (GIF)|*.gif";
  Filter +=
      "|TIFF Bitmap (TIF)|*.tif|PaintBrush (PCX)|*.pcx|Portable Network Graphics (PNG)|*.png"
      "|Windows Bitmap (BMP)|*.bmp|OS/2 Bitmap (BMP)|*.bmp|Targa Bitmap (TGA)|*.tga"
      "|Portable PixMap (PXM)|*.pxm|Portable PixMap (PPM)|*.ppm|Portable GreyMap (PGM)|*.pgm"
      "|Portable Bitmap (PBM)|*.pbm|JPEG2000 (JP2)|*.jp2|JPEG2000 Code Stream (J2K)|*.j2k";
  AdvancedButton->OnClick = [this](TObject*) { DoAdvanced(); };
}

TSaveDadirAvDialog::~TSaveDadirAvDialog() = default;

void TSaveDadirAvDialog::SetAttachedDadirAvIO(TComponent* component) {
  if (component == nullptr) return;
  auto* io = dynamic_cast<TDadirAvIO*>(component);
  auto* mio = dynamic_cast<TDadirAvMIO*>(component);
  if (io == nullptr && mio == nullptr && dynamic_cast<TDadirAvView*>(component) == nullptr &&
      dynamic_cast<TDadirAvMView*>(component) == nullptr)
    return;
  if (attached_ != nullptr) attached_->RemoveFreeNotification(this);
  attached_ = component;
  attached_->FreeNotification(this);
  if (io != nullptr) MsgLanguage = io->MsgLanguage;
  if (mio != nullptr) MsgLanguage = mio->MsgLanguage;
}

void TSaveDadirAvDialog::Notification(TComponent* component, TOperation operation) {
  TOpenDadirAvDialog::Notification(component, operation);
  if (operation == TOperation::opRemove && component == attached_) attached_ = nullptr;
}

TIOParamsVals* TSaveDadirAvDialog::AttachedParams() const {
  if (auto* io = dynamic_cast<TDadirAvIO*>(attached_)) return io->GetParams();
  if (auto* mio = dynamic_cast<TDadirAvMIO*>(attached_)) return mio->GetParams(0);
  if (auto* mview = dynamic_cast<TDadirAvMView*>(attached_)) return mview->GetDadirAvMIO()->GetParams(0);
  if (auto* view = dynamic_cast<TDadirAvView*>(attached_)) return view->GetDadirAvIO()->GetParams();
  return nullptr;
}

bool TSaveDadirAvDialog::Execute() {
  previewEnabled_ = ExOptions.Contains(sdShowPreview);
  TemplateName = previewEnabled_ ? kIETemplateName : kIETemplateName1;
  if (AutoSetFilter) BuildStrFilter(Filter, true);
  AdvancedButton->SetVisible(ExOptions.Contains(sdShowAdvanced));
  AdvancedButton->SetBounds(ShowPlacesBar ? 474 : 333, 0, 75, 23);
  SetLang();
  PreviewCheck->SetVisible(previewEnabled_);
  TIOParamsVals* params = nullptr;
  if (attached_ != nullptr) {
    params = AttachedParams();
    // A grid without images has nothing to save.
    if (params == nullptr) return false;
    copy_->Assign(params);
  }
  if (!DoExecute(true)) {
    // Cancelled: what "Advanced" changed is undone.
    if (params != nullptr) params->Assign(copy_.get());
    return false;
  }
  if (ExtractFileExt(ExtractFileName(FileName)).empty()) FileName += PatternExtension(PatternAt(FilterIndex));
  return true;
}

void TSaveDadirAvDialog::DoAdvanced() {
  AnsiString ext = ExtractFileExt(GetFileName());
  if (ext.empty()) ext = DefaultExt;
  TPreviewParamsItems page;
  if (attached_ == nullptr || !IEExtensionPage(ext, page)) return;
  if (auto* io = dynamic_cast<TDadirAvIO*>(attached_))
    io->DoPreviews({page});
  else if (auto* mio = dynamic_cast<TDadirAvMIO*>(attached_))
    mio->DoPreviews(-1, {page});
  else if (auto* mview = dynamic_cast<TDadirAvMView*>(attached_))
    mview->GetDadirAvMIO()->DoPreviews(-1, {page});
  else if (auto* view = dynamic_cast<TDadirAvView*>(attached_))
    view->GetDadirAvIO()->DoPreviews({page});
}

void TSaveDadirAvDialog::SetFileNameExt() {
  const AnsiString name = ExtractFileName(GetFileName2());
  if (name.empty()) return;
  const AnsiString replaced = IEReplaceExtension(name, currentPattern_);
  ::SendMessage(GetDialogWindow(), CDM_SETCONTROLTEXT, edt1, reinterpret_cast<LPARAM>(replaced.c_str()));
}

void TSaveDadirAvDialog::DoTypeChange() {
  SetFileNameExt();
  TOpenDadirAvDialog::DoTypeChange();
}

// ---------------------------------------------------------------------------
// The input/output component's entry points

AnsiString TDadirAvIO::ExecuteOpenDialog(const AnsiString& InitialDir, const AnsiString& InitialFileName,
                                         bool AlwaysAnimate, Integer FilterIndex, const AnsiString& ExtendedFilters) {
  TOpenDadirAvDialog dialog(this);
  dialog.SetInitialDir(InitialDir);
  dialog.FileName = InitialFileName;
  dialog.AlwaysAnimate = AlwaysAnimate;
  dialog.SetPreviewBorderStyle(iepsCropShadow);
  dialog.FilterIndex = FilterIndex;
  dialog.AutoAdjustDPI = AutoAdjustDPI;
  dialog.FilteredAdjustDPI = FilteredAdjustDPI;
  dialog.MsgLanguage = MsgLanguage;
  dialog.ExtendedFilters = ExtendedFilters;
  return dialog.Execute() ? dialog.FileName : AnsiString();
}

AnsiString TDadirAvIO::ExecuteSaveDialog(const AnsiString& InitialDir, const AnsiString& InitialFileName,
                                         bool AlwaysAnimate, Integer FilterIndex, const AnsiString& ExtendedFilters) {
  TSaveDadirAvDialog dialog(this);
  dialog.SetInitialDir(InitialDir);
  dialog.FileName = InitialFileName;
  dialog.AlwaysAnimate = AlwaysAnimate;
  dialog.SetPreviewBorderStyle(iepsCropShadow);
  dialog.FilterIndex = FilterIndex;
  dialog.AutoAdjustDPI = AutoAdjustDPI;
  dialog.FilteredAdjustDPI = FilteredAdjustDPI;
  dialog.ExtendedFilters = ExtendedFilters;
  dialog.SetAttachedDadirAvIO(this);
  return dialog.Execute() ? dialog.FileName : AnsiString();
}

#pragma pop_macro("None")
