#pragma once
#include <atomic>
#include <functional>
#include <mutex>

namespace mailwright {

// The one door through which a worker thread acts on the world outside it: posted
// messages, the progress value, files. The owner closes it when it lets go of the
// worker; from then on nothing passes, so a worker that is still winding down
// (a transfer being aborted) leaves no trace, even after its owner is gone.
// Shared by the owner and the thread, so it lives as long as either needs it.
class VeskWorkerGate {
public:
    VeskWorkerGate() = default;
    VeskWorkerGate(const VeskWorkerGate&) = delete;
    VeskWorkerGate& operator=(const VeskWorkerGate&) = delete;

    // Runs the action unless the gate is closed; true when it ran. Closing waits for
    // an action in progress, so an action that started is never cut off by Close.
    bool Pass(const std::function<void()>& action);

    // After Close returns, no action passes any more.
    void Close();

    // A cheap look for loops that poll: true once Close has begun.
    bool IsClosed() const { return m_closed.load(std::memory_order_acquire); }

private:
    std::mutex m_mutex;
    std::atomic<bool> m_closed{false};
};

}  // namespace mailwright
