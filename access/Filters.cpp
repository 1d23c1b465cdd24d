// Client-side filters: the checking and evaluation of filter expressions (TmSQLFilter), the cursor's
// filter list, record acceptance and the skip over rejected rows.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "access/EmSQLException.h"
#include "access/NativeDataSet.h"
#include "access/RecordSlots.h"
#include "client/msqlABI.h"
#include "host/DateTime.h"
#include "host/SysUtils.h"

namespace corvane {

using namespace host;

namespace {

// Size of the header every node starts with.
constexpr size_t HeaderSize = sizeof(CANHdr);
// Milliseconds from the host time-stamp origin (day 0 = 0000-12-31) to the date-time epoch 1899-12-30.
constexpr int64_t DateDeltaMSecs = static_cast<int64_t>(DateDelta) * MSecsPerDay;

// Bytes of a node of a class: the header and the 16-bit words the evaluator reads.
size_t NodeSize(uint32_t nodeClass) {
    switch (nodeClass) {
    case nodeUNARY:
        return sizeof(CANUnary);
    case nodeBINARY:
        return sizeof(CANBinary);
    case nodeCOMPARE:
        return sizeof(CANCompare);
    case nodeFIELD:
        return sizeof(CANField);
    case nodeCONST:
        return sizeof(CANConst);
    case nodeLISTELEM:
        return sizeof(CANListElem);
    default:
        return HeaderSize;
    }
}

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameChar(char a, char b, bool caseInsensitive) {
    return caseInsensitive ? UpperAscii(a) == UpperAscii(b) : a == b;
}

bool SameText(std::string_view a, std::string_view b, bool caseInsensitive) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!SameChar(a[i], b[i], caseInsensitive)) return false;
    return true;
}

// SQL pattern match: '%' matches any run of characters, '_' any one. With openEnd the text need only
// begin with a match (the pattern ends in an implied '%').
bool Like(std::string_view text, std::string_view pattern, bool caseInsensitive, bool openEnd) {
    const size_t patternLength = pattern.size() + (openEnd ? 1 : 0);
    const auto at = [&](size_t i) { return i < pattern.size() ? pattern[i] : '%'; };
    size_t t = 0;
    size_t p = 0;
    size_t starP = std::string_view::npos;
    size_t starT = 0;
    while (t < text.size()) {
        if (p < patternLength && at(p) == '%') {
            starP = p++;
            starT = t;
        } else if (p < patternLength && (at(p) == '_' || SameChar(at(p), text[t], caseInsensitive))) {
            ++p;
            ++t;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < patternLength && at(p) == '%')
        ++p;
    return p == patternLength;
}

// Three-valued truth of a logic operand.
enum TTruth : uint8_t { tvFalse, tvTrue, tvUnknown };

bool TextToBoolean(std::string_view text, bool& value) {
    if (SameText(text, "True", true)) {
        value = true;
        return true;
    }
    if (SameText(text, "False", true)) {
        value = false;
        return true;
    }
    double number = 0;
    if (!TryStrToFloat(text, number)) return false;
    value = number != 0;
    return true;
}

bool Truth(const TFilterValue& v, TTruth& truth) {
    bool value = false;
    switch (v.kind) {
    case fvNull:
        truth = tvUnknown;
        return true;
    case fvUnassigned:
        value = false;
        break;
    case fvBoolean:
        value = v.boolean;
        break;
    case fvInteger:
        value = v.integer != 0;
        break;
    case fvFloat:
        value = v.real != 0;
        break;
    case fvText:
        if (!TextToBoolean(v.text, value)) return false;
        break;
    default:
        return false; // dates and opaque values have no truth
    }
    truth = value ? tvTrue : tvFalse;
    return true;
}

TFilterValue FromTruth(TTruth truth) {
    return truth == tvUnknown ? TFilterValue::Null() : TFilterValue::Boolean(truth == tvTrue);
}

// Date-time as the host's days since 1899-12-30.
double DateTimeDays(int64_t msecs) {
    return static_cast<double>(msecs - DateDeltaMSecs) / MSecsPerDay;
}

bool DaysToMSecs(double days, int64_t& msecs) {
    const double value = std::round(days * MSecsPerDay);
    if (!std::isfinite(value) || std::fabs(value) > 9.0e15) return false;
    msecs = static_cast<int64_t>(value) + DateDeltaMSecs;
    return true;
}

// The value an unassigned operand stands for next to other: that kind's zero.
TFilterValue ZeroLike(const TFilterValue& other) {
    switch (other.kind) {
    case fvText:
        return TFilterValue::Text({});
    case fvBoolean:
        return TFilterValue::Boolean(false);
    case fvFloat:
        return TFilterValue::Float(0);
    case fvDateTime:
        return TFilterValue::DateTime(DateDeltaMSecs);
    default:
        return TFilterValue::Integer(0);
    }
}

bool NumberOf(const TFilterValue& v, double& number) {
    switch (v.kind) {
    case fvInteger:
        number = static_cast<double>(v.integer);
        return true;
    case fvFloat:
        number = v.real;
        return true;
    case fvBoolean:
        number = v.boolean ? -1 : 0;
        return true;
    case fvDateTime:
        number = DateTimeDays(v.integer);
        return true;
    default:
        return false;
    }
}

// Text converted to the kind of other (a number, date-time or boolean); false when it cannot be.
bool ConvertText(std::string_view text, const TFilterValue& other, TFilterValue& converted) {
    switch (other.kind) {
    case fvBoolean: {
        bool value = false;
        if (!TextToBoolean(text, value)) return false;
        converted = TFilterValue::Boolean(value);
        return true;
    }
    case fvDateTime: {
        TDateTime value = 0;
        int64_t msecs = 0;
        if (!TryStrToDateTime(text, value, FormatSettings) || !DaysToMSecs(value, msecs)) return false;
        converted = TFilterValue::DateTime(msecs);
        return true;
    }
    case fvInteger:
    case fvFloat: {
        double value = 0;
        if (!TryStrToFloat(text, value)) return false;
        converted = TFilterValue::Float(value);
        return true;
    }
    default:
        return false;
    }
}

template <class T>
int Order(T a, T b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Order of two values that are neither Null: -1, 0, 1, or 2 when unordered (NaN). False when the
// values cannot be compared.
bool CompareValues(TFilterValue a, TFilterValue b, int& order) {
    if (a.kind == fvOpaque || b.kind == fvOpaque) return false;
    if (a.kind == fvUnassigned && b.kind == fvUnassigned) {
        order = 0;
        return true;
    }
    if (a.kind == fvUnassigned) a = ZeroLike(b);
    if (b.kind == fvUnassigned) b = ZeroLike(a);
    if (a.kind == fvText && b.kind == fvText) {
        order = a.text.compare(b.text);
        order = order < 0 ? -1 : (order > 0 ? 1 : 0);
        return true;
    }
    if (a.kind == fvText && !ConvertText(a.text, b, a)) return false;
    if (b.kind == fvText && !ConvertText(b.text, a, b)) return false;
    if (a.kind == b.kind && a.kind != fvFloat) {
        order = a.kind == fvBoolean ? Order(a.boolean, b.boolean) : Order(a.integer, b.integer);
        return true;
    }
    double x = 0;
    double y = 0;
    if (!NumberOf(a, x) || !NumberOf(b, y)) return false;
    order = std::isnan(x) || std::isnan(y) ? 2 : Order(x, y);
    return true;
}

// A compare node's operand as text: Null and unassigned are empty, numbers and booleans are written
// into scratch.
bool CompareText(const TFilterValue& v, char (&scratch)[32], std::string_view& text) {
    int length = 0;
    switch (v.kind) {
    case fvNull:
    case fvUnassigned:
        text = {};
        return true;
    case fvText:
        text = v.text;
        return true;
    case fvBoolean:
        text = v.boolean ? "True" : "False";
        return true;
    case fvInteger:
        length = std::snprintf(scratch, sizeof scratch, "%lld", static_cast<long long>(v.integer));
        break;
    case fvFloat:
        length = std::snprintf(scratch, sizeof scratch, "%.15g", v.real);
        break;
    default:
        return false; // dates and opaque values are not compared as text
    }
    if (length < 0) return false;
    text = std::string_view(scratch, std::min<size_t>(static_cast<size_t>(length), sizeof scratch - 1));
    return true;
}

} // namespace

// ---- TmSQLFilter: checking the blob

TmSQLFilter::TmSQLFilter(TNativeDataSet* owner, const CANExpr* expression, pfGENFilter callback,
                         uintptr_t clientData)
    : fOwner(owner), fCallback(callback), fClientData(clientData) {
    if (!expression) return;
    const auto* source = reinterpret_cast<const uint8_t*>(expression);
    const uint16_t totalSize = LoadLE<uint16_t>(source + offsetof(CANExpr, iTotalSize));
    if (totalSize == 0) return;
    if (totalSize < sizeof(CANExpr))
        Malformed("its size " + std::to_string(totalSize) + " is smaller than the header");
    fBlob = std::make_unique<uint8_t[]>(totalSize);
    std::memcpy(fBlob.get(), source, totalSize);
    fBlobSize = totalSize;
    fNodeStart = Word(offsetof(CANExpr, iNodeStart));
    fLiteralStart = Word(offsetof(CANExpr, iLiteralStart));
    if (fNodeStart < sizeof(CANExpr) || fNodeStart >= totalSize)
        Malformed("the node area starts at " + std::to_string(fNodeStart) + ", outside the expression");
    if (fLiteralStart < sizeof(CANExpr) || fLiteralStart > totalSize)
        Malformed("the literal pool starts at " + std::to_string(fLiteralStart) + ", outside the expression");
    std::vector<uint8_t> seen(totalSize, 0);
    fRoot = PrepareNode(0, 1, seen);
}

TmSQLFilter::~TmSQLFilter() = default;

void TmSQLFilter::Malformed(const std::string& what) {
    throw EmSQLException(DBIERR_INVALIDFILTER, "Invalid filter expression: " + what);
}

uint16_t TmSQLFilter::Word(size_t position) const {
    return LoadLE<uint16_t>(fBlob.get() + position);
}

size_t TmSQLFilter::NodePosition(size_t offset, size_t size, std::vector<uint8_t>& seen) const {
    const size_t position = fNodeStart + offset;
    if (position + size > fBlobSize)
        Malformed("the node at offset " + std::to_string(offset) + " lies past the end");
    if (seen[position]) Malformed("the node at offset " + std::to_string(offset) + " is used twice");
    seen[position] = 1;
    return position;
}

int TmSQLFilter::PrepareNode(size_t offset, int depth, std::vector<uint8_t>& seen) {
    if (depth > MaxExpressionDepth)
        Malformed("nodes are nested more than " + std::to_string(MaxExpressionDepth) + " deep");
    const size_t position = NodePosition(offset, HeaderSize, seen);
    TNode node;
    node.nodeClass = LoadLE<uint32_t>(fBlob.get() + position);
    node.op = LoadLE<uint32_t>(fBlob.get() + position + sizeof(uint32_t));
    if (node.nodeClass > nodeLISTELEM)
        Malformed("the node at offset " + std::to_string(offset) + " has the unknown class " +
                  std::to_string(node.nodeClass));
    if (position + NodeSize(node.nodeClass) > fBlobSize)
        Malformed("the node at offset " + std::to_string(offset) + " lies past the end");
    const auto word = [&](int i) { return Word(position + HeaderSize + 2 * static_cast<size_t>(i)); };
    switch (node.nodeClass) {
    case nodeUNARY:
        node.operand1 = PrepareNode(word(0), depth + 1, seen);
        break;
    case nodeBINARY:
        node.operand1 = PrepareNode(word(0), depth + 1, seen);
        node.operand2 = PrepareNode(word(1), depth + 1, seen);
        break;
    case nodeCOMPARE:
        node.caseInsensitive = word(0) != 0;
        node.partialLength = word(1);
        node.operand1 = PrepareNode(word(2), depth + 1, seen);
        node.operand2 = PrepareNode(word(3), depth + 1, seen);
        break;
    case nodeFIELD:
        node.name = LiteralText(word(1));
        break;
    case nodeCONST:
        node.constant = DecodeConstant(word(0), word(2));
        break;
    case nodeLISTELEM:
        // A list is prepared as a whole where it starts; its elements are linked through operand2.
        seen[position] = 0;
        return PrepareList(offset, depth, seen);
    default:
        break; // nodes without operands the evaluator reads: their value is Null
    }
    fNodes.push_back(node);
    return static_cast<int>(fNodes.size()) - 1;
}

int TmSQLFilter::PrepareList(size_t offset, int depth, std::vector<uint8_t>& seen) {
    int first = -1;
    int previous = -1;
    for (size_t element = offset;;) {
        const size_t position = NodePosition(element, sizeof(CANListElem), seen);
        TNode node;
        node.nodeClass = LoadLE<uint32_t>(fBlob.get() + position);
        node.op = LoadLE<uint32_t>(fBlob.get() + position + sizeof(uint32_t));
        if (node.nodeClass != nodeLISTELEM)
            Malformed("the list element at offset " + std::to_string(element) + " is not a list element");
        node.operand1 = PrepareNode(Word(position + HeaderSize), depth + 1, seen);
        fNodes.push_back(node);
        const int index = static_cast<int>(fNodes.size()) - 1;
        if (previous >= 0)
            fNodes[static_cast<size_t>(previous)].operand2 = index;
        else
            first = index;
        previous = index;
        element = Word(position + HeaderSize + 2);
        if (element == 0) return first;
    }
}

std::string_view TmSQLFilter::LiteralText(size_t offset) const {
    const size_t position = fLiteralStart + offset;
    const void* end =
        position < fBlobSize ? std::memchr(fBlob.get() + position, 0, fBlobSize - position) : nullptr;
    if (!end) Malformed("the text at literal offset " + std::to_string(offset) + " has no end");
    const auto* start = fBlob.get() + position;
    return std::string_view(reinterpret_cast<const char*>(start),
                            static_cast<size_t>(static_cast<const uint8_t*>(end) - start));
}

const uint8_t* TmSQLFilter::LiteralBytes(size_t offset, size_t size) const {
    const size_t position = fLiteralStart + offset;
    if (position + size > fBlobSize)
        Malformed("the constant at literal offset " + std::to_string(offset) + " lies past the end");
    return fBlob.get() + position;
}

TFilterValue TmSQLFilter::DecodeConstant(uint16_t type, size_t offset) const {
    switch (type) {
    case fldZSTRING:
        return TFilterValue::Text(LiteralText(offset));
    case fldDATE:
        return TFilterValue::DateTime(static_cast<int64_t>(LoadLE<int32_t>(LiteralBytes(offset, 4))) *
                                      MSecsPerDay);
    case fldBOOL:
        return TFilterValue::Boolean(LoadLE<uint16_t>(LiteralBytes(offset, 2)) != 0);
    case fldINT16:
        return TFilterValue::Integer(LoadLE<int16_t>(LiteralBytes(offset, 2)));
    case fldINT32:
        return TFilterValue::Integer(LoadLE<int32_t>(LiteralBytes(offset, 4)));
    case fldFLOAT:
        return TFilterValue::Float(LoadLE<double>(LiteralBytes(offset, 8)));
    case fldTIME:
        return TFilterValue::DateTime(LoadLE<uint32_t>(LiteralBytes(offset, 4)));
    case fldTIMESTAMP: {
        const double msecs = std::round(LoadLE<double>(LiteralBytes(offset, 8)));
        if (!std::isfinite(msecs) || std::fabs(msecs) > 9.0e18)
            Malformed("the time stamp at literal offset " + std::to_string(offset) + " is out of range");
        return TFilterValue::DateTime(static_cast<int64_t>(msecs));
    }
    case fldUINT16:
        return TFilterValue::Integer(LoadLE<uint16_t>(LiteralBytes(offset, 2)));
    case fldUINT32:
        return TFilterValue::Integer(LoadLE<uint32_t>(LiteralBytes(offset, 4)));
    default:
        return TFilterValue::Null(); // BCD, bytes and other literal types are not evaluated
    }
}

// ---- TmSQLFilter: evaluation

bool TmSQLFilter::GetFilterResult(uint8_t* record) {
    TFilterValue value;
    return GetFilterResult(record, value);
}

bool TmSQLFilter::GetFilterResult(uint8_t* record, TFilterValue& value) {
    value = TFilterValue();
    if (!fActive || !record || (!fBlob && !fCallback)) return false;
    fRecord = record;
    if (fBlob) {
        if (!CalcExpression(fRoot, value)) {
            value = TFilterValue();
            return false;
        }
        if (!value.IsTrue()) return false;
    }
    if (fCallback) {
        try {
            return fCallback(fClientData, record, fOwner ? fOwner->GetRecordNo() : 0) != 0;
        } catch (...) {
            // A record whose judgement fails does not pass, like a failed expression.
            return false;
        }
    }
    return true;
}

bool TmSQLFilter::CalcExpression(int index, TFilterValue& value) {
    TNode& node = fNodes[static_cast<size_t>(index)];
    switch (node.nodeClass) {
    case nodeUNARY:
        return UnaryNode(node, value);
    case nodeBINARY:
        return BinaryNode(node, value);
    case nodeCOMPARE:
        return CompareNode(node, value);
    case nodeFIELD:
        return FieldNode(node, value);
    case nodeCONST:
        value = node.constant;
        return true;
    default:
        value = TFilterValue::Null();
        return true;
    }
}

bool TmSQLFilter::UnaryNode(const TNode& node, TFilterValue& value) {
    TFilterValue operand;
    if (!CalcExpression(node.operand1, operand)) return false;
    return PerformCANOp(node.op, operand, TFilterValue(), value);
}

bool TmSQLFilter::BinaryNode(const TNode& node, TFilterValue& value) {
    if (node.op == canIN && fNodes[static_cast<size_t>(node.operand2)].nodeClass == nodeLISTELEM)
        return InList(node, value);
    TFilterValue operand2;
    TFilterValue operand1;
    if (!CalcExpression(node.operand2, operand2) || !CalcExpression(node.operand1, operand1)) return false;
    return PerformCANOp(node.op, operand1, operand2, value);
}

bool TmSQLFilter::InList(const TNode& node, TFilterValue& value) {
    TFilterValue operand;
    if (!CalcExpression(node.operand1, operand)) return false;
    bool found = false;
    for (int element = node.operand2; element >= 0;) {
        const TNode& item = fNodes[static_cast<size_t>(element)];
        TFilterValue candidate;
        TFilterValue equal;
        if (!CalcExpression(item.operand1, candidate) || !PerformCANOp(canEQ, operand, candidate, equal))
            return false;
        found = found || equal.IsTrue();
        element = item.operand2;
    }
    value = TFilterValue::Boolean(found);
    return true;
}

bool TmSQLFilter::CompareNode(const TNode& node, TFilterValue& value) {
    TFilterValue operand1;
    TFilterValue operand2;
    if (!CalcExpression(node.operand1, operand1) || !CalcExpression(node.operand2, operand2)) return false;
    char scratch1[32];
    char scratch2[32];
    std::string_view a;
    std::string_view b;
    if (!CompareText(operand1, scratch1, a) || !CompareText(operand2, scratch2, b)) return false;
    const bool partial = node.partialLength > 0;
    if (partial) b = b.substr(0, node.partialLength);
    bool result = false;
    if (node.op == canLIKE)
        result = Like(a, b, node.caseInsensitive, partial);
    else if (partial)
        result = a.size() >= b.size() && SameText(a.substr(0, b.size()), b, node.caseInsensitive);
    else
        result = SameText(a, b, node.caseInsensitive);
    value = TFilterValue::Boolean(node.op == canNE ? !result : result);
    return true;
}

TmSQLField* TmSQLFilter::FindField(TNode& node) const {
    if (!fOwner) return nullptr;
    const TmSQLFields& fields = fOwner->FieldDescs();
    const auto matches = [&](int index) {
        const FLDDesc& desc = fields.Field(index)->Desc();
        const std::string_view name(desc.szName, strnlen(desc.szName, sizeof desc.szName));
        return SameText(name, node.name, true);
    };
    const int count = fields.Count();
    if (node.fieldIndex >= 0 && node.fieldIndex < count && matches(node.fieldIndex))
        return fields.Field(node.fieldIndex);
    for (int i = 0; i < count; ++i) {
        if (matches(i)) {
            node.fieldIndex = i;
            return fields.Field(i);
        }
    }
    return nullptr;
}

bool TmSQLFilter::FieldNode(TNode& node, TFilterValue& value) {
    TmSQLField* field = FindField(node);
    if (!field) return false;
    field->SetBuffer(fRecord);
    if (field->GetNull()) {
        value = TFilterValue::Null();
        return true;
    }
    const uint8_t* slot = field->FieldValue();
    const uint8_t* data = slot + 1;
    const int type = field->NativeType();
    const bool hasForm = type == INT_TYPE || type == UINT_TYPE || type == CHAR_TYPE || type == REAL_TYPE ||
                         type == MONEY_TYPE || type == DATE_TYPE || type == TIME_TYPE;
    if (!hasForm) {
        value = TFilterValue::Of(fvOpaque);
        return true;
    }
    if (slot[0] == 0) {
        value = TFilterValue::Null();
        return true;
    }
    switch (type) {
    case INT_TYPE:
        value = TFilterValue::Integer(LoadLE<int32_t>(data));
        return true;
    case UINT_TYPE:
        // The slot holds the column's 32 bits: an unsigned column compares them unsigned.
        value = TFilterValue::Integer(LoadLE<uint32_t>(data));
        return true;
    case CHAR_TYPE: {
        const size_t limit = std::min<size_t>(field->NativeSize(), field->FieldLength());
        value = TFilterValue::Text(std::string_view(reinterpret_cast<const char*>(data),
                                                    strnlen(reinterpret_cast<const char*>(data), limit)));
        return true;
    }
    case REAL_TYPE:
    case MONEY_TYPE:
        value = TFilterValue::Float(LoadLE<double>(data));
        return true;
    default: {
        // DATE gives the host day number, TIME the milliseconds of the day (on day zero).
        int32_t number = 0;
        bool blank = false;
        fOwner->AdjustNativeField(field, slot, &number, blank);
        if (blank) {
            value = TFilterValue::Null();
            return true;
        }
        value =
            TFilterValue::DateTime(type == DATE_TYPE ? static_cast<int64_t>(number) * MSecsPerDay : number);
        return true;
    }
    }
}

bool TmSQLFilter::PerformCANOp(uint32_t op, const TFilterValue& operand1, const TFilterValue& operand2,
                               TFilterValue& result) {
    switch (op) {
    case canISBLANK:
        result = TFilterValue::Boolean(operand1.IsNull());
        return true;
    case canNOTBLANK:
        result = TFilterValue::Boolean(!operand1.IsNull());
        return true;
    case canEQ:
    case canNE:
    case canGT:
    case canLT:
    case canGE:
    case canLE:
    case canIN: {
        const bool equality = op == canEQ || op == canNE || op == canIN;
        if (operand1.IsNull() || operand2.IsNull()) {
            // Null equals only Null and orders with nothing.
            const bool same = operand1.IsNull() && operand2.IsNull();
            result = TFilterValue::Boolean(equality && (op == canNE ? !same : same));
            return true;
        }
        int order = 0;
        if (!CompareValues(operand1, operand2, order)) return false;
        bool value = false;
        if (order == 2) { // unordered: only "not equal" holds
            value = op == canNE;
        } else {
            switch (op) {
            case canNE:
                value = order != 0;
                break;
            case canGT:
                value = order > 0;
                break;
            case canLT:
                value = order < 0;
                break;
            case canGE:
                value = order >= 0;
                break;
            case canLE:
                value = order <= 0;
                break;
            default:
                value = order == 0;
                break;
            }
        }
        result = TFilterValue::Boolean(value);
        return true;
    }
    case canNOT: {
        TTruth truth = tvUnknown;
        if (!Truth(operand1, truth)) return false;
        result = FromTruth(truth == tvUnknown ? tvUnknown : (truth == tvTrue ? tvFalse : tvTrue));
        return true;
    }
    case canAND:
    case canOR: {
        TTruth a = tvUnknown;
        TTruth b = tvUnknown;
        if (!Truth(operand1, a) || !Truth(operand2, b)) return false;
        const TTruth decisive = op == canAND ? tvFalse : tvTrue;
        if (a == decisive || b == decisive)
            result = FromTruth(decisive);
        else if (a == tvUnknown || b == tvUnknown)
            result = TFilterValue::Null();
        else
            result = FromTruth(op == canAND ? tvTrue : tvFalse);
        return true;
    }
    case canLIKE:
        if (operand1.IsNull() || operand2.IsNull()) {
            result = TFilterValue::Null();
            return true;
        }
        if (operand1.kind != fvText || operand2.kind != fvText) return false;
        result = TFilterValue::Boolean(Like(operand1.text, operand2.text, false, false));
        return true;
    default:
        // canNOTDEFINED, arithmetic, functions and aggregates are not evaluated.
        result = TFilterValue::Null();
        return true;
    }
}

// ---- The cursor's filter list

void TNativeDataSet::AddFilter(uintptr_t clientData, uint16_t /*priority*/, bool /*canAbort*/,
                               const CANExpr* expression, pfGENFilter callback, hDBIFilter& handle) {
    handle = nullptr;
    auto filter = std::make_unique<TmSQLFilter>(this, expression, callback, clientData);
    fFilters->Insert(filter.get());
    handle = filter.release();
    UpdateFilterStatus();
}

int TNativeDataSet::FilterIndex(hDBIFilter handle) const {
    const int index = fFilters->IndexOf(handle);
    if (index < 0) throw EmSQLException(DBIERR_NOSUCHFILTER);
    return index;
}

void TNativeDataSet::RetireFilter(TmSQLFilter* filter) {
    std::unique_ptr<TmSQLFilter> owned(filter);
    if (fFilterEvaluations > 0) fRetiredFilters.push_back(std::move(owned));
}

void TNativeDataSet::DropFilter(hDBIFilter handle) {
    if (!handle) {
        while (fFilters->GetCount() > 0) {
            const int last = fFilters->GetCount() - 1;
            auto* filter = static_cast<TmSQLFilter*>(fFilters->At(last));
            fFilters->AtDelete(last);
            RetireFilter(filter);
        }
    } else {
        fFilters->AtDelete(FilterIndex(handle));
        RetireFilter(handle);
    }
    UpdateFilterStatus();
}

void TNativeDataSet::ActivateFilter(hDBIFilter handle) {
    if (!handle) {
        for (int i = 0; i < fFilters->GetCount(); ++i)
            static_cast<TmSQLFilter*>(fFilters->At(i))->SetActive(true);
    } else {
        static_cast<TmSQLFilter*>(fFilters->At(FilterIndex(handle)))->SetActive(true);
    }
    UpdateFilterStatus();
}

void TNativeDataSet::DeactivateFilter(hDBIFilter handle) {
    if (!handle) {
        for (int i = 0; i < fFilters->GetCount(); ++i)
            static_cast<TmSQLFilter*>(fFilters->At(i))->SetActive(false);
    } else {
        static_cast<TmSQLFilter*>(fFilters->At(FilterIndex(handle)))->SetActive(false);
    }
    UpdateFilterStatus();
}

void TNativeDataSet::UpdateFilterStatus() {
    bool any = false;
    for (int i = 0; i < fFilters->GetCount() && !any; ++i)
        any = static_cast<TmSQLFilter*>(fFilters->At(i))->Active();
    fFiltersActive = any;
}

// ---- Record acceptance

bool TNativeDataSet::FilteredRecord(uint8_t* buffer) {
    if (!fFiltersActive) return true;
    // A callback may drop filters while they are judged: those are freed once the walk is over.
    struct TEvaluation {
        TNativeDataSet& cursor;
        explicit TEvaluation(TNativeDataSet& c) : cursor(c) { ++cursor.fFilterEvaluations; }
        ~TEvaluation() {
            if (--cursor.fFilterEvaluations == 0) cursor.fRetiredFilters.clear();
        }
        TEvaluation(const TEvaluation&) = delete;
        TEvaluation& operator=(const TEvaluation&) = delete;
    } evaluation(*this);
    for (int i = 0; i < fFilters->GetCount(); ++i) {
        auto* filter = static_cast<TmSQLFilter*>(fFilters->At(i));
        if (filter->Active() && !filter->GetFilterResult(buffer)) return false;
    }
    return true;
}

void TNativeDataSet::CheckFilter(uint8_t* buffer) {
    if (!fFiltersActive) return;
    if (!buffer) {
        // The row just reached was not read into any buffer: read it into the cursor's own.
        if (!fCurrentRow) return;
        const size_t size = static_cast<size_t>(std::max(GetWorkBufferSize(), 0));
        if (fFilterBuffer.size() != size) fFilterBuffer.assign(size, 0);
        buffer = fFilterBuffer.data();
        SetInternalBuffer(buffer);
        if (!FetchRow(fRecNo)) return;
    }
    while (!FilteredRecord(buffer)) {
        // Each read forgets the buffer, so it is set again for every step.
        SetInternalBuffer(buffer);
        if (fLastDirection == cdBackward)
            PrevRecord();
        else
            NextRecord();
    }
}

} // namespace corvane
