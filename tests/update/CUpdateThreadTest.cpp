#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "BuildConfig.h"
#include "UpdateTestSupport.h"
#include "support/WindowsSession.h"
#include "testlib/ScopedEnv.h"
#include "testlib/ScopedUnprivilegedFiles.h"
#include "testlib/TempFolder.h"
#include "update/CUpdateThread.h"
#include "update/UpdateResult.h"

using namespace mailwright;
using namespace mailwright::testing;
using namespace std::chrono_literals;

namespace {

const std::string kOldDatabase = "the database in use";
const std::string kDatabase = BuildDatabase({"example.com", "example.net"});

// A port on 127.0.0.1 where nothing listens.
int ClosedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

ino_t InodeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

class UpdateTest : public ::testing::Test {
protected:
    void SetUp() override { m_session.Data().WriteFile("Mailwright/providers.lst", kOldDatabase); }
    void TearDown() override { m_release.Release(); }

    std::string DatabasePath() const { return m_session.AppFolderUnix() + "/providers.lst"; }
    std::string DatabaseContent() const { return m_session.Data().ReadFile("Mailwright/providers.lst"); }

    // Starts an update of the address as the main dialog does.
    std::unique_ptr<CUpdateThread> StartUpdate(const std::string& url, DWORD timeoutMs = 10000) {
        auto update = std::make_unique<CUpdateThread>(url, timeoutMs);
        update->SetWiring(&m_poster, kUpdateWnd, &m_poster, nullptr);
        EXPECT_TRUE(update->Start(100));
        update->Resume();
        return update;
    }

    // Runs one update of the address to its first result and returns that code.
    int RunUpdateOf(const std::string& url, DWORD timeoutMs = 10000) {
        auto update = StartUpdate(url, timeoutMs);
        EXPECT_TRUE(m_poster.WaitForResults(1));
        EXPECT_TRUE(update->Stop(15000));
        const std::vector<int> results = m_poster.Results();
        return results.empty() ? 0 : results.front();
    }

    // The same for a path of the test server, which it starts.
    int RunUpdate(const std::string& path, DWORD timeoutMs = 10000) {
        m_server.Start();
        return RunUpdateOf(m_server.Url(path), timeoutMs);
    }

    ScopedPrefixlessSession m_session;
    RecordingPoster m_poster;
    Latch m_release;  // holds back the responses of stalling handlers; outlives the server
    TestHttpServer m_server;
};

struct StatusCase {
    const char* name;
    std::function<void(httplib::Server&, const TestHttpServer&)> serve;  // serves /db
    int expected;
};

void Serve(httplib::Server& server, const std::string& path, int status, const std::string& body = {},
           const std::string& location = {}) {
    server.Get(path, [=](const httplib::Request&, httplib::Response& res) {
        res.status = status;
        if (!location.empty()) res.set_header("Location", location);
        if (!body.empty()) res.set_content(body, "application/octet-stream");
    });
}

// A complete database whose one provider sends the password to a server name no
// host can have.
std::string HostileDatabase() {
    CRefCountPtr<CProvider> provider = MakeProvider();
    provider->m_pop3Server = "pop.example.com\r\nX-Injected: 1";
    return DatabaseBytes({provider});
}

const StatusCase kStatusCases[] = {
    {"Ok200", [](auto& s, auto&) { Serve(s, "/db", 200, kDatabase); }, UPDATE_RESULT_DONE},
    {"NoContent204", [](auto& s, auto&) { Serve(s, "/db", 204); }, UPDATE_RESULT_CONNECTION_ERROR},
    {"Created201", [](auto& s, auto&) { Serve(s, "/db", 201, kDatabase); }, UPDATE_RESULT_CONNECTION_ERROR},
    {"NotModified304", [](auto& s, auto&) { Serve(s, "/db", 304); }, UPDATE_RESULT_CONNECTION_ERROR},
    {"UseProxy305", [](auto& s, auto&) { Serve(s, "/db", 305, kDatabase); }, UPDATE_RESULT_CONNECTION_ERROR},
    {"NotFound404", [](auto& s, auto&) { Serve(s, "/db", 404, "no such file"); }, UPDATE_RESULT_FAILED},
    {"Unauthorized401", [](auto& s, auto&) { Serve(s, "/db", 401, kDatabase); }, UPDATE_RESULT_FAILED},
    {"ProxyAuth407", [](auto& s, auto&) { Serve(s, "/db", 407, kDatabase); }, UPDATE_RESULT_FAILED},
    {"ServerError500", [](auto& s, auto&) { Serve(s, "/db", 500, kDatabase); }, UPDATE_RESULT_FAILED},
    {"Redirect302To200",
     [](auto& s, auto&) {
         Serve(s, "/db", 302, {}, "/real/db");  // relative, resolved against the request
         Serve(s, "/real/db", 200, kDatabase);
     },
     UPDATE_RESULT_DONE},
    {"Redirect301Then303To200",
     [](auto& s, auto& server) {
         Serve(s, "/db", 301, {}, server.Url("/moved"));
         Serve(s, "/moved", 303, {}, server.Url("/real/db"));
         Serve(s, "/real/db", 200, kDatabase);
     },
     UPDATE_RESULT_DONE},
    {"Redirect302To404",
     [](auto& s, auto&) {
         Serve(s, "/db", 302, {}, "/gone");
         Serve(s, "/gone", 404, "no such file");
     },
     UPDATE_RESULT_CONNECTION_ERROR},
    {"Redirect301WithoutLocation", [](auto& s, auto&) { Serve(s, "/db", 301, kDatabase); },
     UPDATE_RESULT_CONNECTION_ERROR},
    {"Redirect302ToClosedPort",
     [](auto& s, auto&) { Serve(s, "/db", 302, {}, "http://127.0.0.1:" + std::to_string(ClosedPort()) + "/db"); },
     UPDATE_RESULT_FAILED},
    {"RedirectLoop", [](auto& s, auto&) { Serve(s, "/db", 302, {}, "/db"); }, UPDATE_RESULT_CONNECTION_ERROR},
    {"Temporary307", [](auto& s, auto&) { Serve(s, "/db", 307, {}, "/real/db"); }, UPDATE_RESULT_FAILED},
    {"RedirectToFile", [](auto& s, auto&) { Serve(s, "/db", 302, {}, "file:///etc/passwd"); },
     UPDATE_RESULT_FAILED},
    {"BodyNotADatabase", [](auto& s, auto&) { Serve(s, "/db", 200, "<html>Moved to our new site</html>"); },
     UPDATE_RESULT_FAILED},
    {"EmptyBody", [](auto& s, auto&) { Serve(s, "/db", 200); }, UPDATE_RESULT_FAILED},
    {"TruncatedDatabase", [](auto& s, auto&) { Serve(s, "/db", 200, kDatabase.substr(0, kDatabase.size() - 3)); },
     UPDATE_RESULT_FAILED},
    {"HostileServerName", [](auto& s, auto&) { Serve(s, "/db", 200, HostileDatabase()); }, UPDATE_RESULT_FAILED},
};

class UpdateStatusTest : public UpdateTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(UpdateStatusTest, PostsTheCodeAndReplacesOnlyWithADatabase) {
    GetParam().serve(m_server.Server(), m_server);
    EXPECT_EQ(RunUpdate("/db"), GetParam().expected);
    const bool replaced = GetParam().expected == UPDATE_RESULT_DONE;
    EXPECT_EQ(DatabaseContent(), replaced ? kDatabase : kOldDatabase);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_session.AppFolderUnix()),
                            std::filesystem::directory_iterator()),
              1)
        << "no temporary file is left behind";
}

INSTANTIATE_TEST_SUITE_P(Statuses, UpdateStatusTest, ::testing::ValuesIn(kStatusCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateTest, SuccessIsReportedAsDoneThenFailedAndWritesTheFileOnce) {
    Serve(m_server.Server(), "/db", 200, kDatabase);
    m_server.Start();
    auto update = StartUpdate(m_server.Url("/db"));
    ASSERT_TRUE(m_poster.WaitForResults(1));
    const ino_t written = InodeOf(DatabasePath());
    ASSERT_TRUE(m_poster.WaitForResults(2));
    EXPECT_TRUE(update->Stop(1000)) << "the second run ends the worker";

    EXPECT_EQ(m_poster.Results(), (std::vector<int>{UPDATE_RESULT_DONE, UPDATE_RESULT_FAILED}));
    EXPECT_EQ(m_server.Hits(), 2);
    EXPECT_EQ(InodeOf(DatabasePath()), written) << "the second run does not write";
    EXPECT_EQ(DatabaseContent(), kDatabase);
    for (const PostedMessage& m : m_poster.Messages()) {
        EXPECT_EQ(m.window, m.message == WM_UPDATE_RESULT ? kMainWnd : kUpdateWnd);
        EXPECT_EQ(m.lParam, 0);
        if (m.message == WM_UPDATE_PROGRESS) {
            EXPECT_EQ(m.wParam, WPARAM{UPDATE_RESULT_DONE});
        }
    }
    // The received count includes the status line and headers, so the download ends above 100.
    ASSERT_FALSE(m_poster.Percentages().empty());
    EXPECT_GT(m_poster.Percentages().back(), 100);
}

TEST_F(UpdateTest, WithoutContentLengthEveryPercentageIsZero) {
    m_server.Server().Get("/db", [](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("application/octet-stream", [](size_t, httplib::DataSink& sink) {
            sink.write(kDatabase.data(), 10);
            sink.write(kDatabase.data() + 10, kDatabase.size() - 10);
            sink.done();
            return true;
        });
    });
    EXPECT_EQ(RunUpdate("/db"), UPDATE_RESULT_DONE);
    EXPECT_EQ(DatabaseContent(), kDatabase);
    ASSERT_FALSE(m_poster.Percentages().empty());
    for (std::int32_t percent : m_poster.Percentages()) EXPECT_EQ(percent, 0);
}

TEST_F(UpdateTest, AFileThatCannotBeWrittenGivesWriteErrorAndKeepsWhatIsThere) {
    std::filesystem::remove(DatabasePath());
    std::filesystem::create_directory(DatabasePath());  // even root cannot replace a folder by a file
    Serve(m_server.Server(), "/db", 200, kDatabase);
    EXPECT_EQ(RunUpdate("/db"), UPDATE_RESULT_WRITE_ERROR);
    EXPECT_TRUE(std::filesystem::is_directory(DatabasePath()));
}

TEST_F(UpdateTest, AReadOnlyApplicationFolderGivesWriteError) {
    ::chmod(m_session.AppFolderUnix().c_str(), 0500);
    ScopedUnprivilegedFiles::GiveAway(m_session.Data().Path());
    Serve(m_server.Server(), "/db", 200, kDatabase);
    {
        ScopedUnprivilegedFiles unprivileged;  // and so the worker that the update starts
        ASSERT_EQ(DatabaseContent(), kOldDatabase) << "the test folder is out of the user's reach";
        EXPECT_EQ(RunUpdate("/db"), UPDATE_RESULT_WRITE_ERROR);
    }
    EXPECT_EQ(DatabaseContent(), kOldDatabase);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_session.AppFolderUnix()),
                            std::filesystem::directory_iterator()),
              1)
        << "no temporary file is left behind";
}

TEST_F(UpdateTest, WithoutAnApplicationFolderTheFileGoesToTheCurrentFolder) {
    m_session.Data().WriteFile("not-a-folder", "x");
    ::setenv("XDG_DATA_HOME", m_session.Data().Sub("not-a-folder").c_str(), 1);  // restored by the session
    TempFolder current;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(current.Path());
    Serve(m_server.Server(), "/db", 200, kDatabase);
    const int result = RunUpdate("/db");
    std::filesystem::current_path(previous);
    EXPECT_EQ(result, UPDATE_RESULT_DONE);
    EXPECT_EQ(current.ReadFile("providers.lst"), kDatabase);
}

// The session without a prefix, noting every thread that asks it something.
class ThreadNotingSession : public WindowsSession {
public:
    std::optional<std::string> DriveRoot(char letter) const override {
        Note();
        return WindowsSession::DriveRoot(letter);
    }
    std::string GetAppDataFolder() const override {
        Note();
        return WindowsSession::GetAppDataFolder();
    }
    std::shared_ptr<RegistryStore> Registry() const override {
        Note();
        return WindowsSession::Registry();
    }
    bool GetVersionEx(OsVersionInfo& info) const override {
        Note();
        return WindowsSession::GetVersionEx(info);
    }
    std::optional<std::string> EnvironmentVariable(const std::string& name) const override {
        Note();
        return WindowsSession::EnvironmentVariable(name);
    }
    std::set<std::thread::id> Threads() const {
        std::lock_guard lock(m_mutex);
        return m_threads;
    }

private:
    void Note() const {
        std::lock_guard lock(m_mutex);
        m_threads.insert(std::this_thread::get_id());
    }
    mutable std::mutex m_mutex;
    mutable std::set<std::thread::id> m_threads;
};

// The prefix's registry and drives belong to the user-interface thread: the database's
// place is found before the worker starts.
TEST_F(UpdateTest, TheWorkerAsksTheSessionNothing) {
    auto session = std::make_shared<ThreadNotingSession>();
    auto previous = WindowsSession::SetCurrent(session);
    Serve(m_server.Server(), "/db", 200, kDatabase);
    const int result = RunUpdate("/db");
    WindowsSession::SetCurrent(previous);
    EXPECT_EQ(result, UPDATE_RESULT_DONE);
    EXPECT_EQ(DatabaseContent(), kDatabase);
    EXPECT_EQ(session->Threads(), std::set<std::thread::id>{std::this_thread::get_id()}) << "the worker asked the session";
}

// Headers, then part of the body, then silence until the test lets go.
void ServeStalling(httplib::Server& server, Latch& release) {
    server.Get("/db", [&release](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(kDatabase.size(), "application/octet-stream",
                                 [&release](size_t offset, size_t, httplib::DataSink& sink) {
                                     if (offset == 0) return sink.write(kDatabase.data(), 10);
                                     release.Wait(30s);
                                     return sink.write(kDatabase.data() + offset, kDatabase.size() - offset);
                                 });
    });
}

// Both silent servers are given up after the worker's time-out of 300 ms, not the default
// 10 s; the bound leaves room for a loaded or sanitized run.
constexpr auto kGivenUpWithin = 3s;

TEST_F(UpdateTest, AServerThatFallsSilentTimesOut) {
    ServeStalling(m_server.Server(), m_release);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunUpdate("/db", 300), UPDATE_RESULT_FAILED);
    EXPECT_LT(std::chrono::steady_clock::now() - start, kGivenUpWithin) << "the worker's time-out was not used";
    EXPECT_EQ(DatabaseContent(), kOldDatabase);
}

TEST_F(UpdateTest, AServerThatNeverAnswersTimesOut) {
    m_server.Server().Get("/db", [this](const httplib::Request&, httplib::Response& res) {
        m_release.Wait(30s);
        res.set_content(kDatabase, "application/octet-stream");
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunUpdate("/db", 300), UPDATE_RESULT_FAILED);
    EXPECT_LT(std::chrono::steady_clock::now() - start, kGivenUpWithin) << "the worker's time-out was not used";
}

// The guarantee that stands in for killing the thread: once Stop has returned, even
// unsuccessfully, the worker posts nothing, writes nothing and survives its object.
TEST_F(UpdateTest, AfterStopMissesItsTimeOutTheWorkerLeavesNoTrace) {
    std::atomic<bool> clientGone{false};
    m_server.Server().Get("/db", [&](const httplib::Request&, httplib::Response& res) {
        // A body that trickles out once released: only an aborted transfer ends it early.
        res.set_content_provider(1000000, "application/octet-stream",
                                 [&](size_t offset, size_t, httplib::DataSink& sink) {
                                     if (offset == 0) return sink.write(kDatabase.data(), 10);
                                     m_release.Wait(30s);
                                     for (size_t sent = 0; sent < 1000; ++sent) {
                                         if (!sink.write("x", 1)) break;
                                         std::this_thread::sleep_for(10ms);
                                     }
                                     clientGone = true;
                                     return false;
                                 });
    });
    m_server.Start();
    auto update = StartUpdate(m_server.Url("/db"));
    ASSERT_TRUE(m_poster.WaitForProgress());

    const auto stopped = std::chrono::steady_clock::now();
    EXPECT_FALSE(update->Stop(100));
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 2s);
    update.reset();
    const std::size_t messages = m_poster.Messages().size();
    m_release.Release();

    for (int i = 0; i < 500 && !clientGone; ++i) std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(clientGone) << "the transfer was not aborted";
    std::this_thread::sleep_for(100ms);  // room for a stray post to show
    EXPECT_EQ(m_poster.Messages().size(), messages);
    EXPECT_EQ(DatabaseContent(), kOldDatabase);
}

// Trusts the test certificate authority the way OpenSSL programs are told to.
struct ScopedTrustedAuthority : ScopedEnv {
    ScopedTrustedAuthority() : ScopedEnv("SSL_CERT_FILE", TestCertificates::Authority().c_str()) {}
};

struct CertificateCase {
    const char* name;
    bool trustTestAuthority;  // else only the system's CA store
    bool otherHostsCertificate;
    int expected;
};

const CertificateCase kCertificateCases[] = {
    {"TrustedCertificateOfTheHost", true, false, UPDATE_RESULT_DONE},
    {"CertificateOfAnotherHost", true, true, UPDATE_RESULT_FAILED},
    {"AuthorityTheSystemDoesNotTrust", false, false, UPDATE_RESULT_FAILED},
};

class UpdateCertificateTest : public UpdateTest, public ::testing::WithParamInterface<CertificateCase> {};

TEST_P(UpdateCertificateTest, ReplacesTheDatabaseOnlyFromAVerifiedHost) {
    const CertificateCase& c = GetParam();
    std::optional<ScopedTrustedAuthority> trust;
    if (c.trustTestAuthority) trust.emplace();
    TestHttpServer tls(c.otherHostsCertificate ? TestCertificates::OtherHostCertificate()
                                               : TestCertificates::LocalhostCertificate(),
                       c.otherHostsCertificate ? TestCertificates::OtherHostKey() : TestCertificates::LocalhostKey());
    Serve(tls.Server(), "/db", 200, kDatabase);
    tls.Start();
    EXPECT_EQ(RunUpdateOf(tls.Url("/db")), c.expected);
    EXPECT_EQ(DatabaseContent(), c.expected == UPDATE_RESULT_DONE ? kDatabase : kOldDatabase);
}

INSTANTIATE_TEST_SUITE_P(Https, UpdateCertificateTest, ::testing::ValuesIn(kCertificateCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct RedirectChainCase {
    const char* name;
    const char* hops;  // one letter per request: S over https, P over plain http; the last serves the database
    bool upperCaseScheme;  // Locations written as "HTTP://" and "HTTPS://"
    int expected;
};

const RedirectChainCase kRedirectChainCases[] = {
    {"HttpsToHttp", "SP", false, UPDATE_RESULT_FAILED},
    {"HttpsToHttpsToHttp", "SSP", false, UPDATE_RESULT_FAILED},
    {"HttpsToHttpInCapitals", "SP", true, UPDATE_RESULT_FAILED},
    {"HttpsToHttpsToHttpsAndBack", "SPS", false, UPDATE_RESULT_FAILED},
    {"HttpToHttps", "PS", false, UPDATE_RESULT_DONE},
    {"HttpToHttpsToHttps", "PSS", true, UPDATE_RESULT_DONE},
};

class UpdateRedirectChainTest : public UpdateTest, public ::testing::WithParamInterface<RedirectChainCase> {};

// Once the chain has reached https, plain http is never asked: a refused redirect is a
// request that cannot be sent.
TEST_P(UpdateRedirectChainTest, NeverLeavesHttpsOnceReached) {
    const RedirectChainCase& c = GetParam();
    ScopedTrustedAuthority trust;
    TestHttpServer tls(TestCertificates::LocalhostCertificate(), TestCertificates::LocalhostKey());
    const std::string hops = c.hops;
    const auto serverOf = [&](char hop) -> TestHttpServer& { return hop == 'S' ? tls : m_server; };
    const auto urlOf = [&](std::size_t i) {
        std::string url = serverOf(hops[i]).Url("/hop" + std::to_string(i));
        if (c.upperCaseScheme) std::transform(url.begin(), url.begin() + url.find(':'), url.begin(), ::toupper);
        return url;
    };
    for (std::size_t i = 0; i + 1 < hops.size(); ++i)
        Serve(serverOf(hops[i]).Server(), "/hop" + std::to_string(i), 302, {}, urlOf(i + 1));
    Serve(serverOf(hops.back()).Server(), "/hop" + std::to_string(hops.size() - 1), 200, kDatabase);
    tls.Start();
    m_server.Start();

    EXPECT_EQ(RunUpdateOf(urlOf(0)), c.expected);
    EXPECT_EQ(DatabaseContent(), c.expected == UPDATE_RESULT_DONE ? kDatabase : kOldDatabase);
    const auto plainBeforeHttps = std::count(hops.begin(), hops.begin() + hops.find('S'), 'P');
    EXPECT_EQ(m_server.Hits(), plainBeforeHttps) << "the plain server was asked after https";
}

INSTANTIATE_TEST_SUITE_P(Https, UpdateRedirectChainTest, ::testing::ValuesIn(kRedirectChainCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UpdateAddress, IsTheDownloadsFolderOfTheUpdateHostOverHttps) {
    const std::string url = CUpdateJob::DefaultUrl();
    EXPECT_TRUE(url.ends_with("/downloads/providers.lst")) << url;
    if (std::string_view(MAILWRIGHT_UPDATE_SCHEME) == "http") GTEST_SKIP() << "this build names plain http";
    EXPECT_EQ(url.rfind("https://", 0), 0u) << url;
}

TEST(UpdateResultText, MapsTheCodesToTheirTexts) {
    EXPECT_EQ(UpdateResultTextId(6000), 149u);
    EXPECT_EQ(UpdateResultTextId(6004), 153u);
    EXPECT_EQ(UpdateResultTextId(5999), 0u);
    EXPECT_EQ(UpdateResultTextId(6005), 0u);
}

struct ContentLengthCase {
    const char* text;
    double expected;
};

TEST(ContentLength, IsReadLikeAtoi) {
    const ContentLengthCase cases[] = {
        {"", 0},          {"1234", 1234},     {"  56", 56},  {"+7", 7},        {"-9", -9},
        {"12abc", 12},    {"abc", 0},         {"- 5", 0},    {"99999999999", 2147483647},
        {"-99999999999", -2147483648.0},
    };
    for (const ContentLengthCase& c : cases) EXPECT_EQ(CUpdateJob::ParseContentLength(c.text), c.expected) << c.text;
}

}  // namespace
