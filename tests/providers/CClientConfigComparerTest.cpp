// Our records against clientConfig files: each differing field, misplaced and missing domains.
#include <gtest/gtest.h>

#include <string>

#include "providers/CClientConfigComparer.h"
#include "providers/CProviderSource.h"

using namespace mailwright;

namespace {

const char* const kSource = R"(format_version = 1

[[provider]]
name = "Example"
layout = 2
domains = ["example.net", "example.org"]
pop3 = { server = "pop.example.net", port = 995, ssl = true }
smtp = { server = "smtp.example.net", port = 465, ssl = true, auth = true }
user_name_is_email = true
ask_user_name = false

[[provider]]
name = "Other"
layout = 2
domains = ["other.example", "example.com"]
pop3 = { server = "pop.other.example", port = 110, ssl = false }
smtp = { server = "smtp.other.example", port = 587, ssl = true, auth = true }
user_name_is_email = false
ask_user_name = false
)";

CClientConfig File(const std::string& domains, const std::string& servers) {
    return CClientConfig::Parse("<clientConfig version=\"1.1\"><emailProvider>" + domains + servers +
                                "</emailProvider></clientConfig>");
}

std::string Pop3(const std::string& host, const std::string& port, const std::string& socket,
                 const std::string& user = "%EMAILADDRESS%", const std::string& auth = "") {
    return "<incomingServer type=\"pop3\"><hostname>" + host + "</hostname><port>" + port + "</port><socketType>" +
           socket + "</socketType><username>" + user + "</username>" + auth + "</incomingServer>";
}

std::string Smtp(const std::string& host, const std::string& port, const std::string& socket,
                 const std::string& user = "%EMAILADDRESS%", const std::string& auth = "") {
    return "<outgoingServer type=\"smtp\"><hostname>" + host + "</hostname><port>" + port + "</port><socketType>" +
           socket + "</socketType><username>" + user + "</username>" + auth + "</outgoingServer>";
}

std::vector<std::string> Rows(const CClientConfigComparer::Result& result) {
    std::vector<std::string> rows;
    for (const ProviderDifference& d : result.differences)
        rows.push_back(d.record + " | " + d.domain + " | " + d.field + " | " + d.ours + " | " + d.theirs);
    return rows;
}

class CClientConfigComparerTest : public ::testing::Test {
protected:
    CClientConfigComparerTest() : m_db(CProviderSource::Parse(kSource, "test.toml")), m_comparer(m_db) {}
    CProviderDatabase m_db;
    CClientConfigComparer m_comparer;
};

}  // namespace

TEST_F(CClientConfigComparerTest, TheSameSettingsDifferInNothing) {
    const auto same = m_comparer.Compare(File("<domain>example.org</domain>", Pop3("POP.example.net", "995", "SSL") +
                                                                                 Smtp("smtp.example.net", "465", "SSL")));
    EXPECT_TRUE(same.concernsUs);
    EXPECT_EQ(Rows(same), std::vector<std::string>{});
    // STARTTLS on the submission port is what our flag makes the clients do there.
    const auto other = m_comparer.Compare(
        File("<domain>other.example</domain>", Pop3("pop.other.example", "110", "plain", "%EMAILLOCALPART%") +
                                                   Smtp("smtp.other.example", "587", "STARTTLS", "%EMAILLOCALPART%")));
    EXPECT_EQ(Rows(other), std::vector<std::string>{});
}

TEST_F(CClientConfigComparerTest, AFileOfNoOursConcernsNothing) {
    const auto result = m_comparer.Compare(File("<domain>unknown.example</domain>", Pop3("pop.x.example", "995", "SSL")));
    EXPECT_FALSE(result.concernsUs);
    EXPECT_TRUE(result.differences.empty());
}

TEST_F(CClientConfigComparerTest, EveryDifferingField) {
    const auto result = m_comparer.Compare(
        File("<domain>example.net</domain>",
             Pop3("pop3.example.net", "110", "STARTTLS", "%EMAILLOCALPART%", "<authentication>OAuth2</authentication>") +
                 Smtp("smtp.example.net", "587", "SSL", "%EMAILADDRESS%", "<authentication>none</authentication>")));
    EXPECT_EQ(Rows(result), (std::vector<std::string>{
                                "Example | example.net | pop3 server | pop.example.net | pop3.example.net",
                                "Example | example.net | pop3 port | 995 | 110",
                                "Example | example.net | pop3 ssl | true | STARTTLS",
                                "Example | example.net | pop3 sign-on | password | OAuth2",
                                "Example | example.net | smtp port | 465 | 587",
                                "Example | example.net | smtp ssl | true | SSL",
                                "Example | example.net | log-on name | %EMAILADDRESS% | %EMAILLOCALPART%",
                                "Example | example.net | smtp auth | true | false",
                            }));
}

TEST_F(CClientConfigComparerTest, MissingServersAndASecondLogOnName) {
    const auto noPop3 = m_comparer.Compare(File("<domain>example.net</domain>", Smtp("smtp.example.net", "465", "SSL")));
    EXPECT_EQ(Rows(noPop3), std::vector<std::string>{"Example | example.net | pop3 server | pop.example.net | (none)"});
    const auto twoNames = m_comparer.Compare(File("<domain>example.net</domain>",
                                                  Pop3("pop.example.net", "995", "SSL") +
                                                      Smtp("smtp.example.net", "465", "SSL", "%EMAILLOCALPART%")));
    EXPECT_EQ(Rows(twoNames),
              std::vector<std::string>{"Example | example.net | smtp log-on name | %EMAILADDRESS% | %EMAILLOCALPART%"});
}

TEST_F(CClientConfigComparerTest, DomainsUnderAnotherRecordAndDomainsWeLack) {
    // The file's provider is the record that holds most of its domains; "example.com"
    // sits under another record of ours, and "example.info" under none.
    const auto result = m_comparer.Compare(File(
        "<domain>example.com</domain><domain>example.net</domain><domain>example.info</domain><domain>example.org</domain>",
        Pop3("pop.example.net", "995", "SSL") + Smtp("smtp.example.net", "465", "SSL")));
    EXPECT_EQ(Rows(result), (std::vector<std::string>{
                                "Other | example.com | record | Other | Example",
                                "Other | example.com | pop3 server | pop.other.example | pop.example.net",
                                "Other | example.com | pop3 port | 110 | 995",
                                "Other | example.com | pop3 ssl | false | SSL",
                                "Other | example.com | smtp server | smtp.other.example | smtp.example.net",
                                "Other | example.com | smtp port | 587 | 465",
                                "Other | example.com | log-on name | %EMAILLOCALPART% | %EMAILADDRESS%",
                                "Example | example.info | domain | (not listed) | listed",
                            }));
}

TEST_F(CClientConfigComparerTest, HostsNamedAfterTheDomainAreComparedForEachDomain) {
    // Such a file gives one record per domain, so its domains rightly sit in several.
    const auto result = m_comparer.Compare(
        File("<domain>example.org</domain><domain>other.example</domain><domain>example.com</domain>",
             Pop3("pop.%EMAILDOMAIN%", "995", "SSL") + Smtp("smtp.example.net", "465", "SSL")));
    EXPECT_EQ(Rows(result), (std::vector<std::string>{
                                "Example | example.org | pop3 server | pop.example.net | pop.example.org",
                                "Other | other.example | pop3 port | 110 | 995",
                                "Other | other.example | pop3 ssl | false | SSL",
                                "Other | other.example | smtp server | smtp.other.example | smtp.example.net",
                                "Other | other.example | smtp port | 587 | 465",
                                "Other | other.example | log-on name | %EMAILLOCALPART% | %EMAILADDRESS%",
                            }));
}
