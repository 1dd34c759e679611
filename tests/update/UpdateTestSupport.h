#pragma once
// Helpers of the update tests: a local HTTP server, a recording message poster and
// progress sink, a latch that holds a server response, and database bodies.
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "update/IMessagePoster.h"
#include "update/IProgress.h"

namespace mailwright::testing {

// A cpp-httplib server on 127.0.0.1 at a free port, serving from its own thread.
class TestHttpServer {
public:
    TestHttpServer();
    ~TestHttpServer();

    httplib::Server& Server() { return m_server; }
    int Port() const { return m_port; }
    std::string Url(const std::string& path) const;

    // Requests served so far (every path).
    int Hits() const { return m_hits.load(); }

    // Starts serving; call after the handlers are set.
    void Start();

private:
    httplib::Server m_server;
    int m_port = 0;
    std::thread m_thread;
    std::atomic<int> m_hits{0};
};

// Holds a response back until the test releases it (or a long safety time-out passes).
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

// A complete database of the stream format with one provider per domain.
std::string BuildDatabase(const std::vector<std::string>& domains);

}  // namespace mailwright::testing
