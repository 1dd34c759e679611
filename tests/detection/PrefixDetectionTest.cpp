// Detection in prefixes as Wine lays them out, with the Windows version the prefix reports.
#include <gtest/gtest.h>

#include "detection/CMailClientChecker.h"
#include "platform/WinePrefixSession.h"
#include "testlib/MachineFixture.h"
#include "testlib/RecordingUserInterface.h"
#include "testlib/TempWinePrefix.h"

namespace mailwright {
namespace {

using namespace testing;
using LiveMail = MailMachine::LiveMail;

struct PrefixCase {
    const char* name;
    WindowsRelease release;
    bool win64;
    MailMachine machine;
    std::int32_t outlookVersion;
    MailClientKind systemClient;
    MailClientKind defaultClient;
    size_t messages;
};

const PrefixCase kPrefixes[] = {
    {"XpWithoutOutlook", WindowsRelease::WinXP, false, {}, 0, MailClientOutlookExpress, MailClientNone, 0},
    {"XpWithOutlook2003", WindowsRelease::WinXP, false,
     {.outlookCurVer = "Outlook.Application.11", .defaultMail = "Microsoft Outlook"}, 11, MailClientOutlookExpress,
     MailClientOutlook, 0},
    {"VistaWithWindowsMail", WindowsRelease::Vista, false, {.windowsMailUsed = true, .defaultMail = "Windows Mail"}, 0,
     MailClientWindowsMail, MailClientWindowsMail, 1},
    {"SevenWithLiveMail", WindowsRelease::Win7, true,
     {.liveMail = LiveMail::Opened, .defaultMail = "Windows Live Mail"}, 0, MailClientWindowsLiveMail,
     MailClientWindowsLiveMail, 0},
    {"SevenWithoutLiveMail", WindowsRelease::Win7, true, {.outlookCurVer = "Outlook.Application.12"}, 12,
     MailClientNone, MailClientNone, 1},
    {"Seven32WithOutlook2013", WindowsRelease::Win7, false,
     {.outlookCurVer = "Outlook.Application.15", .liveMail = LiveMail::Opened}, 15, MailClientWindowsLiveMail,
     MailClientNone, 0},
    // Windows 10 reads as 6.2, so its Windows Mail data is not looked at.
    {"TenWithOutlook2016", WindowsRelease::Win10, true,
     {.outlookCurVer = "Outlook.Application.16", .windowsMailUsed = true, .defaultMail = "Microsoft Outlook"}, 16,
     MailClientNone, MailClientOutlook, 1},
};

void PrintTo(const PrefixCase& c, std::ostream* out) { *out << c.name; }

class PrefixDetectionTest : public ::testing::TestWithParam<PrefixCase> {
protected:
    void TearDown() override { CMailClientChecker::ResetInstance(); }
};

TEST_P(PrefixDetectionTest, AnswersOfThePrefix) {
    const PrefixCase& c = GetParam();
    TempWinePrefix prefix(c.release, c.win64);
    ScopedPrefixSession session(prefix);
    TempFolder files;
    WriteMailMachine(c.machine, session.Session().Registry(), files);
    ScopedRecordingUserInterface ui;
    CMailClientChecker::ResetInstance();
    const CMailClientChecker& checker = CMailClientChecker::GetInstance();
    EXPECT_EQ(checker.m_outlookVersion, c.outlookVersion);
    EXPECT_EQ(checker.m_systemClient, c.systemClient);
    EXPECT_EQ(checker.m_defaultClient, c.defaultClient);
    EXPECT_EQ(ui->Calls().size(), c.messages);
}

INSTANTIATE_TEST_SUITE_P(Prefixes, PrefixDetectionTest, ::testing::ValuesIn(kPrefixes),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mailwright
