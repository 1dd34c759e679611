#include "testlib/TestDnsServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace mailwright::testing {
namespace {

constexpr std::size_t kHeaderSize = 12;

// The question's name and type; false when the query is not one DNS question.
bool ReadQuestion(const std::string& bytes, TestDnsServer::Query& query) {
    std::size_t at = kHeaderSize;
    while (at < bytes.size()) {
        const auto length = static_cast<unsigned char>(bytes[at++]);
        if (length == 0) break;
        if (at + length > bytes.size()) return false;
        if (!query.name.empty()) query.name += '.';
        query.name += bytes.substr(at, length);
        at += length;
    }
    if (at + 4 > bytes.size()) return false;
    query.type = static_cast<std::uint16_t>((static_cast<unsigned char>(bytes[at]) << 8) | static_cast<unsigned char>(bytes[at + 1]));
    return true;
}

}  // namespace

TestDnsServer::TestDnsServer(Handler handler) : m_handler(std::move(handler)) {
    m_socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_socket < 0 || ::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (m_socket >= 0) ::close(m_socket);
        throw std::runtime_error("cannot bind a test DNS server");
    }
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

TestDnsServer::~TestDnsServer() {
    m_stop = true;
    m_thread.join();
    ::close(m_socket);
}

std::string TestDnsServer::Address() const { return "127.0.0.1:" + std::to_string(m_port); }

void TestDnsServer::Serve() {
    while (!m_stop) {
        pollfd fd{m_socket, POLLIN, 0};
        if (::poll(&fd, 1, 20) <= 0) continue;
        char buffer[4096];
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t received =
            ::recvfrom(m_socket, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (received < static_cast<ssize_t>(kHeaderSize)) continue;
        ++m_queries;
        Query query;
        query.bytes.assign(buffer, static_cast<std::size_t>(received));
        if (!ReadQuestion(query.bytes, query)) continue;
        const std::optional<std::string> reply = m_handler(query);
        if (reply)
            ::sendto(m_socket, reply->data(), reply->size(), 0, reinterpret_cast<sockaddr*>(&from), fromLength);
    }
}

}  // namespace mailwright::testing
