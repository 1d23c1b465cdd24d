#include "host/DateTime.h"

#include <gtest/gtest.h>

#include <cmath>

#include "host/Exceptions.h"

namespace {

using namespace host;

// Restores the process-wide format settings after each test that changes them.
class DateTimeFormat : public ::testing::Test {
protected:
    void TearDown() override { FormatSettings = fSaved; }

private:
    TFormatSettings fSaved = FormatSettings;
};

TEST(DateEncode, KnownAnchors) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(1, 1, 1), MinDateTime);
    EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465.0);
    EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
    EXPECT_EQ(DateTimeToTimeStamp(EncodeDate(1, 1, 1)).Date, 1);
    EXPECT_EQ(DateTimeToTimeStamp(0.0).Date, 693594);
}

TEST(DateEncode, EveryDayOfEveryYearRoundTripsAndDaysAreConsecutive) {
    double expected = MinDateTime;
    int failures = 0;
    for (int y = 1; y <= 9999; ++y) {
        for (int m = 1; m <= 12; ++m) {
            const int days = DaysInMonth(y, m);
            for (int d = 1; d <= days; ++d) {
                const TDateTime value = EncodeDate(y, m, d);
                int yy, mm, dd;
                DecodeDate(value, yy, mm, dd);
                if (value != expected || yy != y || mm != m || dd != d) {
                    if (++failures < 5) ADD_FAILURE() << y << "-" << m << "-" << d << " -> " << value;
                }
                expected += 1;
            }
        }
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(expected - 1, 2958465.0);
}

TEST(DateEncode, LeapYearRules) {
    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_TRUE(IsLeapYear(2400));
    EXPECT_TRUE(IsLeapYear(4));
    EXPECT_FALSE(IsLeapYear(1900));
    EXPECT_FALSE(IsLeapYear(2100));
    EXPECT_FALSE(IsLeapYear(2023));
    EXPECT_EQ(DaysInMonth(2000, 2), 29);
    EXPECT_EQ(DaysInMonth(1900, 2), 28);
    EXPECT_NO_THROW(EncodeDate(2000, 2, 29));
    EXPECT_NO_THROW(EncodeDate(2400, 2, 29));
    EXPECT_THROW(EncodeDate(1900, 2, 29), EConvertError);
    EXPECT_THROW(EncodeDate(2100, 2, 29), EConvertError);
    EXPECT_EQ(EncodeDate(2000, 3, 1) - EncodeDate(2000, 2, 28), 2.0);
    EXPECT_EQ(EncodeDate(1900, 3, 1) - EncodeDate(1900, 2, 28), 1.0);
}

TEST(DateEncode, InvalidArgumentsRaiseConvertError) {
    try {
        EncodeDate(2020, 13, 1);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Invalid argument to date encode");
    }
    EXPECT_THROW(EncodeDate(0, 1, 1), EConvertError);
    EXPECT_THROW(EncodeDate(10000, 1, 1), EConvertError);
    EXPECT_THROW(EncodeDate(2020, 4, 31), EConvertError);
    EXPECT_THROW(EncodeDate(2020, 1, 0), EConvertError);
    TDateTime unused = 0;
    EXPECT_FALSE(TryEncodeDate(2020, 0, 1, unused));
}

TEST(TimeEncode, RoundTripsEveryMinuteAndMilliseconds) {
    for (int h = 0; h < 24; ++h) {
        for (int n = 0; n < 60; ++n) {
            int hh, nn, ss, ms;
            DecodeTime(EncodeTime(h, n, 59, 999), hh, nn, ss, ms);
            ASSERT_EQ(hh, h);
            ASSERT_EQ(nn, n);
            ASSERT_EQ(ss, 59);
            ASSERT_EQ(ms, 999);
        }
    }
    EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0), 0.5);
    EXPECT_DOUBLE_EQ(EncodeTime(6, 0, 0, 0), 0.25);
}

TEST(TimeEncode, InvalidArgumentsRaiseConvertError) {
    try {
        EncodeTime(24, 0, 0, 0);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Invalid argument to time encode");
    }
    EXPECT_THROW(EncodeTime(0, 60, 0, 0), EConvertError);
    EXPECT_THROW(EncodeTime(0, 0, 60, 0), EConvertError);
    EXPECT_THROW(EncodeTime(0, 0, 0, 1000), EConvertError);
    EXPECT_THROW(EncodeTime(-1, 0, 0, 0), EConvertError);
}

TEST(TimeEncode, DecodeRoundsToTheNearestMillisecond) {
    int h, n, s, ms;
    DecodeTime(EncodeTime(23, 59, 59, 999) + 0.4 / MSecsPerDay, h, n, s, ms);
    EXPECT_EQ(ms, 999);
    // Almost midnight rounds into the next day rather than giving 24:00.
    int y, m, d;
    const TDateTime almost = EncodeDate(2001, 12, 31) + (MSecsPerDay - 0.2) / MSecsPerDay;
    DecodeDate(almost, y, m, d);
    DecodeTime(almost, h, n, s, ms);
    EXPECT_EQ(y, 2002);
    EXPECT_EQ(m, 1);
    EXPECT_EQ(d, 1);
    EXPECT_EQ(h, 0);
}

TEST(TimeStamp, NegativeDatesKeepAForwardTimeOfDay) {
    const TTimeStamp ts = DateTimeToTimeStamp(-1.25);
    EXPECT_EQ(ts.Date, 693593); // 1899-12-29
    EXPECT_EQ(ts.Time, 6 * 3600 * 1000);
    EXPECT_DOUBLE_EQ(TimeStampToDateTime(ts), -1.25);
    int h, n, s, ms;
    DecodeTime(-1.25, h, n, s, ms);
    EXPECT_EQ(h, 6);
}

TEST(TimeStamp, RoundTripsAcrossTheRange) {
    for (TDateTime v : {MinDateTime, -693593.5, -2.75, 0.0, 0.5, 36526.999988425926, 2958465.0}) {
        const TTimeStamp ts = DateTimeToTimeStamp(v);
        EXPECT_NEAR(TimeStampToDateTime(ts), v, 1e-9) << v;
        const TTimeStamp back = MSecsToTimeStamp(TimeStampToMSecs(ts));
        EXPECT_EQ(back.Date, ts.Date);
        EXPECT_EQ(back.Time, ts.Time);
    }
    EXPECT_DOUBLE_EQ(TimeStampToMSecs(TTimeStamp{1000, 2}), 2.0 * MSecsPerDay + 1000);
}

TEST(TimeStamp, InvalidPairsRaiseTheTimestampError) {
    try {
        TimeStampToDateTime(TTimeStamp{0, 0});
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'0.0' is not a valid timestamp");
    }
    EXPECT_THROW(TimeStampToDateTime(TTimeStamp{-1, 5}), EConvertError);
    EXPECT_THROW(TimeStampToDateTime(TTimeStamp{MSecsPerDay, 5}), EConvertError);
    EXPECT_THROW(DateTimeToTimeStamp(std::nan("")), EConvertError);
}

TEST(DateDecode, BeforeYearOneGivesZeros) {
    int y = 9, m = 9, d = 9;
    DecodeDate(MinDateTime - 1, y, m, d);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(m, 0);
    EXPECT_EQ(d, 0);
}

TEST(DateDecode, DayOfWeekStartsOnSunday) {
    EXPECT_EQ(DayOfWeek(EncodeDate(2000, 1, 1)), 7); // Saturday
    EXPECT_EQ(DayOfWeek(EncodeDate(2024, 6, 2)), 1); // Sunday
    EXPECT_EQ(DayOfWeek(EncodeDate(1, 1, 1)), 2);    // Monday
}

TEST(Clock, NowIsTodayPlusTimeOfDay) {
    const TDateTime today = Date();
    const TDateTime now = Now();
    EXPECT_EQ(today, std::trunc(today));
    EXPECT_GE(now, today);
    EXPECT_LT(now, today + 2); // allows for midnight passing between the calls
    const TDateTime t = Time();
    EXPECT_GE(t, 0.0);
    EXPECT_LT(t, 1.0);
}

TEST_F(DateTimeFormat, DayMonthYearPatterns) {
    const TDateTime v = EncodeDate(2005, 3, 7) + EncodeTime(14, 5, 9, 42);
    EXPECT_EQ(FormatDateTime("d/m/yy", v), "7/3/05");
    EXPECT_EQ(FormatDateTime("dd-mm-yyyy", v), "07-03-2005");
    EXPECT_EQ(FormatDateTime("dd-mmm-yy", v), "07-Mar-05");
    EXPECT_EQ(FormatDateTime("mmmm", v), "March");
    EXPECT_EQ(FormatDateTime("ddd dddd", v), "Mon Monday");
    EXPECT_EQ(FormatDateTime("YYYY.MM.DD", v), "2005.03.07");
    EXPECT_EQ(FormatDateTime("yyyy", EncodeDate(5, 1, 1)), "0005");
    EXPECT_EQ(FormatDateTime("yy", EncodeDate(1999, 1, 1)), "99");
}

TEST_F(DateTimeFormat, TimePatternsAndMinutesAfterHours) {
    const TDateTime v = EncodeDate(2005, 3, 7) + EncodeTime(14, 5, 9, 42);
    EXPECT_EQ(FormatDateTime("hh:nn:ss", v), "14:05:09");
    EXPECT_EQ(FormatDateTime("h:n:s.z", v), "14:5:9.42");
    EXPECT_EQ(FormatDateTime("hh:nn:ss.zzz", v), "14:05:09.042");
    EXPECT_EQ(FormatDateTime("hh:mm", v), "14:05"); // m after h is minutes
    EXPECT_EQ(FormatDateTime("h:mm am/pm", v), "2:05 pm");
    EXPECT_EQ(FormatDateTime("h:mm AM/PM", EncodeTime(0, 1, 0, 0)), "12:01 AM");
    EXPECT_EQ(FormatDateTime("h a/p", v), "2 p");
    EXPECT_EQ(FormatDateTime("hh ampm", EncodeTime(9, 0, 0, 0)), "09 AM");
}

TEST_F(DateTimeFormat, LiteralsSeparatorsAndComposites) {
    const TDateTime v = EncodeDate(2005, 3, 7) + EncodeTime(14, 5, 9, 0);
    EXPECT_EQ(FormatDateTime("'day' d \"of\" mmmm", v), "day 7 of March");
    EXPECT_EQ(FormatDateTime("c", v), "3/7/2005 14:05:09");
    EXPECT_EQ(FormatDateTime("", EncodeDate(2005, 3, 7)), "3/7/2005"); // time omitted when 0
    EXPECT_EQ(FormatDateTime("ddddd", v), "3/7/2005");
    EXPECT_EQ(FormatDateTime("t", v), "14:05");
    EXPECT_EQ(FormatDateTime("tt", v), "14:05:09");
    FormatSettings.DateSeparator = '.';
    FormatSettings.TimeSeparator = '-';
    EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn", v), "07.03.2005 14-05");
    EXPECT_EQ(DateTimeToStr(v), "3.7.2005 14-05-09");
}

TEST_F(DateTimeFormat, MonthNamesFollowTheSettings) {
    FormatSettings.ShortMonthNames[2] = "Mär";
    EXPECT_EQ(FormatDateTime("dd-mmm-yyyy", EncodeDate(2005, 3, 7)), "07-Mär-2005");
    TFormatSettings english;
    EXPECT_EQ(FormatDateTime("mmm", EncodeDate(2005, 12, 1), english), "Dec");
}

TEST_F(DateTimeFormat, ParsesDatesInTheShortDateOrder) {
    EXPECT_EQ(StrToDate("3/7/2005"), EncodeDate(2005, 3, 7));
    EXPECT_EQ(StrToDate(" 12 / 31 / 1999 "), EncodeDate(1999, 12, 31));
    FormatSettings.ShortDateFormat = "dd.mm.yyyy";
    FormatSettings.DateSeparator = '.';
    EXPECT_EQ(StrToDate("3.7.2005"), EncodeDate(2005, 7, 3));
    FormatSettings.ShortDateFormat = "yyyy-mm-dd";
    FormatSettings.DateSeparator = '-';
    EXPECT_EQ(StrToDate("2005-07-03"), EncodeDate(2005, 7, 3));
    try {
        StrToDate("2005-02-30");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'2005-02-30' is not a valid date");
    }
}

TEST_F(DateTimeFormat, TwoDigitYearsUseTheCenturyWindow) {
    int y, m, d;
    DecodeDate(Date(), y, m, d);
    DecodeDate(StrToDate("1/1/" + std::to_string((y + 1) % 100)), y, m, d);
    int now, unusedM, unusedD;
    DecodeDate(Date(), now, unusedM, unusedD);
    EXPECT_EQ(y, now + 1);
    FormatSettings.TwoDigitYearCenturyWindow = 0;
    DecodeDate(StrToDate("1/1/05"), y, m, d);
    EXPECT_EQ(y, now / 100 * 100 + 5);
}

TEST_F(DateTimeFormat, ParsesTimesAndDateTimes) {
    EXPECT_DOUBLE_EQ(StrToTime("14:05"), EncodeTime(14, 5, 0, 0));
    EXPECT_DOUBLE_EQ(StrToTime("14:05:09"), EncodeTime(14, 5, 9, 0));
    EXPECT_DOUBLE_EQ(StrToTime("14:05:09.5"), EncodeTime(14, 5, 9, 500));
    EXPECT_DOUBLE_EQ(StrToTime("2:05 PM"), EncodeTime(14, 5, 0, 0));
    EXPECT_DOUBLE_EQ(StrToTime("12:00 am"), 0.0);
    EXPECT_DOUBLE_EQ(StrToDateTime("3/7/2005 14:05:09"), EncodeDate(2005, 3, 7) + EncodeTime(14, 5, 9, 0));
    EXPECT_DOUBLE_EQ(StrToDateTime("3/7/2005"), EncodeDate(2005, 3, 7));
    EXPECT_DOUBLE_EQ(StrToDateTime("10:30"), EncodeTime(10, 30, 0, 0));
    EXPECT_THROW(StrToTime("25:00"), EConvertError);
    EXPECT_THROW(StrToTime("14"), EConvertError);
    try {
        StrToDateTime("3/7/2005 xx");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'3/7/2005 xx' is not a valid date and time");
    }
}

TEST_F(DateTimeFormat, FormattedValuesParseBack) {
    for (TDateTime v : {EncodeDate(1, 1, 1), EncodeDate(1999, 12, 31) + EncodeTime(23, 59, 59, 0),
                        EncodeDate(2024, 2, 29) + EncodeTime(0, 0, 1, 0), EncodeDate(9999, 12, 31)}) {
        EXPECT_DOUBLE_EQ(StrToDateTime(DateTimeToStr(v)), v) << DateTimeToStr(v);
    }
}

} // namespace
