#include "ui/CDlgCustomUserName.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "support/IUserInterface.h"
#include "support/StringTable.h"
#include "support/TextUtil.h"
#include "support/WinTypes.h"
#include "ui/UiText.h"
#include "ui/VeskWidgets.h"

namespace mailwright {

CDlgCustomUserName::CDlgCustomUserName(const std::string& prompt, QWidget* parent)
    : VeskTemplateDialog(parent, 259, 90, QStringLiteral("Mailwright")), m_prompt(prompt) {
    m_editPrompt = Place(MakeReadOnlyEdit(), IDC_PROMPT, 7, 7, 245, 31);
    m_editUserName = Place(new QLineEdit, IDC_USER_NAME, 7, 47, 245, 14);
    m_buttonOk = Place(new QPushButton(UiText("user-name dialog", "OK")), IDOK, 148, 69, 50, 14);
    m_buttonCancel = Place(new QPushButton(UiText("user-name dialog", "Cancel")), IDCANCEL, 202, 69, 50, 14);
    m_buttonOk->setDefault(true);
    connect(m_buttonOk, &QPushButton::clicked, this, &CDlgCustomUserName::accept);
    connect(m_buttonCancel, &QPushButton::clicked, this, &CDlgCustomUserName::reject);
    SetTabOrder({m_editPrompt, m_editUserName, m_buttonOk, m_buttonCancel});
    DoDataExchange(false);
    m_editUserName->setFocus();
}

void CDlgCustomUserName::DoDataExchange(bool saveAndValidate) {
    if (saveAndValidate) {
        m_userName = ToAnsi(m_editUserName->text());
        m_prompt = ToAnsi(m_editPrompt->toPlainText());
        return;
    }
    m_editUserName->setText(ToQString(m_userName));
    m_editPrompt->setPlainText(ToQString(m_prompt));
}

void CDlgCustomUserName::accept() {
    DoDataExchange(true);
    m_userName = Trim(m_userName);
    if (m_userName.empty()) {
        AppMessageBox(IDS_PROVIDE_DATA, MB_ICONEXCLAMATION);
        return;
    }
    // Ends the way OK always ends: the fields read once more, so the name is kept as typed.
    DoDataExchange(true);
    VeskTemplateDialog::accept();
}

}  // namespace mailwright
