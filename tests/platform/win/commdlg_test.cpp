// The open and save dialogs on a real folder tree: the notifications a hook hears
// while a person browses, the CDM_ answers, the checks of OK, the caller's buffer, the
// template placed with the dialog's own controls, and the responder's answers.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/sim/Dialogs.h"
#include "platform/sim/Input.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/StdCtrls.h"
#include "platform/win/CommDlg.h"
#include "platform/win/MessageBox.h"
#include "tests/support/Peers.h"
#include "tests/support/Pump.h"

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
    SendMessage(dialog, CDM_HIDECONTROL, chx1, 0);
    EXPECT_FALSE(FindControl(GetDlgItem(dialog, chx1))->GetVisible());
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

}  // namespace
