// Lexer for the mSQL dialect: splits statement text into words, literals and punctuation.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace msql {

enum class TokenKind {
    Word,    // identifier or keyword (letters, digits, '_', starting with a letter)
    SysVar,  // word starting with '_' (system variable such as _rowid)
    Integer, // [+-]digits
    Real,    // [+-]digits.digits, .5, 2., with optional exponent
    String,  // '...' with backslash escapes already resolved
    Symbol,  // punctuation and operators: ( ) , . * = <> != < > <= >=
    End,     // end of input
};

// Token texts are views into the statement text (or, for a string with escapes, into the token
// list's own storage): valid while both live.
struct Token {
    TokenKind kind = TokenKind::End;
    std::string_view text; // as typed (for String: the resolved value)
    std::string_view raw;  // the source text of the token (at most 40 bytes), for error messages
    int line = 1;          // 1-based line of the token
    int64_t intValue = 0;
    double realValue = 0;
    int decimals = 0;      // Real: characters typed after the '.', exponent included
    bool overflow = false; // Integer: digits beyond the 64-bit range

    // Case-insensitive keyword test for Word tokens.
    bool Is(std::string_view keyword) const;
    bool IsSymbol(std::string_view symbol) const { return kind == TokenKind::Symbol && text == symbol; }
};

// The tokens of a statement, with the resolved values of strings that had escapes.
class TokenList {
public:
    size_t size() const { return tokens_.size(); }
    const Token& operator[](size_t i) const { return tokens_[i]; }

private:
    friend class Scanner;
    std::vector<Token> tokens_;
    std::deque<std::string> values_; // stable: tokens point into them
};

// Splits the whole text into tokens (the last one is End). Throws Error with mSQL's syntax error
// text for characters that start no token and for unterminated strings. The tokens refer to
// `text`, which must outlive them.
TokenList Tokenize(std::string_view text);

// mSQL's syntax error text for a token: "syntax error. Line <n> near '<token>'".
std::string SyntaxErrorText(const Token& token);

} // namespace msql
