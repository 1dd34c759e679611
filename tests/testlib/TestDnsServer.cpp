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

void PutShort(std::string& out, unsigned value) {
    out += static_cast<char>((value >> 8) & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

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

// The header and question of a reply to the query, with the answer count.
std::string ReplyHead(const TestDnsServer::Query& query, int rcode, unsigned answers) {
    std::string reply = query.bytes.substr(0, 2);                // the query's id
    reply += static_cast<char>(0x81);                             // a response; recursion desired
    reply += static_cast<char>(0x80 | (rcode & 0x0F));            // recursion available
    PutShort(reply, 1);
    PutShort(reply, answers);
    PutShort(reply, 0);
    PutShort(reply, 0);
    reply += DnsReply::EncodeName(query.name);
    PutShort(reply, query.type);
    PutShort(reply, 1);
    return reply;
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

std::string DnsReply::EncodeName(const std::string& name) {
    std::string encoded;
    std::size_t from = 0;
    while (from < name.size()) {
        std::size_t dot = name.find('.', from);
        if (dot == std::string::npos) dot = name.size();
        encoded += static_cast<char>(dot - from);
        encoded += name.substr(from, dot - from);
        from = dot + 1;
    }
    return encoded + '\0';
}

std::string DnsReply::Answer(const TestDnsServer::Query& query, const std::vector<Mx>& exchangers) {
    std::string reply = ReplyHead(query, 0, static_cast<unsigned>(exchangers.size()));
    for (const Mx& mx : exchangers) {
        reply += "\xC0\x0C";  // the question's name
        PutShort(reply, kTypeMx);
        PutShort(reply, 1);
        reply += std::string("\0\0\x0E\x10", 4);  // an hour
        const std::string host = EncodeName(mx.host);
        PutShort(reply, static_cast<unsigned>(2 + host.size()));
        PutShort(reply, static_cast<unsigned>(mx.preference));
        reply += host;
    }
    return reply;
}

std::string DnsReply::Error(const TestDnsServer::Query& query, int rcode) { return ReplyHead(query, rcode, 0); }

}  // namespace mailwright::testing
