#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "UpdateTestSupport.h"
#include "update/VeskHttpClient.h"

using namespace mailwright;
using namespace mailwright::testing;
using namespace std::chrono_literals;

namespace {

class HttpClientTest : public ::testing::Test {
protected:
    void TearDown() override { m_release.Release(); }

    Latch m_release;  // outlives the server, whose handlers wait for it
    TestHttpServer m_server;
    VeskHttpClient m_client;
};

struct ReadLog {
    int calls = 0;
    DWORD bytes = 0;
    bool answer = true;
};

bool LogRead(DWORD bytesRead, void* param) {
    auto* log = static_cast<ReadLog*>(param);
    ++log->calls;
    log->bytes += bytesRead;
    return log->answer;
}

TEST_F(HttpClientTest, KeepsTheResponseAndCountsItsHeadersAsReceived) {
    const std::string body(40000, 'b');  // more than one read block
    m_server.Server().Get("/f", [&](const httplib::Request&, httplib::Response& res) {
        res.set_header("X-Thing", "  value  ");
        res.set_content(body, "text/plain");
    });
    m_server.Start();
    ReadLog log;
    VeskNavigateData data;
    data.readStatusCallback = &LogRead;
    data.readStatusParam = &log;
    ASSERT_TRUE(m_client.Navigate(m_server.Url("/f"), data));
    EXPECT_EQ(m_client.GetStatus(), 200);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(m_client.GetBody()), m_client.GetBodyLength()), body);
    EXPECT_EQ(m_client.GetResponseHeader("x-thing"), "value");
    EXPECT_EQ(m_client.GetResponseHeader("Content-Length"), "40000");
    EXPECT_EQ(m_client.GetResponseHeader("X-Absent"), "");
    EXPECT_GT(m_client.GetResponseLength(), body.size() + std::string("HTTP/1.1 200 OK\r\n").size());
    EXPECT_GE(log.calls, 3) << "the headers, then at least two blocks of the body";
    EXPECT_EQ(log.bytes, m_client.GetResponseLength()) << "every byte was reported by a read";
}

TEST_F(HttpClientTest, ARefusalOfTheReadCallbackFailsTheRequest) {
    m_server.Server().Get("/f", [](const httplib::Request&, httplib::Response& res) { res.set_content("x", "text/plain"); });
    m_server.Start();
    ReadLog log;
    log.answer = false;
    VeskNavigateData data;
    data.readStatusCallback = &LogRead;
    data.readStatusParam = &log;
    EXPECT_FALSE(m_client.Navigate(m_server.Url("/f"), data));
    EXPECT_EQ(log.calls, 1) << "refused at the first read";
}

TEST_F(HttpClientTest, AnAbandonedRequestEndsAtOnceWhileTheServerIsSilent) {
    m_server.Server().Get("/f", [this](const httplib::Request&, httplib::Response&) { m_release.Wait(30s); });
    m_server.Start();
    std::atomic<bool> abandoned{false};
    VeskNavigateData data;
    data.isAbandoned = [&] { return abandoned.load(); };
    std::thread abandon([&] {
        std::this_thread::sleep_for(100ms);
        abandoned = true;
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(m_client.Navigate(m_server.Url("/f"), data));
    abandon.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << "not the 10 s time-out";
}

TEST_F(HttpClientTest, ASilentServerTimesOutAfterThePerOperationTimeOut) {
    m_server.Server().Get("/f", [this](const httplib::Request&, httplib::Response&) { m_release.Wait(30s); });
    m_server.Start();
    VeskNavigateData data;
    data.timeoutMs = 200;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(m_client.Navigate(m_server.Url("/f"), data));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 200ms);
    // Room for a loaded or sanitized run, and still far below the default 10 s.
    EXPECT_LT(waited, 3s) << "the time-out of the request was not used";
    EXPECT_EQ(m_client.GetStatus(), 0);
}

TEST_F(HttpClientTest, AnOversizedBodyFailsInsteadOfFillingMemory) {
    const std::size_t size = VeskHttpClient::kMaxBodySize + 1;
    m_server.Server().Get("/f", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(size, "application/octet-stream",
                                 [](size_t offset, size_t length, httplib::DataSink& sink) {
                                     static const std::string block(65536, 'z');
                                     (void)offset;
                                     return sink.write(block.data(), std::min(length, block.size()));
                                 });
    });
    m_server.Start();
    EXPECT_FALSE(m_client.Navigate(m_server.Url("/f"), VeskNavigateData()));
    EXPECT_LE(m_client.GetBodyLength(), VeskHttpClient::kMaxBodySize);
}

TEST_F(HttpClientTest, ANameThatDoesNotResolveCannotBeSent) {
    // A label longer than 63 characters cannot be put into a DNS query, so the resolver
    // fails without asking any server: the test stays off the network.
    const std::string name = std::string(64, 'a') + ".invalid";
    EXPECT_FALSE(m_client.Navigate("http://" + name + "/f", VeskNavigateData()));
    EXPECT_EQ(m_client.GetStatus(), 0);
}

}  // namespace
