// The choice of prefix before the main dialog: several prefixes, none, a folder elsewhere.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "detection/CMailClientChecker.h"
#include "platform/WinePrefixChoice.h"
#include "platform/WinePrefixSession.h"
#include "support/StringTable.h"
#include "support/WindowsSession.h"
#include "testlib/RecordingUserInterface.h"
#include "testlib/ScopedCatalog.h"
#include "testlib/ScopedEnv.h"
#include "testlib/TempFolder.h"
#include "testlib/TempWinePrefix.h"
#include "ui/CDlgMailwright.h"
#include "ui/CDlgPrefixChoice.h"
#include "ui/CPrefixStartup.h"
#include "UiTestSupport.h"

namespace mailwright {
namespace {

using namespace testing;

std::optional<std::string> NeverAsked(const std::vector<PrefixSummary>&) {
    ADD_FAILURE() << "the user was asked";
    return std::nullopt;
}

class PrefixChoiceTest : public ::testing::Test {
protected:
    std::string MakePrefix(const std::string& relative) {
        m_home.WriteFile(relative + "/system.reg", "WINE REGISTRY Version 2\n");
        m_home.WriteFile(relative + "/user.reg", "WINE REGISTRY Version 2\n");
        return m_home.Sub(relative);
    }
    WinePrefixChoice Choice() const {
        return WinePrefixChoice({m_home.Path(), m_home.Sub(".config"), m_home.Sub(".local/share")});
    }
    // The session chosen with the real chooser, driven by `act` once it is open.
    std::shared_ptr<WindowsSession> ChooseWith(std::function<void(CDlgPrefixChoice&)> act) {
        m_shown = false;
        WhenModal([&](QWidget* modal) {
            auto* chooser = qobject_cast<CDlgPrefixChoice*>(modal);
            ASSERT_NE(chooser, nullptr);
            m_shown = true;
            m_text = chooser->findChild<QLabel*>()->text().toStdString();
            m_rows = chooser->PrefixList()->topLevelItemCount();
            act(*chooser);
        });
        return CPrefixStartup::ChooseSession(Choice());
    }

    TempFolder m_home;
    ScopedEnv m_noWinePrefix{"WINEPREFIX", nullptr};
    ScopedRecordingUserInterface m_ui;
    bool m_shown = false;
    std::string m_text;
    int m_rows = 0;
};

TEST_F(PrefixChoiceTest, SeveralPrefixesAreChosenFromAndTheChoiceIsRemembered) {
    MakePrefix(".wine");
    const std::string bottle = MakePrefix(".local/share/bottles/bottles/Office");
    std::shared_ptr<WindowsSession> session = ChooseWith([](CDlgPrefixChoice& chooser) {
        QTreeWidget* list = chooser.PrefixList();
        EXPECT_EQ(list->headerItem()->text(3), QStringLiteral("Folder"));
        list->setCurrentItem(list->topLevelItem(1));
        ClickAsTheUser(chooser.OkButton());
    });
    ASSERT_TRUE(m_shown);
    EXPECT_EQ(m_rows, 2);
    EXPECT_EQ(m_text, LoadString(IDS_CHOOSE_PREFIX_TEXT));
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->PrefixFolder(), bottle);

    // The next start takes the remembered choice without asking.
    session = CPrefixStartup::ChooseSession(Choice(), NeverAsked);
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->PrefixFolder(), bottle);
}

TEST_F(PrefixChoiceTest, CancelEndsTheProgram) {
    MakePrefix(".wine");
    MakePrefix(".PlayOnLinux/wineprefix/Outlook");
    EXPECT_EQ(ChooseWith([](CDlgPrefixChoice& chooser) { chooser.reject(); }), nullptr);
    EXPECT_TRUE(Choice().FindAll().size() == 2 && !m_home.Exists(".config/mailwright/prefixes"));
}

TEST_F(PrefixChoiceTest, WithNoPrefixItSaysSoAndAFolderElsewhereCanBeChosen) {
    TempFolder elsewhere;
    elsewhere.WriteFile("prefix/system.reg", "WINE REGISTRY Version 2\n");
    elsewhere.WriteFile("prefix/user.reg", "WINE REGISTRY Version 2\n");
    std::vector<QString> asked{QString::fromStdString(elsewhere.Path()), QString::fromStdString(elsewhere.Sub("prefix"))};
    std::shared_ptr<WindowsSession> session = ChooseWith([&](CDlgPrefixChoice& chooser) {
        EXPECT_FALSE(chooser.OkButton()->isVisible());
        chooser.SetFolderAsker([&](QWidget*) {
            const QString next = asked.front();
            asked.erase(asked.begin());
            return next;
        });
        ClickAsTheUser(chooser.ChooseFolderButton());  // not a prefix: refused, the choice goes on
        ClickAsTheUser(chooser.ChooseFolderButton());
    });
    ASSERT_TRUE(m_shown);
    EXPECT_EQ(m_rows, 0);
    EXPECT_EQ(m_text, LoadString(IDS_NO_WINE_PREFIX));
    ASSERT_EQ(m_ui->Calls().size(), 1u);
    EXPECT_EQ(m_ui->Calls()[0].text, elsewhere.Path() + " is not a Wine prefix: it holds no system.reg and user.reg.");
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->PrefixFolder(), elsewhere.Sub("prefix"));
    EXPECT_EQ(m_home.ReadFile(".config/mailwright/prefixes"), elsewhere.Sub("prefix") + "\n");
    EXPECT_EQ(Choice().FindAll().size(), 1u);  // a folder chosen before is found again
}

TEST_F(PrefixChoiceTest, WinePrefixWinsWithoutAsking) {
    MakePrefix(".wine");
    MakePrefix(".local/share/wineprefixes/a");
    const std::string named = MakePrefix("named");
    ScopedEnv wine("WINEPREFIX", named.c_str());
    std::shared_ptr<WindowsSession> session = CPrefixStartup::ChooseSession(Choice(), NeverAsked);
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(session->PrefixFolder(), named);
}

// The main dialog keeps its controls and flow; its title names the prefix, and without
// one it says in Linux terms what is missing.
TEST(MainDialogAndPrefix, TitleNamesThePrefixAndNoPrefixIsSaidInLinuxTerms) {
    ScopedRecordingUserInterface ui;
    {
        ScopedPrefixlessSession none;
        CMailClientChecker::ResetInstance();
        CDlgMailwright dialog(nullptr, kUnreachableUpdateUrl);
        ASSERT_FALSE(ui->Calls().empty());
        EXPECT_EQ(ui->Calls()[0].text, LoadString(IDS_NO_WINE_PREFIX));
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral(" Mailwright 1.0"));
    }
    TempWinePrefix prefix(WindowsRelease::WinXP, false);
    ScopedPrefixSession session(prefix);
    CMailClientChecker::ResetInstance();
    CDlgMailwright dialog(nullptr, kUnreachableUpdateUrl);
    EXPECT_EQ(dialog.windowTitle().toStdString(), " Mailwright 1.0 - Wine prefix " + prefix.Path());
    CMailClientChecker::ResetInstance();
}

}  // namespace
}  // namespace mailwright

namespace mailwright {
namespace {

// The chooser's own buttons speak the program's language, as its other texts do.
TEST(PrefixChoiceLanguage, ButtonsFollowTheProgramsLanguage) {
    struct Case {
        const char* language;
        const char* cancel;
        const char* folder;
    };
    for (const Case& c : {Case{"de", "Abbrechen", "Ordner wählen..."}, Case{"pl", "Anuluj", "Wybierz folder..."}}) {
        testing::ScopedCatalog catalog(testing::ScopedCatalog::Language(c.language));
        CDlgPrefixChoice dialog({});
        QStringList texts;
        for (const QPushButton* button : dialog.findChildren<QPushButton*>()) texts << button->text();
        EXPECT_TRUE(texts.contains(QString::fromUtf8(c.cancel))) << c.language << ": " << texts.join(", ").toStdString();
        EXPECT_TRUE(texts.contains(QString::fromUtf8(c.folder))) << c.language << ": " << texts.join(", ").toStdString();
    }
}

}  // namespace
}  // namespace mailwright
