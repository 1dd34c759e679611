// Windows Mail and Windows Live Mail accounts: the file name, the file in the store
// folder and what the user sees when it cannot be written.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "TestPrefix.h"
#include "testlib/AccountFixture.h"
#include "testlib/RecordingUserInterface.h"
#include "writers/CWinMailAccountCreator.h"

namespace mailwright {
namespace {

namespace fs = std::filesystem;
using testing::MakeAccount;
using testing::MakeProvider;
using testing::ScopedRecordingUserInterface;
using testing::TestPrefix;
using testing::UiCall;

TEST(CWinMailAccountCreator, FileNamesCarryANewUpperCaseGuid) {
    CWinMailAccountCreator creator;
    const std::regex pattern("account\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}\\.oeaccount");
    const std::string first = creator.MakeAccountFileName();
    const std::string second = creator.MakeAccountFileName();
    EXPECT_EQ(first.size(), 55u);
    EXPECT_TRUE(std::regex_match(first, pattern)) << first;
    EXPECT_TRUE(std::regex_match(second, pattern)) << second;
    EXPECT_NE(first, second);
}

// The two clients, each with its key, entry point and unknown-error text.
struct Client {
    const char* name;
    const char* key;
    void (CWinMailAccountCreator::*create)(CRefCountPtr<CAccount>);
    const char* unknownError;
};

const Client kClients[] = {
    {"WindowsMail", "Software\\Microsoft\\Windows Mail", &CWinMailAccountCreator::CreateAccount,
     "Unknown error creating mail account in Windows Mail."},
    {"LiveMail", "Software\\Microsoft\\Windows Live Mail", &CWinMailAccountCreator::CreateLiveMailAccount,
     "Unknown error creating mail account in Windows Live Mail."},
};

class WinMailClientTest : public ::testing::TestWithParam<Client> {
protected:
    void SetUp() override {
        fs::create_directories(m_prefix.DriveC("users/tester/AppData/Local/Mail"));
        m_prefix.UserKey(GetParam().key)->WriteString("Store Root", "%LOCALAPPDATA%\\Mail\\");
    }

    bool Create(CRefCountPtr<CAccount> account) {
        CWinMailAccountCreator creator;
        (creator.*GetParam().create)(std::move(account));
        return creator.m_created;
    }

    std::vector<std::string> StoreFiles() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_prefix.DriveC("users/tester/AppData/Local/Mail")))
            names.push_back(entry.path().filename().string());
        return names;
    }

    void ExpectOneError(const std::string& text) {
        ASSERT_EQ(m_ui->Calls().size(), 1u);
        EXPECT_EQ(m_ui->Calls()[0].kind, UiCall::Error);
        EXPECT_EQ(m_ui->Calls()[0].text, text);
    }

    TestPrefix m_prefix;
    ScopedRecordingUserInterface m_ui;
};

TEST_P(WinMailClientTest, EachCreationAddsItsOwnFile) {
    EXPECT_TRUE(Create(MakeAccount("Jan Kowalski", "jan@example.com")));
    EXPECT_TRUE(Create(MakeAccount("Jan Kowalski", "jan@example.com")));
    EXPECT_TRUE(m_ui->Calls().empty());
    const std::vector<std::string> files = StoreFiles();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_NE(files[0], files[1]);
    for (const std::string& name : files) EXPECT_EQ(name.size(), 55u) << name;
}

TEST_P(WinMailClientTest, AnEmptyAccountIsReported) {
    EXPECT_FALSE(Create(CRefCountPtr<CAccount>()));
    ExpectOneError("Error retrieving data for account creation. (2)");
    EXPECT_TRUE(StoreFiles().empty());
}

TEST_P(WinMailClientTest, AMissingStoreRootIsReportedWithTheWindowsMailText) {
    m_prefix.UserKey(GetParam().key)->DeleteValue("Store Root");
    EXPECT_FALSE(Create(MakeAccount("Jan Kowalski", "jan@example.com")));
    ExpectOneError("The system cannot find the file specified. (0x2)\n\nCannot find data folder path for Windows Mail.");
}

TEST_P(WinMailClientTest, AMissingClientKeyIsReported) {
    m_prefix.Prefix().WriteUserHive(testing::TempWinePrefix::UserKeys());
    EXPECT_FALSE(Create(MakeAccount("Jan Kowalski", "jan@example.com")));
    ExpectOneError("The system cannot find the file specified. (0x2)\n\n"
                   "Cannot read store root location from registry key");
}

TEST_P(WinMailClientTest, AFileThatCannotBeWrittenGivesTheClientsUnknownError) {
    m_prefix.UserKey(GetParam().key)->WriteString("Store Root", "C:\\No Such Folder\\");
    EXPECT_FALSE(Create(MakeAccount("Jan Kowalski", "jan@example.com")));
    ASSERT_EQ(m_ui->Calls().size(), 1u);
    EXPECT_EQ(m_ui->Calls()[0].kind, UiCall::Message);
    EXPECT_EQ(m_ui->Calls()[0].text, GetParam().unknownError);
    EXPECT_EQ(m_ui->Calls()[0].style, MB_OK | MB_ICONWARNING);
    EXPECT_FALSE(fs::exists(m_prefix.DriveC("No Such Folder")));
}

INSTANTIATE_TEST_SUITE_P(Clients, WinMailClientTest, ::testing::ValuesIn(kClients),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mailwright
