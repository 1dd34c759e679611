// The catalogues of the user's language: what reaches the program's texts, and what
// falls back to English.
#include <gtest/gtest.h>

#include "support/FormatPlaceholders.h"
#include "support/StringTable.h"
#include "support/StringTableEntries.h"
#include "support/VeskCatalog.h"
#include "support/VeskException.h"
#include "testlib/PoFile.h"
#include "testlib/RunProgram.h"
#include "testlib/ScopedCatalog.h"
#include "testlib/TempFolder.h"

using namespace mailwright;
using namespace mailwright::testing;

namespace {

std::string PoQuoted(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '\n') quoted += "\\n";
        else if (c == '"' || c == '\\') quoted += std::string("\\") + c;
        else quoted += c;
    }
    return quoted + "\"";
}

std::string PoEntry(const std::string& context, const std::string& id, const std::string& translation) {
    const std::string contextLine = context.empty() ? "" : "msgctxt " + PoQuoted(context) + "\n";
    return contextLine + "msgid " + PoQuoted(id) + "\nmsgstr " + PoQuoted(translation) + "\n\n";
}

std::string Context(unsigned id) { return TranslationContext(id); }

// A Polish catalogue with one good translation and one of each fault.
class FaultyCatalogTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string po =
            PoEntry("", "", "Language: pl\nContent-Type: text/plain; charset=UTF-8\n") +
            PoEntry(Context(IDS_MAIN_HEADER), LoadEnglishString(IDS_MAIN_HEADER), "Dobre tłumaczenie.") +
            PoEntry(Context(IDS_ACCOUNT_CREATED), "Your account was created.", "Nieaktualne tłumaczenie.") +
            PoEntry(Context(IDS_FOUND_PUBLISHED_SETTINGS), LoadEnglishString(IDS_FOUND_PUBLISHED_SETTINGS),
                    "Konto używa opublikowanych ustawień.") +
            PoEntry(Context(IDS_PASSWORD_HINT), LoadEnglishString(IDS_PASSWORD_HINT), "") +
            PoEntry(Context(IDS_KEY_WINDOWS_MAIL), LoadEnglishString(IDS_KEY_WINDOWS_MAIL), "Oprogramowanie\\Poczta") +
            PoEntry("", LoadEnglishString(IDS_UPDATE_DONE), "Bez kontekstu.") +
            PoEntry("error box", "Error", "Błąd");
        m_folder.WriteFile("pl.po", po);
        m_folder.WriteFile("locale/pl/LC_MESSAGES/.keep", "");
        const ProgramRun run = RunProgram(
            MW_MSGFMT, {"-o", m_folder.Sub("locale/pl/LC_MESSAGES/mailwright.mo"), m_folder.Sub("pl.po")}, {});
        ASSERT_EQ(run.status, 0) << run.err;
    }

    TempFolder m_folder;
};

}  // namespace

TEST_F(FaultyCatalogTest, OnlyAGoodTranslationOfTheCurrentTextIsUsed) {
    ScopedCatalog catalog(ScopedCatalog::Language("pl"), m_folder.Sub("locale"));
    EXPECT_EQ(VeskCatalog::Language(), "pl");
    EXPECT_EQ(LoadString(IDS_MAIN_HEADER), "Dobre tłumaczenie.");
    EXPECT_EQ(VeskCatalog::Translate("error box", "Error"), "Błąd");
    // Stale, placeholder lost, empty, a fixed text, and a text without its identifier.
    for (const unsigned id : {IDS_ACCOUNT_CREATED, IDS_FOUND_PUBLISHED_SETTINGS, IDS_PASSWORD_HINT,
                              IDS_KEY_WINDOWS_MAIL, IDS_UPDATE_DONE}) {
        EXPECT_EQ(LoadString(id), LoadEnglishString(id)) << id;
    }
}

TEST_F(FaultyCatalogTest, TextsStayEnglishUntilActivated) {
    ScopedEnv language("LANGUAGE", "pl");
    ScopedEnv all("LC_ALL", "C.UTF-8");
    EXPECT_EQ(LoadString(IDS_MAIN_HEADER), LoadEnglishString(IDS_MAIN_HEADER));
    EXPECT_EQ(VeskCatalog::Language(), "");
}

TEST(BuiltCatalogues, EveryTranslationOfTheCurrentTextsReachesTheProgram) {
    for (const std::string& language : PoLanguages()) {
        const PoFile po(PoFilePath(language));
        ASSERT_TRUE(po.IsOpen()) << language;
        ScopedCatalog catalog(ScopedCatalog::Language(language));
        EXPECT_EQ(VeskCatalog::Language(), language);
        int reached = 0;
        for (const PoFile::Entry& entry : po.Entries()) {
            if (entry.fuzzy || entry.translation.empty() || entry.context.empty()) continue;
            if (entry.context.find_first_not_of("0123456789") != std::string::npos) {
                EXPECT_EQ(VeskCatalog::Translate(entry.context, entry.id), entry.translation) << entry.id;
                continue;
            }
            const unsigned id = static_cast<unsigned>(std::stoul(entry.context));
            if (LoadEnglishString(id) != entry.id) continue;  // stale: English by design
            EXPECT_EQ(LoadString(id), entry.translation) << language << " " << id;
            ++reached;
        }
        EXPECT_GT(reached, 0) << language;
    }
}

TEST(BuiltCatalogues, PlaceholdersOfEveryTranslationMatchTheText) {
    for (const std::string& language : PoLanguages()) {
        const PoFile po(PoFilePath(language));
        ASSERT_TRUE(po.IsOpen()) << language;
        for (const PoFile::Entry& entry : po.Entries()) {
            if (entry.fuzzy || entry.translation.empty()) continue;
            EXPECT_TRUE(SamePlaceholders(entry.id, entry.translation))
                << language << " [" << entry.context << "] " << entry.id << " / " << entry.translation;
        }
    }
}

TEST(BuiltCatalogues, TheUsersLocaleChoosesTheLanguage) {
    const PoFile po(PoFilePath("pl"));
    std::string polish;
    for (const PoFile::Entry& entry : po.Entries()) {
        if (entry.context == Context(IDS_ACCOUNT_CREATED)) polish = entry.translation;
    }
    ASSERT_FALSE(polish.empty());
    // Installed or not, the locale's language is the program's (Qt's texts follow it too).
    ScopedCatalog catalog(std::map<std::string, std::string>{{"LANG", "pl_PL.UTF-8"}});
    EXPECT_EQ(LoadString(IDS_ACCOUNT_CREATED), polish);
}

TEST(BuiltCatalogues, AnyOtherLocaleIsEnglish) {
    const std::map<std::string, std::string> locales[] = {
        ScopedCatalog::Language("fr"),
        {{"LANG", "ja_JP.UTF-8"}},
        {{"LANGUAGE", "de"}, {"LC_ALL", "C"}},  // the C locale ignores LANGUAGE, as gettext does
        {},
    };
    for (const auto& locale : locales) {
        ScopedCatalog catalog(locale);
        EXPECT_EQ(VeskCatalog::Language(), "");
        for (const unsigned id : StringIds()) EXPECT_EQ(LoadString(id), LoadEnglishString(id)) << id;
    }
}

TEST(BuiltCatalogues, TheTemplateHoldsEveryTranslatedEntryOfTheTable) {
    const PoFile pot(MW_BINARY_DIR "/po/mailwright.pot");
    ASSERT_TRUE(pot.IsOpen());
    std::map<std::string, std::string> entries;
    for (const PoFile::Entry& entry : pot.Entries()) entries[entry.context] = entry.id;
    for (const unsigned id : StringIds()) {
        const auto it = entries.find(Context(id));
        if (!IsTranslatedString(id)) {
            EXPECT_EQ(it, entries.end()) << id;
        } else {
            ASSERT_NE(it, entries.end()) << id;
            EXPECT_EQ(it->second, LoadEnglishString(id));
        }
    }
    EXPECT_EQ(entries.count("main dialog"), 1u);  // the dialogs' texts are in it too
}

TEST(BuiltCatalogues, SystemTextsSpeakTheUsersLanguageAndKeepTheirLineBreak) {
    const std::string english = GetSystemErrorText(2);
    ASSERT_EQ(english, "The system cannot find the file specified.\r\n");
    for (const std::string& language : PoLanguages()) {
        const PoFile po(PoFilePath(language));
        std::string translation;
        for (const PoFile::Entry& entry : po.Entries()) {
            if (entry.context == "system error" && entry.id + "\r\n" == english) translation = entry.translation;
        }
        ASSERT_FALSE(translation.empty()) << language;
        ScopedCatalog catalog(ScopedCatalog::Language(language));
        EXPECT_EQ(GetSystemErrorText(2), translation + "\r\n");
    }
}
