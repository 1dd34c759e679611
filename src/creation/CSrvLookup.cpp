#include "creation/CSrvLookup.h"

#include <ares.h>

#include <algorithm>

#include "creation/CDnsChannel.h"
#include "creation/CMxLookup.h"
#include "providers/ProviderValues.h"
#include "support/TextUtil.h"

namespace mailwright {
namespace {

constexpr CSrvLookup::Service kServices[] = {CSrvLookup::Service::Pop3s, CSrvLookup::Service::Submissions,
                                             CSrvLookup::Service::Submission};

struct Record {
    std::string host;
    int port, priority, weight;
};

int ParseRecords(const std::string& reply, std::vector<Record>& records) {
    ares_srv_reply* replies = nullptr;
    const int status =
        ares_parse_srv_reply(reinterpret_cast<const unsigned char*>(reply.data()), static_cast<int>(reply.size()), &replies);
    for (const ares_srv_reply* r = replies; r; r = r->next)
        records.push_back({r->host ? r->host : "", r->port, r->priority, r->weight});
    if (replies) ares_free_data(replies);
    if (status == ARES_SUCCESS && records.empty()) return ARES_ENODATA;
    return status;
}

// The lowest priority, and among those the heaviest weight; the name breaks a tie, so
// that the choice is the same every time.
Record Preferred(std::vector<Record> records) {
    std::sort(records.begin(), records.end(), [](const Record& a, const Record& b) {
        if (a.priority != b.priority) return a.priority < b.priority;
        if (a.weight != b.weight) return a.weight > b.weight;
        return a.host < b.host;
    });
    return records.front();
}

CSrvLookup::Result ResultOf(CSrvLookup::Service service, const CDnsChannel::Answer& answer) {
    CSrvLookup::Result result{service, std::nullopt, {}};
    std::vector<Record> records;
    int status = answer.status;
    if (status == ARES_SUCCESS) status = ParseRecords(answer.bytes, records);
    if (status != ARES_SUCCESS) {
        bool notFound = false;
        result.finding = CDnsChannel::DescribeFailure(status, notFound);
        return result;
    }
    Record best = Preferred(std::move(records));
    std::string host = ToLowerAscii(best.host);
    if (host.ends_with('.')) host.pop_back();
    if (host.empty()) result.finding = "\".\": the service is not offered";
    else if (!IsHostName(host) || HasControlCharacter(host)) result.finding = "the target is not a host name";
    else if (best.port < 1) result.finding = "port 0";
    else {
        result.target = CSrvLookup::Target{host, best.port};
        result.finding = host + ":" + std::to_string(best.port);
    }
    return result;
}

}  // namespace

const char* CSrvLookup::PrefixOf(Service service) {
    switch (service) {
    case Service::Pop3s:
        return "_pop3s._tcp.";
    case Service::Submissions:
        return "_submissions._tcp.";
    case Service::Submission:
        break;
    }
    return "_submission._tcp.";
}

CSrvLookup::CSrvLookup(std::string nameserver) : m_server(std::move(nameserver)) {
    if (!m_server.empty()) m_server = CMxLookup::ServerOf(m_server).value_or(std::string());
}

std::optional<std::vector<CSrvLookup::Result>> CSrvLookup::Lookup(const std::string& domain, Clock::time_point deadline,
                                                                  std::stop_token stop) const {
    CDnsChannel channel(m_server);
    std::vector<const CDnsChannel::Answer*> answers;
    for (Service service : kServices) answers.push_back(&channel.Ask(PrefixOf(service) + domain, CDnsChannel::kTypeSrv));
    const CDnsChannel::Outcome outcome = channel.WaitForAnswers(deadline, stop);
    if (outcome == CDnsChannel::Outcome::Cancelled) return std::nullopt;
    std::vector<Result> results;
    for (std::size_t i = 0; i < answers.size(); ++i) {
        if (!answers[i]->done) results.push_back({kServices[i], std::nullopt, "no answer within the time limit"});
        else results.push_back(ResultOf(kServices[i], *answers[i]));
    }
    if (!channel.GetProblem().empty())
        for (Result& result : results) result.finding = channel.GetProblem();
    return results;
}

}  // namespace mailwright
