#pragma once
#include <chrono>
#include <string>
#include <vector>

#include "creation/CMailServerProbe.h"
#include "providers/CProvider.h"
#include "support/CRefCountPtr.h"

namespace mailwright {

// Connects to the POP3 and SMTP servers of records as their settings say, the way the
// guessing probes do, and says per record what answered: how the maker learns which
// records no longer match their providers. A server shared by several records is
// probed once.
class CServerCheck {
public:
    using Clock = std::chrono::steady_clock;

    struct Server {
        CMailServerProbe::Target target;
        CMailServerProbe::Outcome outcome;
    };

    struct Report {
        CRefCountPtr<CProvider> record;
        Server pop3, smtp;

        bool Passed() const { return pop3.outcome.answered && smtp.outcome.answered; }
    };

    // How a record's servers are reached: the secure-connection flag as the mail clients read it.
    static CMailServerProbe::Target Pop3TargetOf(const CProvider& record);
    static CMailServerProbe::Target SmtpTargetOf(const CProvider& record);

    explicit CServerCheck(std::vector<std::string> connectTo = {});

    // At most `parallel` connections at a time, each for at most `perProbe`, all ending by
    // the deadline (a server not reached by then fails).
    std::vector<Report> Check(const std::vector<CRefCountPtr<CProvider>>& records, std::size_t parallel,
                              std::chrono::milliseconds perProbe, Clock::time_point deadline) const;

    // One line about a server: what answered, the certificate, the sign-on methods.
    static std::string Describe(const Server& server);

private:
    std::vector<std::string> m_connectTo;
};

}  // namespace mailwright
