// A form holding every standard control, as a person sees it: written to PNG (kept in
// tests/data/vcl/stdctrls_gallery.png after it was checked by eye) and compared by a
// checksum of its pixels with a few probes.
#include <gtest/gtest.h>

#include <string>

#include "platform/vcl/Buttons.h"
#include "platform/vcl/ComCtrlsBasic.h"
#include "platform/vcl/ExtCtrls.h"
#include "platform/vcl/ScrollBox.h"
#include "tests/platform/vcl/stdctrls_test_util.h"

using stdtest::Pump;

namespace {

template <typename T>
T* Place(TForm& form, TWinControl* parent, int x, int y, int w, int h, const char* caption = nullptr) {
  auto* c = new T(&form);
  c->SetParent(parent);
  c->SetBounds(x, y, w, h);
  if (caption) c->SetCaption(caption);
  return c;
}

// Builds the gallery on form (client area 520 x 330).
void BuildGallery(TForm& form) {
  form.SetBorderStyle(bsDialog);
  form.SetCaption("Controls");
  form.SetBounds(20, 20, 528, 360);

  auto* label = Place<TLabel>(form, &form, 8, 8, 0, 0, "&Name:");
  auto* edit = Place<TEdit>(form, &form, 50, 6, 110, 21);
  edit->SetText("Edit text");
  label->SetFocusControl(edit);
  auto* password = Place<TEdit>(form, &form, 166, 6, 70, 21);
  password->SetText("secret");
  password->SetPasswordChar('*');
  auto* disabledEdit = Place<TEdit>(form, &form, 242, 6, 70, 21);
  disabledEdit->SetText("disabled");
  disabledEdit->SetEnabled(false);

  auto* memo = Place<TMemo>(form, &form, 8, 34, 150, 70);
  memo->SetScrollBars(ssVertical);
  memo->GetLines()->Add("A memo with lines");
  memo->GetLines()->Add("that wrap when they are too long for it");
  memo->GetLines()->Add("third");

  auto* ok = Place<TButton>(form, &form, 166, 34, 70, 25, "OK");
  ok->SetDefault(true);
  Place<TButton>(form, &form, 242, 34, 70, 25, "Cancel");
  auto* off = Place<TButton>(form, &form, 166, 64, 70, 25, "Disabled");
  off->SetEnabled(false);
  auto* bit = Place<TBitBtn>(form, &form, 242, 64, 70, 25);
  bit->SetKind(bkCancel);

  auto* check = Place<TCheckBox>(form, &form, 8, 110, 90, 17, "Checked");
  check->SetChecked(true);
  Place<TCheckBox>(form, &form, 8, 128, 90, 17, "Unchecked");
  auto* grayed = Place<TCheckBox>(form, &form, 8, 146, 90, 17, "Grayed");
  grayed->SetAllowGrayed(true);
  grayed->SetState(cbGrayed);
  auto* group = Place<TGroupBox>(form, &form, 100, 104, 110, 62, "Group");
  auto* r1 = Place<TRadioButton>(form, group, 8, 18, 90, 17, "First");
  r1->SetChecked(true);
  auto* r2 = Place<TRadioButton>(form, group, 8, 38, 90, 17, "Second");
  r2->SetEnabled(false);

  auto* radios = Place<TRadioGroup>(form, &form, 216, 96, 96, 70, "Radio group");
  radios->SetColumns(2);
  for (const char* s : {"A", "B", "C", "D"}) radios->GetItems()->Add(s);
  radios->SetItemIndex(3);

  auto* list = Place<TListBox>(form, &form, 320, 6, 90, 70);
  for (const char* s : {"alpha", "beta", "gamma", "delta", "epsilon", "zeta", "eta"}) list->GetItems()->Add(s);
  list->SetItemIndex(1);
  auto* checks = Place<TCheckListBox>(form, &form, 416, 6, 96, 70);
  for (const char* s : {"Red", "Green", "Blue"}) checks->GetItems()->Add(s);
  checks->SetChecked(0, true);
  checks->SetItemIndex(2);

  auto* combo = Place<TComboBox>(form, &form, 320, 84, 90, 21);
  for (const char* s : {"one", "two"}) combo->GetItems()->Add(s);
  combo->SetItemIndex(0);
  auto* fixed = Place<TComboBox>(form, &form, 416, 84, 96, 21);
  fixed->SetStyle(csDropDownList);
  fixed->GetItems()->Add("fixed");
  fixed->SetItemIndex(0);

  auto* number = Place<TEdit>(form, &form, 320, 112, 60, 21);
  auto* ud = Place<TUpDown>(form, &form, 0, 0, 16, 21);
  ud->SetMax(1000);
  ud->SetPosition(42);
  ud->SetAssociate(number);
  auto* bar = Place<TScrollBar>(form, &form, 390, 114, 122, 17);
  bar->SetPosition(30);
  auto* track = Place<TTrackBar>(form, &form, 320, 138, 192, 30);
  track->SetMax(10);
  track->SetPosition(3);

  auto* panel = Place<TPanel>(form, &form, 8, 172, 150, 40, "Panel");
  panel->SetBevelInner(bvLowered);
  Place<TBevel>(form, &form, 166, 172, 60, 40);
  auto* line = Place<TBevel>(form, &form, 232, 172, 80, 40);
  line->SetShape(bsTopLine);

  auto* image = Place<TImage>(form, &form, 272, 184, 32, 24);
  TBitmap bitmap;
  bitmap.SetSize(32, 24);
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 32; ++x) bitmap.GetCanvas()->SetPixel(x, y, RGB(x * 8, y * 10, 128));
  image->GetPicture()->SetBitmap(&bitmap);

  for (int i = 0; i < 3; ++i) {
    auto* sb = Place<TSpeedButton>(form, &form, 240 + i * 24, 212, 23, 22, i == 0 ? "B" : i == 1 ? "I" : "U");
    sb->SetGroupIndex(1);
    if (i == 1) sb->SetDown(true);
  }

  auto* box = Place<TScrollBox>(form, &form, 320, 174, 192, 60);
  Place<TButton>(form, box, 8, 8, 80, 25, "In a box");
  Place<TButton>(form, box, 8, 80, 80, 25, "Below");

  // A splitter between two panels, in a panel of their own.
  auto* area = Place<TPanel>(form, &form, 8, 220, 120, 100);
  area->SetBevelOuter(bvLowered);
  auto* left = Place<TPanel>(form, area, 0, 0, 50, 0, "Left");
  left->SetAlign(alLeft);
  auto* split = Place<TSplitter>(form, area, 50, 0, 4, 0);
  split->SetBeveled(true);
  auto* right = Place<TPanel>(form, area, 60, 0, 10, 0, "Right");
  right->SetAlign(alClient);
  auto* wrapped = Place<TLabel>(form, &form, 136, 240, 0, 0);
  wrapped->SetAutoSize(false);
  wrapped->SetWordWrap(true);
  wrapped->SetBounds(136, 240, 170, 40);
  wrapped->SetCaption("A label that wraps its words onto a second line.");
  auto* disabledLabel = Place<TLabel>(form, &form, 136, 290, 0, 0, "Disabled label");
  disabledLabel->SetEnabled(false);
}

TEST(Gallery, EveryControlOnOneForm) {
  TForm form(nullptr);
  BuildGallery(form);
  form.Show();
  Pump();
  const std::string path = std::string(LARK_TEST_BINARY_DIR) + "/stdctrls_gallery.png";
  ASSERT_TRUE(sim::SaveWindowPng(form.GetHandle(), path));
  // The pixels of the client area are those of the image kept beside the tests.
  EXPECT_EQ(stdtest::Checksum(&form, Rect(0, 0, 520, 330)), 1401113849425708607ull)
      << "the gallery looks different: compare " << path << " with tests/data/vcl/stdctrls_gallery.png";
  // The default button's dark frame; the focused edit's selected text; the selected
  // list item.
  EXPECT_EQ(stdtest::Pixel(&form, 166, 34), RGB(64, 64, 64));
  EXPECT_EQ(stdtest::Pixel(&form, 55, 9), RGB(10, 36, 106));
  EXPECT_EQ(stdtest::Pixel(&form, 323, 22), RGB(10, 36, 106));
}

}  // namespace
