#pragma once
#include <memory>
#include <optional>
#include <string>

#include "support/WindowsSession.h"
#include "testlib/TempFolder.h"

namespace mailwright {
class RegistryStore;
}

namespace mailwright::testing {

// The version record of a Windows version, as GetVersionEx reports it.
OsVersionInfo WindowsVersion(DWORD major, DWORD minor);

// A session over a registry store of the test's choosing (an empty 32-bit MemoryRegistry
// unless given), with the Windows version the test sets (none: the query fails) and the
// Application Data folder in a temporary folder. In force while the object lives.
class ScopedMemorySession {
public:
    explicit ScopedMemorySession(std::optional<OsVersionInfo> version = std::nullopt,
                                 std::shared_ptr<RegistryStore> store = nullptr);
    ~ScopedMemorySession();
    ScopedMemorySession(const ScopedMemorySession&) = delete;
    ScopedMemorySession& operator=(const ScopedMemorySession&) = delete;

    const std::shared_ptr<RegistryStore>& Store() const;
    void SetVersion(std::optional<OsVersionInfo> version);
    // The Unix path of the application folder (which may not exist yet).
    std::string AppFolderUnix() const { return m_base.AppFolderUnix(); }

private:
    class Session;
    ScopedPrefixlessSession m_base;  // the data folder; restores the outer session last
    std::shared_ptr<Session> m_session;
};

}  // namespace mailwright::testing
