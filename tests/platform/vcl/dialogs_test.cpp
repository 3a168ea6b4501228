// The message box, ShowMessage and InputQuery as forms: their looks with the built-in
// font, the keyboard on them, and the responder's answers.
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/Dialogs.h"
#include "platform/sim/Input.h"
#include "platform/sim/Screen.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/Dialogs.h"
#include "platform/win/MessageBox.h"
#include "tests/platform/vcl/stdctrls_test_util.h"

using stdtest::Pump;

namespace {

class DialogForms : public ::testing::Test {
 protected:
  void SetUp() override {
    (void)Application->GetHandle();  // the framework hosts the dialogs
    sim::SetDialogEcho(false);
  }
  void TearDown() override { sim::SetDialogEcho(true); }
};

// The client area of a dialog window: a checksum of its pixels as shown.
uint64_t ClientChecksum(HWND dialog) {
  TWinControl* control = FindControl(dialog);
  RECT r;
  GetClientRect(dialog, &r);
  return stdtest::Checksum(control, r);
}

std::string Png(const char* name) { return std::string(LARK_TEST_BINARY_DIR) + "/" + name; }

TEST_F(DialogForms, MessageBoxLooksClassic) {
  uint64_t sum = 0;
  COLORREF iconCentre = 0;
  sim::QueueDialogAction("Unsubscribe?", [&](HWND dialog) {
    Pump();
    sim::SaveWindowPng(dialog, Png("message_box_builtin.png"));
    sum = ClientChecksum(dialog);
    iconCentre = stdtest::Pixel(FindControl(dialog), 12 + 4, 12 + 16);
    sim::PressKey(VK_RETURN);
    Pump();
  });
  EXPECT_EQ(MessageBox(0, "Unsubscribe from Lark News?", "Unsubscribe?", MB_YESNO | MB_ICONQUESTION), IDYES);
  EXPECT_EQ(sum, 5866764801893909455ull) << "compare " << Png("message_box_builtin.png");
  EXPECT_EQ(iconCentre, RGB(0, 64, 208));
}

TEST_F(DialogForms, InputQueryLooksClassic) {
  uint64_t sum = 0;
  sim::QueueDialogAction("Add Subscription", [&](HWND dialog) {
    Pump();
    sim::SaveWindowPng(dialog, Png("input_query_builtin.png"));
    sum = ClientChecksum(dialog);
    sim::PressKey(VK_ESCAPE);
    Pump();
  });
  AnsiString value = "http://";
  EXPECT_FALSE(InputQuery("Add Subscription", "Please enter RSS feed", value));
  EXPECT_EQ(value, "http://");
  EXPECT_EQ(sum, 13201490021254602178ull) << "compare " << Png("input_query_builtin.png");
}

}  // namespace
