// libFuzzer target: the host's filter text parser turns any text into a CANExpr blob or an
// EDatabaseError, never crashes or hangs; every blob it writes passes the native filter check (save one
// nested deeper than the check follows) and evaluates against every row of a table of every mSQL type.
//
// Input: byte 0 selects the options (bit 0 case-insensitive, bit 1 no partial compare, bit 2 extended
// syntax), the rest is the filter text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "host/Exceptions.h"
#include "host/FilterExpr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    host::TFilterOptions options;
    if (data[0] & 1) options.Include(host::foCaseInsensitive);
    if (data[0] & 2) options.Include(host::foNoPartialCompare);
    host::TParserOptions parserOptions;
    if (data[0] & 4) parserOptions.Include(host::poExtSyntax);
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::vector<uint8_t> blob;
    try {
        host::TExprParser parser(corvane::fuzz::HostTable::Get().DataSet(), text, options, parserOptions);
        blob = parser.Data();
    } catch (const host::Exception&) {
        return 0; // a text the parser refuses, with its message
    }
    if (blob.empty()) return 0;
    corvane::fuzz::NativeTable& table = corvane::fuzz::NativeTable::Get();
    // What the host writes, the native layer must accept, save a tree nested deeper than it follows (a
    // long chain of ANDs), which it refuses with its reason.
    try {
        corvane::TmSQLFilter filter(&table.Cursor(), reinterpret_cast<const host::CANExpr*>(blob.data()));
        filter.SetActive(true);
        corvane::TFilterValue value;
        for (std::vector<uint8_t>& row : table.Rows())
            filter.GetFilterResult(row.data(), value);
    } catch (const corvane::EmSQLException& e) {
        if (e.GetNativeErrorMsg().find("nested more than") == std::string::npos) std::abort();
    }
    return 0;
}
