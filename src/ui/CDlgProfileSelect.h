#pragma once
#include <string>
#include <vector>

#include "ui/VeskDialogHeaderDrawer.h"
#include "ui/VeskTemplateDialog.h"

class QComboBox;
class QFrame;
class QPushButton;

namespace mailwright {

// Lets the user choose the Outlook profile that receives the account: the profiles in a
// sorted drop-down list with Outlook's default profile preselected (template 106).
class CDlgProfileSelect : public VeskTemplateDialog {
    Q_OBJECT

public:
    CDlgProfileSelect(const std::vector<std::string>& profiles, int outlookVersion, QWidget* parent = nullptr);

    // The chosen entry, after the dialog ended with OK.
    const std::string& GetSelectedText() const { return m_selectedText; }
    int GetSelectedIndex() const { return m_selectedIndex; }

    QComboBox* ProfileList() const { return m_combo; }
    const VeskDialogHeaderDrawer& GetHeader() const { return m_header; }

    void accept() override;

    static constexpr int IDD = 106;
    static constexpr int IDC_BAND = 1008;
    static constexpr int IDC_PROFILES = 1025;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void OnInitDialog();

    QComboBox* m_combo;
    std::string m_selectedText;
    int m_selectedIndex = -1;
    std::vector<std::string> m_profiles;
    VeskDialogHeaderDrawer m_header;
    int m_outlookVersion;
    QFrame* m_band;
    QPushButton* m_buttonOk;
    QPushButton* m_buttonCancel;
};

}  // namespace mailwright
