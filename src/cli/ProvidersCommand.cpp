// mailwright-cli providers: the maker's tool for the provider database.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "account/CAccount.h"
#include "cli/CliCommands.h"
#include "cli/DiscoveryOptions.h"
#include "creation/CProviderDiscovery.h"
#include "creation/CServerCheck.h"
#include "creation/ProviderLookup.h"
#include "providers/CClientConfig.h"
#include "providers/CClientConfigComparer.h"
#include "providers/CClientConfigImporter.h"
#include "providers/CProviderDatabase.h"
#include "providers/CProviderSource.h"
#include "support/EmbeddedResource.h"
#include "support/FileSystem.h"
#include "support/LastError.h"
#include "support/StringTable.h"
#include "support/TextUtil.h"
#include "support/VeskException.h"
#include "support/VeskMemoryArchive.h"
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

// Reads and parses a provider source; on failure says why and gives nothing.
std::optional<CProviderSource::Document> ReadSource(const std::string& source) {
    const auto sourcePath = WindowsPathOf(source);
    std::vector<std::uint8_t> bytes;
    if (!sourcePath) {
        Fail(source + ": outside the Windows session's drives");
        return std::nullopt;
    }
    if (!ReadWholeFile(*sourcePath, bytes)) {
        Fail(source + ": cannot read: " + LastErrorText());
        return std::nullopt;
    }
    try {
        return CProviderSource::Read(std::string(bytes.begin(), bytes.end()), source);
    } catch (const CProviderSource::SyntaxError& e) {
        Fail(e.what());
        return std::nullopt;
    }
}

int Compile(const std::string& source, const std::string& output) {
    const auto outputPath = WindowsPathOf(output);
    if (!outputPath) return Fail(output + ": outside the Windows session's drives");
    const std::optional<CProviderSource::Document> document = ReadSource(source);
    if (!document) return 2;
    for (const std::string& warning : document->warnings) std::cerr << "mailwright-cli: warning: " << warning << "\n";
    if (!document->database.WriteToFile(*outputPath)) return Fail(output + ": cannot write: " + LastErrorText());
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
    const CRefCountPtr<CProvider> provider = FindProviderOf(database, domain);
    if (!provider) return Fail("no provider lists the domain \"" + domain + "\"", 1);
    Print(*provider);
    return 0;
}

// --- checking servers ---------------------------------------------------------------

// How `providers check` and `discover --check` bound their connections.
struct CheckLimits {
    std::size_t parallel = 16;
    int timeLimitSeconds = 120;
    std::vector<std::string> connectTo;
};

// Each probe may take this long; a slower server is one a mail client gives up on too.
constexpr std::chrono::milliseconds kPerProbe{10000};

std::vector<CServerCheck::Report> CheckServers(const std::vector<CRefCountPtr<CProvider>>& records,
                                               const CheckLimits& limits) {
    const CServerCheck check(limits.connectTo);
    return check.Check(records, limits.parallel, kPerProbe,
                       CServerCheck::Clock::now() + std::chrono::seconds(limits.timeLimitSeconds));
}

std::string RecordTitle(const CProvider& record) {
    std::string title = record.m_name.empty() ? "(no name)" : record.m_name;
    if (!record.m_domains.empty()) title += " (" + record.m_domains.front() + ")";
    return title;
}

// Prints each record and what its servers answered; 1 when any record's servers failed.
int Check(const std::optional<std::string>& source, const CheckLimits& limits) {
    CProviderDatabase database;
    if (source) {
        const std::optional<CProviderSource::Document> document = ReadSource(*source);
        if (!document) return 2;
        database = document->database;
    } else {
        const auto resource = FindEmbeddedResource("BIN", IDR_DEFAULT_DATABASE);
        VeskMemoryArchive archive;
        if (resource) archive.Assign(resource->data(), resource->size());
        if (!resource || !database.Read(archive)) return Fail("the built-in database cannot be read");
    }
    const std::vector<CServerCheck::Report> reports = CheckServers(database.GetProviders(), limits);
    std::size_t failed = 0;
    for (const CServerCheck::Report& report : reports) {
        failed += report.Passed() ? 0 : 1;
        std::cout << RecordTitle(*report.record) << (report.Passed() ? "" : ": FAILED") << "\n"
                  << "  " << CServerCheck::Describe(report.pop3) << "\n"
                  << "  " << CServerCheck::Describe(report.smtp) << "\n";
    }
    std::cerr << "mailwright-cli: " << reports.size() << " records, " << failed << " with servers that failed\n";
    return failed ? 1 : 0;
}

// Prints the record that discovery finds for the domain in the source format, under a
// comment that says how it was found (and, with a check, what its servers answered);
// every step's finding goes to stderr.
int Discover(const std::string& domain, const DiscoverySettings& settings, const std::optional<CheckLimits>& check) {
    CProviderDatabase::EnsureDatabaseFile();
    CProviderDatabase database;
    if (!database.Load())
        return Fail(CProviderDatabase::GetDatabasePath().Str() + ": " + LoadString(IDS_ERR_LOCATING_DATABASE));
    CProviderDiscovery discovery(database, settings);
    const std::optional<CProviderDiscovery::Found> found = discovery.Discover(domain);
    for (const std::string& note : discovery.GetNotes()) std::cerr << "mailwright-cli: " << note << "\n";
    if (!found) return Fail("no settings found for the domain \"" + domain + "\"", 1);
    CProviderDatabase record;
    record.SetVersion(1);
    record.Add(found->provider);
    std::cout << "# Found: " << CProviderDiscovery::DescribeEvidence(*found) << "\n";
    bool passed = true;
    if (check) {
        const CServerCheck::Report report = CheckServers({found->provider}, *check).front();
        std::cout << "# Check: " << CServerCheck::Describe(report.pop3) << "\n"
                  << "# Check: " << CServerCheck::Describe(report.smtp) << "\n";
        passed = report.Passed();
    }
    std::cout << CProviderSource::Format(record);
    return passed ? 0 : 1;
}

// --- clientConfig files ---------------------------------------------------------

struct ConfigFile {
    std::string path;
    CClientConfig config;
};

// Reads the files named and the *.xml files of the folders named (in name order).
// False, after saying why, when a path cannot be read.
bool ReadConfigFiles(const std::vector<std::string>& paths, std::vector<ConfigFile>& files) {
    for (const std::string& path : paths) {
        std::error_code ec;
        std::vector<std::string> names;
        if (std::filesystem::is_directory(path, ec)) {
            for (const auto& entry : std::filesystem::directory_iterator(path, ec))
                if (entry.path().extension() == ".xml") names.push_back(entry.path().string());
            std::sort(names.begin(), names.end());
        } else {
            names.push_back(path);
        }
        if (ec) {
            Fail(path + ": cannot read: " + ec.message());
            return false;
        }
        for (const std::string& name : names) {
            std::ifstream in(name, std::ios::binary);
            std::ostringstream bytes;
            if (!in || !(bytes << in.rdbuf())) {
                Fail(name + ": cannot read");
                return false;
            }
            files.push_back({name, CClientConfig::Parse(bytes.str())});
        }
    }
    return true;
}

// Prints the records of clientConfig files as provider source; files that give no
// record are named on stderr with the reason.
int Import(const std::vector<std::string>& paths) {
    std::vector<ConfigFile> files;
    if (!ReadConfigFiles(paths, files)) return 2;
    CProviderDatabase database;
    database.SetVersion(1);
    bool skipped = false;
    for (const ConfigFile& file : files) {
        const CClientConfigImporter::Result result = CClientConfigImporter::Import(file.config);
        if (!result.problem.empty()) {
            std::cerr << "mailwright-cli: " << file.path << ": skipped: " << result.problem << "\n";
            skipped = true;
        }
        for (const CRefCountPtr<CProvider>& record : result.records) database.Add(record);
    }
    if (!database.GetProviders().empty()) std::cout << CProviderSource::Format(database);
    return skipped ? 1 : 0;
}

// Prints, one per line and tab-separated, every difference between the source's
// records and the clientConfig files: record, domain, field, ours, theirs.
int Diff(const std::string& source, const std::vector<std::string>& paths) {
    const std::optional<CProviderSource::Document> document = ReadSource(source);
    if (!document) return 2;
    std::vector<ConfigFile> files;
    if (!ReadConfigFiles(paths, files)) return 2;
    const CClientConfigComparer comparer(document->database);
    std::size_t concerning = 0, differences = 0;
    for (const ConfigFile& file : files) {
        if (!file.config.IsUsable()) {
            std::cerr << "mailwright-cli: " << file.path << ": unusable: " << file.config.GetProblem() << "\n";
            continue;
        }
        const CClientConfigComparer::Result result = comparer.Compare(file.config);
        concerning += result.concernsUs ? 1 : 0;
        differences += result.differences.size();
        for (const ProviderDifference& d : result.differences)
            std::cout << d.record << '\t' << d.domain << '\t' << d.field << '\t' << d.ours << '\t' << d.theirs << '\n';
    }
    std::cerr << "mailwright-cli: " << files.size() << " files, " << concerning << " of them for our records, "
              << differences << " differences\n";
    return differences ? 1 : 0;
}

}  // namespace

void AddProvidersCommands(CommandLine& cli) {
    CLI::App& providers =
        cli.AddGroup(cli.Root(), "providers", "Compile, print and search provider databases (providers.lst)");

    struct Arguments {
        std::string source, output, file, domain;
        std::optional<std::string> databaseFile;
        std::vector<std::string> configPaths;
        DiscoverySettings discovery;
        std::optional<std::string> checkSource;
        CheckLimits limits;
        bool checkFound = false;
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

    CLI::App& discover =
        cli.AddCommand(providers, "discover", "Print the settings that discovery finds for a domain the database lacks",
                       [args] {
                           std::optional<CheckLimits> check;
                           if (args->checkFound) check = CheckLimits{args->limits.parallel, args->limits.timeLimitSeconds,
                                                                     args->discovery.connectTo};
                           return Discover(args->domain, args->discovery, check);
                       });
    discover.add_option("DOMAIN", args->domain, "The domain of an e-mail address")->type_name("")->required();
    AddDiscoveryOptions(discover, args->discovery);
    discover.add_flag("--check", args->checkFound, "Connect to the servers found, as providers check does");
    discover.footer("Asks the domain's mail servers (MX) for a provider of the database, then the domain's own "
                    "clientConfig file over https, the public ISP database, the same for the mail servers' domain, the "
                    "domain's DNS service records, and last tries common server names; prints the record with a "
                    "comment that says how it was found, and each step on stderr. The exit status is 1 when nothing "
                    "is found, or when --check is given and a server fails.\n" +
                    discover.get_footer());

    CLI::App& check = cli.AddCommand(providers, "check", "Connect to the POP3 and SMTP servers of every record",
                                     [args] { return Check(args->checkSource, args->limits); });
    check.add_option("SOURCE", args->checkSource, "A provider source (TOML); default: the built-in database")
        ->type_name("");
    check.add_option("--parallel", args->limits.parallel, "Connections at a time (default: 16)")
        ->type_name("N")
        ->check(CLI::Range(1, 256));
    check.add_option("--time-limit", args->limits.timeLimitSeconds, "Seconds the whole check may take (default: 120)")
        ->type_name("SECONDS")
        ->check(CLI::Range(1, 3600));
    check.add_option("--connect-to", args->limits.connectTo,
                     "Connect probes of HOST:PORT to ADDRESS:PORT instead, still checking the certificate for HOST "
                     "(for tests; may be given more than once)")
        ->type_name("HOST:PORT:ADDRESS:PORT");
    check.footer("Connects to each record's servers as its settings say (TLS with the certificate checked for the "
                 "host name, the greeting, CAPA or EHLO), without signing on, and prints per record what answered, "
                 "the certificate's expiry and the sign-on methods offered. A server shared by records is asked "
                 "once. The exit status is 1 when any record's servers fail.\n" +
                 check.get_footer());

    const std::string configHelp = "clientConfig files (autoconfig XML 1.1), or folders whose *.xml files are read";
    CLI::App& import = cli.AddCommand(providers, "import", "Print clientConfig files as records in the source format",
                                      [args] { return Import(args->configPaths); });
    import.add_option("FILE|DIR", args->configPaths, configHelp)->type_name("")->required();
    import.footer("A file that no record can express (no POP3 server, no password sign-on, another log-on name form, "
                  "a connection the mail clients cannot make) is named on stderr with the reason and skipped; the exit "
                  "status is then 1.\n" +
                  import.get_footer());

    CLI::App& diff = cli.AddCommand(providers, "diff", "List where the source's records differ from clientConfig files",
                                    [args] { return Diff(args->source, args->configPaths); });
    diff.add_option("SRC", args->source, "The provider source (TOML)")->type_name("")->required();
    diff.add_option("FILE|DIR", args->configPaths, configHelp)->type_name("")->required();
    diff.footer("One line per difference, tab-separated: record, domain, field, ours, theirs; a domain that a file "
                "lists and no record does shows as field \"domain\". The exit status is 1 when anything differs.\n" +
                diff.get_footer());
}

}  // namespace mailwright::cli
