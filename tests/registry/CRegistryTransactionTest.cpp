// Transactions: one user action's registry work, all or nothing, on every store; and what
// they mean for the prefix's hive files (one save, no save, a failed save, other
// processes, a wineserver, temporary files).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <fstream>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "registry/CRegistryKey.h"
#include "registry/CRegistryTransaction.h"
#include "registry/WineHiveStore.h"
#include "support/LastError.h"
#include "testlib/RegistryStores.h"
#include "testlib/RunningWineServer.h"
#include "testlib/ScopedFileSizeLimit.h"
#include "testlib/TempFolder.h"

namespace mailwright {
namespace {

using testing::RegistryStoreMaker;
using testing::TempFolder;

constexpr DWORD kReadWrite = KEY_READ | KEY_WRITE;

LONG Write(const std::shared_ptr<RegistryStore>& store, const char* path, const char* name, DWORD value) {
    CRegistryKey key(store);
    if (const LONG code = key.CreateKey(HKEY_CURRENT_USER, path, kReadWrite)) return code;
    return key.WriteDword(name, value);
}

// The value, or the error code with 0xDEADBEEF when it cannot be read.
std::pair<LONG, DWORD> Read(const std::shared_ptr<RegistryStore>& store, const char* path, const char* name) {
    CRegistryKey key(store);
    DWORD value = 0xDEADBEEF;
    LONG code = key.OpenKey(HKEY_CURRENT_USER, path, KEY_READ);
    if (code == ERROR_SUCCESS) code = key.ReadDword(name, value);
    return {code, value};
}

class TransactionOnEveryStore : public ::testing::TestWithParam<RegistryStoreMaker> {
protected:
    void SetUp() override { m_store = GetParam().make(m_folder); }

    TempFolder m_folder;
    std::shared_ptr<RegistryStore> m_store;
};

TEST_P(TransactionOnEveryStore, ReadsSeeTheWritesAndAbandonLeavesNothing) {
    {
        CRegistryTransaction transaction(m_store);
        ASSERT_EQ(ERROR_SUCCESS, Write(m_store, "Software\\Brightfold\\Account", "Port", 995));
        ASSERT_EQ(ERROR_SUCCESS, Write(m_store, "Software\\Brightfold\\Account", "Port", 110));
        EXPECT_EQ(std::make_pair(ERROR_SUCCESS, DWORD{110}), Read(m_store, "Software\\Brightfold\\Account", "Port"));
        CRegistryKey parent(m_store);
        ASSERT_EQ(ERROR_SUCCESS, parent.OpenKey(HKEY_CURRENT_USER, "Software", KEY_READ));
        std::string name;
        DWORD capacity = 64;
        EXPECT_EQ(ERROR_SUCCESS, parent.SubKeyName(0, name, capacity));
        EXPECT_EQ("Brightfold", name);
    }
    CRegistryKey key(m_store);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.OpenKey(HKEY_CURRENT_USER, "Software\\Brightfold", KEY_READ));
    EXPECT_FALSE(m_folder.Exists("user.reg"));
}

TEST_P(TransactionOnEveryStore, AbandonRestoresWhatWasThere) {
    ASSERT_EQ(ERROR_SUCCESS, Write(m_store, "Software\\Brightfold", "Kept", 1));
    {
        CRegistryTransaction transaction(m_store);
        ASSERT_EQ(ERROR_SUCCESS, Write(m_store, "Software\\Brightfold", "Kept", 2));
        ASSERT_EQ(ERROR_SUCCESS, Write(m_store, "Software\\Brightfold\\New\\Deeper", "New", 3));
        CRegistryKey key(m_store);
        ASSERT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_CURRENT_USER, "Software\\Brightfold", kReadWrite));
        ASSERT_EQ(ERROR_SUCCESS, key.DeleteValue("Kept"));
    }
    EXPECT_EQ(std::make_pair(ERROR_SUCCESS, DWORD{1}), Read(m_store, "Software\\Brightfold", "Kept"));
    CRegistryKey key(m_store);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.OpenKey(HKEY_CURRENT_USER, "Software\\Brightfold\\New", KEY_READ));
}

TEST_P(TransactionOnEveryStore, CommitKeepsEverything) {
    CRegistryTransaction transaction(m_store);
    for (DWORD i = 0; i < 25; ++i)
        ASSERT_EQ(ERROR_SUCCESS, Write(m_store, "Software\\Brightfold", ("v" + std::to_string(i)).c_str(), i));
    ASSERT_EQ(ERROR_SUCCESS, transaction.Commit());
    EXPECT_EQ(ERROR_INVALID_FUNCTION, transaction.Commit());  // once only
    for (DWORD i = 0; i < 25; ++i)
        EXPECT_EQ(std::make_pair(ERROR_SUCCESS, i), Read(m_store, "Software\\Brightfold", ("v" + std::to_string(i)).c_str()));
}

TEST_P(TransactionOnEveryStore, ATransactionInsideAnotherJoinsIt) {
    CRegistryTransaction outer(m_store);
    {
        CRegistryTransaction inner(m_store);
        ASSERT_EQ(ERROR_SUCCESS, Write(m_store, "Software\\Brightfold", "n", 1));
        EXPECT_EQ(ERROR_SUCCESS, inner.Commit());
    }
    EXPECT_FALSE(m_folder.Exists("user.reg"));  // only the outermost commit saves
    ASSERT_EQ(ERROR_SUCCESS, outer.Commit());
    EXPECT_EQ(std::make_pair(ERROR_SUCCESS, DWORD{1}), Read(m_store, "Software\\Brightfold", "n"));
}

TEST_P(TransactionOnEveryStore, OtherThreadsSeeAllOrNothing) {
    ASSERT_EQ(ERROR_SUCCESS, Write(m_store, "Software\\Pair", "a", 0));
    ASSERT_EQ(ERROR_SUCCESS, Write(m_store, "Software\\Pair", "b", 0));
    std::atomic<bool> torn = false;
    std::atomic<bool> done = false;
    std::thread reader([&] {
        while (!done) {
            // Each read takes the store's lock anew, so later rounds may commit in between:
            // "a" read after "b" is never behind it unless half a round was seen.
            const DWORD b = Read(m_store, "Software\\Pair", "b").second;
            const DWORD a = Read(m_store, "Software\\Pair", "a").second;
            if (a < b) torn = true;
        }
    });
    for (DWORD round = 1; round <= 50; ++round) {
        CRegistryTransaction transaction(m_store);
        ASSERT_EQ(ERROR_SUCCESS, Write(m_store, "Software\\Pair", "b", round));
        std::this_thread::yield();
        ASSERT_EQ(ERROR_SUCCESS, Write(m_store, "Software\\Pair", "a", round));
        ASSERT_EQ(ERROR_SUCCESS, transaction.Commit());
    }
    done = true;
    reader.join();
    EXPECT_FALSE(torn);
}

INSTANTIATE_TEST_SUITE_P(Stores, TransactionOnEveryStore, ::testing::ValuesIn(testing::AllRegistryStores()),
                         [](const auto& info) { return info.param.name; });

// The stores that save files: a memory store has nothing to save, so its commit cannot fail.
class TransactionOnHiveFiles : public TransactionOnEveryStore {};

std::vector<RegistryStoreMaker> HiveStores() {
    std::vector<RegistryStoreMaker> stores;
    for (const RegistryStoreMaker& maker : testing::AllRegistryStores())
        if (maker.name.starts_with("Hive")) stores.push_back(maker);
    return stores;
}

std::set<std::string> FilesIn(const TempFolder& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        names.insert(entry.path().filename().string());
    return names;
}

// The save of the hive fails as on a full disk: the hive file stays as it was, byte for
// byte, no temporary file is left, and the store forgets the change and goes on.
TEST_P(TransactionOnHiveFiles, AFailedCommitLeavesNothing) {
    ASSERT_EQ(ERROR_SUCCESS, Write(m_store, "Software\\Brightfold", "kept", 1));
    const std::string before = m_folder.ReadFile("user.reg");
    const std::set<std::string> files = FilesIn(m_folder);
    {
        CRegistryTransaction transaction(m_store);
        ASSERT_EQ(ERROR_SUCCESS, Write(m_store, "Software\\Brightfold", "n", 1));
        const testing::ScopedFileSizeLimit full(before.size());
        EXPECT_EQ(static_cast<LONG>(ERROR_FILE_TOO_LARGE), transaction.Commit());
    }
    EXPECT_EQ(before, m_folder.ReadFile("user.reg"));
    EXPECT_EQ(files, FilesIn(m_folder));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Read(m_store, "Software\\Brightfold", "n").first);
    EXPECT_EQ(std::make_pair(ERROR_SUCCESS, DWORD{1}), Read(m_store, "Software\\Brightfold", "kept"));
    EXPECT_EQ(ERROR_SUCCESS, Write(m_store, "Software\\Brightfold", "n", 2));
    EXPECT_EQ(std::make_pair(ERROR_SUCCESS, DWORD{2}),
              Read(std::make_shared<WineHiveStore>(m_folder.Path()), "Software\\Brightfold", "n"));
}

INSTANTIATE_TEST_SUITE_P(Stores, TransactionOnHiveFiles, ::testing::ValuesIn(HiveStores()),
                         [](const auto& info) { return info.param.name; });

// ---- The prefix's hive files -------------------------------------------------------

std::string DataFile(const std::string& relative) {
    std::ifstream in(std::string(MW_TEST_DATA_DIR) + "/" + relative, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct FileState {
    ino_t inode = 0;
    long long modifiedNs = 0;
    bool operator==(const FileState&) const = default;
};

FileState StateOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return {st.st_ino, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec};
}

class HiveTransactionTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"user.reg", "system.reg"})
            m_prefix.WriteFile(name, DataFile(std::string("wine-prefix-win7-64/") + name));
    }
    std::shared_ptr<WineHiveStore> Store() const { return std::make_shared<WineHiveStore>(m_prefix.Path()); }
    FileState User() const { return StateOf(m_prefix.Sub("user.reg")); }

    TempFolder m_prefix;
};

TEST_F(HiveTransactionTest, EachChangedHiveIsSavedOnceAtCommit) {
    auto store = Store();
    const FileState before = User();
    const std::string system = m_prefix.ReadFile("system.reg");
    CRegistryTransaction transaction(store);
    for (DWORD i = 0; i < 25; ++i) {
        ASSERT_EQ(ERROR_SUCCESS, Write(store, "Software\\Brightfold", ("v" + std::to_string(i)).c_str(), i));
        ASSERT_EQ(before, User()) << "write " << i;
        ASSERT_FALSE(m_prefix.Exists("user.reg.mailwright-tmp"));
    }
    ASSERT_EQ(ERROR_SUCCESS, transaction.Commit());
    EXPECT_NE(before.inode, User().inode);  // replaced, not edited in place
    EXPECT_FALSE(m_prefix.Exists("user.reg.mailwright-tmp"));
    EXPECT_EQ(system, m_prefix.ReadFile("system.reg"));
    for (DWORD i = 0; i < 25; ++i)
        EXPECT_EQ(std::make_pair(ERROR_SUCCESS, i), Read(Store(), "Software\\Brightfold", ("v" + std::to_string(i)).c_str()));
}

TEST_F(HiveTransactionTest, ValuesSetToWhatTheyHoldAreNoChange) {
    auto store = Store();
    ASSERT_EQ(ERROR_SUCCESS, Write(store, "Software\\Brightfold", "n", 1));
    CRegistryKey key(store);
    ASSERT_EQ(ERROR_SUCCESS, key.CreateKey(HKEY_CURRENT_USER, "Software\\Brightfold", kReadWrite));
    ASSERT_EQ(ERROR_SUCCESS, key.WriteString("s", "text"));
    const std::string text = m_prefix.ReadFile("user.reg");
    const FileState before = User();
    {
        CRegistryTransaction transaction(store);
        EXPECT_EQ(ERROR_SUCCESS, key.CreateKey(HKEY_CURRENT_USER, "Software\\Brightfold", kReadWrite));
        EXPECT_EQ(ERROR_SUCCESS, key.WriteDword("n", 1));
        EXPECT_EQ(ERROR_SUCCESS, key.WriteString("s", "text"));
        EXPECT_EQ(ERROR_SUCCESS, transaction.Commit());
    }
    EXPECT_EQ(ERROR_SUCCESS, key.WriteDword("n", 1));  // a write of its own as well
    EXPECT_EQ(before, User());
    EXPECT_EQ(text, m_prefix.ReadFile("user.reg"));
    // The same number as another type is a change.
    EXPECT_EQ(ERROR_SUCCESS, key.WriteBinary("n", 1));
    EXPECT_NE(before, User());
}

TEST_F(HiveTransactionTest, OnlyTheHivesAnActionNeedsAreRead) {
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, m_prefix.Sub("system.reg").c_str(), IN_OPEN | IN_ACCESS), 0);
    auto store = Store();
    {
        CRegistryTransaction transaction(store);
        ASSERT_EQ(ERROR_SUCCESS, Write(store, "Software\\Brightfold", "n", 1));
        ASSERT_EQ(ERROR_SUCCESS, transaction.Commit());
    }
    char events[4096];
    EXPECT_EQ(-1, ::read(watch, events, sizeof events));  // no event: system.reg was never opened
    EXPECT_EQ(EAGAIN, errno);
    CRegistryKey key(store);
    EXPECT_EQ(ERROR_SUCCESS, key.OpenKey(HKEY_LOCAL_MACHINE, "Software", KEY_READ));
    EXPECT_GT(::read(watch, events, sizeof events), 0);
    ::close(watch);
}

TEST_F(HiveTransactionTest, AHiveIsReadOnceInATransaction) {
    auto store = Store();
    ASSERT_EQ(ERROR_SUCCESS, Write(store, "Software\\Brightfold", "n", 1));
    CRegistryTransaction transaction(store);
    EXPECT_EQ(DWORD{1}, Read(store, "Software\\Brightfold", "n").second);
    // The lock keeps other writers of the program out; the file is not looked at again.
    m_prefix.WriteFile("user.reg", "WINE REGISTRY Version 2\n");
    EXPECT_EQ(DWORD{1}, Read(store, "Software\\Brightfold", "n").second);
}

TEST_F(HiveTransactionTest, AFailedSaveLeavesThePrefixAndTheStoreAsTheyWere) {
    const std::string before = m_prefix.ReadFile("user.reg");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Files of this process may not grow past 4 KB: the save fails as on a full disk.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        auto store = std::make_shared<WineHiveStore>(m_prefix.Path());
        CRegistryTransaction transaction(store);
        bool ok = Write(store, "Software\\Brightfold", "n", 1) == ERROR_SUCCESS;
        ok = ok && transaction.Commit() == static_cast<LONG>(ErrnoToWinError(EFBIG));
        // The store forgot the change, as the file never had it.
        ok = ok && Read(store, "Software\\Brightfold", "n").first == ERROR_FILE_NOT_FOUND;
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(before, m_prefix.ReadFile("user.reg"));
    EXPECT_FALSE(m_prefix.Exists("user.reg.mailwright-tmp"));
}

TEST_F(HiveTransactionTest, ACounterReadAndAdvancedInTransactionsIsNeverShared) {
    constexpr DWORD kRounds = 40;
    pid_t children[2];
    for (pid_t& child : children) {
        child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            auto store = std::make_shared<WineHiveStore>(m_prefix.Path());
            bool ok = true;
            for (DWORD i = 0; ok && i < kRounds; ++i) {
                CRegistryTransaction transaction(store);
                CRegistryKey key(store);
                DWORD number = 1;
                ok = key.CreateKey(HKEY_CURRENT_USER, "Software\\Counter", kReadWrite) == ERROR_SUCCESS;
                key.ReadDword("Next", number);
                std::this_thread::yield();
                ok = ok && key.WriteDword("Next", number + 1) == ERROR_SUCCESS;
                CRegistryKey taken(store);
                const std::string path = "Software\\Counter\\" + std::to_string(number);
                ok = ok && taken.CreateKey(HKEY_CURRENT_USER, path.c_str(), kReadWrite) == ERROR_SUCCESS;
                ok = ok && taken.WriteDword("Owner", static_cast<DWORD>(::getpid())) == ERROR_SUCCESS;
                ok = ok && transaction.Commit() == ERROR_SUCCESS;
            }
            ::_exit(ok ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    auto store = Store();
    EXPECT_EQ(std::make_pair(ERROR_SUCCESS, 2 * kRounds + 1), Read(store, "Software\\Counter", "Next"));
    CRegistryKey counter(store);
    ASSERT_EQ(ERROR_SUCCESS, counter.OpenKey(HKEY_CURRENT_USER, "Software\\Counter", KEY_READ));
    DWORD taken = 0;
    for (std::string name; ; ++taken) {
        DWORD capacity = 64;
        if (counter.SubKeyName(taken, name, capacity) != ERROR_SUCCESS) break;
    }
    EXPECT_EQ(2 * kRounds, taken);
}

TEST_F(HiveTransactionTest, AHiveChangedInPlaceMidwayIsNotWrittenOver) {
    auto store = Store();
    CRegistryTransaction transaction(store);
    ASSERT_EQ(ERROR_SUCCESS, Write(store, "Software\\Brightfold", "n", 1));
    // Someone who neither takes our lock nor replaces the file, as Wine does, edits it.
    const std::string edited = m_prefix.ReadFile("user.reg") + "\n[Software\\\\Edited] 1700000000\n";
    {
        std::ofstream out(m_prefix.Sub("user.reg"), std::ios::binary | std::ios::trunc);
        out << edited;
    }
    EXPECT_EQ(ERROR_SHARING_VIOLATION, transaction.Commit());
    EXPECT_EQ(edited, m_prefix.ReadFile("user.reg"));
}

TEST_F(HiveTransactionTest, AServerThatStartsMidwayMakesTheCommitFail) {
    auto store = Store();
    const std::string before = m_prefix.ReadFile("user.reg");
    CRegistryTransaction transaction(store);
    ASSERT_EQ(ERROR_SUCCESS, Write(store, "Software\\Brightfold", "n", 1));
    testing::RunningWineServer server(m_prefix.Path());
    EXPECT_EQ(ERROR_SHARING_VIOLATION, transaction.Commit());
    EXPECT_EQ(before, m_prefix.ReadFile("user.reg"));
    EXPECT_FALSE(m_prefix.Exists("user.reg.mailwright-tmp"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, Read(store, "Software\\Brightfold", "n").first);
}

TEST_F(HiveTransactionTest, WhileWineRunsOnlyChangesAreRefused) {
    auto store = Store();
    ASSERT_EQ(ERROR_SUCCESS, Write(store, "Software\\Brightfold", "n", 1));
    const std::string before = m_prefix.ReadFile("user.reg");
    testing::RunningWineServer server(m_prefix.Path());
    CRegistryTransaction transaction(store);
    CRegistryKey key(store);
    EXPECT_EQ(ERROR_SUCCESS, key.CreateKey(HKEY_CURRENT_USER, "Software\\Brightfold", kReadWrite));
    EXPECT_EQ(ERROR_SUCCESS, key.WriteDword("n", 1));
    EXPECT_EQ(ERROR_SHARING_VIOLATION, key.WriteDword("n", 2));
    EXPECT_EQ(ERROR_SHARING_VIOLATION, key.CreateKey(HKEY_CURRENT_USER, "Software\\Brightfold\\New", kReadWrite));
    EXPECT_EQ(ERROR_SUCCESS, transaction.Commit());  // nothing changed, nothing to save
    EXPECT_EQ(before, m_prefix.ReadFile("user.reg"));
}

TEST_F(HiveTransactionTest, AStaleTemporaryFileOfOursIsRemovedUnderTheLock) {
    m_prefix.WriteFile("user.reg.mailwright-tmp", "WINE REGISTRY Version 2\n\n[Half");
    m_prefix.WriteFile("system.reg.mailwright-tmp", "");
    auto store = Store();
    {
        CRegistryTransaction transaction(store);
        EXPECT_FALSE(m_prefix.Exists("user.reg.mailwright-tmp"));
        EXPECT_FALSE(m_prefix.Exists("system.reg.mailwright-tmp"));
    }
    // A file of that name that is not ours to remove (a folder) fails the save instead.
    ASSERT_EQ(0, ::mkdir(m_prefix.Sub("user.reg.mailwright-tmp").c_str(), 0755));
    m_prefix.WriteFile("user.reg.mailwright-tmp/inside", "");
    const std::string before = m_prefix.ReadFile("user.reg");
    EXPECT_NE(ERROR_SUCCESS, Write(store, "Software\\Brightfold", "n", 1));
    EXPECT_EQ(before, m_prefix.ReadFile("user.reg"));
}

}  // namespace
}  // namespace mailwright
