#pragma once
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace mailwright {

class VeskBackgroundTask;

// Waits on the user-interface thread for work that runs on another thread: the event
// loop runs on, so the windows repaint and posted messages arrive, under a busy cursor.
// The user's input is held back from every window meanwhile; Esc, or closing the window
// the user works in, cancels the work instead.
class VeskBusyWait : public QObject {
    Q_OBJECT

public:
    // Returns once the task has ended.
    static void Run(VeskBackgroundTask& task);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    VeskBusyWait(VeskBackgroundTask& task, QWidget* window) : m_task(task), m_window(window) {}

    VeskBackgroundTask& m_task;
    QPointer<QWidget> m_window;  // the window the user works in; it stays open meanwhile
};

}  // namespace mailwright
