// The values a provider record may hold, for a downloaded database and a compiled source.
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <string>

#include "providers/CProviderDatabase.h"
#include "providers/ProviderValues.h"
#include "testlib/AccountFixture.h"

using namespace mailwright;
using namespace mailwright::testing;

namespace {

struct ValueCase {
    const char* name;
    std::function<void(CProvider&)> change;
    const char* field;  // the field named as impossible; null when the record stays possible
};

const std::string kLabel63(63, 'a');

const ValueCase kValueCases[] = {
    {"unchanged", [](CProvider&) {}, nullptr},
    {"upper case and digits", [](CProvider& p) { p.m_pop3Server = "POP3.Example-1.COM"; }, nullptr},
    {"label of 63 characters", [](CProvider& p) { p.m_smtpServer = kLabel63 + ".example.com"; }, nullptr},
    {"an address in digits", [](CProvider& p) { p.m_pop3Server = "192.0.2.1"; }, nullptr},
    {"lowest and highest port", [](CProvider& p) { p.m_pop3Port = 1, p.m_smtpPort = 65535; }, nullptr},
    {"UTF-8 and Windows-1250 texts", [](CProvider& p) { p.m_comment = "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87", p.m_altComment = "\xB9\xE6"; }, nullptr},
    {"web link in capitals", [](CProvider& p) { p.m_infoUrl = "HTTPS://example.com/help"; }, nullptr},
    {"link kept but never shown", [](CProvider& p) { p.m_altInfoUrl = "poczta.example.pl"; }, nullptr},

    {"line break after server", [](CProvider& p) { p.m_pop3Server = "pop.example.com\r\nX-Injected: 1"; }, "pop3.server"},
    {"server with a path", [](CProvider& p) { p.m_smtpServer = "smtp.example.com/evil"; }, "smtp.server"},
    {"server with a port", [](CProvider& p) { p.m_smtpServer = "smtp.example.com:25"; }, "smtp.server"},
    {"server with a user", [](CProvider& p) { p.m_pop3Server = "me@pop.example.com"; }, "pop3.server"},
    {"empty server", [](CProvider& p) { p.m_pop3Server = ""; }, "pop3.server"},
    {"one label", [](CProvider& p) { p.m_pop3Server = "localhost"; }, "pop3.server"},
    {"label of 64 characters", [](CProvider& p) { p.m_smtpServer = kLabel63 + "a.example.com"; }, "smtp.server"},
    {"254 characters", [](CProvider& p) { p.m_smtpServer = kLabel63 + "." + kLabel63 + "." + kLabel63 + "." + std::string(62, 'b'); }, "smtp.server"},
    {"empty label", [](CProvider& p) { p.m_pop3Server = "pop..example.com"; }, "pop3.server"},
    {"trailing dot", [](CProvider& p) { p.m_pop3Server = "pop.example.com."; }, "pop3.server"},
    {"leading hyphen", [](CProvider& p) { p.m_pop3Server = "-pop.example.com"; }, "pop3.server"},
    {"underscore", [](CProvider& p) { p.m_pop3Server = "pop_3.example.com"; }, "pop3.server"},
    {"blank", [](CProvider& p) { p.m_pop3Server = "pop example.com"; }, "pop3.server"},
    {"not ASCII", [](CProvider& p) { p.m_pop3Server = "p\xC3\xB3p.example.com"; }, "pop3.server"},
    {"port 0", [](CProvider& p) { p.m_pop3Port = 0; }, "pop3.port"},
    {"port 65536", [](CProvider& p) { p.m_smtpPort = 65536; }, "smtp.port"},
    {"negative port", [](CProvider& p) { p.m_smtpPort = -25; }, "smtp.port"},
    {"escape in the name", [](CProvider& p) { p.m_name = "Mail\x1B[31m"; }, "name"},
    {"line break in the comment", [](CProvider& p) { p.m_comment = "one\ntwo"; }, "comment"},
    {"tab in a first copy", [](CProvider& p) { p.m_altUserNamePrompt = "a\tb"; }, "alt_user_name_prompt"},
    {"DEL in the prompt", [](CProvider& p) { p.m_userNamePrompt = "Login\x7F"; }, "user_name_prompt"},
    {"file link", [](CProvider& p) { p.m_infoUrl = "file:///etc/passwd"; }, "info_url"},
    {"script link", [](CProvider& p) { p.m_infoUrl = "javascript:alert(1)"; }, "info_url"},
    {"no domain", [](CProvider& p) { p.m_domains.clear(); }, "domains"},
    {"empty domain", [](CProvider& p) { p.m_domains.push_back(""); }, "domains"},
    {"domain of one label", [](CProvider& p) { p.m_domains = {"example"}; }, "domains"},
    {"domain with a blank", [](CProvider& p) { p.m_domains = {"example.com", "ex ample.com"}; }, "domains"},
};

class ProviderValuesTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(ProviderValuesTest, NamesTheFirstImpossibleValue) {
    const ValueCase& c = GetParam();
    CRefCountPtr<CProvider> provider = MakeProvider();
    c.change(*provider);
    const auto impossible = FindImpossibleValue(*provider);
    if (!c.field) {
        EXPECT_FALSE(impossible) << impossible->Describe();
        return;
    }
    ASSERT_TRUE(impossible);
    EXPECT_EQ(impossible->field, c.field) << impossible->Describe();
    EXPECT_EQ(impossible->Describe().find_first_of("\r\n\x1B\x7F"), std::string::npos)
        << "the message shows no control character";

    // A complete database that holds the record after a good one may not replace providers.lst.
    if (provider->m_domains.empty()) return;  // the format cannot carry such a record at all
    const std::string bad = DatabaseBytes({MakeProvider(), provider});
    EXPECT_TRUE(CProviderDatabase::IsCompleteDatabase(bad.data(), bad.size()));
    EXPECT_FALSE(CProviderDatabase::IsAcceptableDatabase(bad.data(), bad.size()));
}

INSTANTIATE_TEST_SUITE_P(Values, ProviderValuesTest, ::testing::ValuesIn(kValueCases), [](const auto& info) {
    std::string name = info.param.name;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
});

TEST(ProviderValues, AcceptableDatabasesAreCompleteOnes) {
    const std::string good = BuildDatabase({"example.com", "example.net"});
    EXPECT_TRUE(CProviderDatabase::IsAcceptableDatabase(good.data(), good.size()));
    EXPECT_FALSE(CProviderDatabase::IsAcceptableDatabase(good.data(), good.size() - 1));
    EXPECT_FALSE(CProviderDatabase::IsAcceptableDatabase(nullptr, 0));
}

}  // namespace
