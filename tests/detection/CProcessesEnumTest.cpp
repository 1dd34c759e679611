#include <gtest/gtest.h>

#include <algorithm>

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

TEST(RunningClients, RealProcessListHasNoMailClient) {
    CProcessesEnum processes;
    processes.Enumerate();
    EXPECT_FALSE(processes.GetExeFiles().empty());
    EXPECT_FALSE(IsOutlookRunning());
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
