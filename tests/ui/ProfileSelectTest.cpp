#include <gtest/gtest.h>

#include <QComboBox>
#include <QTest>

#include "registry/CRegistryKey.h"
#include "support/WinTypes.h"
#include "testlib/RecordingUserInterface.h"
#include "testlib/TempWinePrefix.h"
#include "ui/CDlgProfileSelect.h"
#include "UiTestSupport.h"
#include "writers/DefaultProfile.h"

using namespace mailwright;
using namespace mailwright::testing;

namespace {

constexpr int kOutlook2010 = 14;

class ProfileSelectTest : public ::testing::Test {
protected:
    void SetDefaultProfile(const char* name) {
        CRegistryKey key;
        ASSERT_EQ(key.CreateKey(HKEY_CURRENT_USER, OutlookProfilesKey(kOutlook2010).c_str(), KEY_WRITE), ERROR_SUCCESS);
        ASSERT_EQ(key.WriteString("DefaultProfile", name), ERROR_SUCCESS);
    }

    static QStringList Shown(const CDlgProfileSelect& dialog) {
        QStringList names;
        for (int i = 0; i < dialog.ProfileList()->count(); ++i) names << dialog.ProfileList()->itemText(i);
        return names;
    }

    TempWinePrefix m_prefix{WindowsRelease::Win7};
    ScopedPrefixSession m_session{m_prefix};
    ScopedRecordingUserInterface m_ui;
};

TEST_F(ProfileSelectTest, ListIsSortedAndTheChoiceIsTheSelectedName) {
    SetDefaultProfile("Zeta");
    CDlgProfileSelect dialog({"Zeta", "Alpha"}, kOutlook2010);
    EXPECT_EQ(Shown(dialog), (QStringList{QStringLiteral("Alpha"), QStringLiteral("Zeta")}));
    EXPECT_EQ(dialog.ProfileList()->currentText(), QStringLiteral("Zeta"));
    WhenModal([](QWidget* modal) {
        auto* combo = modal->findChild<QComboBox*>(QStringLiteral("control1025"));
        QTest::keyClick(combo, Qt::Key_Up);  // from Zeta to Alpha
        QTest::keyClick(combo, Qt::Key_Return);
    });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(dialog.GetSelectedText(), "Alpha");
    EXPECT_EQ(dialog.GetSelectedIndex(), 0);
    EXPECT_TRUE(m_ui->Calls().empty());
}

TEST_F(ProfileSelectTest, DefaultProfileIsPreselectedBySearchingFromTheSecondEntry) {
    const struct {
        const char* defaultName;
        std::vector<std::string> handedIn;
        const char* preselected;
    } cases[] = {
        {"Mail", {"Mail2", "Mail"}, "Mail2"},
        {"mail", {"Other", "Mail"}, "Mail"},
        {"Home", {"Work", "Home", "Abroad"}, "Home"},
    };
    for (const auto& c : cases) {
        SetDefaultProfile(c.defaultName);
        CDlgProfileSelect dialog(c.handedIn, kOutlook2010);
        EXPECT_EQ(dialog.ProfileList()->currentText().toStdString(), c.preselected) << c.defaultName;
    }
    EXPECT_TRUE(m_ui->Calls().empty());
}

TEST_F(ProfileSelectTest, WithoutADefaultTheErrorIsShownAndTheFirstEntrySelected) {
    CRegistryKey key;
    ASSERT_EQ(key.CreateKey(HKEY_CURRENT_USER, OutlookProfilesKey(kOutlook2010).c_str(), KEY_WRITE), ERROR_SUCCESS);
    CDlgProfileSelect dialog({"Work", "Home"}, kOutlook2010);
    EXPECT_EQ(dialog.ProfileList()->currentText(), QStringLiteral("Home"));
    ASSERT_EQ(m_ui->Calls().size(), 1u);
    EXPECT_EQ(m_ui->Calls()[0].kind, UiCall::Error);
    EXPECT_EQ(m_ui->Calls()[0].text, "Cannot read value from system registry.");
}

TEST_F(ProfileSelectTest, OkWithoutASelectionAsksForOne) {
    CDlgProfileSelect dialog({}, kOutlook2010);
    m_ui->ClearCalls();
    bool stayedOpen = false;
    WhenModal([&](QWidget* modal) {
        QTest::keyClick(modal, Qt::Key_Return);
        stayedOpen = modal->isVisible();
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_TRUE(stayedOpen);
    ASSERT_EQ(m_ui->Calls().size(), 1u);
    EXPECT_EQ(m_ui->Calls()[0].text, "Select a profile.");
    EXPECT_EQ(m_ui->Calls()[0].style, MB_ICONERROR);
}

TEST_F(ProfileSelectTest, CancelClosesWithoutAMessage) {
    SetDefaultProfile("Home");
    CDlgProfileSelect dialog({"Home", "Work"}, kOutlook2010);
    WhenModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
    EXPECT_TRUE(m_ui->Calls().empty());
}

}  // namespace
