#pragma once
#include <chrono>
#include <functional>
#include <stop_token>
#include <string>
#include <vector>

namespace mailwright {

// Connects to mail servers as a mail client would, without signing on: TLS with the
// certificate checked for the host name, then the protocol's greeting and its list of
// capabilities. Many servers are probed at once, over libcurl.
class CMailServerProbe {
public:
    using Clock = std::chrono::steady_clock;

    enum class Kind {
        Pop3Tls,       // POP3, TLS from the first byte
        SmtpTls,       // SMTP, TLS from the first byte
        SmtpStartTls,  // SMTP, STARTTLS advertised after EHLO and taken
        Pop3Plain,     // POP3 without TLS (only to check a record that says so)
        SmtpPlain,     // SMTP without TLS (likewise)
    };

    struct Target {
        std::string host;
        int port = 0;
        Kind kind = Kind::Pop3Tls;
        // Where the host is; empty: libcurl's own resolver is asked.
        std::vector<std::string> addresses;
    };

    struct Outcome {
        bool finished = false;  // false: not tried, or cut by the deadline or a stop
        bool answered = false;  // greeted and listed its capabilities over a valid certificate
        std::string problem;    // why not, when finished and not answered
        std::string greeting;   // the server's first line
        std::vector<std::string> authentication;  // CAPA's SASL and USER, or EHLO's AUTH methods
        std::string certificateExpiry;            // the server certificate's "not after", when it was read
    };

    // Decides, after each finished probe, whether the rest may be cut short.
    using Enough = std::function<bool(const std::vector<Outcome>&)>;

    // `connectTo`: libcurl's CONNECT_TO rules, "HOST:PORT:ADDRESS:PORT", which send a
    // probe of that host and port elsewhere while the certificate is still checked for
    // the host (the seam of the tests).
    explicit CMailServerProbe(std::vector<std::string> connectTo = {});

    // Probes the targets, at most `parallel` at a time and each for at most `perProbe`,
    // until all are done, `enough` says so, the deadline passes or a stop is requested.
    std::vector<Outcome> Run(const std::vector<Target>& targets, std::size_t parallel,
                             std::chrono::milliseconds perProbe, Clock::time_point deadline, std::stop_token stop,
                             const Enough& enough = {}) const;

    // "pop3s://host:995", "smtp://host:587 (STARTTLS)" and the like, for notes.
    static std::string Describe(const Target& target);

private:
    std::vector<std::string> m_connectTo;
};

}  // namespace mailwright
