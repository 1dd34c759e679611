// mailwright-cli providers: the maker's tool for the provider database.
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "account/CAccount.h"
#include "cli/CliCommands.h"
#include "providers/CProviderDatabase.h"
#include "providers/CProviderSource.h"
#include "providers/VeskMemoryArchive.h"
#include "support/FileSystem.h"
#include "support/LastError.h"
#include "support/StringTable.h"
#include "support/TextUtil.h"
#include "support/VeskException.h"
#include "support/WindowsSession.h"

namespace mailwright::cli {
namespace {

// The Windows path under which the session sees a Unix path given on the command line.
std::optional<std::string> WindowsPathOf(const std::string& unixPath) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(unixPath, ec);
    if (ec) return std::nullopt;
    return WindowsSession::Current()->ToWindowsPath(absolute.lexically_normal().string());
}

// The system text ends with a line break, as on Windows; the CLI says one line.
std::string LastErrorText() { return Trim(GetSystemErrorText(GetLastError())); }

int Compile(const std::string& source, const std::string& output) {
    const auto sourcePath = WindowsPathOf(source);
    const auto outputPath = WindowsPathOf(output);
    if (!sourcePath || !outputPath) return Fail("providers compile: a path lies outside the Windows session's drives");
    std::vector<std::uint8_t> bytes;
    if (!ReadWholeFile(*sourcePath, bytes)) return Fail(source + ": cannot read: " + LastErrorText());
    CProviderDatabase database;
    try {
        database = CProviderSource::Parse(std::string(bytes.begin(), bytes.end()), source);
    } catch (const CProviderSource::SyntaxError& e) {
        return Fail(e.what());
    }
    if (!database.WriteToFile(*outputPath)) return Fail(output + ": cannot write: " + LastErrorText());
    return 0;
}

int Dump(const std::string& file) {
    const auto path = WindowsPathOf(file);
    if (!path) return Fail(file + ": outside the Windows session's drives");
    VeskMemoryArchive archive;
    if (!archive.LoadFromFile(*path)) return Fail(file + ": cannot read, or empty");
    if (!CProviderDatabase::IsCompleteDatabase(archive.GetData(), archive.GetLength()))
        std::cerr << "mailwright-cli: " << file << ": damaged or incomplete; showing what the program reads of it\n";
    CProviderDatabase database;
    database.Read(archive);
    std::cout << CProviderSource::Format(database);
    return 0;
}

const char* YesNo(std::int32_t value) { return value ? "yes" : "no"; }

const char* DescribeForm(Pop3UserNameForm form) {
    switch (form) {
        case Pop3UserNameForm::WholeAddress:
            return "the whole address";
        case Pop3UserNameForm::LocalPart:
            return "the part before \"@\"";
        case Pop3UserNameForm::Typed:
            break;
    }
    return "typed by the user";
}

void Print(const CProvider& p) {
    std::cout << "name: " << p.m_name << "\n";
    std::cout << "layout: " << p.m_layout << "\n";
    std::cout << "domains:";
    for (const std::string& domain : p.m_domains) std::cout << ' ' << domain;
    std::cout << "\n";
    std::cout << "pop3 server: " << p.m_pop3Server << "\n";
    std::cout << "pop3 port: " << p.m_pop3Port << "\n";
    std::cout << "pop3 ssl: " << YesNo(p.m_pop3Ssl) << "\n";
    std::cout << "smtp server: " << p.m_smtpServer << "\n";
    std::cout << "smtp port: " << p.m_smtpPort << "\n";
    std::cout << "smtp ssl: " << YesNo(p.m_smtpSsl) << "\n";
    std::cout << "smtp authentication: " << YesNo(p.m_smtpAuth) << "\n";
    std::cout << "pop3 user name: " << DescribeForm(CAccount::GetPop3UserNameForm(p)) << "\n";
    std::cout << "comment: " << p.m_comment << "\n";
    std::cout << "info url: " << p.m_infoUrl << "\n";
    std::cout << "user name prompt: " << p.m_userNamePrompt << "\n";
}

int Lookup(const std::optional<std::string>& file, const std::string& domain) {
    CProviderDatabase database;
    if (file) {
        const auto path = WindowsPathOf(*file);
        if (!path) return Fail(*file + ": outside the Windows session's drives");
        VeskMemoryArchive archive;
        if (!archive.LoadFromFile(*path)) return Fail(*file + ": " + LoadString(IDS_ERR_LOCATING_DATABASE));
        database.Read(archive);
    } else {
        CProviderDatabase::EnsureDatabaseFile();
        if (!database.Load())
            return Fail(CProviderDatabase::GetDatabasePath().Str() + ": " + LoadString(IDS_ERR_LOCATING_DATABASE));
    }
    const CRefCountPtr<CProvider> provider = database.FindByDomain(domain);
    if (!provider) return Fail("no provider lists the domain \"" + domain + "\"", 1);
    Print(*provider);
    return 0;
}

}  // namespace

void AddProvidersCommands(CommandLine& cli) {
    CLI::App& providers =
        cli.AddGroup(cli.Root(), "providers", "Compile, print and search provider databases (providers.lst)");

    struct Arguments {
        std::string source, output, file, domain;
        std::optional<std::string> databaseFile;
    };
    const auto args = std::make_shared<Arguments>();

    CLI::App& compile = cli.AddCommand(providers, "compile", "Compile a provider source into a database file",
                                       [args] { return Compile(args->source, args->output); });
    compile.add_option("SRC", args->source, "The provider source (TOML)")->type_name("")->required();
    compile.add_option("OUT", args->output, "The database file to write")->type_name("")->required();

    CLI::App& dump = cli.AddCommand(providers, "dump", "Print every record of a database in the source format",
                                    [args] { return Dump(args->file); });
    dump.add_option("FILE", args->file, "The database file")->type_name("")->required();

    CLI::App& lookup = cli.AddCommand(providers, "lookup", "Print the provider that account creation would find",
                                      [args] { return Lookup(args->databaseFile, args->domain); });
    const std::string fileHelp = "Search this database instead of providers.lst of the application folder";
    lookup.add_option("--file", args->databaseFile, fileHelp)->type_name("FILE");
    lookup.add_option("DOMAIN", args->domain, "The domain of an e-mail address")->type_name("")->required();
}

}  // namespace mailwright::cli
