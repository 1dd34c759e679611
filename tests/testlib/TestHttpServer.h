#pragma once
#include <httplib.h>

#include <atomic>
#include <string>
#include <thread>

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

}  // namespace mailwright::testing
