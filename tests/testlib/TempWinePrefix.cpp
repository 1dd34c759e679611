#include "testlib/TempWinePrefix.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/WinePrefixSession.h"
#include "support/TextUtil.h"

namespace mailwright::testing {
namespace {

std::string LinkData(const std::string& target) {
    std::string data;
    for (char c : target) {
        if (!data.empty()) data += ",";
        data += Format("%02x,00", static_cast<unsigned char>(c));
    }
    return data;
}

std::string Key(const std::string& path, const std::string& lines) {
    return "\n[" + path + "] 1700000000\n#time=1da0a5f0e0b3c00\n" + lines;
}

std::string LinkKey(const std::string& path, const std::string& target) {
    return Key(path, "#link\n\"SymbolicLinkValue\"=hex(6):" + LinkData(target) + "\n");
}

std::string VersionLines(WindowsRelease release, bool win64) {
    switch (release) {
        case WindowsRelease::WinXP:
            return win64 ? "\"CSDVersion\"=\"Service Pack 2\"\n\"CurrentBuildNumber\"=\"3790\"\n"
                           "\"CurrentVersion\"=\"5.2\"\n\"ProductName\"=\"Microsoft Windows XP\"\n"
                         : "\"CSDVersion\"=\"Service Pack 3\"\n\"CurrentBuildNumber\"=\"2600\"\n"
                           "\"CurrentVersion\"=\"5.1\"\n\"ProductName\"=\"Microsoft Windows XP\"\n";
        case WindowsRelease::Vista:
            return "\"CSDVersion\"=\"Service Pack 2\"\n\"CurrentBuildNumber\"=\"6002\"\n"
                   "\"CurrentVersion\"=\"6.0\"\n\"ProductName\"=\"Windows Vista\"\n";
        case WindowsRelease::Win7:
            return "\"CSDVersion\"=\"Service Pack 1\"\n\"CurrentBuildNumber\"=\"7601\"\n"
                   "\"CurrentVersion\"=\"6.1\"\n\"ProductName\"=\"Windows 7\"\n";
        case WindowsRelease::Win10:
            return "\"CurrentBuildNumber\"=\"19043\"\n\"CurrentMajorVersionNumber\"=dword:0000000a\n"
                   "\"CurrentMinorVersionNumber\"=dword:00000000\n\"CurrentVersion\"=\"6.3\"\n"
                   "\"ProductName\"=\"Windows 10 Pro\"\n";
    }
    return {};
}

std::string Header(const std::string& branch, bool win64) {
    return "WINE REGISTRY Version 2\n;; All keys relative to " + branch + "\n\n#arch=" + (win64 ? "win64" : "win32") +
           "\n";
}

}  // namespace

std::string TempWinePrefix::UserKeys() {
    return Key("Environment", "\"TEMP\"=str(2):\"%USERPROFILE%\\\\Temp\"\n\"TMP\"=str(2):\"%USERPROFILE%\\\\Temp\"\n") +
           Key("Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Explorer\\\\User Shell Folders",
               "\"AppData\"=str(2):\"%USERPROFILE%\\\\AppData\\\\Roaming\"\n"
               "\"Local AppData\"=str(2):\"%USERPROFILE%\\\\AppData\\\\Local\"\n"
               "\"Personal\"=str(2):\"%USERPROFILE%\\\\Documents\"\n");
}

std::string TempWinePrefix::SystemKeys(WindowsRelease release, bool win64) {
    std::string keys = Key("Software\\\\Classes\\\\.eml", "@=\"Mail.File\"\n");
    if (win64) keys += Key("Software\\\\Classes\\\\Wow6432Node\\\\CLSID", "");
    keys += Key("Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion", VersionLines(release, win64));
    if (win64) {
        keys += LinkKey("Software\\\\Wow6432Node\\\\Classes", "\\Registry\\Machine\\Software\\Classes\\Wow6432Node");
        keys += Key("Software\\\\Wow6432Node\\\\Microsoft\\\\Windows NT\\\\CurrentVersion", VersionLines(release, win64));
    }
    keys += Key("System\\\\ControlSet001\\\\Control\\\\Session Manager\\\\Environment",
                "\"ComSpec\"=str(2):\"%SystemRoot%\\\\system32\\\\cmd.exe\"\n\"OS\"=\"Windows_NT\"\n"
                "\"TEMP\"=str(2):\"%SystemRoot%\\\\TEMP\"\n\"winsysdir\"=str(2):\"%SystemRoot%\\\\system32\"\n");
    keys += LinkKey("System\\\\CurrentControlSet", "\\Registry\\Machine\\System\\ControlSet001");
    return keys;
}

TempWinePrefix::TempWinePrefix(WindowsRelease release, bool win64) : m_win64(win64) {
    std::filesystem::create_directories(m_folder.Sub("drive_c/windows/system32"));
    std::filesystem::create_directories(m_folder.Sub("dosdevices"));
    std::filesystem::create_directory_symlink("../drive_c", m_folder.Sub("dosdevices/c:"));
    std::filesystem::create_directory_symlink("/", m_folder.Sub("dosdevices/z:"));
    WriteUserHive(UserKeys());
    WriteSystemHive(SystemKeys(release, win64));
}

std::string TempWinePrefix::DriveC(const std::string& relative) const {
    return relative.empty() ? m_folder.Sub("drive_c") : m_folder.Sub("drive_c/" + relative);
}

void TempWinePrefix::WriteUserHive(const std::string& keys) const {
    m_folder.WriteFile("user.reg", Header("REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000", m_win64) + keys);
}

void TempWinePrefix::WriteSystemHive(const std::string& keys) const {
    m_folder.WriteFile("system.reg", Header("REGISTRY\\\\Machine", m_win64) + keys);
}

ScopedPrefixSession::ScopedPrefixSession(const TempWinePrefix& prefix, const std::string& user) {
    if (const char* old = std::getenv("USER")) {
        m_hadUser = true;
        m_oldUser = old;
    }
    ::setenv("USER", user.c_str(), 1);
    m_session = std::make_shared<WinePrefixSession>(prefix.Path());
    m_previous = WindowsSession::SetCurrent(m_session);
}

ScopedPrefixSession::~ScopedPrefixSession() {
    WindowsSession::SetCurrent(m_previous);
    if (m_hadUser) ::setenv("USER", m_oldUser.c_str(), 1);
    else ::unsetenv("USER");
}

}  // namespace mailwright::testing
