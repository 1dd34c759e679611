#pragma once
// The registry layer: one open key, the value and key operations the program uses,
// each returning the Windows error code of the function it stands for. Nothing here
// throws or shows anything; callers decide what a failure means.
#include <cstdint>
#include <memory>
#include <string>

#include "registry/RegistryStore.h"
#include "support/WinTypes.h"

namespace mailwright {

using HKEY = RegistryRoot;
inline constexpr HKEY HKEY_CLASSES_ROOT = RegistryRoot::ClassesRoot;
inline constexpr HKEY HKEY_CURRENT_USER = RegistryRoot::CurrentUser;
inline constexpr HKEY HKEY_LOCAL_MACHINE = RegistryRoot::LocalMachine;

class CRegistryKey {
public:
    // Keys of the current session's registry, looked up when the key is opened.
    CRegistryKey() = default;
    // Keys of the given store (tests).
    explicit CRegistryKey(std::shared_ptr<RegistryStore> store);
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;
    ~CRegistryKey() = default;

    bool IsOpen() const { return m_open; }

    // The registry of the current session (a session without a prefix has the empty one).
    static std::shared_ptr<RegistryStore> SessionStore();

    // RegOpenKeyExA. A failed open leaves the key held before open and usable.
    LONG OpenKey(HKEY root, const char* path, DWORD access);
    LONG OpenKey(const CRegistryKey& parent, const char* path, DWORD access);
    // RegCreateKeyExA: opens the key, creating it and every missing key above it.
    LONG CreateKey(HKEY root, const char* path, DWORD access);
    // RegCloseKey; 0 also when nothing was open.
    LONG CloseKey();

    // A REG_SZ or REG_EXPAND_SZ value, offering `capacity` characters (NUL included).
    // `length` receives the characters read with the NUL on success, 0 on failure.
    LONG ReadString(const char* valueName, std::string& text, DWORD capacity, DWORD* length = nullptr);
    // Four bytes of any type; an absent value leaves `value` as it was.
    LONG ReadDword(const char* valueName, DWORD& value);
    // 0 when the value exists, ERROR_FILE_NOT_FOUND when it does not.
    LONG ValueExists(const char* valueName);
    // REG_SZ with its NUL; a null text writes nothing and gives ERROR_INVALID_DATA.
    LONG WriteString(const char* valueName, const char* text);
    LONG WriteDword(const char* valueName, DWORD value);
    // The number's four bytes, little-endian, as REG_BINARY.
    LONG WriteBinary(const char* valueName, DWORD value);
    LONG DeleteValue(const char* valueName);
    // RegEnumKeyExA: the subkey at `index`; `capacity` counts the NUL and receives the
    // name's length on success.
    LONG SubKeyName(DWORD index, std::string& name, DWORD& capacity);
    // RegEnumValueA without the data: the name of the value at `index`, as SubKeyName.
    LONG ValueName(DWORD index, std::string& name, DWORD& capacity);

    // RegQueryValueExA on the held key: any of type, data and size may be null; string
    // values come in the ANSI code page, and *size counts bytes.
    LONG QueryValue(const char* valueName, DWORD* type, std::uint8_t* data, DWORD* size);
    // RegSetValueExA on the held key.
    LONG SetValue(const char* valueName, DWORD type, const std::uint8_t* data, DWORD size);

private:
    LONG Open(std::shared_ptr<RegistryStore> store, RegistryKeyPath path, const char* subPath, DWORD access,
              bool create);
    LONG Check(DWORD right) const;
    static LONG HandOut(LONG code, const std::u16string& wide, std::string& name, DWORD& capacity);

    std::shared_ptr<RegistryStore> m_store;  // given, or the store the held key lives in
    bool m_storeGiven = false;
    bool m_open = false;
    RegistryKeyPath m_path;
    DWORD m_access = 0;
};

}  // namespace mailwright
