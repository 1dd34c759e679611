#pragma once
#include <string>
#include <vector>

namespace mailwright {

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

    // True when a running process's executable is named like one of the targets.
    static bool IsRunning(const std::vector<std::string>& targetNames);

    // The folder that holds the process list; tests point it at a fake one.
    static void SetProcRoot(std::string root);
    static const std::string& GetProcRoot();

private:
    std::vector<std::string> m_exeFiles;
};

bool IsOutlookRunning();
bool IsOutlookExpressRunning();
// Windows Mail or Windows Live Mail: one test serves both.
bool IsWindowsMailRunning();

}  // namespace mailwright
