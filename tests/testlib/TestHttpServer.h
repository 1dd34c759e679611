#pragma once
#include <httplib.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace mailwright::testing {

// The test-only TLS files of tests/data/tls: a certificate authority and two servers
// signed by it, one for 127.0.0.1 and localhost, one for other-host.test only.
struct TestCertificates {
    static std::string Authority();
    static std::string LocalhostCertificate();
    static std::string LocalhostKey();
    static std::string OtherHostCertificate();
    static std::string OtherHostKey();
    // The mail servers' authority and its certificate for guess.test and *.guess.test.
    static std::string MailAuthority();
    static std::string GuessCertificate();
    static std::string GuessKey();
    // Both authorities in one file.
    static std::string BothAuthorities();
};

// A cpp-httplib server on 127.0.0.1 at a free port, serving from its own thread:
// plain HTTP, or HTTPS with the given certificate and key.
class TestHttpServer {
public:
    TestHttpServer();
    TestHttpServer(const std::string& certificateFile, const std::string& keyFile);
    ~TestHttpServer();

    httplib::Server& Server() { return *m_server; }
    int Port() const { return m_port; }
    // The address of a path, "http://127.0.0.1:PORT/..." or "https://...".
    std::string Url(const std::string& path) const;

    // Requests served so far (every path).
    int Hits() const { return m_hits.load(); }

    // Starts serving; call after the handlers are set.
    void Start();

private:
    void Bind();

    std::unique_ptr<httplib::Server> m_server;
    std::string m_scheme;
    int m_port = 0;
    std::thread m_thread;
    std::atomic<int> m_hits{0};
};

}  // namespace mailwright::testing
