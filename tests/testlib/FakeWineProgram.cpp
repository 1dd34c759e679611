#include "testlib/FakeWineProgram.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <vector>

namespace mailwright::testing {

FakeWineProgram::FakeWineProgram(const std::string& windowsPath, const std::map<std::string, std::string>& environment) {
    const std::string loader = m_bin.Sub("wine64-preloader");
    std::filesystem::copy_file("/bin/sleep", loader);
    std::filesystem::permissions(loader, std::filesystem::perms::owner_all);
    std::vector<std::string> variables;
    for (const auto& [name, value] : environment) variables.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (std::string& variable : variables) envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::string argv0 = windowsPath;
    std::string seconds = "60";
    char* argv[] = {argv0.data(), seconds.data(), nullptr};

    int exec[2];
    if (::pipe2(exec, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    m_pid = ::fork();
    if (m_pid == 0) {
        ::execve(loader.c_str(), argv, envp.data());
        (void)!::write(exec[1], "x", 1);
        ::_exit(127);
    }
    ::close(exec[1]);
    char failed;
    const bool started = ::read(exec[0], &failed, 1) == 0;  // end of file: the exec closed the pipe
    ::close(exec[0]);
    if (!started) throw std::runtime_error("the program could not be started");
}

FakeWineProgram::~FakeWineProgram() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
}

}  // namespace mailwright::testing
