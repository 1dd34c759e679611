#pragma once
#include <map>
#include <string>
#include <vector>

namespace mailwright::testing {

struct ProgramRun {
    int status = -1;  // the exit status; -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Runs a program to its end with stdin from /dev/null and the environment of this
// process changed by `environment` (an empty value removes the variable). Unless
// `environment` names them, LANGUAGE and LC_ALL are removed and LC_MESSAGES is "C", so
// that the program's texts are English.
ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& environment);

// The built command-line program.
std::string CliProgram();

}  // namespace mailwright::testing
