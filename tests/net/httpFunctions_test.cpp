#include "net/HttpFunctions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/rtl/DateTime.h"
#include "platform/rtl/Exceptions.h"
#include "tests/support/Peers.h"

namespace {

const char* const Python = "/usr/bin/python3";

struct Moment {
  Word year, month, day, hour, min, sec;
};

std::string ToString(const Moment& m) {
  return std::to_string(m.year) + '-' + std::to_string(m.month) + '-' + std::to_string(m.day) + ' ' +
         std::to_string(m.hour) + ':' + std::to_string(m.min) + ':' + std::to_string(m.sec);
}

// Before 30 December 1899 the day counts back and the time forward.
TDateTime ToDateTime(const Moment& m) {
  const TDateTime date = EncodeDate(m.year, m.month, m.day);
  const TDateTime time = EncodeTime(m.hour, m.min, m.sec, 0);
  return date >= 0 ? date + time : date - time;
}

Moment FromDateTime(TDateTime value) {
  Moment m{};
  Word msec = 0;
  DecodeDate(value, m.year, m.month, m.day);
  DecodeTime(value, m.hour, m.min, m.sec, msec);
  return m;
}

// Runs a python3 script over one argument and answers its output lines.
std::vector<std::string> RunPython(const char* script, const std::string& argument) {
  int exitCode = -1;
  std::istringstream out(larktest::RunCommand({Python, "-c", script, argument}, &exitCode));
  EXPECT_EQ(exitCode, 0);
  std::vector<std::string> lines;
  for (std::string line; std::getline(out, line);) lines.push_back(line);
  return lines;
}

// Month edges in every month, every weekday, leap days, the days around the
// framework's day 0 and 1 January 1900, dates far before it, and the ends of the calendar.
std::vector<Moment> DatesToCheck() {
  std::vector<Moment> moments;
  const Word leapYear = 2024;
  for (Word month = 1; month <= 12; ++month) {
    moments.push_back({leapYear, month, 1, 0, 0, 0});
    moments.push_back({leapYear, month, MonthDays[1][month], 23, 59, 59});
  }
  for (Word day = 2; day <= 8; ++day) moments.push_back({2006, 1, day, 14, 5, 9});
  const std::vector<Moment> more = {
      {2000, 2, 29, 12, 0, 0},  {1900, 2, 28, 1, 2, 3},   {1900, 3, 1, 4, 5, 6},
      {1899, 12, 29, 6, 0, 0},  {1899, 12, 30, 0, 0, 0},  {1899, 12, 30, 18, 30, 0},
      {1899, 12, 31, 23, 59, 59}, {1900, 1, 1, 0, 0, 1},  {1800, 6, 15, 7, 8, 9},
      {1582, 10, 15, 10, 10, 10}, {1000, 1, 1, 0, 0, 0},  {999, 12, 31, 23, 59, 59},
      {150, 3, 1, 13, 14, 15},  {1, 1, 1, 0, 0, 0},       {42, 7, 4, 9, 9, 9},
      {1970, 1, 1, 0, 0, 0},    {2038, 1, 19, 3, 14, 7},  {9999, 12, 31, 23, 59, 59},
  };
  moments.insert(moments.end(), more.begin(), more.end());
  return moments;
}

TEST(HttpFunctions, RFC1123DateWritesTheDocumentedExample) {
  EXPECT_EQ(RFC1123_Date(EncodeDate(2006, 1, 2) + EncodeTime(14, 5, 9, 0)), "Mon, 02 Jan 2006 14:05:09");
  // Milliseconds are dropped, not rounded into the next second.
  EXPECT_EQ(RFC1123_Date(EncodeDate(2006, 1, 2) + EncodeTime(14, 5, 9, 999)), "Mon, 02 Jan 2006 14:05:09");
}

TEST(HttpFunctions, RFC1123DateMatchesPythonEmailUtils) {
  if (larktest::RequireProgram(Python).empty()) return;
  static const char* const script = R"(
import sys, datetime, email.utils
for item in sys.argv[1].split(','):
    y, mo, d, h, mi, s = map(int, item.split('/'))
    dt = datetime.datetime(y, mo, d, h, mi, s, tzinfo=datetime.timezone.utc)
    print(email.utils.format_datetime(dt, usegmt=True))
)";
  const std::vector<Moment> moments = DatesToCheck();
  std::string list;
  for (const Moment& m : moments) {
    if (!list.empty()) list += ',';
    list += std::to_string(m.year) + '/' + std::to_string(m.month) + '/' + std::to_string(m.day) + '/' +
            std::to_string(m.hour) + '/' + std::to_string(m.min) + '/' + std::to_string(m.sec);
  }
  const std::vector<std::string> expected = RunPython(script, list);
  ASSERT_EQ(expected.size(), moments.size());
  for (size_t i = 0; i < moments.size(); ++i) {
    SCOPED_TRACE(ToString(moments[i]));
    EXPECT_EQ(RFC1123_Date(ToDateTime(moments[i])) + " GMT", expected[i]);
  }
}

TEST(HttpFunctions, RFC1123StrToDateReadsWhatPythonWrites) {
  if (larktest::RequireProgram(Python).empty()) return;
  // Python writes each date, reads it back itself, and prints both.
  static const char* const script = R"(
import sys, datetime, email.utils
for item in sys.argv[1].split(','):
    y, mo, d, h, mi, s = map(int, item.split('/'))
    text = email.utils.format_datetime(
        datetime.datetime(y, mo, d, h, mi, s, tzinfo=datetime.timezone.utc), usegmt=True)
    back = email.utils.parsedate_to_datetime(text)
    print(text)
    print(back.year, back.month, back.day, back.hour, back.minute, back.second)
)";
  std::vector<Moment> moments;
  // Python takes years below 100 as two-digit years; those are checked by the round trip.
  for (const Moment& m : DatesToCheck())
    if (m.year >= 100) moments.push_back(m);
  std::string list;
  for (const Moment& m : moments) {
    if (!list.empty()) list += ',';
    list += std::to_string(m.year) + '/' + std::to_string(m.month) + '/' + std::to_string(m.day) + '/' +
            std::to_string(m.hour) + '/' + std::to_string(m.min) + '/' + std::to_string(m.sec);
  }
  const std::vector<std::string> lines = RunPython(script, list);
  ASSERT_EQ(lines.size(), moments.size() * 2);
  for (size_t i = 0; i < moments.size(); ++i) {
    const std::string& text = lines[i * 2];
    SCOPED_TRACE(text);
    std::istringstream parts(lines[i * 2 + 1]);
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    parts >> y >> mo >> d >> h >> mi >> s;
    const Moment ours = FromDateTime(RFC1123_StrToDate(text));
    EXPECT_EQ(ours.year, y);
    EXPECT_EQ(ours.month, mo);
    EXPECT_EQ(ours.day, d);
    EXPECT_EQ(ours.hour, h);
    EXPECT_EQ(ours.min, mi);
    EXPECT_EQ(ours.sec, s);
  }
}

TEST(HttpFunctions, RFC1123DateAndItsReverseRoundTrip) {
  for (const Moment& m : DatesToCheck()) {
    SCOPED_TRACE(ToString(m));
    const TDateTime value = ToDateTime(m);
    EXPECT_EQ(RFC1123_StrToDate(RFC1123_Date(value)), value);
  }
}

TEST(HttpFunctions, RFC1123DatesBeforeDayZeroKeepTheirTime) {
  // 29 December 1899, 06:00 is -1.25; adding the time to the day (-0.75) would be
  // 30 December, 18:00.
  EXPECT_EQ(RFC1123_StrToDate("Fri, 29 Dec 1899 06:00:00 GMT"), -1.25);
  EXPECT_EQ(RFC1123_Date(-1.25), "Fri, 29 Dec 1899 06:00:00");
  EXPECT_EQ(RFC1123_Date(-0.75), "Sat, 30 Dec 1899 18:00:00");
}

TEST(HttpFunctions, RFC1123DateNamesTheDayItWrites) {
  // Half a millisecond before midnight decodes as the next day, and is named so.
  const TDateTime almostMidnight = EncodeDate(2006, 1, 2) + (MSecsPerDay - 0.3) / MSecsPerDay;
  EXPECT_EQ(RFC1123_Date(almostMidnight), "Tue, 03 Jan 2006 00:00:00");
}

TEST(HttpFunctions, RFC1123DateOutsideTheCalendarDoesNotFail) {
  const TDateTime values[] = {std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::infinity(), -1e300, 1e300, 3e6, -7e5};
  for (const TDateTime value : values) {
    AnsiString text;
    EXPECT_NO_THROW(text = RFC1123_Date(value)) << value;
    EXPECT_EQ(text.substr(3, 5), ", 00 ") << text;  // no day, no month name
  }
}

struct ReverseCase {
  const char* text;
  bool valid;
  Moment expected;
};

TEST(HttpFunctions, RFC1123StrToDateOnMalformedTexts) {
  const ReverseCase cases[] = {
      // The zone, the day name and anything after the seconds are not read.
      {"Mon, 02 Jan 2006 14:05:09 +0100", true, {2006, 1, 2, 14, 5, 9}},
      {"Xyz, 02 Jan 2006 14:05:09", true, {2006, 1, 2, 14, 5, 9}},
      {"Mon, 02 Jan 2006 14:05:09junk", true, {2006, 1, 2, 14, 5, 9}},
      // A missing time reads as midnight.
      {"Mon, 02 Jan 2006", true, {2006, 1, 2, 0, 0, 0}},
      {"Tue, 29 Feb 2000 00:00:00", true, {2000, 2, 29, 0, 0, 0}},
      {"", false, {}},
      {"garbage", false, {}},
      {"Mon, 2 Jan 2006 14:05:09 GMT", false, {}},   // the fixed layout is required
      {"Mon, 32 Jan 2006 00:00:00", false, {}},
      {"Mon, 00 Jan 2006 00:00:00", false, {}},
      {"Wed, 29 Feb 2006 00:00:00", false, {}},
      {"Mon, 02 jan 2006 00:00:00", false, {}},     // month names are case-sensitive
      {"Mon, 02 Foo 2006 00:00:00", false, {}},
      {"Mon, 02 Jan 0000 00:00:00", false, {}},
      {"Mon, 02 Jan -999 00:00:00", false, {}},
      {"Mon, 02 Jan 2006 24:00:00", false, {}},
      {"Mon, 02 Jan 2006 23:60:00", false, {}},
      {"Mon, 02 Jan 2006 23:59:60", false, {}},
      {"Mon, 02 Jan 2006 -1:00:00", false, {}},
      {"Mon, -1 Jan 2006 00:00:00", false, {}},
  };
  for (const ReverseCase& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.text + "\"");
    if (!c.valid) {
      EXPECT_THROW(RFC1123_StrToDate(c.text), EConvertError);
      continue;
    }
    TDateTime value = 0;
    ASSERT_NO_THROW(value = RFC1123_StrToDate(c.text));
    const Moment m = FromDateTime(value);
    EXPECT_EQ(ToString(m), ToString(c.expected));
  }
  // Bytes that are no text at all.
  EXPECT_THROW(RFC1123_StrToDate(std::string(30, '\0')), EConvertError);
  EXPECT_THROW(RFC1123_StrToDate(std::string(30, '\xff')), EConvertError);
}

TEST(HttpFunctions, EncodeStrFixedCases) {
  EXPECT_EQ(EncodeStr(encBase64, ""), "");
  EXPECT_EQ(EncodeStr(encBase64, "abc"), "YWJj");
  EXPECT_EQ(EncodeStr(encBase64, "a"), "YQ==");
  EXPECT_EQ(EncodeStr(encBase64, "ab"), "YWI=");
  EXPECT_EQ(EncodeStr(encMime, "user:pass"), "dXNlcjpwYXNz");
  EXPECT_EQ(EncodeStr(encUUEncode, "abc"), "#86)C");
  EXPECT_EQ(EncodeStr(encUUEncode, "a"), "!80``");
  EXPECT_EQ(EncodeStr(encUUEncode, ""), "`");
  // The length character wraps modulo 64.
  EXPECT_EQ(EncodeStr(encUUEncode, std::string(64, 'x')).front(), '`');
  EXPECT_EQ(EncodeStr(encUUEncode, std::string(65, 'x')).front(), '!');
  EXPECT_EQ(EncodeStr(encUUEncode, std::string(65, 'x')).size(), 1u + 22 * 4);
}

TEST(HttpFunctions, EncodeStrMatchesPythonBase64AndUuencode) {
  if (larktest::RequireProgram(Python).empty()) return;
  static const char* const script = R"(
import sys, base64, binascii
for item in sys.argv[1].split(','):
    data = bytes.fromhex(item)
    print(base64.b64encode(data).decode('ascii'))
    print(binascii.b2a_uu(data, backtick=True).decode('ascii').rstrip('\n'))
)";
  // Every length a uuencoded line can hold, with bytes of every value.
  std::vector<std::string> inputs;
  uint32_t seed = 2024;
  for (size_t len = 0; len <= 45; ++len) {
    std::string data;
    for (size_t i = 0; i < len; ++i) {
      seed = seed * 1103515245u + 12345u;
      data += static_cast<char>((seed >> 16) & 0xff);
    }
    inputs.push_back(data);
  }
  inputs.push_back(std::string(45, '\0'));
  inputs.push_back(std::string(45, '\xff'));
  std::string list;
  for (size_t i = 0; i < inputs.size(); ++i) {
    static const char Hex[] = "0123456789abcdef";
    if (i > 0) list += ',';  // the first input is empty
    for (const char ch : inputs[i]) {
      list += Hex[static_cast<unsigned char>(ch) >> 4];
      list += Hex[static_cast<unsigned char>(ch) & 15];
    }
  }
  const std::vector<std::string> lines = RunPython(script, list);
  ASSERT_EQ(lines.size(), inputs.size() * 2);
  for (size_t i = 0; i < inputs.size(); ++i) {
    SCOPED_TRACE("length " + std::to_string(inputs[i].size()));
    EXPECT_EQ(EncodeStr(encBase64, inputs[i]), lines[i * 2]);
    EXPECT_EQ(EncodeStr(encUUEncode, inputs[i]), lines[i * 2 + 1]);
  }
}

TEST(HttpFunctions, EncodeLineReadsNoMoreThanLenBytes) {
  // Exactly sized buffers: AddressSanitizer reports a read past them.
  for (Integer len = 1; len <= 7; ++len) {
    auto data = std::make_unique<unsigned char[]>(static_cast<size_t>(len));
    for (Integer i = 0; i < len; ++i) data[i] = static_cast<unsigned char>('a' + i);
    const std::string text(reinterpret_cast<const char*>(data.get()), static_cast<size_t>(len));
    EXPECT_EQ(EncodeLine(encBase64, data.get(), len), EncodeStr(encBase64, text));
    EXPECT_EQ(EncodeLine(encUUEncode, data.get(), len), EncodeStr(encUUEncode, text));
  }
  // Nothing to read.
  EXPECT_EQ(EncodeLine(encBase64, "abc", 0), "");
  EXPECT_EQ(EncodeLine(encBase64, "abc", -5), "");
  EXPECT_EQ(EncodeLine(encUUEncode, "abc", -5), "`");
  EXPECT_EQ(EncodeLine(encBase64, nullptr, 10), "");
}

TEST(HttpFunctions, ReplaceExtChangesTheLastExtension) {
  const std::pair<std::string, std::string> cases[] = {
      {"archive.tar.gz", "archive.tar.htm"},
      {"README", "README.htm"},
      {"name.", "name.htm"},
      {"", ".htm"},
      {".profile", ".htm"},
      {"/docs/index.exe", "/docs/index.htm"},
  };
  for (const auto& [name, expected] : cases) {
    AnsiString changed = name;
    ReplaceExt(changed, "htm");
    EXPECT_EQ(changed, expected) << name;
  }
}

TEST(HttpFunctions, StrToIntDefaultFallsBackOnInvalidText) {
  EXPECT_EQ(StrToIntDefault("12", -1), 12);
  EXPECT_EQ(StrToIntDefault("-7", 0), -7);
  EXPECT_EQ(StrToIntDefault("$1F", 0), 31);
  EXPECT_EQ(StrToIntDefault("", 5), 5);
  EXPECT_EQ(StrToIntDefault("12abc", 5), 5);
  EXPECT_EQ(StrToIntDefault("2147483648", 5), 5);
  EXPECT_EQ(StrToIntDefault("2147483647", 5), 2147483647);
}

TEST(HttpFunctions, EHttpExceptionCarriesItsCode) {
  try {
    throw EHttpException("Not Found", 404);
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Not Found");
    EXPECT_STREQ(e.ClassName(), "EHttpException");
    const auto* http = dynamic_cast<const EHttpException*>(&e);
    ASSERT_NE(http, nullptr);
    EXPECT_EQ(http->ErrorCode, 404);
  }
  static_assert(std::is_same_v<decltype(EHttpException("", 0).ErrorCode), Word>);
}

}  // namespace
