// The theme services: binding the visual-styles library, the element tables, following
// theme changes of the application's window, and drawing through the library (as a
// log of its calls and as pixels).
#include <gtest/gtest.h>

#include "desktop/ThemeSrv.h"
#include "platform/sim/Modules.h"
#include "platform/sim/Screen.h"
#include "platform/sim/Theme.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/Forms.h"
#include "platform/vcl/StdCtrls.h"
#include "tests/support/Pump.h"

namespace {

bool SameRect(const TRect& a, const TRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class ThemeServicesTest : public ::testing::Test {
 protected:
  ~ThemeServicesTest() override { FreeThemeServices(); }
};

TEST_F(ThemeServicesTest, TheLibraryStaysLoadedWhileItHasUsers) {
  ASSERT_TRUE(InitThemeLibrary());
  ASSERT_TRUE(InitThemeLibrary());
  EXPECT_NE(OpenThemeData, nullptr);
  FreeThemeLibrary();
  EXPECT_EQ(sim::ModuleLoadCount("uxtheme.dll"), 1);
  EXPECT_NE(DrawThemeBackground, nullptr);
  FreeThemeLibrary();
  EXPECT_EQ(sim::ModuleLoadCount("uxtheme.dll"), 0);
  EXPECT_EQ(OpenThemeData, nullptr);
  EXPECT_EQ(EnableTheming, nullptr);
  FreeThemeLibrary();  // one too many: nothing happens
  EXPECT_EQ(ThemeLibraryUsers(), 0);
}

TEST_F(ThemeServicesTest, ElementDetailsFollowTheSchemaOrder) {
  struct Case {
    TThemedElementDetails d;
    TThemedElement element;
    Integer part;
    Integer state;
  };
  const Case cases[] = {
      {GetElementDetails(tbButtonDontCare), teButton, 0, 1},
      {GetElementDetails(tbButtonRoot), teButton, 0, 2},
      {GetElementDetails(tbPushButtonHot), teButton, 1, 2},
      {GetElementDetails(tbPushButtonDefaulted), teButton, 1, 5},
      {GetElementDetails(tbCheckBoxMixedDisabled), teButton, 3, 12},
      {GetElementDetails(tbGroupBoxDisabled), teButton, 4, 2},
      {GetElementDetails(tbUserButton), teButton, 5, 1},
      {GetElementDetails(tebHeaderPinNormal), teExplorerBar, 3, 1},
      {GetElementDetails(teEditTextNormal), teEdit, 1, 1},
      {GetElementDetails(tsStatusRoot), teStatus, 0, 2},
      {GetElementDetails(ttbButtonCheckedHot), teToolBar, 1, 6},
      {GetElementDetails(ttBody), teTab, 10, 1},
      {GetElementDetails(twSmallFrameBottomSizingTemplate), teWindow, 37, 1},
      {GetElementDetails(trBandNormal), teRebar, 3, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.d.Element, c.element);
    EXPECT_EQ(c.d.Part, c.part);
    EXPECT_EQ(c.d.State, c.state);
  }
}

TEST_F(ThemeServicesTest, WithoutTheLibraryOrAnActiveThemeNothingIsThemed) {
  sim::FailModuleLoad("uxtheme.dll");
  TThemeServices* services = ThemeServices();
  EXPECT_FALSE(services->GetThemesAvailable());
  EXPECT_FALSE(services->GetThemesEnabled());
  EXPECT_EQ(services->GetTheme(teButton), 0u);
  FreeThemeServices();
  sim::ResetModuleFaults();

  // The library is there, but the desktop's theme is off (as it starts).
  services = ThemeServices();
  EXPECT_TRUE(services->GetThemesAvailable());
  EXPECT_FALSE(services->GetThemesEnabled());
  EXPECT_EQ(services->GetTheme(teButton), 0u);
}

TEST_F(ThemeServicesTest, AThemeChangeIsFollowedAndClosesTheOpenThemes) {
  TThemeServices* services = ThemeServices();
  int changes = 0;
  services->OnThemeChange = [&](TObject*) { ++changes; };
  sim::SetThemeActive(true);
  ASSERT_TRUE(larktest::PumpUntil([&] { return changes == 1; }));
  EXPECT_TRUE(services->GetThemesEnabled());
  EXPECT_NE(services->GetTheme(teButton), 0u);
  EXPECT_NE(services->GetTheme(teEdit), 0u);
  EXPECT_EQ(services->GetTheme(teButton), services->GetTheme(teButton));
  EXPECT_EQ(sim::OpenThemeHandles(), 2);

  sim::SetThemeActive(false);
  ASSERT_TRUE(larktest::PumpUntilIdle());
  EXPECT_EQ(changes, 2);
  EXPECT_FALSE(services->GetThemesEnabled());
  EXPECT_EQ(sim::OpenThemeHandles(), 0);
}

TEST_F(ThemeServicesTest, ControlsAreThemedOnlyWhenTheApplicationAllowsIt) {
  sim::SetThemeActive(true);
  ASSERT_TRUE(InitThemeLibrary());
  SetThemeAppProperties(STAP_ALLOW_NONCLIENT);
  TThemeServices* services = ThemeServices();
  EXPECT_TRUE(services->GetThemesInUse());
  EXPECT_FALSE(services->GetThemesEnabled());
  SetThemeAppProperties(STAP_ALLOW_NONCLIENT | STAP_ALLOW_CONTROLS);
  services->UpdateThemes();
  EXPECT_TRUE(services->GetThemesEnabled());
  FreeThemeLibrary();
}

TEST_F(ThemeServicesTest, AMissingExportDrawsNothingInsteadOfCrashing) {
  sim::SetThemeActive(true);
  sim::HideExport("uxtheme.dll", "DrawThemeBackground");
  sim::HideExport("uxtheme.dll", "GetThemeBackgroundContentRect");
  TThemeServices* services = ThemeServices();
  ASSERT_TRUE(services->GetThemesEnabled());
  TBitmap bitmap;
  bitmap.SetSize(20, 20);
  services->DrawElement(bitmap.GetCanvas()->GetHandle(), GetElementDetails(tbPushButtonNormal), TRect{0, 0, 20, 20});
  EXPECT_TRUE(SameRect(services->ContentRect(bitmap.GetCanvas()->GetHandle(),
                                             GetElementDetails(tbPushButtonNormal), TRect{0, 0, 20, 20}),
                       TRect{0, 0, 20, 20}));
  EXPECT_TRUE(sim::ThemeCalls().empty());
  sim::ResetModuleFaults();
}

TEST_F(ThemeServicesTest, DrawsThroughTheLibraryWithItsPartsAndStates) {
  sim::SetThemeActive(true);
  TThemeServices* services = ThemeServices();
  TBitmap bitmap;
  bitmap.SetSize(40, 24);
  const HDC dc = bitmap.GetCanvas()->GetHandle();
  const TRect clip{0, 0, 20, 24};
  services->DrawElement(dc, GetElementDetails(tbPushButtonHot), TRect{0, 0, 40, 24}, &clip);
  services->DrawText(dc, GetElementDetails(tbPushButtonHot), u"OK", TRect{0, 0, 40, 24}, DT_CENTER, 0);
  const auto calls = sim::ThemeCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].function, "DrawThemeBackground");
  EXPECT_EQ(calls[0].className, "button");
  EXPECT_EQ(calls[0].part, 1);
  EXPECT_EQ(calls[0].state, 2);
  EXPECT_TRUE(calls[0].clipped);
  EXPECT_EQ(calls[0].clip.right, 20);
  EXPECT_EQ(calls[1].function, "DrawThemeText");
  EXPECT_EQ(calls[1].text, "OK");
  // The clip held: the frame's right edge was not drawn.
  EXPECT_EQ(bitmap.GetCanvas()->GetPixel(0, 5), static_cast<TColor>(RGB(0, 60, 116)));
  EXPECT_NE(bitmap.GetCanvas()->GetPixel(39, 5), static_cast<TColor>(RGB(0, 60, 116)));

  EXPECT_TRUE(SameRect(services->ContentRect(dc, GetElementDetails(tbPushButtonNormal), TRect{0, 0, 40, 24}),
                       TRect{3, 3, 37, 21}));
  EXPECT_TRUE(services->HasTransparentParts(GetElementDetails(tbGroupBoxNormal)));
  EXPECT_FALSE(services->HasTransparentParts(GetElementDetails(tsStatusRoot)));
  const TThemedElementDetails button = GetElementDetails(tbPushButtonNormal);
  EXPECT_EQ(services->ColorToRGB(clBtnFace, &button),
            static_cast<TColor>(GetSysColor(COLOR_BTNFACE)));
  EXPECT_EQ(services->ColorToRGB(clRed), clRed);
  EXPECT_THROW(services->ColorToRGB(clBtnFace), ERangeError);
}

TEST_F(ThemeServicesTest, PaintBorderDrawsOnlyAroundAClientEdge) {
  sim::SetThemeActive(true);
  TThemeServices* services = ThemeServices();
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 100);
  auto* plain = new TPanel(&form);
  plain->SetParent(&form);
  plain->SetBounds(0, 0, 50, 50);
  auto* edit = new TEdit(&form);
  edit->SetParent(&form);
  edit->SetBounds(60, 10, 80, 24);
  form.Show();
  ASSERT_TRUE(larktest::PumpUntilIdle());
  sim::ClearThemeCalls();
  services->PaintBorder(plain, false);
  EXPECT_TRUE(sim::ThemeCalls().empty());
  if (GetWindowLongPtr(edit->GetHandle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE) {
    services->PaintBorder(edit, false);
    const auto calls = sim::ThemeCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].className, "edit");
    EXPECT_EQ(calls[0].part, 1);
    EXPECT_EQ(calls[0].state, 1);
    EXPECT_EQ(calls[0].rect.right, 80);
  }
}

}  // namespace
