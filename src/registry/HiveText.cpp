#include "registry/HiveText.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace mailwright {
namespace {

long long Nanoseconds(const timespec& time) { return time.tv_sec * 1000000000LL + time.tv_nsec; }

}  // namespace

HiveText::HiveText(std::string text) : m_memory(std::move(text)), m_size(m_memory.size()) {}

HiveText::HiveText(int fd, size_t size) : m_fd(fd), m_size(size) {
    struct stat st {};
    if (::fstat(fd, &st) == 0) m_modified = Nanoseconds(st.st_mtim);
}

HiveText::~HiveText() { Close(); }

HiveText::HiveText(HiveText&& other) noexcept
    : m_memory(std::move(other.m_memory)), m_fd(std::exchange(other.m_fd, -1)), m_size(std::exchange(other.m_size, 0)),
      m_modified(other.m_modified) {}

HiveText& HiveText::operator=(HiveText&& other) noexcept {
    if (this != &other) {
        Close();
        m_memory = std::move(other.m_memory);
        m_fd = std::exchange(other.m_fd, -1);
        m_size = std::exchange(other.m_size, 0);
        m_modified = other.m_modified;
    }
    return *this;
}

void HiveText::Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

bool HiveText::Read(size_t offset, size_t length, std::string& out) const {
    if (offset > m_size || length > m_size - offset) return false;
    if (m_fd < 0) {
        out.assign(m_memory, offset, length);
        return true;
    }
    out.resize(length);
    size_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(m_fd, out.data() + done, length - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

bool HiveText::Unchanged() const {
    if (m_fd < 0) return true;
    struct stat st {};
    // Not the change time: it moves when the file is replaced and so loses its name.
    return ::fstat(m_fd, &st) == 0 && static_cast<size_t>(st.st_size) == m_size && Nanoseconds(st.st_mtim) == m_modified;
}

}  // namespace mailwright
