// The two print forms driven as a person would: margins typed and stepped, inches and
// cm switched back and forth, the position grid, the size list, OK printing once with
// the task name as the job's title, Cancel printing nothing, and the maximised form
// answering true however it closes.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "image/views/dadirav.h"
#include "image/views/ieprnform.h"
#include "platform/printer/Printer.h"
#include "platform/printer/SimHooks.h"
#include "platform/sim/Dialogs.h"
#include "platform/sim/Input.h"
#include "platform/sim/Screen.h"
#include "platform/vcl/Application.h"
#include "platform/win/Input.h"
#include "tests/support/Peers.h"
#include "tests/support/Pump.h"

namespace fs = std::filesystem;
using larktest::RequireProgram;
using larktest::RunCommand;

namespace {

// Runs steps posted to a hidden window, so that a test can act inside a modal loop.
class Steps {
 public:
  Steps() {
    window_ = AllocateHWnd([this](TMessage& m) {
      if (m.Msg < WM_USER) return;
      auto it = steps_.find(static_cast<int>(m.Msg - WM_USER));
      if (it != steps_.end()) it->second();
    });
  }
  ~Steps() { DeallocateHWnd(window_); }
  void On(int step, std::function<void()> action) { steps_[step] = std::move(action); }
  void Post(int step) { PostMessage(window_, WM_USER + static_cast<UINT>(step), 0, 0); }

 private:
  HWND window_ = 0;
  std::map<int, std::function<void()>> steps_;
};

void Pump() {
  Application->ProcessMessages();
  larktest::PumpUntilIdle();
  Application->ProcessMessages();
}

// The arrows of an up-down: the upper half steps up, the lower half down.
void Step(TUpDown* upDown, bool up) {
  sim::Click(upDown->GetHandle(), upDown->GetWidth() / 2, up ? 2 : upDown->GetHeight() - 3);
  Pump();
}

// Replaces an edit's text by typing.
void Type(TEdit* edit, const std::string& text) {
  edit->SetFocus();
  Pump();
  sim::PressKey(VK_END);
  for (size_t i = edit->GetText().size(); i > 0; --i) sim::PressKey(VK_BACK);
  sim::TypeText(text);
  Pump();
}

// A speed button of the grid, clicked in its parent.
void Press(TSpeedButton* button) {
  sim::Click(button->GetParent()->GetHandle(), button->GetLeft() + 5, button->GetTop() + 5);
  Pump();
}

std::string Shot(const std::string& name) { return std::string(LARK_TEST_BINARY_DIR) + "/print_" + name + ".png"; }

class PrintFormsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::SetDialogEcho(false);
    sim::SetSpoolFolder(dir_.Path() + "spool");
    view_.GetIEBitmap()->Allocate(300, 150, ie24RGB);
    for (Integer y = 0; y < 150; ++y)
      for (Integer x = 0; x < 300; ++x) view_.GetIEBitmap()->SetPixels_ie24RGB(x, y, TRGB{40, 20, 200});
    view_.GetIOParams()->DpiX = view_.GetIOParams()->DpiY = 150;
    view_.SetDPI(150, 150);
    view_.GetDadirAvIO()->OnIOPreview = [this](TObject*, TForm* form) {
      form_ = static_cast<TIEPrintFormBase*>(form);
      form->OnShow = [this](TObject*) { steps_.Post(1); };
    };
  }
  size_t Jobs() {
    size_t n = 0;
    if (fs::exists(dir_.Path() + "spool"))
      for (auto& e : fs::directory_iterator(dir_.Path() + "spool")) n += e.is_directory();
    return n;
  }

  larktest::TempDir dir_;
  TDadirAv view_{nullptr};
  TIEPrintFormBase* form_ = nullptr;
  Steps steps_;
};

TEST_F(PrintFormsTest, CompactDialogMarginsUnitsGridAndOk) {
  view_.SetDialogsMeasureUnit(ieduSelectableDefInches);
  steps_.On(1, [&] {
    auto* f = static_cast<Tfieprnform2*>(form_);
    Pump();
    EXPECT_TRUE(f->GroupBox6->GetVisible());
    EXPECT_EQ(f->ComboBox1->GetItemIndex(), 1);
    EXPECT_EQ(f->GroupBox1->GetCaption(), " Margins (inches) ");
    sim::SaveWindowPng(f->GetHandle(), Shot("dialog"));
    // Every margin steps by a hundredth, the left one like the others.
    Step(f->UpDowns[0], true);
    Step(f->UpDowns[1], true);
    Step(f->UpDowns[2], false);
    EXPECT_EQ(f->Edit1->GetText(), "1.01");
    EXPECT_EQ(f->Edit2->GetText(), "1.01");
    EXPECT_EQ(f->Edit3->GetText(), "0.99");
    Type(f->Edit4, "0.005");
    Step(f->UpDowns[3], false);
    EXPECT_EQ(f->Edit4->GetText(), "0");
    Type(f->Edit7, "0.05");
    Step(f->UpDowns[6], false);
    EXPECT_EQ(f->Edit7->GetText(), "0");
    // Inches to cm and back.
    f->ComboBox2->SetFocus();
    sim::PressKey(VK_DOWN);
    Pump();
    EXPECT_EQ(f->Edit1->GetText(), "2.5654");
    EXPECT_EQ(f->Edit5->GetText(), "15.24");
    EXPECT_EQ(f->GroupBox1->GetCaption(), " Margins (cm) ");
    EXPECT_EQ(f->Label7->GetCaption(), "cm");
    sim::PressKey(VK_UP);
    Pump();
    EXPECT_EQ(f->Edit1->GetText(), "1.01");
    EXPECT_EQ(f->Edit5->GetText(), "6");
    // Margins of exactly 1 inch, the image at the bottom right, normal size.
    for (TEdit* e : {f->Edit1, f->Edit2, f->Edit3, f->Edit4}) Type(e, "1");
    Type(f->Edit7, "1");
    Press(f->SpeedButtons[8]);
    EXPECT_TRUE(f->SpeedButtons[8]->GetDown());
    EXPECT_FALSE(f->SpeedButtons[4]->GetDown());
    f->ComboBox1->SetFocus();
    sim::PressKey(VK_UP);  // Fit to page -> Normal
    Pump();
    EXPECT_EQ(f->ComboBox1->GetItemIndex(), 0);
    EXPECT_FALSE(f->Edit5->GetEnabled());
    sim::SaveWindowPng(f->GetHandle(), Shot("dialog_bottom_right"));
    sim::Click(f->Button1->GetHandle(), 5, 5);
  });
  EXPECT_TRUE(view_.DoPrintPreviewDialog(iedtDialog, "Sunset print"));
  ASSERT_EQ(Jobs(), 1u);
  const fs::path job = fs::path(dir_.Path()) / "spool" / "Sunset print";
  ASSERT_TRUE(fs::exists(job / "page001.png"));
  EXPECT_FALSE(fs::exists(job / "page002.png"));
  // 2 x 1 inches at 150 DPI, its bottom right corner an inch from the page's.
  EXPECT_EQ(RunCommand({RequireProgram("identify-im6.q16"), "-format", "%@", (job / "page001.png").string()}),
            "300x150+825+1350");
}

TEST_F(PrintFormsTest, CompactDialogInCmAndCancel) {
  view_.SetDialogsMeasureUnit(ieduCm);
  steps_.On(1, [&] {
    auto* f = static_cast<Tfieprnform2*>(form_);
    Pump();
    EXPECT_FALSE(f->GroupBox6->GetVisible());
    EXPECT_EQ(f->GroupBox1->GetCaption(), " Margins (cm) ");
    // Specified size enables the size fields.
    f->ComboBox1->SetFocus();
    sim::PressKey(VK_DOWN);
    sim::PressKey(VK_DOWN);
    Pump();
    EXPECT_EQ(f->ComboBox1->GetItemIndex(), 3);
    EXPECT_TRUE(f->Edit5->GetEnabled());
    EXPECT_TRUE(f->Label5->GetEnabled());
    Type(f->Edit5, "wide");  // not a number: a size of 1
    EXPECT_EQ(f->Edit5->GetText(), "wide");
    sim::Click(f->Button2->GetHandle(), 5, 5);
  });
  EXPECT_FALSE(view_.DoPrintPreviewDialog(iedtDialog, "never"));
  EXPECT_EQ(Jobs(), 0u);
}

TEST_F(PrintFormsTest, CmMarginsPrintInInches) {
  view_.SetDialogsMeasureUnit(ieduCm);
  steps_.On(1, [&] {
    auto* f = static_cast<Tfieprnform2*>(form_);
    Pump();
    for (TEdit* e : {f->Edit1, f->Edit2, f->Edit3, f->Edit4}) Type(e, "2.54");
    Press(f->SpeedButtons[0]);  // top left
    f->ComboBox1->SetFocus();
    sim::PressKey(VK_UP);  // Normal
    Pump();
    sim::Click(f->Button1->GetHandle(), 5, 5);
  });
  EXPECT_TRUE(view_.DoPrintPreviewDialog(iedtDialog, "cm"));
  EXPECT_EQ(RunCommand({RequireProgram("identify-im6.q16"), "-format", "%@",
                        (fs::path(dir_.Path()) / "spool" / "cm" / "page001.png").string()}),
            "300x150+150+150");
}

TEST_F(PrintFormsTest, MaximisedFormAnswersTrueHoweverItCloses) {
  const std::function<void(tfieprnform1*)> closers[] = {
      [](tfieprnform1* f) { f->SpeedButton12->Click(); },
      [](tfieprnform1* f) { f->Exit1->Click(); },
      [](tfieprnform1* f) { f->Close(); },
  };
  for (const auto& close : closers) {
    steps_.On(1, [&] {
      auto* f = static_cast<tfieprnform1*>(form_);
      Pump();
      EXPECT_EQ(f->GetWindowState(), wsMaximized);
      EXPECT_EQ(f->ComboBox1->GetItemIndex(), 1);
      sim::SaveWindowPng(f->GetHandle(), Shot("maximised"));
      close(f);
    });
    EXPECT_TRUE(view_.DoPrintPreviewDialog(iedtMaxi, "maxi"));
  }
  EXPECT_EQ(Jobs(), 0u);
  // Printing does not close it; it prints each time it is asked.
  steps_.On(1, [&] {
    auto* f = static_cast<tfieprnform1*>(form_);
    Pump();
    f->SpeedButton11->Click();
    f->Print1->Click();
    Pump();
    EXPECT_TRUE(f->GetVisible());
    f->SpeedButton12->Click();
  });
  EXPECT_TRUE(view_.DoPrintPreviewDialog(iedtMaxi, "twice"));
  EXPECT_EQ(Jobs(), 2u);
  EXPECT_FALSE(view_.DoPrintPreviewDialog(static_cast<TIEDialogType>(7), "none"));
}

}  // namespace
