#pragma once
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

namespace mailwright {

// Work that runs on a thread of its own from construction on, so that the thread of
// the user's window can wait for it without blocking (IUserInterface::WaitForTask).
// The work sees a cancellation through its stop token and should end soon after it.
class VeskBackgroundTask {
public:
    explicit VeskBackgroundTask(std::function<void(std::stop_token)> work);
    // Cancels the work and waits for its end.
    ~VeskBackgroundTask();
    VeskBackgroundTask(const VeskBackgroundTask&) = delete;
    VeskBackgroundTask& operator=(const VeskBackgroundTask&) = delete;

    bool IsDone() const;
    void Cancel();
    bool IsCancelled() const;
    // Returns once the work has ended.
    void Wait();

    // Calls `notify` once when the work ends: on the task's thread, or at once on the
    // caller's when it has ended already.
    void NotifyWhenDone(std::function<void()> notify);

private:
    void Finish();

    mutable std::mutex m_mutex;
    bool m_done = false;
    std::vector<std::function<void()>> m_notify;
    std::jthread m_thread;  // last: started once the rest is ready
};

}  // namespace mailwright
