// Wine's hive text over any bytes: text that reads is written back readable; what decodes
// reads the same when indexed path by path as the program reads hive files, and is
// written (as read, and with every key written anew the way Wine writes it) and read
// again to the same keys and values, and to the same times where Wine keeps them.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

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

// Key paths in the registry's order: names compared as the registry compares them.
struct PathBefore {
    bool operator()(const std::u16string& a, const std::u16string& b) const { return CompareRegistryNames(a, b) < 0; }
};
using Keys = std::map<std::u16string, KeyContent, PathBefore>;

// The same keys with the same content. A text may spell a key two ways (differing in
// case); the key is named as the text shows it first, which writing the hive may change.
bool SameKeys(const Keys& a, const Keys& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const auto& x, const auto& y) {
        return RegistryNamesEqual(x.first, y.first) && x.second == y.second;
    });
}

// Every key of the hive by its path, decoded; with `asWritten`, as they read back once
// the hive is written. Wine writes no lines for a key with subkeys but no values, class
// or link: such a key written anew shows only in its subkeys' paths, without its time.
Keys KeysOf(WineHive& hive, bool asWritten = false) {
    Keys keys;
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
void CheckReadsBackTo(WineHive& hive, const Keys& keys) {
    WineHive again;
    std::string error;
    FUZZ_CHECK(again.Parse(hive.Render(), error));
    FUZZ_CHECK(again.DecodeAll(error));
    FUZZ_CHECK(SameKeys(KeysOf(again), keys));
}

// The paths of up to `count` keys of the tree, spread over it, each as its names.
std::vector<std::vector<std::u16string>> SomePaths(const RegistryKeyNode& root, size_t count) {
    std::vector<std::vector<std::u16string>> all;
    std::vector<std::pair<const RegistryKeyNode*, std::vector<std::u16string>>> pending{{&root, {}}};
    while (!pending.empty()) {
        auto [node, path] = pending.back();
        pending.pop_back();
        if (!path.empty()) all.push_back(path);
        for (const RegistryKeyNode* sub : node->SubKeys()) {
            pending.emplace_back(sub, path);
            pending.back().second.emplace_back(sub->Name());
        }
    }
    if (all.size() <= count) return all;
    std::vector<std::vector<std::u16string>> some;
    for (size_t i = 0; i < count; ++i) some.push_back(all[i * all.size() / count]);
    return some;
}

RegistryKeyNode* Find(RegistryKeyNode& root, const std::vector<std::u16string>& path) {
    RegistryKeyNode* node = &root;
    for (size_t i = 0; node && i < path.size(); ++i) node = node->FindSubKey(path[i]);
    return node;
}

// The program's own reading of a hive file: held whole and indexed path by path as
// lookups ask for keys. A key a lookup asked for holds what it holds once every key line
// is read, and so does the whole hive once indexed in full.
void CheckReadAsTheProgramDoes(std::string_view text, WineHive& parsed, const Keys& keys) {
    const int fd = ::memfd_create("hive", MFD_CLOEXEC);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()));
    WineHive hive;
    std::string error;
    FUZZ_CHECK(hive.OpenFile(fd, text.size(), error));
    for (const std::vector<std::u16string>& path : SomePaths(parsed.Root(), 8)) {
        FUZZ_CHECK(hive.IndexPath(path, error));
        RegistryKeyNode* key = Find(hive.Root(), path);
        FUZZ_CHECK(key && hive.Decode(*key, error));
        hive.CheckLink(*key);
        std::u16string joined;
        for (const std::u16string& name : path) joined += u"\\" + name;
        FUZZ_CHECK((KeyContent{key->Values(), key->ClassName(), key->Modified(), key->isLink}) == keys.at(joined));
    }
    FUZZ_CHECK(hive.IndexAll(error));
    FUZZ_CHECK(SameKeys(KeysOf(hive), keys));
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
    CheckReadAsTheProgramDoes(text, hive, KeysOf(hive));
    CheckReadsBackTo(hive, KeysOf(hive, true));
    MarkEveryKeyChanged(hive.Root());
    CheckReadsBackTo(hive, KeysOf(hive, true));
    return 0;
}
