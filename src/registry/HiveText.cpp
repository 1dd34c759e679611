#include "registry/HiveText.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "registry/HugeMemory.h"

namespace mailwright {
namespace {

long long Nanoseconds(const timespec& time) { return time.tv_sec * 1000000000LL + time.tv_nsec; }

}  // namespace

HiveText::HiveText(std::string text) : m_memory(std::move(text)), m_size(m_memory.size()) {}

HiveText::HiveText(int fd, size_t size) : m_fd(fd), m_size(size) {
    struct stat st {};
    if (::fstat(fd, &st) == 0) m_modified = Nanoseconds(st.st_mtim);
}

HiveText::~HiveText() { Release(); }

void HiveText::Release() {
    Close();
    if (m_loadedBytes) GiveBackHugeMemory(m_loadedBytes, m_size);
    m_loadedBytes = nullptr;
    m_loaded = false;
}

HiveText::HiveText(HiveText&& other) noexcept
    : m_memory(std::move(other.m_memory)), m_fd(std::exchange(other.m_fd, -1)), m_size(std::exchange(other.m_size, 0)),
      m_modified(other.m_modified), m_loaded(std::exchange(other.m_loaded, false)),
      m_loadedBytes(std::exchange(other.m_loadedBytes, nullptr)) {}

HiveText& HiveText::operator=(HiveText&& other) noexcept {
    if (this != &other) {
        Release();
        m_memory = std::move(other.m_memory);
        m_fd = std::exchange(other.m_fd, -1);
        m_size = std::exchange(other.m_size, 0);
        m_modified = other.m_modified;
        m_loaded = std::exchange(other.m_loaded, false);
        m_loadedBytes = std::exchange(other.m_loadedBytes, nullptr);
    }
    return *this;
}

void HiveText::Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

bool HiveText::Load() {
    if (InMemory()) return true;
    auto* bytes = static_cast<char*>(TakeHugeMemory(m_size));
    if (!bytes) return false;
    for (size_t done = 0; done < m_size;) {
        const ssize_t got = ::pread(m_fd, bytes + done, m_size - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            GiveBackHugeMemory(bytes, m_size);
            return false;
        }
        done += static_cast<size_t>(got);
    }
    m_loadedBytes = bytes;
    m_loaded = true;
    return true;
}

bool HiveText::Read(size_t offset, size_t length, std::string& out) const {
    if (offset > m_size || length > m_size - offset) return false;
    if (InMemory()) {
        out.assign(Memory().substr(offset, length));
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
