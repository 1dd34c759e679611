#pragma once
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/WindowsSession.h"

namespace mailwright {

class WineHiveStore;

// The Windows session of a Wine prefix: its drives (dosdevices), its registry files,
// its Windows version and its environment, as a 32-bit program run by Wine sees them.
class WinePrefixSession : public WindowsSession {
public:
    explicit WinePrefixSession(std::string prefixFolder);

    // The prefix to work on without asking: $WINEPREFIX when it names a folder by an
    // absolute path (nothing when it names another); else the one chosen last time, the
    // only one found, or ~/.wine (WinePrefixChoice).
    static std::optional<std::string> FindPrefix();
    // The session of the prefix found, or the session without a prefix.
    static std::shared_ptr<WindowsSession> FromEnvironment();

    std::optional<std::string> DriveRoot(char letter) const override;
    // The "AppData" user shell folder, expanded and created when missing.
    std::string GetAppDataFolder() const override;
    std::shared_ptr<RegistryStore> Registry() const override;
    // HKCU\Software\Wine "Version", else the prefix's CurrentVersion key; above 6.1 the
    // program reads 6.2, as Windows tells a program whose manifest names no later version.
    bool GetVersionEx(OsVersionInfo& info) const override;
    std::string PrefixFolder() const override { return m_prefix; }
    std::string Architecture() const override;
    bool IsWineRunning() const override;
    bool IsPrefixFolder(const std::string& folder) const override;

    // The two paths name one folder: equal but for trailing slashes, or one reached
    // through a link to the other.
    static bool IsSameFolder(const std::string& first, const std::string& second);
    std::optional<std::string> EnvironmentVariable(const std::string& name) const override;

    // Every variable of the session's environment, in the order they are set.
    std::vector<std::pair<std::string, std::string>> Environment() const;

private:
    std::string UserName() const;
    std::string ShellFolder(const char* valueName, const char* fallback,
                            const std::vector<std::pair<std::string, std::string>>& environment) const;

    std::string m_prefix;
    std::shared_ptr<WineHiveStore> m_registry;
};

}  // namespace mailwright
