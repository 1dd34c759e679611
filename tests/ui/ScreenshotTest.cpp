// Renders every dialog in its main states to PNG files under the build folder
// (screenshots/), to be looked at beside the templates.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>
#include <QMessageBox>
#include <QTest>

#include "creation/CommentMessage.h"
#include "support/StringTable.h"
#include "support/WinTypes.h"
#include "detection/CMailClientChecker.h"
#include "registry/MemoryRegistry.h"
#include "providers/CProviderDatabase.h"
#include "testlib/MachineFixture.h"
#include "testlib/MemorySession.h"
#include "testlib/RecordingUserInterface.h"
#include "testlib/TempWinePrefix.h"
#include "ui/CDlgComment.h"
#include "ui/CDlgMailwright.h"
#include "ui/CDlgPrefixChoice.h"
#include "ui/CDlgCustomUserName.h"
#include "ui/CDlgProfileSelect.h"
#include "ui/CDlgUpdate.h"
#include "ui/CQtMessagePoster.h"
#include "ui/CQtUserInterface.h"
#include "update/UpdateResult.h"
#include "UiTestSupport.h"

using namespace mailwright;
using namespace mailwright::testing;

namespace {

// Shows the dialog, saves its picture and checks that the file holds the window.
void Shoot(QWidget& dialog, const char* name) {
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    SaveScreenshot(dialog, QString::fromLatin1(name));
    const QImage saved(ScreenshotFolder() + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
    EXPECT_GE(saved.width(), dialog.width()) << name;
    EXPECT_GT(saved.height(), dialog.height()) << name;
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

TEST(Screenshots, MainDialogWithClients) {
    ShootMainDialog(WindowsVersion(6, 0),
                    {.outlookCurVer = "Outlook.Application.12", .windowsMailUsed = true, .defaultMail = "Windows Mail"},
                    "main-with-clients");
}

TEST(Screenshots, MainDialogWithoutClients) {
    ShootMainDialog(WindowsVersion(6, 2), {}, "main-without-clients");
}

TEST(Screenshots, UserNameDialog) {
    CDlgCustomUserName dialog(
        "This provider needs the log-on name from your welcome letter (your customer number, "
        "such as c1234567), not your e-mail address.");
    Shoot(dialog, "user-name");
}

TEST(Screenshots, ResultDialogWithAComment) {
    ScopedRecordingUserInterface ui;
    const ResultMessage message = BuildCommentMessage(
        "Incoming mail uses port 995 with SSL. If your mail is not downloaded, allow POP3 access "
        "in the provider's web mail settings first.",
        "http://provider.example/help/pop3", MailClientOutlookExpress);
    CDlgComment dialog(message);
    Shoot(dialog, "result-with-comment");
}

TEST(Screenshots, PrefixChoice) {
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

TEST(Screenshots, ProfileChoice) {
    TempWinePrefix prefix(WindowsRelease::Win7);
    ScopedPrefixSession session(prefix);
    ScopedRecordingUserInterface ui;
    CDlgProfileSelect dialog({"Outlook", "Home", "Work"}, 14);
    Shoot(dialog, "profile-choice");
}

// The states in which the user can see the update dialog: the download under way, and
// the errors that stay in view until Cancel.
TEST(Screenshots, UpdateDialog) {
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

TEST(Screenshots, MessageBox) {
    auto box = MakeMessageBox(LoadString(IDS_NO_MAIL_CLIENTS), LoadString(IDS_APP_TITLE), MB_OK, true);
    Shoot(*box, "message-box");
}

}  // namespace
