// mailwright: the dialog program.
#include <QApplication>
#include <memory>

#include "platform/WinePrefixSession.h"
#include "support/IUserInterface.h"
#include "ui/CMailwrightApp.h"
#include "ui/CQtUserInterface.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("mailwright"));
    QApplication::setDesktopFileName(QStringLiteral("mailwright"));
    mailwright::SetUserInterface(std::make_shared<mailwright::CQtUserInterface>());
    mailwright::WindowsSession::SetCurrent(mailwright::WinePrefixSession::FromEnvironment());
    mailwright::CMailwrightApp app;
    app.InitInstance();
    return 0;
}
