#pragma once
#include <QObject>

namespace mailwright {

class VeskBackgroundTask;

// Waits on the user-interface thread for work that runs on another thread: the event
// loop runs on, so the windows repaint and posted messages arrive, under a busy cursor.
// The user's input is held back from every window meanwhile; Esc, or closing a window,
// cancels the work instead.
class VeskBusyWait : public QObject {
    Q_OBJECT

public:
    // Returns once the task has ended.
    static void Run(VeskBackgroundTask& task);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit VeskBusyWait(VeskBackgroundTask& task) : m_task(task) {}

    VeskBackgroundTask& m_task;
};

}  // namespace mailwright
