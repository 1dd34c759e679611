#include "testlib/MemorySession.h"

#include "testlib/FakeProcessList.h"

#include "registry/MemoryRegistry.h"

namespace mailwright::testing {

class ScopedMemorySession::Session : public WindowsSession {
public:
    Session(std::optional<OsVersionInfo> version, std::shared_ptr<RegistryStore> store)
        : m_version(std::move(version)), m_store(std::move(store)) {}

    std::shared_ptr<RegistryStore> Registry() const override { return m_store; }
    bool GetVersionEx(OsVersionInfo& info) const override {
        if (!m_version) return false;
        info = *m_version;
        return true;
    }

    // The Wine processes of a fake process list run in this session.
    bool IsPrefixFolder(const std::string& folder) const override { return folder == FakeProcessList::kWinePrefix; }

    std::optional<OsVersionInfo> m_version;
    std::shared_ptr<RegistryStore> m_store;
};

OsVersionInfo WindowsVersion(DWORD major, DWORD minor) {
    OsVersionInfo info;
    info.majorVersion = major;
    info.minorVersion = minor;
    info.platformId = 2;
    return info;
}

ScopedMemorySession::ScopedMemorySession(std::optional<OsVersionInfo> version, std::shared_ptr<RegistryStore> store)
    : m_session(std::make_shared<Session>(std::move(version),
                                          store ? std::move(store) : std::make_shared<MemoryRegistry>())) {
    WindowsSession::SetCurrent(m_session);
}

// The prefixless session that m_base installed comes back here; m_base then restores the outer one.
ScopedMemorySession::~ScopedMemorySession() { WindowsSession::SetCurrent(std::make_shared<WindowsSession>()); }

const std::shared_ptr<RegistryStore>& ScopedMemorySession::Store() const { return m_session->m_store; }

void ScopedMemorySession::SetVersion(std::optional<OsVersionInfo> version) { m_session->m_version = std::move(version); }

}  // namespace mailwright::testing
