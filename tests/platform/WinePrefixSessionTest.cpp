// The Windows session of a Wine prefix: finding it, its version, folders, drives,
// environment and registry.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/WinePrefixSession.h"
#include "registry/CRegistryKey.h"
#include "support/VeskFsPathT.h"
#include "testlib/RunningWineServer.h"
#include "testlib/ScopedEnv.h"
#include "testlib/TempWinePrefix.h"

namespace mailwright {
namespace {

using testing::ScopedEnv;
using testing::ScopedPrefixSession;
using testing::TempWinePrefix;
using testing::WindowsRelease;

struct PrefixCase {
    const char* name;
    WindowsRelease release;
    bool win64;
    DWORD major, minor, build;
    const char* servicePack;
};

class PrefixTable : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(PrefixTable, VersionArchitectureAndFolders) {
    const PrefixCase& c = GetParam();
    TempWinePrefix prefix(c.release, c.win64);
    ScopedPrefixSession scoped(prefix);
    const std::shared_ptr<WindowsSession> current = WindowsSession::Current();
    WindowsSession& session = *current;
    OsVersionInfo info;
    ASSERT_TRUE(session.GetVersionEx(info));
    EXPECT_EQ(c.major, info.majorVersion);
    EXPECT_EQ(c.minor, info.minorVersion);
    EXPECT_EQ(c.build, info.buildNumber);
    EXPECT_EQ(2u, info.platformId);
    EXPECT_EQ(c.servicePack, info.csdVersion);
    EXPECT_EQ(c.win64 ? "win64" : "win32", session.Architecture());
    EXPECT_EQ(prefix.Path(), session.PrefixFolder());

    EXPECT_EQ("C:\\users\\tester\\AppData\\Roaming", GetSpecialFolderPath().Str());
    EXPECT_EQ("C:\\users\\tester\\AppData\\Roaming\\Mailwright", GetApplicationFolder().Str());
    EXPECT_TRUE(std::filesystem::is_directory(prefix.DriveC("users/tester/AppData/Roaming/Mailwright")));
    EXPECT_EQ(prefix.DriveC("users/tester/AppData/Roaming/Mailwright/providers.lst"),
              UnixPathOf("C:\\users\\tester\\AppData\\Roaming\\Mailwright\\providers.lst"));
    EXPECT_EQ(c.win64 ? "C:\\Program Files (x86)" : "C:\\Program Files",
              session.ExpandEnvironmentStrings("%ProgramFiles%"));
}

INSTANTIATE_TEST_SUITE_P(
    Releases, PrefixTable,
    ::testing::Values(PrefixCase{"XP32", WindowsRelease::WinXP, false, 5, 1, 2600, "Service Pack 3"},
                      PrefixCase{"XP64", WindowsRelease::WinXP, true, 5, 2, 3790, "Service Pack 2"},
                      PrefixCase{"Vista32", WindowsRelease::Vista, false, 6, 0, 6002, "Service Pack 2"},
                      PrefixCase{"Vista64", WindowsRelease::Vista, true, 6, 0, 6002, "Service Pack 2"},
                      PrefixCase{"Seven32", WindowsRelease::Win7, false, 6, 1, 7601, "Service Pack 1"},
                      PrefixCase{"Seven64", WindowsRelease::Win7, true, 6, 1, 7601, "Service Pack 1"},
                      PrefixCase{"Ten32", WindowsRelease::Win10, false, 6, 2, 9200, ""},
                      PrefixCase{"Ten64", WindowsRelease::Win10, true, 6, 2, 9200, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WinePrefixSession, WinesVersionSettingComesFirst) {
    TempWinePrefix prefix(WindowsRelease::Win7, true);
    ScopedPrefixSession scoped(prefix);
    struct Case {
        const char* setting;
        DWORD major, minor, build, platform;
    };
    const Case cases[] = {
        {"winxp", 5, 1, 2600, 2}, {"WIN10", 6, 2, 9200, 2}, {"win81", 6, 2, 9200, 2},
        {"vista", 6, 0, 6002, 2}, {"win98", 4, 10, 2222, 1}, {"nonsense", 6, 1, 7601, 2},
    };
    for (const Case& c : cases) {
        CRegistryKey key;
        ASSERT_EQ(ERROR_SUCCESS, key.CreateKey(HKEY_CURRENT_USER, "Software\\Wine", KEY_READ | KEY_WRITE));
        ASSERT_EQ(ERROR_SUCCESS, key.WriteString("Version", c.setting));
        OsVersionInfo info;
        ASSERT_TRUE(scoped.Session().GetVersionEx(info)) << c.setting;
        EXPECT_EQ(c.major, info.majorVersion) << c.setting;
        EXPECT_EQ(c.minor, info.minorVersion) << c.setting;
        EXPECT_EQ(c.build, info.buildNumber) << c.setting;
        EXPECT_EQ(c.platform, info.platformId) << c.setting;
    }
}

TEST(WinePrefixSession, APrefixWithoutVersionKeysHasNoVersion) {
    TempWinePrefix prefix;
    prefix.WriteSystemHive("");
    ScopedPrefixSession scoped(prefix);
    OsVersionInfo info;
    EXPECT_FALSE(scoped.Session().GetVersionEx(info));
}

TEST(WinePrefixSession, EnvironmentOfTheSession) {
    TempWinePrefix prefix(WindowsRelease::Win7, true);
    ScopedPrefixSession scoped(prefix);
    const struct {
        const char* text;
        const char* expanded;
    } cases[] = {
        {"%USERPROFILE%", "C:\\users\\tester"},
        {"%appdata%\\Microsoft", "C:\\users\\tester\\AppData\\Roaming\\Microsoft"},
        {"%LOCALAPPDATA%\\Microsoft\\Windows Live Mail", "C:\\users\\tester\\AppData\\Local\\Microsoft\\Windows Live Mail"},
        {"%TEMP%", "C:\\users\\tester\\Temp"},                 // HKCU\Environment wins over Session Manager
        {"%ComSpec%", "C:\\windows\\system32\\cmd.exe"},       // through the CurrentControlSet link
        {"%SystemRoot%;%OS%", "C:\\windows;Windows_NT"},
        {"%Unknown%\\x", "%Unknown%\\x"},
        {"100% sure", "100% sure"},
        {"%Unknown%USERNAME%", "%Unknowntester"},
        {"%%", "%%"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expanded, scoped.Session().ExpandEnvironmentStrings(c.text)) << c.text;
}

TEST(WinePrefixSession, AppDataFolderComesFromTheRegistryAndMatchesWithoutCase) {
    TempWinePrefix prefix(WindowsRelease::WinXP, false);
    prefix.WriteUserHive(
        "\n[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\User Shell Folders] 1700000000\n"
        "\"AppData\"=str(2):\"%USERPROFILE%\\\\Application Data\"\n");
    std::filesystem::create_directories(prefix.DriveC("USERS/Tester/application data"));
    ScopedPrefixSession scoped(prefix);
    EXPECT_EQ("C:\\users\\tester\\Application Data\\Mailwright", GetApplicationFolder().Str());
    EXPECT_TRUE(std::filesystem::is_directory(prefix.DriveC("USERS/Tester/application data/Mailwright")));
    EXPECT_FALSE(std::filesystem::exists(prefix.DriveC("users")));
}

TEST(WinePrefixSession, DrivesAreTheDosdevices) {
    TempWinePrefix prefix;
    ScopedPrefixSession scoped(prefix);
    const std::string driveC = std::filesystem::canonical(prefix.DriveC()).string();
    EXPECT_EQ(driveC, scoped.Session().DriveRoot('C'));
    EXPECT_EQ("/", scoped.Session().DriveRoot('z'));
    EXPECT_EQ(std::nullopt, scoped.Session().DriveRoot('d'));
    EXPECT_EQ("C:\\windows\\system32", scoped.Session().ToWindowsPath(driveC + "/windows/system32"));
    EXPECT_EQ(driveC + "/windows/system32", scoped.Session().ToUnixPath("c:\\WINDOWS\\System32"));
}

// Each ".." removes one component; names match without regard to case in any script,
// by Unicode's simple case mapping as Wine's (so "SS" does not match "\u00DF").
TEST(WinePrefixSession, PathsMapAsWineMapsThem) {
    TempWinePrefix prefix;
    ScopedPrefixSession scoped(prefix);
    for (const char* folder : {"Za\u017C\u00F3\u0142\u0107", "\u0414\u043E\u043A\u0443\u043C\u0435\u043D\u0442\u044B",
                               "stra\u00DFe"})
        std::filesystem::create_directories(prefix.DriveC(folder));
    const std::string c = std::filesystem::canonical(prefix.DriveC()).string();
    const struct {
        const char* windows;
        std::string unix;
    } cases[] = {
        {"C:\\windows\\..\\users", c + "/users"},
        {"C:\\..\\..\\windows", c + "/windows"},
        {"..\\..\\x", "../../x"},
        {"a\\..\\..\\x", "../x"},
        {"a\\b\\..\\..\\x", "x"},
        {"C:\\ZA\u017B\u00D3\u0141\u0106\\new.txt", c + "/Za\u017C\u00F3\u0142\u0107/new.txt"},
        {"C:\\\u0434\u043E\u043A\u0443\u043C\u0435\u043D\u0442\u044B", c + "/\u0414\u043E\u043A\u0443\u043C\u0435\u043D\u0442\u044B"},
        {"C:\\STRASSE", c + "/STRASSE"},
        {"C:\\STRA\u00DFE", c + "/stra\u00DFe"},
    };
    for (const auto& k : cases) EXPECT_EQ(k.unix, scoped.Session().ToUnixPath(k.windows)) << k.windows;
}

TEST(WinePrefixSession, FindsThePrefixAsWineDoes) {
    TempWinePrefix prefix;
    testing::TempFolder home;
    {
        ScopedEnv wine("WINEPREFIX", prefix.Path().c_str());
        EXPECT_EQ(prefix.Path(), WinePrefixSession::FindPrefix());
    }
    {
        ScopedEnv wine("WINEPREFIX", "relative/prefix");
        EXPECT_EQ(std::nullopt, WinePrefixSession::FindPrefix());
    }
    ScopedEnv wine("WINEPREFIX", nullptr);
    ScopedEnv homeVariable("HOME", home.Path().c_str());
    ScopedEnv config("XDG_CONFIG_HOME", nullptr);
    ScopedEnv data("XDG_DATA_HOME", nullptr);
    std::filesystem::create_directories(home.Sub(".wine"));
    EXPECT_EQ(std::nullopt, WinePrefixSession::FindPrefix());  // a folder without a registry
    home.WriteFile(".wine/system.reg", "WINE REGISTRY Version 2\n");
    EXPECT_EQ(std::nullopt, WinePrefixSession::FindPrefix());  // half a registry
    home.WriteFile(".wine/user.reg", "WINE REGISTRY Version 2\n");
    EXPECT_EQ(home.Sub(".wine"), WinePrefixSession::FindPrefix());
    // Without $WINEPREFIX the only prefix found serves, wherever its launcher keeps it.
    std::filesystem::rename(home.Sub(".wine"), home.Sub("bottle"));
    std::filesystem::create_directories(home.Sub(".local/share/bottles/bottles"));
    std::filesystem::rename(home.Sub("bottle"), home.Sub(".local/share/bottles/bottles/Office"));
    EXPECT_EQ(home.Sub(".local/share/bottles/bottles/Office"), WinePrefixSession::FindPrefix());
}

TEST(WinePrefixSession, FromEnvironmentMakesTheSessionOfThePrefixFound) {
    TempWinePrefix prefix;
    ScopedEnv wine("WINEPREFIX", prefix.Path().c_str());
    EXPECT_EQ(prefix.Path(), WinePrefixSession::FromEnvironment()->PrefixFolder());
    ScopedEnv none("WINEPREFIX", "/nonexistent/prefix");
    EXPECT_EQ("", WinePrefixSession::FromEnvironment()->PrefixFolder());
}

TEST(WinePrefixSession, KnowsWhetherWineRunsThePrefix) {
    TempWinePrefix prefix;
    ScopedPrefixSession scoped(prefix);
    EXPECT_FALSE(scoped.Session().IsWineRunning());
    {
        testing::RunningWineServer server(prefix.Path());
        EXPECT_TRUE(scoped.Session().IsWineRunning());
        CRegistryKey key;
        EXPECT_EQ(ERROR_SHARING_VIOLATION, key.CreateKey(HKEY_CURRENT_USER, "Software\\X", KEY_READ | KEY_WRITE));
    }
    EXPECT_FALSE(scoped.Session().IsWineRunning());
}

TEST(WinePrefixSession, TheKeyLayerWritesThePrefixsRegistry) {
    TempWinePrefix prefix;
    ScopedPrefixSession scoped(prefix);
    CRegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS, key.CreateKey(HKEY_CURRENT_USER, "Software\\Brightfold", KEY_READ | KEY_WRITE));
    ASSERT_EQ(ERROR_SUCCESS, key.WriteString("Name", "Mailwright"));
    EXPECT_NE(std::string::npos,
              prefix.Folder().ReadFile("user.reg").find("\n[Software\\\\Brightfold] "));
    ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_CLASSES_ROOT, ".eml", KEY_READ | KEY_WOW64_64KEY));
    std::string text;
    EXPECT_EQ(ERROR_SUCCESS, key.ReadString(nullptr, text, 64));
    EXPECT_EQ("Mail.File", text);
}

}  // namespace
}  // namespace mailwright
