// mailwright-screenshots FOLDER: renders every dialog in its main states on Qt's offscreen
// platform and saves each as FOLDER/<state>.png, with a plain caption bar above the client
// area where a window manager would draw the frame. scripts/screenshots runs it and copies
// the README's pictures into docs/screenshots/. Exit status 0 only when every picture was
// written and reads back at the size of its window.
#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QImage>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QTest>

#include <cstdio>
#include <functional>
#include <optional>

#include "creation/CommentMessage.h"
#include "detection/CMailClientChecker.h"
#include "providers/CProviderDatabase.h"
#include "registry/MemoryRegistry.h"
#include "support/StringTable.h"
#include "support/WinTypes.h"
#include "testlib/MachineFixture.h"
#include "testlib/MemorySession.h"
#include "testlib/RecordingUserInterface.h"
#include "testlib/TempWinePrefix.h"
#include "ui/CDlgComment.h"
#include "ui/CDlgPrefixChoice.h"
#include "ui/CDlgCustomUserName.h"
#include "ui/CDlgMailwright.h"
#include "ui/CDlgProfileSelect.h"
#include "ui/CDlgUpdate.h"
#include "ui/CQtMessagePoster.h"
#include "ui/CQtUserInterface.h"
#include "update/UpdateResult.h"

using namespace mailwright;
using namespace mailwright::testing;

namespace {

// The main dialog's update asks a port of 127.0.0.1 where nothing can listen.
constexpr const char* kUnreachableUpdateUrl = "http://127.0.0.1:0/providers.lst";
constexpr int kCaptionHeight = 22;

QString g_folder;
int g_failures = 0;

// The client area under a caption bar that shows the title and icon.
QImage Framed(QWidget& widget) {
    const QPixmap client = widget.grab();
    QImage image(client.width() + 2, client.height() + kCaptionHeight + 1, QImage::Format_RGB32);
    image.fill(QColor(0x3A, 0x6E, 0xA5));
    QPainter painter(&image);
    painter.drawPixmap(1, kCaptionHeight, client);
    int textLeft = 6;
    if (const QIcon icon = widget.windowIcon(); !icon.isNull()) {
        painter.drawPixmap(4, 3, icon.pixmap(16, 16));
        textLeft = 24;
    }
    painter.setPen(Qt::white);
    QFont font = widget.font();
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(textLeft, 0, image.width() - textLeft, kCaptionHeight), Qt::AlignVCenter | Qt::AlignLeft,
                     widget.windowTitle());
    return image;
}

void Fail(const char* name, const char* what) {
    std::fprintf(stderr, "mailwright-screenshots: %s: %s\n", name, what);
    ++g_failures;
}

// Shows the dialog and saves its picture as <name>.png.
void Shoot(QWidget& dialog, const char* name) {
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog)) return Fail(name, "the window was not shown");
    const QString path = g_folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
    if (!Framed(dialog).save(path, "PNG")) return Fail(name, "cannot be saved");
    const QImage saved(path);
    if (saved.width() != dialog.width() + 2 || saved.height() != dialog.height() + kCaptionHeight + 1)
        Fail(name, "the saved picture does not read back at the window's size");
    dialog.hide();
}

// The main dialog on a machine with these clients.
void ShootMainDialog(std::optional<OsVersionInfo> version, const MailMachine& machine, const char* name) {
    auto store = std::make_shared<MemoryRegistry>();
    ScopedMemorySession session(version, store);
    TempFolder files;
    WriteMailMachine(machine, store, files);
    ScopedRecordingUserInterface ui;
    CMailClientChecker::ResetInstance();
    CProviderDatabase::EnsureDatabaseFile();
    {
        CDlgMailwright dialog(nullptr, kUnreachableUpdateUrl);
        Shoot(dialog, name);
    }
    CMailClientChecker::ResetInstance();
}

void ShootSmallDialogs() {
    CDlgCustomUserName userName(
        "This provider needs the log-on name from your welcome letter (your customer number, "
        "such as c1234567), not your e-mail address.");
    Shoot(userName, "user-name");

    ScopedRecordingUserInterface ui;
    const ResultMessage message = BuildCommentMessage(
        "Incoming mail uses port 995 with SSL. If your mail is not downloaded, allow POP3 access "
        "in the provider's web mail settings first.",
        "http://provider.example/help/pop3", MailClientOutlookExpress);
    CDlgComment result(message);
    Shoot(result, "result-with-comment");

    auto box = MakeMessageBox(LoadString(IDS_NO_MAIL_CLIENTS), LoadString(IDS_APP_TITLE), MB_OK, true);
    Shoot(*box, "message-box");
}

void ShootPrefixChoice() {
    const std::vector<PrefixSummary> found{
        {{"Wine (default)", "/home/jane/.wine", "Wine"}, "Windows 7", "none", false},
        {{"Office 2010", "/home/jane/.local/share/bottles/bottles/Office-2010", "Bottles"}, "Windows 7",
         "Outlook 2010, Windows Live Mail", true},
        {{"Outlook2007", "/home/jane/.PlayOnLinux/wineprefix/Outlook2007", "PlayOnLinux"}, "Windows XP",
         "Outlook 2007, Outlook Express", false},
    };
    CDlgPrefixChoice several(found);
    Shoot(several, "prefix-choice");
    CDlgPrefixChoice none({});
    Shoot(none, "prefix-choice-none");
}

void ShootProfileChoice() {
    TempWinePrefix prefix(WindowsRelease::Win7);
    ScopedPrefixSession session(prefix);
    ScopedRecordingUserInterface ui;
    CDlgProfileSelect dialog({"Outlook", "Home", "Work"}, 14);
    Shoot(dialog, "profile-choice");
}

// The states in which the user can see the update dialog: the download under way, and
// the errors that stay in view until Cancel.
void ShootUpdateDialog() {
    const struct {
        const char* name;
        std::int32_t percent;
        unsigned text;
    } states[] = {
        {"update-starting", 0, IDS_UPDATE_IN_PROGRESS},
        {"update-in-progress", 45, IDS_UPDATE_IN_PROGRESS},
        {"update-connection-error", 0, IDS_UPDATE_CONNECTION_ERROR},
        {"update-write-error", 104, IDS_UPDATE_WRITE_ERROR},
    };
    for (const auto& state : states) {
        CDlgUpdate dialog;
        dialog.Create(nullptr);
        dialog.SetProgress(state.percent);
        CQtMessagePoster::Instance().PostMessage(dialog.GetSafeHwnd(), WM_UPDATE_PROGRESS, UPDATE_RESULT_DONE, 0);
        QCoreApplication::sendPostedEvents();
        dialog.SetMessage(LoadString(state.text));
        Shoot(dialog, state.name);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: mailwright-screenshots FOLDER\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    g_folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(g_folder)) {
        std::fprintf(stderr, "mailwright-screenshots: %s: cannot make the folder\n", argv[1]);
        return 1;
    }
    ShootMainDialog(WindowsVersion(6, 0),
                    {.outlookCurVer = "Outlook.Application.12", .windowsMailUsed = true, .defaultMail = "Windows Mail"},
                    "main-with-clients");
    ShootMainDialog(WindowsVersion(6, 2), {}, "main-without-clients");
    ShootSmallDialogs();
    ShootPrefixChoice();
    ShootProfileChoice();
    ShootUpdateDialog();
    return g_failures == 0 ? 0 : 1;
}
