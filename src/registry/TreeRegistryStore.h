#pragma once
#include <functional>
#include <mutex>
#include <span>
#include <vector>

#include "registry/RegistryKeyNode.h"
#include "registry/RegistryStore.h"

namespace mailwright {

// The behaviour that every store over key trees shares: the roots (HKEY_CLASSES_ROOT is
// HKLM\Software\Classes overlaid by HKCU\Software\Classes), Wine's links, and the 32-bit
// view of HKEY_LOCAL_MACHINE in a 64-bit prefix. Subclasses say where the trees live.
class TreeRegistryStore : public RegistryStore {
public:
    LONG OpenKey(const RegistryKeyPath& key) override;
    LONG CreateKey(const RegistryKeyPath& key) override;
    LONG QueryValue(const RegistryKeyPath& key, std::u16string_view name, DWORD& type,
                    std::vector<std::uint8_t>& data) override;
    LONG SetValue(const RegistryKeyPath& key, std::u16string_view name, DWORD type,
                  std::span<const std::uint8_t> data) override;
    LONG DeleteValue(const RegistryKeyPath& key, std::u16string_view name) override;
    LONG EnumValue(const RegistryKeyPath& key, DWORD index, std::u16string& name, DWORD& type,
                   std::vector<std::uint8_t>& data) override;
    LONG EnumSubKey(const RegistryKeyPath& key, DWORD index, std::u16string& name) override;

protected:
    static constexpr int kUserHive = 0;
    static constexpr int kMachineHive = 1;
    using ChangedHives = bool[2];

    // Brings the hives up to date before a read (a hive changed on disk is read again).
    virtual void RefreshHives() {}
    // The hive's top key; null, with the error code, when the hive cannot be read.
    virtual RegistryKeyNode* HiveRoot(int hive, LONG& error) = 0;
    // Runs `change` under the store's write lock on current hives, then saves the hives
    // it marked changed.
    virtual LONG Modify(const std::function<LONG(ChangedHives&)>& change) = 0;
    // Whether HKEY_LOCAL_MACHINE has a 32-bit view (a 64-bit prefix).
    virtual bool IsWin64() = 0;

    // Taken by every operation: one store may serve several threads.
    std::recursive_mutex m_mutex;

public:
    struct Location {
        int hive = kUserHive;
        RegistryKeyNode* node = nullptr;
    };

private:
    struct Walk {
        bool view32 = false;
        bool create = false;
        ChangedHives* changed = nullptr;
        int linkDepth = 0;
    };

    LONG Locate(int hive, std::span<const std::u16string> components, Walk& walk, Location& out);
    LONG FollowLinks(Location& at, Walk& walk);
    LONG Descend(Location& at, const std::u16string& name, Walk& walk);
    // The places of the key, the user's before the machine's for HKEY_CLASSES_ROOT.
    LONG LocateAll(const RegistryKeyPath& key, std::vector<Location>& found);
    LONG LocateForWrite(const RegistryKeyPath& key, bool create, ChangedHives& changed, Location& out);
    static std::vector<std::u16string> HivePath(const RegistryKeyPath& key);
};

}  // namespace mailwright
