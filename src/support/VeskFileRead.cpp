#include "support/VeskFileRead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "support/FileSystem.h"
#include "support/LastError.h"

namespace mailwright {

VeskFileRead::VeskFileRead(const std::string& fileName) {
    std::optional<std::string> unix = UnixPathOf(fileName);
    if (!unix) return;
    // O_NONBLOCK: opening a pipe would wait for a writer; only a regular file is read.
    m_fd = ::open(unix->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        SetLastErrorFromErrno(errno);
        return;
    }
    struct stat st {};
    if (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        SetLastError(S_ISDIR(st.st_mode) ? ERROR_ACCESS_DENIED : ERROR_MW_NOT_REGULAR_FILE);
        Close();
    }
}

VeskFileRead::~VeskFileRead() { Close(); }

long VeskFileRead::Read(void* buffer, std::size_t count) {
    if (m_fd < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, count);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) SetLastErrorFromErrno(errno);
        return static_cast<long>(got);
    }
}

void VeskFileRead::Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

}  // namespace mailwright
