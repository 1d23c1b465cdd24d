// The SQL token scanner used to find the table behind a query's statement text.
#include "access/SQLScanner.h"

#include <cstring>
#include <strings.h>

namespace corvane {

namespace {

bool SameWord(const char* begin, const char* end, const char* keyword) {
    const size_t length = static_cast<size_t>(end - begin);
    return std::strlen(keyword) == length && strncasecmp(begin, keyword, length) == 0;
}

bool SameWord(const std::string& word, const char* keyword) {
    return SameWord(word.data(), word.data() + word.size(), keyword);
}

// Blank, line feed, carriage return and comma end a word. Tab ends it too: a tab between a table name
// and the next keyword must not glue them into one "name".
bool IsSeparator(char c) { return c == ' ' || c == '\n' || c == '\r' || c == ',' || c == '\t'; }

bool IsPredicateChar(char c) { return c == '<' || c == '=' || c == '>'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

TSQLToken ScanToken(const char*& position, std::string& token, TSQLToken currentSection, bool classify);

// Looks at the next token after a keyword; on a match with `second` it moves past it and appends it to
// `word` after one blank. Without a match nothing moves. The next token is only read, not classified:
// classifying it would look ahead again, and a run of such keywords ("IS IS IS ...") would be read over
// and over, exponentially often and ever deeper nested.
bool FollowedBy(const char*& position, std::string& word, TSQLToken section, const char* second) {
    const char* probe = position;
    std::string next;
    ScanToken(probe, next, section, false);
    if (!SameWord(next, second)) return false;
    position = probe;
    word += ' ';
    word += next;
    return true;
}

TSQLToken ClassifyWord(const char*& position, std::string& word, TSQLToken section, bool dotStart) {
    if (word.empty()) return stEnd;
    if (word == "*" && section == stSelect) return stAllFields;
    if (dotStart) return stFieldName;
    if (section == stSelect && SameWord(word, "DISTINCT")) return stDistinct;
    if (SameWord(word, "ASC") || SameWord(word, "ASCENDING")) return stAscending;
    if (SameWord(word, "DESC") || SameWord(word, "DESCENDING")) return stDescending;
    if (SameWord(word, "SELECT")) return stSelect;
    if (SameWord(word, "AND")) return stAnd;
    if (SameWord(word, "OR")) return stOr;
    if (SameWord(word, "LIKE")) return stLike;
    if (SameWord(word, "IS")) {
        if (FollowedBy(position, word, section, "NULL")) return stIsNull;
        const char* afterIs = position;
        if (FollowedBy(position, word, section, "NOT")) {
            if (FollowedBy(position, word, section, "NULL")) return stIsNotNull;
            position = afterIs;
            word.resize(2);
        }
        return stValue;
    }
    if (SameWord(word, "FROM")) return stFrom;
    if (SameWord(word, "WHERE")) return stWhere;
    if (SameWord(word, "GROUP") && FollowedBy(position, word, section, "BY")) return stGroupBy;
    if (SameWord(word, "HAVING")) return stHaving;
    if (SameWord(word, "UNION")) return stUnion;
    if (SameWord(word, "PLAN")) return stPlan;
    if (SameWord(word, "FOR") && FollowedBy(position, word, section, "UPDATE")) return stForUpdate;
    if (SameWord(word, "ORDER") && FollowedBy(position, word, section, "BY")) return stOrderBy;
    if (SameWord(word, "NULL")) return stValue;
    return section == stFrom ? stTableName : stFieldName;
}

// NextSQLToken; without classify a word is only read (and reported as a field name).
TSQLToken ScanToken(const char*& position, std::string& token, TSQLToken currentSection, bool classify) {
    const char* p = position;
    const char* start = nullptr;
    bool dotStart = false;
    token.clear();

    // Ends the scan with the word from the token start to p, classified.
    auto finishWord = [&]() {
        token.assign(start, p);
        position = p;
        return classify ? ClassifyWord(position, token, currentSection, dotStart) : stFieldName;
    };

    for (;;) {
        const char c = *p;
        if (c == '\0') {
            if (start) return finishWord();
            position = p;
            return stEnd;
        }
        if (IsSeparator(c)) {
            if (start) return finishWord();
            while (IsSeparator(*p)) ++p;
            continue;
        }
        if (c == '"' || c == '\'' || c == '`') {
            if (!start) start = p;
            const char* opening = p;
            ++p;
            while (*p && *p != c) ++p;
            if (!*p) {
                // Unterminated: the quote is an ordinary character.
                p = opening + 1;
                continue;
            }
            ++p;
            if (*start == c)
                token.assign(start + 1, p - 1);
            else
                token.clear();  // letters stood before the quote
            position = p;
            if (dotStart) return stFieldName;
            return *p == '.' ? stTableName : stValue;
        }
        if (c == '/') {
            if (!start) start = p;
            ++p;
            if (*p == '*') {
                ++p;
                while (*p && !(p[0] == '*' && p[1] == '/')) ++p;
                token.assign(start, p);
                position = p;  // left on the '*' of the closing pair
                return stComment;
            }
            if (*p == '/') {
                while (*p && *p != '\n' && *p != '\r') ++p;
                token.assign(start, p);
                position = p;
                return stComment;
            }
            continue;
        }
        if (c == '.') {
            if (start) {
                token.assign(start, p);
                position = p;
                return stTableName;
            }
            dotStart = true;
            ++p;
            continue;
        }
        if (IsPredicateChar(c) && !start) {
            const char* s = p;
            while (IsPredicateChar(*p)) ++p;
            token.assign(s, p);
            position = p;
            return stPredicate;
        }
        if (IsDigit(c) && !start) {
            const char* s = p;
            while (IsDigit(*p) || *p == '.') ++p;
            token.assign(s, p);
            position = p;
            return stNumber;
        }
        if (!start) start = p;
        ++p;
    }
}

}  // namespace

TSQLToken NextSQLToken(const char*& position, std::string& token, TSQLToken currentSection) {
    return ScanToken(position, token, currentSection, true);
}

std::string GetTableNameFromSQL(const std::string& sql) {
    const char* position = sql.c_str();
    std::string token;
    TSQLToken section = stUnknown;
    TSQLToken kind;
    do {
        kind = NextSQLToken(position, token, section);
        if (IsSQLSection(kind)) section = kind;
    } while (kind != stFrom && kind != stEnd);
    if (kind != stFrom) return {};
    do {
        kind = NextSQLToken(position, token, section);
        if (IsSQLSection(kind))
            section = kind;
        else if (kind == stTableName)
            return token;
    } while (section == stFrom && kind != stEnd);
    return {};
}

}  // namespace corvane
