#include "platform/rtl/DateTime.h"

#include <cmath>
#include <ctime>

#include "platform/rtl/Exceptions.h"

namespace {

// 31 December 9999 as days since 1 January 0001 (day 1).
constexpr Int64 kMaxDateStamp = 3652059;

// A TDateTime split into the day count from 1 January 0001 (day 1) and the
// milliseconds into that day, rounded, with a round-up to midnight carried over.
struct TimeStamp {
  Int64 date = 0;
  Int64 time = 0;
  bool valid = false;
};

TimeStamp ToTimeStamp(TDateTime value) {
  TimeStamp ts;
  if (!std::isfinite(value)) return ts;
  const double whole = std::trunc(value);
  if (whole < -DateDelta - 1.0 || whole > static_cast<double>(kMaxDateStamp)) return ts;
  ts.date = static_cast<Int64>(whole) + DateDelta;
  // nearbyint rounds halves to even, as the framework's Round does.
  ts.time = static_cast<Int64>(std::nearbyint(std::fabs(value - whole) * MSecsPerDay));
  if (ts.time >= MSecsPerDay) {
    ts.time -= MSecsPerDay;
    ++ts.date;
  }
  ts.valid = true;
  return ts;
}

}  // namespace

bool IsLeapYear(Word year) {
  return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

bool TryEncodeDate(Word year, Word month, Word day, TDateTime& date) {
  if (year < 1 || year > 9999 || month < 1 || month > 12) return false;
  const Word* days = MonthDays[IsLeapYear(year)];
  if (day < 1 || day > days[month]) return false;
  Int64 count = day;
  for (Word m = 1; m < month; ++m) count += days[m];
  const Int64 y = year - 1;
  count += y * 365 + y / 4 - y / 100 + y / 400;
  date = static_cast<TDateTime>(count - DateDelta);
  return true;
}

TDateTime EncodeDate(Word year, Word month, Word day) {
  TDateTime result = 0;
  if (!TryEncodeDate(year, month, day, result))
    throw EConvertError("Invalid argument to date encode");
  return result;
}

void DecodeDate(TDateTime date, Word& year, Word& month, Word& day) {
  const TimeStamp ts = ToTimeStamp(date);
  if (!ts.valid || ts.date < 1 || ts.date > kMaxDateStamp) {
    year = month = day = 0;
    return;
  }
  constexpr Int64 D1 = 365;
  constexpr Int64 D4 = D1 * 4 + 1;
  constexpr Int64 D100 = D4 * 25 - 1;
  constexpr Int64 D400 = D100 * 4 + 1;
  Int64 t = ts.date - 1;
  Int64 y = 1 + (t / D400) * 400;
  t %= D400;
  Int64 i = t / D100;
  t %= D100;
  if (i == 4) {  // the last day of a 400-year cycle
    --i;
    t += D100;
  }
  y += i * 100;
  y += (t / D4) * 4;
  t %= D4;
  i = t / D1;
  t %= D1;
  if (i == 4) {  // the last day of a leap cycle
    --i;
    t += D1;
  }
  y += i;
  const Word* days = MonthDays[IsLeapYear(static_cast<Word>(y))];
  Word m = 1;
  while (t >= days[m]) {
    t -= days[m];
    ++m;
  }
  year = static_cast<Word>(y);
  month = m;
  day = static_cast<Word>(t + 1);
}

bool TryEncodeTime(Word hour, Word min, Word sec, Word msec, TDateTime& time) {
  if (hour >= 24 || min >= 60 || sec >= 60 || msec >= 1000) return false;
  const Int64 ms = ((static_cast<Int64>(hour) * 60 + min) * 60 + sec) * 1000 + msec;
  time = static_cast<TDateTime>(ms) / MSecsPerDay;
  return true;
}

TDateTime EncodeTime(Word hour, Word min, Word sec, Word msec) {
  TDateTime result = 0;
  if (!TryEncodeTime(hour, min, sec, msec, result))
    throw EConvertError("Invalid argument to time encode");
  return result;
}

void DecodeTime(TDateTime time, Word& hour, Word& min, Word& sec, Word& msec) {
  const TimeStamp ts = ToTimeStamp(time);
  const Int64 ms = ts.valid ? ts.time : 0;
  hour = static_cast<Word>(ms / 3600000);
  min = static_cast<Word>(ms / 60000 % 60);
  sec = static_cast<Word>(ms / 1000 % 60);
  msec = static_cast<Word>(ms % 1000);
}

Word DayOfWeek(TDateTime date) {
  const TimeStamp ts = ToTimeStamp(date);
  // Day 1 (1 January 0001) was a Monday.
  return static_cast<Word>(((ts.date % 7) + 7) % 7 + 1);
}

TDateTime Now() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  const TDateTime date = EncodeDate(static_cast<Word>(local.tm_year + 1900),
                                    static_cast<Word>(local.tm_mon + 1),
                                    static_cast<Word>(local.tm_mday));
  // A leap second (tm_sec 60) counts as the last one of the minute.
  const Word sec = static_cast<Word>(local.tm_sec > 59 ? 59 : local.tm_sec);
  const TDateTime time = EncodeTime(static_cast<Word>(local.tm_hour), static_cast<Word>(local.tm_min),
                                    sec, static_cast<Word>(now.tv_nsec / 1000000));
  return date >= 0 ? date + time : date - time;
}

TDateTime Date() { return std::trunc(Now()); }

TDateTime Time() {
  const TDateTime now = Now();
  return std::fabs(now - std::trunc(now));
}
