#include "host/Stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "host/Exceptions.h"

namespace {

using host::TMemoryStream;
using host::TStringStream;

std::string Content(TMemoryStream& s) {
    return std::string(reinterpret_cast<const char*>(s.Memory()), static_cast<size_t>(s.Size()));
}

TEST(MemoryStream, WriteGrowsAndReadStopsAtTheEnd) {
    TMemoryStream s;
    EXPECT_EQ(s.Write("hello", 5), 5);
    EXPECT_EQ(s.Size(), 5);
    EXPECT_EQ(s.Position(), 5);
    char buf[16] = {};
    EXPECT_EQ(s.Read(buf, 4), 0); // at the end
    s.SetPosition(1);
    EXPECT_EQ(s.Read(buf, 10), 4);
    EXPECT_EQ(std::string(buf, 4), "ello");
    EXPECT_EQ(s.Position(), 5);
}

TEST(MemoryStream, SeekFromEachOrigin) {
    TMemoryStream s;
    s.Write("0123456789", 10);
    EXPECT_EQ(s.Seek(3, host::soFromBeginning), 3);
    EXPECT_EQ(s.Seek(2, host::soFromCurrent), 5);
    EXPECT_EQ(s.Seek(-1, host::soFromEnd), 9);
    char c = 0;
    s.Read(&c, 1);
    EXPECT_EQ(c, '9');
    EXPECT_EQ(s.Seek(-100, host::soFromCurrent), 0); // never before the start
}

TEST(MemoryStream, WritingBeyondTheEndZeroFillsTheGap) {
    TMemoryStream s;
    s.Write("ab", 2);
    s.SetPosition(5);
    EXPECT_EQ(s.Size(), 2); // a position beyond the end does not grow the stream
    s.Write("z", 1);
    EXPECT_EQ(s.Size(), 6);
    EXPECT_EQ(Content(s), std::string("ab\0\0\0z", 6));
}

TEST(MemoryStream, CapacityGrowsInEightKilobyteBlocks) {
    TMemoryStream s;
    s.Write("x", 1);
    EXPECT_EQ(s.Capacity(), 8192);
    s.SetSize(8193);
    EXPECT_EQ(s.Capacity(), 16384);
    EXPECT_EQ(s.Size(), 8193);
}

TEST(MemoryStream, SetSizeKeepsPositionUnlessBeyondAndKeepsContent) {
    TMemoryStream s;
    s.Write("abcdef", 6);
    s.SetPosition(2);
    s.SetSize(4);
    EXPECT_EQ(s.Position(), 2);
    EXPECT_EQ(Content(s), "abcd");
    s.SetPosition(4);
    s.SetSize(1);
    EXPECT_EQ(s.Position(), 1);
    s.SetSize(3);
    EXPECT_EQ(Content(s), std::string("a\0\0", 3)); // grown bytes are zero, not stale
}

TEST(MemoryStream, ClearEmptiesAndReleases) {
    TMemoryStream s;
    s.Write("abc", 3);
    s.Clear();
    EXPECT_EQ(s.Size(), 0);
    EXPECT_EQ(s.Position(), 0);
    EXPECT_EQ(s.Capacity(), 0);
    EXPECT_EQ(s.Memory(), nullptr);
}

TEST(Stream, ReadBufferAndWriteBufferRaiseOnShortTransfers) {
    TMemoryStream s;
    s.Write("abc", 3);
    s.SetPosition(1);
    char buf[8];
    try {
        s.ReadBuffer(buf, 3);
        FAIL();
    } catch (const host::EReadError& e) {
        EXPECT_EQ(e.Message(), "Stream read error");
    }
    s.SetPosition(0);
    s.ReadBuffer(buf, 3);
    EXPECT_EQ(std::string(buf, 3), "abc");
    s.ReadBuffer(buf, 0); // nothing to read is not an error
}

// A stream that accepts only a few bytes, to exercise WriteBuffer's check.
class TTinyStream : public host::TStream {
public:
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void*, int64_t count) override { return count > 2 ? 2 : count; }
    int64_t Seek(int64_t, host::TSeekOrigin) override { return 0; }
};

TEST(Stream, WriteBufferRaisesWriteError) {
    TTinyStream s;
    s.WriteBuffer("ab", 2);
    EXPECT_THROW(s.WriteBuffer("abc", 3), host::EWriteError);
}

TEST(Stream, CopyFromZeroCopiesTheWholeSourceFromTheStart) {
    TMemoryStream source;
    std::string big(200000, 'q');
    big[150000] = '!';
    source.Write(big.data(), static_cast<int64_t>(big.size()));
    TMemoryStream dest;
    dest.Write(">", 1);
    EXPECT_EQ(dest.CopyFrom(source, 0), 200000);
    EXPECT_EQ(dest.Size(), 200001);
    EXPECT_EQ(Content(dest).substr(1), big);
}

TEST(Stream, CopyFromCountCopiesFromTheCurrentPosition) {
    TMemoryStream source;
    source.Write("0123456789", 10);
    source.SetPosition(4);
    TMemoryStream dest;
    EXPECT_EQ(dest.CopyFrom(source, 3), 3);
    EXPECT_EQ(Content(dest), "456");
    EXPECT_EQ(source.Position(), 7);
    EXPECT_THROW(dest.CopyFrom(source, 10), host::EReadError);
}

TEST(MemoryStream, LoadFromStreamTakesTheWholeSourceAndSaveWritesAll) {
    TStringStream source("payload");
    source.SetPosition(3);
    TMemoryStream m;
    m.LoadFromStream(source);
    EXPECT_EQ(Content(m), "payload");
    EXPECT_EQ(m.Position(), 0);
    TStringStream out;
    m.SaveToStream(out);
    EXPECT_EQ(out.DataString(), "payload");
}

TEST(MemoryStream, FileRoundTripAndMissingFileError) {
    const std::string path = ::testing::TempDir() + "corvane_memstream_test.bin";
    TMemoryStream m;
    m.Write("\x00\x01\x02zz", 5);
    m.SaveToFile(path);
    TMemoryStream back;
    back.LoadFromFile(path);
    EXPECT_EQ(Content(back), std::string("\x00\x01\x02zz", 5));
    std::remove(path.c_str());
    EXPECT_THROW(back.LoadFromFile(path), host::EFOpenError);
}

TEST(StringStream, ReadWriteAndOverwrite) {
    TStringStream s("hello world");
    EXPECT_EQ(s.ReadString(5), "hello");
    s.WriteString("!!");
    EXPECT_EQ(s.DataString(), "hello!!orld");
    s.Seek(0, host::soFromEnd);
    s.WriteString("?");
    EXPECT_EQ(s.DataString(), "hello!!orld?");
    s.SetSize(5);
    EXPECT_EQ(s.DataString(), "hello");
    EXPECT_EQ(s.Position(), 5);
    EXPECT_EQ(s.ReadString(3), "");
}

TEST(Stream, BaseSizeMeasuresWithoutMovingThePosition) {
    TStringStream s("abcdef");
    s.SetPosition(2);
    host::TStream& base = s;
    EXPECT_EQ(base.TStream::Size(), 6);
    EXPECT_EQ(s.Position(), 2);
}

} // namespace
