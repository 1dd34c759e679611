#pragma once
#include <optional>
#include <string>

#include "support/IUserInterface.h"

namespace mailwright {

// The user interface of the command-line program: boxes become lines on stderr,
// the result goes to stdout, dialogs are answered from the command line.
class ConsoleUserInterface : public IUserInterface {
public:
    int MessageBox(const std::string& text, unsigned style) override;
    int ErrorBox(const std::string& text, const std::string& caption, unsigned style) override;
    std::optional<std::string> AskUserName(const std::string& prompt) override;
    std::optional<std::string> ChooseProfile(const std::vector<std::string>& profiles, int outlookVersion) override;
    void ShowResult(const ResultMessage& message) override;
    void WaitForTask(VeskBackgroundTask& task) override;

    // Answers for the dialogs, from the command line.
    void SetUserName(std::optional<std::string> name) { m_userName = std::move(name); }
    void SetProfile(std::optional<std::string> profile) { m_profile = std::move(profile); }
    // Prints no result; failures are told all the same.
    void SetQuiet(bool quiet) { m_quiet = quiet; }

private:
    std::optional<std::string> m_userName;
    std::optional<std::string> m_profile;
    bool m_quiet = false;
};

}  // namespace mailwright
