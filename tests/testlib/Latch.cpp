#include "testlib/Latch.h"

namespace mailwright::testing {

void Latch::Release() {
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
    }
    m_changed.notify_all();
}

bool Latch::Wait(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] { return m_released; });
}

}  // namespace mailwright::testing
