#include "registry/PrefixLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

#include "support/LastError.h"

namespace mailwright {
namespace {

// Short against a transaction's usual length, long against the cost of a try.
constexpr auto kRetryPeriod = std::chrono::milliseconds(20);

std::atomic<std::chrono::milliseconds::rep> g_patienceMs{PrefixLock::kDefaultPatience.count()};

LONG CodeOf(int err) { return static_cast<LONG>(ErrnoToWinError(err)); }

}  // namespace

PrefixLock::~PrefixLock() { Release(); }

std::chrono::milliseconds PrefixLock::SetPatience(std::chrono::milliseconds patience) {
    return std::chrono::milliseconds(g_patienceMs.exchange(patience.count()));
}

LONG PrefixLock::Take(const std::string& folder) {
    Release();
    m_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) return CodeOf(errno);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(g_patienceMs.load());
    for (;;) {
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) return ERROR_SUCCESS;
        const int err = errno;
        if (err != EWOULDBLOCK && err != EINTR) {
            Release();
            return CodeOf(err);
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            Release();
            return ERROR_MW_PREFIX_BUSY;
        }
        std::this_thread::sleep_for(kRetryPeriod);
    }
}

void PrefixLock::Release() {
    if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
    m_fd = -1;
}

}  // namespace mailwright
