#pragma once
// Helpers of the update tests: a recording message poster and progress sink, and the
// shared local HTTP server, latch and database bodies.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "testlib/AccountFixture.h"
#include "testlib/Latch.h"
#include "testlib/TestHttpServer.h"
#include "update/IMessagePoster.h"
#include "update/IProgress.h"

namespace mailwright::testing {

// Windows of the tests: the update dialog and its parent, the main dialog.
inline HWND const kMainWnd = reinterpret_cast<HWND>(std::uintptr_t{0x100});
inline HWND const kUpdateWnd = reinterpret_cast<HWND>(std::uintptr_t{0x200});

struct PostedMessage {
    HWND window;
    unsigned message;
    WPARAM wParam;
    LPARAM lParam;
};

// Records posted messages and stored percentages, in the order they arrive.
class RecordingPoster : public IMessagePoster, public IProgress {
public:
    HWND GetParent(HWND window) override { return window == kUpdateWnd ? kMainWnd : nullptr; }
    bool PostMessage(HWND window, unsigned message, WPARAM wParam, LPARAM lParam) override;
    void SetProgress(std::int32_t percent) override;

    // The result codes posted so far (WM_UPDATE_RESULT to the main dialog).
    std::vector<int> Results() const;
    std::vector<PostedMessage> Messages() const;
    std::vector<std::int32_t> Percentages() const;

    // Waits until `count` results have arrived; false on time-out.
    bool WaitForResults(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // Waits until a progress message has arrived; false on time-out.
    bool WaitForProgress(std::chrono::milliseconds timeout = std::chrono::seconds(20));

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<PostedMessage> m_messages;
    std::vector<std::int32_t> m_percentages;
};

}  // namespace mailwright::testing
