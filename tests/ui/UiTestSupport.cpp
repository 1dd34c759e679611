#include "UiTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QTimer>

namespace mailwright::testing {

void WhenModal(std::function<void(QWidget*)> act) {
    QTimer::singleShot(0, [act = std::move(act)]() mutable {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            act(modal);
            return;
        }
        WhenModal(std::move(act));
    });
}

QString ScreenshotFolder() {
    const QString folder = QStringLiteral(MW_BINARY_DIR "/screenshots");
    QDir().mkpath(folder);
    return folder;
}

void SaveScreenshot(QWidget& widget, const QString& name) {
    widget.grab().save(ScreenshotFolder() + QLatin1Char('/') + name + QStringLiteral(".png"), "PNG");
}

int FakeLinkOpener::ShellOpen(const std::string& address) {
    calls.push_back("shell " + address);
    return shellResult;
}

std::optional<std::string> FakeLinkOpener::HtmlHandlerCommand() {
    calls.push_back("handler");
    return handlerCommand;
}

int FakeLinkOpener::Exec(const std::string& commandLine) {
    calls.push_back("exec " + commandLine);
    return execResult;
}

ScopedFakeLinkOpener::ScopedFakeLinkOpener()
    : m_opener(std::make_shared<FakeLinkOpener>()), m_previous(SetLinkOpener(m_opener)) {}

ScopedFakeLinkOpener::~ScopedFakeLinkOpener() { SetLinkOpener(m_previous); }

}  // namespace mailwright::testing
