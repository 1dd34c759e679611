#pragma once
// The command line of mailwright-cli: a tree of command groups and commands on CLI11.
#include <CLI/CLI.hpp>
#include <functional>
#include <iosfwd>
#include <map>
#include <string>

namespace mailwright::cli {

// What a command does once its arguments are parsed; returns the exit status.
using CommandAction = std::function<int()>;

class CommandLine {
public:
    // Usage errors and help go to `err` and `out`.
    CommandLine(std::ostream& out, std::ostream& err);

    CLI::App& Root() { return m_app; }

    // A group of commands, such as "providers"; it needs one of its commands. A group that
    // exists already is returned as it is, so that several files can add to it.
    CLI::App& AddGroup(CLI::App& parent, const std::string& name, const std::string& description);
    // A command that runs `action`; add its options and arguments to the returned app,
    // storing them where the action reads them.
    CLI::App& AddCommand(CLI::App& parent, const std::string& name, const std::string& description,
                         CommandAction action);

    // Parses and runs the command: its status; 0 after --help or --version; 2 for a usage
    // error; 3 when the command ends in an exception.
    int Run(int argc, const char* const* argv);

private:
    int UsageError(const CLI::Error& error);
    // The command that was chosen: the deepest parsed subcommand.
    const CLI::App* ChosenCommand() const;

    CLI::App m_app;
    std::ostream& m_out;
    std::ostream& m_err;
    std::map<const CLI::App*, CommandAction> m_actions;
};

// Prints "mailwright-cli: <reason>" on stderr and returns the status.
int Fail(const std::string& reason, int status = 2);

}  // namespace mailwright::cli
