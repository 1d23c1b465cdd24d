#include "host/Variant.h"

#include <gtest/gtest.h>

#include "host/Exceptions.h"

namespace {

using host::Null;
using host::Unassigned;
using host::Variant;

TEST(VariantTypes, ConstructorsGiveTheClassicTypeCodes) {
    EXPECT_EQ(Variant().VarType(), 0);
    EXPECT_EQ(Null().VarType(), 1);
    EXPECT_EQ(Variant(int16_t{5}).VarType(), 2);
    EXPECT_EQ(Variant(5).VarType(), 3);
    EXPECT_EQ(Variant(2.5).VarType(), 5);
    EXPECT_EQ(host::VarFromCurrency(1.5).VarType(), 6);
    EXPECT_EQ(host::VarFromDateTime(1.0).VarType(), 7);
    EXPECT_EQ(Variant(true).VarType(), 11);
    EXPECT_EQ(Variant(uint8_t{7}).VarType(), 17);
    EXPECT_EQ(Variant(int64_t{1} << 40).VarType(), 20);
    EXPECT_EQ(Variant("text").VarType(), 256);
    EXPECT_EQ(host::VarArrayOf({1, 2}).VarType(), 0x2000 | 12);
    EXPECT_TRUE(host::VarIsNull(Null()));
    EXPECT_TRUE(host::VarIsEmpty(Unassigned()));
    EXPECT_FALSE(host::VarIsNull(Unassigned()));
    EXPECT_TRUE(host::VarIsClear(Null()));
}

TEST(VariantTypes, MovedFromVariantIsUnassignedAndCopiesAreIndependent) {
    Variant a("abc");
    Variant b = std::move(a);
    EXPECT_TRUE(a.IsEmpty()); // NOLINT(bugprone-use-after-move): documented state
    EXPECT_EQ(b.AsString(), "abc");
    Variant c = b;
    c = Variant(1);
    EXPECT_EQ(b.AsString(), "abc");
}

TEST(VariantConversion, ToStringOfEachKind) {
    EXPECT_EQ(host::VarToStr(Null()), "");
    EXPECT_EQ(host::VarToStr(Unassigned()), "");
    EXPECT_EQ(host::VarToStr(Variant(-42)), "-42");
    EXPECT_EQ(host::VarToStr(Variant(0.1)), "0.1");
    EXPECT_EQ(host::VarToStr(Variant(true)), "True");
    EXPECT_EQ(host::VarToStr(Variant(false)), "False");
    EXPECT_EQ(host::VarToStr(host::VarFromCurrency(12.34567)), "12.3457");
    EXPECT_EQ(host::VarToStr(host::VarFromDateTime(host::EncodeDate(1999, 3, 5))), "3/5/1999");
    EXPECT_EQ(host::VarToStrDef(Null(), "<null>"), "<null>");
    EXPECT_EQ(host::VarToStrDef(Unassigned(), "<null>"), "");
}

TEST(VariantConversion, NumbersFromText) {
    EXPECT_EQ(host::VarToInteger(Variant("123")), 123);
    EXPECT_EQ(host::VarToInteger(Variant(" -7 ")), -7);
    EXPECT_EQ(host::VarToInteger(Variant("2.5")), 2); // rounds halves to even
    EXPECT_EQ(host::VarToInteger(Variant("3.5")), 4);
    EXPECT_DOUBLE_EQ(host::VarToDouble(Variant("1.25")), 1.25);
    EXPECT_TRUE(host::VarToBoolean(Variant("TRUE")));
    EXPECT_FALSE(host::VarToBoolean(Variant("false")));
    EXPECT_TRUE(host::VarToBoolean(Variant("2")));
}

TEST(VariantConversion, ImpossibleConversionsRaiseConvertErrors) {
    EXPECT_THROW(host::VarToInteger(Variant("abc")), host::EConvertError);
    EXPECT_THROW(host::VarToDouble(Variant("1,5")), host::EConvertError);
    EXPECT_THROW(host::VarToBoolean(Variant("maybe")), host::EVariantError);
    EXPECT_THROW(host::VarToInteger(Variant(3.0e12)), host::EVariantError);
    EXPECT_THROW(host::VarToStr(host::VarArrayOf({1})), host::EVariantError);
    try {
        host::VarToDouble(Null());
        FAIL();
    } catch (const host::EVariantError& e) {
        EXPECT_EQ(e.Message(), "Could not convert variant of type (Null) into type (Double)");
    }
    EXPECT_THROW(host::VarToInteger(Null()), host::EConvertError); // EVariantError is one
    EXPECT_THROW(host::VarToBoolean(Null()), host::EVariantError);
}

TEST(VariantConversion, UnassignedConvertsToZeroValues) {
    EXPECT_EQ(host::VarToInteger(Unassigned()), 0);
    EXPECT_EQ(host::VarToDouble(Unassigned()), 0.0);
    EXPECT_FALSE(host::VarToBoolean(Unassigned()));
}

TEST(VariantConversion, BooleanTrueIsMinusOne) {
    EXPECT_EQ(host::VarToInteger(Variant(true)), -1);
    EXPECT_EQ(host::VarToDouble(Variant(false)), 0.0);
}

TEST(VariantConversion, CurrencyKeepsFourDecimals) {
    EXPECT_DOUBLE_EQ(host::VarFromCurrency(1.23456).AsCurrency(), 1.2346);
    EXPECT_DOUBLE_EQ(Variant(1.23444).AsCurrency(), 1.2344);
    EXPECT_DOUBLE_EQ(host::VarFromCurrency(-2.71828).AsDouble(), -2.7183);
}

TEST(VariantConversion, VarAsTypeChecksRanges) {
    EXPECT_EQ(host::VarAsType(Variant("12"), host::varSmallint).VarType(), host::varSmallint);
    EXPECT_THROW(host::VarAsType(Variant(70000), host::varSmallint), host::EVariantError);
    EXPECT_THROW(host::VarAsType(Variant(256), host::varByte), host::EVariantError);
    EXPECT_EQ(host::VarAsType(Variant(3), host::varString).AsString(), "3");
    EXPECT_TRUE(host::VarAsType(Variant(3), host::varNull).IsNull());
    EXPECT_THROW(host::VarAsType(Null(), host::varInteger), host::EVariantError);
}

TEST(VariantConversion, DateTimeFromTextAndNumbers) {
    EXPECT_DOUBLE_EQ(host::VarToDateTime(Variant("1/2/1900")), host::EncodeDate(1900, 1, 2));
    EXPECT_DOUBLE_EQ(host::VarToDateTime(Variant(2.5)), 2.5);
    EXPECT_THROW(host::VarToDateTime(Variant("not a date")), host::EConvertError);
}

TEST(VariantCompare, NullEqualsOnlyNullAndOrdersNothing) {
    EXPECT_TRUE(Null() == Null());
    EXPECT_FALSE(Null() == Variant(0));
    EXPECT_FALSE(Variant("") == Null());
    EXPECT_TRUE(Null() != Variant(1));
    EXPECT_FALSE(Null() != Null());
    EXPECT_FALSE(Null() < Variant(1));
    EXPECT_FALSE(Null() > Variant(1));
    EXPECT_FALSE(Variant(1) <= Null());
    EXPECT_FALSE(Null() >= Null());
    EXPECT_EQ(host::VarCompareValue(Null(), Null()), host::vrEqual);
    EXPECT_EQ(host::VarCompareValue(Null(), Variant(1)), host::vrNotEqual);
    EXPECT_FALSE(Null() == Unassigned());
}

TEST(VariantCompare, NumbersCompareAcrossKinds) {
    EXPECT_TRUE(Variant(2) == Variant(2.0));
    EXPECT_TRUE(Variant(uint8_t{3}) < Variant(int64_t{4}));
    EXPECT_TRUE(host::VarFromCurrency(1.5) == Variant(1.5));
    EXPECT_TRUE(host::VarFromDateTime(3.0) > Variant(2));
    EXPECT_TRUE(Variant(int64_t{9007199254740993}) > Variant(int64_t{9007199254740992})); // exact
    EXPECT_EQ(host::VarCompareValue(Variant(1), Variant(2)), host::vrLessThan);
    EXPECT_EQ(host::VarCompareValue(Variant(2.5), Variant(int16_t{2})), host::vrGreaterThan);
}

TEST(VariantCompare, TextIsCaseSensitiveByteOrder) {
    EXPECT_TRUE(Variant("abc") == Variant("abc"));
    EXPECT_FALSE(Variant("abc") == Variant("ABC"));
    EXPECT_TRUE(Variant("B") < Variant("a"));
    EXPECT_TRUE(Variant("ab") < Variant("abc"));
    EXPECT_TRUE(Variant("\xe9") > Variant("z")); // bytes compare unsigned
}

TEST(VariantCompare, TextAgainstNumbersDatesAndBooleansIsConverted) {
    EXPECT_TRUE(Variant("10") > Variant(9)); // numerically, not as text
    EXPECT_TRUE(Variant(9) < Variant("10"));
    EXPECT_TRUE(Variant("2.5") == Variant(2.5));
    EXPECT_TRUE(Variant("True") == Variant(true));
    EXPECT_TRUE(Variant("1/2/1900") == host::VarFromDateTime(host::EncodeDate(1900, 1, 2)));
    EXPECT_THROW((void)(Variant("x") == Variant(1)), host::EConvertError);
}

TEST(VariantCompare, BooleansOrderFalseBeforeTrue) {
    EXPECT_TRUE(Variant(false) < Variant(true));
    EXPECT_TRUE(Variant(true) == Variant(true));
    EXPECT_TRUE(Variant(true) == Variant(-1)); // against numbers true is -1
}

TEST(VariantCompare, UnassignedActsAsTheZeroOfTheOtherKind) {
    EXPECT_TRUE(Unassigned() == Unassigned());
    EXPECT_TRUE(Unassigned() == Variant(0));
    EXPECT_TRUE(Unassigned() == Variant(""));
    EXPECT_TRUE(Unassigned() == Variant(false));
    EXPECT_TRUE(Unassigned() < Variant(1));
    EXPECT_TRUE(Variant(-1) < Unassigned());
    EXPECT_TRUE(Variant("a") > Unassigned());
}

TEST(VariantCompare, ArraysAreEqualElementByElementButNotOrdered) {
    EXPECT_TRUE(host::VarArrayOf({1, "a"}) == host::VarArrayOf({1.0, "a"}));
    EXPECT_FALSE(host::VarArrayOf({1, "a"}) == host::VarArrayOf({1, "b"}));
    EXPECT_FALSE(host::VarArrayOf({1}) == host::VarArrayOf({1, 2}));
    EXPECT_FALSE(host::VarArrayOf({1}) == Variant(1));
    EXPECT_THROW((void)(host::VarArrayOf({1}) < host::VarArrayOf({2})), host::EVariantError);
}

TEST(VariantLogic, ThreeValuedForNull) {
    const Variant t(true), f(false), n = Null();
    EXPECT_TRUE(host::VarAnd(n, f) == f);
    EXPECT_TRUE(host::VarAnd(f, n) == f);
    EXPECT_TRUE(host::VarAnd(n, t).IsNull());
    EXPECT_TRUE(host::VarOr(n, t) == t);
    EXPECT_TRUE(host::VarOr(n, f).IsNull());
    EXPECT_TRUE(host::VarNot(n).IsNull());
    EXPECT_TRUE(host::VarAnd(n, n).IsNull());
}

TEST(VariantLogic, BooleansAndConvertibleValues) {
    EXPECT_TRUE(host::VarAnd(Variant(true), Variant("True")) == Variant(true));
    EXPECT_TRUE(host::VarOr(Variant(false), Unassigned()) == Variant(false));
    EXPECT_TRUE(host::VarNot(Variant(false)) == Variant(true));
    EXPECT_EQ(host::VarNot(Variant(true)).VarType(), host::varBoolean);
    EXPECT_THROW(host::VarAnd(Variant("perhaps"), Variant(true)), host::EVariantError);
}

TEST(VariantLogic, IntegersCombineBitwise) {
    EXPECT_EQ(host::VarToInteger(host::VarAnd(Variant(12), Variant(10))), 8);
    EXPECT_EQ(host::VarToInteger(host::VarOr(Variant(12), Variant(uint8_t{3}))), 15);
    EXPECT_EQ(host::VarToInteger(host::VarNot(Variant(0))), -1);
}

TEST(VariantArray, BoundsElementsAndCopyOnWrite) {
    Variant a = host::VarArrayCreate(1, 3);
    EXPECT_EQ(host::VarArrayDimCount(a), 1);
    EXPECT_EQ(host::VarArrayLowBound(a), 1);
    EXPECT_EQ(host::VarArrayHighBound(a), 3);
    EXPECT_TRUE(a[2].IsEmpty());
    host::VarArrayPut(a, Variant("x"), 3);
    Variant copy = a;
    copy.PutElement(3, Variant("y"));
    EXPECT_EQ(host::VarToStr(host::VarArrayGet(a, 3)), "x");
    EXPECT_EQ(host::VarToStr(copy[3]), "y");
    EXPECT_THROW(a[0], host::EVariantError);
    EXPECT_THROW(a[4], host::EVariantError);
    EXPECT_THROW(host::VarArrayHighBound(Variant(1)), host::EVariantError);
}

TEST(VariantArray, VarArrayOfHoldsMixedLocateValues) {
    Variant keys = host::VarArrayOf({"Smith", 42, Null()});
    EXPECT_TRUE(host::VarIsArray(keys));
    EXPECT_EQ(keys.ArrayCount(), 3);
    EXPECT_EQ(host::VarArrayHighBound(keys), 2);
    EXPECT_EQ(host::VarToStr(keys[0]), "Smith");
    EXPECT_EQ(host::VarToInteger(keys[1]), 42);
    EXPECT_TRUE(host::VarIsNull(keys[2]));
    Variant empty = host::VarArrayOf({});
    EXPECT_EQ(host::VarArrayHighBound(empty), -1);
}

TEST(VariantTypes, TypeNames) {
    EXPECT_EQ(host::VarTypeAsText(host::varString), "String");
    EXPECT_EQ(host::VarTypeAsText(host::varArray | host::varVariant), "Array of Variant");
}

} // namespace
