// Filter expressions: the builder/writer (TFilterExpr) and the text parser (TExprParser).
#include "host/FilterExpr.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "host/DataSet.h"
#include "host/DateTime.h"
#include "host/Exceptions.h"
#include "host/Fields.h"
#include "host/Messages.h"
#include "host/SysUtils.h"

namespace host {

namespace {

// A blob larger than its 16-bit size and offsets can describe.
constexpr const char* SExprTooLong = "Filter expression too long";
// Deepest nesting of parentheses, function arguments and IN lists the parser follows.
constexpr int MaxFilterNesting = 256;
// String constants are kept whole (the classic scanner cut them to 255 characters, which made a
// long constant match every value sharing its first 255 characters); only the 64 KiB limit of
// the blob applies.

bool IsCompareOp(TCANOperator op) {
    return (op >= coEQ && op <= coLE) || op == coLIKE;
}

bool IsBooleanOp(TCANOperator op) {
    return (op >= coISBLANK && op <= coOR) || op == coLIKE || op == coIN;
}

bool IsBlobType(TFieldType t) {
    return ftBlobTypes.Contains(t);
}

bool IsBytesType(TFieldType t) {
    return t == ftBytes || t == ftVarBytes;
}

// The operator that gives the same result with the operands exchanged.
TCANOperator Mirror(TCANOperator op) {
    switch (op) {
    case coGT:
        return coLT;
    case coLT:
        return coGT;
    case coGE:
        return coLE;
    case coLE:
        return coGE;
    default:
        return op;
    }
}

TFieldType TypeOfVariant(const Variant& v) {
    switch (v.VarType() & varTypeMask) {
    case varString:
        return ftString;
    case varSmallint:
    case varInteger:
    case varByte:
        return ftInteger;
    case varInt64:
        return ftLargeint;
    case varDouble:
        return ftFloat;
    case varCurrency:
        return ftCurrency;
    case varDate:
        return ftDateTime;
    case varBoolean:
        return ftBoolean;
    default:
        return ftUnknown;
    }
}

[[noreturn]] void NullCastError(const char* target) {
    throw EVariantError(Format(SVarTypeCastError, {"Null", target}));
}

int64_t ConstToInt64(const Variant& v) {
    if (VarIsStr(v)) return StrToInt64(Trim(v.RawString()));
    return VarToInt64(v);
}

double ConstToDouble(const Variant& v) {
    if (VarIsStr(v)) return StrToFloat(v.RawString());
    return VarToDouble(v);
}

TDateTime ConstToDate(const Variant& v, TFieldType type) {
    if (VarIsStr(v)) {
        if (type == ftDate) return StrToDate(v.RawString());
        if (type == ftTime) return StrToTime(v.RawString());
        return StrToDateTime(v.RawString());
    }
    return VarToDateTime(v);
}

void AppendBytes(std::vector<uint8_t>& out, const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    out.insert(out.end(), p, p + size);
}

} // namespace

// ---------------------------------------------------------------- TFilterExpr

TFilterExpr::TFilterExpr(TDataSet* dataSet, TFilterOptions options, TParserOptions parseOptions,
                         const std::string& fieldName, std::vector<bool>* depFields,
                         const TFieldMap& fieldMap)
    : fDataSet(dataSet), fOptions(options), fParserOptions(parseOptions), fFieldName(fieldName),
      fDepFields(depFields), fFieldMap(fieldMap) {}

TFilterExpr::~TFilterExpr() = default;

TExprNode* TFilterExpr::NewNode(TExprNodeKind kind, TCANOperator op, const Variant& data, TExprNode* left,
                                TExprNode* right) {
    auto node = std::make_unique<TExprNode>();
    node->Kind = kind;
    node->Operator = op;
    node->Data = data;
    node->Left = left;
    node->Right = right;
    switch (kind) {
    case enField: {
        node->Name = VarToStr(data);
        if (fDataSet == nullptr) DatabaseErrorFmt(SFieldNotFound, {node->Name});
        TField* field = fDataSet->FieldByName(node->Name);
        if (field->FieldKind() != fkData && field->FieldKind() != fkInternalCalc)
            DatabaseErrorFmt(SExprBadField, {field->FieldName()});
        node->Field = field;
        node->DataType = field->DataType();
        node->DataSize = field->Size();
        if (fParserOptions.Contains(poFieldDepend) && fDepFields != nullptr && field->FieldNo() > 0) {
            const auto no = static_cast<size_t>(field->FieldNo());
            if (fDepFields->size() <= no) fDepFields->resize(no + 1);
            (*fDepFields)[no] = true;
        }
        break;
    }
    case enConst:
        node->DataType = TypeOfVariant(data);
        break;
    case enOperator:
        if (IsBooleanOp(op))
            node->DataType = ftBoolean;
        else if (left != nullptr)
            node->DataType = left->DataType;
        break;
    case enFunc:
        node->Name = VarToStr(data);
        break;
    }
    fNodes.push_back(std::move(node));
    return fNodes.back().get();
}

TExprNode* TFilterExpr::NewConstNode(TFieldType dataType, const Variant& value, int size) {
    TExprNode* node = NewNode(enConst, coNOTDEFINED, value, nullptr, nullptr);
    node->DataType = dataType;
    node->DataSize = size;
    return node;
}

TExprNode* TFilterExpr::NewCompareNode(TField* field, TCANOperator op, const Variant& value) {
    auto left = std::make_unique<TExprNode>();
    left->Kind = enField;
    left->Name = field->FieldName();
    left->Data = Variant(field->FieldName());
    left->Field = field;
    left->DataType = field->DataType();
    left->DataSize = field->Size();
    fNodes.push_back(std::move(left));
    TExprNode* fieldNode = fNodes.back().get();
    TExprNode* constNode = NewConstNode(field->DataType(), value, field->Size());
    return NewNode(enOperator, op, Unassigned(), fieldNode, constNode);
}

const std::vector<uint8_t>& TFilterExpr::GetFilterData(TExprNode* root) {
    fNodeArea.clear();
    fLiterals.clear();
    fBlob.clear();
    PutExprNode(root, coNOTDEFINED);
    const size_t total = sizeof(CANExpr) + fNodeArea.size() + fLiterals.size();
    if (total > 0xFFFF) DatabaseError(SExprTooLong);
    CANExpr header{};
    header.iVer = CANEXPRVERSION;
    header.iTotalSize = static_cast<uint16_t>(total);
    header.iNodes = CANEXPR_NODES_UNUSED;
    header.iNodeStart = sizeof(CANExpr);
    header.iLiteralStart = static_cast<uint16_t>(sizeof(CANExpr) + fNodeArea.size());
    fBlob.reserve(total);
    AppendBytes(fBlob, &header, sizeof header);
    fBlob.insert(fBlob.end(), fNodeArea.begin(), fNodeArea.end());
    fBlob.insert(fBlob.end(), fLiterals.begin(), fLiterals.end());
    return fBlob;
}

uint16_t TFilterExpr::NewNodeSpace(uint32_t nodeClass, uint32_t op, int words) {
    const size_t offset = fNodeArea.size();
    if (offset + sizeof(CANHdr) + 2 * static_cast<size_t>(words) > 0xFFFF) DatabaseError(SExprTooLong);
    fNodeArea.resize(offset + sizeof(CANHdr) + 2 * static_cast<size_t>(words), 0);
    const CANHdr hdr{nodeClass, op};
    std::memcpy(fNodeArea.data() + offset, &hdr, sizeof hdr);
    return static_cast<uint16_t>(offset);
}

void TFilterExpr::SetWord(uint16_t nodeOffset, int word, uint16_t value) {
    std::memcpy(fNodeArea.data() + nodeOffset + sizeof(CANHdr) + 2 * word, &value, sizeof value);
}

uint16_t TFilterExpr::PutLiteral(const void* data, size_t size) {
    const size_t offset = fLiterals.size();
    if (offset + size > 0xFFFF) DatabaseError(SExprTooLong);
    AppendBytes(fLiterals, data, size);
    return static_cast<uint16_t>(offset);
}

// Zero-terminated text in the pool, converted through the dataset's Translate (to OEM).
uint16_t TFilterExpr::PutText(const std::string& text) {
    const std::string oem = ToOem(text);
    return PutLiteral(oem.c_str(), oem.size() + 1);
}

std::string TFilterExpr::ToOem(const std::string& text) const {
    if (fDataSet == nullptr) return text;
    std::vector<char> buffer(text.size() + 1, '\0');
    fDataSet->Translate(text.c_str(), buffer.data(), true);
    buffer.back() = '\0';
    return std::string(buffer.data());
}

uint16_t TFilterExpr::PutExprNode(TExprNode* node, TCANOperator parentOp) {
    if (node == nullptr) DatabaseError(SExprIncorrect);
    switch (node->Kind) {
    case enField:
        if (node->DataType == ftBoolean &&
            (parentOp == coNOTDEFINED || parentOp == coAND || parentOp == coOR || parentOp == coNOT)) {
            const uint16_t offset = NewNodeSpace(nodeBINARY, canNE, 2);
            SetWord(offset, 0, PutFieldNode(node));
            SetWord(offset, 1, PutConstNode(ftBoolean, Variant(false), 0));
            return offset;
        }
        return PutFieldNode(node);
    case enConst:
        return PutConstNode(node->DataType, node->Data, node->DataSize);
    case enFunc: {
        const uint16_t offset = NewNodeSpace(nodeFUNC, canFUNC2, 2);
        SetWord(offset, 0, PutText(node->Name));
        SetWord(offset, 1, node->ArgList.empty() ? 0 : PutList(node->ArgList, coFUNC2));
        return offset;
    }
    case enOperator:
        break;
    }
    const TCANOperator op = node->Operator;
    switch (op) {
    case coNOT:
    case coISBLANK:
    case coNOTBLANK:
    case coMINUS:
    case coUPPER:
    case coLOWER: {
        const uint16_t offset = NewNodeSpace(nodeUNARY, op, 1);
        SetWord(offset, 0, PutExprNode(node->Left, op));
        return offset;
    }
    case coIN: {
        const uint16_t offset = NewNodeSpace(nodeBINARY, op, 2);
        SetWord(offset, 0, PutExprNode(node->Left, op));
        SetWord(offset, 1, PutList(node->ArgList, op));
        return offset;
    }
    default:
        if (IsCompareOp(op)) return PutCompare(node);
        const uint16_t offset = NewNodeSpace(nodeBINARY, op, 2);
        SetWord(offset, 0, PutExprNode(node->Left, op));
        SetWord(offset, 1, PutExprNode(node->Right, op));
        return offset;
    }
}

uint16_t TFilterExpr::PutCompare(TExprNode* node) {
    TExprNode* left = node->Left;
    TExprNode* right = node->Right;
    TCANOperator op = node->Operator;
    if (left == nullptr || right == nullptr) DatabaseError(SExprIncorrect);
    if (left->Kind == enConst && right->Kind == enField) {
        std::swap(left, right);
        op = Mirror(op);
    }
    if (right->IsNullConst()) {
        if (op != coEQ && op != coNE) DatabaseError(SExprBadNullTest);
        const uint16_t offset = NewNodeSpace(nodeUNARY, op == coEQ ? canISBLANK : canNOTBLANK, 1);
        SetWord(offset, 0, PutExprNode(left, op));
        return offset;
    }
    if ((op == coEQ || op == coNE || op == coLIKE) && left->Kind == enField && right->Kind == enConst &&
        ftStringTypes.Contains(right->DataType) && !VarIsNull(right->Data)) {
        std::string text = VarToStr(right->Data);
        if (!text.empty()) {
            const bool caseInsensitive = fOptions.Contains(foCaseInsensitive);
            size_t partialLen = 0;
            if (node->Partial) {
                partialLen = text.size();
            } else if (!fOptions.Contains(foNoPartialCompare) && text.size() > 1 && text.back() == '*') {
                text.pop_back();
                partialLen = text.size();
            }
            if (caseInsensitive || partialLen != 0) {
                const uint16_t offset = NewNodeSpace(nodeCOMPARE, op, 4);
                SetWord(offset, 0, caseInsensitive ? 1 : 0);
                SetWord(offset, 1, static_cast<uint16_t>(partialLen));
                SetWord(offset, 2, PutExprNode(left, op));
                SetWord(offset, 3, PutConstNode(right->DataType, Variant(text), right->DataSize));
                return offset;
            }
        }
    }
    const uint16_t offset = NewNodeSpace(nodeBINARY, op, 2);
    SetWord(offset, 0, PutExprNode(left, op));
    SetWord(offset, 1, PutExprNode(right, op));
    return offset;
}

uint16_t TFilterExpr::PutFieldNode(TExprNode* node) {
    const uint16_t offset = NewNodeSpace(nodeFIELD, canFIELD2, 2);
    SetWord(offset, 0, static_cast<uint16_t>(node->Field != nullptr ? node->Field->FieldNo() : 0));
    SetWord(offset, 1, PutText(node->Name));
    return offset;
}

uint16_t TFilterExpr::PutConstNode(TFieldType dataType, const Variant& value, int size) {
    std::vector<uint8_t> bytes;
    auto put = [&bytes](const auto& v) { AppendBytes(bytes, &v, sizeof v); };
    const bool isNull = VarIsNull(value);
    switch (dataType) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftGuid: {
        if (isNull) NullCastError("String");
        std::string text = VarToStr(value);
        const std::string oem = ToOem(text);
        AppendBytes(bytes, oem.c_str(), oem.size() + 1);
        break;
    }
    case ftSmallint: {
        const int64_t v = ConstToInt64(value);
        if (v < INT16_MIN || v > INT16_MAX) DatabaseError(SExprRangeError);
        put(static_cast<int16_t>(v));
        break;
    }
    case ftWord: {
        const int64_t v = ConstToInt64(value);
        if (v < 0 || v > UINT16_MAX) DatabaseError(SExprRangeError);
        put(static_cast<uint16_t>(v));
        break;
    }
    case ftInteger:
    case ftAutoInc: {
        const int32_t v = VarIsStr(value) ? StrToInt(Trim(value.RawString())) : VarToInteger(value);
        put(v);
        break;
    }
    case ftFloat:
    case ftCurrency:
        put(ConstToDouble(value));
        break;
    case ftDate:
        put(DateTimeToTimeStamp(ConstToDate(value, ftDate)).Date);
        break;
    case ftTime:
        put(DateTimeToTimeStamp(ConstToDate(value, ftTime)).Time);
        break;
    case ftDateTime:
        put(TimeStampToMSecs(DateTimeToTimeStamp(ConstToDate(value, ftDateTime))));
        break;
    case ftBoolean:
        put(static_cast<uint16_t>(VarToBoolean(value) ? 0xFFFF : 0));
        break;
    case ftBCD: {
        const TBcd bcd = DoubleToBcd(ConstToDouble(value), 0, std::clamp(size, 0, 32));
        AppendBytes(bytes, &bcd, 18);
        break;
    }
    default:
        DatabaseErrorFmt(SExprBadConst, {FieldTypeNames[dataType]});
    }
    const uint16_t offset = NewNodeSpace(nodeCONST, canCONST2, 3);
    SetWord(offset, 0, fFieldMap[dataType]);
    SetWord(offset, 1, static_cast<uint16_t>(bytes.size()));
    SetWord(offset, 2, PutLiteral(bytes.data(), bytes.size()));
    return offset;
}

// A chain of LISTELEM nodes, each followed by its element's expression.
uint16_t TFilterExpr::PutList(const std::vector<TExprNode*>& items, TCANOperator parentOp) {
    uint16_t first = 0;
    uint16_t previous = 0;
    bool havePrevious = false;
    for (TExprNode* item : items) {
        const uint16_t offset = NewNodeSpace(nodeLISTELEM, canLISTELEM2, 2);
        if (havePrevious)
            SetWord(previous, 1, offset);
        else
            first = offset;
        SetWord(offset, 0, PutExprNode(item, parentOp));
        previous = offset;
        havePrevious = true;
    }
    return first;
}

// ---------------------------------------------------------------- TExprParser

TExprParser::TExprParser(TDataSet* dataSet, const std::string& text, TFilterOptions options,
                         TParserOptions parserOptions, const std::string& fieldName,
                         std::vector<bool>* depFields, const TFieldMap& fieldMap)
    : fFilter(dataSet, options, parserOptions, fieldName, depFields, fieldMap), fParserOptions(parserOptions),
      fText(text) {
    NextToken();
    fRoot = ParseExpr();
    if (fToken != etEnd) DatabaseError(SExprTermination);
    if (!fParserOptions.Contains(poDefaultExpr) && fRoot->DataType != ftBoolean)
        DatabaseError(SExprIncorrect);
    fFilter.GetFilterData(fRoot);
}

TExprParser::~TExprParser() = default;

void TExprParser::NextToken() {
    auto at = [this](size_t i) -> unsigned char { return i < fText.size() ? fText[i] : '\0'; };
    fPrevToken = fToken;
    fTokenString.clear();
    fTokenValue = Unassigned();
    while (at(fSource) != '\0' && at(fSource) <= ' ')
        ++fSource;
    fTokenStart = fSource;
    const unsigned char c = at(fSource);
    if (c == '\0') {
        fToken = etEnd;
        return;
    }
    if (std::isalpha(c) || c == '_' || c >= 0x81) {
        size_t p = fSource + 1;
        for (unsigned char d = at(p);
             std::isalnum(d) || d == '_' || d == '.' || d == '[' || d == ']' || d >= 0x81; d = at(++p)) {
        }
        fTokenString = fText.substr(fSource, p - fSource);
        fSource = p;
        if (SameText(fTokenString, STextTrue) || SameText(fTokenString, STextFalse)) {
            fToken = etLiteral;
            fLiteralType = ftBoolean;
            fTokenValue = Variant(SameText(fTokenString, STextTrue));
        } else {
            fToken = etSymbol;
        }
        return;
    }
    switch (c) {
    case '[': {
        size_t p = fSource + 1;
        while (at(p) != '\0' && at(p) != ']')
            ++p;
        if (at(p) != ']') DatabaseError(SExprNameError);
        fTokenString = fText.substr(fSource + 1, p - fSource - 1);
        fSource = p + 1;
        fToken = etName;
        return;
    }
    case '\'': {
        size_t p = fSource + 1;
        std::string value;
        for (;;) {
            const unsigned char d = at(p);
            if (d == '\0') DatabaseError(SExprStringError);
            if (d == '\'') {
                if (at(p + 1) != '\'') break;
                ++p;
            }
            value += static_cast<char>(d);
            ++p;
        }
        fSource = p + 1;
        fToken = etLiteral;
        fLiteralType = ftString;
        fTokenString = value;
        fTokenValue = Variant(std::move(value));
        return;
    }
    case '(':
        ++fSource;
        fToken = etLParen;
        return;
    case ')':
        ++fSource;
        fToken = etRParen;
        return;
    case ',':
        ++fSource;
        fToken = etComma;
        return;
    case '=':
        ++fSource;
        fToken = etEQ;
        return;
    case '<':
        ++fSource;
        if (at(fSource) == '=') {
            ++fSource;
            fToken = etLE;
        } else if (at(fSource) == '>') {
            ++fSource;
            fToken = etNE;
        } else {
            fToken = etLT;
        }
        return;
    case '>':
        ++fSource;
        if (at(fSource) == '=') {
            ++fSource;
            fToken = etGE;
        } else {
            fToken = etGT;
        }
        return;
    case '+':
        ++fSource;
        fToken = etADD;
        return;
    case '*':
        ++fSource;
        fToken = etMUL;
        return;
    case '/':
        ++fSource;
        fToken = etDIV;
        return;
    default:
        break;
    }
    if (c == '-' || std::isdigit(c)) {
        ++fSource;
        // After an operand the character is the minus operator (even a digit, as in the classic
        // scanner); elsewhere it starts a number, kept as text until the constant is written.
        if (fPrevToken == etLiteral || fPrevToken == etName || fPrevToken == etSymbol ||
            fPrevToken == etRParen) {
            fToken = etSUB;
            return;
        }
        const char decimal = FormatSettings.DecimalSeparator;
        for (unsigned char d = at(fSource); std::isdigit(d) || d == static_cast<unsigned char>(decimal) ||
                                            d == 'e' || d == 'E' || d == '+' || d == '-';
             d = at(fSource))
            ++fSource;
        fTokenString = fText.substr(fTokenStart, fSource - fTokenStart);
        fToken = etLiteral;
        fLiteralType = ftFloat;
        fTokenValue = Variant(fTokenString);
        return;
    }
    DatabaseErrorFmt(SExprInvalidChar, {std::string(1, static_cast<char>(c))});
}

bool TExprParser::TokenSymbolIs(const char* symbol) const {
    return fToken == etSymbol && SameText(fTokenString, symbol);
}

std::string TExprParser::TokenName() const {
    if (fSource == fTokenStart) return SExprNothing;
    return "'" + fText.substr(fTokenStart, fSource - fTokenStart) + "'";
}

TExprNode* TExprParser::NewOperator(TCANOperator op, TExprNode* left, TExprNode* right) {
    if (op == coAND || op == coOR || op == coNOT) {
        if (left->DataType != ftBoolean || (right != nullptr && right->DataType != ftBoolean))
            DatabaseError(SExprTypeMis);
    }
    return fFilter.NewNode(enOperator, op, Unassigned(), left, right);
}

TExprNode* TExprParser::ParseExpr() {
    // Parentheses, function arguments and IN lists nest through here: their depth is bounded, so that
    // no text can exhaust the stack.
    if (fNesting >= MaxFilterNesting) DatabaseError(SExprIncorrect);
    ++fNesting;
    struct Leave {
        int& nesting;
        ~Leave() { --nesting; }
    } leave{fNesting};
    TExprNode* result = ParseExpr2();
    while (TokenSymbolIs("OR")) {
        NextToken();
        TExprNode* right = ParseExpr2();
        result = NewOperator(coOR, result, right);
    }
    return result;
}

TExprNode* TExprParser::ParseExpr2() {
    TExprNode* result = ParseExpr3();
    while (TokenSymbolIs("AND")) {
        NextToken();
        TExprNode* right = ParseExpr3();
        result = NewOperator(coAND, result, right);
    }
    return result;
}

TExprNode* TExprParser::ParseExpr3() {
    if (TokenSymbolIs("NOT")) {
        NextToken();
        return NewOperator(coNOT, ParseExpr4(), nullptr);
    }
    return ParseExpr4();
}

TExprNode* TExprParser::ParseExpr4() {
    TExprNode* left = ParseExpr5();
    TCANOperator op = coNOTDEFINED;
    switch (fToken) {
    case etEQ:
        op = coEQ;
        break;
    case etNE:
        op = coNE;
        break;
    case etGE:
        op = coGE;
        break;
    case etLE:
        op = coLE;
        break;
    case etGT:
        op = coGT;
        break;
    case etLT:
        op = coLT;
        break;
    default:
        if (TokenSymbolIs("LIKE")) op = coLIKE;
        break;
    }
    if (op != coNOTDEFINED) {
        NextToken();
        TExprNode* right = ParseExpr5();
        TypeCheckCompare(op, left, right);
        return NewOperator(op, left, right);
    }
    if (TokenSymbolIs("IS")) {
        NextToken();
        if (TokenSymbolIs("NOT")) {
            NextToken();
            if (!TokenSymbolIs("NULL")) DatabaseError(SInvalidKeywordUse);
            op = coNOTBLANK;
        } else if (TokenSymbolIs("NULL")) {
            op = coISBLANK;
        } else {
            DatabaseError(SInvalidKeywordUse);
        }
        NextToken();
        return NewOperator(op, left, nullptr);
    }
    if (TokenSymbolIs("IN")) {
        NextToken();
        if (fToken != etLParen) DatabaseErrorFmt(SExprNoLParen, {TokenName()});
        NextToken();
        if (fToken == etRParen) DatabaseError(SExprEmptyInList);
        std::vector<TExprNode*> items;
        for (;;) {
            TExprNode* item = ParseExpr();
            if (left->Kind == enField && item->Kind == enConst) {
                item->DataType = left->DataType;
                item->DataSize = left->DataSize;
            }
            items.push_back(item);
            if (fToken == etComma) {
                NextToken();
                continue;
            }
            if (fToken != etRParen) DatabaseErrorFmt(SExprNoRParenOrComma, {TokenName()});
            break;
        }
        NextToken();
        TExprNode* node = NewOperator(coIN, left, nullptr);
        node->ArgList = std::move(items);
        return node;
    }
    return left;
}

TExprNode* TExprParser::ParseExpr5() {
    TExprNode* result = ParseExpr6();
    while (fToken == etADD || fToken == etSUB) {
        if (!fParserOptions.Contains(poExtSyntax)) DatabaseError(SExprNoArith);
        const TCANOperator op = fToken == etADD ? coADD : coSUB;
        NextToken();
        TExprNode* right = ParseExpr6();
        result = NewOperator(op, result, right);
    }
    return result;
}

TExprNode* TExprParser::ParseExpr6() {
    TExprNode* result = ParseExpr7();
    while (fToken == etMUL || fToken == etDIV) {
        if (!fParserOptions.Contains(poExtSyntax)) DatabaseError(SExprNoArith);
        const TCANOperator op = fToken == etMUL ? coMUL : coDIV;
        NextToken();
        TExprNode* right = ParseExpr7();
        result = NewOperator(op, result, right);
    }
    return result;
}

namespace {

struct FunctionInfo {
    const char* name;
    TFieldType resultType; // ftUnknown: the type of the first argument
};

constexpr FunctionInfo Functions[] = {
    {"UPPER", ftString},     {"LOWER", ftString},     {"SUBSTRING", ftString}, {"TRIM", ftString},
    {"TRIMLEFT", ftString},  {"TRIMRIGHT", ftString}, {"YEAR", ftInteger},     {"MONTH", ftInteger},
    {"DAY", ftInteger},      {"HOUR", ftInteger},     {"MINUTE", ftInteger},   {"SECOND", ftInteger},
    {"GETDATE", ftDateTime}, {"DATE", ftDate},        {"TIME", ftTime},        {"SUM", ftFloat},
    {"MIN", ftUnknown},      {"MAX", ftUnknown},      {"AVG", ftFloat},        {"COUNT", ftInteger}};

const FunctionInfo* FindFunction(const std::string& name) {
    for (const FunctionInfo& f : Functions)
        if (SameText(name, f.name)) return &f;
    return nullptr;
}

} // namespace

TExprNode* TExprParser::ParseExpr7() {
    TExprNode* result = nullptr;
    switch (fToken) {
    case etSymbol: {
        size_t p = fSource;
        while (p < fText.size() && fText[p] != '\0' && static_cast<unsigned char>(fText[p]) <= ' ')
            ++p;
        const FunctionInfo* function = FindFunction(fTokenString);
        if (fParserOptions.Contains(poExtSyntax) && function != nullptr && p < fText.size() &&
            fText[p] == '(') {
            result = fFilter.NewNode(enFunc, coFUNC2, Variant(UpperCase(fTokenString)), nullptr, nullptr);
            NextToken(); // the '('
            NextToken();
            if (fToken == etMUL && SameText(result->Name, "COUNT")) {
                NextToken(); // COUNT(*): no arguments
                if (fToken != etRParen) DatabaseErrorFmt(SExprNoRParen, {TokenName()});
            } else if (fToken != etRParen) {
                for (;;) {
                    result->ArgList.push_back(ParseExpr());
                    if (fToken == etComma) {
                        NextToken();
                        continue;
                    }
                    if (fToken != etRParen) DatabaseErrorFmt(SExprNoRParenOrComma, {TokenName()});
                    break;
                }
            }
            result->DataType = function->resultType;
            if (result->DataType == ftUnknown && !result->ArgList.empty())
                result->DataType = result->ArgList.front()->DataType;
        } else if (TokenSymbolIs("NULL")) {
            result = fFilter.NewNode(enConst, coNOTDEFINED, Null(), nullptr, nullptr);
        } else {
            result = fFilter.NewNode(enField, coNOTDEFINED, Variant(fTokenString), nullptr, nullptr);
        }
        break;
    }
    case etName:
        result = fFilter.NewNode(enField, coNOTDEFINED, Variant(fTokenString), nullptr, nullptr);
        break;
    case etLiteral:
        result = fFilter.NewNode(enConst, coNOTDEFINED, fTokenValue, nullptr, nullptr);
        result->DataType = fLiteralType;
        break;
    case etLParen:
        NextToken();
        result = ParseExpr();
        if (fToken != etRParen) DatabaseErrorFmt(SExprNoRParen, {TokenName()});
        break;
    default:
        DatabaseErrorFmt(SExprExpected, {TokenName()});
    }
    NextToken();
    return result;
}

// Types the constant of a comparison after the operand it is compared with.
void TExprParser::TypeCheckCompare(TCANOperator op, TExprNode* left, TExprNode* right) {
    TExprNode* field = nullptr;
    TExprNode* constant = nullptr;
    if (left->Kind == enField && right->Kind == enConst) {
        field = left;
        constant = right;
    } else if (left->Kind == enConst && right->Kind == enField) {
        field = right;
        constant = left;
    }
    if (field != nullptr) {
        if (!constant->IsNullConst()) {
            if (IsBlobType(field->DataType)) {
                if (op != coLIKE) DatabaseError(SExprTypeMis);
                constant->DataType = ftString;
                return;
            }
            if (IsBytesType(field->DataType)) DatabaseError(SExprTypeMis);
        }
        constant->DataType = field->DataType;
        constant->DataSize = field->DataSize;
        return;
    }
    const bool blobs = IsBlobType(left->DataType) || IsBlobType(right->DataType) ||
                       IsBytesType(left->DataType) || IsBytesType(right->DataType);
    if (blobs) DatabaseError(SExprTypeMis);
    // A date/time operand compared with a text constant makes the text a date/time.
    const TFieldTypes dateTypes{ftDate, ftTime, ftDateTime};
    if (dateTypes.Contains(left->DataType) && right->Kind == enConst && right->DataType == ftString)
        right->DataType = left->DataType;
    else if (dateTypes.Contains(right->DataType) && left->Kind == enConst && left->DataType == ftString)
        left->DataType = right->DataType;
}

} // namespace host
