// Account.prf for a table of accounts: the template's bytes with the values in place.
#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "testlib/AccountFixture.h"
#include "testlib/ScopedEnv.h"
#include "testlib/TempFolder.h"
#include "writers/CPRFFile.h"

namespace mailwright {
namespace {

using testing::MakeProvider;
using testing::ScopedEnv;
using testing::ScopedPrefixlessSession;

std::string ReadSourceFile(const std::string& relative) {
    std::ifstream in(std::string(MW_SOURCE_DIR) + "/" + relative, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The template with each placeholder replaced by the value given for it.
std::string Filled(std::string text, const std::map<std::string, std::string>& values) {
    for (const auto& [placeholder, value] : values) {
        const size_t at = text.find(placeholder);
        EXPECT_NE(at, std::string::npos) << placeholder;
        if (at != std::string::npos) text.replace(at, placeholder.size(), value);
    }
    EXPECT_EQ(text.find('{'), std::string::npos) << "a placeholder was left";
    return text;
}

struct Case {
    const char* name;
    const char* profile;
    const char* displayName;
    const char* address;
    mailwright::testing::ProviderSettings settings;  // listed flat, in its member order
    const char* typed;
    // The values that depend on the account.
    std::map<std::string, std::string> expected;
};

TEST(CPRFFileTable, TheTemplateWithTheAccountsValues) {
    const std::string templ = ReadSourceFile("data/template.prf");
    ASSERT_EQ(templ.size(), 1508u);
    const std::map<std::string, std::string> fixed = {
        {"{def_prof}", "No"},          {"{overwrite_prof}", "Append"}, {"{modif_def_prof_pres}", "FALSE"},
        {"{unique_serv}", "No"},       {"{use_spa}", "0"},             {"{reply_email}", ""},
        {"{smtp_auth_method}", "0"},   {"{connection_type}", "0"},     {"{leave_on_serv}", "0x0"},
        {"{connection_oid}", "FALSE"}, {"{time_out}", "60"},
    };
    const Case cases[] = {
        {"secure servers", "Outlook", "Jan Kowalski", "jan@example.com", 995, 1, 465, 1, 1, true, 0, "",
         {{"{prof_name}", "Outlook"}, {"{account_name}", "jan@example.com"}, {"{pop3_name}", "jan@example.com"},
          {"{email_addr}", "jan@example.com"}, {"{disp_name}", "Jan Kowalski"}, {"{smtp_auth}", "2"},
          {"{pop3_port}", "995"}, {"{pop3_ssl}", "1"}, {"{smtp_port}", "465"}, {"{smtp_ssl}", "1"}}},
        {"plain servers, local part", "Home Mail", "ann", "ann@example.com", 110, 0, 25, 0, 0, false, 0, "",
         {{"{prof_name}", "Home Mail"}, {"{account_name}", "ann@example.com"}, {"{pop3_name}", "ann"},
          {"{email_addr}", "ann@example.com"}, {"{disp_name}", "ann"}, {"{smtp_auth}", "0"},
          {"{pop3_port}", "110"}, {"{pop3_ssl}", "0"}, {"{smtp_port}", "25"}, {"{smtp_ssl}", "0"}}},
        // The program's text is UTF-8; without a prefix and in the C locale the file is in Windows-1252.
        {"typed name, odd flags", "Work", "Zo\xC3\xAB M\xC3\xBCller", "zoe@example.com", 995, 5, 587, -1, 3, true, 1, "zm01",
         {{"{prof_name}", "Work"}, {"{account_name}", "zoe@example.com"}, {"{pop3_name}", "zm01"},
          {"{email_addr}", "zoe@example.com"}, {"{disp_name}", "Zo\xEB M\xFCller"}, {"{smtp_auth}", "2"},
          {"{pop3_port}", "995"}, {"{pop3_ssl}", "1"}, {"{smtp_port}", "587"}, {"{smtp_ssl}", "1"}}},
        {"line breaks become spaces", "Two\r\nLines", "Evil\r\n[General]\nCustom=0", "eve@example.com", 995, 1, 465,
         1, 1, false, 1, "eve\rname",
         {{"{prof_name}", "Two Lines"}, {"{account_name}", "eve@example.com"}, {"{pop3_name}", "eve name"},
          {"{email_addr}", "eve@example.com"}, {"{disp_name}", "Evil [General] Custom=0"}, {"{smtp_auth}", "2"},
          {"{pop3_port}", "995"}, {"{pop3_ssl}", "1"}, {"{smtp_port}", "465"}, {"{smtp_ssl}", "1"}}},
    };
    ScopedEnv locale("LC_ALL", "C");
    for (const Case& c : cases) {
        ScopedPrefixlessSession session;
        CRefCountPtr<CProvider> provider = MakeProvider(c.settings);
        CRefCountPtr<CAccount> account(new CAccount(c.displayName, c.address, provider));
        account->SetUserName(c.typed);
        CPRFFile file(account, c.profile);
        file.WriteProfileFile();
        std::map<std::string, std::string> values = fixed;
        values.insert(c.expected.begin(), c.expected.end());
        values["{pop3_serv}"] = "pop.example.com";
        values["{smtp_serv}"] = "smtp.example.com";
        EXPECT_EQ(session.Data().ReadFile("Mailwright/Account.prf"), Filled(templ, values)) << c.name;
        EXPECT_EQ(session.Data().ReadFile("Mailwright/template.prf"), templ) << c.name;
    }
}

}  // namespace
}  // namespace mailwright
