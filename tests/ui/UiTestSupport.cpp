#include "UiTestSupport.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <clocale>

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

void ClickAsTheUser(QWidget* control) {
    QWidget* window = control->window();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      control->mapTo(window, control->rect().center()));
}

ScopedCLocale::ScopedCLocale() : m_previous(std::setlocale(LC_ALL, nullptr)) { std::setlocale(LC_ALL, "C"); }

ScopedCLocale::~ScopedCLocale() { std::setlocale(LC_ALL, m_previous.c_str()); }

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
