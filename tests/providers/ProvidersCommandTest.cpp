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
#include "testlib/LocalDiscovery.h"
#include "testlib/TempFolder.h"
#include "testlib/TestMailServer.h"

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
Result RunCli(const TempFolder& data, const std::vector<std::string>& args, const std::vector<std::string>& moreEnv = {}) {
    std::vector<std::string> env = {"HOME=" + data.Path(), "XDG_DATA_HOME=" + data.Path(), "PATH=/usr/bin:/bin"};
    env.insert(env.end(), moreEnv.begin(), moreEnv.end());
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
                               "pop3 = { server = \"pop.x.pl\", port = 995, ssl = true }\n"
                               "smtp = { server = \"smtp.x.pl\", port = 465, ssl = true, auth = true }\n"
                               "user_name_is_email = true\nask_user_name = false\n"
                               "source = \"https://x.pl/poczta (read 2026-12-10)\"\n");
    const Result unwritable = RunCli(tmp, {"compile", tmp.Sub("good.toml"), tmp.Sub("no/such/folder/out.lst")});
    EXPECT_NE(unwritable.status, 0);
    EXPECT_EQ(CountLines(unwritable.err), 1) << unwritable.err;
    EXPECT_NE(unwritable.err.find("cannot write"), std::string::npos) << unwritable.err;
    EXPECT_EQ(RunCli(tmp, {"compile", tmp.Sub("good.toml"), tmp.Sub("out.lst")}).status, 0);
    EXPECT_TRUE(tmp.Exists("out.lst"));

    // A source the update would refuse as a download does not compile either.
    std::string hostile = tmp.ReadFile("good.toml");
    hostile.replace(hostile.find("pop.x.pl"), 8, "pop.x.pl.attacker.example:110");
    tmp.WriteFile("hostile.toml", hostile);
    const Result refused = RunCli(tmp, {"compile", tmp.Sub("hostile.toml"), tmp.Sub("hostile.lst")});
    EXPECT_NE(refused.status, 0);
    EXPECT_EQ(CountLines(refused.err), 1) << refused.err;
    EXPECT_NE(refused.err.find(tmp.Sub("hostile.toml") + ":2:"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("pop3.server"), std::string::npos) << refused.err;
    EXPECT_FALSE(tmp.Exists("hostile.lst"));
}

// A record that names no source still compiles, to the bytes it would have with one;
// the maker hears of it on stderr.
TEST(ProvidersCommand, CompileWarnsOfARecordWithoutSource) {
    TempFolder tmp;
    const std::string record = "format_version = 1\n[[provider]]\nname = \"x\"\nlayout = 2\ndomains = [\"x.pl\"]\n"
                               "pop3 = { server = \"pop.x.pl\", port = 995, ssl = true }\n"
                               "smtp = { server = \"smtp.x.pl\", port = 465, ssl = true, auth = true }\n"
                               "user_name_is_email = true\nask_user_name = false\n";
    tmp.WriteFile("unsourced.toml", record);
    tmp.WriteFile("sourced.toml", record + "source = \"thunderbird/autoconfig:ispdb/x.pl.xml@0123abc\"\n");
    const Result unsourced = RunCli(tmp, {"compile", tmp.Sub("unsourced.toml"), tmp.Sub("unsourced.lst")});
    EXPECT_EQ(unsourced.status, 0) << unsourced.err;
    EXPECT_EQ(unsourced.err, "mailwright-cli: warning: " + tmp.Sub("unsourced.toml") + ":2: record \"x\" names no source\n");
    const Result sourced = RunCli(tmp, {"compile", tmp.Sub("sourced.toml"), tmp.Sub("sourced.lst")});
    EXPECT_EQ(sourced.status, 0) << sourced.err;
    EXPECT_EQ(sourced.err, "");
    ASSERT_TRUE(tmp.Exists("unsourced.lst"));
    EXPECT_EQ(tmp.ReadFile("sourced.lst"), tmp.ReadFile("unsourced.lst"));
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

TEST(ProvidersCommand, DiscoverPrintsTheRecordAndHowItWasFound) {
    TempFolder tmp;
    LocalDiscovery net;
    net.SetMx("company.test", {{10, "aspmx.l.google.com"}});
    net.SetClientConfig("other.test", ClientConfigXml());
    const DiscoverySettings local = net.Settings();
    const auto discover = [&](const std::string& domain) {
        return RunCli(tmp, {"discover", "--nameserver", local.nameserver, "--autoconfig-url", local.autoconfigUrl,
                            "--isp-database-url", local.ispDatabaseUrl, domain});
    };

    const Result byMx = discover("company.test");
    ASSERT_EQ(byMx.status, 0) << byMx.err;
    EXPECT_EQ(byMx.out.rfind("# Found: mail servers of Gmail (MX aspmx.l.google.com)\n", 0), 0u) << byMx.out;
    EXPECT_NE(byMx.out.find("pop3 = { server = \"pop.gmail.com\""), std::string::npos) << byMx.out;
    EXPECT_NE(byMx.err.find("MX of company.test: aspmx.l.google.com, whose domain google.com the record \"Gmail\" lists"),
              std::string::npos)
        << byMx.err;

    // The published record is source that compiles, for the domain alone.
    const Result published = discover("other.test");
    ASSERT_EQ(published.status, 0) << published.err;
    const std::string url = net.Settings().autoconfigUrl;
    EXPECT_EQ(published.out.rfind("# Found: settings published by other.test (" +
                                      url.substr(0, url.find("{domain}")) + "other.test/config-v1.1.xml)\n",
                                  0),
              0u)
        << published.out;
    tmp.WriteFile("other.toml", published.out);
    ASSERT_EQ(RunCli(tmp, {"compile", tmp.Sub("other.toml"), tmp.Sub("other.lst")}).status, 0);
    const Result found = RunCli(tmp, {"lookup", "--file", tmp.Sub("other.lst"), "other.test"});
    EXPECT_NE(found.out.find("pop3 server: pop.other.test\n"), std::string::npos) << found.out;
    EXPECT_NE(found.out.find("domains: other.test\n"), std::string::npos) << found.out;

    const Result nothing = discover("nowhere.test");
    EXPECT_EQ(nothing.status, 1);
    EXPECT_EQ(nothing.out, "");
    EXPECT_NE(nothing.err.find("MX of nowhere.test: the domain does not exist\n"), std::string::npos) << nothing.err;
    EXPECT_NE(nothing.err.find("no settings found for the domain \"nowhere.test\""), std::string::npos) << nothing.err;

    for (const std::vector<std::string>& bad : {std::vector<std::string>{"discover", "--nameserver", "dns.test", "x.test"},
                                                {"discover", "--autoconfig-url", "file:///{domain}", "x.test"},
                                                {"discover"}})
        EXPECT_EQ(RunCli(tmp, bad).status, 2) << bad[1];
}

namespace {

// A record of the source format with these servers, the SMTP one with TLS from the first byte.
std::string SourceRecord(const std::string& name, const std::string& pop3, const std::string& smtp) {
    return "[[provider]]\nname = \"" + name + "\"\nlayout = 2\ndomains = [\"" + name + ".test\"]\n"
           "pop3 = { server = \"" + pop3 + "\", port = 995, ssl = true }\n"
           "smtp = { server = \"" + smtp + "\", port = 465, ssl = true, auth = true }\n"
           "user_name_is_email = true\nask_user_name = false\n";
}

}  // namespace

TEST(ProvidersCommand, CheckReportsEachRecordsServersAndFailsForAnyThatDoesNotAnswer) {
    TempFolder tmp;
    using Behaviour = TestMailServer::Behaviour;
    const TestMailServer pop3(Behaviour::Pop3Tls), smtp(Behaviour::SmtpTls), plain(Behaviour::PlainPop3);
    const std::vector<std::string> seam = {"--connect-to", pop3.ConnectTo("pop.guess.test", 995), "--connect-to",
                                           smtp.ConnectTo("smtp.guess.test", 465), "--connect-to",
                                           plain.ConnectTo("old.guess.test", 995)};
    const std::vector<std::string> trust = {"SSL_CERT_FILE=" + TestCertificates::MailAuthority()};
    tmp.WriteFile("good.toml", "format_version = 1\n" + SourceRecord("good", "pop.guess.test", "smtp.guess.test") +
                                   SourceRecord("also", "pop.guess.test", "smtp.guess.test"));
    tmp.WriteFile("bad.toml", "format_version = 1\n" + SourceRecord("good", "pop.guess.test", "smtp.guess.test") +
                                  SourceRecord("moved", "old.guess.test", "smtp.guess.test"));
    std::vector<std::string> args = {"check", tmp.Sub("good.toml")};
    args.insert(args.end(), seam.begin(), seam.end());

    const Result good = RunCli(tmp, args, trust);
    EXPECT_EQ(good.status, 0) << good.err;
    EXPECT_EQ(good.out.rfind("good (good.test)\n  pop3s://pop.guess.test:995: answered \"+OK test POP3 server ready\"; "
                             "certificate valid for the host, expires Nov 17 11:07:04 2126 GMT; sign-on: USER PLAIN LOGIN\n"
                             "  smtps://smtp.guess.test:465: answered \"220 test.smtp ESMTP ready\"; certificate valid "
                             "for the host, expires Nov 17 11:07:04 2126 GMT; sign-on: PLAIN LOGIN\nalso (also.test)\n",
                             0),
              0u)
        << good.out;
    EXPECT_NE(good.err.find("2 records, 0 with servers that failed"), std::string::npos) << good.err;
    // A server that two records share is asked once.
    EXPECT_EQ(pop3.Connections(), 1);

    args[1] = tmp.Sub("bad.toml");
    const Result bad = RunCli(tmp, args, trust);
    EXPECT_EQ(bad.status, 1) << bad.err;
    EXPECT_NE(bad.out.find("moved (moved.test): FAILED\n  pop3s://old.guess.test:995: FAILED: "), std::string::npos)
        << bad.out;
    EXPECT_NE(bad.err.find("2 records, 1 with servers that failed"), std::string::npos) << bad.err;

    // Without the test authority the certificates are not accepted.
    EXPECT_EQ(RunCli(tmp, args).status, 1);
    EXPECT_EQ(RunCli(tmp, {"check", "--parallel", "0"}).status, 2);
}

TEST(ProvidersCommand, DiscoverWithCheckReportsTheGuessedServers) {
    TempFolder tmp;
    LocalDiscovery net;
    using Behaviour = TestMailServer::Behaviour;
    const TestMailServer pop3(Behaviour::Pop3Tls), smtp(Behaviour::SmtpStartTls);
    net.SetAddress({"pop.guess.test", "smtp.guess.test"});
    const DiscoverySettings local = net.Settings();
    const Result found = RunCli(tmp,
                                {"discover", "--nameserver", local.nameserver, "--autoconfig-url", local.autoconfigUrl,
                                 "--isp-database-url", local.ispDatabaseUrl, "--connect-to",
                                 pop3.ConnectTo("pop.guess.test", 995), "--connect-to",
                                 smtp.ConnectTo("smtp.guess.test", 587), "--check", "guess.test"},
                                {"SSL_CERT_FILE=" + TestCertificates::MailAuthority()});
    ASSERT_EQ(found.status, 0) << found.err;
    EXPECT_EQ(found.out.rfind("# Found: common server names of guess.test that answered (POP3 pop3s://pop.guess.test:995, "
                              "SMTP smtp://smtp.guess.test:587 (STARTTLS))\n# Check: pop3s://pop.guess.test:995: answered",
                              0),
              0u)
        << found.out;
    EXPECT_NE(found.out.find("# Check: smtp://smtp.guess.test:587 (STARTTLS): answered \"220 test.smtp ESMTP ready\"; "
                             "certificate valid for the host, expires Nov 17 11:07:04 2126 GMT; sign-on: PLAIN\n"),
              std::string::npos)
        << found.out;
    EXPECT_NE(found.out.find("smtp = { server = \"smtp.guess.test\", port = 587, ssl = true"), std::string::npos)
        << found.out;
    EXPECT_NE(found.err.find("guess: pop3s://pop.guess.test:995: answered"), std::string::npos) << found.err;
}

namespace {

std::string ClientConfig(const std::string& domains, const std::string& pop3Host, const std::string& pop3Auth = "") {
    return "<?xml version=\"1.0\"?>\n<clientConfig version=\"1.1\"><emailProvider id=\"x\">" + domains +
           "<displayName>Example Mail</displayName>"
           "<incomingServer type=\"pop3\"><hostname>" + pop3Host +
           "</hostname><port>995</port><socketType>SSL</socketType><username>%EMAILADDRESS%</username>" + pop3Auth +
           "</incomingServer><outgoingServer type=\"smtp\"><hostname>smtp.example.net</hostname><port>587</port>"
           "<socketType>STARTTLS</socketType><username>%EMAILADDRESS%</username></outgoingServer>"
           "</emailProvider></clientConfig>\n";
}

}  // namespace

TEST(ProvidersCommand, ImportPrintsSourceThatCompilesAndNamesWhatItSkips) {
    TempFolder tmp;
    tmp.WriteFile("isp/b.xml", ClientConfig("<domain>example.net</domain><domain>Example.ORG</domain>", "pop.example.net"));
    tmp.WriteFile("isp/a.xml", ClientConfig("<domain>one.example</domain><domain>two.example</domain>", "pop.%EMAILDOMAIN%"));
    tmp.WriteFile("isp/c.xml", ClientConfig("<domain>oauth.example</domain>", "pop.oauth.example",
                                            "<authentication>OAuth2</authentication>"));
    tmp.WriteFile("isp/d.xml", "<clientConfig");
    tmp.WriteFile("isp/readme.txt", "not a clientConfig file");
    tmp.WriteFile("single.xml", ClientConfig("<domain>single.example</domain>", "pop.single.example"));

    const Result r = RunCli(tmp, {"import", tmp.Sub("isp"), tmp.Sub("single.xml")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "mailwright-cli: " + tmp.Sub("isp/c.xml") + ": skipped: the POP3 server takes no password, only OAuth2\n" +
                         "mailwright-cli: " + tmp.Sub("isp/d.xml") +
                         ": skipped: not well-formed XML at byte 12: Error parsing start element tag\n");
    tmp.WriteFile("imported.toml", r.out);
    ASSERT_EQ(RunCli(tmp, {"compile", tmp.Sub("imported.toml"), tmp.Sub("imported.lst")}).status, 0);
    const struct {
        const char* domain;
        const char* line;
    } lookups[] = {
        {"one.example", "pop3 server: pop.one.example\n"},
        {"two.example", "pop3 server: pop.two.example\n"},
        {"example.org", "smtp port: 587\n"},
        {"single.example", "pop3 server: pop.single.example\n"},
    };
    for (const auto& l : lookups) {
        const Result found = RunCli(tmp, {"lookup", "--file", tmp.Sub("imported.lst"), l.domain});
        EXPECT_NE(found.out.find(l.line), std::string::npos) << l.domain << "\n" << found.out;
    }
    EXPECT_EQ(RunCli(tmp, {"lookup", "--file", tmp.Sub("imported.lst"), "oauth.example"}).status, 1);
    // Files in folder-name order, then the file named.
    EXPECT_LT(r.out.find("one.example"), r.out.find("example.net"));
    EXPECT_LT(r.out.find("example.net"), r.out.find("single.example"));

    const Result clean = RunCli(tmp, {"import", tmp.Sub("single.xml")});
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(clean.err, "");
    EXPECT_EQ(RunCli(tmp, {"import", tmp.Sub("none.xml")}).status, 2);
    EXPECT_EQ(RunCli(tmp, {"import"}).status, 2);
}

TEST(ProvidersCommand, DiffPrintsEachDifferenceAndExitsOneForAny) {
    TempFolder tmp;
    tmp.WriteFile("ours.toml", "format_version = 1\n[[provider]]\nname = \"Example\"\nlayout = 2\n"
                               "domains = [\"example.net\"]\n"
                               "pop3 = { server = \"pop.example.net\", port = 995, ssl = true }\n"
                               "smtp = { server = \"smtp.example.net\", port = 587, ssl = true, auth = true }\n"
                               "user_name_is_email = true\nask_user_name = false\n");
    tmp.WriteFile("same/example.xml", ClientConfig("<domain>example.net</domain>", "pop.example.net"));
    tmp.WriteFile("same/unrelated.xml", ClientConfig("<domain>unrelated.example</domain>", "pop.unrelated.example"));
    const Result same = RunCli(tmp, {"diff", tmp.Sub("ours.toml"), tmp.Sub("same")});
    EXPECT_EQ(same.status, 0) << same.err;
    EXPECT_EQ(same.out, "");
    EXPECT_EQ(same.err, "mailwright-cli: 2 files, 1 of them for our records, 0 differences\n");

    tmp.WriteFile("other/example.xml",
                  ClientConfig("<domain>example.net</domain><domain>example.org</domain>", "pop3.example.net"));
    tmp.WriteFile("other/broken.xml", "<clientConfig version=\"1.1\"/>");
    const Result other = RunCli(tmp, {"diff", tmp.Sub("ours.toml"), tmp.Sub("other")});
    EXPECT_EQ(other.status, 1);
    EXPECT_EQ(other.out,
              "Example\texample.net\tpop3 server\tpop.example.net\tpop3.example.net\n"
              "Example\texample.org\tdomain\t(not listed)\tlisted\n");
    EXPECT_EQ(other.err, "mailwright-cli: " + tmp.Sub("other/broken.xml") +
                             ": unusable: clientConfig has no emailProvider\n"
                             "mailwright-cli: 2 files, 1 of them for our records, 2 differences\n");

    EXPECT_EQ(RunCli(tmp, {"diff", tmp.Sub("none.toml"), tmp.Sub("same")}).status, 2);
    EXPECT_EQ(RunCli(tmp, {"diff", tmp.Sub("ours.toml")}).status, 2);
}
