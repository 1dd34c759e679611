// Wine's hive text over any bytes: text that reads is written back readable, and what
// decodes is written (as read, and with every key written anew the way Wine writes it)
// and read again to the same keys and values, and to the same times where Wine keeps them.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "registry/WineHive.h"

using namespace mailwright;

namespace {

struct KeyContent {
    std::vector<RegistryValue> values;
    std::optional<std::u16string> className;
    std::uint64_t modified = 0;
    bool isLink = false;

    bool operator==(const KeyContent&) const = default;
};

// Every key of the hive by its path, decoded.
std::map<std::u16string, KeyContent> KeysOf(WineHive& hive) {
    std::map<std::u16string, KeyContent> keys;
    std::vector<std::pair<RegistryKeyNode*, std::u16string>> pending{{&hive.Root(), u""}};
    std::string error;
    while (!pending.empty()) {
        auto [node, path] = pending.back();
        pending.pop_back();
        FUZZ_CHECK(hive.Decode(*node, error));
        hive.CheckLink(*node);
        keys[path] = {node->Values(), node->ClassName(), node->Modified(), node->isLink};
        for (RegistryKeyNode* sub : node->SubKeys()) pending.emplace_back(sub, path + u"\\" + std::u16string(sub->Name()));
    }
    return keys;
}

void MarkEveryKeyChanged(RegistryKeyNode& node) {
    if (node.textLength > 0) node.changed = true;
    for (RegistryKeyNode* sub : node.SubKeys()) MarkEveryKeyChanged(*sub);
}

// Wine writes no lines for a key with subkeys but no values, class or link: it shows
// only in its subkeys' paths, so once written anew its time reads back as not known.
std::map<std::u16string, KeyContent> AsWrittenAnew(std::map<std::u16string, KeyContent> keys) {
    for (auto& [path, key] : keys) {
        const std::u16string below = path + u"\\";
        const auto next = keys.lower_bound(below);
        const bool hasSubKeys = next != keys.end() && next->first.starts_with(below);
        if (hasSubKeys && key.values.empty() && !key.className && !key.isLink) key.modified = 0;
    }
    return keys;
}

// The hive's text read again, decoded in full.
void CheckReadsBackTo(WineHive& hive, const std::map<std::u16string, KeyContent>& keys) {
    WineHive again;
    std::string error;
    FUZZ_CHECK(again.Parse(hive.Render(), error));
    FUZZ_CHECK(again.DecodeAll(error));
    FUZZ_CHECK(KeysOf(again) == keys);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    WineHive hive;
    std::string error;
    if (!hive.Parse(text, error)) return 0;
    if (!hive.DecodeAll(error)) {
        // A damaged key stays as it was read: the hive still writes back readable.
        WineHive again;
        FUZZ_CHECK(again.Parse(hive.Render(), error));
        return 0;
    }
    const auto keys = KeysOf(hive);
    CheckReadsBackTo(hive, keys);
    MarkEveryKeyChanged(hive.Root());
    CheckReadsBackTo(hive, AsWrittenAnew(keys));
    return 0;
}
