// mailwright-cli: the command-line front end over the core.
#include <clocale>
#include <iostream>
#include <memory>

#include "cli/CliCommands.h"
#include "cli/ConsoleUserInterface.h"
#include "platform/WinePrefixSession.h"
#include "support/IUserInterface.h"
#include "support/VeskCatalog.h"

int main(int argc, char** argv) {
    using namespace mailwright;
    std::setlocale(LC_ALL, "");
    VeskCatalog::Activate(VeskCatalog::DefaultLocaleFolder());
    SetUserInterface(std::make_shared<ConsoleUserInterface>());
    WindowsSession::SetCurrent(WinePrefixSession::FromEnvironment());
    cli::CommandLine commandLine(std::cout, std::cerr);
    for (const auto add : cli::kCommandGroups) add(commandLine);
    return commandLine.Run(argc, argv);
}
