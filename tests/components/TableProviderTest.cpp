// The provider operations of the table component (current host generation only).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TableFixture.h"
#include "host/Params.h"

namespace corvane::test {
namespace {

#if CORVANE_HOST_GENERATION >= 5

class TableProviderTest : public TableTest {
protected:
    void SetUp() override {
        TableTest::SetUp();
        CreatePeople();
        table = NewTmTable("people");
    }
    TmSQLTable* table = nullptr;
};

TEST_F(TableProviderTest, TheTableNameIsTheCommandText) {
    EXPECT_EQ(table->PSGetTableName(), "people");
    table->PSSetCommandText("");
    EXPECT_EQ(table->TableName(), "people") << "an empty text changes nothing";
    table->PSSetCommandText("cities");
    EXPECT_EQ(table->PSGetTableName(), "cities");
}

TEST_F(TableProviderTest, IndexDefinitionsDefaultOrderAndKeyFields) {
    std::unique_ptr<host::TIndexDefs> unique = table->PSGetIndexDefs({host::ixUnique});
    ASSERT_NE(unique, nullptr);
    ASSERT_EQ(unique->Count(), 1);
    EXPECT_EQ(unique->Items(0)->Name(), "by_id");
    EXPECT_EQ(table->PSGetIndexDefs({host::ixPrimary}), nullptr);

    table->SetIndexName("by_name");
    table->Open();
    std::unique_ptr<host::TIndexDef> order = table->PSGetDefaultOrder();
    ASSERT_NE(order, nullptr);
    EXPECT_EQ(order->Fields(), "name");
    table->SetIndexName("");
    order = table->PSGetDefaultOrder();
    ASSERT_NE(order, nullptr);
    EXPECT_EQ(order->Name(), "by_id") << "without a choice: the first unique index";

    EXPECT_EQ(table->PSGetKeyFields(), "id");
    table->Close();
    EXPECT_EQ(NewTmTable("nosuchtable")->PSGetKeyFields(), "");
}

TEST_F(TableProviderTest, ParametersBecomeARangeOnTheIndexFields) {
    table->SetIndexName("by_city");
    host::TParams params;
    params.CreateParam(host::ftString, "", host::ptInput)->SetAsString("Oslo");
    table->PSSetParams(&params);
    ASSERT_TRUE(table->Active());
    EXPECT_EQ(Values(*table, "id"), (std::vector<std::string>{"3", "1"}));

    host::TParams named;
    named.CreateParam(host::ftString, "city", host::ptInput)->SetAsString("Bergen");
    named.CreateParam(host::ftString, "name", host::ptInput)->SetAsString("jones");
    table->PSSetParams(&named);
    EXPECT_EQ(Values(*table, "id"), (std::vector<std::string>{"2"}));

    host::TParams none;
    table->PSSetParams(&none);
    EXPECT_EQ(table->RecordCount(), 5);
}

#endif

} // namespace
} // namespace corvane::test
