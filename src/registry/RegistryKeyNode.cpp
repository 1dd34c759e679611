#include "registry/RegistryKeyNode.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "registry/RegistryKeyTree.h"
#include "support/WineCaseTable.h"

namespace mailwright {
namespace {

// Lower case of one UTF-16 unit as Wine's server has it; ASCII without the table.
char16_t ToLowerUnit(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    return WineLowerCase(c);
}

// Orders keys and values before a name, for binary searches of the sorted lists.
struct NameBefore {
    bool operator()(const RegistryKeyNode* key, std::u16string_view name) const {
        return CompareRegistryNames(key->Name(), name) < 0;
    }
    bool operator()(const RegistryValue& value, std::u16string_view name) const {
        return CompareRegistryNames(value.name, name) < 0;
    }
};

}  // namespace

int CompareRegistryNames(std::u16string_view a, std::u16string_view b) {
    const size_t common = std::min(a.size(), b.size());
    size_t i = 0;
    // Units that are the same are the same lower-cased: skip them four at a time.
    for (; i + 4 <= common; i += 4) {
        std::uint64_t x, y;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y) break;
    }
    for (; i < common; ++i) {
        const char16_t x = ToLowerUnit(a[i]);
        const char16_t y = ToLowerUnit(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool RegistryNamesEqual(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && CompareRegistryNames(a, b) == 0;
}

std::uint64_t RegistryTimeNow() {
    constexpr std::uint64_t kTicks1601To1970 = 116444736000000000ULL;
    const auto since1970 = std::chrono::system_clock::now().time_since_epoch();
    return kTicks1601To1970 +
           static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(since1970).count() / 100);
}

RegistryKeyNode::RegistryKeyNode(RegistryKeyTree& tree, std::u16string_view name, RegistryKeyNode* parent)
    : m_tree(tree), m_parent(parent), m_name(name) {}

size_t RegistryKeyNode::Depth() const {
    size_t depth = 0;
    for (const RegistryKeyNode* node = m_parent; node; node = node->m_parent) ++depth;
    return depth;
}

RegistryKeyNode* RegistryKeyNode::FindSubKey(std::u16string_view name) const {
    const std::span<RegistryKeyNode* const> subkeys = SubKeys();
    const auto it = std::lower_bound(subkeys.begin(), subkeys.end(), name, NameBefore{});
    return it != subkeys.end() && RegistryNamesEqual((*it)->Name(), name) ? *it : nullptr;
}

RegistryKeyNode& RegistryKeyNode::AddSubKey(std::u16string_view name, std::uint64_t modified) {
    RegistryKeyNode& key = m_tree.MakeKey(name, this);
    if (modified != 0) key.SetModified(modified);  // a key of a hive being read gets its content later
    if (m_subkeyCount == m_subkeyCapacity) {
        const std::uint32_t capacity = m_subkeyCapacity == 0 ? 1 : 2 * m_subkeyCapacity;
        RegistryKeyNode** grown = m_tree.KeepKeyList(capacity);
        std::copy(m_subkeys, m_subkeys + m_subkeyCount, grown);
        m_subkeys = grown;
        m_subkeyCapacity = capacity;
    }
    // Hives are read in name order: most keys go last.
    RegistryKeyNode** end = m_subkeys + m_subkeyCount;
    RegistryKeyNode** at = end;
    if (m_subkeyCount > 0 && CompareRegistryNames(end[-1]->Name(), name) >= 0)
        at = std::lower_bound(m_subkeys, end, name, NameBefore{});
    std::copy_backward(at, end, end + 1);
    *at = &key;
    ++m_subkeyCount;
    return key;
}

void RegistryKeyNode::RemoveSubKey(const RegistryKeyNode& subkey) {
    RegistryKeyNode** end = m_subkeys + m_subkeyCount;
    RegistryKeyNode** at = std::find(m_subkeys, end, &subkey);
    if (at == end) return;
    std::copy(at + 1, end, at);
    --m_subkeyCount;
}

void RegistryKeyNode::Respell(std::u16string_view name) {
    if (RegistryNamesEqual(name, m_name)) m_name = m_tree.KeepName(name);
}

RegistryKeyContent& RegistryKeyNode::Content() {
    if (!m_content) m_content = std::make_unique<RegistryKeyContent>();
    return *m_content;
}

const std::vector<RegistryValue>& RegistryKeyNode::Values() const {
    static const std::vector<RegistryValue> none;
    return m_content ? m_content->values : none;
}

const std::optional<std::u16string>& RegistryKeyNode::ClassName() const {
    static const std::optional<std::u16string> none;
    return m_content ? m_content->className : none;
}

std::unique_ptr<RegistryKeyContent> RegistryKeyNode::CopyContent() const {
    return m_content ? std::make_unique<RegistryKeyContent>(*m_content) : nullptr;
}

const RegistryValue* RegistryKeyNode::FindValue(std::u16string_view name) const {
    const std::vector<RegistryValue>& values = Values();
    const auto it = std::lower_bound(values.begin(), values.end(), name, NameBefore{});
    return it != values.end() && RegistryNamesEqual(it->name, name) ? &*it : nullptr;
}

bool RegistryKeyNode::SetValue(std::u16string_view name, DWORD type, std::vector<std::uint8_t> data) {
    std::vector<RegistryValue>& values = Content().values;
    if (values.empty() || CompareRegistryNames(values.back().name, name) < 0) {
        values.push_back(RegistryValue{std::u16string(name), type, std::move(data)});
        return false;
    }
    const auto it = std::lower_bound(values.begin(), values.end(), name, NameBefore{});
    if (it != values.end() && RegistryNamesEqual(it->name, name)) {
        it->type = type;
        it->data = std::move(data);
        it->keptText.clear();  // the lines read no longer say what the value holds
        return true;
    }
    values.insert(it, RegistryValue{std::u16string(name), type, std::move(data)});
    return false;
}

void RegistryKeyNode::PutValue(RegistryValue value) {
    std::vector<RegistryValue>& values = Content().values;
    const auto it = std::lower_bound(values.begin(), values.end(), value.name, NameBefore{});
    if (it != values.end() && RegistryNamesEqual(it->name, value.name)) {
        it->type = value.type;
        it->data = std::move(value.data);
        it->keptText = std::move(value.keptText);
    } else {
        values.insert(it, std::move(value));
    }
}

const std::string& RegistryKeyNode::KeptLines() const {
    static const std::string none;
    return m_content ? m_content->keptLines : none;
}

bool RegistryKeyNode::DeleteValue(std::u16string_view name) {
    if (!m_content) return false;
    std::vector<RegistryValue>& values = m_content->values;
    const auto it = std::lower_bound(values.begin(), values.end(), name, NameBefore{});
    if (it == values.end() || !RegistryNamesEqual(it->name, name)) return false;
    values.erase(it);
    return true;
}

}  // namespace mailwright
