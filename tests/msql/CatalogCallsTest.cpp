// DDL statements and the catalog calls: msqlListFields / msqlListIndex / msqlListTables /
// msqlListDBs shapes, and database administration.
#include "MsqlFixture.h"

#include <algorithm>

using namespace msqltest;

class Catalog : public MsqlTest {};

namespace {
struct FieldShape {
    std::string name, table;
    int type, length, flags;
    bool operator==(const FieldShape&) const = default;
};
std::ostream& operator<<(std::ostream& os, const FieldShape& f) {
    return os << f.table << "." << f.name << " type " << f.type << " len " << f.length << " flags "
              << f.flags;
}
std::vector<FieldShape> Fields(m_result* r) {
    std::vector<FieldShape> out;
    while (m_field* f = msqlFetchField(r))
        out.push_back({f->name, f->table, f->type, f->length, f->flags});
    return out;
}
} // namespace

TEST_F(Catalog, ListFieldsGivesColumnsThenIndexesWithoutRows) {
    Exec("create table t (a int not null, b char(12), c real, d date, e time, f money, g uint, h text(40))");
    Exec("create index one_field on t (b)");
    Exec("create unique index two_fields on t (a, b)");
    Exec("create unique index also_one on t (g)");
    m_result* r = msqlListFields(sock, C("t"));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(msqlNumRows(r), 0);
    EXPECT_EQ(msqlNumFields(r), 11);
    EXPECT_EQ(msqlFetchRow(r), nullptr);
    std::vector<FieldShape> expected = {
        {"a", "t", INT_TYPE, 4, NOT_NULL_FLAG},
        {"b", "t", CHAR_TYPE, 12, 0},
        {"c", "t", REAL_TYPE, 8, 0},
        {"d", "t", DATE_TYPE, 4, 0},
        {"e", "t", TIME_TYPE, 4, 0},
        {"f", "t", MONEY_TYPE, 4, 0},
        {"g", "t", UINT_TYPE, 4, 0},
        {"h", "t", TEXT_TYPE, 40, 0},
        {"two_fields", "t", IDX_TYPE, 0, UNIQUE_FLAG},
        {"one_field", "t", IDX_TYPE, 0, 0},
        {"also_one", "t", IDX_TYPE, 0, UNIQUE_FLAG},
    };
    EXPECT_EQ(Fields(r), expected);
    msqlFreeResult(r);
    EXPECT_EQ(msqlListFields(sock, C("nosuch")), nullptr);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Unknown table \"nosuch\"");
}

TEST_F(Catalog, QueryResultFieldsCarryNotNullButNeverUnique) {
    Exec("create table t (a int not null, b char(5))");
    Exec("create unique index ia on t (a)");
    ASSERT_EQ(msqlQuery(sock, C("select a, b, _rowid from t")), 0);
    m_result* r = msqlStoreResult();
    ASSERT_NE(r, nullptr);
    std::vector<FieldShape> expected = {{"a", "t", INT_TYPE, 4, NOT_NULL_FLAG},
                                        {"b", "t", CHAR_TYPE, 5, 0},
                                        {"_rowid", "t", INT_TYPE, 4, NOT_NULL_FLAG}};
    EXPECT_EQ(Fields(r), expected);
    msqlFreeResult(r);
}

TEST_F(Catalog, QueryResultFieldsNameTheAliasWhenOneIsGiven) {
    Exec("create table t (a int not null, b char(5))");
    Exec("create table u (c int)");
    ASSERT_EQ(msqlQuery(sock, C("select x.a, y.b, u.c, _rowid, y._rowid, y._timestamp from t x, t as y, u")),
              0);
    m_result* r = msqlStoreResult();
    ASSERT_NE(r, nullptr);
    std::vector<FieldShape> expected = {{"a", "x", INT_TYPE, 4, NOT_NULL_FLAG},
                                        {"b", "y", CHAR_TYPE, 5, 0},
                                        {"c", "u", INT_TYPE, 4, 0},
                                        {"_rowid", "x", INT_TYPE, 4, NOT_NULL_FLAG},
                                        {"_rowid", "y", INT_TYPE, 4, NOT_NULL_FLAG},
                                        {"_timestamp", "y", INT_TYPE, 4, 0}};
    EXPECT_EQ(Fields(r), expected);
    msqlFreeResult(r);

    ASSERT_EQ(msqlQuery(sock, C("select * from t = z")), 0);
    r = msqlStoreResult();
    ASSERT_NE(r, nullptr);
    expected = {{"a", "z", INT_TYPE, 4, NOT_NULL_FLAG}, {"b", "z", CHAR_TYPE, 5, 0}};
    EXPECT_EQ(Fields(r), expected);
    msqlFreeResult(r);
}

TEST_F(Catalog, ListIndexGivesKindThenKeyFields) {
    Exec("create table t (a int, b char(5), c int)");
    Exec("create index ix on t (c, a)");
    m_result* r = msqlListIndex(sock, C("t"), C("ix"));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(msqlNumFields(r), 1);
    m_field* f = msqlFetchField(r);
    ASSERT_NE(f, nullptr);
    EXPECT_STREQ(f->name, "Index");
    EXPECT_STREQ(f->table, "mSQL Catalog");
    EXPECT_EQ(f->type, CHAR_TYPE);
    EXPECT_EQ(f->length, NAME_LEN);
    EXPECT_EQ(msqlNumRows(r), 3);
    EXPECT_EQ(ReadRows(r), (Rows{{"avl"}, {"c"}, {"a"}}));
    msqlFreeResult(r);
    for (auto [table, index] : {std::pair{"t", "nosuch"}, std::pair{"nosuch", "ix"}}) {
        m_result* empty = msqlListIndex(sock, C(table), C(index));
        ASSERT_NE(empty, nullptr);
        EXPECT_EQ(msqlNumRows(empty), 0);
        msqlFreeResult(empty);
    }
}

TEST_F(Catalog, ListTablesAndDatabases) {
    Exec("create table zeta (a int)");
    Exec("create table Alpha (a int)");
    m_result* tables = msqlListTables(sock);
    ASSERT_NE(tables, nullptr);
    EXPECT_EQ(ReadRows(tables), (Rows{{"zeta"}, {"Alpha"}}));
    msqlFreeResult(tables);
    ASSERT_EQ(msqlCreateDB(sock, C("other")), 0);
    m_result* dbs = msqlListDBs(sock);
    ASSERT_NE(dbs, nullptr);
    m_field* f = msqlFetchField(dbs);
    EXPECT_STREQ(f->name, "Database");
    EXPECT_EQ(ReadRows(dbs), (Rows{{"other"}, {"test"}}));
    msqlFreeResult(dbs);
}

TEST_F(Catalog, CreateAndDropDatabase) {
    EXPECT_EQ(msqlCreateDB(sock, C("test")), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Error creating database : test exists!");
    EXPECT_EQ(msqlDropDB(sock, C("nosuch")), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Error dropping database : nosuch doesn't exist");
    EXPECT_EQ(msqlCreateDB(sock, C("../escape")), -1);
    EXPECT_EQ(msqlSelectDB(sock, C("../test")), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Unknown database \"../test\"");
    EXPECT_EQ(msqlSelectDB(sock, nullptr), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Unknown database \"(null)\"");
    EXPECT_EQ(msqlDropDB(sock, C("test")), 0);
    EXPECT_EQ(msqlQuery(sock, C("select a from t")), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "No Database Selected");
    EXPECT_EQ(msqlListTables(sock), nullptr);
}

TEST_F(Catalog, TableDdlErrors) {
    Exec("create table t (a int, b char(4))");
    EXPECT_EQ(Error("create table t (x int)"), "Table \"t\" exists");
    EXPECT_EQ(Error("create table u (x int, x char(3))"), "Duplicate field name 'x'");
    std::string wide = "create table w (c0 int";
    for (int i = 1; i < 76; ++i)
        wide += ", c" + std::to_string(i) + " int";
    EXPECT_EQ(Error(wide + ")"), "Too many fields in table (75 Max)");
    EXPECT_EQ(Exec("drop table t"), 1);
    EXPECT_EQ(Error("drop table t"), "Unknown table \"t\"");
    EXPECT_EQ(Error("select a from t"), "Unknown table \"t\"");
}

TEST_F(Catalog, IndexDdlErrors) {
    Exec("create table t (a int, b char(4), x text(10))");
    EXPECT_EQ(Error("create index a on t (b)"), "Bad index name 'a'");
    Exec("create index ia on t (a)");
    EXPECT_EQ(Error("create index ia on t (b)"), "Bad index name 'ia'");
    EXPECT_EQ(Error("create index ix on t (x)"), "Can't index on a TEXT field!");
    EXPECT_EQ(Error("create index iz on t (zz)"), "Unknown field 'zz'");
    EXPECT_EQ(Error("create index iy on t (a, b, a, b, a, b, a, b, a, b)"), "Too many fields in index");
    EXPECT_EQ(Error("drop index nosuch from t"), "Unknown index 'nosuch' for 't'");
    EXPECT_EQ(Exec("drop index ia from t"), 1);
    Exec("insert into t values (1, 'x', 'a')");
    Exec("insert into t values (1, NULL, 'b')");
    EXPECT_EQ(Error("create unique index ua on t (a)"), "Non unique value for unique index");
    EXPECT_EQ(Error("create index ib on t (b)"), "Index field \"b\" cannot be NULL");
    m_result* r = msqlListFields(sock, C("t"));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(msqlNumFields(r), 3); // the failed indexes were not kept
    msqlFreeResult(r);
}

TEST_F(Catalog, IndexedOrderMatchesOrderBy) {
    Exec("create table t (a int, b char(4))");
    Exec("create unique index iab on t (b, a)");
    Exec("insert into t values (2, 'x'), (1, 'y'), (1, 'x')");
    EXPECT_EQ(Select("Select * from t  ORDER BY  b, a "), (Rows{{"1", "x"}, {"2", "x"}, {"1", "y"}}));
    EXPECT_EQ(Select("Select * from t where b>='x' and a>=2 and b<'y' ORDER BY  b, a "), (Rows{{"2", "x"}}));
}
