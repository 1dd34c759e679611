#include "support/VeskReplacementFile.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <vector>

#include "support/LastError.h"

namespace mailwright {
namespace {

// As many links as the kernel follows in one path before it gives up with ELOOP.
constexpr int kMaxLinks = 40;
constexpr int kUniqueNameAttempts = 100;

DWORD CodeOf(int err) { return ErrnoToWinError(err); }

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Six characters as mkstemp would choose them. The file is then created with O_EXCL and
// mode 0666, so that the user's umask applies as to any new file.
std::string RandomSuffix() {
    static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, sizeof(kLetters) - 2);
    std::string suffix = ".";
    for (int i = 0; i < 6; ++i) suffix += kLetters[pick(generator)];
    return suffix;
}

int CreateExclusive(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

void SyncFolderOf(const std::string& path) {
    const int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return;
    ::fsync(folder);
    ::close(folder);
}

}  // namespace

VeskReplacementFile::VeskReplacementFile(std::string path, Rules rules)
    : m_path(std::move(path)), m_rules(std::move(rules)) {}

VeskReplacementFile::~VeskReplacementFile() { Discard(); }

DWORD VeskReplacementFile::ResolveLinks(const std::string& path, std::string& target) {
    target = path;
    std::vector<char> buffer(PATH_MAX);
    for (int hop = 0; hop <= kMaxLinks; ++hop) {
        const ssize_t length = ::readlink(target.c_str(), buffer.data(), buffer.size());
        // EINVAL: not a link. ENOENT: nothing there yet, the file is made where the path leads.
        if (length < 0) return errno == EINVAL || errno == ENOENT ? ERROR_SUCCESS : CodeOf(errno);
        if (static_cast<size_t>(length) == buffer.size()) return ERROR_FILENAME_EXCED_RANGE;
        const std::string link(buffer.data(), static_cast<size_t>(length));
        target = link.starts_with('/') ? link : FolderOf(target) + "/" + link;
    }
    return ERROR_CANT_RESOLVE_FILENAME;
}

void VeskReplacementFile::RemoveStale(const std::string& path, const std::string& fixedSuffix) {
    std::string target;
    if (fixedSuffix.empty() || ResolveLinks(path, target) != ERROR_SUCCESS) return;
    ::unlink((target + fixedSuffix).c_str());
}

DWORD VeskReplacementFile::Open() {
    if (const DWORD code = ResolveLinks(m_path, m_target); code != ERROR_SUCCESS) return m_failure = code;
    bool exists = false;
    unsigned mode = 0;
    if (const DWORD code = CheckTarget(exists, mode); code != ERROR_SUCCESS) return m_failure = code;
    if (const DWORD code = CreateTemporary(); code != ERROR_SUCCESS) return m_failure = code;
    if (exists) {
        if (const DWORD code = KeepMode(mode); code != ERROR_SUCCESS) return m_failure = code;
    }
    return ERROR_SUCCESS;
}

// The target is looked at without opening it: opening a pipe would block.
DWORD VeskReplacementFile::CheckTarget(bool& exists, unsigned& mode) const {
    struct stat st;
    if (::lstat(m_target.c_str(), &st) != 0) {
        exists = false;
        return errno == ENOENT ? ERROR_SUCCESS : CodeOf(errno);
    }
    exists = true;
    mode = st.st_mode & 07777;
    if (S_ISDIR(st.st_mode)) return ERROR_ACCESS_DENIED;
    if (!S_ISREG(st.st_mode)) return ERROR_MW_NOT_REGULAR_FILE;
    if (m_rules.refuseHardLinks && st.st_nlink > 1) return ERROR_MW_HARD_LINKS;
    return ERROR_SUCCESS;
}

DWORD VeskReplacementFile::CreateTemporary() {
    if (!m_rules.fixedSuffix.empty()) {
        m_temporary = m_target + m_rules.fixedSuffix;
        ::unlink(m_temporary.c_str());  // stale: the caller's lock makes the name ours
        m_fd = CreateExclusive(m_temporary);
    } else {
        for (int attempt = 0; attempt < kUniqueNameAttempts && m_fd < 0; ++attempt) {
            m_temporary = m_target + RandomSuffix();
            m_fd = CreateExclusive(m_temporary);
            if (m_fd < 0 && errno != EEXIST) break;
        }
    }
    if (m_fd >= 0) return ERROR_SUCCESS;
    const int err = errno;
    m_temporary.clear();  // not ours: never removed
    // The file itself may be missing; ENOENT here means its folder is.
    return err == ENOENT ? ERROR_PATH_NOT_FOUND : CodeOf(err);
}

// A file system without Unix modes refuses fchmod; that is no failure when the mode
// is already the one wanted.
DWORD VeskReplacementFile::KeepMode(unsigned mode) const {
    if (::fchmod(m_fd, mode) == 0) return ERROR_SUCCESS;
    const int err = errno;
    struct stat st;
    if (::fstat(m_fd, &st) == 0 && (st.st_mode & 07777) == mode) return ERROR_SUCCESS;
    return CodeOf(err);
}

DWORD VeskReplacementFile::Write(const void* data, std::size_t count) {
    if (m_failure != ERROR_SUCCESS) return m_failure;
    if (m_fd < 0 || m_finished) return ERROR_INVALID_HANDLE;
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (count > 0) {
        const ssize_t done = ::write(m_fd, bytes, count);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return m_failure = CodeOf(done < 0 ? errno : ENOSPC);
        bytes += done;
        count -= static_cast<std::size_t>(done);
    }
    return ERROR_SUCCESS;
}

DWORD VeskReplacementFile::Finish() {
    if (m_failure != ERROR_SUCCESS) return m_failure;
    if (m_fd < 0 || m_finished) return ERROR_INVALID_HANDLE;
    DWORD code = ::fsync(m_fd) == 0 ? ERROR_SUCCESS : CodeOf(errno);
    // Don't retry close on EINTR: the descriptor is gone either way.
    if (::close(m_fd) != 0 && code == ERROR_SUCCESS) code = CodeOf(errno);
    m_fd = -1;
    m_finished = true;
    if (code != ERROR_SUCCESS) m_failure = code;
    return code;
}

DWORD VeskReplacementFile::Replace() {
    if (m_failure != ERROR_SUCCESS) return m_failure;
    if (!m_finished || m_placed) return ERROR_INVALID_HANDLE;
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) return m_failure = CodeOf(errno);
    m_placed = true;
    // The rename itself must survive a crash.
    SyncFolderOf(m_target);
    return ERROR_SUCCESS;
}

void VeskReplacementFile::Discard() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    if (!m_placed && !m_temporary.empty()) ::unlink(m_temporary.c_str());
    m_temporary.clear();
}

}  // namespace mailwright
