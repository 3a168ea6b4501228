// The open and save dialogs behind GetOpenFileName and GetSaveFileName: a form that
// browses the real file system (the folder and its parents, up one level, the folder's
// contents filtered by the chosen type, the name box, the type list), with the caller's
// hook and template in a child dialog that hears the CDN_* notifications and asks
// through the CDM_* messages.
#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "platform/rtl/Files.h"
#include "platform/vcl/ClassicLook.h"
#include "platform/vcl/DialogsInternal.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/win/CommDlg.h"
#include "platform/win/MessageBox.h"

namespace {

// The standard controls' area.
constexpr Integer kStdWidth = 424;
constexpr Integer kStdHeight = 282;
constexpr Integer kReadOnlyHeight = 22;
// Ids the list gives its entries' kinds.
constexpr intptr_t kFolderEntry = 1;

struct Filter {
  AnsiString Description;
  std::vector<AnsiString> Patterns;
};

std::vector<Filter> ParseFilter(const char* filter) {
  std::vector<Filter> filters;
  if (!filter) return filters;
  for (const char* p = filter; *p;) {
    Filter f;
    f.Description = p;
    p += std::strlen(p) + 1;
    const AnsiString patterns = p;
    p += patterns.empty() ? 0 : patterns.size() + 1;
    size_t start = 0;
    while (start <= patterns.size()) {
      size_t end = patterns.find(';', start);
      if (end == AnsiString::npos) end = patterns.size();
      AnsiString one = patterns.substr(start, end - start);
      while (!one.empty() && one.front() == ' ') one.erase(0, 1);
      while (!one.empty() && one.back() == ' ') one.pop_back();
      if (!one.empty()) f.Patterns.push_back(one);
      start = end + 1;
    }
    filters.push_back(std::move(f));
    if (patterns.empty()) break;
  }
  return filters;
}

bool Matches(const std::vector<AnsiString>& patterns, const AnsiString& name) {
  if (patterns.empty()) return true;
  for (const AnsiString& pattern : patterns) {
    // "*.*" takes names without a dot too, as the platform's patterns do.
    if (pattern == "*.*" || pattern == "*") return true;
    if (fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0) return true;
  }
  return false;
}

// A path with "." and ".." taken out and no trailing delimiter (but "/").
AnsiString Normalise(const AnsiString& path) {
  std::vector<AnsiString> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(PathDelim, start);
    if (end == AnsiString::npos) end = path.size();
    const AnsiString part = path.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  AnsiString result;
  for (const AnsiString& part : parts) result += PathDelim + part;
  return result.empty() ? AnsiString(1, PathDelim) : result;
}

AnsiString Join(const AnsiString& folder, const AnsiString& name) {
  if (!name.empty() && name[0] == PathDelim) return Normalise(name);
  return Normalise(folder + PathDelim + name);
}

AnsiString CurrentFolder() {
  char buffer[4096];
  return getcwd(buffer, sizeof buffer) ? AnsiString(buffer) : AnsiString(1, PathDelim);
}

// The names typed in the name box: one name, or several in double quotes.
std::vector<AnsiString> TypedNames(const AnsiString& text) {
  std::vector<AnsiString> names;
  if (text.find('"') == AnsiString::npos) {
    AnsiString one = text;
    while (!one.empty() && one.back() == ' ') one.pop_back();
    while (!one.empty() && one.front() == ' ') one.erase(0, 1);
    if (!one.empty()) names.push_back(one);
    return names;
  }
  size_t at = 0;
  while ((at = text.find('"', at)) != AnsiString::npos) {
    const size_t end = text.find('"', at + 1);
    if (end == AnsiString::npos) break;
    if (end > at + 1) names.push_back(text.substr(at + 1, end - at - 1));
    at = end + 1;
  }
  return names;
}

LRESULT CopyOut(const AnsiString& text, WPARAM size, LPARAM buffer) {
  const auto needed = static_cast<LRESULT>(text.size() + 1);
  auto* out = reinterpret_cast<char*>(buffer);
  if (out && static_cast<LRESULT>(size) >= needed) std::memcpy(out, text.c_str(), text.size() + 1);
  return needed;
}

// A label that is a window of its own, as the dialog's static texts are: the caller's
// child dialog lies over the form's surface, and CDM_SETCONTROLTEXT and
// CDM_HIDECONTROL reach it by its id. Its mnemonic gives the focus to FocusControl.
class TStaticLabel : public TCustomControl {
 public:
  explicit TStaticLabel(TComponent* owner) : TCustomControl(owner) { SetTabStop(false); }
  TWinControl* FocusControl = nullptr;

  void Dispatch(TMessage& message) override {
    if (message.Msg == CM_TEXTCHANGED) Invalidate();
    if (message.Msg == CM_DIALOGCHAR && FocusControl && GetVisible() && FocusControl->CanFocus()) {
      const AnsiString text = GetText();
      const size_t amp = text.find('&');
      if (amp != AnsiString::npos && amp + 1 < text.size() &&
          std::toupper(static_cast<unsigned char>(text[amp + 1])) ==
              std::toupper(static_cast<unsigned char>(message.WParam))) {
        FocusControl->SetFocus();
        message.Result = 1;
        return;
      }
    }
    TCustomControl::Dispatch(message);
  }

 protected:
  void Paint() override {
    TCanvas* c = GetCanvas();
    c->GetBrush()->SetColor(clBtnFace);
    c->FillRect(GetClientRect());
    c->GetFont()->Assign(GetFont());
    classic::DrawCaption(c, GetClientRect(), GetText(), DT_SINGLELINE | DT_VCENTER, GetFont()->GetColor(),
                         GetEnabled());
  }
};

class TFileDialogForm : public TDialogForm {
 public:
  TFileDialogForm(OPENFILENAME* ofn, bool save)
      : TDialogForm(save ? sim::DialogKind::SaveFile : sim::DialogKind::OpenFile), ofn_(ofn), save_(save) {
    SetCaption(ofn->lpstrTitle ? AnsiString(ofn->lpstrTitle) : AnsiString(save ? "Save As" : "Open"));
    filters_ = ParseFilter(ofn->lpstrFilter);
    if (ofn->lpstrDefExt) defExt_ = ofn->lpstrDefExt;
    BuildControls();
  }

  bool Failed() const noexcept { return failed_; }

  void Dispatch(TMessage& m) override {
    if (m.Msg >= CDM_FIRST && m.Msg <= CDM_SETDEFEXT) {
      m.Result = HandleCdm(m.Msg, m.WParam, m.LParam);
      return;
    }
    TDialogForm::Dispatch(m);
  }

 protected:
  void Prepare() override {
    AnsiString initialName = ofn_->lpstrFile ? AnsiString(ofn_->lpstrFile) : AnsiString();
    AnsiString folder;
    if (ofn_->lpstrInitialDir && DirectoryExists(ofn_->lpstrInitialDir)) folder = ofn_->lpstrInitialDir;
    if (initialName.find(PathDelim) != AnsiString::npos) {
      const AnsiString nameFolder = ExtractFileDir(Join(folder.empty() ? CurrentFolder() : folder, initialName));
      if (DirectoryExists(nameFolder)) folder = nameFolder;
      initialName = ExtractFileName(initialName);
    }
    folder_ = Normalise(folder.empty() ? CurrentFolder() : folder);
    nameEdit_->SetText(initialName);
    const Integer index = static_cast<Integer>(ofn_->nFilterIndex);
    typeCombo_->SetItemIndex(index >= 1 && index <= static_cast<Integer>(filters_.size()) ? index - 1 : 0);
    ofn_->nFilterIndex = static_cast<DWORD>(typeCombo_->GetItemIndex() + 1);
    if (ofn_->Flags & OFN_READONLY) readOnly_->SetChecked(true);

    HWND self = GetHandle();
    for (auto& [control, id] : ids_) {
      if (auto* windowed = dynamic_cast<TWinControl*>(control))
        ::SetWindowLongPtr(windowed->GetHandle(), GWL_ID, id);
    }
    MakeChildDialog(self);
    FillFolderCombo();
    FillList();
    if (child_) {
      Notify(CDN_INITDONE);
      Notify(CDN_FOLDERCHANGE);
    } else if (ofn_->lpfnHook && (ofn_->Flags & OFN_ENABLEHOOK)) {
      ofn_->lpfnHook(self, WM_INITDIALOG, 0, reinterpret_cast<LPARAM>(ofn_));
    }
  }

  void ApplyValue(const AnsiString& value) override { nameEdit_->SetText(value); }
  AnsiString CurrentValue() override { return nameEdit_->GetText(); }
  void Press(Integer result) override {
    if (result == IDOK)
      Accept();
    else
      SetModalResult(result == IDCANCEL ? mrCancel : result);
  }

 private:
  template <class T>
  T* Add(Integer id, Integer x, Integer y, Integer w, Integer h, const char* caption = nullptr) {
    auto* c = new T(this);
    c->SetParent(this);
    c->SetBounds(x, y, w, h);
    if (caption) c->SetCaption(caption);
    if (id) ids_.push_back({c, id});
    return c;
  }

  void BuildControls() {
    Integer order = 0;
    auto* look = Add<TStaticLabel>(stc4, 8, 10, 64, 17, save_ ? "Save &in:" : "Look &in:");
    folderCombo_ = Add<TComboBox>(cmb2, 76, 8, 268, 21);
    folderCombo_->SetStyle(csDropDownList);
    folderCombo_->SetTabOrder(order++);
    folderCombo_->OnSelect = [this](TObject*) {
      const Integer i = folderCombo_->GetItemIndex();
      if (i >= 0 && i < static_cast<Integer>(folderChain_.size())) EnterFolder(folderChain_[static_cast<size_t>(i)]);
    };
    look->FocusControl = folderCombo_;
    upButton_ = Add<TButton>(IDC_UPFOLDER, 350, 7, 66, 23, "&Up");
    upButton_->SetTabOrder(order++);
    upButton_->SetHint("Up One Level");
    upButton_->OnClick = [this](TObject*) { EnterFolder(ExtractFileDir(folder_)); };
    list_ = Add<TListBox>(lst1, 8, 36, 408, 178);
    list_->SetTabOrder(order++);
    list_->SetStyle(lbOwnerDrawFixed);
    list_->SetItemHeight(16);
    if (ofn_->Flags & OFN_ALLOWMULTISELECT) {
      list_->SetMultiSelect(true);
      list_->SetExtendedSelect(true);
    }
    list_->OnDrawItem = [this](TWinControl*, Integer index, TRect rect, TOwnerDrawState state) {
      DrawEntry(index, rect, state);
    };
    list_->OnClick = [this](TObject*) { SelectionChanged(); };
    list_->OnDblClick = [this](TObject*) { Open(list_->GetItemIndex()); };

    auto* nameLabel = Add<TStaticLabel>(stc3, 8, 226, 90, 17, "File &name:");
    nameEdit_ = Add<TEdit>(edt1, 100, 224, 234, 21);
    nameEdit_->SetTabOrder(order++);
    nameLabel->FocusControl = nameEdit_;
    okButton_ = Add<TButton>(IDOK, 341, 223, 75, 23, save_ ? "&Save" : "&Open");
    okButton_->SetDefault(true);
    okButton_->OnClick = [this](TObject*) { Accept(); };

    auto* typeLabel = Add<TStaticLabel>(stc2, 8, 253, 90, 17, save_ ? "Save as &type:" : "Files of &type:");
    typeCombo_ = Add<TComboBox>(cmb1, 100, 251, 234, 21);
    typeCombo_->SetStyle(csDropDownList);
    typeCombo_->SetTabOrder(order++);
    typeLabel->FocusControl = typeCombo_;
    for (const Filter& f : filters_) typeCombo_->GetItems()->Add(f.Description);
    typeCombo_->OnSelect = [this](TObject*) { TypeChanged(); };
    okButton_->SetTabOrder(order++);
    cancelButton_ = Add<TButton>(IDCANCEL, 341, 250, 75, 23, "Cancel");
    cancelButton_->SetModalResult(mrCancel);
    cancelButton_->SetCancel(true);
    cancelButton_->SetTabOrder(order++);
    readOnly_ = Add<TCheckBox>(chx1, 100, 278, 200, 17, "Open as &read-only");
    readOnly_->SetTabOrder(order++);
    const bool showReadOnly = !save_ && !(ofn_->Flags & OFN_HIDEREADONLY);
    readOnly_->SetVisible(showReadOnly);
    // "Help" asks the owner window, which opens the help it knows.
    const bool showHelp = (ofn_->Flags & OFN_SHOWHELP) != 0;
    if (showHelp) {
      auto* help = Add<TButton>(pshHelp, 341, 277, 75, 23, "&Help");
      help->SetTabOrder(order++);
      help->OnClick = [this](TObject*) {
        if (ofn_->hwndOwner != 0)
          SendMessage(ofn_->hwndOwner, RegisterWindowMessage(HELPMSGSTRING), reinterpret_cast<WPARAM>(GetHandle()),
                      reinterpret_cast<LPARAM>(ofn_));
      };
    }
    stdHeight_ = kStdHeight + (showReadOnly || showHelp ? kReadOnlyHeight : 0);
    SetClientWidth(kStdWidth);
    SetClientHeight(stdHeight_);
    SetActiveControl(nameEdit_);
  }

  // The caller's child dialog: its template (with the place of the standard controls,
  // or below them), its hook.
  void MakeChildDialog(HWND self) {
    const bool explorer = (ofn_->Flags & OFN_EXPLORER) != 0;
    const bool hook = ofn_->lpfnHook && (ofn_->Flags & OFN_ENABLEHOOK);
    const DialogTemplate* t = nullptr;
    if (ofn_->Flags & OFN_ENABLETEMPLATEHANDLE) {
      t = reinterpret_cast<const DialogTemplate*>(ofn_->hInstance);
    } else if ((ofn_->Flags & OFN_ENABLETEMPLATE) && ofn_->lpTemplateName) {
      t = FindDialogTemplate(ofn_->hInstance, ofn_->lpTemplateName);
      if (!t) {
        SetCommDlgExtendedError(CDERR_NOTEMPLATE);
        failed_ = true;
        return;
      }
    }
    if (!explorer || (!t && !hook)) return;
    static const DialogTemplate empty;
    child_ = CreateChildDialog(self, t ? *t : empty, hook ? ofn_->lpfnHook : nullptr,
                               reinterpret_cast<LPARAM>(ofn_));
    if (!child_) return;
    RECT childRect;
    ::GetClientRect(child_, &childRect);
    const HWND placeholder = GetDlgItem(child_, stc32);
    Integer width = kStdWidth;
    Integer height = stdHeight_;
    if (placeholder) {
      // The standard controls take the placeholder's place; what lies right of it or
      // below it moves aside as far as they need.
      RECT p;
      ::GetWindowRect(placeholder, &p);
      ::MapWindowPoints(0, child_, reinterpret_cast<POINT*>(&p), 2);
      const Integer dx = std::max<Integer>(0, kStdWidth - (p.right - p.left));
      const Integer dy = std::max<Integer>(0, stdHeight_ - (p.bottom - p.top));
      for (HWND item = ::GetWindow(child_, GW_CHILD); item; item = ::GetWindow(item, GW_HWNDNEXT)) {
        if (item == placeholder) continue;
        RECT r;
        ::GetWindowRect(item, &r);
        ::MapWindowPoints(0, child_, reinterpret_cast<POINT*>(&r), 2);
        const Integer x = r.left + (r.left >= p.right ? dx : 0);
        const Integer y = r.top + (r.top >= p.bottom ? dy : 0);
        ::MoveWindow(item, x, y, r.right - r.left, r.bottom - r.top, TRUE);
      }
      ::MoveWindow(placeholder, p.left, p.top, std::max<Integer>(kStdWidth, p.right - p.left),
                   std::max<Integer>(stdHeight_, p.bottom - p.top), TRUE);
      for (int i = 0; i < GetControlCount(); ++i) {
        TControl* c = Controls(i);
        c->SetBounds(c->GetLeft() + p.left, c->GetTop() + p.top, c->GetWidth(), c->GetHeight());
      }
      width = childRect.right + dx;
      height = childRect.bottom + dy;
      ::MoveWindow(child_, 0, 0, width, height, TRUE);
    } else {
      ::MoveWindow(child_, 0, stdHeight_, childRect.right, childRect.bottom, TRUE);
      width = std::max<Integer>(kStdWidth, childRect.right);
      height = stdHeight_ + childRect.bottom;
    }
    SetClientWidth(width);
    SetClientHeight(height);
  }

  bool Notify(UINT code) {
    if (!child_ || !::IsWindow(child_)) return false;
    OFNOTIFY n;
    n.hdr.hwndFrom = GetHandle();
    n.hdr.code = code;
    n.lpOFN = ofn_;
    ::SetWindowLongPtr(child_, DWL_MSGRESULT, 0);
    const LRESULT answer = ::SendMessage(child_, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&n));
    return answer != 0 || ::GetWindowLongPtr(child_, DWL_MSGRESULT) != 0;
  }

  LRESULT HandleCdm(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
      case CDM_GETSPEC: return CopyOut(nameEdit_->GetText(), wParam, lParam);
      case CDM_GETFOLDERPATH: return CopyOut(folder_, wParam, lParam);
      case CDM_GETFILEPATH: {
        const std::vector<AnsiString> names = TypedNames(nameEdit_->GetText());
        return CopyOut(names.empty() ? folder_ : Join(folder_, names.front()), wParam, lParam);
      }
      case CDM_SETCONTROLTEXT: {
        const char* text = reinterpret_cast<const char*>(lParam);
        if (TControl* c = ControlOf(static_cast<Integer>(wParam))) c->SetText(text ? text : "");
        return 0;
      }
      case CDM_HIDECONTROL:
        if (TControl* c = ControlOf(static_cast<Integer>(wParam))) c->SetVisible(false);
        return 0;
      case CDM_SETDEFEXT: {
        const char* ext = reinterpret_cast<const char*>(lParam);
        defExt_ = ext ? ext : "";
        return 0;
      }
    }
    return -1;
  }

  TControl* ControlOf(Integer id) {
    if (id == cmb13) id = edt1;
    for (auto& [control, controlId] : ids_)
      if (controlId == id) return control;
    return nullptr;
  }

  std::vector<AnsiString> CurrentPatterns() const {
    if (!customPattern_.empty()) return {customPattern_};
    const Integer i = typeCombo_->GetItemIndex();
    if (i < 0 || i >= static_cast<Integer>(filters_.size())) return {};
    return filters_[static_cast<size_t>(i)].Patterns;
  }

  void FillFolderCombo() {
    folderChain_.clear();
    for (AnsiString f = folder_;; f = ExtractFileDir(f)) {
      folderChain_.insert(folderChain_.begin(), f);
      if (f.size() <= 1) break;
    }
    TStrings* items = folderCombo_->GetItems();
    items->Clear();
    for (const AnsiString& f : folderChain_) {
      items->Add(f);
    }
    folderCombo_->SetItemIndex(static_cast<Integer>(folderChain_.size()) - 1);
  }

  void FillList() {
    std::vector<AnsiString> folders;
    std::vector<AnsiString> files;
    const std::vector<AnsiString> patterns = CurrentPatterns();
    if (DIR* dir = opendir(folder_.c_str())) {
      while (const dirent* e = readdir(dir)) {
        const AnsiString name = e->d_name;
        if (name.empty() || name[0] == '.') continue;
        struct stat st;
        if (stat(Join(folder_, name).c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode))
          folders.push_back(name);
        else if (Matches(patterns, name))
          files.push_back(name);
      }
      closedir(dir);
    }
    auto byName = [](const AnsiString& a, const AnsiString& b) {
      return strcasecmp(a.c_str(), b.c_str()) < 0;
    };
    std::sort(folders.begin(), folders.end(), byName);
    std::sort(files.begin(), files.end(), byName);
    TStrings* items = list_->GetItems();
    items->BeginUpdate();
    items->Clear();
    for (const AnsiString& f : folders) items->AddObject(f, reinterpret_cast<TObject*>(kFolderEntry));
    for (const AnsiString& f : files) items->Add(f);
    items->EndUpdate();
  }

  bool IsFolder(Integer index) const {
    return index >= 0 && index < list_->GetCount() &&
           reinterpret_cast<intptr_t>(list_->GetItems()->Objects(index)) == kFolderEntry;
  }

  void DrawEntry(Integer index, const TRect& rect, TOwnerDrawState state) {
    TCanvas* c = list_->GetCanvas();
    c->FillRect(rect);
    const Integer x = rect.left + 2;
    const Integer y = rect.top + 2;
    const TColor textBrush = c->GetBrush()->GetColor();
    c->GetPen()->SetColor(clBlack);
    if (IsFolder(index)) {
      c->GetBrush()->SetColor(RGB(255, 216, 96));
      c->Polygon({Point(x, y + 1), Point(x + 5, y + 1), Point(x + 6, y + 3), Point(x + 13, y + 3),
                  Point(x + 13, y + 11), Point(x, y + 11)});
    } else {
      c->GetBrush()->SetColor(clWhite);
      c->Polygon({Point(x + 2, y), Point(x + 8, y), Point(x + 11, y + 3), Point(x + 11, y + 12),
                  Point(x + 2, y + 12)});
    }
    c->GetBrush()->SetColor(textBrush);
    (void)state;
    c->TextOut(rect.left + 20, rect.top + (rect.bottom - rect.top - c->TextHeight("Wg")) / 2,
               list_->GetItems()->Strings(index));
  }

  void SelectionChanged() {
    std::vector<AnsiString> names;
    for (Integer i = 0; i < list_->GetCount(); ++i) {
      if (list_->Selected(i) && !IsFolder(i)) names.push_back(list_->GetItems()->Strings(i));
    }
    if (names.size() == 1) {
      nameEdit_->SetText(names.front());
    } else if (names.size() > 1) {
      AnsiString text;
      for (const AnsiString& n : names) text += (text.empty() ? "\"" : " \"") + n + "\"";
      nameEdit_->SetText(text);
    }
    Notify(CDN_SELCHANGE);
  }

  void TypeChanged() {
    customPattern_.clear();
    ofn_->nFilterIndex = static_cast<DWORD>(typeCombo_->GetItemIndex() + 1);
    FillList();
    Notify(CDN_TYPECHANGE);
  }

  void EnterFolder(const AnsiString& folder) {
    const AnsiString target = Normalise(folder);
    if (!DirectoryExists(target)) return;
    folder_ = target;
    FillFolderCombo();
    FillList();
    Notify(CDN_FOLDERCHANGE);
  }

  void Open(Integer index) {
    if (IsFolder(index)) {
      EnterFolder(Join(folder_, list_->GetItems()->Strings(index)));
      nameEdit_->SetText("");
    } else if (index >= 0) {
      Accept();
    }
  }

  void Warn(const AnsiString& text) {
    ::MessageBox(GetHandle(), text.c_str(), GetCaption().c_str(), MB_OK | MB_ICONEXCLAMATION);
  }

  AnsiString WithDefaultExt(AnsiString path) const {
    if (!ExtractFileExt(ExtractFileName(path)).empty()) return path;
    AnsiString ext = defExt_;
    // A save takes the extension of the type's first pattern when it names one.
    const std::vector<AnsiString> patterns = CurrentPatterns();
    if (save_ && !ext.empty() && !patterns.empty() && patterns[0].rfind("*.", 0) == 0 &&
        patterns[0].size() > 2 && patterns[0].find_first_of("*?", 2) == AnsiString::npos)
      ext = patterns[0].substr(2);
    if (ext.empty()) return path;
    if (save_ || (!FileExists(path) && FileExists(path + "." + ext))) return path + "." + ext;
    return path;
  }

  // OK: the typed names are checked and handed back, or the dialog goes on.
  void Accept() {
    const AnsiString typed = nameEdit_->GetText();
    const std::vector<AnsiString> names = TypedNames(typed);
    if (names.empty()) {
      if (list_->GetSelCount() == 1 && IsFolder(list_->GetItemIndex())) Open(list_->GetItemIndex());
      return;
    }
    if (names.size() == 1) {
      const AnsiString& name = names.front();
      if (name.find_first_of("*?") != AnsiString::npos) {
        customPattern_ = name;
        FillList();
        return;
      }
      const AnsiString path = Join(folder_, name);
      if (DirectoryExists(path)) {
        EnterFolder(path);
        nameEdit_->SetText("");
        return;
      }
    }
    std::vector<AnsiString> paths;
    for (const AnsiString& name : names) {
      const AnsiString path = WithDefaultExt(Join(folder_, name));
      const bool validate = !(ofn_->Flags & OFN_NOVALIDATE);
      if (validate && !DirectoryExists(ExtractFileDir(path))) {
        Warn(name + "\nPath does not exist.\nCheck the path and try again.");
        return;
      }
      if (validate && !save_ && (ofn_->Flags & OFN_FILEMUSTEXIST) && !FileExists(path)) {
        Warn(name + "\nFile not found.\nCheck the file name and try again.");
        return;
      }
      paths.push_back(path);
    }
    if (save_ && (ofn_->Flags & OFN_OVERWRITEPROMPT) && FileExists(paths.front())) {
      const AnsiString question = ExtractFileName(paths.front()) + " already exists.\nDo you want to replace it?";
      if (::MessageBox(GetHandle(), question.c_str(), "Confirm Save As",
                       MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) != IDYES)
        return;
    }
    if (!HandBack(paths)) {
      failed_ = true;
      SetModalResult(mrCancel);
      return;
    }
    if (Notify(CDN_FILEOK)) return;  // the hook refused: the dialog stays
    SetModalResult(mrOk);
  }

  // Fills the caller's buffer; false when it is too small (its first two bytes then
  // hold the size needed).
  bool HandBack(const std::vector<AnsiString>& paths) {
    AnsiString out;
    WORD offset = 0;
    WORD extension = 0;
    if (paths.size() == 1) {
      out = paths.front();
      out.push_back('\0');
      offset = static_cast<WORD>(out.size() - 1 - ExtractFileName(paths.front()).size());
      const AnsiString ext = ExtractFileExt(ExtractFileName(paths.front()));
      extension = ext.empty() ? 0 : static_cast<WORD>(out.size() - ext.size());
    } else {
      out = folder_;
      out.push_back('\0');
      offset = static_cast<WORD>(out.size());
      for (const AnsiString& p : paths) {
        out += ExtractFileDir(p) == folder_ ? ExtractFileName(p) : p;
        out.push_back('\0');
      }
      out.push_back('\0');
    }
    if (!ofn_->lpstrFile || out.size() > ofn_->nMaxFile) {
      SetCommDlgExtendedError(FNERR_BUFFERTOOSMALL);
      if (ofn_->lpstrFile && ofn_->nMaxFile >= 2) {
        const auto needed = static_cast<WORD>(std::min<size_t>(out.size(), 0xFFFF));
        std::memcpy(ofn_->lpstrFile, &needed, 2);
      }
      return false;
    }
    std::memcpy(ofn_->lpstrFile, out.data(), out.size());
    ofn_->nFileOffset = offset;
    ofn_->nFileExtension = extension;
    if (ofn_->lpstrFileTitle && ofn_->nMaxFileTitle > 0) {
      const AnsiString title = ExtractFileName(paths.front()).substr(0, ofn_->nMaxFileTitle - 1);
      std::memcpy(ofn_->lpstrFileTitle, title.c_str(), title.size() + 1);
    }
    ofn_->Flags &= ~(OFN_READONLY | OFN_EXTENSIONDIFFERENT);
    if (readOnly_->GetVisible() && readOnly_->GetChecked()) ofn_->Flags |= OFN_READONLY;
    const AnsiString ext = ExtractFileExt(ExtractFileName(paths.front()));
    if (ofn_->lpstrDefExt && strcasecmp(ext.empty() ? "" : ext.c_str() + 1, ofn_->lpstrDefExt) != 0)
      ofn_->Flags |= OFN_EXTENSIONDIFFERENT;
    ofn_->nFilterIndex = static_cast<DWORD>(typeCombo_->GetItemIndex() + 1);
    return true;
  }

  OPENFILENAME* ofn_;
  bool save_;
  bool failed_ = false;
  std::vector<Filter> filters_;
  AnsiString defExt_;
  AnsiString customPattern_;
  AnsiString folder_;
  std::vector<AnsiString> folderChain_;
  std::vector<std::pair<TControl*, Integer>> ids_;
  Integer stdHeight_ = kStdHeight;
  HWND child_ = 0;
  TComboBox* folderCombo_ = nullptr;
  TButton* upButton_ = nullptr;
  TListBox* list_ = nullptr;
  TEdit* nameEdit_ = nullptr;
  TComboBox* typeCombo_ = nullptr;
  TButton* okButton_ = nullptr;
  TButton* cancelButton_ = nullptr;
  TCheckBox* readOnly_ = nullptr;
};

}  // namespace

BOOL FileDialogForm(OPENFILENAME* ofn, bool save) {
  SetCommDlgExtendedError(0);
  TFileDialogForm form(ofn, save);
  const AnsiString caption = form.GetCaption();
  const Integer result = form.Execute(caption, "", ofn->Flags);
  if (form.Failed()) return FALSE;
  return result == mrOk ? TRUE : FALSE;
}

