#pragma once
#include <chrono>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "providers/CProvider.h"
#include "support/CRefCountPtr.h"

namespace mailwright {

class CProviderDatabase;

// Where discovery looks, and how long it may take.
struct DiscoverySettings {
    static constexpr std::chrono::milliseconds kTimeLimit{10000};
    // The public ISP database of the open-source mail clients: clientConfig files by domain.
    static constexpr char kIspDatabaseUrl[] = "https://autoconfig.thunderbird.net/v1.1/{domain}";

    // The DNS server asked for MX, SRV and address records, IP[:PORT]; empty: the system's resolvers.
    std::string nameserver;
    // The address of the clientConfig file, "{domain}" standing for the domain; empty:
    // the domain's own two https addresses. Only this setting and the next may name plain http.
    std::string autoconfigUrl;
    std::chrono::milliseconds timeLimit = kTimeLimit;
    // The ISP database's address, "{domain}" standing for the domain; empty: kIspDatabaseUrl.
    std::string ispDatabaseUrl{};
    // Where probes of guessed servers connect instead, "HOST:PORT:ADDRESS:PORT" (the
    // certificate is still checked for HOST); for tests.
    std::vector<std::string> connectTo{};
};

// Finds settings for a mail domain that no record of the database lists, in this order,
// each only when the ones before found nothing:
// - the domain's preferred mail exchangers (MX): when a record lists the registrable
//   domain of one of them (or a longer tail of its name), that record serves the domain;
// - the settings the domain publishes in the clientConfig format, read over https from
//   autoconfig.<domain> and then from the domain's /.well-known/ address;
// - the public ISP database's file for the domain;
// - the same two for the mail exchanger's domain (its name without the first label, then
//   its registrable domain), when no record lists it: a hosting firm's settings;
// - the domain's DNS service records for POP3 over TLS and mail submission;
// - guessing: common server names that answer as mail servers (CServerGuess).
// A file is used when it offers POP3. Only the domain is sent, never the address. The
// whole search ends within the time limit, or soon after a stop request.
class CProviderDiscovery {
public:
    using Clock = std::chrono::steady_clock;

    enum class Source {
        MailServers,
        PublishedSettings,
        IspDatabase,
        MailHostSettings,
        MailHostIspDatabase,
        ServiceRecords,
        Guessed,
    };

    struct Found {
        CRefCountPtr<CProvider> provider;
        Source source = Source::MailServers;
        // The record's provider (MailServers), the mail exchanger's domain (MailHost...),
        // else the domain.
        std::string by;
        // The mail exchanger, the address the file came from, or the servers named.
        std::string where;
    };

    // The database is read, never changed; it must outlive the discovery.
    CProviderDiscovery(const CProviderDatabase& database, DiscoverySettings settings);

    // Settings for an address on `domain` (an internationalised one is asked for by its
    // A-label); nothing when no way finds any. A record found by MX is the database's
    // own; any other is made for the domain alone.
    std::optional<Found> Discover(const std::string& domain, std::stop_token stop = {});

    // What each step asked and found, one line each, in order (for the command line).
    const std::vector<std::string>& GetNotes() const { return m_notes; }

    // Why settings cannot be used (a nameserver that is no IP[:PORT], an address that is
    // neither http nor https); empty when they can.
    static std::string ProblemOf(const DiscoverySettings& settings);

    // The addresses asked for the domain's clientConfig file, in order.
    static std::vector<std::string> AutoconfigUrlsFor(const DiscoverySettings& settings, const std::string& domain);
    // The ISP database's address for the domain.
    static std::string IspDatabaseUrlFor(const DiscoverySettings& settings, const std::string& domain);

    // The sentence of the result dialog that says where the settings came from.
    static std::string DescribeOrigin(const Found& found);

    // How it was found, for the command line: the sentence's core and the evidence.
    static std::string DescribeEvidence(const Found& found);

private:
    enum class Step { Found, NotFound, Stop };
    struct Fetched {
        CRefCountPtr<CProvider> provider;
        std::string url;
    };

    std::optional<Found> FromMailServers(const std::string& domain, Clock::time_point deadline, std::stop_token stop,
                                         Step& step);
    std::optional<Found> FromMailHost(const std::string& domain, Clock::time_point deadline, std::stop_token stop);
    std::optional<Found> FromServiceRecords(const std::string& domain, Clock::time_point deadline,
                                            std::stop_token stop);
    std::optional<Found> FromGuessing(const std::string& domain, Clock::time_point deadline, std::stop_token stop);
    std::optional<Fetched> FetchSettings(const std::vector<std::string>& urls, const std::string& domain,
                                         Clock::time_point deadline, std::stop_token stop);
    std::vector<std::string> MailHostDomains(const std::string& domain);
    CRefCountPtr<CProvider> RecordServing(const std::string& host, std::string& listed) const;
    void Note(std::string line) { m_notes.push_back(std::move(line)); }

    const CProviderDatabase& m_database;
    DiscoverySettings m_settings;
    std::vector<std::string> m_notes;
    std::string m_mailExchanger;  // the preferred one that is a host name; empty when none
};

}  // namespace mailwright
