// The clientConfig reader: what it takes from a file, and the files it refuses.
#include <gtest/gtest.h>

#include <string>

#include "providers/CClientConfig.h"

using namespace mailwright;

namespace {

// A clientConfig file around the given emailProvider content.
std::string File(const std::string& provider, const std::string& version = "1.1") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<clientConfig version=\"" + version +
           "\">\n  <emailProvider id=\"example.net\">\n" + provider + "  </emailProvider>\n</clientConfig>\n";
}

std::string Server(const std::string& element, const std::string& type, const std::string& host,
                   const std::string& port, const std::string& socket, const std::string& extra = "") {
    return "<" + element + " type=\"" + type + "\"><hostname>" + host + "</hostname><port>" + port +
           "</port><socketType>" + socket + "</socketType>" + extra + "</" + element + ">\n";
}

const std::string kGoodServers =
    Server("incomingServer", "pop3", "pop.example.net", "995", "SSL", "<username>%EMAILADDRESS%</username>") +
    Server("outgoingServer", "smtp", "smtp.example.net", "587", "STARTTLS", "<username>%EMAILADDRESS%</username>");

}  // namespace

TEST(CClientConfig, ReadsTheFirstPop3AndSmtpServerAndEveryDomain) {
    const std::string file = File(
        "<domain>Example.NET</domain>\n<domain> example.org </domain>\n<domain>example.net</domain>\n"
        "<displayName> Example Mail </displayName>\n" +
        Server("incomingServer", "imap", "imap.example.net", "993", "SSL") +
        Server("incomingServer", "POP3", "POP.Example.net", " 995 ", "ssl",
               "<username>%EMAILLOCALPART%</username><authentication>OAuth2</authentication>"
               "<authentication>password-cleartext</authentication>") +
        Server("incomingServer", "pop3", "pop2.example.net", "110", "plain") +
        Server("outgoingServer", "smtp", "%EMAILDOMAIN%", "25", "plain", "<authentication>none</authentication>"));
    const CClientConfig c = CClientConfig::Parse(file);
    ASSERT_TRUE(c.IsUsable()) << c.GetProblem();
    EXPECT_EQ(c.GetId(), "example.net");
    EXPECT_EQ(c.GetDisplayName(), "Example Mail");
    EXPECT_EQ(c.GetDomains(), (std::vector<std::string>{"example.net", "example.org"}));
    ASSERT_TRUE(c.GetPop3());
    EXPECT_EQ(c.GetPop3()->hostname, "pop.example.net");
    EXPECT_EQ(c.GetPop3()->port, 995);
    EXPECT_EQ(c.GetPop3()->socket, CClientConfig::Socket::Tls);
    EXPECT_EQ(c.GetPop3()->userName, "%EMAILLOCALPART%");
    EXPECT_EQ(c.GetPop3()->authentication, (std::vector<std::string>{"OAuth2", "password-cleartext"}));
    EXPECT_TRUE(c.GetPop3()->AcceptsPassword());
    ASSERT_TRUE(c.GetSmtp());
    EXPECT_EQ(c.GetSmtp()->hostname, "%EMAILDOMAIN%");
    EXPECT_EQ(c.GetSmtp()->socket, CClientConfig::Socket::Plain);
    EXPECT_FALSE(c.GetSmtp()->WantsSignOn());
}

TEST(CClientConfig, AFileWithoutPop3OrSmtpIsStillUsable) {
    const CClientConfig c = CClientConfig::Parse(
        File("<domain>example.net</domain>" + Server("incomingServer", "imap", "imap.example.net", "993", "SSL")));
    ASSERT_TRUE(c.IsUsable()) << c.GetProblem();
    EXPECT_FALSE(c.GetPop3());
    EXPECT_FALSE(c.GetSmtp());
}

TEST(CClientConfig, SignOnMethods) {
    struct Case {
        std::vector<std::string> methods;
        bool password;
        bool signOn;
    } cases[] = {
        {{}, true, true},
        {{"password-cleartext"}, true, true},
        {{"password-encrypted"}, true, true},
        {{"OAuth2"}, false, true},
        {{"OAuth2", "plain"}, true, true},
        {{"NTLM", "GSSAPI"}, false, true},
        {{"none"}, false, false},
        {{"client-IP-address", "none"}, false, false},
    };
    for (const Case& c : cases) {
        CClientConfig::Server server;
        server.authentication = c.methods;
        EXPECT_EQ(server.AcceptsPassword(), c.password) << server.AuthenticationText();
        EXPECT_EQ(server.WantsSignOn(), c.signOn) << server.AuthenticationText();
    }
}

TEST(CClientConfig, RefusesImpossibleFilesAndSaysWhy) {
    const std::string domain = "<domain>example.net</domain>\n";
    const struct Case {
        std::string file;
        std::string problem;
    } cases[] = {
        {"", "not well-formed XML at byte 0: No document element found"},
        {"<clientConfig version=\"1.1\"><emailProvider>", "not well-formed XML at byte 42: Start-end tags mismatch"},
        {"<html/>", "the document is not a clientConfig"},
        {File(domain + kGoodServers, "2.0"), "clientConfig version \"2.0\" is not 1.1"},
        {"<clientConfig version=\"1.1\"/>", "clientConfig has no emailProvider"},
        {File(kGoodServers), "emailProvider lists no domain"},
        {File("<domain>localhost</domain>" + kGoodServers), "domain \"localhost\" is not a mail domain"},
        {File("<domain>exa mple.net</domain>" + kGoodServers), "domain \"exa mple.net\" is not a mail domain"},
        {File("<domain>*.example.net</domain>" + kGoodServers), "domain \"*.example.net\" is not a mail domain"},
        {File("<domain>m\xC3\xBCller.de</domain>" + kGoodServers), "domain \"m\xC3\xBCller.de\" is not a mail domain"},
        {File(domain + Server("incomingServer", "pop3", "pop.example.net", "0", "SSL")),
         "POP3 server: port \"0\" is not a port number from 1 to 65535"},
        {File(domain + Server("incomingServer", "pop3", "pop.example.net", "65536", "SSL")),
         "POP3 server: port \"65536\" is not a port number from 1 to 65535"},
        {File(domain + Server("incomingServer", "pop3", "pop.example.net", "-995", "SSL")),
         "POP3 server: port \"-995\" is not a port number from 1 to 65535"},
        {File(domain + Server("incomingServer", "pop3", "pop.example.net", "9950000000000", "SSL")),
         "POP3 server: port \"9950000000000\" is not a port number from 1 to 65535"},
        {File(domain + Server("incomingServer", "pop3", "pop.example.net", "99x", "SSL")),
         "POP3 server: port \"99x\" is not a port number from 1 to 65535"},
        {File(domain + Server("outgoingServer", "smtp", "smtp.example.net", "", "SSL")),
         "SMTP server: port \"\" is not a port number from 1 to 65535"},
        {File(domain + Server("incomingServer", "pop3", "pop.example.net", "995", "TLS")),
         "POP3 server: socketType \"TLS\" is none of plain, STARTTLS, SSL"},
        {File(domain + Server("incomingServer", "pop3", "", "995", "SSL")), "POP3 server: hostname \"\" is not a host name"},
        {File(domain + Server("incomingServer", "pop3", "pop..example.net", "995", "SSL")),
         "POP3 server: hostname \"pop..example.net\" is not a host name"},
        {File(domain + Server("incomingServer", "pop3", "-pop.example.net", "995", "SSL")),
         "POP3 server: hostname \"-pop.example.net\" is not a host name"},
        {File(domain + Server("incomingServer", "pop3", "pop_3.example.net", "995", "SSL")),
         "POP3 server: hostname \"pop_3.example.net\" is not a host name"},
        {File(domain + Server("incomingServer", "pop3", std::string(64, 'a') + ".net", "995", "SSL")),
         "POP3 server: hostname \"" + std::string(60, 'a') + "...\" is not a host name"},
        {File(domain + Server("incomingServer", "pop3", "%EMAILLOCALPART%.example.net", "995", "SSL")),
         "POP3 server: hostname \"%EMAILLOCALPART%.example.net\" is not a host name"},
        {File(domain + Server("incomingServer", "pop3", "pop.example.net\x01", "995", "SSL")),
         "POP3 server: hostname \"pop.example.net?\" is not a host name"},
    };
    for (const Case& c : cases) {
        const CClientConfig config = CClientConfig::Parse(c.file);
        EXPECT_FALSE(config.IsUsable()) << c.file;
        EXPECT_EQ(config.GetProblem(), c.problem) << c.file;
        EXPECT_TRUE(config.GetDomains().empty());
        EXPECT_FALSE(config.GetPop3());
    }
}

TEST(CClientConfig, HostilePiecesAreHarmless) {
    // Entities of a document type are never expanded, and deep nesting is just data.
    const std::string entities =
        "<!DOCTYPE clientConfig [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]>" +
        File("<domain>example.net</domain><displayName>&b;</displayName>" + kGoodServers);
    const CClientConfig c = CClientConfig::Parse(entities);
    ASSERT_TRUE(c.IsUsable()) << c.GetProblem();
    EXPECT_EQ(c.GetDisplayName().find("aaaa"), std::string::npos);

    std::string deep = "<clientConfig version=\"1.1\"><emailProvider><domain>example.net</domain>";
    for (int i = 0; i < 100000; ++i) deep += "<x>";
    for (int i = 0; i < 100000; ++i) deep += "</x>";
    deep += "</emailProvider></clientConfig>";
    EXPECT_TRUE(CClientConfig::Parse(deep).IsUsable()) << CClientConfig::Parse(deep).GetProblem();

    const std::string large = File("<domain>example.net</domain>" + kGoodServers + std::string(CClientConfig::kMaxSize, ' '));
    EXPECT_EQ(CClientConfig::Parse(large).GetProblem(), "larger than 1048576 bytes");

    const std::string nul("<clientConfig version=\"1.1\">\0</clientConfig>", 44);
    EXPECT_FALSE(CClientConfig::Parse(nul).IsUsable());
}

TEST(CClientConfig, ReadsUtf16AndLatin1Files) {
    const std::string utf8 = File("<domain>example.net</domain><displayName>Caf\xC3\xA9</displayName>" + kGoodServers);
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("<?xml version=\"1.0\" encoding=\"UTF-16\"?>") + utf8.substr(utf8.find('\n'))) {
        if (c == '\xC3') continue;  // the only non-ASCII character: e-acute
        utf16 += (c == '\xA9') ? '\xE9' : c;
        utf16 += '\0';
    }
    const CClientConfig fromUtf16 = CClientConfig::Parse(utf16);
    ASSERT_TRUE(fromUtf16.IsUsable()) << fromUtf16.GetProblem();
    EXPECT_EQ(fromUtf16.GetDisplayName(), "Caf\xC3\xA9");

    std::string latin1 = utf8;
    latin1.replace(latin1.find("UTF-8"), 5, "ISO-8859-1");
    latin1.replace(latin1.find("\xC3\xA9"), 2, "\xE9");
    const CClientConfig fromLatin1 = CClientConfig::Parse(latin1);
    ASSERT_TRUE(fromLatin1.IsUsable()) << fromLatin1.GetProblem();
    EXPECT_EQ(fromLatin1.GetDisplayName(), "Caf\xC3\xA9");
}
