#pragma once
#include <QEvent>

#include "support/WinTypes.h"

namespace mailwright {

// A window message posted to a dialog (CQtMessagePoster); the dialog's event loop, or
// that of any message box or modal dialog open meanwhile, hands it to OnWindowMessage.
class VeskWindowMessageEvent : public QEvent {
public:
    VeskWindowMessageEvent(unsigned message, WPARAM wParam, LPARAM lParam)
        : QEvent(EventType()), m_message(message), m_wParam(wParam), m_lParam(lParam) {}

    static QEvent::Type EventType();

    unsigned Message() const { return m_message; }
    WPARAM WParam() const { return m_wParam; }
    LPARAM LParam() const { return m_lParam; }

private:
    unsigned m_message;
    WPARAM m_wParam;
    LPARAM m_lParam;
};

}  // namespace mailwright
