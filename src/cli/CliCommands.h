#pragma once
// The subcommands of mailwright-cli. Each takes its arguments after the command
// name and returns the exit status; a failure prints one line on stderr.
#include <string>
#include <vector>

namespace mailwright::cli {

using Args = std::vector<std::string>;

int RunProviders(const Args& args);
int RunUpdate(const Args& args);
int RunSession(const Args& args);
int RunCreate(const Args& args);
int RunDetect(const Args& args);
int RunNewsreader(const Args& args);

// Prints "mailwright-cli: <reason>" on stderr and returns the status.
int Fail(const std::string& reason, int status = 2);

}  // namespace mailwright::cli
