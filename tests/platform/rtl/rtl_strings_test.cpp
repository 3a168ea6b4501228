// 1-based text helpers, case and comparisons, StringReplace, integer conversions.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "platform/rtl/Exceptions.h"
#include "platform/rtl/Strings.h"

namespace {

struct CopyCase {
  Integer Index;
  Integer Count;
  const char* Expected;
};

TEST(Strings, CopyIsEmptyOutsideTheTextAndNeverFails) {
  const CopyCase cases[] = {
      {1, 2, "ab"},         {0, 2, ""},            {-5, 2, ""},          {4, 10, "de"},
      {5, 1, "e"},          {6, 1, ""},            {100, 1, ""},         {2, 0, ""},
      {2, -1, ""},          {1, INT_MAX, "abcde"}, {INT_MIN, INT_MAX, ""},
      {INT_MAX, INT_MAX, ""}, {3, INT_MIN, ""},
  };
  for (const CopyCase& c : cases) {
    EXPECT_EQ(Copy("abcde", c.Index, c.Count), c.Expected) << "index " << c.Index << " count " << c.Count;
  }
  EXPECT_EQ(Copy("", 1, 1), "");
  EXPECT_EQ(Copy("", 0, 0), "");
}

struct PosCase {
  const char* Sub;
  const char* S;
  Integer Offset;
  Integer Expected;
};

TEST(Strings, PosAndPosExAreOneBasedAndZeroWhenAbsent) {
  const PosCase pos[] = {
      {"b", "abc", 1, 2}, {"", "abc", 1, 0},   {"abc", "", 1, 0},     {"x", "abc", 1, 0},
      {"abcd", "abc", 1, 0}, {"c", "abc", 1, 3}, {"bc", "abcbc", 1, 2},
  };
  for (const PosCase& c : pos) EXPECT_EQ(Pos(c.Sub, c.S), c.Expected) << c.Sub << " in " << c.S;

  const PosCase posEx[] = {
      {"b", "abcb", 3, 4}, {"b", "abcb", 0, 0}, {"b", "abcb", -1, 0}, {"b", "abcb", 5, 0},
      {"b", "abcb", 4, 4}, {"", "abc", 1, 0},   {"a", "abc", 1, 1},   {"b", "abcb", INT_MAX, 0},
      {"b", "abcb", INT_MIN, 0}, {"cb", "abcb", 3, 3},
  };
  for (const PosCase& c : posEx) {
    EXPECT_EQ(PosEx(c.Sub, c.S, c.Offset), c.Expected) << c.Sub << " in " << c.S << " from " << c.Offset;
  }
}

TEST(Strings, DeleteIgnoresOutOfRangeAndClipsCount) {
  const CopyCase cases[] = {
      {2, 2, "ade"},   {1, 1, "bcde"},  {5, 1, "abcd"},  {5, 10, "abcd"}, {0, 1, "abcde"},
      {-1, 2, "abcde"}, {6, 1, "abcde"}, {2, 0, "abcde"}, {2, -1, "abcde"}, {1, INT_MAX, ""},
      {INT_MAX, 1, "abcde"}, {INT_MIN, INT_MAX, "abcde"},
  };
  for (const CopyCase& c : cases) {
    AnsiString s = "abcde";
    Delete(s, c.Index, c.Count);
    EXPECT_EQ(s, c.Expected) << "index " << c.Index << " count " << c.Count;
  }
  AnsiString empty;
  Delete(empty, 1, 1);
  EXPECT_EQ(empty, "");
}

TEST(Strings, InsertClampsIndexToTheText) {
  const struct {
    Integer Index;
    const char* Expected;
  } cases[] = {
      {1, "XYabc"}, {2, "aXYbc"}, {4, "abcXY"}, {5, "abcXY"}, {100, "abcXY"},
      {0, "XYabc"}, {-3, "XYabc"}, {INT_MAX, "abcXY"}, {INT_MIN, "XYabc"},
  };
  for (const auto& c : cases) {
    AnsiString s = "abc";
    Insert("XY", s, c.Index);
    EXPECT_EQ(s, c.Expected) << "index " << c.Index;
  }
  AnsiString s = "abc";
  Insert("", s, 2);
  EXPECT_EQ(s, "abc");
  AnsiString empty;
  Insert("X", empty, 7);
  EXPECT_EQ(empty, "X");
}

TEST(Strings, LengthSetLengthAndStringOfChar) {
  AnsiString s = "abc";
  EXPECT_EQ(Length(s), 3);
  SetLength(s, 5);
  EXPECT_EQ(s, AnsiString("abc\0\0", 5));
  SetLength(s, 1);
  EXPECT_EQ(s, "a");
  SetLength(s, -4);
  EXPECT_EQ(s, "");
  EXPECT_EQ(StringOfChar('x', 3), "xxx");
  EXPECT_EQ(StringOfChar('x', 0), "");
  EXPECT_EQ(StringOfChar('x', -2), "");
}

TEST(Strings, TrimRemovesOnlyControlsAndSpaces) {
  EXPECT_EQ(Trim("  a b \t\r\n"), "a b");
  EXPECT_EQ(TrimLeft("\x01 a "), "a ");
  EXPECT_EQ(TrimRight(" a \x1f"), " a");
  EXPECT_EQ(Trim(" \t "), "");
  EXPECT_EQ(Trim(""), "");
  // Bytes from 0x7F up are text, not blanks (a signed char would make them negative).
  EXPECT_EQ(Trim("\xE9 "), "\xE9");
  EXPECT_EQ(Trim("\xA0x\x7F"), "\xA0x\x7F");
  EXPECT_EQ(TrimLeft("\x80"), "\x80");
}

TEST(Strings, CaseMappingAsciiAndWindows1252) {
  EXPECT_EQ(UpperCase("abc xyz \xE9\xE0"), "ABC XYZ \xE9\xE0");
  EXPECT_EQ(LowerCase("ABC XYZ \xC9@[`{"), "abc xyz \xC9@[`{");
  // à é ÿ š œ ž ñ þ, then ß and µ which have no upper case in the code page.
  EXPECT_EQ(AnsiUpperCase("a\xE0\xE9\xFF\x9A\x9C\x9E\xF1\xFE\xDF\xB5"), "A\xC0\xC9\x9F\x8A\x8C\x8E\xD1\xDE\xDF\xB5");
  EXPECT_EQ(AnsiLowerCase("A\xC0\xC9\x9F\x8A\x8C\x8E\xD1\xDE\xD7"), "a\xE0\xE9\xFF\x9A\x9C\x9E\xF1\xFE\xD7");
  // × and ÷ sit among the letters but are not letters.
  EXPECT_EQ(AnsiUpperCase("\xF7"), "\xF7");
}

int Sign(Integer v) { return (v > 0) - (v < 0); }

struct CompareCase {
  const char* A;
  const char* B;
  int Expected;  // sign
};

TEST(Strings, CompareTextFoldsAsciiToUpperCase) {
  const CompareCase cases[] = {
      {"abc", "ABC", 0}, {"a", "b", -1}, {"B", "a", 1}, {"ab", "abc", -1}, {"", "", 0},
      {"", "a", -1},
      // Letters fold to upper case, so '_' (0x5F) sorts after them.
      {"_", "a", 1},
      // Only ASCII folds; bytes compare unsigned.
      {"\xE9", "\xC9", 1}, {"\xE9", "z", 1},
  };
  for (const CompareCase& c : cases) EXPECT_EQ(Sign(CompareText(c.A, c.B)), c.Expected) << c.A << " / " << c.B;
  EXPECT_TRUE(SameText("Hello", "hELLO"));
  EXPECT_FALSE(SameText("Hello", "Hell"));
  EXPECT_FALSE(SameText("\xE9", "\xC9"));
}

TEST(Strings, CompareStrIsUnsignedByteOrder) {
  const CompareCase cases[] = {
      {"a", "B", 1}, {"B", "a", -1}, {"\xE9", "a", 1}, {"ab", "abc", -1}, {"abc", "abc", 0},
      {"", "", 0},
  };
  for (const CompareCase& c : cases) EXPECT_EQ(Sign(CompareStr(c.A, c.B)), c.Expected) << c.A << " / " << c.B;
  EXPECT_LT(CompareStr(AnsiString("a\0a", 3), AnsiString("a\0b", 3)), 0);
}

TEST(Strings, AnsiCompareOrdersAccentedLettersWithTheirBase) {
  const CompareCase text[] = {
      {"\xE9", "\xC9", 0},                       // é / É
      {"r\xE9sum\xE9", "RESUME", 1},             // the accent decides after the letters tie
      {"resume", "r\xE9sum\xE9", -1},
      {"r\xE9sum\xE9", "resumes", -1},            // letters decide before accents
      {"\xC4pfel", "Birne", -1},                 // Ä sorts with A, not after Z
      {"zebra", "\xC4pfel", 1},
      {"1", "a", -1},
      {"_", "a", -1},                            // other bytes before every letter
      {"\xDF", "s", 1},                          // ß after s, before t
      {"\xDF", "t", -1},
      {"\x8A", "\x9A", 0},                       // Š / š
      {"\x9F", "\xFF", 0},                       // Ÿ / ÿ
      {"\xE9t\xE9", "ETE", 1},
  };
  for (const CompareCase& c : text) {
    EXPECT_EQ(Sign(AnsiCompareText(c.A, c.B)), c.Expected) << c.A << " / " << c.B;
    EXPECT_EQ(Sign(AnsiCompareText(c.B, c.A)), -c.Expected) << c.B << " / " << c.A;
    EXPECT_EQ(AnsiSameText(c.A, c.B), c.Expected == 0) << c.A << " / " << c.B;
  }

  const CompareCase str[] = {
      {"a", "A", -1}, {"A", "b", -1}, {"a", "a", 0}, {"\xE9", "\xC9", -1}, {"Ab", "aB", 1},
      {"e", "\xC9", -1},
  };
  for (const CompareCase& c : str) {
    EXPECT_EQ(Sign(AnsiCompareStr(c.A, c.B)), c.Expected) << c.A << " / " << c.B;
    EXPECT_EQ(Sign(AnsiCompareStr(c.B, c.A)), -c.Expected) << c.B << " / " << c.A;
  }
}

// A sorted list relies on these being one consistent order.
TEST(Strings, AnsiCompareTextSortsAndAgreesWithAnsiSameText) {
  std::vector<AnsiString> words = {"zebra",   "\xC9" "cole", "ecole",   "Apfel", "\xE4pfel", "apfel",
                                   "b",       "_x",          "10",      "9",     "\xDF",     "st",
                                   "\xE9" "cole", "ECOLE",   "\xD8re",  "ore",   "Ore",      ""};
  std::stable_sort(words.begin(), words.end(),
                   [](const AnsiString& a, const AnsiString& b) { return AnsiCompareText(a, b) < 0; });
  // ß counts as s, so it sorts as a one-letter word before "st".
  const std::vector<AnsiString> expected = {"",      "10",    "9",        "_x",       "Apfel",         "apfel",
                                            "\xE4pfel", "b",  "ecole",    "ECOLE",    "\xC9" "cole",
                                            "\xE9" "cole", "ore", "Ore",  "\xD8re",   "\xDF",         "st",
                                            "zebra"};
  EXPECT_EQ(words, expected);
  for (const AnsiString& a : words) {
    for (const AnsiString& b : words) {
      EXPECT_EQ(AnsiCompareText(a, b) == 0, AnsiUpperCase(a) == AnsiUpperCase(b)) << a << " / " << b;
      EXPECT_EQ(AnsiSameText(a, b), AnsiCompareText(a, b) == 0) << a << " / " << b;
    }
  }
}

TEST(Strings, StringReplaceFlags) {
  const struct {
    const char* S;
    const char* Old;
    const char* New;
    TReplaceFlags Flags;
    const char* Expected;
  } cases[] = {
      {"aXbXc", "X", "-", {}, "a-bXc"},
      {"aXbXc", "X", "-", {rfReplaceAll}, "a-b-c"},
      {"axbXc", "X", "-", {rfReplaceAll}, "axb-c"},
      {"axbXc", "X", "-", {rfReplaceAll, rfIgnoreCase}, "a-b-c"},
      {"axbXc", "X", "-", {rfIgnoreCase}, "a-bXc"},
      {"abc", "", "-", {rfReplaceAll}, "abc"},
      {"", "", "-", {rfReplaceAll}, ""},
      {"aaa", "a", "aa", {rfReplaceAll}, "aaaaaa"},  // replaced text is not searched again
      {"aaaa", "aa", "a", {rfReplaceAll}, "aa"},
      {"aaa", "aa", "b", {rfReplaceAll}, "ba"},
      {"abc", "x", "y", {rfReplaceAll}, "abc"},
      {"abc", "abc", "", {}, ""},
      {"abc", "ABC", "x", {}, "abc"},
      {"\xC9" "COLE \xE9" "cole", "\xE9" "cole", "school", {rfReplaceAll, rfIgnoreCase}, "school school"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StringReplace(c.S, c.Old, c.New, c.Flags), c.Expected) << c.S << ": " << c.Old << " -> " << c.New;
  }
}

TEST(Strings, IntToStrAndIntToHex) {
  EXPECT_EQ(IntToStr(0), "0");
  EXPECT_EQ(IntToStr(-42), "-42");
  EXPECT_EQ(IntToStr(INT64_MIN), "-9223372036854775808");
  EXPECT_EQ(IntToStr(INT64_MAX), "9223372036854775807");

  const struct {
    Int64 Value;
    Integer Digits;
    const char* Expected;
  } hex[] = {
      {255, 4, "00FF"},  {0, 0, "0"},   {255, 1, "FF"},   {0xABCDEF, 2, "ABCDEF"},
      {0x1234, -5, "1234"}, {-1, 1, "FFFFFFFFFFFFFFFF"}, {-1, 18, "00FFFFFFFFFFFFFFFF"},
      {INT64_MIN, 0, "8000000000000000"},
  };
  for (const auto& c : hex) EXPECT_EQ(IntToHex(c.Value, c.Digits), c.Expected) << c.Value;
}

TEST(Strings, StrToIntAcceptsStrictForms) {
  const struct {
    const char* Text;
    Integer Expected;
  } cases[] = {
      {"0", 0},           {"12", 12},          {" 12", 12},         {"\t 12", 12},
      {"+5", 5},          {"-5", -5},          {"007", 7},          {"$FF", 255},
      {"$ff", 255},       {"0x1f", 31},        {"0X1F", 31},        {"-$10", -16},
      {"+0x10", 16},      {"2147483647", INT_MAX}, {"-2147483648", INT_MIN},
      {"$7FFFFFFF", INT_MAX}, {"$FFFFFFFF", -1}, {"$80000000", INT_MIN}, {"$00000000FF", 255},
      {"-0", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StrToInt(c.Text), c.Expected) << c.Text;
    Integer v = 0;
    EXPECT_TRUE(TryStrToInt(c.Text, v)) << c.Text;
    EXPECT_EQ(v, c.Expected) << c.Text;
    EXPECT_EQ(StrToIntDef(c.Text, 99), c.Expected) << c.Text;
  }
}

TEST(Strings, StrToIntRefusesEverythingElse) {
  const char* refused[] = {
      "",    " ",     "-",   "+",    "12 ",  "12a", "1e3",    "2147483648", "-2147483649", "$",
      "0x",  "$100000000", "- 5", "1.0", "$G", "0x-1", "++5", "99999999999999999999", "x1F", "12\n",
      "0b1", "\xB2",
  };
  for (const char* text : refused) {
    Integer v = 0;
    EXPECT_FALSE(TryStrToInt(text, v)) << text;
    EXPECT_EQ(StrToIntDef(text, 99), 99) << text;
    EXPECT_THROW(StrToInt(text), EConvertError) << text;
  }
  try {
    StrToInt("12a");
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'12a' is not a valid integer value");
    EXPECT_STREQ(e.ClassName(), "EConvertError");
  }
}

TEST(Strings, StrToInt64CoversSixtyFourBits) {
  EXPECT_EQ(StrToInt64("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(StrToInt64("$FFFFFFFFFFFFFFFF"), -1);
  EXPECT_EQ(StrToInt64("$FFFFFFFF"), 4294967295LL);
  EXPECT_EQ(StrToInt64("2147483648"), 2147483648LL);
  EXPECT_EQ(StrToInt64Def("9223372036854775808", 7), 7);
  EXPECT_EQ(StrToInt64Def("-9223372036854775809", 7), 7);
  EXPECT_EQ(StrToInt64Def("$10000000000000000", 7), 7);
  Int64 v = 0;
  EXPECT_FALSE(TryStrToInt64("12 ", v));
  EXPECT_THROW(StrToInt64("abc"), EConvertError);
}

// Each case was worked out by hand: round the exact binary value to 15 significant
// digits (exact halves away from zero), drop trailing zeros, and go scientific when
// the decimal exponent is 15 or more, or below -4.
TEST(FloatText, FloatToStrGeneralFormWithFifteenDigits) {
  const struct {
    double Value;
    const char* Expected;
  } cases[] = {
      {0.0, "0"},
      {-0.0, "0"},
      {1.0, "1"},
      {-1.0, "-1"},
      {0.5, "0.5"},
      {0.1, "0.1"},                        // 0.1000000000000000055...
      {0.3, "0.3"},                        // 0.2999999999999999888...
      {0.1 + 0.2, "0.3"},                  // 0.3000000000000000444...: 15 digits hide it
      {1.0 / 3, "0.333333333333333"},
      {2.0 / 3, "0.666666666666667"},      // ...666|6296 rounds up
      {1234.5678, "1234.5678"},
      {999999999999999.0, "999999999999999"},
      {1e15, "1E15"},
      {999999999999999.9, "1E15"},         // 999999999999999.875 rounds up to 16 digits
      {123456789012345678.0, "1.23456789012346E17"},  // the double is ...345680
      {100000000000000.5, "100000000000001"},         // an exact half: away from zero
      {0.0001, "0.0001"},
      {9.999999999999995e-05, "0.0001"},   // rounds up into fixed form
      {1e-5, "1E-5"},
      {1.5e-5, "1.5E-5"},
      {-1.5e-10, "-1.5E-10"},
      {2.5e-300, "2.5E-300"},              // 2.4999999999999999797...
      {1e100, "1E100"},
      {DBL_MAX, "1.79769313486232E308"},
      {5e-324, "4.94065645841247E-324"},
      {std::numeric_limits<double>::quiet_NaN(), "NAN"},
      {std::numeric_limits<double>::infinity(), "INF"},
      {-std::numeric_limits<double>::infinity(), "-INF"},
  };
  for (const auto& c : cases) EXPECT_EQ(FloatToStr(c.Value), c.Expected) << c.Value;
}

// Against the C library, which rounds exactly (halves to even): the text must read
// back as the value rounded to 15 digits. Exact halves are left to the table above.
TEST(FloatText, FloatToStrAgreesWithFifteenDigitRounding) {
  std::mt19937_64 random(20240611);
  int checked = 0;
  for (int i = 0; i < 20000; ++i) {
    uint64_t bits = random();
    double v = 0;
    static_assert(sizeof v == sizeof bits);
    std::memcpy(&v, &bits, sizeof v);
    if (!std::isfinite(v)) continue;
    // Half of them between 2^-70 and 2^70, where fixed and scientific forms meet.
    int exponent = 0;
    if (i % 2 == 0) v = std::ldexp(std::frexp(v, &exponent), static_cast<int>(random() % 140) - 70);
    char exact[80];
    std::snprintf(exact, sizeof exact, "%.60e", std::fabs(v));
    if (exact[16] == '5' && std::strspn(exact + 17, "0") == 45) continue;
    char reference[40];
    std::snprintf(reference, sizeof reference, "%.14e", v);
    const AnsiString text = FloatToStr(v);
    ASSERT_EQ(std::strtod(text.c_str(), nullptr), std::strtod(reference, nullptr)) << text << " vs " << reference;
    ASSERT_LE(text.size(), 22u) << text;
    ++checked;
  }
  EXPECT_GT(checked, 19000);
}

TEST(FloatText, StrToFloatAcceptsPlainNumbersOnly) {
  const struct {
    const char* Text;
    double Expected;
  } accepted[] = {
      {"1.5", 1.5},   {" 1.5 ", 1.5},  {"\t-2\t", -2},  {"+3.25", 3.25},   {".5", 0.5},
      {"5.", 5},      {"1e3", 1000},   {"1E-3", 0.001}, {"1e+3", 1000},    {"0.1", 0.1},
      {"-0", 0},      {"1e-400", 0},   {"2.5E-300", 2.5e-300},             {"0.333333333333333", 0.333333333333333},
      {"1.79769313486232E308", std::numeric_limits<double>::infinity()},  // refused below
      {"007.50", 7.5}, {"0000000000000000000000001", 1},
      {"123456789012345678901234567890", 1.2345678901234568e29},
  };
  for (const auto& c : accepted) {
    double v = -1;
    if (std::isinf(c.Expected)) {
      EXPECT_FALSE(TryStrToFloat(c.Text, v)) << c.Text;
      continue;
    }
    EXPECT_TRUE(TryStrToFloat(c.Text, v)) << c.Text;
    EXPECT_EQ(v, c.Expected) << c.Text;
    EXPECT_EQ(StrToFloat(c.Text), c.Expected) << c.Text;
  }
  const char* refused[] = {"",    " ",   "1,5", "1.5x", "abc", "e5",   "1e",  ".",   "-",
                           "1e400", "-1e400", "NAN", "INF", "0x10", "1.2.3", "--1", "1 2", "1e+",
                           "1e5.5", "+.e1"};
  for (const char* text : refused) {
    double v = 0;
    EXPECT_FALSE(TryStrToFloat(text, v)) << text;
    EXPECT_EQ(StrToFloatDef(text, 4.5), 4.5) << text;
    EXPECT_THROW(StrToFloat(text), EConvertError) << text;
  }
  try {
    StrToFloat("1,5");
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'1,5' is not a valid floating point value");
  }
}

TEST(FloatText, FloatToStrReadsBackThroughStrToFloat) {
  for (double v : {0.1, 1.0 / 3, 1e15, 1.5e-5, -123.456, 2.5e-300, 1e300}) {
    EXPECT_EQ(FloatToStr(StrToFloat(FloatToStr(v))), FloatToStr(v)) << v;
  }
}

struct FormatCase {
  const char* Fmt;
  std::initializer_list<FormatArg> Args;
  const char* Expected;
};

TEST(Format, IntegersAndTexts) {
  const void* pointer = reinterpret_cast<const void*>(uintptr_t{0x1234});
  const FormatCase cases[] = {
      {"%d", {5}, "5"},
      {"%d items", {0}, "0 items"},
      {"%5d|", {42}, "   42|"},
      {"%-5d|", {42}, "42   |"},
      {"%1d", {12345}, "12345"},  // a width never cuts
      {"%2.2d", {5}, "05"},
      {"%4.4d", {7}, "0007"},
      {"%.3d", {-7}, "-007"},
      {"%6.3d|", {-7}, "  -007|"},
      {"%.0d", {0}, "0"},
      {"%d", {INT64_MIN}, "-9223372036854775808"},
      {"%D", {3}, "3"},
      {"%u", {-1}, "4294967295"},
      {"%u", {Int64{-1}}, "18446744073709551615"},
      {"%x", {255}, "FF"},
      {"%X", {255}, "FF"},
      {"%.4x", {255}, "00FF"},
      {"%x", {-1}, "FFFFFFFF"},
      {"%x", {Int64{-1}}, "FFFFFFFFFFFFFFFF"},
      {"%x", {static_cast<Cardinal>(0xDEADBEEF)}, "DEADBEEF"},
      {"%s", {"abc"}, "abc"},
      {"%.2s", {"abc"}, "ab"},
      {"%.0s|", {"abc"}, "|"},
      {"%5s|", {"abc"}, "  abc|"},
      {"%-5s|", {"abc"}, "abc  |"},
      {"%5.1s|", {"abc"}, "    a|"},
      {"[%s]", {'c'}, "[c]"},
      {"%s", {static_cast<const char*>(nullptr)}, ""},
      {"%p", {pointer}, sizeof(void*) == 8 ? "0000000000001234" : "00001234"},
      {"%%", {}, "%"},
      {"100%%", {}, "100%"},
      {"%% %d %%", {1}, "% 1 %"},
      {"", {}, ""},
      {"no specifiers", {1, "extra"}, "no specifiers"},
      {"%1:s %0:s", {"a", "b"}, "b a"},
      {"%1:s %s", {"a", "b", "c"}, "b c"},
      {"%0:s%0:s", {"ab"}, "abab"},
      {"%*d|", {5, 42}, "   42|"},
      {"%-*d|", {5, 42}, "42   |"},
      {"%*d|", {-5, 42}, "42   |"},
      {"%.*d", {3, 7}, "007"},
      {"%*.*d", {6, 3, 7}, "   007"},
      {"%.*s", {-1, "abc"}, "abc"},
      {"%s=%d", {"n", 3}, "n=3"},
  };
  for (const FormatCase& c : cases) EXPECT_EQ(Format(c.Fmt, c.Args), c.Expected) << c.Fmt;
  EXPECT_EQ(Format("[%s]", {AnsiString("x\0y", 3)}), AnsiString("[x\0y]", 5));
}

TEST(Format, FloatsUseDotAndRoundHalvesAway) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const FormatCase cases[] = {
      {"%f", {1.5}, "1.50"},
      {"%.0f", {2.5}, "3"},
      {"%.0f", {0.5}, "1"},
      {"%.0f", {-0.5}, "-1"},
      {"%.2f", {0.125}, "0.13"},      // exact half
      {"%.2f", {1.005}, "1.00"},      // 1.00499999999999989...
      {"%.1f", {2.25}, "2.3"},
      {"%.1f", {-0.25}, "-0.3"},
      {"%.2f", {-0.001}, "0.00"},     // no sign on a zero
      {"%.3f", {9.9995}, "9.999"},    // 9.99949999999999938...
      {"%.2f", {99.995}, "100.00"},   // 99.99500000000000454...
      {"%.0f", {9.5}, "10"},
      {"%8.3f|", {3.14159}, "   3.142|"},
      {"%-8.1f|", {3.14159}, "3.1     |"},
      {"%f", {1e20}, "100000000000000000000.00"},
      {"%.30f", {0.5}, "0.500000000000000000"},  // at most 18 decimals
      {"%f", {1.0f}, "1.00"},
      {"%e", {1.5}, "1.50000000000000E+000"},
      {"%.3e", {1234.5}, "1.23E+003"},
      {"%.3e", {1225.0}, "1.23E+003"},   // exact half
      {"%.2e", {-0.000123}, "-1.2E-004"},
      {"%.1e", {9.5}, "1E+001"},
      {"%e", {0.0}, "0.00000000000000E+000"},
      {"%.2e", {1e300}, "1.0E+300"},
      {"%g", {1e20}, "1E20"},
      {"%g", {0.5}, "0.5"},
      {"%g", {100.0}, "100"},
      {"%.3g", {1234.0}, "1.23E3"},
      {"%.3g", {123.0}, "123"},
      {"%g", {1e-5}, "1E-5"},
      {"%n", {1234567.891}, "1,234,567.89"},
      {"%.0n", {999.5}, "1,000"},
      {"%n", {-1234.5}, "-1,234.50"},
      {"%n", {12.0}, "12.00"},
      {"%.1n", {123456.0}, "123,456.0"},
      {"%m", {1234.5}, "$1,234.50"},
      {"%m", {-5.0}, "-$5.00"},
      {"%f", {nan}, "NAN"},
      {"%e", {inf}, "INF"},
      {"%g", {-inf}, "-INF"},
      {"%6n|", {nan}, "   NAN|"},
  };
  for (const FormatCase& c : cases) EXPECT_EQ(Format(c.Fmt, c.Args), c.Expected) << c.Fmt;
}

TEST(Format, MismatchAndMissingArgumentRaise) {
  const FormatCase invalid[] = {
      {"%d", {"x"}, ""},   {"%d", {1.5}, ""},  {"%s", {5}, ""},   {"%f", {5}, ""},      {"%x", {2.0}, ""},
      {"%p", {5}, ""},     {"%", {1}, ""},     {"abc%", {1}, ""}, {"%5", {1}, ""},      {"%.", {1}, ""},
      {"%q", {1}, ""},     {"%-", {1}, ""},    {"%1:", {1}, ""},  {"%*d", {"a", 1}, ""}, {"%2000000d", {1}, ""},
      {"%.2000000f", {1.0}, ""}, {"%d", {'c'}, ""}, {"% d", {1}, ""}, {"%*:d", {-1, 1}, ""}, {"%*d", {INT64_MIN, 1}, ""}, {"%.*d", {INT64_MAX, 1}, ""},
  };
  for (const FormatCase& c : invalid) EXPECT_THROW(Format(c.Fmt, c.Args), EConvertError) << c.Fmt;

  const FormatCase missing[] = {
      {"%d", {}, ""}, {"%d %d", {1}, ""}, {"%2:d", {1, 2}, ""}, {"%*d", {5}, ""}, {"%1:d %d", {1, 2}, ""},
  };
  for (const FormatCase& c : missing) EXPECT_THROW(Format(c.Fmt, c.Args), EConvertError) << c.Fmt;

  try {
    Format("Value: %d", {"x"});
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Format 'Value: %d' invalid or incompatible with argument");
  }
  try {
    Format("%d and %d", {1});
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "No argument for format '%d and %d'");
  }
}

// Arbitrary formats and arguments give text or EConvertError, never a crash or a read
// past the format (the sanitizers watch).
TEST(Format, NeverCrashesOnArbitraryFormats) {
  const char alphabet[] = "%%%-.*:0123456789dDuxXsSfFeEgGnNmMpPzq a";
  std::mt19937 random(7);
  for (int i = 0; i < 20000; ++i) {
    AnsiString fmt(random() % 12, ' ');
    for (char& c : fmt) c = alphabet[random() % (sizeof alphabet - 1)];
    // A heap copy of exactly the format's size, so a read past it is caught.
    std::vector<char> exact(fmt.begin(), fmt.end());
    const AnsiString exactFmt(exact.data(), exact.size());
    try {
      const AnsiString out =
          Format(exactFmt, {INT64_MIN, 3, -1.25, "text", 'c', static_cast<const void*>(&i), -4, INT64_MAX});
      EXPECT_LT(out.size(), 4096u);
    } catch (const EConvertError&) {
    }
  }
}

}  // namespace
