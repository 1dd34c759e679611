#include "ui/CDlgPrefixChoice.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/WinePrefixFinder.h"
#include "support/IUserInterface.h"
#include "support/StringTable.h"
#include "support/WinTypes.h"
#include "ui/UiImages.h"
#include "ui/UiText.h"

namespace mailwright {
namespace {

QString AskFolderWithFileDialog(QWidget* parent) {
    return QFileDialog::getExistingDirectory(parent, ToQString(LoadString(IDS_CHOOSE_PREFIX_TITLE)), QDir::homePath(),
                                             QFileDialog::ShowDirsOnly);
}

QString NotAPrefixText(const QString& folder) {
    std::string text = LoadString(IDS_NOT_A_PREFIX);
    if (const size_t mark = text.find("%s"); mark != std::string::npos) text.replace(mark, 2, ToAnsi(folder));
    return ToQString(text);
}

QTreeWidgetItem* MakeRow(const PrefixSummary& summary) {
    std::string name = summary.prefix.name;
    if (summary.wineRunning) name += " (" + LoadString(IDS_PREFIX_WINE_RUNS) + ")";
    auto* item = new QTreeWidgetItem(QStringList{ToQString(name), ToQString(summary.windows), ToQString(summary.clients),
                                                 ToQString(summary.prefix.folder)});
    item->setToolTip(3, ToQString(summary.prefix.folder));  // long folders are cut in the column
    return item;
}

}  // namespace

CDlgPrefixChoice::CDlgPrefixChoice(const std::vector<PrefixSummary>& prefixes, QWidget* parent)
    : QDialog(parent),
      m_prefixes(prefixes),
      m_askFolder(AskFolderWithFileDialog),
      m_text(new QLabel(ToQString(LoadString(prefixes.empty() ? IDS_NO_WINE_PREFIX : IDS_CHOOSE_PREFIX_TEXT)))),
      m_list(new QTreeWidget),
      m_buttonOk(new QPushButton(UiText("prefix chooser", "OK"))),
      m_buttonFolder(new QPushButton(ToQString(LoadString(IDS_CHOOSE_FOLDER)))),
      m_buttonCancel(new QPushButton(UiText("prefix chooser", "Cancel"))) {
    setWindowTitle(ToQString(LoadString(IDS_CHOOSE_PREFIX_TITLE)));
    setWindowIcon(ApplicationIcon());
    m_text->setWordWrap(true);
    m_text->setTextFormat(Qt::PlainText);
    m_list->setHeaderLabels({ToQString(LoadString(IDS_PREFIX_COLUMN_NAME)), ToQString(LoadString(IDS_PREFIX_COLUMN_WINDOWS)),
                             ToQString(LoadString(IDS_PREFIX_COLUMN_CLIENTS)), ToQString(LoadString(IDS_PREFIX_COLUMN_FOLDER))});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    for (const PrefixSummary& summary : m_prefixes) m_list->addTopLevelItem(MakeRow(summary));
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_list->setVisible(!m_prefixes.empty());
    if (!m_prefixes.empty()) m_list->setCurrentItem(m_list->topLevelItem(0));

    auto* buttons = new QDialogButtonBox;
    buttons->addButton(m_buttonOk, QDialogButtonBox::AcceptRole);
    buttons->addButton(m_buttonFolder, QDialogButtonBox::ActionRole);
    buttons->addButton(m_buttonCancel, QDialogButtonBox::RejectRole);
    m_buttonOk->setVisible(!m_prefixes.empty());
    m_buttonOk->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_list);
    layout->addWidget(buttons);

    connect(m_buttonOk, &QPushButton::clicked, this, &CDlgPrefixChoice::accept);
    connect(m_buttonCancel, &QPushButton::clicked, this, &CDlgPrefixChoice::reject);
    connect(m_buttonFolder, &QPushButton::clicked, this, &CDlgPrefixChoice::OnChooseFolder);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &CDlgPrefixChoice::accept);
    connect(m_list, &QTreeWidget::currentItemChanged, this, &CDlgPrefixChoice::UpdateOkButton);
    UpdateOkButton();
    if (!m_prefixes.empty()) resize(860, sizeHint().height());
}

void CDlgPrefixChoice::UpdateOkButton() { m_buttonOk->setEnabled(m_list->currentItem() != nullptr); }

void CDlgPrefixChoice::accept() {
    const int row = m_list->indexOfTopLevelItem(m_list->currentItem());
    if (m_chosen.empty()) {
        if (row < 0 || static_cast<size_t>(row) >= m_prefixes.size()) return;
        m_chosen = m_prefixes[static_cast<size_t>(row)].prefix.folder;
    }
    QDialog::accept();
}

// A folder that is no prefix is refused, and the choice goes on.
void CDlgPrefixChoice::OnChooseFolder() {
    const QString folder = m_askFolder(this);
    if (folder.isEmpty()) return;
    const std::string path = ToAnsi(QDir::cleanPath(QDir(folder).absolutePath()));
    if (!WinePrefixFinder::IsPrefix(path)) {
        AppMessageBox(ToAnsi(NotAPrefixText(folder)), MB_OK | MB_ICONWARNING);
        return;
    }
    m_chosen = path;
    accept();
}

}  // namespace mailwright
