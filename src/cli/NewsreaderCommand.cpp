// mailwright-cli newsreader: the dialog's "Apply", which makes the mail client that comes
// with Windows a newsgroup reader.
#include "cli/CliCommands.h"
#include "support/StringTable.h"
#include "support/WindowsSession.h"
#include "writers/NewsgroupSettings.h"

namespace mailwright::cli {

namespace {

int ApplyNewsreader() {
    OsVersionInfo version;
    if (!WindowsSession::Current()->GetVersionEx(version))
        return Fail("newsreader: " + LoadString(IDS_OS_UNKNOWN) + " (no Wine prefix: name one with --prefix DIR or WINEPREFIX)", 1);
    CIdentityRegWriter writer;
    return ApplyNewsgroupSettings(writer, version) ? 0 : 1;
}

}  // namespace

void AddNewsreaderCommand(CommandLine& cli) {
    cli.AddCommand(cli.Root(), "newsreader", "Make the mail client of Windows a newsgroup reader", ApplyNewsreader);
}

}  // namespace mailwright::cli
