#pragma once
#include <optional>
#include <string>
#include <vector>

namespace mailwright {

// One running process: its executable file name and, when Wine runs it, its prefix.
struct ProcessEntry {
    std::string exeFile;
    // The prefix folder of a process whose executable is Wine's loader: $WINEPREFIX of
    // its environment, else ~/.wine of its $HOME (where Wine looks). Nothing otherwise.
    std::optional<std::string> winePrefix;
};

// A snapshot of the running processes' executable file names. Wine starts a Windows
// program with the Windows path of its .exe as argv[0], so /proc/<pid>/cmdline gives the
// name the program would have seen; /proc/<pid>/comm serves when cmdline is empty.
class CProcessesEnum {
public:
    CProcessesEnum() = default;
    virtual ~CProcessesEnum() = default;

    // Replaces the list with a new snapshot; throws VeskExceptionCommon when the process
    // list cannot be read.
    void Enumerate();

    const std::vector<std::string>& GetExeFiles() const { return m_exeFiles; }
    const std::vector<ProcessEntry>& GetProcesses() const { return m_processes; }

    // The bare executable names of the Windows programs that the prefix's Wine runs,
    // sorted, each once; Wine's own services are left out.
    std::vector<std::string> ProgramsOfPrefix(const std::string& prefixFolder) const;

    // True when a process of the current session's Wine prefix has an executable named
    // like one of the targets; processes of other prefixes, and native ones, do not count.
    static bool IsRunning(const std::vector<std::string>& targetNames);

    // The folder that holds the process list; tests point it at a fake one.
    static void SetProcRoot(std::string root);
    static const std::string& GetProcRoot();

private:
    std::vector<std::string> m_exeFiles;
    std::vector<ProcessEntry> m_processes;
};

bool IsOutlookRunning();
bool IsOutlookExpressRunning();
// Windows Mail or Windows Live Mail: one test serves both.
bool IsWindowsMailRunning();

}  // namespace mailwright
