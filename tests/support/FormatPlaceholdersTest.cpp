#include <gtest/gtest.h>

#include "support/FormatPlaceholders.h"

using namespace mailwright;

namespace {

struct PlaceholderCase {
    const char* english;
    const char* translation;
    bool same;
};

// Cases a translator meets: reworded text, lost or added conversions, changed types,
// printf's widths and positions, Qt's numbered arguments, and percent signs.
constexpr PlaceholderCase kCases[] = {
    {"The settings published by %s.", "Die von %s veröffentlichten Einstellungen.", true},
    {"The settings published by %s.", "Die veröffentlichten Einstellungen.", false},
    {"Unknown Error (%d) occurred.", "Unbekannter Fehler (%s).", false},
    {"File: %s, Line: %d", "Plik: %s, wiersz: %d", true},
    {"File: %s, Line: %d", "Zeile %d, Datei %s", false},
    {"File: %s, Line: %d", "Plik: %s, %s, wiersz: %d", false},
    {"%5.2f MB", "%5.2f MB", true},
    {"%5.2f MB", "%f MB", false},
    {"%ld bytes", "%d Bytes", false},
    {"%1 of %2", "%2 von %1", true},
    {"%1 of %2", "%1 z %1", false},
    {"%L1 items", "%1 Elemente", false},
    {"100% done", "100 % fertig", true},
    {"100%% of %s", "%s: 100%%", true},
    {"100%% of %s", "100%% z", false},
    {"no placeholder", "kein %s", false},
};

}  // namespace

TEST(FormatPlaceholders, TranslationKeepsTheEnglishPlaceholders) {
    for (const PlaceholderCase& c : kCases) {
        EXPECT_EQ(SamePlaceholders(c.english, c.translation), c.same) << c.english << " / " << c.translation;
    }
}

TEST(FormatPlaceholders, ListsConversionsInOrderAndQtArgumentsSorted) {
    EXPECT_EQ(FormatPlaceholders("%2$s %-8d %% %2 %1 %.*s"),
              (std::vector<std::string>{"%2$s", "%-8d", "%.*s", "%1", "%2"}));
    EXPECT_TRUE(FormatPlaceholders("50% off, 100%").empty());
}
