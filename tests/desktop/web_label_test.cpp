// The hyperlink label: how it looks (blue, underlined, the hand over it) and the
// address its click hands to the shell's "open" verb.
#include <gtest/gtest.h>

#include <string>

#include "desktop/TessilWebLabel.h"
#include "platform/sim/Input.h"
#include "platform/sim/Screen.h"
#include "platform/sim/Tray.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/Forms.h"
#include "tests/support/Pump.h"

namespace {

class WebLabelTest : public ::testing::Test {
 protected:
  WebLabelTest() : form(nullptr) {
    form.SetBounds(50, 50, 220, 80);
    form.SetColor(clBtnFace);
    label = new TTessilWebLabel(&form);
    label->SetParent(&form);
    label->SetBounds(10, 10, 10, 10);
  }
  TForm form;
  TTessilWebLabel* label;
};

TEST_F(WebLabelTest, LooksLikeALink) {
  EXPECT_EQ(label->GetCursor(), crHandPoint);
  EXPECT_EQ(label->GetFont()->GetColor(), clBlue);
  EXPECT_TRUE(label->GetFont()->GetStyle().Contains(fsUnderline));
  EXPECT_EQ(label->GetLinkStyle(), TLinkStyle::url);

  label->SetCaption("www.example.org");
  form.Show();
  ASSERT_TRUE(larktest::PumpUntilIdle());
  ASSERT_TRUE(sim::SaveWindowPng(form.GetHandle(), LARK_TEST_BINARY_DIR "/web_label.png"));
  // The text is blue on the form's face, and underlined: the row under the letters is
  // blue across the whole caption.
  const HWND h = form.GetHandle();
  const POINT origin = sim::ScreenPoint(h, 0, 0);
  RECT frame{};
  GetWindowRect(h, &frame);
  const int dx = origin.x - frame.left;
  const int dy = origin.y - frame.top;
  int blue = 0;
  for (int y = 10; y < 10 + label->GetHeight(); ++y) {
    for (int x = 10; x < 10 + label->GetWidth(); ++x) {
      if (sim::FramePixel(h, dx + x, dy + y) == RGB(0, 0, 255)) ++blue;
    }
  }
  EXPECT_GT(blue, 20);
  int underlineRow = -1;
  for (int y = 10; y < 10 + label->GetHeight() && underlineRow < 0; ++y) {
    bool full = true;
    for (int x = 10; x < 10 + label->GetWidth() - 1; ++x) {
      full = full && sim::FramePixel(h, dx + x, dy + y) == RGB(0, 0, 255);
    }
    if (full) underlineRow = y;
  }
  EXPECT_GE(underlineRow, 10 + label->GetHeight() / 2) << "an underline below the letters";

  sim::MoveMouse(h, 12, 12);
  Application->ProcessMessages();
  EXPECT_EQ(sim::DisplayedCursor(), LoadCursor(0, IDC_HAND));
}

TEST_F(WebLabelTest, AClickOpensTheAddressWithTheShell) {
  bool clicked = false;
  label->OnClick = [&](TObject*) { clicked = true; };
  label->SetCaption("www.example.org");
  form.Show();
  ASSERT_TRUE(larktest::PumpUntilIdle());
  sim::Click(form.GetHandle(), 14, 14);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  const auto calls = sim::ShellExecuteCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].hWnd, Application->GetHandle());
  EXPECT_EQ(calls[0].operation, "open");
  EXPECT_EQ(calls[0].file, "http://www.example.org");
  EXPECT_EQ(calls[0].parameters, "");
  EXPECT_EQ(calls[0].directory, "");
  EXPECT_EQ(calls[0].showCmd, SW_SHOWDEFAULT);
  EXPECT_FALSE(clicked) << "the link replaces the label's click";
}

TEST_F(WebLabelTest, TheTargetGetsItsSchemeOnce) {
  struct Case {
    TLinkStyle style;
    const char* caption;
    const char* target;
  };
  const Case cases[] = {
      {TLinkStyle::url, "", "http://"},
      {TLinkStyle::url, "larkspool.example/feeds", "http://larkspool.example/feeds"},
      {TLinkStyle::email, "someone@example.org", "mailto:someone@example.org"},
      {TLinkStyle::url, "http://example.org", "http://example.org"},
      {TLinkStyle::url, "HTTPS://example.org", "HTTPS://example.org"},
      {TLinkStyle::email, "mailto:a@example.org", "mailto:a@example.org"},
      {TLinkStyle::url, "ftp.example.org", "http://ftp.example.org"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption);
    label->SetLinkStyle(c.style);
    label->SetCaption(c.caption);
    EXPECT_EQ(label->LinkTarget(), c.target);
  }
}

}  // namespace
