#pragma once
#include <atomic>
#include <string>
#include <thread>

typedef struct ssl_ctx_st SSL_CTX;

namespace mailwright::testing {

// A POP3 or SMTP server on 127.0.0.1 at a free port that answers one connection after
// another from its own thread, as told: the way a real server greets and lists its
// capabilities, or one of the ways a probe must refuse.
class TestMailServer {
public:
    enum class Behaviour {
        Pop3Tls,        // TLS from the first byte, "+OK", CAPA with USER and SASL PLAIN
        SmtpTls,        // TLS from the first byte, "220", EHLO with AUTH PLAIN LOGIN
        SmtpStartTls,   // "220", EHLO with STARTTLS, then TLS and EHLO with AUTH PLAIN
        PlainPop3,      // "+OK" without TLS
        PlainSmtp,      // "220" and EHLO without STARTTLS
        WrongGreeting,  // TLS, then "-ERR" and "554" instead of a greeting
        Silent,         // takes the connection and never says a word
    };

    // The certificate and key serve every TLS behaviour (default: guess.test's).
    explicit TestMailServer(Behaviour behaviour, const std::string& certificateFile = {},
                            const std::string& keyFile = {});
    ~TestMailServer();
    TestMailServer(const TestMailServer&) = delete;
    TestMailServer& operator=(const TestMailServer&) = delete;

    int Port() const { return m_port; }
    // A probe's CONNECT_TO rule that sends HOST:PORT here.
    std::string ConnectTo(const std::string& host, int port) const;
    int Connections() const { return m_connections.load(); }

private:
    void Serve();
    void Answer(int socket);

    Behaviour m_behaviour;
    SSL_CTX* m_context = nullptr;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    std::thread m_thread;
};

}  // namespace mailwright::testing
