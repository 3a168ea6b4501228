// The message box, ShowMessage and InputQuery as forms: their looks with the built-in
// font, the keyboard on them, and the responder's answers.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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
  EXPECT_EQ(sum, 8348886525834192319ull) << "compare " << Png("message_box_builtin.png");
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

namespace {

struct KeyCase {
  const char* name;
  UINT type;
  std::vector<std::pair<UINT, unsigned>> keys;  // key and modifiers, in order
  Integer expected;
};

class MessageBoxKeys : public DialogForms, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(MessageBoxKeys, ChooseTheButton) {
  const KeyCase& c = GetParam();
  sim::QueueDialogAction("", [&](HWND) {
    Pump();
    for (const auto& [key, modifiers] : c.keys) {
      sim::PressKey(key, modifiers);
      Pump();
    }
  });
  EXPECT_EQ(MessageBox(0, "Question?", "Keys", c.type), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    DialogForms, MessageBoxKeys,
    ::testing::Values(
        KeyCase{"EnterTakesTheDefault", MB_YESNO, {{VK_RETURN, 0}}, IDYES},
        KeyCase{"EnterTakesTheSecondWhenDefault", MB_YESNO | MB_DEFBUTTON2, {{VK_RETURN, 0}}, IDNO},
        KeyCase{"EscapeCancels", MB_OKCANCEL, {{VK_ESCAPE, 0}}, IDCANCEL},
        KeyCase{"EscapeOnOkAloneGivesOk", MB_OK, {{VK_ESCAPE, 0}}, IDOK},
        KeyCase{"EscapeWithoutCancelDoesNothing", MB_YESNO, {{VK_ESCAPE, 0}, {VK_RETURN, 0}}, IDYES},
        KeyCase{"MnemonicLetter", MB_YESNO, {{'N', 0}}, IDNO},
        KeyCase{"MnemonicWithAlt", MB_ABORTRETRYIGNORE, {{'R', sim::kAlt}}, IDRETRY},
        KeyCase{"TabMovesAndEnterPressesTheFocused", MB_YESNOCANCEL, {{VK_TAB, 0}, {VK_RETURN, 0}}, IDNO},
        KeyCase{"ShiftTabGoesBack", MB_YESNOCANCEL, {{VK_TAB, sim::kShift}, {VK_SPACE, 0}}, IDCANCEL}),
    [](const ::testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

TEST_F(DialogForms, InputQueryTakesTypingAndItsButtonsByKeyboard) {
  // The value is selected at first: typing replaces it; Enter is OK.
  sim::QueueDialogAction("Add Subscription", [](HWND) {
    Pump();
    sim::TypeText("http://example.org/feed");
    Pump();
    sim::PressKey(VK_RETURN);
    Pump();
  });
  AnsiString value = "old";
  EXPECT_TRUE(InputQuery("Add Subscription", "Please enter RSS feed", value));
  EXPECT_EQ(value, "http://example.org/feed");

  // Tab order: the edit, OK, Cancel; the typing is thrown away with Cancel.
  sim::QueueDialogAction("Add Subscription", [](HWND) {
    Pump();
    sim::TypeText("typed");
    sim::PressKey(VK_TAB);
    sim::PressKey(VK_TAB);
    Pump();
    sim::PressKey(VK_SPACE);
    Pump();
  });
  EXPECT_FALSE(InputQuery("Add Subscription", "Please enter RSS feed", value));
  EXPECT_EQ(value, "http://example.org/feed");
}

TEST_F(DialogForms, TheResponderAnswersEveryDialog) {
  sim::QueueDialogAnswer("Add Subscription", IDOK, "http://a.example/rss");
  sim::QueueDialogAnswer("Add Subscription", IDCANCEL, "ignored");
  AnsiString value = "start";
  EXPECT_TRUE(InputQuery("Add Subscription", "Please enter RSS feed", value));
  EXPECT_EQ(value, "http://a.example/rss");
  EXPECT_FALSE(InputQuery("Add Subscription", "Please enter RSS feed", value));
  EXPECT_EQ(value, "http://a.example/rss");
  EXPECT_EQ(InputBox("Name", "Your name", "nobody"), "nobody");  // no answer: OK, unchanged

  sim::QueueDialogAnswer("Color", IDOK, "#FF8000");
  TColorDialog colors(nullptr);
  ASSERT_TRUE(colors.Execute());
  EXPECT_EQ(ColorToRGB(colors.GetColor()), RGB(255, 128, 0));
  EXPECT_EQ(colors.GetCustomColors()->Values("ColorA"), "FFFFFF");
  sim::QueueDialogAnswer("Color", IDCANCEL, "#000000");
  EXPECT_FALSE(colors.Execute());
  EXPECT_EQ(ColorToRGB(colors.GetColor()), RGB(255, 128, 0));

  TPrinterSetupDialog printer(nullptr);
  sim::QueueDialogAnswer("Print Setup", IDCANCEL);
  EXPECT_FALSE(printer.Execute());
  EXPECT_TRUE(printer.Execute());  // no answer: OK

  ShowMessage("Cannot play this file");
  const auto log = sim::DialogLog();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back().Kind, sim::DialogKind::ShowMessage);
  EXPECT_EQ(log.back().Text, "Cannot play this file");
  EXPECT_EQ(log.back().Caption, Application->GetTitle());
  EXPECT_EQ(log[3].Kind, sim::DialogKind::Color);
  EXPECT_EQ(log[3].Value, "#FF8000");
}

TEST_F(DialogForms, WithNobodyThereEachDialogTakesItsDefaultButton) {
  // The program without a display and without a script: no responder at all.
  sim::SetDialogResponder(nullptr);
  EXPECT_EQ(MessageBox(0, "Exit?", "Exit program?", MB_OKCANCEL), IDOK);
  EXPECT_EQ(MessageBox(0, "Unsubscribe?", "Unsubscribe?", MB_YESNO | MB_DEFBUTTON2), IDNO);
  AnsiString value = "kept";
  EXPECT_TRUE(InputQuery("Add Subscription", "Please enter RSS feed", value));
  EXPECT_EQ(value, "kept");
  TColorDialog colors(nullptr);
  colors.SetColor(clRed);
  EXPECT_TRUE(colors.Execute());
  EXPECT_EQ(ColorToRGB(colors.GetColor()), RGB(255, 0, 0));
  ShowMessage("Nobody reads this");
  sim::InstallDialogResponder();
}

TEST_F(DialogForms, ColorDialogOnScreenByMouseAndKeys) {
  sim::QueueDialogAction("Color", [](HWND dialog) {
    Pump();
    TWinControl* form = FindControl(dialog);
    // The first basic swatch, then two to the right and one down by keys.
    sim::Click(form->GetHandle(), 8 + 2 + 5, 24 + 2 + 5);
    Pump();
    sim::PressKey(VK_RIGHT);
    sim::PressKey(VK_RIGHT);
    sim::PressKey(VK_DOWN);
    Pump();
    sim::SaveWindowPng(dialog, Png("color_dialog_builtin.png"));
    sim::PressKey(VK_RETURN);
    Pump();
  });
  TColorDialog colors(nullptr);
  ASSERT_TRUE(colors.Execute());
  EXPECT_EQ(ColorToRGB(colors.GetColor()), RGB(128, 255, 0));
}

// The dialogs as a person sees them with the program's faces.
TEST_F(DialogForms, PicturesWithTheProgramsFaces) {
  ASSERT_TRUE(sim::UseFreeTypeFonts(true));
  sim::QueueDialogAction("Exit program?", [](HWND dialog) {
    Pump();
    EXPECT_TRUE(sim::SaveWindowPng(dialog, Png("message_box.png")));
    sim::PressKey(VK_ESCAPE);
    Pump();
  });
  EXPECT_EQ(MessageBox(0, "The podcast client is still downloading two episodes. Do you really wish to exit and lose them?",
                       "Exit program?", MB_OKCANCEL | MB_ICONEXCLAMATION),
            IDCANCEL);
  sim::QueueDialogAction("Add Subscription", [](HWND dialog) {
    Pump();
    EXPECT_TRUE(sim::SaveWindowPng(dialog, Png("input_query.png")));
    sim::PressKey(VK_ESCAPE);
    Pump();
  });
  AnsiString value = "http://";
  InputQuery("Add Subscription", "Please enter RSS feed", value);
  sim::QueueDialogAction("Color", [](HWND dialog) {
    Pump();
    EXPECT_TRUE(sim::SaveWindowPng(dialog, Png("color_dialog.png")));
    sim::PressKey(VK_ESCAPE);
    Pump();
  });
  TColorDialog colors(nullptr);
  colors.SetColor(clNavy);
  colors.Execute();
  sim::QueueDialogAction("Print Setup", [](HWND dialog) {
    Pump();
    EXPECT_TRUE(sim::SaveWindowPng(dialog, Png("printer_setup.png")));
    sim::PressKey(VK_ESCAPE);
    Pump();
  });
  TPrinterSetupDialog printer(nullptr);
  printer.Execute();
  for (const char* kind : {"stop", "info"}) {
    sim::QueueDialogAction("Icon", [kind](HWND dialog) {
      Pump();
      EXPECT_TRUE(sim::SaveWindowPng(dialog, Png((std::string("message_box_") + kind + ".png").c_str())));
      sim::PressKey(VK_RETURN);
      Pump();
    });
    MessageBox(0, "Short text.", "Icon", MB_OK | (kind[0] == 's' ? MB_ICONSTOP : MB_ICONINFORMATION));
  }
  sim::UseFreeTypeFonts(false);
}

}  // namespace

namespace {

TEST_F(DialogForms, FontDialogTakesAnswersAndKeys) {
  TFontDialog fonts(nullptr);
  fonts.GetFont()->SetName("Tahoma");
  fonts.GetFont()->SetSize(10);
  sim::QueueDialogAnswer("Font", IDOK, "Arial,12,Bold");
  ASSERT_TRUE(fonts.Execute());
  EXPECT_EQ(fonts.GetFont()->GetName(), "Arial");
  EXPECT_EQ(fonts.GetFont()->GetSize(), 12);
  EXPECT_TRUE(fonts.GetFont()->GetStyle().Contains(fsBold));
  EXPECT_FALSE(fonts.GetFont()->GetStyle().Contains(fsItalic));

  // On screen: the face list has the focus; Down goes to the next face, Alt+Y to the
  // styles, where Up goes back to Italic.
  ASSERT_TRUE(sim::UseFreeTypeFonts(true));
  sim::QueueDialogAction("Font", [](HWND dialog) {
    Pump();
    sim::PressKey(VK_DOWN);
    sim::PressKey('Y', sim::kAlt);
    Pump();
    sim::PressKey(VK_UP);
    Pump();
    EXPECT_TRUE(sim::SaveWindowPng(dialog, Png("font_dialog.png")));
    sim::PressKey(VK_RETURN);
    Pump();
  });
  ASSERT_TRUE(fonts.Execute());
  sim::UseFreeTypeFonts(false);
  EXPECT_EQ(fonts.GetFont()->GetName(), "Courier New");
  EXPECT_EQ(fonts.GetFont()->GetSize(), 12);
  EXPECT_TRUE(fonts.GetFont()->GetStyle().Contains(fsItalic));
  EXPECT_FALSE(fonts.GetFont()->GetStyle().Contains(fsBold));

  sim::QueueDialogAnswer("Font", IDCANCEL, "Verdana,8,Regular");
  EXPECT_FALSE(fonts.Execute());
  EXPECT_EQ(fonts.GetFont()->GetName(), "Courier New");
}

}  // namespace
