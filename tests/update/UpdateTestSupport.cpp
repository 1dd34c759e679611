#include "UpdateTestSupport.h"

#include <stdexcept>

#include "providers/CProviderDatabase.h"
#include "providers/VeskMemoryArchive.h"
#include "support/WinTypes.h"

namespace mailwright::testing {

TestHttpServer::TestHttpServer() {
    m_server.set_pre_routing_handler([this](const httplib::Request&, httplib::Response&) {
        ++m_hits;
        return httplib::Server::HandlerResponse::Unhandled;
    });
    m_port = m_server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0) throw std::runtime_error("cannot bind a test server");
}

TestHttpServer::~TestHttpServer() {
    m_server.stop();
    if (m_thread.joinable()) m_thread.join();
}

void TestHttpServer::Start() {
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    while (!m_server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

std::string TestHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

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

std::string BuildDatabase(const std::vector<std::string>& domains) {
    CProviderDatabase database;
    database.SetVersion(1);
    for (const std::string& domain : domains) {
        CRefCountPtr<CProvider> provider(new CProvider);
        provider->m_name = "Provider of " + domain;
        provider->m_pop3Server = "pop." + domain;
        provider->m_smtpServer = "smtp." + domain;
        provider->m_domains = {domain};
        database.Add(provider);
    }
    VeskMemoryArchive archive;
    database.Write(archive);
    return std::string(reinterpret_cast<const char*>(archive.GetData()), archive.GetLength());
}

}  // namespace mailwright::testing
