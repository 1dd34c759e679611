// mailwright-cli providers, run as the built program.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/EmbeddedResource.h"
#include "testlib/TempFolder.h"

extern char** environ;

using namespace mailwright;
using namespace mailwright::testing;

namespace {

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs the CLI in a session without a Wine prefix whose Application Data folder is
// `data` (so that nothing of the machine's own folders is touched).
Result RunCli(const TempFolder& data, const std::vector<std::string>& args) {
    std::vector<std::string> env = {"HOME=" + data.Path(), "XDG_DATA_HOME=" + data.Path(), "PATH=/usr/bin:/bin"};
    std::vector<std::string> argv = {MW_BINARY_DIR "/src/mailwright-cli", "providers"};
    argv.insert(argv.end(), args.begin(), args.end());
    const auto pointers = [](std::vector<std::string>& strings) {
        std::vector<char*> p;
        for (std::string& s : strings) p.push_back(s.data());
        p.push_back(nullptr);
        return p;
    };
    std::vector<char*> argvp = pointers(argv), envp = pointers(env);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = data.Sub("cli.out"), err = data.Sub("cli.err");
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    Result result;
    if (posix_spawn(&pid, argvp[0], &actions, nullptr, argvp.data(), envp.data()) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    result.out = data.ReadFile("cli.out");
    result.err = data.ReadFile("cli.err");
    return result;
}

std::string EmbeddedDefault() {
    const auto r = FindEmbeddedResource("BIN", IDR_DEFAULT_DATABASE);
    return r ? std::string(r->begin(), r->end()) : std::string();
}

int CountLines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

}  // namespace

TEST(ProvidersCommand, DumpThenCompileGivesTheSameFile) {
    TempFolder tmp;
    tmp.WriteFile("default.lst", EmbeddedDefault());
    tmp.WriteFile("odd.toml",
                  "format_version = 3\n"
                  "[[provider]]\nname = { hex = \"c5e6\" }\nlayout = 1\ndomains = [\"odd.pl\"]\n"
                  "pop3 = { server = \"pop.odd.pl\", port = 110, ssl = false }\n"
                  "smtp = { server = \"smtp.odd.pl\", port = 25, ssl = false, auth = 2 }\n"
                  "user_name_is_email = false\nask_user_name = true\nalt_comment = \"Zaka\\u017Cone \\\"x\\\"\"\n");
    ASSERT_EQ(RunCli(tmp, {"compile", tmp.Sub("odd.toml"), tmp.Sub("odd.lst")}).status, 0);
    for (const std::string name : {"default", "odd"}) {
        const Result dump = RunCli(tmp, {"dump", tmp.Sub(name + ".lst")});
        ASSERT_EQ(dump.status, 0) << dump.err;
        EXPECT_EQ(dump.err, "");
        tmp.WriteFile(name + ".toml", dump.out);
        const Result compile = RunCli(tmp, {"compile", tmp.Sub(name + ".toml"), tmp.Sub(name + "2.lst")});
        ASSERT_EQ(compile.status, 0) << compile.err;
        EXPECT_EQ(tmp.ReadFile(name + "2.lst"), tmp.ReadFile(name + ".lst")) << name;
    }
}

TEST(ProvidersCommand, BadSourceNamesTheLineAndWritesNothing) {
    TempFolder tmp;
    tmp.WriteFile("bad.toml", "format_version = 1\n\n[[provider]]\nname = \"x\"\nlayout = 7\n");
    const Result r = RunCli(tmp, {"compile", tmp.Sub("bad.toml"), tmp.Sub("out.lst")});
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(CountLines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find(tmp.Sub("bad.toml") + ":5:"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("layout"), std::string::npos) << r.err;
    EXPECT_FALSE(tmp.Exists("out.lst"));

    const Result missing = RunCli(tmp, {"compile", tmp.Sub("none.toml"), tmp.Sub("out.lst")});
    EXPECT_NE(missing.status, 0);
    EXPECT_EQ(CountLines(missing.err), 1) << missing.err;
    EXPECT_FALSE(tmp.Exists("out.lst"));

    tmp.WriteFile("good.toml", "format_version = 1\n[[provider]]\nname = \"x\"\nlayout = 2\ndomains = [\"x.pl\"]\n"
                               "pop3 = { server = \"p\", port = 995, ssl = true }\n"
                               "smtp = { server = \"s\", port = 465, ssl = true, auth = true }\n"
                               "user_name_is_email = true\nask_user_name = false\n");
    const Result unwritable = RunCli(tmp, {"compile", tmp.Sub("good.toml"), tmp.Sub("no/such/folder/out.lst")});
    EXPECT_NE(unwritable.status, 0);
    EXPECT_EQ(CountLines(unwritable.err), 1) << unwritable.err;
    EXPECT_NE(unwritable.err.find("cannot write"), std::string::npos) << unwritable.err;
    EXPECT_EQ(RunCli(tmp, {"compile", tmp.Sub("good.toml"), tmp.Sub("out.lst")}).status, 0);
    EXPECT_TRUE(tmp.Exists("out.lst"));
}

TEST(ProvidersCommand, LookupInAFile) {
    TempFolder tmp;
    tmp.WriteFile("p.lst", EmbeddedDefault());
    const Result found = RunCli(tmp, {"lookup", "--file", tmp.Sub("p.lst"), " WP.PL "});
    ASSERT_EQ(found.status, 0) << found.err;
    EXPECT_NE(found.out.find("pop3 server: pop3.wp.pl\n"), std::string::npos) << found.out;
    EXPECT_NE(found.out.find("pop3 user name: the part before \"@\"\n"), std::string::npos) << found.out;

    const Result unknown = RunCli(tmp, {"lookup", "--file", tmp.Sub("p.lst"), "mail.wp.pl"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.out, "");
    EXPECT_EQ(CountLines(unknown.err), 1);

    // The domain rule of account creation: a subdomain of the subdomain host finds the host,
    // with servers named after the subdomain; in capitals it is not reduced.
    const Result customer = RunCli(tmp, {"lookup", "--file", tmp.Sub("p.lst"), "firma.home.pl"});
    ASSERT_EQ(customer.status, 0) << customer.err;
    EXPECT_NE(customer.out.find("name: home.pl\n"), std::string::npos) << customer.out;
    EXPECT_NE(customer.out.find("pop3 server: firma.home.pl\n"), std::string::npos) << customer.out;
    EXPECT_NE(customer.out.find("smtp server: firma.home.pl\n"), std::string::npos) << customer.out;
    EXPECT_EQ(RunCli(tmp, {"lookup", "--file", tmp.Sub("p.lst"), "FIRMA.HOME.PL"}).status, 1);

    EXPECT_EQ(RunCli(tmp, {"lookup", "--file", tmp.Sub("none.lst"), "wp.pl"}).status, 2);
    EXPECT_EQ(RunCli(tmp, {"lookup"}).status, 2);
    EXPECT_EQ(RunCli(tmp, {"frobnicate"}).status, 2);
}

TEST(ProvidersCommand, LookupExtractsOnlyAMissingDatabase) {
    TempFolder tmp;
    const Result first = RunCli(tmp, {"lookup", "gmail.com"});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_NE(first.out.find("name: Gmail\n"), std::string::npos);
    EXPECT_EQ(tmp.ReadFile("Mailwright/providers.lst"), EmbeddedDefault());

    // A present file is used as it is, even a damaged one.
    tmp.WriteFile("Mailwright/providers.lst", "damaged");
    EXPECT_EQ(RunCli(tmp, {"lookup", "gmail.com"}).status, 1);
    EXPECT_EQ(tmp.ReadFile("Mailwright/providers.lst"), "damaged");
}
