// TIcon: .ico files in and out, drawing through the mask, copies.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "platform/vcl/Graphics.h"
#include "tests/support/Peers.h"
#include "tests/platform/vcl/graphics_test_util.h"

using namespace vcltest;

namespace {

const char* const ImageMagick = "convert-im6.q16";

bool MaskedAt(int x, int y) { return (x + 2 * y) % 5 == 0; }

// An icon of size x size: the pattern in format, transparent where MaskedAt.
HICON PatternIcon(TPixelFormat format, int size) {
  auto color = PatternBitmap(format, size, size);
  TBitmap mask;
  mask.SetMonochrome(true);
  mask.SetSize(size, size);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      if (!MaskedAt(x, y)) continue;
      SetRawPixel(mask, x, y, 1, 1);
      SetRawPixel(*color, x, y, BitsOf(format), 0);  // drawn by XOR: index 0 must be black
    }
  }
  if (BitsOf(format) <= 8) {
    // Index 0 black, so that the transparent pixels leave the background alone.
    std::vector<PALETTEENTRY> palette = PatternPalette(1 << BitsOf(format));
    palette[0] = PALETTEENTRY{0, 0, 0, 0};
    color->SetPalette(MakePalette(palette));
  }
  ICONINFO info;
  info.hbmColor = color->GetHandle();
  info.hbmMask = mask.GetHandle();
  return CreateIconIndirect(&info);
}

// The icon drawn over a blue background at its own size.
std::unique_ptr<TBitmap> DrawnOnBlue(TGraphic& icon) {
  auto canvas = SolidBitmap(pf24bit, icon.GetWidth(), icon.GetHeight(), clBlue);
  canvas->GetCanvas()->Draw(0, 0, &icon);
  return canvas;
}

class IconFormat : public testing::TestWithParam<TPixelFormat> {};

TEST_P(IconFormat, SaveAndLoadKeepImageAndMask) {
  TPixelFormat format = GetParam();
  TIcon icon;
  icon.SetHandle(PatternIcon(format, 16));
  ASSERT_FALSE(icon.GetEmpty());
  EXPECT_EQ(icon.GetWidth(), 16);
  EXPECT_EQ(icon.GetHeight(), 16);
  auto expected = DrawnOnBlue(icon);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      if (!MaskedAt(x, y)) continue;
      EXPECT_EQ(PixelRgb(*expected, x, y), 0x0000FFu) << x << "," << y;
    }

  TMemoryStream stream;
  icon.SaveToStream(&stream);
  const auto* bytes = static_cast<const Byte*>(stream.Memory());
  ASSERT_GT(stream.GetSize(), 22 + 40);
  EXPECT_EQ(bytes[2], 1);                  // an icon
  EXPECT_EQ(bytes[4], 1);                  // one image
  EXPECT_EQ(bytes[6], 16);                 // 16 x 16
  EXPECT_EQ(bytes[12], BitsOf(format));    // at the colour bitmap's depth
  EXPECT_EQ(bytes[22 + 8], 32);            // biHeight counts both halves

  stream.SetPosition(0);
  TIcon loaded;
  loaded.LoadFromStream(&stream);
  EXPECT_EQ(stream.GetPosition(), stream.GetSize());
  EXPECT_EQ(loaded.GetWidth(), 16);
  auto drawn = DrawnOnBlue(loaded);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) EXPECT_EQ(PixelRgb(*drawn, x, y), PixelRgb(*expected, x, y)) << x << "," << y;

  // Pillow sees the same picture, the mask as alpha 0.
  larktest::TempDir dir;
  std::string path = dir.Path() + "ours.ico";
  icon.SaveToFile(path);
  PeerImage peer = PeerRead(path);
  if (peer.pixels.empty()) return;
  ASSERT_EQ(peer.width, 16);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      uint32_t p = peer.At(x, y);
      if (MaskedAt(x, y)) {
        EXPECT_EQ(p & 0xFF, 0u) << x << "," << y;
      } else {
        EXPECT_EQ(p, (PixelRgb(*expected, x, y) << 8) | 0xFF) << x << "," << y;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Icon, IconFormat, testing::Values(pf1bit, pf4bit, pf8bit, pf24bit, pf32bit),
                         [](const testing::TestParamInfo<TPixelFormat>& info) { return FormatName(info.param); });

TEST(Icon, LoadsWhatImageMagickWrites) {
  std::string convert = larktest::RequireProgram(ImageMagick);
  if (convert.empty()) return;
  larktest::TempDir dir;
  std::string source = dir.Path() + "source.png";
  if (PeerWrite("RGBA", source, 16, 16).pixels.empty()) return;
  struct Case {
    const char* name;
    std::vector<std::string> options;
  };
  // Alpha made all-or-nothing first, so the mask says exactly what is transparent.
  const Case cases[] = {
      {"32-bit", {"-channel", "A", "-threshold", "50%", "+channel"}},
      {"4-bit", {"-channel", "A", "-threshold", "50%", "+channel", "-colors", "16", "-type", "PaletteAlpha"}},
  };
  for (const Case& c : cases) {
    std::string path = dir.Path() + c.name + std::string(".ico");
    std::vector<std::string> argv = {convert, source};
    argv.insert(argv.end(), c.options.begin(), c.options.end());
    argv.push_back(path);
    int exitCode = -1;
    larktest::RunCommand(argv, &exitCode);
    ASSERT_EQ(exitCode, 0) << c.name;
    PeerImage peer = PeerRead(path);
    if (peer.pixels.empty()) return;
    TIcon icon;
    icon.LoadFromFile(path);
    ASSERT_EQ(icon.GetWidth(), 16) << c.name;
    auto drawn = DrawnOnBlue(icon);
    int transparent = 0;
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        uint32_t p = peer.At(x, y);
        bool clear = (p & 0xFF) == 0;
        transparent += clear;
        EXPECT_EQ(PixelRgb(*drawn, x, y), clear ? 0x0000FFu : p >> 8) << c.name << " " << x << "," << y;
      }
    }
    EXPECT_GT(transparent, 0) << c.name;
  }
}

TEST(Icon, BadFilesRaiseAndKeepTheOldIcon) {
  TMemoryStream good;
  {
    TIcon icon;
    icon.SetHandle(PatternIcon(pf4bit, 8));
    icon.SaveToStream(&good);
  }
  std::string bytes(static_cast<const char*>(good.Memory()), static_cast<size_t>(good.GetSize()));
  auto patched = [&](size_t offset, std::string with) {
    std::string copy = bytes;
    copy.replace(offset, with.size(), with);
    return copy;
  };
  const std::pair<const char*, std::string> cases[] = {
      {"a cursor", patched(2, std::string("\x02", 1))},
      {"no images", patched(4, std::string("\x00", 1))},
      {"short directory", bytes.substr(0, 12)},
      {"image past the end", patched(18, std::string("\xF0", 1))},
      {"no AND mask", bytes.substr(0, bytes.size() - 4)},
      {"PNG image", bytes.substr(0, 22) + "\x89PNG\r\n\x1a\n" + std::string(200, '\0')},
      {"bad bitmap header", patched(22, std::string("\x07", 1))},
  };
  TIcon icon;
  icon.SetHandle(PatternIcon(pf24bit, 4));
  HICON before = icon.GetHandle();
  for (const auto& [name, data] : cases) {
    TStringStream stream(data);
    EXPECT_THROW(icon.LoadFromStream(&stream), EInvalidGraphic) << name;
    EXPECT_EQ(icon.GetHandle(), before) << name;
    EXPECT_EQ(icon.GetWidth(), 4) << name;
  }
}

TEST(Icon, MutatedFilesLoadOrRaiseInvalidGraphic) {
  std::vector<std::string> seeds;
  for (TPixelFormat format : {pf1bit, pf4bit, pf24bit, pf32bit}) {
    TIcon icon;
    icon.SetHandle(PatternIcon(format, 5));
    TMemoryStream stream;
    icon.SaveToStream(&stream);
    seeds.emplace_back(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.GetSize()));
  }
  std::mt19937 random(7);
  TIcon icon;
  int failures = 0;
  for (const std::string& seed : seeds) {
    for (int round = 0; round < 400; ++round) {
      std::string bytes = seed;
      if (round % 10 == 9) {
        bytes.resize(random() % bytes.size());
      } else {
        int changes = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < changes; ++i) {
          size_t limit = std::min<size_t>(bytes.size(), random() % 3 ? 62 : bytes.size());
          bytes[random() % limit] = static_cast<char>(random());
        }
      }
      TStringStream stream(bytes);
      try {
        icon.LoadFromStream(&stream);
      } catch (const EInvalidGraphic&) {
      } catch (const Exception& e) {
        if (++failures <= 5) ADD_FAILURE() << "round " << round << ": " << e.ClassName() << ": " << e.Message();
      }
    }
  }
  EXPECT_EQ(failures, 0);
}

TEST(Icon, SizeIsFixedAndAssignCopiesTheHandle) {
  TIcon icon;
  icon.SetHandle(PatternIcon(pf8bit, 8));
  EXPECT_TRUE(icon.GetTransparent());
  EXPECT_THROW(icon.SetWidth(4), EInvalidGraphicOperation);
  int changes = 0;
  TIcon copy;
  copy.OnChange = [&](TObject*) { ++changes; };
  copy.Assign(&icon);
  EXPECT_EQ(changes, 1);
  EXPECT_NE(copy.GetHandle(), icon.GetHandle());
  EXPECT_EQ(copy.GetWidth(), 8);
  HICON released = icon.ReleaseHandle();
  EXPECT_TRUE(icon.GetEmpty());
  EXPECT_TRUE(DestroyIcon(released));
  // The copy lives on.
  auto drawn = DrawnOnBlue(copy);
  EXPECT_EQ(PixelRgb(*drawn, 0, 0), 0x0000FFu);  // masked
  EXPECT_NE(PixelRgb(*drawn, 1, 0), 0x0000FFu);
  // Stretched to twice the size through the canvas.
  auto big = SolidBitmap(pf24bit, 16, 16, clBlue);
  big->GetCanvas()->StretchDraw(Rect(0, 0, 16, 16), &copy);
  EXPECT_EQ(PixelRgb(*big, 3, 1), PixelRgb(*drawn, 1, 0));
  EXPECT_EQ(PixelRgb(*big, 1, 1), 0x0000FFu);
  // An empty icon writes nothing.
  TIcon empty;
  TMemoryStream stream;
  empty.SaveToStream(&stream);
  EXPECT_EQ(stream.GetSize(), 0);
}

}  // namespace
