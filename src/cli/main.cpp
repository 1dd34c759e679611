// mailwright-cli: the command-line front end over the core.
#include <clocale>
#include <iostream>
#include <memory>
#include <string>

#include "cli/CliCommands.h"
#include "cli/ConsoleUserInterface.h"
#include "platform/WinePrefixSession.h"
#include "support/IUserInterface.h"

namespace mailwright::cli {
namespace {

struct Command {
    const char* name;
    int (*run)(const Args&);
    const char* usage;
};

constexpr Command kCommands[] = {
    {"providers", RunProviders, "providers compile SRC OUT | dump FILE | lookup [--file FILE] DOMAIN"},
    {"update", RunUpdate, "update [--url URL]"},
    {"session", RunSession, "session"},
    {"create", RunCreate,
     "create --email ADDR [--name NAME] [--user-name NAME] [--profile NAME] [--quiet] "
     "--client outlook-express|outlook|windows-mail|windows-live-mail|live-mail"},
    {"detect", RunDetect, "detect"},
    {"newsreader", RunNewsreader, "newsreader"},
};

int Usage() {
    std::cerr << "usage: mailwright-cli COMMAND ...\n";
    for (const Command& c : kCommands) std::cerr << "  mailwright-cli " << c.usage << "\n";
    return 2;
}

}  // namespace

int Fail(const std::string& reason, int status) {
    std::cerr << "mailwright-cli: " << reason << std::endl;
    return status;
}

}  // namespace mailwright::cli

int main(int argc, char** argv) {
    using namespace mailwright;
    std::setlocale(LC_ALL, "");
    SetUserInterface(std::make_shared<ConsoleUserInterface>());
    WindowsSession::SetCurrent(WinePrefixSession::FromEnvironment());
    if (argc < 2) return cli::Usage();
    const std::string name = argv[1];
    if (name == "--help" || name == "-h") return cli::Usage(), 0;
    for (const cli::Command& c : cli::kCommands) {
        if (name == c.name) {
            try {
                return c.run(cli::Args(argv + 2, argv + argc));
            } catch (const std::exception& e) {
                return cli::Fail(e.what(), 3);
            }
        }
    }
    return cli::Usage();
}
