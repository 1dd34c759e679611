// Finding the prefixes of a home folder laid out as each launcher lays out its own.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/WinePrefixFinder.h"
#include "platform/YamlScalarLookup.h"
#include "testlib/TempFolder.h"

namespace mailwright {
namespace {

using testing::TempFolder;

class FinderTest : public ::testing::Test {
protected:
    // A folder holding both hives, as Wine leaves a prefix.
    std::string MakePrefix(const std::string& relative) {
        m_home.WriteFile(relative + "/system.reg", "WINE REGISTRY Version 2\n");
        m_home.WriteFile(relative + "/user.reg", "WINE REGISTRY Version 2\n");
        return m_home.Sub(relative);
    }
    WinePrefixFinder Finder() const {
        return WinePrefixFinder({m_home.Path(), m_home.Sub(".config"), m_home.Sub(".local/share")});
    }
    std::vector<FoundPrefix> Find(const std::vector<std::string>& chosenBefore = {}) const {
        return Finder().Find(chosenBefore);
    }

    TempFolder m_home;
};

void ExpectFound(const std::vector<FoundPrefix>& found, const std::vector<FoundPrefix>& expected) {
    ASSERT_EQ(found.size(), expected.size());
    for (size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].name, expected[i].name) << i;
        EXPECT_EQ(found[i].folder, expected[i].folder) << i;
        EXPECT_EQ(found[i].launcher, expected[i].launcher) << i;
    }
}

TEST_F(FinderTest, FindsThePrefixesOfEveryLauncher) {
    const std::string wine = MakePrefix(".wine");
    const std::string tricks = MakePrefix(".local/share/wineprefixes/office");
    const std::string bottle = MakePrefix(".local/share/bottles/bottles/Office-2010");
    m_home.WriteFile(".local/share/bottles/bottles/Office-2010/bottle.yml",
                     "Arch: win32\nName: Office 2010\nRunner: soda-7.0-9\n");
    const std::string flatpak = MakePrefix(".var/app/com.usebottles.bottles/data/bottles/bottles/Mail");
    m_home.WriteFile(".var/app/com.usebottles.bottles/data/bottles/bottles/Mail/bottle.yml", "Name: 'Mail: Live'\n");
    const std::string pol = MakePrefix(".PlayOnLinux/wineprefix/Outlook2007");
    const std::string crossover = MakePrefix(".cxoffice/Microsoft_Office_2010");
    const std::string game = MakePrefix("Games/outlook");
    m_home.WriteFile(".config/lutris/games/outlook-1712345678.yml",
                     "game:\n  exe: drive_c/x.exe\n  prefix: " + game + "\nwine:\n  version: lutris-7.2\n");
    const std::string tilde = MakePrefix("Games/tilde");
    m_home.WriteFile(".local/share/lutris/games/tilde.yml", "game:\n  prefix: ~/Games/tilde\n");
    const std::string chosen = MakePrefix("elsewhere/My Prefix");

    ExpectFound(Find({chosen}), {
                                    {"Wine (default)", wine, "Wine"},
                                    {"office", tricks, "winetricks"},
                                    {"Office 2010", bottle, "Bottles"},
                                    {"Mail: Live", flatpak, "Bottles (Flatpak)"},
                                    {"Outlook2007", pol, "PlayOnLinux"},
                                    {"Microsoft_Office_2010", crossover, "CrossOver"},
                                    {"outlook", game, "Lutris"},
                                    {"tilde", tilde, "Lutris"},
                                    {"My Prefix", chosen, "chosen before"},
                                });
}

TEST_F(FinderTest, AFolderCountsOnlyWithBothHives) {
    m_home.WriteFile(".wine/system.reg", "WINE REGISTRY Version 2\n");
    m_home.WriteFile(".local/share/wineprefixes/half/user.reg", "WINE REGISTRY Version 2\n");
    std::filesystem::create_directories(m_home.Sub(".PlayOnLinux/wineprefix/x/system.reg"));  // a folder, not a file
    m_home.WriteFile(".PlayOnLinux/wineprefix/x/user.reg", "");
    m_home.WriteFile(".cxoffice/cxoffice.conf", "");  // a file among the bottles
    EXPECT_TRUE(Find().empty());
    EXPECT_TRUE(Find({m_home.Sub("nowhere"), "relative/path"}).empty());
}

// A prefix reached through a link, or named twice, is listed once, where it is found first.
TEST_F(FinderTest, AFolderFoundTwiceIsListedOnce) {
    const std::string bottle = MakePrefix(".local/share/bottles/bottles/Office");
    std::filesystem::create_directories(m_home.Sub(".local/share/wineprefixes"));
    std::filesystem::create_directory_symlink(bottle, m_home.Sub(".local/share/wineprefixes/link"));
    std::filesystem::create_directory_symlink(bottle, m_home.Sub(".wine"));
    const std::vector<FoundPrefix> found = Find({bottle, bottle + "/"});
    ExpectFound(found, {{"Wine (default)", m_home.Sub(".wine"), "Wine"}});
}

// Nothing that a launcher folder holds can make the finding wait or fail.
TEST_F(FinderTest, FifosAndDamagedYamlNeitherBlockNorFail) {
    const std::string bottle = MakePrefix(".local/share/bottles/bottles/fifo");
    ASSERT_EQ(0, ::mkfifo((bottle + "/bottle.yml").c_str(), 0600));
    const std::string damaged = MakePrefix(".local/share/bottles/bottles/damaged");
    m_home.WriteFile(".local/share/bottles/bottles/damaged/bottle.yml", "Name: [unclosed\n\t: :\n");
    std::filesystem::create_directories(m_home.Sub(".config/lutris/games"));
    ASSERT_EQ(0, ::mkfifo(m_home.Sub(".config/lutris/games/fifo-1.yml").c_str(), 0600));
    m_home.WriteFile(".config/lutris/games/relative-1.yml", "game:\n  prefix: Games/x\n");
    m_home.WriteFile(".config/lutris/games/list-1.yml", "game:\n  prefix: [a, b]\n");
    ExpectFound(Find(), {{"damaged", damaged, "Bottles"}, {"fifo", bottle, "Bottles"}});
}

TEST(YamlScalarLookup, FindsTheScalarAtTheKeys) {
    const struct {
        const char* text;
        std::vector<std::string_view> keys;
        std::optional<std::string> expected;
    } cases[] = {
        {"Name: Office\n", {"Name"}, "Office"},
        {"game:\n  prefix: \"/home/u/Games/x\"\n", {"game", "prefix"}, "/home/u/Games/x"},
        {"game:\n  prefix:\n    - a\n", {"game", "prefix"}, std::nullopt},
        {"game: text\n", {"game", "prefix"}, std::nullopt},
        {"other: 1\n", {"Name"}, std::nullopt},
        {"", {"Name"}, std::nullopt},
        {"Name: [unclosed\n", {"Name"}, std::nullopt},
        {"- Name\n", {"Name"}, std::nullopt},
    };
    for (const auto& c : cases) {
        std::optional<std::string> found;
        if (c.keys.size() == 1) found = YamlScalarLookup::Find(c.text, {c.keys[0]});
        else found = YamlScalarLookup::Find(c.text, {c.keys[0], c.keys[1]});
        EXPECT_EQ(found, c.expected) << c.text;
    }
}

}  // namespace
}  // namespace mailwright
