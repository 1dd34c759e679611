#include "ui/CDlgMailwright.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include "creation/CMailAccountCreator.h"
#include "account/VeskEmailAddress.h"
#include "detection/CMailClientChecker.h"
#include "support/CFileVersionInfo.h"
#include "support/EmbeddedResource.h"
#include "support/IUserInterface.h"
#include "support/StringTable.h"
#include "support/VeskException.h"
#include "support/WinTypes.h"
#include "support/WindowsSession.h"
#include "update/UpdateResult.h"
#include "ui/CQtMessagePoster.h"
#include "ui/UiImages.h"
#include "ui/UiText.h"
#include "ui/VeskHyperLink.h"
#include "ui/VeskWidgets.h"
#include "writers/NewsgroupSettings.h"

namespace mailwright {
namespace {

void SetTextIfChanged(QPlainTextEdit* edit, const std::string& text) {
    const QString value = ToQString(text);
    if (edit->toPlainText() != value) edit->setPlainText(value);
}

void SetTextIfChanged(QLineEdit* edit, const std::string& text) {
    const QString value = ToQString(text);
    if (edit->text() != value) edit->setText(value);
}

}  // namespace

CDlgMailwright::CDlgMailwright(QWidget* parent, std::string updateUrl, DiscoverySettings discovery)
    : VeskTemplateDialog(parent, 265, 228, QStringLiteral("Mailwright")),
      m_updateThread(std::move(updateUrl)),
      m_discovery(std::move(discovery)) {
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    CreateControls();
    OnInitDialog();
}

// The window goes away: once the worker is stopped it posts nothing and writes nothing,
// so the update dialog it reports to can go too.
CDlgMailwright::~CDlgMailwright() { m_updateThread.Stop(1000); }

void CDlgMailwright::SetIdle(bool idle) { m_bUpdateIdle = idle; }

void CDlgMailwright::CreateControls() {
    // In tab order. The newsgroup label, "More ..." and "Apply" lie below the visible area.
    m_staticBand = Place(new QFrame, IDC_BAND, 0, 0, 265, 54);
    m_staticBand->hide();
    QLabel* emailLabel = Place(MakeLabel(UiText("main dialog", "&Your email address:")), 0, 7, 64, 75, 8);
    m_editEmail = Place(MakeMultiLineEdit(), IDC_EMAIL, 84, 62, 174, 14);
    QLabel* nameLabel = Place(MakeLabel(UiText("main dialog", "&Display name:\n(optional)")), IDC_DISPLAY_NAME_LABEL, 7, 83, 75, 18);
    m_editDisplayName = Place(new QLineEdit, IDC_DISPLAY_NAME, 84, 83, 174, 14);
    Place(new QGroupBox(UiText("main dialog", "Choose your mail client")), 0, 7, 104, 251, 42);
    m_radioOutlook = Place(new QRadioButton(QStringLiteral("Microsoft Office Outlook")), IDC_CLIENT_OUTLOOK, 17, 117, 170, 10);
    m_radioSystem = Place(new QRadioButton(QStringLiteral("Outlook Express")), IDC_CLIENT_SYSTEM, 17, 131, 170, 10);
    m_buttonCreate = Place(new QPushButton(UiText("main dialog", "&Create account")), IDC_CREATE_ACCOUNT, 183, 152, 75, 14);
    m_staticNews = Place(MakeLabel(UiText("main dialog", "Make Outlook Express a newsgroup reader.")), IDC_NEWS_LABEL, 7, 242, 180, 8);
    m_linkMore = Place(new VeskHyperLink(UiText("main dialog", "More ...")), IDC_LINK_MORE, 7, 256, 60, 8);
    m_buttonApply = Place(new QPushButton(UiText("main dialog", "&Apply")), IDC_APPLY, 208, 240, 50, 14);
    m_linkMaker = Place(new VeskHyperLink(UiText("main dialog", kMakerNotice)), IDC_LINK_MAKER, 7, 212, 150, 8);
    m_buttonClose = Place(new QPushButton(UiText("main dialog", "C&lose")), IDOK, 208, 207, 50, 14);
    m_linkShare = Place(new VeskHyperLink(UiText("main dialog", "See how to share Outlook with others in real time")), IDC_LINK_SHARE, 7, 181, 200, 8);
    m_linkTools = Place(new VeskHyperLink(UiText("main dialog", "Download other free tools for Outlook")), IDC_LINK_TOOLS, 7, 193, 200, 8);
    Place(MakeEtchedLine(), 0, 7, 174, 251, 2);
    Place(MakeEtchedLine(), 0, 7, 234, 251, 2);

    emailLabel->setBuddy(m_editEmail);
    nameLabel->setBuddy(m_editDisplayName);
    m_staticNews->hide();
    m_linkMore->hide();
    m_buttonApply->hide();
    m_editEmail->setEnabled(false);
    m_editDisplayName->setEnabled(false);
    m_radioOutlook->setEnabled(false);
    m_radioSystem->setEnabled(false);
    m_buttonCreate->setEnabled(false);
    m_buttonApply->setEnabled(false);
    m_clientGroup = new QButtonGroup(this);
    m_clientGroup->addButton(m_radioOutlook, 0);
    m_clientGroup->addButton(m_radioSystem, 1);
    // No default button, not even for a moment: Qt would frame a focused or first button
    // as the default, while Enter outside the address box and the buttons is the OK command.
    for (QPushButton* button : {m_buttonCreate, m_buttonApply, m_buttonClose}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    SetTabOrder({m_editEmail, m_editDisplayName, m_radioOutlook, m_radioSystem, m_buttonCreate, m_buttonApply,
                 m_buttonClose});

    connect(m_editEmail, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_bInDataExchange) OnEmailChange();
    });
    connect(m_editDisplayName, &QLineEdit::textChanged, this, [this] {
        if (!m_bInDataExchange) OnDisplayNameChange();
    });
    connect(m_buttonCreate, &QPushButton::clicked, this, &CDlgMailwright::OnCreateAccount);
    connect(m_buttonApply, &QPushButton::clicked, this, &CDlgMailwright::OnApply);
    connect(m_buttonClose, &QPushButton::clicked, this, &CDlgMailwright::OnOK);
}

void CDlgMailwright::OnInitDialog() {
    DoDataExchange(false);
    for (VeskHyperLink* link : {m_linkMore, m_linkMaker, m_linkShare, m_linkTools}) link->Attach();
    SetupClientChoice();

    // The build's version: the program's file may lie where no drive of the prefix reaches.
    CFileVersionInfo version;
    version.ReadBuildVersion();
    setWindowIcon(ApplicationIcon());
    std::string caption = " Mailwright ";
    version.GetFileVersionText(caption);
    // On Linux the session is one of several prefixes: the title says which.
    if (const std::string prefix = WindowsSession::Current()->PrefixFolder(); !prefix.empty()) {
        std::string titled = LoadString(IDS_PREFIX_IN_TITLE);
        for (const std::string& part : {caption, prefix})
            if (const size_t mark = titled.find("%s"); mark != std::string::npos) titled.replace(mark, 2, part);
        caption = titled;
    }
    setWindowTitle(ToQString(caption));

    m_header.Setup(this, m_staticBand->geometry().height(), LoadString(IDS_MAIN_HEADER),
                   LoadImageResource(IDB_HEADER_BAND), 0xFFFFFF);
    StartUpdate();
    SetLinks();

    m_editEmail->setFocus();
    DoDataExchange(false);
    UpdateCreateButton();
}

void CDlgMailwright::StartUpdate() {
    m_dlgUpdate.Create(this);
    m_bUpdateIdle = false;
    m_updateThread.SetWiring(&CQtMessagePoster::Instance(), m_dlgUpdate.GetSafeHwnd(), &m_dlgUpdate, this);
    m_updateThread.Start(100);
    m_updateThread.Resume();
}

void CDlgMailwright::ShowUpdateIfRunning() {
    if (m_bUpdateIdle || m_bUpdateFailed) return;
    m_dlgUpdate.show();
}

void CDlgMailwright::OnWindowMessage(unsigned message, WPARAM wParam, LPARAM) {
    if (message == WM_UPDATE_RESULT) OnUpdateResult(static_cast<int>(wParam));
}

// A successful update arrives as 6000 and then 6002; a hidden update dialog leaves the
// update counted as running until the 6002.
void CDlgMailwright::OnUpdateResult(int code) {
    switch (code) {
    case UPDATE_RESULT_DONE:
        m_dlgUpdate.SetProgress(100);
        if (!m_dlgUpdate.isVisible()) return;
        m_dlgUpdate.SetMessage(LoadString(IDS_UPDATE_DONE));
        m_dlgUpdate.EndDialog(0);
        m_bUpdateIdle = true;
        m_bUpdateFailed = false;
        break;
    case UPDATE_RESULT_CANCELLED:
        m_dlgUpdate.SetMessage(LoadString(IDS_UPDATE_INTERRUPTED));
        m_updateThread.Stop(1000);
        m_dlgUpdate.EndDialog(0);
        m_bUpdateIdle = false;
        m_bUpdateFailed = true;
        break;
    case UPDATE_RESULT_FAILED:
        m_dlgUpdate.SetMessage(LoadString(IDS_UPDATE_FAILED));
        if (m_dlgUpdate.isVisible()) m_dlgUpdate.EndDialog(0);
        m_bUpdateIdle = true;
        m_bUpdateFailed = true;
        break;
    case UPDATE_RESULT_CONNECTION_ERROR:
    case UPDATE_RESULT_WRITE_ERROR:
        // The error stays in view until the user closes it.
        m_dlgUpdate.SetMessage(LoadString(UpdateResultTextId(code)));
        m_bUpdateIdle = false;
        m_bUpdateFailed = true;
        break;
    default:
        break;
    }
}

void CDlgMailwright::SetLinks() {
    m_linkMaker->SetLink(LoadString(IDS_URL_MAKER), LoadString(IDS_MAKER_HOST));
    m_linkMore->SetLink(LoadString(IDS_URL_PRODUCT), LoadString(IDS_MORE_TOOLTIP));
    m_linkShare->SetLink(LoadString(IDS_URL_SHARE), std::string());
    m_linkTools->SetLink(LoadString(IDS_URL_TOOLS), std::string());
}

void CDlgMailwright::SetupClientChoice() {
    if (!WindowsSession::Current()->GetVersionEx(m_osVersion)) {
        // Without a prefix there is no Windows to identify: say so in Linux terms.
        const bool noPrefix = WindowsSession::Current()->Registry() == nullptr;
        AppMessageBox(noPrefix ? IDS_NO_WINE_PREFIX : IDS_OS_UNKNOWN, MB_ICONINFORMATION);
        return;
    }
    m_staticNews->setText(ToQString(LoadString(IDS_NEWS_OUTLOOK_EXPRESS)));
    if (m_osVersion.majorVersion > 5) {
        if (m_osVersion.minorVersion == 0) {
            m_radioSystem->setText(QStringLiteral("Windows Mail"));
        } else {
            m_staticNews->setText(ToQString(LoadString(IDS_NEWS_LIVE_MAIL)));
            m_radioSystem->setText(QStringLiteral("Windows Live Mail"));
        }
    }

    const CMailClientChecker& checker = CMailClientChecker::GetInstance();
    if (checker.m_outlookVersion == 0 && checker.m_systemClient == MailClientNone) {
        AppMessageBox(IDS_NO_MAIL_CLIENTS, MB_OK);
    } else {
        m_editEmail->setEnabled(true);
        m_editDisplayName->setEnabled(true);
        m_buttonApply->setEnabled(true);
    }
    m_radioOutlook->setEnabled(checker.m_outlookVersion != 0);
    m_radioSystem->setEnabled(checker.m_systemClient != MailClientNone);

    switch (checker.m_systemClient) {
    case MailClientWindowsMail:
        m_staticNews->setText(ToQString(LoadString(IDS_NEWS_WINDOWS_MAIL)));
        m_radioSystem->setText(QStringLiteral("Windows Mail"));
        break;
    case MailClientWindowsLiveMail:
        m_staticNews->setText(ToQString(LoadString(IDS_NEWS_LIVE_MAIL)));
        m_radioSystem->setText(QStringLiteral("Windows Live Mail"));
        break;
    case MailClientOutlookExpress:
        m_staticNews->setText(ToQString(LoadString(IDS_NEWS_OUTLOOK_EXPRESS)));
        m_radioSystem->setText(QStringLiteral("Outlook Express"));
        break;
    default:
        break;
    }
    m_nClient = checker.m_defaultClient == MailClientOutlook ? 0 : 1;
}

void CDlgMailwright::UpdateCreateButton() {
    // Enter in the address box breaks the line; an address with a line break is no
    // address, also where the break would be trimmed away at its end.
    const bool lineBreak = m_strEmail.find_first_of("\r\n") != std::string::npos;
    m_buttonCreate->setEnabled(!lineBreak && VeskEmailAddress(m_strEmail).IsValid());
}

// The box being typed in is never written back: its text already is the member, and
// writing it would move the cursor.
void CDlgMailwright::OnEmailChange() {
    DoDataExchange(true);
    // The display name follows the address until the user edits it or an "@" appears;
    // from then on the box keeps what it shows.
    if (!m_bDisplayNameEdited && m_strEmail.find('@') == std::string::npos) {
        m_strDisplayName = m_strEmail;
        m_bInDataExchange = true;
        SetTextIfChanged(m_editDisplayName, m_strDisplayName);
        m_bInDataExchange = false;
    }
    UpdateCreateButton();
}

void CDlgMailwright::OnDisplayNameChange() {
    DoDataExchange(true);
    m_bDisplayNameEdited = true;
}

void CDlgMailwright::OnCreateAccount() {
    DoDataExchange(true);
    ShowUpdateIfRunning();
    try {
        CMailAccountCreator creator(m_strEmail, m_strDisplayName, false);
        creator.SetDiscoverySettings(m_discovery);
        creator.Create(m_nClient == 0 ? MailClientOutlook : CMailClientChecker::GetInstance().m_systemClient);
    } catch (const Error::VeskException& e) {
        e.ReportError();
    } catch (...) {
        AppMessageBox(IDS_ERR_UNKNOWN_CREATE, MB_OK);
    }
}

void CDlgMailwright::OnApply() { ApplyNewsgroupSettings(m_newsWriter, m_osVersion); }

void CDlgMailwright::OnOK() {
    DoDataExchange(true);
    accept();
}

void CDlgMailwright::DoDataExchange(bool saveAndValidate) {
    m_bInDataExchange = true;
    if (saveAndValidate) {
        m_strEmail = ToAnsi(m_editEmail->toPlainText());
        m_strDisplayName = ToAnsi(m_editDisplayName->text());
        m_nClient = m_clientGroup->checkedId();
    } else {
        SetTextIfChanged(m_editEmail, m_strEmail);
        SetTextIfChanged(m_editDisplayName, m_strDisplayName);
        m_clientGroup->setExclusive(false);
        m_radioOutlook->setChecked(m_nClient == 0);
        m_radioSystem->setChecked(m_nClient == 1);
        m_clientGroup->setExclusive(true);
    }
    m_bInDataExchange = false;
}

void CDlgMailwright::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool plain = event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier;
    if (enter && plain) {
        // A focused push button takes Enter, as in any Windows dialog.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) button->click();
        else OnOK();
        return;
    }
    VeskTemplateDialog::keyPressEvent(event);
}

void CDlgMailwright::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    m_header.Paint(painter);
}

}  // namespace mailwright
