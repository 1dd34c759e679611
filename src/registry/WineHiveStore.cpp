#include "registry/WineHiveStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "registry/WineServer.h"
#include "support/LastError.h"
#include "support/VeskFileWrite.h"

namespace mailwright {
namespace {

// The lock that serialises the read-modify-write of the prefix's hives between processes.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder) {
        m_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd < 0) {
            m_error = static_cast<LONG>(ErrnoToWinError(errno));
            return;
        }
        while (::flock(m_fd, LOCK_EX) != 0) {
            if (errno == EINTR) continue;
            m_error = static_cast<LONG>(ErrnoToWinError(errno));
            return;
        }
    }
    ~FolderLock() {
        if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    LONG Error() const { return m_error; }

private:
    int m_fd = -1;
    LONG m_error = ERROR_SUCCESS;
};

bool ReadAll(int fd, size_t size, std::string& text) {
    text.resize(size);
    size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, text.data() + done, size - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<size_t>(got);
    }
    char extra;
    return ::read(fd, &extra, 1) == 0;  // the file did not grow while it was read
}

}  // namespace

WineHiveStore::WineHiveStore(std::string prefixFolder) : m_prefix(std::move(prefixFolder)) {
    m_files[kUserHive].path = m_prefix + "/user.reg";
    m_files[kUserHive].branch = "REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000";
    m_files[kMachineHive].path = m_prefix + "/system.reg";
    m_files[kMachineHive].branch = "REGISTRY\\\\Machine";
}

WineHiveStore::~WineHiveStore() = default;

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
    const int fd = ::open(file.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
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
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        file.known = false;
        file.hive.reset();
        file.error = ERROR_CANTREAD;
        return;
    }
    const FileIdentity id = IdentityOf(st);
    if (file.known && file.seen == id) {
        ::close(fd);
        return;
    }
    std::string text;
    const bool read = ReadAll(fd, static_cast<size_t>(st.st_size), text);
    ::close(fd);
    file.known = read;
    file.seen = id;
    file.problem.clear();
    file.hive = std::make_unique<WineHive>();
    std::string error;
    if (!read) {
        file.hive.reset();
        file.error = ERROR_CANTREAD;
        file.problem = file.path + ": cannot be read";
    } else if (!file.hive->Parse(std::move(text), error)) {
        file.hive.reset();
        file.error = ERROR_BADDB;
        file.problem = file.path + ": " + error;
    } else {
        file.error = ERROR_SUCCESS;
    }
}

void WineHiveStore::RefreshHives() {
    for (HiveFile& file : m_files) Refresh(file);
}

RegistryKeyNode* WineHiveStore::HiveRoot(int hive, LONG& error) {
    HiveFile& file = m_files[hive];
    if (!file.hive) {
        error = file.error != ERROR_SUCCESS ? file.error : ERROR_CANTREAD;
        return nullptr;
    }
    return &file.hive->Root();
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
    RefreshHives();
    std::string problems;
    for (const HiveFile& file : m_files) {
        if (file.problem.empty()) continue;
        if (!problems.empty()) problems += "; ";
        problems += file.problem;
    }
    return problems;
}

LONG WineHiveStore::Save(HiveFile& file, const HiveFile& other) {
    if (!file.hive->HasText()) file.hive->SetNewHeader(file.branch, other.hive ? other.hive->Arch() : std::string());
    const std::string& text = file.hive->Render();
    VeskFileWrite out(VeskFileWrite::UnixPath{file.path});
    const bool saved = out.IsOpen() && out.Write(text.data(), text.size()) && out.Close();
    if (!saved) {
        const LONG code = static_cast<LONG>(GetLastError());
        file.known = false;  // what is in memory is not on disk: read the file again
        file.hive.reset();
        return code != ERROR_SUCCESS ? code : ERROR_CANTWRITE;
    }
    struct stat st;
    if (::stat(file.path.c_str(), &st) == 0) file.seen = IdentityOf(st);
    else file.known = false;
    return ERROR_SUCCESS;
}

LONG WineHiveStore::Modify(const std::function<LONG(ChangedHives&)>& change) {
    FolderLock lock(m_prefix);
    if (lock.Error() != ERROR_SUCCESS) return lock.Error();
    if (IsWineServerRunning(m_prefix)) return ERROR_SHARING_VIOLATION;
    RefreshHives();
    ChangedHives changed = {false, false};
    LONG code = change(changed);
    for (int hive : {kUserHive, kMachineHive}) {
        if (!changed[hive] || !m_files[hive].hive) continue;
        const LONG saved = Save(m_files[hive], m_files[1 - hive]);
        if (saved != ERROR_SUCCESS) code = saved;
    }
    return code;
}

}  // namespace mailwright
