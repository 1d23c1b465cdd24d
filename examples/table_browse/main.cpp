// Browse a table in the order of an index, narrow it to a key range, filter it, and search it.
//
// A TmSQLTable reads the rows in the order of its IndexName (the server sorts them); a range keeps
// the rows whose index key lies between two values (also done by the server), and a filter is an
// expression every row must pass, evaluated on the client.
#include <cstdio>
#include <exception>

#include "common/PrintTable.h"
#include "components/mSQLDbTables.h"

using namespace corvane;

int main() {
    try {
        TmSQLDatabase database(nullptr);
        database.SetDatabaseName("shop");

        TmSQLTable customers(nullptr);
        customers.SetDatabase(&database); // opening the table connects the database
        customers.SetTableName("customers");
        customers.SetIndexName("cust_name");
        customers.Open();
        example::PrintTable(customers, "customers in the order of the index cust_name",
                            "id;name;city;credit");

        // The index cust_city orders by city, then name. A range on its leading field: the cities
        // from "B" up to and including "Lagos".
        customers.SetIndexName("cust_city");
        customers.SetRange({host::Variant("B")}, {host::Variant("Lagos")});
        example::PrintTable(customers, "range: cities from 'B' to 'Lagos'", "city;name;credit");

        // A filter on top of the range. Its syntax is the host framework's filter expression.
        customers.SetFilter("credit >= 100");
        customers.SetFiltered(true);
        example::PrintTable(customers, "range and filter credit >= 100", "city;name;credit");

        customers.SetFiltered(false);
        customers.CancelRange();

        // FindKey searches on the index in force; Locate searches any fields (here without an index,
        // ignoring case).
        if (customers.FindKey({host::Variant("Oslo")}))
            std::printf("FindKey(Oslo) on cust_city -> %s\n",
                        customers.FieldByName("name")->AsString().c_str());
        if (customers.Locate("name", host::Variant("marta ruiz"),
                             host::TLocateOptions{host::loCaseInsensitive}))
            std::printf("Locate(name = 'marta ruiz', case-insensitive) -> id %d, %s\n",
                        customers.FieldByName("id")->AsInteger(),
                        customers.FieldByName("city")->AsString().c_str());
        if (!customers.Locate("city", host::Variant("Paris"), {}))
            std::printf("Locate(city = 'Paris') -> no such customer\n");
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "browse: %s\n", e.what());
        return 1;
    }
}
