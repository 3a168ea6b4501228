// The open and save dialogs on a real folder tree: the notifications a hook hears
// while a person browses, the CDM_ answers, the checks of OK, the caller's buffer, the
// template placed with the dialog's own controls, and the responder's answers.
#include <gtest/gtest.h>

#include <cstring>
#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "platform/sim/Dialogs.h"
#include "platform/sim/Input.h"
#include "platform/vcl/Application.h"
#include "platform/sim/Screen.h"
#include "platform/vcl/Dialogs.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/win/CommDlg.h"
#include "platform/win/MessageBox.h"
#include "tests/support/Peers.h"
#include "tests/support/Pump.h"

#include <sys/stat.h>

namespace {

void Pump() {
  Application->ProcessMessages();
  larktest::PumpUntilIdle();
  Application->ProcessMessages();
}

// What the hook heard, and how often it refuses OK.
struct HookLog {
  std::vector<UINT> Codes;
  std::vector<DWORD> FilterIndexAtTypeChange;
  HWND Child = 0;
  int Vetoes = 0;
};
HookLog* gHook = nullptr;

UINT_PTR Hook(HWND dlg, UINT msg, WPARAM, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    gHook->Child = dlg;
    return 1;
  }
  if (msg != WM_NOTIFY) return 0;
  const auto* n = reinterpret_cast<const OFNOTIFY*>(lParam);
  gHook->Codes.push_back(n->hdr.code);
  if (n->hdr.code == CDN_TYPECHANGE) gHook->FilterIndexAtTypeChange.push_back(n->lpOFN->nFilterIndex);
  if (n->hdr.code == CDN_FILEOK && gHook->Vetoes > 0) {
    --gHook->Vetoes;
    SetWindowLong(dlg, DWL_MSGRESULT, 1);
    return 1;
  }
  return 0;
}

std::string Ask(HWND dialog, UINT cdm) {
  char buffer[512] = {};
  const LRESULT n = SendMessage(dialog, cdm, sizeof buffer, reinterpret_cast<LPARAM>(buffer));
  return n > 0 ? std::string(buffer) : std::string("<") + std::to_string(n) + ">";
}

class FileDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    (void)Application->GetHandle();  // the framework hosts the dialogs
    sim::SetDialogEcho(false);
    root_ = dir_.Path().substr(0, dir_.Path().size() - 1);
    mkdir((root_ + "/a").c_str(), 0755);
    mkdir((root_ + "/zz").c_str(), 0755);
    for (const char* name : {"a/x.txt", "b.txt", "c.png", "d.TXT", ".hidden.txt"})
      std::ofstream(root_ + "/" + name) << name;
    gHook = &hook_;
    std::memset(file_, 0, sizeof file_);
    ofn_.lpstrFilter = "Text files (*.txt)\0*.txt\0Pictures\0*.png;*.jpg\0All files\0*.*\0";
    ofn_.nFilterIndex = 1;
    ofn_.lpstrFile = file_;
    ofn_.nMaxFile = sizeof file_;
    ofn_.lpstrInitialDir = root_.c_str();
    ofn_.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_HIDEREADONLY;
    ofn_.lpfnHook = &Hook;
  }
  void TearDown() override {
    gHook = nullptr;
    sim::SetDialogEcho(true);
  }

  // The entries the dialog lists now.
  static std::vector<std::string> Listed(HWND dialog) {
    auto* list = static_cast<TListBox*>(FindControl(GetDlgItem(dialog, lst1)));
    std::vector<std::string> names;
    for (Integer i = 0; i < list->GetCount(); ++i) names.push_back(list->GetItems()->Strings(i));
    return names;
  }
  static void ClickEntry(HWND dialog, const std::string& name, bool twice = false, unsigned modifiers = 0) {
    auto* list = static_cast<TListBox*>(FindControl(GetDlgItem(dialog, lst1)));
    const Integer index = list->GetItems()->IndexOf(name);
    ASSERT_GE(index, 0) << name;
    const RECT r = list->ItemRect(index);
    if (twice)
      sim::DoubleClick(list->GetHandle(), r.left + 30, (r.top + r.bottom) / 2);
    else
      sim::Click(list->GetHandle(), r.left + 30, (r.top + r.bottom) / 2, sim::Button::Left, modifiers);
    Pump();
  }

  larktest::TempDir dir_;
  std::string root_;
  HookLog hook_;
  char file_[MAX_PATH];
  OPENFILENAME ofn_;
};

TEST_F(FileDialogs, BrowsingNotifiesTheHookAndTheDialogAnswersItsMessages) {
  hook_.Vetoes = 1;
  bool stillOpenAfterVeto = false;
  sim::QueueDialogAction("Open", [&](HWND dialog) {
    Pump();
    EXPECT_EQ(GetParent(hook_.Child), dialog);
    EXPECT_EQ(hook_.Codes, (std::vector<UINT>{CDN_INITDONE, CDN_FOLDERCHANGE}));
    EXPECT_EQ(Ask(dialog, CDM_GETFOLDERPATH), root_);
    // Folders first, then the files of the first type; hidden names are left out.
    EXPECT_EQ(Listed(dialog), (std::vector<std::string>{"a", "zz", "b.txt", "d.TXT"}));

    ClickEntry(dialog, "b.txt");
    EXPECT_EQ(hook_.Codes.back(), CDN_SELCHANGE);
    EXPECT_EQ(Ask(dialog, CDM_GETSPEC), "b.txt");
    EXPECT_EQ(Ask(dialog, CDM_GETFILEPATH), root_ + "/b.txt");

    // The second type, by keyboard: Alt+T goes to the type list.
    sim::PressKey('T', sim::kAlt);
    Pump();
    sim::PressKey(VK_DOWN);
    Pump();
    EXPECT_EQ(hook_.Codes.back(), CDN_TYPECHANGE);
    EXPECT_EQ(hook_.FilterIndexAtTypeChange, (std::vector<DWORD>{2}));
    EXPECT_EQ(Listed(dialog), (std::vector<std::string>{"a", "zz", "c.png"}));

    // Into folder a by a double click; back to the text files.
    ClickEntry(dialog, "a", true);
    EXPECT_EQ(hook_.Codes.back(), CDN_FOLDERCHANGE);
    EXPECT_EQ(Ask(dialog, CDM_GETFOLDERPATH), root_ + "/a");
    sim::PressKey('T', sim::kAlt);
    Pump();
    sim::PressKey(VK_UP);
    Pump();
    EXPECT_EQ(Listed(dialog), (std::vector<std::string>{"x.txt"}));

    // A caller's text in the dialog's own controls, and a hidden one.
    char okText[] = "&Take";
    SendMessage(dialog, CDM_SETCONTROLTEXT, IDOK, reinterpret_cast<LPARAM>(okText));
    EXPECT_EQ(FindControl(GetDlgItem(dialog, IDOK))->GetText(), "&Take");
    SendMessage(dialog, CDM_HIDECONTROL, stc2, 0);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, stc2)));
    // Too small a buffer gets the size it needs and nothing else.
    char tiny[3] = "xy";
    EXPECT_EQ(SendMessage(dialog, CDM_GETFOLDERPATH, sizeof tiny, reinterpret_cast<LPARAM>(tiny)),
              static_cast<LRESULT>(root_.size() + 3));
    EXPECT_STREQ(tiny, "xy");

    // OK on x.txt: the hook refuses once, and the dialog stays.
    ClickEntry(dialog, "x.txt");
    sim::PressKey(VK_RETURN);
    Pump();
    EXPECT_EQ(hook_.Codes.back(), CDN_FILEOK);
    stillOpenAfterVeto = IsWindowVisible(dialog) != 0;
    sim::PressKey(VK_RETURN);
    Pump();
  });
  ASSERT_TRUE(GetOpenFileName(&ofn_));
  EXPECT_TRUE(stillOpenAfterVeto);
  EXPECT_EQ(std::count(hook_.Codes.begin(), hook_.Codes.end(), CDN_FILEOK), 2);
  const std::string chosen = root_ + "/a/x.txt";
  EXPECT_EQ(std::string(file_), chosen);
  EXPECT_EQ(ofn_.nFileOffset, chosen.size() - 5);
  EXPECT_EQ(ofn_.nFileExtension, chosen.size() - 3);
  EXPECT_EQ(ofn_.nFilterIndex, 1u);
}

struct AnswerCase {
  const char* name;
  bool save;
  DWORD flags;
  DWORD filterIndex;
  const char* typed;           // the name the responder types
  std::vector<std::pair<const char*, Integer>> prompts;  // answers to the message boxes on the way
  bool chosen;
  const char* path;            // relative to the tree
  std::vector<const char*> boxes;  // text each message box on the way starts with
};

class FileDialogAnswers : public FileDialogs, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(FileDialogAnswers, AreCheckedLikeTyping) {
  const AnswerCase& c = GetParam();
  ofn_.Flags = OFN_EXPLORER | c.flags;
  ofn_.lpfnHook = nullptr;
  ofn_.nFilterIndex = c.filterIndex;
  ofn_.lpstrDefExt = "txt";
  sim::QueueDialogAnswer(c.save ? "Save As" : "Open", IDOK, c.typed);
  for (const auto& [match, answer] : c.prompts) sim::QueueDialogAnswer(match, answer);
  const BOOL chosen = c.save ? GetSaveFileName(&ofn_) : GetOpenFileName(&ofn_);
  EXPECT_EQ(chosen != 0, c.chosen);
  if (c.chosen) {
    EXPECT_EQ(std::string(file_), root_ + "/" + c.path);
  }
  std::vector<std::string> boxes;
  for (const sim::DialogRecord& r : sim::DialogLog())
    if (r.Kind == sim::DialogKind::MessageBox) boxes.push_back(r.Text);
  ASSERT_EQ(boxes.size(), c.boxes.size());
  for (size_t i = 0; i < boxes.size(); ++i) EXPECT_EQ(boxes[i].rfind(c.boxes[i], 0), 0u) << boxes[i];
  EXPECT_EQ(sim::QueuedDialogAnswers(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    FileDialogs, FileDialogAnswers,
    ::testing::Values(
        AnswerCase{"OpenAnExistingFile", false, OFN_FILEMUSTEXIST, 1, "b.txt", {}, true, "b.txt", {}},
        AnswerCase{"OpenInAFolderByPath", false, OFN_FILEMUSTEXIST, 1, "a/x.txt", {}, true, "a/x.txt", {}},
        AnswerCase{"OpenTakesTheDefaultExtensionWhenThatFileExists", false, OFN_FILEMUSTEXIST, 1, "b", {},
                   true, "b.txt", {}},
        // Refused twice (the script's name, then the same name again): Cancel.
        AnswerCase{"OpenAMissingFileIsRefused", false, OFN_FILEMUSTEXIST, 1, "missing.txt", {}, false, "",
                   {"missing.txt\nFile not found.", "missing.txt\nFile not found."}},
        AnswerCase{"OpenAMissingFileWithoutTheCheck", false, 0, 1, "missing.txt", {}, true, "missing.txt", {}},
        AnswerCase{"AMissingFolderIsRefused", true, 0, 1, "nowhere/new.txt", {}, false, "",
                   {"nowhere/new.txt\nPath does not exist.", "nowhere/new.txt\nPath does not exist."}},
        AnswerCase{"SaveANewNameTakesTheDefaultExtension", true, OFN_OVERWRITEPROMPT, 1, "new", {}, true,
                   "new.txt", {}},
        AnswerCase{"SaveTakesTheTypesExtension", true, 0, 2, "pic", {}, true, "pic.png", {}},
        AnswerCase{"SaveKeepsAnExtensionTyped", true, 0, 2, "notes.md", {}, true, "notes.md", {}},
        AnswerCase{"ReplacingIsAskedAndYesReplaces", true, OFN_OVERWRITEPROMPT, 1, "b.txt",
                   {{"Confirm Save As", IDYES}}, true, "b.txt", {"b.txt already exists."}},
        AnswerCase{"ReplacingIsAskedAndNoKeepsTheFile", true, OFN_OVERWRITEPROMPT, 1, "b.txt",
                   {{"Confirm Save As", IDNO}}, false, "",
                   {"b.txt already exists.", "b.txt already exists."}},
        AnswerCase{"ReplacingWithoutThePromptIsNotAsked", true, 0, 1, "b.txt", {}, true, "b.txt", {}}),
    [](const ::testing::TestParamInfo<AnswerCase>& info) { return std::string(info.param.name); });

TEST_F(FileDialogs, TooSmallABufferFailsAndSaysTheSizeNeeded) {
  char small[8] = "";
  ofn_.lpstrFile = small;
  ofn_.nMaxFile = sizeof small;
  ofn_.lpfnHook = nullptr;
  sim::QueueDialogAnswer("Open", IDOK, "b.txt");
  EXPECT_FALSE(GetOpenFileName(&ofn_));
  EXPECT_EQ(CommDlgExtendedError(), FNERR_BUFFERTOOSMALL);
  WORD needed = 0;
  std::memcpy(&needed, small, 2);
  EXPECT_EQ(needed, root_.size() + 7);
  // Cancel is not a failure.
  ofn_.lpstrFile = file_;
  ofn_.nMaxFile = sizeof file_;
  sim::QueueDialogAnswer("Open", IDCANCEL);
  EXPECT_FALSE(GetOpenFileName(&ofn_));
  EXPECT_EQ(CommDlgExtendedError(), 0u);
  // A template that was never registered.
  ofn_.Flags |= OFN_ENABLETEMPLATE;
  ofn_.lpTemplateName = "NO_SUCH_TEMPLATE";
  EXPECT_FALSE(GetOpenFileName(&ofn_));
  EXPECT_EQ(CommDlgExtendedError(), CDERR_NOTEMPLATE);
}

TEST_F(FileDialogs, SeveralFilesChosenWithTheMouseComeBackAsFolderAndNames) {
  ofn_.Flags |= OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST;
  ofn_.nFilterIndex = 3;
  sim::QueueDialogAction("Open", [&](HWND dialog) {
    Pump();
    ClickEntry(dialog, "b.txt");
    ClickEntry(dialog, "d.TXT", false, sim::kCtrl);
    EXPECT_EQ(Ask(dialog, CDM_GETSPEC), "\"b.txt\" \"d.TXT\"");
    sim::PressKey(VK_RETURN);
    Pump();
  });
  ASSERT_TRUE(GetOpenFileName(&ofn_));
  const std::string folder(file_);
  EXPECT_EQ(folder, root_);
  EXPECT_EQ(ofn_.nFileOffset, root_.size() + 1);
  EXPECT_STREQ(file_ + root_.size() + 1, "b.txt");
  EXPECT_STREQ(file_ + root_.size() + 7, "d.TXT");
  EXPECT_EQ(file_[root_.size() + 13], '\0');

  // The component makes the same into Files.
  TOpenDialog open(nullptr);
  open.SetInitialDir(root_);
  open.SetFilter("All files|*.*");
  open.SetOptions(TOpenOptions{ofAllowMultiSelect, ofFileMustExist, ofHideReadOnly});
  sim::QueueDialogAnswer("Open", IDOK, "\"b.txt\" \"c.png\"");
  ASSERT_TRUE(open.Execute());
  ASSERT_EQ(open.GetFiles()->GetCount(), 2);
  EXPECT_EQ(open.GetFiles()->Strings(0), root_ + "/b.txt");
  EXPECT_EQ(open.GetFiles()->Strings(1), root_ + "/c.png");
  EXPECT_EQ(open.GetFileName(), root_ + "/b.txt");
}

TEST_F(FileDialogs, TheComponentsCarryTheirSettingsThroughTheCall) {
  TSaveDialog save(nullptr);
  save.SetInitialDir(root_);
  save.SetFilter("Text files (*.txt)|*.txt|Pictures|*.png");
  save.SetFilterIndex(2);
  save.SetDefaultExt("txt");
  save.SetTitle("Save the feed");
  save.SetOptions(TOpenOptions{ofOverwritePrompt, ofHideReadOnly});
  sim::QueueDialogAnswer("Save the feed", IDOK, "c");
  sim::QueueDialogAnswer("Confirm Save As", IDYES);
  ASSERT_TRUE(save.Execute());
  EXPECT_EQ(save.GetFileName(), root_ + "/c.png");
  EXPECT_EQ(save.GetFilterIndex(), 2);
  EXPECT_TRUE(save.GetOptions().Contains(ofExtensionDifferent));
  EXPECT_EQ(sim::QueuedDialogAnswers(), 0);

  // A name longer than the usual buffer comes back whole.
  const std::string longName(300, 'n');
  TOpenDialog open(nullptr);
  open.SetFileName(root_ + "/" + longName);
  sim::QueueDialogAnswer("Open", IDOK);
  ASSERT_TRUE(open.Execute());
  EXPECT_EQ(open.GetFileName(), root_ + "/" + longName);
  // Cancel leaves FileName as it was.
  open.SetFileName("kept");
  sim::QueueDialogAnswer("Open", IDCANCEL, "other");
  EXPECT_FALSE(open.Execute());
  EXPECT_EQ(open.GetFileName(), "kept");
}

// A template whose placeholder says where the dialog's own controls go: what lies
// right of it moves right as far as they need; without a placeholder the template
// lies below them.
TEST_F(FileDialogs, TemplatesPlaceTheCallersControlsWithTheDialogs) {
  DialogTemplate withPlaceholder;
  withPlaceholder.Cx = 382;
  withPlaceholder.Cy = 181;
  withPlaceholder.Items = {{"STATIC", "", stc32, WS_CHILD | WS_VISIBLE, 2, 4, 278, 145},
                           {"STATIC", "Preview", 900, WS_CHILD | WS_VISIBLE, 290, 4, 80, 20}};
  RegisterDialogTemplate(7, "IDD_PREVIEW", withPlaceholder);
  DialogTemplate below;
  below.Cx = 200;
  below.Cy = 30;
  below.Items = {{"STATIC", "Below", 901, WS_CHILD | WS_VISIBLE, 4, 4, 100, 12}};
  RegisterDialogTemplate(7, "IDD_BELOW", below);

  ofn_.hInstance = 7;
  ofn_.Flags |= OFN_ENABLETEMPLATE;
  ofn_.lpTemplateName = "IDD_PREVIEW";
  RECT placeholder{}, preview{}, okButton{};
  sim::QueueDialogAction("Open", [&](HWND dialog) {
    Pump();
    auto rectIn = [&](HWND w) {
      RECT r;
      GetWindowRect(w, &r);
      MapWindowPoints(0, dialog, reinterpret_cast<POINT*>(&r), 2);
      return r;
    };
    placeholder = rectIn(GetDlgItem(hook_.Child, stc32));
    preview = rectIn(GetDlgItem(hook_.Child, 900));
    okButton = rectIn(GetDlgItem(dialog, IDOK));
    EXPECT_TRUE(sim::SaveWindowPng(dialog, std::string(LARK_TEST_BINARY_DIR) + "/open_dialog_template.png"));
    sim::PressKey(VK_ESCAPE);
    Pump();
  });
  EXPECT_FALSE(GetOpenFileName(&ofn_));
  // The placeholder at 2,4 dialog units (3,6 pixels) grown to the controls' size;
  // the preview moved right by as much as the placeholder grew.
  EXPECT_EQ(placeholder.left, 3);
  EXPECT_EQ(placeholder.top, 6);
  EXPECT_EQ(placeholder.right - placeholder.left, 424);
  EXPECT_EQ(preview.left, 290 * 6 / 4 + (424 - (280 * 6 / 4 - 2 * 6 / 4)));
  EXPECT_GT(okButton.left, placeholder.left + 300);
  EXPECT_LT(okButton.right, placeholder.right);

  ofn_.lpTemplateName = "IDD_BELOW";
  RECT belowItem{}, cancelButton{};
  sim::QueueDialogAction("Open", [&](HWND dialog) {
    Pump();
    RECT r;
    GetWindowRect(GetDlgItem(hook_.Child, 901), &r);
    MapWindowPoints(0, dialog, reinterpret_cast<POINT*>(&r), 2);
    belowItem = r;
    GetWindowRect(GetDlgItem(dialog, IDCANCEL), &r);
    MapWindowPoints(0, dialog, reinterpret_cast<POINT*>(&r), 2);
    cancelButton = r;
    sim::PressKey(VK_ESCAPE);
    Pump();
  });
  EXPECT_FALSE(GetOpenFileName(&ofn_));
  EXPECT_GT(belowItem.top, cancelButton.bottom);
  UnregisterDialogTemplate(7, "IDD_PREVIEW");
  UnregisterDialogTemplate(7, "IDD_BELOW");
}

TEST_F(FileDialogs, OpenDialogPicture) {
  ASSERT_TRUE(sim::UseFreeTypeFonts(true));
  ofn_.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST;
  ofn_.nFilterIndex = 3;
  sim::QueueDialogAction("Open", [&](HWND dialog) {
    Pump();
    ClickEntry(dialog, "c.png");
    EXPECT_TRUE(sim::SaveWindowPng(dialog, std::string(LARK_TEST_BINARY_DIR) + "/open_dialog.png"));
    sim::PressKey(VK_ESCAPE);
    Pump();
  });
  EXPECT_FALSE(GetOpenFileName(&ofn_));
  sim::UseFreeTypeFonts(false);
}

}  // namespace
