#include "registry/RegistryKeyTree.h"

#include <algorithm>

namespace mailwright {
namespace {

constexpr std::size_t kNameBlockUnits = 64 * 1024;

}  // namespace

RegistryKeyTree::RegistryKeyTree() : m_root(&MakeKey(std::u16string_view(), nullptr)) {}

RegistryKeyNode& RegistryKeyTree::MakeKey(std::u16string_view name, RegistryKeyNode* parent) {
    return m_keys.emplace_back(*this, KeepName(name), parent);
}

std::u16string_view RegistryKeyTree::KeepName(std::u16string_view name) {
    if (name.empty()) return {};
    if (m_nameUsed + name.size() > m_nameCapacity) {
        m_nameCapacity = std::max(kNameBlockUnits, name.size());
        m_nameBlocks.push_back(std::make_unique<char16_t[]>(m_nameCapacity));
        m_nameUsed = 0;
    }
    char16_t* kept = m_nameBlocks.back().get() + m_nameUsed;
    std::copy(name.begin(), name.end(), kept);
    m_nameUsed += name.size();
    return {kept, name.size()};
}

}  // namespace mailwright
