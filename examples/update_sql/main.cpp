// An update-SQL object: the application's own INSERT, UPDATE and DELETE statements for a dataset.
//
// A query over two tables is read-only: the components cannot tell which table a change belongs to.
// With a TmSQLUpdateSQL bound to it, the application writes through its own statements instead.
// Apply(kind) fills the kind's parameters from the dataset's current row - a parameter named like a
// field takes the field's value, "OLD_" + a field name the value before the edit, any other keeps
// the value the application gave it - runs the statement, and the dataset reads its rows again.
#include <cstdio>
#include <exception>

#include "common/PrintTable.h"
#include "components/mSQLDbTables.h"

using namespace corvane;

int main() {
    try {
        TmSQLDatabase database(nullptr);
        database.SetDatabaseName("shop");

        TmSQLQuery orders(nullptr);
        orders.SetDatabase(&database);
        orders.SQL()->SetText(
            "select orders.id, customers.name, orders.item, orders.qty from orders, customers "
            "where orders.customer = customers.id and orders.qty < 5 order by orders.id");

        TmSQLUpdateSQL writer(nullptr);
        writer.ModifySQL()->SetText("update orders set qty = :new_qty where id = :id");
        writer.DeleteSQL()->SetText("delete from orders where id = :id");
        orders.SetUpdateObject(&writer);

        orders.Open();
        std::printf("the query can modify its rows itself: %s\n\n", orders.CanModify() ? "yes" : "no");
        example::PrintTable(orders, "orders of fewer than 5 pieces, with the customer's name");

        // Order 104 gets a quantity of 3: :id comes from the current row, :new_qty from the application.
        if (orders.Locate("id", host::Variant(104), {})) {
            writer.GetQuery(host::ukModify)->ParamByName("new_qty")->SetAsInteger(3);
            writer.Apply(host::ukModify);
            std::printf("order 104 updated through ModifySQL\n");
        }
        // Order 105 is deleted through DeleteSQL.
        if (orders.Locate("id", host::Variant(105), {})) {
            writer.Apply(host::ukDelete);
            std::printf("order 105 deleted through DeleteSQL\n\n");
        }
        example::PrintTable(orders, "the query, read again after each statement");

        // On a table the statements see the edit in progress: here the key itself changes, and the
        // statement finds the row by its old key (:OLD_id). The table's own write is not wanted, so
        // the edit is cancelled once the statement ran; the table reads the new row.
        TmSQLTable customers(nullptr);
        customers.SetDatabase(&database);
        customers.SetTableName("customers");
        customers.SetIndexName("cust_id");
        TmSQLUpdateSQL renumber(nullptr);
        renumber.ModifySQL()->SetText("update customers set id = :id, name = :name where id = :OLD_id");
        customers.SetUpdateObject(&renumber);
        customers.Open();
        if (customers.FindKey({host::Variant(8)})) {
            customers.Edit();
            customers.FieldByName("id")->SetAsInteger(80);
            customers.FieldByName("name")->SetAsString("Hugo Lenz Sr.");
            renumber.Apply(host::ukModify);
            customers.Cancel();
            std::printf("customer 8 renumbered through ModifySQL\n\n");
        }
        example::PrintTable(customers, "customers", "id;name;city");
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "update_sql: %s\n", e.what());
        return 1;
    }
}
