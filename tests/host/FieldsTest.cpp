// Field classes: native formats crossing GetFieldData/SetFieldData, conversions, range and text
// errors, validation and null handling.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "MemDataSet.h"

namespace {

using namespace host;
using hosttest::Column;
using hosttest::MemDataSet;

// One open row in edit mode with the given columns; helpers read the native bytes back.
struct OneRow {
    std::unique_ptr<TComponent> owner = std::make_unique<TComponent>(nullptr);
    MemDataSet* ds;
    explicit OneRow(std::vector<Column> columns) {
        ds = new MemDataSet(owner.get(), std::move(columns));
        ds->Open();
        ds->Append();
    }
    TField* F(const char* name) { return ds->FieldByName(name); }
    template <class T>
    T Native(const char* name) {
        T value{};
        EXPECT_TRUE(F(name)->GetData(&value));
        return value;
    }
};

TEST(FieldNativeFormats, IntegersBooleansAndFloats) {
    OneRow r({{"S", ftSmallint},
              {"I", ftInteger},
              {"W", ftWord},
              {"B", ftBoolean},
              {"F", ftFloat},
              {"C", ftCurrency}});
    r.F("S")->SetAsInteger(-2);
    r.F("I")->SetAsInteger(123456);
    r.F("W")->SetAsInteger(65535);
    r.F("B")->SetAsBoolean(true);
    r.F("F")->SetAsFloat(2.5);
    r.F("C")->SetAsCurrency(1.25);
    EXPECT_EQ(r.Native<int16_t>("S"), -2);
    EXPECT_EQ(r.Native<int32_t>("I"), 123456);
    EXPECT_EQ(r.Native<uint16_t>("W"), 65535);
    EXPECT_EQ(r.Native<uint16_t>("B"), 1);
    EXPECT_EQ(r.Native<double>("F"), 2.5);
    EXPECT_EQ(r.Native<double>("C"), 1.25);
    EXPECT_EQ(r.F("S")->AsInteger(), -2);
    EXPECT_EQ(r.F("W")->AsInteger(), 65535);
    EXPECT_EQ(r.F("W")->Value().VarType(), varInteger);
    EXPECT_EQ(r.F("C")->Value().VarType(), varDouble);
}

TEST(FieldNativeFormats, AnyNonZeroBooleanReadsTrue) {
    OneRow r({{"B", ftBoolean}});
    const uint16_t raw = 0xFFFF;
    r.F("B")->SetData(&raw);
    EXPECT_TRUE(r.F("B")->AsBoolean());
    EXPECT_EQ(r.F("B")->AsString(), "True");
}

TEST(FieldNativeFormats, DatesAreDayNumbersAndTimesMilliseconds) {
    OneRow r({{"D", ftDate}, {"T", ftTime}, {"DT", ftDateTime}});
    r.F("D")->SetAsDateTime(EncodeDate(1899, 12, 30));
    r.F("T")->SetAsDateTime(EncodeTime(1, 0, 0, 5));
    r.F("DT")->SetAsDateTime(EncodeDate(2000, 1, 2) + EncodeTime(12, 0, 0, 0));
    EXPECT_EQ(r.Native<int32_t>("D"), 693594);
    EXPECT_EQ(r.Native<int32_t>("T"), 3600005);
    const double ms = r.Native<double>("DT");
    EXPECT_DOUBLE_EQ(ms, (693594.0 + EncodeDate(2000, 1, 2)) * 86400000.0 + 43200000.0);
    EXPECT_DOUBLE_EQ(r.F("DT")->AsDateTime(), EncodeDate(2000, 1, 2) + 0.5);
    EXPECT_EQ(r.F("D")->DataSize(), 4);
    EXPECT_EQ(r.F("DT")->DataSize(), 8);
}

TEST(FieldNativeFormats, ZeroDateIsNotAValidValue) {
    OneRow r({{"D", ftDate}});
    const int32_t zero = 0;
    r.F("D")->SetData(&zero);
    EXPECT_THROW(r.F("D")->AsDateTime(), EConvertError);
}

TEST(FieldNativeFormats, StringsAreZeroTerminatedAndTruncatedToSize) {
    OneRow r({{"S", ftString, 5}});
    EXPECT_EQ(r.F("S")->DataSize(), 6);
    r.F("S")->SetAsString("abcdefgh");
    char raw[6] = {};
    ASSERT_TRUE(r.F("S")->GetData(raw));
    EXPECT_STREQ(raw, "abcde");
    EXPECT_EQ(r.F("S")->AsString(), "abcde");
    r.F("S")->SetAsString("");
    EXPECT_FALSE(r.F("S")->IsNull()); // '' is a value, not null
    r.F("S")->SetAsBoolean(true);
    EXPECT_EQ(r.F("S")->AsString(), "T");
    EXPECT_TRUE(r.F("S")->AsBoolean());
}

TEST(FieldNativeFormats, StringsOfEveryDescriptorSizeKeepTheirWholeValue) {
    OneRow r({{"S", ftString, 32767}, {"F", ftFixedChar, 9000}});
    EXPECT_EQ(r.F("S")->DataSize(), 32768);
    std::string value(32767, 'm');
    value.front() = 'a';
    value.back() = 'z';
    r.F("S")->SetAsString(value + "cut");
    EXPECT_EQ(r.F("S")->AsString(), value);
    EXPECT_EQ(r.F("S")->AsVariant().AsString(), value);
    std::string read;
    ASSERT_TRUE(static_cast<TStringField*>(r.F("S"))->GetValue(read));
    EXPECT_EQ(read.size(), 32767u);
    r.F("F")->SetAsString(std::string(9000, 'q'));
    EXPECT_EQ(r.F("F")->AsString(), std::string(9000, 'q'));
    r.F("S")->SetAsString("short");
    EXPECT_EQ(r.F("S")->AsString(), "short");

    TFieldDefs defs(nullptr);
    defs.Add("C", ftString, dsMaxStringFieldSize);
    EXPECT_THROW(defs.Add("TOO", ftString, dsMaxStringFieldSize + 1), EDatabaseError);
    EXPECT_THROW(defs.Add("NEG", ftFixedChar, -1), EDatabaseError);
    EXPECT_EQ(defs.Count(), 1);
}

TEST(FieldNativeFormats, BcdRoundTripsThroughPackedDecimal) {
    OneRow r({{"N", ftBCD, 2}});
    r.F("N")->SetAsCurrency(-123.456);
    const TBcd bcd = r.Native<TBcd>("N");
    EXPECT_EQ(bcd.SignSpecialPlaces, 0x80 | 2);
    EXPECT_DOUBLE_EQ(BcdToDouble(bcd), -123.46);
    EXPECT_DOUBLE_EQ(r.F("N")->AsCurrency(), -123.46);
    EXPECT_EQ(r.F("N")->Value().VarType(), varCurrency);
    const TBcd packed = DoubleToBcd(12.5, 4, 1);
    EXPECT_EQ(packed.Precision, 4);
    EXPECT_EQ(packed.Fraction[0], 0x01);
    EXPECT_EQ(packed.Fraction[1], 0x25);
    EXPECT_THROW(DoubleToBcd(12345.0, 4, 1), EConvertError);
}

TEST(FieldNativeFormats, VarBytesCarryALengthPrefix) {
    OneRow r({{"V", ftVarBytes, 4}, {"B", ftBytes, 3}});
    r.F("V")->SetAsString(std::string("\x01\x02", 2));
    uint8_t raw[6] = {};
    ASSERT_TRUE(r.F("V")->GetData(raw));
    EXPECT_EQ(raw[0], 2);
    EXPECT_EQ(raw[1], 0);
    EXPECT_EQ(raw[2], 1);
    EXPECT_EQ(r.F("V")->AsString().size(), 2u);
    r.F("B")->SetValue(VarArrayOf({Variant(uint8_t{7}), Variant(uint8_t{8})}));
    const Variant bytes = r.F("B")->Value();
    ASSERT_TRUE(bytes.IsArray());
    EXPECT_EQ(bytes.ArrayCount(), 3);
    EXPECT_EQ(bytes[1].AsInteger(), 8);
}

TEST(FieldConversions, IntegerRangeAndTextErrors) {
    OneRow r({{"S", ftSmallint}, {"I", ftInteger}});
    try {
        r.F("S")->SetAsInteger(40000);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(),
                     "40000 is not a valid value for field 'S'. The allowed range is -32768 to 32767");
    }
    auto* i = static_cast<TIntegerField*>(r.F("I"));
    i->SetMinValue(1);
    i->SetMaxValue(10);
    EXPECT_THROW(i->SetAsInteger(11), EDatabaseError);
    i->SetAsFloat(2.6);
    EXPECT_EQ(i->AsInteger(), 3);
    try {
        i->SetAsString("12x");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "'12x' is not a valid integer value for field 'I'");
    }
    i->SetAsString("");
    EXPECT_TRUE(i->IsNull());
    EXPECT_EQ(i->AsInteger(), 0);
    EXPECT_EQ(i->AsString(), "");
}

TEST(FieldConversions, FloatTextAndAccessErrors) {
    OneRow r({{"F", ftFloat}, {"B", ftBoolean}});
    r.F("F")->SetAsString("1.5");
    EXPECT_EQ(r.F("F")->AsString(), "1.5");
    EXPECT_THROW(r.F("F")->SetAsString("abc"), EDatabaseError);
    try {
        r.F("B")->AsDateTime();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Cannot access field 'B' as type DateTime");
    }
}

TEST(FieldConversions, BooleanDisplayValuesParseByPrefix) {
    OneRow r({{"B", ftBoolean}});
    auto* b = static_cast<TBooleanField*>(r.F("B"));
    b->SetDisplayValues("Yes;No");
    b->SetAsString("y");
    EXPECT_TRUE(b->AsBoolean());
    b->SetAsString("NO");
    EXPECT_EQ(b->AsString(), "No");
    EXPECT_THROW(b->SetAsString("maybe"), EDatabaseError);
    b->SetAsString("");
    EXPECT_TRUE(b->IsNull());
}

TEST(FieldConversions, VariantAssignment) {
    OneRow r({{"I", ftInteger}, {"S", ftString, 10}});
    r.F("I")->SetValue(Variant("42"));
    EXPECT_EQ(r.F("I")->AsInteger(), 42);
    r.F("I")->SetValue(Null());
    EXPECT_TRUE(r.F("I")->IsNull());
    EXPECT_TRUE(r.F("I")->Value().IsNull());
    r.F("I")->SetValue(Unassigned());
    EXPECT_EQ(r.F("I")->AsInteger(), 0);
    EXPECT_FALSE(r.F("I")->IsNull());
    try {
        r.F("I")->SetValue(Variant("nope"));
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Invalid value for field 'I'");
    }
    r.F("S")->Assign(r.F("I"));
    EXPECT_EQ(r.F("S")->AsString(), "0");
    r.F("S")->Assign(nullptr);
    EXPECT_TRUE(r.F("S")->IsNull());
}

TEST(FieldEvents, OnValidateSeesThePendingValueAndCanReject) {
    OneRow r({{"I", ftInteger}});
    int seen = 0;
    r.F("I")->SetOnValidate([&](TField* f) {
        seen = f->AsInteger();
        if (seen < 0) throw EDatabaseError("negative");
    });
    int changes = 0;
    r.F("I")->SetOnChange([&](TField*) { ++changes; });
    r.F("I")->SetAsInteger(5);
    EXPECT_EQ(seen, 5);
    EXPECT_THROW(r.F("I")->SetAsInteger(-1), EDatabaseError);
    EXPECT_EQ(r.F("I")->AsInteger(), 5);
    EXPECT_EQ(changes, 1);
}

TEST(FieldEvents, GetTextAndSetTextHandlers) {
    OneRow r({{"I", ftInteger}});
    r.F("I")->SetOnGetText(
        [](TField* f, std::string& text, bool display) { text = (display ? "#" : "") + f->AsString(); });
    r.F("I")->SetOnSetText([](TField* f, const std::string& text) { f->SetAsInteger(StrToInt(text) * 2); });
    r.F("I")->SetText("4");
    EXPECT_EQ(r.F("I")->Text(), "8");
    EXPECT_EQ(r.F("I")->DisplayText(), "#8");
}

TEST(FieldProperties, IdentityAndConstraints) {
    OneRow r({{"I", ftInteger}});
    TField* f = r.F("I");
    EXPECT_EQ(f->DisplayName(), "I");
    f->SetDisplayLabel("Number");
    EXPECT_EQ(f->DisplayName(), "Number");
    EXPECT_FALSE(f->HasConstraints());
    f->SetDefaultExpression("0");
    EXPECT_TRUE(f->HasConstraints());
    EXPECT_TRUE(f->ProviderFlags().Contains(pfInWhere));
    EXPECT_TRUE(f->CanModify());
    f->SetReadOnly(true);
    EXPECT_FALSE(f->CanModify());
    EXPECT_THROW(f->SetAsInteger(1), EDatabaseError);
    EXPECT_THROW(f->SetFieldName("X"), EDatabaseError); // dataset open
    EXPECT_EQ(f->Index(), 0);
}

TEST(FieldProperties, FieldWithoutDataSetReportsIt) {
    TIntegerField f(nullptr);
    f.SetFieldName("Lonely");
    try {
        f.AsInteger();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Field 'Lonely' has no dataset");
    }
    EXPECT_THROW(f.SetSize(3), EDatabaseError);
    TStringField s(nullptr);
    EXPECT_EQ(s.Size(), 20);
    s.SetSize(dsMaxStringFieldSize);
    EXPECT_EQ(s.Size(), dsMaxStringFieldSize);
    EXPECT_THROW(s.SetSize(dsMaxStringFieldSize + 1), EDatabaseError);
    EXPECT_THROW(s.SetSize(-1), EDatabaseError);
}

TEST(FieldLists, DuplicateAndMissingNamesAreRefused) {
    std::unique_ptr<TComponent> owner = std::make_unique<TComponent>(nullptr);
    auto* ds = new MemDataSet(owner.get(), {{"A", ftInteger}});
    ds->SetName("T");
    auto* a = new TIntegerField(ds);
    a->SetFieldName("A");
    a->SetDataSet(ds);
    auto* b = new TIntegerField(ds);
    b->SetFieldName("a");
    try {
        b->SetDataSet(ds);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "T: Duplicate field name 'a'");
    }
    auto* c = new TIntegerField(ds);
    EXPECT_THROW(c->SetDataSet(ds), EDatabaseError);
    EXPECT_EQ(ds->FieldCount(), 1);
    delete a;
    EXPECT_EQ(ds->FieldCount(), 0);
    EXPECT_THROW(ds->Fields()->Fields(0), EListError);
}

TEST(FieldBinding, TypeMismatchWithTheDefinitionIsReported) {
    std::unique_ptr<TComponent> owner = std::make_unique<TComponent>(nullptr);
    auto* ds = new MemDataSet(owner.get(), {{"A", ftString, 5}});
    auto* a = new TIntegerField(ds);
    a->SetFieldName("A");
    a->SetDataSet(ds);
    try {
        ds->Open();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Type mismatch for field 'A', expecting: Integer actual: String");
    }
    EXPECT_FALSE(ds->Active());
    a->SetDataSet(nullptr);
    auto* s = new TSmallintField(ds); // same integer family: accepted
    s->SetFieldName("A");
    auto* ds2 = new MemDataSet(owner.get(), {{"A", ftInteger}});
    s->SetDataSet(ds2);
    ds2->Open();
    EXPECT_EQ(s->FieldNo(), 1);
    delete a;
}

} // namespace
