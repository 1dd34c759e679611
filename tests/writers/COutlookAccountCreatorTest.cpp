// Outlook accounts: the version and Setup checks, the profiles by version, the profile
// choice, the registration for import and what the user sees when something fails.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "TestPrefix.h"
#include "testlib/AccountFixture.h"
#include "detection/CMailClientChecker.h"
#include "registry/MemoryRegistry.h"
#include "testlib/FaultyRegistry.h"
#include "testlib/MemorySession.h"
#include "testlib/RecordingUserInterface.h"
#include "testlib/RunningWineServer.h"
#include "testlib/ScopedFileSizeLimit.h"
#include "writers/COutlookAccountCreator.h"
#include "writers/DefaultProfile.h"

namespace mailwright {
namespace {

namespace fs = std::filesystem;
using testing::MakeAccount;
using testing::MakeProvider;
using testing::ScopedRecordingUserInterface;
using testing::TestPrefix;
using testing::UiCall;

const char* const kImportPath = "C:\\users\\tester\\AppData\\Roaming\\Mailwright\\Account.prf";

std::string SetupKey(int version) { return "Software\\Microsoft\\Office\\" + std::to_string(version) + ".0\\Outlook\\Setup"; }

class OutlookTest : public ::testing::Test {
protected:
    void SetUp() override { UseVersion(16); }
    void TearDown() override { CMailClientChecker::ResetInstance(); }

    void UseVersion(int version) {
        CMailClientChecker::ResetInstance();
        CMailClientChecker::GetInstance().m_outlookVersion = version;
        m_version = version;
        m_ui->ClearCalls();  // what the detection itself told the user
    }

    // Outlook as it is after its first run: Setup with "First-Run", and the profiles.
    void InstallOutlook(const std::vector<std::string>& profiles) {
        m_prefix.UserKey(SetupKey(m_version))->WriteDword("First-Run", 1);
        AddProfiles(OutlookProfilesKey(m_version), profiles);
    }

    void AddProfiles(const std::string& key, const std::vector<std::string>& profiles) {
        m_prefix.UserKey(key);
        for (const std::string& name : profiles) m_prefix.UserKey(key + "\\" + name);
    }

    bool Create() {
        COutlookAccountCreator creator(MakeAccount("Jan Kowalski", "jan@example.com"));
        creator.CreateOutlookAccount();
        return creator.m_created;
    }

    std::string AccountFile() const {
        std::ifstream in(m_prefix.AppFolder() + "/Account.prf", std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    bool HasAccountFile() const { return fs::exists(m_prefix.AppFolder() + "/Account.prf"); }
    bool FirstRunPresent() const { return m_prefix.UserValueExists(SetupKey(m_version), "First-Run"); }
    std::string ImportPrf() const { return m_prefix.UserString(SetupKey(m_version), "ImportPRF"); }

    // Nothing was prepared for import: no file, the Setup key as it was.
    void ExpectNothingWritten(bool firstRun = true) {
        EXPECT_FALSE(HasAccountFile());
        EXPECT_EQ(FirstRunPresent(), firstRun);
        EXPECT_EQ(ImportPrf(), "<none>");
    }

    void ExpectOneCall(UiCall::Kind kind, const std::string& text) {
        ASSERT_EQ(m_ui->Calls().size(), 1u);
        EXPECT_EQ(m_ui->Calls()[0].kind, kind);
        EXPECT_EQ(m_ui->Calls()[0].text, text);
        if (kind == UiCall::Message) {
            EXPECT_EQ(m_ui->Calls()[0].style, MB_OK | MB_ICONWARNING);
        }
    }

    TestPrefix m_prefix;
    ScopedRecordingUserInterface m_ui;
    int m_version = 16;
};

TEST_F(OutlookTest, VersionsBefore2002AreRefused) {
    for (int version : {0, 9}) {
        m_ui->ClearCalls();
        UseVersion(version);
        InstallOutlook({"Outlook"});
        EXPECT_FALSE(Create()) << version;
        ExpectOneCall(UiCall::Message,
                      "We are sorry but this program does not support version of Microsoft Outlook earlier than 2002.");
        ExpectNothingWritten();
    }
}

TEST_F(OutlookTest, EachVersionUsesItsSetupAndProfilesKeys) {
    const char* const messaging = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows Messaging Subsystem\\Profiles";
    for (int version : {10, 12, 15, 16}) {
        m_prefix.Prefix().WriteUserHive(testing::TempWinePrefix::UserKeys());
        UseVersion(version);
        m_prefix.UserKey(SetupKey(version))->WriteDword("First-Run", 1);
        // Both profile lists exist; only the version's own is read.
        const std::string own = "Profile " + std::to_string(version);
        const std::string office = "Software\\Microsoft\\Office\\" + std::to_string(version) + ".0\\Outlook\\Profiles";
        AddProfiles(version < 15 ? messaging : office, {own});
        AddProfiles(version < 15 ? office : messaging, {"Other", "Unused"});
        EXPECT_TRUE(Create()) << version;
        EXPECT_TRUE(m_ui->Calls().empty()) << version;
        EXPECT_NE(AccountFile().find("\r\nProfileName=" + own + "\r\n"), std::string::npos) << version;
        EXPECT_FALSE(FirstRunPresent()) << version;
        EXPECT_EQ(ImportPrf(), kImportPath) << version;
    }
}

TEST_F(OutlookTest, WindowsBeforeXpIsRefused) {
    const struct {
        const char* wineVersion;
        bool created;
    } cases[] = {{"win98", false}, {"win2k", true}};
    for (const auto& c : cases) {
        m_ui->ClearCalls();
        m_prefix.Prefix().WriteUserHive(testing::TempWinePrefix::UserKeys());
        m_prefix.UserKey("Software\\Wine")->WriteString("Version", c.wineVersion);
        InstallOutlook({"Outlook"});
        EXPECT_EQ(Create(), c.created) << c.wineVersion;
        if (!c.created) {
            ExpectOneCall(UiCall::Message, "We are sorry but this program is dedicated for Windows XP and later.");
            ExpectNothingWritten();
        }
    }
}

TEST_F(OutlookTest, OutlookNeverRunGivesOneBox) {
    EXPECT_FALSE(Create());
    ExpectOneCall(UiCall::Message,
                  "Could not create an account in MS Outlook.Microsoft Outlook has not been opened yet.\n\n"
                  "Run MS Outlook and try creating the account again.");
    EXPECT_FALSE(HasAccountFile());
}

TEST_F(OutlookTest, AnAccountWaitingForImportStopsTheNext) {
    InstallOutlook({"Outlook"});
    ASSERT_TRUE(Create());
    m_ui->ClearCalls();
    fs::remove(m_prefix.AppFolder() + "/Account.prf");
    EXPECT_FALSE(Create());
    ExpectOneCall(UiCall::Message,
                  "An account ready to import to MS Outlook has been detected.\n\nOpen MS Outlook to import the "
                  "account and next click Create account in order to a new account.");
    EXPECT_FALSE(HasAccountFile());
    EXPECT_EQ(ImportPrf(), kImportPath);
}

TEST_F(OutlookTest, NoProfilesIsReported) {
    const std::string text = "Could not create an account in MS Outlook.\nMicrosoft Outlook has not been opened yet.\n\n"
                             "Run MS Outlook and try creating the account again.";
    m_prefix.UserKey(SetupKey(16))->WriteDword("First-Run", 1);
    EXPECT_FALSE(Create());  // no profiles key
    ExpectOneCall(UiCall::Error, text);
    m_ui->ClearCalls();
    m_prefix.UserKey(OutlookProfilesKey(16));
    EXPECT_FALSE(Create());  // a profiles key without profiles
    ExpectOneCall(UiCall::Error, text);
    ExpectNothingWritten();
}

TEST_F(OutlookTest, SeveralProfilesAreOfferedAndTheChoiceReceivesTheAccount) {
    InstallOutlook({"Work", "home", "Alpha"});
    m_ui->ScriptProfile("home");
    EXPECT_TRUE(Create());
    ASSERT_EQ(m_ui->Calls().size(), 1u);
    EXPECT_EQ(m_ui->Calls()[0].kind, UiCall::Profile);
    EXPECT_EQ(m_ui->Calls()[0].profiles, (std::vector<std::string>{"Alpha", "home", "Work"}));
    EXPECT_EQ(m_ui->Calls()[0].outlookVersion, 16);
    EXPECT_NE(AccountFile().find("\r\nProfileName=home\r\n"), std::string::npos);
    EXPECT_EQ(ImportPrf(), kImportPath);
}

TEST_F(OutlookTest, CancellingTheChoiceWritesNothing) {
    InstallOutlook({"Work", "Home", "Alpha"});
    EXPECT_FALSE(Create());
    ASSERT_EQ(m_ui->Calls().size(), 1u);
    EXPECT_EQ(m_ui->Calls()[0].kind, UiCall::Profile);
    ExpectNothingWritten();
}

TEST_F(OutlookTest, ARunningWineKeepsTheRegistryAsItWas) {
    InstallOutlook({"Outlook"});
    testing::RunningWineServer wine(m_prefix.Prefix().Path());
    EXPECT_FALSE(Create());
    ExpectOneCall(UiCall::Error, "Could not create an account in MS Outlook.\nCannot remove value from system registry.");
    EXPECT_TRUE(FirstRunPresent());
    EXPECT_EQ(ImportPrf(), "<none>");
}

// The registration saved at the end cannot be: the save of user.reg fails as on a full
// disk. Reported, and the hive stays as it was; Account.prf, written before, stays too.
TEST_F(OutlookTest, ARegistrationThatCannotBeSavedIsReportedAndLeavesTheHive) {
    InstallOutlook({"Outlook"});
    // Larger than Account.prf, so that only the hive runs into the limit.
    m_prefix.UserKey("Software\\Padding")->WriteString("Text", std::string(128 * 1024, 'x').c_str());
    const std::string hive = m_prefix.Prefix().Folder().ReadFile("user.reg");
    const std::set<std::string> files = m_prefix.TopFiles();
    {
        const testing::ScopedFileSizeLimit full(hive.size());
        EXPECT_FALSE(Create());
    }
    ExpectOneCall(UiCall::Error, testing::FileTooLarge("Could not create an account in MS Outlook.\n"
                                                       "Cannot set value in system registry."));
    EXPECT_EQ(m_prefix.Prefix().Folder().ReadFile("user.reg"), hive);
    EXPECT_EQ(m_prefix.TopFiles(), files);
    EXPECT_TRUE(FirstRunPresent());
    EXPECT_EQ(ImportPrf(), "<none>");
    EXPECT_TRUE(HasAccountFile());
}

// Failures of the registration, after Account.prf has been written.
class OutlookRegistrationTest : public ::testing::Test {
protected:
    void SetUp() override {
        CMailClientChecker::ResetInstance();
        CMailClientChecker::GetInstance().m_outlookVersion = 16;
    }
    void TearDown() override { CMailClientChecker::ResetInstance(); }

    // Outlook 16 after its first run, with one profile.
    void InstallOutlook() {
        CRegistryKey setup(m_memory);
        ASSERT_EQ(ERROR_SUCCESS, setup.CreateKey(HKEY_CURRENT_USER, SetupKey(16).c_str(), KEY_READ | KEY_WRITE));
        ASSERT_EQ(ERROR_SUCCESS, setup.WriteDword("First-Run", 1));
        CRegistryKey profile(m_memory);
        ASSERT_EQ(ERROR_SUCCESS, profile.CreateKey(HKEY_CURRENT_USER, (OutlookProfilesKey(16) + "\\Outlook").c_str(),
                                                   KEY_READ | KEY_WRITE));
    }

    bool Create() {
        COutlookAccountCreator creator(MakeAccount("Jan Kowalski", "jan@example.com"));
        creator.CreateOutlookAccount();
        return creator.m_created;
    }
    bool SetupHas(const char* name) {
        CRegistryKey setup(m_memory);
        return setup.OpenKey(HKEY_CURRENT_USER, SetupKey(16).c_str(), KEY_READ) == ERROR_SUCCESS &&
               setup.ValueExists(name) == ERROR_SUCCESS;
    }

    std::shared_ptr<MemoryRegistry> m_memory = std::make_shared<MemoryRegistry>();
    ScopedRecordingUserInterface m_ui;
};

TEST_F(OutlookRegistrationTest, FailuresAreReportedAndTheRegistryStaysAsItWas) {
    const struct {
        const char* name;
        void (*fault)(testing::FaultyRegistry&);
        UiCall::Kind kind;
        std::string text;
    } cases[] = {
        {"Setup key not openable", [](testing::FaultyRegistry& f) { f.FailKey("Outlook\\Setup", ERROR_ACCESS_DENIED, 2); },
         UiCall::Error, "Could not create an account in MS Outlook.\nCannot open key in system registry."},
        {"ImportPRF not writable", [](testing::FaultyRegistry& f) { f.FailWrite("ImportPRF", ERROR_ACCESS_DENIED); },
         UiCall::Error, "Could not create an account in MS Outlook.\nCannot set value in system registry."},
        {"unexpected failure", [](testing::FaultyRegistry& f) { f.ThrowOnWrite("ImportPRF"); }, UiCall::Message,
         "Unknown error creating mail account in Microsoft Office Outlook."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        InstallOutlook();
        auto faults = std::make_shared<testing::FaultyRegistry>(m_memory);
        c.fault(*faults);
        testing::ScopedMemorySession session(testing::WindowsVersion(6, 1), faults);
        m_ui->ClearCalls();
        EXPECT_FALSE(Create());
        ASSERT_EQ(m_ui->Calls().size(), 1u);
        EXPECT_EQ(m_ui->Calls()[0].kind, c.kind);
        EXPECT_EQ(m_ui->Calls()[0].text, c.text);
        // "First-Run" is deleted only together with the import's registration.
        EXPECT_TRUE(SetupHas("First-Run"));
        EXPECT_FALSE(SetupHas("ImportPRF"));
        EXPECT_TRUE(fs::exists(session.AppFolderUnix() + "/Account.prf"));
    }
}

}  // namespace
}  // namespace mailwright
