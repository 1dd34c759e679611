#include "platform/RememberedPrefixes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <sstream>

#include "support/VeskFileWrite.h"

namespace mailwright {
namespace {

constexpr size_t kMaxRemembered = 20;
constexpr off_t kMaxFileBytes = 64 * 1024;

std::string ReadRegularFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return {};
    std::string content;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= kMaxFileBytes) {
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
            if (n > 0) content.append(buffer, static_cast<size_t>(n));
        if (n < 0) content.clear();
    }
    ::close(fd);
    return content;
}

bool MakeFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

RememberedPrefixes::RememberedPrefixes(std::string configHome) : m_configHome(std::move(configHome)) {}

std::string RememberedPrefixes::FilePath() const {
    return m_configHome.empty() ? std::string() : m_configHome + "/mailwright/prefixes";
}

std::vector<std::string> RememberedPrefixes::Load() const {
    std::vector<std::string> folders;
    if (m_configHome.empty()) return folders;
    std::istringstream lines(ReadRegularFile(FilePath()));
    for (std::string line; std::getline(lines, line) && folders.size() < kMaxRemembered;)
        if (!line.empty() && line[0] == '/' && std::find(folders.begin(), folders.end(), line) == folders.end())
            folders.push_back(line);
    return folders;
}

bool RememberedPrefixes::Remember(const std::string& folder) const {
    if (m_configHome.empty() || folder.empty() || folder[0] != '/' || folder.find('\n') != std::string::npos)
        return false;
    std::vector<std::string> folders = Load();
    folders.erase(std::remove(folders.begin(), folders.end(), folder), folders.end());
    folders.insert(folders.begin(), folder);
    if (folders.size() > kMaxRemembered) folders.resize(kMaxRemembered);
    std::string text;
    for (const std::string& line : folders) text += line + "\n";
    if (!MakeFolder(m_configHome) || !MakeFolder(m_configHome + "/mailwright")) return false;
    VeskFileWrite file(VeskFileWrite::UnixPath{FilePath()});
    return file.IsOpen() && file.Write(text.data(), text.size()) && file.Close();
}

}  // namespace mailwright
