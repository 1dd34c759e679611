#include "detection/CProcessesEnum.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <cerrno>
#include <algorithm>
#include <memory>

#include "platform/WinePrefixSession.h"
#include "support/LastError.h"
#include "support/TextUtil.h"
#include "support/VeskException.h"
#include "support/VeskFsPathT.h"

namespace mailwright {
namespace {

std::string g_procRoot = "/proc";

bool IsProcessId(const char* name) {
    if (!*name) return false;
    for (const char* p = name; *p; ++p)
        if (*p < '0' || *p > '9') return false;
    return true;
}

// The file's bytes; empty when it cannot be read. The files of a process that ends
// meanwhile open but fail to read, which is no error here.
std::string ReadSmallFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    std::string content;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) != 0) {
        if (n > 0) content.append(buffer, static_cast<size_t>(n));
        else if (errno != EINTR) break;
    }
    ::close(fd);
    return n < 0 ? std::string() : content;
}

// argv[0] of the process, else its command name; empty for a process that vanished.
std::string ExeFileOf(const std::string& processFolder) {
    const std::string cmdline = ReadSmallFile(processFolder + "/cmdline");
    const std::string argv0 = cmdline.substr(0, cmdline.find('\0'));
    if (!argv0.empty()) return argv0;
    std::string comm = ReadSmallFile(processFolder + "/comm");
    if (!comm.empty() && comm.back() == '\n') comm.pop_back();
    return comm;
}

// The executables of Wine's loader, as upstream Wine, Debian and the launchers' builds name them.
constexpr const char* kWineLoaders[] = {"wine", "wine64", "wine-preloader", "wine64-preloader", "wineloader",
                                        "wineloader64"};

bool RunsWineLoader(const std::string& processFolder) {
    char target[PATH_MAX];
    const ssize_t n = ::readlink((processFolder + "/exe").c_str(), target, sizeof target - 1);
    if (n <= 0) return false;
    std::string exe(target, static_cast<size_t>(n));
    // A binary replaced while it runs reads "<path> (deleted)".
    if (const size_t mark = exe.rfind(" (deleted)"); mark != std::string::npos && mark + 10 == exe.size()) exe.resize(mark);
    const std::string name = exe.substr(exe.find_last_of('/') + 1);
    for (const char* loader : kWineLoaders)
        if (name == loader) return true;
    return false;
}

std::optional<std::string> VariableOf(const std::string& environment, const std::string& name) {
    const std::string wanted = name + "=";
    for (size_t start = 0; start < environment.size();) {
        const size_t end = std::min(environment.find('\0', start), environment.size());
        if (environment.compare(start, wanted.size(), wanted) == 0)
            return environment.substr(start + wanted.size(), end - start - wanted.size());
        start = end + 1;
    }
    return std::nullopt;
}

// Where Wine looks for the process's prefix: $WINEPREFIX, else $HOME/.wine.
std::optional<std::string> WinePrefixOf(const std::string& processFolder) {
    if (!RunsWineLoader(processFolder)) return std::nullopt;
    const std::string environment = ReadSmallFile(processFolder + "/environ");
    if (std::optional<std::string> prefix = VariableOf(environment, "WINEPREFIX"); prefix && !prefix->empty())
        return prefix;
    if (std::optional<std::string> home = VariableOf(environment, "HOME"); home && !home->empty())
        return *home + (home->back() == '/' ? ".wine" : "/.wine");
    return std::nullopt;
}

// Wine's own processes, which run while any program does and end with the server.
constexpr const char* kWineServices[] = {"services.exe", "winedevice.exe", "plugplay.exe", "svchost.exe",
                                         "rpcss.exe",    "explorer.exe",   "conhost.exe", "winemenubuilder.exe",
                                         "wineboot.exe", "start.exe",      "tabtip.exe"};

bool IsWineService(const std::string& name) {
    for (const char* service : kWineServices)
        if (EqualsNoCase(name, service)) return true;
    return false;
}

std::string BareName(const std::string& exeFile) { return Trim(VeskFsPath(exeFile).GetFileName().Str()); }

}  // namespace

void CProcessesEnum::SetProcRoot(std::string root) { g_procRoot = std::move(root); }

const std::string& CProcessesEnum::GetProcRoot() { return g_procRoot; }

void CProcessesEnum::Enumerate() {
    m_exeFiles.clear();
    m_processes.clear();
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(g_procRoot.c_str()), &::closedir);
    if (!dir) {
        throw Error::VeskExceptionCommon(SetLastErrorFromErrno(errno), "CreateToolhelp32Snapshot (of processes)");
    }
    while (dirent* entry = ::readdir(dir.get())) {
        if (!IsProcessId(entry->d_name)) continue;
        const std::string folder = g_procRoot + "/" + entry->d_name;
        std::string exe = ExeFileOf(folder);
        if (exe.empty()) continue;
        m_processes.push_back({exe, WinePrefixOf(folder)});
        m_exeFiles.push_back(std::move(exe));
    }
    if (m_exeFiles.empty()) {
        SetLastError(ERROR_NO_MORE_FILES);
        throw Error::VeskExceptionCommon(ERROR_NO_MORE_FILES, "Process32First failed.");
    }
}

std::vector<std::string> CProcessesEnum::ProgramsOfPrefix(const std::string& prefixFolder) const {
    std::vector<std::string> programs;
    for (const ProcessEntry& process : m_processes) {
        if (!process.winePrefix || !WinePrefixSession::IsSameFolder(*process.winePrefix, prefixFolder)) continue;
        const std::string name = BareName(process.exeFile);
        if (name.empty() || IsWineService(name)) continue;
        if (std::none_of(programs.begin(), programs.end(), [&](const std::string& p) { return EqualsNoCase(p, name); }))
            programs.push_back(name);
    }
    std::sort(programs.begin(), programs.end());  // the order of /proc is no order
    return programs;
}

bool CProcessesEnum::IsRunning(const std::vector<std::string>& targetNames) {
    CProcessesEnum processes;
    processes.Enumerate();
    const std::shared_ptr<WindowsSession> session = WindowsSession::Current();
    for (const ProcessEntry& process : processes.GetProcesses()) {
        if (!process.winePrefix || !session->IsPrefixFolder(*process.winePrefix)) continue;
        const std::string name = BareName(process.exeFile);
        for (const std::string& target : targetNames)
            if (EqualsNoCase(name, target)) return true;
    }
    return false;
}

bool IsOutlookRunning() { return CProcessesEnum::IsRunning({"OUTLOOK.exe"}); }

bool IsOutlookExpressRunning() { return CProcessesEnum::IsRunning({"msimn.exe"}); }

bool IsWindowsMailRunning() { return CProcessesEnum::IsRunning({"WinMail.exe", "wlmail.exe"}); }

}  // namespace mailwright
