// The sources that discovery asks after the domain's own file: the public ISP database,
// the mail exchanger's domain and the DNS service records, against a DNS server and a
// web server on 127.0.0.1.
#include <gtest/gtest.h>

#include <algorithm>

#include "creation/CProviderDiscovery.h"
#include "providers/CProviderDatabase.h"
#include "testlib/AccountFixture.h"
#include "testlib/LocalDiscovery.h"

namespace mailwright {
namespace {

using namespace testing;
using namespace std::chrono_literals;
using Found = CProviderDiscovery::Found;
using Source = CProviderDiscovery::Source;

std::string Joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    return all;
}

// A file whose servers belong to a hosting firm, with the log-on name the whole address.
std::string HosterXml(const std::string& pop3Host) {
    std::string xml = ClientConfigXml(pop3Host);
    for (std::size_t at = xml.find("%EMAILLOCALPART%"); at != std::string::npos; at = xml.find("%EMAILLOCALPART%"))
        xml.replace(at, 16, "%EMAILADDRESS%");
    return xml;
}

class DiscoverySourcesTest : public ::testing::Test {
protected:
    DiscoverySourcesTest() {
        m_database.SetVersion(1);
        CRefCountPtr<CProvider> known = MakeProvider();
        known->m_name = "Known";
        known->m_pop3Server = "pop.known.test";
        known->m_domains = {"known.test"};
        m_database.Add(known);
        CRefCountPtr<CProvider> host = MakeProvider();
        host->m_name = "home.pl";
        host->m_pop3Server = "home.pl";
        host->m_domains = {"home.pl"};
        m_database.Add(host);
    }

    std::optional<Found> Discover(const std::string& domain) {
        CProviderDiscovery discovery(m_database, m_net.Settings(3000ms));
        std::optional<Found> found = discovery.Discover(domain);
        m_notes = discovery.GetNotes();
        return found;
    }

    CProviderDatabase m_database;
    LocalDiscovery m_net;
    std::vector<std::string> m_notes;
};

TEST_F(DiscoverySourcesTest, IspDatabaseIsAskedAfterTheDomainsOwnFileWithTheDomainAlone) {
    m_net.SetIspDatabaseFile("company.test", ClientConfigXml());
    const std::optional<Found> found = Discover("company.test");
    ASSERT_TRUE(found) << Joined(m_notes);
    EXPECT_EQ(found->source, Source::IspDatabase);
    EXPECT_EQ(found->by, "company.test");
    EXPECT_EQ(found->where, CProviderDiscovery::IspDatabaseUrlFor(m_net.Settings(), "company.test"));
    EXPECT_EQ(found->provider->m_pop3Server, "pop.company.test");
    EXPECT_EQ(found->provider->m_domains, std::vector<std::string>{"company.test"});
    EXPECT_EQ(m_net.Requests(), (std::vector<std::string>{"/company.test/config-v1.1.xml", "/ispdb/company.test"}));
    EXPECT_EQ(CProviderDiscovery::DescribeOrigin(*found),
              "Your domain is not in the program's database. The account uses the settings that the public ISP "
              "database of the open-source mail programs lists for company.test.");
}

TEST_F(DiscoverySourcesTest, TheDefaultIspDatabaseIsTheOneOfTheOpenSourceClients) {
    EXPECT_EQ(CProviderDiscovery::IspDatabaseUrlFor({}, "company.test"),
              "https://autoconfig.thunderbird.net/v1.1/company.test");
    DiscoverySettings plain;
    plain.ispDatabaseUrl = "gopher://x/{domain}";
    EXPECT_NE(CProviderDiscovery::ProblemOf(plain), "");
}

TEST_F(DiscoverySourcesTest, MailExchangersDomainGivesTheHostingFirmsSettings) {
    const struct {
        const char* name;
        const char* exchanger;
        const char* fileDomain;  // whose file answers
        bool ispDatabase;        // the ISP database's file rather than the firm's own
        Source source;
        const char* by;
        std::vector<std::string> requests;
    } cases[] = {
        {"the exchanger without its first label", "mx1.mail.hoster.test", "mail.hoster.test", false,
         Source::MailHostSettings, "mail.hoster.test",
         {"/company.test/config-v1.1.xml", "/ispdb/company.test", "/mail.hoster.test/config-v1.1.xml"}},
        {"the registrable domain", "mx1.mail.hoster.test", "hoster.test", false, Source::MailHostSettings, "hoster.test",
         {"/company.test/config-v1.1.xml", "/ispdb/company.test", "/mail.hoster.test/config-v1.1.xml",
          "/ispdb/mail.hoster.test", "/hoster.test/config-v1.1.xml"}},
        {"the registrable domain in the ISP database", "mx.hoster.test", "hoster.test", true,
         Source::MailHostIspDatabase, "hoster.test",
         {"/company.test/config-v1.1.xml", "/ispdb/company.test", "/hoster.test/config-v1.1.xml", "/ispdb/hoster.test"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LocalDiscovery net;
        net.SetMx("company.test", {{10, c.exchanger}});
        const std::string xml = HosterXml(std::string("pop.") + c.fileDomain);
        if (c.ispDatabase) net.SetIspDatabaseFile(c.fileDomain, xml);
        else net.SetClientConfig(c.fileDomain, xml);
        CProviderDiscovery discovery(m_database, net.Settings(3000ms));
        const std::optional<Found> found = discovery.Discover("company.test");
        ASSERT_TRUE(found) << Joined(discovery.GetNotes());
        EXPECT_EQ(found->source, c.source);
        EXPECT_EQ(found->by, c.by);
        EXPECT_EQ(found->provider->m_pop3Server, std::string("pop.") + c.fileDomain);
        // The firm's SMTP host is named after the customer's domain, the address's one.
        EXPECT_EQ(found->provider->m_smtpServer, "smtp.company.test");
        EXPECT_EQ(found->provider->m_domains, std::vector<std::string>{"company.test"});
        EXPECT_TRUE(found->provider->m_userNameIsEmail);
        EXPECT_EQ(net.Requests(), c.requests);
    }
}

TEST_F(DiscoverySourcesTest, MailHostThatIsTheDomainOrARecordsDomainIsNotAskedAgain) {
    m_net.SetMx("company.test", {{10, "mx.company.test"}});
    EXPECT_FALSE(Discover("company.test"));
    // Each of the domain's addresses once: its own file and the ISP database.
    EXPECT_EQ(m_net.Requests(), (std::vector<std::string>{"/company.test/config-v1.1.xml", "/ispdb/company.test"}));

    // The subdomain host's servers serve no one by MX, and its domain is a record's.
    m_net.SetMx("other.test", {{10, "mx.home.pl"}});
    m_net.SetClientConfig("home.pl", ClientConfigXml());
    EXPECT_FALSE(Discover("other.test"));
    EXPECT_EQ(m_net.Requests(), (std::vector<std::string>{"/company.test/config-v1.1.xml", "/ispdb/company.test",
                                                          "/other.test/config-v1.1.xml", "/ispdb/other.test"}));
    EXPECT_NE(Joined(m_notes).find("mail host home.pl: a domain of the database's records"), std::string::npos)
        << Joined(m_notes);
}

TEST_F(DiscoverySourcesTest, ServiceRecordsNameTheServers) {
    using Srv = DnsReply::Srv;
    const struct {
        const char* name;
        std::vector<Srv> pop3s, submissions, submission;
        const char* pop3;  // "host:port"; null: nothing found
        const char* smtp;
    } cases[] = {
        {"TLS submission", {{0, 0, 995, "pop.hoster.test"}}, {{0, 0, 465, "smtp.hoster.test."}}, {}, "pop.hoster.test:995",
         "smtp.hoster.test:465"},
        {"STARTTLS submission when TLS is not offered", {{0, 0, 995, "pop.hoster.test"}}, {{0, 0, 0, ""}},
         {{0, 0, 587, "smtp.hoster.test"}}, "pop.hoster.test:995", "smtp.hoster.test:587"},
        {"TLS on a port the clients cannot use", {{0, 0, 995, "pop.hoster.test"}}, {{0, 0, 4650, "smtp.hoster.test"}},
         {{0, 0, 587, "submit.hoster.test"}}, "pop.hoster.test:995", "submit.hoster.test:587"},
        {"lowest priority, then heaviest weight",
         {{10, 0, 995, "pop1.hoster.test"}, {0, 1, 1995, "pop2.hoster.test"}, {0, 5, 995, "pop3.hoster.test"}},
         {{0, 0, 465, "smtp.hoster.test"}}, {}, "pop3.hoster.test:995", "smtp.hoster.test:465"},
        {"POP3 not offered", {{0, 0, 0, ""}}, {{0, 0, 465, "smtp.hoster.test"}}, {}, nullptr, nullptr},
        {"no SMTP", {{0, 0, 995, "pop.hoster.test"}}, {}, {}, nullptr, nullptr},
        {"a target that is no host name", {{0, 0, 995, "pop\x01.hoster.test"}}, {{0, 0, 465, "smtp.hoster.test"}}, {},
         nullptr, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LocalDiscovery net;
        if (!c.pop3s.empty()) net.SetSrv("_pop3s._tcp.company.test", c.pop3s);
        if (!c.submissions.empty()) net.SetSrv("_submissions._tcp.company.test", c.submissions);
        if (!c.submission.empty()) net.SetSrv("_submission._tcp.company.test", c.submission);
        CProviderDiscovery discovery(m_database, net.Settings(3000ms));
        const std::optional<Found> found = discovery.Discover("company.test");
        ASSERT_EQ(found.has_value(), c.pop3 != nullptr) << Joined(discovery.GetNotes());
        if (!found) continue;
        const CProvider& p = *found->provider;
        EXPECT_EQ(found->source, Source::ServiceRecords);
        EXPECT_EQ(p.m_pop3Server + ":" + std::to_string(p.m_pop3Port), c.pop3);
        EXPECT_EQ(p.m_smtpServer + ":" + std::to_string(p.m_smtpPort), c.smtp);
        EXPECT_EQ(p.m_pop3Ssl, 1);
        EXPECT_EQ(p.m_smtpSsl, 1);
        EXPECT_TRUE(p.m_userNameIsEmail);  // records name no log-on name: the full address
        EXPECT_EQ(p.m_domains, std::vector<std::string>{"company.test"});
    }
}

TEST_F(DiscoverySourcesTest, EverySourceHasItsOwnResultSentence) {
    std::vector<std::string> sentences;
    for (Source source : {Source::MailServers, Source::PublishedSettings, Source::IspDatabase, Source::MailHostSettings,
                          Source::MailHostIspDatabase, Source::ServiceRecords, Source::Guessed}) {
        const std::string sentence = CProviderDiscovery::DescribeOrigin({MakeProvider(), source, "x.test", "w"});
        EXPECT_NE(sentence.find("x.test"), std::string::npos) << sentence;
        EXPECT_EQ(std::count(sentences.begin(), sentences.end(), sentence), 0) << sentence;
        sentences.push_back(sentence);
    }
    const std::string guessed = sentences.back();
    EXPECT_NE(guessed.find("trying common server names"), std::string::npos);
    EXPECT_NE(guessed.find("log-on name is taken to be your full email address"), std::string::npos);
    EXPECT_NE(sentences[5].find("log-on name is taken to be your full email address"), std::string::npos);
}

}  // namespace
}  // namespace mailwright
