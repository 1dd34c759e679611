#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

#include "detection/CProcessesEnum.h"
#include "support/VeskException.h"
#include "testlib/FakeProcessList.h"
#include "testlib/MemorySession.h"

using namespace mailwright;
using namespace mailwright::testing;

TEST(RunningClients, MatchTheBareExecutableNameWithoutRegardToCase) {
    ScopedMemorySession session;  // whose Wine runs the fake processes
    const struct {
        const char* argv0;
        bool outlook, outlookExpress, windowsMail;
    } cases[] = {
        {"C:\\Program Files\\Microsoft Office\\Office16\\outlook.EXE", true, false, false},
        {"  C:/Program Files/Outlook Express/MSIMN.exe  ", false, true, false},
        {"C:\\Program Files\\Windows Live\\Mail\\wlmail.exe", false, false, true},
        {"C:\\Program Files\\Windows Mail\\WinMail.exe", false, false, true},
        {"OUTLOOK.exe.bak", false, false, false},
        {"C:\\myOUTLOOK.exe", false, false, false},
        {"/usr/bin/bash", false, false, false},
    };
    for (const auto& c : cases) {
        FakeProcessList processes({"/sbin/init", c.argv0});
        EXPECT_EQ(IsOutlookRunning(), c.outlook) << c.argv0;
        EXPECT_EQ(IsOutlookExpressRunning(), c.outlookExpress) << c.argv0;
        EXPECT_EQ(IsWindowsMailRunning(), c.windowsMail) << c.argv0;
    }
}

TEST(RunningClients, CommandNameServesWhenTheCommandLineIsEmpty) {
    ScopedMemorySession session;  // whose Wine runs the fake processes
    FakeProcessList processes({"/sbin/init"});
    processes.AddKernelStyle("msimn.exe");
    EXPECT_TRUE(IsOutlookExpressRunning());
}

// A process that ends while the list is read is passed over, not an error.
TEST(RunningClients, AProcessThatEndsMeanwhileIsPassedOver) {
    ScopedMemorySession session;  // whose Wine runs the fake processes
    FakeProcessList processes({"/sbin/init"});
    processes.AddEnding();
    processes.AddKernelStyle("msimn.exe");
    processes.AddEnding();
    EXPECT_TRUE(IsOutlookExpressRunning());
    EXPECT_FALSE(IsOutlookRunning());
    CProcessesEnum list;
    list.Enumerate();
    std::vector<std::string> found = list.GetExeFiles();
    std::sort(found.begin(), found.end());  // in the order of the folder's entries
    EXPECT_EQ(found, (std::vector<std::string>{"/sbin/init", "msimn.exe"}));
}

// A process started the way Wine starts a Windows program, its .exe's Windows path as
// argv[0], shows in the real process list while it runs and is gone once it ended. (Which
// of them run in the prefix's Wine is another matter, tested with fake lists.)
TEST(RunningClients, TheRealProcessListShowsAProgramStartedAsWineDoes) {
    const std::string exe =
        "C:\\Program Files\\Microsoft Office\\Office16 test " + std::to_string(::getpid()) + "\\OUTLOOK.EXE";
    char* const argv[] = {const_cast<char*>(exe.c_str()), const_cast<char*>("30"), nullptr};
    pid_t child = 0;
    ASSERT_EQ(::posix_spawn(&child, "/bin/sleep", nullptr, nullptr, argv, environ), 0);
    const auto listed = [&] {
        CProcessesEnum processes;
        processes.Enumerate();
        const auto& found = processes.GetExeFiles();
        return std::find(found.begin(), found.end(), exe) != found.end();
    };
    // The new process shows its own command line once exec has replaced ours.
    bool seen = false;
    for (int i = 0; i < 200 && !(seen = listed()); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(seen);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_FALSE(listed());
}

TEST(RunningClients, AnUnreadableProcessListThrows) {
    FakeProcessList processes({});
    CProcessesEnum::SetProcRoot("/nonexistent/proc");
    try {
        IsOutlookRunning();
        FAIL() << "no exception";
    } catch (const Error::VeskExceptionCommon& e) {
        EXPECT_EQ(e.GetCode(), 2u);
        EXPECT_NE(e.GetMessageText().find("CreateToolhelp32Snapshot (of processes)"), std::string::npos);
        EXPECT_EQ(e.GetFile(), "");
        EXPECT_EQ(e.GetLine(), 0);
    }
}
