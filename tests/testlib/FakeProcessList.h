#pragma once
#include <string>
#include <vector>

#include "testlib/TempFolder.h"

namespace mailwright::testing {

// A process list of the processes given, in a fake /proc, in force while the object lives.
// A process whose argv[0] is a Unix path is native; the others are run by Wine's loader
// in the prefix kWinePrefix (the prefix of ScopedMemorySession).
class FakeProcessList {
public:
    static constexpr const char* kWinePrefix = "/fake/wine/prefix";

    explicit FakeProcessList(const std::vector<std::string>& argv0s);
    ~FakeProcessList();
    FakeProcessList(const FakeProcessList&) = delete;
    FakeProcessList& operator=(const FakeProcessList&) = delete;

    // Adds a process that Wine's loader `loader` (a path) runs with this environment
    // ("WINEPREFIX=...", "HOME=..."); an empty loader makes a native process.
    void AddProcess(const std::string& argv0, const std::string& loader, const std::vector<std::string>& environment);

    // Adds a Wine process of kWinePrefix whose cmdline is empty and whose command name is `comm`.
    void AddKernelStyle(const std::string& comm);
    // Adds a process whose files open but cannot be read, as those of a process that
    // ends while the list is read (a folder in place of each file fails the same way).
    void AddEnding();

private:
    TempFolder m_root;
    std::string m_previous;
    int m_next = 100;
};

}  // namespace mailwright::testing
