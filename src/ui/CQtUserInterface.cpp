#include "ui/CQtUserInterface.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <span>

#include "support/StringTable.h"
#include "support/WinTypes.h"
#include "ui/CDlgComment.h"
#include "ui/CDlgCustomUserName.h"
#include "ui/CDlgProfileSelect.h"
#include "ui/UiText.h"
#include "ui/VeskBusyWait.h"
#include "ui/VeskWidgets.h"

namespace mailwright {
namespace {

constexpr unsigned MB_YESNOCANCEL = 0x3;

bool CanOwn(const QWidget* window) {
    return window && window->isVisible() && (window->windowType() == Qt::Window || window->windowType() == Qt::Dialog);
}

// The window the user works in: the open modal dialog, else the active window, else the
// program's visible main window. A tool window (the update dialog) never owns a box: the
// box would take its Cancel away.
QWidget* OwnerWindow() {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    if (QWidget* active = QApplication::activeWindow(); CanOwn(active)) return active;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (CanOwn(window)) return window;
    return nullptr;
}

QMessageBox::Icon IconOf(unsigned style, bool applicationBox) {
    switch (style & MB_ICONMASK) {
    case MB_ICONERROR: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONEXCLAMATION: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: break;
    }
    if (!applicationBox) return QMessageBox::NoIcon;
    return (style & MB_TYPEMASK) == MB_YESNO ? QMessageBox::Question : QMessageBox::Warning;
}

struct BoxButton {
    QMessageBox::StandardButton button;
    int id;
};

constexpr BoxButton kOk[] = {{QMessageBox::Ok, IDOK}};
constexpr BoxButton kOkCancel[] = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
constexpr BoxButton kYesNo[] = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
constexpr BoxButton kRetryCancel[] = {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
constexpr BoxButton kYesNoCancel[] = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};

std::span<const BoxButton> ButtonsOf(unsigned style) {
    switch (style & MB_TYPEMASK) {
    case MB_OKCANCEL: return kOkCancel;
    case MB_YESNO: return kYesNo;
    case MB_YESNOCANCEL: return kYesNoCancel;
    case MB_RETRYCANCEL: return kRetryCancel;
    default: return kOk;
    }
}

}  // namespace

std::unique_ptr<QMessageBox> MakeMessageBox(const std::string& text, const std::string& caption, unsigned style,
                                            bool applicationBox, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(ToQString(caption));
    box->setTextFormat(Qt::PlainText);
    box->setText(ToQString(text));
    box->setIcon(IconOf(style, applicationBox));
    const std::span<const BoxButton> buttons = ButtonsOf(style);
    for (const BoxButton& button : buttons) box->addButton(button.button);
    box->setDefaultButton(buttons.front().button);
    // Esc answers as Windows answers it: Cancel when the box has it, OK when OK is the only button.
    if (buttons.back().id == IDCANCEL) box->setEscapeButton(buttons.back().button);
    else if (buttons.size() == 1) box->setEscapeButton(buttons.front().button);
    return box;
}

int RunMessageBox(QMessageBox& box) {
    RunModal(box);
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok: return IDOK;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    case QMessageBox::Retry: return IDRETRY;
    default: return IDCANCEL;
    }
}

int CQtUserInterface::MessageBox(const std::string& text, unsigned style) {
    auto box = MakeMessageBox(text, LoadString(IDS_APP_TITLE), style, true, OwnerWindow());
    return RunMessageBox(*box);
}

int CQtUserInterface::ErrorBox(const std::string& text, const std::string& caption, unsigned style) {
    auto box = MakeMessageBox(text, caption, style, false, OwnerWindow());
    return RunMessageBox(*box);
}

std::optional<std::string> CQtUserInterface::AskUserName(const std::string& prompt) {
    CDlgCustomUserName dialog(prompt, OwnerWindow());
    if (RunModal(dialog) != QDialog::Accepted) return std::nullopt;
    return dialog.GetUserName();
}

std::optional<std::string> CQtUserInterface::ChooseProfile(const std::vector<std::string>& profiles,
                                                           int outlookVersion) {
    CDlgProfileSelect dialog(profiles, outlookVersion, OwnerWindow());
    if (RunModal(dialog) != QDialog::Accepted) return std::nullopt;
    return dialog.GetSelectedText();
}

void CQtUserInterface::ShowResult(const ResultMessage& message) {
    CDlgComment dialog(message, OwnerWindow());
    RunModal(dialog);
}

void CQtUserInterface::WaitForTask(VeskBackgroundTask& task) { VeskBusyWait::Run(task); }

}  // namespace mailwright
