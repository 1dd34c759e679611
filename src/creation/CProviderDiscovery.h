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
    static constexpr std::chrono::milliseconds kTimeLimit{5000};

    // The DNS server asked for MX records, IP[:PORT]; empty: the system's resolvers.
    std::string nameserver;
    // The address of the clientConfig file, "{domain}" standing for the domain; empty:
    // the domain's own two https addresses. Only this setting may name plain http.
    std::string autoconfigUrl;
    std::chrono::milliseconds timeLimit = kTimeLimit;
};

// Finds settings for a mail domain that no record of the database lists, in this order:
// - the domain's preferred mail exchangers (MX): when a record lists the registrable
//   domain of one of them (or a longer tail of its name), that record serves the domain;
// - the settings the domain publishes in the clientConfig format, read over https from
//   autoconfig.<domain> and then from the domain's /.well-known/ address, used when they
//   offer POP3. Only the domain is sent, never the address.
// The whole search ends within the time limit, or soon after a stop request.
class CProviderDiscovery {
public:
    using Clock = std::chrono::steady_clock;

    enum class Source { MailServers, PublishedSettings };

    struct Found {
        CRefCountPtr<CProvider> provider;
        Source source = Source::MailServers;
        std::string by;     // the record's provider (MailServers) or the domain (PublishedSettings)
        std::string where;  // the mail exchanger, or the address the file came from
    };

    // The database is read, never changed; it must outlive the discovery.
    CProviderDiscovery(const CProviderDatabase& database, DiscoverySettings settings);

    // Settings for an address on `domain`; nothing when neither way finds any. A record
    // found by MX is the database's own; a published one is made for the domain alone.
    std::optional<Found> Discover(const std::string& domain, std::stop_token stop = {});

    // What each step asked and found, one line each, in order (for the command line).
    const std::vector<std::string>& GetNotes() const { return m_notes; }

    // Why settings cannot be used (a nameserver that is no IP[:PORT], an address that is
    // neither http nor https); empty when they can.
    static std::string ProblemOf(const DiscoverySettings& settings);

    // The addresses asked for the domain's clientConfig file, in order.
    static std::vector<std::string> AutoconfigUrlsFor(const DiscoverySettings& settings, const std::string& domain);

    // The sentence of the result dialog that says where the settings came from.
    static std::string DescribeOrigin(const Found& found);

    // How it was found, for the command line: the sentence's core and the evidence.
    static std::string DescribeEvidence(const Found& found);

private:
    enum class Step { Found, NotFound, Stop };

    std::optional<Found> FromMailServers(const std::string& domain, Clock::time_point deadline, std::stop_token stop,
                                         Step& step);
    std::optional<Found> FromPublishedSettings(const std::string& domain, Clock::time_point deadline,
                                               std::stop_token stop);
    CRefCountPtr<CProvider> RecordServing(const std::string& host, std::string& listed) const;
    void Note(std::string line) { m_notes.push_back(std::move(line)); }

    const CProviderDatabase& m_database;
    DiscoverySettings m_settings;
    std::vector<std::string> m_notes;
};

}  // namespace mailwright
