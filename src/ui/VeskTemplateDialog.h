#pragma once
#include <QDialog>
#include <map>

#include "support/WinTypes.h"
#include "ui/VeskDialogUnits.h"

namespace mailwright {

// A dialog laid out from a dialog template: the template's font, its size and its
// controls' rectangles in dialog units, each control known by its identifier.
class VeskTemplateDialog : public QDialog {
    Q_OBJECT

public:
    ~VeskTemplateDialog() override;

    // The control with this identifier; null when the template has none.
    QWidget* Control(int id) const;

    // The dialog's handle, to which messages are posted (CQtMessagePoster).
    HWND GetSafeHwnd() const { return m_hWnd; }

protected:
    // A dialog of the template's size (dialog units) with the dialog font.
    VeskTemplateDialog(QWidget* parent, int width, int height, const QString& caption);

    bool event(QEvent* event) override;

    // A message posted to the dialog's handle, on the user-interface thread.
    virtual void OnWindowMessage(unsigned message, WPARAM wParam, LPARAM lParam);

    // Places a control of the template; id 0 for controls without one.
    template <class Widget>
    Widget* Place(Widget* control, int id, int x, int y, int width, int height) {
        PlaceWidget(control, id, x, y, width, height);
        return control;
    }

    // Tab order: the controls in template order.
    void SetTabOrder(std::initializer_list<QWidget*> controls);

    const VeskDialogUnits& Units() const { return m_units; }

private:
    void PlaceWidget(QWidget* control, int id, int x, int y, int width, int height);

    VeskDialogUnits m_units;
    std::map<int, QWidget*> m_controls;
    HWND m_hWnd;
};

}  // namespace mailwright
