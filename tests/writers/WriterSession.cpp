#include "WriterSession.h"

#include <filesystem>

#include "support/TextUtil.h"

namespace mailwright::testing {

WriterSession::WriterSession(const TempFolder& folder) : m_driveC(folder.Sub("drive_c")) {
    std::filesystem::create_directories(m_driveC);
    m_environment["USERPROFILE"] = "C:\\users\\tester";
    m_environment["LOCALAPPDATA"] = "C:\\users\\tester\\AppData\\Local";
    m_environment["APPDATA"] = "C:\\users\\tester\\AppData\\Roaming";
}

std::optional<std::string> WriterSession::DriveRoot(char letter) const {
    if (letter == 'c' || letter == 'C') return m_driveC;
    return WindowsSession::DriveRoot(letter);
}

std::string WriterSession::GetAppDataFolder() const {
    std::filesystem::create_directories(m_driveC + "/users/tester/AppData/Roaming");
    return "C:\\users\\tester\\AppData\\Roaming";
}

bool WriterSession::GetVersionEx(OsVersionInfo& info) const {
    if (!m_hasVersion) return false;
    info = OsVersionInfo{m_windowsMajor, 1, 7601, 2, {}};
    return true;
}

std::optional<std::string> WriterSession::EnvironmentVariable(const std::string& name) const {
    for (const auto& [key, value] : m_environment)
        if (EqualsNoCase(key, name)) return value;
    return std::nullopt;
}

ScopedWriterSession::ScopedWriterSession()
    : m_session(std::make_shared<WriterSession>(m_folder)), m_previous(WindowsSession::SetCurrent(m_session)) {}

ScopedWriterSession::~ScopedWriterSession() { WindowsSession::SetCurrent(m_previous); }

std::unique_ptr<CRegistryKey> ScopedWriterSession::UserKey(const std::string& path) {
    auto key = std::make_unique<CRegistryKey>(m_session->m_registry);
    if (key->CreateKey(HKEY_CURRENT_USER, path.c_str(), KEY_READ | KEY_WRITE) != ERROR_SUCCESS)
        throw std::runtime_error("cannot create " + path);
    return key;
}

bool ScopedWriterSession::HasValue(const std::string& path, const char* name) {
    CRegistryKey key(m_session->m_registry);
    return key.OpenKey(HKEY_CURRENT_USER, path.c_str(), KEY_READ) == ERROR_SUCCESS &&
           key.ValueExists(name) == ERROR_SUCCESS;
}

std::string ScopedWriterSession::StringValue(const std::string& path, const char* name) {
    CRegistryKey key(m_session->m_registry);
    std::string text;
    if (key.OpenKey(HKEY_CURRENT_USER, path.c_str(), KEY_READ) != ERROR_SUCCESS ||
        key.ReadString(name, text, 4096) != ERROR_SUCCESS)
        return "<none>";
    return text;
}

}  // namespace mailwright::testing
