#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "support/VeskFileWrite.h"
#include "testlib/ScopedUnprivilegedFiles.h"
#include "testlib/TempFolder.h"

using namespace mailwright;
using namespace mailwright::testing;

TEST(VeskFileWrite, ReplacesTheFileWholeOnClose) {
    ScopedPrefixlessSession session;
    session.Data().WriteFile("target.bin", "old content");
    {
        VeskFileWrite file(ZPath(session.Data().Sub("target.bin")), FILE_SHARE_READ);
        ASSERT_TRUE(file.IsOpen());
        ASSERT_TRUE(file.Write("new", 3));
        EXPECT_EQ(session.Data().ReadFile("target.bin"), "old content") << "nothing changes before Close";
        EXPECT_TRUE(file.Close());
    }
    EXPECT_EQ(session.Data().ReadFile("target.bin"), "new");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(session.Data().Path()),
                            std::filesystem::directory_iterator()),
              1)
        << "no temporary file is left behind";
}

// A writer abandoned after opening (an exception, an early return) must not replace the
// target with what it has so far.
TEST(VeskFileWrite, WithoutCloseTheTargetStaysAndNoTemporaryFileIsLeft) {
    for (const bool existed : {true, false}) {
        ScopedPrefixlessSession session;
        if (existed) session.Data().WriteFile("f", "old");
        {
            VeskFileWrite file(ZPath(session.Data().Sub("f")), FILE_SHARE_READ);
            ASSERT_TRUE(file.IsOpen());
            ASSERT_TRUE(file.Write("partial", 7));
        }
        EXPECT_EQ(session.Data().Exists("f"), existed);
        if (existed) {
            EXPECT_EQ(session.Data().ReadFile("f"), "old");
        }
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(session.Data().Path()),
                                std::filesystem::directory_iterator()),
                  existed ? 1 : 0);
    }
}

TEST(VeskFileWrite, KeepsTheModeOfAnExistingFile) {
    ScopedPrefixlessSession session;
    session.Data().WriteFile("f", "x");
    ::chmod(session.Data().Sub("f").c_str(), 0640);
    VeskFileWrite file(ZPath(session.Data().Sub("f")), FILE_SHARE_READ);
    file.Write("y", 1);
    ASSERT_TRUE(file.Close());
    struct stat st;
    ASSERT_EQ(::stat(session.Data().Sub("f").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(VeskFileWrite, FailsInAMissingOrReadOnlyFolder) {
    ScopedPrefixlessSession session;
    VeskFileWrite missing(ZPath(session.Data().Sub("nofolder/f")), FILE_SHARE_READ);
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_FALSE(missing.Write("x", 1));
    EXPECT_FALSE(missing.Close());

    session.Data().WriteFile("ro/keep", "old");
    ::chmod(session.Data().Sub("ro").c_str(), 0555);
    ScopedUnprivilegedFiles::GiveAway(session.Data().Path());
    {
        ScopedUnprivilegedFiles unprivileged;
        ASSERT_EQ(session.Data().ReadFile("ro/keep"), "old") << "the test folder is out of the user's reach";
        VeskFileWrite readOnly(ZPath(session.Data().Sub("ro/keep")), FILE_SHARE_READ);
        EXPECT_FALSE(readOnly.IsOpen());
        EXPECT_FALSE(readOnly.Write("new", 3));
        EXPECT_FALSE(readOnly.Close());
    }
    EXPECT_EQ(session.Data().ReadFile("ro/keep"), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(session.Data().Sub("ro")),
                            std::filesystem::directory_iterator()),
              1);
}

// A file size limit makes the system write only part of the bytes and then fail,
// as a full disk does.
TEST(VeskFileWrite, AShortWriteFailsAndKeepsTheOldFile) {
    ScopedPrefixlessSession session;
    session.Data().WriteFile("f", "old");
    VeskFileWrite file(ZPath(session.Data().Sub("f")), FILE_SHARE_WRITE);
    ASSERT_TRUE(file.IsOpen());

    struct rlimit old;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = file.Write("0123456789", 10);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_FALSE(file.Close());
    EXPECT_EQ(session.Data().ReadFile("f"), "old");
}
