#include "testlib/TestHttpServer.h"

#include <chrono>
#include <stdexcept>

namespace mailwright::testing {

TestHttpServer::TestHttpServer() {
    m_server.set_pre_routing_handler([this](const httplib::Request&, httplib::Response&) {
        ++m_hits;
        return httplib::Server::HandlerResponse::Unhandled;
    });
    m_port = m_server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0) throw std::runtime_error("cannot bind a test server");
}

TestHttpServer::~TestHttpServer() {
    m_server.stop();
    if (m_thread.joinable()) m_thread.join();
}

void TestHttpServer::Start() {
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    while (!m_server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

std::string TestHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

}  // namespace mailwright::testing
