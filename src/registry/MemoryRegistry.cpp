#include "registry/MemoryRegistry.h"

namespace mailwright {

MemoryRegistry::MemoryRegistry(bool win64) : m_win64(win64) {
    for (RegistryKeyTree& tree : m_trees) tree.Root().SetModified(RegistryTimeNow());
}

void MemoryRegistry::AddLink(RegistryRoot root, const std::u16string& path, const std::u16string& target) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    RegistryKeyNode* node = &m_trees[root == RegistryRoot::LocalMachine ? kMachineHive : kUserHive].Root();
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(u'\\', start);
        if (end == std::u16string::npos) end = path.size();
        const std::u16string name = path.substr(start, end - start);
        if (!name.empty()) {
            RegistryKeyNode* child = node->FindSubKey(name);
            node = child ? child : &node->AddSubKey(name, RegistryTimeNow());
        }
        start = end + 1;
    }
    std::vector<std::uint8_t> data;
    for (char16_t c : target) {
        data.push_back(static_cast<std::uint8_t>(c & 0xFF));
        data.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    node->SetValue(u"SymbolicLinkValue", REG_LINK, std::move(data));
    node->isLink = true;
}

RegistryKeyNode* MemoryRegistry::HiveRoot(int hive, LONG&) { return &m_trees[hive].Root(); }

}  // namespace mailwright
