#include "cli/ConsoleUserInterface.h"

#include <unistd.h>

#include <iostream>

#include "support/StringTable.h"
#include "support/TextUtil.h"
#include "support/WinTypes.h"

namespace mailwright {
namespace {

void PrintBox(const std::string& caption, const std::string& text) {
    std::cerr << caption << ": " << text << std::endl;
}

bool StdinIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }

}  // namespace

int ConsoleUserInterface::MessageBox(const std::string& text, unsigned style) {
    PrintBox(LoadString(IDS_APP_TITLE), text);
    return (style & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK;
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

std::optional<std::string> ConsoleUserInterface::ChooseProfile(const std::vector<std::string>& profiles, int) {
    if (m_profile) return m_profile;
    if (profiles.empty()) return std::nullopt;
    return profiles.front();
}

void ConsoleUserInterface::ShowResult(const ResultMessage& message) {
    std::cout << message.text << std::endl;
    if (!message.infoUrl.empty()) std::cout << message.infoUrl << std::endl;
}

}  // namespace mailwright
