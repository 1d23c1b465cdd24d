// Recursive-descent parser for the mSQL dialect. Keywords are case-insensitive and may also be used
// as names where the grammar expects a name; names keep their case.
#include "engine/Parser.h"

#include "engine/Error.h"
#include "engine/Lexer.h"

#include "msql.h"

namespace msql {

namespace {

constexpr size_t kMaxNameLength = NAME_LEN - 1;

class Parser {
public:
    explicit Parser(std::string_view text) : tokens_(Tokenize(text)) {}

    Statement ParseStatement() {
        Statement result = ParseBody();
        if (Peek().kind != TokenKind::End) Fail();
        return result;
    }

private:
    const Token& Peek(size_t ahead = 0) const {
        size_t i = std::min(pos_ + ahead, tokens_.size() - 1);
        return tokens_[i];
    }
    const Token& Take() {
        const Token& t = tokens_[pos_];
        if (pos_ + 1 < tokens_.size()) ++pos_;
        return t;
    }
    [[noreturn]] void Fail() const { throw Error(SyntaxErrorText(Peek())); }

    bool Accept(std::string_view keyword) {
        if (!Peek().Is(keyword)) return false;
        Take();
        return true;
    }
    void Expect(std::string_view keyword) {
        if (!Accept(keyword)) Fail();
    }
    bool AcceptSymbol(std::string_view symbol) {
        if (!Peek().IsSymbol(symbol)) return false;
        Take();
        return true;
    }
    void ExpectSymbol(std::string_view symbol) {
        if (!AcceptSymbol(symbol)) Fail();
    }

    // A table, index or column name.
    std::string Name() {
        if (Peek().kind != TokenKind::Word) Fail();
        std::string name(Take().text);
        if (name.size() > kMaxNameLength) throw Error("Identifier name '" + name + "' too long");
        return name;
    }

    int64_t IntegerValue() {
        if (Peek().kind != TokenKind::Integer) Fail();
        const Token& t = Take();
        if (t.overflow) throw Error("Numeric value outside field value range");
        return t.intValue;
    }

    Statement ParseBody() {
        if (Accept("CREATE")) return ParseCreate();
        if (Accept("DROP")) return ParseDrop();
        if (Accept("INSERT")) return ParseInsert();
        if (Accept("UPDATE")) return ParseUpdate();
        if (Accept("DELETE")) return ParseDelete();
        if (Accept("SELECT")) return ParseSelect();
        Fail();
    }

    Statement ParseCreate() {
        if (Accept("TABLE")) return ParseCreateTable();
        if (Accept("SEQUENCE")) {
            CreateSequence s;
            Expect("ON");
            s.table = Name();
            bool step = false, value = false;
            for (;;) {
                if (!step && Accept("STEP")) {
                    s.step = IntegerValue();
                    step = true;
                } else if (!value && Accept("VALUE")) {
                    s.value = IntegerValue();
                    value = true;
                } else {
                    break;
                }
            }
            return s;
        }
        CreateIndex index;
        index.unique = Accept("UNIQUE");
        if (!Accept("AVL")) Accept("CPI");
        Expect("INDEX");
        index.name = Name();
        Expect("ON");
        index.table = Name();
        ExpectSymbol("(");
        do {
            index.fields.push_back(Name());
        } while (AcceptSymbol(","));
        ExpectSymbol(")");
        return index;
    }

    int ColumnType(ColumnDef& def) {
        const Token& t = Peek();
        if (t.kind != TokenKind::Word) Fail();
        static const struct {
            const char* word;
            int type;
        } simple[] = {
            {"INT", INT_TYPE},      {"INTEGER", INT_TYPE}, {"INT4", INT_TYPE},    {"INT32", INT_TYPE},
            {"SMALLINT", INT_TYPE}, {"TINYINT", INT_TYPE}, {"BIGINT", INT_TYPE},  {"UINT", UINT_TYPE},
            {"UINT32", UINT_TYPE},  {"REAL", REAL_TYPE},   {"DOUBLE", REAL_TYPE}, {"FLOAT", REAL_TYPE},
            {"FLOAT8", REAL_TYPE},  {"DATE", DATE_TYPE},   {"TIME", TIME_TYPE},   {"MONEY", MONEY_TYPE}};
        for (const auto& s : simple) {
            if (t.Is(s.word)) {
                Take();
                def.length = s.type == REAL_TYPE ? 8 : 4;
                return s.type;
            }
        }
        int type = 0;
        if (t.Is("CHAR") || t.Is("CHARACTER"))
            type = CHAR_TYPE;
        else if (t.Is("TEXT"))
            type = TEXT_TYPE;
        else
            Fail();
        Take();
        ExpectSymbol("(");
        if (Peek().kind != TokenKind::Integer) Fail();
        const Token& n = Take();
        if (n.overflow || n.intValue > 1000000) throw Error("CHAR field'" + def.name + "' too large.");
        if (n.intValue < 1) throw Error("Invalid length for field '" + def.name + "'");
        def.length = static_cast<int>(n.intValue);
        ExpectSymbol(")");
        return type;
    }

    Statement ParseCreateTable() {
        CreateTable create;
        create.table = Name();
        ExpectSymbol("(");
        do {
            ColumnDef def;
            def.name = Name();
            def.type = ColumnType(def);
            if (Accept("NOT")) {
                Expect("NULL");
                def.notNull = true;
            }
            if (Peek().Is("PRIMARY")) throw Error("Primary keys are obsolete.  Use CREATE INDEX");
            create.columns.push_back(std::move(def));
        } while (AcceptSymbol(","));
        ExpectSymbol(")");
        return create;
    }

    Statement ParseDrop() {
        if (Accept("TABLE")) return DropTable{Name()};
        if (Accept("INDEX")) {
            DropIndex d;
            d.name = Name();
            Expect("FROM");
            d.table = Name();
            return d;
        }
        if (Accept("SEQUENCE")) {
            Expect("FROM");
            return DropSequence{Name()};
        }
        Fail();
    }

    Literal ParseLiteral() {
        const Token& t = Peek();
        Literal lit;
        switch (t.kind) {
        case TokenKind::Integer:
            lit.kind = Literal::Kind::Integer;
            lit.intValue = t.intValue;
            lit.realValue = t.realValue;
            lit.overflow = t.overflow;
            break;
        case TokenKind::Real:
            lit.kind = Literal::Kind::Real;
            lit.realValue = t.realValue;
            lit.decimals = t.decimals;
            break;
        case TokenKind::String:
            lit.kind = Literal::Kind::String;
            break;
        case TokenKind::Word:
            if (!t.Is("NULL")) Fail();
            lit.kind = Literal::Kind::Null;
            break;
        default:
            Fail();
        }
        lit.text = Take().text;
        return lit;
    }

    Statement ParseInsert() {
        Insert insert;
        Expect("INTO");
        insert.table = Name();
        if (AcceptSymbol("(")) {
            do {
                insert.columns.push_back(Name());
            } while (AcceptSymbol(","));
            ExpectSymbol(")");
        }
        Expect("VALUES");
        do {
            ExpectSymbol("(");
            std::vector<Literal> row;
            do {
                row.push_back(ParseLiteral());
            } while (AcceptSymbol(","));
            ExpectSymbol(")");
            insert.rows.push_back(std::move(row));
        } while (AcceptSymbol(","));
        return insert;
    }

    Statement ParseUpdate() {
        Update update;
        update.table = Name();
        Expect("SET");
        do {
            Assignment a;
            a.column = Name();
            ExpectSymbol("=");
            a.value = ParseLiteral();
            update.assignments.push_back(std::move(a));
        } while (AcceptSymbol(","));
        if (Accept("WHERE")) update.where = ParseCondition();
        return update;
    }

    Statement ParseDelete() {
        Delete del;
        Expect("FROM");
        del.table = Name();
        if (Accept("WHERE")) del.where = ParseCondition();
        return del;
    }

    // [qualifier.]name or [qualifier.]_sysvar
    ColumnRef ParseColumnRef() {
        ColumnRef ref;
        const Token& t = Peek();
        if (t.kind == TokenKind::SysVar) {
            ref.name = Take().text;
            ref.sysVar = true;
            return ref;
        }
        if (t.kind != TokenKind::Word) Fail();
        ref.name = Take().text;
        if (AcceptSymbol(".")) {
            ref.qualifier = std::move(ref.name);
            const Token& n = Peek();
            if (n.kind != TokenKind::Word && n.kind != TokenKind::SysVar) Fail();
            ref.sysVar = n.kind == TokenKind::SysVar;
            ref.name = Take().text;
        }
        return ref;
    }

    static bool IsClauseKeyword(const Token& t) {
        return t.Is("WHERE") || t.Is("ORDER") || t.Is("LIMIT") || t.Is("OFFSET");
    }

    Statement ParseSelect() {
        Select select;
        if (Accept("DISTINCT"))
            select.distinct = true;
        else
            Accept("ALL");
        do {
            SelectItem item;
            if (AcceptSymbol("*"))
                item.star = true;
            else
                item.column = ParseColumnRef();
            select.items.push_back(std::move(item));
        } while (AcceptSymbol(","));
        Expect("FROM");
        do {
            TableRef ref;
            ref.name = Name();
            if (Accept("AS") || AcceptSymbol("=")) {
                ref.alias = Name();
            } else if (Peek().kind == TokenKind::Word && !IsClauseKeyword(Peek())) {
                ref.alias = Name();
            }
            select.tables.push_back(std::move(ref));
        } while (AcceptSymbol(","));
        if (Accept("WHERE")) select.where = ParseCondition();
        if (Accept("ORDER")) {
            Expect("BY");
            do {
                OrderItem item;
                item.column = ParseColumnRef();
                if (Accept("DESC"))
                    item.descending = true;
                else
                    Accept("ASC");
                select.order.push_back(std::move(item));
            } while (AcceptSymbol(","));
        }
        if (Accept("LIMIT")) {
            select.limit = IntegerValue();
            if (select.limit < 0) throw Error("Bad LIMIT value");
        }
        if (Accept("OFFSET")) {
            select.offset = IntegerValue();
            if (select.offset < 0) throw Error("Bad OFFSET value");
        }
        return select;
    }

    // cond := term { (AND | OR) term }, grouped strictly left to right.
    std::unique_ptr<Condition> ParseCondition() {
        auto left = ParseTerm();
        for (;;) {
            Condition::Kind kind;
            if (Accept("AND"))
                kind = Condition::Kind::And;
            else if (Accept("OR"))
                kind = Condition::Kind::Or;
            else
                return left;
            auto node = std::make_unique<Condition>();
            node->kind = kind;
            node->lhs = std::move(left);
            node->rhs = ParseTerm();
            left = std::move(node);
        }
    }

    std::unique_ptr<Condition> ParseTerm() {
        if (Peek().IsSymbol("(")) {
            // Deep nesting is refused rather than allowed to exhaust the stack.
            if (depth_ >= kMaxNesting) Fail();
            Take();
            ++depth_;
            auto inner = ParseCondition();
            --depth_;
            ExpectSymbol(")");
            return inner;
        }
        // mSQL's limit on conditions also keeps the tree small.
        if (++conditions_ > kMaxConditions) throw Error("Too many conditions in query");
        auto cond = std::make_unique<Condition>();
        cond->left = ParseColumnRef();
        if (Accept("BETWEEN")) {
            // field BETWEEN a AND b is field >= a AND field <= b.
            auto low = std::make_unique<Condition>();
            low->left = cond->left;
            low->op = CompareOp::Ge;
            low->right = ParseLiteral();
            Expect("AND");
            auto high = std::make_unique<Condition>();
            high->left = cond->left;
            high->op = CompareOp::Le;
            high->right = ParseLiteral();
            cond->kind = Condition::Kind::And;
            cond->lhs = std::move(low);
            cond->rhs = std::move(high);
            return cond;
        }
        cond->op = ParseOperator(cond->negated);
        const Token& t = Peek();
        if (t.kind == TokenKind::SysVar || (t.kind == TokenKind::Word && !t.Is("NULL"))) {
            cond->right = ParseColumnRef();
        } else {
            cond->right = ParseLiteral();
        }
        return cond;
    }

    CompareOp ParseOperator(bool& negated) {
        static const struct {
            const char* symbol;
            CompareOp op;
        } symbols[] = {{"=", CompareOp::Eq}, {"<>", CompareOp::Ne}, {"!=", CompareOp::Ne},
                       {"<", CompareOp::Lt}, {">", CompareOp::Gt},  {"<=", CompareOp::Le},
                       {">=", CompareOp::Ge}};
        for (const auto& s : symbols) {
            if (AcceptSymbol(s.symbol)) return s.op;
        }
        negated = Accept("NOT");
        if (Accept("LIKE")) return CompareOp::Like;
        if (Accept("CLIKE")) return CompareOp::CLike;
        if (Accept("RLIKE")) return CompareOp::RLike;
        if (Accept("SLIKE")) return CompareOp::SLike;
        Fail();
    }

    static constexpr int kMaxNesting = 200;
    static constexpr int kMaxConditions = 75;
    int conditions_ = 0;
    TokenList tokens_;
    size_t pos_ = 0;
    int depth_ = 0;
};

} // namespace

Statement Parse(std::string_view text) {
    return Parser(text).ParseStatement();
}

} // namespace msql
