// mailwright-cli update: the background update of the dialog program, run once in the
// foreground. The console plays both dialogs: it receives the worker's posted
// messages in a queue and handles them on the main thread, as the windows would.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "cli/CliCommands.h"
#include "support/StringTable.h"
#include "support/WinTypes.h"
#include "update/CUpdateThread.h"
#include "update/IMessagePoster.h"
#include "update/IProgress.h"
#include "update/UpdateResult.h"

namespace mailwright::cli {
namespace {

// Stand-ins for the two windows: the update dialog and its parent, the main dialog.
HWND const kMainWindow = reinterpret_cast<HWND>(std::uintptr_t{1});
HWND const kUpdateWindow = reinterpret_cast<HWND>(std::uintptr_t{2});

struct QueuedMessage {
    unsigned message;
    WPARAM wParam;
};

// The console's message queue and the update dialog's stored percentage.
class ConsoleUpdateWindows : public IMessagePoster, public IProgress {
public:
    HWND GetParent(HWND window) override { return window == kUpdateWindow ? kMainWindow : nullptr; }

    bool PostMessage(HWND, unsigned message, WPARAM wParam, LPARAM) override {
        {
            std::lock_guard lock(m_mutex);
            m_queue.push_back({message, wParam});
        }
        m_posted.notify_one();
        return true;
    }

    void SetProgress(std::int32_t percent) override { m_percent = percent; }
    std::int32_t Percent() const { return m_percent; }

    // The next message, or nothing when none arrives within the time-out.
    std::optional<QueuedMessage> Next(std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        if (!m_posted.wait_for(lock, timeout, [this] { return !m_queue.empty(); })) return std::nullopt;
        QueuedMessage message = m_queue.front();
        m_queue.pop_front();
        return message;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<QueuedMessage> m_queue;
    std::atomic<std::int32_t> m_percent{0};
};

// The progress bar on stderr; a percentage above 100 (headers count too) shows a full bar.
void DrawProgress(std::int32_t percent) {
    constexpr int kWidth = 40;
    const int shown = std::clamp(percent, 0, 100);
    const int filled = shown * kWidth / 100;
    std::cerr << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, ' ') << "] " << shown << "%"
              << std::flush;
}

// Waits for the first result: a successful run's later 6002 is not part of this job.
std::optional<int> WaitForResult(CUpdateThread& update, ConsoleUpdateWindows& windows, bool& drewProgress) {
    std::int32_t drawn = -1;
    for (;;) {
        std::optional<QueuedMessage> message = windows.Next(std::chrono::milliseconds(100));
        if (!message && update.IsRunning()) continue;
        if (!message) message = windows.Next(std::chrono::milliseconds(0));  // posted just before the end
        if (!message) return std::nullopt;
        if (message->message == WM_UPDATE_RESULT) return static_cast<int>(message->wParam);
        if (message->message == WM_UPDATE_PROGRESS && windows.Percent() != drawn) {
            drawn = windows.Percent();
            DrawProgress(drawn);
            drewProgress = true;
        }
    }
}

int Update(const std::string& url) {
    ConsoleUpdateWindows windows;
    CUpdateThread update(url);
    update.SetWiring(&windows, kUpdateWindow, &windows, nullptr);
    if (!update.Start(100)) return Fail("update: cannot start the worker", 1);
    update.Resume();
    bool drewProgress = false;
    const std::optional<int> code = WaitForResult(update, windows, drewProgress);
    update.Stop(1000);
    if (drewProgress) std::cerr << "\n";
    if (!code) return Fail("update: the worker ended without a result", 1);

    std::cout << *code << " " << LoadString(UpdateResultTextId(*code)) << std::endl;
    return *code == UPDATE_RESULT_DONE ? 0 : 1;
}

}  // namespace

void AddUpdateCommand(CommandLine& cli) {
    const auto url = std::make_shared<std::string>();
    CLI::App& update = cli.AddCommand(cli.Root(), "update", "Download the provider database and replace providers.lst",
                                      [url] { return Update(*url); });
    update.add_option("--url", *url, "Download from this address instead of the update host")->type_name("URL");
}

}  // namespace mailwright::cli
