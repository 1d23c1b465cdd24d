// Editing through the dataset core on a real cursor: round trips seen by a second connection, failed
// posts, old values, bookmarks, the host event order and read-only fields.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DataSetFixture.h"
#include "host/Messages.h"
#include "host/SysUtils.h"

namespace corvane::test {
namespace {

class EditTest : public DataSetTest {
protected:
    void SetUp() override {
        DataSetTest::SetUp();
        Exec("create table t (id int, name char(20))");
        Exec("create unique index tid on t (id)");
        Exec("insert into t values (1, 'one')");
        Exec("insert into t values (2, 'two')");
        Exec("insert into t values (3, 'three')");
        table = NewTable("t");
        table->Open();
    }

    // The names on the server, read through the administrative connection.
    std::vector<std::string> ServerNames() { return Column("select name, id from t order by id"); }

    TestTable* table = nullptr;
};

TEST_F(EditTest, EditsReachTheServerWhenPosted) {
    table->Next();
    table->Edit();
    EXPECT_EQ(table->State(), host::dsEdit);
    table->FieldByName("name")->SetAsString("TWO");
    EXPECT_EQ(ServerNames(), (std::vector<std::string>{"one", "two", "three"}));
    table->Post();
    EXPECT_EQ(table->State(), host::dsBrowse);
    EXPECT_EQ(ServerNames(), (std::vector<std::string>{"one", "TWO", "three"}));
    EXPECT_EQ(table->FieldByName("name")->AsString(), "TWO");

    table->Edit();
    table->FieldByName("name")->SetAsString("discarded");
    table->Cancel();
    EXPECT_EQ(table->FieldByName("name")->AsString(), "TWO");
    EXPECT_EQ(ServerNames(), (std::vector<std::string>{"one", "TWO", "three"}));

    // Setting a field to null writes NULL.
    table->Edit();
    table->FieldByName("name")->Clear();
    table->Post();
    EXPECT_EQ(Column("select name from t where id = 2"), std::vector<std::string>{"NULL"});
}

TEST_F(EditTest, InsertsAppendsAndDeletesReachTheServer) {
    table->Insert();
    table->FieldByName("id")->SetAsInteger(10);
    table->FieldByName("name")->SetAsString("ten");
    table->Post();
    table->Append();
    table->FieldByName("id")->SetAsInteger(11);
    table->FieldByName("name")->SetAsString("eleven");
    table->Post();
    EXPECT_EQ(table->FieldByName("name")->AsString(), "eleven");
    table->AppendRecord({host::Variant(12), host::Variant(std::string("twelve"))});
    EXPECT_EQ(ServerNames(), (std::vector<std::string>{"one", "two", "three", "ten", "eleven", "twelve"}));

    table->First();
    table->Delete();
    EXPECT_EQ(ServerNames(), (std::vector<std::string>{"two", "three", "ten", "eleven", "twelve"}));
    EXPECT_EQ(table->RecordCount(), 5);
}

TEST_F(EditTest, DeletingARowTheServerNoLongerHasRaisesNothing) {
    Exec("delete from t where id = 1");
    EXPECT_NO_THROW(table->Delete());
    EXPECT_EQ(ServerNames(), (std::vector<std::string>{"two", "three"}));
}

TEST_F(EditTest, AFailedPostKeepsTheEditAndTheUsersValues) {
    table->Next();
    table->Edit();
    table->FieldByName("id")->SetAsInteger(1); // taken by the first row
    table->FieldByName("name")->SetAsString("clash");
    const std::string message = ExpectDatabaseError(DBIERR_NATIVE, [&] { table->Post(); });
    EXPECT_EQ(message.rfind("mSQL Error : \r\n", 0), 0u) << message;
    EXPECT_EQ(table->State(), host::dsEdit);
    EXPECT_EQ(table->FieldByName("id")->AsInteger(), 1);
    EXPECT_EQ(table->FieldByName("name")->AsString(), "clash");
    EXPECT_EQ(ServerNames(), (std::vector<std::string>{"one", "two", "three"}));

    // Mended, the same edit posts.
    table->FieldByName("id")->SetAsInteger(20);
    table->Post();
    EXPECT_EQ(Column("select name from t where id = 20"), std::vector<std::string>{"clash"});
}

TEST_F(EditTest, OldValuesAreTheRowAsTheEditFoundIt) {
    host::TField* name = table->FieldByName("name");
    EXPECT_EQ(name->OldValue().AsString(), "one");
    table->Edit();
    name->SetAsString("uno");
    EXPECT_EQ(name->OldValue().AsString(), "one");
    EXPECT_EQ(name->NewValue().AsString(), "uno");
    EXPECT_EQ(name->OldValue().AsString(), "one") << "asked again";
    EXPECT_EQ(name->AsString(), "uno");
    table->Post();
    EXPECT_EQ(name->OldValue().AsString(), "uno");
    table->Edit();
    name->Clear();
    EXPECT_EQ(name->OldValue().AsString(), "uno");
    EXPECT_TRUE(name->NewValue().IsNull());
    table->Cancel();

    // A row being inserted has no old values.
    table->Last();
    table->Insert();
    name->SetAsString("new");
    EXPECT_TRUE(name->OldValue().IsNull());
    table->FieldByName("id")->SetAsInteger(4);
    table->Post();
    EXPECT_EQ(ServerNames(), (std::vector<std::string>{"uno", "two", "three", "new"}));
}

TEST_F(EditTest, BookmarksCompareValidateAndLeadBack) {
    const host::TBookmark first = table->GetBookmark();
    table->Next();
    const host::TBookmark second = table->GetBookmark();
    table->Last();
    const host::TBookmark last = table->GetBookmark();
    ASSERT_EQ(first.size(), 8u);
    EXPECT_EQ(table->CompareBookmarks(first, second), -1);
    EXPECT_EQ(table->CompareBookmarks(second, first), 1);
    EXPECT_EQ(table->CompareBookmarks(second, second), 0);
    EXPECT_EQ(table->CompareBookmarks({}, {}), 0);
    EXPECT_EQ(table->CompareBookmarks(first, {}), -1);
    EXPECT_EQ(table->CompareBookmarks({}, first), 1);
    EXPECT_THROW(table->CompareBookmarks(first, host::TBookmark{1, 2}), EmSQLDatabaseError);

    EXPECT_TRUE(table->BookmarkValid(second));
    EXPECT_FALSE(table->BookmarkValid({}));
    table->GotoBookmark(second);
    EXPECT_EQ(table->FieldByName("name")->AsString(), "two");

    // The last row deleted, its bookmark leads nowhere; the others stay valid.
    table->Last();
    table->Delete();
    EXPECT_FALSE(table->BookmarkValid(last));
    EXPECT_TRUE(table->BookmarkValid(first));
    EXPECT_THROW(table->GotoBookmark(last), host::EDatabaseError);

    table->Refresh();
    table->GotoBookmark(first);
    EXPECT_EQ(table->FieldByName("name")->AsString(), "one");
}

TEST_F(EditTest, TheHostEventsComeInTheirOrder) {
    table->Close();
    std::vector<std::string> log;
    LogEvents(*table, log);
    table->Open();
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeOpen", "AfterOpen", "AfterScroll"}));
    log.clear();
    table->Next();
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeScroll", "AfterScroll"}));
    log.clear();
    table->Edit();
    table->FieldByName("name")->SetAsString("2");
    table->Post();
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeEdit", "AfterEdit", "BeforePost", "AfterPost"}));
    log.clear();
    table->Delete();
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeDelete", "BeforeScroll", "AfterDelete", "AfterScroll"}));
    log.clear();
    table->Insert();
    table->Cancel();
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeInsert", "BeforeScroll", "AfterInsert", "AfterScroll",
                                             "BeforeCancel", "AfterCancel"}));
    log.clear();
    table->Close();
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeClose", "AfterClose"}));
}

TEST_F(EditTest, FieldsCannotBeWrittenOutsideAnEditOrWhenReadOnly) {
    host::TField* name = table->FieldByName("name");
    EXPECT_EQ(ExpectHostError([&] { name->SetAsString("x"); }), host::SNotEditing);
    name->SetReadOnly(true);
    table->Edit();
    EXPECT_EQ(ExpectHostError([&] { name->SetAsString("x"); }), host::Format(host::SFieldReadOnly, "name"));
    table->Cancel();
    EXPECT_EQ(name->AsString(), "one");
}

TEST_F(EditTest, AReadOnlyCursorGivesAReadOnlyDataSet) {
    hDBICur cursor = nullptr;
    database->Execute("select id, name from t", nullptr, false, &cursor);
    TmSQLDataSet result(nullptr);
    result.SetDatabase(database);
    result.SetHandle(cursor);
    ASSERT_TRUE(result.Active());
    EXPECT_FALSE(result.CanModify());
    EXPECT_EQ(ExpectHostError([&] { result.Edit(); }), host::SDataSetReadOnly);
    EXPECT_EQ(Values(result, "name"), (std::vector<std::string>{"one", "two", "three"}));
    result.Close();
    EXPECT_EQ(result.Handle(), nullptr);
}

TEST_F(EditTest, UpdateModeAndAutoRefreshAreKept) {
    table->SetUpdateMode(host::upWhereKeyOnly);
    EXPECT_EQ(table->UpdateMode(), host::upWhereKeyOnly);
    EXPECT_EQ(ExpectHostError([&] { table->SetAutoRefresh(true); }), host::SDataSetOpen);
    table->Close();
    table->SetAutoRefresh(true);
    table->Open();
    EXPECT_TRUE(table->AutoRefresh());
    EXPECT_EQ(table->UpdateMode(), host::upWhereKeyOnly);
}

} // namespace
} // namespace corvane::test
