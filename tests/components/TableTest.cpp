// The table component: opening by index name and field list, switching indexes, index and field
// definitions of a closed table, existence, table maintenance seen from another connection, moving to
// another table's row, and streaming.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TableFixture.h"
#include "host/Forms.h"
#include "host/Messages.h"
#include "host/Streaming.h"

namespace corvane::test {
namespace {

TEST_F(TableTest, OpensInTheOrderOfTheIndexChosenByNameOrByFields) {
    CreatePeople();
    TmSQLTable* table = NewTmTable("people");
    table->SetIndexName("by_name");
    table->Open();
    EXPECT_EQ(Values(*table, "name"),
              (std::vector<std::string>{"Brown", "O'Neil", "Smith", "back\\slash", "jones"}));
    table->Close();

    table->SetIndexFieldNames("city;name");
    EXPECT_EQ(table->IndexName(), "") << "one choice: the field list replaces the name";
    EXPECT_EQ(table->IndexFieldNames(), "city;name");
    table->Open();
    EXPECT_EQ(Values(*table, "id"), (std::vector<std::string>{"4", "2", "3", "1", "5"}));
    table->SetIndexName("by_id");
    EXPECT_EQ(table->IndexFieldNames(), "");
    EXPECT_EQ(Values(*table, "id"), (std::vector<std::string>{"1", "2", "3", "4", "5"}));
    EXPECT_EQ(table->RecordCount(), 5);
    EXPECT_TRUE(table->CanModify());
    EXPECT_FALSE(table->IsSequenced());
}

TEST_F(TableTest, SwitchingTheIndexWhileOpenReordersAndKeysOnTheNewIndex) {
    CreatePeople();
    TmSQLTable* table = NewTmTable("people");
    table->Open();
    // In the natural order the cursor keys on the first index the server lists.
    ASSERT_EQ(table->IndexFieldCount(), 2);
    EXPECT_EQ(table->IndexFields(0)->FieldName(), "city");
    EXPECT_EQ(table->IndexFields(1)->FieldName(), "name");

    table->SetIndexFieldNames("born");
    EXPECT_EQ(Values(*table, "id"), (std::vector<std::string>{"2", "1", "4", "3", "5"}));
    ASSERT_EQ(table->IndexFieldCount(), 1);
    EXPECT_EQ(table->IndexFields(0)->FieldName(), "born");
    EXPECT_TRUE(table->FieldByName("born")->IsIndexField());
    EXPECT_FALSE(table->FieldByName("city")->IsIndexField());

    table->SetIndexName("by_name");
    EXPECT_EQ(table->IndexFields(0)->FieldName(), "name");
    EXPECT_TRUE(table->FindKey({host::Variant("Smith")}));
    EXPECT_EQ(table->FieldByName("id")->AsInteger(), 1);

    // A name no index bears and a field list no index covers are refused; the index stays.
    ExpectDatabaseError(DBIERR_NOSUCHINDEX, [&] { table->SetIndexName("By_Name"); });
    const std::string message = ExpectHostError([&] { table->SetIndexFieldNames("pay"); });
    EXPECT_EQ(message, host::Format(host::SNoIndexForFields, "pay"));
    EXPECT_EQ(table->IndexName(), "by_name");
    EXPECT_EQ(table->IndexFields(0)->FieldName(), "name");
}

TEST_F(TableTest, AClosedTableDescribesItsFieldsAndIndexes) {
    CreatePeople();
    TmSQLTable* table = NewTmTable("people");
    host::TStringList names;
    names.Add("stale");
    table->GetIndexNames(&names);
    EXPECT_EQ(names.Count(), 4);
    EXPECT_EQ(names.Strings(0), "by_city");
    EXPECT_FALSE(table->Active());

    host::TIndexDefs* defs = table->IndexDefs();
    ASSERT_EQ(defs->Count(), 4);
    EXPECT_EQ(defs->Find("by_city")->Fields(), "city;name");
    EXPECT_TRUE(defs->Find("by_id")->Options().Contains(host::ixUnique));
    EXPECT_FALSE(defs->Find("by_name")->Options().Contains(host::ixUnique));
    EXPECT_EQ(defs->FindIndexForFields("born")->Name(), "by_born");

    host::TFieldDefs* fields = table->FieldDefs();
    ASSERT_EQ(fields->Count(), 6);
    EXPECT_EQ(fields->Items(1)->Name(), "name");
    EXPECT_EQ(fields->Items(1)->DataType(), host::ftString);
    EXPECT_EQ(fields->Items(1)->Size(), 20);
    EXPECT_EQ(fields->Items(3)->DataType(), host::ftDate);
    EXPECT_EQ(fields->Items(4)->DataType(), host::ftCurrency);
    EXPECT_EQ(database->GetDataSetCount(), 0) << "the definitions were read without opening the table";
    EXPECT_TRUE(table->DBFlags().Empty());
}

TEST_F(TableTest, ExistenceOfMissingClosedAndOpenTables) {
    CreatePeople();
    TmSQLTable* missing = NewTmTable("nosuchtable");
    EXPECT_FALSE(missing->Exists());
    EXPECT_TRUE(missing->DBFlags().Empty());
    EXPECT_FALSE(NewTmTable("People")->Exists()) << "table names are case-sensitive";
    TmSQLTable* people = NewTmTable("people");
    EXPECT_TRUE(people->Exists());
    people->Open();
    EXPECT_TRUE(people->Exists());
    EXPECT_FALSE(NewTmTable("")->Exists());

    const std::string message = ExpectHostError([&] { NewTmTable("")->Open(); });
    EXPECT_EQ(message, host::SNoTableName);
}

TEST_F(TableTest, MaintenanceChangesTheServerAsSeenThroughASecondConnection) {
    CreatePeople();
    // The administrative socket is a connection of its own.
    auto serverIndexes = [&] {
        std::vector<std::string> result;
        m_result* listing = msqlListFields(fAdmin, "people");
        if (!listing) return result;
        while (m_field* field = msqlFetchField(listing))
            if (field->type == IDX_TYPE) result.emplace_back(field->name);
        msqlFreeResult(listing);
        return result;
    };

    // A closed table needs only its name.
    TmSQLTable* table = NewTmTable("people");
    table->AddIndex("by_pay", "pay", {});
    EXPECT_EQ(serverIndexes(),
              (std::vector<std::string>{"by_city", "by_id", "by_name", "by_born", "by_pay"}));
    EXPECT_TRUE(table->DBFlags().Empty());

    // An open table: its own definitions and keys follow.
    table->SetIndexName("by_pay");
    table->Open();
    EXPECT_EQ(Values(*table, "id"), (std::vector<std::string>{"5", "4", "1", "3", "2"}));
    table->AddIndex("by_city_id", "city;id", {host::ixUnique});
    EXPECT_FALSE(table->IndexDefs()->Updated()) << "the definitions are read again when next needed";
    table->IndexDefs()->Update();
    EXPECT_NE(table->IndexDefs()->IndexOf("by_city_id"), -1);
    table->DeleteIndex("by_city");
    EXPECT_EQ(serverIndexes(),
              (std::vector<std::string>{"by_city_id", "by_id", "by_name", "by_born", "by_pay"}));
    table->IndexDefs()->Update();
    EXPECT_EQ(table->IndexDefs()->IndexOf("by_city"), -1);
    EXPECT_EQ(table->IndexFields(0)->FieldName(), "pay") << "the order in force is kept";

    // Dropping the index in force brings the natural order and the first index's keys.
    table->DeleteIndex("by_pay");
    EXPECT_EQ(table->IndexFieldCount(), 2);
    EXPECT_EQ(table->IndexFields(0)->FieldName(), "city");
    EXPECT_EQ(table->IndexFields(1)->FieldName(), "id");
    EXPECT_EQ(table->RecordCount(), 5);

    // mSQL builds no descending index; the refusal changes nothing.
    ExpectDatabaseError(DBIERR_NOTSUPPORTED,
                        [&] { table->AddIndex("by_id_down", "id", {host::ixDescending}); });
    EXPECT_EQ(serverIndexes().size(), 4u);

    table->EmptyTable();
    EXPECT_TRUE(table->IsEmpty());
    EXPECT_TRUE(table->Eof());
    EXPECT_TRUE(Column("select id from people").empty());
    table->Close();
    Exec("insert into people values (6, 'Late', 'Oslo', '01-Jan-2000', 1.00, 'x')");
    table->EmptyTable();
    EXPECT_TRUE(Column("select id from people").empty());
}

TEST_F(TableTest, GotoCurrentFindsTheOtherTablesRow) {
    CreatePeople();
    TmSQLTable* byName = NewTmTable("people");
    byName->SetIndexName("by_name");
    byName->Open();
    TmSQLTable* byId = NewTmTable("people");
    byId->SetIndexName("by_id");
    byId->Open();
    byId->Last();
    byName->GotoCurrent(byId);
    EXPECT_EQ(byName->FieldByName("id")->AsInteger(), 5);
    byName->Next();
    EXPECT_EQ(byName->FieldByName("name")->AsString(), "jones") << "the cursor stands on that row";

    Exec("create table other (id int)");
    TmSQLTable* other = NewTmTable("other");
    other->Open();
    const std::string message = ExpectHostError([&] { byName->GotoCurrent(other); });
    EXPECT_NE(message.find(host::STableMismatch), std::string::npos) << message;
}

TEST_F(TableTest, OpenModeShareModeAndNameChangeOnlyWhileClosed) {
    CreatePeople();
    TmSQLTable* table = NewTmTable("people");
    table->SetReadOnly(true);
    table->SetExclusive(true);
    table->Open();
    EXPECT_FALSE(table->CanModify());
    EXPECT_THROW(table->Edit(), host::EDatabaseError);
    EXPECT_THROW(table->SetReadOnly(false), host::EDatabaseError);
    EXPECT_THROW(table->SetExclusive(false), host::EDatabaseError);
    EXPECT_THROW(table->SetTableName("other"), host::EDatabaseError);
    table->SetTableName("people"); // unchanged: nothing to refuse
    EXPECT_NO_THROW(table->LockTable(ltWriteLock));
    EXPECT_EQ(table->TableLevel(), 0);
    EXPECT_EQ(table->GetFileName(), "people");
    table->Close();
    EXPECT_THROW(table->LockTable(ltReadLock), host::EDatabaseError);
    table->SetReadOnly(false);
    table->Open();
    EXPECT_TRUE(table->CanModify());
}

// ---- Streaming

class StreamedTableTest : public ComponentsTest {};

TEST_F(StreamedTableTest, ATableIsWrittenAndReadBackWithItsIndexAndMasterSettings) {
    Exec("create table cities (city char(20))");
    Exec("insert into cities values ('Oslo')");
    Exec("create table people (id int, name char(20), city char(20))");
    Exec("insert into people values (1, 'Smith', 'Oslo')");
    Exec("insert into people values (2, 'jones', 'Bergen')");
    Exec("create index by_city on people (city, name)");
    Exec("create unique index by_id on people (id)");

    std::string text;
    {
        host::TForm form(nullptr);
        form.SetName("Form1");
        auto* db = new TmSQLDatabase(&form);
        db->SetName("Db");
        db->SetDatabaseName("test");
        auto* master = new TmSQLTable(&form);
        master->SetName("Cities");
        master->SetDatabase(db);
        master->SetTableName("cities");
        auto* source = new host::TDataSource(&form);
        source->SetName("CitySource");
        source->SetDataSet(master);
        auto* detail = new TmSQLTable(&form);
        detail->SetName("People");
        detail->SetDatabase(db);
        detail->SetTableName("people");
        detail->SetIndexName("by_city");
        detail->SetMasterSource(source);
        detail->SetMasterFields("city");
        detail->SetReadOnly(true);
        detail->SetStoreDefs(true);
        detail->IndexDefs()->Update();
        detail->SetActive(true);
        master->SetActive(true);
        text = host::WriteComponentToText(&form);
    }
    EXPECT_NE(text.find("IndexName = 'by_city'"), std::string::npos) << text;
    EXPECT_NE(text.find("MasterSource = CitySource"), std::string::npos) << text;
    EXPECT_NE(text.find("IndexDefs = <"), std::string::npos) << text;
    EXPECT_EQ(text.find("DefaultIndex"), std::string::npos) << "defaults are not written";

    host::TForm form(nullptr);
    host::ReadComponentFromText(text, &form);
    auto* detail = dynamic_cast<TmSQLTable*>(form.FindComponent("People"));
    auto* master = dynamic_cast<TmSQLTable*>(form.FindComponent("Cities"));
    ASSERT_NE(detail, nullptr);
    ASSERT_NE(master, nullptr);
    EXPECT_EQ(detail->TableName(), "people");
    EXPECT_EQ(detail->IndexName(), "by_city");
    EXPECT_EQ(detail->MasterFields(), "city");
    EXPECT_EQ(detail->MasterSource(), form.FindComponent("CitySource"));
    EXPECT_EQ(detail->Database(), form.FindComponent("Db"));
    EXPECT_TRUE(detail->ReadOnly());
    EXPECT_EQ(detail->IndexDefs()->Count(), 2);
    ASSERT_TRUE(detail->Active());
    ASSERT_TRUE(master->Active());
    EXPECT_EQ(detail->RecordCount(), 1) << "the detail follows its master from the start";
    EXPECT_EQ(detail->FieldByName("name")->AsString(), "Smith");
}

} // namespace
} // namespace corvane::test
