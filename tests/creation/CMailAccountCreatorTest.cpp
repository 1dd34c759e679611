#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <optional>

#include "BuildConfig.h"
#include "creation/CMailAccountCreator.h"
#include "detection/CMailClientChecker.h"
#include "registry/MemoryRegistry.h"
#include "support/MailClientKind.h"
#include "testlib/AccountFixture.h"
#include "support/VeskBackgroundTask.h"
#include "testlib/FakeProcessList.h"
#include "testlib/Latch.h"
#include "testlib/LocalDiscovery.h"
#include "testlib/MemorySession.h"
#include "testlib/RecordingUserInterface.h"
#include "testlib/RegistryFixture.h"
#include "testlib/ScopedEnv.h"
#include "testlib/TestMailServer.h"
#include "support/StringTable.h"

namespace mailwright {
namespace {

using namespace testing;

const std::string kManager = "Software\\Microsoft\\Internet Account Manager";
const std::string kFirstAccount = kManager + "\\Accounts\\00000001";
const std::string kCreated = "Your account has been created successfully.";
const std::string kPassword =
    "When sending or receiving messages for the first time you will be asked to provide a password.";
const std::string kComment = "Log in with your full address.";
const std::string kUnknownProvider =
    "Unfortunately the program has not identified the email address and cannot configure the account.\n\n"
    "If your account is hosted by a popular public provider, contact us by sending an email to " MAILWRIGHT_SUPPORT_EMAIL
    " and provide the name of the provider. We will do our best to add the provider to the data base.";
const unsigned kErrorStyle = MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST;

CRefCountPtr<CProvider> NamedProvider(const char* name, std::vector<std::string> domains) {
    CRefCountPtr<CProvider> provider = MakeProvider();
    provider->m_name = name;
    provider->m_domains = std::move(domains);
    return provider;
}

class CreatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteIdentity(m_memory, kMainIdentity, 1);
        CRefCountPtr<CProvider> example = NamedProvider("Example", {"example.com"});
        example->m_comment = kComment;
        example->m_infoUrl = "https://example.com/mail-help";
        CRefCountPtr<CProvider> host = NamedProvider("home.pl", {"home.pl"});
        host->m_pop3Server = host->m_smtpServer = "home.pl";
        CRefCountPtr<CProvider> asking = NamedProvider("Asking", {"ask.example"});
        asking->m_askUserName = 1;
        asking->m_userNamePrompt = "Your customer number:";
        CRefCountPtr<CProvider> books = NamedProvider("Books", {"xn--bcher-kva.example", "xn--strae-oqa.example"});
        books->m_pop3Server = "pop.xn--bcher-kva.example";
        WriteProviderDatabase({example, host, asking, books});
    }

    // Discovery asks only the test's own servers.
    bool Create(const std::string& address, const std::string& name, std::int32_t client = MailClientOutlookExpress,
                bool silent = false) {
        CMailAccountCreator creator(address, name, silent);
        DiscoverySettings settings = m_net.Settings(std::chrono::milliseconds(1500));
        settings.connectTo = m_connectTo;
        creator.SetDiscoverySettings(settings);
        return creator.Create(client);
    }
    StoredValue Get(const std::string& path, const char* name) {
        return ReadStored(m_memory, HKEY_CURRENT_USER, path, name);
    }
    std::string DefaultAccountKey() {
        CRegistryKey manager(m_memory);
        std::string name;
        EXPECT_EQ(ERROR_SUCCESS, manager.OpenKey(HKEY_CURRENT_USER, kManager.c_str(), KEY_READ));
        EXPECT_EQ(ERROR_SUCCESS, manager.ReadString("Default Mail Account", name, 16));
        return kManager + "\\Accounts\\" + name;
    }
    bool NothingWritten() { return Get(kManager, "Account Name").code == ERROR_FILE_NOT_FOUND; }
    const std::vector<UiCall>& Calls() { return m_ui->Calls(); }

    std::shared_ptr<MemoryRegistry> m_memory = std::make_shared<MemoryRegistry>();
    ScopedMemorySession m_session{WindowsVersion(5, 1), m_memory};
    ScopedRecordingUserInterface m_ui;
    FakeProcessList m_processes{{"/sbin/init", "C:\\windows\\system32\\explorer.exe"}};
    Latch m_release;  // holds slow servers back; it outlives them
    LocalDiscovery m_net;
    std::vector<std::string> m_connectTo;  // where probes of guessed servers go
};

TEST_F(CreatorTest, CreatesTheAccountAndShowsTheResult) {
    EXPECT_TRUE(Create("jan@example.com", "Jan Kowalski"));
    EXPECT_EQ(Get(kFirstAccount, "Account Name"), Sz("jan@example.com"));
    EXPECT_EQ(Get(kFirstAccount, "POP3 Server"), Sz("pop.example.com"));
    EXPECT_EQ(Get(kManager, "Default Mail Account"), Sz("00000001"));
    ASSERT_EQ(Calls().size(), 1u);
    const UiCall& result = Calls()[0];
    EXPECT_EQ(result.kind, UiCall::Result);
    const std::string header = "\n\nAdditional information:\n\n";
    EXPECT_EQ(result.text, kCreated + "\n" + kPassword + header + kComment);
    EXPECT_EQ(result.text.substr(result.result.boldStart, result.result.boldLength), header);
    EXPECT_EQ(result.result.infoUrl, "https://example.com/mail-help");
}

TEST_F(CreatorTest, SilentCreationShowsNoResult) {
    EXPECT_TRUE(Create("jan@example.com", "", MailClientOutlookExpress, true));
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(Get(kFirstAccount, "Account Name"), Sz("jan@example.com"));
}

TEST_F(CreatorTest, DisplayNameIsTrimmedAndDefaultsToTheLocalPart) {
    const struct {
        const char* typed;
        const char* stored;
    } cases[] = {
        {"", "jan"}, {"   ", "jan"}, {" \t", "jan"}, {"  Jan Kowalski ", "Jan Kowalski"}, {"Jan", "Jan"},
    };
    int number = 0;
    for (const auto& c : cases) {
        ASSERT_TRUE(Create("jan@example.com", c.typed));
        const std::string key = kManager + "\\Accounts\\0000000" + std::to_string(++number);
        EXPECT_EQ(Get(key, "SMTP Display Name"), Sz(c.stored)) << "'" << c.typed << "'";
    }
}

TEST_F(CreatorTest, AddressKeepsItsSpacesAndItsDomainIsFoundInAnyCase) {
    ASSERT_TRUE(Create(" jan@example.com ", ""));
    EXPECT_EQ(Get(kFirstAccount, "Account Name"), Sz(" jan@example.com "));
    EXPECT_EQ(Get(kFirstAccount, "SMTP Display Name"), Sz(" jan"));
    ASSERT_TRUE(Create("Jan@EXAMPLE.COM", ""));
    EXPECT_EQ(Get(kManager + "\\Accounts\\00000002", "POP3 Server"), Sz("pop.example.com"));
}

TEST_F(CreatorTest, SubdomainsOfTheHostUseTheirOwnServers) {
    const struct {
        const char* address;
        const char* servers;  // null: not found
    } cases[] = {
        {"jan@firma.home.pl", "firma.home.pl"},
        {"jan@home.pl", "home.pl"},
        {"jan@myhome.pl", "myhome.pl"},  // only the tail counts
        {"jan@FIRMA.HOME.PL", nullptr},  // not reduced, so not listed
        {"jan@home.pl.example.org", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        m_ui->ClearCalls();
        const bool created = Create(c.address, "");
        ASSERT_EQ(created, c.servers != nullptr);
        if (!created) {
            ASSERT_EQ(Calls().size(), 2u);
            EXPECT_EQ(Calls()[0].kind, UiCall::Wait);
            EXPECT_EQ(Calls()[1].text, kUnknownProvider);
            continue;
        }
        const std::string key = DefaultAccountKey();
        EXPECT_EQ(Get(key, "POP3 Server"), Sz(c.servers));
        EXPECT_EQ(Get(key, "SMTP Server"), Sz(c.servers));
    }
}

TEST_F(CreatorTest, InternationalDomainsAreLookedUpByTheirALabel) {
    const struct {
        const char* address;
        const char* pop3Server;
    } cases[] = {
        {"jan@bücher.example", "pop.xn--bcher-kva.example"},
        {"jan@BÜCHER.Example", "pop.xn--bcher-kva.example"},
        {"jan@Straße.example", "pop.xn--bcher-kva.example"},  // ß kept, not made "ss"
        {"jan@zażółć.home.pl", "xn--za-6ja4f8n1l.home.pl"},   // the host's servers in the DNS's form
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        ASSERT_TRUE(Create(c.address, ""));
        const std::string key = DefaultAccountKey();
        EXPECT_EQ(Get(key, "POP3 Server"), Sz(c.pop3Server));
        EXPECT_EQ(Get(key, "SMTP Email Address"), Sz(c.address));  // the address stays as typed
    }
}

TEST_F(CreatorTest, UnknownDomainIsToldEvenWhenSilent) {
    for (bool silent : {false, true}) {
        m_ui->ClearCalls();
        EXPECT_FALSE(Create("jan@nowhere.example", "", MailClientOutlookExpress, silent));
        ASSERT_EQ(Calls().size(), 2u);
        EXPECT_EQ(Calls()[0].kind, UiCall::Wait);  // discovery, which found nothing
        EXPECT_EQ(Calls()[1].kind, UiCall::Message);
        EXPECT_EQ(Calls()[1].text, kUnknownProvider);
        EXPECT_EQ(Calls()[1].style, MB_ICONEXCLAMATION);
    }
    EXPECT_TRUE(NothingWritten());
}

TEST_F(CreatorTest, DiscoveredSettingsMakeTheAccountAndTheResultSaysWhere) {
    m_net.SetMx("company.test", {{10, "mx2.example.com"}});
    m_net.SetClientConfig("other.test", ClientConfigXml());
    const struct {
        const char* address;
        const char* pop3Server;
        std::string origin;
        std::string comment;
    } cases[] = {
        {"Jan@Company.test", "pop.example.com",
         "Your domain is not in the program's database. Its mail goes to the mail servers of Example, so the "
         "account uses their settings.",
         "\n\nAdditional information:\n\n" + kComment},
        {"jan@other.test", "pop.other.test",
         "Your domain is not in the program's database. The account uses the settings published by other.test.", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        m_ui->ClearCalls();
        ASSERT_TRUE(Create(c.address, ""));
        const std::string key = DefaultAccountKey();
        EXPECT_EQ(Get(key, "Account Name"), Sz(c.address));  // the address as typed
        EXPECT_EQ(Get(key, "POP3 Server"), Sz(c.pop3Server));
        ASSERT_EQ(Calls().size(), 2u);
        EXPECT_EQ(Calls()[0].kind, UiCall::Wait);
        EXPECT_EQ(Calls()[1].kind, UiCall::Result);
        EXPECT_EQ(Calls()[1].text, kCreated + "\n" + c.origin + "\n" + kPassword + c.comment);
    }
}

TEST_F(CreatorTest, EachLaterSourceMakesTheAccountAndTheResultSaysWhichOne) {
    // Only SRV records; only a listing in the ISP database; only an MX at a hosting firm
    // that publishes a file; nothing but working servers under common names.
    m_net.SetSrv("_pop3s._tcp.srv.test", {{0, 0, 995, "pop.hoster.test"}});
    m_net.SetSrv("_submissions._tcp.srv.test", {{0, 0, 465, "smtp.hoster.test"}});
    m_net.SetIspDatabaseFile("listed.test", ClientConfigXml());
    m_net.SetMx("hosted.test", {{10, "mx.hoster.test"}});
    m_net.SetClientConfig("hoster.test", ClientConfigXml("pop.hoster.test"));
    ScopedEnv trust("SSL_CERT_FILE", TestCertificates::MailAuthority().c_str());
    const TestMailServer pop3(TestMailServer::Behaviour::Pop3Tls), smtp(TestMailServer::Behaviour::SmtpStartTls);
    m_net.SetAddress({"mail.guess.test", "smtp.guess.test"});
    m_connectTo = {pop3.ConnectTo("mail.guess.test", 995), smtp.ConnectTo("smtp.guess.test", 587)};
    const struct {
        const char* address;
        const char* pop3Server;
        const char* userName;
        StringId origin;
        const char* by;
    } cases[] = {
        {"jan@srv.test", "pop.hoster.test", "jan@srv.test", IDS_FOUND_SERVICE_RECORDS, "srv.test"},
        {"jan@listed.test", "pop.listed.test", "jan", IDS_FOUND_ISP_DATABASE, "listed.test"},
        {"jan@hosted.test", "pop.hoster.test", "jan", IDS_FOUND_MAIL_HOST_SETTINGS, "hoster.test"},
        {"jan@guess.test", "mail.guess.test", "jan@guess.test", IDS_FOUND_BY_GUESSING, "guess.test"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        m_ui->ClearCalls();
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(Create(c.address, ""));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        const std::string key = DefaultAccountKey();
        EXPECT_EQ(Get(key, "POP3 Server"), Sz(c.pop3Server));
        EXPECT_EQ(Get(key, "POP3 User Name"), Sz(c.userName));
        ASSERT_EQ(Calls().size(), 2u);
        std::string origin = LoadString(c.origin);
        for (std::size_t at = origin.find("%s"); at != std::string::npos; at = origin.find("%s")) origin.replace(at, 2, c.by);
        EXPECT_EQ(Calls()[1].text, kCreated + "\n" + origin + "\n" + kPassword);
    }
    EXPECT_EQ(Get(DefaultAccountKey(), "SMTP Server"), Sz("smtp.guess.test"));
    EXPECT_EQ(Get(DefaultAccountKey(), "SMTP Port"), Dword(587));
}

TEST_F(CreatorTest, CancelledDiscoveryEndsWithoutAWord) {
    m_net.SetDnsHandler("slow.test", [this](const TestDnsServer::Query&) -> std::optional<std::string> {
        m_release.Wait(std::chrono::seconds(10));
        return std::nullopt;
    });
    m_net.SetClientConfig("slow.test", ClientConfigXml());
    m_ui->SetWaitHandler([](VeskBackgroundTask& task) { task.Cancel(); });
    EXPECT_FALSE(Create("jan@slow.test", ""));
    m_release.Release();
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].kind, UiCall::Wait);
    EXPECT_TRUE(NothingWritten());
    EXPECT_TRUE(m_net.Requests().empty());
}

TEST_F(CreatorTest, MissingOrEmptyDatabaseIsReportedUnlessSilent) {
    const std::string database = m_session.AppFolderUnix() + "/providers.lst";
    for (bool empty : {false, true}) {
        ::unlink(database.c_str());
        if (empty) {
            FILE* file = std::fopen(database.c_str(), "w");
            ASSERT_TRUE(file);
            std::fclose(file);
        }
        m_ui->ClearCalls();
        EXPECT_FALSE(Create("jan@example.com", ""));
        ASSERT_EQ(Calls().size(), 1u);
        EXPECT_EQ(Calls()[0].kind, UiCall::Error);
        EXPECT_EQ(Calls()[0].text, "Error locating database file.");
        EXPECT_EQ(Calls()[0].caption, "Error");
        EXPECT_EQ(Calls()[0].style, kErrorStyle);
        m_ui->ClearCalls();
        EXPECT_FALSE(Create("jan@example.com", "", MailClientOutlookExpress, true));
        EXPECT_TRUE(Calls().empty());
    }
    EXPECT_TRUE(NothingWritten());
}

TEST_F(CreatorTest, AskedLogOnNameIsStoredAsTyped) {
    m_ui->ScriptUserName("  4711 ");
    ASSERT_TRUE(Create("jan@ask.example", ""));
    EXPECT_EQ(Get(kFirstAccount, "POP3 User Name"), Sz("  4711 "));
    ASSERT_EQ(Calls().size(), 2u);
    EXPECT_EQ(Calls()[0].kind, UiCall::UserName);
    EXPECT_EQ(Calls()[0].text, "Your customer number:");
    EXPECT_EQ(Calls()[1].kind, UiCall::Result);
}

TEST_F(CreatorTest, CancelledLogOnNameWritesNothing) {
    m_ui->ScriptUserName(std::nullopt);
    EXPECT_FALSE(Create("jan@ask.example", ""));
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].kind, UiCall::UserName);
    EXPECT_TRUE(NothingWritten());
}

// No client file can carry a control character: they are refused before anything is
// written, with the field named. White space that trimming removes from the display
// name never reaches a file and is no reason to refuse.
TEST_F(CreatorTest, ControlCharactersAreRefusedBeforeAnythingIsWritten) {
    const std::string address = "The email address contains a control character, such as a line break or a tab. "
                                "Remove it and try again.";
    const std::string name = "The display name contains a control character, such as a line break or a tab. "
                             "Remove it and try again.";
    const std::string typed = "The username contains a control character, such as a line break or a tab. "
                              "Remove it and try again.";
    const struct {
        std::string address;
        std::string name;
        std::optional<std::string> typedName;
        std::string error;  // empty: created
    } cases[] = {
        {"jan@example.com\n", "", std::nullopt, address},
        {"jan\t@example.com", "", std::nullopt, address},
        {"jan@example.com\x7f", "", std::nullopt, address},
        {"jan@example.com", "Jan\x01\x1bX", std::nullopt, name},
        {"jan@example.com", std::string("Jan\0X", 5), std::nullopt, name},
        {"jan@example.com", "Jan\rKowalski", std::nullopt, name},
        {"jan@ask.example", "", "47\n11", typed},
        {"jan@example.com", "\tJan Kowalski\r\n", std::nullopt, ""},
    };
    for (const auto& c : cases) {
        m_ui->ClearCalls();
        if (c.typedName) m_ui->ScriptUserName(c.typedName);
        const bool created = Create(c.address, c.name);
        if (c.error.empty()) {
            EXPECT_TRUE(created) << c.name;
            EXPECT_EQ(Get(kFirstAccount, "SMTP Display Name"), Sz("Jan Kowalski"));
            continue;
        }
        EXPECT_FALSE(created) << c.error;
        ASSERT_FALSE(Calls().empty()) << c.error;
        EXPECT_EQ(Calls().back().kind, UiCall::Error);
        EXPECT_EQ(Calls().back().text, c.error);
        EXPECT_EQ(Calls().back().style, kErrorStyle);
        EXPECT_TRUE(NothingWritten()) << c.error;
    }
}

TEST_F(CreatorTest, WriterFailureIsReportedUnlessSilentAndShowsNoResult) {
    CRegistryKey identities(m_memory);
    ASSERT_EQ(ERROR_SUCCESS, identities.OpenKey(HKEY_CURRENT_USER, "Identities", KEY_READ | KEY_WRITE));
    ASSERT_EQ(ERROR_SUCCESS, identities.DeleteValue("Start As"));
    EXPECT_FALSE(Create("jan@example.com", ""));
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].kind, UiCall::Error);
    EXPECT_EQ(Calls()[0].text, "Initial identity cannot be located. Run Outlook Express and try again.");
    EXPECT_EQ(Calls()[0].style, kErrorStyle);
    m_ui->ClearCalls();
    EXPECT_FALSE(Create("jan@example.com", "", MailClientOutlookExpress, true));
    EXPECT_TRUE(Calls().empty());
}

TEST_F(CreatorTest, ClientsWithoutWriterNeverPretend) {
    for (std::int32_t client : {0, 5, -1, 0x7fffffff}) {
        EXPECT_FALSE(Create("jan@example.com", "", client)) << client;
        EXPECT_TRUE(Calls().empty()) << client;
    }
    EXPECT_TRUE(NothingWritten());
}

// The writers of Outlook, Windows Mail and Windows Live Mail report their own failures:
// the flow adds nothing to them and shows no result.
TEST_F(CreatorTest, OtherClientsWritersReportTheirOwnFailures) {
    CMailClientChecker::ResetInstance();
    CMailClientChecker::GetInstance().m_outlookVersion = 9;
    const std::string noStoreKey =
        "The system cannot find the file specified. (0x2)\n\nCannot read store root location from registry key";
    const struct {
        std::int32_t client;
        UiCall::Kind kind;
        std::string text;
    } cases[] = {
        {MailClientOutlook, UiCall::Message,
         "We are sorry but this program does not support version of Microsoft Outlook earlier than 2002."},
        {MailClientWindowsMail, UiCall::Error, noStoreKey},
        {MailClientWindowsLiveMail, UiCall::Error, noStoreKey},
    };
    for (const auto& c : cases) {
        m_ui->ClearCalls();
        EXPECT_FALSE(Create("jan@example.com", "", c.client)) << c.client;
        ASSERT_EQ(Calls().size(), 1u) << c.client;
        EXPECT_EQ(Calls()[0].kind, c.kind) << c.client;
        EXPECT_EQ(Calls()[0].text, c.text) << c.client;
    }
    CMailClientChecker::ResetInstance();
}

TEST_F(CreatorTest, WindowsMailAccountLandsInTheStoreFolder) {
    TempFolder store;
    CRegistryKey key(m_memory);
    ASSERT_EQ(ERROR_SUCCESS, key.CreateKey(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows Mail", KEY_READ | KEY_WRITE));
    ASSERT_EQ(ERROR_SUCCESS, key.WriteString("Store Root", (ZPath(store.Path()) + "\\").c_str()));
    EXPECT_TRUE(Create("jan@example.com", "Jan", MailClientWindowsMail));
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].kind, UiCall::Result);
    const auto files = std::distance(std::filesystem::directory_iterator(store.Path()), std::filesystem::directory_iterator());
    EXPECT_EQ(files, 1);
    EXPECT_TRUE(NothingWritten());
}

TEST_F(CreatorTest, RunningOutlookExpressGetsTheRestartHint) {
    FakeProcessList running({"/sbin/init", "C:\\Program Files\\Outlook Express\\msimn.exe"});
    ASSERT_TRUE(Create("jan@example.com", ""));
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].text.rfind("Restart Outlook Express to import the new account.\n" + kCreated, 0), 0u);
}

// The account is written when the result cannot be composed: the creation still succeeded.
TEST_F(CreatorTest, FailureOfTheResultDialogKeepsTheResult) {
    FakeProcessList none({});
    EXPECT_TRUE(Create("jan@example.com", ""));
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].kind, UiCall::Error);
    EXPECT_EQ(Calls()[0].text, "There are no more files. (0x12)\n\nProcess32First failed.");
    EXPECT_EQ(Get(kFirstAccount, "Account Name"), Sz("jan@example.com"));
}

}  // namespace
}  // namespace mailwright
