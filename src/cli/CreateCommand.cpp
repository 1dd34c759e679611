// mailwright-cli create: the account creation of the dialog's "Create account", with the
// console as its user interface.
#include <memory>
#include <optional>
#include <string>

#include "account/VeskEmailAddress.h"
#include "cli/CliCommands.h"
#include "cli/ClientNames.h"
#include "cli/ConsoleUserInterface.h"
#include "cli/DiscoveryOptions.h"
#include "creation/CMailAccountCreator.h"
#include "providers/CProviderDatabase.h"
#include "support/StringTable.h"
#include "support/TextUtil.h"

namespace mailwright::cli {
namespace {

struct CreateOptions {
    std::string email;
    std::string name;
    std::optional<std::string> userName;
    std::optional<std::string> profile;
    std::string client;
    bool quiet = false;
    DiscoverySettings discovery;
};

int Create(const CreateOptions& options) {
    const std::optional<MailClientKind> client = ClientByName(options.client);
    if (!client) return Fail("create: unknown client \"" + options.client + "\" (" + ClientNameList() + ")");
    // The dialog offers "Create account" only for an address that passes this check.
    if (!VeskEmailAddress(options.email).IsValid())
        return Fail("create: \"" + options.email + "\" is not an e-mail address");
    if (options.userName && Trim(*options.userName).empty())
        return Fail("create: --user-name: " + LoadString(IDS_PROVIDE_DATA));

    auto console = std::make_shared<ConsoleUserInterface>();
    console->SetUserName(options.userName);
    console->SetProfile(options.profile);
    console->SetQuiet(options.quiet);
    const std::shared_ptr<IUserInterface> previous = SetUserInterface(console);
    CProviderDatabase::EnsureDatabaseFile();
    // Not the creation's silent mode, which would hide the flow's own errors but not the
    // writers': errors belong on stderr, whatever their source.
    CMailAccountCreator creator(options.email, options.name, false);
    creator.SetDiscoverySettings(options.discovery);
    const bool created = creator.Create(*client);
    SetUserInterface(previous);
    return created ? 0 : Fail("create: no account was created", 1);
}

}  // namespace

void AddCreateCommand(CommandLine& cli) {
    const auto options = std::make_shared<CreateOptions>();
    CLI::App& create = cli.AddCommand(cli.Root(), "create", "Create a mail account in a mail client of the session",
                                      [options] { return Create(*options); });
    create.add_option("--email", options->email, "The e-mail address of the account")->type_name("ADDR")->required();
    create.add_option("--name", options->name, "The display name (default: the part before \"@\")")->type_name("NAME");
    create.add_option("--user-name", options->userName, "The log-on name, for providers that ask for one")
        ->type_name("NAME");
    create.add_option("--profile", options->profile, "The Outlook profile that receives the account")
        ->type_name("NAME");
    create.add_flag("--quiet", options->quiet, "Print no result; errors still go to standard error, and the exit status tells");
    create.add_option("--client", options->client, "The mail client: " + ClientNameList() + " (or live-mail)")
        ->type_name("CLIENT")
        ->required();
    AddDiscoveryOptions(create, options->discovery);
}

}  // namespace mailwright::cli
