#pragma once
// The commands of mailwright-cli. Each file adds one command or one group of commands
// with an Add function listed here; to add a command, write its file, declare its Add
// function, put it into kCommandGroups and describe the command in the manual page
// docs/man/mailwright-cli.1.scd (a test checks). A command returns its exit status; a
// failure prints one line on stderr (Fail).
#include "cli/CommandLine.h"

namespace mailwright::cli {

void AddProvidersCommands(CommandLine& cli);
void AddSessionCommand(CommandLine& cli);
void AddUpdateCommand(CommandLine& cli);
void AddCreateCommand(CommandLine& cli);
void AddDetectCommand(CommandLine& cli);
void AddNewsreaderCommand(CommandLine& cli);
void AddPrefixesCommand(CommandLine& cli);

// Every Add function, in the order of the help's command list.
inline constexpr void (*kCommandGroups[])(CommandLine&) = {
    AddProvidersCommands, AddSessionCommand, AddPrefixesCommand, AddUpdateCommand, AddCreateCommand, AddDetectCommand,
    AddNewsreaderCommand,
};

}  // namespace mailwright::cli
