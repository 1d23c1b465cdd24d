// TCriticalSection: a process-wide lock that one thread may enter repeatedly.
#pragma once

#include <mutex>

#include "host/Object.h"

namespace host {

// Recursive like the classic critical section. Also a standard Lockable (lock/unlock/try_lock),
// so `std::lock_guard<TCriticalSection> guard(section);` holds it for a scope.
class TCriticalSection : public TObject {
public:
    void Enter() { fMutex.lock(); }
    void Leave() { fMutex.unlock(); }
    bool TryEnter() { return fMutex.try_lock(); }
    void Acquire() { Enter(); }
    void Release() { Leave(); }

    void lock() { Enter(); }
    void unlock() { Leave(); }
    bool try_lock() { return TryEnter(); }

private:
    std::recursive_mutex fMutex;
};

// Enters a section for the lifetime of the guard.
using TCriticalSectionGuard = std::lock_guard<TCriticalSection>;

} // namespace host
