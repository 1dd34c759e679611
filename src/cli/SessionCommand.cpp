// mailwright-cli session: what the program sees of the Windows session.
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "registry/WineHiveStore.h"
#include "support/FileSystem.h"
#include "support/TextUtil.h"
#include "support/VeskFsPathT.h"
#include "support/WindowsSession.h"

namespace mailwright::cli {

namespace {

// Every key of both hives read: the lines Wine skips or reads in part, one a line.
int PrintHiveLines(WineHiveStore& hives) {
    std::vector<std::string> lines;
    const bool readable = hives.ReadEveryKey([&](const std::string& line) { lines.push_back(line); });
    std::cout << "Registry: " << (lines.empty() ? "every line read" : Format("%zu line%s not read as written", lines.size(), lines.size() == 1 ? "" : "s"))
              << "\n";
    for (const std::string& line : lines) std::cout << "  " << line << "\n";
    if (!readable) return Fail("registry cannot be read: " + hives.HiveProblem(), 1);
    return 0;
}

int PrintSession() {
    const std::shared_ptr<WindowsSession> current = WindowsSession::Current();
    WindowsSession& session = *current;
    const std::string prefix = session.PrefixFolder();
    std::cout << "Prefix: " << (prefix.empty() ? "none (no Wine prefix found; see mailwright-cli prefixes)" : prefix)
              << "\n";
    if (!prefix.empty()) {
        const std::string arch = session.Architecture();
        std::cout << "Architecture: " << (arch.empty() ? "unknown" : arch) << "\n";
    }
    OsVersionInfo version;
    if (session.GetVersionEx(version)) {
        std::cout << "Windows version: "
                  << Format("%u.%u.%u", version.majorVersion, version.minorVersion, version.buildNumber);
        if (!Trim(version.csdVersion).empty()) std::cout << " " << Trim(version.csdVersion);
        std::cout << "\n";
    } else {
        std::cout << "Windows version: none (the version query fails)\n";
    }
    const VeskFsPath folder = GetApplicationFolder();
    std::cout << "Application folder: " << (folder.IsEmpty() ? "none" : folder.Str()) << "\n";
    std::cout << "Application folder (Unix): "
              << (folder.IsEmpty() ? "none" : UnixPathOf(folder.Str()).value_or("none")) << "\n";
    if (!prefix.empty())
        std::cout << "Wine running: " << (session.IsWineRunning() ? "yes (registry writes are refused)" : "no") << "\n";
    if (auto hives = std::dynamic_pointer_cast<WineHiveStore>(session.Registry())) return PrintHiveLines(*hives);
    return 0;
}

}  // namespace

void AddSessionCommand(CommandLine& cli) {
    cli.AddCommand(cli.Root(), "session", "Show the Wine prefix, its Windows version and the application folder",
                   PrintSession);
}

}  // namespace mailwright::cli
