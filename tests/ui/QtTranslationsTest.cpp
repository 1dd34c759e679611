#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>

#include "support/VeskCatalog.h"
#include "support/WinTypes.h"
#include "testlib/ScopedCatalog.h"
#include "ui/CQtUserInterface.h"
#include "ui/QtTranslations.h"
#include "UiTestSupport.h"

using namespace mailwright;
using namespace mailwright::testing;

namespace {

QString CancelText() {
    auto box = MakeMessageBox("text", "caption", MB_OKCANCEL, true);
    return box->button(QMessageBox::Cancel)->text();
}

}  // namespace

// The standard buttons of a box speak the language of the program's own catalogue.
TEST(QtTranslations, BoxButtonsFollowTheProgramsLanguage) {
    const struct {
        const char* language;
        const char* cancel;
    } cases[] = {{"de", "Abbrechen"}, {"pl", "Anuluj"}};
    for (const auto& c : cases) {
        ScopedCatalog catalog(ScopedCatalog::Language(c.language));
        EXPECT_TRUE(InstallQtTranslations(VeskCatalog::Language())) << c.language;
        EXPECT_EQ(CancelText(), QString::fromUtf8(c.cancel));
    }
    EXPECT_FALSE(InstallQtTranslations(""));
    EXPECT_EQ(CancelText(), QStringLiteral("Cancel"));
}

TEST(QtTranslations, ALanguageWithoutQtTranslationLeavesEnglish) {
    EXPECT_FALSE(InstallQtTranslations("xx"));
    EXPECT_EQ(CancelText(), QStringLiteral("Cancel"));
}
