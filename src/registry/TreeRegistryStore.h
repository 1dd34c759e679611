#pragma once
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "registry/RegistryKeyNode.h"
#include "registry/RegistryStore.h"

namespace mailwright {

// The behaviour that every store over key trees shares: the roots (HKEY_CLASSES_ROOT is
// HKLM\Software\Classes overlaid by HKCU\Software\Classes), Wine's links, the 32-bit view
// of HKEY_LOCAL_MACHINE in a 64-bit prefix, and transactions. Every change is made in
// the trees at once and remembered, so that a transaction that ends without a commit,
// or whose save fails, leaves the trees as they were. A write outside a transaction is a
// transaction of its own. Subclasses say where the trees live and how they are saved.
class TreeRegistryStore : public RegistryStore {
public:
    LONG OpenKey(const RegistryKeyPath& key) override;
    LONG CreateKey(const RegistryKeyPath& key) override;
    LONG QueryValue(const RegistryKeyPath& key, std::u16string_view name, DWORD& type,
                    std::vector<std::uint8_t>& data) override;
    LONG SetValue(const RegistryKeyPath& key, std::u16string_view name, DWORD type,
                  std::span<const std::uint8_t> data) override;
    LONG DeleteValue(const RegistryKeyPath& key, std::u16string_view name) override;
    LONG EnumValue(const RegistryKeyPath& key, DWORD index, std::u16string& name, DWORD& type,
                   std::vector<std::uint8_t>& data) override;
    LONG EnumSubKey(const RegistryKeyPath& key, DWORD index, std::u16string& name) override;

    // The transaction belongs to the thread that began it, which must end it; other
    // threads' operations wait until it ends. Commit and Abandon on any other thread, or
    // without a transaction, do nothing (Commit returns ERROR_INVALID_FUNCTION).
    LONG BeginTransaction() override;
    LONG CommitTransaction() override;
    void AbandonTransaction() override;

protected:
    static constexpr int kUserHive = 0;
    static constexpr int kMachineHive = 1;
    using ChangedHives = bool[2];

    // The hive's top key as it is now; null, with the error code, when the hive cannot be read.
    virtual RegistryKeyNode* HiveRoot(int hive, LONG& error) = 0;
    // Makes sure the hive's tree holds the keys on the way to `path` and below it (the
    // walk may step into a Wow6432Node at any level); the error code when it cannot.
    virtual LONG PrepareKeys(int /*hive*/, std::span<const std::u16string> /*path*/) { return ERROR_SUCCESS; }
    // Makes sure the hive's tree holds all of its keys, before a change to it.
    virtual LONG PrepareWholeHive(int /*hive*/) { return ERROR_SUCCESS; }
    // Decodes a key that its hive holds only as text; the error code when it cannot be.
    virtual LONG DecodeKey(int /*hive*/, RegistryKeyNode& /*key*/) { return ERROR_SUCCESS; }
    // Makes sure the key's link flag is known.
    virtual void CheckLink(int /*hive*/, RegistryKeyNode& /*key*/) {}
    // The start of a transaction: what keeps other writers out. A failure is then the
    // answer to every change the transaction tries.
    virtual LONG LockHives() { return ERROR_SUCCESS; }
    // The code that refuses a change now, or ERROR_SUCCESS.
    virtual LONG ChangeRefusal() { return ERROR_SUCCESS; }
    // Saves the changed hives: all of them, or none and the reason.
    virtual LONG SaveHives(const ChangedHives& /*changed*/) { return ERROR_SUCCESS; }
    // The end of a transaction, whether it was saved or not.
    virtual void UnlockHives() {}
    // Whether HKEY_LOCAL_MACHINE has a 32-bit view (a 64-bit prefix).
    virtual bool IsWin64() = 0;

    // Whether the calling thread is inside a transaction (with the lock held).
    bool InTransaction() const { return m_transaction.depth > 0; }

    // Taken by every operation, and held by a transaction from its start to its end.
    std::recursive_mutex m_mutex;

public:
    struct Location {
        int hive = kUserHive;
        RegistryKeyNode* node = nullptr;
    };

private:
    struct Walk {
        bool view32 = false;
        bool create = false;
        int linkDepth = 0;
        // The names the walk that followed a link into this one goes on with after it.
        std::vector<std::u16string> then;
    };
    // A change to undo: a key added, or the content and flag a key had before.
    struct Undo {
        RegistryKeyNode* key = nullptr;
        bool added = false;
        std::unique_ptr<RegistryKeyContent> content;
        bool changed = false;
    };
    struct Transaction {
        int depth = 0;
        LONG lockError = ERROR_SUCCESS;
        bool changed[2] = {false, false};
        std::vector<Undo> undo;
    };

    LONG Locate(int hive, std::span<const std::u16string> components, Walk& walk, Location& out);
    // `next`: the names the walk descends after this key.
    LONG FollowLinks(Location& at, Walk& walk, std::span<const std::u16string> next);
    LONG Descend(Location& at, std::span<const std::u16string> names, Walk& walk);
    // The places of the key, the user's before the machine's for HKEY_CLASSES_ROOT.
    LONG LocateAll(const RegistryKeyPath& key, std::vector<Location>& found);
    LONG LocateForWrite(const RegistryKeyPath& key, bool create, Location& out);
    static std::vector<std::u16string> HivePath(const RegistryKeyPath& key);

    LONG Decode(const Location& at) { return DecodeKey(at.hive, *at.node); }
    // Runs one change in the open transaction, or in a transaction of its own.
    LONG Change(const std::function<LONG()>& change);
    // Asks whether a change may be made and remembers the key's state before it.
    LONG PrepareChange(const Location& at);
    void MarkChanged(const Location& at);
    void UndoChanges();
    void EndTransaction();

    Transaction m_transaction;
};

}  // namespace mailwright
