// Result storage: the engine result's rows are the m_data list callers walk and seek, across
// block boundaries and row widths; NULL, empty and long values keep their identity; one result is
// bounded by the configured limit, from the engine and through the C API.
#include "MsqlFixture.h"

#include "client/StoredResult.h"
#include "engine/Error.h"
#include "engine/ResultSet.h"
#include "engine/Session.h"

#include <stdexcept>

using namespace msqltest;

namespace {

msql::ResultSet WithFields(size_t count) {
    msql::ResultSet rs;
    rs.fields.resize(count);
    return rs;
}

// The expected text of row r, column c: lengths vary so that texts straddle text blocks.
std::string CellText(size_t r, size_t c) {
    return std::to_string(r) + ":" + std::to_string(c) + std::string((r * 7 + c) % 23, 'x');
}

bool IsNullCell(size_t r, size_t c) {
    return (r + c) % 11 == 0;
}

} // namespace

TEST(ResultStorage, RowsAreLinkedSeekableAndIntactAcrossBlocks) {
    for (size_t width : {size_t{1}, size_t{6}, size_t{75}}) {
        msql::ResultSet rs = WithFields(width);
        const size_t rows = 20000;
        for (size_t r = 0; r < rows; ++r) {
            for (size_t c = 0; c < width; ++c) {
                if (IsNullCell(r, c)) {
                    rs.AddNull();
                } else if (c % 2) {
                    rs.AddText(CellText(r, c));
                } else {
                    rs.BeginText() += CellText(r, c);
                    rs.EndText();
                }
            }
        }
        ASSERT_EQ(rs.RowCount(), rows);
        // Slack: at most the unfilled end of the last row block and text block (256 KiB each).
        EXPECT_LE(rs.BytesAllocated(), rs.Size() + (512 << 10)) << width;

        m_result* result = msql::MakeStoredResult(std::move(rs));
        ASSERT_EQ(msqlNumRows(result), static_cast<int>(rows));
        size_t r = 0;
        for (m_data* node = result->queryData; node; node = node->next, ++r) {
            ASSERT_EQ(node->width, static_cast<int>(width));
            for (size_t c = 0; c < width; ++c) {
                if (IsNullCell(r, c))
                    ASSERT_EQ(node->data[c], nullptr) << r << "," << c;
                else
                    ASSERT_STREQ(node->data[c], CellText(r, c).c_str()) << r << "," << c;
            }
        }
        EXPECT_EQ(r, rows);
        // Seeks land on the row asked for, in the first, doubling and capped blocks alike.
        for (size_t n : {size_t{0}, size_t{1}, size_t{2}, size_t{63}, size_t{64}, size_t{1000}, size_t{4095},
                         size_t{4096}, size_t{12345}, rows - 1}) {
            msqlDataSeek(result, static_cast<int>(n));
            m_row row = msqlFetchRow(result);
            ASSERT_NE(row, nullptr) << n;
            size_t c = IsNullCell(n, 0) ? 1 % width : 0;
            if (!IsNullCell(n, c)) {
                EXPECT_STREQ(row[c], CellText(n, c).c_str()) << n;
            }
            m_row next = msqlFetchRow(result);
            EXPECT_EQ(next == nullptr, n + 1 == rows);
        }
        msql::FreeStoredResult(result);
    }
}

TEST(ResultStorage, LongValuesBetweenShortOnesKeepEveryText) {
    msql::ResultSet rs = WithFields(2);
    std::vector<std::string> texts;
    for (size_t i = 0; i < 40; ++i)
        texts.push_back(std::string(i % 3 == 0 ? 200000 + i : i, static_cast<char>('a' + i % 26)));
    for (size_t i = 0; i < texts.size(); ++i) {
        rs.AddText(texts[i]);
        rs.AddText("");
    }
    m_result* result = msql::MakeStoredResult(std::move(rs));
    for (size_t i = 0; i < texts.size(); ++i) {
        m_row row = msqlFetchRow(result);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row[0], texts[i]);
        ASSERT_NE(row[1], nullptr); // empty, not NULL
        EXPECT_STREQ(row[1], "");
    }
    EXPECT_EQ(msqlFetchRow(result), nullptr);
    msql::FreeStoredResult(result);
}

TEST(ResultStorage, ResultWithoutRowsOrFieldsIsEmpty) {
    msql::ResultSet none = WithFields(0);
    EXPECT_THROW(none.AddText("no field for it"), std::logic_error);
    EXPECT_THROW(none.AddNull(), std::logic_error);
    EXPECT_EQ(none.RowCount(), 0u);
    m_result* result = msql::MakeStoredResult(std::move(none));
    EXPECT_EQ(result->queryData, nullptr);
    EXPECT_EQ(msqlFetchRow(result), nullptr);
    EXPECT_EQ(msqlFetchField(result), nullptr);
    msqlDataSeek(result, 0);
    EXPECT_EQ(msqlFetchRow(result), nullptr);
    msql::FreeStoredResult(result);

    msql::ResultSet moved = WithFields(1);
    moved.AddText("kept");
    msql::ResultSet target = std::move(moved);
    EXPECT_EQ(moved.RowCount(), 0u);
    EXPECT_EQ(moved.FirstRow(), nullptr);
    ASSERT_EQ(target.RowCount(), 1u);
    EXPECT_EQ(target.Value(0, 0), "kept");
}

// A client reading a server's reply knows the field count from the header and the descriptions
// only after the rows.
TEST(ResultStorage, DescriptionsMayFollowTheRowsButNotChangeTheirCount) {
    msql::ResultSet rs = WithFields(2);
    rs.AddText("a");
    rs.AddNull();
    rs.fields[0].name = "x";
    rs.fields[1].name = "y";
    m_result* result = msql::MakeStoredResult(std::move(rs));
    EXPECT_STREQ(msqlFetchField(result)->name, "x");
    EXPECT_STREQ(msqlFetchRow(result)[0], "a");
    msql::FreeStoredResult(result);

    msql::ResultSet grown = WithFields(2);
    grown.AddText("a");
    grown.AddText("b");
    grown.fields.emplace_back();
    EXPECT_THROW(grown.AddText("c"), std::logic_error);
    EXPECT_THROW(msql::MakeStoredResult(std::move(grown)), std::logic_error);
}

TEST(ResultStorage, LimitBoundsRowsAndTexts) {
    msql::ResultSet rs = WithFields(2);
    rs.SetLimit(10000);
    try {
        for (int i = 0; i < 100000; ++i) {
            rs.AddText("0123456789");
            rs.AddNull();
        }
        FAIL() << "no limit";
    } catch (const msql::Error& e) {
        EXPECT_STREQ(e.what(), "Query result too large (limit 10000 bytes)");
    }
    EXPECT_LE(rs.Size(), 10000u);
    // Blocks are cut to what the limit leaves room for; only a text block's unfilled end remains.
    EXPECT_LE(rs.BytesAllocated(), 10000u + 2048);

    msql::ResultSet one = WithFields(1);
    one.SetLimit(1000);
    EXPECT_THROW(one.AddText(std::string(2000, 'v')), msql::Error);
    EXPECT_EQ(one.RowCount(), 0u);
}

TEST(ResultStorage, ByteCountsReadWithSuffixes) {
    EXPECT_EQ(msql::Session::ParseByteCount("4096"), 4096u);
    EXPECT_EQ(msql::Session::ParseByteCount("64k"), 65536u);
    EXPECT_EQ(msql::Session::ParseByteCount("2M"), 2u << 20);
    EXPECT_EQ(msql::Session::ParseByteCount("1G"), 1u << 30);
    for (const char* bad : {"", "k", "12q", "1.5G", "-1", "1GB", "99999999999999999999999"})
        EXPECT_EQ(msql::Session::ParseByteCount(bad), 0u) << bad;
}

class ResultLimit : public MsqlTest {};

TEST_F(ResultLimit, OversizedResultFailsWithTheLimitNamedAndLeavesNoResult) {
    Exec("create table t (a int, b char(20))");
    std::string values;
    for (int i = 0; i < 200; ++i)
        values += std::string(i ? ", " : "") + "(" + std::to_string(i) + ", 'row " + std::to_string(i) + "')";
    Exec("insert into t values " + values);

    setenv("MSQL_RESULT_LIMIT", "1M", 1);
    int limited = msqlConnect(C(""));
    unsetenv("MSQL_RESULT_LIMIT");
    ASSERT_GE(limited, 0);
    ASSERT_EQ(msqlSelectDB(limited, C("test")), 0);
    // A four-way cartesian product: 1.6 billion rows, stopped at the first mebibyte.
    EXPECT_EQ(msqlQuery(limited, C("select w.a, x.a, y.b, z.b from t w, t x, t y, t z")), -1);
    EXPECT_STREQ(msqlGetErrMsg(nullptr), "Query result too large (limit 1048576 bytes)");
    EXPECT_EQ(msqlStoreResult(), nullptr);
    // The connection goes on; results within the limit are whole.
    EXPECT_EQ(msqlQuery(limited, C("select x.a, y.b from t x, t y where x.a < 50")), 10000);
    if (m_result* r = msqlStoreResult()) msqlFreeResult(r);
    msqlClose(limited);
    // The default limit is far away for the fixture's connection.
    EXPECT_EQ(Exec("select w.a, x.a, y.b from t w, t x, t y where w.a < 2"), 2 * 200 * 200);
}
