#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <vector>

#include "support/StringTable.h"
#include "support/WinTypes.h"
#include "ui/CDlgUpdate.h"
#include "ui/CQtMessagePoster.h"
#include "update/UpdateResult.h"

namespace mailwright {
namespace {

struct Received {
    unsigned message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Received&) const = default;
};

// A window that keeps what is posted to it: the update dialog's parent.
class RecordingWindow : public VeskTemplateDialog {
public:
    RecordingWindow() : VeskTemplateDialog(nullptr, 100, 50, QStringLiteral("Parent")) {}
    std::vector<Received> received;

protected:
    void OnWindowMessage(unsigned message, WPARAM wParam, LPARAM lParam) override {
        received.push_back({message, wParam, lParam});
    }
};

class CDlgUpdateTest : public ::testing::Test {
protected:
    void SetUp() override { m_dialog.Create(&m_parent); }

    QProgressBar* Bar() { return qobject_cast<QProgressBar*>(m_dialog.Control(CDlgUpdate::IDC_PROGRESS)); }
    QLabel* Message() { return qobject_cast<QLabel*>(m_dialog.Control(CDlgUpdate::IDC_MESSAGE)); }
    QPushButton* Cancel() { return qobject_cast<QPushButton*>(m_dialog.Control(CDlgUpdate::IDC_CANCEL_UPDATE)); }

    // What the worker posts after it stored a percentage.
    void PostRefresh() {
        ASSERT_TRUE(CQtMessagePoster::Instance().PostMessage(m_dialog.GetSafeHwnd(), WM_UPDATE_PROGRESS,
                                                             UPDATE_RESULT_DONE, 0));
        QCoreApplication::sendPostedEvents();
    }
    void ShowDialog() {
        m_dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_dialog));
    }

    RecordingWindow m_parent;
    CDlgUpdate m_dialog;
};

TEST_F(CDlgUpdateTest, IsAHiddenToolWindowOwnedByItsParentWithoutCloseBox) {
    EXPECT_EQ(m_dialog.windowTitle(), QStringLiteral("Wait..."));
    EXPECT_FALSE(m_dialog.isVisible());
    EXPECT_EQ(m_dialog.parentWidget(), nullptr) << "a window of its own, which the parent's boxes do not block";
    EXPECT_EQ(CQtMessagePoster::Instance().GetParent(m_dialog.GetSafeHwnd()), m_parent.GetSafeHwnd());
    const Qt::WindowFlags flags = m_dialog.windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_TRUE(flags & Qt::WindowTitleHint);
    EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowSystemMenuHint);
    EXPECT_EQ(Message()->text().toStdString(), LoadString(IDS_UPDATE_IN_PROGRESS));
    EXPECT_EQ(Bar()->minimum(), 0);
    EXPECT_EQ(Bar()->maximum(), 100);
    EXPECT_EQ(Bar()->value(), 0);
    EXPECT_FALSE(Bar()->isTextVisible());
    EXPECT_EQ(Cancel()->text(), QStringLiteral("Cancel"));
}

TEST_F(CDlgUpdateTest, ShowsCentredOnTheScreenWhereverItsParentIs) {
    m_parent.move(20, 10);
    m_parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_parent));
    ShowDialog();
    const QPoint offset = m_dialog.frameGeometry().center() - m_dialog.screen()->availableGeometry().center();
    EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << "," << offset.y();
}

TEST_F(CDlgUpdateTest, TheBarMovesOnlyAtTheRefreshMessage) {
    const struct {
        std::int32_t stored;
        int shown;
    } cases[] = {{0, 0}, {37, 37}, {100, 100}, {104, 100}, {250000, 100}, {-3, 0}, {12, 12}};
    for (const auto& c : cases) {
        const int before = Bar()->value();
        m_dialog.SetProgress(c.stored);
        EXPECT_EQ(Bar()->value(), before) << "storing draws nothing";
        PostRefresh();
        EXPECT_EQ(Bar()->value(), c.shown) << c.stored;
    }
}

TEST_F(CDlgUpdateTest, SetMessageShowsTheTextAtOnce) {
    ShowDialog();
    m_dialog.SetMessage(LoadString(IDS_UPDATE_CONNECTION_ERROR));
    EXPECT_EQ(Message()->text().toStdString(), "Connection error while updating database file.");
}

TEST_F(CDlgUpdateTest, CancelPostsCancelledToTheParentAndStopsNothingItself) {
    ShowDialog();
    QTest::mouseClick(Cancel(), Qt::LeftButton);
    EXPECT_TRUE(m_parent.received.empty()) << "posted, not sent";
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(m_parent.received, (std::vector<Received>{{WM_UPDATE_RESULT, UPDATE_RESULT_CANCELLED, 0}}));
    EXPECT_TRUE(m_dialog.isVisible()) << "the main dialog decides";
    EXPECT_EQ(Message()->text().toStdString(), LoadString(IDS_UPDATE_IN_PROGRESS));
}

TEST_F(CDlgUpdateTest, EnterAndEscapeHideWithoutCancelling) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        ShowDialog();
        QTest::keyClick(Cancel(), key);  // on the button: Enter must not press it
        EXPECT_FALSE(m_dialog.isVisible()) << key;
        QCoreApplication::sendPostedEvents();
        EXPECT_TRUE(m_parent.received.empty()) << key;
    }
    // Hidden, not destroyed: it shows again as it was.
    ShowDialog();
    EXPECT_EQ(Message()->text().toStdString(), LoadString(IDS_UPDATE_IN_PROGRESS));
}

TEST(CQtMessagePoster, DropsMessagesForWindowsThatAreGone) {
    HWND handle = nullptr;
    {
        CDlgUpdate dialog;
        handle = dialog.GetSafeHwnd();
        EXPECT_TRUE(CQtMessagePoster::Instance().PostMessage(handle, WM_UPDATE_PROGRESS, UPDATE_RESULT_DONE, 0));
    }  // its queued message goes with it
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(CQtMessagePoster::Instance().PostMessage(handle, WM_UPDATE_PROGRESS, UPDATE_RESULT_DONE, 0));
    EXPECT_EQ(CQtMessagePoster::Instance().FromHandle(handle), nullptr);
    EXPECT_EQ(CQtMessagePoster::Instance().GetParent(handle), nullptr);
    // Handles are not given out twice, so a late message never reaches a newer window.
    CDlgUpdate next;
    EXPECT_NE(next.GetSafeHwnd(), handle);
}

}  // namespace
}  // namespace mailwright
