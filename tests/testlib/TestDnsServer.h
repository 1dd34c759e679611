#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace mailwright::testing {

// A DNS server on 127.0.0.1 (UDP) at a free port, answering from its own thread what the
// test's handler makes of each query: the whole reply message, or nothing to stay silent.
class TestDnsServer {
public:
    struct Query {
        std::string bytes;  // the whole query message
        std::string name;   // the question's name, labels joined by "."
        std::uint16_t type = 0;
    };
    using Handler = std::function<std::optional<std::string>(const Query& query)>;

    explicit TestDnsServer(Handler handler);
    ~TestDnsServer();
    TestDnsServer(const TestDnsServer&) = delete;
    TestDnsServer& operator=(const TestDnsServer&) = delete;

    // "127.0.0.1:PORT", as --nameserver takes it.
    std::string Address() const;
    // Queries received so far.
    int Queries() const { return m_queries.load(); }

private:
    void Serve();

    Handler m_handler;
    int m_socket = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_queries{0};
    std::thread m_thread;
};

}  // namespace mailwright::testing
