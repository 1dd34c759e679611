#include "creation/CServerGuess.h"

#include <ares.h>
#include <arpa/inet.h>
#include <netdb.h>

#include <algorithm>
#include <map>

#include "creation/CDnsChannel.h"
#include "creation/CMxLookup.h"

namespace mailwright {
namespace {

using Kind = CMailServerProbe::Kind;
using Target = CMailServerProbe::Target;
using Outcome = CMailServerProbe::Outcome;

constexpr int kPop3TlsPort = 995;
constexpr int kSmtpTlsPort = 465;
constexpr int kSubmissionPort = 587;
// One probe may take this long at most; a server slower than that is of no use to a client.
// The search's deadline cuts the probes that run beyond it.
constexpr std::chrono::milliseconds kPerProbe{5000};
// The names are looked up in this share of the time left; the probes get the rest.
constexpr int kLookupShareInThirds = 1;

void AddTargets(std::vector<Target>& targets, const std::vector<std::string>& hosts, int port, Kind kind) {
    std::vector<std::string> seen;
    for (const std::string& host : hosts) {
        if (host.empty() || std::find(seen.begin(), seen.end(), host) != seen.end()) continue;
        seen.push_back(host);
        targets.push_back({host, port, kind, {}});
    }
}

std::vector<std::string> AddressesIn(const CDnsChannel::Answer& answer, int type) {
    std::vector<std::string> addresses;
    if (!answer.done || answer.status != ARES_SUCCESS) return addresses;
    const auto* bytes = reinterpret_cast<const unsigned char*>(answer.bytes.data());
    const int length = static_cast<int>(answer.bytes.size());
    char text[INET6_ADDRSTRLEN] = {};
    if (type == CDnsChannel::kTypeA) {
        ares_addrttl found[8];
        int count = 8;
        if (ares_parse_a_reply(bytes, length, nullptr, found, &count) != ARES_SUCCESS) return addresses;
        for (int i = 0; i < count; ++i)
            if (inet_ntop(AF_INET, &found[i].ipaddr, text, sizeof text)) addresses.emplace_back(text);
    } else {
        ares_addr6ttl found[8];
        int count = 8;
        if (ares_parse_aaaa_reply(bytes, length, nullptr, found, &count) != ARES_SUCCESS) return addresses;
        for (int i = 0; i < count; ++i)
            if (inet_ntop(AF_INET6, &found[i].ip6addr, text, sizeof text)) addresses.emplace_back(text);
    }
    return addresses;
}

bool IsPop3(const Target& target) { return target.kind == Kind::Pop3Tls; }

// The best-ranked answering target of one protocol, once every better one has failed;
// -1 while that is not known yet, or when none answered. When the probes are over
// (`over`), one that did not finish has failed.
int Winner(const std::vector<Target>& targets, const std::vector<Outcome>& outcomes, bool pop3, bool over = false) {
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (IsPop3(targets[i]) != pop3) continue;
        if (!outcomes[i].finished && !over) return -1;
        if (outcomes[i].answered) return static_cast<int>(i);
    }
    return -1;
}

// Whether every target of the protocol is settled: one won, or all failed.
bool Decided(const std::vector<Target>& targets, const std::vector<Outcome>& outcomes, bool pop3) {
    if (Winner(targets, outcomes, pop3) >= 0) return true;
    for (std::size_t i = 0; i < targets.size(); ++i)
        if (IsPop3(targets[i]) == pop3 && !outcomes[i].finished) return false;
    return true;
}

CRefCountPtr<CProvider> MakeRecord(const std::string& domain, const Target& pop3, const Target& smtp) {
    CRefCountPtr<CProvider> p(new CProvider);
    p->m_name = domain;
    p->m_domains = {domain};
    p->m_pop3Server = pop3.host;
    p->m_pop3Port = pop3.port;
    p->m_pop3Ssl = 1;
    p->m_smtpServer = smtp.host;
    p->m_smtpPort = smtp.port;
    p->m_smtpSsl = 1;  // TLS from the first byte on 465, STARTTLS on 587: what the clients make of the flag
    p->m_smtpAuth = 1;
    p->m_userNameIsEmail = true;
    p->m_askUserName = 0;
    return p;
}

std::string Verdict(const Outcome& outcome, bool settled) {
    if (!outcome.finished) return settled ? "not needed, a better-ranked server answered" : "no answer in time";
    if (!outcome.answered) return outcome.problem;
    return "answered \"" + outcome.greeting.substr(0, 60) + "\"";
}

}  // namespace

CServerGuess::CServerGuess(std::string nameserver, std::vector<std::string> connectTo)
    : m_nameserver(nameserver.empty() ? std::string() : CMxLookup::ServerOf(nameserver).value_or(std::string())),
      m_connectTo(std::move(connectTo)) {}

std::vector<Target> CServerGuess::CandidatesFor(const std::string& domain, const std::string& mailExchanger) {
    std::vector<Target> targets;
    AddTargets(targets, {"pop." + domain, "pop3." + domain, "mail." + domain, mailExchanger, domain}, kPop3TlsPort,
               Kind::Pop3Tls);
    const std::vector<std::string> smtp = {"smtp." + domain, "mail." + domain, mailExchanger, domain};
    AddTargets(targets, smtp, kSmtpTlsPort, Kind::SmtpTls);
    AddTargets(targets, smtp, kSubmissionPort, Kind::SmtpStartTls);
    return targets;
}

// The candidates whose names have an address (A or AAAA), each given its addresses.
std::vector<Target> CServerGuess::WithAddresses(std::vector<Target> candidates, Clock::time_point deadline,
                                                std::stop_token stop, std::vector<std::string>& notes) const {
    CDnsChannel channel(m_nameserver);
    std::map<std::string, std::pair<const CDnsChannel::Answer*, const CDnsChannel::Answer*>> asked;
    for (const Target& target : candidates)
        if (!asked.count(target.host))
            asked[target.host] = {&channel.Ask(target.host, CDnsChannel::kTypeA),
                                  &channel.Ask(target.host, CDnsChannel::kTypeAaaa)};
    const Clock::time_point lookupEnd = Clock::now() + (deadline - Clock::now()) * kLookupShareInThirds / 3;
    if (channel.WaitForAnswers(lookupEnd, stop) == CDnsChannel::Outcome::Cancelled) return {};
    std::map<std::string, std::vector<std::string>> addresses;
    for (const auto& [host, answers] : asked) {
        std::vector<std::string> found = AddressesIn(*answers.first, CDnsChannel::kTypeA);
        for (std::string& v6 : AddressesIn(*answers.second, CDnsChannel::kTypeAaaa)) found.push_back(std::move(v6));
        if (found.empty()) notes.push_back("guess: " + host + ": no address");
        addresses[host] = std::move(found);
    }
    std::erase_if(candidates, [&](const Target& t) { return addresses[t.host].empty(); });
    for (Target& target : candidates) target.addresses = addresses[target.host];
    return candidates;
}

std::optional<CServerGuess::Found> CServerGuess::Guess(const std::string& domain, const std::string& mailExchanger,
                                                       Clock::time_point deadline, std::stop_token stop,
                                                       std::vector<std::string>& notes) const {
    const std::vector<Target> targets = WithAddresses(CandidatesFor(domain, mailExchanger), deadline, stop, notes);
    if (stop.stop_requested()) {
        notes.push_back("guess: cancelled");
        return std::nullopt;
    }
    const CMailServerProbe probe(m_connectTo);
    const std::vector<Outcome> outcomes =
        probe.Run(targets, targets.size(), kPerProbe, deadline,
                  stop, [&targets](const std::vector<Outcome>& so) {
                      return Decided(targets, so, true) && Decided(targets, so, false);
                  });
    if (stop.stop_requested()) {
        notes.push_back("guess: cancelled");
        return std::nullopt;
    }
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const bool settled = Winner(targets, outcomes, IsPop3(targets[i])) >= 0;
        notes.push_back("guess: " + CMailServerProbe::Describe(targets[i]) + ": " + Verdict(outcomes[i], settled));
    }
    const int pop3 = Winner(targets, outcomes, true, true), smtp = Winner(targets, outcomes, false, true);
    if (pop3 < 0 || smtp < 0) return std::nullopt;
    return Found{MakeRecord(domain, targets[pop3], targets[smtp]), CMailServerProbe::Describe(targets[pop3]),
                 CMailServerProbe::Describe(targets[smtp])};
}

}  // namespace mailwright
