#include "support/VeskBackgroundTask.h"

namespace mailwright {

VeskBackgroundTask::VeskBackgroundTask(std::function<void(std::stop_token)> work)
    : m_thread([this, work = std::move(work)](std::stop_token stop) {
          try {
              work(stop);
          } catch (...) {
              // The work reports its own failures; an escaped one must not end the process.
          }
          Finish();
      }) {}

VeskBackgroundTask::~VeskBackgroundTask() {
    Cancel();
    Wait();
}

bool VeskBackgroundTask::IsDone() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_done;
}

void VeskBackgroundTask::Cancel() { m_thread.request_stop(); }

bool VeskBackgroundTask::IsCancelled() const { return m_thread.get_stop_token().stop_requested(); }

void VeskBackgroundTask::Wait() {
    if (m_thread.joinable()) m_thread.join();
}

void VeskBackgroundTask::NotifyWhenDone(std::function<void()> notify) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_done) {
            m_notify.push_back(std::move(notify));
            return;
        }
    }
    notify();
}

void VeskBackgroundTask::Finish() {
    std::vector<std::function<void()>> notify;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_done = true;
        notify.swap(m_notify);
    }
    for (const auto& call : notify) call();
}

}  // namespace mailwright
