// The documented limits (docs/limits.md) as the components meet them: the longest value, record,
// statement and filter, each at or near its bound and past it, with the error the user sees, nothing
// changed on the server and the dataset still usable. Runs over the embedded engine and msqld.
#include <string>

#include "TableFixture.h"

namespace corvane::test {
namespace {

class LimitsTest : public TableTest {
protected:
    // Runs action, which must raise EmSQLDatabaseError; returns its message.
    template <class Action>
    std::string EngineError(Action action) {
        try {
            action();
        } catch (const EmSQLDatabaseError& e) {
            return e.Message();
        }
        ADD_FAILURE() << "no EmSQLDatabaseError";
        return {};
    }
};

TEST_F(LimitsTest, ARecordOverItsLayoutLimitIsRefusedAtOpen) {
    Exec("create table wide (a char(30000), b char(30000), c char(30000))");
    TmSQLTable* table = NewTmTable("wide");
    EXPECT_EQ(ExpectDatabaseError(9477, [&] { table->Open(); }),
              "Record size is too big for table.\r\nDBI Error Code: (9477)");
    EXPECT_FALSE(table->Active());
    // Two of those columns fit.
    Exec("create table fits (a char(30000), b char(30000))");
    TmSQLTable* fits = NewTmTable("fits");
    fits->Open();
    EXPECT_EQ(fits->FieldByName("b")->Size(), 30000);
}

TEST_F(LimitsTest, ACharColumnWiderThanAStringFieldIsReadCutAndNeverWrittenBackCut) {
    Exec("create table w (id int, c char(40000), n int)");
    const std::string value = std::string(32767, 'c') + std::string(7233, 'd');
    Exec("insert into w values (1, '" + value + "', 1)");
    TmSQLTable* table = NewTmTable("w");
    table->Open();
    EXPECT_EQ(table->FieldByName("c")->Size(), 32767);
    EXPECT_EQ(table->FieldByName("c")->AsString(), value.substr(0, 32767));
    // A write keyed on the cut value finds no row: refused, and the stored value stays whole.
    table->Edit();
    table->FieldByName("n")->SetAsInteger(2);
    ExpectDatabaseError(8708, [&] { table->Post(); });
    table->Cancel();
    EXPECT_EQ(Column("select c from w"), std::vector<std::string>{value});
    EXPECT_EQ(Column("select n from w"), std::vector<std::string>{"1"});
}

TEST_F(LimitsTest, TextValuesAreBoundByTheValueAndTheStatementLimits) {
    Exec("create table m (id int, x text(10))");
    TmSQLTable* table = NewTmTable("m");
    table->Open();
    const std::string fits(131000, 'x');
    table->Append();
    table->FieldByName("id")->SetAsInteger(1);
    table->FieldByName("x")->SetAsString(fits);
    table->Post();

    // The value itself is allowed, but the INSERT carrying it is longer than a statement may be.
    table->Append();
    table->FieldByName("id")->SetAsInteger(2);
    table->FieldByName("x")->SetAsString(std::string(131072, 'y'));
    EXPECT_NE(EngineError([&] { table->Post(); }).find("Query too long (limit 131069 bytes)"),
              std::string::npos);
    table->Cancel();

    // Past the value limit the field refuses the text before anything is sent.
    table->Append();
    table->FieldByName("id")->SetAsInteger(3);
    EXPECT_EQ(ExpectDatabaseError(9986, [&] { table->FieldByName("x")->SetAsString(std::string(131073, 'z')); }),
              "Invalid parameter.\r\nDBI Error Code: (9986)\r\nA TEXT value holds at most 131072 bytes");
    table->Cancel();

    EXPECT_EQ(Column("select id from m"), std::vector<std::string>{"1"});
    EXPECT_EQ(Column("select x from m"), std::vector<std::string>{fits});
    // Still usable.
    table->Append();
    table->FieldByName("id")->SetAsInteger(4);
    table->Post();
    EXPECT_EQ(table->RecordCount(), 2);
}

TEST_F(LimitsTest, AStatementPastTheLimitIsRefusedByExecuteAndTheConnectionStays) {
    Exec("create table s (a char(10))");
    database->Open();
    std::string sql = "insert into s values ('a')";
    const std::string refused = sql + std::string(131069 - sql.size() + 1, ' ');
    sql.resize(131069, ' ');
    EXPECT_EQ(database->Execute(sql), 1);
    EXPECT_NE(EngineError([&] { database->Execute(refused); }).find("Query too long (limit 131069 bytes)"),
              std::string::npos);
    EXPECT_EQ(database->Execute("insert into s values ('b')"), 1);
    EXPECT_EQ(Column("select a from s"), (std::vector<std::string>{"a", "b"}));
}

TEST_F(LimitsTest, AFilterPastItsBlobLimitIsRefusedAndTheDatasetStaysUsable) {
    Exec("create table f (c char(100))");
    Exec("insert into f values ('a')");
    Exec("insert into f values ('b')");
    TmSQLTable* table = NewTmTable("f");
    table->Open();
    // A long constant is kept whole (it matches nothing here) while the filter fits.
    table->SetFilter("c = '" + std::string(60000, 'a') + "'");
    table->SetFiltered(true);
    EXPECT_EQ(Values(*table, "c"), std::vector<std::string>{});
    table->SetFiltered(false);

    // On an open dataset the filter is built when it is set: a filter past the limit is refused there
    // and the previous one stays.
    const std::string previous = table->Filter();
    EXPECT_EQ(ExpectHostError([&] { table->SetFilter("c = '" + std::string(65485, 'q') + "'"); }),
              "Filter expression too long");
    EXPECT_EQ(table->Filter(), previous);
    std::string many = "c = 'a'";
    for (int i = 0; i < 3000; ++i)
        many += " or c = 'b" + std::to_string(i) + "'";
    EXPECT_EQ(ExpectHostError([&] { table->SetFilter(many); }), "Filter expression too long");
    table->SetFilter("c = '" + std::string(65484, 'q') + "'"); // the longest constant that fits
    EXPECT_EQ(Values(*table, "c"), (std::vector<std::string>{"a", "b"})) << "not filtered yet";

    table->SetFilter("c = 'b'");
    table->SetFiltered(true);
    EXPECT_EQ(Values(*table, "c"), std::vector<std::string>{"b"});
}

} // namespace
} // namespace corvane::test
