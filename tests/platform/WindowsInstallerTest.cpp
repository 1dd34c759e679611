#include <gtest/gtest.h>

#include "platform/WindowsInstaller.h"
#include "registry/CRegistryKey.h"
#include "testlib/MachineFixture.h"
#include "testlib/MemorySession.h"

namespace mailwright {
namespace {

using namespace testing;

TEST(WindowsInstaller, PacksGuidsAsTheInstallerStoresThem) {
    EXPECT_EQ(PackGuid("{73B656BB-3F5A-4CA3-86E7-BAE4277E7B80}"), "BB656B37A5F33AC4687EAB4E72E7B708");
    EXPECT_EQ(PackGuid("{00000000-0000-0000-0000-000000000001}"), "00000000000000000000000000000010");
    for (const char* bad : {"", "73B656BB-3F5A-4CA3-86E7-BAE4277E7B80", "{73B656BB-3F5A-4CA3-86E7-BAE4277E7B8}",
                            "{73B656BB+3F5A-4CA3-86E7-BAE4277E7B80}", "{73B656BG-3F5A-4CA3-86E7-BAE4277E7B80}"})
        EXPECT_EQ(PackGuid(bad), "") << bad;
}

class MsiLocateComponentTest : public ::testing::Test {
protected:
    int Locate(std::string& path, DWORD capacity = 1023) {
        path = "poison";
        m_capacity = capacity;
        return MsiLocateComponent(kLiveMailComponentCode, path, m_capacity);
    }
    void Register(const std::string& keyPath, const char* sid = "S-1-5-21-0-0-0-1000") {
        RegisterComponent(m_session.Store(), kLiveMailComponentCode, kLiveMailProductCode, keyPath, sid);
    }

    ScopedMemorySession m_session{WindowsVersion(6, 1)};
    TempFolder m_files;
    DWORD m_capacity = 0;
};

TEST_F(MsiLocateComponentTest, UnregisteredComponentIsUnknown) {
    std::string path;
    EXPECT_EQ(Locate(path), INSTALLSTATE_UNKNOWN);
    EXPECT_EQ(path, "poison");
    // A component key without any product is not registered either.
    CRegistryKey key(m_session.Store());
    ASSERT_EQ(ERROR_SUCCESS, key.CreateKey(HKEY_LOCAL_MACHINE,
                                           "Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\"
                                           "S-1-5-21-0-0-0-1000\\Components\\BB656B37A5F33AC4687EAB4E72E7B708",
                                           KEY_READ | KEY_WRITE | KEY_WOW64_64KEY));
    ASSERT_EQ(ERROR_SUCCESS, key.WriteString("not a product", "C:\\x.exe"));
    EXPECT_EQ(Locate(path), INSTALLSTATE_UNKNOWN);
}

TEST_F(MsiLocateComponentTest, KeyPathThatExistsIsLocalAndMissingIsAbsent) {
    m_files.WriteFile("wlmail.exe", "MZ");
    const std::string exe = ZPath(m_files.Sub("wlmail.exe"));
    Register(exe);
    std::string path;
    EXPECT_EQ(Locate(path), INSTALLSTATE_LOCAL);
    EXPECT_EQ(path, exe);
    EXPECT_EQ(m_capacity, exe.size());

    Register(ZPath(m_files.Sub("gone.exe")));
    EXPECT_EQ(Locate(path), INSTALLSTATE_ABSENT);
    EXPECT_EQ(path, ZPath(m_files.Sub("gone.exe")));
}

TEST_F(MsiLocateComponentTest, PerMachineRegistrationFolderAndRegistryKeyPaths) {
    Register(ZPath(m_files.Path()) + "\\", "S-1-5-18");
    std::string path;
    EXPECT_EQ(Locate(path), INSTALLSTATE_LOCAL);
    Register("01:\\Software\\Microsoft\\Windows Live Mail\\", "S-1-5-18");
    EXPECT_EQ(Locate(path), INSTALLSTATE_LOCAL);
    Register("", "S-1-5-18");
    EXPECT_EQ(Locate(path), INSTALLSTATE_NOTUSED);
}

TEST_F(MsiLocateComponentTest, PathThatDoesNotFitTheBuffer) {
    const std::string keyPath = "C:\\Program Files\\Windows Live\\Mail\\wlmail.exe";
    Register(keyPath);
    std::string path;
    EXPECT_EQ(Locate(path, keyPath.size()), INSTALLSTATE_MOREDATA);  // no room for the NUL
    EXPECT_EQ(path, "poison");
    EXPECT_EQ(m_capacity, keyPath.size());
}

}  // namespace
}  // namespace mailwright
