#include "creation/CMxLookup.h"

#include <ares.h>
#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <charconv>
#include <mutex>

namespace mailwright {
namespace {

constexpr int kClassInternet = 1;
constexpr int kTypeMx = 15;
// Each try waits this long for an answer; the caller's deadline bounds the whole.
constexpr int kTryTimeoutMs = 1000;
constexpr int kTries = 3;
// How long one wait may last before the stop request and the deadline are looked at again.
constexpr int kPollSliceMs = 50;

struct Query {
    bool done = false;
    int status = ARES_ENOTINITIALIZED;
    std::vector<CMxLookup::Exchanger> exchangers;
};

void OnAnswer(void* arg, int status, int, unsigned char* answer, int length) {
    Query& query = *static_cast<Query*>(arg);
    if (query.done) return;  // the channel's destruction after the outcome was taken
    query.done = true;
    query.status = status;
    if (status != ARES_SUCCESS) return;
    ares_mx_reply* replies = nullptr;
    query.status = ares_parse_mx_reply(answer, length, &replies);
    for (const ares_mx_reply* reply = replies; reply; reply = reply->next)
        query.exchangers.push_back({reply->host ? reply->host : "", reply->priority});
    if (replies) ares_free_data(replies);
    if (query.status == ARES_SUCCESS && query.exchangers.empty()) query.status = ARES_ENODATA;
}

// Why a finished query found nothing.
CMxLookup::Result Failure(int status) {
    switch (status) {
    case ARES_ENOTFOUND:
        return {CMxLookup::Status::NotFound, {}, "the domain does not exist"};
    case ARES_ENODATA:
        return {CMxLookup::Status::NotFound, {}, "the domain has no MX record"};
    case ARES_EBADRESP:
    case ARES_EFORMERR:
    case ARES_EBADNAME:
        return {CMxLookup::Status::Failed, {}, std::string("malformed answer (") + ares_strerror(status) + ")"};
    case ARES_ETIMEOUT:
        return {CMxLookup::Status::Failed, {}, "no answer from the DNS server"};
    case ARES_ECONNREFUSED:
    case ARES_ESERVFAIL:
    case ARES_EREFUSED:
        return {CMxLookup::Status::Failed, {}, "no usable answer from the DNS server (refused, failed or unreachable)"};
    default:
        return {CMxLookup::Status::Failed, {}, std::string("DNS error: ") + ares_strerror(status)};
    }
}

// Waits for the channel's sockets for at most `ms` and lets c-ares handle what arrived
// (and its own time-outs).
void ProcessOnce(ares_channel channel, int ms) {
    ares_socket_t sockets[ARES_GETSOCK_MAXNUM];
    const int bits = ares_getsock(channel, sockets, ARES_GETSOCK_MAXNUM);
    pollfd fds[ARES_GETSOCK_MAXNUM];
    nfds_t count = 0;
    for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
        const bool read = ARES_GETSOCK_READABLE(bits, i), write = ARES_GETSOCK_WRITABLE(bits, i);
        if (!read && !write) continue;
        fds[count++] = {sockets[i], static_cast<short>((read ? POLLIN : 0) | (write ? POLLOUT : 0)), 0};
    }
    timeval slice{0, ms * 1000}, wait{};
    const timeval* next = ares_timeout(channel, &slice, &wait);
    const int waitMs = static_cast<int>(next->tv_sec * 1000 + next->tv_usec / 1000);
    if (poll(fds, count, std::max(waitMs, 1)) <= 0) {
        ares_process_fd(channel, ARES_SOCKET_BAD, ARES_SOCKET_BAD);
        return;
    }
    for (nfds_t i = 0; i < count; ++i) {
        const bool readable = fds[i].revents & (POLLIN | POLLERR | POLLHUP);
        const bool writable = fds[i].revents & POLLOUT;
        ares_process_fd(channel, readable ? fds[i].fd : ARES_SOCKET_BAD, writable ? fds[i].fd : ARES_SOCKET_BAD);
    }
}

bool IsIp(const std::string& text, int family) {
    unsigned char address[16];
    return inet_pton(family, text.c_str(), address) == 1;
}

}  // namespace

CMxLookup::CMxLookup(std::string nameserver) : m_server(std::move(nameserver)) {
    static std::once_flag once;
    std::call_once(once, [] { ares_library_init(ARES_LIB_INIT_ALL); });
    if (!m_server.empty()) m_server = ServerOf(m_server).value_or(std::string());
}

std::optional<std::string> CMxLookup::ServerOf(std::string_view text) {
    std::string host(text);
    std::string_view port = "53";
    bool v6 = false;
    if (text.starts_with('[')) {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        host = std::string(text.substr(1, close - 1));
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty() && !rest.starts_with(':')) return std::nullopt;
        if (!rest.empty()) port = rest.substr(1);
        v6 = true;
    } else if (std::count(text.begin(), text.end(), ':') == 1) {
        const std::size_t colon = text.find(':');
        host = std::string(text.substr(0, colon));
        port = text.substr(colon + 1);
    } else {
        v6 = text.find(':') != std::string_view::npos;
    }
    int number = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
    if (error != std::errc() || end != port.data() + port.size() || number < 1 || number > 65535) return std::nullopt;
    if (!IsIp(host, v6 ? AF_INET6 : AF_INET)) return std::nullopt;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(number);
}

CMxLookup::Result CMxLookup::Lookup(const std::string& domain, Clock::time_point deadline, std::stop_token stop) const {
    ares_options options{};
    options.timeout = kTryTimeoutMs;
    options.tries = kTries;
    ares_channel channel = nullptr;
    int status = ares_init_options(&channel, &options, ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES);
    if (status == ARES_SUCCESS && !m_server.empty()) status = ares_set_servers_ports_csv(channel, m_server.c_str());
    if (status != ARES_SUCCESS) {
        if (channel) ares_destroy(channel);
        return {Status::Failed, {}, std::string("cannot set up DNS: ") + ares_strerror(status)};
    }

    Query query;
    ares_query(channel, domain.c_str(), kClassInternet, kTypeMx, OnAnswer, &query);
    Result result{Status::Failed, {}, {}};
    while (!query.done) {
        if (stop.stop_requested()) {
            result = {Status::Cancelled, {}, "cancelled"};
            break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            result = {Status::TimedOut, {}, "no answer within the time limit"};
            break;
        }
        ProcessOnce(channel, static_cast<int>(std::min<long long>(left, kPollSliceMs)));
    }
    if (query.done) {
        result = query.status == ARES_SUCCESS ? Result{Status::Found, std::move(query.exchangers), {}} : Failure(query.status);
    }
    query.done = true;  // the pending query's callback, run by the destruction, changes nothing
    ares_destroy(channel);
    return result;
}

}  // namespace mailwright
