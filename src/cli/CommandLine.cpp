#include "cli/CommandLine.h"

#include <exception>
#include <iostream>
#include <ostream>

#include "BuildConfig.h"

namespace mailwright::cli {
namespace {

constexpr int kUsageStatus = 2;
constexpr int kExceptionStatus = 3;

// The commands chosen so far, outermost first.
std::vector<const CLI::App*> ChosenCommands(const CLI::App& root) {
    std::vector<const CLI::App*> chosen;
    for (const CLI::App* app = &root; !app->get_subcommands().empty();) {
        app = app->get_subcommands().front();
        chosen.push_back(app);
    }
    return chosen;
}

// "providers compile" for the commands chosen so far.
std::string ChosenPath(const CLI::App& root) {
    std::string path;
    for (const CLI::App* app : ChosenCommands(root)) path += (path.empty() ? "" : " ") + app->get_name();
    return path;
}

constexpr const char* kManualPage = "See mailwright-cli(1) for the files, the environment and examples.";

}  // namespace

CommandLine::CommandLine(std::ostream& out, std::ostream& err)
    : m_app("Creates POP3/SMTP mail accounts in the mail clients of a Wine prefix.", "mailwright-cli"),
      m_out(out),
      m_err(err) {
    m_app.set_version_flag("--version", "mailwright-cli " MAILWRIGHT_VERSION_TEXT, "Print the version and exit");
    m_app.set_help_flag("-h,--help", "Print this help and exit");
    m_app.require_subcommand(1);
    m_app.footer(std::string("Run 'mailwright-cli COMMAND --help' for the options of a command.\n") + kManualPage);
    m_app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

CLI::App& CommandLine::AddGroup(CLI::App& parent, const std::string& name, const std::string& description) {
    for (CLI::App* existing : parent.get_subcommands([](const CLI::App*) { return true; }))
        if (existing->get_name() == name) return *existing;
    CLI::App& group = *parent.add_subcommand(name, description);
    group.require_subcommand(1);
    group.footer(kManualPage);
    return group;
}

CLI::App& CommandLine::AddCommand(CLI::App& parent, const std::string& name, const std::string& description,
                                  CommandAction action) {
    CLI::App& command = *parent.add_subcommand(name, description);
    command.footer(kManualPage);
    m_actions[&command] = std::move(action);
    return command;
}

int CommandLine::Run(int argc, const char* const* argv) {
    try {
        m_app.parse(argc, argv);
    } catch (const CLI::Success& done) {  // --help or --version
        return m_app.exit(done, m_out, m_err);
    } catch (const CLI::ParseError& error) {
        return UsageError(error);
    }
    const auto action = m_actions.find(ChosenCommand());
    if (action == m_actions.end()) return kUsageStatus;  // a group without a command cannot parse
    try {
        return action->second();
    } catch (const std::exception& e) {
        m_err << m_app.get_name() << ": " << e.what() << std::endl;
        return kExceptionStatus;
    }
}

int CommandLine::UsageError(const CLI::Error& error) {
    const std::vector<const CLI::App*> chosen = ChosenCommands(m_app);
    const CLI::App& last = chosen.empty() ? m_app : *chosen.back();
    // A mistyped command reaches CLI11 as an argument the group did not expect.
    const std::vector<std::string> unknown = last.remaining();
    const std::string reason = last.get_require_subcommand_min() > 0 && !unknown.empty()
                                   ? "unknown command \"" + unknown.front() + "\""
                                   : error.what();
    const std::string path = ChosenPath(m_app);
    const std::string program = m_app.get_name();
    m_err << program << ": " << (path.empty() ? "" : path + ": ") << reason << " (see '" << program
          << (path.empty() ? "" : " " + path) << " --help')" << std::endl;
    return kUsageStatus;
}

const CLI::App* CommandLine::ChosenCommand() const {
    const std::vector<const CLI::App*> chosen = ChosenCommands(m_app);
    return chosen.empty() ? &m_app : chosen.back();
}

int Fail(const std::string& reason, int status) {
    std::cerr << "mailwright-cli: " << reason << std::endl;
    return status;
}

}  // namespace mailwright::cli
