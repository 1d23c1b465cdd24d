// Edit, insert and delete rows through a table, and handle a write the server refuses.
//
// Edit / Insert put the dataset into an editing state; fields are set through TField; Post sends the
// generated UPDATE or INSERT and re-reads the table, Cancel drops the changes. A failed Post leaves
// the dataset in its editing state with the values typed, so the application can correct or cancel.
#include <cstdio>
#include <exception>
#include <string>

#include "common/PrintTable.h"
#include "components/mSQLDbTables.h"
#include "host/DateTime.h"

using namespace corvane;

namespace {

// An engine message on one line (the message separates its parts with "\r\n").
std::string OneLine(std::string text) {
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;)
        text.replace(at, 2, at > 0 && text[at - 1] == ' ' ? "" : " ");
    return text;
}

} // namespace

int main() {
    try {
        TmSQLDatabase database(nullptr);
        database.SetDatabaseName("shop");
        TmSQLTable customers(nullptr);
        customers.SetDatabase(&database);
        customers.SetTableName("customers");
        customers.SetIndexName("cust_id");
        customers.Open();

        // Edit: raise the credit of customer 2.
        if (customers.FindKey({host::Variant(2)})) {
            customers.Edit();
            host::TField* credit = customers.FieldByName("credit");
            credit->SetAsFloat(credit->AsFloat() + 50);
            customers.Post();
            std::printf("customer 2 credit now %s\n", credit->DisplayText().c_str());
        }

        // Insert a new customer; fields left alone are NULL.
        customers.Insert();
        customers.FieldByName("id")->SetAsInteger(9);
        customers.FieldByName("name")->SetAsString("Lea Fox");
        customers.FieldByName("city")->SetAsString("Bonn");
        customers.FieldByName("since")->SetAsDateTime(host::EncodeDate(2000, 2, 14));
        customers.Post();
        // After the Post the new row is the current one, in its place in the index order.
        std::printf("inserted customer %s, %s; the table has %d rows\n",
                    customers.FieldByName("id")->AsString().c_str(),
                    customers.FieldByName("name")->AsString().c_str(), customers.RecordCount());

        // A second customer 3: the unique index cust_id refuses it. Post raises EmSQLDatabaseError
        // with the server's text; the row stays in insert state until it is corrected or cancelled.
        customers.Insert();
        customers.FieldByName("id")->SetAsInteger(3);
        customers.FieldByName("name")->SetAsString("Rita Mills");
        customers.FieldByName("city")->SetAsString("York");
        try {
            customers.Post();
        } catch (const EmSQLDatabaseError& e) {
            std::printf("Post refused (code %u): %s\n", e.ErrorCode(), OneLine(e.Message()).c_str());
            std::printf("still inserting: %s; cancelling\n",
                        customers.State() == host::dsInsert ? "yes" : "no");
            customers.Cancel();
        }

        // Delete customer 8.
        if (customers.FindKey({host::Variant(8)})) {
            customers.Delete();
            std::printf("deleted customer 8\n\n");
        }

        example::PrintTable(customers, "customers after the changes", "id;name;city;since;credit");
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "editing: %s\n", e.what());
        return 1;
    }
}
