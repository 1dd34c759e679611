#pragma once
#include "support/IUserInterface.h"
#include "ui/VeskTemplateDialog.h"

class QPushButton;
class QTextEdit;

namespace mailwright {

class VeskHyperLink;

// Closes a successful creation: the composed result text with its bold header, and the
// provider's information link when it has one (template 140).
class CDlgComment : public VeskTemplateDialog {
    Q_OBJECT

public:
    explicit CDlgComment(const ResultMessage& message, QWidget* parent = nullptr);

    QTextEdit* MessageControl() const { return m_richEdit; }
    VeskHyperLink* LinkControl() const { return m_link; }

    static constexpr int IDD = 140;
    static constexpr int IDC_MESSAGE = 1016;
    static constexpr int IDC_INFO_LINK = 1017;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnInitDialog();
    void CentreOnScreen();

    ResultMessage m_message;
    QTextEdit* m_richEdit;
    VeskHyperLink* m_link;
    QPushButton* m_buttonOk;
};

}  // namespace mailwright
