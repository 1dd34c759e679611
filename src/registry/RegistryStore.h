#pragma once
// The registry under the key layer (CRegistryKey): one interface, several stores.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "support/WinTypes.h"

namespace mailwright {

enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine };

// A key as its opener named it. Stores resolve it anew at each operation, so that a key
// deleted meanwhile, or a hive read again from disk, is met as it is now.
struct RegistryKeyPath {
    RegistryRoot root = RegistryRoot::CurrentUser;
    std::vector<std::u16string> components;
    // The 64-bit view of a 64-bit prefix (KEY_WOW64_64KEY); otherwise the program, a
    // 32-bit Windows program, sees the 32-bit view.
    bool nativeView = false;
};

// Names are UTF-16 and compare without regard to case; string data is UTF-16 bytes as
// stored. Every operation returns a Windows error code.
class RegistryStore {
public:
    virtual ~RegistryStore() = default;

    // ERROR_FILE_NOT_FOUND when the key does not exist.
    virtual LONG OpenKey(const RegistryKeyPath& key) = 0;
    // Opens the key, creating it and every missing key above it.
    virtual LONG CreateKey(const RegistryKeyPath& key) = 0;
    // An empty name is the key's default value. ERROR_FILE_NOT_FOUND when absent.
    virtual LONG QueryValue(const RegistryKeyPath& key, std::u16string_view name, DWORD& type,
                            std::vector<std::uint8_t>& data) = 0;
    virtual LONG SetValue(const RegistryKeyPath& key, std::u16string_view name, DWORD type,
                          std::span<const std::uint8_t> data) = 0;
    virtual LONG DeleteValue(const RegistryKeyPath& key, std::u16string_view name) = 0;
    // The value at `index` in name order; ERROR_NO_MORE_ITEMS past the last.
    virtual LONG EnumValue(const RegistryKeyPath& key, DWORD index, std::u16string& name, DWORD& type,
                           std::vector<std::uint8_t>& data) = 0;
    // The name of the subkey at `index` in case-insensitive name order; ERROR_NO_MORE_ITEMS past the last.
    virtual LONG EnumSubKey(const RegistryKeyPath& key, DWORD index, std::u16string& name) = 0;

    // Transactions (see CRegistryTransaction): from Begin to Commit or Abandon, the calling
    // thread's operations see their own writes, other threads wait, and nothing is saved;
    // Commit saves every change at once, or none and returns why. A transaction begun
    // inside another joins it: the outermost one commits or abandons. A store without
    // transactions saves each write at once.
    virtual LONG BeginTransaction() { return ERROR_SUCCESS; }
    virtual LONG CommitTransaction() { return ERROR_SUCCESS; }
    virtual void AbandonTransaction() {}
};

}  // namespace mailwright
