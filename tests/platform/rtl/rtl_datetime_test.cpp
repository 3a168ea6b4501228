#include "platform/rtl/DateTime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "platform/rtl/Exceptions.h"
#include "tests/support/Peers.h"

namespace {

const char* const Python = "/usr/bin/python3";

struct Moment {
  Word year, month, day, hour, min, sec, msec;
};

std::string ToString(const Moment& m) {
  std::ostringstream s;
  s << m.year << '-' << m.month << '-' << m.day << ' ' << m.hour << ':' << m.min << ':' << m.sec
    << '.' << m.msec;
  return s.str();
}

// What Python's datetime says about a moment: the day number from 30 December 1899
// (counting back before it), the milliseconds into the day, the chronological
// serial, the ISO weekday and whether the year is a leap year.
struct PythonAnswer {
  long long days = 0;
  long long msOfDay = 0;
  double serial = 0;
  int isoWeekday = 0;
  int leap = 0;
};

std::vector<PythonAnswer> AskPython(const std::vector<Moment>& moments) {
  static const char* const script = R"(
import sys, datetime, calendar
epoch = datetime.datetime(1899, 12, 30)
for item in sys.argv[1].split(','):
    y, mo, d, h, mi, s, ms = map(int, item.split('/'))
    dt = datetime.datetime(y, mo, d, h, mi, s, ms * 1000)
    delta = dt - epoch  # days is floored, seconds and microseconds are never negative
    print(delta.days, delta.seconds * 1000 + delta.microseconds // 1000,
          repr(delta.total_seconds() / 86400), dt.isoweekday(), int(calendar.isleap(y)))
)";
  std::string list;
  for (const Moment& m : moments) {
    if (!list.empty()) list += ',';
    list += std::to_string(m.year) + '/' + std::to_string(m.month) + '/' + std::to_string(m.day) +
            '/' + std::to_string(m.hour) + '/' + std::to_string(m.min) + '/' +
            std::to_string(m.sec) + '/' + std::to_string(m.msec);
  }
  int exitCode = -1;
  std::istringstream out(larktest::RunCommand({Python, "-c", script, list}, &exitCode));
  EXPECT_EQ(exitCode, 0);
  std::vector<PythonAnswer> answers;
  PythonAnswer a;
  std::string serial;
  while (out >> a.days >> a.msOfDay >> serial >> a.isoWeekday >> a.leap) {
    a.serial = std::strtod(serial.c_str(), nullptr);
    answers.push_back(a);
  }
  return answers;
}

std::vector<Moment> MomentsToCheck() {
  const std::vector<std::vector<Word>> dates = {
      {1899, 12, 30}, {1898, 12, 31}, {1899, 12, 29}, {1899, 1, 1},  {1900, 1, 1},
      {1900, 2, 28},  {1900, 3, 1},   {1752, 9, 2},   {1752, 9, 14}, {1, 1, 1},
      {1, 12, 31},    {4, 2, 29},     {100, 2, 28},   {100, 3, 1},   {400, 2, 29},
      {1600, 2, 29},  {1970, 1, 1},   {2000, 2, 29},  {2000, 3, 1},  {2024, 2, 29},
      {2038, 1, 19},  {2100, 3, 1},   {9999, 12, 31}, {1996, 12, 31}, {2000, 12, 31},
      {1600, 12, 31}, {1899, 12, 31},
  };
  const std::vector<std::vector<Word>> times = {
      {0, 0, 0, 0}, {0, 0, 0, 1}, {6, 30, 15, 123}, {12, 0, 0, 0}, {18, 45, 0, 500}, {23, 59, 59, 999},
  };
  std::vector<Moment> moments;
  for (const auto& d : dates)
    for (const auto& t : times) moments.push_back({d[0], d[1], d[2], t[0], t[1], t[2], t[3]});
  // And a spread of moments over the whole range, the same on every run.
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<Word>((seed >> 8) % n);
  };
  for (int i = 0; i < 300; ++i) {
    const Word year = static_cast<Word>(1 + next(9999));
    const Word month = static_cast<Word>(1 + next(12));
    const Word day = static_cast<Word>(1 + next(28));
    moments.push_back({year, month, day, next(24), next(60), next(60), next(1000)});
  }
  return moments;
}

// Before 30 December 1899 the framework counts the day back and the time forward:
// 29 December 1899 06:00 is -1.25, not -0.75.
TDateTime Combine(TDateTime date, TDateTime time) { return date >= 0 ? date + time : date - time; }

TEST(DateTime, SerialNumbersMatchPythonDatetime) {
  if (larktest::RequireProgram(Python).empty()) return;
  const std::vector<Moment> moments = MomentsToCheck();
  const std::vector<PythonAnswer> answers = AskPython(moments);
  ASSERT_EQ(answers.size(), moments.size());
  for (size_t i = 0; i < moments.size(); ++i) {
    const Moment& m = moments[i];
    const PythonAnswer& py = answers[i];
    SCOPED_TRACE(ToString(m));
    const TDateTime date = EncodeDate(m.year, m.month, m.day);
    const TDateTime time = EncodeTime(m.hour, m.min, m.sec, m.msec);
    EXPECT_EQ(date, static_cast<double>(py.days));
    EXPECT_EQ(time, static_cast<double>(py.msOfDay) / MSecsPerDay);
    const TDateTime value = Combine(date, time);
    // 1 ms is 1.2e-8 of a day; the tolerance allows for the last bits of Python's sum.
    const double expected = py.days >= 0 ? py.serial : py.days - (py.serial - py.days);
    EXPECT_NEAR(value, expected, 2e-9);

    Word y, mo, d, h, mi, s, ms;
    DecodeDate(value, y, mo, d);
    DecodeTime(value, h, mi, s, ms);
    EXPECT_EQ(ToString({y, mo, d, h, mi, s, ms}), ToString(m));
    EXPECT_EQ(DayOfWeek(value), py.isoWeekday % 7 + 1);
    EXPECT_EQ(IsLeapYear(m.year), py.leap == 1);
  }
}

TEST(DateTime, EpochAndWeekdaysHaveTheFrameworksNumbers) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
  EXPECT_EQ(DayOfWeek(2.0), 2);                         // Monday
  EXPECT_EQ(DayOfWeek(EncodeDate(2023, 10, 1)), 1);     // a Sunday
  EXPECT_EQ(DayOfWeek(EncodeDate(1, 1, 1)), 2);         // a Monday
  EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465.0);
  EXPECT_EQ(EncodeDate(1, 1, 1), -693593.0);
}

TEST(DateTime, MonthDaysMatchPythonCalendar) {
  if (larktest::RequireProgram(Python).empty()) return;
  int exitCode = -1;
  const std::string out = larktest::RunCommand(
      {Python, "-c",
       "import calendar\n"
       "for y in (1900, 2000, 2023, 2024):\n"
       "    print(' '.join(str(calendar.monthrange(y, m)[1]) for m in range(1, 13)))\n"},
      &exitCode);
  ASSERT_EQ(exitCode, 0);
  std::ostringstream ours;
  for (Word y : {1900, 2000, 2023, 2024}) {
    for (Word m = 1; m <= 12; ++m) ours << MonthDays[IsLeapYear(y)][m] << (m < 12 ? " " : "\n");
  }
  EXPECT_EQ(ours.str(), out);
}

TEST(DateTime, InvalidPartsRaiseEConvertError) {
  struct DateCase {
    Word year, month, day;
  };
  for (const DateCase& c : std::vector<DateCase>{{0, 1, 1},
                                                 {10000, 1, 1},
                                                 {2023, 0, 1},
                                                 {2023, 13, 1},
                                                 {2023, 1, 0},
                                                 {2023, 1, 32},
                                                 {2023, 4, 31},
                                                 {2023, 2, 29},
                                                 {1900, 2, 29},
                                                 {2100, 2, 29}}) {
    SCOPED_TRACE(std::to_string(c.year) + "-" + std::to_string(c.month) + "-" + std::to_string(c.day));
    TDateTime value = 42;
    EXPECT_FALSE(TryEncodeDate(c.year, c.month, c.day, value));
    EXPECT_EQ(value, 42);
    try {
      EncodeDate(c.year, c.month, c.day);
      ADD_FAILURE() << "no exception";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), "Invalid argument to date encode");
    }
  }
  struct TimeCase {
    Word hour, min, sec, msec;
  };
  for (const TimeCase& c : std::vector<TimeCase>{{24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}}) {
    SCOPED_TRACE(std::to_string(c.hour) + ":" + std::to_string(c.min) + ":" + std::to_string(c.sec) +
                 "." + std::to_string(c.msec));
    TDateTime value = 42;
    EXPECT_FALSE(TryEncodeTime(c.hour, c.min, c.sec, c.msec, value));
    EXPECT_EQ(value, 42);
    try {
      EncodeTime(c.hour, c.min, c.sec, c.msec);
      ADD_FAILURE() << "no exception";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), "Invalid argument to time encode");
    }
  }
  TDateTime value = 0;
  EXPECT_TRUE(TryEncodeDate(2000, 2, 29, value));
  EXPECT_TRUE(TryEncodeDate(9999, 12, 31, value));
  EXPECT_TRUE(TryEncodeTime(23, 59, 59, 999, value));
}

// Every second of a day, on the days where a double has the fewest bits left for
// the time, decodes back exactly: never 60 s or 1000 ms.
TEST(DateTime, DecodeTimeIsExactForEncodedTimes) {
  for (const TDateTime date : {EncodeDate(9999, 12, 31), EncodeDate(1, 1, 1), EncodeDate(1899, 12, 30)}) {
    int mismatches = 0;
    for (int second = 0; second < SecsPerDay; ++second) {
      const Word h = static_cast<Word>(second / 3600), mi = static_cast<Word>(second / 60 % 60),
                 s = static_cast<Word>(second % 60), ms = static_cast<Word>((second * 7) % 1000);
      const TDateTime value = Combine(date, EncodeTime(h, mi, s, ms));
      Word y, mo, d, h2, mi2, s2, ms2;
      DecodeTime(value, h2, mi2, s2, ms2);
      DecodeDate(value, y, mo, d);
      if (h2 != h || mi2 != mi || s2 != s || ms2 != ms || EncodeDate(y, mo, d) != date) ++mismatches;
    }
    EXPECT_EQ(mismatches, 0) << "day " << date;
  }
}

TEST(DateTime, MomentsThatRoundToMidnightBelongToTheNextDay) {
  struct Case {
    TDateTime value;
    Word year, month, day;
  };
  // Half a millisecond before midnight, after and before the epoch.
  const double almost = 1.0 - 0.4 / MSecsPerDay;
  for (const Case& c : std::vector<Case>{{EncodeDate(2023, 12, 31) + almost, 2024, 1, 1},
                                         {EncodeDate(1899, 12, 28) - almost, 1899, 12, 29},
                                         {almost, 1899, 12, 31}}) {
    SCOPED_TRACE(c.value);
    Word y, mo, d, h, mi, s, ms;
    DecodeDate(c.value, y, mo, d);
    DecodeTime(c.value, h, mi, s, ms);
    EXPECT_EQ(ToString({y, mo, d, h, mi, s, ms}), ToString({c.year, c.month, c.day, 0, 0, 0, 0}));
  }
}

TEST(DateTime, ValuesOutsideTheCalendarDecodeToZeros) {
  for (const TDateTime value : {-693594.0, -700000.0, 2958466.0, 1e300, -1e300, std::nan("")}) {
    SCOPED_TRACE(value);
    Word y = 1, mo = 1, d = 1;
    DecodeDate(value, y, mo, d);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(mo, 0);
    EXPECT_EQ(d, 0);
  }
}

TEST(DateTime, NowIsTheLocalClock) {
  if (larktest::RequireProgram(Python).empty()) return;
  int exitCode = -1;
  const std::string out = larktest::RunCommand(
      {Python, "-c",
       "import datetime\n"
       "d = datetime.datetime.now() - datetime.datetime(1899, 12, 30)\n"
       "print(repr(d.total_seconds() / 86400))\n"},
      &exitCode);
  ASSERT_EQ(exitCode, 0);
  const double python = std::strtod(out.c_str(), nullptr);
  const TDateTime now = Now();
  // Python's clock was read a moment earlier; a minute covers a slow start.
  EXPECT_GE(now, python - 1.0 / SecsPerDay);
  EXPECT_LT(now, python + 60.0 / SecsPerDay);
  const TDateTime date = Date();
  const TDateTime time = Time();
  EXPECT_EQ(date, std::trunc(date));
  EXPECT_NEAR(date, std::trunc(now), 1.0);  // midnight may pass between the calls
  EXPECT_GE(time, 0.0);
  EXPECT_LT(time, 1.0);
}

}  // namespace
