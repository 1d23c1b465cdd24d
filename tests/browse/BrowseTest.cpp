// corvane-browse in a real window on the sample database: the test acts as the user through the
// widgets (table list, index chooser, filter box, grid cells, navigator, detail link, find key,
// range), checks the rows shown and the server's rows, and saves a screenshot of each step into
// the build folder (browse-*.png).
#include <gtest/gtest.h>

#include <FL/Fl.H>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "Browser.h"
#include "Sample.h"
#include "components/ComponentsFixture.h"
#include "host/Dialogs.h"
#include "host/SysUtils.h"
#include "ui/ModalHook.h"
#include "ui/Screenshot.h"
#include "ui/UserInput.h"

namespace {

using namespace host;
using browse::Browser;

constexpr int kCustomers = 30;

std::string ScreenshotPath(const std::string& name) {
    const char* dir = std::getenv("CORVANE_UI_SCREENSHOT_DIR");
    return (std::filesystem::path(dir != nullptr ? dir : ".") / name).string();
}

class BrowseTest : public corvane::test::ComponentsTest {
protected:
    void SetUp() override {
        if (!ui::DisplayAvailable()) {
            if (std::getenv("CORVANE_UI_REQUIRE_DISPLAY") != nullptr)
                FAIL() << "no X server although the test runs under xvfb-run";
            GTEST_SKIP() << "no X server: $DISPLAY is not set or cannot be opened";
        }
        ComponentsTest::SetUp();
        browse::CreateSampleDatabase(fHost, "sample", kCustomers);
        ASSERT_EQ(corvane::msqlSelectDB(fAdmin, "sample"), 0);
        previousCursor = SetScreenCursorHook([this](TCursor cursor) { cursors.push_back(cursor); });
        previousBox = SetMessageBoxHook([this](const std::string& text, const std::string&, int) {
            boxes.push_back(text);
            return IDOK;
        });
    }
    void TearDown() override {
        browser.reset();
        SetMessageBoxHook(previousBox);
        SetScreenCursorHook(previousCursor);
        if (ui::DisplayAvailable()) ComponentsTest::TearDown();
    }

    Browser& Open(const std::string& database = "sample") {
        browser = std::make_unique<Browser>(browse::Options{database, fHost});
        Fl_Window& window = browser->Window();
        window.position(0, 0);
        window.show();
        window.wait_for_expose();
        Fl::flush();
        return *browser;
    }
    Fl_Window& Window() { return browser->Window(); }
    void Shot(const std::string& name) {
        Window().redraw();
        Fl::flush();
        ui::SavePng(ui::CaptureWindow(Window()), ScreenshotPath("browse-" + name + ".png"));
    }

    // The user clicks item index of the table list.
    void ClickTable(const std::string& name) {
        const auto& names = browser->TableNames();
        const auto it = std::find(names.begin(), names.end(), name);
        ASSERT_NE(it, names.end()) << name;
        int x = 0, y = 0;
        ASSERT_TRUE(browser->TableList().ItemPoint(static_cast<int>(it - names.begin()), x, y));
        ui::SendClick(Window(), x, y);
    }
    // The user picks the item named text from a drop-down list.
    static void Pick(ui::detail::ComboWidget& combo, const std::vector<std::string>& items,
                     const std::string& text) {
        const auto it = std::find(items.begin(), items.end(), text);
        ASSERT_NE(it, items.end()) << text;
        combo.Pick(static_cast<int>(it - items.begin()));
        Fl::flush();
    }
    // The user clears an input and types text (Enter at its end when enter).
    void Type(Fl_Input_& input, const std::string& text, bool enter = true) {
        ui::ClickWidget(input);
        input.value("");
        ui::SendText(Window(), text);
        if (enter) ui::SendKey(Window(), FL_Enter);
    }
    // The column of the main grid named field.
    int ColumnOf(ui::DBGrid& grid, const std::string& field) {
        const auto& columns = grid.Link().Columns();
        for (size_t c = 0; c < columns.size(); ++c)
            if (SameText(columns[c]->FieldName(), field)) return static_cast<int>(c);
        ADD_FAILURE() << "no column " << field;
        return 0;
    }
    std::vector<std::string> Shown(ui::DBGrid& grid, const std::string& field) {
        std::vector<std::string> values;
        const int column = ColumnOf(grid, field);
        for (int r = 0; r < grid.Link().Rows(); ++r)
            values.push_back(grid.Link().Cell(r, column));
        return values;
    }
    void ClickCell(ui::DBGrid& grid, int row, const std::string& field, bool doubleClick = false) {
        int x = 0, y = 0;
        ASSERT_TRUE(grid.CellPoint(row, ColumnOf(grid, field), x, y));
        ui::SendClick(Window(), x, y, 0, doubleClick);
    }

    std::unique_ptr<Browser> browser;
    std::vector<std::string> boxes;
    TMessageBoxHook previousBox;
    std::vector<TCursor> cursors; // screen cursors set, as the browser passes them on
    TScreenCursorHook previousCursor;
};

using Strings = std::vector<std::string>;

TEST_F(BrowseTest, BrowsesFiltersAndEditsTheSampleDatabaseThroughItsWidgets) {
    Browser& b = Open();
    EXPECT_FALSE(b.MessageIsError()) << b.Message();
    EXPECT_EQ(b.TableNames(), (Strings{"customers", "orders"}));
    Shot("1-connected");

    // Select a table: the grid shows the first rows of the table, as many as fit. The open runs
    // under the wait cursor.
    cursors.clear();
    ClickTable("customers");
    ASSERT_TRUE(b.Table().Active()) << b.Message();
    ASSERT_FALSE(cursors.empty());
    EXPECT_EQ(cursors.front(), crSQLWait);
    EXPECT_EQ(cursors.back(), crDefault);
    ui::DBGrid& grid = b.Grid();
    const int rows = grid.Link().VisibleRows();
    EXPECT_GE(rows, 8);
    EXPECT_EQ(grid.Link().Rows(), rows);
    EXPECT_EQ(Shown(grid, "ID")[0], "1");
    EXPECT_EQ(Shown(grid, "ID")[static_cast<size_t>(rows - 1)], std::to_string(rows));
    EXPECT_EQ(b.IndexChoices().front(), "(natural order)");
    EXPECT_EQ(b.IndexChoices().size(), 4u);
    EXPECT_TRUE(SameText(b.Memo().Link().FieldName(), "notes")) << b.Memo().Link().FieldName();
    EXPECT_NE(b.Memo().value(), std::string()) << "the memo view shows the first row's notes";
    EXPECT_NE(std::string(b.Memo().value()).find("Customer 1 of"), std::string::npos);
    Shot("2-table");

    // Change the index: rows come in name order, as the server sorts them.
    Pick(b.IndexChooser(), b.IndexChoices(), "customers_name");
    EXPECT_EQ(b.Table().IndexName(), "customers_name");
    Strings byName = Column("select name from customers order by name");
    byName.resize(static_cast<size_t>(rows));
    EXPECT_EQ(Shown(grid, "NAME"), byName);
    Shot("3-index");

    // Type a filter: only Oslo rows remain.
    Type(b.FilterBox(), "city = 'Oslo'");
    EXPECT_FALSE(b.MessageIsError()) << b.Message();
    EXPECT_TRUE(b.Table().Filtered());
    const Strings cities = Shown(grid, "CITY");
    ASSERT_FALSE(cities.empty());
    for (const std::string& city : cities)
        EXPECT_EQ(city, "Oslo");
    Shot("4-filter");

    // A wrong filter is reported in the message line; the table shows all rows again.
    Type(b.FilterBox(), "city = ");
    EXPECT_TRUE(b.MessageIsError());
    EXPECT_FALSE(b.Message().empty());
    EXPECT_FALSE(b.Table().Filtered());
    EXPECT_EQ(grid.Link().Rows(), rows);
    Shot("5-filter-error");
    Type(b.FilterBox(), "");

    // Edit a cell and post it with the navigator: back in natural order, the third row.
    Pick(b.IndexChooser(), b.IndexChoices(), "(natural order)");
    const Strings before = Column("select name from customers where id = 3");
    ClickCell(grid, 2, "NAME", true);
    ASSERT_TRUE(grid.CellEditorOpen());
    Type(grid.CellEditor(), "Edited Name");
    EXPECT_EQ(b.Table().State(), dsEdit);
    EXPECT_EQ(grid.Link().Mark(2), ui::GridLink::RowMark::Editing);
    EXPECT_EQ(Shown(grid, "NAME")[2], "Edited Name");
    EXPECT_EQ(Column("select name from customers where id = 3"), before) << "not posted yet";
    Shot("6-editing");
    ui::ClickWidget(b.Navigator().Button(ui::nbPost));
    EXPECT_FALSE(b.MessageIsError()) << b.Message();
    EXPECT_EQ(b.Table().State(), dsBrowse);
    EXPECT_EQ(Column("select name from customers where id = 3"), Strings{"Edited Name"});
    EXPECT_EQ(Shown(grid, "NAME")[2], "Edited Name");

    // The memo view edits the notes of the current row through the blob stream.
    ui::ClickWidget(b.Memo());
    b.Memo().position(b.Memo().size());
    ui::SendText(Window(), " VIP");
    EXPECT_EQ(b.Table().State(), dsEdit);
    ui::ClickWidget(b.Navigator().Button(ui::nbPost));
    EXPECT_FALSE(b.MessageIsError()) << b.Message();
    const Strings notes = Column("select notes from customers where id = 3");
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].substr(notes[0].size() - 4), " VIP");

    // Follow a master row: the detail grid shows the orders of the current customer.
    Pick(b.DetailChooser(), Strings{"(none)", "customers", "orders"}, "orders");
    Pick(b.DetailIndexChooser(), b.DetailIndexNames(), "orders_customer");
    Type(b.MasterFieldsBox(), "id", false);
    ui::ClickWidget(b.LinkButton());
    ASSERT_TRUE(b.DetailTable().Active()) << b.Message();
    EXPECT_EQ(Shown(b.DetailGrid(), "ID"), Column("select id from orders where customer = 3"));
    ClickCell(grid, 2, "ID"); // focus the grid on the current row, then one row down
    ui::SendKey(Window(), FL_Down);
    EXPECT_EQ(b.Table().FieldByName("ID")->AsString(), "4");
    EXPECT_EQ(Shown(b.DetailGrid(), "CUSTOMER"), (Strings{"4", "4", "4"}));
    EXPECT_EQ(Shown(b.DetailGrid(), "ID"), Column("select id from orders where customer = 4"));
    Shot("7-detail");
}

TEST_F(BrowseTest, FindsKeysRestrictsToRangesAndReportsAFailedPost) {
    Browser& b = Open();
    ClickTable("customers");
    Pick(b.IndexChooser(), b.IndexChoices(), "customers_id");
    ui::DBGrid& grid = b.Grid();

    Type(b.FindKeyBox(), "17");
    EXPECT_FALSE(b.MessageIsError()) << b.Message();
    EXPECT_EQ(b.Table().FieldByName("ID")->AsString(), "17");
    EXPECT_EQ(Shown(grid, "ID")[static_cast<size_t>(grid.Link().CurrentRow())], "17");
    Type(b.FindKeyBox(), "999");
    EXPECT_TRUE(b.MessageIsError());
    EXPECT_EQ(b.Table().FieldByName("ID")->AsString(), "17");

    Type(b.RangeFromBox(), "5", false);
    Type(b.RangeToBox(), "9", false);
    ui::ClickWidget(b.RangeButton());
    EXPECT_FALSE(b.MessageIsError()) << b.Message();
    EXPECT_EQ(Shown(grid, "ID"), (Strings{"5", "6", "7", "8", "9"}));
    Shot("8-range");
    ui::ClickWidget(b.NoRangeButton());
    EXPECT_EQ(grid.Link().Rows(), grid.Link().VisibleRows());

    // A duplicate key in the unique index: the server refuses the post; the message line says
    // so, the row stays in edit mode, and Escape on the grid cancels it.
    b.Table().First();
    ClickCell(grid, 1, "ID", true);
    ASSERT_TRUE(grid.CellEditorOpen());
    Type(grid.CellEditor(), "1");
    ui::ClickWidget(b.Navigator().Button(ui::nbPost));
    EXPECT_TRUE(b.MessageIsError());
    EXPECT_EQ(b.Table().State(), dsEdit);
    Shot("9-failed-post");
    ClickCell(grid, 1, "NAME");
    ui::SendKey(Window(), FL_Escape);
    EXPECT_EQ(b.Table().State(), dsBrowse);
    EXPECT_EQ(Shown(grid, "ID")[1], "2");
    EXPECT_EQ(Column("select id from customers where id = 1"), Strings{"1"});
    EXPECT_EQ(Column("select id from customers where id = 2"), Strings{"2"});
}

TEST_F(BrowseTest, AnUnknownDatabaseIsReportedInTheMessageLine) {
    Browser& b = Open("no_such_database");
    EXPECT_TRUE(b.MessageIsError());
    EXPECT_FALSE(b.Message().empty());
    EXPECT_TRUE(b.TableNames().empty());
    Type(b.FilterBox(), "id = 1");
    EXPECT_EQ(b.Message(), "Open a table first.");
}

TEST_F(BrowseTest, DeletingAsksFirstAndRemovesTheRowFromTheServer) {
    Browser& b = Open();
    ClickTable("orders");
    ASSERT_TRUE(b.Table().Active());
    ClickCell(b.Grid(), 0, "ID");
    ui::ClickWidget(b.Navigator().Button(ui::nbDelete));
    EXPECT_EQ(boxes, Strings{"Delete record?"});
    EXPECT_TRUE(Column("select id from orders where id = 1").empty());
    EXPECT_EQ(Shown(b.Grid(), "ID")[0], "2");
}

} // namespace
