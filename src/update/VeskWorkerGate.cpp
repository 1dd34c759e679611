#include "update/VeskWorkerGate.h"

namespace mailwright {

bool VeskWorkerGate::Pass(const std::function<void()>& action) {
    std::lock_guard lock(m_mutex);
    if (m_closed.load(std::memory_order_relaxed)) return false;
    action();
    return true;
}

void VeskWorkerGate::Close() {
    // Seen at once by pollers; the lock then waits out an action already passing.
    m_closed.store(true, std::memory_order_release);
    std::lock_guard lock(m_mutex);
}

}  // namespace mailwright
