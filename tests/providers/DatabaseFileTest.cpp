// providers.lst as a file: something that is not a regular file in its place is neither
// read nor replaced, and never blocks.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "providers/CProviderDatabase.h"
#include "support/LastError.h"
#include "support/VeskFileWrite.h"
#include "testlib/FifoWatch.h"
#include "testlib/TempFolder.h"

using namespace mailwright;
using namespace mailwright::testing;

TEST(DatabaseFile, APipeInItsPlaceIsRefusedWithoutBlocking) {
    ScopedPrefixlessSession session;
    session.Data().WriteFile("Mailwright/.keep", "");
    const std::string pipe = session.AppFolderUnix() + "/providers.lst";
    ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0600));
    bool loaded = true, replaced = true;
    DWORD readError = 0, writeError = 0;
    ASSERT_TRUE(EndsWithoutBlocking(pipe, [&] {
        CProviderDatabase database;
        loaded = database.Load();
        readError = GetLastError();
        // Start-up finds a file there and leaves it; a download would write it.
        CProviderDatabase::EnsureDatabaseFile();
        VeskFileWrite file(CProviderDatabase::GetDatabasePath().Str(), FILE_SHARE_WRITE);
        replaced = file.IsOpen();
        writeError = GetLastError();
    }));
    EXPECT_FALSE(loaded);
    EXPECT_EQ(static_cast<DWORD>(ERROR_MW_NOT_REGULAR_FILE), readError);
    EXPECT_FALSE(replaced);
    EXPECT_EQ(static_cast<DWORD>(ERROR_MW_NOT_REGULAR_FILE), writeError);
    struct stat st;
    ASSERT_EQ(0, ::lstat(pipe.c_str(), &st));
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}
