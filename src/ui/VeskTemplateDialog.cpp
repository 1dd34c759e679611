#include "ui/VeskTemplateDialog.h"

#include "ui/CQtMessagePoster.h"
#include "ui/VeskWindowMessageEvent.h"

namespace mailwright {

VeskTemplateDialog::VeskTemplateDialog(QWidget* parent, int width, int height, const QString& caption)
    : QDialog(parent), m_units(DialogFont()), m_hWnd(CQtMessagePoster::Instance().Attach(this)) {
    setFont(DialogFont());
    setWindowTitle(caption);
    setFixedSize(m_units.Size(width, height));
}

VeskTemplateDialog::~VeskTemplateDialog() { CQtMessagePoster::Instance().Detach(m_hWnd); }

bool VeskTemplateDialog::event(QEvent* event) {
    if (event->type() != VeskWindowMessageEvent::EventType()) return QDialog::event(event);
    const auto* posted = static_cast<VeskWindowMessageEvent*>(event);
    OnWindowMessage(posted->Message(), posted->WParam(), posted->LParam());
    return true;
}

void VeskTemplateDialog::OnWindowMessage(unsigned, WPARAM, LPARAM) {}

QWidget* VeskTemplateDialog::Control(int id) const {
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

void VeskTemplateDialog::PlaceWidget(QWidget* control, int id, int x, int y, int width, int height) {
    control->setParent(this);
    control->setGeometry(m_units.Rect(x, y, width, height));
    if (id != 0) {
        control->setObjectName(QStringLiteral("control%1").arg(id));
        m_controls[id] = control;
    }
}

void VeskTemplateDialog::SetTabOrder(std::initializer_list<QWidget*> controls) {
    QWidget* previous = nullptr;
    for (QWidget* control : controls) {
        if (previous) setTabOrder(previous, control);
        previous = control;
    }
}

}  // namespace mailwright
