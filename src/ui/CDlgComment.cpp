#include "ui/CDlgComment.h"

#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTextCursor>
#include <QTextEdit>
#include <QWindow>

#include "support/WinTypes.h"
#include "ui/UiText.h"
#include "ui/VeskHyperLink.h"

namespace mailwright {
namespace {

QMargins FrameMargins(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    return handle ? handle->frameMargins() : QMargins();
}

}  // namespace

CDlgComment::CDlgComment(const ResultMessage& message, QWidget* parent)
    : VeskTemplateDialog(parent, 256, 167, QStringLiteral("Mailwright")), m_message(message) {
    m_richEdit = Place(new QTextEdit, IDC_MESSAGE, 7, 7, 242, 133);
    m_richEdit->setReadOnly(true);
    m_richEdit->setTabChangesFocus(true);
    m_richEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_link = Place(new VeskHyperLink(UiText("result dialog", "More about configuring account.")), IDC_INFO_LINK, 10, 149, 152, 8);
    m_buttonOk = Place(new QPushButton(UiText("result dialog", "OK")), IDOK, 199, 146, 50, 14);
    m_buttonOk->setDefault(true);
    connect(m_buttonOk, &QPushButton::clicked, this, &CDlgComment::accept);
    SetTabOrder({m_richEdit, m_buttonOk});
    m_link->Attach();
    OnInitDialog();
}

void CDlgComment::OnInitDialog() {
    const std::string& text = m_message.text;
    m_richEdit->setPlainText(ToQString(text));
    if (m_message.boldLength > 0 && m_message.boldStart < text.size()) {
        // The range counts narrow characters; the control counts UTF-16 ones.
        const int start = static_cast<int>(ToQString(text.substr(0, m_message.boldStart)).size());
        const int length = static_cast<int>(ToQString(text.substr(m_message.boldStart, m_message.boldLength)).size());
        QTextCursor cursor(m_richEdit->document());
        cursor.setPosition(start);
        cursor.setPosition(start + length, QTextCursor::KeepAnchor);
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        cursor.mergeCharFormat(bold);
    }
    m_richEdit->moveCursor(QTextCursor::Start);

    m_link->SetLink(m_message.infoUrl, std::string());
    const bool hasLink = !m_message.infoUrl.empty();
    if (!hasLink) m_link->hide();
    m_link->setEnabled(hasLink);
}

// Centred on the screen, not on the window that opened it: in the middle of the work
// area of the monitor its owner is on, frame included.
void CDlgComment::CentreOnScreen() {
    const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
    const QScreen* screen = owner ? owner->screen() : this->screen();
    if (!screen) return;
    // A window manager frames the window only once it is mapped; until then the owner's
    // frame is the best guess of this one's.
    QMargins frame = FrameMargins(*this);
    if (frame.isNull() && owner) frame = FrameMargins(*owner);
    QRect outer(QPoint(), size().grownBy(frame));
    outer.moveCenter(screen->availableGeometry().center());
    move(outer.topLeft());
}

void CDlgComment::showEvent(QShowEvent* event) {
    // Not QDialog's own placement, which centres a dialog on its owner.
    if (!event->spontaneous()) CentreOnScreen();
}

}  // namespace mailwright
