// The provider operations of the dataset core (current host generation only).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "DataSetFixture.h"
#include "host/Params.h"

namespace corvane::test {
namespace {

#if CORVANE_HOST_GENERATION >= 5

class ProviderTest : public DataSetTest {
protected:
    void SetUp() override {
        DataSetTest::SetUp();
        Exec("create table t (id int, name char(10))");
        Exec("insert into t values (1, 'one')");
        Exec("insert into t values (2, 'two')");
        table = NewTable("t");
    }
    TestTable* table = nullptr;
};

TEST_F(ProviderTest, AStatementsResultSetCanBeReadOnTheSameDatabase) {
    host::TParams params;
    params.CreateParam(host::ftInteger, "low", host::ptInput)->SetAsInteger(1);
    std::unique_ptr<host::TDataSet> result;
    EXPECT_EQ(table->PSExecuteStatement("select name from t where id > :low", &params, &result), 0);
    ASSERT_NE(result, nullptr);
    auto* rows = dynamic_cast<TmSQLDataSet*>(result.get());
    ASSERT_NE(rows, nullptr);
    EXPECT_EQ(rows->Database(), database);
    ASSERT_TRUE(rows->Active());
    EXPECT_EQ(rows->FieldByName("name")->AsString(), "two");
    EXPECT_FALSE(rows->CanModify());
    EXPECT_EQ(database->GetDataSetCount(), 1) << "the result set holds the database while it is open";
    result.reset();
    EXPECT_EQ(database->GetDataSetCount(), 0);
    EXPECT_TRUE(table->DBFlags().Empty());
}

TEST_F(ProviderTest, AStatementWithoutResultAnswersTheRowsChanged) {
    EXPECT_EQ(table->PSExecuteStatement("update t set name = 'x'", nullptr), 2);
    EXPECT_EQ(Column("select name from t"), (std::vector<std::string>{"x", "x"}));
    EXPECT_TRUE(table->DBFlags().Empty());
    EXPECT_EQ(database->GetDataSetCount(), 0);
}

TEST_F(ProviderTest, TheSimpleAnswers) {
    EXPECT_TRUE(table->PSIsSQLSupported());
    EXPECT_TRUE(table->PSIsSQLBased());
    EXPECT_TRUE(table->DBFlags().Empty()) << "the provider flag is given back";
    EXPECT_EQ(table->PSGetQuoteChar(), "\"");
    table->Open();
    EXPECT_NO_THROW(table->PSReset());
}

TEST_F(ProviderTest, EngineErrorsBecomeUpdateErrorsWithTheirCode) {
    const EmSQLDatabaseError error(nullptr, DBIERR_EOF);
    host::EUpdateError previous("before", "", 77, 0, nullptr);
    auto update = table->PSGetUpdateException(error, &previous);
    ASSERT_NE(update, nullptr);
    EXPECT_EQ(update->Message(), error.Message());
    EXPECT_EQ(update->ErrorCode(), DBIERR_EOF);
    EXPECT_EQ(update->PreviousError(), 77);
    auto* original = dynamic_cast<EmSQLDatabaseError*>(update->OriginalException());
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(original->ErrorCode(), DBIERR_EOF);
    EXPECT_EQ(table->PSGetUpdateException(host::EDatabaseError("other"), nullptr)->Message(), "other");
}

#endif

} // namespace
} // namespace corvane::test
