#include "cli/CliCommands.h"

namespace mailwright::cli {

int RunProviders(const Args&) { return Fail("providers: not built yet"); }

}  // namespace mailwright::cli
