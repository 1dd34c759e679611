#include "testlib/RunningWineServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

namespace mailwright::testing {

RunningWineServer::RunningWineServer(const std::string& prefixFolder) : RunningWineServer(prefixFolder, -1) {}

RunningWineServer::RunningWineServer(const std::string& prefixFolder, int lifetimeMs) : m_prefix(prefixFolder) {
    struct stat st;
    if (::stat(prefixFolder.c_str(), &st) != 0) throw std::runtime_error("no prefix folder");
    char server[64];
    std::snprintf(server, sizeof(server), "server-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    const std::string lockFile = m_tmp.Sub(std::string(server) + "/lock");
    m_tmp.WriteFile(std::string(server) + "/lock", "");
    const std::string name = m_tmp.Path().substr(m_tmp.Path().find_last_of('/') + 1);
    TempFolder::WriteFileAt(prefixFolder + "/wineserver", name + "\n");

    int ready[2], stop[2];
    if (::pipe(ready) != 0 || ::pipe(stop) != 0) throw std::runtime_error("pipe");
    m_child = ::fork();
    if (m_child == 0) {
        ::close(ready[0]);
        ::close(stop[1]);
        const int fd = ::open(lockFile.c_str(), O_RDWR);
        struct flock lock = {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        const char ok = (fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0) ? 1 : 0;
        (void)!::write(ready[1], &ok, 1);
        pollfd parent = {stop[0], POLLIN, 0};
        (void)!::poll(&parent, 1, lifetimeMs);  // until the parent closes its end, or the lifetime ends
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(stop[0]);
    m_stop = stop[1];
    char ok = 0;
    const bool started = ::read(ready[0], &ok, 1) == 1 && ok == 1;
    ::close(ready[0]);
    if (!started) throw std::runtime_error("the server lock could not be taken");
}

RunningWineServer::~RunningWineServer() {
    if (m_stop >= 0) ::close(m_stop);
    if (m_child > 0) ::waitpid(m_child, nullptr, 0);
    ::unlink((m_prefix + "/wineserver").c_str());
}

}  // namespace mailwright::testing
