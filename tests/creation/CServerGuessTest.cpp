// Guessing: common server names of a domain probed against POP3 and SMTP servers on
// 127.0.0.1, which the probes reach through their connect-to seam while the
// certificate is checked for the name guessed.
#include <gtest/gtest.h>

#include <memory>

#include "creation/CProviderDiscovery.h"
#include "creation/CServerGuess.h"
#include "providers/CProviderDatabase.h"
#include "testlib/LocalDiscovery.h"
#include "testlib/ScopedEnv.h"
#include "testlib/TestMailServer.h"

namespace mailwright {
namespace {

using namespace testing;
using namespace std::chrono_literals;
using Behaviour = TestMailServer::Behaviour;
using Found = CProviderDiscovery::Found;

struct Served {
    const char* host;
    int port;
    Behaviour behaviour;
    bool wrongCertificate = false;  // a valid certificate, but for 127.0.0.1 and localhost
};

std::string Joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    return all;
}

class GuessTest : public ::testing::Test {
protected:
    // Starts the servers, gives their names addresses and sends the probes to them.
    void Serve(const std::vector<Served>& servers) {
        for (const Served& s : servers) {
            m_servers.push_back(s.wrongCertificate ? std::make_unique<TestMailServer>(s.behaviour,
                                                                                     TestCertificates::LocalhostCertificate(),
                                                                                     TestCertificates::LocalhostKey())
                                                   : std::make_unique<TestMailServer>(s.behaviour));
            m_net.SetAddress({s.host});
            m_connectTo.push_back(m_servers.back()->ConnectTo(s.host, s.port));
        }
    }

    std::optional<Found> Discover(const std::string& domain, std::chrono::milliseconds limit = 3000ms) {
        DiscoverySettings settings = m_net.Settings(limit);
        settings.connectTo = m_connectTo;
        CProviderDiscovery discovery(m_database, settings);
        std::optional<Found> found = discovery.Discover(domain);
        m_notes = discovery.GetNotes();
        return found;
    }

    ScopedEnv m_trust{"SSL_CERT_FILE", TestCertificates::BothAuthorities().c_str()};
    CProviderDatabase m_database;
    LocalDiscovery m_net;
    std::vector<std::unique_ptr<TestMailServer>> m_servers;
    std::vector<std::string> m_connectTo;
    std::vector<std::string> m_notes;
};

TEST_F(GuessTest, CandidatesAreRankedTlsFirstThenByName) {
    std::vector<std::string> described;
    for (const auto& target : CServerGuess::CandidatesFor("guess.test", "mx.hoster.test"))
        described.push_back(CMailServerProbe::Describe(target));
    EXPECT_EQ(described, (std::vector<std::string>{
                             "pop3s://pop.guess.test:995", "pop3s://pop3.guess.test:995", "pop3s://mail.guess.test:995",
                             "pop3s://mx.hoster.test:995", "pop3s://guess.test:995", "smtps://smtp.guess.test:465",
                             "smtps://mail.guess.test:465", "smtps://mx.hoster.test:465", "smtps://guess.test:465",
                             "smtp://smtp.guess.test:587 (STARTTLS)", "smtp://mail.guess.test:587 (STARTTLS)",
                             "smtp://mx.hoster.test:587 (STARTTLS)", "smtp://guess.test:587 (STARTTLS)"}));
    // No mail exchanger, and none twice.
    EXPECT_EQ(CServerGuess::CandidatesFor("guess.test", "").size(), 10u);
    EXPECT_EQ(CServerGuess::CandidatesFor("guess.test", "mail.guess.test").size(), 10u);
}

TEST_F(GuessTest, TheBestRankedServerThatAnswersWins) {
    const struct {
        const char* name;
        std::vector<Served> servers;
        const char* pop3;  // "host:port"; null: nothing found
        const char* smtp;
        const char* note = "";
    } cases[] = {
        {"the first names",
         {{"pop.guess.test", 995, Behaviour::Pop3Tls},
          {"mail.guess.test", 995, Behaviour::Pop3Tls},
          {"smtp.guess.test", 465, Behaviour::SmtpTls},
          {"mail.guess.test", 587, Behaviour::SmtpStartTls}},
         "pop.guess.test:995", "smtp.guess.test:465"},
        {"refused servers fall through",
         {{"pop.guess.test", 995, Behaviour::PlainPop3},
          {"pop3.guess.test", 995, Behaviour::WrongGreeting},
          {"mail.guess.test", 995, Behaviour::Pop3Tls, true},
          {"guess.test", 995, Behaviour::Pop3Tls},
          {"smtp.guess.test", 465, Behaviour::PlainSmtp},
          {"mail.guess.test", 465, Behaviour::WrongGreeting},
          {"smtp.guess.test", 587, Behaviour::PlainSmtp},
          {"mail.guess.test", 587, Behaviour::SmtpStartTls}},
         "guess.test:995", "mail.guess.test:587", "smtp://smtp.guess.test:587 (STARTTLS): STARTTLS not supported"},
        {"TLS before STARTTLS",
         {{"pop.guess.test", 995, Behaviour::Pop3Tls},
          {"smtp.guess.test", 587, Behaviour::SmtpStartTls},
          {"guess.test", 465, Behaviour::SmtpTls}},
         "pop.guess.test:995", "guess.test:465"},
        {"only plain text and a wrong certificate",
         {{"pop.guess.test", 995, Behaviour::PlainPop3},
          {"pop3.guess.test", 995, Behaviour::Pop3Tls, true},
          {"smtp.guess.test", 465, Behaviour::SmtpTls}},
         nullptr, nullptr, "pop3s://pop3.guess.test:995: certificate not accepted"},
        {"POP3 without SMTP", {{"pop.guess.test", 995, Behaviour::Pop3Tls}}, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_servers.clear();
        m_connectTo.clear();
        Serve(c.servers);
        const std::optional<Found> found = Discover("guess.test");
        ASSERT_EQ(found.has_value(), c.pop3 != nullptr) << Joined(m_notes);
        EXPECT_NE(Joined(m_notes).find(c.note), std::string::npos) << Joined(m_notes);
        if (!found) continue;
        const CProvider& p = *found->provider;
        EXPECT_EQ(found->source, CProviderDiscovery::Source::Guessed);
        EXPECT_EQ(p.m_pop3Server + ":" + std::to_string(p.m_pop3Port), c.pop3) << Joined(m_notes);
        EXPECT_EQ(p.m_smtpServer + ":" + std::to_string(p.m_smtpPort), c.smtp) << Joined(m_notes);
        EXPECT_EQ(p.m_pop3Ssl, 1);
        EXPECT_EQ(p.m_smtpSsl, 1);
        EXPECT_TRUE(p.m_userNameIsEmail);
        EXPECT_EQ(p.m_domains, std::vector<std::string>{"guess.test"});
    }
}

TEST_F(GuessTest, TheMailExchangerIsACandidate) {
    m_net.SetMx("guess.test", {{10, "mx.guess.test"}});
    Serve({{"mx.guess.test", 995, Behaviour::Pop3Tls}, {"mx.guess.test", 465, Behaviour::SmtpTls}});
    const std::optional<Found> found = Discover("guess.test");
    ASSERT_TRUE(found) << Joined(m_notes);
    EXPECT_EQ(found->provider->m_pop3Server, "mx.guess.test");
    EXPECT_EQ(found->where, "POP3 pop3s://mx.guess.test:995, SMTP smtps://mx.guess.test:465");
}

TEST_F(GuessTest, ASilentBetterServerIsGivenUpAtTheTimeLimit) {
    Serve({{"pop.guess.test", 995, Behaviour::Silent},
           {"pop3.guess.test", 995, Behaviour::Pop3Tls},
           {"smtp.guess.test", 465, Behaviour::SmtpTls}});
    const auto start = std::chrono::steady_clock::now();
    const std::optional<Found> found = Discover("guess.test", 1500ms);
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(found) << Joined(m_notes);
    EXPECT_EQ(found->provider->m_pop3Server, "pop3.guess.test");
    EXPECT_LT(took, 5s);  // far below the silent server's forever, whatever the machine's load
    EXPECT_NE(Joined(m_notes).find("pop3s://pop.guess.test:995: no answer in time"), std::string::npos)
        << Joined(m_notes);
}

TEST_F(GuessTest, NamesWithoutAddressAreNotProbed) {
    const TestMailServer pop3(Behaviour::Pop3Tls), smtp(Behaviour::SmtpTls);
    m_connectTo = {pop3.ConnectTo("pop.guess.test", 995), smtp.ConnectTo("smtp.guess.test", 465)};
    EXPECT_FALSE(Discover("guess.test"));  // the DNS server knows none of the names
    EXPECT_EQ(pop3.Connections() + smtp.Connections(), 0);
    EXPECT_NE(Joined(m_notes).find("guess: pop.guess.test: no address"), std::string::npos) << Joined(m_notes);
}

}  // namespace
}  // namespace mailwright
