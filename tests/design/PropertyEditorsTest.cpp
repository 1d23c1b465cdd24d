// Registration with the form designer and the value lists of the table component's property
// editors, read live from the embedded engine through the components.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "DesignFixture.h"
#include "host/Streaming.h"

namespace corvane::test {
namespace {

using namespace host;
using Strings = std::vector<std::string>;

TEST_F(DesignTest, RegisterPutsTheComponentsOnTheirPageInOrder) {
    EXPECT_EQ(DesignRegistry().Pages(), (Strings{"Corvane"}));
    const Strings expected{"TmSQLTable", "TmSQLQuery", "TmSQLDatabase", "TmSQLUpdateSQL"};
    EXPECT_EQ(DesignRegistry().PageClasses("Corvane"), expected);
    // The palette creates working components.
    const TComponentClassRef* ref = DesignRegistry().FindComponentClass("TmSQLTable");
    ASSERT_NE(ref, nullptr);
    std::unique_ptr<TComponent> created(ref->Create(nullptr));
    EXPECT_NE(dynamic_cast<TmSQLTable*>(created.get()), nullptr);
    EXPECT_FALSE(ref->IsInstance(database));
    // Registering again leaves one entry per class.
    Register();
    EXPECT_EQ(DesignRegistry().PageClasses("Corvane"), expected);
}

TEST_F(DesignTest, EveryEditedTablePropertyGetsItsEditor) {
    auto tableName = EditorFor({orders}, "TableName");
    EXPECT_NE(dynamic_cast<TmSQLTableNamePropertyEditor*>(tableName.get()), nullptr);
    EXPECT_NE(dynamic_cast<TmSQLIndexNamePropertyEditor*>(EditorFor({orders}, "IndexName").get()), nullptr);
    EXPECT_NE(dynamic_cast<TmSQLIndexFieldNamesPropertyEditor*>(EditorFor({orders}, "IndexFieldNames").get()),
              nullptr);
    EXPECT_NE(dynamic_cast<TmSQLDataSourcePropertyEditor*>(EditorFor({orders}, "MasterSource").get()),
              nullptr);
    auto masterFields = EditorFor({orders}, "MasterFields");
    EXPECT_NE(dynamic_cast<TmSQLTableFieldLinkProperty*>(masterFields.get()), nullptr);
    EXPECT_EQ(tableName->GetAttributes(), (TPropertyAttributes{paValueList, paSortList, paMultiSelect}));
    EXPECT_EQ(masterFields->GetAttributes(), TPropertyAttributes{paDialog});
    // Other properties and other classes keep the standard editors.
    EXPECT_EQ(dynamic_cast<TmSQLNameListProperty*>(EditorFor({database}, "DatabaseName").get()), nullptr);
    EXPECT_EQ(dynamic_cast<TmSQLDataSourcePropertyEditor*>(EditorFor({customersSource}, "DataSet").get()),
              nullptr);
    // The editors read and write the text as it is.
    orders->SetMasterFields("custno");
    EXPECT_EQ(masterFields->GetValue(), "custno");
    tableName->SetValue("customers");
    EXPECT_EQ(orders->TableName(), "customers");
    EXPECT_EQ(designer->ModifiedCount(), 1);
}

TEST_F(DesignTest, TableNamesComeFromTheDatabase) {
    auto editor = EditorFor({orders}, "TableName");
    EXPECT_EQ(Offered(*editor), (Strings{"customers", "orders"}));
    Exec("create table archive (id int)");
    // As the server lists them; the designer sorts the list (paSortList).
    EXPECT_EQ(Offered(*editor), (Strings{"customers", "orders", "archive"}));
    // Several tables: the first one's database answers.
    auto both = EditorFor({orders, customers}, "TableName");
    EXPECT_EQ(Offered(*both).size(), 3u);
}

TEST_F(DesignTest, TableNamesNeedADatabase) {
    orders->SetDatabase(nullptr);
    auto editor = EditorFor({orders}, "TableName");
    EXPECT_EQ(ExpectHostError([&] { Offered(*editor); }), "Database property is not set");
}

TEST_F(DesignTest, TableNamesReportDatabaseFailures) {
    auto* missing = NewDatabase("nosuchdb");
    orders->SetDatabase(missing);
    auto editor = EditorFor({orders}, "TableName");
    EXPECT_THROW(Offered(*editor), EmSQLDatabaseError);
}

TEST_F(DesignTest, IndexNamesComeFromTheTable) {
    auto editor = EditorFor({orders}, "IndexName");
    Strings names = Offered(*editor);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Strings{"order_by_cust", "order_by_no"}));
    EXPECT_EQ(Offered(*EditorFor({customers}, "IndexName")), (Strings{"cust_by_no"}));
    Exec("create table plain (id int)");
    EXPECT_TRUE(Offered(*EditorFor({AddTable("Plain", "plain")}, "IndexName")).empty());
}

// A table that also reports indexes the server cannot make: descending, expression, without fields.
class TableWithOtherIndexes : public TmSQLTable {
public:
    using TmSQLTable::TmSQLTable;
    void UpdateIndexDefs() override {
        TmSQLTable::UpdateIndexDefs();
        IndexDefs()->Add("by_total_desc", "total", {ixDescending});
        IndexDefs()->Add("by_expression", "", {});
        IndexDefs()->Items(IndexDefs()->Count() - 1)->SetExpression("custno+orderno");
        IndexDefs()->Add("no_fields", "", {});
        IndexDefs()->Add("by_city_total", "city;total", {ixCaseInsensitive});
        ++updates;
    }
    int updates = 0;
};

TEST_F(DesignTest, IndexFieldListsSkipDescendingAndExpressionIndexesAndAreReadAfresh) {
    auto* table = new TableWithOtherIndexes(root.get());
    table->SetDatabase(database);
    table->SetTableName("orders");
    auto editor = EditorFor({table}, "IndexFieldNames");
    Strings lists = Offered(*editor);
    ASSERT_EQ(lists.size(), 3u);
    EXPECT_EQ(lists.back(), "city;total");
    std::sort(lists.begin(), lists.end() - 1);
    EXPECT_EQ(lists, (Strings{"custno;city;orderno", "orderno", "city;total"}));
    EXPECT_EQ(table->updates, 1);
    // The definitions are read again each time: an index made since shows up.
    Exec("create index order_by_total on orders (total)");
    EXPECT_EQ(Offered(*editor).size(), 4u);
    EXPECT_EQ(table->updates, 2);
    // An open table's definitions come from its cursor.
    table->Open();
    EXPECT_EQ(Offered(*editor).size(), 4u);
}

TEST_F(DesignTest, DataSourcesExcludeThoseLinkedToTheEditedTables) {
    auto* lines = AddTable("Lines", "orders");
    lines->SetMasterSource(ordersSource);
    auto* linesSource = AddSource("LinesSource", lines);
    auto* looseSource = AddSource("LooseSource", nullptr);
    // The editor offers data sources only, never one that leads back to the edited table.
    EXPECT_EQ(Offered(*EditorFor({orders}, "MasterSource")), (Strings{"CustomersSource", "LooseSource"}));
    EXPECT_EQ(Offered(*EditorFor({customers}, "MasterSource")), (Strings{"LooseSource"}));
    EXPECT_EQ(Offered(*EditorFor({lines}, "MasterSource")),
              (Strings{"CustomersSource", "OrdersSource", "LooseSource"}));
    // Several tables: a source linked to any of them is left out.
    EXPECT_EQ(Offered(*EditorFor({lines, customers}, "MasterSource")), (Strings{"LooseSource"}));
    // Choosing one links the table; a circular choice typed in is refused by the table.
    auto editor = EditorFor({customers}, "MasterSource");
    editor->SetValue("LooseSource");
    EXPECT_EQ(customers->MasterSource(), looseSource);
    EXPECT_THROW(editor->SetValue("LinesSource"), EDatabaseError);
    EXPECT_EQ(customers->MasterSource(), looseSource);
    (void)linesSource;
}

} // namespace
} // namespace corvane::test
