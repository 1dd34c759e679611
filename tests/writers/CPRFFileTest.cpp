#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "account/CAccount.h"
#include "support/StringTable.h"
#include "support/VeskException.h"
#include "writers/CPRFFile.h"
#include "testlib/AccountFixture.h"
#include "testlib/ScopedEnv.h"
#include "testlib/TempFolder.h"
#include "testlib/TempWinePrefix.h"

using namespace mailwright;
using namespace mailwright::testing;

namespace {

struct AccountSpec {
    std::string displayName = "John Smith";
    std::string email = "john@example.com";
    std::string typedName;
    mailwright::testing::ProviderSettings provider;
};

CRefCountPtr<CAccount> AccountFor(const AccountSpec& spec) {
    CRefCountPtr<CAccount> account = mailwright::testing::MakeAccount(
        spec.displayName, spec.email, mailwright::testing::MakeProvider(spec.provider));
    account->SetUserName(spec.typedName);
    return account;
}

// The profile as written, for an account and profile name.
std::string WriteProfile(const ScopedPrefixlessSession& session, const AccountSpec& spec,
                         const std::string& profile = "Outlook") {
    CPRFFile file(AccountFor(spec), profile);
    file.WriteProfileFile();
    return session.Data().ReadFile("Mailwright/Account.prf");
}

std::string Line(const std::string& text, const std::string& key) {
    const size_t at = text.find("\r\n" + key + "=");
    if (at == std::string::npos) return "<missing>";
    const size_t start = at + 2;
    return text.substr(start, text.find("\r\n", start) - start);
}

}  // namespace

TEST(CPRFFile, WritesTheTemplateWithTheValuesInPlace) {
    ScopedPrefixlessSession session;
    const std::string expected =
        "[General]\r\nCustom=1\r\nProfileName=Outlook\r\nDefaultProfile=No\r\nOverwriteProfile=Append\r\n"
        "ModifyDefaultProfileIfPresent=FALSE\r\nBackupProfile=No\r\n\r\n[Internet Account List]\r\n"
        "Account1=I_Mail\r\n\r\n[Account1]\r\nUniqueService=No\r\nAccountName=john@example.com\r\n"
        "POP3Server=pop.example.com\r\nSMTPServer=smtp.example.com\r\nPOP3UserName=john@example.com\r\n"
        "EmailAddress=john@example.com\r\nPOP3UseSPA=0\r\nDisplayName= John Smith\r\nReplyEMailAddress=\r\n"
        "SMTPUseAuth=2\r\nSMTPAuthMethod=0\r\nConnectionType=0\r\nLeaveOnServer=0x0\r\nConnectionOID=FALSE\r\n"
        "POP3Port=995\r\nPOP3UseSSL=1\r\nServerTimeOut=60\r\nSMTPPort=465\r\nSMTPUseSSL=1\r\n\r\n[I_Mail]\r\n"
        "AccountType=POP3\r\n;--- POP3 Account Settings ---\r\nAccountName=PT_UNICODE,0x0002\r\n"
        "DisplayName=PT_UNICODE,0x000B\r\nEmailAddress=PT_UNICODE,0x000C\r\n;--- POP3 Account Settings ---\r\n"
        "POP3Server=PT_UNICODE,0x0100\r\nPOP3UserName=PT_UNICODE,0x0101\r\nPOP3UseSPA=PT_LONG,0x0108\r\n"
        "Organization=PT_UNICODE,0x0107\r\nReplyEmailAddress=PT_UNICODE,0x0103\r\nPOP3Port=PT_LONG,0x0104\r\n"
        "POP3UseSSL=PT_LONG,0x0105\r\n; --- SMTP Account Settings ---\r\nSMTPServer=PT_UNICODE,0x0200\r\n"
        "SMTPUseAuth=PT_LONG,0x0203\r\nSMTPAuthMethod=PT_LONG,0x0208\r\nSMTPUserName=PT_UNICODE,0x0204\r\n"
        "SMTPUseSPA=PT_LONG,0x0207\r\nConnectionType=PT_LONG,0x000F\r\nConnectionOID=PT_UNICODE,0x0010\r\n"
        "SMTPPort=PT_LONG,0x0201\r\nSMTPUseSSL=PT_LONG,0x0202\r\nServerTimeOut=PT_LONG,0x0209\r\n"
        "LeaveOnServer=PT_LONG,0x1000\r\n\r\n\r\n";
    EXPECT_EQ(WriteProfile(session, {}), expected);
    EXPECT_EQ(session.Data().ReadFile("Mailwright/template.prf").size(), 1508u);
}

TEST(CPRFFile, AccountValuesByCase) {
    ScopedPrefixlessSession session;
    const struct {
        const char* name;
        void (*change)(AccountSpec&);
        const char* key;
        const char* line;
    } cases[] = {
        {"no SMTP authentication", [](AccountSpec& a) { a.provider.smtpAuth = 0; }, "SMTPUseAuth", "SMTPUseAuth=0"},
        {"any non-zero SSL value", [](AccountSpec& a) { a.provider.pop3Ssl = 7; }, "POP3UseSSL", "POP3UseSSL=1"},
        {"no SMTP SSL", [](AccountSpec& a) { a.provider.smtpSsl = 0, a.provider.smtpPort = 587; }, "SMTPUseSSL", "SMTPUseSSL=0"},
        {"plain POP3 port", [](AccountSpec& a) { a.provider.pop3Ssl = 0, a.provider.pop3Port = 110; }, "POP3Port", "POP3Port=110"},
        {"empty display name", [](AccountSpec& a) { a.displayName = ""; }, "DisplayName", "DisplayName= "},
        {"local part as user name", [](AccountSpec& a) { a.provider.userNameIsEmail = false; }, "POP3UserName", "POP3UserName=john"},
        {"typed name wins", [](AccountSpec& a) { a.typedName = "jsmith", a.provider.askUserName = 1; }, "POP3UserName", "POP3UserName=jsmith"},
        {"line breaks become spaces", [](AccountSpec& a) { a.displayName = "John\r\nSmith\nJr"; }, "DisplayName", "DisplayName= John Smith Jr"},
        {"later placeholders in a value are filled", [](AccountSpec& a) { a.displayName = "port {smtp_port}"; }, "DisplayName",
         "DisplayName= port 465"},
        {"earlier placeholders in a value stay", [](AccountSpec& a) { a.displayName = "{email_addr}"; }, "DisplayName",
         "DisplayName= {email_addr}"},
    };
    for (const auto& c : cases) {
        AccountSpec spec;
        c.change(spec);
        const std::string text = WriteProfile(session, spec);
        EXPECT_EQ(Line(text, c.key), c.line) << c.name;
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 60) << c.name;
    }
    EXPECT_EQ(Line(WriteProfile(session, {}, "{email_addr}"), "ProfileName"), "ProfileName=john@example.com");
}

TEST(CPRFFile, NoAccountIsRefused) {
    try {
        CPRFFile file(CRefCountPtr<CAccount>(), "Outlook");
        FAIL() << "no exception";
    } catch (const Error::VeskExceptionText& e) {
        EXPECT_EQ(e.GetMessageText(), LoadString(IDS_ERR_ACCOUNT_DATA));
        EXPECT_EQ(e.GetFile(), "PRFFile");
        EXPECT_EQ(e.GetFunction(), "CPRFFile::CPRFFile");
        EXPECT_EQ(e.GetLine(), 8);
    }
}

TEST(CPRFFile, FilesThatCannotBeWritten) {
    const struct {
        const char* inTheWay;
        const char* text;
    } cases[] = {
        {"Mailwright/template.prf/x", "Could not create an account in MS Outlook.\nCannot extract template.prf from resources."},
        {"Mailwright/Account.prf/x", "Could not create an account in MS Outlook.\nIncorrect path to settings file."},
    };
    for (const auto& c : cases) {
        ScopedPrefixlessSession session;
        session.Data().WriteFile(c.inTheWay, "a folder stands where the file goes");
        CPRFFile file(AccountFor({}), "Outlook");
        try {
            file.WriteProfileFile();
            ADD_FAILURE() << "no exception for " << c.inTheWay;
        } catch (const Error::VeskExceptionText& e) {
            EXPECT_EQ(e.GetMessageText(), c.text);
            EXPECT_EQ(e.GetFile(), "");
            EXPECT_EQ(e.GetLine(), 0);
        }
        // No account file: the template's failure stops before Account.prf is written.
        EXPECT_FALSE(std::filesystem::is_regular_file(session.Data().Sub("Mailwright/Account.prf"))) << c.inTheWay;
    }
}

// Outlook reads a profile file without a byte-order mark in the prefix's ANSI code page:
// the "ACP" value that Wine writes from its locale, else the code page of this process's
// locale, else 1252. What the code page lacks becomes "?".
TEST(CPRFFile, IsWrittenInThePrefixsAnsiCodePage) {
    const struct {
        const char* acp;     // nullptr: the prefix has no value
        const char* locale;  // LC_ALL
        const char* displayName;
        const char* profileName;
    } cases[] = {
        {"1250", "C.UTF-8", "DisplayName= Za\xBF\xF3\xB3\xE6 Ja\xF1 \x80", "ProfileName=Pi\xB3ka"},
        {"1252", "pl_PL.UTF-8", "DisplayName= Za?\xF3?? Ja? \x80", "ProfileName=Pi?ka"},
        {nullptr, "pl_PL.UTF-8", "DisplayName= Za\xBF\xF3\xB3\xE6 Ja\xF1 \x80", "ProfileName=Pi\xB3ka"},
        {nullptr, "C", "DisplayName= Za?\xF3?? Ja? \x80", "ProfileName=Pi?ka"},
        {"no number", "C", "DisplayName= Za?\xF3?? Ja? \x80", "ProfileName=Pi?ka"},
    };
    for (const auto& c : cases) {
        TempWinePrefix prefix;
        std::string keys = TempWinePrefix::SystemKeys(WindowsRelease::Win7, true);
        if (c.acp)
            keys += std::string("\n[System\\\\ControlSet001\\\\Control\\\\Nls\\\\Codepage] 0\n\"ACP\"=\"") + c.acp +
                    "\"\n\"OEMCP\"=\"437\"\n";
        prefix.WriteSystemHive(keys);
        ScopedPrefixSession session(prefix);
        ScopedEnv locale("LC_ALL", c.locale);
        AccountSpec spec;
        spec.displayName = "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 Ja\xC5\x84 \xE2\x82\xAC";  // "Zażółć Jań €"
        CPRFFile file(AccountFor(spec), "Pi\xC5\x82ka");
        file.WriteProfileFile();
        const std::string text = prefix.Folder().ReadFile("drive_c/users/tester/AppData/Roaming/Mailwright/Account.prf");
        const std::string where = std::string(c.acp ? c.acp : "no ACP") + ", " + c.locale;
        EXPECT_EQ(Line(text, "DisplayName"), c.displayName) << where;
        EXPECT_EQ(Line(text, "ProfileName"), c.profileName) << where;
    }
}
