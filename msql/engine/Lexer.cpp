// Lexer for the mSQL dialect. Whitespace is space, tab, newline (and carriage return, which mSQL
// itself rejects); '#' starts a comment to the end of the line; strings take mSQL's backslash escapes.
#include "engine/Lexer.h"

#include "engine/Error.h"

#include <cerrno>
#include <cstdlib>

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

class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    std::vector<Token> Run() {
        std::vector<Token> tokens;
        for (;;) {
            SkipSpaceAndComments();
            if (pos_ >= text_.size()) break;
            tokens.push_back(Next());
        }
        Token end;
        end.kind = TokenKind::End;
        end.raw = "*end of input*";
        // mSQL's client appends a newline to every query, so the end lies one line further on.
        end.line = line_ + 1;
        tokens.push_back(std::move(end));
        return tokens;
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
        bad.raw = std::string(text_.substr(start, kMaxNearText));
        bad.line = line_;
        throw Error(SyntaxErrorText(bad));
    }

    Token Next() {
        size_t start = pos_;
        char c = text_[pos_];
        Token t;
        t.line = line_;
        if (IsLetter(c) || c == '_') {
            while (pos_ < text_.size() && IsWordChar(text_[pos_]))
                ++pos_;
            t.kind = c == '_' ? TokenKind::SysVar : TokenKind::Word;
            t.text = std::string(text_.substr(start, pos_ - start));
            if (t.kind == TokenKind::SysVar && t.text.size() == 1) Fail(start);
        } else if (IsDigit(c) || (c == '.' && IsDigit(At(pos_ + 1))) ||
                   ((c == '-' || c == '+') &&
                    (IsDigit(At(pos_ + 1)) || (At(pos_ + 1) == '.' && IsDigit(At(pos_ + 2)))))) {
            ScanNumber(t);
        } else if (c == '\'') {
            ScanString(t);
        } else {
            ScanSymbol(t);
        }
        t.raw = std::string(text_.substr(start, std::min(pos_ - start, kMaxNearText)));
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
                long exponent =
                    std::strtol(std::string(text_.substr(expStart, pos_ - expStart)).c_str(), nullptr, 10);
                t.decimals = exponent < 0 ? static_cast<int>(std::min(-exponent, 255L)) : 0;
            }
            isReal = true;
        }
        if (IsWordChar(At(pos_))) Fail(start);
        std::string literal(text_.substr(start, pos_ - start));
        if (isReal) {
            t.kind = TokenKind::Real;
            t.realValue = std::strtod(literal.c_str(), nullptr);
            if (dot != std::string_view::npos)
                t.decimals = static_cast<int>(std::min<size_t>(pos_ - dot - 1, 255));
        } else {
            t.kind = TokenKind::Integer;
            errno = 0;
            t.intValue = std::strtoll(literal.c_str(), nullptr, 10);
            t.overflow = errno == ERANGE;
            t.realValue = static_cast<double>(t.intValue);
        }
        t.text = std::move(literal);
    }

    void ScanString(Token& t) {
        size_t start = pos_;
        ++pos_;
        std::string value;
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
        t.kind = TokenKind::String;
        t.text = std::move(value);
    }

    void ScanSymbol(Token& t) {
        size_t start = pos_;
        char c = text_[pos_];
        char n = At(pos_ + 1);
        t.kind = TokenKind::Symbol;
        if ((c == '<' && (n == '=' || n == '>')) || (c == '>' && n == '=') || (c == '!' && n == '=')) {
            t.text = std::string{c, n};
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
            t.text = std::string(1, c);
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

} // namespace

bool Token::Is(std::string_view keyword) const {
    if (kind != TokenKind::Word || text.size() != keyword.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char a = text[i];
        if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 'a' + 'A');
        if (a != keyword[i]) return false;
    }
    return true;
}

std::vector<Token> Tokenize(std::string_view text) {
    return Scanner(text).Run();
}

std::string SyntaxErrorText(const Token& token) {
    return "syntax error. Line " + std::to_string(token.line) + " near '" + token.raw + "'";
}

} // namespace msql
