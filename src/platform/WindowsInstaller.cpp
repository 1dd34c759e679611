#include "platform/WindowsInstaller.h"

#include <cctype>

#include "registry/CRegistryKey.h"
#include "support/VeskFsPathT.h"

namespace mailwright {
namespace {

constexpr char kUserDataKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\";
// Wine runs every program as this one user; per-machine installations register under LocalSystem.
constexpr const char* kSids[] = {"S-1-5-21-0-0-0-1000", "S-1-5-18"};
constexpr DWORD kMaxKeyPath = 4096;

bool IsPackedGuid(const std::string& name) {
    if (name.size() != 32) return false;
    for (char c : name)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

// Registry key paths start with the root's two digits and a colon ("01:\Software\...").
bool IsRegistryKeyPath(const std::string& keyPath) {
    return keyPath.size() >= 3 && std::isdigit(static_cast<unsigned char>(keyPath[0])) &&
           std::isdigit(static_cast<unsigned char>(keyPath[1])) && keyPath[2] == ':';
}

// The key path of the first product in the component's key; nothing when none is listed.
bool FirstProductKeyPath(CRegistryKey& component, std::string& keyPath) {
    std::string name;
    for (DWORD index = 0;; ++index) {
        DWORD capacity = 64;  // product codes have 32 digits; longer names are not products
        const LONG code = component.ValueName(index, name, capacity);
        if (code == ERROR_MORE_DATA) continue;
        if (code != ERROR_SUCCESS) return false;
        if (!IsPackedGuid(name)) continue;
        std::string text;
        if (component.ReadString(name.c_str(), text, kMaxKeyPath) != ERROR_SUCCESS) continue;
        keyPath = text;
        return true;
    }
}

int StateOfKeyPath(const std::string& keyPath) {
    if (keyPath.empty()) return INSTALLSTATE_NOTUSED;
    if (IsRegistryKeyPath(keyPath)) return INSTALLSTATE_LOCAL;
    return PathExists(VeskFsPath(keyPath)) ? INSTALLSTATE_LOCAL : INSTALLSTATE_ABSENT;
}

}  // namespace

std::string PackGuid(const std::string& guid) {
    // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
    static constexpr int kGroups[] = {8, 4, 4, 4, 12};
    if (guid.size() != 38 || guid.front() != '{' || guid.back() != '}') return {};
    std::string packed;
    size_t at = 1;
    for (int group = 0; group < 5; ++group) {
        const std::string digits = guid.substr(at, kGroups[group]);
        for (char c : digits)
            if (!std::isxdigit(static_cast<unsigned char>(c))) return {};
        if (group < 3) {
            packed.append(digits.rbegin(), digits.rend());
        } else {
            for (size_t i = 0; i < digits.size(); i += 2) {
                packed += digits[i + 1];
                packed += digits[i];
            }
        }
        at += kGroups[group];
        if (group < 4 && guid[at++] != '-') return {};
    }
    return packed;
}

int MsiLocateComponent(const std::string& componentCode, std::string& path, DWORD& capacity) {
    const std::string packed = PackGuid(componentCode);
    if (packed.empty()) return INSTALLSTATE_UNKNOWN;
    for (const char* sid : kSids) {
        const std::string keyName = std::string(kUserDataKey) + sid + "\\Components\\" + packed;
        CRegistryKey component;
        // msi keeps its data in the 64-bit view only.
        if (component.OpenKey(HKEY_LOCAL_MACHINE, keyName.c_str(), KEY_READ | KEY_WOW64_64KEY) != ERROR_SUCCESS)
            continue;
        std::string keyPath;
        if (!FirstProductKeyPath(component, keyPath)) continue;
        const int state = StateOfKeyPath(keyPath);
        const DWORD length = static_cast<DWORD>(keyPath.size());
        if (length >= capacity) {
            capacity = length;
            return INSTALLSTATE_MOREDATA;
        }
        path = keyPath;
        capacity = length;
        return state;
    }
    return INSTALLSTATE_UNKNOWN;
}

}  // namespace mailwright
