// LIKE / CLIKE / RLIKE / SLIKE evaluation for WHERE conditions, done here rather than by SQLite
// because mSQL's wildcard, escape and case rules differ from SQLite's own LIKE.
#include "engine/Patterns.h"

#include <re2/re2.h>

#include <cstdint>
#include <memory>

namespace msql {

namespace {

char Fold(char c, bool ignoreCase) {
    return ignoreCase && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Memory a compiled RLIKE expression may use (program and matching cache together).
constexpr int64_t kRegexMemory = 8 << 20;

// RE2 matches in time linear in the text, with memory bounded by max_mem; the options give POSIX
// extended syntax with whole-text anchors, as regcomp(REG_EXTENDED) without REG_NEWLINE.
std::unique_ptr<re2::RE2> CompileRegex(std::string_view pattern) {
    re2::RE2::Options options;
    options.set_posix_syntax(true);
    options.set_one_line(true);
    options.set_dot_nl(true);
    options.set_encoding(re2::RE2::Options::EncodingLatin1);
    options.set_never_capture(true);
    options.set_log_errors(false);
    options.set_max_mem(kRegexMemory);
    auto regex = std::make_unique<re2::RE2>(re2::StringPiece(pattern.data(), pattern.size()), options);
    if (!regex->ok()) return nullptr;
    return regex;
}

struct CompiledRegex {
    std::unique_ptr<re2::RE2> regex; // null: malformed
};

void DeleteRegex(void* p) {
    delete static_cast<CompiledRegex*>(p);
}

void MatchFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_int(ctx, 0);
        return;
    }
    const auto* valueText = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    std::string_view value(valueText ? valueText : "", static_cast<size_t>(sqlite3_value_bytes(argv[0])));
    const auto* patternText = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    std::string_view pattern(patternText ? patternText : "",
                             static_cast<size_t>(sqlite3_value_bytes(argv[1])));
    auto kind = static_cast<PatternKind>(sqlite3_value_int(argv[2]));
    bool negated = sqlite3_value_int(argv[3]) != 0;
    bool match = false;
    switch (kind) {
    case PatternKind::Like:
        match = LikeMatch(value, pattern, false);
        break;
    case PatternKind::CLike:
        match = LikeMatch(value, pattern, true);
        break;
    case PatternKind::SLike:
        match = Soundex(value) == Soundex(pattern);
        break;
    case PatternKind::RLike: {
        // A constant pattern is compiled once per statement; a pattern taken from a column is
        // compiled for each row (SQLite keeps no auxiliary data for it).
        auto* compiled = static_cast<CompiledRegex*>(sqlite3_get_auxdata(ctx, 1));
        std::unique_ptr<CompiledRegex> local;
        if (!compiled) {
            local = std::make_unique<CompiledRegex>();
            local->regex = CompileRegex(pattern);
            compiled = local.get();
        }
        if (!compiled->regex) {
            sqlite3_result_error(ctx, kMalformedRegexText, -1);
            return;
        }
        match = re2::RE2::PartialMatch(re2::StringPiece(value.data(), value.size()), *compiled->regex);
        if (local) sqlite3_set_auxdata(ctx, 1, local.release(), DeleteRegex);
        break;
    }
    }
    sqlite3_result_int(ctx, match != negated ? 1 : 0);
}

} // namespace

bool LikeMatch(std::string_view value, std::string_view pattern, bool ignoreCase) {
    size_t v = 0, p = 0;
    size_t starP = std::string_view::npos, starV = 0;
    while (v < value.size()) {
        if (p < pattern.size()) {
            char pc = pattern[p];
            if (pc == '%') {
                starP = ++p;
                starV = v;
                continue;
            }
            if (pc == '_') {
                ++p;
                ++v;
                continue;
            }
            size_t width = 1;
            if (pc == '\\' && p + 1 < pattern.size()) {
                pc = pattern[p + 1];
                width = 2;
            }
            if (Fold(pc, ignoreCase) == Fold(value[v], ignoreCase)) {
                p += width;
                ++v;
                continue;
            }
        }
        if (starP == std::string_view::npos) return false;
        p = starP;
        v = ++starV;
    }
    while (p < pattern.size() && pattern[p] == '%')
        ++p;
    return p == pattern.size();
}

std::string Soundex(std::string_view value) {
    // Letter codes a..z.
    static const char codes[27] = "01230120022455012623010202";
    std::string out;
    char last = 0;
    for (char c : value) {
        char lower = Fold(c, true);
        if (lower < 'a' || lower > 'z') continue;
        char code = codes[lower - 'a'];
        if (out.empty()) {
            out += static_cast<char>(lower - 'a' + 'A');
            last = code;
            continue;
        }
        if (code != '0' && code != last) out += code;
        if (lower != 'h' && lower != 'w') last = code;
        if (out.size() == 4) break;
    }
    if (!out.empty()) out.resize(4, '0');
    return out;
}

bool RegexIsValid(std::string_view pattern) {
    return CompileRegex(pattern) != nullptr;
}

bool RegexMatch(std::string_view value, std::string_view pattern) {
    auto regex = CompileRegex(pattern);
    return regex && re2::RE2::PartialMatch(re2::StringPiece(value.data(), value.size()), *regex);
}

void RegisterPatternFunctions(sqlite3* db) {
    sqlite3_create_function_v2(db, "msql_match", 4, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                               MatchFunction, nullptr, nullptr, nullptr);
}

} // namespace msql
