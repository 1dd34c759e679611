#include "creation/CDnsChannel.h"

#include <ares.h>
#include <poll.h>

#include <algorithm>
#include <mutex>

namespace mailwright {
namespace {

constexpr int kClassInternet = 1;
// Each try waits this long for an answer; the caller's deadline bounds the whole.
constexpr int kTryTimeoutMs = 1000;
constexpr int kTries = 3;
// How long one wait may last before the stop request and the deadline are looked at again.
constexpr int kPollSliceMs = 50;

void OnAnswer(void* arg, int status, int, unsigned char* reply, int length) {
    auto& answer = *static_cast<CDnsChannel::Answer*>(arg);
    if (answer.done) return;  // the channel's destruction after the outcome was taken
    answer.done = true;
    answer.status = status;
    if (status == ARES_SUCCESS && reply) answer.bytes.assign(reinterpret_cast<const char*>(reply), length);
}

}  // namespace

CDnsChannel::CDnsChannel(const std::string& server) {
    static std::once_flag once;
    std::call_once(once, [] { ares_library_init(ARES_LIB_INIT_ALL); });
    ares_options options{};
    options.timeout = kTryTimeoutMs;
    options.tries = kTries;
    int status = ares_init_options(&m_channel, &options, ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES);
    if (status == ARES_SUCCESS && !server.empty()) status = ares_set_servers_ports_csv(m_channel, server.c_str());
    if (status != ARES_SUCCESS) m_problem = std::string("cannot set up DNS: ") + ares_strerror(status);
}

CDnsChannel::~CDnsChannel() {
    // Pending queries' callbacks, run by the destruction, change nothing.
    for (Answer& answer : m_answers) answer.done = true;
    if (m_channel) ares_destroy(m_channel);
}

const CDnsChannel::Answer& CDnsChannel::Ask(const std::string& name, int type) {
    Answer& answer = m_answers.emplace_back();
    if (!m_problem.empty()) {
        answer.done = true;
        answer.status = ARES_ENOTINITIALIZED;
        return answer;
    }
    ares_query(m_channel, name.c_str(), kClassInternet, type, OnAnswer, &answer);
    return answer;
}

bool CDnsChannel::AllAnswered() const {
    return std::all_of(m_answers.begin(), m_answers.end(), [](const Answer& a) { return a.done; });
}

CDnsChannel::Outcome CDnsChannel::WaitForAnswers(Clock::time_point deadline, std::stop_token stop) {
    while (!AllAnswered()) {
        if (stop.stop_requested()) return Outcome::Cancelled;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return Outcome::TimedOut;
        ProcessOnce(static_cast<int>(std::min<long long>(left, kPollSliceMs)));
    }
    return Outcome::Answered;
}

// Waits for the channel's sockets for at most `ms` and lets c-ares handle what arrived
// (and its own time-outs).
void CDnsChannel::ProcessOnce(int ms) {
    ares_socket_t sockets[ARES_GETSOCK_MAXNUM];
    const int bits = ares_getsock(m_channel, sockets, ARES_GETSOCK_MAXNUM);
    pollfd fds[ARES_GETSOCK_MAXNUM];
    nfds_t count = 0;
    for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
        const bool read = ARES_GETSOCK_READABLE(bits, i), write = ARES_GETSOCK_WRITABLE(bits, i);
        if (!read && !write) continue;
        fds[count++] = {sockets[i], static_cast<short>((read ? POLLIN : 0) | (write ? POLLOUT : 0)), 0};
    }
    timeval slice{0, ms * 1000}, wait{};
    const timeval* next = ares_timeout(m_channel, &slice, &wait);
    const int waitMs = static_cast<int>(next->tv_sec * 1000 + next->tv_usec / 1000);
    if (poll(fds, count, std::max(waitMs, 1)) <= 0) {
        ares_process_fd(m_channel, ARES_SOCKET_BAD, ARES_SOCKET_BAD);
        return;
    }
    for (nfds_t i = 0; i < count; ++i) {
        const bool readable = fds[i].revents & (POLLIN | POLLERR | POLLHUP);
        const bool writable = fds[i].revents & POLLOUT;
        ares_process_fd(m_channel, readable ? fds[i].fd : ARES_SOCKET_BAD, writable ? fds[i].fd : ARES_SOCKET_BAD);
    }
}

std::string CDnsChannel::DescribeFailure(int status, bool& notFound) {
    notFound = status == ARES_ENOTFOUND || status == ARES_ENODATA;
    switch (status) {
    case ARES_ENOTFOUND:
        return "the domain does not exist";
    case ARES_ENODATA:
        return "no such record";
    case ARES_EBADRESP:
    case ARES_EFORMERR:
    case ARES_EBADNAME:
        return std::string("malformed answer (") + ares_strerror(status) + ")";
    case ARES_ETIMEOUT:
        return "no answer from the DNS server";
    case ARES_ECONNREFUSED:
    case ARES_ESERVFAIL:
    case ARES_EREFUSED:
        return "no usable answer from the DNS server (refused, failed or unreachable)";
    default:
        return std::string("DNS error: ") + ares_strerror(status);
    }
}

}  // namespace mailwright
