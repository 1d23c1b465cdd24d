// Filter expressions: TExprParser turns a filter text into a CANExpr blob (host/CANExpr.h);
// TFilterExpr is the tree builder and blob writer the parser uses, also used directly for the
// lookup filters of Locate/Lookup (NewCompareNode + NewNode(coAND) + GetFilterData).
//
// Filter text grammar (lowest precedence first):
//   expr     := and-expr { OR and-expr }
//   and-expr := not-expr { AND not-expr }
//   not-expr := [NOT] compare                      (a single NOT)
//   compare  := sum [ (= | <> | >= | <= | > | < | LIKE) sum | IS [NOT] NULL | IN ( expr {, expr} ) ]
//   sum      := term { (+ | -) term }              (arithmetic needs poExtSyntax)
//   term     := factor { (* | /) factor }
//   factor   := function ( args ) | NULL | True | False | name | [name] | 'text' | number | ( expr )
// The whole expression must be boolean. Fields are looked up with DataSet->FieldByName; only data
// and internal-calc fields may be used.
//
// Blob writing rules (what the native evaluator relies on): nodes in pre-order (root at 0);
// a boolean field standing alone or under AND/OR/NOT becomes `field <> False`; a constant on the
// left of a field is swapped to the right (operator mirrored); `= NULL` / `<> NULL` become
// ISBLANK / NOTBLANK; `=`, `<>`, LIKE against a non-empty string constant become a compare node
// when case-insensitive (foCaseInsensitive) or partial (a trailing '*' without
// foNoPartialCompare, or a node marked Partial); field names are stored as written.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/CANExpr.h"
#include "host/DBTypes.h"
#include "host/Sets.h"
#include "host/Variant.h"

namespace host {

class TDataSet;
class TField;

// Parser and builder operators; the values are the CANOp values.
enum TCANOperator : uint8_t {
    coNOTDEFINED,
    coISBLANK,
    coNOTBLANK,
    coEQ,
    coNE,
    coGT,
    coLT,
    coGE,
    coLE,
    coNOT,
    coAND,
    coOR,
    coTUPLE2,
    coFIELD2,
    coCONST2,
    coMINUS,
    coADD,
    coSUB,
    coMUL,
    coDIV,
    coMOD,
    coREM,
    coSUM,
    coCOUNT,
    coMIN,
    coMAX,
    coAVG,
    coCONT,
    coUDF2,
    coCONTINUE2,
    coLIKE,
    coIN,
    coLIST2,
    coUPPER,
    coLOWER,
    coFUNC2,
    coLISTELEM2,
    coASSIGN
};

enum TParserOption : uint8_t {
    poExtSyntax,
    poAggregate,
    poDefaultExpr,
    poUseOrigNames,
    poFieldNameGiven,
    poFieldDepend
};
using TParserOptions = TSet<TParserOption>;

enum TExprNodeKind : uint8_t { enField, enConst, enOperator, enFunc };

// TFieldType -> logical field type, as FldTypeMap.
using TFieldMap = std::array<uint16_t, FieldTypeCount>;

// One node of a parsed expression; owned by the TFilterExpr that created it.
struct TExprNode {
    TExprNodeKind Kind = enConst;
    TCANOperator Operator = coNOTDEFINED;
    // Constants: the value (number literals are kept as text until written); functions: the
    // function name; fields: the name as written.
    Variant Data;
    std::string Name;
    TExprNode* Left = nullptr;
    TExprNode* Right = nullptr;
    // IN lists and function arguments, in order.
    std::vector<TExprNode*> ArgList;
    TField* Field = nullptr; // enField
    TFieldType DataType = ftUnknown;
    int DataSize = 0;
    // Lookup filters: compare the whole constant as a prefix (iPartialLen = its length).
    bool Partial = false;

    bool IsNullConst() const { return Kind == enConst && VarIsNull(Data); }
};

// Builds expression trees over a dataset's fields and writes them as CANExpr blobs.
class TFilterExpr {
public:
    // depFields (optional): with poFieldDepend, entry FieldNo is set for every field used.
    TFilterExpr(TDataSet* dataSet, TFilterOptions options, TParserOptions parseOptions,
                const std::string& fieldName, std::vector<bool>* depFields, const TFieldMap& fieldMap);
    ~TFilterExpr();
    TFilterExpr(const TFilterExpr&) = delete;
    TFilterExpr& operator=(const TFilterExpr&) = delete;

    // A new node. enField: data is the field name, looked up at once (FieldByName; only data and
    // internal-calc fields, else SExprBadField). enConst: data is the value; its type follows the
    // variant (text ftString, numbers ftFloat / ftInteger, booleans ftBoolean, dates ftDateTime).
    // enOperator / enFunc: operator, operands (left, right) or, for functions, data = name.
    TExprNode* NewNode(TExprNodeKind kind, TCANOperator op, const Variant& data, TExprNode* left,
                       TExprNode* right);
    // operator node: Left = field node of field, Right = value typed as the field (type and size).
    TExprNode* NewCompareNode(TField* field, TCANOperator op, const Variant& value);
    // A constant of the given type and size.
    TExprNode* NewConstNode(TFieldType dataType, const Variant& value, int size = 0);

    // Writes root as a CANExpr blob; the bytes stay owned by this object until the next call.
    const std::vector<uint8_t>& GetFilterData(TExprNode* root);
    const std::vector<uint8_t>& FilterData() const { return fBlob; }

    TDataSet* DataSet() const { return fDataSet; }
    TFilterOptions Options() const { return fOptions; }
    TParserOptions ParserOptions() const { return fParserOptions; }
    const std::string& FieldName() const { return fFieldName; }

private:
    uint16_t PutExprNode(TExprNode* node, TCANOperator parentOp);
    uint16_t PutCompare(TExprNode* node);
    uint16_t PutFieldNode(TExprNode* node);
    uint16_t PutConstNode(TFieldType dataType, const Variant& value, int size);
    uint16_t PutList(const std::vector<TExprNode*>& items, TCANOperator parentOp);
    uint16_t NewNodeSpace(uint32_t nodeClass, uint32_t op, int words);
    void SetWord(uint16_t nodeOffset, int word, uint16_t value);
    uint16_t PutLiteral(const void* data, size_t size);
    uint16_t PutText(const std::string& text);
    std::string ToOem(const std::string& text) const;

    TDataSet* fDataSet;
    TFilterOptions fOptions;
    TParserOptions fParserOptions;
    std::string fFieldName;
    std::vector<bool>* fDepFields;
    TFieldMap fFieldMap;
    std::vector<std::unique_ptr<TExprNode>> fNodes;
    std::vector<uint8_t> fNodeArea;
    std::vector<uint8_t> fLiterals;
    std::vector<uint8_t> fBlob;
};

// Parses a filter text at once (errors raise EDatabaseError with the SExpr* texts) and keeps the
// resulting blob.
class TExprParser {
public:
    TExprParser(TDataSet* dataSet, const std::string& text, TFilterOptions options,
                TParserOptions parserOptions = {}, const std::string& fieldName = "",
                std::vector<bool>* depFields = nullptr, const TFieldMap& fieldMap = FldTypeMap);
    ~TExprParser();
    TExprParser(const TExprParser&) = delete;
    TExprParser& operator=(const TExprParser&) = delete;

    // The blob and its size.
    const uint8_t* FilterData() const { return fFilter.FilterData().data(); }
    int DataSize() const { return static_cast<int>(fFilter.FilterData().size()); }
    const std::vector<uint8_t>& Data() const { return fFilter.FilterData(); }
    // The parsed tree (owned by the parser).
    TExprNode* Root() const { return fRoot; }

private:
    enum TExprToken : uint8_t {
        etEnd,
        etSymbol,
        etName,
        etLiteral,
        etLParen,
        etRParen,
        etComma,
        etEQ,
        etNE,
        etGE,
        etLE,
        etGT,
        etLT,
        etADD,
        etSUB,
        etMUL,
        etDIV
    };

    void NextToken();
    bool TokenSymbolIs(const char* symbol) const;
    std::string TokenName() const;
    TExprNode* ParseExpr();
    TExprNode* ParseExpr2();
    TExprNode* ParseExpr3();
    TExprNode* ParseExpr4();
    TExprNode* ParseExpr5();
    TExprNode* ParseExpr6();
    TExprNode* ParseExpr7();
    TExprNode* NewOperator(TCANOperator op, TExprNode* left, TExprNode* right);
    void TypeCheckCompare(TCANOperator op, TExprNode* left, TExprNode* right);

    TFilterExpr fFilter;
    TParserOptions fParserOptions;
    std::string fText;
    size_t fSource = 0;     // next character to scan
    size_t fTokenStart = 0; // first character of the current token
    TExprToken fToken = etEnd;
    TExprToken fPrevToken = etEnd;
    TFieldType fLiteralType = ftUnknown;
    std::string fTokenString;
    Variant fTokenValue;
    TExprNode* fRoot = nullptr;
    int fNesting = 0; // parentheses, function arguments and IN lists open around the current token
};

} // namespace host
