#include "registry/TreeRegistryStore.h"

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

// The item at `index` of the places' lists merged in name order, the first place's
// item hiding a later one of the same name; null past the end. Each list is sorted.
template <class Item, class ListOf, class NameOf>
const Item* MergedAt(const std::vector<TreeRegistryStore::Location>& places, DWORD index, ListOf listOf,
                     NameOf nameOf) {
    if (places.size() == 1) {
        const auto& list = listOf(*places[0].node);
        return index < list.size() ? &list[index] : nullptr;
    }
    std::vector<std::pair<const Item*, const Item*>> ranges;
    for (const auto& place : places) {
        const auto& list = listOf(*place.node);
        ranges.emplace_back(list.data(), list.data() + list.size());
    }
    for (DWORD at = 0;; ++at) {
        const Item* next = nullptr;
        for (const auto& [begin, end] : ranges)
            if (begin != end && (!next || CompareRegistryNames(nameOf(*begin), nameOf(*next)) < 0)) next = begin;
        if (!next) return nullptr;
        const std::u16string_view name = nameOf(*next);
        if (at == index) return next;
        for (auto& [begin, end] : ranges)
            if (begin != end && RegistryNamesEqual(nameOf(*begin), name)) ++begin;
    }
}

std::vector<std::u16string> Joined(std::span<const std::u16string> first, std::span<const std::u16string> second) {
    std::vector<std::u16string> names(first.begin(), first.end());
    names.insert(names.end(), second.begin(), second.end());
    return names;
}

void Touch(RegistryKeyNode& node) {
    node.SetModified(RegistryTimeNow());
    node.changed = true;
}

bool SameData(const RegistryValue& value, DWORD type, std::span<const std::uint8_t> data) {
    return value.type == type && std::equal(value.data.begin(), value.data.end(), data.begin(), data.end());
}

}  // namespace

std::vector<std::u16string> TreeRegistryStore::HivePath(const RegistryKeyPath& key) {
    if (key.root != RegistryRoot::ClassesRoot) return key.components;
    std::vector<std::u16string> path{u"Software", u"Classes"};
    path.insert(path.end(), key.components.begin(), key.components.end());
    return path;
}

LONG TreeRegistryStore::FollowLinks(Location& at, Walk& walk, std::span<const std::u16string> next) {
    for (;;) {
        CheckLink(at.hive, *at.node);
        if (!at.node->isLink) break;
        if (++walk.linkDepth > kMaxLinkDepth) return ERROR_FILE_NOT_FOUND;
        if (const LONG code = Decode(at); code != ERROR_SUCCESS) return code;
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
        Walk target{false, false, walk.linkDepth, Joined(next, walk.then)};
        Location found;
        const LONG code =
            Locate(hive, std::span<const std::u16string>(parts).subspan(skip), target, found);
        if (code != ERROR_SUCCESS) return code;
        walk.linkDepth = target.linkDepth;
        at = found;
    }
    return ERROR_SUCCESS;
}

LONG TreeRegistryStore::Descend(Location& at, std::span<const std::u16string> names, Walk& walk) {
    const std::u16string& name = names.front();
    // A 32-bit program in a 64-bit prefix passes through each Wow6432Node on its way.
    if (walk.view32 && at.hive == kMachineHive && !RegistryNamesEqual(name, kWow6432Node) && IsWin64()) {
        if (RegistryKeyNode* wow = at.node->FindSubKey(kWow6432Node)) {
            at.node = wow;
            if (const LONG code = FollowLinks(at, walk, names); code != ERROR_SUCCESS) return code;
        }
    }
    RegistryKeyNode* child = at.node->FindSubKey(name);
    if (!child) {
        if (!walk.create) return ERROR_FILE_NOT_FOUND;
        if (name.size() > kMaxKeyNameLength || at.node->Depth() + 1 > kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
        if (const LONG code = PrepareChange(at); code != ERROR_SUCCESS) return code;
        child = at.node->FindSubKey(name);  // the whole hive is there now
    }
    if (!child) {
        child = &at.node->AddSubKey(name, RegistryTimeNow());
        child->changed = true;
        m_transaction.undo.push_back(Undo{child, true, nullptr, false});
        MarkChanged(at);
    }
    at.node = child;
    return FollowLinks(at, walk, names.subspan(1));
}

LONG TreeRegistryStore::Locate(int hive, std::span<const std::u16string> components, Walk& walk, Location& out) {
    LONG error = ERROR_SUCCESS;
    Location at{hive, HiveRoot(hive, error)};
    if (!at.node) return error;
    const LONG prepared = walk.then.empty() ? PrepareKeys(hive, components) : PrepareKeys(hive, Joined(components, walk.then));
    if (prepared != ERROR_SUCCESS) return prepared;
    for (size_t level = 0; level < components.size(); ++level)
        if (const LONG code = Descend(at, components.subspan(level), walk); code != ERROR_SUCCESS) return code;
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
        Walk walk{!key.nativeView, false, 0, {}};
        Location at;
        const LONG code = Locate(hive, path, walk, at);
        if (code == ERROR_SUCCESS) found.push_back(at);
        else if (failure == ERROR_FILE_NOT_FOUND) failure = code;
    }
    return found.empty() ? failure : ERROR_SUCCESS;
}

LONG TreeRegistryStore::LocateForWrite(const RegistryKeyPath& key, bool create, Location& out) {
    const std::vector<std::u16string> path = HivePath(key);
    Walk walk{!key.nativeView, false, 0, {}};
    if (key.root == RegistryRoot::ClassesRoot) {
        // A class key the user has is changed there; any other lives in the machine's classes.
        if (Locate(kUserHive, path, walk, out) == ERROR_SUCCESS) return ERROR_SUCCESS;
        walk = Walk{!key.nativeView, create, 0, {}};
        return Locate(kMachineHive, path, walk, out);
    }
    walk.create = create;
    return Locate(key.root == RegistryRoot::CurrentUser ? kUserHive : kMachineHive, path, walk, out);
}

LONG TreeRegistryStore::OpenKey(const RegistryKeyPath& key) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    std::vector<Location> found;
    return LocateAll(key, found);
}

LONG TreeRegistryStore::CreateKey(const RegistryKeyPath& key) {
    return Change([&] {
        Location at;
        return LocateForWrite(key, true, at);
    });
}

LONG TreeRegistryStore::QueryValue(const RegistryKeyPath& key, std::u16string_view name, DWORD& type,
                                   std::vector<std::uint8_t>& data) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    std::vector<Location> found;
    if (const LONG code = LocateAll(key, found); code != ERROR_SUCCESS)
        return code == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : code;
    for (const Location& at : found) {
        if (const LONG code = Decode(at); code != ERROR_SUCCESS) return code;
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
    return Change([&] {
        Location at;
        if (const LONG code = LocateForWrite(key, false, at); code != ERROR_SUCCESS)
            return code == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : code;
        if (const LONG code = Decode(at); code != ERROR_SUCCESS) return code;
        // A value set to what it holds is no change: no save, no new time, as in Wine.
        if (const RegistryValue* old = at.node->FindValue(name); old && SameData(*old, type, data)) return ERROR_SUCCESS;
        if (const LONG code = PrepareChange(at); code != ERROR_SUCCESS) return code;
        at.node->SetValue(name, type, std::vector<std::uint8_t>(data.begin(), data.end()));
        MarkChanged(at);
        return ERROR_SUCCESS;
    });
}

LONG TreeRegistryStore::DeleteValue(const RegistryKeyPath& key, std::u16string_view name) {
    return Change([&] {
        std::vector<Location> found;
        if (const LONG code = LocateAll(key, found); code != ERROR_SUCCESS)
            return code == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : code;
        for (const Location& at : found) {
            if (const LONG code = Decode(at); code != ERROR_SUCCESS) return code;
            if (!at.node->FindValue(name)) continue;
            if (const LONG code = PrepareChange(at); code != ERROR_SUCCESS) return code;
            at.node->DeleteValue(name);
            MarkChanged(at);
            return ERROR_SUCCESS;
        }
        return ERROR_FILE_NOT_FOUND;
    });
}

LONG TreeRegistryStore::EnumValue(const RegistryKeyPath& key, DWORD index, std::u16string& name, DWORD& type,
                                  std::vector<std::uint8_t>& data) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    std::vector<Location> found;
    if (const LONG code = LocateAll(key, found); code != ERROR_SUCCESS)
        return code == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : code;
    for (const Location& at : found)
        if (const LONG code = Decode(at); code != ERROR_SUCCESS) return code;
    // The user's class values hide the machine's of the same name.
    const RegistryValue* value = MergedAt<RegistryValue>(
        found, index, [](const RegistryKeyNode& node) -> const std::vector<RegistryValue>& { return node.Values(); },
        [](const RegistryValue& v) -> std::u16string_view { return v.name; });
    if (!value) return ERROR_NO_MORE_ITEMS;
    name = value->name;
    type = value->type;
    data = value->data;
    return ERROR_SUCCESS;
}

LONG TreeRegistryStore::EnumSubKey(const RegistryKeyPath& key, DWORD index, std::u16string& name) {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    std::vector<Location> found;
    if (const LONG code = LocateAll(key, found); code != ERROR_SUCCESS)
        return code == ERROR_FILE_NOT_FOUND ? ERROR_KEY_DELETED : code;
    // The class keys of both places in name order; the user's name wins a tie.
    RegistryKeyNode* const* subkey = MergedAt<RegistryKeyNode*>(
        found, index, [](const RegistryKeyNode& node) { return node.SubKeys(); },
        [](const RegistryKeyNode* k) -> std::u16string_view { return k->Name(); });
    if (!subkey) return ERROR_NO_MORE_ITEMS;
    name = (*subkey)->Name();
    return ERROR_SUCCESS;
}

LONG TreeRegistryStore::BeginTransaction() {
    m_mutex.lock();  // held until the transaction ends
    if (m_transaction.depth++ == 0) {
        m_transaction.lockError = ERROR_SUCCESS;
        m_transaction.changed[kUserHive] = m_transaction.changed[kMachineHive] = false;
        m_transaction.lockError = LockHives();
    }
    return m_transaction.lockError;
}

LONG TreeRegistryStore::CommitTransaction() {
    // Only the thread that holds the transaction gets the lock here.
    if (!m_mutex.try_lock()) return ERROR_INVALID_FUNCTION;
    std::lock_guard<std::recursive_mutex> lock(m_mutex, std::adopt_lock);
    if (m_transaction.depth == 0) return ERROR_INVALID_FUNCTION;
    LONG code = ERROR_SUCCESS;
    if (m_transaction.depth == 1 && (m_transaction.changed[kUserHive] || m_transaction.changed[kMachineHive])) {
        code = SaveHives(m_transaction.changed);
        if (code != ERROR_SUCCESS) UndoChanges();
    }
    EndTransaction();
    return code;
}

void TreeRegistryStore::AbandonTransaction() {
    if (!m_mutex.try_lock()) return;
    std::lock_guard<std::recursive_mutex> lock(m_mutex, std::adopt_lock);
    if (m_transaction.depth == 0) return;
    if (m_transaction.depth == 1) UndoChanges();
    EndTransaction();
}

void TreeRegistryStore::EndTransaction() {
    if (--m_transaction.depth == 0) {
        m_transaction.undo.clear();
        UnlockHives();
    }
    m_mutex.unlock();  // the level that BeginTransaction took
}

void TreeRegistryStore::UndoChanges() {
    for (auto it = m_transaction.undo.rbegin(); it != m_transaction.undo.rend(); ++it) {
        if (it->added) {
            it->key->Parent()->RemoveSubKey(*it->key);
        } else {
            it->key->SetContent(std::move(it->content));
            it->key->changed = it->changed;
        }
    }
    m_transaction.undo.clear();
    m_transaction.changed[kUserHive] = m_transaction.changed[kMachineHive] = false;
}

LONG TreeRegistryStore::Change(const std::function<LONG()>& change) {
    BeginTransaction();
    const LONG code = change();
    if (code != ERROR_SUCCESS) {
        AbandonTransaction();  // only a transaction of its own: an open one goes on
        return code;
    }
    return CommitTransaction();
}

LONG TreeRegistryStore::PrepareChange(const Location& at) {
    if (m_transaction.lockError != ERROR_SUCCESS) return m_transaction.lockError;
    if (const LONG code = ChangeRefusal(); code != ERROR_SUCCESS) return code;
    if (const LONG code = PrepareWholeHive(at.hive); code != ERROR_SUCCESS) return code;
    if (const LONG code = Decode(at); code != ERROR_SUCCESS) return code;
    for (const Undo& undo : m_transaction.undo)
        if (undo.key == at.node && !undo.added) return ERROR_SUCCESS;
    m_transaction.undo.push_back(Undo{at.node, false, at.node->CopyContent(), at.node->changed});
    return ERROR_SUCCESS;
}

void TreeRegistryStore::MarkChanged(const Location& at) {
    Touch(*at.node);
    m_transaction.changed[at.hive] = true;
}

}  // namespace mailwright
