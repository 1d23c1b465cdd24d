// TBlobStreams: the edit streams of a native cursor's TEXT fields.
//
// A TEXT field's data slot in a work buffer is 4 bytes wide, too small for an address. While a TEXT
// value is being edited, the slot holds a 32-bit handle into this table, which the cursor owns: the
// table owns every stream it created, so all of them are freed with the cursor. Handles count up from
// 1 and are not handed out again before 2^32 streams have been created, so a handle left in a copied or
// stale buffer is recognised as stale (Find yields null) instead of reaching another stream.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>

#include "host/Stream.h"

namespace corvane {

// Longest TEXT value: a row travels in one packet of at most 128 KiB, so no TEXT value is longer.
inline constexpr uint32_t MaxTextValueSize = 128 * 1024;

class TBlobStreams {
public:
    // The handle that refers to no stream.
    static constexpr uint32_t NoStream = 0;

    // Creates an empty stream and returns its handle (never NoStream).
    uint32_t Create();
    // The stream of handle; null for NoStream, a released handle or one never handed out.
    host::TMemoryStream* Find(uint32_t handle) const;
    // Frees the stream of handle; nothing for a handle without stream.
    void Release(uint32_t handle);
    // Number of live streams.
    size_t Count() const { return fStreams.size(); }

private:
    std::unordered_map<uint32_t, std::unique_ptr<host::TMemoryStream>> fStreams;
    uint32_t fNextHandle = 1;
};

} // namespace corvane
