// Client-side filters: the filter list of a cursor, the evaluation of every node kind over every mSQL
// column type, record-event filters, malformed expressions, and agreement with the host's filter
// expression parser.
#include <cmath>
#include <cstddef>
#include <random>
#include <stdexcept>

#include "AccessFixture.h"
#include "CANExprBuilder.h"
#include "host/FilterExpr.h"
#include "host/MemDataSet.h"

namespace corvane::test {
namespace {

using namespace host;

constexpr int32_t March5th1999 = 729818; // host day numbers
constexpr int32_t March6th1999 = 729819;
constexpr int32_t January1st2000 = 730120;
constexpr int32_t OneFiveNine = 13 * 3600000 + 5 * 60000 + 9 * 1000; // 13:05:09
constexpr int32_t EightOClock = 8 * 3600000;

class FilterTest : public AccessTest {
protected:
    void SetUp() override {
        AccessTest::SetUp();
        Exec("create table f (id int, name char(10), amount real, price money, born date, at time, "
             "note text(20), code uint)");
        Exec("insert into f values (1, 'Smith', 1.5, 10.25, '05-Mar-1999', '13:05:09', 'x', 7)");
        Exec("insert into f values (2, 'SMYTHE', 2.5, 20.00, '06-Mar-1999', '08:00:00', NULL, 8)");
        Exec("insert into f values (3, '', 3.5, NULL, NULL, NULL, 'y', 9)");
        Exec("insert into f values (4, NULL, NULL, 5.00, '01-Jan-2000', '23:59:59', NULL, NULL)");
        Exec("insert into f values (5, 'Smi', 0.5, 0.5, '05-Mar-1999', '08:00:00', NULL, 10)");
        connection = Connect();
        cursor = OpenTable(*connection, "f");
        buffer = WorkBuffer(*cursor);
    }
    void TearDown() override {
        cursor.reset();
        connection.reset();
        AccessTest::TearDown();
    }

    hDBIFilter Add(const std::vector<uint8_t>& blob, pfGENFilter callback = nullptr, uintptr_t data = 0) {
        hDBIFilter handle = nullptr;
        cursor->AddFilter(data, 0, false, blob.empty() ? nullptr : AsCANExpr(blob), callback, handle);
        return handle;
    }

    // The ids of every row, walking the whole table forward (or backward) through the filters.
    std::vector<int> Scan(bool forward = true) {
        std::vector<int> ids;
        if (forward)
            cursor->SetToBegin();
        else
            cursor->SetToEnd();
        try {
            for (;;) {
                if (forward)
                    cursor->GetNextRecord(dbiNOLOCK, buffer.data(), nullptr);
                else
                    cursor->GetPriorRecord(dbiNOLOCK, buffer.data(), nullptr);
                ids.push_back(IntField(*cursor, buffer.data(), 1));
            }
        } catch (const EmSQLException& e) {
            EXPECT_EQ(e.ErrorCode(), forward ? DBIERR_EOF : DBIERR_BOF);
        }
        return ids;
    }

    // The ids of the rows an active filter with this expression lets through.
    std::vector<int> Passing(const Expr& root) { return PassingBlob(Blob(root)); }
    std::vector<int> PassingBlob(const std::vector<uint8_t>& blob) {
        const hDBIFilter handle = Add(blob);
        cursor->ActivateFilter(handle);
        std::vector<int> ids = Scan();
        cursor->DropFilter(handle);
        return ids;
    }

    std::unique_ptr<TNativeConnect> connection;
    std::unique_ptr<TNativeDataSet> cursor;
    std::vector<uint8_t> buffer;
};

using Ids = std::vector<int>;
const Ids All{1, 2, 3, 4, 5};

// ---- The filter list

TEST_F(FilterTest, AddedFilterStaysInactiveUntilActivated) {
    const hDBIFilter handle = Add(Blob(Binary(canEQ, Field("id"), Int(2))));
    ASSERT_NE(handle, nullptr);
    EXPECT_FALSE(handle->Active());
    EXPECT_FALSE(cursor->FiltersActive());
    EXPECT_EQ(Scan(), All) << "an inactive filter does not affect navigation";
    EXPECT_FALSE(handle->GetFilterResult(buffer.data())) << "an inactive filter judges nothing";
    CURProps props;
    cursor->GetCursorProps(props);
    const uint16_t filters = props.iFilters; // a packed member is read by value
    EXPECT_EQ(filters, 1);

    cursor->ActivateFilter(handle);
    EXPECT_TRUE(cursor->FiltersActive());
    EXPECT_EQ(Scan(), Ids{2});
    EXPECT_EQ(Scan(false), Ids{2});
    cursor->DeactivateFilter(handle);
    EXPECT_FALSE(cursor->FiltersActive());
    EXPECT_EQ(Scan(), All);
}

TEST_F(FilterTest, NullHandleActivatesDeactivatesAndDropsEveryFilter) {
    Add(Blob(Binary(canGT, Field("id"), Int(1))));
    Add(Blob(Binary(canLT, Field("id"), Int(5))));
    cursor->ActivateFilter(nullptr);
    EXPECT_EQ(Scan(), (Ids{2, 3, 4}));
    cursor->DeactivateFilter(nullptr);
    EXPECT_FALSE(cursor->FiltersActive());
    EXPECT_EQ(Scan(), All);
    cursor->ActivateFilter(nullptr);
    cursor->DropFilter(nullptr);
    EXPECT_EQ(cursor->FilterCount(), 0);
    EXPECT_FALSE(cursor->FiltersActive());
    EXPECT_EQ(Scan(), All);
}

TEST_F(FilterTest, DroppingTheOnlyActiveFilterClearsTheActiveFlag) {
    const hDBIFilter active = Add(Blob(Binary(canEQ, Field("id"), Int(2))));
    Add(Blob(Binary(canEQ, Field("id"), Int(3))));
    cursor->ActivateFilter(active);
    cursor->DropFilter(active);
    EXPECT_EQ(cursor->FilterCount(), 1);
    EXPECT_FALSE(cursor->FiltersActive());
    EXPECT_EQ(Scan(), All);
}

TEST_F(FilterTest, HandleNotInTheListIsRefusedWithoutBeingUsed) {
    auto other = OpenTable(*connection, "f");
    hDBIFilter foreign = nullptr;
    const std::vector<uint8_t> blob = Blob(Binary(canEQ, Field("id"), Int(2)));
    other->AddFilter(0, 0, false, AsCANExpr(blob), nullptr, foreign);
    ExpectNativeError(DBIERR_NOSUCHFILTER, [&] { cursor->ActivateFilter(foreign); });
    ExpectNativeError(DBIERR_NOSUCHFILTER, [&] { cursor->DeactivateFilter(foreign); });
    ExpectNativeError(DBIERR_NOSUCHFILTER, [&] { cursor->DropFilter(foreign); });
    EXPECT_FALSE(foreign->Active());
    EXPECT_EQ(other->FilterCount(), 1);

    const hDBIFilter dropped = Add(blob);
    cursor->DropFilter(dropped);
    // The stale handle is only compared with the list, never followed.
    ExpectNativeError(DBIERR_NOSUCHFILTER, [&] { cursor->ActivateFilter(dropped); });
}

TEST_F(FilterTest, EveryActiveFilterMustAcceptAndLaterOnesAreSkippedAfterARejection) {
    struct Counter {
        int calls = 0;
    } counter;
    const pfGENFilter count = [](uintptr_t data, uint8_t*, int32_t) -> int16_t {
        ++reinterpret_cast<Counter*>(data)->calls;
        return 1;
    };
    const hDBIFilter first = Add(Blob(Binary(canGE, Field("id"), Int(4))));
    const hDBIFilter second = Add({}, count, reinterpret_cast<uintptr_t>(&counter));
    cursor->ActivateFilter(nullptr);
    EXPECT_EQ(Scan(), (Ids{4, 5}));
    EXPECT_EQ(counter.calls, 2) << "the second filter only judges rows the first accepted";

    const hDBIFilter none = Add(Blob(Binary(canEQ, Field("id"), Int(1))));
    cursor->ActivateFilter(none);
    EXPECT_EQ(Scan(), Ids{});
    cursor->DeactivateFilter(first);
    cursor->DeactivateFilter(second);
    EXPECT_EQ(Scan(), Ids{1});
}

TEST_F(FilterTest, UnsignedColumnsAndConstantsCompareUnsigned) {
    Exec("insert into f (id, code) values (6, 3000000000)");
    cursor->OpenTable();
    EXPECT_EQ(Passing(Binary(canGT, Field("code"), Int(100))), Ids{6});
    EXPECT_EQ(Passing(Binary(canLT, Field("code"), Int(0))), Ids{});
    EXPECT_EQ(Passing(Binary(canEQ, Field("code"), UInt32(3000000000u))), Ids{6});
    EXPECT_EQ(Passing(Binary(canGT, UInt32(3000000001u), Field("code"))), (Ids{1, 2, 3, 5, 6}));
    EXPECT_EQ(Passing(Compare(canEQ, false, 0, Field("code"), Str("3000000000"))), Ids{6});
}

// ---- Navigation through filters

TEST_F(FilterTest, FilteringBackwardsSkipsTowardsTheBeginning) {
    const hDBIFilter handle = Add(Blob(Binary(canNE, Field("id"), Int(3))));
    cursor->ActivateFilter(handle);
    EXPECT_EQ(Scan(false), (Ids{5, 4, 2, 1}));
    const hDBIFilter high = Add(Blob(Binary(canGT, Field("id"), Int(3))));
    cursor->ActivateFilter(high);
    cursor->SetToEnd();
    cursor->GetPriorRecord(dbiNOLOCK, buffer.data(), nullptr);
    cursor->GetPriorRecord(dbiNOLOCK, buffer.data(), nullptr);
    EXPECT_EQ(IntField(*cursor, buffer.data(), 1), 4);
    ExpectNativeError(DBIERR_BOF, [&] { cursor->GetPriorRecord(dbiNOLOCK, buffer.data(), nullptr); });
}

TEST_F(FilterTest, ReadingWithoutABufferStillStopsOnlyOnRowsThatPass) {
    const hDBIFilter handle = Add(Blob(Binary(canGE, Field("amount"), Float(2.5))));
    cursor->ActivateFilter(handle);
    cursor->SetToBegin();
    cursor->GetNextRecord(dbiNOLOCK, nullptr, nullptr);
    EXPECT_EQ(cursor->GetRecordNo(), 1);
    cursor->GetNextRecord(dbiNOLOCK, nullptr, nullptr);
    EXPECT_EQ(cursor->GetRecordNo(), 2);
    ExpectNativeError(DBIERR_EOF, [&] { cursor->GetNextRecord(dbiNOLOCK, nullptr, nullptr); });
    cursor->SetToEnd();
    cursor->GetPriorRecord(dbiNOLOCK, nullptr, nullptr);
    EXPECT_EQ(cursor->GetRecordNo(), 2);
}

// ---- Comparisons by column type

TEST_F(FilterTest, IntegerColumnsCompareWithEveryOperator) {
    EXPECT_EQ(Passing(Binary(canEQ, Field("id"), Int(3))), Ids{3});
    EXPECT_EQ(Passing(Binary(canNE, Field("id"), Int(3))), (Ids{1, 2, 4, 5}));
    EXPECT_EQ(Passing(Binary(canGT, Field("id"), Int(3))), (Ids{4, 5}));
    EXPECT_EQ(Passing(Binary(canLT, Field("id"), Int(3))), (Ids{1, 2}));
    EXPECT_EQ(Passing(Binary(canGE, Field("id"), Int(3))), (Ids{3, 4, 5}));
    EXPECT_EQ(Passing(Binary(canLE, Field("id"), Int(3))), (Ids{1, 2, 3}));
    EXPECT_EQ(Passing(Binary(canGE, Field("code"), UInt16(9))), (Ids{3, 5})) << "UINT column";
    EXPECT_EQ(Passing(Binary(canLT, Field("code"), UInt32(3000000000u))), (Ids{1, 2, 3, 5}))
        << "a 32-bit unsigned constant keeps its value";
    EXPECT_EQ(Passing(Binary(canEQ, Field("id"), Int16(-1))), Ids{});
    EXPECT_EQ(Passing(Binary(canEQ, Field("id"), Float(2.0))), Ids{2})
        << "integers and floats compare by value";
}

TEST_F(FilterTest, RealAndMoneyColumnsCompareAsNumbers) {
    EXPECT_EQ(Passing(Binary(canGT, Field("amount"), Float(1.5))), (Ids{2, 3}));
    EXPECT_EQ(Passing(Binary(canEQ, Field("price"), Float(10.25))), Ids{1});
    EXPECT_EQ(Passing(Binary(canLE, Field("price"), Int(5))), (Ids{4, 5}));
    EXPECT_EQ(Passing(Binary(canLT, Field("amount"), Field("price"))), (Ids{1, 2})) << "field against field";
}

TEST_F(FilterTest, TextColumnsCompareWholeValuesByteForByte) {
    EXPECT_EQ(Passing(Binary(canEQ, Field("name"), Str("Smith"))), Ids{1});
    EXPECT_EQ(Passing(Binary(canEQ, Field("name"), Str("smith"))), Ids{}) << "case matters";
    EXPECT_EQ(Passing(Binary(canEQ, Field("name"), Str("Smi"))), Ids{5}) << "no prefix match";
    EXPECT_EQ(Passing(Binary(canEQ, Field("name"), Str(""))), Ids{3}) << "empty text is not NULL";
    EXPECT_EQ(Passing(Binary(canGT, Field("name"), Str("Smi"))), (Ids{1})) << "'SMYTHE' sorts before 'Smi'";
    EXPECT_EQ(Passing(Binary(canEQ, Field("NAME"), Str("Smith"))), Ids{1}) << "names match ignoring case";
}

TEST_F(FilterTest, TextConstantsAreConvertedToTheOtherOperandsKind) {
    EXPECT_EQ(Passing(Binary(canEQ, Field("id"), Str("2"))), Ids{2});
    EXPECT_EQ(Passing(Binary(canGT, Field("amount"), Str("2"))), (Ids{2, 3}));
    EXPECT_EQ(Passing(Binary(canEQ, Field("born"), Str("3/5/1999"))), (Ids{1, 5}));
    EXPECT_EQ(Passing(Binary(canEQ, Field("id"), Str("two"))), Ids{}) << "a text that is no number rejects";
}

TEST_F(FilterTest, DatesCompareWithDatesAndTimesWithTimes) {
    EXPECT_EQ(Passing(Binary(canEQ, Field("born"), Date(March5th1999))), (Ids{1, 5}));
    EXPECT_EQ(Passing(Binary(canGT, Field("born"), Date(March5th1999))), (Ids{2, 4}));
    EXPECT_EQ(Passing(Binary(canLE, Field("born"), Date(March6th1999))), (Ids{1, 2, 5}));
    EXPECT_EQ(Passing(Binary(canEQ, Field("at"), Time(EightOClock))), (Ids{2, 5}));
    EXPECT_EQ(Passing(Binary(canGT, Field("at"), Time(EightOClock))), (Ids{1, 4}));
    EXPECT_EQ(Passing(Binary(canEQ, Field("at"), Time(OneFiveNine))), Ids{1});
    const double midnight = static_cast<double>(March5th1999) * MSecsPerDay;
    EXPECT_EQ(Passing(Binary(canEQ, Field("born"), Stamp(midnight))), (Ids{1, 5}))
        << "a date is its midnight";
    EXPECT_EQ(Passing(Binary(canGT, Field("born"), Stamp(midnight + 1))), (Ids{2, 4}));
    const Expr sameDay = Binary(canEQ, Field("born"), Date(January1st2000));
    EXPECT_EQ(Passing(sameDay), Ids{4});
    EXPECT_EQ(Passing(sameDay), Ids{4}) << "no clock reading makes a second evaluation differ";
}

TEST_F(FilterTest, TextColumnsArePresentButMatchNothing) {
    EXPECT_EQ(Passing(Unary(canISBLANK, Field("note"))), (Ids{2, 4, 5}));
    EXPECT_EQ(Passing(Unary(canNOTBLANK, Field("note"))), (Ids{1, 3}));
    EXPECT_EQ(Passing(Binary(canEQ, Field("note"), Str("x"))), Ids{});
    EXPECT_EQ(Passing(Binary(canNE, Field("note"), Str("x"))), (Ids{2, 4, 5})) << "only the null ones differ";
}

TEST_F(FilterTest, NullTestsAndNullComparisons) {
    EXPECT_EQ(Passing(Unary(canISBLANK, Field("name"))), Ids{4});
    EXPECT_EQ(Passing(Unary(canNOTBLANK, Field("price"))), (Ids{1, 2, 4, 5}));
    EXPECT_EQ(Passing(Unary(canISBLANK, Field("born"))), Ids{3});
    EXPECT_EQ(Passing(Unary(canISBLANK, Field("at"))), Ids{3});
    EXPECT_EQ(Passing(Unary(canISBLANK, Field("code"))), Ids{4});
    // Null equals only Null and orders with nothing.
    EXPECT_EQ(Passing(Binary(canNE, Field("name"), Str("Smith"))), (Ids{2, 3, 4, 5}));
    EXPECT_EQ(Passing(Binary(canGT, Field("amount"), Float(-1))), (Ids{1, 2, 3, 5}));
    EXPECT_EQ(Passing(Binary(canLE, Field("amount"), Float(100))), (Ids{1, 2, 3, 5}));
    EXPECT_EQ(Passing(Binary(canEQ, Field("name"), Field("amount"))), Ids{4}) << "both Null";
}

TEST_F(FilterTest, LogicOperatorsCombineTheirOperands) {
    const Expr low = Binary(canLT, Field("id"), Int(3));
    const Expr odd = In(Field("id"), {Int(1), Int(3), Int(5)});
    EXPECT_EQ(Passing(Binary(canAND, low, odd)), Ids{1});
    EXPECT_EQ(Passing(Binary(canOR, low, odd)), (Ids{1, 2, 3, 5}));
    EXPECT_EQ(Passing(Unary(canNOT, odd)), (Ids{2, 4}));
    // Unknown operators give Null: not Null is Null, Null and false is false, Null or true is true.
    const Expr unknown = Binary(canADD, Field("id"), Int(1));
    EXPECT_EQ(Passing(Unary(canNOT, unknown)), Ids{});
    EXPECT_EQ(Passing(Binary(canOR, unknown, low)), (Ids{1, 2}));
    EXPECT_EQ(Passing(Unary(canNOT, Binary(canAND, unknown, low))), (Ids{3, 4, 5}));
}

TEST_F(FilterTest, UnsupportedNodesAndOperatorsEvaluateToNull) {
    EXPECT_EQ(Passing(Unary(canISBLANK, Binary(canADD, Field("id"), Int(1)))), All);
    EXPECT_EQ(Passing(Binary(canEQ, Binary(canMUL, Field("id"), Int(1)), Int(1))), Ids{});
    EXPECT_EQ(Passing(Unary(canISBLANK, Raw(nodeFUNC, canFUNC2, {0, 0}))), All);
    EXPECT_EQ(Passing(Unary(canISBLANK, Raw(nodeNULL, canNOTDEFINED))), All);
    EXPECT_EQ(Passing(Unary(canISBLANK, Constant(fldBCD, std::vector<uint8_t>(18, 0)))), All);
    EXPECT_EQ(Passing(Binary(canNOTDEFINED, Field("id"), Int(1))), Ids{});
}

TEST_F(FilterTest, ConstantsOfEveryLiteralType) {
    EXPECT_EQ(Passing(Binary(canAND, Bool(true), Binary(canEQ, Field("id"), Int(2)))), Ids{2});
    EXPECT_EQ(Passing(Unary(canNOT, Bool(false))), All);
    EXPECT_EQ(Passing(Binary(canEQ, Field("id"), Int16(4))), Ids{4});
    EXPECT_EQ(Passing(Binary(canEQ, Field("id"), UInt16(4))), Ids{4});
    EXPECT_EQ(Passing(Binary(canEQ, Field("id"), UInt32(4))), Ids{4});
    EXPECT_EQ(Passing(Binary(canEQ, Field("id"), Int(4))), Ids{4});
    EXPECT_EQ(Passing(Binary(canEQ, Field("amount"), Float(3.5))), Ids{3});
    EXPECT_EQ(Passing(Binary(canEQ, Field("born"), Date(January1st2000))), Ids{4});
    EXPECT_EQ(Passing(Binary(canEQ, Field("at"), Time(OneFiveNine))), Ids{1});
    EXPECT_EQ(Passing(Binary(canEQ, Field("name"), Str("SMYTHE"))), Ids{2});
}

TEST_F(FilterTest, UnknownFieldNameRejectsEveryRow) {
    EXPECT_EQ(Passing(Binary(canEQ, Field("missing"), Int(1))), Ids{});
    EXPECT_EQ(Passing(Unary(canNOT, Binary(canEQ, Field("missing"), Int(1)))), Ids{});
    EXPECT_EQ(Passing(Binary(canOR, Binary(canEQ, Field("id"), Int(1)), Field("missing"))), Ids{})
        << "both operands are evaluated";
}

// ---- Compare nodes

TEST_F(FilterTest, CompareNodeWithoutPartialLengthIsWholeValueEquality) {
    EXPECT_EQ(Passing(Compare(canEQ, true, 0, Field("name"), Str("smith"))), Ids{1});
    EXPECT_EQ(Passing(Compare(canEQ, true, 0, Field("name"), Str("smi"))), Ids{5});
    EXPECT_EQ(Passing(Compare(canEQ, false, 0, Field("name"), Str("smith"))), Ids{});
    EXPECT_EQ(Passing(Compare(canNE, true, 0, Field("name"), Str("SMITH"))), (Ids{2, 3, 4, 5}));
}

TEST_F(FilterTest, CompareNodeWithPartialLengthMatchesValuesThatBeginWithTheConstant) {
    EXPECT_EQ(Passing(Compare(canEQ, false, 3, Field("name"), Str("Smi"))), (Ids{1, 5}));
    EXPECT_EQ(Passing(Compare(canEQ, true, 2, Field("name"), Str("sm"))), (Ids{1, 2, 5}));
    EXPECT_EQ(Passing(Compare(canNE, true, 2, Field("name"), Str("sm"))), (Ids{3, 4}));
    EXPECT_EQ(Passing(Compare(canEQ, false, 8, Field("name"), Str("Smithers"))), Ids{})
        << "a value shorter than the constant does not match";
    EXPECT_EQ(Passing(Compare(canEQ, false, 2, Field("name"), Str("Smxyz"))), (Ids{1, 5}))
        << "only the first partial-length characters count";
}

TEST_F(FilterTest, CompareNodeTreatsEmptyAndNullValuesAsEmptyText) {
    EXPECT_EQ(Passing(Compare(canEQ, false, 0, Field("name"), Str(""))), (Ids{3, 4}));
    EXPECT_EQ(Passing(Compare(canNE, true, 0, Field("name"), Str(""))), (Ids{1, 2, 5}));
    EXPECT_EQ(Passing(Compare(canEQ, false, 0, Field("name"), Str("x"))), Ids{});
}

TEST_F(FilterTest, CompareNodeConvertsNumbersToText) {
    EXPECT_EQ(Passing(Compare(canEQ, false, 1, Field("amount"), Str("2"))), Ids{2});
    EXPECT_EQ(Passing(Compare(canEQ, false, 0, Field("id"), Str("5"))), Ids{5});
    EXPECT_EQ(Passing(Compare(canEQ, false, 0, Field("born"), Str("x"))), Ids{})
        << "dates are not compared as text";
}

TEST_F(FilterTest, LikeMatchesPercentAndUnderscore) {
    EXPECT_EQ(Passing(Binary(canLIKE, Field("name"), Str("S%h"))), Ids{1});
    EXPECT_EQ(Passing(Binary(canLIKE, Field("name"), Str("S%"))), (Ids{1, 2, 5}));
    EXPECT_EQ(Passing(Binary(canLIKE, Field("name"), Str("Sm_"))), Ids{5});
    EXPECT_EQ(Passing(Binary(canLIKE, Field("name"), Str("%"))), (Ids{1, 2, 3, 5}));
    EXPECT_EQ(Passing(Binary(canLIKE, Field("name"), Str("s%"))), Ids{}) << "case matters";
    EXPECT_EQ(Passing(Compare(canLIKE, true, 0, Field("name"), Str("s%e"))), Ids{2});
    EXPECT_EQ(Passing(Compare(canLIKE, true, 3, Field("name"), Str("s_i"))), (Ids{1, 5})) << "open end";
    EXPECT_EQ(Passing(Binary(canLIKE, Field("id"), Str("1"))), Ids{}) << "LIKE needs text";
}

TEST_F(FilterTest, InMatchesAnyListElement) {
    EXPECT_EQ(Passing(In(Field("id"), {Int(4), Int(2), Int(9)})), (Ids{2, 4}));
    EXPECT_EQ(Passing(In(Field("name"), {Str("Smi"), Str("SMYTHE")})), (Ids{2, 5}));
    EXPECT_EQ(Passing(In(Field("name"), {Str("x")})), Ids{});
}

// ---- Record-event filters

struct EventLog {
    std::vector<int32_t> recordNumbers;
    std::vector<uint8_t*> buffers;
    std::vector<uintptr_t> clientData;
    TNativeDataSet* cursor = nullptr;
    bool dropAll = false;
};

int16_t LogAndAcceptEven(uintptr_t data, uint8_t* record, int32_t recordNumber) {
    auto* log = reinterpret_cast<EventLog*>(data);
    log->recordNumbers.push_back(recordNumber);
    log->buffers.push_back(record);
    log->clientData.push_back(data);
    if (log->dropAll) log->cursor->DropFilter(nullptr);
    int32_t id = 0;
    std::memcpy(&id, record + 1, sizeof id);
    return id % 2 == 0 ? 1 : 0;
}

TEST_F(FilterTest, RecordEventFilterIsCalledForEachRecordAndAcceptsOnNonZero) {
    EventLog log;
    const auto data = reinterpret_cast<uintptr_t>(&log);
    const hDBIFilter handle = Add({}, LogAndAcceptEven, data);
    EXPECT_FALSE(handle->HasExpression());
    cursor->ActivateFilter(handle);
    EXPECT_EQ(Scan(), (Ids{2, 4}));
    EXPECT_EQ(log.recordNumbers, (std::vector<int32_t>{0, 1, 2, 3, 4}));
    EXPECT_EQ(log.buffers, std::vector<uint8_t*>(5, buffer.data())) << "called with the caller's buffer";
    EXPECT_EQ(log.clientData, std::vector<uintptr_t>(5, data));
}

TEST_F(FilterTest, CallbackAndExpressionMustBothAccept) {
    EventLog log;
    const hDBIFilter handle =
        Add(Blob(Binary(canGT, Field("id"), Int(2))), LogAndAcceptEven, reinterpret_cast<uintptr_t>(&log));
    cursor->ActivateFilter(handle);
    EXPECT_EQ(Scan(), Ids{4});
    EXPECT_EQ(log.recordNumbers, (std::vector<int32_t>{2, 3, 4}))
        << "rows the expression rejects are not offered";
}

TEST_F(FilterTest, FilterWithoutExpressionOrCallbackRejectsEveryRow) {
    const hDBIFilter handle = Add({});
    cursor->ActivateFilter(handle);
    EXPECT_EQ(Scan(), Ids{});
    std::vector<uint8_t> empty = Blob(Binary(canEQ, Field("id"), Int(1)));
    Put<uint16_t>(empty, offsetof(CANExpr, iTotalSize), 0);
    const hDBIFilter sizeZero = Add(empty);
    EXPECT_FALSE(sizeZero->HasExpression()) << "a blob of size 0 is no expression";
}

TEST_F(FilterTest, CallbackMayDropTheFiltersItIsCalledFrom) {
    EventLog log;
    log.cursor = cursor.get();
    log.dropAll = true;
    cursor->ActivateFilter(Add({}, LogAndAcceptEven, reinterpret_cast<uintptr_t>(&log)));
    cursor->SetToBegin();
    cursor->GetNextRecord(dbiNOLOCK, buffer.data(), nullptr);
    EXPECT_EQ(IntField(*cursor, buffer.data(), 1), 2) << "the first row was rejected before the drop";
    EXPECT_EQ(cursor->FilterCount(), 0);
    EXPECT_EQ(Scan(), All);
}

TEST_F(FilterTest, CallbackThatThrowsRejectsTheRecord) {
    const pfGENFilter throwing = [](uintptr_t, uint8_t* record, int32_t) -> int16_t {
        int32_t id = 0;
        std::memcpy(&id, record + 1, sizeof id);
        if (id == 3) throw std::runtime_error("cannot judge");
        return 1;
    };
    cursor->ActivateFilter(Add({}, throwing));
    EXPECT_EQ(Scan(), (Ids{1, 2, 4, 5}));
}

// ---- Malformed expressions

class MalformedFilterTest : public FilterTest {
protected:
    void ExpectRefused(const std::vector<uint8_t>& blob, const std::string& reason) {
        const EmSQLException e = ExpectNativeError(DBIERR_INVALIDFILTER, [&] { Add(blob); });
        EXPECT_NE(e.GetNativeErrorMsg().find(reason), std::string::npos) << e.GetNativeErrorMsg();
        EXPECT_EQ(cursor->FilterCount(), 0);
    }
    std::vector<uint8_t> good = Blob(Binary(canEQ, Field("id"), Int(1)));
    // Offsets of the parts of `good`: binary@0, field@12, const@24; pool "id\0" then the integer.
    static constexpr size_t Nodes = sizeof(CANExpr);
};

TEST_F(MalformedFilterTest, HeaderOutsideTheBlob) {
    std::vector<uint8_t> blob = good;
    Put<uint16_t>(blob, offsetof(CANExpr, iTotalSize), 6);
    ExpectRefused(blob, "smaller than the header");
    blob = good;
    Put<uint16_t>(blob, offsetof(CANExpr, iNodeStart), static_cast<uint16_t>(good.size()));
    ExpectRefused(blob, "node area");
    blob = good;
    Put<uint16_t>(blob, offsetof(CANExpr, iNodeStart), 4);
    ExpectRefused(blob, "node area");
    blob = good;
    Put<uint16_t>(blob, offsetof(CANExpr, iLiteralStart), static_cast<uint16_t>(good.size() + 1));
    ExpectRefused(blob, "literal pool");
}

TEST_F(MalformedFilterTest, NodeOffsetsPastTheEnd) {
    std::vector<uint8_t> blob = good;
    Put<uint16_t>(blob, Nodes + 8, 500); // operand 1 of the root
    ExpectRefused(blob, "past the end");
    blob = good;
    Put<uint16_t>(blob, Nodes + 10, static_cast<uint16_t>(blob.size() - Nodes - 4)); // operand 2
    ExpectRefused(blob, "past the end");
    blob = good;
    blob.resize(blob.size() - 2); // the integer constant is cut short
    Put<uint16_t>(blob, offsetof(CANExpr, iTotalSize), static_cast<uint16_t>(blob.size()));
    ExpectRefused(blob, "constant at literal offset 3 lies past the end");
}

TEST_F(MalformedFilterTest, LiteralTextWithoutEnd) {
    std::vector<uint8_t> blob = Blob(Field("id"));
    blob.pop_back(); // the name's zero byte
    Put<uint16_t>(blob, offsetof(CANExpr, iTotalSize), static_cast<uint16_t>(blob.size()));
    ExpectRefused(blob, "has no end");
    blob = good;
    Put<uint16_t>(blob, Nodes + 12 + 10, 200); // the field's name offset
    ExpectRefused(blob, "has no end");
}

TEST_F(MalformedFilterTest, UnknownNodeClass) {
    ExpectRefused(Blob(Unary(canNOT, Raw(12, canNOTDEFINED))), "unknown class 12");
    ExpectRefused(Blob(Raw(0x10000, canEQ)), "unknown class");
}

TEST_F(MalformedFilterTest, CyclesSharedNodesAndExcessiveDepth) {
    std::vector<uint8_t> blob = good;
    Put<uint16_t>(blob, Nodes + 8, 0); // the root is its own operand
    ExpectRefused(blob, "used twice");
    blob = good;
    Put<uint16_t>(blob, Nodes + 10, 12); // both operands are the field node
    ExpectRefused(blob, "used twice");

    Expr deep = Bool(true);
    for (int i = 0; i < MaxExpressionDepth; ++i)
        deep = Unary(canNOT, std::move(deep));
    ExpectRefused(Blob(deep), "nested more than");
}

TEST_F(MalformedFilterTest, DeepestAcceptedTreeEvaluates) {
    Expr deep = Bool(true);
    for (int i = 0; i < MaxExpressionDepth - 2; ++i)
        deep = Unary(canNOT, std::move(deep));
    // MaxExpressionDepth - 2 negations (an even number) under one more: false.
    EXPECT_EQ(Passing(Unary(canNOT, deep)), Ids{});
    EXPECT_EQ(Passing(deep), All);
}

TEST_F(MalformedFilterTest, ListElementsOutsideTheBlobOrNotListElements) {
    std::vector<uint8_t> blob = Blob(In(Field("id"), {Int(1), Int(2)}));
    // binary@0, field@12, elem@24, int@36, elem@50, int@62: point the first element's next past the end.
    Put<uint16_t>(blob, Nodes + 24 + 10, 400);
    ExpectRefused(blob, "past the end");
    blob = Blob(In(Field("id"), {Int(1), Int(2)}));
    Put<uint16_t>(blob, Nodes + 24 + 10, 36); // "next" is the first element's own value
    ExpectRefused(blob, "used twice");
    blob = Blob(In(Field("id"), {Int(1), Int(2)}));
    Put<uint32_t>(blob, Nodes + 50, nodeBINARY); // the second element is something else
    ExpectRefused(blob, "not a list element");
}

TEST_F(MalformedFilterTest, CorruptedBlobsAreRefusedOrEvaluatedWithinTheirBounds) {
    const std::vector<std::vector<uint8_t>> seeds = {
        good,
        Blob(Binary(canAND, Compare(canNE, true, 2, Field("name"), Str("sm")),
                    In(Field("born"), {Date(March5th1999), Time(EightOClock), Stamp(1e9)}))),
        Blob(Binary(canOR, Unary(canISBLANK, Field("note")), Binary(canLIKE, Field("name"), Str("S%_")))),
    };
    cursor->SetToBegin();
    cursor->GetNextRecord(dbiNOLOCK, buffer.data(), nullptr);
    // The caller's area is as large as any blob can claim to be, so that only the filter's own reads
    // are under test.
    std::vector<uint8_t> area(0x10000, 0);
    std::mt19937 random(20261207);
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        const std::vector<uint8_t>& seed = seeds[static_cast<size_t>(round) % seeds.size()];
        std::copy(seed.begin(), seed.end(), area.begin());
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i) {
            const size_t at = random() % seed.size();
            area[at] = static_cast<uint8_t>(random() % 3 == 0 ? random() : area[at] ^ (1u << (random() % 8)));
        }
        hDBIFilter handle = nullptr;
        try {
            cursor->AddFilter(0, 0, false, reinterpret_cast<const CANExpr*>(area.data()), nullptr, handle);
        } catch (const EmSQLException& e) {
            ASSERT_EQ(e.ErrorCode(), DBIERR_INVALIDFILTER);
            ++refused;
            continue;
        }
        cursor->ActivateFilter(handle);
        TFilterValue value;
        handle->GetFilterResult(buffer.data(), value);
        cursor->DropFilter(handle);
    }
    EXPECT_GT(refused, 0);
    EXPECT_EQ(cursor->FilterCount(), 0);
}

// ---- Three-valued logic and Null comparisons of the operator table

TEST(FilterOperators, LogicIsThreeValued) {
    const TFilterValue null = TFilterValue::Null();
    const TFilterValue yes = TFilterValue::Boolean(true);
    const TFilterValue no = TFilterValue::Boolean(false);
    TFilterValue r;
    ASSERT_TRUE(TmSQLFilter::PerformCANOp(canAND, null, no, r));
    EXPECT_EQ(r.kind, fvBoolean);
    EXPECT_FALSE(r.boolean);
    ASSERT_TRUE(TmSQLFilter::PerformCANOp(canAND, null, yes, r));
    EXPECT_TRUE(r.IsNull());
    ASSERT_TRUE(TmSQLFilter::PerformCANOp(canOR, yes, null, r));
    EXPECT_TRUE(r.IsTrue());
    ASSERT_TRUE(TmSQLFilter::PerformCANOp(canOR, no, null, r));
    EXPECT_TRUE(r.IsNull());
    ASSERT_TRUE(TmSQLFilter::PerformCANOp(canNOT, null, TFilterValue(), r));
    EXPECT_TRUE(r.IsNull());
    EXPECT_FALSE(TmSQLFilter::PerformCANOp(canAND, TFilterValue::DateTime(0), yes, r))
        << "a date has no truth value";
    ASSERT_TRUE(TmSQLFilter::PerformCANOp(canAND, TFilterValue::Text("True"), yes, r));
    EXPECT_TRUE(r.IsTrue());
}

TEST(FilterOperators, NullEqualsOnlyNullAndOrdersWithNothing) {
    const TFilterValue null = TFilterValue::Null();
    const TFilterValue one = TFilterValue::Integer(1);
    TFilterValue r;
    ASSERT_TRUE(TmSQLFilter::PerformCANOp(canEQ, null, null, r));
    EXPECT_TRUE(r.IsTrue());
    ASSERT_TRUE(TmSQLFilter::PerformCANOp(canNE, null, one, r));
    EXPECT_TRUE(r.IsTrue());
    for (uint32_t op : {canGT, canLT, canGE, canLE}) {
        ASSERT_TRUE(TmSQLFilter::PerformCANOp(op, null, one, r));
        EXPECT_FALSE(r.IsTrue()) << op;
        ASSERT_TRUE(TmSQLFilter::PerformCANOp(op, null, null, r));
        EXPECT_FALSE(r.IsTrue()) << op;
    }
    const TFilterValue nan = TFilterValue::Float(std::nan(""));
    ASSERT_TRUE(TmSQLFilter::PerformCANOp(canEQ, nan, nan, r));
    EXPECT_FALSE(r.IsTrue());
    ASSERT_TRUE(TmSQLFilter::PerformCANOp(canNE, nan, one, r));
    EXPECT_TRUE(r.IsTrue());
    ASSERT_TRUE(TmSQLFilter::PerformCANOp(canISBLANK, null, TFilterValue(), r));
    EXPECT_TRUE(r.IsTrue());
    ASSERT_TRUE(TmSQLFilter::PerformCANOp(canEQ, one, TFilterValue(), r)) << "unassigned acts as zero";
    EXPECT_FALSE(r.IsTrue());
}

// ---- Agreement with the host's filter expression writer

class ParsedFilterTest : public FilterTest {
protected:
    void SetUp() override {
        FilterTest::SetUp();
        // The host's view of table f: field numbers follow the column order.
        dataSet = new hosttest::MemDataSet(owner.get(), {{"id", ftInteger},
                                                         {"name", ftString, 10},
                                                         {"amount", ftFloat},
                                                         {"price", ftCurrency},
                                                         {"born", ftDate},
                                                         {"at", ftTime},
                                                         {"note", ftMemo},
                                                         {"code", ftInteger}});
        dataSet->Open();
    }

    std::vector<uint8_t> Parse(const std::string& text, TFilterOptions options = {}) {
        TExprParser parser(dataSet, text, options);
        return parser.Data();
    }

    // The lookup filter the dataset layer builds for Locate.
    std::vector<uint8_t> Lookup(const std::vector<std::string>& names, const std::vector<Variant>& values,
                                TLocateOptions options) {
        TFilterOptions filterOptions{foNoPartialCompare};
        if (options.Contains(loCaseInsensitive)) filterOptions.Include(foCaseInsensitive);
        TFilterExpr filter(dataSet, filterOptions, {}, "", nullptr, FldTypeMap);
        TExprNode* root = nullptr;
        TExprNode* last = nullptr;
        for (size_t i = 0; i < names.size(); ++i) {
            last = filter.NewCompareNode(dataSet->FieldByName(names[i]), coEQ, values[i]);
            root = root == nullptr ? last : filter.NewNode(enOperator, coAND, Unassigned(), root, last);
        }
        if (options.Contains(loPartialKey)) last->Partial = true;
        return filter.GetFilterData(root);
    }

    std::unique_ptr<TComponent> owner = std::make_unique<TComponent>(nullptr);
    hosttest::MemDataSet* dataSet = nullptr;
};

TEST_F(ParsedFilterTest, PartialCompareExampleIsTheSameByHandAndFromText) {
    const std::vector<uint8_t> parsed = Parse("NAME = 'Smi*'");
    EXPECT_EQ(parsed, Blob(Compare(canEQ, false, 3, Field("NAME", 2), Str("Smi"))));
    const std::vector<uint8_t> expected = {
        2,   0,   61,  0,   0xFF, 0xFF, 10,  0,   52, 0,                     // header
        3,   0,   0,   0,   3,    0,    0,   0,   0,  0, 3, 0, 16, 0, 28, 0, // compare@0
        4,   0,   0,   0,   13,   0,    0,   0,   2,  0, 0, 0,               // field@16
        5,   0,   0,   0,   14,   0,    0,   0,   1,  0, 4, 0, 5,  0,        // const@28
        'N', 'A', 'M', 'E', 0,    'S',  'm', 'i', 0};                        // literal pool
    EXPECT_EQ(parsed, expected);
    EXPECT_EQ(PassingBlob(parsed), (Ids{1, 5}));
    EXPECT_EQ(PassingBlob(Parse("NAME = 'Smi*'", {foNoPartialCompare})), Ids{}) << "the star is a character";
}

TEST_F(ParsedFilterTest, FilterTextsAndHandBuiltBlobsAgreeByteForByteAndInResult) {
    struct Case {
        std::string text;
        TFilterOptions options;
        Expr hand;
        Ids passing;
    };
    const std::vector<Case> cases = {
        {"id > 2", {}, Binary(canGT, Field("id", 1), Int(2)), {3, 4, 5}},
        {"3 >= id", {}, Binary(canLE, Field("id", 1), Int(3)), {1, 2, 3}},
        {"name = 'Smith'", {}, Binary(canEQ, Field("name", 2), Str("Smith")), {1}},
        {"name = 'smith'", {foCaseInsensitive}, Compare(canEQ, true, 0, Field("name", 2), Str("smith")), {1}},
        {"name <> 'sm*'", {foCaseInsensitive}, Compare(canNE, true, 2, Field("name", 2), Str("sm")), {3, 4}},
        {"name like 'S%h'", {}, Binary(canLIKE, Field("name", 2), Str("S%h")), {1}},
        {"name is null", {}, Unary(canISBLANK, Field("name", 2)), {4}},
        {"price <> null", {}, Unary(canNOTBLANK, Field("price", 4)), {1, 2, 4, 5}},
        {"not (id = 1)", {}, Unary(canNOT, Binary(canEQ, Field("id", 1), Int(1))), {2, 3, 4, 5}},
        {"id in (1, 3)", {}, In(Field("id", 1), {Int(1), Int(3)}), {1, 3}},
        {"amount >= 2.5 and price < 15",
         {},
         Binary(canAND, Binary(canGE, Field("amount", 3), Float(2.5)),
                Binary(canLT, Field("price", 4), Float(15))),
         {}},
        {"amount >= 2.5 or price < 15",
         {},
         Binary(canOR, Binary(canGE, Field("amount", 3), Float(2.5)),
                Binary(canLT, Field("price", 4), Float(15))),
         {1, 2, 3, 4, 5}},
        {"born = '3/5/1999'", {}, Binary(canEQ, Field("born", 5), Date(March5th1999)), {1, 5}},
        {"at < '12:00:00'", {}, Binary(canLT, Field("at", 6), Time(12 * 3600000)), {2, 5}},
        {"note is not null", {}, Unary(canNOTBLANK, Field("note", 7)), {1, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::vector<uint8_t> parsed = Parse(c.text, c.options);
        EXPECT_EQ(parsed, Blob(c.hand));
        EXPECT_EQ(PassingBlob(parsed), c.passing);
    }
}

TEST_F(ParsedFilterTest, LookupFiltersFindTheRowsLocateAsksFor) {
    EXPECT_EQ(PassingBlob(Lookup({"name"}, {Variant("Smith")}, {})), Ids{1});
    EXPECT_EQ(PassingBlob(Lookup({"name"}, {Variant("smi")}, {loCaseInsensitive})), Ids{5});
    EXPECT_EQ(PassingBlob(Lookup({"name"}, {Variant("smi")}, {loCaseInsensitive, loPartialKey})),
              (Ids{1, 5}));
    EXPECT_EQ(PassingBlob(Lookup({"name"}, {Variant("Sm")}, {loPartialKey})), (Ids{1, 5}));
    EXPECT_EQ(PassingBlob(Lookup({"name"}, {Null()}, {})), Ids{4});
    EXPECT_EQ(PassingBlob(Lookup({"born", "name"}, {VarFromDateTime(36224.0), Variant("Smi")}, {})), Ids{5});
    EXPECT_EQ(PassingBlob(Lookup({"code", "amount"}, {Variant(8), Variant(2.5)}, {})), Ids{2});
}

} // namespace
} // namespace corvane::test
