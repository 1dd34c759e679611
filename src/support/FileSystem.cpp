#include "support/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "support/LastError.h"
#include "support/TextUtil.h"
#include "support/WindowsSession.h"

namespace mailwright {
namespace {

bool HasWildcard(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

// Windows treats "*.*" as "*": every name matches, also one without a dot.
bool MatchesPattern(const std::string& pattern, const std::string& name) {
    if (pattern == "*.*" || pattern == "*") return true;
    return ::fnmatch(ToLowerAscii(pattern).c_str(), ToLowerAscii(name).c_str(), 0) == 0;
}

}  // namespace

std::optional<std::string> UnixPathOf(const std::string& windowsPath) {
    std::optional<std::string> unix = WindowsSession::Current()->ToUnixPath(windowsPath);
    if (!unix) SetLastError(ERROR_PATH_NOT_FOUND);
    return unix;
}

std::optional<std::string> FindFirstEntry(const std::string& pathPattern) {
    const size_t cut = pathPattern.find_last_of("\\/");
    const std::string last = cut == std::string::npos ? pathPattern : pathPattern.substr(cut + 1);
    if (last.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return std::nullopt;
    }
    if (!HasWildcard(last)) {
        std::optional<std::string> unix = UnixPathOf(pathPattern);
        struct stat st;
        if (!unix) return std::nullopt;
        if (::stat(unix->c_str(), &st) != 0) {
            SetLastErrorFromErrno(errno);
            return std::nullopt;
        }
        const size_t slash = unix->find_last_of('/');
        return slash == std::string::npos ? *unix : unix->substr(slash + 1);
    }
    const std::string folder = cut == std::string::npos ? std::string(".") : pathPattern.substr(0, cut + 1);
    std::optional<std::string> unixFolder = UnixPathOf(folder);
    if (!unixFolder) return std::nullopt;
    DIR* dir = ::opendir(unixFolder->c_str());
    if (!dir) {
        SetLastErrorFromErrno(errno);
        return std::nullopt;
    }
    std::optional<std::string> found;
    while (dirent* entry = ::readdir(dir)) {
        if (MatchesPattern(last, entry->d_name)) {
            found = entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    if (!found) SetLastError(ERROR_FILE_NOT_FOUND);
    return found;
}

bool CreateFolder(const std::string& path) {
    std::optional<std::string> unix = UnixPathOf(path);
    if (!unix) return false;
    if (::mkdir(unix->c_str(), 0777) != 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    std::optional<std::string> unix = UnixPathOf(path);
    if (!unix) return false;
    // O_NONBLOCK: opening a pipe would wait for a writer; the check below refuses it.
    const int fd = ::open(unix->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size < (off_t(1) << 32);
    if (!ok) SetLastError(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode) ? ERROR_ACCESS_DENIED : ERROR_MW_NOT_REGULAR_FILE);
    if (ok) {
        bytes.resize(static_cast<size_t>(st.st_size));
        size_t done = 0;
        while (ok && done < bytes.size()) {
            const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                SetLastErrorFromErrno(got < 0 ? errno : EIO);
                ok = false;
            } else {
                done += static_cast<size_t>(got);
            }
        }
    }
    ::close(fd);
    if (!ok) bytes.clear();
    return ok;
}

}  // namespace mailwright
