#include "ui/VeskTemplateDialog.h"

namespace mailwright {

VeskTemplateDialog::VeskTemplateDialog(QWidget* parent, int width, int height, const QString& caption)
    : QDialog(parent), m_units(DialogFont()) {
    setFont(DialogFont());
    setWindowTitle(caption);
    setFixedSize(m_units.Size(width, height));
}

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
