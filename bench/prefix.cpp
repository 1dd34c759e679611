// A big prefix, as an office suite and years of use leave one: user.reg of about 10 MB,
// system.reg of about 30 MB. Each benchmark prints its figure next to its floor, the
// same work done the plainest way (reading the files, writing user.reg once with
// fsync), their ratio and the goal for that ratio; the whole-process ones also print the
// peak memory next to its bound, 1.5 times the hives' size plus 30 MiB.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "registry/CRegistryKey.h"
#include "registry/WineHive.h"
#include "registry/WineHiveStore.h"

namespace fs = std::filesystem;
using namespace mailwright;

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kLoadGoal = 5;
constexpr double kProcessGoal = 3;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::uint8_t> Utf16(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    for (char c : text) bytes.insert(bytes.end(), {static_cast<std::uint8_t>(c), 0});
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

std::vector<std::uint8_t> Dword(std::uint32_t n) {
    return {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n >> 16),
            static_cast<std::uint8_t>(n >> 24)};
}

std::string Guid(unsigned n, unsigned salt) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%04X-%012llX}", n * 2654435761u + salt, (n >> 3) & 0xFFFF,
                  0x4000 | (salt & 0xFFF), 0x8000 | (n & 0xFFF), 0x1000000ULL * salt + n);
    return text;
}

// Adds a key below `parent` (the path separated by backslashes), changed, as a program would.
RegistryKeyNode& Key(RegistryKeyNode& parent, const std::string& path) {
    RegistryKeyNode* node = &parent;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        const std::u16string name(path.begin() + static_cast<std::ptrdiff_t>(start),
                                  path.begin() + static_cast<std::ptrdiff_t>(end));
        RegistryKeyNode* child = node->FindSubKey(name);
        if (!child) {
            child = &node->AddSubKey(name, 0x1d9d3a1b2c3d4e5ULL + start);
            child->changed = true;
        }
        node = child;
        start = end + 1;
    }
    return *node;
}

void Text(RegistryKeyNode& key, const char16_t* name, const std::string& text) { key.SetValue(name, REG_SZ, Utf16(text)); }

// The fixture's hive with generated keys added until the text reaches `bytes`.
std::string Grow(const std::string& fixture, size_t bytes, void (*add)(RegistryKeyNode&, unsigned)) {
    WineHive hive;
    std::string error;
    if (!hive.Parse(fixture, error) || !hive.DecodeAll(error)) std::abort();
    const size_t perRound = 2000;
    size_t estimate = fixture.size();
    for (unsigned n = 0; estimate < bytes; n += perRound) {
        for (unsigned i = n; i < n + perRound; ++i) add(hive.Root(), i);
        estimate = hive.Render().size();
    }
    return hive.Render();
}

// COM classes, interfaces and installer components, as an office suite registers them.
void AddMachineKeys(RegistryKeyNode& root, unsigned n) {
    const std::string clsid = "Software\\Classes\\CLSID\\" + Guid(n, 1);
    Text(Key(root, clsid), u"", "Office Component " + std::to_string(n));
    RegistryKeyNode& server = Key(root, clsid + "\\InprocServer32");
    Text(server, u"", "C:\\Program Files\\Microsoft Office\\root\\Office16\\MSO" + std::to_string(n % 97) + ".DLL");
    Text(server, u"ThreadingModel", "Apartment");
    Text(Key(root, clsid + "\\ProgID"), u"", "Office.Component." + std::to_string(n));
    const std::string iface = "Software\\Classes\\Interface\\" + Guid(n, 2);
    Text(Key(root, iface), u"", "IOfficeThing" + std::to_string(n));
    Text(Key(root, iface + "\\ProxyStubClsid32"), u"", "{00020424-0000-0000-C000-000000000046}");
    RegistryKeyNode& typelib = Key(root, iface + "\\TypeLib");
    Text(typelib, u"", Guid(n / 50, 3));
    Text(typelib, u"Version", "2.8");
    char component[40];
    std::snprintf(component, sizeof component, "%08X%08X%08X%08X", n * 2246822519u, n, 0x5A5A0000u + n, n * 3266489917u);
    RegistryKeyNode& installer = Key(
        root, std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Components\\") +
                  component);
    Text(installer, u"00002109610090400000000000F01FEC",
         "C:\\Program Files\\Microsoft Office\\root\\Office16\\1033\\file" + std::to_string(n) + ".dll");
}

// Years of use: recent files, dialog state in binary blobs, the settings of many programs.
void AddUserKeys(RegistryKeyNode& root, unsigned n) {
    static const char* const kApps[] = {"Word", "Excel", "PowerPoint", "Outlook", "Access", "Publisher"};
    const std::string app = kApps[n % 6];
    RegistryKeyNode& mru = Key(root, "Software\\Microsoft\\Office\\16.0\\" + app + "\\User MRU\\ADAL_" +
                                         std::to_string(n / 40) + "\\File MRU");
    const std::string item = "Item " + std::to_string(n % 40 + 1);
    Text(mru, std::u16string(item.begin(), item.end()).c_str(),
         "[F00000000][T01D9D3A1B2C3D4E5][O00000000]*C:\\users\\jan\\Documents\\Report " + std::to_string(n) + ".docx");
    RegistryKeyNode& dialog = Key(root, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSavePidlMRU\\" +
                                            std::to_string(n % 300));
    std::vector<std::uint8_t> blob(96 + n % 64);
    for (size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<std::uint8_t>(i * 7 + n);
    dialog.SetValue(u"MRUListEx", REG_BINARY, Dword(n));
    dialog.SetValue(std::u16string(u"") + static_cast<char16_t>(u'0' + n % 10), REG_BINARY, blob);
    RegistryKeyNode& settings = Key(root, "Software\\Vendor" + std::to_string(n % 50) + "\\Application" +
                                              std::to_string(n % 7) + "\\Settings\\Page" + std::to_string(n));
    Text(settings, u"Caption", "Settings page " + std::to_string(n));
    settings.SetValue(u"Left", REG_DWORD, Dword(n % 1280));
    settings.SetValue(u"Top", REG_DWORD, Dword(n % 1024));
}

// The start identity of Outlook Express, so that an account can be created.
std::string IdentityKeys() {
    const std::string id = "{4B0A8E3C-1D2F-4E5A-9B6C-7D8E9F0A1B2C}";
    return "\n[Identities] 1700000000\n#time=1da0a5f0e0b3c00\n\"Default User ID\"=\"" + id + "\"\n\"Last User ID\"=\"" +
           id + "\"\n\n[Identities\\\\" + id + "] 1700000000\n#time=1da0a5f0e0b3c00\n\"Identity Ordinal\"=dword:00000001\n"
           "\"User ID\"=\"" + id + "\"\n";
}

// In a temporary folder, or in $MAILWRIGHT_BENCH_PREFIX, kept and used again, for runs
// under a profiler.
class BigPrefix {
public:
    BigPrefix() {
        if (const char* kept = std::getenv("MAILWRIGHT_BENCH_PREFIX"); kept && *kept) {
            m_path = kept;
            m_kept = true;
            if (fs::exists(File("system.reg"))) return;
        } else {
            std::string pattern = (fs::temp_directory_path() / "mailwright-bench-XXXXXX").string();
            if (!::mkdtemp(pattern.data())) std::abort();
            m_path = pattern;
        }
        fs::create_directories(m_path + "/drive_c/users");
        fs::create_directories(m_path + "/dosdevices");
        if (!fs::exists(m_path + "/dosdevices/c:")) fs::create_directory_symlink("../drive_c", m_path + "/dosdevices/c:");
        const std::string fixtures = MW_SOURCE_DIR "/tests/data/wine-prefix-win7-64/";
        Write("user.reg", Grow(ReadText(fixtures + "user.reg") + IdentityKeys(), 10u << 20, AddUserKeys));
        Write("system.reg", Grow(ReadText(fixtures + "system.reg"), 30u << 20, AddMachineKeys));
    }
    ~BigPrefix() {
        if (!m_kept) fs::remove_all(m_path);
    }
    BigPrefix(const BigPrefix&) = delete;
    BigPrefix& operator=(const BigPrefix&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const char* name) const { return m_path + "/" + name; }
    double HiveMiB() const {
        return static_cast<double>(fs::file_size(File("user.reg")) + fs::file_size(File("system.reg"))) / (1 << 20);
    }

private:
    void Write(const char* name, const std::string& text) const { std::ofstream(File(name), std::ios::binary) << text; }

    std::string m_path;
    bool m_kept = false;
};

const BigPrefix& Prefix() {
    static const BigPrefix prefix;
    return prefix;
}

struct Bytes {
    std::unique_ptr<char[]> data;
    size_t size = 0;
};

// The floor of reading: the whole file into memory, nothing more.
Bytes RawRead(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    ::fstat(fd, &st);
    Bytes bytes{std::make_unique_for_overwrite<char[]>(static_cast<size_t>(st.st_size)), static_cast<size_t>(st.st_size)};
    size_t done = 0;
    while (done < bytes.size) {
        const ssize_t got = ::read(fd, bytes.data.get() + done, bytes.size - done);
        if (got <= 0) break;
        done += static_cast<size_t>(got);
    }
    ::close(fd);
    return bytes;
}

// The floor of writing: the bytes to a new file beside the hive, synced.
void RawWrite(const std::string& path, const Bytes& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (::write(fd, bytes.data.get(), bytes.size) != static_cast<ssize_t>(bytes.size)) std::abort();
    ::fsync(fd);
    ::close(fd);
    ::unlink(path.c_str());
}

// The wall time and the processor time (user and system) of some work, in seconds.
struct Cost {
    double wall = 0;
    double cpu = 0;
    Cost& operator+=(const Cost& other) {
        wall += other.wall;
        cpu += other.cpu;
        return *this;
    }
};

double ProcessorSeconds() {
    timespec now {};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The cost of work done in this process.
template <class Work>
Cost Measure(Work work) {
    const auto start = Clock::now();
    const double processor = ProcessorSeconds();
    work();
    return {Seconds(Clock::now() - start), ProcessorSeconds() - processor};
}

struct ProcessRun {
    Cost cost;
    double peakMiB = 0;
    int status = -1;
};

bool WriteAll(int fd, const void* data, size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t done = ::write(fd, bytes, size);
        if (done <= 0) return false;
        bytes += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}

bool ReadAll(int fd, void* data, size_t size) {
    auto* bytes = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t done = ::read(fd, bytes, size);
        if (done <= 0) return false;
        bytes += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}

// Starts the command-line program from a small process made before the benchmark grows:
// a child's peak memory, as the system counts it, takes in the memory of the process it
// was forked from.
class Launcher {
public:
    // In main, before anything else.
    static void Start() {
        int request[2], answer[2];
        if (::pipe(request) != 0 || ::pipe(answer) != 0) std::abort();
        if (::fork() == 0) {
            ::close(request[1]);
            ::close(answer[0]);
            Serve(request[0], answer[1]);
        }
        ::close(request[0]);
        ::close(answer[1]);
        s_request = request[1];
        s_answer = answer[0];
    }

    // Runs the program with WINEPREFIX set to `prefix`, its output thrown away.
    static ProcessRun Run(const std::string& prefix, const std::vector<std::string>& args) {
        std::string message = prefix;
        for (const std::string& arg : args) message += '\n' + arg;
        const auto size = static_cast<std::uint32_t>(message.size());
        ProcessRun run;
        if (!WriteAll(s_request, &size, sizeof size) || !WriteAll(s_request, message.data(), size) ||
            !ReadAll(s_answer, &run, sizeof run))
            std::abort();
        return run;
    }

private:
    [[noreturn]] static void Serve(int request, int answer) {
        for (;;) {
            std::uint32_t size = 0;
            if (!ReadAll(request, &size, sizeof size)) ::_exit(0);
            std::string message(size, '\0');
            if (!ReadAll(request, message.data(), size)) ::_exit(0);
            std::vector<std::string> words;
            std::istringstream in(message);
            for (std::string word; std::getline(in, word);) words.push_back(word);
            const ProcessRun run = Spawn(words);
            if (!WriteAll(answer, &run, sizeof run)) ::_exit(0);
        }
    }

    static ProcessRun Spawn(const std::vector<std::string>& words) {
        const auto start = Clock::now();
        const pid_t child = ::fork();
        if (child == 0) {
            ::setenv("WINEPREFIX", words[0].c_str(), 1);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            std::vector<char*> argv{const_cast<char*>(MW_CLI)};
            for (size_t i = 1; i < words.size(); ++i) argv.push_back(const_cast<char*>(words[i].c_str()));
            argv.push_back(nullptr);
            ::execv(MW_CLI, argv.data());
            ::_exit(127);
        }
        int status = 0;
        rusage usage {};
        ::wait4(child, &status, 0, &usage);
        const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
        return {{Seconds(Clock::now() - start), seconds(usage.ru_utime) + seconds(usage.ru_stime)},
                static_cast<double>(usage.ru_maxrss) / 1024,
                status};
    }

    static inline int s_request = -1;
    static inline int s_answer = -1;
};

ProcessRun RunCli(const std::vector<std::string>& args) { return Launcher::Run(Prefix().Path(), args); }

// Reports the floor's mean, the ratio of figure to floor and the goal for it, in wall
// time and in processor time (which a busy machine disturbs less).
void Report(benchmark::State& state, const Cost& figure, const Cost& floor, double goal) {
    const double n = static_cast<double>(state.iterations());
    state.counters["floor_ms"] = 1000 * floor.wall / n;
    state.counters["ratio"] = figure.wall / floor.wall;
    state.counters["cpu_ms"] = 1000 * figure.cpu / n;
    state.counters["cpu_floor_ms"] = 1000 * floor.cpu / n;
    state.counters["cpu_ratio"] = figure.cpu / floor.cpu;
    state.counters["ratio_goal"] = goal;
}

void ReportPeak(benchmark::State& state, double peakMiB) {
    state.counters["peak_MiB"] = peakMiB;
    state.counters["peak_bound_MiB"] = 1.5 * Prefix().HiveMiB() + 30;
}

// The store opened and one key looked up: `key`, or the hive's top key, which needs
// every key of the hive indexed (as a change does).
void LoadHive(benchmark::State& state, const char* name, HKEY root, const char* key) {
    const std::string path = Prefix().File(name);
    Cost figure, floor;
    for (auto _ : state) {
        floor += Measure([&] { benchmark::DoNotOptimize(RawRead(path).size); });
        std::shared_ptr<WineHiveStore> store;
        const Cost load = Measure([&] {
            store = std::make_shared<WineHiveStore>(Prefix().Path());
            CRegistryKey opened(store);
            if (opened.OpenKey(root, key, KEY_READ) != ERROR_SUCCESS) state.SkipWithError("the hive cannot be read");
        });
        figure += load;
        state.SetIterationTime(load.wall);
    }
    Report(state, figure, floor, kLoadGoal);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fs::file_size(path)));
}

constexpr char kLookedUp[] = "Software\\Microsoft\\Windows\\CurrentVersion";

void BM_LoadUserHive(benchmark::State& state) { LoadHive(state, "user.reg", HKEY_CURRENT_USER, kLookedUp); }
void BM_LoadSystemHive(benchmark::State& state) { LoadHive(state, "system.reg", HKEY_LOCAL_MACHINE, kLookedUp); }
void BM_IndexWholeUserHive(benchmark::State& state) { LoadHive(state, "user.reg", HKEY_CURRENT_USER, ""); }
void BM_IndexWholeSystemHive(benchmark::State& state) { LoadHive(state, "system.reg", HKEY_LOCAL_MACHINE, ""); }

// mailwright-cli create of an Outlook Express account, the whole process.
void BM_CreateAccountProcess(benchmark::State& state) {
    const std::vector<std::string> create = {"create", "--email", "jan.kowalski@gmail.com", "--client",
                                             "outlook-express", "--quiet"};
    if (RunCli(create).status != 0) state.SkipWithError("create fails");  // also writes providers.lst
    Cost figure, floor;
    double peak = 0;
    for (auto _ : state) {
        floor += Measure([&] {
            const Bytes user = RawRead(Prefix().File("user.reg"));
            benchmark::DoNotOptimize(RawRead(Prefix().File("system.reg")).size);
            RawWrite(Prefix().File("floor.reg"), user);
        });
        const ProcessRun run = RunCli(create);
        if (run.status != 0) state.SkipWithError("create fails");
        figure += run.cost;
        peak = std::max(peak, run.peakMiB);
        state.SetIterationTime(run.cost.wall);
    }
    Report(state, figure, floor, kProcessGoal);
    ReportPeak(state, peak);
}

// mailwright-cli detect, the whole process.
void BM_DetectProcess(benchmark::State& state) {
    Cost figure, floor;
    double peak = 0;
    for (auto _ : state) {
        floor += Measure([&] {
            benchmark::DoNotOptimize(RawRead(Prefix().File("user.reg")).size);
            benchmark::DoNotOptimize(RawRead(Prefix().File("system.reg")).size);
        });
        const ProcessRun run = RunCli({"detect"});
        if (run.status != 0) state.SkipWithError("detect fails");
        figure += run.cost;
        peak = std::max(peak, run.peakMiB);
        state.SetIterationTime(run.cost.wall);
    }
    Report(state, figure, floor, kProcessGoal);
    ReportPeak(state, peak);
}

}  // namespace

BENCHMARK(BM_LoadUserHive)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_LoadSystemHive)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_IndexWholeUserHive)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_IndexWholeSystemHive)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_CreateAccountProcess)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_DetectProcess)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char** argv) {
    Launcher::Start();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
