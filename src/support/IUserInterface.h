#pragma once
// The seam between the core and whatever shows things to the user: the Qt program,
// the console of the command-line program, or a recording fake in tests. The core
// never draws or prints; every box and dialog goes through the current interface.
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mailwright {

class VeskBackgroundTask;

// The text of the result dialog, with the range shown in bold.
struct ResultMessage {
    std::string text;
    std::size_t boldStart = 0;
    std::size_t boldLength = 0;
    std::string infoUrl;  // empty: no link
};

class IUserInterface {
public:
    virtual ~IUserInterface() = default;

    // A message box of the application, captioned with the application title. The style
    // holds the MB_ buttons and icon; with no icon, OK boxes warn and Yes/No boxes ask.
    // Returns the button pressed (IDOK, IDCANCEL, IDYES, IDNO).
    virtual int MessageBox(const std::string& text, unsigned style) = 0;

    // The box of ReportError: its own caption and style.
    virtual int ErrorBox(const std::string& text, const std::string& caption, unsigned style) = 0;

    // Asks for the log-on name under the provider's prompt. The name as typed (not empty
    // after trimming) on OK; nothing when the user cancels.
    virtual std::optional<std::string> AskUserName(const std::string& prompt) = 0;

    // Lets the user choose one of Outlook's profiles. The chosen name; nothing on cancel.
    virtual std::optional<std::string> ChooseProfile(const std::vector<std::string>& profiles,
                                                     int outlookVersion) = 0;

    // Shows the result of a successful creation.
    virtual void ShowResult(const ResultMessage& message) = 0;

    // Waits for work that runs on its own thread and returns once it has ended. The Qt
    // program keeps its windows painted under a busy cursor meanwhile, takes no other
    // input and cancels the task on Esc or when a window is closed.
    virtual void WaitForTask(VeskBackgroundTask& task) = 0;
};

// The interface in use. Without one set, boxes are not shown and dialogs are cancelled.
IUserInterface& UserInterface();

// Replaces the interface in use and returns the previous one.
std::shared_ptr<IUserInterface> SetUserInterface(std::shared_ptr<IUserInterface> ui);

// The application's message box (AfxMessageBox): the current interface's MessageBox.
int AppMessageBox(const std::string& text, unsigned style);
int AppMessageBox(unsigned stringId, unsigned style);

}  // namespace mailwright
