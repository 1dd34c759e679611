#include "ui/CQtMessagePoster.h"

#include <QCoreApplication>
#include <QWidget>

#include "ui/VeskWindowMessageEvent.h"

namespace mailwright {

CQtMessagePoster& CQtMessagePoster::Instance() {
    static CQtMessagePoster poster;
    return poster;
}

HWND CQtMessagePoster::Attach(QWidget* window) {
    std::lock_guard lock(m_mutex);
    const HWND handle = reinterpret_cast<HWND>(m_nextHandle++);
    m_windows[handle] = window;
    return handle;
}

void CQtMessagePoster::Detach(HWND window) {
    std::lock_guard lock(m_mutex);
    m_windows.erase(window);
    m_owners.erase(window);
}

void CQtMessagePoster::SetOwner(HWND window, const QWidget* owner) {
    std::lock_guard lock(m_mutex);
    if (HWND ownerHandle = owner ? HandleOf(owner) : nullptr) m_owners[window] = ownerHandle;
    else m_owners.erase(window);
}

QWidget* CQtMessagePoster::FromHandle(HWND window) {
    std::lock_guard lock(m_mutex);
    const auto it = m_windows.find(window);
    return it == m_windows.end() ? nullptr : it->second;
}

HWND CQtMessagePoster::HandleOf(const QWidget* window) {
    for (const auto& [handle, widget] : m_windows)
        if (widget == window) return handle;
    return nullptr;
}

HWND CQtMessagePoster::GetParent(HWND window) {
    std::lock_guard lock(m_mutex);
    const auto it = m_windows.find(window);
    if (it == m_windows.end()) return nullptr;
    if (const auto owner = m_owners.find(window); owner != m_owners.end()) return owner->second;
    return it->second->parentWidget() ? HandleOf(it->second->parentWidget()) : nullptr;
}

bool CQtMessagePoster::PostMessage(HWND window, unsigned message, WPARAM wParam, LPARAM lParam) {
    // Posting under the lock: a window cannot be detached, and so cannot be destroyed,
    // while its event is being queued.
    std::lock_guard lock(m_mutex);
    const auto it = m_windows.find(window);
    if (it == m_windows.end()) return false;
    QCoreApplication::postEvent(it->second, new VeskWindowMessageEvent(message, wParam, lParam));
    return true;
}

}  // namespace mailwright
