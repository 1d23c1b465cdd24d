// mSQL field descriptions to FLDDesc / VCHKDesc.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "client/msqlTypes.h"

namespace corvane {
namespace {

m_field MakeField(const char* name, int type, int length, int flags) {
    return m_field{const_cast<char*>(name), const_cast<char*>("t"), type, length, flags};
}

struct Described {
    FLDDesc desc;
    VCHKDesc vchk;
};

Described Describe(const m_field& field, uint16_t fieldNo = 1, uint16_t offset = 0) {
    Described d;
    std::memset(&d, 0xAA, sizeof d);
    ConvermSQLtoHostFieldInfo(&field, fieldNo, offset, &d.vchk, &d.desc);
    return d;
}

struct TypeCase {
    int msqlType;
    int length;
    uint16_t fldType;
    uint16_t subType;
    int16_t units1;
    int16_t units2;
    uint16_t len;
};

TEST(FieldMapping, EachmSQLTypeMapsToItsFieldTypeAndSize) {
    const TypeCase cases[] = {
        {INT_TYPE, 4, fldINT32, 0, 4, 0, 4},
        {CHAR_TYPE, 40, fldZSTRING, 0, 40, 0, 40},
        {REAL_TYPE, 8, fldFLOAT, 0, 32, 0, 8},
        {TEXT_TYPE, 100, fldBLOB, fldstMEMO, 4, 0, 4},
        {DATE_TYPE, 4, fldDATE, 0, 8, 0, 8},
        {UINT_TYPE, 4, fldINT32, 0, 4, 0, 4},
        {MONEY_TYPE, 4, fldFLOAT, fldstMONEY, 8, 0, 8},
        {TIME_TYPE, 4, fldTIME, 0, 8, 0, 8},
    };
    for (const TypeCase& c : cases) {
        const Described d = Describe(MakeField("f", c.msqlType, c.length, 0));
        EXPECT_EQ(d.desc.iFldType, c.fldType) << c.msqlType;
        EXPECT_EQ(d.desc.iSubType, c.subType) << c.msqlType;
        EXPECT_EQ(d.desc.iUnits1, c.units1) << c.msqlType;
        EXPECT_EQ(d.desc.iUnits2, c.units2) << c.msqlType;
        EXPECT_EQ(d.desc.iLen, c.len) << c.msqlType;
    }
}

TEST(FieldMapping, IndexAndUnknownCodesGiveAnUnknownFieldOfSizeZero) {
    for (int code : {0, IDENT_TYPE, NULL_TYPE, 11, 24, IDX_TYPE, ANY_TYPE, -1}) {
        const Described d = Describe(MakeField("ix", code, 12, UNIQUE_FLAG));
        EXPECT_EQ(d.desc.iFldType, fldUNKNOWN) << code;
        EXPECT_EQ(d.desc.iSubType, 0) << code;
        EXPECT_EQ(d.desc.iUnits1, 0) << code;
        EXPECT_EQ(d.desc.iLen, 0) << code;
    }
}

TEST(FieldMapping, NotNullAndUniqueFieldsAreRequired) {
    EXPECT_EQ(Describe(MakeField("a", INT_TYPE, 4, NOT_NULL_FLAG)).vchk.bRequired, DescTrue);
    EXPECT_EQ(Describe(MakeField("a", INT_TYPE, 4, UNIQUE_FLAG)).vchk.bRequired, DescTrue);
    EXPECT_EQ(Describe(MakeField("a", INT_TYPE, 4, NOT_NULL_FLAG | UNIQUE_FLAG)).vchk.bRequired, DescTrue);
    EXPECT_EQ(Describe(MakeField("a", INT_TYPE, 4, 0)).vchk.bRequired, 0);
    EXPECT_EQ(Describe(MakeField("a", INT_TYPE, 4, 4)).vchk.bRequired, 0);
}

TEST(FieldMapping, NumberOffsetAndCheckStateAreSetAndEverythingElseCleared) {
    const Described d = Describe(MakeField("price", MONEY_TYPE, 4, NOT_NULL_FLAG), 7, 123);
    EXPECT_EQ(d.desc.iFldNum, 7);
    EXPECT_EQ(d.vchk.iFldNum, 7);
    EXPECT_EQ(d.desc.iOffset, 123);
    EXPECT_EQ(d.desc.efldvVchk, static_cast<uint32_t>(fldvUNKNOWN));
    EXPECT_STREQ(d.desc.szName, "price");
    EXPECT_EQ(d.desc.iNullOffset, 0);
    EXPECT_EQ(d.desc.efldrRights, 0u);
    EXPECT_EQ(d.desc.bCalcField, 0);
    EXPECT_EQ(d.desc.iUnUsed[0], 0);
    EXPECT_EQ(d.desc.iUnUsed[1], 0);
    for (size_t i = std::strlen("price"); i < sizeof d.desc.szName; ++i)
        EXPECT_EQ(d.desc.szName[i], 0) << i;
    // Only the number and the required flag are written into the checks.
    VCHKDesc expected;
    std::memset(&expected, 0, sizeof expected);
    expected.iFldNum = 7;
    expected.bRequired = DescTrue;
    EXPECT_EQ(std::memcmp(&d.vchk, &expected, sizeof expected), 0);
}

TEST(FieldMapping, LongNamesAreCutTo31Characters) {
    const std::string name(40, 'n');
    const Described d = Describe(MakeField(name.c_str(), INT_TYPE, 4, 0));
    EXPECT_EQ(std::string(d.desc.szName), std::string(31, 'n'));
}

TEST(FieldMapping, CharacterSizesAreKeptWithinTheDescriptorRange) {
    EXPECT_EQ(Describe(MakeField("c", CHAR_TYPE, 32767, 0)).desc.iLen, 32767);
    const Described huge = Describe(MakeField("c", CHAR_TYPE, 1000000, 0));
    EXPECT_EQ(huge.desc.iUnits1, 32767);
    EXPECT_EQ(huge.desc.iLen, 32767);
    const Described negative = Describe(MakeField("c", CHAR_TYPE, -5, 0));
    EXPECT_EQ(negative.desc.iUnits1, 0);
    EXPECT_EQ(negative.desc.iLen, 0);
}

TEST(FieldMapping, WithoutADescriptorNothingIsWritten) {
    VCHKDesc vchk;
    std::memset(&vchk, 0xAA, sizeof vchk);
    const m_field field = MakeField("a", INT_TYPE, 4, NOT_NULL_FLAG);
    ConvermSQLtoHostFieldInfo(&field, 1, 0, &vchk, nullptr);
    for (size_t i = 0; i < sizeof vchk; ++i)
        ASSERT_EQ(reinterpret_cast<const uint8_t*>(&vchk)[i], 0xAA) << i;
}

TEST(FieldMapping, MissingChecksRecordOrFieldIsTolerated) {
    FLDDesc desc;
    const m_field field = MakeField("a", CHAR_TYPE, 10, NOT_NULL_FLAG);
    ConvermSQLtoHostFieldInfo(&field, 2, 5, nullptr, &desc);
    EXPECT_EQ(desc.iFldType, fldZSTRING);
    EXPECT_EQ(desc.iLen, 10);

    VCHKDesc vchk;
    ConvermSQLtoHostFieldInfo(nullptr, 3, 0, &vchk, &desc);
    EXPECT_EQ(desc.iFldNum, 3);
    EXPECT_EQ(desc.iFldType, fldUNKNOWN);
    EXPECT_STREQ(desc.szName, "");
    EXPECT_EQ(vchk.bRequired, 0);

    const m_field nameless = MakeField(nullptr, INT_TYPE, 4, 0);
    ConvermSQLtoHostFieldInfo(&nameless, 4, 0, &vchk, &desc);
    EXPECT_STREQ(desc.szName, "");
    EXPECT_EQ(desc.iFldType, fldINT32);
}

} // namespace
} // namespace corvane
