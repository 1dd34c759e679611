// The main dialog's side of the database update, against a real HTTP server on
// 127.0.0.1: the update dialog appears when "Create account" is pressed during the
// download and each result code writes its text and closes it, or not.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>
#include <thread>

#include "detection/CMailClientChecker.h"
#include "registry/MemoryRegistry.h"
#include "providers/CProviderDatabase.h"
#include "support/IUserInterface.h"
#include "support/StringTable.h"
#include "testlib/AccountFixture.h"
#include "testlib/FakeProcessList.h"
#include "testlib/Latch.h"
#include "testlib/LocalDiscovery.h"
#include "testlib/MachineFixture.h"
#include "testlib/MemorySession.h"
#include "testlib/RecordingUserInterface.h"
#include "testlib/RegistryFixture.h"
#include "testlib/TestHttpServer.h"
#include "ui/CDlgMailwright.h"
#include "ui/CDlgUpdate.h"
#include "ui/CQtUserInterface.h"
#include "UiTestSupport.h"

namespace mailwright {
namespace {

using namespace testing;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kDatabase = BuildDatabase({"example.com", "example.net"});
constexpr int kWaitMs = 20000;

std::string Text(unsigned id) { return LoadString(id); }

// How the server answers the first request for the database, once the test lets it.
using Answer = std::function<void(httplib::Response&)>;

void Database(httplib::Response& res) { res.set_content(kDatabase, "application/octet-stream"); }

// The database in five parts with pauses, so that the bar moves in steps.
void SlowDatabase(httplib::Response& res) {
    res.set_content_provider(kDatabase.size(), "application/octet-stream",
                             [](size_t offset, size_t, httplib::DataSink& sink) {
                                 std::this_thread::sleep_for(30ms);
                                 const size_t part = std::min(kDatabase.size() / 5 + 1, kDatabase.size() - offset);
                                 return sink.write(kDatabase.data() + offset, part);
                             });
}

void Status(httplib::Response& res, int status) {
    res.status = status;
    if (status != 204) res.set_content("not here", "text/plain");
}

// The main dialog over an Outlook Express machine, updating from a local server. The
// first request waits for `m_answerFirst`, every later one for `m_answerLater`, so the
// test decides when each result can arrive.
class UpdateNotificationsTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteMailMachine({}, m_memory, m_files);
        WriteIdentity(m_memory, kMainIdentity, 1);
        CMailClientChecker::ResetInstance();
        CProviderDatabase::EnsureDatabaseFile();
        m_original = ReadDatabase();
    }
    void TearDown() override {
        m_dialog.reset();
        m_answerFirst.Release();
        m_answerLater.Release();
        CMailClientChecker::ResetInstance();
    }

    // Serves the database address; a request that is let go after the test ended gets nothing.
    void Serve(Answer first) {
        m_server.Server().Get("/db", [this, first](const httplib::Request&, httplib::Response& res) {
            const bool isFirst = ++m_requests == 1;
            (isFirst ? m_answerFirst : m_answerLater).Wait(30s);
            if (isFirst) first(res);
            else Status(res, 404);  // never read: a second run is refused at its first read
            m_answered = m_requests.load();
        });
        m_server.Start();
    }

    // Opens the main dialog, which starts the update at once.
    void Open(Answer first) {
        Serve(std::move(first));
        m_dialog = std::make_unique<CDlgMailwright>(nullptr, m_server.Url("/db"), m_net.Settings());
        // The update dialog is a window of its own; the main dialog's is the only one alive.
        for (QWidget* window : QApplication::topLevelWidgets())
            if (auto* update = qobject_cast<CDlgUpdate*>(window)) m_update = update;
        ASSERT_NE(m_update, nullptr);
        m_dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dialog.get()));
        QTest::keyClicks(m_dialog->Control(CDlgMailwright::IDC_EMAIL), QStringLiteral("john@gmail.com"));
        ASSERT_TRUE(QTest::qWaitFor([this] { return m_requests > 0; }, kWaitMs)) << "the update did not start";
    }

    void PressCreate() {
        auto* create = qobject_cast<QPushButton*>(m_dialog->Control(CDlgMailwright::IDC_CREATE_ACCOUNT));
        ASSERT_TRUE(create->isEnabled());
        QTest::mouseClick(create, Qt::LeftButton);
    }

    CDlgUpdate& Update() const { return *m_update; }
    std::string Message() const {
        return qobject_cast<QLabel*>(Update().Control(CDlgUpdate::IDC_MESSAGE))->text().toStdString();
    }
    int Bar() const { return qobject_cast<QProgressBar*>(Update().Control(CDlgUpdate::IDC_PROGRESS))->value(); }
    bool WaitForMessage(unsigned id) {
        return QTest::qWaitFor([&] { return Message() == Text(id); }, kWaitMs);
    }
    std::string DatabasePath() const { return m_session.AppFolderUnix() + "/providers.lst"; }
    std::string ReadDatabase() const {
        std::ifstream in(DatabasePath(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::shared_ptr<MemoryRegistry> m_memory = std::make_shared<MemoryRegistry>();
    ScopedMemorySession m_session{WindowsVersion(5, 1), m_memory};
    TempFolder m_files;
    ScopedRecordingUserInterface m_ui;
    FakeProcessList m_processes{{"/sbin/init"}};
    std::string m_original;

    Latch m_answerFirst;  // the latches outlive the server, whose handlers wait for them
    Latch m_answerLater;
    std::atomic<int> m_requests{0};
    std::atomic<int> m_answered{0};
    TestHttpServer m_server;
    LocalDiscovery m_net;  // discovery asks only the test's own servers
    std::unique_ptr<CDlgMailwright> m_dialog;
    CDlgUpdate* m_update = nullptr;
};

struct ResultCase {
    const char* name;
    Answer answer;
    unsigned text;       // what the update dialog then reads
    bool staysOpen;      // 6003 and 6004 leave the error in view
    bool replaced;       // providers.lst holds the downloaded database
};

const ResultCase kResultCases[] = {
    {"Ok200", Database, IDS_UPDATE_DONE, false, true},
    {"SlowBody", SlowDatabase, IDS_UPDATE_DONE, false, true},
    {"NoContent204", [](auto& res) { Status(res, 204); }, IDS_UPDATE_CONNECTION_ERROR, true, false},
    {"NotFound404", [](auto& res) { Status(res, 404); }, IDS_UPDATE_FAILED, false, false},
    {"Junk", [](auto& res) { res.set_content("<html>moved</html>", "text/html"); }, IDS_UPDATE_FAILED, false, false},
};

class UpdateResultTest : public UpdateNotificationsTest, public ::testing::WithParamInterface<ResultCase> {};

TEST_P(UpdateResultTest, CreateDuringTheDownloadShowsTheDialogUntilTheResult) {
    const ResultCase& c = GetParam();
    Open(c.answer);
    PressCreate();
    EXPECT_TRUE(Update().isVisible());
    EXPECT_EQ(Message(), Text(IDS_UPDATE_IN_PROGRESS));
    EXPECT_EQ(m_ui->Calls().size(), 1u) << "the creation went on at once";

    m_answerFirst.Release();
    ASSERT_TRUE(WaitForMessage(c.text));
    EXPECT_EQ(Update().isVisible(), c.staysOpen);
    EXPECT_EQ(ReadDatabase(), c.replaced ? kDatabase : m_original);
    if (c.replaced) {
        EXPECT_EQ(Bar(), 100) << "the last percentages pass 100: a full bar";
    }

    if (c.staysOpen) {
        // The user closes the error with Cancel.
        QTest::mouseClick(qobject_cast<QPushButton*>(Update().Control(CDlgUpdate::IDC_CANCEL_UPDATE)), Qt::LeftButton);
        ASSERT_TRUE(WaitForMessage(IDS_UPDATE_INTERRUPTED));
        EXPECT_FALSE(Update().isVisible());
    }
    if (c.replaced) {
        // The second run is refused at its first read: 6002 follows 6000.
        m_answerLater.Release();
        ASSERT_TRUE(WaitForMessage(IDS_UPDATE_FAILED));
        EXPECT_FALSE(Update().isVisible());
        EXPECT_EQ(ReadDatabase(), kDatabase);
    }
    // The update is over: later accounts do not show the dialog.
    PressCreate();
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(Update().isVisible());
}

INSTANTIATE_TEST_SUITE_P(Codes, UpdateResultTest, ::testing::ValuesIn(kResultCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateNotificationsTest, AWriteErrorStaysInView) {
    std::filesystem::remove(DatabasePath());
    std::filesystem::create_directory(DatabasePath());  // even root cannot replace a folder by a file
    Open(Database);
    PressCreate();
    ASSERT_TRUE(Update().isVisible());
    m_answerFirst.Release();
    ASSERT_TRUE(WaitForMessage(IDS_UPDATE_WRITE_ERROR));
    EXPECT_TRUE(Update().isVisible());
    EXPECT_TRUE(std::filesystem::is_directory(DatabasePath()));
}

TEST_F(UpdateNotificationsTest, ErrorsOfAHiddenDialogLeaveItHiddenAndTheUpdateOver) {
    Open([](auto& res) { Status(res, 204); });
    m_answerFirst.Release();
    ASSERT_TRUE(WaitForMessage(IDS_UPDATE_CONNECTION_ERROR));
    EXPECT_FALSE(Update().isVisible());
    PressCreate();
    EXPECT_FALSE(Update().isVisible());
}

TEST_F(UpdateNotificationsTest, AfterDoneButBeforeTheFollowingFailedTheDialogShowsAndClosesAtIt) {
    Open(Database);
    m_answerFirst.Release();
    // The second request begins 100 ms after the 6000 was posted.
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_requests == 2; }, kWaitMs));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(ReadDatabase(), kDatabase);
    EXPECT_FALSE(Update().isVisible());

    PressCreate();
    EXPECT_TRUE(Update().isVisible());
    EXPECT_EQ(Message(), Text(IDS_UPDATE_IN_PROGRESS));
    m_answerLater.Release();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !Update().isVisible(); }, kWaitMs));
    EXPECT_EQ(Message(), Text(IDS_UPDATE_FAILED));
    PressCreate();
    EXPECT_FALSE(Update().isVisible());
}

TEST_F(UpdateNotificationsTest, CancelStopsTheWorkerWithinASecondAndHidesTheDialog) {
    Open(Database);
    PressCreate();
    ASSERT_TRUE(Update().isVisible());
    const Clock::time_point pressed = Clock::now();
    QTest::mouseClick(qobject_cast<QPushButton*>(Update().Control(CDlgUpdate::IDC_CANCEL_UPDATE)), Qt::LeftButton);
    ASSERT_TRUE(WaitForMessage(IDS_UPDATE_INTERRUPTED));
    EXPECT_LT(Clock::now() - pressed, 3s) << "Stop gives up after 1000 ms";
    EXPECT_FALSE(Update().isVisible());

    // The server answers now; the stopped worker neither writes nor reports it.
    m_answerFirst.Release();
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_answered == 1; }, kWaitMs));
    QTest::qWait(200);
    EXPECT_EQ(Message(), Text(IDS_UPDATE_INTERRUPTED));
    EXPECT_EQ(ReadDatabase(), m_original);
    PressCreate();
    EXPECT_FALSE(Update().isVisible());
}

class HideKeyTest : public UpdateNotificationsTest, public ::testing::WithParamInterface<Qt::Key> {};

TEST_P(HideKeyTest, HidesTheDialogAndTheResultStillArrives) {
    Open(Database);
    PressCreate();
    QTest::keyClick(&Update(), GetParam());
    EXPECT_FALSE(Update().isVisible());
    EXPECT_EQ(Message(), Text(IDS_UPDATE_IN_PROGRESS));
    m_answerFirst.Release();
    m_answerLater.Release();
    ASSERT_TRUE(WaitForMessage(IDS_UPDATE_FAILED)) << "6000, then 6002";
    EXPECT_EQ(ReadDatabase(), kDatabase);
    PressCreate();
    EXPECT_FALSE(Update().isVisible());
}

INSTANTIATE_TEST_SUITE_P(Keys, HideKeyTest, ::testing::Values(Qt::Key_Escape, Qt::Key_Return),
                         [](const auto& info) { return info.param == Qt::Key_Escape ? "Escape" : "Enter"; });

TEST_F(UpdateNotificationsTest, ClosingDuringAStalledDownloadReturnsWithinASecondAndLeavesNoTrace) {
    Open(Database);
    QTest::mouseClick(qobject_cast<QPushButton*>(m_dialog->Control(IDOK)), Qt::LeftButton);
    EXPECT_FALSE(m_dialog->isVisible());
    const Clock::time_point closed = Clock::now();
    m_dialog.reset();
    EXPECT_LT(Clock::now() - closed, 2s) << "Stop gives up after 1000 ms";

    m_answerFirst.Release();
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_answered == 1; }, kWaitMs));
    QTest::qWait(200);
    EXPECT_EQ(ReadDatabase(), m_original) << "the abandoned download wrote the file";
    EXPECT_EQ(m_requests, 1);
}

// The creation flow's message box keeps the update going: its event loop delivers the
// worker's result to the main dialog while the user has not answered yet.
TEST_F(UpdateNotificationsTest, ResultsArriveWhileAMessageBoxOfTheCreationIsOpen) {
    auto previous = SetUserInterface(std::make_shared<CQtUserInterface>());
    Open([](auto& res) { Status(res, 204); });
    QTest::keyClicks(m_dialog->Control(CDlgMailwright::IDC_EMAIL), QStringLiteral(".unknown"));  // no provider

    std::string seenInBox;
    bool boxOpen = false;
    WhenModal([&](QWidget* modal) {
        boxOpen = qobject_cast<QMessageBox*>(modal) != nullptr;
        m_answerFirst.Release();
        WaitForMessage(IDS_UPDATE_CONNECTION_ERROR);
        seenInBox = Message();
        qobject_cast<QMessageBox*>(modal)->accept();
    });
    PressCreate();
    SetUserInterface(previous);
    EXPECT_TRUE(boxOpen);
    EXPECT_EQ(seenInBox, Text(IDS_UPDATE_CONNECTION_ERROR));
    EXPECT_TRUE(Update().isVisible());
}

// A box of the creation flow blocks the main dialog only: the update dialog's Cancel
// still answers, and the update dialog opens centred on the screen.
TEST_F(UpdateNotificationsTest, CancelStaysUsableWhileAMessageBoxOfTheCreationIsOpen) {
    auto previous = SetUserInterface(std::make_shared<CQtUserInterface>());
    Open(Database);
    m_dialog->move(0, 0);
    QTest::keyClicks(m_dialog->Control(CDlgMailwright::IDC_EMAIL), QStringLiteral(".unknown"));  // no provider

    bool boxOpen = false, cancelled = false, mainDialogBlocked = false;
    QPoint offCentre;
    WhenModal([&](QWidget* modal) {
        boxOpen = qobject_cast<QMessageBox*>(modal) != nullptr;
        offCentre = Update().frameGeometry().center() - Update().screen()->availableGeometry().center();
        ClickAsTheUser(m_dialog->Control(IDOK));
        mainDialogBlocked = m_dialog->isVisible();
        ClickAsTheUser(Update().Control(CDlgUpdate::IDC_CANCEL_UPDATE));
        cancelled = WaitForMessage(IDS_UPDATE_INTERRUPTED) && !Update().isVisible();
        qobject_cast<QMessageBox*>(modal)->accept();
    });
    PressCreate();
    SetUserInterface(previous);
    EXPECT_TRUE(boxOpen);
    EXPECT_TRUE(mainDialogBlocked) << "Close answered while the box was open";
    EXPECT_TRUE(cancelled) << "the box blocked the update dialog";
    EXPECT_LE(offCentre.manhattanLength(), 2) << offCentre.x() << "," << offCentre.y();
}

}  // namespace
}  // namespace mailwright
