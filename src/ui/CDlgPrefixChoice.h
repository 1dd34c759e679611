#pragma once
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "detection/WinePrefixSurvey.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace mailwright {

// Asks which Wine prefix the program works on, before the main dialog: the prefixes
// found with their Windows version, mail clients and folder, and "Choose folder..." for
// a prefix elsewhere. With none found it says so in Linux terms and offers the folder
// choice alone. Cancel ends the program.
class CDlgPrefixChoice : public QDialog {
    Q_OBJECT

public:
    // Asks for a folder; an empty text when the user cancels.
    using FolderAsker = std::function<QString(QWidget* parent)>;

    explicit CDlgPrefixChoice(const std::vector<PrefixSummary>& prefixes, QWidget* parent = nullptr);

    // The chosen folder, after the dialog ended with OK.
    const std::string& ChosenFolder() const { return m_chosen; }

    // Replaces the folder dialog (tests).
    void SetFolderAsker(FolderAsker asker) { m_askFolder = std::move(asker); }

    QTreeWidget* PrefixList() const { return m_list; }
    QPushButton* ChooseFolderButton() const { return m_buttonFolder; }
    QPushButton* OkButton() const { return m_buttonOk; }

    void accept() override;

private:
    void OnChooseFolder();
    void UpdateOkButton();

    std::vector<PrefixSummary> m_prefixes;
    std::string m_chosen;
    FolderAsker m_askFolder;
    QLabel* m_text;
    QTreeWidget* m_list;
    QPushButton* m_buttonOk;
    QPushButton* m_buttonFolder;
    QPushButton* m_buttonCancel;
};

}  // namespace mailwright
