#pragma once
#include <string>
#include <vector>

namespace mailwright {

// The folders in which a wineserver for the prefix would keep its lock and socket:
// /tmp/.wine-<uid>/server-<dev>-<inode> (upstream Wine), and in the /tmp folder that the
// prefix's own `wineserver` file names (Debian's Wine). Empty when the prefix is missing.
std::vector<std::string> WineServerFolders(const std::string& prefixFolder);

// Whether a wineserver runs the prefix: the `lock` file of one of its folders is locked.
// While one runs, it holds the registry in memory and writes it back when it ends.
bool IsWineServerRunning(const std::string& prefixFolder);

}  // namespace mailwright
