#include "update/VeskManualResetEvent.h"

#include <chrono>

namespace mailwright {

void VeskManualResetEvent::Set() {
    {
        std::lock_guard lock(m_mutex);
        m_signalled = true;
    }
    m_changed.notify_all();
}

void VeskManualResetEvent::Reset() {
    std::lock_guard lock(m_mutex);
    m_signalled = false;
}

bool VeskManualResetEvent::Wait(DWORD timeoutMs) {
    std::unique_lock lock(m_mutex);
    if (timeoutMs == INFINITE) {
        m_changed.wait(lock, [this] { return m_signalled; });
        return true;
    }
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_signalled; });
}

bool VeskManualResetEvent::IsSet() const {
    std::lock_guard lock(m_mutex);
    return m_signalled;
}

}  // namespace mailwright
