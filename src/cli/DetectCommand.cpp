// mailwright-cli detect: what the mail client checker finds, and which clients run.
#include <iostream>

#include "cli/CliCommands.h"
#include "cli/ClientNames.h"
#include "detection/CMailClientChecker.h"
#include "detection/CProcessesEnum.h"
#include "support/VeskException.h"

namespace mailwright::cli {
namespace {

// "yes" or "no", or "unknown" after showing why the process list cannot be read.
const char* Running(bool (*test)(), bool& failed) {
    try {
        return test() ? "yes" : "no";
    } catch (const Error::VeskException& e) {
        e.ReportError();
        failed = true;
        return "unknown";
    }
}

int Detect() {
    const CMailClientChecker& checker = CMailClientChecker::GetInstance();
    std::cout << "outlook-version: " << checker.m_outlookVersion << "\n"
              << "system-client: " << ClientName(checker.m_systemClient) << "\n"
              << "default-client: " << ClientName(checker.m_defaultClient) << "\n";
    bool failed = false;
    std::cout << "outlook-running: " << Running(IsOutlookRunning, failed) << "\n";
    std::cout << "outlook-express-running: " << Running(IsOutlookExpressRunning, failed) << "\n";
    std::cout << "windows-mail-running: " << Running(IsWindowsMailRunning, failed) << std::endl;
    return failed ? 1 : 0;
}

}  // namespace

void AddDetectCommand(CommandLine& cli) {
    cli.AddCommand(cli.Root(), "detect", "Show the mail clients found in the session and which of them run", Detect);
}

}  // namespace mailwright::cli
