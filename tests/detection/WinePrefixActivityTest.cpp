// Which processes belong to a prefix's Wine, and what an action does while Wine runs it.
#include <gtest/gtest.h>

#include <filesystem>

#include "creation/CMailAccountCreator.h"
#include "detection/CProcessesEnum.h"
#include "detection/WinePrefixActivity.h"
#include "platform/WinePrefixSession.h"
#include "support/MailClientKind.h"
#include "support/WinTypes.h"
#include "testlib/FakeProcessList.h"
#include "testlib/FakeWineProgram.h"
#include "testlib/RecordingUserInterface.h"
#include "testlib/RunningWineServer.h"
#include "testlib/TempWinePrefix.h"

namespace mailwright {
namespace {

using namespace testing;

constexpr const char* kLoader = "/usr/lib/wine/wine64-preloader";
const std::string kOutlook = "C:\\Program Files\\Microsoft Office\\Office14\\OUTLOOK.EXE";

// A process, and whether it makes Outlook count as running in this prefix.
TEST(ProcessesOfThePrefix, OnlyTheWineOfThisPrefixCounts) {
    TempWinePrefix prefix;
    TempFolder home;
    std::filesystem::create_directory_symlink(prefix.Path(), home.Sub(".wine"));
    TempFolder elsewhere;
    const struct {
        const char* name;
        std::string loader;
        std::vector<std::string> environment;
        bool counts;
    } cases[] = {
        {"this prefix", kLoader, {"WINEPREFIX=" + prefix.Path()}, true},
        {"trailing slash", kLoader, {"WINEPREFIX=" + prefix.Path() + "/"}, true},
        {"through ~/.wine, a link", kLoader, {"HOME=" + home.Path()}, true},
        {"another prefix", kLoader, {"WINEPREFIX=" + elsewhere.Path()}, false},
        {"$WINEPREFIX before $HOME", kLoader, {"WINEPREFIX=" + elsewhere.Path(), "HOME=" + home.Path()}, false},
        {"native, renamed", "", {"WINEPREFIX=" + prefix.Path()}, false},
        {"no prefix at all", kLoader, {}, false},
        {"another loader name", "/opt/wine/bin/wine", {"WINEPREFIX=" + prefix.Path()}, true},
        {"wineserver", "/usr/lib/wine/wineserver64", {"WINEPREFIX=" + prefix.Path()}, false},
    };
    ScopedPrefixSession session(prefix);
    for (const auto& c : cases) {
        FakeProcessList processes({"/sbin/init"});
        processes.AddProcess(kOutlook, c.loader, c.environment);
        EXPECT_EQ(IsOutlookRunning(), c.counts) << c.name;
    }
}

TEST(ProcessesOfThePrefix, ProgramsLeaveOutWinesOwnServices) {
    TempWinePrefix prefix;
    FakeProcessList processes({"/sbin/init"});
    const std::vector<std::string> environment{"WINEPREFIX=" + prefix.Path()};
    for (const char* argv0 : {"C:\\windows\\system32\\services.exe", "C:\\windows\\system32\\explorer.exe",
                              "C:\\windows\\system32\\winedevice.exe", kOutlook.c_str(), "C:\\x\\outlook.exe",
                              "C:\\windows\\notepad.exe"})
        processes.AddProcess(argv0, kLoader, environment);
    processes.AddProcess("C:\\y\\wlmail.exe", kLoader, {"WINEPREFIX=/another/prefix"});
    CProcessesEnum list;
    list.Enumerate();
    EXPECT_EQ(list.ProgramsOfPrefix(prefix.Path()), (std::vector<std::string>{"OUTLOOK.EXE", "notepad.exe"}));
}

class RunningWineTest : public ::testing::Test {
protected:
    RunningWineTest() { WinePrefixActivity::SetLingerLimit(std::chrono::milliseconds(5000)); }
    ~RunningWineTest() override { WinePrefixActivity::SetLingerLimit(std::chrono::milliseconds(5000)); }

    TempWinePrefix m_prefix;
    ScopedPrefixSession m_session{m_prefix};
    ScopedRecordingUserInterface m_ui;
};

// A server that outlives its last program ends within seconds: it is waited for.
TEST_F(RunningWineTest, ALingeringServerIsWaitedFor) {
    RunningWineServer server(m_prefix.Path(), 300);
    EXPECT_TRUE(m_session.Session().IsWineRunning());
    EXPECT_TRUE(WinePrefixActivity::EnsureIdle());
    EXPECT_FALSE(m_session.Session().IsWineRunning());
    EXPECT_TRUE(m_ui->Calls().empty());
}

TEST_F(RunningWineTest, RunningProgramsAreNamedAndTheUserMayTryAgain) {
    RunningWineServer server(m_prefix.Path());
    FakeWineProgram outlook(kOutlook, {{"WINEPREFIX", m_prefix.Path()}});
    FakeWineProgram other("C:\\x\\wlmail.exe", {{"WINEPREFIX", "/another/prefix"}});
    m_ui->ScriptBoxAnswer(IDRETRY);
    m_ui->ScriptBoxAnswer(IDCANCEL);
    EXPECT_FALSE(WinePrefixActivity::EnsureIdle());
    ASSERT_EQ(m_ui->Calls().size(), 2u);
    for (const UiCall& call : m_ui->Calls()) {
        EXPECT_EQ(call.kind, UiCall::Message);
        EXPECT_EQ(call.text, "Wine is running programs in this prefix (OUTLOOK.EXE). Close them and try again.");
        EXPECT_EQ(call.style, MB_RETRYCANCEL | MB_ICONWARNING);
    }
}

TEST_F(RunningWineTest, AServerThatStaysWithoutProgramsIsReported) {
    WinePrefixActivity::SetLingerLimit(std::chrono::milliseconds(200));
    RunningWineServer server(m_prefix.Path());
    EXPECT_FALSE(WinePrefixActivity::EnsureIdle());
    ASSERT_EQ(m_ui->Calls().size(), 1u);
    EXPECT_EQ(m_ui->Calls()[0].text,
              "Wine is still running in this prefix, though none of its programs is open. Wait until it has ended "
              "(or end it with \"wineserver -k\") and try again.");
}

// The refusal comes before anything of the creation: no database, no dialog, no write.
TEST_F(RunningWineTest, ACreationIsRefusedBeforeItsFirstDialog) {
    const std::string userHive = m_prefix.Folder().ReadFile("user.reg");
    RunningWineServer server(m_prefix.Path());
    FakeWineProgram outlook(kOutlook, {{"WINEPREFIX", m_prefix.Path()}});
    CMailAccountCreator creator("jan@example.com", "Jan", false);
    EXPECT_FALSE(creator.Create(MailClientOutlookExpress));
    ASSERT_EQ(m_ui->Calls().size(), 1u);
    EXPECT_EQ(m_ui->Calls()[0].text, "Wine is running programs in this prefix (OUTLOOK.EXE). Close them and try again.");
    EXPECT_EQ(m_prefix.Folder().ReadFile("user.reg"), userHive);
}

}  // namespace
}  // namespace mailwright
