// Value rules: date / time texts, money rounding, real printing, LIKE family matching.
#include "engine/Values.h"
#include "engine/Patterns.h"

#include <gtest/gtest.h>

using namespace msql;

namespace {
std::string DateText(const char* in) {
    int64_t v = 0;
    if (!ParseDate(in, v)) return "invalid";
    std::string out;
    AppendDate(out, v);
    return out;
}
std::string TimeText(const char* in) {
    int64_t v = 0;
    if (!ParseTime(in, v)) return "invalid";
    std::string out;
    AppendTime(out, v);
    return out;
}
} // namespace

TEST(Values, DatesParseMsqlFormAndPrintPadded) {
    EXPECT_EQ(DateText("5-Mar-1999"), "05-Mar-1999");
    EXPECT_EQ(DateText("05-mar-1999"), "05-Mar-1999");
    EXPECT_EQ(DateText("29-Feb-2000"), "29-Feb-2000");
    EXPECT_EQ(DateText("1-Jan-999"), "01-Jan-0999");
    EXPECT_EQ(DateText("05-MAR-1999"), "invalid");
    EXPECT_EQ(DateText("0-Mar-1999"), "invalid");
    EXPECT_EQ(DateText("29-Feb-1999"), "invalid");
    EXPECT_EQ(DateText("32-Jan-1999"), "invalid");
    EXPECT_EQ(DateText("1999-03-05"), "invalid");
    EXPECT_EQ(DateText("5-Mar-0"), "invalid");
    EXPECT_EQ(DateText("5-Mar-1999 "), "invalid");
}

TEST(Values, DatesSortInCalendarOrder) {
    int64_t a = 0, b = 0, c = 0;
    ASSERT_TRUE(ParseDate("31-Dec-1998", a));
    ASSERT_TRUE(ParseDate("1-Jan-1999", b));
    ASSERT_TRUE(ParseDate("2-Jan-1999", c));
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
}

TEST(Values, TwoDigitYearsLieWithinFiftyYearsOfToday) {
    std::string d = DateText("1-Jan-05");
    EXPECT_EQ(d, "01-Jan-2005");
}

TEST(Values, TimesNeedSecondsAndValidRanges) {
    EXPECT_EQ(TimeText("13:05:09"), "13:05:09");
    EXPECT_EQ(TimeText("8:30:00"), "08:30:00");
    EXPECT_EQ(TimeText("0:00:00"), "00:00:00");
    EXPECT_EQ(TimeText("12:30"), "invalid");
    EXPECT_EQ(TimeText("12:61:00"), "invalid");
    EXPECT_EQ(TimeText("25:00:00"), "invalid");
}

TEST(Values, MoneyRoundsExactHalvesDown) {
    EXPECT_EQ(MoneyCentsFromReal(12.345), 1234);
    EXPECT_EQ(MoneyCentsFromReal(12.346), 1235);
    EXPECT_EQ(MoneyCentsFromReal(0.125), 12);
    EXPECT_EQ(MoneyCentsFromReal(-0.05), -5);
    std::string out;
    AppendMoney(out, -5);
    EXPECT_EQ(out, "-0.05");
    out.clear();
    AppendMoney(out, 100000);
    EXPECT_EQ(out, "1000.00");
}

TEST(Values, RealsPrintWithStoredDecimals) {
    std::string out;
    AppendReal(out, 1.5, 2);
    EXPECT_EQ(out, "1.50");
    out.clear();
    AppendReal(out, 1e300, 0);
    EXPECT_EQ(out.size(), 301u);
}

TEST(Patterns, LikeMatchesWholeValueWithEscapes) {
    EXPECT_TRUE(LikeMatch("hello", "h%o", false));
    EXPECT_TRUE(LikeMatch("hello", "h_llo", false));
    EXPECT_FALSE(LikeMatch("hello", "h_lo", false));
    EXPECT_FALSE(LikeMatch("hello", "ell", false));
    EXPECT_TRUE(LikeMatch("", "%", false));
    EXPECT_TRUE(LikeMatch("a%b", "a\\%b", false));
    EXPECT_FALSE(LikeMatch("axb", "a\\%b", false));
    EXPECT_FALSE(LikeMatch("Hello", "h%", false));
    EXPECT_TRUE(LikeMatch("Hello", "h%", true));
    EXPECT_TRUE(LikeMatch("aaa", "%a%a%a%", false));
}

TEST(Patterns, SoundexGroupsSimilarNames) {
    EXPECT_EQ(Soundex("Robert"), "R163");
    EXPECT_EQ(Soundex("Rupert"), "R163");
    EXPECT_EQ(Soundex("aaa"), Soundex("ahh"));
    EXPECT_EQ(Soundex("Tymczak"), "T522");
    EXPECT_EQ(Soundex("123"), "");
}

TEST(Patterns, RegexValidity) {
    EXPECT_TRUE(RegexIsValid("^[ab]"));
    EXPECT_FALSE(RegexIsValid("[ab"));
}
