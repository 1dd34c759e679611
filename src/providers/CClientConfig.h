#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mailwright {

// A provider's settings in the "clientConfig" XML format (version 1.1), as the public
// ISP database and a domain's own autoconfig file publish them: what a POP3/SMTP
// account needs of it. The file is read from memory and checked value by value; a
// file with an impossible value is unusable as a whole, and says why.
class CClientConfig {
public:
    // <socketType>: "plain", "STARTTLS" (upgraded after connecting) or "SSL" (TLS from
    // the first byte).
    enum class Socket { Plain, StartTls, Tls };
    // The name the format gives the socket type.
    static const char* SocketName(Socket socket);

    struct Server {
        std::string hostname;  // lower case; may hold %EMAILDOMAIN%
        std::int32_t port = 0;  // 1 to 65535
        Socket socket = Socket::Plain;
        std::string userName;  // the <username> template as written, trimmed
        std::vector<std::string> authentication;  // the <authentication> values, in order

        // True when some listed method signs on with the password (none listed means
        // the password, as the format's default).
        bool AcceptsPassword() const;
        // False when the listed methods say that no sign-on is wanted at all.
        bool WantsSignOn() const;
        // The listed methods, separated by commas.
        std::string AuthenticationText() const;
    };

    // Larger input is refused unread: no real file comes near it.
    static constexpr std::size_t kMaxSize = 1024 * 1024;

    // Reads a whole file. Never throws for bad input: an unusable file comes back
    // with GetProblem() set and nothing else filled in.
    static CClientConfig Parse(std::string_view bytes);

    bool IsUsable() const { return m_problem.empty(); }
    // Why the file is unusable, in one line; empty for a usable file.
    const std::string& GetProblem() const { return m_problem; }

    // The emailProvider's id attribute and display name, as written.
    const std::string& GetId() const { return m_id; }
    const std::string& GetDisplayName() const { return m_displayName; }
    // The mail domains, lower case, in file order, each once.
    const std::vector<std::string>& GetDomains() const { return m_domains; }
    // The first POP3 server and the first SMTP server, when the file has one.
    const std::optional<Server>& GetPop3() const { return m_pop3; }
    const std::optional<Server>& GetSmtp() const { return m_smtp; }

private:
    std::string m_problem;
    std::string m_id;
    std::string m_displayName;
    std::vector<std::string> m_domains;
    std::optional<Server> m_pop3;
    std::optional<Server> m_smtp;
};

}  // namespace mailwright
