// The command line of mailwright-cli: parsing, dispatch, help, version and usage errors,
// on command lines built in the test and on the program's own commands.
#include "cli/CommandLine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "BuildConfig.h"
#include "cli/CliCommands.h"
#include "testlib/RunProgram.h"

namespace mailwright::cli {
namespace {

using testing::CliProgram;
using testing::ProgramRun;
using testing::RunProgram;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// A command line with a group "tool" of two commands and a plain command "fail".
class CommandLineTest : public ::testing::Test {
protected:
    CommandLineTest() : m_cli(m_out, m_err) {
        CLI::App& tool = m_cli.AddGroup(m_cli.Root(), "tool", "A group");
        CLI::App& run = m_cli.AddCommand(tool, "run", "Runs", [this] {
            m_ran = "run " + m_value;
            return m_status;
        });
        run.add_option("--value", m_value, "A value")->required();
        CLI::App& list = m_cli.AddCommand(tool, "list", "Lists", [this] {
            m_ran = "list " + m_file;
            return 0;
        });
        list.add_option("FILE", m_file, "A file")->required();
        m_cli.AddCommand(m_cli.Root(), "fail", "Throws", []() -> int { throw std::runtime_error("it broke"); });
    }

    Outcome Run(std::vector<const char*> args) {
        args.insert(args.begin(), "mailwright-cli");
        const int status = m_cli.Run(static_cast<int>(args.size()), args.data());
        return {status, m_out.str(), m_err.str()};
    }

    std::ostringstream m_out, m_err;
    CommandLine m_cli;
    std::string m_value, m_file, m_ran;
    int m_status = 7;
};

TEST_F(CommandLineTest, RunsTheChosenCommandAndReturnsItsStatus) {
    const Outcome outcome = Run({"tool", "run", "--value", "a", "--value", "b"});
    EXPECT_EQ(outcome.status, 7);
    EXPECT_EQ(m_ran, "run b");  // a repeated option: the last one counts
    EXPECT_EQ(outcome.out + outcome.err, "");

    m_status = 0;
    EXPECT_EQ(Run({"tool", "run", "--value=c"}).status, 0);
    EXPECT_EQ(m_ran, "run c");
    EXPECT_EQ(Run({"tool", "list", "x.lst"}).status, 0);
    EXPECT_EQ(m_ran, "list x.lst");
}

TEST_F(CommandLineTest, UsageErrorsAreOneLineOnStderrWithStatusTwo) {
    const struct {
        std::vector<const char*> args;
        const char* err;
    } cases[] = {
        {{}, "mailwright-cli: A subcommand is required (see 'mailwright-cli --help')\n"},
        {{"frob"}, "mailwright-cli: unknown command \"frob\" (see 'mailwright-cli --help')\n"},
        {{"tool"}, "mailwright-cli: tool: A subcommand is required (see 'mailwright-cli tool --help')\n"},
        {{"tool", "frob"}, "mailwright-cli: tool: unknown command \"frob\" (see 'mailwright-cli tool --help')\n"},
        {{"tool", "run"}, "mailwright-cli: tool run: --value is required (see 'mailwright-cli tool run --help')\n"},
        {{"tool", "run", "--value"},
         "mailwright-cli: tool run: --value: 1 required TEXT missing (see 'mailwright-cli tool run --help')\n"},
        {{"tool", "run", "--value", "a", "--bcc"},
         "mailwright-cli: tool run: The following argument was not expected: --bcc "
         "(see 'mailwright-cli tool run --help')\n"},
        {{"tool", "list", "a", "b"},
         "mailwright-cli: tool list: The following argument was not expected: b "
         "(see 'mailwright-cli tool list --help')\n"},
        {{"fail", "now"},
         "mailwright-cli: fail: The following argument was not expected: now (see 'mailwright-cli fail --help')\n"},
    };
    for (const auto& c : cases) {
        m_out.str("");
        m_err.str("");
        const Outcome outcome = Run(c.args);
        SCOPED_TRACE(c.err);
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(outcome.err, c.err);
        EXPECT_EQ(outcome.out, "");
        EXPECT_EQ(m_ran, "");
    }
}

TEST_F(CommandLineTest, ExceptionOfACommandEndsWithStatusThree) {
    const Outcome outcome = Run({"fail"});
    EXPECT_EQ(outcome.status, 3);
    EXPECT_EQ(outcome.err, "mailwright-cli: it broke\n");
}

TEST_F(CommandLineTest, HelpAndVersionGoToStdout) {
    const struct {
        std::vector<const char*> args;
        const char* shown;
    } cases[] = {
        {{"--help"}, "Usage: mailwright-cli [OPTIONS] SUBCOMMAND"},
        {{"-h"}, "  tool                        A group\n"},
        {{"tool", "--help"}, "Usage: mailwright-cli tool [OPTIONS] SUBCOMMAND"},
        {{"tool", "run", "--help"}, "  --value TEXT REQUIRED       A value\n"},
        {{"tool", "list", "-h"}, "Usage: mailwright-cli tool list [OPTIONS] FILE"},
        {{"--version"}, "mailwright-cli " MAILWRIGHT_VERSION_TEXT "\n"},
    };
    for (const auto& c : cases) {
        m_out.str("");
        m_err.str("");
        const Outcome outcome = Run(c.args);
        SCOPED_TRACE(c.shown);
        EXPECT_EQ(outcome.status, 0);
        EXPECT_NE(outcome.out.find(c.shown), std::string::npos) << outcome.out;
        EXPECT_EQ(outcome.err, "");
        EXPECT_EQ(m_ran, "");  // help wins over the command, even a complete one
    }
    EXPECT_EQ(Run({"tool", "run", "--value", "a", "--help"}).status, 0);
    EXPECT_EQ(m_ran, "");
}

TEST_F(CommandLineTest, GroupAddedTwiceIsOneGroup) {
    CLI::App& again = m_cli.AddGroup(m_cli.Root(), "tool", "Another description");
    m_cli.AddCommand(again, "more", "More", [] { return 5; });
    EXPECT_EQ(Run({"tool", "more"}).status, 5);
    EXPECT_EQ(Run({"tool", "list", "f"}).status, 0);
}

// The program itself: its version, and a help page for every command.
TEST(MailwrightCliTest, VersionAndHelpOfEveryCommand) {
    const ProgramRun version = RunProgram(CliProgram(), {"--version"}, {});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "mailwright-cli " MAILWRIGHT_VERSION_TEXT "\n");

    const std::vector<std::vector<std::string>> commands = {
        {},
        {"providers"},
        {"providers", "compile"},
        {"providers", "dump"},
        {"providers", "lookup"},
        {"providers", "import"},
        {"providers", "diff"},
        {"session"},
        {"prefixes"},
        {"update"},
        {"create"},
        {"detect"},
        {"newsreader"},
    };
    for (std::vector<std::string> args : commands) {
        std::string usage = "Usage: mailwright-cli";
        for (const std::string& word : args) usage += " " + word;
        args.push_back("--help");
        const ProgramRun help = RunProgram(CliProgram(), args, {});
        SCOPED_TRACE(usage);
        EXPECT_EQ(help.status, 0);
        EXPECT_NE(help.out.find(usage + " [OPTIONS]"), std::string::npos) << help.out;
        EXPECT_NE(help.out.find("mailwright-cli(1)"), std::string::npos);
        EXPECT_EQ(help.err, "");
    }
}

TEST(MailwrightCliTest, CommandsListTheirOptions) {
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> shown;
    } cases[] = {
        {{"--help"}, {"providers", "session", "prefixes", "update", "create", "detect", "newsreader", "--prefix DIR"}},
        {{"providers", "--help"}, {"compile", "dump", "lookup", "import", "diff"}},
        {{"providers", "diff", "--help"}, {"SRC", "FILE|DIR"}},
        {{"providers", "lookup", "--help"}, {"--file FILE", "DOMAIN"}},
        {{"update", "--help"}, {"--url URL"}},
        {{"create", "--help"},
         {"--email ADDR", "--name NAME", "--user-name NAME", "--profile NAME", "--quiet", "--client CLIENT",
          "outlook-express", "windows-mail", "live-mail"}},
    };
    for (const auto& c : cases) {
        const ProgramRun help = RunProgram(CliProgram(), c.args, {});
        for (const std::string& shown : c.shown) EXPECT_NE(help.out.find(shown), std::string::npos) << shown;
    }
}

// Every command path and option of the program, as "providers lookup" and "--file".
void CollectCommands(const CLI::App& app, const std::string& path, std::vector<std::string>& commands,
                     std::vector<std::string>& options) {
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
        const std::string subPath = path.empty() ? sub->get_name() : path + " " + sub->get_name();
        commands.push_back(subPath);
        for (const CLI::Option* option : sub->get_options())
            if (!option->get_lnames().empty() && option->get_lnames().front() != "help")
                options.push_back("--" + option->get_lnames().front());
        CollectCommands(*sub, subPath, commands, options);
    }
}

TEST(ManualPageTest, DescribesEveryCommandAndOption) {
    std::ostringstream out, err;
    CommandLine cli(out, err);
    for (const auto add : kCommandGroups) add(cli);
    std::vector<std::string> commands, options;
    CollectCommands(cli.Root(), "", commands, options);
    ASSERT_GE(commands.size(), 6u);

    std::ifstream file(MW_SOURCE_DIR "/docs/man/mailwright-cli.1.scd");
    const std::string page{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    ASSERT_FALSE(page.empty());
    for (const std::string& command : commands) {
        const bool isGroup = std::any_of(commands.begin(), commands.end(),
                                         [&](const std::string& other) { return other.rfind(command + " ", 0) == 0; });
        if (isGroup) continue;
        EXPECT_NE(page.find("\n*" + command + "*"), std::string::npos) << command;
    }
    for (const std::string& option : options) EXPECT_NE(page.find("*" + option + "*"), std::string::npos) << option;
}

}  // namespace
}  // namespace mailwright::cli
