#include "registry/RegistryKeyNode.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <chrono>

namespace mailwright {
namespace {

// Lower case of one UTF-16 unit, as Wine's tables give it: the C library's Unicode
// tables where a UTF-8 locale exists, else ASCII and Latin-1.
char16_t ToLowerUnit(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    static const locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (utf8 && (c < 0xD800 || c > 0xDFFF)) {
        const wint_t lower = ::towlower_l(c, utf8);
        return lower <= 0xFFFF ? static_cast<char16_t>(lower) : c;
    }
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 32);
    return c;
}

template <class Item, class NameOf>
auto LowerBound(std::vector<Item>& items, std::u16string_view name, NameOf nameOf) {
    return std::lower_bound(items.begin(), items.end(), name, [&](const Item& item, std::u16string_view n) {
        return CompareRegistryNames(nameOf(item), n) < 0;
    });
}

const std::u16string& NodeName(const std::unique_ptr<RegistryKeyNode>& node) { return node->Name(); }
const std::u16string& ValueName(const RegistryValue& value) { return value.name; }

}  // namespace

int CompareRegistryNames(std::u16string_view a, std::u16string_view b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
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

RegistryKeyNode::RegistryKeyNode(std::u16string name, RegistryKeyNode* parent, std::uint64_t time)
    : modified(time), m_name(std::move(name)), m_parent(parent) {}

size_t RegistryKeyNode::Depth() const {
    size_t depth = 0;
    for (const RegistryKeyNode* node = m_parent; node; node = node->m_parent) ++depth;
    return depth;
}

RegistryKeyNode* RegistryKeyNode::FindSubKey(std::u16string_view name) const {
    auto& subkeys = const_cast<std::vector<std::unique_ptr<RegistryKeyNode>>&>(m_subkeys);
    auto it = LowerBound(subkeys, name, NodeName);
    return it != subkeys.end() && RegistryNamesEqual((*it)->Name(), name) ? it->get() : nullptr;
}

RegistryKeyNode& RegistryKeyNode::AddSubKey(std::u16string name, std::uint64_t time) {
    auto node = std::make_unique<RegistryKeyNode>(std::move(name), this, time);
    // Hives are read in name order: most keys go last.
    if (m_subkeys.empty() || CompareRegistryNames(m_subkeys.back()->Name(), node->Name()) < 0) {
        m_subkeys.push_back(std::move(node));
        return *m_subkeys.back();
    }
    auto it = LowerBound(m_subkeys, node->Name(), NodeName);
    return **m_subkeys.insert(it, std::move(node));
}

const RegistryValue* RegistryKeyNode::FindValue(std::u16string_view name) const {
    auto& values = const_cast<std::vector<RegistryValue>&>(m_values);
    auto it = LowerBound(values, name, ValueName);
    return it != values.end() && RegistryNamesEqual(it->name, name) ? &*it : nullptr;
}

bool RegistryKeyNode::SetValue(std::u16string_view name, DWORD type, std::vector<std::uint8_t> data) {
    if (m_values.empty() || CompareRegistryNames(m_values.back().name, name) < 0) {
        m_values.push_back(RegistryValue{std::u16string(name), type, std::move(data)});
        return false;
    }
    auto it = LowerBound(m_values, name, ValueName);
    if (it != m_values.end() && RegistryNamesEqual(it->name, name)) {
        it->type = type;
        it->data = std::move(data);
        return true;
    }
    m_values.insert(it, RegistryValue{std::u16string(name), type, std::move(data)});
    return false;
}

bool RegistryKeyNode::DeleteValue(std::u16string_view name) {
    auto it = LowerBound(m_values, name, ValueName);
    if (it == m_values.end() || !RegistryNamesEqual(it->name, name)) return false;
    m_values.erase(it);
    return true;
}

}  // namespace mailwright
