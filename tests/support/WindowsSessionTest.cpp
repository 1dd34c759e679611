// The session without a Wine prefix (no registry, no Windows version), and the current
// session's lifetime.
#include <gtest/gtest.h>

#include <memory>

#include "registry/CRegistryKey.h"
#include "support/WindowsSession.h"
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
    EXPECT_FALSE(WindowsSession::Current()->GetVersionEx(info));
    EXPECT_EQ("", WindowsSession::Current()->PrefixFolder());
    EXPECT_FALSE(WindowsSession::Current()->IsWineRunning());
    EXPECT_EQ("%APPDATA%\\x", WindowsSession::Current()->ExpandEnvironmentStrings("%APPDATA%\\x"));
}

TEST(PrefixlessSession, IsTheCurrentSessionUntilAnotherIsSet) {
    const std::shared_ptr<WindowsSession> outer = WindowsSession::SetCurrent(nullptr);
    EXPECT_NE(nullptr, WindowsSession::Current());
    EXPECT_EQ("", WindowsSession::Current()->PrefixFolder());
    EXPECT_EQ(nullptr, WindowsSession::Current()->Registry());
    WindowsSession::SetCurrent(outer);
}

// A session that records its end.
class WatchedSession : public WindowsSession {
public:
    explicit WatchedSession(bool& ended) : m_ended(ended) {}
    ~WatchedSession() override { m_ended = true; }

private:
    bool& m_ended;
};

TEST(CurrentSession, ASessionInUseLivesOnWhenAnotherIsSet) {
    bool ended = false;
    const std::shared_ptr<WindowsSession> outer = WindowsSession::SetCurrent(std::make_shared<WatchedSession>(ended));
    {
        // What a caller holds while it works with the session, on this thread or another.
        decltype(auto) inUse = WindowsSession::Current();
        WindowsSession::SetCurrent(std::make_shared<WindowsSession>());
        EXPECT_FALSE(ended);
    }
    EXPECT_TRUE(ended);
    WindowsSession::SetCurrent(outer);
}

}  // namespace
}  // namespace mailwright
