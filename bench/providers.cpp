// Load plus lookup of a provider database: the embedded default, and a generated
// database of 100,000 providers read from a file, as every account creation does; and
// the read of a damaged database whose record count promises far more than it holds.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "providers/CProviderDatabase.h"
#include "support/EmbeddedResource.h"
#include "support/VeskMemoryArchive.h"
#include "support/WindowsSession.h"

using namespace mailwright;

namespace {

constexpr int kGeneratedProviders = 100000;

std::string GeneratedDomain(int i) { return "provider" + std::to_string(i) + ".example"; }

// The generated database, written once to a temporary file and removed at exit.
class GeneratedFile {
public:
    GeneratedFile() {
        char pattern[] = "/tmp/mailwright-bench-XXXXXX";
        if (!mkdtemp(pattern)) return;
        m_folder = pattern;
        CProviderDatabase db;
        db.SetVersion(1);
        for (int i = 0; i < kGeneratedProviders; ++i) {
            CRefCountPtr<CProvider> p(new CProvider);
            p->m_name = "Provider " + std::to_string(i);
            p->m_pop3Server = "pop." + GeneratedDomain(i);
            p->m_smtpServer = "smtp." + GeneratedDomain(i);
            p->m_pop3Port = 995;
            p->m_smtpPort = 465;
            p->m_domains = {GeneratedDomain(i), "mail." + GeneratedDomain(i)};
            db.Add(p);
        }
        const auto path = WindowsSession::Current()->ToWindowsPath(m_folder + "/providers.lst");
        if (path && db.WriteToFile(*path)) m_path = *path;
    }
    ~GeneratedFile() {
        std::error_code ec;
        if (!m_folder.empty()) std::filesystem::remove_all(m_folder, ec);
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_folder;
    std::string m_path;  // Windows path; empty when it could not be written
};

void LoadAndLookupDefault(benchmark::State& state) {
    const auto bytes = FindEmbeddedResource("BIN", IDR_DEFAULT_DATABASE);
    if (!bytes) return state.SkipWithError("no embedded default database");
    for (auto _ : state) {
        VeskMemoryArchive archive;
        archive.Assign(bytes->data(), bytes->size());
        CProviderDatabase db;
        db.Read(archive);
        benchmark::DoNotOptimize(db.FindByDomain("bol.com.br"));   // a late record
        benchmark::DoNotOptimize(db.FindByDomain("unknown.example"));  // a miss visits all
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes->size()));
}
BENCHMARK(LoadAndLookupDefault)->Unit(benchmark::kMicrosecond);

void LoadAndLookupGenerated(benchmark::State& state) {
    static const GeneratedFile file;
    if (file.Path().empty()) return state.SkipWithError("cannot write the generated database");
    const std::string last = GeneratedDomain(kGeneratedProviders - 1);
    for (auto _ : state) {
        VeskMemoryArchive archive;
        if (!archive.LoadFromFile(file.Path())) return state.SkipWithError("cannot read the generated database");
        CProviderDatabase db;
        db.Read(archive);
        benchmark::DoNotOptimize(db.FindByDomain(last));
        benchmark::DoNotOptimize(db.FindByDomain("unknown.example"));
    }
}
BENCHMARK(LoadAndLookupGenerated)->Unit(benchmark::kMillisecond);

// A damaged count of 2^31 - 1 records over one byte that holds no item: the read must
// end at once, not pass over the byte for every counted record.
void ReadDamagedCount(benchmark::State& state) {
    const std::uint8_t bytes[17] = {4, 0, 0, 0, 1, 0, 0, 0, 4, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F, 4};
    for (auto _ : state) {
        VeskMemoryArchive archive;
        archive.Assign(bytes, sizeof(bytes));
        CProviderDatabase db;
        benchmark::DoNotOptimize(db.Read(archive));
    }
}
BENCHMARK(ReadDamagedCount)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
