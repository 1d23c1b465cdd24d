// Memo fields through TmSQLBlobStream: reading whole and in pieces, the blob cache, writing,
// appending, truncating, null values, and the errors of the stream's constructor.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "DataSetFixture.h"
#include "host/Fields.h"
#include "host/Messages.h"
#include "host/SysUtils.h"

namespace corvane::test {
namespace {

class BlobStreamTest : public DataSetTest {
protected:
    void SetUp() override {
        DataSetTest::SetUp();
        Exec("create table notes (id int, body text(8))");
        Exec("create unique index notesid on notes (id)");
        Exec("insert into notes values (1, 'the quick brown fox jumps over the lazy dog')");
        Exec("insert into notes values (2, NULL)");
        table = NewTable("notes");
        table->Open();
        body = dynamic_cast<host::TBlobField*>(table->FieldByName("body"));
        ASSERT_NE(body, nullptr);
    }

    std::unique_ptr<host::TStream> Stream(host::TBlobStreamMode mode) {
        return table->CreateBlobStream(body, mode);
    }

    std::string ServerBody(int id) {
        return Column("select body from notes where id = " + std::to_string(id))[0];
    }

    TestTable* table = nullptr;
    host::TBlobField* body = nullptr;
};

const std::string kText = "the quick brown fox jumps over the lazy dog";

TEST_F(BlobStreamTest, AMemoIsReadWholeOrInPieces) {
    EXPECT_EQ(body->AsString(), kText);
    EXPECT_EQ(body->BlobSize(), static_cast<int64_t>(kText.size()));

    auto stream = Stream(host::bmRead);
    std::string pieces;
    char chunk[5];
    int64_t n;
    while ((n = stream->Read(chunk, sizeof chunk)) > 0)
        pieces.append(chunk, static_cast<size_t>(n));
    EXPECT_EQ(pieces, kText);
    EXPECT_EQ(stream->Read(chunk, sizeof chunk), 0);

    stream->Seek(4, host::soBeginning);
    EXPECT_EQ(stream->Read(chunk, 5), 5);
    EXPECT_EQ(std::string(chunk, 5), "quick");
    EXPECT_EQ(stream->Seek(-3, host::soEnd), static_cast<int64_t>(kText.size()) - 3);
    EXPECT_EQ(stream->Read(chunk, 5), 3);
    EXPECT_EQ(std::string(chunk, 3), "dog");
}

TEST_F(BlobStreamTest, AWholeSequentialReadIsCachedInTheRow) {
    EXPECT_TRUE(table->GetBlobData(body, table->ActiveBuffer()).empty());
    {
        auto stream = Stream(host::bmRead);
        std::string text(static_cast<size_t>(stream->Size()), '\0');
        EXPECT_EQ(stream->Read(text.data(), static_cast<int64_t>(text.size())),
                  static_cast<int64_t>(text.size()));
    }
    EXPECT_EQ(table->GetBlobData(body, table->ActiveBuffer()), kText);
    // The next stream on the row is served from the cache.
    EXPECT_EQ(body->AsString(), kText);
    Exec("update notes set body = 'changed' where id = 1");
    // Moving to another row and back reads the row again.
    table->Next();
    table->Prior();
    EXPECT_TRUE(table->GetBlobData(body, table->ActiveBuffer()).empty());

    // A dataset that does not cache blobs reads through the engine every time.
    table->Close();
    table->fCacheBlobs = false;
    table->Open();
    body = dynamic_cast<host::TBlobField*>(table->FieldByName("body")); // default fields are made anew
    EXPECT_EQ(body->AsString(), "changed");
    EXPECT_TRUE(table->GetBlobData(body, table->ActiveBuffer()).empty());
}

TEST_F(BlobStreamTest, WritingReplacesAppendingKeepsAndTruncatingCuts) {
    table->Edit();
    body->SetAsString("replaced");
    EXPECT_EQ(body->AsString(), "replaced");
    table->Post();
    EXPECT_EQ(ServerBody(1), "replaced");

    // Read-write after a seek to the end appends to the value the row holds.
    table->Edit();
    {
        auto stream = Stream(host::bmReadWrite);
        stream->Seek(0, host::soEnd);
        stream->WriteBuffer(" and more", 9);
    }
    EXPECT_TRUE(body->Modified());
    EXPECT_EQ(body->AsString(), "replaced and more");
    table->Post();
    EXPECT_EQ(ServerBody(1), "replaced and more");

    // Writing in the middle keeps the bytes before it.
    table->Edit();
    {
        auto stream = Stream(host::bmReadWrite);
        stream->Seek(9, host::soBeginning);
        stream->WriteBuffer("AND", 3);
    }
    table->Post();
    EXPECT_EQ(ServerBody(1), "replaced AND more");

    table->Edit();
    {
        auto stream = Stream(host::bmReadWrite);
        stream->Seek(8, host::soBeginning);
        static_cast<TmSQLBlobStream*>(stream.get())->Truncate();
    }
    table->Post();
    EXPECT_EQ(ServerBody(1), "replaced");
}

TEST_F(BlobStreamTest, NullMemosReadEmptyAndWriteModeStartsNull) {
    table->Next();
    EXPECT_TRUE(static_cast<host::TField*>(body)->IsNull());
    EXPECT_EQ(body->AsString(), "");
    EXPECT_EQ(body->BlobSize(), 0);

    table->Edit();
    body->SetAsString("now set");
    table->Post();
    EXPECT_EQ(ServerBody(2), "now set");

    table->Edit();
    {
        auto stream = Stream(host::bmWrite);
        EXPECT_EQ(stream->Size(), 0);
    }
    EXPECT_TRUE(static_cast<host::TField*>(body)->IsNull());
    table->Post();
    EXPECT_EQ(ServerBody(2), "NULL");
}

TEST_F(BlobStreamTest, AnInsertedMemoReachesTheServer) {
    table->Append();
    table->FieldByName("id")->SetAsInteger(3);
    body->SetAsString("fresh");
    table->Post();
    EXPECT_EQ(ServerBody(3), "fresh");
    EXPECT_EQ(body->AsString(), "fresh");
}

TEST_F(BlobStreamTest, ACancelledMemoEditLeavesTheRowAsItWas) {
    table->Edit();
    body->SetAsString("never posted");
    table->Cancel();
    EXPECT_EQ(body->AsString(), kText);
    EXPECT_EQ(ServerBody(1), kText);
}

TEST_F(BlobStreamTest, WritingNeedsAnEditAndAWritableField) {
    EXPECT_EQ(ExpectHostError([&] { Stream(host::bmWrite); }), host::SNotEditing);
    body->SetReadOnly(true);
    table->Edit();
    EXPECT_EQ(ExpectHostError([&] { Stream(host::bmReadWrite); }),
              host::Format(host::SFieldReadOnly, "body"));
    table->Cancel();
}

TEST_F(BlobStreamTest, AFailingChangeNotificationGoesToTheApplicationHandler) {
    body->SetOnChange([](host::TField*) { throw host::EDatabaseError("change refused"); });
    ApplicationExceptions exceptions;
    table->Edit();
    {
        auto stream = Stream(host::bmWrite);
        stream->WriteBuffer("x", 1);
    }
    ASSERT_EQ(exceptions.Messages().size(), 1u);
    EXPECT_EQ(exceptions.Messages()[0], "change refused");
    table->Cancel();
}

TEST_F(BlobStreamTest, GetBlobFieldDataReadsTheWholeValue) {
    std::vector<uint8_t> bytes;
    const int n = table->GetBlobFieldData(body->FieldNo(), bytes);
    ASSERT_EQ(n, static_cast<int>(kText.size()));
    EXPECT_GE(bytes.size(), kText.size() + kText.size() / 4);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + n), kText);
    table->Next();
    std::vector<uint8_t> untouched{1, 2, 3};
    EXPECT_EQ(table->GetBlobFieldData(body->FieldNo(), untouched), 0);
    EXPECT_EQ(untouched, (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(BlobStreamTest, AMemoReadWhileCalculatingFieldsReadsTheRowBeingCalculated) {
    Exec("insert into notes values (3, 'third')");
    table->Close();
    table->FieldDefs()->Update();
    for (int i = 0; i < table->FieldDefs()->Count(); ++i)
        table->FieldDefs()->Items(i)->CreateField(table);
    auto* head = new host::TStringField(table);
    head->SetFieldName("head");
    head->SetSize(8);
    head->SetFieldKind(host::fkCalculated);
    head->SetDataSet(table);
    table->SetOnCalcFields([](host::TDataSet* dataSet) {
        dataSet->FieldByName("head")->SetAsString(dataSet->FieldByName("body")->AsString().substr(0, 5));
    });
    table->Open();
    std::vector<std::string> heads;
    while (!table->Eof()) {
        heads.push_back(table->FieldByName("id")->AsString() + ":" + table->FieldByName("head")->AsString());
        table->Next();
    }
    EXPECT_EQ(heads, (std::vector<std::string>{"1:the q", "2:", "3:third"}));
    // A lookup calculates the row it found, away from the current one.
    table->First();
    const host::Variant found = table->Lookup("id", host::Variant(3), "body;head;id");
    ASSERT_TRUE(found.IsArray());
    EXPECT_EQ(found[0].AsString(), "third");
    EXPECT_EQ(found[1].AsString(), "third");
    EXPECT_EQ(found[2].AsInteger(), 3);
    EXPECT_EQ(table->FieldByName("id")->AsInteger(), 1);
    table->Close();
    delete head;
}

} // namespace
} // namespace corvane::test
