#include "creation/CProviderDiscovery.h"

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "creation/CMxLookup.h"
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
// Where a domain publishes its clientConfig file, in the order asked.
constexpr std::string_view kPublishedUrls[] = {
    "https://autoconfig.{domain}/mail/config-v1.1.xml",
    "https://{domain}/.well-known/autoconfig/mail/config-v1.1.xml",
};
// The MX step may take this share of the time limit; the clientConfig files get the rest.
constexpr int kMxShareInFifths = 2;
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
    const std::string& url = settings.autoconfigUrl;
    if (!url.empty() && !StartsWithNoCase(url, "https://") && !StartsWithNoCase(url, "http://"))
        return "autoconfig address \"" + Printable(url) + "\" is neither http:// nor https://";
    if (HasControlCharacter(url)) return "autoconfig address \"" + Printable(url) + "\" holds a control character";
    return {};
}

std::vector<std::string> CProviderDiscovery::AutoconfigUrlsFor(const DiscoverySettings& settings, const std::string& domain) {
    std::vector<std::string> urls;
    if (!settings.autoconfigUrl.empty()) urls.push_back(ReplaceAll(settings.autoconfigUrl, kDomainMark, domain));
    else
        for (std::string_view url : kPublishedUrls) urls.push_back(ReplaceAll(std::string(url), kDomainMark, domain));
    return urls;
}

std::string CProviderDiscovery::DescribeOrigin(const Found& found) {
    const bool mx = found.source == Source::MailServers;
    return ReplaceAll(LoadString(mx ? IDS_FOUND_BY_MAIL_SERVERS : IDS_FOUND_PUBLISHED_SETTINGS), "%s", found.by);
}

std::string CProviderDiscovery::DescribeEvidence(const Found& found) {
    if (found.source == Source::MailServers) return "mail servers of " + found.by + " (MX " + found.where + ")";
    return "settings published by " + found.by + " (" + found.where + ")";
}

std::optional<CProviderDiscovery::Found> CProviderDiscovery::Discover(const std::string& domainText,
                                                                        std::stop_token stop) {
    m_notes.clear();
    const std::string domain = ToLowerAscii(Trim(domainText));
    if (!IsHostName(domain)) {
        Note("\"" + Printable(domain) + "\" is not a domain name");
        return std::nullopt;
    }
    if (const std::string problem = ProblemOf(m_settings); !problem.empty()) {
        Note(problem);
        return std::nullopt;
    }
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + m_settings.timeLimit;
    Step step = Step::NotFound;
    if (auto found = FromMailServers(domain, start + m_settings.timeLimit * kMxShareInFifths / 5, stop, step))
        return found;
    if (step == Step::Stop) return std::nullopt;
    return FromPublishedSettings(domain, deadline, stop);
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

std::optional<CProviderDiscovery::Found> CProviderDiscovery::FromPublishedSettings(const std::string& domain,
                                                                                     Clock::time_point deadline,
                                                                                     std::stop_token stop) {
    std::unique_ptr<VeskHttpClient> client;
    try {
        client = std::make_unique<VeskHttpClient>();
    } catch (const std::exception& e) {
        Note(std::string("clientConfig: ") + e.what());
        return std::nullopt;
    }
    const std::vector<std::string> urls = AutoconfigUrlsFor(m_settings, domain);
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
        return Found{result.records.front(), Source::PublishedSettings, domain, url};
    }
    return std::nullopt;
}

}  // namespace mailwright
