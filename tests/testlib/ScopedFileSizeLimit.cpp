#include "testlib/ScopedFileSizeLimit.h"

#include <csignal>
#include <stdexcept>

namespace mailwright::testing {

ScopedFileSizeLimit::ScopedFileSizeLimit(rlim_t bytes) {
    if (::getrlimit(RLIMIT_FSIZE, &m_old) != 0) throw std::runtime_error("cannot read the file size limit");
    m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = m_old;
    limit.rlim_cur = bytes;
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
        std::signal(SIGXFSZ, m_oldHandler);
        throw std::runtime_error("cannot set the file size limit");
    }
}

ScopedFileSizeLimit::~ScopedFileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &m_old);
    std::signal(SIGXFSZ, m_oldHandler);
}

}  // namespace mailwright::testing
