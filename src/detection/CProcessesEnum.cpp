#include "detection/CProcessesEnum.h"

#include <dirent.h>

#include <cerrno>
#include <fstream>
#include <iterator>

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

std::string ReadSmallFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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

}  // namespace

void CProcessesEnum::SetProcRoot(std::string root) { g_procRoot = std::move(root); }

const std::string& CProcessesEnum::GetProcRoot() { return g_procRoot; }

void CProcessesEnum::Enumerate() {
    m_exeFiles.clear();
    DIR* dir = ::opendir(g_procRoot.c_str());
    if (!dir) {
        throw Error::VeskExceptionCommon(SetLastErrorFromErrno(errno), "CreateToolhelp32Snapshot (of processes)");
    }
    while (dirent* entry = ::readdir(dir)) {
        if (!IsProcessId(entry->d_name)) continue;
        std::string exe = ExeFileOf(g_procRoot + "/" + entry->d_name);
        if (!exe.empty()) m_exeFiles.push_back(std::move(exe));
    }
    ::closedir(dir);
    if (m_exeFiles.empty()) {
        SetLastError(ERROR_NO_MORE_FILES);
        throw Error::VeskExceptionCommon(ERROR_NO_MORE_FILES, "Process32First failed.");
    }
}

bool CProcessesEnum::IsRunning(const std::vector<std::string>& targetNames) {
    CProcessesEnum processes;
    processes.Enumerate();
    for (const std::string& exe : processes.GetExeFiles()) {
        const std::string name = Trim(VeskFsPath(exe).GetFileName().Str());
        for (const std::string& target : targetNames)
            if (EqualsNoCase(name, target)) return true;
    }
    return false;
}

bool IsOutlookRunning() { return CProcessesEnum::IsRunning({"OUTLOOK.exe"}); }

bool IsOutlookExpressRunning() { return CProcessesEnum::IsRunning({"msimn.exe"}); }

bool IsWindowsMailRunning() { return CProcessesEnum::IsRunning({"WinMail.exe", "wlmail.exe"}); }

}  // namespace mailwright
