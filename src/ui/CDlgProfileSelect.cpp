#include "ui/CDlgProfileSelect.h"

#include <QComboBox>
#include <QFrame>
#include <QPainter>
#include <QPushButton>

#include "support/EmbeddedResource.h"
#include "support/IUserInterface.h"
#include "support/StringTable.h"
#include "support/WinTypes.h"
#include "ui/UiImages.h"
#include "ui/UiText.h"
#include "writers/DefaultProfile.h"

namespace mailwright {

CDlgProfileSelect::CDlgProfileSelect(const std::vector<std::string>& profiles, int outlookVersion, QWidget* parent)
    : VeskTemplateDialog(parent, 181, 90, QStringLiteral("Mailwright")),
      m_profiles(profiles),
      m_outlookVersion(outlookVersion) {
    m_band = Place(new QFrame, IDC_BAND, 7, 7, 167, 31);
    m_band->hide();
    m_combo = Place(new QComboBox, IDC_PROFILES, 7, 46, 167, 13);
    m_buttonOk = Place(new QPushButton(UiText("profile dialog", "OK")), IDOK, 71, 69, 50, 14);
    m_buttonCancel = Place(new QPushButton(UiText("profile dialog", "Cancel")), IDCANCEL, 124, 69, 50, 14);
    m_buttonOk->setDefault(true);
    connect(m_buttonOk, &QPushButton::clicked, this, &CDlgProfileSelect::accept);
    connect(m_buttonCancel, &QPushButton::clicked, this, &CDlgProfileSelect::reject);
    SetTabOrder({m_combo, m_buttonOk, m_buttonCancel});
    OnInitDialog();
}

void CDlgProfileSelect::OnInitDialog() {
    // A sorted combo box: the names take the places the control's own sort gives them.
    const std::vector<std::string> displayed = SortAsComboBox(m_profiles);
    for (const std::string& name : displayed) m_combo->addItem(ToQString(name));
    m_combo->setCurrentIndex(FindDefaultProfile(displayed, m_outlookVersion));
    m_header.Setup(this, m_band->geometry().height(), LoadString(IDS_CHOOSE_PROFILE),
                   LoadImageResource(IDB_HEADER_BAND), 0xFFFFFF);
    m_combo->setFocus();
}

void CDlgProfileSelect::accept() {
    const int selected = m_combo->currentIndex();
    if (selected < 0) {
        AppMessageBox(IDS_SELECT_PROFILE, MB_ICONERROR);
        return;
    }
    m_selectedIndex = selected;
    m_selectedText = ToAnsi(m_combo->itemText(selected));
    VeskTemplateDialog::accept();
}

void CDlgProfileSelect::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    m_header.Paint(painter);
}

}  // namespace mailwright
