#include "host/SysUtils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>

#include "host/Exceptions.h"
#include "host/Messages.h"

namespace {

using namespace host;

// Restores the process-wide format settings after each test.
class CommaSeparator : public ::testing::Test {
protected:
    void SetUp() override {
        FormatSettings.DecimalSeparator = ',';
        FormatSettings.ThousandSeparator = '.';
    }
    void TearDown() override { FormatSettings = fSaved; }

private:
    TFormatSettings fSaved = FormatSettings;
};

TEST(FloatToStr, ShortestFormWithFifteenSignificantDigits) {
    EXPECT_EQ(FloatToStr(0), "0");
    EXPECT_EQ(FloatToStr(-0.0), "0");
    EXPECT_EQ(FloatToStr(1), "1");
    EXPECT_EQ(FloatToStr(-2.5), "-2.5");
    EXPECT_EQ(FloatToStr(0.1), "0.1");
    EXPECT_EQ(FloatToStr(0.1 + 0.2), "0.3"); // 0.30000000000000004 at 15 digits
    EXPECT_EQ(FloatToStr(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(FloatToStr(2.0 / 3.0), "0.666666666666667");
    EXPECT_EQ(FloatToStr(123456789012345.0), "123456789012345");
    EXPECT_EQ(FloatToStr(100), "100");
    EXPECT_EQ(FloatToStr(1234.5), "1234.5");
}

TEST(FloatToStr, SwitchesToExponentFormOutsideTheFixedRange) {
    EXPECT_EQ(FloatToStr(1e15), "1E15");
    EXPECT_EQ(FloatToStr(999999999999999.0), "999999999999999");
    EXPECT_EQ(FloatToStr(9999999999999999.0), "1E16");
    EXPECT_EQ(FloatToStr(1.5e20), "1.5E20");
    EXPECT_EQ(FloatToStr(-1.25e-10), "-1.25E-10");
    EXPECT_EQ(FloatToStr(0.0001), "0.0001");
    EXPECT_EQ(FloatToStr(0.00001), "1E-5");
    EXPECT_EQ(FloatToStr(0.00012345), "0.00012345");
    EXPECT_EQ(FloatToStr(1.7976931348623157e308), "1.79769313486232E308");
    EXPECT_EQ(FloatToStr(5e-324), "4.94065645841247E-324");
}

TEST(FloatToStr, NonFiniteValues) {
    EXPECT_EQ(FloatToStr(std::numeric_limits<double>::quiet_NaN()), "NAN");
    EXPECT_EQ(FloatToStr(std::numeric_limits<double>::infinity()), "INF");
    EXPECT_EQ(FloatToStr(-std::numeric_limits<double>::infinity()), "-INF");
}

TEST(FloatToStr, RoundTripsFifteenDigitValues) {
    std::mt19937_64 gen(12345);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> exponent(-30, 30);
    for (int i = 0; i < 2000; ++i) {
        const double v = mantissa(gen) * std::pow(10.0, exponent(gen)) * (i % 2 ? -1 : 1);
        const double back = StrToFloat(FloatToStr(v));
        ASSERT_NEAR(back, v, std::fabs(v) * 1e-14) << FloatToStr(v);
        // A value with at most 15 significant digits comes back exactly.
        const double exact = StrToFloat(FloatToStrG(v, 12, FormatSettings));
        ASSERT_EQ(StrToFloat(FloatToStr(exact)), exact);
    }
}

TEST_F(CommaSeparator, FormattingUsesTheDecimalSeparator) {
    EXPECT_EQ(FloatToStr(1.5), "1,5");
    EXPECT_EQ(FloatToStr(-0.001), "-0,001");
    EXPECT_EQ(FloatToStr(2.5e-7), "2,5E-7");
    EXPECT_EQ(Format("%.2f", 3.14159), "3,14");
    EXPECT_EQ(Format("%n", 1234567.891), "1.234.567,89");
    EXPECT_EQ(Format("%g", 0.5), "0,5");
}

TEST_F(CommaSeparator, ParsingAcceptsOnlyTheDecimalSeparator) {
    EXPECT_DOUBLE_EQ(StrToFloat("1,5"), 1.5);
    EXPECT_DOUBLE_EQ(StrToFloat("-0,25"), -0.25);
    EXPECT_DOUBLE_EQ(StrToFloat(",5"), 0.5);
    EXPECT_DOUBLE_EQ(StrToFloat("2,5E3"), 2500.0);
    try {
        StrToFloat("1.5");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'1.5' is not a valid floating point value");
    }
    EXPECT_THROW(StrToFloat("1.000,5"), EConvertError);
    EXPECT_DOUBLE_EQ(StrToFloat(FloatToStr(1234.0625)), 1234.0625);
    TFormatSettings dot;
    EXPECT_DOUBLE_EQ(StrToFloat("1.5", dot), 1.5); // explicit settings override the global
    EXPECT_EQ(FloatToStr(1.5, dot), "1.5");
}

TEST(StrToFloat, AcceptedAndRejectedForms) {
    EXPECT_DOUBLE_EQ(StrToFloat("  42  "), 42.0);
    EXPECT_DOUBLE_EQ(StrToFloat("+1e2"), 100.0);
    EXPECT_DOUBLE_EQ(StrToFloat("1.e-2"), 0.01);
    EXPECT_DOUBLE_EQ(StrToFloat("5."), 5.0);
    EXPECT_DOUBLE_EQ(StrToFloat("1e-400"), 0.0); // underflow gives zero
    for (const char* bad :
         {"", " ", "abc", "1e", "1e+", ".", "-", "1.2.3", "1 2", "0x10", "inf", "nan", "1e400"})
        EXPECT_THROW(StrToFloat(bad), EConvertError) << bad;
    EXPECT_DOUBLE_EQ(StrToFloatDef("x", 7.5), 7.5);
    double v = 0;
    EXPECT_FALSE(TryStrToFloat("12a", v));
}

// Every text must read as the correctly rounded double, the one strtod gives, whichever way it is read:
// short decimals, 17-digit round trips, the limits of exact integers and powers of ten, and exponents.
TEST(StrToFloat, ReadsTheCorrectlyRoundedValue) {
    auto expectExact = [](const std::string& text) {
        double value = 0;
        ASSERT_TRUE(TryStrToFloat(text, value, TFormatSettings())) << text;
        const double expected = std::strtod(text.c_str(), nullptr);
        EXPECT_EQ(std::memcmp(&value, &expected, sizeof value), 0)
            << text << ": " << value << " != " << expected;
    };
    for (const char* text : {"0",
                             "-0",
                             "+0.0",
                             "0.1",
                             "-0.1",
                             "123.45",
                             "4999.99",
                             "9007199254740992",
                             "9007199254740993",
                             "9007199254740995",
                             "1234567890123456789",
                             "12345678901234567890",
                             "0.30000000000000004",
                             "1e22",
                             "1e23",
                             "1E+22",
                             "1e-22",
                             "1e-23",
                             "123456789e-30",
                             "0.000000000000000000001",
                             "1e0005",
                             "1e00005",
                             "5e-324",
                             "2.2250738585072014e-308",
                             "1.7976931348623157e308",
                             ".5",
                             "-.5e1",
                             "3.",
                             "0000000000000000000001.5",
                             "1.00000000000000000000000000001"})
        expectExact(text);
    std::mt19937_64 random(17);
    char text[64];
    for (int i = 0; i < 20000; ++i) {
        const uint64_t bits = random();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value)) continue;
        std::snprintf(text, sizeof text, "%.17g", value);
        expectExact(text);
        // Money-like texts: few digits, two decimals.
        std::snprintf(text, sizeof text, "%.2f", static_cast<double>(bits % 100000000) / 100.0);
        expectExact(text);
    }
}

TEST(StrToFloat, BlanksSignsAndExponentsAtTheEdges) {
    double v = 0;
    EXPECT_TRUE(TryStrToFloat(" \t-1.5\n ", v));
    EXPECT_EQ(v, -1.5);
    EXPECT_TRUE(TryStrToFloat("-0", v));
    EXPECT_TRUE(std::signbit(v)) << "a negative zero keeps its sign";
    EXPECT_TRUE(TryStrToFloat("1e-400", v));
    EXPECT_EQ(v, 0.0);
    for (const char* bad : {"- 1", "+-1", "1-", "1e5.0", "1e+-5", "1 e5", "e5", "1e99999", "--0", "1..5"})
        EXPECT_FALSE(TryStrToFloat(bad, v)) << bad;
}

TEST(StrToInt, BlanksSignsAndOverflowAtTheEdges) {
    int32_t v = 0;
    EXPECT_TRUE(TryStrToInt(" \t42\n", v));
    EXPECT_EQ(v, 42);
    EXPECT_TRUE(TryStrToInt("-0", v));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(TryStrToInt("+2147483647", v));
    EXPECT_EQ(v, 2147483647);
    EXPECT_TRUE(TryStrToInt("000000000000000000000000000012", v)) << "leading zeros do not overflow";
    EXPECT_EQ(v, 12);
    EXPECT_TRUE(TryStrToInt("$7FFFFFFF", v));
    EXPECT_EQ(v, 2147483647);
    for (const char* bad : {"-2147483649", "2147483648", "4294967296", "18446744073709551616",
                            "99999999999999999999", "- 5", "+-5", "5-", "1 2", "1e3", "0x", "x10", "$-1"})
        EXPECT_FALSE(TryStrToInt(bad, v)) << bad;
    int64_t w = 0;
    EXPECT_TRUE(TryStrToInt64(" 9223372036854775807 ", w));
    EXPECT_EQ(w, std::numeric_limits<int64_t>::max());
    EXPECT_FALSE(TryStrToInt64("-9223372036854775809", w));
    EXPECT_FALSE(TryStrToInt64("18446744073709551615", w));
}

TEST(StrToInt, DecimalHexAndRange) {
    EXPECT_EQ(StrToInt("123"), 123);
    EXPECT_EQ(StrToInt(" -45 "), -45);
    EXPECT_EQ(StrToInt("+7"), 7);
    EXPECT_EQ(StrToInt("$FF"), 255);
    EXPECT_EQ(StrToInt("0x10"), 16);
    EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), std::numeric_limits<int32_t>::min());
    try {
        StrToInt("2147483648");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'2147483648' is not a valid integer value");
    }
    for (const char* bad : {"", "1.5", "12abc", "--1", "$", "0x"})
        EXPECT_THROW(StrToInt(bad), EConvertError) << bad;
    EXPECT_EQ(StrToIntDef("oops", -3), -3);
    EXPECT_EQ(StrToInt64("-9223372036854775808"), std::numeric_limits<int64_t>::min());
    EXPECT_THROW(StrToInt64("9223372036854775808"), EConvertError);
}

TEST(IntToStr, DecimalAndHex) {
    EXPECT_EQ(IntToStr(-12), "-12");
    EXPECT_EQ(IntToHex(255, 4), "00FF");
    EXPECT_EQ(IntToHex(0xABCDEF, 2), "ABCDEF");
}

TEST(Format, IntegersStringsAndWidths) {
    EXPECT_EQ(Format("%d items", 5), "5 items");
    EXPECT_EQ(Format("[%5d]", 42), "[   42]");
    EXPECT_EQ(Format("[%-5d]", 42), "[42   ]");
    EXPECT_EQ(Format("[%.4d]", -7), "[-0007]");
    EXPECT_EQ(Format("%x", 255), "FF");
    EXPECT_EQ(Format("%.4x", 10), "000A");
    EXPECT_EQ(Format("%x", -1), "FFFFFFFF");
    EXPECT_EQ(Format("%u", 3000000000u), "3000000000");
    EXPECT_EQ(Format("%s and %s", "this", std::string("that")), "this and that");
    EXPECT_EQ(Format("%.3s", "abcdef"), "abc");
    EXPECT_EQ(Format("[%6s]", "ab"), "[    ab]");
    EXPECT_EQ(Format("%s", 'c'), "c");
    EXPECT_EQ(Format("100%%"), "100%");
    EXPECT_EQ(Format("%*d", 4, 1), "   1");
}

TEST(Format, FloatsAndIndexedArguments) {
    EXPECT_EQ(Format("%.2f", 3.14159), "3.14");
    EXPECT_EQ(Format("%f", 2.0), "2.00");
    EXPECT_EQ(Format("%.0f", 2.5), "3"); // exact halves round away from zero
    EXPECT_EQ(Format("%.0f", -0.5), "-1");
    EXPECT_EQ(Format("%.2f", 0.125), "0.13");
    EXPECT_EQ(Format("%.2f", 2.675), "2.67"); // 2.67499999... is no tie
    EXPECT_EQ(Format("%.1f", 9.95), "9.9");
    EXPECT_EQ(Format("%.0f", 9.5), "10");
    EXPECT_EQ(FloatToStr(1234567890123.125), "1234567890123.13");
    EXPECT_EQ(FloatToStrG(9.5, 1, FormatSettings), "1E1");
    EXPECT_EQ(Format("%.2f", -0.001), "0.00");
    EXPECT_EQ(Format("%g", 0.1), "0.1");
    EXPECT_EQ(Format("%e", 1234.5), "1.23450000000000E+003");
    EXPECT_EQ(Format("%.3e", -0.00012), "-1.20E-004");
    EXPECT_EQ(Format("%n", 1234567.891), "1,234,567.89");
    EXPECT_EQ(Format("%1:s %0:s %s", "a", "b"), "b a b");
    EXPECT_EQ(Format(SFieldRangeError, {12.5, "Qty", 0, 10}),
              "12.5 is not a valid value for field 'Qty'. The allowed range is 0 to 10");
}

TEST(Format, MismatchedOrMissingArgumentsRaise) {
    try {
        Format("%d", "text");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Format '%d' invalid or incompatible with argument");
    }
    try {
        Format("%s %s", "one");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "No argument for format '%s %s'");
    }
    EXPECT_THROW(Format("%s", 3), EConvertError);
    EXPECT_THROW(Format("%q", 3), EConvertError);
    EXPECT_THROW(Format("%", 3), EConvertError);
    EXPECT_THROW(Format("%f", "x"), EConvertError);
}

TEST(Format, EnumsAndBracedArgumentLists) {
    enum Color { Red, Green };
    EXPECT_EQ(Format("%d", Green), "1");
    EXPECT_EQ(Format(SListIndexError, {7}), "List index out of bounds (7)");
    EXPECT_EQ(Format(SInvalidTimeStamp, {0, -1}), "'0.-1' is not a valid timestamp");
}

TEST(Strings, QuotingAndExtraction) {
    EXPECT_EQ(QuotedStr("O'Brien"), "'O''Brien'");
    EXPECT_EQ(QuotedStr(""), "''");
    EXPECT_EQ(AnsiQuotedStr("say \"x\"", '"'), "\"say \"\"x\"\"\"");
    size_t pos = 0;
    EXPECT_EQ(AnsiExtractQuotedStr("'a''b' rest", pos, '\''), "a'b");
    EXPECT_EQ(pos, 6u);
    pos = 0;
    EXPECT_EQ(AnsiExtractQuotedStr("'open", pos, '\''), "open");
    EXPECT_EQ(pos, 5u);
}

TEST(Strings, ComparisonsAndCase) {
    EXPECT_EQ(CompareText("abc", "ABC"), 0);
    EXPECT_LT(CompareText("abc", "abd"), 0);
    EXPECT_GT(CompareText("abcd", "ABC"), 0);
    EXPECT_GT(CompareText("_", "a"), 0); // letters fold to upper case before comparing
    EXPECT_LT(CompareStr("ABC", "abc"), 0);
    EXPECT_GT(CompareStr("\xe9", "z"), 0);
    EXPECT_EQ(AnsiCompareText("Mixed", "mIXED"), 0);
    EXPECT_TRUE(SameText("OLD_", "old_"));
    EXPECT_FALSE(SameText("OLD", "OLD_"));
    EXPECT_EQ(UpperCase("a1b\xe9"), "A1B\xe9"); // bytes beyond ASCII are left alone
    EXPECT_EQ(AnsiUpperCase("jan"), "JAN");
    EXPECT_EQ(AnsiLowerCase("MiXeD"), "mixed");
    EXPECT_EQ(LowerCase("ABC"), "abc");
}

TEST(Strings, TrimRemovesControlCharactersAndBlanks) {
    EXPECT_EQ(Trim("  \t x y \r\n"), "x y");
    EXPECT_EQ(TrimLeft("  x "), "x ");
    EXPECT_EQ(TrimRight("  x "), "  x");
    EXPECT_EQ(Trim("   "), "");
}

TEST(Strings, IdentifiersAndReplacement) {
    EXPECT_TRUE(IsValidIdent("Table1"));
    EXPECT_TRUE(IsValidIdent("_x"));
    EXPECT_FALSE(IsValidIdent("1x"));
    EXPECT_FALSE(IsValidIdent(""));
    EXPECT_FALSE(IsValidIdent("a.b"));
    EXPECT_EQ(StringReplace("a-b-c", "-", "+", 0), "a+b-c");
    EXPECT_EQ(StringReplace("a-b-c", "-", "+", rfReplaceAll), "a+b+c");
    EXPECT_EQ(StringReplace("xAbxaB", "ab", "!", rfReplaceAll | rfIgnoreCase), "x!x!");
    EXPECT_EQ(StringReplace("aaa", "a", "aa", rfReplaceAll), "aaaaaa");
}

} // namespace
