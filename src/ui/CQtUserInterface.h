#pragma once
#include <memory>
#include <string>

#include "support/IUserInterface.h"

class QMessageBox;
class QWidget;

namespace mailwright {

// The user-interface seam with real dialogs: message boxes, the user-name dialog, the
// profile choice and the result dialog, each modal over the window the user works in.
class CQtUserInterface : public IUserInterface {
public:
    int MessageBox(const std::string& text, unsigned style) override;
    int ErrorBox(const std::string& text, const std::string& caption, unsigned style) override;
    std::optional<std::string> AskUserName(const std::string& prompt) override;
    std::optional<std::string> ChooseProfile(const std::vector<std::string>& profiles, int outlookVersion) override;
    void ShowResult(const ResultMessage& message) override;
    void WaitForTask(VeskBackgroundTask& task) override;
};

// A message box for a Windows style (MB_ buttons and icon). The application's boxes
// (`applicationBox`) show a warning icon with OK buttons and a question icon with
// Yes/No buttons when the style names no icon.
std::unique_ptr<QMessageBox> MakeMessageBox(const std::string& text, const std::string& caption, unsigned style,
                                            bool applicationBox, QWidget* parent = nullptr);

// Runs a box made by MakeMessageBox and returns the Windows identifier of the button
// pressed (IDOK, IDCANCEL, IDYES, IDNO).
int RunMessageBox(QMessageBox& box);

}  // namespace mailwright
