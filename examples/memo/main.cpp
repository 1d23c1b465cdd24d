// Memo (TEXT) fields through blob streams. A TEXT column becomes a memo field; the dataset hands out
// a stream on its value with CreateBlobStream, for reading it in pieces or writing a new value
// while the row is being edited. TMemoField::AsString / SetAsString do the same in one call.
#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "common/PrintTable.h"
#include "components/mSQLDbTables.h"
#include "host/Stream.h"

using namespace corvane;

int main() {
    try {
        TmSQLDatabase database(nullptr);
        database.SetDatabaseName("shop");
        TmSQLTable notes(nullptr);
        notes.SetDatabase(&database);
        notes.SetTableName("notes");
        notes.SetIndexName("note_id");
        notes.Open();
        host::TField* body = notes.FieldByName("body");
        std::printf("field body: %s, %s\n\n", body->ClassName().c_str(),
                    body->IsBlob() ? "a blob field" : "not a blob");

        // Read the long note of customer 3 in pieces of 40 bytes, as a viewer would.
        if (notes.Locate("customer", host::Variant(3), {})) {
            std::unique_ptr<host::TStream> stream = notes.CreateBlobStream(body, host::bmRead);
            std::printf("note of customer 3, %lld bytes:\n", static_cast<long long>(stream->Size()));
            char piece[40];
            for (int64_t n; (n = stream->Read(piece, sizeof piece)) > 0;)
                std::printf("  |%.*s|\n", static_cast<int>(n), piece);
            std::printf("\n");
        }

        // Write a new value through a write stream: it starts empty, and the value goes to the server
        // with the Post. The stream must be released before the Post.
        if (notes.Locate("customer", host::Variant(4), {})) {
            notes.Edit();
            {
                std::unique_ptr<host::TStream> stream = notes.CreateBlobStream(body, host::bmWrite);
                const std::string lines[] = {"Called on 7 Feb: ", "wants a quote for ten desks."};
                for (const std::string& line : lines)
                    stream->WriteBuffer(line.data(), static_cast<int64_t>(line.size()));
            }
            notes.Post();
            std::printf("note of customer 4 written: %s\n", body->AsString().c_str());
        }

        // The same in one call, on a new row.
        notes.Append();
        notes.FieldByName("id")->SetAsInteger(4);
        notes.FieldByName("customer")->SetAsInteger(7);
        body->SetAsString("Pays by bank transfer.\nSend invoices by mail.");
        notes.Post();

        example::PrintTable(notes, "\nnotes", "id;customer;written;body");
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "memo: %s\n", e.what());
        return 1;
    }
}
