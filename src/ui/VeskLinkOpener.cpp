#include "ui/VeskLinkOpener.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include "ui/UiText.h"

namespace mailwright {
namespace {

constexpr int kShellSuccess = 42;
constexpr int SE_ERR_NOASSOC = 31;
constexpr int kExecSuccess = 33;
constexpr int ERROR_FILE_NOT_FOUND_CODE = 2;
constexpr int ERROR_BAD_FORMAT_CODE = 11;
constexpr int kQueryTimeoutMs = 5000;

// Undoes the escapes of a desktop entry's string value.
std::string UnescapeDesktopValue(const QString& value) {
    QString text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != QLatin1Char('\\') || i + 1 == value.size()) {
            text += value[i];
            continue;
        }
        const QChar next = value[++i];
        if (next == QLatin1Char('s')) text += QLatin1Char(' ');
        else if (next == QLatin1Char('n')) text += QLatin1Char('\n');
        else if (next == QLatin1Char('t')) text += QLatin1Char('\t');
        else if (next == QLatin1Char('r')) text += QLatin1Char('\r');
        else text += next;
    }
    return ToAnsi(text);
}

// The desktop entry id that xdg-mime names for text/html; empty when there is none.
QString DefaultHtmlDesktopEntry() {
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
    if (!query.waitForFinished(kQueryTimeoutMs) || query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return {};
    const QString output = QString::fromLocal8Bit(query.readAllStandardOutput());
    return output.section(QLatin1Char('\n'), 0, 0).trimmed();
}

std::shared_ptr<VeskLinkOpener>& CurrentOpener() {
    static std::shared_ptr<VeskLinkOpener> opener = std::make_shared<VeskLinkOpener>();
    return opener;
}

}  // namespace

int VeskLinkOpener::ShellOpen(const std::string& address) {
    return QDesktopServices::openUrl(QUrl(ToQString(address))) ? kShellSuccess : SE_ERR_NOASSOC;
}

std::optional<std::string> VeskLinkOpener::HtmlHandlerCommand() {
    const QString entry = DefaultHtmlDesktopEntry();
    if (entry.isEmpty()) return std::nullopt;
    const QString path = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entry);
    if (path.isEmpty()) return std::nullopt;
    return ReadDesktopEntryExec(ToAnsi(path));
}

int VeskLinkOpener::Exec(const std::string& commandLine) {
    QStringList arguments = QProcess::splitCommand(ToQString(commandLine));
    if (arguments.isEmpty()) return ERROR_FILE_NOT_FOUND_CODE;
    const QString program = arguments.takeFirst();
    const QString found = program.contains(QLatin1Char('/'))
                              ? (QFileInfo(program).isExecutable() ? program : QString())
                              : QStandardPaths::findExecutable(program);
    if (found.isEmpty()) return ERROR_FILE_NOT_FOUND_CODE;
    return QProcess::startDetached(found, arguments) ? kExecSuccess : ERROR_BAD_FORMAT_CODE;
}

std::optional<std::string> ReadDesktopEntryExec(const std::string& path) {
    QFile file(ToQString(path));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return std::nullopt;
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup || !line.startsWith(QLatin1String("Exec"))) continue;
        const QString key = line.section(QLatin1Char('='), 0, 0).trimmed();
        if (key != QLatin1String("Exec")) continue;
        const std::string command = UnescapeDesktopValue(line.section(QLatin1Char('='), 1).trimmed());
        if (command.empty()) return std::nullopt;
        return command;
    }
    return std::nullopt;
}

VeskLinkOpener& LinkOpener() { return *CurrentOpener(); }

std::shared_ptr<VeskLinkOpener> SetLinkOpener(std::shared_ptr<VeskLinkOpener> opener) {
    std::shared_ptr<VeskLinkOpener> previous = std::move(CurrentOpener());
    CurrentOpener() = opener ? std::move(opener) : std::make_shared<VeskLinkOpener>();
    return previous;
}

}  // namespace mailwright
