// Filters, Locate, Lookup, the find-first / find-next searching and block reads, on a table component.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TableFixture.h"

namespace corvane::test {
namespace {

class TableFiltersTest : public TableTest {
protected:
    void SetUp() override {
        TableTest::SetUp();
        CreatePeople();
        table = NewTmTable("people");
        table->SetIndexName("by_id");
    }
    // The ids the filter text lets through.
    std::vector<std::string> Filtered(const std::string& text, host::TFilterOptions options = {}) {
        table->SetFilterOptions(options);
        table->SetFilter(text);
        return Values(*table, "id");
    }
    int Id() { return table->FieldByName("id")->AsInteger(); }

    TmSQLTable* table = nullptr;
};

using Ids = std::vector<std::string>;

TEST_F(TableFiltersTest, FilterTextsOfEveryOperator) {
    table->Open();
    table->SetFiltered(true);
    EXPECT_EQ(Filtered("id = 2"), (Ids{"2"}));
    EXPECT_EQ(Filtered("id <> 2"), (Ids{"1", "3", "4", "5"}));
    EXPECT_EQ(Filtered("id > 3"), (Ids{"4", "5"}));
    EXPECT_EQ(Filtered("id >= 3"), (Ids{"3", "4", "5"}));
    EXPECT_EQ(Filtered("id < 2"), (Ids{"1"}));
    EXPECT_EQ(Filtered("id <= 2"), (Ids{"1", "2"}));
    EXPECT_EQ(Filtered("city = 'Oslo' and pay > 120"), (Ids{"3"}));
    EXPECT_EQ(Filtered("name = 'Brown' or id = 4"), (Ids{"3", "4"}));
    EXPECT_EQ(Filtered("not (city = 'Bergen')"), (Ids{"1", "3", "5"}));
    EXPECT_EQ(Filtered("note is null"), (Ids{"2", "4"}));
    EXPECT_EQ(Filtered("note is not null"), (Ids{"1", "3", "5"}));
    EXPECT_EQ(Filtered("note = null"), (Ids{"2", "4"}));
    EXPECT_EQ(Filtered("born < '01/01/1981'"), (Ids{"1", "2"}));
    EXPECT_EQ(Filtered("name = 'O''Neil'"), (Ids{"4"}));
    // Partial matches: a trailing '*' unless partial compares are off; case on request.
    EXPECT_EQ(Filtered("city = 'B*'"), (Ids{"2", "4"}));
    EXPECT_TRUE(Filtered("city = 'B*'", {host::foNoPartialCompare}).empty());
    EXPECT_TRUE(Filtered("name = 'JONES'").empty());
    EXPECT_EQ(Filtered("name = 'JONES'", {host::foCaseInsensitive}), (Ids{"2"}));
    EXPECT_EQ(Filtered("name = 'b*'", {host::foCaseInsensitive}), (Ids{"3", "5"}));
    EXPECT_EQ(Filtered("name like '%s%'"), (Ids{"2", "5"}));
    // Changing only the options rebuilds the filter.
    table->SetFilter("name = 'SMITH'");
    EXPECT_TRUE(Values(*table, "id").empty());
    table->SetFilterOptions({host::foCaseInsensitive});
    EXPECT_EQ(Values(*table, "id"), (Ids{"1"}));

    // A text the parser refuses changes nothing.
    EXPECT_THROW(table->SetFilter("nosuchfield = 1"), host::EDatabaseError);
    EXPECT_EQ(table->Filter(), "name = 'SMITH'");
    EXPECT_EQ(Values(*table, "id"), (Ids{"1"}));

    table->SetFiltered(false);
    EXPECT_EQ(table->RecordCount(), 5);
    EXPECT_EQ(Values(*table, "id").size(), 5u);
}

TEST_F(TableFiltersTest, SettingFilteredAgainStillMovesToTheFirstRow) {
    table->SetFilter("id > 1");
    table->SetFiltered(true);
    table->Open();
    EXPECT_EQ(Id(), 2);
    table->Last();
    table->SetFiltered(true);
    EXPECT_EQ(Id(), 2);
    table->Last();
    table->SetFiltered(false);
    EXPECT_EQ(Id(), 1);
}

TEST_F(TableFiltersTest, TheRecordEventDecidesForEachRowAndCanComeAndGoWhileOpen) {
    table->SetFiltered(true);
    table->Open();
    int calls = 0;
    table->SetOnFilterRecord([&calls](host::TDataSet* dataSet, bool& accept) {
        ++calls;
        accept = dataSet->FieldByName("pay")->AsFloat() >= 100;
    });
    EXPECT_EQ(Id(), 1) << "moved to the first row that passes";
    EXPECT_EQ(Values(*table, "id"), (Ids{"1", "2", "3"}));
    EXPECT_GE(calls, 5);
    // With a filter text as well, a row must pass both.
    table->SetFilter("city = 'Oslo'");
    EXPECT_EQ(Values(*table, "id"), (Ids{"1", "3"}));
    table->SetOnFilterRecord(nullptr);
    EXPECT_EQ(Values(*table, "id"), (Ids{"1", "3"}));
    table->SetFilter("");
    EXPECT_EQ(Values(*table, "id").size(), 5u);
}

TEST_F(TableFiltersTest, LocateWithCaseInsensitiveAndPartialKeysOnOneToThreeFields) {
    table->Open();
    EXPECT_TRUE(table->Locate("name", host::Variant("Brown"), {}));
    EXPECT_EQ(Id(), 3);
    EXPECT_FALSE(table->Locate("name", host::Variant("brown"), {}));
    EXPECT_EQ(Id(), 3) << "not found: the row stays";
    EXPECT_TRUE(table->Locate("name", host::Variant("brown"), {host::loCaseInsensitive}));
    EXPECT_FALSE(table->Locate("name", host::Variant("Bro"), {host::loCaseInsensitive}))
        << "without a partial key the whole value must match";
    EXPECT_TRUE(table->Locate("name", host::Variant("jo"), {host::loPartialKey}));
    EXPECT_EQ(Id(), 2);
    EXPECT_TRUE(table->Locate("id", host::Variant(4), {}));
    EXPECT_EQ(table->FieldByName("name")->AsString(), "O'Neil");

    EXPECT_TRUE(
        table->Locate("city;name", host::VarArrayOf({host::Variant("Oslo"), host::Variant("Smith")}), {}));
    EXPECT_EQ(Id(), 1);
    EXPECT_TRUE(
        table->Locate("city; born; name",
                      host::VarArrayOf({host::Variant("OSLO"), host::Variant(host::EncodeDate(1990, 6, 30)),
                                        host::Variant("b")}),
                      {host::loCaseInsensitive, host::loPartialKey}));
    EXPECT_EQ(Id(), 3);
    // Only the last field is compared partially.
    EXPECT_FALSE(table->Locate("name;city", host::VarArrayOf({host::Variant("Br"), host::Variant("Oslo")}),
                               {host::loPartialKey}));
    EXPECT_TRUE(table->Locate("note", host::Null(), {})) << "a null value finds a null field";
    EXPECT_EQ(Id(), 2);

    EXPECT_THROW(table->Locate("nosuchfield", host::Variant(1), {}), host::EDatabaseError);
    EXPECT_THROW(table->Locate("city;name", host::Variant("Oslo"), {}), host::EDatabaseError);
    // A filtered dataset locates only among its rows.
    table->SetFilter("city = 'Bergen'");
    table->SetFiltered(true);
    EXPECT_FALSE(table->Locate("id", host::Variant(1), {}));
    EXPECT_TRUE(table->Locate("id", host::Variant(4), {}));
}

TEST_F(TableFiltersTest, LookupAnswersValuesWithoutMovingTheCurrentRow) {
    table->Open();
    table->Next();
    const host::Variant found = table->Lookup(
        "city;name", host::VarArrayOf({host::Variant("Oslo"), host::Variant("Brown")}), "id;pay");
    ASSERT_TRUE(found.IsArray());
    EXPECT_EQ(found[0].AsInteger(), 3);
    EXPECT_DOUBLE_EQ(found[1].AsDouble(), 150.25);
    EXPECT_EQ(Id(), 2) << "the current row stays";
    table->Next();
    EXPECT_EQ(Id(), 3) << "and the next move goes on from it";
    EXPECT_TRUE(table->Lookup("id", host::Variant(42), "name").IsNull());
    EXPECT_EQ(table->Lookup("id", host::Variant(5), "name").AsString(), "back\\slash");
}

TEST_F(TableFiltersTest, FindFirstAndFindNextGoThroughTheFiltersOfAnUnfilteredDataSet) {
    table->SetFilter("city = 'Oslo' or city = 'Trondheim'");
    table->Open();
    EXPECT_FALSE(table->Filtered());
    table->Next();
    EXPECT_TRUE(table->FindNext());
    EXPECT_EQ(Id(), 3);
    EXPECT_TRUE(table->Found());
    EXPECT_TRUE(table->FindNext());
    EXPECT_EQ(Id(), 5);
    EXPECT_FALSE(table->FindNext());
    EXPECT_FALSE(table->Found());
    EXPECT_TRUE(table->FindPrior());
    EXPECT_EQ(Id(), 3);
    EXPECT_TRUE(table->FindFirst());
    EXPECT_EQ(Id(), 1);
    EXPECT_TRUE(table->FindLast());
    EXPECT_EQ(Id(), 5);
    EXPECT_EQ(table->RecordCount(), 5) << "the filters are active only while searching";
    table->First();
    table->Next();
    EXPECT_EQ(Id(), 2);

    table->SetOnFilterRecord(
        [](host::TDataSet* dataSet, bool& accept) { accept = dataSet->FieldByName("id")->AsInteger() != 3; });
    EXPECT_TRUE(table->FindFirst());
    EXPECT_TRUE(table->FindNext());
    EXPECT_EQ(Id(), 5) << "the record event takes part as well";
}

class BlockReadTest : public TableTest {
protected:
    void SetUp() override {
        TableTest::SetUp();
        Exec("create table numbers (n int, half real)");
        for (int i = 1; i <= 25; ++i)
            Exec("insert into numbers values (" + std::to_string(i) + ", " + std::to_string(i / 2.0) + ")");
        Exec("create unique index by_n on numbers (n)");
        table = NewTmTable("numbers");
        table->SetIndexName("by_n");
        table->Open();
    }
    // The values of n read in block-read mode from the current row to the end.
    std::vector<int> ReadInBlocks(int size) {
        std::vector<int> values;
        table->SetBlockReadSize(size);
        while (!table->Eof()) {
            values.push_back(table->FieldByName("n")->AsInteger());
            table->Next();
        }
        table->SetBlockReadSize(0);
        return values;
    }
    static std::vector<int> Range(int from, int to) {
        std::vector<int> values;
        for (int i = from; i <= to; ++i)
            values.push_back(i);
        return values;
    }

    TmSQLTable* table = nullptr;
};

TEST_F(BlockReadTest, BlocksCoverEveryRowFromTheCurrentOneOnce) {
    EXPECT_EQ(ReadInBlocks(10), Range(1, 25));
    EXPECT_EQ(table->State(), host::dsBrowse);
    table->First();
    table->MoveBy(4);
    EXPECT_EQ(ReadInBlocks(7), Range(5, 25));
    table->First();
    EXPECT_EQ(ReadInBlocks(5), Range(1, 25)) << "the last block is full";
    table->First();
    EXPECT_EQ(ReadInBlocks(2147483647), Range(1, 25)) << "the largest size reads 64 KiB blocks";

    table->First();
    table->SetBlockReadSize(4);
    EXPECT_EQ(table->State(), host::dsBlockRead);
    table->Next();
    EXPECT_DOUBLE_EQ(table->FieldByName("half")->AsFloat(), 1.0);
    table->SetBlockReadSize(0);
    EXPECT_EQ(table->State(), host::dsBrowse);
    table->Next();
    EXPECT_EQ(table->FieldByName("n")->AsInteger(), 2) << "browsing goes on from the dataset's row";
}

TEST_F(BlockReadTest, BlocksSkipFilteredRowsAndBlobTablesReadRowByRow) {
    table->SetFilter("n > 20 or n < 3");
    table->SetFiltered(true);
    EXPECT_EQ(ReadInBlocks(3), (std::vector<int>{1, 2, 21, 22, 23, 24, 25}));
    table->SetFiltered(false);

    Exec("create table memos (n int, body text(10))");
    Exec("insert into memos values (1, 'one')");
    Exec("insert into memos values (2, 'two')");
    TmSQLTable* memos = NewTmTable("memos");
    memos->Open();
    memos->SetBlockReadSize(10);
    EXPECT_EQ(memos->State(), host::dsBrowse) << "a memo is read from the cursor's row, one row at a time";
    EXPECT_EQ(Values(*memos, "body"), (std::vector<std::string>{"one", "two"}));
}

} // namespace
} // namespace corvane::test
