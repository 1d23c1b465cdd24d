// Tokens of the text form format.
#include "host/FormLexer.h"

#include <cctype>
#include <charconv>

#include "host/Exceptions.h"
#include "host/Messages.h"
#include "host/Streaming.h"
#include "host/SysUtils.h"

namespace host {

TFormLexer::TFormLexer(std::string text) : fText(std::move(text)) {
    Next();
}

bool TFormLexer::IsSymbol(const char* symbol) const {
    return tok.kind == tkSymbol && SameText(tok.text, symbol);
}

void TFormLexer::Fail(const std::string& message) {
    throw EReadError(message);
}

void TFormLexer::Next() {
    while (fPos < fText.size() && At(fPos) <= ' ') {
        if (At(fPos) == '\n') ++fLine;
        ++fPos;
    }
    tok = Token{};
    tok.line = fLine;
    if (fPos >= fText.size()) return;
    const unsigned char c = At(fPos);
    if (std::isalpha(c) || c == '_') {
        const size_t start = fPos;
        while (std::isalnum(At(fPos)) || At(fPos) == '_' || At(fPos) == '.')
            ++fPos;
        tok.kind = tkSymbol;
        tok.text = fText.substr(start, fPos - start);
        return;
    }
    if (c == '\'' || c == '#') {
        ScanString();
        return;
    }
    if (c == '-' || c == '$' || std::isdigit(c)) {
        ScanNumber();
        return;
    }
    if (c == '{') {
        ScanBinary();
        return;
    }
    tok.kind = tkChar;
    tok.ch = static_cast<char>(c);
    ++fPos;
}

void TFormLexer::ScanString() {
    std::string value;
    for (;;) {
        if (At(fPos) == '\'') {
            ++fPos;
            for (;;) {
                if (fPos >= fText.size() || At(fPos) == '\n' || At(fPos) == '\r') Fail("Unterminated string");
                if (At(fPos) == '\'') {
                    if (At(fPos + 1) != '\'') break;
                    ++fPos;
                }
                value += static_cast<char>(At(fPos));
                ++fPos;
            }
            ++fPos;
        } else if (At(fPos) == '#') {
            ++fPos;
            int code = 0;
            const size_t start = fPos;
            while (std::isdigit(At(fPos)) && code < 256)
                code = code * 10 + (At(fPos++) - '0');
            if (fPos == start || code > 255) Fail("Invalid character code in string");
            value += static_cast<char>(code);
        } else {
            break;
        }
    }
    tok.kind = tkString;
    tok.text = std::move(value);
}

void TFormLexer::ScanNumber() {
    const size_t start = fPos;
    bool negative = false;
    if (At(fPos) == '-') {
        negative = true;
        ++fPos;
    }
    if (At(fPos) == '$') {
        ++fPos;
        const size_t digits = fPos;
        while (std::isxdigit(At(fPos)))
            ++fPos;
        uint64_t v = 0;
        auto [end, ec] = std::from_chars(fText.data() + digits, fText.data() + fPos, v, 16);
        if (fPos == digits || ec != std::errc() || end != fText.data() + fPos) Fail("Invalid number");
        tok.kind = tkInteger;
        tok.integer = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
        return;
    }
    bool isFloat = false;
    while (std::isdigit(At(fPos)) || At(fPos) == '.' || At(fPos) == 'e' || At(fPos) == 'E' ||
           ((At(fPos) == '+' || At(fPos) == '-') && (At(fPos - 1) == 'e' || At(fPos - 1) == 'E'))) {
        if (!std::isdigit(At(fPos))) isFloat = true;
        ++fPos;
    }
    const char* first = fText.data() + start;
    const char* last = fText.data() + fPos;
    if (isFloat) {
        double v = 0;
        auto [end, ec] = std::from_chars(first, last, v);
        if (ec != std::errc() || end != last) Fail("Invalid number");
        tok.kind = tkFloat;
        tok.real = v;
    } else {
        int64_t v = 0;
        auto [end, ec] = std::from_chars(first, last, v);
        if (ec != std::errc() || end != last) Fail("Invalid number");
        tok.kind = tkInteger;
        tok.integer = v;
    }
}

void TFormLexer::ScanBinary() {
    ++fPos; // '{'
    std::string bytes;
    int high = -1;
    for (;;) {
        const unsigned char c = At(fPos);
        if (fPos >= fText.size()) Fail(SInvalidBinary);
        ++fPos;
        if (c == '}') break;
        if (c == '\n') ++fLine;
        if (c <= ' ') continue;
        int nibble;
        if (c >= '0' && c <= '9')
            nibble = c - '0';
        else if (c >= 'A' && c <= 'F')
            nibble = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            nibble = c - 'a' + 10;
        else
            Fail(SInvalidBinary);
        if (high < 0) {
            high = nibble;
        } else {
            bytes += static_cast<char>((high << 4) | nibble);
            high = -1;
        }
    }
    if (high >= 0) Fail(SInvalidBinary);
    tok.kind = tkBinary;
    tok.text = std::move(bytes);
}

} // namespace host
