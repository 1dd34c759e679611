#pragma once
#include <string>

#include "creation/CProviderDiscovery.h"
#include "support/WindowsSession.h"
#include "ui/CDlgUpdate.h"
#include "ui/VeskDialogHeaderDrawer.h"
#include "ui/UiText.h"
#include "ui/VeskTemplateDialog.h"
#include "update/CUpdateThread.h"
#include "update/IThreadContact.h"
#include "writers/CIdentityRegWriter.h"

class QButtonGroup;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace mailwright {

class VeskHyperLink;

// The program's window: the address, the optional display name, the choice of the mail
// client and "Create account" (template 102). While it is open the provider database
// is refreshed in the background; the download shows only when the user asks for an
// account while it runs.
class CDlgMailwright : public VeskTemplateDialog, public IThreadContact {
    Q_OBJECT

public:
    // updateUrl replaces the built-in download address of the database, discovery the
    // places where settings for a domain that the database lacks are looked for; the
    // program passes neither, the tests local servers.
    explicit CDlgMailwright(QWidget* parent = nullptr, std::string updateUrl = {}, DiscoverySettings discovery = {});
    ~CDlgMailwright() override;

    void SetIdle(bool idle) override;

    const VeskDialogHeaderDrawer& GetHeader() const { return m_header; }

    static constexpr int IDD = 102;
    static constexpr int IDC_BAND = 1008;
    static constexpr int IDC_EMAIL = 1010;
    static constexpr int IDC_DISPLAY_NAME_LABEL = 6000;
    static constexpr int IDC_DISPLAY_NAME = 1013;
    static constexpr int IDC_CLIENT_OUTLOOK = 1031;
    static constexpr int IDC_CLIENT_SYSTEM = 1032;
    static constexpr int IDC_CREATE_ACCOUNT = 1012;
    static constexpr int IDC_NEWS_LABEL = 1035;
    static constexpr int IDC_LINK_MORE = 1015;
    static constexpr int IDC_APPLY = 1011;
    static constexpr int IDC_LINK_MAKER = 1034;
    static constexpr int IDC_LINK_SHARE = 1001;
    static constexpr int IDC_LINK_TOOLS = 1002;

    // The notice that names the maker (control 1034).
    static constexpr const char* kMakerNotice = UiTextNoop("main dialog", "Free software from Brightfold");

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void OnWindowMessage(unsigned message, WPARAM wParam, LPARAM lParam) override;

private:
    void CreateControls();
    void OnInitDialog();
    void StartUpdate();
    void ShowUpdateIfRunning();
    void OnUpdateResult(int code);
    void SetupClientChoice();
    void SetLinks();
    void UpdateCreateButton();
    void OnEmailChange();
    void OnDisplayNameChange();
    void OnCreateAccount();
    void OnApply();
    void OnOK();

    // Members to controls (false) or controls to members (true). Change notifications
    // that the controls send meanwhile are ignored, so only the user's edits reach the
    // change handlers.
    void DoDataExchange(bool saveAndValidate);

    QPlainTextEdit* m_editEmail = nullptr;
    std::string m_strEmail;
    std::string m_strDisplayName;
    bool m_bDisplayNameEdited = false;
    VeskHyperLink* m_linkMore = nullptr;
    VeskHyperLink* m_linkMaker = nullptr;
    VeskHyperLink* m_linkShare = nullptr;
    VeskHyperLink* m_linkTools = nullptr;
    VeskDialogHeaderDrawer m_header;
    OsVersionInfo m_osVersion;
    QFrame* m_staticBand = nullptr;
    QRadioButton* m_radioOutlook = nullptr;
    QRadioButton* m_radioSystem = nullptr;
    QLabel* m_staticNews = nullptr;
    QPushButton* m_buttonApply = nullptr;
    int m_nClient = 0;
    // Kept for the dialog's life: a later "Apply" keeps the client an earlier one chose.
    CIdentityRegWriter m_newsWriter;

    QLineEdit* m_editDisplayName = nullptr;
    QButtonGroup* m_clientGroup = nullptr;
    QPushButton* m_buttonCreate = nullptr;
    QPushButton* m_buttonClose = nullptr;
    bool m_bInDataExchange = false;

    // The update counts as running while both flags are false.
    bool m_bUpdateIdle = true;
    bool m_bUpdateFailed = false;
    CUpdateThread m_updateThread;
    CDlgUpdate m_dlgUpdate;
    DiscoverySettings m_discovery;
};

}  // namespace mailwright
