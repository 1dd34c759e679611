#pragma once
#include <condition_variable>
#include <mutex>

#include "support/WinTypes.h"

namespace mailwright {

// An event that stays signalled once set, releasing every waiter, until it is reset.
class VeskManualResetEvent {
public:
    VeskManualResetEvent() = default;
    VeskManualResetEvent(const VeskManualResetEvent&) = delete;
    VeskManualResetEvent& operator=(const VeskManualResetEvent&) = delete;

    void Set();
    void Reset();

    // True when the event is signalled within the time-out (INFINITE: no time-out).
    bool Wait(DWORD timeoutMs);

    bool IsSet() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_signalled = false;
};

}  // namespace mailwright
