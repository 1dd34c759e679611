#include "testlib/TestMailServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <strings.h>

#include "testlib/TestHttpServer.h"

namespace mailwright::testing {
namespace {

using Behaviour = TestMailServer::Behaviour;

// One connection, plain or over TLS once started.
class Session {
public:
    Session(int socket, SSL_CTX* context, const std::atomic<bool>& stop) : m_socket(socket), m_context(context), m_stop(stop) {}
    ~Session() {
        if (m_ssl) {
            SSL_shutdown(m_ssl);
            SSL_free(m_ssl);
        }
    }

    bool StartTls() {
        m_ssl = SSL_new(m_context);
        SSL_set_fd(m_ssl, m_socket);
        return SSL_accept(m_ssl) == 1;
    }

    void Write(const std::string& text) {
        if (m_ssl) SSL_write(m_ssl, text.data(), static_cast<int>(text.size()));
        else if (send(m_socket, text.data(), text.size(), MSG_NOSIGNAL) < 0) m_closed = true;
    }

    // The next line without its line break; false when the client went or the server stops.
    bool ReadLine(std::string& line) {
        line.clear();
        char c = 0;
        while (ReadByte(c)) {
            if (c == '\n') {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                return true;
            }
            line += c;
        }
        return false;
    }

    // Waits without a word until the client goes or the server stops.
    void StaySilent() {
        char c = 0;
        while (ReadByte(c)) {
        }
    }

private:
    bool ReadByte(char& c) {
        while (!m_closed && !m_stop) {
            if (m_ssl && SSL_pending(m_ssl) > 0) return SSL_read(m_ssl, &c, 1) == 1;
            pollfd fd{m_socket, POLLIN, 0};
            if (poll(&fd, 1, 50) <= 0) continue;
            const int n = m_ssl ? SSL_read(m_ssl, &c, 1) : static_cast<int>(recv(m_socket, &c, 1, 0));
            if (n == 1) return true;
            m_closed = true;
        }
        return false;
    }

    int m_socket;
    SSL_CTX* m_context;
    const std::atomic<bool>& m_stop;
    SSL* m_ssl = nullptr;
    bool m_closed = false;
};

bool IsCommand(const std::string& line, const char* command) {
    return strncasecmp(line.c_str(), command, std::char_traits<char>::length(command)) == 0;
}

void ServePop3(Session& session) {
    session.Write("+OK test POP3 server ready\r\n");
    for (std::string line; session.ReadLine(line);) {
        if (IsCommand(line, "CAPA")) session.Write("+OK\r\nUSER\r\nSASL PLAIN LOGIN\r\n.\r\n");
        else if (IsCommand(line, "QUIT")) return session.Write("+OK bye\r\n");
        else session.Write("-ERR unknown\r\n");
    }
}

// `extensions` after the first line of the EHLO answer; STARTTLS switches to TLS and
// then offers `afterTls`.
void ServeSmtp(Session& session, const std::string& extensions, const std::string& afterTls) {
    session.Write("220 test.smtp ESMTP ready\r\n");
    bool tls = false;
    for (std::string line; session.ReadLine(line);) {
        if (IsCommand(line, "EHLO")) session.Write("250-test.smtp\r\n" + (tls ? afterTls : extensions));
        else if (IsCommand(line, "STARTTLS") && !tls) {
            session.Write("220 go ahead\r\n");
            if (!session.StartTls()) return;
            tls = true;
        } else if (IsCommand(line, "QUIT")) return session.Write("221 bye\r\n");
        else session.Write("502 unknown\r\n");
    }
}

}  // namespace

TestMailServer::TestMailServer(Behaviour behaviour, const std::string& certificateFile, const std::string& keyFile)
    : m_behaviour(behaviour) {
    m_context = SSL_CTX_new(TLS_server_method());
    const std::string certificate = certificateFile.empty() ? TestCertificates::GuessCertificate() : certificateFile;
    const std::string key = keyFile.empty() ? TestCertificates::GuessKey() : keyFile;
    if (!m_context || SSL_CTX_use_certificate_chain_file(m_context, certificate.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(m_context, key.c_str(), SSL_FILETYPE_PEM) != 1)
        throw std::runtime_error("cannot load the test certificate " + certificate);
    m_listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listener < 0 || bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(m_listener, 16) != 0 || getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot bind a test mail server");
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

TestMailServer::~TestMailServer() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    close(m_listener);
    SSL_CTX_free(m_context);
}

std::string TestMailServer::ConnectTo(const std::string& host, int port) const {
    return host + ":" + std::to_string(port) + ":127.0.0.1:" + std::to_string(m_port);
}

void TestMailServer::Serve() {
    while (!m_stop) {
        pollfd fd{m_listener, POLLIN, 0};
        if (poll(&fd, 1, 50) <= 0) continue;
        const int connection = accept(m_listener, nullptr, nullptr);
        if (connection < 0) continue;
        ++m_connections;
        // A client that never finishes the TLS handshake cannot hold the server forever.
        const timeval limit{3, 0};
        setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        Answer(connection);
        close(connection);
    }
}

void TestMailServer::Answer(int socket) {
    Session session(socket, m_context, m_stop);
    switch (m_behaviour) {
    case Behaviour::Pop3Tls:
        if (session.StartTls()) ServePop3(session);
        break;
    case Behaviour::SmtpTls:
        if (session.StartTls()) ServeSmtp(session, "250 AUTH PLAIN LOGIN\r\n", "");
        break;
    case Behaviour::SmtpStartTls:
        ServeSmtp(session, "250 STARTTLS\r\n", "250 AUTH PLAIN\r\n");
        break;
    case Behaviour::PlainPop3:
        ServePop3(session);
        break;
    case Behaviour::PlainSmtp:
        ServeSmtp(session, "250 AUTH PLAIN LOGIN\r\n", "");
        break;
    case Behaviour::WrongGreeting:
        if (session.StartTls()) {
            // A POP3 client stops at the first line, an SMTP client at the second.
            session.Write("-ERR not a mail server for you\r\n554 not a mail server for you\r\n");
            session.StaySilent();
        }
        break;
    case Behaviour::Silent:
        session.StaySilent();
        break;
    }
}

}  // namespace mailwright::testing
