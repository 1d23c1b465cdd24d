// The dataset core on a real cursor: field definitions, values of every mSQL type through TField, the
// buffer layout, opening and closing, the database it holds, and record-event filters.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "DataSetFixture.h"
#include "host/DateTime.h"
#include "host/Messages.h"
#include "host/SysUtils.h"

namespace corvane::test {
namespace {

class TypesTest : public DataSetTest {
protected:
    void SetUp() override {
        DataSetTest::SetUp();
        Exec("create table types (i int, u uint, c char(10), r real, m money, d date, t time, x text(8))");
        Exec("insert into types values (-42, 3000000000, 'text', 2.5, 19.99, '29-Feb-2024', '13:45:30', "
             "'a memo longer than its in-row part')");
        Exec("insert into types values (NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)");
    }
};

TEST_F(TypesTest, FieldDefinitionsFollowTheColumns) {
    TestTable* table = NewTable("types");
    table->FieldDefs()->Update();
    host::TFieldDefs& defs = *table->FieldDefs();
    ASSERT_EQ(defs.Count(), 8);
    const host::TFieldType types[] = {host::ftInteger,  host::ftInteger, host::ftString, host::ftFloat,
                                      host::ftCurrency, host::ftDate,    host::ftTime,   host::ftMemo};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(defs[i]->DataType(), types[i]) << defs[i]->Name();
        EXPECT_EQ(defs[i]->FieldNo(), i + 1);
    }
    EXPECT_EQ(defs[2]->Size(), 10);
    EXPECT_EQ(defs[0]->Name(), "i");
    // Reading the definitions of a closed dataset leaves it closed and its database free.
    EXPECT_FALSE(table->Active());
    EXPECT_EQ(database->GetDataSetCount(), 0);
}

TEST_F(TypesTest, EveryTypeReadsThroughItsField) {
    TestTable* table = NewTable("types");
    table->Open();
    EXPECT_EQ(table->RecordCount(), 2);
    EXPECT_EQ(table->RecNo(), -1);
    EXPECT_EQ(table->FieldByName("i")->AsInteger(), -42);
    EXPECT_EQ(table->FieldByName("i")->AsString(), "-42");
    EXPECT_EQ(table->FieldByName("c")->AsString(), "text");
    EXPECT_DOUBLE_EQ(table->FieldByName("r")->AsFloat(), 2.5);
    EXPECT_DOUBLE_EQ(table->FieldByName("m")->AsFloat(), 19.99);
    EXPECT_DOUBLE_EQ(table->FieldByName("d")->AsDateTime(), host::EncodeDate(2024, 2, 29));
    EXPECT_NEAR(table->FieldByName("t")->AsDateTime(), host::EncodeTime(13, 45, 30, 0), 1e-9);
    EXPECT_EQ(table->FieldByName("x")->AsString(), "a memo longer than its in-row part");
    for (int i = 0; i < table->FieldCount(); ++i)
        EXPECT_FALSE(table->Fields()->Fields(i)->IsNull()) << table->Fields()->Fields(i)->FieldName();

    table->Next();
    EXPECT_FALSE(table->Eof());
    for (int i = 0; i < table->FieldCount(); ++i) {
        host::TField* field = table->Fields()->Fields(i);
        EXPECT_TRUE(field->IsNull()) << field->FieldName();
        EXPECT_EQ(field->AsString(), "") << field->FieldName();
    }
    table->Next();
    EXPECT_TRUE(table->Eof());
    table->Prior();
    table->Prior();
    EXPECT_EQ(table->FieldByName("c")->AsString(), "text");
}

TEST_F(TypesTest, TheRowBufferLayoutFollowsTheCursorAndTheFields) {
    TestTable* table = NewTable("types");
    table->Open();
    CURProps props{};
    ASSERT_EQ(database->Engine()->GetCursorProps(table->Handle(), props), DBIERR_NONE);
    const uint16_t recBufSize = props.iRecBufSize; // packed members are read by value
    EXPECT_EQ(table->fRecordSize, recBufSize);
    EXPECT_EQ(table->fBlobCacheOfs, recBufSize); // no calculated fields
    EXPECT_EQ(table->fRecInfoOfs, table->fBlobCacheOfs + 4);
    EXPECT_EQ(table->fBookmarkOfs, table->fRecInfoOfs + 6);
    EXPECT_EQ(table->fRecBufSize, table->fBookmarkOfs + 8);
    const TRecInfo info = table->GetRecInfo(table->ActiveBuffer());
    const int32_t recordNumber = info.RecordNumber;
    const uint8_t bookmarkFlag = info.BookmarkFlag;
    EXPECT_EQ(recordNumber, -1);
    EXPECT_EQ(bookmarkFlag, host::bfCurrent);
    EXPECT_TRUE(table->IsSequenced());
    EXPECT_TRUE(table->CanModify());
}

TEST_F(TypesTest, CalculatedFieldsLiveInTheRowBuffer) {
    TestTable* table = NewTable("types");
    table->FieldDefs()->Update();
    for (int i = 0; i < table->FieldDefs()->Count(); ++i)
        table->FieldDefs()->Items(i)->CreateField(table);
    auto* twice = new host::TIntegerField(table);
    twice->SetFieldName("twice");
    twice->SetFieldKind(host::fkCalculated);
    twice->SetDataSet(table);
    table->SetOnCalcFields([](host::TDataSet* dataSet) {
        host::TField* i = dataSet->FieldByName("i");
        if (!i->IsNull()) dataSet->FieldByName("twice")->SetAsInteger(i->AsInteger() * 2);
    });
    table->Open();
    EXPECT_EQ(table->FieldByName("twice")->AsInteger(), -84);
    EXPECT_EQ(table->fBlobCacheOfs, table->fRecordSize + twice->DataSize() + 1);
    table->Next();
    EXPECT_TRUE(table->FieldByName("twice")->IsNull());
    table->Close();
    delete twice;
}

TEST_F(DataSetTest, ARowBufferBeyondSixtyFourKilobytesIsRefused) {
    Exec("create table wide (a char(32000), b char(32000))");
    Exec("insert into wide values ('a', 'b')");
    TestTable* table = NewTable("wide");
    table->FieldDefs()->Update();
    for (int i = 0; i < table->FieldDefs()->Count(); ++i)
        table->FieldDefs()->Items(i)->CreateField(table);
    auto* note = new host::TStringField(table);
    note->SetFieldName("note");
    note->SetSize(2000);
    note->SetFieldKind(host::fkCalculated);
    note->SetDataSet(table);
    // The calculated field takes the buffer past what 16-bit offsets can address.
    ExpectDatabaseError(DBIERR_RECTOOBIG, [&] { table->Open(); });
    EXPECT_FALSE(table->Active());
    EXPECT_EQ(table->Handle(), nullptr);
    delete note;
    table->Open();
    EXPECT_EQ(table->FieldByName("b")->AsString(), "b");
}

TEST_F(DataSetTest, FieldDefinitionsFromDescriptors) {
    TestTable table;
    std::vector<FLDDesc> descs(8);
    auto describe = [&](int i, const char* name, uint16_t type, uint16_t subType, int16_t units1,
                        uint16_t len) {
        std::strcpy(descs[i].szName, name);
        descs[i].iFldNum = static_cast<uint16_t>(i + 1);
        descs[i].iFldType = type;
        descs[i].iSubType = subType;
        descs[i].iUnits1 = units1;
        descs[i].iLen = len;
    };
    describe(0, "id", host::fldINT32, 0, 4, 4);
    describe(1, "id", host::fldINT32, host::fldstAUTOINC, 4, 4);
    describe(2, "id", host::fldZSTRING, 0, 12, 12);
    describe(3, "small", host::fldINT16, 0, 1, 1);
    describe(4, "odd", host::fldINT16, 0, 3, 3);
    describe(5, "empty", host::fldZSTRING, 0, 0, 0);
    describe(6, "memo", host::fldBLOB, host::fldstMEMO, 4, 4);
    describe(7, "locked", host::fldFLOAT, host::fldstMONEY, 8, 8);
    descs[7].efldrRights = 1;
    std::vector<bool> required(9, false);
    required[2] = required[3] = required[4] = true;

    host::TFieldDefs& defs = *table.FieldDefs();
    size_t index = 0;
    int fieldId = 1;
    while (index < descs.size())
        table.AddFieldDesc(descs, index, fieldId, required, &defs);
    ASSERT_EQ(defs.Count(), 8);
    EXPECT_EQ(fieldId, 9);
    EXPECT_EQ(defs[0]->Name(), "id");
    EXPECT_FALSE(defs[0]->Required());
    EXPECT_EQ(defs[1]->Name(), "id_1");
    EXPECT_EQ(defs[2]->Name(), "id_2");
    EXPECT_EQ(defs[1]->DataType(), host::ftAutoInc);
    EXPECT_FALSE(defs[1]->Required()) << "an auto-increment field is never required";
    EXPECT_TRUE(defs[2]->Required());
    EXPECT_EQ(defs[2]->Size(), 12);
    EXPECT_EQ(defs[3]->DataType(), host::ftSmallint);
    EXPECT_TRUE(defs[3]->Required());
    EXPECT_EQ(defs[4]->DataType(), host::ftUnknown);
    EXPECT_EQ(defs[5]->DataType(), host::ftUnknown);
    EXPECT_EQ(defs[6]->DataType(), host::ftMemo);
    EXPECT_EQ(defs[6]->Size(), 4);
    EXPECT_EQ(defs[7]->DataType(), host::ftCurrency);
    EXPECT_TRUE(defs[7]->Attributes().Contains(host::faReadonly));
    EXPECT_EQ(defs[7]->FieldNo(), 8);
}

TEST_F(DataSetTest, RequiredColumnsGiveRequiredFields) {
    Exec("create table req (k int not null, v char(5))");
    TestTable* table = NewTable("req");
    table->Open();
    EXPECT_TRUE(table->FieldByName("k")->Required());
    EXPECT_FALSE(table->FieldByName("v")->Required());
    table->Append();
    table->FieldByName("v")->SetAsString("x");
    EXPECT_EQ(ExpectHostError([&] { table->Post(); }), host::Format(host::SFieldRequired, "k"));
    EXPECT_EQ(table->State(), host::dsInsert);
    table->Cancel();
    EXPECT_TRUE(Column("select v from req").empty());
}

TEST_F(DataSetTest, OpeningNeedsADatabaseAndACursor) {
    TmSQLDataSet bare(nullptr);
    EXPECT_EQ(ExpectHostError([&] { bare.Open(); }), "Property Database not set!");
    bare.SetDatabase(database);
    try {
        bare.Open();
        ADD_FAILURE() << "opened without a cursor";
    } catch (const host::ENoResultSet& e) {
        EXPECT_EQ(e.Message(), host::SHandleError);
    }
    EXPECT_FALSE(bare.Active());
    EXPECT_EQ(database->GetDataSetCount(), 0) << "a failed open lets go of the database";
}

TEST_F(DataSetTest, AClosedAndReopenedDataSetReadsAgainAndLetsGoOfItsDatabase) {
    Exec("create table t (id int, name char(10))");
    Exec("insert into t values (1, 'one')");
    Exec("insert into t values (2, 'two')");
    database->SetKeepConnection(false);
    TestTable* table = NewTable("t");
    table->Open();
    EXPECT_TRUE(database->Connected());
    EXPECT_EQ(database->GetDataSetCount(), 1);
    EXPECT_TRUE(table->DBFlags().Contains(dbfOpened));
    table->Close();
    EXPECT_EQ(table->Handle(), nullptr);
    EXPECT_TRUE(table->DBFlags().Empty());
    EXPECT_EQ(database->GetDataSetCount(), 0);
    EXPECT_FALSE(database->Connected()) << "without KeepConnection the last dataset closes the database";

    table->Open();
    EXPECT_EQ(Values(*table, "name"), (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(table->handlesCreated, 2);
}

TEST_F(DataSetTest, TwoDataSetsOnOneDatabaseMoveIndependently) {
    Exec("create table t (id int)");
    for (int i = 1; i <= 3; ++i)
        Exec("insert into t values (" + std::to_string(i) + ")");
    TestTable* first = NewTable("t");
    TestTable* second = NewTable("t");
    first->Open();
    second->Open();
    EXPECT_EQ(database->GetDataSetCount(), 2);
    first->Last();
    second->Next();
    EXPECT_EQ(first->FieldByName("id")->AsInteger(), 3);
    EXPECT_EQ(second->FieldByName("id")->AsInteger(), 2);
    first->Edit();
    first->FieldByName("id")->SetAsInteger(30);
    first->Post();
    EXPECT_EQ(second->FieldByName("id")->AsInteger(), 2);
    second->Close();
    second->Open();
    EXPECT_EQ(Values(*second, "id"), (std::vector<std::string>{"1", "2", "30"}));

    // Closing the database closes both.
    database->Close();
    EXPECT_FALSE(first->Active());
    EXPECT_FALSE(second->Active());
}

TEST_F(DataSetTest, DestroyingTheDatabaseDetachesItsDataSets) {
    Exec("create table t (id int)");
    Exec("insert into t values (1)");
    database->SetDatabaseName("");
    auto owned = std::make_unique<TmSQLDatabase>(nullptr);
    owned->SetDatabaseName("test");
    TestTable* table = NewTable("t", owned.get());
    table->Open();
    owned.reset();
    EXPECT_FALSE(table->Active());
    EXPECT_EQ(table->Database(), nullptr);
    // The dataset lives on and can be given another database.
    database->SetDatabaseName("test");
    table->SetDatabase(database);
    table->Open();
    EXPECT_EQ(table->FieldByName("id")->AsInteger(), 1);
}

TEST_F(DataSetTest, ChangingTheDatabaseClosesTheDataSet) {
    Exec("create table t (id int)");
    TmSQLDatabase* other = NewDatabase("", false);
    TestTable* table = NewTable("t");
    table->Open();
    table->SetDatabase(other);
    EXPECT_FALSE(table->Active());
    EXPECT_EQ(database->GetDataSetCount(), 0);
    host::TStringList names;
    names.Add("stale");
    table->GetDatabaseNames(&names);
    EXPECT_EQ(names.Count(), 2);
    EXPECT_EQ(names.Strings(0), "");
    EXPECT_EQ(names.Strings(1), "test");
}

TEST_F(DataSetTest, RecordNumbersMoveTheCursorBySequenceNumber) {
    Exec("create table t (id int)");
    for (int i = 0; i < 10; ++i)
        Exec("insert into t values (" + std::to_string(i) + ")");
    TestTable* table = NewTable("t");
    table->Open();
    EXPECT_EQ(table->RecNo(), -1);
    table->SetRecNo(5);
    EXPECT_EQ(table->FieldByName("id")->AsInteger(), 5)
        << "sequence numbers count from 0 on the native cursor";
    table->SetRecNo(-1);
    EXPECT_EQ(table->FieldByName("id")->AsInteger(), 5) << "-1 is the record number every row reads";
    table->FetchAll();
    table->Last();
    EXPECT_EQ(table->FieldByName("id")->AsInteger(), 9);
}

TEST_F(DataSetTest, FieldFullNamesAndTranslationAnswerSensibly) {
    Exec("create table t (id int, name char(10))");
    TestTable* table = NewTable("t");
    table->Open();
    EXPECT_EQ(table->GetFieldFullName(table->FieldByName("name")), "name");
    char text[] = "abc";
    char copy[8] = {'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(table->Translate(text, copy, true), 3);
    EXPECT_STREQ(copy, "abc");
    EXPECT_EQ(table->Translate(text, text, false), 3);
    EXPECT_EQ(table->Translate("", copy, false), 0);
    EXPECT_STREQ(copy, "");
}

TEST_F(DataSetTest, FieldSourcesComeFromTheFieldsOrigin) {
    Exec("create table t (id int, name char(10))");
    TestTable* table = NewTable("t");
    table->Open();
    host::TField* name = table->FieldByName("name");
    host::DataSources sources{};
    host::CopyToSlot(sources.szSourceFldName, "NAME");
    EXPECT_FALSE(GetFieldSource(table, sources)) << "no origin";
    name->SetOrigin("shop.\"t.main\".name");
    EXPECT_TRUE(GetFieldSource(table, sources));
    EXPECT_EQ(host::SlotText(sources.szDbName), "shop");
    EXPECT_EQ(host::SlotText(sources.szTblName), "t.main");
    EXPECT_EQ(host::SlotText(sources.szOrigFldName), "name");
    name->SetOrigin("name");
    EXPECT_FALSE(GetFieldSource(table, sources));
    EXPECT_EQ(host::SlotText(sources.szOrigFldName), "name");
    EXPECT_EQ(host::SlotText(sources.szTblName), "");
    host::CopyToSlot(sources.szSourceFldName, "nosuch");
    EXPECT_FALSE(GetFieldSource(table, sources));
}

TEST_F(DataSetTest, CheckOpenRetriesARefusedOpenOnlyAFewTimes) {
    TestTable* table = NewTable("t");
    database->Open();
    EXPECT_TRUE(table->CheckOpen(DBIERR_NONE));
    EXPECT_FALSE(table->CheckOpen(DBIERR_NOTSUFFTABLERIGHTS));
    EXPECT_FALSE(table->CheckOpen(DBIERR_NOTSUFFTABLERIGHTS));
    EXPECT_EQ(
        ExpectDatabaseError(DBIERR_NOTSUFFTABLERIGHTS, [&] { table->CheckOpen(DBIERR_NOTSUFFTABLERIGHTS); }),
        std::string(EngineMessage(DBIERR_NOTSUFFTABLERIGHTS)) + "\r\nDBI Error Code: (10498)");
    // A success in between starts the count again.
    EXPECT_FALSE(table->CheckOpen(DBIERR_NOTSUFFTABLERIGHTS));
    EXPECT_TRUE(table->CheckOpen(DBIERR_NONE));
    EXPECT_FALSE(table->CheckOpen(DBIERR_NOTSUFFTABLERIGHTS));
    ExpectDatabaseError(DBIERR_EOF, [&] { table->CheckOpen(DBIERR_EOF); });
}

TEST_F(DataSetTest, DBFlagsHoldTheDatabaseWhileAnyIsSet) {
    database->SetKeepConnection(false);
    database->Open();
    TestTable* table = NewTable("t");
    EXPECT_FALSE(table->SetDBFlag(dbfProvider, true));
    EXPECT_EQ(database->GetDataSetCount(), 1);
    EXPECT_FALSE(table->SetDBFlag(dbfTable, true));
    EXPECT_TRUE(table->SetDBFlag(dbfTable, true));
    EXPECT_EQ(database->GetDataSetCount(), 1) << "registered once";
    EXPECT_TRUE(table->SetDBFlag(dbfProvider, false));
    EXPECT_TRUE(database->Connected());
    EXPECT_TRUE(table->SetDBFlag(dbfTable, false));
    EXPECT_EQ(database->GetDataSetCount(), 0);
    EXPECT_FALSE(database->Connected())
        << "the last flag lets go of a database that does not keep its connection";
    EXPECT_FALSE(table->SetDBFlag(20, false)) << "flags above 15 are never stored";
}

// An update object that only records its binding.
class RecordingUpdateObject : public TmSQLSQLUpdateObject {
public:
    using TmSQLSQLUpdateObject::TmSQLSQLUpdateObject;
    TmSQLDataSet* GetDataSet() override { return fDataSet; }
    void SetDataSet(TmSQLDataSet* dataSet) override { fDataSet = dataSet; }
    void Apply(host::TUpdateKind) override {}
    host::TStrings* GetSQL(host::TUpdateKind) override { return nullptr; }

private:
    TmSQLDataSet* fDataSet = nullptr;
};

TEST_F(DataSetTest, AnUpdateObjectServesOneDataSetAtATime) {
    TestTable* first = NewTable("t");
    TestTable* second = NewTable("t");
    RecordingUpdateObject object(nullptr);
    first->SetUpdateObject(&object);
    EXPECT_EQ(object.GetDataSet(), first);
    second->SetUpdateObject(&object);
    EXPECT_EQ(object.GetDataSet(), second);
    EXPECT_EQ(first->UpdateObject(), nullptr);
    EXPECT_EQ(second->UpdateObject(), &object);
    second->SetUpdateObject(nullptr);
    EXPECT_EQ(object.GetDataSet(), nullptr);
    first->SetUpdateObject(&object);
    tables.clear(); // destroying the dataset unbinds the object
    EXPECT_EQ(object.GetDataSet(), nullptr);
}

TEST_F(DataSetTest, ConstraintsAreFoundOnTheDataSetAndItsFields) {
    Exec("create table t (id int)");
    TestTable* table = NewTable("t");
    table->Open();
    EXPECT_FALSE(table->HasConstraints());
    EXPECT_FALSE(table->ConstraintsStored());
    table->FieldByName("id")->SetCustomConstraint("id > 0");
    EXPECT_TRUE(table->HasConstraints());
    table->FieldByName("id")->SetCustomConstraint("");
    table->Constraints()->Add()->SetCustomConstraint("id < 10");
    EXPECT_TRUE(table->HasConstraints());
    EXPECT_TRUE(table->ConstraintsStored());
}

TEST_F(DataSetTest, ExpressionAndRecordFiltersApplyFromTheOpen) {
    Exec("create table t (id int)");
    for (int i = 1; i <= 5; ++i)
        Exec("insert into t values (" + std::to_string(i) + ")");
    TestTable* table = NewTable("t");
    table->SetFilter("id > 2");
    table->SetFiltered(true);
    table->SetOnFilterRecord([](host::TDataSet* dataSet, bool& accept) {
        EXPECT_EQ(dataSet->State(), host::dsFilter);
        accept = dataSet->FieldByName("id")->AsInteger() != 4;
    });
    table->Open();
    EXPECT_FALSE(table->IsSequenced());
    EXPECT_EQ(Values(*table, "id"), (std::vector<std::string>{"3", "5"}));
}

TEST_F(DataSetTest, AnExceptionInTheRecordFilterGoesToTheApplicationHandler) {
    Exec("create table t (id int)");
    Exec("insert into t values (1)");
    Exec("insert into t values (2)");
    TestTable* table = NewTable("t");
    table->SetFiltered(true);
    table->SetOnFilterRecord([](host::TDataSet* dataSet, bool& accept) {
        if (dataSet->FieldByName("id")->AsInteger() == 1) {
            accept = false;
            throw host::EDatabaseError("filter failed");
        }
    });
    ApplicationExceptions exceptions;
    table->Open();
    EXPECT_EQ(Values(*table, "id"), (std::vector<std::string>{"2"}));
    ASSERT_FALSE(exceptions.Messages().empty());
    EXPECT_EQ(exceptions.Messages()[0], "filter failed");
    EXPECT_EQ(table->State(), host::dsBrowse);
}

} // namespace
} // namespace corvane::test
