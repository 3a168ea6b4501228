// Dates and times as TDateTime: whole days since 30 December 1899 plus the time of
// day as the fraction. Before that day the days are negative and the time fraction
// still counts forward: -1.25 is 29 December 1899, 06:00.
#pragma once

#include "platform/rtl/Types.h"

inline constexpr Integer HoursPerDay = 24;
inline constexpr Integer MinsPerDay = HoursPerDay * 60;
inline constexpr Integer SecsPerDay = MinsPerDay * 60;
inline constexpr Integer MSecsPerDay = SecsPerDay * 1000;
// Days from 1 January 0001 (day 1) to 30 December 1899.
inline constexpr Integer DateDelta = 693594;

// Days in each month (index 1..12) of a common year [0] and a leap year [1].
inline constexpr Word MonthDays[2][13] = {
    {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
    {0, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
};

bool IsLeapYear(Word year);

// Raise EConvertError for a year outside 1..9999 or a day the month does not have.
TDateTime EncodeDate(Word year, Word month, Word day);
bool TryEncodeDate(Word year, Word month, Word day, TDateTime& date);
// A moment that rounds to the next midnight (see DecodeTime) belongs to the next
// day. Values outside 1 January 0001 .. 31 December 9999 give 0/0/0.
void DecodeDate(TDateTime date, Word& year, Word& month, Word& day);

// Raise EConvertError for hour >= 24, min >= 60, sec >= 60 or msec >= 1000.
TDateTime EncodeTime(Word hour, Word min, Word sec, Word msec);
bool TryEncodeTime(Word hour, Word min, Word sec, Word msec, TDateTime& time);
// Rounds to the nearest millisecond; a time that rounds up to midnight decodes as
// 00:00:00.000 (of the next day), so the parts never reach 24 h, 60 s or 1000 ms.
void DecodeTime(TDateTime time, Word& hour, Word& min, Word& sec, Word& msec);

// 1 = Sunday ... 7 = Saturday.
Word DayOfWeek(TDateTime date);

// The local date and time from the system clock.
TDateTime Now();
TDateTime Date();
TDateTime Time();
