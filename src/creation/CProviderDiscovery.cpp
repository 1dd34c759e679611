#include "creation/CProviderDiscovery.h"

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "creation/AsciiDomain.h"
#include "creation/CMxLookup.h"
#include "creation/CServerGuess.h"
#include "creation/CSrvLookup.h"
#include "creation/RegistrableDomain.h"
#include "creation/SubdomainHostDomain.h"
#include "providers/CClientConfig.h"
#include "providers/CClientConfigImporter.h"
#include "providers/CProviderDatabase.h"
#include "providers/ProviderValues.h"
#include "support/StringTable.h"
#include "support/TextUtil.h"
#include "update/VeskHttpClient.h"

namespace mailwright {
namespace {

using Clock = CProviderDiscovery::Clock;
using std::chrono::milliseconds;

constexpr std::string_view kDomainMark = "{domain}";
// The one SMTP port on which the mail clients speak TLS from the first byte.
constexpr int kImplicitTlsSmtpPort = 465;
// Where a domain publishes its clientConfig file, in the order asked.
constexpr std::string_view kPublishedUrls[] = {
    "https://autoconfig.{domain}/mail/config-v1.1.xml",
    "https://{domain}/.well-known/autoconfig/mail/config-v1.1.xml",
};
// The share of the time limit, in thousandths, that each step may take at most; guessing
// gets whatever the steps before it left.
constexpr int kMxShare = 150;
constexpr int kPublishedShare = 200;
constexpr int kIspDatabaseShare = 150;
constexpr int kMailHostShare = 150;
constexpr int kServiceRecordsShare = 100;
// Room for the status line and headers beside the largest file the reader takes.
constexpr std::uint64_t kHeaderAllowance = 64 * 1024;

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// A name from the network as it may be shown on one line.
std::string Printable(std::string_view text) {
    std::string shown;
    for (char c : text.substr(0, 80)) shown += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
    return shown;
}

// The exchangers of the lowest preference, in name order.
std::vector<CMxLookup::Exchanger> Preferred(std::vector<CMxLookup::Exchanger> exchangers) {
    std::sort(exchangers.begin(), exchangers.end(), [](const auto& a, const auto& b) {
        return a.preference != b.preference ? a.preference < b.preference : a.host < b.host;
    });
    const int best = exchangers.front().preference;
    std::erase_if(exchangers, [best](const auto& x) { return x.preference != best; });
    return exchangers;
}

// Stops a read whose response outgrows what the clientConfig reader takes.
struct SizeLimit {
    const VeskHttpClient* client = nullptr;
    bool exceeded = false;
};

bool WithinSizeLimit(DWORD, void* param) {
    auto& limit = *static_cast<SizeLimit*>(param);
    limit.exceeded = limit.client->GetResponseLength() > CClientConfig::kMaxSize + kHeaderAllowance;
    return !limit.exceeded;
}

milliseconds Until(Clock::time_point deadline) {
    return std::max(milliseconds(0), std::chrono::duration_cast<milliseconds>(deadline - Clock::now()));
}

}  // namespace

CProviderDiscovery::CProviderDiscovery(const CProviderDatabase& database, DiscoverySettings settings)
    : m_database(database), m_settings(std::move(settings)) {
    // libcurl's global set-up must not race with a transfer: do it on the owner's thread.
    VeskHttpClient::GlobalInitialize();
}

std::string CProviderDiscovery::ProblemOf(const DiscoverySettings& settings) {
    if (!settings.nameserver.empty() && !CMxLookup::ServerOf(settings.nameserver))
        return "nameserver \"" + Printable(settings.nameserver) + "\" is not IP[:PORT]";
    for (const auto& [name, url] : {std::pair{"autoconfig", &settings.autoconfigUrl},
                                    std::pair{"ISP database", &settings.ispDatabaseUrl}}) {
        if (!url->empty() && !StartsWithNoCase(*url, "https://") && !StartsWithNoCase(*url, "http://"))
            return std::string(name) + " address \"" + Printable(*url) + "\" is neither http:// nor https://";
        if (HasControlCharacter(*url))
            return std::string(name) + " address \"" + Printable(*url) + "\" holds a control character";
    }
    for (const std::string& rule : settings.connectTo)
        if (HasControlCharacter(rule) || std::count(rule.begin(), rule.end(), ':') < 3)
            return "connect-to rule \"" + Printable(rule) + "\" is not HOST:PORT:ADDRESS:PORT";
    return {};
}

std::vector<std::string> CProviderDiscovery::AutoconfigUrlsFor(const DiscoverySettings& settings, const std::string& domain) {
    std::vector<std::string> urls;
    if (!settings.autoconfigUrl.empty()) urls.push_back(ReplaceAll(settings.autoconfigUrl, kDomainMark, domain));
    else
        for (std::string_view url : kPublishedUrls) urls.push_back(ReplaceAll(std::string(url), kDomainMark, domain));
    return urls;
}

std::string CProviderDiscovery::IspDatabaseUrlFor(const DiscoverySettings& settings, const std::string& domain) {
    const std::string& url = settings.ispDatabaseUrl.empty() ? DiscoverySettings::kIspDatabaseUrl : settings.ispDatabaseUrl;
    return ReplaceAll(url, kDomainMark, domain);
}

namespace {

// What the result and the command line say of each source.
struct SourceRow {
    CProviderDiscovery::Source source;
    StringId origin;
    const char* evidence;  // "%s" the finder, then the evidence in brackets
};

constexpr SourceRow kSources[] = {
    {CProviderDiscovery::Source::MailServers, IDS_FOUND_BY_MAIL_SERVERS, "mail servers of %s (MX "},
    {CProviderDiscovery::Source::PublishedSettings, IDS_FOUND_PUBLISHED_SETTINGS, "settings published by %s ("},
    {CProviderDiscovery::Source::IspDatabase, IDS_FOUND_ISP_DATABASE, "the ISP database's settings for %s ("},
    {CProviderDiscovery::Source::MailHostSettings, IDS_FOUND_MAIL_HOST_SETTINGS,
     "settings published by %s, whose servers take the domain's mail ("},
    {CProviderDiscovery::Source::MailHostIspDatabase, IDS_FOUND_MAIL_HOST_ISP_DATABASE,
     "the ISP database's settings for %s, whose servers take the domain's mail ("},
    {CProviderDiscovery::Source::ServiceRecords, IDS_FOUND_SERVICE_RECORDS, "DNS service records of %s ("},
    {CProviderDiscovery::Source::Guessed, IDS_FOUND_BY_GUESSING, "common server names of %s that answered ("},
};

const SourceRow& RowOf(CProviderDiscovery::Source source) {
    for (const SourceRow& row : kSources)
        if (row.source == source) return row;
    return kSources[0];
}

}  // namespace

std::string CProviderDiscovery::DescribeOrigin(const Found& found) {
    return ReplaceAll(LoadString(RowOf(found.source).origin), "%s", found.by);
}

std::string CProviderDiscovery::DescribeEvidence(const Found& found) {
    return ReplaceAll(RowOf(found.source).evidence, "%s", found.by) + found.where + ")";
}

std::optional<CProviderDiscovery::Found> CProviderDiscovery::Discover(const std::string& domainText,
                                                                        std::stop_token stop) {
    m_notes.clear();
    const std::string domain = ToLowerAscii(AsciiDomainOf(Trim(domainText)).value_or(std::string()));
    if (!IsHostName(domain)) {
        Note("\"" + Printable(Trim(domainText)) + "\" is not a domain name");
        return std::nullopt;
    }
    if (const std::string problem = ProblemOf(m_settings); !problem.empty()) {
        Note(problem);
        return std::nullopt;
    }
    const Clock::time_point deadline = Clock::now() + m_settings.timeLimit;
    // A step's own end: its share of the limit from now, never beyond the whole search's.
    const auto until = [&](int share) { return std::min(deadline, Clock::now() + m_settings.timeLimit * share / 1000); };
    const auto stopped = [&] {
        if (stop.stop_requested()) Note("cancelled");
        return stop.stop_requested();
    };
    m_mailExchanger.clear();
    Step step = Step::NotFound;
    if (auto found = FromMailServers(domain, until(kMxShare), stop, step)) return found;
    if (step == Step::Stop) return std::nullopt;
    if (stopped()) return std::nullopt;
    if (auto fetched = FetchSettings(AutoconfigUrlsFor(m_settings, domain), domain, until(kPublishedShare), stop))
        return Found{fetched->provider, Source::PublishedSettings, domain, fetched->url};
    if (stopped()) return std::nullopt;
    if (auto fetched = FetchSettings({IspDatabaseUrlFor(m_settings, domain)}, domain, until(kIspDatabaseShare), stop))
        return Found{fetched->provider, Source::IspDatabase, domain, fetched->url};
    if (stopped()) return std::nullopt;
    if (auto found = FromMailHost(domain, until(kMailHostShare), stop)) return found;
    if (stopped()) return std::nullopt;
    if (auto found = FromServiceRecords(domain, until(kServiceRecordsShare), stop)) return found;
    if (stopped()) return std::nullopt;
    return FromGuessing(domain, deadline, stop);
}

std::optional<CProviderDiscovery::Found> CProviderDiscovery::FromMailServers(const std::string& domain,
                                                                               Clock::time_point deadline,
                                                                               std::stop_token stop, Step& step) {
    step = Step::NotFound;
    const CMxLookup::Result answer = CMxLookup(m_settings.nameserver).Lookup(domain, deadline, stop);
    if (answer.status == CMxLookup::Status::Cancelled) step = Step::Stop;
    if (answer.status != CMxLookup::Status::Found) {
        Note("MX of " + domain + ": " + answer.problem);
        return std::nullopt;
    }
    for (const CMxLookup::Exchanger& exchanger : Preferred(answer.exchangers)) {
        std::string host = ToLowerAscii(exchanger.host);
        if (host.ends_with('.')) host.pop_back();
        if (host.empty()) {
            // A "null MX": the domain says that it takes no mail at all.
            Note("MX of " + domain + ": the domain takes no mail (null MX)");
            step = Step::Stop;
            return std::nullopt;
        }
        if (!IsHostName(host)) {
            Note("MX of " + domain + ": \"" + Printable(host) + "\" is not a host name");
            continue;
        }
        if (m_mailExchanger.empty()) m_mailExchanger = host;
        std::string listed;
        if (const CRefCountPtr<CProvider> provider = RecordServing(host, listed)) {
            Note("MX of " + domain + ": " + host + ", whose domain " + listed + " the record \"" + provider->m_name +
                 "\" lists");
            return Found{provider, Source::MailServers, provider->m_name.empty() ? listed : provider->m_name, host};
        }
        Note("MX of " + domain + ": " + host + ", whose domain no record lists");
    }
    return std::nullopt;
}

// The record that lists the mail exchanger's name or a tail of it down to its registrable
// domain; the longest listed tail wins (mail.protection.outlook.com before outlook.com).
CRefCountPtr<CProvider> CProviderDiscovery::RecordServing(const std::string& host, std::string& listed) const {
    const std::optional<std::string> registrable = RegistrableDomainOf(host);
    if (!registrable) return {};
    for (std::string_view tail = host;; tail.remove_prefix(tail.find('.') + 1)) {
        CRefCountPtr<CProvider> provider = m_database.FindByDomain(std::string(tail));
        // The subdomain host's servers carry each customer's own name, which an MX does not give.
        if (provider && !provider->MatchesDomain(SubdomainHostDomain)) {
            listed = tail;
            return provider;
        }
        if (tail.size() <= registrable->size()) return {};
    }
}

// The first of the addresses that gives a usable record for an address on `domain`.
std::optional<CProviderDiscovery::Fetched> CProviderDiscovery::FetchSettings(const std::vector<std::string>& urls,
                                                                             const std::string& domain,
                                                                             Clock::time_point deadline,
                                                                             std::stop_token stop) {
    std::unique_ptr<VeskHttpClient> client;
    try {
        client = std::make_unique<VeskHttpClient>();
    } catch (const std::exception& e) {
        Note(std::string("clientConfig: ") + e.what());
        return std::nullopt;
    }
    for (std::size_t i = 0; i < urls.size(); ++i) {
        const std::string& url = urls[i];
        if (stop.stop_requested()) {
            Note(url + ": cancelled");
            return std::nullopt;
        }
        // Each address may take an equal share of the time left; the last one all of it.
        const Clock::time_point until = Clock::now() + Until(deadline) / static_cast<int>(urls.size() - i);
        SizeLimit limit{client.get()};
        VeskNavigateData request;
        // The deadline ends the request through isAbandoned; the client's own time-out only backs it up.
        request.timeoutMs = static_cast<DWORD>(Until(until).count() + 1000);
        request.readStatusCallback = WithinSizeLimit;
        request.readStatusParam = &limit;
        request.isAbandoned = [&] { return stop.stop_requested() || Clock::now() >= until; };
        const bool accepted = client->Navigate(url, request);
        if (!accepted && client->GetStatus() == 0) {
            Note(url + ": " + (stop.stop_requested()       ? "cancelled"
                               : limit.exceeded            ? "the answer is too large"
                               : Clock::now() >= until     ? "no answer within the time limit"
                                                           : "no answer"));
            continue;
        }
        if (const int status = client->GetStatus(); status != 200) {
            // A redirect from https to plain http is one that cannot be followed.
            const bool redirect = status >= 301 && status <= 303;
            Note(url + ": status " + std::to_string(status) + (redirect ? ", a redirect that could not be followed" : ""));
            continue;
        }
        const std::string_view body(reinterpret_cast<const char*>(client->GetBody()), client->GetBodyLength());
        const CClientConfigImporter::Result result = CClientConfigImporter::ImportFor(CClientConfig::Parse(body), domain);
        // A discovered record passes the rule of a downloaded database.
        std::string problem = result.problem;
        if (problem.empty())
            if (const auto impossible = FindImpossibleValue(*result.records.front())) problem = impossible->Describe();
        if (!problem.empty()) {
            Note(url + ": " + problem);
            continue;
        }
        Note(url + ": settings for POP3 and SMTP");
        return Fetched{result.records.front(), url};
    }
    return std::nullopt;
}

// The mail exchanger's name without its first label, then its registrable domain: the
// domains under which a hosting firm may publish settings for its customers. Neither
// the domain itself nor a domain of the database's records.
std::vector<std::string> CProviderDiscovery::MailHostDomains(const std::string& domain) {
    std::vector<std::string> domains;
    const std::optional<std::string> registrable = RegistrableDomainOf(m_mailExchanger);
    if (!registrable) return domains;
    const std::string parent = m_mailExchanger.substr(m_mailExchanger.find('.') + 1);
    for (const std::string& candidate : {parent, *registrable}) {
        if (candidate.size() < registrable->size() || candidate == domain) continue;
        if (std::find(domains.begin(), domains.end(), candidate) != domains.end()) continue;
        if (m_database.FindByDomain(candidate)) {
            Note("mail host " + candidate + ": a domain of the database's records");
            continue;
        }
        domains.push_back(candidate);
    }
    return domains;
}

std::optional<CProviderDiscovery::Found> CProviderDiscovery::FromMailHost(const std::string& domain,
                                                                            Clock::time_point deadline,
                                                                            std::stop_token stop) {
    const std::vector<std::string> hostDomains = MailHostDomains(domain);
    for (std::size_t i = 0; i < hostDomains.size() && !stop.stop_requested(); ++i) {
        const std::string& host = hostDomains[i];
        // Each mail host domain may take an equal share of the time left; the last one all of it.
        const Clock::time_point until = Clock::now() + Until(deadline) / static_cast<int>(hostDomains.size() - i);
        if (auto fetched = FetchSettings(AutoconfigUrlsFor(m_settings, host), domain, until, stop))
            return Found{fetched->provider, Source::MailHostSettings, host, fetched->url};
        if (auto fetched = FetchSettings({IspDatabaseUrlFor(m_settings, host)}, domain, until, stop))
            return Found{fetched->provider, Source::MailHostIspDatabase, host, fetched->url};
    }
    return std::nullopt;
}

namespace {

// The SMTP server of the service records: submission with TLS from the first byte where
// the clients can make it (port 465), else submission with STARTTLS (any other port).
std::optional<CSrvLookup::Target> SubmissionTarget(const std::vector<CSrvLookup::Result>& results,
                                                   std::vector<std::string>& notes) {
    for (const CSrvLookup::Result& result : results) {
        if (result.service == CSrvLookup::Service::Pop3s || !result.target) continue;
        const bool implicitTls = result.service == CSrvLookup::Service::Submissions;
        if (implicitTls == (result.target->port == kImplicitTlsSmtpPort)) return result.target;
        notes.push_back(std::string("SRV ") + CSrvLookup::PrefixOf(result.service) + ": port " +
                        std::to_string(result.target->port) + ", where the mail clients cannot connect that way");
    }
    return std::nullopt;
}

}  // namespace

std::optional<CProviderDiscovery::Found> CProviderDiscovery::FromServiceRecords(const std::string& domain,
                                                                                  Clock::time_point deadline,
                                                                                  std::stop_token stop) {
    const auto results = CSrvLookup(m_settings.nameserver).Lookup(domain, deadline, stop);
    if (!results) return std::nullopt;
    for (const CSrvLookup::Result& result : *results)
        Note(std::string("SRV ") + CSrvLookup::PrefixOf(result.service) + domain + ": " + Printable(result.finding));
    const std::optional<CSrvLookup::Target> pop3 = results->front().target;
    const std::optional<CSrvLookup::Target> smtp = SubmissionTarget(*results, m_notes);
    if (!pop3 || !smtp) return std::nullopt;
    CRefCountPtr<CProvider> p(new CProvider);
    p->m_name = domain;
    p->m_domains = {domain};
    p->m_pop3Server = pop3->host;
    p->m_pop3Port = pop3->port;
    p->m_pop3Ssl = 1;
    p->m_smtpServer = smtp->host;
    p->m_smtpPort = smtp->port;
    p->m_smtpSsl = 1;
    p->m_smtpAuth = 1;
    p->m_userNameIsEmail = true;  // the records name servers, not log-on names: the full address
    p->m_askUserName = 0;
    if (const auto impossible = FindImpossibleValue(*p)) {
        Note("SRV: the record would hold " + impossible->Describe());
        return std::nullopt;
    }
    return Found{p, Source::ServiceRecords, domain,
                 "POP3 " + pop3->host + ":" + std::to_string(pop3->port) + ", SMTP " + smtp->host + ":" +
                     std::to_string(smtp->port)};
}

std::optional<CProviderDiscovery::Found> CProviderDiscovery::FromGuessing(const std::string& domain,
                                                                            Clock::time_point deadline,
                                                                            std::stop_token stop) {
    const CServerGuess guess(m_settings.nameserver, m_settings.connectTo);
    const std::optional<CServerGuess::Found> found = guess.Guess(domain, m_mailExchanger, deadline, stop, m_notes);
    if (!found) return std::nullopt;
    if (const auto impossible = FindImpossibleValue(*found->provider)) {
        Note("guess: the record would hold " + impossible->Describe());
        return std::nullopt;
    }
    return Found{found->provider, Source::Guessed, domain, "POP3 " + found->pop3 + ", SMTP " + found->smtp};
}

}  // namespace mailwright
