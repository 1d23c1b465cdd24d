// The sample database of corvane-browse: customers with notes, and their orders.
#pragma once

#include <string>

namespace browse {

// (Re)creates database name on host (empty: the embedded engine) with two tables:
//   customers (id int, name char(24), city char(16), since date, balance money, notes text(120)),
//     indexes customers_id (unique, id), customers_name (name), customers_city (city, name);
//   orders (id int, customer int, item char(24), qty int, price money),
//     indexes orders_id (unique, id), orders_customer (customer, id).
// customers rows, three orders each. Throws std::runtime_error with the server's message.
void CreateSampleDatabase(const std::string& host, const std::string& name, int customers = 40);

} // namespace browse
