#pragma once
#include <memory>
#include <string>

#include "registry/TreeRegistryStore.h"

namespace mailwright {

// A registry held in memory, for tests: the same roots, views and results as the
// prefix's hive files, without files.
class MemoryRegistry : public TreeRegistryStore {
public:
    // `win64`: HKEY_LOCAL_MACHINE has a 32-bit view, as in a 64-bit prefix.
    explicit MemoryRegistry(bool win64 = false);

    // Makes `path` (backslash-separated, in the native view) a link to `target`, a
    // full registry path such as \Registry\Machine\Software\Classes, as Wine links keys.
    void AddLink(RegistryRoot root, const std::u16string& path, const std::u16string& target);

protected:
    RegistryKeyNode* HiveRoot(int hive, LONG& error) override;
    LONG Modify(const std::function<LONG(ChangedHives&)>& change) override;
    bool IsWin64() override { return m_win64; }

private:
    bool m_win64;
    std::unique_ptr<RegistryKeyNode> m_roots[2];
};

}  // namespace mailwright
