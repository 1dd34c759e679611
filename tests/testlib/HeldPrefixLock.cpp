#include "testlib/HeldPrefixLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <stdexcept>

namespace mailwright::testing {

HeldPrefixLock::HeldPrefixLock(const std::string& prefixFolder)
    : m_fd(::open(prefixFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (m_fd < 0 || ::flock(m_fd, LOCK_EX) != 0) throw std::runtime_error("cannot lock " + prefixFolder);
}

HeldPrefixLock::~HeldPrefixLock() { Release(); }

void HeldPrefixLock::Release() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

bool HeldPrefixLock::IsFree(const std::string& prefixFolder) {
    const int fd = ::open(prefixFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

}  // namespace mailwright::testing
