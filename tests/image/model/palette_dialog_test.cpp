// The palette dialog: hovering outlines a cell, a click picks its colour, Esc cancels,
// and a click before any hover is ignored.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <map>

#include "image/model/iepalettedialog.h"
#include "platform/sim/Input.h"
#include "platform/sim/Screen.h"
#include "platform/vcl/Application.h"
#include "platform/vcl/Forms.h"
#include "tests/support/Pump.h"
#include "tests/support/Steps.h"

namespace {

using larktest::Steps;

std::vector<TRGB> Palette(Integer n) {
  std::vector<TRGB> p;
  for (Integer i = 0; i < n; ++i)
    p.push_back(TRGB{static_cast<Byte>(i * 3), static_cast<Byte>(255 - i), static_cast<Byte>(i)});
  return p;
}

TColor ColourOf(const TRGB& c) { return static_cast<TColor>(c.r | (c.g << 8) | (c.b << 16)); }

TEST(PaletteDialog, HoverThenClickPicks) {
  sim::ResetInput();
  const auto pal = Palette(256);
  TDadirAvPaletteDialog dlg(nullptr);
  dlg.SetPalette(pal.data(), 256);
  EXPECT_EQ(dlg.GetClientWidth() > 512, true);
  Steps steps;
  TColor border5 = 0, border4 = 0;
  dlg.OnShow = [&](TObject*) { steps.Post(1); };
  steps.On(1, [&] {
    const TRect r = TDadirAvPaletteDialog::CellRect(5);
    sim::MoveMouse(dlg.GetHandle(), r.left + 7, r.top + 7);
    steps.Post(2);
  });
  steps.On(2, [&] {
    EXPECT_EQ(dlg.GetHoverIndex(), 5);
    const TRect r5 = TDadirAvPaletteDialog::CellRect(5), r4 = TDadirAvPaletteDialog::CellRect(4);
    border5 = dlg.GetCanvas()->GetPixel(r5.left, r5.top + 5);
    border4 = dlg.GetCanvas()->GetPixel(r4.left, r4.top + 5);
    larktest::PumpUntilIdle();  // the frame reaches the display
    steps.Post(3);
  });
  steps.On(3, [&] {
    EXPECT_TRUE(sim::SaveWindowPng(dlg.GetHandle(), std::string(LARK_TEST_BINARY_DIR) + "/model_palette_dialog.png"));
    // Outside the grid the last hovered cell stays; a click there picks it.
    sim::Click(dlg.GetHandle(), 530, 150);
  });
  EXPECT_TRUE(dlg.Execute());
  EXPECT_EQ(dlg.SelectedColor, ColourOf(pal[5]));
  EXPECT_EQ(border5, 0x000000);
  EXPECT_EQ(border4, 0xFFFFFF);
  sim::ResetInput();
}

TEST(PaletteDialog, EscCancelsAndAnEarlyClickIsIgnored) {
  sim::ResetInput();
  const auto pal = Palette(16);
  TDadirAvPaletteDialog dlg(nullptr);
  dlg.SetPalette(pal.data(), 16);
  dlg.SelectedColor = 0x123456;
  Steps steps;
  bool openAfterClick = false;
  dlg.OnShow = [&](TObject*) { steps.Post(1); };
  steps.On(1, [&] {
    // A click before any cell was hovered picks nothing and keeps the dialog open.
    dlg.Perform(WM_LBUTTONDOWN, 0, MAKELPARAM(20, 20));
    dlg.Perform(WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    steps.Post(2);
  });
  steps.On(2, [&] {
    openAfterClick = dlg.GetModalResult() == mrNone && dlg.GetVisible();
    // Over the empty part of a 16-colour row the hover does not move.
    sim::MoveMouse(dlg.GetHandle(), 300, 8);
    steps.Post(3);
  });
  steps.On(3, [&] {
    EXPECT_EQ(dlg.GetHoverIndex(), -1);
    sim::PressKey(VK_ESCAPE);
  });
  EXPECT_FALSE(dlg.Execute());
  EXPECT_TRUE(openAfterClick);
  EXPECT_EQ(dlg.SelectedColor, 0x123456);
  sim::ResetInput();
}

TEST(PaletteDialog, LayoutAndCancelButton) {
  TDadirAvPaletteDialog dlg(nullptr);
  EXPECT_EQ(dlg.GetWidth(), 539);
  EXPECT_EQ(dlg.GetHeight(), 199);
  EXPECT_EQ(std::string(dlg.CancelButton->GetCaption()), "&Cancel");
  EXPECT_EQ(dlg.CancelButton->GetLeft(), 8);
  EXPECT_EQ(dlg.CancelButton->GetTop(), 144);
  auto cell = [](Integer i) {
    const TRect r = TDadirAvPaletteDialog::CellRect(i);
    return std::array<Integer, 4>{r.left, r.top, r.right, r.bottom};
  };
  EXPECT_EQ(cell(0), (std::array<Integer, 4>{1, 1, 16, 16}));
  EXPECT_EQ(cell(33), (std::array<Integer, 4>{17, 17, 32, 32}));
  EXPECT_EQ(cell(255), (std::array<Integer, 4>{497, 113, 512, 128}));
}

}  // namespace
