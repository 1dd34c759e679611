#include "ui/VeskBusyWait.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QWindow>

#include "support/VeskBackgroundTask.h"

namespace mailwright {

void VeskBusyWait::Run(VeskBackgroundTask& task) {
    QEventLoop loop;
    QWidget* window = QApplication::activeModalWidget();
    VeskBusyWait filter(task, window ? window : QApplication::activeWindow());
    qApp->installEventFilter(&filter);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Called on the task's thread: the loop ends on its own thread.
    task.NotifyWhenDone([&loop] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); });
    loop.exec();
    QApplication::restoreOverrideCursor();
    qApp->removeEventFilter(&filter);
    // The loop also ends when the application quits; the work then has no one to wait for it.
    if (!task.IsDone()) task.Cancel();
    task.Wait();
}

bool VeskBusyWait::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) m_task.Cancel();
        return true;
    case QEvent::Close:
        // The program may close its other windows meanwhile (the update dialog, say).
        if (!m_window || (watched != m_window && watched != static_cast<QObject*>(m_window->windowHandle()))) return false;
        event->ignore();
        m_task.Cancel();
        return true;
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
        return true;
    default:
        return false;
    }
}

}  // namespace mailwright
