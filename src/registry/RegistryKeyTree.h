#pragma once
#include <cstddef>
#include <cstdint>
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
    ~RegistryKeyTree();

    RegistryKeyNode& Root() { return *m_root; }
    const RegistryKeyNode& Root() const { return *m_root; }

    // A new key below `parent`, not yet among its subkeys.
    RegistryKeyNode& MakeKey(std::u16string_view name, RegistryKeyNode* parent);
    // Room for a key's list of subkeys. A list that grows moves to a larger room; the old
    // one is not used again (lists grow by doubling, so little is lost).
    RegistryKeyNode** KeepKeyList(std::uint32_t capacity);
    // A copy of a key's name that lives as long as the tree.
    std::u16string_view KeepName(std::u16string_view name);

private:
    // Memory for items of one kind that never move, in blocks that grow to two megabytes:
    // a small tree costs little, a big one few allocations.
    class Arena {
    public:
        Arena() = default;
        Arena(const Arena&) = delete;
        Arena& operator=(const Arena&) = delete;
        ~Arena();
        void* Take(std::size_t bytes, std::size_t alignment);
        // Calls `f` with the start and the bytes taken of every block.
        template <class F>
        void ForEachBlock(F f) const {
            for (const Block& block : m_blocks) f(block.memory, block.used);
        }

    private:
        struct Block {
            unsigned char* memory;
            std::size_t size;
            std::size_t used;
        };
        std::vector<Block> m_blocks;
    };

    Arena m_keys;
    Arena m_names;
    Arena m_lists;
    RegistryKeyNode* m_root;
};

}  // namespace mailwright
