#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "support/WinTypes.h"

namespace mailwright {

class RegistryStore;

// What GetVersionExA reports.
struct OsVersionInfo {
    DWORD majorVersion = 0;
    DWORD minorVersion = 0;
    DWORD buildNumber = 0;
    DWORD platformId = 0;  // VER_PLATFORM_WIN32_NT (2), or 1 for Windows 9x
    std::string csdVersion;
};

// What the program sees as "Windows": the drives of the file system, the user's
// Application Data folder, the registry, the Windows version and the environment.
// This base is the session without a Wine prefix: only drive Z: exists, mapped to
// "/", the Application Data folder is $XDG_DATA_HOME (default ~/.local/share), the
// registry holds nothing and takes nothing, and there is no Windows version.
class WindowsSession {
public:
    WindowsSession() = default;
    WindowsSession(const WindowsSession&) = delete;
    WindowsSession& operator=(const WindowsSession&) = delete;
    virtual ~WindowsSession() = default;

    // The Unix folder behind a drive letter (either case); nothing when the drive does not exist.
    virtual std::optional<std::string> DriveRoot(char letter) const;

    // The user's Application Data folder as a Windows path, created when missing; empty on failure.
    virtual std::string GetAppDataFolder() const;

    // The registry of the session; shared, so that open keys outlive a change of session.
    // Null for the session without a prefix: no key exists and nothing can be written.
    virtual std::shared_ptr<RegistryStore> Registry() const;

    // The GetVersionExA stand-in; false when the session has no Windows version.
    virtual bool GetVersionEx(OsVersionInfo& info) const;

    // The ExpandEnvironmentStringsA stand-in: each %NAME% of a variable of the session
    // replaced by its value (names without regard to case); unknown names stay as written.
    std::string ExpandEnvironmentStrings(const std::string& text) const;

    // The Wine prefix folder, its architecture ("win32", "win64") and whether a wineserver
    // runs it; empty, empty and false without a prefix.
    virtual std::string PrefixFolder() const;
    virtual std::string Architecture() const;
    virtual bool IsWineRunning() const;
    // Whether a folder is this session's prefix (a process's $WINEPREFIX, say); the
    // session without a prefix has none.
    virtual bool IsPrefixFolder(const std::string& folder) const;

    // The Unix path of a Windows path, as Wine finds it: the drive through DriveRoot, each
    // existing component matched without regard to case, "." and ".." resolved. Relative
    // paths stay relative (to the current directory). Nothing for a missing drive or a
    // UNC path.
    std::optional<std::string> ToUnixPath(const std::string& windowsPath) const;

    // The Windows path under which a Unix path is seen: the drive whose root holds it
    // (the longest root wins). Nothing when no drive holds it.
    std::optional<std::string> ToWindowsPath(const std::string& unixPath) const;

    // The value of one variable of the session's environment; nothing when it has none.
    virtual std::optional<std::string> EnvironmentVariable(const std::string& name) const;

    // The session the program works in: the one set last, else the session without a
    // prefix. Shared, so that a session replaced meanwhile lives on while a caller uses it.
    static std::shared_ptr<WindowsSession> Current();
    // Replaces the current session and returns the previous one (the programs' start-up
    // sets the session of the prefix that the environment names; tests set their own).
    static std::shared_ptr<WindowsSession> SetCurrent(std::shared_ptr<WindowsSession> session);

protected:
    using VariableLookup = std::function<std::optional<std::string>(const std::string& name)>;
    // ExpandEnvironmentStrings' rule with the variables that `lookup` knows.
    static std::string ExpandVariables(const std::string& text, const VariableLookup& lookup);
};

}  // namespace mailwright
