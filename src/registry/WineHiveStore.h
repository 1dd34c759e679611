#pragma once
#include <sys/stat.h>

#include <functional>
#include <memory>
#include <string>

#include "registry/TreeRegistryStore.h"
#include "registry/WineHive.h"

namespace mailwright {

// The registry of a Wine prefix: HKEY_CURRENT_USER in user.reg, HKEY_LOCAL_MACHINE in
// system.reg. A hive file is read when a key of it is first needed and kept while the
// file is unchanged on disk; its keys are indexed as lookups need them (all of them
// before the hive is changed), and a key's values are decoded when they are first used.
// A transaction (and every write outside one) holds a lock on the prefix folder from
// its start to its end, reads each hive at most once, and at its commit replaces each
// changed hive file whole and durably, once. While a wineserver runs the prefix,
// changes are refused with ERROR_SHARING_VIOLATION, since the server would write its
// own copy back over them: checked when the transaction starts and again just before
// the files are replaced. A hive whose header cannot be read as Wine's format fails
// every operation on it with ERROR_BADDB and is never written. Lines Wine skips or
// reads only in part are read as Wine reads them and kept. A key line with a NUL byte
// fails the same way every lookup that needs it and every change to its hive, and a key
// whose own lines hold one fails when it is used.
class WineHiveStore : public TreeRegistryStore {
public:
    explicit WineHiveStore(std::string prefixFolder);
    ~WineHiveStore() override;

    const std::string& PrefixFolder() const { return m_prefix; }
    // "win32" or "win64" as the hives say; empty when they do not.
    std::string Architecture();
    // Why a hive could not be read (file and line), empty when both could.
    std::string HiveProblem();
    // Reads both hive files anew, every key of them, and tells each line that Wine skips
    // or reads only in part, and each key that cannot be read, as "<file>: line N:
    // expected ...". False when a hive cannot be read at all (told the same way).
    bool ReadEveryKey(const std::function<void(const std::string&)>& tell);

protected:
    RegistryKeyNode* HiveRoot(int hive, LONG& error) override;
    LONG PrepareKeys(int hive, std::span<const std::u16string> path) override;
    LONG PrepareWholeHive(int hive) override;
    LONG DecodeKey(int hive, RegistryKeyNode& key) override;
    void CheckLink(int hive, RegistryKeyNode& key) override;
    LONG LockHives() override;
    LONG ChangeRefusal() override;
    LONG SaveHives(const ChangedHives& changed) override;
    void UnlockHives() override;
    bool IsWin64() override;

private:
    struct FileIdentity {
        bool exists = false;
        unsigned long long device = 0, inode = 0, size = 0;
        long long modifiedSeconds = 0, modifiedNanoseconds = 0, changedSeconds = 0, changedNanoseconds = 0;
        bool operator==(const FileIdentity&) const = default;
    };
    struct HiveFile {
        std::string path;
        std::string branch;  // the header's name of the branch, for a new file
        std::unique_ptr<WineHive> hive;
        LONG error = ERROR_SUCCESS;
        std::string problem;
        FileIdentity seen;
        bool known = false;
        bool readInTransaction = false;
    };

    void Refresh(HiveFile& file);
    static FileIdentity IdentityOf(const struct ::stat& st);

    std::string m_prefix;
    HiveFile m_files[2];
    int m_lockFd = -1;
    bool m_serverRunning = false;
};

}  // namespace mailwright
