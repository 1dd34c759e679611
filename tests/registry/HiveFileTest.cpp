// The prefix's hive files as files: reached through symbolic links, shared by hard links,
// replaced by something that is not a file at all.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "registry/CRegistryKey.h"
#include "registry/WineHiveStore.h"
#include "testlib/TempFolder.h"

namespace mailwright {
namespace {

using testing::TempFolder;

const std::string kUserHive =
    "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win64\n"
    "\n[Software\\\\Kept] 1700000000\n#time=1da0a5f0e0b3c00\n\"n\"=dword:00000001\n";

class HiveFileTest : public ::testing::Test {
protected:
    std::string Prefix() const { return m_root.Sub("prefix"); }
    std::shared_ptr<WineHiveStore> Store() const { return std::make_shared<WineHiveStore>(Prefix()); }

    static LONG WriteDword(const std::shared_ptr<RegistryStore>& store, const char* name, DWORD value) {
        CRegistryKey key(store);
        if (const LONG code = key.CreateKey(HKEY_CURRENT_USER, "Software\\Mailwright", KEY_READ | KEY_WRITE)) return code;
        return key.WriteDword(name, value);
    }

    static LONG ReadDword(const std::shared_ptr<RegistryStore>& store, const char* path, const char* name,
                          DWORD& value) {
        CRegistryKey key(store);
        if (const LONG code = key.OpenKey(HKEY_CURRENT_USER, path, KEY_READ)) return code;
        return key.ReadDword(name, value);
    }

    size_t EntriesIn(const std::string& relative) const {
        return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(m_root.Sub(relative)),
                                                 std::filesystem::directory_iterator()));
    }

    TempFolder m_root;
};

struct LinkCase {
    const char* name;
    // Links to make, relative to the root: {link, target}; "@x" is x's absolute path.
    std::vector<std::pair<std::string, std::string>> links;
};

class HiveThroughLinks : public HiveFileTest, public ::testing::WithParamInterface<LinkCase> {
protected:
    std::string Target(const std::string& spec) const {
        return spec.starts_with('@') ? m_root.Sub(spec.substr(1)) : spec;
    }
};

// A prefix whose user.reg lives elsewhere (a shared or synced folder) gets the account in
// the file the link leads to, and the link stays.
TEST_P(HiveThroughLinks, TheTargetIsReplacedBesideItAndTheLinkStays) {
    m_root.WriteFile("prefix/system.reg", "WINE REGISTRY Version 2\n");
    m_root.WriteFile("elsewhere/user.reg", kUserHive);
    for (const auto& [link, target] : GetParam().links)
        std::filesystem::create_symlink(Target(target), m_root.Sub(link));
    const size_t entries = EntriesIn("elsewhere");
    const size_t prefixEntries = EntriesIn("prefix");

    ASSERT_EQ(ERROR_SUCCESS, WriteDword(Store(), "written", 7));
    for (const auto& [link, target] : GetParam().links) {
        ASSERT_TRUE(std::filesystem::is_symlink(m_root.Sub(link))) << link;
        EXPECT_EQ(Target(target), std::filesystem::read_symlink(m_root.Sub(link)).string());
    }
    const std::string text = m_root.ReadFile("elsewhere/user.reg");
    EXPECT_NE(std::string::npos, text.find("\"written\"=dword:00000007")) << text;
    EXPECT_NE(std::string::npos, text.find("[Software\\\\Kept]"));
    EXPECT_EQ(entries, EntriesIn("elsewhere")) << "no temporary file is left beside the target";
    EXPECT_EQ(prefixEntries, EntriesIn("prefix")) << "nor beside the link";

    DWORD value = 0xDEADBEEF;
    EXPECT_EQ(ERROR_SUCCESS, ReadDword(Store(), "Software\\Mailwright", "written", value));
    EXPECT_EQ(7u, value);
    // The next write starts from the target's new text.
    ASSERT_EQ(ERROR_SUCCESS, WriteDword(Store(), "again", 8));
    EXPECT_NE(std::string::npos, m_root.ReadFile("elsewhere/user.reg").find("\"written\"=dword:00000007"));
}

INSTANTIATE_TEST_SUITE_P(
    Links, HiveThroughLinks,
    ::testing::Values(LinkCase{"Relative", {{"prefix/user.reg", "../elsewhere/user.reg"}}},
                      LinkCase{"Absolute", {{"prefix/user.reg", "@elsewhere/user.reg"}}},
                      LinkCase{"Chain",
                               {{"elsewhere/current.reg", "user.reg"},
                                {"prefix/hive-link", "@elsewhere/current.reg"},
                                {"prefix/user.reg", "hive-link"}}}),
    [](const ::testing::TestParamInfo<LinkCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mailwright
