// A tour of Corvane's engine call surface on the embedded mSQL engine: open a database, run SQL,
// browse a table through a cursor and its record buffers, order it by an index, restrict it to a key
// range, write rows through generated SQL (quotes and all), and turn result codes into messages.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "access/mSQLAccess.h"
#include "client/Version.h"
#include "client/msqlTypes.h"
#include "common/SampleDatabase.h"
#include "host/Strings.h"

using namespace corvane;

namespace {

TmSQLEngine engine;

// Stops the tour with the engine's message for a failed call.
void Check(DBIResult code, const char* what) {
    if (code == DBIERR_NONE) return;
    std::string message(EngineMessage(code));
    if (message.empty()) engine.GetErrorString(code, message);
    std::fprintf(stderr, "%s failed: %s (code %u)\n", what, message.c_str(), code);
    std::exit(1);
}

// A cursor with its record layout, as a dataset component would hold it.
struct Cursor {
    hDBICur handle = nullptr;
    CURProps props{};
    std::vector<FLDDesc> fields;
    std::vector<uint8_t> record;

    void Describe() {
        Check(engine.GetCursorProps(handle, props), "GetCursorProps");
        fields.resize(props.iFields);
        Check(engine.GetFieldDescs(handle, fields.data()), "GetFieldDescs");
        record.assign(props.iRecBufSize, 0);
    }

    std::string Field(uint16_t number) {
        const FLDDesc& desc = fields[number - 1];
        bool blank = true;
        switch (desc.iFldType) {
        case fldINT32: {
            int32_t value = 0;
            Check(engine.GetField(handle, number, record.data(), &value, blank), "GetField");
            return blank ? "NULL" : std::to_string(value);
        }
        case fldFLOAT: {
            double value = 0;
            Check(engine.GetField(handle, number, record.data(), &value, blank), "GetField");
            return blank ? "NULL" : SQLFloatToStr(value);
        }
        case fldZSTRING: {
            std::string value(desc.iLen + 1u, '\0');
            Check(engine.GetField(handle, number, record.data(), value.data(), blank), "GetField");
            return blank ? "NULL" : value.c_str();
        }
        case fldBLOB: {
            Check(engine.GetField(handle, number, record.data(), nullptr, blank), "GetField");
            if (blank) return "NULL";
            uint32_t size = 0;
            Check(engine.OpenBlob(handle, record.data(), number, dbiREADONLY), "OpenBlob");
            Check(engine.GetBlobSize(handle, record.data(), number, size), "GetBlobSize");
            std::string text(size, '\0');
            uint32_t read = 0;
            Check(engine.GetBlob(handle, record.data(), number, 0, size,
                                 reinterpret_cast<uint8_t*>(text.data()), read),
                  "GetBlob");
            Check(engine.FreeBlob(handle, record.data(), number), "FreeBlob");
            return text;
        }
        default:
            return "?";
        }
    }

    // Prints every row from the first to the last.
    void Print(const char* title) {
        std::printf("-- %s\n", title);
        Check(engine.SetToBegin(handle), "SetToBegin");
        DBIResult code;
        while ((code = engine.GetNextRecord(handle, dbiNOLOCK, record.data(), nullptr)) == DBIERR_NONE) {
            std::string line;
            for (uint16_t n = 1; n <= fields.size(); ++n)
                line += (n > 1 ? " | " : "") + Field(n);
            std::printf("   %s\n", line.c_str());
        }
        // Running off the end is how a scan ends: 8706 "At end of table."
        std::printf("   (%s)\n", std::string(EngineMessage(code)).c_str());
    }
};

} // namespace

int main() {
    if (!mSQLLibraryLoaded()) LoadmSQLLibrary();
    if (!mSQLLibraryUsable()) return 1;
    std::printf("Corvane %s on the embedded mSQL engine\n", CorvaneVersion());
    example::CreateDatabase("tour");

    host::TStringList params;
    params.Add("DatabaseName=tour");
    hDBIDb database = nullptr;
    Check(engine.OpenDatabase(params, database), "OpenDatabase");

    for (const char* sql : {
             "create table customer (id int not null, name char(20), city char(16), balance money, notes "
             "text(8))",
             "create unique index byid on customer (id)",
             "create index byname on customer (name)",
             "insert into customer values (3, 'Ruth Mills', 'Leeds', 120.50, 'Pays on time, always.')",
             "insert into customer values (1, 'Anna Berg', 'Oslo', 9.99, NULL)",
             "insert into customer values (2, 'Carl Dorn', 'Bonn', 0, 'New')",
         })
        Check(engine.QExecDirect(database, qrylangSQL, sql, nullptr), sql);

    Cursor customers;
    Check(engine.OpenTable(database, "customer", "", "", "", 0, dbiREADWRITE, dbiOPENSHARED, xltFIELD, false,
                           nullptr, customers.handle),
          "OpenTable");
    customers.Describe();
    std::printf("customer: %u fields, record buffer of %u bytes, %u indexes\n", customers.props.iFields,
                customers.props.iRecBufSize, customers.props.iIndexes);
    customers.Print("natural order (TEXT notes read through the blob calls)");

    Check(engine.SwitchToIndex(customers.handle, "byname", nullptr, 0, false), "SwitchToIndex");
    customers.Print("ordered by the index byname");

    // A new row written through the record buffer: the generated INSERT escapes the quote.
    Check(engine.InitRecord(customers.handle, customers.record.data()), "InitRecord");
    const int32_t id = 4;
    Check(engine.PutField(customers.handle, 1, customers.record.data(), &id), "PutField");
    Check(engine.PutField(customers.handle, 2, customers.record.data(), "Dara O'Brien"), "PutField");
    Check(engine.PutField(customers.handle, 3, customers.record.data(), "Cork"), "PutField");
    const double balance = 42.25;
    Check(engine.PutField(customers.handle, 4, customers.record.data(), &balance), "PutField");
    Check(engine.InsertRecord(customers.handle, dbiNOLOCK, customers.record.data()), "InsertRecord");
    std::printf("inserted, cursor now on: %s\n", customers.Field(2).c_str());
    customers.Print("after the insert");

    // A range on the current index: names from "B" up to, not including, "D".
    Check(engine.SwitchToIndex(customers.handle, "byname", nullptr, 0, false), "SwitchToIndex");
    std::vector<uint8_t> low = customers.record;
    std::vector<uint8_t> high = customers.record;
    Check(engine.PutField(customers.handle, 2, low.data(), "B"), "PutField");
    Check(engine.PutField(customers.handle, 2, high.data(), "D"), "PutField");
    Check(engine.SetRange(customers.handle, false, 1, 0, low.data(), true, 1, 0, high.data(), false),
          "SetRange");
    customers.Print("range name >= 'B' and name < 'D'");
    Check(engine.ResetRange(customers.handle), "ResetRange");

    // A failing statement reports the server's own text.
    const DBIResult code = engine.QExecDirect(database, qrylangSQL, "select * from nowhere", nullptr);
    std::string text;
    engine.GetErrorString(code, text);
    std::printf("select * from nowhere -> code %u: %s\n", code, text.c_str());

    Check(engine.CloseCursor(customers.handle), "CloseCursor");
    Check(engine.CloseDatabase(database), "CloseDatabase");
    return 0;
}
