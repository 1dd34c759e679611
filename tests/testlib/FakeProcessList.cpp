#include "testlib/FakeProcessList.h"

#include <filesystem>

#include "detection/CProcessesEnum.h"

namespace mailwright::testing {

FakeProcessList::FakeProcessList(const std::vector<std::string>& argv0s)
    : m_previous(CProcessesEnum::GetProcRoot()) {
    m_root.WriteFile("self/cmdline", "not a process id");
    for (const std::string& argv0 : argv0s) {
        if (!argv0.empty() && argv0[0] == '/') AddProcess(argv0, "", {"HOME=/home/tester"});
        else AddProcess(argv0, "/usr/lib/wine/wine64-preloader", {std::string("WINEPREFIX=") + kWinePrefix});
    }
    CProcessesEnum::SetProcRoot(m_root.Path());
}

void FakeProcessList::AddProcess(const std::string& argv0, const std::string& loader,
                                 const std::vector<std::string>& environment) {
    const std::string pid = std::to_string(m_next++);
    m_root.WriteFile(pid + "/cmdline", argv0 + std::string("\0--arg\0", 7));
    m_root.WriteFile(pid + "/comm", "truncated\n");
    std::string block;
    for (const std::string& variable : environment) block += variable + '\0';
    m_root.WriteFile(pid + "/environ", block);
    std::filesystem::create_symlink(loader.empty() ? argv0 : loader, m_root.Sub(pid + "/exe"));
}

FakeProcessList::~FakeProcessList() { CProcessesEnum::SetProcRoot(m_previous); }

void FakeProcessList::AddKernelStyle(const std::string& comm) {
    const std::string pid = std::to_string(m_next++);
    m_root.WriteFile(pid + "/cmdline", "");
    m_root.WriteFile(pid + "/comm", comm + "\n");
    m_root.WriteFile(pid + "/environ", std::string("WINEPREFIX=") + kWinePrefix + '\0');
    std::filesystem::create_symlink("/usr/lib/wine/wine64-preloader", m_root.Sub(pid + "/exe"));
}

void FakeProcessList::AddEnding() {
    const std::string pid = std::to_string(m_next++);
    std::filesystem::create_directories(m_root.Sub(pid + "/cmdline"));
    std::filesystem::create_directories(m_root.Sub(pid + "/comm"));
}

}  // namespace mailwright::testing
