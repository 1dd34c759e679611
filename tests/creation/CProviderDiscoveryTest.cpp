// Discovery for domains that the database does not list, against a DNS server and a web
// server on 127.0.0.1: mail exchangers mapped to records, published clientConfig files,
// and everything that must give nothing (unknown providers, no POP3, slow or malformed
// answers, cancellation).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "creation/CProviderDiscovery.h"
#include "providers/CProviderDatabase.h"
#include "testlib/AccountFixture.h"
#include "testlib/Latch.h"
#include "testlib/LocalDiscovery.h"
#include "testlib/ScopedEnv.h"

namespace mailwright {
namespace {

using namespace testing;
using namespace std::chrono_literals;
using Found = CProviderDiscovery::Found;
using Source = CProviderDiscovery::Source;

CRefCountPtr<CProvider> Record(const std::string& name, std::vector<std::string> domains) {
    CRefCountPtr<CProvider> provider = MakeProvider();
    provider->m_name = name;
    provider->m_pop3Server = "pop." + domains.front();
    provider->m_domains = std::move(domains);
    return provider;
}

bool NotesMention(const std::vector<std::string>& notes, const std::string& text) {
    return std::any_of(notes.begin(), notes.end(), [&](const std::string& n) { return n.find(text) != std::string::npos; });
}

std::string Joined(const std::vector<std::string>& notes) {
    std::string all;
    for (const std::string& note : notes) all += note + "\n";
    return all;
}

class DiscoveryTest : public ::testing::Test {
protected:
    DiscoveryTest() {
        m_database.SetVersion(1);
        for (auto& record : {Record("Big Mail", {"bigmail.test", "bigmail-dns.test"}), Record("Cloud", {"cloud.test"}),
                             Record("Cloud Business", {"mail.protection.cloud.test"}), Record("Suffix", {"co.uk"}),
                             Record("home.pl", {"home.pl"})})
            m_database.Add(record);
    }

    std::optional<Found> Discover(const std::string& domain, std::chrono::milliseconds limit = 3000ms,
                                  std::stop_token stop = {}) {
        CProviderDiscovery discovery(m_database, m_net.Settings(limit));
        std::optional<Found> found = discovery.Discover(domain, stop);
        m_notes = discovery.GetNotes();
        return found;
    }

    CProviderDatabase m_database;
    Latch m_release;  // holds slow servers back; it outlives them
    LocalDiscovery m_net;
    std::vector<std::string> m_notes;
};

TEST_F(DiscoveryTest, PreferredMailExchangerMapsToTheRecordOfItsDomain) {
    const struct {
        const char* name;
        std::vector<DnsReply::Mx> exchangers;
        const char* provider;  // nullptr: none
        const char* where;
    } cases[] = {
        {"registrable domain", {{10, "mx1.bigmail.test"}}, "Big Mail", "mx1.bigmail.test"},
        {"lowest preference wins", {{20, "mx.cloud.test"}, {5, "in.bigmail-dns.test"}}, "Big Mail", "in.bigmail-dns.test"},
        {"a tie tries each", {{5, "mx.nobody.test"}, {5, "mx.cloud.test"}}, "Cloud", "mx.cloud.test"},
        {"longest listed tail", {{0, "tenant.mail.protection.cloud.test"}}, "Cloud Business",
         "tenant.mail.protection.cloud.test"},
        {"case and root dot", {{10, "MX1.BigMail.TEST."}}, "Big Mail", "mx1.bigmail.test"},
        {"not beyond the registrable domain", {{10, "mx.someone.co.uk"}}, nullptr, ""},
        {"subdomain host serves no one by MX", {{10, "mx.home.pl"}}, nullptr, ""},
        {"unknown provider", {{10, "mx.unknown.test"}}, nullptr, ""},
        {"only a worse exchanger is known", {{10, "mx.unknown.test"}, {20, "mx1.bigmail.test"}}, nullptr, ""},
    };
    for (const auto& c : cases) {
        m_net.SetMx("company.test", c.exchangers);
        const std::size_t requestsBefore = m_net.Requests().size();
        const std::optional<Found> found = Discover("company.test");
        if (!c.provider) {
            EXPECT_FALSE(found) << c.name;
            continue;
        }
        ASSERT_TRUE(found) << c.name << "\n" << Joined(m_notes);
        EXPECT_EQ(found->source, Source::MailServers) << c.name;
        EXPECT_EQ(found->by, c.provider) << c.name;
        EXPECT_EQ(found->where, c.where) << c.name;
        EXPECT_EQ(found->provider->m_name, c.provider) << c.name;
        EXPECT_EQ(m_net.Requests().size(), requestsBefore) << c.name;  // settings found by MX need no file
    }
}

TEST_F(DiscoveryTest, UnknownMailExchangerFallsBackToThePublishedFile) {
    m_net.SetMx("company.test", {{10, "mx.unknown.test"}});
    m_net.SetClientConfig("company.test", ClientConfigXml());
    const std::optional<Found> found = Discover("Company.TEST ");
    ASSERT_TRUE(found) << Joined(m_notes);
    EXPECT_EQ(found->source, Source::PublishedSettings);
    EXPECT_TRUE(NotesMention(m_notes, "mx.unknown.test, whose domain no record lists")) << Joined(m_notes);
}

TEST_F(DiscoveryTest, PublishedFileGivesARecordForTheDomainAlone) {
    m_net.SetClientConfig("company.test", ClientConfigXml());
    const std::optional<Found> found = Discover("company.test");
    ASSERT_TRUE(found) << Joined(m_notes);
    EXPECT_EQ(found->source, Source::PublishedSettings);
    EXPECT_EQ(found->by, "company.test");
    const CProvider& p = *found->provider;
    EXPECT_EQ(p.m_domains, std::vector<std::string>{"company.test"});
    EXPECT_EQ(p.m_pop3Server, "pop.company.test");
    EXPECT_EQ(p.m_pop3Port, 995);
    EXPECT_EQ(p.m_pop3Ssl, 1);
    EXPECT_EQ(p.m_smtpServer, "smtp.company.test");
    EXPECT_EQ(p.m_smtpPort, 587);
    EXPECT_EQ(p.m_smtpSsl, 1);
    EXPECT_EQ(p.m_smtpAuth, 1);
    EXPECT_FALSE(p.m_userNameIsEmail);
    // Only the domain went out: no address, no query string.
    EXPECT_EQ(m_net.Requests(), std::vector<std::string>{"/company.test/config-v1.1.xml"});
    EXPECT_EQ(found->where, m_net.Settings().autoconfigUrl.replace(m_net.Settings().autoconfigUrl.find("{domain}"), 8,
                                                                    "company.test"));
}

TEST_F(DiscoveryTest, PublishedFileIsUsedOnlyFromAnHttpsServerOfTheRightName) {
    ScopedEnv trust("SSL_CERT_FILE", TestCertificates::Authority().c_str());
    TestHttpServer localhost(TestCertificates::LocalhostCertificate(), TestCertificates::LocalhostKey());
    TestHttpServer otherHost(TestCertificates::OtherHostCertificate(), TestCertificates::OtherHostKey());
    const std::string plainCopy = m_net.Settings().autoconfigUrl;
    for (TestHttpServer* server : {&localhost, &otherHost}) {
        server->Server().Get(R"(/secure\.test/.*)", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(ClientConfigXml(), "text/xml");
        });
        // Away from https to the same file over plain http.
        server->Server().Get(R"(/downgrade\.test/.*)", [&](const httplib::Request&, httplib::Response& response) {
            response.set_redirect(plainCopy.substr(0, plainCopy.find("{domain}")) + "downgrade.test/config-v1.1.xml");
        });
        server->Start();
    }
    m_net.SetClientConfig("downgrade.test", ClientConfigXml());
    const struct {
        const char* name;
        TestHttpServer* server;
        const char* domain;
        const char* note;
    } cases[] = {
        {"https with a certificate for the server", &localhost, "secure.test", "settings for POP3 and SMTP"},
        {"certificate of another host", &otherHost, "secure.test", "no answer"},
        {"redirect to plain http", &localhost, "downgrade.test", "a redirect that could not be followed"},
    };
    for (const auto& c : cases) {
        // The whole limit: the file's share of it leaves room for a slow TLS handshake.
        DiscoverySettings settings = m_net.Settings(DiscoverySettings::kTimeLimit);
        settings.autoconfigUrl = c.server->Url("/{domain}/config-v1.1.xml");
        settings.ispDatabaseUrl = c.server->Url("/ispdb/{domain}");
        CProviderDiscovery discovery(m_database, settings);
        const std::optional<Found> found = discovery.Discover(c.domain);
        EXPECT_EQ(found.has_value(), c.server == &localhost && std::string(c.domain) == "secure.test") << c.name;
        EXPECT_TRUE(NotesMention(discovery.GetNotes(), c.note)) << c.name << "\n" << Joined(discovery.GetNotes());
    }
    EXPECT_TRUE(m_net.Requests().empty());  // nothing went out over plain http
}

TEST_F(DiscoveryTest, FilesThatGiveNoRecordAreNotUsed) {
    const struct {
        const char* name;
        int status;
        std::string body;
        const char* note;
    } cases[] = {
        {"no POP3", 200, ClientConfigXml("imap.%EMAILDOMAIN%", "993", "imap"), "no POP3 server"},
        {"not found", 404, "", "status 404"},
        {"redirect nowhere", 302, "", "status 302"},
        {"not XML", 200, "<html><body>Welcome</body></html>", "not a clientConfig"},
        {"truncated", 200, ClientConfigXml().substr(0, 200), ""},
        {"impossible port", 200, ClientConfigXml("pop.%EMAILDOMAIN%", "99999"), "port"},
        {"host too long", 200, ClientConfigXml(std::string(60, 'a') + ".%EMAILDOMAIN%.%EMAILDOMAIN%.%EMAILDOMAIN%"),
         "expected a host name"},
        {"too large", 200, std::string(1200 * 1024, ' ') + ClientConfigXml(), "too large"},
    };
    const std::string domain = std::string(50, 'd') + ".company-with-a-long-name-for-the-host-test.test";
    for (const auto& c : cases) {
        m_net.SetHttpHandler(domain, [&c](const httplib::Request&, httplib::Response& response) {
            response.status = c.status;
            response.set_content(c.body, "text/xml");
        });
        EXPECT_FALSE(Discover(domain)) << c.name;
        EXPECT_TRUE(NotesMention(m_notes, c.note)) << c.name << "\n" << Joined(m_notes);
    }
}

TEST_F(DiscoveryTest, MalformedDnsAnswersFindNothingAndDoNotStopTheSearch) {
    using Query = TestDnsServer::Query;
    const struct {
        const char* name;
        std::function<std::string(const Query&)> reply;
        const char* note;
    } cases[] = {
        {"cut in the header", [](const Query& q) { return DnsReply::Answer(q, {{10, "mx1.bigmail.test"}}).substr(0, 7); },
         "no answer within the time limit"},
        {"cut in the record",
         [](const Query& q) {
             const std::string whole = DnsReply::Answer(q, {{10, "mx1.bigmail.test"}});
             return whole.substr(0, whole.size() - 6);
         },
         "malformed answer"},
        {"name pointing at itself",
         [](const Query& q) {
             std::string reply = DnsReply::Answer(q, {{10, "x"}});
             const std::size_t at = reply.size() - 3;  // the exchanger's name, "\1x\0"
             reply.resize(at);
             reply += static_cast<char>(0xC0 | (at >> 8));
             reply += static_cast<char>(at & 0xFF);
             reply[at - 3] = 4;  // the record's data: the preference and the pointer
             return reply;
         },
         "malformed answer"},
        {"control character in the host", [](const Query& q) { return DnsReply::Answer(q, {{10, "mx\x01.bigmail.test"}}); },
         "is not a host name"},
        {"server failure", [](const Query& q) { return DnsReply::Error(q, DnsReply::kServerFailure); }, "no usable answer"},
    };
    m_net.SetClientConfig("company.test", ClientConfigXml());
    for (const auto& c : cases) {
        m_net.SetDnsHandler("company.test", [&c](const Query& q) -> std::optional<std::string> { return c.reply(q); });
        const std::optional<Found> found = Discover("company.test", 1500ms);
        ASSERT_TRUE(found) << c.name << "\n" << Joined(m_notes);
        EXPECT_EQ(found->source, Source::PublishedSettings) << c.name;
        EXPECT_TRUE(NotesMention(m_notes, c.note)) << c.name << "\n" << Joined(m_notes);
    }
}

TEST_F(DiscoveryTest, NullMxEndsTheSearch) {
    m_net.SetMx("nomail.test", {{0, ""}});
    m_net.SetClientConfig("nomail.test", ClientConfigXml());
    EXPECT_FALSE(Discover("nomail.test"));
    EXPECT_TRUE(NotesMention(m_notes, "takes no mail")) << Joined(m_notes);
    EXPECT_TRUE(m_net.Requests().empty());
}

TEST_F(DiscoveryTest, SlowServersAreCutAtTheTimeLimit) {
    m_net.SetDnsHandler("slow.test", [this](const TestDnsServer::Query&) -> std::optional<std::string> {
        m_release.Wait(10s);
        return std::nullopt;
    });
    m_net.SetHttpHandler("slow.test", [this](const httplib::Request&, httplib::Response& response) {
        m_release.Wait(10s);
        response.set_content(ClientConfigXml(), "text/xml");
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Discover("slow.test", 800ms));
    const auto took = std::chrono::steady_clock::now() - start;
    m_release.Release();
    // Far below the servers' ten seconds, whatever the load of the machine.
    EXPECT_LT(took, 4s);
    EXPECT_TRUE(NotesMention(m_notes, "MX of slow.test: no answer within the time limit")) << Joined(m_notes);
    EXPECT_TRUE(NotesMention(m_notes, "config-v1.1.xml: no answer within the time limit")) << Joined(m_notes);
}

TEST_F(DiscoveryTest, StopRequestEndsTheSearchAtOnce) {
    m_net.SetDnsHandler("slow.test", [this](const TestDnsServer::Query&) -> std::optional<std::string> {
        m_release.Wait(10s);
        return std::nullopt;
    });
    std::stop_source stop;
    std::thread canceller([&stop] {
        std::this_thread::sleep_for(100ms);
        stop.request_stop();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Discover("slow.test", 60s, stop.get_token()));
    const auto took = std::chrono::steady_clock::now() - start;
    canceller.join();
    m_release.Release();
    EXPECT_LT(took, 10s);
    EXPECT_TRUE(NotesMention(m_notes, "cancelled")) << Joined(m_notes);
    EXPECT_TRUE(m_net.Requests().empty());
}

TEST_F(DiscoveryTest, InternationalDomainIsAskedForByItsALabel) {
    m_net.SetMx("xn--bcher-kva.test", {{10, "mx.unknown.test"}});
    m_net.SetClientConfig("xn--bcher-kva.test", ClientConfigXml());
    const std::optional<Found> found = Discover("Bücher.test");
    ASSERT_TRUE(found) << Joined(m_notes);
    EXPECT_EQ(found->by, "xn--bcher-kva.test");
    EXPECT_EQ(found->provider->m_pop3Server, "pop.xn--bcher-kva.test");
    EXPECT_TRUE(NotesMention(m_notes, "MX of xn--bcher-kva.test: mx.unknown.test")) << Joined(m_notes);
}

TEST_F(DiscoveryTest, WhatIsNoDomainIsNotAskedFor) {
    for (const char* text : {"", "localhost", "jan@company.test", "company .test", "-company.test", "company..test",
                             "b\xC3\xBC\xC3" "cher.test" /* not UTF-8 */, "\xE2\x80\x8D.test" /* a joiner alone */}) {
        EXPECT_FALSE(Discover(text)) << text;
        EXPECT_TRUE(NotesMention(m_notes, "is not a domain name")) << text;
    }
    EXPECT_EQ(m_net.DnsQueries(), 0);
    EXPECT_TRUE(m_net.Requests().empty());
}

TEST(DiscoverySettings, UnusableSettingsAreNamed) {
    const struct {
        const char* nameserver;
        const char* url;
        bool usable;
    } cases[] = {
        {"", "", true},
        {"127.0.0.1", "", true},
        {"127.0.0.1:5353", "", true},
        {"::1", "", true},
        {"[::1]:5353", "", true},
        {"localhost", "", false},
        {"127.0.0.1:0", "", false},
        {"127.0.0.1:65536", "", false},
        {"127.0.0.1:", "", false},
        {"[::1", "", false},
        {"[::1]5353", "", false},
        {"1.2.3", "", false},
        {"", "https://mail.example.net/{domain}.xml", true},
        {"", "HTTP://127.0.0.1:8080/{domain}", true},
        {"", "ftp://example.net/{domain}", false},
        {"", "file:///etc/{domain}", false},
        {"", "https://example.net/\n{domain}", false},
    };
    for (const auto& c : cases) {
        const std::string problem = CProviderDiscovery::ProblemOf({c.nameserver, c.url});
        EXPECT_EQ(problem.empty(), c.usable) << c.nameserver << " " << c.url << ": " << problem;
    }
}

TEST(DiscoverySettings, TheDomainsOwnAddressesAreHttpsAndCarryTheDomainOnly) {
    EXPECT_EQ(CProviderDiscovery::AutoconfigUrlsFor({}, "company.test"),
              (std::vector<std::string>{"https://autoconfig.company.test/mail/config-v1.1.xml",
                                        "https://company.test/.well-known/autoconfig/mail/config-v1.1.xml"}));
    EXPECT_EQ(CProviderDiscovery::AutoconfigUrlsFor({"", "http://127.0.0.1:1/{domain}/{domain}.xml"}, "company.test"),
              std::vector<std::string>{"http://127.0.0.1:1/company.test/company.test.xml"});
}

TEST(DiscoverySettings, ResultSentenceSaysWhereTheSettingsCameFrom) {
    Found byMx{MakeProvider(), Source::MailServers, "Big Mail", "mx1.bigmail.test"};
    Found published{MakeProvider(), Source::PublishedSettings, "company.test", "https://autoconfig.company.test/x"};
    EXPECT_EQ(CProviderDiscovery::DescribeOrigin(byMx),
              "Your domain is not in the program's database. Its mail goes to the mail servers of Big Mail, so the "
              "account uses their settings.");
    EXPECT_EQ(CProviderDiscovery::DescribeOrigin(published),
              "Your domain is not in the program's database. The account uses the settings published by "
              "company.test.");
    EXPECT_EQ(CProviderDiscovery::DescribeEvidence(byMx), "mail servers of Big Mail (MX mx1.bigmail.test)");
    EXPECT_EQ(CProviderDiscovery::DescribeEvidence(published),
              "settings published by company.test (https://autoconfig.company.test/x)");
}

}  // namespace
}  // namespace mailwright
