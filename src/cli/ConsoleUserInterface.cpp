#include "cli/ConsoleUserInterface.h"

#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "support/StringTable.h"
#include "support/TextUtil.h"
#include "support/VeskBackgroundTask.h"
#include "support/WinTypes.h"
#include "writers/DefaultProfile.h"

namespace mailwright {
namespace {

void PrintBox(const std::string& caption, const std::string& text) {
    std::cerr << caption << ": " << text << std::endl;
}

bool StdinIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }

// The profile named on the command line, spelt as Outlook spells it; nothing when
// Outlook has no such profile.
std::optional<std::string> FindNamedProfile(const std::vector<std::string>& profiles, const std::string& name) {
    for (const std::string& profile : profiles)
        if (EqualsNoCase(profile, name)) return profile;
    std::string known;
    for (const std::string& profile : profiles) known += (known.empty() ? "" : ", ") + profile;
    std::cerr << "Outlook has no profile named \"" << name << "\"; its profiles are: " << known << std::endl;
    return std::nullopt;
}

// Lists the profiles as the dialog shows them and reads the choice: a number, a name,
// or an empty line for the preselected default. Nothing at the end of the input.
std::optional<std::string> AskProfile(const std::vector<std::string>& displayed, int preselected) {
    for (size_t i = 0; i < displayed.size(); ++i) {
        std::cerr << "  " << i + 1 << ". " << displayed[i]
                  << (static_cast<int>(i) == preselected ? " (default)" : "") << "\n";
    }
    for (;;) {
        std::cerr << LoadString(IDS_CHOOSE_PROFILE) << " [" << preselected + 1 << "]: " << std::flush;
        std::string line;
        if (!std::getline(std::cin, line)) return std::nullopt;
        line = Trim(line);
        if (line.empty()) return displayed[static_cast<size_t>(preselected)];
        char* end = nullptr;
        const long number = std::strtol(line.c_str(), &end, 10);
        if (*end == '\0' && number >= 1 && static_cast<size_t>(number) <= displayed.size())
            return displayed[static_cast<size_t>(number - 1)];
        for (const std::string& profile : displayed)
            if (EqualsNoCase(profile, line)) return profile;
        std::cerr << LoadString(IDS_SELECT_PROFILE) << std::endl;
    }
}

}  // namespace

int ConsoleUserInterface::MessageBox(const std::string& text, unsigned style) {
    PrintBox(LoadString(IDS_APP_TITLE), text);
    // Nobody answers: Yes/No boxes take No, and a refusal that offers a retry gives up.
    switch (style & MB_TYPEMASK) {
    case MB_YESNO: return IDNO;
    case MB_RETRYCANCEL: return IDCANCEL;
    default: return IDOK;
    }
}

int ConsoleUserInterface::ErrorBox(const std::string& text, const std::string& caption, unsigned) {
    PrintBox(caption, text);
    return IDOK;
}

std::optional<std::string> ConsoleUserInterface::AskUserName(const std::string& prompt) {
    if (m_userName) return m_userName;
    if (!StdinIsTerminal()) {
        std::cerr << "The provider needs a log-on name: give it with --user-name." << std::endl;
        return std::nullopt;
    }
    std::cerr << prompt << std::endl;
    std::string line;
    // As the dialog does: a blank name is refused and asked for again; end of input cancels.
    while (std::cerr << "Log-on name: " << std::flush, std::getline(std::cin, line)) {
        if (!Trim(line).empty()) return line;
        std::cerr << LoadString(IDS_PROVIDE_DATA) << std::endl;
    }
    return std::nullopt;
}

std::optional<std::string> ConsoleUserInterface::ChooseProfile(const std::vector<std::string>& profiles,
                                                               int outlookVersion) {
    if (m_profile) return FindNamedProfile(profiles, *m_profile);
    if (profiles.empty()) return std::nullopt;
    // The same list and preselection as the dialog's.
    const std::vector<std::string> displayed = SortAsComboBox(profiles);
    const int preselected = FindDefaultProfile(displayed, outlookVersion);
    if (!StdinIsTerminal()) return displayed[static_cast<size_t>(preselected)];
    return AskProfile(displayed, preselected);
}

void ConsoleUserInterface::ShowResult(const ResultMessage& message) {
    if (m_quiet) return;
    std::cout << message.text << std::endl;
    if (!message.infoUrl.empty()) std::cout << message.infoUrl << std::endl;
}

// Nothing else happens meanwhile; Ctrl-C ends the program as ever.
void ConsoleUserInterface::WaitForTask(VeskBackgroundTask& task) { task.Wait(); }

}  // namespace mailwright
