#include "creation/CMxLookup.h"

#include <ares.h>
#include <arpa/inet.h>
#include <sys/socket.h>

#include <algorithm>
#include <charconv>

#include "creation/CDnsChannel.h"

namespace mailwright {
namespace {

// The MX records of a reply; c-ares' status of the parse.
int ParseExchangers(const std::string& reply, std::vector<CMxLookup::Exchanger>& exchangers) {
    ares_mx_reply* replies = nullptr;
    const int status =
        ares_parse_mx_reply(reinterpret_cast<const unsigned char*>(reply.data()), static_cast<int>(reply.size()), &replies);
    for (const ares_mx_reply* r = replies; r; r = r->next) exchangers.push_back({r->host ? r->host : "", r->priority});
    if (replies) ares_free_data(replies);
    if (status == ARES_SUCCESS && exchangers.empty()) return ARES_ENODATA;
    return status;
}

// Why a finished query found nothing.
CMxLookup::Result Failure(int status) {
    bool notFound = false;
    std::string problem = CDnsChannel::DescribeFailure(status, notFound);
    if (status == ARES_ENODATA) problem = "the domain has no MX record";
    return {notFound ? CMxLookup::Status::NotFound : CMxLookup::Status::Failed, {}, problem};
}

bool IsIp(const std::string& text, int family) {
    unsigned char address[16];
    return inet_pton(family, text.c_str(), address) == 1;
}

}  // namespace

CMxLookup::CMxLookup(std::string nameserver) : m_server(std::move(nameserver)) {
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
    CDnsChannel channel(m_server);
    if (!channel.GetProblem().empty()) return {Status::Failed, {}, channel.GetProblem()};
    const CDnsChannel::Answer& answer = channel.Ask(domain, CDnsChannel::kTypeMx);
    switch (channel.WaitForAnswers(deadline, stop)) {
    case CDnsChannel::Outcome::Cancelled:
        return {Status::Cancelled, {}, "cancelled"};
    case CDnsChannel::Outcome::TimedOut:
        return {Status::TimedOut, {}, "no answer within the time limit"};
    case CDnsChannel::Outcome::Answered:
        break;
    }
    if (answer.status != ARES_SUCCESS) return Failure(answer.status);
    Result result{Status::Found, {}, {}};
    const int status = ParseExchangers(answer.bytes, result.exchangers);
    return status == ARES_SUCCESS ? result : Failure(status);
}

}  // namespace mailwright
