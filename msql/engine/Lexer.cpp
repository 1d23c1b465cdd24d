// Lexer for the mSQL dialect. Whitespace is space, tab, newline (and carriage return, which mSQL
// itself rejects); '#' starts a comment to the end of the line; strings take mSQL's backslash escapes.
#include "engine/Lexer.h"

#include "engine/Error.h"

#include <charconv>
#include <cstdlib>
#include <limits>

namespace msql {

namespace {

constexpr size_t kMaxNearText = 40;

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsWordChar(char c) {
    return IsLetter(c) || IsDigit(c) || c == '_';
}
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

} // namespace

// Allocates nothing per token beyond the token itself, except for strings with escapes.
class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    TokenList Run() {
        TokenList list;
        list.tokens_.reserve(text_.size() / 4 + 2);
        for (;;) {
            SkipSpaceAndComments();
            if (pos_ >= text_.size()) break;
            list.tokens_.push_back(Next(list));
        }
        Token end;
        end.kind = TokenKind::End;
        end.raw = "*end of input*";
        // mSQL's client appends a newline to every query, so the end lies one line further on.
        end.line = line_ + 1;
        list.tokens_.push_back(end);
        return list;
    }

private:
    char At(size_t i) const { return i < text_.size() ? text_[i] : '\0'; }

    void SkipSpaceAndComments() {
        while (pos_ < text_.size()) {
            char c = text_[pos_];
            if (IsSpace(c)) {
                if (c == '\n') ++line_;
                ++pos_;
            } else if (c == '#') {
                while (pos_ < text_.size() && text_[pos_] != '\n')
                    ++pos_;
            } else {
                break;
            }
        }
    }

    [[noreturn]] void Fail(size_t start) {
        Token bad;
        bad.raw = text_.substr(start, kMaxNearText);
        bad.line = line_;
        throw Error(SyntaxErrorText(bad));
    }

    Token Next(TokenList& list) {
        size_t start = pos_;
        char c = text_[pos_];
        Token t;
        t.line = line_;
        if (IsLetter(c) || c == '_') {
            while (pos_ < text_.size() && IsWordChar(text_[pos_]))
                ++pos_;
            t.kind = c == '_' ? TokenKind::SysVar : TokenKind::Word;
            t.text = text_.substr(start, pos_ - start);
            if (t.kind == TokenKind::SysVar && t.text.size() == 1) Fail(start);
        } else if (IsDigit(c) || (c == '.' && IsDigit(At(pos_ + 1))) ||
                   ((c == '-' || c == '+') &&
                    (IsDigit(At(pos_ + 1)) || (At(pos_ + 1) == '.' && IsDigit(At(pos_ + 2)))))) {
            ScanNumber(t);
        } else if (c == '\'') {
            ScanString(t, list);
        } else {
            ScanSymbol(t);
        }
        t.raw = text_.substr(start, std::min(pos_ - start, kMaxNearText));
        return t;
    }

    void ScanNumber(Token& t) {
        size_t start = pos_;
        if (text_[pos_] == '-' || text_[pos_] == '+') ++pos_;
        while (IsDigit(At(pos_)))
            ++pos_;
        bool isReal = false;
        size_t dot = std::string_view::npos;
        if (At(pos_) == '.') {
            isReal = true;
            dot = pos_;
            ++pos_;
            while (IsDigit(At(pos_)))
                ++pos_;
        }
        // An exponent: e or E, an optional sign, digits.
        if ((At(pos_) == 'e' || At(pos_) == 'E') &&
            (IsDigit(At(pos_ + 1)) ||
             ((At(pos_ + 1) == '+' || At(pos_ + 1) == '-') && IsDigit(At(pos_ + 2))))) {
            size_t expStart = pos_ + 1;
            pos_ += 2;
            while (IsDigit(At(pos_)))
                ++pos_;
            if (!isReal) {
                bool negative = text_[expStart] == '-';
                size_t digits = expStart + (text_[expStart] == '-' || text_[expStart] == '+' ? 1 : 0);
                int exponent = 0;
                auto [end, ec] = std::from_chars(text_.data() + digits, text_.data() + pos_, exponent);
                (void)end;
                if (ec == std::errc::result_out_of_range) exponent = 255;
                t.decimals = negative ? std::min(exponent, 255) : 0;
            }
            isReal = true;
        }
        if (IsWordChar(At(pos_))) Fail(start);
        std::string_view literal = text_.substr(start, pos_ - start);
        // from_chars takes a '-' but no '+'.
        const char* first = literal.data() + (literal[0] == '+' ? 1 : 0);
        const char* last = literal.data() + literal.size();
        if (isReal) {
            t.kind = TokenKind::Real;
            auto [end, ec] = std::from_chars(first, last, t.realValue);
            (void)end;
            // Beyond the range strtod's answer (infinite or zero) is kept.
            if (ec == std::errc::result_out_of_range)
                t.realValue = std::strtod(std::string(literal).c_str(), nullptr);
            if (dot != std::string_view::npos)
                t.decimals = static_cast<int>(std::min<size_t>(pos_ - dot - 1, 255));
        } else {
            t.kind = TokenKind::Integer;
            auto [end, ec] = std::from_chars(first, last, t.intValue);
            (void)end;
            t.overflow = ec == std::errc::result_out_of_range;
            if (t.overflow)
                t.intValue = literal[0] == '-' ? std::numeric_limits<int64_t>::min()
                                               : std::numeric_limits<int64_t>::max();
            t.realValue = static_cast<double>(t.intValue);
        }
        t.text = literal;
    }

    void ScanString(Token& t, TokenList& list) {
        size_t start = pos_;
        ++pos_;
        // Without escapes the value is the source text between the quotes.
        size_t plainEnd = pos_;
        while (plainEnd < text_.size() && text_[plainEnd] != '\'' && text_[plainEnd] != '\\') {
            if (text_[plainEnd] == '\n') ++line_;
            ++plainEnd;
        }
        t.kind = TokenKind::String;
        if (plainEnd < text_.size() && text_[plainEnd] == '\'') {
            t.text = text_.substr(pos_, plainEnd - pos_);
            pos_ = plainEnd + 1;
            return;
        }
        std::string& value = list.values_.emplace_back(text_.substr(pos_, plainEnd - pos_));
        pos_ = plainEnd;
        for (;;) {
            if (pos_ >= text_.size()) Fail(start);
            char c = text_[pos_++];
            if (c == '\'') break;
            if (c == '\n') ++line_;
            if (c == '\\') {
                if (pos_ >= text_.size()) Fail(start);
                char e = text_[pos_++];
                switch (e) {
                case 'n':
                    value += '\n';
                    break;
                case 't':
                    value += '\t';
                    break;
                case 'r':
                    value += '\r';
                    break;
                case 'b':
                    value += '\b';
                    break;
                default:
                    if (e == '\n') ++line_;
                    value += e;
                }
                continue;
            }
            value += c;
        }
        t.text = value;
    }

    void ScanSymbol(Token& t) {
        size_t start = pos_;
        char c = text_[pos_];
        char n = At(pos_ + 1);
        t.kind = TokenKind::Symbol;
        if ((c == '<' && (n == '=' || n == '>')) || (c == '>' && n == '=') || (c == '!' && n == '=')) {
            t.text = text_.substr(pos_, 2);
            pos_ += 2;
            return;
        }
        switch (c) {
        case '(':
        case ')':
        case ',':
        case '.':
        case '*':
        case '=':
        case '<':
        case '>':
        case ';':
            t.text = text_.substr(pos_, 1);
            ++pos_;
            return;
        default:
            Fail(start);
        }
    }

    std::string_view text_;
    size_t pos_ = 0;
    int line_ = 1;
};

bool Token::Is(std::string_view keyword) const {
    if (kind != TokenKind::Word || text.size() != keyword.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char a = text[i];
        if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
        if (a != keyword[i]) return false;
    }
    return true;
}

TokenList Tokenize(std::string_view text) {
    return Scanner(text).Run();
}

std::string SyntaxErrorText(const Token& token) {
    return "syntax error. Line " + std::to_string(token.line) + " near '" + std::string(token.raw) + "'";
}

} // namespace msql
