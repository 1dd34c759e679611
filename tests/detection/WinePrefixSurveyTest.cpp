// What the chooser and `prefixes` say of each prefix.
#include <gtest/gtest.h>

#include "detection/WinePrefixSurvey.h"
#include "support/WindowsSession.h"
#include "testlib/RecordingUserInterface.h"
#include "testlib/RunningWineServer.h"
#include "testlib/TempWinePrefix.h"

namespace mailwright {
namespace {

using namespace testing;

TEST(WinePrefixSurvey, DescribesEachPrefixSilentlyAndLeavesTheSessionAsItWas) {
    TempWinePrefix xp(WindowsRelease::WinXP, false);
    TempWinePrefix seven(WindowsRelease::Win7, true);
    TempFolder notAPrefix;
    RunningWineServer server(seven.Path());
    ScopedRecordingUserInterface ui;
    const std::shared_ptr<WindowsSession> before = WindowsSession::Current();

    const std::vector<PrefixSummary> summaries = WinePrefixSurvey::DescribeAll(
        {{"xp", xp.Path(), "Wine"}, {"seven", seven.Path(), "Bottles"}, {"empty", notAPrefix.Path(), "Lutris"}});
    ASSERT_EQ(summaries.size(), 3u);
    EXPECT_EQ(summaries[0].prefix.name, "xp");
    EXPECT_EQ(summaries[0].windows, "Windows XP");
    EXPECT_EQ(summaries[0].clients, "Outlook Express");
    EXPECT_FALSE(summaries[0].wineRunning);
    EXPECT_EQ(summaries[1].windows, "Windows 7");
    EXPECT_EQ(summaries[1].clients, "none");  // Windows Live Mail never opened: no message here
    EXPECT_TRUE(summaries[1].wineRunning);
    EXPECT_EQ(summaries[2].windows, "unknown");
    EXPECT_EQ(summaries[2].clients, "none");

    EXPECT_TRUE(ui->Calls().empty());
    EXPECT_EQ(WindowsSession::Current(), before);
}

TEST(WinePrefixSurvey, NamesWindowsVersions) {
    EXPECT_EQ(WinePrefixSurvey::WindowsName(6, 0), "Windows Vista");
    EXPECT_EQ(WinePrefixSurvey::WindowsName(6, 2), "Windows 8 or later");
    EXPECT_EQ(WinePrefixSurvey::WindowsName(3, 51), "Windows 3.51");
}

}  // namespace
}  // namespace mailwright
