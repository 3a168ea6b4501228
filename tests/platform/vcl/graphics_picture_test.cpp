// TPicture: the graphic it holds, loading by extension, copies and change events.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/vcl/Graphics.h"
#include "tests/support/Peers.h"
#include "tests/platform/vcl/graphics_test_util.h"

using namespace vcltest;

namespace {

std::string SaveIcon(const std::string& path) {
  auto color = SolidBitmap(pf24bit, 8, 8, clRed);
  TBitmap mask;
  mask.SetMonochrome(true);
  mask.SetSize(8, 8);
  ICONINFO info;
  info.hbmColor = color->GetHandle();
  info.hbmMask = mask.GetHandle();
  TIcon icon;
  icon.SetHandle(CreateIconIndirect(&info));
  icon.SaveToFile(path);
  return path;
}

TEST(Picture, LoadFromFileChoosesTheGraphicByExtension) {
  larktest::TempDir dir;
  SolidBitmap(pf8bit, 5, 3, clLime)->SaveToFile(dir.Path() + "a.bmp");
  SaveIcon(dir.Path() + "b.ICO");
  std::ofstream(dir.Path() + "c.png") << "not read";
  std::ofstream(dir.Path() + "d.bmp") << "not a bitmap";

  TPicture picture;
  int changes = 0;
  picture.OnChange = [&](TObject*) { ++changes; };
  picture.LoadFromFile(dir.Path() + "a.bmp");
  ASSERT_NE(dynamic_cast<TBitmap*>(picture.GetGraphic()), nullptr);
  EXPECT_EQ(picture.GetWidth(), 5);
  EXPECT_EQ(picture.GetHeight(), 3);
  EXPECT_EQ(picture.GetBitmap()->GetPixelFormat(), pf8bit);
  EXPECT_EQ(changes, 1);

  picture.LoadFromFile(dir.Path() + "b.ICO");
  ASSERT_NE(dynamic_cast<TIcon*>(picture.GetGraphic()), nullptr);
  EXPECT_EQ(picture.GetWidth(), 8);

  // Unknown extensions and bad files raise and leave the icon in place.
  try {
    picture.LoadFromFile(dir.Path() + "c.png");
    ADD_FAILURE() << "a .png file was taken";
  } catch (const EInvalidGraphic& e) {
    EXPECT_EQ(e.Message(), "Unknown picture file extension (.png)");
  }
  EXPECT_THROW(picture.LoadFromFile(dir.Path() + "d.bmp"), EInvalidGraphic);
  EXPECT_THROW(picture.LoadFromFile(dir.Path() + "missing.bmp"), EFOpenError);
  EXPECT_NE(dynamic_cast<TIcon*>(picture.GetGraphic()), nullptr);
  EXPECT_EQ(changes, 2);

  picture.SaveToFile(dir.Path() + "e.ico");
  TIcon again;
  again.LoadFromFile(dir.Path() + "e.ico");
  EXPECT_EQ(again.GetWidth(), 8);
}

TEST(Picture, BitmapAndIconReplaceOtherGraphicsAndReportChanges) {
  TPicture picture;
  EXPECT_EQ(picture.GetGraphic(), nullptr);
  EXPECT_EQ(picture.GetWidth(), 0);
  int changes = 0;
  picture.OnChange = [&](TObject*) { ++changes; };
  TBitmap* bitmap = picture.GetBitmap();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(picture.GetBitmap(), bitmap);  // already a bitmap: kept
  EXPECT_EQ(changes, 1);
  // Changes of the graphic are the picture's changes.
  bitmap->SetSize(4, 4);
  bitmap->GetCanvas()->FillRect(Rect(0, 0, 2, 2));
  EXPECT_EQ(changes, 3);
  TIcon* icon = picture.GetIcon();
  EXPECT_EQ(picture.GetGraphic(), icon);
  EXPECT_TRUE(icon->GetEmpty());
  EXPECT_EQ(changes, 4);
}

TEST(Picture, AssignHoldsACopy) {
  auto source = SolidBitmap(pf24bit, 3, 2, clRed);
  TPicture picture;
  picture.SetGraphic(source.get());
  ASSERT_NE(picture.GetGraphic(), source.get());
  source->GetCanvas()->SetPixel(0, 0, clBlue);
  EXPECT_EQ(PixelRgb(*picture.GetBitmap(), 0, 0), 0xFF0000u);

  TPicture other;
  other.Assign(&picture);
  ASSERT_NE(other.GetBitmap(), picture.GetBitmap());
  EXPECT_EQ(PixelRgb(*other.GetBitmap(), 2, 1), 0xFF0000u);
  picture.GetBitmap()->SetSize(1, 1);
  EXPECT_EQ(other.GetWidth(), 3);

  // A bitmap takes a picture that holds a bitmap.
  TBitmap target;
  target.Assign(&other);
  EXPECT_EQ(target.GetWidth(), 3);
  EXPECT_EQ(PixelRgb(target, 1, 1), 0xFF0000u);

  other.Assign(nullptr);
  EXPECT_EQ(other.GetGraphic(), nullptr);
  TFont font;
  EXPECT_THROW(other.Assign(&font), EConvertError);
}

}  // namespace
