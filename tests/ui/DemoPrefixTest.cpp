// The README's first run: the dialog program on the demo prefix of scripts/demo-prefix.
#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "detection/CMailClientChecker.h"
#include "platform/WinePrefixSession.h"
#include "providers/CProviderDatabase.h"
#include "support/TextUtil.h"
#include "testlib/RecordingUserInterface.h"
#include "testlib/RunProgram.h"
#include "testlib/TempFolder.h"
#include "ui/CDlgMailwright.h"
#include "UiTestSupport.h"

namespace mailwright {
namespace {

using namespace testing;

std::string MakeDemoPrefix(const std::string& folder) {
    const ProgramRun script = RunProgram(MW_SOURCE_DIR "/scripts/demo-prefix", {folder}, {});
    EXPECT_EQ(script.status, 0) << script.err;
    return Trim(script.out);
}

TEST(DemoPrefix, TakesAnOutlookExpressAccountThroughTheMainDialog) {
    TempFolder folder;
    const std::string prefix = MakeDemoPrefix(folder.Sub("demo"));
    ASSERT_EQ(prefix, folder.Sub("demo"));
    auto previous = WindowsSession::SetCurrent(std::make_shared<WinePrefixSession>(prefix));
    ScopedRecordingUserInterface ui;
    CMailClientChecker::ResetInstance();
    CProviderDatabase::EnsureDatabaseFile();
    {
        CDlgMailwright dialog(nullptr, kUnreachableUpdateUrl);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        auto* second = qobject_cast<QRadioButton*>(dialog.Control(CDlgMailwright::IDC_CLIENT_SYSTEM));
        EXPECT_EQ(second->text(), QStringLiteral("Outlook Express"));
        EXPECT_TRUE(second->isChecked());
        EXPECT_FALSE(dialog.Control(CDlgMailwright::IDC_CLIENT_OUTLOOK)->isEnabled());
        QTest::keyClicks(dialog.Control(CDlgMailwright::IDC_EMAIL), QStringLiteral("jane.doe@gmail.com"));
        QTest::mouseClick(qobject_cast<QPushButton*>(dialog.Control(CDlgMailwright::IDC_CREATE_ACCOUNT)), Qt::LeftButton);
    }
    CMailClientChecker::ResetInstance();
    WindowsSession::SetCurrent(previous);

    ASSERT_EQ(ui->Calls().size(), 1u) << ui->Calls()[0].text;
    EXPECT_EQ(ui->Calls()[0].kind, UiCall::Result);
    const std::string userHive = folder.ReadFile("demo/user.reg");
    EXPECT_NE(userHive.find("[Software\\\\Microsoft\\\\Internet Account Manager\\\\Accounts\\\\00000001]"),
              std::string::npos);
    EXPECT_NE(userHive.find("\"SMTP Email Address\"=\"jane.doe@gmail.com\""), std::string::npos);
    EXPECT_NE(userHive.find("\"Default Mail Account\"=\"00000001\""), std::string::npos);
    // Made again, the prefix keeps its account.
    EXPECT_EQ(MakeDemoPrefix(folder.Sub("demo")), prefix);
    EXPECT_EQ(folder.ReadFile("demo/user.reg"), userHive);
}

}  // namespace
}  // namespace mailwright
