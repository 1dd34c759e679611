// Every dialog in each language of po/: each label, button and link shows its whole text
// within its control, measured with the control's own font, and the header bands their
// whole text.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStyle>
#include <QTest>
#include <functional>
#include <memory>

#include "creation/CommentMessage.h"
#include "detection/CMailClientChecker.h"
#include "providers/CProviderDatabase.h"
#include "registry/MemoryRegistry.h"
#include "support/StringTable.h"
#include "testlib/MachineFixture.h"
#include "testlib/MemorySession.h"
#include "testlib/PoFile.h"
#include "testlib/RecordingUserInterface.h"
#include "testlib/ScopedCatalog.h"
#include "testlib/TempFolder.h"
#include "testlib/TempWinePrefix.h"
#include "ui/CDlgComment.h"
#include "ui/CDlgCustomUserName.h"
#include "ui/CDlgMailwright.h"
#include "ui/CDlgProfileSelect.h"
#include "ui/CDlgUpdate.h"
#include "ui/VeskDialogHeaderDrawer.h"
#include "ui/VeskHyperLink.h"
#include "UiTestSupport.h"

using namespace mailwright;
using namespace mailwright::testing;

namespace {

constexpr int kUnlimited = 10000;

// The room a style leaves for a push button's text: its frame and margins on both sides.
int PushButtonPadding(const QPushButton& button) {
    const QStyle* style = button.style();
    return 2 * (style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, &button) +
                style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &button));
}

int RadioButtonIndicator(const QRadioButton& button) {
    const QStyle* style = button.style();
    return style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, &button) +
           style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, &button);
}

// The size of a text as it is drawn: mnemonics hidden, words wrapped within `width`.
QSize TextSize(const QWidget& control, const QString& text, int width, bool wrap) {
    const int flags = Qt::TextShowMnemonic | (wrap ? Qt::TextWordWrap : 0);
    return control.fontMetrics().boundingRect(QRect(0, 0, width, kUnlimited), flags, text).size();
}

// Why the control's text does not fit it; empty when it fits.
std::string Misfit(const QWidget& control, const QString& text, QSize room, QSize needed) {
    if (needed.width() <= room.width() && needed.height() <= room.height()) return {};
    return control.metaObject()->className() + std::string(" \"") + text.toStdString() + "\" needs " +
           std::to_string(needed.width()) + "x" + std::to_string(needed.height()) + ", has " +
           std::to_string(room.width()) + "x" + std::to_string(room.height());
}

std::string LabelMisfit(const QLabel& label) {
    const QRect room = label.contentsRect();
    return Misfit(label, label.text(), room.size(), TextSize(label, label.text(), room.width(), label.wordWrap()));
}

std::string ButtonMisfit(const QAbstractButton& button) {
    QSize needed = TextSize(button, button.text(), kUnlimited, false);
    if (const auto* push = qobject_cast<const QPushButton*>(&button)) needed.rwidth() += PushButtonPadding(*push);
    if (const auto* radio = qobject_cast<const QRadioButton*>(&button)) needed.rwidth() += RadioButtonIndicator(*radio);
    return Misfit(button, button.text(), button.size(), needed);
}

std::string GroupBoxMisfit(const QGroupBox& box) {
    // The title sits in the frame with a character's room on either side.
    QSize needed = TextSize(box, box.title(), kUnlimited, false);
    needed.rwidth() += 2 * box.fontMetrics().averageCharWidth();
    return Misfit(box, box.title(), QSize(box.width(), needed.height()), needed);
}

// A link paints its text into its template rectangle, and fits the control to the
// text: the text must fit the rectangle, and the control stay inside the dialog and
// off the other controls.
std::string LinkMisfit(const VeskHyperLink& link, const QWidget& dialog) {
    const QSize room = link.GetTextRect().size();
    const QSize needed = TextSize(link, link.GetText(), room.width(), true);
    if (const std::string misfit = Misfit(link, link.GetText(), room, needed); !misfit.empty()) return misfit;
    if (!dialog.rect().contains(link.geometry())) return "link \"" + link.text().toStdString() + "\" leaves the dialog";
    for (const QWidget* other : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other == &link || !other->isVisibleTo(&dialog) || qobject_cast<const QFrame*>(other)) continue;
        if (other->geometry().intersects(link.geometry()))
            return "link \"" + link.text().toStdString() + "\" runs into " + other->objectName().toStdString();
    }
    return {};
}

std::vector<std::string> Misfits(QWidget& dialog) {
    std::vector<std::string> misfits;
    const auto add = [&misfits](const std::string& misfit) {
        if (!misfit.empty()) misfits.push_back(misfit);
    };
    for (QWidget* control : dialog.findChildren<QWidget*>()) {
        if (!control->isVisibleTo(&dialog)) continue;
        if (const auto* link = qobject_cast<VeskHyperLink*>(control)) add(LinkMisfit(*link, dialog));
        else if (const auto* label = qobject_cast<QLabel*>(control)) add(LabelMisfit(*label));
        else if (const auto* button = qobject_cast<QAbstractButton*>(control)) add(ButtonMisfit(*button));
        else if (const auto* box = qobject_cast<QGroupBox*>(control)) add(GroupBoxMisfit(*box));
    }
    return misfits;
}

QString WithoutSpaces(QString text) { return text.remove(QRegularExpression(QStringLiteral("\\s"))); }

// The band cuts a text that its lines do not hold with "...". Lines break at blanks and
// after hyphens, so the shown lines and the text are compared without blanks.
std::string BandMisfit(const VeskDialogHeaderDrawer& band) {
    QString shown;
    for (const QString& line : band.GetShownLines()) shown += line + QLatin1Char('\n');
    if (WithoutSpaces(shown) == WithoutSpaces(band.GetText())) return {};
    return "band \"" + band.GetText().toStdString() + "\" shows only \"" + shown.toStdString() + "\"";
}

void ExpectAllFit(QWidget& dialog, const std::string& language, const char* name,
                  const VeskDialogHeaderDrawer* band = nullptr) {
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    std::vector<std::string> misfits = Misfits(dialog);
    if (band) misfits.push_back(BandMisfit(*band));
    for (const std::string& misfit : misfits) {
        if (!misfit.empty()) ADD_FAILURE() << language << ", " << name << ": " << misfit;
    }
    SaveScreenshot(dialog, QString::fromStdString(std::string(name) + "-" + language));
    dialog.hide();
}

void CheckMainDialog(const std::string& language) {
    auto store = std::make_shared<MemoryRegistry>();
    ScopedMemorySession session(WindowsVersion(6, 0), store);
    TempFolder files;
    WriteMailMachine({.outlookCurVer = "Outlook.Application.12", .windowsMailUsed = true, .defaultMail = "Windows Mail"},
                     store, files);
    ScopedRecordingUserInterface ui;
    CMailClientChecker::ResetInstance();
    CProviderDatabase::EnsureDatabaseFile();
    {
        CDlgMailwright dialog(nullptr, kUnreachableUpdateUrl);
        ExpectAllFit(dialog, language, "main", &dialog.GetHeader());
    }
    CMailClientChecker::ResetInstance();
}

void CheckSmallDialogs(const std::string& language) {
    {
        CDlgCustomUserName dialog("Type the log-on name from your welcome letter.");
        ExpectAllFit(dialog, language, "user-name");
    }
    {
        ScopedRecordingUserInterface ui;
        CDlgComment dialog(BuildCommentMessage("Allow POP3 access in the web mail settings first.",
                                               "http://provider.example/help", MailClientOutlookExpress));
        ExpectAllFit(dialog, language, "result");
    }
    {
        TempWinePrefix prefix(WindowsRelease::Win7);
        ScopedPrefixSession session(prefix);
        ScopedRecordingUserInterface ui;
        CDlgProfileSelect dialog({"Outlook", "Home"}, 14);
        ExpectAllFit(dialog, language, "profile", &dialog.GetHeader());
    }
    // The update dialog with each of its texts.
    for (const unsigned text : {IDS_UPDATE_IN_PROGRESS, IDS_UPDATE_DONE, IDS_UPDATE_INTERRUPTED, IDS_UPDATE_FAILED,
                                IDS_UPDATE_CONNECTION_ERROR, IDS_UPDATE_WRITE_ERROR}) {
        CDlgUpdate dialog;
        dialog.Create(nullptr);
        dialog.SetMessage(LoadString(text));
        ExpectAllFit(dialog, language, "update");
    }
}

class TranslatedDialogsFit : public ::testing::TestWithParam<std::string> {};

TEST_P(TranslatedDialogsFit, EveryTextFitsItsControl) {
    const std::string language = GetParam();
    ScopedCatalog catalog(language == "en" ? std::map<std::string, std::string>{}
                                           : ScopedCatalog::Language(language));
    CheckMainDialog(language);
    CheckSmallDialogs(language);
}

// English as well: the measure must hold for the texts as designed.
std::vector<std::string> Languages() {
    std::vector<std::string> languages = {"en"};
    for (const std::string& language : PoLanguages()) languages.push_back(language);
    return languages;
}

INSTANTIATE_TEST_SUITE_P(Languages, TranslatedDialogsFit, ::testing::ValuesIn(Languages()),
                         [](const auto& info) { return info.param; });

}  // namespace
