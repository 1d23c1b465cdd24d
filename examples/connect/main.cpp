// Connect to an mSQL database and list what is in it: the databases of the server, the tables of
// the database, and for each table its columns and number of rows.
//
// TmSQLDatabase holds the connection. With no Host it talks to the embedded engine (the data folder
// is $MSQL_DATA_DIR); SetHost("127.0.0.1:1114") or a socket path reaches an msqld server instead.
#include <cstdio>
#include <exception>

#include "components/mSQLDbTables.h"
#include "host/Strings.h"

using namespace corvane;

int main() {
    try {
        TmSQLDatabase database(nullptr);
        database.SetDatabaseName("shop");
        database.Open();
        std::printf("connected to database '%s' (%s)\n\n", database.DatabaseName().c_str(),
                    database.GetHostInfo().c_str());

        host::TStringList databases;
        database.GetDatabases(&databases);
        std::printf("databases on the server:");
        for (int i = 0; i < databases.Count(); ++i)
            std::printf(" %s", databases.Strings(i).c_str());
        std::printf("\n\n");

        host::TStringList tables;
        database.GetTableNames(&tables);
        for (int i = 0; i < tables.Count(); ++i) {
            // A table component opens the whole table; its field definitions describe the columns.
            TmSQLTable table(nullptr);
            table.SetDatabase(&database);
            table.SetTableName(tables.Strings(i));
            table.Open();
            std::printf("table %-10s %2d rows, columns:", tables.Strings(i).c_str(), table.RecordCount());
            for (int f = 0; f < table.FieldCount(); ++f) {
                const host::TField* field = table.Fields()->Fields(f);
                std::printf(" %s", field->FieldName().c_str());
            }
            host::TStringList indexes;
            table.GetIndexNames(&indexes);
            std::printf("\n                 indexes:");
            for (int x = 0; x < indexes.Count(); ++x)
                std::printf(" %s", indexes.Strings(x).c_str());
            std::printf("\n");
        }
        database.Close();
        return 0;
    } catch (const std::exception& e) {
        // Engine failures arrive as EmSQLDatabaseError: the message says what the server answered.
        std::fprintf(stderr, "connect: %s\n", e.what());
        return 1;
    }
}
