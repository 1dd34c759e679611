#include "support/VeskFileWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "support/FileSystem.h"
#include "support/LastError.h"

namespace mailwright {
namespace {

bool SyncFolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

VeskFileWrite::VeskFileWrite(const std::string& fileName, unsigned /*shareMode*/) {
    if (std::optional<std::string> unix = UnixPathOf(fileName)) Open(*unix);
}

VeskFileWrite::VeskFileWrite(const UnixPath& file) { Open(file.path); }

void VeskFileWrite::Open(const std::string& unixPath) {
    const std::string* unix = &unixPath;
    struct stat st;
    if (::stat(unix->c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return;
    }
    const bool existed = ::stat(unix->c_str(), &st) == 0;
    m_target = *unix;
    std::string pattern = m_target + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    m_fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (m_fd < 0) {
        SetLastErrorFromErrno(errno == ENOENT ? ENOTDIR : errno);
        return;
    }
    m_temporary = name.data();
    mode_t mode = existed ? (st.st_mode & 07777) : 0666;
    if (!existed) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    ::fchmod(m_fd, mode);
}

// Abandoned without a successful Close (an exception, an early return): a partial file
// must never replace the target, so the temporary file goes and the target stays.
VeskFileWrite::~VeskFileWrite() {
    if (m_fd >= 0) ::close(m_fd);
    Discard();
}

bool VeskFileWrite::Write(const void* data, std::size_t count) {
    if (m_fd < 0 || m_failed) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    while (count > 0) {
        const ssize_t done = ::write(m_fd, bytes, count);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            SetLastErrorFromErrno(done < 0 ? errno : ENOSPC);
            m_failed = true;
            return false;
        }
        bytes += done;
        count -= static_cast<std::size_t>(done);
    }
    return true;
}

bool VeskFileWrite::Close() {
    if (m_fd < 0) return false;
    bool ok = !m_failed && ::fsync(m_fd) == 0;
    if (!ok && !m_failed) SetLastErrorFromErrno(errno);
    if (::close(m_fd) != 0 && ok) {
        SetLastErrorFromErrno(errno);
        ok = false;
    }
    m_fd = -1;
    if (ok && ::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        SetLastErrorFromErrno(errno);
        ok = false;
    }
    if (!ok) {
        Discard();
        return false;
    }
    SyncFolderOf(m_target);
    m_temporary.clear();
    return true;
}

void VeskFileWrite::Discard() {
    if (!m_temporary.empty()) ::unlink(m_temporary.c_str());
    m_temporary.clear();
}

}  // namespace mailwright
