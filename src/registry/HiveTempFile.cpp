#include "registry/HiveTempFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "support/LastError.h"

namespace mailwright {
namespace {

LONG CodeOf(int err) { return static_cast<LONG>(ErrnoToWinError(err)); }

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

HiveTempFile::HiveTempFile(std::string hivePath) : m_hive(std::move(hivePath)), m_temporary(PathFor(m_hive)) {}

HiveTempFile::~HiveTempFile() { Discard(); }

void HiveTempFile::RemoveStale(const std::string& hivePath) { ::unlink(PathFor(hivePath).c_str()); }

LONG HiveTempFile::Open() {
    RemoveStale(m_hive);
    struct stat st;
    const bool existed = ::stat(m_hive.c_str(), &st) == 0;
    // O_EXCL: never through a link or over a file that is not ours to write.
    m_fd = ::open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (m_fd < 0) return CodeOf(errno);
    if (existed && ::fchmod(m_fd, st.st_mode & 07777) != 0) return CodeOf(errno);
    return ERROR_SUCCESS;
}

LONG HiveTempFile::Write(std::string_view text) {
    if (m_fd < 0) return ERROR_INVALID_HANDLE;
    while (!text.empty()) {
        const ssize_t done = ::write(m_fd, text.data(), text.size());
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return CodeOf(done < 0 ? errno : ENOSPC);
        text.remove_prefix(static_cast<size_t>(done));
    }
    return ERROR_SUCCESS;
}

LONG HiveTempFile::Finish() {
    if (m_fd < 0) return ERROR_INVALID_HANDLE;
    LONG code = ::fsync(m_fd) == 0 ? ERROR_SUCCESS : CodeOf(errno);
    // Don't retry close on EINTR: the descriptor is gone either way.
    if (::close(m_fd) != 0 && code == ERROR_SUCCESS) code = CodeOf(errno);
    m_fd = -1;
    return code;
}

LONG HiveTempFile::Replace() {
    if (::rename(m_temporary.c_str(), m_hive.c_str()) != 0) return CodeOf(errno);
    m_placed = true;
    // The rename itself must survive a crash.
    const int folder = ::open(FolderOf(m_hive).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return ERROR_SUCCESS;
}

void HiveTempFile::Discard() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    if (!m_placed) ::unlink(m_temporary.c_str());
}

}  // namespace mailwright
