#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "update/IProgress.h"
#include "ui/VeskTemplateDialog.h"

class QKeyEvent;
class QLabel;
class QProgressBar;
class QPushButton;

namespace mailwright {

// The small window that shows the database download (template 129): a message line,
// a progress bar and Cancel. The main dialog owns it and shows it only when the user
// asks for an account while the download runs; hiding it never stops the download.
class CDlgUpdate : public VeskTemplateDialog, public IProgress {
    Q_OBJECT

public:
    explicit CDlgUpdate(QWidget* parent = nullptr);

    static constexpr int IDD = 129;
    static constexpr int IDC_MESSAGE = 1007;
    static constexpr int IDC_PROGRESS = 1015;
    static constexpr int IDC_CANCEL_UPDATE = 1005;

    // Makes the dialog a hidden tool window owned by `owner`, which receives its Cancel.
    void Create(QWidget* owner);

    // Stores the percentage for the next WM_UPDATE_PROGRESS; called on the worker thread.
    void SetProgress(std::int32_t percent) override;

    // Shows the text in the message line at once.
    void SetMessage(const std::string& text);

    // Ends the dialog's display: it is hidden, not destroyed.
    void EndDialog(int result);

protected:
    void OnWindowMessage(unsigned message, WPARAM wParam, LPARAM lParam) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnRefreshProgress();
    void OnCancelUpdate();
    void DoDataExchange();

    std::atomic<std::int32_t> m_nPercent{0};
    std::string m_strMessage;
    QProgressBar* m_progress;
    QLabel* m_staticMessage;
    QPushButton* m_buttonCancel;
};

}  // namespace mailwright
