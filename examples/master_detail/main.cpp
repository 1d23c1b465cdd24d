// Master/detail: the orders of the current customer. The detail table follows its master through a
// data source: MasterFields names the master's fields whose values select the detail rows, on the
// leading fields of the detail's index (orders.customer of order_customer = customers.id).
#include <cstdio>
#include <exception>

#include "common/PrintTable.h"
#include "components/mSQLDbTables.h"
#include "host/DataSource.h"

using namespace corvane;

int main() {
    try {
        TmSQLDatabase database(nullptr);
        database.SetDatabaseName("shop");

        TmSQLTable customers(nullptr);
        customers.SetDatabase(&database);
        customers.SetTableName("customers");
        customers.SetIndexName("cust_id");

        host::TDataSource customerSource(nullptr);
        customerSource.SetDataSet(&customers);

        TmSQLTable orders(nullptr);
        orders.SetDatabase(&database);
        orders.SetTableName("orders");
        orders.SetIndexName("order_customer");
        orders.SetMasterSource(&customerSource);
        orders.SetMasterFields("id");

        customers.Open();
        orders.Open();

        // Every move of the master re-reads the detail rows of the new customer.
        for (customers.First(); !customers.Eof(); customers.Next()) {
            if (orders.IsEmpty()) continue;
            double total = 0;
            for (orders.First(); !orders.Eof(); orders.Next())
                total += orders.FieldByName("qty")->AsInteger() * orders.FieldByName("price")->AsFloat();
            const std::string title = "customer " + customers.FieldByName("id")->AsString() + ", " +
                                      customers.FieldByName("name")->AsString();
            example::PrintTable(orders, title, "id;ordered;item;qty;price");
            std::printf("  total %.2f\n\n", total);
        }

        // Searching the master moves the detail along as well.
        if (customers.FindKey({host::Variant(4)}))
            std::printf("%s has %d orders\n", customers.FieldByName("name")->AsString().c_str(),
                        orders.RecordCount());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "master_detail: %s\n", e.what());
        return 1;
    }
}
