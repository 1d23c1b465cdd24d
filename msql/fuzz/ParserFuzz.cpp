// libFuzzer target: the lexer and parser must turn any bytes into a syntax tree or an Error,
// never crash, hang or leak.
#include "engine/Error.h"
#include "engine/Parser.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        msql::Statement statement = msql::Parse(text);
        (void)statement;
    } catch (const msql::Error&) {
        // Rejected input is the expected outcome for most bytes.
    }
    return 0;
}
