// libFuzzer target: the statement text scanners never crash or hang on any text: ParseSQL and the
// parameter marker scanner (host), the substitution of parameter values into a statement (access), the
// SQL token scanner and its table-name finder (access), and the statement word and token readers of the
// value conversions (client).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "access/ModifySQL.h"
#include "access/SQLScanner.h"
#include "client/ValueConversions.h"
#include "host/Exceptions.h"
#include "host/Params.h"

namespace {

// A step that consumes nothing would loop for ever.
void Progress(bool advanced) {
    if (!advanced) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    host::TParams params(nullptr);
    std::string parsed;
    try {
        parsed = params.ParseSQL(text, true);
    } catch (const host::Exception&) {
        return 0;
    }
    host::ScanParamMarkers(
        text, [](std::string_view) {}, [](const std::string&, bool) {});
    for (int i = 0; i < params.Count(); ++i)
        params.Items(i)->SetAsString(i % 2 ? "it's" : "\\%_");
    try {
        const std::string substituted = corvane::SubstituteParams(params, text);
        (void)substituted;
    } catch (const host::Exception&) {
        // A marker the parameters do not name (an empty name stands for a lone ':').
    }

    const std::string table = corvane::GetTableNameFromSQL(text);
    (void)table;
    const std::string terminated = text.substr(0, text.find('\0'));
    const char* position = terminated.c_str();
    std::string token;
    corvane::TSQLToken section = corvane::stUnknown;
    for (;;) {
        const char* before = position;
        const corvane::TSQLToken kind = corvane::NextSQLToken(position, token, section);
        if (kind == corvane::stEnd) break;
        Progress(position > before);
        if (corvane::IsSQLSection(kind)) section = kind;
    }

    std::string rest = text;
    while (!rest.empty()) {
        const size_t before = rest.size();
        const std::string word = corvane::GetToken(rest);
        if (word.empty()) break;
        Progress(rest.size() < before);
    }
    rest = text;
    corvane::GetStatement(rest);
    return 0;
}
