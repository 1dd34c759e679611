#include "registry/RegistryKeyTree.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "registry/HugeMemory.h"

namespace mailwright {
namespace {

constexpr std::size_t kFirstBlock = 16 * 1024;
constexpr std::size_t kLargestBlock = 2 * 1024 * 1024;

}  // namespace

RegistryKeyTree::Arena::~Arena() {
    for (const Block& block : m_blocks) {
        if (block.size < kLargestBlock) std::free(block.memory);
        else GiveBackHugeMemory(block.memory, block.size);
    }
}

void* RegistryKeyTree::Arena::Take(std::size_t bytes, std::size_t alignment) {
    if (!m_blocks.empty()) m_blocks.back().used = (m_blocks.back().used + alignment - 1) & ~(alignment - 1);
    if (m_blocks.empty() || m_blocks.back().used + bytes > m_blocks.back().size) {
        const std::size_t size = std::max(bytes, m_blocks.empty() ? kFirstBlock : std::min(2 * m_blocks.back().size, kLargestBlock));
        void* memory = size < kLargestBlock ? std::malloc(size) : TakeHugeMemory(size);
        if (!memory) throw std::bad_alloc();
        m_blocks.push_back(Block{static_cast<unsigned char*>(memory), size, 0});
    }
    Block& block = m_blocks.back();
    void* taken = block.memory + block.used;
    block.used += bytes;
    return taken;
}

RegistryKeyTree::RegistryKeyTree() : m_root(&MakeKey(std::u16string_view(), nullptr)) {}

RegistryKeyTree::~RegistryKeyTree() {
    m_keys.ForEachBlock([&](unsigned char* memory, std::size_t used) {
        for (std::size_t at = 0; at < used; at += sizeof(RegistryKeyNode))
            std::launder(reinterpret_cast<RegistryKeyNode*>(memory + at))->~RegistryKeyNode();
    });
}

RegistryKeyNode& RegistryKeyTree::MakeKey(std::u16string_view name, RegistryKeyNode* parent) {
    const std::u16string_view kept = KeepName(name);
    static_assert(sizeof(RegistryKeyNode) % alignof(RegistryKeyNode) == 0);
    return *new (m_keys.Take(sizeof(RegistryKeyNode), alignof(RegistryKeyNode))) RegistryKeyNode(*this, kept, parent);
}

RegistryKeyNode** RegistryKeyTree::KeepKeyList(std::uint32_t capacity) {
    return static_cast<RegistryKeyNode**>(m_lists.Take(capacity * sizeof(RegistryKeyNode*), alignof(RegistryKeyNode*)));
}

std::u16string_view RegistryKeyTree::KeepName(std::u16string_view name) {
    if (name.empty()) return {};
    auto* kept = static_cast<char16_t*>(m_names.Take(name.size() * sizeof(char16_t), alignof(char16_t)));
    std::copy(name.begin(), name.end(), kept);
    return {kept, name.size()};
}

}  // namespace mailwright
