// libFuzzer target: the native filter check accepts a CANExpr blob or refuses it with
// DBIERR_INVALIDFILTER, and an accepted blob evaluates against every row of a table of every mSQL type
// without reading outside its copy, crashing or hanging.
//
// Input: the blob. Its size field is kept when it lies within the input (the caller of the check
// guarantees that many bytes), otherwise it is set to the input's size.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < sizeof(host::CANExpr) || size > UINT16_MAX) return 0;
    std::vector<uint8_t> blob(data, data + size);
    uint16_t total = 0;
    std::memcpy(&total, blob.data() + offsetof(host::CANExpr, iTotalSize), sizeof total);
    if (total > size) {
        total = static_cast<uint16_t>(size);
        std::memcpy(blob.data() + offsetof(host::CANExpr, iTotalSize), &total, sizeof total);
    }
    corvane::fuzz::EvaluateBlob(blob);
    return 0;
}
