#include "platform/WinePrefixSession.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/WinePrefixChoice.h"
#include "registry/CRegistryKey.h"
#include "registry/WineHiveStore.h"
#include "registry/WineServer.h"
#include "support/AnsiCodePage.h"
#include "support/TextUtil.h"

namespace mailwright {
namespace {

using VariableList = std::vector<std::pair<std::string, std::string>>;

constexpr DWORD kPlatformWin9x = 1;
constexpr DWORD kPlatformNt = 2;

// The versions that Wine's "Version" setting names (Wine 8's table).
struct NamedVersion {
    const char* name;
    DWORD major, minor, build, platform;
    const char* servicePack;
};
constexpr NamedVersion kNamedVersions[] = {
    {"win11", 10, 0, 22000, kPlatformNt, ""},
    {"win10", 10, 0, 19043, kPlatformNt, ""},
    {"win81", 6, 3, 9600, kPlatformNt, ""},
    {"win8", 6, 2, 9200, kPlatformNt, ""},
    {"win2008r2", 6, 1, 7601, kPlatformNt, "Service Pack 1"},
    {"win7", 6, 1, 7601, kPlatformNt, "Service Pack 1"},
    {"win2008", 6, 0, 6002, kPlatformNt, "Service Pack 2"},
    {"vista", 6, 0, 6002, kPlatformNt, "Service Pack 2"},
    {"win2003", 5, 2, 3790, kPlatformNt, "Service Pack 2"},
    {"winxp64", 5, 2, 3790, kPlatformNt, "Service Pack 2"},
    {"winxp", 5, 1, 2600, kPlatformNt, "Service Pack 3"},
    {"win2k", 5, 0, 2195, kPlatformNt, "Service Pack 4"},
    {"nt40", 4, 0, 1381, kPlatformNt, "Service Pack 6a"},
    {"nt351", 3, 51, 1057, kPlatformNt, "Service Pack 5"},
    {"winme", 4, 90, 3000, kPlatformWin9x, " "},
    {"win98", 4, 10, 2222, kPlatformWin9x, " A "},
    {"win95", 4, 0, 950, kPlatformWin9x, ""},
};

bool IsFolder(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<std::string> Lookup(const VariableList& environment, const std::string& name) {
    for (const auto& [key, value] : environment)
        if (EqualsNoCase(key, name)) return value;
    return std::nullopt;
}

void Set(VariableList& environment, const std::string& name, const std::string& value) {
    for (auto& [key, old] : environment) {
        if (EqualsNoCase(key, name)) {
            old = value;
            return;
        }
    }
    environment.emplace_back(name, value);
}

std::string StringOf(const std::vector<std::uint8_t>& data) {
    std::u16string text(data.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    const size_t nul = text.find(u'\0');
    if (nul != std::u16string::npos) text.resize(nul);
    return Utf16ToUtf8(text);
}

RegistryKeyPath PathOf(RegistryRoot root, std::initializer_list<const char16_t*> components) {
    RegistryKeyPath path{root, {}, true};
    for (const char16_t* component : components) path.components.emplace_back(component);
    return path;
}

// Makes every missing folder of a Unix path.
bool MakeFolders(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    return IsFolder(path);
}

}  // namespace

WinePrefixSession::WinePrefixSession(std::string prefixFolder)
    : m_prefix(std::move(prefixFolder)), m_registry(std::make_shared<WineHiveStore>(m_prefix)) {}

std::optional<std::string> WinePrefixSession::FindPrefix() {
    bool named = false;
    std::optional<std::string> prefix = WinePrefixChoice::PrefixFromEnvironment(named);
    if (named) return prefix;  // Wine itself would refuse a prefix that is not a folder
    const WinePrefixChoice choice = WinePrefixChoice::FromEnvironment();
    return choice.ResolveLikeWine(choice.FindAll());
}

std::shared_ptr<WindowsSession> WinePrefixSession::FromEnvironment() {
    if (std::optional<std::string> prefix = FindPrefix()) return std::make_shared<WinePrefixSession>(*prefix);
    return std::make_shared<WindowsSession>();
}

std::optional<std::string> WinePrefixSession::DriveRoot(char letter) const {
    if (!std::isalpha(static_cast<unsigned char>(letter))) return std::nullopt;
    const std::string device = m_prefix + "/dosdevices/" + static_cast<char>(std::tolower(letter)) + ":";
    char resolved[PATH_MAX];
    if (!::realpath(device.c_str(), resolved) || !IsFolder(resolved)) return std::nullopt;
    return std::string(resolved);
}

std::shared_ptr<RegistryStore> WinePrefixSession::Registry() const { return m_registry; }

std::string WinePrefixSession::Architecture() const { return m_registry->Architecture(); }

bool WinePrefixSession::IsWineRunning() const { return IsWineServerRunning(m_prefix); }

bool WinePrefixSession::IsPrefixFolder(const std::string& folder) const { return IsSameFolder(folder, m_prefix); }

bool WinePrefixSession::IsSameFolder(const std::string& first, const std::string& second) {
    const auto trimmed = [](std::string path) {
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        return path;
    };
    if (first.empty() || second.empty()) return false;
    if (trimmed(first) == trimmed(second)) return true;
    struct stat a, b;
    return ::stat(first.c_str(), &a) == 0 && ::stat(second.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

std::string WinePrefixSession::UserName() const {
    if (const char* user = std::getenv("USER"); user && *user) return user;
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_name) return pw->pw_name;
    return "user";
}

std::string WinePrefixSession::ShellFolder(const char* valueName, const char* fallback,
                                           const VariableList& environment) const {
    const auto lookup = [&](const std::string& name) { return Lookup(environment, name); };
    CRegistryKey key(m_registry);
    std::string folder;
    if (key.OpenKey(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                    KEY_READ) != ERROR_SUCCESS ||
        key.ReadString(valueName, folder, 4096) != ERROR_SUCCESS || folder.empty())
        folder = fallback;
    return ExpandVariables(folder, lookup);
}

std::vector<std::pair<std::string, std::string>> WinePrefixSession::Environment() const {
    VariableList environment;
    const bool win64 = Architecture() == "win64";
    const std::string user = UserName();
    const char* programFiles = win64 ? "C:\\Program Files (x86)" : "C:\\Program Files";
    for (const auto& [name, value] : std::initializer_list<std::pair<std::string, std::string>>{
             {"ALLUSERSPROFILE", "C:\\ProgramData"},
             {"ProgramData", "C:\\ProgramData"},
             {"PUBLIC", "C:\\users\\Public"},
             {"SystemDrive", "C:"},
             {"SystemRoot", "C:\\windows"},
             {"windir", "C:\\windows"},
             {"ProgramFiles", programFiles},
             {"CommonProgramFiles", std::string(programFiles) + "\\Common Files"},
             {"USERNAME", user},
             {"USERPROFILE", "C:\\users\\" + user},
             {"HOMEDRIVE", "C:"},
             {"HOMEPATH", "\\users\\" + user},
         })
        Set(environment, name, value);
    if (win64) {
        Set(environment, "ProgramW6432", "C:\\Program Files");
        Set(environment, "CommonProgramW6432", "C:\\Program Files\\Common Files");
        Set(environment, "ProgramFiles(x86)", "C:\\Program Files (x86)");
        Set(environment, "CommonProgramFiles(x86)", "C:\\Program Files (x86)\\Common Files");
    }
    const auto addKey = [&](const RegistryKeyPath& path) {
        std::u16string name;
        DWORD type = 0;
        std::vector<std::uint8_t> data;
        for (DWORD index = 0; m_registry->EnumValue(path, index, name, type, data) == ERROR_SUCCESS; ++index) {
            if (type != REG_SZ && type != REG_EXPAND_SZ) continue;
            std::string value = StringOf(data);
            if (type == REG_EXPAND_SZ)
                value = ExpandVariables(value, [&](const std::string& n) { return Lookup(environment, n); });
            Set(environment, Utf16ToUtf8(name), value);
        }
    };
    addKey(PathOf(RegistryRoot::LocalMachine,
                  {u"System", u"CurrentControlSet", u"Control", u"Session Manager", u"Environment"}));
    Set(environment, "APPDATA", ShellFolder("AppData", "%USERPROFILE%\\AppData\\Roaming", environment));
    Set(environment, "LOCALAPPDATA", ShellFolder("Local AppData", "%USERPROFILE%\\AppData\\Local", environment));
    addKey(PathOf(RegistryRoot::CurrentUser, {u"Environment"}));
    return environment;
}

std::optional<std::string> WinePrefixSession::EnvironmentVariable(const std::string& name) const {
    return Lookup(Environment(), name);
}

std::string WinePrefixSession::GetAppDataFolder() const {
    const VariableList environment = Environment();
    const std::string folder = ShellFolder("AppData", "%USERPROFILE%\\AppData\\Roaming", environment);
    const std::optional<std::string> unix = ToUnixPath(folder);
    if (!unix || !MakeFolders(*unix)) return {};
    return folder;
}

bool WinePrefixSession::GetVersionEx(OsVersionInfo& info) const {
    CRegistryKey key(m_registry);
    std::string text;
    bool found = false;
    if (key.OpenKey(HKEY_CURRENT_USER, "Software\\Wine", KEY_READ) == ERROR_SUCCESS &&
        key.ReadString("Version", text, 64) == ERROR_SUCCESS) {
        for (const NamedVersion& named : kNamedVersions) {
            if (!EqualsNoCase(named.name, text)) continue;
            info = OsVersionInfo{named.major, named.minor, named.build, named.platform, named.servicePack};
            found = true;
            break;
        }
    }
    if (!found && key.OpenKey(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion",
                              KEY_READ | KEY_WOW64_64KEY) == ERROR_SUCCESS) {
        OsVersionInfo read{0, 0, 0, kPlatformNt, ""};
        unsigned major = 0, minor = 0;
        if (key.ReadDword("CurrentMajorVersionNumber", read.majorVersion) == ERROR_SUCCESS &&
            key.ReadDword("CurrentMinorVersionNumber", read.minorVersion) == ERROR_SUCCESS) {
            found = true;
        } else if (key.ReadString("CurrentVersion", text, 64) == ERROR_SUCCESS &&
                   std::sscanf(text.c_str(), "%u.%u", &major, &minor) == 2) {
            read.majorVersion = major;
            read.minorVersion = minor;
            found = true;
        }
        if (key.ReadString("CurrentBuildNumber", text, 64) == ERROR_SUCCESS)
            read.buildNumber = static_cast<DWORD>(std::strtoul(text.c_str(), nullptr, 10));
        if (key.ReadString("CSDVersion", text, 256) == ERROR_SUCCESS) read.csdVersion = text;
        if (found) info = read;
    }
    if (!found) return false;
    if (info.platformId == kPlatformNt && (info.majorVersion > 6 || (info.majorVersion == 6 && info.minorVersion > 1))) {
        info.majorVersion = 6;
        info.minorVersion = 2;
        info.buildNumber = 9200;
        info.csdVersion.clear();
    }
    return true;
}

}  // namespace mailwright
