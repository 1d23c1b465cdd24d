// TStream (abstract byte stream), TMemoryStream and TStringStream.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/Object.h"

namespace host {

enum TSeekOrigin : int { soFromBeginning = 0, soFromCurrent = 1, soFromEnd = 2 };
inline constexpr TSeekOrigin soBeginning = soFromBeginning;
inline constexpr TSeekOrigin soCurrent = soFromCurrent;
inline constexpr TSeekOrigin soEnd = soFromEnd;

class TStream : public TObject {
public:
    // Reads up to count bytes into buffer; returns the number read (0 at the end).
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    // Writes count bytes; returns the number written.
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Moves the position relative to origin; returns the new position.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

    int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(int64_t position) { Seek(position, soBeginning); }
    // The base measures by seeking to the end and back.
    virtual int64_t Size();
    // The base does nothing (streams that cannot be resized).
    virtual void SetSize(int64_t newSize);

    // Read/Write exactly count bytes, else EReadError "Stream read error" /
    // EWriteError "Stream write error".
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
    // Copies count bytes from source's position; count 0 rewinds source and copies all of it.
    // Returns the number of bytes copied.
    int64_t CopyFrom(TStream& source, int64_t count);
};

// A stream in memory. Capacity grows in 8 KiB blocks; Write past the end grows the stream (a gap
// is zero-filled); Read at or after the end returns 0; the position may lie beyond Size but not
// before 0 (Seek clamps it to 0).
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return fSize; }
    // Position kept unless beyond the new size (then it moves to the new end).
    void SetSize(int64_t newSize) override;

    // The bytes (valid until the next change of size or capacity; nullptr when empty).
    uint8_t* Memory() { return fData.empty() ? nullptr : fData.data(); }
    const uint8_t* Memory() const { return fData.empty() ? nullptr : fData.data(); }
    int64_t Capacity() const { return static_cast<int64_t>(fData.size()); }
    // Empties the stream and releases the memory.
    void Clear();
    // Replaces the content by the whole of stream (from position 0); position 0 afterwards.
    void LoadFromStream(TStream& stream);
    // Writes the whole content to stream.
    void SaveToStream(TStream& stream) const;
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;

private:
    void SetCapacity(int64_t newCapacity);
    std::vector<uint8_t> fData; // size == capacity
    int64_t fSize = 0;
    int64_t fPosition = 0;
};

// A stream over a std::string (DataString); writes overwrite/extend the string.
class TStringStream : public TStream {
public:
    explicit TStringStream(std::string data = {}) : fData(std::move(data)) {}
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(fData.size()); }
    void SetSize(int64_t newSize) override;

    const std::string& DataString() const { return fData; }
    // Reads up to count bytes as a string.
    std::string ReadString(int64_t count);
    void WriteString(const std::string& s) { Write(s.data(), static_cast<int64_t>(s.size())); }

private:
    std::string fData;
    int64_t fPosition = 0;
};

} // namespace host
