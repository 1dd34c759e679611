#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "BuildConfig.h"

#include "detection/CMailClientChecker.h"
#include "registry/MemoryRegistry.h"
#include "providers/CProviderDatabase.h"
#include "support/StringTable.h"
#include "support/WinTypes.h"
#include "support/VeskBackgroundTask.h"
#include "testlib/FakeProcessList.h"
#include "testlib/Latch.h"
#include "testlib/LocalDiscovery.h"
#include "testlib/MachineFixture.h"
#include "testlib/MemorySession.h"
#include "testlib/RecordingUserInterface.h"
#include "testlib/RegistryFixture.h"
#include "testlib/TempWinePrefix.h"
#include "ui/CDlgMailwright.h"
#include "ui/VeskBusyWait.h"
#include "ui/VeskHyperLink.h"
#include "UiTestSupport.h"

namespace mailwright {
namespace {

using namespace testing;

const OsVersionInfo kXp = WindowsVersion(5, 1);
const OsVersionInfo kVista = WindowsVersion(6, 0);
const OsVersionInfo kSeven = WindowsVersion(6, 1);
const OsVersionInfo kLater = WindowsVersion(6, 2);
const std::string kManager = "Software\\Microsoft\\Internet Account Manager";

// The main dialog over a machine of the test's making: a session in memory with the
// Windows version, the clients' registry traces and the default provider database.
class MainDialogTest : public ::testing::Test {
protected:
    void OnMachine(std::optional<OsVersionInfo> version, const MailMachine& machine = {}) {
        m_session.emplace(version, m_memory);
        WriteMailMachine(machine, m_memory, m_files);
        WriteIdentity(m_memory, kMainIdentity, 1);
        CMailClientChecker::ResetInstance();
        CProviderDatabase::EnsureDatabaseFile();
        m_dialog = std::make_unique<CDlgMailwright>(nullptr, kUnreachableUpdateUrl, m_net.Settings(std::chrono::seconds(2)));
    }
    void TearDown() override {
        m_dialog.reset();
        CMailClientChecker::ResetInstance();
    }

    template <class Widget>
    Widget* Get(int id) const {
        auto* control = qobject_cast<Widget*>(m_dialog->Control(id));
        EXPECT_NE(control, nullptr) << id;
        return control;
    }
    QPlainTextEdit* Email() const { return Get<QPlainTextEdit>(CDlgMailwright::IDC_EMAIL); }
    QLineEdit* DisplayName() const { return Get<QLineEdit>(CDlgMailwright::IDC_DISPLAY_NAME); }
    QRadioButton* First() const { return Get<QRadioButton>(CDlgMailwright::IDC_CLIENT_OUTLOOK); }
    QRadioButton* Second() const { return Get<QRadioButton>(CDlgMailwright::IDC_CLIENT_SYSTEM); }
    QPushButton* Create() const { return Get<QPushButton>(CDlgMailwright::IDC_CREATE_ACCOUNT); }
    QLabel* NewsLabel() const { return Get<QLabel>(CDlgMailwright::IDC_NEWS_LABEL); }

    std::vector<std::string> Messages() {
        std::vector<std::string> texts;
        for (const UiCall& call : m_ui->Calls()) texts.push_back(call.text);
        return texts;
    }
    bool AccountWritten() const {
        return ReadStored(m_memory, HKEY_CURRENT_USER, kManager, "Default Mail Account").code == ERROR_SUCCESS;
    }
    void Show() {
        m_dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_dialog.get()));
    }

    std::shared_ptr<MemoryRegistry> m_memory = std::make_shared<MemoryRegistry>();
    TempFolder m_files;
    ScopedRecordingUserInterface m_ui;
    FakeProcessList m_processes{{"/sbin/init"}};
    std::optional<ScopedMemorySession> m_session;
    Latch m_release;  // holds slow servers back; it outlives them
    LocalDiscovery m_net;  // discovery asks only the test's own servers
    std::unique_ptr<CDlgMailwright> m_dialog;
};

TEST_F(MainDialogTest, ClientButtonsFollowTheDetection) {
    const struct {
        const char* name;
        OsVersionInfo version;
        MailMachine machine;
        bool firstEnabled, secondEnabled;
        const char* secondText;
        bool secondChecked;
        unsigned newsText;
        std::vector<std::string> messages;
    } cases[] = {
        {"xp", kXp, {}, false, true, "Outlook Express", true, IDS_NEWS_OUTLOOK_EXPRESS, {}},
        {"xp, Outlook the default", kXp, {.outlookCurVer = "Outlook.Application.11", .defaultMail = "Microsoft Outlook"},
         true, true, "Outlook Express", false, IDS_NEWS_OUTLOOK_EXPRESS, {}},
        {"vista, Windows Mail", kVista, {.outlookCurVer = "Outlook.Application.12", .windowsMailUsed = true},
         true, true, "Windows Mail", true, IDS_NEWS_WINDOWS_MAIL, {LoadString(IDS_LIVE_MAIL_NEVER_OPENED)}},
        {"vista, Windows Mail, Outlook the default", kVista,
         {.outlookCurVer = "Outlook.Application.12", .windowsMailUsed = true, .defaultMail = "Microsoft Outlook"},
         true, true, "Windows Mail", false, IDS_NEWS_WINDOWS_MAIL, {LoadString(IDS_LIVE_MAIL_NEVER_OPENED)}},
        {"seven, Live Mail", kSeven, {.liveMail = MailMachine::LiveMail::Opened}, false, true, "Windows Live Mail",
         true, IDS_NEWS_LIVE_MAIL, {}},
        {"seven, only Outlook", kSeven, {.outlookCurVer = "Outlook.Application.14"}, true, false,
         "Windows Live Mail", true, IDS_NEWS_LIVE_MAIL, {LoadString(IDS_LIVE_MAIL_NEVER_OPENED)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_ui->ClearCalls();
        m_memory = std::make_shared<MemoryRegistry>();
        OnMachine(c.version, c.machine);
        EXPECT_EQ(Messages(), c.messages);
        EXPECT_EQ(First()->isEnabled(), c.firstEnabled);
        EXPECT_EQ(Second()->isEnabled(), c.secondEnabled);
        EXPECT_EQ(Second()->text().toStdString(), c.secondText);
        EXPECT_EQ(Second()->isChecked(), c.secondChecked);
        EXPECT_EQ(First()->isChecked(), !c.secondChecked);
        EXPECT_EQ(NewsLabel()->text().toStdString(), LoadString(c.newsText));
        EXPECT_TRUE(Email()->isEnabled());
        EXPECT_TRUE(DisplayName()->isEnabled());
        EXPECT_FALSE(Create()->isEnabled());
        EXPECT_TRUE(Email()->hasFocus() || m_dialog->focusWidget() == Email());
    }
}

TEST_F(MainDialogTest, WithoutClientsOrWindowsNothingCanBeCreated) {
    const struct {
        const char* name;
        std::optional<OsVersionInfo> version;
        std::vector<std::pair<std::string, unsigned>> messages;
    } cases[] = {
        {"no client", kLater, {{LoadString(IDS_LIVE_MAIL_NEVER_OPENED), MB_OK}, {LoadString(IDS_NO_MAIL_CLIENTS), MB_OK}}},
        {"no Windows", std::nullopt, {{LoadString(IDS_OS_UNKNOWN), MB_ICONINFORMATION}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_ui->ClearCalls();
        OnMachine(c.version);
        std::vector<std::pair<std::string, unsigned>> shown;
        for (const UiCall& call : m_ui->Calls()) shown.emplace_back(call.text, call.style & ~MB_ICONEXCLAMATION);
        EXPECT_EQ(shown, c.messages);
        for (QWidget* control : {static_cast<QWidget*>(Email()), static_cast<QWidget*>(DisplayName()),
                                 static_cast<QWidget*>(First()), static_cast<QWidget*>(Second()),
                                 static_cast<QWidget*>(Create()), m_dialog->Control(CDlgMailwright::IDC_APPLY)})
            EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
        EXPECT_TRUE(m_dialog->Control(IDOK)->isEnabled());
    }
}

TEST_F(MainDialogTest, CaptionIconBandAndLinks) {
    OnMachine(kXp);
    EXPECT_EQ(m_dialog->windowTitle(), QStringLiteral(" Mailwright 1.0"));
    EXPECT_FALSE(m_dialog->windowIcon().isNull());
    const struct {
        int id;
        unsigned url;
        std::string tooltip;
    } links[] = {
        {CDlgMailwright::IDC_LINK_MAKER, IDS_URL_MAKER, LoadString(IDS_MAKER_HOST)},
        {CDlgMailwright::IDC_LINK_MORE, IDS_URL_PRODUCT, LoadString(IDS_MORE_TOOLTIP)},
        {CDlgMailwright::IDC_LINK_SHARE, IDS_URL_SHARE, LoadString(IDS_URL_SHARE)},
        {CDlgMailwright::IDC_LINK_TOOLS, IDS_URL_TOOLS, LoadString(IDS_URL_TOOLS)},
    };
    for (const auto& link : links) {
        auto* control = Get<VeskHyperLink>(link.id);
        EXPECT_EQ(control->GetUrl(), LoadString(link.url));
        EXPECT_EQ(control->toolTip().toStdString(), link.tooltip);
    }
    EXPECT_NE(LoadString(IDS_URL_TOOLS).find("/downloads/freeware/?sts=504"), std::string::npos);
    // The newsgroup controls lie below the visible area, hidden.
    for (int id : {CDlgMailwright::IDC_NEWS_LABEL, CDlgMailwright::IDC_LINK_MORE, CDlgMailwright::IDC_APPLY}) {
        EXPECT_TRUE(m_dialog->Control(id)->isHidden()) << id;
        EXPECT_GE(m_dialog->Control(id)->geometry().top(), m_dialog->height()) << id;
    }
}

// The program's file lies outside every drive of a prefix without Z:; the caption still
// carries the build's version.
TEST(MainDialogCaption, ShowsTheBuildsVersionInAPrefixWithoutDriveZ) {
    TempWinePrefix prefix(WindowsRelease::WinXP, false);
    std::filesystem::remove(prefix.Path() + "/dosdevices/z:");
    ScopedPrefixSession session(prefix);
    ASSERT_FALSE(WindowsSession::Current()->DriveRoot('z'));
    ScopedRecordingUserInterface ui;
    CMailClientChecker::ResetInstance();
    {
        CDlgMailwright dialog(nullptr, kUnreachableUpdateUrl);
        EXPECT_EQ(dialog.windowTitle().toStdString(), " Mailwright " + std::to_string(MAILWRIGHT_VERSION_MAJOR) + "." +
                                                          std::to_string(MAILWRIGHT_VERSION_MINOR) + " - Wine prefix " +
                                                          prefix.Path());
    }
    CMailClientChecker::ResetInstance();
}

TEST_F(MainDialogTest, DisplayNameEchoesTheAddressUntilAnAtSign) {
    OnMachine(kXp);
    Show();
    for (const char* letter : {"j", "o", "h", "n"}) {
        QTest::keyClicks(Email(), QString::fromLatin1(letter));
        EXPECT_EQ(DisplayName()->text(), Email()->toPlainText());
    }
    QTest::keyClicks(Email(), QStringLiteral("@gmail.com"));
    EXPECT_EQ(Email()->toPlainText(), QStringLiteral("john@gmail.com"));
    EXPECT_EQ(DisplayName()->text(), QStringLiteral("john"));
    EXPECT_TRUE(Create()->isEnabled());
    QTest::keyClick(Email(), Qt::Key_Backspace);
    EXPECT_EQ(DisplayName()->text(), QStringLiteral("john"));
}

TEST_F(MainDialogTest, AnEditedDisplayNameNeverFollowsAgain) {
    OnMachine(kXp);
    Show();
    QTest::keyClicks(Email(), QStringLiteral("jo"));
    QTest::keyClicks(DisplayName(), QStringLiteral("x"));
    EXPECT_EQ(DisplayName()->text(), QStringLiteral("jox"));
    DisplayName()->selectAll();
    QTest::keyClick(DisplayName(), Qt::Key_Delete);
    QTest::keyClicks(Email(), QStringLiteral("hn"));
    EXPECT_EQ(DisplayName()->text(), QString());
}

TEST_F(MainDialogTest, APastedAddressLeavesTheDisplayNameEmpty) {
    OnMachine(kXp);
    Show();
    Email()->insertPlainText(QStringLiteral("john@gmail.com"));
    EXPECT_EQ(DisplayName()->text(), QString());
    EXPECT_TRUE(Create()->isEnabled());
}

// Typing into the middle of either box, with letters the C locale's character set lacks:
// nothing is lost and the cursor stays behind the typed letter.
void TypeLetters(QWidget* box, const QString& letters) {
    // keyClicks knows only ASCII; a letter of any other script comes as the key's text.
    for (const QChar letter : letters) QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(letter), Qt::NoModifier);
}

TEST_F(MainDialogTest, TypingKeepsTheTextAndTheCursorUnderTheCLocale) {
    ScopedCLocale locale;
    OnMachine(kXp);
    Show();
    TypeLetters(Email(), QStringLiteral(u"jań"));
    EXPECT_EQ(DisplayName()->text(), QStringLiteral(u"jań"));
    QTest::keyClick(Email(), Qt::Key_Home);
    TypeLetters(Email(), QStringLiteral(u"ż"));
    EXPECT_EQ(Email()->toPlainText(), QStringLiteral(u"żjań"));
    EXPECT_EQ(Email()->textCursor().position(), 1);
    EXPECT_EQ(DisplayName()->text(), QStringLiteral(u"żjań"));

    TypeLetters(DisplayName(), QStringLiteral(u" Łój"));
    DisplayName()->setCursorPosition(1);
    TypeLetters(DisplayName(), QStringLiteral(u"ó"));
    EXPECT_EQ(DisplayName()->text(), QStringLiteral(u"żójań Łój"));
    EXPECT_EQ(DisplayName()->cursorPosition(), 2);
}

// Enter never presses a button that has no focus, so none may be framed as the default,
// whichever control holds the focus.
TEST_F(MainDialogTest, NoButtonLooksLikeTheDefault) {
    OnMachine(kXp);
    Show();
    QTest::keyClicks(Email(), QStringLiteral("john@gmail.com"));
    const std::vector<QPushButton*> buttons = {Create(), Get<QPushButton>(CDlgMailwright::IDC_APPLY),
                                               Get<QPushButton>(IDOK)};
    for (QWidget* focus : {static_cast<QWidget*>(Email()), static_cast<QWidget*>(DisplayName()),
                           static_cast<QWidget*>(Second()), static_cast<QWidget*>(Create()),
                           m_dialog->Control(IDOK), static_cast<QWidget*>(Email())}) {
        focus->setFocus(Qt::TabFocusReason);
        for (QPushButton* button : buttons)
            EXPECT_FALSE(button->isDefault()) << button->text().toStdString() << " with the focus on "
                                              << focus->objectName().toStdString();
    }
}

// Like a Windows dialog, Enter presses the push button that has the focus.
TEST_F(MainDialogTest, EnterPressesTheFocusedButton) {
    OnMachine(kXp);
    Show();
    QTest::keyClicks(Email(), QStringLiteral("john@gmail.com"));
    Create()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(Create(), Qt::Key_Return);
    ASSERT_EQ(m_ui->Calls().size(), 1u);
    EXPECT_EQ(m_ui->Calls()[0].kind, UiCall::Result);
    EXPECT_TRUE(m_dialog->isVisible());

    m_dialog->Control(IDOK)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(m_dialog->Control(IDOK), Qt::Key_Return);
    EXPECT_FALSE(m_dialog->isVisible());
    EXPECT_EQ(m_dialog->result(), QDialog::Accepted);
}

TEST_F(MainDialogTest, EnterClosesOutsideTheAddressBoxAndBreaksTheLineInside) {
    OnMachine(kXp);
    Show();
    QTest::keyClicks(Email(), QStringLiteral("john@gmail.com"));
    ASSERT_TRUE(Create()->isEnabled());
    QTest::keyClick(Email(), Qt::Key_Return);
    EXPECT_EQ(Email()->toPlainText(), QStringLiteral("john@gmail.com\n"));
    EXPECT_FALSE(Create()->isEnabled());
    EXPECT_TRUE(m_dialog->isVisible());

    for (QWidget* target : {static_cast<QWidget*>(DisplayName()), static_cast<QWidget*>(Second())}) {
        Show();
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Return);
        EXPECT_FALSE(m_dialog->isVisible()) << target->objectName().toStdString();
        EXPECT_EQ(m_dialog->result(), QDialog::Accepted);
    }
    EXPECT_TRUE(m_ui->Calls().empty());
}

TEST_F(MainDialogTest, CreateAccountPassesTheChosenClient) {
    OnMachine(kXp, {.outlookCurVer = "Outlook.Application.11", .defaultMail = "Microsoft Outlook"});
    Show();
    QTest::keyClicks(Email(), QStringLiteral("john@gmail.com"));
    QTest::keyClicks(DisplayName(), QStringLiteral(" Smith"));
    ASSERT_TRUE(First()->isChecked());
    QTest::mouseClick(Create(), Qt::LeftButton);
    EXPECT_FALSE(AccountWritten());  // Microsoft Outlook was asked, not Outlook Express
    EXPECT_FALSE(m_ui->Calls().empty());

    m_ui->ClearCalls();
    QTest::mouseClick(Second(), Qt::LeftButton, Qt::NoModifier, QPoint(8, Second()->height() / 2));
    ASSERT_TRUE(Second()->isChecked());
    QTest::mouseClick(Create(), Qt::LeftButton);
    ASSERT_TRUE(AccountWritten());
    const std::string account = kManager + "\\Accounts\\00000001";
    EXPECT_EQ(ReadStored(m_memory, HKEY_CURRENT_USER, account, "SMTP Email Address"), Sz("john@gmail.com"));
    EXPECT_EQ(ReadStored(m_memory, HKEY_CURRENT_USER, account, "SMTP Display Name"), Sz("john Smith"));
    ASSERT_EQ(m_ui->Calls().size(), 1u);
    EXPECT_EQ(m_ui->Calls()[0].kind, UiCall::Result);
    EXPECT_TRUE(m_dialog->isVisible());  // the dialog stays for the next account
}

TEST_F(MainDialogTest, ASecondButtonThatIsDisabledButChosenPassesNoClient) {
    OnMachine(kSeven, {.outlookCurVer = "Outlook.Application.14"});
    m_ui->ClearCalls();
    Show();
    QTest::keyClicks(Email(), QStringLiteral("john@gmail.com"));
    ASSERT_TRUE(Second()->isChecked());
    QTest::mouseClick(Create(), Qt::LeftButton);
    // MailClientNone runs no writer and says nothing.
    EXPECT_TRUE(m_ui->Calls().empty());
    EXPECT_FALSE(AccountWritten());
}

TEST_F(MainDialogTest, FailuresOfTheCreationAreShownAndLeaveTheDialogUsable) {
    OnMachine(kXp);
    Show();
    QTest::keyClicks(Email(), QStringLiteral("john@unknown-provider.example"));
    QTest::mouseClick(Create(), Qt::LeftButton);
    ASSERT_EQ(m_ui->Calls().size(), 2u);
    EXPECT_EQ(m_ui->Calls()[0].kind, UiCall::Wait);  // discovery, which found nothing
    EXPECT_EQ(m_ui->Calls()[1].text.substr(0, 40), LoadString(IDS_UNKNOWN_PROVIDER).substr(0, 40));
    EXPECT_TRUE(m_dialog->isVisible());
    EXPECT_TRUE(Create()->isEnabled());
}

namespace {

// Counts the paint events of a widget.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++count;
        return false;
    }
};

}  // namespace

// Discovery of a domain whose DNS server holds its answer until the test lets it go, with
// the recorded calls and the Qt program's own wait.
class DiscoveryDialogTest : public MainDialogTest {
protected:
    void SetUp() override {
        m_net.SetDnsHandler("slow.test", [this](const TestDnsServer::Query& query) -> std::optional<std::string> {
            m_release.Wait(std::chrono::seconds(10));
            return DnsReply::Error(query, DnsReply::kNameError);
        });
        m_ui->SetWaitHandler([](VeskBackgroundTask& task) { VeskBusyWait::Run(task); });
        OnMachine(kXp);
        Show();
        QTest::keyClicks(Email(), QStringLiteral("john@slow.test"));
    }
    void TearDown() override {
        m_release.Release();
        MainDialogTest::TearDown();
    }
};

TEST_F(DiscoveryDialogTest, WindowRepaintsUnderABusyCursorAndTakesNoInputMeanwhile) {
    PaintCounter painted(m_dialog.get());
    bool duringTheWait = false;
    QTimer::singleShot(0, [&] {
        duringTheWait = true;
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        const int before = painted.count;
        m_dialog->update();
        EXPECT_TRUE(QTest::qWaitFor([&] { return painted.count > before; }, 5000));
        // A second press and a typed letter meanwhile reach nothing.
        QTest::mouseClick(Create(), Qt::LeftButton);
        QTest::keyClicks(Email(), QStringLiteral("x"));
        m_release.Release();
    });
    QTest::mouseClick(Create(), Qt::LeftButton);
    EXPECT_TRUE(duringTheWait);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(Email()->toPlainText(), QStringLiteral("john@slow.test"));
    ASSERT_EQ(m_ui->Calls().size(), 2u);
    EXPECT_EQ(m_ui->Calls()[0].kind, UiCall::Wait);
    EXPECT_EQ(m_ui->Calls()[1].text.substr(0, 40), LoadString(IDS_UNKNOWN_PROVIDER).substr(0, 40));
    EXPECT_TRUE(m_dialog->isVisible());
}

TEST_F(DiscoveryDialogTest, EscCancelsDiscoveryAndLeavesTheDialogOpen) {
    QTimer::singleShot(0, [&] { QTest::keyClick(Email(), Qt::Key_Escape); });
    QTest::mouseClick(Create(), Qt::LeftButton);
    // The user cancelled: no message follows, nothing is written.
    ASSERT_EQ(m_ui->Calls().size(), 1u);
    EXPECT_EQ(m_ui->Calls()[0].kind, UiCall::Wait);
    EXPECT_FALSE(AccountWritten());
    EXPECT_TRUE(m_dialog->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(m_net.Requests().empty());
}

TEST_F(MainDialogTest, ApplyMakesTheSystemsClientANewsgroupReader) {
    const struct {
        OsVersionInfo version;
        MailMachine machine;
        std::string settingsKey;
        std::vector<std::string> messages;
    } cases[] = {
        {kXp, {}, std::string("Identities\\") + kMainIdentity + "\\Software\\Microsoft\\Outlook Express\\5.0",
         {LoadString(IDS_OE_CONFIGURED)}},
        {kVista, {.windowsMailUsed = true}, "Software\\Microsoft\\Windows Mail", {LoadString(IDS_WINDOWS_MAIL_CONFIGURED)}},
        {kSeven, {.liveMail = MailMachine::LiveMail::Opened}, "Software\\Microsoft\\Windows Live Mail",
         {LoadString(IDS_LIVE_MAIL_CONFIGURED)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settingsKey);
        m_memory = std::make_shared<MemoryRegistry>();
        OnMachine(c.version, c.machine);
        m_ui->ClearCalls();
        // The button is hidden; the command reaches the dialog all the same.
        Get<QPushButton>(CDlgMailwright::IDC_APPLY)->click();
        EXPECT_EQ(Messages(), c.messages);
        EXPECT_EQ(m_ui->Calls().back().style, MB_ICONINFORMATION);
        EXPECT_EQ(ReadStored(m_memory, HKEY_CURRENT_USER, c.settingsKey + "\\News", "Indent Char"), Dword(62));
    }
}

// A static control sends one click notification for a double-click: the address opens once.
TEST_F(MainDialogTest, ADoubleClickOnALinkOpensItOnce) {
    OnMachine(kXp);
    ScopedFakeLinkOpener opener;
    opener->shellResult = 42;
    m_dialog->show();
    DoubleClick(Get<VeskHyperLink>(CDlgMailwright::IDC_LINK_MAKER));
    EXPECT_EQ(opener->calls, std::vector<std::string>{"shell " + LoadString(IDS_URL_MAKER)});
}

}  // namespace
}  // namespace mailwright
