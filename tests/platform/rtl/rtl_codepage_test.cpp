// Windows-1252 <-> UTF-16 and UTF-8.
#include <gtest/gtest.h>

#include <set>

#include "platform/rtl/CodePage.h"

namespace {

AnsiString AllBytes() {
  AnsiString s(256, '\0');
  for (int i = 0; i < 256; ++i) s[static_cast<size_t>(i)] = static_cast<char>(i);
  return s;
}

TEST(CodePage, EveryByteSurvivesARoundTrip) {
  const AnsiString bytes = AllBytes();
  const WideString wide = AnsiToWide(bytes);
  ASSERT_EQ(wide.size(), 256u);
  EXPECT_EQ(std::set<char16_t>(wide.begin(), wide.end()).size(), 256u) << "two bytes share a character";
  EXPECT_EQ(WideToAnsi(wide), bytes);
  EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(bytes)), bytes);
}

TEST(CodePage, KnownMappings) {
  const struct {
    unsigned char Byte;
    char16_t Wide;
    const char* Utf8;
  } cases[] = {
      {0x41, u'A', "A"},          {0x80, 0x20AC, "\xE2\x82\xAC"}, {0x81, 0x0081, "\xC2\x81"},
      {0x8A, 0x0160, "\xC5\xA0"}, {0x8D, 0x008D, "\xC2\x8D"},     {0x8F, 0x008F, "\xC2\x8F"},
      {0x90, 0x0090, "\xC2\x90"}, {0x96, 0x2013, "\xE2\x80\x93"}, {0x99, 0x2122, "\xE2\x84\xA2"},
      {0x9D, 0x009D, "\xC2\x9D"}, {0x9F, 0x0178, "\xC5\xB8"},     {0xA0, 0x00A0, "\xC2\xA0"},
      {0xE9, 0x00E9, "\xC3\xA9"}, {0xFF, 0x00FF, "\xC3\xBF"},     {0x00, 0x0000, AnsiString(1, '\0').c_str()},
  };
  for (const auto& c : cases) {
    const AnsiString byte(1, static_cast<char>(c.Byte));
    EXPECT_EQ(AnsiToWide(byte), WideString(1, c.Wide)) << int{c.Byte};
    EXPECT_EQ(WideToAnsi(WideString(1, c.Wide)), byte) << int{c.Byte};
    if (c.Byte != 0) {
      EXPECT_EQ(AnsiToUtf8(byte), c.Utf8) << int{c.Byte};
      EXPECT_EQ(Utf8ToAnsi(c.Utf8), byte) << int{c.Byte};
    }
  }
}

TEST(CodePage, WideToAnsiShowsUnmappableAsQuestionMarks) {
  const struct {
    WideString Wide;
    const char* Expected;
  } cases[] = {
      {u"\u0100", "?"},                  // Ā is not in the code page
      {u"\u4E2D\u6587", "??"},
      {u"\u0080", "?"},                  // 0x80 is the euro sign, so U+0080 has no byte
      {u"a\U0001F600b", "a?b"},          // a surrogate pair is one character
      {WideString(1, char16_t(0xD800)) + u"a", "?a"},   // lone high surrogate
      {WideString(1, char16_t(0xDC00)), "?"},           // lone low surrogate
      {WideString{char16_t(0xD800), char16_t(0xD800), char16_t(0xDC00)}, "??"},
      {WideString(1, char16_t(0xD83D)), "?"},           // cut off at the end
      {u"caf\u00E9 \u20AC5", "caf\xE9 \x80" "5"},
  };
  for (const auto& c : cases) EXPECT_EQ(WideToAnsi(c.Wide), c.Expected) << c.Expected;
}

TEST(CodePage, Utf8ToAnsiTurnsEachIllFormedByteIntoAQuestionMark) {
  const struct {
    const char* Utf8;
    const char* Expected;
  } cases[] = {
      {"caf\xC3\xA9", "caf\xE9"},
      {"\xC3", "?"},                          // cut off
      {"\xC3\x28", "?("},                     // bad continuation
      {"\xC0\xAF", "??"},                     // overlong '/'
      {"\xE0\x80\xAF", "???"},                // overlong, three bytes
      {"\xED\xA0\x80", "???"},                // an encoded surrogate
      {"\xF0\x9F\x98\x80", "?"},              // U+1F600: well formed, not in the code page
      {"\xF4\x90\x80\x80", "????"},           // past U+10FFFF
      {"\xFF\xFE", "??"},
      {"\xE4\xB8\xAD", "?"},                  // a CJK character
      {"\xE2\x82", "??"},                     // a cut-off euro sign
      {"\x80" "a", "?a"},                     // a stray continuation byte
      {"a\xE2\x82\xAC" "b", "a\x80" "b"},
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToAnsi(c.Utf8), c.Expected) << c.Utf8;
}

}  // namespace
