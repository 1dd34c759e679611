#pragma once
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "ui/VeskLinkOpener.h"

// GoogleTest prints Qt strings as their text.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace mailwright::testing {

// The database address of a main dialog whose update a test does not watch: a port of
// 127.0.0.1 where nothing can listen, so the update fails at once and never leaves the
// machine (the built-in address would ask the network).
inline constexpr const char* kUnreachableUpdateUrl = "http://127.0.0.1:0/providers.lst";

// Runs `act` on the modal dialog once it is open (the dialog's exec is the caller's next
// step). A zero-delay timer polls until a modal widget shows up.
void WhenModal(std::function<void(QWidget*)> act);

// A click as the user makes it: through the window system, which holds back input from
// a window that a modal dialog blocks.
void ClickAsTheUser(QWidget* control);

// The folder of the screenshots, under the build folder; made when missing.
QString ScreenshotFolder();

// Saves a rendering of the widget (its client area) as <name>.png in the screenshot folder.
void SaveScreenshot(QWidget& widget, const QString& name);

// The C locale while the object lives, as under a bare "LANG=C"; the previous one comes back after.
class ScopedCLocale {
public:
    ScopedCLocale();
    ~ScopedCLocale();
    ScopedCLocale(const ScopedCLocale&) = delete;
    ScopedCLocale& operator=(const ScopedCLocale&) = delete;

private:
    std::string m_previous;
};

// A double-click as the windowing system reports one: press, release, press, release on
// the widget's window, which Qt turns into the widget's events (the QWidget overload of
// QTest::mouseDClick sends only the double-click event).
void DoubleClick(QWidget* widget, QPoint at = QPoint(3, 3));

// A link opener that records what the link asks and answers from a script.
class FakeLinkOpener : public VeskLinkOpener {
public:
    int ShellOpen(const std::string& address) override;
    std::optional<std::string> HtmlHandlerCommand() override;
    int Exec(const std::string& commandLine) override;

    int shellResult = 31;
    std::optional<std::string> handlerCommand;
    int execResult = 33;
    std::vector<std::string> calls;  // "shell <address>", "handler", "exec <command>"
};

// Installs a fake link opener while the object lives.
class ScopedFakeLinkOpener {
public:
    ScopedFakeLinkOpener();
    ~ScopedFakeLinkOpener();
    FakeLinkOpener* operator->() { return m_opener.get(); }

private:
    std::shared_ptr<FakeLinkOpener> m_opener;
    std::shared_ptr<VeskLinkOpener> m_previous;
};

}  // namespace mailwright::testing
