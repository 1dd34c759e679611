#include <gtest/gtest.h>

#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

#include "support/StringTable.h"
#include "support/WinTypes.h"
#include "testlib/RecordingUserInterface.h"
#include "ui/CDlgComment.h"
#include "ui/CDlgCustomUserName.h"
#include "ui/VeskHyperLink.h"
#include "UiTestSupport.h"

using namespace mailwright;
using namespace mailwright::testing;

namespace {

// Types the name and presses OK in the open user-name dialog; returns what the dialog ended with.
struct UserNameRun {
    int result = -1;
    std::string userName;
    std::vector<UiCall> boxes;
    QString fieldAfterFirstOk;
};

UserNameRun RunUserNameDialog(const QString& typed) {
    ScopedRecordingUserInterface ui;
    CDlgCustomUserName dialog("Your log-on name is your customer number.");
    UserNameRun run;
    WhenModal([&](QWidget* modal) {
        auto* field = modal->findChild<QLineEdit*>(QStringLiteral("control1013"));
        QTest::keyClicks(field, typed);
        QTest::keyClick(field, Qt::Key_Return);  // OK is the default button
        run.fieldAfterFirstOk = field->text();
        if (modal->isVisible()) static_cast<QDialog*>(modal)->reject();
    });
    run.result = dialog.exec();
    run.userName = dialog.GetUserName();
    run.boxes = ui->Calls();
    return run;
}

TEST(CDlgCustomUserName, ShowsThePromptReadOnly) {
    CDlgCustomUserName dialog("Your log-on name is your customer number.");
    auto* prompt = dialog.findChild<QPlainTextEdit*>(QStringLiteral("control1022"));
    ASSERT_NE(prompt, nullptr);
    EXPECT_EQ(prompt->toPlainText(), QStringLiteral("Your log-on name is your customer number."));
    EXPECT_TRUE(prompt->isReadOnly());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Mailwright"));
}

TEST(CDlgCustomUserName, OkNeedsANameThatIsNotBlank) {
    for (const QString& typed : {QString(), QStringLiteral("   ")}) {
        const UserNameRun run = RunUserNameDialog(typed);
        ASSERT_EQ(run.boxes.size(), 1u) << typed.size();
        EXPECT_EQ(run.boxes[0].text, "Provide the necessary data.");
        EXPECT_EQ(run.boxes[0].style, MB_ICONEXCLAMATION);
        EXPECT_EQ(run.fieldAfterFirstOk, typed);  // the dialog stayed open, the spaces stayed
        EXPECT_EQ(run.result, QDialog::Rejected);
    }
}

TEST(CDlgCustomUserName, OkKeepsTheNameAsTyped) {
    const UserNameRun run = RunUserNameDialog(QStringLiteral("  c123 "));
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(run.result, QDialog::Accepted);
    EXPECT_EQ(run.userName, "  c123 ");
}

TEST(CDlgCustomUserName, CancelEndsWithoutACheck) {
    ScopedRecordingUserInterface ui;
    CDlgCustomUserName dialog("prompt");
    WhenModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_TRUE(ui->Calls().empty());
}

// The bold characters of the message, as ranges of the plain text.
std::vector<std::pair<int, int>> BoldRanges(QTextEdit* edit) {
    std::vector<std::pair<int, int>> ranges;
    for (QTextBlock block = edit->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().fontWeight() < QFont::Bold) continue;
            const int start = fragment.position();
            const int end = start + fragment.length();
            if (!ranges.empty() && ranges.back().second == start) ranges.back().second = end;
            else ranges.emplace_back(start, end);
        }
    }
    // A block boundary inside the range is its line break.
    for (size_t i = 1; i < ranges.size();) {
        if (ranges[i].first == ranges[i - 1].second + 1) {
            ranges[i - 1].second = ranges[i].second;
            ranges.erase(ranges.begin() + static_cast<long>(i));
        } else {
            ++i;
        }
    }
    return ranges;
}

TEST(CDlgComment, ShowsTheTextWithOnlyTheHeaderBold) {
    ResultMessage message;
    const std::string header = LoadString(IDS_ADDITIONAL_INFORMATION);
    message.text = "Your account has been created successfully.\nWhen sending..." + header + "Use port 995.";
    message.boldStart = message.text.size() - header.size() - 13;
    message.boldLength = header.size();
    message.infoUrl = "http://provider.example/help";
    CDlgComment dialog(message);

    QTextEdit* edit = dialog.MessageControl();
    EXPECT_EQ(edit->toPlainText().toStdString(), message.text);
    EXPECT_TRUE(edit->isReadOnly());
    // The header with its line breaks: "\n\nAdditional information:\n\n".
    const auto bold = BoldRanges(edit);
    ASSERT_EQ(bold.size(), 1u);
    const int headerStart = static_cast<int>(message.boldStart);
    EXPECT_LE(bold[0].first, headerStart + 2);
    EXPECT_GE(bold[0].first, headerStart);
    EXPECT_EQ(edit->toPlainText().mid(bold[0].first, bold[0].second - bold[0].first).trimmed(),
              QStringLiteral("Additional information:"));
    EXPECT_EQ(edit->textCursor().position(), 0);
    EXPECT_FALSE(edit->textCursor().hasSelection());

    VeskHyperLink* link = dialog.LinkControl();
    EXPECT_FALSE(link->isHidden());
    EXPECT_TRUE(link->isEnabled());
    EXPECT_EQ(link->GetUrl(), "http://provider.example/help");
    EXPECT_EQ(link->text(), QStringLiteral("More about configuring account."));
    EXPECT_EQ(link->toolTip(), QStringLiteral("http://provider.example/help"));
}

TEST(CDlgComment, WithoutCommentNothingIsBoldAndWithoutAddressNoLink) {
    ResultMessage message;
    message.text = "Your account has been created successfully.\nWhen sending or receiving...";
    CDlgComment dialog(message);
    EXPECT_TRUE(BoldRanges(dialog.MessageControl()).empty());
    EXPECT_TRUE(dialog.LinkControl()->isHidden());
    EXPECT_FALSE(dialog.LinkControl()->isEnabled());
}

TEST(CDlgComment, BoldRangeCountsNarrowCharacters) {
    ResultMessage message;
    message.text = "Gr\xc3\xbc\xc3\x9f" "e BOLD end";  // two characters of two bytes each in UTF-8
    message.boldStart = 8;
    message.boldLength = 4;
    CDlgComment dialog(message);
    const auto bold = BoldRanges(dialog.MessageControl());
    ASSERT_EQ(bold.size(), 1u);
    EXPECT_EQ(dialog.MessageControl()->toPlainText().mid(bold[0].first, bold[0].second - bold[0].first),
              QStringLiteral("BOLD"));
}

// The result dialog belongs to the main dialog (it blocks it while open), yet opens in
// the middle of the screen, not on the window that opened it.
TEST(CDlgComment, OpensCentredOnTheScreenWhereverItsOwnerIs) {
    QDialog owner;
    owner.setGeometry(20, 10, 150, 80);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
    ResultMessage message;
    message.text = "done";
    CDlgComment dialog(message, &owner);
    QPoint offset(-1000, -1000);
    WhenModal([&](QWidget* modal) {
        EXPECT_EQ(modal, &dialog);
        if (QTest::qWaitForWindowExposed(modal))
            offset = modal->frameGeometry().center() - modal->screen()->availableGeometry().center();
        modal->close();
    });
    dialog.exec();
    EXPECT_EQ(dialog.parentWidget(), &owner) << "owned by the window that opened it";
    EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << "," << offset.y();
}

TEST(CDlgComment, EnterAndEscapeEndIt) {
    ResultMessage message;
    message.text = "done";
    for (const auto key : {Qt::Key_Return, Qt::Key_Escape}) {
        CDlgComment dialog(message);
        WhenModal([key](QWidget* modal) { QTest::keyClick(modal->focusWidget() ? modal->focusWidget() : modal, key); });
        EXPECT_EQ(dialog.exec(), key == Qt::Key_Return ? QDialog::Accepted : QDialog::Rejected);
    }
}

TEST(CDlgComment, ADoubleClickOnTheLinkOpensItOnce) {
    ScopedFakeLinkOpener opener;
    opener->shellResult = 42;
    ResultMessage message;
    message.text = "Your account has been created successfully.";
    message.infoUrl = "http://provider.example/help";
    CDlgComment dialog(message);
    dialog.show();
    DoubleClick(dialog.LinkControl());
    EXPECT_EQ(opener->calls, std::vector<std::string>{"shell http://provider.example/help"});
}

}  // namespace
