#include "testlib/RunProgram.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "testlib/TempFolder.h"

extern char** environ;

namespace mailwright::testing {
namespace {

// The programs speak English unless a test asks for a language, whatever the locale of
// the one who runs the tests.
const std::map<std::string, std::string> kEnglish = {{"LANGUAGE", ""}, {"LC_ALL", ""}, {"LC_MESSAGES", "C"}};

std::vector<std::string> ChangedEnvironment(std::map<std::string, std::string> changes) {
    changes.insert(kEnglish.begin(), kEnglish.end());
    std::vector<std::string> entries;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        if (!changes.count(name)) entries.push_back(text);
    }
    for (const auto& [name, value] : changes)
        if (!value.empty()) entries.push_back(name + "=" + value);
    return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& environment) {
    TempFolder output;
    const std::string outPath = output.Sub("out"), errPath = output.Sub("err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> envp = ChangedEnvironment(environment);
    std::vector<char*> argvPointers = Pointers(argv), envPointers = Pointers(envp);

    ProgramRun run;
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argvPointers.data(), envPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        run.err = std::string("cannot start ") + program + ": " + std::strerror(spawned);
        return run;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
    run.out = output.ReadFile("out");
    run.err = output.ReadFile("err");
    return run;
}

std::string CliProgram() { return MW_BINARY_DIR "/src/mailwright-cli"; }

}  // namespace mailwright::testing
