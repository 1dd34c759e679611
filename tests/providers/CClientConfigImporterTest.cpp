// clientConfig files made into provider records, and the files no record can express.
#include <gtest/gtest.h>

#include <string>

#include "providers/CClientConfigImporter.h"
#include "providers/CProviderDatabase.h"
#include "providers/CProviderSource.h"

using namespace mailwright;

namespace {

struct ServerText {
    std::string host = "mail.example.net";
    std::string port;
    std::string socket;
    std::string user = "%EMAILADDRESS%";
    std::string auth = "<authentication>password-cleartext</authentication>";
};

std::string ServerXml(const char* element, const char* type, const ServerText& s) {
    return std::string("<") + element + " type=\"" + type + "\"><hostname>" + s.host + "</hostname><port>" + s.port +
           "</port><socketType>" + s.socket + "</socketType>" +
           (s.user.empty() ? "" : "<username>" + s.user + "</username>") + s.auth + "</" + element + ">";
}

CClientConfig Config(const ServerText& pop3, const ServerText& smtp,
                     const std::string& domains = "<domain>example.net</domain><domain>example.org</domain>") {
    return CClientConfig::Parse("<clientConfig version=\"1.1\"><emailProvider id=\"example.net\">" + domains +
                                "<displayName>Example Mail</displayName>" + ServerXml("incomingServer", "pop3", pop3) +
                                ServerXml("outgoingServer", "smtp", smtp) + "</emailProvider></clientConfig>");
}

const ServerText kPop3Tls{"pop.example.net", "995", "SSL"};
const ServerText kSmtpTls{"smtp.example.net", "465", "SSL"};

// The records in source form, so that a test shows every field at once.
std::string SourceOf(const CClientConfigImporter::Result& result) {
    CProviderDatabase db;
    db.SetVersion(1);
    for (const auto& record : result.records) db.Add(record);
    return CProviderSource::Format(db);
}

}  // namespace

TEST(CClientConfigImporter, MakesOneRecordOfAFile) {
    ServerText smtp{"smtp.example.net", "587", "STARTTLS", "%EMAILLOCALPART%"};
    ServerText pop3 = kPop3Tls;
    pop3.user = "%EMAILLOCALPART%";
    const auto result = CClientConfigImporter::Import(Config(pop3, smtp));
    ASSERT_EQ(result.problem, "");
    EXPECT_EQ(SourceOf(result),
              "# Provider database source: \"mailwright-cli providers compile\" makes providers.lst of it.\n"
              "format_version = 1\n"
              "\n[[provider]]\n"
              "name = \"Example Mail\"\n"
              "layout = 2\n"
              "domains = [\"example.net\", \"example.org\"]\n"
              "pop3 = { server = \"pop.example.net\", port = 995, ssl = true }\n"
              "smtp = { server = \"smtp.example.net\", port = 587, ssl = true, auth = true }\n"
              "user_name_is_email = false\n"
              "ask_user_name = false\n"
              "alt_comment = \"\"\ncomment = \"\"\nalt_info_url = \"\"\ninfo_url = \"\"\n"
              "alt_user_name_prompt = \"\"\nuser_name_prompt = \"\"\n");
}

TEST(CClientConfigImporter, HostsNamedAfterTheDomainGiveOneRecordPerDomain) {
    ServerText pop3{"pop.%EMAILDOMAIN%", "110", "plain"};
    ServerText smtp{"%EMAILDOMAIN%", "25", "plain", "", "<authentication>none</authentication>"};
    const auto result = CClientConfigImporter::Import(
        Config(pop3, smtp, "<domain>a.example</domain><domain>b.example</domain>"));
    ASSERT_EQ(result.problem, "");
    ASSERT_EQ(result.records.size(), 2u);
    const char* domains[] = {"a.example", "b.example"};
    for (int i = 0; i < 2; ++i) {
        const CProvider& p = *result.records[i];
        EXPECT_EQ(p.m_domains, std::vector<std::string>{domains[i]});
        EXPECT_EQ(p.m_pop3Server, std::string("pop.") + domains[i]);
        EXPECT_EQ(p.m_smtpServer, domains[i]);
        EXPECT_EQ(p.m_pop3Ssl, 0);
        EXPECT_EQ(p.m_smtpSsl, 0);
        EXPECT_EQ(p.m_smtpAuth, 0);
        EXPECT_EQ(p.m_pop3Port, 110);
        EXPECT_EQ(p.m_smtpPort, 25);
    }
}

TEST(CClientConfigImporter, FilesThatNoRecordCanExpress) {
    const auto with = [](ServerText s, auto change) {
        change(s);
        return s;
    };
    const struct Case {
        const char* what;
        CClientConfig config;
        std::string problem;
    } cases[] = {
        {"damaged", CClientConfig::Parse("<clientConfig/>"), "clientConfig has no emailProvider"},
        {"no POP3",
         CClientConfig::Parse("<clientConfig><emailProvider><domain>example.net</domain>" +
                              ServerXml("incomingServer", "imap", kPop3Tls) + ServerXml("outgoingServer", "smtp", kSmtpTls) +
                              "</emailProvider></clientConfig>"),
         "no POP3 server"},
        {"no SMTP",
         CClientConfig::Parse("<clientConfig><emailProvider><domain>example.net</domain>" +
                              ServerXml("incomingServer", "pop3", kPop3Tls) + "</emailProvider></clientConfig>"),
         "no SMTP server"},
        {"OAuth2 POP3",
         Config(with(kPop3Tls, [](ServerText& s) { s.auth = "<authentication>OAuth2</authentication>"; }), kSmtpTls),
         "the POP3 server takes no password, only OAuth2"},
        {"OAuth2 SMTP",
         Config(kPop3Tls, with(kSmtpTls, [](ServerText& s) { s.auth = "<authentication>OAuth2</authentication>"; })),
         "the SMTP server takes no password, only OAuth2"},
        {"composed log-on name",
         Config(with(kPop3Tls, [](ServerText& s) { s.user = "%EMAILLOCALPART%.%EMAILDOMAIN%"; }), kSmtpTls),
         "POP3 log-on name \"%EMAILLOCALPART%.%EMAILDOMAIN%\" is neither %EMAILADDRESS% nor %EMAILLOCALPART%"},
        {"fixed log-on name", Config(with(kPop3Tls, [](ServerText& s) { s.user = "mailuser"; }), kSmtpTls),
         "POP3 log-on name \"mailuser\" is neither %EMAILADDRESS% nor %EMAILLOCALPART%"},
        {"no log-on name", Config(with(kPop3Tls, [](ServerText& s) { s.user = ""; }), kSmtpTls),
         "POP3 log-on name \"\" is neither %EMAILADDRESS% nor %EMAILLOCALPART%"},
        {"two log-on names", Config(kPop3Tls, with(kSmtpTls, [](ServerText& s) { s.user = "%EMAILLOCALPART%"; })),
         "SMTP log-on name \"%EMAILLOCALPART%\" differs from the POP3 log-on name \"%EMAILADDRESS%\", and the mail "
         "clients sign on to both with one name"},
        {"POP3 STARTTLS", Config(ServerText{"pop.example.net", "110", "STARTTLS"}, kSmtpTls),
         "POP3 over STARTTLS on port 110, which the mail clients cannot connect to"},
        {"SMTP TLS not on 465", Config(kPop3Tls, ServerText{"smtp.example.net", "587", "SSL"}),
         "SMTP over SSL on port 587, which the mail clients cannot connect to"},
        {"SMTP STARTTLS on 465", Config(kPop3Tls, ServerText{"smtp.example.net", "465", "STARTTLS"}),
         "SMTP over STARTTLS on port 465, which the mail clients cannot connect to"},
    };
    for (const Case& c : cases) {
        const auto result = CClientConfigImporter::Import(c.config);
        EXPECT_EQ(result.problem, c.problem) << c.what;
        EXPECT_TRUE(result.records.empty()) << c.what;
    }
}

TEST(CClientConfigImporter, SecureFlagByProtocolSocketAndPort) {
    using Socket = CClientConfig::Socket;
    const struct Case {
        bool incoming;
        Socket socket;
        int port;
        std::optional<bool> flag;
    } cases[] = {
        {true, Socket::Tls, 995, true},       {true, Socket::Tls, 993, true},
        {true, Socket::Plain, 110, false},    {true, Socket::StartTls, 110, std::nullopt},
        {false, Socket::Tls, 465, true},      {false, Socket::Tls, 587, std::nullopt},
        {false, Socket::StartTls, 587, true}, {false, Socket::StartTls, 25, true},
        {false, Socket::StartTls, 465, std::nullopt}, {false, Socket::Plain, 25, false},
        {false, Socket::Plain, 465, false},
    };
    for (const Case& c : cases) {
        CClientConfig::Server server;
        server.socket = c.socket;
        server.port = c.port;
        EXPECT_EQ(CClientConfigImporter::SecureFlagOf(server, c.incoming), c.flag)
            << (c.incoming ? "POP3 " : "SMTP ") << CClientConfig::SocketName(c.socket) << " " << c.port;
    }
}

TEST(CClientConfigImporter, ImportForMakesOneRecordForTheAddresssDomainAlone) {
    ServerText pop3 = kPop3Tls, smtp = kSmtpTls;
    pop3.host = "pop.%EMAILDOMAIN%";
    const struct {
        const char* domain;
        const char* pop3Server;
    } cases[] = {
        {"example.org", "pop.example.org"},    // one of the file's domains
        {"company.test", "pop.company.test"},  // a domain the file does not list
    };
    for (const auto& c : cases) {
        const auto result = CClientConfigImporter::ImportFor(Config(pop3, smtp), c.domain);
        ASSERT_EQ(result.problem, "") << c.domain;
        ASSERT_EQ(result.records.size(), 1u) << c.domain;
        EXPECT_EQ(result.records[0]->m_domains, std::vector<std::string>{c.domain});
        EXPECT_EQ(result.records[0]->m_pop3Server, c.pop3Server);
        EXPECT_EQ(result.records[0]->m_smtpServer, "smtp.example.net");
        EXPECT_EQ(result.records[0]->m_name, "Example Mail");
    }
    ServerText imap = kPop3Tls;
    const auto noPop3 = CClientConfigImporter::ImportFor(
        CClientConfig::Parse("<clientConfig version=\"1.1\"><emailProvider id=\"x\"><domain>example.net</domain>" +
                             ServerXml("incomingServer", "imap", imap) + ServerXml("outgoingServer", "smtp", kSmtpTls) +
                             "</emailProvider></clientConfig>"),
        "company.test");
    EXPECT_EQ(noPop3.problem, "no POP3 server");
    EXPECT_TRUE(noPop3.records.empty());
}
