#pragma once
#include <string>

#include "ui/VeskTemplateDialog.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace mailwright {

// Asks for the log-on name under the provider's prompt; OK needs a name that is not
// blank (template 103).
class CDlgCustomUserName : public VeskTemplateDialog {
    Q_OBJECT

public:
    explicit CDlgCustomUserName(const std::string& prompt, QWidget* parent = nullptr);

    // The name as typed, spaces at its ends included; after the dialog ended with OK.
    const std::string& GetUserName() const { return m_userName; }

    void accept() override;

    static constexpr int IDD = 103;
    static constexpr int IDC_PROMPT = 1022;
    static constexpr int IDC_USER_NAME = 1013;

private:
    void DoDataExchange(bool saveAndValidate);

    std::string m_userName;
    std::string m_prompt;
    QPlainTextEdit* m_editPrompt;
    QLineEdit* m_editUserName;
    QPushButton* m_buttonOk;
    QPushButton* m_buttonCancel;
};

}  // namespace mailwright
