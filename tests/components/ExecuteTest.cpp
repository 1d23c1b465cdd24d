// TmSQLDatabase.Execute: rows changed on every path, parameter values written into the statement,
// the statement cache, and result cursors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ComponentsFixture.h"
#include "host/DateTime.h"
#include "host/Messages.h"
#include "host/Params.h"
#include "host/SysUtils.h"

namespace corvane::test {
namespace {

class ExecuteTest : public ComponentsTest {
protected:
    void SetUp() override {
        ComponentsTest::SetUp();
        Exec("create table t (id int, name char(40), day date)");
        Exec("insert into t (id, name) values (1, 'one')");
        Exec("insert into t (id, name) values (2, 'two')");
        Exec("insert into t (id, name) values (3, 'three')");
        database = NewDatabase();
    }

    TmSQLDatabase* database = nullptr;
};

TEST_F(ExecuteTest, ReturnsTheRowsChangedWithoutParametersOrCache) {
    EXPECT_EQ(database->Execute("update t set name = 'x' where id > 1"), 2);
    EXPECT_TRUE(database->Connected());
    EXPECT_EQ(database->Execute("insert into t (id, name) values (4, 'four')"), 1);
    EXPECT_EQ(database->Execute("delete from t where id = 1"), 1);
    EXPECT_EQ(database->Execute("update t set name = 'y' where id = 99"), 0);
    EXPECT_EQ(Column("select name from t where id = 2"), std::vector<std::string>{"x"});
    // No statement is left behind without the cache.
    EXPECT_EQ(database->Engine()->CurrentStatement(), nullptr);
}

TEST_F(ExecuteTest, SubstitutesParameterValuesAsLiterals) {
    host::TParams params;
    params.CreateParam(host::ftInteger, "id", host::ptInput)->SetAsInteger(10);
    params.CreateParam(host::ftString, "name", host::ptInput)->SetAsString("it's a \\ path");
    params.CreateParam(host::ftDate, "day", host::ptInput)->SetAsDate(host::EncodeDate(2024, 2, 29));
    EXPECT_EQ(database->Execute("insert into t (id, name, day) values (:id, :name, :day)", &params), 1);
    EXPECT_EQ(Column("select name from t where id = 10"), std::vector<std::string>{"it's a \\ path"});
    EXPECT_EQ(Column("select day from t where id = 10"), std::vector<std::string>{"29-Feb-2024"});

    // A parameter with a type but no value is written as NULL.
    host::TParams nullName;
    nullName.CreateParam(host::ftString, "name", host::ptInput)->Clear();
    nullName.CreateParam(host::ftInteger, "id", host::ptInput)->SetAsInteger(2);
    EXPECT_EQ(database->Execute("update t set name = :name where id = :id", &nullName), 1);
    EXPECT_EQ(Column("select name from t where id = 2"), std::vector<std::string>{"NULL"});
}

TEST_F(ExecuteTest, AParameterWithoutTypeIsRefusedBeforeAnythingRuns) {
    host::TParams params;
    params.CreateParam(host::ftUnknown, "id", host::ptInput);
    EXPECT_EQ(ExpectHostError([&] { database->Execute("delete from t where id = :id", &params); }),
              host::Format(host::SNoParameterValue, "id"));
    EXPECT_EQ(Column("select id from t").size(), 3u);
}

TEST_F(ExecuteTest, TheCacheReusesTheStatementWithTheNewValues) {
    const std::string sql = "insert into t (id, name) values (:id, :name)";
    host::TParams params;
    host::TParam* id = params.CreateParam(host::ftInteger, "id", host::ptInput);
    host::TParam* name = params.CreateParam(host::ftString, "name", host::ptInput);
    id->SetAsInteger(20);
    name->SetAsString("first");
    EXPECT_EQ(database->Execute(sql, &params, true), 1);
    const hDBIStmt cached = database->Engine()->CurrentStatement();
    ASSERT_NE(cached, nullptr);
    id->SetAsInteger(21);
    name->SetAsString("second");
    EXPECT_EQ(database->Execute(sql, &params, true), 1);
    EXPECT_EQ(database->Engine()->CurrentStatement(), cached);
    EXPECT_EQ(Column("select name from t where id >= 20"), (std::vector<std::string>{"first", "second"}));

    // Without values the cached statement runs its text as written again, not the last values.
    EXPECT_EQ(database->Execute("delete from t where id = 3", nullptr, true), 1);
    EXPECT_EQ(database->Execute("delete from t where id = 3", nullptr, true), 0);

    // Texts that differ only in case where the hash does not look share the entry, yet each runs
    // as written.
    const std::string lower = "insert into t (id, name) values (30, 'abcdefgh')";
    std::string upper = lower;
    const size_t step = lower.size() / 8;
    size_t letter = lower.find('a', lower.find('\''));
    while (letter % step == 0)
        ++letter;
    upper[letter] = static_cast<char>(upper[letter] - 'a' + 'A');
    ASSERT_EQ(TmSQLDatabase::StatementHash(lower), TmSQLDatabase::StatementHash(upper));
    EXPECT_EQ(database->Execute(lower, nullptr, true), 1);
    EXPECT_EQ(database->Execute(upper, nullptr, true), 1);
    EXPECT_EQ(Column("select name from t where id = 30"),
              (std::vector<std::string>{lower.substr(lower.find('\'') + 1, 8),
                                        upper.substr(upper.find('\'') + 1, 8)}));

    // Closing frees the cached statements.
    database->Close();
    EXPECT_EQ(database->Engine()->CurrentStatement(), nullptr);
}

TEST_F(ExecuteTest, TheStatementCacheHashFollowsItsTwoRules) {
    // Short texts: every character, h * 37 + c.
    EXPECT_EQ(TmSQLDatabase::StatementHash(""), 0u);
    EXPECT_EQ(TmSQLDatabase::StatementHash("ab"), 97u * 37u + 98u);
    // From 16 characters on: every (length div 8)-th character, h * 39 + c, wrapping at 32 bits.
    const std::string sql = "select * from t where id = 1";
    uint32_t expected = 0;
    for (size_t i = 0; i < sql.size(); i += sql.size() / 8)
        expected = expected * 39u + static_cast<unsigned char>(sql[i]);
    EXPECT_EQ(TmSQLDatabase::StatementHash(sql), expected);
    std::string other = sql;
    other[sql.size() / 8] = 'X'; // a sampled character
    EXPECT_NE(TmSQLDatabase::StatementHash(sql), TmSQLDatabase::StatementHash(other));
}

TEST_F(ExecuteTest, ACursorIsHandedBackReadOnly) {
    host::TParams params;
    params.CreateParam(host::ftInteger, "low", host::ptInput)->SetAsInteger(1);
    hDBICur cursor = nullptr;
    EXPECT_EQ(database->Execute("select id from t where id > :low", &params, true, &cursor), 0);
    ASSERT_NE(cursor, nullptr);
    TmSQLEngine& engine = *database->Engine();
    int32_t count = 0;
    EXPECT_EQ(engine.GetRecordCount(cursor, count), DBIERR_NONE);
    EXPECT_EQ(count, 2);
    CURProps props{};
    EXPECT_EQ(engine.GetCursorProps(cursor, props), DBIERR_NONE);
    const DBIOpenMode openMode = props.eOpenMode; // packed members are read by value
    EXPECT_EQ(openMode, dbiREADONLY);
    EXPECT_EQ(engine.CloseCursor(cursor), DBIERR_NONE);

    // Without parameters and without the cache a result can be asked for too.
    EXPECT_EQ(database->Execute("select id from t", nullptr, false, &cursor), 0);
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(engine.GetRecordCount(cursor, count), DBIERR_NONE);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(engine.CloseCursor(cursor), DBIERR_NONE);
}

TEST_F(ExecuteTest, AServerErrorLeavesNoStatementBehind) {
    const std::string message =
        ExpectDatabaseError(DBIERR_NATIVE, [&] { database->Execute("delete from nosuch"); });
    EXPECT_EQ(message.rfind("mSQL Error : \r\n", 0), 0u);
    EXPECT_EQ(database->Engine()->CurrentStatement(), nullptr);
}

} // namespace
} // namespace corvane::test
