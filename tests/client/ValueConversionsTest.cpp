// mSQL value texts to host values and back, statement words and tokens.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "client/msqlTypes.h"
#include "host/Exceptions.h"
#include "host/SysUtils.h"

namespace corvane {
namespace {

using host::EncodeDate;
using host::EncodeTime;

// Holds one module start for the test so that the month table is filled.
class Conversions : public ::testing::Test {
protected:
    void SetUp() override { InitializeClientModule(); }
    void TearDown() override { FinalizeClientModule(); }
};

// Sets the host's process-wide separators for one test and restores them.
class SeparatorsSetTo {
public:
    SeparatorsSetTo(char decimal, char time)
        : fDecimal(host::FormatSettings.DecimalSeparator), fTime(host::FormatSettings.TimeSeparator) {
        host::FormatSettings.DecimalSeparator = decimal;
        host::FormatSettings.TimeSeparator = time;
    }
    ~SeparatorsSetTo() {
        host::FormatSettings.DecimalSeparator = fDecimal;
        host::FormatSettings.TimeSeparator = fTime;
    }

private:
    char fDecimal;
    char fTime;
};

std::vector<std::string> AllTokens(std::string s) {
    std::vector<std::string> tokens;
    while (!s.empty())
        tokens.push_back(GetToken(s));
    return tokens;
}

TEST_F(Conversions, GetStatementTakesTheFirstWordUpperCasedAndKeepsTheRest) {
    std::string s = "  select * from t";
    EXPECT_EQ(GetStatement(s), "SELECT");
    EXPECT_EQ(s, " * from t");

    s = "\r\nUpdate\tt set a=1";
    EXPECT_EQ(GetStatement(s), "UPDATE");
    EXPECT_EQ(s, "\tt set a=1");

    s = "show";
    EXPECT_EQ(GetStatement(s), "SHOW");
    EXPECT_EQ(s, "");
}

TEST_F(Conversions, GetStatementOnBlankTextGivesNothingAndEmptiesIt) {
    std::string s = " \t\r\n ";
    EXPECT_EQ(GetStatement(s), "");
    EXPECT_EQ(s, "");
    s.clear();
    EXPECT_EQ(GetStatement(s), "");
}

TEST_F(Conversions, CompareBeginComparesTheCommonPrefixIgnoringCase) {
    EXPECT_TRUE(CompareBegin("SEL", "select * from t"));
    EXPECT_TRUE(CompareBegin("select * from t", "SEL"));
    EXPECT_TRUE(CompareBegin("Abc", "aBC"));
    EXPECT_FALSE(CompareBegin("abd", "abc"));
    EXPECT_FALSE(CompareBegin("", "abc"));
    EXPECT_FALSE(CompareBegin("abc", ""));
    EXPECT_TRUE(CompareBegin("", ""));
}

TEST_F(Conversions, MonthNamesMapBothWaysAndUnknownNamesBecomeJanuary) {
    EXPECT_EQ(GetMonthNumFromName("Mar"), 3);
    EXPECT_EQ(GetMonthNumFromName("dec"), 12);
    EXPECT_EQ(GetMonthNumFromName("SEP"), 9);
    EXPECT_EQ(GetMonthNumFromName("Foo"), 1);
    EXPECT_EQ(GetMonthNumFromName(""), 1);
    EXPECT_EQ(GetMonthNumFromName("Marc"), 1);
    EXPECT_EQ(GetMonthNameFromNum(1), "Jan");
    EXPECT_EQ(GetMonthNameFromNum(12), "Dec");
    EXPECT_EQ(GetMonthNameFromNum(0), "");
    EXPECT_EQ(GetMonthNameFromNum(13), "");
}

TEST_F(Conversions, SqlDateReadsDatesTimesAndNothingFromShortTexts) {
    EXPECT_DOUBLE_EQ(SqlDateToDateTime("14:30:05"), EncodeTime(14, 30, 5, 0));
    EXPECT_EQ(SqlDateToDateTime("05-Mar-1999"), EncodeDate(1999, 3, 5));
    EXPECT_EQ(SqlDateToDateTime("05-MAR-1999"), EncodeDate(1999, 3, 5));
    EXPECT_EQ(SqlDateToDateTime("31-Dec-0099"), EncodeDate(99, 12, 31));
    EXPECT_EQ(SqlDateToDateTime("1:30:05"), 0.0);
    EXPECT_EQ(SqlDateToDateTime(""), 0.0);
}

TEST_F(Conversions, SqlDateUsesDefaultsForUnreadableParts) {
    // Unreadable day and month: the first of January.
    EXPECT_EQ(SqlDateToDateTime("xx-Foo-1999"), EncodeDate(1999, 1, 1));
    // Day 0 counts as 1; unreadable time parts as 0.
    EXPECT_EQ(SqlDateToDateTime("00-Feb-2001"), EncodeDate(2001, 2, 1));
    EXPECT_DOUBLE_EQ(SqlDateToDateTime("12:xx:30"), EncodeTime(12, 0, 30, 0));
}

TEST_F(Conversions, SqlDateRaisesConversionErrorForImpossibleValues) {
    EXPECT_THROW(SqlDateToDateTime("31-Feb-1999"), host::EConvertError);
    EXPECT_THROW(SqlDateToDateTime("25:00:00"), host::EConvertError);
    EXPECT_THROW(SqlDateToDateTime("10:61:00"), host::EConvertError);
}

// Every day of whole centuries and leap-year edges reads as the host's own encoding, and so does every
// second of a day; a day that does not exist is refused, whatever its form.
TEST_F(Conversions, SqlDateReadsEveryDayAndSecondExactly) {
    char text[32];
    for (int year : {1, 4, 99, 100, 400, 1600, 1899, 1900, 1999, 2000, 2004, 2100, 2400, 9999}) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= 31; ++day) {
                std::snprintf(text, sizeof text, "%02d-%s-%04d", day, GetMonthNameFromNum(month).c_str(),
                              year);
                host::TDateTime expected = 0;
                if (host::TryEncodeDate(year, month, day, expected))
                    EXPECT_EQ(SqlDateToDateTime(text), expected) << text;
                else
                    EXPECT_THROW(SqlDateToDateTime(text), host::EConvertError) << text;
            }
        }
    }
    for (int second = 0; second < 24 * 60 * 60; second += 7) {
        std::snprintf(text, sizeof text, "%02d:%02d:%02d", second / 3600, second / 60 % 60, second % 60);
        EXPECT_EQ(SqlDateToDateTime(text), EncodeTime(second / 3600, second / 60 % 60, second % 60, 0))
            << text;
    }
    EXPECT_EQ(SqlDateToDateTime("29-Feb-2000"), EncodeDate(2000, 2, 29));
    for (const char* missing : {"29-Feb-1900", "29-Feb-2100", "31-Apr-2001", "32-Jan-2001", "24:00:00",
                                "23:60:00", "23:59:60", "05-Mar-1999 24:00:00"})
        EXPECT_THROW(SqlDateToDateTime(missing), host::EConvertError) << missing;
}

TEST_F(Conversions, SqlDateReadsOtherFormsAsBefore) {
    // Case, blanks before the time, a missing year and a day in other forms.
    EXPECT_EQ(SqlDateToDateTime("05-mar-1999"), EncodeDate(1999, 3, 5));
    EXPECT_DOUBLE_EQ(SqlDateToDateTime("05-Mar-1999 \t 23:59:59"),
                     EncodeDate(1999, 3, 5) + EncodeTime(23, 59, 59, 0));
    EXPECT_EQ(SqlDateToDateTime("05-Mar-0000"), EncodeDate(1, 3, 5)) << "year 0 counts as year 1";
    EXPECT_EQ(SqlDateToDateTime(" 5-Mar-1999"), EncodeDate(1999, 3, 5));
    EXPECT_EQ(SqlDateToDateTime("05-Mar-1999 12"), EncodeDate(1999, 3, 5)) << "a cut time is no time";
    EXPECT_DOUBLE_EQ(SqlDateToDateTime("01-Jan-0001 00:00:01"), EncodeDate(1, 1, 1) - EncodeTime(0, 0, 1, 0));
}

TEST_F(Conversions, SqlDateReadsADateFollowedByATime) {
    EXPECT_DOUBLE_EQ(SqlDateToDateTime("05-Mar-1999 14:30:05"),
                     EncodeDate(1999, 3, 5) + EncodeTime(14, 30, 5, 0));
}

TEST_F(Conversions, SqlDateTimeBeforeTheEpochKeepsDateAndTime) {
    const host::TDateTime value = SqlDateToDateTime("01-Jan-1800 06:00:00");
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
    host::DecodeDate(value, year, month, day);
    host::DecodeTime(value, hour, minute, second, msec);
    EXPECT_EQ(year, 1800);
    EXPECT_EQ(month, 1);
    EXPECT_EQ(day, 1);
    EXPECT_EQ(hour, 6);
    EXPECT_EQ(minute, 0);
}

TEST_F(Conversions, DateTimeToSqlDateOfZeroIsEmptyInEveryMode) {
    for (int mode = 0; mode <= 3; ++mode)
        EXPECT_EQ(DateTimeToSqlDate(0, mode), "") << mode;
}

TEST_F(Conversions, DateTimeToSqlDateWritesEachModesForm) {
    const host::TDateTime date = EncodeDate(1999, 3, 5);
    const host::TDateTime time = EncodeTime(14, 30, 5, 0);
    // Date: unpadded day and year; the time part is ignored.
    EXPECT_EQ(DateTimeToSqlDate(date + time, SqlDateMode), "5-Mar-1999");
    EXPECT_EQ(DateTimeToSqlDate(time, SqlDateMode), "");
    // Time: the date part is ignored.
    EXPECT_EQ(DateTimeToSqlDate(date + time, SqlTimeMode), "14:30:05");
    EXPECT_EQ(DateTimeToSqlDate(EncodeTime(8, 5, 9, 0), SqlTimeMode), "08:05:09");
    EXPECT_EQ(DateTimeToSqlDate(date, SqlTimeMode), "");
    // Date and time, each omitted when zero.
    EXPECT_EQ(DateTimeToSqlDate(date + time, SqlDateTimeMode), "05-Mar-1999 14:30:05");
    EXPECT_EQ(DateTimeToSqlDate(date, SqlDateTimeMode), "05-Mar-1999");
    EXPECT_EQ(DateTimeToSqlDate(time, SqlDateTimeMode), "14:30:05");
    EXPECT_EQ(DateTimeToSqlDate(date + time, 7), "");
}

TEST_F(Conversions, ATimeRoundingUpToMidnightIsWrittenAsTheNextDay) {
    // Within half a millisecond of midnight: the next day's midnight, not 00:00:00 of the same day.
    const double almost = 0.9999999999999999;
    EXPECT_EQ(DateTimeToSqlDate(almost, SqlDateTimeMode), "31-Dec-1899");
    EXPECT_EQ(DateTimeToSqlDate(EncodeDate(1999, 3, 5) + almost, SqlDateTimeMode), "06-Mar-1999");
    EXPECT_EQ(DateTimeToSqlDate(EncodeDate(1999, 3, 5) + almost, SqlDateMode), "6-Mar-1999");
    EXPECT_EQ(DateTimeToSqlDate(EncodeDate(1999, 3, 5) + EncodeTime(23, 59, 59, 999), SqlDateTimeMode),
              "05-Mar-1999 23:59:59");
}

TEST_F(Conversions, DateAndTimeModeWritesTheYearWithFourDigits) {
    EXPECT_EQ(DateTimeToSqlDate(EncodeDate(2005, 11, 30), SqlDateTimeMode), "30-Nov-2005");
    EXPECT_EQ(DateTimeToSqlDate(EncodeDate(99, 1, 2), SqlDateTimeMode), "02-Jan-0099");
}

TEST_F(Conversions, DateTimeTextsReadBackToTheSameValue) {
    const host::TDateTime value = EncodeDate(2024, 2, 29) + EncodeTime(23, 59, 58, 0);
    EXPECT_DOUBLE_EQ(SqlDateToDateTime(DateTimeToSqlDate(value, SqlDateTimeMode)), value);
    EXPECT_DOUBLE_EQ(SqlDateToDateTime(DateTimeToSqlDate(value, SqlTimeMode)), EncodeTime(23, 59, 58, 0));
}

TEST_F(Conversions, TimesUseColonsWhateverTheHostTimeSeparator) {
    SeparatorsSetTo separators(',', '.');
    const host::TDateTime value = EncodeDate(1999, 3, 5) + EncodeTime(14, 30, 5, 0);
    EXPECT_EQ(DateTimeToSqlDate(value, SqlTimeMode), "14:30:05");
    EXPECT_EQ(DateTimeToSqlDate(value, SqlDateTimeMode), "05-Mar-1999 14:30:05");
}

TEST_F(Conversions, TimeStampReadsAllSixParts) {
    EXPECT_DOUBLE_EQ(SQLTimeStampToDateTime("19990305143005"),
                     EncodeDate(1999, 3, 5) + EncodeTime(14, 30, 5, 0));
    EXPECT_EQ(SQLTimeStampToDateTime("1999"), EncodeDate(1999, 1, 1));
    EXPECT_EQ(SQLTimeStampToDateTime("19990000"), EncodeDate(1999, 1, 1));
    EXPECT_EQ(SQLTimeStampToDateTime(""), EncodeDate(1, 1, 1));
    EXPECT_THROW(SQLTimeStampToDateTime("19991305000000"), host::EConvertError);
    EXPECT_THROW(SQLTimeStampToDateTime("19990305240000"), host::EConvertError);
}

TEST_F(Conversions, FloatsUseADotWhateverTheHostSeparatorAndLeaveItAlone) {
    SeparatorsSetTo separators(',', ':');
    EXPECT_DOUBLE_EQ(StrToSQLFloat("3.25"), 3.25);
    EXPECT_EQ(host::FormatSettings.DecimalSeparator, ',');
    EXPECT_EQ(SQLFloatToStr(3.25), "3.25");
    EXPECT_EQ(host::FormatSettings.DecimalSeparator, ',');
    EXPECT_DOUBLE_EQ(StrToSQLFloat("1000.0000"), 1000.0);
    EXPECT_DOUBLE_EQ(StrToSQLFloat("-0.05"), -0.05);
    EXPECT_DOUBLE_EQ(StrToSQLFloat("1e3"), 1000.0);
}

TEST_F(Conversions, FloatTextThatIsNotANumberReadsAsZero) {
    SeparatorsSetTo separators(',', ':');
    EXPECT_EQ(StrToSQLFloat(""), 0.0);
    EXPECT_EQ(StrToSQLFloat("abc"), 0.0);
    EXPECT_EQ(StrToSQLFloat("3,25"), 0.0);
    EXPECT_EQ(StrToSQLFloat("1.2.3"), 0.0);
}

TEST_F(Conversions, FloatsAreWrittenInTheShortestGeneralForm) {
    EXPECT_EQ(SQLFloatToStr(100), "100");
    EXPECT_EQ(SQLFloatToStr(0.1), "0.1");
    EXPECT_EQ(SQLFloatToStr(-12.5), "-12.5");
    EXPECT_EQ(SQLFloatToStr(1.0 / 3), "0.333333333333333");
    EXPECT_EQ(SQLFloatToStr(1.5e20), "1.5E20");
    EXPECT_DOUBLE_EQ(StrToSQLFloat(SQLFloatToStr(1.5e20)), 1.5e20);
}

TEST_F(Conversions, StrToBoolLooksOnlyAtTheFirstCharacterLowerCased) {
    EXPECT_TRUE(StrToBool("ty1", "fn0", "Yes"));
    EXPECT_TRUE(StrToBool("ty1", "fn0", "TRUE"));
    EXPECT_TRUE(StrToBool("ty1", "fn0", "1"));
    EXPECT_FALSE(StrToBool("ty1", "fn0", "false"));
    EXPECT_FALSE(StrToBool("ty1", "fn0", "x"));
    EXPECT_FALSE(StrToBool("ty1", "fn0", ""));
    // The false characters are not consulted.
    EXPECT_TRUE(StrToBool("y", "y", "y"));
}

TEST_F(Conversions, GetTokenSplitsParameterReferencesAndOperators) {
    EXPECT_EQ(AllTokens(":name"), (std::vector<std::string>{":", "name"}));
    EXPECT_EQ(AllTokens("x>=1"), (std::vector<std::string>{"x", ">", "=", "1"}));
    EXPECT_EQ(AllTokens("select * from t where a=:a"),
              (std::vector<std::string>{"select", "*", "from", "t", "where", "a", "=", ":", "a"}));
}

TEST_F(Conversions, GetTokenSkipsBlanksAndKeepsTheRest) {
    std::string s = "  \tabc def";
    EXPECT_EQ(GetToken(s), "abc");
    EXPECT_EQ(s, " def");
    s = " \t  ";
    EXPECT_EQ(GetToken(s), "");
    EXPECT_EQ(s, "");
}

TEST_F(Conversions, GetTokenReadsQuotedStringsWithEscapes) {
    std::string s = R"('it\'s' rest)";
    EXPECT_EQ(GetToken(s), R"('it\'s')");
    EXPECT_EQ(s, " rest");

    s = R"("a 'b' c",x)";
    EXPECT_EQ(GetToken(s), R"("a 'b' c")");
    EXPECT_EQ(s, ",x");

    // An unterminated string runs to the end.
    s = R"('open :p)";
    EXPECT_EQ(GetToken(s), R"('open :p)");
    EXPECT_EQ(s, "");

    // A word ends at a quote.
    EXPECT_EQ(AllTokens(R"(ab'cd')"), (std::vector<std::string>{"ab", "'cd'"}));
}

TEST_F(Conversions, GetTokenEndsAStringAfterAnEscapedBackslash) {
    EXPECT_EQ(AllTokens(R"('a\\',:p)"), (std::vector<std::string>{R"('a\\')", ",", ":", "p"}));
}

} // namespace
} // namespace corvane
