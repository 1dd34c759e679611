#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "providers/CClientConfig.h"
#include "providers/CProvider.h"
#include "support/CRefCountPtr.h"

namespace mailwright {

// Turns a clientConfig file into records of the provider database: the first POP3
// server, the first SMTP server, the log-on name form, every domain and the display
// name. A file that a record cannot express (no POP3, a log-on name other than the
// whole address or the part before "@", no password sign-on, a connection the mail
// clients cannot make) gives no record and the reason instead.
class CClientConfigImporter {
public:
    // How a <username> template forms the log-on name.
    enum class UserNameForm { WholeAddress, LocalPart, Other };

    struct Result {
        // One record; one per domain when the host names are named after the
        // address's domain (%EMAILDOMAIN%), which a record cannot say.
        std::vector<CRefCountPtr<CProvider>> records;
        std::string problem;  // why there is no record; empty when there are records
    };

    static Result Import(const CClientConfig& config);

    // One record for an address on `domain` (a lower-case host name), whether or not the
    // file lists that domain: the record lists only it, and host names named after the
    // address's domain name it. The same file problems as Import give no record.
    static Result ImportFor(const CClientConfig& config, const std::string& domain);

    static UserNameForm FormOf(std::string_view userName);

    // The record's secure-connection flag that makes the mail clients connect to the
    // server as the file describes it, or nothing when no flag does. With the flag
    // set, the clients speak TLS from the first byte on any POP3 port and on SMTP
    // port 465, and STARTTLS on every other SMTP port; POP3 STARTTLS they never speak.
    static std::optional<bool> SecureFlagOf(const CClientConfig::Server& server, bool incoming);

    // The server's host name for an address on the domain.
    static std::string HostFor(const CClientConfig::Server& server, const std::string& domain);
};

}  // namespace mailwright
