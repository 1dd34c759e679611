#pragma once
#include <string>
#include <vector>

#include "testlib/TempFolder.h"

namespace mailwright::testing {

// A process list of the processes given, in a fake /proc, in force while the object lives.
class FakeProcessList {
public:
    explicit FakeProcessList(const std::vector<std::string>& argv0s);
    ~FakeProcessList();

    // Adds a process whose cmdline is empty and whose command name is `comm`.
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
