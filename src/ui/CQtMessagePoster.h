#pragma once
#include <cstdint>
#include <map>
#include <mutex>

#include "update/IMessagePoster.h"

class QWidget;

namespace mailwright {

// Window handles and posted messages for the dialogs: each dialog gets a handle that
// is never given out again, and a message posted to a handle arrives as a
// VeskWindowMessageEvent on the user-interface thread. A message for a window that is
// gone is dropped, so a worker may post at any time from any thread.
class CQtMessagePoster : public IMessagePoster {
public:
    static CQtMessagePoster& Instance();

    // A new handle for the window; on the user-interface thread.
    HWND Attach(QWidget* window);
    // From now on nothing more reaches the window; its queued messages go with it.
    void Detach(HWND window);

    // The window behind the handle; null when there is none. On the user-interface thread.
    QWidget* FromHandle(HWND window);

    // Makes `owner` the window's parent for GetParent, as a Windows owner is, though Qt
    // keeps the window apart from it. On the user-interface thread.
    void SetOwner(HWND window, const QWidget* owner);

    HWND GetParent(HWND window) override;
    bool PostMessage(HWND window, unsigned message, WPARAM wParam, LPARAM lParam) override;

private:
    CQtMessagePoster() = default;
    HWND HandleOf(const QWidget* window);

    std::mutex m_mutex;
    std::map<HWND, QWidget*> m_windows;
    std::map<HWND, HWND> m_owners;
    std::uintptr_t m_nextHandle = 0x10;
};

}  // namespace mailwright
