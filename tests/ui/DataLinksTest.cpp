// The data links of the data-aware controls against an in-memory dataset of 25 rows seen through
// a window of 3: what each control shows after scrolling, editing, state changes and a failed
// post. No display is needed.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/Dialogs.h"
#include "host/MemDataSet.h"
#include "ui/DataLinks.h"

namespace {

using namespace host;
using hosttest::MemDataSet;
using ui::GridLink;
using ui::NavigatorLink;

constexpr int kRows = 25;
constexpr int kWindow = 3;

class DataLinksTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto columns = hosttest::StandardColumns();
        columns.push_back({"NOTE", ftMemo, 0, false});
        dataSet = std::make_unique<MemDataSet>(nullptr, columns);
        for (int i = 1; i <= kRows; ++i)
            dataSet->AddRow({Variant(i), Variant("Row " + std::to_string(i)), Variant(i * 1.5),
                             Variant("note of " + std::to_string(i))});
        source = std::make_unique<TDataSource>(nullptr);
        source->SetDataSet(dataSet.get());
        grid.SetVisibleRows(kWindow);
        grid.SetDataSource(source.get());
        grid.onChange = [this] { ++gridChanges; };
        navigator.SetDataSource(source.get());
    }

    void TearDown() override { host::SetMessageBoxHook({}); }

    // The ID column of the grid's rows.
    std::vector<std::string> Ids() const {
        std::vector<std::string> ids;
        for (int r = 0; r < grid.Rows(); ++r)
            ids.push_back(grid.Cell(r, 0));
        return ids;
    }
    std::string CurrentId() const { return dataSet->FieldByName("ID")->AsString(); }
    std::vector<bool> Buttons() const {
        std::vector<bool> enabled;
        for (int b = 0; b < ui::kNavigateButtons; ++b)
            enabled.push_back(navigator.Enabled(static_cast<ui::NavigateButton>(b)));
        return enabled;
    }
    int GetRecordCalls() const {
        int calls = 0;
        for (const std::string& entry : dataSet->log)
            if (entry.rfind("GetRecord", 0) == 0) ++calls;
        return calls;
    }

    // Declared first, destroyed last: the links detach from the source before it goes.
    std::unique_ptr<MemDataSet> dataSet;
    std::unique_ptr<TDataSource> source;
    GridLink grid;
    NavigatorLink navigator;
    int gridChanges = 0;
};

using Strings = std::vector<std::string>;

TEST_F(DataLinksTest, GridReadsOnlyItsWindowAndFollowsScrolling) {
    dataSet->Open();
    ASSERT_EQ(grid.Columns().size(), 4u);
    EXPECT_EQ(grid.Columns()[1]->FieldName(), "NAME");
    EXPECT_EQ(Ids(), (Strings{"1", "2", "3"}));
    EXPECT_EQ(grid.Cell(0, 1), "Row 1");
    EXPECT_EQ(grid.CurrentRow(), 0);
    EXPECT_LE(GetRecordCalls(), kWindow + 1) << "the grid must not read the whole table";
    EXPECT_GT(gridChanges, 0);

    EXPECT_EQ(grid.Scroll(2), 2);
    EXPECT_EQ(Ids(), (Strings{"1", "2", "3"}));
    EXPECT_EQ(grid.CurrentRow(), 2);
    EXPECT_EQ(grid.Mark(2), GridLink::RowMark::Current);
    EXPECT_EQ(grid.Mark(0), GridLink::RowMark::None);

    const int changes = gridChanges;
    grid.Scroll(2); // past the bottom: the window slides by two rows
    EXPECT_EQ(Ids(), (Strings{"3", "4", "5"}));
    EXPECT_EQ(grid.CurrentRow(), 2);
    EXPECT_EQ(CurrentId(), "5");
    EXPECT_GT(gridChanges, changes);

    grid.SelectRow(0);
    EXPECT_EQ(CurrentId(), "3");
    EXPECT_EQ(Ids(), (Strings{"3", "4", "5"}));
    grid.Scroll(-1);
    EXPECT_EQ(Ids(), (Strings{"2", "3", "4"}));
    EXPECT_EQ(grid.CurrentRow(), 0);

    dataSet->log.clear();
    dataSet->Last();
    EXPECT_EQ(Ids(), (Strings{"23", "24", "25"}));
    EXPECT_EQ(grid.CurrentRow(), 2);
    EXPECT_TRUE(grid.AtEof());
    EXPECT_LE(GetRecordCalls(), kWindow + 1);
    EXPECT_EQ(grid.Scroll(1), 0);

    dataSet->First();
    EXPECT_EQ(Ids(), (Strings{"1", "2", "3"}));
    EXPECT_TRUE(grid.AtBof());
}

TEST_F(DataLinksTest, GridShowsItsOwnRowsWhenAnotherLinkAsksForMore) {
    ui::ControlLink wide;
    wide.SetBufferCount(6);
    wide.SetDataSource(source.get());
    dataSet->Open();
    EXPECT_EQ(dataSet->WindowSize(), 6);
    EXPECT_EQ(Ids(), (Strings{"1", "2", "3"}));
    grid.Scroll(4); // the dataset's window holds rows 1-6, the grid shows the three up to row 5
    EXPECT_EQ(Ids(), (Strings{"3", "4", "5"}));
    EXPECT_EQ(grid.CurrentRow(), 2);
    grid.Scroll(-3);
    EXPECT_EQ(Ids(), (Strings{"2", "3", "4"}));
    EXPECT_EQ(grid.CurrentRow(), 0);
}

TEST_F(DataLinksTest, GridEditsTheCurrentRowAndShowsTheState) {
    dataSet->Open();
    grid.SelectRow(1);
    EXPECT_TRUE(grid.CanEdit(1));
    EXPECT_FALSE(grid.CanEdit(3)) << "memo columns are not edited in a cell";
    EXPECT_EQ(grid.EditText(2), "3");
    ASSERT_TRUE(grid.SetCellText(1, "Changed"));
    EXPECT_EQ(dataSet->State(), dsEdit);
    EXPECT_EQ(grid.Mark(1), GridLink::RowMark::Editing);
    EXPECT_EQ(grid.Cell(1, 1), "Changed");
    EXPECT_EQ(grid.Cell(0, 1), "Row 1");

    dataSet->Post();
    EXPECT_EQ(grid.Mark(1), GridLink::RowMark::Current);
    EXPECT_EQ(grid.Cell(1, 1), "Changed");
    EXPECT_EQ(dataSet->Lookup("ID", Variant(2), "NAME").AsString(), "Changed");

    dataSet->Insert();
    EXPECT_EQ(grid.Rows(), kWindow);
    EXPECT_EQ(grid.Mark(grid.CurrentRow()), GridLink::RowMark::Inserting);
    EXPECT_EQ(grid.Cell(grid.CurrentRow(), 0), "");
    dataSet->Cancel();
    EXPECT_EQ(Ids(), (Strings{"1", "2", "3"}));
}

TEST_F(DataLinksTest, FailedPostKeepsTheEditShownUntilCancelled) {
    dataSet->Open();
    grid.SelectRow(1);
    ASSERT_TRUE(grid.SetCellText(0, "")); // ID is required
    EXPECT_THROW(navigator.Click(ui::nbPost), EDatabaseError);
    EXPECT_EQ(dataSet->State(), dsEdit);
    EXPECT_EQ(grid.Mark(1), GridLink::RowMark::Editing);
    EXPECT_EQ(grid.Cell(1, 0), "");
    EXPECT_TRUE(navigator.Enabled(ui::nbPost));
    EXPECT_TRUE(navigator.Enabled(ui::nbCancel));

    navigator.Click(ui::nbCancel);
    EXPECT_EQ(grid.Cell(1, 0), "2");
    EXPECT_EQ(grid.Mark(1), GridLink::RowMark::Current);
    EXPECT_FALSE(navigator.Enabled(ui::nbPost));
}

TEST_F(DataLinksTest, GridRefusesEditsOfAReadOnlyDataSetAndEmptiesWhenClosed) {
    dataSet->SetCanModifyFlag(false);
    dataSet->Open();
    EXPECT_FALSE(grid.CanEdit(1));
    EXPECT_FALSE(grid.SetCellText(1, "x"));
    EXPECT_EQ(dataSet->State(), dsBrowse);
    dataSet->Close();
    EXPECT_EQ(grid.Rows(), 0);
    EXPECT_TRUE(grid.Columns().empty());
    EXPECT_EQ(grid.CurrentRow(), -1);
}

TEST_F(DataLinksTest, NavigatorButtonsFollowPositionAndState) {
    using ui::nbCancel, ui::nbDelete, ui::nbEdit, ui::nbFirst, ui::nbInsert, ui::nbLast, ui::nbNext,
        ui::nbPost, ui::nbPrior, ui::nbRefresh;
    EXPECT_EQ(Buttons(), std::vector<bool>(ui::kNavigateButtons, false));
    dataSet->Open();
    // first prior next last insert delete edit post cancel refresh
    EXPECT_EQ(Buttons(), (std::vector<bool>{false, false, true, true, true, true, true, false, false, true}));
    navigator.Click(nbNext);
    EXPECT_TRUE(navigator.Enabled(nbPrior));
    navigator.Click(nbLast);
    EXPECT_EQ(CurrentId(), "25");
    EXPECT_FALSE(navigator.Enabled(nbNext));
    EXPECT_FALSE(navigator.Enabled(nbLast));
    EXPECT_TRUE(navigator.Enabled(nbFirst));

    navigator.Click(nbEdit);
    EXPECT_EQ(Buttons(), (std::vector<bool>{true, true, false, false, true, true, false, true, true, false}));
    navigator.Click(nbCancel);
    EXPECT_TRUE(navigator.Enabled(nbEdit));
    navigator.Click(nbFirst);
    EXPECT_EQ(Ids(), (Strings{"1", "2", "3"}));
    EXPECT_FALSE(navigator.Enabled(nbFirst));

    navigator.Click(nbInsert);
    EXPECT_EQ(dataSet->State(), dsInsert);
    dataSet->FieldByName("ID")->SetAsInteger(100);
    navigator.Click(nbPost);
    EXPECT_EQ(dataSet->RowCount(), kRows + 1);
    navigator.Click(nbRefresh);
    EXPECT_EQ(CurrentId(), "100");
}

TEST_F(DataLinksTest, NavigatorDeletesOnlyAfterConfirmationAndHonoursReadOnly) {
    int asked = 0;
    int answer = IDCANCEL;
    host::SetMessageBoxHook([&](const std::string& text, const std::string&, int flags) {
        ++asked;
        EXPECT_EQ(text, "Delete record?");
        EXPECT_EQ(flags & 0x0f, MB_OKCANCEL);
        return answer;
    });
    dataSet->Open();
    navigator.Click(ui::nbDelete);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(dataSet->RowCount(), kRows);
    answer = IDOK;
    navigator.Click(ui::nbDelete);
    EXPECT_EQ(dataSet->RowCount(), kRows - 1);
    EXPECT_EQ(Ids(), (Strings{"2", "3", "4"}));
    navigator.SetConfirmDelete(false);
    navigator.Click(ui::nbDelete);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(dataSet->RowCount(), kRows - 2);

    navigator.SetReadOnly(true);
    EXPECT_FALSE(navigator.Enabled(ui::nbInsert));
    EXPECT_FALSE(navigator.Enabled(ui::nbDelete));
    EXPECT_FALSE(navigator.Enabled(ui::nbEdit));
    EXPECT_TRUE(navigator.Enabled(ui::nbNext));
}

TEST_F(DataLinksTest, NavigatorOnAnEmptyDataSetOffersOnlyInsert) {
    MemDataSet empty(nullptr, hosttest::StandardColumns());
    source->SetDataSet(&empty);
    empty.Open();
    EXPECT_EQ(Buttons(),
              (std::vector<bool>{false, false, false, false, true, false, false, false, false, true}));
    EXPECT_EQ(grid.Rows(), 0);
    source->SetDataSet(nullptr);
}

class FieldLinkTest : public DataLinksTest {
protected:
    void SetUp() override {
        DataLinksTest::SetUp();
        field.SetDataSource(source.get());
        field.SetFieldName("NAME");
        field.onChange = [this] { ++fieldChanges; };
    }
    ui::FieldLink field;
    int fieldChanges = 0;
};

TEST_F(FieldLinkTest, ShowsTheCurrentRowAndWritesTypedTextOnPost) {
    EXPECT_EQ(field.Field(), nullptr);
    dataSet->Open();
    ASSERT_NE(field.Field(), nullptr);
    EXPECT_EQ(field.Text(), "Row 1");
    dataSet->MoveBy(4);
    EXPECT_EQ(field.Text(), "Row 5");
    EXPECT_GT(fieldChanges, 0);

    EXPECT_FALSE(field.SetEditText("ignored")) << "typing needs edit mode first";
    ASSERT_TRUE(field.BeginEdit());
    EXPECT_EQ(dataSet->State(), dsEdit);
    ASSERT_TRUE(field.SetEditText("Typed"));
    EXPECT_TRUE(field.Modified());
    EXPECT_EQ(field.Text(), "Typed");
    EXPECT_EQ(dataSet->FieldByName("NAME")->AsString(), "Row 5") << "pending until the dataset asks";

    dataSet->Post();
    EXPECT_FALSE(field.Modified());
    EXPECT_EQ(field.Text(), "Typed");
    EXPECT_EQ(dataSet->Lookup("ID", Variant(5), "NAME").AsString(), "Typed");
}

TEST_F(FieldLinkTest, PendingTextGoesWithCancelAndFollowsOtherWriters) {
    dataSet->Open();
    ASSERT_TRUE(field.BeginEdit());
    field.SetEditText("Typed");
    dataSet->Cancel();
    EXPECT_FALSE(field.Modified());
    EXPECT_EQ(field.Text(), "Row 1");

    dataSet->Edit();
    dataSet->FieldByName("NAME")->SetAsString("By code");
    EXPECT_EQ(field.Text(), "By code");
    dataSet->FieldByName("AMOUNT")->SetAsFloat(9); // another field: the text stays
    EXPECT_EQ(field.Text(), "By code");
    field.SetEditText("Typed again");
    field.Reset();
    EXPECT_EQ(field.Text(), "By code");
    dataSet->Cancel();

    field.SetFieldName("NOPE");
    EXPECT_EQ(field.Field(), nullptr);
    EXPECT_EQ(field.Text(), "");
    EXPECT_FALSE(field.BeginEdit());
}

TEST_F(FieldLinkTest, FailedPostKeepsTheTypedValueInTheRow) {
    field.SetFieldName("ID");
    dataSet->Open();
    ASSERT_TRUE(field.BeginEdit());
    field.SetEditText("");
    EXPECT_THROW(dataSet->Post(), EDatabaseError);
    EXPECT_EQ(dataSet->State(), dsEdit);
    EXPECT_EQ(field.Text(), "");
    EXPECT_TRUE(dataSet->FieldByName("ID")->IsNull());
    dataSet->Cancel();
    EXPECT_EQ(field.Text(), "1");
}

TEST_F(FieldLinkTest, MemoReadsAndWritesThroughTheBlobStream) {
    ui::MemoLink memo;
    memo.SetDataSource(source.get());
    memo.SetFieldName("NOTE");
    dataSet->Open();
    EXPECT_EQ(memo.Text(), "note of 1");
    dataSet->Next();
    EXPECT_EQ(memo.Text(), "note of 2");
    ASSERT_TRUE(memo.BeginEdit());
    memo.SetEditText("line one\nline two");
    dataSet->Post();
    EXPECT_EQ(dataSet->StoredBlob(1, 3), "line one\nline two");
    EXPECT_EQ(memo.Text(), "line one\nline two");
    dataSet->Next();
    EXPECT_EQ(memo.Text(), "note of 3");
}

} // namespace
