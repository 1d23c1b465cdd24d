// Master/detail linking of table components: a detail on an index or on a field list follows its
// master's scrolling and edits, shows no rows for a null master value, fills new rows from the master,
// and refuses a circular link.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TableFixture.h"
#include "host/Messages.h"

namespace corvane::test {
namespace {

class MasterDetailTest : public TableTest {
protected:
    void SetUp() override {
        TableTest::SetUp();
        CreatePeople();
        Exec("create table cities (city char(20), country char(10))");
        Exec("insert into cities values ('Bergen', 'NO')");
        Exec("insert into cities values ('Oslo', 'NO')");
        Exec("insert into cities values ('Paris', 'FR')");
        Exec("create unique index by_city on cities (city)");
        master = NewTmTable("cities");
        master->SetIndexName("by_city");
        detail = NewTmTable("people");
    }
    // Links the detail to the master by fields and opens both.
    void Link(const std::string& masterFields) {
        detail->SetMasterSource(NewSource(master));
        detail->SetMasterFields(masterFields);
        master->Open();
        detail->Open();
    }
    // The names of the detail rows.
    std::vector<std::string> Names() { return Values(*detail, "name"); }

    TmSQLTable* master = nullptr;
    TmSQLTable* detail = nullptr;
};

using Texts = std::vector<std::string>;

TEST_F(MasterDetailTest, ADetailOnAnIndexFollowsTheMastersScrollAndEdits) {
    detail->SetIndexName("by_city");
    Link("city");
    EXPECT_EQ(Names(), (Texts{"O'Neil", "jones"}));
    master->Next();
    EXPECT_EQ(Names(), (Texts{"Brown", "Smith"}));
    master->Next();
    EXPECT_TRUE(Names().empty());
    master->First();
    EXPECT_EQ(Names(), (Texts{"O'Neil", "jones"}));

    // Editing the master's link field re-queries the detail at once.
    master->Edit();
    master->FieldByName("city")->SetAsString("Trondheim");
    EXPECT_EQ(Names(), (Texts{"back\\slash"}));
    master->Cancel();
    EXPECT_EQ(Names(), (Texts{"O'Neil", "jones"}));
    // A change of another master field does not re-query.
    master->Edit();
    master->FieldByName("country")->SetAsString("XX");
    EXPECT_EQ(Names(), (Texts{"O'Neil", "jones"}));
    master->Cancel();

    // Closing the master lifts the range.
    master->Close();
    EXPECT_EQ(detail->RecordCount(), 5);
}

TEST_F(MasterDetailTest, ADetailOnAFieldListFollowsAndAnIndexSwitchKeepsTheLink) {
    detail->SetIndexFieldNames("city");
    Link("city");
    EXPECT_EQ(detail->IndexName(), "");
    EXPECT_EQ(detail->RecordCount(), 2);
    master->Next();
    EXPECT_EQ(Values(*detail, "id"), (std::vector<std::string>{"3", "1"}));
    // Another index with the same leading field: the master's range applies to it at once.
    detail->SetIndexName("by_city");
    EXPECT_EQ(Values(*detail, "id"), (std::vector<std::string>{"3", "1"}));

    std::vector<host::TField*> masterFields;
    std::vector<host::TField*> detailFields;
    static_cast<TmSQLTable*>(detail)->GetDetailLinkFields(masterFields, detailFields);
    ASSERT_EQ(masterFields.size(), 1u);
    EXPECT_EQ(masterFields[0], master->FieldByName("city"));
    ASSERT_EQ(detailFields.size(), 2u);
    EXPECT_EQ(detailFields[0]->FieldName(), "city");
    EXPECT_EQ(detailFields[1]->FieldName(), "name");
}

TEST_F(MasterDetailTest, ANullMasterValueSelectsNoDetailRowsAndNewRowsTakeTheMastersValues) {
    detail->SetIndexName("by_city");
    Link("city");
    master->Append();
    EXPECT_TRUE(detail->IsEmpty()) << "a new master row has no details";
    master->Cancel();
    master->First();
    EXPECT_EQ(detail->RecordCount(), 2);

    detail->Insert();
    EXPECT_EQ(detail->FieldByName("city")->AsString(), "Bergen");
    detail->FieldByName("id")->SetAsInteger(9);
    detail->FieldByName("name")->SetAsString("Nils");
    detail->FieldByName("born")->SetAsDateTime(host::EncodeDate(2001, 2, 3));
    detail->Post();
    EXPECT_EQ(Names(), (Texts{"Nils", "O'Neil", "jones"}));
    EXPECT_EQ(Column("select city from people where id = 9"), (std::vector<std::string>{"Bergen"}));

    Exec("delete from cities");
    master->Close();
    master->Open();
    EXPECT_TRUE(master->IsEmpty());
    EXPECT_TRUE(detail->IsEmpty()) << "an empty master has no details";
}

TEST_F(MasterDetailTest, AMasterSourceLeadingBackToTheTableIsRefused) {
    host::TDataSource* own = NewSource(detail);
    const std::string message = ExpectHostError([&] { detail->SetMasterSource(own); });
    EXPECT_NE(message.find(host::SCircularDataLink), std::string::npos) << message;
    EXPECT_EQ(detail->MasterSource(), nullptr);
    EXPECT_EQ(detail->DataSource(), nullptr);
    detail->SetMasterSource(NewSource(master));
    EXPECT_EQ(detail->DataSource(), detail->MasterSource());
}

} // namespace
} // namespace corvane::test
