#pragma once
#include <chrono>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace mailwright {

// The mail exchangers (MX records) of a domain, asked of a DNS server through c-ares:
// the system's resolvers, or one server given as IP[:PORT].
class CMxLookup {
public:
    using Clock = std::chrono::steady_clock;

    struct Exchanger {
        std::string host;  // as the answer names it; empty for the root (a "null MX")
        int preference = 0;
    };

    enum class Status { Found, NotFound, Failed, TimedOut, Cancelled };

    struct Result {
        Status status = Status::Failed;
        std::vector<Exchanger> exchangers;  // with Found: at least one
        std::string problem;                // otherwise: why, in a few words
    };

    // `nameserver` empty: the resolvers of /etc/resolv.conf. Otherwise it must pass ServerOf.
    explicit CMxLookup(std::string nameserver = {});

    // Asks for the MX records of the domain; gives up at the deadline or when stopped.
    Result Lookup(const std::string& domain, Clock::time_point deadline, std::stop_token stop) const;

    // A DNS server given as IP, IP:PORT or [IPv6]:PORT (port 53 when none is given), in
    // the form c-ares takes ("IP:PORT" or "[IPv6]:PORT"); nothing for any other text.
    static std::optional<std::string> ServerOf(std::string_view text);

private:
    std::string m_server;  // ServerOf's form; empty for the system's resolvers
};

}  // namespace mailwright
