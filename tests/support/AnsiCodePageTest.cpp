// Narrow text is UTF-8 whatever the locale; Windows code pages only at the edge.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "support/AnsiCodePage.h"
#include "support/TextUtil.h"

namespace mailwright {
namespace {

// The C locale must not change how narrow text is read: it is UTF-8 in any locale.
class CLocale : public ::testing::Test {
protected:
    void SetUp() override {
        m_previous = std::setlocale(LC_ALL, nullptr);
        std::setlocale(LC_ALL, "C");
    }
    void TearDown() override { std::setlocale(LC_ALL, m_previous.c_str()); }

private:
    std::string m_previous;
};

TEST_F(CLocale, Utf8AndUtf16RoundTrip) {
    const struct {
        std::string utf8;
        std::u16string utf16;
    } cases[] = {
        {"plain", u"plain"},
        {"Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87", u"Za\u017C\u00F3\u0142\u0107"},
        {"\xE2\x82\xAC \xF0\x9F\x93\xA7", u"\u20AC \U0001F4E7"},
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
        EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8) << c.utf8;
        EXPECT_TRUE(IsWellFormedUtf8(c.utf8)) << c.utf8;
    }
}

// Each maximal ill-formed part becomes one U+FFFD; a lone surrogate too.
TEST_F(CLocale, IllFormedTextBecomesReplacementCharacters) {
    const struct {
        std::string utf8;
        std::u16string utf16;
    } cases[] = {
        {"a\xFF" "b", u"a\uFFFDb"},
        {"\xC3", u"\uFFFD"},
        {"\xE2\x82" "x", u"\uFFFDx"},
        {"\xC0\xAF", u"\uFFFD\uFFFD"},          // an overlong "/"
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},  // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
        EXPECT_FALSE(IsWellFormedUtf8(c.utf8)) << c.utf8;
    }
    EXPECT_TRUE(IsWellFormedUtf8("\xEF\xBF\xBD"));  // U+FFFD itself
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
}

TEST(AnsiCodePage, CodePagesTakeWhatTheyHoldAndAQuestionMarkForTheRest) {
    const std::string polish = "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87 \xE2\x82\xAC";  // "Zażółć €"
    const struct {
        unsigned codePage;
        std::string text;
        std::string expected;
    } cases[] = {
        {1250, polish, "Za\xBF\xF3\xB3\xE6 \x80"},
        {1252, polish, "Za?\xF3?? \x80"},
        {1251, polish, "Za???? \x88"},
        {932, "\xE6\x97\xA5\xC5\xBC", "\x93\xFA?"},
        {1252, "bad \xFF\xC3 end", "bad ?? end"},
        {1252, "ascii only", "ascii only"},
        {65001, polish, polish},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8ToCodePage(c.text, c.codePage), c.expected) << c.codePage << " " << c.text;
    EXPECT_EQ(Utf8ToCodePage("x", 4711), std::nullopt);
}

TEST(AnsiCodePage, TheLocalesLanguageChoosesTheCodePageAsWineDoes) {
    const struct {
        const char* locale;
        unsigned codePage;
    } cases[] = {
        {"pl_PL.UTF-8", 1250}, {"cs_CZ", 1250},           {"ru_RU.KOI8-R", 1251}, {"el_GR.UTF-8", 1253},
        {"tr_TR.UTF-8", 1254}, {"he_IL", 1255},           {"ar_EG.UTF-8", 1256},  {"lt_LT.UTF-8", 1257},
        {"vi_VN", 1258},       {"th_TH.UTF-8", 874},      {"ja_JP.eucJP", 932},   {"zh_CN.GB18030", 936},
        {"zh_TW.UTF-8", 950},  {"ko_KR.UTF-8", 949},      {"sr_RS", 1251},        {"sr_RS@latin", 1250},
        {"en_US.UTF-8", 1252}, {"de_DE.ISO-8859-1", 1252}, {"EN_gb", 1252},       {"C", 0},
        {"POSIX", 0},          {"C.UTF-8", 0},            {"", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(AnsiCodePageOfLocale(c.locale), c.codePage) << c.locale;
}

// Wine upper-cases each UTF-16 unit by Unicode's simple mapping: "ß" has no one-letter
// capital, and bytes that are no UTF-8 only match themselves.
TEST_F(CLocale, UnicodeCaseFoldingIgnoresTheLocale) {
    const struct {
        std::string a, b;
        bool equal;
    } cases[] = {
        {"Documents", "DOCUMENTS", true},
        {"Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87", "ZA\xC5\xBB\xC3\x93\xC5\x81\xC4\x86", true},
        {"\xD0\xB4\xD0\xBE\xD0\xBA", "\xD0\x94\xD0\x9E\xD0\x9A", true},  // Cyrillic
        {"\xCF\x83\xCE\xBF\xCF\x86", "\xCE\xA3\xCE\x9F\xCE\xA6", true},  // Greek
        {"stra\xC3\x9F" "e", "STRASSE", false},
        {"a\xFF", "A\xFF", true},
        {"a\xFF", "a\xFE", false},
        {"abc", "abd", false},
    };
    for (const auto& c : cases) EXPECT_EQ(EqualsNoCaseUnicode(c.a, c.b), c.equal) << c.a << " " << c.b;
}

}  // namespace
}  // namespace mailwright
