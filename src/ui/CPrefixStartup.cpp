#include "ui/CPrefixStartup.h"

#include "platform/WinePrefixChoice.h"
#include "platform/WinePrefixSession.h"
#include "ui/CDlgPrefixChoice.h"
#include "ui/VeskWidgets.h"

namespace mailwright {

std::shared_ptr<WindowsSession> CPrefixStartup::ChooseSession(const WinePrefixChoice& choice, const Asker& ask) {
    bool named = false;
    std::optional<std::string> folder = WinePrefixChoice::PrefixFromEnvironment(named);
    if (named) {
        if (!folder) return std::make_shared<WindowsSession>();  // the main dialog says there is no prefix
        return std::make_shared<WinePrefixSession>(*folder);
    }
    const std::vector<FoundPrefix> found = choice.FindAll();
    folder = choice.Resolve(found);
    if (!folder) {
        folder = ask(WinePrefixSurvey::DescribeAll(found));
        if (!folder) return nullptr;
        choice.Remember(*folder);  // a choice that cannot be kept still holds for this run
    }
    return std::make_shared<WinePrefixSession>(*folder);
}

std::optional<std::string> CPrefixStartup::AskWithChooser(const std::vector<PrefixSummary>& prefixes) {
    CDlgPrefixChoice dialog(prefixes);
    if (RunModal(dialog) != QDialog::Accepted) return std::nullopt;
    return dialog.ChosenFolder();
}

}  // namespace mailwright
