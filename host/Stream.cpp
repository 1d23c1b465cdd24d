// TStream helpers, TMemoryStream and TStringStream.
#include "host/Stream.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "host/Exceptions.h"
#include "host/Messages.h"
#include "host/SysUtils.h"

namespace host {

namespace {

constexpr int64_t kMemoryDelta = 8192; // capacity grows in blocks of this size
constexpr int64_t kCopyChunk = 64 * 1024;

int64_t NewPosition(int64_t current, int64_t size, int64_t offset, TSeekOrigin origin) {
    int64_t base = 0;
    switch (origin) {
    case soFromBeginning:
        base = 0;
        break;
    case soFromCurrent:
        base = current;
        break;
    case soFromEnd:
        base = size;
        break;
    }
    return std::max<int64_t>(base + offset, 0);
}

} // namespace

// ---- TStream

int64_t TStream::Size() {
    const int64_t pos = Seek(0, soCurrent);
    const int64_t size = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return size;
}

void TStream::SetSize(int64_t /*newSize*/) {}

void TStream::ReadBuffer(void* buffer, int64_t count) {
    if (count != 0 && Read(buffer, count) != count) throw EReadError(SReadError);
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    if (count != 0 && Write(buffer, count) != count) throw EWriteError(SWriteError);
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    const int64_t result = count;
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min(count, kCopyChunk)));
    while (count > 0) {
        const int64_t n = std::min(count, kCopyChunk);
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        count -= n;
    }
    return result;
}

// ---- TMemoryStream

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    if (count <= 0 || fPosition >= fSize) return 0;
    const int64_t n = std::min(count, fSize - fPosition);
    std::memcpy(buffer, fData.data() + fPosition, static_cast<size_t>(n));
    fPosition += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    const int64_t end = fPosition + count;
    if (end > fSize) {
        if (end > Capacity()) SetCapacity(end);
        // Bytes between the old end and the position read as zero.
        if (fPosition > fSize) std::memset(fData.data() + fSize, 0, static_cast<size_t>(fPosition - fSize));
        fSize = end;
    }
    std::memcpy(fData.data() + fPosition, buffer, static_cast<size_t>(count));
    fPosition = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    fPosition = NewPosition(fPosition, fSize, offset, origin);
    return fPosition;
}

void TMemoryStream::SetSize(int64_t newSize) {
    newSize = std::max<int64_t>(newSize, 0);
    const int64_t oldSize = fSize;
    SetCapacity(newSize);
    if (newSize > oldSize) std::memset(fData.data() + oldSize, 0, static_cast<size_t>(newSize - oldSize));
    fSize = newSize;
    if (fPosition > newSize) fPosition = newSize;
}

void TMemoryStream::SetCapacity(int64_t newCapacity) {
    if (newCapacity > 0) newCapacity = (newCapacity + kMemoryDelta - 1) / kMemoryDelta * kMemoryDelta;
    if (newCapacity == Capacity()) return;
    if (newCapacity == 0) {
        std::vector<uint8_t>().swap(fData);
        return;
    }
    std::vector<uint8_t> data(static_cast<size_t>(newCapacity));
    if (fSize > 0) std::memcpy(data.data(), fData.data(), static_cast<size_t>(std::min(fSize, newCapacity)));
    fData.swap(data);
}

void TMemoryStream::Clear() {
    std::vector<uint8_t>().swap(fData);
    fSize = 0;
    fPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
    stream.SetPosition(0);
    const int64_t count = stream.Size();
    SetSize(count);
    if (count != 0) stream.ReadBuffer(fData.data(), count);
    fPosition = 0;
}

void TMemoryStream::SaveToStream(TStream& stream) const {
    if (fSize != 0) stream.WriteBuffer(fData.data(), fSize);
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) throw EFOpenError(Format(SFOpenError, fileName));
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SetSize(static_cast<int64_t>(bytes.size()));
    if (!bytes.empty()) std::memcpy(fData.data(), bytes.data(), bytes.size());
    fPosition = 0;
}

void TMemoryStream::SaveToFile(const std::string& fileName) const {
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out) throw EFCreateError(Format(SFCreateError, fileName));
    if (fSize != 0)
        out.write(reinterpret_cast<const char*>(fData.data()), static_cast<std::streamsize>(fSize));
    if (!out) throw EWriteError(SWriteError);
}

// ---- TStringStream

int64_t TStringStream::Read(void* buffer, int64_t count) {
    const int64_t size = static_cast<int64_t>(fData.size());
    if (count <= 0 || fPosition >= size) return 0;
    const int64_t n = std::min(count, size - fPosition);
    std::memcpy(buffer, fData.data() + fPosition, static_cast<size_t>(n));
    fPosition += n;
    return n;
}

int64_t TStringStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    const int64_t end = fPosition + count;
    if (end > static_cast<int64_t>(fData.size())) fData.resize(static_cast<size_t>(end), '\0');
    std::memcpy(fData.data() + fPosition, buffer, static_cast<size_t>(count));
    fPosition = end;
    return count;
}

int64_t TStringStream::Seek(int64_t offset, TSeekOrigin origin) {
    fPosition = NewPosition(fPosition, static_cast<int64_t>(fData.size()), offset, origin);
    return fPosition;
}

void TStringStream::SetSize(int64_t newSize) {
    fData.resize(static_cast<size_t>(std::max<int64_t>(newSize, 0)), '\0');
    fPosition = std::min(fPosition, static_cast<int64_t>(fData.size()));
}

std::string TStringStream::ReadString(int64_t count) {
    const int64_t size = static_cast<int64_t>(fData.size());
    const int64_t n = std::max<int64_t>(0, std::min(count, size - fPosition));
    std::string out =
        n > 0 ? fData.substr(static_cast<size_t>(fPosition), static_cast<size_t>(n)) : std::string();
    fPosition += n;
    return out;
}

} // namespace host
