#include <gtest/gtest.h>

#include "support/VeskFsPathT.h"
#include "testlib/TempFolder.h"

using namespace mailwright;
using namespace mailwright::testing;

TEST(VeskFsPath, GetFileNameTakesTheLastComponent) {
    const struct {
        const char* path;
        const char* expected;
    } cases[] = {
        {"a/b\\c/d", "c/d"},  // a backslash anywhere wins over a later slash
        {"name", "name"},
        {"dir\\", ""},
        {"", ""},
        {"C:/data/file.txt", "file.txt"},
        {"C:\\x\\y.prf", "y.prf"},
    };
    for (const auto& c : cases) EXPECT_EQ(VeskFsPath(c.path).GetFileName().Str(), c.expected) << c.path;
}

TEST(VeskFsPath, CombineAndAppendInsertOneBackslash) {
    EXPECT_EQ(VeskFsPath("").Combine("x").Str(), "x");
    EXPECT_EQ(VeskFsPath("C:\\data\\").Combine("x").Str(), "C:\\data\\x");
    EXPECT_EQ(VeskFsPath("C:/data").Combine("x").Str(), "C:/data\\x");
    EXPECT_EQ(VeskFsPath("C:/data/").Combine("x").Str(), "C:/data/x");
    EXPECT_EQ(VeskFsPath("C:\\data").Combine(static_cast<const char*>(nullptr)).Str(), "C:\\data\\");

    VeskFsPath path("C:\\data");
    path.Append("");
    EXPECT_EQ(path.Str(), "C:\\data\\");
}

TEST(VeskFsPath, RemoveTrailingBackslashRemovesOnlyOne) {
    VeskFsPath twice("C:\\a\\\\");
    twice.RemoveTrailingBackslash();
    EXPECT_EQ(twice.Str(), "C:\\a\\");
    VeskFsPath slash("C:\\a/");
    slash.RemoveTrailingBackslash();
    EXPECT_EQ(slash.Str(), "C:\\a/");
}

TEST(VeskFsPath, DirectoryExistsOnlyForFolders) {
    ScopedPrefixlessSession session;
    session.Data().WriteFile("file.txt", "x");
    EXPECT_TRUE(VeskFsPath(ZPath(session.Data().Path())).DirectoryExists());
    EXPECT_FALSE(VeskFsPath(ZPath(session.Data().Sub("file.txt"))).DirectoryExists());
    EXPECT_FALSE(VeskFsPath(ZPath(session.Data().Sub("missing"))).DirectoryExists());
    EXPECT_TRUE(VeskFsPath("Z:\\").DirectoryExists());
    EXPECT_TRUE(VeskFsPath("Z:").DirectoryExists());
    EXPECT_FALSE(VeskFsPath("C:\\").DirectoryExists()) << "no prefix: only drive Z: exists";
}

TEST(VeskFsPath, CreateDirectoryTreeCreatesEveryMissingFolder) {
    ScopedPrefixlessSession session;
    const VeskFsPath deep(ZPath(session.Data().Sub("a/b/c")));
    EXPECT_TRUE(deep.CreateDirectoryTree());
    EXPECT_TRUE(session.Data().Exists("a/b/c"));
    EXPECT_TRUE(deep.CreateDirectoryTree()) << "existing folders are fine";
    EXPECT_TRUE(VeskFsPath("Z:").CreateDirectoryTree()) << "a drive alone is only tested";
    EXPECT_FALSE(VeskFsPath("Q:\\a\\b").CreateDirectoryTree());
    EXPECT_FALSE(VeskFsPath("\\\\server\\share\\dir").CreateDirectoryTree());
}

TEST(VeskFsPath, CreateDirectoryTreeFailsUnderAFile) {
    ScopedPrefixlessSession session;
    session.Data().WriteFile("file", "x");
    EXPECT_FALSE(VeskFsPath(ZPath(session.Data().Sub("file/sub"))).CreateDirectoryTree());
}

TEST(VeskFsPath, PathComponentsMatchWithoutRegardToCase) {
    ScopedPrefixlessSession session;
    session.Data().WriteFile("Folder/Providers.LST", "x");
    const std::string windows = ZPath(session.Data().Path()) + "\\FOLDER\\providers.lst";
    EXPECT_TRUE(PathExists(VeskFsPath(windows)));
    EXPECT_EQ(*UnixPathOf(windows), session.Data().Sub("Folder/Providers.LST"));
    EXPECT_EQ(*UnixPathOf(ZPath(session.Data().Path()) + "\\folder\\new.txt"), session.Data().Sub("Folder/new.txt"));
}

TEST(ApplicationFolder, IsCreatedInTheDataFolder) {
    ScopedPrefixlessSession session;
    const VeskFsPath folder = GetApplicationFolder();
    EXPECT_EQ(folder.Str(), ZPath(session.AppFolderUnix()));
    EXPECT_TRUE(session.Data().Exists("Mailwright"));
    EXPECT_EQ(folder.Combine("providers.lst").Str(), ZPath(session.AppFolderUnix()) + "\\providers.lst");
}

TEST(ApplicationFolder, IsEmptyWhenItCannotBeMade) {
    ScopedPrefixlessSession session;
    session.Data().WriteFile("Mailwright", "a file in the way");
    EXPECT_TRUE(GetApplicationFolder().IsEmpty());
    EXPECT_EQ(GetApplicationFolder().Combine("providers.lst").Str(), "providers.lst");
}
