#pragma once
#include <memory>
#include <string>

#include "registry/RegistryKeyTree.h"
#include "registry/TreeRegistryStore.h"

namespace mailwright {

// A registry held in memory, for tests: the same roots, views, results and transactions
// as the prefix's hive files, without files (a commit has nothing to save).
class MemoryRegistry : public TreeRegistryStore {
public:
    // `win64`: HKEY_LOCAL_MACHINE has a 32-bit view, as in a 64-bit prefix.
    explicit MemoryRegistry(bool win64 = false);

    // Makes `path` (backslash-separated, in the native view) a link to `target`, a
    // full registry path such as \Registry\Machine\Software\Classes, as Wine links keys.
    void AddLink(RegistryRoot root, const std::u16string& path, const std::u16string& target);

protected:
    RegistryKeyNode* HiveRoot(int hive, LONG& error) override;
    bool IsWin64() override { return m_win64; }

private:
    bool m_win64;
    RegistryKeyTree m_trees[2];
};

}  // namespace mailwright
