#include "UiTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <clocale>

namespace mailwright::testing {

void DoubleClick(QWidget* widget, QPoint at) {
    QWidget* top = widget->window();
    QTest::mouseDClick(top->windowHandle(), Qt::LeftButton, Qt::NoModifier, widget->mapTo(top, at));
}

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

QString ScreenshotFolder() {
    const QString folder = QStringLiteral(MW_BINARY_DIR "/screenshots");
    QDir().mkpath(folder);
    return folder;
}

void SaveScreenshot(QWidget& widget, const QString& name) {
    // The offscreen platform draws no window frame: a plain caption bar above the client
    // area shows the title and icon the window manager would show.
    const QPixmap client = widget.grab();
    const int captionHeight = 22;
    QImage image(client.width() + 2, client.height() + captionHeight + 1, QImage::Format_RGB32);
    image.fill(QColor(0x3A, 0x6E, 0xA5));
    QPainter painter(&image);
    painter.drawPixmap(1, captionHeight, client);
    const QIcon icon = widget.windowIcon();
    int textLeft = 6;
    if (!icon.isNull()) {
        painter.drawPixmap(4, 3, icon.pixmap(16, 16));
        textLeft = 24;
    }
    painter.setPen(Qt::white);
    QFont font = widget.font();
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(textLeft, 0, image.width() - textLeft, captionHeight), Qt::AlignVCenter | Qt::AlignLeft,
                     widget.windowTitle());
    painter.end();
    image.save(ScreenshotFolder() + QLatin1Char('/') + name + QStringLiteral(".png"), "PNG");
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
