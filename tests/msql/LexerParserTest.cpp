// Lexer and parser: tokens, literal forms, syntax error texts, and limits on hostile input.
#include "engine/Error.h"
#include "engine/Lexer.h"
#include "engine/Parser.h"

#include <gtest/gtest.h>

#include <string>

using namespace msql;

namespace {

std::string ParseError(const std::string& sql) {
    try {
        Parse(sql);
    } catch (const Error& e) {
        return e.what();
    }
    return "(parsed)";
}

} // namespace

TEST(Lexer, StringEscapesFollowMsqlRules) {
    auto tokens = Tokenize(R"('O\'Brien' 'a\\b' 'x\ny\tz' '\q')");
    ASSERT_EQ(tokens.size(), 5u);
    EXPECT_EQ(tokens[0].text, "O'Brien");
    EXPECT_EQ(tokens[1].text, "a\\b");
    EXPECT_EQ(tokens[2].text, "x\ny\tz");
    EXPECT_EQ(tokens[3].text, "q");
}

TEST(Lexer, PlainAndEscapedStringsKeepValuesAndLines) {
    auto tokens = Tokenize("'two\nlines' 'esc\\\naped' x\n'' y");
    ASSERT_EQ(tokens.size(), 6u);
    EXPECT_EQ(tokens[0].text, "two\nlines");
    EXPECT_EQ(tokens[1].text, "esc\naped");
    EXPECT_EQ(tokens[1].line, 2);
    EXPECT_EQ(tokens[2].line, 3);
    EXPECT_EQ(tokens[3].kind, TokenKind::String);
    EXPECT_EQ(tokens[3].text, "");
    EXPECT_EQ(tokens[3].line, 4);
    EXPECT_EQ(tokens[5].raw, "*end of input*");
    EXPECT_EQ(tokens[5].line, 5);
    EXPECT_THROW(Tokenize("'open\\'"), msql::Error);
}

TEST(Lexer, NumbersKeepTypedDecimalsAndSign) {
    auto tokens = Tokenize("1.50 2. .5 -7 +3 1.0e+3 -2.25");
    EXPECT_EQ(tokens[0].kind, TokenKind::Real);
    EXPECT_EQ(tokens[0].decimals, 2);
    EXPECT_EQ(tokens[1].decimals, 0);
    EXPECT_DOUBLE_EQ(tokens[2].realValue, 0.5);
    EXPECT_EQ(tokens[3].kind, TokenKind::Integer);
    EXPECT_EQ(tokens[3].intValue, -7);
    EXPECT_EQ(tokens[4].intValue, 3);
    EXPECT_DOUBLE_EQ(tokens[5].realValue, 1000.0);
    EXPECT_EQ(tokens[5].decimals, 4);
    EXPECT_DOUBLE_EQ(tokens[6].realValue, -2.25);
}

TEST(Lexer, HugeIntegerIsFlaggedNotWrapped) {
    auto tokens = Tokenize("99999999999999999999999");
    EXPECT_TRUE(tokens[0].overflow);
}

TEST(Lexer, CommentsRunToEndOfLine) {
    auto tokens = Tokenize("select # a comment 'with quote\n a");
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[1].text, "a");
    EXPECT_EQ(tokens[1].line, 2);
}

TEST(Parser, SyntaxErrorsNameLineAndToken) {
    EXPECT_EQ(ParseError("select a from t where"), "syntax error. Line 2 near '*end of input*'");
    EXPECT_EQ(ParseError("select a\nfrom t wher a = 1"), "syntax error. Line 2 near 'a'");
    EXPECT_EQ(ParseError(""), "syntax error. Line 2 near '*end of input*'");
    EXPECT_EQ(ParseError("select a from t;"), "syntax error. Line 1 near ';'");
    EXPECT_EQ(ParseError("select a from t where a == 1"), "syntax error. Line 1 near '='");
}

TEST(Parser, UnterminatedStringAndStrayBytesAreSyntaxErrors) {
    EXPECT_EQ(ParseError("select a from t where a = 'abc"), "syntax error. Line 1 near ''abc'");
    EXPECT_EQ(ParseError("select a from t where a = 'ab\\"), "syntax error. Line 1 near ''ab\\'");
    EXPECT_EQ(ParseError(std::string("select \x01\xff from t")),
              "syntax error. Line 1 near '\x01\xff from t'");
    EXPECT_EQ(ParseError(std::string("select a\0 from t", 16)).substr(0, 19), "syntax error. Line ");
    EXPECT_EQ(ParseError("select a from t where a = 1e5x"), "syntax error. Line 1 near '1e5x'");
}

TEST(Parser, DoubledQuoteDoesNotEscape) {
    EXPECT_EQ(ParseError("insert into t values ('a''b')"), "syntax error. Line 1 near ''b''");
}

TEST(Parser, AndOrGroupLeftToRight) {
    Statement s = Parse("select a from t where a = 2 or a = 1 and a = 3");
    const auto& where = *std::get<Select>(s).where;
    ASSERT_EQ(where.kind, Condition::Kind::And);
    EXPECT_EQ(where.lhs->kind, Condition::Kind::Or);
    EXPECT_EQ(where.rhs->kind, Condition::Kind::Compare);
}

TEST(Parser, SelectClausesAndAliases) {
    Statement s = Parse("SELECT DISTINCT p.name, q.id FROM people p, people AS q, other = o "
                        "WHERE p.id = q.id ORDER BY p.name DESC, q.id LIMIT 5 OFFSET 2");
    const auto& sel = std::get<Select>(s);
    EXPECT_TRUE(sel.distinct);
    ASSERT_EQ(sel.tables.size(), 3u);
    EXPECT_EQ(sel.tables[0].alias, "p");
    EXPECT_EQ(sel.tables[1].alias, "q");
    EXPECT_EQ(sel.tables[2].alias, "o");
    ASSERT_EQ(sel.order.size(), 2u);
    EXPECT_TRUE(sel.order[0].descending);
    EXPECT_EQ(sel.limit, 5);
    EXPECT_EQ(sel.offset, 2);
}

TEST(Parser, CorvaneStatementShapesParse) {
    EXPECT_NO_THROW(Parse("Select * from T  ORDER BY  A, B "));
    EXPECT_NO_THROW(Parse("Select * from T where A>='x' and B>=3 and A<'y' ORDER BY  A, B "));
    EXPECT_NO_THROW(Parse("INSERT INTO T (A, B) VALUES ('O\\'Brien', 1.5)"));
    EXPECT_NO_THROW(Parse("UPDATE T SET A='x', B=2 WHERE A='y' AND B=1"));
    EXPECT_NO_THROW(Parse("DELETE FROM T WHERE D='5-Mar-1999' AND E='13:05:09'"));
    EXPECT_NO_THROW(Parse("select a from t where a != 1 and b <> 2\r\n"));
}

TEST(Parser, KeywordsDoubleAsNames) {
    Statement s = Parse("create table date (date date, time time, limit int)");
    EXPECT_EQ(std::get<CreateTable>(s).columns.size(), 3u);
    EXPECT_NO_THROW(Parse("select limit from date where time = '10:00:00' order by limit"));
}

TEST(Parser, StructuralErrorsUseMsqlTexts) {
    EXPECT_EQ(ParseError("create table t (a int primary key)"),
              "Primary keys are obsolete.  Use CREATE INDEX");
    EXPECT_EQ(ParseError("create table t (a char(2000000))"), "CHAR field'a' too large.");
    EXPECT_EQ(ParseError("create table abcdefghijabcdefghijabcdefghijabcdefghij (a int)"),
              "Identifier name 'abcdefghijabcdefghijabcdefghijabcdefghij' too long");
    EXPECT_EQ(ParseError("create table t (a text)"), "syntax error. Line 1 near ')'");
}

TEST(Parser, DeepNestingAndManyConditionsAreRefused) {
    std::string deep = "select a from t where " + std::string(100000, '(');
    EXPECT_NE(ParseError(deep).find("syntax error"), std::string::npos);
    std::string many = "select a from t where a = 1";
    for (int i = 0; i < 100; ++i)
        many += " or a = 1";
    EXPECT_EQ(ParseError(many), "Too many conditions in query");
}
