#include "CountingAllocator.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

std::atomic<int64_t> allocations{0};
std::atomic<size_t> liveBytes{0};
std::atomic<size_t> peakBytes{0};

// Each block carries its size in a 16-byte header (keeping the usual alignment) so that the sized
// and unsized deletes can both count what they free.
constexpr size_t kHeader = 16;

void* CountedAlloc(size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    void* p = std::malloc(size + kHeader);
    if (!p) throw std::bad_alloc();
    std::memcpy(p, &size, sizeof size);
    const size_t live = liveBytes += size;
    size_t peak = peakBytes.load();
    while (live > peak && !peakBytes.compare_exchange_weak(peak, live)) {
    }
    return static_cast<char*>(p) + kHeader;
}

void CountedFree(void* p) noexcept {
    if (!p) return;
    char* block = static_cast<char*>(p) - kHeader;
    size_t size;
    std::memcpy(&size, block, sizeof size);
    liveBytes -= size;
    std::free(block);
}

} // namespace

namespace bench {

int64_t Allocations() {
    return allocations.load();
}
size_t LiveBytes() {
    return liveBytes.load();
}
size_t PeakBytes() {
    return peakBytes.load();
}
size_t ResetPeak() {
    const size_t live = liveBytes.load();
    peakBytes = live;
    return live;
}

} // namespace bench

void* operator new(size_t size) {
    return CountedAlloc(size);
}
void* operator new[](size_t size) {
    return CountedAlloc(size);
}
void operator delete(void* p) noexcept {
    CountedFree(p);
}
void operator delete[](void* p) noexcept {
    CountedFree(p);
}
void operator delete(void* p, size_t) noexcept {
    CountedFree(p);
}
void operator delete[](void* p, size_t) noexcept {
    CountedFree(p);
}
