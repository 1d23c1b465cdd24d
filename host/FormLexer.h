// The tokens of the text form format (host/Streaming.h describes the format), read one at a time
// for TReader: symbols, strings ('...' with doubled quotes and #nn codes), integers (also $hex),
// floats, binary {hex} blocks and single characters. Part of component streaming; not used on
// its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace host {

class TFormLexer {
public:
    enum Kind : uint8_t { tkEOF, tkSymbol, tkString, tkInteger, tkFloat, tkBinary, tkChar };
    struct Token {
        Kind kind = tkEOF;
        std::string text; // symbol, decoded string, binary bytes
        char ch = 0;
        int64_t integer = 0;
        double real = 0;
        int line = 1; // line the token starts on
    };

    // Reads the first token of text.
    explicit TFormLexer(std::string text);

    // The current token (its text may be moved out by the reader).
    Token tok;
    // Moves to the next token; malformed input raises EReadError.
    void Next();
    bool IsChar(char c) const { return tok.kind == tkChar && tok.ch == c; }
    // A symbol equal to symbol ignoring case.
    bool IsSymbol(const char* symbol) const;

private:
    unsigned char At(size_t i) const {
        return i < fText.size() ? static_cast<unsigned char>(fText[i]) : '\0';
    }
    [[noreturn]] static void Fail(const std::string& message);
    void ScanString();
    void ScanNumber();
    void ScanBinary();

    std::string fText;
    size_t fPos = 0;
    int fLine = 1;
};

} // namespace host
