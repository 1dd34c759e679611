#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QProcess>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "UiTestSupport.h"
#include "detection/CMailClientChecker.h"
#include "support/EmbeddedResource.h"
#include "support/StringTable.h"
#include "support/WindowsSession.h"
#include "testlib/MemorySession.h"
#include "testlib/RecordingUserInterface.h"
#include "testlib/TempFolder.h"
#include "ui/CDlgMailwright.h"
#include "ui/CDlgUpdate.h"
#include "ui/CMailwrightApp.h"

namespace mailwright {
namespace {

using namespace testing;
namespace fs = std::filesystem;

std::optional<std::string> ReadIfPresent(const fs::path& path) {
    if (!fs::exists(path)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

// Runs the program until its main dialog shows, notes what providers.lst held at that
// moment, and closes the dialog.
class AppStartTest : public ::testing::Test {
protected:
    fs::path Database() const { return fs::path(m_session.AppFolderUnix()) / "providers.lst"; }

    std::optional<std::string> RunUntilTheDialogShows() {
        std::optional<std::string> databaseWhenShown;
        bool dialogShown = false;
        WhenModal([&](QWidget* modal) {
            dialogShown = qobject_cast<CDlgMailwright*>(modal) != nullptr;
            databaseWhenShown = ReadIfPresent(Database());
            static_cast<QDialog*>(modal)->reject();
        });
        CMailClientChecker::ResetInstance();
        EXPECT_FALSE(CMailwrightApp(kUnreachableUpdateUrl).InitInstance());
        CMailClientChecker::ResetInstance();
        EXPECT_TRUE(dialogShown);
        return databaseWhenShown;
    }

    ScopedMemorySession m_session{WindowsVersion(5, 1)};
    ScopedRecordingUserInterface m_ui;
};

TEST_F(AppStartTest, FirstStartWritesTheDefaultDatabaseBeforeTheDialogShows) {
    ASSERT_FALSE(fs::exists(m_session.AppFolderUnix()));
    const auto bytes = FindEmbeddedResource("BIN", IDR_DEFAULT_DATABASE);
    ASSERT_TRUE(bytes && !bytes->empty());
    EXPECT_EQ(RunUntilTheDialogShows(), std::string(bytes->begin(), bytes->end()));
}

TEST_F(AppStartTest, APresentDatabaseIsLeftAsItIsWhateverItHolds) {
    for (const std::string& content : {std::string(), std::string("damaged\0\x01", 9)}) {
        fs::create_directories(m_session.AppFolderUnix());
        std::ofstream(Database(), std::ios::binary | std::ios::trunc) << content;
        EXPECT_EQ(RunUntilTheDialogShows(), content);
        EXPECT_EQ(ReadIfPresent(Database()), content);
    }
}

// The program's main dialog blocks no other window of the program: its update dialog
// answers Cancel while the main dialog runs.
TEST_F(AppStartTest, TheMainDialogLeavesTheUpdateDialogUsable) {
    bool found = false, clicked = false;
    WhenModal([&](QWidget* modal) {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* update = qobject_cast<CDlgUpdate*>(window);
            if (!update) continue;
            found = true;
            // The update's result hides a visible update dialog. Once it is in (the port
            // refuses at once), nothing can hide the dialog under the test's hands.
            const auto* message = qobject_cast<QLabel*>(update->Control(CDlgUpdate::IDC_MESSAGE));
            EXPECT_TRUE(QTest::qWaitFor([&] { return message->text().toStdString() == LoadString(IDS_UPDATE_FAILED); },
                                        20000))
                << "the update's result did not arrive";
            update->show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(update)) << "update dialog not exposed";
            auto* cancel = qobject_cast<QPushButton*>(update->Control(CDlgUpdate::IDC_CANCEL_UPDATE));
            QObject::connect(cancel, &QPushButton::clicked, [&clicked] { clicked = true; });
            ClickAsTheUser(cancel);
        }
        static_cast<QDialog*>(modal)->reject();
    });
    CMailClientChecker::ResetInstance();
    CMailwrightApp(kUnreachableUpdateUrl).InitInstance();
    CMailClientChecker::ResetInstance();
    EXPECT_TRUE(found);
    EXPECT_TRUE(clicked) << "the main dialog blocked the update dialog";
}

// A session whose Application Data folder cannot be found.
class SessionWithoutAppData : public WindowsSession {
public:
    std::string GetAppDataFolder() const override { return {}; }
};

TEST(AppStartWithoutApplicationFolder, ChecksAndWritesTheSameFile) {
    TempFolder work;
    const fs::path previousDirectory = fs::current_path();
    fs::current_path(work.Path());
    auto previous = WindowsSession::SetCurrent(std::make_shared<SessionWithoutAppData>());
    ScopedRecordingUserInterface ui;
    auto run = [] {
        WhenModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
        CMailClientChecker::ResetInstance();
        CMailwrightApp(kUnreachableUpdateUrl).InitInstance();
        CMailClientChecker::ResetInstance();
    };
    run();
    EXPECT_TRUE(work.Exists("providers.lst"));  // the bare file name, in the current folder
    work.WriteFile("providers.lst", "kept");
    run();
    EXPECT_EQ(work.ReadFile("providers.lst"), "kept");  // found again, so not written again
    WindowsSession::SetCurrent(previous);
    fs::current_path(previousDirectory);
}

// Qt's own options among them: the program must neither obey nor choke on them. Only
// the environment chooses the offscreen platform. The program runs as the tests' copy,
// whose update stays on 127.0.0.1.
TEST(DialogProgram, ItsCommandLineHasNoEffect) {
    TempFolder home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("HOME"), QString::fromStdString(home.Path()));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString(home.Sub("data")));
    // A prefix named but missing: the session without a prefix, and no chooser before the dialog.
    environment.insert(QStringLiteral("WINEPREFIX"), QString::fromStdString(home.Sub("no-such-prefix")));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(MW_BINARY_DIR "/tests/mailwright-local-update"),
                  {QStringLiteral("-platform"), QStringLiteral("no-such-platform"), QStringLiteral("-style=no-such-style"),
                   QStringLiteral("-reverse"), QStringLiteral("a=b"), QStringLiteral("/x")});
    ASSERT_TRUE(program.waitForStarted());

    // The default database is written just before the main dialog opens.
    const fs::path database = home.Sub("data/Mailwright/providers.lst");
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(database) || program.state() == QProcess::NotRunning; }, 30000))
        << "the program neither started nor ended";
    EXPECT_TRUE(fs::exists(database)) << program.readAllStandardError().toStdString();
    EXPECT_EQ(program.state(), QProcess::Running);
    program.kill();
    program.waitForFinished();
}

}  // namespace
}  // namespace mailwright
