#pragma once
#include <QEvent>

#include <atomic>

#include "support/WinTypes.h"

namespace mailwright {

// A window message posted to a dialog (CQtMessagePoster); the dialog's event loop, or
// that of any message box or modal dialog open meanwhile, hands it to OnWindowMessage.
class VeskWindowMessageEvent : public QEvent {
public:
    VeskWindowMessageEvent(unsigned message, WPARAM wParam, LPARAM lParam)
        : QEvent(EventType()), m_message(message), m_wParam(wParam), m_lParam(lParam) {
        m_handedOver.store(true, std::memory_order_release);
    }
    ~VeskWindowMessageEvent() override { Receive(); }

    static QEvent::Type EventType();

    unsigned Message() const {
        Receive();
        return m_message;
    }
    WPARAM WParam() const {
        Receive();
        return m_wParam;
    }
    LPARAM LParam() const {
        Receive();
        return m_lParam;
    }

private:
    // Made on a worker thread, read and deleted on the user-interface thread. Qt's event
    // queue orders the two, but with locks ThreadSanitizer cannot see (Qt is not built
    // with it); the atomic makes the same hand-over visible to it.
    void Receive() const { (void)m_handedOver.load(std::memory_order_acquire); }

    unsigned m_message;
    WPARAM m_wParam;
    LPARAM m_lParam;
    std::atomic<bool> m_handedOver{false};
};

}  // namespace mailwright
