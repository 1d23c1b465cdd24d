// Date and time values of the host run time and their conversions.
//
// TDateTime is a double counting days since 1899-12-30; the fraction is the time of day. For
// negative values the fraction still counts forward from midnight (-1.25 is 1899-12-29 06:00).
// TTimeStamp is the native pair: Date = day number with 0001-01-01 = 1 (1899-12-30 = 693594),
// Time = milliseconds since midnight.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/SysUtils.h"

namespace host {

using TDateTime = double;

struct TTimeStamp {
    int32_t Time; // milliseconds since midnight
    int32_t Date; // day number, 0001-01-01 = 1
};

inline constexpr int32_t HoursPerDay = 24;
inline constexpr int32_t MinsPerDay = HoursPerDay * 60;
inline constexpr int32_t SecsPerDay = MinsPerDay * 60;
inline constexpr int32_t MSecsPerDay = SecsPerDay * 1000;
// Day number of 1899-12-30 (TDateTime 0).
inline constexpr int32_t DateDelta = 693594;
// TDateTime of 0001-01-01 and of 9999-12-31.
inline constexpr double MinDateTime = -693593.0;
inline constexpr double MaxDateTime = 2958465.99999999;

bool IsLeapYear(int year);
// Days in month (1..12) of year.
int DaysInMonth(int year, int month);

// Year 1..9999, month 1..12, day valid for the month; else EConvertError
// "Invalid argument to date encode".
TDateTime EncodeDate(int year, int month, int day);
bool TryEncodeDate(int year, int month, int day, TDateTime& date);
// Hour 0..23, minute 0..59, second 0..59, millisecond 0..999; else EConvertError
// "Invalid argument to time encode".
TDateTime EncodeTime(int hour, int min, int sec, int msec);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& time);
// Splits the date part; a value before 0001-01-01 gives 0/0/0.
void DecodeDate(TDateTime date, int& year, int& month, int& day);
// Splits the time of day (rounded to the millisecond).
void DecodeTime(TDateTime time, int& hour, int& min, int& sec, int& msec);
// 1 = Sunday ... 7 = Saturday.
int DayOfWeek(TDateTime date);

// Today (time 0), the time of day (date 0), and both, from the system clock (local time).
TDateTime Date();
TDateTime Time();
TDateTime Now();

// Rounds value * 86 400 000 to the millisecond and splits it.
TTimeStamp DateTimeToTimeStamp(TDateTime value);
// Date <= 0 or Time outside 0..86 399 999 raises EConvertError "'%d.%d' is not a valid timestamp".
TDateTime TimeStampToDateTime(const TTimeStamp& stamp);
// Date * 86 400 000 + Time (the native format of date-time fields).
double TimeStampToMSecs(const TTimeStamp& stamp);
// The reverse (no validation; TimeStampToDateTime validates). Non-finite input raises
// EConvertError.
TTimeStamp MSecsToTimeStamp(double msecs);

// Formats with the classic patterns: d dd ddd dddd ddddd (short date) dddddd (long date),
// m mm mmm mmmm (after h/hh: minutes), yy yyyy, h hh, n nn, s ss, z zzz, t (short time),
// tt (long time), c (short date + long time, time omitted when 0), am/pm, a/p, ampm,
// '/' (date separator), ':' (time separator), "..." and '...' literal text. Letters are
// case-insensitive. An empty format means "c".
std::string FormatDateTime(std::string_view format, TDateTime value);
std::string FormatDateTime(std::string_view format, TDateTime value, const TFormatSettings& settings);
std::string DateToStr(TDateTime value);     // ShortDateFormat
std::string TimeToStr(TDateTime value);     // LongTimeFormat
std::string DateTimeToStr(TDateTime value); // "c"

// Parse in the order of ShortDateFormat (m/d/y, d/m/y or y/m/d) with DateSeparator, and
// h:n[:s[.z]] [AM|PM] with TimeSeparator. Failures raise EConvertError "'%s' is not a valid
// date" / "... time" / "... date and time".
TDateTime StrToDate(std::string_view s);
TDateTime StrToTime(std::string_view s);
TDateTime StrToDateTime(std::string_view s);
bool TryStrToDate(std::string_view s, TDateTime& value, const TFormatSettings& settings);
bool TryStrToTime(std::string_view s, TDateTime& value, const TFormatSettings& settings);
bool TryStrToDateTime(std::string_view s, TDateTime& value, const TFormatSettings& settings);

} // namespace host
