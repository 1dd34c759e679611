// mailwright-cli prefixes, and the global --prefix DIR that names the prefix to work on.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>

#include "cli/CliCommands.h"
#include "detection/WinePrefixSurvey.h"
#include "platform/WinePrefixChoice.h"
#include "platform/WinePrefixSession.h"
#include "support/StringTable.h"
#include "support/WindowsSession.h"

namespace mailwright::cli {
namespace {

std::string Replace(std::string text, const std::string& value) {
    if (const size_t mark = text.find("%s"); mark != std::string::npos) text.replace(mark, 2, value);
    return text;
}

// An explicit choice wins over everything, $WINEPREFIX included.
void ChoosePrefix(const std::string& folder) {
    std::error_code error;
    const std::string absolute = std::filesystem::absolute(folder, error).lexically_normal().string();
    if (error || !WinePrefixFinder::IsPrefix(absolute)) throw CLI::ValidationError("--prefix", Replace(LoadString(IDS_NOT_A_PREFIX), folder));
    WindowsSession::SetCurrent(std::make_shared<WinePrefixSession>(absolute));
}

// A failure is one line on stderr.
std::string OneLine(std::string text) {
    for (size_t at = text.find("\n\n"); at != std::string::npos; at = text.find("\n\n", at)) text.replace(at, 2, " ");
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

using Row = std::vector<std::string>;

void PrintTable(const std::vector<Row>& rows) {
    std::vector<size_t> widths(rows.front().size(), 0);
    for (const Row& row : rows)
        for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
    for (const Row& row : rows) {
        std::string line;
        for (size_t i = 0; i < row.size(); ++i)
            line += i + 1 == row.size() ? row[i] : row[i] + std::string(widths[i] - row[i].size() + 2, ' ');
        std::cout << line << "\n";
    }
}

int ListPrefixes() {
    const std::vector<FoundPrefix> found = WinePrefixChoice::FromEnvironment().FindAll();
    if (found.empty()) return Fail(OneLine(LoadString(IDS_NO_WINE_PREFIX)), 1);
    const std::string current = WindowsSession::Current()->PrefixFolder();
    std::vector<Row> rows{{"", LoadString(IDS_PREFIX_COLUMN_NAME), LoadString(IDS_PREFIX_COLUMN_WINDOWS),
                           LoadString(IDS_PREFIX_COLUMN_CLIENTS), "Launcher", "Wine", LoadString(IDS_PREFIX_COLUMN_FOLDER)}};
    for (const PrefixSummary& summary : WinePrefixSurvey::DescribeAll(found)) {
        const bool inUse = WinePrefixSession::IsSameFolder(summary.prefix.folder, current);
        rows.push_back({inUse ? "*" : "", summary.prefix.name, summary.windows, summary.clients, summary.prefix.launcher,
                        summary.wineRunning ? "running" : "-", summary.prefix.folder});
    }
    PrintTable(rows);
    std::cout << std::flush;
    return 0;
}

}  // namespace

void AddPrefixesCommand(CommandLine& cli) {
    cli.Root().add_option_function<std::string>("--prefix", ChoosePrefix,
                                                "Work on the Wine prefix in DIR (wins over $WINEPREFIX)")
        ->option_text("DIR");
    cli.AddCommand(cli.Root(), "prefixes",
                   "List the Wine prefixes found: name, Windows version, mail clients, launcher, folder "
                   "(* marks the one in use)",
                   ListPrefixes);
}

}  // namespace mailwright::cli
