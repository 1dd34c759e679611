#include "UpdateTestSupport.h"

#include "support/WinTypes.h"

namespace mailwright::testing {

bool RecordingPoster::PostMessage(HWND window, unsigned message, WPARAM wParam, LPARAM lParam) {
    {
        std::lock_guard lock(m_mutex);
        m_messages.push_back({window, message, wParam, lParam});
    }
    m_changed.notify_all();
    return true;
}

void RecordingPoster::SetProgress(std::int32_t percent) {
    std::lock_guard lock(m_mutex);
    m_percentages.push_back(percent);
}

std::vector<int> RecordingPoster::Results() const {
    std::lock_guard lock(m_mutex);
    std::vector<int> codes;
    for (const PostedMessage& m : m_messages)
        if (m.message == WM_UPDATE_RESULT) codes.push_back(static_cast<int>(m.wParam));
    return codes;
}

std::vector<PostedMessage> RecordingPoster::Messages() const {
    std::lock_guard lock(m_mutex);
    return m_messages;
}

std::vector<std::int32_t> RecordingPoster::Percentages() const {
    std::lock_guard lock(m_mutex);
    return m_percentages;
}

bool RecordingPoster::WaitForResults(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] {
        std::size_t results = 0;
        for (const PostedMessage& m : m_messages) results += m.message == WM_UPDATE_RESULT;
        return results >= count;
    });
}

bool RecordingPoster::WaitForProgress(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] {
        for (const PostedMessage& m : m_messages)
            if (m.message == WM_UPDATE_PROGRESS) return true;
        return false;
    });
}

}  // namespace mailwright::testing
