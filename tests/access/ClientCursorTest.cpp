// How the cursor reaches the rows of its stored result: a step forward only fetches, every other move
// seeks, and the rows read are the right ones whichever way the cursor got there. The client library's
// seek is replaced by a classic one that walks the row list, so the steps walked show the cost.
#include "ClassicSeek.h"
#include "RecordHelpers.h"

namespace corvane::test {
namespace {

class ClientCursorTest : public AccessTest {
protected:
    void SetUp() override {
        AccessTest::SetUp();
        Exec("create table t (a int, b char(10))");
        Insert(0, kRows);
        connection = Connect();
        cursor = OpenTable(*connection, "t");
        buffer = WorkBuffer(*cursor);
    }
    void TearDown() override {
        cursor.reset();
        connection.reset();
        AccessTest::TearDown();
    }

    // Rows first .. end - 1 with a = the row's number.
    void Insert(int first, int end) {
        for (int start = first; start < end; start += 500) {
            std::string sql = "insert into t values ";
            for (int i = start; i < std::min(end, start + 500); ++i)
                sql += (i > start ? ", (" : "(") + std::to_string(i) + ", 'r" + std::to_string(i) + "')";
            Exec(sql);
        }
    }

    int32_t A() { return IntField(*cursor, buffer.data(), 1); }
    int32_t Next() {
        cursor->GetNextRecord(dbiNOLOCK, buffer.data(), nullptr);
        return A();
    }
    int32_t Prior() {
        cursor->GetPriorRecord(dbiNOLOCK, buffer.data(), nullptr);
        return A();
    }
    int32_t Current() {
        cursor->GetRecord(dbiNOLOCK, buffer.data(), nullptr);
        return A();
    }
    // Reads forwards from the beginning to the end; the values must be 0, 1, 2, ...
    void ScanForwards(int rows) {
        cursor->SetToBegin();
        for (int i = 0; i < rows; ++i)
            ASSERT_EQ(Next(), i);
        ExpectNativeError(DBIERR_EOF, [&] { cursor->GetNextRecord(dbiNOLOCK, buffer.data(), nullptr); });
    }

    static constexpr int kRows = 2000;
    std::unique_ptr<TNativeConnect> connection;
    std::unique_ptr<TNativeDataSet> cursor;
    std::vector<uint8_t> buffer;
};

TEST_F(ClientCursorTest, ForwardScanWalksNoRowsWhateverTheTableSize) {
    ClassicRowSeek seek;
    ScanForwards(kRows);
    EXPECT_EQ(ClassicRowSeek::Seeks(), 1) << "one seek to the first row, then fetches only";
    EXPECT_EQ(ClassicRowSeek::Steps(), 0);

    // Ten times the rows: still one seek per scan and nothing walked (seeking every row would walk
    // the sum of all positions, 2 * 10^8 steps here).
    Insert(kRows, 10 * kRows);
    cursor->ForceReread();
    ClassicRowSeek::Reset();
    ScanForwards(10 * kRows);
    EXPECT_EQ(ClassicRowSeek::Seeks(), 1);
    EXPECT_EQ(ClassicRowSeek::Steps(), 0);
}

TEST_F(ClientCursorTest, BackwardStepsSeekAndReadTheRightRows) {
    ClassicRowSeek seek;
    cursor->SetToEnd();
    for (int i = kRows - 1; i >= kRows - 50; --i)
        ASSERT_EQ(Prior(), i);
    EXPECT_EQ(ClassicRowSeek::Seeks(), 50) << "every step back is a jump for the client";
    ClassicRowSeek::Reset();
    EXPECT_EQ(Next(), kRows - 49) << "after a step back the next row is fetched without a seek";
    EXPECT_EQ(ClassicRowSeek::Seeks(), 0);
}

TEST_F(ClientCursorTest, JumpsSeekOnceAndTheStepsAfterThemOnlyFetch) {
    ClassicRowSeek seek;
    EXPECT_EQ(Next(), 0);
    EXPECT_EQ(Next(), 1);
    EXPECT_EQ(Current(), 1);
    EXPECT_EQ(ClassicRowSeek::Seeks(), 1) << "reading the current row again asks the client for nothing";

    // Bookmarks.
    uint8_t bookmark[BookmarkSize];
    cursor->GetBookMark(bookmark);
    cursor->SettoSeqNo(700);
    EXPECT_EQ(Current(), 700);
    EXPECT_EQ(Next(), 701);
    EXPECT_EQ(ClassicRowSeek::Seeks(), 2);
    cursor->SetToBookmark(bookmark);
    EXPECT_EQ(Current(), 1);
    EXPECT_EQ(Next(), 2);
    EXPECT_EQ(ClassicRowSeek::Seeks(), 3);

    // The end and back.
    cursor->SetToEnd();
    EXPECT_EQ(Prior(), kRows - 1);
    EXPECT_EQ(Prior(), kRows - 2);
    EXPECT_EQ(Next(), kRows - 1);
    EXPECT_EQ(ClassicRowSeek::Seeks(), 5);
}

TEST_F(ClientCursorTest, ReadsAfterAReRunStartFromTheNewResult) {
    ClassicRowSeek seek;
    for (int i = 0; i < 5; ++i)
        Next();
    // Another client deletes the first rows; the re-run result has other rows at the same places.
    Exec("delete from t where a < 3");
    cursor->ForceReread();
    EXPECT_EQ(cursor->GetRecordNo(), 4);
    EXPECT_EQ(Current(), 7) << "the row now at the record number, not the old result's";
    EXPECT_EQ(Next(), 8);

    // A write re-runs the statement as well.
    std::vector<uint8_t> old = buffer;
    SetInt(*cursor, buffer, 1, -8);
    cursor->ModifyRecord(old.data(), buffer.data(), 0);
    const int64_t seeks = ClassicRowSeek::Seeks();
    cursor->SetToBegin();
    EXPECT_EQ(Next(), 3);
    EXPECT_EQ(Next(), 4);
    EXPECT_EQ(ClassicRowSeek::Seeks(), seeks + 1);
    std::vector<int32_t> values;
    cursor->SetToBegin();
    for (int i = 0; i < kRows - 3; ++i)
        values.push_back(Next());
    EXPECT_EQ(std::count(values.begin(), values.end(), -8), 1);
    EXPECT_EQ(std::count(values.begin(), values.end(), 8), 0);
}

TEST_F(ClientCursorTest, ReRunWithFewerRowsKeepsTheLastOrNone) {
    cursor->SetToEnd();
    EXPECT_EQ(Prior(), kRows - 1);
    Exec("delete from t where a >= 10");
    cursor->ForceReread();
    EXPECT_EQ(cursor->GetRecordCount(), 10);
    EXPECT_EQ(Current(), 9) << "the last row when the record number is gone";
    Exec("delete from t");
    cursor->ForceReread();
    EXPECT_EQ(cursor->GetRecordCount(), 0);
    EXPECT_EQ(cursor->Position(), cpUnpositioned);
    ExpectNativeError(DBIERR_NOCURRREC, [&] { cursor->GetRecord(dbiNOLOCK, buffer.data(), nullptr); });
}

// A buffer handed to InitRecord or GetWorkRecord belongs to the caller again when the call returns:
// moves without a buffer afterwards (a bookmark, a record number) must not write into it.
TEST_F(ClientCursorTest, ARecordBufferIsNotWrittenAfterTheCallItWasHandedTo) {
    Next();
    uint8_t bookmark[BookmarkSize];
    cursor->GetBookMark(bookmark);
    auto abandoned = std::make_unique<std::vector<uint8_t>>(buffer.size(), 0);
    auto movesLeaveItAlone = [&] {
        const std::vector<uint8_t> kept = *abandoned;
        cursor->SetToBookmark(bookmark);
        cursor->SettoSeqNo(5);
        cursor->SetToRecord(6);
        EXPECT_EQ(*abandoned, kept);
    };
    cursor->InitRecord(abandoned->data());
    EXPECT_EQ(cursor->GetCurrentBuffer(), nullptr);
    movesLeaveItAlone();
    cursor->GetWorkRecord(dbiNOLOCK, abandoned->data());
    EXPECT_EQ(cursor->GetCurrentBuffer(), nullptr);
    movesLeaveItAlone();
    // Freed: under the address sanitizer a later write into it would be reported.
    abandoned.reset();
    cursor->SetToBookmark(bookmark);
    cursor->SettoSeqNo(9);
    EXPECT_EQ(Current(), 9);
}

} // namespace
} // namespace corvane::test
