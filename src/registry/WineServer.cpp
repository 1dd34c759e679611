#include "registry/WineServer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "support/TextUtil.h"

namespace mailwright {
namespace {

bool IsLocked(const std::string& lockFile) {
    const int fd = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct flock query = {};
    query.l_type = F_WRLCK;
    query.l_whence = SEEK_SET;
    const bool locked = ::fcntl(fd, F_GETLK, &query) == 0 && query.l_type != F_UNLCK;
    ::close(fd);
    return locked;
}

// The name of Debian's per-prefix temporary folder, from <prefix>/wineserver.
std::string DebianTemporaryName(const std::string& prefixFolder) {
    std::ifstream in(prefixFolder + "/wineserver");
    std::string name;
    std::getline(in, name);
    name = Trim(name);
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) return {};
    return name;
}

}  // namespace

std::vector<std::string> WineServerFolders(const std::string& prefixFolder) {
    struct stat st;
    if (::stat(prefixFolder.c_str(), &st) != 0) return {};
    char server[64];
    std::snprintf(server, sizeof(server), "server-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    std::vector<std::string> folders{"/tmp/.wine-" + std::to_string(::getuid()) + "/" + server};
    if (const std::string name = DebianTemporaryName(prefixFolder); !name.empty()) {
        folders.push_back("/tmp/" + name + "/" + server);
        const char* tmpdir = std::getenv("TMPDIR");
        if (tmpdir && tmpdir[0] == '/' && std::string(tmpdir) != "/tmp")
            folders.push_back(std::string(tmpdir) + "/" + name + "/" + server);
    }
    return folders;
}

bool IsWineServerRunning(const std::string& prefixFolder) {
    for (const std::string& folder : WineServerFolders(prefixFolder))
        if (IsLocked(folder + "/lock")) return true;
    return false;
}

}  // namespace mailwright
