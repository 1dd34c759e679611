#include "providers/CClientConfigImporter.h"

#include "support/TextUtil.h"

namespace mailwright {
namespace {

constexpr std::string_view kDomainPlaceholder = "%EMAILDOMAIN%";
constexpr std::int32_t kImplicitTlsSmtpPort = 465;

std::string ReplaceAll(std::string text, std::string_view from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// Why the file gives no record, or the empty text when it gives one.
std::string ProblemOf(const CClientConfig& config) {
    using Importer = CClientConfigImporter;
    if (!config.IsUsable()) return config.GetProblem();
    if (!config.GetPop3()) return "no POP3 server";
    if (!config.GetSmtp()) return "no SMTP server";
    const CClientConfig::Server& pop3 = *config.GetPop3();
    const CClientConfig::Server& smtp = *config.GetSmtp();
    if (!pop3.AcceptsPassword()) return "the POP3 server takes no password, only " + pop3.AuthenticationText();
    if (smtp.WantsSignOn() && !smtp.AcceptsPassword()) return "the SMTP server takes no password, only " + smtp.AuthenticationText();
    if (Importer::FormOf(pop3.userName) == Importer::UserNameForm::Other)
        return "POP3 log-on name \"" + pop3.userName + "\" is neither %EMAILADDRESS% nor %EMAILLOCALPART%";
    if (smtp.WantsSignOn() && !smtp.userName.empty() && smtp.userName != pop3.userName)
        return "SMTP log-on name \"" + smtp.userName + "\" differs from the POP3 log-on name \"" + pop3.userName +
               "\", and the mail clients sign on to both with one name";
    for (const auto& [server, incoming] : {std::pair{&pop3, true}, std::pair{&smtp, false}})
        if (!Importer::SecureFlagOf(*server, incoming))
            return std::string(incoming ? "POP3" : "SMTP") + " over " + CClientConfig::SocketName(server->socket) + " on port " +
                   std::to_string(server->port) + ", which the mail clients cannot connect to";
    return {};
}

CRefCountPtr<CProvider> MakeRecord(const CClientConfig& config, const std::vector<std::string>& domains,
                                   const std::string& hostDomain) {
    const CClientConfig::Server& pop3 = *config.GetPop3();
    const CClientConfig::Server& smtp = *config.GetSmtp();
    CRefCountPtr<CProvider> p(new CProvider);
    std::string name = config.GetDisplayName().empty() ? config.GetId() : config.GetDisplayName();
    p->m_name = ReplaceAll(name.empty() ? domains.front() : name, kDomainPlaceholder, hostDomain);
    p->m_domains = domains;
    p->m_pop3Server = CClientConfigImporter::HostFor(pop3, hostDomain);
    p->m_pop3Port = pop3.port;
    p->m_pop3Ssl = *CClientConfigImporter::SecureFlagOf(pop3, true) ? 1 : 0;
    p->m_smtpServer = CClientConfigImporter::HostFor(smtp, hostDomain);
    p->m_smtpPort = smtp.port;
    p->m_smtpSsl = *CClientConfigImporter::SecureFlagOf(smtp, false) ? 1 : 0;
    p->m_smtpAuth = smtp.WantsSignOn() ? 1 : 0;
    p->m_userNameIsEmail =
        CClientConfigImporter::FormOf(pop3.userName) == CClientConfigImporter::UserNameForm::WholeAddress;
    p->m_askUserName = 0;
    return p;
}

}  // namespace

CClientConfigImporter::Result CClientConfigImporter::Import(const CClientConfig& config) {
    Result result;
    result.problem = ProblemOf(config);
    if (!result.problem.empty()) return result;
    const bool perDomain = config.GetPop3()->hostname.find(kDomainPlaceholder) != std::string::npos ||
                           config.GetSmtp()->hostname.find(kDomainPlaceholder) != std::string::npos;
    if (!perDomain) {
        result.records.push_back(MakeRecord(config, config.GetDomains(), config.GetDomains().front()));
        return result;
    }
    for (const std::string& domain : config.GetDomains()) result.records.push_back(MakeRecord(config, {domain}, domain));
    return result;
}

CClientConfigImporter::Result CClientConfigImporter::ImportFor(const CClientConfig& config, const std::string& domain) {
    Result result;
    result.problem = ProblemOf(config);
    if (result.problem.empty()) result.records.push_back(MakeRecord(config, {domain}, domain));
    return result;
}

CClientConfigImporter::UserNameForm CClientConfigImporter::FormOf(std::string_view userName) {
    if (userName == "%EMAILADDRESS%") return UserNameForm::WholeAddress;
    if (userName == "%EMAILLOCALPART%") return UserNameForm::LocalPart;
    return UserNameForm::Other;
}

std::optional<bool> CClientConfigImporter::SecureFlagOf(const CClientConfig::Server& server, bool incoming) {
    switch (server.socket) {
        case CClientConfig::Socket::Plain:
            return false;
        case CClientConfig::Socket::Tls:
            if (incoming || server.port == kImplicitTlsSmtpPort) return true;
            break;
        case CClientConfig::Socket::StartTls:
            if (!incoming && server.port != kImplicitTlsSmtpPort) return true;
            break;
    }
    return std::nullopt;
}

std::string CClientConfigImporter::HostFor(const CClientConfig::Server& server, const std::string& domain) {
    return ReplaceAll(server.hostname, kDomainPlaceholder, domain);
}

}  // namespace mailwright
