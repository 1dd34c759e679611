// The registry files of a Wine prefix: reading, writing back, and the writes of one
// account into a large user.reg.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "registry/WineHive.h"
#include "registry/WineHiveStore.h"
#include "registry/CRegistryKey.h"
#include "registry/CRegistryTransaction.h"

namespace fs = std::filesystem;
using namespace mailwright;

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

const std::string& FixtureSystemHive() {
    static const std::string text = ReadText(MW_SOURCE_DIR "/tests/data/wine-prefix-win7-64/system.reg");
    return text;
}

// A user.reg of about 10 MB: many mail accounts and their settings, as a heavily used
// profile has them.
const std::string& LargeUserHive() {
    static const std::string text = [] {
        std::string out = "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n"
                          "\n#arch=win64\n";
        char line[256];
        for (int i = 0; out.size() < 10u * 1024 * 1024; ++i) {
            std::snprintf(line, sizeof(line),
                          "\n[Software\\\\Microsoft\\\\Internet Account Manager\\\\Accounts\\\\%08d] 1700000000\n"
                          "#time=1da0a5f0e0b3c00\n",
                          i);
            out += line;
            std::snprintf(line, sizeof(line),
                          "\"Account Name\"=\"Account %d\"\n\"POP3 Server\"=\"pop.example%d.com\"\n"
                          "\"POP3 User Name\"=\"user%d@example.com\"\n\"SMTP Port\"=dword:0000024b\n",
                          i, i, i);
            out += line;
            out += "\"Settings\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,18,\\\n"
                   "  19,1a,1b,1c,1d,1e,1f\n";
        }
        return out;
    }();
    return text;
}

class TempPrefix {
public:
    TempPrefix() {
        std::string pattern = (fs::temp_directory_path() / "mailwright-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        m_path = pattern;
    }
    ~TempPrefix() { fs::remove_all(m_path); }
    void Write(const std::string& name, const std::string& text) const {
        std::ofstream(m_path + "/" + name, std::ios::binary) << text;
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

void MarkAllChanged(RegistryKeyNode& node) {
    node.changed = true;
    for (const auto& subkey : node.SubKeys()) MarkAllChanged(*subkey);
}

void Load(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        WineHive hive;
        std::string error;
        benchmark::DoNotOptimize(hive.Parse(text, error));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// Writing back a hive in which one key changed: the others keep their text.
void Save(benchmark::State& state, const std::string& text) {
    WineHive hive;
    std::string error;
    if (!hive.Parse(text, error)) state.SkipWithError(error.c_str());
    RegistryKeyNode& key = hive.Root().AddSubKey(u"Brightfold", 0);
    for (auto _ : state) {
        key.changed = true;
        benchmark::DoNotOptimize(hive.Render().size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// Writing every key anew, as Wine would.
void SaveAllKeys(benchmark::State& state, const std::string& text) {
    WineHive hive;
    std::string error;
    if (!hive.Parse(text, error) || !hive.DecodeAll(error)) state.SkipWithError(error.c_str());
    for (auto _ : state) {
        MarkAllChanged(hive.Root());
        benchmark::DoNotOptimize(hive.Render().size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_LoadFixtureSystemHive(benchmark::State& state) { Load(state, FixtureSystemHive()); }
void BM_SaveFixtureSystemHive(benchmark::State& state) { Save(state, FixtureSystemHive()); }
void BM_SaveFixtureSystemHiveAllKeys(benchmark::State& state) { SaveAllKeys(state, FixtureSystemHive()); }
void BM_Load10MBUserHive(benchmark::State& state) { Load(state, LargeUserHive()); }
void BM_Save10MBUserHive(benchmark::State& state) { Save(state, LargeUserHive()); }
void BM_Save10MBUserHiveAllKeys(benchmark::State& state) { SaveAllKeys(state, LargeUserHive()); }

// One account's worth of writes (about 25) through the key layer.
void WriteAccount(benchmark::State& state, CRegistryKey& key, int account) {
    const std::string path =
        "Software\\Microsoft\\Internet Account Manager\\Accounts\\bench" + std::to_string(account);
    if (key.CreateKey(HKEY_CURRENT_USER, path.c_str(), KEY_READ | KEY_WRITE) != ERROR_SUCCESS)
        state.SkipWithError("create failed");
    for (int i = 0; i < 12; ++i) key.WriteString(("Text" + std::to_string(i)).c_str(), "pop.example.com");
    for (int i = 0; i < 12; ++i) key.WriteDword(("Number" + std::to_string(i)).c_str(), 110);
}

// An account's writes into a prefix whose user.reg is 10 MB: each write is durable on disk
// when it returns.
void BM_AccountWritesInto10MBUserHive(benchmark::State& state) {
    TempPrefix prefix;
    prefix.Write("user.reg", LargeUserHive());
    auto store = std::make_shared<WineHiveStore>(prefix.Path());
    CRegistryKey key(store);
    key.OpenKey(HKEY_CURRENT_USER, "Software", KEY_READ);  // the hive is read once, before timing
    int account = 0;
    for (auto _ : state) WriteAccount(state, key, account++);
    state.counters["writes"] = benchmark::Counter(25.0 * static_cast<double>(state.iterations()));
}

// The same writes in one transaction, as a writer makes them: one save at the commit.
void BM_AccountTransactionInto10MBUserHive(benchmark::State& state) {
    TempPrefix prefix;
    prefix.Write("user.reg", LargeUserHive());
    auto store = std::make_shared<WineHiveStore>(prefix.Path());
    CRegistryKey key(store);
    key.OpenKey(HKEY_CURRENT_USER, "Software", KEY_READ);  // the hive is read once, before timing
    int account = 0;
    for (auto _ : state) {
        CRegistryTransaction transaction(store);
        WriteAccount(state, key, account++);
        if (transaction.Commit() != ERROR_SUCCESS) state.SkipWithError("commit failed");
    }
}

// Reading the 10 MB hive from its file the first time.
void BM_FirstReadOf10MBUserHive(benchmark::State& state) {
    TempPrefix prefix;
    prefix.Write("user.reg", LargeUserHive());
    for (auto _ : state) {
        auto store = std::make_shared<WineHiveStore>(prefix.Path());
        CRegistryKey key(store);
        benchmark::DoNotOptimize(key.OpenKey(HKEY_CURRENT_USER, "Software", KEY_READ));
    }
}

}  // namespace

BENCHMARK(BM_LoadFixtureSystemHive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveFixtureSystemHive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveFixtureSystemHiveAllKeys)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load10MBUserHive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save10MBUserHive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Save10MBUserHiveAllKeys)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FirstReadOf10MBUserHive)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AccountWritesInto10MBUserHive)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_AccountTransactionInto10MBUserHive)->Unit(benchmark::kMillisecond)->Iterations(10);

BENCHMARK_MAIN();
