#include "ui/CDlgUpdate.h"

#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "support/StringTable.h"
#include "support/WinTypes.h"
#include "ui/CQtMessagePoster.h"
#include "ui/UiText.h"
#include "ui/VeskWidgets.h"
#include "update/UpdateResult.h"

namespace mailwright {
namespace {

// A tool window with a caption but no close box: only Cancel, Enter and Esc end it.
constexpr Qt::WindowFlags kWindowFlags = Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint;

}  // namespace

CDlgUpdate::CDlgUpdate(QWidget* parent)
    : VeskTemplateDialog(parent, 229, 38, UiText("update dialog", "Wait...")), m_strMessage(LoadString(IDS_UPDATE_IN_PROGRESS)) {
    setWindowFlags(kWindowFlags);
    m_staticMessage = Place(MakeLabel(UiText("update dialog", "The program is updating the list of providers.")), IDC_MESSAGE,
                            7, 6, 158, 8);
    m_progress = Place(new QProgressBar, IDC_PROGRESS, 7, 18, 158, 11);
    m_buttonCancel = Place(new QPushButton(UiText("update dialog", "Cancel")), IDC_CANCEL_UPDATE, 172, 15, 50, 14);
    m_progress->setTextVisible(false);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    // Enter belongs to the dialog, which only hides; it must not press Cancel.
    m_buttonCancel->setAutoDefault(false);
    m_buttonCancel->setDefault(false);
    connect(m_buttonCancel, &QPushButton::clicked, this, &CDlgUpdate::OnCancelUpdate);
}

// A window of its own rather than Qt's child of the owner: the owner's modal boxes then
// leave its Cancel usable, and it opens centred on the screen.
void CDlgUpdate::Create(QWidget* owner) {
    setParent(nullptr, kWindowFlags);
    CQtMessagePoster::Instance().SetOwner(GetSafeHwnd(), owner);
    DoDataExchange();
}

void CDlgUpdate::SetProgress(std::int32_t percent) { m_nPercent.store(percent, std::memory_order_relaxed); }

void CDlgUpdate::SetMessage(const std::string& text) {
    m_strMessage = text;
    DoDataExchange();
}

void CDlgUpdate::EndDialog(int result) { done(result); }

void CDlgUpdate::OnWindowMessage(unsigned message, WPARAM, LPARAM) {
    if (message == WM_UPDATE_PROGRESS) OnRefreshProgress();
}

// The worker stores the percentage before it posts, so the bar is never behind the message.
void CDlgUpdate::OnRefreshProgress() {
    m_progress->setRange(0, 100);
    // The received count includes the response headers: the last values pass 100 and
    // show a full bar.
    m_progress->setValue(std::clamp(m_nPercent.load(std::memory_order_relaxed), 0, 100));
}

// Cancel only reports; the main dialog stops the worker and hides this dialog.
void CDlgUpdate::OnCancelUpdate() {
    CQtMessagePoster& poster = CQtMessagePoster::Instance();
    poster.PostMessage(poster.GetParent(GetSafeHwnd()), WM_UPDATE_RESULT, UPDATE_RESULT_CANCELLED, 0);
}

void CDlgUpdate::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: EndDialog(IDOK); return;
    case Qt::Key_Escape: EndDialog(IDCANCEL); return;
    default: VeskTemplateDialog::keyPressEvent(event);
    }
}

void CDlgUpdate::DoDataExchange() { m_staticMessage->setText(ToQString(m_strMessage)); }

}  // namespace mailwright
