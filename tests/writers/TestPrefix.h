#pragma once
// A temporary Wine prefix in force as the session, with shortcuts to its user registry.
#include <filesystem>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>

#include "registry/CRegistryKey.h"
#include "testlib/TempWinePrefix.h"

namespace mailwright::testing {

class TestPrefix {
public:
    explicit TestPrefix(WindowsRelease release = WindowsRelease::Win7) : m_prefix(release), m_session(m_prefix) {}

    const TempWinePrefix& Prefix() const { return m_prefix; }
    // The Unix path of a path below drive C: given with slashes.
    std::string DriveC(const std::string& relative) const { return m_prefix.DriveC(relative); }
    // The application folder, as a Unix path.
    std::string AppFolder() const { return DriveC("users/tester/AppData/Roaming/Mailwright"); }

    // A key under HKEY_CURRENT_USER, created when missing; throws when it cannot be.
    std::unique_ptr<CRegistryKey> UserKey(const std::string& path) const {
        auto key = std::make_unique<CRegistryKey>();
        if (key->CreateKey(HKEY_CURRENT_USER, path.c_str(), KEY_READ | KEY_WRITE) != ERROR_SUCCESS)
            throw std::runtime_error("cannot create HKCU\\" + path);
        return key;
    }
    // A string value under HKEY_CURRENT_USER; "<none>" when it cannot be read.
    std::string UserString(const std::string& path, const char* name) const {
        CRegistryKey key;
        std::string text;
        if (key.OpenKey(HKEY_CURRENT_USER, path.c_str(), KEY_READ) != ERROR_SUCCESS ||
            key.ReadString(name, text, 4096) != ERROR_SUCCESS)
            return "<none>";
        return text;
    }
    // The names of the files and folders in the prefix's folder, where the hives lie.
    std::set<std::string> TopFiles() const {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_prefix.Path()))
            names.insert(entry.path().filename().string());
        return names;
    }
    bool UserValueExists(const std::string& path, const char* name) const {
        CRegistryKey key;
        return key.OpenKey(HKEY_CURRENT_USER, path.c_str(), KEY_READ) == ERROR_SUCCESS &&
               key.ValueExists(name) == ERROR_SUCCESS;
    }

private:
    TempWinePrefix m_prefix;
    ScopedPrefixSession m_session;
};

}  // namespace mailwright::testing
