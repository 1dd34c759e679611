#include "testlib/FakeProcessList.h"

#include <filesystem>

#include "detection/CProcessesEnum.h"

namespace mailwright::testing {

FakeProcessList::FakeProcessList(const std::vector<std::string>& argv0s)
    : m_previous(CProcessesEnum::GetProcRoot()) {
    m_root.WriteFile("self/cmdline", "not a process id");
    for (const std::string& argv0 : argv0s) {
        const std::string pid = std::to_string(m_next++);
        m_root.WriteFile(pid + "/cmdline", argv0 + std::string("\0--arg\0", 7));
        m_root.WriteFile(pid + "/comm", "truncated\n");
    }
    CProcessesEnum::SetProcRoot(m_root.Path());
}

FakeProcessList::~FakeProcessList() { CProcessesEnum::SetProcRoot(m_previous); }

void FakeProcessList::AddKernelStyle(const std::string& comm) {
    const std::string pid = std::to_string(m_next++);
    m_root.WriteFile(pid + "/cmdline", "");
    m_root.WriteFile(pid + "/comm", comm + "\n");
}

void FakeProcessList::AddEnding() {
    const std::string pid = std::to_string(m_next++);
    std::filesystem::create_directories(m_root.Sub(pid + "/cmdline"));
    std::filesystem::create_directories(m_root.Sub(pid + "/comm"));
}

}  // namespace mailwright::testing
