// mailwright-cli create: the account creation of the dialog's "Create account", with the
// console as its user interface.
#include <memory>
#include <optional>
#include <string>

#include "cli/CliCommands.h"
#include "cli/ClientNames.h"
#include "cli/ConsoleUserInterface.h"
#include "creation/CMailAccountCreator.h"
#include "account/VeskEmailAddress.h"
#include "providers/CProviderDatabase.h"
#include "support/StringTable.h"
#include "support/TextUtil.h"

namespace mailwright::cli {
namespace {

struct CreateOptions {
    std::optional<std::string> email;
    std::string name;
    std::optional<std::string> userName;
    std::optional<std::string> profile;
    std::optional<std::string> client;
    bool quiet = false;
};

// Reads the options; the reason when they are not usable.
std::optional<std::string> ParseOptions(const Args& args, CreateOptions& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--quiet") {
            options.quiet = true;
            continue;
        }
        if (option != "--email" && option != "--name" && option != "--user-name" && option != "--client" &&
            option != "--profile")
            return "unknown option " + option;
        if (i + 1 == args.size()) return option + " needs a value";
        const std::string& value = args[++i];
        if (option == "--email") options.email = value;
        else if (option == "--name") options.name = value;
        else if (option == "--user-name") options.userName = value;
        else if (option == "--profile") options.profile = value;
        else options.client = value;
    }
    if (!options.email) return "--email ADDR is required";
    if (!options.client) return "--client is required (" + ClientNameList() + ")";
    return std::nullopt;
}

}  // namespace

int RunCreate(const Args& args) {
    CreateOptions options;
    if (const std::optional<std::string> problem = ParseOptions(args, options)) return Fail("create: " + *problem);
    const std::optional<MailClientKind> client = ClientByName(*options.client);
    if (!client) return Fail("create: unknown client \"" + *options.client + "\" (" + ClientNameList() + ")");
    // The dialog offers "Create account" only for an address that passes this check.
    if (!VeskEmailAddress(*options.email).IsValid())
        return Fail("create: \"" + *options.email + "\" is not an e-mail address");
    if (options.userName && Trim(*options.userName).empty())
        return Fail("create: --user-name: " + LoadString(IDS_PROVIDE_DATA));

    auto console = std::make_shared<ConsoleUserInterface>();
    console->SetUserName(options.userName);
    console->SetProfile(options.profile);
    const std::shared_ptr<IUserInterface> previous = SetUserInterface(console);
    CProviderDatabase::EnsureDatabaseFile();
    const bool created = CMailAccountCreator(*options.email, options.name, options.quiet).Create(*client);
    SetUserInterface(previous);
    return created ? 0 : Fail("create: no account was created", 1);
}

}  // namespace mailwright::cli
