#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace mailwright::testing {

// Holds a server response back until the test releases it (or a long safety time-out passes).
class Latch {
public:
    void Release();
    // True when released within the time-out.
    bool Wait(std::chrono::milliseconds timeout);

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_released = false;
};

}  // namespace mailwright::testing
