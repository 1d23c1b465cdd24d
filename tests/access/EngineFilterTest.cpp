// The filter family of the engine: adding, activating, deactivating and dropping filters through
// handles, and navigation under active filters.
#include "CANExprBuilder.h"
#include "EngineFixture.h"

namespace corvane::test {
namespace {

class EngineFilterTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        Exec("create table t (a int, s char(8))");
        for (int a : {10, 20, 30, 40})
            Exec("insert into t values (" + std::to_string(a) + ", 'x')");
        cursor = Table("t");
    }

    uint16_t FilterCount() {
        CURProps props;
        EXPECT_EQ(engine.GetCursorProps(cursor, props), DBIERR_NONE);
        return props.iFilters;
    }

    hDBICur cursor = nullptr;
};

TEST_F(EngineFilterTest, ActiveFiltersSkipRowsInBothDirections) {
    const std::vector<uint8_t> above15 = Blob(Binary(host::canGT, Field("a"), Int(15)));
    const std::vector<uint8_t> below35 = Blob(Binary(host::canLT, Field("A"), Int(35)));
    hDBIFilter first = nullptr, second = nullptr;
    ASSERT_EQ(engine.AddFilter(cursor, 0, 1, false, AsCANExpr(above15), nullptr, first), DBIERR_NONE);
    ASSERT_EQ(engine.AddFilter(cursor, 0, 1, false, AsCANExpr(below35), nullptr, second), DBIERR_NONE);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, first);
    EXPECT_EQ(FilterCount(), 2);
    EXPECT_EQ(Column(cursor), (std::vector<int32_t>{10, 20, 30, 40})) << "new filters are inactive";

    ASSERT_EQ(engine.ActivateFilter(cursor, first), DBIERR_NONE);
    EXPECT_EQ(Column(cursor), (std::vector<int32_t>{20, 30, 40}));
    ASSERT_EQ(engine.ActivateFilter(cursor, nullptr), DBIERR_NONE);
    EXPECT_EQ(Column(cursor), (std::vector<int32_t>{20, 30}));

    std::vector<uint8_t> record = Record(cursor);
    ASSERT_EQ(engine.SetToEnd(cursor), DBIERR_NONE);
    ASSERT_EQ(engine.GetPriorRecord(cursor, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
    EXPECT_EQ(IntField(cursor, record, 1), 30);
    ASSERT_EQ(engine.GetPriorRecord(cursor, dbiNOLOCK, record.data(), nullptr), DBIERR_NONE);
    EXPECT_EQ(IntField(cursor, record, 1), 20);
    EXPECT_EQ(engine.GetPriorRecord(cursor, dbiNOLOCK, record.data(), nullptr), DBIERR_BOF);

    ASSERT_EQ(engine.DeactivateFilter(cursor, second), DBIERR_NONE);
    EXPECT_EQ(Column(cursor), (std::vector<int32_t>{20, 30, 40}));
    ASSERT_EQ(engine.DeactivateFilter(cursor, nullptr), DBIERR_NONE);
    EXPECT_EQ(Column(cursor), (std::vector<int32_t>{10, 20, 30, 40}));

    ASSERT_EQ(engine.DropFilter(cursor, first), DBIERR_NONE);
    EXPECT_EQ(FilterCount(), 1);
    EXPECT_EQ(engine.ActivateFilter(cursor, first), DBIERR_NOSUCHFILTER) << "a dropped handle is refused";
    ASSERT_EQ(engine.DropFilter(cursor, nullptr), DBIERR_NONE);
    EXPECT_EQ(FilterCount(), 0);
}

TEST_F(EngineFilterTest, RecordEventFilterIsCalledWithItsClientData) {
    struct Seen {
        uintptr_t clientData = 0;
        int calls = 0;
    } seen;
    static Seen* current = nullptr;
    current = &seen;
    const pfGENFilter evenRows = [](uintptr_t clientData, uint8_t*, int32_t recordNumber) -> int16_t {
        current->clientData = clientData;
        ++current->calls;
        return recordNumber % 2 == 0 ? 1 : 0;
    };
    hDBIFilter filter = nullptr;
    ASSERT_EQ(engine.AddFilter(cursor, 4711, 1, false, nullptr, evenRows, filter), DBIERR_NONE);
    ASSERT_EQ(engine.ActivateFilter(cursor, filter), DBIERR_NONE);
    EXPECT_EQ(Column(cursor), (std::vector<int32_t>{10, 30}));
    EXPECT_EQ(seen.clientData, 4711u);
    EXPECT_GE(seen.calls, 4);
    current = nullptr;
}

TEST_F(EngineFilterTest, MalformedExpressionsAndForeignHandlesAreRefused) {
    std::vector<uint8_t> broken = Blob(Binary(host::canGT, Field("a"), Int(15)));
    broken.resize(broken.size() - 4); // the literal pool runs past the end
    const uint16_t size = static_cast<uint16_t>(broken.size());
    std::memcpy(broken.data() + offsetof(host::CANExpr, iTotalSize), &size, sizeof size);
    hDBIFilter filter = nullptr;
    EXPECT_EQ(engine.AddFilter(cursor, 0, 1, false, AsCANExpr(broken), nullptr, filter),
              DBIERR_INVALIDFILTER);
    EXPECT_EQ(filter, nullptr);
    EXPECT_EQ(FilterCount(), 0);
    // Which part of the blob is wrong reaches the caller as the engine's error text.
    std::string message;
    EXPECT_EQ(engine.GetErrorString(DBIERR_INVALIDFILTER, message), DBIERR_INVALIDFILTER);
    EXPECT_EQ(message, "Invalid filter expression: the constant at literal offset 2 lies past the end");
    const std::vector<uint8_t> unknownClass = Blob(Raw(99, host::canEQ));
    EXPECT_EQ(engine.AddFilter(cursor, 0, 1, false, AsCANExpr(unknownClass), nullptr, filter),
              DBIERR_INVALIDFILTER);
    EXPECT_EQ(engine.GetNativeErrorMsg(),
              "Invalid filter expression: the node at offset 0 has the unknown class 99");

    // A filter of another cursor is not one of this cursor's.
    Exec("create table u (a int)");
    hDBICur& other = Table("u");
    const std::vector<uint8_t> blob = Blob(Binary(host::canGT, Field("a"), Int(15)));
    ASSERT_EQ(engine.AddFilter(other, 0, 1, false, AsCANExpr(blob), nullptr, filter), DBIERR_NONE);
    EXPECT_EQ(engine.ActivateFilter(cursor, filter), DBIERR_NOSUCHFILTER);
    EXPECT_EQ(engine.DeactivateFilter(cursor, filter), DBIERR_NOSUCHFILTER);
    EXPECT_EQ(engine.ActivateFilter(other, filter), DBIERR_NONE);

    hDBICur none = nullptr;
    EXPECT_EQ(engine.AddFilter(none, 0, 1, false, AsCANExpr(blob), nullptr, filter), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.DropFilter(none, nullptr), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.ActivateFilter(none, nullptr), DBIERR_INVALIDHNDL);
    EXPECT_EQ(engine.DeactivateFilter(none, nullptr), DBIERR_INVALIDHNDL);
}

} // namespace
} // namespace corvane::test
