// The session without a Wine prefix: no registry, no Windows version.
#include <gtest/gtest.h>

#include "platform/WindowsSession.h"
#include "registry/CRegistryKey.h"
#include "testlib/TempFolder.h"

namespace mailwright {
namespace {

TEST(PrefixlessSession, RegistryFindsNothingAndTakesNothing) {
    testing::ScopedPrefixlessSession session;
    CRegistryKey key;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.OpenKey(HKEY_CURRENT_USER, "Software", KEY_READ));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.OpenKey(HKEY_LOCAL_MACHINE, "", KEY_READ));
    EXPECT_EQ(ERROR_ACCESS_DENIED, key.CreateKey(HKEY_CURRENT_USER, "Software\\Brightfold", KEY_READ | KEY_WRITE));
    EXPECT_FALSE(key.IsOpen());
}

TEST(PrefixlessSession, HasNoWindowsVersionAndNoPrefix) {
    testing::ScopedPrefixlessSession session;
    OsVersionInfo info;
    EXPECT_FALSE(WindowsSession::Current().GetVersionEx(info));
    EXPECT_EQ("", WindowsSession::Current().PrefixFolder());
    EXPECT_FALSE(WindowsSession::Current().IsWineRunning());
    EXPECT_EQ("%APPDATA%\\x", WindowsSession::Current().ExpandEnvironmentStrings("%APPDATA%\\x"));
}

}  // namespace
}  // namespace mailwright
