#include "testlib/ScopedUnprivilegedFiles.h"

#include <sys/fsuid.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

namespace mailwright::testing {
namespace {

// The user and group "nobody" of Debian.
constexpr uid_t kUnprivilegedUser = 65534;
constexpr gid_t kUnprivilegedGroup = 65534;

void Own(const std::filesystem::path& path) {
    if (::lchown(path.c_str(), kUnprivilegedUser, kUnprivilegedGroup) != 0)
        throw std::runtime_error("cannot give " + path.string() + " to the unprivileged user");
}

}  // namespace

// The file system ids belong to the thread and are inherited by the threads it starts;
// leaving uid 0 takes away the capabilities that override file modes, and coming back
// restores them.
ScopedUnprivilegedFiles::ScopedUnprivilegedFiles() : m_dropped(::geteuid() == 0) {
    if (!m_dropped) return;
    ::setfsgid(kUnprivilegedGroup);
    ::setfsuid(kUnprivilegedUser);
}

ScopedUnprivilegedFiles::~ScopedUnprivilegedFiles() {
    if (!m_dropped) return;
    ::setfsuid(0);
    ::setfsgid(0);
}

void ScopedUnprivilegedFiles::GiveAway(const std::string& folder) {
    if (::geteuid() != 0) return;
    Own(folder);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) Own(entry.path());
}

}  // namespace mailwright::testing
