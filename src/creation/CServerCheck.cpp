#include "creation/CServerCheck.h"

#include <algorithm>
#include <tuple>

namespace mailwright {
namespace {

using Kind = CMailServerProbe::Kind;
using Target = CMailServerProbe::Target;

constexpr int kImplicitTlsSmtpPort = 465;

auto KeyOf(const Target& target) { return std::tie(target.host, target.port, target.kind); }

bool IsTls(Kind kind) { return kind != Kind::Pop3Plain && kind != Kind::SmtpPlain; }

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
    return text;
}

}  // namespace

CServerCheck::CServerCheck(std::vector<std::string> connectTo) : m_connectTo(std::move(connectTo)) {}

Target CServerCheck::Pop3TargetOf(const CProvider& record) {
    return {record.m_pop3Server, record.m_pop3Port, record.m_pop3Ssl ? Kind::Pop3Tls : Kind::Pop3Plain, {}};
}

Target CServerCheck::SmtpTargetOf(const CProvider& record) {
    Kind kind = Kind::SmtpPlain;
    if (record.m_smtpSsl) kind = record.m_smtpPort == kImplicitTlsSmtpPort ? Kind::SmtpTls : Kind::SmtpStartTls;
    return {record.m_smtpServer, record.m_smtpPort, kind, {}};
}

std::vector<CServerCheck::Report> CServerCheck::Check(const std::vector<CRefCountPtr<CProvider>>& records,
                                                      std::size_t parallel, std::chrono::milliseconds perProbe,
                                                      Clock::time_point deadline) const {
    std::vector<Target> targets;
    const auto indexOf = [&targets](const Target& target) {
        const auto found = std::find_if(targets.begin(), targets.end(),
                                        [&](const Target& t) { return KeyOf(t) == KeyOf(target); });
        if (found != targets.end()) return static_cast<std::size_t>(found - targets.begin());
        targets.push_back(target);
        return targets.size() - 1;
    };
    std::vector<std::pair<std::size_t, std::size_t>> indexes;
    for (const CRefCountPtr<CProvider>& record : records)
        indexes.emplace_back(indexOf(Pop3TargetOf(*record)), indexOf(SmtpTargetOf(*record)));
    const std::vector<CMailServerProbe::Outcome> outcomes =
        CMailServerProbe(m_connectTo).Run(targets, parallel, perProbe, deadline, {});
    std::vector<Report> reports;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const auto [pop3, smtp] = indexes[i];
        reports.push_back({records[i], {targets[pop3], outcomes[pop3]}, {targets[smtp], outcomes[smtp]}});
    }
    return reports;
}

std::string CServerCheck::Describe(const Server& server) {
    const CMailServerProbe::Outcome& outcome = server.outcome;
    std::string line = CMailServerProbe::Describe(server.target) + ": ";
    if (!outcome.finished) return line + "FAILED: no answer within the time limit";
    if (!outcome.answered) return line + "FAILED: " + outcome.problem;
    line += "answered \"" + outcome.greeting.substr(0, 80) + "\"";
    if (IsTls(server.target.kind))
        line += "; certificate valid for the host" +
                (outcome.certificateExpiry.empty() ? std::string() : ", expires " + outcome.certificateExpiry);
    else
        line += "; no TLS";
    line += "; sign-on: " + (outcome.authentication.empty() ? std::string("none named") : Joined(outcome.authentication));
    return line;
}

}  // namespace mailwright
