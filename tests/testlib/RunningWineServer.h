#pragma once
#include <sys/types.h>

#include <string>

#include "testlib/TempFolder.h"

namespace mailwright::testing {

// Makes a prefix look run by a wineserver, the way Debian's Wine lays it out: the
// prefix's `wineserver` file names a temporary folder whose server-<dev>-<inode>/lock is
// locked by another process for the life of this object.
class RunningWineServer {
public:
    explicit RunningWineServer(const std::string& prefixFolder);
    // A server that lingers: it ends by itself after `lifetimeMs`, as Wine's does after
    // its last program.
    RunningWineServer(const std::string& prefixFolder, int lifetimeMs);
    ~RunningWineServer();
    RunningWineServer(const RunningWineServer&) = delete;
    RunningWineServer& operator=(const RunningWineServer&) = delete;

private:
    std::string m_prefix;
    TempFolder m_tmp;
    pid_t m_child = -1;
    int m_stop = -1;
};

}  // namespace mailwright::testing
