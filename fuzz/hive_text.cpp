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

// Every key of the hive by its path, decoded; with `asWritten`, as they read back once
// the hive is written. Wine writes no lines for a key with subkeys but no values, class
// or link: such a key written anew shows only in its subkeys' paths, without its time.
std::map<std::u16string, KeyContent> KeysOf(WineHive& hive, bool asWritten = false) {
    std::map<std::u16string, KeyContent> keys;
    std::vector<std::pair<RegistryKeyNode*, std::u16string>> pending{{&hive.Root(), u""}};
    std::string error;
    while (!pending.empty()) {
        auto [node, path] = pending.back();
        pending.pop_back();
        FUZZ_CHECK(hive.Decode(*node, error));
        hive.CheckLink(*node);
        KeyContent& key = keys[path] = {node->Values(), node->ClassName(), node->Modified(), node->isLink};
        if (asWritten && node->changed && !node->SubKeys().empty() && key.values.empty() && !key.className && !key.isLink)
            key.modified = 0;
        for (RegistryKeyNode* sub : node->SubKeys()) pending.emplace_back(sub, path + u"\\" + std::u16string(sub->Name()));
    }
    return keys;
}

void MarkEveryKeyChanged(RegistryKeyNode& node) {
    if (node.textLength > 0) node.changed = true;
    for (RegistryKeyNode* sub : node.SubKeys()) MarkEveryKeyChanged(*sub);
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
    CheckReadsBackTo(hive, KeysOf(hive, true));
    MarkEveryKeyChanged(hive.Root());
    CheckReadsBackTo(hive, KeysOf(hive, true));
    return 0;
}
