// Texts cross between Qt and the program as UTF-8, whatever the locale.
#include <gtest/gtest.h>

#include "ui/UiText.h"
#include "UiTestSupport.h"

namespace mailwright {
namespace {

using namespace testing;

TEST(UiText, CrossesAsUtf8UnderTheCLocale) {
    const struct {
        QString text;
        std::string utf8;
    } cases[] = {
        {QStringLiteral("jan@wp.pl"), "jan@wp.pl"},
        {QStringLiteral(u"Zażółć gęślą"), "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 g\xC4\x99\xC5\x9Bl\xC4\x85"},
        {QStringLiteral(u"山田"), "\xE5\xB1\xB1\xE7\x94\xB0"},
        {QStringLiteral(u"Ana \U0001F600"), "Ana \xF0\x9F\x98\x80"},  // outside the BMP: a surrogate pair
        {QString(), ""},
    };
    ScopedCLocale locale;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(ToAnsi(c.text), c.utf8);
        EXPECT_EQ(ToQString(c.utf8), c.text);
    }
}

TEST(UiText, BytesThatAreNoUtf8ShowAsReplacementCharacters) {
    EXPECT_EQ(ToQString("a\xFF" "b"), QStringLiteral(u"a\uFFFDb"));
}

}  // namespace
}  // namespace mailwright
