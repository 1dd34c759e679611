#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/WinTypes.h"

namespace mailwright {

struct RegistryValue {
    std::u16string name;
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;
};

// Wine's order of key and value names: compared lower-cased, on a tie the shorter first.
int CompareRegistryNames(std::u16string_view a, std::u16string_view b);
bool RegistryNamesEqual(std::u16string_view a, std::u16string_view b);

// Now as a Windows FILETIME (100 ns ticks since 1601).
std::uint64_t RegistryTimeNow();

// One key of a hive: its values and subkeys, both kept in Wine's name order.
class RegistryKeyNode {
public:
    RegistryKeyNode(std::u16string name, RegistryKeyNode* parent, std::uint64_t modified);
    RegistryKeyNode(const RegistryKeyNode&) = delete;
    RegistryKeyNode& operator=(const RegistryKeyNode&) = delete;

    const std::u16string& Name() const { return m_name; }
    RegistryKeyNode* Parent() const { return m_parent; }
    size_t Depth() const;

    RegistryKeyNode* FindSubKey(std::u16string_view name) const;
    // Adds a subkey that must not exist yet.
    RegistryKeyNode& AddSubKey(std::u16string name, std::uint64_t modified);
    const std::vector<std::unique_ptr<RegistryKeyNode>>& SubKeys() const { return m_subkeys; }

    const RegistryValue* FindValue(std::u16string_view name) const;
    // Sets a value; true when a value of that name was replaced.
    bool SetValue(std::u16string_view name, DWORD type, std::vector<std::uint8_t> data);
    bool DeleteValue(std::u16string_view name);
    const std::vector<RegistryValue>& Values() const { return m_values; }

    // Key attributes that Wine keeps in the hive text.
    std::uint64_t modified = 0;
    std::optional<std::u16string> className;
    bool isLink = false;

    // Where the key's own lines lie in the hive text it was read from, while it is
    // unchanged since; `changed` keys are written anew.
    std::size_t textOffset = 0;
    std::size_t textLength = 0;
    bool changed = false;

private:
    std::u16string m_name;
    RegistryKeyNode* m_parent;
    std::vector<std::unique_ptr<RegistryKeyNode>> m_subkeys;
    std::vector<RegistryValue> m_values;
};

}  // namespace mailwright
