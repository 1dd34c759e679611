#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "support/WinTypes.h"

namespace mailwright {

class RegistryKeyTree;

struct RegistryValue {
    std::u16string name;
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;
    // The value's lines as read, when Wine reads them only in part (a malformed line):
    // a key written anew writes them again as they were while the value is unchanged.
    std::string keptText = {};

    bool operator==(const RegistryValue&) const = default;
};

// What a key holds besides its subkeys. A key read from a hive has none until it is
// decoded (WineHive::Decode); a key without text of its own holds nothing.
struct RegistryKeyContent {
    std::vector<RegistryValue> values;  // in Wine's name order
    std::uint64_t modified = 0;         // the last write, as a Windows FILETIME
    std::optional<std::u16string> className;
    // Lines Wine skips (a value without a readable name, an unknown line, a key line that
    // cannot be read and what follows it), kept as read for a key written anew.
    std::string keptLines;
};

// Wine's order of key and value names: compared unit by unit lower-cased through Wine's
// own table (WineCaseTable.h), on a tie the shorter first.
int CompareRegistryNames(std::u16string_view a, std::u16string_view b);
bool RegistryNamesEqual(std::u16string_view a, std::u16string_view b);

// Now as a Windows FILETIME (100 ns ticks since 1601).
std::uint64_t RegistryTimeNow();

// One key of a tree: its subkeys, kept in Wine's name order, and its content. Keys are
// made by their tree (RegistryKeyTree) and live as long as it does.
class RegistryKeyNode {
public:
    RegistryKeyNode(RegistryKeyTree& tree, std::u16string_view name, RegistryKeyNode* parent);
    RegistryKeyNode(const RegistryKeyNode&) = delete;
    RegistryKeyNode& operator=(const RegistryKeyNode&) = delete;

    std::u16string_view Name() const { return m_name; }
    RegistryKeyNode* Parent() const { return m_parent; }
    size_t Depth() const;

    RegistryKeyNode* FindSubKey(std::u16string_view name) const;
    // Adds a subkey that must not exist yet; it holds nothing and was written at `modified`
    // (0: not known yet).
    RegistryKeyNode& AddSubKey(std::u16string_view name, std::uint64_t modified);
    // Takes a subkey out of the tree again (a change undone).
    void RemoveSubKey(const RegistryKeyNode& subkey);
    // Spells the key's name another way: the same name without regard to case.
    void Respell(std::u16string_view name);
    std::span<RegistryKeyNode* const> SubKeys() const { return {m_subkeys, m_subkeyCount}; }

    // True for a key read from a hive whose content has not been decoded yet; the
    // content operations below need it decoded.
    bool NeedsDecoding() const { return !m_content && textLength > 0; }
    const std::vector<RegistryValue>& Values() const;
    const RegistryValue* FindValue(std::u16string_view name) const;
    // Sets a value; true when a value of that name was replaced.
    bool SetValue(std::u16string_view name, DWORD type, std::vector<std::uint8_t> data);
    bool DeleteValue(std::u16string_view name);
    // Sets a value as read from a hive, its kept text and all.
    void PutValue(RegistryValue value);
    const std::string& KeptLines() const;
    void KeepLines(std::string_view lines) { Content().keptLines += lines; }
    std::uint64_t Modified() const { return m_content ? m_content->modified : 0; }
    void SetModified(std::uint64_t time) { Content().modified = time; }
    const std::optional<std::u16string>& ClassName() const;
    void SetClassName(std::optional<std::u16string> name) { Content().className = std::move(name); }

    // The whole content, for a change to be undone; null when the key holds nothing.
    std::unique_ptr<RegistryKeyContent> CopyContent() const;
    void SetContent(std::unique_ptr<RegistryKeyContent> content) { m_content = std::move(content); }

    // Wine's #link: the key stands for the key its SymbolicLinkValue names. Not known yet
    // (`linkUnknown`) for a key read from a hive and not looked at since.
    bool isLink = false;
    bool linkUnknown = false;
    // Where the key's own lines lie in the hive text it was read from, while it is
    // unchanged since; `changed` keys are written anew.
    bool changed = false;
    std::uint32_t textLength = 0;
    std::size_t textOffset = 0;

private:
    RegistryKeyContent& Content();

    RegistryKeyTree& m_tree;
    RegistryKeyNode* m_parent;
    std::u16string_view m_name;  // kept by the tree
    RegistryKeyNode** m_subkeys = nullptr;  // kept by the tree, in name order
    std::uint32_t m_subkeyCount = 0;
    std::uint32_t m_subkeyCapacity = 0;
    std::unique_ptr<RegistryKeyContent> m_content;
};

}  // namespace mailwright
