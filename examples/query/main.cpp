// Queries with parameters, and statements run with ExecSQL.
//
// A TmSQLQuery holds SQL text; ":name" in it is a parameter, listed in Params as soon as the text
// is set. Its value is filled in before Open (a statement that returns rows) or ExecSQL (any
// other statement) and goes to the server as a properly quoted literal. Changing a value and
// opening again runs the same prepared text with the new value.
#include <cstdio>
#include <exception>

#include "common/PrintTable.h"
#include "components/mSQLDbTables.h"
#include "host/DateTime.h"

using namespace corvane;

int main() {
    try {
        TmSQLDatabase database(nullptr);
        database.SetDatabaseName("shop");

        TmSQLQuery customers(nullptr);
        customers.SetDatabase(&database);
        customers.SQL()->SetText("select id, name, city, credit from customers where credit >= :minimum "
                                 "order by credit desc");
        std::printf("parameters of the query: %d, the first is '%s'\n\n", customers.Params()->Count(),
                    customers.Params()->Items(0)->Name().c_str());

        customers.ParamByName("minimum")->SetAsFloat(300);
        customers.Open();
        example::PrintTable(customers, "customers with a credit of at least 300");
        customers.Close();

        customers.ParamByName("minimum")->SetAsFloat(80);
        customers.Open();
        example::PrintTable(customers, "the same query with the minimum set to 80");
        customers.Close();

        // A text parameter holding a quote and a date parameter: both travel as literals.
        TmSQLQuery orders(nullptr);
        orders.SetDatabase(&database);
        orders.SQL()->SetText("select orders.id, customers.name, orders.ordered, orders.item "
                              "from orders, customers "
                              "where orders.customer = customers.id and customers.name <> :name "
                              "and orders.ordered >= :since order by orders.ordered");
        orders.ParamByName("name")->SetAsString("Anna Berg");
        orders.ParamByName("since")->SetAsDate(host::EncodeDate(2000, 1, 20));
        orders.Open();
        example::PrintTable(orders, "orders since 20 Jan 2000, not of Anna Berg");
        orders.Close();

        // Statements that return no rows run with ExecSQL; RowsAffected says how many rows they changed.
        TmSQLQuery statement(nullptr);
        statement.SetDatabase(&database);
        statement.SQL()->SetText("update customers set city = :city where city = :old");
        statement.ParamByName("city")->SetAsString("Berlin");
        statement.ParamByName("old")->SetAsString("Bonn");
        statement.ExecSQL();
        std::printf("update customers set city = 'Berlin' where city = 'Bonn': %d rows changed\n",
                    statement.GetRowsAffected());

        statement.SQL()->SetText("insert into customers (id, name, city) values (:id, :name, :city)");
        statement.ParamByName("id")->SetAsInteger(10);
        statement.ParamByName("name")->SetAsString("Niamh O'Neill");
        statement.ParamByName("city")->SetAsString("Cork");
        statement.ExecSQL();
        std::printf("insert of Niamh O'Neill: %d row\n\n", statement.GetRowsAffected());

        customers.SQL()->SetText(
            "select id, name, city from customers where city = 'Berlin' or city = 'Cork' "
            "order by id");
        customers.Open();
        example::PrintTable(customers, "customers in Berlin or Cork now");
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "query: %s\n", e.what());
        return 1;
    }
}
