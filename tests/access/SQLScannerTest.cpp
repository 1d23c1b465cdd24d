#include "access/SQLScanner.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using namespace corvane;

using Tokens = std::vector<std::pair<TSQLToken, std::string>>;

// Scans the whole text the way callers do: each section kind becomes the current section.
Tokens ScanAll(const std::string& sql) {
    Tokens out;
    const char* p = sql.c_str();
    TSQLToken section = stUnknown;
    for (;;) {
        std::string token;
        TSQLToken kind = NextSQLToken(p, token, section);
        out.emplace_back(kind, token);
        if (IsSQLSection(kind)) section = kind;
        if (kind == stEnd) break;
        if (out.size() > 100) break;
    }
    return out;
}

TEST(SQLScanner, SimpleSelectYieldsClassifiedTokens) {
    Tokens expected = {{stSelect, "select"},      {stAllFields, "*"}, {stFrom, "from"},
                       {stTableName, "customer"}, {stWhere, "where"}, {stFieldName, "id"},
                       {stPredicate, "="},        {stNumber, "1"},    {stEnd, ""}};
    EXPECT_EQ(ScanAll("select * from customer where id = 1"), expected);
}

TEST(SQLScanner, KeywordPairsAndNullTestsJoinWordsAsWritten) {
    Tokens tokens = ScanAll("SELECT a FROM t WHERE x is NOT null ORDER by a Desc");
    ASSERT_GE(tokens.size(), 9u);
    EXPECT_EQ(tokens[6], std::make_pair(stIsNotNull, std::string("is NOT null")));
    EXPECT_EQ(tokens[7], std::make_pair(stOrderBy, std::string("ORDER by")));
    EXPECT_EQ(tokens[9], std::make_pair(stDescending, std::string("Desc")));

    Tokens grouped = ScanAll("select a from t group by a having a for update");
    EXPECT_EQ(grouped[4], std::make_pair(stGroupBy, std::string("group by")));
    EXPECT_EQ(grouped[6], std::make_pair(stHaving, std::string("having")));
    EXPECT_EQ(grouped[8], std::make_pair(stForUpdate, std::string("for update")));
}

TEST(SQLScanner, IsWithoutNullIsAValueAndScanResumesAfterIt) {
    Tokens tokens = ScanAll("where x is nothing");
    ASSERT_EQ(tokens.size(), 5u);
    EXPECT_EQ(tokens[2], std::make_pair(stValue, std::string("is")));
    EXPECT_EQ(tokens[3], std::make_pair(stFieldName, std::string("nothing")));

    Tokens notNothing = ScanAll("where x is not nothing");
    EXPECT_EQ(notNothing[2], std::make_pair(stValue, std::string("is")));
    EXPECT_EQ(notNothing[3].second, "not");
}

TEST(SQLScanner, NumbersPredicatesAndQuotedValues) {
    Tokens tokens = ScanAll("where a>=12.5.7 and b<>'it''s'");
    // Operators and digits join a started word; the full stop then ends it as a table name.
    EXPECT_EQ(tokens[1], std::make_pair(stTableName, std::string("a>=12")));
    Tokens spaced = ScanAll("where a >= 12.5.7 or b = 'x y'");
    EXPECT_EQ(spaced[2], std::make_pair(stPredicate, std::string(">=")));
    EXPECT_EQ(spaced[3], std::make_pair(stNumber, std::string("12.5.7")));
    EXPECT_EQ(spaced[4].first, stOr);
    EXPECT_EQ(spaced[7], std::make_pair(stValue, std::string("x y")));
}

TEST(SQLScanner, DoubledQuoteEndsTokenAtFirstHalf) {
    const std::string sql = "'it''s'";
    const char* p = sql.c_str();
    std::string token;
    EXPECT_EQ(NextSQLToken(p, token, stWhere), stValue);
    EXPECT_EQ(token, "it");
    EXPECT_EQ(std::string(p), "'s'");
}

TEST(SQLScanner, UnterminatedQuoteIsAnOrdinaryCharacter) {
    Tokens tokens = ScanAll("select 'abc from t");
    EXPECT_EQ(tokens[1], std::make_pair(stFieldName, std::string("'abc")));
    EXPECT_EQ(tokens[3], std::make_pair(stTableName, std::string("t")));
}

TEST(SQLScanner, CommentsAreSingleTokens) {
    Tokens block = ScanAll("select a /* from x */ from t");
    EXPECT_EQ(block[2], std::make_pair(stComment, std::string("/* from x ")));
    EXPECT_EQ(block[3], std::make_pair(stFieldName, std::string("*/")));

    Tokens line = ScanAll("select a // note\nfrom t");
    EXPECT_EQ(line[2], std::make_pair(stComment, std::string("// note")));
    EXPECT_EQ(line[3].first, stFrom);

    Tokens open = ScanAll("select a /* never closed from t");
    EXPECT_EQ(open[2], std::make_pair(stComment, std::string("/* never closed from t")));
    EXPECT_EQ(open[3].first, stEnd);

    Tokens slash = ScanAll("select a/b from t");
    EXPECT_EQ(slash[1], std::make_pair(stFieldName, std::string("a/b")));
}

TEST(SQLScanner, BlanksAndCommasOnlyYieldEnd) {
    Tokens tokens = ScanAll(" , ,\r\n ,");
    ASSERT_EQ(tokens.size(), 1u);
    EXPECT_EQ(tokens[0].first, stEnd);
    EXPECT_EQ(ScanAll("")[0].first, stEnd);
}

TEST(SQLScanner, TableNameOfSelect) {
    EXPECT_EQ(GetTableNameFromSQL("select * from customer where id = 1"), "customer");
    EXPECT_EQ(GetTableNameFromSQL("select a from t1, t2"), "t1");
    EXPECT_EQ(GetTableNameFromSQL("select count(*) from t"), "t");
    EXPECT_EQ(GetTableNameFromSQL("select a /* from x */ from t"), "t");
    EXPECT_EQ(GetTableNameFromSQL("SELECT a\nFROM\n  orders\nORDER BY a"), "orders");
    EXPECT_EQ(GetTableNameFromSQL("select a from db.t"), "db");
    EXPECT_EQ(GetTableNameFromSQL("select a from \"db\".t"), "db");
}

TEST(SQLScanner, TableNameAbsentGivesEmptyText) {
    EXPECT_EQ(GetTableNameFromSQL("select 1"), "");
    EXPECT_EQ(GetTableNameFromSQL("select a from"), "");
    EXPECT_EQ(GetTableNameFromSQL("select a from \"quoted\""), "");
    EXPECT_EQ(GetTableNameFromSQL("select a from where x = 1"), "");
    EXPECT_EQ(GetTableNameFromSQL(""), "");
}

TEST(SQLScanner, TabSeparatesTableNameFromNextKeyword) {
    EXPECT_EQ(GetTableNameFromSQL("select * from customer\twhere id = 1"), "customer");
    EXPECT_EQ(GetTableNameFromSQL("select *\tfrom\tcustomer"), "customer");
}

// Each keyword that looks ahead reads the next word once: runs of them are scanned in one pass, however
// long, instead of exponentially often and ever deeper nested.
TEST(SQLScanner, RunsOfLookAheadKeywordsAreReadOnce) {
    std::string text = "select a from t where a";
    for (int i = 0; i < 60; ++i)
        text += " IS";
    text += " NOT NULL";
    for (int i = 0; i < 100000; ++i)
        text += " GROUP";
    text += " BY a";
    Tokens tokens;
    const char* p = text.c_str();
    TSQLToken section = stUnknown;
    for (TSQLToken kind = stUnknown; kind != stEnd;) {
        std::string token;
        kind = NextSQLToken(p, token, section);
        if (IsSQLSection(kind)) section = kind;
        tokens.emplace_back(kind, token);
    }
    ASSERT_EQ(tokens.size(), 6u + 60u + 100000u + 2u);
    EXPECT_EQ(tokens[6 + 58], std::make_pair(stValue, std::string("IS")));
    EXPECT_EQ(tokens[6 + 59], std::make_pair(stIsNotNull, std::string("IS NOT NULL")));
    EXPECT_EQ(tokens[tokens.size() - 3], std::make_pair(stGroupBy, std::string("GROUP BY")));
    EXPECT_EQ(GetTableNameFromSQL(text), "t");
}

} // namespace
