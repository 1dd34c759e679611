#include "testlib/TestHttpServer.h"

#include <chrono>
#include <stdexcept>

namespace mailwright::testing {
namespace {

std::string TlsFile(const char* name) { return std::string(MW_TEST_DATA_DIR) + "/tls/" + name; }

}  // namespace

std::string TestCertificates::Authority() { return TlsFile("ca.pem"); }
std::string TestCertificates::LocalhostCertificate() { return TlsFile("localhost.pem"); }
std::string TestCertificates::LocalhostKey() { return TlsFile("localhost.key"); }
std::string TestCertificates::OtherHostCertificate() { return TlsFile("other-host.pem"); }
std::string TestCertificates::OtherHostKey() { return TlsFile("other-host.key"); }
std::string TestCertificates::MailAuthority() { return TlsFile("mail-ca.pem"); }
std::string TestCertificates::GuessCertificate() { return TlsFile("guess.pem"); }
std::string TestCertificates::GuessKey() { return TlsFile("guess.key"); }
std::string TestCertificates::BothAuthorities() { return TlsFile("both-ca.pem"); }

TestHttpServer::TestHttpServer() : m_server(std::make_unique<httplib::Server>()), m_scheme("http") { Bind(); }

TestHttpServer::TestHttpServer(const std::string& certificateFile, const std::string& keyFile)
    : m_scheme("https") {
    auto server = std::make_unique<httplib::SSLServer>(certificateFile.c_str(), keyFile.c_str());
    if (!server->is_valid()) throw std::runtime_error("cannot load the test certificate " + certificateFile);
    m_server = std::move(server);
    Bind();
}

void TestHttpServer::Bind() {
    m_server->set_pre_routing_handler([this](const httplib::Request&, httplib::Response&) {
        ++m_hits;
        return httplib::Server::HandlerResponse::Unhandled;
    });
    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0) throw std::runtime_error("cannot bind a test server");
}

TestHttpServer::~TestHttpServer() {
    m_server->stop();
    if (m_thread.joinable()) m_thread.join();
}

void TestHttpServer::Start() {
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    while (!m_server->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

std::string TestHttpServer::Url(const std::string& path) const {
    return m_scheme + "://127.0.0.1:" + std::to_string(m_port) + path;
}

}  // namespace mailwright::testing
