#pragma once
#include <cstddef>
#include <deque>
#include <memory>
#include <string_view>
#include <vector>

#include "registry/RegistryKeyNode.h"

namespace mailwright {

// The keys of one hive and the store of their names. A hive of a few hundred thousand
// keys is kept in few large blocks: no key and no name costs an allocation of its own.
class RegistryKeyTree {
public:
    RegistryKeyTree();
    RegistryKeyTree(const RegistryKeyTree&) = delete;
    RegistryKeyTree& operator=(const RegistryKeyTree&) = delete;

    RegistryKeyNode& Root() { return *m_root; }
    const RegistryKeyNode& Root() const { return *m_root; }

    // A new key below `parent`, not yet among its subkeys.
    RegistryKeyNode& MakeKey(std::u16string_view name, RegistryKeyNode* parent);

private:
    std::u16string_view KeepName(std::u16string_view name);

    std::deque<RegistryKeyNode> m_keys;
    std::vector<std::unique_ptr<char16_t[]>> m_nameBlocks;
    std::size_t m_nameUsed = 0;
    std::size_t m_nameCapacity = 0;
    RegistryKeyNode* m_root;
};

}  // namespace mailwright
