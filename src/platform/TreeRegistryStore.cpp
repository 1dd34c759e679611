#include "platform/TreeRegistryStore.h"

#include <algorithm>

namespace mailwright {
namespace {

constexpr std::u16string_view kWow6432Node = u"Wow6432Node";
constexpr std::u16string_view kSymbolicLinkValue = u"SymbolicLinkValue";
constexpr int kMaxLinkDepth = 16;
// Windows' limits: key names of 255 characters, 512 levels, value names of 16383.
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxKeyDepth = 512;
constexpr size_t kMaxValueNameLength = 16383;

std::u16string FromUtf16Bytes(const std::vector<std::uint8_t>& data) {
    std::u16string text(data.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    while (!text.empty() && text.back() == u'\0') text.pop_back();
    return text;
}

std::vector<std::u16string> SplitLinkTarget(const std::u16string& target) {
    std::vector<std::u16string> parts;
    std::u16string current;
    for (char16_t c : target) {
        if (c == u'\\') {
            if (!current.empty()) parts.push_back(std::move(current));
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) parts.push_back(std::move(current));
    return parts;
}

void Touch(RegistryKeyNode& node) {
    node.modified = RegistryTimeNow();
    node.changed = true;
}

// The name at `index`: each place keeps its names in order; the names of the two places
// of a class key are merged in name order, and the user's name wins a tie.
LONG NameAt(std::vector<const std::u16string*> names, size_t places, DWORD index, std::u16string& name) {
    if (places > 1) {
        std::stable_sort(names.begin(), names.end(), [](const std::u16string* a, const std::u16string* b) {
            return CompareRegistryNames(*a, *b) < 0;
        });
        names.erase(std::unique(names.begin(), names.end(),
                                [](const std::u16string* a, const std::u16string* b) {
                                    return RegistryNamesEqual(*a, *b);
                                }),
                    names.end());
    }
    if (index >= names.size()) return ERROR_NO_MORE_ITEMS;
    name = *names[index];
    return ERROR_SUCCESS;
}

}  // namespace

std::vector<std::u16string> TreeRegistryStore::HivePath(const RegistryKeyPath& key) {
    if (key.root != RegistryRoot::ClassesRoot) return key.components;
    std::vector<std::u16string> path{u"Software", u"Classes"};
    path.insert(path.end(), key.components.begin(), key.components.end());
    return path;
}

LONG TreeRegistryStore::FollowLinks(Location& at, Walk& walk) {
    while (at.node->isLink) {
        if (++walk.linkDepth > kMaxLinkDepth) return ERROR_FILE_NOT_FOUND;
        const RegistryValue* link = at.node->FindValue(kSymbolicLinkValue);
        if (!link || link->type != REG_LINK) return ERROR_FILE_NOT_FOUND;
        std::vector<std::u16string> parts = SplitLinkTarget(FromUtf16Bytes(link->data));
        // \Registry\Machine\<path> or \Registry\User\<SID>\<path>
        if (parts.size() < 2 || !RegistryNamesEqual(parts[0], u"Registry")) return ERROR_FILE_NOT_FOUND;
        int hive;
        size_t skip;
        if (RegistryNamesEqual(parts[1], u"Machine")) {
            hive = kMachineHive;
            skip = 2;
        } else if (RegistryNamesEqual(parts[1], u"User") && parts.size() >= 3) {
            hive = kUserHive;
            skip = 3;
        } else {
            return ERROR_FILE_NOT_FOUND;
        }
        Walk target{false, false, nullptr, walk.linkDepth};
        Location found;
        const LONG code =
            Locate(hive, std::span<const std::u16string>(parts).subspan(skip), target, found);
        if (code != ERROR_SUCCESS) return code;
        walk.linkDepth = target.linkDepth;
        at = found;
    }
    return ERROR_SUCCESS;
}

LONG TreeRegistryStore::Descend(Location& at, const std::u16string& name, Walk& walk) {
    // A 32-bit program in a 64-bit prefix passes through each Wow6432Node on its way.
    if (walk.view32 && at.hive == kMachineHive && !RegistryNamesEqual(name, kWow6432Node) && IsWin64()) {
        if (RegistryKeyNode* wow = at.node->FindSubKey(kWow6432Node)) {
            at.node = wow;
            if (const LONG code = FollowLinks(at, walk); code != ERROR_SUCCESS) return code;
        }
    }
    RegistryKeyNode* child = at.node->FindSubKey(name);
    if (!child) {
        if (!walk.create) return ERROR_FILE_NOT_FOUND;
        if (name.size() > kMaxKeyNameLength || at.node->Depth() + 1 > kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
        child = &at.node->AddSubKey(name, RegistryTimeNow());
        child->changed = true;
        Touch(*at.node);
        (*walk.changed)[at.hive] = true;
    }
    at.node = child;
    return FollowLinks(at, walk);
}

LONG TreeRegistryStore::Locate(int hive, std::span<const std::u16string> components, Walk& walk, Location& out) {
    LONG error = ERROR_SUCCESS;
    Location at{hive, HiveRoot(hive, error)};
    if (!at.node) return error;
    for (const std::u16string& name : components)
        if (const LONG code = Descend(at, name, walk); code != ERROR_SUCCESS) return code;
    out = at;
    return ERROR_SUCCESS;
}

LONG TreeRegistryStore::LocateAll(const RegistryKeyPath& key, std::vector<Location>& found) {
    const std::vector<std::u16string> path = HivePath(key);
    std::vector<int> hives;
    if (key.root != RegistryRoot::LocalMachine) hives.push_back(kUserHive);
    if (key.root != RegistryRoot::CurrentUser) hives.push_back(kMachineHive);
    LONG failure = ERROR_FILE_NOT_FOUND;
    for (int hive : hives) {
        Walk walk{!key.nativeView, false, nullptr, 0};
        Location at;
        const LONG code = Locate(hive, path, walk, at);
        if (code == ERROR_SUCCESS) found.push_back(at);
        else if (failure == ERROR_FILE_NOT_FOUND) failure = code;
    }
    return found.empty() ? failure : ERROR_SUCCESS;
}

LONG TreeRegistryStore::LocateForWrite(const RegistryKeyPath& key, bool create, ChangedHives& changed, Location& out) {
    const std::vector<std::u16string> path = HivePath(key);
    Walk walk{!key.nativeView, false, &changed, 0};
    if (key.root == RegistryRoot::ClassesRoot) {
        // A class key the user has is changed there; any other lives in the machine's classes.
        if (Locate(kUserHive, path, walk, out) == ERROR_SUCCESS) return ERROR_SUCCESS;
        walk = Walk{!key.nativeView, create, &changed, 0};
        return Locate(kMachineHive, path, walk, out);
    }
    walk.create = create;
    return Locate(key.root == RegistryRoot::CurrentUser ? kUserHive : kMachineHive, path, walk, out);
}

LONG TreeRegistryStore::OpenKey(const RegistryKeyPath& key) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    RefreshHives();
    std::vector<Location> found;
    return LocateAll(key, found);
}

LONG TreeRegistryStore::CreateKey(const RegistryKeyPath& key) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return Modify([&](ChangedHives& changed) {
        Location at;
        return LocateForWrite(key, true, changed, at);
    });
}

LONG TreeRegistryStore::QueryValue(const RegistryKeyPath& key, std::u16string_view name, DWORD& type,
                                   std::vector<std::uint8_t>& data) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    RefreshHives();
    std::vector<Location> found;
    if (const LONG code = LocateAll(key, found); code != ERROR_SUCCESS)
        return code == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : code;
    for (const Location& at : found) {
        if (const RegistryValue* value = at.node->FindValue(name)) {
            type = value->type;
            data = value->data;
            return ERROR_SUCCESS;
        }
    }
    return ERROR_FILE_NOT_FOUND;
}

LONG TreeRegistryStore::SetValue(const RegistryKeyPath& key, std::u16string_view name, DWORD type,
                                 std::span<const std::uint8_t> data) {
    if (name.size() > kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return Modify([&](ChangedHives& changed) {
        Location at;
        if (const LONG code = LocateForWrite(key, false, changed, at); code != ERROR_SUCCESS)
            return code == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : code;
        at.node->SetValue(name, type, std::vector<std::uint8_t>(data.begin(), data.end()));
        Touch(*at.node);
        changed[at.hive] = true;
        return ERROR_SUCCESS;
    });
}

LONG TreeRegistryStore::DeleteValue(const RegistryKeyPath& key, std::u16string_view name) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return Modify([&](ChangedHives& changed) {
        std::vector<Location> found;
        if (const LONG code = LocateAll(key, found); code != ERROR_SUCCESS)
            return code == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : code;
        for (const Location& at : found) {
            if (at.node->DeleteValue(name)) {
                Touch(*at.node);
                changed[at.hive] = true;
                return ERROR_SUCCESS;
            }
        }
        return ERROR_FILE_NOT_FOUND;
    });
}

LONG TreeRegistryStore::EnumSubKey(const RegistryKeyPath& key, DWORD index, std::u16string& name) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    RefreshHives();
    std::vector<Location> found;
    if (const LONG code = LocateAll(key, found); code != ERROR_SUCCESS)
        return code == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : code;
    std::vector<const std::u16string*> names;
    for (const Location& at : found)
        for (const auto& subkey : at.node->SubKeys()) names.push_back(&subkey->Name());
    return NameAt(std::move(names), found.size(), index, name);
}

LONG TreeRegistryStore::EnumValue(const RegistryKeyPath& key, DWORD index, std::u16string& name) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    RefreshHives();
    std::vector<Location> found;
    if (const LONG code = LocateAll(key, found); code != ERROR_SUCCESS)
        return code == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : code;
    std::vector<const std::u16string*> names;
    for (const Location& at : found)
        for (const RegistryValue& value : at.node->Values()) names.push_back(&value.name);
    return NameAt(std::move(names), found.size(), index, name);
}

}  // namespace mailwright
