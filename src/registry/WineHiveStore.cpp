#include "registry/WineHiveStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "registry/WineServer.h"
#include "support/LastError.h"
#include "support/VeskReplacementFile.h"

namespace mailwright {
namespace {

LONG CodeOf(int err) { return static_cast<LONG>(ErrnoToWinError(err)); }

// A hive's new text is written to "<hive>.mailwright-tmp": the name says whose file it is,
// and the prefix's lock, which a writer holds, makes it the only one, so one left behind by
// a writer that was killed is stale and the next writer removes it.
constexpr char kTemporarySuffix[] = ".mailwright-tmp";

VeskReplacementFile::Rules HiveReplacementRules() { return {kTemporarySuffix, true}; }

}  // namespace

WineHiveStore::WineHiveStore(std::string prefixFolder) : m_prefix(std::move(prefixFolder)) {
    m_files[kUserHive].path = m_prefix + "/user.reg";
    m_files[kUserHive].branch = "REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000";
    m_files[kMachineHive].path = m_prefix + "/system.reg";
    m_files[kMachineHive].branch = "REGISTRY\\\\Machine";
}

WineHiveStore::~WineHiveStore() {
    if (m_lockFd >= 0) ::close(m_lockFd);
}

WineHiveStore::FileIdentity WineHiveStore::IdentityOf(const struct ::stat& st) {
    FileIdentity id;
    id.exists = true;
    id.device = st.st_dev;
    id.inode = st.st_ino;
    id.size = static_cast<unsigned long long>(st.st_size);
    id.modifiedSeconds = st.st_mtim.tv_sec;
    id.modifiedNanoseconds = st.st_mtim.tv_nsec;
    id.changedSeconds = st.st_ctim.tv_sec;
    id.changedNanoseconds = st.st_ctim.tv_nsec;
    return id;
}

void WineHiveStore::Refresh(HiveFile& file) {
    struct stat st;
    if (::stat(file.path.c_str(), &st) != 0) {
        const int err = errno;
        FileIdentity missing;
        if (file.known && file.seen == missing && err == ENOENT) return;
        file.known = true;
        file.seen = missing;
        file.problem.clear();
        if (err == ENOENT) {
            // No file yet: no keys, and a first write makes it.
            file.hive = std::make_unique<WineHive>();
            file.error = ERROR_SUCCESS;
        } else {
            file.hive.reset();
            file.error = ERROR_CANTREAD;
            file.problem = file.path + ": cannot be read";
        }
        return;
    }
    if (file.known && file.seen == IdentityOf(st)) return;
    file.hive.reset();  // before the new one is read: the two need not be in memory at once
    file.problem.clear();
    const int fd = ::open(file.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0) ::close(fd);
        file.known = false;
        file.error = ERROR_CANTREAD;
        file.problem = file.path + ": cannot be read";
        return;
    }
    file.known = true;
    file.seen = IdentityOf(st);
    file.hive = std::make_unique<WineHive>();
    std::string error;
    if (!file.hive->OpenFile(fd, static_cast<size_t>(st.st_size), error)) {
        file.hive.reset();
        file.error = ERROR_BADDB;
        file.problem = file.path + ": " + error;
    } else {
        file.error = ERROR_SUCCESS;
    }
}

RegistryKeyNode* WineHiveStore::HiveRoot(int hive, LONG& error) {
    HiveFile& file = m_files[hive];
    // Within a transaction the lock keeps other writers out: one look at the file will do.
    if (!InTransaction() || !file.readInTransaction) Refresh(file);
    file.readInTransaction = InTransaction();
    if (!file.hive) {
        error = file.error != ERROR_SUCCESS ? file.error : ERROR_CANTREAD;
        return nullptr;
    }
    return &file.hive->Root();
}

LONG WineHiveStore::PrepareKeys(int hive, std::span<const std::u16string> path) {
    HiveFile& file = m_files[hive];
    std::string error;
    if (!file.hive || file.hive->IndexPath(path, error)) return ERROR_SUCCESS;
    file.problem = file.path + ": " + error;
    return ERROR_BADDB;
}

LONG WineHiveStore::PrepareWholeHive(int hive) {
    HiveFile& file = m_files[hive];
    std::string error;
    if (!file.hive || file.hive->IndexAll(error)) return ERROR_SUCCESS;
    file.problem = file.path + ": " + error;
    return ERROR_BADDB;
}

LONG WineHiveStore::DecodeKey(int hive, RegistryKeyNode& key) {
    if (!key.NeedsDecoding()) return ERROR_SUCCESS;
    HiveFile& file = m_files[hive];
    std::string error;
    if (file.hive && file.hive->Decode(key, error)) return ERROR_SUCCESS;
    file.problem = file.path + ": " + error;
    return ERROR_BADDB;
}

void WineHiveStore::CheckLink(int hive, RegistryKeyNode& key) {
    if (m_files[hive].hive) m_files[hive].hive->CheckLink(key);
}

bool WineHiveStore::IsWin64() { return Architecture() == "win64"; }

std::string WineHiveStore::Architecture() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    for (int hive : {kMachineHive, kUserHive}) {
        if (!m_files[hive].known) Refresh(m_files[hive]);
        if (m_files[hive].hive && !m_files[hive].hive->Arch().empty()) return m_files[hive].hive->Arch();
    }
    return {};
}

std::string WineHiveStore::HiveProblem() {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    std::string problems;
    for (HiveFile& file : m_files) {
        if (!InTransaction()) Refresh(file);
        if (file.problem.empty()) continue;
        if (!problems.empty()) problems += "; ";
        problems += file.problem;
    }
    return problems;
}

bool WineHiveStore::ReadEveryKey(const std::function<void(const std::string&)>& tell) {
    bool readable = true;
    for (const HiveFile& file : m_files) {
        const auto tellOfFile = [&](const std::string& what) { tell(file.path + ": " + what); };
        struct stat st;
        if (::stat(file.path.c_str(), &st) != 0 && errno == ENOENT) continue;  // no keys yet
        const int fd = ::open(file.path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            if (fd >= 0) ::close(fd);
            tellOfFile("cannot be read");
            readable = false;
            continue;
        }
        WineHive hive;
        hive.TellSkippedLines(tellOfFile);
        std::string error;
        if (!hive.ParseFile(fd, static_cast<size_t>(st.st_size), error)) {
            tellOfFile(error);
            readable = false;
            continue;
        }
        hive.DecodeEveryKey(tellOfFile);
    }
    return readable;
}

LONG WineHiveStore::LockHives() {
    m_serverRunning = false;
    m_lockFd = ::open(m_prefix.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_lockFd < 0) return CodeOf(errno);
    while (::flock(m_lockFd, LOCK_EX) != 0) {
        if (errno != EINTR) return CodeOf(errno);
    }
    m_serverRunning = IsWineServerRunning(m_prefix);
    for (const HiveFile& file : m_files) VeskReplacementFile::RemoveStale(file.path, kTemporarySuffix);
    return ERROR_SUCCESS;
}

LONG WineHiveStore::ChangeRefusal() { return m_serverRunning ? ERROR_SHARING_VIOLATION : ERROR_SUCCESS; }

LONG WineHiveStore::SaveHives(const ChangedHives& changed) {
    std::unique_ptr<VeskReplacementFile> written[2];
    for (int hive : {kUserHive, kMachineHive}) {
        HiveFile& file = m_files[hive];
        if (!changed[hive] || !file.hive) continue;
        if (const LONG code = PrepareWholeHive(hive); code != ERROR_SUCCESS) return code;
        if (!file.hive->HasText()) {
            const HiveFile& other = m_files[1 - hive];
            file.hive->SetNewHeader(file.branch, other.hive ? other.hive->Arch() : std::string());
        }
        // A file changed in place meanwhile (not by a writer of ours, which take the lock,
        // nor by Wine, which replaces it) is not ours to write over.
        if (!file.hive->TextUnchanged()) return ERROR_SHARING_VIOLATION;
        auto out = std::make_unique<VeskReplacementFile>(file.path, HiveReplacementRules());
        LONG code = static_cast<LONG>(out->Open());
        const auto write = [&](std::string_view piece) {
            return (code = static_cast<LONG>(out->Write(piece.data(), piece.size()))) == ERROR_SUCCESS;
        };
        if (code == ERROR_SUCCESS && !file.hive->Write(write)) return code;
        if (code == ERROR_SUCCESS) code = static_cast<LONG>(out->Finish());
        if (code != ERROR_SUCCESS) return code;
        written[hive] = std::move(out);
    }
    // A server that started meanwhile would write its own copy back over ours.
    if (IsWineServerRunning(m_prefix)) return ERROR_SHARING_VIOLATION;
    for (int hive : {kUserHive, kMachineHive}) {
        if (!written[hive]) continue;
        if (const LONG code = static_cast<LONG>(written[hive]->Replace()); code != ERROR_SUCCESS) return code;
        HiveFile& file = m_files[hive];
        struct stat st;
        if (::stat(file.path.c_str(), &st) == 0) file.seen = IdentityOf(st);
        else file.known = false;
    }
    return ERROR_SUCCESS;
}

void WineHiveStore::UnlockHives() {
    if (m_lockFd >= 0) ::close(m_lockFd);  // closing releases the lock
    m_lockFd = -1;
    m_serverRunning = false;
    for (HiveFile& file : m_files) file.readInTransaction = false;
}

}  // namespace mailwright
