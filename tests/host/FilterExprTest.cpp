// Filter texts and lookup filters compiled to CANExpr blobs: exact bytes for the reference
// examples, tree shape (decoded from the blob) for precedence and rewriting rules, and errors.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "MemDataSet.h"
#include "host/FilterExpr.h"

namespace {

using namespace host;
using hosttest::Column;
using hosttest::MemDataSet;

// Field numbers follow the column order: ID 1, NAME 2, AMOUNT 3, ACTIVE 4, BORN 5, AT 6, STAMP 7,
// SMALL 8, W 9, RAW 10.
std::vector<Column> FilterColumns() {
    return {{"ID", ftInteger, 0, false},     {"NAME", ftString, 20, false},   {"AMOUNT", ftFloat, 0, false},
            {"ACTIVE", ftBoolean, 0, false}, {"BORN", ftDate, 0, false},      {"AT", ftTime, 0, false},
            {"STAMP", ftDateTime, 0, false}, {"SMALL", ftSmallint, 0, false}, {"W", ftWord, 0, false},
            {"RAW", ftBytes, 4, false}};
}

struct FilterFixture : ::testing::Test {
    std::unique_ptr<TComponent> owner = std::make_unique<TComponent>(nullptr);
    MemDataSet* ds = nullptr;

    void SetUp() override {
        ds = new MemDataSet(owner.get(), FilterColumns());
        ds->SetName("People");
        ds->Open();
    }

    std::vector<uint8_t> Parse(const std::string& text, TFilterOptions options = {},
                               TParserOptions parserOptions = {}) {
        TExprParser parser(ds, text, options, parserOptions);
        EXPECT_EQ(parser.DataSize(), static_cast<int>(parser.Data().size()));
        return parser.Data();
    }

    std::string ParseError(const std::string& text, TFilterOptions options = {}) {
        try {
            TExprParser parser(ds, text, options);
        } catch (const Exception& e) {
            return e.Message();
        }
        return "(no error)";
    }
};

uint16_t Word(const std::vector<uint8_t>& b, size_t at) {
    uint16_t v = 0;
    std::memcpy(&v, b.data() + at, 2);
    return v;
}

uint32_t DWord(const std::vector<uint8_t>& b, size_t at) {
    uint32_t v = 0;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

const char* OpName(uint32_t op) {
    static const char* names[] = {
        "NOTDEFINED", "ISBLANK", "NOTBLANK", "EQ",  "NE",    "GT",   "LT",  "GE",    "LE",   "NOT", "AND",
        "OR",         "T2",      "F2",       "C2",  "MINUS", "ADD",  "SUB", "MUL",   "DIV",  "MOD", "REM",
        "SUM",        "COUNT",   "MIN",      "MAX", "AVG",   "CONT", "UDF", "CONT2", "LIKE", "IN"};
    return op < sizeof names / sizeof names[0] ? names[op] : "?";
}

// Decodes the node at offset into a compact text, e.g. EQ(F1:ID,C6:5).
std::string Node(const std::vector<uint8_t>& b, uint16_t offset) {
    const size_t nodeStart = Word(b, 6);
    const size_t litStart = Word(b, 8);
    const size_t at = nodeStart + offset;
    const uint32_t cls = DWord(b, at);
    const uint32_t op = DWord(b, at + 4);
    auto w = [&](int i) { return Word(b, at + 8 + 2 * i); };
    auto text = [&](uint16_t lit) {
        return std::string(reinterpret_cast<const char*>(b.data() + litStart + lit));
    };
    switch (cls) {
    case nodeUNARY:
        return std::string(OpName(op)) + "(" + Node(b, w(0)) + ")";
    case nodeBINARY:
        return std::string(OpName(op)) + "(" + Node(b, w(0)) + "," + Node(b, w(1)) + ")";
    case nodeCOMPARE:
        return "CMP" + std::string(OpName(op)) + "[ci" + std::to_string(w(0)) + ",p" + std::to_string(w(1)) +
               "](" + Node(b, w(2)) + "," + Node(b, w(3)) + ")";
    case nodeFIELD:
        return "F" + std::to_string(w(0)) + ":" + text(w(1));
    case nodeCONST: {
        const uint16_t type = w(0);
        const size_t lit = litStart + w(2);
        std::string value;
        if (type == fldZSTRING) {
            value = "'" + text(w(2)) + "'";
        } else if (type == fldINT16) {
            int16_t v;
            std::memcpy(&v, b.data() + lit, 2);
            value = std::to_string(v);
        } else if (type == fldUINT16 || type == fldBOOL) {
            value = std::to_string(Word(b, lit));
        } else if (type == fldINT32 || type == fldDATE || type == fldTIME) {
            int32_t v;
            std::memcpy(&v, b.data() + lit, 4);
            value = std::to_string(v);
        } else if (type == fldFLOAT || type == fldTIMESTAMP) {
            double v;
            std::memcpy(&v, b.data() + lit, 8);
            value = FloatToStr(v);
        }
        return "C" + std::to_string(type) + ":" + value;
    }
    case nodeLISTELEM:
        return "[" + Node(b, w(0)) + "]" + (w(1) != 0 ? Node(b, w(1)) : "");
    case nodeFUNC:
        return "FN " + text(w(0)) + "(" + (w(1) != 0 ? Node(b, w(1)) : "") + ")";
    default:
        return "?";
    }
}

std::string Dump(const std::vector<uint8_t>& blob) {
    return Node(blob, 0);
}

void Put16(std::vector<uint8_t>& b, uint16_t v) {
    b.insert(b.end(), {static_cast<uint8_t>(v & 0xFF), static_cast<uint8_t>(v >> 8)});
}
void Put32(std::vector<uint8_t>& b, uint32_t v) {
    Put16(b, static_cast<uint16_t>(v & 0xFFFF));
    Put16(b, static_cast<uint16_t>(v >> 16));
}

// ---------------------------------------------------------------- exact bytes

TEST_F(FilterFixture, TrailingStarStringIsWrittenAsPartialCompareNodeByteForByte) {
    std::vector<uint8_t> expected;
    Put16(expected, 2);      // iVer
    Put16(expected, 61);     // iTotalSize
    Put16(expected, 0xFFFF); // iNodes
    Put16(expected, 10);     // iNodeStart
    Put16(expected, 52);     // iLiteralStart
    Put32(expected, nodeCOMPARE);
    Put32(expected, canEQ);
    for (uint16_t w : {0, 3, 16, 28})
        Put16(expected, w);
    Put32(expected, nodeFIELD);
    Put32(expected, canFIELD2);
    Put16(expected, 2);
    Put16(expected, 0);
    Put32(expected, nodeCONST);
    Put32(expected, canCONST2);
    Put16(expected, fldZSTRING);
    Put16(expected, 4);
    Put16(expected, 5);
    for (char c : std::string("NAME\0Smi\0", 9))
        expected.push_back(static_cast<uint8_t>(c));

    EXPECT_EQ(Parse("NAME = 'Smi*'"), expected);
}

TEST_F(FilterFixture, NoPartialCompareKeepsTheStarInABinaryNode) {
    std::vector<uint8_t> expected;
    for (uint16_t w : {2, 58, 0xFFFF, 10, 48})
        Put16(expected, w);
    Put32(expected, nodeBINARY);
    Put32(expected, canEQ);
    Put16(expected, 12);
    Put16(expected, 24);
    Put32(expected, nodeFIELD);
    Put32(expected, canFIELD2);
    Put16(expected, 2);
    Put16(expected, 0);
    Put32(expected, nodeCONST);
    Put32(expected, canCONST2);
    Put16(expected, fldZSTRING);
    Put16(expected, 5);
    Put16(expected, 5);
    for (char c : std::string("NAME\0Smi*\0", 10))
        expected.push_back(static_cast<uint8_t>(c));

    EXPECT_EQ(Parse("NAME = 'Smi*'", {foNoPartialCompare}), expected);
}

TEST_F(FilterFixture, IntegerComparisonIsABinaryNodeWithAnInt32Constant) {
    const std::vector<uint8_t> blob = Parse("ID >= 7");
    ASSERT_EQ(blob.size(), 10u + 12 + 12 + 14 + 3 + 4);
    EXPECT_EQ(Word(blob, 8), 10 + 38);
    EXPECT_EQ(Dump(blob), "GE(F1:ID,C6:7)");
    // iSize of the constant is 4.
    EXPECT_EQ(Word(blob, 10 + 24 + 10), 4);
}

// ---------------------------------------------------------------- literal kinds

TEST_F(FilterFixture, EveryLiteralKindTakesTheTypeOfTheFieldItIsComparedWith) {
    EXPECT_EQ(Dump(Parse("AMOUNT > 1.5")), "GT(F3:AMOUNT,C7:1.5)");
    EXPECT_EQ(Dump(Parse("AMOUNT < 2")), "LT(F3:AMOUNT,C7:2)");
    EXPECT_EQ(Dump(Parse("ID = -5")), "EQ(F1:ID,C6:-5)");
    EXPECT_EQ(Dump(Parse("SMALL = -300")), "EQ(F8:SMALL,C5:-300)");
    EXPECT_EQ(Dump(Parse("W = 65535")), "EQ(F9:W,C12:65535)");
    EXPECT_EQ(Dump(Parse("ACTIVE = True")), "EQ(F4:ACTIVE,C4:65535)");
    EXPECT_EQ(Dump(Parse("ACTIVE <> false")), "NE(F4:ACTIVE,C4:0)");
    // 2000-01-02 is day 730121 counted from 0001-01-01 = 1.
    EXPECT_EQ(Dump(Parse("BORN = '1/2/2000'")), "EQ(F5:BORN,C2:730121)");
    EXPECT_EQ(Dump(Parse("AT < '10:30'")), "LT(F6:AT,C10:37800000)");
    EXPECT_EQ(Dump(Parse("STAMP >= '1/2/2000 10:30'")), "GE(F7:STAMP,C11:63082492200000)");
    EXPECT_EQ(Dump(Parse("NAME <> 'it''s'")), "NE(F2:NAME,C1:'it's')");
    EXPECT_EQ(Dump(Parse("NAME = ''")), "EQ(F2:NAME,C1:'')");
}

TEST_F(FilterFixture, ConstantsThatDoNotFitTheFieldTypeRaise) {
    EXPECT_EQ(ParseError("SMALL = 70000"), "Constant out of range");
    EXPECT_EQ(ParseError("W = -1"), "Constant out of range");
    EXPECT_EQ(ParseError("ID = 5.5"), "'5.5' is not a valid integer value");
    EXPECT_EQ(ParseError("BORN = 'tomorrow'"), "'tomorrow' is not a valid date");
    EXPECT_EQ(ParseError("RAW = 'ab'"), "Type mismatch in expression");
}

TEST_F(FilterFixture, LongStringConstantsAreKeptWholeUpToTheBlobLimit) {
    const std::string text(300, 'x');
    const std::vector<uint8_t> blob = Parse("NAME = '" + text + "*'");
    EXPECT_EQ(Dump(blob), "CMPEQ[ci0,p300](F2:NAME,C1:'" + text + "')");
    EXPECT_EQ(ParseError("NAME = '" + std::string(70000, 'y') + "'"), "Filter expression too long");
}

// ---------------------------------------------------------------- rewriting rules

TEST_F(FilterFixture, ConstantOnTheLeftIsSwappedAndTheOperatorMirrored) {
    EXPECT_EQ(Dump(Parse("5 < ID")), "GT(F1:ID,C6:5)");
    EXPECT_EQ(Dump(Parse("5 >= ID")), "LE(F1:ID,C6:5)");
    EXPECT_EQ(Dump(Parse("'Smi*' = NAME")), "CMPEQ[ci0,p3](F2:NAME,C1:'Smi')");
}

TEST_F(FilterFixture, BooleanFieldAloneOrUnderLogicIsComparedWithFalse) {
    EXPECT_EQ(Dump(Parse("ACTIVE")), "NE(F4:ACTIVE,C4:0)");
    EXPECT_EQ(Dump(Parse("NOT ACTIVE")), "NOT(NE(F4:ACTIVE,C4:0))");
    EXPECT_EQ(Dump(Parse("ACTIVE and ID = 1")), "AND(NE(F4:ACTIVE,C4:0),EQ(F1:ID,C6:1))");
}

TEST_F(FilterFixture, NullTestsBecomeBlankNodes) {
    EXPECT_EQ(Dump(Parse("NAME IS NULL")), "ISBLANK(F2:NAME)");
    EXPECT_EQ(Dump(Parse("NAME is not null")), "NOTBLANK(F2:NAME)");
    EXPECT_EQ(Dump(Parse("ID = NULL")), "ISBLANK(F1:ID)");
    EXPECT_EQ(Dump(Parse("NULL <> ID")), "NOTBLANK(F1:ID)");
    EXPECT_EQ(ParseError("NAME LIKE NULL"), "NULL only allowed with '=' and '<>'");
    EXPECT_EQ(ParseError("ID > NULL"), "NULL only allowed with '=' and '<>'");
    EXPECT_EQ(ParseError("NULL <= ID"), "NULL only allowed with '=' and '<>'");
}

TEST_F(FilterFixture, CaseInsensitiveAndPartialOptionsMakeCompareNodes) {
    EXPECT_EQ(Dump(Parse("NAME = 'smith'", {foCaseInsensitive})), "CMPEQ[ci1,p0](F2:NAME,C1:'smith')");
    EXPECT_EQ(Dump(Parse("NAME <> 'Sm*'", {foCaseInsensitive})), "CMPNE[ci1,p2](F2:NAME,C1:'Sm')");
    EXPECT_EQ(Dump(Parse("NAME = 'Sm*'", {foCaseInsensitive, foNoPartialCompare})),
              "CMPEQ[ci1,p0](F2:NAME,C1:'Sm*')");
    EXPECT_EQ(Dump(Parse("NAME LIKE 'Sm*'")), "CMPLIKE[ci0,p2](F2:NAME,C1:'Sm')");
    // A lone '*' or an empty text stays a plain comparison.
    EXPECT_EQ(Dump(Parse("NAME = '*'")), "EQ(F2:NAME,C1:'*')");
    EXPECT_EQ(Dump(Parse("NAME = ''", {foCaseInsensitive})), "EQ(F2:NAME,C1:'')");
    // Non-equality operators never use compare nodes.
    EXPECT_EQ(Dump(Parse("NAME > 'Sm*'", {foCaseInsensitive})), "GT(F2:NAME,C1:'Sm*')");
}

TEST_F(FilterFixture, AndBindsTighterThanOrAndNotTighterThanAnd) {
    EXPECT_EQ(Dump(Parse("ID = 1 OR ID = 2 AND NOT ID = 3")),
              "OR(EQ(F1:ID,C6:1),AND(EQ(F1:ID,C6:2),NOT(EQ(F1:ID,C6:3))))");
    EXPECT_EQ(Dump(Parse("(ID = 1 OR ID = 2) AND ID = 3")),
              "AND(OR(EQ(F1:ID,C6:1),EQ(F1:ID,C6:2)),EQ(F1:ID,C6:3))");
    EXPECT_EQ(Dump(Parse("ID = 1 or ID = 2 or ID = 3")),
              "OR(OR(EQ(F1:ID,C6:1),EQ(F1:ID,C6:2)),EQ(F1:ID,C6:3))");
}

TEST_F(FilterFixture, FieldNamesAreStoredAsWrittenIncludingBracketedNames) {
    EXPECT_EQ(Dump(Parse("name = 'x'")), "EQ(F2:name,C1:'x')");
    EXPECT_EQ(Dump(Parse("[Name]='x'")), "EQ(F2:Name,C1:'x')");
}

TEST_F(FilterFixture, InListIsAChainOfListElements) {
    EXPECT_EQ(Dump(Parse("ID IN (1, 2, 3)")), "IN(F1:ID,[C6:1][C6:2][C6:3])");
}

TEST_F(FilterFixture, ExtendedSyntaxAllowsArithmeticAndFunctions) {
    EXPECT_EQ(Dump(Parse("ID + 1 = 2", {}, {poExtSyntax})), "EQ(ADD(F1:ID,C7:1),C7:2)");
    EXPECT_EQ(Dump(Parse("UPPER(NAME) = 'X'", {}, {poExtSyntax})), "EQ(FN UPPER([F2:NAME]),C1:'X')");
}

class OemDataSet : public MemDataSet {
public:
    using MemDataSet::MemDataSet;
    int Translate(const char* src, char* dest, bool toOem) override {
        const int n = static_cast<int>(std::strlen(src));
        for (int i = 0; i <= n; ++i)
            dest[i] = toOem && src[i] == 'a' ? 'A' : src[i];
        return n;
    }
};

TEST_F(FilterFixture, NamesAndTextConstantsPassThroughTheDataSetsTranslation) {
    auto* oem = new OemDataSet(owner.get(), FilterColumns());
    oem->Open();
    TExprParser parser(oem, "name = 'banana'", {});
    EXPECT_EQ(Dump(parser.Data()), "EQ(F2:nAme,C1:'bAnAnA')");
}

// ---------------------------------------------------------------- errors

TEST_F(FilterFixture, MalformedTextsRaiseClearErrors) {
    EXPECT_EQ(ParseError("NAME = 'abc"), "Unterminated string constant");
    EXPECT_EQ(ParseError("[NAME = 'abc'"), "Unterminated field name");
    EXPECT_EQ(ParseError("NAME = \"abc\""), "Invalid filter expression character: '\"'");
    EXPECT_EQ(ParseError("ID = 1 )"), "Filter expression incorrectly terminated");
    EXPECT_EQ(ParseError("(ID = 1"), "')' expected but nothing found");
    EXPECT_EQ(ParseError("(ID = 1 ID"), "')' expected but 'ID' found");
    EXPECT_EQ(ParseError("ID ="), "Expression expected but nothing found");
    EXPECT_EQ(ParseError("ID = = 1"), "Expression expected but '=' found");
    EXPECT_EQ(ParseError("ID"), "Incorrectly formed filter expression");
    EXPECT_EQ(ParseError("'x'"), "Incorrectly formed filter expression");
    EXPECT_EQ(ParseError("ID + 1 = 2"), "Arithmetic in filter expressions not supported");
    EXPECT_EQ(ParseError("ID IN ()"), "IN predicate list may not be empty");
    EXPECT_EQ(ParseError("ID IN 1"), "'(' expected but '1' found");
    EXPECT_EQ(ParseError("ID IN (1 NAME)"), "')' or ',' expected but 'NAME' found");
    // A digit right after an operand is scanned as the minus operator.
    EXPECT_EQ(ParseError("ID IN (1 2)"), "Arithmetic in filter expressions not supported");
    EXPECT_EQ(ParseError("ID IS 5"), "Invalid use of keyword");
    EXPECT_EQ(ParseError("ID IS NOT 5"), "Invalid use of keyword");
    EXPECT_EQ(ParseError("NOPE = 1"), "People: Field 'NOPE' not found");
    EXPECT_EQ(ParseError("NAME AND ID = 1"), "Type mismatch in expression");
    EXPECT_EQ(ParseError("NOT NOT ACTIVE"), "People: Field 'NOT' not found");
    EXPECT_EQ(ParseError(""), "Expression expected but nothing found");
}

TEST_F(FilterFixture, CalculatedFieldsCannotBeUsed) {
    auto* calc = new MemDataSet(owner.get(), {{"ID", ftInteger, 0, false}});
    calc->SetName("Calc");
    auto* idField = new TIntegerField(owner.get());
    idField->SetFieldName("ID");
    idField->SetDataSet(calc);
    auto* twice = new TIntegerField(owner.get());
    twice->SetFieldName("TWICE");
    twice->SetFieldKind(fkCalculated);
    twice->SetDataSet(calc);
    calc->Open();
    try {
        TExprParser parser(calc, "TWICE = 2", {});
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Field 'TWICE' cannot be used in a filter expression");
    }
}

// ---------------------------------------------------------------- lookup filters

struct LookupFixture : FilterFixture {
    // Builds the lookup filter the way Locate does.
    std::vector<uint8_t> Lookup(const std::vector<std::string>& names, const std::vector<Variant>& values,
                                TLocateOptions options) {
        TFilterOptions filterOptions{foNoPartialCompare};
        if (options.Contains(loCaseInsensitive)) filterOptions.Include(foCaseInsensitive);
        TFilterExpr filter(ds, filterOptions, {}, "", nullptr, FldTypeMap);
        TExprNode* root = nullptr;
        TExprNode* last = nullptr;
        for (size_t i = 0; i < names.size(); ++i) {
            last = filter.NewCompareNode(ds->FieldByName(names[i]), coEQ, values[i]);
            root = root == nullptr ? last : filter.NewNode(enOperator, coAND, Unassigned(), root, last);
        }
        if (options.Contains(loPartialKey)) last->Partial = true;
        return filter.GetFilterData(root);
    }
};

TEST_F(LookupFixture, OneFieldExactMatchIsABinaryEquality) {
    EXPECT_EQ(Dump(Lookup({"NAME"}, {Variant("Smith")}, {})), "EQ(F2:NAME,C1:'Smith')");
    EXPECT_EQ(Dump(Lookup({"ID"}, {Variant(7)}, {loCaseInsensitive, loPartialKey})), "EQ(F1:ID,C6:7)");
    EXPECT_EQ(Dump(Lookup({"NAME"}, {Null()}, {})), "ISBLANK(F2:NAME)");
}

TEST_F(LookupFixture, OneFieldPartialAndCaseInsensitiveUseCompareNodesAndKeepTheStar) {
    EXPECT_EQ(Dump(Lookup({"NAME"}, {Variant("Sm*")}, {loPartialKey})), "CMPEQ[ci0,p3](F2:NAME,C1:'Sm*')");
    EXPECT_EQ(Dump(Lookup({"NAME"}, {Variant("sm")}, {loCaseInsensitive})), "CMPEQ[ci1,p0](F2:NAME,C1:'sm')");
    EXPECT_EQ(Dump(Lookup({"NAME"}, {Variant("")}, {loCaseInsensitive, loPartialKey})), "EQ(F2:NAME,C1:'')");
}

TEST_F(LookupFixture, TwoFieldsAreJoinedWithAnd) {
    EXPECT_EQ(Dump(Lookup({"ID", "NAME"}, {Variant(3), Variant("Sm")}, {loPartialKey})),
              "AND(EQ(F1:ID,C6:3),CMPEQ[ci0,p2](F2:NAME,C1:'Sm'))");
}

TEST_F(LookupFixture, ThreeFieldsChainLeftDeepAndOnlyTheLastIsPartial) {
    const std::vector<uint8_t> blob =
        Lookup({"NAME", "ID", "NAME"}, {Variant("Ab"), Variant(2), Variant("Cd")}, {loPartialKey});
    EXPECT_EQ(Dump(blob), "AND(AND(EQ(F2:NAME,C1:'Ab'),EQ(F1:ID,C6:2)),CMPEQ[ci0,p2](F2:NAME,C1:'Cd'))");
    const std::vector<uint8_t> ci =
        Lookup({"NAME", "AMOUNT", "NAME"}, {Variant("Ab"), Variant(2.5), Variant("Cd")}, {loCaseInsensitive});
    EXPECT_EQ(Dump(ci),
              "AND(AND(CMPEQ[ci1,p0](F2:NAME,C1:'Ab'),EQ(F3:AMOUNT,C7:2.5)),CMPEQ[ci1,p0](F2:NAME,C1:'Cd'))");
}

TEST_F(LookupFixture, RangeOperatorsStayBinaryEvenWhenPartial) {
    TFilterExpr filter(ds, {foNoPartialCompare, foCaseInsensitive}, {}, "", nullptr, FldTypeMap);
    TExprNode* node = filter.NewCompareNode(ds->FieldByName("NAME"), coGE, Variant("M"));
    node->Partial = true;
    EXPECT_EQ(Dump(filter.GetFilterData(node)), "GE(F2:NAME,C1:'M')");
}

TEST_F(LookupFixture, UnknownFieldNameRaisesFieldNotFound) {
    TFilterExpr filter(ds, {}, {}, "", nullptr, FldTypeMap);
    EXPECT_THROW(filter.NewNode(enField, coNOTDEFINED, Variant("MISSING"), nullptr, nullptr), EDatabaseError);
}

} // namespace
