#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QTest>

#include "support/WinTypes.h"
#include "testlib/TempFolder.h"
#include "ui/CQtUserInterface.h"
#include "UiTestSupport.h"

using namespace mailwright;
using namespace mailwright::testing;

namespace {

struct BoxSeen {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

// Shows a box through the seam and presses `press` in it.
int ShowAndPress(bool application, unsigned style, QMessageBox::StandardButton press, BoxSeen& seen) {
    WhenModal([&seen, press](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        seen = {box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
        if (press == QMessageBox::NoButton) QTest::keyClick(box, Qt::Key_Escape);
        else box->button(press)->click();
    });
    CQtUserInterface ui;
    return application ? ui.MessageBox("Line one\n\nLine two", style) : ui.ErrorBox("Failed.", "Error", style);
}

TEST(CQtUserInterface, ApplicationBoxesCarryTheTitleAndTheirDefaultIcons) {
    const struct {
        unsigned style;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton press;
        int result;
    } cases[] = {
        {MB_OK, QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok, IDOK},
        {MB_OKCANCEL, QMessageBox::Warning, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel, IDCANCEL},
        {MB_YESNO, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, IDYES},
        {MB_YESNO, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No, IDNO},
        {MB_ICONINFORMATION, QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok, IDOK},
        {MB_ICONERROR, QMessageBox::Critical, QMessageBox::Ok, QMessageBox::NoButton, IDOK},
        {MB_OKCANCEL | MB_ICONQUESTION, QMessageBox::Question, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::NoButton, IDCANCEL},
    };
    for (const auto& c : cases) {
        BoxSeen seen;
        EXPECT_EQ(ShowAndPress(true, c.style, c.press, seen), c.result) << c.style;
        EXPECT_EQ(seen.caption, QStringLiteral("Brightfold Mailwright"));
        EXPECT_EQ(seen.text, QStringLiteral("Line one\n\nLine two"));
        EXPECT_EQ(seen.icon, c.icon) << c.style;
        EXPECT_EQ(seen.buttons, c.buttons) << c.style;
    }
}

TEST(CQtUserInterface, ErrorBoxHasItsOwnCaptionAndOnlyTheIconItIsGiven) {
    BoxSeen seen;
    EXPECT_EQ(ShowAndPress(false, MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST, QMessageBox::Ok, seen), IDOK);
    EXPECT_EQ(seen.caption, QStringLiteral("Error"));
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(ShowAndPress(false, MB_OK, QMessageBox::Ok, seen), IDOK);
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
}

TEST(CQtUserInterface, DialogsAnswerWithWhatTheUserChose) {
    ScopedPrefixlessSession session;
    CQtUserInterface ui;
    WhenModal([](QWidget* modal) {
        QTest::keyClicks(modal->focusWidget(), QStringLiteral("c123"));
        QTest::keyClick(modal->focusWidget(), Qt::Key_Return);
    });
    EXPECT_EQ(ui.AskUserName("Customer number:"), "c123");
    WhenModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    EXPECT_EQ(ui.AskUserName("Customer number:"), std::nullopt);
    WhenModal([](QWidget* modal) { QTest::keyClick(modal->focusWidget(), Qt::Key_Return); });
    EXPECT_EQ(ui.ChooseProfile({"Outlook"}, 14), "Outlook");
    WhenModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    EXPECT_EQ(ui.ChooseProfile({"Outlook"}, 14), std::nullopt);
}

}  // namespace
