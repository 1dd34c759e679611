// mailwright: the dialog program.
#include <QApplication>
#include <memory>

#include "platform/WinePrefixChoice.h"
#include "support/WindowsSession.h"
#include "support/IUserInterface.h"
#include "support/VeskCatalog.h"
#include "ui/CMailwrightApp.h"
#include "ui/CPrefixStartup.h"
#include "ui/CQtUserInterface.h"
#include "ui/QtTranslations.h"

// The tests build a copy of the program whose update asks a port of 127.0.0.1 where
// nothing can listen; the program itself has the built-in address, and nothing from
// outside changes it.
#ifndef MAILWRIGHT_LOCAL_UPDATE_URL
#define MAILWRIGHT_LOCAL_UPDATE_URL ""
#endif

int main(int, char**) {
    // The command line has no effect: Qt sees the program's name alone, so none of its
    // own options (-platform, -style, -reverse...) can change or break the program.
    static char name[] = "mailwright";
    static char* arguments[] = {name, nullptr};
    static int count = 1;
    QApplication application(count, arguments);
    QApplication::setApplicationName(QStringLiteral("mailwright"));
    QApplication::setDesktopFileName(QStringLiteral("mailwright"));
    mailwright::VeskCatalog::Activate(mailwright::VeskCatalog::DefaultLocaleFolder());
    mailwright::InstallQtTranslations(mailwright::VeskCatalog::Language());
    mailwright::SetUserInterface(std::make_shared<mailwright::CQtUserInterface>());
    std::shared_ptr<mailwright::WindowsSession> session =
        mailwright::CPrefixStartup::ChooseSession(mailwright::WinePrefixChoice::FromEnvironment());
    if (!session) return 0;  // the user cancelled the choice of prefix
    mailwright::WindowsSession::SetCurrent(std::move(session));
    mailwright::CMailwrightApp app(MAILWRIGHT_LOCAL_UPDATE_URL);
    app.InitInstance();
    return 0;
}
