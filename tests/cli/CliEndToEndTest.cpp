// mailwright-cli create, detect, newsreader and prefixes, run as programs against temporary prefixes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "registry/WineHiveStore.h"
#include "testlib/FakeWineProgram.h"
#include "testlib/LocalDiscovery.h"
#include "testlib/MachineFixture.h"
#include "testlib/RegistryFixture.h"
#include "testlib/RunProgram.h"
#include "testlib/RunningWineServer.h"
#include "testlib/TempWinePrefix.h"

namespace mailwright {
namespace {

using namespace testing;

const std::string kManager = "Software\\Microsoft\\Internet Account Manager";
const char kIdentity[] = "{4B0A8E3C-1D2F-4E5A-9B6C-7D8E9F0A1B2C}";

// The identities as Outlook Express leaves them after its first start.
std::string IdentityKeys() {
    return std::string("\n[Identities] 1700000000\n#time=1da0a5f0e0b3c00\n") + "\"Default User ID\"=\"" + kIdentity +
           "\"\n\"Last User ID\"=\"" + kIdentity + "\"\n\"Last Username\"=\"Main Identity\"\n" +
           "\n[Identities\\\\" + kIdentity + "] 1700000000\n#time=1da0a5f0e0b3c00\n" +
           "\"Identity Ordinal\"=dword:00000001\n\"User ID\"=\"" + kIdentity + "\"\n\"Username\"=\"Main Identity\"\n";
}

class CliTest : public ::testing::Test {
protected:
    explicit CliTest(WindowsRelease release = WindowsRelease::WinXP, bool win64 = false) : m_prefix(release, win64) {}

    ProgramRun Cli(const std::vector<std::string>& args) {
        return RunProgram(CliProgram(), args,
                          {{"WINEPREFIX", m_prefix.Path()}, {"USER", "tester"}, {"HOME", m_home.Path()}});
    }
    std::shared_ptr<RegistryStore> Registry() { return std::make_shared<WineHiveStore>(m_prefix.Path()); }
    StoredValue Get(const std::string& path, const char* name) {
        return ReadStored(Registry(), HKEY_CURRENT_USER, path, name);
    }

    TempWinePrefix m_prefix;
    TempFolder m_home;
};

class CreateCommandTest : public CliTest {
protected:
    void SetUp() override { m_prefix.WriteUserHive(TempWinePrefix::UserKeys() + IdentityKeys()); }

    // Discovery asks only the test's own servers.
    ProgramRun Create(const std::string& address, std::vector<std::string> more = {}) {
        const DiscoverySettings local = m_net.Settings();
        std::vector<std::string> args{"create",       "--email",          address,           "--client",
                                      "outlook-express", "--nameserver", local.nameserver, "--autoconfig-url",
                                      local.autoconfigUrl, "--isp-database-url", local.ispDatabaseUrl};
        args.insert(args.end(), more.begin(), more.end());
        return Cli(args);
    }
    bool NothingWritten() { return Get(kManager, "Account Name").code == ERROR_FILE_NOT_FOUND; }

    LocalDiscovery m_net;
};

TEST_F(CreateCommandTest, WritesTheWholeAccountIntoUserReg) {
    const ProgramRun run = Create("jan@gmail.com", {"--name", "Jan Kowalski"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Your account has been created successfully."), std::string::npos) << run.out;

    EXPECT_EQ(Get(kManager, "Account Name"), Dword(2));
    EXPECT_EQ(Get(kManager, "Default Mail Account"), Sz("00000001"));
    const std::string account = kManager + "\\Accounts\\00000001";
    const struct {
        const char* name;
        StoredValue value;
    } expected[] = {
        {"Account Name", Sz("jan@gmail.com")},
        {"SMTP Display Name", Sz("Jan Kowalski")},
        {"SMTP Email Address", Sz("jan@gmail.com")},
        {"SMTP Use Sicily", Dword(2)},
        {"POP3 Server", Sz("pop.gmail.com")},
        {"POP3 User Name", Sz("jan@gmail.com")},
        {"SMTP Server", Sz("smtp.gmail.com")},
        {"Connection Type", Dword(0)},
        {"POP3 Prompt for Password", Dword(0)},
        {"POP3 Secure Connection", Dword(1)},
        {"SMTP Secure Connection", Dword(1)},
        {"SMTP Port", Dword(465)},
        {"POP3 Port", Dword(995)},
    };
    for (const auto& value : expected) EXPECT_EQ(Get(account, value.name), value.value) << value.name;

    // As Wine itself writes them.
    const std::string userReg = m_prefix.Folder().ReadFile("user.reg");
    for (const char* line : {"[Software\\\\Microsoft\\\\Internet Account Manager\\\\Accounts\\\\00000001] ",
                             "\"SMTP Email Address\"=\"jan@gmail.com\"\n", "\"SMTP Port\"=dword:000001d1\n",
                             "\"POP3 Port\"=dword:000003e3\n", "\"Default Mail Account\"=\"00000001\"\n"})
        EXPECT_NE(userReg.find(line), std::string::npos) << line;
}

TEST_F(CreateCommandTest, SecondAccountGetsTheNextNumberAndBecomesTheDefault) {
    ASSERT_EQ(Create("jan@gmail.com").status, 0);
    const ProgramRun second = Create("anna@gmx.de", {"--quiet"});
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(second.out, "");
    EXPECT_EQ(Get(kManager, "Default Mail Account"), Sz("00000002"));
    EXPECT_EQ(Get(kManager, "Account Name"), Dword(3));
    EXPECT_EQ(Get(kManager + "\\Accounts\\00000001", "Account Name"), Sz("jan@gmail.com"));
    EXPECT_EQ(Get(kManager + "\\Accounts\\00000002", "Account Name"), Sz("anna@gmx.de"));
    EXPECT_EQ(Get(kManager + "\\Accounts\\00000002", "SMTP Display Name"), Sz("anna"));
}

TEST_F(CreateCommandTest, AskedLogOnNameComesFromTheCommandLine) {
    const ProgramRun asked = Create("taro@yahoo.co.jp");
    EXPECT_EQ(asked.status, 1);
    EXPECT_NE(asked.err.find("give it with --user-name"), std::string::npos) << asked.err;
    EXPECT_TRUE(NothingWritten());

    const ProgramRun given = Create("taro@yahoo.co.jp", {"--user-name", "taro_jp"});
    ASSERT_EQ(given.status, 0) << given.err;
    EXPECT_EQ(Get(kManager + "\\Accounts\\00000001", "POP3 User Name"), Sz("taro_jp"));
}

TEST_F(CreateCommandTest, DomainOutsideTheDatabaseIsServedByItsMailServersProvider) {
    m_net.SetMx("company.test", {{10, "alt1.aspmx.l.google.com"}, {5, "aspmx.l.google.com"}});
    const ProgramRun run = Create("jan@company.test");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Your account has been created successfully.\nYour domain is not in the program's database. "
                           "Its mail goes to the mail servers of Gmail, so the account uses their settings.\n"),
              std::string::npos)
        << run.out;
    const std::string account = kManager + "\\Accounts\\00000001";
    EXPECT_EQ(Get(account, "Account Name"), Sz("jan@company.test"));
    EXPECT_EQ(Get(account, "POP3 Server"), Sz("pop.gmail.com"));
    EXPECT_EQ(Get(account, "POP3 User Name"), Sz("jan@company.test"));
}

TEST_F(CreateCommandTest, DomainWithOnlyServiceRecordsGetsTheirServersAndSaysSo) {
    m_net.SetSrv("_pop3s._tcp.company.test", {{0, 0, 995, "pop.hoster.test"}});
    m_net.SetSrv("_submission._tcp.company.test", {{0, 0, 587, "smtp.hoster.test"}});
    const ProgramRun run = Create("jan@company.test");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Your domain is not in the program's database. The account uses the mail servers that "
                           "company.test names in its DNS service records. The log-on name is taken to be your full "
                           "email address.\n"),
              std::string::npos)
        << run.out;
    const std::string account = kManager + "\\Accounts\\00000001";
    EXPECT_EQ(Get(account, "POP3 Server"), Sz("pop.hoster.test"));
    EXPECT_EQ(Get(account, "SMTP Server"), Sz("smtp.hoster.test"));
    EXPECT_EQ(Get(account, "SMTP Port"), Dword(587));
    EXPECT_EQ(Get(account, "POP3 User Name"), Sz("jan@company.test"));
}

TEST_F(CreateCommandTest, FailuresReachTheUserOnStandardError) {
    const std::string unknown =
        "Brightfold Mailwright: Unfortunately the program has not identified the email address and cannot "
        "configure the account.";
    const struct {
        const char* name;
        bool identities;
        std::vector<std::string> args;
        int status;
        std::string err;  // a line the user sees; empty: only the closing reason
    } cases[] = {
        {"UnknownDomain", true, {"jan@nowhere.example"}, 1, unknown},
        {"UnknownDomainQuiet", true, {"jan@nowhere.example", "--quiet"}, 1, unknown},
        {"NoIdentity", false, {"jan@gmail.com"}, 1,
         "Error: The system cannot find the file specified. (0x2)\n\nError determining account identity. (0)\n"},
        // Quiet hides the result only: errors, the flow's and the writers' alike, still go to stderr.
        {"NoIdentityQuiet", false, {"jan@gmail.com", "--quiet"}, 1,
         "Error: The system cannot find the file specified. (0x2)\n\nError determining account identity. (0)\n"},
        {"NotAnAddress", true, {"jan@gmail"}, 2, "is not an e-mail address"},
        {"BlankUserName", true, {"jan@gmail.com", "--user-name", "  "}, 2, "Provide the necessary data."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_prefix.WriteUserHive(TempWinePrefix::UserKeys() + (c.identities ? IdentityKeys() : ""));
        std::vector<std::string> more(c.args.begin() + 1, c.args.end());
        const ProgramRun run = Create(c.args[0], more);
        EXPECT_EQ(run.status, c.status);
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        if (c.status == 1) {
            EXPECT_NE(run.err.find("mailwright-cli: create: no account was created"), std::string::npos);
        }
        if (c.err.empty()) {
            EXPECT_EQ(run.err, "mailwright-cli: create: no account was created\n");
        }
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(NothingWritten());
    }
}

// The creation flow's own errors (here an empty database) reach stderr under --quiet too.
TEST_F(CreateCommandTest, QuietPrintsNoResultButEveryError) {
    m_prefix.Folder().WriteFile("drive_c/users/tester/AppData/Roaming/Mailwright/providers.lst", "");
    const ProgramRun run = Create("jan@gmail.com", {"--quiet"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "Error: Error locating database file.\nmailwright-cli: create: no account was created\n");
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(NothingWritten());
}

// A user.reg shared by hard links (a snapshot made with cp -al, say) is left alone, and the
// user is told why and what to do.
TEST_F(CreateCommandTest, AHiveWithHardLinksIsLeftAloneWithAClearMessage) {
    const std::string before = m_prefix.Folder().ReadFile("user.reg");
    ASSERT_EQ(0, ::link(m_prefix.Folder().Sub("user.reg").c_str(), m_home.Sub("user.reg").c_str()));
    const ProgramRun run = Create("jan@gmail.com");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Error: A registry file of this Wine prefix (user.reg or system.reg) has several hard "
                           "links, which would no longer share its content once it is replaced, so it is left "
                           "unchanged. Make it a file of its own (copy it, then move the copy over it) and try "
                           "again. (0x20000002)"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(m_prefix.Folder().ReadFile("user.reg"), before);
    EXPECT_EQ(m_home.ReadFile("user.reg"), before);
}

TEST_F(CreateCommandTest, OptionsThatCannotWork) {
    const std::vector<std::vector<std::string>> cases = {
        {"create", "--client", "outlook-express"},
        {"create", "--email", "jan@x.test", "--client", "outlook-express", "--nameserver", "dns.example"},
        {"create", "--email", "jan@x.test", "--client", "outlook-express", "--autoconfig-url", "ftp://x/{domain}"},
        {"create", "--email", "jan@gmail.com"},
        {"create", "--email", "jan@gmail.com", "--client", "thunderbird"},
        {"create", "--email", "jan@gmail.com", "--client", "none"},
        {"create", "--email", "jan@gmail.com", "--client", "outlook-express", "--bcc"},
        {"create", "--email"},
    };
    for (const auto& args : cases) {
        const ProgramRun run = Cli(args);
        EXPECT_EQ(run.status, 2) << args.back();
        EXPECT_EQ(run.err.rfind("mailwright-cli: create: ", 0), 0u) << run.err;
    }
    EXPECT_TRUE(NothingWritten());
}

TEST_F(CreateCommandTest, PrefixInWhichWineRunsAProgramIsNotWritten) {
    const std::string before = m_prefix.Folder().ReadFile("user.reg");
    RunningWineServer server(m_prefix.Path());
    FakeWineProgram client("C:\\Program Files\\Outlook Express\\msimn.exe", {{"WINEPREFIX", m_prefix.Path()}});
    const ProgramRun run = Create("jan@gmail.com");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Wine is running programs in this prefix (msimn.exe). Close them and try again."),
              std::string::npos)
        << run.err;
    EXPECT_EQ(m_prefix.Folder().ReadFile("user.reg"), before);
}

// Wine's server stays a moment after its last program; it writes the hives as it ends.
TEST_F(CreateCommandTest, ALingeringServerCostsAWaitNotTheAccount) {
    RunningWineServer server(m_prefix.Path(), 300);
    const ProgramRun run = Create("jan@gmail.com");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Get(kManager, "Default Mail Account"), Sz("00000001"));
}

// A home folder with a Bottles bottle (reached through a link) and nothing else.
class PrefixesCommandTest : public CliTest {
protected:
    ProgramRun CliWithoutWinePrefix(const std::vector<std::string>& args) {
        return RunProgram(CliProgram(), args,
                          {{"WINEPREFIX", ""}, {"USER", "tester"}, {"HOME", m_home.Path()}, {"XDG_CONFIG_HOME", ""},
                           {"XDG_DATA_HOME", ""}});
    }
    void MakeBottle() {
        std::filesystem::create_directories(m_home.Sub(".local/share/bottles/bottles"));
        std::filesystem::create_directory_symlink(m_prefix.Path(), m_home.Sub(".local/share/bottles/bottles/office"));
        m_prefix.Folder().WriteFile("bottle.yml", "Name: Office 2003\nArch: win32\n");
    }
};

TEST_F(PrefixesCommandTest, ListsThePrefixesFoundAndWorksOnTheOnlyOne) {
    MakeBottle();
    const ProgramRun list = CliWithoutWinePrefix({"prefixes"});
    ASSERT_EQ(list.status, 0) << list.err;
    const std::string folder = m_home.Sub(".local/share/bottles/bottles/office");
    EXPECT_NE(list.out.find("Name "), std::string::npos) << list.out;
    EXPECT_NE(list.out.find("*  Office 2003  Windows XP  Outlook Express  Bottles   -     " + folder), std::string::npos)
        << list.out;
    const ProgramRun session = CliWithoutWinePrefix({"session"});
    EXPECT_NE(session.out.find("Prefix: " + folder + "\n"), std::string::npos) << session.out;
}

TEST_F(PrefixesCommandTest, NoPrefixIsSaidInLinuxTerms) {
    const ProgramRun list = CliWithoutWinePrefix({"prefixes"});
    EXPECT_EQ(list.status, 1);
    EXPECT_EQ(list.out, "");
    EXPECT_EQ(list.err.rfind("mailwright-cli: No Wine prefix was found. A Wine prefix is the folder", 0), 0u) << list.err;
    EXPECT_EQ(std::count(list.err.begin(), list.err.end(), '\n'), 1);
}

// --prefix wins over $WINEPREFIX; a folder that is no prefix is refused.
TEST_F(PrefixesCommandTest, AnExplicitPrefixWins) {
    TempWinePrefix other;
    const ProgramRun chosen = RunProgram(CliProgram(), {"--prefix", other.Path(), "session"},
                                         {{"WINEPREFIX", m_prefix.Path()}, {"HOME", m_home.Path()}});
    EXPECT_EQ(chosen.status, 0) << chosen.err;
    EXPECT_NE(chosen.out.find("Prefix: " + other.Path() + "\n"), std::string::npos) << chosen.out;
    const ProgramRun refused = Cli({"--prefix", m_home.Path(), "session"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find(m_home.Path() + " is not a Wine prefix: it holds no system.reg and user.reg."),
              std::string::npos)
        << refused.err;
}

class SevenCliTest : public CliTest {
protected:
    SevenCliTest() : CliTest(WindowsRelease::Win7, true) {}
};

TEST_F(SevenCliTest, DetectPrintsTheThreeAnswersAndTheRunningClients) {
    TempFolder files;
    WriteMailMachine({.outlookCurVer = "Outlook.Application.14",
                      .liveMail = MailMachine::LiveMail::Opened,
                      .defaultMail = "Microsoft Outlook"},
                     Registry(), files);
    const ProgramRun run = Cli({"detect"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, run.out.find("outlook-running")),
              "outlook-version: 14\nsystem-client: windows-live-mail\ndefault-client: outlook\n");
    EXPECT_NE(run.out.find("windows-mail-running: "), std::string::npos);
    EXPECT_EQ(run.err, "");
}

TEST_F(SevenCliTest, DetectTellsWhenLiveMailWasNeverOpened) {
    const ProgramRun run = Cli({"detect"});
    EXPECT_EQ(run.out.substr(0, run.out.find("outlook-running")),
              "outlook-version: 0\nsystem-client: none\ndefault-client: none\n");
    EXPECT_EQ(run.err.rfind("Brightfold Mailwright: Windows Live Mail is installed but has never been opened.", 0),
              0u)
        << run.err;
}

TEST_F(SevenCliTest, NewsreaderConfiguresWindowsLiveMail) {
    const ProgramRun run = Cli({"newsreader"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "Brightfold Mailwright: Window Live Mail has been configured correctly and is ready to work.\n");
    EXPECT_EQ(Get("Software\\Microsoft\\Windows Live Mail\\News", "Indent Char"), Dword('>'));
    EXPECT_EQ(Get("Software\\Microsoft\\Windows Live Mail\\Trident\\International", "Default_CodePage"),
              Binary({0xE2, 0x04, 0x00, 0x00}));
}

TEST_F(CliTest, NewsreaderOnXpNeedsTheOutlookExpressIdentity) {
    ProgramRun run = Cli({"newsreader"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Error determining account identity. (0)"), std::string::npos) << run.err;

    m_prefix.WriteUserHive(TempWinePrefix::UserKeys() + IdentityKeys());
    run = Cli({"newsreader"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "Brightfold Mailwright: Outlook Express has been configured correctly and is ready to work.\n");
    EXPECT_EQ(Get(std::string("Identities\\") + kIdentity + "\\Software\\Microsoft\\Outlook Express\\5.0\\Mail",
                  "Default_CodePage"),
              Dword(28592));
}

// The number of the line of `text` that begins with `line`.
size_t LineNumberOf(const std::string& text, const std::string& line) {
    const size_t at = text.find("\n" + line);
    return at == std::string::npos ? 0 : static_cast<size_t>(std::count(text.begin(), text.begin() + at + 1, '\n')) + 1;
}

TEST_F(CliTest, SessionNamesEachLineWineSkipsOrReadsInPart) {
    m_prefix.WriteUserHive(TempWinePrefix::UserKeys() + "\n[Software\\\\Odd] 1\n\"n\"=dword:123456789\n\"h\"=hex:zz\n" +
                           "\n[Software\\\\Unclosed 1\n\"x\"=\"y\"\n");
    const std::string text = m_prefix.Folder().ReadFile("user.reg");
    const ProgramRun run = Cli({"session"});
    EXPECT_EQ(0, run.status) << run.err;
    const std::string file = m_prefix.Path() + "/user.reg: line ";
    for (const auto& [line, expected] : {
             std::pair<std::string, std::string>{"\"n\"=dword:", "expected dword: with 1 to 8 hex digits"},
             {"\"h\"=hex:zz", "expected hex bytes of two digits separated by commas"},
             {"[Software\\\\Unclosed", "expected a key line closed by ']' (in UTF-8)"},
         }) {
        const std::string shown = file + std::to_string(LineNumberOf(text, line)) + ": " + expected + "\n";
        EXPECT_NE(std::string::npos, run.out.find(shown)) << shown << run.out;
    }
    EXPECT_NE(std::string::npos, run.out.find("Registry: 3 lines not read as written\n")) << run.out;
    EXPECT_EQ(text, m_prefix.Folder().ReadFile("user.reg"));  // reading changes nothing
}

TEST_F(CliTest, SessionFailsWhenAHiveCannotBeReadAtAll) {
    m_prefix.Folder().WriteFile("system.reg", "WINE REGISTRY Version 2\nnot a hive\n");
    const ProgramRun run = Cli({"session"});
    EXPECT_EQ(1, run.status);
    EXPECT_NE(std::string::npos, run.err.find("system.reg: line 2: unrecognized line")) << run.err;
}

}  // namespace
}  // namespace mailwright
