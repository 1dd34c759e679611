// Detection over machine fixtures, in a 32-bit and a 64-bit registry.
#include <gtest/gtest.h>

#include <optional>

#include "detection/CMailClientChecker.h"
#include "registry/CRegistryKey.h"
#include "support/StringTable.h"
#include "testlib/MachineFixture.h"
#include "testlib/MemorySession.h"
#include "testlib/RecordingUserInterface.h"
#include "testlib/RegistryStores.h"

namespace mailwright {
namespace {

using namespace testing;
using LiveMail = MailMachine::LiveMail;

struct DetectionCase {
    const char* name;
    std::optional<OsVersionInfo> version;
    MailMachine machine;
    std::int32_t outlookVersion;
    MailClientKind systemClient;
    MailClientKind defaultClient;
    bool liveMailNeverOpened;  // the checker tells the user so
};

const OsVersionInfo kXp = WindowsVersion(5, 1);
const OsVersionInfo kVista = WindowsVersion(6, 0);
const OsVersionInfo kSeven = WindowsVersion(6, 1);
const OsVersionInfo kLater = WindowsVersion(6, 2);  // Windows 8 and 10 under the program's manifest
const OsVersionInfo kTen = WindowsVersion(10, 0);   // as an unmanifested program would see 10

const DetectionCase kCases[] = {
    {"XpWithoutOutlook", kXp, {}, 0, MailClientOutlookExpress, MailClientNone, false},
    {"XpWithOutlook2003AsDefault", kXp,
     {.outlookCurVer = "Outlook.Application.11", .defaultMail = "Microsoft Outlook"}, 11, MailClientOutlookExpress,
     MailClientOutlook, false},
    {"XpNeverLooksAtTheNewerClients", kXp, {.windowsMailUsed = true, .liveMail = LiveMail::Opened}, 0,
     MailClientOutlookExpress, MailClientNone, false},
    {"XpWithOutlookExpressAsDefault", kXp, {.defaultMail = "Outlook Express"}, 0, MailClientOutlookExpress,
     MailClientOutlookExpress, false},
    {"VistaWithWindowsMail", kVista, {.windowsMailUsed = true, .defaultMail = "Windows Mail"}, 0,
     MailClientWindowsMail, MailClientWindowsMail, true},
    {"VistaWithBothLiveMailWins", kVista, {.windowsMailUsed = true, .liveMail = LiveMail::Opened}, 0,
     MailClientWindowsLiveMail, MailClientNone, false},
    {"VistaWithWindowsMailNeverOpened", kVista, {}, 0, MailClientNone, MailClientNone, true},
    {"SevenWithLiveMailAndOutlook2007", kSeven,
     {.outlookCurVer = "Outlook.Application.12", .liveMail = LiveMail::Opened, .defaultMail = "Windows Live Mail"}, 12,
     MailClientWindowsLiveMail, MailClientWindowsLiveMail, false},
    {"SevenWithoutLiveMailIgnoresWindowsMail", kSeven, {.windowsMailUsed = true}, 0, MailClientNone, MailClientNone,
     true},
    {"SevenWithLiveMailNeverOpened", kSeven, {.liveMail = LiveMail::Installed}, 0, MailClientNone, MailClientNone, true},
    {"SevenWithLiveMailFilesGone", kSeven, {.liveMail = LiveMail::Missing}, 0, MailClientNone, MailClientNone, true},
    {"SevenWithAStoreButNoLiveMail", kSeven, {.liveMail = LiveMail::StoreOnly}, 0, MailClientNone, MailClientNone,
     true},
    {"SevenWithOutlook2010Only", kSeven, {.outlookCurVer = "Outlook.Application.14"}, 14, MailClientNone,
     MailClientNone, true},
    {"TenWithOutlook2016", kLater, {.outlookCurVer = "Outlook.Application.16", .defaultMail = "Microsoft Outlook"},
     16, MailClientNone, MailClientOutlook, true},
    {"TenWithLiveMail", kLater, {.liveMail = LiveMail::Opened}, 0, MailClientWindowsLiveMail, MailClientNone, false},
    {"LaterWindowsSkipsWindowsMail", kLater, {.windowsMailUsed = true}, 0, MailClientNone, MailClientNone, true},
    {"TenPointZeroRunsTheWindowsMailTest", kTen, {.windowsMailUsed = true}, 0, MailClientWindowsMail,
     MailClientNone, true},
    {"Outlook2013", kSeven, {.outlookCurVer = "Outlook.Application.15", .liveMail = LiveMail::Opened}, 15,
     MailClientWindowsLiveMail, MailClientNone, false},
    {"VersionAfterTheSecondDot", kXp, {.outlookCurVer = "Outlook.Application.16.0"}, 16, MailClientOutlookExpress,
     MailClientNone, false},
    {"VersionWithBlanksAndTrailingText", kXp, {.outlookCurVer = "Outlook.Application. 14x"}, 14,
     MailClientOutlookExpress, MailClientNone, false},
    {"VersionWithoutDigits", kXp, {.outlookCurVer = "Outlook.Application.x"}, 0, MailClientOutlookExpress,
     MailClientNone, false},
    {"CurVerWithOneDot", kXp, {.outlookCurVer = "Outlook.16"}, 0, MailClientOutlookExpress, MailClientNone, false},
    {"CurVerWithoutOfficeKey", kXp, {.outlookCurVer = "Outlook.Application.14", .officeKey = false}, 0,
     MailClientOutlookExpress, MailClientNone, false},
    {"DefaultInOtherLetterCase", kXp, {.defaultMail = "microsoft outlook"}, 0, MailClientOutlookExpress,
     MailClientNone, false},
    {"DefaultOfAnotherProgram", kXp, {.defaultMail = "Mozilla Thunderbird"}, 0, MailClientOutlookExpress,
     MailClientNone, false},
    {"NoWindowsVersion", std::nullopt, {.windowsMailUsed = true, .liveMail = LiveMail::Opened}, 0, MailClientNone,
     MailClientNone, false},
};

struct StoreAndCase {
    RegistryStoreMaker store;
    DetectionCase detection;
};

void PrintTo(const StoreAndCase& c, std::ostream* out) { *out << c.store.name << "/" << c.detection.name; }

std::vector<StoreAndCase> AllCases() {
    std::vector<StoreAndCase> all;
    for (const RegistryStoreMaker& store : AllRegistryStores())
        for (const DetectionCase& c : kCases) all.push_back({store, c});
    return all;
}

class CMailClientCheckerTest : public ::testing::TestWithParam<StoreAndCase> {
protected:
    void TearDown() override { CMailClientChecker::ResetInstance(); }
    TempFolder m_folder;
    TempFolder m_files;
    ScopedRecordingUserInterface m_ui;
};

TEST_P(CMailClientCheckerTest, AnswersOfTheMachine) {
    const DetectionCase& c = GetParam().detection;
    ScopedMemorySession session(c.version, GetParam().store.make(m_folder));
    WriteMailMachine(c.machine, session.Store(), m_files);
    CMailClientChecker::ResetInstance();

    const CMailClientChecker& checker = CMailClientChecker::GetInstance();
    EXPECT_EQ(checker.m_outlookVersion, c.outlookVersion);
    EXPECT_EQ(checker.m_systemClient, c.systemClient);
    EXPECT_EQ(checker.m_defaultClient, c.defaultClient);
    if (c.liveMailNeverOpened) {
        ASSERT_EQ(m_ui->Calls().size(), 1u);
        EXPECT_EQ(m_ui->Calls()[0].kind, UiCall::Message);
        EXPECT_EQ(m_ui->Calls()[0].text,
                  "Windows Live Mail is installed but has never been opened.\n\nTo create a mail account, open "
                  "Windows Live Mail and next run Mailwright.");
        EXPECT_EQ(m_ui->Calls()[0].style, MB_OK);
    } else {
        EXPECT_TRUE(m_ui->Calls().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Machines, CMailClientCheckerTest, ::testing::ValuesIn(AllCases()),
                         [](const auto& info) {
                             return info.param.store.name + "_" + info.param.detection.name;
                         });

TEST(CMailClientChecker, KeepsTheFirstAnswersForTheWholeRun) {
    ScopedRecordingUserInterface ui;
    ScopedMemorySession session(WindowsVersion(6, 1));
    TempFolder files;
    CMailClientChecker::ResetInstance();
    const CMailClientChecker& first = CMailClientChecker::GetInstance();
    EXPECT_EQ(first.m_systemClient, MailClientNone);

    WriteMailMachine({.outlookCurVer = "Outlook.Application.16", .liveMail = MailMachine::LiveMail::Opened,
                      .defaultMail = "Microsoft Outlook"},
                     session.Store(), files);
    const CMailClientChecker& again = CMailClientChecker::GetInstance();
    EXPECT_EQ(&again, &first);
    EXPECT_EQ(again.m_outlookVersion, 0);
    EXPECT_EQ(again.m_systemClient, MailClientNone);
    EXPECT_EQ(again.m_defaultClient, MailClientNone);
    EXPECT_EQ(ui->Calls().size(), 1u);  // the message of the first detection only

    CMailClientChecker::ResetInstance();
    EXPECT_EQ(CMailClientChecker::GetInstance().m_systemClient, MailClientWindowsLiveMail);
    CMailClientChecker::ResetInstance();
}

// A 32-bit program in a 64-bit prefix: Office and the default mail program registered in
// the 64-bit view only are not its; the installer's data is found only in the 64-bit view.
TEST(CMailClientChecker, SeesTheProgramsViewAndTheInstallersView) {
    for (const RegistryStoreMaker& maker : AllRegistryStores()) {
        if (!maker.win64) continue;
        SCOPED_TRACE(maker.name);
        ScopedRecordingUserInterface ui;
        TempFolder folder, files;
        ScopedMemorySession session(WindowsVersion(6, 1), maker.make(folder));
        const auto write = [&](HKEY root, const char* path, const char* name, const char* text, DWORD view) {
            CRegistryKey key(session.Store());
            ASSERT_EQ(ERROR_SUCCESS, key.CreateKey(root, path, KEY_READ | KEY_WRITE | view));
            ASSERT_EQ(ERROR_SUCCESS, key.WriteString(name, text));
        };
        write(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Office\\16.0", "x", "", KEY_WOW64_64KEY);
        write(HKEY_CLASSES_ROOT, "Outlook.Application\\CurVer", nullptr, "Outlook.Application.16", 0);
        write(HKEY_LOCAL_MACHINE, "SOFTWARE\\Clients\\Mail", nullptr, "Microsoft Outlook", KEY_WOW64_64KEY);
        files.WriteFile("wlmail.exe", "MZ");
        // The installer's data written where a 32-bit program would see it.
        write(HKEY_LOCAL_MACHINE,
              "Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-21-0-0-0-1000\\Components\\"
              "BB656B37A5F33AC4687EAB4E72E7B708",
              "2F1A0E7DC4B3E5D4F8091A2B3C4D5E6F", ZPath(files.Sub("wlmail.exe")).c_str(), KEY_WOW64_32KEY);
        write(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows Live Mail", "Store Root", "C:\\store", 0);

        CMailClientChecker::ResetInstance();
        const CMailClientChecker& checker = CMailClientChecker::GetInstance();
        EXPECT_EQ(checker.m_outlookVersion, 0);
        EXPECT_EQ(checker.m_defaultClient, MailClientNone);
        EXPECT_EQ(checker.m_systemClient, MailClientNone);
        CMailClientChecker::ResetInstance();
    }
}

}  // namespace
}  // namespace mailwright
