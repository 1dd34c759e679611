#pragma once
// A Windows session for the writers' tests: drive C: in a temporary folder, the
// registry in memory, a Windows version and a small environment.
#include <map>
#include <memory>
#include <string>

#include "platform/MemoryRegistry.h"
#include "platform/WindowsSession.h"
#include "support/CRegistryKey.h"
#include "testlib/TempFolder.h"

namespace mailwright::testing {

class WriterSession : public WindowsSession {
public:
    explicit WriterSession(const TempFolder& folder);

    std::optional<std::string> DriveRoot(char letter) const override;
    std::string GetAppDataFolder() const override;
    std::shared_ptr<RegistryStore> Registry() const override { return m_registry; }
    bool GetVersionEx(OsVersionInfo& info) const override;
    std::optional<std::string> EnvironmentVariable(const std::string& name) const override;

    std::shared_ptr<MemoryRegistry> m_registry = std::make_shared<MemoryRegistry>();
    std::map<std::string, std::string> m_environment;
    DWORD m_windowsMajor = 6;
    bool m_hasVersion = true;

private:
    std::string m_driveC;
};

// Installs a WriterSession over a fresh temporary drive C: while the object lives.
class ScopedWriterSession {
public:
    ScopedWriterSession();
    ~ScopedWriterSession();
    ScopedWriterSession(const ScopedWriterSession&) = delete;
    ScopedWriterSession& operator=(const ScopedWriterSession&) = delete;

    WriterSession& operator*() { return *m_session; }
    WriterSession* operator->() { return m_session.get(); }

    // The Unix path of a path below drive C: given with slashes ("users/tester").
    std::string OnDriveC(const std::string& relative) const { return m_folder.Sub("drive_c/" + relative); }
    // The Unix path of the application folder.
    std::string AppFolderUnix() const { return OnDriveC("users/tester/AppData/Roaming/Mailwright"); }

    // A key of the session's registry under HKEY_CURRENT_USER, created when missing.
    std::unique_ptr<CRegistryKey> UserKey(const std::string& path);
    // True when the value exists under HKEY_CURRENT_USER\path.
    bool HasValue(const std::string& path, const char* name);
    // A string value under HKEY_CURRENT_USER\path; "<none>" when it cannot be read.
    std::string StringValue(const std::string& path, const char* name);

private:
    TempFolder m_folder;
    std::shared_ptr<WriterSession> m_session;
    std::shared_ptr<WindowsSession> m_previous;
};

}  // namespace mailwright::testing
