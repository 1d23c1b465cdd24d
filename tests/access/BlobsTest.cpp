// TEXT blobs: reading from the row, edit streams, and writing them through generated statements.
#include <cstring>

#include "AccessFixture.h"
#include "RecordHelpers.h"

namespace corvane::test {
namespace {

class BlobsTest : public AccessTest {
protected:
    void SetUp() override {
        AccessTest::SetUp();
        Exec("create table b (k int, x text(4))");
        Exec("create unique index bk on b (k)");
        Exec("insert into b values (1, 'hello world, longer than four')");
        Exec("insert into b values (2, NULL)");
        connection = Connect();
        cursor = OpenTable(*connection, "b");
        row = WorkBuffer(*cursor);
        cursor->GetNextRecord(dbiNOLOCK, row.data(), nullptr);
    }
    void TearDown() override {
        cursor.reset();
        connection.reset();
        AccessTest::TearDown();
    }

    std::string Read(std::vector<uint8_t>& record, uint32_t offset = 0, uint32_t length = 1000) {
        std::string text(length, '\0');
        uint32_t read = 0;
        cursor->GetBlob(record.data(), 2, offset, length, reinterpret_cast<uint8_t*>(text.data()), read);
        text.resize(read);
        return text;
    }
    void Write(std::vector<uint8_t>& record, const std::string& text, uint32_t offset = 0) {
        cursor->PutBlob(record.data(), 2, offset, static_cast<uint32_t>(text.size()),
                        reinterpret_cast<const uint8_t*>(text.data()));
    }
    uint32_t Size(std::vector<uint8_t>& record) {
        uint32_t size = 0;
        cursor->GetBlobSize(record.data(), 2, size);
        return size;
    }
    bool IsNull(std::vector<uint8_t>& record) {
        bool blank = false;
        cursor->GetField(2, record.data(), nullptr, blank);
        return blank;
    }

    std::unique_ptr<TNativeConnect> connection;
    std::unique_ptr<TNativeDataSet> cursor;
    std::vector<uint8_t> row;
};

TEST_F(BlobsTest, TextsLongerThanTheirDeclaredLengthAreReadWhole) {
    cursor->OpenBlob(row.data(), 2, dbiREADONLY);
    EXPECT_EQ(Size(row), 29u);
    EXPECT_EQ(Read(row), "hello world, longer than four");
    EXPECT_EQ(Read(row, 6, 5), "world");
    EXPECT_EQ(Read(row, 29), "");
    EXPECT_EQ(Read(row, 1000), "");

    cursor->GetNextRecord(dbiNOLOCK, row.data(), nullptr);
    EXPECT_EQ(Size(row), 0u) << "a NULL text";
    EXPECT_EQ(Read(row), "");
}

TEST_F(BlobsTest, EditStreamsHoldWhatIsWritten) {
    Write(row, "new text beyond the in-row part");
    EXPECT_EQ(Read(row), "new text beyond the in-row part");
    EXPECT_EQ(Size(row), 31u) << "the edited value is read back whole";
    EXPECT_FALSE(IsNull(row));
    EXPECT_EQ(cursor->BlobStreams().Count(), 1u);

    Write(row, "NEW", 0);
    EXPECT_EQ(Read(row, 0, 8), "NEW text");
    cursor->PutBlob(row.data(), 2, 5, 0, nullptr);
    EXPECT_EQ(Size(row), 31u) << "0 bytes at another offset change nothing";

    cursor->TruncateBlob(row.data(), 2, 8);
    EXPECT_EQ(Read(row), "NEW text");
    cursor->TruncateBlob(row.data(), 2, 100);
    EXPECT_EQ(Read(row), "NEW text") << "truncating never lengthens";
    cursor->TruncateBlob(row.data(), 2, 0);
    EXPECT_EQ(Read(row), "");
    EXPECT_TRUE(IsNull(row));

    cursor->FreeBlob(row.data(), 2);
    EXPECT_EQ(cursor->BlobStreams().Count(), 0u) << "released although the value is null";
}

TEST_F(BlobsTest, WritingIntoAnUneditedTextKeepsTheRowsTextAroundIt) {
    Write(row, "HELLO", 0);
    EXPECT_EQ(Read(row), "HELLO world, longer than four");
    Write(row, "!", Size(row));
    EXPECT_EQ(Read(row), "HELLO world, longer than four!") << "a write at the end appends";

    // A null value has no text to keep: the edit starts empty.
    std::vector<uint8_t> second = WorkBuffer(*cursor);
    cursor->GetNextRecord(dbiNOLOCK, second.data(), nullptr);
    ASSERT_TRUE(IsNull(second));
    Write(second, "abc", 0);
    EXPECT_EQ(Read(second), "abc");
}

TEST_F(BlobsTest, TruncatingAnUneditedTextCutsTheRowsText) {
    cursor->TruncateBlob(row.data(), 2, 5);
    EXPECT_EQ(Read(row), "hello");
    EXPECT_EQ(Size(row), 5u);
}

TEST_F(BlobsTest, StaleHandlesAreDetected) {
    Write(row, "edited");
    std::vector<uint8_t> copy = row;
    cursor->FreeBlob(row.data(), 2);
    EXPECT_EQ(Read(copy), "hello world, longer than four") << "a released stream is never read";
    std::vector<uint8_t> changed = copy;
    ExpectNativeError(DBIERR_INVALIDHNDL, [&] { cursor->ModifyRecord(row.data(), changed.data(), 0); });

    Write(copy, "again");
    EXPECT_EQ(Read(copy), "again world, longer than four") << "a stale slot gets a new stream";
    Write(row, "other");
    EXPECT_EQ(Read(copy), "again world, longer than four");
    EXPECT_EQ(Read(row), "other world, longer than four");
}

TEST_F(BlobsTest, OperationsCheckTheField) {
    uint32_t size = 0;
    ExpectNativeError(DBIERR_NOTABLOB, [&] { cursor->OpenBlob(row.data(), 1, dbiREADWRITE); });
    ExpectNativeError(DBIERR_NOTABLOB, [&] { cursor->GetBlobSize(row.data(), 1, size); });
    ExpectNativeError(DBIERR_NOTABLOB, [&] { cursor->TruncateBlob(row.data(), 1, 0); });
    ExpectNativeError(DBIERR_INVALIDRECSTRUCT, [&] { cursor->FreeBlob(row.data(), 0); });
    ExpectNativeError(DBIERR_INVALIDPARAM, [&] { cursor->GetBlobSize(nullptr, 2, size); });
    ExpectNativeError(DBIERR_INVALIDPARAM, [&] { cursor->PutBlob(row.data(), 2, 0, 4, nullptr); });
    uint32_t read = 7;
    cursor->GetBlob(row.data(), 1, 0, 0, nullptr, read);
    EXPECT_EQ(read, 0u) << "nothing to read: no check either";
}

TEST_F(BlobsTest, WritesBeyondWhatATextValueCanHoldAreRefused) {
    const uint8_t byte = 'x';
    ExpectNativeError(DBIERR_INVALIDPARAM,
                      [&] { cursor->PutBlob(row.data(), 2, MaxTextValueSize, 1, &byte); });
    ExpectNativeError(DBIERR_INVALIDPARAM, [&] { cursor->PutBlob(row.data(), 2, 0xFFFFFFF0u, 1, &byte); });
    ExpectNativeError(DBIERR_INVALIDPARAM, [&] { cursor->PutBlob(row.data(), 2, 0xFFFFFFFFu, 0, nullptr); });
    const std::vector<uint8_t> big(MaxTextValueSize + 1, 'y');
    ExpectNativeError(DBIERR_INVALIDPARAM, [&] { Write(row, std::string(big.begin(), big.end())); });
    EXPECT_EQ(cursor->BlobStreams().Count(), 0u) << "nothing is allocated";
    EXPECT_EQ(Read(row), "hello world, longer than four") << "the value is unchanged";
    EXPECT_FALSE(cursor->FieldDescs().GetField(2)->GetChanged());

    cursor->PutBlob(row.data(), 2, MaxTextValueSize - 1, 1, &byte);
    EXPECT_EQ(Size(row), MaxTextValueSize) << "up to the limit";
}

TEST_F(BlobsTest, EditedTextsAreWrittenWholeAndReleased) {
    const std::string text = std::string(300, 'x') + "'\\ end";
    std::vector<uint8_t> changed = row;
    Write(changed, text);
    cursor->ModifyRecord(row.data(), changed.data(), 0);
    EXPECT_EQ(QueryRows(fAdmin, "select x from b where k = 1"), std::vector<std::string>{text});
    EXPECT_EQ(cursor->BlobStreams().Count(), 0u);
    EXPECT_EQ(Read(changed), text) << "the buffer now holds the stored row";

    std::vector<uint8_t> record = NewRecord(*cursor);
    SetInt(*cursor, record, 1, 3);
    Write(record, "inserted");
    cursor->InsertRecord(dbiNOLOCK, record.data());
    EXPECT_EQ(QueryRows(fAdmin, "select x from b where k = 3"), std::vector<std::string>{"inserted"});
    EXPECT_EQ(cursor->BlobStreams().Count(), 0u);

    // A text emptied by truncation is written as NULL.
    std::vector<uint8_t> emptied = record;
    cursor->TruncateBlob(emptied.data(), 2, 0);
    cursor->ModifyRecord(record.data(), emptied.data(), 0);
    EXPECT_EQ(QueryRows(fAdmin, "select x from b where k = 3"), std::vector<std::string>{"NULL"});
}

TEST_F(BlobsTest, HandlesAreNotHandedOutTwice) {
    TBlobStreams streams;
    const uint32_t first = streams.Create();
    streams.Release(first);
    const uint32_t second = streams.Create();
    EXPECT_NE(first, second);
    EXPECT_NE(first, TBlobStreams::NoStream);
    EXPECT_EQ(streams.Find(first), nullptr);
    EXPECT_NE(streams.Find(second), nullptr);
    EXPECT_EQ(streams.Find(TBlobStreams::NoStream), nullptr);
}

} // namespace
} // namespace corvane::test
