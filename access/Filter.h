// TmSQLFilter: one client-side filter of a native cursor. It keeps its own copy of a compiled filter
// expression (a CANExpr blob, layout in host/CANExpr.h) and/or a record-event callback, and decides
// for a record in the cursor's work buffer whether it passes.
//
// The blob is checked when the filter is made: every node reachable from the root must lie inside the
// blob, every literal inside the literal pool (texts zero-terminated there), node classes must be those
// of the format, and the tree must be a tree (no node reached twice) of bounded depth. A blob that
// fails raises DBIERR_INVALIDFILTER with a text naming the fault; evaluation then never reads outside
// the copy.
//
// Evaluation semantics (one record at a time, nothing allocated per record):
//   - field nodes read the named column (name matched ignoring ASCII case) from the work buffer:
//     INT integers, UINT unsigned integers, CHAR texts (in place), REAL/MONEY floats, DATE and TIME
//     date-times; a null column is Null; a present TEXT or unknown-type column is present but
//     comparable with nothing; fldUINT16 and fldUINT32 constants are unsigned too;
//   - dates are whole days, times a time of day on day zero: dates compare with dates and times with
//     times, and the clock is never read;
//   - comparisons follow the host's variant rules: Null equals only Null (so <> with one Null operand
//     is true) and orders with nothing; text against text compares bytes; text against a number, date
//     or boolean is converted to that kind first; numbers of any kind compare numerically;
//   - AND, OR and NOT are three-valued (Null and False = False, Null or True = True, not Null = Null);
//     both operands are always evaluated;
//   - a compare node without a partial length is a whole-value equality, with one the first operand
//     (the field) must begin with the first partial-length characters of the second (the constant);
//     either way case-insensitive when flagged, a Null operand counting as empty text; a LIKE compare
//     node matches the pattern instead (an open end when partial); canNE negates the result;
//   - LIKE matches '%' (any run) and '_' (any one character), case-sensitively; IN is true when the
//     value equals an element of the list;
//   - every other operator (arithmetic, functions, aggregates) and node class gives Null.
// A record passes a filter only when its expression ends as boolean true and its callback (if any)
// answers non-zero. A failure during evaluation (unknown field name, impossible conversion, a value
// that cannot be compared) counts as a rejection.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "access/EngineTypes.h"
#include "host/CANExpr.h"
#include "host/Object.h"

namespace corvane {

class TNativeDataSet;
class TmSQLField;

// Deepest expression tree a filter accepts.
inline constexpr int MaxExpressionDepth = 1000;

// Kinds of value an expression node evaluates to.
enum TFilterValueKind : uint8_t {
    fvUnassigned, // no operand: the second operand of a unary node
    fvNull,       // a null column, or a node the evaluator does not compute
    fvBoolean,
    fvInteger,
    fvFloat,
    fvDateTime, // milliseconds on the host time-stamp scale: day number x 86 400 000 + ms of the day
    fvText,     // bytes in the record buffer or in the filter's expression
    fvOpaque,   // present, but without a form here (TEXT and unknown-type columns)
};

// A value during evaluation. Texts refer to bytes that outlive the evaluation of one record.
struct TFilterValue {
    TFilterValueKind kind = fvUnassigned;
    bool boolean = false;
    int64_t integer = 0; // fvInteger, fvDateTime
    double real = 0;     // fvFloat
    std::string_view text;

    static TFilterValue Of(TFilterValueKind kind) {
        TFilterValue v;
        v.kind = kind;
        return v;
    }
    static TFilterValue Null() { return Of(fvNull); }
    static TFilterValue Boolean(bool value) {
        TFilterValue v = Of(fvBoolean);
        v.boolean = value;
        return v;
    }
    static TFilterValue Integer(int64_t value) {
        TFilterValue v = Of(fvInteger);
        v.integer = value;
        return v;
    }
    static TFilterValue Float(double value) {
        TFilterValue v = Of(fvFloat);
        v.real = value;
        return v;
    }
    static TFilterValue DateTime(int64_t msecs) {
        TFilterValue v = Of(fvDateTime);
        v.integer = msecs;
        return v;
    }
    static TFilterValue Text(std::string_view value) {
        TFilterValue v = Of(fvText);
        v.text = value;
        return v;
    }
    bool IsNull() const { return kind == fvNull; }
    bool IsTrue() const { return kind == fvBoolean && boolean; }
};

class TmSQLFilter : public host::TObject {
public:
    // A new, inactive filter of owner. expression (may be null) is copied: its iTotalSize bytes, which
    // the caller guarantees are readable; a blob of size 0 counts as no expression. A malformed blob
    // raises EmSQLException DBIERR_INVALIDFILTER. callback (may be null) is called with clientData for
    // every record the filter judges.
    TmSQLFilter(TNativeDataSet* owner, const host::CANExpr* expression, pfGENFilter callback = nullptr,
                uintptr_t clientData = 0);
    ~TmSQLFilter() override;
    TmSQLFilter(const TmSQLFilter&) = delete;
    TmSQLFilter& operator=(const TmSQLFilter&) = delete;

    TNativeDataSet* Owner() const { return fOwner; }
    bool Active() const { return fActive; }
    void SetActive(bool value) { fActive = value; }
    bool HasExpression() const { return fBlobSize > 0; }
    // The copy of the blob and its size (0 without expression).
    const uint8_t* Blob() const { return fBlob.get(); }
    uint16_t BlobSize() const { return fBlobSize; }
    // iNodeStart / iLiteralStart of the copy; 0 without expression.
    uint16_t GetNodeStart() const { return fNodeStart; }
    uint16_t GetLiteralStart() const { return fLiteralStart; }
    pfGENFilter Callback() const { return fCallback; }
    uintptr_t ClientData() const { return fClientData; }

    // Whether record passes: false for an inactive filter, without record, for a filter with neither
    // expression nor callback, and when the evaluation fails. value receives the expression's value
    // (unassigned without expression or after a failure).
    bool GetFilterResult(uint8_t* record);
    bool GetFilterResult(uint8_t* record, TFilterValue& value);

    // Applies a unary or binary operator (canOp) to evaluated operands; false when the operands cannot
    // be combined (the evaluation fails). Unknown operators give Null. canIN compares with one value.
    static bool PerformCANOp(uint32_t op, const TFilterValue& operand1, const TFilterValue& operand2,
                             TFilterValue& result);

private:
    // One node of the blob, checked and decoded once.
    struct TNode {
        uint32_t nodeClass = host::nodeNULL;
        uint32_t op = host::canNOTDEFINED;
        int operand1 = -1; // node indexes; list elements: operand1 = element, operand2 = next element
        int operand2 = -1;
        bool caseInsensitive = false; // compare nodes
        uint16_t partialLength = 0;   // compare nodes
        std::string_view name;        // field nodes
        int fieldIndex = -1;          // field nodes: descriptor index last found for name
        TFilterValue constant;        // constant nodes
    };

    // Checking and decoding (raise DBIERR_INVALIDFILTER).
    int PrepareNode(size_t offset, int depth, std::vector<uint8_t>& seen);
    int PrepareList(size_t offset, int depth, std::vector<uint8_t>& seen);
    size_t NodePosition(size_t offset, size_t size, std::vector<uint8_t>& seen) const;
    std::string_view LiteralText(size_t offset) const;
    const uint8_t* LiteralBytes(size_t offset, size_t size) const;
    TFilterValue DecodeConstant(uint16_t type, size_t offset) const;
    uint16_t Word(size_t position) const;
    [[noreturn]] static void Malformed(const std::string& what);

    // Evaluation: false when the evaluation fails.
    bool CalcExpression(int index, TFilterValue& value);
    bool UnaryNode(const TNode& node, TFilterValue& value);
    bool BinaryNode(const TNode& node, TFilterValue& value);
    bool InList(const TNode& node, TFilterValue& value);
    bool CompareNode(const TNode& node, TFilterValue& value);
    bool FieldNode(TNode& node, TFilterValue& value);
    TmSQLField* FindField(TNode& node) const;

    TNativeDataSet* fOwner;
    std::unique_ptr<uint8_t[]> fBlob;
    uint16_t fBlobSize = 0;
    uint16_t fNodeStart = 0;
    uint16_t fLiteralStart = 0;
    bool fActive = false;
    uint8_t* fRecord = nullptr; // the record under evaluation
    pfGENFilter fCallback;
    uintptr_t fClientData;
    std::vector<TNode> fNodes;
    int fRoot = -1;
};

} // namespace corvane
