#pragma once
#include <chrono>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace mailwright {

// The mail services that a domain names in DNS service records (RFC 6186, RFC 8314):
// POP3 over TLS, mail submission over TLS and mail submission with STARTTLS.
class CSrvLookup {
public:
    using Clock = std::chrono::steady_clock;

    enum class Service { Pop3s, Submissions, Submission };

    struct Target {
        std::string host;  // lower case, without the root's dot
        int port = 0;
    };

    struct Result {
        Service service = Service::Pop3s;
        std::optional<Target> target;  // the preferred target, when the service is offered
        std::string finding;           // what the answer said, in a few words
    };

    // The record name of a service, "_pop3s._tcp." and the like.
    static const char* PrefixOf(Service service);

    // `nameserver`: as CMxLookup takes it.
    explicit CSrvLookup(std::string nameserver = {});

    // Asks for the three services' records at once; a result per service, in the order
    // of Service. A target of "." (the service is not offered) or a host that is no
    // host name gives no target. Nothing when stopped.
    std::optional<std::vector<Result>> Lookup(const std::string& domain, Clock::time_point deadline,
                                              std::stop_token stop) const;

private:
    std::string m_server;
};

}  // namespace mailwright
