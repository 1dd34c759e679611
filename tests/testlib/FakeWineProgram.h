#pragma once
#include <sys/types.h>

#include <map>
#include <string>

#include "testlib/TempFolder.h"

namespace mailwright::testing {

// A real process that looks like a Windows program run by Wine: a copy of sleep(1) named
// like Wine's loader, started with the program's Windows path as argv[0] and the
// environment given. Killed and reaped with the object.
class FakeWineProgram {
public:
    FakeWineProgram(const std::string& windowsPath, const std::map<std::string, std::string>& environment);
    ~FakeWineProgram();
    FakeWineProgram(const FakeWineProgram&) = delete;
    FakeWineProgram& operator=(const FakeWineProgram&) = delete;

    pid_t Pid() const { return m_pid; }

private:
    TempFolder m_bin;
    pid_t m_pid = -1;
};

}  // namespace mailwright::testing
