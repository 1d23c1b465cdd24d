// The design-time side of Corvane as a form designer uses it: the components are registered, a data
// module holds a customers table and an orders table whose MasterSource is the customers, and the
// field link designer is run for Orders.MasterFields. With $DISPLAY set the dialog is a real window
// for you to use; otherwise (or with --scripted) a script joins custno with custno and presses OK.
// Then the program prints what the designer wrote into the orders table, the value lists of the
// four name editors, and each customer's orders as the linked table now shows them.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "client/msqlTypes.h"
#include "common/SampleDatabase.h"
#include "components/mSQLDbTables.h"
#include "design/mSQLDesign.h"
#include "host/DataSource.h"
#include "host/Designer.h"
#include "host/Forms.h"
#if CORVANE_HAVE_UI
#include "ui/View.h"
#endif

using namespace corvane;

namespace {

void FillDatabase(TmSQLDatabase& database) {
    for (const char* sql : {
             "create table customers (custno int, company char(30), city char(20))",
             "insert into customers values (1, 'Kestrel Tools', 'Oslo')",
             "insert into customers values (2, 'Harbour Supply', 'Bergen')",
             "insert into customers values (3, 'Fjord Foods', 'Tromso')",
             "create unique index cust_by_no on customers (custno)",
             "create table orders (orderno int, custno int, saledate date, amount money)",
             "insert into orders values (1001, 1, '12-Mar-2024', 250.00)",
             "insert into orders values (1002, 2, '14-Mar-2024', 99.50)",
             "insert into orders values (1003, 1, '02-Apr-2024', 1200.00)",
             "insert into orders values (1004, 3, '05-Apr-2024', 45.25)",
             "insert into orders values (1005, 1, '09-May-2024', 310.75)",
             "create unique index order_by_no on orders (orderno)",
             "create index order_by_cust on orders (custno, orderno)",
         })
        database.Execute(sql);
}

std::string Join(const std::vector<std::string>& values) {
    std::string text;
    for (const std::string& value : values)
        text += (text.empty() ? "" : ", ") + value;
    return text;
}

std::vector<std::string> Lines(const host::TStrings* list) {
    std::vector<std::string> lines;
    for (int i = 0; i < list->Count(); ++i)
        lines.push_back(list->Strings(i));
    return lines;
}

// Acts as the user on the dialog's model: joins custno with custno and confirms.
void Script(host::TForm& form) {
    auto& dialog = dynamic_cast<TLinkFields&>(form);
    std::printf("detail fields offered: %s\n", Join(Lines(dialog.DetailList->Items())).c_str());
    std::printf("master fields offered: %s\n", Join(Lines(dialog.MasterList->Items())).c_str());
    dialog.DetailList->ClickItem(dialog.DetailList->Items()->IndexOf("custno"));
    dialog.MasterList->ClickItem(dialog.MasterList->Items()->IndexOf("custno"));
    dialog.AddButton->Click();
    std::printf("joined: %s\n", Join(Lines(dialog.BindList->Items())).c_str());
    dialog.Button1->Click();
}

void PrintValues(host::TDesigner& designer, TmSQLTable* table, const char* property) {
    auto editor = host::DesignRegistry().CreatePropertyEditor(&designer, {table}, property);
    std::vector<std::string> values;
    editor->GetValues([&](const std::string& value) { values.push_back(value); });
    std::printf("%s values: %s\n", property, Join(values).c_str());
}

int Run(bool scripted) {
    Register();

    host::TComponent dataModule(nullptr);
    dataModule.SetName("DataModule1");
    auto* database = new TmSQLDatabase(&dataModule);
    database->SetName("Database1");
    database->SetDatabaseName("designer");
    FillDatabase(*database);
    auto* customers = new TmSQLTable(&dataModule);
    customers->SetName("Customers");
    customers->SetDatabase(database);
    customers->SetTableName("customers");
    auto* customersSource = new host::TDataSource(&dataModule);
    customersSource->SetName("CustomersSource");
    customersSource->SetDataSet(customers);
    auto* orders = new TmSQLTable(&dataModule);
    orders->SetName("Orders");
    orders->SetDatabase(database);
    orders->SetTableName("orders");
    orders->SetMasterSource(customersSource);
    auto* ordersSource = new host::TDataSource(&dataModule);
    ordersSource->SetName("OrdersSource");
    ordersSource->SetDataSet(orders);
    host::TDesigner designer(&dataModule);

    bool window = false;
#if CORVANE_HAVE_UI
    if (!scripted) window = ui::InstallShowModalHook() && ui::InstallMessageBoxHook();
#endif
    if (!window) host::SetShowModalHook(Script);
    std::printf("== Field Link Designer for Orders.MasterFields (%s)\n", window ? "window" : "scripted");
    std::fflush(stdout); // seen before the window waits for the user

    auto editor = host::DesignRegistry().CreatePropertyEditor(&designer, {orders}, "MasterFields");
    editor->Edit();
    auto& link = dynamic_cast<TmSQLFieldLinkProperty&>(*editor);
    std::printf("confirmed: %s\n", link.Changed() ? "yes" : "no");
    std::printf("Orders.MasterFields = %s\n", orders->MasterFields().c_str());
    std::printf("Orders.IndexName = %s\n", orders->IndexName().c_str());
    std::printf("Orders.IndexFieldNames = %s\n", orders->IndexFieldNames().c_str());

    PrintValues(designer, orders, "TableName");
    PrintValues(designer, orders, "IndexName");
    PrintValues(designer, orders, "IndexFieldNames");
    PrintValues(designer, orders, "MasterSource");

    if (!orders->MasterFields().empty()) {
        customers->Open();
        orders->Open();
        for (customers->First(); !customers->Eof(); customers->Next()) {
            std::vector<std::string> numbers;
            for (orders->First(); !orders->Eof(); orders->Next())
                numbers.push_back(orders->FieldByName("orderno")->AsString());
            std::printf("%s: orders %s\n", customers->FieldByName("company")->AsString().c_str(),
                        Join(numbers).c_str());
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const bool scripted = argc > 1 && std::strcmp(argv[1], "--scripted") == 0;
    example::CreateDatabase("designer");
    try {
        return Run(scripted);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "designer: %s\n", e.what());
        return 1;
    }
}
