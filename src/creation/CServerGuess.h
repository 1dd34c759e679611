#pragma once
#include <chrono>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "creation/CMailServerProbe.h"
#include "providers/CProvider.h"
#include "support/CRefCountPtr.h"

namespace mailwright {

// Settings found by trying common server names of a domain: POP3 over TLS on 995 at
// pop., pop3., mail. + the domain, the mail exchanger and the bare domain; SMTP at
// smtp., mail., the mail exchanger and the bare domain, first with TLS on 465, then
// with STARTTLS on 587. Only a server that greets as its protocol says over a
// certificate valid for its name counts; the best-ranked one of each protocol wins.
class CServerGuess {
public:
    using Clock = std::chrono::steady_clock;

    struct Found {
        CRefCountPtr<CProvider> provider;  // for the domain alone; the log-on name is the full address
        std::string pop3, smtp;            // the probes that won, as CMailServerProbe::Describe gives them
    };

    // `nameserver`: where the names are looked up, as CMxLookup takes it.
    CServerGuess(std::string nameserver, std::vector<std::string> connectTo);

    // The candidates in the order of their rank; `mailExchanger` may be empty.
    static std::vector<CMailServerProbe::Target> CandidatesFor(const std::string& domain,
                                                               const std::string& mailExchanger);

    // Nothing when no POP3 or no SMTP server answered in time; `notes` gets a line per
    // candidate that was looked at.
    std::optional<Found> Guess(const std::string& domain, const std::string& mailExchanger, Clock::time_point deadline,
                               std::stop_token stop, std::vector<std::string>& notes) const;

private:
    std::vector<CMailServerProbe::Target> WithAddresses(std::vector<CMailServerProbe::Target> candidates,
                                                        Clock::time_point deadline, std::stop_token stop,
                                                        std::vector<std::string>& notes) const;

    std::string m_nameserver;
    std::vector<std::string> m_connectTo;
};

}  // namespace mailwright
