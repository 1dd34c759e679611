#include "providers/CClientConfigComparer.h"

#include <algorithm>
#include <utility>

#include "providers/CClientConfigImporter.h"
#include "support/TextUtil.h"

namespace mailwright {
namespace {


const char* Bool(bool value) { return value ? "true" : "false"; }

// Our log-on name in the file's words.
std::string LogOnName(const CProvider& p) {
    if (p.m_askUserName) return "typed by the user";
    return p.m_userNameIsEmail ? "%EMAILADDRESS%" : "%EMAILLOCALPART%";
}

// Collects the differences of one record and one file, for one of the file's domains.
class FieldComparison {
public:
    FieldComparison(const CProvider& p, const std::string& domain, std::vector<ProviderDifference>& out)
        : m_p(p), m_domain(domain), m_out(out) {}

    void Add(const char* field, const std::string& ours, const std::string& theirs) {
        m_out.push_back({m_p.m_name, m_domain, field, ours, theirs});
    }

    // The fields both protocols have: server, port, security and sign-on.
    void CompareServer(const char* protocol, const std::string& host, std::int32_t port, std::int32_t ssl,
                const std::optional<CClientConfig::Server>& theirs, bool incoming) {
        const std::string name(protocol);
        if (!theirs) return Add((name + " server").c_str(), host, "(none)");
        if (!EqualsNoCase(host, CClientConfigImporter::HostFor(*theirs, m_domain)))
            Add((name + " server").c_str(), host, CClientConfigImporter::HostFor(*theirs, m_domain));
        if (port != theirs->port) Add((name + " port").c_str(), std::to_string(port), std::to_string(theirs->port));
        const std::optional<bool> flag = CClientConfigImporter::SecureFlagOf(*theirs, incoming);
        if (!flag || *flag != (ssl != 0)) Add((name + " ssl").c_str(), Bool(ssl != 0), CClientConfig::SocketName(theirs->socket));
        if ((incoming || theirs->WantsSignOn()) && !theirs->AcceptsPassword())
            Add((name + " sign-on").c_str(), "password", theirs->AuthenticationText());
    }

    void Compare(const CClientConfig& theirs) {
        CompareServer("pop3", m_p.m_pop3Server, m_p.m_pop3Port, m_p.m_pop3Ssl, theirs.GetPop3(), true);
        CompareServer("smtp", m_p.m_smtpServer, m_p.m_smtpPort, m_p.m_smtpSsl, theirs.GetSmtp(), false);
        const std::string logOn = LogOnName(m_p);
        if (theirs.GetPop3() && theirs.GetPop3()->userName != logOn) Add("log-on name", logOn, theirs.GetPop3()->userName);
        if (!theirs.GetSmtp()) return;
        const CClientConfig::Server& smtp = *theirs.GetSmtp();
        if ((m_p.m_smtpAuth != 0) != smtp.WantsSignOn()) Add("smtp auth", Bool(m_p.m_smtpAuth != 0), Bool(smtp.WantsSignOn()));
        // The clients sign on to SMTP with the POP3 log-on name: a file that names
        // another one for SMTP differs from every record.
        const bool ownName = !theirs.GetPop3() || smtp.userName != theirs.GetPop3()->userName;
        if (smtp.WantsSignOn() && !smtp.userName.empty() && ownName && smtp.userName != logOn)
            Add("smtp log-on name", logOn, smtp.userName);
    }

private:
    const CProvider& m_p;
    const std::string& m_domain;
    std::vector<ProviderDifference>& m_out;
};

}  // namespace

CClientConfigComparer::Result CClientConfigComparer::Compare(const CClientConfig& theirs) const {
    // Our records that list the file's domains, in the order the file first names them.
    std::vector<std::pair<CRefCountPtr<CProvider>, std::vector<std::string>>> listed;
    std::vector<std::string> missing;
    for (const std::string& domain : theirs.GetDomains()) {
        const CRefCountPtr<CProvider> p = m_ours.FindByDomain(domain);
        if (!p) {
            missing.push_back(domain);
            continue;
        }
        auto it = std::find_if(listed.begin(), listed.end(), [&](const auto& entry) { return entry.first.Get() == p.Get(); });
        if (it == listed.end()) it = listed.insert(listed.end(), {p, {}});
        it->second.push_back(domain);
    }
    Result result;
    if (listed.empty()) return result;
    result.concernsUs = true;

    // The record that holds most of the file's domains is the file's provider with us.
    const auto& main = *std::max_element(listed.begin(), listed.end(), [](const auto& a, const auto& b) {
        return a.second.size() < b.second.size();
    });
    // Servers named after the address's domain take one record per domain.
    const bool perDomain = CClientConfigImporter::Import(theirs).records.size() > 1;
    for (const auto& [p, domains] : listed) {
        if (p.Get() != main.first.Get() && !perDomain)
            for (const std::string& domain : domains)
                result.differences.push_back({p->m_name, domain, "record", p->m_name, main.first->m_name});
        FieldComparison(*p, domains.front(), result.differences).Compare(theirs);
    }
    for (const std::string& domain : missing)
        result.differences.push_back({main.first->m_name, domain, "domain", "(not listed)", "listed"});
    return result;
}

}  // namespace mailwright
