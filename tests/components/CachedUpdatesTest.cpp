// The cached-update interface (which defers nothing), the update buffer pair across switches and
// reopens, the constraint switches and the constraint descriptions of the dataset core.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "QueryFixture.h"
#include "host/Messages.h"

namespace corvane::test {
namespace {

// A table that shows its update buffer pair and layout.
class PairTable : public TestTable {
public:
    using TestTable::TestTable;
    using TmSQLDataSet::fRecBufSize;
    using TmSQLDataSet::fRecordSize;
    using TmSQLDataSet::fUpdateBuffers;
};

class CachedTest : public QueryTest {
protected:
    void SetUp() override {
        QueryTest::SetUp();
        CreateNumbers();
    }
    void TearDown() override {
        pairTables.clear();
        QueryTest::TearDown();
    }

    PairTable* NewPairTable(const std::string& name) {
        pairTables.push_back(std::make_unique<PairTable>(nullptr, name));
        pairTables.back()->SetDatabase(database);
        return pairTables.back().get();
    }

    std::vector<std::string> ServerNames() { return Column("select name, id from t order by id"); }

    std::vector<std::unique_ptr<PairTable>> pairTables;
};

TEST_F(CachedTest, EditsReachTheServerWhenPostedAndNothingIsEverPending) {
    TestTable* table = NewTable("t");
    table->Open();
    table->Next();
    table->SetCachedUpdates(true);
    EXPECT_TRUE(table->CachedUpdates());
    EXPECT_EQ(table->State(), host::dsBrowse);
    EXPECT_EQ(table->FieldByName("name")->AsString(), "two") << "the switch keeps the current row";

    table->Edit();
    table->FieldByName("name")->SetAsString("TWO");
    table->Post();
    EXPECT_EQ(ServerNames(), (std::vector<std::string>{"one", "TWO", "three"}));
    EXPECT_FALSE(table->GetUpdatesPending());
    EXPECT_TRUE(table->GetUpdateRecordSet().Empty());
    EXPECT_EQ(table->UpdateStatus(), host::usUnmodified);

    // Applying posts an edit in progress; cancelling drops only an edit in progress.
    table->Edit();
    table->FieldByName("name")->SetAsString("Two");
    table->ApplyUpdates();
    EXPECT_EQ(table->State(), host::dsBrowse);
    EXPECT_EQ(ServerNames(), (std::vector<std::string>{"one", "Two", "three"}));
    table->CancelUpdates();
    EXPECT_EQ(ServerNames(), (std::vector<std::string>{"one", "Two", "three"})) << "posted edits stay";
    table->Edit();
    table->FieldByName("name")->SetAsString("dropped");
    table->CancelUpdates();
    EXPECT_EQ(table->State(), host::dsBrowse);
    EXPECT_EQ(table->FieldByName("name")->AsString(), "Two");
    table->Edit();
    table->FieldByName("name")->SetAsString("dropped");
    table->RevertRecord();
    EXPECT_EQ(table->FieldByName("name")->AsString(), "Two");
    table->CommitUpdates();
    table->SetUpdateRecordSet({rtModified, rtInserted});
    EXPECT_EQ(ServerNames(), (std::vector<std::string>{"one", "Two", "three"}));

    table->SetCachedUpdates(false);
    EXPECT_FALSE(table->CachedUpdates());
    EXPECT_EQ(table->FieldByName("name")->AsString(), "Two");
    EXPECT_EQ(table->RecordCount(), 3);
}

TEST_F(CachedTest, AClosedDataSetOnlyTakesTheSwitch) {
    TestTable* table = NewTable("t");
    table->SetCachedUpdates(true);
    EXPECT_TRUE(table->CachedUpdates());
    EXPECT_FALSE(table->GetUpdatesPending());
    EXPECT_TRUE(table->GetUpdateRecordSet().Empty());
    EXPECT_EQ(ExpectHostError([&] { table->CommitUpdates(); }), host::SDataSetClosed);
    EXPECT_EQ(ExpectHostError([&] { table->SetUpdateRecordSet({rtDeleted}); }), host::SDataSetClosed);
    EXPECT_EQ(ExpectHostError([&] { table->CancelUpdates(); }), host::SDataSetClosed);
    EXPECT_EQ(ExpectHostError([&] { table->RevertRecord(); }), host::SDataSetClosed);
    table->Open();
    EXPECT_TRUE(table->CachedUpdates());
}

TEST_F(CachedTest, TheUpdateBufferPairFollowsTheSwitchAndIsRebuiltAtEveryOpen) {
    PairTable* table = NewPairTable("t");
    table->SetCachedUpdates(true);
    table->Open();
    ASSERT_NE(table->fUpdateBuffers, nullptr);
    EXPECT_EQ(table->fUpdateBuffers->recordSize, table->fRecordSize);
    table->SetCachedUpdates(false);
    EXPECT_EQ(table->fUpdateBuffers, nullptr);
    table->SetCachedUpdates(true);
    ASSERT_NE(table->fUpdateBuffers, nullptr);
    const uint16_t narrow = table->fRecordSize;
    table->Close();
    EXPECT_EQ(table->fUpdateBuffers, nullptr);

    // The table grows while the dataset is closed: the reopened dataset gets a pair of its new size.
    Exec("drop table t");
    Exec("create table t (id int, name char(20), note char(200))");
    Exec("insert into t values (1, 'one', 'a long note')");
    table->Open();
    ASSERT_NE(table->fUpdateBuffers, nullptr);
    EXPECT_GT(table->fRecordSize, narrow);
    EXPECT_EQ(table->fUpdateBuffers->recordSize, table->fRecordSize);

    // Old values read through the pair are whole rows of the new layout.
    table->Edit();
    table->FieldByName("note")->SetAsString("changed");
    EXPECT_EQ(table->FieldByName("note")->OldValue().AsString(), "a long note");
    EXPECT_EQ(table->FieldByName("name")->OldValue().AsString(), "one");
    table->Post();
    EXPECT_EQ(Column("select note from t"), std::vector<std::string>{"changed"});
}

TEST_F(CachedTest, ConstraintSwitchesAreCounted) {
    TestTable* table = NewTable("t");
    EXPECT_FALSE(table->ConstraintsDisabled());
    table->EnableConstraints();
    EXPECT_FALSE(table->ConstraintsDisabled()) << "an Enable without a Disable does nothing";
    table->Open();
    table->DisableConstraints();
    table->DisableConstraints();
    table->EnableConstraints();
    EXPECT_TRUE(table->ConstraintsDisabled());
    table->EnableConstraints();
    EXPECT_FALSE(table->ConstraintsDisabled());
    table->EnableConstraints();
    EXPECT_FALSE(table->ConstraintsDisabled());
    table->DisableConstraints();
    EXPECT_TRUE(table->ConstraintsDisabled());
}

TEST_F(CachedTest, ConstraintDescriptionsAnswerFromFieldsAndConstraints) {
    TestTable* table = NewTable("t");
    table->Open();
    host::TField* id = table->FieldByName("id");
    id->SetOrigin("test.t.id");
    id->SetDefaultExpression("0");
    id->SetCustomConstraint("id > 0");
    id->SetImportedConstraint("id < 1000");
    id->SetConstraintErrorMessage("id out of range");
    host::TCheckConstraint* check = table->Constraints()->Add();
    check->SetCustomConstraint("name <> ''");
    check->SetImportedConstraint("id <> 13");
    check->SetErrorMessage("bad row");

    host::DataSources sources{};
    host::CopyToSlot(sources.szSourceFldName, "id");
    EXPECT_EQ(table->ConstraintCallBack(host::dsFieldSource, sources), DBIERR_NONE);
    EXPECT_EQ(host::SlotText(sources.szDbName), "test");
    EXPECT_EQ(host::SlotText(sources.szTblName), "t");
    EXPECT_EQ(host::SlotText(sources.szOrigFldName), "id");
    EXPECT_EQ(table->ConstraintCallBack(host::dsFieldDefault, sources), DBIERR_NONE);
    EXPECT_EQ(host::SlotText(sources.szSQLExprImport), "0");
    EXPECT_EQ(table->ConstraintCallBack(host::dsFieldDomainExpr, sources), DBIERR_NONE);
    EXPECT_EQ(host::SlotText(sources.szSQLExprImport), "id < 1000");
    EXPECT_EQ(host::SlotText(sources.szSQLExprCustom), "id > 0");
    EXPECT_EQ(host::SlotText(sources.szErrStrImport), "id out of range");
    EXPECT_EQ(host::SlotText(sources.szErrStrCustom), "id out of range");
    EXPECT_EQ(static_cast<int>(sources.bRequired), 0);

    EXPECT_EQ(table->ConstraintCallBack(host::dsNumTblConstraint, sources), DBIERR_NONE);
    EXPECT_EQ(static_cast<int>(sources.iNumElem), 1);
    EXPECT_EQ(table->ConstraintCallBack(host::dsTableConstraint, sources), DBIERR_NONE);
    EXPECT_EQ(host::SlotText(sources.szSQLExprImport), "id <> 13");
    EXPECT_EQ(host::SlotText(sources.szSQLExprCustom), "name <> ''");
    EXPECT_EQ(host::SlotText(sources.szErrStrCustom), "bad row");
    sources.iNumElem = 2;
    EXPECT_EQ(table->ConstraintCallBack(host::dsTableConstraint, sources), 10756);

    // Nothing to report, unknown fields and other requests are not applicable.
    host::CopyToSlot(sources.szSourceFldName, "name");
    EXPECT_EQ(table->ConstraintCallBack(host::dsFieldSource, sources), 10756);
    EXPECT_EQ(table->ConstraintCallBack(host::dsFieldDefault, sources), 10756);
    EXPECT_EQ(table->ConstraintCallBack(host::dsFieldDomainExpr, sources), 10756);
    table->FieldByName("name")->SetRequired(true);
    EXPECT_EQ(table->ConstraintCallBack(host::dsFieldDomainExpr, sources), DBIERR_NONE);
    EXPECT_EQ(static_cast<int>(sources.bRequired), -1);
    EXPECT_EQ(host::SlotText(sources.szSQLExprCustom), "");
    host::CopyToSlot(sources.szSourceFldName, "nosuch");
    EXPECT_EQ(table->ConstraintCallBack(host::dsFieldDomainExpr, sources), 10756);
    EXPECT_EQ(table->ConstraintCallBack(static_cast<host::DsInfoReq>(1), sources), 10756);
}

} // namespace
} // namespace corvane::test
