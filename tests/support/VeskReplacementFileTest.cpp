// The one way a file is replaced: beside its target, through symbolic links, never
// over a file that is not a regular one.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/VeskReplacementFile.h"
#include "testlib/FifoWatch.h"
#include "testlib/TempFolder.h"

using namespace mailwright;
using namespace mailwright::testing;

namespace {

const VeskReplacementFile::Rules kUnique{};
const VeskReplacementFile::Rules kFixed{".test-tmp", true};

DWORD ReplaceWith(const std::string& path, const std::string& content, const VeskReplacementFile::Rules& rules) {
    VeskReplacementFile file(path, rules);
    if (const DWORD code = file.Open()) return code;
    if (const DWORD code = file.Write(content.data(), content.size())) return code;
    if (const DWORD code = file.Finish()) return code;
    return file.Replace();
}

size_t EntriesIn(const std::string& folder) {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                             std::filesystem::directory_iterator()));
}

bool IsLink(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string LinkText(const std::string& path) { return std::filesystem::read_symlink(path).string(); }

// "@x" stands for the absolute path of x below the root; anything else is a relative link.
std::string LinkTarget(const TempFolder& root, const std::string& spec) {
    return spec.starts_with('@') ? root.Sub(spec.substr(1)) : spec;
}

struct LinkCase {
    const char* name;
    // Links made from the folder "links" (relative ones are read from there); the last one is "links/file".
    std::vector<std::pair<std::string, std::string>> links;
};

class ReplacementThroughLinks : public ::testing::TestWithParam<LinkCase> {};

TEST_P(ReplacementThroughLinks, ReplacesTheTargetBesideItAndKeepsEveryLink) {
    TempFolder root;
    root.WriteFile("data/real", "old");
    root.WriteFile("links/.keep", "");
    for (const auto& [link, target] : GetParam().links)
        std::filesystem::create_symlink(LinkTarget(root, target), root.Sub(link));
    const size_t entries = EntriesIn(root.Sub("data"));
    for (const VeskReplacementFile::Rules& rules : {kUnique, kFixed}) {
        VeskReplacementFile file(root.Sub("links/file"), rules);
        ASSERT_EQ(ERROR_SUCCESS, file.Open());
        ASSERT_EQ(ERROR_SUCCESS, file.Write("new", 3));
        ASSERT_EQ(ERROR_SUCCESS, file.Finish());
        EXPECT_EQ(entries + 1, EntriesIn(root.Sub("data"))) << "the temporary file lies beside the target";
        ASSERT_EQ(ERROR_SUCCESS, file.Replace());
        EXPECT_EQ("new", root.ReadFile("data/real"));
        EXPECT_EQ(entries, EntriesIn(root.Sub("data")));
        for (const auto& [link, target] : GetParam().links) {
            EXPECT_TRUE(IsLink(root.Sub(link))) << link;
            EXPECT_EQ(LinkTarget(root, target), LinkText(root.Sub(link)));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Links, ReplacementThroughLinks,
    ::testing::Values(LinkCase{"Relative", {{"links/file", "../data/real"}}},
                      LinkCase{"Absolute", {{"links/file", "@data/real"}}},
                      // links/file -> hop1 (relative, beside it) -> /abs/data/hop2 -> real
                      LinkCase{"Chain", {{"data/hop2", "real"}, {"links/hop1", "@data/hop2"}, {"links/file", "hop1"}}}),
    [](const ::testing::TestParamInfo<LinkCase>& info) { return std::string(info.param.name); });

TEST(VeskReplacementFile, ALinkToNothingGetsItsTargetMadeAndStays) {
    TempFolder root;
    root.WriteFile("data/.keep", "");
    std::filesystem::create_symlink("data/new", root.Sub("file"));
    ASSERT_EQ(ERROR_SUCCESS, ReplaceWith(root.Sub("file"), "made", kUnique));
    EXPECT_TRUE(IsLink(root.Sub("file")));
    EXPECT_EQ("made", root.ReadFile("data/new"));
}

TEST(VeskReplacementFile, LinksThatLoopAreRefused) {
    TempFolder root;
    std::filesystem::create_symlink("b", root.Sub("a"));
    std::filesystem::create_symlink("a", root.Sub("b"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANT_RESOLVE_FILENAME), ReplaceWith(root.Sub("a"), "x", kUnique));
    EXPECT_EQ(2u, EntriesIn(root.Path()));
}

TEST(VeskReplacementFile, AFixedNameReplacesAStaleTemporaryFileAndLeavesNone) {
    TempFolder root;
    root.WriteFile("hive", "old");
    root.WriteFile("hive.test-tmp", "left by a writer that was killed");
    ASSERT_EQ(ERROR_SUCCESS, ReplaceWith(root.Sub("hive"), "new", kFixed));
    EXPECT_EQ("new", root.ReadFile("hive"));
    EXPECT_EQ(1u, EntriesIn(root.Path()));

    root.WriteFile("hive.test-tmp", "stale");
    VeskReplacementFile::RemoveStale(root.Sub("hive"), ".test-tmp");
    EXPECT_FALSE(root.Exists("hive.test-tmp"));
}

TEST(VeskReplacementFile, AFileWithHardLinksIsRefusedWhenTheRulesSaySo) {
    TempFolder root;
    root.WriteFile("hive", "old");
    ASSERT_EQ(0, ::link(root.Sub("hive").c_str(), root.Sub("copy").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MW_HARD_LINKS), ReplaceWith(root.Sub("hive"), "new", kFixed));
    EXPECT_EQ("old", root.ReadFile("hive"));
    EXPECT_EQ(2u, EntriesIn(root.Path())) << "no temporary file";

    ASSERT_EQ(ERROR_SUCCESS, ReplaceWith(root.Sub("hive"), "new", kUnique));
    EXPECT_EQ("new", root.ReadFile("hive"));
    EXPECT_EQ("old", root.ReadFile("copy"));
}

TEST(VeskReplacementFile, AFolderOrAPipeIsRefusedWithoutBlocking) {
    TempFolder root;
    root.WriteFile("folder/.keep", "");
    ASSERT_EQ(0, ::mkfifo(root.Sub("pipe").c_str(), 0600));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), ReplaceWith(root.Sub("folder"), "x", kUnique));
    DWORD code = ERROR_SUCCESS;
    EXPECT_TRUE(EndsWithoutBlocking(root.Sub("pipe"), [&] { code = ReplaceWith(root.Sub("pipe"), "x", kFixed); }));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MW_NOT_REGULAR_FILE), code);
    struct stat st;
    ASSERT_EQ(0, ::lstat(root.Sub("pipe").c_str(), &st));
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(2u, EntriesIn(root.Path()));
}

TEST(VeskReplacementFile, NothingIsReplacedWithoutEveryStep) {
    TempFolder root;
    root.WriteFile("f", "old");
    {
        VeskReplacementFile file(root.Sub("f"), kUnique);
        ASSERT_EQ(ERROR_SUCCESS, file.Open());
        ASSERT_EQ(ERROR_SUCCESS, file.Write("new", 3));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), file.Replace()) << "not finished";
    }
    EXPECT_EQ("old", root.ReadFile("f"));
    EXPECT_EQ(1u, EntriesIn(root.Path()));
}

TEST(VeskReplacementFile, ANewFileTakesTheUmaskAndAnOldOneKeepsItsMode) {
    TempFolder root;
    const mode_t previous = ::umask(027);
    const DWORD made = ReplaceWith(root.Sub("new"), "x", kUnique);
    ::umask(previous);
    ASSERT_EQ(ERROR_SUCCESS, made);
    struct stat st;
    ASSERT_EQ(0, ::stat(root.Sub("new").c_str(), &st));
    EXPECT_EQ(0640u, st.st_mode & 07777);

    ASSERT_EQ(0, ::chmod(root.Sub("new").c_str(), 0604));
    ASSERT_EQ(ERROR_SUCCESS, ReplaceWith(root.Sub("new"), "y", kFixed));
    ASSERT_EQ(0, ::stat(root.Sub("new").c_str(), &st));
    EXPECT_EQ(0604u, st.st_mode & 07777);
}

}  // namespace
