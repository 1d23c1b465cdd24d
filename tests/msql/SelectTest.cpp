// SELECT semantics: WHERE rules, NULL handling, LIKE family, ORDER BY, DISTINCT, LIMIT / OFFSET,
// joins and system variables.
#include "MsqlFixture.h"

using namespace msqltest;

class Query : public MsqlTest {
protected:
    void SetUp() override {
        MsqlTest::SetUp();
        Exec("create table p (id int, name char(20), score real, d date)");
        Exec("insert into p values (1, 'alice', 1.5, '1-Jan-2000')");
        Exec("insert into p values (2, 'Bob', NULL, '15-Jun-1999')");
        Exec("insert into p values (3, 'carol', 3.25, NULL)");
        Exec("insert into p values (4, NULL, 0.5, '1-Jan-2000')");
    }
};

TEST_F(Query, AndOrEvaluateLeftToRightWithEqualPrecedence) {
    // (id = 2 OR id = 1) AND id = 3: no row; standard precedence would give id 2.
    EXPECT_TRUE(Select("select id from p where id = 2 or id = 1 and id = 3").empty());
    EXPECT_EQ(Select("select id from p where id = 2 or (id = 1 and id = 3)"), (Rows{{"2"}}));
}

TEST_F(Query, NullTestsAndComparisonsWithNull) {
    EXPECT_EQ(Select("select id from p where name = NULL"), (Rows{{"4"}}));
    EXPECT_EQ(Select("select id from p where name <> NULL order by id"), (Rows{{"1"}, {"2"}, {"3"}}));
    // A NULL value never satisfies a comparison, not even <>.
    EXPECT_EQ(Select("select id from p where score <> 1.5 order by id"), (Rows{{"3"}, {"4"}}));
    EXPECT_EQ(Select("select id from p where name != 'alice' order by id"), (Rows{{"2"}, {"3"}}));
    EXPECT_EQ(Error("select id from p where name < NULL"), "Illegal operator applied to NULL.");
    EXPECT_EQ(Error("select id from p where name like NULL"), "Illegal operator applied to NULL.");
    EXPECT_EQ(Error("select id from p where name is null"), "syntax error. Line 1 near 'is'");
}

TEST_F(Query, ComparisonTypeRules) {
    EXPECT_EQ(Select("select id from p where id = 2.7"), (Rows{{"2"}}));
    EXPECT_EQ(Select("select id from p where score > 1 order by id"), (Rows{{"1"}, {"3"}}));
    EXPECT_EQ(Error("select id from p where id = 'x'"), "Bad type for comparison of 'id'");
    EXPECT_EQ(Error("select id from p where name = 3"), "Bad type for comparison of 'name'");
    EXPECT_EQ(Error("select id from p where d = 'yesterday'"), "Invalid date format");
    EXPECT_EQ(Error("select id from p where id = 3000000000"), "Numeric value outside field value range");
    EXPECT_EQ(Select("select id from p where d < '1-Jan-2000'"), (Rows{{"2"}}));
    EXPECT_EQ(Error("select id from p where zz = 1"), "Unknown field \"zz\"");
    EXPECT_EQ(Error("select id from p where id = name"), "Bad type for comparison of 'id'");
}

TEST_F(Query, StringComparisonIsCaseSensitiveAndUnpadded) {
    EXPECT_EQ(Select("select id from p where name = 'bob'"), Rows{});
    EXPECT_EQ(Select("select id from p where name = 'Bob '"), Rows{});
    EXPECT_EQ(Select("select id from p where name < 'a' order by id"), (Rows{{"2"}}));
}

TEST_F(Query, LikeFamily) {
    EXPECT_EQ(Select("select id from p where name like '%o%' order by id"), (Rows{{"2"}, {"3"}}));
    EXPECT_EQ(Select("select id from p where name like 'b%'"), Rows{});
    EXPECT_EQ(Select("select id from p where name clike 'b%'"), (Rows{{"2"}}));
    EXPECT_EQ(Select("select id from p where name not like '%o%' order by id"), (Rows{{"1"}}));
    EXPECT_EQ(Select("select id from p where name rlike '^[ab]' order by id"), (Rows{{"1"}}));
    EXPECT_EQ(Select("select id from p where name rlike 'ro'"), (Rows{{"3"}}));
    EXPECT_EQ(Select("select id from p where name slike 'karol'"), Rows{});
    EXPECT_EQ(Select("select id from p where name slike 'caral'"), (Rows{{"3"}}));
    EXPECT_EQ(Error("select id from p where name rlike '[ab'"), "RLIKE expression is malformed");
    EXPECT_EQ(Error("select id from p where id like '1%'"), "Can't perform LIKE on int value");
    EXPECT_EQ(Error("select id from p where score like '1%'"), "Can't perform LIKE on real value");
    EXPECT_EQ(Error("select id from p where d like '1%'"), "Invalid date format");
}

TEST_F(Query, LikeOnTextAndEscapedWildcards) {
    Exec("create table t (x text(10))");
    Exec("insert into t values ('50% off')");
    Exec("insert into t values ('500 off')");
    EXPECT_EQ(Select("select x from t where x like '50\\\\%%'"), (Rows{{"50% off"}}));
    EXPECT_EQ(Error("select x from t where x rlike 'a'"), "Can't use RLIKE or SLIKE with TEXT fields");
}

TEST_F(Query, OrderByPutsNullLowestBothWays) {
    EXPECT_EQ(Select("select name from p order by name"), (Rows{{NUL}, {"Bob"}, {"alice"}, {"carol"}}));
    EXPECT_EQ(Select("select name from p order by name desc"), (Rows{{"carol"}, {"alice"}, {"Bob"}, {NUL}}));
    EXPECT_EQ(Select("select d, id from p order by d desc, id asc"),
              (Rows{{"01-Jan-2000", "1"}, {"01-Jan-2000", "4"}, {"15-Jun-1999", "2"}, {NUL, "3"}}));
    EXPECT_EQ(Error("select id from p order by name"), "Bad order field. Field \"name\" was not selected");
}

TEST_F(Query, DistinctLimitAndOffset) {
    EXPECT_EQ(Select("select distinct d from p order by d"), (Rows{{NUL}, {"15-Jun-1999"}, {"01-Jan-2000"}}));
    EXPECT_EQ(Select("select id from p order by id limit 2"), (Rows{{"1"}, {"2"}}));
    EXPECT_EQ(Select("select id from p order by id limit 2 offset 1"), (Rows{{"2"}, {"3"}}));
    EXPECT_EQ(Select("select id from p order by id limit 0"), (Rows{{"1"}, {"2"}, {"3"}, {"4"}}));
    EXPECT_EQ(Select("select id from p order by id limit 10 offset 10"), Rows{});
    EXPECT_EQ(Error("select id from p limit 1, 2"), "syntax error. Line 1 near ','");
}

TEST_F(Query, JoinsNeedQualifiedNames) {
    Exec("create table q (pid int, label char(10))");
    Exec("insert into q values (1, 'one')");
    Exec("insert into q values (3, 'three')");
    Exec("insert into q values (3, 'drei')");
    EXPECT_EQ(Select("select p.name, q.label from p, q where p.id = q.pid order by q.label"),
              (Rows{{"carol", "drei"}, {"alice", "one"}, {"carol", "three"}}));
    EXPECT_EQ(Select("select a.id, b.id from p a, p = b where a.id = b.id and a.id < 3 order by a.id"),
              (Rows{{"1", "1"}, {"2", "2"}}));
    EXPECT_EQ(Error("select name from p, q"), "Unqualified field \"name\" in join");
    EXPECT_EQ(Error("select x.name from p, q"), "Reference to un-selected table \"x\"");
    EXPECT_EQ(Error("select p.zz from p, q"), "Unknown field \"p.zz\"");
    Rows star = Select("select * from p, q where p.id = q.pid and q.label = 'one'");
    EXPECT_EQ(star, (Rows{{"1", "alice", "1.5", "01-Jan-2000", "1", "one"}}));
}

TEST_F(Query, TablesAndColumnsAreCaseSensitiveKeywordsAreNot) {
    EXPECT_EQ(Error("SELECT ID FROM p"), "Unknown field \"p.ID\"");
    EXPECT_EQ(Error("SELECT id FROM P"), "Unknown table \"P\"");
    EXPECT_EQ(Select("SeLeCt id FrOm p WhErE id = 1"), (Rows{{"1"}}));
}

TEST_F(Query, RowIdIsZeroBasedAndUsableInWhere) {
    EXPECT_EQ(Select("select _rowid, id from p where _rowid = 1"), (Rows{{"1", "2"}}));
    EXPECT_EQ(Error("select _bogus from p"), "Unknown system variable \"_bogus\"");
    EXPECT_EQ(Error("select id from p where _sysdate = '1-Jan-2000'"), "Can't use _sysdate in conditions");
}

TEST_F(Query, SystemVariablesGiveOneRow) {
    Rows rows = Select("select _sysdate, _systime, _user from p");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0]->size(), 11u);
    EXPECT_EQ(rows[0][1]->size(), 8u);
    EXPECT_FALSE(rows[0][2]->empty());
}

TEST_F(Query, SequencesHandOutValuesByStep) {
    EXPECT_EQ(Error("select _seq from p"), "No sequence defined for this table");
    Exec("create sequence on p step 5 value 10");
    EXPECT_EQ(Error("create sequence on p"), "Table 'p' already has a sequence");
    EXPECT_EQ(One("select _seq from p"), "10");
    EXPECT_EQ(One("select _seq from p"), "15");
    m_seq* info = msqlGetSequenceInfo(sock, C("p"));
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->step, 5);
    EXPECT_EQ(info->value, 20);
    EXPECT_EQ(Error("select id from p where _seq = 1"), "Can't use _seq in conditions");
    EXPECT_EQ(Error("insert into p values (_seq, 'x', 1, '1-Jan-2000')"), "syntax error. Line 1 near '_seq'");
    Exec("drop sequence from p");
    EXPECT_EQ(Error("drop sequence from p"), "Table 'p' does not have a sequence");
    EXPECT_EQ(msqlGetSequenceInfo(sock, C("p")), nullptr);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "No sequence defined on 'p'");
    Exec("create sequence on p step -1 value 0");
    EXPECT_EQ(One("select _seq from p"), "0");
    EXPECT_EQ(One("select _seq from p"), "-1");
}

TEST_F(Query, EmptyTableSelectStillGivesAResult) {
    Exec("create table e (a int)");
    EXPECT_EQ(msqlQuery(sock, C("select a from e")), 0);
    m_result* r = msqlStoreResult();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(msqlNumRows(r), 0);
    EXPECT_EQ(msqlNumFields(r), 1);
    EXPECT_EQ(msqlFetchRow(r), nullptr);
    msqlFreeResult(r);
}
