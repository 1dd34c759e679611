// The prefix taken without asking, and the choices remembered for the next start.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/RememberedPrefixes.h"
#include "platform/WinePrefixChoice.h"
#include "testlib/TempFolder.h"

namespace mailwright {
namespace {

using testing::TempFolder;

class ChoiceTest : public ::testing::Test {
protected:
    std::string MakePrefix(const std::string& relative) {
        m_home.WriteFile(relative + "/system.reg", "WINE REGISTRY Version 2\n");
        m_home.WriteFile(relative + "/user.reg", "WINE REGISTRY Version 2\n");
        return m_home.Sub(relative);
    }
    WinePrefixChoice Choice() const {
        return WinePrefixChoice({m_home.Path(), m_home.Sub(".config"), m_home.Sub(".local/share")});
    }
    RememberedPrefixes Remembered() const { return RememberedPrefixes(m_home.Sub(".config")); }

    TempFolder m_home;
};

TEST_F(ChoiceTest, RemembersTheLastChoiceFirstAndEachFolderOnce) {
    EXPECT_TRUE(Remembered().Load().empty());
    ASSERT_TRUE(Remembered().Remember("/a"));
    ASSERT_TRUE(Remembered().Remember("/b"));
    ASSERT_TRUE(Remembered().Remember("/a"));
    EXPECT_EQ(m_home.ReadFile(".config/mailwright/prefixes"), "/a\n/b\n");
    EXPECT_EQ(Remembered().Load(), (std::vector<std::string>{"/a", "/b"}));
    EXPECT_FALSE(Remembered().Remember("relative"));
    EXPECT_FALSE(Remembered().Remember("/line\nbreak"));
    EXPECT_FALSE(RememberedPrefixes("").Remember("/a"));
    EXPECT_EQ(m_home.ReadFile(".config/mailwright/prefixes"), "/a\n/b\n");
}

TEST_F(ChoiceTest, ADamagedFileGivesOnlyItsAbsoluteFolders) {
    m_home.WriteFile(".config/mailwright/prefixes", "\n/x\nnot absolute\n/x\n\x01\x02\n/y");
    EXPECT_EQ(Remembered().Load(), (std::vector<std::string>{"/x", "/y"}));
}

TEST_F(ChoiceTest, TheLastChoiceWinsWhileItIsAPrefix) {
    const std::string wine = MakePrefix(".wine");
    const std::string bottle = MakePrefix(".local/share/bottles/bottles/Office");
    const std::string chosen = MakePrefix("elsewhere");
    EXPECT_EQ(Choice().Resolve(Choice().FindAll()), std::nullopt);  // several, none chosen: ask
    EXPECT_EQ(Choice().ResolveLikeWine(Choice().FindAll()), wine);
    ASSERT_TRUE(Choice().Remember(chosen));
    EXPECT_EQ(Choice().FindAll().back().folder, chosen);
    EXPECT_EQ(Choice().Resolve(Choice().FindAll()), chosen);
    std::filesystem::remove(chosen + "/user.reg");
    EXPECT_EQ(Choice().Resolve(Choice().FindAll()), std::nullopt);
    std::filesystem::remove_all(m_home.Sub(".wine"));
    EXPECT_EQ(Choice().Resolve(Choice().FindAll()), bottle);  // the only one left
}

TEST_F(ChoiceTest, WithNoPrefixNothingIsTaken) {
    EXPECT_TRUE(Choice().FindAll().empty());
    EXPECT_EQ(Choice().ResolveLikeWine({}), std::nullopt);
    EXPECT_EQ(WinePrefixChoice({}).ResolveLikeWine({}), std::nullopt);
}

}  // namespace
}  // namespace mailwright
