#pragma once
#include <sys/resource.h>

namespace mailwright::testing {

// Files of this process may not grow past `bytes` while the object lives, as on a disk
// that fills up: a write past the limit fails with EFBIG (SIGXFSZ is ignored meanwhile).
// The limit holds for every thread of the process.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(rlim_t bytes);
    ~ScopedFileSizeLimit();
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

}  // namespace mailwright::testing
