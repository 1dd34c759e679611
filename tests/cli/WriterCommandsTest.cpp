// mailwright-cli create for Outlook, Windows Mail and Windows Live Mail, run as a program
// against a temporary Windows 7 prefix in which all three have been used.
#include <gtest/gtest.h>

#include <filesystem>

#include <pugixml.hpp>

#include "registry/WineHiveStore.h"
#include "registry/CRegistryKey.h"
#include "testlib/MachineFixture.h"
#include "testlib/RegistryFixture.h"
#include "testlib/RunProgram.h"
#include "testlib/TempWinePrefix.h"

namespace mailwright {
namespace {

namespace fs = std::filesystem;
using namespace testing;

const std::string kSetup = "Software\\Microsoft\\Office\\16.0\\Outlook\\Setup";
const std::string kProfiles = "Software\\Microsoft\\Office\\16.0\\Outlook\\Profiles";
const char kImportPrf[] = "C:\\users\\tester\\AppData\\Roaming\\Mailwright\\Account.prf";

class WriterCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteMailMachine({.outlookCurVer = "Outlook.Application.16",
                          .windowsMailUsed = true,
                          .liveMail = MailMachine::LiveMail::Opened},
                         Registry(), m_files);
        fs::create_directories(m_prefix.DriveC("users/tester/AppData/Local/Microsoft/Windows Mail"));
        fs::create_directories(m_prefix.DriveC("users/tester/AppData/Local/Microsoft/Windows Live Mail"));
    }

    ProgramRun Create(const std::string& client, std::vector<std::string> more = {}) {
        std::vector<std::string> args{"create", "--email", "jan@gmail.com", "--name", "Jan Kowalski", "--client", client};
        args.insert(args.end(), more.begin(), more.end());
        return RunProgram(CliProgram(), args, {{"WINEPREFIX", m_prefix.Path()}, {"USER", "tester"}, {"HOME", m_home.Path()}});
    }
    std::shared_ptr<RegistryStore> Registry() { return std::make_shared<WineHiveStore>(m_prefix.Path()); }
    std::unique_ptr<CRegistryKey> UserKey(const std::string& path) {
        auto key = std::make_unique<CRegistryKey>(Registry());
        EXPECT_EQ(ERROR_SUCCESS, key->CreateKey(HKEY_CURRENT_USER, path.c_str(), KEY_READ | KEY_WRITE)) << path;
        return key;
    }
    StoredValue Get(const std::string& path, const char* name) {
        return ReadStored(Registry(), HKEY_CURRENT_USER, path, name);
    }

    // Outlook 2016 after its first run, with these profiles and this default.
    void InstallOutlook(const std::vector<std::string>& profiles, const char* defaultProfile) {
        UserKey(kSetup)->WriteDword("First-Run", 1);
        auto list = UserKey(kProfiles);
        if (defaultProfile) list->WriteString("DefaultProfile", defaultProfile);
        for (const std::string& name : profiles) UserKey(kProfiles + "\\" + name);
    }
    std::string AccountPrf() const {
        return m_prefix.Folder().ReadFile("drive_c/users/tester/AppData/Roaming/Mailwright/Account.prf");
    }
    std::string ProfileInPrf() const {
        const std::string text = AccountPrf();
        const size_t at = text.find("\r\nProfileName=");
        if (at == std::string::npos) return "<no file>";
        const size_t start = at + 14;
        return text.substr(start, text.find("\r\n", start) - start);
    }

    // The account files in a client's store folder.
    std::vector<fs::path> AccountFiles(const char* client) const {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(m_prefix.DriveC(std::string("users/tester/AppData/Local/Microsoft/") + client)))
            files.push_back(entry.path());
        return files;
    }

    TempWinePrefix m_prefix{WindowsRelease::Win7, true};
    TempFolder m_home;
    TempFolder m_files;
};

TEST_F(WriterCommandsTest, OutlookAccountWaitsForImport) {
    InstallOutlook({"Outlook"}, "Outlook");
    const ProgramRun run = Create("outlook");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Your account has been created successfully."), std::string::npos) << run.out;
    EXPECT_EQ(ProfileInPrf(), "Outlook");
    for (const char* line : {"\r\nPOP3Server=pop.gmail.com\r\n", "\r\nDisplayName= Jan Kowalski\r\n",
                             "\r\nPOP3UserName=jan@gmail.com\r\n", "\r\nSMTPPort=465\r\n"})
        EXPECT_NE(AccountPrf().find(line), std::string::npos) << line;
    EXPECT_EQ(Get(kSetup, "ImportPRF"), Sz(kImportPrf));
    EXPECT_EQ(Get(kSetup, "First-Run").code, ERROR_FILE_NOT_FOUND);
    // As Wine writes it, so that Outlook finds it.
    EXPECT_NE(m_prefix.Folder().ReadFile("user.reg").find(
                  "\"ImportPRF\"=\"C:\\\\users\\\\tester\\\\AppData\\\\Roaming\\\\Mailwright\\\\Account.prf\"\n"),
              std::string::npos);

    // The import is pending now: the next account waits for Outlook.
    const ProgramRun next = Create("outlook");
    EXPECT_EQ(next.status, 1);
    EXPECT_NE(next.err.find("Brightfold Mailwright: An account ready to import to MS Outlook has been detected."),
              std::string::npos)
        << next.err;
}

// Only the client being created may speak: on a machine whose Windows Live Mail was never
// opened, an Outlook creation says nothing about Windows Live Mail.
TEST_F(WriterCommandsTest, AnOutlookCreationShowsNoBoxOfAnotherClient) {
    InstallOutlook({"Outlook"}, "Outlook");
    UserKey("Software\\Microsoft\\Windows Live Mail")->DeleteValue("Store Root");
    const ProgramRun run = Create("outlook");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err.find("Windows Live Mail"), std::string::npos) << run.err;
    EXPECT_EQ(ProfileInPrf(), "Outlook");
}

// The command line goes through the core's check: a control character in the address or
// the display name is refused with its message and nothing is written.
TEST_F(WriterCommandsTest, ControlCharactersAreRefused) {
    const struct {
        const char* email;
        const char* name;
        const char* message;
    } cases[] = {
        {"jan@gmail.com\n", "Jan", "Error: The email address contains a control character"},
        {"jan@gmail.com", "Jan\x01\x1bX", "Error: The display name contains a control character"},
    };
    for (const auto& c : cases) {
        const ProgramRun run = RunProgram(CliProgram(),
                                          {"create", "--email", c.email, "--name", c.name, "--client", "windows-mail"},
                                          {{"WINEPREFIX", m_prefix.Path()}, {"USER", "tester"}, {"HOME", m_home.Path()}});
        EXPECT_EQ(run.status, 1) << c.message;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_TRUE(AccountFiles("Windows Mail").empty()) << c.message;
    }
}

TEST_F(WriterCommandsTest, OutlookProfileChoice) {
    const struct {
        const char* name;
        std::vector<std::string> profiles;
        const char* defaultProfile;
        std::vector<std::string> options;
        int status;
        const char* chosen;
        const char* err;  // all that the user sees on stderr
    } cases[] = {
        {"DefaultWithALongerName", {"Mail", "Mail2"}, "Mail", {}, 0, "Mail2", ""},
        {"DefaultWrapsRound", {"Other", "Mail"}, "mail", {}, 0, "Mail", ""},
        {"SortedWithoutDefault", {"Zeta", "alpha"}, nullptr, {}, 0, "alpha",
         "Error: Cannot read value from system registry.\n"},
        {"NamedProfile", {"Work", "Home"}, "Work", {"--profile", "home"}, 0, "Home", ""},
        {"UnknownProfile", {"Work", "Home"}, "Work", {"--profile", "Play"}, 1, "<no file>",
         "Outlook has no profile named \"Play\"; its profiles are: Home, Work\n"
         "mailwright-cli: create: no account was created\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_prefix.WriteUserHive(TempWinePrefix::UserKeys());
        fs::remove(m_prefix.DriveC("users/tester/AppData/Roaming/Mailwright/Account.prf"));
        InstallOutlook(c.profiles, c.defaultProfile);
        const ProgramRun run = Create("outlook", c.options);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_EQ(ProfileInPrf(), c.chosen);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(Get(kSetup, "ImportPRF").code, c.status == 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
    }
}

TEST_F(WriterCommandsTest, WindowsMailAndLiveMailGetAnAccountFile) {
    const struct {
        const char* client;
        const char* folder;
    } cases[] = {{"windows-mail", "Windows Mail"}, {"live-mail", "Windows Live Mail"}, {"windows-live-mail", "Windows Live Mail"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.client);
        const size_t before = AccountFiles(c.folder).size();
        const ProgramRun run = Create(c.client);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find("Your account has been created successfully."), std::string::npos) << run.out;
        const std::vector<fs::path> files = AccountFiles(c.folder);
        ASSERT_EQ(files.size(), before + 1);
        pugi::xml_document doc;
        fs::path newest;
        for (const fs::path& file : files)
            if (newest.empty() || fs::last_write_time(file) > fs::last_write_time(newest)) newest = file;
        EXPECT_EQ(newest.filename().string().size(), 55u);
        ASSERT_TRUE(doc.load_file(newest.c_str()));
        const pugi::xml_node account = doc.child("MessageAccount");
        EXPECT_EQ(std::string(account.child_value("Account_Name")), "jan@gmail.com");
        EXPECT_EQ(std::string(account.child_value("POP3_Server")), "pop.gmail.com");
        EXPECT_EQ(std::string(account.child_value("POP3_Port")), "000003e3");
        EXPECT_EQ(std::string(account.child_value("SMTP_Port")), "000001d1");
        EXPECT_EQ(std::string(account.child_value("SMTP_Display_Name")), "Jan Kowalski");
        EXPECT_EQ(std::distance(account.children().begin(), account.children().end()), 19);
    }
}

TEST_F(WriterCommandsTest, MissingStoreRootIsReported) {
    m_prefix.WriteUserHive(TempWinePrefix::UserKeys());
    UserKey("Software\\Microsoft\\Windows Live Mail");
    const ProgramRun run = Create("live-mail");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Error: The system cannot find the file specified. (0x2)\n\n"
                           "Cannot find data folder path for Windows Mail.\n"),
              std::string::npos)
        << run.err;
    EXPECT_TRUE(AccountFiles("Windows Live Mail").empty());
}

}  // namespace
}  // namespace mailwright
